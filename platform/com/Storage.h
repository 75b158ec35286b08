#pragma once
// Structured storage in memory: byte arrays behind ILockBytes and compound
// storages on them whose streams live in memory (what a container hands a
// rich edit for an embedded object).
#include <QByteArray>

#include "platform/com/OleIdl.h"
#include "platform/com/Streams.h"

inline constexpr HRESULT STG_E_FILEALREADYEXISTS = HRESULT(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDNAME = HRESULT(0x800300FCu);

// Storage modes.
enum : DWORD {
  STGM_SHARE_DENY_READ = 0x00000030,
  STGM_SHARE_DENY_WRITE = 0x00000020,
  STGM_SHARE_EXCLUSIVE = 0x00000010,
  STGM_CREATE = 0x00001000,
};

struct ILockBytes : IUnknown {
  virtual HRESULT ReadAt(std::uint64_t ulOffset, void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT WriteAt(std::uint64_t ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT SetSize(std::uint64_t cb) = 0;
  virtual HRESULT LockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
};
NOCTIVANE_DECLARE_IID(ILockBytes, IUnknown, "{0000000A-0000-0000-C000-000000000046}")

// The part of a compound storage that containers use: streams by name.
struct IStorage : IUnknown {
  virtual HRESULT CreateStream(LPCOLESTR pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                               IStream** ppstm) = 0;
  virtual HRESULT OpenStream(LPCOLESTR pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                             IStream** ppstm) = 0;
  virtual HRESULT DestroyElement(LPCOLESTR pwcsName) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
};
NOCTIVANE_DECLARE_IID(IStorage, IUnknown, "{0000000B-0000-0000-C000-000000000046}")

// Byte array lock bytes. `hGlobal` must be null (a new, empty array);
// fDeleteOnRelease is accepted (the array always goes with the object).
HRESULT CreateILockBytesOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, ILockBytes** pplkbyt);
// A new storage on lock bytes (a reference is kept). The mode must create
// (STGM_CREATE), allow writing and share exclusively, else STG_E_INVALIDFLAG.
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* plkbyt, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);
