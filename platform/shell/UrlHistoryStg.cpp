// The URL history object over the URL history store.
#include "platform/com/SnapshotEnum.h"
#include "platform/shell/ShellItems.h"
#include "platform/shell/UrlHist.h"
#include "platform/shell/UrlHistory.h"

using namespace shelldetail;

namespace {

HRESULT notRecorded() { return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); }

void fill(STATURL& out, const TUrlHistoryEntry& entry, DWORD queryFlags) {
  out.cbSize = sizeof(STATURL);
  out.pwcsUrl = (queryFlags & STATURL_QUERYFLAG_NOURL) ? nullptr : CoTaskMemDupString(entry.Url);
  out.pwcsTitle = (queryFlags & STATURL_QUERYFLAG_NOTITLE) || entry.Title.isEmpty()
                      ? nullptr
                      : CoTaskMemDupString(entry.Title);
  out.ftLastVisited = FileTimeOf(entry.LastVisited);
  out.ftLastUpdated = out.ftLastVisited;
  out.ftExpires = FILETIME{};
  out.dwFlags = STATURLFLAG_ISTOPLEVEL;
}

bool handOutStatUrl(const TUrlHistoryEntry* const& entry, STATURL& out) {
  fill(out, *entry, 0);
  return true;
}

// Walks the entries whose address starts with the filter.
class StatUrlEnumeration final
    : public SnapshotEnum<IEnumSTATURL, STATURL, const TUrlHistoryEntry*, handOutStatUrl> {
 public:
  explicit StatUrlEnumeration(std::vector<TUrlHistoryEntry> entries) : all_(std::move(entries)) {
    applyFilter();
  }

  HRESULT Clone(IEnumSTATURL** ppenum) override {
    if (!ppenum) return E_POINTER;
    auto copy = MakeCom<StatUrlEnumeration>(all_);
    copy->filter_ = filter_;
    copy->applyFilter();
    copy->pos_ = pos_;
    *ppenum = copy.Detach();
    return S_OK;
  }
  HRESULT SetFilter(LPCOLESTR poszFilter, DWORD) override {
    filter_ = OleStrToString(poszFilter);
    applyFilter();
    pos_ = 0;
    return S_OK;
  }

 private:
  void applyFilter() {
    items_.clear();
    for (const TUrlHistoryEntry& e : all_)
      if (filter_.isEmpty() || e.Url.startsWith(filter_, Qt::CaseInsensitive)) items_.push_back(&e);
  }

  std::vector<TUrlHistoryEntry> all_;
  String filter_;
};

class UrlHistory final : public ComObject<IUrlHistoryStg2> {
 public:
  HRESULT AddUrl(LPCOLESTR pocsUrl, LPCOLESTR pocsTitle, DWORD dwFlags) override {
    return AddUrlAndNotify(pocsUrl, pocsTitle, dwFlags, TRUE, nullptr, nullptr);
  }
  HRESULT DeleteUrl(LPCOLESTR pocsUrl, DWORD) override {
    if (!pocsUrl) return E_INVALIDARG;
    return UrlHistoryStore().DeleteEntry(OleStrToString(pocsUrl)) ? S_OK : notRecorded();
  }
  HRESULT QueryUrl(LPCOLESTR pocsUrl, DWORD dwFlags, LPSTATURL lpSTATURL) override {
    if (!pocsUrl) return E_INVALIDARG;
    TUrlHistoryEntry entry;
    if (!UrlHistoryStore().Find(OleStrToString(pocsUrl), entry)) return notRecorded();
    if (lpSTATURL) fill(*lpSTATURL, entry, dwFlags);
    return S_OK;
  }
  HRESULT BindToObject(LPCOLESTR, REFIID, void** ppvOut) override {
    if (ppvOut) *ppvOut = nullptr;
    return E_NOTIMPL;
  }
  HRESULT EnumUrls(IEnumSTATURL** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = MakeCom<StatUrlEnumeration>(UrlHistoryStore().AllEntries()).Detach();
    return S_OK;
  }
  HRESULT AddUrlAndNotify(LPCOLESTR pocsUrl, LPCOLESTR pocsTitle, DWORD dwFlags, BOOL fWriteHistory,
                          IOleCommandTarget*, IUnknown*) override {
    if (!pocsUrl || !*pocsUrl) return E_INVALIDARG;
    if ((dwFlags & ADDURL_ADDTOCACHE) || !fWriteHistory) return S_OK;
    return UrlHistoryStore().AddVisit(OleStrToString(pocsUrl), OleStrToString(pocsTitle)) ? S_OK : E_FAIL;
  }
  HRESULT ClearHistory() override { return UrlHistoryStore().Clear() ? S_OK : E_FAIL; }
};

}  // namespace

namespace shelldetail {

HRESULT CreateUrlHistory(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return MakeCom<UrlHistory>()->QueryInterface(riid, ppv);
}

}  // namespace shelldetail
