#include "platform/mshtml/LiveDocument.h"

#include "platform/com/ComObject.h"
#include "platform/com/TableDispatch.h"
#include "platform/mshtml/EditCommands_p.h"
#include "platform/mshtml/EditServices_p.h"
#include "platform/mshtml/Log_p.h"
#include "platform/mshtml/NativeElements.h"
#include "platform/rtl/SysUtils.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>

namespace {

// Zoom factors of the five text sizes.
constexpr double kTextSizeFactors[5] = {0.625, 0.8, 1.0, 1.2, 1.5};
constexpr int kMinOpticalZoom = 10;
constexpr int kMaxOpticalZoom = 1000;
const char* const kTextSizeProperty = "noctivaneTextSize";
const char* const kOpticalZoomProperty = "noctivaneOpticalZoom";

// A script literal of a string.
QString jsString(const QString& s) {
  const QByteArray json = QJsonDocument::fromVariant(QVariantList{s}).toJson(QJsonDocument::Compact);
  // "[...]" around the quoted string.
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

void applyZoom(QWebEnginePage* page) {
  // The engine takes factors from 0.25 to 5.
  const double factor = kTextSizeFactors[PageTextSize(page)] * PageOpticalZoom(page) / 100.0;
  page->setZoomFactor(std::clamp(factor, 0.25, 5.0));
}

// Reads everything from the stream's current position.
HRESULT readAll(IStream* stream, QByteArray& bytes) {
  char buffer[16384];
  for (;;) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer, sizeof buffer, &got);
    if (FAILED(hr)) return hr;
    bytes.append(buffer, int(got));
    if (got == 0) return S_OK;
  }
}

QString decodeHtml(const QByteArray& bytes) {
  // A byte-order mark or a meta charset decides; UTF-8 otherwise.
  QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
  if (!decoder.isValid()) decoder = QStringDecoder(QStringConverter::Utf8);
  return decoder.decode(bytes);
}

HRESULT setBstr(BSTR* out, const QString& value) {
  if (!out) return E_POINTER;
  *out = StringToBSTR(value);
  return S_OK;
}

// The event object of a script error: its fields by name.
class ScriptErrorEvent final : public comdisp::TableDispatch<ScriptErrorEvent, IHTMLEventObj> {
 public:
  explicit ScriptErrorEvent(const TPageScriptError& error) : TableDispatch(kTable), error_(error) {}

 private:
  template <auto Field>
  static HRESULT GetField(ScriptErrorEvent& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (result) OleVariant(self.error_.*Field).Detach(result);
    return S_OK;
  }
  static constexpr comdisp::DispMember<ScriptErrorEvent> kMembers[] = {
      {"errorLine", &GetField<&TPageScriptError::Line>},
      {"errorCharacter", &GetField<&TPageScriptError::Character>},
      {"errorCode", &GetField<&TPageScriptError::Code>},
      {"errorMessage", &GetField<&TPageScriptError::Message>},
      {"errorUrl", &GetField<&TPageScriptError::Url>},
  };
  static constexpr comdisp::DispTable<ScriptErrorEvent> kTable{kMembers, 1};

  TPageScriptError error_;
};

// The window of a document; it knows the event being reported, if any.
// It has no members by name.
class LiveWindow final : public comdisp::TableDispatch<LiveWindow, IHTMLWindow2> {
 public:
  explicit LiveWindow(const std::optional<TPageScriptError>& error) : error_(error) {}

  HRESULT get_event(IHTMLEventObj** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (error_) *p = MakeCom<ScriptErrorEvent>(*error_).Detach();
    return S_OK;
  }

 private:
  std::optional<TPageScriptError> error_;
};

// The location of a shown document: the address of the document the page
// shows at the time of each call, as the document itself knows it (an error
// page has an address of its own, not the one that failed).
class LiveLocation final : public comdisp::TableDispatch<LiveLocation, IHTMLLocation> {
 public:
  explicit LiveLocation(QWebEnginePage* page) : page_(page) {}

  // Names and ids are those of every location; the answers come from the
  // address of the moment.
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override {
    return nativedom::NewLocation(QUrl())->GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  }
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override {
    ComPtr<IHTMLLocation> now;
    if (HRESULT hr = current(now); FAILED(hr)) return hr;
    return now->Invoke(id, riid, lcid, flags, params, result, excepInfo, argErr);
  }

