// Ini files of any bytes: every section and key reads, and a write, a
// delete and an erase do what they say while the file keeps its byte-order
// mark.
#include "platform/rtl/IniFiles.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QFile>

using fuzzsupport::Check;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Bom(const QByteArray& bytes) {
  for (const char* bom : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
    if (bytes.startsWith(bom)) return bom;
  return QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString path = fuzzsupport::ProfileDir() + QStringLiteral("/fuzz.ini");
  const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(input);
  }
  TIniFile ini(path);
  TStringList sections, keys, values;
  ini.ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i) {
    const String section = sections[i];
    Check(ini.SectionExists(section), "a listed section exists", section);
    ini.ReadSection(section, keys);
    ini.ReadSectionValues(section, values);
    Check(keys.Count() == values.Count(), "one value line per key", section);
    for (int k = 0; k < keys.Count(); ++k) {
      Check(ini.ValueExists(section, keys[k]), "a listed key exists", keys[k]);
      ini.ReadString(section, keys[k], String());
      ini.ReadInteger(section, keys[k], 0);
    }
  }

  const String value = QStringLiteral("fuzz \u00E9 value");
  try {
    if (sections.Count() > 0) {
      const String section = sections[0];
      ini.ReadSection(section, keys);
      if (keys.Count() > 0) {
        ini.WriteString(section, keys[0], value);
        Check(ini.ReadString(section, keys[0], String()) == value, "a written key reads back", keys[0]);
        ini.DeleteKey(section, keys[0]);
        Check(!ini.ValueExists(section, keys[0]), "a deleted key is gone", keys[0]);
      }
      ini.WriteString(section, QStringLiteral("FuzzNewKey"), value);
      Check(ini.ReadString(section, QStringLiteral("FuzzNewKey"), String()) == value, "a new key reads back",
            section);
      Check(Bom(ReadAll(path)) == Bom(input), "the file keeps its encoding");
      ini.EraseSection(section);
      Check(!ini.SectionExists(section), "an erased section is gone", section);
    }
    ini.WriteString(QStringLiteral("Fuzz New Section"), QStringLiteral("Key"), value);
    Check(ini.ReadString(QStringLiteral("Fuzz New Section"), QStringLiteral("Key"), String()) == value,
          "a key of a new section reads back");
  } catch (const EIniFileException&) {
    // The profile folder is writable; nothing should refuse a write.
    Check(false, "write refused");
  }
  return 0;
}
