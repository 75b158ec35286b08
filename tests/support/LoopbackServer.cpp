#include "tests/support/LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <regex>
#include <thread>

namespace testsupport {

namespace {

template <class T, void (*Free)(T*)>
struct Owned {
  T* p = nullptr;
  explicit Owned(T* value) : p(value) {}
  ~Owned() {
    if (p) Free(p);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

using Key = Owned<EVP_PKEY, EVP_PKEY_free>;
using Certificate = Owned<X509, X509_free>;
using Bio = Owned<BIO, BIO_free_all>;

QByteArray bioBytes(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return QByteArray(data, int(size));
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// "IP:..." for addresses, "DNS:..." for names.
std::string altNames(const QStringList& hosts) {
  QStringList names;
  for (const QString& host : hosts) {
    const bool address = !host.isEmpty() && (host.front().isDigit() || host.contains(u':'));
    names << (address ? QStringLiteral("IP:") : QStringLiteral("DNS:")) + host;
  }
  return names.join(u',').toStdString();
}

}  // namespace

std::string HttpRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (QString::fromStdString(key).compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0)
      return value;
  return {};
}

TestCertificate MakeTestCertificate(const QString& folder, const QStringList& hosts, const QString& stem) {
  if (hosts.isEmpty() || !QDir().mkpath(folder)) return {};
  Key key(EVP_EC_gen("P-256"));
  Certificate cert(X509_new());
  if (!key.p || !cert.p) return {};

  // A random serial number: the engine remembers decisions per certificate.
  unsigned char serial[8];
  if (RAND_bytes(serial, sizeof serial) != 1) return {};
  serial[0] &= 0x7f;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  const bool serialSet = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.p));
  BN_free(number);

  const std::string subject = hosts.front().toStdString();
  X509_NAME* name = X509_get_subject_name(cert.p);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, cert.p, cert.p, nullptr, nullptr, 0);
  const std::string alt = altNames(hosts);
  bool extended = true;
  for (const auto& [nid, value] : {std::pair<int, std::string>{NID_subject_alt_name, alt},
                                   {NID_basic_constraints, "critical,CA:FALSE"},
                                   {NID_ext_key_usage, "serverAuth"}}) {
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    extended = extended && extension && X509_add_ext(cert.p, extension, -1);
    X509_EXTENSION_free(extension);
  }
  const bool made =
      serialSet && extended && X509_set_version(cert.p, 2) &&
      X509_gmtime_adj(X509_getm_notBefore(cert.p), -3600) &&
      X509_gmtime_adj(X509_getm_notAfter(cert.p), 86400) && X509_set_pubkey(cert.p, key.p) &&
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>(subject.c_str()), -1, -1, 0) &&
      X509_set_issuer_name(cert.p, name) && X509_sign(cert.p, key.p, EVP_sha256()) > 0;
  if (!made) return {};

  Bio certPem(BIO_new(BIO_s_mem()));
  Bio keyPem(BIO_new(BIO_s_mem()));
  if (!PEM_write_bio_X509(certPem.p, cert.p) ||
      !PEM_write_bio_PrivateKey(keyPem.p, key.p, nullptr, nullptr, 0, nullptr, nullptr))
    return {};
  TestCertificate result;
  result.certificateFile = folder + u'/' + stem + QStringLiteral(".pem");
  result.keyFile = folder + u'/' + stem + QStringLiteral(".key");
  if (!writeBytes(result.certificateFile, bioBytes(certPem.p)) ||
      !writeBytes(result.keyFile, bioBytes(keyPem.p)))
    return {};
  result.pem = bioBytes(certPem.p);
  return result;
}

struct LoopbackServer::Impl {
  struct Route {
    std::string method;
    std::string pattern;
    std::regex regex;
    HttpRoute route;
  };

  Scheme scheme = Http;
  QTemporaryDir folder;  // the certificate of an HTTPS server
  TestCertificate certificate;
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  int port = 0;

  mutable std::mutex mutex;
  mutable std::condition_variable releasedChanged;
  bool released = false;
  std::vector<Route> routes;
  HttpRoute proxyRoute;
  std::vector<HttpRequest> seen;

