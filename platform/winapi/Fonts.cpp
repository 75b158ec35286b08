// Logical fonts, their selection into device contexts and the metrics of the
// face the font matcher really picks; device capabilities; caret hiding.
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>

#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/winapi/Windows.h"

struct HFONT__ {
  LOGFONTW log;
};

namespace {

struct FontTable {
  std::mutex mutex;
  std::unordered_set<HFONT> live;
  std::unordered_map<HDC, HFONT> selected;
};

FontTable& fonts() {
  static FontTable table;
  return table;
}

QFont toQFont(const LOGFONTW& log) {
  QFont f(QString::fromUtf16(reinterpret_cast<const char16_t*>(log.lfFaceName)));
  f.setPixelSize(std::max<int>(1, std::abs(int(log.lfHeight ? log.lfHeight : 16))));
  if (log.lfWeight) f.setWeight(log.lfWeight >= 700 ? QFont::Bold : QFont::Normal);
  f.setItalic(log.lfItalic);
  f.setUnderline(log.lfUnderline);
  f.setStrikeOut(log.lfStrikeOut);
  if ((log.lfPitchAndFamily & 0x0F) == FIXED_PITCH) f.setFixedPitch(true);
  return f;
}

// The script a character set needs of a face.
QFontDatabase::WritingSystem writingSystemOf(BYTE charset) {
  switch (charset) {
    case 2: return QFontDatabase::Symbol;
    case 128: return QFontDatabase::Japanese;
    case 129: return QFontDatabase::Korean;
    case 134: return QFontDatabase::SimplifiedChinese;
    case 136: return QFontDatabase::TraditionalChinese;
    case 161: return QFontDatabase::Greek;
    case 163: return QFontDatabase::Vietnamese;
    case 177: return QFontDatabase::Hebrew;
    case 178: return QFontDatabase::Arabic;
    case 204: return QFontDatabase::Cyrillic;
    case 222: return QFontDatabase::Thai;
    default: return QFontDatabase::Latin;
  }
}

bool containsWord(const QString& family, const char* word) {
  return family.contains(QLatin1String(word), Qt::CaseInsensitive);
}

}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return nullptr;
  auto* f = new HFONT__{*font};
  std::lock_guard lock(fonts().mutex);
  fonts().live.insert(f);
  return f;
}

