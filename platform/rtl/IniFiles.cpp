#include "platform/rtl/IniFiles.h"

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

// The lines of the file and the line end it uses (CR LF unless the file
// already uses bare LF).
struct IniText {
  QStringList lines;
  String eol = QStringLiteral("\r\n");
};

IniText load(const String& fileName) {
  IniText ini;
  bool ok = false;
  const String text = ReadTextFile(fileName, &ok);
  if (!ok) return ini;
  if (!text.contains(QLatin1String("\r\n")) && text.contains(QLatin1Char('\n')))
    ini.eol = QStringLiteral("\n");
  TStringList lines;
  lines.SetText(text);
  ini.lines = lines.Strings();
  return ini;
}

void save(const String& fileName, const IniText& ini) {
  String text = ini.lines.join(ini.eol);
  if (!ini.lines.isEmpty()) text += ini.eol;
  if (!WriteTextFileAtomic(fileName, text))
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
    if (!ini.lines.isEmpty() && !Trim(ini.lines.last()).isEmpty()) ini.lines << String();
    ini.lines << QLatin1Char('[') + sectionName + QLatin1Char(']') << newLine;
  } else if (const qsizetype key = findKey(ini.lines, header, keyName); key >= 0) {
    // Keep the key's spelling as the file has it.
    const String line = classify(ini.lines[key]).name + QLatin1Char('=') + oneLine(value);
    if (ini.lines[key] == line) return;
    ini.lines[key] = line;
  } else {
    // A new key goes after the last non-blank line of its section.
    qsizetype at = sectionEnd(ini.lines, header);
    while (at > header + 1 && Trim(ini.lines[at - 1]).isEmpty()) --at;
    ini.lines.insert(at, newLine);
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
    ini.lines.remove(header, sectionEnd(ini.lines, header) - header);
    changed = true;
  }
  if (changed) save(FileName(), ini);
}

void TIniFile::DeleteKey(const String& section, const String& ident) {
  IniText ini = load(FileName());
  const qsizetype header = findSection(ini.lines, section);
  if (header < 0) return;
  bool changed = false;
  for (qsizetype key = findKey(ini.lines, header, ident); key >= 0;
       key = findKey(ini.lines, header, ident)) {
    ini.lines.removeAt(key);
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
