#include "EmbeddedWB/Source/IECache.h"

#include "platform/winapi/FileApi.h"
#include "platform/winapi/Modules.h"
#include "platform/wininet/UrlCache.h"

#include <cstring>
#include <limits>

namespace IECache {

namespace {

// The type bit of each filter option, by ordinal.
constexpr quint32 kFilterBits[] = {
    NORMAL_CACHE_ENTRY,       STABLE_CACHE_ENTRY,     STICKY_CACHE_ENTRY,
    COOKIE_CACHE_ENTRY,       URLHISTORY_CACHE_ENTRY, TRACK_OFFLINE_CACHE_ENTRY,
    TRACK_ONLINE_CACHE_ENTRY, SPARSE_CACHE_ENTRY,     OCX_CACHE_ENTRY};

using FindFirstGroupProc = decltype(&FindFirstUrlCacheGroup);
using FindNextGroupProc = decltype(&FindNextUrlCacheGroup);
using GetGroupAttributeProc = decltype(&GetUrlCacheGroupAttributeA);
using SetGroupAttributeProc = decltype(&SetUrlCacheGroupAttributeA);
using FindFirstExAProc = decltype(&FindFirstUrlCacheEntryExA);
using FindFirstExWProc = decltype(&FindFirstUrlCacheEntryExW);
using FindNextExWProc = decltype(&FindNextUrlCacheEntryExW);
using FindCloseProc = decltype(&FindCloseUrlCache);
using GetEntryInfoExProc = decltype(&GetUrlCacheEntryInfoExW);
using DeleteEntryProc = decltype(&DeleteUrlCacheEntryW);
using CreateEntryProc = decltype(&CreateUrlCacheEntryW);
using CommitEntryProc = decltype(&CommitUrlCacheEntryW);

// The cache API as found in the module.
struct CacheApi {
  HMODULE module = nullptr;
  FindFirstGroupProc findFirstGroup = nullptr;
  FindNextGroupProc findNextGroup = nullptr;
  GetGroupAttributeProc getGroupAttribute = nullptr;
  SetGroupAttributeProc setGroupAttribute = nullptr;
  FindFirstExAProc findFirstExA = nullptr;
  FindFirstExWProc findFirst = nullptr;
  FindNextExWProc findNext = nullptr;
  FindCloseProc findClose = nullptr;
  GetEntryInfoExProc getEntryInfo = nullptr;
  DeleteEntryProc deleteEntry = nullptr;
  CreateEntryProc createEntry = nullptr;
  CommitEntryProc commitEntry = nullptr;
};

CacheApi api;
bool apiFound = false;

template <class P>
bool lookUp(HMODULE module, const char* name, P& proc) {
  proc = reinterpret_cast<P>(GetProcAddress(module, name));
  return proc != nullptr;
}

const char16_t* prefixOf(TSearchPattern pattern) {
  switch (pattern) {
    case spCookies: return u"Cookie:";
    case spHistory: return u"Visited:";
    case spUrl: return u"";
    case spAll: break;
  }
  return nullptr;
}

constexpr Int64 kMSecsPerDay = 86400000;
constexpr Int64 kUnixEpochDay = 25569;  // 1970-01-01 as a TDateTime
constexpr Int64 kOffsetSpan = 15 * 60 * 1000;

Int64 FloorDiv(Int64 a, Int64 b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }

// The local time's offset from UTC at a UTC instant, in milliseconds. The
// zone's rules are asked once per quarter hour (the finest step in which
// offsets change): records of one listing mostly share a few.
Int64 LocalOffsetMSecs(Int64 utcMSecs) {
  struct Span {
    Int64 start = std::numeric_limits<Int64>::min();
    Int64 offset = 0;
    bool uniform = false;
  };
  thread_local Span span;
  const auto offsetAt = [](Int64 msecs) {
    return Int64(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toLocalTime().offsetFromUtc()) * 1000;
  };
  const Int64 start = FloorDiv(utcMSecs, kOffsetSpan) * kOffsetSpan;
  if (span.start != start) {
    span.start = start;
    span.offset = offsetAt(start);
    span.uniform = offsetAt(start + kOffsetSpan - 1) == span.offset;
  }
  return span.uniform ? span.offset : offsetAt(utcMSecs);
}

// FILETIME (UTC) -> local TDateTime; 0 for a value no calendar holds.
TDateTime LocalDateTime(const FILETIME& time) {
  const quint64 value = (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  if (value >= 0x8000000000000000ull) return 0;
  const Int64 utc = MSecsSinceEpochFromFileTime(time);
  const Int64 local = utc + LocalOffsetMSecs(utc);
  const Int64 days = FloorDiv(local, kMSecsPerDay);
  const double fraction = double(local - days * kMSecsPerDay) / double(kMSecsPerDay);
  // Before 1899-12-30 the day counts down and the time of day still counts up.
  const Int64 day = days + kUnixEpochDay;
  return day < 0 ? double(day) - fraction : double(day) + fraction;
}

FILETIME UtcFileTime(TDateTime local) {
  return FileTimeFromMSecsSinceEpoch(DateTimeToQDateTime(local).toMSecsSinceEpoch());
}

String WideText(const char16_t* text) { return text ? String::fromUtf16(text) : String(); }

const char16_t* Wide(const String& text) { return reinterpret_cast<const char16_t*>(text.utf16()); }

}  // namespace

bool LoadCacheGroupApi() {
  if (apiFound && api.module && GetModuleHandleW(u"wininet.dll") == api.module) return true;
  apiFound = false;
  CacheApi found;
  found.module = GetModuleHandleW(u"wininet.dll");
  if (!found.module) found.module = LoadLibraryW(u"wininet.dll");
  if (!found.module) return false;
  // The group functions and the narrow search first, as the cache browser
  // has always asked for them, then the entry functions it calls.
  const bool all = lookUp(found.module, "FindFirstUrlCacheGroup", found.findFirstGroup) &&
                   lookUp(found.module, "FindNextUrlCacheGroup", found.findNextGroup) &&
                   lookUp(found.module, "GetUrlCacheGroupAttributeA", found.getGroupAttribute) &&
                   lookUp(found.module, "SetUrlCacheGroupAttributeA", found.setGroupAttribute) &&
                   lookUp(found.module, "FindFirstUrlCacheEntryExA", found.findFirstExA) &&
                   lookUp(found.module, "FindFirstUrlCacheEntryExW", found.findFirst) &&
                   lookUp(found.module, "FindNextUrlCacheEntryExW", found.findNext) &&
                   lookUp(found.module, "FindCloseUrlCache", found.findClose) &&
                   lookUp(found.module, "GetUrlCacheEntryInfoExW", found.getEntryInfo) &&
                   lookUp(found.module, "DeleteUrlCacheEntryW", found.deleteEntry) &&
                   lookUp(found.module, "CreateUrlCacheEntryW", found.createEntry) &&
                   lookUp(found.module, "CommitUrlCacheEntryW", found.commitEntry);
  if (!all) return false;
  api = found;
  apiFound = true;
  return true;
}

quint32 FilterMask(const TFilterOptions& options) {
  quint32 mask = 0;
  for (int i = 0; i < int(std::size(kFilterBits)); ++i)
    if (options.Contains(TFilterOption(i))) mask |= kFilterBits[i];
  return mask;
}

// ---------------------------------------------------------------- component

TIECache::TIECache(TComponent* AOwner) : TComponent(AOwner) {
  ClearEntryInfo();
  SetFilterOptions(
      {NORMAL_ENTRY, STICKY_ENTRY, COOKIE_ENTRY, URLHISTORY_ENTRY, TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY});
}

TIECache::~TIECache() {
  if (searchHandle_ && apiFound) api.findClose(searchHandle_);
}

void TIECache::SetFilterOptions(const TFilterOptions& value) {
  filterOptions_ = value;
  mask_ = FilterMask(value);
}

bool TIECache::LibraryFound() const { return LoadCacheGroupApi(); }

void TIECache::ClearEntryInfo() { EntryInfo = TEntryInfo(); }

void TIECache::fillEntryInfo(const void* buffer) {
  const auto* info = static_cast<const INTERNET_CACHE_ENTRY_INFOW*>(buffer);
  EntryInfo.SourceUrl = WideText(info->lpszSourceUrlName);
  EntryInfo.LocalFile = WideText(info->lpszLocalFileName);
  EntryInfo.EntryType = info->CacheEntryType;
  EntryInfo.UseCount = info->dwUseCount;
  EntryInfo.HitRate = info->dwHitRate;
  EntryInfo.Size = Int64((quint64(info->dwSizeHigh) << 32) | info->dwSizeLow);
  EntryInfo.LastModified = LocalDateTime(info->LastModifiedTime);
  EntryInfo.ExpireTime = LocalDateTime(info->ExpireTime);
  EntryInfo.LastAccess = LocalDateTime(info->LastAccessTime);
  EntryInfo.LastSync = LocalDateTime(info->LastSyncTime);
  EntryInfo.HeaderInfo = info->lpHeaderInfo
                             ? String::fromUtf16(info->lpHeaderInfo, qsizetype(info->dwHeaderInfoSize))
                             : String();
  EntryInfo.FileExtension = WideText(info->lpszFileExtension);
  EntryInfo.ExemptDelta = info->dwExemptDelta;
}

bool TIECache::closeSearch() {
  const bool closed = api.findClose(searchHandle_) != FALSE;
  searchHandle_ = nullptr;
  return closed;
}

DWORD TIECache::FindFirstEntry(Int64 GroupId) {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  // A search still open from an earlier call is ended first.
  if (searchHandle_) closeSearch();
  DWORD size = 0;
  const char16_t* prefix = prefixOf(searchPattern_);
  HANDLE handle = api.findFirst(prefix, 0, mask_, GroupId, nullptr, &size, nullptr, nullptr, nullptr);
  if (!handle && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer_.resize((size + sizeof(quint64) - 1) / sizeof(quint64));
    handle = api.findFirst(prefix, 0, mask_, GroupId,
                           reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer_.data()), &size, nullptr,
                           nullptr, nullptr);
  }
  if (!handle) return GetLastError();
  searchHandle_ = handle;
  fillEntryInfo(buffer_.data());
  return ERROR_SUCCESS;
}

DWORD TIECache::FindNextEntry() {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  DWORD size = 0;
  BOOL ok = api.findNext(searchHandle_, nullptr, &size, nullptr, nullptr, nullptr);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer_.resize((size + sizeof(quint64) - 1) / sizeof(quint64));
    ok = api.findNext(searchHandle_, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer_.data()), &size,
                      nullptr, nullptr, nullptr);
  }
  if (!ok) return GetLastError();
  fillEntryInfo(buffer_.data());
  return ERROR_SUCCESS;
}

