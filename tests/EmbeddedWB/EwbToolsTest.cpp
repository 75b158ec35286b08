// The settings stores, the navigation sound switch, the proxy routines, the
// network check, the page security text and the fixed navigations of the
// browser units' utility routines.
#include "EmbeddedWB/Source/EwbTools.h"

#include "platform/com/ComObject.h"
#include "platform/rtl/Registry.h"
#include "platform/wininet/WinInet.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QHostInfo>
#include <QSysInfo>

#include <map>
#include <string>
#include <vector>

using namespace ewbtest;
using testsupport::HttpRequest;
using testsupport::HttpResponse;

namespace {

const QString programKey = "\\SOFTWARE\\Noctivane";

// Every key and value below `path` (HKEY_CURRENT_USER), one line each, in a
// stable order: what a move must carry over exactly.
QStringList dumpKey(const QString& path) {
  QStringList lines;
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKey(path, false)) return lines;
  TStringList values, keys;
  reg.GetValueNames(values);
  for (int i = 0; i < values.Count(); ++i) {
    const QString name = values[i];
    lines << QStringLiteral("%1 = %2").arg(name, reg.GetDataType(name) == rdInteger
                                                     ? QString::number(reg.ReadInteger(name))
                                                     : reg.ReadString(name));
  }
  reg.GetKeyNames(keys);
  for (int i = 0; i < keys.Count(); ++i) {
    lines << QStringLiteral("[%1]").arg(keys[i]);
    for (const QString& line : dumpKey(path + "\\" + keys[i])) lines << "  " + line;
  }
  return lines;
}

// ---------------------------------------------------------------- registry stores

class SettingsStoresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    Application->SetTitle("Noctivane");
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    reg.DeleteKey(programKey);
  }
  void TearDown() override {
    SetRegistryWritesFail(false);
    FinalizeForms();
  }
};

TEST_F(SettingsStoresTest, LastVisitedPageOutlivesTheProcessAndARefusingStore) {
  String url = "left over";
  EXPECT_FALSE(EwbTools::LoadLastVisitedPage(url));
  EXPECT_EQ(url, "");

  ASSERT_TRUE(EwbTools::SaveLastVisitedPage("http://www.example.test/last"));
  // Read back from the file, not from what this process holds.
  ResetRegistryStoreForTests();
  EXPECT_TRUE(EwbTools::LoadLastVisitedPage(url));
  EXPECT_EQ(url, "http://www.example.test/last");

  SetRegistryWritesFail(true);
  EXPECT_FALSE(EwbTools::SaveLastVisitedPage("http://www.example.test/lost"));
  SetRegistryWritesFail(false);
  ResetRegistryStoreForTests();
  EXPECT_TRUE(EwbTools::LoadLastVisitedPage(url));
  EXPECT_EQ(url, "http://www.example.test/last");

  // An empty page is stored but not offered.
  ASSERT_TRUE(EwbTools::SaveLastVisitedPage(""));
  EXPECT_FALSE(EwbTools::LoadLastVisitedPage(url));
  EXPECT_EQ(url, "");
}

TEST_F(SettingsStoresTest, FormSizeHoldsTheMainFormsBoundsAndStateAsIntegers) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  main->SetBounds(30, 40, 640, 480);
  main->SetWindowState(wsMaximized);
  EwbTools::SaveFormSize(nullptr);
  ResetRegistryStoreForTests();

  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKey(programKey + "\\FormSize", false));
  const std::map<QString, int> expected = {{"Top", main->Top()},
                                           {"Left", main->Left()},
                                           {"Width", main->Width()},
                                           {"Height", main->Height()},
                                           {"WindowState", 2}};
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(reg.GetDataType(name), rdInteger) << name.toStdString();
    EXPECT_EQ(reg.ReadInteger(name), value) << name.toStdString();
  }

  // A store that refuses writes keeps every value, and nothing is raised.
  main->SetWindowState(wsNormal);
  main->SetBounds(1, 2, 300, 200);
  SetRegistryWritesFail(true);
  EXPECT_NO_THROW(EwbTools::SaveFormSize(nullptr));
  SetRegistryWritesFail(false);
  ResetRegistryStoreForTests();
  EXPECT_EQ(reg.ReadInteger("WindowState"), 2);
  EXPECT_NE(reg.ReadInteger("Width"), 300);
}

