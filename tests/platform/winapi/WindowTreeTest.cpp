// The window registry: tree, destruction, classes, text, styles, geometry.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <memory>

#include "tests/platform/winapi/WinTestUtil.h"

using namespace wintest;

namespace {

TEST(WindowTree, SiblingOrderFollowsCreationSetParentAndDestruction) {
  HWND p = PlainWindow("Panel");
  HWND q = PlainWindow("Panel");
  HWND a = PlainWindow("A", p), b = PlainWindow("B", p), c = PlainWindow("C", p);
  EXPECT_EQ(Children(p), (std::vector<HWND>{a, b, c}));
  EXPECT_EQ(GetWindow(c, GW_HWNDPREV), b);
  EXPECT_EQ(GetWindow(a, GW_HWNDPREV), nullptr);
  EXPECT_EQ(GetWindow(b, GW_HWNDFIRST), a);
  EXPECT_EQ(GetWindow(b, GW_HWNDLAST), c);
  EXPECT_EQ(GetParent(b), p);

  EXPECT_EQ(SetParent(b, q), p);
  EXPECT_EQ(Children(p), (std::vector<HWND>{a, c}));
  EXPECT_EQ(Children(q), (std::vector<HWND>{b}));
  EXPECT_EQ(GetParent(b), q);

  // Back under p, the window comes first (top of the z-order).
  SetParent(b, p);
  EXPECT_EQ(Children(p), (std::vector<HWND>{b, a, c}));
  SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(Children(p), (std::vector<HWND>{a, c, b}));
  SetWindowPos(b, a, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(Children(p), (std::vector<HWND>{a, b, c}));

  EXPECT_TRUE(DestroyWindow(a));
  EXPECT_FALSE(IsWindow(a));
  EXPECT_EQ(Children(p), (std::vector<HWND>{b, c}));
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

  // A window cannot become a child of its own descendant.
  EXPECT_EQ(SetParent(p, c), nullptr);
  EXPECT_EQ(GetParent(c), p);

  // Top-level: no parent; the desktop lists it.
  EXPECT_EQ(SetParent(c, nullptr), p);
  EXPECT_EQ(GetParent(c), nullptr);
  EXPECT_EQ(GetAncestor(c, GA_PARENT), GetDesktopWindow());
  EXPECT_EQ(GetAncestor(b, GA_ROOT), p);
  EXPECT_TRUE(IsChild(p, b));
  EXPECT_FALSE(IsChild(p, c));
  for (HWND h : {p, q, c}) DestroyWindow(h);
  EXPECT_FALSE(IsWindow(b));
}

TEST(WindowTree, DestroySendsDestroyTopDownAndNcDestroyBottomUp) {
  HWND p = PlainWindow("P");
  HWND a = PlainWindow("A", p);
  HWND a1 = PlainWindow("A1", a);
  HWND b = PlainWindow("B", p);
  HWND owned = CreateWindowHandle("Owned", "", WS_POPUP, 0, p, nullptr);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), p);
  EXPECT_EQ(GetParent(owned), p);  // a popup's parent is its owner

