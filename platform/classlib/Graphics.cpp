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

namespace {

// a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) { return int(std::llround(double(a) * double(b) / double(c))); }

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

bool IdentToCursor(const String& ident, int& cursor) { return IdentToValue(CursorIdents(), ident, cursor); }

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
  for (const TGraphicsIdent& e : ColorIdents())
    RegisterIntegerIdents(QStringLiteral("TColor"), {{e.Name, e.Value}});
  for (const TGraphicsIdent& e : CursorIdents())
    RegisterIntegerIdents(QStringLiteral("TCursor"), {{e.Name, e.Value}});
}

// ---------------------------------------------------------------- font, brush, pen

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TFont::TFont(QObject* parent) : TGraphicsObject(parent) {}

TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
}

void TFont::Changed() {
  FreeHandle();
  TGraphicsObject::Changed();
}

HFONT TFont::GetHandle() {
  if (handle_) return handle_;
  LOGFONTW log;
  log.lfHeight = height_;
  log.lfWeight = style_.Contains(fsBold) ? 700 : 400;
  log.lfItalic = style_.Contains(fsItalic);
  log.lfUnderline = style_.Contains(fsUnderline);
  log.lfStrikeOut = style_.Contains(fsStrikeOut);
  log.lfCharSet = charset_;
  log.lfPitchAndFamily = pitch_ == fpFixed      ? FIXED_PITCH
                         : pitch_ == fpVariable ? VARIABLE_PITCH
                                                : DEFAULT_PITCH;
  const std::u16string face = name_.left(LF_FACESIZE_W - 1).toStdU16String();
  std::copy(face.begin(), face.end(), log.lfFaceName);
  handle_ = CreateFontIndirectW(&log);
  return handle_;
}

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
  static const Qt::BrushStyle styles[] = {Qt::SolidPattern, Qt::NoBrush,         Qt::HorPattern,
                                          Qt::VerPattern,   Qt::FDiagPattern,    Qt::BDiagPattern,
                                          Qt::CrossPattern, Qt::DiagCrossPattern};
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
