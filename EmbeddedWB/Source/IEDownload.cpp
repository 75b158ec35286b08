#include "EmbeddedWB/Source/IEDownload.h"

#include "platform/classlib/Streaming.h"
#include "platform/shell/ShlObj.h"
#include "platform/wininet/HttpInfo.h"
#include "platform/wininet/WinInet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstring>

namespace IEDownload {

namespace {

int unitStarts = 0;
bool comInitialized = false;

const char* const kAboutText = "TIEDownload - the download component of Noctivane";
// The user-agent line of every request (the component's UserAgent in the
// last parentheses).
const char* const kUserAgentStart = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)(";

constexpr DWORD kBindF2Values[] = {
    1,          2,         BINDF2_DISABLE_HTTP_REDIRECT_XSECURITYID, BINDF2_READ_DATA_GREATER_THAN_4GB,
    0x40000000, 0x80000000};
constexpr DWORD kBindInfoFValues[] = {1, 2};
constexpr DWORD kBindInfoOptionsValues[] = {0x10000,   0x20000,    0x40000,    0x80000,    0x100000,
                                            0x200000,  0x400000,   0x800000,   0x1000000,  0x2000000,
                                            0x8000000, 0x10000000, 0x40000000, 0x80000000, 0x20000000};
constexpr DWORD kCodePages[] = {0, 1, 2, 3, 42, 65000, 65001};

template <class E, size_t N>
DWORD wordOf(TSet<E> set, const DWORD (&values)[N]) {
  DWORD word = 0;
  for (size_t i = 0; i < N; ++i)
    if (set.Contains(E(i))) word += values[i];
  return word;
}

QElapsedTimer& clock() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer;
}

String textOf(LPCWSTR s) { return s ? String::fromUtf16(s) : String(); }

}  // namespace

DWORD BindFWord(TBindF_Options options) {
  DWORD word = 0;
  for (int i = 0; i <= int(RestrictedSitesZone); ++i)
    if (options.Contains(TBindF_Option(i))) word += DWORD(1) << i;
  return word;
}
DWORD BindF2Word(TBindF2_Options options) { return wordOf(options, kBindF2Values); }
DWORD BindInfoFWord(TBindInfoF_Options options) { return wordOf(options, kBindInfoFValues); }
DWORD BindInfoOptionsWord(TBindInfoOptions_Options options) {
  return wordOf(options, kBindInfoOptionsValues);
}
DWORD CodePageValue(TCodePageOption option) { return kCodePages[option]; }

const QStringList& KnownProtocols() {
  static const QStringList protocols = {"about",    "cdl",     "dvd",      "file",       "ftp",   "gopher",
                                        "http",     "ipp",     "its",      "javascript", "local", "mailto",
                                        "mk",       "msdaipp", "ms-help",  "ms-its",     "mso",   "res",
                                        "sysimage", "tv",      "vbscript", "via",        "https"};
  return protocols;
}

// ---------------------------------------------------------------- TCustomIEDownload

TCustomIEDownload::TCustomIEDownload(TComponent* AOwner)
    : TComponent(AOwner),
      additionalHeader_(new TStringList),
      proxySettings_(new TProxySettings(this)),
      range_(new TRange(this)),
      security_(new TSecurity(this)),
      alive_(std::make_shared<bool>(true)) {
  additionalHeader_->Add(QStringLiteral("Content-Type: application/x-www-form-BindInfoFd "));
  SetBindF({Asynchronous, AsyncStorage, GetNewestVersion, NoWriteCache, PullData});
  SetBindF2({ReadDataOver4GB});
  SetBindInfoF({});
  SetBindInfoOptions({UseBindInfoOptions, AllowConnectMessages});
  SetUserAgent(String());
  // Every time formatted from now on shows "_" for ":".
  FormatSettings.TimeSeparator = QLatin1Char('_');
}

TCustomIEDownload::~TCustomIEDownload() {
  Cancel();
  *alive_ = false;
  BeforeDestruction();
  timeOut_ = 0;
  delete additionalHeader_;
}

String TCustomIEDownload::About() const { return String::fromLatin1(kAboutText); }

void TCustomIEDownload::SetBindF(TBindF_Options v) {
  bindF_ = v;
  bindFWord_ = BindFWord(v);
}
void TCustomIEDownload::SetBindF2(TBindF2_Options v) {
  bindF2_ = v;
  bindF2Word_ = BindF2Word(v);
}
void TCustomIEDownload::SetBindInfoF(TBindInfoF_Options v) {
  bindInfoF_ = v;
  bindInfoFWord_ = BindInfoFWord(v);
}
void TCustomIEDownload::SetBindInfoOptions(TBindInfoOptions_Options v) {
  bindInfoOptions_ = v;
  bindInfoOptionsWord_ = BindInfoOptionsWord(v);
}

void TCustomIEDownload::SetDefaultProtocol(const String& v) {
  defaultProtocol_ = v.isEmpty() ? QStringLiteral("http://") : v;
}

void TCustomIEDownload::SetUserAgent(const String& v) {
  userAgent_ = v;
  userAgentLine_ = String::fromLatin1(kUserAgentStart) + v + QStringLiteral(")\r\n");
}

void TCustomIEDownload::Loaded() {
  TComponent::Loaded();
  if (timeOut_ == 0) timeOut_ = INT_MAX;
  if (proxySettings_->AutoLoadProxy() && !proxySettings_->Server().isEmpty())
    proxyApplied_ = ApplyProxy(
        userAgentLine_, proxySettings_->Server() + QLatin1Char(':') + IntToStr(proxySettings_->Port()));
}

void TCustomIEDownload::BeforeDestruction() {
  // Only a proxy this component set is taken back.
  if (proxyApplied_) ApplyProxy(String(), String());
  proxyApplied_ = false;
}

