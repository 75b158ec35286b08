#pragma once
// Windows and messages: one registry of window handles (class name, text,
// parent, children in z-order, styles, rectangle, window procedure, user
// data, an optional Qt widget), window procedures that chain and compare as
// plain function pointers, sent and posted messages, thread message queues,
// the translation of Qt input events into messages, thread hooks and the
// system metrics.
//
// A window that has a widget attached takes its rectangle, visibility, enabled
// state, focus and activation from the widget. Input events of the widget (and
// of its children that are no window of their own) go through the window's
// procedure chain; Qt goes on with an event only when the message reaches
// DefWindowProc, and it does so right there, so code after a call of the
// previous procedure sees the effect of the default handling.
//
// Everything that touches widgets runs on the Qt main thread. IsWindow,
// PostMessage, PostThreadMessage and SendMessage may be called from any thread.
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"
#include "platform/winapi/KeyCodes.h"
#include "platform/winapi/Messages.h"
#include "platform/winapi/Modules.h"

#include <functional>

class QObject;
class QWidget;

// ---------------------------------------------------------------- handles and records

struct HWND__;
using HWND = HWND__*;
struct HHOOK__;
using HHOOK = HHOOK__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HMENU__;
using HMENU = HMENU__*;
using ATOM = WORD;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using HOOKPROC = LRESULT (*)(int code, WPARAM, LPARAM);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

struct POINT {
  LONG x = 0;
  LONG y = 0;
  bool operator==(const POINT&) const = default;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
  bool operator==(const SIZE&) const = default;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  bool operator==(const RECT&) const = default;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

// LParam of WM_WINDOWPOSCHANGING / WM_WINDOWPOSCHANGED.
struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
};

