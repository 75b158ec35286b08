// Colours, fonts, canvases and the picture formats, checked against real
// files in the profile folder read back by Qt's own image readers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QPalette>

#include <set>

#include "platform/classlib/Graphics.h"
#include "platform/classlib/ImgList.h"
#include "platform/classlib/Jpeg.h"
#include "platform/classlib/PngImage.h"
#include "platform/classlib/Streaming.h"
#include "tests/support/TestSupport.h"

namespace {

QString TestFile(const QString& name) {
  const QString dir = testsupport::profileDir() + "/graphics";
  QDir().mkpath(dir);
  return dir + "/" + name;
}

quint32 LE32(const QByteArray& b, int offset) {
  return quint8(b[offset]) | quint8(b[offset + 1]) << 8 | quint8(b[offset + 2]) << 16 |
         quint32(quint8(b[offset + 3])) << 24;
}
quint16 LE16(const QByteArray& b, int offset) { return quint8(b[offset]) | quint8(b[offset + 1]) << 8; }

// Four quadrants: red, green / blue, yellow.
QImage Quadrants(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.fillRect(0, 0, w / 2, h / 2, Qt::red);
  p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
  p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
  p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::yellow);
  return image;
}

// A smooth picture, as photographs are: what JPEG compresses well.
QImage Gradient(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
  return image;
}

double MeanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * a.width() * a.height());
}

QByteArray JpegBytes(const QImage& image, int quality = 90) {
  TBitmap bitmap;
  bitmap.FromQImage(image);
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(quality);
  jpeg.Assign(&bitmap);
  TMemoryStream stream;
  jpeg.SaveToStream(stream);
  return stream.Bytes();
}

// The first value of the first quantisation table: 3 at quality 90 and 27 at
// quality 30 with the JPEG standard's luminance table.
int FirstQuantValue(const QByteArray& jpeg) {
  const int dqt = jpeg.indexOf("\xFF\xDB");
  return dqt < 0 ? -1 : quint8(jpeg[dqt + 5]);
}

// An ICO file of 32-bit images written field by field: each entry is a
// BITMAPINFOHEADER of twice the height, the colour rows bottom-up, then the
// AND mask.
QByteArray IcoFile(const std::vector<QImage>& images) {
  QByteArray out;
  auto le16 = [&](QByteArray& b, int v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
  auto le32 = [&](QByteArray& b, quint32 v) {
    for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xFF));
  };
  std::vector<QByteArray> bodies;
  for (const QImage& source : images) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height(), maskRow = ((w + 31) / 32) * 4;
    QByteArray body;
    le32(body, 40), le32(body, w), le32(body, 2 * h), le16(body, 1), le16(body, 32), le32(body, 0);
    le32(body, w * h * 4 + maskRow * h), le32(body, 0), le32(body, 0), le32(body, 0), le32(body, 0);
    for (int y = h - 1; y >= 0; --y)
      for (int x = 0; x < w; ++x) {
        const QRgb p = image.pixel(x, y);
        body.append(char(qBlue(p))).append(char(qGreen(p))).append(char(qRed(p))).append(char(qAlpha(p)));
      }
    body.append(QByteArray(maskRow * h, '\0'));
    bodies.push_back(body);
  }
  le16(out, 0), le16(out, 1), le16(out, int(images.size()));
  quint32 offset = 6 + 16 * quint32(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.append(char(images[i].width())).append(char(images[i].height())).append('\0').append('\0');
    le16(out, 1), le16(out, 32), le32(out, quint32(bodies[i].size())), le32(out, offset);
    offset += quint32(bodies[i].size());
  }
  for (const QByteArray& body : bodies) out.append(body);
  return out;
}

// A BMP file of the given rows (already padded, in file order); a negative
// height makes it top-down.
QByteArray RawBmp(int w, int h, int bits, const QByteArray& rows) {
  QByteArray out("BM");
  auto le32 = [&](quint32 v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
  };
  le32(54 + quint32(rows.size())), le32(0), le32(54), le32(40), le32(quint32(w)), le32(quint32(h));
  out.append(char(1)).append(char(0)).append(char(bits)).append(char(0));
  le32(0), le32(quint32(rows.size())), le32(0), le32(0), le32(0), le32(0);
  return out + rows;
}

QImage Filled(int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(color);
  return image;
}

// A white bitmap to draw on.
struct Sheet {
  TBitmap bitmap;
  explicit Sheet(int w = 20, int h = 20) { bitmap.SetSize(w, h); }
  TCanvas* c() { return bitmap.Canvas(); }
  TColor at(int x, int y) { return bitmap.Canvas()->Pixels(x, y); }
};

}  // namespace

// ---------------------------------------------------------------- colours, cursors

TEST(Colors, ValuesAreRedInTheLowByte) {
  EXPECT_EQ(RGBToColor(10, 20, 30), 0x1E140A);
  EXPECT_EQ(TColorToQColor(RGBToColor(10, 20, 30)), QColor(10, 20, 30));
  EXPECT_EQ(QColorToTColor(QColor(0x11, 0x22, 0x33)), 0x332211);
  EXPECT_EQ(TColorToQColor(clTeal), QColor(0, 128, 128));
  EXPECT_EQ(TColorToQColor(clSkyBlue), QColor(0xA6, 0xCA, 0xF0));
  EXPECT_EQ(ColorToRGB(clOlive), clOlive);
  // clNone is no colour at all, in both directions.
  EXPECT_EQ(TColorToQColor(clNone).alpha(), 0);
  EXPECT_EQ(QColorToTColor(QColor(Qt::transparent)), clNone);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_FALSE(TColorToQColor(clDefault).isValid());
}

TEST(Colors, SystemColoursFollowTheApplicationPalette) {
  const QPalette saved = QApplication::palette();
  QPalette palette = saved;
  palette.setColor(QPalette::Button, QColor(1, 2, 3));
  palette.setColor(QPalette::Base, QColor(4, 5, 6));
  palette.setColor(QPalette::ToolTipBase, QColor(7, 8, 9));
  palette.setColor(QPalette::Highlight, QColor(10, 11, 12));
  QApplication::setPalette(palette);
  EXPECT_EQ(ColorToRGB(clBtnFace), RGBToColor(1, 2, 3));
  EXPECT_EQ(ColorToRGB(clWindow), RGBToColor(4, 5, 6));
  EXPECT_EQ(ColorToRGB(clInfoBk), RGBToColor(7, 8, 9));
  EXPECT_EQ(TColorToQColor(clHighlight), QColor(10, 11, 12));
  // Only the low byte picks the colour: the older 0x80000000 form resolves too.
  EXPECT_EQ(ColorToRGB(TColor(0x8000000F)), RGBToColor(1, 2, 3));
  QApplication::setPalette(saved);
  EXPECT_EQ(cl3DDkShadow, -16777195);
  EXPECT_EQ(ColorToRGB(clBtnFace), QColorToTColor(saved.color(QPalette::Button)));
}

TEST(Colors, NamesAndNumbers) {
  for (const TGraphicsIdent& e : ColorIdents()) {
    EXPECT_EQ(ColorToString(e.Value), QString::fromLatin1(e.Name));
    EXPECT_EQ(StringToColor(QString::fromLatin1(e.Name).toUpper()), e.Value) << e.Name;
  }
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(ColorToString(TColor(0xFF0000FF)), "$FF0000FF");
  EXPECT_EQ(StringToColor("$00FF0000"), clBlue);
  EXPECT_EQ(StringToColor("$FF000015"), cl3DDkShadow);
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
  TColor c = 7;
  EXPECT_FALSE(IdentToColor("Red", c));
  EXPECT_EQ(c, 7);
}

