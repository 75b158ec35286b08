#include "ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QtEndian>

#include <cstdio>

namespace skingen {
namespace {

const QColor kNight(0x0b, 0x14, 0x2c);
const QColor kDusk(0x24, 0x3a, 0x6c);
const QColor kGold(0xe0, 0xb4, 0x40);
const QColor kGoldLight(0xff, 0xe2, 0x8a);

void put16(QByteArray& out, int value) {
  char b[2];
  qToLittleEndian<quint16>(quint16(value), b);
  out.append(b, 2);
}

void put32(QByteArray& out, quint32 value) {
  char b[4];
  qToLittleEndian<quint32>(value, b);
  out.append(b, 4);
}

// One icon image as an ICO file stores it: a 32-bit bitmap of twice the
// height (colour rows bottom up), then the 1-bit mask (set: transparent).
QByteArray iconImageBytes(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const int w = image.width(), h = image.height();
  const int maskRow = ((w + 31) / 32) * 4;
  QByteArray out;
  put32(out, 40);
  put32(out, quint32(w));
  put32(out, quint32(2 * h));
  put16(out, 1);   // planes
  put16(out, 32);  // bits per pixel
  put32(out, 0);   // no compression
  put32(out, quint32(w * h * 4 + maskRow * h));
  for (int i = 0; i < 4; ++i) put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) put32(out, line[x]);  // B, G, R, A in the file's order
  }
  for (int y = h - 1; y >= 0; --y) {
    QByteArray row(maskRow, '\0');
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x)
      if (qAlpha(line[x]) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    out.append(row);
  }
  return out;
}

}  // namespace

const std::vector<int>& programIconSizes() {
  static const std::vector<int> sizes{16, 24, 32, 48, 64, 128};
  return sizes;
}

QImage paintProgramIcon(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 100.0, size / 100.0);
  // Small sizes get a broader ring and moon so that they still read.
  const bool small = size < 24;
  const double ring = small ? 9 : 6;

  QRadialGradient sky(QPointF(38, 32), 70);
  sky.setColorAt(0, kDusk);
  sky.setColorAt(1, kNight);
  QPainterPath disc;
  disc.addEllipse(QPointF(50, 50), 50 - ring / 2, 50 - ring / 2);
  p.fillPath(disc, sky);
  p.strokePath(disc, QPen(kGold, ring));

  // The crescent: one disc less another, opening to the upper right.
  QPainterPath moon;
  moon.addEllipse(QPointF(46, 52), small ? 30 : 27, small ? 30 : 27);
  QPainterPath bite;
  bite.addEllipse(QPointF(small ? 60 : 59, small ? 40 : 41), small ? 24 : 23, small ? 24 : 23);
  QLinearGradient shine(QPointF(20, 30), QPointF(60, 80));
  shine.setColorAt(0, kGoldLight);
  shine.setColorAt(1, kGold);
  p.fillPath(moon.subtracted(bite), shine);

  if (!small) {
    // A four-pointed star in the crescent's opening.
    QPainterPath star;
    const QPointF c(68, 62);
    const double r = 9, k = 2.4;
    star.moveTo(c.x(), c.y() - r);
    star.lineTo(c.x() + k, c.y() - k);
    star.lineTo(c.x() + r, c.y());
    star.lineTo(c.x() + k, c.y() + k);
    star.lineTo(c.x(), c.y() + r);
    star.lineTo(c.x() - k, c.y() + k);
    star.lineTo(c.x() - r, c.y());
    star.lineTo(c.x() - k, c.y() - k);
    star.closeSubpath();
    p.fillPath(star, kGoldLight);
  }
  p.end();
  return img.convertToFormat(QImage::Format_ARGB32);
}

bool writeProgramIcon(const QString& file) {
  const std::vector<int>& sizes = programIconSizes();
  std::vector<QByteArray> images;
  for (int size : sizes) images.push_back(iconImageBytes(paintProgramIcon(size)));
  // The directory: a header, one entry per image, then the images.
  QByteArray out;
  put16(out, 0);
  put16(out, 1);  // an icon
  put16(out, int(sizes.size()));
  quint32 offset = quint32(6 + 16 * sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    out.append(char(sizes[i]));  // width and height (all below 256)
    out.append(char(sizes[i]));
    out.append('\0');  // no palette
    out.append('\0');
    put16(out, 1);
    put16(out, 32);
    put32(out, quint32(images[i].size()));
    put32(out, offset);
    offset += quint32(images[i].size());
  }
  for (const QByteArray& image : images) out.append(image);
  QSaveFile save(file);
  if (!save.open(QIODevice::WriteOnly) || save.write(out) != out.size() || !save.commit()) {
    std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(file));
    return false;
  }
  return true;
}

}  // namespace skingen
