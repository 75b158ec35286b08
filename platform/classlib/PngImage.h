#pragma once
// PNG pictures, read and written through Qt's image support (libpng and
// zlib underneath). Transparency is kept.
#include "platform/classlib/Graphics.h"

class TPngImage : public TGraphic {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TPngImage(QObject* parent = nullptr);
  // Takes the pixels of any graphic (a bitmap's alpha channel too).
  void Assign(TPersistent* source) override;

  int GetWidth() const override { return image_.width(); }
  int GetHeight() const override { return image_.height(); }
  // The size of a PNG image follows its pixels: raises EInvalidGraphicOperation.
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  bool GetEmpty() const override { return image_.isNull(); }
  // Whether the image has an alpha channel.
  bool GetTransparent() const override { return image_.hasAlphaChannel(); }

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  QImage ToQImage() const override { return image_; }
  void FromQImage(const QImage& image);

 private:
  QImage image_;
};
