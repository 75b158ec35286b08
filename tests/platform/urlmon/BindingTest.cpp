// Asynchronous and synchronous binding of URL monikers against a loopback
// server and real files.
#include <gtest/gtest.h>

#include "platform/wininet/HttpInfo.h"
#include "platform/wininet/ProxyState.h"
#include "tests/platform/urlmon/BindRecorder.h"
#include "tests/platform/wininet/Wide.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

QByteArray pageBody() {
  QByteArray bytes;
  for (int i = 0; bytes.size() < 300 * 1024; ++i) bytes += "<p>line " + QByteArray::number(i) + "</p>\n";
  return bytes;
}

std::atomic<int> slowChunksSent{0};

// A loopback port that nobody listens on (taken and given back at once).
int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

class Binding : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUrlMon();
    server_ = new LoopbackServer;
    server_->get("/page", [](const HttpRequest&, HttpResponse& res) {
      const QByteArray body = pageBody();
      res.contentType = "text/html; charset=utf-8";
      res.body = body.toStdString();
    });
    server_->get("/moved", [](const HttpRequest&, HttpResponse& res) {
      res.status = 302;
      res.headers.emplace_back("Location", "/page");
    });
    server_->get("/missing", [](const HttpRequest&, HttpResponse& res) {
      res.status = 404;
      res.contentType = "text/plain";
      res.body = "nope";
    });
    server_->get("/echo", [](const HttpRequest& req, HttpResponse& res) {
      const std::string text = "X-Test=" + req.header("X-Test") + "\nUser-Agent=" + req.header("User-Agent");
      res.contentType = "text/plain";
      res.body = text;
    });
    server_->post("/echo", [](const HttpRequest& req, HttpResponse& res) {
      res.contentType = "text/plain";
      res.body = "posted:" + req.body;
    });
    server_->get("/secret", [](const HttpRequest& req, HttpResponse& res) {
      // "user:pw" in Basic form.
      if (req.header("Authorization") == "Basic dXNlcjpwdw==") {
        res.contentType = "text/plain";
        res.body = "welcome";
      } else {
        res.status = 401;
        res.headers.emplace_back("WWW-Authenticate", "Basic realm=\"test\"");
      }
    });
    server_->get("/slow", [](const HttpRequest&, HttpResponse& res) {
      res.contentType = "text/plain";
      res.stream = [](const std::function<bool(const std::string&)>& write) {
        for (int i = 0; i < 100; ++i) {
          if (!write("0123456789abcdef")) return false;
          ++slowChunksSent;
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
      };
    });
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  static QString url(const char* path) { return server_->url(path); }

  // Waits until the recorder heard OnStopBinding.
  static bool waitForStop(BindRecorder* recorder, int timeoutMs = 10000) {
    return testsupport::waitFor([recorder] { return recorder->stopped; }, timeoutMs);
  }

  static LoopbackServer* server_;
};

LoopbackServer* Binding::server_ = nullptr;

