#pragma once
// Re-focusing the browser control when the application becomes active. The
// browser keeps the focus in inner windows the form does not know; when the
// application window is activated again, a hook on it finds the active form's
// browser control and posts it WM_EWB_REFOCUS so it can take the focus back.
//
// TEWBFocusControl is the process's one instance; it creates the one hook
// window (TAppHookWindow), which hooks the application's main window.
#include "platform/classlib/Controls.h"

namespace EwbFocusControl {

// Posted to a browser control's window (WParam: the control) to make it take
// the focus back.
inline constexpr UINT WM_EWB_REFOCUS = 1092;

class TAppHookWindow : public TWinControl {
  Q_OBJECT
 public:
  explicit TAppHookWindow(TComponent* AOwner);
  ~TAppHookWindow() override;
  bool HookSet() const { return hookSet_; }

 private:
  bool AppHookProc(TMessage& Message);
  int hookId_ = 0;
  bool hookSet_ = false;
};

class TEWBFocusControl : public TObject {
 public:
  // Creates the process's instance (and its hook window) when there is none.
  static void Activate();
  // Frees the hook window (which unhooks) and the instance.
  static void Deactivate();
  static TEWBFocusControl* Instance();
  TAppHookWindow* HookWindow() const { return hookWindow_; }

 private:
  TEWBFocusControl();
  ~TEWBFocusControl() override;
  TAppHookWindow* hookWindow_ = nullptr;
};

}  // namespace EwbFocusControl
