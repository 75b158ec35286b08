// The transfers behind URL monikers: HTTP(S) over libcurl with redirects,
// authentication and the process-wide proxy; files of the file system; and
// "about:" addresses.
#include "platform/urlmon/UrlMonInternal_p.h"

#include "platform/wininet/HttpInfo.h"
#include "platform/wininet/ProxyState.h"
#include "platform/wininet/WinInet.h"

#include <curl/curl.h>

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <memory>

namespace urlmon_detail {

namespace {

constexpr int kMaxRedirects = 20;
constexpr qint64 kFileChunk = 64 * 1024;
// libcurl's receive buffer: larger pieces mean fewer hand-overs to the binding.
constexpr long kReceiveBuffer = 256 * 1024;

// The process-wide limits of WinInet (InternetSetOption without a handle),
// in milliseconds; 0 when there is none.
DWORD processTimeout(DWORD option) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!InternetQueryOptionW(nullptr, option, &value, &size) || value == 0xFFFFFFFF) return 0;
  return value;
}

qint64 steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool isRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

HRESULT resultOfStatus(int status) {
  if (status == 404 || status == 410) return INET_E_RESOURCE_NOT_FOUND;
  if (status == 401 || status == 407) return INET_E_AUTHENTICATION_REQUIRED;
  return INET_E_DOWNLOAD_FAILURE;
}

HRESULT resultOfCurl(CURLcode code) {
  switch (code) {
    case CURLE_OK: return S_OK;
    case CURLE_UNSUPPORTED_PROTOCOL: return INET_E_UNKNOWN_PROTOCOL;
    case CURLE_URL_MALFORMAT: return INET_E_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return INET_E_RESOURCE_NOT_FOUND;
    case CURLE_COULDNT_CONNECT: return INET_E_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return INET_E_CONNECTION_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR: return INET_E_SECURITY_PROBLEM;
    case CURLE_ABORTED_BY_CALLBACK: return E_ABORT;
    default: return INET_E_DOWNLOAD_FAILURE;
  }
}

// The check of the server's certificate that failed, as WinInet names it; 0
// when the failure was not the certificate's.
DWORD certificateProblem(CURL* easy, CURLcode code) {
  if (code != CURLE_PEER_FAILED_VERIFICATION) return 0;
  long verdict = 0;
  curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verdict);
  switch (verdict) {
    case 0:   // the chain holds, so the name is what failed
    case 62:  // X509_V_ERR_HOSTNAME_MISMATCH
      return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    case 9:   // X509_V_ERR_CERT_NOT_YET_VALID
    case 10:  // X509_V_ERR_CERT_HAS_EXPIRED
      return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    default: return ERROR_INTERNET_INVALID_CA;
  }
}

// One HTTP(S) transfer with the redirects and the authentication round it
// takes. libcurl follows nothing by itself, so every hop is reported.
class HttpTransfer {
 public:
  HttpTransfer(const TransferRequest& request, TransferSink& sink)
      : request_(request), sink_(sink), url_(request.url), verb_(request.verb), body_(request.body) {}