  HRESULT get_href(BSTR* p) override { return forward(&IHTMLLocation::get_href, p); }
  HRESULT get_protocol(BSTR* p) override { return forward(&IHTMLLocation::get_protocol, p); }
  HRESULT get_host(BSTR* p) override { return forward(&IHTMLLocation::get_host, p); }
  HRESULT get_hostname(BSTR* p) override { return forward(&IHTMLLocation::get_hostname, p); }
  HRESULT get_port(BSTR* p) override { return forward(&IHTMLLocation::get_port, p); }
  HRESULT get_pathname(BSTR* p) override { return forward(&IHTMLLocation::get_pathname, p); }
  HRESULT get_search(BSTR* p) override { return forward(&IHTMLLocation::get_search, p); }
  HRESULT get_hash(BSTR* p) override { return forward(&IHTMLLocation::get_hash, p); }
  HRESULT toString(BSTR* p) override { return forward(&IHTMLLocation::toString, p); }

 private:
  HRESULT current(ComPtr<IHTMLLocation>& location) {
    if (!page_) return E_UNEXPECTED;
    QVariant href;
    if (!RunPageScript(page_, QStringLiteral("location.href"), &href)) return E_FAIL;
    location = nativedom::NewLocation(QUrl(href.toString()));
    return S_OK;
  }
  HRESULT forward(HRESULT (IHTMLLocation::*getter)(BSTR*), BSTR* p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    ComPtr<IHTMLLocation> now;
    if (HRESULT hr = current(now); FAILED(hr)) return hr;
    return (now.Get()->*getter)(p);
  }

  QPointer<QWebEnginePage> page_;
};

// The document's root element, read by name: innerHTML, innerText and
// outerHTML of document.documentElement at each call.
class LiveRootElement final : public comdisp::TableDispatch<LiveRootElement, IDispatch> {
 public:
  explicit LiveRootElement(QWebEnginePage* page) : TableDispatch(kTable), page_(page) {}

 private:
  template <int N>
  static HRESULT Read(LiveRootElement& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!self.page_) return E_UNEXPECTED;
    QVariant v;
    const QString script =
        QStringLiteral("(function () { var e = document.documentElement; return e ? e.%1 : ''; })()")
            .arg(QLatin1String(kMembers[N].name));
    if (!RunPageScript(self.page_, script, &v)) return E_FAIL;
    comdisp::SetResult(result, StringToBSTR(v.toString()));
    return S_OK;
  }
  static constexpr comdisp::DispMember<LiveRootElement> kMembers[] = {
      {"innerHTML", &Read<0>}, {"innerText", &Read<1>}, {"outerHTML", &Read<2>}};
  static constexpr comdisp::DispTable<LiveRootElement> kTable{kMembers, 1};
  QPointer<QWebEnginePage> page_;
};

// The browser's own command group (CGID_IWebBrowser).
constexpr GUID kBrowserCommandGroup = GuidLiteral("{ED016940-BD5B-11CF-BA4E-00C04FD70816}");
constexpr DISPID kDocumentElementDispId = 1075;  // IHTMLDocument3::documentElement

