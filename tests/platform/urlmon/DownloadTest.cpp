// URLDownloadToFileW and URLDownloadToCacheFileW against a loopback server.
#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"
#include "platform/wininet/UrlCache.h"
#include "platform/wininet/WinInet.h"
#include "tests/platform/urlmon/BindRecorder.h"
#include "tests/platform/wininet/Wide.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QScopeGuard>

#include <functional>
#include <vector>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

const QByteArray kIcon = QByteArray(5000, '\x7f') + "end";

// A client callback of the download helpers: progress may cancel.
class ProgressCallback : public ComObject<IBindStatusCallback> {
 public:
  ULONG cancelAt = 0;  // the status whose progress answers E_ABORT
  std::vector<ULONG> statuses;
  bool started = false;
  int stops = 0;
  HRESULT stopResult = E_UNEXPECTED;
  QByteArray fileAtStop;
  String fileName;
  std::function<void(ULONG)> onProgress;

  HRESULT OnStartBinding(DWORD, IBinding*) override {
    started = true;
    return S_OK;
  }
  HRESULT GetPriority(LONG* p) override {
    *p = 0;
    return S_OK;
  }
  HRESULT OnLowResource(DWORD) override { return S_OK; }
  HRESULT OnProgress(ULONG, ULONG, ULONG status, LPCWSTR) override {
    statuses.push_back(status);
    if (onProgress) onProgress(status);
    return status == cancelAt ? E_ABORT : S_OK;
  }
  HRESULT OnStopBinding(HRESULT hr, LPCWSTR) override {
    ++stops;
    stopResult = hr;
    if (!fileName.isEmpty()) fileAtStop = testsupport::readFile(fileName);
    return S_OK;
  }
  HRESULT GetBindInfo(DWORD*, BINDINFO*) override { return E_UNEXPECTED; }  // never asked
  HRESULT OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_UNEXPECTED; }
  HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
};

class Download : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUrlMon();
    server_ = new LoopbackServer;
    server_->get("/favicon.ico", [](const HttpRequest&, HttpResponse& res) {
      res.contentType = "image/x-icon";
      res.body = kIcon.toStdString();
    });
    server_->get("/missing", [](const HttpRequest&, HttpResponse& res) { res.status = 404; });
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static std::u16string wide(const QString& s) { return s.toStdU16String(); }
  // A folder of the test's own holding a target file "old".
  static QString oldTarget(const QString& name) {
    const QString target = testsupport::profileDir() + "/" + name + "/target.bin";
    QDir().mkpath(ExtractFileDir(target));
    return testsupport::writeFile(target, "old") ? target : QString();
  }
  static QStringList filesBeside(const QString& target) {
    return QDir(ExtractFileDir(target)).entryList(QDir::Files);
  }
  static LoopbackServer* server_;
};

LoopbackServer* Download::server_ = nullptr;

TEST_F(Download, ToFileWritesTheFileAndReportsProgress) {
  const QString target = testsupport::profileDir() + QStringLiteral("/download/favicon.ico");
  ASSERT_TRUE(ForceDirectories(ExtractFileDir(target)));
  ComPtr<ProgressCallback> callback = MakeCom<ProgressCallback>();
  callback->fileName = target;
  EXPECT_EQ(URLDownloadToFileW(nullptr, wide(server_->url("/favicon.ico")).c_str(), wide(target).c_str(), 0,
                               callback.Get()),
            S_OK);
  EXPECT_EQ(testsupport::readFile(target), kIcon);
  EXPECT_TRUE(callback->started);
  EXPECT_EQ(callback->stops, 1);
  EXPECT_EQ(callback->stopResult, S_OK);
  EXPECT_EQ(callback->fileAtStop, kIcon);  // written before the client hears of the end
  EXPECT_NE(
      std::find(callback->statuses.begin(), callback->statuses.end(), ULONG(BINDSTATUS_ENDDOWNLOADDATA)),
      callback->statuses.end());

  // Without a callback, over an existing file.
  ASSERT_TRUE(testsupport::writeFile(target, "old"));
  EXPECT_EQ(URLDownloadToFileW(nullptr, wide(server_->url("/favicon.ico")).c_str(), wide(target).c_str(), 0,
                               nullptr),
            S_OK);
  EXPECT_EQ(testsupport::readFile(target), kIcon);
}

TEST_F(Download, AFailedOrCancelledDownloadLeavesTheFileAlone) {
  const QString target = testsupport::profileDir() + QStringLiteral("/download/keep.ico");
  ASSERT_TRUE(testsupport::writeFile(target, "old"));
  ComPtr<ProgressCallback> callback = MakeCom<ProgressCallback>();
  EXPECT_EQ(URLDownloadToFileW(nullptr, wide(server_->url("/missing")).c_str(), wide(target).c_str(), 0,
                               callback.Get()),
            INET_E_RESOURCE_NOT_FOUND);
  EXPECT_EQ(callback->stopResult, INET_E_RESOURCE_NOT_FOUND);
  EXPECT_EQ(testsupport::readFile(target), QByteArray("old"));

  ComPtr<ProgressCallback> cancelling = MakeCom<ProgressCallback>();
  cancelling->cancelAt = BINDSTATUS_BEGINDOWNLOADDATA;
  EXPECT_EQ(URLDownloadToFileW(nullptr, wide(server_->url("/favicon.ico")).c_str(), wide(target).c_str(), 0,
                               cancelling.Get()),
            E_ABORT);
  EXPECT_EQ(cancelling->stops, 1);
  EXPECT_EQ(cancelling->stopResult, E_ABORT);
  EXPECT_EQ(testsupport::readFile(target), QByteArray("old"));

  // An address without a scheme (a bare host followed by the icon's name).
  EXPECT_TRUE(
      FAILED(URLDownloadToFileW(nullptr, u"www.example.comfavicon.ico", wide(target).c_str(), 0, nullptr)));
  EXPECT_EQ(testsupport::readFile(target), QByteArray("old"));
}

