// The registry store on a real file in the test profile.
#include <gtest/gtest.h>

#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace {

QByteArray storeBytes() { return testsupport::readFile(RegistryStoreFileName()); }

// Each test starts from no store file and nothing loaded.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRegistryWritesFail(false);
    QFile::remove(RegistryStoreFileName());
    ResetRegistryStoreForTests();
  }
  void TearDown() override { SetRegistryWritesFail(false); }

  // Reads a string value through a fresh object.
  static QString read(HKEY root, const QString& key, const QString& name) {
    TRegistry reg;
    reg.RootKey = root;
    if (!reg.OpenKeyReadOnly(key)) return "<no key>";
    if (!reg.ValueExists(name)) return "<no value>";
    return reg.ReadString(name);
  }
  static void write(HKEY root, const QString& key, const QString& name, const QString& value) {
    TRegistry reg;
    reg.RootKey = root;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(name, value);
  }
};

const QString kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

TEST_F(Registry, FirstUseSeedsThePlatformValues) {
  EXPECT_EQ(read(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", "Version"), "9.11.9600.0");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
            "about:blank");
  const QString profile = ProfileDir();
  for (const QString& key : {kShellFolders, QString(kShellFolders).replace("Shell", "User Shell")}) {
    EXPECT_EQ(read(HKEY_CURRENT_USER, key, "Favorites"), profile + "/Favorites") << key.toStdString();
    EXPECT_EQ(read(HKEY_CURRENT_USER, key, "History"), profile + "/History");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key, "Cache"), profile + "/Cache");
    EXPECT_EQ(read(HKEY_CURRENT_USER, key, "Desktop"),
              QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    EXPECT_EQ(read(HKEY_CURRENT_USER, key, "Personal"),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
  }
  EXPECT_TRUE(QFileInfo(profile + "/Favorites").isDir());
  EXPECT_TRUE(QFileInfo(profile + "/Cache").isDir());
  EXPECT_EQ(read(HKEY_CLASSES_ROOT, ".htm", ""), "htmlfile");
  EXPECT_EQ(read(HKEY_CLASSES_ROOT, ".html", ""), "htmlfile");
  EXPECT_EQ(read(HKEY_CLASSES_ROOT, "htmlfile", ""), "HTML Document");
  EXPECT_EQ(read(HKEY_CLASSES_ROOT, "ChannelShortcut", ""), "Channel Shortcut");
  EXPECT_EQ(read(HKEY_CLASSES_ROOT, "InternetShortcut", ""), "Internet Shortcut");
  EXPECT_EQ(read(HKEY_CLASSES_ROOT, "CLSID\\{FF393560-C2A7-11CF-BFF4-444553540000}", ""), "History");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\PageSetup", "margin_left"),
            "0.750000");
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists("\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent"));
  EXPECT_TRUE(storeBytes().contains("\"Start Page\"=\"about:blank\""));

  // Seeding fills in what is missing and never overwrites.
  write(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page", "http://a/");
  ASSERT_TRUE(reg.OpenKey(kShellFolders, false));
  ASSERT_TRUE(reg.DeleteValue("Cache"));
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
            "http://a/");
  EXPECT_EQ(read(HKEY_CURRENT_USER, kShellFolders, "Cache"), profile + "/Cache");
}

TEST_F(Registry, ValuesPersistInAReadableFile) {
  {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Noctivane\\FormSize", true));
    reg.WriteInteger("Top", 10);
    reg.WriteInteger("Left", -1);
    reg.WriteBool("Maximized", true);
    reg.WriteString("", "default value");
    reg.WriteString("Name", "Noctivane");
    ASSERT_TRUE(reg.CreateKey("Empty\\Nested"));
  }
  const QByteArray file = storeBytes();
  EXPECT_TRUE(
      file.contains("[HKEY_LOCAL_MACHINE\\Software\\Noctivane\\FormSize]\n"
                    "\"Top\"=dword:0000000a\n"
                    "\"Left\"=dword:ffffffff\n"
                    "\"Maximized\"=dword:00000001\n"
                    "@=\"default value\"\n"
                    "\"Name\"=\"Noctivane\"\n"))
      << file.toStdString();

  ResetRegistryStoreForTests();
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKey("\\software\\noctivane\\formsize", false));
  EXPECT_EQ(reg.ReadInteger("Top"), 10);
  EXPECT_EQ(reg.ReadInteger("Left"), -1);
  EXPECT_TRUE(reg.ReadBool("Maximized"));
  EXPECT_EQ(reg.ReadString(""), "default value");
  EXPECT_EQ(reg.ReadString("Name"), "Noctivane");
  EXPECT_TRUE(reg.KeyExists("Empty\\Nested"));
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Strings(), QStringList({"Top", "Left", "Maximized", "", "Name"}));
}

