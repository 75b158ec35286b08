#pragma once
// Helpers of the window-layer tests.
#include "platform/winapi/Windows.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <vector>

namespace wintest {

// Subclasses a window with an object instance that records every message
// (and the window it came for) and then passes it on to the previous
// procedure, unless `handler` answers true (the message is swallowed).
class Spy {
 public:
  explicit Spy(HWND hwnd, std::function<bool(TMessage&)> handler = {})
      : handler(std::move(handler)), hwnd_(hwnd) {
    instance_ = MakeObjectInstance([this](TMessage& m) { onMessage(m); });
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(instance_)));
  }
  ~Spy() {
    if (IsWindow(hwnd_) && GetWindowLongPtrW(hwnd_, GWL_WNDPROC) == reinterpret_cast<LONG_PTR>(instance_))
      SetWindowLongPtrW(hwnd_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    FreeObjectInstance(instance_);
  }
  Spy(const Spy&) = delete;
  Spy& operator=(const Spy&) = delete;

  // Messages of the given numbers, in order of arrival.
  std::vector<TMessage> Of(std::initializer_list<UINT> ids) const {
    std::vector<TMessage> out;
    for (const auto& m : messages)
      if (std::find(ids.begin(), ids.end(), m.Msg) != ids.end()) out.push_back(m);
    return out;
  }
  int Count(UINT id) const { return int(Of({id}).size()); }
  void Clear() { messages.clear(); }
  WNDPROC Instance() const { return instance_; }
  WNDPROC Previous() const { return previous_; }

  std::vector<TMessage> messages;
  std::function<bool(TMessage&)> handler;
  // Called after the previous procedure handled the message.
  std::function<void(TMessage&)> after;

 private:
  void onMessage(TMessage& m) {
    messages.push_back(m);
    if (handler && handler(m)) return;
    m.Result = CallWindowProcW(previous_, hwnd_, m.Msg, m.WParam, m.LParam);
    if (after) after(m);
  }

  HWND hwnd_;
  WNDPROC instance_ = nullptr;
  WNDPROC previous_ = nullptr;
};

inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) out.push_back(h);
  return out;
}

// A plain window without a widget.
inline HWND PlainWindow(const String& cls, HWND parent = nullptr, const String& text = String()) {
  return CreateWindowHandle(cls, text, parent ? WS_CHILD : WS_OVERLAPPED, 0, parent, nullptr);
}

}  // namespace wintest
