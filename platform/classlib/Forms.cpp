#include "platform/classlib/Forms.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>

#include "platform/classlib/Controls_p.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/Log_p.h"
#include "platform/classlib/Streaming.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

std::function<void(const Exception&)> TApplication::ShowExceptionProc;

namespace {

// The window flags of a top-level window with these styles.
Qt::WindowFlags WindowFlagsOf(DWORD style, DWORD exStyle) {
  Qt::WindowFlags f = Qt::Window;
  if (exStyle & WS_EX_TOOLWINDOW)
    f = Qt::Tool;
  else if (exStyle & WS_EX_DLGMODALFRAME)
    f = Qt::Dialog;
  if ((style & WS_CAPTION) != WS_CAPTION) {
    f |= Qt::FramelessWindowHint;
  } else {
    f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style & WS_SYSMENU) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & WS_MINIMIZEBOX) f |= Qt::WindowMinimizeButtonHint;
    if (style & WS_MAXIMIZEBOX) f |= Qt::WindowMaximizeButtonHint;
  }
  if (exStyle & WS_EX_TOPMOST) f |= Qt::WindowStaysOnTopHint;
  return f;
}

void SetWindowFlagsKeepingVisibility(QWidget* w, Qt::WindowFlags flags) {
  if (w->windowFlags() == flags) return;
  const bool shown = w->isVisible();
  w->setWindowFlags(flags);
  if (shown) w->show();
}

QSize FrameExtra(const QWidget* w) {
  if (!w || !w->isWindow()) return QSize(0, 0);
  return w->frameGeometry().size() - w->size();
}

}  // namespace

// ---------------------------------------------------------------- TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner), canvas_(new TCanvas(this)) {
  visible_ = false;
  color_ = clBtnFace;
  parentColor_ = false;
  parentFont_ = false;
  width_ = 320;
  height_ = 240;
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks};
  if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  Destroying();
  if (modalLoop_) modalLoop_->quit();
  if (Screen) Screen->RemoveForm(this);
  if (Application && Application->mainForm_ == this) {
    Application->mainForm_ = nullptr;
    if (Application->running_) Application->Terminate();
  }
}

void TCustomForm::InitializeForm() {
  {
    const QScopedValueRollback creating(creating_, true);
    // The form has its window while its components are read and loaded (a
    // component may hook it in its Loaded); the controls get theirs as they
    // finish loading.
    HandleNeeded();
    InitComponentRes(ClassName().toUpper(), this);
  }
  DoCreate();
  if (visibleAfterCreate_) {
    visibleAfterCreate_ = false;
    SetVisible(true);
  }
}

void TCustomForm::Free() {
  if (!destroyRaised_) {
    Destroying();
    if (handle_)
      ShowWindow(handle_, SW_HIDE);
    else if (widget_)
      widget_->hide();
    DoDestroy();
  }
  delete this;
}

void TCustomForm::Release() {
  if (releasePosted_) return;
  releasePosted_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Free(); }, Qt::QueuedConnection);
}

// ---- widget and window

