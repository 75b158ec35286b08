#include "tests/platform/shell/ShellTestUtil.h"

#include <QDir>
#include <QFile>

using namespace shelltest;

namespace {

// A double-zero-ended list of paths.
QString list(const QStringList& paths) {
  QString out;
  for (const QString& p : paths) out += p + QChar(0);
  return out + QChar(0);
}

int run(UINT func, const QStringList& from, const QStringList& to, FILEOP_FLAGS flags,
        BOOL* aborted = nullptr) {
  const QString source = list(from), target = list(to);
  SHFILEOPSTRUCTW op;
  op.wFunc = func;
  op.pFrom = reinterpret_cast<LPCWSTR>(source.utf16());
  op.pTo = to.isEmpty() ? nullptr : reinterpret_cast<LPCWSTR>(target.utf16());
  op.fFlags = flags;
  const int result = SHFileOperationW(&op);
  if (aborted) *aborted = op.fAnyOperationsAborted;
  return result;
}

QStringList filesIn(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

}  // namespace

TEST(FileOperations, DeletingAFavoriteByPatternMovesOnlyItsFilesToTheTrash) {
  TemporaryTrash trash;
  const QString favorites = freshFolder("favorites-delete");
  for (const char* name : {"Caption.url", "caption.lnk", "Captions.url", "Other.url"})
    testsupport::writeFile(favorites + "/" + name, name);
  QStringList asked;
  Prompts prompts({.ConfirmDelete = [&](HWND, const QStringList& paths, bool) {
    asked = paths;
    return true;
  }});
  // The main window's pattern: the folder, a backslash, the caption and ".*".
  const QString pattern = favorites + "\\Caption.*";
  EXPECT_EQ(run(FO_DELETE, {pattern}, {}, FOF_SILENT | FOF_ALLOWUNDO), 0);
  EXPECT_EQ(asked, QStringList({favorites + "/Caption.url", favorites + "/caption.lnk"}));
  EXPECT_EQ(filesIn(favorites), QStringList({"Captions.url", "Other.url"}));
  EXPECT_EQ(filesIn(trash.filesDir()), QStringList({"Caption.url", "caption.lnk"}));

  // A name that holds "*" or "?" names that item alone.
  for (const char* name : {"Star*.url", "Star1.url", "Why?.url", "Whys.url"})
    testsupport::writeFile(favorites + "/" + name, name);
  asked.clear();
  EXPECT_EQ(
      run(FO_DELETE, {favorites + "/Star*.url", favorites + "/Why?.url"}, {}, FOF_SILENT | FOF_ALLOWUNDO), 0);
  EXPECT_EQ(asked, QStringList({favorites + "/Star*.url", favorites + "/Why?.url"}));
  EXPECT_EQ(filesIn(favorites), QStringList({"Captions.url", "Other.url", "Star1.url", "Whys.url"}));

  // Nothing matching: an error and no question.
  asked.clear();
  EXPECT_EQ(run(FO_DELETE, {favorites + "/Nothing.*"}, {}, FOF_ALLOWUNDO), int(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(asked.isEmpty());
}

TEST(FileOperations, TheTrashIsMadeInADataFolderThatDoesNotExistYet) {
  TemporaryTrash trash;
  QDir(trash.dataHome).removeRecursively();
  const QString favorites = freshFolder("favorites-fresh-home");
  testsupport::writeFile(favorites + "/Gone.url", "x");
  EXPECT_EQ(run(FO_DELETE, {favorites + "/Gone.url"}, {}, FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO),
            0);
  EXPECT_EQ(filesIn(trash.filesDir()), QStringList({"Gone.url"}));
  EXPECT_FALSE(QFileInfo::exists("files/Gone.url"));
}

TEST(FileOperations, DeclinedOrPermanentDeletes) {
  TemporaryTrash trash;
  const QString root = freshFolder("delete-kinds");
  testsupport::writeFile(root + "/keep.txt", "k");
  testsupport::writeFile(root + "/tree/a/b.txt", "b");
  bool answer = false;
  Prompts prompts({.ConfirmDelete = [&](HWND, const QStringList&, bool) { return answer; }});
  BOOL aborted = FALSE;
  EXPECT_EQ(run(FO_DELETE, {root + "/keep.txt"}, {}, FOF_ALLOWUNDO, &aborted), int(ERROR_CANCELLED));
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(QFile::exists(root + "/keep.txt"));

  // Without FOF_ALLOWUNDO a folder goes for good, nothing lands in the trash.
  EXPECT_EQ(run(FO_DELETE, {root + "/tree"}, {}, FOF_NOCONFIRMATION), 0);
  EXPECT_FALSE(QDir(root + "/tree").exists());
  EXPECT_TRUE(filesIn(trash.filesDir()).isEmpty());
  EXPECT_EQ(run(FO_DELETE, {}, {}, 0), int(ERROR_INVALID_PARAMETER));
}

TEST(FileOperations, CopyMoveAndRename) {
  const QString root = freshFolder("copy-move");
  testsupport::writeFile(root + "/one.txt", "1");
  testsupport::writeFile(root + "/two.txt", "2");
  testsupport::writeFile(root + "/folder/inner.txt", "i");

  // Several sources go into the destination folder, made when missing.
  EXPECT_EQ(run(FO_COPY, {root + "/one.txt", root + "/folder"}, {root + "/copies"}, FOF_NOCONFIRMATION), 0);
  EXPECT_EQ(filesIn(root + "/copies"), QStringList({"folder", "one.txt"}));
  EXPECT_EQ(testsupport::readFile(root + "/copies/folder/inner.txt"), "i");

  // A collision: renamed, replaced after asking, or kept when declined.
  EXPECT_EQ(run(FO_COPY, {root + "/one.txt"}, {root + "/copies"}, FOF_RENAMEONCOLLISION), 0);
  EXPECT_TRUE(QFile::exists(root + "/copies/one (2).txt"));
  bool replace = false;
  int asked = 0;
  Prompts prompts({.ConfirmReplace = [&](HWND, const QString&, const QString&) {
    ++asked;
    return replace;
  }});
  BOOL aborted = FALSE;
  testsupport::writeFile(root + "/one.txt", "changed");
  EXPECT_EQ(run(FO_COPY, {root + "/one.txt"}, {root + "/copies"}, 0, &aborted), 0);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(testsupport::readFile(root + "/copies/one.txt"), "1");
  replace = true;
  EXPECT_EQ(run(FO_COPY, {root + "/one.txt"}, {root + "/copies"}, 0, &aborted), 0);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(testsupport::readFile(root + "/copies/one.txt"), "changed");
  EXPECT_EQ(asked, 2);

  // One source to a path that is no folder: a new name.
  EXPECT_EQ(run(FO_MOVE, {root + "/two.txt"}, {root + "/moved.txt"}, 0), 0);
  EXPECT_FALSE(QFile::exists(root + "/two.txt"));
  EXPECT_EQ(testsupport::readFile(root + "/moved.txt"), "2");
  EXPECT_EQ(run(FO_MOVE, {root + "/folder"}, {root + "/folder/sub"}, 0), int(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(QFile::exists(root + "/folder/inner.txt"));

  // A rename takes a bare name in the same folder and never overwrites.
  EXPECT_EQ(run(FO_RENAME, {root + "/moved.txt"}, {"renamed.txt"}, 0), 0);
  EXPECT_TRUE(QFile::exists(root + "/renamed.txt"));
  EXPECT_EQ(run(FO_RENAME, {root + "/renamed.txt"}, {"one.txt"}, 0), int(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(run(FO_COPY, {root + "/missing.txt"}, {root + "/copies"}, 0), int(ERROR_FILE_NOT_FOUND));
}

TEST(ShellExecute, OpensAddressesFilesAndFoldersThroughTheDesktop) {
  OpenedUrls opened;
  const QString root = freshFolder("execute");
  testsupport::writeFile(root + "/doc.html", "d");
  auto execute = [](const char16_t* verb, const QString& file, const QString& dir = QString()) {
    return reinterpret_cast<std::intptr_t>(
        ShellExecuteW(nullptr, verb, reinterpret_cast<LPCWSTR>(file.utf16()), nullptr,
                      dir.isEmpty() ? nullptr : reinterpret_cast<LPCWSTR>(dir.utf16()), SW_SHOWNORMAL));
  };
  EXPECT_GT(execute(u"open", "https://example.com/path?q=1"), 32);
  EXPECT_GT(execute(nullptr, root + "/doc.html"), 32);
  EXPECT_GT(execute(u"explore", root), 32);
  EXPECT_GT(execute(u"open", "doc.html", root), 32);
  EXPECT_GT(execute(u"open", "file://" + root + "/doc.html"), 32);
  ASSERT_EQ(opened.urls.size(), 5);
  EXPECT_EQ(opened.urls[0], QUrl("https://example.com/path?q=1"));
  EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(root + "/doc.html"));
  EXPECT_EQ(opened.urls[2], QUrl::fromLocalFile(root));
  EXPECT_EQ(opened.urls[3], QUrl::fromLocalFile(root + "/doc.html"));

  EXPECT_EQ(execute(u"open", root + "/missing.html"), SE_ERR_FNF);
  EXPECT_EQ(execute(u"open", "file://" + root + "/missing.html"), SE_ERR_FNF);
  EXPECT_EQ(execute(u"print", root + "/doc.html"), SE_ERR_NOASSOC);
  EXPECT_EQ(execute(u"open", ""), SE_ERR_FNF);
  EXPECT_EQ(opened.urls.size(), 5);
}

TEST(FileOperations, EveryResultCodeHasASystemText) {
  for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_ALREADY_EXISTS,
                     ERROR_CANCELLED, ERROR_INVALID_NAME, ERROR_INVALID_PARAMETER})
    EXPECT_FALSE(SysErrorMessage(code).isEmpty()) << code;
}