  TransferResult Run() {
    CURL* easy = curl_easy_init();
    if (!easy) return {INET_E_NO_SESSION, QStringLiteral("No transfer could be started."), {}};
    const std::unique_ptr<CURL, void (*)(CURL*)> guard(easy, &curl_easy_cleanup);

    for (int hops = 0;; ++hops) {
      phase_ = Phase::Head;
      head_.clear();
      status_ = 0;
      sink_.Progress(BINDSTATUS_FINDINGRESOURCE, HostOf(url_));
      if (sink_.Aborted()) return {E_ABORT, {}, {}};

      curl_slist* headers = nullptr;
      setUp(easy, headers);
      char errorText[CURL_ERROR_SIZE] = {};
      curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
      const CURLcode code = curl_easy_perform(easy);
      curl_slist_free_all(headers);

      if (sink_.Aborted() || phase_ == Phase::Refused) return {E_ABORT, {}, headText()};
      if (const DWORD problem = certificateProblem(easy, code)) {
        if (!acceptProblem(problem)) {
          if (sink_.Aborted()) return {E_ABORT, {}, {}};
          return {INET_E_SECURITY_PROBLEM, String::fromUtf8(errorText), {}};
        }
        continue;
      }
      switch (phase_) {
        case Phase::Redirect: {
          const QUrl next = QUrl(url_).resolved(QUrl::fromEncoded(location_));
          const String scheme = next.scheme().toLower();
          if (hops + 1 > kMaxRedirects || (scheme != u"http" && scheme != u"https"))
            return {INET_E_REDIRECT_FAILED, QStringLiteral("The redirection could not be followed."), {}};
          const String nextUrl = next.toString(QUrl::FullyEncoded);
          if (HostOf(nextUrl) != HostOf(url_)) {
            // Credentials given for one server are not sent to another.
            user_.clear();
            password_.clear();
            authAsked_ = false;
          }
          if (status_ == 303 || ((status_ == 301 || status_ == 302) && verb_ == BINDVERB_POST)) {
            verb_ = BINDVERB_GET;
            body_.clear();
          }
          url_ = nextUrl;
          sink_.Progress(BINDSTATUS_REDIRECTING, url_);
          continue;
        }
        case Phase::Retry: continue;
        case Phase::PendingAuth:
          // The server refused the credentials: that answer is the result.
          if (!sink_.Response(status_, headText(), requestHeaders_)) return {E_ABORT, {}, headText()};
          return {INET_E_AUTHENTICATION_REQUIRED, statusText(), headText()};
        case Phase::Failed: return {resultOfStatus(status_), statusText(), headText()};
        case Phase::Body:
          if (code == CURLE_OK) return {S_OK, {}, headText()};
          break;
        default: break;
      }
      if (code == CURLE_OK)
        return {INET_E_DOWNLOAD_FAILURE, QStringLiteral("The server sent no response."), {}};
      if (stalled_)
        return {INET_E_CONNECTION_TIMEOUT, QStringLiteral("The server did not answer in time."), headText()};
      const String text =
          errorText[0] ? String::fromUtf8(errorText) : String::fromUtf8(curl_easy_strerror(code));
      return {resultOfCurl(code), text, headText()};
    }
  }

 private:
  enum class Phase { Head, Redirect, Retry, PendingAuth, Failed, Refused, Body };

  // A certificate problem is put to the client; when it lets the transfer go
  // on, the host is asked again without the check (other hosts a redirect
  // leads to are still checked).
  bool acceptProblem(DWORD problem) {
    const String host = HostOf(url_);
    if (host == uncheckedHost_ || !sink_.SecurityProblem(problem)) return false;
    uncheckedHost_ = host;
    return true;
  }

  bool checksCertificate() const {
    return !request_.ignoreSecurityProblems && (uncheckedHost_.isEmpty() || HostOf(url_) != uncheckedHost_);
  }

