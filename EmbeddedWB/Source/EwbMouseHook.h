#pragma once
// The thread mouse hook that moves the mouse wheel to the browser under the
// cursor. A hosted browser keeps the focus in inner windows of its own, so a
// wheel turn over a second browser would scroll the focused one. The hook
// sees each wheel message before its window: when the window under the
// cursor belongs to another browser than the focused window, it moves the
// focus there and drops the message; the next turn then scrolls that browser.
//
// One hook object serves the whole process; Allocate/Release count its users.
#include "platform/classlib/Types.h"
#include "platform/rtl/Classes.h"
#include "platform/winapi/Windows.h"

#include <functional>

namespace EwbMouseHook {

// Called for every wheel message before the hook decides; Handled = true
// leaves the message to its window untouched.
using TMouseWheelEvent = std::function<void(TPoint Point, HWND hwndFromPoint, LPARAM lp, bool& Handled)>;

class TEWBMouseHook : public TObject {
 public:
  // The process's hook object, created on first use; every call counts up.
  static TEWBMouseHook* Allocate();
  // Counts down; the object is unhooked and freed at zero.
  static void Release();
  // The current object (nullptr when none is allocated) and its user count.
  static TEWBMouseHook* Instance();
  static int RefCount();

  void Activate();    // installs the WH_MOUSE hook for this thread (once)
  void Deactivate();  // removes it
  bool Active() const { return hook_ != nullptr; }

  TMouseWheelEvent OnMouseWheel;
  bool ActiveFormOnly = false;

  // The window the last wheel message was moved to (nullptr: not taken over).
  HWND LastTarget() const { return lastTarget_; }

 private:
  TEWBMouseHook() = default;
  ~TEWBMouseHook() override;
  static LRESULT HookProc(int nCode, WPARAM wParam, LPARAM lParam);
  LRESULT MouseProc(int nCode, WPARAM wParam, LPARAM lParam);

  HHOOK hook_ = nullptr;
  HWND lastTarget_ = nullptr;
};

}  // namespace EwbMouseHook
