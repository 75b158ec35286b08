// Window procedures, DefWindowProc, and the translation of Qt events into
// window messages.
//
// Input events (keys, mouse, wheel, context menu, a window being closed) are
// translated when the platform delivers them (spontaneous events), at the
// first widget that receives them; the nearest window of that widget gets
// the messages. Such an event reaches Qt only through DefWindowProc: the
// default handling sends the event on to the widget right there. An event
// whose messages never reach DefWindowProc is swallowed.
//
// State changes (focus, visibility, enabled state, geometry, activation,
// mouse entering and leaving) are reported whatever caused them, except where
// this layer made the change itself and reports it on its own (QuietScope).
#include "platform/winapi/Windows.h"

#include "platform/winapi/WinInternal_p.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

using namespace winapi_internal;

namespace {

// One Qt event on its way through the procedure chain.
struct Translation {
  QPointer<QObject> receiver;
  QEvent* event = nullptr;
  bool stoppable = false;  // Qt sees the event only through DefWindowProc
  bool delivered = false;
  bool awaitChar = false;  // a key press whose text comes with WM_CHAR
  bool keyDownDefault = false;
};

// A message being handled: DefWindowProc compares itself with the innermost one.
struct Frame {
  HWND hwnd;
  UINT msg;
  Translation* tr;  // null for messages sent from code
};

thread_local std::vector<Frame> frames;
thread_local std::vector<QEvent*> delivering;
thread_local std::vector<std::pair<const QObject*, int>> quietList;

// Main thread only.
HWND lastFocus = nullptr;
HWND lostFocus = nullptr;  // the window that lost the focus last
HWND lastActive = nullptr;
// The window a button was pressed in while it was not active: its next
// activation comes from that click, however late the window system
// reports it.
HWND pressedInactive = nullptr;

LRESULT invoke(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Translation* tr) {
  WNDPROC proc;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) return 0;
    proc = w->proc;
  }
  frames.push_back(Frame{hwnd, msg, tr});
  struct Pop {
    ~Pop() { frames.pop_back(); }
  } pop;
  return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Lets Qt handle the event being translated, now.
void deliver(Translation& tr) {
  if (tr.delivered) return;
  tr.delivered = true;
  if (!tr.receiver) return;
  delivering.push_back(tr.event);
  struct Pop {
    ~Pop() { delivering.pop_back(); }
  } pop;
  QCoreApplication::sendEvent(tr.receiver, tr.event);
}

HWND parentWindowOf(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  return (w && !isTopLevel(*w)) ? w->parent : nullptr;
}

// Messages a child window passes on to its parent by default.
LRESULT forwardToParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND parent = parentWindowOf(hwnd);
  return parent ? SendMessageW(parent, msg, wParam, lParam) : 0;
}

Qt::KeyboardModifiers currentModifiers() {
  Qt::KeyboardModifiers m;
  if (GetKeyState(VK_SHIFT) < 0) m |= Qt::ShiftModifier;
  if (GetKeyState(VK_CONTROL) < 0) m |= Qt::ControlModifier;
  if (GetKeyState(VK_MENU) < 0) m |= Qt::AltModifier;
  return m;
}

// Keyboard messages sent from code reach the window's focused widget as key events.
void synthesizeKey(HWND hwnd, QWidget* widget, UINT msg, WPARAM wParam, LPARAM lParam) {
  QWidget* target = widget->focusWidget();
  if (!target || nearestWindow(target) != hwnd) target = widget;
  Qt::KeyboardModifiers mods = currentModifiers();
  if (lParam & (LPARAM(1) << 29)) mods |= Qt::AltModifier;
  if (msg == WM_CHAR || msg == WM_SYSCHAR) {
    QChar c(char16_t(wParam & 0xFFFF));
    int key = Qt::Key_unknown;
    switch (c.unicode()) {
      case 8: key = Qt::Key_Backspace; break;
      case 9: key = Qt::Key_Tab; break;
      case 13: key = Qt::Key_Return; break;
      case 27: key = Qt::Key_Escape; break;
      default:
        if (c.isLetterOrNumber() || (c.unicode() >= 0x20 && c.unicode() < 0x7F)) key = c.toUpper().unicode();
    }
    QKeyEvent e(QEvent::KeyPress, key, mods, QString(c));
    QCoreApplication::sendEvent(target, &e);
    return;
  }
  bool keypad = false;
  int key = QtKeyFromVirtualKey(WORD(wParam), &keypad);
  if (keypad) mods |= Qt::KeypadModifier;
  const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, key, mods, QString(),
              down && (lParam & (LPARAM(1) << 30)));
  QCoreApplication::sendEvent(target, &e);
}

