// The window registry: classes, creation and destruction, the window tree,
// attributes, geometry and state.
#include "platform/winapi/Windows.h"

#include "platform/winapi/WinInternal_p.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

using namespace winapi_internal;

namespace winapi_internal {

Registry& registry() {
  static Registry* r = [] {
    auto* reg = new Registry;
    auto desk = std::make_unique<WindowRec>();
    desk->handle = reinterpret_cast<HWND>(std::uintptr_t(0x10010));
    desk->className = QStringLiteral("#32769");
    desk->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    reg->desktop = desk->handle;
    reg->windows.emplace(desk->handle, std::move(desk));
    return reg;
  }();
  return *r;
}

WindowRec* findLocked(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto& reg = registry();
  auto it = reg.windows.find(hwnd);
  return it == reg.windows.end() ? nullptr : it->second.get();
}

HWND nearestWindow(const QObject* object) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  for (const QObject* o = object; o; o = o->parent()) {
    if (!o->isWidgetType()) continue;
    auto it = reg.byWidget.find(static_cast<const QWidget*>(o));
    if (it != reg.byWidget.end()) return it->second;
  }
  return nullptr;
}

bool isTopLevel(const WindowRec& w) { return w.parent == registry().desktop; }

namespace {

QPoint clientOriginLocked(const WindowRec& w);

QRect screenRectLocked(const WindowRec& w) {
  if (QWidget* widget = w.widget) {
    if (widget->isWindow()) return widget->frameGeometry();
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
  }
  if (w.handle == registry().desktop) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry() : QRect();
  }
  QRect r(QPoint(w.rect.left, w.rect.top), QSize(w.rect.right - w.rect.left, w.rect.bottom - w.rect.top));
  if (!isTopLevel(w)) {
    if (WindowRec* p = findLocked(w.parent)) r.translate(clientOriginLocked(*p));
  }
  return r;
}

QPoint clientOriginLocked(const WindowRec& w) {
  if (QWidget* widget = w.widget) return widget->mapToGlobal(QPoint(0, 0));
  return screenRectLocked(w).topLeft();
}

}  // namespace

