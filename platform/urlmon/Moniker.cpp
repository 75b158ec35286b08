// URL monikers, bind contexts, bind-status callback registration, address
// checks and the download helpers built on binding.
#include "platform/urlmon/UrlMonInternal_p.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <cstring>

using namespace urlmon_detail;

namespace urlmon_detail {

// ---------------------------------------------------------------- addresses

String SchemeOf(const String& url) {
  // A scheme is a letter and then letters, digits, "+", "-" or "." up to the
  // colon; a single letter is a drive, not a scheme.
  static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]+):"));
  const QRegularExpressionMatch match = scheme.match(url);
  return match.hasMatch() ? match.captured(1).toLower() : String();
}

namespace {

// Where the authority of "scheme://authority/..." begins and ends; -1 when
// the address has none.
qsizetype authorityBounds(const String& url, qsizetype& end) {
  const qsizetype marker = url.indexOf(QStringLiteral("://"));
  if (marker < 0 || SchemeOf(url).size() != marker) return -1;
  const qsizetype start = marker + 3;
  end = start;
  while (end < url.size() && url[end] != u'/' && url[end] != u'?' && url[end] != u'#' && url[end] != u'\\')
    ++end;
  return start;
}

}  // namespace

String HostOf(const String& url) {
  qsizetype end = 0;
  const qsizetype start = authorityBounds(url, end);
  if (start < 0) return String();
  String host = url.mid(start, end - start);
  host = host.mid(host.lastIndexOf(u'@') + 1);
  if (host.startsWith(u'[')) {
    const qsizetype close = host.indexOf(u']');
    host = close < 0 ? host.mid(1) : host.mid(1, close - 1);
  } else if (host.contains(u':')) {
    host.truncate(host.indexOf(u':'));
  }
  return host.toLower();
}

String CanonicalUrl(const String& url, bool canonicalize) {
  String text = url.trimmed();
  if (text.startsWith(u'/') && !text.startsWith(QStringLiteral("//")))
    return QUrl::fromLocalFile(text).toString(QUrl::FullyEncoded);
  const String scheme = SchemeOf(text);
  if (!canonicalize || scheme.isEmpty()) return text;
  text.replace(0, scheme.size(), scheme);
  qsizetype end = 0;
  const qsizetype start = authorityBounds(text, end);
  if (start < 0) return text;
  const String authority = text.mid(start, end - start);
  const qsizetype at = authority.lastIndexOf(u'@');
  const String lowered = authority.left(at + 1) + authority.mid(at + 1).toLower();
  text.replace(start, end - start, lowered);
  end = start + lowered.size();
  if ((scheme == u"http" || scheme == u"https" || scheme == u"ftp") &&
      (end == text.size() || text[end] == u'?' || text[end] == u'#'))
    text.insert(end, u'/');
  return text;
}

CLSID ProtocolOf(const String& url) {
  const String scheme = SchemeOf(url);
  if (scheme == u"https") return CLSID_HttpSProtocol;
  if (scheme == u"file") return CLSID_FileProtocol;
  if (scheme == u"about") return CLSID_AboutProtocol;
  return CLSID_HttpProtocol;
}

}  // namespace urlmon_detail

namespace {

// ---------------------------------------------------------------- bind contexts

class BindCtx : public ComObject<IBindCtx> {
 public:
  BindCtx() { options_ = {sizeof(BIND_OPTS), BIND_MAYBOTHERUSER, STGM_READWRITE, 0}; }