// Mouse messages sent from code reach the widget under the point.
void synthesizeMouse(HWND hwnd, QWidget* widget, UINT msg, WPARAM wParam, LPARAM lParam) {
  QPoint pos(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  QWidget* target = widget->childAt(pos);
  if (!target || nearestWindow(target) != hwnd) target = widget;
  QPoint local = target == widget ? pos : target->mapFrom(widget, pos);
  QEvent::Type type = QEvent::MouseMove;
  Qt::MouseButton button = Qt::NoButton;
  switch (msg) {
    case WM_LBUTTONDOWN:
      type = QEvent::MouseButtonPress;
      button = Qt::LeftButton;
      break;
    case WM_LBUTTONUP:
      type = QEvent::MouseButtonRelease;
      button = Qt::LeftButton;
      break;
    case WM_LBUTTONDBLCLK:
      type = QEvent::MouseButtonDblClick;
      button = Qt::LeftButton;
      break;
    case WM_RBUTTONDOWN:
      type = QEvent::MouseButtonPress;
      button = Qt::RightButton;
      break;
    case WM_RBUTTONUP:
      type = QEvent::MouseButtonRelease;
      button = Qt::RightButton;
      break;
    case WM_RBUTTONDBLCLK:
      type = QEvent::MouseButtonDblClick;
      button = Qt::RightButton;
      break;
    case WM_MBUTTONDOWN:
      type = QEvent::MouseButtonPress;
      button = Qt::MiddleButton;
      break;
    case WM_MBUTTONUP:
      type = QEvent::MouseButtonRelease;
      button = Qt::MiddleButton;
      break;
    case WM_MBUTTONDBLCLK:
      type = QEvent::MouseButtonDblClick;
      button = Qt::MiddleButton;
      break;
    case WM_XBUTTONDOWN: type = QEvent::MouseButtonPress; break;
    case WM_XBUTTONUP: type = QEvent::MouseButtonRelease; break;
    case WM_XBUTTONDBLCLK: type = QEvent::MouseButtonDblClick; break;
    default: break;
  }
  if (msg >= WM_XBUTTONDOWN && msg <= WM_XBUTTONDBLCLK)
    button = HIWORD(wParam) == XBUTTON2 ? Qt::ExtraButton2 : Qt::ExtraButton1;
  WORD keys = LOWORD(wParam);
  Qt::MouseButtons buttons;
  if (keys & MK_LBUTTON) buttons |= Qt::LeftButton;
  if (keys & MK_RBUTTON) buttons |= Qt::RightButton;
  if (keys & MK_MBUTTON) buttons |= Qt::MiddleButton;
  if (keys & MK_XBUTTON1) buttons |= Qt::ExtraButton1;
  if (keys & MK_XBUTTON2) buttons |= Qt::ExtraButton2;
  Qt::KeyboardModifiers mods;
  if (keys & MK_SHIFT) mods |= Qt::ShiftModifier;
  if (keys & MK_CONTROL) mods |= Qt::ControlModifier;
  QMouseEvent e(type, QPointF(local), QPointF(widget->mapToGlobal(pos)), button, buttons, mods);
  QCoreApplication::sendEvent(target, &e);
}

// WM_MOVE and WM_SIZE after a change of position or size.
void notifyMoveSize(HWND hwnd, const WINDOWPOS* wp) {
  if (!wp) return;
  QPointer<QWidget> widget;
  POINT origin;
  SIZE size;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) return;
    widget = w->widget;
    size = clientSizeOf(*w);
    if (widget) {
      QPoint o = widget->isWindow() ? widget->mapToGlobal(QPoint(0, 0)) : widget->pos();
      origin = POINT{o.x(), o.y()};
    } else {
      origin = POINT{w->rect.left, w->rect.top};
    }
  }
  if (!(wp->flags & SWP_NOCLIENTMOVE)) callProcedure(hwnd, WM_MOVE, 0, PointToLParam(origin.x, origin.y));
  if (!(wp->flags & SWP_NOCLIENTSIZE)) {
    WPARAM kind = SIZE_RESTORED;
    if (widget && widget->isWindow() && widget->isMinimized())
      kind = SIZE_MINIMIZED;
    else if (widget && widget->isWindow() && widget->isMaximized())
      kind = SIZE_MAXIMIZED;
    callProcedure(hwnd, WM_SIZE, kind, MAKELPARAM(WORD(size.cx), WORD(size.cy)));
  }
}

