#include "platform/wininet/WinInet.h"

#include "platform/com/Com.h"
#include "platform/wininet/Log_p.h"
#include "platform/wininet/UrlCache.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

constexpr DWORD kDefaultTimeoutMs = 30000;
// A response head larger than this is refused as an invalid response (below
// libcurl's own limit, which would end the transfer as a receive failure).
constexpr qsizetype kMaxHeadBytes = 256 * 1024;
// Read bytes are dropped from the front of the body buffer past this size.
constexpr qsizetype kCompactAfter = 256 * 1024;

enum class HandleKind { Internet, Connect, Request };

// Time-outs of 0 and 0xFFFFFFFF wait without limit.
bool limitsTime(DWORD timeoutMs) { return timeoutMs != 0 && timeoutMs != 0xFFFFFFFF; }

qint64 nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct HandleObject {
  explicit HandleObject(HandleKind k) : kind(k) {}
  virtual ~HandleObject() = default;

  const HandleKind kind;
  HINTERNET self = nullptr;
  HINTERNET parent = nullptr;
  std::vector<HINTERNET> children;
  // Settings, inherited by the handles made under this one. Guarded by the
  // table's lock.
  String agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  String proxy, proxyBypass;
  String proxyUser, proxyPassword;
  DWORD connectTimeout = kDefaultTimeoutMs;
  DWORD sendTimeout = kDefaultTimeoutMs;
  DWORD receiveTimeout = kDefaultTimeoutMs;
  DWORD flags = 0;
  DWORD_PTR context = 0;
  // Connections.
  String server, user, password;
  INTERNET_PORT port = 0;
  DWORD service = 0;
};

// One transfer: an easy handle driven by a multi handle of its own on the
// thread that calls into it.
struct RequestObject : HandleObject {
  RequestObject() : HandleObject(HandleKind::Request) {}
  ~RequestObject() override {
    if (multi && easy) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    if (headerList) curl_slist_free_all(headerList);
  }

  void abort() {
    aborted = true;
    if (multi) curl_multi_wakeup(multi);
  }

  String url;
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headerList = nullptr;
  std::mutex op;  // one operation at a time on this request
  std::atomic<bool> aborted{false};
  std::atomic<DWORD> readTimeout{kDefaultTimeoutMs};

  // Filled by libcurl's callbacks on the thread that drives the transfer.
  QByteArray headBlock;
  qsizetype headBytes = 0;
  bool headTooLarge = false;
  bool headersDone = false;
  QByteArray body;
  qsizetype bodyPos = 0;
  qint64 lastActivity = 0;
  bool connected = false;
  bool finished = false;
  CURLcode result = CURLE_OK;
  bool timedOut = false;

  HttpResponseHead head;
};

struct HandleTable {
  std::mutex lock;
  std::unordered_map<HINTERNET, std::shared_ptr<HandleObject>> map;
  std::uintptr_t next = 0x00CC0004;
  DWORD connectTimeout = kDefaultTimeoutMs;
  DWORD sendTimeout = kDefaultTimeoutMs;
  DWORD receiveTimeout = kDefaultTimeoutMs;
};

HandleTable& table() {
  static HandleTable t;
  return t;
}

BOOL fail(DWORD error, const char* caller = __builtin_FUNCTION()) {
  qCDebug(lcWinInet) << caller << "fails with error" << error;
  SetLastError(error, caller);
  return FALSE;
}

HINTERNET failHandle(DWORD error, const char* caller = __builtin_FUNCTION()) {
  qCDebug(lcWinInet) << caller << "fails with error" << error;
  SetLastError(error, caller);
  return nullptr;
}

String fromWide(LPCWSTR s) { return s ? String::fromUtf16(s) : String(); }

