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

// ---------------------------------------------------------------- canvas

TCanvas::TCanvas(QObject* parent)
    : TPersistent(parent), font_(new TFont(this)), brush_(new TBrush(this)), pen_(new TPen(this)) {}

TCanvas::~TCanvas() { ReleaseHandle(); }

void TCanvas::SetDevice(QPaintDevice* device) {
  ReleaseHandle();
  external_ = nullptr;
  device_ = device;
}

void TCanvas::SetPainter(QPainter* painter) {
  ReleaseHandle();
  external_ = painter;
}

QPaintDevice* TCanvas::Device() const { return external_ ? external_->device() : device_; }

void TCanvas::ReleaseHandle() {
  if (own_) {
    if (own_->isActive()) own_->end();
    own_.reset();
  }
}

bool TCanvas::HandleAllocated() const { return external_ || own_; }

QPainter* TCanvas::ActivePainter() {
  if (external_) return external_;
  if (own_) return own_.get();
  if (!device_ || device_->width() <= 0 || device_->height() <= 0) return nullptr;
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(device_)) return nullptr;
  own_ = std::move(painter);
  return own_.get();
}

QPainter* TCanvas::RequirePainter() {
  if (!external_ && !device_) throw EInvalidOperation(QStringLiteral("Canvas does not allow drawing"));
  return ActivePainter();
}

QPainter* TCanvas::GetHandle() {
  QPainter* p = ActivePainter();
  if (p) {
    ApplyPenAndBrush(p);
    p->setFont(font_->ToQFont());
  }
  return p;
}

