#include "platform/classlib/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"

// ---------------------------------------------------------------- widget plumbing

// The default widget of a control: paints through the control.
class TControlWidget : public QWidget {
 public:
  TControlWidget(TControl* control, QWidget* parent) : QWidget(parent), control_(control) {}
  TControl* control_;

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!control_ || control_->Destroyed()) return;
    QPainter painter(this);
    try {
      control_->PaintWidget(painter);
    } catch (...) {
      if (Application) Application->HandleException(control_);
    }
  }
};

// Watches a control's widget for what does not arrive as a window message:
// hints, the mouse entering and leaving a control without a window, and
// window state changes of forms.
class TControlEventFilter : public QObject {
 public:
  TControlEventFilter(TControl* control, QWidget* widget) : QObject(widget), control_(control) {
    widget->installEventFilter(this);
  }
  TControl* control_;

  bool eventFilter(QObject* watched, QEvent* e) override {
    TControl* c = control_;
    if (!c || c->Destroyed() || watched != c->widget_) return false;
    try {
      switch (e->type()) {
        case QEvent::ToolTip: return ShowHint(c, static_cast<QHelpEvent*>(e));
        case QEvent::Enter:
          if (!dynamic_cast<TWinControl*>(c)) c->Perform(CM_MOUSEENTER);
          break;
        case QEvent::Leave:
          if (!dynamic_cast<TWinControl*>(c)) c->Perform(CM_MOUSELEAVE);
          break;
        case QEvent::WindowStateChange:
          if (auto* form = dynamic_cast<TCustomForm*>(c)) form->SyncWindowState();
          break;
        default: break;
      }
    } catch (...) {
      if (Application) Application->HandleException(c);
    }
    return false;
  }

 private:
  // The hint of the control under the mouse (or of the nearest parent that
  // has one), when the control shows hints.
  static bool ShowHint(TControl* c, QHelpEvent* e) {
    String hint;
    for (TControl* p = c; p; p = p->Parent())
      if (!p->Hint().isEmpty()) {
        hint = GetShortHint(p->Hint());
        break;
      }
    const bool show = c->EffectiveShowHint() && (!Application || Application->ShowHint());
    if (show && !hint.isEmpty())
      QToolTip::showText(e->globalPos(), hint, c->widget_);
    else
      QToolTip::hideText();
    return true;
  }
};

namespace {

QHash<HWND, TWinControl*>& ControlsByHandle() {
  static QHash<HWND, TWinControl*> map;
  return map;
}

// The graphic control holding the mouse capture within its parent's window.
TControl* captureControl = nullptr;

template <class F>
void Raise(TControl* c, F&& f) {
  if (!c->ComponentState().Contains(csDestroying)) f();
}

TAnchors AnchorAlign(TAlign a) {
  switch (a) {
    case alTop: return {akLeft, akTop, akRight};
    case alBottom: return {akLeft, akRight, akBottom};
    case alLeft: return {akLeft, akTop, akBottom};
    case alRight: return {akRight, akTop, akBottom};
    case alClient: return {akLeft, akTop, akRight, akBottom};
    default: return {akLeft, akTop};
  }
}

QPoint FromLParam(LPARAM l) { return QPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)); }

}  // namespace

// ---------------------------------------------------------------- TMargins

TMargins::TMargins(QObject* parent, int initial)
    : TPersistent(parent), left_(initial), top_(initial), right_(initial), bottom_(initial) {}

void TMargins::Assign(TPersistent* source) {
  if (auto* m = qobject_cast<TMargins*>(source)) {
    SetBounds(m->left_, m->top_, m->right_, m->bottom_);
    return;
  }
  TPersistent::Assign(source);
}

void TMargins::SetBounds(int left, int top, int right, int bottom) {
  if (left == left_ && top == top_ && right == right_ && bottom == bottom_) return;
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
  if (OnChange) OnChange(this);
}

