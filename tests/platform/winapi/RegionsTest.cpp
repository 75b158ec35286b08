// Regions, window regions on real widgets, and focus rectangles on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <memory>

#include "platform/winapi/Windows.h"

namespace {

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

// A 100 x 100 square with its top-right quarter cut away.
HRGN NotchedSquare() {
  const POINT points[] = {{0, 0}, {50, 0}, {50, 50}, {100, 50}, {100, 100}, {0, 100}};
  return CreatePolygonRgn(points, 6, ALTERNATE);
}

TEST(Regions, ShapesAndTheirCombinations) {
  HRGN notched = NotchedSquare();
  EXPECT_TRUE(PtInRegion(notched, 10, 10) && PtInRegion(notched, 90, 90));
  EXPECT_FALSE(PtInRegion(notched, 75, 25));
  RECT box;
  EXPECT_EQ(GetRgnBox(notched, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{0, 0, 100, 100}));
  // A rectangle leaves out its right and bottom edges.
  HRGN a = CreateRectRgn(0, 0, 20, 10);
  EXPECT_TRUE(PtInRegion(a, 19, 9));
  EXPECT_FALSE(PtInRegion(a, 20, 9) || PtInRegion(a, 19, 10));
  // A self-crossing star: the middle is a hole with ALTERNATE only.
  const POINT star[] = {{50, 0}, {80, 100}, {0, 35}, {100, 35}, {20, 100}};
  HRGN alternate = CreatePolygonRgn(star, 5, ALTERNATE);
  HRGN winding = CreatePolygonRgn(star, 5, WINDING);
  EXPECT_FALSE(PtInRegion(alternate, 50, 50));
  EXPECT_TRUE(PtInRegion(winding, 50, 50));
  EXPECT_EQ(CreatePolygonRgn(star, 2, ALTERNATE), nullptr);

  HRGN b = CreateRectRgn(10, 0, 30, 10);
  HRGN d = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(d, 15, 5));
  EXPECT_TRUE(PtInRegion(d, 5, 5) && PtInRegion(d, 25, 5));
  EXPECT_EQ(CombineRgn(d, a, a, RGN_DIFF), NULLREGION);
  EXPECT_EQ(CombineRgn(a, a, b, RGN_AND), SIMPLEREGION);  // into a source
  EXPECT_FALSE(PtInRegion(a, 5, 5));
  EXPECT_EQ(CombineRgn(d, a, b, 99), RGN_ERROR);

  for (HRGN r : {notched, a, alternate, winding, b, d}) EXPECT_TRUE(DeleteObject(r));
  EXPECT_FALSE(DeleteObject(a));  // freed already
  EXPECT_EQ(GetRgnBox(a, &box), RGN_ERROR);
}

TEST(Regions, AWindowRegionBecomesTheWidgetsMaskAndBelongsToTheWindow) {
  auto widget = std::make_unique<QWidget>();
  widget->setGeometry(40, 50, 100, 100);
  HWND hwnd = CreateWindowHandle("TForm", "Shaped", WS_OVERLAPPED, 0, nullptr, nullptr, widget.get());
  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(hwnd, probe), RGN_ERROR);

  HRGN notched = NotchedSquare();
  EXPECT_NE(SetWindowRgn(hwnd, notched, TRUE), 0);
  // In the window's own coordinates, wherever it stands.
  EXPECT_TRUE(widget->mask().contains(QPoint(10, 10)));
  EXPECT_FALSE(widget->mask().contains(QPoint(75, 25)));
  EXPECT_EQ(GetWindowRgn(hwnd, probe), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(probe, 75, 25));
  // The window owns it: the program may neither free it nor give it away.
  EXPECT_FALSE(DeleteObject(notched));
  auto other = std::make_unique<QWidget>();
  HWND otherHwnd = CreateWindowHandle("TForm", "Other", WS_OVERLAPPED, 0, nullptr, nullptr, other.get());
  EXPECT_EQ(SetWindowRgn(otherHwnd, notched, FALSE), 0);

  // A new region frees the old one; none gives the whole window back.
  EXPECT_NE(SetWindowRgn(hwnd, CreateRectRgn(0, 0, 60, 60), TRUE), 0);
  EXPECT_FALSE(PtInRegion(notched, 10, 10));
  EXPECT_FALSE(widget->mask().contains(QPoint(90, 90)));
  EXPECT_NE(SetWindowRgn(hwnd, nullptr, TRUE), 0);
  EXPECT_TRUE(widget->mask().isEmpty());
  EXPECT_EQ(GetWindowRgn(hwnd, probe), RGN_ERROR);

  // The region of a destroyed window goes with it.
  HRGN last = CreateRectRgn(0, 0, 10, 10);
  EXPECT_NE(SetWindowRgn(otherHwnd, last, FALSE), 0);
  DestroyWindow(otherHwnd);
  EXPECT_NE(SetWindowRgn(hwnd, nullptr, FALSE), 0);
  EXPECT_FALSE(PtInRegion(last, 5, 5));
  DeleteObject(probe);
  DestroyWindow(hwnd);
}

