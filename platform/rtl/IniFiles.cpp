#include "platform/rtl/IniFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <iterator>

// ---------------------------------------------------------------- TCustomIniFile

int TCustomIniFile::ReadInteger(const String& section, const String& ident, int def) {
  return StrToIntDef(ReadString(section, ident, String()), def);
}

void TCustomIniFile::WriteInteger(const String& section, const String& ident, int value) {
  WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const String& section, const String& ident, bool def) {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String& section, const String& ident, bool value) {
  WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}

// ---------------------------------------------------------------- TIniFile

namespace {

// What one line of the file means to a reader. Comments (";"), lines without
// "=" and lines with an empty key name mean nothing.
struct Line {
  enum Kind { Other, Section, Key } kind = Other;
  String name;   // section or key name, trimmed
  String value;  // trimmed
};

Line classify(const String& text) {
  Line line;
  const String t = Trim(text);
  if (t.startsWith(QLatin1Char('['))) {
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    line.kind = Line::Section;
    line.name = Trim(close < 0 ? t.mid(1) : t.mid(1, close - 1));
    return line;
  }
  if (t.startsWith(QLatin1Char(';'))) return line;
  const qsizetype eq = t.indexOf(QLatin1Char('='));
  if (eq < 0) return line;
  line.name = Trim(t.left(eq));
  if (line.name.isEmpty()) return line;
  line.kind = Line::Key;
  line.value = Trim(t.mid(eq + 1));
  return line;
}

// How the file stores its text. A write re-encodes only the lines it adds
// or changes; every other line is written back with the bytes it was read
// with, so text in another code page or a damaged character elsewhere in the
// file survives.
enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE };

// Code page 1252 where it differs from Latin-1 (0x80..0x9F); 0 where unassigned.
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// An 8-bit line: UTF-8 when it is valid UTF-8, else code page 1252 (the
// encoding of ini files written by older programs).
String decode8Bit(const QByteArray& bytes, bool* utf8) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const String text = decoder(bytes);
  *utf8 = !decoder.hasError();
  if (*utf8) return text;
  String out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += QChar(b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : char16_t(b));
  }
  return out;
}

// The text in code page 1252; false when a character has no byte there.
bool encodeCp1252(const String& text, QByteArray& out) {
  out.clear();
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u >= 0x80 && u < 0xA0 && !kCp1252High[u - 0x80])) {
      out += char(u);
      continue;
    }
    const char16_t* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), u);
    if (hit == std::end(kCp1252High)) return false;
    out += char(0x80 + (hit - std::begin(kCp1252High)));
  }
  return true;
}

// The lines of the file, the bytes each was read with and the line end
// that new lines get (CR LF unless the file already uses bare LF).
struct IniText {
  QStringList lines;
  // The line's bytes with its line end; empty for a line added or changed.
  QList<QByteArray> raw;
  String eol = QStringLiteral("\r\n");
  Encoding encoding = Encoding::Utf8;
  // An 8-bit file in code page 1252: some line is no UTF-8 and none is UTF-8
  // beyond ASCII.
  bool codePage = false;

  void replace(qsizetype i, const String& text) {
    lines[i] = text;
    raw[i].clear();
  }
  void insert(qsizetype i, const String& text) {
    lines.insert(i, text);
    raw.insert(i, QByteArray());
  }
  void append(const String& text) { insert(lines.size(), text); }
  void remove(qsizetype i, qsizetype n) {
    lines.remove(i, n);
    raw.remove(i, n);
  }

  bool utf16() const { return encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE; }

  QByteArray encode(const String& text) const {
    if (utf16()) {
      QByteArray out;
      out.reserve(text.size() * 2);
      for (const QChar c : text) {
        const char16_t u = c.unicode();
        const char hi = char(u >> 8), lo = char(u & 0xFF);
        if (encoding == Encoding::Utf16LE)
          out.append(lo).append(hi);
        else
          out.append(hi).append(lo);
      }
      return out;
    }
    QByteArray ansi;
    // Bytes that would read back as other UTF-8 text stay UTF-8.
    bool utf8 = false;
    if (codePage && encodeCp1252(text, ansi) && decode8Bit(ansi, &utf8) == text) return ansi;
    return text.toUtf8();
  }

  // Whether `bytes` (a line as read) ends with its line end.
  bool terminated(const QByteArray& bytes) const {
    if (!utf16()) return bytes.endsWith('\n') || bytes.endsWith('\r');
    return bytes.endsWith(encode(QStringLiteral("\n"))) || bytes.endsWith(encode(QStringLiteral("\r")));
  }
};

