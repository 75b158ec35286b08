#pragma once
// The URL cache: a folder of cached files (ProfileDir()/Cache) and an SQLite
// index of its entries and groups, with the platform's cache functions on top.
//
// Buffer rules: a call without a buffer, or with too small a one, fails with
// ERROR_INSUFFICIENT_BUFFER and answers the bytes needed. An entry record is
// the struct followed, in the same buffer, by the strings its pointers name
// (never null; empty strings for absent parts). Narrow ("A") strings are
// UTF-8. Each entry belongs to at most one group.
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"
#include "platform/winapi/Modules.h"

#include <memory>
#include <vector>

using HANDLE = void*;
using GROUPID = LONGLONG;

inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;

// Entry types (and the filter bits of a search).
inline constexpr DWORD NORMAL_CACHE_ENTRY = 0x00000001;
inline constexpr DWORD STABLE_CACHE_ENTRY = 0x00000002;
inline constexpr DWORD STICKY_CACHE_ENTRY = 0x00000004;
inline constexpr DWORD EDITED_CACHE_ENTRY = 0x00000008;
inline constexpr DWORD TRACK_OFFLINE_CACHE_ENTRY = 0x00000010;
inline constexpr DWORD TRACK_ONLINE_CACHE_ENTRY = 0x00000020;
inline constexpr DWORD SPARSE_CACHE_ENTRY = 0x00010000;
inline constexpr DWORD OCX_CACHE_ENTRY = 0x00020000;
inline constexpr DWORD COOKIE_CACHE_ENTRY = 0x00100000;
inline constexpr DWORD URLHISTORY_CACHE_ENTRY = 0x00200000;

// Groups.
inline constexpr DWORD CACHEGROUP_FLAG_NONPURGEABLE = 0x00000001;
inline constexpr DWORD CACHEGROUP_FLAG_FLUSHURL_ONDELETE = 0x00000002;
inline constexpr DWORD CACHEGROUP_FLAG_GIDONLY = 0x00000004;
inline constexpr DWORD CACHEGROUP_SEARCH_ALL = 0x00000000;
inline constexpr DWORD INTERNET_CACHE_GROUP_ADD = 0;
inline constexpr DWORD INTERNET_CACHE_GROUP_REMOVE = 1;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_GET_ALL = 0xFFFFFFFF;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_BASIC = 0x00000001;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_FLAG = 0x00000002;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_TYPE = 0x00000004;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_QUOTA = 0x00000008;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_GROUPNAME = 0x00000010;
inline constexpr DWORD CACHEGROUP_ATTRIBUTE_STORAGE = 0x00000020;
inline constexpr DWORD GROUPNAME_MAX_LENGTH = 120;
inline constexpr DWORD GROUP_OWNER_STORAGE_SIZE = 4;

struct INTERNET_CACHE_ENTRY_INFOW {
  DWORD dwStructSize;
  LPWSTR lpszSourceUrlName;
  LPWSTR lpszLocalFileName;
  DWORD CacheEntryType;
  DWORD dwUseCount;
  DWORD dwHitRate;
  DWORD dwSizeLow;
  DWORD dwSizeHigh;
  FILETIME LastModifiedTime;
  FILETIME ExpireTime;
  FILETIME LastAccessTime;
  FILETIME LastSyncTime;
  LPWSTR lpHeaderInfo;
  DWORD dwHeaderInfoSize;  // characters, without the terminator
  LPWSTR lpszFileExtension;
  union {
    DWORD dwReserved;
    DWORD dwExemptDelta;
  };
};
using INTERNET_CACHE_ENTRY_INFO = INTERNET_CACHE_ENTRY_INFOW;

struct INTERNET_CACHE_ENTRY_INFOA {
  DWORD dwStructSize;
  LPSTR lpszSourceUrlName;
  LPSTR lpszLocalFileName;
  DWORD CacheEntryType;
  DWORD dwUseCount;
  DWORD dwHitRate;
  DWORD dwSizeLow;
  DWORD dwSizeHigh;
  FILETIME LastModifiedTime;
  FILETIME ExpireTime;
  FILETIME LastAccessTime;
  FILETIME LastSyncTime;
  LPSTR lpHeaderInfo;
  DWORD dwHeaderInfoSize;  // bytes, without the terminator
  LPSTR lpszFileExtension;
  union {
    DWORD dwReserved;
    DWORD dwExemptDelta;
  };
};