  void configure() {
    // Every request is remembered before any route answers it, so that a
    // client that has its answer finds it counted.
    server->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
      HttpRequest request = convert(req);
      std::lock_guard lock(mutex);
      seen.push_back(std::move(request));
      return httplib::Server::HandlerResponse::Unhandled;
    });
    for (const char* method : {"GET", "POST"}) {
      auto dispatch = [this, method = std::string(method)](
                          const httplib::Request& req, httplib::Response& res) { answer(method, req, res); };
      if (method == std::string("GET"))
        server->Get(".*", dispatch);
      else
        server->Post(".*", dispatch);
    }
    // No idle connection keeps stop() waiting.
    server->set_keep_alive_max_count(1);
  }

  static HttpRequest convert(const httplib::Request& req) {
    HttpRequest request;
    request.method = req.method;
    request.path = req.path;
    request.target = req.target;
    request.version = req.version;
    request.body = req.body;
    request.params.insert(req.params.begin(), req.params.end());
    request.headers.insert(req.headers.begin(), req.headers.end());
    return request;
  }

  void answer(const std::string& method, const httplib::Request& req, httplib::Response& res) {
    HttpRequest request = convert(req);
    HttpRoute route;
    {
      std::lock_guard lock(mutex);
      if (proxyRoute && (req.target.rfind("http://", 0) == 0 || req.target.rfind("https://", 0) == 0)) {
        route = proxyRoute;
      } else {
        for (const Route& r : routes) {
          std::smatch match;
          if (r.method != method || !std::regex_match(request.path, match, r.regex)) continue;
          for (const auto& group : match) request.matches.push_back(group.str());
          route = r.route;
          break;
        }
      }
    }
    if (!route) {
      res.status = 404;
      return;
    }
    HttpResponse response;
    route(request, response);
    res.status = response.status;
    for (const auto& [name, value] : response.headers) res.set_header(name, value);
    if (response.stream && response.announcedLength) {
      // Called again while the length is not reached: the stream has ended short.
      res.set_content_provider(response.announcedLength, response.contentType,
                               [stream = std::move(response.stream), called = false](
                                   size_t, size_t, httplib::DataSink& sink) mutable {
                                 if (std::exchange(called, true)) return false;
                                 return stream([&sink](const std::string& chunk) {
                                   return sink.write(chunk.data(), chunk.size());
                                 });
                               });
    } else if (response.stream && response.closeDelimited) {
      res.set_content_provider(
          response.contentType, [stream = std::move(response.stream)](size_t, httplib::DataSink& sink) {
            if (!stream([&sink](const std::string& chunk) { return sink.write(chunk.data(), chunk.size()); }))
              return false;
            sink.done();
            return true;
          });
    } else if (response.stream) {
      res.set_chunked_content_provider(
          response.contentType, [stream = std::move(response.stream)](size_t, httplib::DataSink& sink) {
            if (!stream([&sink](const std::string& chunk) { return sink.write(chunk.data(), chunk.size()); }))
              return false;
            sink.done();
            return true;
          });
    } else if (response.announcedLength > response.body.size()) {
      res.set_content_provider(response.announcedLength, response.contentType,
                               [body = std::move(response.body)](size_t, size_t, httplib::DataSink& sink) {
                                 sink.write(body.data(), body.size());
                                 return false;
                               });
    } else {
      res.set_content(response.body, response.contentType);
    }
  }

  void add(const std::string& method, const std::string& pattern, HttpRoute route) {
    std::lock_guard lock(mutex);
    for (Route& r : routes)
      if (r.method == method && r.pattern == pattern) {
        r.route = std::move(route);
        return;
      }
    routes.push_back({method, pattern, std::regex(pattern), std::move(route)});
  }
};