bool TCustomIEDownload::ApplyProxy(const String& Agent, const String& Server) {
  HINTERNET session =
      InternetOpenW(reinterpret_cast<LPCWSTR>(Agent.utf16()), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!session) return false;
  std::u16string server = Server.toStdU16String();
  std::u16string bypass = u"<local>";
  INTERNET_PER_CONN_OPTIONW options[3];
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = Server.isEmpty() ? PROXY_TYPE_DIRECT : PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = server.data();
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[2].Value.pszValue = bypass.data();
  INTERNET_PER_CONN_OPTION_LISTW list{};
  list.dwSize = sizeof(list);
  list.dwOptionCount = 3;
  list.pOptions = options;
  const bool ok = InternetSetOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof(list)) &&
                  InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
  InternetCloseHandle(session);
  return ok;
}

String TCustomIEDownload::TargetFolder() const {
  String folder = useSystemDownloadFolder_
                      ? QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)
                      : downloadFolder_;
  if (folder.isEmpty()) folder = QDir::currentPath();
  return IncludeTrailingPathDelimiter(QDir::fromNativeSeparators(folder));
}

String TCustomIEDownload::PrepareUrl(const String& Address) const {
  const String address = Trim(Address);
  if (address.isEmpty()) return String();
  const qsizetype colon = address.indexOf(QLatin1Char(':'));
  const String scheme = colon > 0 ? address.left(colon).toLower() : String();
  const bool hasScheme = !scheme.isEmpty() && KnownProtocols().contains(scheme);
  if (hasScheme) return address;
  // A path or host without a protocol gets the default one; with
  // validation an unknown protocol is refused.
  if (validateUrl_ && colon > 0 && address.mid(colon).startsWith(QLatin1String("://"))) return String();
  return defaultProtocol_ + address;
}

String TCustomIEDownload::GetFileNameFromUrl(const String& aUrl) const {
  IEDownloadTools::TUrl url(aUrl);
  url.CrackUrlByApi(aUrl, ICU_ESCAPE);
  if (url.ExtraInfo.contains(QLatin1Char('.'))) return url.ExtraInfo;
  const String cracked = url.Document;
  url.CrackUrl(aUrl);
  return url.Document.isEmpty() ? cracked : url.Document;
}

String TCustomIEDownload::SafeFileName(const String& Name) const {
  String name = QUrl::fromPercentEncoding(Name.toUtf8());
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  // A query or a fragment names no file.
  name = name.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0);
  name = name.section(QLatin1Char('/'), -1);
  String safe;
  for (QChar c : name)
    if (c.unicode() >= 0x20 && c.unicode() != 0x7F) safe.append(c);
  safe = Trim(safe);
  if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String("..")) return defaultUrlFileName_;
  return safe;
}

TInfoData TCustomIEDownload::Snapshot(const String& url) const {
  TInfoData info;
  info.AdditionalHeader = additionalHeader_->Strings();
  info.BindF = bindFWord_;
  info.BindF2 = bindF2Word_;
  info.BindInfoF = bindInfoFWord_;
  info.BindInfoOptions = bindInfoOptionsWord_;
  info.BindVerb = DWORD(bindVerb_);
  info.CodePage = CodePageValue(codePage_);
  info.CustomVerb = customVerb_;
  info.Descriptor = security_->DescriptorBytes();
  info.InheritHandle = security_->InheritHandle();
  info.DownloadFolder = TargetFolder();
  info.ExtraInfo = extraInfo_;
  info.FileName = fileName_;
  info.Password = password_;
  info.PostData = postData_;
  info.PutFileName = putFileName_;
  info.RangeBegin = range_->RangeBegin();
  info.RangeEnd = range_->RangeEnd();
  info.TimeOut = timeOut_ > 0 ? timeOut_ : INT_MAX;
  info.Url = url;
  info.UserName = userName_;
  info.DownloadMethod = downloadMethod_;
  info.FileExistsOption = fileExistsOption_;
  return info;
}

bool TCustomIEDownload::Go(const String& Address, int Mode) {
  url_ = Address;
  return Download(Mode);
}

bool TCustomIEDownload::Download(int Mode) {
  const String url = PrepareUrl(url_);
  if (url.isEmpty()) {
    Error(int(INET_E_UNKNOWN_PROTOCOL), IEDownloadStrings::StatusCodeText(int(INET_E_UNKNOWN_PROTOCOL)));
    return false;
  }
  cancel_ = false;
  TInfoData info = Snapshot(url);
  if (!fileName_.isEmpty()) info.FileName = SafeFileName(fileName_);
  QDir().mkpath(info.DownloadFolder);
  const bool wasBusy = busy_;
  busy_ = true;
  if (!wasBusy && OnStateChange) OnStateChange(sBusy);
  if (Mode == 1 || Mode == 2) return StartFile(info, Mode);
  ComPtr<TBSCB> worker = MakeCom<TBSCB>(this, std::move(info));
  workers_.push_back(worker);
  if (worker->Start()) return true;
  // The failed step was reported; the worker ends here.
  WorkerEnded(worker.Get(), E_FAIL);
  return false;
}

