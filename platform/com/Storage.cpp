#include "platform/com/Storage.h"

#include <QString>

#include <cstring>
#include <limits>
#include <map>

namespace {

class MemoryLockBytes final : public ComObject<ILockBytes> {
 public:
  HRESULT ReadAt(std::uint64_t offset, void* pv, ULONG cb, ULONG* read) override {
    if (!pv) return STG_E_INVALIDPOINTER;
    ULONG n = 0;
    if (offset < std::uint64_t(bytes_.size())) n = ULONG(std::min<std::uint64_t>(cb, bytes_.size() - offset));
    if (n) std::memcpy(pv, bytes_.constData() + offset, n);
    if (read) *read = n;
    return S_OK;
  }
  HRESULT WriteAt(std::uint64_t offset, const void* pv, ULONG cb, ULONG* written) override {
    if (!pv) return STG_E_INVALIDPOINTER;
    if (offset + cb > std::uint64_t(std::numeric_limits<int>::max())) return STG_E_INSUFFICIENTMEMORY;
    if (offset + cb > std::uint64_t(bytes_.size())) bytes_.resize(qsizetype(offset + cb), '\0');
    if (cb) std::memcpy(bytes_.data() + offset, pv, cb);
    if (written) *written = cb;
    return S_OK;
  }
  HRESULT Flush() override { return S_OK; }
  HRESULT SetSize(std::uint64_t cb) override {
    if (cb > std::uint64_t(std::numeric_limits<int>::max())) return STG_E_INSUFFICIENTMEMORY;
    bytes_.resize(qsizetype(cb), '\0');
    return S_OK;
  }
  HRESULT LockRegion(std::uint64_t, std::uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(std::uint64_t, std::uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_LOCKBYTES;
    stat->cbSize = std::uint64_t(bytes_.size());
    return S_OK;
  }

 private:
  QByteArray bytes_;
};

class MemoryStorage final : public ComObject<IStorage> {
 public:
  MemoryStorage(ILockBytes* bytes, DWORD mode) : bytes_(bytes), mode_(mode) {}

  HRESULT CreateStream(LPCOLESTR name, DWORD, DWORD, DWORD, IStream** stream) override {
    if (!stream) return STG_E_INVALIDPOINTER;
    *stream = nullptr;
    if (!name || !*name) return STG_E_INVALIDNAME;
    ComPtr<IStream> adapter = MakeCom<TStreamAdapter>(new TMemoryStream, soOwned);
    streams_[QString::fromUtf16(name)] = adapter;
    *stream = adapter.Detach();
    return S_OK;
  }
  HRESULT OpenStream(LPCOLESTR name, void*, DWORD, DWORD, IStream** stream) override {
    if (!stream) return STG_E_INVALIDPOINTER;
    *stream = nullptr;
    auto it = name ? streams_.find(QString::fromUtf16(name)) : streams_.end();
    if (it == streams_.end()) return STG_E_FILENOTFOUND;
    ComPtr<IStream> s = it->second;
    s->Seek(0, STREAM_SEEK_SET, nullptr);
    *stream = s.Detach();
    return S_OK;
  }
  HRESULT DestroyElement(LPCOLESTR name) override {
    return name && streams_.erase(QString::fromUtf16(name)) ? S_OK : STG_E_FILENOTFOUND;
  }
  HRESULT Commit(DWORD) override { return bytes_->Flush(); }
  HRESULT Revert() override { return S_OK; }
  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STORAGE;
    stat->grfMode = mode_;
    return S_OK;
  }

 private:
  ComPtr<ILockBytes> bytes_;
  DWORD mode_;
  std::map<QString, ComPtr<IStream>> streams_;
};

}  // namespace

HRESULT CreateILockBytesOnHGlobal(HGLOBAL hGlobal, BOOL, ILockBytes** pplkbyt) {
  if (!pplkbyt) return E_INVALIDARG;
  *pplkbyt = nullptr;
  if (hGlobal) return E_INVALIDARG;
  *pplkbyt = MakeCom<MemoryLockBytes>().Detach();
  return S_OK;
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* plkbyt, DWORD grfMode, DWORD, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (!plkbyt) return STG_E_INVALIDPOINTER;
  const DWORD access = grfMode & 3;
  if (!(grfMode & STGM_CREATE) || access == STGM_READ || (grfMode & 0x70) != STGM_SHARE_EXCLUSIVE)
    return STG_E_INVALIDFLAG;
  *ppstgOpen = MakeCom<MemoryStorage>(plkbyt, grfMode).Detach();
  return S_OK;
}
