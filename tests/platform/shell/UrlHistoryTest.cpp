#include "platform/shell/UrlHistory.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QUuid>

#include <sys/wait.h>
#include <unistd.h>

namespace {

String freshStore() {
  return testsupport::profileDir() + "/History/" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".db";
}

QDateTime at(int daysAgo, int hour = 12) {
  return QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(hour, 0));
}

QStringList urlsOf(const std::vector<TUrlHistoryEntry>& entries) {
  QStringList out;
  for (const auto& e : entries) out << e.Url;
  return out;
}

}  // namespace

TEST(UrlHistory, RecordsVisitsCountsAndTitles) {
  TUrlHistory h(freshStore());
  ASSERT_TRUE(h.IsOpen());
  ASSERT_TRUE(h.AddVisit("http://example.com/a", "First title", at(0, 9)));
  ASSERT_TRUE(h.AddVisit("http://example.com/a", "", at(0, 10)));  // empty title keeps the old one
  ASSERT_TRUE(h.AddVisit("http://example.com/b", "B", at(0, 8)));

  TUrlHistoryEntry e;
  ASSERT_TRUE(h.Find("http://example.com/a", e));
  EXPECT_EQ(e.Title, "First title");
  EXPECT_EQ(e.VisitCount, 2);
  EXPECT_EQ(e.LastVisited, at(0, 10));

  // A visit recorded out of order does not move the last visit back.
  ASSERT_TRUE(h.AddVisit("http://example.com/a", "New title", at(1)));
  ASSERT_TRUE(h.Find("http://example.com/a", e));
  EXPECT_EQ(e.Title, "New title");
  EXPECT_EQ(e.VisitCount, 3);
  EXPECT_EQ(e.LastVisited, at(0, 10));

  EXPECT_TRUE(h.SetTitle("http://example.com/b", "Bee"));
  EXPECT_FALSE(h.SetTitle("http://example.com/missing", "x"));
  EXPECT_EQ(urlsOf(h.AllEntries()), QStringList({"http://example.com/a", "http://example.com/b"}));
  EXPECT_FALSE(h.AddVisit("", "no address"));
}

TEST(UrlHistory, PeriodsAndSitesSeeTheVisitsInTheirRange) {
  TUrlHistory h(freshStore());
  h.AddVisit("http://www.Example.com/page", "P", at(0, 9));
  h.AddVisit("http://example.com/other", "O", at(0, 11));
  h.AddVisit("https://news.test/x", "X", at(9));
  h.AddVisit("http://www.example.com/page", "P", at(9, 15));
  h.AddVisit("file:///tmp/local.html", "L", at(9, 16));

  const QDateTime todayStart(QDate::currentDate(), QTime(0, 0));
  const QDateTime tomorrow = todayStart.addDays(1);
  EXPECT_EQ(urlsOf(h.Entries(todayStart, tomorrow)),
            QStringList({"http://example.com/other", "http://www.example.com/page"}));

  const QDateTime nineDaysAgo(QDate::currentDate().addDays(-9), QTime(0, 0));
  const auto older = h.Entries(nineDaysAgo, nineDaysAgo.addDays(1));
  ASSERT_EQ(older.size(), 3u);
  // Within a period the last visit is the one inside the period.
  EXPECT_EQ(older[1].Url, "http://www.example.com/page");
  EXPECT_EQ(older[1].LastVisited, at(9, 15));
  EXPECT_EQ(older[1].VisitCount, 2);

  EXPECT_EQ(h.Sites(nineDaysAgo, tomorrow), QStringList({"", "example.com", "news.test"}));
  EXPECT_EQ(h.Sites(todayStart, tomorrow), QStringList({"example.com"}));
  EXPECT_EQ(urlsOf(h.SiteEntries("example.com", nineDaysAgo, todayStart)),
            QStringList({"http://www.example.com/page"}));
  // Any spelling of an address finds its entry.
  TUrlHistoryEntry e;
  EXPECT_TRUE(h.Find("HTTP://WWW.EXAMPLE.COM/page", e));
  EXPECT_EQ(urlsOf(h.Entries(hpToday)), urlsOf(h.Entries(todayStart, tomorrow)));
}

