#include "EmbeddedWB/Source/IEParser.h"

#include "EmbeddedWB/Source/EwbCore.h"
#include "EmbeddedWB/Source/IEDownloadStrings.h"
#include "EmbeddedWB/Source/IEDownloadTools.h"
#include "platform/classlib/Streaming.h"
#include "platform/com/ConnectionPoints.h"
#include "platform/com/Dispatch.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Modules.h"
#include "platform/winapi/Windows.h"
#include "platform/wininet/WinInet.h"

#include <QDateTime>
#include <QTimer>

namespace IEParser {

using IEDownloadStrings::StatusCodeText;

namespace {

constexpr UINT kParseDone = WM_USER + 1;
// Posted by the wait's own timer; only its loop takes it.
constexpr UINT kWaitTimedOut = WM_USER + 0x4E1;

const char kAbout[] = "TIEParser from: https://github.com/noctivane/noctivane";
const char kProxyAgent[] = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

// The tags with a row of their own, in the order of the lookup.
const QStringList kTags = {"FRAMESET", "FRAME", "NOFRAMES", "A",        "!",    "COMMENT",
                           "IMG",      "BODY",  "BASE",     "BASEFONT", "FONT", "META",
                           "MARQUEE",  "FORM",  "SCRIPT",   "DIV",      "HR",   "BR"};
enum Tag {
  tFrameSet,
  tFrame,
  tNoFrames,
  tAnchor,
  tBang,
  tComment,
  tImg,
  tBody,
  tBase,
  tBaseFont,
  tFont,
  tMeta,
  tMarquee,
  tForm,
  tScript,
  tDiv,
  tHR,
  tBR
};

// A failed read of the document leaves the parse.
void Check(HRESULT hr) {
  if (FAILED(hr)) throw EOleSysError(StatusCodeText(hr), hr);
}

template <class I>
String Text(I* object, HRESULT (I::*get)(BSTR*)) {
  BSTR b = nullptr;
  const HRESULT hr = (object->*get)(&b);
  String s = BSTRToString(b);
  SysFreeString(b);
  Check(hr);
  return s;
}

// The same into `out`, reusing its room: the record's subtree texts are as
// long as the document near its root, and a walk reads them for every element.
template <class I>
void TextInto(String& out, I* object, HRESULT (I::*get)(BSTR*)) {
  BSTR b = nullptr;
  const HRESULT hr = (object->*get)(&b);
  out.resize(0);
  out.append(reinterpret_cast<const QChar*>(b), qsizetype(SysStringLen(b)));
  SysFreeString(b);
  Check(hr);
}

template <class I>
int Number(I* object, HRESULT (I::*get)(LONG*)) {
  LONG v = 0;
  Check((object->*get)(&v));
  return int(v);
}

template <class I>
bool Flag(I* object, HRESULT (I::*get)(VARIANT_BOOL*)) {
  VARIANT_BOOL v = VARIANT_FALSE;
  Check((object->*get)(&v));
  return v != VARIANT_FALSE;
}

template <class I>
OleVariant Value(I* object, HRESULT (I::*get)(VARIANT*)) {
  OleVariant v;
  Check((object->*get)(&v));
  return v;
}

OleVariant Index(int i) { return OleVariant(i); }

// Element `index` of the collection as `I`; a failure leaves the parse.
template <class I>
ComPtr<I> Item(IHTMLElementCollection* all, int index) {
  ComPtr<IDispatch> disp;
  Check(all->item(Index(index), Index(0), &disp));
  if (!disp) Check(E_FAIL);
  ComPtr<I> element;
  Check(disp.As(&element));
  return element;
}

const WideChar* Wide(const String& s) { return reinterpret_cast<const WideChar*>(s.utf16()); }

// Closes an Internet handle when it goes.
struct InternetHandle {
  HINTERNET handle = nullptr;
  ~InternetHandle() {
    if (handle) InternetCloseHandle(handle);
  }
};

int oleInitCount = 0;

}  // namespace

// ---------------------------------------------------------------- life

TIEParser::TIEParser(TComponent* AOwner)
    : TComponent(AOwner), about_(QString::fromLatin1(kAbout)), proxySettings_(new TProxySettings) {
  downloadOptions_ = {DownloadImages,  DownloadVideos,     DownloadBGSounds,    DontExecuteScripts,
                      DontExecuteJava, DontExecuteActiveX, DontDownloadActiveX, DownloadButDontDisplay};
  proxySettings_->SetPort(80);
  state_ = psReady;
}

TIEParser::~TIEParser() {
  if (proxySettings_->AutoLoadProxy()) ApplyProxy(String(), String());
  *alive_ = false;
  if (busy_) {
    // Destroyed inside its own wait: the waiting loop sees the flag and
    // returns without touching this object; what the end step would have
    // let go goes here.
    PostThreadMessageW(GetCurrentThreadId(), kWaitTimedOut, 0, 0);
    CoUninitialize();
  }
  ReleaseDocument();
}

void TIEParser::Loaded() {
  TComponent::Loaded();
  busy_ = false;
  state_ = psReady;
  if (proxySettings_->AutoLoadProxy() && !proxySettings_->Server().isEmpty())
    ApplyProxy(QString::fromLatin1(kProxyAgent),
               proxySettings_->Server() + u':' + IntToStr(proxySettings_->Port()));
}

// ---------------------------------------------------------------- COM

HRESULT TIEParser::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IOleClientSite)
    *ppvObject = static_cast<IOleClientSite*>(this);
  else if (riid == IID_IPropertyNotifySink)
    *ppvObject = static_cast<IPropertyNotifySink*>(this);
  else if (riid == IID_IDispatch)
    *ppvObject = static_cast<IDispatch*>(this);
  else {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT TIEParser::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (ppmk) *ppmk = nullptr;
  return E_NOTIMPL;
}

