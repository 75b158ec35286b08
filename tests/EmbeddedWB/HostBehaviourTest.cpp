// The browser control's process-wide settings (user agent, proxy) and what
// the engine tells its host on its own: downloads offered to the host's
// download manager, zoom changes, refreshes announced as commands and pages
// kept in the Internet cache.
#include "platform/classlib/Streaming.h"
#include "platform/rtl/Registry.h"
#include "platform/wininet/ProxyState.h"
#include "platform/wininet/UrlCache.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QFile>
#include <QNetworkProxy>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

using namespace ewbtest;

namespace {

// A server on 127.0.0.1 with counted pages, a download and the user agent of
// the last request. It is also a forward proxy: a request in absolute form
// (as sent to a proxy) gets a page titled "proxied".
class Origin : public testsupport::LoopbackServer {
 public:
  Origin() {
    proxy([](const testsupport::HttpRequest&, testsupport::HttpResponse& res) {
      res.body = "<html><head><title>proxied</title></head></html>";
    });
    get("/file.bin", [](const testsupport::HttpRequest&, testsupport::HttpResponse& res) {
      res.headers.emplace_back("Content-Disposition", "attachment; filename=\"file.bin\"");
      res.contentType = "application/octet-stream";
      res.body = std::string(64, 'x');
    });
    get("/favicon.ico",
        [](const testsupport::HttpRequest&, testsupport::HttpResponse& res) { res.status = 404; });
    get(".*", [this](const testsupport::HttpRequest&, testsupport::HttpResponse& res) {
      res.body = "<html><head><title>origin</title></head><body><p id=\"mark\">hit " +
                 std::to_string(++hits_) + "</p></body></html>";
    });
    start();
  }
  QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
  int hits() const { return hits_; }
  std::string userAgent() const { return lastRequest().header("User-Agent"); }
  bool saw(const std::string& target) const {
    const std::vector<testsupport::HttpRequest> seen = requests();
    return std::any_of(seen.begin(), seen.end(),
                       [&](const testsupport::HttpRequest& r) { return r.target == target; });
  }

 private:
  std::atomic<int> hits_{0};
};

class HostBehaviourTest : public BrowserFixture {
 protected:
  void TearDown() override {
    SetCurrentProxy(InternetProxySettings());
    NotifyInternetSettingsChanged();
    BrowserFixture::TearDown();
  }
  static void settle() {
    testsupport::waitFor([] { return false; }, 300);
  }

  Origin origin;
};

// ---------------------------------------------------------------- user agent

TEST_F(HostBehaviourTest, TheUserAgentTheServerSeesFollowsTheMode) {
  ASSERT_TRUE(show(origin.url("/page")));
  const std::string engineOwn = origin.userAgent();
  wb->SetUserAgentMode(EmbeddedWB::uaInternal);
  wb->SetUserAgent("Noctivane-Test/3.1");
  ASSERT_TRUE(show(origin.url("/page")));
  EXPECT_EQ(origin.userAgent(), "Noctivane-Test/3.1");

  // Back to the browser's own, and the same text again after that.
  wb->SetUserAgentMode(EmbeddedWB::uaDefault);
  ASSERT_TRUE(show(origin.url("/page")));
  EXPECT_EQ(origin.userAgent(), engineOwn);
  wb->SetUserAgentMode(EmbeddedWB::uaInternal);
  ASSERT_TRUE(show(origin.url("/page")));
  EXPECT_EQ(origin.userAgent(), "Noctivane-Test/3.1");
}

TEST_F(HostBehaviourTest, RemovingTheRegistryUserAgentKeepsOtherProgramsValues) {
  const QString key =
      "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform";
  const QString token = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(key, true));
  reg.WriteString("OtherProgram/1.0", "");
  auto values = [&] {
    TStringList names;
    reg.GetValueNames(names);
    QStringList out;
    for (int i = 0; i < names.Count(); ++i) out << names.Get(i);
    return out;
  };
  wb->SetUserAgent("Q");
  wb->SetUserAgentMode(EmbeddedWB::uaRegistry);
  EXPECT_EQ(values(), (QStringList{"OtherProgram/1.0", token + "(Q)"}));
  wb->SetUserAgent("R");  // replaces only our value
  EXPECT_EQ(values(), (QStringList{"OtherProgram/1.0", token + "(R)"}));
  wb->SetUserAgentMode(EmbeddedWB::uaDefault);
  EXPECT_EQ(values(), QStringList{"OtherProgram/1.0"});