struct INTERNET_CACHE_GROUP_INFOA {
  DWORD dwGroupSize;
  DWORD dwGroupFlags;
  DWORD dwGroupType;
  DWORD dwDiskUsage;  // KB
  DWORD dwDiskQuota;  // KB
  DWORD dwOwnerStorage[GROUP_OWNER_STORAGE_SIZE];
  char szGroupName[GROUPNAME_MAX_LENGTH];
};

// Opens the index (lazily also on first use) and makes the folder ready;
// finalizing closes it and every open search.
void InitializeUrlCache();
void FinalizeUrlCache();
// The cache folder, without a trailing delimiter.
String UrlCacheFolder();

// Reserves a new, empty file in the cache folder for `url` and writes its
// full path into `fileName` (260 characters with the terminator). `extension` without dot
// (null: the address's own extension).
BOOL CreateUrlCacheEntryW(LPCWSTR url, DWORD expectedFileSize, LPCWSTR extension, LPWSTR fileName,
                          DWORD reserved);
// Records an entry (replacing one of the same address). The local file, when
// given, must be a file of the cache folder; the entry takes its size.
BOOL CommitUrlCacheEntryW(LPCWSTR url, LPCWSTR localFileName, FILETIME expireTime, FILETIME lastModifiedTime,
                          DWORD cacheEntryType, LPWSTR headerInfo, DWORD headerSize, LPCWSTR fileExtension,
                          LPCWSTR originalUrl);
BOOL GetUrlCacheEntryInfoW(LPCWSTR url, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size);
BOOL GetUrlCacheEntryInfoExW(LPCWSTR url, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size, LPWSTR redirectUrl,
                             DWORD* redirectUrlLength, LPVOID reserved, DWORD flags);
// Removes the entry and its file (unless another entry still names the
// file). Deletes made while a search is open share one transaction, which
// the next call of another kind (or closing the search) commits; their files
// are removed then, and when there are many, by the cache's writer thread.
BOOL DeleteUrlCacheEntryW(LPCWSTR url);

// Searches. The pattern is an address prefix compared without case
// ("Cookie:", "Visited:"); null matches every address, the empty pattern only
// the plain ones (neither cookies nor history). The filter selects entry
// types (an entry matches when it has one of the bits; an entry of type 0
// counts as normal); group 0 means every group. The plain form searches all
// types with a pattern and, without one, the plain addresses. A search
// finds its entries when it begins (the cache's own, then those of the other
// stores, below); the end is ERROR_NO_MORE_ITEMS; entries deleted during a
// search are skipped.
HANDLE FindFirstUrlCacheEntryW(LPCWSTR searchPattern, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size);
BOOL FindNextUrlCacheEntryW(HANDLE find, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size);
HANDLE FindFirstUrlCacheEntryExW(LPCWSTR searchPattern, DWORD flags, DWORD filter, GROUPID groupId,
                                 INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size, LPVOID groupAttributes,
                                 DWORD* groupAttributesSize, LPVOID reserved);
BOOL FindNextUrlCacheEntryExW(HANDLE find, INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size,
                              LPVOID groupAttributes, DWORD* groupAttributesSize, LPVOID reserved);
HANDLE FindFirstUrlCacheEntryExA(LPCSTR searchPattern, DWORD flags, DWORD filter, GROUPID groupId,
                                 INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size, LPVOID groupAttributes,
                                 DWORD* groupAttributesSize, LPVOID reserved);
BOOL FindNextUrlCacheEntryExA(HANDLE find, INTERNET_CACHE_ENTRY_INFOA* info, DWORD* size,
                              LPVOID groupAttributes, DWORD* groupAttributesSize, LPVOID reserved);
// Ends an entry or group search.
BOOL FindCloseUrlCache(HANDLE find);

