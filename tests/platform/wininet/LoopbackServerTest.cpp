// The shared loopback server the network suites stand on, seen by a plain
// HTTP client: routes, recorded requests, the proxy stand-in, held answers,
// logins and the unusual bodies.
#include <gtest/gtest.h>

#include "tests/support/LoopbackServer.h"

#include <httplib.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

httplib::Client client(const LoopbackServer& server) {
  httplib::Client c("127.0.0.1", server.port());
  c.set_keep_alive(false);
  return c;
}

TEST(LoopbackServer, RoutesAnswerInOrderAndASetPatternIsReplacedInPlace) {
  LoopbackServer server;
  server.page("/a", "first");
  server.get(".*", [](const HttpRequest& req, HttpResponse& res) {
    res.status = 203;
    res.contentType = "text/plain";
    res.body = "any " + req.path;
    res.headers.emplace_back("Set-Cookie", "a=1");
    res.headers.emplace_back("Set-Cookie", "b=2");
  });
  server.post("/a", [](const HttpRequest& req, HttpResponse& res) { res.body = "posted " + req.body; });
  ASSERT_TRUE(server.start());
  httplib::Client c = client(server);

  EXPECT_EQ(c.Get("/a")->body, "first");
  auto other = c.Get("/b?x=1");
  EXPECT_EQ(other->status, 203);
  EXPECT_EQ(other->body, "any /b");
  EXPECT_EQ(other->get_header_value("Content-Type"), "text/plain");
  EXPECT_EQ(other->get_header_value_count("Set-Cookie"), 2u);
  EXPECT_EQ(c.Post("/a", "k=v", "text/plain")->body, "posted k=v");

  // Set again while running: the page keeps its place before the catch-all.
  server.page("/a", "second");
  EXPECT_EQ(c.Get("/a")->body, "second");
  // A method no route takes is not found.
  EXPECT_EQ(c.Post("/b", "", "text/plain")->status, 404);
}

TEST(LoopbackServer, EveryRequestIsRecordedBeforeItIsAnswered) {
  LoopbackServer server;
  server.get("/seen", [&server](const HttpRequest&, HttpResponse& res) {
    res.body = std::to_string(server.requestCount("/seen"));
  });
  ASSERT_TRUE(server.start());
  httplib::Client c = client(server);

  EXPECT_EQ(c.Get("/seen?q=1", {{"User-Agent", "One"}})->body, "1");
  EXPECT_EQ(c.Get("/nowhere", {{"User-Agent", "Two"}})->status, 404);
  EXPECT_EQ(server.requestCount(), 2);
  EXPECT_EQ(server.requestCount("/seen"), 1);
  EXPECT_EQ(server.requestCount("/else"), 0);

  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/seen?q=1");
  EXPECT_EQ(seen[0].path, "/seen");
  EXPECT_EQ(seen[0].params.at("q"), "1");
  EXPECT_EQ(seen[0].version, "HTTP/1.1");
  EXPECT_EQ(server.lastRequest().header("user-agent"), "Two");
  EXPECT_EQ(server.lastRequest("/seen").header("User-Agent"), "One");
  EXPECT_TRUE(server.lastRequest("/else").method.empty());
}

TEST(LoopbackServer, RequestsInAbsoluteFormGoToTheProxyRoute) {
  LoopbackServer server;
  server.page("/page", "direct");
  server.proxy([](const HttpRequest& req, HttpResponse& res) { res.body = "proxied " + req.header("Host"); });
  ASSERT_TRUE(server.start());

  httplib::Client proxied("www.proxied.test", 80);
  proxied.set_proxy("127.0.0.1", server.port());
  auto through = proxied.Get("/page");
  ASSERT_TRUE(through);
  EXPECT_EQ(through->body, "proxied www.proxied.test");
  EXPECT_EQ(server.lastRequest().target, "http://www.proxied.test:80/page");  // as the client names it

  EXPECT_EQ(client(server).Get("/page")->body, "direct");
}

