#include "platform/richedit/Rtf.h"

#include <QHash>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

// ---------------------------------------------------------------- attributes

CharAttributes ResolveCharAttributes(const QTextCharFormat& f, const CharAttributes& defaults) {
  CharAttributes a = defaults;
  if (f.hasProperty(QTextFormat::FontFamilies)) {
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty()) a.Face = families.first();
  }
  if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0) a.PointSize = f.fontPointSize();
  if (f.hasProperty(QTextFormat::FontWeight)) a.Bold = f.fontWeight() >= QFont::DemiBold;
  if (f.hasProperty(QTextFormat::FontItalic)) a.Italic = f.fontItalic();
  if (f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline))
    a.Underline = f.fontUnderline();
  if (f.hasProperty(QTextFormat::FontStrikeOut)) a.StrikeOut = f.fontStrikeOut();
  if (f.hasProperty(QTextFormat::ForegroundBrush)) {
    const QBrush brush = f.foreground();
    a.Color = brush.style() == Qt::NoBrush ? QColor() : brush.color();
  }
  return a;
}

namespace {

// ---------------------------------------------------------------- code pages

// Code page 1252 where it differs from Latin-1 (0x80..0x9F); 0 where unassigned.
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

String DecodeCp1252(const QByteArray& bytes) {
  // Latin-1 but for 0x80..0x9F.
  String out = String::fromLatin1(bytes);
  for (QChar& c : out) {
    const char16_t u = c.unicode();
    if (u >= 0x80 && u < 0xA0 && kCp1252High[u - 0x80]) c = QChar(kCp1252High[u - 0x80]);
  }
  return out;
}

// The code page of an RTF font character set (\fcharsetN); 0 for "the document's".
int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
  }
}

const char* CodecName(int codePage) {
  switch (codePage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 874: return "windows-874";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 1250: return "windows-1250";
    case 1251: return "windows-1251";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 1258: return "windows-1258";
    case 10000: return "macintosh";
    case 65001: return "UTF-8";
    default: return nullptr;
  }
}

// Decodes bytes of a code page; code pages the system cannot decode are read
// as 1252.
class Decoders {
 public:
  String Decode(const QByteArray& bytes, int codePage) {
    const char* name = CodecName(codePage);
    if (!name) return DecodeCp1252(bytes);
    auto it = decoders_.find(codePage);
    if (it == decoders_.end()) {
      auto decoder = std::make_unique<QStringDecoder>(name, QStringDecoder::Flag::Stateless);
      if (!decoder->isValid()) decoder.reset();
      it = decoders_.emplace(codePage, std::move(decoder)).first;
    }
    if (!it->second) return DecodeCp1252(bytes);
    return it->second->decode(bytes);
  }

 private:
  std::map<int, std::unique_ptr<QStringDecoder>> decoders_;
};

// ---------------------------------------------------------------- writer

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendEscaped(QByteArray& out, const String& text) {
  for (QChar qc : text) {
    const char16_t c = qc.unicode();
    switch (c) {
      case u'\\': out += "\\\\"; continue;
      case u'{': out += "\\{"; continue;
      case u'}': out += "\\}"; continue;
      case u'\t': out += "\\tab "; continue;
      case 0x2028: out += "\\line "; continue;
      default: break;
    }
    if (c >= 0x20 && c < 0x80) {
      out += char(c);
    } else if (c < 0x20 || (c >= 0xA0 && c <= 0xFF)) {
      // Control characters too: they are text like any other, and 1252 has them.
      out += "\\'";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xF];
    } else {
      // \u takes a signed 16-bit number.
      out += "\\u";
      out += QByteArray::number(c > 0x7FFF ? int(c) - 0x10000 : int(c));
      out += '?';
    }
  }
}

class RtfWriter {
 public:
  explicit RtfWriter(const CharAttributes& defaults) : defaults_(defaults) { FontIndex(defaults.Face); }

