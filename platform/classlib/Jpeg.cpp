#include "platform/classlib/Jpeg.h"

#include <QPainter>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// The JPEG library reports errors through error_exit, which must not return.
// Ours jumps back to the setjmp of the step that was running; that step
// returns false and its caller raises EInvalidGraphic. The steps below keep
// no object with a destructor on their stack, so the jump skips nothing, and
// the library's memory is freed by jpeg_destroy in the owners' destructors.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

void EmitMessage(j_common_ptr cinfo, int level) {
  // The library pads data that ends early with grey and carries on; a picture
  // cut short is broken, so that warning fails the decoding.
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

void InitErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
}

EInvalidGraphic JpegError(const ErrorManager& err) {
  return EInvalidGraphic(Format(QStringLiteral("JPEG error #%d"), {err.pub.msg_code}));
}

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool created = false;
  Decoder() {
    std::memset(&cinfo, 0, sizeof cinfo);
    InitErrorManager(err);
    cinfo.err = &err.pub;
  }
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

bool StartDecoding(Decoder* d, const QByteArray* data, int scaleDenom, bool gray, bool fast) {
  if (setjmp(d->err.jump)) return false;
  d->created = true;
  jpeg_create_decompress(&d->cinfo);
  jpeg_mem_src(&d->cinfo, reinterpret_cast<const unsigned char*>(data->constData()),
               static_cast<unsigned long>(data->size()));
  jpeg_read_header(&d->cinfo, TRUE);
  d->cinfo.scale_num = 1;
  d->cinfo.scale_denom = static_cast<unsigned int>(scaleDenom);
  if (gray)
    d->cinfo.out_color_space = JCS_GRAYSCALE;
  else if (d->cinfo.jpeg_color_space == JCS_CMYK || d->cinfo.jpeg_color_space == JCS_YCCK)
    d->cinfo.out_color_space = JCS_CMYK;
  else
    d->cinfo.out_color_space = JCS_RGB;
  d->cinfo.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
  d->cinfo.do_fancy_upsampling = fast ? FALSE : TRUE;
  jpeg_start_decompress(&d->cinfo);
  return true;
}

bool ReadRows(Decoder* d, unsigned char* bits, qsizetype bytesPerLine) {
  if (setjmp(d->err.jump)) return false;
  while (d->cinfo.output_scanline < d->cinfo.output_height) {
    JSAMPROW row = bits + qsizetype(d->cinfo.output_scanline) * bytesPerLine;
    jpeg_read_scanlines(&d->cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

QImage Decode(const QByteArray& data, int scaleDenom, bool gray, bool fast) {
  Decoder d;
  if (!StartDecoding(&d, &data, scaleDenom, gray, fast)) throw JpegError(d.err);
  const int width = int(d.cinfo.output_width), height = int(d.cinfo.output_height);
  const int components = d.cinfo.output_components;
  const QImage::Format format = components == 1   ? QImage::Format_Grayscale8
                                : components == 3 ? QImage::Format_RGB888
                                                  : QImage::Format_RGB32;
  QImage image(width, height, format);
  if (image.isNull())
    throw EInvalidGraphic(QStringLiteral("JPEG image is too large (%1 x %2)").arg(width).arg(height));
  if (!ReadRows(&d, image.bits(), image.bytesPerLine())) throw JpegError(d.err);
  if (components == 4) {
    // CMYK; files with an Adobe marker store the inks inverted.
    const bool inverted = d.cinfo.saw_Adobe_marker;
    for (int y = 0; y < height; ++y) {
      uchar* p = image.scanLine(y);
      for (int x = 0; x < width; ++x, p += 4) {
        int c = p[0], m = p[1], yy = p[2], k = p[3];
        if (!inverted) c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
      }
    }
    return image;
  }
  return image.convertToFormat(QImage::Format_RGB32);
}

struct Encoder {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  bool created = false;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  Encoder() {
    std::memset(&cinfo, 0, sizeof cinfo);
    InitErrorManager(err);
    cinfo.err = &err.pub;
  }
  ~Encoder() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
};

// `rgb` holds rows of red, green and blue bytes.
bool Compress(Encoder* e, const QImage* rgb, int quality, bool gray) {
  if (setjmp(e->err.jump)) return false;
  e->created = true;
  jpeg_create_compress(&e->cinfo);
  jpeg_mem_dest(&e->cinfo, &e->out, &e->outSize);
  e->cinfo.image_width = JDIMENSION(rgb->width());
  e->cinfo.image_height = JDIMENSION(rgb->height());
  e->cinfo.input_components = 3;
  e->cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&e->cinfo);
  jpeg_set_quality(&e->cinfo, quality, TRUE);
  if (gray) jpeg_set_colorspace(&e->cinfo, JCS_GRAYSCALE);
  jpeg_start_compress(&e->cinfo, TRUE);
  while (e->cinfo.next_scanline < e->cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb->constScanLine(int(e->cinfo.next_scanline)));
    jpeg_write_scanlines(&e->cinfo, &row, 1);
  }
  jpeg_finish_compress(&e->cinfo);
  return true;
}

// JPEG has no transparency: transparent parts show on white.
QImage Opaque(const QImage& image) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
  QImage opaque(image.size(), QImage::Format_RGB32);
  opaque.fill(Qt::white);
  QPainter p(&opaque);
  p.drawImage(0, 0, image);
  return opaque;
}