  HRESULT RegisterObjectBound(IUnknown* punk) override {
    if (!punk) return E_INVALIDARG;
    bound_.push_back(punk);
    return S_OK;
  }
  HRESULT RevokeObjectBound(IUnknown* punk) override {
    const auto it = std::find_if(bound_.begin(), bound_.end(),
                                 [&](const ComPtr<IUnknown>& p) { return p.Get() == punk; });
    if (it == bound_.end()) return MK_E_NOTBOUND;
    bound_.erase(it);
    return S_OK;
  }
  HRESULT ReleaseBoundObjects() override {
    bound_.clear();
    return S_OK;
  }
  HRESULT SetBindOptions(BIND_OPTS* pbindopts) override {
    if (!pbindopts) return E_INVALIDARG;
    options_ = *pbindopts;
    options_.cbStruct = sizeof(BIND_OPTS);
    return S_OK;
  }
  HRESULT GetBindOptions(BIND_OPTS* pbindopts) override {
    if (!pbindopts) return E_INVALIDARG;
    *pbindopts = options_;
    return S_OK;
  }
  HRESULT GetRunningObjectTable(IRunningObjectTable** pprot) override {
    if (pprot) *pprot = nullptr;
    return E_NOTIMPL;
  }
  HRESULT RegisterObjectParam(LPOLESTR pszKey, IUnknown* punk) override {
    if (!pszKey || !punk) return E_INVALIDARG;
    params_.insert(OleStrToString(pszKey), ComPtr<IUnknown>(punk));
    return S_OK;
  }
  HRESULT GetObjectParam(LPOLESTR pszKey, IUnknown** ppunk) override {
    if (!ppunk) return E_INVALIDARG;
    *ppunk = nullptr;
    const auto it = params_.constFind(OleStrToString(pszKey));
    if (it == params_.constEnd()) return E_FAIL;
    return it->CopyTo(ppunk);
  }
  HRESULT EnumObjectParam(IEnumString** ppenum) override {
    if (!ppenum) return E_INVALIDARG;
    *ppenum = MakeCom<StringEnumerator>(params_.keys()).Detach();
    return S_OK;
  }
  HRESULT RevokeObjectParam(LPOLESTR pszKey) override {
    return params_.remove(OleStrToString(pszKey)) ? S_OK : S_FALSE;
  }

 private:
  BIND_OPTS options_;
  std::vector<ComPtr<IUnknown>> bound_;
  QMap<String, ComPtr<IUnknown>> params_;
};

// ---------------------------------------------------------------- URL monikers

class UrlMoniker : public ComObject<IMoniker> {
 public:
  explicit UrlMoniker(String url) : url_(std::move(url)) {}

  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_INVALIDARG;
    *pClassID = CLSID_StdURLMoniker;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream*) override { return E_NOTIMPL; }
  HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT GetSizeMax(std::uint64_t*) override { return E_NOTIMPL; }

  HRESULT BindToObject(IBindCtx* pbc, IMoniker*, REFIID riidResult, void** ppvResult) override {
    if (!ppvResult) return E_INVALIDARG;
    return StartBinding(url_, pbc, true, riidResult, ppvResult);
  }
  HRESULT BindToStorage(IBindCtx* pbc, IMoniker*, REFIID riid, void** ppvObj) override {
    if (!ppvObj) return E_INVALIDARG;
    return StartBinding(url_, pbc, false, riid, ppvObj);
  }
  HRESULT Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** ppmkReduced) override {
    if (ppmkReduced) *ppmkReduced = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ComposeWith(IMoniker*, BOOL, IMoniker** ppmkComposite) override {
    if (ppmkComposite) *ppmkComposite = nullptr;
    return E_NOTIMPL;
  }
  HRESULT Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
    if (ppenumMoniker) *ppenumMoniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT IsEqual(IMoniker* pmkOtherMoniker) override {
    String other;
    return OtherUrl(pmkOtherMoniker, other) && other == url_ ? S_OK : S_FALSE;
  }
  HRESULT Hash(DWORD* pdwHash) override {
    if (!pdwHash) return E_INVALIDARG;
    *pdwHash = DWORD(qHash(url_));
    return S_OK;
  }
  HRESULT IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  HRESULT Inverse(IMoniker** ppmk) override {
    if (ppmk) *ppmk = nullptr;
    return E_NOTIMPL;
  }
  HRESULT CommonPrefixWith(IMoniker*, IMoniker** ppmkPrefix) override {
    if (ppmkPrefix) *ppmkPrefix = nullptr;
    return E_NOTIMPL;
  }
  HRESULT RelativePathTo(IMoniker*, IMoniker** ppmkRelPath) override {
    if (ppmkRelPath) *ppmkRelPath = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* ppszDisplayName) override {
    if (!ppszDisplayName) return E_INVALIDARG;
    *ppszDisplayName = CoTaskMemDupString(url_);
    return S_OK;
  }
  HRESULT ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker** ppmkOut) override {
    if (ppmkOut) *ppmkOut = nullptr;
    return E_NOTIMPL;
  }
  HRESULT IsSystemMoniker(DWORD* pdwMksys) override {
    if (!pdwMksys) return E_INVALIDARG;
    *pdwMksys = MKSYS_URLMONIKER;
    return S_OK;
  }

  // The address of another URL moniker.
  static bool OtherUrl(IMoniker* moniker, String& url) {
    DWORD kind = MKSYS_NONE;
    if (!moniker || FAILED(moniker->IsSystemMoniker(&kind)) || kind != MKSYS_URLMONIKER) return false;
    OwnedTaskMem<OLECHAR> name;
    if (FAILED(moniker->GetDisplayName(nullptr, nullptr, name.out()))) return false;
    url = OleStrToString(name.get());
    return true;
  }

 private:
  const String url_;
};