// IDispatch answers a few members by name.
class LiveDocument final
    : public comdisp::TableDispatch<LiveDocument, IHTMLDocument2, IPersistStreamInit, IPersistFile,
                                    IOleCommandTarget, IViewObject, IServiceProvider> {
 public:
  LiveDocument(QWebEnginePage* page, const std::optional<TPageScriptError>& error,
               const TLiveDocumentHost& host)
      : TableDispatch(kTable), page_(page), error_(error), host_(host) {}

  // A picture, a text file or a PDF shown in the browser is no HTML document.
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    if (ppvObject && (riid == IID_IHTMLDocument2 || riid == IID_IHTMLDocument) && !showsHtml()) {
      *ppvObject = nullptr;
      return E_NOINTERFACE;
    }
    return TableDispatch::QueryInterface(riid, ppvObject);
  }

  // ---- IServiceProvider: the page's edit services
  HRESULT QueryService(REFGUID guidService, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (guidService != SID_SHTMLEditServices) return E_NOINTERFACE;
    if (!page_) return E_UNEXPECTED;
    ComPtr<IHTMLEditServices> services = PageEditServices(page_);
    return services ? services->QueryInterface(riid, ppvObject) : E_NOINTERFACE;
  }

  // ---- IHTMLDocument / IHTMLDocument2
  HRESULT get_Script(IDispatch** p) override { return notProvided(p); }
  HRESULT get_all(IHTMLElementCollection** p) override { return notProvided(p); }
  HRESULT get_body(IHTMLElement** p) override { return notProvided(p); }
  HRESULT get_activeElement(IHTMLElement** p) override { return notProvided(p); }
  HRESULT get_images(IHTMLElementCollection** p) override { return notProvided(p); }
  HRESULT get_links(IHTMLElementCollection** p) override { return notProvided(p); }
  HRESULT get_forms(IHTMLElementCollection** p) override { return notProvided(p); }
  HRESULT get_anchors(IHTMLElementCollection** p) override { return notProvided(p); }
  HRESULT get_scripts(IHTMLElementCollection** p) override { return notProvided(p); }
  HRESULT get_selection(IHTMLSelectionObject** p) override { return notProvided(p); }
  HRESULT get_frames(IHTMLFramesCollection2** p) override { return notProvided(p); }
  HRESULT get_location(IHTMLLocation** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    *p = MakeCom<LiveLocation>(page_.data()).Detach();
    return S_OK;
  }
  HRESULT get_parentWindow(IHTMLWindow2** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!page_) return E_UNEXPECTED;
    *p = MakeCom<LiveWindow>(error_).Detach();
    return S_OK;
  }
  HRESULT createElement(BSTR, IHTMLElement** p) override { return notProvided(p); }
  HRESULT elementFromPoint(LONG, LONG, IHTMLElement** p) override { return notProvided(p); }

  HRESULT put_title(BSTR v) override {
    return runVoid(QStringLiteral("document.title = %1;").arg(jsString(BSTRToString(v))));
  }
  HRESULT get_title(BSTR* p) override { return scriptString(QStringLiteral("document.title"), p); }

  HRESULT put_designMode(BSTR v) override {
    const QString mode = BSTRToString(v).toLower();
    if (mode != QLatin1String("on") && mode != QLatin1String("off") && mode != QLatin1String("inherit"))
      return E_INVALIDARG;
    // "Inherit" is the engine's "off" for a top-level document.
    return runVoid(QStringLiteral("document.designMode = %1;")
                       .arg(jsString(mode == QLatin1String("on") ? "on" : "off")));
  }
  HRESULT get_designMode(BSTR* p) override {
    if (!p) return E_POINTER;
    QVariant v;
    if (HRESULT hr = run(QStringLiteral("document.designMode"), &v); FAILED(hr)) return hr;
    return setBstr(p, v.toString() == QLatin1String("on") ? QStringLiteral("On") : QStringLiteral("Off"));
  }

  HRESULT get_readyState(BSTR* p) override {
    if (!p) return E_POINTER;
    if (!page_) return E_UNEXPECTED;
    if (page_->url().isEmpty()) return setBstr(p, QStringLiteral("uninitialized"));
    return scriptString(QStringLiteral("document.readyState"), p);
  }

  HRESULT put_URL(BSTR v) override {
    if (!page_) return E_UNEXPECTED;
    const QUrl url = QUrl::fromUserInput(BSTRToString(v));
    if (!url.isValid()) return E_INVALIDARG;
    page_->load(url);
    return S_OK;
  }
  HRESULT get_URL(BSTR* p) override {
    if (!p) return E_POINTER;
    if (!page_) return E_UNEXPECTED;
    return setBstr(p, page_->url().toString());
  }

  HRESULT get_referrer(BSTR* p) override { return scriptString(QStringLiteral("document.referrer"), p); }
  HRESULT get_lastModified(BSTR* p) override {
    return scriptString(QStringLiteral("document.lastModified"), p);
  }
  HRESULT put_domain(BSTR) override { return E_NOTIMPL; }
  HRESULT get_domain(BSTR* p) override { return scriptString(QStringLiteral("document.domain"), p); }
  HRESULT put_cookie(BSTR v) override {
    return runVoid(QStringLiteral("document.cookie = %1;").arg(jsString(BSTRToString(v))));
  }
  HRESULT get_cookie(BSTR* p) override { return scriptString(QStringLiteral("document.cookie"), p); }
  // The encoding the page is read in when it is loaded again (as the encoding
  // menu sets it). A page that declares its character set keeps it: the
  // engine lets no user choice override a declaration.
  HRESULT put_charset(BSTR v) override {
    if (!page_) return E_UNEXPECTED;
    const String name = Trim(BSTRToString(v));
    if (name.isEmpty()) return E_INVALIDARG;
    page_->settings()->setDefaultTextEncoding(name);
    return S_OK;
  }
  HRESULT get_charset(BSTR* p) override { return scriptString(QStringLiteral("document.characterSet"), p); }
  HRESULT put_defaultCharset(BSTR v) override {
    if (!page_) return E_UNEXPECTED;
    page_->settings()->setDefaultTextEncoding(BSTRToString(v));
    return S_OK;
  }
  HRESULT get_defaultCharset(BSTR* p) override {
    if (!page_) return E_UNEXPECTED;
    return setBstr(p, page_->settings()->defaultTextEncoding());
  }
  HRESULT get_mimeType(BSTR* p) override { return scriptString(QStringLiteral("document.contentType"), p); }
  HRESULT get_fileSize(BSTR* p) override { return notProvided(p); }
  HRESULT get_fileCreatedDate(BSTR* p) override { return notProvided(p); }
  HRESULT get_fileModifiedDate(BSTR* p) override { return notProvided(p); }
  HRESULT get_fileUpdatedDate(BSTR* p) override { return notProvided(p); }
  HRESULT get_security(BSTR* p) override { return notProvided(p); }
  HRESULT get_protocol(BSTR* p) override {
    if (!p) return E_POINTER;
    if (!page_) return E_UNEXPECTED;
    return setBstr(p, page_->url().scheme());
  }
  HRESULT get_nameProp(BSTR* p) override { return get_title(p); }

  HRESULT close() override { return runVoid(QStringLiteral("document.close();")); }
  HRESULT clear() override { return S_OK; }

  HRESULT queryCommandSupported(BSTR cmdID, VARIANT_BOOL* pfRet) override {
    return queryCommand("queryCommandSupported", cmdID, pfRet);
  }
  HRESULT queryCommandEnabled(BSTR cmdID, VARIANT_BOOL* pfRet) override {
    return queryCommand("queryCommandEnabled", cmdID, pfRet);
  }
  HRESULT queryCommandState(BSTR cmdID, VARIANT_BOOL* pfRet) override {
    return queryCommand("queryCommandState", cmdID, pfRet);
  }
  HRESULT queryCommandValue(BSTR cmdID, VARIANT* pcmdValue) override {
    if (!pcmdValue) return E_POINTER;
    QVariant v;
    const HRESULT hr =
        run(QStringLiteral("String(document.queryCommandValue(%1))").arg(jsString(BSTRToString(cmdID))), &v);
    if (FAILED(hr)) return hr;
    OleVariant(v.toString()).Detach(pcmdValue);
    return S_OK;
  }
  HRESULT execCommand(BSTR cmdID, VARIANT_BOOL showUI, VARIANT value, VARIANT_BOOL* pfRet) override {
    return RunEditCommand(page_, host_, BSTRToString(cmdID), showUI != VARIANT_FALSE, value, pfRet);
  }
  HRESULT toString(BSTR* p) override { return setBstr(p, QStringLiteral("[object]")); }

  // ---- IPersist, IPersistStreamInit, IPersistFile
  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_HTMLDocument;
    return S_OK;
  }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream* pStm) override {
    if (!pStm) return E_POINTER;
    if (!page_) return E_UNEXPECTED;
    QByteArray bytes;
    if (HRESULT hr = readAll(pStm, bytes); FAILED(hr)) return hr;
    return ReplacePageHtml(page_, decodeHtml(bytes)) ? S_OK : E_FAIL;
  }
  HRESULT Save(IStream* pStm, BOOL) override {
    if (!pStm) return E_POINTER;
    QByteArray bytes;
    if (HRESULT hr = markup(bytes); FAILED(hr)) return hr;
    ULONG written = 0;
    const HRESULT hr = pStm->Write(bytes.constData(), ULONG(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    return written == ULONG(bytes.size()) ? S_OK : STG_E_MEDIUMFULL;
  }
  HRESULT GetSizeMax(std::uint64_t* pCbSize) override {
    if (!pCbSize) return E_POINTER;
    QByteArray bytes;
    if (HRESULT hr = markup(bytes); FAILED(hr)) return hr;
    *pCbSize = std::uint64_t(bytes.size());
    return S_OK;
  }
  HRESULT InitNew() override {
    if (!page_) return E_UNEXPECTED;
    return ReplacePageHtml(page_, QString()) ? S_OK : E_FAIL;
  }

  HRESULT Load(LPCOLESTR pszFileName, DWORD) override {
    if (!pszFileName) return E_POINTER;
    if (!page_) return E_UNEXPECTED;
    QFile file(OleStrToString(pszFileName));
    if (!file.open(QIODevice::ReadOnly)) return STG_E_FILENOTFOUND;
    return ReplacePageHtml(page_, decodeHtml(file.readAll())) ? S_OK : E_FAIL;
  }
  HRESULT Save(LPCOLESTR pszFileName, BOOL) override {
    if (!pszFileName) return E_INVALIDARG;
    QByteArray bytes;
    if (HRESULT hr = markup(bytes); FAILED(hr)) return hr;
    return WriteFileAtomic(OleStrToString(pszFileName), bytes) ? S_OK : STG_E_WRITEFAULT;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* ppszFileName) override {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = nullptr;
    if (!page_) return E_UNEXPECTED;
    if (!page_->url().isLocalFile()) return E_FAIL;
    *ppszFileName = CoTaskMemDupString(page_->url().toLocalFile());
    return S_OK;
  }

  // ---- IOleCommandTarget
  HRESULT QueryStatus(const GUID* group, ULONG cCmds, OLECMD prgCmds[], OLECMDTEXT*) override {
    if (group && *group == kBrowserCommandGroup) {
      if (!prgCmds) return E_POINTER;
      for (ULONG i = 0; i < cCmds; ++i)
        prgCmds[i].cmdf = page_ && host_.BrowserCommand ? DWORD(OLECMDF_SUPPORTED | OLECMDF_ENABLED) : 0u;
      return S_OK;
    }
    if (group) return OLECMDERR_E_UNKNOWNGROUP;
    if (!prgCmds) return E_POINTER;
    for (ULONG i = 0; i < cCmds; ++i) {
      DWORD f = 0;
      switch (prgCmds[i].cmdID) {
        case OLECMDID_ZOOM:
        case OLECMDID_GETZOOMRANGE:
        case OLECMDID_OPTICAL_ZOOM:
        case OLECMDID_OPTICAL_GETZOOMRANGE:
        case OLECMDID_SELECTALL:
        case OLECMDID_PASTE:
        case OLECMDID_SAVEAS:
        case OLECMDID_FIND: f = OLECMDF_SUPPORTED | OLECMDF_ENABLED; break;
        case OLECMDID_COPY:
        case OLECMDID_CUT:
        case OLECMDID_CLEARSELECTION:
          f = OLECMDF_SUPPORTED | (page_ && page_->hasSelection() ? DWORD(OLECMDF_ENABLED) : 0u);
          break;
        case OLECMDID_UNDO:
        case OLECMDID_REDO: f = OLECMDF_SUPPORTED | OLECMDF_ENABLED; break;
        default: break;
      }
      prgCmds[i].cmdf = page_ ? f : 0;
    }
    return S_OK;
  }

  HRESULT Exec(const GUID* group, DWORD cmd, DWORD, VARIANT* in, VARIANT* out) override {
    if (group && *group == kBrowserCommandGroup) {
      if (!page_) return E_UNEXPECTED;
      return host_.BrowserCommand ? host_.BrowserCommand(cmd, in, out) : OLECMDERR_E_NOTSUPPORTED;
    }
    if (group) return OLECMDERR_E_UNKNOWNGROUP;
    if (!page_) return E_UNEXPECTED;
    OleVariant arg;
    if (in) VariantCopyInd(&arg, in);
    const bool hasArg = !arg.isEmpty() && !arg.isNull() && arg.vt != VT_ERROR;
    switch (cmd) {
      case OLECMDID_GETZOOMRANGE: return answer(out, int(4u << 16 | 0u));
      case OLECMDID_OPTICAL_GETZOOMRANGE:
        return answer(out, int(unsigned(kMaxOpticalZoom) << 16 | unsigned(kMinOpticalZoom)));
      case OLECMDID_ZOOM:
      case OLECMDID_OPTICAL_ZOOM: {
        const bool optical = cmd == OLECMDID_OPTICAL_ZOOM;
        if (hasArg) {
          int value;
          try {
            value = arg.toInt();
          } catch (const Exception&) {
            return E_INVALIDARG;
          }
          if (!(optical ? SetPageOpticalZoom(page_, value) : SetPageTextSize(page_, value)))
            return E_INVALIDARG;
        }
        return answer(out, optical ? PageOpticalZoom(page_) : PageTextSize(page_));
      }
      case OLECMDID_SELECTALL: return trigger(QWebEnginePage::SelectAll);
      case OLECMDID_COPY: return trigger(QWebEnginePage::Copy);
      case OLECMDID_CUT: return trigger(QWebEnginePage::Cut);
      case OLECMDID_PASTE: return trigger(QWebEnginePage::Paste);
      case OLECMDID_UNDO: return trigger(QWebEnginePage::Undo);
      case OLECMDID_REDO: return trigger(QWebEnginePage::Redo);
      case OLECMDID_CLEARSELECTION: return trigger(QWebEnginePage::Unselect);
      case OLECMDID_FIND:
        // Without a text the user would be asked for one; there is no box to ask in.
        if (!hasArg) return OLECMDERR_E_CANCELED;
        page_->findText(VarToStr(arg));
        return S_OK;
      case OLECMDID_SAVEAS: {
        if (!hasArg) return OLECMDERR_E_CANCELED;
        const String name = VarToStr(arg);
        return Save(reinterpret_cast<LPCOLESTR>(name.utf16()), TRUE);
      }
      default: return OLECMDERR_E_NOTSUPPORTED;
    }
  }

  // ---- IViewObject: the browser draws its view of the page
  HRESULT Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, const RECTL* lprcBounds, const RECTL*,
               BOOL (*)(ULONG_PTR), ULONG_PTR) override {
    if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
    if (!page_) return E_UNEXPECTED;
    if (!host_.DrawView) return E_NOTIMPL;
    return host_.DrawView(hdcDraw, *lprcBounds);
  }
  HRESULT GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) override {
    if (ppColorSet) *ppColorSet = nullptr;
    return S_FALSE;
  }
  HRESULT Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) override {
    if (pdwFreeze) *pdwFreeze = 0;
    return E_NOTIMPL;
  }
  HRESULT Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT SetAdvise(DWORD, DWORD, IAdviseSink*) override { return E_NOTIMPL; }
  HRESULT GetAdvise(DWORD*, DWORD*, IAdviseSink** ppAdvSink) override {
    if (ppAdvSink) *ppAdvSink = nullptr;
    return E_NOTIMPL;
  }

 private:
  template <class T>
  HRESULT notProvided(T** p) {
    if (p) *p = nullptr;
    return E_NOTIMPL;
  }
  HRESULT notProvided(BSTR* p) {
    if (p) *p = nullptr;
    return E_NOTIMPL;
  }

  // Whether the page shows markup; asked once per address shown. A page that
  // cannot answer counts as markup (its calls fail by themselves).
  bool showsHtml() {
    if (!page_) return true;
    const QUrl url = page_->url();
    // An empty page is markup; asking it would wait in vain while the engine
    // is still busy with the load that made it (a hidden browser at start-up).
    if (url.isEmpty() || url.scheme() == QLatin1String("about")) return true;
    if (url == typeUrl_ && !page_->isLoading()) return typeIsHtml_;
    QVariant type;
    if (!RunPageScript(page_, QStringLiteral("document.contentType"), &type)) return true;
    const QString mime = type.toString().toLower();
    const bool html = mime.isEmpty() || mime == QLatin1String("text/html") ||
                      mime == QLatin1String("application/xhtml+xml");
    if (page_ && !page_->isLoading()) {
      typeUrl_ = url;
      typeIsHtml_ = html;
    }
    return html;
  }

  HRESULT run(const QString& script, QVariant* result) {
    if (!page_) return E_UNEXPECTED;
    return RunPageScript(page_, script, result) ? S_OK : E_FAIL;
  }
  HRESULT runVoid(const QString& script) { return run(script, nullptr); }
  HRESULT scriptString(const QString& script, BSTR* p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    QVariant v;
    if (HRESULT hr = run(script, &v); FAILED(hr)) return hr;
    return setBstr(p, v.toString());
  }
  HRESULT queryCommand(const char* method, BSTR cmdID, VARIANT_BOOL* pfRet) {
    if (!pfRet) return E_POINTER;
    QVariant v;
    const HRESULT hr = run(
        QStringLiteral("!!document.%1(%2)").arg(QLatin1String(method), jsString(BSTRToString(cmdID))), &v);
    if (FAILED(hr)) return hr;
    *pfRet = v.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT markup(QByteArray& bytes) {
    if (!page_) return E_UNEXPECTED;
    QString html;
    if (!PageHtml(page_, html)) return E_FAIL;
    bytes = html.toUtf8();
    return S_OK;
  }
  HRESULT trigger(QWebEnginePage::WebAction action) {
    page_->triggerAction(action);
    return S_OK;
  }
  static HRESULT answer(VARIANT* out, int value) {
    if (out) OleVariant(value).Detach(out);
    return S_OK;
  }

  // A member for a text property; a put takes the value as text.
  template <HRESULT (LiveDocument::*Getter)(BSTR*), HRESULT (LiveDocument::*Setter)(BSTR) = nullptr>
  static HRESULT TextProperty(LiveDocument& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (flags & DISPATCH_PROPERTYPUT) {
      if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
      OleVariant value;
      if (FAILED(VariantCopyInd(&value, &params->rgvarg[0]))) return DISP_E_TYPEMISMATCH;
      if constexpr (Setter == nullptr) {
        return DISP_E_MEMBERNOTFOUND;
      } else {
        const OwnedBstr text(StringToBSTR(VarToStr(value)));
        return (self.*Setter)(text.get());
      }
    }
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    OwnedBstr text;
    const HRESULT hr = (self.*Getter)(text.out());
    if (SUCCEEDED(hr)) comdisp::SetResult(result, text.release());
    return hr;
  }
  static HRESULT DocumentElement(LiveDocument& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!self.page_) return E_UNEXPECTED;
    comdisp::SetResult(result, MakeCom<LiveRootElement>(self.page_.data()).Detach());
    return S_OK;
  }
  using Self = LiveDocument;
  static constexpr comdisp::DispMember<Self> kMembers[] = {
      {"title", &TextProperty<&Self::get_title, &Self::put_title>, DISPID_IHTMLDOCUMENT2_TITLE},
      {"designMode", &TextProperty<&Self::get_designMode, &Self::put_designMode>,
       DISPID_IHTMLDOCUMENT2_DESIGNMODE},
      {"URL", &TextProperty<&Self::get_URL, &Self::put_URL>, DISPID_IHTMLDOCUMENT2_URL},
      {"location", &comdisp::Get<&IHTMLDocument2::get_location, Self>, DISPID_IHTMLDOCUMENT2_LOCATION},
      {"readyState", &TextProperty<&Self::get_readyState>, DISPID_IHTMLDOCUMENT2_READYSTATE},
      {"documentElement", &DocumentElement, kDocumentElementDispId},
  };
  static constexpr comdisp::DispTable<Self> kTable{kMembers};

  QPointer<QWebEnginePage> page_;
  std::optional<TPageScriptError> error_;
  TLiveDocumentHost host_;
  QUrl typeUrl_;  // the address whose content type was last asked
  bool typeIsHtml_ = true;
};

}  // namespace