TEST_F(SettingsStoresTest, StartPageIsWrittenForTheBrowserAndKeptWhenRefused) {
  const QString mainKey = "\\Software\\Microsoft\\Internet Explorer\\Main";
  EwbTools::SetIEStartPage("http://start.example.test/");
  ResetRegistryStoreForTests();
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey(mainKey, false));
  EXPECT_EQ(reg.ReadString("Start Page"), "http://start.example.test/");

  SetRegistryWritesFail(true);
  EXPECT_NO_THROW(EwbTools::SetIEStartPage("http://refused.test/"));
  SetRegistryWritesFail(false);
  EXPECT_EQ(reg.ReadString("Start Page"), "http://start.example.test/");
}

// ---------------------------------------------------------------- navigation sound

class NavigationSoundTest : public ::testing::Test {
 protected:
  const QString navigating = "\\AppEvents\\Schemes\\Apps\\Explorer\\Navigating";

  void SetUp() override {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    reg.DeleteKey("\\AppEvents");
  }
  void TearDown() override { SetRegistryWritesFail(false); }

  // A scheme entry as the sound settings leave it: the file as the default
  // value, with a subkey of its own.
  void makeScheme(const QString& name, const QString& file) {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey(navigating + "\\" + name, true));
    reg.WriteString("", file);
    reg.WriteInteger("Flags", 7);
    ASSERT_TRUE(reg.OpenKey("Details", true));
    reg.WriteString("Source", "scheme " + name);
  }
};

TEST_F(NavigationSoundTest, TwiceEachWayMovesTheSchemeAwayAndBackExactly) {
  makeScheme(".Current", "navigate.wav");
  const QStringList before = dumpKey(navigating);

  EwbTools::ToggleNavigationSound(true);
  const QStringList silenced = dumpKey(navigating);
  QStringList expected = before;
  expected.replaceInStrings("[.Current]", "[Old_Current]");
  EXPECT_EQ(silenced, expected);
  EwbTools::ToggleNavigationSound(true);
  EXPECT_EQ(dumpKey(navigating), silenced);

  EwbTools::ToggleNavigationSound(false);
  EXPECT_EQ(dumpKey(navigating), before);
  EwbTools::ToggleNavigationSound(false);
  EXPECT_EQ(dumpKey(navigating), before);
}

TEST_F(NavigationSoundTest, NothingToMoveChangesNothing) {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  // No scheme at all: no key appears.
  EwbTools::ToggleNavigationSound(true);
  EwbTools::ToggleNavigationSound(false);
  EXPECT_FALSE(reg.KeyExists(navigating));

  // Restoring without a hidden entry leaves the current one alone.
  makeScheme(".Current", "navigate.wav");
  const QStringList before = dumpKey(navigating);
  EwbTools::ToggleNavigationSound(false);
  EXPECT_EQ(dumpKey(navigating), before);

  // A hidden entry left over from an earlier run is not overwritten.
  makeScheme("Old_Current", "older.wav");
  const QStringList both = dumpKey(navigating);
  EwbTools::ToggleNavigationSound(true);
  EXPECT_EQ(dumpKey(navigating), both);

  // A store that refuses writes keeps the scheme, silently.
  reg.DeleteKey(navigating + "\\Old_Current");
  SetRegistryWritesFail(true);
  EXPECT_NO_THROW(EwbTools::ToggleNavigationSound(true));
  SetRegistryWritesFail(false);
  EXPECT_EQ(dumpKey(navigating), before);
}

