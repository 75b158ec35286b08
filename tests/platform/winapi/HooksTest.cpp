// Thread mouse hooks.
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QTest>
#include <QWidget>

#include <memory>

#include "tests/platform/winapi/WinTestUtil.h"

using namespace wintest;

namespace {

struct HookCall {
  UINT msg;
  POINT pt;
  HWND hwnd;
  DWORD mouseData;
};

std::vector<HookCall> calls;
std::vector<std::string> order;
HHOOK firstHook = nullptr;
HHOOK secondHook = nullptr;

LRESULT RecordingHook(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) {
    auto* info = reinterpret_cast<MOUSEHOOKSTRUCTEX*>(l);
    calls.push_back({UINT(w), info->pt, info->hwnd, w == WM_MOUSEWHEEL ? info->mouseData : 0});
    order.push_back("first");
  }
  return CallNextHookEx(firstHook, code, w, l);
}

LRESULT SecondHook(int code, WPARAM w, LPARAM l) {
  order.push_back("second");
  return CallNextHookEx(nullptr, code, w, l);  // the handle is not needed
}

// The wheel fix: the first turn over another window moves the focus there
// and is not delivered.
LRESULT WheelFocusHook(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION && w == WM_MOUSEWHEEL) {
    auto* info = reinterpret_cast<MOUSEHOOKSTRUCT*>(l);
    HWND under = WindowFromPoint(info->pt);
    if (under && GetFocus() && under != GetFocus()) {
      SetFocus(under);
      return 2;
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

void Wheel(QWidget* target, QPoint local, int delta) {
  QPoint global = target->mapToGlobal(local);
  QWheelEvent e(QPointF(local), QPointF(global), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&e);
  QApplication::instance()->notify(target, &e);
}

struct TwoPanes {
  std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
  QWidget* left = new QWidget(form.get());
  QWidget* right = new QWidget(form.get());
  HWND formHwnd, leftHwnd, rightHwnd;
  TwoPanes() {
    form->setGeometry(100, 100, 400, 200);
    left->setGeometry(0, 0, 200, 200);
    right->setGeometry(200, 0, 200, 200);
    left->setFocusPolicy(Qt::StrongFocus);
    right->setFocusPolicy(Qt::StrongFocus);
    formHwnd = CreateWindowHandle("TForm", "", WS_OVERLAPPED, 0, nullptr, nullptr, form.get());
    leftHwnd = CreateWindowHandle("Shell Embedding", "", WS_CHILD | WS_VISIBLE, 0, formHwnd, nullptr, left);
    rightHwnd = CreateWindowHandle("Shell Embedding", "", WS_CHILD | WS_VISIBLE, 0, formHwnd, nullptr, right);
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
};

TEST(Hooks, TheMouseHookSeesEveryMouseMessageFirst) {
  TwoPanes panes;
  calls.clear();
  order.clear();
  firstHook = SetWindowsHookExW(WH_MOUSE, &RecordingHook, nullptr, GetCurrentThreadId());
  ASSERT_NE(firstHook, nullptr);
  Spy spy(panes.rightHwnd);
  Wheel(panes.right, QPoint(30, 40), 240);
  ASSERT_EQ(calls.size(), 1u);
  QPoint global = panes.right->mapToGlobal(QPoint(30, 40));
  EXPECT_EQ(calls[0].msg, WM_MOUSEWHEEL);
  EXPECT_EQ(calls[0].pt, (POINT{global.x(), global.y()}));
  EXPECT_EQ(calls[0].hwnd, panes.rightHwnd);
  EXPECT_EQ(SHORT(HIWORD(calls[0].mouseData)), 240);
  EXPECT_EQ(spy.Count(WM_MOUSEWHEEL), 1);  // passed on: delivered

  QTest::mouseClick(panes.left, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].msg, WM_LBUTTONDOWN);
  EXPECT_EQ(calls[2].msg, WM_LBUTTONUP);
  EXPECT_EQ(calls[1].hwnd, panes.leftHwnd);

  // A widget that belongs to no window is reported with no window.
  QWidget stray;
  stray.show();
  QTest::mouseClick(&stray, Qt::LeftButton);
  EXPECT_EQ(calls.back().hwnd, nullptr);

  // Newest first; each passes on to the next.
  secondHook = SetWindowsHookExW(WH_MOUSE, &SecondHook, nullptr, 0);
  order.clear();
  Wheel(panes.right, QPoint(30, 40), 120);
  EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
  EXPECT_TRUE(UnhookWindowsHookEx(secondHook));
  EXPECT_TRUE(UnhookWindowsHookEx(firstHook));
  EXPECT_FALSE(UnhookWindowsHookEx(firstHook));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_HANDLE);
  calls.clear();
  Wheel(panes.right, QPoint(30, 40), 120);
  EXPECT_TRUE(calls.empty());

  EXPECT_EQ(SetWindowsHookExW(WH_KEYBOARD, &RecordingHook, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_FILTER);
}

TEST(Hooks, AHookCanMoveTheFocusAndDropTheWheel) {
  TwoPanes panes;
  panes.left->setFocus();
  ASSERT_EQ(GetFocus(), panes.leftHwnd);
  QPoint overRight = panes.right->mapToGlobal(QPoint(50, 50));
  EXPECT_EQ(WindowFromPoint(POINT{overRight.x(), overRight.y()}), panes.rightHwnd);

  HHOOK hook = SetWindowsHookExW(WH_MOUSE, &WheelFocusHook, nullptr, GetCurrentThreadId());
  Spy spy(panes.rightHwnd);
  Wheel(panes.right, QPoint(50, 50), -120);
  EXPECT_EQ(GetFocus(), panes.rightHwnd);
  EXPECT_EQ(spy.Count(WM_MOUSEWHEEL), 0);
  Wheel(panes.right, QPoint(50, 50), -120);
  EXPECT_EQ(spy.Count(WM_MOUSEWHEEL), 1);
  UnhookWindowsHookEx(hook);
}

TEST(Hooks, WindowFromPointSkipsDisabledWindows) {
  TwoPanes panes;
  QPoint overLeft = panes.left->mapToGlobal(QPoint(10, 10));
  POINT pt{overLeft.x(), overLeft.y()};
  EXPECT_EQ(WindowFromPoint(pt), panes.leftHwnd);
  EnableWindow(panes.leftHwnd, FALSE);
  EXPECT_EQ(WindowFromPoint(pt), panes.formHwnd);
  EXPECT_EQ(WindowFromPoint(POINT{-5000, -5000}), nullptr);
}

}  // namespace
