#pragma once
// TIECache lists the system's URL cache (the one the browser control fills)
// entry by entry, reads one entry's record by address, deletes one entry or
// every entry of a search, and copies a local file into the cache under an
// address. Every operation answers a Windows error code (0: success) unless
// its comment says otherwise; nothing is raised or shown. The cache API is
// reached through the "wininet.dll" module; without it every operation
// answers ERROR_FILE_NOT_FOUND (2).
#include "platform/classlib/Components.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"

#include <functional>
#include <vector>

namespace IECache {
Q_NAMESPACE

// The entry types a search returns; each member adds its type bit to the
// search's mask.
enum TFilterOption {
  NORMAL_ENTRY,
  STABLE_ENTRY,
  STICKY_ENTRY,
  COOKIE_ENTRY,
  URLHISTORY_ENTRY,
  TRACK_OFFLINE_ENTRY,
  TRACK_ONLINE_ENTRY,
  SPARSE_ENTRY,
  OCX_ENTRY,
};
Q_ENUM_NS(TFilterOption)
using TFilterOptions = TSet<TFilterOption>;

// The address prefix of a search: none (every entry), "Cookie:", "Visited:",
// or the empty prefix (plain addresses only).
enum TSearchPattern { spAll, spCookies, spHistory, spUrl };
Q_ENUM_NS(TSearchPattern)

// The record of one cache entry. Times are local; a time that cannot be
// converted is 0, and an unset one (the FILETIME 0, in 1601) lies before
// 1899 and so is negative.
struct TEntryInfo {
  String SourceUrl;
  String LocalFile;
  quint32 EntryType = 0;
  quint32 UseCount = 0;
  quint32 HitRate = 0;
  Int64 Size = 0;  // all 64 bits: entries of 2 GB and more keep their size
  TDateTime LastModified = 0;
  TDateTime ExpireTime = 0;
  TDateTime LastAccess = 0;
  TDateTime LastSync = 0;
  String HeaderInfo;
  String FileExtension;
  quint32 ExemptDelta = 0;
};

// A cache group's attributes; no operation of the component reads groups.
struct TGroupInfo {
  Int64 GroupId = 0;
  quint32 GroupFlags = 0;
  quint32 GroupType = 0;
  quint32 DiskUsage = 0;
  quint32 DiskQuota = 0;
  String GroupName;
};

using TOnEntryEvent = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGroupEvent = std::function<void(TObject* Sender, Int64 GroupID, bool& Cancel)>;

// The entry-type mask of a set of filter options.
quint32 FilterMask(const TFilterOptions& options);

class TIECache : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TFilterOptions FilterOptions READ FilterOptions WRITE SetFilterOptions)
  Q_PROPERTY(bool LibraryFound READ LibraryFound)
  Q_PROPERTY(TSearchPattern SearchPattern READ SearchPattern WRITE SetSearchPattern)
 public:
  // The default filter: normal, sticky, cookie, history and both tracking
  // types (mask 0x300035); pattern spAll.
  Q_INVOKABLE explicit TIECache(TComponent* AOwner);
  ~TIECache() override;

  TFilterOptions FilterOptions() const { return filterOptions_; }
  void SetFilterOptions(const TFilterOptions& value);
  // The entry-type mask of FilterOptions.
  quint32 Mask() const { return mask_; }
  bool LibraryFound() const;
  TSearchPattern SearchPattern() const { return searchPattern_; }
  void SetSearchPattern(TSearchPattern value) { searchPattern_ = value; }

  // Raises OnEntry once per entry found (group 0: every group), until the
  // handler sets Cancel; answers whether closing the search succeeded
  // (False when nothing was found, and without the cache API).
  bool EnumerateEntries(Int64 GroupId);
  // Fills EntryInfo for one address; a failure leaves it as it was.
  DWORD QueryEntryInfo(const String& URL);
  // Deletes one entry and, on success, empties EntryInfo.
  DWORD DeleteEntry(const String& URL);
  // Deletes every entry that a search of every group finds; answers the
  // result of closing the search (non-zero: closed; 0 when nothing was found).
  DWORD DeleteAllEntries();
  // Copies an existing file into the cache as the entry of `URL`, expiring at
  // `ExpireTime` (local). A failed copy or commit leaves no file behind.
  DWORD AddFileToCache(const String& URL, const String& FileName, quint32 EntryType, TDateTime ExpireTime);
  // Reserves a cache file name for an address.
  DWORD CreateEntry(const String& URL, const String& Extension, String& LocalFile, Int64 Size);
  // Open or continue a search, filling EntryInfo; ERROR_NO_MORE_ITEMS (259)
  // at the end.
  DWORD FindFirstEntry(Int64 GroupId);
  DWORD FindNextEntry();
  void ClearEntryInfo();

  // The record of the entry found or asked for last.
  TEntryInfo EntryInfo;

  TOnEntryEvent OnEntry;
  TOnGroupEvent OnGroup;

 private:
  // Takes the record from an entry buffer the cache filled.
  void fillEntryInfo(const void* info);
  // Closes the open search, answering the close's result.
  bool closeSearch();

  TFilterOptions filterOptions_;
  quint32 mask_ = 0;
  TSearchPattern searchPattern_ = spAll;
  void* searchHandle_ = nullptr;
  bool cancel_ = false;
  std::vector<quint64> buffer_;  // entry records, aligned for their pointers
};

// Whether the cache API is there: the cache group functions and the entry
// functions of "wininet.dll". The answer is kept while the module stays
// loaded.
bool LoadCacheGroupApi();

// Registers TIECache and its events for form streaming and looks for the
// cache API once.
void initialize();

}  // namespace IECache
