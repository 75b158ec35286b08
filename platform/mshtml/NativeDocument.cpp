// Windowless HTML documents (CLSID_HTMLDocument): a tree parsed from HTML,
// loaded from a stream, a file, a moniker or document.write, whose ready state
// moves through messages posted to a hidden window of the creating thread.
// Advised property-notification sinks hear each move after the load call has
// returned, from that thread's message loop.
#include "platform/mshtml/MsHtml.h"

#include "platform/com/ConnectionPoints.h"
#include "platform/com/OleCtl.h"
#include "platform/com/TableDispatch.h"
#include "platform/mshtml/Log_p.h"
#include "platform/mshtml/NativeElements.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Windows.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using namespace nativedom;
using namespace comdisp;

namespace {

// The message a document posts to its hidden window: WPARAM the load it
// belongs to, LPARAM the ready state it moves to.
constexpr UINT kReadyStateMessage = WM_APP + 0x525;

// What a document may fetch when its host does not say.
constexpr DWORD kDefaultDownloadControl = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS;

const QUrl kBlank(QStringLiteral("about:blank"));

HRESULT Out(BSTR* p, const String& s) {
  if (!p) return E_POINTER;
  *p = StringToBSTR(s);
  return S_OK;
}

template <class I>
HRESULT Out(I** p, ComPtr<I> v) {
  if (!p) return E_POINTER;
  *p = v.Detach();
  return S_OK;
}

HRESULT OutFalse(VARIANT_BOOL* p) {
  if (!p) return E_POINTER;
  *p = VARIANT_FALSE;
  return S_OK;
}

String ReadyStateText(READYSTATE state) {
  switch (state) {
    case READYSTATE_LOADING: return QStringLiteral("loading");
    case READYSTATE_LOADED: return QStringLiteral("loaded");
    case READYSTATE_INTERACTIVE: return QStringLiteral("interactive");
    case READYSTATE_COMPLETE: return QStringLiteral("complete");
    default: return QStringLiteral("uninitialized");
  }
}

String DateText(const QDateTime& t) {
  return t.isValid() ? t.toLocalTime().toString(QStringLiteral("MM/dd/yyyy")) : String();
}

// The bytes of a stream from its position to its end.
HRESULT ReadToEnd(IStream* stream, QByteArray& bytes) {
  char buffer[65536];
  for (;;) {
    ULONG read = 0;
    const HRESULT hr = stream->Read(buffer, sizeof buffer, &read);
    if (FAILED(hr)) return hr;
    if (read == 0) return S_OK;
    bytes.append(buffer, qsizetype(read));
  }
}

class NativeDocument;

// ---------------------------------------------------------------- window

// The document's window as scripts see it: it knows its document and location.
class NativeWindow final : public TableDispatch<NativeWindow, IHTMLWindow2> {
 public:
  explicit NativeWindow(IHTMLDocument2* document) : TableDispatch(kTable), document_(document) {}

  // A windowless document handles no events.
  HRESULT get_event(IHTMLEventObj** p) override { return Out(p, ComPtr<IHTMLEventObj>()); }

 private:
  static HRESULT InvokeDocument(NativeWindow& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    SetResult(result, ComPtr<IHTMLDocument2>(self.document_).Detach());
    return S_OK;
  }
  static HRESULT InvokeLocation(NativeWindow& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    IHTMLLocation* location = nullptr;
    const HRESULT hr = self.document_->get_location(&location);
    if (SUCCEEDED(hr)) SetResult(result, location);
    return hr;
  }
  using Self = NativeWindow;
  static constexpr DispMember<Self> kMembers[] = {
      {"document", &InvokeDocument},
      {"location", &InvokeLocation},
      DISP_GET(IHTMLWindow2, event),
  };
  static constexpr DispTable<Self> kTable{kMembers, 1000};

  ComPtr<IHTMLDocument2> document_;
};

// ---------------------------------------------------------------- binding

// Receives the bytes of a moniker load for its document. The document
// detaches it when it goes or starts another load; a detached callback lets
// the rest of the binding pass.
class BindCallback final : public ComObject<IBindStatusCallback, IHttpNegotiate> {
 public:
  BindCallback(NativeDocument* owner, DWORD bindf) : owner_(owner), bindf_(bindf) {}
  void Detach() { owner_ = nullptr; }