// ---------------------------------------------------------------- downloads

// The callback of URLDownloadToFileW and URLDownloadToCacheFileW: takes the
// data as it arrives (into `target` when set, else it is dropped, the cache
// file holding it), keeps the cache file's name, and passes the client's
// callback what it is told about (start, progress, stop) and what it is asked
// for (IHttpNegotiate, IAuthenticate, its services).
class DownloadCallback : public ComObject<IBindStatusCallback> {
 public:
  DownloadCallback(IBindStatusCallback* client, DWORD bindf) : client_(client), bindf_(bindf) {}

  // Runs before the client hears of the end; its answer is the result.
  std::function<HRESULT(HRESULT)> finisher;
  QSaveFile* target = nullptr;  // opened with the first data
  bool writeFailed = false;
  String cacheFile;
  bool stopped = false;
  HRESULT result = S_OK;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    const HRESULT hr = ComObject::QueryInterface(riid, ppv);
    if (SUCCEEDED(hr) || !client_ || riid == IID_IBindStatusCallbackEx) return hr;
    return client_->QueryInterface(riid, ppv);
  }

  HRESULT OnStartBinding(DWORD dwReserved, IBinding* pib) override {
    binding_ = pib;
    return client_ ? client_->OnStartBinding(dwReserved, pib) : S_OK;
  }
  HRESULT GetPriority(LONG* pnPriority) override {
    if (client_) return client_->GetPriority(pnPriority);
    if (pnPriority) *pnPriority = 0;
    return S_OK;
  }
  HRESULT OnLowResource(DWORD reserved) override { return client_ ? client_->OnLowResource(reserved) : S_OK; }
  HRESULT OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                     LPCWSTR szStatusText) override {
    if (ulStatusCode == BINDSTATUS_CACHEFILENAMEAVAILABLE) cacheFile = OleStrToString(szStatusText);
    if (!client_) return S_OK;
    const HRESULT hr = client_->OnProgress(ulProgress, ulProgressMax, ulStatusCode, szStatusText);
    if (hr == E_ABORT && binding_) binding_->Abort();
    return S_OK;
  }
  HRESULT OnStopBinding(HRESULT hresult, LPCWSTR szError) override {
    stopped = true;
    result = finisher ? finisher(hresult) : hresult;
    binding_.Reset();
    if (client_) client_->OnStopBinding(result, result == hresult ? szError : nullptr);
    return S_OK;
  }
  HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override {
    if (!grfBINDF || !pbindinfo) return E_INVALIDARG;
    *grfBINDF = bindf_;
    const ULONG size = pbindinfo->cbSize;
    std::memset(static_cast<void*>(pbindinfo), 0, sizeof(BINDINFO));
    pbindinfo->cbSize = size;
    return S_OK;
  }
  HRESULT OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* pstgmed) override {
    if (!pstgmed || pstgmed->tymed != TYMED_ISTREAM || !pstgmed->pstm) return S_OK;
    buffer_.resize(kReadPiece);
    for (;;) {
      ULONG got = 0;
      pstgmed->pstm->Read(buffer_.data(), ULONG(buffer_.size()), &got);
      if (got == 0) break;
      if (target && !writeFailed &&
          ((!target->isOpen() && !target->open(QIODevice::WriteOnly)) ||
           target->write(buffer_.constData(), got) != qint64(got))) {
        writeFailed = true;
        if (binding_) binding_->Abort();
      }
    }
    return S_OK;
  }
  HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  static constexpr qsizetype kReadPiece = 256 * 1024;

  ComPtr<IBindStatusCallback> client_;
  ComPtr<IBinding> binding_;
  const DWORD bindf_;
  QByteArray buffer_;
};

