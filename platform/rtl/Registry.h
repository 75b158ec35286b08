#pragma once
// The registry: a per-user tree of keys holding named string and integer
// values, kept in one human-readable text file in the profile folder
// (RegistryStoreFileName()). Key and value names are case-insensitive and keep
// the case they were created with.
//
// The store is loaded once per process and saved, atomically, after every
// change. Each change takes a lock file beside the store, re-reads the file
// when another instance of the program changed it meanwhile, and applies the
// change on top. Values the program expects from the platform (browser
// version, start page, shell folders, file type names) are filled in when
// missing.
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/WinTypes.h"

using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

// Access rights; accepted and not enforced (only OpenKeyReadOnly makes a key
// read-only).
inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_SET_VALUE = 0x0002;
inline constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD KEY_WRITE = 0x20006;
inline constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry : public TObject {
 public:
  TRegistry() = default;
  explicit TRegistry(DWORD access) : Access(access) {}
  ~TRegistry() override = default;
  String ClassName() const override { return QStringLiteral("TRegistry"); }

  // The hive that paths start from. Changing it closes the open key.
  HKEY RootKey = HKEY_CURRENT_USER;
  DWORD Access = KEY_ALL_ACCESS;
  bool LazyWrite = true;  // every change is saved at once anyway

  // The open key's path below RootKey ("" when none is open).
  String CurrentPath() const;

  // A key starting with "\" is a path from RootKey; otherwise it is relative to
  // the open key (or to RootKey when none is open). Answers false when the key
  // is missing and may not or cannot be created.
  bool OpenKey(const String& key, bool canCreate);
  // Opens an existing key; writes through it fail.
  bool OpenKeyReadOnly(const String& key);
  void CloseKey();

  bool KeyExists(const String& key);
  // Creates the key and the keys on its way; answers false when it cannot.
  bool CreateKey(const String& key);
  // Deletes the key with everything below it.
  bool DeleteKey(const String& key);
  // Copies `oldName` with everything below it to `newName` (which must not
  // exist yet), then deletes `oldName` when `deleteOld`. Both paths are resolved
  // like OpenKey's. Answers whether it was done.
  bool MoveKey(const String& oldName, const String& newName, bool deleteOld);
  bool HasSubKeys();
  // Subkey names of the open key, sorted case-insensitively.
  void GetKeyNames(TStrings& strings);
  // Value names of the open key, in the order they were created.
  void GetValueNames(TStrings& strings);

  // The empty name "" is the key's default value.
  bool ValueExists(const String& name);
  TRegDataType GetDataType(const String& name);
  // "" when the value is missing; ERegistryException when it is an integer.
  String ReadString(const String& name);
  // ERegistryException when the value is missing or not an integer.
  int ReadInteger(const String& name);
  bool ReadBool(const String& name);
  // The writes raise ERegistryException "Failed to set data for '<name>'"
  // when the value cannot be stored; the store is then unchanged.
  void WriteString(const String& name, const String& value);
  void WriteInteger(const String& name, int value);
  void WriteBool(const String& name, bool value);
  bool DeleteValue(const String& name);

 private:
  // The full path of `key` (hive name first) and whether it is valid.
  bool resolve(const String& key, QStringList& path) const;
  QStringList openPath() const;
  void writeValue(const String& name, const String* text, const int* number);

  HKEY openRoot_ = 0;         // RootKey when the key was opened
  QStringList openSegments_;  // the open key below the hive
  bool isOpen_ = false;
  bool readOnly_ = false;
};

// An ini-file view of the registry: the file name is a key path below
// HKEY_CURRENT_USER, sections are its subkeys and idents their values. New
// integers are stored as integer values; integers stored as strings are read
// and rewritten as strings.
class TRegistryIniFile : public TCustomIniFile {
 public:
  explicit TRegistryIniFile(const String& fileName) : TCustomIniFile(fileName) {}
  String ClassName() const override { return QStringLiteral("TRegistryIniFile"); }

  String ReadString(const String& section, const String& ident, const String& def) override;
  // Raise ERegistryException when the value cannot be stored.
  void WriteString(const String& section, const String& ident, const String& value) override;
  int ReadInteger(const String& section, const String& ident, int def) override;
  void WriteInteger(const String& section, const String& ident, int value) override;
  void ReadSection(const String& section, TStrings& strings) override;
  void ReadSections(TStrings& strings) override;
  void ReadSectionValues(const String& section, TStrings& strings) override;
  void EraseSection(const String& section) override;
  void DeleteKey(const String& section, const String& ident) override;
  bool SectionExists(const String& section) override;
  bool ValueExists(const String& section, const String& ident) override;

 private:
  // Opens the key of `section` in `reg`.
  bool openSection(TRegistry& reg, const String& section, bool canCreate, bool readOnly) const;
};

// The file the registry is kept in.
String RegistryStoreFileName();
// Makes every registry write fail (for tests of unwritable stores).
void SetRegistryWritesFail(bool fail);
// Drops the loaded store; the next use loads it from disk again.
void ResetRegistryStoreForTests();