TEST(Regions, FocusRectanglesOnTheScreenInvert) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(VisibleBands().empty());
  const RECT a{100, 120, 400, 320};
  const RECT b{100, 120, 450, 320};
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(100, 120, 300, 200)});
  // A rubber band: erased at the old place, drawn at the new one.
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_TRUE(VisibleBands().empty());
  EXPECT_TRUE(DrawFocusRect(screen, &b));
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_EQ(VisibleBands().size(), 2u);
  EXPECT_TRUE(DrawFocusRect(screen, &b));
  EXPECT_EQ(VisibleBands(), std::vector<QRect>{QRect(100, 120, 300, 200)});
  EXPECT_TRUE(DrawFocusRect(screen, &a));
  EXPECT_TRUE(VisibleBands().empty());
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(Regions, AFocusRectangleIsADottedOutlineThatLeavesItsInsideInView) {
  HDC screen = GetDC(nullptr);
  const RECT r{100, 120, 400, 320};
  ASSERT_TRUE(DrawFocusRect(screen, &r));
  ASSERT_EQ(BandWindows().size(), 1u);
  QWidget* band = BandWindows().front();
  // Only the one-pixel border is the band's: every pixel inside shows what
  // lies under it, the window being resized among them.
  const QRegion mask = band->mask();
  for (QPoint edge : {QPoint(0, 0), QPoint(299, 0), QPoint(0, 199), QPoint(299, 199), QPoint(150, 0),
                      QPoint(0, 100), QPoint(299, 100), QPoint(150, 199)})
    EXPECT_TRUE(mask.contains(edge)) << edge.x() << "," << edge.y();
  for (QPoint inside : {QPoint(1, 1), QPoint(150, 100), QPoint(298, 198), QPoint(1, 100), QPoint(150, 198)})
    EXPECT_FALSE(mask.contains(inside)) << inside.x() << "," << inside.y();
  EXPECT_EQ(mask.boundingRect(), QRect(0, 0, 300, 200));
  // Dotted: neighbouring pixels of the border alternate between dark and light.
  const QImage picture = band->grab().toImage();
  for (int x = 0; x < 6; ++x)
    EXPECT_NE(qGray(picture.pixel(x, 0)) < 128, qGray(picture.pixel(x + 1, 0)) < 128) << x;
  EXPECT_NE(qGray(picture.pixel(0, 50)) < 128, qGray(picture.pixel(0, 51)) < 128);
  // Neither the mouse nor the focus goes to it.
  EXPECT_TRUE(band->windowFlags().testFlag(Qt::WindowTransparentForInput));
  EXPECT_TRUE(band->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_NE(QApplication::activeWindow(), band);

  // A rectangle too thin to have an inside is all border.
  const RECT thin{10, 10, 12, 60};
  ASSERT_TRUE(DrawFocusRect(screen, &thin));
  ASSERT_EQ(BandWindows().size(), 2u);
  for (QWidget* w : BandWindows()) {
    if (w != band) {
      EXPECT_TRUE(w->mask().contains(QPoint(1, 25)));
    }
  }
  EXPECT_TRUE(DrawFocusRect(screen, &thin));
  EXPECT_TRUE(DrawFocusRect(screen, &r));
  EXPECT_TRUE(BandWindows().empty());
  ReleaseDC(nullptr, screen);
}

}  // namespace
