#include "platform/classlib/ImgList.h"

#include <algorithm>

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

void TImageList::Changed() {
  if (OnChange) OnChange(this);
}

void TImageList::Assign(TPersistent* source) {
  if (auto* list = qobject_cast<TImageList*>(source)) {
    width_ = list->GetWidth();
    height_ = list->GetHeight();
    images_ = list->images();
    source_ = nullptr;
    Changed();
    return;
  }
  TComponent::Assign(source);
}

void TImageList::SetHandle(HIMAGELIST value) {
  TImageList* list = reinterpret_cast<TImageList*>(value);
  // A chain of shared lists ends at the list that holds the pictures.
  while (list && list->source_) list = list->source_;
  if (list == this) list = nullptr;
  source_ = list;
  Changed();
}

void TImageList::SetSize(int width, int height) {
  if (source_) return source_->SetSize(width, height);
  width = std::max(1, width);
  height = std::max(1, height);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  images_.clear();
  Changed();
}

void TImageList::SetWidth(int value) { SetSize(value, height_); }

void TImageList::SetHeight(int value) { SetSize(width_, value); }

int TImageList::AddStrip(const QImage& strip, const QImage& mask, bool useMask, TColor maskColor) {
  if (source_) return source_->AddStrip(strip, mask, useMask, maskColor);
  if (strip.isNull()) return -1;
  const QImage source = strip.convertToFormat(QImage::Format_ARGB32);
  const QImage maskImage = mask.isNull() ? QImage() : mask.convertToFormat(QImage::Format_RGB32);
  const QRgb key = TColorToQColor(maskColor).rgb() & 0xFFFFFF;
  const int first = Count();
  const int count = std::max(1, source.width() / width_);
  for (int i = 0; i < count; ++i) {
    // Parts beyond the bitmap are transparent.
    QImage picture = source.copy(i * width_, 0, width_, height_);
    const QImage pictureMask = maskImage.isNull() ? QImage() : maskImage.copy(i * width_, 0, width_, height_);
    for (int y = 0; y < height_; ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
      for (int x = 0; x < width_; ++x) {
        const bool clear = !pictureMask.isNull() ? qGray(pictureMask.pixel(x, y)) >= 128
                                                 : useMask && (line[x] & 0xFFFFFF) == key;
        if (clear) line[x] = 0;
      }
    }
    images_.push_back(picture);
  }
  Changed();
  return first;
}

int TImageList::Add(TBitmap* image, TBitmap* mask) {
  if (!image || image->GetEmpty()) return -1;
  return AddStrip(image->ToQImage(), mask ? mask->ToQImage() : QImage(), false, clNone);
}

int TImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->GetEmpty()) return -1;
  if (maskColor == clDefault) {
    const QImage pixels = image->ToQImage();
    maskColor = QColorToTColor(QColor(pixels.pixel(0, pixels.height() - 1)).toRgb());
  }
  return AddStrip(image->ToQImage(), QImage(), true, maskColor);
}

int TImageList::AddIcon(TIcon* icon) {
  if (source_) return source_->AddIcon(icon);
  if (!icon || icon->GetEmpty()) return -1;
  // An icon of several sizes gives its picture of the list's size (or the
  // nearest), not its first one scaled.
  TIcon sized;
  sized.Assign(icon);
  sized.SetSize(width_, height_);
  QImage image = sized.ToQImage().convertToFormat(QImage::Format_ARGB32);
  if (image.width() != width_ || image.height() != height_)
    image = image.scaled(width_, height_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  images_.push_back(image);
  Changed();
  return Count() - 1;
}

void TImageList::Delete(int index) {
  if (source_) return source_->Delete(index);
  if (index == -1) {
    Clear();
    return;
  }
  if (index < 0 || index >= Count()) throw EInvalidOperation(QStringLiteral("Invalid ImageList Index"));
  images_.erase(images_.begin() + index);
  Changed();
}

void TImageList::Clear() {
  if (source_) return source_->Clear();
  if (images_.empty()) return;
  images_.clear();
  Changed();
}

QImage TImageList::GetImage(int index) const {
  if (index < 0 || index >= Count()) return QImage();
  return images()[size_t(index)];
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index) {
  if (!canvas || index < 0 || index >= Count()) return;
  canvas->DrawQImage(Bounds(x, y, GetWidth(), GetHeight()), images()[size_t(index)]);
}

bool TImageList::GetBitmap(int index, TBitmap* image) const {
  if (!image || index < 0 || index >= Count()) return false;
  image->FromQImage(images()[size_t(index)]);
  return true;
}

bool TImageList::GetIcon(int index, TIcon* icon) const {
  if (!icon || index < 0 || index >= Count()) return false;
  icon->FromQImage(images()[size_t(index)]);
  return true;
}
