// Ini files and the program's folders, on real files in the test profile.
#include <gtest/gtest.h>

#include "platform/rtl/Folders.h"
#include "platform/rtl/IniFiles.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

QString iniPath(const QString& name) { return testsupport::profileDir() + "/ini/" + name; }

QString writeIni(const QString& name, const QByteArray& bytes) {
  const QString path = iniPath(name);
  EXPECT_TRUE(testsupport::writeFile(path, bytes));
  return path;
}

// Sets or clears an environment variable for one scope.
class EnvGuard {
 public:
  EnvGuard(const char* name, const QString& value)
      : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value.toUtf8());
  }
  ~EnvGuard() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }

 private:
  const char* name_;
  QByteArray old_;
  bool had_;
};

}  // namespace

TEST(IniFile, WritesKeepEverythingElseInTheFile) {
  const QString path = writeIni("foreign.ini",
                                "; settings of the program\r\n"
                                "\r\n"
                                "[Position]\r\n"
                                "Top=10\r\n"
                                "; the left edge\r\n"
                                "  Left = 20 \r\n"
                                "\r\n"
                                "[Unknown]\r\n"
                                "a line without equals\r\n"
                                "Z=26\r\n");
  TIniFile ini(path);
  ini.WriteString("POSITION", "left", "30");   // replaced in place, stored spelling kept
  ini.WriteInteger("position", "Width", 640);  // appended to its section
  ini.WriteString("New", "K", "v");            // new section at the end
  EXPECT_EQ(testsupport::readFile(path), QByteArray("; settings of the program\r\n"
                                                    "\r\n"
                                                    "[Position]\r\n"
                                                    "Top=10\r\n"
                                                    "; the left edge\r\n"
                                                    "Left=30\r\n"
                                                    "Width=640\r\n"
                                                    "\r\n"
                                                    "[Unknown]\r\n"
                                                    "a line without equals\r\n"
                                                    "Z=26\r\n"
                                                    "\r\n"
                                                    "[New]\r\n"
                                                    "K=v\r\n"));
}

TEST(IniFile, NewFilesUseCrLfAndExistingLfFilesStayLf) {
  const QString fresh = iniPath("fresh.ini");
  QFile::remove(fresh);
  TIniFile(fresh).WriteString("S", "k", "v");
  EXPECT_EQ(testsupport::readFile(fresh), QByteArray("[S]\r\nk=v\r\n"));

  const QString lf = writeIni("lf.ini", "[S]\nk=v\n");
  TIniFile(lf).WriteString("S", "j", "w");
  EXPECT_EQ(testsupport::readFile(lf), QByteArray("[S]\nk=v\nj=w\n"));

  // A value is one line: a line break cannot smuggle in a section or key.
  TIniFile ini(lf);
  ini.WriteString("S", "k", "a\r\n[Evil]\r\nx=1");
  EXPECT_EQ(ini.ReadString("S", "k", ""), "a [Evil] x=1");
  EXPECT_FALSE(ini.SectionExists("Evil"));
}

