#pragma once
// Colours, cursors, fonts, brushes, pens, canvases and pictures of the class
// library, drawn through QPainter.
//
// A TColor is 0x00BBGGRR (red in the low byte). Negative values are system
// colours: the low byte is the index of a system colour (COLOR_BTNFACE, ...),
// resolved through the application's Qt palette.
#include <QBrush>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPolygon>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/classlib/Persistent.h"
#include "platform/classlib/TypedSet.h"
#include "platform/classlib/Types.h"

class QPainter;
class QPaintDevice;
class QIcon;

NOCTIVANE_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)

// ---------------------------------------------------------------- colours

using TColor = std::int32_t;

inline constexpr TColor clSystemColor = TColor(0xFF000000u);

inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clHotLight = clSystemColor | 26;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
inline constexpr TColor clMenuHighlight = clSystemColor | 29;
inline constexpr TColor clMenuBar = clSystemColor | 30;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLtGray = clSilver;
inline constexpr TColor clDkGray = clGray;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

constexpr TColor RGBToColor(int r, int g, int b) {
  return TColor((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }

// The 0x00BBGGRR value of a colour: system colours are looked up in the
// current palette; other values (clNone, clDefault too) come back unchanged.
TColor ColorToRGB(TColor color);
// clNone is fully transparent; clDefault is an invalid QColor (the caller's
// own default applies).
QColor TColorToQColor(TColor color);
// The colour's red, green and blue; a fully transparent or invalid colour is clNone.
TColor QColorToTColor(const QColor& color);

// Names: "clRed" for the named colours, else "$00BBGGRR" (8 hex digits).
String ColorToString(TColor color);
// A colour name (any case) or a number ("$FF", "0xFF", "255"); raises
// EConvertError for anything else.
TColor StringToColor(const String& s);
bool IdentToColor(const String& ident, TColor& color);
bool ColorToIdent(TColor color, String& ident);

// ---------------------------------------------------------------- cursors

using TCursor = std::int16_t;

inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;
// The four-headed sizing cursor under its older name: the same cursor as crSizeAll.
inline constexpr TCursor crSize = crSizeAll;

// The Qt cursor shown for a cursor value; unknown values show the arrow.
QCursor CursorToQCursor(TCursor cursor);
bool IdentToCursor(const String& ident, int& cursor);
bool CursorToIdent(int cursor, String& ident);
// "crHandPoint", or the number for a cursor without a name.
String CursorToString(TCursor cursor);
TCursor StringToCursor(const String& s);  // EConvertError when neither name nor number

// One name of an integer value, as the form-resource streaming reads and writes them.
struct TGraphicsIdent {
  int Value;
  const char* Name;
};
// The named colours and cursors, in their conventional order.
const std::vector<TGraphicsIdent>& ColorIdents();
const std::vector<TGraphicsIdent>& CursorIdents();
// Registers the colour and cursor names with the form-resource streaming
// (integer idents "TColor" and "TCursor"), so that properties of those types
// read and write by name. Called once from the start-up code; idempotent.
void RegisterGraphicsIdents();

// ---------------------------------------------------------------- font, brush, pen

// Common parent of the drawing tools: an OnChange raised by every change.
class TGraphicsObject : public TPersistent {
  Q_OBJECT
 public:
  using TPersistent::TPersistent;
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

using TFontCharset = Byte;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;
inline constexpr TFontCharset SYMBOL_CHARSET = 2;
inline constexpr TFontCharset RUSSIAN_CHARSET = 204;
inline constexpr TFontCharset OEM_CHARSET = 255;

class TFont : public TGraphicsObject {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TColor")
  Q_PROPERTY(int Charset READ GetCharset WRITE SetCharset)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)
  Q_PROPERTY(String Name READ GetName WRITE SetName)
  Q_PROPERTY(TFontPitch Pitch READ GetPitch WRITE SetPitch)
  Q_PROPERTY(int Size READ GetSize WRITE SetSize STORED false)
  Q_PROPERTY(TFontStyles Style READ GetStyle WRITE SetStyle)

 public:
  enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
  Q_ENUM(TFontStyle)
  using TFontStyles = TSet<TFontStyle>;
  enum TFontPitch { fpDefault, fpVariable, fpFixed };
  Q_ENUM(TFontPitch)

  // Pixels per inch that relate Size (points) to Height (pixels).
  static constexpr int PixelsPerInch = 96;

  // Tahoma, 8 points (Height -11), clWindowText, no style.
  explicit TFont(QObject* parent = nullptr);
  void Assign(TPersistent* source) override;

  String GetName() const { return name_; }
  void SetName(const String& value);
  // Negative: the character height without internal leading (what Size
  // measures); positive: the cell height.
  int GetHeight() const { return height_; }
  void SetHeight(int value);
  // Points: -Height * 72 / PixelsPerInch, rounded.
  int GetSize() const;
  void SetSize(int value);
  TColor GetColor() const { return color_; }
  void SetColor(TColor value);
  TFontStyles GetStyle() const { return style_; }
  void SetStyle(TFontStyles value);
  int GetCharset() const { return charset_; }
  void SetCharset(int value);
  TFontPitch GetPitch() const { return pitch_; }
  void SetPitch(TFontPitch value);

  // The Qt font of this font (pixel size |Height|).
  QFont ToQFont() const;
  // The logical font of this font for device contexts (SelectObject); the
  // font keeps it and makes a new one after a change.
  HFONT GetHandle();
  ~TFont() override;

 protected:
  void Changed() override;

 private:
  void FreeHandle();
  HFONT handle_ = nullptr;
  String name_ = QStringLiteral("Tahoma");
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
};
using TFontStyle = TFont::TFontStyle;
using TFontStyles = TFont::TFontStyles;
using TFontPitch = TFont::TFontPitch;
using enum TFont::TFontStyle;
using enum TFont::TFontPitch;

class TBrush : public TGraphicsObject {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TColor")
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(TBrushStyle Style READ GetStyle WRITE SetStyle)

 public:
  enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
  };
  Q_ENUM(TBrushStyle)

  explicit TBrush(QObject* parent = nullptr) : TGraphicsObject(parent) {}
  void Assign(TPersistent* source) override;

  TColor GetColor() const { return color_; }
  // Setting a colour makes a clear brush solid.
  void SetColor(TColor value);
  TBrushStyle GetStyle() const { return style_; }
  void SetStyle(TBrushStyle value);

  // Qt::NoBrush for bsClear.
  QBrush ToQBrush() const;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};
using TBrushStyle = TBrush::TBrushStyle;
using enum TBrush::TBrushStyle;

class TPen : public TGraphicsObject {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TColor")
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(TPenMode Mode READ GetMode WRITE SetMode)
  Q_PROPERTY(TPenStyle Style READ GetStyle WRITE SetStyle)
  Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)

 public:
  enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
  Q_ENUM(TPenStyle)
  // How the pen combines with what is already there. pmCopy draws; pmNot
  // inverts; pmXor and pmNotXor, pmMerge, pmMask, pmNotCopy combine bits (on
  // bitmaps); the others draw as pmCopy.
  enum TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
  };
  Q_ENUM(TPenMode)

  explicit TPen(QObject* parent = nullptr) : TGraphicsObject(parent) {}
  void Assign(TPersistent* source) override;

  TColor GetColor() const { return color_; }
  void SetColor(TColor value);
  TPenMode GetMode() const { return mode_; }
  void SetMode(TPenMode value);
  TPenStyle GetStyle() const { return style_; }
  void SetStyle(TPenStyle value);
  int GetWidth() const { return width_; }
  void SetWidth(int value);  // values below 1 become 1

  // Qt::NoPen for psClear.
  QPen ToQPen() const;

 private:
  TColor color_ = clBlack;
  TPenMode mode_ = pmCopy;
  TPenStyle style_ = psSolid;
  int width_ = 1;
};
using TPenStyle = TPen::TPenStyle;
using TPenMode = TPen::TPenMode;
using enum TPen::TPenStyle;
using enum TPen::TPenMode;

