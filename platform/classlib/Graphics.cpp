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

namespace {

// a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  return int(std::llround(double(a) * double(b) / double(c)));
}

// ---------------------------------------------------------------- system colours

// Where a system colour comes from: a role of the application's palette, or a
// fixed value for the colours Qt has no role for.
struct SystemColor {
  bool fromPalette;
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
  QRgb fixed;
};

constexpr SystemColor pal(QPalette::ColorRole role, QPalette::ColorGroup group = QPalette::Active) {
  return {true, group, role, 0};
}
constexpr SystemColor fixed(int r, int g, int b) {
  return {false, QPalette::Active, QPalette::NoRole, qRgb(r, g, b)};
}

// Indexed by the low byte of the system colour.
const SystemColor kSystemColors[] = {
    pal(QPalette::Button),                          // 0 scroll bar
    fixed(0, 0, 0),                                 // 1 desktop background
    pal(QPalette::Highlight),                       // 2 active caption
    fixed(191, 205, 219),                           // 3 inactive caption
    pal(QPalette::Window),                          // 4 menu
    pal(QPalette::Base),                            // 5 window
    pal(QPalette::Shadow),                          // 6 window frame
    pal(QPalette::WindowText),                      // 7 menu text
    pal(QPalette::Text),                            // 8 window text
    pal(QPalette::HighlightedText),                 // 9 caption text
    pal(QPalette::Window),                          // 10 active border
    pal(QPalette::Window),                          // 11 inactive border
    pal(QPalette::Dark),                            // 12 application work space
    pal(QPalette::Highlight),                       // 13 highlight
    pal(QPalette::HighlightedText),                 // 14 highlighted text
    pal(QPalette::Button),                          // 15 button face
    pal(QPalette::Dark),                            // 16 button shadow
    pal(QPalette::Text, QPalette::Disabled),        // 17 grey text
    pal(QPalette::ButtonText),                      // 18 button text
    pal(QPalette::WindowText, QPalette::Inactive),  // 19 inactive caption text
    pal(QPalette::Light),                           // 20 button highlight
    pal(QPalette::Shadow),                          // 21 3-D dark shadow
    pal(QPalette::Midlight),                        // 22 3-D light
    pal(QPalette::ToolTipText),                     // 23 tool tip text
    pal(QPalette::ToolTipBase),                     // 24 tool tip background
    fixed(0, 0, 0),                                 // 25 (unused)
    pal(QPalette::Link),                            // 26 hot-tracked item
    fixed(185, 209, 234),                           // 27 gradient of the active caption
    fixed(215, 228, 242),                           // 28 gradient of the inactive caption
    pal(QPalette::Highlight),                       // 29 menu highlight
    pal(QPalette::Window),                          // 30 menu bar
};

QRgb SystemColorRgb(int index) {
  if (index < 0 || index >= int(std::size(kSystemColors))) return qRgb(0, 0, 0);
  const SystemColor& c = kSystemColors[index];
  if (!c.fromPalette) return c.fixed;
  const QPalette palette = qGuiApp ? QGuiApplication::palette() : QPalette();
  return palette.color(c.group, c.role).rgb();
}

