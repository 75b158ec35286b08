// Regions, window regions on real widgets, and focus rectangles on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRubberBand>
#include <QWidget>

#include <memory>

#include "tests/platform/winapi/WinTestUtil.h"

namespace {

std::vector<QRubberBand*> VisibleBands() {
  std::vector<QRubberBand*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* band = qobject_cast<QRubberBand*>(w); band && band->isVisible()) out.push_back(band);
  return out;
}

// A notched shape: a 100 x 100 square with its top-right quarter cut away.
HRGN NotchedSquare(int fillMode = ALTERNATE) {
  const POINT points[] = {{0, 0}, {50, 0}, {50, 50}, {100, 50}, {100, 100}, {0, 100}};
  return CreatePolygonRgn(points, 6, fillMode);
}

TEST(Regions, PolygonsAndRectanglesCoverTheirInsideOnly) {
  HRGN notched = NotchedSquare();
  ASSERT_NE(notched, nullptr);
  EXPECT_TRUE(PtInRegion(notched, 10, 10));
  EXPECT_TRUE(PtInRegion(notched, 90, 90));
  EXPECT_FALSE(PtInRegion(notched, 75, 25));  // the notch
  EXPECT_FALSE(PtInRegion(notched, 120, 90));
  RECT box;
  EXPECT_EQ(GetRgnBox(notched, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{0, 0, 100, 100}));

  // The right and bottom edges of a rectangle are outside it.
  HRGN rect = CreateRectRgn(10, 20, 30, 40);
  EXPECT_TRUE(PtInRegion(rect, 10, 20));
  EXPECT_TRUE(PtInRegion(rect, 29, 39));
  EXPECT_FALSE(PtInRegion(rect, 30, 39));
  EXPECT_FALSE(PtInRegion(rect, 29, 40));
  EXPECT_EQ(GetRgnBox(rect, &box), SIMPLEREGION);
  EXPECT_EQ(box, (RECT{10, 20, 30, 40}));

  // A self-crossing star: the middle is a hole with ALTERNATE, filled with WINDING.
  const POINT star[] = {{50, 0}, {80, 100}, {0, 35}, {100, 35}, {20, 100}};
  HRGN alternate = CreatePolygonRgn(star, 5, ALTERNATE);
  HRGN winding = CreatePolygonRgn(star, 5, WINDING);
  EXPECT_FALSE(PtInRegion(alternate, 50, 50));
  EXPECT_TRUE(PtInRegion(winding, 50, 50));

  // Too few points or an unknown fill mode make no region.
  EXPECT_EQ(CreatePolygonRgn(star, 2, ALTERNATE), nullptr);
  EXPECT_EQ(CreatePolygonRgn(star, 5, 7), nullptr);
  HRGN empty = CreateRectRgn(5, 5, 5, 50);
  EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);

  for (HRGN r : {notched, rect, alternate, winding, empty}) EXPECT_TRUE(DeleteObject(r));
  // A freed region is no longer a region.
  EXPECT_FALSE(DeleteObject(rect));
  EXPECT_FALSE(PtInRegion(rect, 15, 25));
  EXPECT_EQ(GetRgnBox(rect, &box), RGN_ERROR);
}

TEST(Regions, CombiningInEveryMode) {
  HRGN a = CreateRectRgn(0, 0, 20, 10);
  HRGN b = CreateRectRgn(10, 0, 30, 10);
  HRGN d = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(d, 15, 5));
  EXPECT_FALSE(PtInRegion(d, 5, 5));
  EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(d, 5, 5) && PtInRegion(d, 25, 5));
  EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(d, 15, 5));
  EXPECT_TRUE(PtInRegion(d, 5, 5) && PtInRegion(d, 25, 5));
  EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(d, 5, 5));
  EXPECT_FALSE(PtInRegion(d, 15, 5));
  EXPECT_EQ(CombineRgn(d, b, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(d, 25, 5));
  EXPECT_EQ(CombineRgn(d, a, a, RGN_DIFF), NULLREGION);
  // The destination may be a source.
  EXPECT_EQ(CombineRgn(a, a, b, RGN_OR), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(a, 25, 5));
  EXPECT_EQ(CombineRgn(d, a, b, 99), RGN_ERROR);
  EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_OR), RGN_ERROR);
  for (HRGN r : {a, b, d}) DeleteObject(r);
}

