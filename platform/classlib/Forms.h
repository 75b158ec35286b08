#pragma once
// Forms, the application object and the screen.
//
// A form is a top-level window. Its class's form resource (the class name in
// upper case, e.g. TMYMENUFORM for TMyMenuForm) is read onto it when it is
// created through Application->CreateForm or NewForm<T>: the form is
// constructed and gets its window, then the resource is read (csLoading
// meanwhile, then Loaded, where each windowed control gets its window), then
// OnCreate runs, then it is shown when the resource set Visible. A form made
// with a bare `new` reads nothing (an empty form).
//
// A form is freed with Free() (or by its owner, the application, at the end),
// which raises OnDestroy while the whole form still exists.
//
// Start-up: InitializeForms() (after the Qt application exists) makes the
// globals Application and Screen; FinalizeForms() frees them, the forms
// owned by the application in reverse order of creation first.
#include <QPointer>
#include <QScopeGuard>

#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/classlib/Controls.h"

class QEventLoop;

// ---------------------------------------------------------------- TCustomForm

class TCustomForm : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(TWinControl* ActiveControl READ ActiveControl WRITE SetActiveControl)
  Q_PROPERTY(TBorderIcons BorderIcons READ BorderIcons WRITE SetBorderIcons)
  Q_PROPERTY(TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
  Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
  Q_PROPERTY(int Width READ Width WRITE SetWidth STORED false)
  Q_PROPERTY(int Height READ Height WRITE SetHeight STORED false)
  Q_PROPERTY(TFormStyle FormStyle READ FormStyle WRITE SetFormStyle)
  Q_PROPERTY(bool KeyPreview READ KeyPreview WRITE SetKeyPreview)
  Q_PROPERTY(TPosition Position READ Position WRITE SetPosition)
  Q_PROPERTY(TWindowState WindowState READ WindowState WRITE SetWindowState)

 public:
  enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
  Q_ENUM(TBorderIcon)
  using TBorderIcons = TSet<TBorderIcon>;
  enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
  };
  Q_ENUM(TPosition)
  enum TWindowState { wsNormal, wsMinimized, wsMaximized };
  Q_ENUM(TWindowState)
  // MDI styles are kept for their ordinals and behave as fsNormal.
  enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
  Q_ENUM(TFormStyle)
  enum TCloseAction { caNone, caHide, caFree, caMinimize };
  Q_ENUM(TCloseAction)

  using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
  using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Reads the class's form resource onto the form and raises OnCreate; then
  // shows the form when the resource made it visible. Called once, right
  // after construction, by NewForm and TApplication::CreateForm.
  void InitializeForm();
  // Raises OnDestroy (once) and frees the form.
  void Free();
  // Frees the form once the messages already queued are handled.
  void Release();

  // ---- showing and closing
  void SetVisible(bool value) override;
  void Show();
  void Hide() { SetVisible(false); }
  // Shows the form modally: other windows take no input until ModalResult
  // becomes non-zero (and the form may close) or the form closes; answers
  // ModalResult. Raises EInvalidOperation for a visible or disabled form.
  TModalResult ShowModal();
  // CloseQuery, then OnClose (default action: caHide); the main form's close
  // ends the application, another form hides (or is freed, minimised, or
  // stays, as the action says). A modal form's close sets mrCancel.
  void Close();
  // Asks OnCloseQuery whether the form may close.
  virtual bool CloseQuery();
  void BringToFront();

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value);
  bool Modal() const { return modalLoop_ != nullptr || inModal_; }
  // The form is the active window.
  bool Active() const { return active_; }

  // ---- properties
  TWinControl* ActiveControl() const { return activeControl_; }
  // The control that gets the focus when the form is active. Raises
  // EInvalidOperation for a control of another form or one that cannot focus.
  void SetActiveControl(TWinControl* control);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons value);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle value);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState value);
  TCanvas* Canvas() const { return canvas_; }

  TRect ClientRect() const override;
  void SetText(const String& value) override;

  // The focus moved to `control` (a control of this form).
  void SetFocusedControl(TWinControl* control);
  // `control` is going away: the form forgets it as ActiveControl.
  void DefocusControl(TWinControl* control, bool removing);

  void Loaded() override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;

 protected:
  QWidget* CreateWidget() override;
  void PaintWidget(QPainter& painter) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void UpdateWidgetVisibility() override;
  void ApplyBoundsToWidget() override;

  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void Activate();
  virtual void Deactivate();
  virtual void Paint();

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TApplication;
  friend class TControlEventFilter;
  void ApplyWindowFlags();
  // BorderStyle, BorderIcons or FormStyle changed: the window is made again.
  void WindowStyleChanged();
  void ApplyPosition();
  // Whether a click into the inactive window gave the focus to a control of
  // its own, which keeps it when the window becomes active.
  bool ClickTookFocus() const;
  void ShowWindowNow(bool show);
  void CloseModal();
  void SyncWindowState();
  TWinControl* FocusTarget() const;

  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;  // the control that last had the focus
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TFormBorderStyle borderStyle_ = bsSizeable;
  TFormStyle formStyle_ = fsNormal;
  bool keyPreview_ = false;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  TModalResult modalResult_ = mrNone;
  TCanvas* canvas_;
  QEventLoop* modalLoop_ = nullptr;
  bool inModal_ = false;
  bool creating_ = false;
  bool visibleAfterCreate_ = false;
  bool destroyRaised_ = false;
  bool active_ = false;
  bool showingNow_ = false;
  bool releasePosted_ = false;
  bool stylesPending_ = false;
};
using TBorderIcon = TCustomForm::TBorderIcon;
using TBorderIcons = TCustomForm::TBorderIcons;
using TPosition = TCustomForm::TPosition;
using TWindowState = TCustomForm::TWindowState;
using TFormStyle = TCustomForm::TFormStyle;
using TCloseAction = TCustomForm::TCloseAction;
using TCloseEvent = TCustomForm::TCloseEvent;
using TCloseQueryEvent = TCustomForm::TCloseQueryEvent;
using enum TCustomForm::TBorderIcon;
using enum TCustomForm::TPosition;
using enum TCustomForm::TWindowState;
using enum TCustomForm::TFormStyle;
using enum TCustomForm::TCloseAction;