bool TIECache::EnumerateEntries(Int64 GroupId) {
  if (!LoadCacheGroupApi()) return false;
  cancel_ = false;
  DWORD result = FindFirstEntry(GroupId);
  if (result == ERROR_SUCCESS) {
    if (OnEntry) OnEntry(this, cancel_);
    while (result == ERROR_SUCCESS && !cancel_) {
      result = FindNextEntry();
      if (result == ERROR_SUCCESS && OnEntry) OnEntry(this, cancel_);
    }
  }
  return closeSearch();
}

DWORD TIECache::QueryEntryInfo(const String& URL) {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  DWORD size = 0;
  api.getEntryInfo(Wide(URL), nullptr, &size, nullptr, nullptr, nullptr, 0);
  if (size == 0) return GetLastError();
  std::vector<quint64> buffer((size + sizeof(quint64) - 1) / sizeof(quint64));
  if (!api.getEntryInfo(Wide(URL), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()), &size,
                        nullptr, nullptr, nullptr, 0))
    return GetLastError();
  fillEntryInfo(buffer.data());
  return ERROR_SUCCESS;
}

DWORD TIECache::DeleteEntry(const String& URL) {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  if (!api.deleteEntry(Wide(URL))) return GetLastError();
  ClearEntryInfo();
  return ERROR_SUCCESS;
}