// Where the last mouse message of the thread's input happened (screen).
QPoint lastMousePos;

// Offers a top-level window a new place through WM_MOVING; answers the
// rectangle the window's procedure leaves in the message.
RECT askMoving(HWND hwnd, QWidget* w, RECT r) {
  Translation tr;
  tr.receiver = w;
  invoke(hwnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&r), &tr);
  return r;
}

// A move of a top-level window that follows the mouse while the left button
// is held (the move by the caption). Every position the mouse proposes goes
// through WM_MOVING first and the window goes where the answer says. The
// mouse moves of the drag reach no window; the release ends it and goes on
// as usual.
class DragMove : public QObject {
 public:
  DragMove(HWND hwnd, QWidget* window, QPoint start)
      : hwnd_(hwnd), window_(window), start_(start), from_(window->frameGeometry()) {
    qApp->installEventFilter(this);
  }

  void finish() {
    if (done_) return;
    done_ = true;
    qApp->removeEventFilter(this);
    deleteLater();
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (done_ || !e->spontaneous()) return false;
    if (e->type() == QEvent::MouseButtonRelease) {
      if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) finish();
      return false;
    }
    if (e->type() != QEvent::MouseMove) return false;
    auto* m = static_cast<QMouseEvent*>(e);
    if (!window_ || !IsWindow(hwnd_) || !(m->buttons() & Qt::LeftButton)) {
      finish();
      return false;
    }
    const QPoint by = m->globalPosition().toPoint() - start_;
    const QRect to = from_.translated(by);
    const RECT answer =
        askMoving(hwnd_, window_, RECT{to.left(), to.top(), to.left() + to.width(), to.top() + to.height()});
    if (window_ && QPoint(answer.left, answer.top) != window_->frameGeometry().topLeft())
      window_->move(answer.left, answer.top);
    return true;
  }

 private:
  HWND hwnd_;
  QPointer<QWidget> window_;
  QPoint start_;
  QRect from_;
  bool done_ = false;
};

QPointer<DragMove> dragMove;

// Starts a move by the mouse when the left button is down; a move already
// under way ends first.
void startDragMove(HWND hwnd, QWidget* top) {
  if (dragMove) dragMove->finish();
  if (!top || !top->isWindow() || GetKeyState(VK_LBUTTON) >= 0) return;
  dragMove = new DragMove(hwnd, top, lastMousePos);
}

LRESULT systemCommand(HWND hwnd, QWidget* widget, WPARAM wParam) {
  QWidget* top = widget ? widget->window() : nullptr;
  HWND topHwnd = top ? HandleOfWidget(top, true) : hwnd;
  switch (wParam & 0xFFF0) {
    case SC_CLOSE: SendMessageW(topHwnd, WM_CLOSE, 0, 0); break;
    case SC_MINIMIZE: ShowWindow(topHwnd, SW_MINIMIZE); break;
    case SC_MAXIMIZE: ShowWindow(topHwnd, SW_SHOWMAXIMIZED); break;
    case SC_RESTORE: ShowWindow(topHwnd, SW_RESTORE); break;
    case SC_MOVE:
      if ((wParam & 0xF) == (SC_DRAGMOVE & 0xF))
        startDragMove(topHwnd, top);
      else if (top && top->windowHandle())
        top->windowHandle()->startSystemMove();
      break;
    case SC_SIZE:
      if (top && top->windowHandle()) {
        static const Qt::Edges edges[] = {Qt::BottomEdge | Qt::RightEdge,
                                          Qt::LeftEdge,
                                          Qt::RightEdge,
                                          Qt::TopEdge,
                                          Qt::TopEdge | Qt::LeftEdge,
                                          Qt::TopEdge | Qt::RightEdge,
                                          Qt::BottomEdge,
                                          Qt::BottomEdge | Qt::LeftEdge,
                                          Qt::BottomEdge | Qt::RightEdge};
        WPARAM edge = wParam & 0xF;
        top->windowHandle()->startSystemResize(edges[edge <= 8 ? edge : 0]);
      }
      break;
    default: break;
  }
  return 0;
}