TEST_F(Registry, NamesAreCaseInsensitiveAndKeepTheirCase) {
  TRegistry reg;
  ASSERT_TRUE(reg.CreateKey("\\Software\\CaseTest\\MixedKey"));
  ASSERT_TRUE(reg.CreateKey("\\SOFTWARE\\CASETEST\\mixedkey\\Child"));
  ASSERT_TRUE(reg.CreateKey("\\Software\\CaseTest\\beta"));
  ASSERT_TRUE(reg.CreateKey("\\Software\\CaseTest2\\Ärger"));
  ASSERT_TRUE(reg.OpenKey("\\software\\casetest", false));
  TStringList keys;
  reg.GetKeyNames(keys);
  EXPECT_EQ(keys.Strings(), QStringList({"beta", "MixedKey"}));

  ASSERT_TRUE(reg.OpenKey("MIXEDKEY", false));
  EXPECT_EQ(reg.CurrentPath(), "software\\casetest\\MIXEDKEY");
  EXPECT_TRUE(reg.HasSubKeys());
  reg.WriteString("ValueName", "1");
  reg.WriteString("VALUENAME", "2");
  ASSERT_TRUE(reg.OpenKey("\\Software\\CaseTest2\\ärger", false));
  reg.WriteString("Größe", "3");

  ResetRegistryStoreForTests();
  ASSERT_TRUE(reg.OpenKey("\\Software\\CaseTest\\MixedKey", false));
  TStringList values;
  reg.GetValueNames(values);
  EXPECT_EQ(values.Strings(), QStringList({"ValueName"}));
  EXPECT_EQ(reg.ReadString("valuename"), "2");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\SOFTWARE\\CASETEST2\\ÄRGER", "GRÖßE"), "3");
}

