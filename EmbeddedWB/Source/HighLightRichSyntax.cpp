#include "EmbeddedWB/Source/HighLightRichSyntax.h"

#include <array>

namespace HighLightRichSyntax {

namespace {

// Code page 1252 at 0x80..0x9F (0 where the code page has no character).
constexpr std::array<char16_t, 32> kHigh1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte of code page 1252 for a character, 0 when it has none.
unsigned char byteOf1252(char16_t c) {
  if (c >= 0xA0 && c <= 0xFF) return static_cast<unsigned char>(c);
  for (std::size_t i = 0; i < kHigh1252.size(); ++i)
    if (kHigh1252[i] == c && c) return static_cast<unsigned char>(0x80 + i);
  return 0;
}

void appendHex(QByteArray& out, unsigned char b) {
  static const char digits[] = "0123456789abcdef";
  out += "\\'";
  out += digits[b >> 4];
  out += digits[b & 15];
}

void appendNumber(QByteArray& out, int n) {
  char buf[12];
  int len = 0;
  bool negative = n < 0;
  unsigned u = negative ? 0u - unsigned(n) : unsigned(n);
  do {
    buf[len++] = char('0' + u % 10);
    u /= 10;
  } while (u);
  if (negative) out += '-';
  while (len) out += buf[--len];
}

}  // namespace

const std::vector<TColor>& SourceColors() {
  static const std::vector<TColor> colors = {0x008000, 0x000080, 0,        0xFF0000, 0, 0x008000,
                                             0xFF0000, 0,        0x0000FF, 0,        0};
  return colors;
}

THighlightRichSyntax::THighlightRichSyntax() {
  FCodePage = 1252;
  TFont font;
  font.SetName(QStringLiteral("Courier New"));
  WriteFontTable({&font});
  FHeader = QStringLiteral("{\\rtf1\\ansi\\ansicpg") + QString::number(FCodePage) +
            QStringLiteral("\\deff0\\deftab720{\\fonttbl");
  FHeaderEnd = QStringLiteral("}\r\n");
  FDocStart = QStringLiteral("\\deflang1033\\pard\\plain\\f0\\fs20");
  FColorTable.clear();
}

void THighlightRichSyntax::PrepareToken(String&) {}

void THighlightRichSyntax::EmitToken(int Kind, const String& Token, String& Rtf) {
  Rtf = QStringLiteral("\\cf") + QString::number(Kind) + u' ' + Token;
}

void THighlightRichSyntax::Next() {}
bool THighlightRichSyntax::GetEol() { return true; }
String THighlightRichSyntax::GetToken() { return String(); }
int THighlightRichSyntax::GetTokenKind() { return 0; }
void THighlightRichSyntax::SetLine(const String&, int) {}
void THighlightRichSyntax::ResetColors() {}

String THighlightRichSyntax::ColorToRtf(TColor Color) {
  const TColor rgb = ColorToRGB(Color);
  return QStringLiteral("\\red%1\\green%2\\blue%3;")
      .arg(rgb & 0xFF)
      .arg((rgb >> 8) & 0xFF)
      .arg((rgb >> 16) & 0xFF);
}

void THighlightRichSyntax::SetSource(const String& Text) { SetLine(Text, 1); }

void THighlightRichSyntax::WriteFontTable(const std::vector<TFont*>& Fonts) {
  FFontTable.clear();
  for (std::size_t i = 0; i < Fonts.size(); ++i) {
    TFont* font = Fonts[i];
    TEXTMETRICW metrics;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->GetHandle());
    GetTextMetrics(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);

    String charset;
    switch (metrics.tmCharSet) {
      case 0: charset = QStringLiteral("fcharset0"); break;
      case 1: charset = QStringLiteral("fcharset1"); break;
      case 2: charset = QStringLiteral("fcharset2"); break;
      case 128: charset = QStringLiteral("fcharset128"); break;
      case 255: charset = QStringLiteral("fcharset255"); break;
      default: break;
    }
    String family;
    switch (metrics.tmPitchAndFamily & 0xF0) {
      case 0x00: family = QStringLiteral("fdontcare"); break;
      case 0x20: family = QStringLiteral("fswiss"); break;
      case 0x30: family = QStringLiteral("fmodern"); break;
      case 0x40: family = QStringLiteral("fscript"); break;
      case 0x50: family = QStringLiteral("fdecorative"); break;
      default: family = QStringLiteral("froman"); break;
    }
    FFontTable += QStringLiteral("{\\f") + QString::number(i) + u'\\' + family + u'\\' + charset + u' ' +
                  font->GetName() + QStringLiteral(";}");
  }
}

void THighlightRichSyntax::WriteColorTable(const std::vector<TColor>& Colors) {
  FColorTable = QStringLiteral("{\\colortbl\\red0\\green0\\blue0;");
  for (TColor c : Colors) FColorTable += ColorToRtf(c);
  FColorTable += QStringLiteral("}\r\n");
}