void TMargins::Set(int& field, int value) {
  if (field == value) return;
  field = value;
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TSizeConstraints

void TSizeConstraints::Assign(TPersistent* source) {
  if (auto* c = qobject_cast<TSizeConstraints*>(source)) {
    maxHeight_ = c->maxHeight_;
    maxWidth_ = c->maxWidth_;
    minHeight_ = c->minHeight_;
    minWidth_ = c->minWidth_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TSizeConstraints::SetMaxHeight(int v) {
  if (v == maxHeight_) return;
  maxHeight_ = std::max(v, 0);
  if (maxHeight_ > 0 && maxHeight_ < minHeight_) minHeight_ = maxHeight_;
  Changed();
}

void TSizeConstraints::SetMaxWidth(int v) {
  if (v == maxWidth_) return;
  maxWidth_ = std::max(v, 0);
  if (maxWidth_ > 0 && maxWidth_ < minWidth_) minWidth_ = maxWidth_;
  Changed();
}

void TSizeConstraints::SetMinHeight(int v) {
  if (v == minHeight_) return;
  minHeight_ = std::max(v, 0);
  if (maxHeight_ > 0 && minHeight_ > maxHeight_) maxHeight_ = minHeight_;
  Changed();
}

void TSizeConstraints::SetMinWidth(int v) {
  if (v == minWidth_) return;
  minWidth_ = std::max(v, 0);
  if (maxWidth_ > 0 && minWidth_ > maxWidth_) maxWidth_ = minWidth_;
  Changed();
}

void TSizeConstraints::Apply(int& width, int& height) const {
  if (minWidth_ > 0 && width < minWidth_) width = minWidth_;
  if (maxWidth_ > 0 && width > maxWidth_) width = maxWidth_;
  if (minHeight_ > 0 && height < minHeight_) height = minHeight_;
  if (maxHeight_ > 0 && height > maxHeight_) height = maxHeight_;
}

void TSizeConstraints::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  margins_ = new TMargins(this);
  margins_->OnChange = [this](TObject*) {
    if (alignWithMargins_) RequestAlign();
  };
  constraints_ = new TSizeConstraints(this);
  constraints_->OnChange = [this](TObject*) {
    int w = width_, h = height_;
    constraints_->Apply(w, h);
    if (w != width_ || h != height_)
      SetBounds(left_, top_, w, h);
    else if (widget_)
      ApplyBoundsToWidget();
  };
  font_ = new TFont(this);
  font_->OnChange = [this](TObject*) { FontChanged(); };
  WindowProc = [this](TMessage& m) { WndProc(m); };
}

TControl::~TControl() {
  Destroying();
  if (captureControl == this) captureControl = nullptr;
  if (parent_) parent_->RemoveControl(this);
  if (QWidget* w = widget_) {
    if (auto* cw = dynamic_cast<TControlWidget*>(w)) cw->control_ = nullptr;
    if (filter_) filter_->control_ = nullptr;
    widget_ = nullptr;
    delete w;
  }
}

// ---- widget

QWidget* TControl::Widget() {
  if (!widget_) {
    QWidget* w = CreateWidget();
    widget_ = w;
    filter_ = new TControlEventFilter(this, w);
    ApplyWidgetState();
  }
  return widget_;
}

QWidget* TControl::CreateWidget() { return new TControlWidget(this, nullptr); }

void TControl::PaintWidget(QPainter&) {}

void TControl::ApplyWidgetState() {
  QWidget* w = widget_;
  if (parent_) {
    QWidget* container = parent_->ContainerWidget();
    if (w->parentWidget() != container) w->setParent(container);
  }
  w->setMouseTracking(true);
  ApplyBoundsToWidget();
  w->setEnabled(enabled_);
  w->setFont(font_->ToQFont());
  UpdateWidgetColors();
  if (cursor_ != crDefault) w->setCursor(CursorToQCursor(cursor_));
  if (auto* wc = dynamic_cast<TWinControl*>(this)) wc->SetTabStop(wc->tabStop_);
  UpdateWidgetVisibility();
}

void TControl::UpdateWidgetVisibility() {
  if (!widget_) return;
  widget_->setVisible(visible_ && parent_);
}

void TControl::UpdateWidgetColors() {
  if (!widget_) return;
  QPalette pal = widget_->palette();
  const QColor text = TColorToQColor(font_->GetColor());
  if (text.isValid()) {
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::ButtonText, text);
  }
  const QColor back = TColorToQColor(color_);
  if (back.isValid()) {
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::Base, back);
  }
  widget_->setPalette(pal);
}

void TControl::ApplyBoundsToWidget() {
  if (widget_) widget_->setGeometry(left_, top_, width_, height_);
}

void TControl::UpdateBoundsFromWidget() {
  if (!widget_) return;
  const QRect g = widget_->isWindow() ? widget_->frameGeometry() : widget_->geometry();
  if (g.x() == left_ && g.y() == top_ && g.width() == width_ && g.height() == height_) return;
  const bool sized = g.width() != width_ || g.height() != height_;
  left_ = g.x();
  top_ = g.y();
  width_ = g.width();
  height_ = g.height();
  UpdateAnchorRules();
  BoundsChanged(sized);
}