bool TCustomIEDownload::StartFile(const TInfoData& info, int mode) {
  // The platform's file and cache downloads work on their own; the worker
  // carries the callbacks.
  TInfoData workerInfo = info;
  workerInfo.DownloadMethod = dmStream;  // the platform writes the file
  ComPtr<TBSCB> worker = MakeCom<TBSCB>(this, std::move(workerInfo));
  worker->EndsItself = false;
  workers_.push_back(worker);
  const std::u16string url = info.Url.toStdU16String();
  HRESULT hr;
  String path;
  if (mode == 1) {
    path = info.DownloadFolder +
           (info.FileName.isEmpty() ? SafeFileName(GetFileNameFromUrl(info.Url)) : info.FileName);
    hr = URLDownloadToFileW(nullptr, reinterpret_cast<LPCWSTR>(url.c_str()),
                            reinterpret_cast<LPCWSTR>(path.utf16()), 0, worker.Get());
    if (FAILED(hr))
      Error(int(hr), String::fromLatin1(IEDownloadStrings::sErrUrlDownloadToFile) +
                         IEDownloadStrings::StatusCodeText(int(hr)));
    else
      Connected(
          worker.Get(), hr,
          String::fromLatin1(IEDownloadStrings::sUrlDownloadToFile) + IEDownloadStrings::StatusCodeText(hr));
  } else {
    WCHAR buffer[2049] = {};
    hr = URLDownloadToCacheFileW(nullptr, reinterpret_cast<LPCWSTR>(url.c_str()), buffer, 2049, 0,
                                 worker.Get());
    if (FAILED(hr))
      Error(int(hr), IEDownloadStrings::StatusCodeText(int(hr)));
    else
      path = String::fromUtf16(buffer);
  }
  if (SUCCEEDED(hr)) {
    const QFileInfo fi(path);
    ResultFileNameAndPath = path;
    ResultFileName = fi.fileName();
    ResultFolderName = IncludeTrailingPathDelimiter(fi.absolutePath());
    ResultExtension = fi.suffix().isEmpty() ? String() : QLatin1Char('.') + fi.suffix();
  }
  WorkerEnded(worker.Get(), hr);
  return SUCCEEDED(hr);
}

void TCustomIEDownload::Cancel() {
  if (workers_.empty()) return;
  cancel_ = true;
  const std::vector<ComPtr<TBSCB>> running = workers_;
  for (const ComPtr<TBSCB>& worker : running) worker->Abort();
}

void TCustomIEDownload::Error(int code, const String& text) {
  if (OnError) OnError(code, text);
}

void TCustomIEDownload::Connected(TBSCB* worker, HRESULT hr, const String& step) {
  if (OnConnect) OnConnect(worker, hr, step);
}

void TCustomIEDownload::WorkerEnded(TBSCB* worker, HRESULT result) {
  ComPtr<TBSCB> keep(worker);
  const auto it = std::find_if(workers_.begin(), workers_.end(),
                               [worker](const ComPtr<TBSCB>& w) { return w.Get() == worker; });
  if (it == workers_.end()) return;
  workers_.erase(it);
  std::weak_ptr<bool> alive = alive_;
  if (SUCCEEDED(result) && !worker->TargetPath().isEmpty()) {
    const QFileInfo fi(worker->TargetPath());
    ResultFileNameAndPath = worker->TargetPath();
    ResultFileName = fi.fileName();
    ResultFolderName = IncludeTrailingPathDelimiter(fi.absolutePath());
    ResultExtension = fi.suffix().isEmpty() ? String() : QLatin1Char('.') + fi.suffix();
  }
  if (SUCCEEDED(result) && OnComplete) {
    OnComplete(this, ResultFileNameAndPath, ResultFileName, ResultFolderName, ResultExtension,
               int(workers_.size()));
    if (alive.expired() || !*alive.lock()) return;
  }
  if (SUCCEEDED(result) && openDownloadFolder_ && !ResultFolderName.isEmpty())
    ShellExecuteW(nullptr, u"open", reinterpret_cast<LPCWSTR>(ResultFolderName.utf16()), nullptr, nullptr,
                  SW_SHOWNORMAL);
  if (workers_.empty()) {
    busy_ = false;
    if (OnStateChange) OnStateChange(cancel_ ? sStopped : sReady);
    if (alive.expired() || !*alive.lock()) return;
  }
  if (OnTerminate) {
    bool cancel = false;
    OnTerminate(worker, 0, fileName_, cancel);
    if (cancel && !alive.expired() && *alive.lock()) Cancel();
  }
}

// ---------------------------------------------------------------- TBSCB

const char* const TBSCB::StateNames[4] = {"Running", "Suspended", "Waiting", "Terminated"};

TBSCB::TBSCB(TCustomIEDownload* owner, TInfoData info) : owner_(owner), info_(std::move(info)) {
  timer_.setSingleShot(true);
  timer_.setInterval(std::max(info_.TimeOut, 1));
  QObject::connect(&timer_, &QTimer::timeout, [this] { TimeOutPassed(); });
  startTick_ = clock().elapsed();
  if (info_.DownloadMethod == dmStream || (owner && owner->OnStreamComplete))
    data_ = std::make_unique<TMemoryStream>();
}

TBSCB::~TBSCB() {
  timer_.stop();
  if (file_) file_->close();
  delete[] static_cast<char*>(postBlock_);
}

HRESULT TBSCB::QueryInterface(REFIID riid, void** ppv) {
  if (TCustomIEDownload* o = Owner(); o && o->OnQueryInterface && ppv) o->OnQueryInterface(riid, ppv);
  return ComObject::QueryInterface(riid, ppv);
}

bool TBSCB::Step(HRESULT hr, const char* ok, const char* failed) {
  TCustomIEDownload* o = Owner();
  if (!o) return false;
  if (FAILED(hr)) {
    o->Error(int(hr), String::fromLatin1(failed) + IEDownloadStrings::StatusCodeText(int(hr)));
    return false;
  }
  o->Connected(this, hr, String::fromLatin1(ok) + IEDownloadStrings::StatusCodeText(int(hr)));
  return true;
}

