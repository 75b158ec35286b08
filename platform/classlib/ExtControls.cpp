#include "platform/classlib/ExtControls.h"

#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

#include "platform/classlib/Forms.h"

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(new TPicture(this)) {
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
  SetBounds(0, 0, 105, 105);
}

void TImage::SetAutoSize(bool value) {
  if (autoSize_ == value) return;
  autoSize_ = value;
  PictureChanged();
}

void TImage::SetCenter(bool value) {
  if (center_ == value) return;
  center_ = value;
  Invalidate();
}

void TImage::SetProportional(bool value) {
  if (proportional_ == value) return;
  proportional_ = value;
  Invalidate();
}

void TImage::SetStretch(bool value) {
  if (stretch_ == value) return;
  stretch_ = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  PictureChanged();
}

TCanvas* TImage::Canvas() {
  TGraphic* graphic = picture_->Graphic();
  if (!graphic) {
    TBitmap* bitmap = picture_->Bitmap();
    bitmap->SetSize(Width(), Height());
    return bitmap->Canvas();
  }
  if (auto* bitmap = qobject_cast<TBitmap*>(graphic)) return bitmap->Canvas();
  throw EInvalidOperation(QStringLiteral("Can only modify an image if it contains a bitmap"));
}

TRect TImage::DestRect() const {
  int w = picture_->GetWidth();
  int h = picture_->GetHeight();
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      const double aspect = double(w) / h;
      if (w > h) {
        w = cw;
        h = int(cw / aspect);
        if (h > ch) {
          h = ch;
          w = int(ch * aspect);
        }
      } else {
        h = ch;
        w = int(ch * aspect);
        if (w > cw) {
          w = cw;
          h = int(cw / aspect);
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r(0, 0, w, h);
  if (center_) {
    const int dx = (cw - w) / 2, dy = (ch - h) / 2;
    r = TRect(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy);
  }
  return r;
}

void TImage::Paint() {
  TGraphic* graphic = picture_->Graphic();
  if (!graphic || graphic->GetEmpty()) return;
  const QScopedValueRollback drawing(drawing_, true);
  TGraphicControl::Canvas()->StretchDraw(DestRect(), graphic);
}

void TImage::PictureChanged() {
  if (Destroyed()) return;
  TGraphic* graphic = picture_->Graphic();
  if (graphic && graphic->GetTransparent() != transparent_ && !qobject_cast<TIcon*>(graphic))
    graphic->SetTransparent(transparent_);  // raises this again
  if (autoSize_ && picture_->GetWidth() > 0 && picture_->GetHeight() > 0)
    SetBounds(Left(), Top(), picture_->GetWidth(), picture_->GetHeight());
  if (!drawing_) Invalidate();
}

// ---------------------------------------------------------------- TShape

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner), brush_(new TBrush(this)), pen_(new TPen(this)) {
  brush_->OnChange = [this](TObject*) { Invalidate(); };
  pen_->OnChange = [this](TObject*) { Invalidate(); };
  SetBounds(0, 0, 65, 65);
}

void TShape::SetShape(TShapeType value) {
  if (shape_ == value) return;
  shape_ = value;
  Invalidate();
}

void TShape::Paint() {
  TCanvas* canvas = TGraphicControl::Canvas();
  canvas->Pen()->Assign(pen_);
  canvas->Brush()->Assign(brush_);
  const int penWidth = pen_->GetStyle() == psClear ? 0 : pen_->GetWidth();
  int x = penWidth / 2, y = x;
  int w = Width() - penWidth + 1, h = Height() - penWidth + 1;
  if (penWidth == 0) {
    --w;
    --h;
  }
  const int s = std::min(w, h);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (shape_) {
    case stRectangle:
    case stSquare: canvas->Rectangle(x, y, x + w, y + h); break;
    case stEllipse:
    case stCircle: canvas->Ellipse(x, y, x + w, y + h); break;
    case stRoundRect:
    case stRoundSquare: {
      QPainter* p = canvas->GetHandle();
      if (!p) return;
      p->save();
      p->setRenderHint(QPainter::Antialiasing);
      p->setPen(pen_->ToQPen());
      p->setBrush(brush_->ToQBrush());
      const double radius = s / 8.0;  // corners of a quarter of the smaller side across
      p->drawRoundedRect(QRectF(x + 0.5, y + 0.5, std::max(w - 1, 0), std::max(h - 1, 0)), radius, radius);
      p->restore();
      break;
    }
  }
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape value) {
  if (shape_ == value) return;
  shape_ = value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
  if (style_ == value) return;
  style_ = value;
  Invalidate();
}

void TBevel::Paint() {
  QPainter* p = TGraphicControl::Canvas()->GetHandle();
  if (!p) return;
  QColor c1 = TColorToQColor(clBtnShadow), c2 = TColorToQColor(clBtnHighlight);
  if (style_ == bsRaised) std::swap(c1, c2);
  const int w = Width(), h = Height();
  const auto line = [p](const QColor& c, int x1, int y1, int x2, int y2) {
    p->setPen(c);
    p->drawLine(x1, y1, x2, y2);
  };
  // Top and left edges in the first colour, bottom and right in the second.
  const auto bevelRect = [&](const QColor& a, const QColor& b, int l, int t, int r, int btm) {
    line(a, l, btm, l, t);
    line(a, l, t, r, t);
    line(b, r, t, r, btm);
    line(b, r, btm, l, btm);
  };
  p->save();
  switch (shape_) {
    case bsBox: bevelRect(c1, c2, 0, 0, w - 1, h - 1); break;
    case bsFrame:
      bevelRect(c2, c2, 1, 1, w - 1, h - 1);
      bevelRect(c1, c1, 0, 0, w - 2, h - 2);
      break;
    case bsTopLine:
      line(c1, 0, 0, w, 0);
      line(c2, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(c1, 0, h - 2, w, h - 2);
      line(c2, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(c1, 0, 0, 0, h);
      line(c2, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(c1, w - 2, 0, w - 2, h);
      line(c2, w - 1, 0, w - 1, h);
      break;
    case bsSpacer: break;
  }
  p->restore();
}

// ---------------------------------------------------------------- TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(0, 0, 3, 100);
  SetAlign(alLeft);
  SetCursor(crHSplit);
}

void TSplitter::SetBeveled(bool value) {
  if (beveled_ == value) return;
  beveled_ = value;
  Invalidate();
}

void TSplitter::BoundsChanged(bool sizeChanged) {
  TGraphicControl::BoundsChanged(sizeChanged);
  // The sizing cursor follows the direction the splitter works in.
  if (Cursor() == crHSplit || Cursor() == crVSplit) SetCursor(Horizontal() ? crHSplit : crVSplit);
}

void TSplitter::Paint() {
  TCanvas* canvas = TGraphicControl::Canvas();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(ClientRect());
  if (!beveled_) return;
  QPainter* p = canvas->GetHandle();
  if (!p) return;
  p->save();
  const QColor light = TColorToQColor(clBtnHighlight), dark = TColorToQColor(clBtnShadow);
  if (Horizontal()) {
    p->setPen(light);
    p->drawLine(0, 0, 0, Height());
    p->setPen(dark);
    p->drawLine(Width() - 1, 0, Width() - 1, Height());
  } else {
    p->setPen(light);
    p->drawLine(0, 0, Width(), 0);
    p->setPen(dark);
    p->drawLine(0, Height() - 1, Width(), Height() - 1);
  }
  p->restore();
}

TControl* TSplitter::FindResizedControl() const {
  TWinControl* parent = Parent();
  if (!parent) return nullptr;
  TPoint p(Left(), Top());
  switch (Align()) {
    case alLeft: --p.X; break;
    case alRight: p.X += Width(); break;
    case alTop: --p.Y; break;
    case alBottom: p.Y += Height(); break;
    default: return nullptr;
  }
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == this || !c->Visible() || !c->Enabled()) continue;
    TRect r = c->BoundsRect();
    // A control shrunk to nothing still touches the splitter.
    if (r.Width() == 0) (Align() == alLeft || Align() == alTop) ? --r.Left : ++r.Right;
    if (r.Height() == 0) (Align() == alLeft || Align() == alTop) ? --r.Top : ++r.Bottom;
    if (r.Contains(p)) return c;
  }
  return nullptr;
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || Destroyed()) return;
  control_ = FindResizedControl();
  downPos_ = TPoint(X, Y);
  if (!control_) return;
  // The most the control may take: what the other side-aligned controls
  // leave of the parent, keeping MinSize free.
  TWinControl* parent = Parent();
  maxSize_ = (Horizontal() ? parent->ClientWidth() : parent->ClientHeight()) - minSize_;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Visible()) continue;
    if (Horizontal() && (c->Align() == alLeft || c->Align() == alRight)) maxSize_ -= c->Width();
    if (!Horizontal() && (c->Align() == alTop || c->Align() == alBottom)) maxSize_ -= c->Height();
  }
  maxSize_ += SizeOf(control_);
  oldSize_ = newSize_ = SizeOf(control_);
  if (resizeStyle_ == rsLine || resizeStyle_ == rsPattern) ShowLine(true);
}