// ---- parent

void TControl::SetParent(TWinControl* AParent) {
  if (parent_ == AParent) return;
  if (AParent == this) throw EInvalidOperation(QStringLiteral("A control cannot have itself as its parent"));
  if (auto* self = dynamic_cast<TWinControl*>(this); self && AParent && self->ContainsControl(AParent))
    throw EInvalidOperation(QStringLiteral("A control cannot have one of its children as its parent"));
  if (parent_) parent_->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* value) {
  if (auto* wc = qobject_cast<TWinControl*>(value)) SetParent(wc);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

// ---- bounds

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  constraints_->Apply(AWidth, AHeight);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  const bool sized = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  ApplyBoundsToWidget();
  UpdateAnchorRules();
  BoundsChanged(sized);
}

void TControl::BoundsChanged(bool sizeChanged) {
  RequestAlign();
  if (sizeChanged && !Loading() && !Destroyed()) Resize();
}

TRect TControl::ClientRect() const { return TRect(0, 0, width_, height_); }

void TControl::SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
void TControl::SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }

void TControl::SetClientSize(int width, int height) {
  const TRect c = ClientRect();
  SetBounds(left_, top_, width + (width_ - c.Width()), height + (height_ - c.Height()));
}

TPoint TControl::ClientToScreen(const TPoint& p) {
  if (widget_) {
    const QPoint g = widget_->mapToGlobal(QPoint(p.X, p.Y));
    return TPoint(g.x(), g.y());
  }
  const TPoint inParent(p.X + left_, p.Y + top_);
  return parent_ ? parent_->ClientToScreen(inParent) : inParent;
}

TPoint TControl::ScreenToClient(const TPoint& p) {
  const TPoint origin = ClientToScreen(TPoint(0, 0));
  return TPoint(p.X - origin.X, p.Y - origin.Y);
}

// ---- alignment

void TControl::SetAlign(TAlign value) {
  if (align_ == value) return;
  const TAlign old = align_;
  align_ = value;
  anchors_ = AnchorAlign(value);
  if (!Loading() && value != alCustom && old != alCustom &&
      ((old == alTop || old == alBottom) == (value == alLeft || value == alRight)) &&
      old != alNone && old != alClient && value != alNone && value != alClient) {
    // Turning a top or bottom bar into a side bar (or back) swaps its extent.
    SetBounds(left_, top_, height_, width_);
  }
  RequestAlign();
}

void TControl::SetAlignWithMargins(bool value) {
  if (alignWithMargins_ == value) return;
  alignWithMargins_ = value;
  RequestAlign();
}

void TControl::SetAnchors(TAnchors value) {
  if (anchors_ == value) return;
  anchors_ = value;
  UpdateAnchorRules();
}

void TControl::RequestAlign() {
  if (parent_) parent_->AlignControl(this);
}

void TControl::UpdateAnchorRules() {
  if (anchorMove_ || Loading() || !parent_) return;
  if (anchors_ == TAnchors{akLeft, akTop}) {
    originalParentSize_ = TPoint(0, 0);
    return;
  }
  if (anchors_.Contains(akRight))
    anchorRules_.X = anchors_.Contains(akLeft) ? width_ : left_;
  else
    anchorRules_.X = left_ + width_ / 2;
  if (anchors_.Contains(akBottom))
    anchorRules_.Y = anchors_.Contains(akTop) ? height_ : top_;
  else
    anchorRules_.Y = top_ + height_ / 2;
  originalParentSize_ = TPoint(parent_->ClientWidth(), parent_->ClientHeight());
}

// ---- visibility and state

void TControl::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
  RequestAlign();
}

bool TControl::IsShowing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED);
}

bool TControl::IsEnabledForInput() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

void TControl::SetColor(TColor value) {
  if (color_ == value && !parentColor_) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (parentColor_ == value) return;
  parentColor_ = value;
  if (value && parent_) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  color_ = parent_->color_;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (parentFont_ == value) return;
  parentFont_ = value;
  if (value && parent_) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  updatingFont_ = true;
  font_->Assign(parent_->font_);
  updatingFont_ = false;
}

