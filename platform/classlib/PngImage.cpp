#include "platform/classlib/PngImage.h"

#include <QBuffer>
#include <QImageWriter>

TPngImage::TPngImage(QObject* parent) : TGraphic(parent) {}

void TPngImage::Assign(TPersistent* source) {
  if (!source) {
    FromQImage(QImage());
  } else if (auto* graphic = qobject_cast<TGraphic*>(source)) {
    FromQImage(graphic->ToQImage());
  } else {
    TGraphic::Assign(source);
  }
}

void TPngImage::SetWidth(int value) {
  if (value != GetWidth())
    throw EInvalidGraphicOperation(QStringLiteral("Cannot change the size of a PNG image"));
}

void TPngImage::SetHeight(int value) {
  if (value != GetHeight())
    throw EInvalidGraphicOperation(QStringLiteral("Cannot change the size of a PNG image"));
}

void TPngImage::FromQImage(const QImage& image) {
  // Straight (not premultiplied) alpha, as the file stores it.
  if (image.isNull())
    image_ = QImage();
  else
    image_ = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  Changed();
}

void TPngImage::LoadFromStream(TStream& stream) {
  const QByteArray bytes = stream.ReadAll();
  QImage image;
  if (!bytes.startsWith("\x89PNG\r\n\x1a\n") || !image.loadFromData(bytes, "PNG"))
    throw EInvalidGraphic(QStringLiteral("PNG image is not valid"));
  FromQImage(image);
}

void TPngImage::SaveToStream(TStream& stream) {
  if (image_.isNull()) throw EInvalidGraphicOperation(QStringLiteral("Cannot save an empty PNG image"));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(image_))
    throw EInvalidGraphic(QStringLiteral("PNG image could not be written: %1").arg(writer.errorString()));
  stream.WriteBytes(bytes);
}
