// The History menu and the Favorites popup over real files of the profile,
// with a real browser on a shown form.
#include "EmbeddedWB/Source/FavoritesPopup.h"
#include "EmbeddedWB/Source/HistoryMenu.h"
#include "EmbeddedWB/Source/ImportFavorites.h"

#include "platform/classlib/Dialogs.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/OrganizeFavorites.h"
#include "platform/shdocvw/SHDocVw.h"
#include "platform/shell/UrlHistory.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace ewbtest;
using FavoritesPopup::TFavoritesPopup;
using HistoryMenu::THistoryMenu;

namespace {

QStringList captionsOf(TMenuItem* item) {
  QStringList out;
  for (int i = 0; i < item->Count(); ++i)
    if (item->Items(i)->Visible()) out << item->Items(i)->Caption();
  return out;
}

TMenuItem* child(TMenuItem* item, const QString& caption) {
  for (int i = 0; i < item->Count(); ++i)
    if (item->Items(i)->Caption() == caption) return item->Items(i);
  return nullptr;
}

QString favoritesDir() { return SpecialFolderPath(CSIDL_FAVORITES); }

class ShellMenus : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    InitializeShell();
    InitializeSHDocVw();
    HistoryMenu::initialize();
    FavoritesPopup::initialize();
    UrlHistoryStore().Clear();
    QDir(favoritesDir()).removeRecursively();
    QDir().mkpath(favoritesDir());
  }
  void TearDown() override {
    FavoritesPopup::finalize();
    HistoryMenu::finalize();
    UrlHistoryStore().Clear();
    BrowserFixture::TearDown();
  }
  void shortcut(const QString& path, const QString& url) {
    testsupport::writeFile(favoritesDir() + "/" + path, ("[InternetShortcut]\nURL=" + url + "\n").toUtf8());
  }
  TFavoritesPopup* popup(FavoritesPopup::TOptions options = {FavoritesPopup::foAddFavorites,
                                                             FavoritesPopup::foOrganizeFavorites}) {
    auto* p = new TFavoritesPopup(form);
    p->SetOptions(options);
    p->Loaded();
    return p;
  }
};

}  // namespace

// ---------------------------------------------------------------- History menu

TEST_F(ShellMenus, HistoryItemGoesWhereMenuPositionSaysWithinTheMenu) {
  auto* main = new TMainMenu(form);
  for (const char* c : {"File", "Edit"}) {
    auto* entry = new TMenuItem(main);
    entry->SetCaption(c);
    main->Items()->Add(entry);
  }
  auto* first = new THistoryMenu(form);
  EXPECT_EQ(first->Caption(), "History");
  EXPECT_EQ(first->MenuPosition(), 1);
  first->SetMainMenu(main);
  first->SetMenuPosition(0);
  first->CreateMenu();
  EXPECT_EQ(first->MenuPosition(), 1);
  auto* last = new THistoryMenu(form);
  last->SetMainMenu(main);
  last->SetMenuPosition(9);
  last->SetCaption("Later");
  last->CreateMenu();
  EXPECT_EQ(last->MenuPosition(), 4);
  EXPECT_EQ(captionsOf(main->Items()), QStringList({"History", "File", "Edit", "Later"}));

  // Without a main menu the item is built all the same.
  auto* alone = new THistoryMenu(form);
  alone->CreateMenu();
  ASSERT_NE(alone->Root(), nullptr);
  EXPECT_EQ(captionsOf(alone->Root()), QStringList({"Today"}));
  // Today without visits opens to one disabled item.
  TMenuItem* today = child(alone->Root(), "Today");
  today->Click();
  EXPECT_EQ(captionsOf(today), QStringList({" (Empty) "}));
  EXPECT_FALSE(child(today, " (Empty) ")->Enabled());
}

