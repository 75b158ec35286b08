#pragma once
// Shared state of the window layer's source files (not for other layers).
#include "platform/winapi/Windows.h"

#include <QPointer>
#include <QWidget>

#include <initializer_list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class QEvent;

namespace winapi_internal {

struct WindowRec {
  HWND handle = nullptr;
  String className;
  String text;
  HWND parent = nullptr;  // the desktop window for top-level windows
  HWND owner = nullptr;
  std::vector<HWND> children;  // z-order, top first
  DWORD style = 0;
  DWORD exStyle = 0;
  UINT classStyle = 0;
  RECT rect;  // kept for windows without a widget: parent-client or screen coordinates
  // The current procedure (the front of `chain`). The chain lists the
  // procedures installed through GWL_WNDPROC, newest first; `removed` maps a
  // procedure taken out of the middle of the chain to the one below it.
  WNDPROC proc = nullptr;
  std::vector<WNDPROC> chain;
  std::vector<std::pair<WNDPROC, WNDPROC>> removed;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  HICON iconSmall = nullptr;
  HICON iconBig = nullptr;
  QPointer<QWidget> widget;
  QMetaObject::Connection widgetGone;
  DWORD threadId = 0;
  bool destroying = false;
  // Own visibility and enabled state last reported (WM_SHOWWINDOW / WM_ENABLE).
  bool shown = false;
  bool enabled = true;
  // Set while SetWindowPos applies a change, so the widget's resize and move
  // events do not report it a second time.
  int positioning = 0;
};

struct ClassRec {
  String name;
  WNDCLASSW info;
  ATOM atom = 0;
};

struct Registry {
  std::recursive_mutex mutex;
  std::unordered_map<HWND, std::unique_ptr<WindowRec>> windows;
  std::unordered_map<const QWidget*, HWND> byWidget;
  std::vector<ClassRec> classes;
  HWND desktop = nullptr;
};

Registry& registry();
// The record of a live window; the caller holds registry().mutex.
WindowRec* findLocked(HWND hwnd);
// The nearest window of an object or of its ancestors (main thread).
HWND nearestWindow(const QObject* object);
// Top-level windows are the desktop's children.
bool isTopLevel(const WindowRec& w);

// A procedure saved by a subclasser that has since been taken out of the
// chain stands for the procedure that was below it.
WNDPROC resolveProcedure(HWND hwnd, WNDPROC proc);
// Whether a window still refers to the procedure (in its chain, or as one
// taken out of it that a subclasser may still call or put back).
bool procedureInUse(WNDPROC proc);

// Calls the window's current procedure on this thread, with a frame that
// tells DefWindowProc the message came from code.
LRESULT callProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The thread's message loop stage: filters, then the procedure (for window
// messages). Answers whether a filter handled the message, and the result.
bool runThreadFilters(MSG& msg);

// Installs the Qt event translation once (main thread).
void ensureBridge();
// Default handling of DefWindowProc for a window with a widget (bridge file).
bool bridgeDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
// Runs the mouse hooks of this thread; answers true when one dropped the message.
bool callMouseHooks(UINT msg, const MOUSEHOOKSTRUCTEX& info);
bool hasMouseHooks();

// Tells the translation to leave events of the given types of `receiver`
// alone while the scope lives (used where this layer drives the widget itself
// and reports the change on its own).
class QuietScope {
 public:
  QuietScope(const QObject* receiver, std::initializer_list<int> eventTypes);
  ~QuietScope();
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

 private:
  std::size_t count_;
};
bool isQuiet(const QObject* receiver, int eventType);

// Creates the calling thread's message queue when it has none.
void ensureThreadQueue();

// The window's rectangle in screen coordinates / its client size.
RECT windowRectOf(const WindowRec& w);
SIZE clientSizeOf(const WindowRec& w);

}  // namespace winapi_internal
