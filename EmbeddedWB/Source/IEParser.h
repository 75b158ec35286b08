#pragma once
// The page parser: TIEParser loads one page (by address, or from its Html
// text) into a windowless HTML document that it hosts itself, waits for the
// document to be complete by running a message loop of its own, and walks
// every element, raising one event per element and one per known tag with
// the tag's own attributes. Around the walk it reports each loading step,
// the page's headers and the document's general information, and ends with
// a "Done." line that carries the elapsed time.
#include "EmbeddedWB/Source/IEDownloadTools.h"
#include "platform/classlib/Components.h"
#include "platform/classlib/TypedSet.h"
#include "platform/com/ConnectionPoints.h"
#include "platform/com/OleCtl.h"
#include "platform/com/Variant.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/rtl/Classes.h"

#include <functional>
#include <memory>

namespace IEParser {
Q_NAMESPACE

// What the parser's document may download and run; each member stands for
// one DLCTL flag, with the browser host's members and values.
enum TDownloadControlOption {
  DownloadImages,
  DownloadVideos,
  DownloadBGSounds,
  DontExecuteScripts,
  DontExecuteJava,
  DontExecuteActiveX,
  DontDownloadActiveX,
  DownloadButDontDisplay,
  DontDownloadFrame,
  CheckPageResynchronize,
  DownloadAndIgnoreCache,
  DontDownloadBehaviors,
  SuppressedMetaCharset,
  DisableUrlIfEncodingUTF8,
  EnableUrlIfEncodingUTF8,
  ForceOfflineMode,
  DontPerformClientPull,
  DownloadInSilentMode,
  WorkOffline,
};
Q_ENUM_NS(TDownloadControlOption)
using TDownloadControlOptions = TSet<TDownloadControlOption>;

enum TParserState { psBusy, psReady, psStopped };
Q_ENUM_NS(TParserState)

// One element's general properties, refilled for every element of the walk.
struct TElementInfo {
  String ClassName;
  String Id;
  String InnerHTML;
  String InnerText;
  String Lang;
  String Language;
  int OffsetHeight = 0;
  int OffsetLeft = 0;
  int OffsetTop = 0;
  int OffsetWidth = 0;
  String OuterHTML;
  String OuterText;
  OleVariant RecordNumber;
  int SourceIndex = 0;
  String TagName;
  String Title;
};

using IEDownloadTools::TProxySettings;

// ---------------------------------------------------------------- events

using TOnParseDocumentEvent = std::function<void(TObject* Sender, HRESULT Res, const String& stMessage)>;
using TOnParseErrorEvent =
    std::function<void(TObject* Sender, int ErrorCode, const String& Url, const String& stError)>;
using TStateChangeEvent = std::function<void(TObject* Sender, TParserState State)>;
using TOnParseCompleteEvent =
    std::function<void(TObject* Sender, IHTMLDocument2* Doc, IHTMLElementCollection* All)>;
using TOnDocInfoEvent = std::function<void(TObject* Sender, const String& Text)>;
using TOnQueryInfoEvent =
    std::function<void(const String& MimeType, const String& Encoding, const String& Disposition)>;
using TOnStatusTextEvent = std::function<void(TObject* Sender, const String& Text)>;

using TOnElementEvent = std::function<void(TObject* Sender, TElementInfo& ElementInfo)>;
using TOnFrameSetEvent = std::function<void(
    TObject* Sender, const String& Rows, const String& Cols, const String& FrameBorder, const String& Name,
    OleVariant& Border, OleVariant& BorderColor, OleVariant& FrameSpacing, TElementInfo& Element)>;
using TOnFrameEvent =
    std::function<void(TObject* Sender, OleVariant& Source, OleVariant& Name, TElementInfo& Element)>;
using TNoFramesEvent = std::function<void(TObject* Sender, TElementInfo& ELement)>;
using TOnAnchorEvent =
    std::function<void(TObject* Sender, String hRef, String Target, String Rel, String Rev, String Urn,
                       String Methods, String Name, String Host, String HostName, String PathName,
                       String Port, String Protocol, String Search, String Hash, String AccessKey,
                       String ProtocolLong, String MimeType, String NameProp, TElementInfo& Element)>;
using TOnCommentEvent = std::function<void(TObject* Sender, String Text, TElementInfo& Element)>;
using TOnImageEvent =
    std::function<void(TObject* Sender, String Source, String LowSrc, String Vrml, String DynSrc, String Alt,
                       String Align, String UseMap, bool IsMap, OleVariant& Border, OleVariant& Loop,
                       int vSpace, int hSpace, int Width, int Height, TElementInfo& Element)>;
using TOnBodyEvent = std::function<void(
    TObject* Sender, String Background, String bgProperties, OleVariant& LeftMargin, OleVariant& TopMargin,
    OleVariant& RightMargin, OleVariant& BottomMargin, OleVariant& bgColor, OleVariant& Text,
    OleVariant& Link, OleVariant& vLink, OleVariant& aLink, bool NoWrap, TElementInfo& Element)>;
using TOnBaseEvent = std::function<void(TObject* Sender, String hRef, String Target, TElementInfo& Element)>;
using TOnBaseFontEvent =
    std::function<void(TObject* Sender, OleVariant& Color, String Face, int Size, TElementInfo& Element)>;
using TOnFontEvent = std::function<void(TObject* Sender, OleVariant& Color, OleVariant& Size, String Face,
                                        TElementInfo& Element)>;
using TOnMetaEvent = std::function<void(TObject* Sender, String HttpEquiv, String Content, String Name,
                                        String URL, String Charset, TElementInfo& Element)>;
using TOnMarqueeEvent =
    std::function<void(TObject* Sender, OleVariant& bgColor, OleVariant& Width, OleVariant& Height,
                       String Direction, String Behavior, int ScrollAmount, int ScrollDelay, int Loop,
                       int vSpace, int hSpace, TElementInfo& Element)>;
using TOnFormEvent = std::function<void(TObject* Sender, String Action, String Dir, String Encoding,
                                        String Method, String Target, String Name, TElementInfo& Element)>;
using TOnScriptEvent = std::function<void(TObject* Sender, String Source, String HtmlFor, String Event,
                                          String Text, bool Defer, TElementInfo& Element)>;
using TOnDIVEvent = std::function<void(TObject* Sender, String Align, bool NoWrap, TElementInfo& Element)>;
using TOnHREvent = std::function<void(TObject* Sender, String Align, OleVariant& Color, OleVariant& Width,
                                      OleVariant& Size, bool NoShade, TElementInfo& Element)>;
using TOnBREvent = std::function<void(TObject* Sender, String Clear, TElementInfo& Element)>;

// ---------------------------------------------------------------- TIEParser

// The longest wait for a complete document, in milliseconds.
inline constexpr int DefaultLoadTimeoutMs = 60000;

// The parser is the document's client site, answers its ambient
// download-control question and hears its ready state. Its COM interfaces
// live as long as the component: releases never free it.
class TIEParser : public TComponent, public IOleClientSite, public IPropertyNotifySink, public IDispatch {
  Q_OBJECT
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(bool DownloadOnly READ DownloadOnly WRITE SetDownloadOnly)
  Q_PROPERTY(IEParser::TDownloadControlOptions DownloadOptions READ DownloadOptions WRITE SetDownloadOptions)
  Q_PROPERTY(QString Html READ Html WRITE SetHtml)
  Q_PROPERTY(bool ParseNoFrames READ ParseNoFrames WRITE SetParseNoFrames)
  Q_PROPERTY(IEDownloadTools::TProxySettings* ProxySettings READ ProxySettings)
  Q_PROPERTY(QString URL READ URL WRITE SetURL)