// LParam of WM_NCCREATE / WM_CREATE.
struct CREATESTRUCTW {
  LPVOID lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  int cy = 0;
  int cx = 0;
  int y = 0;
  int x = 0;
  LONG style = 0;
  LPCWSTR lpszName = nullptr;
  LPCWSTR lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

struct WNDCLASSW {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;
  LPCWSTR lpszMenuName = nullptr;
  LPCWSTR lpszClassName = nullptr;
};

// LParam of a WH_MOUSE hook call (MOUSEHOOKSTRUCTEX for wheel messages, whose
// mouseData holds the wheel delta in its high word).
struct MOUSEHOOKSTRUCT {
  POINT pt;
  HWND hwnd = nullptr;
  UINT wHitTestCode = 0;
  ULONG_PTR dwExtraInfo = 0;
};
struct MOUSEHOOKSTRUCTEX : MOUSEHOOKSTRUCT {
  DWORD mouseData = 0;
};

// ---------------------------------------------------------------- constants

inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
inline constexpr DWORD WS_EX_MDICHILD = 0x00000040;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
inline constexpr DWORD WS_EX_RIGHT = 0x00001000;
inline constexpr DWORD WS_EX_RTLREADING = 0x00002000;
inline constexpr DWORD WS_EX_LEFTSCROLLBAR = 0x00004000;
inline constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
inline constexpr DWORD WS_EX_LAYERED = 0x00080000;
inline constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_OWNDC = 0x0020;
inline constexpr UINT CS_CLASSDC = 0x0040;
inline constexpr UINT CS_PARENTDC = 0x0080;
inline constexpr UINT CS_NOCLOSE = 0x0200;
inline constexpr UINT CS_SAVEBITS = 0x0800;
inline constexpr UINT CS_GLOBALCLASS = 0x4000;
inline constexpr UINT CS_DROPSHADOW = 0x00020000;

inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_HINSTANCE = -6;
inline constexpr int GWL_HWNDPARENT = -8;
inline constexpr int GWL_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_USERDATA = -21;
inline constexpr int GWLP_WNDPROC = GWL_WNDPROC;
inline constexpr int GWLP_HINSTANCE = GWL_HINSTANCE;
inline constexpr int GWLP_HWNDPARENT = GWL_HWNDPARENT;
inline constexpr int GWLP_ID = GWL_ID;
inline constexpr int GWLP_USERDATA = GWL_USERDATA;
inline constexpr int GCL_STYLE = -26;
inline constexpr int GCLP_WNDPROC = -24;

inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;

inline constexpr UINT GA_PARENT = 1;
inline constexpr UINT GA_ROOT = 2;
inline constexpr UINT GA_ROOTOWNER = 3;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_NORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOCOPYBITS = 0x0100;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;
inline constexpr UINT SWP_NOSENDCHANGING = 0x0400;
// Set in WM_WINDOWPOSCHANGED when the client area did not move / resize.
inline constexpr UINT SWP_NOCLIENTSIZE = 0x0800;
inline constexpr UINT SWP_NOCLIENTMOVE = 0x1000;

inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

inline constexpr int CW_USEDEFAULT = int(0x80000000);

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

inline constexpr int WH_KEYBOARD = 2;
inline constexpr int WH_GETMESSAGE = 3;
inline constexpr int WH_CALLWNDPROC = 4;
inline constexpr int WH_MOUSE = 7;
inline constexpr int HC_ACTION = 0;
inline constexpr int HC_NOREMOVE = 3;

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CXFIXEDFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CYFIXEDFRAME = 8;
inline constexpr int SM_CYVTHUMB = 9;
inline constexpr int SM_CXHTHUMB = 10;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CXCURSOR = 13;
inline constexpr int SM_CYCURSOR = 14;
inline constexpr int SM_CYMENU = 15;
inline constexpr int SM_CXFULLSCREEN = 16;
inline constexpr int SM_CYFULLSCREEN = 17;
inline constexpr int SM_CYVSCROLL = 20;
inline constexpr int SM_CXHSCROLL = 21;
inline constexpr int SM_SWAPBUTTON = 23;
inline constexpr int SM_CXMIN = 28;
inline constexpr int SM_CYMIN = 29;
inline constexpr int SM_CXSIZE = 30;
inline constexpr int SM_CYSIZE = 31;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CXSIZEFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CYSIZEFRAME = 33;
inline constexpr int SM_CXDOUBLECLK = 36;
inline constexpr int SM_CYDOUBLECLK = 37;
inline constexpr int SM_CMOUSEBUTTONS = 43;
inline constexpr int SM_CXEDGE = 45;
inline constexpr int SM_CYEDGE = 46;
inline constexpr int SM_CXSMICON = 49;
inline constexpr int SM_CYSMICON = 50;
inline constexpr int SM_CXMAXIMIZED = 61;
inline constexpr int SM_CYMAXIMIZED = 62;
inline constexpr int SM_CXDRAG = 68;
inline constexpr int SM_CYDRAG = 69;
inline constexpr int SM_MOUSEWHEELPRESENT = 75;
inline constexpr int SM_XVIRTUALSCREEN = 76;
inline constexpr int SM_YVIRTUALSCREEN = 77;
inline constexpr int SM_CXVIRTUALSCREEN = 78;
inline constexpr int SM_CYVIRTUALSCREEN = 79;
inline constexpr int SM_CMONITORS = 80;

inline constexpr UINT SPI_GETWORKAREA = 0x0030;
inline constexpr UINT SPI_GETWHEELSCROLLLINES = 0x0068;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_OKCANCEL = 0x00000001;
inline constexpr UINT MB_YESNO = 0x00000004;
inline constexpr UINT MB_TYPEMASK = 0x0000000F;
inline constexpr UINT MB_ICONMASK = 0x000000F0;
inline constexpr UINT MB_ICONHAND = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
inline constexpr UINT MB_ICONASTERISK = 0x00000040;

// Answers of message boxes and dialogs.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
// Style of a dialog window.
inline constexpr DWORD DS_MODALFRAME = 0x80;

// ---------------------------------------------------------------- window classes

// Registers a window class (name compared without case). 0 with
// ERROR_CLASS_ALREADY_EXISTS when the name is taken.
ATOM RegisterClassW(const WNDCLASSW* wndClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* wndClass);

// ---------------------------------------------------------------- creating and destroying

// Creates a window of a registered class: sends WM_NCCREATE (FALSE fails the
// creation) and WM_CREATE (-1 fails it) with the CREATESTRUCTW. A child window
// (WS_CHILD) goes below its siblings; `parent` of a top-level window is its
// owner. WS_VISIBLE shows it.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Creates a window with its own procedure (null: the registered class's
// procedure, else DefWindowProc) and optionally a widget attached (see
// AttachWidget); the rectangle comes from the widget. The class needs no
// registration; a registered class of that name lends its class style.
HWND CreateWindowHandle(const String& className, const String& text, DWORD style, DWORD exStyle, HWND parent,
                        WNDPROC proc, QWidget* widget = nullptr, LPVOID param = nullptr);
// Destroys the window, its owned windows and its children: WM_DESTROY goes to
// the window before its children, WM_NCDESTROY after them. An attached
// widget is hidden and detached, not deleted. IsWindow answers FALSE after.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

// ---------------------------------------------------------------- widgets

// Attaches a widget: the window's rectangle, visibility, enabled state and
// focus follow the widget; its input events become messages of this window.
// A widget belongs to one window at a time. Deleting the widget destroys
// the window. The widget of a child window is put under the parent window's
// widget unless it already lies somewhere inside it.
BOOL AttachWidget(HWND hwnd, QWidget* widget);
void DetachWidget(HWND hwnd);
QWidget* WidgetOf(HWND hwnd);
// The window of a widget; with `walkUp`, the nearest window of the widget or
// of one of its ancestors.
HWND HandleOfWidget(const QObject* widget, bool walkUp = false);

// ---------------------------------------------------------------- tree

HWND GetParent(HWND hwnd);  // the parent of a child window, the owner of a popup, else 0
// Moves the window under a new parent (0: top level) at the top of its new
// siblings; an attached widget moves along and keeps its visibility (under a
// parent without a widget it waits hidden). Answers the previous parent (the
// desktop window for a top-level window).
HWND SetParent(HWND child, HWND newParent);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetAncestor(HWND hwnd, UINT flags);
HWND GetDesktopWindow();
BOOL IsChild(HWND parent, HWND hwnd);
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam);
// Class and text compare without case; a null name matches any window.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName);
// The same with Strings; an empty String matches any window.
HWND FindWindow(const String& className, const String& windowName = String());
HWND FindWindowEx(HWND parent, HWND childAfter, const String& className, const String& windowName = String());

