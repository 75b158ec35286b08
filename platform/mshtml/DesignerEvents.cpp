#include "platform/mshtml/DesignerEvents.h"

#include "platform/com/TableDispatch.h"
#include "platform/mshtml/EditServices_p.h"
#include "platform/mshtml/LiveElement.h"
#include "platform/mshtml/Log_p.h"

#include <QPointer>
#include <QWebEnginePage>

#include <cmath>
#include <optional>

namespace {

// The usual ids of the event object's members.
constexpr DISPID kEventObj = 1000;
constexpr DISPID kSrcElement = kEventObj + 1;
constexpr DISPID kAltKey = kEventObj + 2;
constexpr DISPID kCtrlKey = kEventObj + 3;
constexpr DISPID kShiftKey = kEventObj + 4;
constexpr DISPID kKeyCode = kEventObj + 11;
constexpr DISPID kButton = kEventObj + 12;
constexpr DISPID kType = kEventObj + 13;
constexpr DISPID kClientX = kEventObj + 20;
constexpr DISPID kClientY = kEventObj + 21;

// Button values of the event object.
constexpr LONG kLeft = 1;
constexpr LONG kRight = 2;
constexpr LONG kMiddle = 4;

struct InputKind {
  LONG dispId;
  const char* type;
  bool mouse;
};

std::optional<InputKind> kindOf(UINT msg) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONKEYDOWN, "keydown", false};
    case WM_CHAR:
    case WM_SYSCHAR: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONKEYPRESS, "keypress", false};
    case WM_KEYUP:
    case WM_SYSKEYUP: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONKEYUP, "keyup", false};
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONMOUSEDOWN, "mousedown", true};
    case WM_MOUSEMOVE: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONMOUSEMOVE, "mousemove", true};
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONMOUSEUP, "mouseup", true};
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: return InputKind{DISPID_HTMLELEMENTEVENTS2_ONDBLCLICK, "dblclick", true};
    default: return std::nullopt;
  }
}

LONG buttonOf(const MSG& m) {
  switch (m.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: return kLeft;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK: return kRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK: return kMiddle;
    case WM_MOUSEMOVE: {
      const WORD keys = LOWORD(m.wParam);
      return (keys & MK_LBUTTON ? kLeft : 0) | (keys & MK_RBUTTON ? kRight : 0) |
             (keys & MK_MBUTTON ? kMiddle : 0);
    }
    default: return 0;
  }
}

bool held(int vk) { return GetKeyState(vk) < 0; }

struct EventValues {
  String type;
  bool mouse = false;
  LONG keyCode = 0;
  LONG button = 0;
  LONG clientX = 0;
  LONG clientY = 0;
  bool alt = false;
  bool ctrl = false;
  bool shift = false;
};

// One input event as the designers see it.
class EditEvent final : public comdisp::TableDispatch<EditEvent, IHTMLEventObj> {
 public:
  EditEvent(QWebEnginePage* page, const MSG& m, const InputKind& kind) : TableDispatch(kTable), page_(page) {
    EventValues& v = values_;
    v.type = QString::fromLatin1(kind.type);
    v.mouse = kind.mouse;
    if (v.mouse) {
      // The window's point is in the view's pixels; the page lays out in its
      // own, which differ by the zoom.
      const double zoom = page->zoomFactor() > 0 ? page->zoomFactor() : 1.0;
      v.clientX = LONG(std::lround(GET_X_LPARAM(m.lParam) / zoom));
      v.clientY = LONG(std::lround(GET_Y_LPARAM(m.lParam) / zoom));
      v.button = buttonOf(m);
      v.shift = LOWORD(m.wParam) & MK_SHIFT;
      v.ctrl = LOWORD(m.wParam) & MK_CONTROL;
      v.alt = held(VK_MENU);
    } else {
      v.keyCode = LONG(m.wParam);
      v.shift = held(VK_SHIFT);
      v.ctrl = held(VK_CONTROL);
      // A system key carries Alt in its key data.
      v.alt = held(VK_MENU) || (m.lParam & (LPARAM(1) << 29));
    }
  }

 private:
  ComPtr<IHTMLElement> source() {
    if (!sourceAsked_) {
      sourceAsked_ = true;
      if (page_)
        source_ = values_.mouse ? LiveElementAtPoint(page_, values_.clientX, values_.clientY)
                                : LiveCaretElement(page_);
    }
    return source_;
  }