  HRESULT OnStartBinding(DWORD, IBinding* pib) override;
  HRESULT GetPriority(LONG* pnPriority) override {
    if (pnPriority) *pnPriority = 0;
    return S_OK;
  }
  HRESULT OnLowResource(DWORD) override { return S_OK; }
  HRESULT OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT OnStopBinding(HRESULT hresult, LPCWSTR) override;
  HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override {
    if (!grfBINDF || !pbindinfo) return E_POINTER;
    *grfBINDF = bindf_;
    pbindinfo->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  HRESULT OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* pstgmed) override;
  HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  HRESULT BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* pszAdditionalHeaders) override {
    if (pszAdditionalHeaders) *pszAdditionalHeaders = nullptr;
    return S_OK;
  }
  HRESULT OnResponse(DWORD, LPCWSTR szResponseHeaders, LPCWSTR, LPWSTR* pszAdditionalRequestHeaders) override;

 private:
  NativeDocument* owner_;
  DWORD bindf_;
};

// ---------------------------------------------------------------- the document

class NativeDocument final
    : public TableDispatch<NativeDocument, IHTMLDocument2, IHTMLDocument3, IPersistStreamInit, IPersistFile,
                           IPersistMoniker, IOleObject, IOleControl, IConnectionPointContainer> {
 public:
  NativeDocument() : TableDispatch(kTable) {
    points_.Add(IID_IPropertyNotifySink);
    window_ =
        CreateWindowHandle(QStringLiteral("Internet Explorer_Hidden"), String(), 0, 0, nullptr, nullptr);
    instance_ = MakeObjectInstance([this](TMessage& m) { handleMessage(m); });
    SetWindowLongPtrW(window_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(instance_));
  }

  IDispatch* dispatch() { return static_cast<IHTMLDocument2*>(this); }

  // ---- IDispatch
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override {
    // The stock ready-state property answers the READYSTATE number; the
    // readyState property by name answers its text.
    if (id == DISPID_READYSTATE) {
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      SetResult(result, LONG(state_));
      return S_OK;
    }
    return TableDispatch::Invoke(id, riid, lcid, flags, params, result, excepInfo, argErr);
  }

  // ---- IHTMLDocument, IHTMLDocument2
  HRESULT get_Script(IDispatch** p) override { return Out(p, ComPtr<IDispatch>(newWindow())); }
  HRESULT get_all(IHTMLElementCollection** p) override {
    return Out(p, NewCollection(tree(), tree()->all, dispatch()));
  }
  HRESULT get_body(IHTMLElement** p) override {
    return Out(p, ElementOf(tree(), tree()->body(), dispatch()));
  }
  HRESULT get_activeElement(IHTMLElement** p) override { return get_body(p); }
  HRESULT get_images(IHTMLElementCollection** p) override { return tagged(p, "IMG"); }
  HRESULT get_links(IHTMLElementCollection** p) override {
    std::vector<Node*> links;
    for (Node* n : tree()->all)
      if ((n->is("A") || n->is("AREA")) && n->hasAttribute(QStringLiteral("href"))) links.push_back(n);
    return Out(p, NewCollection(tree(), std::move(links), dispatch()));
  }
  HRESULT get_forms(IHTMLElementCollection** p) override { return tagged(p, "FORM"); }
  HRESULT get_anchors(IHTMLElementCollection** p) override {
    std::vector<Node*> anchors;
    for (Node* n : tree()->all)
      if (n->is("A") && n->hasAttribute(QStringLiteral("name"))) anchors.push_back(n);
    return Out(p, NewCollection(tree(), std::move(anchors), dispatch()));
  }
  HRESULT put_title(BSTR v) override {
    Tree& t = *tree();
    Node* title = t.first("TITLE");
    if (!title) return E_FAIL;
    title->children.clear();
    Node* text = t.newNode(NodeKind::Text);
    text->text = BSTRToString(v);
    text->parent = title;
    title->children.push_back(text);
    t.changed();
    return S_OK;
  }
  HRESULT get_title(BSTR* p) override { return Out(p, DocumentTitle(*tree())); }
  HRESULT get_scripts(IHTMLElementCollection** p) override { return tagged(p, "SCRIPT"); }
  // Design mode belongs to documents shown in a view.
  HRESULT put_designMode(BSTR) override { return E_NOTIMPL; }
  HRESULT get_designMode(BSTR* p) override { return Out(p, QStringLiteral("Inherit")); }
  HRESULT get_selection(IHTMLSelectionObject** p) override {
    if (p) *p = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_readyState(BSTR* p) override { return Out(p, ReadyStateText(state_)); }
  HRESULT get_frames(IHTMLFramesCollection2** p) override {
    if (p) *p = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_referrer(BSTR* p) override { return Out(p, String()); }
  HRESULT get_location(IHTMLLocation** p) override { return Out(p, NewLocation(url_)); }
  HRESULT get_lastModified(BSTR* p) override {
    // Without a date from the source the document is as new as its load.
    const QDateTime t = lastModified_.isValid() ? lastModified_ : QDateTime::currentDateTime();
    return Out(p, t.toLocalTime().toString(QStringLiteral("MM/dd/yyyy HH:mm:ss")));
  }
  HRESULT put_URL(BSTR) override { return E_NOTIMPL; }
  HRESULT get_URL(BSTR* p) override { return Out(p, url_.toString(QUrl::FullyEncoded)); }
  HRESULT put_domain(BSTR) override { return E_NOTIMPL; }
  HRESULT get_domain(BSTR* p) override { return Out(p, url_.host()); }
  HRESULT put_cookie(BSTR) override { return E_NOTIMPL; }
  HRESULT get_cookie(BSTR* p) override { return Out(p, String()); }
  // The set the document is written in when saved.
  HRESULT put_charset(BSTR v) override {
    charset_ = LowerCase(BSTRToString(v).trimmed());
    return S_OK;
  }
  HRESULT get_charset(BSTR* p) override { return Out(p, charset_); }
  HRESULT put_defaultCharset(BSTR v) override {
    defaultCharset_ = LowerCase(BSTRToString(v).trimmed());
    return S_OK;
  }
  HRESULT get_defaultCharset(BSTR* p) override { return Out(p, defaultCharset_); }
  HRESULT get_mimeType(BSTR* p) override { return Out(p, QStringLiteral("HTML Document")); }
  HRESULT get_fileSize(BSTR* p) override { return Out(p, IntToStr(fileSize_)); }
  HRESULT get_fileCreatedDate(BSTR* p) override {
    return Out(p, url_.isLocalFile() ? DateText(QFileInfo(url_.toLocalFile()).birthTime()) : String());
  }
  HRESULT get_fileModifiedDate(BSTR* p) override { return Out(p, DateText(lastModified_)); }
  HRESULT get_fileUpdatedDate(BSTR* p) override { return Out(p, String()); }
  HRESULT get_security(BSTR* p) override {
    return Out(p, QStringLiteral("This type of document does not have a security certificate."));
  }
  HRESULT get_protocol(BSTR* p) override { return Out(p, UrlProtocolName(url_)); }
  HRESULT get_nameProp(BSTR* p) override {
    const String title = DocumentTitle(*tree());
    return Out(p, title.isEmpty() ? UrlFileName(url_) : title);
  }
  HRESULT close() override {
    if (!writing_) return S_OK;
    writing_ = false;
    finishWriting();
    return S_OK;
  }
  HRESULT clear() override { return S_OK; }
  // Editing commands act on documents shown in a view only.
  HRESULT queryCommandSupported(BSTR, VARIANT_BOOL* pfRet) override { return OutFalse(pfRet); }
  HRESULT queryCommandEnabled(BSTR, VARIANT_BOOL* pfRet) override { return OutFalse(pfRet); }
  HRESULT queryCommandState(BSTR, VARIANT_BOOL* pfRet) override { return OutFalse(pfRet); }
  HRESULT queryCommandValue(BSTR, VARIANT* pcmdValue) override {
    if (!pcmdValue) return E_POINTER;
    VariantInit(pcmdValue);
    return S_OK;
  }
  HRESULT execCommand(BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL* pfRet) override {
    if (pfRet) *pfRet = VARIANT_FALSE;
    return E_NOTIMPL;
  }
  HRESULT createElement(BSTR eTag, IHTMLElement** newElem) override {
    const String tag = UpperCase(BSTRToString(eTag).trimmed());
    if (tag.isEmpty() || tag.contains(u'<') || tag.contains(u' ')) {
      if (newElem) *newElem = nullptr;
      return E_INVALIDARG;
    }
    Node* n = tree()->newNode(NodeKind::Element);
    n->tag = tag;
    return Out(newElem, ElementOf(tree(), n, dispatch()));
  }
  // Nothing is laid out, so no point lies on an element.
  HRESULT elementFromPoint(LONG, LONG, IHTMLElement** elementHit) override {
    return Out(elementHit, ComPtr<IHTMLElement>());
  }
  HRESULT get_parentWindow(IHTMLWindow2** p) override { return Out(p, newWindow()); }
  HRESULT toString(BSTR* p) override { return Out(p, QStringLiteral("[object]")); }
  HRESULT write(BSTR text) override {
    if (!writing_) open(nullptr, OleVariant(), OleVariant(), OleVariant(), nullptr);
    written_ += BSTRToString(text);
    stale_ = true;
    return S_OK;
  }
  HRESULT writeln(BSTR text) override {
    write(text);
    written_ += u'\n';
    return S_OK;
  }
  HRESULT open(BSTR, VARIANT, VARIANT, VARIANT, IDispatch** pomWindowResult) override {
    beginLoad(url_);
    writing_ = true;
    written_.clear();
    stale_ = true;
    if (pomWindowResult) *pomWindowResult = ComPtr<IDispatch>(dispatch()).Detach();
    return S_OK;
  }

  // ---- IHTMLDocument3
  HRESULT get_documentElement(IHTMLElement** p) override {
    return Out(p, ElementOf(tree(), tree()->documentElement(), dispatch()));
  }
  HRESULT getElementById(BSTR v, IHTMLElement** pel) override {
    const String id = BSTRToString(v);
    Node* found = nullptr;
    for (Node* n : tree()->all)
      if (const Attribute* a = n->findAttribute(QStringLiteral("id")); a && a->value == id) {
        found = n;
        break;
      }
    return Out(pel, ElementOf(tree(), found, dispatch()));
  }
  HRESULT getElementsByTagName(BSTR v, IHTMLElementCollection** pelColl) override {
    const String tag = BSTRToString(v);
    return Out(pelColl,
               NewCollection(tree(), tag == QLatin1String("*") ? tree()->all : WithTag(tree()->all, tag),
                             dispatch()));
  }

  // ---- IPersist*, shared
  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_HTMLDocument;
    return S_OK;
  }
  HRESULT IsDirty() override { return tree()->modified ? S_OK : S_FALSE; }

  // ---- IPersistStreamInit
  HRESULT Load(IStream* pStm) override {
    if (!pStm) return E_POINTER;
    QByteArray bytes;
    if (const HRESULT hr = ReadToEnd(pStm, bytes); FAILED(hr)) {
      qCDebug(lcMsHtml) << "the document's stream cannot be read:" << Qt::hex << quint32(hr);
      return hr;
    }
    beginLoad(kBlank);
    loadBytes(bytes, String());
    return S_OK;
  }
  HRESULT Save(IStream* pStm, BOOL fClearDirty) override {
    if (!pStm) return E_POINTER;
    const QByteArray bytes = savedBytes();
    ULONG written = 0;
    const HRESULT hr = pStm->Write(bytes.constData(), ULONG(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != ULONG(bytes.size())) return STG_E_MEDIUMFULL;
    if (fClearDirty) tree()->modified = false;
    return S_OK;
  }
  HRESULT GetSizeMax(std::uint64_t* pCbSize) override {
    if (!pCbSize) return E_POINTER;
    *pCbSize = std::uint64_t(savedBytes().size());
    return S_OK;
  }
  HRESULT InitNew() override {
    beginLoad(kBlank);
    loadBytes(QByteArray(), String());
    return S_OK;
  }

  // ---- IPersistFile
  HRESULT Load(LPCOLESTR pszFileName, DWORD) override {
    if (!pszFileName) return E_INVALIDARG;
    const String path = OleStrToString(pszFileName);
    QFile file(path);
    if (!FileExists(path)) return STG_E_FILENOTFOUND;
    if (!file.open(QIODevice::ReadOnly)) return STG_E_ACCESSDENIED;
    const QByteArray bytes = file.readAll();
    beginLoad(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    fileName_ = path;
    lastModified_ = QFileInfo(path).lastModified();
    loadBytes(bytes, String());
    return S_OK;
  }
  HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    const String path = pszFileName ? OleStrToString(pszFileName) : fileName_;
    if (path.isEmpty()) return E_INVALIDARG;
    if (!WriteFileAtomic(path, savedBytes())) return STG_E_WRITEFAULT;
    if (fRemember || !pszFileName) {
      fileName_ = path;
      tree()->modified = false;
    }
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* ppszFileName) override {
    if (!ppszFileName) return E_POINTER;
    // Without a file of its own, the usual pattern for a new file's name.
    *ppszFileName = CoTaskMemDupString(fileName_.isEmpty() ? QStringLiteral("*.htm") : fileName_);
    return fileName_.isEmpty() ? S_FALSE : S_OK;
  }

  // ---- IPersistMoniker
  HRESULT Load(BOOL, IMoniker* pimkName, LPBC pibc, DWORD) override {
    if (!pimkName) return E_INVALIDARG;
    OwnedTaskMem<OLECHAR> name;
    HRESULT hr = pimkName->GetDisplayName(pibc, nullptr, name.out());
    if (FAILED(hr)) return hr;
    const QUrl url(OleStrToString(name.get()));
    beginLoad(url);
    moniker_ = pimkName;
    if (url.isLocalFile()) lastModified_ = QFileInfo(url.toLocalFile()).lastModified();
    callback_ = MakeCom<BindCallback>(this, bindFlags());
    ComPtr<IBindCtx> context;
    hr = CreateAsyncBindCtx(0, callback_.Get(), nullptr, &context);
    if (SUCCEEDED(hr)) {
      ComPtr<IStream> stream;
      hr = pimkName->BindToStorage(context.Get(), nullptr, IID_IStream, &stream);
    }
    if (FAILED(hr) && callback_) {
      // The address could not be bound: the document completes empty.
      bindFinished(hr);
      return hr;
    }
    return S_OK;
  }
  HRESULT Save(IMoniker*, LPBC, BOOL) override { return E_NOTIMPL; }
  HRESULT SaveCompleted(IMoniker*, LPBC) override { return S_OK; }
  HRESULT GetCurMoniker(IMoniker** ppimkName) override {
    if (!ppimkName) return E_POINTER;
    *ppimkName = ComPtr<IMoniker>(moniker_).Detach();
    return moniker_ ? S_OK : E_UNEXPECTED;
  }

  // ---- IOleObject
  HRESULT SetClientSite(IOleClientSite* pClientSite) override {
    site_ = pClientSite;
    readDownloadControl();
    return S_OK;
  }
  HRESULT GetClientSite(IOleClientSite** ppClientSite) override { return Out(ppClientSite, site_); }
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT Close(DWORD) override {
    abortBinding();
    return S_OK;
  }
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** ppmk) override {
    if (!ppmk) return E_POINTER;
    *ppmk = ComPtr<IMoniker>(moniker_).Detach();
    return moniker_ ? S_OK : E_FAIL;
  }
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject** ppDataObject) override {
    if (ppDataObject) *ppDataObject = nullptr;
    return E_NOTIMPL;
  }
  HRESULT DoVerb(LONG, MSG*, IOleClientSite*, LONG, HWND, const RECT*) override { return E_NOTIMPL; }
  HRESULT EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override {
    if (ppEnumOleVerb) *ppEnumOleVerb = nullptr;
    return E_NOTIMPL;
  }
  HRESULT Update() override { return S_OK; }
  HRESULT IsUpToDate() override { return S_OK; }
  HRESULT GetUserClassID(CLSID* pClsid) override { return GetClassID(pClsid); }
  HRESULT GetUserType(DWORD, LPOLESTR* pszUserType) override {
    if (pszUserType) *pszUserType = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise) override {
    if (ppenumAdvise) *ppenumAdvise = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMiscStatus(DWORD, DWORD* pdwStatus) override {
    if (!pdwStatus) return E_POINTER;
    *pdwStatus = 0;
    return S_OK;
  }
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // ---- IOleControl
  HRESULT GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
  HRESULT OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT OnAmbientPropertyChange(DISPID dispID) override {
    if (dispID == DISPID_AMBIENT_DLCONTROL || dispID == DISPID_UNKNOWN) readDownloadControl();
    return S_OK;
  }
  HRESULT FreezeEvents(BOOL) override { return S_OK; }

  // ---- IConnectionPointContainer
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override {
    return points_.EnumConnectionPoints(ppEnum);
  }
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
    return points_.FindConnectionPoint(riid, ppCP);
  }

  // ---- moniker loads (called by the bind callback)
  void bindingStarted(IBinding* binding) { binding_ = binding; }
  void dataArrived(IStream* stream) {
    if (stream) ReadToEnd(stream, received_);
  }
  void headersArrived(const String& headers) {
    static const QRegularExpression kCharset(
        QStringLiteral(R"(^content-type:.*?charset\s*=\s*["']?([^"';\s]+))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    static const QRegularExpression kModified(
        QStringLiteral(R"(^last-modified:\s*(.+?)\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    if (const auto m = kCharset.match(headers); m.hasMatch()) serverCharset_ = m.captured(1);
    if (const auto m = kModified.match(headers); m.hasMatch()) {
      // HTTP dates name their zone GMT, which the RFC 2822 reader wants as an offset.
      String date = m.captured(1);
      if (date.endsWith(QLatin1String(" GMT"))) date = date.chopped(4) + QLatin1String(" +0000");
      lastModified_ = QDateTime::fromString(date, Qt::RFC2822Date);
    }
  }
  void bindFinished(HRESULT hr) {
    const ComPtr<IUnknown> keepAlive(GetUnknown());
    if (callback_) callback_->Detach();
    callback_ = nullptr;
    binding_ = nullptr;
    const QByteArray bytes = SUCCEEDED(hr) ? std::exchange(received_, QByteArray()) : QByteArray();
    received_.clear();
    loadBytes(bytes, serverCharset_);
  }

 protected:
  ~NativeDocument() override {
    abortBinding();
    DestroyWindow(std::exchange(window_, nullptr));
    FreeObjectInstance(instance_);
  }

 private:
  // The tree, parsed again from what was written since the last change.
  const std::shared_ptr<Tree>& tree() {
    if (stale_) {
      tree_ = ParseHtml(written_, url_);
      stale_ = false;
    }
    return tree_;
  }

  HRESULT tagged(IHTMLElementCollection** p, const char* tag) {
    return Out(p, NewCollection(tree(), WithTag(tree()->all, QLatin1String(tag)), dispatch()));
  }

  ComPtr<IHTMLWindow2> newWindow() {
    return ComPtr<IHTMLWindow2>(MakeCom<NativeWindow>(static_cast<IHTMLDocument2*>(this)));
  }

  // A new load: what was loading stops, the document is empty and loading.
  void beginLoad(const QUrl& url) {
    abortBinding();
    ++generation_;
    writing_ = false;
    written_.clear();
    stale_ = false;
    url_ = url;
    tree_ = ParseHtml(String(), url_);
    charset_ = defaultCharset_;
    serverCharset_.clear();
    lastModified_ = QDateTime();
    fileSize_ = -1;
    moniker_ = nullptr;
    fileName_.clear();
    state_ = READYSTATE_LOADING;
    post(READYSTATE_LOADING);
  }

  // The source has arrived: parse it and let the ready state move on.
  void loadBytes(const QByteArray& bytes, const String& declaredCharset) {
    const DecodedHtml decoded =
        DecodeHtml(bytes, declaredCharset, !(downloadControl_ & DLCTL_NO_METACHARSET));
    charset_ = decoded.charset;
    fileSize_ = bytes.size();
    tree_ = ParseHtml(decoded.text, url_);
    post(READYSTATE_INTERACTIVE);
    post(READYSTATE_COMPLETE);
  }

  void finishWriting() {
    tree();
    fileSize_ = written_.toUtf8().size();
    post(READYSTATE_INTERACTIVE);
    post(READYSTATE_COMPLETE);
  }

  QByteArray savedBytes() { return EncodeHtml(DocumentHtml(*tree()), charset_); }

  void post(READYSTATE state) {
    PostMessageW(window_, kReadyStateMessage, WPARAM(generation_), LPARAM(state));
  }

  void handleMessage(TMessage& m) {
    if (!window_) return;  // going away
    if (m.Msg != kReadyStateMessage) {
      m.Result = DefWindowProcW(window_, m.Msg, m.WParam, m.LParam);
      return;
    }
    if (m.WParam != WPARAM(generation_)) return;     // a load that was replaced
    const ComPtr<IUnknown> keepAlive(GetUnknown());  // a sink may let the document go
    state_ = READYSTATE(m.LParam);
    points_.ForEachSink(IID_IPropertyNotifySink, [](IUnknown* sink) {
      static_cast<IPropertyNotifySink*>(sink)->OnChanged(DISPID_READYSTATE);
    });
  }

  void abortBinding() {
    if (callback_) callback_->Detach();
    callback_ = nullptr;
    if (ComPtr<IBinding> binding = std::exchange(binding_, nullptr)) binding->Abort();
  }

  // What the host allows the document to fetch and run (its ambient
  // download-control property). Windowless documents run no scripts and fetch
  // nothing but their source; the flags shape how the source is fetched and
  // read.
  void readDownloadControl() {
    downloadControl_ = kDefaultDownloadControl;
    const ComPtr<IDispatch> ambient = site_ ? site_.As<IDispatch>() : nullptr;
    if (!ambient) return;
    DISPPARAMS none{};
    OleVariant value;
    if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_SYSTEM_DEFAULT,
                                  DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4)))
      downloadControl_ = DWORD(value.lVal);
  }

  DWORD bindFlags() const {
    DWORD f = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;
    if (downloadControl_ & DLCTL_RESYNCHRONIZE) f |= BINDF_RESYNCHRONIZE;
    if (downloadControl_ & DLCTL_PRAGMA_NO_CACHE) f |= BINDF_PRAGMA_NO_CACHE;
    if (downloadControl_ & DLCTL_FORCEOFFLINE) f |= BINDF_OFFLINEOPERATION;
    if (downloadControl_ & DLCTL_SILENT) f |= BINDF_SILENTOPERATION | BINDF_NO_UI;
    return f;
  }

  // ---- dispatch table
  using Self = NativeDocument;
  static HRESULT InvokeTitle(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeCharset(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeDefaultCharset(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeOpen(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeWrite(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeWriteln(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeClose(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeClear(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeCreateElement(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeGetElementById(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static HRESULT InvokeGetElementsByTagName(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  static const DispMember<Self> kMembers[];
  static const DispTable<Self> kTable;

  std::shared_ptr<Tree> tree_ = ParseHtml(String(), kBlank);
  bool stale_ = false;  // written_ changed since tree_ was parsed
  READYSTATE state_ = READYSTATE_UNINITIALIZED;
  unsigned generation_ = 0;
  HWND window_ = nullptr;
  WNDPROC instance_ = nullptr;
  ConnectionPoints points_{static_cast<IConnectionPointContainer*>(this)};
  ComPtr<IOleClientSite> site_;
  DWORD downloadControl_ = kDefaultDownloadControl;

  QUrl url_ = kBlank;
  String charset_ = QStringLiteral("utf-8");
  String defaultCharset_ = QStringLiteral("utf-8");
  QDateTime lastModified_;
  qint64 fileSize_ = -1;
  String fileName_;
  ComPtr<IMoniker> moniker_;

  // A moniker load under way.
  ComPtr<BindCallback> callback_;
  ComPtr<IBinding> binding_;
  QByteArray received_;
  String serverCharset_;

  // document.open ... close
  bool writing_ = false;
  String written_;
};

HRESULT NativeDocument::InvokeTitle(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (flags & DISPATCH_PROPERTYPUT) {
    const OwnedBstr v(StringToBSTR(PutText(params)));
    const HRESULT hr = self.put_title(v.get());
    return hr;
  }
  return Get<&IHTMLDocument2::get_title, Self>(self, flags, params, result);
}

HRESULT NativeDocument::InvokeCharset(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (flags & DISPATCH_PROPERTYPUT) {
    self.charset_ = LowerCase(PutText(params).trimmed());
    return S_OK;
  }
  return Get<&IHTMLDocument2::get_charset, Self>(self, flags, params, result);
}

HRESULT NativeDocument::InvokeDefaultCharset(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (flags & DISPATCH_PROPERTYPUT) {
    self.defaultCharset_ = LowerCase(PutText(params).trimmed());
    return S_OK;
  }
  return Get<&IHTMLDocument2::get_defaultCharset, Self>(self, flags, params, result);
}

HRESULT NativeDocument::InvokeOpen(Self& self, WORD flags, DISPPARAMS*, VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  IDispatch* opened = nullptr;
  const HRESULT hr = self.open(nullptr, OleVariant(), OleVariant(), OleVariant(), &opened);
  if (SUCCEEDED(hr)) SetResult(result, opened);
  return hr;
}

// write and writeln take any number of arguments and write them one after another.
HRESULT NativeDocument::InvokeWrite(Self& self, WORD flags, DISPPARAMS* params, VARIANT*) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  String text;
  for (UINT i = 0; i < ArgCount(params); ++i) text += ArgText(params, i);
  const OwnedBstr v(StringToBSTR(text));
  const HRESULT hr = self.write(v.get());
  return hr;
}

HRESULT NativeDocument::InvokeWriteln(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT hr = InvokeWrite(self, flags, params, result);
  if (SUCCEEDED(hr)) self.written_ += u'\n';
  return hr;
}

HRESULT NativeDocument::InvokeClose(Self& self, WORD flags, DISPPARAMS*, VARIANT*) {
  return flags & DISPATCH_METHOD ? self.close() : DISP_E_MEMBERNOTFOUND;
}

HRESULT NativeDocument::InvokeClear(Self& self, WORD flags, DISPPARAMS*, VARIANT*) {
  return flags & DISPATCH_METHOD ? self.clear() : DISP_E_MEMBERNOTFOUND;
}

HRESULT NativeDocument::InvokeCreateElement(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  const OwnedBstr tag(StringToBSTR(ArgText(params, 0)));
  IHTMLElement* element = nullptr;
  const HRESULT hr = self.createElement(tag.get(), &element);
  if (SUCCEEDED(hr)) SetResult(result, element);
  return hr;
}

HRESULT NativeDocument::InvokeGetElementById(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  const OwnedBstr id(StringToBSTR(ArgText(params, 0)));
  IHTMLElement* element = nullptr;
  const HRESULT hr = self.getElementById(id.get(), &element);
  if (SUCCEEDED(hr)) SetResult(result, element);
  return hr;
}

HRESULT NativeDocument::InvokeGetElementsByTagName(Self& self, WORD flags, DISPPARAMS* params,
                                                   VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  const OwnedBstr tag(StringToBSTR(ArgText(params, 0)));
  IHTMLElementCollection* elements = nullptr;
  const HRESULT hr = self.getElementsByTagName(tag.get(), &elements);
  if (SUCCEEDED(hr)) SetResult(result, elements);
  return hr;
}

const DispMember<NativeDocument> NativeDocument::kMembers[] = {
    {"title", &InvokeTitle, DISPID_IHTMLDOCUMENT2_TITLE},
    {"designMode", &Get<&IHTMLDocument2::get_designMode, Self>, DISPID_IHTMLDOCUMENT2_DESIGNMODE},
    {"URL", &Get<&IHTMLDocument2::get_URL, Self>, DISPID_IHTMLDOCUMENT2_URL},
    {"charset", &InvokeCharset},
    {"defaultCharset", &InvokeDefaultCharset},
    DISP_GET(IHTMLDocument, Script),
    DISP_GET(IHTMLDocument2, all),
    DISP_GET(IHTMLDocument2, body),
    DISP_GET(IHTMLDocument2, activeElement),
    DISP_GET(IHTMLDocument2, images),
    DISP_GET(IHTMLDocument2, links),
    DISP_GET(IHTMLDocument2, forms),
    DISP_GET(IHTMLDocument2, anchors),
    DISP_GET(IHTMLDocument2, scripts),
    DISP_GET(IHTMLDocument2, readyState),
    DISP_GET(IHTMLDocument2, referrer),
    DISP_GET(IHTMLDocument2, location),
    DISP_GET(IHTMLDocument2, lastModified),
    DISP_GET(IHTMLDocument2, domain),
    DISP_GET(IHTMLDocument2, cookie),
    DISP_GET(IHTMLDocument2, mimeType),
    DISP_GET(IHTMLDocument2, fileSize),
    DISP_GET(IHTMLDocument2, fileCreatedDate),
    DISP_GET(IHTMLDocument2, fileModifiedDate),
    DISP_GET(IHTMLDocument2, fileUpdatedDate),
    DISP_GET(IHTMLDocument2, security),
    DISP_GET(IHTMLDocument2, protocol),
    DISP_GET(IHTMLDocument2, nameProp),
    DISP_GET(IHTMLDocument2, parentWindow),
    DISP_GET(IHTMLDocument3, documentElement),
    {"open", &InvokeOpen},
    {"write", &InvokeWrite},
    {"writeln", &InvokeWriteln},
    {"close", &InvokeClose},
    {"clear", &InvokeClear},
    {"createElement", &InvokeCreateElement},
    {"getElementById", &InvokeGetElementById},
    {"getElementsByTagName", &InvokeGetElementsByTagName},
};
const DispTable<NativeDocument> NativeDocument::kTable{kMembers, 2000};

// ---------------------------------------------------------------- BindCallback

HRESULT BindCallback::OnStartBinding(DWORD, IBinding* pib) {
  if (owner_) owner_->bindingStarted(pib);
  return S_OK;
}

HRESULT BindCallback::OnStopBinding(HRESULT hresult, LPCWSTR) {
  if (FAILED(hresult)) qCDebug(lcMsHtml) << "the document's load ends with" << Qt::hex << quint32(hresult);
  if (NativeDocument* owner = std::exchange(owner_, nullptr)) owner->bindFinished(hresult);
  return S_OK;
}

HRESULT BindCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* pstgmed) {
  if (owner_ && pstgmed && pstgmed->tymed == TYMED_ISTREAM) owner_->dataArrived(pstgmed->pstm);
  return S_OK;
}

HRESULT BindCallback::OnResponse(DWORD, LPCWSTR szResponseHeaders, LPCWSTR,
                                 LPWSTR* pszAdditionalRequestHeaders) {
  if (pszAdditionalRequestHeaders) *pszAdditionalRequestHeaders = nullptr;
  if (owner_) owner_->headersArrived(OleStrToString(szResponseHeaders));
  return S_OK;
}

}  // namespace

void InitializeMsHtml() {
  RegisterClassFactory(CLSID_HTMLDocument, [](IUnknown*, REFIID riid, void** ppv) -> HRESULT {
    const ComPtr<NativeDocument> document = MakeCom<NativeDocument>();
    return document->QueryInterface(riid, ppv);
  });
}

void FinalizeMsHtml() { UnregisterClassFactory(CLSID_HTMLDocument); }
