#pragma once
// The download component: fetches an address through the platform's URL
// monikers and reports every step of the binding as events (connection
// steps, progress, response headers, redirects, authentication, security
// problems, data and completion). Each download is carried by one TBSCB,
// which is the binding's bind-status callback. Bindings run asynchronously:
// the transfer runs on the platform's worker, and every callback and event
// arrives on the main thread through its event loop, which is never blocked
// for a download's length. Downloads of one component run side by side.
//
// Start operations: Download (the component's Url), Go (a given address) and
// the mode: 0 the moniker binding (dmFile writes the file, dmStream hands the
// data to OnStreamComplete), 1 the platform's download to a file, 2 its
// download to the cache.
//
// Creating the component sets the time separator of all date and time
// formatting in the process to "_".
#include "EmbeddedWB/Source/IEDownloadStrings.h"
#include "EmbeddedWB/Source/IEDownloadTools.h"
#include "platform/classlib/Components.h"
#include "platform/classlib/Persistent.h"
#include "platform/classlib/TypedSet.h"
#include "platform/com/ComObject.h"
#include "platform/rtl/Classes.h"
#include "platform/urlmon/UrlMon.h"

#include <QByteArray>
#include <QFile>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace IEDownload {
Q_NAMESPACE

enum TBindF_Option {
  Asynchronous,
  AsyncStorage,
  NoProgressiveRendering,
  OfflineOperation,
  GetNewestVersion,
  NoWriteCache,
  NeedFile,
  PullData,
  IgnoreSecurityProblem,
  Resynchronize,
  AllowHyperlink,
  No_UI,
  SilentOperation,
  Pragma_No_Cache,
  GetClassObject,
  Reserved_1,
  Free_Threaded,
  DirectReadIgnoreSize,
  HandleAsFormsSubmit,
  GetFromCacheIfNetFail,
  FromUrlmon,
  FisrtTryCache,
  PreferDefaultHandler,
  RestrictedSitesZone
};
Q_ENUM_NS(TBindF_Option)
using TBindF_Options = TSet<TBindF_Option>;

enum TBindF2_Option {
  DisableBasicAuth,
  DisableAutoCookie,
  DisableRedirectUnlessSID,
  ReadDataOver4GB,
  Reserved_2,
  Reserved_11
};
Q_ENUM_NS(TBindF2_Option)
using TBindF2_Options = TSet<TBindF2_Option>;

enum TBindInfoF_Option { PostData, ExtraInfo };
Q_ENUM_NS(TBindInfoF_Option)
using TBindInfoF_Options = TSet<TBindInfoF_Option>;

enum TBindInfoOptions_Option {
  UseBindInfoOptions,
  EnableUtf8,
  DisableUtf8,
  UseIE_Encoding,
  BindToObject,
  SecurityOptOut,
  IgnoreMimeTextPlain,
  UseBindStrCredentials,
  IgnoreHttp2HttpsRedirect,
  IgnoreSslErrOnce,
  WpcDownloadBlocked,
  WpcLoggingEnabled,
  DisableAutoRedirect,
  ShDocVw_Reserved,
  AllowConnectMessages
};
Q_ENUM_NS(TBindInfoOptions_Option)
using TBindInfoOptions_Options = TSet<TBindInfoOptions_Option>;

enum TBindVerb { Get, Post, Put, Custom };
Q_ENUM_NS(TBindVerb)
enum TCodePageOption { Ansi, OEM, Mac, ThreadsAnsi, Symbol, UTF7, UTF8 };
Q_ENUM_NS(TCodePageOption)
enum TDownloadMethod { dmStream, dmFile };
Q_ENUM_NS(TDownloadMethod)
enum TFileExistsOption { feOverWrite, feSkip, feRename };
Q_ENUM_NS(TFileExistsOption)
enum TState { sBusy, sReady, sStopped };
Q_ENUM_NS(TState)

// The flag words of the option sets (the platform's values, by member).
DWORD BindFWord(TBindF_Options options);
DWORD BindF2Word(TBindF2_Options options);
DWORD BindInfoFWord(TBindInfoF_Options options);
DWORD BindInfoOptionsWord(TBindInfoOptions_Options options);
DWORD CodePageValue(TCodePageOption option);

