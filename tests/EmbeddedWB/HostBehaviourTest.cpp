// The browser control's process-wide settings (user agent, proxy) and its
// focus handling: the wheel between two browsers, the re-focus message and
// the subclassed inner windows.
#include "EmbeddedWB/Source/EwbFocusControl.h"
#include "EmbeddedWB/Source/EwbMouseHook.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/Streaming.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/WebBrowser.h"
#include "platform/wininet/ProxyState.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QApplication>
#include <QNetworkProxy>
#include <QWheelEvent>

using namespace ewbtest;

namespace {

const char* const kPostPlatform =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post Platform";
const char* const kToken = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

QStringList postPlatformValues() {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  TStringList names;
  if (reg.OpenKey(QLatin1String(kPostPlatform), false)) reg.GetValueNames(names);
  QStringList out;
  for (int i = 0; i < names.Count(); ++i) out << names.Get(i);
  return out;
}

HWND docOf(TEmbeddedWB* b) { return b->FindChildWindowByClass("Internet Explorer_Server"); }
HWND viewOf(TEmbeddedWB* b) { return b->FindChildWindowByClass("Shell DocObject View"); }

QVariant pageScript(TEmbeddedWB* b, const QString& code) {
  QVariant v;
  EXPECT_TRUE(RunPageScript(WebBrowserObject::FromUnknown(b->DefaultInterface().Get())->Page(), code, &v));
  return v;
}

// A forward proxy on 127.0.0.1: it answers every request itself and keeps
// the request targets (absolute addresses when sent to a proxy).
class ForwardProxy {
 public:
  ForwardProxy() {
    server_.Get(R"(.*)", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex_);
        targets_.push_back(req.target);
      }
      res.set_content("<html><head><title>proxied</title></head><body>proxied</body></html>", "text/html");
    });
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    testsupport::waitFor([this] { return server_.is_running(); }, 5000);
  }
  ~ForwardProxy() {
    server_.stop();
    thread_.join();
  }
  int port() const { return port_; }
  bool saw(const std::string& target) {
    std::lock_guard lock(mutex_);
    return std::find(targets_.begin(), targets_.end(), target) != targets_.end();
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> targets_;
};

class HostBehaviourTest : public BrowserFixture {
 protected:
  void TearDown() override {
    SetCurrentProxy(InternetProxySettings());
    NotifyInternetSettingsChanged();
    BrowserFixture::TearDown();
  }
};

// ---------------------------------------------------------------- user agent

TEST_F(HostBehaviourTest, TheUserAgentTheServerSeesFollowsTheMode) {
  LoopbackServer server;
  ASSERT_TRUE(show(server.url("/page")));
  const std::string engineOwn = server.userAgent();
  ASSERT_FALSE(engineOwn.empty());

  wb->SetUserAgentMode(EmbeddedWB::uaInternal);
  wb->SetUserAgent("Noctivane-Test/3.1");
  ASSERT_TRUE(show(server.url("/page")));
  EXPECT_EQ(server.userAgent(), "Noctivane-Test/3.1");

  // Back to the browser's own.
  wb->SetUserAgentMode(EmbeddedWB::uaDefault);
  ASSERT_TRUE(show(server.url("/page")));
  EXPECT_EQ(server.userAgent(), engineOwn);

  // And internal again with the same text: announced anew.
  wb->SetUserAgentMode(EmbeddedWB::uaInternal);
  ASSERT_TRUE(show(server.url("/page")));
  EXPECT_EQ(server.userAgent(), "Noctivane-Test/3.1");
}

TEST_F(HostBehaviourTest, RemovingTheRegistryUserAgentKeepsOtherProgramsValues) {
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey(QLatin1String(kPostPlatform), true));
    reg.WriteString("OtherProgram/1.0", "");
  }
  wb->SetUserAgent("Q");
  wb->SetUserAgentMode(EmbeddedWB::uaRegistry);
  const QString ours = QString::fromLatin1(kToken) + "(Q)";
  EXPECT_TRUE(postPlatformValues().contains(ours));

  // A new text replaces only our value.
  wb->SetUserAgent("R");
  QStringList values = postPlatformValues();
  EXPECT_FALSE(values.contains(ours));
  EXPECT_TRUE(values.contains(QString::fromLatin1(kToken) + "(R)"));
  EXPECT_TRUE(values.contains("OtherProgram/1.0"));

  wb->SetUserAgentMode(EmbeddedWB::uaDefault);
  EXPECT_EQ(postPlatformValues(), QStringList{"OtherProgram/1.0"});

  // The control's end takes its value along, and nothing else.
  wb->SetUserAgentMode(EmbeddedWB::uaRegistry);
  EXPECT_EQ(postPlatformValues().size(), 2);
  delete wb;
  wb = nullptr;
  EXPECT_EQ(postPlatformValues(), QStringList{"OtherProgram/1.0"});

  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  reg.DeleteKey(QLatin1String(kPostPlatform));
}