HRESULT TIEParser::GetContainer(IOleContainer** ppContainer) {
  if (ppContainer) *ppContainer = nullptr;
  return E_NOTIMPL;
}

HRESULT TIEParser::OnChanged(DISPID dispID) {
  if (!doc_ || dispID != DISPID_READYSTATE) return S_OK;
  DISPPARAMS none{};
  OleVariant state;
  if (SUCCEEDED(doc_->Invoke(DISPID_READYSTATE, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none,
                             &state, nullptr, nullptr)) &&
      state.toInt() == READYSTATE_COMPLETE)
    PostThreadMessageW(GetCurrentThreadId(), kParseDone, 0, 0);
  return S_OK;
}

HRESULT TIEParser::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* pVarResult,
                          EXCEPINFO*, UINT*) {
  if (dispIdMember != DISPID_AMBIENT_DLCONTROL) return DISP_E_MEMBERNOTFOUND;
  if (!pVarResult) return E_POINTER;
  VariantInit(pVarResult);
  pVarResult->vt = VT_I4;
  pVarResult->lVal = LONG(DownloadControlFlags());
  return S_OK;
}

DWORD TIEParser::DownloadControlFlags() const {
  DWORD word = 0;
  for (int i = 0; i <= int(WorkOffline); ++i)
    if (downloadOptions_.Contains(TDownloadControlOption(i))) word |= EwbCore::DownloadControlValues[i];
  return word;
}

// ---------------------------------------------------------------- reports

void TIEParser::ReportError(HRESULT code, const String& text) {
  if (OnParseError) OnParseError(this, int(GetLastError()), url_, text + StatusCodeText(code));
}

void TIEParser::Report(HRESULT code, const char* stepText, const char* errorText) {
  if (code < 0 && OnParseError)
    ReportError(code, QString::fromLatin1(errorText));
  else if (OnParseDocument)
    OnParseDocument(this, code, QString::fromLatin1(stepText) + StatusCodeText(code));
}

// ---------------------------------------------------------------- the parse

void TIEParser::BeginParse() {
  ReleaseDocument();
  busy_ = true;
  state_ = psBusy;
  if (OnStateChange) OnStateChange(this, psBusy);
  loop_ = true;
  startTime_ = quint32(QDateTime::currentMSecsSinceEpoch());
  CoInitialize(nullptr);
}

void TIEParser::EndParse() {
  // The kept document may outlive the parser: it must not call back.
  if (point_) point_->Unadvise(cookie_);
  point_.Reset();
  cookie_ = 0;
  if (doc_)
    if (ComPtr<IOleObject> object = doc_.As<IOleObject>()) object->SetClientSite(nullptr);
  url_.clear();
  html_.clear();
  CoUninitialize();
  busy_ = false;
  state_ = psStopped;
  if (OnStateChange) OnStateChange(this, psStopped);
}

