#pragma once
// Controls: visual components that own a Qt widget.
//
// Every control keeps its own state (bounds, visibility, enabled state, text,
// colour, font, ...) and mirrors it into its widget, which is created on first
// need by the virtual CreateWidget(). The widget of a control sits in the
// container widget (ContainerWidget()) of its Parent control.
//
// A windowed control (TWinControl) has a window handle of its own, created on
// demand (HandleNeeded, or when its parent gets one). The window's procedure
// calls the control's WindowProc, a replaceable method that defaults to the
// virtual WndProc; WndProc passes the message to Dispatch, whose handlers end
// in DefaultHandler, which calls the window's previous procedure (normally
// DefWindowProc, which lets Qt go on with the event the message came from).
// So both SetWindowLongPtr(GWL_WNDPROC) subclassing and WindowProc
// replacement see every message, and both can be undone.
//
// A graphic control (TGraphicControl) has no window: input over its widget
// reaches its parent's window, which passes mouse messages on to the graphic
// control under the mouse (or holding the mouse capture) in that control's
// coordinates.
//
// Deriving a control: override CreateWidget() to make the Qt widget (any
// QWidget; the base applies geometry, visibility, enabled state, font,
// colours, cursor and hints); override WndProc or Dispatch to handle
// messages (call the inherited one for everything else); publish further
// properties with Q_PROPERTY. Text is stored by the base; a control whose
// widget holds the text (an edit field) overrides GetText/SetText. CreateWidget
// is called outside constructors, so do not call Widget() from a constructor of
// a class that another class derives from with a different widget.
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <functional>

#include "platform/classlib/Components.h"
#include "platform/classlib/Graphics.h"
#include "platform/classlib/ModalResult.h"
#include "platform/classlib/Types.h"
#include "platform/winapi/Windows.h"

class QPainter;
class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;
class TControlWidget;
class TControlEventFilter;

// ---------------------------------------------------------------- event types

enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, WideChar& Key)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// Dragging one control onto another (the class library's own drag, not OLE).
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// Over a control: Accept (true when the handler does not change it) says
// whether a drop there would be taken; a control without a handler takes none.
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
// The dragged control's end of a drag: Target is the control that took the
// drop, or null when none did.
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

// Window-creation parameters; CreateParams fills them and subclasses adjust them.
struct TCreateParams {
  String Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSW WindowClass;  // style and procedure of the window class
  String WinClassName;    // registered once under this name
};

// ---------------------------------------------------------------- nested objects

// Margins around a control (AlignWithMargins) or inside a container (Padding).
class TMargins : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int Left READ Left WRITE SetLeft)
  Q_PROPERTY(int Top READ Top WRITE SetTop)
  Q_PROPERTY(int Right READ Right WRITE SetRight)
  Q_PROPERTY(int Bottom READ Bottom WRITE SetBottom)

 public:
  explicit TMargins(QObject* parent = nullptr, int initial = 3);
  void Assign(TPersistent* source) override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Right() const { return right_; }
  int Bottom() const { return bottom_; }
  void SetLeft(int v) { Set(left_, v); }
  void SetTop(int v) { Set(top_, v); }
  void SetRight(int v) { Set(right_, v); }
  void SetBottom(int v) { Set(bottom_, v); }
  void SetBounds(int left, int top, int right, int bottom);

  TNotifyEvent OnChange;

 private:
  void Set(int& field, int value);
  int left_, top_, right_, bottom_;
};

// Space inside a container that aligned children keep free (all 0 by default).
class TPadding : public TMargins {
  Q_OBJECT
 public:
  explicit TPadding(QObject* parent = nullptr) : TMargins(parent, 0) {}
};