  std::vector<std::pair<HWND, UINT>> log;
  bool aliveDuringDestroy = false;
  std::vector<std::unique_ptr<Spy>> spies;
  for (HWND h : {p, a, a1, b, owned}) {
    spies.push_back(std::make_unique<Spy>(h, [&, h](TMessage& m) {
      if (m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) log.emplace_back(h, m.Msg);
      if (m.Msg == WM_DESTROY && h == p) aliveDuringDestroy = IsWindow(p) && IsWindow(a1);
      return false;
    }));
  }
  EXPECT_TRUE(DestroyWindow(p));
  std::vector<std::pair<HWND, UINT>> expected = {
      {owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {p, WM_DESTROY}, {a, WM_DESTROY},   {a1, WM_DESTROY},
      {a1, WM_NCDESTROY},  {a, WM_NCDESTROY},     {b, WM_DESTROY}, {b, WM_NCDESTROY}, {p, WM_NCDESTROY}};
  EXPECT_EQ(log, expected);
  EXPECT_TRUE(aliveDuringDestroy);
  for (HWND h : {p, a, a1, b, owned}) EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(DestroyWindow(p));
}

TEST(WindowTree, DestroyWindowInsideWmDestroyIsHarmless) {
  HWND p = PlainWindow("P");
  HWND c = PlainWindow("C", p);
  Spy spy(p, [&](TMessage& m) {
    if (m.Msg == WM_DESTROY) {
      EXPECT_TRUE(DestroyWindow(c));
      EXPECT_TRUE(DestroyWindow(p));  // already on its way
    }
    return false;
  });
  EXPECT_TRUE(DestroyWindow(p));
  EXPECT_FALSE(IsWindow(c));
  EXPECT_EQ(spy.Count(WM_NCDESTROY), 1);
}

TEST(WindowTree, WidgetsFollowTheirWindows) {
  auto form = std::make_unique<QWidget>();
  auto* panelWidget = new QWidget(form.get());
  auto* edit = new QLineEdit;
  HWND formH = CreateWindowHandle("TForm", "Caption", WS_OVERLAPPED, 0, nullptr, nullptr, form.get());
  HWND panelH = CreateWindowHandle("TPanel", "", WS_CHILD | WS_VISIBLE, 0, formH, nullptr, panelWidget);
  HWND editH = CreateWindowHandle("TEdit", "", WS_CHILD | WS_VISIBLE, 0, formH, nullptr, edit);
  // A child window's widget is put under its parent's widget.
  EXPECT_EQ(edit->parentWidget(), form.get());
  EXPECT_EQ(WidgetOf(editH), edit);
  EXPECT_EQ(HandleOfWidget(edit), editH);
  EXPECT_EQ(form->windowTitle(), "Caption");

  // An inner part of the parent's widget keeps its place.
  auto* container = new QWidget(form.get());
  auto* inner = new QWidget(container);
  HWND innerH = CreateWindowHandle("Inner", "", WS_CHILD, 0, formH, nullptr, inner);
  EXPECT_EQ(inner->parentWidget(), container);
  EXPECT_EQ(HandleOfWidget(container, true), formH);
  EXPECT_EQ(HandleOfWidget(new QWidget(inner), true), innerH);

  SetParent(editH, panelH);
  EXPECT_EQ(edit->parentWidget(), panelWidget);
  EXPECT_FALSE(edit->isHidden());

  // Parked under a window without a widget, the widget waits hidden and
  // keeps its state.
  HWND parking = PlainWindow("Parking");
  edit->setText("kept");
  SetParent(editH, parking);
  EXPECT_EQ(edit->parentWidget(), nullptr);
  EXPECT_TRUE(edit->isHidden());
  SetParent(editH, panelH);
  EXPECT_EQ(edit->parentWidget(), panelWidget);
  EXPECT_FALSE(edit->isHidden());
  EXPECT_EQ(edit->text(), "kept");

  // Destroying a window hides its widget but leaves it alive.
  QPointer<QLineEdit> alive = edit;
  DestroyWindow(editH);
  EXPECT_TRUE(alive);
  EXPECT_TRUE(edit->isHidden());
  EXPECT_EQ(HandleOfWidget(edit), nullptr);

  // Deleting a widget destroys its window.
  Spy spy(panelH);
  delete panelWidget;
  EXPECT_FALSE(IsWindow(panelH));
  EXPECT_EQ(spy.Count(WM_DESTROY), 1);
  EXPECT_TRUE(IsWindow(formH));
  form.reset();
  EXPECT_FALSE(IsWindow(formH));
  DestroyWindow(parking);
}

TEST(WindowTree, ClassNamesTextAndSearch) {
  auto top = std::make_unique<QWidget>();
  HWND dialog = CreateWindowHandle("#32770", "Microsoft Internet Explorer", WS_POPUP, 0x410101, nullptr,
                                   nullptr, top.get());
  HWND view = PlainWindow("Shell DocObject View", dialog, "view text");
  HWND server = PlainWindow("Internet Explorer_Server", view);

  EXPECT_EQ(GetClassName(server), "Internet Explorer_Server");
  EXPECT_EQ(GetClassName(reinterpret_cast<HWND>(0x12345)), "");
  char16_t buf[6];
  EXPECT_EQ(GetClassNameW(server, buf, 6), 5);
  EXPECT_EQ(String::fromUtf16(buf), "Inter");

  // A top-level widget's title is the window's text.
  EXPECT_EQ(GetWindowText(dialog), "Microsoft Internet Explorer");
  top->setWindowTitle("Changed by Qt");
  EXPECT_EQ(GetWindowTextLengthW(dialog), 13);
  EXPECT_EQ(GetWindowText(dialog), "Changed by Qt");
  EXPECT_TRUE(SetWindowText(dialog, "Script Error"));
  EXPECT_EQ(top->windowTitle(), "Script Error");
  EXPECT_EQ(GetWindowText(view), "view text");
  char16_t small[5];
  EXPECT_EQ(GetWindowTextW(view, small, 5), 4);
  EXPECT_EQ(String::fromUtf16(small), "view");
  EXPECT_EQ(GetWindowLong(dialog, GWL_EXSTYLE), 0x410101);

  // Text goes through the window procedure.
  Spy spy(view, [](TMessage& m) {
    if (m.Msg != WM_GETTEXT && m.Msg != WM_GETTEXTLENGTH) return false;
    static const char16_t answer[] = u"answered";
    if (m.Msg == WM_GETTEXTLENGTH) {
      m.Result = 8;
    } else {
      auto* out = reinterpret_cast<char16_t*>(m.LParam);
      std::copy(answer, answer + 9, out);
      m.Result = 8;
    }
    return true;
  });
  EXPECT_EQ(GetWindowText(view), "answered");

  EXPECT_EQ(FindWindow("#32770"), dialog);
  EXPECT_EQ(FindWindow("#32770", "script error"), dialog);  // without case
  EXPECT_EQ(FindWindow("#32770", "Other"), nullptr);
  EXPECT_EQ(FindWindowW(nullptr, u"SCRIPT ERROR"), dialog);
  EXPECT_EQ(FindWindowEx(dialog, nullptr, "shell docobject view"), view);
  EXPECT_EQ(FindWindowEx(view, nullptr, "Internet Explorer_Server"), server);
  EXPECT_EQ(FindWindowEx(dialog, nullptr, "Internet Explorer_Server"), nullptr);  // children only
  top.reset();
  EXPECT_FALSE(IsWindow(server));
}

TEST(WindowTree, EnumerationIsDepthFirstAndStops) {
  HWND p = PlainWindow("P");
  HWND a = PlainWindow("A", p), a1 = PlainWindow("A1", a), b = PlainWindow("B", p);
  struct Ctx {
    std::vector<HWND> seen;
    HWND stopAt = nullptr;
  } ctx;
  auto collect = [](HWND h, LPARAM l) -> BOOL {
    auto* c = reinterpret_cast<Ctx*>(l);
    c->seen.push_back(h);
    return h != c->stopAt;
  };
  EXPECT_TRUE(EnumChildWindows(p, collect, reinterpret_cast<LPARAM>(&ctx)));
  EXPECT_EQ(ctx.seen, (std::vector<HWND>{a, a1, b}));
  ctx.seen.clear();
  ctx.stopAt = a1;
  EXPECT_FALSE(EnumChildWindows(p, collect, reinterpret_cast<LPARAM>(&ctx)));
  EXPECT_EQ(ctx.seen, (std::vector<HWND>{a, a1}));

  ctx.seen.clear();
  ctx.stopAt = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(&ctx));
  EXPECT_NE(std::find(ctx.seen.begin(), ctx.seen.end(), p), ctx.seen.end());
  EXPECT_EQ(std::find(ctx.seen.begin(), ctx.seen.end(), a), ctx.seen.end());  // top-level only
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(b, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, GetCurrentProcessId());
  DestroyWindow(p);
}

