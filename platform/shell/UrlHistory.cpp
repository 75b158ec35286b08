#include "platform/shell/UrlHistory.h"

#include "platform/rtl/Folders.h"
#include "platform/shell/Log_p.h"

#include <QUrl>
#include <QVariant>

#include <sqlite3.h>
#include <memory>

namespace {

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS urls("
    "  id INTEGER PRIMARY KEY,"
    "  url TEXT NOT NULL UNIQUE,"
    "  site TEXT NOT NULL,"
    "  title TEXT NOT NULL DEFAULT '',"
    "  visit_count INTEGER NOT NULL DEFAULT 0,"
    "  last_visit INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS visits("
    "  id INTEGER PRIMARY KEY,"
    "  url_id INTEGER NOT NULL REFERENCES urls(id) ON DELETE CASCADE,"
    "  visit_time INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS visits_time ON visits(visit_time);"
    "CREATE INDEX IF NOT EXISTS visits_url ON visits(url_id);"
    "CREATE INDEX IF NOT EXISTS urls_site ON urls(site);";

// Columns every entry query answers, in this order.
#define ENTRY_COLUMNS "u.url, u.title, u.visit_count"

// Binds the arguments in order: integers as integers, anything else as text.
bool bindAll(sqlite3_stmt* stmt, const std::vector<QVariant>& args) {
  for (int i = 0; i < int(args.size()); ++i) {
    const QVariant& a = args[i];
    int rc;
    if (a.typeId() == QMetaType::LongLong || a.typeId() == QMetaType::Int) {
      rc = sqlite3_bind_int64(stmt, i + 1, a.toLongLong());
    } else {
      const QByteArray text = a.toString().toUtf8();
      rc = sqlite3_bind_text(stmt, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) return false;
  }
  return true;
}

String columnText(sqlite3_stmt* s, int col) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
  return text ? String::fromUtf8(text, sqlite3_column_bytes(s, col)) : String();
}

// The entry of a row of ENTRY_COLUMNS and the time of the visit.
TUrlHistoryEntry entryOf(sqlite3_stmt* s) {
  TUrlHistoryEntry e;
  e.Url = columnText(s, 0);
  e.Title = columnText(s, 1);
  e.VisitCount = sqlite3_column_int(s, 2);
  e.LastVisited = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(s, 3));
  return e;
}

qint64 msecs(const QDateTime& t) { return t.toMSecsSinceEpoch(); }

// One spelling per address: scheme and host in lower case, the rest encoded
// the same way whichever form the caller passed.
String normalized(const String& url) {
  const QUrl u(url);
  return u.isValid() && !u.scheme().isEmpty() ? u.toString(QUrl::FullyEncoded) : url;
}

}  // namespace

std::pair<QDateTime, QDateTime> HistoryPeriodRange(THistoryPeriod period, const QDateTime& now) {
  const QDate today = now.date();
  const QDate monday = today.addDays(1 - today.dayOfWeek());
  auto at = [](const QDate& d) { return QDateTime(d, QTime(0, 0)); };
  switch (period) {
    case hpToday: return {at(today), at(today.addDays(1))};
    case hpThisWeek: return {at(monday), at(today)};
    case hpLastWeek: return {at(monday.addDays(-7)), at(monday)};
    case hpTwoWeeksAgo: return {at(monday.addDays(-14)), at(monday.addDays(-7))};
    case hpThreeWeeksAgo: return {at(monday.addDays(-21)), at(monday.addDays(-14))};
  }
  return {};
}

String HistorySiteOf(const String& url) {
  String host = QUrl(url).host().toLower();
  if (host.startsWith(QLatin1String("www."))) host.remove(0, 4);
  return host;
}

TUrlHistory::TUrlHistory(const String& fileName) : fileName_(fileName) {
  ForceDirectories(ExtractFileDir(fileName));
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(fileName.toUtf8().constData(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    qCDebug(lcShell) << "URL history" << fileName << "cannot be opened:" << sqlite3_errmsg(db);
    sqlite3_close(db);
    return;
  }
  sqlite3_busy_timeout(db, 5000);
  // Write-ahead log with full synchronisation: a committed visit survives a
  // crash of the program or of the machine.
  const bool ready =
      sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", nullptr,
                   nullptr, nullptr) == SQLITE_OK &&
      sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ready) {
    qCDebug(lcShell) << "URL history" << fileName << "cannot be set up:" << sqlite3_errmsg(db);
    sqlite3_close(db);
    return;
  }
  db_ = db;
}

