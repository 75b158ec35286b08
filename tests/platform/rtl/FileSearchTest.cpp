// FindFirst / FindNext / FindClose on a real folder.
#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <set>
#include <vector>

namespace {

QString freshFolder(const QString& name) {
  const QString dir = testsupport::profileDir() + "/filesearch/" + name;
  QDir(dir).removeRecursively();
  QDir().mkpath(dir);
  return dir;
}

// Every name the search gives, with its attributes.
std::map<QString, int> search(const QString& pattern, int attr, int* first = nullptr) {
  std::map<QString, int> found;
  TSearchRec rec;
  int rc = FindFirst(pattern, attr, rec);
  if (first) *first = rc;
  while (rc == 0) {
    EXPECT_FALSE(found.count(rec.Name)) << rec.Name.toStdString();
    found[rec.Name] = rec.Attr;
    rc = FindNext(rec);
  }
  EXPECT_EQ(rc == 18 || found.empty(), true);
  FindClose(rec);
  EXPECT_FALSE(rec.FindHandle);
  return found;
}

TEST(FileSearch, ListsFilesFoldersAndDotsByTheAttributesAskedFor) {
  const QString dir = freshFolder("attrs");
  ASSERT_TRUE(testsupport::writeFile(dir + "/News.url", "[InternetShortcut]\r\nURL=http://a/\r\n"));
  ASSERT_TRUE(testsupport::writeFile(dir + "/noext", "x"));
  ASSERT_TRUE(testsupport::writeFile(dir + "/.hidden", "x"));
  ASSERT_TRUE(QDir().mkpath(dir + "/Sub Folder"));

  // Plain files only, "*.*" matching names without a dot as well.
  const auto files = search(dir + "/*.*", 0);
  EXPECT_EQ(files.size(), 2u);
  EXPECT_TRUE(files.count("News.url"));
  EXPECT_TRUE(files.count("noext"));
  EXPECT_EQ(files.at("News.url") & faDirectory, 0);

  const auto all = search(dir + "\\*.*", faAnyFile);
  EXPECT_EQ(all.size(), 6u);
  EXPECT_EQ(all.at(".") & faDirectory, faDirectory);
  EXPECT_EQ(all.at("..") & faDirectory, faDirectory);
  EXPECT_EQ(all.at("Sub Folder") & faDirectory, faDirectory);
  EXPECT_EQ(all.at(".hidden") & faHidden, faHidden);
  for (const auto& [name, attr] : all) EXPECT_EQ(attr & (faSysFile | faVolumeID), 0) << name.toStdString();

  // "." and ".." come first.
  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir + "/*", faAnyFile, rec), 0);
  std::set<QString> firstTwo{rec.Name};
  ASSERT_EQ(FindNext(rec), 0);
  firstTwo.insert(rec.Name);
  FindClose(rec);
  EXPECT_EQ(firstTwo, (std::set<QString>{".", ".."}));
}

TEST(FileSearch, PatternsSizesAndErrors) {
  const QString dir = freshFolder("patterns");
  ASSERT_TRUE(testsupport::writeFile(dir + "/a1.URL", "12345"));
  ASSERT_TRUE(testsupport::writeFile(dir + "/a22.url", "x"));
  ASSERT_TRUE(testsupport::writeFile(dir + "/b1.txt", "x"));

  EXPECT_EQ(search(dir + "/*.url", 0).size(), 2u);  // case-insensitive
  EXPECT_EQ(search(dir + "/a?.url", 0).size(), 1u);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir + "/a1.url", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, QStringLiteral("a1.URL"));
  EXPECT_EQ(rec.Size, 5);
  EXPECT_GT(rec.TimeStamp, 0.0);
  EXPECT_EQ(FindNext(rec), 18);
  EXPECT_EQ(FindNext(rec), 18);  // stays at the end
  FindClose(rec);
  EXPECT_EQ(FindNext(rec), 18);  // closed

  int rc = -1;
  EXPECT_TRUE(search(dir + "/*.htm", faAnyFile, &rc).empty());
  EXPECT_EQ(rc, 2);
  EXPECT_TRUE(search(dir + "/missing/*.*", faAnyFile, &rc).empty());
  EXPECT_EQ(rc, 3);
  EXPECT_EQ(SysErrorMessage(18), QStringLiteral("There are no more files"));

  // A record searched again drops the old search.
  ASSERT_EQ(FindFirst(dir + "/*.url", 0, rec), 0);
  ASSERT_EQ(FindFirst(dir + "/*.txt", 0, rec), 0);
  EXPECT_EQ(rec.Name, QStringLiteral("b1.txt"));
  EXPECT_EQ(FindNext(rec), 18);
  // Entries are a snapshot: a file removed meanwhile is still reported once.
  ASSERT_EQ(FindFirst(dir + "/a*", 0, rec), 0);
  const QString firstName = rec.Name;
  QFile::remove(dir + "/a1.URL");
  QFile::remove(dir + "/a22.url");
  EXPECT_EQ(FindNext(rec), 0);
  EXPECT_NE(rec.Name, firstName);
}

// The local modification time of each entry, as the file's own status says,
// in zones with whole, half and three-quarter hour offsets and across a
// summer time change (the change falls inside one quarter hour of times).
TEST(FileSearch, TimeStampsAreTheLocalModificationTimes) {
  const QString dir = freshFolder("times");
  const std::vector<QDateTime> times{
      QDateTime::currentDateTimeUtc(),
      QDateTime(QDate(2021, 3, 28), QTime(0, 59, 59, 500), Qt::UTC),
      QDateTime(QDate(2021, 3, 28), QTime(1, 0, 0, 250), Qt::UTC),
      QDateTime(QDate(2021, 10, 31), QTime(0, 59, 59, 999), Qt::UTC),
      QDateTime(QDate(2021, 10, 31), QTime(1, 0, 0, 1), Qt::UTC),
      QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59), Qt::UTC),
  };
  for (std::size_t i = 0; i < times.size(); ++i) {
    const QString path = dir + QStringLiteral("/f%1.txt").arg(i);
    ASSERT_TRUE(testsupport::writeFile(path, "x"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(times[i], QFileDevice::FileModificationTime));
  }
  const QByteArray previous = qgetenv("TZ");
  const bool hadZone = qEnvironmentVariableIsSet("TZ");
  for (const char* zone : {"UTC", "Europe/Berlin", "America/St_Johns", "Asia/Kathmandu"}) {
    qputenv("TZ", zone);
    TSearchRec rec;
    int count = 0;
    for (int rc = FindFirst(dir + "/*.txt", 0, rec); rc == 0; rc = FindNext(rec), ++count) {
      const TDateTime expected = QDateTimeToDateTime(QFileInfo(dir + "/" + rec.Name).lastModified());
      EXPECT_NEAR(rec.TimeStamp, expected, 0.5 / 86400000.0) << zone << " " << rec.Name.toStdString();
    }
    FindClose(rec);
    EXPECT_EQ(count, int(times.size())) << zone;
  }
  if (hadZone)
    qputenv("TZ", previous);
  else
    qunsetenv("TZ");
}

}  // namespace