void TIEParser::ReleaseDocument() {
  if (point_) point_->Unadvise(cookie_);
  point_.Reset();
  cookie_ = 0;
  if (doc_)
    if (ComPtr<IOleObject> object = doc_.As<IOleObject>()) object->SetClientSite(nullptr);
  all_.Reset();
  doc_.Reset();
}

void TIEParser::CreateDocument() {
  using namespace IEDownloadStrings;
  HRESULT hr = CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2, &doc_);
  Report(hr, sCoCreateInstance, sErrCoCreateInstance);
  // Without a document the later steps have nothing to work on.
  if (!doc_) return;

  ComPtr<IOleObject> object = doc_.As<IOleObject>();
  hr = object ? object->SetClientSite(this) : E_NOINTERFACE;
  Report(hr, sSetClientSite, sErrSetClientSite);

  ComPtr<IOleControl> control = doc_.As<IOleControl>();
  hr = control ? control->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL) : E_NOINTERFACE;
  Report(hr, sAmbientPropertyChange, sErrAmbientPropertyChange);

  ComPtr<IConnectionPointContainer> container = doc_.As<IConnectionPointContainer>();
  hr = container ? container->FindConnectionPoint(IID_IPropertyNotifySink, &point_) : E_NOINTERFACE;
  Report(hr, sConnectionPointContainer, sErrConnectionPointContainer);

  hr = point_ ? point_->Advise(static_cast<IPropertyNotifySink*>(this), &cookie_) : E_NOINTERFACE;
  if (FAILED(hr)) point_.Reset();
  Report(hr, sAdvise, sErrAdvise);

  QueryHeaders(url_);
}

HRESULT TIEParser::LoadFromHtml() {
  using namespace IEDownloadStrings;
  if (html_.isEmpty()) {
    if (OnParseError)
      OnParseError(this, int(E_FAIL), url_, QString::fromLatin1(sErrLoadFromString) + StatusCodeText(E_FAIL));
    return E_FAIL;
  }
  if (OnParseDocument)
    OnParseDocument(this, S_OK, QString::fromLatin1(sLoadFromString) + StatusCodeText(S_OK));
  // d := document.script.Document; d.Open; d.Clear; d.Write(Html); d.Close
  auto call = [](IDispatch* d, const char* name, WORD flags, const std::vector<OleVariant>& args,
                 OleVariant* result) {
    DISPID id = 0;
    if (!d || FAILED(DispatchGetIDOfName(d, QString::fromLatin1(name), id)) ||
        FAILED(DispatchInvoke(d, id, flags, args, result)))
      throw EOleSysError(QString::fromLatin1(name), E_FAIL);
  };
  try {
    OleVariant window, d;
    call(doc_.Get(), "script", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &window);
    call(window.toDispatch().Get(), "Document", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &d);
    const ComPtr<IDispatch> writer = d.toDispatch();
    call(writer.Get(), "Open", DISPATCH_METHOD, {OleVariant("text/Html")}, nullptr);
    call(writer.Get(), "Clear", DISPATCH_METHOD, {}, nullptr);
    call(writer.Get(), "Write", DISPATCH_METHOD, {OleVariant(html_)}, nullptr);
    call(writer.Get(), "Close", DISPATCH_METHOD, {}, nullptr);
  } catch (const Exception&) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT TIEParser::LoadFromMoniker(const String& Url) {
  using namespace IEDownloadStrings;
  ComPtr<IMoniker> moniker;
  HRESULT hr = CreateURLMonikerEx(nullptr, Wide(Url), &moniker, URL_MK_UNIFORM);
  Report(hr, sCreateURLMonikerEx, sErrCreateURLMonikerEx);
  ComPtr<IBindCtx> context;
  hr = CreateBindCtx(0, &context);
  Report(hr, sCreateAsyncBindCtx, sErrCreateAsyncBindCtx);
  ComPtr<IPersistMoniker> persist = doc_.As<IPersistMoniker>();
  hr = persist && moniker ? persist->Load(FALSE, moniker.Get(), context.Get(), 0) : E_NOINTERFACE;
  Report(hr, sLoadAsPersistMoniker, sErrLoadAsPersistMoniker);
  return hr;
}

bool TIEParser::WaitForDocument(bool& destroyed) {
  const std::shared_ptr<bool> alive = alive_;
  const DWORD thread = GetCurrentThreadId();
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [thread] { PostThreadMessageW(thread, kWaitTimedOut, 0, 0); });
  timer.start(LoadTimeoutMs);
  MSG msg;
  while (loop_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (!*alive) {
      destroyed = true;
      return false;
    }
    if (!got) return false;  // the quit message ends the wait
    if (!msg.hwnd && msg.message == kParseDone) {
      loop_ = false;
      return true;
    }
    if (!msg.hwnd && msg.message == kWaitTimedOut) {
      if (timer.isActive()) continue;  // one left over from an earlier wait
      return false;
    }
    DispatchMessageW(&msg);
  }
  return false;
}