TUrlHistory::~TUrlHistory() {
  for (const auto& kept : statements_) sqlite3_finalize(kept.second.stmt);
  if (db_) sqlite3_close(db_);
}

void TUrlHistory::StatementDone::operator()(sqlite3_stmt* s) const {
  if (!inUse) {
    sqlite3_finalize(s);
    return;
  }
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
  *inUse = false;
}

// Going through the History folder asks the same few questions over and
// over: compiling each once saves most of the cost of a small answer.
TUrlHistory::Statement TUrlHistory::prepare(const char* sql, const std::vector<QVariant>& args) {
  KeptStatement& kept = statements_[sql];
  Statement stmt;
  if (kept.stmt && !kept.inUse) {
    kept.inUse = true;
    stmt = Statement(kept.stmt, StatementDone{&kept.inUse});
  } else {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr) != SQLITE_OK) {
      qCDebug(lcShell) << "URL history statement fails:" << sqlite3_errmsg(db_);
      sqlite3_finalize(raw);
      return nullptr;
    }
    if (!kept.stmt) {
      kept = {raw, true};
      stmt = Statement(raw, StatementDone{&kept.inUse});
    } else {
      stmt = Statement(raw, StatementDone{});  // the kept one is running
    }
  }
  if (!bindAll(stmt.get(), args)) return nullptr;
  return stmt;
}

bool TUrlHistory::exec(const char* sql, const std::vector<QVariant>& args, int* changes) {
  if (!db_) return false;
  Statement stmt = prepare(sql, args);
  if (!stmt) return false;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
  }
  if (changes) *changes = sqlite3_changes(db_);
  return rc == SQLITE_DONE;
}

std::vector<TUrlHistoryEntry> TUrlHistory::query(const char* sql, const std::vector<QVariant>& args) {
  std::vector<TUrlHistoryEntry> out;
  std::lock_guard lock(mutex_);
  if (!db_) return out;
  Statement stmt = prepare(sql, args);
  if (!stmt) return out;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) out.push_back(entryOf(stmt.get()));
  return out;
}

bool TUrlHistory::AddVisit(const String& address, const String& title, const QDateTime& when) {
  const String url = normalized(address);
  if (url.isEmpty() || !when.isValid()) return false;
  std::lock_guard lock(mutex_);
  if (!db_) return false;
  const qint64 t = msecs(when);
  changed();
  if (!exec("BEGIN IMMEDIATE", {})) return false;
  const bool ok =
      exec(
          "INSERT INTO urls(url, site, title, visit_count, last_visit) VALUES(?1, ?2, ?3, 0, ?4) "
          "ON CONFLICT(url) DO NOTHING",
          {url, HistorySiteOf(url), title, t}) &&
      exec(
          "UPDATE urls SET visit_count = visit_count + 1, last_visit = MAX(last_visit, ?2),"
          " title = CASE WHEN ?3 <> '' THEN ?3 ELSE title END WHERE url = ?1",
          {url, t, title}) &&
      exec("INSERT INTO visits(url_id, visit_time) SELECT id, ?2 FROM urls WHERE url = ?1", {url, t});
  if (ok && exec("COMMIT", {})) return true;
  exec("ROLLBACK", {});
  return false;
}

bool TUrlHistory::SetTitle(const String& url, const String& title) {
  std::lock_guard lock(mutex_);
  changed();
  int changes = 0;
  return exec("UPDATE urls SET title = ?2 WHERE url = ?1", {normalized(url), title}, &changes) && changes > 0;
}

std::vector<TUrlHistoryEntry> TUrlHistory::AllEntries() {
  return query("SELECT " ENTRY_COLUMNS ", u.last_visit FROM urls u ORDER BY u.last_visit DESC, u.id", {});
}

std::vector<TUrlHistoryEntry> TUrlHistory::Entries(const QDateTime& from, const QDateTime& to) {
  return query("SELECT " ENTRY_COLUMNS
               ", MAX(v.visit_time) AS t FROM urls u"
               " JOIN visits v ON v.url_id = u.id"
               " WHERE v.visit_time >= ?1 AND v.visit_time < ?2"
               " GROUP BY u.id ORDER BY t DESC, u.id",
               {msecs(from), msecs(to)});
}