QByteArray Encode(const QImage& image, int quality, bool gray) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  Encoder e;
  if (!Compress(&e, &rgb, quality, gray)) throw JpegError(e.err);
  return QByteArray(reinterpret_cast<const char*>(e.out), qsizetype(e.outSize));
}

int ScaleDenominator(TJPEGScale scale) { return 1 << int(scale); }

}  // namespace

TJPEGImage::TJPEGImage(QObject* parent) : TGraphic(parent) {}

void TJPEGImage::Assign(TPersistent* source) {
  if (!source) {
    data_.clear();
    bitmap_ = QImage();
    bitmapIsSource_ = false;
    Changed();
  } else if (auto* jpeg = qobject_cast<TJPEGImage*>(source)) {
    data_ = jpeg->data_;
    bitmap_ = jpeg->bitmap_;
    bitmapIsSource_ = jpeg->bitmapIsSource_;
    quality_ = jpeg->quality_;
    scale_ = jpeg->scale_;
    grayscale_ = jpeg->grayscale_;
    performance_ = jpeg->performance_;
    Changed();
  } else if (auto* graphic = qobject_cast<TGraphic*>(source)) {
    const QImage image = graphic->ToQImage();
    data_.clear();
    bitmap_ = image.isNull() ? QImage() : Opaque(image);
    bitmapIsSource_ = !bitmap_.isNull();
    Changed();
  } else {
    TGraphic::Assign(source);
  }
}

int TJPEGImage::GetWidth() const {
  if (GetEmpty()) return 0;
  DIBNeeded();
  return bitmap_.width();
}

int TJPEGImage::GetHeight() const {
  if (GetEmpty()) return 0;
  DIBNeeded();
  return bitmap_.height();
}

void TJPEGImage::SetWidth(int value) {
  if (value != GetWidth())
    throw EInvalidGraphicOperation(QStringLiteral("Cannot change the size of a JPEG image"));
}

void TJPEGImage::SetHeight(int value) {
  if (value != GetHeight())
    throw EInvalidGraphicOperation(QStringLiteral("Cannot change the size of a JPEG image"));
}

void TJPEGImage::DropBitmapIfDerived() {
  if (!bitmapIsSource_ && !data_.isEmpty()) bitmap_ = QImage();
}

void TJPEGImage::SetCompressionQuality(int value) {
  value = std::clamp(value, 1, 100);
  if (value == quality_) return;
  quality_ = value;
  // Data made from assigned pixels is made again at the new quality.
  if (bitmapIsSource_) data_.clear();
}

void TJPEGImage::SetScale(TJPEGScale value) {
  if (value == scale_) return;
  scale_ = value;
  DropBitmapIfDerived();
  Changed();
}

void TJPEGImage::SetGrayscale(bool value) {
  if (value == grayscale_) return;
  grayscale_ = value;
  if (bitmapIsSource_)
    data_.clear();
  else
    DropBitmapIfDerived();
  Changed();
}

void TJPEGImage::SetPerformance(TJPEGPerformance value) {
  if (value == performance_) return;
  performance_ = value;
  DropBitmapIfDerived();
  Changed();
}

void TJPEGImage::DIBNeeded() const {
  if (!bitmap_.isNull() || data_.isEmpty()) return;
  bitmap_ = Decode(data_, ScaleDenominator(scale_), grayscale_, performance_ == jpBestSpeed);
}

void TJPEGImage::JPEGNeeded() {
  if (!data_.isEmpty() || bitmap_.isNull()) return;
  Compress();
}

void TJPEGImage::Compress() {
  if (bitmap_.isNull()) DIBNeeded();
  if (bitmap_.isNull()) return;
  data_ = Encode(bitmap_, quality_, grayscale_);
  bitmapIsSource_ = true;
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  const QByteArray bytes = stream.ReadAll();
  QImage image = Decode(bytes, ScaleDenominator(scale_), grayscale_, performance_ == jpBestSpeed);
  data_ = bytes;
  bitmap_ = image;
  bitmapIsSource_ = false;
  Changed();
}

void TJPEGImage::SaveToStream(TStream& stream) {
  JPEGNeeded();
  if (data_.isEmpty()) throw EInvalidGraphicOperation(QStringLiteral("Cannot save an empty JPEG image"));
  stream.WriteBytes(data_);
}

QImage TJPEGImage::ToQImage() const {
  DIBNeeded();
  return bitmap_;
}
