// The download component against the loopback server and real files in the
// temporary profile: settings and flag words, downloads to files and streams,
// redirects, failures, resuming, ranges, time-outs, safe names, posting, the
// other modes, parallel downloads, cancelling and destruction.
#include "EmbeddedWB/Source/IEDownload.h"

#include "platform/rtl/SysUtils.h"
#include "platform/wininet/WinInet.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include <climits>

using namespace IEDownload;
using testsupport::HttpRequest;
using testsupport::HttpResponse;

namespace {

QByteArray sample(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char('a' + i % 26 + (i / 26) % 3);
  return bytes;
}

// Writes `bytes` as a chunked body, which the server sends as it is (it
// cuts ranges out of bodies of a known length by itself).
void sendAsIs(HttpResponse& r, const QByteArray& bytes) {
  const std::string body = bytes.toStdString();
  r.contentType = "application/octet-stream";
  r.stream = [body](const std::function<bool(const std::string&)>& write) { return write(body); };
}

// Answers `body`, a range "bytes=N-" with 206 and its Content-Range.
void serveRanges(testsupport::LoopbackServer& server, const std::string& path, const QByteArray& body) {
  server.get(path, [body](const HttpRequest& q, HttpResponse& r) {
    const std::string range = q.header("Range");
    if (range.rfind("bytes=", 0) != 0) return sendAsIs(r, body);
    const int from = std::stoi(range.substr(6));
    r.status = 206;
    r.headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                              std::to_string(body.size() - 1) + "/" +
                                              std::to_string(body.size())});
    sendAsIs(r, body.mid(from));
  });
}

class IEDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUrlMon();
    IEDownload::initialize();
    static int n = 0;
    root = testsupport::profileDir() + QStringLiteral("/downloads-%1").arg(++n);
    folder = root + "/in";
    QDir().mkpath(folder);
    dl = new TIEDownload(nullptr);
    dl->Loaded();
    dl->SetDownloadFolder(folder);
    dl->OnError = [this](int code, const String& text) { errors.push_back({code, text}); };
    dl->OnConnect = [this](TBSCB*, HRESULT, const String& step) { steps.push_back(step); };
    dl->OnComplete = [this](TCustomIEDownload*, const String& path, const String& name, const String& dir,
                            const String& ext, int) {
      completed.push_back({path, name, dir, ext});
    };
    dl->OnStateChange = [this](TState s) { states.push_back(s); };
    ASSERT_TRUE(server.start());
  }
  void TearDown() override {
    delete dl;
    IEDownload::finalize();
  }
  bool finished() {
    return testsupport::waitFor([this] { return !dl->Busy(); }, 15000);
  }
  QByteArray file(const QString& name) const { return testsupport::readFile(folder + "/" + name); }
  // Every file below the test's folder.
  QStringList filesBelowRoot() const {
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
  }

  testsupport::LoopbackServer server;
  TIEDownload* dl = nullptr;
  QString root, folder;
  std::vector<std::pair<int, QString>> errors;
  QStringList steps;
  std::vector<QStringList> completed;
  std::vector<TState> states;
};