// ---------------------------------------------------------------- attributes

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount);
String GetClassName(HWND hwnd);  // empty for no window
// Text through WM_GETTEXT / WM_SETTEXT, so window procedures may answer it.
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
String GetWindowText(HWND hwnd);
int GetWindowTextLengthW(HWND hwnd);
inline int GetWindowTextLength(HWND hwnd) { return GetWindowTextLengthW(hwnd); }
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
BOOL SetWindowText(HWND hwnd, const String& text);

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
// Answers the previous value. GWL_WNDPROC replaces the procedure; GWL_STYLE
// shows, hides, enables or disables an attached widget as WS_VISIBLE and
// WS_DISABLED change.
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
inline LONG_PTR GetWindowLongPtr(HWND h, int i) { return GetWindowLongPtrW(h, i); }
inline LONG_PTR SetWindowLongPtr(HWND h, int i, LONG_PTR v) { return SetWindowLongPtrW(h, i, v); }
inline LONG GetWindowLong(HWND h, int i) { return LONG(GetWindowLongPtrW(h, i)); }
inline LONG SetWindowLong(HWND h, int i, LONG v) { return LONG(SetWindowLongPtrW(h, i, v)); }
ULONG_PTR GetClassLongPtrW(HWND hwnd, int index);

// ---------------------------------------------------------------- geometry

BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height)
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
// Sends WM_WINDOWPOSCHANGING (whose WINDOWPOS the procedure may change),
// applies the change and sends WM_WINDOWPOSCHANGED, whose default handling
// sends WM_MOVE and WM_SIZE. Positions of child windows are in the parent's
// client coordinates, of top-level windows in screen coordinates.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
// The deepest visible, enabled window under a screen point (0 for none).
HWND WindowFromPoint(POINT point);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);

// ---------------------------------------------------------------- state

// Answers whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL IsWindowVisible(HWND hwnd);  // the window and all its ancestors
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
// Answers whether the window was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
HWND GetFocus();
// Answers the window that had the focus. A window without a widget cannot
// take the focus (0, ERROR_INVALID_WINDOW_HANDLE).
HWND SetFocus(HWND hwnd);
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetCapture();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();

// ---------------------------------------------------------------- procedures and messages

// The end of every procedure chain. For a message translated from a Qt event
// it lets Qt handle the event now; for other messages it gives the default
// behaviour (text, closing, showing, focus, system commands, moving and
// sizing notifications, keyboard and mouse input for an attached widget).
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT DefWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }
// Calls a procedure saved from GWL_WNDPROC (object instances included).
LRESULT CallWindowProcW(WNDPROC prev, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT CallWindowProc(WNDPROC p, HWND h, UINT m, WPARAM w, LPARAM l) {
  return CallWindowProcW(p, h, m, w, l);
}

// A window procedure that calls a method. The value is a real procedure,
// distinct from every other live instance, so it can be stored with
// GWL_WNDPROC, compared, chained and called. FreeObjectInstance releases it;
// an instance freed while it runs is released when it returns.
using TWndMethod = std::function<void(TMessage&)>;
WNDPROC MakeObjectInstance(TWndMethod method);
void FreeObjectInstance(WNDPROC instance);

// Calls the window's procedure and answers its result. From another thread
// than the window's, the call runs on the window's thread and this thread
// waits (handling messages sent to it meanwhile).
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT SendMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return SendMessageW(h, m, w, l); }
// Queue a message for the window's thread (delivered in order by its event
// loop, or taken by PeekMessage / GetMessage). Safe from any thread. Messages
// for a window destroyed before delivery are dropped.
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline BOOL PostMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return PostMessageW(h, m, w, l); }
// FALSE with ERROR_INVALID_THREAD_ID when the thread has no message queue (a
// thread gets one when it creates a window, peeks, or posts to itself).
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
inline BOOL PostThreadMessage(DWORD t, UINT m, WPARAM w, LPARAM l) { return PostThreadMessageW(t, m, w, l); }
void PostQuitMessage(int exitCode);
// Takes the oldest queued message of this thread that matches (window 0 = any
// window and thread messages; range 0, 0 = all). Messages sent from other
// threads are handled first.
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
inline BOOL PeekMessage(MSG* m, HWND h, UINT a, UINT b, UINT r) { return PeekMessageW(m, h, a, b, r); }
// Waits (running the Qt event loop) for a matching message; FALSE for WM_QUIT.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
inline BOOL GetMessage(MSG* m, HWND h, UINT a, UINT b) { return GetMessageW(m, h, a, b); }
// Keyboard messages arrive translated already (WM_CHAR follows WM_KEYDOWN).
BOOL TranslateMessage(const MSG* msg);
// Sends a window message through the window's procedure chain; thread
// messages (window 0) are not dispatched.
LRESULT DispatchMessageW(const MSG* msg);
inline LRESULT DispatchMessage(const MSG* m) { return DispatchMessageW(m); }