// Default handling of a message that did not come from a Qt event.
LRESULT codeDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  QPointer<QWidget> widget;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) return 0;
    widget = w->widget;
  }
  switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT: {
      String text = lParam ? String::fromUtf16(reinterpret_cast<const char16_t*>(lParam)) : String();
      {
        std::lock_guard lock(registry().mutex);
        if (WindowRec* w = findLocked(hwnd)) w->text = text;
      }
      if (widget && widget->isWindow()) widget->setWindowTitle(text);
      return TRUE;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      String text;
      {
        std::lock_guard lock(registry().mutex);
        WindowRec* w = findLocked(hwnd);
        if (!w) return 0;
        text = (widget && widget->isWindow()) ? widget->windowTitle() : w->text;
      }
      if (msg == WM_GETTEXTLENGTH) return text.size();
      auto* buffer = reinterpret_cast<char16_t*>(lParam);
      if (!buffer || wParam == 0) return 0;
      int n = std::min<int>(text.size(), int(wParam) - 1);
      std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), n, buffer);
      buffer[n] = 0;
      return n;
    }
    case WM_CLOSE: {
      bool closed = true;
      if (widget) {
        QuietScope quiet(widget, {QEvent::Close});
        closed = widget->close();
      }
      if (closed) DestroyWindow(hwnd);
      return 0;
    }
    case WM_SHOWWINDOW:
      if (widget) {
        QuietScope quiet(widget, {QEvent::ShowToParent, QEvent::HideToParent});
        widget->setVisible(wParam != 0);
        std::lock_guard lock(registry().mutex);
        if (WindowRec* w = findLocked(hwnd)) w->shown = wParam != 0;
      }
      return 0;
    case WM_SETFOCUS:
      if (widget && nearestWindow(QApplication::focusWidget()) != hwnd) {
        QuietScope quiet(widget, {QEvent::FocusIn});
        widget->setFocus(Qt::OtherFocusReason);
      }
      return 0;
    case WM_SYSCOMMAND: return systemCommand(hwnd, widget, wParam);
    case WM_WINDOWPOSCHANGED: notifyMoveSize(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam)); return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: return forwardToParent(hwnd, msg, wParam, lParam);
    case WM_NCHITTEST: {
      RECT r;
      if (!GetWindowRect(hwnd, &r)) return HTNOWHERE;
      int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
      return (x >= r.left && x < r.right && y >= r.top && y < r.bottom) ? HTCLIENT : HTNOWHERE;
    }
    case WM_MOUSEACTIVATE: return MA_ACTIVATE;
    case WM_SETICON:
    case WM_GETICON: {
      std::lock_guard lock(registry().mutex);
      WindowRec* w = findLocked(hwnd);
      if (!w) return 0;
      HICON& slot = wParam == ICON_SMALL ? w->iconSmall : w->iconBig;
      HICON previous = slot;
      if (msg == WM_SETICON) slot = reinterpret_cast<HICON>(lParam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_ERASEBKGND: return 1;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
      if (widget) synthesizeKey(hwnd, widget, msg, wParam, lParam);
      return 0;
    default:
      if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL && msg != WM_MOUSEHWHEEL) {
        if (widget) synthesizeMouse(hwnd, widget, msg, wParam, lParam);
      }
      return 0;
  }
}

// Default handling of a message translated from a Qt event.
LRESULT translatedDefault(const Frame& f, WPARAM wParam, LPARAM lParam) {
  Translation& tr = *f.tr;
  if (!tr.stoppable) return f.msg == WM_WINDOWPOSCHANGED ? codeDefault(f.hwnd, f.msg, wParam, lParam) : 0;
  switch (f.msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      tr.keyDownDefault = true;
      if (!tr.awaitChar) deliver(tr);
      return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
      if (tr.keyDownDefault) deliver(tr);
      return 0;
    case WM_CLOSE:
      deliver(tr);
      if (tr.event->isAccepted()) DestroyWindow(f.hwnd);
      return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      deliver(tr);
      return tr.event->isAccepted() ? 0 : forwardToParent(f.hwnd, f.msg, wParam, lParam);
    default: deliver(tr); return 0;
  }
}

