#pragma once
// What the browser-control tests share: a shown form holding a TEmbeddedWB,
// pages in the profile folder and a loopback server with a slow page.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/classlib/Forms.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QUrl>

namespace ewbtest {

using EmbeddedWB::TEmbeddedWB;

// Writes a page into the profile folder; answers its path.
inline QString pagePath(const QString& name, const QByteArray& html) {
  const QString path = testsupport::profileDir() + "/ewb/" + name;
  testsupport::writeFile(path, html);
  return path;
}

// A loopback server: "/page" answers at once, "/slow" holds its answer until
// released (or 8 s).
class LoopbackServer : public testsupport::LoopbackServer {
 public:
  LoopbackServer() {
    page("/page", "<html><head><title>served</title></head><body>ok</body></html>");
    slowPage("/slow", "<html><body>late</body></html>", 8000);
    start();
  }
  // The user agent of the last "/page" request.
  std::string userAgent() const { return lastRequest("/page").header("User-Agent"); }
};

// A shown form with a browser control of 400 x 300 on it.
class BrowserFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    EmbeddedWB::initialize();
    Application->SetTitle(QStringLiteral("Noctivane"));
    form = NewForm<TForm>(nullptr);
    form->SetBounds(20, 20, 500, 400);
    wb = new TEmbeddedWB(form);
    wb->SetBounds(0, 0, 400, 300);
    wb->SetParent(form);
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }
  void TearDown() override {
    delete form;
    EmbeddedWB::finalize();
    FinalizeForms();
  }

  // Waits (bounded) until the browser is complete and idle.
  static bool complete(TEmbeddedWB* b, int timeoutMs = 10000) {
    return testsupport::waitFor([b] { return b->ReadyState() == READYSTATE_COMPLETE && !b->Busy(); },
                                timeoutMs);
  }
  // Navigates and waits for the page.
  bool show(const QString& url) {
    wb->Navigate(url);
    return complete(wb);
  }

  TForm* form = nullptr;
  TEmbeddedWB* wb = nullptr;
};

}  // namespace ewbtest