TEST(Colors, StreamingReadsAndWritesTheNames) {
  RegisterGraphicsIdents();
  RegisterGraphicsIdents();
  int value = 0;
  EXPECT_TRUE(IdentToInt("TColor", "clCream", value));
  EXPECT_EQ(value, clCream);
  String ident;
  EXPECT_TRUE(IntToIdent("TColor", clBtnFace, ident));
  EXPECT_EQ(ident, "clBtnFace");
  EXPECT_TRUE(IntToIdent("TCursor", crSizeAll, ident));
  EXPECT_EQ(ident, "crSizeAll");
  EXPECT_TRUE(IdentToInt("TCursor", "crSize", value));
  EXPECT_EQ(value, crSizeAll);
  // The drawing tools name their colour properties' type.
  for (const QMetaObject* meta :
       {&TFont::staticMetaObject, &TBrush::staticMetaObject, &TPen::staticMetaObject}) {
    const int info = meta->indexOfClassInfo("IdentType:Color");
    ASSERT_GE(info, 0) << meta->className();
    EXPECT_STREQ(meta->classInfo(info).value(), "TColor");
  }
}

namespace graphicstest {
// A component with the graphics properties controls publish.
class TGraphicsProbe : public TComponent {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TColor")
  Q_CLASSINFO("IdentType:Cursor", "TCursor")
  Q_PROPERTY(TColor Color READ Color WRITE SetColor)
  Q_PROPERTY(TCursor Cursor READ Cursor WRITE SetCursor)
  Q_PROPERTY(TFont* Font READ Font)

 public:
  explicit TGraphicsProbe(TComponent* owner) : TComponent(owner) {}
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  TFont* Font() const { return font_; }

 private:
  TColor color_ = clBtnFace;
  TCursor cursor_ = crDefault;
  TFont* font_ = new TFont(this);
};
}  // namespace graphicstest

TEST(Colors, FormResourcesReadAndWriteGraphicsProperties) {
  using graphicstest::TGraphicsProbe;
  RegisterGraphicsIdents();
  RegisterClass<TGraphicsProbe>();
  TGraphicsProbe probe(nullptr);
  ReadComponentRes(
      "object Probe: TGraphicsProbe\n"
      "  Color = clCream\n"
      "  Cursor = crHandPoint\n"
      "  Font.Color = clMaroon\n"
      "  Font.Height = -13\n"
      "  Font.Name = 'Courier New'\n"
      "  Font.Style = [fsBold, fsItalic]\n"
      "end\n",
      &probe);
  EXPECT_EQ(probe.Color(), clCream);
  EXPECT_EQ(probe.Cursor(), crHandPoint);
  EXPECT_EQ(probe.Font()->GetColor(), clMaroon);
  EXPECT_EQ(probe.Font()->GetSize(), 10);
  EXPECT_EQ(probe.Font()->GetStyle(), TFontStyles({fsBold, fsItalic}));
  const String text = WriteComponentRes(&probe);
  EXPECT_TRUE(text.contains("Color = clCream")) << text.toStdString();
  EXPECT_TRUE(text.contains("Cursor = crHandPoint")) << text.toStdString();
  EXPECT_TRUE(text.contains("Font.Color = clMaroon")) << text.toStdString();
  EXPECT_TRUE(text.contains("Font.Style = [fsBold, fsItalic]")) << text.toStdString();
  EXPECT_FALSE(text.contains("Font.Size")) << text.toStdString();
}

TEST(Cursors, DistinctValuesShownAsQtCursors) {
  std::set<int> values;
  for (const TGraphicsIdent& e : CursorIdents())
    if (QLatin1String(e.Name) != QLatin1String("crSize")) {
      EXPECT_TRUE(values.insert(e.Value).second) << e.Name;
    }
  EXPECT_EQ(values.size(), 22u);
  EXPECT_EQ(CursorToQCursor(crHourGlass).shape(), Qt::WaitCursor);
  EXPECT_EQ(CursorToQCursor(crHandPoint).shape(), Qt::PointingHandCursor);
  EXPECT_EQ(CursorToQCursor(crSizeNWSE).shape(), Qt::SizeFDiagCursor);
  EXPECT_EQ(CursorToQCursor(crSizeAll).shape(), Qt::SizeAllCursor);
  EXPECT_EQ(CursorToQCursor(crIBeam).shape(), Qt::IBeamCursor);
  EXPECT_EQ(CursorToQCursor(crNone).shape(), Qt::BlankCursor);
  EXPECT_EQ(CursorToQCursor(crDefault).shape(), Qt::ArrowCursor);
  EXPECT_EQ(CursorToQCursor(17).shape(), Qt::ArrowCursor);
  EXPECT_EQ(CursorToString(crSize), "crSizeAll");
  EXPECT_EQ(CursorToString(5), "5");
  EXPECT_EQ(StringToCursor("CRIBEAM"), crIBeam);
  EXPECT_THROW(StringToCursor("crNoSuchCursor"), EConvertError);
}

// ---------------------------------------------------------------- font, brush, pen

TEST(Font, SizeInPointsAndHeightInPixelsAt96Dpi) {
  TFont font;
  EXPECT_EQ(font.GetName(), "Tahoma");
  EXPECT_EQ(font.GetHeight(), -11);
  EXPECT_EQ(font.GetSize(), 8);
  const std::pair<int, int> sizes[] = {{8, -11}, {9, -12}, {10, -13}, {12, -16}, {14, -19}, {72, -96}};
  for (auto [size, height] : sizes) {
    font.SetSize(size);
    EXPECT_EQ(font.GetHeight(), height) << size;
    font.SetHeight(height);
    EXPECT_EQ(font.GetSize(), size) << height;
  }
  // A positive height is a cell height; the size then reads negative.
  font.SetHeight(20);
  EXPECT_EQ(font.GetSize(), -15);
  font.SetHeight(-16);
  EXPECT_EQ(font.ToQFont().pixelSize(), 16);
}

TEST(Font, ChangesAreAnnouncedAndAssignCopiesEverything) {
  TFont font;
  int changes = 0;
  font.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &font);
    ++changes;
  };
  font.SetColor(clRed);
  font.SetColor(clRed);
  font.SetStyle({fsBold, fsUnderline});
  font.SetName("Courier New");
  font.SetPitch(fpFixed);
  EXPECT_EQ(changes, 4);

  TFont copy;
  int copyChanges = 0;
  copy.OnChange = [&](TObject*) { ++copyChanges; };
  copy.Assign(&font);
  EXPECT_EQ(copyChanges, 1);
  EXPECT_EQ(copy.GetColor(), clRed);
  EXPECT_EQ(copy.GetName(), "Courier New");
  EXPECT_EQ(copy.GetStyle(), TFontStyles({fsBold, fsUnderline}));
  const QFont q = copy.ToQFont();
  EXPECT_EQ(q.family(), "Courier New");
  EXPECT_TRUE(q.bold());
  EXPECT_TRUE(q.underline());
  EXPECT_FALSE(q.italic());
  EXPECT_TRUE(q.fixedPitch());

  TBrush brush;
  EXPECT_THROW(copy.Assign(&brush), EConvertError);
}