RECT windowRectOf(const WindowRec& w) {
  std::lock_guard lock(registry().mutex);
  QRect r = screenRectLocked(w);
  return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

SIZE clientSizeOf(const WindowRec& w) {
  if (QWidget* widget = w.widget) return SIZE{widget->width(), widget->height()};
  return SIZE{w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
}

}  // namespace winapi_internal

namespace {

inline constexpr DWORD ERROR_INVALID_INDEX = 1413;

bool ownEnabled(const QWidget* w) {
  return w->parentWidget() ? w->isEnabledTo(w->parentWidget()) : w->isEnabled();
}

// Style bits that follow an attached widget.
DWORD effectiveStyle(const WindowRec& w) {
  DWORD style = w.style;
  if (QWidget* widget = w.widget) {
    style &= ~(WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
    if (!widget->isHidden()) style |= WS_VISIBLE;
    if (!ownEnabled(widget)) style |= WS_DISABLED;
    if (widget->isWindow() && widget->isMinimized()) style |= WS_MINIMIZE;
    if (widget->isWindow() && widget->isMaximized()) style |= WS_MAXIMIZE;
  }
  return style;
}

String textOfLocked(const WindowRec& w) {
  if (QWidget* widget = w.widget; widget && widget->isWindow()) return widget->windowTitle();
  return w.text;
}

void unlinkLocked(WindowRec& w) {
  if (WindowRec* p = findLocked(w.parent)) {
    auto& c = p->children;
    c.erase(std::remove(c.begin(), c.end(), w.handle), c.end());
  }
}

HWND newHandleLocked() {
  static std::uintptr_t next = 0x10010;
  next += 4;
  return reinterpret_cast<HWND>(next);
}

bool sameName(const String& a, const String& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

const ClassRec* findClassLocked(const String& name) {
  for (const auto& c : registry().classes)
    if (sameName(c.name, name)) return &c;
  return nullptr;
}

// Re-parents a widget and keeps its own visibility; the translation of its
// events stays quiet meanwhile.
void reparentWidget(QWidget* widget, QWidget* newParent, bool keepShown) {
  const bool wasShown = !widget->isHidden();
  QuietScope quiet(widget, {QEvent::ShowToParent, QEvent::HideToParent});
  widget->setParent(newParent);
  if (wasShown && keepShown) widget->show();
}

void detachLocked(WindowRec& w) {
  if (QWidget* widget = w.widget) {
    QRect g = widget->geometry();
    w.rect = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    if (widget->isWindow()) {
      QRect f = widget->frameGeometry();
      w.rect = RECT{f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
      w.text = widget->windowTitle();
    }
    w.style = effectiveStyle(w);
  }
  QObject::disconnect(w.widgetGone);
  for (auto it = registry().byWidget.begin(); it != registry().byWidget.end();) {
    if (it->second == w.handle)
      it = registry().byWidget.erase(it);
    else
      ++it;
  }
  w.widget = nullptr;
}

void destroyTree(HWND hwnd, bool root);

}  // namespace

// ---------------------------------------------------------------- classes

ATOM RegisterClassW(const WNDCLASSW* wndClass) {
  if (!wndClass || !wndClass->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  String name = String::fromUtf16(wndClass->lpszClassName);
  if (findClassLocked(name)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  static ATOM nextAtom = 0xC000;
  ClassRec rec;
  rec.name = name;
  rec.info = *wndClass;
  rec.info.lpszClassName = nullptr;
  rec.info.lpszMenuName = nullptr;
  rec.atom = nextAtom++;
  reg.classes.push_back(rec);
  return rec.atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  String name = className ? String::fromUtf16(className) : String();
  auto it = std::find_if(reg.classes.begin(), reg.classes.end(),
                         [&](const ClassRec& c) { return sameName(c.name, name); });
  if (it == reg.classes.end()) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  reg.classes.erase(it);
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* wndClass) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  const ClassRec* c = className ? findClassLocked(String::fromUtf16(className)) : nullptr;
  if (!c) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  if (wndClass) {
    *wndClass = c->info;
    wndClass->lpszClassName = className;
  }
  return TRUE;
}

// ---------------------------------------------------------------- creation

namespace {

struct CreateArgs {
  String className;
  String text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect;
  HWND parent = nullptr;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  WNDPROC proc = nullptr;
  QWidget* widget = nullptr;
  LPVOID param = nullptr;
};

HWND createWindow(CreateArgs a) {
  auto& reg = registry();
  HWND hwnd;
  {
    std::lock_guard lock(reg.mutex);
    WindowRec* parent = a.parent ? findLocked(a.parent) : nullptr;
    if (a.parent && !parent) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    auto rec = std::make_unique<WindowRec>();
    hwnd = newHandleLocked();
    rec->handle = hwnd;
    rec->className = a.className;
    rec->text = a.text;
    rec->style = a.style & ~WS_VISIBLE;
    rec->exStyle = a.exStyle;
    rec->rect = a.rect;
    rec->instance = a.instance;
    rec->threadId = GetCurrentThreadId();
    if (const ClassRec* c = findClassLocked(a.className)) {
      rec->classStyle = c->info.style;
      if (!a.proc) a.proc = c->info.lpfnWndProc;
    }
    rec->proc = a.proc ? a.proc : &DefWindowProcW;
    rec->chain.push_back(rec->proc);
    if ((a.style & WS_CHILD) && parent && parent->handle != reg.desktop) {
      rec->parent = parent->handle;
      rec->id = a.id;
      parent->children.push_back(hwnd);  // below its siblings
    } else {
      rec->parent = reg.desktop;
      if (parent && parent->handle != reg.desktop) {
        // The owner of a top-level window is a top-level window.
        WindowRec* o = parent;
        while (o && !isTopLevel(*o)) o = findLocked(o->parent);
        rec->owner = o ? o->handle : nullptr;
      }
      auto& top = findLocked(reg.desktop)->children;
      top.insert(top.begin(), hwnd);
    }
    reg.windows.emplace(hwnd, std::move(rec));
  }
  if (a.widget) AttachWidget(hwnd, a.widget);
  ensureThreadQueue();  // the thread receives the window's posted messages

  std::u16string cls = a.className.toStdU16String(), name = a.text.toStdU16String();
  CREATESTRUCTW cs;
  cs.lpCreateParams = a.param;
  cs.hInstance = a.instance;
  cs.hMenu = reinterpret_cast<HMENU>(a.id);
  cs.hwndParent = a.parent;
  cs.x = a.rect.left;
  cs.y = a.rect.top;
  cs.cx = a.rect.right - a.rect.left;
  cs.cy = a.rect.bottom - a.rect.top;
  cs.style = LONG(a.style);
  cs.lpszName = name.c_str();
  cs.lpszClass = cls.c_str();
  cs.dwExStyle = a.exStyle;
  if (!callProcedure(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
      (IsWindow(hwnd) && callProcedure(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  if (a.style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  CreateArgs a;
  a.className = className ? String::fromUtf16(className) : String();
  {
    std::lock_guard lock(registry().mutex);
    if (!findClassLocked(a.className)) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  a.text = windowName ? String::fromUtf16(windowName) : String();
  a.style = style;
  a.exStyle = exStyle;
  a.rect = RECT{x, y, x + width, y + height};
  a.parent = parent;
  a.id = reinterpret_cast<LONG_PTR>(menu);
  a.instance = instance;
  a.param = param;
  return createWindow(std::move(a));
}

HWND CreateWindowHandle(const String& className, const String& text, DWORD style, DWORD exStyle, HWND parent,
                        WNDPROC proc, QWidget* widget, LPVOID param) {
  CreateArgs a;
  a.className = className;
  a.text = text;
  a.style = style;
  a.exStyle = exStyle;
  a.parent = parent;
  a.proc = proc;
  a.widget = widget;
  a.param = param;
  a.instance = MainInstance();
  if (widget) {
    QRect g = widget->isWindow() ? widget->frameGeometry() : widget->geometry();
    a.rect = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    if (widget->isWindow() && !text.isEmpty()) widget->setWindowTitle(text);
  }
  return createWindow(std::move(a));
}

BOOL IsWindow(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  return findLocked(hwnd) != nullptr;
}

namespace {

void destroyTree(HWND hwnd, bool root) {
  std::vector<HWND> owned, children;
  QPointer<QWidget> widget;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w || w->destroying) return;
    w->destroying = true;
    widget = w->widget;
    for (auto& [h, rec] : registry().windows)
      if (rec->owner == hwnd) owned.push_back(h);
  }
  for (HWND o : owned) destroyTree(o, true);
  if (root && widget && !widget->isHidden()) {
    QuietScope quiet(widget, {QEvent::ShowToParent, QEvent::HideToParent});
    widget->hide();
  }
  callProcedure(hwnd, WM_DESTROY, 0, 0);
  {
    std::lock_guard lock(registry().mutex);
    if (WindowRec* w = findLocked(hwnd)) children = w->children;
  }
  for (HWND c : children) destroyTree(c, false);
  callProcedure(hwnd, WM_NCDESTROY, 0, 0);
  std::unique_ptr<WindowRec> gone;
  {
    std::lock_guard lock(registry().mutex);
    auto& reg = registry();
    auto it = reg.windows.find(hwnd);
    if (it == reg.windows.end()) return;
    detachLocked(*it->second);
    unlinkLocked(*it->second);
    for (auto& [h, rec] : reg.windows)
      if (rec->owner == hwnd) rec->owner = nullptr;
    gone = std::move(it->second);
    reg.windows.erase(it);
  }
}

}  // namespace

BOOL DestroyWindow(HWND hwnd) {
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w || hwnd == registry().desktop) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
  }
  destroyTree(hwnd, true);
  return TRUE;
}

// ---------------------------------------------------------------- widgets

BOOL AttachWidget(HWND hwnd, QWidget* widget) {
  if (!widget) {
    DetachWidget(hwnd);
    return TRUE;
  }
  ensureBridge();
  auto& reg = registry();
  QWidget* parentWidget = nullptr;
  {
    std::lock_guard lock(reg.mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w || hwnd == reg.desktop) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    auto old = reg.byWidget.find(widget);
    if (old != reg.byWidget.end() && old->second != hwnd) {
      if (WindowRec* o = findLocked(old->second)) detachLocked(*o);
    }
    if (w->widget && w->widget != widget) detachLocked(*w);
    w->widget = widget;
    reg.byWidget[widget] = hwnd;
    w->shown = !widget->isHidden();
    w->enabled = ownEnabled(widget);
    if (!w->text.isEmpty() && widget->isWindow() && widget->windowTitle().isEmpty())
      widget->setWindowTitle(w->text);
    QObject::disconnect(w->widgetGone);
    w->widgetGone = QObject::connect(widget, &QObject::destroyed, [hwnd, widget] {
      bool destroy = false;
      {
        // Widgets announce their end before QPointer lets go of them.
        std::lock_guard lock(registry().mutex);
        registry().byWidget.erase(widget);
        WindowRec* rec = findLocked(hwnd);
        if (rec && (!rec->widget || rec->widget.data() == widget)) {
          rec->widget = nullptr;
          destroy = !rec->destroying;
        }
      }
      if (destroy) DestroyWindow(hwnd);
    });
    if (!isTopLevel(*w)) {
      WindowRec* p = findLocked(w->parent);
      parentWidget = p ? p->widget.data() : nullptr;
    }
  }
  // A widget already inside the parent's widget (an inner part of it) stays where it is.
  if (parentWidget && !parentWidget->isAncestorOf(widget)) reparentWidget(widget, parentWidget, true);
  return TRUE;
}

void DetachWidget(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  if (WindowRec* w = findLocked(hwnd)) detachLocked(*w);
}

QWidget* WidgetOf(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  return w ? w->widget.data() : nullptr;
}

HWND HandleOfWidget(const QObject* widget, bool walkUp) {
  if (!widget) return nullptr;
  if (walkUp) return nearestWindow(widget);
  if (!widget->isWidgetType()) return nullptr;
  std::lock_guard lock(registry().mutex);
  auto it = registry().byWidget.find(static_cast<const QWidget*>(widget));
  return it == registry().byWidget.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- tree

HWND GetParent(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (hwnd == registry().desktop) return nullptr;
  if (!isTopLevel(*w)) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND child, HWND newParent) {
  auto& reg = registry();
  QPointer<QWidget> widget, parentWidget;
  HWND previous;
  bool toTop;
  {
    std::lock_guard lock(reg.mutex);
    WindowRec* w = findLocked(child);
    if (!newParent) newParent = reg.desktop;
    WindowRec* p = findLocked(newParent);
    if (!w || !p || child == reg.desktop) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    for (WindowRec* a = p; a; a = findLocked(a->parent)) {
      if (a == w) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
    }
    previous = w->parent;
    unlinkLocked(*w);
    w->parent = newParent;
    p->children.insert(p->children.begin(), child);
    toTop = newParent == reg.desktop;
    if (!toTop) w->owner = nullptr;
    widget = w->widget;
    parentWidget = p->widget;
  }
  if (widget) {
    if (toTop) {
      reparentWidget(widget, nullptr, true);
    } else if (parentWidget) {
      reparentWidget(widget, parentWidget, true);
      widget->raise();
    } else {
      // A window without a widget holds it: the widget waits hidden.
      reparentWidget(widget, nullptr, false);
    }
  }
  return previous;
}

HWND GetDesktopWindow() { return registry().desktop; }

HWND GetWindow(HWND hwnd, UINT cmd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_OWNER) return w->owner;
  WindowRec* p = findLocked(w->parent);
  if (!p) return nullptr;
  const auto& s = p->children;
  auto it = std::find(s.begin(), s.end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST: return s.front();
    case GW_HWNDLAST: return s.back();
    case GW_HWNDNEXT: return (it == s.end() || it + 1 == s.end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == s.end() || it == s.begin()) ? nullptr : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w || hwnd == registry().desktop) return nullptr;
  if (flags == GA_PARENT) return w->parent;
  while (!isTopLevel(*w)) w = findLocked(w->parent);
  if (flags == GA_ROOTOWNER)
    while (WindowRec* o = findLocked(w->owner)) w = o;
  return w->handle;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  while (w && !isTopLevel(*w)) {
    if (w->parent == parent) return TRUE;
    w = findLocked(w->parent);
  }
  return FALSE;
}

namespace {

void collectDescendantsLocked(HWND hwnd, std::vector<HWND>& out) {
  WindowRec* w = findLocked(hwnd);
  if (!w) return;
  for (HWND c : w->children) {
    out.push_back(c);
    collectDescendantsLocked(c, out);
  }
}

BOOL enumerate(const std::vector<HWND>& list, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  for (HWND h : list)
    if (IsWindow(h) && !proc(h, lParam)) return FALSE;
  return TRUE;
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> list;
  {
    std::lock_guard lock(registry().mutex);
    list = findLocked(registry().desktop)->children;
  }
  return enumerate(list, proc, lParam);
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (!parent) return EnumWindows(proc, lParam);
  std::vector<HWND> list;
  {
    std::lock_guard lock(registry().mutex);
    collectDescendantsLocked(parent, list);
  }
  return enumerate(list, proc, lParam);
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> list;
  {
    std::lock_guard lock(registry().mutex);
    for (HWND h : findLocked(registry().desktop)->children)
      if (findLocked(h)->threadId == threadId) list.push_back(h);
  }
  return enumerate(list, proc, lParam);
}

namespace {

HWND findChild(HWND parent, HWND childAfter, const String* cls, const String* name) {
  std::lock_guard lock(registry().mutex);
  WindowRec* p = findLocked(parent ? parent : registry().desktop);
  if (!p) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const auto& c = p->children;
  auto it = c.begin();
  if (childAfter) {
    it = std::find(c.begin(), c.end(), childAfter);
    if (it == c.end()) return nullptr;
    ++it;
  }
  for (; it != c.end(); ++it) {
    WindowRec* w = findLocked(*it);
    if (cls && !sameName(w->className, *cls)) continue;
    if (name && !sameName(textOfLocked(*w), *name)) continue;
    return *it;
  }
  return nullptr;
}

}  // namespace

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  return FindWindowExW(nullptr, nullptr, className, windowName);
}

HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName) {
  String cls = className ? String::fromUtf16(className) : String();
  String name = windowName ? String::fromUtf16(windowName) : String();
  return findChild(parent, childAfter, className ? &cls : nullptr, windowName ? &name : nullptr);
}

HWND FindWindow(const String& className, const String& windowName) {
  return FindWindowEx(nullptr, nullptr, className, windowName);
}

HWND FindWindowEx(HWND parent, HWND childAfter, const String& className, const String& windowName) {
  return findChild(parent, childAfter, className.isEmpty() ? nullptr : &className,
                   windowName.isEmpty() ? nullptr : &windowName);
}

// ---------------------------------------------------------------- procedures

namespace {

WNDPROC resolveLocked(const WindowRec& w, WNDPROC proc) {
  for (bool found = true; found;) {
    found = false;
    for (const auto& [gone, below] : w.removed) {
      if (gone == proc) {
        proc = below;
        found = true;
        break;
      }
    }
  }
  return proc;
}

// Subclassers save the procedure they replace and put it back when they are
// done, in whatever order. Putting back a procedure that sits lower in the
// chain takes out the one installed right above it, so the others stay.
LONG_PTR setProcedureLocked(WindowRec& w, WNDPROC proc) {
  auto& c = w.chain;
  const WNDPROC top = c.front();
  auto below = std::find(c.begin() + 1, c.end(), proc);
  if (below == c.end() && std::find(c.begin(), c.end(), proc) == c.end()) {
    WNDPROC resolved = resolveLocked(w, proc);
    if (resolved != proc) below = std::find(c.begin() + 1, c.end(), resolved);
  }
  LONG_PTR previous = reinterpret_cast<LONG_PTR>(top);
  if (below != c.end()) {
    auto gone = below - 1;
    previous = reinterpret_cast<LONG_PTR>(*gone);
    if (gone != c.begin()) w.removed.emplace_back(*gone, *below);
    c.erase(gone);
  } else if (proc != top) {
    auto& r = w.removed;
    r.erase(std::remove_if(r.begin(), r.end(), [proc](const auto& e) { return e.first == proc; }), r.end());
    c.insert(c.begin(), proc);
  }
  w.proc = c.front();
  return previous;
}

}  // namespace

namespace winapi_internal {

WNDPROC resolveProcedure(HWND hwnd, WNDPROC proc) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  return w ? resolveLocked(*w, proc) : proc;
}

bool procedureInUse(WNDPROC proc) {
  std::lock_guard lock(registry().mutex);
  for (auto& [h, w] : registry().windows) {
    if (std::find(w->chain.begin(), w->chain.end(), proc) != w->chain.end()) return true;
    for (const auto& [gone, below] : w->removed)
      if (gone == proc || below == proc) return true;
  }
  return false;
}

}  // namespace winapi_internal

// ---------------------------------------------------------------- attributes

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
  String name;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    name = w->className;
  }
  if (!buffer || maxCount <= 0) return 0;
  int n = std::min<int>(name.size(), maxCount - 1);
  std::copy_n(reinterpret_cast<const char16_t*>(name.utf16()), n, buffer);
  buffer[n] = 0;
  return n;
}

String GetClassName(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  return w ? w->className : String();
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = 0;
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return int(SendMessageW(hwnd, WM_GETTEXT, WPARAM(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

String GetWindowText(HWND hwnd) {
  int len = GetWindowTextLengthW(hwnd);
  std::u16string buf(std::size_t(len) + 1, u'\0');
  int n = GetWindowTextW(hwnd, buf.data(), len + 1);
  return String::fromUtf16(buf.data(), n);
}

int GetWindowTextLengthW(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return int(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  static const char16_t empty[1] = {0};
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : empty)) != 0;
}

BOOL SetWindowText(HWND hwnd, const String& text) {
  std::u16string s = text.toStdU16String();
  return SetWindowTextW(hwnd, s.c_str());
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT: return reinterpret_cast<LONG_PTR>(isTopLevel(*w) ? w->owner : w->parent);
    case GWL_ID: return w->id;
    case GWL_STYLE: return LONG_PTR(LONG(effectiveStyle(*w)));
    case GWL_EXSTYLE: return LONG_PTR(LONG(w->exStyle));
    case GWL_USERDATA: return w->userData;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  DWORD oldStyle = 0;
  LONG_PTR previous = 0;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w || hwnd == registry().desktop) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    SetLastError(ERROR_SUCCESS);
    switch (index) {
      case GWL_WNDPROC: return setProcedureLocked(*w, reinterpret_cast<WNDPROC>(value));
      case GWL_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return previous;
      case GWL_HWNDPARENT:
        if (!isTopLevel(*w)) return reinterpret_cast<LONG_PTR>(w->parent);
        previous = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = reinterpret_cast<HWND>(value);
        return previous;
      case GWL_ID:
        previous = w->id;
        w->id = value;
        return previous;
      case GWL_EXSTYLE:
        previous = LONG(w->exStyle);
        w->exStyle = DWORD(value);
        return previous;
      case GWL_USERDATA:
        previous = w->userData;
        w->userData = value;
        return previous;
      case GWL_STYLE:
        oldStyle = effectiveStyle(*w);
        w->style = DWORD(value);
        if (!w->widget) return LONG(oldStyle);
        break;
      default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
  }
  // Visibility and the enabled state follow the style of a window with a widget.
  DWORD style = DWORD(value);
  if ((style ^ oldStyle) & WS_VISIBLE) ShowWindow(hwnd, (style & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
  if ((style ^ oldStyle) & WS_DISABLED) EnableWindow(hwnd, !(style & WS_DISABLED));
  return LONG(oldStyle);
}

ULONG_PTR GetClassLongPtrW(HWND hwnd, int index) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index == GCL_STYLE) return w->classStyle;
  if (index == GCLP_WNDPROC) {
    const ClassRec* c = findClassLocked(w->className);
    return c ? reinterpret_cast<ULONG_PTR>(c->info.lpfnWndProc) : 0;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

// ---------------------------------------------------------------- geometry

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w || !rect) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = windowRectOf(*w);
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w || !rect) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SIZE s = hwnd == registry().desktop ? SIZE{windowRectOf(*w).Width(), windowRectOf(*w).Height()}
                                      : clientSizeOf(*w);
  *rect = RECT{0, 0, s.cx, s.cy};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w || !point) return FALSE;
  QPoint o = clientOriginLocked(*w);
  point->x += o.x();
  point->y += o.y();
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w || !point) return FALSE;
  QPoint o = clientOriginLocked(*w);
  point->x -= o.x();
  point->y -= o.y();
  return TRUE;
}

namespace {

// The window's rectangle in the coordinates SetWindowPos uses.
QRect placementLocked(const WindowRec& w) {
  if (QWidget* widget = w.widget) return widget->isWindow() ? widget->frameGeometry() : widget->geometry();
  return QRect(QPoint(w.rect.left, w.rect.top),
               QSize(w.rect.right - w.rect.left, w.rect.bottom - w.rect.top));
}

void restackLocked(WindowRec& w, HWND insertAfter) {
  WindowRec* p = findLocked(w.parent);
  if (!p) return;
  auto& s = p->children;
  s.erase(std::remove(s.begin(), s.end(), w.handle), s.end());
  auto pos = s.begin();
  if (insertAfter == HWND_BOTTOM) {
    pos = s.end();
  } else if (insertAfter != HWND_TOP && insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST) {
    auto it = std::find(s.begin(), s.end(), insertAfter);
    pos = it == s.end() ? s.begin() : it + 1;
  }
  pos = s.insert(pos, w.handle);
  QWidget* widget = w.widget;
  if (!widget) return;
  if (pos == s.begin()) {
    widget->raise();
  } else if (pos + 1 == s.end()) {
    widget->lower();
  } else if (WindowRec* below = findLocked(*(pos + 1)); below && below->widget) {
    widget->stackUnder(below->widget);
  }
}

}  // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!IsWindow(hwnd) || hwnd == GetDesktopWindow()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  WINDOWPOS wp{hwnd, insertAfter, x, y, cx, cy, flags};
  if (!(flags & SWP_NOSENDCHANGING))
    callProcedure(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
  QPointer<QWidget> widget;
  QRect before, after;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) return FALSE;
    widget = w->widget;
    before = placementLocked(*w);
    QPoint pos = (wp.flags & SWP_NOMOVE) ? before.topLeft() : QPoint(wp.x, wp.y);
    QSize size = (wp.flags & SWP_NOSIZE) ? before.size() : QSize(std::max(0, wp.cx), std::max(0, wp.cy));
    after = QRect(pos, size);
    if (!widget) w->rect = RECT{pos.x(), pos.y(), pos.x() + size.width(), pos.y() + size.height()};
    if (!(wp.flags & SWP_NOZORDER)) restackLocked(*w, wp.hwndInsertAfter);
  }
  if (widget && after != before) {
    {
      std::lock_guard lock(registry().mutex);
      if (WindowRec* w = findLocked(hwnd)) ++w->positioning;
    }
    if (widget->isWindow()) {
      QSize frameExtra = widget->frameGeometry().size() - widget->geometry().size();
      widget->move(after.topLeft());
      widget->resize(after.size() - frameExtra);
    } else {
      widget->setGeometry(after);
    }
    std::lock_guard lock(registry().mutex);
    if (WindowRec* w = findLocked(hwnd)) --w->positioning;
  }
  if (wp.flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (wp.flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (wp.flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (widget && !(wp.flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) && widget->isWindow() && widget->isVisible())
    widget->activateWindow();
  if (!IsWindow(hwnd)) return TRUE;
  WINDOWPOS done{hwnd, wp.hwndInsertAfter, after.x(), after.y(), after.width(), after.height(), wp.flags};
  if (after.topLeft() == before.topLeft()) done.flags |= SWP_NOCLIENTMOVE;
  if (after.size() == before.size()) done.flags |= SWP_NOCLIENTSIZE;
  callProcedure(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

HWND WindowFromPoint(POINT point) {
  QWidget* widget = QApplication::widgetAt(QPoint(point.x, point.y));
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    if (!w->isEnabled()) continue;
    if (HWND h = HandleOfWidget(w)) return h;
  }
  return nullptr;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  QWidget* widget = WidgetOf(hwnd);
  if (!widget) return IsWindow(hwnd);
  if (rect)
    widget->update(
        QRect(QPoint(rect->left, rect->top), QSize(rect->right - rect->left, rect->bottom - rect->top)));
  else
    widget->update();
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  QWidget* widget = WidgetOf(hwnd);
  if (widget && widget->isVisible()) widget->repaint();
  return IsWindow(hwnd);
}

// ---------------------------------------------------------------- state

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  QPointer<QWidget> widget;
  bool wasShown;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w || hwnd == registry().desktop) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    widget = w->widget;
    wasShown = widget ? !widget->isHidden() : (w->style & WS_VISIBLE) != 0;
  }
  const bool show = cmdShow != SW_HIDE;
  if (widget) {
    QuietScope quiet(widget, {QEvent::ShowToParent, QEvent::HideToParent});
    const bool top = widget->isWindow();
    switch (cmdShow) {
      case SW_HIDE: widget->hide(); break;
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE:
        if (top)
          widget->showMinimized();
        else
          widget->show();
        break;
      case SW_SHOWMAXIMIZED:
        if (top)
          widget->showMaximized();
        else
          widget->show();
        break;
      case SW_SHOWNOACTIVATE:
      case SW_SHOWNA:
        if (top) widget->setAttribute(Qt::WA_ShowWithoutActivating);
        widget->show();
        if (top) widget->setAttribute(Qt::WA_ShowWithoutActivating, false);
        break;
      case SW_SHOWNORMAL:
      case SW_RESTORE:
        if (top)
          widget->showNormal();
        else
          widget->show();
        break;
      default: widget->show(); break;
    }
  } else {
    std::lock_guard lock(registry().mutex);
    if (WindowRec* w = findLocked(hwnd)) w->style = show ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
  }
  if (show != wasShown) {
    {
      std::lock_guard lock(registry().mutex);
      if (WindowRec* w = findLocked(hwnd)) w->shown = show;
    }
    callProcedure(hwnd, WM_SHOWWINDOW, show, 0);
  }
  return wasShown;
}

BOOL IsWindowVisible(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  if (!w) return FALSE;
  if (QWidget* widget = w->widget) return widget->isVisible();
  for (; w; w = isTopLevel(*w) ? nullptr : findLocked(w->parent)) {
    if (!(effectiveStyle(*w) & WS_VISIBLE)) return FALSE;
    if (w->widget) return w->widget->isVisible();
  }
  return TRUE;
}

BOOL IsIconic(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & LONG(WS_MINIMIZE)) != 0; }
BOOL IsZoomed(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & LONG(WS_MAXIMIZE)) != 0; }

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  QPointer<QWidget> widget;
  bool wasEnabled;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    widget = w->widget;
    wasEnabled = !(effectiveStyle(*w) & WS_DISABLED);
    if (!widget) w->style = enable ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
    w->enabled = enable != 0;
  }
  if (widget) {
    QuietScope quiet(widget, {QEvent::EnabledChange});
    widget->setEnabled(enable != 0);
  }
  if (wasEnabled != (enable != 0)) callProcedure(hwnd, WM_ENABLE, enable != 0, 0);
  return !wasEnabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  std::lock_guard lock(registry().mutex);
  WindowRec* w = findLocked(hwnd);
  return w && !(effectiveStyle(*w) & WS_DISABLED);
}