QWidget* TCustomForm::CreateWidget() {
  QWidget* w = TWinControl::CreateWidget();
  w->setAttribute(Qt::WA_QuitOnClose, false);
  TCreateParams params;
  CreateParams(params);
  w->setWindowFlags(WindowFlagsOf(params.Style, params.ExStyle));
  w->setWindowTitle(GetText());
  return w;
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style &= ~(WS_CHILD | WS_GROUP | WS_TABSTOP);
  p.Style |= WS_CLIPCHILDREN;
  p.WndParent = nullptr;
  p.WindowClass.style = CS_DBLCLKS;
  switch (borderStyle_) {
    case bsNone: p.Style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: p.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION;
      p.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) p.ExStyle |= WS_EX_TOOLWINDOW;
  if (borderStyle_ != bsNone) {
    if (borderIcons_.Contains(biSystemMenu)) p.Style |= WS_SYSMENU;
    if (borderStyle_ != bsDialog && borderStyle_ != bsToolWindow && borderStyle_ != bsSizeToolWin) {
      if (borderIcons_.Contains(biMinimize)) p.Style |= WS_MINIMIZEBOX;
      if (borderIcons_.Contains(biMaximize)) p.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  ApplyWindowFlags();
}

// The Qt window follows the styles the window was created with.
void TCustomForm::ApplyWindowFlags() {
  if (!widget_) return;
  DWORD style, exStyle;
  if (handle_) {
    style = DWORD(GetWindowLongPtrW(handle_, GWL_STYLE));
    exStyle = DWORD(GetWindowLongPtrW(handle_, GWL_EXSTYLE));
  } else {
    TCreateParams params;
    CreateParams(params);
    style = params.Style;
    exStyle = params.ExStyle;
  }
  SetWindowFlagsKeepingVisibility(widget_, WindowFlagsOf(style, exStyle));
}

void TCustomForm::WindowStyleChanged() {
  if (Loading()) {
    stylesPending_ = true;
    return;
  }
  stylesPending_ = false;
  if (handle_)
    RecreateWnd();
  else
    ApplyWindowFlags();
}

TRect TCustomForm::ClientRect() const {
  const QSize extra = FrameExtra(widget_);
  return TRect(0, 0, std::max(Width() - extra.width(), 0), std::max(Height() - extra.height(), 0));
}

void TCustomForm::ApplyBoundsToWidget() {
  QWidget* w = widget_;
  if (!w) return;
  const QSize extra = FrameExtra(w);
  // Limits are lifted while the new bounds go in, so the old ones cannot
  // clamp them, and set again for the user's own resizing.
  w->setMinimumSize(0, 0);
  w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (handle_) {
    TWinControl::ApplyBoundsToWidget();
  } else {
    w->move(Left(), Top());
    w->resize(std::max(Width() - extra.width(), 0), std::max(Height() - extra.height(), 0));
  }
  const TSizeConstraints* c = Constraints();
  auto limit = [](int value, int frame, int none) { return value > 0 ? std::max(value - frame, 0) : none; };
  w->setMinimumSize(limit(c->MinWidth(), extra.width(), 0), limit(c->MinHeight(), extra.height(), 0));
  w->setMaximumSize(limit(c->MaxWidth(), extra.width(), QWIDGETSIZE_MAX),
                    limit(c->MaxHeight(), extra.height(), QWIDGETSIZE_MAX));
}

void TCustomForm::SetText(const String& value) {
  TWinControl::SetText(value);
  if (!handle_ && widget_) widget_->setWindowTitle(value);
}

// ---- showing

void TCustomForm::SetVisible(bool value) {
  if (creating_) {
    visibleAfterCreate_ = value;
    return;
  }
  TWinControl::SetVisible(value);
  if (!value && modalLoop_) modalLoop_->quit();
}

void TCustomForm::UpdateWidgetVisibility() {
  if (!creating_) ShowWindowNow(Visible());
}

void TCustomForm::ShowWindowNow(bool show) {
  if (showingNow_) return;
  showingNow_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{showingNow_};
  if (!show) {
    if (handle_)
      ShowWindow(handle_, SW_HIDE);
    else if (widget_)
      widget_->hide();
    return;
  }
  HandleNeeded();
  // A form without WS_EX_APPWINDOW belongs to the main form (no task bar
  // entry of its own); the main form and WS_EX_APPWINDOW forms stand alone.
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  const bool appWindow = GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_APPWINDOW;
  QWindow* owner = nullptr;
  if (!appWindow && main && main != this && main->widget_) {
    main->widget_->winId();
    owner = main->widget_->windowHandle();
  }
  widget_->winId();
  if (QWindow* window = widget_->windowHandle()) window->setTransientParent(owner);
  int cmd = SW_SHOWNORMAL;
  if (windowState_ == wsMaximized) cmd = SW_SHOWMAXIMIZED;
  if (windowState_ == wsMinimized) cmd = SW_SHOWMINIMIZED;
  ShowWindow(handle_, cmd);
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::BringToFront() {
  if (!widget_ || !widget_->isVisible()) return;
  if (windowState_ == wsMinimized) SetWindowState(wsNormal);
  widget_->raise();
  widget_->activateWindow();
}

void TCustomForm::ApplyPosition() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  TRect area;
  switch (position_) {
    case poScreenCenter: area = TRect::FromQRect(screen->geometry()); break;
    case poDesktopCenter: area = TRect::FromQRect(screen->virtualGeometry()); break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* center = Application ? Application->MainForm() : nullptr;
      if (position_ == poOwnerFormCenter)
        if (auto* owner = qobject_cast<TCustomForm*>(Owner())) center = owner;
      area = (center && center != this) ? center->BoundsRect() : TRect::FromQRect(screen->geometry());
      break;
    }
    default: return;
  }
  const int x = std::max(area.Left + (area.Width() - Width()) / 2, area.Left);
  const int y = std::max(area.Top + (area.Height() - Height()) / 2, area.Top);
  SetBounds(x, y, Width(), Height());
}

void TCustomForm::SetWindowState(TWindowState value) {
  if (windowState_ == value) return;
  windowState_ = value;
  if (creating_ || Loading() || !Visible() || !handle_) return;
  ShowWindow(handle_, value == wsMinimized   ? SW_MINIMIZE
                      : value == wsMaximized ? SW_SHOWMAXIMIZED
                                             : SW_RESTORE);
}

void TCustomForm::SyncWindowState() {
  if (!widget_ || !widget_->isVisible() || showingNow_) return;
  if (widget_->isMinimized())
    windowState_ = wsMinimized;
  else if (widget_->isMaximized())
    windowState_ = wsMaximized;
  else
    windowState_ = wsNormal;
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
  if (borderIcons_ == value) return;
  borderIcons_ = value;
  WindowStyleChanged();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  WindowStyleChanged();
}

void TCustomForm::SetFormStyle(TFormStyle value) {
  if (formStyle_ == value) return;
  formStyle_ = value;
  WindowStyleChanged();
}

// ---- modal showing and closing

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || Modal())
    throw EInvalidOperation(QStringLiteral("Cannot make a visible window modal"));
  QPointer<TCustomForm> self(this);
  if (GetCaptureControl()) SetCaptureControl(nullptr);
  inModal_ = true;
  modalResult_ = mrNone;
  Widget()->setWindowModality(Qt::ApplicationModal);
  try {
    Show();
    while (self) {
      if (Application && Application->Terminated()) {
        modalResult_ = mrCancel;
        break;
      }
      if (!Visible()) {
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        break;
      }
      if (modalResult_ != mrNone) {
        CloseModal();
        if (!self || modalResult_ != mrNone) break;
      }
      QEventLoop loop;
      modalLoop_ = &loop;
      loop.exec(QEventLoop::DialogExec);
      if (self) modalLoop_ = nullptr;
    }
  } catch (...) {
    if (self) {
      modalLoop_ = nullptr;
      inModal_ = false;
      Hide();
      widget_->setWindowModality(Qt::NonModal);
    }
    throw;
  }
  if (!self) return mrCancel;
  inModal_ = false;
  Hide();
  if (widget_) widget_->setWindowModality(Qt::NonModal);
  return modalResult_;
}

void TCustomForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    DoClose(action);
  }
  if (action == caNone)
    modalResult_ = mrNone;
  else if (action == caFree)
    Release();
}

void TCustomForm::SetModalResult(TModalResult value) {
  modalResult_ = value;
  if (modalLoop_ && value != mrNone) modalLoop_->quit();
}

void TCustomForm::Close() {
  if (Modal()) {
    SetModalResult(mrCancel);
    return;
  }
  QPointer<TCustomForm> self(this);
  if (!CloseQuery() || !self) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (!self || action == caNone) return;
  if (Application && Application->MainForm() == this)
    Application->Terminate();
  else if (action == caHide)
    Hide();
  else if (action == caMinimize)
    SetWindowState(wsMinimized);
  else
    Release();
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  RaiseEvent(this, OnCloseQuery, this, canClose);
  return canClose;
}

// ---- focus

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (activeControl_ == control) return;
  if (control && (control == this || GetParentForm(control) != this ||
                  (!Loading() && !creating_ && !control->CanFocus())))
    throw EInvalidOperation(QStringLiteral("Cannot focus a disabled or invisible window"));
  activeControl_ = control;
  if (!Loading() && !creating_ && active_ && control) ::SetFocus(control->Handle());
}

void TCustomForm::SetFocusedControl(TWinControl* control) {
  if (!control || control == this) return;
  activeControl_ = control;
  if (control == focusedControl_) return;
  TWinControl* old = focusedControl_;
  focusedControl_ = control;
  QPointer<TCustomForm> self(this);
  // Leaving: the old control and its parents that do not hold the new one.
  QVector<QPointer<TWinControl>> exits;
  for (TWinControl* c = old; c && c != this && !c->ContainsControl(control); c = c->Parent()) exits.append(c);
  // Entering: the new control's parents that did not hold the old one, outermost first.
  QVector<QPointer<TWinControl>> enters;
  for (TWinControl* c = control; c && c != this && !(old && c->ContainsControl(old)); c = c->Parent())
    enters.prepend(c);
  for (auto& c : exits)
    if (c && self) c->Perform(CM_EXIT);
  for (auto& c : enters)
    if (c && self) c->Perform(CM_ENTER);
}