  void setUp(CURL* easy, curl_slist*& headers) {
    curl_easy_reset(easy);
    const QByteArray encoded = QUrl(url_, QUrl::TolerantMode).toEncoded();
    curl_easy_setopt(easy, CURLOPT_URL, encoded.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Bounded in time even without a callback that could abort: a server that
    // accepts and then stays silent ends the transfer with a time-out.
    if (const DWORD connect = processTimeout(INTERNET_OPTION_CONNECT_TIMEOUT))
      curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(connect));
    stallLimitMs_ = processTimeout(INTERNET_OPTION_RECEIVE_TIMEOUT);
    lastActivityMs_ = steadyMs();
    lastCounted_ = -1;
    stalled_ = false;
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpTransfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &HttpTransfer::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &HttpTransfer::onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!checksCertificate()) {
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    ApplyProxyToCurl(easy, url_);

    const QByteArray agent = UrlMonUserAgent().toUtf8();
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.constData());
    requestHeaders_ = QStringLiteral("User-Agent: ") + UrlMonUserAgent() + QStringLiteral("\r\n");
    for (const QByteArray& line : request_.headers) {
      headers = curl_slist_append(headers, line.constData());
      requestHeaders_ += String::fromLatin1(line) + QStringLiteral("\r\n");
    }
    if (headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    if (verb_ == BINDVERB_POST || verb_ == BINDVERB_PUT || (verb_ == BINDVERB_CUSTOM && !body_.isEmpty())) {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body_.size()));
      curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body_.constData());
    }
    if (verb_ == BINDVERB_PUT) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "PUT");
    if (verb_ == BINDVERB_CUSTOM && !request_.customVerb.isEmpty())
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request_.customVerb.toUtf8().constData());

    if (!user_.isEmpty()) {
      curl_easy_setopt(easy, CURLOPT_USERNAME, user_.toUtf8().constData());
      curl_easy_setopt(easy, CURLOPT_PASSWORD, password_.toUtf8().constData());
      unsigned long methods = CURLAUTH_ANY;
      if (request_.disableBasicAuth) methods &= ~CURLAUTH_BASIC;
      curl_easy_setopt(easy, CURLOPT_HTTPAUTH, methods);
    }
  }

  String headText() const {
    return head_.isEmpty() ? String() : String::fromLatin1(head_) + QStringLiteral("\r\n");
  }

  String statusText() const {
    const HttpResponseHead parsed = HttpResponseHead::Parse(head_);
    return QStringLiteral("HTTP %1 %2").arg(status_).arg(String::fromLatin1(parsed.statusText));
  }

  // The head of one response is complete: what becomes of it. False stops
  // the transfer.
  bool headComplete() {
    const HttpResponseHead parsed = HttpResponseHead::Parse(head_);
    if (isRedirect(status_) && request_.followRedirects && parsed.Field("Location", 0, location_) &&
        !location_.isEmpty()) {
      phase_ = Phase::Redirect;
      return true;
    }
    if (status_ == 401) {
      if (!user_.isEmpty()) {
        // libcurl may still answer the challenge within this transfer; the
        // answer counts only when it is the last one.
        phase_ = Phase::PendingAuth;
        return true;
      }
      if (!authAsked_) {
        authAsked_ = true;
        if (sink_.Credentials(user_, password_) && !user_.isEmpty()) {
          phase_ = Phase::Retry;
          return true;
        }
        user_.clear();
      }
    }
    if (!sink_.Response(status_, headText(), requestHeaders_)) {
      phase_ = Phase::Refused;
      return false;
    }
    if (status_ >= 400) {
      phase_ = Phase::Failed;
      return false;
    }
    QByteArray type, length;
    parsed.Field("Content-Type", 0, type);
    String mime = String::fromLatin1(type.left(type.indexOf(';') < 0 ? type.size() : type.indexOf(';')))
                      .trimmed()
                      .toLower();
    if (mime.isEmpty()) mime = QStringLiteral("application/octet-stream");
    bool known = parsed.Field("Content-Length", 0, length);
    const qint64 size = known ? length.trimmed().toLongLong(&known) : -1;
    phase_ = Phase::Body;
    sink_.BeginBody(mime, known ? size : -1, url_, String());
    return true;
  }

  static size_t onHeader(char* buffer, size_t size, size_t count, void* data) {
    auto* self = static_cast<HttpTransfer*>(data);
    const size_t total = size * count;
    const QByteArray line(buffer, qsizetype(total));
    if (line.startsWith("HTTP/")) {
      self->head_ = line.trimmed() + "\r\n";
      const QList<QByteArray> parts = line.split(' ');
      self->status_ = parts.size() > 1 ? parts[1].toInt() : 0;
      self->phase_ = Phase::Head;
      return total;
    }
    if (line.trimmed().isEmpty()) {
      if (self->status_ / 100 == 1) {  // an interim answer: the real one follows
        self->head_.clear();
        self->status_ = 0;
        return total;
      }
      const bool goOn = self->headComplete();
      self->lastActivityMs_ = steadyMs();  // the client's answer may take its time
      return goOn ? total : 0;
    }
    self->head_ += line.trimmed() + "\r\n";
    return total;
  }

  static size_t onBody(char* buffer, size_t size, size_t count, void* data) {
    auto* self = static_cast<HttpTransfer*>(data);
    const size_t total = size * count;
    if (self->sink_.Aborted()) return 0;
    if (self->phase_ == Phase::Body) self->sink_.Data(buffer, qsizetype(total));
    // Time the binding spent taking the data is no silence of the server.
    self->lastActivityMs_ = steadyMs();
    return total;
  }

  static int onProgress(void* data, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto* self = static_cast<HttpTransfer*>(data);
    if (self->sink_.Aborted()) return 1;
    const qint64 now = steadyMs();
    if (received + sent != self->lastCounted_) {
      self->lastCounted_ = received + sent;
      self->lastActivityMs_ = now;
    } else if (self->stallLimitMs_ && now - self->lastActivityMs_ > qint64(self->stallLimitMs_)) {
      self->stalled_ = true;
      return 1;
    }
    return 0;
  }

  static int onConnected(void* data, char* primaryIp, char*, int, int) {
    auto* self = static_cast<HttpTransfer*>(data);
    self->sink_.Progress(BINDSTATUS_CONNECTING, String::fromLatin1(primaryIp));
    self->sink_.Progress(BINDSTATUS_SENDINGREQUEST, String());
    return self->sink_.Aborted() ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
  }

  const TransferRequest& request_;
  TransferSink& sink_;
  String url_;
  DWORD verb_;
  QByteArray body_;
  String user_, password_;
  bool authAsked_ = false;
  String uncheckedHost_;  // the host whose certificate the client accepted
  String requestHeaders_;
  Phase phase_ = Phase::Head;
  QByteArray head_;
  QByteArray location_;
  int status_ = 0;
  // Silence: no byte in either direction for stallLimitMs_ ends the transfer.
  DWORD stallLimitMs_ = 0;
  qint64 lastActivityMs_ = 0;
  curl_off_t lastCounted_ = -1;
  bool stalled_ = false;
};