IniText load(const String& fileName) {
  IniText ini;
  QFile file(NormalizePath(fileName));
  // A folder does not open (the open reads the status anyway): no separate
  // look at the name first, since a shortcut scan reads thousands of files.
  if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly)) return ini;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return ini;

  qsizetype at = 0;
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    ini.encoding = Encoding::Utf8Bom;
    at = 3;
  } else if (bytes.startsWith("\xFF\xFE")) {
    ini.encoding = Encoding::Utf16LE;
    at = 2;
  } else if (bytes.startsWith("\xFE\xFF")) {
    ini.encoding = Encoding::Utf16BE;
    at = 2;
  }
  const int unit = ini.utf16() ? 2 : 1;
  const auto unitAt = [&](qsizetype i) -> char16_t {
    if (!ini.utf16()) return static_cast<unsigned char>(bytes[i]);
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return ini.encoding == Encoding::Utf16LE ? char16_t(b << 8 | a) : char16_t(a << 8 | b);
  };
  // An odd last byte of a UTF-16 file is no character.
  const qsizetype n = ini.utf16() ? bytes.size() - (bytes.size() - at) % 2 : bytes.size();
  bool sawCrLf = false, sawLf = false, sawUtf8 = false, sawOther = false;
  while (at < n) {
    const qsizetype start = at;
    qsizetype end = at;
    while (end < n && unitAt(end) != u'\r' && unitAt(end) != u'\n') end += unit;
    at = end;
    if (at < n) {
      const bool crlf = unitAt(at) == u'\r' && at + unit < n && unitAt(at + unit) == u'\n';
      sawCrLf |= crlf;
      sawLf |= !crlf && unitAt(at) == u'\n';
      at += crlf ? 2 * unit : unit;
    }
    String text;
    if (ini.utf16()) {
      text.reserve((end - start) / 2);
      for (qsizetype i = start; i < end; i += 2) text += QChar(unitAt(i));
    } else {
      const QByteArray line = bytes.mid(start, end - start);
      bool utf8 = false;
      text = decode8Bit(line, &utf8);
      sawOther |= !utf8;
      sawUtf8 |= utf8 && std::any_of(line.begin(), line.end(), [](char c) { return c & 0x80; });
    }
    ini.lines << text;
    ini.raw << bytes.mid(start, at - start);
  }
  if (!sawCrLf && sawLf) ini.eol = QStringLiteral("\n");
  ini.codePage = sawOther && !sawUtf8;
  return ini;
}

void save(const String& fileName, const IniText& ini) {
  QByteArray bytes;
  switch (ini.encoding) {
    case Encoding::Utf8: break;
    case Encoding::Utf8Bom: bytes += "\xEF\xBB\xBF"; break;
    case Encoding::Utf16LE: bytes += "\xFF\xFE"; break;
    case Encoding::Utf16BE: bytes += "\xFE\xFF"; break;
  }
  const QByteArray eol = ini.encode(ini.eol);
  for (qsizetype i = 0; i < ini.lines.size(); ++i) {
    if (ini.raw[i].isEmpty()) {
      bytes += ini.encode(ini.lines[i]) + eol;
      continue;
    }
    bytes += ini.raw[i];
    if (i + 1 < ini.lines.size() && !ini.terminated(ini.raw[i])) bytes += eol;
  }
  if (!WriteFileAtomic(fileName, bytes))
    throw EIniFileException(QStringLiteral("Unable to write to %1").arg(fileName));
}

// Index of the first header of `section` at or after `from`, or -1.
qsizetype findSection(const QStringList& lines, const String& section, qsizetype from = 0) {
  const String wanted = Trim(section);
  for (qsizetype i = from; i < lines.size(); ++i) {
    const Line line = classify(lines[i]);
    if (line.kind == Line::Section && AnsiSameText(line.name, wanted)) return i;
  }
  return -1;
}

// Index of the line after the section whose header is at `header`.
qsizetype sectionEnd(const QStringList& lines, qsizetype header) {
  for (qsizetype i = header + 1; i < lines.size(); ++i)
    if (classify(lines[i]).kind == Line::Section) return i;
  return lines.size();
}

// Index of the first line of `ident` in the section at `header`, or -1.
qsizetype findKey(const QStringList& lines, qsizetype header, const String& ident) {
  const String wanted = Trim(ident);
  const qsizetype end = sectionEnd(lines, header);
  for (qsizetype i = header + 1; i < end; ++i) {
    const Line line = classify(lines[i]);
    if (line.kind == Line::Key && AnsiSameText(line.name, wanted)) return i;
  }
  return -1;
}

bool containsText(const QStringList& list, const String& s) {
  for (const String& item : list)
    if (AnsiSameText(item, s)) return true;
  return false;
}