// The protocols ValidateUrl accepts.
const QStringList& KnownProtocols();

using IEDownloadTools::TProxySettings;

class TRange : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int RangeBegin READ RangeBegin WRITE SetRangeBegin)
  Q_PROPERTY(int RangeEnd READ RangeEnd WRITE SetRangeEnd)
 public:
  explicit TRange(QObject* parent = nullptr) : TPersistent(parent) {}
  int RangeBegin() const { return begin_; }
  void SetRangeBegin(int v) { begin_ = v; }
  int RangeEnd() const { return end_; }
  void SetRangeEnd(int v) { end_ = v; }

 private:
  int begin_ = 0;
  int end_ = 0;
};

class TSecurity : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool InheritHandle READ InheritHandle WRITE SetInheritHandle)
  Q_PROPERTY(QString Descriptor READ Descriptor WRITE SetDescriptor)
 public:
  explicit TSecurity(QObject* parent = nullptr) : TPersistent(parent) {}
  bool InheritHandle() const { return inheritHandle_; }
  void SetInheritHandle(bool v) { inheritHandle_ = v; }
  String Descriptor() const { return String::fromLatin1(descriptor_); }
  void SetDescriptor(const String& v) { descriptor_ = v.toLatin1(); }
  const QByteArray& DescriptorBytes() const { return descriptor_; }

 private:
  bool inheritHandle_ = false;
  QByteArray descriptor_;
};

class TBSCB;
class TCustomIEDownload;

using TAuthenticateEvent = std::function<void(TBSCB* Sender, HWND& tmpHWND, String& szUserName,
                                              String& szPassWord, HRESULT& Rezult)>;
using TAuthenticateExEvent =
    std::function<void(TBSCB* Sender, HWND& tmpHWND, String& szUserName, String& szPassWord,
                       AUTHENTICATEINFO* pauthinfo, HRESULT& Rezult)>;
using TBeginningTransactionEvent = std::function<HRESULT(TBSCB* Sender, LPCWSTR szURL, LPCWSTR szHeaders,
                                                         DWORD dwReserved, LPWSTR* szAdditionalHeaders)>;
using TCodeInstallProblemEvent =
    std::function<HRESULT(TBSCB* Sender, ULONG ulStatusCode, LPCWSTR szDestination, LPCWSTR szSource,
                          DWORD dwReserved, const String& stResult)>;
using TCompleteEvent =
    std::function<void(TCustomIEDownload* Sender, const String& aFileNameAndPath, const String& aFileName,
                       const String& aFolderName, const String& aExtension, int ActiveConnections)>;
using TConnectEvent = std::function<void(TBSCB* Sender, HRESULT Res, const String& stMessage)>;
using TDataAvailableEvent = std::function<void(TBSCB* Sender, BYTE*& Buffer, DWORD& BufLength)>;
using TDataAvailableInfoEvent = std::function<void(TBSCB* Sender, DWORD grfBSCF, const String& Status)>;
using TErrorEvent = std::function<void(int ErrorCode, const String& stError)>;
using TFileExistsEvent =
    std::function<void(TFileExistsOption& Action, const String& aFileName, String& NewFileName)>;
using TGetBindInfoEvent = std::function<HRESULT(TBSCB* Sender, DWORD& grfBINDF, BINDINFO& BindInfo)>;
using TGetBindInfoExEvent =
    std::function<HRESULT(TBSCB* Sender, DWORD& grfBINDF, BINDINFO* pbindinfo, DWORD& grfBINDF2)>;
using TGetBindResultsEvent = std::function<void(TBSCB* Sender, const CLSID& clsidProtocol, DWORD dwResult,
                                                LPCWSTR szResult, const String& stResult)>;
using TGetRootSecurityIdEvent = std::function<HRESULT(BYTE* SecurityIdBuffer, DWORD& BufferSize)>;
using TGetSerializedClientCertContextEvent =
    std::function<HRESULT(TBSCB* Sender, BYTE** ppbCert, DWORD& pcbCert)>;
