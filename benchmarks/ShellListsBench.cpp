// Favorites and history list benchmark, in one run and a temporary profile:
//   (a) a favorites list view on an offscreen form over a Favorites folder of
//       5,000 shortcuts, until its first screen of rows is hinted, fetched
//       and painted, against listing the same names with QDir (sorted,
//       folders first, no case);
//   (b) a history list view over 10,000 visits (2,000 addresses, 200 sites,
//       the last 21 days), entering every period and every site in turn,
//       against reading the same page rows with one SQLite query per level
//       on the store's file.
// It prints both ratios and the slowest level in milliseconds.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

#include "EmbeddedWB/Source/FavoritesListView.h"
#include "EmbeddedWB/Source/HistoryListView.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Folders.h"
#include "platform/shell/UrlHistory.h"

namespace {

void paint(TCustomListView* list) { static_cast<QTreeView*>(list->Widget())->viewport()->repaint(); }

double favoritesRatio() {
  const QString dir = SpecialFolderPath(CSIDL_FAVORITES);
  QDir().mkpath(dir);
  for (int i = 0; i < 5000; ++i) {
    QFile f(dir + QStringLiteral("/Shortcut %1.url").arg(i, 4, 10, QLatin1Char('0')));
    if (f.open(QIODevice::WriteOnly)) f.write("[InternetShortcut]\r\nURL=http://127.0.0.1/\r\n");
  }
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 600);
  form.Show();
  QElapsedTimer timer;
  timer.start();
  auto* list = new FavoritesListView::TFavoritesListView(&form);
  list->SetBounds(0, 0, 300, 600);
  list->SetParent(&form);
  list->Loaded();
  paint(list);
  const double viewMs = timer.nsecsElapsed() / 1e6;

  timer.restart();
  QStringList names;
  for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                                       QDir::DirsFirst | QDir::Name | QDir::IgnoreCase))
    names << info.completeBaseName();
  const double dirMs = timer.nsecsElapsed() / 1e6;
  std::printf("(a) favorites: list view %.1f ms (%d rows), QDir %.1f ms (%lld names), ratio %.1f\n", viewMs,
              list->Items()->Count(), dirMs, static_cast<long long>(names.size()),
              viewMs / std::max(dirMs, 0.01));
  return viewMs / std::max(dirMs, 0.01);
}

void fillHistory() {
  UrlHistoryStore().Clear();
  sqlite3* db = nullptr;
  sqlite3_open(UrlHistoryFileName().toUtf8().constData(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* url = nullptr;
  sqlite3_stmt* visit = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO urls(id, url, site, title, visit_count, last_visit) VALUES(?,?,?,?,5,?)",
                     -1, &url, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO visits(url_id, visit_time) VALUES(?,?)", -1, &visit, nullptr);
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const qint64 span = 21LL * 24 * 3600 * 1000;
  for (int a = 0; a < 2000; ++a) {
    const QByteArray site = QStringLiteral("site%1.example").arg(a % 200).toUtf8();
    const QByteArray address = "http://" + site + "/page" + QByteArray::number(a);
    const QByteArray title = "Page " + QByteArray::number(a);
    qint64 last = 0;
    for (int v = 0; v < 5; ++v) {
      const qint64 t = now - (qint64(a) * 7919 + v * 104729) * 1000 % span;
      last = std::max(last, t);
      sqlite3_bind_int(visit, 1, a + 1);
      sqlite3_bind_int64(visit, 2, t);
      sqlite3_step(visit);
      sqlite3_reset(visit);
    }
    sqlite3_bind_int(url, 1, a + 1);
    sqlite3_bind_text(url, 2, address.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(url, 3, site.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(url, 4, title.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(url, 5, last);
    sqlite3_step(url);
    sqlite3_reset(url);
  }
  sqlite3_finalize(url);
  sqlite3_finalize(visit);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// The pages of every site of every period, each level read with one query.
double queryLevels(const std::vector<std::pair<QDateTime, QDateTime>>& periods, int& rows) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(UrlHistoryFileName().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
  QElapsedTimer timer;
  timer.start();
  rows = 0;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT u.site, u.url, u.title FROM urls u JOIN visits v ON v.url_id = u.id "
                     "WHERE v.visit_time >= ?1 AND v.visit_time < ?2 GROUP BY u.id ORDER BY u.site, u.title",
                     -1, &st, nullptr);
  for (const auto& [from, to] : periods) {
    sqlite3_bind_int64(st, 1, from.toMSecsSinceEpoch());
    sqlite3_bind_int64(st, 2, to.toMSecsSinceEpoch());
    while (sqlite3_step(st) == SQLITE_ROW) ++rows;
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return timer.nsecsElapsed() / 1e6;
}

double historyRatio() {
  fillHistory();
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 600);
  form.Show();
  QElapsedTimer timer, level;
  timer.start();
  double slowest = 0, entering = 0;
  int pages = 0;
  auto timed = [&](auto&& step) {
    level.restart();
    step();
    const double ms = level.nsecsElapsed() / 1e6;
    slowest = std::max(slowest, ms);
    entering += ms;
  };
  auto* list = new HistoryListView::THistoryListView(&form);
  list->SetBounds(0, 0, 300, 600);
  list->SetParent(&form);
  timed([&] {
    list->Loaded();
    paint(list);
  });
  const int periods = list->Items()->Count();
  for (int p = 0; p < periods; ++p) {
    list->SetItemIndex(p);
    timed([&] {
      list->DblClick();
      paint(list);
    });
    const int sites = list->Items()->Count();
    for (int s = 0; s < sites; ++s) {
      list->SetItemIndex(s);
      timed([&] {
        list->DblClick();
        paint(list);
      });
      pages += list->Items()->Count();
      list->Perform(WM_KEYDOWN, VK_BACK, 0);
    }
    list->Perform(WM_KEYDOWN, VK_BACK, 0);
  }
  const double viewMs = timer.nsecsElapsed() / 1e6;
  std::vector<std::pair<QDateTime, QDateTime>> ranges;
  for (THistoryPeriod p : {hpToday, hpThisWeek, hpLastWeek, hpTwoWeeksAgo, hpThreeWeeksAgo})
    ranges.push_back(HistoryPeriodRange(p));
  int rows = 0;
  const double sqlMs = queryLevels(ranges, rows);
  std::printf(
      "(b) history: list view %.1f ms (%d periods, %d page rows; %.1f ms of it entering levels, the rest "
      "going back up), SQLite %.1f ms (%d rows), ratio %.1f (entering only %.1f), slowest level %.1f ms\n",
      viewMs, periods, pages, entering, sqlMs, rows, viewMs / std::max(sqlMs, 0.01),
      entering / std::max(sqlMs, 0.01), slowest);
  return viewMs / std::max(sqlMs, 0.01);
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir profile;
  qputenv("NOCTIVANE_PROFILE", profile.path().toUtf8());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  KeepHomeInsideProfile();
  QApplication app(argc, argv);
  InitializeForms();
  InitializeComCtrls();
  InitializeShell();
  FavoritesListView::initialize();
  HistoryListView::initialize();
  // BENCH_HISTORY_ONLY leaves (a) out (for profiling the history part).
  const double a = qEnvironmentVariableIsSet("BENCH_HISTORY_ONLY") ? 0 : favoritesRatio();
  const double b = historyRatio();
  std::printf("ratios: (a) %.1f (target at most 10), (b) %.1f (target at most 25)\n", a, b);
  FavoritesListView::finalize();
  HistoryListView::finalize();
  FinalizeForms();
  return 0;
}