// A string option: up to `length` characters or the terminator (length 0:
// the terminator alone ends it).
String optionString(LPVOID buffer, DWORD length) {
  const auto* chars = static_cast<const char16_t*>(buffer);
  qsizetype n = 0;
  while ((length == 0 || DWORD(n) < length) && chars[n] != 0) ++n;
  return String::fromUtf16(chars, n);
}

std::shared_ptr<HandleObject> lookupLocked(HINTERNET h) {
  auto it = table().map.find(h);
  return it == table().map.end() ? nullptr : it->second;
}

std::shared_ptr<HandleObject> lookup(HINTERNET h) {
  std::lock_guard<std::mutex> guard(table().lock);
  return lookupLocked(h);
}

// Registers a new handle, under `parent` when given. False when the parent was
// closed meanwhile.
bool registerHandle(const std::shared_ptr<HandleObject>& object, HINTERNET parent) {
  std::lock_guard<std::mutex> guard(table().lock);
  std::shared_ptr<HandleObject> owner;
  if (parent) {
    owner = lookupLocked(parent);
    if (!owner) return false;
  }
  HandleTable& t = table();
  object->self = reinterpret_cast<HINTERNET>(t.next);
  t.next += 4;
  object->parent = parent;
  t.map.emplace(object->self, object);
  if (owner) owner->children.push_back(object->self);
  return true;
}

void collectLocked(HINTERNET h, std::vector<std::shared_ptr<HandleObject>>& out) {
  auto object = lookupLocked(h);
  if (!object) return;
  for (HINTERNET child : object->children) collectLocked(child, out);
  table().map.erase(h);
  out.push_back(object);
}

// Removes a handle and everything under it; false when it is not open.
bool closeHandle(HINTERNET h) {
  std::vector<std::shared_ptr<HandleObject>> closed;
  {
    std::lock_guard<std::mutex> guard(table().lock);
    auto object = lookupLocked(h);
    if (!object) return false;
    if (auto parent = lookupLocked(object->parent)) std::erase(parent->children, h);
    collectLocked(h, closed);
  }
  for (const auto& object : closed)
    if (object->kind == HandleKind::Request) static_cast<RequestObject*>(object.get())->abort();
  return true;  // objects still in use elsewhere go when their last user lets go
}

// ---------------------------------------------------------------- transfers

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<RequestObject*>(user);
  const size_t length = size * count;
  r->lastActivity = nowMs();
  r->headBytes += qsizetype(length);
  if (r->headBytes > kMaxHeadBytes) {
    r->headTooLarge = true;
    return 0;  // stops the transfer
  }
  const QByteArray line(data, qsizetype(length));
  if (line.startsWith("HTTP/")) {
    r->headBlock.clear();  // a new response (after an interim one)
    r->headersDone = false;
  }
  r->headBlock += line;
  if (line == "\r\n" || line == "\n") {
    // The blank line ends a head; interim (1xx) answers are followed by the real one.
    const HttpResponseHead head = HttpResponseHead::Parse(r->headBlock);
    if (head.statusCode >= 200 || head.statusCode == 0) r->headersDone = true;
  }
  return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<RequestObject*>(user);
  const size_t length = size * count;
  r->lastActivity = nowMs();
  r->body.append(data, qsizetype(length));
  return length;
}