TEST(Font, PublishedPropertiesByName) {
  TFont font;
  EXPECT_TRUE(font.setProperty("Height", -20));
  EXPECT_EQ(font.GetSize(), 15);
  EXPECT_TRUE(font.setProperty("Style", QVariant::fromValue(TFontStyles{fsItalic})));
  EXPECT_TRUE(font.GetStyle().Contains(fsItalic));
  EXPECT_EQ(font.GetStyle().Names(), QStringList{"fsItalic"});
  EXPECT_EQ(font.property("Color").toInt(), clWindowText);
  // Size is derived from Height and not stored twice.
  const QMetaProperty size = font.metaObject()->property(font.metaObject()->indexOfProperty("Size"));
  EXPECT_FALSE(size.isStored());
}

TEST(BrushAndPen, ToolsTranslateToQt) {
  TBrush brush;
  EXPECT_EQ(brush.GetColor(), clWhite);
  brush.SetStyle(bsClear);
  EXPECT_EQ(brush.ToQBrush().style(), Qt::NoBrush);
  brush.SetColor(clRed);  // a colour makes a clear brush solid
  EXPECT_EQ(brush.GetStyle(), bsSolid);
  EXPECT_EQ(brush.ToQBrush().color(), QColor(Qt::red));
  brush.SetStyle(bsDiagCross);
  EXPECT_EQ(brush.ToQBrush().style(), Qt::DiagCrossPattern);

  TPen pen;
  EXPECT_EQ(pen.GetColor(), clBlack);
  EXPECT_EQ(pen.GetWidth(), 1);
  pen.SetWidth(0);
  EXPECT_EQ(pen.GetWidth(), 1);
  pen.SetStyle(psDot);
  EXPECT_EQ(pen.ToQPen().style(), Qt::DotLine);
  pen.SetStyle(psClear);
  EXPECT_EQ(pen.ToQPen().style(), Qt::NoPen);
}

// ---------------------------------------------------------------- canvas

TEST(Canvas, FillAndFrameExcludeTheRightAndBottomEdges) {
  Sheet s;
  EXPECT_EQ(s.at(0, 0), clWhite);
  s.c()->Brush()->SetColor(clRed);
  s.c()->FillRect(Rect(2, 3, 6, 8));
  EXPECT_EQ(s.at(2, 3), clRed);
  EXPECT_EQ(s.at(5, 7), clRed);
  EXPECT_EQ(s.at(6, 7), clWhite);
  EXPECT_EQ(s.at(5, 8), clWhite);
  EXPECT_EQ(s.at(1, 3), clWhite);

  s.c()->Brush()->SetColor(clBlue);
  s.c()->FrameRect(Rect(10, 10, 15, 15));
  for (auto [x, y] : {std::pair{10, 10}, {14, 10}, {10, 14}, {14, 14}, {12, 10}, {14, 12}})
    EXPECT_EQ(s.at(x, y), clBlue) << x << "," << y;
  EXPECT_EQ(s.at(12, 12), clWhite);
  EXPECT_EQ(s.at(15, 15), clWhite);
  EXPECT_EQ(s.at(15, 12), clWhite);

  // A clear brush fills nothing.
  s.c()->Brush()->SetStyle(bsClear);
  s.c()->FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(s.at(0, 0), clWhite);
}

TEST(Canvas, RectangleAndEllipseUseThePenAndTheBrush) {
  Sheet s;
  s.c()->Brush()->SetColor(clLime);
  s.c()->Rectangle(2, 2, 8, 8);
  EXPECT_EQ(s.at(2, 2), clBlack);
  EXPECT_EQ(s.at(7, 7), clBlack);
  EXPECT_EQ(s.at(7, 4), clBlack);
  EXPECT_EQ(s.at(8, 8), clWhite);
  EXPECT_EQ(s.at(8, 4), clWhite);
  EXPECT_EQ(s.at(5, 5), clLime);

  s.c()->Pen()->SetStyle(psClear);
  s.c()->Brush()->SetColor(clNavy);
  s.c()->Ellipse(10, 10, 20, 20);
  EXPECT_EQ(s.at(15, 15), clNavy);
  EXPECT_EQ(s.at(10, 10), clWhite);  // corners lie outside the ellipse
  EXPECT_EQ(s.at(19, 19), clWhite);
}

TEST(Canvas, LinesStopBeforeTheirEndPoint) {
  Sheet s;
  // The arrow of a drop-down button: lines of five, three and one pixels.
  s.c()->Pen()->SetColor(clRed);
  for (int i = 0; i < 3; ++i) {
    s.c()->MoveTo(5 + i, 10 + i);
    s.c()->LineTo(10 - i, 10 + i);
  }
  for (int x = 4; x <= 11; ++x) {
    EXPECT_EQ(s.at(x, 10), x >= 5 && x <= 9 ? clRed : clWhite) << x;
    EXPECT_EQ(s.at(x, 11), x >= 6 && x <= 8 ? clRed : clWhite) << x;
    EXPECT_EQ(s.at(x, 12), x == 7 ? clRed : clWhite) << x;
  }
  EXPECT_EQ(s.c()->GetPenPos(), Point(8, 12));

  s.c()->Pen()->SetColor(clBlack);
  s.c()->MoveTo(2, 2);
  s.c()->LineTo(2, 6);
  EXPECT_EQ(s.at(2, 5), clBlack);
  EXPECT_EQ(s.at(2, 6), clWhite);
  s.c()->MoveTo(12, 0);
  s.c()->LineTo(16, 4);
  EXPECT_EQ(s.at(12, 0), clBlack);
  EXPECT_EQ(s.at(15, 3), clBlack);
  EXPECT_EQ(s.at(16, 4), clWhite);
}

TEST(Canvas, PolygonIsFilledAndPolylineLeavesThePen) {
  Sheet s;
  s.c()->Brush()->SetColor(clYellow);
  s.c()->Polygon({Point(0, 0), Point(19, 0), Point(0, 19)});
  EXPECT_EQ(s.at(0, 0), clBlack);
  EXPECT_EQ(s.at(5, 5), clYellow);
  EXPECT_EQ(s.at(15, 15), clWhite);

  Sheet t;
  t.c()->MoveTo(1, 1);
  t.c()->Polyline({Point(3, 15), Point(10, 15), Point(10, 18)});
  EXPECT_EQ(t.at(3, 15), clBlack);
  EXPECT_EQ(t.at(10, 15), clBlack);
  EXPECT_EQ(t.at(10, 17), clBlack);
  EXPECT_EQ(t.at(10, 18), clWhite);
  EXPECT_EQ(t.c()->GetPenPos(), Point(1, 1));
}

TEST(Canvas, TextIsDrawnInTheFontColourAndMovesThePen) {
  Sheet s(120, 40);
  TCanvas* c = s.c();
  c->Font()->SetHeight(-16);
  c->Font()->SetColor(clRed);
  c->Brush()->SetStyle(bsClear);
  const int w = c->TextWidth("Hello"), h = c->TextHeight("Hello");
  EXPECT_GT(w, 20);
  EXPECT_GE(h, 16);
  EXPECT_GT(c->TextWidth("HelloHello"), w);
  c->TextOut(4, 5, "Hello");
  EXPECT_EQ(c->GetPenPos(), Point(4 + w, 5));
  int inside = 0, outside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      if (s.at(x, y) == clWhite) continue;
      const bool within = x >= 4 && x < 4 + w && y >= 5 && y < 5 + h;
      (within ? inside : outside)++;
      if (within) {
        EXPECT_GT(GetRValue(s.at(x, y)), GetGValue(s.at(x, y)));
      }
    }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(outside, 0);

  // On a solid brush the text stands on the brush's colour, just its box.
  Sheet t(120, 40);
  t.c()->Brush()->SetColor(clAqua);
  t.c()->TextOut(10, 10, "Hi");
  const int tw = t.c()->TextWidth("Hi"), th = t.c()->TextHeight("Hi");
  EXPECT_EQ(t.at(10, 10), clAqua);
  EXPECT_EQ(t.at(10 + tw - 1, 10 + th - 1), clAqua);
  EXPECT_EQ(t.at(10 + tw, 10), clWhite);
  EXPECT_EQ(t.at(9, 10), clWhite);
}