using TGetWindowEvent = std::function<HRESULT(TBSCB* Sender, const GUID& GUIDReason, HWND& hwnd)>;
using TProgressEvent = std::function<void(
    TBSCB* Sender, ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, ULONG FileSize,
    LPCWSTR szStatusText, const String& Downloaded, const String& ElapsedTime, const String& Speed,
    const String& RemainingTime, const String& Status, const String& Percent)>;
using TPutPropertyEvent = std::function<HRESULT(TBSCB* Sender, MONIKERPROPERTY mkp, LPCWSTR val)>;
using TQueryInterfaceEvent = std::function<HRESULT(const IID& IID, void** Obj)>;
using TQueryServiceEvent =
    std::function<void(TObject* Sender, const GUID& rsid, const IID& iid, ComPtr<IUnknown>& Obj)>;
using TRedirectEvent =
    std::function<void(TBSCB* Sender, bool& AbortRedirect, const String& FromUrl, const String& DestUrl)>;
using TResponseEvent = std::function<HRESULT(TBSCB* Sender, DWORD dwResponseCode, LPCWSTR szResponseHeaders,
                                             LPCWSTR szRequestHeaders, LPWSTR* szAdditionalRequestHeaders)>;
using TResumeEvent = std::function<void(TBSCB* Sender, const String& FileName, DWORD& Action)>;
using TSecurityProblemEvent = std::function<HRESULT(TBSCB* Sender, DWORD dwProblem, const String& Problem)>;
using TStartBindingEvent = std::function<void(TBSCB* Sender, bool& Cancel, IBinding* pib)>;
using TStateChangeEvent = std::function<void(TState State)>;
using TStopBindingEvent = std::function<void(TBSCB* Sender, HRESULT hresult, LPCWSTR szError)>;
using TStreamCompleteEvent = std::function<void(TBSCB* Sender, TStream* Stream, HRESULT Result)>;
using TTerminateEvent =
    std::function<void(TBSCB* Sender, int ThreadId, const String& aFileName, bool& bCancel)>;

// The settings a download works from, taken when it starts.
struct TInfoData {
  QStringList AdditionalHeader;
  DWORD BindF = 0, BindF2 = 0, BindInfoF = 0, BindInfoOptions = 0;
  DWORD BindVerb = 0, CodePage = 0;
  String CustomVerb;
  QByteArray Descriptor;
  bool InheritHandle = false;
  String DownloadFolder, ExtraInfo, FileName, Password, PostData, PutFileName, Url, UserName;
  qint64 RangeBegin = 0, RangeEnd = 0;
  int TimeOut = 0;
  TDownloadMethod DownloadMethod = dmFile;
  TFileExistsOption FileExistsOption = feOverWrite;
};

