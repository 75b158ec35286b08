// Whether the shown page is secure, asked of a real browser control: an
// HTTPS page whose certificate the profile trusts is, the error page shown
// for a refused certificate at the same address is not.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/shdocvw/TrustedCertificates.h"
#include "tests/EmbeddedWB/EwbTestHost.h"
#include "tests/support/LoopbackServer.h"

#include <QDir>

namespace {

using ewbtest::BrowserFixture;
using testsupport::LoopbackServer;

class SecurePage : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    server.page("/account.html", "<html><head><title>Account</title></head><body>balance</body></html>");
    ASSERT_TRUE(server.start());
  }
  void TearDown() override {
    QDir(TrustedCertificatesDir()).removeRecursively();
    BrowserFixture::TearDown();
  }

  LoopbackServer server{LoopbackServer::Https};
};

TEST_F(SecurePage, ATrustedHttpsPageIsSecure) {
  ASSERT_TRUE(testsupport::writeFile(TrustedCertificatesDir() + "/account.pem", server.certificate().pem));
  ASSERT_TRUE(show(server.url("/account.html")));
  ASSERT_EQ(wb->LocationName(), "Account");
  String protocol, text;
  EXPECT_TRUE(wb->GetSSLStatus(protocol, text));
  EXPECT_EQ(protocol, "SSL");
  EXPECT_EQ(text, "It is a secure web page.");
}

TEST_F(SecurePage, TheErrorPageOfARefusedCertificateIsNotSecure) {
  bool refused = false;
  wb->OnNavigateError = [&](TObject*, IDispatch*, const OleVariant&, const OleVariant&,
                            const OleVariant& status,
                            bool&) { refused = status.toInt() == int(0x800C0019u); };
  ASSERT_TRUE(show(server.url("/account.html")));
  ASSERT_TRUE(refused);
  // The address still names the secure page; the document shown is not it.
  EXPECT_EQ(wb->LocationURL(), server.url("/account.html"));
  String protocol = "unchanged", text = "unchanged";
  EXPECT_FALSE(wb->GetSSLStatus(protocol, text));
  EXPECT_EQ(protocol, "unchanged");
  EXPECT_EQ(text, "unchanged");
}

}  // namespace
