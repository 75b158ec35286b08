#include "platform/rtl/Registry.h"

#include "platform/rtl/Folders.h"
#include "platform/rtl/Log_p.h"

#include <QLockFile>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------- the tree

struct RegValue {
  String name;
  bool isInteger = false;
  String text;
  quint32 number = 0;
};

struct RegKey {
  String name;
  std::vector<RegValue> values;  // in the order they were created
  std::vector<RegKey> subkeys;   // sorted case-insensitively

  RegKey* child(const String& childName) {
    for (RegKey& key : subkeys)
      if (AnsiSameText(key.name, childName)) return &key;
    return nullptr;
  }

  RegKey& addChild(const String& childName) {
    if (RegKey* existing = child(childName)) return *existing;
    const auto at = std::find_if(subkeys.begin(), subkeys.end(),
                                 [&](const RegKey& key) { return AnsiCompareText(key.name, childName) > 0; });
    RegKey key;
    key.name = childName;
    return *subkeys.insert(at, std::move(key));
  }

  RegValue* value(const String& valueName) {
    for (RegValue& v : values)
      if (AnsiSameText(v.name, valueName)) return &v;
    return nullptr;
  }

  // Replaces the value of that name (keeping the name's stored case) or adds it.
  void setValue(RegValue v) {
    if (RegValue* old = value(v.name)) {
      v.name = old->name;
      *old = std::move(v);
    } else {
      values.push_back(std::move(v));
    }
  }
};

// The tree's root holds one subkey per hive, named like the hive.
struct Hive {
  HKEY key;
  const char* name;
};
constexpr Hive kHives[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

String hiveName(HKEY key) {
  for (const Hive& hive : kHives)
    if (hive.key == key) return QString::fromLatin1(hive.name);
  return String();
}

// The canonical spelling of a hive name, or "" when it names no hive.
String canonicalHive(const String& name) {
  for (const Hive& hive : kHives)
    if (AnsiSameText(name, QLatin1String(hive.name))) return QString::fromLatin1(hive.name);
  return String();
}

// A key name is one segment of a path: no separator, no control characters,
// and proper UTF-16 so that it survives the store file.
bool validKeyName(const String& name) {
  if (name.isEmpty() || !QStringView(name).isValidUtf16()) return false;
  for (QChar c : name)
    if (c.unicode() < 0x20 || c == QLatin1Char('\\')) return false;
  return true;
}

RegKey* findKey(RegKey& root, const QStringList& path) {
  RegKey* key = &root;
  for (const String& segment : path)
    if (!(key = key->child(segment))) return nullptr;
  return key;
}

const RegKey* findKey(const RegKey& root, const QStringList& path) {
  return findKey(const_cast<RegKey&>(root), path);
}

RegKey& makeKey(RegKey& root, const QStringList& path) {
  RegKey* key = &root;
  for (const String& segment : path) key = &key->addChild(segment);
  return *key;
}

// Removes a key below a hive with everything under it.
bool removeKey(RegKey& root, const QStringList& path) {
  if (path.size() < 2) return false;
  RegKey* parent = findKey(root, path.mid(0, path.size() - 1));
  if (!parent) return false;
  const auto it = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                               [&](const RegKey& key) { return AnsiSameText(key.name, path.last()); });
  if (it == parent->subkeys.end()) return false;
  parent->subkeys.erase(it);
  return true;
}

// ---------------------------------------------------------------- the file
//
//   ; Noctivane registry
//
//   [HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
//   "Start Page"="about:blank"
//   @="the default value"
//   "Count"=dword:0000001f
//
// Every key has a header line (so empty keys survive). Names and string data
// are quoted; inside quotes "\\", "\"", "\n", "\r", "\t" and "\uXXXX" (other
// control characters and unpaired surrogates) are escapes. The file is UTF-8.

String quote(const String& s) {
  String out;
  out.reserve(s.size() + 2);
  out += QLatin1Char('"');
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    const char16_t u = c.unicode();
    if (u == u'\\') {
      out += QLatin1String("\\\\");
    } else if (u == u'"') {
      out += QLatin1String("\\\"");
    } else if (u == u'\n') {
      out += QLatin1String("\\n");
    } else if (u == u'\r') {
      out += QLatin1String("\\r");
    } else if (u == u'\t') {
      out += QLatin1String("\\t");
    } else if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
      out += c;
      out += s[++i];
    } else if (u < 0x20 || u == 0x7F || c.isSurrogate()) {
      out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
    } else {
      out += c;
    }
  }
  out += QLatin1Char('"');
  return out;
}