TEST_F(Binding, AsynchronousBindReportsEverythingInOrderOnTheStartingThread) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  DWORD contentLength = 0;
  String contentType;
  recorder->onResponse = [&](IBinding* binding) {
    // The response head is readable through the binding from here on.
    ComPtr<IWinInetHttpInfo> info;
    ASSERT_EQ(binding->QueryInterface(IID_IWinInetHttpInfo, &info), S_OK);
    DWORD size = sizeof contentLength;
    EXPECT_EQ(info->QueryInfo(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength, &size,
                              nullptr, nullptr),
              S_OK);
    char text[128] = {};
    size = sizeof text;
    EXPECT_EQ(info->QueryInfo(HTTP_QUERY_CONTENT_TYPE, text, &size, nullptr, nullptr), S_OK);
    contentType = QString::fromLatin1(text, int(size));
  };

  ComPtr<IStream> stream;
  ASSERT_EQ(BindAsync(url("/page"), recorder.Get(), &stream), MK_S_ASYNCHRONOUS);
  EXPECT_FALSE(stream);
  // Only the start is told before BindToStorage returns.
  ASSERT_EQ(recorder->events.size(), 1u);
  EXPECT_EQ(recorder->events[0].kind, BindEvent::Start);
  ASSERT_TRUE(waitForStop(recorder.Get()));

  EXPECT_EQ(recorder->result, S_OK);
  EXPECT_TRUE(recorder->AllOnThread(QThread::currentThread()));
  EXPECT_EQ(recorder->body, pageBody());
  EXPECT_EQ(contentLength, DWORD(pageBody().size()));
  EXPECT_EQ(contentType, QStringLiteral("text/html; charset=utf-8"));

  // The statuses come in the order of the transfer.
  const std::vector<ULONG> statuses = recorder->Statuses();
  const std::vector<ULONG> expected = {BINDSTATUS_FINDINGRESOURCE,   BINDSTATUS_CONNECTING,
                                       BINDSTATUS_SENDINGREQUEST,    BINDSTATUS_MIMETYPEAVAILABLE,
                                       BINDSTATUS_BEGINDOWNLOADDATA, BINDSTATUS_ENDDOWNLOADDATA};
  auto at = statuses.begin();
  for (ULONG status : expected) {
    at = std::find(at, statuses.end(), status);
    ASSERT_NE(at, statuses.end()) << "status " << status << " missing or out of order";
  }
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), BINDSTATUS_BEGINDOWNLOADDATA), 1);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), BINDSTATUS_ENDDOWNLOADDATA), 1);
  // Written into no cache with BINDF_NOWRITECACHE.
  EXPECT_EQ(recorder->FirstProgress(BINDSTATUS_CACHEFILENAMEAVAILABLE), nullptr);
  EXPECT_EQ(recorder->FirstProgress(BINDSTATUS_FINDINGRESOURCE)->text, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(recorder->FirstProgress(BINDSTATUS_MIMETYPEAVAILABLE)->text, QStringLiteral("text/html"));
  const BindEvent* end = recorder->FirstProgress(BINDSTATUS_ENDDOWNLOADDATA);
  EXPECT_EQ(end->progress, ULONG(pageBody().size()));
  EXPECT_EQ(end->progressMax, ULONG(pageBody().size()));

  // The response comes before the data; data notifications begin with the
  // first, end with the last, and the reported size grows to the whole body.
  const auto response = std::find_if(recorder->events.begin(), recorder->events.end(),
                                     [](const BindEvent& e) { return e.kind == BindEvent::Response; });
  const auto firstData = std::find_if(recorder->events.begin(), recorder->events.end(),
                                      [](const BindEvent& e) { return e.kind == BindEvent::Data; });
  ASSERT_NE(response, recorder->events.end());
  EXPECT_EQ(response->status, 200u);
  EXPECT_TRUE(response->text.startsWith(QStringLiteral("HTTP/1.1 200")));
  EXPECT_LT(response, firstData);
  const std::vector<DWORD> flags = recorder->DataFlags();
  ASSERT_GE(flags.size(), 2u);
  EXPECT_TRUE(flags.front() & BSCF_FIRSTDATANOTIFICATION);
  EXPECT_TRUE(flags.back() & BSCF_LASTDATANOTIFICATION);
  for (size_t i = 1; i + 1 < flags.size(); ++i) EXPECT_EQ(flags[i], DWORD(BSCF_INTERMEDIATEDATANOTIFICATION));
  EXPECT_EQ(recorder->events[recorder->events.size() - 2].progress, ULONG(pageBody().size()));
  EXPECT_EQ(recorder->events.back().kind, BindEvent::Stop);

  // The result stays readable after the end.
  CLSID protocol{};
  DWORD result = 1;
  LPOLESTR text = nullptr;
  ASSERT_EQ(recorder->binding->GetBindResult(&protocol, &result, &text, nullptr), S_OK);
  EXPECT_EQ(protocol, CLSID_HttpProtocol);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(recorder->binding->Abort(), INET_E_RESULT_DISPATCHED);
}

