// The main window's outline region, its moves inside the work area, the drag
// by its frame handles and the grip resize, on the offscreen screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>

#include "app/Menu.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using Menu::MenuFormInternals;
using Menu::MyMenuForm;
using Menu::TMyMenuForm;

// The windows that show focus rectangles on the screen.
std::vector<QWidget*> BandWindows() {
  std::vector<QWidget*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String("FocusRect") && w->isVisible()) out.push_back(w);
  return out;
}

std::vector<QRect> VisibleBands() {
  std::vector<QRect> out;
  for (QWidget* band : BandWindows()) out.push_back(band->geometry());
  return out;
}

// Whether any band covers a screen point.
bool BandCovers(QPoint global) {
  for (QWidget* band : BandWindows())
    if (band->mask().translated(band->pos()).contains(global)) return true;
  return false;
}

class MenuShape : public apptest::AppTest {
 protected:
  TMyMenuForm* Open(int left, int top, int width, int height) {
    writeIni(QStringLiteral("[Position]\r\nLeft=%1\r\nTop=%2\r\nHeight=%3\r\nWidth=%4\r\n")
                 .arg(left)
                 .arg(top)
                 .arg(height)
                 .arg(width)
                 .toUtf8());
    Application->CreateForm(MyMenuForm);
    return MyMenuForm;
  }

  // Whether the window's region (and its widget's mask) holds a point.
  static bool Shows(TMyMenuForm* f, int x, int y) {
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    const bool inRegion = GetWindowRgn(f->Handle(), probe) != RGN_ERROR && PtInRegion(probe, x, y);
    DeleteObject(probe);
    EXPECT_EQ(inRegion, f->Widget()->mask().contains(QPoint(x, y))) << x << "," << y;
    return inRegion;
  }

  // The grip's events as the form data binds them, at a screen point.
  static void GripDown(TMyMenuForm* f, TPoint at, TMouseButton b = mbLeft) {
    const TPoint p = f->BottomRightB->ScreenToClient(at);
    f->BottomRightB->OnMouseDown(f->BottomRightB, b, {}, p.X, p.Y);
  }
  static void GripMove(TMyMenuForm* f, TPoint at) {
    const TPoint p = f->BottomRightB->ScreenToClient(at);
    f->BottomRightB->OnMouseMove(f->BottomRightB, {}, p.X, p.Y);
  }
  static void GripUp(TMyMenuForm* f, TPoint at, TMouseButton b = mbLeft) {
    const TPoint p = f->BottomRightB->ScreenToClient(at);
    f->BottomRightB->OnMouseUp(f->BottomRightB, b, {}, p.X, p.Y);
  }
  static TPoint GripPoint(TMyMenuForm* f) { return f->BottomRightB->ClientToScreen(TPoint(5, 5)); }

  // The right-hand and lower corners and the anchored controls sit where
  // the window's size puts them.
  static void ExpectOutlineFits(TMyMenuForm* f) {
    const int w = f->Width(), h = f->Height();
    EXPECT_EQ(MenuFormInternals::Outline(f, 2), TPoint(w - 34, 0));
    EXPECT_EQ(MenuFormInternals::Outline(f, 6), TPoint(w - 1, h - 46));
    EXPECT_EQ(MenuFormInternals::Outline(f, 10), TPoint(23, h - 51));
    EXPECT_EQ(MenuFormInternals::Outline(f, 12), TPoint(10, 169));
    EXPECT_TRUE(Shows(f, w - 2, h - 60));
    EXPECT_FALSE(Shows(f, w - 2, 200));  // above the right notch
    EXPECT_EQ(f->BottomPanel->Width() - f->PrintpageBtn->Left(), 302);
    EXPECT_EQ(f->RightPanel->Height() - f->ProgressBar->Top(), 156);
  }
};