bool TBSCB::Start() {
  using namespace IEDownloadStrings;
  const std::u16string url = info_.Url.toStdU16String();
  if (!Step(CreateURLMonikerEx(nullptr, reinterpret_cast<LPCWSTR>(url.c_str()), &moniker_, URL_MK_UNIFORM),
            sCreateURLMonikerEx, sErrCreateURLMonikerEx))
    return false;
  if (!Step(CreateAsyncBindCtx(0, this, nullptr, &bindCtx_), sCreateAsyncBindCtx, sErrCreateAsyncBindCtx))
    return false;
  ComPtr<IBindStatusCallback> previous;
  if (!Step(RegisterBindStatusCallback(bindCtx_.Get(), this, &previous, 0), sRegisterBindStatusCallback,
            sErrRegisterBindStatusCallback))
    return false;
  timer_.start();
  ComPtr<IStream> stream;
  const HRESULT hr = moniker_->BindToStorage(bindCtx_.Get(), nullptr, IID_IStream, &stream);
  if (FAILED(hr) && !ended_) {
    Step(hr, sMonikerBindToStorage, sErrMonikerBindToStorage);
    return false;
  }
  return Step(hr, sMonikerBindToStorage, sErrMonikerBindToStorage) || ended_;
}

void TBSCB::Abort() {
  aborted_ = true;
  if (binding_) binding_->Abort();
}

void TBSCB::TimeOutPassed() {
  if (ended_ || timedOut_) return;
  timedOut_ = true;
  if (TCustomIEDownload* o = Owner())
    o->Error(int(INET_E_CONNECTION_TIMEOUT), IEDownloadStrings::sErrTimeOut);
  Abort();
}