// The key lines of the first `section`, first occurrence of each key only.
QVector<Line> sectionKeys(const String& fileName, const String& section) {
  QVector<Line> keys;
  const IniText ini = load(fileName);
  const qsizetype header = findSection(ini.lines, section);
  if (header < 0) return keys;
  QStringList seen;
  const qsizetype end = sectionEnd(ini.lines, header);
  for (qsizetype i = header + 1; i < end; ++i) {
    const Line line = classify(ini.lines[i]);
    if (line.kind != Line::Key || containsText(seen, line.name)) continue;
    seen << line.name;
    keys << line;
  }
  return keys;
}

// A value, key or section name has to stay on its line.
String oneLine(const String& s) {
  String r = s;
  r.replace(QLatin1String("\r\n"), QLatin1String(" "));
  r.replace(QLatin1Char('\r'), QLatin1Char(' '));
  r.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return r;
}

void fill(TStrings& strings, const QStringList& items) {
  strings.BeginUpdate();
  strings.Clear();
  strings.AddStrings(items);
  strings.EndUpdate();
}

}  // namespace

String TIniFile::ReadString(const String& section, const String& ident, const String& def) {
  const IniText ini = load(FileName());
  const qsizetype header = findSection(ini.lines, section);
  if (header < 0) return def;
  const qsizetype key = findKey(ini.lines, header, ident);
  return key < 0 ? def : classify(ini.lines[key]).value;
}

void TIniFile::WriteString(const String& section, const String& ident, const String& value) {
  const String sectionName = Trim(oneLine(section));
  const String keyName = Trim(oneLine(ident));
  if (keyName.isEmpty()) return;
  IniText ini = load(FileName());
  const String newLine = keyName + QLatin1Char('=') + oneLine(value);
  const qsizetype header = findSection(ini.lines, sectionName);
  if (header < 0) {
    // A new section goes at the end of the file, after a blank line.
    if (!ini.lines.isEmpty() && !Trim(ini.lines.last()).isEmpty()) ini.append(String());
    ini.append(QLatin1Char('[') + sectionName + QLatin1Char(']'));
    ini.append(newLine);
  } else if (const qsizetype key = findKey(ini.lines, header, keyName); key >= 0) {
    // Keep the key's spelling as the file has it.
    const String line = classify(ini.lines[key]).name + QLatin1Char('=') + oneLine(value);
    if (ini.lines[key] == line) return;
    ini.replace(key, line);
  } else {
    // A new key goes after the last non-blank line of its section.
    qsizetype at = sectionEnd(ini.lines, header);
    while (at > header + 1 && Trim(ini.lines[at - 1]).isEmpty()) --at;
    ini.insert(at, newLine);
  }
  save(FileName(), ini);
}

void TIniFile::ReadSection(const String& section, TStrings& strings) {
  QStringList names;
  for (const Line& line : sectionKeys(FileName(), section)) names << line.name;
  fill(strings, names);
}

void TIniFile::ReadSections(TStrings& strings) {
  QStringList names;
  for (const String& text : load(FileName()).lines) {
    const Line line = classify(text);
    if (line.kind == Line::Section && !line.name.isEmpty() && !containsText(names, line.name))
      names << line.name;
  }
  fill(strings, names);
}

void TIniFile::ReadSectionValues(const String& section, TStrings& strings) {
  QStringList pairs;
  for (const Line& line : sectionKeys(FileName(), section))
    pairs << line.name + QLatin1Char('=') + line.value;
  fill(strings, pairs);
}

void TIniFile::EraseSection(const String& section) {
  IniText ini = load(FileName());
  bool changed = false;
  for (qsizetype header = findSection(ini.lines, section); header >= 0;
       header = findSection(ini.lines, section, header)) {
    ini.remove(header, sectionEnd(ini.lines, header) - header);
    changed = true;
  }
  if (changed) save(FileName(), ini);
}

void TIniFile::DeleteKey(const String& section, const String& ident) {
  IniText ini = load(FileName());
  const qsizetype header = findSection(ini.lines, section);
  if (header < 0) return;
  bool changed = false;
  for (qsizetype key = findKey(ini.lines, header, ident); key >= 0; key = findKey(ini.lines, header, ident)) {
    ini.remove(key, 1);
    changed = true;
  }
  if (changed) save(FileName(), ini);
}

bool TIniFile::SectionExists(const String& section) {
  return findSection(load(FileName()).lines, section) >= 0;
}

bool TIniFile::ValueExists(const String& section, const String& ident) {
  const IniText ini = load(FileName());
  const qsizetype header = findSection(ini.lines, section);
  return header >= 0 && findKey(ini.lines, header, ident) >= 0;
}
