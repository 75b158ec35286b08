// Draws the pictures of the Gold skin at build time.
//
//   skingen <folder>           writes every picture of the skin table into
//                              <folder>/<group>/<file>, and <folder>/manifest.txt
//   skingen --sheet <file>     writes a contact sheet of all pictures (PNG),
//                              with the frame put together, for a look at them
//   skingen --icon <file>      writes the program's icon (ICO, several sizes)
#include "Glyphs.h"
#include "ProgramIcon.h"
#include "SkinTable.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>
#include <map>
#include <vector>

namespace skingen {
namespace {

// The frame and the background of every bitmap button: bitmap buttons sit on
// the frame and have no transparency, so they share its colour.
const QColor kFrame(0x12, 0x11, 0x10);
const QColor kGold(0xc9, 0xa1, 0x3a);
const QColor kGoldDeep(0x7a, 0x5f, 0x1c);

struct Style {
  QColor faceTop, faceBottom, border;
  double borderWidth;
  Ink ink;
  bool glow;     // a soft gold halo around the face
  bool shifted;  // drawn one pixel right and down
};

Style styleOf(Look look) {
  const QColor dark(0x1b, 0x14, 0x05);
  switch (look) {
    case Look::Hover:
      return {QColor(0x57, 0x4a, 0x27),
              QColor(0x24, 0x1e, 0x10),
              QColor(0xff, 0xd8, 0x66),
              1.5,
              {QColor(0xff, 0xe0, 0x8a), QColor(0x3a, 0x31, 0x1a)},
              true,
              false};
    case Look::Pressed:
      return {QColor(0x8c, 0x6a, 0x1e),
              QColor(0xd9, 0xb2, 0x4a),
              QColor(0x4a, 0x38, 0x0e),
              1.2,
              {dark, QColor(0xb4, 0x8e, 0x36)},
              false,
              true};
    case Look::Active:
      return {QColor(0xf4, 0xd3, 0x66),
              QColor(0xb5, 0x8d, 0x2c),
              QColor(0xff, 0xf0, 0xb0),
              1.5,
              {dark, QColor(0xd8, 0xb0, 0x48)},
              true,
              false};
    case Look::Normal:
    case Look::Single: break;
  }
  return {QColor(0x36, 0x32, 0x2b),
          QColor(0x14, 0x12, 0x10),
          QColor(0xa8, 0x87, 0x2c),
          1.2,
          {QColor(0xd4, 0xaf, 0x37), QColor(0x22, 0x1f, 0x1a)},
          false,
          false};
}

bool isBitmap(const SkinPicture& pic) { return QString(pic.file).endsWith(".bmp"); }

// A button: a rounded face in the look's colours with the glyph on it.
// Single pictures have the normal look, so they read on light and dark panels.
void paintButton(QPainter& p, const SkinPicture& pic) {
  const Style s = styleOf(pic.look);
  const QRectF all(0, 0, pic.width, pic.height);
  const double margin = pic.width >= 40 ? 3 : pic.width >= 24 ? 2 : 1;
  QRectF face = all.adjusted(margin, margin, -margin, -margin);
  const double radius = face.width() * 0.22;
  if (s.glow) {
    for (int i = int(margin); i >= 1; --i) {
      QColor halo = s.border;
      halo.setAlpha(70 / i);
      QPainterPath path;
      path.addRoundedRect(face.adjusted(-i, -i, i, i), radius + i, radius + i);
      p.fillPath(path, halo);
    }
  }
  if (s.shifted) face.translate(1, 1);
  QLinearGradient gradient(face.topLeft(), face.bottomLeft());
  gradient.setColorAt(0, s.faceTop);
  gradient.setColorAt(1, s.faceBottom);
  QPainterPath path;
  path.addRoundedRect(face, radius, radius);
  p.fillPath(path, gradient);
  // A light line under the top edge gives the face some relief; pressed
  // faces get a shadow there instead.
  QPainterPath relief;
  relief.addRoundedRect(face.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
  p.strokePath(relief, QPen(s.shifted ? QColor(0, 0, 0, 90) : QColor(255, 255, 255, 28), 1));
  p.strokePath(path, QPen(s.border, s.borderWidth));

  // Small buttons give their glyph a larger share of the face.
  const double inset = face.width() * (pic.width >= 30 ? 0.2 : 0.15);
  drawGlyph(p, pic.glyph, face.adjusted(inset, inset, -inset, -inset), s.ink);
}

// The resize grip: a piece of the frame at the lower right corner's cut, with
// three gold ridges along the cut.
void paintGrip(QPainter& p, const SkinPicture& pic) {
  const double w = pic.width, h = pic.height;
  for (double d : {14.0, 19.0, 24.0}) {
    p.setPen(QPen(kGold, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w, h - d), QPointF(w - d, h));
    p.setPen(QPen(kGoldDeep, 1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w, h - d + 1.5), QPointF(w - d + 1.5, h));
  }
}

// The outline the frame is drawn along. The window's own outline runs from
// (397, 548) to (23, 549), a pixel's slope over the bottom edge; drawn that
// way the stretched bottom border would change along its length, so the
// drawing keeps that edge level at 549 (the window's region may hide its
// lowest row on the right half).
QPolygonF outline() {
  QPolygonF poly;
  for (const auto& pt : kOutline) poly << QPointF(pt[0], pt[1]);
  poly[9].setY(549);
  return poly;
}

// The whole main-window frame at 800 x 600: black outside the outline, the
// frame colour inside, a gold edge with a thin gold line inside it, and a
// deep gold line where the frame meets the window's content. The stretched
// pieces are cut from stretches where nothing changes along the stretch.
QImage paintFrame() {
  QImage img(800, 600, QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addPolygon(outline());
  shape.closeSubpath();
  p.fillPath(shape, kFrame);
  p.setClipPath(shape);
  // Stroked on the outline and clipped to it, a pen of width 2w paints a band
  // w wide inside the edge.
  p.strokePath(shape, QPen(kGoldDeep, 16, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.strokePath(shape, QPen(kFrame, 14, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.strokePath(shape, QPen(kGold, 4, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.setClipping(false);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(kGoldDeep);
  p.setBrush(Qt::NoBrush);
  p.drawRect(19, 32, 779 - 19, 534 - 32);  // the content's edge
  // Rows of dots mark the two drag handles: upper left and lower right.
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kGold);
  for (int i = 0; i < 8; ++i) {
    p.drawEllipse(QPointF(13, 60 + i * 8), 1.4, 1.4);
    p.drawEllipse(QPointF(792, 400 + i * 8), 1.4, 1.4);
  }
  return img;
}

QImage render(const SkinPicture& pic, const QImage& frame) {
  QImage img;
  if (pic.glyph == Glyph::Frame || pic.glyph == Glyph::SizeGrip) {
    img = frame.copy(pic.frameX, pic.frameY, pic.width, pic.height);
  } else {
    img = QImage(pic.width, pic.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(isBitmap(pic) ? kFrame : QColor(Qt::transparent));
  }
  if (pic.glyph != Glyph::Frame) {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (pic.glyph == Glyph::SizeGrip)
      paintGrip(p, pic);
    else
      paintButton(p, pic);
  }
  // Bitmaps are written as 24-bit files; PNGs keep their transparency.
  return img.convertToFormat(isBitmap(pic) ? QImage::Format_RGB888 : QImage::Format_ARGB32);
}

QString stateName(Look look) {
  switch (look) {
    case Look::Single: return "single";
    case Look::Normal: return "normal";
    case Look::Hover: return "hover";
    case Look::Pressed: return "pressed";
    case Look::Active: return "active";
  }
  return {};
}

// The button a picture belongs to: its path without the state letter
// ("Buttons/Window/Close001" for Close001_B.bmp, "System/HB001" for HB001A.PNG).
QString setName(const SkinPicture& pic) {
  QString stem = QFileInfo(pic.file).completeBaseName();
  if (pic.look != Look::Single) {
    stem.chop(1);
    if (stem.endsWith('_')) stem.chop(1);
  }
  return QString("%1/%2").arg(pic.group, stem);
}

int writeSkin(const QString& folder) {
  const QImage frame = paintFrame();
  QString manifest;
  QTextStream out(&manifest);
  out << "# The pictures of the Gold skin: path, width, height, button, state.\n";
  for (const SkinPicture& pic : skinPictures()) {
    const QString rel = QString("%1/%2").arg(pic.group, pic.file);
    const QString path = folder + "/" + rel;
    if (!QDir().mkpath(QFileInfo(path).path())) {
      std::fprintf(stderr, "skingen: cannot create the folder of %s\n", qPrintable(path));
      return 1;
    }
    if (!render(pic, frame).save(path, isBitmap(pic) ? "BMP" : "PNG")) {
      std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
      return 1;
    }
    out << rel << '\t' << pic.width << '\t' << pic.height << '\t' << setName(pic) << '\t'
        << stateName(pic.look) << '\n';
  }
  out.flush();
  QSaveFile file(folder + "/manifest.txt");
  if (!file.open(QIODevice::WriteOnly) || file.write(manifest.toUtf8()) < 0 || !file.commit()) {
    std::fprintf(stderr, "skingen: cannot write %s/manifest.txt\n", qPrintable(folder));
    return 1;
  }
  return 0;
}

// The frame put together the way the main window shows it at 800 x 600, with
// its buttons at their places, over a cream page.
QImage assembledWindow(const QImage& frame, const std::map<QString, QImage>& pictures) {
  QImage img = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  p.fillRect(QRect(20, 33, 759, 501), QColor(0xf0, 0xfb, 0xff));
  const auto put = [&](const char* name, int x, int y) { p.drawImage(x, y, pictures.at(name)); };
  put("Buttons/Window/Minimize001_A.bmp", 800 - 85, 4);
  put("Buttons/Window/Close001_B.bmp", 800 - 58, 4);
  const char* navigate[] = {"Check001_A",       "PrintPage001_A",    "Stop001_C",
                            "RefreshPage001_A", "PreviousPage001_B", "NextPage001_A"};
  for (int i = 0; i < 6; ++i)
    put(qPrintable(QString("Buttons/Navigate/%1.bmp").arg(navigate[i])), 800 - 354 + 52 * i, 534 + 12);
  for (const SkinPicture& pic : skinPictures())
    if (pic.glyph == Glyph::SizeGrip)
      put(qPrintable(QString("%1/%2").arg(pic.group, pic.file)), pic.frameX, pic.frameY);
  return img;
}

int writeSheet(const QString& target) {
  const QImage frame = paintFrame();
  std::map<QString, QImage> pictures;
  std::vector<std::pair<QString, std::vector<const SkinPicture*>>> sets;  // in table order
  for (const SkinPicture& pic : skinPictures()) {
    pictures[QString("%1/%2").arg(pic.group, pic.file)] = render(pic, frame);
    if (pic.glyph == Glyph::Frame) continue;
    const QString set = setName(pic);
    if (sets.empty() || sets.back().first != set) sets.push_back({set, {}});
    sets.back().second.push_back(&pic);
  }

  const int cellW = 190, cellH = 92, columns = 7;
  const int rows = (int(sets.size()) + columns - 1) / columns;
  QImage sheet(columns * cellW + 20, 620 + rows * cellH, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(QColor(0x58, 0x58, 0x58));
  QPainter p(&sheet);
  p.drawImage(10, 10, assembledWindow(frame, pictures));
  QFont font("DejaVu Sans");
  font.setPixelSize(10);
  p.setFont(font);
  for (int i = 0; i < int(sets.size()); ++i) {
    const int x0 = 10 + (i % columns) * cellW, y0 = 620 + (i / columns) * cellH;
    // Bitmaps sit on the frame; PNG buttons of the tools window on cream.
    const bool bitmap = isBitmap(*sets[i].second.front());
    p.fillRect(QRect(x0 + 2, y0 + 2, cellW - 4, cellH - 4), bitmap ? kFrame : QColor(0xf0, 0xfb, 0xff));
    int x = x0 + 8;
    for (const SkinPicture* pic : sets[i].second) {
      const QImage& img = pictures.at(QString("%1/%2").arg(pic->group, pic->file));
      p.drawImage(x, y0 + 8, img);
      x += img.width() + 6;
    }
    p.setPen(bitmap ? kGold : Qt::black);
    p.drawText(QRect(x0 + 6, y0 + cellH - 22, cellW - 12, 16), Qt::AlignLeft, sets[i].first);
  }
  p.end();
  return sheet.save(target, "PNG") ? 0 : 1;
}

}  // namespace
}  // namespace skingen

int main(int argc, char** argv) {
  if (argc == 3 && QString(argv[1]) == "--sheet") {
    // The sheet's captions need fonts, so it runs as a GUI application
    // (offscreen unless told otherwise).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return skingen::writeSheet(QString::fromLocal8Bit(argv[2]));
  }
  if (argc == 3 && QString(argv[1]) == "--icon")
    return skingen::writeProgramIcon(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: skingen <skin folder> | skingen --sheet <file.png> | skingen --icon <file.ico>\n");
    return 2;
  }
  return skingen::writeSkin(QString::fromLocal8Bit(argv[1]));
}