// Binds `url` to storage on the calling thread through `callback`; the
// result the callback settled on, or the binding's own failure.
HRESULT download(LPCWSTR url, DownloadCallback* callback) {
  ComPtr<IMoniker> moniker;
  HRESULT hr = CreateURLMonikerEx(nullptr, url, &moniker, URL_MK_UNIFORM);
  if (FAILED(hr)) return hr;
  ComPtr<IBindCtx> bindCtx;
  hr = CreateAsyncBindCtx(0, callback, nullptr, &bindCtx);
  if (FAILED(hr)) return hr;
  ComPtr<IStream> stream;
  hr = moniker->BindToStorage(bindCtx.Get(), nullptr, IID_IStream, &stream);
  RevokeBindStatusCallback(bindCtx.Get(), callback);
  return callback->stopped ? callback->result : hr;
}

// The protocols of the system, which IsValidURL knows.
const QStringList& knownSchemes() {
  static const QStringList schemes = {
      QStringLiteral("about"),      QStringLiteral("cdl"),     QStringLiteral("dvd"),
      QStringLiteral("file"),       QStringLiteral("ftp"),     QStringLiteral("gopher"),
      QStringLiteral("http"),       QStringLiteral("ipp"),     QStringLiteral("its"),
      QStringLiteral("javascript"), QStringLiteral("local"),   QStringLiteral("mailto"),
      QStringLiteral("mk"),         QStringLiteral("msdaipp"), QStringLiteral("ms-help"),
      QStringLiteral("ms-its"),     QStringLiteral("mso"),     QStringLiteral("res"),
      QStringLiteral("sysimage"),   QStringLiteral("tv"),      QStringLiteral("vbscript"),
      QStringLiteral("via"),        QStringLiteral("https"),
  };
  return schemes;
}

bool validAuthority(const String& url) {
  qsizetype end = 0;
  const qsizetype start = url.indexOf(QStringLiteral("://"));
  if (start < 0) return false;
  end = start + 3;
  while (end < url.size() && url[end] != u'/' && url[end] != u'?' && url[end] != u'#') ++end;
  String authority = url.mid(start + 3, end - start - 3);
  authority = authority.mid(authority.lastIndexOf(u'@') + 1);
  static const QRegularExpression hostPort(
      QStringLiteral("^(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9\\-_.~%]+)(:[0-9]{1,5})?$"));
  const QRegularExpressionMatch match = hostPort.match(authority);
  if (!match.hasMatch()) return false;
  const String port = match.captured(2);
  return port.isEmpty() || (port.mid(1).toInt() > 0 && port.mid(1).toInt() < 65536);
}

}  // namespace

// ---------------------------------------------------------------- functions

