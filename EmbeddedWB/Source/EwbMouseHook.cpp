#include "EmbeddedWB/Source/EwbMouseHook.h"

#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"

namespace EwbMouseHook {

namespace {
// The hook procedure is a plain function; the one hook object of the process
// is reached through this pointer.
TEWBMouseHook* instance = nullptr;
int refCount = 0;
}  // namespace

TEWBMouseHook* TEWBMouseHook::Allocate() {
  if (!instance) instance = new TEWBMouseHook();
  ++refCount;
  return instance;
}

void TEWBMouseHook::Release() {
  if (!instance) return;
  if (--refCount > 0) return;
  delete instance;
  instance = nullptr;
  refCount = 0;
}

TEWBMouseHook* TEWBMouseHook::Instance() { return instance; }
int TEWBMouseHook::RefCount() { return refCount; }

TEWBMouseHook::~TEWBMouseHook() { Deactivate(); }

void TEWBMouseHook::Activate() {
  if (hook_) return;
  hook_ = SetWindowsHookEx(WH_MOUSE, &TEWBMouseHook::HookProc, nullptr, GetCurrentThreadId());
}

void TEWBMouseHook::Deactivate() {
  if (!hook_) return;
  UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
}

LRESULT TEWBMouseHook::HookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (instance) return instance->MouseProc(nCode, wParam, lParam);
  return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

LRESULT TEWBMouseHook::MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode < 0 || nCode != HC_ACTION || wParam != WM_MOUSEWHEEL)
    return CallNextHookEx(hook_, nCode, wParam, lParam);

  const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
  const TPoint point(info->pt.x, info->pt.y);
  HWND underPoint = WindowFromPoint(info->pt);
  bool handled = false;
  lastTarget_ = nullptr;

  if (OnMouseWheel) OnMouseWheel(point, underPoint, lParam, handled);

  // Only the active form gets the wheel moved; a handler's verdict is kept
  // (the form test never clears a Handled the handler set).
  if (ActiveFormOnly && !handled) {
    if (TWinControl* control = FindVCLWindow(point))
      if (TCustomForm* form = GetParentForm(control)) handled = form != Screen->ActiveForm();
  }

  HWND focused = GetFocus();
  if (!handled && underPoint && focused) {
    const String shellEmbedding = QStringLiteral("Shell Embedding");
    HWND targetBrowser = EwbTools::FindParentWindowByClass(underPoint, shellEmbedding);
    if (targetBrowser) {
      HWND focusedBrowser = EwbTools::FindParentWindowByClass(focused, shellEmbedding);
      if (targetBrowser != focusedBrowser ||
          GetClassName(focused) == QStringLiteral("Shell DocObject View")) {
        SetFocus(underPoint);
        lastTarget_ = underPoint;
        return 2;
      }
    }
  }
  return CallNextHookEx(hook_, nCode, wParam, lParam);
}

}  // namespace EwbMouseHook