  // The control's end takes its value along, and nothing else.
  wb->SetUserAgentMode(EmbeddedWB::uaRegistry);
  delete wb;
  wb = nullptr;
  EXPECT_EQ(values(), QStringList{"OtherProgram/1.0"});
  reg.DeleteKey(key);
}

// ---------------------------------------------------------------- proxy

TEST_F(HostBehaviourTest, AProxySetAtLoadCarriesTheEnginesRequestsUntilCloseDown) {
  // A control streamed with the proxy to load; the engine has not fetched anything yet.
  auto* loaded = new TEmbeddedWB(form);
  ReadComponentRes(QStringLiteral("object ProxiedWB: TEmbeddedWB\n  ProxySettings.AutoLoadProxy = True\n"
                                  "  ProxySettings.Address = '127.0.0.1'\n  ProxySettings.Port = %1\nend\n")
                       .arg(origin.port()),
                   loaded);
  EXPECT_EQ(CurrentProxy().proxyServer, origin.address());
  loaded->SetParent(form);
  // A host nobody resolves: only the proxy can answer it.
  loaded->Navigate("http://noctivane-proxied.test/start");
  ASSERT_TRUE(complete(loaded));
  EXPECT_TRUE(origin.saw("http://noctivane-proxied.test/start"));
  EXPECT_EQ(loaded->LocationName(), "proxied");

  // A refused later call keeps the proxy and the duty to remove it.
  EXPECT_FALSE(wb->SetProxyWithAuth(String(), "  ", "user", "pw", 8080));
  EXPECT_TRUE(CurrentProxy().UsesProxy());
  EmbeddedWB::finalize();
  EXPECT_FALSE(CurrentProxy().UsesProxy());
  EXPECT_EQ(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
  EmbeddedWB::initialize();

  // Set while the engine runs, a proxy applies to its next request.
  ASSERT_TRUE(wb->SetProxy(String(), origin.address()));
  ASSERT_TRUE(show("http://noctivane-proxied.test/later"));
  EXPECT_TRUE(origin.saw("http://noctivane-proxied.test/later"));
}

TEST_F(HostBehaviourTest, ProxySettingsWithoutAnAddressSetNothing) {
  int notices = 0;
  const int listener = AddInternetSettingsListener([&] { ++notices; });
  wb->ProxySettings()->SetPort(8080);
  wb->ApplyProxySettings();
  wb->ProxySettings()->SetUserName("user");
  wb->ApplyProxySettings();
  RemoveInternetSettingsListener(listener);
  EXPECT_EQ(notices, 0);
  EXPECT_FALSE(CurrentProxy().UsesProxy());
}

// ---------------------------------------------------------------- engine callbacks

TEST_F(HostBehaviourTest, DownloadsGoToTheHostsManagerBeforeTheControlsOwnRoute) {
  ASSERT_TRUE(show(origin.url("/page")));
  // The wrapper's FileDownload is the control's own route; cancelled so that nothing is saved.
  int ownRoute = 0;
  static_cast<TEWB*>(wb)->OnFileDownload = [&](TObject*, bool, bool& cancel) {
    ++ownRoute;
    cancel = true;
  };
  std::vector<String> offered;
  HRESULT answer = S_OK;
  wb->OnFileDownload = [&](TObject*, IMoniker* pmk, IBindCtx* pbc, DWORD verb, LONG, BINDINFO* info,
                           const String&, const String&, UINT, HRESULT& rezult) {
    LPOLESTR name = nullptr;
    if (pmk && SUCCEEDED(pmk->GetDisplayName(pbc, nullptr, &name))) offered.push_back(OleStrToString(name));
    CoTaskMemFree(name);
    EXPECT_EQ(verb, DWORD(BINDVERB_GET));
    EXPECT_TRUE(info && info->cbSize == sizeof(BINDINFO));
    rezult = answer;
  };
  wb->Navigate(origin.url("/file.bin"));
  ASSERT_TRUE(testsupport::waitFor([&] { return offered.size() == 1; }));
  EXPECT_EQ(offered[0], origin.url("/file.bin"));
  settle();
  EXPECT_EQ(ownRoute, 0);

  // Declined (the handler's default answer): the control goes on by itself.
  answer = E_NOTIMPL;
  wb->Navigate(origin.url("/file.bin"));
  ASSERT_TRUE(testsupport::waitFor([&] { return ownRoute == 1; }));
  EXPECT_EQ(offered.size(), 2u);
}

TEST_F(HostBehaviourTest, OpticalZoomChangesReachTheHostOncePerNewPercentage) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("zoom.html", "<html><body>zoom</body></html>")).toString()));
  std::vector<ULONG> heard;
  wb->OnZoomPercentChange = [&](TObject*, ULONG percent) {
    heard.push_back(percent);
    return S_OK;
  };
  wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(150));
  wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(150));
  wb->SetZoom(3);  // the text size is no zoom percentage
  EXPECT_THROW(wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(5)), Exception);
  wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(100));
  EXPECT_EQ(heard, (std::vector<ULONG>{150, 100}));
}