HRESULT CreateURLMonikerEx(IMoniker* pmkContext, LPCWSTR szURL, IMoniker** ppmk, DWORD dwFlags) {
  if (!ppmk) return E_INVALIDARG;
  *ppmk = nullptr;
  if (!szURL) return E_INVALIDARG;
  String url = String::fromUtf16(szURL).trimmed();
  if (url.isEmpty()) return MK_E_SYNTAX;
  String base;
  if (pmkContext && SchemeOf(url).isEmpty() && !url.startsWith(u'/') &&
      UrlMoniker::OtherUrl(pmkContext, base))
    url = QUrl(base).resolved(QUrl(url)).toString(QUrl::FullyEncoded);
  else if (pmkContext && url.startsWith(u'/') && UrlMoniker::OtherUrl(pmkContext, base) &&
           !HostOf(base).isEmpty())
    url = QUrl(base).resolved(QUrl(url)).toString(QUrl::FullyEncoded);
  url = CanonicalUrl(url, (dwFlags & URL_MK_NO_CANONICALIZE) == 0);
  *ppmk = MakeCom<UrlMoniker>(url).Detach();
  return S_OK;
}

HRESULT CreateURLMoniker(IMoniker* pmkContext, LPCWSTR szURL, IMoniker** ppmk) {
  return CreateURLMonikerEx(pmkContext, szURL, ppmk, URL_MK_LEGACY);
}

HRESULT CreateBindCtx(DWORD, IBindCtx** ppbc) {
  if (!ppbc) return E_INVALIDARG;
  *ppbc = MakeCom<BindCtx>().Detach();
  return S_OK;
}

HRESULT CreateAsyncBindCtx(DWORD, IBindStatusCallback* pbsc, IEnumFORMATETC* penumfmtetc, IBindCtx** ppbc) {
  if (!ppbc) return E_INVALIDARG;
  *ppbc = nullptr;
  if (!pbsc) return E_INVALIDARG;
  ComPtr<BindCtx> bindCtx = MakeCom<BindCtx>();
  bindCtx->RegisterObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), pbsc);
  if (penumfmtetc) bindCtx->RegisterObjectParam(const_cast<LPOLESTR>(u"_EnumFORMATETC_"), penumfmtetc);
  *ppbc = bindCtx.Detach();
  return S_OK;
}

HRESULT RegisterBindStatusCallback(IBindCtx* pbc, IBindStatusCallback* pbsc,
                                   IBindStatusCallback** ppbscPrevious, DWORD) {
  if (ppbscPrevious) *ppbscPrevious = nullptr;
  if (!pbc || !pbsc) return E_INVALIDARG;
  ComPtr<IUnknown> holder;
  if (SUCCEEDED(pbc->GetObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), &holder)) && holder) {
    ComPtr<IBindStatusCallback> previous = holder.As<IBindStatusCallback>();
    // Handing a callback itself back as its own predecessor would make it
    // forward its notifications to itself.
    if (previous && ppbscPrevious && !IsSameObject(previous.Get(), pbsc)) *ppbscPrevious = previous.Detach();
  }
  return pbc->RegisterObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), pbsc);
}

HRESULT RevokeBindStatusCallback(IBindCtx* pbc, IBindStatusCallback* pbsc) {
  if (!pbc || !pbsc) return E_INVALIDARG;
  ComPtr<IUnknown> holder;
  if (FAILED(pbc->GetObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), &holder)) || !holder ||
      !IsSameObject(holder.Get(), pbsc))
    return E_FAIL;
  return SUCCEEDED(pbc->RevokeObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY))) ? S_OK : E_FAIL;
}

