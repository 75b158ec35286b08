// The favorites list view over real shortcut files in the profile's
// Favorites, on a shown form with a real browser.
#include "EmbeddedWB/Source/FavoritesListView.h"

#include "platform/classlib/Menus.h"
#include "platform/rtl/Registry.h"
#include "platform/winapi/Messages.h"
#include "tests/EmbeddedWB/EwbTestHost.h"
#include "tests/EmbeddedWB/ShellListTestUtil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTimer>
#include <QTreeView>

using namespace ewbtest;
using namespace shelllisttest;
using FavoritesListView::TFavoritesListView;

namespace {

QString favoritesDir() { return SpecialFolderPath(CSIDL_FAVORITES); }

void shortcut(const QString& path, const QString& url) {
  testsupport::writeFile(favoritesDir() + "/" + path,
                         url.isNull() ? QByteArray("[InternetShortcut]\n")
                                      : ("[InternetShortcut]\r\nURL=" + url + "\r\n").toUtf8());
}

// What the user does in the next menu that opens.
void whenAMenuOpens(std::function<void(QMenu*)> act) {
  QTimer::singleShot(0, [act] {
    testsupport::waitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; });
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) act(menu);
  });
}

class FavoritesList : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    InitializeShell();
    FavoritesListView::initialize();
    QDir(favoritesDir()).removeRecursively();
    QDir().mkpath(favoritesDir());
    page = pagePath("favorite.htm", "<html><head><title>Favorite page</title></head><body>f</body></html>");
    shortcut("beta.url", QUrl::fromLocalFile(page).toString());
    shortcut("Alpha.url", "http://127.0.0.1:1/alpha");
    shortcut("Zeta.url", QString());  // no address
    QDir().mkpath(favoritesDir() + "/Links/Deeper");
    shortcut("Links/Inner.url", "http://127.0.0.1:1/inner");
  }
  void TearDown() override {
    FavoritesListView::finalize();
    BrowserFixture::TearDown();
  }
  TFavoritesListView* makeList() { return shelllisttest::makeList<TFavoritesListView>(form); }
  QString page;
};

}  // namespace

TEST_F(FavoritesList, FoldersFirstThenNamesAndTheLevelsByEnterAndUp) {
  TFavoritesListView* list = makeList();
  EXPECT_EQ(list->Columns()->Count(), 1);
  EXPECT_EQ(list->Columns()->Items(0)->Caption, "Favorites");
  EXPECT_EQ(list->Columns()->Items(0)->Width, 196);  // made 200 wide
  EXPECT_EQ(captions(list), QStringList({"Links", "Alpha", "beta", "Zeta"}));
  EXPECT_EQ(list->ItemIndex(), 0);  // the first row is selected and focused
  EXPECT_EQ(list->ItemFocused()->Index(), 0);
  EXPECT_GE(list->Items()->Item(1)->ImageIndex, 0);

  const int beeps = MessageBeepCount();
  key(list, VK_BACK);  // at the top: a beep, nothing else
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_EQ(list->Depth(), 0);

  open(list, "Links");
  EXPECT_EQ(list->Depth(), 1);
  EXPECT_EQ(captions(list), QStringList({"Deeper", "Inner"}));
  key(list, VK_RETURN);  // Enter on the selected "Deeper"
  EXPECT_EQ(list->Depth(), 2);
  EXPECT_TRUE(captions(list).isEmpty());
  EXPECT_EQ(list->ItemIndex(), -1);
  list->DblClick();  // no row: nothing
  EXPECT_EQ(list->Depth(), 2);
  key(list, VK_ESCAPE);
  EXPECT_EQ(list->Depth(), 1);
  key(list, VK_HOME);
  EXPECT_EQ(list->Depth(), 0);
  EXPECT_EQ(captions(list).first(), "Links");
  key(list, VK_BACK);
  EXPECT_EQ(MessageBeepCount(), beeps + 2);

  // Typing a caption's beginning finds it, case aside, wrapping round.
  list->SetItemIndex(3);
  list->SetItemFocused(list->Items()->Item(3));
  QTest::keyClicks(list->Widget(), "BE");
  EXPECT_EQ(list->ItemIndex(), 2);
}

