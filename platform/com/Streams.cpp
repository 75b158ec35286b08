#include "platform/com/Streams.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kFileTimeEpochOffset = 116444736000000000ull;

std::uint64_t toFileTime(const QDateTime& t) {
  if (!t.isValid()) return 0;
  return std::uint64_t(t.toMSecsSinceEpoch()) * 10000u + kFileTimeEpochOffset;
}

constexpr ULONG kCopyChunk = 64 * 1024;

}  // namespace

// ---------------------------------------------------------------- TStreamAdapter

TStreamAdapter::TStreamAdapter(TStream* stream, TStreamOwnership ownership)
    : stream_(stream), ownership_(ownership) {}

TStreamAdapter::~TStreamAdapter() {
  if (ownership_ == soOwned) delete stream_;
}

HRESULT TStreamAdapter::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead) *pcbRead = 0;
  if (!pv) return STG_E_INVALIDPOINTER;
  try {
    const Int64 n = stream_->Read(pv, cb);
    if (pcbRead) *pcbRead = ULONG(n);
    return S_OK;
  } catch (const std::exception&) {
    return STG_E_READFAULT;
  }
}

HRESULT TStreamAdapter::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  if (!pv) return STG_E_INVALIDPOINTER;
  try {
    const Int64 n = stream_->Write(pv, cb);
    if (pcbWritten) *pcbWritten = ULONG(n);
    return n == Int64(cb) ? S_OK : STG_E_MEDIUMFULL;
  } catch (const std::exception&) {
    return STG_E_WRITEFAULT;
  }
}

