// Bindings of URL monikers. A binding asks its callback for the bind
// information, starts the transfer (on a worker thread when asynchronous,
// else on the calling thread) and reports it to the callback. The worker
// never calls the callback itself: it queues each notification for the
// thread that started the binding, whose event loop delivers them in order.
// Questions the worker needs answered (the client's verdict on a response,
// credentials) travel the same way while the worker waits.
#include "platform/urlmon/UrlMonInternal_p.h"

#include "platform/urlmon/Log_p.h"
#include "platform/winapi/Modules.h"
#include "platform/wininet/HttpInfo.h"
#include "platform/wininet/UrlCache.h"

#include <QFile>
#include <QObject>
#include <QRegularExpression>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace urlmon_detail {

namespace {

inline constexpr CLSID kClsidHtmlDocument = GuidLiteral("{25336920-03F9-11CF-8FD0-00AA00686F13}");

// At most this much received data waits for the starting thread: a transfer
// faster than its client waits, so a large body never piles up in memory.
constexpr qsizetype kPendingWindow = 4 * 1024 * 1024;

ULONG clampUlong(qint64 value) {
  return value < 0 ? 0 : value > qint64(0xFFFFFFFF) ? 0xFFFFFFFFu : ULONG(value);
}

// What a binding and its worker share.
struct BindShared : std::enable_shared_from_this<BindShared> {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::function<void()>> queue;
  QObject* receiver = nullptr;  // on the starting thread; null once the binding ended
  bool drainPosted = false;
  bool closed = false;  // the binding ended or was aborted: nothing more is queued
  std::atomic<bool> aborted{false};
  bool synchronous = false;
  bool draining = false;   // starting thread only
  QByteArray pendingData;  // received, not yet handed to the binding
  bool dataPosted = false;

  // Queues `fn` for the starting thread; in a synchronous binding it runs at once.
  void Post(std::function<void()> fn) {
    if (synchronous) {
      if (!aborted && !closed) fn();
      return;
    }
    std::lock_guard<std::mutex> guard(lock);
    if (closed) return;
    queue.push_back(std::move(fn));
    schedule();
  }

  // Under the lock: makes sure a delivery round is coming.
  void schedule() {
    if (drainPosted || !receiver) return;
    drainPosted = true;
    QMetaObject::invokeMethod(
        receiver, [self = shared_from_this()] { self->Drain(); }, Qt::QueuedConnection);
  }

  // Delivers the queued notifications (starting thread). A delivery round
  // is never re-entered: one started from a nested event loop inside a
  // callback leaves the work to the round already running.
  void Drain() {
    if (draining) return;
    draining = true;
    for (;;) {
      std::function<void()> fn;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (queue.empty()) {
          drainPosted = false;
          break;
        }
        fn = std::move(queue.front());
        queue.pop_front();
      }
      fn();
    }
    draining = false;
  }

  // Asks a question on the starting thread and waits for the answer; no
  // answer when the binding is aborted first.
  template <class T>
  std::optional<T> Ask(std::function<T()> question) {
    if (synchronous) {
      if (aborted || closed) return std::nullopt;
      return question();
    }
    auto answer = std::make_shared<std::optional<T>>();
    Post([self = shared_from_this(), answer, question] {
      T value = question();
      std::lock_guard<std::mutex> guard(self->lock);
      *answer = std::move(value);
      self->changed.notify_all();
    });
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return answer->has_value() || closed || aborted; });
    return *answer;
  }
};

// The bindings whose transfers may still run, for finalizing.
std::mutex& registryLock() {
  static std::mutex lock;
  return lock;
}
std::vector<std::weak_ptr<BindShared>>& registry() {
  static std::vector<std::weak_ptr<BindShared>> list;
  return list;
}

void registerShared(const std::shared_ptr<BindShared>& shared) {
  std::lock_guard<std::mutex> guard(registryLock());
  auto& list = registry();
  std::erase_if(list, [](const std::weak_ptr<BindShared>& w) { return w.expired(); });
  list.push_back(shared);
}

class BindWorker;

class Binding : public ComObject<IBinding, IWinInetHttpInfo> {
 public:
  Binding(String url, bool toObject, const IID& riid)
      : url_(std::move(url)),
        toObject_(toObject),
        riid_(riid),
        stream_(MakeCom<BindStream>()),
        shared_(std::make_shared<BindShared>()) {}