void THighlightRichSyntax::AppendText(QByteArray& Out, QStringView Text) {
  for (QChar qc : Text) {
    const char16_t c = qc.unicode();
    if (c < 0x80) {
      if (c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n')
        appendHex(Out, static_cast<unsigned char>(c));
      else
        Out += char(c);
    } else if (unsigned char b = byteOf1252(c)) {
      appendHex(Out, b);
    } else {
      Out += "\\u";
      appendNumber(Out, static_cast<int16_t>(c));
      Out += '?';
    }
  }
}

void THighlightRichSyntax::AppendToken(QByteArray& Out) {
  String token = GetToken();
  const int kind = GetTokenKind();
  PrepareToken(token);
  String text;
  EmitToken(kind, token, text);
  if (token == QLatin1String("\r\n") || token == QLatin1String("\r")) Out += "\\par ";
  AppendText(Out, text);
}

int THighlightRichSyntax::SharedTokenKind(int Kind, QStringView Token) {
  int result = Kind;
  const qsizetype n = Token.size();
  qsizetype i = 0;
  while (i < n && Token[i].unicode() <= 32) ++i;
  if (i + 1 < n && Token[i] == u'/' && Token[i + 1] == u'/') result = 2;
  if (Kind == 10 && n > 0 && Token[0] == u'"') result = 6;
  return result;
}

void THighlightRichSyntax::SharedPrepareToken(String& Token) {
  Token.replace(u'\\', QStringLiteral("\\\\"));
  Token.replace(u'{', QStringLiteral("\\{"));
  Token.replace(u'}', QStringLiteral("\\}"));
}

void THighlightRichSyntax::AppendSharedToken(QByteArray& Out, int Kind, QStringView Token) {
  // Written straight into the document's buffer: at most 9 bytes per
  // character (\u-32768?) and the control words in front.
  const qsizetype n = Token.size();
  const qsizetype old = Out.size();
  Out.resize(old + 24 + 9 * n);
  char* d = Out.data() + old;
  auto put = [&d](const char* s) {
    while (*s) *d++ = *s++;
  };
  const QChar* s = Token.data();
  if ((n == 2 && s[0] == u'\r' && s[1] == u'\n') || (n == 1 && s[0] == u'\r')) put("\\par ");
  put("\\cf");
  const int kind = SharedTokenKind(Kind, Token);
  if (kind >= 10) *d++ = char('0' + kind / 10 % 10);
  *d++ = char('0' + kind % 10);
  *d++ = ' ';
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c >= 0x20 && c < 0x80) {
      if (c == u'\\' || c == u'{' || c == u'}') *d++ = '\\';
      *d++ = char(c);
    } else if (c == u'\t' || c == u'\r' || c == u'\n') {
      *d++ = char(c);
    } else {
      QByteArray escaped;
      AppendText(escaped, QStringView(s + i, 1));
      for (char e : escaped) *d++ = e;
    }
  }
  Out.resize(d - Out.constData());
}

void THighlightRichSyntax::WriteRtf(TStream* Stream) {
  constexpr qsizetype kChunk = 1 << 20;
  QByteArray out;
  out.reserve(kChunk + 65536);
  AppendText(out, FHeader);
  AppendText(out, FFontTable);
  AppendText(out, FHeaderEnd);
  AppendText(out, FColorTable);
  AppendText(out, FDocStart);
  out += "\\f0 ";
  while (!GetEol()) {
    AppendToken(out);
    Next();
    if (out.size() >= kChunk) {
      Stream->WriteBuffer(out.constData(), out.size());
      out.resize(0);
    }
  }
  out += " }";
  Stream->WriteBuffer(out.constData(), out.size());
}

String THighlightRichSyntax::GetRtf() {
  TStringStream stream;
  WriteRtf(&stream);
  return QString::fromLatin1(stream.Bytes());
}

// ---------------------------------------------------------------- TSourceScanner

TSourceScanner::TSourceScanner() { WriteColorTable(SourceColors()); }

void TSourceScanner::ResetColors() { WriteColorTable(SourceColors()); }

void TSourceScanner::PrepareToken(String& Token) { SharedPrepareToken(Token); }

void TSourceScanner::EmitToken(int Kind, const String& Token, String& Rtf) {
  THighlightRichSyntax::EmitToken(SharedTokenKind(Kind, Token), Token, Rtf);
}

void TSourceScanner::SetLine(const String& Text, int LineNumber) {
  FText = Text;
  FLine = reinterpret_cast<const char16_t*>(FText.utf16());
  FLength = int(FText.size());
  Run = 0;
  FLineNumber = LineNumber;
  Next();
}

String TSourceScanner::GetToken() { return FText.mid(FTokenPos, Run - FTokenPos); }

void TSourceScanner::AppendToken(QByteArray& Out) {
  AppendSharedToken(Out, GetTokenKind(), QStringView(FText).mid(FTokenPos, Run - FTokenPos));
}

}  // namespace HighLightRichSyntax
