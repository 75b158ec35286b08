// The main window's favorites and history lists in their tabs, the menus of
// the same folders, and a cloned window's own lists.
#include "tests/app/AppTestSupport.h"

#include "platform/shell/UrlHistory.h"
#include "tests/support/TestSupport.h"

#include <QDir>

using namespace Menu;

namespace {

class MainWindowFavorites : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    const QString favorites = SpecialFolderPath(CSIDL_FAVORITES);
    QDir(favorites).removeRecursively();
    testsupport::writeFile(favorites + "/Search.url", "[InternetShortcut]\nURL=http://127.0.0.1:1/search\n");
    testsupport::writeFile(favorites + "/News/Daily.url",
                           "[InternetShortcut]\nURL=http://127.0.0.1:1/daily\n");
    UrlHistoryStore().Clear();
    UrlHistoryStore().AddVisit("http://127.0.0.1:1/seen", "Seen page");
    setStartPage("about:blank");
    Application->CreateForm(MyMenuForm);
    f = MyMenuForm;
  }
  void TearDown() override {
    UrlHistoryStore().Clear();
    AppTest::TearDown();
    // Later windows start with empty Favorites, as a new user's do.
    QDir(SpecialFolderPath(CSIDL_FAVORITES)).removeRecursively();
  }
  static QStringList captions(TCustomListView* list) {
    QStringList out;
    for (int i = 0; i < list->Items()->Count(); ++i) out << list->Items()->Item(i)->Caption;
    return out;
  }
  TMyMenuForm* f = nullptr;
};

}  // namespace

TEST_F(MainWindowFavorites, BothListsFillTheRestOfTheirTabsWithTheirSettings) {
  ASSERT_NE(f->FavoritesList, nullptr);
  EXPECT_EQ(f->FavoritesList->Parent(), f->WebPagesSheet);
  EXPECT_EQ(f->FavoritesList->Align(), alClient);
  EXPECT_EQ(f->FavoritesList->Top(), f->FavoritesToolPanel->Top() + f->FavoritesToolPanel->Height());
  EXPECT_EQ(f->FavoritesList->EmbeddedWB(), f->WB);
  EXPECT_EQ(f->FavoritesList->PopupMenu(), f->FavoritesPopup);
  EXPECT_EQ(f->FavoritesList->PopupMenuMode(), FavoritesListView::pmm_System);
  EXPECT_EQ(f->FavoritesList->ResolveUrl(), EwbTools::IntShCut);
  EXPECT_FALSE(f->FavoritesList->Channels());
  EXPECT_FALSE(f->FavoritesList->ShowColumnHeaders());
  EXPECT_EQ(captions(f->FavoritesList), QStringList({"News", "Search"}));

  ASSERT_NE(f->HistoryListView1, nullptr);
  EXPECT_EQ(f->HistoryListView1->Parent(), f->HistorySheet);
  EXPECT_EQ(f->HistoryListView1->Align(), alClient);
  EXPECT_EQ(f->HistoryListView1->EmbeddedWB(), f->WB);
  EXPECT_EQ(captions(f->HistoryListView1), QStringList({"Today"}));

  // The menus exist; the History menu was built, though no menu shows it.
  EXPECT_EQ(f->FavoritesPopup->EmbeddedWB(), f->WB);
  EXPECT_EQ(f->HistoryMenu->EmbeddedWB(), f->WB);
  EXPECT_EQ(f->HistoryMenu->MenuPosition(), 1);
  ASSERT_NE(f->HistoryMenu->Root(), nullptr);
  EXPECT_EQ(f->HistoryMenu->Root()->Caption(), "History");
  EXPECT_EQ(f->HistoryMenu->Root()->Items(0)->Caption(), "Today");
  EXPECT_EQ(f->FavoritesPopup->Items()->Items(0)->Caption(), "Add to Favorites");
}

TEST_F(MainWindowFavorites, DeleteButtonsHintNamesTheSelectedFavorite) {
  f->FavoritesList->SetItemIndex(1);
  f->DeleteFavoriteBtn->OnMouseEnter(f->DeleteFavoriteBtn);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Delete page  \"Search\" from favorites ... ");
  f->FavoritesList->SetItemIndex(-1);
  f->DeleteFavoriteBtn->OnMouseEnter(f->DeleteFavoriteBtn);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Delete page  \"\" from favorites ... ");
}

TEST_F(MainWindowFavorites, AClonedWindowHasListsOfItsOwn) {
  ComPtr<IDispatch> ppDisp;
  f->OpenNewWindow(nullptr, ppDisp);
  TMyMenuForm* clone = nullptr;
  for (int i = 0; i < Application->ComponentCount(); ++i)
    if (auto* w = dynamic_cast<TMyMenuForm*>(Application->Components(i)); w && w != f) clone = w;
  ASSERT_NE(clone, nullptr);
  ASSERT_NE(clone->FavoritesList, nullptr);
  EXPECT_NE(clone->FavoritesList, f->FavoritesList);
  EXPECT_EQ(clone->FavoritesList->EmbeddedWB(), clone->WB);
  EXPECT_EQ(clone->FavoritesList->PopupMenu(), clone->FavoritesPopup);
  EXPECT_EQ(captions(clone->FavoritesList), QStringList({"News", "Search"}));

  // Entering a folder in one window leaves the other where it is.
  clone->FavoritesList->SetItemIndex(0);
  clone->FavoritesList->DblClick();
  EXPECT_EQ(clone->FavoritesList->Depth(), 1);
  EXPECT_EQ(captions(clone->FavoritesList), QStringList({"Daily"}));
  EXPECT_EQ(f->FavoritesList->Depth(), 0);
  EXPECT_EQ(captions(f->FavoritesList), QStringList({"News", "Search"}));
  ASSERT_NE(clone->HistoryMenu->Root(), nullptr);
  EXPECT_NE(clone->HistoryMenu->Root(), f->HistoryMenu->Root());
}