HRESULT TBSCB::OnStartBinding(DWORD, IBinding* pib) {
  if (Cancelled()) return E_FAIL;
  binding_ = pib;
  TCustomIEDownload* o = Owner();
  if (info_.DownloadMethod == dmFile && info_.FileName.isEmpty())
    info_.FileName = o->SafeFileName(o->GetFileNameFromUrl(info_.Url));
  if (o->OnStartBinding) {
    bool cancel = false;
    TBSCB* self = this;
    o->OnStartBinding(self, cancel, pib);
    if (cancel) {
      if (Owner()) Owner()->cancel_ = true;
      return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT TBSCB::GetPriority(LONG* pnPriority) {
  if (pnPriority) *pnPriority = 0;
  if (Cancelled() && binding_) binding_->Abort();
  return S_OK;
}

HRESULT TBSCB::OnLowResource(DWORD) { return E_NOTIMPL; }

String TBSCB::ProgressTexts(ULONG progress, ULONG max, String& elapsed, String& speed, String& remaining,
                            String& percent) const {
  const double seconds = double(clock().elapsed() - startTick_) / 1000.0;
  elapsed = seconds > 0 ? IEDownloadTools::SecondsToTime(int(seconds)) : String();
  if (seconds > 0 && progress > 0) {
    const double kbPerSecond = double(progress) / 1024.0 / seconds;
    speed = Format("%.1f ", {kbPerSecond}) + String::fromLatin1(IEDownloadStrings::sSpeedUnit);
    if (max > 0 && max >= progress)
      remaining = IEDownloadTools::SecondsToTime(int(double(max - progress) / 1024.0 / kbPerSecond));
  }
  if (max > 0) percent = Format("%.1f %%", {double(progress) * 100.0 / double(max)});
  return IEDownloadTools::FormatSize(double(progress));
}

HRESULT TBSCB::OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode, LPCWSTR szStatusText) {
  TCustomIEDownload* o = Owner();
  if (!o) return E_ABORT;
  if (Cancelled()) {
    if (binding_) binding_->Abort();
    return S_OK;
  }
  String status = IEDownloadStrings::StatusCodeText(int(ulStatusCode));
  // A body of unknown length (chunked or ended by the connection) reports no
  // maximum: it gets no share or remaining time, whatever has arrived.
  const bool sizeKnown = ulProgressMax > 0;
  if (ulProgress > ulProgressMax) ulProgressMax = ulProgress;
  o->FileSize = ulProgressMax;
  String downloaded, elapsed, speed, remaining, percent;
  switch (ulStatusCode) {
    case BINDSTATUS_CONNECTING: o->ServerName = textOf(szStatusText); break;
    case BINDSTATUS_REDIRECTING: {
      redirected_ = true;
      const String to = textOf(szStatusText);
      o->RedirectedUrl = to;
      if (o->OnRedirect && to != info_.Url) {
        bool abortRedirect = false;
        o->OnRedirect(this, abortRedirect, info_.Url, to);
        if (!Owner()) return E_ABORT;
        if (abortRedirect) {
          o->cancel_ = true;
          return E_INVALIDARG;
        }
      }
      if (info_.DownloadMethod == dmFile && !file_)
        info_.FileName = o->SafeFileName(o->GetFileNameFromUrl(to));
      break;
    }
    case BINDSTATUS_BEGINDOWNLOADDATA: o->BeginUrl = textOf(szStatusText); break;
    case BINDSTATUS_MIMETYPEAVAILABLE: o->MimeType = textOf(szStatusText); break;
    case BINDSTATUS_DOWNLOADINGDATA:
      if (o->OnProgress)
        downloaded =
            ProgressTexts(ulProgress, sizeKnown ? ulProgressMax : 0, elapsed, speed, remaining, percent);
      break;
    case BINDSTATUS_ENDDOWNLOADDATA:
      status = String::fromLatin1(IEDownloadStrings::sDone);
      ulProgress = ulProgressMax = 0;
      speed = QStringLiteral("0/00") + String::fromLatin1(IEDownloadStrings::sSpeedUnit);
      remaining = QStringLiteral("00.00.00");
      percent = QStringLiteral("100%");
      break;
    default: break;
  }
  if (o->OnProgress)
    o->OnProgress(this, ulProgress, ulProgressMax, ulStatusCode, ULONG(o->FileSize), szStatusText, downloaded,
                  elapsed, speed, remaining, status, percent);
  return S_OK;
}

HRESULT TBSCB::OnStopBinding(HRESULT hresult, LPCWSTR szError) {
  if (ended_) return S_OK;
  ended_ = true;
  timer_.stop();
  state_ = 3;
  ComPtr<TBSCB> keep(this);
  // The binding holds this callback and this callback the binding: both go
  // at the end, also when the owner went away during the download.
  const auto releaseBinding = [this] {
    if (bindCtx_) RevokeBindStatusCallback(bindCtx_.Get(), this);
    binding_.Reset();
  };
  auto releaseOnEarlyReturn = qScopeGuard(releaseBinding);
  if (file_) file_->close();
  TCustomIEDownload* o = Owner();
  if (!o) return S_OK;
  HRESULT result = skipped_ ? E_ABORT : hresult;
  if (binding_) {
    CLSID protocol{};
    DWORD code = 0;
    LPOLESTR text = nullptr;
    if (SUCCEEDED(binding_->GetBindResult(&protocol, &code, &text, nullptr)) && o->OnGetBindResults)
      o->OnGetBindResults(this, protocol, code, text, IEDownloadStrings::StatusCodeText(int(code)));
    if (text) CoTaskMemFree(text);
  }
  if (!Owner()) return S_OK;
  // A failed binding is an error, whatever the step that failed; a partial
  // file stays as it is.
  if (FAILED(result) && !timedOut_ && result != E_ABORT)
    o->Error(int(result), IEDownloadStrings::StatusCodeText(int(result)));
  else if (result == E_ABORT && aborted_ && !timedOut_)
    o->Error(int(result), IEDownloadStrings::StatusCodeText(int(result)));
  if (!Owner()) return S_OK;
  if (o->OnStopBinding) o->OnStopBinding(this, result, szError);
  if (!Owner()) return S_OK;
  if (o->OnStreamComplete && data_) {
    data_->SetPosition(0);
    o->OnStreamComplete(this, data_.get(), result);
  }
  if (!Owner()) return S_OK;
  releaseOnEarlyReturn.dismiss();
  releaseBinding();
  if (EndsItself) o->WorkerEnded(this, result);
  return S_OK;
}

HRESULT TBSCB::GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) {
  DWORD bindf2 = 0;
  return GetBindInfoEx(grfBINDF, pbindinfo, &bindf2, nullptr);
}

HRESULT TBSCB::GetBindInfoEx(DWORD* grfBINDF, BINDINFO* pbindinfo, DWORD* grfBINDF2, DWORD*) {
  if (!grfBINDF || !pbindinfo) return E_INVALIDARG;
  *grfBINDF = info_.BindF;
  if (grfBINDF2) *grfBINDF2 = info_.BindF2;
  const DWORD options = pbindinfo->dwOptions, optionsFlags = pbindinfo->dwOptionsFlags;
  const ULONG size = pbindinfo->cbSize;
  std::memset(static_cast<void*>(pbindinfo), 0, std::min<size_t>(size, sizeof(BINDINFO)));
  pbindinfo->cbSize = size;
  pbindinfo->dwOptions = options;
  pbindinfo->dwOptionsFlags = optionsFlags;
  pbindinfo->dwBindVerb = redirected_ ? DWORD(BINDVERB_GET) : info_.BindVerb;
  pbindinfo->grfBindInfoF = info_.BindInfoF;
  pbindinfo->dwCodePage = info_.CodePage;
  pbindinfo->securityAttributes.nLength = sizeof(SECURITY_ATTRIBUTES);
  pbindinfo->securityAttributes.bInheritHandle = info_.InheritHandle;
  pbindinfo->securityAttributes.lpSecurityDescriptor =
      info_.Descriptor.isEmpty() ? nullptr : const_cast<char*>(info_.Descriptor.constData());
  if (!info_.ExtraInfo.isEmpty()) pbindinfo->szExtraInfo = IEDownloadTools::StrToCoTaskMem(info_.ExtraInfo);
  QByteArray body;
  if (pbindinfo->dwBindVerb == BINDVERB_POST) {
    body = info_.PostData.toUtf8();
  } else if (pbindinfo->dwBindVerb == BINDVERB_PUT) {
    QFile put(info_.PutFileName);
    if (put.open(QIODevice::ReadOnly)) body = put.readAll();
  } else if (pbindinfo->dwBindVerb == BINDVERB_CUSTOM) {
    pbindinfo->szCustomVerb = IEDownloadTools::StrToCoTaskMem(info_.CustomVerb);
  }
  if (pbindinfo->dwBindVerb != BINDVERB_GET) {
    delete[] static_cast<char*>(postBlock_);
    // A zero-filled block one byte longer than the data; the length sent is
    // the data's.
    char* block = new char[size_t(body.size()) + 1]();
    std::memcpy(block, body.constData(), size_t(body.size()));
    postBlock_ = block;
    pbindinfo->stgmedData.tymed = TYMED_HGLOBAL;
    pbindinfo->stgmedData.hGlobal = postBlock_;
    pbindinfo->stgmedData.pUnkForRelease = static_cast<IBindStatusCallbackEx*>(this);
    AddRef();  // released with the bind information
    pbindinfo->cbstgmedData = DWORD(body.size());
  }
  TCustomIEDownload* o = Owner();
  if (o && o->OnGetBindInfo) return o->OnGetBindInfo(this, *grfBINDF, *pbindinfo);
  if (o && o->OnGetBindInfoEx) {
    DWORD f2 = grfBINDF2 ? *grfBINDF2 : 0;
    const HRESULT hr = o->OnGetBindInfoEx(this, *grfBINDF, pbindinfo, f2);
    if (grfBINDF2) *grfBINDF2 = f2;
    return hr;
  }
  return S_OK;
}

bool TBSCB::OpenTarget(bool append) {
  if (info_.DownloadMethod != dmFile) return true;
  TCustomIEDownload* o = Owner();
  if (info_.FileName.isEmpty()) info_.FileName = o->SafeFileName(o->GetFileNameFromUrl(info_.Url));
  target_ = info_.DownloadFolder + info_.FileName;
  file_ = std::make_unique<QFile>(target_);
  if (!file_->open(append ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate)) {
    o->Error(int(E_ACCESSDENIED), file_->errorString());
    file_.reset();
    return false;
  }
  if (append) file_->seek(file_->size());
  return true;
}

HRESULT TBSCB::OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC*, STGMEDIUM* pstgmed) {
  TCustomIEDownload* o = Owner();
  if (!o || Cancelled()) {
    if (binding_) binding_->Abort();
    return E_INVALIDARG;
  }
  if (o->OnDataAvailableInfo) o->OnDataAvailableInfo(this, grfBSCF, IEDownloadStrings::BscfFlagText(grfBSCF));
  if (!Owner()) return E_INVALIDARG;
  timer_.start();
  if (!stream_ && pstgmed && pstgmed->tymed == TYMED_ISTREAM) stream_ = pstgmed->pstm;
  if (info_.DownloadMethod == dmFile && !file_ && !OpenTarget(false)) {
    if (binding_) binding_->Abort();
    return E_INVALIDARG;
  }
  if (!stream_) return S_OK;
  // The notified size is 32 bits wide and stops at its largest value; beyond
  // 4 GB the stream's own count says what arrived.
  qint64 notified = qint64(dwSize);
  STATSTG stat{};
  if (dwSize == 0xFFFFFFFFu && SUCCEEDED(stream_->Stat(&stat, STATFLAG_NONAME)))
    notified = std::max(notified, qint64(stat.cbSize));
  qint64 wanted = notified - read_;
  // The stream is shared with the binding, which appends to it: read on
  // from what was taken so far.
  if (wanted > 0) stream_->Seek(read_, STREAM_SEEK_SET, nullptr);
  while (wanted > 0) {
    const ULONG ask = ULONG(std::min<qint64>(wanted, 0x7FFFFFFF));
    // Not cleared first: only the bytes read and the one after them count.
    const std::unique_ptr<BYTE[]> buffer(new BYTE[size_t(ask) + 1]);
    ULONG got = 0;
    stream_->Read(buffer.get(), ask, &got);
    if (got == 0) break;
    buffer[got] = 0;
    BYTE* data = buffer.get();
    DWORD length = got;
    if (o->OnDataAvailable) {
      o->OnDataAvailable(this, data, length);
      if (!Owner()) return E_INVALIDARG;
      // A handler may shorten what is kept, never lengthen it.
      length = std::min<DWORD>(length, got);
      if (!data) length = 0;
    }
    if (data_) data_->Write(data, length);
    if (file_) file_->write(reinterpret_cast<const char*>(data), length);
    read_ += got;
    wanted -= got;
  }
  if (file_) file_->flush();
  return S_OK;
}

