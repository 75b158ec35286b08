// What the browser engine tells its host on its own: downloads offered to the
// host's download manager, zoom changes, refreshes announced as commands,
// pages kept in the Internet cache, and requests through the process's proxy.
#include "platform/shdocvw/WebBrowser.h"
#include "platform/wininet/ProxyState.h"
#include "platform/wininet/UrlCache.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QFile>
#include <QNetworkProxy>

#include <mutex>
#include <vector>

using namespace ewbtest;

namespace {

// An origin server with a page, a download and a counter of page requests,
// which can also act as a forward proxy: requests in absolute form (as sent
// to a proxy) are answered with a page naming the address asked for.
class Origin {
 public:
  Origin() {
    server_.Get(R"(.*)", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex_);
        targets_.push_back(req.target);
      }
      if (req.target.rfind("http://", 0) == 0) {
        res.set_content("<html><head><title>proxied</title></head><body>via proxy " + req.target +
                            "</body></html>",
                        "text/html");
      } else if (req.path == "/file.bin") {
        res.set_header("Content-Disposition", "attachment; filename=\"file.bin\"");
        res.set_content(std::string(64, 'x'), "application/octet-stream");
      } else if (req.path == "/favicon.ico") {
        res.status = 404;
      } else {
        ++pageHits_;
        res.set_content("<html><head><title>origin</title></head><body><p id=\"mark\">cache me " +
                            std::to_string(pageHits_) + "</p></body></html>",
                        "text/html");
      }
    });
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    testsupport::waitFor([this] { return server_.is_running(); }, 5000);
  }
  ~Origin() {
    server_.stop();
    thread_.join();
  }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QLatin1String(path));
  }
  int port() const { return port_; }
  int pageHits() const { return pageHits_; }
  bool sawTarget(const std::string& target) {
    std::lock_guard lock(mutex_);
    return std::find(targets_.begin(), targets_.end(), target) != targets_.end();
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> targets_;
  std::atomic<int> pageHits_{0};
};

class EngineCallbacksTest : public BrowserFixture {
 protected:
  void TearDown() override {
    SetCurrentProxy(InternetProxySettings());
    NotifyInternetSettingsChanged();
    BrowserFixture::TearDown();
  }
  HWND docOf(TEmbeddedWB* b) { return b->FindChildWindowByClass("Internet Explorer_Server"); }

  Origin origin;
};

String monikerName(IMoniker* moniker, IBindCtx* context) {
  LPOLESTR name = nullptr;
  if (!moniker || FAILED(moniker->GetDisplayName(context, nullptr, &name))) return String();
  const String text = OleStrToString(name);
  CoTaskMemFree(name);
  return text;
}

// ---------------------------------------------------------------- downloads

TEST_F(EngineCallbacksTest, DownloadsGoToTheHostsManagerBeforeTheControlsOwnRoute) {
  ASSERT_TRUE(show(origin.url("/page")));
  // The wrapper's FileDownload is the control's own route; cancelled here so
  // that nothing is saved.
  int ownRoute = 0;
  static_cast<TEWB*>(wb)->OnFileDownload = [&](TObject*, bool, bool& cancel) {
    ++ownRoute;
    cancel = true;
  };
  std::vector<String> offered;
  HRESULT answer = S_OK;
  wb->OnFileDownload = [&](TObject*, IMoniker* pmk, IBindCtx* pbc, DWORD verb, LONG, BINDINFO* info,
                           const String&, const String&, UINT, HRESULT& rezult) {
    EXPECT_EQ(verb, DWORD(BINDVERB_GET));
    EXPECT_TRUE(info && info->cbSize == sizeof(BINDINFO));
    offered.push_back(monikerName(pmk, pbc));
    rezult = answer;
  };

  // The manager takes it: the control's own route is never asked.
  wb->Navigate(origin.url("/file.bin"));
  ASSERT_TRUE(testsupport::waitFor([&] { return offered.size() == 1; }));
  EXPECT_EQ(offered[0], origin.url("/file.bin"));
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_EQ(ownRoute, 0);

  // The manager declines (its default answer): the control goes on by itself.
  answer = E_NOTIMPL;
  wb->Navigate(origin.url("/file.bin"));
  ASSERT_TRUE(testsupport::waitFor([&] { return ownRoute == 1; }));
  EXPECT_EQ(offered.size(), 2u);

  // Without a handler the host serves no manager at all.
  wb->OnFileDownload = nullptr;
  wb->Navigate(origin.url("/file.bin"));
  ASSERT_TRUE(testsupport::waitFor([&] { return ownRoute == 2; }));
  EXPECT_EQ(offered.size(), 2u);
}

// ---------------------------------------------------------------- zoom

TEST_F(EngineCallbacksTest, OpticalZoomChangesReachTheHostOncePerNewPercentage) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("zoom.html", "<html><body>zoom</body></html>")).toString()));
  std::vector<ULONG> heard;
  wb->OnZoomPercentChange = [&](TObject*, ULONG percent) {
    heard.push_back(percent);
    return S_OK;
  };
  wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(150));
  EXPECT_EQ(heard, std::vector<ULONG>{150});
  wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(150));  // no change
  wb->SetZoom(3);  // the text size is no zoom percentage
  EXPECT_EQ(heard, std::vector<ULONG>{150});
  // A refused value changes nothing.
  EXPECT_THROW(wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(5)), Exception);
  wb->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(100));
  EXPECT_EQ(heard, (std::vector<ULONG>{150, 100}));
}