// ---------------------------------------------------------------- proxy

TEST_F(HostBehaviourTest, ProxyAtLoadCarriesTheEnginesRequestsUntilCloseDown) {
  ForwardProxy proxy;
  auto* loaded = new TEmbeddedWB(form);
  ReadComponentRes(QStringLiteral("object ProxiedWB: TEmbeddedWB\n"
                                  "  ProxySettings.AutoLoadProxy = True\n"
                                  "  ProxySettings.Address = '127.0.0.1'\n"
                                  "  ProxySettings.Port = %1\n"
                                  "end\n")
                       .arg(proxy.port()),
                   loaded);
  EXPECT_EQ(CurrentProxy().proxyServer, QStringLiteral("127.0.0.1:%1").arg(proxy.port()));
  loaded->SetBounds(0, 0, 300, 200);
  loaded->SetParent(form);
  loaded->Navigate("http://noctivane-autoload.test/start");
  ASSERT_TRUE(complete(loaded));
  EXPECT_TRUE(proxy.saw("http://noctivane-autoload.test/start"));
  EXPECT_EQ(loaded->LocationName(), "proxied");

  // A refused later call keeps the proxy and the duty to remove it.
  EXPECT_FALSE(wb->SetProxyWithAuth(String(), "  ", "user", "pw", 8080));
  EXPECT_TRUE(CurrentProxy().UsesProxy());
  EmbeddedWB::finalize();
  EXPECT_FALSE(CurrentProxy().UsesProxy());
  EXPECT_EQ(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
  EmbeddedWB::initialize();
}

TEST_F(HostBehaviourTest, ProxySettingsWithoutAnAddressSetNothing) {
  int notices = 0;
  const int listener = AddInternetSettingsListener([&] { ++notices; });
  wb->ProxySettings()->SetAddress("");
  wb->ProxySettings()->SetPort(8080);
  wb->ApplyProxySettings();
  wb->ProxySettings()->SetUserName("user");
  wb->ApplyProxySettings();
  RemoveInternetSettingsListener(listener);
  EXPECT_EQ(notices, 0);
  EXPECT_FALSE(CurrentProxy().UsesProxy());

  // With an address the proxy text is address, colon, port.
  wb->ProxySettings()->SetUserName("");
  wb->ProxySettings()->SetAddress("proxy.example");
  wb->ApplyProxySettings();
  EXPECT_EQ(CurrentProxy().proxyServer, "proxy.example:8080");
  EXPECT_EQ(QNetworkProxy::applicationProxy().hostName(), "proxy.example");
  EXPECT_EQ(QNetworkProxy::applicationProxy().port(), 8080);
  // Nothing was taken from the test: close-down removes what the control set.
  EmbeddedWB::finalize();
  EXPECT_FALSE(CurrentProxy().UsesProxy());
  EmbeddedWB::initialize();
}

// ---------------------------------------------------------------- focus

class TwoBrowsersTest : public HostBehaviourTest {
 protected:
  void SetUp() override {
    HostBehaviourTest::SetUp();
    form->SetBounds(20, 20, 820, 400);
    right = new TEmbeddedWB(form);
    right->SetBounds(400, 0, 400, 300);
    right->SetParent(form);
    edit = new TEdit(form);
    edit->SetBounds(0, 320, 100, 24);
    edit->SetParent(form);
    const QString tall = QUrl::fromLocalFile(pagePath("tall.html", "<html><body style=\"height:5000px\">tall"
                                                                   "</body></html>"))
                             .toString();
    ASSERT_TRUE(show(tall));
    right->Navigate(tall);
    ASSERT_TRUE(complete(right));
    ASSERT_TRUE(testsupport::waitFor([&] { return docOf(wb) && docOf(right); }));
    form->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  }
  static void turnWheelOver(TEmbeddedWB* b) {
    QWidget* target = WidgetOf(docOf(b));
    ASSERT_NE(target, nullptr);
    const QPoint local(target->width() / 2, target->height() / 2);
    QWheelEvent e(QPointF(local), QPointF(target->mapToGlobal(local)), QPoint(), QPoint(0, -120), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&e);
    QApplication::instance()->notify(target, &e);
  }
  static double scrollY(TEmbeddedWB* b) { return pageScript(b, "window.scrollY").toDouble(); }

  TEmbeddedWB* right = nullptr;
  TEdit* edit = nullptr;
};

TEST_F(TwoBrowsersTest, WheelOverTheOtherBrowserFocusesItFirstAndScrollsItNext) {
  SetFocus(docOf(wb));
  turnWheelOver(right);
  EXPECT_EQ(GetFocus(), docOf(right));
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_EQ(scrollY(right), 0.0);

  turnWheelOver(right);
  EXPECT_TRUE(testsupport::waitFor([&] { return scrollY(right) > 0; }));
  EXPECT_EQ(scrollY(wb), 0.0);
}

TEST_F(TwoBrowsersTest, RefocusMessagePutsTheFocusIntoTheDocument) {
  // The browser is the active control, but the focus is not in its document.
  SetFocus(edit->Handle());
  form->SetActiveControl(right);
  ASSERT_NE(GetFocus(), docOf(right));
  PostMessage(right->Handle(), EwbFocusControl::WM_EWB_REFOCUS, WPARAM(right), 0);
  EXPECT_TRUE(testsupport::waitFor([&] { return GetFocus() == docOf(right); }));
  EXPECT_EQ(form->ActiveControl(), right);

  // Only while a browser is the form's active control.
  form->SetActiveControl(edit);
  PostMessage(right->Handle(), EwbFocusControl::WM_EWB_REFOCUS, WPARAM(right), 0);
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(GetFocus(), edit->Handle());
}

TEST_F(TwoBrowsersTest, FocusInTheInnerWindowsMakesTheBrowserTheActiveControl) {
  // Both document windows of each browser were hooked when they appeared.
  for (HWND inner : {docOf(right), viewOf(right)}) {
    form->SetActiveControl(edit);
    SendMessage(inner, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(form->ActiveControl(), right) << GetClassName(inner).toStdString();
    EXPECT_TRUE(testsupport::waitFor([&] { return GetFocus() == docOf(right); }));
  }

  // The end of the document window takes all the replacements back.
  const LONG_PTR hookedView = GetWindowLongPtr(viewOf(right), GWL_WNDPROC);
  DestroyWindow(docOf(right));
  EXPECT_NE(GetWindowLongPtr(viewOf(right), GWL_WNDPROC), hookedView);
  form->SetActiveControl(edit);
  SendMessage(viewOf(right), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), edit);

  // A new document window is hooked again.
  right->Navigate(QUrl::fromLocalFile(pagePath("again.html", "<html><body>again</body></html>")).toString());
  ASSERT_TRUE(complete(right));
  ASSERT_TRUE(testsupport::waitFor([&] { return docOf(right) != nullptr; }));
  form->SetActiveControl(edit);
  SendMessage(docOf(right), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), right);
}

