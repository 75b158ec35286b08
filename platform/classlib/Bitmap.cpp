#include "platform/classlib/Graphics.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QImageWriter>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/classlib/Graphics_p.h"
#include "platform/classlib/Jpeg.h"
#include "platform/classlib/PngImage.h"
#include "platform/classlib/Streaming.h"

using namespace graphics_p;

// ---------------------------------------------------------------- bitmap

namespace {

QImage::Format QImageFormatOf(TPixelFormat format) {
  return format == pf32bit ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

quint32 ReadLE32(const QByteArray& bytes, int offset) {
  quint32 v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | quint8(bytes[offset + i]);
  return v;
}

void WriteLE16(QByteArray& out, quint16 v) {
  out.append(char(v & 0xFF));
  out.append(char(v >> 8));
}

void WriteLE32(QByteArray& out, quint32 v) {
  for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

TBitmap::TBitmap(QObject* parent) : TGraphic(parent) {}

TBitmap::~TBitmap() { Release(); }

void TBitmap::Release() const {
  if (canvas_) canvas_->ReleaseHandle();
}

void TBitmap::SetImage(const QImage& image, TPixelFormat format) {
  Release();
  const QImage::Format f = QImageFormatOf(format);
  // Always a copy of its own: the source may be under someone's painter.
  image_ = image.isNull() ? QImage() : image.format() == f ? image.copy() : image.convertToFormat(f);
  width_ = image_.width();
  height_ = image_.height();
  pixelFormat_ = format;
  Changed();
}

void TBitmap::Assign(TPersistent* source) {
  if (!source) {
    SetImage(QImage(), pf24bit);
    return;
  }
  if (auto* b = qobject_cast<TBitmap*>(source)) {
    transparent_ = b->transparent_;
    transparentColor_ = b->transparentColor_;
    SetImage(b->image_, b->pixelFormat_);
    return;
  }
  if (auto* g = qobject_cast<TGraphic*>(source)) {
    FromQImage(g->ToQImage());
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::SetWidth(int value) { SetSize(value, height_); }

void TBitmap::SetHeight(int value) { SetSize(width_, value); }

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == width_ && height == height_) return;
  Release();
  width_ = width;
  height_ = height;
  if (width == 0 || height == 0) {
    image_ = QImage();
  } else {
    QImage resized(width, height, QImageFormatOf(pixelFormat_));
    if (resized.isNull())
      throw EOutOfResources(QStringLiteral("Out of system resources: bitmap %1 x %2").arg(width).arg(height));
    resized.fill(Qt::white);
    if (!image_.isNull()) {
      QPainter p(&resized);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(0, 0, image_);
    }
    image_ = resized;
  }
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  if (value == pfDevice) value = pf24bit;
  if (value != pf24bit && value != pf32bit)
    throw EInvalidGraphicOperation(QStringLiteral("Pixel format not supported"));
  if (value == pixelFormat_) return;
  SetImage(image_, value);
}

TColor TBitmap::GetTransparentColor() const {
  if (transparentColor_ != clDefault) return transparentColor_;
  if (image_.isNull()) return clDefault;
  return RgbToTColor(image_.pixel(0, image_.height() - 1));
}

void TBitmap::SetTransparentColor(TColor value) {
  if (value == transparentColor_) return;
  transparentColor_ = value;
  Changed();
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = new TCanvas(this);
    canvas_->SetDevice(&image_);
    canvas_->OnChange = [this](TObject*) { Changed(); };
  }
  return canvas_;
}

void TBitmap::LoadFromStream(TStream& stream) {
  const QByteArray bytes = stream.ReadAll();
  const auto invalid = [] { return EInvalidGraphic(QStringLiteral("Bitmap image is not valid")); };
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') throw invalid();
  TPixelFormat format = pf24bit;
  if (ReadLE32(bytes, 14) >= 40) {
    if (bytes.size() < 54) throw invalid();
    const std::int32_t width = std::int32_t(ReadLE32(bytes, 18));
    const std::int32_t height = std::int32_t(ReadLE32(bytes, 22));
    const int bitCount = quint8(bytes[28]) | (quint8(bytes[29]) << 8);
    const quint32 compression = ReadLE32(bytes, 30);
    if (bitCount == 32) format = pf32bit;
    if (width == 0 || height == 0) {
      SetImage(QImage(), format);
      return;
    }
    // Uncompressed rows must all be there: the image reader would fill what
    // is missing and call it a picture.
    const qint64 rowSize = ((qint64(std::abs(width)) * bitCount + 31) / 32) * 4;
    if ((compression == 0 || compression == 3) &&
        qint64(ReadLE32(bytes, 10)) + rowSize * std::abs(qint64(height)) > bytes.size())
      throw invalid();
  }
  QImage image;
  if (!image.loadFromData(bytes, "BMP")) throw invalid();
  SetImage(image, format);
}

void TBitmap::SaveToStream(TStream& stream) {
  const int width = image_.width(), height = image_.height();
  const int bits = pixelFormat_ == pf32bit ? 32 : 24;
  const int rowSize = ((width * bits + 31) / 32) * 4;
  const quint32 imageSize = quint32(rowSize) * quint32(height);
  QByteArray out;
  out.reserve(54 + int(imageSize));
  // BITMAPFILEHEADER
  out.append("BM", 2);
  WriteLE32(out, 54 + imageSize);
  WriteLE32(out, 0);
  WriteLE32(out, 54);
  // BITMAPINFOHEADER: bottom-up rows, no compression.
  WriteLE32(out, 40);
  WriteLE32(out, quint32(width));
  WriteLE32(out, quint32(height));
  WriteLE16(out, 1);
  WriteLE16(out, quint16(bits));
  WriteLE32(out, 0);
  WriteLE32(out, imageSize);
  WriteLE32(out, 3780);  // 96 pixels per inch
  WriteLE32(out, 3780);
  WriteLE32(out, 0);
  WriteLE32(out, 0);
  const QImage source = bits == 32 ? image_.convertToFormat(QImage::Format_ARGB32)
                                   : image_.convertToFormat(QImage::Format_RGB32);
  QByteArray row(rowSize, '\0');
  for (int y = height - 1; y >= 0; --y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    char* d = row.data();
    for (int x = 0; x < width; ++x) {
      *d++ = char(qBlue(line[x]));
      *d++ = char(qGreen(line[x]));
      *d++ = char(qRed(line[x]));
      if (bits == 32) *d++ = char(qAlpha(line[x]));
    }
    out.append(row);
  }
  stream.WriteBytes(out);
}

QImage TBitmap::ToQImage() const { return image_.copy(); }

void TBitmap::FromQImage(const QImage& image) {
  SetImage(image, image.hasAlphaChannel() ? pf32bit : pf24bit);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
  if (!transparent_) {
    // Drawn into itself, the bitmap is read from a copy.
    canvas->DrawQImage(rect, canvas->Device() == &image_ ? image_.copy() : image_);
    return;
  }
  QImage masked = image_.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = TColorToQColor(GetTransparentColor()).rgb() & 0xFFFFFF;
  for (int y = 0; y < masked.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
    for (int x = 0; x < masked.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
  }
  canvas->DrawQImage(rect, masked);
}

// ---------------------------------------------------------------- icon

TIcon::TIcon(QObject* parent) : TGraphic(parent) {}

void TIcon::Assign(TPersistent* source) {
  if (!source) {
    images_.clear();
    data_.clear();
    width_ = height_ = 0;
    Changed();
    return;
  }
  if (auto* icon = qobject_cast<TIcon*>(source)) {
    images_ = icon->images_;
    data_ = icon->data_;
    width_ = icon->width_;
    height_ = icon->height_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

int TIcon::GetWidth() const {
  if (width_ > 0) return width_;
  return images_.empty() ? 0 : images_.front().width();
}

int TIcon::GetHeight() const {
  if (height_ > 0) return height_;
  return images_.empty() ? 0 : images_.front().height();
}

void TIcon::SetWidth(int value) { SetSize(value, height_); }

void TIcon::SetHeight(int value) { SetSize(width_, value); }

void TIcon::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  Changed();
}

const QImage* TIcon::BestImage() const {
  if (images_.empty()) return nullptr;
  const int w = GetWidth(), h = GetHeight();
  const QImage* best = nullptr;
  for (const QImage& image : images_) {
    if (image.width() == w && image.height() == h) return &image;
    // Otherwise the smallest image at least as large, else the largest.
    const bool large = image.width() >= w && image.height() >= h;
    if (!best) {
      best = &image;
      continue;
    }
    const bool bestLarge = best->width() >= w && best->height() >= h;
    if (large && (!bestLarge || image.width() < best->width())) best = &image;
    if (!large && !bestLarge && image.width() > best->width()) best = &image;
  }
  return best;
}

QImage TIcon::ToQImage() const {
  const QImage* image = BestImage();
  if (!image) return QImage();
  const int w = GetWidth(), h = GetHeight();
  if (image->width() == w && image->height() == h) return *image;
  return image->scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QIcon TIcon::ToQIcon() const {
  QIcon icon;
  for (const QImage& image : images_) icon.addPixmap(QPixmap::fromImage(image));
  return icon;
}

void TIcon::FromQImage(const QImage& image) {
  images_.clear();
  if (!image.isNull()) images_.push_back(image.convertToFormat(QImage::Format_ARGB32));
  data_.clear();
  width_ = height_ = 0;
  Changed();
}

void TIcon::LoadFromStream(TStream& stream) {
  QByteArray bytes = stream.ReadAll();
  const auto invalid = [] { return EInvalidGraphic(QStringLiteral("Icon image is not valid")); };
  // ICONDIR: reserved 0, type 1, at least one entry.
  if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0 ||
      (bytes[4] == 0 && bytes[5] == 0))
    throw invalid();
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ico");
  std::vector<QImage> images;
  const int count = reader.imageCount();
  for (int i = 0; i < count; ++i) {
    if (!reader.jumpToImage(i)) break;
    QImage image = reader.read();
    if (image.isNull()) throw invalid();
    images.push_back(image.convertToFormat(QImage::Format_ARGB32));
  }
  if (images.empty()) throw invalid();
  images_ = std::move(images);
  data_ = bytes;
  Changed();
}

void TIcon::SaveToStream(TStream& stream) {
  if (!data_.isEmpty()) {
    stream.WriteBytes(data_);
    return;
  }
  if (images_.empty()) throw EInvalidGraphicOperation(QStringLiteral("Cannot save an empty icon"));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "ico");
  if (!writer.write(ToQImage())) throw EInvalidGraphic(QStringLiteral("Icon image is not valid"));
  stream.WriteBytes(bytes);
}