void TControl::FontChanged() {
  if (!updatingFont_) parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetCursor(TCursor value) {
  if (cursor_ == value) return;
  cursor_ = value;
  if (widget_) {
    if (value == crDefault)
      widget_->unsetCursor();
    else
      widget_->setCursor(CursorToQCursor(value));
  }
}

void TControl::SetHint(const String& value) { hint_ = value; }

void TControl::SetShowHint(bool value) {
  showHint_ = value;
  parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool value) {
  if (parentShowHint_ == value) return;
  parentShowHint_ = value;
  if (value && parent_) showHint_ = parent_->EffectiveShowHint();
}

bool TControl::EffectiveShowHint() const {
  return (parentShowHint_ && parent_) ? parent_->EffectiveShowHint() : showHint_;
}

void TControl::SetPopupMenu(TPopupMenu* value) {
  if (popupMenu_ == value) return;
  if (popupMenu_) RemoveFreeNotification(popupMenu_);
  popupMenu_ = value;
  if (value) FreeNotification(value);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent && AComponent == popupMenu_) popupMenu_ = nullptr;
}

String TControl::GetText() const { return text_; }

void TControl::SetText(const String& value) {
  if (text_ == value) return;
  text_ = value;
  Perform(CM_TEXTCHANGED);
}

// ---- capture

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool value) {
  if (MouseCapture() == value) return;
  SetCaptureControl(value ? this : nullptr);
}

// ---- messages

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  if (WindowProc) WindowProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& Message) { Dispatch(Message); }

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: HandleMouseButton(m, mbLeft, true, false); return;
    case WM_RBUTTONDOWN: HandleMouseButton(m, mbRight, true, false); return;
    case WM_MBUTTONDOWN: HandleMouseButton(m, mbMiddle, true, false); return;
    case WM_LBUTTONDBLCLK: HandleMouseButton(m, mbLeft, true, true); return;
    case WM_RBUTTONDBLCLK: HandleMouseButton(m, mbRight, true, true); return;
    case WM_MBUTTONDBLCLK: HandleMouseButton(m, mbMiddle, true, true); return;
    case WM_LBUTTONUP: HandleMouseButton(m, mbLeft, false, false); return;
    case WM_RBUTTONUP: HandleMouseButton(m, mbRight, false, false); return;
    case WM_MBUTTONUP: HandleMouseButton(m, mbMiddle, false, false); return;
    case WM_MOUSEMOVE: {
      QPointer<TControl> self(this);
      DefaultHandler(m);
      if (self && IsEnabledForInput() && !controlStyle_.Contains(csNoStdEvents))
        MouseMove(KeysToShiftState(LOWORD(m.WParam)), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    }
    case CM_MOUSEENTER:
      DefaultHandler(m);
      if (m.LParam == 0) MouseEnter();
      return;
    case CM_MOUSELEAVE:
      DefaultHandler(m);
      if (m.LParam == 0) MouseLeave();
      return;
    case CM_VISIBLECHANGED: UpdateWidgetVisibility(); return;
    case CM_ENABLEDCHANGED:
      if (widget_) widget_->setEnabled(enabled_);
      return;
    case CM_COLORCHANGED:
      UpdateWidgetColors();
      Invalidate();
      return;
    case CM_FONTCHANGED:
      if (widget_) widget_->setFont(font_->ToQFont());
      UpdateWidgetColors();
      Invalidate();
      return;
    case CM_PARENTFONTCHANGED: ParentFontChanged(); return;
    case CM_PARENTCOLORCHANGED: ParentColorChanged(); return;
    case CM_TEXTCHANGED: Invalidate(); return;
    case WM_CONTEXTMENU: HandleContextMenu(m); return;
    default: DefaultHandler(m); return;
  }
}

void TControl::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<char16_t*>(m.LParam);
      const String text = GetText();
      if (!buffer || m.WParam == 0) {
        m.Result = 0;
        return;
      }
      const int n = std::min<int>(text.size(), int(m.WParam) - 1);
      std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), n, buffer);
      buffer[n] = 0;
      m.Result = n;
      return;
    }
    case WM_GETTEXTLENGTH: m.Result = GetText().size(); return;
    case WM_SETTEXT:
      SetText(m.LParam ? String::fromUtf16(reinterpret_cast<const char16_t*>(m.LParam)) : String());
      m.Result = 1;
      return;
    default: return;
  }
}

