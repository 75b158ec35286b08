#pragma once
// What the browser-control tests share: a shown form holding a TEmbeddedWB,
// pages in the profile folder and a loopback server with a slow page.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/classlib/Forms.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QTest>
#include <QUrl>

#include <atomic>
#include <mutex>
#include <ostream>
#include <thread>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace ewbtest {

using EmbeddedWB::TEmbeddedWB;

// Writes a page into the profile folder; answers its path.
inline QString pagePath(const QString& name, const QByteArray& html) {
  const QString path = testsupport::profileDir() + "/ewb/" + name;
  testsupport::writeFile(path, html);
  return path;
}

// A loopback server: "/page" answers at once (remembering the user agent),
// "/slow" holds its answer until released (or 8 s).
class LoopbackServer {
 public:
  LoopbackServer() {
    server_.Get("/page", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex_);
        userAgent_ = req.get_header_value("User-Agent");
      }
      res.set_content("<html><head><title>served</title></head><body>ok</body></html>", "text/html");
    });
    server_.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
      for (int i = 0; i < 160 && !released_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      res.set_content("<html><body>late</body></html>", "text/html");
    });
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    testsupport::waitFor([this] { return server_.is_running(); }, 5000);
  }
  ~LoopbackServer() {
    released_ = true;
    server_.stop();
    thread_.join();
  }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QLatin1String(path));
  }
  std::string userAgent() {
    std::lock_guard lock(mutex_);
    return userAgent_;
  }
  void release() { released_ = true; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::string userAgent_;
  std::atomic<bool> released_{false};
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
