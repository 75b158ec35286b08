#include "platform/classlib/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

#include "platform/classlib/Controls_p.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"

using namespace controls_p;

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

}  // namespace

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
      ((old == alTop || old == alBottom) == (value == alLeft || value == alRight)) && old != alNone &&
      old != alClient && value != alNone && value != alClient) {
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

TPopupMenu* TControl::GetPopupMenu() { return popupMenu_; }

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
  TPopupMenu* menu = GetPopupMenu();
  if (!self) return;
  if (menu && menu->AutoPopup()) {
    const TPoint at = fromKeyboard ? ClientToScreen(TPoint(0, 0)) : screen;
    menu->SetPopupComponent(this);
    menu->Popup(at.X, at.Y);
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
  if (widget_ && widget_->isVisible())
    QCoreApplication::sendPostedEvents(widget_->window(), QEvent::UpdateRequest);
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

void TControl::Click() { RaiseEvent(this, OnClick, this); }

void TControl::DblClick() { RaiseEvent(this, OnDblClick, this); }

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && dragMode_ == dmAutomatic && !Dragging()) BeginAutoDrag(X, Y);
  RaiseEvent(this, OnMouseDown, this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  RaiseEvent(this, OnMouseUp, this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  RaiseEvent(this, OnMouseMove, this, Shift, X, Y);
}

void TControl::MouseEnter() { RaiseEvent(this, OnMouseEnter, this); }

void TControl::MouseLeave() { RaiseEvent(this, OnMouseLeave, this); }

void TControl::Resize() { RaiseEvent(this, OnResize, this); }

void TControl::DoContextPopup(const TPoint& MousePos, bool& Handled) {
  RaiseEvent(this, OnContextPopup, this, MousePos, Handled);
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
      EventEntry("OnDragOver", &TControl::OnDragOver),
      EventEntry("OnDragDrop", &TControl::OnDragDrop),
      EventEntry("OnEndDrag", &TControl::OnEndDrag),
  });
  RegisterEvents<TWinControl>({
      EventEntry("OnKeyDown", &TWinControl::OnKeyDown),
      EventEntry("OnKeyUp", &TWinControl::OnKeyUp),
      EventEntry("OnKeyPress", &TWinControl::OnKeyPress),
      EventEntry("OnEnter", &TWinControl::OnEnter),
      EventEntry("OnExit", &TWinControl::OnExit),
  });
}