  HRESULT Start(IBindCtx* bindCtx, void** ppv);

  // ---- IBinding
  HRESULT Abort() override {
    std::unique_lock<std::mutex> guard(shared_->lock);
    if (shared_->closed || shared_->aborted) return INET_E_RESULT_DISPATCHED;
    shared_->aborted = true;
    shared_->changed.notify_all();
    if (shared_->synchronous) return S_OK;  // the transfer on this thread ends with E_ABORT
    // Nothing queued is delivered any more; the stop comes next.
    shared_->queue.clear();
    shared_->pendingData.clear();
    ComPtr<IBinding> self(this);
    shared_->queue.push_back([self, this] { Finish({E_ABORT, {}, {}}); });
    shared_->closed = true;
    shared_->schedule();
    return S_OK;
  }
  HRESULT Suspend() override { return E_NOTIMPL; }
  HRESULT Resume() override { return E_NOTIMPL; }
  HRESULT SetPriority(LONG nPriority) override {
    priority_ = nPriority;
    return S_OK;
  }
  HRESULT GetPriority(LONG* pnPriority) override {
    if (!pnPriority) return E_INVALIDARG;
    *pnPriority = priority_;
    return S_OK;
  }
  HRESULT GetBindResult(CLSID* pclsidProtocol, DWORD* pdwResult, LPOLESTR* pszResult, DWORD*) override {
    if (!pclsidProtocol || !pdwResult || !pszResult) return E_INVALIDARG;
    if (!ended_) return E_UNEXPECTED;
    *pclsidProtocol = ProtocolOf(url_);
    *pdwResult = DWORD(result_);
    *pszResult = resultText_.isEmpty() ? nullptr : CoTaskMemDupString(resultText_);
    return S_OK;
  }

  // ---- IWinInetHttpInfo
  HRESULT QueryOption(DWORD, LPVOID, DWORD*) override { return E_NOTIMPL; }
  HRESULT QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD*, DWORD*) override;

  // ---- notifications, on the starting thread
  void ReportProgress(ULONG status, const String& text, qint64 progress = 0, qint64 max = 0) {
    if (callback_ && !ended_)
      callback_->OnProgress(clampUlong(progress), clampUlong(max), status,
                            reinterpret_cast<LPCWSTR>(text.utf16()));
  }
  void BodyBegins(const String& mime, qint64 length) {
    mime_ = mime;
    contentLength_ = length;
    ReportProgress(BINDSTATUS_MIMETYPEAVAILABLE, mime);
  }
  void DeliverData();
  bool NegotiateResponse(int status, const String& head, const String& requestHeaders);
  std::pair<String, String> AskCredentials();
  bool AskSecurityProblem(DWORD problem);
  void Finish(TransferResult result);

 private:
  friend class BindWorker;
  void deliverNotification(DWORD flags);
  HRESULT makeObject(ComPtr<IUnknown>& object);

  const String url_;
  const bool toObject_;
  const IID riid_;
  ComPtr<BindStream> stream_;
  std::shared_ptr<BindShared> shared_;
  ComPtr<IBindStatusCallback> callback_;
  ComPtr<IBinding> keepAlive_;  // the binding lives until it has ended
  ComPtr<IUnknown> object_;     // BindToObject's result
  LONG priority_ = 0;
  std::mutex headLock_;
  HttpResponseHead head_;
  String mime_;
  qint64 contentLength_ = -1;
  bool dataStarted_ = false;
  bool ended_ = false;
  HRESULT result_ = S_OK;
  String resultText_;
};

// The transfer's side of a binding: runs the transfer and forwards what it
// reports, writing the body into a cache file on the way when asked to.
class BindWorker : public TransferSink {
 public:
  BindWorker(std::shared_ptr<BindShared> shared, Binding* binding, TransferRequest request, bool writeCache)
      : shared_(std::move(shared)),
        binding_(binding),
        request_(std::move(request)),
        writeCache_(writeCache) {}