DWORD TIECache::DeleteAllEntries() {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  if (FindFirstEntry(0) == ERROR_SUCCESS) {
    do {
      DeleteEntry(EntryInfo.SourceUrl);
    } while (FindNextEntry() == ERROR_SUCCESS);
  }
  return closeSearch() ? 1 : 0;
}

DWORD TIECache::CreateEntry(const String& URL, const String& Extension, String& LocalFile, Int64 Size) {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  char16_t name[261] = {};
  // The expected size is only a hint to the cache.
  const DWORD expected = Size < 0 || Size > 0xFFFFFFFFll ? 0xFFFFFFFFu : DWORD(Size);
  if (!api.createEntry(Wide(URL), expected, Wide(Extension), name, 0)) return GetLastError();
  LocalFile = String::fromUtf16(name);
  return ERROR_SUCCESS;
}

DWORD TIECache::AddFileToCache(const String& URL, const String& FileName, quint32 EntryType,
                               TDateTime ExpireTime) {
  if (!LoadCacheGroupApi()) return ERROR_FILE_NOT_FOUND;
  if (!FileExists(FileName)) return ERROR_FILE_NOT_FOUND;
  const Int64 size = FileSizeOf(FileName);
  const String extension = ExtractFileExt(FileName).mid(1);
  String localFile;
  if (const DWORD created = CreateEntry(URL, extension, localFile, size); created != ERROR_SUCCESS)
    return created;
  // The reserved file goes again when the entry cannot be made of it.
  const auto dropReserved = [&localFile] {
    const DWORD error = GetLastError();
    DeleteFile(localFile);
    return error;
  };
  if (!CopyFileW(Wide(FileName), Wide(localFile), FALSE)) return dropReserved();
  if (!api.commitEntry(Wide(URL), Wide(localFile), UtcFileTime(ExpireTime), UtcFileTime(Now()), EntryType,
                       nullptr, 0, Wide(extension), nullptr))
    return dropReserved();
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- unit

void initialize() {
  RegisterClass<TIECache>();
  RegisterEvents<TIECache>(
      {EventEntry("OnEntry", &TIECache::OnEntry), EventEntry("OnGroup", &TIECache::OnGroup)});
  LoadCacheGroupApi();
}

}  // namespace IECache
