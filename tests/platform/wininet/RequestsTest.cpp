// Sessions, URL requests, header queries and body reads against a loopback server.
#include <gtest/gtest.h>

#include "platform/wininet/WinInet.h"
#include "tests/platform/wininet/Wide.h"
#include "tests/support/LoopbackServer.h"

#include <QElapsedTimer>

#include <chrono>
#include <thread>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

QByteArray bigBody() {
  QByteArray bytes(200 * 1024, '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i % 251);
  return bytes;
}

class Requests : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeWinInet();
    server_ = new LoopbackServer;
    server_->get("/page", [](const HttpRequest& req, HttpResponse& res) {
      res.headers.emplace_back("Content-Disposition", "attachment; filename=\"a.html\"");
      res.headers.emplace_back("Set-Cookie", "a=1");
      res.headers.emplace_back("Set-Cookie", "b=2");
      res.headers.emplace_back("X-Echo-Agent", req.header("User-Agent"));
      res.headers.emplace_back("X-Echo-Test", req.header("X-Test"));
      res.contentType = "text/html; charset=utf-8";
      res.body = "<html>hello</html>";
    });
    server_->get("/moved", [](const HttpRequest&, HttpResponse& res) {
      res.status = 301;
      res.headers.emplace_back("Location", "/page");
    });
    server_->get("/found", [](const HttpRequest&, HttpResponse& res) {
      res.status = 302;
      res.headers.emplace_back("Location", "/page");
    });
    server_->get("/missing", [](const HttpRequest&, HttpResponse& res) {
      res.status = 404;
      res.contentType = "text/plain";
      res.body = "nope";
    });
    server_->get("/big", [](const HttpRequest&, HttpResponse& res) {
      const QByteArray body = bigBody();
      res.contentType = "application/octet-stream";
      res.body = body.toStdString();
    });
    server_->get("/cut", [](const HttpRequest&, HttpResponse& res) {
      // Promises 1000 bytes, sends 10, then drops the connection.
      res.contentType = "text/plain";
      res.body = "0123456789";
      res.announcedLength = 1000;
    });
    server_->get("/slow", [](const HttpRequest&, HttpResponse& res) {
      server_->hold(1500);
      res.contentType = "text/plain";
      res.body = "late";
    });
    server_->get("/huge-head", [](const HttpRequest&, HttpResponse& res) {
      const std::string value(60 * 1024, 'x');
      for (int i = 0; i < 30; ++i) res.headers.emplace_back("X-Big-" + std::to_string(i), value);
      res.contentType = "text/plain";
      res.body = "ok";
    });
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    session_ = InternetOpenW(u"Tester/1.0", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session_, nullptr);
  }
  void TearDown() override {
    if (session_) InternetCloseHandle(session_);
  }

  HINTERNET open(const char* path, DWORD flags = INTERNET_FLAG_NO_UI) {
    return InternetOpenUrlW(session_, Wide(server_->url(path)), nullptr, 0, flags, 0);
  }

  // A header as text, read the way the system's units read it (1025 characters).
  static QString text(HINTERNET request, DWORD level) {
    char16_t buffer[1025] = {};
    DWORD length = sizeof buffer;
    if (!HttpQueryInfoW(request, level, buffer, &length, nullptr)) return QStringLiteral("<none>");
    return QString::fromUtf16(buffer);
  }

  static QByteArray readAll(HINTERNET request, DWORD chunk) {
    QByteArray all;
    QByteArray buffer(int(chunk), '\0');
    DWORD read = 0;
    while (InternetReadFile(request, buffer.data(), chunk, &read) && read > 0)
      all.append(buffer.constData(), int(read));
    return all;
  }

  static LoopbackServer* server_;
  HINTERNET session_ = nullptr;
};

LoopbackServer* Requests::server_ = nullptr;

}  // namespace