// The click has made its control the window's focus child before the window
// system reports the activation; that is newer than the active control.
bool TCustomForm::ClickTookFocus() const {
  QWidget* chosen = widget_ ? widget_->focusWidget() : nullptr;
  if (!chosen || chosen == widget_) return false;
  if (activeControl_ && activeControl_->HandleAllocated()) {
    QWidget* active = activeControl_->Widget();
    if (active == chosen || active->isAncestorOf(chosen)) return false;
  }
  // The innermost control of this form that holds the chosen widget.
  for (QWidget* w = chosen; w && w != widget_; w = w->parentWidget())
    for (int i = 0; i < ComponentCount(); ++i)
      if (auto* c = dynamic_cast<TWinControl*>(Components(i)); c && c->HandleAllocated() && c->Widget() == w)
        return c->CanFocus();
  return false;
}

void TCustomForm::DefocusControl(TWinControl* control, bool) {
  if (activeControl_ && control->ContainsControl(activeControl_)) activeControl_ = nullptr;
  if (focusedControl_ && control->ContainsControl(focusedControl_)) focusedControl_ = nullptr;
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == activeControl_) activeControl_ = nullptr;
  if (AComponent == focusedControl_) focusedControl_ = nullptr;
}

// ---- messages

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE: Close(); return;
    case WM_ACTIVATE: {
      QPointer<TCustomForm> self(this);
      DefaultHandler(m);
      if (!self) return;
      const bool activating = LOWORD(m.WParam) != WA_INACTIVE;
      if (activating) {
        if (Screen) Screen->SetActiveForm(this);
        if (!active_) {
          active_ = true;
          Perform(CM_ACTIVATE);
          if (!self) return;
        }
        if (LOWORD(m.WParam) == WA_CLICKACTIVE && ClickTookFocus()) return;
        if (activeControl_ && activeControl_->CanFocus() && GetFocus() != activeControl_->Handle())
          ::SetFocus(activeControl_->Handle());
      } else if (active_) {
        active_ = false;
        Perform(CM_DEACTIVATE);
      }
      return;
    }
    case CM_ACTIVATE: Activate(); return;
    case CM_DEACTIVATE: Deactivate(); return;
    case CM_VISIBLECHANGED: {
      QPointer<TCustomForm> self(this);
      if (m.WParam) {
        ApplyPosition();
        DoShow();
      } else {
        DoHide();
      }
      if (self) TWinControl::Dispatch(m);
      return;
    }
    default: TWinControl::Dispatch(m); return;
  }
}

void TCustomForm::PaintWidget(QPainter& painter) {
  controls_p::PaintThrough(canvas_, painter, Font(), Color(), [this] { Paint(); });
}

void TCustomForm::Loaded() {
  TWinControl::Loaded();
  if (stylesPending_) WindowStyleChanged();
}

// ---- events

void TCustomForm::DoCreate() {
  if (!OnCreate) return;
  try {
    OnCreate(this);
  } catch (...) {
    if (!Application) throw;
    Application->HandleException(this);
  }
}

void TCustomForm::DoDestroy() {
  if (destroyRaised_) return;
  destroyRaised_ = true;
  if (!OnDestroy) return;
  try {
    OnDestroy(this);
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void TCustomForm::DoShow() { RaiseEvent(this, OnShow, this); }

void TCustomForm::DoHide() { RaiseEvent(this, OnHide, this); }

void TCustomForm::DoClose(TCloseAction& Action) { RaiseEvent(this, OnClose, this, Action); }

void TCustomForm::Activate() { RaiseEvent(this, OnActivate, this); }

void TCustomForm::Deactivate() { RaiseEvent(this, OnDeactivate, this); }

void TCustomForm::Paint() { RaiseEvent(this, OnPaint, this); }

// ---------------------------------------------------------------- TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  title_ = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  icon_ = new TIcon(this);
  LoadProgramIcon();
  // Windows without an icon of their own show the program's.
  icon_->OnChange = [this](TObject*) {
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      gui->setWindowIcon(icon_->ToQIcon());
  };
  // The application ends when its main form closes, not with its last window.
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    gui->setQuitOnLastWindowClosed(false);
  objectInstance_ = MakeObjectInstance([this](TMessage& m) { MainWndProc(m); });
  handle_ = CreateWindowHandle(QStringLiteral("TApplication"), title_,
                               WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0,
                               nullptr, nullptr);
  defWndProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(handle_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(objectInstance_)));
  messageFilter_ = AddThreadMessageFilter([this](MSG& msg) { return IsKeyMsg(msg); });
  active_ = QGuiApplication::applicationState() == Qt::ApplicationActive;
  stateConnection_ =
      connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        const bool active = s == Qt::ApplicationActive;
        if (active != active_ && handle_) SendMessageW(handle_, WM_ACTIVATEAPP, active ? 1 : 0, 0);
      });
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) {
    idleConnection_ = connect(d, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (!OnIdle) return;
      bool done = true;
      try {
        OnIdle(this, done);
      } catch (...) {
        HandleException(this);
      }
      // Not done: run the idle handler again once more events were handled.
      if (!done) QTimer::singleShot(0, this, [] {});
    });
  }
}