// Reads a quoted text starting at line[pos]; on success `pos` is past the
// closing quote. A line that ends inside the quotes is not a value.
bool unquote(const String& line, qsizetype& pos, String& out) {
  if (pos >= line.size() || line[pos] != QLatin1Char('"')) return false;
  out.clear();
  for (qsizetype i = pos + 1; i < line.size(); ++i) {
    const QChar c = line[i];
    if (c == QLatin1Char('"')) {
      pos = i + 1;
      return true;
    }
    if (c != QLatin1Char('\\') || i + 1 >= line.size()) {
      out += c;
      continue;
    }
    const QChar e = line[++i];
    switch (e.unicode()) {
      case u'n': out += QLatin1Char('\n'); break;
      case u'r': out += QLatin1Char('\r'); break;
      case u't': out += QLatin1Char('\t'); break;
      case u'u': {
        bool ok = false;
        const uint code = line.mid(i + 1, 4).toUInt(&ok, 16);
        if (ok && line.mid(i + 1, 4).size() == 4) {
          out += QChar(char16_t(code));
          i += 4;
        } else {
          out += e;
        }
        break;
      }
      default: out += e;  // "\\" and "\"" (and anything else) stand for themselves
    }
  }
  return false;
}

void skipBlanks(const String& line, qsizetype& pos) {
  while (pos < line.size() && (line[pos] == QLatin1Char(' ') || line[pos] == QLatin1Char('\t'))) ++pos;
}

// One value line into `key`; lines that do not read as a value are skipped.
void parseValue(const String& line, RegKey& key) {
  RegValue v;
  qsizetype pos = 0;
  if (line.startsWith(QLatin1Char('@'))) {
    pos = 1;
  } else if (!unquote(line, pos, v.name)) {
    return;
  }
  skipBlanks(line, pos);
  if (pos >= line.size() || line[pos] != QLatin1Char('=')) return;
  ++pos;
  skipBlanks(line, pos);
  const String data = line.mid(pos);
  if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
    const String digits = data.mid(6).trimmed();
    bool ok = false;
    v.number = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 8) return;
    v.isInteger = true;
  } else if (!unquote(line, pos, v.text)) {
    return;
  }
  key.setValue(std::move(v));
}

void ensureHives(RegKey& root) {
  for (const Hive& hive : kHives) root.addChild(QString::fromLatin1(hive.name));
}

// Reads as much of the store as makes sense; damaged lines are skipped.
RegKey parseStore(const String& text) {
  RegKey root;
  ensureHives(root);
  RegKey* current = nullptr;  // valid until the next header
  for (const String& raw : text.split(QLatin1Char('\n'))) {
    const String line = Trim(raw);
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
    if (!line.startsWith(QLatin1Char('['))) {
      if (current) parseValue(line, *current);
      continue;
    }
    current = nullptr;
    const qsizetype close = line.lastIndexOf(QLatin1Char(']'));
    if (close < 0) continue;
    QStringList path = line.mid(1, close - 1).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (path.isEmpty() || (path[0] = canonicalHive(path[0])).isEmpty()) continue;
    if (!std::all_of(path.begin(), path.end(), validKeyName)) continue;
    current = &makeKey(root, path);
  }
  return root;
}

void writeKey(const RegKey& key, const String& path, String& out) {
  out += QLatin1String("\n[") + path + QLatin1String("]\n");
  for (const RegValue& v : key.values) {
    out += v.name.isEmpty() ? QStringLiteral("@") : quote(v.name);
    out += QLatin1Char('=');
    out += v.isInteger ? QStringLiteral("dword:%1").arg(v.number, 8, 16, QLatin1Char('0')) : quote(v.text);
    out += QLatin1Char('\n');
  }
  for (const RegKey& sub : key.subkeys) writeKey(sub, path + QLatin1Char('\\') + sub.name, out);
}