HRESULT TBSCB::OnObjectAvailable(REFIID, IUnknown*) {
  if (Cancelled() && binding_) binding_->Abort();
  return S_OK;
}

HRESULT TBSCB::BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                                    LPWSTR* pszAdditionalHeaders) {
  if (pszAdditionalHeaders) *pszAdditionalHeaders = nullptr;
  TCustomIEDownload* o = Owner();
  if (!o || Cancelled()) {
    if (binding_) binding_->Abort();
    return E_ABORT;
  }
  // The user-agent line ends with its own CR LF; another would end the
  // header block.
  String headers = o->UserAgentLine();
  if (info_.DownloadMethod == dmFile && info_.FileName.isEmpty())
    info_.FileName = o->SafeFileName(o->GetFileNameFromUrl(info_.Url));
  const String path = info_.DownloadFolder + info_.FileName;
  if (info_.DownloadMethod == dmFile && !info_.FileName.isEmpty() && QFileInfo::exists(path)) {
    const qint64 size = QFileInfo(path).size();
    info_.RangeEnd = 0;
    DWORD action = 0;
    if (o->OnResume) {
      o->OnResume(this, path, action);
      if (!Owner()) return E_ABORT;
    }
    if (action != 0) {
      // The handler asked to resume: the download continues from the
      // file's end whatever FileExistsOption says.
      info_.RangeBegin = size;
      resumed_ = true;
    } else {
      TFileExistsOption option = info_.FileExistsOption;
      String newName;
      if (o->OnFileExists) {
        o->OnFileExists(option, path, newName);
        if (!Owner()) return E_ABORT;
      }
      if (newName.isEmpty())
        newName = info_.FileName + QLatin1Char('_') +
                  FormatDateTime(String::fromLatin1(IEDownloadStrings::sTimeFormat), Now());
      switch (option) {
        case feOverWrite: info_.RangeBegin = 0; break;
        case feSkip:
          skipped_ = true;
          if (binding_) binding_->Abort();
          return E_ABORT;
        case feRename:
          info_.FileName = o->SafeFileName(newName);
          info_.RangeBegin = 0;
          break;
      }
    }
  }
  if (info_.RangeBegin != 0 || info_.RangeEnd != 0)
    headers += QStringLiteral("Range: bytes=") + QString::number(info_.RangeBegin) + QLatin1Char('-') +
               (info_.RangeEnd != 0 ? QString::number(info_.RangeEnd) : String()) + QStringLiteral("\r\n");
  for (const String& line : info_.AdditionalHeader)
    if (!line.isEmpty()) headers += line + QStringLiteral("\r\n");
  if (pszAdditionalHeaders) *pszAdditionalHeaders = IEDownloadTools::StrToCoTaskMem(headers);
  HRESULT hr = S_OK;
  if (o->OnBeginningTransaction) {
    if (pszAdditionalHeaders && *pszAdditionalHeaders) {
      CoTaskMemFree(*pszAdditionalHeaders);
      *pszAdditionalHeaders = nullptr;
    }
    hr = o->OnBeginningTransaction(this, szURL, szHeaders, dwReserved, pszAdditionalHeaders);
  }
  timedOut_ = false;
  timer_.start();
  return hr;
}

