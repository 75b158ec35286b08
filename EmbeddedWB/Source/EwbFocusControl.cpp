#include "EmbeddedWB/Source/EwbFocusControl.h"

#include "EmbeddedWB/Source/EwbCore.h"
#include "platform/classlib/Forms.h"
#include "platform/winapi/Messages.h"

namespace EwbFocusControl {

namespace {
TEWBFocusControl* instance = nullptr;
}  // namespace

TAppHookWindow::TAppHookWindow(TComponent* AOwner) : TWinControl(AOwner) {
  if (!Application) return;
  hookId_ = Application->HookMainWindow([this](TMessage& m) { return AppHookProc(m); });
  hookSet_ = true;
}

TAppHookWindow::~TAppHookWindow() {
  // The application object may already be gone at close-down, taking its hooks with it.
  if (hookSet_ && Application) Application->UnhookMainWindow(hookId_);
  hookSet_ = false;
}

bool TAppHookWindow::AppHookProc(TMessage& Message) {
  if (Message.Msg != WM_WINDOWPOSCHANGING && Message.Msg != CM_ACTIVATE) return false;
  TCustomForm* form = Screen->ActiveForm();
  if (!form) return false;
  bool active;
  if (form->FormStyle() == fsMDIChild)
    active = IsChild(GetActiveWindow(), form->Handle());
  else
    active = !Application->Terminated() && form->Handle() == GetActiveWindow();
  if (!active || !form->CanFocus()) return false;
  TWinControl* control = form->ActiveControl();
  if (control && dynamic_cast<EwbCore::TCustomEmbeddedWB*>(control) && control->Handle() != GetFocus())
    PostMessage(control->Handle(), WM_EWB_REFOCUS, WPARAM(control), 0);
  return false;  // the application window handles the message as usual
}

TEWBFocusControl::TEWBFocusControl() : hookWindow_(new TAppHookWindow(nullptr)) {}

TEWBFocusControl::~TEWBFocusControl() { delete hookWindow_; }

void TEWBFocusControl::Activate() {
  if (!instance) instance = new TEWBFocusControl();
}

void TEWBFocusControl::Deactivate() {
  delete instance;
  instance = nullptr;
}

TEWBFocusControl* TEWBFocusControl::Instance() { return instance; }

}  // namespace EwbFocusControl
