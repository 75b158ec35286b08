// Inspection benchmark: the tools window's tabs on large inputs, in one
// process, each against the plain library doing the same work. Each part is
// one function of the table `kParts`; all run by default.
//
//   InspectBench [part...]      parts: cache, events
//
// (a) cache: a cache of 10,000 entries (pages stored as the browser stores
//     them, cookies in the engine's cookie store, visits in the URL history),
//     listed through TIECache.EnumerateEntries and through the cache tab's
//     " All" box, against one direct SQLite query of the same index and
//     columns; then the tab's clear button. Prints the medians and the ratios.
// (b) events: 10,000 lines logged through the events tab (shown, with
//     analysis and time on), timed as a whole and by its first and last 1,000
//     lines, and the log saved, against the same lines in a TStringList saved
//     with SaveToFile.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkCookie>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "EmbeddedWB/Source/IECache.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "benchmarks/BenchSupport.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/WebBrowser.h"
#include "platform/shell/UrlHistory.h"
#include "platform/wininet/UrlCache.h"

namespace FullScreen {
// The benchmark's way to the window's private log.
struct FullScreenEventsInternals {
  static void Log(TFullScreenForm* f, const String& name, const String& extra) {
    f->LogBrowserEvent(f->WB, name, extra, String(), String());
  }
  static void StartAnalysis(TFullScreenForm* f) {
    if (!f->FAnalysisOn) f->EV001BtnMouseUp(f->EV001Btn, mbLeft, {}, 0, 0);
  }
};
}  // namespace FullScreen

namespace {

constexpr int kTimeoutMs = 120000;
constexpr int kRounds = 5;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kTimeoutMs) {
  return bench::WaitUntil(done, timeoutMs);
}

using bench::Median;

// Milliseconds `work` takes, median of `rounds` runs.
double Time(const std::function<void()>& work, int rounds = kRounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    QElapsedTimer timer;
    timer.start();
    work();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  return Median(times);
}

// ---------------------------------------------------------------- (a) cache

// The engine keeps at most 3,300 cookies, 180 of a site.
constexpr int kPages = 3500, kCookies = 3000, kVisits = 3500, kCookiesPerSite = 150;

// The entries the cache answers for a pattern, read as the tab reads them.
int CountEntries(IECache::TSearchPattern pattern) {
  IECache::TIECache cache(nullptr);
  cache.SetSearchPattern(pattern);
  int n = 0;
  cache.OnEntry = [&](TObject*, bool&) { ++n; };
  cache.EnumerateEntries(0);
  return n;
}

bool FillCache() {
  for (int i = 0; i < kPages; ++i) {
    const String url = QStringLiteral("http://127.0.0.1/site%1/page%2.html").arg(i % 50).arg(i);
    if (!CacheStorePage(url, QByteArray("<html><body>page ") + QByteArray::number(i) + "</body></html>",
                        QStringLiteral("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"),
                        QStringLiteral("htm")))
      return false;
  }
  QWebEngineCookieStore* cookies = BrowserEngineProfile()->cookieStore();
  for (int i = 0; i < kCookies; ++i) {
    // Names of the loopback host; nothing goes over the network.
    const String site = QStringLiteral("site%1.localhost").arg(i / kCookiesPerSite);
    QNetworkCookie cookie(QByteArray("c") + QByteArray::number(i), "value");
    cookie.setDomain(site);
    cookie.setPath(QStringLiteral("/p%1").arg(i));
    cookie.setExpirationDate(QDateTime::currentDateTime().addDays(30));
    cookies->setCookie(cookie, QUrl(QStringLiteral("http://%1/p%2").arg(site).arg(i)));
  }
  for (int i = 0; i < kVisits; ++i)
    if (!UrlHistoryStore().AddVisit(QStringLiteral("http://127.0.0.1/visit%1.html").arg(i),
                                    QStringLiteral("Visit %1").arg(i)))
      return false;
  // The engine reports its cookies a moment later.
  return WaitUntil([] {
    QThread::msleep(100);
    return CountEntries(IECache::spCookies) == kCookies;
  });
}

