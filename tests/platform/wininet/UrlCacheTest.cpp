// The URL cache: entries and their files in the profile's cache folder, the
// record buffers, searches, groups, persistence and a damaged index.
#include <gtest/gtest.h>

#include "platform/wininet/UrlCache.h"
#include "platform/wininet/WinInet.h"
#include "tests/platform/wininet/Wide.h"
#include "tests/support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kAllTypes = 0x300035;  // the cache browser's default filter

// A record read the way the cache browser reads it: size first, then the buffer.
struct Record {
  std::vector<char> buffer;
  const INTERNET_CACHE_ENTRY_INFOW* info() const {
    return reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  }
  QString url() const { return QString::fromUtf16(info()->lpszSourceUrlName); }
  QString file() const { return QString::fromUtf16(info()->lpszLocalFileName); }
};

class UrlCache : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeWinInet();
    FinalizeUrlCache();
    QDir(UrlCacheFolder()).removeRecursively();
    InitializeUrlCache();
  }

  // Creates, fills and commits an entry; answers its local file.
  static QString add(const QString& url, const QByteArray& content, DWORD type = NORMAL_CACHE_ENTRY,
                     const char16_t* ext = u"htm", const QString& headers = QString()) {
    char16_t path[260] = {};
    if (!CreateUrlCacheEntryW(Wide(url), DWORD(content.size()), ext, path, 0)) return QString();
    const QString file = QString::fromUtf16(path);
    testsupport::writeFile(file, content);
    std::u16string head = headers.toStdU16String();
    const FILETIME modified = FileTimeFromMSecsSinceEpoch(1000000);
    const FILETIME expires = FileTimeFromMSecsSinceEpoch(2000000);
    if (!CommitUrlCacheEntryW(Wide(url), path, expires, modified, type, head.data(), DWORD(head.size()), ext,
                              nullptr))
      return QString();
    return file;
  }

  static bool query(const QString& url, Record& record) {
    DWORD size = 0;
    if (GetUrlCacheEntryInfoExW(Wide(url), nullptr, &size, nullptr, nullptr, nullptr, 0) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return false;
    record.buffer.assign(size, '\0');
    return GetUrlCacheEntryInfoExW(Wide(url),
                                   reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(record.buffer.data()), &size,
                                   nullptr, nullptr, nullptr, 0);
  }

  // The cache browser's clear: delete the current entry, then ask for the
  // next. Answers how many went; `find` is the search (still open) and `end`
  // the error that ended it.
  static int deleteEverySearchedEntry(HANDLE& find, DWORD& end) {
    std::vector<char> buffer(4096);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    DWORD size = DWORD(buffer.size());
    find = FindFirstUrlCacheEntryExW(nullptr, 0, kAllTypes, 0, info, &size, nullptr, nullptr, nullptr);
    int deleted = 0;
    if (!find) return deleted;
    do {
      EXPECT_TRUE(DeleteUrlCacheEntryW(info->lpszSourceUrlName));
      ++deleted;
      size = DWORD(buffer.size());
    } while (FindNextUrlCacheEntryExW(find, info, &size, nullptr, nullptr, nullptr));
    end = GetLastError();
    return deleted;
  }

  // Every address a search lists, in order; `end` receives the closing error.
  static QStringList list(const char16_t* pattern, DWORD filter = kAllTypes, GROUPID group = 0,
                          DWORD* end = nullptr) {
    QStringList urls;
    std::vector<char> buffer;
    DWORD size = 0;
    HANDLE find =
        FindFirstUrlCacheEntryExW(pattern, 0, filter, group, nullptr, &size, nullptr, nullptr, nullptr);
    if (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      buffer.assign(size, '\0');
      find = FindFirstUrlCacheEntryExW(pattern, 0, filter, group,
                                       reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()), &size,
                                       nullptr, nullptr, nullptr);
    }
    if (!find) {
      if (end) *end = GetLastError();
      return urls;
    }
    for (;;) {
      urls << QString::fromUtf16(
          reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data())->lpszSourceUrlName);
      size = DWORD(buffer.size());
      if (FindNextUrlCacheEntryExW(find, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()), &size,
                                   nullptr, nullptr, nullptr))
        continue;
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
      buffer.assign(size, '\0');
      if (!FindNextUrlCacheEntryExW(find, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()), &size,
                                    nullptr, nullptr, nullptr))
        break;
    }
    if (end) *end = GetLastError();
    FindCloseUrlCache(find);
    return urls;
  }
};

}  // namespace

