#include "platform/wininet/UrlCache.h"

#include "platform/rtl/Folders.h"
#include "platform/wininet/Log_p.h"
#include "platform/wininet/WinInet.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

constexpr DWORD kMaxPath = 260;
// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr Int64 kEpochDifference = 116444736000000000LL;
const char* const kIndexName = "index.db";

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS entries("
    " url TEXT PRIMARY KEY NOT NULL,"
    " local_file TEXT NOT NULL DEFAULT '',"
    " type INTEGER NOT NULL DEFAULT 1,"
    " use_count INTEGER NOT NULL DEFAULT 0,"
    " hit_rate INTEGER NOT NULL DEFAULT 0,"
    " size INTEGER NOT NULL DEFAULT 0,"
    " last_modified INTEGER NOT NULL DEFAULT 0,"
    " expire INTEGER NOT NULL DEFAULT 0,"
    " last_access INTEGER NOT NULL DEFAULT 0,"
    " last_sync INTEGER NOT NULL DEFAULT 0,"
    " headers TEXT NOT NULL DEFAULT '',"
    " extension TEXT NOT NULL DEFAULT '',"
    " exempt_delta INTEGER NOT NULL DEFAULT 0,"
    " group_id INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS groups("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " flags INTEGER NOT NULL DEFAULT 0,"
    " type INTEGER NOT NULL DEFAULT 0,"
    " quota INTEGER NOT NULL DEFAULT 0,"
    " name TEXT NOT NULL DEFAULT '',"
    " storage BLOB);"
    // Deleting an entry asks whether another one still names its file.
    "CREATE INDEX IF NOT EXISTS entries_local_file ON entries(local_file);";

const char* const kEntryColumns =
    "url, local_file, type, use_count, hit_rate, size, last_modified, expire, last_access,"
    " last_sync, headers, extension, exempt_delta, group_id";

using Entry = UrlCacheRecord;

sqlite3_stmt* preparedLocked(const char* sql);

// One prepared statement with bound parameters. The statements of the
// frequent calls (lookups, deletes, commits, searches) come from the store's
// table of prepared statements and are only reset when this ends.
class Statement {
 public:
  struct Kept {};
  Statement(sqlite3* db, const char* sql) {
    if (db == nullptr || sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
    }
  }
  Statement(sqlite3* db, const QByteArray& sql) : Statement(db, sql.constData()) {}
  Statement(Kept, const char* sql) : stmt_(preparedLocked(sql)), kept_(true) {}
  ~Statement() {
    if (!kept_) {
      sqlite3_finalize(stmt_);
    } else if (stmt_) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, Int64 value) {
    if (stmt_) sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& bind(int index, const String& value) {
    const QByteArray utf8 = value.toUtf8();
    if (stmt_) sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bindBlob(int index, const QByteArray& value) {
    if (stmt_) sqlite3_bind_blob(stmt_, index, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // One step: true when it produced a row.
  bool row() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
  // Runs to the end: true on success.
  bool run() {
    if (!stmt_) return false;
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
  }
  Int64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  String text(int column) const {
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return chars ? String::fromUtf8(chars, sqlite3_column_bytes(stmt_, column)) : String();
  }
  QByteArray blob(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    return data ? QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(stmt_, column))
                : QByteArray();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool kept_ = false;
};

// An open search holds the records it found when it began (one query), and
// learns of the addresses deleted since, which it then skips.
struct FindState {
  bool groups = false;
  std::vector<Entry> entries;
  QSet<String> deleted;
  std::vector<GROUPID> ids;
  size_t pos = 0;
};

struct SearchSpec {
  String prefix;  // null: every address; empty: plain addresses only
  DWORD filter = 0xFFFFFFFF;
  GROUPID group = 0;
  bool contentOnly = false;  // neither cookies nor history

  bool operator==(const SearchSpec& o) const {
    return prefix == o.prefix && prefix.isNull() == o.prefix.isNull() && filter == o.filter &&
           group == o.group && contentOnly == o.contentOnly;
  }
};

// The search that last failed for want of a buffer, kept for the caller's
// retry with one (the size-then-fill calls), which then does not search
// again. The next search of any kind takes or drops it.
struct PendingFind {
  SearchSpec spec;
  FindState state;
};

struct CacheStore {
  std::optional<PendingFind> pending;
  std::mutex lock;
  sqlite3* db = nullptr;
  String folder;
  std::unordered_map<HANDLE, FindState> finds;
  std::unordered_map<std::string, sqlite3_stmt*> prepared;
  // Deletes made while a search is open (emptying the cache entry by
  // entry) share one transaction; their files go once it is committed, so
  // that a crash before then leaves the entries and their files as they were.
  bool batch = false;
  int batchCount = 0;
  std::vector<String> doomed;
  std::uintptr_t nextFind = 0x00CA0004;
};

CacheStore& store() {
  static CacheStore s;
  return s;
}

BOOL fail(DWORD error, const char* caller = __builtin_FUNCTION()) {
  qCDebug(lcWinInet) << caller << "fails with error" << error;
  SetLastError(error, caller);
  return FALSE;
}

HANDLE failHandle(DWORD error, const char* caller = __builtin_FUNCTION()) {
  qCDebug(lcWinInet) << caller << "fails with error" << error;
  SetLastError(error, caller);
  return nullptr;
}

Int64 nowFileTime() { return QDateTime::currentMSecsSinceEpoch() * 10000 + kEpochDifference; }

Int64 toInt64(const FILETIME& t) { return Int64((std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime); }

FILETIME toFileTime(Int64 v) {
  FILETIME t;
  t.dwLowDateTime = DWORD(std::uint64_t(v) & 0xFFFFFFFFu);
  t.dwHighDateTime = DWORD(std::uint64_t(v) >> 32);
  return t;
}

sqlite3_stmt* preparedLocked(const char* sql) {
  CacheStore& s = store();
  if (s.db == nullptr) return nullptr;
  auto it = s.prepared.find(sql);
  if (it != s.prepared.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(s.db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  s.prepared.emplace(sql, stmt);
  return stmt;
}

String profileCacheFolder() { return ProfileDir() + QStringLiteral("/Cache"); }

// Opens the index and checks that it can be read: false for a file that is no
// database, a damaged one or one whose tables have another shape.
bool openIndex(const String& file, sqlite3** out) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  sqlite3_busy_timeout(db, 2000);
  // A cache: each change is still atomic in the write-ahead log, but a
  // commit does not wait for the disk, so deleting thousands of entries
  // takes moments. A crash of the program loses nothing; a power cut may
  // lose the last changes, never the index.
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
  bool ok = false;
  {
    Statement check(db, "PRAGMA quick_check");
    ok = check.row() && check.text(0) == QLatin1String("ok");
  }
  ok = ok && sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
  ok = ok && Statement(db, QByteArray("SELECT ") + kEntryColumns + " FROM entries LIMIT 0").run();
  ok = ok && Statement(db, "SELECT id, flags, type, quota, name, storage FROM groups LIMIT 0").run();
  if (!ok) {
    sqlite3_close(db);
    return false;
  }
  *out = db;
  return true;
}

void flushLocked();
// The most files a committed batch of deletes removes itself.
constexpr size_t kSyncRemovals = 64;

// Opens the index when needed. Every call but a delete and the next step of
// a search commits the deletes made during a search first.
bool openLocked(bool keepBatch = false) {
  CacheStore& s = store();
  if (s.db && !keepBatch) flushLocked();
  if (s.db) return true;
  s.folder = profileCacheFolder();
  ForceDirectories(s.folder);
  const String file = s.folder + QLatin1Char('/') + QLatin1String(kIndexName);
  if (openIndex(file, &s.db)) return true;
  // An index that cannot be read is set aside and a new one begun; the
  // entries it held are lost, their files stay in the folder.
  const String aside = file + QStringLiteral(".bad");
  QFile::remove(aside);
  QFile::rename(file, aside);
  for (const char* extra : {"-journal", "-wal", "-shm"}) QFile::remove(file + QLatin1String(extra));
  return openIndex(file, &s.db);
}

void closeLocked() {
  CacheStore& s = store();
  flushLocked();
  s.finds.clear();
  s.pending.reset();
  for (auto& kept : s.prepared) sqlite3_finalize(kept.second);
  s.prepared.clear();
  if (s.db) sqlite3_close(s.db);
  s.db = nullptr;
}

// The writer thread of CacheStorePageLater: a queue of stores worked off in
// order. It is started on first use and stopped by FinalizeUrlCache, after
// the queue ran empty; it is never left to a static destructor.
struct Writer {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::function<void()>> queue;
  int running = 0;  // stores taken from the queue and not done yet
  bool stopping = false;
  std::thread thread;
};
Writer* writer = nullptr;
std::mutex writerLock;  // guards `writer` itself

void writerLoop(Writer* w) {
  std::unique_lock<std::mutex> lock(w->lock);
  for (;;) {
    w->changed.wait(lock, [w] { return w->stopping || !w->queue.empty(); });
    if (w->queue.empty()) return;  // stopping, and nothing left
    std::function<void()> job = std::move(w->queue.front());
    w->queue.pop_front();
    ++w->running;
    lock.unlock();
    job();
    lock.lock();
    --w->running;
    w->changed.notify_all();
  }
}

void enqueueStore(std::function<void()> job) {
  std::lock_guard<std::mutex> guard(writerLock);
  if (!writer) {
    writer = new Writer;
    writer->thread = std::thread(writerLoop, writer);
  }
  std::lock_guard<std::mutex> lock(writer->lock);
  writer->queue.push_back(std::move(job));
  writer->changed.notify_all();
}

void stopWriter() {
  std::lock_guard<std::mutex> guard(writerLock);
  if (!writer) return;
  {
    std::lock_guard<std::mutex> lock(writer->lock);
    writer->stopping = true;
    writer->changed.notify_all();
  }
  writer->thread.join();
  delete writer;
  writer = nullptr;
}

Entry readEntry(const Statement& q) {
  Entry e;
  e.url = q.text(0);
  e.localFile = q.text(1);
  e.type = DWORD(q.integer(2));
  e.useCount = DWORD(q.integer(3));
  e.hitRate = DWORD(q.integer(4));
  e.size = q.integer(5);
  e.lastModified = q.integer(6);
  e.expire = q.integer(7);
  e.lastAccess = q.integer(8);
  e.lastSync = q.integer(9);
  e.headers = q.text(10);
  e.extension = q.text(11);
  e.exemptDelta = DWORD(q.integer(12));
  e.group = q.integer(13);
  return e;
}

bool loadEntry(const String& url, Entry& e) {
  static const std::string sql = std::string("SELECT ") + kEntryColumns + " FROM entries WHERE url = ?1";
  Statement q(Statement::Kept{}, sql.c_str());
  q.bind(1, url);
  if (!q.row()) return false;
  e = readEntry(q);
  return true;
}

bool groupExists(GROUPID id) {
  Statement q(store().db, "SELECT 1 FROM groups WHERE id = ?1");
  q.bind(1, id);
  return q.row();
}

bool isIndexFile(const String& name) { return name.startsWith(QLatin1String(kIndexName)); }

// Deletes a cache file that no entry names any more.
void removeFileIfUnused(const String& name) {
  if (name.isEmpty() || isIndexFile(name)) return;
  Statement q(Statement::Kept{}, "SELECT 1 FROM entries WHERE local_file = ?1 LIMIT 1");
  q.bind(1, name);
  if (!q.row()) QFile::remove(store().folder + QLatin1Char('/') + name);
}

// Open searches skip an address deleted after they began.
void noteDeletedLocked(const String& url) {
  for (auto& find : store().finds)
    if (!find.second.groups) find.second.deleted.insert(url);
  if (store().pending) store().pending->state.deleted.insert(url);
}

void flushLocked() {
  CacheStore& s = store();
  if (s.batch) {
    if (sqlite3_exec(s.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
      sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
    s.batch = false;
    s.batchCount = 0;
  }
  // A rolled-back delete left its entry, which still names the file.
  std::vector<String> doomed = std::move(s.doomed);
  s.doomed.clear();
  if (doomed.size() <= kSyncRemovals) {
    for (const String& name : doomed) removeFileIfUnused(name);
    return;
  }
  // Removing thousands of files that are on the disk takes the file system
  // seconds: the writer thread does it, one file at a time under the lock,
  // asking again whether an entry names it.
  enqueueStore([doomed = std::move(doomed)] {
    for (const String& name : doomed) {
      std::lock_guard<std::mutex> guard(store().lock);
      if (store().db) removeFileIfUnused(name);
    }
  });
}

constexpr int kBatchSize = 500;

bool deleteEntryLocked(const String& url) {
  CacheStore& s = store();
  Entry e;
  if (!loadEntry(url, e)) return false;
  const bool batched = !s.finds.empty();
  if (batched && !s.batch) s.batch = sqlite3_exec(s.db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!Statement(Statement::Kept{}, "DELETE FROM entries WHERE url = ?1").bind(1, url).run()) return false;
  if (s.batch)
    s.doomed.push_back(e.localFile);
  else
    removeFileIfUnused(e.localFile);
  noteDeletedLocked(url);
  if (s.batch && ++s.batchCount >= kBatchSize) flushLocked();
  return true;
}

// ---------------------------------------------------------------- entry records

// A string as a record holds it: the wide form reads the string's own
// characters, the narrow one converts to UTF-8.
template <class Ch>
struct Encoded;
template <>
struct Encoded<char16_t> {
  explicit Encoded(const String& s) : text(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size())) {}
  std::u16string_view text;
};
template <>
struct Encoded<char> {
  explicit Encoded(const String& s) : storage(s.toStdString()), text(storage) {}
  Encoded(const Encoded&) = delete;  // the view points into the object
  std::string storage;
  std::string_view text;
};

template <class Info, class Ch>
BOOL fillEntryInfo(const Entry& e, Info* info, DWORD* size) {
  const String localPath = e.localFile.isEmpty() ? String() : store().folder + QLatin1Char('/') + e.localFile;
  const Encoded<Ch> parts[4] = {Encoded<Ch>(e.url), Encoded<Ch>(localPath), Encoded<Ch>(e.headers),
                                Encoded<Ch>(e.extension)};
  std::uint64_t needed = sizeof(Info);
  for (const auto& part : parts) needed += (part.text.size() + 1) * sizeof(Ch);
  if (needed > 0xFFFFFFFFu) return fail(ERROR_NOT_ENOUGH_MEMORY);
  if (info == nullptr || *size < needed) {
    *size = DWORD(needed);
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memset(static_cast<void*>(info), 0, sizeof(Info));
  Ch* out = reinterpret_cast<Ch*>(reinterpret_cast<char*>(info) + sizeof(Info));
  Ch* pointers[4];
  for (int i = 0; i < 4; ++i) {
    pointers[i] = out;
    std::memcpy(out, parts[i].text.data(), parts[i].text.size() * sizeof(Ch));
    out[parts[i].text.size()] = 0;
    out += parts[i].text.size() + 1;
  }
  info->dwStructSize = sizeof(Info);
  info->lpszSourceUrlName = pointers[0];
  info->lpszLocalFileName = pointers[1];
  info->CacheEntryType = e.type;
  info->dwUseCount = e.useCount;
  info->dwHitRate = e.hitRate;
  info->dwSizeLow = DWORD(std::uint64_t(e.size) & 0xFFFFFFFFu);
  info->dwSizeHigh = DWORD(std::uint64_t(e.size) >> 32);
  info->LastModifiedTime = toFileTime(e.lastModified);
  info->ExpireTime = toFileTime(e.expire);
  info->LastAccessTime = toFileTime(e.lastAccess);
  info->LastSyncTime = toFileTime(e.lastSync);
  info->lpHeaderInfo = pointers[2];
  info->dwHeaderInfoSize = DWORD(parts[2].text.size());
  info->lpszFileExtension = pointers[3];
  info->dwExemptDelta = e.exemptDelta;
  *size = DWORD(needed);
  return TRUE;
}

// ---------------------------------------------------------------- searches

bool typeMatches(DWORD type, DWORD filter) {
  return (type & filter) != 0 || (type == 0 && (filter & NORMAL_CACHE_ENTRY) != 0);
}

bool prefixMatches(const String& url, const String& prefix) {
  return prefix.isEmpty() || url.startsWith(prefix, Qt::CaseInsensitive);
}

// The records of the index a search finds, in the order they were made: one
// query, so that listing many entries does not cost a query each.
std::vector<Entry> matchingEntries(const SearchSpec& spec) {
  static const std::string sql = std::string("SELECT ") + kEntryColumns +
                                 " FROM entries WHERE ((type & ?1) != 0 OR (type = 0 AND (?1 & 1) != 0))"
                                 " AND (?2 = 0 OR group_id = ?2) AND (?3 = 0 OR (type & ?4) = 0)"
                                 " ORDER BY rowid";
  std::vector<Entry> found;
  Statement q(Statement::Kept{}, sql.c_str());
  q.bind(1, Int64(spec.filter))
      .bind(2, spec.group)
      .bind(3, spec.contentOnly ? 1 : 0)
      .bind(4, Int64(COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY));
  while (q.row()) {
    Entry e = readEntry(q);
    if (prefixMatches(e.url, spec.prefix)) found.push_back(std::move(e));
  }
  return found;
}

// ---------------------------------------------------------------- other stores

struct Source {
  String prefix;
  std::shared_ptr<IUrlCacheSource> source;
};

std::mutex sourcesLock;

std::vector<Source>& sources() {
  static std::vector<Source> list;
  return list;
}

std::vector<Source> sourcesSnapshot() {
  std::lock_guard<std::mutex> guard(sourcesLock);
  return sources();
}

// The store that keeps `url`, or null for the cache's own addresses.
std::shared_ptr<IUrlCacheSource> sourceOf(const String& url) {
  for (const Source& s : sourcesSnapshot())
    if (url.startsWith(s.prefix, Qt::CaseInsensitive)) return s.source;
  return nullptr;
}

// What the other stores add to a search. They are asked outside the cache's
// lock: a store may take locks of its own.
std::vector<Entry> sourceEntries(const SearchSpec& spec) {
  std::vector<Entry> found;
  if (spec.contentOnly || spec.group != 0) return found;
  for (const Source& s : sourcesSnapshot()) {
    // A pattern reaches a store when one of the two prefixes begins the other.
    if (!prefixMatches(s.prefix, spec.prefix) && !prefixMatches(spec.prefix, s.prefix)) continue;
    for (Entry& e : s.source->Records())
      if (prefixMatches(e.url, spec.prefix) && typeMatches(e.type, spec.filter))
        found.push_back(std::move(e));
  }
  return found;
}

// The entry at the search's position, past entries deleted meanwhile.
const Entry* currentEntry(FindState& state) {
  while (state.pos < state.entries.size()) {
    const Entry& e = state.entries[state.pos];
    if (!state.deleted.contains(e.url)) return &e;
    ++state.pos;
  }
  return nullptr;
}

HANDLE registerFind(FindState state) {
  CacheStore& s = store();
  HANDLE h = reinterpret_cast<HANDLE>(s.nextFind);
  s.nextFind += 4;
  s.finds.emplace(h, std::move(state));
  return h;
}

template <class Info, class Ch>
HANDLE findFirst(const SearchSpec& spec, Info* info, DWORD* size) {
  if (size == nullptr) return failHandle(ERROR_INVALID_PARAMETER);
  CacheStore& s = store();
  FindState state;
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.pending && s.pending->spec == spec) {
      state = std::move(s.pending->state);
      found = true;
    }
    s.pending.reset();
  }
  std::vector<Entry> others;
  if (!found) others = sourceEntries(spec);
  std::lock_guard<std::mutex> guard(s.lock);
  if (!openLocked()) return failHandle(ERROR_INTERNET_INTERNAL_ERROR);
  if (!found) {
    state.entries = matchingEntries(spec);
    state.entries.insert(state.entries.end(), std::make_move_iterator(others.begin()),
                         std::make_move_iterator(others.end()));
  }
  const Entry* e = currentEntry(state);
  if (!e) return failHandle(ERROR_NO_MORE_ITEMS);
  if (!fillEntryInfo<Info, Ch>(*e, info, size)) {
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) s.pending = PendingFind{spec, std::move(state)};
    return nullptr;
  }
  ++state.pos;
  SetLastError(ERROR_SUCCESS);
  return registerFind(std::move(state));
}

template <class Info, class Ch>
BOOL findNext(HANDLE find, Info* info, DWORD* size) {
  if (size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(store().lock);
  auto it = store().finds.find(find);
  if (it == store().finds.end() || it->second.groups) return fail(ERROR_INVALID_HANDLE);
  const Entry* e = currentEntry(it->second);
  if (!e) return fail(ERROR_NO_MORE_ITEMS);
  if (!fillEntryInfo<Info, Ch>(*e, info, size)) return FALSE;
  ++it->second.pos;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// ---------------------------------------------------------------- file names

String lastSegmentOf(const String& url) {
  String path = QUrl(url, QUrl::TolerantMode).path(QUrl::FullyDecoded);
  if (path.isEmpty()) path = url;
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Letters, digits, "_" and "-" only, at most 16 of them.
String cleanExtension(const String& ext) {
  String clean;
  for (QChar c : ext) {
    if (c == QLatin1Char('.') && clean.isEmpty()) continue;
    if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-')) clean += c;
  }
  return clean.left(16);
}

String urlExtension(const String& url) {
  const String segment = lastSegmentOf(url);
  const qsizetype dot = segment.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? String() : cleanExtension(segment.mid(dot + 1));
}

String baseNameOf(const String& url) {
  String segment = lastSegmentOf(url);
  const qsizetype dot = segment.lastIndexOf(QLatin1Char('.'));
  if (dot >= 0) segment.truncate(dot);
  segment.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
  segment = segment.trimmed().left(32);
  return segment.isEmpty() ? QStringLiteral("index") : SafeFileName(segment);
}

String textOf(LPCWSTR chars, DWORD length) {
  if (chars == nullptr) return String();
  qsizetype n = 0;
  while ((length == 0 || DWORD(n) < length) && chars[n] != 0) ++n;
  return String::fromUtf16(chars, n);
}

void putGroupName(const String& name, char (&out)[GROUPNAME_MAX_LENGTH]) {
  QByteArray utf8 = name.toUtf8();
  if (utf8.size() >= qsizetype(GROUPNAME_MAX_LENGTH)) {
    qsizetype cut = GROUPNAME_MAX_LENGTH - 1;
    while (cut > 0 && (utf8[cut] & 0xC0) == 0x80) --cut;  // not inside a character
    utf8.truncate(cut);
  }
  std::memset(out, 0, GROUPNAME_MAX_LENGTH);
  std::memcpy(out, utf8.constData(), size_t(utf8.size()));
}

}  // namespace

// ---------------------------------------------------------------- public

void RegisterUrlCacheSource(const String& prefix, std::shared_ptr<IUrlCacheSource> source) {
  std::lock_guard<std::mutex> guard(sourcesLock);
  std::vector<Source>& list = sources();
  std::erase_if(list, [&](const Source& s) { return s.prefix.compare(prefix, Qt::CaseInsensitive) == 0; });
  if (source) list.push_back({prefix, std::move(source)});
}

String UrlCacheUserName() {
  static const String name = [] {
    String user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("LOGNAME");
    return user.isEmpty() ? QStringLiteral("user") : user;
  }();
  return name;
}

Int64 FileTimeValue(const QDateTime& time) {
  return time.isValid() ? time.toMSecsSinceEpoch() * 10000 + kEpochDifference : 0;
}

FILETIME FileTimeFromMSecsSinceEpoch(Int64 msecs) { return toFileTime(msecs * 10000 + kEpochDifference); }

Int64 MSecsSinceEpochFromFileTime(const FILETIME& time) { return (toInt64(time) - kEpochDifference) / 10000; }

String UrlCacheFolder() {
  std::lock_guard<std::mutex> guard(store().lock);
  return store().db ? store().folder : profileCacheFolder();
}

void InitializeUrlCache() {
  std::lock_guard<std::mutex> guard(store().lock);
  openLocked();
}

void FinalizeUrlCache() {
  {
    // Deletes still waiting for their commit hand their files to the writer,
    // which finishes before the index closes.
    std::lock_guard<std::mutex> guard(store().lock);
    if (store().db) flushLocked();
  }
  stopWriter();
  std::lock_guard<std::mutex> guard(store().lock);
  closeLocked();
}

BOOL CreateUrlCacheEntryW(LPCWSTR url, DWORD expectedFileSize, LPCWSTR extension, LPWSTR fileName,
                          DWORD reserved) {
  if (url == nullptr || *url == 0 || fileName == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const String address = String::fromUtf16(url);
  const String ext = extension ? cleanExtension(String::fromUtf16(extension)) : urlExtension(address);
  const String base = baseNameOf(address);
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  for (int n = 1; n < 100000; ++n) {
    String name = base + QLatin1Char('[') + String::number(n) + QLatin1Char(']');
    if (!ext.isEmpty()) name += QLatin1Char('.') + ext;
    const String path = store().folder + QLatin1Char('/') + name;
    if (DWORD(path.size()) + 1 > kMaxPath) return fail(ERROR_INSUFFICIENT_BUFFER);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      file.close();
      std::memcpy(fileName, path.utf16(), path.size() * sizeof(char16_t));
      fileName[path.size()] = 0;
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
    if (!file.exists()) break;  // the folder refuses new files
  }
  return fail(ERROR_INTERNET_INTERNAL_ERROR);
}

BOOL CommitUrlCacheEntryW(LPCWSTR url, LPCWSTR localFileName, FILETIME expireTime, FILETIME lastModifiedTime,
                          DWORD cacheEntryType, LPWSTR headerInfo, DWORD headerSize, LPCWSTR fileExtension,
                          LPCWSTR originalUrl) {
  if (url == nullptr || *url == 0) return fail(ERROR_INVALID_PARAMETER);
  const String address = String::fromUtf16(url);
  const String local = textOf(localFileName, 0);
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);

  String localName;
  Int64 size = 0;
  if (!local.isEmpty()) {
    const QFileInfo file(NormalizePath(local));
    if (!file.isFile()) return fail(ERROR_FILE_NOT_FOUND);
    // Only files of the cache folder: deleting the entry deletes its file.
    if (QFileInfo(file.absolutePath()).canonicalFilePath() != QFileInfo(store().folder).canonicalFilePath() ||
        isIndexFile(file.fileName()))
      return fail(ERROR_INVALID_PARAMETER);
    localName = file.fileName();
    size = file.size();
  }

  Entry old;
  const bool replacing = loadEntry(address, old);
  const Int64 now = nowFileTime();
  Statement upsert(Statement::Kept{},
                   "INSERT INTO entries (url, local_file, type, size, last_modified, expire,"
                   " last_access, last_sync, headers, extension)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?7, ?8, ?9)"
                   " ON CONFLICT(url) DO UPDATE SET local_file = ?2, type = ?3, size = ?4,"
                   " last_modified = ?5, expire = ?6, last_access = ?7, last_sync = ?7,"
                   " headers = ?8, extension = ?9");
  upsert.bind(1, address)
      .bind(2, localName)
      .bind(3, Int64(cacheEntryType))
      .bind(4, size)
      .bind(5, toInt64(lastModifiedTime))
      .bind(6, toInt64(expireTime))
      .bind(7, now)
      .bind(8, textOf(headerInfo, headerSize))
      .bind(9, cleanExtension(textOf(fileExtension, 0)));
  if (!upsert.run()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  if (replacing && old.localFile != localName) removeFileIfUnused(old.localFile);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL GetUrlCacheEntryInfoW(LPCWSTR url, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
  if (url == nullptr || size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const String address = String::fromUtf16(url);
  Entry e;
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(store().lock);
    if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
    found = loadEntry(address, e);
  }
  if (!found) {
    const std::shared_ptr<IUrlCacheSource> source = sourceOf(address);
    if (!source || !source->Find(address, e)) return fail(ERROR_FILE_NOT_FOUND);
  }
  std::lock_guard<std::mutex> guard(store().lock);
  if (!fillEntryInfo<INTERNET_CACHE_ENTRY_INFOW, char16_t>(e, info, size)) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL GetUrlCacheEntryInfoExW(LPCWSTR url, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size, LPWSTR redirectUrl,
                             DWORD* redirectUrlLength, LPVOID reserved, DWORD flags) {
  return GetUrlCacheEntryInfoW(url, info, size);
}

BOOL DeleteUrlCacheEntryW(LPCWSTR url) {
  if (url == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const String address = String::fromUtf16(url);
  {
    std::lock_guard<std::mutex> guard(store().lock);
    if (!openLocked(true)) return fail(ERROR_INTERNET_INTERNAL_ERROR);
    if (deleteEntryLocked(address)) {
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
  }
  // A cookie or a visit: deleting the entry deletes it from its own store.
  const std::shared_ptr<IUrlCacheSource> source = sourceOf(address);
  if (!source || !source->Remove(address)) return fail(ERROR_FILE_NOT_FOUND);
  std::lock_guard<std::mutex> guard(store().lock);
  noteDeletedLocked(address);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

HANDLE FindFirstUrlCacheEntryW(LPCWSTR searchPattern, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
  SearchSpec spec;
  spec.prefix = textOf(searchPattern, 0);
  spec.contentOnly = spec.prefix.isEmpty();
  return findFirst<INTERNET_CACHE_ENTRY_INFOW, char16_t>(spec, info, size);
}

BOOL FindNextUrlCacheEntryW(HANDLE find, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
  return findNext<INTERNET_CACHE_ENTRY_INFOW, char16_t>(find, info, size);
}

HANDLE FindFirstUrlCacheEntryExW(LPCWSTR searchPattern, DWORD flags, DWORD filter, GROUPID groupId,
                                 INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size, LPVOID groupAttributes,
                                 DWORD* groupAttributesSize, LPVOID reserved) {
  SearchSpec spec;
  spec.prefix = textOf(searchPattern, 0);
  spec.contentOnly = searchPattern != nullptr && spec.prefix.isEmpty();
  spec.filter = filter;
  spec.group = groupId;
  return findFirst<INTERNET_CACHE_ENTRY_INFOW, char16_t>(spec, info, size);
}

BOOL FindNextUrlCacheEntryExW(HANDLE find, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size,
                              LPVOID groupAttributes, DWORD* groupAttributesSize, LPVOID reserved) {
  return findNext<INTERNET_CACHE_ENTRY_INFOW, char16_t>(find, info, size);
}

HANDLE FindFirstUrlCacheEntryExA(LPCSTR searchPattern, DWORD flags, DWORD filter, GROUPID groupId,
                                 INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size, LPVOID groupAttributes,
                                 DWORD* groupAttributesSize, LPVOID reserved) {
  SearchSpec spec;
  spec.prefix = searchPattern ? String::fromUtf8(searchPattern) : String();
  spec.contentOnly = searchPattern != nullptr && spec.prefix.isEmpty();
  spec.filter = filter;
  spec.group = groupId;
  return findFirst<INTERNET_CACHE_ENTRY_INFOA, char>(spec, info, size);
}

BOOL FindNextUrlCacheEntryExA(HANDLE find, INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size,
                              LPVOID groupAttributes, DWORD* groupAttributesSize, LPVOID reserved) {
  return findNext<INTERNET_CACHE_ENTRY_INFOA, char>(find, info, size);
}

BOOL FindCloseUrlCache(HANDLE find) {
  std::lock_guard<std::mutex> guard(store().lock);
  if (store().finds.erase(find) == 0) return fail(ERROR_INVALID_HANDLE);
  if (store().db) flushLocked();
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// ---------------------------------------------------------------- groups

GROUPID CreateUrlCacheGroup(DWORD flags, LPVOID reserved) {
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) {
    SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    return 0;
  }
  if (!Statement(store().db, "INSERT INTO groups (flags) VALUES (?1)").bind(1, Int64(flags)).run()) {
    SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    return 0;
  }
  const GROUPID id = sqlite3_last_insert_rowid(store().db);
  // The counter of the table keeps the number used, so it is never answered again.
  if (flags & CACHEGROUP_FLAG_GIDONLY)
    Statement(store().db, "DELETE FROM groups WHERE id = ?1").bind(1, id).run();
  SetLastError(ERROR_SUCCESS);
  return id;
}

BOOL DeleteUrlCacheGroup(GROUPID groupId, DWORD flags, LPVOID reserved) {
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  if (groupId == 0 || !groupExists(groupId)) return fail(ERROR_FILE_NOT_FOUND);
  if (flags & CACHEGROUP_FLAG_FLUSHURL_ONDELETE) {
    SearchSpec spec;
    spec.group = groupId;
    for (const Entry& e : matchingEntries(spec)) deleteEntryLocked(e.url);
  } else {
    Statement(store().db, "UPDATE entries SET group_id = 0 WHERE group_id = ?1").bind(1, groupId).run();
  }
  if (!Statement(store().db, "DELETE FROM groups WHERE id = ?1").bind(1, groupId).run())
    return fail(ERROR_INTERNET_INTERNAL_ERROR);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SetUrlCacheEntryGroupW(LPCWSTR url, DWORD flags, GROUPID groupId, BYTE* groupAttributes,
                            DWORD groupAttributesSize, LPVOID reserved) {
  if (url == nullptr || groupId == 0 ||
      (flags != INTERNET_CACHE_GROUP_ADD && flags != INTERNET_CACHE_GROUP_REMOVE))
    return fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  Entry e;
  if (!loadEntry(String::fromUtf16(url), e) || !groupExists(groupId)) return fail(ERROR_FILE_NOT_FOUND);
  if (flags == INTERNET_CACHE_GROUP_REMOVE && e.group != groupId) return fail(ERROR_FILE_NOT_FOUND);
  const GROUPID target = flags == INTERNET_CACHE_GROUP_ADD ? groupId : 0;
  if (!Statement(store().db, "UPDATE entries SET group_id = ?1 WHERE url = ?2")
           .bind(1, target)
           .bind(2, e.url)
           .run())
    return fail(ERROR_INTERNET_INTERNAL_ERROR);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

HANDLE FindFirstUrlCacheGroup(DWORD flags, DWORD filter, LPVOID searchCondition, DWORD searchConditionSize,
                              GROUPID* groupId, LPVOID reserved) {
  if (groupId == nullptr) return failHandle(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return failHandle(ERROR_INTERNET_INTERNAL_ERROR);
  FindState state;
  state.groups = true;
  Statement q(store().db, "SELECT id FROM groups ORDER BY id");
  while (q.row()) state.ids.push_back(q.integer(0));
  if (state.ids.empty()) return failHandle(ERROR_NO_MORE_ITEMS);
  *groupId = state.ids[0];
  state.pos = 1;
  SetLastError(ERROR_SUCCESS);
  return registerFind(std::move(state));
}

BOOL FindNextUrlCacheGroup(HANDLE find, GROUPID* groupId, LPVOID reserved) {
  if (groupId == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(store().lock);
  auto it = store().finds.find(find);
  if (it == store().finds.end() || !it->second.groups) return fail(ERROR_INVALID_HANDLE);
  FindState& state = it->second;
  while (state.pos < state.ids.size()) {
    const GROUPID id = state.ids[state.pos++];
    if (groupExists(id)) {
      *groupId = id;
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
  }
  return fail(ERROR_NO_MORE_ITEMS);
}

BOOL GetUrlCacheGroupAttributeA(GROUPID groupId, DWORD flags, DWORD attributes,
                                INTERNET_CACHE_GROUP_INFOA* info, DWORD* size, LPVOID reserved) {
  if (size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  Statement q(store().db, "SELECT flags, type, quota, name, storage FROM groups WHERE id = ?1");
  q.bind(1, groupId);
  if (!q.row()) return fail(ERROR_FILE_NOT_FOUND);
  if (info == nullptr || *size < sizeof(INTERNET_CACHE_GROUP_INFOA)) {
    *size = sizeof(INTERNET_CACHE_GROUP_INFOA);
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memset(static_cast<void*>(info), 0, sizeof *info);
  info->dwGroupSize = sizeof *info;
  info->dwGroupFlags = DWORD(q.integer(0));
  info->dwGroupType = DWORD(q.integer(1));
  info->dwDiskQuota = DWORD(q.integer(2));
  putGroupName(q.text(3), info->szGroupName);
  const QByteArray storage = q.blob(4);
  std::memcpy(info->dwOwnerStorage, storage.constData(),
              std::min<size_t>(size_t(storage.size()), sizeof info->dwOwnerStorage));
  Statement usage(store().db, "SELECT COALESCE(SUM(size), 0) FROM entries WHERE group_id = ?1");
  usage.bind(1, groupId);
  if (usage.row()) info->dwDiskUsage = DWORD((usage.integer(0) + 1023) / 1024);
  *size = sizeof *info;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SetUrlCacheGroupAttributeA(GROUPID groupId, DWORD flags, DWORD attributes,
                                INTERNET_CACHE_GROUP_INFOA* info, LPVOID reserved) {
  if (info == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> guard(store().lock);
  if (!openLocked()) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  if (!groupExists(groupId)) return fail(ERROR_FILE_NOT_FOUND);
  sqlite3* db = store().db;
  bool ok = true;
  if (attributes & CACHEGROUP_ATTRIBUTE_FLAG)
    ok &= Statement(db, "UPDATE groups SET flags = ?1 WHERE id = ?2")
              .bind(1, Int64(info->dwGroupFlags))
              .bind(2, groupId)
              .run();
  if (attributes & CACHEGROUP_ATTRIBUTE_TYPE)
    ok &= Statement(db, "UPDATE groups SET type = ?1 WHERE id = ?2")
              .bind(1, Int64(info->dwGroupType))
              .bind(2, groupId)
              .run();
  if (attributes & CACHEGROUP_ATTRIBUTE_QUOTA)
    ok &= Statement(db, "UPDATE groups SET quota = ?1 WHERE id = ?2")
              .bind(1, Int64(info->dwDiskQuota))
              .bind(2, groupId)
              .run();
  if (attributes & CACHEGROUP_ATTRIBUTE_GROUPNAME) {
    const String name =
        String::fromUtf8(info->szGroupName, qsizetype(strnlen(info->szGroupName, GROUPNAME_MAX_LENGTH)));
    ok &= Statement(db, "UPDATE groups SET name = ?1 WHERE id = ?2").bind(1, name).bind(2, groupId).run();
  }
  if (attributes & CACHEGROUP_ATTRIBUTE_STORAGE) {
    const QByteArray storage(reinterpret_cast<const char*>(info->dwOwnerStorage),
                             sizeof info->dwOwnerStorage);
    ok &= Statement(db, "UPDATE groups SET storage = ?1 WHERE id = ?2")
              .bindBlob(1, storage)
              .bind(2, groupId)
              .run();
  }
  if (!ok) return fail(ERROR_INTERNET_INTERNAL_ERROR);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// ---------------------------------------------------------------- pages

bool CacheStorePage(const String& url, const QByteArray& bytes, const String& headers,
                    const String& extension) {
  const std::u16string address = url.toStdU16String();
  const std::u16string ext =
      (extension.isEmpty() ? urlExtension(url) : cleanExtension(extension)).toStdU16String();
  char16_t path[kMaxPath] = {};
  if (!CreateUrlCacheEntryW(address.c_str(), DWORD(bytes.size()), ext.c_str(), path, 0)) return false;
  QFile file(String::fromUtf16(path));
  const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                       file.write(bytes) == bytes.size() && file.flush();
  file.close();
  std::u16string head = headers.toStdU16String();
  const FILETIME never = toFileTime(0);
  if (!written ||
      !CommitUrlCacheEntryW(address.c_str(), path, never, toFileTime(nowFileTime()), NORMAL_CACHE_ENTRY,
                            head.data(), DWORD(head.size()), ext.c_str(), nullptr)) {
    file.remove();
    return false;
  }
  // Each load of the page counts as one use of its entry (a new entry keeps
  // its counts from 0).
  std::lock_guard<std::mutex> guard(store().lock);
  Statement(Statement::Kept{},
            "UPDATE entries SET use_count = use_count + 1, hit_rate = hit_rate + 1, last_access = ?2"
            " WHERE url = ?1")
      .bind(1, url)
      .bind(2, nowFileTime())
      .run();
  return true;
}

void CacheStorePageLater(const String& url, const String& text, const String& headers,
                         const String& extension) {
  // The text is converted on the writer, too: a large page takes a while.
  enqueueStore([url, text, headers, extension] { CacheStorePage(url, text.toUtf8(), headers, extension); });
}

bool CacheWaitForStores(int timeoutMs) {
  std::lock_guard<std::mutex> guard(writerLock);
  if (!writer) return true;
  std::unique_lock<std::mutex> lock(writer->lock);
  const auto idle = [] { return writer->queue.empty() && writer->running == 0; };
  if (timeoutMs < 0) {
    writer->changed.wait(lock, idle);
    return true;
  }
  return writer->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}
