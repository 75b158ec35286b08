// The cache browser component against the real URL cache of the temporary
// profile: its masks, its searches over entries the browser recorded from
// loopback pages (a page, its visit and a cookie the server set), queries,
// deletes, the file copy, and a missing cache API.
#include "EmbeddedWB/Source/IECache.h"
#include "platform/shdocvw/WebBrowser.h"
#include "platform/shell/UrlHistory.h"
#include "platform/winapi/FileApi.h"
#include "platform/wininet/UrlCache.h"
#include "platform/wininet/WinInet.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <sys/resource.h>
#include <csignal>

using namespace ewbtest;
using IECache::TIECache;

namespace {

// An empty cache for each test.
void EmptyCache() {
  InitializeWinInet();
  UrlHistoryStore().Clear();
  FinalizeUrlCache();
  QDir(UrlCacheFolder()).removeRecursively();
  InitializeUrlCache();
}

QStringList CacheFolderFiles() {
  return QDir(UrlCacheFolder())
      .entryList(QDir::Files)
      .filter(QRegularExpression(QStringLiteral("^(?!index\\.db)")));
}

// The addresses one enumeration lists, and its answer.
QStringList Listed(TIECache& cache, bool* closed = nullptr) {
  QStringList urls;
  cache.OnEntry = [&](TObject*, bool&) { urls << cache.EntryInfo.SourceUrl; };
  const bool result = cache.EnumerateEntries(0);
  if (closed) *closed = result;
  cache.OnEntry = nullptr;
  return urls;
}

class IECacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EmptyCache();
    folder = testsupport::profileDir() + QStringLiteral("/iecache");
    QDir(folder).removeRecursively();
  }
  void TearDown() override { InitializeWinInet(); }

  // A local file with `bytes`, added to the cache under `url`.
  DWORD add(const QString& url, const QByteArray& bytes, const QString& name = QStringLiteral("page.htm"),
            quint32 type = NORMAL_CACHE_ENTRY) {
    const QString file = folder + QLatin1Char('/') + name;
    testsupport::writeFile(file, bytes);
    return cache.AddFileToCache(url, file, type, EncodeDate(2031, 5, 6) + EncodeTime(7, 8, 9, 0));
  }

  QString folder;
  TIECache cache{nullptr};
};

}  // namespace

TEST(IECacheMask, FollowsTheFilterOptions) {
  InitializeWinInet();
  TIECache cache(nullptr);
  EXPECT_EQ(cache.Mask(), 0x300035u);
  EXPECT_EQ(cache.SearchPattern(), IECache::spAll);
  EXPECT_TRUE(cache.LibraryFound());
  cache.SetFilterOptions({});
  EXPECT_EQ(cache.Mask(), 0u);
  const std::pair<IECache::TFilterOption, quint32> bits[] = {
      {IECache::NORMAL_ENTRY, 0x1},          {IECache::STABLE_ENTRY, 0x2},
      {IECache::STICKY_ENTRY, 0x4},          {IECache::COOKIE_ENTRY, 0x100000},
      {IECache::URLHISTORY_ENTRY, 0x200000}, {IECache::TRACK_OFFLINE_ENTRY, 0x10},
      {IECache::TRACK_ONLINE_ENTRY, 0x20},   {IECache::SPARSE_ENTRY, 0x10000},
      {IECache::OCX_ENTRY, 0x20000}};
  quint32 all = 0;
  IECache::TFilterOptions every;
  for (auto [option, bit] : bits) {
    cache.SetFilterOptions({option});
    EXPECT_EQ(cache.Mask(), bit) << option;
    all |= bit;
    every.Include(option);
  }
  cache.SetFilterOptions(every);
  EXPECT_EQ(cache.Mask(), all);
}

TEST_F(IECacheTest, EnumerationRaisesOneEventPerEntryUntilCancelled) {
  bool closed = true;
  EXPECT_TRUE(Listed(cache, &closed).isEmpty());
  EXPECT_FALSE(closed);  // nothing found, no search to close

  for (const char* path : {"/a.htm", "/b.htm", "/c.htm"})
    ASSERT_EQ(add(QStringLiteral("http://host") + QLatin1String(path), "x"), 0u);
  EXPECT_EQ(Listed(cache, &closed),
            QStringList({QStringLiteral("http://host/a.htm"), QStringLiteral("http://host/b.htm"),
                         QStringLiteral("http://host/c.htm")}));
  EXPECT_TRUE(closed);

  int events = 0;
  cache.OnEntry = [&](TObject* sender, bool& cancel) {
    EXPECT_EQ(sender, &cache);
    ++events;
    cancel = true;
  };
  EXPECT_TRUE(cache.EnumerateEntries(0));
  EXPECT_EQ(events, 1);

  // Only the types of the mask.
  ASSERT_EQ(add(QStringLiteral("http://host/x.ocx"), "o", QStringLiteral("x.ocx"), OCX_CACHE_ENTRY), 0u);
  EXPECT_EQ(Listed(cache).size(), 3);
  cache.SetFilterOptions({IECache::OCX_ENTRY});
  EXPECT_EQ(Listed(cache), QStringList{QStringLiteral("http://host/x.ocx")});
  cache.SetFilterOptions({});
  EXPECT_TRUE(Listed(cache).isEmpty());
}