// ---------------------------------------------------------------- canvas

class TGraphic;

// A drawing surface over QPainter. A canvas is bound either to a paint
// device (a bitmap's QImage, a printer, a pixmap), on which it opens its own
// painter at the first drawing and closes it on ReleaseHandle, or to a painter
// that someone else opened (a widget while it paints). Coordinates and
// rectangles follow the platform's drawing rules: rectangles exclude their
// right and bottom edge, lines exclude their end point, text is placed by its
// top-left corner.
class TCanvas : public TPersistent {
  Q_OBJECT
 public:
  explicit TCanvas(QObject* parent = nullptr);
  ~TCanvas() override;

  // Binds the canvas to a device (nullptr: unbound); ends any painting.
  void SetDevice(QPaintDevice* device);
  // Paints with a painter opened by the caller (nullptr: no longer); the
  // caller ends it. Ends the canvas's own painting first.
  void SetPainter(QPainter* painter);
  QPaintDevice* Device() const;
  // Ends the canvas's own painter, so its device may be changed or read.
  void ReleaseHandle();
  bool HandleAllocated() const;
  // The device context of the canvas: its active QPainter (opened when
  // needed); other layers use it as their HDC and draw through it with the
  // canvas's current pen, brush and font applied. nullptr when the canvas
  // cannot draw (unbound or a device of no size).
  QPainter* GetHandle();