  QByteArray Write(const QTextDocument& doc, int from, int to) {
    const int end = std::clamp(to, 0, std::max(doc.characterCount() - 1, 0));
    const int start = std::clamp(from, 0, end);
    state_ = defaults_;
    state_.Color = QColor();
    state_.Bold = state_.Italic = state_.Underline = state_.StrikeOut = false;
    body_ += "\\viewkind4\\uc1\\pard\\f0\\fs" + QByteArray::number(HalfPoints(state_.PointSize)) + ' ';
    bool first = true;
    Qt::Alignment align = Qt::AlignLeft;
    for (QTextBlock block = doc.findBlock(start); block.isValid() && block.position() <= end;
         block = block.next()) {
      if (!first) body_ += "\\par\r\n";
      first = false;
      const Qt::Alignment a = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
      const Qt::Alignment want =
          (a & (Qt::AlignHCenter | Qt::AlignRight | Qt::AlignJustify)) ? a : Qt::AlignLeft;
      if (want != align) {
        align = want;
        body_ += "\\pard";
        if (align & Qt::AlignHCenter)
          body_ += "\\qc";
        else if (align & Qt::AlignRight)
          body_ += "\\qr";
        else if (align & Qt::AlignJustify)
          body_ += "\\qj";
        body_ += ' ';
      }
      bool wroteText = false;
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int fs = std::max(fragment.position(), start);
        const int fe = std::min(fragment.position() + fragment.length(), end);
        if (fs >= fe) continue;
        Switch(ResolveCharAttributes(fragment.charFormat(), defaults_));
        AppendEscaped(body_, fragment.text().mid(fs - fragment.position(), fe - fs));
        wroteText = true;
      }
      // An empty paragraph keeps the size and look of its mark.
      if (!wroteText) Switch(ResolveCharAttributes(block.charFormat(), defaults_));
      if (block.position() + block.length() - 1 >= end) break;
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
    for (int i = 0; i < fonts_.size(); ++i) {
      out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
      String face = fonts_[i];
      face.remove(QLatin1Char(';'));
      AppendEscaped(out, face);
      out += ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (const QColor& c : colors_)
      out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue" +
             QByteArray::number(c.blue()) + ';';
    out += "}\r\n";
    out += body_;
    out += "}\r\n";
    return out;
  }

 private:
  static int HalfPoints(double points) { return std::clamp(int(std::lround(points * 2)), 2, 3276); }

  int FontIndex(const String& face) {
    const int i = fonts_.indexOf(face);
    if (i >= 0) return i;
    fonts_ << face;
    return fonts_.size() - 1;
  }

  int ColorIndex(const QColor& c) {
    if (!c.isValid()) return 0;
    const QColor rgb = QColor(c.red(), c.green(), c.blue());
    const int i = colors_.indexOf(rgb);
    if (i >= 0) return i + 1;
    colors_ << rgb;
    return colors_.size();
  }

  // Control words that take the state from the current one to `a`.
  void Switch(const CharAttributes& a) {
    QByteArray words;
    const auto flag = [&words](bool now, bool before, const char* on, const char* off) {
      if (now != before) words += now ? on : off;
    };
    if (a.Face != state_.Face) words += "\\f" + QByteArray::number(FontIndex(a.Face));
    if (HalfPoints(a.PointSize) != HalfPoints(state_.PointSize))
      words += "\\fs" + QByteArray::number(HalfPoints(a.PointSize));
    flag(a.Bold, state_.Bold, "\\b", "\\b0");
    flag(a.Italic, state_.Italic, "\\i", "\\i0");
    flag(a.Underline, state_.Underline, "\\ul", "\\ulnone");
    flag(a.StrikeOut, state_.StrikeOut, "\\strike", "\\strike0");
    const int color = ColorIndex(a.Color);
    if (color != ColorIndex(state_.Color)) words += "\\cf" + QByteArray::number(color);
    state_ = a;
    if (!words.isEmpty()) body_ += words + ' ';
  }

  CharAttributes defaults_;
  CharAttributes state_;
  QStringList fonts_;
  QVector<QColor> colors_;
  QByteArray body_;
};

// ---------------------------------------------------------------- reader

enum class Destination { Text, FontTable, ColorTable, Skip };

struct CharState {
  int font = -1;  // -1: the default font (\deff)
  int halfPoints = 24;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool hidden = false;
  int color = 0;
  int back = 0;
  bool operator==(const CharState&) const = default;
};

struct CharStateHash {
  std::size_t operator()(const CharState& s) const {
    std::size_t h = std::hash<int>()(s.font);
    for (const int v :
         {s.halfPoints, s.color, s.back,
          int(s.bold) | int(s.italic) << 1 | int(s.underline) << 2 | int(s.strike) << 3 | int(s.hidden) << 4})
      h = h * 1000003u ^ std::hash<int>()(v);
    return h;
  }
};

struct GroupState {
  CharState chr;
  Qt::Alignment align = Qt::AlignLeft;
  int uc = 1;
  Destination dest = Destination::Text;
  bool first = true;  // nothing read in the group yet (where \* may stand)
};

struct FontEntry {
  String name;
  int codePage = 0;
};

// Groups deeper than this share their parent's state: nothing real needs
// more, and a flood of braces must not eat memory.
constexpr int kMaxDepth = 512;

// The control words the reader acts on.
enum class Kw {
  Unknown,
  Bin,
  FontTable,
  ColorTable,
  SkippedDestination,
  Font,
  FontCharset,
  Red,
  Green,
  Blue,
  Paragraph,
  Tab,
  Character,
  Unicode,
  UnicodeSkip,
  Plain,
  ParagraphDefaults,
  AlignLeft,
  AlignCenter,
  AlignRight,
  AlignJustify,
  Bold,
  Italic,
  Underline,
  UnderlineNone,
  Strike,
  Hidden,
  FontSize,
  Foreground,
  Background,
  DefaultFont,
  CodePage,
  Mac,
  Pc,
  Pca,
};

struct Keyword {
  Kw kind = Kw::Unknown;
  char16_t character = 0;  // Kw::Character: the character the word stands for
};

// One look-up per control word: a colouring document has one for nearly
// every token.
Keyword KeywordOf(std::string_view word) {
  static const std::unordered_map<std::string_view, Keyword> table = [] {
    std::unordered_map<std::string_view, Keyword> t;
    // clang-format off
    for (const char* w : {"stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf",
                          "footer", "footerl", "footerr", "footerf", "footnote", "fldinst", "xe", "tc",
                          "listtable", "listoverridetable", "revtbl", "rsidtbl", "themedata",
                          "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "mmathPr", "shp",
                          "shpinst", "nonshppict", "background", "filetbl", "template", "pn", "pntxta",
                          "pntxtb", "atnid", "atnauthor", "annotation", "generator", "userprops", "docvar",
                          "bkmkstart", "bkmkend"})
      t[w] = {Kw::SkippedDestination};
    for (const char* w : {"par", "line", "page", "sect", "row"}) t[w] = {Kw::Paragraph};
    for (const char* w : {"tab", "cell", "nestcell"}) t[w] = {Kw::Tab};
    for (const char* w : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulth", "ulw", "ulwave",
                          "ulhwave", "ululdbwave"})
      t[w] = {Kw::Underline};
    for (const char* w : {"highlight", "cb", "chcbpat"}) t[w] = {Kw::Background};
    for (const char* w : {"strike", "striked"}) t[w] = {Kw::Strike};
    const std::pair<const char*, char16_t> characters[] = {
        {"emdash", 0x2014},  {"endash", 0x2013}, {"emspace", 0x2003}, {"enspace", 0x2002},
        {"qmspace", 0x2005}, {"bullet", 0x2022}, {"lquote", 0x2018},  {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}};
    for (const auto& [w, c] : characters) t[w] = {Kw::Character, c};
    const std::pair<const char*, Kw> words[] = {
        {"bin", Kw::Bin},           {"fonttbl", Kw::FontTable},       {"colortbl", Kw::ColorTable},
        {"f", Kw::Font},            {"fcharset", Kw::FontCharset},    {"red", Kw::Red},
        {"green", Kw::Green},       {"blue", Kw::Blue},               {"u", Kw::Unicode},
        {"uc", Kw::UnicodeSkip},    {"plain", Kw::Plain},             {"pard", Kw::ParagraphDefaults},
        {"ql", Kw::AlignLeft},      {"qc", Kw::AlignCenter},          {"qr", Kw::AlignRight},
        {"qj", Kw::AlignJustify},   {"b", Kw::Bold},                  {"i", Kw::Italic},
        {"ulnone", Kw::UnderlineNone}, {"v", Kw::Hidden},             {"fs", Kw::FontSize},
        {"cf", Kw::Foreground},     {"deff", Kw::DefaultFont},        {"ansicpg", Kw::CodePage},
        {"mac", Kw::Mac},           {"pc", Kw::Pc},                   {"pca", Kw::Pca}};
    // clang-format on
    for (const auto& [w, k] : words) t[w] = {k};
    return t;
  }();
  const auto it = table.find(word);
  return it == table.end() ? Keyword() : it->second;
}