TEST(LoopbackServer, HeldAnswersComeOnReleaseAndStopDoesNotWaitThemOut) {
  LoopbackServer server;
  server.slowPage("/slow", "late", 60000);
  std::atomic<int> releasedHolds{0};
  server.get("/held", [&](const HttpRequest&, HttpResponse& res) {
    if (server.hold(60000)) ++releasedHolds;
    res.body = "held";
  });
  ASSERT_TRUE(server.start());

  auto slow = std::async(std::launch::async, [&] { return client(server).Get("/slow")->body; });
  auto held = std::async(std::launch::async, [&] { return client(server).Get("/held"); });
  while (server.requestCount() < 2) std::this_thread::yield();
  server.release();
  EXPECT_EQ(slow.get(), "late");
  ASSERT_TRUE(held.get());
  EXPECT_EQ(releasedHolds, 1);
  // Once released, a later hold does not wait.
  EXPECT_TRUE(server.hold(60000));

  LoopbackServer stopping;
  stopping.get("/held", [&](const HttpRequest&, HttpResponse& res) {
    if (stopping.hold(60000)) ++releasedHolds;
    res.body = "held";
  });
  ASSERT_TRUE(stopping.start());
  auto cut = std::async(std::launch::async, [&] { return client(stopping).Get("/held"); });
  while (stopping.requestCount() < 1) std::this_thread::yield();
  stopping.stop();
  cut.get();
  EXPECT_EQ(releasedHolds, 2);
}

TEST(LoopbackServer, LoginPagesChallengeUntilTheRightCredentialsCome) {
  LoopbackServer server;
  server.loginPage("/private", "user", "secret", "inside", "refused");
  ASSERT_TRUE(server.start());
  httplib::Client c = client(server);

  auto refused = c.Get("/private");
  EXPECT_EQ(refused->status, 401);
  EXPECT_EQ(refused->body, "refused");
  EXPECT_EQ(refused->get_header_value("WWW-Authenticate"), "Basic realm=\"test\"");
  c.set_basic_auth("user", "wrong");
  EXPECT_EQ(c.Get("/private")->status, 401);
  c.set_basic_auth("user", "secret");
  auto inside = c.Get("/private");
  EXPECT_EQ(inside->status, 200);
  EXPECT_EQ(inside->body, "inside");
}

TEST(LoopbackServer, StreamedAndCutBodies) {
  LoopbackServer server;
  server.get("/stream", [](const HttpRequest&, HttpResponse& res) {
    res.stream = [](const std::function<bool(const std::string&)>& write) {
      return write("one,") && write("two");
    };
  });
  server.get("/dropped", [](const HttpRequest&, HttpResponse& res) {
    res.stream = [](const std::function<bool(const std::string&)>& write) {
      write("part");
      return false;
    };
  });
  server.get("/cut", [](const HttpRequest&, HttpResponse& res) {
    res.body = "0123456789";
    res.announcedLength = 1000;
  });
  server.get("/whole", [](const HttpRequest&, HttpResponse& res) {
    res.body = "0123456789";
    res.announcedLength = 4;  // smaller than the body: the body as it is
  });
  server.get("/measured", [](const HttpRequest&, HttpResponse& res) {
    res.announcedLength = 7;
    res.stream = [](const std::function<bool(const std::string&)>& write) {
      return write("one,") && write("two");
    };
  });
  server.get("/short", [](const HttpRequest&, HttpResponse& res) {
    res.announcedLength = 100;
    res.stream = [](const std::function<bool(const std::string&)>& write) { return write("one,"); };
  });
  ASSERT_TRUE(server.start());
  httplib::Client c = client(server);

  auto measured = c.Get("/measured");
  ASSERT_TRUE(measured);
  EXPECT_EQ(measured->body, "one,two");
  EXPECT_EQ(measured->get_header_value("Content-Length"), "7");
  EXPECT_FALSE(c.Get("/short"));

  auto streamed = c.Get("/stream");
  ASSERT_TRUE(streamed);
  EXPECT_EQ(streamed->body, "one,two");
  EXPECT_EQ(streamed->get_header_value("Transfer-Encoding"), "chunked");
  // A body that never ends properly is a failed request, not a short answer.
  EXPECT_FALSE(c.Get("/dropped"));
  EXPECT_FALSE(c.Get("/cut"));
  EXPECT_EQ(c.Get("/whole")->body, "0123456789");
}

}  // namespace
