#pragma once
// IStream, the adapter that serves a TStream as an IStream, the reverse
// (TOleStream, a TStream over an IStream), and streams in memory.
#include "platform/com/ComObject.h"
#include "platform/rtl/Classes.h"

struct ISequentialStream : IUnknown {
  // Reads up to `cb` bytes; fewer at the end of the stream (still S_OK).
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};
NOCTIVANE_DECLARE_IID(ISequentialStream, IUnknown, "{0C733A30-2A1C-11CE-ADE5-00AA0044773D}")

enum : DWORD { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };
enum : DWORD { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3, STGTY_PROPERTY = 4 };
enum : DWORD { STATFLAG_DEFAULT = 0, STATFLAG_NONAME = 1 };
enum : DWORD { STGC_DEFAULT = 0 };

struct STATSTG {
  LPOLESTR pwcsName;  // task memory, freed by the receiver; null when not asked for
  DWORD type;
  std::uint64_t cbSize;
  // Times as 100-nanosecond intervals since 1601-01-01 UTC; 0 when unknown.
  std::uint64_t mtime;
  std::uint64_t ctime;
  std::uint64_t atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) = 0;
  virtual HRESULT SetSize(std::uint64_t libNewSize) = 0;
  // Copies up to `cb` bytes from the current position into `pstm`.
  virtual HRESULT CopyTo(IStream* pstm, std::uint64_t cb, std::uint64_t* pcbRead,
                         std::uint64_t* pcbWritten) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  virtual HRESULT Clone(IStream** ppstm) = 0;
};
NOCTIVANE_DECLARE_IID(IStream, ISequentialStream, "{0000000C-0000-0000-C000-000000000046}")

enum TStreamOwnership { soReference, soOwned };

// An IStream over a TStream. Failures of the stream (exceptions) become
// result codes. With soOwned the adapter deletes the stream when it goes.
// Commit and Revert do nothing (the stream is direct); regions cannot be
// locked; Clone is not supported.
class TStreamAdapter : public ComObject<IStream> {
 public:
  explicit TStreamAdapter(TStream* stream, TStreamOwnership ownership = soReference);
  TStream* Stream() const { return stream_; }

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) override;
  HRESULT SetSize(std::uint64_t libNewSize) override;
  HRESULT CopyTo(IStream* pstm, std::uint64_t cb, std::uint64_t* pcbRead, std::uint64_t* pcbWritten) override;
  HRESULT Commit(DWORD grfCommitFlags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) override;
  HRESULT UnlockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) override;
  // The name (for a file stream, its file name) comes in task memory unless
  // STATFLAG_NONAME is given.
  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT Clone(IStream** ppstm) override;

 protected:
  ~TStreamAdapter() override;

 private:
  TStream* stream_;
  TStreamOwnership ownership_;
};

// A TStream over an IStream; failures raise EOleSysError with the result code.
class TOleStream : public TStream {
 public:
  explicit TOleStream(IStream* stream);
  String ClassName() const override { return QStringLiteral("TOleStream"); }
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Write(const void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  void SetSize(Int64 newSize) override;
  IStream* GetIStream() const { return stream_.Get(); }

 private:
  ComPtr<IStream> stream_;
};

// A new stream in memory holding `initial`, positioned at its start.
HRESULT CreateMemoryStream(IStream** stream, const QByteArray& initial = QByteArray());
// The whole content of a stream; its position is left where it was.
HRESULT GetStreamBytes(IStream* stream, QByteArray& bytes);