TEST_F(IECacheTest, QueryFillsTheRecordInLocalTimeOrLeavesIt) {
  const QByteArray bytes = "<html><body>kept</body></html>";
  ASSERT_EQ(add(QStringLiteral("http://host/kept.htm"), bytes), 0u);
  ASSERT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/kept.htm")), 0u);
  const IECache::TEntryInfo kept = cache.EntryInfo;
  EXPECT_EQ(kept.SourceUrl, QStringLiteral("http://host/kept.htm"));
  EXPECT_EQ(testsupport::readFile(kept.LocalFile), bytes);
  EXPECT_TRUE(kept.LocalFile.startsWith(UrlCacheFolder()));
  EXPECT_EQ(kept.Size, bytes.size());
  EXPECT_EQ(kept.EntryType, NORMAL_CACHE_ENTRY);
  EXPECT_EQ(kept.FileExtension, QStringLiteral("htm"));
  EXPECT_EQ(FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss"), kept.ExpireTime),
            QStringLiteral("2031-05-06 07:08:09"));
  EXPECT_GT(kept.LastModified, EncodeDate(2020, 1, 1));

  // A missing address answers the cache's error and keeps the record.
  EXPECT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/none.htm")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(cache.EntryInfo.SourceUrl, kept.SourceUrl);
  EXPECT_EQ(cache.EntryInfo.LocalFile, kept.LocalFile);

  // A page the browser stored has no expiry: before any calendar day.
  ASSERT_TRUE(CacheStorePage(QStringLiteral("http://host/stored.htm"), "s", QString(), QString()));
  ASSERT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/stored.htm")), 0u);
  EXPECT_LT(cache.EntryInfo.ExpireTime, 0);
  EXPECT_EQ(cache.EntryInfo.UseCount, 1u);

  // A sparse entry of 5 GB keeps its size.
  String local;
  ASSERT_EQ(cache.CreateEntry(QStringLiteral("http://host/big.iso"), QStringLiteral("iso"), local, 0), 0u);
  const Int64 big = Int64(5) << 30;
  ASSERT_TRUE(QFile(local).resize(big));
  const std::u16string url = u"http://host/big.iso";
  ASSERT_TRUE(CommitUrlCacheEntryW(url.c_str(), reinterpret_cast<LPCWSTR>(local.utf16()), FILETIME{},
                                   FILETIME{}, NORMAL_CACHE_ENTRY, nullptr, 0, u"iso", nullptr));
  ASSERT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/big.iso")), 0u);
  EXPECT_EQ(cache.EntryInfo.Size, big);
}

TEST_F(IECacheTest, DeletesOneEntryOrEveryEntryOfTheSearch) {
  EXPECT_EQ(cache.DeleteAllEntries(), 0u);  // an empty search: nothing to close

  ASSERT_EQ(add(QStringLiteral("http://host/one.htm"), "1"), 0u);
  ASSERT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/one.htm")), 0u);
  const QString file = cache.EntryInfo.LocalFile;
  EXPECT_EQ(cache.DeleteEntry(QStringLiteral("http://host/one.htm")), 0u);
  EXPECT_TRUE(cache.EntryInfo.SourceUrl.isEmpty());
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(cache.DeleteEntry(QStringLiteral("http://host/one.htm")), ERROR_FILE_NOT_FOUND);

  for (int i = 0; i < 5; ++i) ASSERT_EQ(add(QStringLiteral("http://host/%1.htm").arg(i), "x"), 0u);
  ASSERT_EQ(add(QStringLiteral("http://host/x.ocx"), "o", QStringLiteral("x.ocx"), OCX_CACHE_ENTRY), 0u);
  EXPECT_NE(cache.DeleteAllEntries(), 0u);
  EXPECT_TRUE(Listed(cache).isEmpty());
  // The entry outside the filter stays, with its file.
  cache.SetFilterOptions({IECache::OCX_ENTRY});
  EXPECT_EQ(Listed(cache), QStringList{QStringLiteral("http://host/x.ocx")});
  EXPECT_EQ(CacheFolderFiles().size(), 1);
}