// Groups. CACHEGROUP_FLAG_GIDONLY answers a fresh identifier without making a
// group; deleting with CACHEGROUP_FLAG_FLUSHURL_ONDELETE deletes the group's
// entries, otherwise they leave the group.
GROUPID CreateUrlCacheGroup(DWORD flags, LPVOID reserved);
BOOL DeleteUrlCacheGroup(GROUPID groupId, DWORD flags, LPVOID reserved);
BOOL SetUrlCacheEntryGroupW(LPCWSTR url, DWORD flags, GROUPID groupId, BYTE* groupAttributes,
                            DWORD groupAttributesSize, LPVOID reserved);
HANDLE FindFirstUrlCacheGroup(DWORD flags, DWORD filter, LPVOID searchCondition, DWORD searchConditionSize,
                              GROUPID* groupId, LPVOID reserved);
BOOL FindNextUrlCacheGroup(HANDLE find, GROUPID* groupId, LPVOID reserved);
BOOL GetUrlCacheGroupAttributeA(GROUPID groupId, DWORD flags, DWORD attributes,
                                INTERNET_CACHE_GROUP_INFOA* info, DWORD* size, LPVOID reserved);
BOOL SetUrlCacheGroupAttributeA(GROUPID groupId, DWORD flags, DWORD attributes,
                                INTERNET_CACHE_GROUP_INFOA* info, LPVOID reserved);

// Stores a fetched page in one call: a new cache file with `bytes`, recorded
// as a normal entry of `url` with the response `headers` (CR LF lines) and
// the file `extension` (without dot; empty: the address's own).
bool CacheStorePage(const String& url, const QByteArray& bytes, const String& headers,
                    const String& extension);
// The same for the text of a page (written as UTF-8), on the cache's own
// writer thread, so that the caller does not wait for the file and the index.
// Stores run one after the other in the order they were asked for; closing
// the cache (FinalizeUrlCache) first finishes every store still waiting.
void CacheStorePageLater(const String& url, const String& text, const String& headers,
                         const String& extension);
// Waits until every store asked for so far is done, and the removal of the
// files of a large batch of deletes (below); false when `timeoutMs`
// (negative: no limit) ran out first.
bool CacheWaitForStores(int timeoutMs = -1);

// ---------------------------------------------------------------- other stores

// One entry as the cache answers it. Times are FILETIME values (UTC) as
// 64-bit numbers; the local file is a name in the cache folder (empty: none).
struct UrlCacheRecord {
  String url, localFile, headers, extension;
  DWORD type = NORMAL_CACHE_ENTRY;
  DWORD useCount = 0, hitRate = 0, exemptDelta = 0;
  Int64 size = 0, lastModified = 0, expire = 0, lastAccess = 0, lastSync = 0;
  GROUPID group = 0;
};

// A store of its own whose items the cache shows as entries under an address
// prefix: the engine's cookies ("Cookie:<user>@<host><path>") and the URL
// history's visits ("Visited: <user>@<address>"). The layer that owns the
// store registers it. Searches list its records (of group 0) after the
// cache's own entries; looking up or deleting an address under its prefix
// that the cache itself does not hold goes to the store. It is called on the
// caller's thread, never under the cache's lock.
class IUrlCacheSource {
 public:
  virtual ~IUrlCacheSource() = default;
  virtual std::vector<UrlCacheRecord> Records() = 0;
  virtual bool Find(const String& url, UrlCacheRecord& record) = 0;
  virtual bool Remove(const String& url) = 0;
};
// Registers the store for addresses beginning with `prefix` (compared without
// case), replacing one of the same prefix; null removes it.
void RegisterUrlCacheSource(const String& prefix, std::shared_ptr<IUrlCacheSource> source);
// The user named in cookie and visit addresses: the login name.
String UrlCacheUserName();
// A time as a FILETIME value; 0 for an invalid time.
Int64 FileTimeValue(const QDateTime& time);

// Conversions between FILETIME and milliseconds since 1970 (UTC).
FILETIME FileTimeFromMSecsSinceEpoch(Int64 msecs);
Int64 MSecsSinceEpochFromFileTime(const FILETIME& time);
