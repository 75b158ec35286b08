// Registry store files of any text: the whole tree reads, and a change saves
// a file that reads back to the same tree.
#include "platform/rtl/Registry.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QFile>

using fuzzsupport::Check;

namespace {

constexpr HKEY kHives[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                           HKEY_CURRENT_CONFIG};

// Every key and value below `path`, one line each, in a fixed order.
void Walk(HKEY hive, const String& path, int depth, QStringList& out) {
  TRegistry reg;
  reg.RootKey = hive;
  if (!reg.OpenKeyReadOnly(QLatin1Char('\\') + path)) {
    Check(path.isEmpty(), "a listed key opens", path);
    return;
  }
  out << QStringLiteral("[%1]").arg(path);
  TStringList names;
  reg.GetValueNames(names);
  for (int i = 0; i < names.Count(); ++i) {
    const String name = names[i];
    Check(reg.ValueExists(name), "a listed value exists", name);
    switch (reg.GetDataType(name)) {
      case rdInteger: out << name + QStringLiteral("=#") + QString::number(reg.ReadInteger(name)); break;
      default: out << name + QStringLiteral("=\"") + reg.ReadString(name); break;
    }
  }
  if (depth > 64) return;
  TStringList keys;
  reg.GetKeyNames(keys);
  for (int i = 0; i < keys.Count(); ++i)
    Walk(hive, path.isEmpty() ? keys[i] : path + QLatin1Char('\\') + keys[i], depth + 1, out);
}

QStringList Tree() {
  QStringList out;
  for (HKEY hive : kHives) {
    out << QStringLiteral("hive %1").arg(hive);
    Walk(hive, String(), 0, out);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    QFile f(RegistryStoreFileName());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), qsizetype(size));
  }
  ResetRegistryStoreForTests();
  const QStringList before = Tree();

  // A change saves the whole store; what is saved reads back the same.
  TRegistry reg;
  reg.RootKey = HKEY_USERS;
  try {
    if (!reg.KeyExists(QStringLiteral("\\FuzzScratch")) &&
        reg.OpenKey(QStringLiteral("\\FuzzScratch"), true)) {
      reg.WriteInteger(QStringLiteral("n"), 1);
      reg.CloseKey();
      reg.DeleteKey(QStringLiteral("\\FuzzScratch"));
    }
  } catch (const Exception&) {
  }
  ResetRegistryStoreForTests();
  const QStringList after = Tree();
  Check(before == after, "the saved store reads back to the same tree",
        before.join(QLatin1Char('\n')) + QStringLiteral("\n----\n") + after.join(QLatin1Char('\n')));
  return 0;
}