void TSplitter::CalcSplitSize(int X, int Y, int& NewSize) {
  const int split = Horizontal() ? X - downPos_.X : Y - downPos_.Y;
  const int current = SizeOf(control_);
  const int s = (Align() == alLeft || Align() == alTop) ? current + split : current - split;
  NewSize = s < minSize_ ? minSize_ : s > maxSize_ ? maxSize_ : s;
}

bool TSplitter::CanResize(int& NewSize) {
  bool accept = true;
  if (OnCanResize) OnCanResize(this, NewSize, accept);
  if (accept && autoSnap_ && NewSize <= minSize_) NewSize = 0;
  return accept;
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!control_ || Destroyed()) return;
  int size;
  CalcSplitSize(X, Y, size);
  if (!CanResize(size)) return;
  newSize_ = size;
  if (resizeStyle_ == rsUpdate)
    UpdateControlSize();
  else if (resizeStyle_ != rsNone)
    ShowLine(true);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (control_ && Button == mbLeft) StopSizing();
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TSplitter::StopSizing() {
  ShowLine(false);
  if (control_) UpdateControlSize();
  control_ = nullptr;
}

void TSplitter::UpdateControlSize() {
  if (!control_ || newSize_ == oldSize_) return;
  TWinControl* parent = Parent();
  switch (Align()) {
    case alLeft: control_->SetWidth(newSize_); break;
    case alTop: control_->SetHeight(newSize_); break;
    case alRight:
      parent->DisableAlign();
      control_->SetBounds(control_->Left() + control_->Width() - newSize_, control_->Top(), newSize_,
                          control_->Height());
      parent->EnableAlign();
      break;
    case alBottom:
      parent->DisableAlign();
      control_->SetBounds(control_->Left(), control_->Top() + control_->Height() - newSize_,
                          control_->Width(), newSize_);
      parent->EnableAlign();
      break;
    default: break;
  }
  oldSize_ = newSize_;
  if (OnMoved) OnMoved(this);
}