void TCanvas::ApplyPenAndBrush(QPainter* p) {
  QPen pen = pen_->ToQPen();
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (pen_->GetMode()) {
    case pmBlack: mode = QPainter::RasterOp_ClearDestination; break;
    case pmWhite: mode = QPainter::RasterOp_SetDestination; break;
    case pmNop: mode = QPainter::CompositionMode_Destination; break;
    case pmNot: mode = QPainter::RasterOp_NotDestination; break;
    case pmNotCopy: mode = QPainter::RasterOp_NotSource; break;
    case pmMergePenNot: mode = QPainter::RasterOp_SourceOrNotDestination; break;
    case pmMaskPenNot: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case pmMergeNotPen: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    case pmMaskNotPen: mode = QPainter::RasterOp_NotSourceAndDestination; break;
    case pmMerge: mode = QPainter::RasterOp_SourceOrDestination; break;
    case pmNotMerge: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case pmMask: mode = QPainter::RasterOp_SourceAndDestination; break;
    case pmNotMask: mode = QPainter::RasterOp_NotSourceOrNotDestination; break;
    case pmXor: mode = QPainter::RasterOp_SourceXorDestination; break;
    case pmNotXor: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case pmCopy: break;
  }
  // Raster operations are only available on images; elsewhere the pen copies.
  if (mode != QPainter::CompositionMode_SourceOver &&
      !p->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
    mode = QPainter::CompositionMode_SourceOver;
  p->setCompositionMode(mode);
  p->setPen(pen);
  p->setBrush(brush_->ToQBrush());
  p->setRenderHint(QPainter::Antialiasing, false);
}

void TCanvas::ApplyCopyMode(QPainter* p) {
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p->setRenderHint(QPainter::Antialiasing, false);
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::FillRect(const TRect& rect) {
  QPainter* p = RequirePainter();
  if (!p || brush_->GetStyle() == bsClear) return;
  Changing();
  ApplyCopyMode(p);
  p->fillRect(rect.ToQRect(), brush_->ToQBrush());
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  QPainter* p = RequirePainter();
  if (!p || rect.IsEmpty()) return;
  Changing();
  ApplyCopyMode(p);
  const QColor c = TColorToQColor(brush_->GetColor());
  const int w = rect.Width(), h = rect.Height();
  p->fillRect(QRect(rect.Left, rect.Top, w, 1), c);
  p->fillRect(QRect(rect.Left, rect.Bottom - 1, w, 1), c);
  p->fillRect(QRect(rect.Left, rect.Top, 1, h), c);
  p->fillRect(QRect(rect.Right - 1, rect.Top, 1, h), c);
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  QPainter* p = RequirePainter();
  if (!p) return;
  Changing();
  ApplyPenAndBrush(p);
  // A stroked QRect covers its size plus one pixel; the shape ends before (x2, y2).
  p->drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  QPainter* p = RequirePainter();
  if (!p) return;
  Changing();
  ApplyPenAndBrush(p);
  p->drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  Changed();
}

void TCanvas::MoveTo(int x, int y) { penPos_ = TPoint(x, y); }

void TCanvas::DrawLineExcludingEnd(QPainter* p, const QPoint& from, const QPoint& to) {
  const int dx = to.x() - from.x(), dy = to.y() - from.y();
  const int steps = std::max(std::abs(dx), std::abs(dy));
  if (steps == 0) return;
  if (pen_->GetWidth() > 1) {
    p->drawLine(from, to);
    return;
  }
  // The last pixel before the end point along the line.
  const QPoint last(from.x() + int(std::lround(double(dx) * (steps - 1) / steps)),
                    from.y() + int(std::lround(double(dy) * (steps - 1) / steps)));
  p->drawLine(from, last);
}

void TCanvas::LineTo(int x, int y) {
  QPainter* p = RequirePainter();
  const TPoint from = penPos_;
  penPos_ = TPoint(x, y);
  if (!p) return;
  Changing();
  ApplyPenAndBrush(p);
  DrawLineExcludingEnd(p, from.ToQPoint(), QPoint(x, y));
  Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  QPainter* p = RequirePainter();
  if (!p || points.empty()) return;
  Changing();
  ApplyPenAndBrush(p);
  QPolygon polygon;
  for (const TPoint& pt : points) polygon << pt.ToQPoint();
  p->drawPolygon(polygon);
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  QPainter* p = RequirePainter();
  if (!p || points.size() < 2) return;
  Changing();
  ApplyPenAndBrush(p);
  for (size_t i = 1; i < points.size(); ++i)
    DrawLineExcludingEnd(p, points[i - 1].ToQPoint(), points[i].ToQPoint());
  Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
  QPainter* p = RequirePainter();
  if (!p) return;
  Changing();
  ApplyCopyMode(p);
  p->setFont(font_->ToQFont());
  const QFontMetrics fm = p->fontMetrics();
  const int width = fm.horizontalAdvance(text);
  if (brush_->GetStyle() != bsClear)
    p->fillRect(QRect(x, y, width, fm.height()), TColorToQColor(brush_->GetColor()));
  p->setPen(TColorToQColor(font_->GetColor()));
  p->drawText(QPoint(x, y + fm.ascent()), text);
  penPos_ = TPoint(x + width, y);
  Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const String& text) {
  QPainter* p = RequirePainter();
  if (!p) return;
  Changing();
  p->save();
  ApplyCopyMode(p);
  p->setClipRect(rect.ToQRect(), p->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  if (brush_->GetStyle() != bsClear) p->fillRect(rect.ToQRect(), TColorToQColor(brush_->GetColor()));
  p->setFont(font_->ToQFont());
  p->setPen(TColorToQColor(font_->GetColor()));
  p->drawText(QPoint(x, y + p->fontMetrics().ascent()), text);
  p->restore();
  Changed();
}

int TCanvas::TextWidth(const String& text) {
  QPaintDevice* device = Device();
  const QFont font = font_->ToQFont();
  return device ? QFontMetrics(font, device).horizontalAdvance(text)
                : QFontMetrics(font).horizontalAdvance(text);
}

int TCanvas::TextHeight(const String& text) {
  QPaintDevice* device = Device();
  const QFont font = font_->ToQFont();
  return device ? QFontMetrics(font, device).height() : QFontMetrics(font).height();
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->GetEmpty()) return;
  graphic->Draw(this, Bounds(x, y, graphic->GetWidth(), graphic->GetHeight()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic || graphic->GetEmpty()) return;
  graphic->Draw(this, rect);
}

void TCanvas::DrawQImage(const TRect& rect, const QImage& image) {
  QPainter* p = RequirePainter();
  if (!p || image.isNull() || rect.IsEmpty()) return;
  Changing();
  p->save();
  ApplyCopyMode(p);
  // Reductions (thumbnails) are smoothed; enlargements keep sharp pixels.
  p->setRenderHint(QPainter::SmoothPixmapTransform,
                   rect.Width() < image.width() || rect.Height() < image.height());
  p->drawImage(rect.ToQRect(), image);
  p->restore();
  Changed();
}

QImage* TCanvas::DeviceImage() const {
  QPaintDevice* device = Device();
  if (device && device->devType() == QInternal::Image) return static_cast<QImage*>(device);
  return nullptr;
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  if (!canvas) return;
  QImage part;
  // A copy, so that copying within one bitmap reads the pixels as they were.
  if (QImage* image = canvas->DeviceImage()) {
    part = image->copy(source.ToQRect());
  } else if (QPaintDevice* device = canvas->Device(); device && device->devType() == QInternal::Pixmap) {
    part = static_cast<QPixmap*>(device)->copy(source.ToQRect()).toImage();
  }
  if (part.isNull()) return;
  DrawQImage(dest, part);
}

TColor TCanvas::GetPixel(int x, int y) {
  const QImage* image = DeviceImage();
  if (!image || !image->valid(x, y)) return -1;
  return RgbToTColor(image->pixel(x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  QPainter* p = RequirePainter();
  if (!p) return;
  Changing();
  if (QImage* image = DeviceImage()) {
    if (image->valid(x, y)) image->setPixelColor(x, y, TColorToQColor(color));
  } else {
    ApplyCopyMode(p);
    p->fillRect(QRect(x, y, 1, 1), TColorToQColor(color));
  }
  Changed();
}