  TFont* Font() const { return font_; }
  TBrush* Brush() const { return brush_; }
  TPen* Pen() const { return pen_; }
  TPoint GetPenPos() const { return penPos_; }
  void SetPenPos(const TPoint& p) { penPos_ = p; }

  // Fills with the brush; no outline.
  void FillRect(const TRect& rect);
  // A one-pixel frame inside the rectangle in the brush's colour.
  void FrameRect(const TRect& rect);
  // Outlined with the pen, filled with the brush, within (x1, y1)-(x2, y2).
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& rect) { Ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom); }
  void MoveTo(int x, int y);
  // A line from PenPos up to (not including) (x, y), which becomes PenPos.
  void LineTo(int x, int y);
  void Polygon(const std::vector<TPoint>& points);
  // Lines through the points, the last point excluded; PenPos is unchanged.
  void Polyline(const std::vector<TPoint>& points);
  // Text at its top-left corner in the font's colour, on the brush's colour
  // unless the brush is clear. PenPos moves to the end of the text.
  void TextOut(int x, int y, const String& text);
  // As TextOut, clipped to the rectangle, which is first filled with the brush
  // unless it is clear.
  void TextRect(const TRect& rect, int x, int y, const String& text);
  int TextWidth(const String& text);
  int TextHeight(const String& text);
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& rect, TGraphic* graphic);
  // Copies `source` of another canvas's bitmap or pixmap into `dest`, scaled.
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);
  // Paints an image scaled into the rectangle (how graphics draw themselves).
  void DrawQImage(const TRect& rect, const QImage& image);

  // -1 outside the device or when the device cannot be read.
  TColor GetPixel(int x, int y);
  void SetPixel(int x, int y, TColor color);
  class PixelRef {
   public:
    operator TColor() const { return canvas_->GetPixel(x_, y_); }
    PixelRef& operator=(TColor c) {
      canvas_->SetPixel(x_, y_, c);
      return *this;
    }

   private:
    friend class TCanvas;
    PixelRef(TCanvas* c, int x, int y) : canvas_(c), x_(x), y_(y) {}
    TCanvas* canvas_;
    int x_, y_;
  };
  // canvas->Pixels(x, y) = clRed; TColor c = canvas->Pixels(x, y);
  PixelRef Pixels(int x, int y) { return PixelRef(this, x, y); }

  // Nothing to serialise between threads here; kept for callers that pair them.
  void Lock() {}
  void Unlock() {}

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changing();
  virtual void Changed();

 private:
  // The active painter, or nullptr on a device of no size. Raises
  // EInvalidOperation when the canvas is bound to nothing.
  QPainter* RequirePainter();
  QPainter* ActivePainter();
  // Pen (in the pen's mode) and brush for outlined shapes; plain drawing for the rest.
  void ApplyPenAndBrush(QPainter* p);
  void ApplyCopyMode(QPainter* p);
  void DrawLineExcludingEnd(QPainter* p, const QPoint& from, const QPoint& to);
  // The device as an image when it is one (bitmaps), else nullptr.
  QImage* DeviceImage() const;

  TFont* font_;
  TBrush* brush_;
  TPen* pen_;
  TPoint penPos_;
  QPaintDevice* device_ = nullptr;
  std::unique_ptr<QPainter> own_;
  QPainter* external_ = nullptr;
};

// ---------------------------------------------------------------- graphics

// A picture of some file format. Subclasses hold their pixels and render
// them through ToQImage; Draw paints that image into a rectangle of a canvas.
class TGraphic : public TPersistent {
  Q_OBJECT
 public:
  using TPersistent::TPersistent;

  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  virtual void SetSize(int width, int height);
  virtual bool GetEmpty() const = 0;
  virtual bool GetTransparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  bool GetModified() const { return modified_; }
  void SetModified(bool value);