LoopbackServer::LoopbackServer(Scheme scheme) : d(std::make_unique<Impl>()) {
  d->scheme = scheme;
  if (scheme == Https) {
    d->certificate =
        MakeTestCertificate(d->folder.path(), {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")});
    d->server = std::make_unique<httplib::SSLServer>(d->certificate.certificateFile.toLocal8Bit().constData(),
                                                     d->certificate.keyFile.toLocal8Bit().constData());
  } else {
    d->server = std::make_unique<httplib::Server>();
  }
  d->configure();
}

LoopbackServer::LoopbackServer(const TestCertificate& certificate) : d(std::make_unique<Impl>()) {
  d->scheme = Https;
  d->certificate = certificate;
  d->server = std::make_unique<httplib::SSLServer>(certificate.certificateFile.toLocal8Bit().constData(),
                                                   certificate.keyFile.toLocal8Bit().constData());
  d->configure();
}

LoopbackServer::~LoopbackServer() { stop(); }

void LoopbackServer::get(const std::string& pattern, HttpRoute route) {
  d->add("GET", pattern, std::move(route));
}

void LoopbackServer::post(const std::string& pattern, HttpRoute route) {
  d->add("POST", pattern, std::move(route));
}

void LoopbackServer::page(const std::string& pattern, const std::string& html) {
  get(pattern, [html](const HttpRequest&, HttpResponse& res) { res.body = html; });
}

void LoopbackServer::slowPage(const std::string& pattern, const std::string& html, int maxMs) {
  get(pattern, [this, html, maxMs](const HttpRequest&, HttpResponse& res) {
    hold(maxMs);
    res.body = html;
  });
}

void LoopbackServer::loginPage(const std::string& pattern, const std::string& user,
                               const std::string& password, const std::string& html,
                               const std::string& refusedHtml) {
  const std::string expected =
      "Basic " + QByteArray::fromStdString(user + ':' + password).toBase64().toStdString();
  get(pattern, [expected, html, refusedHtml](const HttpRequest& req, HttpResponse& res) {
    if (req.header("Authorization") == expected) {
      res.body = html;
      return;
    }
    res.status = 401;
    res.headers.emplace_back("WWW-Authenticate", "Basic realm=\"test\"");
    res.body = refusedHtml;
  });
}

void LoopbackServer::proxy(HttpRoute route) {
  std::lock_guard lock(d->mutex);
  d->proxyRoute = std::move(route);
}

bool LoopbackServer::hold(int maxMs) const {
  std::unique_lock lock(d->mutex);
  return d->releasedChanged.wait_for(lock, std::chrono::milliseconds(maxMs), [this] { return d->released; });
}

void LoopbackServer::release() {
  {
    std::lock_guard lock(d->mutex);
    d->released = true;
  }
  d->releasedChanged.notify_all();
}

bool LoopbackServer::start() {
  if (d->thread.joinable()) return true;
  if (!d->server->is_valid()) return false;
  d->port = d->server->bind_to_any_port("127.0.0.1");
  if (d->port <= 0) return false;
  d->thread = std::thread([this] { d->server->listen_after_bind(); });
  for (int i = 0; i < 5000 && !d->server->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return d->server->is_running();
}

void LoopbackServer::stop() {
  release();  // a held answer does not keep the server from ending
  d->server->stop();
  if (d->thread.joinable()) d->thread.join();
}

LoopbackServer::Scheme LoopbackServer::scheme() const { return d->scheme; }
int LoopbackServer::port() const { return d->port; }

QString LoopbackServer::url(const QString& path) const {
  return QStringLiteral("%1://127.0.0.1:%2%3")
      .arg(d->scheme == Https ? QStringLiteral("https") : QStringLiteral("http"))
      .arg(d->port)
      .arg(path);
}

const TestCertificate& LoopbackServer::certificate() const { return d->certificate; }
int LoopbackServer::requestCount() const {
  std::lock_guard lock(d->mutex);
  return int(d->seen.size());
}

int LoopbackServer::requestCount(const std::string& path) const {
  std::lock_guard lock(d->mutex);
  return int(
      std::count_if(d->seen.begin(), d->seen.end(), [&](const HttpRequest& r) { return r.path == path; }));
}

std::vector<HttpRequest> LoopbackServer::requests() const {
  std::lock_guard lock(d->mutex);
  return d->seen;
}

HttpRequest LoopbackServer::lastRequest(const std::string& path) const {
  std::lock_guard lock(d->mutex);
  for (auto r = d->seen.rbegin(); r != d->seen.rend(); ++r)
    if (path.empty() || r->path == path) return *r;
  return {};
}

}  // namespace testsupport