void TSplitter::ShowLine(bool show) {
  if (!show || !control_ || !Parent()) {
    if (line_) line_->deleteLater();
    line_ = nullptr;
    return;
  }
  if (!line_) {
    line_ = new QWidget(Parent()->ContainerWidget());
    line_->setAttribute(Qt::WA_TransparentForMouseEvents);
    line_->setAutoFillBackground(true);
    QPalette pal = line_->palette();
    pal.setColor(QPalette::Window, QColor(96, 96, 96));
    line_->setPalette(pal);
  }
  // Where the splitter would stand with the new size.
  const int delta =
      (Align() == alLeft || Align() == alTop) ? newSize_ - SizeOf(control_) : SizeOf(control_) - newSize_;
  if (Horizontal())
    line_->setGeometry(Left() + delta, Top(), Width(), Height());
  else
    line_->setGeometry(Left(), Top() + delta, Width(), Height());
  line_->show();
  line_->raise();
}

// ---------------------------------------------------------------- TScrollBox

TControlScrollBar::TControlScrollBar(TScrollBox* box, Qt::Orientation orientation)
    : TPersistent(box), box_(box), orientation_(orientation) {}

int TControlScrollBar::Position() const {
  if (!box_->WidgetAllocated()) return pendingPosition_;
  const QScrollArea* area = box_->ScrollArea();
  return (orientation_ == Qt::Horizontal ? area->horizontalScrollBar() : area->verticalScrollBar())->value();
}

void TControlScrollBar::SetPosition(int value) {
  pendingPosition_ = std::max(value, 0);
  if (!box_->WidgetAllocated() || box_->Loading()) return;
  QScrollArea* area = box_->ScrollArea();
  (orientation_ == Qt::Horizontal ? area->horizontalScrollBar() : area->verticalScrollBar())->setValue(value);
}