void TControl::HandleMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl) {
  QPointer<TControl> self(this);
  DefaultHandler(m);
  if (!self || !IsEnabledForInput()) return;
  const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState shift = KeysToShiftState(LOWORD(m.WParam));
  const bool std = !controlStyle_.Contains(csNoStdEvents);
  if (down) {
    if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(true);
    if (dbl && controlStyle_.Contains(csDoubleClicks)) {
      shift.Include(ssDouble);
      if (button == mbLeft && controlStyle_.Contains(csClickEvents)) DblClick();
      if (!self) return;
    } else if (button == mbLeft && controlStyle_.Contains(csClickEvents)) {
      clicked_ = true;
    }
    if (std) MouseDown(button, shift, x, y);
    return;
  }
  if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(false);
  if (button == mbLeft && clicked_) {
    clicked_ = false;
    if (ClientRect().Contains(TPoint(x, y))) Click();
    if (!self) return;
  }
  if (std) MouseUp(button, shift, x, y);
}

void TControl::HandleContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  QPointer<TControl> self(this);
  const bool fromKeyboard = m.LParam == LPARAM(-1);
  const TPoint screen(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  const TPoint local = fromKeyboard ? TPoint(-1, -1) : ScreenToClient(screen);
  bool handled = false;
  DoContextPopup(local, handled);
  if (!self) return;
  if (handled) {
    m.Result = 1;
    return;
  }
  if (popupMenu_ && popupMenu_->AutoPopup()) {
    const TPoint at = fromKeyboard ? ClientToScreen(TPoint(0, 0)) : screen;
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(at.X, at.Y);
    m.Result = 1;
    return;
  }
  DefaultHandler(m);
}

// ---- painting and order

void TControl::Invalidate() {
  if (widget_) widget_->update();
}

void TControl::Repaint() {
  if (widget_ && widget_->isVisible()) widget_->repaint();
}

void TControl::Update() {
  if (widget_ && widget_->isVisible()) QCoreApplication::sendPostedEvents(widget_->window(), QEvent::UpdateRequest);
}

void TControl::BringToFront() {
  if (parent_) {
    parent_->controls_.removeAll(this);
    parent_->controls_.append(this);
  }
  if (auto* wc = dynamic_cast<TWinControl*>(this); wc && wc->HandleAllocated()) {
    SetWindowPos(wc->handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else if (widget_) {
    widget_->raise();
    // Controls without a window stay below the windowed controls of their parent.
    if (parent_ && !dynamic_cast<TWinControl*>(this))
      for (TControl* c : parent_->controls_)
        if (dynamic_cast<TWinControl*>(c) && c->widget_) {
          widget_->stackUnder(c->widget_);
          break;
        }
  }
  Invalidate();
}

void TControl::SendToBack() {
  if (parent_) {
    parent_->controls_.removeAll(this);
    parent_->controls_.prepend(this);
  }
  if (auto* wc = dynamic_cast<TWinControl*>(this); wc && wc->HandleAllocated())
    SetWindowPos(wc->handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  else if (widget_)
    widget_->lower();
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parentColor_) ParentColorChanged();
  if (parentFont_) ParentFontChanged();
  UpdateAnchorRules();
  RequestAlign();
}

// ---- events

void TControl::Click() {
  Raise(this, [&] {
    if (OnClick) OnClick(this);
  });
}

void TControl::DblClick() {
  Raise(this, [&] {
    if (OnDblClick) OnDblClick(this);
  });
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Raise(this, [&] {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
  });
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Raise(this, [&] {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
  });
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  Raise(this, [&] {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
  });
}

void TControl::MouseEnter() {
  Raise(this, [&] {
    if (OnMouseEnter) OnMouseEnter(this);
  });
}

void TControl::MouseLeave() {
  Raise(this, [&] {
    if (OnMouseLeave) OnMouseLeave(this);
  });
}

void TControl::Resize() {
  Raise(this, [&] {
    if (OnResize) OnResize(this);
  });
}

void TControl::DoContextPopup(const TPoint& MousePos, bool& Handled) {
  Raise(this, [&] {
    if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
  });
}

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
  try {
    TRect rect = ClientRect();
    AlignControls(AControl, rect);
  } catch (...) {
    aligning_ = false;
    alignNeeded_ = false;
    --alignLevel_;
    throw;
  }
  aligning_ = false;
  alignNeeded_ = false;
  --alignLevel_;
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
  defWndProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(objectInstance_)));
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
  recreating_ = true;
  try {
    DestroyHandle();
    CreateHandle();
  } catch (...) {
    recreating_ = false;
    throw;
  }
  recreating_ = false;
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
      const String text = m.LParam ? String::fromUtf16(reinterpret_cast<const char16_t*>(m.LParam)) : String();
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