String serialize(const RegKey& root) {
  String out = QStringLiteral("; Noctivane registry\n");
  for (const RegKey& hive : root.subkeys) writeKey(hive, hive.name, out);
  return out;
}

// ---------------------------------------------------------------- seeds

struct Seed {
  HKEY root;
  String key;
  String name;  // null: the key only
  String value;
};

// What the platform's own programs would have put there.
std::vector<Seed> platformValues() {
  const String profile = ProfileDir();
  const String ie = QStringLiteral("Software\\Microsoft\\Internet Explorer");
  const String version = QStringLiteral("9.11.9600.0");
  const String pageSetup = ie + QStringLiteral("\\PageSetup");
  const String margin = QStringLiteral("0.750000");
  std::vector<Seed> seeds = {
      {HKEY_LOCAL_MACHINE, ie, QStringLiteral("Version"), version},
      {HKEY_LOCAL_MACHINE, ie, QStringLiteral("svcVersion"), version},
      {HKEY_CURRENT_USER, ie + QStringLiteral("\\Main"), QStringLiteral("Start Page"),
       QStringLiteral("about:blank")},
      {HKEY_CURRENT_USER, pageSetup, QStringLiteral("header"), QStringLiteral("&w&bPage &p of &P")},
      {HKEY_CURRENT_USER, pageSetup, QStringLiteral("footer"), QStringLiteral("&u&b&d")},
      {HKEY_CURRENT_USER, pageSetup, QStringLiteral("margin_left"), margin},
      {HKEY_CURRENT_USER, pageSetup, QStringLiteral("margin_right"), margin},
      {HKEY_CURRENT_USER, pageSetup, QStringLiteral("margin_top"), margin},
      {HKEY_CURRENT_USER, pageSetup, QStringLiteral("margin_bottom"), margin},
      {HKEY_CURRENT_USER,
       QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent"),
       String(), String()},
      {HKEY_CLASSES_ROOT, QStringLiteral(".htm"), QStringLiteral(""), QStringLiteral("htmlfile")},
      {HKEY_CLASSES_ROOT, QStringLiteral(".html"), QStringLiteral(""), QStringLiteral("htmlfile")},
      {HKEY_CLASSES_ROOT, QStringLiteral("htmlfile"), QStringLiteral(""), QStringLiteral("HTML Document")},
      {HKEY_CLASSES_ROOT, QStringLiteral(".url"), QStringLiteral(""), QStringLiteral("InternetShortcut")},
      {HKEY_CLASSES_ROOT, QStringLiteral("InternetShortcut"), QStringLiteral(""),
       QStringLiteral("Internet Shortcut")},
      {HKEY_CLASSES_ROOT, QStringLiteral("ChannelShortcut"), QStringLiteral(""),
       QStringLiteral("Channel Shortcut")},
      // The History folder's display name.
      {HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\{FF393560-C2A7-11CF-BFF4-444553540000}"), QStringLiteral(""),
       QStringLiteral("History")},
  };
  const std::pair<const char*, String> folders[] = {
      {"Favorites", profile + QStringLiteral("/Favorites")},
      {"History", profile + QStringLiteral("/History")},
      {"Cache", profile + QStringLiteral("/Cache")},
      {"Desktop", QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)},
      {"Personal", QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)},
  };
  const String explorer = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\");
  for (const char* list : {"Shell Folders", "User Shell Folders"})
    for (const auto& [name, path] : folders)
      seeds.push_back({HKEY_CURRENT_USER, explorer + QLatin1String(list), QLatin1String(name), path});
  return seeds;
}

// Adds the platform values that are missing; answers whether any was.
bool applySeeds(RegKey& root) {
  const String profile = ProfileDir() + QLatin1Char('/');
  bool added = false;
  for (const Seed& seed : platformValues()) {
    const QStringList path =
        QStringList{hiveName(seed.root)} + seed.key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    RegKey* key = findKey(root, path);
    if (!key) {
      key = &makeKey(root, path);
      added = true;
    }
    if (seed.name.isNull() || key->value(seed.name)) continue;
    key->setValue(RegValue{seed.name, false, seed.value, 0});
    added = true;
    // The folders of the profile that are published here should exist.
    if (seed.value.startsWith(profile)) ForceDirectories(seed.value);
  }
  return added;
}