TEST(Canvas, TextRectFillsAndClipsToItsRectangle) {
  Sheet s(60, 30);
  s.c()->Brush()->SetColor(clSilver);
  s.c()->TextRect(Rect(5, 5, 20, 25), 5, 5, "WWWWWWWWWW");
  EXPECT_EQ(s.at(19, 24), clSilver);
  for (int y = 0; y < 30; ++y)
    for (int x = 20; x < 60; ++x) ASSERT_EQ(s.at(x, y), clWhite) << x << "," << y;
  int glyphs = 0;
  for (int y = 5; y < 25; ++y)
    for (int x = 5; x < 20; ++x) glyphs += s.at(x, y) != clSilver;
  EXPECT_GT(glyphs, 0);
}

TEST(Canvas, PixelsAndPenModes) {
  Sheet s;
  s.c()->Pixels(3, 4) = clRed;
  EXPECT_EQ(TColor(s.c()->Pixels(3, 4)), clRed);
  EXPECT_EQ(s.c()->GetPixel(-1, 0), -1);
  EXPECT_EQ(s.c()->GetPixel(20, 0), -1);

  // Exclusive or: drawing the same line twice restores the picture.
  s.c()->Brush()->SetColor(clRed);
  s.c()->FillRect(Rect(0, 10, 20, 11));
  s.c()->Pen()->SetMode(pmXor);
  s.c()->Pen()->SetColor(clWhite);
  s.c()->MoveTo(0, 10);
  s.c()->LineTo(20, 10);
  EXPECT_EQ(s.at(5, 10), clAqua);
  s.c()->MoveTo(0, 10);
  s.c()->LineTo(20, 10);
  EXPECT_EQ(s.at(5, 10), clRed);
  s.c()->Pen()->SetMode(pmNot);
  s.c()->MoveTo(0, 1);
  s.c()->LineTo(20, 1);
  EXPECT_EQ(s.at(5, 1), clBlack);
}

TEST(Canvas, DrawStretchDrawAndCopyRect) {
  TBitmap source;
  source.FromQImage(Quadrants(2, 2));
  Sheet s(40, 40);
  s.c()->StretchDraw(Rect(0, 0, 20, 20), &source);
  EXPECT_EQ(s.at(2, 2), clRed);
  EXPECT_EQ(s.at(17, 2), clLime);
  EXPECT_EQ(s.at(2, 17), clBlue);
  EXPECT_EQ(s.at(17, 17), clYellow);
  // Enlarged pixels stay sharp, as the platform's stretching draws them.
  EXPECT_EQ(s.at(9, 9), clRed);
  EXPECT_EQ(s.at(10, 10), clYellow);
  EXPECT_EQ(s.at(25, 25), clWhite);
  s.c()->Draw(30, 30, &source);
  EXPECT_EQ(s.at(30, 30), clRed);
  EXPECT_EQ(s.at(31, 31), clYellow);
  EXPECT_EQ(s.at(32, 32), clWhite);

  // Copying within one bitmap reads the pixels as they were.
  s.c()->CopyRect(Rect(5, 0, 25, 20), s.c(), Rect(0, 0, 20, 20));
  EXPECT_EQ(s.at(7, 2), clRed);
  EXPECT_EQ(s.at(22, 2), clLime);
  EXPECT_EQ(s.at(22, 17), clYellow);

  Sheet other(10, 10);
  other.c()->CopyRect(Rect(0, 0, 10, 10), s.c(), Rect(10, 10, 20, 20));
  EXPECT_EQ(other.at(5, 5), clYellow);
}