int TWinControl::TabOrder() const { return parent_ ? int(parent_->tabList_.indexOf(const_cast<TWinControl*>(this))) : -1; }

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
bool DispatchKey(TWinControl* control, TMessage& m, bool stdEvents,
                 bool (TWinControl::*dispatch)(TMessage&),
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
  if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyPress(m)) return true;
  if (controlStyle_.Contains(csNoStdEvents)) return false;
  WideChar key = WideChar(m.WParam);
  KeyPress(key);
  if (key == 0) return true;
  m.WParam = key;
  return false;
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
  Raise(this, [&] {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
  });
}

void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
  Raise(this, [&] {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
  });
}

void TWinControl::KeyPress(WideChar& Key) {
  Raise(this, [&] {
    if (OnKeyPress) OnKeyPress(this, Key);
  });
}

void TWinControl::DoEnter() {
  Raise(this, [&] {
    if (OnEnter) OnEnter(this);
  });
}

void TWinControl::DoExit() {
  Raise(this, [&] {
    if (OnExit) OnExit(this);
  });
}

// ---------------------------------------------------------------- painting controls

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(new TCanvas(this)) {}

void TGraphicControl::PaintWidget(QPainter& painter) {
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  canvas_->SetPainter(&painter);
  try {
    Paint();
  } catch (...) {
    canvas_->SetPainter(nullptr);
    throw;
  }
  canvas_->SetPainter(nullptr);
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(new TCanvas(this)) {}

void TCustomControl::PaintWidget(QPainter& painter) {
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  canvas_->SetPainter(&painter);
  try {
    Paint();
  } catch (...) {
    canvas_->SetPainter(nullptr);
    throw;
  }
  canvas_->SetPainter(nullptr);
}

// ---------------------------------------------------------------- helpers

TWinControl* FindControl(HWND handle) { return handle ? ControlsByHandle().value(handle, nullptr) : nullptr; }

TWinControl* FindVCLWindow(const TPoint& pos) {
  for (HWND h = WindowFromPoint(POINT{pos.X, pos.Y}); h; h = GetParent(h))
    if (TWinControl* c = FindControl(h)) return c;
  return nullptr;
}

TCustomForm* GetParentForm(TControl* control, bool topForm) {
  TCustomForm* found = nullptr;
  for (TControl* c = control; c; c = c->Parent()) {
    if (auto* f = qobject_cast<TCustomForm*>(c)) {
      found = f;
      if (!topForm) break;
    }
  }
  return found;
}

TControl* GetCaptureControl() {
  TControl* c = FindControl(GetCapture());
  if (c && captureControl && captureControl->Parent() == c) return captureControl;
  return c;
}

void SetCaptureControl(TControl* control) {
  ReleaseCapture();
  captureControl = nullptr;
  if (!control) return;
  TWinControl* window = dynamic_cast<TWinControl*>(control);
  if (!window) {
    window = control->Parent();
    if (!window) return;
    captureControl = control;
  }
  if (window->HandleAllocated()) SetCapture(window->Handle());
}

String GetShortHint(const String& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.left(bar);
}

String GetLongHint(const String& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.mid(bar + 1);
}

void InitializeControls() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterGraphicsIdents();
  RegisterEvents<TControl>({
      EventEntry("OnClick", &TControl::OnClick),
      EventEntry("OnDblClick", &TControl::OnDblClick),
      EventEntry("OnMouseDown", &TControl::OnMouseDown),
      EventEntry("OnMouseUp", &TControl::OnMouseUp),
      EventEntry("OnMouseMove", &TControl::OnMouseMove),
      EventEntry("OnMouseEnter", &TControl::OnMouseEnter),
      EventEntry("OnMouseLeave", &TControl::OnMouseLeave),
      EventEntry("OnResize", &TControl::OnResize),
      EventEntry("OnContextPopup", &TControl::OnContextPopup),
  });
  RegisterEvents<TWinControl>({
      EventEntry("OnKeyDown", &TWinControl::OnKeyDown),
      EventEntry("OnKeyUp", &TWinControl::OnKeyUp),
      EventEntry("OnKeyPress", &TWinControl::OnKeyPress),
      EventEntry("OnEnter", &TWinControl::OnEnter),
      EventEntry("OnExit", &TWinControl::OnExit),
  });
}