TEST_F(Registry, OpeningKeysAndReadingValues) {
  TRegistry reg;
  EXPECT_EQ(reg.CurrentPath(), "");
  EXPECT_FALSE(reg.OpenKey("\\Software\\OpenTest\\A", false));
  ASSERT_TRUE(reg.OpenKey("\\Software\\OpenTest\\A\\", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\OpenTest\\A");
  EXPECT_FALSE(reg.HasSubKeys());
  ASSERT_TRUE(reg.OpenKey("B", true));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), "Software\\OpenTest\\A\\B");
  EXPECT_FALSE(reg.OpenKey("Missing", false));
  EXPECT_EQ(reg.CurrentPath(), "Software\\OpenTest\\A\\B");  // a failed open changes nothing
  EXPECT_TRUE(reg.KeyExists("\\Software\\OpenTest\\A\\B"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\OpenTest\\B"));
  EXPECT_FALSE(reg.OpenKey("Bad\x01Name", true));  // control characters are no key names

  reg.WriteString("Text", "12");
  reg.WriteInteger("Number", 12);
  EXPECT_EQ(reg.GetDataType("Text"), rdString);
  EXPECT_EQ(reg.GetDataType("Number"), rdInteger);
  EXPECT_EQ(reg.GetDataType("Missing"), rdUnknown);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_THROW(reg.ReadString("Number"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger("Text"), ERegistryException);
  try {
    reg.ReadInteger("Missing");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_TRUE(e.Message.contains("'Missing'")) << e.Message.toStdString();
  }
  EXPECT_TRUE(reg.DeleteValue("text"));
  EXPECT_FALSE(reg.DeleteValue("Text"));
  EXPECT_FALSE(reg.ValueExists("Text"));

  // Another hive: the open key belongs to the old one.
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_EQ(reg.CurrentPath(), "");
  EXPECT_FALSE(reg.KeyExists("Software\\OpenTest"));
  reg.RootKey = HKEY_CURRENT_USER;
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists("Software\\OpenTest\\A"));

  // Through a read-only key nothing is written.
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\OpenTest\\A\\B"));
  EXPECT_EQ(reg.ReadInteger("Number"), 12);
  EXPECT_THROW(reg.WriteInteger("Number", 13), ERegistryException);
  EXPECT_FALSE(reg.DeleteValue("Number"));
  EXPECT_EQ(reg.ReadInteger("Number"), 12);
}

TEST_F(Registry, DeleteKeyRemovesEverythingBelow) {
  write(HKEY_CURRENT_USER, "\\Software\\DelTest\\A\\B\\C", "v", "1");
  write(HKEY_CURRENT_USER, "\\Software\\DelTest\\A", "v", "2");
  write(HKEY_CURRENT_USER, "\\Software\\DelTest\\Sibling", "v", "3");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\DelTest", false));
  EXPECT_TRUE(reg.DeleteKey("a"));
  EXPECT_FALSE(reg.DeleteKey("A"));
  EXPECT_FALSE(reg.KeyExists("A\\B\\C"));
  ResetRegistryStoreForTests();
  EXPECT_FALSE(reg.KeyExists("\\Software\\DelTest\\A"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\DelTest\\A\\B"));
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\DelTest\\Sibling", "v"), "3");
  EXPECT_FALSE(reg.DeleteKey("\\"));  // a hive stays
}

TEST_F(Registry, MoveKeyCopiesTheWholeTree) {
  const QString nav = "\\AppEvents\\Schemes\\Apps\\Explorer\\Navigating";
  write(HKEY_CURRENT_USER, nav + "\\.Current", "", "start.wav");
  write(HKEY_CURRENT_USER, nav + "\\.Current\\Deeper", "x", "y");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(nav, false));
  EXPECT_TRUE(reg.MoveKey(".Current", "Old_Current", true));
  EXPECT_FALSE(reg.KeyExists(".Current"));
  EXPECT_EQ(read(HKEY_CURRENT_USER, nav + "\\Old_Current", ""), "start.wav");
  EXPECT_EQ(read(HKEY_CURRENT_USER, nav + "\\Old_Current\\Deeper", "x"), "y");
  EXPECT_FALSE(reg.MoveKey(".Current", "Old_Current", true));  // nothing left to move

  EXPECT_TRUE(reg.MoveKey("Old_Current", ".Current", false));  // a copy
  EXPECT_TRUE(reg.KeyExists("Old_Current\\Deeper"));
  EXPECT_EQ(read(HKEY_CURRENT_USER, nav + "\\.Current\\Deeper", "x"), "y");
  EXPECT_FALSE(reg.MoveKey("Old_Current", ".current", true));  // the target exists
  EXPECT_FALSE(reg.MoveKey(".Current", ".Current\\Inside", true));
  EXPECT_TRUE(reg.KeyExists("Old_Current"));

  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, nav + "\\.Current", ""), "start.wav");
  EXPECT_EQ(read(HKEY_CURRENT_USER, nav + "\\Old_Current", ""), "start.wav");
}

TEST_F(Registry, AnyTextRoundTrips) {
  const QStringList texts = {
      "He said \"hi\"",
      "C:\\path\\to\\file\\",
      "\\\"\\n\\u0041",
      "line1\r\nline2\nline3\r",
      "\ttab and trailing blanks  ",
      "Ünïcödé 日本語 😀",
      QString(QChar(0xD800)) + "lone surrogate",
      QString("nul") + QChar(0) + "inside",
      "",
      "]\n[HKEY_CURRENT_USER\\Injected]\n\"x\"=\"y\"",
      "=dword:00000001",
  };
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Texts\\Ключ ] [x]", true));
  for (int i = 0; i < texts.size(); ++i) {
    reg.WriteString("data" + QString::number(i), texts[i]);
    reg.WriteString("name " + texts[i], QString::number(i));
  }
  ResetRegistryStoreForTests();
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("\\Software\\Texts\\ключ ] [X]", false));
  for (int i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(reg.ReadString("data" + QString::number(i)), texts[i]) << i;
    EXPECT_EQ(reg.ReadString("name " + texts[i]), QString::number(i)) << i;
  }
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Count(), 2 * texts.size());
  EXPECT_FALSE(reg.KeyExists("\\Injected"));
  EXPECT_FALSE(storeBytes().contains("\nline2"));  // every value stays on its line
}