TEST_F(UrlCache, CreatedFilesAreUniqueAndLiveInTheCacheFolder) {
  char16_t first[260], second[260], bare[260], noExt[260];
  ASSERT_TRUE(CreateUrlCacheEntryW(u"http://h/dir/page.html?x=1", 0, u"htm", first, 0));
  ASSERT_TRUE(CreateUrlCacheEntryW(u"http://h/dir/page.html", 0, u".htm", second, 0));
  ASSERT_TRUE(CreateUrlCacheEntryW(u"http://h/", 0, nullptr, bare, 0));
  ASSERT_TRUE(CreateUrlCacheEntryW(u"http://h/pic.GIF", 0, nullptr, noExt, 0));
  const QString folder = UrlCacheFolder();
  EXPECT_EQ(folder, testsupport::profileDir() + QStringLiteral("/Cache"));
  EXPECT_EQ(QString::fromUtf16(first), folder + QStringLiteral("/page[1].htm"));
  EXPECT_EQ(QString::fromUtf16(second), folder + QStringLiteral("/page[2].htm"));
  EXPECT_EQ(QString::fromUtf16(bare), folder + QStringLiteral("/index[1]"));
  EXPECT_EQ(QString::fromUtf16(noExt), folder + QStringLiteral("/pic[1].GIF"));
  EXPECT_TRUE(QFile::exists(QString::fromUtf16(first)));
  EXPECT_EQ(QFileInfo(QString::fromUtf16(first)).size(), 0);

  // Names from hostile addresses stay inside the folder.
  char16_t hostile[260];
  ASSERT_TRUE(CreateUrlCacheEntryW(u"http://h/..%2F..%2Fevil.sh", 0, u"../x", hostile, 0));
  EXPECT_EQ(QFileInfo(QString::fromUtf16(hostile)).absolutePath(), folder);
  EXPECT_FALSE(CreateUrlCacheEntryW(nullptr, 0, nullptr, first, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(UrlCache, CommittedEntryAnswersWithBufferSizing) {
  const QString url = QStringLiteral("http://example.com/page.htm");
  const QString headers = QStringLiteral("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
  const QString file =
      add(url, QByteArray(1234, 'x'), NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY, u"htm", headers);
  ASSERT_FALSE(file.isEmpty());

  DWORD size = 0;
  EXPECT_FALSE(GetUrlCacheEntryInfoW(Wide(url), nullptr, &size));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  const DWORD needed = size;
  EXPECT_EQ(needed, sizeof(INTERNET_CACHE_ENTRY_INFOW) +
                        2 * (url.size() + 1 + file.size() + 1 + headers.size() + 1 + 3 + 1));
  std::vector<char> small(needed - 1);
  size = needed - 1;
  EXPECT_FALSE(
      GetUrlCacheEntryInfoW(Wide(url), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(small.data()), &size));
  EXPECT_EQ(size, needed);

  Record r;
  ASSERT_TRUE(query(url, r));
  const INTERNET_CACHE_ENTRY_INFOW* info = r.info();
  EXPECT_EQ(info->dwStructSize, sizeof(INTERNET_CACHE_ENTRY_INFOW));
  EXPECT_EQ(r.url(), url);
  EXPECT_EQ(r.file(), file);
  EXPECT_EQ(info->CacheEntryType, NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY);
  EXPECT_EQ(info->dwSizeLow, 1234u);
  EXPECT_EQ(info->dwSizeHigh, 0u);
  EXPECT_EQ(QString::fromUtf16(info->lpHeaderInfo), headers);
  EXPECT_EQ(info->dwHeaderInfoSize, DWORD(headers.size()));
  EXPECT_EQ(QString::fromUtf16(info->lpszFileExtension), QStringLiteral("htm"));
  EXPECT_EQ(MSecsSinceEpochFromFileTime(info->LastModifiedTime), 1000000);
  EXPECT_EQ(MSecsSinceEpochFromFileTime(info->ExpireTime), 2000000);
  EXPECT_LE(qAbs(MSecsSinceEpochFromFileTime(info->LastAccessTime) - QDateTime::currentMSecsSinceEpoch()),
            60000);
  // Every string lies in the caller's buffer, after the record.
  const char* begin = r.buffer.data() + sizeof(INTERNET_CACHE_ENTRY_INFOW);
  const char* end = r.buffer.data() + r.buffer.size();
  for (const char16_t* p :
       {info->lpszSourceUrlName, info->lpszLocalFileName, info->lpHeaderInfo, info->lpszFileExtension}) {
    EXPECT_GE(reinterpret_cast<const char*>(p), begin);
    EXPECT_LT(reinterpret_cast<const char*>(p), end);
  }

  // An unknown address: file-not-found, the size untouched.
  size = 0;
  EXPECT_FALSE(GetUrlCacheEntryInfoExW(u"http://nowhere/", nullptr, &size, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(size, 0u);
}

TEST_F(UrlCache, CommitTakesOnlyFilesOfTheCacheFolder) {
  const QString outside = testsupport::profileDir() + QStringLiteral("/mine.htm");
  ASSERT_TRUE(testsupport::writeFile(outside, "keep me"));
  const FILETIME zero{0, 0};
  EXPECT_FALSE(CommitUrlCacheEntryW(u"http://a/", Wide(outside), zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0,
                                    nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const QString index = UrlCacheFolder() + QStringLiteral("/index.db");
  EXPECT_FALSE(CommitUrlCacheEntryW(u"http://a/", Wide(index), zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0,
                                    nullptr, nullptr));
  EXPECT_FALSE(CommitUrlCacheEntryW(u"http://a/", Wide(UrlCacheFolder() + QStringLiteral("/gone[1].htm")),
                                    zero, zero, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // An entry without a file (a history entry) is fine; deleting it touches no file.
  ASSERT_TRUE(CommitUrlCacheEntryW(u"Visited: ann@http://a/", nullptr, zero, zero, URLHISTORY_CACHE_ENTRY,
                                   nullptr, 0, nullptr, nullptr));
  Record r;
  ASSERT_TRUE(query(QStringLiteral("Visited: ann@http://a/"), r));
  EXPECT_EQ(r.file(), QString());
  EXPECT_TRUE(DeleteUrlCacheEntryW(u"Visited: ann@http://a/"));
  EXPECT_TRUE(QFile::exists(outside));
}

TEST_F(UrlCache, RecommitReplacesTheFileAndDeleteRemovesIt) {
  const QString url = QStringLiteral("http://a/p.htm");
  const QString first = add(url, "one");
  const QString second = add(url, "two two");
  ASSERT_FALSE(second.isEmpty());
  EXPECT_FALSE(QFile::exists(first));
  Record r;
  ASSERT_TRUE(query(url, r));
  EXPECT_EQ(r.file(), second);
  EXPECT_EQ(r.info()->dwSizeLow, 7u);

  ASSERT_TRUE(DeleteUrlCacheEntryW(Wide(url)));
  EXPECT_FALSE(QFile::exists(second));
  EXPECT_FALSE(query(url, r));
  EXPECT_FALSE(DeleteUrlCacheEntryW(Wide(url)));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(UrlCache, SearchesByPrefixTypeAndGroup) {
  add(QStringLiteral("http://a/x.htm"), "x");
  add(QStringLiteral("Cookie:ann@a/"), "c", COOKIE_CACHE_ENTRY, u"txt");
  add(QStringLiteral("Visited: ann@http://a/x.htm"), "v", URLHISTORY_CACHE_ENTRY, nullptr);
  add(QStringLiteral("http://b/y.gif"), "y", STICKY_CACHE_ENTRY, u"gif");
  add(QStringLiteral("http://c/z.ocx"), "z", OCX_CACHE_ENTRY, u"ocx");

  const QStringList all = {QStringLiteral("http://a/x.htm"), QStringLiteral("Cookie:ann@a/"),
                           QStringLiteral("Visited: ann@http://a/x.htm"), QStringLiteral("http://b/y.gif")};
  EXPECT_EQ(list(nullptr), all);  // the OCX entry is not in the filter
  // The empty pattern: plain addresses only.
  EXPECT_EQ(list(u""), QStringList({QStringLiteral("http://a/x.htm"), QStringLiteral("http://b/y.gif")}));
  EXPECT_EQ(list(u"cookie:"), QStringList{QStringLiteral("Cookie:ann@a/")});
  EXPECT_EQ(list(u"Visited:"), QStringList{QStringLiteral("Visited: ann@http://a/x.htm")});
  EXPECT_EQ(list(nullptr, NORMAL_CACHE_ENTRY), QStringList{QStringLiteral("http://a/x.htm")});
  DWORD end = 0;
  EXPECT_TRUE(list(nullptr, 0, 0, &end).isEmpty());
  EXPECT_EQ(end, ERROR_NO_MORE_ITEMS);

  // The plain search: without a pattern, neither cookies nor history.
  std::vector<char> buffer(4096);
  DWORD size = DWORD(buffer.size());
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  HANDLE find = FindFirstUrlCacheEntryW(nullptr, info, &size);
  ASSERT_NE(find, nullptr);
  QStringList plain{QString::fromUtf16(info->lpszSourceUrlName)};
  for (size = DWORD(buffer.size()); FindNextUrlCacheEntryW(find, info, &size); size = DWORD(buffer.size()))
    plain << QString::fromUtf16(info->lpszSourceUrlName);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(FindCloseUrlCache(find));
  EXPECT_EQ(plain, QStringList({QStringLiteral("http://a/x.htm"), QStringLiteral("http://b/y.gif"),
                                QStringLiteral("http://c/z.ocx")}));

  // A group holds what was put into it.
  const GROUPID group = CreateUrlCacheGroup(0, nullptr);
  ASSERT_NE(group, 0);
  ASSERT_TRUE(
      SetUrlCacheEntryGroupW(u"http://b/y.gif", INTERNET_CACHE_GROUP_ADD, group, nullptr, 0, nullptr));
  EXPECT_EQ(list(nullptr, kAllTypes, group), QStringList{QStringLiteral("http://b/y.gif")});
  ASSERT_TRUE(
      SetUrlCacheEntryGroupW(u"http://b/y.gif", INTERNET_CACHE_GROUP_REMOVE, group, nullptr, 0, nullptr));
  EXPECT_TRUE(list(nullptr, kAllTypes, group).isEmpty());
  EXPECT_FALSE(SetUrlCacheEntryGroupW(u"http://none/", INTERNET_CACHE_GROUP_ADD, group, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // The narrow search answers UTF-8.
  add(QString::fromUtf8("http://a/caf\xC3\xA9.htm"), "e");
  std::vector<char> narrow(4096);
  size = DWORD(narrow.size());
  auto* a = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(narrow.data());
  find = FindFirstUrlCacheEntryExA("http://a/caf", 0, kAllTypes, 0, a, &size, nullptr, nullptr, nullptr);
  ASSERT_NE(find, nullptr);
  EXPECT_STREQ(a->lpszSourceUrlName, "http://a/caf\xC3\xA9.htm");
  EXPECT_STREQ(a->lpszFileExtension, "htm");
  size = DWORD(narrow.size());
  EXPECT_FALSE(FindNextUrlCacheEntryExA(find, a, &size, nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  FindCloseUrlCache(find);
}

TEST_F(UrlCache, DeletingEveryEntryOfASearch) {
  QStringList files;
  for (int i = 0; i < 5; ++i) files << add(QStringLiteral("http://a/%1.htm").arg(i), "x");
  HANDLE find = nullptr;
  DWORD end = 0;
  const int deleted = deleteEverySearchedEntry(find, end);
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(end, ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(FindCloseUrlCache(find));
  EXPECT_FALSE(FindCloseUrlCache(find));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(deleted, 5);
  for (const QString& f : files) EXPECT_FALSE(QFile::exists(f)) << f.toStdString();
  EXPECT_TRUE(list(nullptr).isEmpty());
}

TEST_F(UrlCache, ClearingManyEntriesRemovesTheirFilesAfterwards) {
  QStringList files;
  for (int i = 0; i < 150; ++i) files << add(QStringLiteral("http://a/many%1.htm").arg(i), "x");
  // One entry shares its file with another: that file stays.
  const std::u16string shared = files[0].toStdU16String();
  ASSERT_TRUE(CommitUrlCacheEntryW(u"http://b/kept.htm", shared.c_str(), FILETIME{}, FILETIME{},
                                   OCX_CACHE_ENTRY, nullptr, 0, u"htm", nullptr));
  HANDLE find = nullptr;
  DWORD end = 0;
  EXPECT_EQ(deleteEverySearchedEntry(find, end), 150);
  EXPECT_TRUE(FindCloseUrlCache(find));
  EXPECT_TRUE(list(nullptr).isEmpty());
  ASSERT_TRUE(CacheWaitForStores(30000));
  EXPECT_TRUE(QFile::exists(files[0]));
  for (int i = 1; i < files.size(); ++i) EXPECT_FALSE(QFile::exists(files[i])) << i;
  Record r;
  EXPECT_TRUE(query(QStringLiteral("http://b/kept.htm"), r));

  // The deletes outlive a reopen.
  FinalizeUrlCache();
  InitializeUrlCache();
  EXPECT_EQ(list(nullptr, kAllTypes | OCX_CACHE_ENTRY), QStringList{QStringLiteral("http://b/kept.htm")});
}

TEST_F(UrlCache, GroupsKeepTheirAttributes) {
  const GROUPID a = CreateUrlCacheGroup(0, nullptr);
  const GROUPID b = CreateUrlCacheGroup(0, nullptr);
  const GROUPID idOnly = CreateUrlCacheGroup(CACHEGROUP_FLAG_GIDONLY, nullptr);
  EXPECT_NE(a, b);
  EXPECT_NE(idOnly, a);
  EXPECT_NE(idOnly, b);

  INTERNET_CACHE_GROUP_INFOA info{};
  info.dwDiskQuota = 512;
  info.dwGroupFlags = CACHEGROUP_FLAG_NONPURGEABLE;
  std::strncpy(info.szGroupName, "Offline pages", GROUPNAME_MAX_LENGTH);
  ASSERT_TRUE(SetUrlCacheGroupAttributeA(a, 0, CACHEGROUP_ATTRIBUTE_GROUPNAME | CACHEGROUP_ATTRIBUTE_QUOTA,
                                         &info, nullptr));
  const QString file = add(QStringLiteral("http://a/g.htm"), QByteArray(2048, 'g'));
  ASSERT_TRUE(SetUrlCacheEntryGroupW(u"http://a/g.htm", INTERNET_CACHE_GROUP_ADD, a, nullptr, 0, nullptr));

  INTERNET_CACHE_GROUP_INFOA read{};
  DWORD size = 8;
  EXPECT_FALSE(GetUrlCacheGroupAttributeA(a, 0, CACHEGROUP_ATTRIBUTE_GET_ALL, &read, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, sizeof(INTERNET_CACHE_GROUP_INFOA));
  ASSERT_TRUE(GetUrlCacheGroupAttributeA(a, 0, CACHEGROUP_ATTRIBUTE_GET_ALL, &read, &size, nullptr));
  EXPECT_STREQ(read.szGroupName, "Offline pages");
  EXPECT_EQ(read.dwDiskQuota, 512u);
  EXPECT_EQ(read.dwGroupFlags, 0u);  // not among the attributes set
  EXPECT_EQ(read.dwDiskUsage, 2u);
  EXPECT_FALSE(GetUrlCacheGroupAttributeA(idOnly, 0, CACHEGROUP_ATTRIBUTE_GET_ALL, &read, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // A long name is cut to fit with its terminator.
  std::memset(info.szGroupName, 'n', GROUPNAME_MAX_LENGTH);
  ASSERT_TRUE(SetUrlCacheGroupAttributeA(b, 0, CACHEGROUP_ATTRIBUTE_GROUPNAME, &info, nullptr));
  ASSERT_TRUE(GetUrlCacheGroupAttributeA(b, 0, CACHEGROUP_ATTRIBUTE_GET_ALL, &read, &size, nullptr));
  EXPECT_EQ(std::strlen(read.szGroupName), GROUPNAME_MAX_LENGTH - 1);

  // Listing: both real groups, then the end.
  GROUPID id = 0;
  HANDLE find = FindFirstUrlCacheGroup(0, CACHEGROUP_SEARCH_ALL, nullptr, 0, &id, nullptr);
  ASSERT_NE(find, nullptr);
  std::vector<GROUPID> ids{id};
  while (FindNextUrlCacheGroup(find, &id, nullptr)) ids.push_back(id);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_TRUE(FindCloseUrlCache(find));
  EXPECT_EQ(ids, (std::vector<GROUPID>{a, b}));

  // Deleting with flush takes the group's entries and files along.
  ASSERT_TRUE(DeleteUrlCacheGroup(a, CACHEGROUP_FLAG_FLUSHURL_ONDELETE, nullptr));
  EXPECT_FALSE(QFile::exists(file));
  Record r;
  EXPECT_FALSE(query(QStringLiteral("http://a/g.htm"), r));
  EXPECT_FALSE(DeleteUrlCacheGroup(a, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(DeleteUrlCacheGroup(b, 0, nullptr));
  EXPECT_EQ(FindFirstUrlCacheGroup(0, 0, nullptr, 0, &id, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
}

TEST_F(UrlCache, EntriesAndGroupsSurviveAReopen) {
  const QString file = add(QStringLiteral("http://a/keep.htm"), "kept");
  ASSERT_TRUE(CacheStorePage(QStringLiteral("http://a/stored.html"), "<p>page</p>",
                             QStringLiteral("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"), QString()));
  const GROUPID group = CreateUrlCacheGroup(0, nullptr);
  FinalizeWinInet();
  InitializeWinInet();

  Record r;
  ASSERT_TRUE(query(QStringLiteral("http://a/keep.htm"), r));
  EXPECT_EQ(r.file(), file);
  ASSERT_TRUE(query(QStringLiteral("http://a/stored.html"), r));
  EXPECT_EQ(testsupport::readFile(r.file()), QByteArray("<p>page</p>"));
  EXPECT_EQ(r.info()->CacheEntryType, NORMAL_CACHE_ENTRY);
  EXPECT_EQ(QString::fromUtf16(r.info()->lpszFileExtension), QStringLiteral("html"));
  EXPECT_TRUE(QString::fromUtf16(r.info()->lpHeaderInfo).contains(QStringLiteral("Content-Type: text/html")));
  EXPECT_TRUE(r.file().endsWith(QStringLiteral("/stored[1].html")));
  INTERNET_CACHE_GROUP_INFOA info{};
  DWORD size = sizeof info;
  EXPECT_TRUE(GetUrlCacheGroupAttributeA(group, 0, CACHEGROUP_ATTRIBUTE_GET_ALL, &info, &size, nullptr));
  EXPECT_GT(CreateUrlCacheGroup(0, nullptr), group);  // identifiers are not handed out twice
}

TEST_F(UrlCache, DamagedIndexIsSetAsideAndTheCacheGoesOn) {
  const QString folder = UrlCacheFolder();
  const QString index = folder + QStringLiteral("/index.db");
  const auto damage = [&](int kind) {
    FinalizeUrlCache();
    QFile::remove(index);
    if (kind == 0) {
      testsupport::writeFile(index, QByteArray(5000, '\x5A'));  // not a database at all
    } else {
      // A database whose tables have another shape.
      sqlite3* db = nullptr;
      sqlite3_open(index.toUtf8().constData(), &db);
      sqlite3_exec(db, "CREATE TABLE entries(x); INSERT INTO entries VALUES(1);", nullptr, nullptr, nullptr);
      sqlite3_close(db);
    }
    InitializeUrlCache();
  };
  for (int kind : {0, 1}) {
    SCOPED_TRACE(kind);
    add(QStringLiteral("http://a/before.htm"), "b");
    damage(kind);
    EXPECT_TRUE(QFile::exists(index + QStringLiteral(".bad")));
    Record r;
    EXPECT_FALSE(query(QStringLiteral("http://a/before.htm"), r));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(add(QStringLiteral("http://a/after.htm"), "a").isEmpty());
    EXPECT_TRUE(query(QStringLiteral("http://a/after.htm"), r));
    EXPECT_EQ(list(nullptr).size(), 1);
  }
}

TEST_F(UrlCache, StandInModuleOffersTheCacheApi) {
  HMODULE module = LoadLibraryW(u"wininet.dll");
  ASSERT_NE(module, nullptr);
  for (const char* name :
       {"FindFirstUrlCacheGroup", "FindNextUrlCacheGroup", "GetUrlCacheGroupAttributeA",
        "SetUrlCacheGroupAttributeA", "FindFirstUrlCacheEntryExA", "FindFirstUrlCacheEntryExW",
        "InternetOpenUrlW", "HttpQueryInfoW", "InternetSetOptionW"})
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  // A procedure looked up by name works like the direct call.
  using CreateGroup = GROUPID (*)(DWORD, LPVOID);
  auto create = reinterpret_cast<CreateGroup>(GetProcAddress(module, "CreateUrlCacheGroup"));
  ASSERT_NE(create, nullptr);
  const GROUPID id = create(0, nullptr);
  EXPECT_TRUE(DeleteUrlCacheGroup(id, 0, nullptr));
  EXPECT_TRUE(FreeLibrary(module));
}

namespace {

// Stores on the writer thread: in order, the text as UTF-8, finished before
// the cache closes, and usable again after a reopen.
TEST_F(UrlCache, LaterStoresLandInOrderAndBeforeTheCacheCloses) {
  const QString url = QStringLiteral("http://a/later.html");
  const QString headers = QStringLiteral("HTTP/1.1 200 OK\r\n");
  // A large text first, a small one after it: the second is the entry.
  CacheStorePageLater(url, QString(300000, QLatin1Char('x')), headers, QStringLiteral("htm"));
  CacheStorePageLater(url, QStringLiteral("<p>second \u00e9</p>"), headers, QStringLiteral("htm"));
  ASSERT_TRUE(CacheWaitForStores(30000));
  Record r;
  ASSERT_TRUE(query(url, r));
  EXPECT_EQ(testsupport::readFile(r.file()), QStringLiteral("<p>second \u00e9</p>").toUtf8());

  // Stores still queued when the cache closes are written first.
  const QString other = QStringLiteral("http://a/closing.html");
  for (int i = 0; i < 20; ++i)
    CacheStorePageLater(other, QStringLiteral("<p>%1</p>").arg(i), headers, QStringLiteral("htm"));
  FinalizeUrlCache();
  EXPECT_TRUE(CacheWaitForStores(0));  // nothing left, no writer
  InitializeUrlCache();
  ASSERT_TRUE(query(other, r));
  EXPECT_EQ(testsupport::readFile(r.file()), QByteArray("<p>19</p>"));

  // A new writer starts after the close.
  CacheStorePageLater(url, QStringLiteral("third"), headers, QString());
  ASSERT_TRUE(CacheWaitForStores(30000));
  ASSERT_TRUE(query(url, r));
  EXPECT_EQ(testsupport::readFile(r.file()), QByteArray("third"));
}

}  // namespace

namespace {

// A store of its own, as the browser registers its cookies and visits.
struct FakeSource : IUrlCacheSource {
  std::vector<UrlCacheRecord> records;
  QStringList removed;
  std::vector<UrlCacheRecord> Records() override { return records; }
  bool Find(const String& url, UrlCacheRecord& record) override {
    for (const UrlCacheRecord& r : records) {
      if (r.url != url) continue;
      record = r;
      return true;
    }
    return false;
  }
  bool Remove(const String& url) override {
    const auto gone = std::erase_if(records, [&](const UrlCacheRecord& r) { return r.url == url; });
    if (gone) removed << url;
    return gone != 0;
  }
};

UrlCacheRecord cookieRecord(const QString& url) {
  UrlCacheRecord r;
  r.url = url;
  r.type = COOKIE_CACHE_ENTRY;
  r.size = 12;
  r.expire = FileTimeValue(QDateTime::fromMSecsSinceEpoch(5000000, Qt::UTC));
  return r;
}

}  // namespace

TEST_F(UrlCache, OtherStoresShowUnderTheirPrefix) {
  auto cookies = std::make_shared<FakeSource>();
  cookies->records = {cookieRecord(QStringLiteral("Cookie:ann@a/")),
                      cookieRecord(QStringLiteral("Cookie:ann@b/"))};
  RegisterUrlCacheSource(QStringLiteral("Cookie:"), cookies);
  add(QStringLiteral("http://a/x.htm"), "x");

  EXPECT_EQ(list(nullptr), QStringList({QStringLiteral("http://a/x.htm"), QStringLiteral("Cookie:ann@a/"),
                                        QStringLiteral("Cookie:ann@b/")}));
  EXPECT_EQ(list(u""), QStringList{QStringLiteral("http://a/x.htm")});
  EXPECT_EQ(list(u"COOKIE:ann@b"), QStringList{QStringLiteral("Cookie:ann@b/")});
  EXPECT_TRUE(list(u"Visited:").isEmpty());
  EXPECT_EQ(list(nullptr, NORMAL_CACHE_ENTRY), QStringList{QStringLiteral("http://a/x.htm")});
  const GROUPID group = CreateUrlCacheGroup(0, nullptr);
  EXPECT_TRUE(list(nullptr, kAllTypes, group).isEmpty());

  Record r;
  ASSERT_TRUE(query(QStringLiteral("Cookie:ann@a/"), r));
  EXPECT_EQ(r.info()->CacheEntryType, COOKIE_CACHE_ENTRY);
  EXPECT_EQ(r.info()->dwSizeLow, 12u);
  EXPECT_EQ(MSecsSinceEpochFromFileTime(r.info()->ExpireTime), 5000000);
  EXPECT_TRUE(r.file().isEmpty());
  EXPECT_FALSE(query(QStringLiteral("Cookie:ann@c/"), r));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // Deleting the entry deletes the item of the store, and an open search
  // skips it.
  std::vector<char> buffer(4096);
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  DWORD size = DWORD(buffer.size());
  HANDLE find =
      FindFirstUrlCacheEntryExW(u"Cookie:", 0, kAllTypes, 0, info, &size, nullptr, nullptr, nullptr);
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(DeleteUrlCacheEntryW(u"Cookie:ann@b/"));
  size = DWORD(buffer.size());
  EXPECT_FALSE(FindNextUrlCacheEntryExW(find, info, &size, nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  FindCloseUrlCache(find);
  EXPECT_EQ(cookies->removed, QStringList{QStringLiteral("Cookie:ann@b/")});
  EXPECT_FALSE(DeleteUrlCacheEntryW(u"Cookie:ann@b/"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  RegisterUrlCacheSource(QStringLiteral("cookie:"), nullptr);
  EXPECT_EQ(list(nullptr), QStringList{QStringLiteral("http://a/x.htm")});
}

TEST_F(UrlCache, EachStoreOfAPageCountsAUse) {
  const QString url = QStringLiteral("http://a/again.htm");
  ASSERT_TRUE(CacheStorePage(url, "<p>1</p>", QString(), QString()));
  Record first;
  ASSERT_TRUE(query(url, first));
  EXPECT_EQ(first.info()->dwUseCount, 1u);
  EXPECT_EQ(first.info()->dwHitRate, 1u);
  const Int64 firstAccess = MSecsSinceEpochFromFileTime(first.info()->LastAccessTime);
  EXPECT_GT(firstAccess, 0);

  ASSERT_TRUE(CacheStorePage(url, "<p>2</p>", QString(), QString()));
  Record second;
  ASSERT_TRUE(query(url, second));
  EXPECT_EQ(second.info()->dwUseCount, 2u);
  EXPECT_EQ(second.info()->dwHitRate, 2u);
  EXPECT_GE(MSecsSinceEpochFromFileTime(second.info()->LastAccessTime), firstAccess);
  EXPECT_EQ(testsupport::readFile(second.file()), QByteArray("<p>2</p>"));
  EXPECT_EQ(list(nullptr), QStringList{url});

  // A commit of its own is no use of the entry.
  add(QStringLiteral("http://a/added.htm"), "x");
  Record added;
  ASSERT_TRUE(query(QStringLiteral("http://a/added.htm"), added));
  EXPECT_EQ(added.info()->dwUseCount, 0u);
}