  TransferResult Run() {
    TransferResult result = RunTransfer(request_, *this);
    if (cacheFile_.isOpen()) {
      cacheFile_.close();
      bool kept = false;
      if (SUCCEEDED(result.hr) && !Aborted() && cacheFile_.error() == QFileDevice::NoError) {
        const std::u16string url = request_.url.toStdU16String();
        const std::u16string file = cacheFile_.fileName().toStdU16String();
        std::u16string head = result.head.toStdU16String();
        kept = CommitUrlCacheEntryW(url.c_str(), file.c_str(), FILETIME{}, FILETIME{}, NORMAL_CACHE_ENTRY,
                                    head.data(), DWORD(head.size()), nullptr, nullptr);
      }
      if (!kept) cacheFile_.remove();
    }
    return result;
  }

  bool Aborted() override { return shared_->aborted; }

  void Progress(ULONG status, const String& text) override {
    Binding* binding = binding_;
    shared_->Post([binding, status, text] { binding->ReportProgress(status, text); });
  }

  bool Response(int statusCode, const String& head, const String& requestHeaders) override {
    Binding* binding = binding_;
    const std::optional<bool> answer =
        shared_->Ask<bool>([=] { return binding->NegotiateResponse(statusCode, head, requestHeaders); });
    return answer.value_or(false);
  }

  bool Credentials(String& user, String& password) override {
    Binding* binding = binding_;
    const auto answer =
        shared_->Ask<std::pair<String, String>>([binding] { return binding->AskCredentials(); });
    if (!answer) return false;
    user = answer->first;
    password = answer->second;
    return !user.isEmpty();
  }

  bool SecurityProblem(DWORD problem) override {
    Binding* binding = binding_;
    return shared_->Ask<bool>([binding, problem] { return binding->AskSecurityProblem(problem); })
        .value_or(false);
  }

  void BeginBody(const String& mimeType, qint64 length, const String&, const String& localFile) override {
    Binding* binding = binding_;
    shared_->Post([binding, mimeType, length] { binding->BodyBegins(mimeType, length); });
    if (!localFile.isEmpty()) {
      Progress(BINDSTATUS_CACHEFILENAMEAVAILABLE, localFile);
    } else if (writeCache_) {
      const std::u16string url = request_.url.toStdU16String();
      char16_t path[1024] = {};
      if (CreateUrlCacheEntryW(url.c_str(), 0, nullptr, path, 0)) {
        cacheFile_.setFileName(String::fromUtf16(path));
        if (cacheFile_.open(QIODevice::WriteOnly | QIODevice::Truncate))
          Progress(BINDSTATUS_CACHEFILENAMEAVAILABLE, cacheFile_.fileName());
        else
          QFile::remove(cacheFile_.fileName());
      }
    }
  }

  void Data(const char* bytes, qsizetype size) override {
    if (cacheFile_.isOpen()) cacheFile_.write(bytes, size);
    bool post = false;
    {
      std::unique_lock<std::mutex> guard(shared_->lock);
      if (!shared_->synchronous)
        shared_->changed.wait(guard, [this] {
          return shared_->closed || shared_->aborted || shared_->pendingData.size() < kPendingWindow;
        });
      if (shared_->closed) return;
      shared_->pendingData.append(bytes, size);
      post = !shared_->dataPosted;
      shared_->dataPosted = true;
    }
    if (post) {
      Binding* binding = binding_;
      shared_->Post([binding] { binding->DeliverData(); });
    }
  }

 private:
  std::shared_ptr<BindShared> shared_;
  Binding* binding_;  // used only inside notifications, which run while it lives
  TransferRequest request_;
  bool writeCache_;
  QFile cacheFile_;
};

// The lines of an additional-headers text.
QList<QByteArray> headerLines(const String& text) {
  QList<QByteArray> lines;
  for (const String& line : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
    const String trimmed = line.trimmed();
    if (trimmed.contains(u':')) lines.append(trimmed.toUtf8());
  }
  return lines;
}

}  // namespace