// A window class that keeps its creation parameter in its user data, the way
// a callback window of a popup menu does.
std::vector<UINT> createLog;
LRESULT CallbackProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE || msg == WM_CREATE) createLog.push_back(msg);
  if (msg == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
    if (String::fromUtf16(cs->lpszName) == "fail") return -1;
    SetWindowLongPtrW(h, GWL_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  if (msg == WM_USER + 7) return GetWindowLongPtrW(h, GWL_USERDATA) + LONG_PTR(w);
  return DefWindowProcW(h, msg, w, l);
}

TEST(WindowTree, RegisteredClassesCreateWindowsWithParameters) {
  WNDCLASSW wc;
  wc.style = 0x80;
  wc.lpfnWndProc = &CallbackProc;
  wc.lpszClassName = u"ItemPropMenuCallbackHelper";
  EXPECT_NE(RegisterClassW(&wc), 0);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  int object = 0;
  createLog.clear();
  HWND h = CreateWindowExW(0, u"itempropmenucallbackhelper", u"ItemPropCallbackProcessor", 0x80880000, 0, 0,
                           0, 0, nullptr, nullptr, MainInstance(), &object);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(createLog, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(GetWindowLongPtrW(h, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&object));
  EXPECT_EQ(SendMessageW(h, WM_USER + 7, 1, 0), reinterpret_cast<LONG_PTR>(&object) + 1);
  EXPECT_EQ(GetClassLongPtrW(h, GCL_STYLE), 0x80u);
  EXPECT_EQ(GetWindowText(h), "ItemPropCallbackProcessor");
  EXPECT_EQ(DWORD(GetWindowLong(h, GWL_STYLE)), 0x80880000u);
  DestroyWindow(h);

  // WM_CREATE answering -1 fails the creation.
  EXPECT_EQ(CreateWindowExW(0, u"ItemPropMenuCallbackHelper", u"fail", 0, 0, 0, 0, 0, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_EQ(FindWindow("ItemPropMenuCallbackHelper", "fail"), nullptr);

  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_TRUE(UnregisterClassW(u"ItemPropMenuCallbackHelper", nullptr));
}

TEST(WindowTree, StylesFollowTheWidget) {
  auto form = std::make_unique<QWidget>();
  auto* child = new QWidget(form.get());
  HWND formH = CreateWindowHandle("TForm", "", WS_OVERLAPPED, 0, nullptr, nullptr, form.get());
  HWND childH = CreateWindowHandle("TPanel", "", WS_CHILD | WS_VISIBLE, 0, formH, nullptr, child);
  Spy spy(childH);
  EXPECT_TRUE(GetWindowLong(childH, GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(childH));  // the form is hidden

  SetWindowLong(childH, GWL_STYLE, GetWindowLong(childH, GWL_STYLE) & ~LONG(WS_VISIBLE));
  EXPECT_TRUE(child->isHidden());
  EXPECT_FALSE(ShowWindow(childH, SW_SHOW));
  EXPECT_TRUE(ShowWindow(childH, SW_SHOW));
  EXPECT_FALSE(child->isHidden());
  auto shows = spy.Of({WM_SHOWWINDOW});
  ASSERT_EQ(shows.size(), 2u);
  EXPECT_EQ(shows[0].WParam, 0u);
  EXPECT_EQ(shows[1].WParam, 1u);

  EXPECT_FALSE(EnableWindow(childH, FALSE));
  EXPECT_FALSE(child->isEnabled());
  EXPECT_TRUE(GetWindowLong(childH, GWL_STYLE) & WS_DISABLED);
  EXPECT_TRUE(EnableWindow(childH, TRUE));
  EXPECT_TRUE(IsWindowEnabled(childH));
  auto enables = spy.Of({WM_ENABLE});
  ASSERT_EQ(enables.size(), 2u);
  EXPECT_EQ(enables[0].WParam, 0u);

  // Qt-side changes are reported too, once.
  spy.Clear();
  child->hide();
  child->hide();
  EXPECT_EQ(spy.Count(WM_SHOWWINDOW), 1);

  EXPECT_EQ(SetWindowLongPtrW(childH, GWL_USERDATA, 42), 0);
  EXPECT_EQ(SetWindowLongPtrW(childH, GWL_USERDATA, 43), 42);
  EXPECT_EQ(SetWindowLongPtrW(childH, GWL_ID, 7), 0);
  EXPECT_EQ(GetWindowLongPtrW(childH, GWL_ID), 7);
  EXPECT_EQ(GetWindowLongPtrW(childH, 12345), 0);
}

TEST(WindowTree, SetWindowPosAsksTheWindowAndReportsTheChange) {
  auto form = std::make_unique<QWidget>();
  form->setGeometry(100, 100, 400, 300);
  auto* child = new QWidget(form.get());
  child->setGeometry(10, 20, 50, 40);
  HWND formH = CreateWindowHandle("TForm", "", WS_OVERLAPPED, 0, nullptr, nullptr, form.get());
  HWND childH = CreateWindowHandle("TPanel", "", WS_CHILD | WS_VISIBLE, 0, formH, nullptr, child);
  form->show();

  bool refuseMove = true;
  Spy spy(childH, [&](TMessage& m) {
    if (m.Msg == WM_WINDOWPOSCHANGING && refuseMove)
      reinterpret_cast<WINDOWPOS*>(m.LParam)->flags |= SWP_NOMOVE;
    return false;
  });
  EXPECT_TRUE(SetWindowPos(childH, nullptr, 30, 30, 120, 80, SWP_NOZORDER));
  EXPECT_EQ(child->geometry(), QRect(10, 20, 120, 80));
  auto sizes = spy.Of({WM_SIZE});
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].LParamLo(), 120);
  EXPECT_EQ(sizes[0].LParamHi(), 80);
  EXPECT_EQ(spy.Count(WM_MOVE), 0);
  EXPECT_EQ(spy.Count(WM_WINDOWPOSCHANGED), 1);

  refuseMove = false;
  spy.Clear();
  MoveWindow(childH, 5, 6, 120, 80, TRUE);
  EXPECT_EQ(child->pos(), QPoint(5, 6));
  EXPECT_EQ(spy.Count(WM_SIZE), 0);
  auto moves = spy.Of({WM_MOVE});
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(moves[0].LParam), 5);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].LParam), 6);

  RECT client, window;
  GetClientRect(childH, &client);
  GetWindowRect(childH, &window);
  EXPECT_EQ(client, (RECT{0, 0, 120, 80}));
  POINT origin{0, 0};
  ClientToScreen(childH, &origin);
  EXPECT_EQ(window.left, origin.x);
  EXPECT_EQ(window.Width(), 120);
  ScreenToClient(childH, &origin);
  EXPECT_EQ(origin, (POINT{0, 0}));

  // Qt-side geometry changes come as WM_WINDOWPOSCHANGED, WM_SIZE.
  spy.Clear();
  child->resize(60, 61);
  auto qtSizes = spy.Of({WM_SIZE});
  ASSERT_EQ(qtSizes.size(), 1u);
  EXPECT_EQ(qtSizes[0].LParamHi(), 61);

  // A window without a widget keeps its own rectangle, relative to its parent.
  HWND plain = PlainWindow("Plain", childH);
  MoveWindow(plain, 3, 4, 10, 11, FALSE);
  GetWindowRect(plain, &window);
  POINT p{3, 4};
  ClientToScreen(childH, &p);
  EXPECT_EQ(window, (RECT{p.x, p.y, p.x + 10, p.y + 11}));
}

}  // namespace