 public:
  Q_INVOKABLE explicit TIEParser(TComponent* AOwner);
  ~TIEParser() override;

  // ---- published properties
  const String& About() const { return about_; }
  void SetAbout(const String&) {}  // the credit text stays
  bool DownloadOnly() const { return downloadOnly_; }
  void SetDownloadOnly(bool v) { downloadOnly_ = v; }
  TDownloadControlOptions DownloadOptions() const { return downloadOptions_; }
  void SetDownloadOptions(TDownloadControlOptions v) { downloadOptions_ = v; }
  const String& Html() const { return html_; }
  void SetHtml(const String& v) { html_ = v; }
  bool ParseNoFrames() const { return parseNoFrames_; }
  void SetParseNoFrames(bool v) { parseNoFrames_ = v; }
  TProxySettings* ProxySettings() const { return proxySettings_.get(); }
  const String& URL() const { return url_; }
  void SetURL(const String& v) { url_ = v; }

  TParserState State() const { return state_; }
  bool Busy() const { return busy_; }
  // The document and its element collection of the last parse (null before one).
  IHTMLDocument2* Document() const { return doc_.Get(); }
  IHTMLElementCollection* Elements() const { return all_.Get(); }
  // The element record, holding the last walked element.
  const TElementInfo& ElementInfo() const { return elementInfo_; }
  // The headers of the last header query.
  const String& ContentType() const { return contentType_; }
  const String& ContentDisposition() const { return contentDisposition_; }
  const String& ContentEncoding() const { return contentEncoding_; }
  // How long a parse waits for its document before it counts as a failed
  // load (INET_E_CONNECTION_TIMEOUT).
  int LoadTimeoutMs = DefaultLoadTimeoutMs;