TEST_F(Binding, HttpErrorsAndUnreachableServersEndWithTheirResults) {
  ComPtr<BindRecorder> missing = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(url("/missing"), missing.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(missing.Get()));
  EXPECT_EQ(missing->result, INET_E_RESOURCE_NOT_FOUND);
  EXPECT_TRUE(missing->DataFlags().empty());
  EXPECT_NE(std::find_if(missing->events.begin(), missing->events.end(),
                         [](const BindEvent& e) { return e.kind == BindEvent::Response && e.status == 404; }),
            missing->events.end());

  // A port nobody listens on.
  const int port = freePort();
  ASSERT_GT(port, 0);
  ComPtr<BindRecorder> closed = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(QStringLiteral("http://127.0.0.1:%1/").arg(port), closed.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(closed.Get()));
  EXPECT_EQ(closed->result, INET_E_CANNOT_CONNECT);
  EXPECT_FALSE(closed->events.back().text.isEmpty());  // the error's text
  EXPECT_EQ(closed->FirstProgress(BINDSTATUS_CONNECTING), nullptr);

  // A scheme nothing can fetch.
  ComPtr<BindRecorder> unknown = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(QStringLiteral("gopher://127.0.0.1/"), unknown.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(unknown.Get()));
  EXPECT_EQ(unknown->result, INET_E_UNKNOWN_PROTOCOL);
}

TEST_F(Binding, RedirectsAreFollowedAndReported) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(url("/moved"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->result, S_OK);
  const BindEvent* redirect = recorder->FirstProgress(BINDSTATUS_REDIRECTING);
  ASSERT_NE(redirect, nullptr);
  EXPECT_EQ(redirect->text, url("/page"));
  EXPECT_EQ(recorder->body, pageBody());
  // Only the final response is negotiated.
  EXPECT_EQ(std::count_if(recorder->events.begin(), recorder->events.end(),
                          [](const BindEvent& e) { return e.kind == BindEvent::Response; }),
            1);
}