TEST(Canvas, BindingDecidesWhereItDraws) {
  TCanvas unbound;
  EXPECT_THROW(unbound.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
  EXPECT_EQ(unbound.GetHandle(), nullptr);

  // An empty bitmap has nothing to draw on and silently draws nothing.
  TBitmap empty;
  EXPECT_NO_THROW(empty.Canvas()->Rectangle(0, 0, 5, 5));
  EXPECT_EQ(empty.Canvas()->GetHandle(), nullptr);

  // A painter someone else opened (a widget while it paints) is used and left open.
  QImage target(10, 10, QImage::Format_RGB32);
  target.fill(Qt::white);
  {
    QPainter painter(&target);
    TCanvas canvas;
    canvas.SetPainter(&painter);
    EXPECT_EQ(canvas.GetHandle(), &painter);
    canvas.Brush()->SetColor(clRed);
    canvas.FillRect(Rect(0, 0, 5, 5));
    canvas.SetPainter(nullptr);
    EXPECT_TRUE(painter.isActive());
  }
  EXPECT_EQ(target.pixel(2, 2), qRgb(255, 0, 0));
  EXPECT_EQ(target.pixel(7, 7), qRgb(255, 255, 255));
}

// ---------------------------------------------------------------- bitmap

TEST(Bitmap, SavesA24BitBottomUpFileOtherReadersOpen) {
  TBitmap bitmap;
  bitmap.SetSize(7, 5);  // 21 bytes of pixels per row, padded to 24
  bitmap.Canvas()->Brush()->SetColor(RGBToColor(10, 20, 30));
  bitmap.Canvas()->FillRect(Rect(0, 0, 7, 1));  // top row
  bitmap.Canvas()->Pixels(6, 4) = RGBToColor(200, 100, 50);
  const QString file = TestFile("drawn.bmp");
  bitmap.SaveToFile(file);

  const QByteArray bytes = testsupport::readFile(file);
  ASSERT_EQ(bytes.size(), 54 + 24 * 5);
  EXPECT_EQ(bytes.left(2), "BM");
  EXPECT_EQ(LE32(bytes, 2), quint32(bytes.size()));
  EXPECT_EQ(LE32(bytes, 10), 54u);
  EXPECT_EQ(LE32(bytes, 14), 40u);
  EXPECT_EQ(LE32(bytes, 18), 7u);
  EXPECT_EQ(qint32(LE32(bytes, 22)), 5);  // positive: bottom-up
  EXPECT_EQ(LE16(bytes, 28), 24);
  EXPECT_EQ(LE32(bytes, 30), 0u);
  // The first row in the file is the bottom one, blue-green-red.
  EXPECT_EQ(quint8(bytes[54 + 6 * 3]), 50);
  EXPECT_EQ(quint8(bytes[54 + 6 * 3 + 2]), 200);
  EXPECT_EQ(quint8(bytes[54 + 4 * 24]), 30);

  const QImage read(file);
  ASSERT_EQ(read.size(), QSize(7, 5));
  EXPECT_EQ(read.pixel(3, 0), qRgb(10, 20, 30));
  EXPECT_EQ(read.pixel(6, 4), qRgb(200, 100, 50));
  EXPECT_EQ(read.pixel(3, 3), qRgb(255, 255, 255));
}

TEST(Bitmap, ReadsFilesOfEveryDepth) {
  const QImage colour = Quadrants(9, 6);
  struct Case {
    const char* name;
    QImage image;
    int bits;
  };
  QImage mono = colour.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  const Case cases[] = {{"mono.bmp", mono, 1},
                        {"indexed4.bmp", colour.convertToFormat(QImage::Format_Indexed8), 4},
                        {"indexed8.bmp", Gradient(9, 6).convertToFormat(QImage::Format_Indexed8), 8},
                        {"rgb.bmp", colour.convertToFormat(QImage::Format_RGB888), 24}};
  for (const Case& c : cases) {
    const QString file = TestFile(c.name);
    ASSERT_TRUE(c.image.save(file, "BMP"));
    ASSERT_EQ(LE16(testsupport::readFile(file), 28), c.bits) << c.name;
    TBitmap bitmap;
    bitmap.LoadFromFile(file);
    ASSERT_EQ(bitmap.GetWidth(), 9);
    ASSERT_EQ(bitmap.GetHeight(), 6);
    EXPECT_EQ(bitmap.GetPixelFormat(), c.bits == 32 ? pf32bit : pf24bit);
    const QImage expected = c.image.convertToFormat(QImage::Format_RGB32);
    for (auto [x, y] : {std::pair{0, 0}, {8, 0}, {0, 5}, {8, 5}})
      EXPECT_EQ(QColorToTColor(expected.pixel(x, y)), TColor(bitmap.Canvas()->Pixels(x, y))) << c.name;
  }

  // A top-down file (negative height) and a 32-bit one, written field by field.
  ASSERT_TRUE(testsupport::writeFile(TestFile("topdown.bmp"), RawBmp(2, -2, 24,
                                                                     QByteArray("\x00\x00\xFF"
                                                                                "\x00\xFF\x00"
                                                                                "\x00\x00"  // red, green
                                                                                "\xFF\x00\x00"
                                                                                "\xFF\xFF\xFF"
                                                                                "\x00\x00",
                                                                                16))));
  TBitmap bitmap;
  bitmap.LoadFromFile(TestFile("topdown.bmp"));
  EXPECT_EQ(TColor(bitmap.Canvas()->Pixels(0, 0)), clRed);
  EXPECT_EQ(TColor(bitmap.Canvas()->Pixels(0, 1)), clBlue);
  ASSERT_TRUE(testsupport::writeFile(TestFile("bits32.bmp"), RawBmp(2, 1, 32,
                                                                    QByteArray("\x10\x20\x30\x00"
                                                                               "\x40\x50\x60\x00",
                                                                               8))));
  bitmap.LoadFromFile(TestFile("bits32.bmp"));
  EXPECT_EQ(bitmap.GetPixelFormat(), pf32bit);
  EXPECT_EQ(TColor(bitmap.Canvas()->Pixels(1, 0)), RGBToColor(0x60, 0x50, 0x40));
}

TEST(Bitmap, BadFilesRaiseAndLeaveThePicture) {
  TBitmap bitmap;
  bitmap.SetSize(3, 3);
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  const QByteArray good = testsupport::readFile(TestFile("drawn.bmp"));
  const QByteArray cases[] = {QByteArray("BM") + QByteArray(100, 'x'), good.left(20), good.left(60),
                              QByteArray("not a bitmap at all, but long enough for a header......")};
  for (const QByteArray& bytes : cases) {
    ASSERT_TRUE(testsupport::writeFile(TestFile("bad.bmp"), bytes));
    EXPECT_THROW(bitmap.LoadFromFile(TestFile("bad.bmp")), EInvalidGraphic) << bytes.size();
  }
  EXPECT_THROW(bitmap.LoadFromFile(TestFile("missing.bmp")), EFOpenError);
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(changes, 0);
}

TEST(Bitmap, ResizingKeepsThePixelsThatStay) {
  TBitmap bitmap;
  bitmap.SetHeight(10);  // height first, then width, as the capture does
  EXPECT_TRUE(bitmap.GetEmpty());
  bitmap.SetWidth(10);
  ASSERT_EQ(bitmap.GetWidth(), 10);
  bitmap.Canvas()->Brush()->SetColor(clRed);
  bitmap.Canvas()->FillRect(Rect(0, 0, 10, 10));
  bitmap.SetSize(20, 5);
  EXPECT_EQ(TColor(bitmap.Canvas()->Pixels(9, 4)), clRed);
  EXPECT_EQ(TColor(bitmap.Canvas()->Pixels(10, 4)), clWhite);
  // The canvas keeps drawing on the new pixels.
  bitmap.Canvas()->Brush()->SetColor(clBlue);
  bitmap.Canvas()->FillRect(Rect(15, 0, 20, 5));
  EXPECT_EQ(bitmap.ToQImage().pixel(17, 2), qRgb(0, 0, 255));
  bitmap.SetHeight(0);
  EXPECT_TRUE(bitmap.GetEmpty());
  // An empty bitmap still saves and loads as an empty bitmap.
  bitmap.SaveToFile(TestFile("empty.bmp"));
  TBitmap loaded;
  loaded.SetSize(2, 2);
  loaded.LoadFromFile(TestFile("empty.bmp"));
  EXPECT_TRUE(loaded.GetEmpty());
}

TEST(Bitmap, CopiesAreIndependentOfLaterDrawing) {
  TBitmap original;
  original.SetSize(4, 4);
  original.Canvas()->Pixels(0, 0) = clRed;  // the canvas is now painting
  const QImage snapshot = original.ToQImage();
  TBitmap copy;
  copy.Assign(&original);
  original.Canvas()->Brush()->SetColor(clBlue);
  original.Canvas()->FillRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(snapshot.pixel(1, 1), qRgb(255, 255, 255));
  EXPECT_EQ(TColor(copy.Canvas()->Pixels(0, 0)), clRed);
  EXPECT_EQ(TColor(copy.Canvas()->Pixels(1, 1)), clWhite);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.GetEmpty());
}

TEST(Bitmap, ThirtyTwoBitsKeepAlpha) {
  TBitmap bitmap;
  bitmap.FromQImage(Filled(3, 2, QColor(0, 0, 255, 128)));
  EXPECT_EQ(bitmap.GetPixelFormat(), pf32bit);
  EXPECT_EQ(qAlpha(bitmap.ToQImage().convertToFormat(QImage::Format_ARGB32).pixel(1, 1)), 128);
  bitmap.SaveToFile(TestFile("alpha.bmp"));
  const QByteArray bytes = testsupport::readFile(TestFile("alpha.bmp"));
  EXPECT_EQ(LE16(bytes, 28), 32);
  EXPECT_EQ(bytes.size(), 54 + 3 * 4 * 2);
  EXPECT_EQ(quint8(bytes[54 + 3]), 128);
  EXPECT_THROW(bitmap.SetPixelFormat(pf8bit), EInvalidGraphicOperation);
  bitmap.SetPixelFormat(pf24bit);
  EXPECT_FALSE(bitmap.ToQImage().hasAlphaChannel());
}