TApplication::~TApplication() {
  disconnect(stateConnection_);
  disconnect(idleConnection_);
  if (messageFilter_) RemoveThreadMessageFilter(messageFilter_);
  // The forms go first, the last created first, each while it is still whole.
  for (;;) {
    TCustomForm* last = nullptr;
    for (int i = ComponentCount() - 1; i >= 0 && !last; --i) last = qobject_cast<TCustomForm*>(Components(i));
    if (!last) break;
    last->Free();
  }
  DestroyComponents();
  if (handle_) DestroyWindow(handle_);
  handle_ = nullptr;
  FreeObjectInstance(objectInstance_);
}

void TApplication::FormCreated(TCustomForm* form) {
  if (mainForm_) return;
  mainForm_ = form;
  form->HandleNeeded();
}

void TApplication::Run() {
  if (!mainForm_) return;
  running_ = true;
  if (mainForm_->Visible()) mainForm_->Show();
  while (!terminated_ && mainForm_) {
    QEventLoop loop;
    runLoop_ = &loop;
    loop.exec();
    runLoop_ = nullptr;
  }
  running_ = false;
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TApplication::Terminate() {
  terminated_ = true;
  QuitLoops();
}

void TApplication::QuitLoops() {
  if (runLoop_) runLoop_->quit();
  if (Screen)
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (QEventLoop* loop = Screen->Forms(i)->modalLoop_) loop->quit();
}

void TApplication::SetTitle(const String& value) {
  title_ = value;
  if (handle_) SetWindowTextW(handle_, reinterpret_cast<LPCWSTR>(value.utf16()));
}

void TApplication::SetHintColor(TColor value) {
  hintColor_ = value;
  QPalette palette = QToolTip::palette();
  palette.setColor(QPalette::ToolTipBase, TColorToQColor(value));
  QToolTip::setPalette(palette);
}

String TApplication::ExeName() const { return QCoreApplication::applicationFilePath(); }

void TApplication::LoadProgramIcon() {
  auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  // The program's icon lies beside it under its name, as an ICO file.
  const QFileInfo exe(ExeName());
  const String file = exe.path() + u'/' + exe.completeBaseName() + QStringLiteral(".ico");
  if (QFileInfo(file).isFile()) {
    try {
      icon_->LoadFromFile(file);
      if (gui) gui->setWindowIcon(icon_->ToQIcon());
      return;
    } catch (const Exception& e) {
      qCDebug(lcClassLib) << "the program's icon" << file << "is unreadable:" << e.Message;
    }
  }
  if (gui && !gui->windowIcon().isNull()) {
    const QIcon icon = gui->windowIcon();
    icon_->FromQImage(icon.pixmap(icon.availableSizes().value(0, QSize(32, 32))).toImage());
  }
}

int TApplication::HookMainWindow(TWindowHook hook) {
  const int id = nextHookId_++;
  hooks_.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [id](const auto& h) { return h.first == id; }),
               hooks_.end());
}

void TApplication::MainWndProc(TMessage& m) {
  try {
    WndProc(m);
  } catch (...) {
    HandleException(this);
  }
}

void TApplication::WndProc(TMessage& m) {
  m.Result = 0;
  const auto hooks = hooks_;  // a hook may unhook itself
  for (const auto& [id, hook] : hooks)
    if (hook && hook(m)) return;
  switch (m.Msg) {
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return;
    case WM_ACTIVATEAPP:
      m.Result = CallWindowProcW(defWndProc_, handle_, m.Msg, m.WParam, m.LParam);
      SetActive(m.WParam != 0);
      return;
    case CM_ACTIVATE:
      if (OnActivate) OnActivate(this);
      return;
    case CM_DEACTIVATE:
      if (OnDeactivate) OnDeactivate(this);
      return;
    default: m.Result = CallWindowProcW(defWndProc_, handle_, m.Msg, m.WParam, m.LParam); return;
  }
}

