// Bindings to an HTTPS server whose certificate no one trusts: the problem is
// put to the client's IHttpSecurity, which alone may let the transfer go on.
#include <gtest/gtest.h>

#include "platform/wininet/WinInet.h"
#include "tests/platform/urlmon/BindRecorder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <vector>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

// Answers certificate problems as the test says and remembers them.
class SecurityAnswer : public ComObject<IHttpSecurity> {
 public:
  explicit SecurityAnswer(HRESULT answer) : answer_(answer) {}
  std::vector<DWORD> problems;

  HRESULT GetWindow(REFGUID, HWND* phwnd) override {
    *phwnd = nullptr;
    return S_OK;
  }
  HRESULT OnSecurityProblem(DWORD dwProblem) override {
    problems.push_back(dwProblem);
    return answer_;
  }

 private:
  HRESULT answer_;
};

class Certificate : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUrlMon();
    server_ = new LoopbackServer(LoopbackServer::Https);
    server_->page("/account", "<html>balance</html>");
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  // A recorder whose services answer certificate problems with `answer`
  // (none: no IHttpSecurity at all).
  static ComPtr<BindRecorder> recorder(ComPtr<SecurityAnswer> answer) {
    ComPtr<BindRecorder> r = MakeCom<BindRecorder>();
    if (answer) r->service = answer;
    return r;
  }
  static bool bind(BindRecorder* r, const QString& url) {
    return BindAsync(url, r) == MK_S_ASYNCHRONOUS && testsupport::waitFor([r] { return r->stopped; }, 10000);
  }

  static LoopbackServer* server_;
};

LoopbackServer* Certificate::server_ = nullptr;

TEST_F(Certificate, AnUntrustedIssuerFailsUnlessTheClientSaysSOk) {
  const int before = server_->requestCount();

  // Refused (S_FALSE is what a callback without an opinion answers).
  ComPtr<SecurityAnswer> no = MakeCom<SecurityAnswer>(S_FALSE);
  ComPtr<BindRecorder> refused = recorder(no);
  ASSERT_TRUE(bind(refused.Get(), server_->url("/account")));
  EXPECT_EQ(refused->result, INET_E_SECURITY_PROBLEM);
  EXPECT_EQ(no->problems, std::vector<DWORD>{ERROR_INTERNET_INVALID_CA});
  EXPECT_TRUE(refused->body.isEmpty());

  // No IHttpSecurity: refused without asking.
  ComPtr<BindRecorder> unasked = recorder(nullptr);
  ASSERT_TRUE(bind(unasked.Get(), server_->url("/account")));
  EXPECT_EQ(unasked->result, INET_E_SECURITY_PROBLEM);
  EXPECT_TRUE(unasked->body.isEmpty());
  // Neither request reached the server.
  EXPECT_EQ(server_->requestCount(), before);

  // Accepted: the page arrives, asked once.
  ComPtr<SecurityAnswer> yes = MakeCom<SecurityAnswer>(S_OK);
  ComPtr<BindRecorder> accepted = recorder(yes);
  ASSERT_TRUE(bind(accepted.Get(), server_->url("/account")));
  EXPECT_EQ(accepted->result, S_OK);
  EXPECT_EQ(accepted->body, "<html>balance</html>");
  EXPECT_EQ(yes->problems, std::vector<DWORD>{ERROR_INTERNET_INVALID_CA});
  EXPECT_TRUE(accepted->AllOnThread(QThread::currentThread()));
  EXPECT_EQ(server_->requestCount(), before + 1);

  // Any other answer than S_OK refuses as well.
  ComPtr<SecurityAnswer> failed = MakeCom<SecurityAnswer>(E_FAIL);
  ComPtr<BindRecorder> failing = recorder(failed);
  ASSERT_TRUE(bind(failing.Get(), server_->url("/account")));
  EXPECT_EQ(failing->result, INET_E_SECURITY_PROBLEM);
}

TEST_F(Certificate, AcceptingOneHostLeavesTheNextHostChecked) {
  // The second server is reached by name, so it is another host.
  LoopbackServer other(LoopbackServer::Https);
  other.page("/there", "<html>there</html>");
  ASSERT_TRUE(other.start());
  const std::string there = QStringLiteral("https://localhost:%1/there").arg(other.port()).toStdString();
  server_->get("/hop", [there](const HttpRequest&, HttpResponse& res) {
    res.status = 302;
    res.headers.emplace_back("Location", there);
  });

  ComPtr<SecurityAnswer> yes = MakeCom<SecurityAnswer>(S_OK);
  ComPtr<BindRecorder> accepted = recorder(yes);
  ASSERT_TRUE(bind(accepted.Get(), server_->url("/hop")));
  EXPECT_EQ(accepted->result, S_OK);
  EXPECT_EQ(accepted->body, "<html>there</html>");
  EXPECT_EQ(yes->problems.size(), 2u);
}

TEST_F(Certificate, ASynchronousBindAsksOnTheCallingThread) {
  ComPtr<SecurityAnswer> yes = MakeCom<SecurityAnswer>(S_OK);
  ComPtr<BindRecorder> accepted = recorder(yes);
  accepted->bindf = BINDF_NOWRITECACHE;
  ComPtr<IStream> stream;
  ASSERT_EQ(BindAsync(server_->url("/account"), accepted.Get(), &stream), S_OK);
  EXPECT_EQ(accepted->body, "<html>balance</html>");
  EXPECT_EQ(yes->problems.size(), 1u);

  ComPtr<BindRecorder> unasked = recorder(nullptr);
  unasked->bindf = BINDF_NOWRITECACHE;
  EXPECT_EQ(BindAsync(server_->url("/account"), unasked.Get(), &stream), INET_E_SECURITY_PROBLEM);
  EXPECT_TRUE(unasked->stopped);
}

}  // namespace