  // Loads `URL` (or, when it is empty, the Html text), waits, walks and
  // reports; every event is raised before it returns. A call while a parse
  // runs (from a handler inside the wait) returns at once and raises nothing.
  // A failing read of the document raises the error to the caller, after
  // the end step.
  void Parse(const String& URL);

  // The DLCTL word of DownloadOptions.
  DWORD DownloadControlFlags() const;
  // Sets the proxy of the default connection (server, "<local>" bypass)
  // through a root handle opened with the agent name; true when the options
  // were set and refreshed.
  bool ApplyProxy(const String& Agent, const String& Server);

  void Loaded() override;

  // ---- IUnknown (the component's lifetime)
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  // ---- IOleClientSite
  HRESULT SaveObject() override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
  HRESULT GetContainer(IOleContainer** ppContainer) override;
  HRESULT ShowObject() override { return E_NOTIMPL; }
  HRESULT OnShowWindow(BOOL) override { return E_NOTIMPL; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

  // ---- IPropertyNotifySink: a complete document posts the completion message
  HRESULT OnChanged(DISPID dispID) override;
  HRESULT OnRequestEdit(DISPID) override { return E_NOTIMPL; }

  // ---- IDispatch: the ambient download-control property only
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- published events
  TOnParseDocumentEvent OnParseDocument;
  TOnParseErrorEvent OnParseError;
  TStateChangeEvent OnStateChange;
  TOnParseCompleteEvent OnParseComplete;
  TOnDocInfoEvent OnDocInfo;
  TOnQueryInfoEvent OnQueryInfo;
  TNotifyEvent OnBusyStateChange;   // kept for forms that bind it; nothing raises it
  TOnStatusTextEvent OnStatusText;  // kept for forms that bind it; nothing raises it
  TOnElementEvent OnElement;
  TOnFrameSetEvent OnFrameSet;
  TOnFrameEvent OnFrame;
  TNoFramesEvent OnNoFrame;
  TOnAnchorEvent OnAnchor;
  TOnCommentEvent OnComment;
  TOnImageEvent OnImage;
  TOnBodyEvent OnBody;
  TOnBaseEvent OnBase;
  TOnBaseFontEvent OnBaseFont;
  TOnFontEvent OnFont;
  TOnMetaEvent OnMeta;
  TOnMarqueeEvent OnMarquee;
  TOnFormEvent OnForm;
  TOnScriptEvent OnScript;
  TOnDIVEvent OnDiv;
  TOnHREvent OnHR;
  TOnBREvent OnBR;

 private:
  // One loading step's report: OnParseError for a failure when it is
  // assigned, else OnParseDocument.
  void Report(HRESULT code, const char* stepText, const char* errorText);
  void ReportError(HRESULT code, const String& text);
  void BeginParse();
  void EndParse();
  void CreateDocument();
  HRESULT LoadFromHtml();
  HRESULT LoadFromMoniker(const String& Url);
  // Runs the message loop until the completion message, a quit message or
  // the time-out; answers whether the document completed. Sets `destroyed`
  // when the parser went inside the loop.
  bool WaitForDocument(bool& destroyed);
  void Complete();
  void WalkElements();
  void RunTagRow(int tag, int index, IHTMLElement* element);
  void QueryHeaders(const String& Url);
  void ReportDocInfo();
  // Lets the document go: unadvises the sink, clears its client site, then
  // releases it and its collection.
  void ReleaseDocument();

  bool loop_ = false;
  TElementInfo elementInfo_;
  String about_;
  bool busy_ = false;
  TDownloadControlOptions downloadOptions_;
  bool downloadOnly_ = false;
  String html_;
  String contentType_;
  String contentDisposition_;
  String contentEncoding_;
  bool parseNoFrames_ = false;
  std::unique_ptr<TProxySettings> proxySettings_;
  TParserState state_ = psReady;
  String url_;
  quint32 startTime_ = 0;
  ComPtr<IHTMLElementCollection> all_;
  ComPtr<IHTMLDocument2> doc_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
  // Cleared by the destructor, so a wait that outlives the parser ends.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The unit's start-up and close-down: OLE for the thread, and the class
// and its events for the form streaming.
void initialize();
void finalize();

}  // namespace IEParser