HWND GetFocus() { return nearestWindow(QApplication::focusWidget()); }

HWND SetFocus(HWND hwnd) {
  HWND previous = GetFocus();
  if (!hwnd) {
    if (QWidget* f = QApplication::focusWidget()) f->clearFocus();
    return previous;
  }
  QWidget* widget = WidgetOf(hwnd);
  if (!widget) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (QWidget* top = widget->window(); top->isVisible() && !top->isActiveWindow()) top->activateWindow();
  // Focus inside the window stays where it is (for example in an inner edit field).
  QWidget* current = QApplication::focusWidget();
  if (!current || nearestWindow(current) != hwnd) widget->setFocus(Qt::OtherFocusReason);
  return previous;
}

HWND GetActiveWindow() { return nearestWindow(QApplication::activeWindow()); }

HWND SetActiveWindow(HWND hwnd) {
  HWND previous = GetActiveWindow();
  if (QWidget* widget = WidgetOf(hwnd)) widget->window()->activateWindow();
  return previous;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

BOOL SetForegroundWindow(HWND hwnd) {
  QWidget* widget = WidgetOf(hwnd);
  if (!widget) return FALSE;
  widget->window()->raise();
  widget->window()->activateWindow();
  return TRUE;
}

namespace {
HWND captureWindow = nullptr;
}

HWND GetCapture() {
  if (IsWindow(captureWindow)) return captureWindow;
  return nearestWindow(QWidget::mouseGrabber());
}

HWND SetCapture(HWND hwnd) {
  HWND previous = GetCapture();
  QWidget* widget = WidgetOf(hwnd);
  if (!widget) return previous;
  if (widget->isVisible()) widget->grabMouse();
  captureWindow = hwnd;
  if (previous && previous != hwnd)
    callProcedure(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return previous;
}

BOOL ReleaseCapture() {
  HWND previous = GetCapture();
  if (QWidget* g = QWidget::mouseGrabber()) g->releaseMouse();
  captureWindow = nullptr;
  if (previous) callProcedure(previous, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}