HRESULT Binding::Start(IBindCtx* bindCtx, void** ppv) {
  ComPtr<IUnknown> holder;
  if (bindCtx && SUCCEEDED(bindCtx->GetObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), &holder)))
    holder.As(&callback_);

  // The bind information.
  BINDINFO info{};
  info.cbSize = sizeof(BINDINFO);
  DWORD bindf = 0, bindf2 = 0;
  if (callback_) {
    HRESULT hr;
    if (ComPtr<IBindStatusCallbackEx> ex = callback_.As<IBindStatusCallbackEx>()) {
      DWORD reserved = 0;
      hr = ex->GetBindInfoEx(&bindf, &info, &bindf2, &reserved);
    } else {
      hr = callback_->GetBindInfo(&bindf, &info);
    }
    if (FAILED(hr)) {
      ReleaseBindInfo(&info);
      callback_.Reset();
      return hr;
    }
  }
  TransferRequest request;
  request.url = url_;
  request.verb = info.dwBindVerb;
  if (info.szCustomVerb) request.customVerb = OleStrToString(info.szCustomVerb);
  if (info.szExtraInfo && SchemeOf(url_).startsWith(u"http")) request.url += OleStrToString(info.szExtraInfo);
  if (info.dwBindVerb != BINDVERB_GET) {
    if (info.stgmedData.tymed == TYMED_HGLOBAL && info.stgmedData.hGlobal)
      request.body =
          QByteArray(static_cast<const char*>(info.stgmedData.hGlobal), qsizetype(info.cbstgmedData));
    else if (info.stgmedData.tymed == TYMED_ISTREAM && info.stgmedData.pstm)
      GetStreamBytes(info.stgmedData.pstm, request.body);
  }
  request.followRedirects = (info.dwOptions & BINDINFO_OPTIONS_DISABLEAUTOREDIRECTS) == 0;
  request.ignoreSecurityProblems = (bindf & BINDF_IGNORESECURITYPROBLEM) != 0;
  request.disableBasicAuth = (bindf2 & BINDF2_DISABLEBASICOVERHTTP) != 0;
  if (bindf & BINDF_PRAGMA_NO_CACHE) request.headers.append("Pragma: no-cache");
  ReleaseBindInfo(&info);

  const bool asynchronous = callback_ && (bindf & BINDF_ASYNCHRONOUS);
  const bool writeCache = (bindf & BINDF_NOWRITECACHE) == 0 || (bindf & BINDF_NEEDFILE) != 0;
  shared_->synchronous = !asynchronous;
  if (asynchronous) shared_->receiver = new QObject;  // lives on this thread
  keepAlive_ = this;

  if (callback_) {
    const HRESULT hr = callback_->OnStartBinding(0, this);
    if (FAILED(hr)) {
      {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->closed = true;
        delete shared_->receiver;
        shared_->receiver = nullptr;
      }
      callback_.Reset();
      keepAlive_.Reset();
      return hr;
    }
    LONG priority = 0;
    callback_->GetPriority(&priority);
  }
  const String scheme = SchemeOf(url_);
  if (!shared_->aborted && (scheme == u"http" || scheme == u"https")) {
    if (ComPtr<IHttpNegotiate> negotiate = QueryCallback<IHttpNegotiate>(callback_.Get())) {
      const std::u16string url = request.url.toStdU16String();
      OwnedTaskMem<WCHAR> extra;
      const HRESULT hr = negotiate->BeginningTransaction(url.c_str(), u"Accept: */*\r\n", 0, extra.out());
      if (extra) request.headers.append(headerLines(OleStrToString(extra.get())));
      if (FAILED(hr)) Abort();
    }
  }

  auto worker = std::make_shared<BindWorker>(shared_, this, std::move(request), writeCache);
  if (asynchronous) {
    if (!shared_->aborted) {
      registerShared(shared_);
      WorkerStarted();
      std::thread([worker, shared = shared_, binding = this] {
        const TransferResult result = worker->Run();
        shared->Post([binding, result] { binding->Finish(result); });
        WorkerEnded();
      }).detach();
    }
    if (ppv) *ppv = nullptr;
    return MK_S_ASYNCHRONOUS;
  }

  TransferResult result = shared_->aborted ? TransferResult{E_ABORT, {}, {}} : worker->Run();
  if (shared_->aborted) result.hr = E_ABORT;
  Finish(result);
  if (FAILED(result_)) return result_;
  if (toObject_) return object_ ? object_->QueryInterface(riid_, ppv) : E_FAIL;
  stream_->Seek(0, STREAM_SEEK_SET, nullptr);
  return stream_->QueryInterface(riid_, ppv);
}