TEST(Bitmap, TransparentBitmapsSkipTheirTransparentColour) {
  TBitmap sprite;
  sprite.SetSize(6, 6);
  sprite.Canvas()->Brush()->SetColor(clFuchsia);
  sprite.Canvas()->FillRect(Rect(0, 0, 6, 6));
  sprite.Canvas()->Brush()->SetColor(clRed);
  sprite.Canvas()->FillRect(Rect(2, 2, 4, 4));
  sprite.SetTransparent(true);
  EXPECT_EQ(sprite.GetTransparentColor(), clFuchsia);  // the bottom-left pixel
  Sheet s(10, 10);
  s.c()->Draw(2, 2, &sprite);
  EXPECT_EQ(s.at(2, 2), clWhite);
  EXPECT_EQ(s.at(4, 4), clRed);
  sprite.SetTransparent(false);
  s.c()->Draw(2, 2, &sprite);
  EXPECT_EQ(s.at(2, 2), clFuchsia);
}

// ---------------------------------------------------------------- JPEG

TEST(Jpeg, AssignedBitmapIsCompressedAtQuality90) {
  TBitmap bitmap;
  bitmap.FromQImage(Gradient(64, 48));
  TJPEGImage jpeg;
  EXPECT_EQ(jpeg.GetCompressionQuality(), 90);
  EXPECT_TRUE(jpeg.GetEmpty());
  jpeg.Assign(&bitmap);
  EXPECT_EQ(jpeg.GetWidth(), 64);
  jpeg.SaveToFile(TestFile("q90.jpg"));
  const QByteArray q90 = testsupport::readFile(TestFile("q90.jpg"));
  EXPECT_TRUE(q90.startsWith("\xFF\xD8"));
  EXPECT_TRUE(q90.endsWith("\xFF\xD9"));
  EXPECT_EQ(FirstQuantValue(q90), 3);

  // A lower quality set after the assignment still applies to the next save.
  jpeg.SetCompressionQuality(30);
  jpeg.SaveToFile(TestFile("q30.jpg"));
  const QByteArray q30 = testsupport::readFile(TestFile("q30.jpg"));
  EXPECT_EQ(FirstQuantValue(q30), 27);
  EXPECT_LT(q30.size(), q90.size());

  const QImage read90(TestFile("q90.jpg")), read30(TestFile("q30.jpg"));
  ASSERT_EQ(read90.size(), QSize(64, 48));
  ASSERT_EQ(read30.size(), QSize(64, 48));
  EXPECT_LT(MeanDifference(read90, Gradient(64, 48)), 3.0);
  EXPECT_LT(MeanDifference(read30, Gradient(64, 48)), 8.0);

  // Transparent pixels of the source come out white.
  TPngImage png;
  png.FromQImage(Filled(8, 8, Qt::transparent));
  jpeg.Assign(&png);
  jpeg.SaveToFile(TestFile("from-png.jpg"));
  EXPECT_EQ(QImage(TestFile("from-png.jpg")).pixel(4, 4), qRgb(255, 255, 255));

  jpeg.SetCompressionQuality(0);
  EXPECT_EQ(jpeg.GetCompressionQuality(), 1);
  jpeg.SetCompressionQuality(500);
  EXPECT_EQ(jpeg.GetCompressionQuality(), 100);
}

TEST(Jpeg, CaptureStretchedIntoASmallerTarget) {
  // Source 200 x 100 stretched into 100 x 50 and saved, as a page capture is.
  TBitmap source, target;
  source.SetSize(200, 100);
  source.Canvas()->Draw(0, 0, nullptr);
  TBitmap quadrants;
  quadrants.FromQImage(Quadrants(200, 100));
  source.Canvas()->Draw(0, 0, &quadrants);
  target.SetHeight(50);
  target.SetWidth(100);
  target.Canvas()->StretchDraw(Rect(0, 0, 100, 50), &source);
  TJPEGImage jpeg;
  jpeg.Assign(&target);
  jpeg.SaveToFile(TestFile("Site.jpg"));
  const QImage read(TestFile("Site.jpg"));
  ASSERT_EQ(read.size(), QSize(100, 50));
  EXPECT_LT(MeanDifference(read, Quadrants(100, 50)), 6.0);
}

TEST(Jpeg, ScaleDecodesAFractionOfTheSize) {
  ASSERT_TRUE(testsupport::writeFile(TestFile("odd.jpg"), JpegBytes(Gradient(101, 51))));
  TJPEGImage jpeg;
  jpeg.SetScale(jsHalf);
  jpeg.LoadFromFile(TestFile("odd.jpg"));
  EXPECT_EQ(jpeg.GetWidth(), 51);
  EXPECT_EQ(jpeg.GetHeight(), 26);
  jpeg.SetScale(jsQuarter);
  EXPECT_EQ(jpeg.GetWidth(), 26);
  EXPECT_EQ(jpeg.GetHeight(), 13);
  jpeg.SetScale(jsEighth);
  EXPECT_EQ(jpeg.GetWidth(), 13);
  EXPECT_EQ(jpeg.GetHeight(), 7);
  jpeg.SetScale(jsFullSize);
  EXPECT_EQ(jpeg.GetWidth(), 101);
  // Drawing decodes on demand.
  jpeg.SetScale(jsHalf);
  Sheet s(60, 30);
  s.c()->Draw(0, 0, &jpeg);
  EXPECT_NE(s.at(50, 25), clWhite);
  EXPECT_EQ(s.at(52, 27), clWhite);
  // The file's own bytes are written back, whatever the scale.
  jpeg.SaveToFile(TestFile("odd-copy.jpg"));
  EXPECT_EQ(testsupport::readFile(TestFile("odd-copy.jpg")), testsupport::readFile(TestFile("odd.jpg")));
}

TEST(Jpeg, GrayscaleDecodesShadesOfGrey) {
  ASSERT_TRUE(testsupport::writeFile(TestFile("colour.jpg"), JpegBytes(Quadrants(32, 32))));
  TJPEGImage jpeg;
  jpeg.LoadFromFile(TestFile("colour.jpg"));
  EXPECT_NE(qRed(jpeg.ToQImage().pixel(4, 4)), qBlue(jpeg.ToQImage().pixel(4, 4)));
  jpeg.SetGrayscale(true);
  const QImage grey = jpeg.ToQImage();
  for (auto [x, y] : {std::pair{4, 4}, {28, 4}, {4, 28}, {28, 28}}) {
    EXPECT_EQ(qRed(grey.pixel(x, y)), qGreen(grey.pixel(x, y)));
    EXPECT_EQ(qRed(grey.pixel(x, y)), qBlue(grey.pixel(x, y)));
  }
}

TEST(Jpeg, BrokenDataRaisesAndLeavesTheImage) {
  const QByteArray good = JpegBytes(Gradient(40, 30));
  TJPEGImage jpeg;
  TMemoryStream in;
  in.WriteBytes(good);
  in.SetPosition(0);
  jpeg.LoadFromStream(in);
  int changes = 0;
  jpeg.OnChange = [&](TObject*) { ++changes; };

  QByteArray garbled = good;
  for (int i = good.size() / 2; i < good.size() - 2; ++i) garbled[i] = char(i * 7);
  const QByteArray cases[] = {good.left(good.size() / 2),
                              good.left(good.size() - 40),
                              good.left(3),
                              QByteArray(),
                              QByteArray("\xFF\xD8\xFF\xE0 not really"),
                              garbled.left(good.size() - 2),
                              QByteArray("GIF89a")};
  for (const QByteArray& bytes : cases) {
    ASSERT_TRUE(testsupport::writeFile(TestFile("broken.jpg"), bytes));
    try {
      jpeg.LoadFromFile(TestFile("broken.jpg"));
      ADD_FAILURE() << "loaded " << bytes.size() << " bytes";
    } catch (const EInvalidGraphic& e) {
      EXPECT_TRUE(e.Message.startsWith("JPEG error #")) << e.Message.toStdString();
    }
  }
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(jpeg.GetWidth(), 40);
  TMemoryStream out;
  jpeg.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), good);

  TJPEGImage empty;
  TMemoryStream nothing;
  EXPECT_THROW(empty.SaveToStream(nothing), EInvalidGraphicOperation);
  EXPECT_THROW(jpeg.SetWidth(10), EInvalidGraphicOperation);
}