HRESULT URLDownloadToFileW(IUnknown*, LPCWSTR szURL, LPCWSTR szFileName, DWORD, IBindStatusCallback* lpfnCB) {
  if (!szURL || !szFileName || !*szFileName) return E_INVALIDARG;
  const String target = String::fromUtf16(szFileName);
  // The body goes into a file beside the target as it arrives, which takes
  // the target's place only when the whole body is there.
  QSaveFile file(NormalizePath(target));
  ComPtr<DownloadCallback> callback =
      MakeCom<DownloadCallback>(lpfnCB, BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE);
  callback->target = &file;
  DownloadCallback* self = callback.Get();
  callback->finisher = [self, &file](HRESULT hr) {
    if (self->writeFailed) return E_ACCESSDENIED;
    if (FAILED(hr)) return hr;
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) return E_ACCESSDENIED;  // an empty body
    return file.commit() ? S_OK : E_ACCESSDENIED;
  };
  const HRESULT hr = download(szURL, callback.Get());
  // The client may keep the callback; the file ends here.
  callback->target = nullptr;
  callback->finisher = nullptr;
  return hr;
}

HRESULT URLDownloadToCacheFileW(IUnknown*, LPCWSTR szURL, LPWSTR szFileName, DWORD cchFileName, DWORD,
                                IBindStatusCallback* pBSC) {
  if (!szURL || !szFileName) return E_INVALIDARG;
  ComPtr<DownloadCallback> callback = MakeCom<DownloadCallback>(pBSC, BINDF_GETNEWESTVERSION);
  DownloadCallback* self = callback.Get();
  callback->finisher = [self](HRESULT hr) {
    return FAILED(hr) || !self->cacheFile.isEmpty() ? hr : INET_E_CANNOT_LOAD_DATA;
  };
  const HRESULT hr = download(szURL, callback.Get());
  if (FAILED(hr)) return hr;
  if (DWORD(callback->cacheFile.size()) + 1 > cchFileName) return E_OUTOFMEMORY;
  std::memcpy(szFileName, callback->cacheFile.utf16(), size_t(callback->cacheFile.size()) * sizeof(char16_t));
  szFileName[callback->cacheFile.size()] = 0;
  return S_OK;
}

HRESULT IsValidURL(IBindCtx*, LPCWSTR szURL, DWORD) {
  if (!szURL) return E_INVALIDARG;
  const String url = String::fromUtf16(szURL);
  if (url.isEmpty() || url.trimmed() != url) return S_FALSE;
  for (const QChar c : url)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return S_FALSE;
  const String scheme = SchemeOf(url);
  if (scheme.isEmpty() || !knownSchemes().contains(scheme)) return S_FALSE;
  const String rest = url.mid(scheme.size() + 1);
  if (rest.isEmpty()) return S_FALSE;
  if (scheme == u"http" || scheme == u"https" || scheme == u"ftp" || scheme == u"gopher")
    return rest.startsWith(QStringLiteral("//")) && validAuthority(url) ? S_OK : S_FALSE;
  if (scheme == u"file") return rest.size() > 2 || !rest.startsWith(QStringLiteral("//")) ? S_OK : S_FALSE;
  return S_OK;
}

String UrlMonUserAgent() {
  return QStringLiteral("Mozilla/5.0 (Windows NT 6.1; Trident/7.0; rv:11.0) like Gecko");
}

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (!medium) return;
  switch (medium->tymed) {
    case TYMED_ISTREAM:
      if (medium->pstm) medium->pstm->Release();
      break;
    case TYMED_FILE: CoTaskMemFree(medium->lpszFileName); break;
    default:  // a global block belongs to its owner (pUnkForRelease)
      break;
  }
  if (medium->pUnkForRelease) medium->pUnkForRelease->Release();
  std::memset(static_cast<void*>(medium), 0, sizeof(STGMEDIUM));
}

void ReleaseBindInfo(BINDINFO* bindInfo) {
  if (!bindInfo) return;
  const ULONG size = bindInfo->cbSize;
  CoTaskMemFree(bindInfo->szExtraInfo);
  CoTaskMemFree(bindInfo->szCustomVerb);
  ReleaseStgMedium(&bindInfo->stgmedData);
  if (bindInfo->pUnk) bindInfo->pUnk->Release();
  std::memset(static_cast<void*>(bindInfo), 0, sizeof(BINDINFO));
  bindInfo->cbSize = size;
}