BOOL DeleteFont(HFONT font) {
  std::lock_guard lock(fonts().mutex);
  if (!fonts().live.erase(font)) return FALSE;
  for (auto it = fonts().selected.begin(); it != fonts().selected.end();)
    it = it->second == font ? fonts().selected.erase(it) : std::next(it);
  delete font;
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto font = static_cast<HFONT>(object);
  std::lock_guard lock(fonts().mutex);
  if (!dc || (font && !fonts().live.count(font))) return nullptr;
  HFONT& slot = fonts().selected[dc];
  HFONT previous = slot;
  slot = font;
  if (!font) fonts().selected.erase(dc);
  if (font && dc->isActive()) dc->setFont(toQFont(font->log));
  return previous;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
  if (!dc || !metrics) return FALSE;
  LOGFONTW log;
  {
    std::lock_guard lock(fonts().mutex);
    auto it = fonts().selected.find(dc);
    if (it != fonts().selected.end()) log = it->second->log;
  }
  QFont asked = log.lfFaceName[0] ? toQFont(log) : QGuiApplication::font();
  QFontInfo info(asked);
  QFontMetrics fm(asked);
  const QString family = info.family();
  *metrics = TEXTMETRICW{};
  metrics->tmHeight = fm.height();
  metrics->tmAscent = fm.ascent();
  metrics->tmDescent = fm.descent();
  metrics->tmInternalLeading = std::max(0, fm.height() - info.pixelSize());
  metrics->tmExternalLeading = std::max(0, fm.leading());
  metrics->tmAveCharWidth = fm.averageCharWidth();
  metrics->tmMaxCharWidth = fm.maxWidth();
  metrics->tmWeight = info.bold() ? 700 : 400;
  metrics->tmItalic = info.italic();
  metrics->tmUnderlined = asked.underline();
  metrics->tmStruckOut = asked.strikeOut();
  metrics->tmFirstChar = 0x20;
  metrics->tmLastChar = 0xFFFC;
  metrics->tmDefaultChar = 0x1F;
  metrics->tmBreakChar = 0x20;
  metrics->tmDigitizedAspectX = metrics->tmDigitizedAspectY = 96;

  BYTE charset = log.lfCharSet == 1 ? 0 : log.lfCharSet;
  if (charset != 0 && charset != 255 &&
      !QFontDatabase::writingSystems(family).contains(writingSystemOf(charset)))
    charset = 0;
  metrics->tmCharSet = charset;

  const bool fixed = info.fixedPitch();
  BYTE familyBits = FF_SWISS;
  if (fixed)
    familyBits = FF_MODERN;
  else if (containsWord(family, "Script") || containsWord(family, "Chancery"))
    familyBits = FF_SCRIPT;
  else if (!containsWord(family, "Sans") &&
           (containsWord(family, "Serif") || containsWord(family, "Times") || containsWord(family, "Roman") ||
            containsWord(family, "Georgia") || containsWord(family, "Garamond")))
    familyBits = FF_ROMAN;
  // Faces of the font matcher are scalable outlines.
  metrics->tmPitchAndFamily = BYTE(familyBits | TMPF_VECTOR | TMPF_TRUETYPE | (fixed ? 0 : TMPF_FIXED_PITCH));
  return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!dc) return 0;
  const QPaintDevice* device = dc->device();
  QScreen* screen = QGuiApplication::primaryScreen();
  switch (index) {
    case LOGPIXELSX: return device ? device->logicalDpiX() : screen ? int(screen->logicalDotsPerInchX()) : 96;
    case LOGPIXELSY: return device ? device->logicalDpiY() : screen ? int(screen->logicalDotsPerInchY()) : 96;
    case HORZRES: return device ? device->width() : screen ? screen->geometry().width() : 0;
    case VERTRES: return device ? device->height() : screen ? screen->geometry().height() : 0;
    default: return 0;
  }
}

int SetBkMode(HDC dc, int mode) {
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = dc->backgroundMode() == Qt::TransparentMode ? TRANSPARENT : OPAQUE;
  if (dc->isActive()) dc->setBackgroundMode(mode == TRANSPARENT ? Qt::TransparentMode : Qt::OpaqueMode);
  return previous;
}

namespace {
BOOL setCaretWidth(HWND hwnd, int width) {
  QWidget* w = WidgetOf(hwnd);
  if (auto* edit = qobject_cast<QTextEdit*>(w)) {
    edit->setCursorWidth(width);
    return TRUE;
  }
  if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
    plain->setCursorWidth(width);
    return TRUE;
  }
  return FALSE;
}
}  // namespace

BOOL HideCaret(HWND hwnd) { return setCaretWidth(hwnd, 0); }
BOOL ShowCaret(HWND hwnd) { return setCaretWidth(hwnd, 1); }

namespace {
std::unordered_map<HDC, int>& savedDepths() {
  static std::unordered_map<HDC, int> depths;
  return depths;
}
}  // namespace

int SaveDC(HDC dc) {
  if (!dc || !dc->isActive()) return 0;
  dc->save();
  return ++savedDepths()[dc];
}

BOOL RestoreDC(HDC dc, int) {
  auto it = savedDepths().find(dc);
  if (!dc || it == savedDepths().end() || it->second == 0) return FALSE;
  dc->restore();
  if (--it->second == 0) savedDepths().erase(it);
  return TRUE;
}

BOOL ModifyWorldTransform(HDC dc, const void*, DWORD mode) {
  if (!dc || !dc->isActive() || mode != MWT_IDENTITY) return FALSE;
  dc->resetTransform();
  return TRUE;
}