// Size limits of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int MaxHeight READ MaxHeight WRITE SetMaxHeight)
  Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
  Q_PROPERTY(int MinHeight READ MinHeight WRITE SetMinHeight)
  Q_PROPERTY(int MinWidth READ MinWidth WRITE SetMinWidth)

 public:
  explicit TSizeConstraints(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  int MaxHeight() const { return maxHeight_; }
  int MaxWidth() const { return maxWidth_; }
  int MinHeight() const { return minHeight_; }
  int MinWidth() const { return minWidth_; }
  // A maximum below the minimum raises the minimum to it, and the other way round.
  void SetMaxHeight(int v);
  void SetMaxWidth(int v);
  void SetMinHeight(int v);
  void SetMinWidth(int v);

  // Clamps a size into the limits.
  void Apply(int& width, int& height) const;

  TNotifyEvent OnChange;

 private:
  void Changed();
  int maxHeight_ = 0, maxWidth_ = 0, minHeight_ = 0, minWidth_ = 0;
};

// ---------------------------------------------------------------- TControl

class TControl : public TComponent {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TColor")
  Q_CLASSINFO("IdentType:Cursor", "TCursor")
  Q_PROPERTY(int Left READ Left WRITE SetLeft)
  Q_PROPERTY(int Top READ Top WRITE SetTop)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth STORED false)
  Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight STORED false)
  Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
  Q_PROPERTY(bool AlignWithMargins READ AlignWithMargins WRITE SetAlignWithMargins)
  Q_PROPERTY(TAnchors Anchors READ Anchors WRITE SetAnchors)
  Q_PROPERTY(TSizeConstraints* Constraints READ Constraints WRITE SetConstraints)
  Q_PROPERTY(TMargins* Margins READ Margins WRITE SetMargins)
  Q_PROPERTY(TColor Color READ Color WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
  Q_PROPERTY(TCursor Cursor READ Cursor WRITE SetCursor)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(TFont* Font READ Font WRITE SetFont)
  Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
  Q_PROPERTY(String Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
  Q_PROPERTY(bool ParentShowHint READ ParentShowHint WRITE SetParentShowHint)
  Q_PROPERTY(TPopupMenu* PopupMenu READ PopupMenu WRITE SetPopupMenu)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(TDragMode DragMode READ DragMode WRITE SetDragMode)
  Q_MOC_INCLUDE("platform/classlib/Menus.h")

 public:
  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
  Q_ENUM(TAlign)
  enum TAnchorKind { akLeft, akTop, akRight, akBottom };
  Q_ENUM(TAnchorKind)
  using TAnchors = TSet<TAnchorKind>;
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)
  // dmAutomatic: pressing the left button and moving starts a drag.
  enum TDragMode { dmManual, dmAutomatic };
  Q_ENUM(TDragMode)
  // Border styles of forms; controls with a border use bsNone and bsSingle.
  enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
  Q_ENUM(TFormBorderStyle)

  // What a control does by itself.
  enum TControlStyleItem {
    csAcceptsControls,  // may parent other controls
    csCaptureMouse,     // takes the mouse capture while a button is down
    csClickEvents,      // a press and release inside raises OnClick
    csDoubleClicks,     // double clicks raise OnDblClick (else they count as presses)
    csOpaque,           // paints its whole area
    csNoStdEvents,      // raises no mouse and key events of its own
  };
  using TControlStyle = TSet<TControlStyleItem>;

  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // ---- widget
  // The control's widget, created on first call.
  QWidget* Widget();
  bool WidgetAllocated() const { return widget_ != nullptr; }

  // ---- parent and position
  TWinControl* Parent() const { return parent_; }
  // Moves the control (and its widget) into another parent; a windowed
  // control's window is destroyed and created again under the new parent
  // (through DestroyWnd and CreateWnd).
  virtual void SetParent(TWinControl* AParent);
  void SetParentComponent(TComponent* value) override;
  TComponent* GetParentComponent() const override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  // Sets position and size at once; the size is clamped to Constraints.
  // Positions are in the parent's client coordinates (screen coordinates for
  // forms, whose size includes the frame).
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  // (0, 0, ClientWidth, ClientHeight).
  virtual TRect ClientRect() const;
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  void SetClientWidth(int v);
  void SetClientHeight(int v);
  void SetClientSize(int width, int height);
  TPoint ClientToScreen(const TPoint& p);
  TPoint ScreenToClient(const TPoint& p);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  bool AlignWithMargins() const { return alignWithMargins_; }
  void SetAlignWithMargins(bool value);
  TMargins* Margins() const { return margins_; }
  void SetMargins(TMargins* value) { margins_->Assign(value); }
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors value);
  TSizeConstraints* Constraints() const { return constraints_; }
  void SetConstraints(TSizeConstraints* value) { constraints_->Assign(value); }

  // ---- appearance and state
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to a form (or a parentless control) visible.
  bool IsShowing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);
  // A new control takes its parent's Color (ParentColor) until it is given
  // one of its own; controls with a colour of their own set it in their
  // constructor (an edit field: clWindow).
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont* Font() const { return font_; }
  void SetFont(TFont* value) { font_->Assign(value); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);

  // Caption and Text are the same string. Controls publish the one they use.
  virtual String GetText() const;
  virtual void SetText(const String& value);
  String Caption() const { return GetText(); }
  void SetCaption(const String& value) { SetText(value); }
  String Text() const { return GetText(); }

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle value) { controlStyle_ = value; }

  // ---- dragging onto other controls (Dragging.cpp)
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode value) { dragMode_ = value; }
  // Starts dragging this control: at once, or (Immediate false) once the
  // mouse has moved a few pixels with the button down. Until the button is
  // released (a drop) or Escape is pressed (cancelled), the controls under
  // the mouse get OnDragOver, the one that accepts the drop OnDragDrop, and
  // this control OnEndDrag.
  void BeginDrag(bool Immediate, int Threshold = -1);
  // dmAutomatic: a drag that starts once the mouse, pressed at (X, Y) of the
  // control, has moved a few pixels.
  void BeginAutoDrag(int X, int Y);
  // Ends the drag of this control: a drop where the mouse is (Drop) or a
  // cancel.
  void EndDrag(bool Drop);
  bool Dragging() const;
  // The steps of a drag, which raise the events: over this control (answers
  // whether it accepts), dropped on it, and the end of this control's own drag.
  virtual bool DoDragOver(TObject* Source, int X, int Y, TDragState State);
  virtual void DoDragDrop(TObject* Source, int X, int Y);
  virtual void DoEndDrag(TObject* Target, int X, int Y);

  // ---- mouse capture
  bool MouseCapture() const;
  void SetMouseCapture(bool value);

  // ---- messages
  // The message entry of the control; replace it to watch or filter the
  // control's messages (keep the old value to call on and to restore).
  TWndMethod WindowProc;
  // Sends a message straight to WindowProc and answers its result.
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // Handles a message with the control's message handlers.
  virtual void Dispatch(TMessage& Message);
  // What happens to a message no handler took.
  virtual void DefaultHandler(TMessage& Message);

  // ---- painting and order
  void Invalidate();
  void Repaint();
  void Update();
  void BringToFront();
  void SendToBack();

  void Loaded() override;

  // Raise OnClick / OnDblClick.
  virtual void Click();
  virtual void DblClick();

  // ---- events
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

 protected:
  friend class TWinControl;
  friend class TControlWidget;
  friend class TControlEventFilter;

  // Makes the Qt widget of the control (called once, on first need). The
  // default is a plain widget that paints through PaintWidget.
  virtual QWidget* CreateWidget();
  // The widget's paint handler: the default does nothing.
  virtual void PaintWidget(QPainter& painter);

  // The message entry default (see WindowProc).
  virtual void WndProc(TMessage& Message);

  // The new bounds are in place (fields and widget): the parent realigns and,
  // when the size changed, OnResize follows.
  virtual void BoundsChanged(bool sizeChanged);
  // Applies the control's visibility to its widget.
  virtual void UpdateWidgetVisibility();
  // Applies Color and Font.Color to the widget's palette.
  virtual void UpdateWidgetColors();
  // Puts the bounds into the widget (windowed controls go through their window).
  virtual void ApplyBoundsToWidget();
  // Reads the bounds back from the widget after it moved or changed size by
  // itself; realigns when they changed.
  void UpdateBoundsFromWidget();

  // Overridable steps of the events.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void Resize();
  virtual void DoContextPopup(const TPoint& MousePos, bool& Handled);
  // The menu a context-menu request shows (PopupMenu unless a control builds its own).
  virtual TPopupMenu* GetPopupMenu();

  // Asks the parent to lay out its aligned and anchored children again.
  void RequestAlign();
  void UpdateAnchorRules();
  // True while the control or its tree is being destroyed.
  bool Destroyed() const { return ComponentState().Contains(csDestroying); }
  bool Loading() const { return ComponentState().Contains(csLoading); }

  void Notification(TComponent* AComponent, TOperation Operation) override;

  TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csDoubleClicks};

 private:
  friend class TCustomForm;
  void HandleMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl);
  void HandleContextMenu(TMessage& m);
  void FontChanged();
  void ParentFontChanged();
  void ParentColorChanged();
  void ApplyWidgetState();
  bool EffectiveShowHint() const;
  bool IsEnabledForInput() const;

  QPointer<QWidget> widget_;
  TControlEventFilter* filter_ = nullptr;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  bool alignWithMargins_ = false;
  TMargins* margins_;
  TSizeConstraints* constraints_;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = true;
  TFont* font_;
  bool parentFont_ = true;
  bool updatingFont_ = false;
  TCursor cursor_ = crDefault;
  String hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TDragMode dragMode_ = dmManual;
  String text_;
  bool clicked_ = false;
  // Anchor bookkeeping: the rule values and the parent's client size when
  // they were taken (0, 0: anchored left and top, nothing to keep).
  bool anchorMove_ = false;
  TPoint anchorRules_;
  TPoint originalParentSize_;
};
using TAlign = TControl::TAlign;
using TAnchorKind = TControl::TAnchorKind;
using TAnchors = TControl::TAnchors;
using TAlignment = TControl::TAlignment;
using TFormBorderStyle = TControl::TFormBorderStyle;
using TBorderStyle = TControl::TFormBorderStyle;
using TControlStyleItem = TControl::TControlStyleItem;
using TControlStyle = TControl::TControlStyle;
using enum TControl::TAlign;
using enum TControl::TAnchorKind;
using enum TControl::TAlignment;
using TDragMode = TControl::TDragMode;
using enum TControl::TDragMode;
using enum TControl::TFormBorderStyle;
using enum TControl::TControlStyleItem;