TEST_F(Binding, NegotiatedHeadersAndPostedDataReachTheServer) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  recorder->extraHeaders = QStringLiteral("X-Test: hello\r\nUser-Agent: Custom/2.0\r\n\r\n");
  ASSERT_EQ(BindAsync(url("/echo"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->body, QByteArray("X-Test=hello\nUser-Agent=Custom/2.0"));

  // Without a header of its own the binding names its agent.
  ComPtr<BindRecorder> plain = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(url("/echo"), plain.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(plain.Get()));
  EXPECT_EQ(plain->body, "X-Test=\nUser-Agent=" + UrlMonUserAgent().toUtf8());

  ComPtr<BindRecorder> post = MakeCom<BindRecorder>();
  post->verb = BINDVERB_POST;
  post->postBody = "a=1&b=2";
  ASSERT_EQ(BindAsync(url("/echo"), post.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(post.Get()));
  EXPECT_EQ(post->body, QByteArray("posted:a=1&b=2"));
}

TEST_F(Binding, TransfersFollowTheProcessWideProxy) {
  LoopbackServer proxy;
  proxy.get(R"(.*)", [](const HttpRequest& req, HttpResponse& res) {
    res.contentType = "text/plain";
    res.body = "from proxy for " + req.header("Host");
  });
  proxy.start();
  InternetProxySettings settings;
  settings.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  settings.proxyServer = QStringLiteral("127.0.0.1:%1").arg(proxy.port());
  SetCurrentProxy(settings);
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  const HRESULT hr = BindAsync(QStringLiteral("http://origin.example/page"), recorder.Get());
  const bool stopped = waitForStop(recorder.Get());
  SetCurrentProxy(InternetProxySettings());
  ASSERT_EQ(hr, MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(recorder->result, S_OK);
  EXPECT_EQ(recorder->body, QByteArray("from proxy for origin.example"));
}

TEST_F(Binding, RefusedResponseStopsTheBinding) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  recorder->responseAnswer = E_ABORT;
  ASSERT_EQ(BindAsync(url("/page"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->result, E_ABORT);
  EXPECT_TRUE(recorder->DataFlags().empty());
  EXPECT_TRUE(recorder->body.isEmpty());
}

TEST_F(Binding, CredentialsAreAskedForOnAChallenge) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  recorder->user = QStringLiteral("user");
  recorder->password = QStringLiteral("pw");
  ASSERT_EQ(BindAsync(url("/secret"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->result, S_OK);
  EXPECT_EQ(recorder->body, QByteArray("welcome"));
  EXPECT_EQ(recorder->authenticateCalls, 1);
  EXPECT_TRUE(recorder->AllOnThread(QThread::currentThread()));

  ComPtr<BindRecorder> wrong = MakeCom<BindRecorder>();
  wrong->user = QStringLiteral("user");
  wrong->password = QStringLiteral("nope");
  ASSERT_EQ(BindAsync(url("/secret"), wrong.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(wrong.Get()));
  EXPECT_EQ(wrong->result, INET_E_AUTHENTICATION_REQUIRED);
  EXPECT_EQ(wrong->authenticateCalls, 1);

  ComPtr<BindRecorder> refused = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(url("/secret"), refused.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(refused.Get()));
  EXPECT_EQ(refused->result, INET_E_AUTHENTICATION_REQUIRED);
}

TEST_F(Binding, AbortStopsATransferMidWay) {
  slowChunksSent = 0;
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  HRESULT abortResult = E_FAIL;
  recorder->onData = [&](BindRecorder& r) {
    if (r.DataFlags().size() == 1) abortResult = r.binding->Abort();
  };
  ASSERT_EQ(BindAsync(url("/slow"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(abortResult, S_OK);
  EXPECT_EQ(recorder->result, E_ABORT);
  EXPECT_EQ(recorder->DataFlags().size(), 1u);
  // Nothing follows the stop, and the server soon notices the client left.
  testsupport::waitFor([] { return false; }, 400);
  EXPECT_EQ(recorder->callsAfterStop, 0);
  EXPECT_LT(slowChunksSent.load(), 60);
  EXPECT_EQ(recorder->binding->Abort(), INET_E_RESULT_DISPATCHED);
  DWORD result = 0;
  CLSID protocol{};
  LPOLESTR text = nullptr;
  ASSERT_EQ(recorder->binding->GetBindResult(&protocol, &result, &text, nullptr), S_OK);
  EXPECT_EQ(HRESULT(result), E_ABORT);
}

TEST_F(Binding, AbortRightAfterTheStartDeliversOnlyTheStop) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(url("/page"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_EQ(recorder->binding->Abort(), S_OK);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->result, E_ABORT);
  ASSERT_EQ(recorder->events.size(), 2u);  // start and stop
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(recorder->callsAfterStop, 0);
}

TEST_F(Binding, WithoutTheAsynchronousFlagTheBindRunsOnTheCallingThread) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  recorder->bindf = BINDF_NOWRITECACHE;
  ComPtr<IStream> stream;
  ASSERT_EQ(BindAsync(url("/page"), recorder.Get(), &stream), S_OK);
  EXPECT_TRUE(recorder->stopped);
  EXPECT_EQ(recorder->result, S_OK);
  EXPECT_EQ(recorder->body, pageBody());
  ASSERT_TRUE(stream);
  QByteArray bytes;
  ASSERT_EQ(GetStreamBytes(stream.Get(), bytes), S_OK);
  EXPECT_EQ(bytes, pageBody());

  ComPtr<BindRecorder> missing = MakeCom<BindRecorder>();
  missing->bindf = BINDF_NOWRITECACHE;
  EXPECT_EQ(BindAsync(url("/missing"), missing.Get(), &stream), INET_E_RESOURCE_NOT_FOUND);
  EXPECT_TRUE(missing->stopped);
}

TEST_F(Binding, PlainBindContextsReadFilesAndAboutPages) {
  const QString path = testsupport::profileDir() + QStringLiteral("/bind/page one.html");
  ASSERT_TRUE(testsupport::writeFile(path, "<html>file</html>"));
  ComPtr<IBindCtx> bindCtx;
  ASSERT_EQ(CreateBindCtx(0, &bindCtx), S_OK);

  const auto bind = [&](const QString& address, QByteArray& bytes) {
    const std::u16string text = address.toStdU16String();
    ComPtr<IMoniker> moniker;
    EXPECT_EQ(CreateURLMonikerEx(nullptr, text.c_str(), &moniker, URL_MK_UNIFORM), S_OK);
    ComPtr<IStream> stream;
    const HRESULT hr = moniker->BindToStorage(bindCtx.Get(), nullptr, IID_IStream, &stream);
    if (SUCCEEDED(hr)) {
      char buffer[64];
      ULONG read = 0;
      while (stream->Read(buffer, sizeof buffer, &read) == S_OK && read) bytes.append(buffer, read);
      EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_FALSE);  // the end
    }
    return hr;
  };
  QByteArray bytes;
  EXPECT_EQ(bind(path, bytes), S_OK);  // a path becomes a file address
  EXPECT_EQ(bytes, QByteArray("<html>file</html>"));
  bytes.clear();
  EXPECT_EQ(bind(QUrl::fromLocalFile(path).toString(), bytes), S_OK);
  EXPECT_EQ(bytes, QByteArray("<html>file</html>"));
  bytes.clear();
  EXPECT_EQ(bind(QStringLiteral("about:blank"), bytes), S_OK);
  EXPECT_TRUE(bytes.isEmpty());
  EXPECT_EQ(bind(path + QStringLiteral(".gone"), bytes), INET_E_RESOURCE_NOT_FOUND);
}

TEST_F(Binding, AsynchronousFileBindNamesTheFile) {
  const QString path = testsupport::profileDir() + QStringLiteral("/bind/data.txt");
  ASSERT_TRUE(testsupport::writeFile(path, QByteArray(200000, 'x')));
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  ASSERT_EQ(BindAsync(QUrl::fromLocalFile(path).toString(), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->result, S_OK);
  EXPECT_EQ(recorder->body, QByteArray(200000, 'x'));
  const BindEvent* file = recorder->FirstProgress(BINDSTATUS_CACHEFILENAMEAVAILABLE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->text, path);
  EXPECT_EQ(recorder->FirstProgress(BINDSTATUS_MIMETYPEAVAILABLE)->text, QStringLiteral("text/plain"));
  CLSID protocol{};
  DWORD result = 1;
  LPOLESTR text = nullptr;
  ASSERT_EQ(recorder->binding->GetBindResult(&protocol, &result, &text, nullptr), S_OK);
  EXPECT_EQ(protocol, CLSID_FileProtocol);
}

// A document class that keeps the bytes it was loaded from.
class LoadedDocument : public ComObject<IPersistStreamInit> {
 public:
  static QByteArray lastLoaded;
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream* pStm) override { return GetStreamBytes(pStm, lastLoaded); }
  HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT GetSizeMax(std::uint64_t*) override { return E_NOTIMPL; }
  HRESULT InitNew() override { return S_OK; }
};
QByteArray LoadedDocument::lastLoaded;

TEST_F(Binding, BindToObjectLoadsTheDocumentClass) {
  constexpr CLSID documentClass = GuidLiteral("{25336920-03F9-11CF-8FD0-00AA00686F13}");
  RegisterClassFactory(documentClass, [](IUnknown*, REFIID riid, void** ppv) {
    return MakeCom<LoadedDocument>()->QueryInterface(riid, ppv);
  });
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  recorder->bindf = BINDF_NOWRITECACHE;
  ComPtr<IBindCtx> bindCtx;
  ASSERT_EQ(CreateAsyncBindCtx(0, recorder.Get(), nullptr, &bindCtx), S_OK);
  const std::u16string address = url("/page").toStdU16String();
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(CreateURLMonikerEx(nullptr, address.c_str(), &moniker, URL_MK_UNIFORM), S_OK);
  ComPtr<IPersistStreamInit> document;
  EXPECT_EQ(moniker->BindToObject(bindCtx.Get(), nullptr, IID_IPersistStreamInit, &document), S_OK);
  EXPECT_TRUE(document);
  EXPECT_EQ(LoadedDocument::lastLoaded, pageBody());
  EXPECT_TRUE(recorder->DataFlags().empty());  // the data went to the object
  UnregisterClassFactory(documentClass);

  // Without a class for the page's type there is no object.
  ComPtr<IUnknown> none;
  EXPECT_EQ(moniker->BindToObject(bindCtx.Get(), nullptr, IID_IUnknown, &none),
            INET_E_CANNOT_INSTANTIATE_OBJECT);
  EXPECT_FALSE(none);
}

}  // namespace