// ---------------------------------------------------------------- translation

MSG makeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, QPoint global) {
  MSG m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  m.pt = POINT{global.x(), global.y()};
  return m;
}

// A message of the thread's message loop: filters first, then the window.
void dispatchInput(MSG m, Translation& tr) {
  if (runThreadFilters(m)) return;
  if (m.hwnd) invoke(m.hwnd, m.message, m.wParam, m.lParam, &tr);
}

void inform(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, QWidget* w, QEvent* e) {
  Translation tr;
  tr.receiver = w;
  tr.event = e;
  invoke(hwnd, msg, wParam, lParam, &tr);
}

bool ownEnabled(const QWidget* w) {
  return w->parentWidget() ? w->isEnabledTo(w->parentWidget()) : w->isEnabled();
}

// The characters a key press types, as WM_CHAR would carry them.
std::vector<char16_t> charsOf(const QKeyEvent* e, WORD vk, bool ctrl, bool alt) {
  std::vector<char16_t> out;
  if (ctrl && !alt) {
    if (vk >= 'A' && vk <= 'Z')
      out.push_back(char16_t(vk - 'A' + 1));
    else if (!e->text().isEmpty() && e->text()[0].unicode() < 0x20)
      out.push_back(e->text()[0].unicode());
    return out;
  }
  for (QChar c : e->text())
    if (c.unicode() != 0x7F) out.push_back(c.unicode());
  return out;
}

bool onKey(QWidget* w, QKeyEvent* e) {
  if (!e->spontaneous()) return false;
  const bool press = e->type() == QEvent::KeyPress;
  const WORD vk = VirtualKeyFromQt(e->key(), e->modifiers());
  if (vk && !(e->isAutoRepeat() && !press)) NoteKeyEvent(vk, press, e->modifiers());
  HWND hwnd = nearestWindow(w);
  if (!hwnd || (!press && e->isAutoRepeat())) return false;
  const Qt::KeyboardModifiers mods = e->modifiers();
  const bool ctrl = mods & Qt::ControlModifier;
  const bool altHeld = (mods & Qt::AltModifier) || vk == VK_MENU;
  const bool alt = altHeld && !ctrl;  // Ctrl+Alt types like AltGr
  const bool sys = alt || (vk == VK_F10 && !ctrl);
  bool keypad = mods & Qt::KeypadModifier;
  LPARAM keyData = MakeKeyData(1, ScanCodeOfKeyEvent(*e, vk), IsExtendedKey(vk, keypad), alt,
                               !press || e->isAutoRepeat(), !press);
  QPoint global = QCursor::pos();
  Translation tr;
  tr.receiver = w;
  tr.event = e;
  tr.stoppable = true;
  if (!press) {
    if (!vk) return false;
    dispatchInput(makeMsg(hwnd, sys ? WM_SYSKEYUP : WM_KEYUP, vk, keyData, global), tr);
    e->accept();
    return true;
  }
  std::vector<char16_t> chars = charsOf(e, vk, ctrl, alt);
  if (vk == 0 && chars.empty()) return false;
  tr.awaitChar = !chars.empty();
  if (vk) {
    MSG m = makeMsg(hwnd, sys ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, keyData, global);
    if (runThreadFilters(m)) {
      e->accept();
      return true;  // handled by the message loop: no characters follow
    }
    if (m.hwnd) invoke(m.hwnd, m.message, m.wParam, m.lParam, &tr);
  } else {
    tr.keyDownDefault = true;
  }
  for (char16_t c : chars) {
    if (!IsWindow(hwnd)) break;
    dispatchInput(makeMsg(hwnd, sys ? WM_SYSCHAR : WM_CHAR, c, keyData, global), tr);
  }
  e->accept();
  return true;
}

UINT mouseMessage(const QMouseEvent* e) {
  static const UINT table[3][4] = {{WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_XBUTTONDOWN},
                                   {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP, WM_XBUTTONUP},
                                   {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_XBUTTONDBLCLK}};
  int row;
  switch (e->type()) {
    case QEvent::MouseMove: return WM_MOUSEMOVE;
    case QEvent::MouseButtonPress: row = 0; break;
    case QEvent::MouseButtonRelease: row = 1; break;
    case QEvent::MouseButtonDblClick: row = 2; break;
    default: return 0;
  }
  switch (e->button()) {
    case Qt::LeftButton: return table[row][0];
    case Qt::RightButton: return table[row][1];
    case Qt::MiddleButton: return table[row][2];
    case Qt::ExtraButton1:
    case Qt::ExtraButton2: return table[row][3];
    default: return 0;
  }
}