void TIEParser::Parse(const String& URL) {
  if (busy_) return;
  BeginParse();
  try {
    url_ = URL;
    CreateDocument();
    HRESULT code = S_OK;
    if (!doc_) {
      code = REGDB_E_CLASSNOTREG;
      if (OnParseError) ReportError(code, QString::fromLatin1(IEDownloadStrings::sErrLoadFromString));
      EndParse();
      return;
    }
    const bool fromHtml = url_.isEmpty();
    if (!fromHtml) {
      // An address that is not one loads nothing: nothing would complete.
      code = IEDownloadTools::UrlIsValid(url_) ? LoadFromMoniker(url_) : INET_E_INVALID_URL;
      Report(code, IEDownloadStrings::sLoadFromMoniker, IEDownloadStrings::sErrLoadFromMoniker);
    } else {
      code = LoadFromHtml();
    }
    if (FAILED(code)) {
      EndParse();
      return;
    }

    bool destroyed = false;
    const bool completed = WaitForDocument(destroyed);
    if (destroyed) return;
    if (completed) {
      Complete();
      if (!busy_) return;  // the bad-document exit ended the parse
    } else if (loop_) {
      // The time limit passed: the page never came.
      if (fromHtml)
        Report(INET_E_CONNECTION_TIMEOUT, IEDownloadStrings::sLoadFromString,
               IEDownloadStrings::sErrLoadFromString);
      else
        Report(INET_E_CONNECTION_TIMEOUT, IEDownloadStrings::sLoadFromMoniker,
               IEDownloadStrings::sErrLoadFromMoniker);
      EndParse();
      return;
    }

    url_.clear();
    if (OnParseComplete) OnParseComplete(this, doc_.Get(), all_.Get());
    const quint32 elapsed = quint32(QDateTime::currentMSecsSinceEpoch()) - startTime_;
    if (OnParseDocument)
      OnParseDocument(this, S_OK,
                      QStringLiteral("Done. Process Time: ") + IEDownloadTools::MillisecondsToText(elapsed));
    EndParse();
  } catch (...) {
    if (busy_) EndParse();
    throw;
  }
}

void TIEParser::Complete() {
  Check(doc_->get_all(&all_));
  if (all_) {
    LONG length = 0;
    Check(all_->get_length(&length));
    if (length <= 4) {
      if (OnParseError)
        OnParseError(this, int(E_FAIL), url_,
                     QString::fromLatin1(IEDownloadStrings::sBadDocument) + StatusCodeText(E_FAIL));
      EndParse();
      return;
    }
    if (!downloadOnly_) WalkElements();
  }
  ReportDocInfo();
}

// ---------------------------------------------------------------- the walk

