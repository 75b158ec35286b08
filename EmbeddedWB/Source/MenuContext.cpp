#include "EmbeddedWB/Source/MenuContext.h"

#include "platform/classlib/Forms.h"
#include "platform/com/Com.h"
#include "platform/winapi/Messages.h"
#include "platform/winapi/Modules.h"

#include <QLoggingCategory>

namespace MenuContext {

namespace {

Q_LOGGING_CATEGORY(lcMenu, "noctivane.embeddedwb.menucontext", QtWarningMsg)

constexpr char16_t kClassName[] = u"ItemPropMenuCallbackHelper";
constexpr char16_t kWindowName[] = u"ItemPropCallbackProcessor";
constexpr DWORD kCallbackWindowStyle = 0x80880000;  // WS_POPUP | WS_BORDER | WS_SYSMENU

// Whether the menu object of the call now running speaks IContextMenu3; the
// callback window reads it.
bool contextMenu3 = false;

int unitStarts = 0;
bool oleInitialized = false;

// The screen cursor is the hourglass while the shell works on the menu.
class HourGlass {
 public:
  HourGlass() : saved_(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~HourGlass() {
    if (Screen) Screen->SetCursor(saved_);
  }
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;

 private:
  TCursor saved_;
};

void registerCallbackClass() {
  WNDCLASSW cls;
  if (GetClassInfoW(MainInstance(), kClassName, &cls)) return;
  cls = WNDCLASSW();
  cls.style = 0x80;
  cls.lpfnWndProc = &MenuCallbackProc;
  cls.hInstance = MainInstance();
  cls.lpszClassName = kClassName;
  RegisterClassW(&cls);
}

}  // namespace

LRESULT MenuCallbackProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(LParam);
      SetWindowLongPtrW(Wnd, GWL_USERDATA,
                        reinterpret_cast<LONG_PTR>(create ? create->lpCreateParams : nullptr));
      return DefWindowProcW(Wnd, Msg, WParam, LParam);
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_INITMENUPOPUP: {
      auto* object = reinterpret_cast<IContextMenu2*>(GetWindowLongPtrW(Wnd, GWL_USERDATA));
      if (!object) {
        // Only a window made by DisplayContextMenu comes here, and it always
        // carries its menu object.
        qCCritical(lcMenu) << (contextMenu3 ? "nil Context Menu!" : "Nil Context Menu!");
      } else if (contextMenu3) {
        LRESULT result = 0;
        static_cast<IContextMenu3*>(object)->HandleMenuMsg2(Msg, WParam, LParam, &result);
      } else {
        object->HandleMenuMsg(Msg, WParam, LParam);
      }
      return Msg == WM_INITMENUPOPUP ? 0 : 1;
    }
    default: return DefWindowProcW(Wnd, Msg, WParam, LParam);
  }
}

bool DisplayContextMenu(IShellFolder* Folder, const PCUITEMID_CHILD* Items, int Count, POINT Point,
                        HWND Owner) {
  contextMenu3 = false;
  HourGlass hourGlass;
  if (!Folder || !Items || !Items[0] || Count < 1) return false;

  ComPtr<IContextMenu> menu;
  if (FAILED(Folder->GetUIObjectOf(Owner, UINT(Count), Items, IID_IContextMenu, nullptr, &menu)) || !menu)
    return false;
  // The newer interfaces draw and fill cascading entries on request; the
  // callback window hands them the menu messages.
  bool forward = false;
  if (ComPtr<IContextMenu2> menu2 = menu.As<IContextMenu2>()) {
    menu = menu2;
    forward = true;
    if (ComPtr<IContextMenu3> menu3 = menu.As<IContextMenu3>()) {
      menu = menu3;
      contextMenu3 = true;
    }
  }

  HMENU popup = CreatePopupMenu();
  if (FAILED(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_EXPLORE))) {
    DestroyMenu(popup);
    return false;
  }
  HWND callback = nullptr;
  if (forward) {
    registerCallbackClass();
    callback = CreateWindowExW(0, kClassName, kWindowName, kCallbackWindowStyle, 0, 0, 0, 0, nullptr, nullptr,
                               MainInstance(), static_cast<IContextMenu*>(menu.Get()));
  }

  bool result = true;
  const BOOL command = TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, Point.x, Point.y,
                                        callback ? callback : Owner, nullptr);
  if (command) {
    CMINVOKECOMMANDINFO info;
    info.hwnd = Owner;
    info.lpVerb = MAKEINTRESOURCEA(WORD(command - 1));
    info.nShow = SW_SHOWNORMAL;
    result = SUCCEEDED(menu->InvokeCommand(&info));
  }
  DestroyMenu(popup);
  if (callback) DestroyWindow(callback);
  return result;
}

void initialize() {
  if (unitStarts++ > 0) return;
  oleInitialized = SUCCEEDED(OleInitialize(nullptr));
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
  if (oleInitialized) OleUninitialize();
  oleInitialized = false;
}

}  // namespace MenuContext