TEST_F(FavoritesList, ADoubleClickShowsThePageOrOnlyHandsItsAddressOn) {
  TFavoritesListView* list = makeList();
  list->SetEmbeddedWB(wb);
  // A real double click on "beta" shows its page in the browser.
  const TRect r = list->Items()->Item(2)->DisplayRect(drSelectBounds);
  auto* view = static_cast<QTreeView*>(list->Widget());
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                     view->viewport()->mapFrom(view, QPoint(r.Left + 4, r.Top + 3)));
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(wb->LocationURL(), QUrl::fromLocalFile(page).toString());

  // A shortcut without an address navigates nothing.
  wb->Navigate("about:blank");
  ASSERT_TRUE(complete(wb));
  open(list, "Zeta");
  EXPECT_EQ(wb->LocationURL(), "about:blank");

  // With the event assigned, only the event hears of it, both ways of reading.
  QStringList chosen;
  list->OnURLSelected = [&](TObject* sender, const String& url) {
    EXPECT_EQ(sender, list);
    chosen << url;
  };
  open(list, "Alpha");
  list->SetResolveUrl(EwbTools::IniFile);
  open(list, "Alpha");
  open(list, "Zeta");
  EXPECT_EQ(chosen, QStringList({"http://127.0.0.1:1/alpha", "http://127.0.0.1:1/alpha", ""}));
  EXPECT_EQ(wb->LocationURL(), "about:blank");
}

TEST_F(FavoritesList, RefreshAndTheShellMenuThatDeletes) {
  TFavoritesListView* list = makeList();
  shortcut("Added.url", "http://127.0.0.1:1/added");
  EXPECT_EQ(captions(list).size(), 4);
  list->Refresh();
  EXPECT_TRUE(captions(list).contains("Added"));

  const QString trash = testsupport::profileDir() + "/favorites-trash";
  QDir(trash).removeRecursively();
  QDir().mkpath(trash);
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", trash.toUtf8());
  TShellPrompts previous =
      SetShellPrompts({.ConfirmDelete = [](HWND, const QStringList&, bool) { return true; }});
  auto* popup = new TPopupMenu(form);
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  list->SetPopupMenu(popup);

  // The system menu from the keyboard, on the selected row; Delete takes the
  // file to the trash and the row goes.
  for (int i = 0; i < list->Items()->Count(); ++i)
    if (list->RowCaption(i) == "Added") list->SetItemIndex(i);
  QStringList shown;
  whenAMenuOpens([&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (!a->isSeparator()) shown << a->text();
      if (a->text() == "&Delete") menu->setActiveAction(a);
    }
    QTest::keyClick(menu, Qt::Key_Return);
  });
  list->Perform(WM_CONTEXTMENU, WPARAM(list->Handle()), LPARAM(-1));
  EXPECT_EQ(shown, QStringList({"&Open", "&Delete", "Rena&me", "P&roperties"}));
  EXPECT_EQ(popups, 0);
  EXPECT_FALSE(QFile::exists(favoritesDir() + "/Added.url"));
  EXPECT_TRUE(QFile::exists(trash + "/Trash/files/Added.url"));
  EXPECT_FALSE(captions(list).contains("Added"));

  // The other mode shows the control's own menu.
  list->SetPopupMenuMode(FavoritesListView::pmm_PopupMenu);
  whenAMenuOpens([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
  list->Perform(WM_CONTEXTMENU, WPARAM(list->Handle()), LPARAM(-1));
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(popup->PopupComponent(), list);

  SetShellPrompts(previous);
  qputenv("XDG_DATA_HOME", dataHome);
}

TEST_F(FavoritesList, ChannelShortcutsAreListedOnlyWithChannels) {
  // Links stand for channel shortcuts in this test's registry.
  TRegistry reg;
  reg.RootKey = HKEY_CLASSES_ROOT;
  reg.OpenKey(".lnk", true);
  const QString linkClass = reg.ReadString("");
  reg.WriteString("", "ChannelShortcut");
  reg.CloseKey();
  QDir().mkpath(favoritesDir() + "/Channel Target");
  testsupport::writeFile(favoritesDir() + "/News.lnk",
                         ("[ShellLink]\nTarget=" + favoritesDir() + "/Channel Target\n").toUtf8());

  TFavoritesListView* list = makeList();
  EXPECT_EQ(FavoritesListView::TCustomFavoritesListView::ChannelShortcutType(), "Channel Shortcut");
  EXPECT_FALSE(captions(list).contains("News"));
  list->SetChannels(true);
  list->Refresh();
  ASSERT_TRUE(captions(list).contains("News"));
  QString chosen;
  list->OnURLSelected = [&](TObject*, const String& url) { chosen = url; };
  open(list, "News");
  EXPECT_EQ(chosen, "Channel Target");  // the channel's target, by name
  reg.OpenKey(".lnk", true);
  reg.WriteString("", linkClass);
}