// ---------------------------------------------------------------- the store

std::atomic<bool> writesFail{false};
constexpr int kLockTimeoutMs = 5000;

class Store {
 public:
  template <typename F>
  auto read(F&& f) {
    QMutexLocker lock(&mutex_);
    load();
    return f(std::as_const(root_));
  }

  // Applies `change` to the current state of the store and saves it. When
  // `change` answers false or the save fails, nothing changes.
  bool write(const std::function<bool(RegKey&)>& change) {
    QMutexLocker lock(&mutex_);
    load();
    return commit(change);
  }

  void reset() {
    QMutexLocker lock(&mutex_);
    loaded_ = false;
    root_ = RegKey();
    lastText_.clear();
  }

 private:
  void load() {
    if (loaded_) return;
    loaded_ = true;
    path_ = RegistryStoreFileName();
    bool ok = false;
    const String text = ReadTextFile(path_, &ok);
    lastText_ = ok ? text : String();
    root_ = parseStore(lastText_);
    // Seeds that cannot be saved still serve this process.
    if (applySeeds(root_)) commit([](RegKey&) { return true; });
  }

  bool commit(const std::function<bool(RegKey&)>& change) {
    if (writesFail) return false;
    // Another instance of the program may write the same file.
    QLockFile lock(path_ + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs)) {
      qCDebug(lcRtl) << "registry store" << path_ << "stays locked by another instance";
      return false;
    }
    bool ok = false;
    String disk = ReadTextFile(path_, &ok);
    if (!ok) disk.clear();
    if (disk != lastText_) {
      root_ = parseStore(disk);
      applySeeds(root_);
      lastText_ = disk;
    }
    RegKey next = root_;
    if (!change(next)) return false;
    const String text = serialize(next);
    if (text != disk && !WriteTextFileAtomic(path_, text)) {
      qCDebug(lcRtl) << "registry store" << path_ << "cannot be written";
      return false;
    }
    root_ = std::move(next);
    lastText_ = text;
    return true;
  }

  QMutex mutex_;
  bool loaded_ = false;
  String path_;
  RegKey root_;
  String lastText_;  // the file's text as last read or written
};

Store& store() {
  static Store instance;
  return instance;
}

std::optional<RegValue> valueAt(const QStringList& keyPath, const String& name) {
  return store().read([&](const RegKey& root) -> std::optional<RegValue> {
    RegKey* key = findKey(const_cast<RegKey&>(root), keyPath);
    const RegValue* v = key ? key->value(name) : nullptr;
    return v ? std::optional<RegValue>(*v) : std::nullopt;
  });
}

bool keyExists(const QStringList& path) {
  return store().read([&](const RegKey& root) { return findKey(root, path) != nullptr; });
}

bool createKey(const QStringList& path) {
  return store().write([&](RegKey& root) {
    makeKey(root, path);
    return true;
  });
}

void fill(TStrings& strings, const QStringList& items) {
  strings.BeginUpdate();
  strings.Clear();
  strings.AddStrings(items);
  strings.EndUpdate();
}

[[noreturn]] void raiseSetFailed(const String& name) {
  throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name));
}

[[noreturn]] void raiseInvalidType(const String& name) {
  throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name));
}

}  // namespace

String RegistryStoreFileName() { return ProfileDir() + QStringLiteral("/registry.txt"); }

void SetRegistryWritesFail(bool fail) { writesFail = fail; }

void ResetRegistryStoreForTests() { store().reset(); }

// ---------------------------------------------------------------- TRegistry

QStringList TRegistry::openPath() const {
  QStringList path{hiveName(RootKey)};
  if (isOpen_ && openRoot_ == RootKey) path += openSegments_;
  return path;
}

bool TRegistry::resolve(const String& key, QStringList& path) const {
  path = key.startsWith(QLatin1Char('\\')) ? QStringList{hiveName(RootKey)} : openPath();
  if (path[0].isEmpty()) return false;
  for (const String& segment : key.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
    if (!validKeyName(segment)) return false;
    path << segment;
  }
  return true;
}