HRESULT TBSCB::OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders, LPCWSTR szRequestHeaders,
                          LPWSTR* pszAdditionalRequestHeaders) {
  if (pszAdditionalRequestHeaders) *pszAdditionalRequestHeaders = nullptr;
  TCustomIEDownload* o = Owner();
  if (!o || Cancelled()) {
    if (binding_) binding_->Abort();
    return E_ABORT;
  }
  ComPtr<IWinInetHttpInfo> http = binding_ ? binding_.As<IWinInetHttpInfo>() : ComPtr<IWinInetHttpInfo>();
  auto queryText = [&](DWORD option) {
    char buffer[512] = {};
    DWORD size = sizeof buffer - 1;
    if (!http || FAILED(http->QueryInfo(option, buffer, &size, nullptr, nullptr))) return String();
    return String::fromLatin1(buffer, int(size)).trimmed();
  };
  HRESULT hr = S_OK;
  if (dwResponseCode >= 400) {
    o->Error(int(dwResponseCode), IEDownloadStrings::StatusCodeText(int(dwResponseCode)));
    hr = E_ABORT;
  } else {
    // A length the server did not give (chunked or close-delimited) is no
    // reason to stop; a length of 0 is.
    const String length = queryText(HTTP_QUERY_CONTENT_LENGTH);
    if (!length.isEmpty() && length == QLatin1String("0")) hr = E_ABORT;
  }
  if (!Owner()) return E_ABORT;
  if (o->OnResponse) {
    const HRESULT answer =
        o->OnResponse(this, dwResponseCode, szResponseHeaders, szRequestHeaders, pszAdditionalRequestHeaders);
    if (!Owner()) return E_ABORT;
    // The handler decides, except that an error page never becomes the
    // download: it was reported as a failure already.
    if (dwResponseCode < 400) hr = answer;
  }
  if (FAILED(hr)) {
    skipped_ = true;  // nothing is written
    return hr;
  }
  if (info_.DownloadMethod != dmFile) return hr;
  // Appending only when the server answers the range asked for; anything
  // else is the whole body, written from the start.
  bool append = false;
  if (info_.RangeBegin > 0 && dwResponseCode == 206) {
    const String range = queryText(HTTP_QUERY_CONTENT_RANGE);
    append =
        range.startsWith(QStringLiteral("bytes ") + QString::number(info_.RangeBegin) + QLatin1Char('-'));
  }
  if (!append) info_.RangeBegin = 0;
  if (!OpenTarget(append)) return E_ABORT;
  return hr;
}

HRESULT TBSCB::GetRootSecurityId(BYTE* pbSecurityId, DWORD* pcbSecurityId, DWORD_PTR) {
  TCustomIEDownload* o = Owner();
  if (!o || !o->OnGetRootSecurityId || !pcbSecurityId) return E_NOTIMPL;
  return o->OnGetRootSecurityId(pbSecurityId, *pcbSecurityId);
}

HRESULT TBSCB::GetSerializedClientCertContext(BYTE** ppbCert, DWORD* pcbCert) {
  TCustomIEDownload* o = Owner();
  if (!o || !o->OnGetSerializedClientCertContext || !pcbCert) return S_FALSE;
  return o->OnGetSerializedClientCertContext(this, ppbCert, *pcbCert);
}

HRESULT TBSCB::Authenticate(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword) {
  return AuthenticateEx(phwnd, pszUsername, pszPassword, nullptr);
}

HRESULT TBSCB::AuthenticateEx(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword,
                              AUTHENTICATEINFO* pauthinfo) {
  if (pszUsername) *pszUsername = nullptr;
  if (pszPassword) *pszPassword = nullptr;
  TCustomIEDownload* o = Owner();
  if (!o) return E_FAIL;
  HWND hwnd = nullptr;
  String user = info_.UserName, password = info_.Password;
  HRESULT result = S_OK;
  if (pauthinfo && o->OnAuthenticateEx)
    o->OnAuthenticateEx(this, hwnd, user, password, pauthinfo, result);
  else if (o->OnAuthenticate)
    o->OnAuthenticate(this, hwnd, user, password, result);
  if (phwnd) *phwnd = hwnd;
  if (pszUsername && !user.isEmpty()) *pszUsername = IEDownloadTools::StrToCoTaskMem(user);
  if (pszPassword && !password.isEmpty()) *pszPassword = IEDownloadTools::StrToCoTaskMem(password);
  return result;
}

HRESULT TBSCB::GetWindow(REFGUID rguidReason, HWND* phwnd) {
  if (!phwnd) return E_INVALIDARG;
  *phwnd = nullptr;
  TCustomIEDownload* o = Owner();
  if (o && o->OnGetWindow) return o->OnGetWindow(this, rguidReason, *phwnd);
  return S_OK;
}

