// The move by the caption that a program starts with WM_SYSCOMMAND: the
// window follows the mouse while the left button is held, each step checked
// through WM_MOVING.
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <memory>

#include "tests/platform/winapi/WinTestUtil.h"

using namespace wintest;

namespace {

class DragMove : public ::testing::Test {
 protected:
  void SetUp() override {
    widget->setWindowFlag(Qt::FramelessWindowHint);
    widget->setGeometry(100, 100, 300, 200);
    hwnd = CreateWindowHandle("TForm", "Form", WS_OVERLAPPED, 0, nullptr, nullptr, widget.get());
    widget->show();
  }
  void TearDown() override { DestroyWindow(hwnd); }

  // A mouse event as the window system delivers it, at a screen point.
  void Mouse(QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPoint local = global - widget->frameGeometry().topLeft();
    QMouseEvent e(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&e);
    QApplication::instance()->notify(widget.get(), &e);
  }
  void Press(QPoint global) { Mouse(QEvent::MouseButtonPress, global, Qt::LeftButton, Qt::LeftButton); }
  void DragTo(QPoint global) { Mouse(QEvent::MouseMove, global, Qt::NoButton, Qt::LeftButton); }
  void Release(QPoint global) { Mouse(QEvent::MouseButtonRelease, global, Qt::LeftButton, Qt::NoButton); }
  QPoint Place() const { return widget->frameGeometry().topLeft(); }

  std::unique_ptr<QWidget> widget = std::make_unique<QWidget>();
  HWND hwnd = nullptr;
};

TEST_F(DragMove, TheWindowFollowsTheMouseWithinWhatWmMovingAllows) {
  // The window starts the move from its button-down, as a caption would,
  // and keeps its left edge at 50 or more.
  std::vector<RECT> proposed;
  Spy spy(hwnd, [&](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN) {
      ReleaseCapture();
      SendMessage(hwnd, WM_SYSCOMMAND, SC_DRAGMOVE, 0);
    }
    if (m.Msg == WM_MOVING) {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      proposed.push_back(*r);
      if (r->left < 50) {
        r->right += 50 - r->left;
        r->left = 50;
      }
    }
    return false;
  });
  Press(QPoint(110, 110));
  DragTo(QPoint(150, 130));
  EXPECT_EQ(Place(), QPoint(140, 120));
  DragTo(QPoint(40, 90));
  ASSERT_EQ(proposed.size(), 2u);
  EXPECT_EQ(proposed[0], (RECT{140, 120, 440, 320}));
  EXPECT_EQ(proposed[1], (RECT{30, 80, 330, 280}));
  EXPECT_EQ(Place(), QPoint(50, 80));
  RECT r;
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r, (RECT{50, 80, 350, 280}));
  // The moves of the drag are the move's own: the window does not see them.
  EXPECT_EQ(spy.Count(WM_MOUSEMOVE), 0);
  EXPECT_GE(spy.Count(WM_MOVE), 1);

  // Letting go ends the move; the release reaches the window.
  Release(QPoint(40, 90));
  EXPECT_EQ(spy.Count(WM_LBUTTONUP), 1);
  Mouse(QEvent::MouseMove, QPoint(200, 200), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(Place(), QPoint(50, 80));
  // Asked for with the left button up, no move starts.
  SendMessage(hwnd, WM_SYSCOMMAND, SC_DRAGMOVE, 0);
  DragTo(QPoint(250, 250));
  EXPECT_EQ(Place(), QPoint(50, 80));
  EXPECT_EQ(spy.Count(WM_MOUSEMOVE), 2);
  EXPECT_EQ(proposed.size(), 2u);
}

}  // namespace
