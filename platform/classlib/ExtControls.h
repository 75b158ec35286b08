#pragma once
// Further controls: pictures, shapes, bevels, splitters, scroll boxes and
// timers.
#include <QPointer>

#include <functional>

#include "platform/classlib/Controls.h"

class QScrollArea;
class QTimer;

// ---------------------------------------------------------------- TImage

// Shows a picture. Loading a file into Picture chooses the format by the
// file's extension (BMP, PNG, JPEG, icon); the image repaints whenever the
// picture changes.
class TImage : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(bool Center READ Center WRITE SetCenter)
  Q_PROPERTY(TPicture* Picture READ Picture WRITE SetPicture)
  Q_PROPERTY(bool Proportional READ Proportional WRITE SetProportional)
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

 public:
  Q_INVOKABLE explicit TImage(TComponent* AOwner);

  // The image takes the picture's size whenever the picture changes.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  // A picture smaller than the image sits in its middle (else top-left).
  bool Center() const { return center_; }
  void SetCenter(bool value);
  TPicture* Picture() const { return picture_; }
  void SetPicture(TPicture* value) { picture_->Assign(value); }
  // Scales a picture that does not fit down to fit, keeping its aspect;
  // with Stretch, scales up too.
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  // Scales the picture to fill the image.
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  // The picture's transparent colour shows what is behind the image.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // The canvas of the picture's bitmap (an empty picture becomes a bitmap of
  // the image's size first); drawing on it repaints the image. Raises
  // EInvalidOperation when the picture holds another kind of graphic.
  TCanvas* Canvas();
  // Where the picture is drawn, in client coordinates.
  TRect DestRect() const;

 protected:
  void Paint() override;

 private:
  void PictureChanged();

  TPicture* picture_;
  bool autoSize_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool stretch_ = false;
  bool transparent_ = false;
  bool drawing_ = false;
};

// ---------------------------------------------------------------- TShape

class TShape : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(TBrush* Brush READ Brush WRITE SetBrush)
  Q_PROPERTY(TPen* Pen READ Pen WRITE SetPen)
  Q_PROPERTY(TShapeType Shape READ Shape WRITE SetShape)

 public:
  enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
  Q_ENUM(TShapeType)

  Q_INVOKABLE explicit TShape(TComponent* AOwner);

  TBrush* Brush() const { return brush_; }
  void SetBrush(TBrush* value) { brush_->Assign(value); }
  TPen* Pen() const { return pen_; }
  void SetPen(TPen* value) { pen_->Assign(value); }
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType value);

 protected:
  void Paint() override;

 private:
  TBrush* brush_;
  TPen* pen_;
  TShapeType shape_ = stRectangle;
};
using TShapeType = TShape::TShapeType;
using enum TShape::TShapeType;

// ---------------------------------------------------------------- TBevel

class TBevel : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(TBevelShape Shape READ Shape WRITE SetShape)
  Q_PROPERTY(TBevelStyle Style READ Style WRITE SetStyle)

 public:
  enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
  Q_ENUM(TBevelShape)
  enum TBevelStyle { bsLowered, bsRaised };
  Q_ENUM(TBevelStyle)

  Q_INVOKABLE explicit TBevel(TComponent* AOwner);

  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};
using TBevelShape = TBevel::TBevelShape;
using TBevelStyle = TBevel::TBevelStyle;
using enum TBevel::TBevelShape;
using enum TBevel::TBevelStyle;

// ---------------------------------------------------------------- TSplitter