void Binding::DeliverData() {
  QByteArray bytes;
  {
    std::lock_guard<std::mutex> guard(shared_->lock);
    bytes = std::exchange(shared_->pendingData, QByteArray());
    shared_->dataPosted = false;
    shared_->changed.notify_all();  // a worker waiting for room goes on
  }
  if (ended_ || bytes.isEmpty()) return;
  stream_->Append(std::move(bytes));
  if (toObject_) return;  // the object takes the data at the end
  deliverNotification(dataStarted_ ? BSCF_INTERMEDIATEDATANOTIFICATION : BSCF_FIRSTDATANOTIFICATION);
}

// One data notification with the progress report in front of it.
void Binding::deliverNotification(DWORD flags) {
  const qint64 size = stream_->Size();
  const qint64 max = contentLength_ >= 0 ? contentLength_ : 0;
  const String url = url_;
  if (flags & BSCF_LASTDATANOTIFICATION)
    ReportProgress(BINDSTATUS_ENDDOWNLOADDATA, url, size, size);
  else
    ReportProgress(dataStarted_ ? BINDSTATUS_DOWNLOADINGDATA : BINDSTATUS_BEGINDOWNLOADDATA, url, size, max);
  dataStarted_ = true;
  if (!callback_ || ended_ || shared_->aborted) return;
  FORMATETC format{0, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  STGMEDIUM medium{};
  medium.tymed = TYMED_ISTREAM;
  medium.pstm = stream_.Get();
  medium.pUnkForRelease = nullptr;
  callback_->OnDataAvailable(flags, clampUlong(size), &format, &medium);
}

bool Binding::NegotiateResponse(int status, const String& head, const String& requestHeaders) {
  {
    std::lock_guard<std::mutex> guard(headLock_);
    head_ = HttpResponseHead::Parse(head.toLatin1());
  }
  if (ComPtr<IHttpNegotiate> negotiate = QueryCallback<IHttpNegotiate>(callback_.Get())) {
    OwnedTaskMem<WCHAR> extra;
    const std::u16string headText = head.toStdU16String();
    const std::u16string requestText = requestHeaders.toStdU16String();
    const HRESULT hr =
        negotiate->OnResponse(DWORD(status), headText.c_str(), requestText.c_str(), extra.out());
    if (FAILED(hr)) return false;
  }
  return !shared_->aborted;
}

std::pair<String, String> Binding::AskCredentials() {
  ComPtr<IAuthenticate> authenticate = QueryCallback<IAuthenticate>(callback_.Get());
  if (!authenticate || shared_->aborted) return {};
  HWND window = nullptr;
  OwnedTaskMem<WCHAR> user, password;
  const HRESULT hr = authenticate->Authenticate(&window, user.out(), password.out());
  std::pair<String, String> answer{OleStrToString(user.get()), OleStrToString(password.get())};
  if (FAILED(hr)) return {};
  return answer;
}

// Only a client that says S_OK to the problem takes the server unchecked.
bool Binding::AskSecurityProblem(DWORD problem) {
  ComPtr<IHttpSecurity> security = QueryCallback<IHttpSecurity>(callback_.Get());
  if (!security || shared_->aborted) return false;
  const HRESULT hr = security->OnSecurityProblem(problem);
  qCDebug(lcUrlMon) << "certificate problem" << problem << "of" << url_ << "answered" << Qt::hex
                    << quint32(hr);
  return hr == S_OK;
}

HRESULT Binding::makeObject(ComPtr<IUnknown>& object) {
  // Documents are the only objects bound from data here.
  if (mime_ != u"text/html" && mime_ != u"text/plain") return INET_E_CANNOT_INSTANTIATE_OBJECT;
  ComPtr<IPersistStreamInit> persist;
  HRESULT hr =
      CoCreateInstance(kClsidHtmlDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit, &persist);
  if (FAILED(hr)) return INET_E_CANNOT_INSTANTIATE_OBJECT;
  stream_->Seek(0, STREAM_SEEK_SET, nullptr);
  hr = persist->Load(stream_.Get());
  if (FAILED(hr)) return hr;
  return persist.As(&object);
}

void Binding::Finish(TransferResult result) {
  if (ended_) return;
  {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->closed = true;
    shared_->queue.clear();
    shared_->changed.notify_all();
    if (shared_->receiver) shared_->receiver->deleteLater();
    shared_->receiver = nullptr;
  }
  if (SUCCEEDED(result.hr) && !shared_->aborted) {
    // Whatever arrived and is not yet delivered comes with the last notification.
    QByteArray rest;
    {
      std::lock_guard<std::mutex> guard(shared_->lock);
      rest = std::exchange(shared_->pendingData, QByteArray());
    }
    stream_->Append(std::move(rest));
    stream_->Finish();
    if (toObject_) {
      ReportProgress(BINDSTATUS_ENDDOWNLOADDATA, url_, stream_->Size(), stream_->Size());
      result.hr = makeObject(object_);
      if (SUCCEEDED(result.hr) && callback_) callback_->OnObjectAvailable(riid_, object_.Get());
    } else {
      DWORD flags = BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE;
      if (!dataStarted_) {
        ReportProgress(BINDSTATUS_BEGINDOWNLOADDATA, url_, 0, stream_->Size());
        flags |= BSCF_FIRSTDATANOTIFICATION;
      }
      deliverNotification(flags);
    }
  } else {
    stream_->Finish();
    if (shared_->aborted) result.hr = E_ABORT;
  }
  ended_ = true;
  result_ = result.hr;
  resultText_ = SUCCEEDED(result.hr) ? String() : result.error;
  if (FAILED(result.hr))
    qCDebug(lcUrlMon) << "binding to" << url_ << "ends with" << Qt::hex << quint32(result.hr) << resultText_;
  ComPtr<IBindStatusCallback> callback = std::move(callback_);
  if (callback)
    callback->OnStopBinding(result_,
                            resultText_.isEmpty() ? nullptr : reinterpret_cast<LPCWSTR>(resultText_.utf16()));
  keepAlive_.Reset();  // may end the binding's life
}

HRESULT Binding::QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD*, DWORD*) {
  if (!pcbBuf) return E_INVALIDARG;
  std::lock_guard<std::mutex> guard(headLock_);
  if (head_.IsEmpty()) return HRESULT_FROM_WIN32(ERROR_HTTP_HEADER_NOT_FOUND);
  const DWORD numeric = HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_FLAG_NUMBER64;
  if (dwOption & numeric)
    return QueryHttpInfo(head_, dwOption, pBuffer, pcbBuf, nullptr) ? S_OK
                                                                    : HRESULT_FROM_WIN32(GetLastError());
  // Text answers are 8-bit here: ask for the wide text, then narrow it.
  std::u16string wide(4096, u'\0');
  if ((dwOption & 0xFFFF) == HTTP_QUERY_CUSTOM) {
    if (!pBuffer) return E_INVALIDARG;
    const std::u16string name = String::fromLatin1(static_cast<const char*>(pBuffer)).toStdU16String();
    std::copy(name.begin(), name.end(), wide.begin());
  }
  DWORD wideBytes = DWORD(wide.size() * sizeof(char16_t));
  if (!QueryHttpInfo(head_, dwOption, wide.data(), &wideBytes, nullptr))
    return HRESULT_FROM_WIN32(GetLastError());
  const QByteArray text = String::fromUtf16(wide.data(), qsizetype(wideBytes / sizeof(char16_t))).toLatin1();
  if (!pBuffer || *pcbBuf < DWORD(text.size()) + 1) {
    *pcbBuf = DWORD(text.size()) + 1;
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(pBuffer, text.constData(), size_t(text.size()) + 1);
  *pcbBuf = DWORD(text.size());
  return S_OK;
}

HRESULT StartBinding(const String& url, IBindCtx* bindCtx, bool toObject, REFIID riid, void** ppv) {
  if (ppv) *ppv = nullptr;
  if (!toObject && riid != IID_IStream && riid != IID_ISequentialStream && riid != IID_IUnknown)
    return E_NOINTERFACE;
  ComPtr<Binding> binding = MakeCom<Binding>(url, toObject, riid);
  return binding->Start(bindCtx, ppv);
}

void AbortAllBindings() {
  std::vector<std::shared_ptr<BindShared>> live;
  {
    std::lock_guard<std::mutex> guard(registryLock());
    for (const auto& weak : registry())
      if (auto shared = weak.lock()) live.push_back(shared);
    registry().clear();
  }
  for (const auto& shared : live) {
    std::lock_guard<std::mutex> guard(shared->lock);
    shared->aborted = true;
    shared->closed = true;
    shared->queue.clear();
    shared->changed.notify_all();
  }
}

// ---------------------------------------------------------------- BindStream

void BindStream::Append(QByteArray bytes) {
  std::lock_guard<std::mutex> guard(lock_);
  const qint64 end = base_ + bytes_.size();
  if (position_ >= end && bytes_.size() >= kKeptConsumed) {
    // All read: the new piece becomes the window, without a copy.
    base_ = end;
    bytes_ = std::move(bytes);
    return;
  }
  bytes_.append(bytes);
}

void BindStream::Finish() {
  std::lock_guard<std::mutex> guard(lock_);
  finished_ = true;
}

qint64 BindStream::Size() {
  std::lock_guard<std::mutex> guard(lock_);
  return base_ + bytes_.size();
}

void BindStream::dropConsumed() {
  // Dropping only when at least as much was read as is left to read keeps the
  // moves of the unread rest in proportion to the data read.
  const qint64 consumed = std::min<qint64>(position_ - base_, bytes_.size());
  if (consumed < kKeptConsumed || consumed < bytes_.size() - consumed) return;
  bytes_.remove(0, consumed);
  base_ += consumed;
}

HRESULT BindStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (!pv && cb) return STG_E_INVALIDPOINTER;
  std::lock_guard<std::mutex> guard(lock_);
  const qint64 available = std::max<qint64>(0, base_ + bytes_.size() - position_);
  const qint64 count = std::min<qint64>(available, cb);
  if (count > 0) std::memcpy(pv, bytes_.constData() + (position_ - base_), size_t(count));
  position_ += count;
  dropConsumed();
  if (pcbRead) *pcbRead = ULONG(count);
  if (count > 0 || cb == 0) return S_OK;
  return finished_ ? S_FALSE : E_PENDING;
}

