// CreateDirectoryW against the real file system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "platform/winapi/Windows.h"
#include "tests/support/TestSupport.h"

namespace {

LPCWSTR W(const QString& s) { return reinterpret_cast<LPCWSTR>(s.utf16()); }

TEST(Files, CreateDirectoryMakesOneFolderAndSaysWhyNot) {
  const QString base = testsupport::profileDir() + "/createdir";
  QDir(base).removeRecursively();
  ASSERT_TRUE(QDir().mkpath(base));

  const QString one = base + "/Imported Bookmarks";
  EXPECT_TRUE(CreateDirectoryW(W(one), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(QFileInfo(one).isDir());

  EXPECT_FALSE(CreateDirectoryW(W(one), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(testsupport::writeFile(base + "/file", "x"));
  EXPECT_FALSE(CreateDirectoryW(W(base + "/file"), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

  // One level at a time: a missing parent is not made on the way.
  EXPECT_FALSE(CreateDirectoryW(W(base + "/a/b"), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(QFileInfo(base + "/a").exists());

  // Backslashes and a trailing separator are accepted.
  EXPECT_TRUE(CreateDirectoryW(W(base + "\\Sub\\"), nullptr));
  EXPECT_TRUE(QFileInfo(base + "/Sub").isDir());

  EXPECT_FALSE(CreateDirectoryW(W(QString()), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(CreateDirectoryW(nullptr, nullptr));
  EXPECT_FALSE(SysErrorMessage(ERROR_INVALID_NAME).isEmpty());
}

}  // namespace