TEST_F(MenuShape, TheRegionCutsTheCornersAndNotchesOfTheSkin) {
  TMyMenuForm* f = Open(0, 0, 800, 600);
  const struct {
    int x, y;
    bool in;
  } points[] = {{0, 0, false},    {795, 3, false},   {30, 5, true},    {400, 300, true},
                {5, 300, false},  {15, 300, true},   {5, 100, true},   {795, 200, false},
                {795, 450, true}, {200, 580, false}, {600, 590, true}, {790, 595, false}};
  for (const auto& p : points) EXPECT_EQ(Shows(f, p.x, p.y), p.in) << p.x << "," << p.y;
}

TEST_F(MenuShape, MovesStayInsideTheWorkArea) {
  TMyMenuForm* f = Open(0, 0, 800, 520);
  RECT work;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  // Proposed (left, top, width, height) and where the window may go.
  const LONG W = work.right - work.left, H = work.bottom - work.top, l = work.left, t = work.top;
  const struct {
    RECT proposed, allowed;
  } moves[] = {
      {{l, t + 5, l + 800, t + 525}, {l, t + 5, l + 800, t + 525}},
      {{l - 30, t + 5, l + 770, t + 525}, {l, t + 5, l + 800, t + 525}},
      {{l, t - 20, l + 800, t + 500}, {l, t, l + 800, t + 520}},
      {{l + W - 760, t, l + W + 40, t + 520}, {l + W - 800, t, l + W, t + 520}},
      {{l, t + H - 495, l + 800, t + H + 25}, {l, t + H - 520, l + 800, t + H}},
      // Taller, and wider and taller, than the work area.
      {{l, t + 10, l + 800, t + H + 110}, {l, t - 100, l + 800, t + H}},
      {{l - 50, t - 50, l + W + 50, t + H + 50}, {l - 100, t - 100, l + W, t + H}},
  };
  for (auto m : moves) {
    RECT r = m.proposed;
    SendMessage(f->Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r, m.allowed) << m.proposed.left << "," << m.proposed.top;
  }
}

TEST_F(MenuShape, OnlyTheLeftButtonOnAFrameHandleDragsTheWindow) {
  RECT work;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0));
  TMyMenuForm* f = Open(work.left, work.top, 800, 520);
  QWindow* window = f->Widget()->windowHandle();
  const QPoint handle = f->LeftTop->Widget()->mapTo(f->Widget(), QPoint(10, 50));
  const QPoint grab = window->mapToGlobal(handle);
  const auto mouseTo = [&](int dx, int dy) {
    QTest::mouseMove(window, grab + QPoint(dx, dy) - window->mapToGlobal(QPoint(0, 0)));
  };

  QTest::mousePress(window, Qt::RightButton, {}, handle);
  mouseTo(10, 30);
  QTest::mouseRelease(window, Qt::RightButton, {}, handle + QPoint(10, 30));
  EXPECT_EQ(f->BoundsRect(), Bounds(work.left, work.top, 800, 520));

  QTest::mousePress(window, Qt::LeftButton, {}, handle);
  mouseTo(0, 30);
  EXPECT_TRUE(testsupport::waitFor([&] { return f->Top() == work.top + 30; }));
  mouseTo(0, 300);  // past the bottom of the work area
  EXPECT_TRUE(testsupport::waitFor([&] { return f->Top() == work.bottom - 520; }));
  mouseTo(-50, -50);  // past its top-left corner
  EXPECT_TRUE(testsupport::waitFor([&] { return f->Top() == work.top && f->Left() == work.left; }));
  mouseTo(0, 40);
  EXPECT_TRUE(testsupport::waitFor([&] { return f->Top() == work.top + 40; }));
  QTest::mouseRelease(window, Qt::LeftButton, {}, grab + QPoint(0, 40) - window->mapToGlobal(QPoint(0, 0)));
  mouseTo(0, 90);
  QCoreApplication::processEvents();
  EXPECT_EQ(f->BoundsRect(), Bounds(work.left, work.top + 40, 800, 520));
  EXPECT_FALSE(Shows(f, 0, 0));
}

