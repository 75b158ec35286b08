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

#include <atomic>
#include <chrono>
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
      X509_gmtime_adj(X509_getm_notBefore(cert.p), -3600) && X509_gmtime_adj(X509_getm_notAfter(cert.p), 86400) &&
      X509_set_pubkey(cert.p, key.p) &&
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
  if (!writeBytes(result.certificateFile, bioBytes(certPem.p)) || !writeBytes(result.keyFile, bioBytes(keyPem.p)))
    return {};
  result.pem = bioBytes(certPem.p);
  return result;
}

struct LoopbackServer::Impl {
  Scheme scheme = Http;
  QTemporaryDir folder;  // the certificate of an HTTPS server
  TestCertificate certificate;
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  int port = 0;
  std::atomic<int> requests{0};

  void configure() {
    server->set_logger([this](const httplib::Request&, const httplib::Response&) { ++requests; });
    // No idle connection keeps stop() waiting.
    server->set_keep_alive_max_count(1);
  }

  httplib::Server::Handler handler(HttpRoute route) {
    return [this, route = std::move(route)](const httplib::Request& req, httplib::Response& res) {
      HttpRequest request;
      request.method = req.method;
      request.path = req.path;
      request.body = req.body;
      request.params.insert(req.params.begin(), req.params.end());
      request.headers.insert(req.headers.begin(), req.headers.end());
      for (const auto& match : req.matches) request.matches.push_back(match.str());
      HttpResponse response;
      route(request, response);
      res.status = response.status;
      for (const auto& [name, value] : response.headers) res.set_header(name, value);
      res.set_content(response.body, response.contentType);
    };
  }
};

LoopbackServer::LoopbackServer(Scheme scheme) : d(std::make_unique<Impl>()) {
  d->scheme = scheme;
  if (scheme == Https) {
    d->certificate = MakeTestCertificate(d->folder.path(), {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")});
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
  d->server->Get(pattern, d->handler(std::move(route)));
}

void LoopbackServer::post(const std::string& pattern, HttpRoute route) {
  d->server->Post(pattern, d->handler(std::move(route)));
}

void LoopbackServer::page(const std::string& pattern, const std::string& html) {
  get(pattern, [html](const HttpRequest&, HttpResponse& res) { res.body = html; });
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
int LoopbackServer::requestCount() const { return d->requests; }

}  // namespace testsupport
