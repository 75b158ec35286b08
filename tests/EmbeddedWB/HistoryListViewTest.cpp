// The history list view over visits the real browser recorded from loopback
// pages (and older ones written to the store), on a shown form.
#include "EmbeddedWB/Source/HistoryListView.h"

#include "platform/shell/UrlHistory.h"
#include "platform/winapi/Messages.h"
#include "tests/EmbeddedWB/EwbTestHost.h"
#include "tests/EmbeddedWB/ShellListTestUtil.h"

using namespace ewbtest;
using namespace shelllisttest;
using HistoryListView::THistoryListView;

namespace {

class HistoryList : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    InitializeShell();
    HistoryListView::initialize();
    UrlHistoryStore().Clear();
    server.page("/one", "<html><head><title>First page</title></head><body>1</body></html>");
    server.page("/two", "<html><head><title>Second page</title></head><body>2</body></html>");
    server.page("/three", "<html><head><title>Third page</title></head><body>3</body></html>");
    for (const char* path : {"/one", "/two", "/three"}) ASSERT_TRUE(show(server.url(path)));
    // A visit three weeks back, on another site.
    const auto [from, to] = HistoryPeriodRange(hpThreeWeeksAgo);
    UrlHistoryStore().AddVisit("http://www.example.com/old", "Old page", from.addSecs(3600));
  }
  void TearDown() override {
    HistoryListView::finalize();
    UrlHistoryStore().Clear();
    BrowserFixture::TearDown();
  }
  THistoryListView* makeList() { return shelllisttest::makeList<THistoryListView>(form); }

  LoopbackServer server;
};

}  // namespace

TEST_F(HistoryList, PeriodsSitesAndPagesOfRealVisits) {
  THistoryListView* list = makeList();
  list->SetEmbeddedWB(wb);
  EXPECT_EQ(list->Columns()->Items(0)->Caption, "History");
  EXPECT_EQ(captions(list), QStringList({"Today", "3 Weeks Ago"}));

  const int beeps = MessageBeepCount();
  key(list, VK_ESCAPE);  // only Backspace goes up
  key(list, VK_HOME);
  key(list, VK_BACK);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);

  open(list, "Today");
  EXPECT_EQ(list->Depth(), 1);
  EXPECT_EQ(captions(list), QStringList({"127.0.0.1"}));
  key(list, VK_RETURN);
  EXPECT_EQ(list->Depth(), 2);
  EXPECT_EQ(captions(list), QStringList({"First page", "Second page", "Third page"}));

  // A page opens in the browser again.
  wb->Navigate("about:blank");
  ASSERT_TRUE(complete(wb));
  open(list, "Second page");
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(wb->LocationURL(), server.url("/two"));

  // With the event assigned only the event hears of it.
  QString chosen;
  list->OnURLSelected = [&](TObject* sender, const String& url) {
    EXPECT_EQ(sender, list);
    chosen = url;
  };
  open(list, "Third page");
  EXPECT_EQ(chosen, server.url("/three"));
  EXPECT_EQ(wb->LocationURL(), server.url("/two"));

  key(list, VK_BACK);
  key(list, VK_BACK);
  EXPECT_EQ(list->Depth(), 0);
  open(list, "3 Weeks Ago");
  EXPECT_EQ(captions(list), QStringList({"example.com"}));
  list->SetItemIndex(-1);
  list->DblClick();  // no row: nothing
  EXPECT_EQ(list->Depth(), 1);

  // Typing finds the last row of a level.
  key(list, VK_BACK);
  list->SetItemFocused(list->Items()->Item(0));
  QTest::keyClicks(list->Widget(), "3 w");
  EXPECT_EQ(list->ItemIndex(), 1);
}

TEST_F(HistoryList, APageWithoutBrowserOrEventDoesNothing) {
  THistoryListView* list = makeList();
  open(list, "Today");
  open(list, "127.0.0.1");
  const QString before = wb->LocationURL();
  open(list, "First page");
  EXPECT_EQ(wb->LocationURL(), before);
  EXPECT_EQ(list->Depth(), 2);
}

TEST_F(HistoryList, GoingBackUpShowsTheLevelAsItIsNow) {
  THistoryListView* list = makeList();
  open(list, "Today");
  open(list, "127.0.0.1");
  EXPECT_EQ(list->Depth(), 2);

  // Nothing changed: the same rows, the first selected.
  key(list, VK_BACK);
  EXPECT_EQ(list->Depth(), 1);
  EXPECT_EQ(captions(list), QStringList({"127.0.0.1"}));
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->RowCaption(0), "127.0.0.1");

  // A site visited while its neighbour is shown is there on the way back,
  // and so is a period that gained its first visit.
  open(list, "127.0.0.1");
  const auto [weekFrom, weekTo] = HistoryPeriodRange(hpLastWeek);
  UrlHistoryStore().AddVisit("http://new.example/page", "New page", QDateTime::currentDateTime());
  UrlHistoryStore().AddVisit("http://www.example.com/week", "Week page", weekFrom.addSecs(3600));
  key(list, VK_BACK);
  EXPECT_EQ(captions(list), QStringList({"127.0.0.1", "new.example"}));
  key(list, VK_BACK);
  EXPECT_EQ(captions(list), QStringList({"Today", "Last Week", "3 Weeks Ago"}));

  // A visit taken away shows on the way back too.
  open(list, "Today");
  open(list, "new.example");
  EXPECT_EQ(captions(list), QStringList({"New page"}));
  ASSERT_TRUE(UrlHistoryStore().DeleteEntry("http://new.example/page"));
  key(list, VK_BACK);
  EXPECT_EQ(captions(list), QStringList({"127.0.0.1"}));
  open(list, "127.0.0.1");
  EXPECT_EQ(captions(list), QStringList({"First page", "Second page", "Third page"}));
}