void TIEParser::WalkElements() {
  LONG n = 0;
  Check(all_->get_length(&n));
  TElementInfo& e = elementInfo_;
  for (int i = 0; i < int(n); ++i) {
    const ComPtr<IHTMLElement> element = Item<IHTMLElement>(all_.Get(), i);
    IHTMLElement* el = element.Get();
    e.ClassName = Text(el, &IHTMLElement::get_className);
    e.Id = Text(el, &IHTMLElement::get_id);
    e.TagName = Text(el, &IHTMLElement::get_tagName);
    e.Title = Text(el, &IHTMLElement::get_title);
    e.Language = Text(el, &IHTMLElement::get_language);
    e.SourceIndex = Number(el, &IHTMLElement::get_sourceIndex);
    e.RecordNumber = Value(el, &IHTMLElement::get_recordNumber);
    e.Lang = Text(el, &IHTMLElement::get_lang);
    e.OffsetLeft = Number(el, &IHTMLElement::get_offsetLeft);
    e.OffsetTop = Number(el, &IHTMLElement::get_offsetTop);
    e.OffsetWidth = Number(el, &IHTMLElement::get_offsetWidth);
    e.OffsetHeight = Number(el, &IHTMLElement::get_offsetHeight);
    TextInto(e.InnerHTML, el, &IHTMLElement::get_innerHTML);
    TextInto(e.InnerText, el, &IHTMLElement::get_innerText);
    TextInto(e.OuterHTML, el, &IHTMLElement::get_outerHTML);
    TextInto(e.OuterText, el, &IHTMLElement::get_outerText);
    if (OnElement) OnElement(this, e);
    RunTagRow(IEDownloadTools::IndexOfText(Text(el, &IHTMLElement::get_tagName), kTags), i, el);
  }
  // The record keeps the last element's texts, not the room of the largest.
  for (String* text : {&e.InnerHTML, &e.InnerText, &e.OuterHTML, &e.OuterText}) text->squeeze();
}

