#include "platform/classlib/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QHelpEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

#include "platform/classlib/Controls_p.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"

using namespace controls_p;

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  padding_ = new TPadding(this);
  padding_->OnChange = [this](TObject*) { Realign(); };
  objectInstance_ = MakeObjectInstance([this](TMessage& m) { MainWndProc(m); });
}

TWinControl::~TWinControl() {
  Destroying();
  // Whoever replaced WindowProc may be gone already: the last messages of
  // the window go to the control's own handlers.
  WindowProc = [this](TMessage& m) { TWinControl::WndProc(m); };
  // The window goes with the windows of all children; the children's
  // controls only hear that their windows are gone.
  if (HWND h = handle_) {
    DestroyWindow(h);
    if (handle_ == h) SetWindowHandle(nullptr);
  }
  if (parent_) parent_->RemoveControl(this);
  while (!controls_.isEmpty()) {
    TControl* c = controls_.last();
    RemoveControl(c);
    delete c;
  }
  if (handle_) SetWindowHandle(nullptr);
  FreeObjectInstance(objectInstance_);
}

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= controls_.size())
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
  return controls_[index];
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls) const {
  for (int i = controls_.size() - 1; i >= 0; --i) {
    TControl* c = controls_[i];
    if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
    if (!c->visible_ || (!allowDisabled && !c->enabled_)) continue;
    if (c->BoundsRect().Contains(pos)) return c;
  }
  return nullptr;
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->parent_)
    if (c == this) return true;
  return false;
}

QWidget* TWinControl::ContainerWidget() { return Widget(); }

void TWinControl::InsertControl(TControl* control) {
  controls_.append(control);
  control->parent_ = this;
  auto* wc = dynamic_cast<TWinControl*>(control);
  if (wc) tabList_.append(wc);
  QWidget* container = ContainerWidget();
  QWidget* w = control->Widget();
  if (w->parentWidget() != container) w->setParent(container);
  control->ApplyBoundsToWidget();
  if (!wc) {
    for (TControl* c : controls_)
      if (dynamic_cast<TWinControl*>(c) && c->widget_ && c->widget_->parentWidget() == container) {
        w->stackUnder(c->widget_);
        break;
      }
  } else {
    w->raise();
  }
  if (control->parentFont_) control->ParentFontChanged();
  if (control->parentColor_) control->ParentColorChanged();
  control->UpdateAnchorRules();
  control->UpdateWidgetVisibility();
  // A control being read from a form resource gets its window once it is
  // loaded, with all its properties in place.
  if (wc && HandleAllocated() && !wc->Loading()) wc->CreateHandle();
  AlignControl(control);
}

void TWinControl::RemoveControl(TControl* control) {
  if (auto* wc = dynamic_cast<TWinControl*>(control)) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(wc, true);
    wc->DestroyHandle();
    tabList_.removeAll(wc);
  }
  if (captureControl == control) captureControl = nullptr;
  controls_.removeAll(control);
  control->parent_ = nullptr;
  if (QWidget* w = control->widget_) {
    w->hide();
    w->setParent(nullptr);
  }
  if (!Destroyed()) Realign();
}

// ---- layout

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0 && --alignLevel_ == 0 && alignNeeded_) Realign();
}

void TWinControl::AlignControl(TControl* AControl) {
  if (Destroyed() || Loading() || aligning_) return;
  if (alignLevel_ > 0) {
    alignNeeded_ = true;
    return;
  }
  aligning_ = true;
  ++alignLevel_;
  const auto done = qScopeGuard([this] {
    aligning_ = false;
    alignNeeded_ = false;
    --alignLevel_;
  });
  TRect rect = ClientRect();
  AlignControls(AControl, rect);
}

void TWinControl::AdjustClientRect(TRect& rect) {
  rect.Left += padding_->Left();
  rect.Top += padding_->Top();
  rect.Right -= padding_->Right();
  rect.Bottom -= padding_->Bottom();
}

