#include <gtest/gtest.h>
#include <QDir>
#include "tests/support/TestSupport.h"

TEST(TestSupport, ProfileFolderIsTemporaryAndWritable) {
  const QString dir = testsupport::profileDir();
  ASSERT_FALSE(dir.isEmpty());
  EXPECT_TRUE(QDir(dir).exists());
  EXPECT_TRUE(testsupport::writeFile(dir + "/probe/file.txt", "x"));
  EXPECT_EQ(testsupport::readFile(dir + "/probe/file.txt"), QByteArray("x"));
}