// Message filters of the calling thread: every message that passes through
// the thread's message loop (posted messages, thread messages, keyboard and
// mouse input) is shown to them, in the order they were added, before it is
// dispatched. A filter that answers true has handled it. Thread messages
// that no filter handles are dropped.
using TMessageFilter = std::function<bool(MSG&)>;
int AddThreadMessageFilter(TMessageFilter filter);
void RemoveThreadMessageFilter(int id);

// ---------------------------------------------------------------- hooks

// WH_MOUSE is supported (for the calling thread; 0 means the same): the hook
// sees every mouse message before its window, with a MOUSEHOOKSTRUCT (or
// MOUSEHOOKSTRUCTEX for wheel messages); a non-zero answer drops the message.
HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
inline HHOOK SetWindowsHookEx(int i, HOOKPROC p, HINSTANCE m, DWORD t) {
  return SetWindowsHookExW(i, p, m, t);
}
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------- processes and threads

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// ---------------------------------------------------------------- system

BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
int GetSystemMetrics(int index);
// SPI_GETWORKAREA (RECT*: the primary screen's available area) and
// SPI_GETWHEELSCROLLLINES (UINT*).
BOOL SystemParametersInfoW(UINT action, UINT uiParam, void* pvParam, UINT winIni);
inline BOOL SystemParametersInfo(UINT a, UINT u, void* p, UINT w) {
  return SystemParametersInfoW(a, u, p, w);
}
UINT GetDoubleClickTime();
BOOL MessageBeep(UINT type);
// How many beeps MessageBeep has sounded in the process (tests count them).
int MessageBeepCount();

// ---------------------------------------------------------------- regions and the screen

// A region is an area of pixels in some window's coordinates. Regions that
// the program made are freed with DeleteObject; a region given to a window
// with SetWindowRgn belongs to the window from then on (DeleteObject refuses
// it) and is freed when the window gets another one or is gone.
struct HRGN__;
using HRGN = HRGN__*;
using HGDIOBJ = void*;
// A device context: a painter, or the screen as GetDC(0) answers it.
class QPainter;
using HDC = QPainter*;

// Polygon fill modes.
inline constexpr int ALTERNATE = 1;
inline constexpr int WINDING = 2;
// CombineRgn modes.
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
// What a region operation answers: failure, or the kind of the result.
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

// Null for fewer than three points or an unknown fill mode.
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
// The pixels from (left, top) up to but not including (right, bottom).
HRGN CreateRectRgn(int left, int top, int right, int bottom);
// dest := src1 <mode> src2 (src2 is not read for RGN_COPY). dest may be one
// of the sources.
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
BOOL PtInRegion(HRGN rgn, int x, int y);
// The smallest rectangle around the region (empty for an empty region).
int GetRgnBox(HRGN rgn, RECT* rect);
// Frees a region or a font the program owns; FALSE for anything else.
BOOL DeleteObject(HGDIOBJ object);

// Limits the window to the region (window coordinates, origin at its top-left
// corner): the window's widget shows, and takes the mouse, only there. A
// null region gives the whole window back. 0 when the window or the region
// is not valid (the region then stays the caller's).
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);
// Copies the window's region into `rgn`; RGN_ERROR when it has none.
int GetWindowRgn(HWND hwnd, HRGN rgn);

// GetDC(0) (or of the desktop window) is the screen; no other window lends
// its device context here. ReleaseDC answers 1 for the screen.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
// Draws a dotted focus rectangle on the screen by inverting: drawing the
// same rectangle again takes it away. Stands in as a frameless window over
// the rectangle that shows only the dotted one-pixel outline, so what lies
// inside stays visible; it lets the mouse through and takes no focus.
BOOL DrawFocusRect(HDC dc, const RECT* rect);

// ---------------------------------------------------------------- files

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Creates one folder (its parent must exist; the security attributes are not
// used). FALSE with ERROR_ALREADY_EXISTS when a file or folder of that name
// exists, ERROR_PATH_NOT_FOUND when the parent is missing,
// ERROR_INVALID_NAME for an empty name, ERROR_ACCESS_DENIED when the file
// system refuses.
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes);
// ---------------------------------------------------------------- notifications