TEST_F(IECacheTest, AddingCopiesTheFileOrLeavesNothingBehind) {
  EXPECT_EQ(cache.AddFileToCache(QStringLiteral("http://host/none.htm"), folder + QStringLiteral("/none.htm"),
                                 1, Now()),
            ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(CacheFolderFiles().isEmpty());

  QByteArray bytes(100000, '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i % 251);
  ASSERT_EQ(add(QStringLiteral("file:///pics/photo.jpg"), bytes, QStringLiteral("photo.jpg")), 0u);
  ASSERT_EQ(cache.QueryEntryInfo(QStringLiteral("file:///pics/photo.jpg")), 0u);
  EXPECT_EQ(testsupport::readFile(cache.EntryInfo.LocalFile), bytes);
  EXPECT_EQ(cache.EntryInfo.FileExtension, QStringLiteral("jpg"));
  const QStringList before = CacheFolderFiles();

  // A copy that fails part-way: the process may write no more than 1000
  // bytes into any file.
  {
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const DWORD result = cache.AddFileToCache(QStringLiteral("http://host/copy.jpg"),
                                              folder + QStringLiteral("/photo.jpg"), 1, Now());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(result, 0u);
  }
  EXPECT_EQ(CacheFolderFiles(), before);
  EXPECT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/copy.jpg")), ERROR_FILE_NOT_FOUND);

  // A commit that fails: a cache module whose commit refuses.
  RegisterStandInModule(QStringLiteral("wininet.dll"),
                        {{"FindFirstUrlCacheGroup", StandInProc(&FindFirstUrlCacheGroup)},
                         {"FindNextUrlCacheGroup", StandInProc(&FindNextUrlCacheGroup)},
                         {"GetUrlCacheGroupAttributeA", StandInProc(&GetUrlCacheGroupAttributeA)},
                         {"SetUrlCacheGroupAttributeA", StandInProc(&SetUrlCacheGroupAttributeA)},
                         {"FindFirstUrlCacheEntryExA", StandInProc(&FindFirstUrlCacheEntryExA)},
                         {"FindFirstUrlCacheEntryExW", StandInProc(&FindFirstUrlCacheEntryExW)},
                         {"FindNextUrlCacheEntryExW", StandInProc(&FindNextUrlCacheEntryExW)},
                         {"FindCloseUrlCache", StandInProc(&FindCloseUrlCache)},
                         {"GetUrlCacheEntryInfoExW", StandInProc(&GetUrlCacheEntryInfoExW)},
                         {"DeleteUrlCacheEntryW", StandInProc(&DeleteUrlCacheEntryW)},
                         {"CreateUrlCacheEntryW", StandInProc(&CreateUrlCacheEntryW)},
                         {"CommitUrlCacheEntryW", StandInProc(+[](LPCWSTR, LPCWSTR, FILETIME, FILETIME, DWORD,
                                                                  LPWSTR, DWORD, LPCWSTR, LPCWSTR) -> BOOL {
                            SetLastError(ERROR_ACCESS_DENIED);
                            return FALSE;
                          })}});
  EXPECT_EQ(cache.AddFileToCache(QStringLiteral("http://host/refused.jpg"),
                                 folder + QStringLiteral("/photo.jpg"), 1, Now()),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(CacheFolderFiles(), before);
}

TEST_F(IECacheTest, WithoutTheCacheApiEveryOperationAnswers2) {
  ASSERT_EQ(add(QStringLiteral("http://host/a.htm"), "a"), 0u);
  UnregisterStandInModule(QStringLiteral("wininet.dll"));
  EXPECT_FALSE(IECache::LoadCacheGroupApi());
  EXPECT_FALSE(cache.LibraryFound());
  int events = 0;
  cache.OnEntry = [&](TObject*, bool&) { ++events; };
  EXPECT_FALSE(cache.EnumerateEntries(0));
  EXPECT_EQ(events, 0);
  String local;
  EXPECT_EQ(cache.QueryEntryInfo(QStringLiteral("http://host/a.htm")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(cache.DeleteEntry(QStringLiteral("http://host/a.htm")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(cache.DeleteAllEntries(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(add(QStringLiteral("http://host/b.htm"), "b"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(cache.CreateEntry(QStringLiteral("http://host/c.htm"), QStringLiteral("htm"), local, 1),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(cache.FindFirstEntry(0), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(cache.FindNextEntry(), ERROR_FILE_NOT_FOUND);

  // The module back: the same cache, the entry still there.
  InitializeWinInet();
  EXPECT_TRUE(cache.LibraryFound());
  EXPECT_EQ(Listed(cache), QStringList{QStringLiteral("http://host/a.htm")});
}

// ---------------------------------------------------------------- what the browser records

namespace {

class IECacheBrowserTest : public BrowserFixture {
 protected:
  void SetUp() override {
    EmptyCache();
    UrlHistoryStore().Clear();
    BrowserFixture::SetUp();
    BrowserEngineProfile()->cookieStore()->deleteAllCookies();
    server.get("/set", [](const testsupport::HttpRequest&, testsupport::HttpResponse& res) {
      res.headers.emplace_back("Set-Cookie", "flavour=oat; Path=/");
      res.body = "<html><head><title>set</title></head><body>set</body></html>";
    });
    server.page("/check", "<html><head><title>check</title></head><body>check</body></html>");
    ASSERT_TRUE(server.start());
  }
  void TearDown() override {
    BrowserEngineProfile()->cookieStore()->deleteAllCookies();
    EXPECT_TRUE(testsupport::waitFor([&] { return listed(IECache::spCookies).isEmpty(); }));
    BrowserFixture::TearDown();
  }
  QStringList listed(IECache::TSearchPattern pattern) {
    cache.SetSearchPattern(pattern);
    return Listed(cache);
  }

  testsupport::LoopbackServer server;
  TIECache cache{nullptr};
};

}  // namespace

TEST_F(IECacheBrowserTest, EachPatternListsItsKindOfWhatTheBrowserRecorded) {
  const QString page = server.url(QStringLiteral("/set"));
  ASSERT_TRUE(show(page));
  ASSERT_TRUE(show(page));
  const QString user = UrlCacheUserName();
  const QString cookie = QStringLiteral("Cookie:%1@127.0.0.1/").arg(user);
  const QString visit = QStringLiteral("Visited: %1@%2").arg(user, page);
  ASSERT_TRUE(testsupport::waitFor([&] { return listed(IECache::spCookies) == QStringList{cookie}; }));
  // The page's second load is a use of its entry (the engine hands over the
  // page's markup a moment after the load).
  ASSERT_TRUE(
      testsupport::waitFor([&] { return cache.QueryEntryInfo(page) == 0 && cache.EntryInfo.UseCount == 2; }));

  EXPECT_EQ(listed(IECache::spUrl), QStringList{page});
  EXPECT_EQ(listed(IECache::spHistory), QStringList{visit});
  EXPECT_EQ(listed(IECache::spAll), QStringList({page, visit, cookie}));

  // The visit counts visits.
  ASSERT_EQ(cache.QueryEntryInfo(page), 0u);
  EXPECT_EQ(cache.EntryInfo.HitRate, 2u);
  EXPECT_GT(cache.EntryInfo.LastAccess, EncodeDate(2020, 1, 1));
  ASSERT_EQ(cache.QueryEntryInfo(visit), 0u);
  EXPECT_EQ(cache.EntryInfo.EntryType, URLHISTORY_CACHE_ENTRY);
  EXPECT_EQ(cache.EntryInfo.HitRate, 2u);
  ASSERT_EQ(cache.QueryEntryInfo(cookie), 0u);
  EXPECT_EQ(cache.EntryInfo.EntryType, COOKIE_CACHE_ENTRY);
  EXPECT_TRUE(cache.EntryInfo.HeaderInfo.contains(QStringLiteral("flavour=oat")));

  // Deleting the visit deletes it from the history.
  EXPECT_EQ(cache.DeleteEntry(visit), 0u);
  TUrlHistoryEntry gone;
  EXPECT_FALSE(UrlHistoryStore().Find(page, gone));
  EXPECT_TRUE(listed(IECache::spHistory).isEmpty());
}

TEST_F(IECacheBrowserTest, AfterTheCookieEntryIsDeletedTheServerSeesNoCookie) {
  ASSERT_TRUE(show(server.url(QStringLiteral("/set"))));
  const QString cookie = QStringLiteral("Cookie:%1@127.0.0.1/").arg(UrlCacheUserName());
  ASSERT_TRUE(testsupport::waitFor([&] { return listed(IECache::spCookies) == QStringList{cookie}; }));
  ASSERT_TRUE(show(server.url(QStringLiteral("/check"))));
  EXPECT_EQ(server.lastRequest("/check").header("Cookie"), "flavour=oat");

  EXPECT_EQ(cache.DeleteEntry(cookie), 0u);
  EXPECT_TRUE(listed(IECache::spCookies).isEmpty());
  EXPECT_TRUE(testsupport::waitFor(
      [&] {
        return show(server.url(QStringLiteral("/check"))) &&
               server.lastRequest("/check").header("Cookie").empty();
      },
      10000));
}