TEST_F(Requests, StatusIsTheFirstAnswerAndRedirectsAreNotFollowed) {
  const struct {
    const char* path;
    const char* status;
  } cases[] = {{"/page", "200"}, {"/moved", "301"}, {"/found", "302"}, {"/missing", "404"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    HINTERNET r = open(c.path, INTERNET_FLAG_RELOAD);
    ASSERT_NE(r, nullptr) << GetLastError();
    // The address check's query: the status as text in a buffer of 10 bytes.
    char16_t status[5] = {};
    DWORD length = sizeof status;
    ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_STATUS_CODE, status, &length, nullptr));
    EXPECT_EQ(QString::fromUtf16(status), QString::fromLatin1(c.status));
    EXPECT_EQ(length, 6u);
    EXPECT_TRUE(InternetCloseHandle(r));
  }
  HINTERNET moved = open("/moved");
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(text(moved, HTTP_QUERY_LOCATION), QStringLiteral("/page"));
  InternetCloseHandle(moved);

  // An error page has a body like any other.
  HINTERNET missing = open("/missing");
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(readAll(missing, 64), QByteArray("nope"));
  InternetCloseHandle(missing);

  // The preconfigured session type works the same without a proxy.
  HINTERNET preconfig = InternetOpenW(u"InetURL:/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET r =
      InternetOpenUrlW(preconfig, Wide(server_->url("/found")), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(text(r, HTTP_QUERY_STATUS_CODE), QStringLiteral("302"));
  InternetCloseHandle(preconfig);
}

TEST_F(Requests, HeaderQueryFollowsTheBufferRules) {
  HINTERNET r = open("/page");
  ASSERT_NE(r, nullptr);
  const QString type = QStringLiteral("text/html; charset=utf-8");
  const DWORD needed = DWORD((type.size() + 1) * 2);

  DWORD length = 0;
  EXPECT_FALSE(HttpQueryInfoW(r, HTTP_QUERY_CONTENT_TYPE, nullptr, &length, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, needed);
  std::u16string buffer(needed / 2, u'#');
  length = needed - 1;
  EXPECT_FALSE(HttpQueryInfoW(r, HTTP_QUERY_CONTENT_TYPE, buffer.data(), &length, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, needed);
  length = needed;
  ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_CONTENT_TYPE, buffer.data(), &length, nullptr));
  EXPECT_EQ(length, needed - 2);  // bytes without the terminator
  EXPECT_EQ(QString::fromUtf16(buffer.c_str()), type);

  // Numbers.
  DWORD number = 0;
  length = sizeof number;
  ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &length, nullptr));
  EXPECT_EQ(number, 200u);
  ASSERT_TRUE(
      HttpQueryInfoW(r, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number, &length, nullptr));
  EXPECT_EQ(number, 18u);
  length = 2;
  EXPECT_FALSE(
      HttpQueryInfoW(r, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number, &length, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 4u);

  // Absent headers, as the parser's header query meets them.
  EXPECT_EQ(text(r, HTTP_QUERY_CONTENT_ENCODING), QStringLiteral("<none>"));
  EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(text(r, HTTP_QUERY_CONTENT_DISPOSITION), QStringLiteral("attachment; filename=\"a.html\""));
  EXPECT_EQ(text(r, HTTP_QUERY_STATUS_TEXT), QStringLiteral("OK"));
  EXPECT_EQ(text(r, HTTP_QUERY_VERSION), QStringLiteral("HTTP/1.1"));

  // A repeated header, one occurrence per index.
  DWORD index = 0;
  QStringList cookies;
  for (;;) {
    char16_t cookie[64];
    length = sizeof cookie;
    if (!HttpQueryInfoW(r, HTTP_QUERY_SET_COOKIE, cookie, &length, &index)) break;
    cookies << QString::fromUtf16(cookie);
  }
  EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(cookies, QStringList({QStringLiteral("a=1"), QStringLiteral("b=2")}));
  EXPECT_EQ(index, 2u);

  // A header by name: the buffer carries the name in.
  char16_t custom[64] = u"x-echo-agent";
  length = sizeof custom;
  ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_CUSTOM, custom, &length, nullptr));
  EXPECT_EQ(QString::fromUtf16(custom), QStringLiteral("Tester/1.0"));

  // The whole head, with CR LF and with nulls.
  const QString crlf = text(r, HTTP_QUERY_RAW_HEADERS_CRLF);
  EXPECT_TRUE(crlf.startsWith(QStringLiteral("HTTP/1.1 200 OK\r\n"))) << crlf.toStdString();
  EXPECT_TRUE(crlf.endsWith(QStringLiteral("\r\n\r\n")));
  EXPECT_TRUE(crlf.contains(QStringLiteral("\r\nContent-Length: 18\r\n")));
  length = 0;
  HttpQueryInfoW(r, HTTP_QUERY_RAW_HEADERS, nullptr, &length, nullptr);
  std::u16string raw(length / 2, u'#');
  ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_RAW_HEADERS, raw.data(), &length, nullptr));
  EXPECT_EQ(std::u16string(raw.c_str()), u"HTTP/1.1 200 OK");
  EXPECT_EQ(raw[raw.size() - 1], u'\0');
  EXPECT_EQ(raw[raw.size() - 2], u'\0');
  EXPECT_EQ(std::count(raw.begin(), raw.end(), u'\0'), qsizetype(crlf.count(QStringLiteral("\r\n"))));

  // Request headers are not kept; sessions answer no header query.
  EXPECT_EQ(text(r, HTTP_QUERY_USER_AGENT | HTTP_QUERY_FLAG_REQUEST_HEADERS), QStringLiteral("<none>"));
  EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
  EXPECT_EQ(text(session_, HTTP_QUERY_STATUS_CODE), QStringLiteral("<none>"));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  InternetCloseHandle(r);
}