TEST(IniFile, LookupsIgnoreCaseAndBlanks) {
  const QString path = writeIni("case.ini",
                                "orphan=before any section\r\n"
                                "[ Position ]\r\n"
                                "  LEFT =  12  \r\n"
                                "Left=duplicate\r\n"
                                "[position]\r\n"
                                "Top=99\r\n"
                                "[Ärger]\r\n"
                                "Öl=1\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("position", "left", "d"), "12");
  EXPECT_EQ(ini.ReadString("POSITION", "Top", "d"), "d");  // only the first section counts
  EXPECT_EQ(ini.ReadString("", "orphan", "d"), "d");
  EXPECT_EQ(ini.ReadString("ÄRGER", "öL", "d"), "1");
  EXPECT_EQ(ini.ReadString("Missing", "x", "default"), "default");
  EXPECT_TRUE(ini.SectionExists("POSITION"));
  EXPECT_TRUE(ini.ValueExists("position", "LEFT"));
  EXPECT_FALSE(ini.ValueExists("position", "Top"));
  EXPECT_FALSE(ini.SectionExists("Nowhere"));

  // A missing file reads as empty.
  TIniFile none(iniPath("does-not-exist.ini"));
  EXPECT_EQ(none.ReadString("a", "b", "d"), "d");
  EXPECT_FALSE(none.SectionExists("a"));
}

TEST(IniFile, IntegersAndBooleans) {
  const QString path = writeIni("numbers.ini",
                                "[N]\r\nhexDollar=$1F\r\nhex0x=0x1F\r\nnegative=-5\r\n"
                                "junk=12abc\r\nempty=\r\nblanks=   7   \r\n"
                                "one=1\r\nzero=0\r\nword=yes\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("N", "hexDollar", -1), 31);
  EXPECT_EQ(ini.ReadInteger("N", "hex0x", -1), 31);
  EXPECT_EQ(ini.ReadInteger("N", "negative", -1), -5);
  EXPECT_EQ(ini.ReadInteger("N", "junk", -1), -1);
  EXPECT_EQ(ini.ReadInteger("N", "empty", -1), -1);
  EXPECT_EQ(ini.ReadInteger("N", "blanks", -1), 7);
  EXPECT_EQ(ini.ReadInteger("N", "missing", 42), 42);
  EXPECT_TRUE(ini.ReadBool("N", "one", false));
  EXPECT_FALSE(ini.ReadBool("N", "zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "word", true));
  EXPECT_FALSE(ini.ReadBool("N", "word", false));

  ini.WriteInteger("W", "i", -2147483647 - 1);
  ini.WriteBool("W", "t", true);
  ini.WriteBool("W", "f", false);
  EXPECT_EQ(ini.ReadInteger("W", "i", 0), -2147483647 - 1);
  EXPECT_TRUE(testsupport::readFile(path).endsWith("[W]\r\ni=-2147483648\r\nt=1\r\nf=0\r\n"));
}

TEST(IniFile, SectionListingsFollowTheFile) {
  const QString path = writeIni("lists.ini",
                                "[B]\r\nzeta=1\r\n; comment=no\r\nno equals here\r\nalpha = 2 \r\n"
                                "ZETA=3\r\n=nameless\r\nmid=4\r\n"
                                "[A]\r\nx=1\r\n[b]\r\nlater=5\r\n[]\r\n");
  TIniFile ini(path);
  TStringList list;
  list.Add("stale");
  ini.ReadSection("b", list);
  EXPECT_EQ(list.Strings(), QStringList({"zeta", "alpha", "mid"}));
  ini.ReadSectionValues("B", list);
  EXPECT_EQ(list.Strings(), QStringList({"zeta=1", "alpha=2", "mid=4"}));
  ini.ReadSections(list);
  EXPECT_EQ(list.Strings(), QStringList({"B", "A"}));
  ini.ReadSection("Missing", list);
  EXPECT_EQ(list.Count(), 0);
}

TEST(IniFile, DeletingKeysAndSectionsKeepsTheRest) {
  const QString path = writeIni("delete.ini",
                                "; head\r\n[Keep]\r\na=1\r\n\r\n[Gone]\r\n; inside\r\nx=1\r\n\r\n"
                                "[Keep2]\r\nb=2\r\nB=again\r\nc=3\r\n[gone]\r\ny=2\r\n");
  TIniFile ini(path);
  ini.EraseSection("GONE");
  ini.DeleteKey("keep2", "b");
  ini.DeleteKey("Keep2", "absent");
  ini.EraseSection("Absent");
  EXPECT_EQ(testsupport::readFile(path), QByteArray("; head\r\n[Keep]\r\na=1\r\n\r\n[Keep2]\r\nc=3\r\n"));
  EXPECT_EQ(ini.ReadString("Keep2", "b", "d"), "d");
  ini.UpdateFile();  // writes are immediate: nothing left to do
  EXPECT_EQ(ini.ReadString("Keep", "a", "d"), "1");
}

TEST(IniFile, FailedWriteRaisesAndKeepsTheOldFile) {
  // The folder is a regular file.
  ASSERT_TRUE(testsupport::writeFile(iniPath("blocker"), "not a folder"));
  const QString blocked = iniPath("blocker/settings.ini");
  TIniFile blockedIni(blocked);
  try {
    blockedIni.WriteString("S", "k", "v");
    FAIL() << "no exception";
  } catch (const EIniFileException& e) {
    EXPECT_TRUE(e.Message.contains(blocked)) << e.Message.toStdString();
  }

  // An existing file whose name leaves no room for the temporary file of an
  // atomic replacement: the write fails and the file keeps its content.
  const QByteArray before = "[S]\r\nk=old\r\n";
  const QString longName = writeIni(QString(250, 'n') + ".ini", before);
  TIniFile ini(longName);
  EXPECT_THROW(ini.WriteString("S", "k", "new"), EIniFileException);
  EXPECT_THROW(ini.EraseSection("S"), EIniFileException);
  EXPECT_EQ(testsupport::readFile(longName), before);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "old");
}

TEST(IniFile, DamagedFilesReadWhatTheyCan) {
  const char start[] = "garbage \x01\x02 no equals\n\x00\xff=\xfe\n[Good]\nkey=value\n[bad\nk2=v2\n";
  QByteArray bytes(start, sizeof(start));  // with the terminating zero
  QRandomGenerator random(1234);
  for (int i = 0; i < 4096; ++i) bytes.append(char(random.bounded(256)));
  const QString path = writeIni("damaged.ini", bytes);
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("Good", "key", ""), "value");
  EXPECT_EQ(ini.ReadString("bad", "k2", ""), "v2");  // a header without "]"
  TStringList sections;
  ini.ReadSections(sections);
  EXPECT_GE(sections.Count(), 2);
  ini.WriteString("Good", "key", "new");
  EXPECT_EQ(ini.ReadString("Good", "key", ""), "new");
  EXPECT_EQ(ini.ReadString("bad", "k2", ""), "v2");

  // Nothing but noise.
  QByteArray noise;
  for (int i = 0; i < 2048; ++i) noise.append(char(random.bounded(256)));
  const QString noisy = writeIni("noise.ini", noise);
  TIniFile noiseIni(noisy);
  noiseIni.ReadSections(sections);
  noiseIni.WriteString("Fresh", "k", "v");
  EXPECT_EQ(noiseIni.ReadString("Fresh", "k", ""), "v");

  // A folder's name reads as an empty file and is never written over.
  const QString folder = iniPath("a-folder.ini");
  ASSERT_TRUE(QDir().mkpath(folder));
  TIniFile folderIni(folder);
  EXPECT_EQ(folderIni.ReadString("S", "k", "d"), "d");
  folderIni.ReadSections(sections);
  EXPECT_EQ(sections.Count(), 0);
  EXPECT_THROW(folderIni.WriteString("S", "k", "v"), EIniFileException);
  EXPECT_TRUE(QFileInfo(folder).isDir());
}

// The bytes of a UTF-16 text with a byte-order mark.
QByteArray utf16Bytes(const QString& text, bool bigEndian) {
  QByteArray out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (QChar c : text) {
    const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
    if (bigEndian)
      out.append(hi).append(lo);
    else
      out.append(lo).append(hi);
  }
  return out;
}

TEST(IniFileEncodings, LinesAWriteDoesNotTouchKeepTheirBytes) {
  // A code-page-1252 line (no UTF-8) among UTF-8 ones.
  const QString mixed = writeIni("mixed.ini", "[S]\r\nName=Caf\xe9\r\nUtf=\xc3\xa9t\xc3\xa9\r\nk=v\r\n");
  TIniFile ini(mixed);
  EXPECT_EQ(ini.ReadString("S", "Name", ""), QString::fromUtf8("Caf\xc3\xa9"));
  EXPECT_EQ(ini.ReadString("S", "Utf", ""), QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
  ini.WriteString("S", "k", QString::fromUtf8("w\xe2\x82\xac"));
  EXPECT_EQ(testsupport::readFile(mixed),
            QByteArray("[S]\r\nName=Caf\xe9\r\nUtf=\xc3\xa9t\xc3\xa9\r\nk=w\xe2\x82\xac\r\n"));

  // A file all in code page 1252 gets its new lines in it too, unless a
  // character has no byte there.
  const QString ansi = writeIni("ansi.ini", "[S]\nName=Caf\xe9\n");
  TIniFile ansiIni(ansi);
  ansiIni.WriteString("S", "Price", QString::fromUtf8("5 \xe2\x82\xac"));
  ansiIni.WriteString("S", "Greek", QString::fromUtf8("\xce\xb1"));
  EXPECT_EQ(testsupport::readFile(ansi), QByteArray("[S]\nName=Caf\xe9\nPrice=5 \x80\nGreek=\xce\xb1\n"));
  EXPECT_EQ(ansiIni.ReadString("S", "Price", ""), QString::fromUtf8("5 \xe2\x82\xac"));
  EXPECT_EQ(ansiIni.ReadString("S", "Greek", ""), QString::fromUtf8("\xce\xb1"));

  // Odd line ends and a last line without one stay as they were.
  const QString ends = writeIni("ends.ini", "[S]\r\nA=1\rB=2\nC=3");
  TIniFile endsIni(ends);
  endsIni.WriteString("S", "B", "two");
  endsIni.WriteString("S", "D", "4");
  EXPECT_EQ(testsupport::readFile(ends), QByteArray("[S]\r\nA=1\rB=two\r\nC=3\r\nD=4\r\n"));
}

TEST(IniFileEncodings, FilesKeepTheirByteOrderMarkAndUtf16Survives) {
  // A UTF-16 file whose value holds an unpaired surrogate.
  const QString text = QStringLiteral("[S]\r\nA=x") + QChar(0xD800) + QStringLiteral("y\r\n");
  for (const bool bigEndian : {false, true}) {
    const QString path = writeIni(bigEndian ? "be.ini" : "le.ini", utf16Bytes(text, bigEndian));
    TIniFile ini(path);
    ini.WriteString("S", "B", QString::fromUtf8("n\xc3\xa9w"));
    ini.WriteString("T", "C", "3");
    EXPECT_EQ(testsupport::readFile(path),
              utf16Bytes(text + QString::fromUtf8("B=n\xc3\xa9w\r\n\r\n[T]\r\nC=3\r\n"), bigEndian));
    EXPECT_EQ(ini.ReadString("S", "B", ""), QString::fromUtf8("n\xc3\xa9w"));
    EXPECT_EQ(ini.ReadString("S", "A", ""), QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y"));
    ini.EraseSection("S");
    EXPECT_EQ(testsupport::readFile(path), utf16Bytes("[T]\r\nC=3\r\n", bigEndian));
  }

  const QString bom = writeIni("bom.ini", "\xEF\xBB\xBF[S]\nk=\xc3\xa9\n");
  TIniFile bomIni(bom);
  EXPECT_EQ(bomIni.ReadString("S", "k", ""), QString::fromUtf8("\xc3\xa9"));
  bomIni.DeleteKey("S", "k");
  bomIni.WriteString("S", "j", "1");
  EXPECT_EQ(testsupport::readFile(bom), QByteArray("\xEF\xBB\xBF[S]\nj=1\n"));
}

TEST(Folders, ProfileFolderComesFromTheEnvironmentAndIsCreated) {
  const QString base = testsupport::profileDir() + "/folders";
  {
    EnvGuard profile("NOCTIVANE_PROFILE", base + "/explicit/");
    EXPECT_EQ(ProfileDir(), base + "/explicit");
    EXPECT_TRUE(QFileInfo(base + "/explicit").isDir());
  }
  {
    EnvGuard profile("NOCTIVANE_PROFILE", QString());
    EnvGuard xdg("XDG_DATA_HOME", base + "/xdg");
    EXPECT_EQ(ProfileDir(), base + "/xdg/noctivane");
    EXPECT_TRUE(QFileInfo(base + "/xdg/noctivane").isDir());
  }
  {
    EnvGuard profile("NOCTIVANE_PROFILE", QString());
    EnvGuard xdg("XDG_DATA_HOME", QString());
    EnvGuard home("HOME", base + "/home");
    EXPECT_EQ(ProfileDir(), base + "/home/.local/share/noctivane");
  }
  EXPECT_EQ(ProfileDir(), QDir::cleanPath(testsupport::profileDir()));
}

TEST(Folders, ProgramFilesFallBackToTheProfileWhenTheProgramFolderIsNotWritable) {
  {
    EnvGuard none("NOCTIVANE_PROGRAM_DIR", QString());
    EXPECT_EQ(ProgramDir(), QCoreApplication::applicationDirPath());
  }
  const QString writable = testsupport::profileDir() + "/program";
  ASSERT_TRUE(QDir().mkpath(writable));
  {
    EnvGuard program("NOCTIVANE_PROGRAM_DIR", writable);
    EXPECT_EQ(ProgramDir(), writable);
    EXPECT_EQ(ProgramFileForWriting("Noctivane.ini"), writable + "/Noctivane.ini");
  }
  ASSERT_TRUE(testsupport::writeFile(testsupport::profileDir() + "/plainfile", "x"));
  {
    // A program folder that cannot exist (its parent is a file).
    EnvGuard program("NOCTIVANE_PROGRAM_DIR", testsupport::profileDir() + "/plainfile/bin");
    EXPECT_EQ(ProgramFileForWriting("Noctivane.ini"), ProfileDir() + "/Noctivane.ini");
  }
}