  // Raise EFOpenError/EFCreateError for the file and EInvalidGraphic for bad
  // contents; a failed load leaves the graphic as it was.
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName);
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;

  // The pixels as an image (a null image when empty).
  virtual QImage ToQImage() const = 0;

  TNotifyEvent OnChange;

 protected:
  friend class TCanvas;
  // Paints the graphic scaled into `rect` of the canvas (its image, by default).
  virtual void Draw(TCanvas* canvas, const TRect& rect);
  virtual void Changed();

  bool transparent_ = false;
  bool modified_ = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// A device-independent bitmap: 24 bits per pixel (pf24bit) or 32 with alpha
// (pf32bit). New pixels are white. Files are BMP: 24-bit (or 32-bit)
// bottom-up files with a BITMAPINFOHEADER.
class TBitmap : public TGraphic {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TBitmap(QObject* parent = nullptr);
  ~TBitmap() override;
  void Assign(TPersistent* source) override;

  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  // Keeps the pixels that stay inside the new size. A bitmap with no width or
  // no height is empty but keeps the other dimension.
  void SetSize(int width, int height) override;
  bool GetEmpty() const override { return image_.isNull(); }

  TPixelFormat GetPixelFormat() const { return pixelFormat_; }
  // pf24bit, pf32bit and pfDevice (which is pf24bit); other formats raise
  // EInvalidGraphicOperation.
  void SetPixelFormat(TPixelFormat value);
  // The colour drawn as transparent when Transparent is set; clDefault (the
  // default) takes the colour of the bottom-left pixel.
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor value);

  TCanvas* Canvas();

  // Reads BMP files of 1, 4, 8, 16, 24 and 32 bits per pixel.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  QImage ToQImage() const override;
  // Takes the pixels of an image (pf32bit when it has alpha, else pf24bit).
  void FromQImage(const QImage& image);

 protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

 private:
  void Release() const;
  void SetImage(const QImage& image, TPixelFormat format);

  QImage image_;  // null while empty
  int width_ = 0;
  int height_ = 0;
  TPixelFormat pixelFormat_ = pf24bit;
  TColor transparentColor_ = clDefault;
  TCanvas* canvas_ = nullptr;
};

// An icon: the images of an ICO file, one of which (the one of the chosen
// size, or the first) is shown.
class TIcon : public TGraphic {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TIcon(QObject* parent = nullptr);
  void Assign(TPersistent* source) override;

  int GetWidth() const override;
  int GetHeight() const override;
  // Choose the size of the image shown: the file's image of that size, or the
  // nearest one scaled.
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  void SetSize(int width, int height) override;
  bool GetEmpty() const override { return images_.empty(); }
  bool GetTransparent() const override { return true; }

  void LoadFromStream(TStream& stream) override;
  // Writes the bytes that were loaded, or an ICO file of the images.
  void SaveToStream(TStream& stream) override;
  QImage ToQImage() const override;
  QIcon ToQIcon() const;
  // Makes an icon of one image.
  void FromQImage(const QImage& image);

 private:
  const QImage* BestImage() const;

  std::vector<QImage> images_;
  QByteArray data_;
  int width_ = 0;  // 0: the size of the first image
  int height_ = 0;
};

// A picture of any of the formats, chosen by the file's extension or, in a
// stream, by its first bytes.
class TPicture : public TPersistent {
  Q_OBJECT
 public:
  explicit TPicture(QObject* parent = nullptr);
  ~TPicture() override;
  void Assign(TPersistent* source) override;

  TGraphic* Graphic() const { return graphic_; }
  // Keeps a copy of `graphic` (of the same class); nullptr empties the picture.
  void SetGraphic(TGraphic* graphic);
  // The picture as a bitmap: another kind of graphic is replaced by an empty bitmap.
  TBitmap* Bitmap();
  TIcon* Icon();

  int GetWidth() const;
  int GetHeight() const;

  // .bmp, .png, .jpg/.jpeg/.jpe/.jfif, .ico (any case). An unknown extension
  // raises EInvalidGraphic; a missing file EFOpenError; bad contents
  // EInvalidGraphic. On failure the previous graphic stays.
  void LoadFromFile(const String& fileName);
  // Writes the graphic in its own format, whatever the extension.
  void SaveToFile(const String& fileName);
  // Recognises BMP, PNG, JPEG and ICO by their first bytes.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);

  TNotifyEvent OnChange;

 protected:
  void AssignTo(TPersistent* dest) override;
  virtual void Changed();

 private:
  template <class T>
  T* ForceType();
  void Replace(TGraphic* graphic);

  TGraphic* graphic_ = nullptr;
};