// The same records straight from the index: one query, every column the
// cache answers.
int DirectQuery(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT url, local_file, type, use_count, hit_rate, size, last_modified, expire,"
                     " last_access, last_sync, headers, extension, exempt_delta FROM entries ORDER BY rowid",
                     -1, &stmt, nullptr);
  int n = 0;
  std::vector<std::pair<std::string, std::string>> rows;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                      reinterpret_cast<const char*>(sqlite3_column_text(stmt, 10)));
    ++n;
  }
  sqlite3_finalize(stmt);
  return n;
}

// The file system's own share of a clear: removing `count` small files that
// are on the disk already (written and synced, as the cache's files are by
// the time a user clears them), in a folder of their own.
double RemovePlainFiles(int count) {
  QTemporaryDir dir;
  QStringList files;
  for (int i = 0; i < count; ++i) {
    files << dir.filePath(QStringLiteral("file%1.htm").arg(i));
    QFile f(files.back());
    if (!f.open(QIODevice::WriteOnly) || f.write("<html><body>page</body></html>") < 0) return -1;
  }
  ::sync();
  QElapsedTimer timer;
  timer.start();
  for (const QString& file : files) QFile::remove(file);
  return timer.nsecsElapsed() / 1e6;
}

int CacheBench(FullScreen::TFullScreenForm* f) {
  std::printf("(a) Cache: %d pages, %d cookies, %d visits\n", kPages, kCookies, kVisits);
  QElapsedTimer fill;
  fill.start();
  if (!FillCache()) {
    std::fprintf(stderr, "the cache could not be filled\n");
    return 1;
  }
  const int total = CountEntries(IECache::spAll);
  std::printf("  built in %.0f ms; the cache lists %d entries\n", double(fill.elapsed()), total);
  if (total != kPages + kCookies + kVisits) return 1;

  sqlite3* db = nullptr;
  const QByteArray index = (UrlCacheFolder() + QStringLiteral("/index.db")).toUtf8();
  if (sqlite3_open_v2(index.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
  int direct = 0;
  const double directMs = Time([&] { direct = DirectQuery(db); });
  sqlite3_close(db);

  std::vector<String> listed;
  IECache::TIECache cache(nullptr);
  cache.OnEntry = [&](TObject*, bool&) { listed.push_back(cache.EntryInfo.SourceUrl); };
  const double enumerateMs = Time([&] {
    listed.clear();
    cache.EnumerateEntries(0);
  });

  // The box as the user ticks it, until the window has handled what the
  // listing left for the event loop.
  f->PageControl->SetActivePage(f->CacheTabSheet);
  const double tabMs = Time([&] {
    f->AllCheckBox->SetChecked(false);
    f->AllCheckBox->SetChecked(true);
    QCoreApplication::processEvents();
  });
  const int lines = f->CacheListBox->Count();

  QElapsedTimer clear;
  clear.start();
  f->CC003BtnMouseUp(f->CC003Btn, mbLeft, {}, 0, 0);
  const double clearMs = clear.nsecsElapsed() / 1e6;
  const int left = CountEntries(IECache::spAll);

  std::printf("  %-44s %9.1f ms  (%d records)\n", "direct SQLite query of the index", directMs, direct);
  std::printf("  %-44s %9.1f ms  (%zu entries)  ratio %.1f\n", "TIECache.EnumerateEntries", enumerateMs,
              listed.size(), enumerateMs / directMs);
  std::printf("  %-44s %9.1f ms  (%d lines)    ratio %.1f\n", "the \" All\" box of the cache tab", tabMs,
              lines, tabMs / directMs);
  std::printf("  %-44s %9.1f ms  (%d entries left)\n", "the clear button", clearMs, left);
  std::printf("  %-44s %9.1f ms  (as many files as the pages had)\n", "removing plain files, for comparison",
              RemovePlainFiles(kPages));
  std::printf("  targets: listing < 100 ms, the tab < 200 ms, clear < 2000 ms\n");
  return left == 0 && lines == total && int(listed.size()) == total ? 0 : 1;
}

using FullScreen::FullScreenEventsInternals;

constexpr int kBlock = 1000;

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// The name of line `i`, as the browser's events name theirs.
String LineName(int i) {
  static const char* const kNames[] = {"On Before Navigate",      "On Download Begin",
                                       "On Command State Change", "On Progress Change",
                                       "On Download Complete",    "On Document Complete"};
  return QLatin1String(kNames[i % std::size(kNames)]);
}

int EventsBench(FullScreen::TFullScreenForm* f) {
  constexpr int lines = 10000;
  QTemporaryDir dir;
  const QString work = dir.path();
  f->PageControl->SetActivePage(f->EventsTabSheet);
  for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
  FullScreenEventsInternals::StartAnalysis(f);
  f->EventsTimeCheckBox->SetChecked(true);
  f->DebugListBox->Clear();

  // Logging, with the window painting between blocks as it would between events.
  double first = 0, last = 0;
  QElapsedTimer total;
  total.start();
  for (int start = 0; start < lines; start += kBlock) {
    QElapsedTimer block;
    block.start();
    for (int i = start; i < std::min(lines, start + kBlock); ++i)
      FullScreenEventsInternals::Log(f, LineName(i), QStringLiteral(" (%1)").arg(i));
    QCoreApplication::processEvents();
    if (start == 0) first = Ms(block);
    last = Ms(block);
  }
  const double all = Ms(total);

  // Saving the log, and the same lines from a plain string list.
  const QString logFile = work + QStringLiteral("/log.txt");
  const QString listFile = work + QStringLiteral("/list.txt");
  QElapsedTimer save;
  save.start();
  f->DebugListBox->Items()->SaveToFile(logFile);
  const double saveMs = Ms(save);
  TStringList plain;
  plain.Assign(*f->DebugListBox->Items());
  QElapsedTimer baseline;
  baseline.start();
  plain.SaveToFile(listFile);
  const double baselineMs = Ms(baseline);

  const int logged = f->DebugListBox->Count();
  std::printf("(b) Event log, %d lines logged (%d in the list)\n", lines, logged);
  std::printf("  total                 %8.1f ms   (target < 200 ms)\n", all);
  std::printf("  first %d lines     %8.1f ms\n", kBlock, first);
  std::printf("  last %d lines      %8.1f ms   last / first = %.2f (target <= 2)\n", kBlock, last,
              first > 0 ? last / first : 0.0);
  std::printf("  save                  %8.1f ms   (target < 50 ms)\n", saveMs);
  std::printf("  TStringList save      %8.1f ms   save / TStringList save = %.2f\n", baselineMs,
              baselineMs > 0 ? saveMs / baselineMs : 0.0);
  const bool same = QFile(logFile).size() == QFile(listFile).size();
  std::printf("  files equal in size: %s\n", same ? "yes" : "NO");
  return logged == lines && same ? 0 : 1;
}

// ---------------------------------------------------------------- parts

struct Part {
  const char* name;
  int (*run)(FullScreen::TFullScreenForm* f);
};
constexpr Part kParts[] = {{"cache", CacheBench}, {"events", EventsBench}};

int Run(const QStringList& asked) {
  if (!bench::StartOnBlankPage()) return 2;
  InitializeProgramUnits();
  int result = 0;
  {
    Application->Initialize();
    Application->SetTitle(QStringLiteral("Noctivane"));
    Application->CreateForm(Menu::MyMenuForm);
    Application->CreateForm(FullScreen::FullScreenForm);
    FullScreen::TFullScreenForm* f = FullScreen::FullScreenForm;
    Menu::MyMenuForm->Hide();
    f->Show();
    if (!WaitUntil([f] { return f->WB->ReadyState() == READYSTATE_COMPLETE && !f->WB->Busy(); })) {
      std::fprintf(stderr, "the tools window did not show its start page\n");
      result = 1;
    }
    for (const Part& part : kParts)
      if (result == 0 && (asked.isEmpty() || asked.contains(QLatin1String(part.name)))) result = part.run(f);
  }
  FinalizeProgramUnits();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir work;
  if (!bench::PrepareRun(work)) return 2;
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));
  QStringList asked;
  for (int i = 1; i < argc; ++i) asked << QString::fromLocal8Bit(argv[i]);
  return Run(asked);
}
