#pragma once
// The URL history store: every page the browser shows is recorded with its
// title, the time of each visit and the number of visits, in an SQLite
// database (UrlHistoryFileName()). The History folder lists it by period, by
// site and by page.
//
// Each change is one transaction, and the database runs in write-ahead mode
// with full synchronisation, so a crash never loses a recorded visit or
// leaves a half-written one.
#include "platform/rtl/SysUtils.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

struct TUrlHistoryEntry {
  String Url;
  String Title;
  // The latest visit (within the period asked for, for the period queries).
  QDateTime LastVisited;
  // All visits of the address.
  int VisitCount = 0;
};

// Periods of the History folder. Weeks start on Monday; "this week" runs from
// Monday up to the start of today, so it does not hold today.
enum THistoryPeriod { hpToday, hpThisWeek, hpLastWeek, hpTwoWeeksAgo, hpThreeWeeksAgo };

// [from, to) of a period, in local time, relative to `now`.
std::pair<QDateTime, QDateTime> HistoryPeriodRange(THistoryPeriod period,
                                                   const QDateTime& now = QDateTime::currentDateTime());

// The site of an address as the History folder groups it: the host name in
// lower case, without a leading "www."; empty for addresses without a host
// (local files).
String HistorySiteOf(const String& url);

class TUrlHistory {
 public:
  // Opens (creating when needed) the store in `fileName`, creating its folder.
  explicit TUrlHistory(const String& fileName);
  ~TUrlHistory();
  TUrlHistory(const TUrlHistory&) = delete;
  TUrlHistory& operator=(const TUrlHistory&) = delete;

  // Whether the database could be opened; every call fails quietly otherwise.
  bool IsOpen() const { return db_ != nullptr; }
  const String& FileName() const { return fileName_; }

  // Addresses are kept with scheme and host in lower case, and found in any
  // spelling of them.
  //
  // Records a visit of `url` at `when`; a non-empty `title` replaces the
  // stored one. Answers whether it was stored.
  bool AddVisit(const String& url, const String& title, const QDateTime& when = QDateTime::currentDateTime());
  // Replaces the title of a recorded address (false when it is not recorded).
  bool SetTitle(const String& url, const String& title);

  // Every recorded address, the most recently visited first.
  std::vector<TUrlHistoryEntry> AllEntries();
  // The addresses visited in [from, to), the most recent first.
  std::vector<TUrlHistoryEntry> Entries(const QDateTime& from, const QDateTime& to);
  std::vector<TUrlHistoryEntry> Entries(THistoryPeriod period);
  // The sites (HistorySiteOf) visited in [from, to), sorted by name. The
  // answers are kept until the store changes (here or through another
  // connection): going back up through the History folder asks again.
  QStringList Sites(const QDateTime& from, const QDateTime& to);
  // The addresses of one site visited in [from, to), the most recent first.
  // One question answers every site of the range, and the answers are kept
  // as the site lists are.
  std::vector<TUrlHistoryEntry> SiteEntries(const String& site, const QDateTime& from, const QDateTime& to);
  // The entry of one address; false when it is not recorded.
  bool Find(const String& url, TUrlHistoryEntry& entry);

  // Removes an address with all its visits; false when it was not recorded.
  bool DeleteEntry(const String& url);
  // Removes everything, then tells OnCleared (the browser layer forgets the
  // engine's visited links there).
  bool Clear();
  std::function<void()> OnCleared;

 private:
  // A statement of `sql` with `args` bound, compiled once and kept for the
  // next call (a fresh one while the kept one is still running); null on
  // failure. It is reset when the handle goes.
  struct KeptStatement {
    sqlite3_stmt* stmt = nullptr;
    bool inUse = false;
  };
  struct StatementDone {
    bool* inUse = nullptr;  // the kept statement's flag; null: a one-off one
    void operator()(sqlite3_stmt* s) const;
  };
  using Statement = std::unique_ptr<sqlite3_stmt, StatementDone>;
  Statement prepare(const char* sql, const std::vector<QVariant>& args);
  std::vector<TUrlHistoryEntry> query(const char* sql, const std::vector<QVariant>& args);
  bool exec(const char* sql, const std::vector<QVariant>& args, int* changes = nullptr);

  // Forgets the kept answers (every change of the store calls it).
  void changed() {
    sites_.clear();
    siteEntries_.clear();
  }
  // Forgets them too when another connection changed the store since.
  void followOtherConnections();

  String fileName_;
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, KeptStatement> statements_;
  std::map<std::pair<qint64, qint64>, QStringList> sites_;
  std::map<std::pair<qint64, qint64>, std::map<String, std::vector<TUrlHistoryEntry>>> siteEntries_;
  qint64 keptVersion_ = -1;
  std::recursive_mutex mutex_;
};

// ProfileDir()/History/history.db.
String UrlHistoryFileName();
// The store of the running program (UrlHistoryFileName()), opened on first use.
TUrlHistory& UrlHistoryStore();