void TWinControl::AlignControls(TControl* AControl, TRect& rect) {
  AdjustClientRect(rect);
  const TPoint parentSize(ClientWidth(), ClientHeight());

  // Within one alignment, controls go in the order of their position; the
  // control being changed goes first among equals.
  auto insertBefore = [](TControl* a, TControl* b, TAlign align) {
    switch (align) {
      case alTop: return a->top_ < b->top_;
      case alBottom: return a->top_ + a->height_ >= b->top_ + b->height_;
      case alLeft: return a->left_ < b->left_;
      case alRight: return a->left_ + a->width_ >= b->left_ + b->width_;
      default: return false;
    }
  };

  auto position = [&](TControl* c, TAlign align) {
    int newLeft = c->left_, newTop = c->top_, newWidth = c->width_, newHeight = c->height_;
    if (align == alNone) {
      const TPoint orig = c->originalParentSize_;
      if (orig.X == 0 && orig.Y == 0) return;
      const TAnchors a = c->anchors_;
      if (orig.X != 0) {
        if (a.Contains(akRight)) {
          if (a.Contains(akLeft))
            newWidth = parentSize.X - (orig.X - c->anchorRules_.X);
          else
            newLeft = c->anchorRules_.X + (parentSize.X - orig.X);
        } else if (!a.Contains(akLeft)) {
          newLeft = int(qint64(c->anchorRules_.X) * parentSize.X / orig.X) - newWidth / 2;
        }
      }
      if (orig.Y != 0) {
        if (a.Contains(akBottom)) {
          if (a.Contains(akTop))
            newHeight = parentSize.Y - (orig.Y - c->anchorRules_.Y);
          else
            newTop = c->anchorRules_.Y + (parentSize.Y - orig.Y);
        } else if (!a.Contains(akTop)) {
          newTop = int(qint64(c->anchorRules_.Y) * parentSize.Y / orig.Y) - newHeight / 2;
        }
      }
      c->anchorMove_ = true;
      c->SetBounds(newLeft, newTop, newWidth, newHeight);
      c->anchorMove_ = false;
      return;
    }
    int ml = 0, mt = 0, mr = 0, mb = 0;
    if (c->alignWithMargins_) {
      ml = c->margins_->Left();
      mt = c->margins_->Top();
      mr = c->margins_->Right();
      mb = c->margins_->Bottom();
    }
    newLeft = rect.Left + ml;
    newTop = rect.Top + mt;
    newWidth = rect.Width() - ml - mr;
    newHeight = rect.Height() - mt - mb;
    switch (align) {
      case alTop:
        newHeight = c->height_;
        rect.Top += newHeight + mt + mb;
        break;
      case alBottom:
        newHeight = c->height_;
        rect.Bottom -= newHeight + mt + mb;
        newTop = rect.Bottom + mt;
        break;
      case alLeft:
        newWidth = c->width_;
        rect.Left += newWidth + ml + mr;
        break;
      case alRight:
        newWidth = c->width_;
        rect.Right -= newWidth + ml + mr;
        newLeft = rect.Right + ml;
        break;
      default: break;
    }
    c->anchorMove_ = true;
    c->SetBounds(newLeft, newTop, std::max(newWidth, 0), std::max(newHeight, 0));
    c->anchorMove_ = false;
    // Constraints may have refused the size: the rest of the area follows
    // the size the control really took.
    const int dw = std::max(newWidth, 0) - c->width_, dh = std::max(newHeight, 0) - c->height_;
    switch (align) {
      case alTop: rect.Top -= dh; break;
      case alBottom: rect.Bottom += dh; break;
      case alLeft: rect.Left -= dw; break;
      case alRight: rect.Right += dw; break;
      case alClient:
        rect.Right -= dw;
        rect.Bottom -= dh;
        break;
      default: break;
    }
  };

  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient, alNone}) {
    QVector<TControl*> list;
    auto eligible = [align](TControl* c) { return c->align_ == align && (align == alNone || c->visible_); };
    if (AControl && eligible(AControl) && controls_.contains(AControl)) list.append(AControl);
    for (TControl* c : controls_) {
      if (c == AControl || !eligible(c)) continue;
      int j = 0;
      while (j < list.size() && !insertBefore(c, list[j], align)) ++j;
      list.insert(j, c);
    }
    for (TControl* c : list) position(c, align);
  }
}

// ---- window