TEST_F(IEDownloadTest, SettingsFlagWordsAndTheTimeSeparator) {
  EXPECT_EQ(FormatSettings.TimeSeparator, QChar('_'));
  EXPECT_EQ(FormatDateTime("hh:nn", EncodeTime(10, 20, 0, 0)), "10_20");
  EXPECT_EQ(dl->TimeOut(), INT_MAX);
  dl->SetTimeOut(1234);
  dl->Loaded();
  EXPECT_EQ(dl->TimeOut(), 1234);
  dl->SetDefaultProtocol("");
  EXPECT_EQ(dl->DefaultProtocol(), "http://");
  EXPECT_EQ(dl->DefaultUrlFileName(), "index.html");
  EXPECT_EQ(dl->AdditionalHeader()->Strings(),
            QStringList{"Content-Type: application/x-www-form-BindInfoFd "});
  EXPECT_EQ(dl->BindFFlags(), DWORD(0x1 | 0x2 | 0x10 | 0x20 | 0x80));
  EXPECT_EQ(dl->BindF2Flags(), DWORD(BINDF2_READ_DATA_GREATER_THAN_4GB));
  dl->SetBindF2({DisableRedirectUnlessSID, Reserved_11});
  EXPECT_EQ(dl->BindF2Flags(), DWORD(8 + 0x80000000));
  EXPECT_EQ(dl->BindInfoOptionsFlags(), DWORD(0x10000 + 0x20000000));
  dl->SetBindInfoOptions({DisableAutoRedirect});
  EXPECT_EQ(dl->BindInfoOptionsFlags(), DWORD(0x40000000));
  dl->SetBindInfoF({PostData, ExtraInfo});
  EXPECT_EQ(dl->BindInfoFFlags(), 3u);
  dl->SetBindF({RestrictedSitesZone});
  EXPECT_EQ(dl->BindFFlags(), DWORD(0x800000));
  const std::pair<TCodePageOption, DWORD> pages[] = {
      {Ansi, 0}, {OEM, 1}, {Mac, 2}, {ThreadsAnsi, 3}, {Symbol, 42}, {UTF7, 65000}, {UTF8, 65001}};
  for (const auto& [option, value] : pages) {
    dl->SetCodePage(option);
    EXPECT_EQ(dl->CodePageFlag(), value);
  }
  EXPECT_EQ(dl->UserAgentLine(), "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)()\r\n");
  EXPECT_EQ(KnownProtocols().size(), 23);
  EXPECT_EQ(dl->PrepareUrl("example.test/a"), "http://example.test/a");
  EXPECT_EQ(dl->PrepareUrl("https://example.test/a"), "https://example.test/a");
  dl->SetValidateUrl(true);
  EXPECT_EQ(dl->PrepareUrl("bogus://example.test/a"), "");
  EXPECT_FALSE(dl->Go("bogus://example.test/a"));
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(IEDownloadTest, AFileDownloadItsBytesNameStepsAndHeaders) {
  const QByteArray body = sample(70000);
  server.get("/files/data.bin", [&](const HttpRequest&, HttpResponse& r) {
    r.contentType = "application/octet-stream";
    r.body = body.toStdString();
  });
  QStringList progress;
  dl->OnProgress = [&](TBSCB*, ULONG, ULONG, ULONG code, ULONG, LPCWSTR, const String&, const String&,
                       const String&, const String&, const String& status,
                       const String&) { progress << QString::number(code) + " " + status; };
  const long blocks = CoTaskMemLiveBlocks();
  ASSERT_TRUE(dl->Go(server.url("/files/data.bin")));
  EXPECT_TRUE(dl->Busy());
  ASSERT_TRUE(finished());
  EXPECT_TRUE(errors.empty()) << errors.front().second.toStdString();
  EXPECT_EQ(file("data.bin"), body);
  ASSERT_EQ(completed.size(), 1u);
  EXPECT_EQ(completed[0], (QStringList{folder + "/data.bin", "data.bin", folder + "/", ".bin"}));
  ASSERT_GE(steps.size(), 4);
  EXPECT_TRUE(steps[0].startsWith("CreateURLMonikerEx: "));
  EXPECT_TRUE(steps[1].startsWith("CreateAsyncBindCtx: "));
  EXPECT_TRUE(steps[2].startsWith("RegisterBindStatusCallback: "));
  EXPECT_TRUE(steps[3].startsWith("MonikerBindToStorage: "));
  EXPECT_EQ(states, (std::vector<TState>{sBusy, sReady}));
  EXPECT_TRUE(progress.filter(QRegularExpression("^6 Done\\.$")).size() == 1)
      << progress.join("|").toStdString();
  const HttpRequest request = server.lastRequest("/files/data.bin");
  bool agent = false;
  for (const auto& [name, value] : request.headers)
    if (value.find("(compatible; MSIE 6.0; Windows NT 5.1; SV1)()") != std::string::npos) agent = true;
  EXPECT_TRUE(agent);
  EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-BindInfoFd");
  EXPECT_EQ(request.header("Range"), "");
  // Headers, bind information and texts handed out were all freed.
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}

TEST_F(IEDownloadTest, StreamsChunkedBodiesAndEmptyAnswers) {
  server.get("/chunked.txt", [](const HttpRequest&, HttpResponse& r) {
    r.stream = [](const std::function<bool(const std::string&)>& write) {
      return write("first,") && write("second");
    };
  });
  server.get("/chunked-long.bin", [](const HttpRequest&, HttpResponse& r) {
    r.stream = [](const std::function<bool(const std::string&)>& write) {
      const std::string block(1024 * 1024, 'c');
      for (int i = 0; i < 10; ++i)
        if (!write(block)) return false;
      return true;
    };
  });
  server.get("/empty.txt", [](const HttpRequest&, HttpResponse& r) { r.body.clear(); });
  QByteArray streamed;
  HRESULT streamResult = E_FAIL;
  dl->OnStreamComplete = [&](TBSCB*, TStream* stream, HRESULT hr) {
    streamed.resize(int(stream->GetSize()));
    stream->Read(streamed.data(), streamed.size());
    streamResult = hr;
  };
  dl->SetDownloadMethod(dmStream);
  ASSERT_TRUE(dl->Go(server.url("/chunked.txt")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(streamed, "first,second");
  EXPECT_EQ(streamResult, S_OK);
  EXPECT_TRUE(filesBelowRoot().isEmpty());  // a stream writes no file
  dl->SetDownloadMethod(dmFile);
  // Of a body without a length no share or remaining time is known.
  QStringList shares;
  dl->OnProgress = [&](TBSCB*, ULONG, ULONG, ULONG code, ULONG, LPCWSTR, const String& downloaded,
                       const String&, const String&, const String& remaining, const String&,
                       const String& percent) {
    if (code == BINDSTATUS_DOWNLOADINGDATA) shares << downloaded + "|" + remaining + "|" + percent;
  };
  ASSERT_TRUE(dl->Go(server.url("/chunked.txt")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("chunked.txt"), "first,second");
  // More than the binding holds at once arrives in several notifications.
  ASSERT_TRUE(dl->Go(server.url("/chunked-long.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("chunked-long.bin").size(), 10 * 1024 * 1024);
  ASSERT_FALSE(shares.isEmpty());
  for (const QString& share : shares) {
    EXPECT_FALSE(share.startsWith("|"));
    EXPECT_TRUE(share.endsWith("||")) << share.toStdString();
  }
  dl->OnProgress = nullptr;
  // "Content-Length: 0" ends the binding: no completion.
  completed.clear();
  ASSERT_TRUE(dl->Go(server.url("/empty.txt")));
  ASSERT_TRUE(finished());
  EXPECT_TRUE(completed.empty());
  EXPECT_FALSE(QFile::exists(folder + "/empty.txt"));
}

TEST_F(IEDownloadTest, CloseDelimitedAndLargeBodiesReachTheFileWhole) {
  // No length and no chunks: the body ends with the connection.
  server.get("/closed.txt", [](const HttpRequest&, HttpResponse& r) {
    r.contentType = "text/plain";
    r.closeDelimited = true;
    r.stream = [](const std::function<bool(const std::string&)>& write) {
      return write("until ") && write(std::string(100000, '.')) && write("the end");
    };
  });
  QString head;
  dl->OnResponse = [&](TBSCB*, DWORD, LPCWSTR headers, LPCWSTR, LPWSTR*) {
    head = QString::fromUtf16(headers).toLower();
    return S_OK;
  };
  ASSERT_TRUE(dl->Go(server.url("/closed.txt")));
  ASSERT_TRUE(finished());
  EXPECT_FALSE(head.contains("content-length") || head.contains("chunked")) << head.toStdString();
  EXPECT_TRUE(errors.empty()) << errors.front().second.toStdString();
  EXPECT_EQ(file("closed.txt"), "until " + QByteArray(100000, '.') + "the end");
  EXPECT_EQ(completed.size(), 1u);
  dl->OnResponse = nullptr;

  // Far more than the binding holds at once, streamed with its length.
  const auto big = std::make_shared<const QByteArray>(sample(50 * 1024 * 1024));
  server.get("/big.bin", [big](const HttpRequest&, HttpResponse& r) {
    r.contentType = "application/octet-stream";
    r.announcedLength = size_t(big->size());
    r.stream = [big](const std::function<bool(const std::string&)>& write) {
      for (qsizetype at = 0; at < big->size(); at += 1024 * 1024)
        if (!write(big->mid(at, 1024 * 1024).toStdString())) return false;
      return true;
    };
  });
  int progressCalls = 0;
  dl->OnProgress = [&](TBSCB*, ULONG, ULONG, ULONG, ULONG, LPCWSTR, const String&, const String&,
                       const String&, const String&, const String&, const String&) { ++progressCalls; };
  completed.clear();
  ASSERT_TRUE(dl->Go(server.url("/big.bin")));
  ASSERT_TRUE(testsupport::waitFor([this] { return !dl->Busy(); }, 120000));
  EXPECT_TRUE(errors.empty()) << errors.front().second.toStdString();
  EXPECT_EQ(completed.size(), 1u);
  EXPECT_GT(progressCalls, 0);
  const QByteArray got = file("big.bin");
  EXPECT_EQ(got.size(), big->size());
  EXPECT_TRUE(got == *big);  // not printed when it fails
}

TEST_F(IEDownloadTest, RedirectsAndAbortedRedirects) {
  server.get("/from", [&](const HttpRequest&, HttpResponse& r) {
    r.status = 302;
    r.headers.push_back({"Location", server.url("/to/final.txt").toStdString()});
  });
  server.page("/to/final.txt", "arrived");
  QStringList seen;
  bool abortIt = false;
  dl->OnRedirect = [&](TBSCB*, bool& abortRedirect, const String& from, const String& to) {
    seen << from << to;
    abortRedirect = abortIt;
  };
  ASSERT_TRUE(dl->Go(server.url("/from")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(seen, (QStringList{server.url("/from"), server.url("/to/final.txt")}));
  EXPECT_EQ(file("final.txt"), "arrived");
  QFile::remove(folder + "/final.txt");
  abortIt = true;
  completed.clear();
  ASSERT_TRUE(dl->Go(server.url("/from")));
  ASSERT_TRUE(finished());
  EXPECT_TRUE(dl->Cancelled());
  EXPECT_TRUE(completed.empty());
  EXPECT_TRUE(filesBelowRoot().isEmpty());
}

TEST_F(IEDownloadTest, FailuresLeaveTheTargetAndReportTheirText) {
  ASSERT_TRUE(testsupport::writeFile(folder + "/missing.txt", "kept"));
  ASSERT_TRUE(testsupport::writeFile(folder + "/broken.txt", "kept too"));
  server.get("/broken.txt", [](const HttpRequest&, HttpResponse& r) {
    r.status = 500;
    r.body = "server trouble";
  });
  ASSERT_TRUE(dl->Go(server.url("/missing.txt")));
  ASSERT_TRUE(finished());
  ASSERT_TRUE(dl->Go(server.url("/broken.txt")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("missing.txt"), "kept");
  EXPECT_EQ(file("broken.txt"), "kept too");
  EXPECT_TRUE(completed.empty());
  ASSERT_GE(errors.size(), 2u);
  EXPECT_EQ(errors[0], (std::pair<int, QString>{404, "Not Found"}));
  EXPECT_EQ(errors[1].first, 500);

  // A dropped connection and a closed port: errors, no completion, the
  // partial file kept.
  errors.clear();
  server.get("/dropped.bin", [](const HttpRequest&, HttpResponse& r) {
    r.body = std::string(1000, 'x');
    r.announcedLength = 5000;
  });
  ASSERT_TRUE(dl->Go(server.url("/dropped.bin")));
  ASSERT_TRUE(finished());
  EXPECT_FALSE(errors.empty());
  int port = 0;
  {
    testsupport::LoopbackServer closed;
    ASSERT_TRUE(closed.start());
    port = closed.port();
  }
  errors.clear();
  dl->Go(QStringLiteral("http://127.0.0.1:%1/x.txt").arg(port));
  ASSERT_TRUE(finished());
  EXPECT_FALSE(errors.empty());
  EXPECT_TRUE(completed.empty());
}

TEST_F(IEDownloadTest, ErrorPagesNeverBecomeTheDownloadInAnyMode) {
  ASSERT_TRUE(testsupport::writeFile(folder + "/gone.txt", "kept"));
  ASSERT_TRUE(testsupport::writeFile(folder + "/fails.txt", "kept too"));
  server.get("/gone.txt", [](const HttpRequest&, HttpResponse& r) {
    r.status = 404;
    r.body = "<html>error page</html>";
  });
  server.get("/fails.txt", [](const HttpRequest&, HttpResponse& r) {
    r.status = 500;
    r.body = "<html>server trouble</html>";
  });
  // A handler that answers success to everything does not turn an error
  // page into the file.
  std::vector<DWORD> codes;
  dl->OnResponse = [&](TBSCB*, DWORD code, LPCWSTR, LPCWSTR, LPWSTR*) {
    codes.push_back(code);
    return S_OK;
  };
  HRESULT stopped = S_OK;
  dl->OnStopBinding = [&](TBSCB*, HRESULT hr, LPCWSTR) { stopped = hr; };
  ASSERT_TRUE(dl->Go(server.url("/gone.txt")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(codes, std::vector<DWORD>{404});
  EXPECT_EQ(stopped, E_ABORT);
  EXPECT_EQ(file("gone.txt"), "kept");
  // The platform's file and cache downloads keep the target as well.
  for (int mode : {1, 2}) {
    for (const char* name : {"gone.txt", "fails.txt"}) {
      EXPECT_FALSE(dl->Go(server.url(QString("/") + name), mode)) << mode << name;
      EXPECT_FALSE(dl->Busy());
    }
  }
  EXPECT_EQ(file("gone.txt"), "kept");
  EXPECT_EQ(file("fails.txt"), "kept too");
  EXPECT_TRUE(completed.empty());
  int notFound = 0, serverErrors = 0;
  for (const auto& [code, text] : errors) {
    if (code == 404) ++notFound;
    if (code == 500) ++serverErrors;
  }
  EXPECT_EQ(notFound, 3);
  EXPECT_EQ(serverErrors, 2);
  EXPECT_TRUE(filesBelowRoot() == (QStringList{"in/fails.txt", "in/gone.txt"}))
      << filesBelowRoot().join(",").toStdString();
}

TEST_F(IEDownloadTest, ResumingAnsweredWithARangeOrTheWholeBody) {
  const QByteArray body = sample(5000);
  serveRanges(server, "/resume.bin", body);
  // A server that ignores ranges.
  server.get("/whole.bin", [&](const HttpRequest&, HttpResponse& r) { sendAsIs(r, body); });
  dl->OnResume = [](TBSCB*, const String&, DWORD& action) { action = 1; };
  ASSERT_TRUE(testsupport::writeFile(folder + "/resume.bin", body.left(1200)));
  ASSERT_TRUE(testsupport::writeFile(folder + "/whole.bin", body.left(1200)));
  ASSERT_TRUE(dl->Go(server.url("/resume.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(server.lastRequest("/resume.bin").header("Range"), "bytes=1200-");
  EXPECT_EQ(file("resume.bin"), body);
  ASSERT_TRUE(dl->Go(server.url("/whole.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("whole.bin"), body);
  // Without resuming an existing file is written again from the start.
  dl->OnResume = nullptr;
  ASSERT_TRUE(testsupport::writeFile(folder + "/resume.bin", "old and longer than nothing"));
  ASSERT_TRUE(dl->Go(server.url("/resume.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(server.lastRequest("/resume.bin").header("Range"), "");
  EXPECT_EQ(file("resume.bin"), body);
}

TEST_F(IEDownloadTest, ARangeStartSendsItsHeaderAndExistingFilesCanBeSkippedOrRenamed) {
  const QByteArray body = sample(400);
  serveRanges(server, "/part.bin", body);
  dl->Range()->SetRangeBegin(100);
  ASSERT_TRUE(dl->Go(server.url("/part.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(server.lastRequest("/part.bin").header("Range"), "bytes=100-");
  // A range into a missing file creates it with what was sent.
  EXPECT_EQ(file("part.bin"), body.mid(100));
  dl->Range()->SetRangeBegin(0);

  dl->SetFileExistsOption(feSkip);
  ASSERT_TRUE(dl->Go(server.url("/part.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("part.bin"), body.mid(100));
  dl->SetFileExistsOption(feRename);
  dl->OnFileExists = [](TFileExistsOption&, const String&, String& newName) { newName = "renamed.bin"; };
  ASSERT_TRUE(dl->Go(server.url("/part.bin")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("renamed.bin"), body);
  EXPECT_EQ(file("part.bin"), body.mid(100));
}

TEST_F(IEDownloadTest, AStalledServerTimesOutOnce) {
  server.get("/stalled", [&](const HttpRequest&, HttpResponse& r) {
    r.stream = [&](const std::function<bool(const std::string&)>& write) {
      if (!write("begin")) return false;
      server.hold(20000);
      return write("end");
    };
  });
  dl->SetTimeOut(500);
  ASSERT_TRUE(dl->Go(server.url("/stalled")));
  ASSERT_TRUE(finished());
  server.release();
  int timeOuts = 0;
  for (const auto& [code, text] : errors)
    if (text == "Error: Time Out.") ++timeOuts;
  EXPECT_EQ(timeOuts, 1);
  EXPECT_TRUE(completed.empty());
}

TEST_F(IEDownloadTest, NamesNeverLeaveTheDownloadFolder) {
  server.get(".*", [](const HttpRequest&, HttpResponse& r) { r.body = "payload"; });
  server.get("/hop", [&](const HttpRequest&, HttpResponse& r) {
    r.status = 302;
    r.headers.push_back({"Location", server.url("/x/..%2F..%2Fredirected.txt").toStdString()});
  });
  for (const char* path : {"/a/..%2F..%2Fescaped.txt", "/b/%2e%2e%2f%2e%2e%2fdots.txt",
                           "/c/q?name=../../query.txt", "/hop", "/d/..%5C..%5Cback.txt"}) {
    ASSERT_TRUE(dl->Go(server.url(path))) << path;
    ASSERT_TRUE(finished()) << path;
  }
  for (const QString& f : filesBelowRoot()) EXPECT_TRUE(f.startsWith("in/")) << f.toStdString();
  EXPECT_FALSE(filesBelowRoot().isEmpty());
  EXPECT_EQ(dl->SafeFileName("..%2F..%2Fevil"), "evil");
  EXPECT_EQ(dl->SafeFileName(".."), "index.html");
  EXPECT_EQ(dl->SafeFileName(""), "index.html");
  EXPECT_EQ(dl->SafeFileName("a%00b"), "ab");
}

TEST_F(IEDownloadTest, PostedBytesArriveAsGiven) {
  std::string received;
  server.post("/form.txt", [&](const HttpRequest& q, HttpResponse& r) {
    received = q.body;
    r.body = "thanks";
  });
  dl->SetBindVerb(Post);
  dl->SetPostData(QString::fromUtf8("name=J\u00f6rg&x=1"));
  ASSERT_TRUE(dl->Go(server.url("/form.txt")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(received, "name=J\xc3\xb6rg&x=1");
  EXPECT_EQ(file("form.txt"), "thanks");
}

TEST_F(IEDownloadTest, TheWorkersAnswersToTheBinding) {
  const QByteArray body = sample(3000);
  server.post("/answers.bin", [&](const HttpRequest&, HttpResponse& r) {
    r.contentType = "application/octet-stream";
    r.body = body.toStdString();
  });
  dl->SetBindVerb(Post);
  const QByteArray posted = QString::fromUtf8("caf\u00e9=1").toUtf8();
  dl->SetPostData(QString::fromUtf8(posted));
  // Each piece comes with a zero after its bytes; a handler that claims
  // more than it was given keeps only what came.
  int pieces = 0;
  dl->OnDataAvailable = [&](TBSCB*, BYTE*& buffer, DWORD& length) {
    ++pieces;
    EXPECT_EQ(buffer[length], 0);
    length += 1000;
  };
  bool asked = false;
  dl->OnStopBinding = [&](TBSCB* worker, HRESULT, LPCWSTR) {
    asked = true;
    auto references = [worker] {
      worker->AddRef();
      return worker->Release();
    };
    const ULONG before = references();
    BINDINFO info{};
    info.cbSize = sizeof(info);
    DWORD flags = 0;
    ASSERT_EQ(worker->GetBindInfo(&flags, &info), S_OK);
    EXPECT_EQ(flags, dl->BindFFlags());
    EXPECT_EQ(info.cbSize, sizeof(BINDINFO));
    EXPECT_EQ(info.dwBindVerb, DWORD(BINDVERB_POST));
    // The data's own length, no terminating zero sent; the worker stays
    // alive while the information is held.
    EXPECT_EQ(info.cbstgmedData, DWORD(posted.size()));
    EXPECT_EQ(info.stgmedData.tymed, DWORD(TYMED_HGLOBAL));
    ASSERT_NE(info.stgmedData.hGlobal, nullptr);
    EXPECT_EQ(QByteArray(static_cast<const char*>(info.stgmedData.hGlobal), posted.size() + 1),
              posted + QByteArray(1, '\0'));
    EXPECT_NE(info.stgmedData.pUnkForRelease, nullptr);
    EXPECT_EQ(references(), before + 1);
    ReleaseBindInfo(&info);
    EXPECT_EQ(references(), before);

    // No window unless the handler names one.
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(worker->GetWindow(IID_IHttpSecurity, &window), S_OK);
    EXPECT_EQ(window, nullptr);
    dl->OnGetWindow = [](TBSCB*, const GUID&, HWND& hwnd) {
      hwnd = reinterpret_cast<HWND>(0x42);
      return S_OK;
    };
    EXPECT_EQ(worker->GetWindow(IID_IHttpSecurity, &window), S_OK);
    EXPECT_EQ(window, reinterpret_cast<HWND>(0x42));
  };
  ASSERT_TRUE(dl->Go(server.url("/answers.bin")));
  ASSERT_TRUE(finished());
  EXPECT_TRUE(asked);
  EXPECT_GT(pieces, 0);
  EXPECT_EQ(file("answers.bin"), body);
}

TEST_F(IEDownloadTest, FileAndCacheModes) {
  server.page("/mode/one.html", "<p>one</p>");
  ASSERT_TRUE(dl->Go(server.url("/mode/one.html"), 1));
  EXPECT_FALSE(dl->Busy());
  EXPECT_EQ(file("one.html"), "<p>one</p>");
  ASSERT_EQ(completed.size(), 1u);
  EXPECT_EQ(completed[0][1], "one.html");
  ASSERT_TRUE(dl->Go(server.url("/mode/one.html"), 2));
  ASSERT_EQ(completed.size(), 2u);
  EXPECT_EQ(testsupport::readFile(completed[1][0]), "<p>one</p>");
  EXPECT_FALSE(dl->Go(server.url("/mode/none.html"), 1));
  EXPECT_EQ(completed.size(), 2u);
  EXPECT_FALSE(errors.empty());
}

TEST_F(IEDownloadTest, ProxySettingsCarryTheDownloadUntilTheComponentGoes) {
  const QByteArray body = sample(90000);
  testsupport::LoopbackServer proxy;
  proxy.proxy([&](const HttpRequest&, HttpResponse& r) {
    r.contentType = "application/octet-stream";
    r.body = body.toStdString();
  });
  ASSERT_TRUE(proxy.start());
  server.page("/direct.html", "<p>direct</p>");

  dl->ProxySettings()->SetServer("127.0.0.1");
  dl->ProxySettings()->SetPort(proxy.port());
  dl->ProxySettings()->SetAutoLoadProxy(true);
  dl->Loaded();
  // A host no resolver knows: only the proxy can answer it.
  ASSERT_TRUE(dl->Go("http://downloads.example.test/archive/big.bin"));
  ASSERT_TRUE(finished());
  EXPECT_TRUE(errors.empty()) << errors.front().second.toStdString();
  EXPECT_EQ(file("big.bin"), body);
  ASSERT_EQ(proxy.requestCount(), 1);
  EXPECT_EQ(proxy.lastRequest().target, "http://downloads.example.test/archive/big.bin");
  EXPECT_EQ(proxy.lastRequest().header("Host"), "downloads.example.test");

  // A component that set no proxy takes none back when it goes.
  {
    TIEDownload other(nullptr);
    other.ProxySettings()->SetAutoLoadProxy(true);
    other.Loaded();
  }
  QFile::remove(folder + "/big.bin");
  ASSERT_TRUE(dl->Go("http://downloads.example.test/archive/big.bin"));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("big.bin"), body);
  ASSERT_EQ(proxy.requestCount(), 2);

  // Gone, the component takes its proxy back: the next download is direct.
  delete dl;
  dl = new TIEDownload(nullptr);
  dl->Loaded();
  dl->SetDownloadFolder(folder);
  ASSERT_TRUE(dl->Go(server.url("/direct.html")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(file("direct.html"), "<p>direct</p>");
  EXPECT_EQ(proxy.requestCount(), 2);
}

TEST_F(IEDownloadTest, AnUntrustedCertificateIsPutToOnSecurityProblem) {
  testsupport::LoopbackServer secure(testsupport::LoopbackServer::Https);
  secure.page("/secret.html", "<p>secret</p>");
  ASSERT_TRUE(secure.start());

  // Unassigned, the problem refuses the download.
  ASSERT_TRUE(dl->Go(secure.url("/secret.html")));
  ASSERT_TRUE(finished());
  EXPECT_TRUE(completed.empty());
  EXPECT_FALSE(errors.empty());
  EXPECT_FALSE(QFile::exists(folder + "/secret.html"));

  // A handler answering S_OK takes the server as it is.
  std::vector<DWORD> problems;
  dl->OnSecurityProblem = [&](TBSCB*, DWORD problem, const String&) {
    problems.push_back(problem);
    return S_OK;
  };
  ASSERT_TRUE(dl->Go(secure.url("/secret.html")));
  ASSERT_TRUE(finished());
  EXPECT_EQ(problems, std::vector<DWORD>{ERROR_INTERNET_INVALID_CA});
  EXPECT_EQ(file("secret.html"), "<p>secret</p>");
  EXPECT_EQ(completed.size(), 1u);
  EXPECT_EQ(secure.requestCount(), 1);
}

TEST_F(IEDownloadTest, TwoDownloadsAtOnceEachEndOnItsOwn) {
  server.get("/slow.bin", [&](const HttpRequest&, HttpResponse& r) {
    server.hold(10000);
    r.body = "slow";
  });
  server.page("/fast.bin", "fast");
  ASSERT_TRUE(dl->Go(server.url("/slow.bin")));
  ASSERT_TRUE(dl->Go(server.url("/fast.bin")));
  EXPECT_EQ(dl->Pending(), 2);
  ASSERT_TRUE(testsupport::waitFor([this] { return completed.size() == 1; }));
  EXPECT_EQ(completed[0][1], "fast.bin");
  EXPECT_TRUE(dl->Busy());
  server.release();
  ASSERT_TRUE(finished());
  ASSERT_EQ(completed.size(), 2u);
  EXPECT_EQ(completed[1][1], "slow.bin");
  EXPECT_EQ(file("slow.bin"), "slow");
}

TEST_F(IEDownloadTest, CancelAndDestructionMidway) {
  const long blocks = CoTaskMemLiveBlocks();
  server.get("/held.bin", [&](const HttpRequest&, HttpResponse& r) {
    r.stream = [&](const std::function<bool(const std::string&)>& write) {
      if (!write(std::string(2000, 'h'))) return false;
      server.hold(20000);
      return write("rest");
    };
  });
  ASSERT_TRUE(dl->Go(server.url("/held.bin")));
  ASSERT_TRUE(testsupport::waitFor([this] { return QFile(folder + "/held.bin").size() > 0; }));
  dl->Cancel();
  ASSERT_TRUE(finished());
  EXPECT_EQ(states.back(), sStopped);
  EXPECT_TRUE(completed.empty());
  EXPECT_EQ(file("held.bin").size(), 2000);  // the partial file is kept

  ASSERT_TRUE(dl->Go(server.url("/held.bin")));
  ASSERT_TRUE(
      testsupport::waitFor([this] { return dl->Pending() == 1 && QFile(folder + "/held.bin").size() > 0; }));
  delete dl;
  dl = nullptr;
  server.release();
  QTest::qWait(200);  // nothing reaches the freed component
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}

}  // namespace
