#pragma once
// The loopback server of the test suites: HTTP or HTTPS on 127.0.0.1 with an
// ephemeral port, answering the routes a test sets, on threads of its own for
// the life of the object. An HTTPS server presents a certificate made for the
// run, which no one trusts until a test says so.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// One request as a route sees it.
struct HttpRequest {
  std::string method;
  std::string path;  // without the query
  std::map<std::string, std::string> params;  // the query's fields, decoded
  std::vector<std::string> matches;           // the route pattern's groups; [0] is the whole path
  std::multimap<std::string, std::string> headers;
  std::string body;
  // The first value of the header `name` (any letter case); empty when missing.
  std::string header(const std::string& name) const;
};

// The answer a route fills in.
struct HttpResponse {
  int status = 200;
  std::string contentType = "text/html";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

using HttpRoute = std::function<void(const HttpRequest&, HttpResponse&)>;

// A self-signed certificate and its key, as PEM files.
struct TestCertificate {
  QString certificateFile;
  QString keyFile;
  QByteArray pem;  // the certificate
  bool valid() const { return !pem.isEmpty(); }
};

// Makes a certificate for `hosts` (IP addresses or host names; the first is
// also the subject's name) that is valid from an hour ago for a day, writing
// "<stem>.pem" and "<stem>.key" into `folder`. Invalid when that fails.
TestCertificate MakeTestCertificate(const QString& folder, const QStringList& hosts,
                                    const QString& stem = QStringLiteral("server"));

class LoopbackServer {
 public:
  enum Scheme { Http, Https };

  // An HTTPS server makes its own certificate for 127.0.0.1 and localhost.
  explicit LoopbackServer(Scheme scheme = Http);
  // An HTTPS server presenting `certificate`.
  explicit LoopbackServer(const TestCertificate& certificate);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Routes: `pattern` is a regular expression over the whole path, tried in
  // the order added. Paths no route takes answer 404. Set them before start().
  void get(const std::string& pattern, HttpRoute route);
  void post(const std::string& pattern, HttpRoute route);
  // A route that answers `html`.
  void page(const std::string& pattern, const std::string& html);

  // Listens on 127.0.0.1 and an ephemeral port; false when it cannot.
  bool start();
  // Ends the server once the requests being answered are done.
  void stop();

  Scheme scheme() const;
  int port() const;
  // "<scheme>://127.0.0.1:<port>" followed by `path`.
  QString url(const QString& path = QStringLiteral("/")) const;
  // The certificate an HTTPS server presents (invalid for HTTP).
  const TestCertificate& certificate() const;
  // Requests answered so far, by any route or none.
  int requestCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace testsupport