String TRegistry::CurrentPath() const {
  return isOpen_ && openRoot_ == RootKey ? openSegments_.join(QLatin1Char('\\')) : String();
}

bool TRegistry::OpenKey(const String& key, bool canCreate) {
  QStringList path;
  if (!resolve(key, path)) return false;
  if (!keyExists(path) && (!canCreate || !createKey(path))) return false;
  openRoot_ = RootKey;
  openSegments_ = path.mid(1);
  isOpen_ = true;
  readOnly_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const String& key) {
  if (!OpenKey(key, false)) return false;
  readOnly_ = true;
  return true;
}

void TRegistry::CloseKey() {
  isOpen_ = false;
  readOnly_ = false;
  openSegments_.clear();
}

bool TRegistry::KeyExists(const String& key) {
  QStringList path;
  return resolve(key, path) && keyExists(path);
}

bool TRegistry::CreateKey(const String& key) {
  QStringList path;
  return resolve(key, path) && (keyExists(path) || createKey(path));
}

bool TRegistry::DeleteKey(const String& key) {
  QStringList path;
  if (!resolve(key, path)) return false;
  return store().write([&](RegKey& root) { return removeKey(root, path); });
}

bool TRegistry::MoveKey(const String& oldName, const String& newName, bool deleteOld) {
  QStringList from, to;
  if (!resolve(oldName, from) || !resolve(newName, to) || from.size() < 2 || to.size() < 2) return false;
  // A key cannot move into itself.
  bool inside = to.size() >= from.size();
  for (qsizetype i = 0; inside && i < from.size(); ++i) inside = AnsiSameText(from[i], to[i]);
  if (inside) return false;
  return store().write([&](RegKey& root) {
    const RegKey* source = findKey(root, from);
    if (!source || findKey(root, to)) return false;
    RegKey copy = *source;
    RegKey& target = makeKey(root, to);
    target.values = std::move(copy.values);
    target.subkeys = std::move(copy.subkeys);
    if (deleteOld) removeKey(root, from);
    return true;
  });
}

bool TRegistry::HasSubKeys() {
  const QStringList path = openPath();
  return store().read([&](const RegKey& root) {
    const RegKey* key = findKey(root, path);
    return key && !key->subkeys.empty();
  });
}

void TRegistry::GetKeyNames(TStrings& strings) {
  const QStringList path = openPath();
  const QStringList names = store().read([&](const RegKey& root) {
    QStringList out;
    if (const RegKey* key = findKey(root, path))
      for (const RegKey& sub : key->subkeys) out << sub.name;
    return out;
  });
  fill(strings, names);
}

void TRegistry::GetValueNames(TStrings& strings) {
  const QStringList path = openPath();
  const QStringList names = store().read([&](const RegKey& root) {
    QStringList out;
    if (const RegKey* key = findKey(root, path))
      for (const RegValue& v : key->values) out << v.name;
    return out;
  });
  fill(strings, names);
}

bool TRegistry::ValueExists(const String& name) { return valueAt(openPath(), name).has_value(); }

TRegDataType TRegistry::GetDataType(const String& name) {
  const std::optional<RegValue> v = valueAt(openPath(), name);
  if (!v) return rdUnknown;
  return v->isInteger ? rdInteger : rdString;
}

String TRegistry::ReadString(const String& name) {
  const std::optional<RegValue> v = valueAt(openPath(), name);
  if (!v) return String();
  if (v->isInteger) raiseInvalidType(name);
  return v->text;
}

int TRegistry::ReadInteger(const String& name) {
  const std::optional<RegValue> v = valueAt(openPath(), name);
  if (!v) throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(name));
  if (!v->isInteger) raiseInvalidType(name);
  return int(v->number);
}

bool TRegistry::ReadBool(const String& name) { return ReadInteger(name) != 0; }

void TRegistry::writeValue(const String& name, const String* text, const int* number) {
  const QStringList path = openPath();
  const bool readOnly = readOnly_ && isOpen_ && openRoot_ == RootKey;
  RegValue v{name, number != nullptr, text ? *text : String(), number ? quint32(*number) : 0u};
  if (readOnly || !store().write([&](RegKey& root) {
        RegKey* key = findKey(root, path);
        if (!key) return false;
        key->setValue(v);
        return true;
      }))
    raiseSetFailed(name);
}