HRESULT TStreamAdapter::Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) {
  try {
    Int64 base = 0;
    switch (dwOrigin) {
      case STREAM_SEEK_SET: break;
      case STREAM_SEEK_CUR: base = stream_->GetPosition(); break;
      case STREAM_SEEK_END: base = stream_->GetSize(); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    // A position before the start is refused and leaves the position as it was.
    if (dlibMove < -base) return STG_E_INVALIDFUNCTION;
    const Int64 pos = stream_->Seek(base + dlibMove, soBeginning);
    if (plibNewPosition) *plibNewPosition = std::uint64_t(pos);
    return S_OK;
  } catch (const std::exception&) {
    return STG_E_SEEKERROR;
  }
}

HRESULT TStreamAdapter::SetSize(std::uint64_t libNewSize) {
  if (libNewSize > std::uint64_t(std::numeric_limits<Int64>::max())) return STG_E_INVALIDFUNCTION;
  try {
    stream_->SetSize(Int64(libNewSize));
    return stream_->GetSize() == Int64(libNewSize) ? S_OK : STG_E_MEDIUMFULL;
  } catch (const std::exception&) {
    return STG_E_MEDIUMFULL;
  }
}

HRESULT TStreamAdapter::CopyTo(IStream* pstm, std::uint64_t cb, std::uint64_t* pcbRead,
                               std::uint64_t* pcbWritten) {
  if (pcbRead) *pcbRead = 0;
  if (pcbWritten) *pcbWritten = 0;
  if (!pstm) return STG_E_INVALIDPOINTER;
  std::vector<char> buffer(std::size_t(std::min<std::uint64_t>(cb, kCopyChunk)));
  std::uint64_t totalRead = 0, totalWritten = 0;
  HRESULT hr = S_OK;
  while (totalRead < cb) {
    const ULONG want = ULONG(std::min<std::uint64_t>(cb - totalRead, kCopyChunk));
    ULONG got = 0;
    hr = Read(buffer.data(), want, &got);
    if (FAILED(hr) || got == 0) break;
    totalRead += got;
    ULONG written = 0;
    hr = pstm->Write(buffer.data(), got, &written);
    totalWritten += written;
    if (FAILED(hr)) break;
    if (written < got) {
      hr = STG_E_MEDIUMFULL;
      break;
    }
  }
  if (pcbRead) *pcbRead = totalRead;
  if (pcbWritten) *pcbWritten = totalWritten;
  return hr;
}

HRESULT TStreamAdapter::Commit(DWORD) { return S_OK; }

HRESULT TStreamAdapter::Revert() { return S_OK; }

HRESULT TStreamAdapter::LockRegion(std::uint64_t, std::uint64_t, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TStreamAdapter::UnlockRegion(std::uint64_t, std::uint64_t, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TStreamAdapter::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  if (!pstatstg) return STG_E_INVALIDPOINTER;
  if (grfStatFlag != STATFLAG_DEFAULT && grfStatFlag != STATFLAG_NONAME) return STG_E_INVALIDFLAG;
  std::memset(pstatstg, 0, sizeof *pstatstg);
  try {
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize = std::uint64_t(stream_->GetSize());
    if (auto* file = dynamic_cast<TFileStream*>(stream_)) {
      const QFileInfo info(file->FileName());
      pstatstg->mtime = toFileTime(info.lastModified());
      pstatstg->ctime = toFileTime(info.birthTime().isValid() ? info.birthTime() : info.metadataChangeTime());
      pstatstg->atime = toFileTime(info.lastRead());
      if (grfStatFlag == STATFLAG_DEFAULT) {
        pstatstg->pwcsName = CoTaskMemDupString(file->FileName());
        if (!pstatstg->pwcsName) return STG_E_INSUFFICIENTMEMORY;
      }
    }
    return S_OK;
  } catch (const std::exception&) {
    return STG_E_ACCESSDENIED;
  }
}

HRESULT TStreamAdapter::Clone(IStream** ppstm) {
  if (ppstm) *ppstm = nullptr;
  return E_NOTIMPL;
}

// ---------------------------------------------------------------- TOleStream

namespace {
void check(HRESULT hr, const char* what) {
  if (FAILED(hr))
    throw EOleSysError(QStringLiteral("Stream %1 failed (%2)")
                           .arg(QLatin1String(what), IntToHex(Int64(std::uint32_t(hr)), 8)),
                       hr);
}
}  // namespace

TOleStream::TOleStream(IStream* stream) : stream_(stream) {}

Int64 TOleStream::Read(void* buffer, Int64 count) {
  Int64 total = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (total < count) {
    const ULONG want = ULONG(std::min<Int64>(count - total, std::numeric_limits<ULONG>::max()));
    ULONG got = 0;
    check(stream_->Read(bytes + total, want, &got), "read");
    total += got;
    if (got < want) break;
  }
  return total;
}

Int64 TOleStream::Write(const void* buffer, Int64 count) {
  Int64 total = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (total < count) {
    const ULONG want = ULONG(std::min<Int64>(count - total, std::numeric_limits<ULONG>::max()));
    ULONG written = 0;
    check(stream_->Write(bytes + total, want, &written), "write");
    total += written;
    if (written < want) break;
  }
  return total;
}

Int64 TOleStream::Seek(Int64 offset, TSeekOrigin origin) {
  std::uint64_t pos = 0;
  check(stream_->Seek(offset, DWORD(origin), &pos), "seek");
  return Int64(pos);
}

void TOleStream::SetSize(Int64 newSize) {
  if (newSize < 0) throw EStreamError(QStringLiteral("Invalid stream size"));
  check(stream_->SetSize(std::uint64_t(newSize)), "set size");
}

// ---------------------------------------------------------------- memory streams

HRESULT CreateMemoryStream(IStream** stream, const QByteArray& initial) {
  if (!stream) return E_POINTER;
  auto* memory = new TMemoryStream;
  if (!initial.isEmpty()) {
    memory->WriteBytes(initial);
    memory->SetPosition(0);
  }
  *stream = new TStreamAdapter(memory, soOwned);
  (*stream)->AddRef();
  return S_OK;
}

HRESULT GetStreamBytes(IStream* stream, QByteArray& bytes) {
  if (!stream) return E_POINTER;
  std::uint64_t saved = 0;
  HRESULT hr = stream->Seek(0, STREAM_SEEK_CUR, &saved);
  if (FAILED(hr)) return hr;
  STATSTG stat;
  hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  if (stat.cbSize > std::uint64_t(std::numeric_limits<int>::max())) return E_OUTOFMEMORY;
  QByteArray content(qsizetype(stat.cbSize), Qt::Uninitialized);
  hr = stream->Seek(0, STREAM_SEEK_SET, nullptr);
  // A stream may hand out less than asked before its end; read until it stops.
  qsizetype total = 0;
  while (SUCCEEDED(hr) && total < content.size()) {
    ULONG got = 0;
    hr = stream->Read(content.data() + total, ULONG(content.size() - total), &got);
    if (got == 0) break;
    total += got;
  }
  const HRESULT restored = stream->Seek(std::int64_t(saved), STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  if (FAILED(restored)) return restored;
  content.truncate(total);
  bytes = content;
  return S_OK;
}