TEST_F(Requests, BodyIsReadInChunksToItsEnd) {
  HINTERNET r = open("/big");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(readAll(r, 997), bigBody());
  DWORD read = 99;
  char byte = 0;
  EXPECT_TRUE(InternetReadFile(r, &byte, 1, &read));
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(InternetReadFile(r, &byte, 1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  InternetCloseHandle(r);
}

TEST_F(Requests, AgentAndExtraHeadersReachTheServer) {
  HINTERNET r = InternetOpenUrlW(session_, Wide(server_->url("/page")), u"X-Test: yes\r\nbroken line\r\n",
                                 DWORD(-1), 0, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(text(r, HTTP_QUERY_CUSTOM), QStringLiteral("<none>"));  // an empty name finds nothing
  char16_t name[32] = u"X-Echo-Test";
  DWORD length = sizeof name;
  ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_CUSTOM, name, &length, nullptr));
  EXPECT_EQ(QString::fromUtf16(name), QStringLiteral("yes"));
  InternetCloseHandle(r);

  // The agent option of the session, set and answered back.
  const char16_t agent[] = u"Other/2.0";
  ASSERT_TRUE(InternetSetOptionW(session_, INTERNET_OPTION_USER_AGENT, const_cast<char16_t*>(agent), 9));
  length = 4;
  char16_t answer[32];
  EXPECT_FALSE(InternetQueryOptionW(session_, INTERNET_OPTION_USER_AGENT, answer, &length));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, 20u);
  length = sizeof answer;
  ASSERT_TRUE(InternetQueryOptionW(session_, INTERNET_OPTION_USER_AGENT, answer, &length));
  EXPECT_EQ(length, 9u);
  EXPECT_EQ(QString::fromUtf16(answer), QStringLiteral("Other/2.0"));
  r = open("/page");
  ASSERT_NE(r, nullptr);
  char16_t echo[32] = u"X-Echo-Agent";
  length = sizeof echo;
  ASSERT_TRUE(HttpQueryInfoW(r, HTTP_QUERY_CUSTOM, echo, &length, nullptr));
  EXPECT_EQ(QString::fromUtf16(echo), QStringLiteral("Other/2.0"));
  InternetCloseHandle(r);
}