// The header of every WM_NOTIFY record. A control of the class library that
// sends one to its parent gets it back as CN_NOTIFY, and the parent answers
// what the control answered.
struct NMHDR {
  HWND hwndFrom = nullptr;
  UINT_PTR idFrom = 0;
  UINT code = 0;
};

// ---------------------------------------------------------------- fonts and device contexts

// A logical font: what the program asks for. The system's font matcher picks
// the face that is really drawn; GetTextMetrics tells which.
struct HFONT__;
using HFONT = HFONT__*;

inline constexpr int LF_FACESIZE_W = 32;
struct LOGFONTW {
  LONG lfHeight = 0;  // negative: character height; positive: cell height (pixels)
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = 0;  // 400 normal, 700 bold
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  WCHAR lfFaceName[LF_FACESIZE_W] = {};
};

// Pitch bits of lfPitchAndFamily and tmPitchAndFamily (low nibble) and families (high nibble).
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;
inline constexpr BYTE FF_SCRIPT = 0x40;
inline constexpr BYTE FF_DECORATIVE = 0x50;
// tmPitchAndFamily: as on the platform, TMPF_FIXED_PITCH set means a
// *variable* pitch font.
inline constexpr BYTE TMPF_FIXED_PITCH = 0x01;
inline constexpr BYTE TMPF_VECTOR = 0x02;
inline constexpr BYTE TMPF_TRUETYPE = 0x04;

struct TEXTMETRICW {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
  LONG tmOverhang = 0;
  LONG tmDigitizedAspectX = 0;
  LONG tmDigitizedAspectY = 0;
  WCHAR tmFirstChar = 0;
  WCHAR tmLastChar = 0;
  WCHAR tmDefaultChar = 0;
  WCHAR tmBreakChar = 0;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;
  BYTE tmCharSet = 0;
};

// Null for a null record.
HFONT CreateFontIndirectW(const LOGFONTW* font);
// Frees a font made by CreateFontIndirectW (DeleteObject does the same).
BOOL DeleteFont(HFONT font);
// Selects a font into a device context (the screen of GetDC(0), or a
// painter): answers the font selected before (null when none was), or null
// for an unknown font or context.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// The metrics of the face the font matcher picked for the context's font (the
// screen's default font when none is selected): the character set asked for
// when that face covers its script (DEFAULT_CHARSET reads as ANSI_CHARSET),
// else ANSI_CHARSET; the pitch and the family (FF_MODERN for fixed pitch,
// FF_ROMAN for serif faces, FF_SCRIPT, else FF_SWISS) of that face.
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
inline BOOL GetTextMetrics(HDC dc, TEXTMETRICW* metrics) { return GetTextMetricsW(dc, metrics); }

// GetDeviceCaps indexes.
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
// The context's device (a painter's paint device; the primary screen for
// GetDC(0)); 0 for an unknown index or a painter without a device.
int GetDeviceCaps(HDC dc, int index);

// Background modes of text drawing.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
// Sets a painter's background mode; answers the previous mode, 0 for no context.
int SetBkMode(HDC dc, int mode);

// Hides the text caret of a window whose widget edits text (ShowCaret brings
// it back). FALSE for another window.
BOOL HideCaret(HWND hwnd);
BOOL ShowCaret(HWND hwnd);

// The drawing state of a context (a painter's save and restore): SaveDC
// answers the depth saved (0 for no context); RestoreDC(dc, -1) goes back to
// the last saved state.
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int savedDC);
// MWT_IDENTITY resets the context's world transform: coordinates become the
// device's own pixels.
inline constexpr DWORD MWT_IDENTITY = 1;
BOOL ModifyWorldTransform(HDC dc, const void* xform, DWORD mode);