void TRegistry::WriteString(const String& name, const String& value) { writeValue(name, &value, nullptr); }

void TRegistry::WriteInteger(const String& name, int value) { writeValue(name, nullptr, &value); }

void TRegistry::WriteBool(const String& name, bool value) { WriteInteger(name, value ? 1 : 0); }

bool TRegistry::DeleteValue(const String& name) {
  const QStringList path = openPath();
  if (readOnly_ && isOpen_ && openRoot_ == RootKey) return false;
  return store().write([&](RegKey& root) {
    RegKey* key = findKey(root, path);
    if (!key) return false;
    const auto it = std::find_if(key->values.begin(), key->values.end(),
                                 [&](const RegValue& v) { return AnsiSameText(v.name, name); });
    if (it == key->values.end()) return false;
    key->values.erase(it);
    return true;
  });
}

// ---------------------------------------------------------------- TRegistryIniFile

bool TRegistryIniFile::openSection(TRegistry& reg, const String& section, bool canCreate,
                                   bool readOnly) const {
  reg.RootKey = HKEY_CURRENT_USER;
  String path = QLatin1Char('\\') + FileName();
  if (!section.isEmpty()) path += QLatin1Char('\\') + section;
  return readOnly ? reg.OpenKeyReadOnly(path) : reg.OpenKey(path, canCreate);
}

String TRegistryIniFile::ReadString(const String& section, const String& ident, const String& def) {
  TRegistry reg;
  if (!openSection(reg, section, false, true)) return def;
  switch (reg.GetDataType(ident)) {
    case rdInteger: return IntToStr(reg.ReadInteger(ident));
    case rdUnknown: return def;
    default: return reg.ReadString(ident);
  }
}

void TRegistryIniFile::WriteString(const String& section, const String& ident, const String& value) {
  TRegistry reg;
  if (!openSection(reg, section, true, false)) raiseSetFailed(ident);
  reg.WriteString(ident, value);
}

int TRegistryIniFile::ReadInteger(const String& section, const String& ident, int def) {
  TRegistry reg;
  if (!openSection(reg, section, false, true)) return def;
  switch (reg.GetDataType(ident)) {
    case rdInteger: return reg.ReadInteger(ident);
    case rdUnknown: return def;
    default: return StrToIntDef(Trim(reg.ReadString(ident)), def);
  }
}

void TRegistryIniFile::WriteInteger(const String& section, const String& ident, int value) {
  TRegistry reg;
  if (!openSection(reg, section, true, false)) raiseSetFailed(ident);
  if (reg.GetDataType(ident) == rdString)
    reg.WriteString(ident, IntToStr(value));
  else
    reg.WriteInteger(ident, value);
}

void TRegistryIniFile::ReadSection(const String& section, TStrings& strings) {
  TRegistry reg;
  if (openSection(reg, section, false, true))
    reg.GetValueNames(strings);
  else
    strings.Clear();
}

void TRegistryIniFile::ReadSections(TStrings& strings) {
  TRegistry reg;
  if (openSection(reg, String(), false, true))
    reg.GetKeyNames(strings);
  else
    strings.Clear();
}

void TRegistryIniFile::ReadSectionValues(const String& section, TStrings& strings) {
  TStringList names;
  ReadSection(section, names);
  QStringList pairs;
  for (const String& name : names.Strings())
    pairs << name + QLatin1Char('=') + ReadString(section, name, String());
  fill(strings, pairs);
}

void TRegistryIniFile::EraseSection(const String& section) {
  if (section.isEmpty()) return;
  TRegistry reg;
  if (openSection(reg, String(), false, false)) reg.DeleteKey(section);
}

void TRegistryIniFile::DeleteKey(const String& section, const String& ident) {
  TRegistry reg;
  if (openSection(reg, section, false, false)) reg.DeleteValue(ident);
}

bool TRegistryIniFile::SectionExists(const String& section) {
  TRegistry reg;
  return openSection(reg, section, false, true);
}

bool TRegistryIniFile::ValueExists(const String& section, const String& ident) {
  TRegistry reg;
  return openSection(reg, section, false, true) && reg.ValueExists(ident);
}
