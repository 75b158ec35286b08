// Bodies larger than anything worth holding in memory: the bind stream keeps
// a window of the body, and a transfer waits for a client slower than the
// server instead of piling up what it received.
#include <gtest/gtest.h>

#include "tests/platform/urlmon/BindRecorder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <QCryptographicHash>
#include <QThread>

#include <atomic>
#include <memory>
#include <string>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

constexpr qsizetype kMB = 1024 * 1024;
constexpr qsizetype kPiece = 64 * 1024;

QByteArray patterned(qsizetype size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) bytes[i] = char((i * 131) ^ (i >> 12));
  return bytes;
}

QByteArray sha(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// A recorder that also looks at the stream once it has read more than 2 MB:
// where it stands, the size it reports and whether it goes back to 0.
class WindowReader : public BindRecorder {
 public:
  HRESULT rewind = S_OK;
  std::uint64_t position = 0, reported = 0;

  HRESULT OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override {
    const HRESULT hr = BindRecorder::OnDataAvailable(flags, size, format, medium);
    if (body.size() > 2 * kMB && position == 0) {
      medium->pstm->Seek(0, STREAM_SEEK_CUR, &position);
      STATSTG stat{};
      medium->pstm->Stat(&stat, STATFLAG_NONAME);
      reported = stat.cbSize;
      rewind = medium->pstm->Seek(0, STREAM_SEEK_SET, nullptr);
    }
    return hr;
  }
};

class LargeBodies : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUrlMon();
    server.get("/big", [this](const HttpRequest&, HttpResponse& r) {
      r.contentType = "application/octet-stream";
      r.announcedLength = size_t(body->size());
      r.stream = [this](const std::function<bool(const std::string&)>& write) {
        for (qsizetype at = 0; at < body->size(); at += kPiece) {
          if (!write(body->mid(at, kPiece).toStdString())) return false;
          sent += std::min(kPiece, body->size() - at);
        }
        return true;
      };
    });
    ASSERT_TRUE(server.start());
  }

  bool waitForStop(BindRecorder* recorder) {
    return testsupport::waitFor([recorder] { return recorder->stopped; }, 60000);
  }

  std::shared_ptr<const QByteArray> body = std::make_shared<const QByteArray>(patterned(48 * kMB));
  std::atomic<qint64> sent{0};  // bytes the server handed to the socket
  LoopbackServer server;
};

TEST_F(LargeBodies, TheBindStreamDropsWhatItsReaderConsumed) {
  ComPtr<WindowReader> reader = MakeCom<WindowReader>();
  ASSERT_EQ(BindAsync(server.url("/big"), reader.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(reader.Get()));
  EXPECT_EQ(reader->result, S_OK);
  ASSERT_EQ(reader->body.size(), body->size());
  EXPECT_EQ(sha(reader->body), sha(*body));
  // Position and size count the whole body; only going back into what was
  // read fails, and leaves the position where it was.
  EXPECT_GT(reader->position, std::uint64_t(2 * kMB));
  EXPECT_EQ(reader->reported, reader->position);
  EXPECT_EQ(reader->rewind, STG_E_INVALIDFUNCTION);
  EXPECT_EQ(reader->DataFlags().back() & BSCF_LASTDATANOTIFICATION, DWORD(BSCF_LASTDATANOTIFICATION));
}

TEST_F(LargeBodies, TheTransferWaitsForAClientSlowerThanTheServer) {
  ComPtr<BindRecorder> recorder = MakeCom<BindRecorder>();
  qint64 sentWhileStuck = -1;
  recorder->onData = [&](BindRecorder&) {
    if (sentWhileStuck >= 0) return;
    // The client takes its time over the first piece: the server gets only
    // as far as the binding's window and the sockets' buffers let it.
    qint64 last = -1;
    while (sent != last && sent < body->size()) {
      last = sent;
      QThread::msleep(300);
    }
    sentWhileStuck = sent;
  };
  ASSERT_EQ(BindAsync(server.url("/big"), recorder.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(recorder.Get()));
  EXPECT_EQ(recorder->result, S_OK);
  EXPECT_EQ(sha(recorder->body), sha(*body));
  EXPECT_GE(sentWhileStuck, 0);
  EXPECT_LT(sentWhileStuck, body->size() / 2);
}

TEST_F(LargeBodies, AReaderThatReadsLateStillGetsEveryByte) {
  // Reading nothing until the last notification keeps the whole body.
  struct LateReader : BindRecorder {
    HRESULT OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override {
      if (!(flags & BSCF_LASTDATANOTIFICATION)) return S_OK;
      medium->pstm->Seek(0, STREAM_SEEK_SET, nullptr);
      return BindRecorder::OnDataAvailable(flags, size, format, medium);
    }
  };
  ComPtr<LateReader> late = MakeCom<LateReader>();
  body = std::make_shared<const QByteArray>(patterned(6 * kMB));
  ASSERT_EQ(BindAsync(server.url("/big"), late.Get()), MK_S_ASYNCHRONOUS);
  ASSERT_TRUE(waitForStop(late.Get()));
  EXPECT_EQ(late->result, S_OK);
  EXPECT_EQ(sha(late->body), sha(*body));
}

}  // namespace
