#pragma once
// The URL history object (CLSID_CUrlHistory) over the URL history store of
// the program (UrlHistoryStore()).
#include "platform/shell/ShlObj.h"

inline constexpr DWORD STATURL_QUERYFLAG_ISCACHED = 0x00010000;
inline constexpr DWORD STATURL_QUERYFLAG_NOURL = 0x00020000;
inline constexpr DWORD STATURL_QUERYFLAG_NOTITLE = 0x00040000;
inline constexpr DWORD STATURL_QUERYFLAG_TOPLEVEL = 0x00080000;
inline constexpr DWORD STATURLFLAG_ISCACHED = 0x00000001;
inline constexpr DWORD STATURLFLAG_ISTOPLEVEL = 0x00000002;
inline constexpr DWORD ADDURL_ADDTOHISTORYANDCACHE = 0;
inline constexpr DWORD ADDURL_ADDTOCACHE = 1;

// What the history knows of an address. The strings are task memory for the
// receiver (null when not asked for, or no title).
struct STATURL {
  DWORD cbSize = sizeof(STATURL);
  LPWSTR pwcsUrl = nullptr;
  LPWSTR pwcsTitle = nullptr;
  FILETIME ftLastVisited{};
  FILETIME ftLastUpdated{};
  FILETIME ftExpires{};
  DWORD dwFlags = 0;
};
using LPSTATURL = STATURL*;

struct IEnumSTATURL : IUnknown {
  virtual HRESULT Next(ULONG celt, LPSTATURL rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumSTATURL** ppenum) = 0;
  // Only addresses that begin with `poszFilter` (null or empty: all).
  virtual HRESULT SetFilter(LPCOLESTR poszFilter, DWORD dwFlags) = 0;
};
NOCTIVANE_DECLARE_IID(IEnumSTATURL, IUnknown, "{3C374A42-BAE4-11CF-BF7D-00AA006946EE}")

struct IUrlHistoryStg : IUnknown {
  // Records a visit now (ADDURL_ADDTOCACHE: not in the history).
  virtual HRESULT AddUrl(LPCOLESTR pocsUrl, LPCOLESTR pocsTitle, DWORD dwFlags) = 0;
  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the address is not recorded.
  virtual HRESULT DeleteUrl(LPCOLESTR pocsUrl, DWORD dwFlags) = 0;
  // S_OK and the record (which may be null), or
  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
  virtual HRESULT QueryUrl(LPCOLESTR pocsUrl, DWORD dwFlags, LPSTATURL lpSTATURL) = 0;
  virtual HRESULT BindToObject(LPCOLESTR pocsUrl, REFIID riid, void** ppvOut) = 0;
  // Every address, the most recently visited first.
  virtual HRESULT EnumUrls(IEnumSTATURL** ppEnum) = 0;
};
NOCTIVANE_DECLARE_IID(IUrlHistoryStg, IUnknown, "{3C374A41-BAE4-11CF-BF7D-00AA006946EE}")

struct IUrlHistoryStg2 : IUrlHistoryStg {
  virtual HRESULT AddUrlAndNotify(LPCOLESTR pocsUrl, LPCOLESTR pocsTitle, DWORD dwFlags, BOOL fWriteHistory,
                                  IOleCommandTarget* poctNotify, IUnknown* punkISFolder) = 0;
  virtual HRESULT ClearHistory() = 0;
};
NOCTIVANE_DECLARE_IID(IUrlHistoryStg2, IUrlHistoryStg, "{AFA0DC11-C313-11D0-831A-00C04FD5AE38}")

inline constexpr CLSID CLSID_CUrlHistory = GuidLiteral("{3C374A40-BAE4-11CF-BF7D-00AA006946EE}");