std::vector<TUrlHistoryEntry> TUrlHistory::Entries(THistoryPeriod period) {
  const auto range = HistoryPeriodRange(period);
  return Entries(range.first, range.second);
}

void TUrlHistory::followOtherConnections() {
  // Another connection's commit changes the data version.
  qint64 version = -1;
  if (Statement v = prepare("PRAGMA data_version", {}); v && sqlite3_step(v.get()) == SQLITE_ROW)
    version = sqlite3_column_int64(v.get(), 0);
  if (version != keptVersion_) {
    changed();
    keptVersion_ = version;
  }
}

QStringList TUrlHistory::Sites(const QDateTime& from, const QDateTime& to) {
  QStringList sites;
  std::lock_guard lock(mutex_);
  if (!db_) return sites;
  followOtherConnections();
  const std::pair<qint64, qint64> key{msecs(from), msecs(to)};
  if (auto kept = sites_.find(key); kept != sites_.end()) return kept->second;
  Statement stmt = prepare(
      "SELECT DISTINCT u.site FROM urls u JOIN visits v ON v.url_id = u.id"
      " WHERE v.visit_time >= ?1 AND v.visit_time < ?2 ORDER BY u.site",
      {msecs(from), msecs(to)});
  if (!stmt) return sites;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) sites << columnText(stmt.get(), 0);
  sites_[key] = sites;
  return sites;
}

std::vector<TUrlHistoryEntry> TUrlHistory::SiteEntries(const String& site, const QDateTime& from,
                                                       const QDateTime& to) {
  std::lock_guard lock(mutex_);
  if (!db_) return {};
  followOtherConnections();
  const std::pair<qint64, qint64> key{msecs(from), msecs(to)};
  auto kept = siteEntries_.find(key);
  if (kept == siteEntries_.end()) {
    // Entries() with each row's site: a site's rows keep the order of the whole.
    Statement stmt = prepare("SELECT " ENTRY_COLUMNS
                             ", MAX(v.visit_time) AS t, u.site FROM urls u"
                             " JOIN visits v ON v.url_id = u.id"
                             " WHERE v.visit_time >= ?1 AND v.visit_time < ?2"
                             " GROUP BY u.id ORDER BY t DESC, u.id",
                             {key.first, key.second});
    if (!stmt) return {};
    std::map<String, std::vector<TUrlHistoryEntry>> bySite;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
      bySite[columnText(stmt.get(), 4)].push_back(entryOf(stmt.get()));
    kept = siteEntries_.emplace(key, std::move(bySite)).first;
  }
  const auto found = kept->second.find(site);
  return found != kept->second.end() ? found->second : std::vector<TUrlHistoryEntry>();
}

bool TUrlHistory::Find(const String& url, TUrlHistoryEntry& entry) {
  auto found =
      query("SELECT " ENTRY_COLUMNS ", u.last_visit FROM urls u WHERE u.url = ?1", {normalized(url)});
  if (found.empty()) return false;
  entry = found.front();
  return true;
}

bool TUrlHistory::DeleteEntry(const String& url) {
  std::lock_guard lock(mutex_);
  // A delete does not wait for the disk: losing it to a power cut only brings
  // the address back, and clearing thousands of them takes moments. It is
  // atomic all the same.
  exec("PRAGMA synchronous=NORMAL", {});
  changed();
  int changes = 0;
  const bool deleted = exec("DELETE FROM urls WHERE url = ?1", {normalized(url)}, &changes) && changes > 0;
  exec("PRAGMA synchronous=FULL", {});
  return deleted;
}

bool TUrlHistory::Clear() {
  std::lock_guard lock(mutex_);
  changed();
  if (!exec("BEGIN IMMEDIATE", {})) return false;
  if (exec("DELETE FROM visits", {}) && exec("DELETE FROM urls", {}) && exec("COMMIT", {})) {
    if (OnCleared) OnCleared();
    return true;
  }
  exec("ROLLBACK", {});
  return false;
}

String UrlHistoryFileName() { return ProfileDir() + QStringLiteral("/History/history.db"); }

TUrlHistory& UrlHistoryStore() {
  static TUrlHistory store(UrlHistoryFileName());
  return store;
}
