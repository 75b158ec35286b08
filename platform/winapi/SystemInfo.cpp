// Threads and processes, the cursor, system metrics and parameters.
#include "platform/winapi/Windows.h"

#include "platform/winapi/WinInternal_p.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QStyle>
#include <QStyleHints>

#include <atomic>

#include <sys/syscall.h>
#include <unistd.h>

using namespace winapi_internal;

DWORD GetCurrentThreadId() {
  thread_local const DWORD id = DWORD(::syscall(SYS_gettid));
  return id;
}

DWORD GetCurrentProcessId() { return DWORD(::getpid()); }

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId) *processId = GetCurrentProcessId();
  return w->threadId;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  QPoint p = QCursor::pos();
  *point = POINT{p.x(), p.y()};
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  QCursor::setPos(x, y);
  return TRUE;
}

int GetSystemMetrics(int index) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 0;
  const QRect geometry = screen->geometry();
  const QRect available = screen->availableGeometry();
  const QRect virtualGeometry = screen->virtualGeometry();
  QStyle* style = qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::style() : nullptr;
  const int scrollBar = style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 17;
  const int caption = style ? style->pixelMetric(QStyle::PM_TitleBarHeight) : 23;
  switch (index) {
    case SM_CXSCREEN: return geometry.width();
    case SM_CYSCREEN: return geometry.height();
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return scrollBar;
    case SM_CYCAPTION: return caption;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXSIZE:
    case SM_CYSIZE: return caption - 5;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return caption + 4;
    case SM_CXFULLSCREEN: return available.width();
    case SM_CYFULLSCREEN: return available.height() - caption;
    case SM_CXMAXIMIZED: return available.width();
    case SM_CYMAXIMIZED: return available.height();
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG:
    case SM_CYDRAG: return QGuiApplication::styleHints()->startDragDistance();
    case SM_SWAPBUTTON: return 0;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_MOUSEWHEELPRESENT: return 1;
    case SM_XVIRTUALSCREEN: return virtualGeometry.x();
    case SM_YVIRTUALSCREEN: return virtualGeometry.y();
    case SM_CXVIRTUALSCREEN: return virtualGeometry.width();
    case SM_CYVIRTUALSCREEN: return virtualGeometry.height();
    case SM_CMONITORS: return int(QGuiApplication::screens().size());
    default: return 0;
  }
}

BOOL SystemParametersInfoW(UINT action, UINT, void* pvParam, UINT) {
  if (!pvParam) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (action) {
    case SPI_GETWORKAREA: {
      QScreen* screen = QGuiApplication::primaryScreen();
      if (!screen) return FALSE;
      QRect r = screen->availableGeometry();
      *static_cast<RECT*>(pvParam) = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
      return TRUE;
    }
    case SPI_GETWHEELSCROLLLINES:
      *static_cast<UINT*>(pvParam) = UINT(QGuiApplication::styleHints()->wheelScrollLines());
      return TRUE;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
  }
}

UINT GetDoubleClickTime() { return UINT(QGuiApplication::styleHints()->mouseDoubleClickInterval()); }

namespace {
std::atomic<int> beeps{0};
}

BOOL MessageBeep(UINT) {
  ++beeps;
  QApplication::beep();
  return TRUE;
}

int MessageBeepCount() { return beeps; }