TEST_F(MenuShape, TheGripResizesThroughARubberBandAndTheOutlineFollowsEachTime) {
  // Well inside the screen on the right, so the band may grow there.
  const int left = GetSystemMetrics(SM_CXSCREEN) - 1000;
  ASSERT_GE(GetSystemMetrics(SM_CYSCREEN), 600);
  TMyMenuForm* f = Open(left, 0, 800, 520);
  QWindow* window = f->Widget()->windowHandle();
  const QPoint grip = f->BottomRightB->Widget()->mapTo(f->Widget(), QPoint(5, 5));

  // Through the window system, with the right button: the band follows the
  // mouse, the window waits for the release.
  QTest::mousePress(window, Qt::RightButton, {}, grip);
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(left, 0, 800, 520)});
  QTest::mouseMove(window, grip + QPoint(60, 40));
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(left, 0, 860, 560)});
  EXPECT_EQ(f->Width(), 800);
  // The band is an outline: the window, the address box and the grip stay
  // in view inside it.
  EXPECT_TRUE(BandCovers(QPoint(left, 0)) && BandCovers(QPoint(left + 859, 559)));
  for (QWidget* inside : {f->Widget(), f->URLEdit->Widget(), f->WB->Widget(), f->BottomRightB->Widget()}) {
    const QPoint center = inside->mapToGlobal(inside->rect().center());
    EXPECT_FALSE(BandCovers(center)) << inside->objectName().toStdString();
  }
  EXPECT_FALSE(BandCovers(QPoint(left + 1, 1)));
  QTest::mouseRelease(window, Qt::RightButton, {}, grip + QPoint(60, 40));
  EXPECT_TRUE(VisibleBands().empty());
  EXPECT_EQ(f->BoundsRect(), Bounds(left, 0, 860, 560));
  ExpectOutlineFits(f);
  EXPECT_EQ(MenuFormInternals::GrowWidth(f), 0);

  // A second resize adds its own growth once; a second button pressed
  // meanwhile starts it afresh and leaves no band behind.
  const TPoint start = GripPoint(f);
  GripDown(f, start);
  GripMove(f, TPoint(start.X + 30, start.Y + 20));
  GripDown(f, TPoint(start.X + 30, start.Y + 20), mbRight);
  GripMove(f, TPoint(start.X + 60, start.Y + 40));
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(left, 0, 890, 580)});
  GripUp(f, TPoint(start.X + 60, start.Y + 40), mbRight);
  GripUp(f, TPoint(start.X + 60, start.Y + 40));
  EXPECT_TRUE(VisibleBands().empty());
  EXPECT_EQ(f->BoundsRect(), Bounds(left, 0, 890, 580));
  ExpectOutlineFits(f);
}

TEST_F(MenuShape, TheBandRefusesMovesThatMakeItTooSmallOrLeaveTheScreen) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  TMyMenuForm* f = Open(screenWidth - 1000, screenHeight - 600, 820, 600);
  const int left = f->Left(), top = f->Top();
  const TPoint start = GripPoint(f);
  GripDown(f, start);
  // 820 - 50 is not more than 800, and the bottom may not leave the screen:
  // both refused whole.
  GripMove(f, TPoint(start.X - 50, start.Y + 10));
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(left, top, 820, 600)});
  // The next move counts from where the cursor went, not from the band.
  GripMove(f, TPoint(start.X - 65, start.Y - 20));
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(left, top, 805, 570)});
  GripMove(f, TPoint(start.X - 65, start.Y - 70));   // down to 520: refused
  GripMove(f, TPoint(start.X + 935, start.Y - 70));  // off the right of the screen: refused
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(left, top, 805, 570)});
  GripUp(f, TPoint(start.X + 935, start.Y - 70));
  EXPECT_EQ(f->BoundsRect(), Bounds(left, top, 805, 570));
  ExpectOutlineFits(f);

  // A release with the band unchanged keeps size and outline.
  GripDown(f, GripPoint(f));
  GripUp(f, GripPoint(f));
  EXPECT_EQ(f->BoundsRect(), Bounds(left, top, 805, 570));
  ExpectOutlineFits(f);
}

}  // namespace