// ---------------------------------------------------------------- PNG

TEST(Png, RoundTripKeepsAlpha) {
  QImage image(4, 2, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(255, 0, 0, 255));
  image.setPixel(1, 0, qRgba(0, 255, 0, 128));
  image.setPixel(2, 0, qRgba(0, 0, 255, 0));
  image.setPixel(3, 0, qRgba(10, 20, 30, 200));
  for (int x = 0; x < 4; ++x) image.setPixel(x, 1, qRgba(x * 60, 100, 50, 255));
  TPngImage png;
  png.FromQImage(image);
  EXPECT_TRUE(png.GetTransparent());
  png.SaveToFile(TestFile("alpha.png"));

  const QImage read = QImage(TestFile("alpha.png")).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(read.size(), QSize(4, 2));
  EXPECT_TRUE(read.hasAlphaChannel());
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(read.pixel(x, 1), image.pixel(x, 1));
    EXPECT_EQ(qAlpha(read.pixel(x, 0)), qAlpha(image.pixel(x, 0)));
  }
  EXPECT_EQ(read.pixel(1, 0), qRgba(0, 255, 0, 128));

  TPngImage loaded;
  loaded.LoadFromFile(TestFile("alpha.png"));
  EXPECT_EQ(loaded.ToQImage().convertToFormat(QImage::Format_ARGB32).pixel(3, 0), qRgba(10, 20, 30, 200));

  // From a bitmap: opaque, same pixels.
  TBitmap bitmap;
  bitmap.FromQImage(Quadrants(8, 8));
  loaded.Assign(&bitmap);
  EXPECT_FALSE(loaded.GetTransparent());
  loaded.SaveToFile(TestFile("quadrants.png"));
  EXPECT_EQ(QImage(TestFile("quadrants.png")).pixel(7, 7), qRgb(255, 255, 0));
  // And back into a bitmap with its alpha.
  bitmap.Assign(&png);
  EXPECT_EQ(bitmap.GetPixelFormat(), pf32bit);
}

TEST(Png, BadDataRaises) {
  TPngImage png;
  png.FromQImage(Quadrants(4, 4));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  Quadrants(16, 16).save(&buffer, "PNG");
  for (const QByteArray& bad :
       {QByteArray("\x89PNG\r\n\x1a\n garbage"), QByteArray("plain text"), bytes.left(40)}) {
    TMemoryStream stream;
    stream.WriteBytes(bad);
    stream.SetPosition(0);
    EXPECT_THROW(png.LoadFromStream(stream), EInvalidGraphic);
  }
  EXPECT_EQ(png.GetWidth(), 4);
  TPngImage empty;
  TMemoryStream out;
  EXPECT_THROW(empty.SaveToStream(out), EInvalidGraphicOperation);
}

// ---------------------------------------------------------------- icons

TEST(Icon, ShowsTheImageOfTheChosenSize) {
  QImage big = Filled(32, 32, Qt::blue), small = Filled(16, 16, Qt::red);
  small.setPixel(0, 0, qRgba(0, 0, 0, 0));
  const QByteArray ico = IcoFile({big, small});
  ASSERT_TRUE(testsupport::writeFile(TestFile("favicon.ico"), ico));

  TIcon icon;
  icon.LoadFromFile(TestFile("favicon.ico"));
  EXPECT_EQ(icon.GetWidth(), 32);
  EXPECT_EQ(icon.ToQImage().pixel(5, 5), qRgb(0, 0, 255));
  icon.SetSize(16, 16);
  EXPECT_EQ(icon.GetWidth(), 16);
  const QImage shown = icon.ToQImage();
  EXPECT_EQ(shown.size(), QSize(16, 16));
  EXPECT_EQ(shown.pixel(5, 5), qRgb(255, 0, 0));
  EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
  icon.SetSize(24, 24);  // no such image: the larger one, scaled
  EXPECT_EQ(icon.ToQImage().size(), QSize(24, 24));
  EXPECT_EQ(icon.ToQImage().pixel(12, 12), qRgb(0, 0, 255));
  EXPECT_TRUE(icon.GetTransparent());

  icon.SaveToFile(TestFile("favicon-copy.ico"));
  EXPECT_EQ(testsupport::readFile(TestFile("favicon-copy.ico")), ico);

  // An icon made from an image is written as an ICO file Qt reads.
  TIcon made;
  made.FromQImage(small);
  made.SaveToFile(TestFile("made.ico"));
  EXPECT_EQ(QImage(TestFile("made.ico")).size(), QSize(16, 16));

  for (const QByteArray& bad : {QByteArray("\0\0\1\0\0\0", 6), QByteArray("junk"), ico.left(30)}) {
    ASSERT_TRUE(testsupport::writeFile(TestFile("bad.ico"), bad));
    EXPECT_THROW(icon.LoadFromFile(TestFile("bad.ico")), EInvalidGraphic) << bad.size();
  }
  EXPECT_EQ(icon.GetWidth(), 24);
}

// ---------------------------------------------------------------- picture

namespace {
void WriteSamples() {
  TBitmap bitmap;
  bitmap.FromQImage(Quadrants(10, 6));
  bitmap.SaveToFile(TestFile("sample.bmp"));
  Quadrants(12, 7).save(TestFile("sample.png"), "PNG");
  testsupport::writeFile(TestFile("sample.jpg"), JpegBytes(Quadrants(14, 8)));
  testsupport::writeFile(TestFile("SAMPLE.JPEG"), JpegBytes(Quadrants(15, 9)));
  testsupport::writeFile(TestFile("sample.ico"), IcoFile({Filled(16, 16, Qt::green)}));
}
}  // namespace

TEST(Picture, LoadChoosesTheFormatByExtension) {
  WriteSamples();
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.LoadFromFile(TestFile("sample.bmp"));
  EXPECT_TRUE(qobject_cast<TBitmap*>(picture.Graphic()));
  EXPECT_EQ(picture.GetWidth(), 10);
  picture.LoadFromFile(TestFile("sample.png"));
  EXPECT_TRUE(qobject_cast<TPngImage*>(picture.Graphic()));
  EXPECT_EQ(picture.GetHeight(), 7);
  picture.LoadFromFile(TestFile("sample.jpg"));
  EXPECT_TRUE(qobject_cast<TJPEGImage*>(picture.Graphic()));
  EXPECT_EQ(picture.GetWidth(), 14);
  picture.LoadFromFile(TestFile("SAMPLE.JPEG"));
  EXPECT_EQ(picture.GetWidth(), 15);
  picture.LoadFromFile(TestFile("sample.ico"));
  EXPECT_TRUE(qobject_cast<TIcon*>(picture.Graphic()));
  EXPECT_EQ(changes, 5);
}

