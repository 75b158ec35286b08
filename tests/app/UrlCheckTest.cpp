// The address check of the tools window against loopback servers: a real
// HTTP server answering each status, a closed port, and a bare listener that
// keeps what arrives and never answers.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QUrl>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/FullScreen.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

// After the program's headers: the resolver header under it defines NOERROR.
#include <httplib.h>

namespace {

using FullScreen::UrlAnswersOk;
using Clock = std::chrono::steady_clock;

// Accepts one connection on 127.0.0.1 and keeps its first bytes; answers
// nothing until it is destroyed.
class SilentListener {
 public:
  SilentListener() {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len);
    ::listen(fd_, 1);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
      pollfd wait{fd_, POLLIN, 0};
      while (!stop_ && ::poll(&wait, 1, 50) <= 0) {
      }
      if (stop_) return;
      const int client = ::accept(fd_, nullptr, nullptr);
      char buffer[64];
      pollfd read{client, POLLIN, 0};
      while (!stop_ && ::poll(&read, 1, 50) <= 0) {
      }
      const ssize_t n = stop_ ? 0 : ::recv(client, buffer, sizeof buffer, 0);
      if (n > 0) first.assign(buffer, std::size_t(n));
      received = true;
      while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ::close(client);
    });
  }
  ~SilentListener() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  int port = 0;
  std::atomic<bool> received{false};
  std::string first;  // read once `received` is set

 private:
  int fd_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

class UrlCheck : public apptest::AppTest {};

TEST_F(UrlCheck, OnlyOkAndFoundCountAsAnsweringAndEachCheckAsksTheServer) {
  httplib::Server server;
  std::atomic<int> hits{0};
  for (const auto& [path, status] : {std::pair{"/ok", 200}, std::pair{"/found", 302},
                                     std::pair{"/moved", 301}, std::pair{"/missing", 404}})
    server.Get(path, [&hits, status = status](const httplib::Request&, httplib::Response& res) {
      ++hits;
      res.status = status;
      if (status / 100 == 3) res.set_header("Location", "/ok");
    });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&] { server.listen_after_bind(); });
  const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
  EXPECT_TRUE(UrlAnswersOk(base + "/ok"));
  EXPECT_TRUE(UrlAnswersOk(base + "/found"));
  EXPECT_FALSE(UrlAnswersOk(base + "/moved"));
  EXPECT_FALSE(UrlAnswersOk(base + "/missing"));
  EXPECT_TRUE(UrlAnswersOk(base + "/ok"));
  // No redirect was followed and nothing came from a cache.
  EXPECT_EQ(hits, 5);

  // Without a scheme the address goes over http, even when it mentions
  // another address; blanks and a scheme in capitals change nothing.
  const QString bare = QStringLiteral("127.0.0.1:%1").arg(port);
  EXPECT_TRUE(UrlAnswersOk(bare + "/ok"));
  EXPECT_FALSE(UrlAnswersOk(bare + "/missing"));
  EXPECT_TRUE(UrlAnswersOk(bare + "/ok?next=http://elsewhere.example/"));
  EXPECT_TRUE(UrlAnswersOk("  HTTP://" + bare + "/ok "));
  server.stop();
  thread.join();
}

TEST_F(UrlCheck, AnHttpsAddressIsAskedForAsItStands) {
  SilentListener listener;
  EXPECT_FALSE(UrlAnswersOk(QStringLiteral("https://127.0.0.1:%1/page").arg(listener.port), 1000));
  // What arrived opens a TLS handshake (a handshake record), not a plain request.
  ASSERT_TRUE(testsupport::waitFor([&] { return listener.received.load(); }));
  ASSERT_FALSE(listener.first.empty());
  EXPECT_EQ(listener.first[0], '\x16');
}

TEST_F(UrlCheck, FailuresAnswerFalse) {
  EXPECT_FALSE(UrlAnswersOk(QString()));
  EXPECT_FALSE(UrlAnswersOk("   "));
  int closedPort = 0;
  {
    SilentListener gone;
    closedPort = gone.port;
  }
  EXPECT_FALSE(UrlAnswersOk(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort)));
  EXPECT_FALSE(UrlAnswersOk(QStringLiteral("127.0.0.1:%1").arg(closedPort)));
  // A readable local file answers; other schemes no server answers over HTTP.
  const QString file = testsupport::profileDir() + "/checked.html";
  ASSERT_TRUE(testsupport::writeFile(file, "<html></html>"));
  EXPECT_TRUE(UrlAnswersOk(QUrl::fromLocalFile(file).toString()));
  EXPECT_FALSE(UrlAnswersOk(QUrl::fromLocalFile(file + ".missing").toString()));
  EXPECT_FALSE(UrlAnswersOk("ftp://127.0.0.1/"));
}

TEST_F(UrlCheck, AServerThatNeverAnswersIsGivenUpOnAfterTheTimeOut) {
  SilentListener listener;
  const auto started = Clock::now();
  EXPECT_FALSE(UrlAnswersOk(QStringLiteral("127.0.0.1:%1/slow").arg(listener.port), 700));
  const auto took = Clock::now() - started;
  ASSERT_TRUE(listener.received);
  EXPECT_EQ(listener.first.rfind("GET /slow HTTP/1.1\r\n", 0), 0u);
  EXPECT_GE(took, std::chrono::milliseconds(600));
  EXPECT_LT(took, std::chrono::seconds(6));
}

}  // namespace