class RtfReader {
 public:
  explicit RtfReader(const QByteArray& data) : data_(data) {}

  RtfContent Read() {
    paragraphs_.push_back({});
    if (IsRtf(data_)) Parse();
    FlushBytes();
    EndParagraph(false);
    return Build();
  }

 private:
  struct RawRun {
    String text;
    CharState chr;
  };
  struct RawParagraph {
    Qt::Alignment align = Qt::AlignLeft;
    CharState mark;
    std::vector<RawRun> runs;
  };

  GroupState& Top() { return stack_.back(); }

  void Parse() {
    const int n = int(data_.size());
    while (pos_ < n) {
      const char c = data_[pos_];
      if (c == '{') {
        ++pos_;
        FlushBytes();
        skip_ = 0;
        if (stack_.size() > std::size_t(kMaxDepth)) {
          ++overflow_;
        } else {
          GroupState g = stack_.empty() ? GroupState() : Top();
          g.first = true;
          stack_.push_back(g);
        }
      } else if (c == '}') {
        ++pos_;
        FlushBytes();
        skip_ = 0;
        if (overflow_ > 0) {
          --overflow_;
        } else if (!stack_.empty()) {
          if (Top().dest == Destination::FontTable) EndFont();
          if (stack_.size() == 1) {
            lastAlign_ = Top().align;
            lastMark_ = Top().chr;
          }
          stack_.pop_back();
          if (stack_.empty()) return;  // the document ends with its outer group
        }
      } else if (c == '\\') {
        ++pos_;
        ControlWord();
      } else if (c == '\r' || c == '\n') {
        ++pos_;
      } else {
        ++pos_;
        if (stack_.empty()) continue;
        if (Skipping()) continue;
        Top().first = false;
        if (c == '\t') {
          Char(u'\t');
        } else if (static_cast<unsigned char>(c) >= 0x20) {
          if (Top().dest == Destination::FontTable && c == ';') {
            FlushBytes();
            EndFont();
          } else if (Top().dest == Destination::ColorTable && c == ';') {
            EndColor();
          } else {
            // The text up to the next special byte, at once.
            int end = pos_;
            if (Top().dest == Destination::Text)
              while (end < n && IsPlainTextByte(data_[end])) ++end;
            bytes_.append(data_.constData() + pos_ - 1, end - pos_ + 1);
            pos_ = end;
          }
        }
      }
    }
  }