using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// A bar that resizes the control beside it: aligned left, right, top or
// bottom, it acts on the visible control that touches it on the side it is
// aligned to. Dragging sets that control's width (height) within MinSize and
// what the parent leaves; with AutoSnap, a drag below MinSize shrinks the
// control to nothing. OnMoved follows each change of size.
class TSplitter : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(bool AutoSnap READ AutoSnap WRITE SetAutoSnap)
  Q_PROPERTY(bool Beveled READ Beveled WRITE SetBeveled)
  Q_PROPERTY(int MinSize READ MinSize WRITE SetMinSize)
  Q_PROPERTY(TResizeStyle ResizeStyle READ ResizeStyle WRITE SetResizeStyle)

 public:
  // rsUpdate resizes while dragging; the others when the mouse is released
  // (rsLine and rsPattern show where the edge goes meanwhile).
  enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };
  Q_ENUM(TResizeStyle)

  Q_INVOKABLE explicit TSplitter(TComponent* AOwner);

  bool AutoSnap() const { return autoSnap_; }
  void SetAutoSnap(bool value) { autoSnap_ = value; }
  bool Beveled() const { return beveled_; }
  void SetBeveled(bool value);
  int MinSize() const { return minSize_; }
  void SetMinSize(int value) { minSize_ = std::max(value, 1); }
  TResizeStyle ResizeStyle() const { return resizeStyle_; }
  void SetResizeStyle(TResizeStyle value) { resizeStyle_ = value; }

  // The control the splitter resizes (null when none touches it).
  TControl* FindResizedControl() const;

  TCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;

 protected:
  void Paint() override;
  void BoundsChanged(bool sizeChanged) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual bool CanResize(int& NewSize);

 private:
  bool Horizontal() const { return Align() == alLeft || Align() == alRight; }
  int SizeOf(const TControl* c) const { return Horizontal() ? c->Width() : c->Height(); }
  void CalcSplitSize(int X, int Y, int& NewSize);
  void UpdateControlSize();
  void ShowLine(bool show);
  void StopSizing();

  bool autoSnap_ = true;
  bool beveled_ = false;
  int minSize_ = 30;
  TResizeStyle resizeStyle_ = rsPattern;
  QPointer<TControl> control_;  // being resized
  TPoint downPos_;
  int maxSize_ = 0;
  int oldSize_ = 0;
  int newSize_ = 0;
  QPointer<QWidget> line_;
};
using TResizeStyle = TSplitter::TResizeStyle;
using enum TSplitter::TResizeStyle;

// ---------------------------------------------------------------- TScrollBox

class TScrollBox;

// One scroll bar of a scroll box.
class TControlScrollBar : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int Position READ Position WRITE SetPosition)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

 public:
  TControlScrollBar(TScrollBox* box, Qt::Orientation orientation);

  // The scrolled distance in pixels (0 .. Range - the visible extent).
  int Position() const;
  void SetPosition(int value);
  // The extent of the scrolled area.
  int Range() const;
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

 private:
  friend class TScrollBox;
  TScrollBox* box_;
  Qt::Orientation orientation_;
  bool visible_ = true;
  int pendingPosition_ = 0;  // set before the scroll box had a widget
};

// A container whose content scrolls when its controls reach beyond its
// client area.
class TScrollBox : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(TControlScrollBar* HorzScrollBar READ HorzScrollBar)
  Q_PROPERTY(TControlScrollBar* VertScrollBar READ VertScrollBar)

 public:
  Q_INVOKABLE explicit TScrollBox(TComponent* AOwner);

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TControlScrollBar* HorzScrollBar() const { return horz_; }
  TControlScrollBar* VertScrollBar() const { return vert_; }

  // The visible part of the content.
  TRect ClientRect() const override;
  QWidget* ContainerWidget() override;
  // Scrolls so that the control (a child) is in view.
  void ScrollInView(TControl* control);

  void Loaded() override;

 protected:
  friend class TControlScrollBar;
  QWidget* CreateWidget() override;
  void AlignControls(TControl* AControl, TRect& rect) override;
  QScrollArea* ScrollArea() const;

 private:
  void UpdateScrollRange();
  void ApplyScrollBars();

  TBorderStyle borderStyle_ = bsSingle;
  TControlScrollBar* horz_;
  TControlScrollBar* vert_;
  QPointer<QWidget> content_;
};

// ---------------------------------------------------------------- TTimer

// Raises OnTimer every Interval milliseconds while Enabled (and Interval is
// not 0), from the main thread's event loop.
class TTimer : public TComponent {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)

 public:
  Q_INVOKABLE explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int Interval() const { return interval_; }
  // Starts the interval again when the timer runs.
  void SetInterval(int value);

  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();

  QTimer* timer_;
  bool enabled_ = true;
  int interval_ = 1000;
};

// Registers these classes and their events with the form streaming. Idempotent.
void InitializeExtControls();