void TIEParser::RunTagRow(int tag, int i, IHTMLElement* element) {
  TElementInfo& e = elementInfo_;
  IHTMLElementCollection* all = all_.Get();
  switch (tag) {
    case tFrameSet:
      if (OnFrameSet) {
        const auto t = Item<IHTMLFrameSetElement>(all, i);
        OleVariant border = Value(t.Get(), &IHTMLFrameSetElement::get_border);
        OleVariant borderColor = Value(t.Get(), &IHTMLFrameSetElement::get_borderColor);
        OleVariant spacing = Value(t.Get(), &IHTMLFrameSetElement::get_frameSpacing);
        OnFrameSet(this, Text(t.Get(), &IHTMLFrameSetElement::get_rows),
                   Text(t.Get(), &IHTMLFrameSetElement::get_cols),
                   Text(t.Get(), &IHTMLFrameSetElement::get_frameBorder),
                   Text(t.Get(), &IHTMLFrameSetElement::get_name), border, borderColor, spacing, e);
      }
      break;
    case tFrame:
      if (OnFrame) {
        auto attribute = [element](const char* name) {
          BSTR b = StringToBSTR(QString::fromLatin1(name));
          OleVariant v;
          const HRESULT hr = element->getAttribute(b, 0, &v);
          SysFreeString(b);
          Check(hr);
          return v;
        };
        const OleVariant src = attribute("Src");
        OleVariant source(src.isNull() || src.isEmpty() ? String() : src.toString());
        OleVariant name = attribute("Name");
        OnFrame(this, source, name, e);
      }
      break;
    case tNoFrames:
      if (OnNoFrame) OnNoFrame(this, e);
      break;
    case tAnchor:
      if (OnAnchor) {
        const auto t = Item<IHTMLAnchorElement>(all, i);
        using A = IHTMLAnchorElement;
        A* a = t.Get();
        // Read in the order of the event's parameters.
        const String href = Text(a, &A::get_href), target = Text(a, &A::get_target),
                     rel = Text(a, &A::get_rel), rev = Text(a, &A::get_rev), urn = Text(a, &A::get_urn),
                     methods = Text(a, &A::get_Methods), name = Text(a, &A::get_name),
                     host = Text(a, &A::get_host), hostName = Text(a, &A::get_hostname),
                     pathName = Text(a, &A::get_pathname), port = Text(a, &A::get_port),
                     protocol = Text(a, &A::get_protocol), search = Text(a, &A::get_search),
                     hash = Text(a, &A::get_hash), accessKey = Text(a, &A::get_accessKey),
                     protocolLong = Text(a, &A::get_protocolLong), mimeType = Text(a, &A::get_mimeType),
                     nameProp = Text(a, &A::get_nameProp);
        OnAnchor(this, href, target, rel, rev, urn, methods, name, host, hostName, pathName, port, protocol,
                 search, hash, accessKey, protocolLong, mimeType, nameProp, e);
      }
      break;
    case tComment:
      if (OnComment) {
        const auto t = Item<IHTMLCommentElement>(all, i);
        OnComment(this, Text(t.Get(), &IHTMLCommentElement::get_text), e);
      }
      break;
    case tImg:
      if (OnImage) {
        using I = IHTMLImgElement;
        const auto t = Item<I>(all, i);
        I* m = t.Get();
        const String src = Text(m, &I::get_src), lowSrc = Text(m, &I::get_lowsrc),
                     vrml = Text(m, &I::get_vrml), dynSrc = Text(m, &I::get_dynsrc),
                     alt = Text(m, &I::get_alt), align = Text(m, &I::get_align),
                     useMap = Text(m, &I::get_useMap);
        const bool isMap = Flag(m, &I::get_isMap);
        OleVariant border = Value(m, &I::get_border), loop = Value(m, &I::get_loop);
        const int vSpace = Number(m, &I::get_vspace), hSpace = Number(m, &I::get_hspace),
                  width = Number(m, &I::get_width), height = Number(m, &I::get_height);
        OnImage(this, src, lowSrc, vrml, dynSrc, alt, align, useMap, isMap, border, loop, vSpace, hSpace,
                width, height, e);
      }
      break;
    case tBody:
      if (OnBody) {
        using B = IHTMLBodyElement;
        const auto t = Item<B>(all, i);
        B* b = t.Get();
        const String background = Text(b, &B::get_background), properties = Text(b, &B::get_bgProperties);
        OleVariant left = Value(b, &B::get_leftMargin), top = Value(b, &B::get_topMargin),
                   right = Value(b, &B::get_rightMargin), bottom = Value(b, &B::get_bottomMargin),
                   bgColor = Value(b, &B::get_bgColor), text = Value(b, &B::get_text),
                   link = Value(b, &B::get_link), vLink = Value(b, &B::get_vLink),
                   aLink = Value(b, &B::get_aLink);
        const bool noWrap = Flag(b, &B::get_noWrap);
        OnBody(this, background, properties, left, top, right, bottom, bgColor, text, link, vLink, aLink,
               noWrap, e);
      }
      break;
    case tBase:
      if (OnBase) {
        const auto t = Item<IHTMLBaseElement>(all, i);
        const String href = Text(t.Get(), &IHTMLBaseElement::get_href);
        OnBase(this, href, Text(t.Get(), &IHTMLBaseElement::get_target), e);
      }
      break;
    case tBaseFont:
      if (OnBaseFont) {
        using F = IHTMLBaseFontElement;
        const auto t = Item<F>(all, i);
        OleVariant color = Value(t.Get(), &F::get_color);
        const String face = Text(t.Get(), &F::get_face);
        OnBaseFont(this, color, face, Number(t.Get(), &F::get_size), e);
      }
      break;
    case tFont:
      if (OnFont) {
        using F = IHTMLFontElement;
        const auto t = Item<F>(all, i);
        OleVariant color = Value(t.Get(), &F::get_color), size = Value(t.Get(), &F::get_size);
        OnFont(this, color, size, Text(t.Get(), &F::get_face), e);
      }
      break;
    case tMeta:
      if (OnMeta) {
        using M = IHTMLMetaElement;
        const auto t = Item<M>(all, i);
        M* m = t.Get();
        const String equiv = Text(m, &M::get_httpEquiv), content = Text(m, &M::get_content),
                     name = Text(m, &M::get_name), url = Text(m, &M::get_url);
        OnMeta(this, equiv, content, name, url, Text(m, &M::get_charset), e);
      }
      break;
    case tMarquee:
      if (OnMarquee) {
        using M = IHTMLMarqueeElement;
        const auto t = Item<M>(all, i);
        M* m = t.Get();
        OleVariant bgColor = Value(m, &M::get_bgColor), width = Value(m, &M::get_width),
                   height = Value(m, &M::get_height);
        const String direction = Text(m, &M::get_direction), behavior = Text(m, &M::get_behavior);
        const int amount = Number(m, &M::get_scrollAmount), delay = Number(m, &M::get_scrollDelay),
                  loop = Number(m, &M::get_loop), vSpace = Number(m, &M::get_vspace),
                  hSpace = Number(m, &M::get_hspace);
        OnMarquee(this, bgColor, width, height, direction, behavior, amount, delay, loop, vSpace, hSpace, e);
      }
      break;
    case tForm:
      if (OnForm) {
        using F = IHTMLFormElement;
        const auto t = Item<F>(all, i);
        F* f = t.Get();
        const String action = Text(f, &F::get_action), dir = Text(f, &F::get_dir),
                     encoding = Text(f, &F::get_encoding), method = Text(f, &F::get_method),
                     target = Text(f, &F::get_target);
        OnForm(this, action, dir, encoding, method, target, Text(f, &F::get_name), e);
      }
      break;
    case tScript:
      if (OnScript) {
        using S = IHTMLScriptElement;
        const auto t = Item<S>(all, i);
        S* s = t.Get();
        const String src = Text(s, &S::get_src), htmlFor = Text(s, &S::get_htmlFor),
                     event = Text(s, &S::get_event), text = Text(s, &S::get_text);
        OnScript(this, src, htmlFor, event, text, Flag(s, &S::get_defer), e);
      }
      break;
    case tDiv:
      if (OnDiv) {
        const auto t = Item<IHTMLDivElement>(all, i);
        const String align = Text(t.Get(), &IHTMLDivElement::get_align);
        OnDiv(this, align, Flag(t.Get(), &IHTMLDivElement::get_noWrap), e);
      }
      break;
    case tHR:
      if (OnHR) {
        using H = IHTMLHRElement;
        const auto t = Item<H>(all, i);
        H* h = t.Get();
        const String align = Text(h, &H::get_align);
        OleVariant color = Value(h, &H::get_color), width = Value(h, &H::get_width),
                   size = Value(h, &H::get_size);
        OnHR(this, align, color, width, size, Flag(h, &H::get_noShade), e);
      }
      break;
    case tBR:
      if (OnBR) {
        const auto t = Item<IHTMLBRElement>(all, i);
        OnBR(this, Text(t.Get(), &IHTMLBRElement::get_clear), e);
      }
      break;
    default: break;  // "!" and tags without a row
  }
}

