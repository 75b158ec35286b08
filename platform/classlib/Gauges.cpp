#include "platform/classlib/Gauges.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

TGauge::TGauge(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + csOpaque);
  SetBounds(0, 0, 100, 100);
}

void TGauge::SetBackColor(TColor value) {
  if (backColor_ == value) return;
  backColor_ = value;
  Invalidate();
}

void TGauge::SetBorderStyle(TBorderStyle value) {
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  Invalidate();
}

void TGauge::SetForeColor(TColor value) {
  if (foreColor_ == value) return;
  foreColor_ = value;
  Invalidate();
}

void TGauge::SetKind(TGaugeKind value) {
  if (kind_ == value) return;
  kind_ = value;
  Invalidate();
}

void TGauge::SetShowText(bool value) {
  if (showText_ == value) return;
  showText_ = value;
  Invalidate();
}

void TGauge::SetMinValue(int value) {
  if (value == minValue_) return;
  if (value > maxValue_ && !Loading())
    throw EInvalidOperation(
        QStringLiteral("Value must be between %1 and %2").arg(-2147483647 - 1).arg(maxValue_));
  minValue_ = value;
  if (progress_ < value) progress_ = value;
  Invalidate();
}

void TGauge::SetMaxValue(int value) {
  if (value == maxValue_) return;
  if (value < minValue_ && !Loading())
    throw EInvalidOperation(QStringLiteral("Value must be between %1 and %2").arg(minValue_).arg(2147483647));
  maxValue_ = value;
  if (progress_ > value) progress_ = value;
  Invalidate();
}

void TGauge::SetProgress(int value) {
  value = std::clamp(value, minValue_, std::max(minValue_, maxValue_));
  if (value == progress_) return;
  const int before = PercentDone();
  progress_ = value;
  if (PercentDone() != before) Invalidate();
}

int TGauge::PercentDone() const {
  const qint64 range = qint64(maxValue_) - minValue_;
  if (range <= 0) return 0;
  return int((qint64(progress_) - minValue_) * 100 / range);
}

void TGauge::Paint() {
  QPainter* p = Canvas()->GetHandle();
  if (!p) return;
  p->save();
  QRect r(0, 0, Width(), Height());
  if (borderStyle_ == bsSingle) {
    p->fillRect(r, Qt::black);
    r.adjust(1, 1, -1, -1);
  }
  const QColor back = TColorToQColor(backColor_);
  const QColor fore = TColorToQColor(foreColor_);
  const int percent = PercentDone();
  if (kind_ != gkPie && kind_ != gkNeedle) p->fillRect(r, back);
  switch (kind_) {
    case gkText: break;
    case gkHorizontalBar:
      p->fillRect(QRect(r.left(), r.top(), r.width() * percent / 100, r.height()), fore);
      break;
    case gkVerticalBar: {
      // Filled from the bottom up.
      const int h = r.height() * percent / 100;
      p->fillRect(QRect(r.left(), r.bottom() + 1 - h, r.width(), h), fore);
      break;
    }
    case gkPie: {
      p->fillRect(r, TColorToQColor(Color()));
      p->setRenderHint(QPainter::Antialiasing);
      p->setPen(Qt::black);
      p->setBrush(back);
      const QRectF ellipse = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
      p->drawEllipse(ellipse);
      if (percent > 0) {
        p->setBrush(fore);
        // From twelve o'clock, clockwise.
        p->drawPie(ellipse, 90 * 16, -percent * 360 * 16 / 100);
      }
      break;
    }
    case gkNeedle: {
      p->fillRect(r, TColorToQColor(Color()));
      p->setRenderHint(QPainter::Antialiasing);
      // A half disc standing on the bottom edge; the needle turns from the
      // left (0%) over the top to the right (100%).
      const QRectF disc(r.left(), r.top(), r.width(), 2.0 * r.height());
      p->setPen(Qt::black);
      p->setBrush(back);
      p->drawPie(disc.adjusted(0.5, 0.5, -0.5, -0.5), 0, 180 * 16);
      const QPointF centre(disc.center().x(), r.bottom());
      const double angle = M_PI * (1.0 - percent / 100.0);
      const QPointF tip(centre.x() + std::cos(angle) * r.width() / 2.0,
                        centre.y() - std::sin(angle) * r.height());
      p->setPen(QPen(fore, 2));
      p->drawLine(centre, tip);
      break;
    }
  }
  if (showText_) {
    p->setFont(Font()->ToQFont());
    const QColor text = TColorToQColor(Font()->GetColor());
    p->setPen(text.isValid() ? text : QColor(Qt::black));
    p->drawText(r, Qt::AlignCenter, QStringLiteral("%1%").arg(percent));
  }
  p->restore();
}

void InitializeGauges() {
  static bool done = false;
  if (done) return;
  done = true;
  InitializeControls();
  RegisterClass<TGauge>();
}