TEST(UrlHistory, PeriodRangesFollowTheWeek) {
  const QDateTime wednesday(QDate(2024, 5, 15), QTime(14, 30));
  auto range = HistoryPeriodRange(hpToday, wednesday);
  EXPECT_EQ(range.first, QDateTime(QDate(2024, 5, 15), QTime(0, 0)));
  EXPECT_EQ(range.second, QDateTime(QDate(2024, 5, 16), QTime(0, 0)));
  range = HistoryPeriodRange(hpThisWeek, wednesday);
  EXPECT_EQ(range.first, QDateTime(QDate(2024, 5, 13), QTime(0, 0)));
  EXPECT_EQ(range.second, QDateTime(QDate(2024, 5, 15), QTime(0, 0)));
  range = HistoryPeriodRange(hpThreeWeeksAgo, wednesday);
  EXPECT_EQ(range.first, QDateTime(QDate(2024, 4, 22), QTime(0, 0)));
  EXPECT_EQ(range.second, QDateTime(QDate(2024, 4, 29), QTime(0, 0)));
  // On a Monday "this week" is empty.
  range = HistoryPeriodRange(hpThisWeek, QDateTime(QDate(2024, 5, 13), QTime(8, 0)));
  EXPECT_EQ(range.first, range.second);

  EXPECT_EQ(HistorySiteOf("HTTP://WWW.Site.ORG:8080/a?b"), "site.org");
  EXPECT_EQ(HistorySiteOf("file:///home/u/x.html"), "");
}

TEST(UrlHistory, DeletingAndClearing) {
  TUrlHistory h(freshStore());
  h.AddVisit("http://a.test/", "A", at(0));
  h.AddVisit("http://b.test/", "B", at(0));
  EXPECT_TRUE(h.DeleteEntry("http://a.test/"));
  EXPECT_FALSE(h.DeleteEntry("http://a.test/"));
  const QDateTime todayStart(QDate::currentDate(), QTime(0, 0));
  // The deleted address's visits went with it.
  EXPECT_EQ(urlsOf(h.Entries(todayStart, todayStart.addDays(1))), QStringList({"http://b.test/"}));
  // A new visit of a deleted address starts counting again.
  h.AddVisit("http://a.test/", "A", at(0));
  TUrlHistoryEntry e;
  ASSERT_TRUE(h.Find("http://a.test/", e));
  EXPECT_EQ(e.VisitCount, 1);

  EXPECT_TRUE(h.Clear());
  EXPECT_TRUE(h.AllEntries().empty());
  EXPECT_TRUE(h.Sites(todayStart.addDays(-30), todayStart.addDays(1)).isEmpty());
}

