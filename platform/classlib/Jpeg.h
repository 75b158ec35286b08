#pragma once
// JPEG pictures over the JPEG library. The compressed data and the decoded
// pixels are kept side by side: loading keeps the file's bytes (saving writes
// them back unchanged) and decodes at the chosen Scale; assigning a bitmap
// keeps its pixels and compresses them when the data is needed, at the
// CompressionQuality in effect then.
#include "platform/classlib/Graphics.h"

class TJPEGImage : public TGraphic {
  Q_OBJECT
  Q_PROPERTY(int CompressionQuality READ GetCompressionQuality WRITE SetCompressionQuality)
  Q_PROPERTY(bool Grayscale READ GetGrayscale WRITE SetGrayscale)
  Q_PROPERTY(TJPEGPerformance Performance READ GetPerformance WRITE SetPerformance)
  Q_PROPERTY(TJPEGScale Scale READ GetScale WRITE SetScale)

 public:
  enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
  Q_ENUM(TJPEGScale)
  enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
  Q_ENUM(TJPEGPerformance)

  Q_INVOKABLE explicit TJPEGImage(QObject* parent = nullptr);
  // From another JPEG image: its data and settings. From any other graphic:
  // its pixels, compressed when needed.
  void Assign(TPersistent* source) override;

  // The size of the decoded picture (after Scale).
  int GetWidth() const override;
  int GetHeight() const override;
  // Raise EInvalidGraphicOperation: a JPEG image's size follows its data.
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  bool GetEmpty() const override { return data_.isEmpty() && bitmap_.isNull(); }

  // 1..100 (values outside are clipped); 90 by default.
  int GetCompressionQuality() const { return quality_; }
  void SetCompressionQuality(int value);
  // Decoding at 1/1, 1/2, 1/4 or 1/8 of the size.
  TJPEGScale GetScale() const { return scale_; }
  void SetScale(TJPEGScale value);
  // Decode (and compress) in shades of grey.
  bool GetGrayscale() const { return grayscale_; }
  void SetGrayscale(bool value);
  // jpBestSpeed decodes with the faster, less exact methods.
  TJPEGPerformance GetPerformance() const { return performance_; }
  void SetPerformance(TJPEGPerformance value);

  // Compresses the pixels now, at the current quality.
  void Compress();
  // Makes sure the pixels / the compressed data exist. Bad data raises
  // EInvalidGraphic ("JPEG error #<code of the JPEG library>").
  void DIBNeeded() const;
  void JPEGNeeded();

  // Reads the data and decodes it; bad or truncated data raises
  // EInvalidGraphic and leaves the image as it was.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  QImage ToQImage() const override;

 private:
  void DropBitmapIfDerived();

  QByteArray data_;
  mutable QImage bitmap_;
  // The pixels were assigned (the data is made from them), not decoded.
  bool bitmapIsSource_ = false;
  int quality_ = 90;
  TJPEGScale scale_ = jsFullSize;
  bool grayscale_ = false;
  TJPEGPerformance performance_ = jpBestQuality;
};
using TJPEGScale = TJPEGImage::TJPEGScale;
using TJPEGPerformance = TJPEGImage::TJPEGPerformance;
using enum TJPEGImage::TJPEGScale;
using enum TJPEGImage::TJPEGPerformance;
