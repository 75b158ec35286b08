// Dragging one control onto another: while a drag runs, an application
// event filter follows the mouse, asks the controls under it whether they
// take the drop, drops on release and cancels on Escape.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "platform/classlib/Controls.h"
#include "platform/classlib/Controls_p.h"

using namespace controls_p;

namespace {

// How far the mouse moves before a drag that was not started at once begins.
constexpr int kDefaultDragThreshold = 5;

// The control under a screen point: a graphic child of the window there when
// one covers the point, else the window's control.
TControl* FindDragTarget(const QPoint& global) {
  TWinControl* window = FindVCLWindow(TPoint(global.x(), global.y()));
  if (!window) return nullptr;
  const TPoint local = window->ScreenToClient(TPoint(global.x(), global.y()));
  if (TControl* child = window->ControlAtPos(local)) return child;
  return window;
}

class DragSession : public QObject {
 public:
  DragSession(TControl* source, bool immediate, int threshold, const QPoint& origin)
      : source_(source), threshold_(threshold), origin_(origin) {
    qApp->installEventFilter(this);
    if (immediate) Start(origin_);
  }
  ~DragSession() override { qApp->removeEventFilter(this); }

  TControl* Source() const { return source_; }

  // Ends the drag: a drop on the accepting target where the mouse is, or a
  // cancel. Raises the events; the session is gone afterwards.
  void Finish(bool drop, const QPoint& global);

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseMove: {
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (!started_ && (global - origin_).manhattanLength() >= threshold_) Start(global);
        if (started_) Follow(global);
        return started_;
      }
      case QEvent::MouseButtonRelease:
        Finish(started_, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return false;
      case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
        Finish(false, QCursor::pos());
        return true;
      default: return false;
    }
  }

 private:
  // The drag follows the mouse from now on; the pressed control no longer
  // holds it.
  void Start(const QPoint& global) {
    started_ = true;
    if (GetCaptureControl()) SetCaptureControl(nullptr);
    Follow(global);
  }
  static TPoint Local(TControl* c, const QPoint& global) {
    return c->ScreenToClient(TPoint(global.x(), global.y()));
  }
  void Follow(const QPoint& global) {
    TControl* now = FindDragTarget(global);
    if (now != target_) {
      if (target_) {
        const TPoint p = Local(target_, global);
        target_->DoDragOver(source_, p.X, p.Y, dsDragLeave);
      }
      target_ = now;
      accepted_ = false;
      if (!target_) return;
      const TPoint p = Local(target_, global);
      accepted_ = target_->DoDragOver(source_, p.X, p.Y, dsDragEnter);
      return;
    }
    if (!target_) return;
    const TPoint p = Local(target_, global);
    accepted_ = target_->DoDragOver(source_, p.X, p.Y, dsDragMove);
  }

  QPointer<TControl> source_;
  QPointer<TControl> target_;
  bool accepted_ = false;
  bool started_ = false;
  int threshold_;
  QPoint origin_;
};

DragSession* session = nullptr;

void DragSession::Finish(bool drop, const QPoint& global) {
  // The events may start another drag or free these controls.
  session = nullptr;
  QPointer<TControl> source = source_;
  QPointer<TControl> target = drop && accepted_ ? target_ : QPointer<TControl>();
  delete this;
  TPoint at(global.x(), global.y());
  if (target) {
    const TPoint p = target->ScreenToClient(at);
    target->DoDragDrop(source.data(), p.X, p.Y);
  }
  if (source) {
    const TPoint p = target ? target->ScreenToClient(at) : TPoint(0, 0);
    source->DoEndDrag(target.data(), p.X, p.Y);
  }
}

}  // namespace

void TControl::BeginDrag(bool Immediate, int Threshold) {
  if (session) return;
  session =
      new DragSession(this, Immediate, Threshold < 0 ? kDefaultDragThreshold : Threshold, QCursor::pos());
}

void TControl::BeginAutoDrag(int X, int Y) {
  if (session) return;
  const TPoint at = ClientToScreen(TPoint(X, Y));
  session = new DragSession(this, false, kDefaultDragThreshold, QPoint(at.X, at.Y));
}

void TControl::EndDrag(bool Drop) {
  if (session && session->Source() == this) session->Finish(Drop, QCursor::pos());
}

bool TControl::Dragging() const { return session && session->Source() == this; }

bool TControl::DoDragOver(TObject* Source, int X, int Y, TDragState State) {
  // A control that listens takes drops unless its handler says otherwise.
  bool accept = bool(OnDragOver);
  RaiseEvent(this, OnDragOver, this, Source, X, Y, State, accept);
  return accept;
}

void TControl::DoDragDrop(TObject* Source, int X, int Y) { RaiseEvent(this, OnDragDrop, this, Source, X, Y); }

void TControl::DoEndDrag(TObject* Target, int X, int Y) { RaiseEvent(this, OnEndDrag, this, Target, X, Y); }