HWND TWinControl::Handle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_) return;
  if (parent_ && !parent_->HandleAllocated()) parent_->HandleNeeded();  // creates ours too
  if (!handle_) CreateHandle();
}

void TWinControl::SetParentWindow(HWND value) {
  if (parentWindow_ == value) return;
  if (parent_) {
    parentWindow_ = value;
    return;
  }
  DestroyHandle();
  parentWindow_ = value;
  UpdateWidgetVisibility();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = GetText();
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (tabStop_) p.Style |= WS_TABSTOP;
  if (!Enabled()) p.Style |= WS_DISABLED;
  p.ExStyle = 0;
  p.X = Left();
  p.Y = Top();
  p.Width = Width();
  p.Height = Height();
  p.WndParent = parent_ ? parent_->Handle() : parentWindow_;
  p.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  p.WindowClass.lpfnWndProc = &DefWindowProcW;
  p.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if (!params.WndParent && (params.Style & WS_CHILD))
    throw EInvalidOperation(QStringLiteral("Control '%1' has no parent window").arg(Name()));
  const std::u16string className = params.WinClassName.toStdU16String();
  WNDCLASSW existing;
  if (!GetClassInfoW(nullptr, reinterpret_cast<LPCWSTR>(className.c_str()), &existing)) {
    WNDCLASSW wc = params.WindowClass;
    wc.lpszClassName = reinterpret_cast<LPCWSTR>(className.c_str());
    if (!wc.lpfnWndProc) wc.lpfnWndProc = &DefWindowProcW;
    RegisterClassW(&wc);
  }
  CreateWindowHandle(params);
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  QWidget* w = Widget();
  HWND h = ::CreateWindowHandle(p.WinClassName, p.Caption, p.Style & ~WS_VISIBLE, p.ExStyle, p.WndParent,
                                nullptr, w, p.Param);
  if (!h) throw EOutOfResources(QStringLiteral("Error creating window for '%1'").arg(Name()));
  // The window layer puts the widget under the parent window's widget; the
  // children of a container live in its container widget.
  if (parent_) {
    QWidget* container = parent_->ContainerWidget();
    if (w->parentWidget() != container) w->setParent(container);
  }
  defWndProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(objectInstance_)));
  SetWindowHandle(h);
}

void TWinControl::DestroyWnd() {
  if (HWND h = handle_) {
    DestroyWindow(h);
    if (handle_ == h) SetWindowHandle(nullptr);
  }
}

void TWinControl::SetWindowHandle(HWND value) {
  if (handle_) ControlsByHandle().remove(handle_);
  handle_ = value;
  if (value) ControlsByHandle().insert(value, this);
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  if (!handle_) throw EOutOfResources(QStringLiteral("Error creating window for '%1'").arg(Name()));
  const QVector<TWinControl*> children = tabList_;
  for (TWinControl* c : children)
    if (c->parent_ == this && !c->handle_ && !c->Loading()) c->CreateHandle();
  UpdateWidgetVisibility();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  const QVector<TWinControl*> children = tabList_;
  for (TWinControl* c : children)
    if (c->parent_ == this) c->DestroyHandle();
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (!handle_ || recreating_) return;
  const bool wasFocused = Focused();
  {
    const QScopedValueRollback recreating(recreating_, true);
    DestroyHandle();
    CreateHandle();
  }
  if (wasFocused && handle_) ::SetFocus(handle_);
}

// ---- messages