bool RunPageScript(QWebEnginePage* page, const QString& script, QVariant* result, int timeoutMs) {
  if (!page) return false;
  // The answer may come after this wait gave up: the callback then only
  // touches the shared state.
  struct State {
    bool done = false;
    QVariant value;
    QPointer<QEventLoop> loop;
  };
  auto state = std::make_shared<State>();
  QEventLoop loop;
  state->loop = &loop;
  QPointer<QWebEnginePage> guard(page);
  page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [state](const QVariant& v) {
    state->done = true;
    state->value = v;
    if (state->loop) state->loop->quit();
  });
  if (!state->done) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    // The user's input waits: an input event whose handling asks the page
    // something must not be overtaken by the next one.
    // Asked from inside a posted event (a load's completion), the engine's
    // own posted work, the answer among it, would wait for that event to
    // end: it is handed over here while the script runs.
    QTimer engineWork;
    QObject::connect(&engineWork, &QTimer::timeout, [] { QCoreApplication::sendPostedEvents(); });
    engineWork.start(5);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  state->loop = nullptr;
  if (!state->done || !guard) {
    qCDebug(lcMsHtml) << "the page gave no answer to a script within" << timeoutMs << "ms";
    return false;
  }
  if (result) *result = state->value;
  return true;
}

bool WaitWhilePageLoads(QWebEnginePage* page, int timeoutMs) {
  QPointer<QWebEnginePage> guard(page);
  if (!page) return false;
  if (!page->isLoading()) return true;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(page, &QObject::destroyed, &loop, &QEventLoop::quit);
  QObject::connect(page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
  timer.start(timeoutMs);
  while (guard && guard->isLoading() && timer.isActive()) loop.exec();
  return guard && !guard->isLoading();
}

bool PageHtml(QWebEnginePage* page, QString& html) {
  static const QString script = QStringLiteral(
      "(function () {"
      "  var d = document, t = d.doctype, s = '';"
      "  if (t) {"
      "    s = '<!DOCTYPE ' + t.name;"
      "    if (t.publicId) s += ' PUBLIC \"' + t.publicId + '\"';"
      "    else if (t.systemId) s += ' SYSTEM';"
      "    if (t.systemId) s += ' \"' + t.systemId + '\"';"
      "    s += '>\\n';"
      "  }"
      "  return s + (d.documentElement ? d.documentElement.outerHTML : '');"
      "})()");
  QVariant v;
  if (!RunPageScript(page, script, &v)) return false;
  html = v.toString();
  return true;
}

bool ReplacePageHtml(QWebEnginePage* page, const QString& html) {
  if (!WaitWhilePageLoads(page)) return false;
  return RunPageScript(
      page,
      QStringLiteral("document.open(); document.write(%1); document.close(); true").arg(jsString(html)));
}

int PageTextSize(QWebEnginePage* page) {
  if (!page) return 2;
  const QVariant v = page->property(kTextSizeProperty);
  return v.isValid() ? v.toInt() : 2;
}

bool SetPageTextSize(QWebEnginePage* page, int size) {
  if (!page || size < 0 || size > 4) return false;
  page->setProperty(kTextSizeProperty, size);
  applyZoom(page);
  return true;
}

int PageOpticalZoom(QWebEnginePage* page) {
  if (!page) return 100;
  const QVariant v = page->property(kOpticalZoomProperty);
  return v.isValid() ? v.toInt() : 100;
}

bool SetPageOpticalZoom(QWebEnginePage* page, int percent) {
  if (!page || percent < kMinOpticalZoom || percent > kMaxOpticalZoom) return false;
  page->setProperty(kOpticalZoomProperty, percent);
  applyZoom(page);
  return true;
}

ComPtr<IHTMLDocument2> CreateLiveDocument(QWebEnginePage* page, const TLiveDocumentHost& host) {
  if (!page) return nullptr;
  return ComPtr<IHTMLDocument2>(new LiveDocument(page, std::nullopt, host));
}

ComPtr<IHTMLDocument2> CreateLiveDocument(QWebEnginePage* page, const TPageScriptError& error,
                                          const TLiveDocumentHost& host) {
  if (!page) return nullptr;
  return ComPtr<IHTMLDocument2>(new LiveDocument(page, error, host));
}
