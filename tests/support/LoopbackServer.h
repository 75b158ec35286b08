#pragma once
// The loopback server of the test suites: HTTP or HTTPS on 127.0.0.1 with an
// ephemeral port, answering the routes a test sets, on threads of its own for
// the life of the object. An HTTPS server presents a certificate made for the
// run, which no one trusts until a test says so. It remembers every request,
// and can stand in for a forward proxy.
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
  std::string path;     // without the query
  std::string target;   // as sent: the path and query, or the whole address when sent to a proxy
  std::string version;  // "HTTP/1.1"
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
  std::vector<std::pair<std::string, std::string>> headers;  // a name may come more than once
  // When larger than the body: the length announced, after which the server
  // drops the connection with the rest unsent.
  size_t announcedLength = 0;
  // When set, the body is sent as `stream` writes it (instead of `body`): in
  // chunks, or with `announcedLength` as the length when that is set; `write`
  // answers false once the client is gone. A stream that answers false, or
  // ends short of the announced length, drops the connection.
  std::function<bool(const std::function<bool(const std::string&)>& write)> stream;
  // With `stream` and no `announcedLength`: sent without length or chunks,
  // the end of the body being the end of the connection.
  bool closeDelimited = false;
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
  // the order added; a route for a pattern already set takes its place.
  // Paths no route takes answer 404. Routes may change while the server runs.
  void get(const std::string& pattern, HttpRoute route);
  void post(const std::string& pattern, HttpRoute route);
  // A route that answers `html`.
  void page(const std::string& pattern, const std::string& html);
  // A route that answers `html` once release() or stop() is called, or after
  // `maxMs` at the latest.
  void slowPage(const std::string& pattern, const std::string& html, int maxMs = 5000);
  // Forward proxy: a request whose target is a whole address ("GET
  // http://host/path", as sent to a proxy) goes to `route` instead.
  void proxy(HttpRoute route);
  // A route behind basic authentication: `html` for `user`:`password`, else
  // 401 with `refusedHtml` and a challenge for the realm "test".
  void loginPage(const std::string& pattern, const std::string& user, const std::string& password,
                 const std::string& html, const std::string& refusedHtml);

  // For routes: waits until release() or stop() is called, or `maxMs`
  // passes. True when released.
  bool hold(int maxMs) const;
  void release();

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
  // Requests received so far, by any route or none (counted before they are answered).
  int requestCount() const;
  // Those for `path` (without the query).
  int requestCount(const std::string& path) const;
  // The requests received so far, oldest first.
  std::vector<HttpRequest> requests() const;
  // The last request received (for `path` when one is given); empty when none.
  HttpRequest lastRequest(const std::string& path = {}) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace testsupport
