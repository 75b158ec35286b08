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

#include "platform/classlib/Jpeg.h"
#include "platform/classlib/PngImage.h"
#include "platform/classlib/Streaming.h"

// ---------------------------------------------------------------- picture

TPicture::TPicture(QObject* parent) : TPersistent(parent) {}

TPicture::~TPicture() { delete graphic_; }

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Replace(TGraphic* graphic) {
  delete graphic_;
  graphic_ = graphic;
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

template <class T>
T* TPicture::ForceType() {
  if (auto* g = qobject_cast<T*>(graphic_)) return g;
  auto* g = new T;
  Replace(g);
  return g;
}

TBitmap* TPicture::Bitmap() { return ForceType<TBitmap>(); }

TIcon* TPicture::Icon() { return ForceType<TIcon>(); }

void TPicture::SetGraphic(TGraphic* graphic) {
  if (graphic == graphic_) return;
  if (!graphic) {
    Replace(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy(qobject_cast<TGraphic*>(graphic->metaObject()->newInstance()));
  if (!copy) throw EInvalidGraphic(QStringLiteral("Cannot copy a %1").arg(graphic->ClassName()));
  copy->Assign(graphic);
  Replace(copy.release());
}

void TPicture::Assign(TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
  } else if (auto* picture = qobject_cast<TPicture*>(source)) {
    SetGraphic(picture->graphic_);
  } else if (auto* graphic = qobject_cast<TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::AssignTo(TPersistent* dest) {
  if (graphic_) {
    dest->Assign(graphic_);
    return;
  }
  TPersistent::AssignTo(dest);
}

int TPicture::GetWidth() const { return graphic_ ? graphic_->GetWidth() : 0; }

int TPicture::GetHeight() const { return graphic_ ? graphic_->GetHeight() : 0; }

void TPicture::LoadFromFile(const String& fileName) {
  const String ext = LowerCase(ExtractFileExt(fileName));
  std::unique_ptr<TGraphic> graphic;
  if (ext == QLatin1String(".bmp"))
    graphic = std::make_unique<TBitmap>();
  else if (ext == QLatin1String(".png"))
    graphic = std::make_unique<TPngImage>();
  else if (ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg") || ext == QLatin1String(".jpe") ||
           ext == QLatin1String(".jfif"))
    graphic = std::make_unique<TJPEGImage>();
  else if (ext == QLatin1String(".ico"))
    graphic = std::make_unique<TIcon>();
  else
    throw EInvalidGraphic(Format(QStringLiteral("Unknown picture file extension (%s)"), {ext}));
  graphic->LoadFromFile(fileName);
  Replace(graphic.release());
}

void TPicture::SaveToFile(const String& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::LoadFromStream(TStream& stream) {
  const QByteArray bytes = stream.ReadAll();
  std::unique_ptr<TGraphic> graphic;
  if (bytes.startsWith("BM"))
    graphic = std::make_unique<TBitmap>();
  else if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
    graphic = std::make_unique<TPngImage>();
  else if (bytes.startsWith("\xFF\xD8\xFF"))
    graphic = std::make_unique<TJPEGImage>();
  else if (bytes.startsWith(QByteArray("\0\0\1\0", 4)))
    graphic = std::make_unique<TIcon>();
  else
    throw EInvalidGraphic(QStringLiteral("Unsupported picture format"));
  TMemoryStream memory;
  memory.WriteBytes(bytes);
  memory.SetPosition(0);
  graphic->LoadFromStream(memory);
  Replace(graphic.release());
}

void TPicture::SaveToStream(TStream& stream) {
  if (graphic_) graphic_->SaveToStream(stream);
}