class TForm : public TCustomForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};

// Makes a form of class T owned by `AOwner` the way the form constructor of
// the class library does: constructs it, reads its form resource and raises
// OnCreate (see TCustomForm::InitializeForm). If that raises, the form is
// freed and the exception passes on.
template <class T>
T* NewForm(TComponent* AOwner) {
  static_assert(std::is_base_of_v<TCustomForm, T>, "NewForm makes forms");
  std::unique_ptr<T> form(new T(AOwner));
  form->InitializeForm();
  return form.release();
}

// ---------------------------------------------------------------- TApplication

using TExceptionEvent = std::function<void(TObject* Sender, Exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
// A hook on the application window's messages; answering true ends the message there.
using TWindowHook = std::function<bool(TMessage& Message)>;

class TApplication : public TComponent {
  Q_OBJECT
 public:
  explicit TApplication(TComponent* AOwner);
  // Frees the forms it owns (last created first, each through Free), then its window.
  ~TApplication() override;

  void Initialize() {}
  // Makes a form of class T owned by the application: `reference` holds the
  // new form before its resource is read and its OnCreate runs. The first
  // form made this way becomes MainForm (and gets its window at once).
  template <class T>
  void CreateForm(T*& reference) {
    static_assert(std::is_base_of_v<TCustomForm, T>, "CreateForm makes forms");
    std::unique_ptr<T> form(new T(this));
    reference = form.get();
    auto forget = qScopeGuard([&] { reference = nullptr; });
    form->InitializeForm();
    forget.dismiss();
    FormCreated(form.release());
  }

  // Shows the main form when it is Visible and runs the event loop until the
  // main form closes or Terminate is called.
  void Run();
  // Handles the events waiting now.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  TCustomForm* MainForm() const { return mainForm_; }
  // The hidden application window (class "TApplication").
  HWND Handle() const { return handle_; }
  const String& Title() const { return title_; }
  void SetTitle(const String& value);
  bool MainFormOnTaskbar() const { return mainFormOnTaskbar_; }
  void SetMainFormOnTaskbar(bool value) { mainFormOnTaskbar_ = value; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value) { showHint_ = value; }
  // The background colour of hint windows (clInfoBk at start).
  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor value);
  String ExeName() const;
  // The program's icon: at start the ICO file beside the program under its
  // name ("Noctivane.ico"), else the Qt application's window icon. Windows
  // without an icon of their own show it, also after it changes.
  TIcon* Icon() const { return icon_; }
  // The application has the active window.
  bool Active() const { return active_; }

  // Hooks see every message of the application window before it; the first
  // that answers true ends the message. The id removes the hook.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);

  // Reports the exception being handled (call it in a catch block): through
  // OnException when assigned, else ShowException. EAbort is silent.
  void HandleException(TObject* Sender);
  void ShowException(const Exception& E);

  void BringToFront();
  void Minimize();
  void Restore();

  TExceptionEvent OnException;
  TIdleEvent OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

  // How ShowException shows a message (the dialog service's exception message
  // by default); tests may replace it.
  static std::function<void(const Exception&)> ShowExceptionProc;

 protected:
  virtual void WndProc(TMessage& Message);

 private:
  friend class TCustomForm;
  void FormCreated(TCustomForm* form);
  void LoadProgramIcon();
  void MainWndProc(TMessage& m);
  void SetActive(bool value);
  void QuitLoops();
  bool IsKeyMsg(MSG& msg);

  HWND handle_ = nullptr;
  WNDPROC objectInstance_ = nullptr;
  WNDPROC defWndProc_ = nullptr;
  TIcon* icon_ = nullptr;
  TCustomForm* mainForm_ = nullptr;
  String title_;
  bool mainFormOnTaskbar_ = false;
  bool showHint_ = true;
  TColor hintColor_ = clInfoBk;
  bool terminated_ = false;
  bool active_ = false;
  bool running_ = false;
  QEventLoop* runLoop_ = nullptr;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHookId_ = 1;
  int messageFilter_ = 0;
  QMetaObject::Connection stateConnection_;
  QMetaObject::Connection idleConnection_;
};