  static bool IsPlainTextByte(char c) {
    return static_cast<unsigned char>(c) >= 0x20 && c != '\\' && c != '{' && c != '}';
  }

  // Characters that stand in for a \uN character are skipped.
  bool Skipping() {
    if (skip_ <= 0) return false;
    --skip_;
    return true;
  }

  void ControlWord() {
    const int n = int(data_.size());
    if (pos_ >= n) return;
    const char c = data_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      Symbol(c);
      return;
    }
    const int wordStart = pos_;
    while (pos_ < n && std::isalpha(static_cast<unsigned char>(data_[pos_]))) ++pos_;
    // Overlong words are cut: none that the reader knows is longer.
    const std::string_view word(data_.constData() + wordStart, std::size_t(std::min(pos_ - wordStart, 32)));
    bool hasParam = false;
    bool negative = false;
    long long param = 0;
    if (pos_ < n && data_[pos_] == '-' && pos_ + 1 < n &&
        std::isdigit(static_cast<unsigned char>(data_[pos_ + 1]))) {
      negative = true;
      ++pos_;
    }
    while (pos_ < n && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
      hasParam = true;
      if (param < 1000000000LL) param = param * 10 + (data_[pos_] - '0');
      ++pos_;
    }
    if (pos_ < n && data_[pos_] == ' ') ++pos_;
    if (negative) param = -param;
    if (stack_.empty()) return;
    const Keyword keyword = KeywordOf(word);
    if (keyword.kind == Kw::Bin) {
      // Binary data follows: skipped whole, whatever the destination.
      FlushBytes();
      pos_ = int(std::min<long long>(n, pos_ + std::max<long long>(param, 0)));
      return;
    }
    if (Skipping()) return;
    Top().first = false;
    Word(keyword, hasParam, int(param));
  }

  void Symbol(char c) {
    if (stack_.empty()) return;
    if (c == '\'') {
      // A byte in hexadecimal.
      const int n = int(data_.size());
      int value = 0;
      int digits = 0;
      while (digits < 2 && pos_ < n && std::isxdigit(static_cast<unsigned char>(data_[pos_]))) {
        const char h = data_[pos_];
        value = value * 16 +
                (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
        ++pos_;
        ++digits;
      }
      if (Skipping()) return;
      Top().first = false;
      if (digits == 2) bytes_ += char(value);
      return;
    }
    if (c == '*') {
      // An ignorable destination: nothing of it is kept.
      if (Top().first) Top().dest = Destination::Skip;
      return;
    }
    if (Skipping()) return;
    Top().first = false;
    switch (c) {
      case '\\':
      case '{':
      case '}': Char(char16_t(c)); break;
      case '~': Char(0x00A0); break;
      case '_': Char(0x2011); break;
      case '\r':
      case '\n': Paragraph(); break;
      case '\t': Char(u'\t'); break;
      default: break;  // \- (optional hyphen), \|, \: and the like
    }
  }

  void Word(const Keyword& w, bool hasParam, int p) {
    GroupState& g = Top();
    CharState& s = g.chr;
    const bool on = !hasParam || p != 0;
    if (g.dest == Destination::Skip) return;
    // Destinations.
    switch (w.kind) {
      case Kw::FontTable: g.dest = Destination::FontTable; return;
      case Kw::ColorTable:
        g.dest = Destination::ColorTable;
        colorPending_ = false;
        return;
      case Kw::SkippedDestination: g.dest = Destination::Skip; return;
      default: break;
    }
    if (g.dest == Destination::FontTable) {
      if (w.kind == Kw::Font) {
        FlushBytes();
        EndFont();
        fontNumber_ = p;
        fontCharset_ = -1;
      } else if (w.kind == Kw::FontCharset) {
        fontCharset_ = p;
      } else if (w.kind == Kw::Unicode && hasParam) {
        UnicodeChar(p);
      }
      return;
    }
    if (g.dest == Destination::ColorTable) {
      const int v = std::clamp(p, 0, 255);
      if (w.kind == Kw::Red)
        red_ = v, colorPending_ = true;
      else if (w.kind == Kw::Green)
        green_ = v, colorPending_ = true;
      else if (w.kind == Kw::Blue)
        blue_ = v, colorPending_ = true;
      return;
    }
    // Text and its formatting.
    switch (w.kind) {
      case Kw::Paragraph: Paragraph(); break;
      case Kw::Tab: Char(u'\t'); break;
      case Kw::Character: Char(w.character); break;
      case Kw::Unicode:
        if (hasParam) UnicodeChar(p);
        break;
      case Kw::UnicodeSkip: g.uc = std::clamp(p, 0, 10); break;
      case Kw::Plain:
        FlushBytes();
        s = CharState();
        break;
      case Kw::ParagraphDefaults:
      case Kw::AlignLeft: g.align = Qt::AlignLeft; break;
      case Kw::AlignCenter: g.align = Qt::AlignHCenter; break;
      case Kw::AlignRight: g.align = Qt::AlignRight; break;
      case Kw::AlignJustify: g.align = Qt::AlignJustify; break;
      case Kw::Bold: Set(s.bold, on); break;
      case Kw::Italic: Set(s.italic, on); break;
      case Kw::Underline: Set(s.underline, on); break;
      case Kw::UnderlineNone: Set(s.underline, false); break;
      case Kw::Strike: Set(s.strike, on); break;
      case Kw::Hidden: Set(s.hidden, on); break;
      case Kw::Font:
        FlushBytes();
        s.font = p;
        break;
      case Kw::FontSize:
        FlushBytes();
        s.halfPoints = std::clamp(hasParam ? p : 24, 2, 3276);
        break;
      case Kw::Foreground:
        FlushBytes();
        s.color = std::max(p, 0);
        break;
      case Kw::Background:
        FlushBytes();
        s.back = std::max(p, 0);
        break;
      case Kw::DefaultFont: defaultFont_ = p; break;
      case Kw::CodePage:
        FlushBytes();
        codePage_ = p;
        break;
      case Kw::Mac: codePage_ = 10000; break;
      case Kw::Pc: codePage_ = 437; break;
      case Kw::Pca: codePage_ = 850; break;
      default: break;  // everything else (page setup, tables, styles, ...) is not kept
    }
  }

  // A formatting change: pending bytes belong to the text before it.
  void Set(bool& field, bool value) {
    FlushBytes();
    field = value;
  }

  // \uN: a signed 16-bit number; the characters standing in for it follow.
  void UnicodeChar(int p) {
    FlushBytes();
    if (p >= -32768 && p <= 65535) Char(char16_t(p < 0 ? p + 0x10000 : p));
    skip_ = Top().uc;
  }

  int CodePageFor(const CharState& s) const {
    const int font = s.font < 0 ? defaultFont_ : s.font;
    auto it = fonts_.find(font);
    if (it != fonts_.end() && it->second.codePage) return it->second.codePage;
    return codePage_;
  }

  void FlushBytes() {
    if (bytes_.isEmpty() || stack_.empty()) {
      bytes_.clear();
      return;
    }
    const QByteArray bytes = bytes_;
    bytes_.clear();
    const GroupState& g = Top();
    const int codePage = g.dest == Destination::FontTable
                             ? (CodePageOfCharset(fontCharset_) ? CodePageOfCharset(fontCharset_) : codePage_)
                             : CodePageFor(g.chr);
    Text(decoders_.Decode(bytes, codePage));
  }

  void Char(char16_t c) {
    FlushBytes();
    if (c < 0x20 && c != u'\t') return;
    Text(String(QChar(c)));
  }

  void Text(const String& text) {
    if (text.isEmpty() || stack_.empty()) return;
    const GroupState& g = Top();
    if (g.dest == Destination::FontTable) {
      fontName_ += text;
      return;
    }
    if (g.dest != Destination::Text || g.chr.hidden) return;
    std::vector<RawRun>& runs = paragraphs_.back().runs;
    if (!runs.empty() && runs.back().chr == g.chr)
      runs.back().text += text;
    else
      runs.push_back({text, g.chr});
  }

  void Paragraph() {
    FlushBytes();
    if (stack_.empty() || Top().dest != Destination::Text) return;
    EndParagraph(true);
  }

  void EndParagraph(bool another) {
    RawParagraph& p = paragraphs_.back();
    if (!stack_.empty()) {
      p.align = Top().align;
      p.mark = Top().chr;
    } else {
      p.align = lastAlign_;
      p.mark = lastMark_;
    }
    lastAlign_ = p.align;
    lastMark_ = p.mark;
    if (another) paragraphs_.push_back({});
  }

  void EndFont() {
    if (fontNumber_ < 0 && fontName_.isEmpty()) return;
    if (fontNumber_ >= 0) {
      FontEntry& e = fonts_[fontNumber_];
      e.name = fontName_.trimmed();
      e.codePage = CodePageOfCharset(fontCharset_);
    }
    fontName_.clear();
    fontNumber_ = -1;
    fontCharset_ = -1;
  }

  void EndColor() {
    colors_.push_back(colorPending_ ? QColor(red_, green_, blue_) : QColor());
    red_ = green_ = blue_ = 0;
    colorPending_ = false;
  }

  QTextCharFormat FormatOf(const CharState& s) const {
    QTextCharFormat f;
    const int font = s.font < 0 ? defaultFont_ : s.font;
    auto it = fonts_.find(font);
    if (it != fonts_.end() && !it->second.name.isEmpty()) f.setFontFamilies(QStringList{it->second.name});
    f.setFontPointSize(s.halfPoints / 2.0);
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    f.setFontStrikeOut(s.strike);
    if (s.color > 0 && s.color < int(colors_.size()) && colors_[s.color].isValid())
      f.setForeground(colors_[s.color]);
    if (s.back > 0 && s.back < int(colors_.size()) && colors_[s.back].isValid())
      f.setBackground(colors_[s.back]);
    return f;
  }

  // Runs of the same state share one format object: the document then
  // finds it in its format collection at once.
  RtfContent Build() const {
    std::unordered_map<CharState, QTextCharFormat, CharStateHash> formats;
    const auto formatOf = [&](const CharState& s) -> const QTextCharFormat& {
      auto it = formats.find(s);
      if (it == formats.end()) it = formats.emplace(s, FormatOf(s)).first;
      return it->second;
    };
    RtfContent out;
    out.Paragraphs.reserve(qsizetype(paragraphs_.size()));
    for (const RawParagraph& raw : paragraphs_) {
      RtfContent::Paragraph p;
      p.Format.setAlignment(raw.align);
      p.MarkFormat = formatOf(raw.mark);
      p.Runs.reserve(qsizetype(raw.runs.size()));
      for (const RawRun& run : raw.runs) p.Runs.push_back({run.text, formatOf(run.chr)});
      out.Paragraphs.push_back(std::move(p));
    }
    return out;
  }

  const QByteArray& data_;
  int pos_ = 0;
  std::vector<GroupState> stack_;
  int overflow_ = 0;
  int skip_ = 0;
  QByteArray bytes_;
  Decoders decoders_;
  int codePage_ = 1252;
  int defaultFont_ = 0;
  std::map<int, FontEntry> fonts_;
  int fontNumber_ = -1;
  int fontCharset_ = -1;
  String fontName_;
  std::vector<QColor> colors_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colorPending_ = false;
  std::vector<RawParagraph> paragraphs_;
  Qt::Alignment lastAlign_ = Qt::AlignLeft;
  CharState lastMark_;
};

}  // namespace