bool hookDrops(UINT msg, HWND hwnd, QPoint global, DWORD mouseData) {
  if (!hasMouseHooks()) return false;
  MOUSEHOOKSTRUCTEX info;
  info.pt = POINT{global.x(), global.y()};
  info.hwnd = hwnd;
  info.wHitTestCode = hwnd ? UINT(HTCLIENT) : UINT(HTNOWHERE);
  info.mouseData = mouseData;
  return callMouseHooks(msg, info);
}

QPoint clientPoint(HWND hwnd, QPoint global) {
  QWidget* attached = WidgetOf(hwnd);
  return attached ? attached->mapFromGlobal(global) : global;
}

// A button pressed in a child window is told to its parent, and on up the
// chain of parents, before the window itself gets the button message. A
// window with WS_EX_NOPARENTNOTIFY (or a top-level one) ends the chain.
void notifyParentsOfButton(HWND hwnd, UINT msg, WORD high, QPoint global) {
  for (HWND child = hwnd; child;) {
    HWND parent;
    {
      std::lock_guard lock(registry().mutex);
      WindowRec* w = findLocked(child);
      if (!w || isTopLevel(*w) || !(w->style & WS_CHILD) || (w->exStyle & WS_EX_NOPARENTNOTIFY)) return;
      parent = w->parent;
    }
    POINT at{global.x(), global.y()};
    ScreenToClient(parent, &at);
    SendMessageW(parent, WM_PARENTNOTIFY, MAKEWPARAM(WORD(msg), high), PointToLParam(at.x, at.y));
    child = IsWindow(parent) ? parent : nullptr;
  }
}

bool onMouse(QWidget* w, QMouseEvent* e) {
  if (!e->spontaneous()) return false;
  NoteMouseButtons(e->buttons(), e->modifiers());
  UINT msg = mouseMessage(e);
  if (!msg) return false;
  HWND hwnd = nearestWindow(w);
  QPoint global = e->globalPosition().toPoint();
  lastMousePos = global;
  if (e->type() == QEvent::MouseButtonPress && !w->window()->isActiveWindow())
    pressedInactive = nearestWindow(w->window());
  if (hookDrops(msg, hwnd, global, 0)) {
    e->accept();
    return true;
  }
  if (!hwnd || !w->isEnabled()) return false;
  WORD keys = MouseKeyFlags(e->modifiers(), e->buttons());
  WORD high = 0;
  if (msg >= WM_XBUTTONDOWN && msg <= WM_XBUTTONDBLCLK)
    high = e->button() == Qt::ExtraButton2 ? XBUTTON2 : XBUTTON1;
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN || msg == WM_XBUTTONDOWN) {
    QPointer<QWidget> alive(w);
    notifyParentsOfButton(hwnd, msg, high, global);
    if (!alive || !IsWindow(hwnd)) {
      e->accept();
      return true;
    }
  }
  QPoint client = clientPoint(hwnd, global);
  Translation tr;
  tr.receiver = w;
  tr.event = e;
  tr.stoppable = true;
  dispatchInput(makeMsg(hwnd, msg, MAKEWPARAM(keys, high), PointToLParam(client.x(), client.y()), global),
                tr);
  e->accept();
  return true;
}

bool onWheel(QWidget* w, QWheelEvent* e) {
  if (!e->spontaneous()) return false;
  QPoint angle = e->angleDelta();
  UINT msg = angle.y() != 0 ? WM_MOUSEWHEEL : (angle.x() != 0 ? WM_MOUSEHWHEEL : 0);
  if (!msg) return false;
  // Qt counts a tilt to the left as positive, the platform a tilt to the right.
  int delta = std::clamp(msg == WM_MOUSEWHEEL ? angle.y() : -angle.x(), -32768, 32767);
  HWND hwnd = nearestWindow(w);
  QPoint global = e->globalPosition().toPoint();
  if (hookDrops(msg, hwnd, global, DWORD(WORD(SHORT(delta))) << 16)) {
    e->accept();
    return true;
  }
  if (!hwnd || !w->isEnabled()) return false;
  WORD keys = MouseKeyFlags(e->modifiers(), e->buttons());
  Translation tr;
  tr.receiver = w;
  tr.event = e;
  tr.stoppable = true;
  dispatchInput(
      makeMsg(hwnd, msg, MAKEWPARAM(keys, WORD(SHORT(delta))), PointToLParam(global.x(), global.y()), global),
      tr);
  e->accept();
  return true;
}