void TApplication::SetActive(bool value) {
  if (active_ == value) return;
  active_ = value;
  PostMessageW(handle_, value ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
}

// Keyboard input goes to the control of the focused window (or of its
// nearest parent window that has one) as a control notification first;
// an answer other than 0 swallows the key.
bool TApplication::IsKeyMsg(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
  HWND wnd = msg.hwnd;
  while (wnd && !FindControl(wnd)) wnd = GetParent(wnd);
  if (!wnd) return false;
  return SendMessageW(wnd, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

void TApplication::HandleException(TObject* Sender) {
  auto report = [&](Exception& e) {
    try {
      if (OnException)
        OnException(Sender, e);
      else
        ShowException(e);
    } catch (...) {
      std::fprintf(stderr, "%s\n", qPrintable(e.Message));
    }
  };
  try {
    throw;
  } catch (EAbort&) {
  } catch (Exception& e) {
    report(e);
  } catch (std::exception& e) {
    Exception ex(String::fromLocal8Bit(e.what()));
    report(ex);
  } catch (...) {
    Exception ex(QStringLiteral("Unknown exception"));
    report(ex);
  }
}

void TApplication::ShowException(const Exception& E) {
  if (ShowExceptionProc)
    ShowExceptionProc(E);
  else
    ShowExceptionMessage(E);
}

void TApplication::BringToFront() {
  if (mainForm_) mainForm_->BringToFront();
}

void TApplication::Minimize() {
  if (mainForm_) mainForm_->SetWindowState(wsMinimized);
}

void TApplication::Restore() {
  if (mainForm_ && mainForm_->WindowState() == wsMinimized) mainForm_->SetWindowState(wsNormal);
}

// ---------------------------------------------------------------- TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen() {
  if (overriding_) QGuiApplication::restoreOverrideCursor();
}

void TScreen::SetCursor(TCursor value) {
  cursor_ = value;
  if (value == crDefault) {
    if (overriding_) QGuiApplication::restoreOverrideCursor();
    overriding_ = false;
  } else if (overriding_) {
    QGuiApplication::changeOverrideCursor(CursorToQCursor(value));
  } else {
    QGuiApplication::setOverrideCursor(CursorToQCursor(value));
    overriding_ = true;
  }
}

TWinControl* TScreen::ActiveControl() const { return activeForm_ ? activeForm_->ActiveControl() : nullptr; }

TCustomForm* TScreen::Forms(int index) const {
  if (index < 0 || index >= FormCount())
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
  return forms_[size_t(index)];
}

void TScreen::RemoveForm(TCustomForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (activeForm_ == form) activeForm_ = nullptr;
}

int TScreen::Width() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 0;
}

int TScreen::Height() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 0;
}

TRect TScreen::WorkAreaRect() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? TRect::FromQRect(s->availableGeometry()) : TRect();
}

TRect TScreen::DesktopRect() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? TRect::FromQRect(s->virtualGeometry()) : TRect();
}

// ---------------------------------------------------------------- start-up

void Beep() { MessageBeep(0); }

void InitializeForms() {
  static bool registered = false;
  if (!registered) {
    registered = true;
    InitializeControls();
    RegisterClass<TForm>();
    RegisterEvents<TCustomForm>({
        EventEntry("OnCreate", &TCustomForm::OnCreate),
        EventEntry("OnDestroy", &TCustomForm::OnDestroy),
        EventEntry("OnCloseQuery", &TCustomForm::OnCloseQuery),
        EventEntry("OnClose", &TCustomForm::OnClose),
        EventEntry("OnShow", &TCustomForm::OnShow),
        EventEntry("OnHide", &TCustomForm::OnHide),
        EventEntry("OnActivate", &TCustomForm::OnActivate),
        EventEntry("OnDeactivate", &TCustomForm::OnDeactivate),
        EventEntry("OnPaint", &TCustomForm::OnPaint),
    });
  }
  if (!Screen) Screen = new TScreen(nullptr);
  if (!Application) Application = new TApplication(nullptr);
}

void FinalizeForms() {
  if (Application) {
    delete Application;  // the forms still find it while they go
    Application = nullptr;
  }
  if (Screen) {
    delete Screen;
    Screen = nullptr;
  }
}
