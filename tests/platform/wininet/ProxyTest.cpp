// The process-wide proxy settings: the per-connection option list, the
// listeners, and requests that go through a loopback proxy or around it.
#include <gtest/gtest.h>

#include "platform/com/Com.h"
#include "platform/wininet/WinInet.h"
#include "tests/platform/wininet/Wide.h"
#include "tests/support/LoopbackServer.h"

#include <mutex>
#include <vector>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

class Proxy : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeWinInet();
    origin_ = new LoopbackServer;
    origin_->get("/page", [](const HttpRequest&, HttpResponse& res) {
      res.contentType = "text/plain";
      res.body = "from origin";
    });
    origin_->start();
    // A forward proxy answers requests in absolute form itself.
    proxy_ = new LoopbackServer;
    proxy_->get(R"(.*)", [](const HttpRequest& req, HttpResponse& res) {
      std::lock_guard<std::mutex> guard(seenLock_);
      seen_.push_back(req.target);
      res.headers.emplace_back("X-Proxy-Authorization", req.header("Proxy-Authorization"));
      res.contentType = "text/plain";
      res.body = "from proxy";
    });
    proxy_->start();
  }
  static void TearDownTestSuite() {
    delete origin_;
    delete proxy_;
  }
  void SetUp() override {
    std::lock_guard<std::mutex> guard(seenLock_);
    seen_.clear();
  }
  void TearDown() override { SetCurrentProxy(InternetProxySettings()); }

  // Sets the default connection's proxy the way the system's units do: a
  // list of three options whose size is given in the 32-bit layout.
  static bool setProxy(const QString& server, const QString& bypass = QStringLiteral("<local>")) {
    Wide serverText(server), bypassText(bypass);
    INTERNET_PER_CONN_OPTIONW options[3];
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[0].Value.dwValue = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[1].Value.pszValue = serverText.text.data();
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[2].Value.pszValue = bypassText.text.data();
    INTERNET_PER_CONN_OPTION_LIST list{20, nullptr, 3, 0, options};
    HINTERNET root = InternetOpenW(u"Setter", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    const bool ok = InternetSetOptionW(root, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, 20) &&
                    InternetSetOptionW(root, INTERNET_OPTION_REFRESH, nullptr, 0);
    InternetCloseHandle(root);
    return ok;
  }

  static QString proxyAddress() { return QStringLiteral("127.0.0.1:%1").arg(proxy_->port()); }

  // The body of the origin's page fetched through a session of `access` type.
  static QByteArray fetch(DWORD access = INTERNET_OPEN_TYPE_PRECONFIG, const char16_t* proxy = nullptr,
                          const char16_t* bypass = nullptr, QByteArray* proxyAuth = nullptr) {
    HINTERNET session = InternetOpenW(u"Fetcher", access, proxy, bypass, 0);
    if (proxyAuth) {
      InternetSetOptionW(session, INTERNET_OPTION_PROXY_USERNAME, const_cast<char16_t*>(u"ann"), 3);
      InternetSetOptionW(session, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char16_t*>(u"pw"), 2);
    }
    HINTERNET r = InternetOpenUrlW(session, Wide(origin_->url("/page")), nullptr, 0, 0, 0);
    QByteArray body;
    if (r) {
      char buffer[256];
      DWORD read = 0;
      while (InternetReadFile(r, buffer, sizeof buffer, &read) && read > 0) body.append(buffer, int(read));
      if (proxyAuth) {
        char16_t value[128] = u"X-Proxy-Authorization";
        DWORD length = sizeof value;
        if (HttpQueryInfoW(r, HTTP_QUERY_CUSTOM, value, &length, nullptr))
          *proxyAuth = QString::fromUtf16(value).toLatin1();
      }
    }
    InternetCloseHandle(session);
    return body;
  }

  static std::vector<std::string> seen() {
    std::lock_guard<std::mutex> guard(seenLock_);
    return seen_;
  }

  static LoopbackServer* origin_;
  static LoopbackServer* proxy_;
  static std::mutex seenLock_;
  static std::vector<std::string> seen_;
};

LoopbackServer* Proxy::origin_ = nullptr;
LoopbackServer* Proxy::proxy_ = nullptr;
std::mutex Proxy::seenLock_;
std::vector<std::string> Proxy::seen_;

}  // namespace

TEST_F(Proxy, OptionListIsKeptAndAnsweredBack) {
  ASSERT_TRUE(setProxy(QStringLiteral("proxy.example:8080")));
  const long blocks = CoTaskMemLiveBlocks();
  INTERNET_PER_CONN_OPTIONW options[4] = {};
  options[0].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[1].dwOption = INTERNET_PER_CONN_FLAGS;
  options[2].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
  INTERNET_PER_CONN_OPTION_LIST list{sizeof(INTERNET_PER_CONN_OPTION_LIST), nullptr, 4, 0, options};
  DWORD size = sizeof list;
  ASSERT_TRUE(InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size));
  EXPECT_EQ(QString::fromUtf16(options[0].Value.pszValue), QStringLiteral("<local>"));
  EXPECT_EQ(options[1].Value.dwValue, PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY);
  EXPECT_EQ(QString::fromUtf16(options[2].Value.pszValue), QStringLiteral("proxy.example:8080"));
  EXPECT_EQ(options[3].Value.pszValue, nullptr);  // empty strings come back as null
  CoTaskMemFree(options[0].Value.pszValue);
  CoTaskMemFree(options[2].Value.pszValue);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);

  // An unknown option fails the call, names its index and leaks nothing.
  options[3].dwOption = 99;
  EXPECT_FALSE(InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(list.dwOptionError, 3u);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
  // Setting such a list changes nothing.
  options[2].Value.pszValue = const_cast<char16_t*>(u"other:1");
  EXPECT_FALSE(InternetSetOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list));
  EXPECT_EQ(CurrentProxy().proxyServer, QStringLiteral("proxy.example:8080"));

  // A list whose size matches no layout is refused.
  list.dwSize = 12;
  EXPECT_FALSE(InternetSetOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // Removing the proxy the way the system does: an empty server, flags kept.
  ASSERT_TRUE(setProxy(QString()));
  EXPECT_FALSE(CurrentProxy().UsesProxy());
}