// ---------------------------------------------------------------- TWinControl

class TWinControl : public TControl {
  Q_OBJECT
  Q_PROPERTY(TPadding* Padding READ Padding WRITE SetPadding)
  Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder STORED false)
  Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

 public:
  explicit TWinControl(TComponent* AOwner);
  // Destroys the controls it parents, then its window.
  ~TWinControl() override;

  // ---- children
  int ControlCount() const { return controls_.size(); }
  TControl* Controls(int index) const;
  // The topmost visible graphic child (and with allowWinControls any child)
  // at a client point, enabled ones only unless allowDisabled.
  TControl* ControlAtPos(const TPoint& pos, bool allowDisabled = false, bool allowWinControls = false) const;
  bool ContainsControl(const TControl* control) const;
  // The widget children's widgets are placed in (the control's widget by default).
  virtual QWidget* ContainerWidget();

  // ---- layout
  TPadding* Padding() const { return padding_; }
  void SetPadding(TPadding* value) { padding_->Assign(value); }
  // Lays out the aligned and anchored children again.
  void Realign();
  void DisableAlign();
  void EnableAlign();

  // ---- window
  // The window, created on first use.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded();
  // Destroys the window (children first, through DestroyWnd) and creates it
  // again (through CreateWnd).
  void RecreateWnd();
  // A window outside the class library to live in when there is no Parent.
  HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND value);

  // ---- focus
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  int TabOrder() const;
  void SetTabOrder(int value);
  virtual bool CanFocus() const;
  // Raises EInvalidOperation when the control cannot take the focus.
  virtual void SetFocus();
  bool Focused() const;

  // A parent's background shows through instead of Color.
  bool ParentBackground() const { return parentBackground_; }
  void SetParentBackground(bool value);

  void SetText(const String& value) override;
  void Loaded() override;

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  friend class TControl;
  friend class TCustomForm;

  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

  // Window creation steps, each overridable.
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& Params);
  virtual void DestroyWnd();
  // Creates the window (CreateWnd) and the windows of the windowed children.
  void CreateHandle();
  // Destroys the windows of the children, then this one (DestroyWnd).
  void DestroyHandle();
  // The window handle without creating it; setting it lets a control adopt a
  // window it keeps elsewhere (or forget one without destroying it).
  HWND WindowHandle() const { return handle_; }
  void SetWindowHandle(HWND value);
  // The procedure DefaultHandler calls (the window's own before subclassing).
  WNDPROC DefWndProc() const { return defWndProc_; }

  // Lays out the children inside `rect` (the client area less padding),
  // starting with `AControl` among controls of the same alignment.
  virtual void AlignControls(TControl* AControl, TRect& rect);
  // The area aligned children fill: the client rectangle less Padding.
  virtual void AdjustClientRect(TRect& rect);
  void AlignControl(TControl* AControl);

  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  void ApplyBoundsToWidget() override;
  void UpdateWidgetColors() override;
  void UpdateWidgetVisibility() override;
  // Also lays out the children when the size changed.
  void BoundsChanged(bool sizeChanged) override;

  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(WideChar& Key);
  virtual void DoEnter();
  virtual void DoExit();
  // Keyboard messages: answer true when the key was swallowed.
  bool DoKeyDown(TMessage& m);
  bool DoKeyUp(TMessage& m);
  bool DoKeyPress(TMessage& m);

 private:
  void MainWndProc(TMessage& m);
  bool RouteMouseToChild(TMessage& m);
  void UpdateTabOrder();

  QVector<TControl*> controls_;
  QVector<TWinControl*> tabList_;
  TPadding* padding_;
  HWND handle_ = nullptr;
  HWND parentWindow_ = nullptr;
  WNDPROC objectInstance_ = nullptr;
  WNDPROC defWndProc_ = nullptr;
  bool tabStop_ = false;
  bool parentBackground_ = false;
  int alignLevel_ = 0;
  bool alignNeeded_ = false;
  bool aligning_ = false;
  bool recreating_ = false;
};