// ---------------------------------------------------------------- around the walk

void TIEParser::QueryHeaders(const String& Url) {
  InternetHandle root;
  root.handle = InternetOpenW(reinterpret_cast<LPCWSTR>(u"TIEMultiDownload"),
                              INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr, 0);
  if (!root.handle) return;
  InternetHandle request;
  request.handle = InternetOpenUrlW(root.handle, Wide(Url), nullptr, 0, INTERNET_FLAG_NO_UI, 0);
  if (!request.handle) return;
  auto header = [&](DWORD query) {
    char16_t buffer[1025] = {};
    DWORD length = sizeof buffer;
    if (!HttpQueryInfoW(request.handle, query, buffer, &length, nullptr)) return String();
    return String::fromUtf16(buffer);
  };
  contentType_ = header(HTTP_QUERY_CONTENT_TYPE);
  contentEncoding_ = header(HTTP_QUERY_CONTENT_ENCODING);
  contentDisposition_ = header(HTTP_QUERY_CONTENT_DISPOSITION);
  if (OnQueryInfo) OnQueryInfo(contentType_, contentEncoding_, contentDisposition_);
}

void TIEParser::ReportDocInfo() {
  if (!doc_ || Text(doc_.Get(), &IHTMLDocument2::get_readyState) != QLatin1String("complete")) return;
  if (!OnDocInfo) return;
  IHTMLDocument2* d = doc_.Get();
  using D = IHTMLDocument2;
  using L = IHTMLLocation;
  try {
    auto line = [this](const char* label, const String& value) {
      OnDocInfo(this, QString::fromLatin1(label) + value);
    };
    // The location and the body are read when their first line is due; a
    // missing one ends the lines as a failed read does.
    auto location = [d] {
      ComPtr<IHTMLLocation> l;
      Check(d->get_location(&l));
      if (!l) Check(E_POINTER);
      return l;
    };
    auto body = [d] {
      ComPtr<IHTMLElement> b;
      Check(d->get_body(&b));
      if (!b) Check(E_POINTER);
      return b;
    };
    line("Title: ", Text(d, &D::get_title));
    line("Design Mode: ", Text(d, &D::get_designMode));
    line("State: ", Text(d, &D::get_readyState));
    line("Referrer: ", Text(d, &D::get_referrer));
    line("Location: ", Text(location().Get(), &L::get_href));
    line("Last Modified: ", Text(d, &D::get_lastModified));
    line("URL: ", Text(d, &D::get_URL));
    if (!html_.isEmpty()) line("Domain: ", Text(d, &D::get_domain));
    line("Cookie: ", Text(d, &D::get_cookie));
    line("Charset: ", Text(d, &D::get_charset));
    line("Default Charset: ", Text(d, &D::get_defaultCharset));
    line("File Updated Date: ", Text(d, &D::get_fileUpdatedDate));
    line("Security: ", Text(d, &D::get_security));
    line("Protocol: ", Text(d, &D::get_protocol));
    line("Name Property: ", Text(d, &D::get_nameProp));
    line("Path Name: ", Text(location().Get(), &L::get_pathname));
    line("Port: ", Text(location().Get(), &L::get_port));
    line("Protocol: ", Text(location().Get(), &L::get_protocol));
    line("Host: ", Text(location().Get(), &L::get_host));
    line("Hash: ", Text(location().Get(), &L::get_hash));
    line("Search: ", Text(location().Get(), &L::get_search));
    line("Language: ", Text(body().Get(), &IHTMLElement::get_language));
    line("Lang: ", Text(body().Get(), &IHTMLElement::get_lang));
  } catch (const EOleSysError&) {
    // A failed read ends the lines; the parse goes on.
  }
}