int TControlScrollBar::Range() const {
  if (!box_->WidgetAllocated()) return 0;
  const QWidget* content = box_->content_;
  return content ? (orientation_ == Qt::Horizontal ? content->width() : content->height()) : 0;
}

void TControlScrollBar::SetVisible(bool value) {
  visible_ = value;
  if (box_->WidgetAllocated()) box_->ApplyScrollBars();
}

TScrollBox::TScrollBox(TComponent* AOwner)
    : TWinControl(AOwner),
      horz_(new TControlScrollBar(this, Qt::Horizontal)),
      vert_(new TControlScrollBar(this, Qt::Vertical)) {
  SetControlStyle(ControlStyle() + csAcceptsControls);
  SetBounds(0, 0, 185, 41);
}

QWidget* TScrollBox::CreateWidget() {
  auto* area = new QScrollArea;
  area->setWidgetResizable(false);
  area->setFrameShape(borderStyle_ == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
  content_ = new QWidget;
  area->setWidget(content_);
  content_->resize(area->maximumViewportSize());
  return area;
}

QScrollArea* TScrollBox::ScrollArea() const {
  return qobject_cast<QScrollArea*>(const_cast<TScrollBox*>(this)->Widget());
}

QWidget* TScrollBox::ContainerWidget() {
  Widget();
  return content_;
}

TRect TScrollBox::ClientRect() const {
  if (!WidgetAllocated()) {
    const int frame = borderStyle_ == bsNone ? 0 : 2;
    return TRect(0, 0, std::max(Width() - 2 * frame, 0), std::max(Height() - 2 * frame, 0));
  }
  const QSize size = ScrollArea()->maximumViewportSize();
  return TRect(0, 0, size.width(), size.height());
}

void TScrollBox::SetBorderStyle(TBorderStyle value) {
  borderStyle_ = value;
  ScrollArea()->setFrameShape(value == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
  Realign();
}

void TScrollBox::ApplyScrollBars() {
  QScrollArea* area = ScrollArea();
  area->setHorizontalScrollBarPolicy(horz_->visible_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(vert_->visible_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void TScrollBox::AlignControls(TControl* AControl, TRect& rect) {
  TWinControl::AlignControls(AControl, rect);
  UpdateScrollRange();
}

void TScrollBox::UpdateScrollRange() {
  if (!WidgetAllocated() || !content_) return;
  // The content reaches to the farthest visible control, and at least fills
  // the visible area.
  const TRect client = ClientRect();
  int right = client.Width(), bottom = client.Height();
  for (int i = 0; i < ControlCount(); ++i) {
    const TControl* c = Controls(i);
    if (!c->Visible()) continue;
    right = std::max(right, c->Left() + c->Width());
    bottom = std::max(bottom, c->Top() + c->Height());
  }
  content_->resize(right, bottom);
}

void TScrollBox::ScrollInView(TControl* control) {
  if (!control || !ContainsControl(control)) return;
  UpdateScrollRange();
  ScrollArea()->ensureWidgetVisible(control->Widget(), 0, 0);
}

void TScrollBox::Loaded() {
  TWinControl::Loaded();
  UpdateScrollRange();
  ApplyScrollBars();
  horz_->SetPosition(horz_->pendingPosition_);
  vert_->SetPosition(vert_->pendingPosition_);
}

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), timer_(new QTimer) {
  QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
    try {
      Timer();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  });
  UpdateTimer();
}

TTimer::~TTimer() {
  timer_->stop();
  delete timer_;
}

void TTimer::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(int value) {
  if (interval_ == value) return;
  interval_ = std::max(value, 0);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  timer_->stop();
  if (enabled_ && interval_ > 0 && !ComponentState().Contains(csDesigning)) timer_->start(interval_);
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

// ---------------------------------------------------------------- registration

void InitializeExtControls() {
  static bool done = false;
  if (done) return;
  done = true;
  InitializeControls();
  RegisterClasses<TImage, TShape, TBevel, TSplitter, TScrollBox, TTimer>();
  RegisterEvents<TSplitter>(
      {EventEntry("OnCanResize", &TSplitter::OnCanResize), EventEntry("OnMoved", &TSplitter::OnMoved)});
  RegisterEvents<TTimer>({EventEntry("OnTimer", &TTimer::OnTimer)});
}