// ---------------------------------------------------------------- refresh

TEST_F(EngineCallbacksTest, RefreshIsAnnouncedToTheHostWhichMayCancelIt) {
  ASSERT_TRUE(show(origin.url("/page")));
  ASSERT_EQ(origin.pageHits(), 1);
  std::vector<DWORD> commands;
  bool cancel = true;
  wb->OnRefresh = [&](TObject*, DWORD cmd, bool& Cancel) {
    commands.push_back(cmd);
    Cancel = cancel;
  };

  wb->Refresh();
  EXPECT_EQ(commands, std::vector<DWORD>{2300});
  EXPECT_FALSE(wb->Busy());
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_EQ(origin.pageHits(), 1);

  // F5 in the document is the page's own refresh command.
  ASSERT_TRUE(docOf(wb));
  SendMessage(docOf(wb), WM_KEYDOWN, VK_F5, 0x003F0001);
  EXPECT_EQ(commands, (std::vector<DWORD>{2300, 6041}));
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_EQ(origin.pageHits(), 1);

  // Not cancelled: the page comes again.
  cancel = false;
  wb->Refresh2(OleVariant(int(REFRESH_COMPLETELY)));
  EXPECT_EQ(commands.back(), 2300u);
  ASSERT_TRUE(testsupport::waitFor([&] { return origin.pageHits() == 2; }));
  ASSERT_TRUE(complete(wb));
  SendMessage(docOf(wb), WM_KEYDOWN, VK_F5, 0x003F0001);
  EXPECT_EQ(commands.back(), 6041u);
  ASSERT_TRUE(testsupport::waitFor([&] { return origin.pageHits() == 3; }));
  ASSERT_TRUE(complete(wb));

  // Without a handler nothing stops the refresh.
  wb->OnRefresh = nullptr;
  wb->Refresh();
  ASSERT_TRUE(testsupport::waitFor([&] { return origin.pageHits() == 4; }));
}

// ---------------------------------------------------------------- URL cache

// The cache entry of `url` and the text of its file; false when there is none.
bool cachedPage(const QString& url, QByteArray& content, String& headers) {
  const std::u16string address = url.toStdU16String();
  DWORD size = 0;
  GetUrlCacheEntryInfoW(address.c_str(), nullptr, &size);
  if (size == 0) return false;
  std::vector<char> buffer(size);
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  if (!GetUrlCacheEntryInfoW(address.c_str(), info, &size)) return false;
  headers = OleStrToString(info->lpHeaderInfo);
  QFile file(OleStrToString(info->lpszLocalFileName));
  if (!file.open(QIODevice::ReadOnly)) return false;
  content = file.readAll();
  return true;
}

TEST_F(EngineCallbacksTest, LoadedNetworkPagesAreKeptInTheUrlCacheWithTheirSource) {
  const QString url = origin.url("/cached");
  ASSERT_TRUE(show(url));
  QByteArray content;
  String headers;
  ASSERT_TRUE(testsupport::waitFor([&] { return cachedPage(url, content, headers); }));
  EXPECT_TRUE(content.contains("<p id=\"mark\">cache me 1</p>")) << content.toStdString();
  EXPECT_TRUE(content.contains("<title>origin</title>"));
  EXPECT_TRUE(headers.startsWith("HTTP/1.1 200")) << headers.toStdString();

  // A reload replaces the entry with the page as it is now.
  wb->Refresh();
  ASSERT_TRUE(complete(wb));
  ASSERT_TRUE(testsupport::waitFor([&] { return cachedPage(url, content, headers) && content.contains("cache me 2"); }));

  // Local files are not Internet content.
  const QString local = QUrl::fromLocalFile(pagePath("local.html", "<html><body>local</body></html>")).toString();
  ASSERT_TRUE(show(local));
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_FALSE(cachedPage(local, content, headers));
}

// ---------------------------------------------------------------- proxy

TEST_F(EngineCallbacksTest, EngineRequestsFollowTheProcessProxy) {
  // The engine has run before the proxy is set: changes apply to a running engine.
  ASSERT_TRUE(show(origin.url("/page")));
  ASSERT_TRUE(wb->SetProxy(String(), QStringLiteral("127.0.0.1:%1").arg(origin.port())));
  EXPECT_EQ(QNetworkProxy::applicationProxy().type(), QNetworkProxy::HttpProxy);
  EXPECT_EQ(QNetworkProxy::applicationProxy().port(), origin.port());

  // A host nobody resolves: only the proxy can answer it.
  ASSERT_TRUE(show("http://noctivane-proxied.test/through"));
  EXPECT_TRUE(origin.sawTarget("http://noctivane-proxied.test/through"));
  EXPECT_EQ(wb->LocationName(), "proxied");

  // Close-down switches the proxy off for the engine as well.
  EmbeddedWB::finalize();
  EXPECT_FALSE(CurrentProxy().UsesProxy());
  EXPECT_EQ(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
  EmbeddedWB::initialize();
}

}  // namespace