  template <auto Field>
  static HRESULT GetLong(EditEvent& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    comdisp::SetResult(result, LONG(self.values_.*Field));
    return S_OK;
  }
  template <auto Field>
  static HRESULT GetBool(EditEvent& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    comdisp::SetResult(result, self.values_.*Field ? VARIANT_TRUE : VARIANT_FALSE);
    return S_OK;
  }
  static HRESULT GetType(EditEvent& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    comdisp::SetResult(result, StringToBSTR(self.values_.type));
    return S_OK;
  }
  static HRESULT GetSource(EditEvent& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    ComPtr<IHTMLElement> element = self.source();
    comdisp::SetResult(result, static_cast<IDispatch*>(element.Detach()));
    return S_OK;
  }
  using Self = EditEvent;
  static constexpr comdisp::DispMember<Self> kMembers[] = {
      {"type", &GetType, kType},
      {"keyCode", &GetLong<&EventValues::keyCode>, kKeyCode},
      {"button", &GetLong<&EventValues::button>, kButton},
      {"clientX", &GetLong<&EventValues::clientX>, kClientX},
      {"clientY", &GetLong<&EventValues::clientY>, kClientY},
      {"altKey", &GetBool<&EventValues::alt>, kAltKey},
      {"ctrlKey", &GetBool<&EventValues::ctrl>, kCtrlKey},
      {"shiftKey", &GetBool<&EventValues::shift>, kShiftKey},
      {"srcElement", &GetSource, kSrcElement},
  };
  static constexpr comdisp::DispTable<Self> kTable{kMembers};

  QPointer<QWebEnginePage> page_;
  EventValues values_;
  bool sourceAsked_ = false;
  ComPtr<IHTMLElement> source_;
};

using DesignerCall = HRESULT (IHTMLEditDesigner::*)(LONG, IHTMLEventObj*);

// Calls `call` on each designer still registered, in order, while the page
// and its window live; true when one answered S_OK and `stopOnOk` asks to
// stop there.
bool callDesigners(const QPointer<QWebEnginePage>& page, HWND window,
                   const std::vector<ComPtr<IHTMLEditDesigner>>& designers, DesignerCall call, LONG dispId,
                   IHTMLEventObj* event, bool stopOnOk) {
  for (const ComPtr<IHTMLEditDesigner>& d : designers) {
    if (!page || !IsWindow(window)) return false;
    if (!PageHoldsEditDesigner(page, d.Get())) continue;
    HRESULT hr = S_FALSE;
    try {
      hr = (d.Get()->*call)(dispId, event);
    } catch (...) {
      qCDebug(lcMsHtml) << "an edit designer raised while it handled an event";
    }
    if (stopOnOk && hr == S_OK) return true;
  }
  return false;
}

}  // namespace

bool IsDesignerInput(UINT msg) { return kindOf(msg).has_value(); }

LRESULT RouteDesignerInput(QWebEnginePage* page, const MSG& msg, const std::function<LRESULT()>& engine) {
  const std::optional<InputKind> kind = kindOf(msg.message);
  const std::vector<ComPtr<IHTMLEditDesigner>> designers = PageEditDesigners(page);
  if (!kind || designers.empty()) return engine();
  QPointer<QWebEnginePage> guard(page);
  ComPtr<EditEvent> event = MakeCom<EditEvent>(page, msg, *kind);
  const LONG id = kind->dispId;
  auto each = [&](DesignerCall call, bool stopOnOk) {
    return callDesigners(guard, msg.hwnd, designers, call, id, event.Get(), stopOnOk);
  };
  bool kept = each(&IHTMLEditDesigner::PreHandleEvent, true);
  if (!kept && id == DISPID_HTMLELEMENTEVENTS2_ONKEYDOWN)
    kept = each(&IHTMLEditDesigner::TranslateAccelerator, true);
  LRESULT result = 0;
  if (!kept && guard && IsWindow(msg.hwnd)) {
    result = engine();
    each(&IHTMLEditDesigner::PostHandleEvent, false);
  }
  each(&IHTMLEditDesigner::PostEditorEventNotify, false);
  return result;
}

void ReleasePageDesigners(QWebEnginePage* page) { ReleasePageEditDesigners(page); }