void TWinControl::MainWndProc(TMessage& m) {
  try {
    if (WindowProc) WindowProc(m);
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void TWinControl::WndProc(TMessage& m) {
  if (m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST && m.Msg != WM_MOUSEWHEEL && m.Msg != WM_MOUSEHWHEEL) {
    if (RouteMouseToChild(m)) return;
  }
  TControl::WndProc(m);
}

// Mouse messages over a child without a window (or while one holds the
// capture) belong to that child.
bool TWinControl::RouteMouseToChild(TMessage& m) {
  TControl* target = nullptr;
  QPoint pos = FromLParam(m.LParam);
  QWidget* container = widget_ ? ContainerWidget() : nullptr;
  if (container && container != widget_) pos = container->mapFrom(widget_, pos);
  if (handle_ && GetCapture() == handle_) {
    if (captureControl && captureControl->parent_ == this) target = captureControl;
  } else {
    target = ControlAtPos(TPoint(pos.x(), pos.y()));
  }
  if (!target) return false;
  const LPARAM local = PointToLParam(pos.x() - target->left_, pos.y() - target->top_);
  m.Result = target->Perform(m.Msg, m.WParam, local);
  if (m.Result == 0 && handle_) {
    TMessage d = m;
    DefaultHandler(d);
  }
  return true;
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!DoKeyDown(m)) DefaultHandler(m);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!DoKeyUp(m)) DefaultHandler(m);
      return;
    case WM_CHAR:
      if (!DoKeyPress(m)) DefaultHandler(m);
      return;
    case CN_KEYDOWN:
    case CN_KEYUP:
    case CN_CHAR:
    case CN_SYSKEYDOWN:
    case CN_SYSCHAR: m.Result = 0; return;
    case WM_SETFOCUS: {
      QPointer<TWinControl> self(this);
      DefaultHandler(m);
      if (!self || Destroyed()) return;
      if (TCustomForm* form = GetParentForm(this); form && form != this) form->SetFocusedControl(this);
      return;
    }
    case WM_NOTIFY: {
      // Notifications come back to the control that sent them.
      const auto* header = reinterpret_cast<const NMHDR*>(m.LParam);
      TWinControl* from = header && header->hwndFrom != handle_ ? FindControl(header->hwndFrom) : nullptr;
      if (from) {
        m.Result = from->Perform(CN_NOTIFY, m.WParam, m.LParam);
        return;
      }
      DefaultHandler(m);
      return;
    }
    case CM_ENTER: DoEnter(); return;
    case CM_EXIT: DoExit(); return;
    case WM_WINDOWPOSCHANGED: {
      QPointer<TWinControl> self(this);
      DefaultHandler(m);
      if (self) UpdateBoundsFromWidget();
      return;
    }
    case WM_NCDESTROY:
      DefaultHandler(m);
      SetWindowHandle(nullptr);
      return;
    case WM_SETTEXT: {
      // Text set on the window from outside becomes the control's text too.
      DefaultHandler(m);
      const String text =
          m.LParam ? String::fromUtf16(reinterpret_cast<const char16_t*>(m.LParam)) : String();
      if (text != text_) {
        text_ = text;
        Perform(CM_TEXTCHANGED);
      }
      return;
    }
    case WM_CAPTURECHANGED:
      if (captureControl && captureControl->parent_ == this && reinterpret_cast<HWND>(m.LParam) != handle_)
        captureControl = nullptr;
      DefaultHandler(m);
      return;
    case WM_CONTEXTMENU:
      if (m.Result == 0 && m.LParam != LPARAM(-1)) {
        const TPoint p = ScreenToClient(TPoint(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)));
        if (TControl* c = ControlAtPos(p)) m.Result = c->Perform(WM_CONTEXTMENU, 0, m.LParam);
      }
      if (m.Result == 0) TControl::Dispatch(m);
      return;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED: {
      TControl::Dispatch(m);
      const UINT notify = m.Msg == CM_COLORCHANGED ? CM_PARENTCOLORCHANGED : CM_PARENTFONTCHANGED;
      const QVector<TControl*> children = controls_;
      for (TControl* c : children) c->Perform(notify);
      return;
    }
    default: TControl::Dispatch(m); return;
  }
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (handle_) {
    m.Result = CallWindowProcW(defWndProc_, handle_, m.Msg, m.WParam, m.LParam);
    return;
  }
  TControl::DefaultHandler(m);
}

void TWinControl::SetText(const String& value) {
  if (GetText() == value) return;
  TControl::SetText(value);
  if (handle_) SetWindowTextW(handle_, reinterpret_cast<LPCWSTR>(value.utf16()));
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (!handle_ && parent_ && parent_->HandleAllocated()) CreateHandle();
  Realign();
}

void TWinControl::BoundsChanged(bool sizeChanged) {
  TControl::BoundsChanged(sizeChanged);
  if (sizeChanged) Realign();
}