class TCustomIEDownload : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString About READ About WRITE SetAbout STORED false)
  Q_PROPERTY(TStrings* AdditionalHeader READ AdditionalHeader WRITE SetAdditionalHeader)
  Q_PROPERTY(IEDownload::TBindF_Options BindF READ BindF WRITE SetBindF)
  Q_PROPERTY(IEDownload::TBindF2_Options BindF2 READ BindF2 WRITE SetBindF2)
  Q_PROPERTY(IEDownload::TBindInfoF_Options BindInfoF READ BindInfoF WRITE SetBindInfoF)
  Q_PROPERTY(
      IEDownload::TBindInfoOptions_Options BindInfoOptions READ BindInfoOptions WRITE SetBindInfoOptions)
  Q_PROPERTY(IEDownload::TBindVerb BindVerb READ BindVerb WRITE SetBindVerb)
  Q_PROPERTY(IEDownload::TCodePageOption CodePage READ CodePage WRITE SetCodePage)
  Q_PROPERTY(QString CustomVerb READ CustomVerb WRITE SetCustomVerb)
  Q_PROPERTY(QString DefaultProtocol READ DefaultProtocol WRITE SetDefaultProtocol)
  Q_PROPERTY(QString DefaultUrlFileName READ DefaultUrlFileName WRITE SetDefaultUrlFileName)
  Q_PROPERTY(QString DownloadFolder READ DownloadFolder WRITE SetDownloadFolder)
  Q_PROPERTY(IEDownload::TDownloadMethod DownloadMethod READ DownloadMethod WRITE SetDownloadMethod)
  Q_PROPERTY(QString ExtraInfo READ ExtraInfo WRITE SetExtraInfo)
  Q_PROPERTY(IEDownload::TFileExistsOption FileExistsOption READ FileExistsOption WRITE SetFileExistsOption)
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(bool OpenDownloadFolder READ OpenDownloadFolder WRITE SetOpenDownloadFolder)
  Q_PROPERTY(QString Password READ Password WRITE SetPassword)
  Q_PROPERTY(QString PostData READ PostData WRITE SetPostData)
  Q_PROPERTY(QString PutFileName READ PutFileName WRITE SetPutFileName)
  Q_PROPERTY(IEDownloadTools::TProxySettings* ProxySettings READ ProxySettings)
  Q_PROPERTY(IEDownload::TRange* Range READ Range)
  Q_PROPERTY(IEDownload::TSecurity* Security READ Security)
  Q_PROPERTY(int TimeOut READ TimeOut WRITE SetTimeOut)
  Q_PROPERTY(QString Url READ Url WRITE SetUrl)
  Q_PROPERTY(QString UserAgent READ UserAgent WRITE SetUserAgent)
  Q_PROPERTY(QString UserName READ UserName WRITE SetUserName)
  Q_PROPERTY(bool UseSystemDownloadFolder READ UseSystemDownloadFolder WRITE SetUseSystemDownloadFolder)
  Q_PROPERTY(bool ValidateUrl READ ValidateUrl WRITE SetValidateUrl)

 public:
  explicit TCustomIEDownload(TComponent* AOwner);
  // Aborts the downloads still running first; no binding reaches the
  // component afterwards.
  ~TCustomIEDownload() override;

  void Loaded() override;
  void BeforeDestruction();

  // ---- properties
  String About() const;
  void SetAbout(const String&) {}
  TStrings* AdditionalHeader() const { return additionalHeader_; }
  void SetAdditionalHeader(TStrings* v) { additionalHeader_->Assign(*v); }
  TBindF_Options BindF() const { return bindF_; }
  void SetBindF(TBindF_Options v);
  TBindF2_Options BindF2() const { return bindF2_; }
  void SetBindF2(TBindF2_Options v);
  TBindInfoF_Options BindInfoF() const { return bindInfoF_; }
  void SetBindInfoF(TBindInfoF_Options v);
  TBindInfoOptions_Options BindInfoOptions() const { return bindInfoOptions_; }
  void SetBindInfoOptions(TBindInfoOptions_Options v);
  TBindVerb BindVerb() const { return bindVerb_; }
  void SetBindVerb(TBindVerb v) { bindVerb_ = v; }
  TCodePageOption CodePage() const { return codePage_; }
  void SetCodePage(TCodePageOption v) { codePage_ = v; }
  const String& CustomVerb() const { return customVerb_; }
  void SetCustomVerb(const String& v) { customVerb_ = v; }
  const String& DefaultProtocol() const { return defaultProtocol_; }
  // An empty protocol restores "http://".
  void SetDefaultProtocol(const String& v);
  const String& DefaultUrlFileName() const { return defaultUrlFileName_; }
  void SetDefaultUrlFileName(const String& v) { defaultUrlFileName_ = v; }
  const String& DownloadFolder() const { return downloadFolder_; }
  void SetDownloadFolder(const String& v) { downloadFolder_ = v; }
  TDownloadMethod DownloadMethod() const { return downloadMethod_; }
  void SetDownloadMethod(TDownloadMethod v) { downloadMethod_ = v; }
  const String& ExtraInfo() const { return extraInfo_; }
  void SetExtraInfo(const String& v) { extraInfo_ = v; }
  TFileExistsOption FileExistsOption() const { return fileExistsOption_; }
  void SetFileExistsOption(TFileExistsOption v) { fileExistsOption_ = v; }
  const String& FileName() const { return fileName_; }
  void SetFileName(const String& v) { fileName_ = v; }
  bool OpenDownloadFolder() const { return openDownloadFolder_; }
  void SetOpenDownloadFolder(bool v) { openDownloadFolder_ = v; }
  const String& Password() const { return password_; }
  void SetPassword(const String& v) { password_ = v; }
  const String& PostData() const { return postData_; }
  void SetPostData(const String& v) { postData_ = v; }
  const String& PutFileName() const { return putFileName_; }
  void SetPutFileName(const String& v) { putFileName_ = v; }
  TProxySettings* ProxySettings() const { return proxySettings_; }
  TRange* Range() const { return range_; }
  TSecurity* Security() const { return security_; }
  int TimeOut() const { return timeOut_; }
  void SetTimeOut(int v) { timeOut_ = v; }
  const String& Url() const { return url_; }
  void SetUrl(const String& v) { url_ = v; }
  const String& UserAgent() const { return userAgent_; }
  void SetUserAgent(const String& v);
  const String& UserName() const { return userName_; }
  void SetUserName(const String& v) { userName_ = v; }
  bool UseSystemDownloadFolder() const { return useSystemDownloadFolder_; }
  void SetUseSystemDownloadFolder(bool v) { useSystemDownloadFolder_ = v; }
  bool ValidateUrl() const { return validateUrl_; }
  void SetValidateUrl(bool v) { validateUrl_ = v; }

  // The flag words of the sets and the values of the verb and code page.
  DWORD BindFFlags() const { return bindFWord_; }
  DWORD BindF2Flags() const { return bindF2Word_; }
  DWORD BindInfoFFlags() const { return bindInfoFWord_; }
  DWORD BindInfoOptionsFlags() const { return bindInfoOptionsWord_; }
  DWORD CodePageFlag() const { return CodePageValue(codePage_); }
  // "User-agent: Mozilla/4.0 (...)(" + UserAgent + ")" CR LF.
  const String& UserAgentLine() const { return userAgentLine_; }

  // ---- starting and stopping
  // Starts downloading Url (mode 0 moniker, 1 file, 2 cache file); false
  // when it cannot start (OnError says why).
  bool Download(int Mode = 0);
  // The same for `Address`, which becomes Url.
  bool Go(const String& Address, int Mode = 0);
  // Aborts every running download.
  void Cancel();
  bool Busy() const { return busy_; }
  bool Cancelled() const { return cancel_; }
  // Downloads started and not yet ended.
  int Pending() const { return int(workers_.size()); }
  // The folder downloads go to: the user's download folder with
  // UseSystemDownloadFolder, else DownloadFolder (with a trailing "/").
  String TargetFolder() const;
  // The address as it is downloaded: DefaultProtocol in front of an
  // address without a protocol; with ValidateUrl "" for an unknown protocol.
  String PrepareUrl(const String& Address) const;
  // The file name of an address for dmFile (before it is made safe).
  String GetFileNameFromUrl(const String& aUrl) const;
  // A safe base name for `Name` in the download folder: percent-decoded,
  // without folders, control characters, "." or ".."; DefaultUrlFileName
  // when nothing is left.
  String SafeFileName(const String& Name) const;

  // ---- results of the last finished download
  String ResultFileNameAndPath, ResultFileName, ResultFolderName, ResultExtension;
  // What the binding reported last.
  String ServerName, RedirectedUrl, BeginUrl, MimeType;
  qint64 FileSize = 0;

  // ---- events
  TAuthenticateEvent OnAuthenticate;
  TAuthenticateExEvent OnAuthenticateEx;
  TBeginningTransactionEvent OnBeginningTransaction;
  TCodeInstallProblemEvent OnCodeInstallProblem;
  TCompleteEvent OnComplete;
  TConnectEvent OnConnect;
  TDataAvailableEvent OnDataAvailable;
  TDataAvailableInfoEvent OnDataAvailableInfo;
  TErrorEvent OnError;
  TFileExistsEvent OnFileExists;
  TGetBindInfoEvent OnGetBindInfo;
  TGetBindInfoExEvent OnGetBindInfoEx;
  TGetBindResultsEvent OnGetBindResults;
  TGetRootSecurityIdEvent OnGetRootSecurityId;
  TGetSerializedClientCertContextEvent OnGetSerializedClientCertContext;
  TGetWindowEvent OnGetWindow;
  TProgressEvent OnProgress;
  TPutPropertyEvent OnPutProperty;
  TQueryInterfaceEvent OnQueryInterface;
  TQueryServiceEvent OnQueryService;
  TRedirectEvent OnRedirect;
  TResponseEvent OnResponse;
  TResumeEvent OnResume;
  TSecurityProblemEvent OnSecurityProblem;
  TStartBindingEvent OnStartBinding;
  TStateChangeEvent OnStateChange;
  TStopBindingEvent OnStopBinding;
  TStreamCompleteEvent OnStreamComplete;
  TTerminateEvent OnTerminate;

  // The proxy for the process's Internet state ("server:port"; empty: none).
  static bool ApplyProxy(const String& Agent, const String& Server);

 protected:
  friend class TBSCB;
  void Error(int code, const String& text);
  void Connected(TBSCB* worker, HRESULT hr, const String& step);
  // A worker has ended: results, events, the busy flag.
  void WorkerEnded(TBSCB* worker, HRESULT result);
  TInfoData Snapshot(const String& url) const;

 private:
  bool StartFile(const TInfoData& info, int mode);

  TStrings* additionalHeader_;
  TBindF_Options bindF_;
  TBindF2_Options bindF2_;
  TBindInfoF_Options bindInfoF_;
  TBindInfoOptions_Options bindInfoOptions_;
  DWORD bindFWord_ = 0, bindF2Word_ = 0, bindInfoFWord_ = 0, bindInfoOptionsWord_ = 0;
  TBindVerb bindVerb_ = Get;
  TCodePageOption codePage_ = Ansi;
  String customVerb_;
  String defaultProtocol_ = QStringLiteral("http://");
  String defaultUrlFileName_ = QStringLiteral("index.html");
  String downloadFolder_;
  TDownloadMethod downloadMethod_ = dmFile;
  String extraInfo_;
  TFileExistsOption fileExistsOption_ = feOverWrite;
  String fileName_;
  bool openDownloadFolder_ = false;
  String password_, postData_, putFileName_;
  TProxySettings* proxySettings_;
  TRange* range_;
  TSecurity* security_;
  int timeOut_ = 0;
  String url_, userAgent_, userName_;
  bool useSystemDownloadFolder_ = false;
  bool validateUrl_ = false;
  String userAgentLine_;
  bool busy_ = false;
  bool cancel_ = false;
  bool proxyApplied_ = false;
  std::vector<ComPtr<TBSCB>> workers_;
  std::shared_ptr<bool> alive_;
};