TEST_F(Registry, ChangesOfAnotherInstanceSurvive) {
  write(HKEY_CURRENT_USER, "\\Software\\Writers\\Mine", "First", "1");
  // Another instance of the program saves the file meanwhile: it adds a key
  // and changes one of our values.
  QByteArray file = storeBytes();
  file.replace("\"First\"=\"1\"", "\"First\"=\"changed by the other\"");
  file.append("\n[HKEY_CURRENT_USER\\Software\\Writers\\Theirs]\n\"FromOther\"=\"yes\"\n");
  ASSERT_TRUE(testsupport::writeFile(RegistryStoreFileName(), file));

  write(HKEY_CURRENT_USER, "\\Software\\Writers\\Mine", "Second", "2");
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Writers\\Mine", "First"), "changed by the other");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Writers\\Mine", "Second"), "2");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Writers\\Theirs", "FromOther"), "yes");
  EXPECT_FALSE(QFileInfo::exists(RegistryStoreFileName() + ".lock"));  // the lock is released
}

TEST_F(Registry, FailingWritesChangeNothing) {
  write(HKEY_CURRENT_USER, "\\Software\\Fail\\Key", "Name", "old");
  write(HKEY_CURRENT_USER, "\\Software\\Fail\\Key\\Sub", "x", "y");
  const QByteArray before = storeBytes();
  SetRegistryWritesFail(true);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Fail\\Key", true));  // exists: nothing to write
  try {
    reg.WriteString("Name", "new");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message, "Failed to set data for 'Name'");
  }
  EXPECT_THROW(reg.WriteInteger("Number", 1), ERegistryException);
  EXPECT_FALSE(reg.DeleteValue("Name"));
  EXPECT_FALSE(reg.DeleteKey("Sub"));
  EXPECT_FALSE(reg.MoveKey("Sub", "Moved", true));
  EXPECT_FALSE(reg.CreateKey("Created"));
  EXPECT_FALSE(reg.OpenKey("\\Software\\Fail\\New", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Fail\\Key");
  TRegistryIniFile ini("Software\\Fail");
  EXPECT_THROW(ini.WriteString("NewSection", "k", "v"), ERegistryException);
  EXPECT_THROW(ini.WriteInteger("Key", "Name", 5), ERegistryException);

  EXPECT_EQ(reg.ReadString("Name"), "old");
  EXPECT_TRUE(reg.KeyExists("Sub"));
  EXPECT_FALSE(reg.KeyExists("Created"));
  EXPECT_EQ(storeBytes(), before);

  SetRegistryWritesFail(false);
  reg.WriteString("Name", "new");
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Fail\\Key", "Name"), "new");
}

TEST_F(Registry, DamagedStoreLoadsWhatItCan) {
  write(HKEY_CURRENT_USER, "\\Software\\Damage\\Early", "A", "kept");
  write(HKEY_CURRENT_USER, "\\Software\\Damage\\Late", "B", "cut off");
  QByteArray file = storeBytes();
  const qsizetype cut = file.indexOf("\"B\"=\"cut");
  ASSERT_GT(cut, 0);
  file.truncate(cut + 8);
  ASSERT_TRUE(testsupport::writeFile(RegistryStoreFileName(), file));
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Damage\\Early", "A"), "kept");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Damage\\Late", "B"), "<no value>");
  write(HKEY_CURRENT_USER, "\\Software\\Damage\\Late", "C", "after");
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Damage\\Early", "A"), "kept");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Damage\\Late", "C"), "after");

  // Broken lines of every kind, then pure noise.
  ASSERT_TRUE(testsupport::writeFile(RegistryStoreFileName(),
                                     "[HKEY_CURRENT_USER\\Software\\Damage\\Lines]\n"
                                     "\"ok\"=\"1\"\n"
                                     "\"noequals\"\n"
                                     "\"badhex\"=dword:xyz\n"
                                     "\"toolong\"=dword:123456789\n"
                                     "\"escape at end\"=\"\\\n"
                                     "[HKEY_NOWHERE\\Software]\n"
                                     "\"orphan\"=\"2\"\n"
                                     "[HKEY_CURRENT_USER\\Software\\Damage\\Unclosed\n"
                                     "\"lost\"=\"3\"\n"));
  ResetRegistryStoreForTests();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Damage\\Lines", false));
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Strings(), QStringList({"ok"}));
  EXPECT_FALSE(reg.KeyExists("\\Software\\Damage\\Unclosed"));

  QByteArray noise;
  QRandomGenerator random(99);
  for (int i = 0; i < 4096; ++i) noise.append(char(random.bounded(256)));
  ASSERT_TRUE(testsupport::writeFile(RegistryStoreFileName(), noise));
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Microsoft\\Internet Explorer\\Main", "Start Page"),
            "about:blank");
  write(HKEY_CURRENT_USER, "\\Software\\Damage", "Fresh", "yes");
  ResetRegistryStoreForTests();
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Damage", "Fresh"), "yes");
}