TColor RgbToTColor(QRgb rgb) { return RGBToColor(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

bool IdentToValue(const std::vector<TGraphicsIdent>& table, const String& ident, int& value) {
  for (const TGraphicsIdent& e : table) {
    if (SameText(ident, QLatin1String(e.Name))) {
      value = e.Value;
      return true;
    }
  }
  return false;
}

bool ValueToIdent(const std::vector<TGraphicsIdent>& table, int value, String& ident) {
  for (const TGraphicsIdent& e : table) {
    if (e.Value == value) {
      ident = QLatin1String(e.Name);
      return true;
    }
  }
  return false;
}

// A number in any of the notations StrToInt64 reads, kept to 32 bits so that
// "$FF000015" is the system colour it spells.
bool TryStrToInt32Bits(const String& s, int& value) {
  Int64 v = 0;
  if (!TryStrToInt64(s, v) || v < INT32_MIN || v > Int64(UINT32_MAX)) return false;
  value = std::int32_t(std::uint32_t(v));
  return true;
}

}  // namespace

// ---------------------------------------------------------------- colours

TColor ColorToRGB(TColor color) {
  if (color < 0) return RgbToTColor(SystemColorRgb(color & 0xFF));
  return color;
}

QColor TColorToQColor(TColor color) {
  if (color == clNone) return QColor(Qt::transparent);
  if (color == clDefault) return QColor();
  const TColor rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor QColorToTColor(const QColor& color) {
  if (!color.isValid() || color.alpha() == 0) return clNone;
  return RgbToTColor(color.rgb());
}

const std::vector<TGraphicsIdent>& ColorIdents() {
  static const std::vector<TGraphicsIdent> table = {
      {clBlack, "clBlack"},
      {clMaroon, "clMaroon"},
      {clGreen, "clGreen"},
      {clOlive, "clOlive"},
      {clNavy, "clNavy"},
      {clPurple, "clPurple"},
      {clTeal, "clTeal"},
      {clGray, "clGray"},
      {clSilver, "clSilver"},
      {clRed, "clRed"},
      {clLime, "clLime"},
      {clYellow, "clYellow"},
      {clBlue, "clBlue"},
      {clFuchsia, "clFuchsia"},
      {clAqua, "clAqua"},
      {clWhite, "clWhite"},
      {clMoneyGreen, "clMoneyGreen"},
      {clSkyBlue, "clSkyBlue"},
      {clCream, "clCream"},
      {clMedGray, "clMedGray"},
      {clActiveBorder, "clActiveBorder"},
      {clActiveCaption, "clActiveCaption"},
      {clAppWorkSpace, "clAppWorkSpace"},
      {clBackground, "clBackground"},
      {clBtnFace, "clBtnFace"},
      {clBtnHighlight, "clBtnHighlight"},
      {clBtnShadow, "clBtnShadow"},
      {clBtnText, "clBtnText"},
      {clCaptionText, "clCaptionText"},
      {clDefault, "clDefault"},
      {clGradientActiveCaption, "clGradientActiveCaption"},
      {clGradientInactiveCaption, "clGradientInactiveCaption"},
      {clGrayText, "clGrayText"},
      {clHighlight, "clHighlight"},
      {clHighlightText, "clHighlightText"},
      {clHotLight, "clHotLight"},
      {clInactiveBorder, "clInactiveBorder"},
      {clInactiveCaption, "clInactiveCaption"},
      {clInactiveCaptionText, "clInactiveCaptionText"},
      {clInfoBk, "clInfoBk"},
      {clInfoText, "clInfoText"},
      {clMenu, "clMenu"},
      {clMenuBar, "clMenuBar"},
      {clMenuHighlight, "clMenuHighlight"},
      {clMenuText, "clMenuText"},
      {clNone, "clNone"},
      {clScrollBar, "clScrollBar"},
      {cl3DDkShadow, "cl3DDkShadow"},
      {cl3DLight, "cl3DLight"},
      {clWindow, "clWindow"},
      {clWindowFrame, "clWindowFrame"},
      {clWindowText, "clWindowText"},
  };
  return table;
}

bool IdentToColor(const String& ident, TColor& color) {
  int value = 0;
  if (!IdentToValue(ColorIdents(), ident, value)) return false;
  color = value;
  return true;
}

bool ColorToIdent(TColor color, String& ident) { return ValueToIdent(ColorIdents(), color, ident); }

String ColorToString(TColor color) {
  String ident;
  if (ColorToIdent(color, ident)) return ident;
  return QStringLiteral("$") + IntToHex(Int64(std::uint32_t(color)), 8);
}

TColor StringToColor(const String& s) {
  TColor color = 0;
  if (IdentToColor(s, color) || TryStrToInt32Bits(s, color)) return color;
  throw EConvertError(Format(QStringLiteral("'%s' is not a valid integer value"), {s}));
}

// ---------------------------------------------------------------- cursors

const std::vector<TGraphicsIdent>& CursorIdents() {
  static const std::vector<TGraphicsIdent> table = {
      {crDefault, "crDefault"},
      {crNone, "crNone"},
      {crArrow, "crArrow"},
      {crCross, "crCross"},
      {crIBeam, "crIBeam"},
      {crSizeNESW, "crSizeNESW"},
      {crSizeNS, "crSizeNS"},
      {crSizeNWSE, "crSizeNWSE"},
      {crSizeWE, "crSizeWE"},
      {crUpArrow, "crUpArrow"},
      {crHourGlass, "crHourGlass"},
      {crDrag, "crDrag"},
      {crNoDrop, "crNoDrop"},
      {crHSplit, "crHSplit"},
      {crVSplit, "crVSplit"},
      {crMultiDrag, "crMultiDrag"},
      {crSQLWait, "crSQLWait"},
      {crNo, "crNo"},
      {crAppStart, "crAppStart"},
      {crHelp, "crHelp"},
      {crHandPoint, "crHandPoint"},
      {crSizeAll, "crSizeAll"},
      // Read only: the value is written under its newer name above.
      {crSize, "crSize"},
  };
  return table;
}

bool IdentToCursor(const String& ident, int& cursor) {
  return IdentToValue(CursorIdents(), ident, cursor);
}

bool CursorToIdent(int cursor, String& ident) { return ValueToIdent(CursorIdents(), cursor, ident); }

String CursorToString(TCursor cursor) {
  String ident;
  if (CursorToIdent(cursor, ident)) return ident;
  return IntToStr(cursor);
}

TCursor StringToCursor(const String& s) {
  int value = 0;
  if (IdentToCursor(s, value)) return TCursor(value);
  return TCursor(StrToInt(s));
}

QCursor CursorToQCursor(TCursor cursor) {
  switch (cursor) {
    case crNone: return QCursor(Qt::BlankCursor);
    case crCross: return QCursor(Qt::CrossCursor);
    case crIBeam: return QCursor(Qt::IBeamCursor);
    case crSizeNESW: return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS: return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE: return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE: return QCursor(Qt::SizeHorCursor);
    case crUpArrow: return QCursor(Qt::UpArrowCursor);
    case crHourGlass:
    case crSQLWait: return QCursor(Qt::WaitCursor);
    case crDrag: return QCursor(Qt::DragMoveCursor);
    case crMultiDrag: return QCursor(Qt::DragCopyCursor);
    case crNoDrop:
    case crNo: return QCursor(Qt::ForbiddenCursor);
    case crHSplit: return QCursor(Qt::SplitHCursor);
    case crVSplit: return QCursor(Qt::SplitVCursor);
    case crAppStart: return QCursor(Qt::BusyCursor);
    case crHelp: return QCursor(Qt::WhatsThisCursor);
    case crHandPoint: return QCursor(Qt::PointingHandCursor);
    case crSizeAll: return QCursor(Qt::SizeAllCursor);
    default: return QCursor(Qt::ArrowCursor);
  }
}

void RegisterGraphicsIdents() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  for (const TGraphicsIdent& e : ColorIdents()) RegisterIntegerIdents(QStringLiteral("TColor"), {{e.Name, e.Value}});
  for (const TGraphicsIdent& e : CursorIdents()) RegisterIntegerIdents(QStringLiteral("TCursor"), {{e.Name, e.Value}});
}

// ---------------------------------------------------------------- font, brush, pen

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TFont::TFont(QObject* parent) : TGraphicsObject(parent) {}

void TFont::Assign(TPersistent* source) {
  if (auto* f = qobject_cast<TFont*>(source)) {
    name_ = f->name_;
    height_ = f->height_;
    color_ = f->color_;
    style_ = f->style_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

void TFont::SetName(const String& value) {
  if (value.isEmpty() || value == name_) return;
  name_ = value;
  Changed();
}

void TFont::SetHeight(int value) {
  if (value == height_) return;
  height_ = value;
  Changed();
}

int TFont::GetSize() const { return -MulDiv(height_, 72, PixelsPerInch); }

void TFont::SetSize(int value) { SetHeight(-MulDiv(value, PixelsPerInch, 72)); }

void TFont::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TFont::SetCharset(int value) {
  if (TFontCharset(value) == charset_) return;
  charset_ = TFontCharset(value);
  Changed();
}

void TFont::SetPitch(TFontPitch value) {
  if (value == pitch_) return;
  pitch_ = value;
  Changed();
}

QFont TFont::ToQFont() const {
  QFont f(name_);
  f.setPixelSize(std::max(1, std::abs(height_)));
  f.setBold(style_.Contains(fsBold));
  f.setItalic(style_.Contains(fsItalic));
  f.setUnderline(style_.Contains(fsUnderline));
  f.setStrikeOut(style_.Contains(fsStrikeOut));
  if (pitch_ == fpFixed) {
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter);
  }
  return f;
}

void TBrush::Assign(TPersistent* source) {
  if (auto* b = qobject_cast<TBrush*>(source)) {
    color_ = b->color_;
    style_ = b->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

void TBrush::SetColor(TColor value) {
  if (value == color_ && style_ != bsClear) return;
  color_ = value;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

QBrush TBrush::ToQBrush() const {
  static const Qt::BrushStyle styles[] = {Qt::SolidPattern,  Qt::NoBrush,    Qt::HorPattern,
                                          Qt::VerPattern,    Qt::FDiagPattern, Qt::BDiagPattern,
                                          Qt::CrossPattern,  Qt::DiagCrossPattern};
  if (style_ == bsClear) return QBrush(Qt::NoBrush);
  return QBrush(TColorToQColor(color_), styles[style_]);
}

void TPen::Assign(TPersistent* source) {
  if (auto* p = qobject_cast<TPen*>(source)) {
    color_ = p->color_;
    mode_ = p->mode_;
    style_ = p->style_;
    width_ = p->width_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(source);
}

void TPen::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TPen::SetMode(TPenMode value) {
  if (value == mode_) return;
  mode_ = value;
  Changed();
}

void TPen::SetStyle(TPenStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TPen::SetWidth(int value) {
  value = std::max(1, value);
  if (value == width_) return;
  width_ = value;
  Changed();
}

QPen TPen::ToQPen() const {
  Qt::PenStyle style = Qt::SolidLine;
  switch (style_) {
    case psDash: style = Qt::DashLine; break;
    case psDot: style = Qt::DotLine; break;
    case psDashDot: style = Qt::DashDotLine; break;
    case psDashDotDot: style = Qt::DashDotDotLine; break;
    case psClear: return QPen(Qt::NoPen);
    default: break;
  }
  QPen pen(TColorToQColor(color_), width_, style);
  // Thin lines cover their end pixels; thick ones are rounded at the ends.
  pen.setCapStyle(width_ > 1 ? Qt::RoundCap : Qt::SquareCap);
  pen.setJoinStyle(width_ > 1 ? Qt::RoundJoin : Qt::MiterJoin);
  return pen;
}

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
  if (mode != QPainter::CompositionMode_SourceOver && !p->paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
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
  return device ? QFontMetrics(font, device).horizontalAdvance(text) : QFontMetrics(font).horizontalAdvance(text);
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
  p->setRenderHint(QPainter::SmoothPixmapTransform, rect.Width() < image.width() || rect.Height() < image.height());
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

// ---------------------------------------------------------------- graphic

void TGraphic::SetSize(int width, int height) {
  SetWidth(width);
  SetHeight(height);
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::SetModified(bool value) {
  if (value)
    Changed();
  else
    modified_ = false;
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const String& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& fileName) {
  // Encoded first and written in one go, so a failure leaves no half-written file.
  TMemoryStream stream;
  SaveToStream(stream);
  if (!WriteFileAtomic(fileName, stream.Bytes()))
    throw EFCreateError(Format(QStringLiteral("Cannot create file \"%s\""), {ExpandFileName(fileName)}));
}

void TGraphic::Draw(TCanvas* canvas, const TRect& rect) { canvas->DrawQImage(rect, ToQImage()); }

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
  const QImage source =
      bits == 32 ? image_.convertToFormat(QImage::Format_ARGB32) : image_.convertToFormat(QImage::Format_RGB32);
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