bool onContextMenu(QWidget* w, QContextMenuEvent* e) {
  if (!e->spontaneous()) return false;
  HWND hwnd = nearestWindow(w);
  if (!hwnd || !w->isEnabled()) return false;
  LPARAM pos = e->reason() == QContextMenuEvent::Keyboard
                   ? LPARAM(-1)
                   : PointToLParam(e->globalPos().x(), e->globalPos().y());
  Translation tr;
  tr.receiver = w;
  tr.event = e;
  tr.stoppable = true;
  invoke(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), pos, &tr);
  e->accept();
  return true;
}

void onFocus(QWidget* w, QEvent* e, bool quiet) {
  HWND hwnd = nearestWindow(w);
  if (!hwnd) return;
  if (e->type() == QEvent::FocusIn) {
    if (hwnd == lastFocus) return;
    HWND previous = lastFocus ? lastFocus : lostFocus;
    if (!IsWindow(previous)) previous = nullptr;
    lastFocus = hwnd;
    lostFocus = nullptr;
    if (!quiet) inform(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0, w, e);
    return;
  }
  if (hwnd != lastFocus) return;
  HWND next = nearestWindow(QApplication::focusWidget());
  if (next == hwnd) return;
  lastFocus = nullptr;
  lostFocus = hwnd;
  inform(hwnd, WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0, w, e);
}

void onMoving(HWND hwnd, QWidget* widget) {
  QPointer<QWidget> w = widget;
  QRect f = w->frameGeometry();
  RECT r{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
  const RECT proposed = r;
  r = askMoving(hwnd, w, r);
  if (r == proposed || !w) return;
  {
    std::lock_guard lock(registry().mutex);
    if (WindowRec* rec = findLocked(hwnd)) ++rec->positioning;
  }
  w->move(r.left, r.top);
  std::lock_guard lock(registry().mutex);
  if (WindowRec* rec = findLocked(hwnd)) --rec->positioning;
}

// Events of a widget attached to a window.
bool onWindowEvent(QWidget* w, QEvent* e) {
  HWND hwnd = HandleOfWidget(w);
  if (!hwnd) return false;
  switch (e->type()) {
    case QEvent::Close: {
      if (!e->spontaneous()) return false;
      Translation tr;
      tr.receiver = w;
      tr.event = e;
      tr.stoppable = true;
      invoke(hwnd, WM_CLOSE, 0, 0, &tr);
      if (!tr.delivered) e->ignore();
      return true;
    }
    case QEvent::ShowToParent:
    case QEvent::HideToParent: {
      const bool shown = !w->isHidden();
      {
        std::lock_guard lock(registry().mutex);
        WindowRec* rec = findLocked(hwnd);
        if (!rec || rec->shown == shown) return false;
        rec->shown = shown;
      }
      inform(hwnd, WM_SHOWWINDOW, shown, 0, w, e);
      return false;
    }
    case QEvent::EnabledChange: {
      const bool enabled = ownEnabled(w);
      {
        std::lock_guard lock(registry().mutex);
        WindowRec* rec = findLocked(hwnd);
        if (!rec || rec->enabled == enabled) return false;
        rec->enabled = enabled;
      }
      inform(hwnd, WM_ENABLE, enabled, 0, w, e);
      return false;
    }
    case QEvent::Resize:
    case QEvent::Move: {
      {
        std::lock_guard lock(registry().mutex);
        WindowRec* rec = findLocked(hwnd);
        if (!rec || rec->positioning) return false;
      }
      const bool move = e->type() == QEvent::Move;
      if (move && e->spontaneous() && w->isWindow()) onMoving(hwnd, w);
      QRect g = w->isWindow() ? w->frameGeometry() : w->geometry();
      UINT flags = SWP_NOZORDER | SWP_NOACTIVATE |
                   (move ? SWP_NOSIZE | SWP_NOCLIENTSIZE : SWP_NOMOVE | SWP_NOCLIENTMOVE);
      WINDOWPOS wp{hwnd, nullptr, g.x(), g.y(), g.width(), g.height(), flags};
      inform(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp), w, e);
      return false;
    }
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate: {
      if (!w->isWindow()) return false;
      const WORD minimized = w->isMinimized() ? 1 : 0;
      if (e->type() == QEvent::WindowActivate) {
        HWND previous = IsWindow(lastActive) && lastActive != hwnd ? lastActive : nullptr;
        lastActive = hwnd;
        const bool clicked = pressedInactive == hwnd || GetKeyState(VK_LBUTTON) < 0 ||
                             GetKeyState(VK_RBUTTON) < 0 || GetKeyState(VK_MBUTTON) < 0;
        pressedInactive = nullptr;
        WORD how = clicked ? WA_CLICKACTIVE : WA_ACTIVE;
        inform(hwnd, WM_ACTIVATE, MAKEWPARAM(how, minimized), reinterpret_cast<LPARAM>(previous), w, e);
      } else {
        HWND next = nearestWindow(QApplication::activeWindow());
        if (next == hwnd) next = nullptr;
        if (lastActive == hwnd) lastActive = nullptr;
        inform(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimized), reinterpret_cast<LPARAM>(next), w, e);
      }
      return false;
    }
    case QEvent::Enter: inform(hwnd, CM_MOUSEENTER, 0, 0, w, e); return false;
    case QEvent::Leave: inform(hwnd, CM_MOUSELEAVE, 0, 0, w, e); return false;
    default: return false;
  }
}

