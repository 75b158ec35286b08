#include "platform/shell/UrlHistory.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QLocale>

using namespace shelltest;

namespace {

QDateTime daysAgo(int days, int hour = 10) {
  return QDateTime(QDate::currentDate().addDays(-days), QTime(hour, 0));
}

// The caption the History folder gives the period holding `when`.
QString periodCaptionOf(const QDateTime& when) {
  const std::pair<THistoryPeriod, const char*> weeks[] = {
      {hpLastWeek, "Last Week"}, {hpTwoWeeksAgo, "2 Weeks Ago"}, {hpThreeWeeksAgo, "3 Weeks Ago"}};
  for (const auto& [period, caption] : weeks) {
    const auto range = HistoryPeriodRange(period);
    if (when >= range.first && when < range.second) return caption;
  }
  return QLocale::c().dayName(when.date().dayOfWeek());
}

PCUITEMID_CHILD itemNamed(IShellFolder* folder, const std::vector<Pidl>& items, const QString& name) {
  for (const Pidl& p : items)
    if (nameOf(folder, p.get(), SHGDN_NORMAL) == name) return p.get();
  ADD_FAILURE() << "no item " << name.toStdString();
  return nullptr;
}

ComPtr<IShellFolder> historyFolder(Pidl& absolute) {
  PIDLIST_ABSOLUTE raw = nullptr;
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_HISTORY, &raw), S_OK);
  absolute.reset(raw);
  return bind(raw);
}

constexpr SHCONTF kAll = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;

}  // namespace