// Drives the transfer until `enough` answers true or the transfer ended.
template <class Enough>
void pump(RequestObject& r, Enough enough) {
  while (!r.finished && !enough()) {
    if (r.aborted) {
      r.finished = true;
      r.result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    int running = 0;
    if (curl_multi_perform(r.multi, &running) != CURLM_OK) {
      r.finished = true;
      r.result = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(r.multi, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        r.finished = true;
        r.result = message->data.result;
      }
    }
    if (r.finished || enough()) break;
    // The receive time-out counts from the connection (libcurl bounds the
    // connection itself) and from every piece of data after it.
    const qint64 now = nowMs();
    if (!r.connected) {
      curl_off_t connectTime = 0;
      if (curl_easy_getinfo(r.easy, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK && connectTime > 0) {
        r.connected = true;
        r.lastActivity = now;
      }
    }
    const DWORD limit = r.readTimeout.load();
    if (r.connected && limitsTime(limit) && now - r.lastActivity > qint64(limit)) {
      r.finished = true;
      r.timedOut = true;
      r.result = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    curl_multi_poll(r.multi, nullptr, 0, 100, nullptr);
  }
}

DWORD errorOfTransfer(const RequestObject& r) {
  if (r.aborted) return ERROR_INTERNET_OPERATION_CANCELLED;
  if (r.headTooLarge) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
  if (r.timedOut) return ERROR_INTERNET_TIMEOUT;
  switch (r.result) {
    case CURLE_OK: return ERROR_HTTP_INVALID_SERVER_RESPONSE;  // ended without a head
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_WRITE_ERROR: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_LOGIN_DENIED: return ERROR_INTERNET_LOGIN_FAILURE;
    case CURLE_PEER_FAILED_VERIFICATION: return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CONNECT_ERROR: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

// The session's settings that a request made under it uses.
struct RequestSettings {
  String agent, curlProxy, proxyUser, proxyPassword;
  DWORD connectTimeout = kDefaultTimeoutMs;
  DWORD receiveTimeout = kDefaultTimeoutMs;
};

bool setUpTransfer(RequestObject& r, const QByteArray& encodedUrl, const RequestSettings& s,
                   const String& extraHeaders) {
  r.easy = curl_easy_init();
  r.multi = curl_multi_init();
  if (!r.easy || !r.multi) return false;
  CURL* e = r.easy;
  curl_easy_setopt(e, CURLOPT_URL, encodedUrl.constData());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (limitsTime(s.connectTimeout)) curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(s.connectTimeout));
  if (!s.agent.isEmpty()) curl_easy_setopt(e, CURLOPT_USERAGENT, s.agent.toUtf8().constData());
  for (const String& line :
       extraHeaders.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
    if (!line.contains(QLatin1Char(':'))) continue;
    curl_slist* grown = curl_slist_append(r.headerList, line.toUtf8().constData());
    if (!grown) return false;
    r.headerList = grown;
  }
  if (r.headerList) curl_easy_setopt(e, CURLOPT_HTTPHEADER, r.headerList);
  SetCurlProxy(e, s.curlProxy, s.proxyUser, s.proxyPassword);
  r.readTimeout = s.receiveTimeout;
  return curl_multi_add_handle(r.multi, e) == CURLM_OK;
}

// ---------------------------------------------------------------- options

BOOL answerDword(DWORD value, LPVOID buffer, DWORD* bufferLength) {
  if (buffer == nullptr || *bufferLength < sizeof(DWORD)) {
    *bufferLength = sizeof(DWORD);
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, &value, sizeof value);
  *bufferLength = sizeof(DWORD);
  return TRUE;
}

BOOL answerOptionString(const String& text, LPVOID buffer, DWORD* bufferLength) {
  const DWORD needed = DWORD((text.size() + 1) * sizeof(char16_t));
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = needed;
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto* out = static_cast<char16_t*>(buffer);
  std::memcpy(out, text.utf16(), text.size() * sizeof(char16_t));
  out[text.size()] = 0;
  *bufferLength = DWORD(text.size());
  return TRUE;
}

bool validOptionList(const INTERNET_PER_CONN_OPTION_LISTW* list, DWORD bufferLength) {
  if (list == nullptr) return false;
  const auto sizeOk = [](DWORD size) {
    return size == sizeof(INTERNET_PER_CONN_OPTION_LISTW) || size == INTERNET_PER_CONN_OPTION_LIST_SIZE32;
  };
  if (!sizeOk(list->dwSize) || bufferLength < INTERNET_PER_CONN_OPTION_LIST_SIZE32) return false;
  return list->dwOptionCount == 0 || list->pOptions != nullptr;
}

BOOL setPerConnectionOptions(LPVOID buffer, DWORD bufferLength) {
  auto* list = static_cast<INTERNET_PER_CONN_OPTION_LISTW*>(buffer);
  if (!validOptionList(list, bufferLength)) return fail(ERROR_INVALID_PARAMETER);
  InternetProxySettings settings = CurrentProxy();
  for (DWORD i = 0; i < list->dwOptionCount; ++i) {
    const INTERNET_PER_CONN_OPTIONW& option = list->pOptions[i];
    switch (option.dwOption) {
      case INTERNET_PER_CONN_FLAGS: settings.flags = option.Value.dwValue; break;
      case INTERNET_PER_CONN_PROXY_SERVER: settings.proxyServer = fromWide(option.Value.pszValue); break;
      case INTERNET_PER_CONN_PROXY_BYPASS: settings.proxyBypass = fromWide(option.Value.pszValue); break;
      case INTERNET_PER_CONN_AUTOCONFIG_URL: settings.autoConfigUrl = fromWide(option.Value.pszValue); break;
      case INTERNET_PER_CONN_AUTODISCOVERY_FLAGS: settings.autoDiscoveryFlags = option.Value.dwValue; break;
      default:
        list->dwOptionError = i;
        return fail(ERROR_INVALID_PARAMETER);  // nothing of the list is applied
    }
  }
  SetCurrentProxy(settings);
  return TRUE;
}

BOOL queryPerConnectionOptions(LPVOID buffer, DWORD* bufferLength) {
  auto* list = static_cast<INTERNET_PER_CONN_OPTION_LISTW*>(buffer);
  if (!validOptionList(list, *bufferLength)) return fail(ERROR_INVALID_PARAMETER);
  const InternetProxySettings settings = CurrentProxy();
  const auto dup = [](const String& s) -> LPWSTR {
    return s.isEmpty() ? nullptr : reinterpret_cast<LPWSTR>(CoTaskMemDupString(s));
  };
  for (DWORD i = 0; i < list->dwOptionCount; ++i) {
    INTERNET_PER_CONN_OPTIONW& option = list->pOptions[i];
    switch (option.dwOption) {
      case INTERNET_PER_CONN_FLAGS: option.Value.dwValue = settings.flags; break;
      case INTERNET_PER_CONN_PROXY_SERVER: option.Value.pszValue = dup(settings.proxyServer); break;
      case INTERNET_PER_CONN_PROXY_BYPASS: option.Value.pszValue = dup(settings.proxyBypass); break;
      case INTERNET_PER_CONN_AUTOCONFIG_URL: option.Value.pszValue = dup(settings.autoConfigUrl); break;
      case INTERNET_PER_CONN_AUTODISCOVERY_FLAGS: option.Value.dwValue = settings.autoDiscoveryFlags; break;
      default:
        // Strings handed out before the failing option are taken back.
        for (DWORD j = 0; j < i; ++j) {
          const DWORD kind = list->pOptions[j].dwOption;
          if (kind != INTERNET_PER_CONN_FLAGS && kind != INTERNET_PER_CONN_AUTODISCOVERY_FLAGS) {
            CoTaskMemFree(list->pOptions[j].Value.pszValue);
            list->pOptions[j].Value.pszValue = nullptr;
          }
        }
        list->dwOptionError = i;
        return fail(ERROR_INVALID_PARAMETER);
    }
  }
  return TRUE;
}

DWORD handleType(const HandleObject& object) {
  switch (object.kind) {
    case HandleKind::Internet: return INTERNET_HANDLE_TYPE_INTERNET;
    case HandleKind::Connect: return INTERNET_HANDLE_TYPE_CONNECT_HTTP;
    case HandleKind::Request: return INTERNET_HANDLE_TYPE_HTTP_REQUEST;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------- sessions

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags) {
  if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
      accessType != INTERNET_OPEN_TYPE_PROXY && accessType != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY)
    return failHandle(ERROR_INVALID_PARAMETER);
  if (accessType == INTERNET_OPEN_TYPE_PROXY && fromWide(proxy).trimmed().isEmpty())
    return failHandle(ERROR_INVALID_PARAMETER);
  auto session = std::make_shared<HandleObject>(HandleKind::Internet);
  session->agent = fromWide(agent);
  session->accessType = accessType;
  if (accessType == INTERNET_OPEN_TYPE_PROXY) {
    session->proxy = fromWide(proxy);
    session->proxyBypass = fromWide(proxyBypass);
  }
  session->flags = flags;
  {
    std::lock_guard<std::mutex> guard(table().lock);
    session->connectTimeout = table().connectTimeout;
    session->sendTimeout = table().sendTimeout;
    session->receiveTimeout = table().receiveTimeout;
  }
  registerHandle(session, nullptr);
  SetLastError(ERROR_SUCCESS);
  return session->self;
}

HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT serverPort, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
  auto session = lookup(internet);
  if (!session) return failHandle(ERROR_INVALID_HANDLE);
  if (session->kind != HandleKind::Internet) return failHandle(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  if (service != INTERNET_SERVICE_HTTP) return failHandle(ERROR_INVALID_PARAMETER);
  const String server = fromWide(serverName).trimmed();
  if (server.isEmpty()) return failHandle(ERROR_INVALID_PARAMETER);

  auto connection = std::make_shared<HandleObject>(HandleKind::Connect);
  {
    std::lock_guard<std::mutex> guard(table().lock);
    connection->agent = session->agent;
    connection->accessType = session->accessType;
    connection->proxy = session->proxy;
    connection->proxyBypass = session->proxyBypass;
    connection->proxyUser = session->proxyUser;
    connection->proxyPassword = session->proxyPassword;
    connection->connectTimeout = session->connectTimeout;
    connection->sendTimeout = session->sendTimeout;
    connection->receiveTimeout = session->receiveTimeout;
  }
  connection->server = server;
  connection->port = serverPort == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_HTTP_PORT : serverPort;
  connection->user = fromWide(userName);
  connection->password = fromWide(password);
  connection->service = service;
  connection->flags = flags;
  connection->context = context;
  if (!registerHandle(connection, internet)) return failHandle(ERROR_INVALID_HANDLE);
  SetLastError(ERROR_SUCCESS);
  return connection->self;
}

// ---------------------------------------------------------------- requests

HINTERNET InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR context) {
  auto session = lookup(internet);
  if (!session) return failHandle(ERROR_INVALID_HANDLE);
  if (session->kind != HandleKind::Internet) return failHandle(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  if (url == nullptr) return failHandle(ERROR_INVALID_PARAMETER);

  const String address = String::fromUtf16(url).trimmed();
  if (address.isEmpty()) return failHandle(ERROR_INTERNET_INVALID_URL);
  const QUrl parsed(address, QUrl::TolerantMode);
  const String scheme = parsed.scheme().toLower();
  if (scheme.isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    return failHandle(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  if (!parsed.isValid() || parsed.host().isEmpty()) return failHandle(ERROR_INTERNET_INVALID_URL);
  QUrl target = parsed;
  target.setFragment(QString());
  const QByteArray encoded = target.toEncoded(QUrl::FullyEncoded);

  String extraHeaders;
  if (headers != nullptr && headersLength != 0)
    extraHeaders = headersLength == DWORD(-1) ? String::fromUtf16(headers)
                                              : optionString(const_cast<LPWSTR>(headers), headersLength);

  RequestSettings settings;
  {
    std::lock_guard<std::mutex> guard(table().lock);
    settings.agent = session->agent;
    settings.proxyUser = session->proxyUser;
    settings.proxyPassword = session->proxyPassword;
    settings.connectTimeout = session->connectTimeout;
    settings.receiveTimeout = session->receiveTimeout;
    if (session->accessType == INTERNET_OPEN_TYPE_PROXY)
      settings.curlProxy = ProxyForUrl(address, session->proxy, session->proxyBypass);
    else if (session->accessType != INTERNET_OPEN_TYPE_DIRECT)
      settings.curlProxy = ProxyForUrl(address);
  }

  auto request = std::make_shared<RequestObject>();
  request->url = address;
  request->flags = flags;
  request->context = context;
  request->agent = settings.agent;
  request->connectTimeout = settings.connectTimeout;
  request->receiveTimeout = settings.receiveTimeout;
  if (!setUpTransfer(*request, encoded, settings, extraHeaders))
    return failHandle(ERROR_INTERNET_INTERNAL_ERROR);
  if (!registerHandle(request, internet)) return failHandle(ERROR_INVALID_HANDLE);

  std::lock_guard<std::mutex> op(request->op);
  pump(*request, [&] { return request->headersDone; });
  if (!request->headersDone) {
    const DWORD error = errorOfTransfer(*request);
    closeHandle(request->self);
    return failHandle(error);
  }
  request->head = HttpResponseHead::Parse(request->headBlock);
  SetLastError(ERROR_SUCCESS);
  return request->self;
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, DWORD* read) {
  if (read == nullptr) return fail(ERROR_INVALID_PARAMETER);
  *read = 0;
  auto object = lookup(file);
  if (!object) return fail(ERROR_INVALID_HANDLE);
  if (object->kind != HandleKind::Request) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  if (buffer == nullptr && toRead > 0) return fail(ERROR_INVALID_PARAMETER);
  auto& r = static_cast<RequestObject&>(*object);
  std::lock_guard<std::mutex> op(r.op);
  pump(r, [&] { return r.body.size() - r.bodyPos >= qsizetype(toRead); });
  const qsizetype available = r.body.size() - r.bodyPos;
  const qsizetype n = std::min<qsizetype>(available, toRead);
  if (n == 0 && toRead > 0 && r.finished && (r.result != CURLE_OK || r.aborted))
    return fail(errorOfTransfer(r));
  if (n > 0) std::memcpy(buffer, r.body.constData() + r.bodyPos, size_t(n));
  r.bodyPos += n;
  if (r.bodyPos > kCompactAfter) {
    r.body.remove(0, r.bodyPos);
    r.bodyPos = 0;
  }
  *read = DWORD(n);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index) {
  auto object = lookup(request);
  if (!object) return fail(ERROR_INVALID_HANDLE);
  if (object->kind != HandleKind::Request) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  auto& r = static_cast<RequestObject&>(*object);
  std::lock_guard<std::mutex> op(r.op);
  return QueryHttpInfo(r.head, infoLevel, buffer, bufferLength, index);
}

BOOL InternetCloseHandle(HINTERNET handle) {
  if (!closeHandle(handle)) return fail(ERROR_INVALID_HANDLE);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// ---------------------------------------------------------------- options

BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  std::shared_ptr<HandleObject> object;
  if (handle != nullptr) {
    object = lookup(handle);
    if (!object) return fail(ERROR_INVALID_HANDLE);
  }
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT: {
      if (buffer == nullptr || bufferLength < sizeof(DWORD)) return fail(ERROR_INTERNET_BAD_OPTION_LENGTH);
      DWORD value = 0;
      std::memcpy(&value, buffer, sizeof value);
      std::lock_guard<std::mutex> guard(table().lock);
      DWORD& target = option == INTERNET_OPTION_CONNECT_TIMEOUT
                          ? (object ? object->connectTimeout : table().connectTimeout)
                      : option == INTERNET_OPTION_SEND_TIMEOUT
                          ? (object ? object->sendTimeout : table().sendTimeout)
                          : (object ? object->receiveTimeout : table().receiveTimeout);
      target = value;
      if (object && object->kind == HandleKind::Request && option == INTERNET_OPTION_RECEIVE_TIMEOUT)
        static_cast<RequestObject*>(object.get())->readTimeout = value;
      return TRUE;
    }
    case INTERNET_OPTION_USER_AGENT:
    case INTERNET_OPTION_PROXY_USERNAME:
    case INTERNET_OPTION_PROXY_PASSWORD: {
      if (!object) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      if (buffer == nullptr) return fail(ERROR_INVALID_PARAMETER);
      const String value = optionString(buffer, bufferLength);
      std::lock_guard<std::mutex> guard(table().lock);
      (option == INTERNET_OPTION_USER_AGENT       ? object->agent
       : option == INTERNET_OPTION_PROXY_USERNAME ? object->proxyUser
                                                  : object->proxyPassword) = value;
      return TRUE;
    }
    case INTERNET_OPTION_PER_CONNECTION_OPTION: return setPerConnectionOptions(buffer, bufferLength);
    case INTERNET_OPTION_REFRESH:
    case INTERNET_OPTION_SETTINGS_CHANGED: NotifyInternetSettingsChanged(); return TRUE;
    case INTERNET_OPTION_HANDLE_TYPE:
    case INTERNET_OPTION_URL: return fail(ERROR_INTERNET_OPTION_NOT_SETTABLE);
    default: return fail(ERROR_INTERNET_INVALID_OPTION);
  }
}

BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD* bufferLength) {
  if (bufferLength == nullptr) return fail(ERROR_INVALID_PARAMETER);
  std::shared_ptr<HandleObject> object;
  if (handle != nullptr) {
    object = lookup(handle);
    if (!object) return fail(ERROR_INVALID_HANDLE);
  }
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT: {
      DWORD value = 0;
      {
        std::lock_guard<std::mutex> guard(table().lock);
        if (option == INTERNET_OPTION_CONNECT_TIMEOUT)
          value = object ? object->connectTimeout : table().connectTimeout;
        else if (option == INTERNET_OPTION_SEND_TIMEOUT)
          value = object ? object->sendTimeout : table().sendTimeout;
        else
          value = object ? object->receiveTimeout : table().receiveTimeout;
      }
      return answerDword(value, buffer, bufferLength);
    }
    case INTERNET_OPTION_USER_AGENT:
    case INTERNET_OPTION_PROXY_USERNAME:
    case INTERNET_OPTION_PROXY_PASSWORD:
    case INTERNET_OPTION_URL: {
      if (!object) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      String value;
      {
        std::lock_guard<std::mutex> guard(table().lock);
        if (option == INTERNET_OPTION_USER_AGENT)
          value = object->agent;
        else if (option == INTERNET_OPTION_PROXY_USERNAME)
          value = object->proxyUser;
        else if (option == INTERNET_OPTION_PROXY_PASSWORD)
          value = object->proxyPassword;
        else if (object->kind == HandleKind::Request)
          value = static_cast<RequestObject*>(object.get())->url;
        else
          return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      }
      return answerOptionString(value, buffer, bufferLength);
    }
    case INTERNET_OPTION_HANDLE_TYPE:
      if (!object) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
      return answerDword(handleType(*object), buffer, bufferLength);
    case INTERNET_OPTION_PER_CONNECTION_OPTION: return queryPerConnectionOptions(buffer, bufferLength);
    default: return fail(ERROR_INTERNET_INVALID_OPTION);
  }
}

// ---------------------------------------------------------------- connection state

BOOL InternetGetConnectedState(DWORD* flags, DWORD reserved) {
  bool up = false;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (ifaddrs* a = list; a != nullptr && !up; a = a->ifa_next) {
      if (a->ifa_addr == nullptr) continue;
      const int family = a->ifa_addr->sa_family;
      const unsigned int required = IFF_UP | IFF_RUNNING;
      up = (family == AF_INET || family == AF_INET6) && (a->ifa_flags & required) == required &&
           (a->ifa_flags & IFF_LOOPBACK) == 0;
    }
    freeifaddrs(list);
  }
  DWORD state = 0;
  if (up) {
    state = INTERNET_CONNECTION_LAN;
    if (CurrentProxy().UsesProxy()) state |= INTERNET_CONNECTION_PROXY;
  }
  if (flags) *flags = state;
  return up ? TRUE : FALSE;
}

// ---------------------------------------------------------------- start-up

void InitializeWinInet() {
  static std::once_flag curlReady;
  std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  InitializeUrlCache();
  RegisterStandInModule(QStringLiteral("wininet.dll"),
                        {
                            {"InternetOpenW", StandInProc(&InternetOpenW)},
                            {"InternetConnectW", StandInProc(&InternetConnectW)},
                            {"InternetOpenUrlW", StandInProc(&InternetOpenUrlW)},
                            {"InternetReadFile", StandInProc(&InternetReadFile)},
                            {"HttpQueryInfoW", StandInProc(&HttpQueryInfoW)},
                            {"InternetCloseHandle", StandInProc(&InternetCloseHandle)},
                            {"InternetSetOptionW", StandInProc(&InternetSetOptionW)},
                            {"InternetQueryOptionW", StandInProc(&InternetQueryOptionW)},
                            {"InternetCrackUrlW", StandInProc(&InternetCrackUrlW)},
                            {"InternetGetConnectedState", StandInProc(&InternetGetConnectedState)},
                            {"CreateUrlCacheEntryW", StandInProc(&CreateUrlCacheEntryW)},
                            {"CommitUrlCacheEntryW", StandInProc(&CommitUrlCacheEntryW)},
                            {"GetUrlCacheEntryInfoW", StandInProc(&GetUrlCacheEntryInfoW)},
                            {"GetUrlCacheEntryInfoExW", StandInProc(&GetUrlCacheEntryInfoExW)},
                            {"DeleteUrlCacheEntryW", StandInProc(&DeleteUrlCacheEntryW)},
                            {"FindFirstUrlCacheEntryW", StandInProc(&FindFirstUrlCacheEntryW)},
                            {"FindNextUrlCacheEntryW", StandInProc(&FindNextUrlCacheEntryW)},
                            {"FindFirstUrlCacheEntryExW", StandInProc(&FindFirstUrlCacheEntryExW)},
                            {"FindNextUrlCacheEntryExW", StandInProc(&FindNextUrlCacheEntryExW)},
                            {"FindFirstUrlCacheEntryExA", StandInProc(&FindFirstUrlCacheEntryExA)},
                            {"FindNextUrlCacheEntryExA", StandInProc(&FindNextUrlCacheEntryExA)},
                            {"FindCloseUrlCache", StandInProc(&FindCloseUrlCache)},
                            {"CreateUrlCacheGroup", StandInProc(&CreateUrlCacheGroup)},
                            {"DeleteUrlCacheGroup", StandInProc(&DeleteUrlCacheGroup)},
                            {"SetUrlCacheEntryGroupW", StandInProc(&SetUrlCacheEntryGroupW)},
                            {"FindFirstUrlCacheGroup", StandInProc(&FindFirstUrlCacheGroup)},
                            {"FindNextUrlCacheGroup", StandInProc(&FindNextUrlCacheGroup)},
                            {"GetUrlCacheGroupAttributeA", StandInProc(&GetUrlCacheGroupAttributeA)},
                            {"SetUrlCacheGroupAttributeA", StandInProc(&SetUrlCacheGroupAttributeA)},
                        });
}

void FinalizeWinInet() {
  std::vector<HINTERNET> open;
  {
    std::lock_guard<std::mutex> guard(table().lock);
    for (const auto& entry : table().map)
      if (entry.second->parent == nullptr) open.push_back(entry.first);
  }
  for (HINTERNET h : open) closeHandle(h);
  FinalizeUrlCache();
}
