// The URL history object over the URL history store.
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

class StatUrlEnumeration final : public ComObject<IEnumSTATURL> {
 public:
  explicit StatUrlEnumeration(std::vector<TUrlHistoryEntry> entries) : all_(std::move(entries)) {
    applyFilter();
  }

  HRESULT Next(ULONG celt, LPSTATURL rgelt, ULONG* pceltFetched) override {
    if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < celt && position_ < shown_.size()) fill(rgelt[fetched++], *shown_[position_++], 0);
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    const std::size_t left = shown_.size() - position_;
    position_ += std::min<std::size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumSTATURL** ppenum) override {
    if (!ppenum) return E_POINTER;
    auto* copy = new StatUrlEnumeration(all_);
    copy->filter_ = filter_;
    copy->applyFilter();
    copy->position_ = position_;
    copy->AddRef();
    *ppenum = copy;
    return S_OK;
  }
  HRESULT SetFilter(LPCOLESTR poszFilter, DWORD) override {
    filter_ = OleStrToString(poszFilter);
    applyFilter();
    position_ = 0;
    return S_OK;
  }

 private:
  void applyFilter() {
    shown_.clear();
    for (const TUrlHistoryEntry& e : all_)
      if (filter_.isEmpty() || e.Url.startsWith(filter_, Qt::CaseInsensitive)) shown_.push_back(&e);
  }

  std::vector<TUrlHistoryEntry> all_;
  std::vector<const TUrlHistoryEntry*> shown_;
  String filter_;
  std::size_t position_ = 0;
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
    *ppEnum = new StatUrlEnumeration(UrlHistoryStore().AllEntries());
    (*ppEnum)->AddRef();
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