// ---------------------------------------------------------------- proxy

// The status of a GET through a session that follows the process settings;
// 0 when the request fails.
DWORD getStatus(const QString& url) {
  HINTERNET session = InternetOpenW(u"EwbToolsTest/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return 0;
  DWORD status = 0;
  if (HINTERNET request = InternetOpenUrlW(session, reinterpret_cast<LPCWSTR>(url.utf16()), nullptr, 0,
                                           INTERNET_FLAG_RELOAD, 0)) {
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
      status = 0;
  }
  InternetCloseHandle(session);
  return status;
}

class ProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeWinInet();
    // Every request is answered, through the server as a proxy or straight.
    const auto recorded = [](const HttpRequest&, HttpResponse& res) {
      res.contentType = "text/plain";
      res.body = "recorded";
    };
    server.proxy(recorded);
    server.get(".*", recorded);
    ASSERT_TRUE(server.start());
    listener_ = AddInternetSettingsListener([this] { ++refreshes; });
  }
  void TearDown() override {
    RemoveInternetSettingsListener(listener_);
    SetCurrentProxy(InternetProxySettings());
  }
  QString proxyText() const { return QStringLiteral("127.0.0.1:%1").arg(server.port()); }
  QString proxied(const char* path) const { return QStringLiteral("http://www.proxied.test%1").arg(path); }

  // The request lines the server received: one sent to it as a proxy names
  // the absolute address ("GET http://host/path HTTP/1.1"), a direct one
  // only the path.
  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    for (const HttpRequest& r : server.requests())
      result.push_back(r.method + " " + r.target + " " + r.version);
    return result;
  }

  testsupport::LoopbackServer server;
  int refreshes = 0;

 private:
  int listener_ = 0;
};

TEST_F(ProxyTest, SetProxyIsReadBackAndCarriesRequestsUntilRemoved) {
  ASSERT_TRUE(EwbTools::SetProxy("Agent", proxyText()));
  EXPECT_EQ(refreshes, 1);
  const InternetProxySettings current = CurrentProxy();
  EXPECT_EQ(current.flags, PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY);
  EXPECT_EQ(current.proxyServer, proxyText());
  EXPECT_EQ(current.proxyBypass, "<local>");

  EXPECT_EQ(getStatus(proxied("/page?q=1")), 200u);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0], "GET http://www.proxied.test/page?q=1 HTTP/1.1");

  ASSERT_TRUE(EwbTools::RemoveProxy());
  EXPECT_EQ(refreshes, 2);
  EXPECT_FALSE(CurrentProxy().UsesProxy());
  // Requests go straight to the server again.
  EXPECT_EQ(getStatus(QStringLiteral("http://%1/direct").arg(proxyText())), 200u);
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_EQ(lines()[1], "GET /direct HTTP/1.1");
}

TEST_F(ProxyTest, SetProxyWithLoginUsesTheAddressAndThePort) {
  ASSERT_TRUE(EwbTools::SetProxyWithLogin("Agent", "127.0.0.1", "user", server.port(), "secret"));
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(CurrentProxy().proxyServer, proxyText());
  EXPECT_EQ(getStatus(proxied("/login")), 200u);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0], "GET http://www.proxied.test/login HTTP/1.1");

  // The ends of the port range are ports.
  EXPECT_TRUE(EwbTools::SetProxyWithLogin("Agent", " proxy.test ", "user", 1, ""));
  EXPECT_EQ(CurrentProxy().proxyServer, "proxy.test:1");
  EXPECT_TRUE(EwbTools::SetProxyWithLogin("Agent", "proxy.test", "user", 65535, ""));
  EXPECT_EQ(CurrentProxy().proxyServer, "proxy.test:65535");
}