// ---------------------------------------------------------------- entry points

QByteArray WriteRtf(const QTextDocument& document, int from, int to, const CharAttributes& defaults) {
  return RtfWriter(defaults).Write(document, from, to);
}

bool IsRtf(const QByteArray& bytes) {
  int i = 0;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
    ++i;
  return bytes.mid(i, 5) == "{\\rtf";
}

RtfContent ReadRtf(const QByteArray& bytes) { return RtfReader(bytes).Read(); }

String DecodeAnsi(const QByteArray& bytes, int codePage) { return Decoders().Decode(bytes, codePage); }

String RtfContent::PlainText() const {
  QStringList lines;
  for (const Paragraph& p : Paragraphs) {
    String line;
    for (const Run& r : p.Runs) line += r.Text;
    lines << line;
  }
  return lines.join(QLatin1Char('\r'));
}

int InsertRtf(QTextCursor& cursor, const RtfContent& content, bool ownFirstFormat) {
  const int start = cursor.position();
  for (int i = 0; i < content.Paragraphs.size(); ++i) {
    const RtfContent::Paragraph& p = content.Paragraphs[i];
    if (i > 0) {
      cursor.insertBlock(p.Format, p.MarkFormat);
    } else if (ownFirstFormat) {
      cursor.setBlockFormat(p.Format);
      cursor.setBlockCharFormat(p.MarkFormat);
    }
    for (const RtfContent::Run& run : p.Runs) cursor.insertText(run.Text, run.Format);
  }
  return cursor.position() - start;
}