bool TIEParser::ApplyProxy(const String& Agent, const String& Server) {
  String server = Server;
  String bypass = QStringLiteral("<local>");
  INTERNET_PER_CONN_OPTIONW options[3] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = reinterpret_cast<LPWSTR>(server.data());
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[2].Value.pszValue = reinterpret_cast<LPWSTR>(bypass.data());
  INTERNET_PER_CONN_OPTION_LISTW list = {};
  list.dwSize = INTERNET_PER_CONN_OPTION_LIST_SIZE32;
  list.pszConnection = nullptr;
  list.dwOptionCount = 3;
  list.pOptions = options;

  InternetHandle root;
  root.handle = InternetOpenW(Wide(Agent), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!root.handle) return false;
  return InternetSetOptionW(root.handle, INTERNET_OPTION_PER_CONNECTION_OPTION, &list,
                            INTERNET_PER_CONN_OPTION_LIST_SIZE32) &&
         InternetSetOptionW(root.handle, INTERNET_OPTION_REFRESH, nullptr, 0);
}

// ---------------------------------------------------------------- unit

void initialize() {
  if (oleInitCount++ == 0) OleInitialize(nullptr);
  RegisterClass<TIEParser>();
  using P = TIEParser;
  RegisterEvents<P>({
      EventEntry("OnAnchor", &P::OnAnchor),
      EventEntry("OnBase", &P::OnBase),
      EventEntry("OnBaseFont", &P::OnBaseFont),
      EventEntry("OnBody", &P::OnBody),
      EventEntry("OnBR", &P::OnBR),
      EventEntry("OnComment", &P::OnComment),
      EventEntry("OnDiv", &P::OnDiv),
      EventEntry("OnParseComplete", &P::OnParseComplete),
      EventEntry("OnElement", &P::OnElement),
      EventEntry("OnFont", &P::OnFont),
      EventEntry("OnForm", &P::OnForm),
      EventEntry("OnHR", &P::OnHR),
      EventEntry("OnImage", &P::OnImage),
      EventEntry("OnMarquee", &P::OnMarquee),
      EventEntry("OnMeta", &P::OnMeta),
      EventEntry("OnBusyStateChange", &P::OnBusyStateChange),
      EventEntry("OnDocInfo", &P::OnDocInfo),
      EventEntry("OnFrame", &P::OnFrame),
      EventEntry("OnFrameSet", &P::OnFrameSet),
      EventEntry("OnNoFrame", &P::OnNoFrame),
      EventEntry("OnQueryInfo", &P::OnQueryInfo),
      EventEntry("OnParseDocument", &P::OnParseDocument),
      EventEntry("OnParseError", &P::OnParseError),
      EventEntry("OnStateChange", &P::OnStateChange),
      EventEntry("OnStatusText", &P::OnStatusText),
      EventEntry("OnScript", &P::OnScript),
  });
}

void finalize() {
  if (oleInitCount > 0 && --oleInitCount == 0) OleUninitialize();
}

}  // namespace IEParser
