// Copying files by the system's rules: overwrite or keep, and the errors.
#include <gtest/gtest.h>

#include "platform/winapi/FileApi.h"
#include "tests/support/TestSupport.h"

#include <QDir>

namespace {

std::u16string wide(const QString& s) { return s.toStdU16String(); }

}  // namespace

TEST(FileApi, CopyFileWCopiesOverwritesOrKeeps) {
  const QString dir = testsupport::profileDir() + QStringLiteral("/copy");
  QDir(dir).removeRecursively();
  const QString from = dir + QStringLiteral("/from.bin");
  const QString to = dir + QStringLiteral("/to.bin");
  QByteArray bytes(70000, '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
  ASSERT_TRUE(testsupport::writeFile(from, bytes));

  EXPECT_TRUE(CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE));
  EXPECT_EQ(testsupport::readFile(to), bytes);

  ASSERT_TRUE(testsupport::writeFile(to, "old"));
  EXPECT_FALSE(CopyFileW(wide(from).c_str(), wide(to).c_str(), TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(testsupport::readFile(to), QByteArray("old"));
  EXPECT_TRUE(CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE));
  EXPECT_EQ(testsupport::readFile(to), bytes);

  EXPECT_FALSE(CopyFileW(wide(dir + QStringLiteral("/none")).c_str(), wide(to).c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileW(wide(dir).c_str(), wide(to).c_str(), FALSE));  // a folder is no file
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileW(wide(from).c_str(), wide(dir + QStringLiteral("/no/such.bin")).c_str(), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(QDir(dir + QStringLiteral("/no")).exists());
}