TEST_F(Requests, FailuresCarryThePlatformCodes) {
  // A port nobody listens on.
  int closedPort = 0;
  {
    LoopbackServer gone;
    gone.start();
    closedPort = gone.port();
  }
  const QString closedUrl = QStringLiteral("http://127.0.0.1:%1/").arg(closedPort);
  EXPECT_EQ(InternetOpenUrlW(session_, Wide(closedUrl), nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);

  const struct {
    const char16_t* url;
    DWORD error;
  } cases[] = {
      {u"", ERROR_INTERNET_INVALID_URL},
      {u"   ", ERROR_INTERNET_INVALID_URL},
      {u"127.0.0.1/page", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"ftp://127.0.0.1/file", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"file:///etc/passwd", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"http://", ERROR_INTERNET_INVALID_URL},
      {u"http://127.0.0.1:99999/", ERROR_INTERNET_INVALID_URL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.url).toStdString());
    SetLastError(0);
    EXPECT_EQ(InternetOpenUrlW(session_, c.url, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(InternetOpenUrlW(session_, nullptr, nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(InternetOpenUrlW(nullptr, Wide(server_->url("/page")), nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(InternetOpenW(u"x", 2, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Requests, CutBodyGivesWhatArrivedThenFails) {
  HINTERNET r = open("/cut");
  ASSERT_NE(r, nullptr);
  char buffer[100];
  DWORD read = 0;
  ASSERT_TRUE(InternetReadFile(r, buffer, sizeof buffer, &read));
  EXPECT_EQ(QByteArray(buffer, int(read)), QByteArray("0123456789"));
  EXPECT_FALSE(InternetReadFile(r, buffer, sizeof buffer, &read));
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CONNECTION_ABORTED);
  InternetCloseHandle(r);
}

TEST_F(Requests, OversizedHeadIsRefused) {
  EXPECT_EQ(open("/huge-head"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_SERVER_RESPONSE);
}

TEST_F(Requests, ReceiveTimeoutEndsAWaitingRequest) {
  DWORD timeout = 0;
  DWORD length = sizeof timeout;
  ASSERT_TRUE(InternetQueryOptionW(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, &length));
  EXPECT_EQ(timeout, 30000u);
  timeout = 200;
  ASSERT_TRUE(InternetSetOptionW(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout));
  EXPECT_FALSE(InternetSetOptionW(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, 2));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_BAD_OPTION_LENGTH);
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(open("/slow"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
  EXPECT_LT(clock.elapsed(), 1400);

  // Zero waits without limit.
  timeout = 0;
  ASSERT_TRUE(InternetSetOptionW(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout));
  HINTERNET late = open("/slow");
  ASSERT_NE(late, nullptr) << GetLastError();
  EXPECT_EQ(readAll(late, 16), QByteArray("late"));
  InternetCloseHandle(late);

  // Defaults set without a handle reach later sessions.
  DWORD connect = 10000;
  ASSERT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect));
  HINTERNET later = InternetOpenW(u"x", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  connect = 0;
  ASSERT_TRUE(InternetQueryOptionW(later, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, &length));
  EXPECT_EQ(connect, 10000u);
  connect = 30000;
  InternetSetOptionW(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetCloseHandle(later);
}

TEST_F(Requests, ClosingTheSessionFromAnotherThreadCancelsTheRequest) {
  HINTERNET session = session_;
  std::thread closer([session] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    InternetCloseHandle(session);
  });
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(open("/slow"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_OPERATION_CANCELLED);
  EXPECT_LT(clock.elapsed(), 1400);
  closer.join();
  session_ = nullptr;
}

TEST_F(Requests, ClosingAParentClosesItsChildren) {
  // A connection handle needs no server: nothing goes over the wire.
  HINTERNET connection =
      InternetConnectW(session_, u"127.0.0.1", 1, u"user", u"secret", INTERNET_SERVICE_HTTP, 0, 0);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(InternetConnectW(connection, u"127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(InternetOpenUrlW(connection, Wide(server_->url("/page")), nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  HINTERNET r = open("/page");
  ASSERT_NE(r, nullptr);

  DWORD type = 0;
  DWORD length = sizeof type;
  ASSERT_TRUE(InternetQueryOptionW(r, INTERNET_OPTION_HANDLE_TYPE, &type, &length));
  EXPECT_EQ(type, INTERNET_HANDLE_TYPE_HTTP_REQUEST);

  ASSERT_TRUE(InternetCloseHandle(session_));
  EXPECT_FALSE(InternetCloseHandle(connection));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  DWORD read = 0;
  char byte;
  EXPECT_FALSE(InternetReadFile(r, &byte, 1, &read));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(InternetCloseHandle(session_));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  session_ = nullptr;
}

TEST_F(Requests, ConnectedStateAgreesWithItsFlags) {
  DWORD flags = 0xFFFF;
  const BOOL connected = InternetGetConnectedState(&flags, 0);
  EXPECT_EQ(connected != FALSE, (flags & INTERNET_CONNECTION_LAN) != 0);
  if (!connected) {
    EXPECT_EQ(flags, 0u);
  }
}
