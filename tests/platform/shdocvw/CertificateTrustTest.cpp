// HTTPS pages in the browser: a certificate no authority signed is taken
// only when the profile trusts that very certificate for that host; any other
// is refused with the engine's error page and NavigateError.
#include "platform/com/Dispatch.h"
#include "platform/shdocvw/TrustedCertificates.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/platform/shdocvw/BrowserTestHost.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace browsertest;
using testsupport::LoopbackServer;
using testsupport::TestCertificate;

namespace {

constexpr int kInvalidCertificate = int(0x800C0019u);  // INET_E_INVALID_CERTIFICATE
constexpr LONG kSecure128Bit = 6;

class CertificateTrust : public ::testing::Test {
 protected:
  void SetUp() override {
    browser = MakeCom<WebBrowserObject>();
    sink = MakeCom<EventSink>();
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(browser->FindConnectionPoint(DIID_DWebBrowserEvents2, &point), S_OK);
    ASSERT_EQ(point->Advise(sink->GetUnknown(), &cookie), S_OK);
  }
  void TearDown() override {
    sink->events.clear();
    browser->Close(OLECLOSE_NOSAVE);
    QDir(TrustedCertificatesDir()).removeRecursively();
  }

  // Puts the certificate among the profile's trusted ones.
  static void trust(const TestCertificate& certificate, const QString& name) {
    ASSERT_TRUE(certificate.valid());
    ASSERT_TRUE(testsupport::writeFile(TrustedCertificatesDir() + "/" + name, certificate.pem));
  }
  static std::unique_ptr<LoopbackServer> secureServer(const TestCertificate& certificate = {}) {
    auto server = certificate.valid() ? std::make_unique<LoopbackServer>(certificate)
                                      : std::make_unique<LoopbackServer>(LoopbackServer::Https);
    server->page("/secure.html", "<html><head><title>Secure</title></head><body>inside</body></html>");
    EXPECT_TRUE(server->start());
    return server;
  }

  bool navigate(const QString& url) {
    sink->events.clear();
    OleVariant address(url);
    if (browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr) != S_OK) return false;
    return testsupport::waitFor(
        [this] {
          READYSTATE state;
          VARIANT_BOOL busy;
          browser->get_ReadyState(&state);
          browser->get_Busy(&busy);
          return state == READYSTATE_COMPLETE && busy == VARIANT_FALSE &&
                 sink->count(DISPID_DOCUMENTCOMPLETE) > 0;
        },
        15000);
  }
  // The document's location.protocol, asked by name as scripts of the host do.
  String documentProtocol() {
    ComPtr<IDispatch> document;
    EXPECT_EQ(browser->get_Document(&document), S_OK);
    DISPID id = DISPID_UNKNOWN;
    OleVariant location, protocol;
    if (!document || FAILED(DispatchGetIDOfName(document.Get(), "Location", id)) ||
        FAILED(DispatchGetProperty(document.Get(), id, location)))
      return "(no location)";
    ComPtr<IDispatch> object = location.toDispatch();
    if (!object || FAILED(DispatchGetIDOfName(object.Get(), "Protocol", id)) ||
        FAILED(DispatchGetProperty(object.Get(), id, protocol)))
      return "(no protocol)";
    return VarToStr(protocol);
  }
  String title() {
    BSTR text = nullptr;
    browser->get_LocationName(&text);
    const String s = BSTRToString(text);
    SysFreeString(text);
    return s;
  }
  bool announcedSecure() const {
    const Event* icon = sink->last(DISPID_SETSECURELOCKICON);
    return icon && icon->args[0].toInt() == kSecure128Bit;
  }
  void expectRefused(const QString& url) {
    ASSERT_TRUE(navigate(url)) << url.toStdString();
    const Event* error = sink->last(DISPID_NAVIGATEERROR);
    ASSERT_TRUE(error) << url.toStdString();
    EXPECT_EQ(error->args[3].toInt(), kInvalidCertificate);
    EXPECT_EQ(error->arg(1), url);
    // The engine's error page is the document: not the server's page, and not secure.
    EXPECT_NE(title(), "Secure");
    EXPECT_NE(documentProtocol(), "https:");
    EXPECT_FALSE(announcedSecure());
  }

  ComPtr<WebBrowserObject> browser;
  ComPtr<EventSink> sink;
  DWORD cookie = 0;
};

TEST_F(CertificateTrust, AnUntrustedCertificateIsRefusedWithTheErrorPage) {
  auto server = secureServer();
  expectRefused(server->url("/secure.html"));
  // Refusing is not remembered as a decision the other way.
  expectRefused(server->url("/secure.html"));
}

TEST_F(CertificateTrust, ACertificateTheProfileTrustsShowsTheSecurePage) {
  auto server = secureServer();
  trust(server->certificate(), "server.pem");
  ASSERT_TRUE(navigate(server->url("/secure.html")));
  EXPECT_EQ(sink->count(DISPID_NAVIGATEERROR), 0);
  EXPECT_EQ(title(), "Secure");
  EXPECT_EQ(documentProtocol(), "https:");
  EXPECT_TRUE(announcedSecure());
}

TEST_F(CertificateTrust, TrustIsForThatCertificateAndTheHostsItNames) {
  QTemporaryDir folder;
  // Another certificate for the same address, trusted, does not vouch for this one.
  trust(testsupport::MakeTestCertificate(folder.path(), {"127.0.0.1"}, "other"), "other.pem");
  auto unknown = secureServer();
  expectRefused(unknown->url("/secure.html"));

  // A trusted certificate made for another host name is refused at this address.
  const TestCertificate forLocalhost =
      testsupport::MakeTestCertificate(folder.path(), {"localhost"}, "named");
  trust(forLocalhost, "named.pem");
  auto named = secureServer(forLocalhost);
  expectRefused(named->url("/secure.html"));

  // A file of several certificates trusts each of them; files of other kinds are passed over.
  ASSERT_TRUE(testsupport::writeFile(TrustedCertificatesDir() + "/notes.txt", "not a certificate"));
  auto listed = secureServer();
  ASSERT_TRUE(testsupport::writeFile(TrustedCertificatesDir() + "/bundle.pem",
                                     forLocalhost.pem + listed->certificate().pem));
  ASSERT_TRUE(navigate(listed->url("/secure.html")));
  EXPECT_EQ(sink->count(DISPID_NAVIGATEERROR), 0);
  EXPECT_EQ(title(), "Secure");
}

}  // namespace