class Bridge : public QObject {
 public:
  bool eventFilter(QObject* o, QEvent* e) override {
    const QEvent::Type type = e->type();
    switch (type) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::Close:
      case QEvent::ShowToParent:
      case QEvent::HideToParent:
      case QEvent::EnabledChange:
      case QEvent::Resize:
      case QEvent::Move:
      case QEvent::WindowActivate:
      case QEvent::WindowDeactivate:
      case QEvent::Enter:
      case QEvent::Leave: break;
      default: return false;
    }
    if (!o->isWidgetType()) return false;
    if (std::find(delivering.begin(), delivering.end(), e) != delivering.end()) return false;
    auto* w = static_cast<QWidget*>(o);
    const bool quiet = isQuiet(o, type);
    switch (type) {
      case QEvent::FocusIn:
      case QEvent::FocusOut: onFocus(w, e, quiet); return false;
      default: break;
    }
    if (quiet) return false;
    switch (type) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease: return onKey(w, static_cast<QKeyEvent*>(e));
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: return onMouse(w, static_cast<QMouseEvent*>(e));
      case QEvent::Wheel: return onWheel(w, static_cast<QWheelEvent*>(e));
      case QEvent::ContextMenu: return onContextMenu(w, static_cast<QContextMenuEvent*>(e));
      default: return onWindowEvent(w, e);
    }
  }
};

}  // namespace

namespace winapi_internal {

LRESULT callProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return invoke(hwnd, msg, wParam, lParam, nullptr);
}

void ensureBridge() {
  static QPointer<Bridge> bridge;
  if (bridge || !qApp || QThread::currentThread() != qApp->thread()) return;
  bridge = new Bridge;
  bridge->setParent(qApp);
  qApp->installEventFilter(bridge);
}

QuietScope::QuietScope(const QObject* receiver, std::initializer_list<int> eventTypes)
    : count_(eventTypes.size()) {
  for (int t : eventTypes) quietList.emplace_back(receiver, t);
}

QuietScope::~QuietScope() { quietList.resize(quietList.size() - count_); }

bool isQuiet(const QObject* receiver, int eventType) {
  return std::find(quietList.begin(), quietList.end(), std::make_pair(receiver, eventType)) !=
         quietList.end();
}

}  // namespace winapi_internal

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!frames.empty()) {
    const Frame& f = frames.back();
    if (f.tr && f.hwnd == hwnd && f.msg == msg) return translatedDefault(f, wParam, lParam);
  }
  return codeDefault(hwnd, msg, wParam, lParam);
}

LRESULT CallWindowProcW(WNDPROC prev, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  prev = resolveProcedure(hwnd, prev);
  return prev ? prev(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}