TEST(Picture, FailedLoadsKeepThePreviousPicture) {
  WriteSamples();
  TPicture picture;
  picture.LoadFromFile(TestFile("sample.png"));
  TGraphic* shown = picture.Graphic();
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };

  testsupport::writeFile(TestFile("picture.xyz"), "whatever");
  try {
    picture.LoadFromFile(TestFile("picture.xyz"));
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
  }
  EXPECT_THROW(picture.LoadFromFile(TestFile("no-such-file.bmp")), EFOpenError);
  // JPEG bytes under a bitmap's name, and a cut-off JPEG.
  QFile::remove(TestFile("wrong.bmp"));
  QFile::copy(TestFile("sample.jpg"), TestFile("wrong.bmp"));
  EXPECT_THROW(picture.LoadFromFile(TestFile("wrong.bmp")), EInvalidGraphic);
  testsupport::writeFile(TestFile("cut.jpg"), testsupport::readFile(TestFile("sample.jpg")).left(200));
  EXPECT_THROW(picture.LoadFromFile(TestFile("cut.jpg")), EInvalidGraphic);

  EXPECT_EQ(picture.Graphic(), shown);
  EXPECT_EQ(picture.GetWidth(), 12);
  EXPECT_EQ(changes, 0);
}

TEST(Picture, SavesInTheGraphicsOwnFormat) {
  WriteSamples();
  TPicture picture;
  picture.LoadFromFile(TestFile("sample.jpg"));
  picture.SaveToFile(TestFile("chosen name.bmp"));
  EXPECT_EQ(testsupport::readFile(TestFile("chosen name.bmp")),
            testsupport::readFile(TestFile("sample.jpg")));

  // Bitmap turns any other picture into an empty bitmap to draw on.
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  TBitmap* bitmap = picture.Bitmap();
  EXPECT_TRUE(bitmap->GetEmpty());
  EXPECT_EQ(picture.Bitmap(), bitmap);
  bitmap->SetHeight(100);
  bitmap->SetWidth(200);
  EXPECT_EQ(picture.GetWidth(), 200);
  const int beforeDrawing = changes;
  bitmap->Canvas()->FillRect(Rect(0, 0, 10, 10));
  EXPECT_GT(changes, beforeDrawing);
  picture.SaveToFile(TestFile("site.bmp"));
  EXPECT_EQ(QImage(TestFile("site.bmp")).size(), QSize(200, 100));
}

TEST(Picture, StreamsAndCopies) {
  WriteSamples();
  TPicture picture;
  for (const char* name : {"sample.bmp", "sample.png", "sample.jpg", "sample.ico"}) {
    TMemoryStream stream;
    stream.WriteBytes(testsupport::readFile(TestFile(name)));
    stream.SetPosition(0);
    picture.LoadFromStream(stream);
    EXPECT_GT(picture.GetWidth(), 0) << name;
  }
  EXPECT_TRUE(qobject_cast<TIcon*>(picture.Graphic()));
  TMemoryStream unknown;
  unknown.WriteBytes("GIF89a....");
  unknown.SetPosition(0);
  EXPECT_THROW(picture.LoadFromStream(unknown), EInvalidGraphic);

  picture.LoadFromFile(TestFile("sample.bmp"));
  TPicture copy;
  copy.Assign(&picture);
  ASSERT_NE(copy.Graphic(), picture.Graphic());
  picture.Bitmap()->SetSize(1, 1);
  EXPECT_EQ(copy.GetWidth(), 10);
  // A picture assigns its graphic to a graphic.
  TPngImage png;
  png.Assign(&copy);
  EXPECT_EQ(png.GetWidth(), 10);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Graphic(), nullptr);
  EXPECT_EQ(copy.GetWidth(), 0);
}

// ---------------------------------------------------------------- image list

TEST(ImageList, AddsStripsWithTheirMasksAndDraws) {
  TComponent owner(nullptr);
  auto* list = new TImageList(&owner);
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(list->GetWidth(), 16);
  EXPECT_EQ(list->GetHeight(), 16);
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };

  // Three pictures in one strip, each with a fuchsia background around a colour.
  TBitmap strip;
  strip.SetSize(48, 16);
  const TColor colours[] = {clRed, clLime, clBlue};
  strip.Canvas()->Brush()->SetColor(clFuchsia);
  strip.Canvas()->FillRect(Rect(0, 0, 48, 16));
  for (int i = 0; i < 3; ++i) {
    strip.Canvas()->Brush()->SetColor(colours[i]);
    strip.Canvas()->FillRect(Rect(i * 16 + 4, 4, i * 16 + 12, 12));
  }
  EXPECT_EQ(list->AddMasked(&strip, clDefault), 0);
  EXPECT_EQ(list->Count(), 3);

  Sheet s(40, 40);
  list->Draw(s.c(), 10, 10, 1);
  EXPECT_EQ(s.at(18, 18), clLime);
  EXPECT_EQ(s.at(10, 10), clWhite);
  list->Draw(s.c(), 0, 0, 3);
  list->Draw(s.c(), 0, 0, -1);
  EXPECT_EQ(s.at(8, 8), clWhite);

  // A mask bitmap: white is transparent.
  TBitmap picture, mask;
  picture.FromQImage(Filled(16, 16, Qt::yellow));
  mask.SetSize(16, 16);
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(8, 0, 16, 16));
  EXPECT_EQ(list->Add(&picture, &mask), 3);
  EXPECT_EQ(qAlpha(list->GetImage(3).pixel(2, 2)), 0);
  EXPECT_EQ(list->GetImage(3).pixel(12, 2), qRgb(255, 255, 0));

  TIcon icon;
  icon.FromQImage(Filled(32, 32, Qt::cyan));
  EXPECT_EQ(list->AddIcon(&icon), 4);
  EXPECT_EQ(list->GetImage(4).size(), QSize(16, 16));

  TBitmap got;
  ASSERT_TRUE(list->GetBitmap(0, &got));
  EXPECT_EQ(got.GetWidth(), 16);
  EXPECT_EQ(qAlpha(got.ToQImage().pixel(0, 0)), 0);
  EXPECT_FALSE(list->GetBitmap(9, &got));
  TIcon gotIcon;
  ASSERT_TRUE(list->GetIcon(2, &gotIcon));
  EXPECT_EQ(gotIcon.ToQImage().pixel(8, 8), qRgb(0, 0, 255));

  list->Delete(0);
  EXPECT_EQ(list->Count(), 4);
  EXPECT_EQ(list->GetImage(0).pixel(8, 8), qRgb(0, 255, 0));
  EXPECT_THROW(list->Delete(4), EInvalidOperation);
  list->Delete(-1);
  EXPECT_EQ(list->Count(), 0);
  list->AddIcon(&icon);
  list->SetWidth(24);  // another size empties the list
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(changes, 7);
}

TEST(ImageList, AnIconOfSeveralSizesGivesItsPictureOfTheListsSize) {
  ASSERT_TRUE(testsupport::writeFile(TestFile("sizes.ico"),
                                     IcoFile({Filled(32, 32, Qt::blue), Filled(16, 16, Qt::red)})));
  TIcon icon;
  icon.LoadFromFile(TestFile("sizes.ico"));
  TComponent owner(nullptr);
  auto* list = new TImageList(&owner);
  ASSERT_EQ(list->AddIcon(&icon), 0);
  EXPECT_EQ(list->GetImage(0).pixel(8, 8), qRgb(255, 0, 0));
  EXPECT_EQ(icon.GetWidth(), 32);  // the icon itself is left as it was
  list->SetWidth(32);
  list->SetHeight(32);
  ASSERT_EQ(list->AddIcon(&icon), 0);
  EXPECT_EQ(list->GetImage(0).pixel(8, 8), qRgb(0, 0, 255));
}

#include "GraphicsTest.moc"
