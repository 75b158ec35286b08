#pragma once
// Ini files with the profile-file semantics of the platform: section and key
// names are case-insensitive, values are trimmed, and a write changes only the
// line it concerns, keeping comments, blank lines, unknown sections and the
// order of the other keys.
#include "platform/rtl/Classes.h"

// What every ini-like store offers; TIniFile keeps it in a text file,
// TRegistryIniFile (Registry.h) in the registry.
class TCustomIniFile : public TObject {
 public:
  explicit TCustomIniFile(const String& fileName) : fileName_(fileName) {}
  String ClassName() const override { return QStringLiteral("TCustomIniFile"); }
  const String& FileName() const { return fileName_; }

  virtual String ReadString(const String& section, const String& ident, const String& def) = 0;
  virtual void WriteString(const String& section, const String& ident, const String& value) = 0;
  // Missing or not a number (decimal, "$1F" or "0x1F") gives `def`.
  virtual int ReadInteger(const String& section, const String& ident, int def);
  virtual void WriteInteger(const String& section, const String& ident, int value);
  // Stored as "1"/"0"; any integer other than 0 reads as true.
  bool ReadBool(const String& section, const String& ident, bool def);
  void WriteBool(const String& section, const String& ident, bool value);

  // Each fills `strings` after clearing it.
  virtual void ReadSection(const String& section, TStrings& strings) = 0;  // key names
  virtual void ReadSections(TStrings& strings) = 0;
  virtual void ReadSectionValues(const String& section, TStrings& strings) = 0;  // "key=value"

  virtual void EraseSection(const String& section) = 0;
  virtual void DeleteKey(const String& section, const String& ident) = 0;
  virtual bool SectionExists(const String& section) = 0;
  virtual bool ValueExists(const String& section, const String& ident) = 0;
  // Writes are immediate; nothing is left to flush.
  virtual void UpdateFile() {}

 private:
  String fileName_;
};

// An ini file on disk. Every read looks at the file as it is now; every write
// replaces the file atomically (a crash never leaves half a file). A write that
// cannot be done raises EIniFileException naming the file and leaves the file
// as it was. A damaged file is read as far as it makes sense.
class TIniFile : public TCustomIniFile {
 public:
  explicit TIniFile(const String& fileName) : TCustomIniFile(fileName) {}
  String ClassName() const override { return QStringLiteral("TIniFile"); }

  String ReadString(const String& section, const String& ident, const String& def) override;
  // Line breaks inside the value become blanks (a value is one line).
  void WriteString(const String& section, const String& ident, const String& value) override;
  void ReadSection(const String& section, TStrings& strings) override;
  void ReadSections(TStrings& strings) override;
  void ReadSectionValues(const String& section, TStrings& strings) override;
  void EraseSection(const String& section) override;
  void DeleteKey(const String& section, const String& ident) override;
  bool SectionExists(const String& section) override;
  bool ValueExists(const String& section, const String& ident) override;
};