HRESULT BindStream::Write(const void*, ULONG, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  return STG_E_ACCESSDENIED;
}

HRESULT BindStream::Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) {
  std::lock_guard<std::mutex> guard(lock_);
  qint64 base = 0;
  switch (dwOrigin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = position_; break;
    case STREAM_SEEK_END: base = base_ + bytes_.size(); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  const qint64 target = base + dlibMove;
  if (target < 0) return STG_E_SEEKERROR;
  if (target < base_) return STG_E_INVALIDFUNCTION;  // read and dropped
  position_ = target;
  if (plibNewPosition) *plibNewPosition = std::uint64_t(target);
  return S_OK;
}

HRESULT BindStream::SetSize(std::uint64_t) { return STG_E_ACCESSDENIED; }

HRESULT BindStream::CopyTo(IStream* pstm, std::uint64_t cb, std::uint64_t* pcbRead,
                           std::uint64_t* pcbWritten) {
  if (!pstm) return STG_E_INVALIDPOINTER;
  QByteArray part;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const qint64 available = std::max<qint64>(0, base_ + bytes_.size() - position_);
    const qint64 count = std::min<qint64>(available, qint64(std::min<std::uint64_t>(cb, INT64_MAX)));
    part = bytes_.mid(position_ - base_, count);
    position_ += count;
    dropConsumed();
  }
  ULONG written = 0;
  const HRESULT hr = pstm->Write(part.constData(), ULONG(part.size()), &written);
  if (pcbRead) *pcbRead = std::uint64_t(part.size());
  if (pcbWritten) *pcbWritten = written;
  return hr;
}

HRESULT BindStream::Commit(DWORD) { return S_OK; }
HRESULT BindStream::Revert() { return S_OK; }
HRESULT BindStream::LockRegion(std::uint64_t, std::uint64_t, DWORD) { return STG_E_INVALIDFUNCTION; }
HRESULT BindStream::UnlockRegion(std::uint64_t, std::uint64_t, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT BindStream::Stat(STATSTG* pstatstg, DWORD) {
  if (!pstatstg) return STG_E_INVALIDPOINTER;
  std::lock_guard<std::mutex> guard(lock_);
  *pstatstg = STATSTG{};
  pstatstg->type = STGTY_STREAM;
  pstatstg->cbSize = std::uint64_t(base_ + bytes_.size());
  return S_OK;
}

HRESULT BindStream::Clone(IStream** ppstm) {
  if (ppstm) *ppstm = nullptr;
  return E_NOTIMPL;
}

}  // namespace urlmon_detail