// ---------------------------------------------------------------- painting controls

// A control without a window that paints itself on a canvas.
class TGraphicControl : public TControl {
  Q_OBJECT
 public:
  explicit TGraphicControl(TComponent* AOwner);
  // Drawing surface of Paint (bound only while the widget paints).
  TCanvas* Canvas() const { return canvas_; }

 protected:
  virtual void Paint() {}
  void PaintWidget(QPainter& painter) override;

 private:
  TCanvas* canvas_;
};

// A windowed control that paints itself on a canvas.
class TCustomControl : public TWinControl {
  Q_OBJECT
 public:
  explicit TCustomControl(TComponent* AOwner);
  TCanvas* Canvas() const { return canvas_; }

 protected:
  virtual void Paint() {}
  void PaintWidget(QPainter& painter) override;

 private:
  TCanvas* canvas_;
};

// ---------------------------------------------------------------- helpers

// The control of a window (null for windows of no control).
TWinControl* FindControl(HWND handle);
// The control whose window is under a screen point.
TWinControl* FindVCLWindow(const TPoint& pos);
// The form a control is on (the outermost one with topForm).
TCustomForm* GetParentForm(TControl* control, bool topForm = true);
// The control holding the mouse capture (null when none).
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// "short|long" hints: the part before / after the bar (the whole text without one).
String GetShortHint(const String& hint);
String GetLongHint(const String& hint);

// Registers the controls' events with the form streaming. Idempotent.
void InitializeControls();