TEST_F(TwoBrowsersTest, AFolderViewIsHookedFirstAndKeepsTheFocusItGot) {
  auto* folder = new TEmbeddedWB(form);
  folder->SetBounds(0, 0, 200, 100);
  folder->SetParent(form);
  // A folder shown in the view: its list view sits below a view window.
  ASSERT_TRUE(viewOf(folder));
  ASSERT_FALSE(docOf(folder));
  HWND defView = CreateWindowHandle("SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, viewOf(folder), nullptr,
                                    nullptr);
  HWND listView = CreateWindowHandle("SysListView32", "", WS_CHILD | WS_VISIBLE, 0, defView, nullptr, nullptr);
  ASSERT_EQ(folder->FindChildWindowByClass("SysListView32"), listView);
  ASSERT_EQ(folder->Exec(&CGID_Explorer, 39, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);

  // The folder view alone this time.
  form->SetActiveControl(edit);
  SendMessage(viewOf(folder), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), edit);
  SendMessage(listView, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), folder);

  // The next report hooks the document view as well.
  folder->Exec(&CGID_Explorer, 39, 0, nullptr, nullptr);
  form->SetActiveControl(edit);
  SendMessage(viewOf(folder), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), folder);
  DestroyWindow(defView);
  delete folder;
}

}  // namespace
