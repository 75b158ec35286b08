// IStream over TStream and back, on memory and on real files.
#include <gtest/gtest.h>

#include "platform/com/Streams.h"
#include "tests/support/TestSupport.h"

namespace {

QByteArray readAll(IStream* s) {
  QByteArray bytes;
  EXPECT_EQ(GetStreamBytes(s, bytes), S_OK);
  return bytes;
}

// A memory stream that reports its end.
class WatchedStream : public TMemoryStream {
 public:
  explicit WatchedStream(bool* gone) : gone_(gone) {}
  ~WatchedStream() override { *gone_ = true; }

 private:
  bool* gone_;
};

// A stream whose every transfer fails.
class BrokenStream : public TMemoryStream {
 public:
  Int64 Read(void*, Int64) override { throw EReadError(QStringLiteral("broken")); }
  Int64 Write(const void*, Int64) override { throw EWriteError(QStringLiteral("broken")); }
};

}  // namespace

TEST(StreamAdapter, ReadsWritesAndSeeksLikeAStream) {
  TMemoryStream memory;
  ComPtr<IStream> s = MakeCom<TStreamAdapter>(&memory);
  ULONG n = 0;
  ASSERT_EQ(s->Write("hello world", 11, &n), S_OK);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(memory.Bytes(), QByteArray("hello world"));

  std::uint64_t pos = 99;
  ASSERT_EQ(s->Seek(-5, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos, 6u);
  char buf[16] = {};
  ASSERT_EQ(s->Read(buf, sizeof buf, &n), S_OK);  // short read at the end is still S_OK
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(QByteArray(buf, int(n)), QByteArray("world"));
  ASSERT_EQ(s->Read(buf, 4, &n), S_OK);
  EXPECT_EQ(n, 0u);

  ASSERT_EQ(s->Seek(2, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Seek(3, STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos, 5u);
  // Before the start: refused, position unchanged.
  EXPECT_EQ(s->Seek(-6, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(0, 7, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(0, STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos, 5u);
  EXPECT_EQ(s->Read(nullptr, 1, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(s->Write(nullptr, 1, &n), STG_E_INVALIDPOINTER);

  ASSERT_EQ(s->SetSize(5), S_OK);
  EXPECT_EQ(memory.Bytes(), QByteArray("hello"));
  STATSTG stat;
  ASSERT_EQ(s->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(stat.type, DWORD(STGTY_STREAM));
  EXPECT_EQ(stat.cbSize, 5u);
  EXPECT_EQ(stat.pwcsName, nullptr);  // a memory stream has no name
  EXPECT_EQ(s->Stat(&stat, 9), STG_E_INVALIDFLAG);

  EXPECT_EQ(s->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(s->LockRegion(0, 1, 0), STG_E_INVALIDFUNCTION);
  IStream* clone = reinterpret_cast<IStream*>(1);
  EXPECT_EQ(s->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(clone, nullptr);
}

TEST(StreamAdapter, OwnershipDecidesWhoDeletesTheStream) {
  bool gone = false;
  auto* owned = new WatchedStream(&gone);
  MakeCom<TStreamAdapter>(owned, soOwned);
  EXPECT_TRUE(gone);

  gone = false;
  WatchedStream kept(&gone);
  MakeCom<TStreamAdapter>(&kept, soReference);
  EXPECT_FALSE(gone);
  kept.WriteBytes("still usable");
  EXPECT_EQ(kept.GetSize(), 12);
}

TEST(StreamAdapter, FileStreamStatCopyToAndRoundTrip) {
  const String path = testsupport::profileDir() + "/streams/data.bin";
  ASSERT_TRUE(ForceDirectories(ExtractFileDir(path)));
  QByteArray payload;
  for (int i = 0; i < 200000; ++i) payload.append(char(i * 7));  // more than one copy chunk
  const long taskBlocks = CoTaskMemLiveBlocks();
  {
    auto* file = new TFileStream(path, fmCreate);
    ComPtr<IStream> s = MakeCom<TStreamAdapter>(file, soOwned);
    ULONG n = 0;
    ASSERT_EQ(s->Write(payload.constData(), ULONG(payload.size()), &n), S_OK);
    EXPECT_EQ(n, ULONG(payload.size()));

    STATSTG stat;
    ASSERT_EQ(s->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.cbSize, std::uint64_t(payload.size()));
    EXPECT_EQ(OleStrToString(stat.pwcsName), path);
    EXPECT_NE(stat.mtime, 0u);
    EXPECT_EQ(CoTaskMemLiveBlocks(), taskBlocks + 1);  // the name is the receiver's to free
    CoTaskMemFree(stat.pwcsName);
    ASSERT_EQ(s->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.pwcsName, nullptr);

    // Part of the file, from the middle, into a memory stream.
    ComPtr<IStream> target;
    ASSERT_EQ(CreateMemoryStream(&target), S_OK);
    ASSERT_EQ(s->Seek(1000, STREAM_SEEK_SET, nullptr), S_OK);
    std::uint64_t read = 0, written = 0;
    ASSERT_EQ(s->CopyTo(target.Get(), 150000, &read, &written), S_OK);
    EXPECT_EQ(read, 150000u);
    EXPECT_EQ(written, 150000u);
    EXPECT_EQ(readAll(target.Get()), payload.mid(1000, 150000));
    // Asking for more than is left copies what is left.
    ASSERT_EQ(s->CopyTo(target.Get(), 1u << 30, &read, &written), S_OK);
    EXPECT_EQ(read, std::uint64_t(payload.size() - 151000));
    EXPECT_EQ(readAll(target.Get()), payload.mid(1000));
    EXPECT_EQ(s->CopyTo(nullptr, 1, &read, &written), STG_E_INVALIDPOINTER);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), taskBlocks);
  EXPECT_EQ(testsupport::readFile(path), payload);  // the adapter closed the file
}

TEST(StreamAdapter, StreamFailuresBecomeResultCodesAndBack) {
  BrokenStream broken;
  ComPtr<IStream> s = MakeCom<TStreamAdapter>(&broken);
  char buf[4];
  ULONG n = 7;
  EXPECT_EQ(s->Read(buf, 4, &n), STG_E_READFAULT);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s->Write(buf, 4, &n), STG_E_WRITEFAULT);

  TOleStream ole(s.Get());
  try {
    ole.ReadBuffer(buf, 4);
    FAIL() << "no exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, STG_E_READFAULT);
  }
}

TEST(OleStream, TStreamOverAnIStream) {
  ComPtr<IStream> s;
  ASSERT_EQ(CreateMemoryStream(&s, "0123456789"), S_OK);
  {
    TOleStream stream(s.Get());
    EXPECT_EQ(stream.GetIStream(), s.Get());
    EXPECT_EQ(stream.GetSize(), 10);
    EXPECT_EQ(stream.GetPosition(), 0);  // a new stream starts at its start
    char buf[3];
    stream.ReadBuffer(buf, 3);
    EXPECT_EQ(QByteArray(buf, 3), QByteArray("012"));
    stream.Seek(-2, soEnd);
    stream.WriteBytes("XYZ");
    EXPECT_EQ(stream.GetSize(), 11);
    stream.SetSize(4);
    EXPECT_EQ(stream.GetSize(), 4);

    TStringStream source(QStringLiteral("copied"));
    stream.SetPosition(4);
    stream.CopyFrom(source, 0);
    EXPECT_THROW(stream.Seek(-100, soCurrent), EOleSysError);
  }
  // The bytes land in the IStream, whose position GetStreamBytes leaves alone.
  std::uint64_t before = 0;
  s->Seek(3, STREAM_SEEK_SET, &before);
  EXPECT_EQ(readAll(s.Get()), QByteArray("0123copied"));
  std::uint64_t after = 0;
  s->Seek(0, STREAM_SEEK_CUR, &after);
  EXPECT_EQ(after, 3u);
}