TEST_F(ProxyTest, SetProxyWithLoginRefusesWhatCannotBeAProxy) {
  ASSERT_TRUE(EwbTools::SetProxyWithLogin("Agent", "127.0.0.1", "user", server.port(), "secret"));
  for (const auto& [address, port] :
       {std::pair{"", 8080}, std::pair{"   ", 8080}, std::pair{"proxy.test", 0}, std::pair{"proxy.test", -1},
        std::pair{"proxy.test", 65536}, std::pair{"proxy.test", 70000}}) {
    EXPECT_FALSE(EwbTools::SetProxyWithLogin("Agent", address, "user", port, "secret"))
        << address << ":" << port;
  }
  // The proxy in force stays, and nobody was told of a change.
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(CurrentProxy().proxyServer, proxyText());
  EXPECT_EQ(getStatus(proxied("/still")), 200u);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0], "GET http://www.proxied.test/still HTTP/1.1");
}

// ---------------------------------------------------------------- network check

TEST(CheckWinsockTest, AnswersTheMachinesNameAndOneOfItsAddresses) {
  String host = "unchanged", address = "unchanged", error = "unchanged";
  const bool ok = EwbTools::CheckWinsock(host, address, error);
  const QString machine = QSysInfo::machineHostName();
  QStringList known;
  for (const QHostAddress& a : QHostInfo::fromName(machine).addresses())
    if (a.protocol() == QAbstractSocket::IPv4Protocol) known << a.toString();

  if (known.isEmpty()) {
    // A name the resolver does not know: the outputs stay as they were.
    EXPECT_FALSE(ok);
    EXPECT_EQ(host, "unchanged");
    EXPECT_EQ(address, "unchanged");
    return;
  }
  ASSERT_TRUE(ok);
  EXPECT_EQ(host, machine);
  EXPECT_TRUE(known.contains(address)) << address.toStdString();
  EXPECT_EQ(error, "unchanged");
}

// ---------------------------------------------------------------- page security

// An automation object with fixed properties, standing in for a browser that
// shows a secure page (no secure server can be made on the loopback
// interface that the engine would trust).
class FixedProperties : public ComObject<IDispatch> {
 public:
  explicit FixedProperties(std::vector<std::pair<QString, OleVariant>> properties)
      : properties_(std::move(properties)) {}
  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (size_t i = 0; i < properties_.size(); ++i)
      if (count == 1 && properties_[i].first.compare(OleStrToString(names[0]), Qt::CaseInsensitive) == 0) {
        ids[0] = DISPID(i + 1);
        return S_OK;
      }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (id < 1 || size_t(id) > properties_.size() || !(flags & DISPATCH_PROPERTYGET) || !result)
      return DISP_E_MEMBERNOTFOUND;
    return VariantCopy(result, &properties_[id - 1].second);
  }

 private:
  std::vector<std::pair<QString, OleVariant>> properties_;
};

// A browser whose document's location has the given protocol.
OleVariant browserShowing(const QString& protocol) {
  auto location = MakeCom<FixedProperties>(std::vector{std::pair{QString("protocol"), OleVariant(protocol)}});
  auto document =
      MakeCom<FixedProperties>(std::vector{std::pair{QString("location"), OleVariant(location.Get())}});
  auto browser =
      MakeCom<FixedProperties>(std::vector{std::pair{QString("Document"), OleVariant(document.Get())}});
  return OleVariant(browser.Get());
}