TEST(HistoryFolder, ListsPeriodsSitesAndPagesOfTheStore) {
  TUrlHistory& store = UrlHistoryStore();
  ASSERT_TRUE(store.Clear());
  ASSERT_TRUE(store.AddVisit("http://example.com/a", "A page", daysAgo(0, 0)));
  ASSERT_TRUE(store.AddVisit("http://www.example.com/b", "", daysAgo(0, 0)));
  ASSERT_TRUE(store.AddVisit("http://other.org/x", "Other", daysAgo(0, 0)));
  ASSERT_TRUE(store.AddVisit("file:///home/user/page.html", "Local", daysAgo(0, 0)));
  ASSERT_TRUE(store.AddVisit("http://old.net/", "Old", daysAgo(9)));
  const long before = CoTaskMemLiveBlocks();
  {
    Pidl root;
    ComPtr<IShellFolder> history = historyFolder(root);
    ASSERT_TRUE(history);
    const auto periods = enumerate(history.Get(), kAll);
    const QStringList captions = namesOf(history.Get(), periods);
    ASSERT_EQ(captions.size(), 2);
    EXPECT_EQ(captions[0], "Today");
    EXPECT_EQ(captions[1], periodCaptionOf(daysAgo(9)));
    for (const Pidl& p : periods) EXPECT_TRUE(attributesOf(history.Get(), p.get()) & SFGAO_FOLDER);

    ComPtr<IShellFolder> today;
    ASSERT_EQ(history->BindToObject(periods[0].get(), nullptr, IID_IShellFolder, &today), S_OK);
    EXPECT_TRUE(enumerate(today.Get(), SHCONTF_NONFOLDERS).empty());
    const auto sites = enumerate(today.Get(), kAll);
    EXPECT_EQ(namesOf(today.Get(), sites), QStringList({"My Computer", "example.com", "other.org"}));

    ComPtr<IShellFolder> site;
    ASSERT_EQ(
        today->BindToObject(itemNamed(today.Get(), sites, "example.com"), nullptr, IID_IShellFolder, &site),
        S_OK);
    const auto pages = enumerate(site.Get(), kAll);
    // A page shows its title, or its address when it has none; parsing gives the address.
    QStringList shown = namesOf(site.Get(), pages);
    shown.sort();
    EXPECT_EQ(shown, QStringList({"A page", "http://www.example.com/b"}));
    PCUITEMID_CHILD page = itemNamed(site.Get(), pages, "A page");
    EXPECT_EQ(nameOf(site.Get(), page, SHGDN_FORPARSING), "http://example.com/a");
    EXPECT_FALSE(attributesOf(site.Get(), page) & SFGAO_FOLDER);

    // The info tip holds the address on its second line.
    ComPtr<IQueryInfo> tip;
    ASSERT_EQ(site->GetUIObjectOf(nullptr, 1, &page, IID_IQueryInfo, nullptr, &tip), S_OK);
    LPWSTR text = nullptr;
    ASSERT_EQ(tip->GetInfoTip(0, &text), S_OK);
    EXPECT_EQ(OleStrToString(text), "A page\nhttp://example.com/a");
    CoTaskMemFree(text);

    // Pages sort by their captions.
    const short order = short(
        HRESULT_CODE(site->CompareIDs(0, page, itemNamed(site.Get(), pages, "http://www.example.com/b"))));
    EXPECT_LT(order, 0);

    // The absolute list of the page works from the desktop, as the history
    // components use it.
    const Pidl toToday(ILCombine(root.get(), periods[0].get()));
    const Pidl toSite(ILCombine(toToday.get(), itemNamed(today.Get(), sites, "example.com")));
    const Pidl toPage(ILCombine(toSite.get(), page));
    ComPtr<IShellFolder> desktop;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    EXPECT_EQ(nameOf(desktop.Get(), toPage.get(), SHGDN_FORPARSING), "http://example.com/a");
    EXPECT_EQ(nameOf(desktop.Get(), toSite.get(), SHGDN_NORMAL), "example.com");
    ComPtr<IShellFolder> siteAgain = bind(toSite.get());
    EXPECT_EQ(enumerate(siteAgain.Get(), kAll).size(), 2u);
    Pidl parentOfPage(ILClone(toPage.get()));
    ILRemoveLastID(parentOfPage.get());
    EXPECT_TRUE(ILIsEqual(parentOfPage.get(), toSite.get()));
    EXPECT_EQ(PathFromIDList(toPage.get()), QString());

    // A page is no folder.
    ComPtr<IShellFolder> none;
    EXPECT_EQ(site->BindToObject(page, nullptr, IID_IShellFolder, &none), E_INVALIDARG);

    // The older period lists its site.
    ComPtr<IShellFolder> older;
    ASSERT_EQ(history->BindToObject(periods[1].get(), nullptr, IID_IShellFolder, &older), S_OK);
    EXPECT_EQ(namesOf(older.Get(), enumerate(older.Get(), kAll)), QStringList({"old.net"}));
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(HistoryFolder, EarlierDaysOfThisWeekAreTheirOwnPeriods) {
  const auto thisWeek = HistoryPeriodRange(hpThisWeek);
  if (thisWeek.first >= thisWeek.second) GTEST_SKIP() << "today is the first day of the week";
  TUrlHistory& store = UrlHistoryStore();
  ASSERT_TRUE(store.Clear());
  const QDateTime yesterday = daysAgo(1);
  ASSERT_TRUE(store.AddVisit("http://yesterday.example/", "Y", yesterday));
  Pidl root;
  ComPtr<IShellFolder> history = historyFolder(root);
  EXPECT_EQ(namesOf(history.Get(), enumerate(history.Get(), kAll)),
            QStringList({"Today", QLocale::c().dayName(yesterday.date().dayOfWeek())}));
}

TEST(HistoryFolder, AnEmptyStoreStillShowsToday) {
  ASSERT_TRUE(UrlHistoryStore().Clear());
  Pidl root;
  ComPtr<IShellFolder> history = historyFolder(root);
  const auto periods = enumerate(history.Get(), kAll);
  ASSERT_EQ(namesOf(history.Get(), periods), QStringList({"Today"}));
  ComPtr<IShellFolder> today;
  ASSERT_EQ(history->BindToObject(periods[0].get(), nullptr, IID_IShellFolder, &today), S_OK);
  EXPECT_TRUE(enumerate(today.Get(), kAll).empty());
  // The desktop names the folder after the registry's class name.
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(&desktop);
  EXPECT_EQ(nameOf(desktop.Get(), root.get(), SHGDN_NORMAL), "History");
}