TEST_F(HostBehaviourTest, RefreshIsAnnouncedToTheHostWhichMayCancelIt) {
  ASSERT_TRUE(show(origin.url("/page")));
  HWND document = wb->FindChildWindowByClass("Internet Explorer_Server");
  ASSERT_TRUE(document);
  std::vector<DWORD> commands;
  bool cancel = true;
  wb->OnRefresh = [&](TObject*, DWORD cmd, bool& Cancel) {
    commands.push_back(cmd);
    Cancel = cancel;
  };
  wb->Refresh();
  SendMessage(document, WM_KEYDOWN, VK_F5, 0x003F0001);  // the page's own refresh key
  EXPECT_EQ(commands, (std::vector<DWORD>{2300, 6041}));
  EXPECT_FALSE(wb->Busy());
  settle();
  EXPECT_EQ(origin.hits(), 1);

  cancel = false;
  wb->Refresh2(OleVariant(int(REFRESH_COMPLETELY)));
  ASSERT_TRUE(testsupport::waitFor([&] { return origin.hits() == 2; }));
  ASSERT_TRUE(complete(wb));
  SendMessage(wb->FindChildWindowByClass("Internet Explorer_Server"), WM_KEYDOWN, VK_F5, 0x003F0001);
  ASSERT_TRUE(testsupport::waitFor([&] { return origin.hits() == 3; }));
  EXPECT_EQ(commands, (std::vector<DWORD>{2300, 6041, 2300, 6041}));
}

// The cache entry of `url`: its headers and the content of its file.
bool cachedPage(const QString& url, QByteArray& content, String& headers) {
  const std::u16string address = url.toStdU16String();
  DWORD size = 0;
  GetUrlCacheEntryInfoW(address.c_str(), nullptr, &size);
  std::vector<char> buffer(size);
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  if (size == 0 || !GetUrlCacheEntryInfoW(address.c_str(), info, &size)) return false;
  headers = OleStrToString(info->lpHeaderInfo);
  QFile file(OleStrToString(info->lpszLocalFileName));
  if (!file.open(QIODevice::ReadOnly)) return false;
  content = file.readAll();
  return true;
}

TEST_F(HostBehaviourTest, LoadedNetworkPagesAreKeptInTheUrlCacheWithTheirSource) {
  const QString url = origin.url("/cached");
  ASSERT_TRUE(show(url));
  QByteArray content;
  String headers;
  ASSERT_TRUE(testsupport::waitFor([&] { return cachedPage(url, content, headers); }));
  EXPECT_TRUE(content.contains("<title>origin</title>"));
  EXPECT_TRUE(content.contains("<p id=\"mark\">hit 1</p>")) << content.toStdString();
  EXPECT_TRUE(headers.startsWith("HTTP/1.1 200")) << headers.toStdString();

  // A reload replaces the entry with the page as it is now.
  wb->Refresh();
  EXPECT_TRUE(
      testsupport::waitFor([&] { return cachedPage(url, content, headers) && content.contains("hit 2"); }));

  // Local files are not Internet content.
  const QString local =
      QUrl::fromLocalFile(pagePath("local.html", "<html><body>local</body></html>")).toString();
  ASSERT_TRUE(show(local));
  settle();
  EXPECT_FALSE(cachedPage(local, content, headers));
}

}  // namespace
