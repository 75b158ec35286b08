// Both windows on HTTPS pages: a page whose certificate the profile trusts
// closes the lock and the information panel calls it secure; a refused
// certificate's error page, or a plain page, leaves the lock open.
#include <gtest/gtest.h>

#include <QDir>
#include <QUrl>

#include "EmbeddedWB/Source/EwbFocusControl.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/shdocvw/TrustedCertificates.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

namespace {

using FullScreen::FullScreenForm;
using FullScreen::TFullScreenForm;
using Menu::MyMenuForm;
using Menu::TMyMenuForm;
using testsupport::LoopbackServer;

constexpr const char* kPage = "<html><head><title>Account</title></head><body>balance</body></html>";

class SecurePages : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    focusFixWasOn_ = EwbFocusControl::TEWBFocusControl::Instance() != nullptr;
    // A host query that answers at once, so that the panel is complete.
    Menu::SetLocalHostQuery([](String& name, String& address, String&) {
      name = "testhost";
      address = "127.0.0.9";
      return true;
    });
    for (LoopbackServer* server : {&trusted, &refused, &plain}) {
      server->page("/account.html", kPage);
      ASSERT_TRUE(server->start());
    }
    ASSERT_TRUE(testsupport::writeFile(TrustedCertificatesDir() + "/bank.pem", trusted.certificate().pem));
    setStartPage(QStringLiteral("about:blank"));
  }
  void TearDown() override {
    AppTest::TearDown();
    Menu::SetLocalHostQuery({});
    QDir(TrustedCertificatesDir()).removeRecursively();
    if (focusFixWasOn_) EwbFocusControl::TEWBFocusControl::Activate();
  }

  template <class Form>
  static bool Arrived(Form* f, const QString& url) {
    return testsupport::waitFor(
        [&] {
          return f->WB->LocationURL() == url && f->WB->ReadyState() == READYSTATE_COMPLETE && !f->WB->Busy();
        },
        15000);
  }
  // The information panel's security line, once the panel is whole again.
  static QString SecurityLine(TMyMenuForm* f) {
    if (!testsupport::waitFor([&] { return f->InfoEdit->Lines()->Count() == 11; }))
      return "(panel not filled)";
    return f->InfoEdit->Lines()->Strings()[8];
  }

  LoopbackServer trusted{LoopbackServer::Https};
  LoopbackServer refused{LoopbackServer::Https};
  LoopbackServer plain;

 private:
  bool focusFixWasOn_ = false;
};

TEST_F(SecurePages, TheMainWindowClosesItsLockOnlyOnATrustedSecurePage) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
  ASSERT_TRUE(Arrived(f, "about:blank"));

  f->InfoEdit->Lines()->Clear();
  f->WB->Go(trusted.url("/account.html"));
  ASSERT_TRUE(Arrived(f, trusted.url("/account.html")));
  EXPECT_EQ(f->WB->LocationName(), "Account");
  EXPECT_TRUE(f->SSLImage->Visible());
  EXPECT_FALSE(f->UnlockImage->Visible());
  EXPECT_EQ(SecurityLine(f), "Security Status ...... It is a secure web page.");

  // The error page at a secure address: open lock, and no secure text.
  f->InfoEdit->Lines()->Clear();
  f->WB->Go(refused.url("/account.html"));
  ASSERT_TRUE(Arrived(f, refused.url("/account.html")));
  EXPECT_NE(f->WB->LocationName(), "Account");
  EXPECT_FALSE(f->SSLImage->Visible());
  EXPECT_TRUE(f->UnlockImage->Visible());
  EXPECT_EQ(SecurityLine(f), "Security Status ...... ");

  f->InfoEdit->Lines()->Clear();
  f->WB->Go(plain.url("/account.html"));
  ASSERT_TRUE(Arrived(f, plain.url("/account.html")));
  EXPECT_FALSE(f->SSLImage->Visible());
  EXPECT_TRUE(f->UnlockImage->Visible());
  EXPECT_EQ(SecurityLine(f), "Security Status ...... The page is not secured.");
}

TEST_F(SecurePages, TheToolsWindowShowsTheClosedLockOnATrustedSecurePage) {
  Application->CreateForm(MyMenuForm);
  Application->CreateForm(FullScreenForm);
  TFullScreenForm* f = FullScreenForm;
  ASSERT_TRUE(Arrived(f, "about:blank"));
  // Shown, as the user sees it (the main window, which the offscreen
  // platform cannot put behind, is hidden).
  MyMenuForm->Hide();
  f->Show();
  ASSERT_TRUE(testsupport::waitFor([&] { return f->Widget()->isVisible(); }));
  EXPECT_FALSE(f->SSLImage->Visible());

  f->WB->Go(trusted.url("/account.html"));
  ASSERT_TRUE(Arrived(f, trusted.url("/account.html")));
  EXPECT_TRUE(f->SSLImage->Visible());
  EXPECT_FALSE(f->UnlockImage->Visible());

  f->WB->Go(refused.url("/account.html"));
  ASSERT_TRUE(Arrived(f, refused.url("/account.html")));
  EXPECT_FALSE(f->SSLImage->Visible());
  EXPECT_TRUE(f->UnlockImage->Visible());
}

}  // namespace