// ---------------------------------------------------------------- TScreen

class TScreen : public TComponent {
  Q_OBJECT
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  // The cursor of the whole application: crDefault lets each control show
  // its own; any other value overrides them all.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);

  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const;
  int FormCount() const { return int(forms_.size()); }
  TCustomForm* Forms(int index) const;

  // The primary screen.
  int Width() const;
  int Height() const;
  // The primary screen less task bars and panels.
  TRect WorkAreaRect() const;
  int WorkAreaLeft() const { return WorkAreaRect().Left; }
  int WorkAreaTop() const { return WorkAreaRect().Top; }
  int WorkAreaWidth() const { return WorkAreaRect().Width(); }
  int WorkAreaHeight() const { return WorkAreaRect().Height(); }
  // All screens together.
  TRect DesktopRect() const;

 private:
  friend class TCustomForm;
  void AddForm(TCustomForm* form) { forms_.push_back(form); }
  void RemoveForm(TCustomForm* form);
  void SetActiveForm(TCustomForm* form) { activeForm_ = form; }

  TCursor cursor_ = crDefault;
  bool overriding_ = false;
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
};

extern TApplication* Application;
extern TScreen* Screen;

// The class library's beep: the system's default sound (MessageBeep).
void Beep();

// Registers the form classes and events with the form streaming and makes
// Application and Screen (when they do not exist). Needs the Qt application.
void InitializeForms();
// Frees Application (and the forms it owns) and Screen.
void FinalizeForms();
