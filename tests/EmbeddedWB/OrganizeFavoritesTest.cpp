// The Organize Favorites dialog of the browser library, reached through the
// utility routines, on a real Favorites folder of the profile.
#include "EmbeddedWB/Source/EwbTools.h"

#include "platform/classlib/Forms.h"
#include "platform/shdocvw/OrganizeFavorites.h"
#include "platform/shdocvw/SHDocVw.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

QTreeWidgetItem* itemNamed(QTreeWidget* tree, const QString& text) {
  const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.first();
}

void click(QDialog* dialog, const char* button) {
  auto* b = dialog->findChild<QPushButton*>(button);
  ASSERT_NE(b, nullptr) << button;
  b->click();
}

// Runs `steps` on the modal dialog once it shows.
void whenModal(std::function<void(QDialog*)> steps) {
  QTimer::singleShot(0, [steps] {
    testsupport::waitFor([] { return qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr; });
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) steps(d);
  });
}

}  // namespace

TEST(OrganizeFavoritesDialog, NewFolderRenameMoveAndDeleteThroughTheShell) {
  InitializeForms();
  InitializeShell();
  InitializeSHDocVw();
  const QString root = testsupport::profileDir() + "/organize/Favorites Ü";
  QDir(root).removeRecursively();
  testsupport::writeFile(root + "/Alpha.url", "[InternetShortcut]\nURL=http://127.0.0.1:1/a\n");
  testsupport::writeFile(root + "/Beta.url", "[InternetShortcut]\nURL=http://127.0.0.1:1/b\n");
  const QString trash = testsupport::profileDir() + "/organize-trash";
  QDir(trash).removeRecursively();
  QDir().mkpath(trash);
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", trash.toUtf8());
  QStringList names{"Work", "Renamed"};
  QStringList confirmed;
  TShellPrompts previous = SetShellPrompts({
      .ConfirmDelete =
          [&](HWND, const QStringList& paths, bool toTrash) {
            confirmed << paths;
            return toTrash;
          },
      .AskNewName =
          [&](HWND, const String&, String& name) {
            name = names.takeFirst();
            return true;
          },
  });

  QString caption, windowClass;
  whenModal([&](QDialog* d) {
    windowClass = GetClassName(FindWindow("#32770", "Organize Favorites"));
    caption = GetWindowText(FindWindow("#32770", "Organize Favorites"));
    auto* tree = d->findChild<QTreeWidget*>("Items");
    // A new folder, named through the shell.
    tree->setCurrentItem(nullptr);
    click(d, "CreateFolder");
    // Alpha moves into it.
    tree->setCurrentItem(itemNamed(tree, "Alpha"));
    QTimer::singleShot(0, [] {
      testsupport::waitFor([] {
        auto* m = QApplication::activeModalWidget();
        return m && m->objectName() == "BrowseForFolder";
      });
      auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      auto* folders = chooser->findChild<QTreeWidget*>("Folders");
      folders->setCurrentItem(itemNamed(folders, "Work"));
      chooser->accept();
    });
    click(d, "Move");
    // Then it is renamed, and Beta goes to the trash.
    tree->setCurrentItem(itemNamed(tree, "Alpha"));
    click(d, "Rename");
    tree->setCurrentItem(itemNamed(tree, "Beta"));
    click(d, "Delete");
    click(d, "Close");
  });
  EXPECT_EQ(EwbTools::DoOrganizeFavorites(nullptr, root), TRUE);
  SetShellPrompts(previous);
  qputenv("XDG_DATA_HOME", dataHome);

  EXPECT_EQ(windowClass, "#32770");
  EXPECT_EQ(caption, "Organize Favorites");
  EXPECT_TRUE(QDir(root + "/Work").exists());
  EXPECT_FALSE(QFile::exists(root + "/Alpha.url"));
  EXPECT_TRUE(QFile::exists(root + "/Work/Renamed.url"));
  EXPECT_FALSE(QFile::exists(root + "/Beta.url"));
  EXPECT_TRUE(QFile::exists(trash + "/Trash/files/Beta.url"));
  EXPECT_EQ(confirmed, QStringList({root + "/Beta.url"}));
  EXPECT_EQ(FindWindow("#32770", "Organize Favorites"), nullptr);

  // A path that names no folder shows nothing.
  EXPECT_EQ(EwbTools::DoOrganizeFavorites(nullptr, root + "/missing"), FALSE);
  FinalizeForms();
}

TEST(OrganizeFavoritesDialog, WithoutTheLibraryNothingIsShown) {
  InitializeSHDocVw();
  UnregisterStandInModule("shdocvw.dll");
  EXPECT_EQ(EwbTools::OrganizeFavorites(nullptr), 0);
  RegisterShdocvwModule();
}