HRESULT TBSCB::OnSecurityProblem(DWORD dwProblem) {
  TCustomIEDownload* o = Owner();
  if (o && o->OnSecurityProblem)
    return o->OnSecurityProblem(this, dwProblem, IEDownloadStrings::StatusCodeText(int(dwProblem)));
  return S_FALSE;
}

HRESULT TBSCB::OnCodeInstallProblem(ULONG ulStatusCode, LPCWSTR szDestination, LPCWSTR szSource,
                                    DWORD dwReserved) {
  TCustomIEDownload* o = Owner();
  if (o && o->OnCodeInstallProblem)
    return o->OnCodeInstallProblem(this, ulStatusCode, szDestination, szSource, dwReserved,
                                   IEDownloadStrings::StatusCodeText(int(ulStatusCode)));
  return S_OK;
}

HRESULT TBSCB::QueryService(REFGUID guidService, REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = nullptr;
  TCustomIEDownload* o = Owner();
  if (!o || !o->OnQueryService) return E_NOINTERFACE;
  ComPtr<IUnknown> obj;
  o->OnQueryService(o, guidService, riid, obj);
  if (!obj) return E_NOINTERFACE;
  return obj->QueryInterface(riid, ppvObject);
}

HRESULT TBSCB::PutProperty(MONIKERPROPERTY mkp, LPCWSTR val) {
  TCustomIEDownload* o = Owner();
  return o && o->OnPutProperty ? o->OnPutProperty(this, mkp, val) : E_NOTIMPL;
}

HRESULT TBSCB::CreateMoniker(LPOLESTR, IBindCtx*, IMoniker** ppmk, DWORD) {
  if (!ppmk) return E_INVALIDARG;
  const std::u16string url = info_.Url.toStdU16String();
  const HRESULT hr =
      CreateURLMonikerEx(nullptr, reinterpret_cast<LPCWSTR>(url.c_str()), &moniker_, URL_MK_UNIFORM);
  *ppmk = moniker_.Get();
  if (*ppmk) (*ppmk)->AddRef();
  return hr;
}

HRESULT TBSCB::MonikerBindToStorage(IMoniker* pMk, IBindCtx*, IBindStatusCallback*, REFIID riid,
                                    void** ppvObj) {
  IMoniker* moniker = pMk ? pMk : moniker_.Get();
  return moniker ? moniker->BindToStorage(bindCtx_.Get(), nullptr, riid, ppvObj) : E_INVALIDARG;
}

HRESULT TBSCB::MonikerBindToObject(IMoniker* pMk, IBindCtx*, IBindStatusCallback*, REFIID riid,
                                   void** ppvObj) {
  IMoniker* moniker = pMk ? pMk : moniker_.Get();
  return moniker ? moniker->BindToObject(bindCtx_.Get(), nullptr, riid, ppvObj) : E_INVALIDARG;
}

// ---------------------------------------------------------------- unit

void initialize() {
  if (unitStarts++ > 0) return;
  RegisterClass<TIEDownload>();
  RegisterEvents<TCustomIEDownload>({
      EventEntry("OnAuthenticate", &TCustomIEDownload::OnAuthenticate),
      EventEntry("OnAuthenticateEx", &TCustomIEDownload::OnAuthenticateEx),
      EventEntry("OnBeginningTransaction", &TCustomIEDownload::OnBeginningTransaction),
      EventEntry("OnCodeInstallProblem", &TCustomIEDownload::OnCodeInstallProblem),
      EventEntry("OnComplete", &TCustomIEDownload::OnComplete),
      EventEntry("OnConnect", &TCustomIEDownload::OnConnect),
      EventEntry("OnDataAvailable", &TCustomIEDownload::OnDataAvailable),
      EventEntry("OnDataAvailableInfo", &TCustomIEDownload::OnDataAvailableInfo),
      EventEntry("OnError", &TCustomIEDownload::OnError),
      EventEntry("OnFileExists", &TCustomIEDownload::OnFileExists),
      EventEntry("OnGetBindInfo", &TCustomIEDownload::OnGetBindInfo),
      EventEntry("OnGetBindInfoEx", &TCustomIEDownload::OnGetBindInfoEx),
      EventEntry("OnGetBindResults", &TCustomIEDownload::OnGetBindResults),
      EventEntry("OnGetRootSecurityId", &TCustomIEDownload::OnGetRootSecurityId),
      EventEntry("OnGetSerializedClientCertContext", &TCustomIEDownload::OnGetSerializedClientCertContext),
      EventEntry("OnGetWindow", &TCustomIEDownload::OnGetWindow),
      EventEntry("OnProgress", &TCustomIEDownload::OnProgress),
      EventEntry("OnPutProperty", &TCustomIEDownload::OnPutProperty),
      EventEntry("OnQueryInterface", &TCustomIEDownload::OnQueryInterface),
      EventEntry("OnQueryService", &TCustomIEDownload::OnQueryService),
      EventEntry("OnRedirect", &TCustomIEDownload::OnRedirect),
      EventEntry("OnResponse", &TCustomIEDownload::OnResponse),
      EventEntry("OnResume", &TCustomIEDownload::OnResume),
      EventEntry("OnSecurityProblem", &TCustomIEDownload::OnSecurityProblem),
      EventEntry("OnStartBinding", &TCustomIEDownload::OnStartBinding),
      EventEntry("OnStateChange", &TCustomIEDownload::OnStateChange),
      EventEntry("OnStopBinding", &TCustomIEDownload::OnStopBinding),
      EventEntry("OnStreamComplete", &TCustomIEDownload::OnStreamComplete),
      EventEntry("OnTerminate", &TCustomIEDownload::OnTerminate),
  });
  comInitialized = SUCCEEDED(CoInitialize(nullptr));
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
  if (comInitialized) CoUninitialize();
  comInitialized = false;
}

}  // namespace IEDownload