TEST_F(ShellMenus, HistoryLevelsOpenOnceAndAChosenPageIsShownAndReported) {
  LoopbackServer server;
  server.page("/a", "<html><head><title>Page A</title></head><body>a</body></html>");
  server.page("/b", "<html><head><title>Page B</title></head><body>b</body></html>");
  ASSERT_TRUE(show(server.url("/a")));
  ASSERT_TRUE(show(server.url("/b")));
  auto* menu = new THistoryMenu(form);
  menu->SetEmbeddedWB(wb);
  QStringList chosen;
  QPointer<TMenuItem> sender;
  menu->OnURLSelected = [&](TObject* s, const String& url) {
    sender = dynamic_cast<TMenuItem*>(s);
    chosen << url;
  };
  menu->CreateMenu();
  TMenuItem* today = child(menu->Root(), "Today");
  today->Click();
  today->Click();  // listed once
  EXPECT_EQ(captionsOf(today), QStringList({"127.0.0.1"}));
  TMenuItem* site = child(today, "127.0.0.1");
  site->Click();
  EXPECT_EQ(captionsOf(site), QStringList({"Page A", "Page B"}));
  EXPECT_EQ(child(site, "Page A")->Hint(), server.url("/a"));

  QPointer<TMenuItem> page = child(site, "Page A");
  page->Click();
  EXPECT_EQ(chosen, QStringList({server.url("/a")}));
  EXPECT_EQ(sender, page);
  // The menu was built again, and the clicked item outlives its click.
  EXPECT_FALSE(page.isNull());
  EXPECT_EQ(menu->Root()->IndexOf(today), -1);
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(wb->LocationURL(), server.url("/a"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(page.isNull());
  EXPECT_EQ(captionsOf(menu->Root()), QStringList({"Today"}));
}

// ---------------------------------------------------------------- Favorites popup

TEST_F(ShellMenus, FixedItemsFollowOptionsAndTheVersionTest) {
  shortcut("Only.url", "http://127.0.0.1:1/only");
  EXPECT_EQ(captionsOf(popup()->Items()),
            QStringList({"Add to Favorites", "Organize Favorites", "-", "Only"}));
  EXPECT_EQ(captionsOf(popup({})->Items()), QStringList({"Only"}));
  EXPECT_EQ(captionsOf(popup({FavoritesPopup::foImportFavorites})->Items()),
            QStringList({"Import Favorites", "-", "Only"}));
  EXPECT_EQ(
      captionsOf(popup({FavoritesPopup::foImportFavorites, FavoritesPopup::foExportFavorites,
                        FavoritesPopup::foImportExportWizard})
                     ->Items()),
      QStringList({"Import Favorites", "Export Favorites", "Import Export Favorites Wizard", "-", "Only"}));
  // An old browser version: no import, export or wizard at all.
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  reg.OpenKey("Software\\Microsoft\\Internet Explorer", true);
  const QString version = reg.ReadString("Version");
  reg.WriteString("Version", "4.0");
  EXPECT_EQ(captionsOf(popup({FavoritesPopup::foAddFavorites, FavoritesPopup::foImportFavorites,
                              FavoritesPopup::foImportExportWizard})
                           ->Items()),
            QStringList({"Add to Favorites", "-", "Only"}));
  reg.WriteString("Version", version);
}

TEST_F(ShellMenus, TheTreeCutsLongCaptionsListsFoldersOnceAndHandsAddressesOn) {
  const QString fifty(50, 'x');
  shortcut(fifty + ".url", "http://127.0.0.1:1/fifty");
  shortcut(fifty + "y.url", "http://127.0.0.1:1/fiftyone");
  shortcut("Folder/Inside.url", "http://127.0.0.1:1/inside");
  QDir().mkpath(favoritesDir() + "/Empty");
  TFavoritesPopup* p = popup({});
  EXPECT_EQ(p->MaxWidth(), 50);
  EXPECT_EQ(captionsOf(p->Items()), QStringList({"Empty", "Folder", fifty, fifty + "..."}));
  TMenuItem* empty = child(p->Items(), "Empty");
  empty->Click();
  EXPECT_EQ(captionsOf(empty), QStringList({" (Empty) "}));
  TMenuItem* folder = child(p->Items(), "Folder");
  folder->Click();
  folder->Click();
  EXPECT_EQ(captionsOf(folder), QStringList({"Inside"}));

  p->SetEmbeddedWB(wb);
  QStringList chosen;
  p->OnURLSelected = [&](TObject*, const String& url) { chosen << url; };
  wb->Navigate("about:blank");
  ASSERT_TRUE(complete(wb));
  child(folder, "Inside")->Click();
  child(p->Items(), fifty + "...")->Click();
  EXPECT_EQ(chosen, QStringList({"http://127.0.0.1:1/inside", "http://127.0.0.1:1/fiftyone"}));
  EXPECT_EQ(wb->LocationURL(), "about:blank");  // never navigated
}

TEST_F(ShellMenus, AddAndOrganizeRebuildAndReportTheirFailures) {
  QStringList errors;
  TFavoritesPopup* p = popup();
  p->OnError = [&](int code, const String& text) { errors << QString::number(uint(code), 16) + " " + text; };
  QPointer<TMenuItem> add = child(p->Items(), "Add to Favorites");
  add->Click();  // no browser
  p->SetEmbeddedWB(wb);
  EXPECT_EQ(errors, QStringList({"80004005 Please assign a TEmbeddedWB"}));

  LoopbackServer server;
  ASSERT_TRUE(show(server.url("/page")));
  QStringList added;
  p->OnAddFavorites = [&](TEmbeddedWB* b, const String& title, const String& url, int success) {
    EXPECT_EQ(b, wb);
    added << title << url << QString::number(success);
  };
  TShellPrompts previous =
      SetShellPrompts({.AskFavoriteName = [](HWND, const String&, String&) { return true; }});
  add = child(p->Items(), "Add to Favorites");
  add->Click();
  SetShellPrompts(previous);
  EXPECT_EQ(added, QStringList({"served", server.url("/page"), "0"}));
  EXPECT_TRUE(QFile::exists(favoritesDir() + "/served.url"));
  EXPECT_TRUE(captionsOf(p->Items()).contains("served"));  // built again
  EXPECT_FALSE(add.isNull());                              // still there after its click
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(add.isNull());

  // Organize opens the dialog on the Favorites folder and builds again.
  shortcut("Later.url", "http://127.0.0.1:1/later");
  QString shown;
  QTimer::singleShot(0, [&] {
    testsupport::waitFor([] { return QApplication::activeModalWidget() != nullptr; });
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      shown = d->objectName();
      d->findChild<QPushButton*>("Close")->click();
    }
  });
  child(p->Items(), "Organize Favorites")->Click();
  EXPECT_EQ(shown, "OrganizeFavorites");
  EXPECT_TRUE(captionsOf(p->Items()).contains("Later"));

  UnregisterStandInModule("shdocvw.dll");
  child(p->Items(), "Organize Favorites")->Click();
  RegisterShdocvwModule();
  EXPECT_EQ(errors.last(), "80004005 Failed while loading library!");
}

TEST_F(ShellMenus, ExportAndImportItemsRunTheBookmarkComponentsWithTheirDefaults) {
  shortcut("Tools/Search.url", "http://127.0.0.1:1/search");
  TFavoritesPopup* p = popup({FavoritesPopup::foImportFavorites, FavoritesPopup::foExportFavorites});
  TScriptedDialogService dialogs;
  child(p->Items(), "Export Favorites")->Click();  // no browser: nothing
  EXPECT_FALSE(QFile::exists(QDir::homePath() + "/newbook.htm"));

  p->SetEmbeddedWB(wb);
  ASSERT_FALSE(wb->DocumentLoaded());
  child(p->Items(), "Export Favorites")->Click();
  EXPECT_TRUE(wb->DocumentLoaded());  // the empty document first
  const QByteArray written = testsupport::readFile(QDir::homePath() + "/newbook.htm");
  EXPECT_TRUE(written.contains("<DT><H3>Tools</H3>"));
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage).size(), 1u);
  EXPECT_TRUE(dialogs.Calls.back().Message.startsWith("Your favorites have been exported to successfully!"));

  // The default import reads that file back into a sub-folder of its own.
  child(p->Items(), "Import Favorites")->Click();
  EXPECT_TRUE(testsupport::readFile(favoritesDir() + "/Imported Bookmarks/Tools/Search.url")
                  .contains("URL=http://127.0.0.1:1/search"));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage).size(), 2u);
  // Neither run leaves a component behind on the popup.
  for (int i = 0; i < p->ComponentCount(); ++i)
    EXPECT_EQ(dynamic_cast<ExportFavorites::TFavoritesFileComponent*>(p->Components(i)), nullptr);
  QFile::remove(QDir::homePath() + "/newbook.htm");
}