class TIEDownload : public TCustomIEDownload {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TIEDownload(TComponent* AOwner) : TCustomIEDownload(AOwner) {}
};

// One download: the binding's callback. Its own reference count keeps it;
// it reaches its component only while the component lives.
class TBSCB : public ComObject<IBindStatusCallbackEx, IHttpNegotiate3, IAuthenticateEx, IHttpSecurity,
                               ICodeInstall, IServiceProvider, IMonikerProp, IBindHost> {
 public:
  TBSCB(TCustomIEDownload* owner, TInfoData info);
  ~TBSCB() override;

  // The state names: Running, Suspended, Waiting, Terminated.
  static const char* const StateNames[4];
  int State() const { return state_; }
  const TInfoData& Info() const { return info_; }
  // The file written (dmFile), with its path.
  const String& TargetPath() const { return target_; }
  bool Redirected() const { return redirected_; }
  bool TimedOut() const { return timedOut_; }
  IBinding* Binding() const { return binding_.Get(); }

  // False while the platform's file or cache download carries the worker:
  // the component ends it when that call returns.
  bool EndsItself = true;

  // Starts the moniker binding; false when a step failed (reported).
  bool Start();
  void Abort();

  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  // IBindStatusCallback(Ex)
  HRESULT OnStartBinding(DWORD dwReserved, IBinding* pib) override;
  HRESULT GetPriority(LONG* pnPriority) override;
  HRESULT OnLowResource(DWORD reserved) override;
  HRESULT OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                     LPCWSTR szStatusText) override;
  HRESULT OnStopBinding(HRESULT hresult, LPCWSTR szError) override;
  HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override;
  HRESULT GetBindInfoEx(DWORD* grfBINDF, BINDINFO* pbindinfo, DWORD* grfBINDF2, DWORD* pdwReserved) override;
  HRESULT OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pformatetc, STGMEDIUM* pstgmed) override;
  HRESULT OnObjectAvailable(REFIID riid, IUnknown* punk) override;
  // IHttpNegotiate(2, 3)
  HRESULT BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                               LPWSTR* pszAdditionalHeaders) override;
  HRESULT OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders, LPCWSTR szRequestHeaders,
                     LPWSTR* pszAdditionalRequestHeaders) override;
  HRESULT GetRootSecurityId(BYTE* pbSecurityId, DWORD* pcbSecurityId, DWORD_PTR dwReserved) override;
  HRESULT GetSerializedClientCertContext(BYTE** ppbCert, DWORD* pcbCert) override;
  // IAuthenticate(Ex)
  HRESULT Authenticate(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword) override;
  HRESULT AuthenticateEx(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword,
                         AUTHENTICATEINFO* pauthinfo) override;
  // IWindowForBindingUI, IHttpSecurity, ICodeInstall
  HRESULT GetWindow(REFGUID rguidReason, HWND* phwnd) override;
  HRESULT OnSecurityProblem(DWORD dwProblem) override;
  HRESULT OnCodeInstallProblem(ULONG ulStatusCode, LPCWSTR szDestination, LPCWSTR szSource,
                               DWORD dwReserved) override;
  // IServiceProvider
  HRESULT QueryService(REFGUID guidService, REFIID riid, void** ppvObject) override;
  // IMonikerProp
  HRESULT PutProperty(MONIKERPROPERTY mkp, LPCWSTR val) override;
  // IBindHost
  HRESULT CreateMoniker(LPOLESTR szName, IBindCtx* pBC, IMoniker** ppmk, DWORD dwReserved) override;
  HRESULT MonikerBindToStorage(IMoniker* pMk, IBindCtx* pBC, IBindStatusCallback* pBSC, REFIID riid,
                               void** ppvObj) override;
  HRESULT MonikerBindToObject(IMoniker* pMk, IBindCtx* pBC, IBindStatusCallback* pBSC, REFIID riid,
                              void** ppvObj) override;

 private:
  TCustomIEDownload* Owner() const { return owner_.data(); }
  bool Cancelled() const { return !owner_ || owner_->Cancelled() || aborted_; }
  bool Step(HRESULT hr, const char* ok, const char* failed);
  bool OpenTarget(bool append);
  void TimeOutPassed();
  String ProgressTexts(ULONG progress, ULONG max, String& elapsed, String& speed, String& remaining,
                       String& percent) const;

  QPointer<TCustomIEDownload> owner_;
  TInfoData info_;
  int state_ = 0;
  ComPtr<IBinding> binding_;
  ComPtr<IMoniker> moniker_;
  ComPtr<IBindCtx> bindCtx_;
  ComPtr<IStream> stream_;
  std::unique_ptr<QFile> file_;
  std::unique_ptr<TMemoryStream> data_;
  QTimer timer_;
  HGLOBAL postBlock_ = nullptr;
  String target_;
  qint64 read_ = 0;
  qint64 startTick_ = 0;
  bool redirected_ = false;
  bool timedOut_ = false;
  bool aborted_ = false;
  bool resumed_ = false;
  bool ended_ = false;
  bool skipped_ = false;
};

// The unit's start-up: registers TIEDownload and its events with the form
// streaming and initializes COM on the main thread once; its close-down
// uninitializes it.
void initialize();
void finalize();

}  // namespace IEDownload