TEST_F(Download, ToCacheFileAnswersTheCachedFile) {
  const QString address = server_->url("/favicon.ico");
  char16_t name[2049] = {};
  ComPtr<ProgressCallback> callback = MakeCom<ProgressCallback>();
  ASSERT_EQ(URLDownloadToCacheFileW(nullptr, wide(address).c_str(), name, 2049, 0, callback.Get()), S_OK);
  const QString file = QString::fromUtf16(name);
  EXPECT_TRUE(file.startsWith(UrlCacheFolder()));
  EXPECT_EQ(testsupport::readFile(file), kIcon);
  EXPECT_NE(std::find(callback->statuses.begin(), callback->statuses.end(),
                      ULONG(BINDSTATUS_CACHEFILENAMEAVAILABLE)),
            callback->statuses.end());

  // The address's cache entry names that file.
  DWORD size = 0;
  GetUrlCacheEntryInfoW(wide(address).c_str(), nullptr, &size);
  std::vector<char> buffer(size);
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  ASSERT_TRUE(GetUrlCacheEntryInfoW(wide(address).c_str(), info, &size));
  EXPECT_EQ(QString::fromUtf16(info->lpszLocalFileName), file);
  EXPECT_EQ(info->dwSizeLow, DWORD(kIcon.size()));

  char16_t tiny[4] = {};
  EXPECT_EQ(URLDownloadToCacheFileW(nullptr, wide(address).c_str(), tiny, 4, 0, nullptr), E_OUTOFMEMORY);
  EXPECT_EQ(URLDownloadToCacheFileW(nullptr, wide(server_->url("/missing")).c_str(), name, 2049, 0, nullptr),
            INET_E_RESOURCE_NOT_FOUND);
}

TEST_F(Download, ALargeBodyReplacesTheTargetOnlyAtTheEnd) {
  const QByteArray body = QByteArray(6 * 1024 * 1024, 'b') + "tail";
  server_->get("/large.bin", [body](const HttpRequest&, HttpResponse& res) {
    res.contentType = "application/octet-stream";
    res.stream = [body](const std::function<bool(const std::string&)>& write) {
      for (qsizetype at = 0; at < body.size(); at += 256 * 1024)
        if (!write(body.mid(at, 256 * 1024).toStdString())) return false;
      return true;
    };
  });
  const QString target = oldTarget("streamed");
  ComPtr<ProgressCallback> callback = MakeCom<ProgressCallback>();
  int looks = 0;
  bool targetKept = true;
  callback->onProgress = [&](ULONG status) {
    if (status != BINDSTATUS_DOWNLOADINGDATA) return;
    ++looks;
    targetKept = targetKept && testsupport::readFile(target) == "old";
  };
  EXPECT_EQ(URLDownloadToFileW(nullptr, wide(server_->url("/large.bin")).c_str(), wide(target).c_str(), 0,
                               callback.Get()),
            S_OK);
  EXPECT_GT(looks, 1);
  EXPECT_TRUE(targetKept);
  EXPECT_EQ(testsupport::readFile(target), body);
  EXPECT_EQ(filesBeside(target), QStringList{"target.bin"});
}

TEST_F(Download, ADroppedConnectionOrASilentServerLeavesTheTargetAndNothingElse) {
  LoopbackServer silent;
  silent.get("/dropped", [](const HttpRequest&, HttpResponse& res) {
    res.body = std::string(100000, 'x');
    res.announcedLength = 500000;
  });
  silent.get("/silent", [&silent](const HttpRequest&, HttpResponse& res) {
    silent.hold(20000);
    res.body = "late";
  });
  silent.get("/stops", [&silent](const HttpRequest&, HttpResponse& res) {
    res.announcedLength = 10000;
    res.stream = [&silent](const std::function<bool(const std::string&)>& write) {
      return write(std::string(5000, 's')) && (silent.hold(20000), write(std::string(5000, 't')));
    };
  });
  ASSERT_TRUE(silent.start());
  const QString target = oldTarget("silent");

  EXPECT_TRUE(FAILED(
      URLDownloadToFileW(nullptr, wide(silent.url("/dropped")).c_str(), wide(target).c_str(), 0, nullptr)));
  EXPECT_EQ(testsupport::readFile(target), "old");
  EXPECT_EQ(filesBeside(target), QStringList{"target.bin"});

  // Without a callback nothing could abort: the process's receive limit ends
  // the download, before the answer and in the middle of the body.
  DWORD saved = 0, size = sizeof saved;
  ASSERT_TRUE(InternetQueryOptionW(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &saved, &size));
  const auto restore = qScopeGuard(
      [&] { InternetSetOptionW(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &saved, sizeof saved); });
  DWORD limit = 500;
  ASSERT_TRUE(InternetSetOptionW(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit));
  for (const char* path : {"/silent", "/stops"}) {
    EXPECT_EQ(URLDownloadToFileW(nullptr, wide(silent.url(path)).c_str(), wide(target).c_str(), 0, nullptr),
              INET_E_CONNECTION_TIMEOUT)
        << path;
    EXPECT_EQ(testsupport::readFile(target), "old") << path;
    EXPECT_EQ(filesBeside(target), QStringList{"target.bin"}) << path;
  }
  silent.release();
}

}  // namespace