TEST(UrlHistory, SurvivesReopenAndACrashedWriter) {
  const String file = freshStore();
  {
    TUrlHistory h(file);
    h.AddVisit("http://kept.test/", "Kept", at(2));
  }
  // A writer that dies without closing the database loses nothing it
  // committed.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto* h = new TUrlHistory(file);  // never closed
    const bool ok = h->AddVisit("http://crashed.test/", "Crashed", at(1));
    _exit(ok ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  TUrlHistory reopened(file);
  EXPECT_EQ(urlsOf(reopened.AllEntries()), QStringList({"http://crashed.test/", "http://kept.test/"}));
  TUrlHistoryEntry e;
  ASSERT_TRUE(reopened.Find("http://kept.test/", e));
  EXPECT_EQ(e.Title, "Kept");
}

TEST(UrlHistory, AnUnusableFileFailsQuietly) {
  // A folder where the database file should be.
  const String dir = freshStore();
  ASSERT_TRUE(QDir().mkpath(dir));
  TUrlHistory h(dir);
  EXPECT_FALSE(h.IsOpen());
  EXPECT_FALSE(h.AddVisit("http://a.test/", "A"));
  EXPECT_TRUE(h.AllEntries().empty());
  EXPECT_FALSE(h.Clear());
}

TEST(UrlHistory, TheProgramStoreLivesInTheProfile) {
  EXPECT_EQ(UrlHistoryFileName(), testsupport::profileDir() + "/History/history.db");
  EXPECT_TRUE(UrlHistoryStore().IsOpen());
}

TEST(UrlHistory, KeptSiteListsFollowEveryChangeOfTheStore) {
  const String file = freshStore();
  TUrlHistory h(file);
  const auto [from, to] = HistoryPeriodRange(hpToday);
  h.AddVisit("http://one.example/", "one");
  EXPECT_EQ(h.Sites(from, to), QStringList({"one.example"}));
  EXPECT_EQ(h.Sites(from, to), QStringList({"one.example"}));  // the kept answer
  h.AddVisit("http://two.example/", "two");
  EXPECT_EQ(h.Sites(from, to), QStringList({"one.example", "two.example"}));
  h.DeleteEntry("http://one.example/");
  EXPECT_EQ(h.Sites(from, to), QStringList({"two.example"}));

  // A visit another connection records is seen as well.
  {
    TUrlHistory other(file);
    other.AddVisit("http://three.example/", "three");
  }
  EXPECT_EQ(h.Sites(from, to), QStringList({"three.example", "two.example"}));
  h.Clear();
  EXPECT_TRUE(h.Sites(from, to).isEmpty());
}

TEST(UrlHistory, AnswersAskedAgainSeeWhatOtherConnectionsChanged) {
  const String file = freshStore();
  TUrlHistory h(file);
  const auto [from, to] = HistoryPeriodRange(hpToday);
  h.AddVisit("http://site.example/a", "A");
  EXPECT_EQ(urlsOf(h.SiteEntries("site.example", from, to)), QStringList({"http://site.example/a"}));
  EXPECT_EQ(urlsOf(h.Entries(from, to)), QStringList({"http://site.example/a"}));
  {
    // The questions asked before hold no snapshot of the store: a writer
    // elsewhere gets through, and the same questions see its change.
    TUrlHistory other(file);
    ASSERT_TRUE(other.AddVisit("http://site.example/b", "B", QDateTime::currentDateTime().addSecs(1)));
    EXPECT_EQ(urlsOf(h.SiteEntries("site.example", from, to)),
              QStringList({"http://site.example/b", "http://site.example/a"}));
    ASSERT_TRUE(other.Clear());
  }
  EXPECT_TRUE(h.SiteEntries("site.example", from, to).empty());
  EXPECT_TRUE(h.Entries(from, to).empty());
  TUrlHistoryEntry e;
  EXPECT_FALSE(h.Find("http://site.example/a", e));
  // Each call binds its own arguments, and a change here shows at once.
  h.AddVisit("http://other.example/c", "C");
  EXPECT_TRUE(h.SiteEntries("site.example", from, to).empty());
  EXPECT_EQ(urlsOf(h.SiteEntries("other.example", from, to)), QStringList({"http://other.example/c"}));
  ASSERT_TRUE(h.SetTitle("http://other.example/c", "Renamed"));
  ASSERT_EQ(h.SiteEntries("other.example", from, to).size(), 1u);
  EXPECT_EQ(h.SiteEntries("other.example", from, to)[0].Title, "Renamed");
  // The site of an address without a host is the empty one.
  h.AddVisit("file:///tmp/page.html", "Local");
  EXPECT_EQ(urlsOf(h.SiteEntries("", from, to)), QStringList({"file:///tmp/page.html"}));
  EXPECT_TRUE(h.SiteEntries("nowhere.example", from, to).empty());
}