TEST(PageSecurityTextTest, OnlyAnHttpsAddressWithAnHttpsDocumentIsSecure) {
  String protocol = "unchanged", text = "unchanged";
  EXPECT_TRUE(EwbTools::PageSecurityText(browserShowing("https:"), "https://bank.test/", protocol, text));
  EXPECT_EQ(protocol, "SSL");
  EXPECT_EQ(text, "It is a secure web page.");

  // The address is looked at first, case and all.
  for (const char* url : {"http://bank.test/", "HTTPS://bank.test/", ""}) {
    protocol = text = "unchanged";
    EXPECT_FALSE(EwbTools::PageSecurityText(browserShowing("https:"), url, protocol, text)) << url;
    EXPECT_EQ(protocol, "None");
    EXPECT_EQ(text, "The page is not secured.");
  }

  // An https address whose document says otherwise, or cannot say: nothing
  // is written.
  for (const OleVariant& browser : {browserShowing("http:"), OleVariant(), OleVariant(5)}) {
    protocol = text = "unchanged";
    EXPECT_FALSE(EwbTools::PageSecurityText(browser, "https://bank.test/", protocol, text));
    EXPECT_EQ(protocol, "unchanged");
    EXPECT_EQ(text, "unchanged");
  }
}

// ---------------------------------------------------------------- the browser's fixed pages

class FixedPagesTest : public BrowserFixture {
 protected:
  void SetUp() override {
    InitializeWinInet();
    BrowserFixture::SetUp();
    // Every navigation is recorded and refused, so nothing leaves the machine.
    wb->OnBeforeNavigate2 = [this](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                                   const OleVariant&, const OleVariant&, const OleVariant&, bool& cancel) {
      urls.push_back(VarToStr(url));
      cancel = true;
    };
  }
  void TearDown() override {
    SetCurrentProxy(InternetProxySettings());
    BrowserFixture::TearDown();
  }
  // The next address the browser was sent to, fully encoded (the event
  // shows spaces decoded); empty when none came.
  QString next() {
    const size_t want = seen + 1;
    if (!testsupport::waitFor([&] { return urls.size() >= want; }, 10000)) return QString();
    return QUrl(urls[seen++]).toString(QUrl::FullyEncoded);
  }

  std::vector<QString> urls;
  size_t seen = 0;
};

TEST_F(FixedPagesTest, SearchTextIsPercentEncodedAsTheQueryDeclares) {
  const QString search = EwbTools::SearchUrl;
  ASSERT_TRUE(search.startsWith("http://") && search.endsWith("/search?ie=ISO-8859-1&q="));
  // A blank address goes nowhere, so the first navigation seen is the search.
  EwbTools::NavigateTo(wb, "   ");
  EwbTools::SearchWeb(wb, "a b&c=d+e#f/?");
  EXPECT_EQ(next(), search + "a%20b%26c%3Dd%2Be%23f%2F%3F");
  wb->SearchText(QString::fromUtf8("caf\u00e9 \u65e5\U0001F600"));
  EXPECT_EQ(next(), search + "caf%E9%20%26%2326085%3B%26%23128512%3B");
  EwbTools::SearchWeb(wb, "");
  EXPECT_EQ(next(), search);
}

TEST_F(FixedPagesTest, WebMailButtonsGoToTheirServices) {
  EXPECT_TRUE(EwbTools::GoWebmailA(wb));
  EXPECT_EQ(next(), EwbTools::WebmailAUrl);
  EXPECT_TRUE(EwbTools::GoWebmailB(wb));
  EXPECT_EQ(next(), EwbTools::WebmailBUrl);
  EXPECT_TRUE(EwbTools::GoWebmailC(wb));
  EXPECT_EQ(next(), EwbTools::WebmailCUrl);
}

TEST_F(FixedPagesTest, ControlAppliesItsProxySettingsThroughTheRoutines) {
  EmbeddedWB::TProxySettings& settings = *wb->ProxySettings();
  settings.SetAddress("127.0.0.1");
  settings.SetPort(3128);
  settings.SetUserName("user");
  wb->ApplyProxySettings();
  EXPECT_EQ(CurrentProxy().proxyServer, "127.0.0.1:3128");

  // A port beyond the range is refused, not wrapped around to another port.
  settings.SetPort(65536 + 8080);
  wb->ApplyProxySettings();
  EXPECT_EQ(CurrentProxy().proxyServer, "127.0.0.1:3128");
}

}  // namespace