void TWinControl::ApplyBoundsToWidget() {
  if (!handle_) {
    TControl::ApplyBoundsToWidget();
    return;
  }
  SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::UpdateWidgetColors() {
  TControl::UpdateWidgetColors();
  if (widget_) widget_->setAutoFillBackground(!parentBackground_);
}

void TWinControl::UpdateWidgetVisibility() {
  if (!widget_) return;
  // A control living in a foreign window shows only inside that window's widget.
  widget_->setVisible(Visible() && (parent_ || (parentWindow_ && widget_->parentWidget())));
}

void TWinControl::SetParentBackground(bool value) {
  if (parentBackground_ == value) return;
  parentBackground_ = value;
  UpdateWidgetColors();
  Invalidate();
}

// ---- focus

void TWinControl::SetTabStop(bool value) {
  tabStop_ = value;
  if (!widget_) return;
  Qt::FocusPolicy policy = widget_->focusPolicy();
  policy = value ? Qt::FocusPolicy(policy | Qt::TabFocus) : Qt::FocusPolicy(policy & ~Qt::TabFocus);
  widget_->setFocusPolicy(policy);
}

int TWinControl::TabOrder() const {
  return parent_ ? int(parent_->tabList_.indexOf(const_cast<TWinControl*>(this))) : -1;
}

void TWinControl::SetTabOrder(int value) {
  if (!parent_) return;
  auto& list = parent_->tabList_;
  list.removeAll(this);
  list.insert(std::clamp(value, 0, int(list.size())), this);
  parent_->UpdateTabOrder();
}

void TWinControl::UpdateTabOrder() {
  QWidget* previous = nullptr;
  for (TWinControl* c : tabList_) {
    if (!c->widget_) continue;
    if (previous) QWidget::setTabOrder(previous, c->widget_);
    previous = c->widget_;
  }
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = GetParentForm(const_cast<TWinControl*>(this));
  if (!form || !form->Visible() || !form->Enabled()) return false;
  for (const TWinControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm(this);
  if (!form && parentWindow_) {
    ::SetFocus(Handle());
    return;
  }
  if (!CanFocus()) throw EInvalidOperation(QStringLiteral("Cannot focus a disabled or invisible window"));
  if (form != this) form->SetActiveControl(this);
  ::SetFocus(Handle());
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

namespace {

// A key-down or key-up message: a form that previews keys sees it first, then
// the control's handler (when it raises the standard events); a key set to 0
// is swallowed, another key replaces the message's.
bool DispatchKey(TWinControl* control, TMessage& m, bool stdEvents, bool (TWinControl::*dispatch)(TMessage&),
                 void (TWinControl::*handler)(Word&, TShiftState)) {
  TCustomForm* form = GetParentForm(control);
  if (form && form != control && form->KeyPreview() && (static_cast<TWinControl*>(form)->*dispatch)(m))
    return true;
  if (!stdEvents) return false;
  Word key = LOWORD(m.WParam);
  (control->*handler)(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return true;
  m.WParam = key;
  return false;
}

}  // namespace

bool TWinControl::DoKeyDown(TMessage& m) {
  return DispatchKey(this, m, !controlStyle_.Contains(csNoStdEvents), &TWinControl::DoKeyDown,
                     &TWinControl::KeyDown);
}

bool TWinControl::DoKeyUp(TMessage& m) {
  return DispatchKey(this, m, !controlStyle_.Contains(csNoStdEvents), &TWinControl::DoKeyUp,
                     &TWinControl::KeyUp);
}

bool TWinControl::DoKeyPress(TMessage& m) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyPress(m))
    return true;
  if (controlStyle_.Contains(csNoStdEvents)) return false;
  WideChar key = WideChar(m.WParam);
  KeyPress(key);
  if (key == 0) return true;
  m.WParam = key;
  return false;
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) { RaiseEvent(this, OnKeyDown, this, Key, Shift); }

void TWinControl::KeyUp(Word& Key, TShiftState Shift) { RaiseEvent(this, OnKeyUp, this, Key, Shift); }

void TWinControl::KeyPress(WideChar& Key) { RaiseEvent(this, OnKeyPress, this, Key); }

void TWinControl::DoEnter() { RaiseEvent(this, OnEnter, this); }

void TWinControl::DoExit() { RaiseEvent(this, OnExit, this); }