TEST(Regions, AWindowRegionBecomesTheWidgetsMaskAndBelongsToTheWindow) {
  auto widget = std::make_unique<QWidget>();
  widget->setGeometry(40, 50, 100, 100);
  HWND hwnd = CreateWindowHandle("TForm", "Shaped", WS_OVERLAPPED, 0, nullptr, nullptr, widget.get());
  widget->show();

  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(hwnd, probe), RGN_ERROR);  // none yet

  HRGN notched = NotchedSquare();
  EXPECT_NE(SetWindowRgn(hwnd, notched, TRUE), 0);
  // In the window's own coordinates, wherever the window stands.
  EXPECT_TRUE(widget->mask().contains(QPoint(10, 10)));
  EXPECT_FALSE(widget->mask().contains(QPoint(75, 25)));
  EXPECT_EQ(GetWindowRgn(hwnd, probe), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(probe, 90, 90));
  EXPECT_FALSE(PtInRegion(probe, 75, 25));
  // The window owns it now: the program can neither free it nor hand it to
  // another window.
  EXPECT_FALSE(DeleteObject(notched));
  auto other = std::make_unique<QWidget>();
  HWND otherHwnd = CreateWindowHandle("TForm", "Other", WS_OVERLAPPED, 0, nullptr, nullptr, other.get());
  EXPECT_EQ(SetWindowRgn(otherHwnd, notched, FALSE), 0);
  EXPECT_TRUE(other->mask().isEmpty());

  // A new region replaces the old one, which the window frees.
  HRGN rect = CreateRectRgn(0, 0, 60, 60);
  EXPECT_NE(SetWindowRgn(hwnd, rect, TRUE), 0);
  EXPECT_FALSE(PtInRegion(notched, 10, 10));
  EXPECT_TRUE(widget->mask().contains(QPoint(59, 59)));
  EXPECT_FALSE(widget->mask().contains(QPoint(90, 90)));

  // No region: the whole window again.
  EXPECT_NE(SetWindowRgn(hwnd, nullptr, TRUE), 0);
  EXPECT_TRUE(widget->mask().isEmpty());
  EXPECT_EQ(GetWindowRgn(hwnd, probe), RGN_ERROR);
  EXPECT_FALSE(PtInRegion(rect, 10, 10));

  // A region given to a window that is then destroyed goes with it.
  HRGN last = CreateRectRgn(0, 0, 10, 10);
  EXPECT_NE(SetWindowRgn(otherHwnd, last, FALSE), 0);
  DestroyWindow(otherHwnd);
  EXPECT_EQ(SetWindowRgn(otherHwnd, nullptr, FALSE), 0);
  HRGN again = CreateRectRgn(0, 0, 5, 5);
  EXPECT_NE(SetWindowRgn(hwnd, again, FALSE), 0);
  EXPECT_FALSE(PtInRegion(last, 5, 5));

  DeleteObject(probe);
  DestroyWindow(hwnd);
}

TEST(Regions, FocusRectanglesOnTheScreenInvert) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDC(GetDesktopWindow()), screen);
  ASSERT_TRUE(VisibleBands().empty());

  const RECT a{100, 120, 400, 320};
  const RECT b{100, 120, 450, 320};
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  auto bands = VisibleBands();
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0]->geometry(), QRect(100, 120, 300, 200));
  EXPECT_TRUE(bands[0]->testAttribute(Qt::WA_TransparentForMouseEvents));

  // The rubber band's way: erase at the old place, draw at the new one.
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_TRUE(VisibleBands().empty());
  EXPECT_TRUE(DrawFocusRect(screen, &b));
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_EQ(VisibleBands().size(), 2u);
  EXPECT_TRUE(DrawFocusRect(screen, &b));
  ASSERT_EQ(VisibleBands().size(), 1u);
  EXPECT_EQ(VisibleBands()[0]->geometry(), QRect(100, 120, 300, 200));
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_TRUE(VisibleBands().empty());

  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_FALSE(DrawFocusRect(nullptr, &a));
}

}  // namespace