TEST_F(Proxy, RefreshTellsTheListeners) {
  int calls = 0;
  QString heard;
  const int id = AddInternetSettingsListener([&] {
    ++calls;
    heard = CurrentProxy().proxyServer;
  });
  ASSERT_TRUE(setProxy(QStringLiteral("a:1")));  // sets the list, then refreshes
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(heard, QStringLiteral("a:1"));
  EXPECT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0));
  EXPECT_EQ(calls, 2);
  RemoveInternetSettingsListener(id);
  EXPECT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0));
  EXPECT_EQ(calls, 2);
}

TEST_F(Proxy, RequestsGoThroughTheProxyUntilItIsRemoved) {
  EXPECT_EQ(fetch(), QByteArray("from origin"));
  EXPECT_TRUE(seen().empty());

  ASSERT_TRUE(setProxy(proxyAddress()));
  EXPECT_EQ(fetch(), QByteArray("from proxy"));
  ASSERT_EQ(seen().size(), 1u);
  // The proxy got the request line in absolute form.
  EXPECT_EQ(QString::fromStdString(seen()[0]), origin_->url("/page"));

  // A direct session ignores the settings; a proxy session uses its own.
  EXPECT_EQ(fetch(INTERNET_OPEN_TYPE_DIRECT), QByteArray("from origin"));
  ASSERT_TRUE(setProxy(QString()));
  EXPECT_EQ(fetch(), QByteArray("from origin"));
  EXPECT_EQ(fetch(INTERNET_OPEN_TYPE_PROXY, Wide(proxyAddress())), QByteArray("from proxy"));
  EXPECT_EQ(fetch(INTERNET_OPEN_TYPE_PROXY, Wide(proxyAddress()), u"127.0.0.1"), QByteArray("from origin"));
  EXPECT_EQ(seen().size(), 2u);
  EXPECT_EQ(InternetOpenW(u"x", INTERNET_OPEN_TYPE_PROXY, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Proxy, BypassListSendsMatchingHostsDirect) {
  const struct {
    const char* bypass;
    const char* body;
  } cases[] = {
      {"<local>", "from proxy"},  // 127.0.0.1 has dots: not a local name
      {"127.0.0.1", "from origin"}, {"127.0.0.*", "from origin"}, {"*.example.com; 127.0.0.1", "from origin"},
      {"10.*", "from proxy"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bypass);
    ASSERT_TRUE(setProxy(proxyAddress(), QString::fromLatin1(c.bypass)));
    EXPECT_EQ(fetch(), QByteArray(c.body));
  }
}

TEST_F(Proxy, ProxyCredentialsOfTheSessionReachTheProxy) {
  ASSERT_TRUE(setProxy(proxyAddress()));
  QByteArray auth;
  EXPECT_EQ(fetch(INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, &auth), QByteArray("from proxy"));
  EXPECT_EQ(auth, "Basic " + QByteArray("ann:pw").toBase64());
}

TEST(ProxyChoice, ServerListsAndBypassPatterns) {
  const QString perScheme = QStringLiteral("http=h1:81;https=h2:82");
  EXPECT_EQ(ProxyForUrl(QStringLiteral("http://x.org/"), perScheme, QString()),
            QStringLiteral("http://h1:81"));
  EXPECT_EQ(ProxyForUrl(QStringLiteral("https://x.org/"), perScheme, QString()),
            QStringLiteral("http://h2:82"));
  EXPECT_EQ(ProxyForUrl(QStringLiteral("https://x.org/"), QStringLiteral("http=h1:81"), QString()),
            QString());
  EXPECT_EQ(ProxyForUrl(QStringLiteral("https://x.org/"), QStringLiteral("socks=s:1080"), QString()),
            QStringLiteral("socks4://s:1080"));
  EXPECT_EQ(ProxyForUrl(QStringLiteral("http://x.org/"), QStringLiteral("  "), QString()), QString());
  EXPECT_EQ(ProxyForUrl(QStringLiteral("not a url"), QStringLiteral("p:1"), QString()), QString());

  EXPECT_TRUE(ProxyBypassed(QStringLiteral("intranet"), 80, QStringLiteral("<local>")));
  EXPECT_FALSE(ProxyBypassed(QStringLiteral("a.b"), 80, QStringLiteral("<LOCAL>")));
  EXPECT_TRUE(ProxyBypassed(QStringLiteral("www.Example.com"), 80, QStringLiteral("*.example.com")));
  EXPECT_FALSE(ProxyBypassed(QStringLiteral("example.com"), 80, QStringLiteral("*.example.com")));
  EXPECT_TRUE(ProxyBypassed(QStringLiteral("host"), 8080, QStringLiteral("http://host:8080")));
  EXPECT_FALSE(ProxyBypassed(QStringLiteral("host"), 80, QStringLiteral("host:8080")));
  EXPECT_TRUE(ProxyBypassed(QStringLiteral("a.b.c"), 80, QStringLiteral("x, *b*")));
  EXPECT_FALSE(ProxyBypassed(QString(), 80, QStringLiteral("*")));
}