TransferResult runFile(const String& url, TransferSink& sink) {
  const QUrl address(url);
  const String path = address.isLocalFile() ? address.toLocalFile() : String();
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isFile())
    return {INET_E_RESOURCE_NOT_FOUND, QStringLiteral("The file was not found."), {}};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {E_ACCESSDENIED, QStringLiteral("The file could not be opened."), {}};
  sink.Progress(BINDSTATUS_SENDINGREQUEST, path);
  const String mime = QMimeDatabase().mimeTypeForFile(info).name();
  sink.BeginBody(mime, file.size(), url, path);
  for (;;) {
    if (sink.Aborted()) return {E_ABORT, {}, {}};
    const QByteArray chunk = file.read(kFileChunk);
    if (chunk.isEmpty()) break;
    sink.Data(chunk.constData(), chunk.size());
  }
  if (file.error() != QFileDevice::NoError) return {INET_E_DOWNLOAD_FAILURE, file.errorString(), {}};
  return {};
}

TransferResult runAbout(const String& url, TransferSink& sink) {
  // "about:blank" is an empty page; any other "about:" address carries its
  // page after the colon.
  String text = url.mid(url.indexOf(u':') + 1);
  if (text.compare(u"blank", Qt::CaseInsensitive) == 0) text.clear();
  const QByteArray bytes = text.toUtf8();
  sink.BeginBody(QStringLiteral("text/html"), bytes.size(), url, String());
  if (!bytes.isEmpty()) sink.Data(bytes.constData(), bytes.size());
  return {};
}

std::mutex& workerLock() {
  static std::mutex lock;
  return lock;
}
std::condition_variable& workerChanged() {
  static std::condition_variable changed;
  return changed;
}
int runningWorkers = 0;

}  // namespace

TransferResult RunTransfer(const TransferRequest& request, TransferSink& sink) {
  const String scheme = SchemeOf(request.url);
  if (scheme == u"http" || scheme == u"https") return HttpTransfer(request, sink).Run();
  if (scheme == u"file") return runFile(request.url, sink);
  if (scheme == u"about") return runAbout(request.url, sink);
  return {INET_E_UNKNOWN_PROTOCOL, QStringLiteral("The protocol is not known."), {}};
}

void WorkerStarted() {
  std::lock_guard<std::mutex> guard(workerLock());
  ++runningWorkers;
}

void WorkerEnded() {
  std::lock_guard<std::mutex> guard(workerLock());
  --runningWorkers;
  workerChanged().notify_all();
}

bool WaitForWorkers(int timeoutMs) {
  std::unique_lock<std::mutex> guard(workerLock());
  return workerChanged().wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [] { return runningWorkers == 0; });
}

}  // namespace urlmon_detail