TEST_F(Registry, IniFileViewOfAKey) {
  TRegistryIniFile ini("Software\\Noctivane\\IniTest");
  EXPECT_EQ(ini.ReadString("WebPages", "LastVisitedPage", "none"), "none");
  EXPECT_FALSE(ini.SectionExists("WebPages"));  // reading creates nothing
  ini.WriteString("WebPages", "LastVisitedPage", "http://example.test/");
  EXPECT_EQ(read(HKEY_CURRENT_USER, "\\Software\\Noctivane\\IniTest\\WebPages", "LastVisitedPage"),
            "http://example.test/");
  EXPECT_EQ(ini.ReadString("webpages", "lastvisitedpage", ""), "http://example.test/");

  ini.WriteInteger("Pos", "Top", 5);
  ini.WriteBool("Pos", "Visible", true);
  write(HKEY_CURRENT_USER, "\\Software\\Noctivane\\IniTest\\Pos", "Left", " 0x10 ");
  write(HKEY_CURRENT_USER, "\\Software\\Noctivane\\IniTest\\Pos", "Junk", "abc");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Noctivane\\IniTest\\Pos", false));
  EXPECT_EQ(reg.GetDataType("Top"), rdInteger);
  EXPECT_EQ(ini.ReadInteger("Pos", "Top", 0), 5);
  EXPECT_EQ(ini.ReadString("Pos", "Top", ""), "5");
  EXPECT_TRUE(ini.ReadBool("Pos", "Visible", false));
  EXPECT_EQ(ini.ReadInteger("Pos", "Left", 0), 16);
  EXPECT_EQ(ini.ReadInteger("Pos", "Junk", -3), -3);
  EXPECT_EQ(ini.ReadInteger("Pos", "Missing", -4), -4);
  ini.WriteInteger("Pos", "Left", 20);  // stays a string
  EXPECT_EQ(reg.GetDataType("Left"), rdString);
  EXPECT_EQ(reg.ReadString("Left"), "20");

  TStringList list;
  ini.ReadSection("Pos", list);
  EXPECT_EQ(list.Strings(), QStringList({"Top", "Visible", "Left", "Junk"}));
  ini.ReadSectionValues("Pos", list);
  EXPECT_EQ(list.Strings(), QStringList({"Top=5", "Visible=1", "Left=20", "Junk=abc"}));
  ini.ReadSections(list);
  EXPECT_EQ(list.Strings(), QStringList({"Pos", "WebPages"}));
  EXPECT_TRUE(ini.ValueExists("POS", "junk"));
  ini.DeleteKey("Pos", "Junk");
  EXPECT_FALSE(ini.ValueExists("Pos", "Junk"));
  ini.EraseSection("WebPages");
  EXPECT_FALSE(ini.SectionExists("WebPages"));
  EXPECT_TRUE(ini.SectionExists("Pos"));
  ini.ReadSection("WebPages", list);
  EXPECT_EQ(list.Count(), 0);
}
