#pragma once
// The component object model of the platform: result codes, GUIDs, IUnknown
// and the smart pointer over it, task memory, length-prefixed strings, class
// factories and the per-thread initialization counters.
//
// Interfaces are abstract structs deriving from IUnknown. Each one is tied to
// its IID (and to the interface it derives from) with NOCTIVANE_DECLARE_IID at
// global scope, right after its declaration:
//
//   struct IFoo : IDispatch { virtual HRESULT Bar() = 0; };
//   NOCTIVANE_DECLARE_IID(IFoo, IDispatch, "{12345678-1234-1234-1234-123456789ABC}")
//
// which gives IidOf<IFoo>() and the constant IID_IFoo.
#include "platform/rtl/Scopes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

// ---------------------------------------------------------------- basic types

using SCODE = LONG;
using LCID = DWORD;
using DISPID = LONG;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// A string with a 4-byte byte count in front of the characters and a
// terminating zero after them; the pointer points at the first character.
using BSTR = OLECHAR*;

// ---------------------------------------------------------------- result codes

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr ULONG SEVERITY_SUCCESS = 0;
inline constexpr ULONG SEVERITY_ERROR = 1;
inline constexpr ULONG FACILITY_NULL = 0;
inline constexpr ULONG FACILITY_RPC = 1;
inline constexpr ULONG FACILITY_DISPATCH = 2;
inline constexpr ULONG FACILITY_STORAGE = 3;
inline constexpr ULONG FACILITY_ITF = 4;
inline constexpr ULONG FACILITY_WIN32 = 7;

inline constexpr HRESULT MAKE_HRESULT(ULONG severity, ULONG facility, ULONG code) {
  return HRESULT((severity << 31) | (facility << 16) | code);
}
inline constexpr HRESULT HRESULT_FROM_WIN32(ULONG error) {
  return HRESULT(error) <= 0 ? HRESULT(error)
                             : HRESULT((error & 0xFFFF) | (FACILITY_WIN32 << 16) | 0x80000000u);
}
inline constexpr int HRESULT_CODE(HRESULT hr) { return hr & 0xFFFF; }
inline constexpr int HRESULT_FACILITY(HRESULT hr) { return (hr >> 16) & 0x1FFF; }
inline constexpr int HRESULT_SEVERITY(HRESULT hr) { return (hr >> 31) & 1; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT NOERROR = 0;
inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
inline constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
inline constexpr HRESULT E_ABORT = HRESULT(0x80004004u);
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
inline constexpr HRESULT E_PENDING = HRESULT(0x8000000Au);
inline constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = HRESULT(0x80070005u);
inline constexpr HRESULT E_HANDLE = HRESULT(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);

inline constexpr HRESULT OLE_E_NOCONNECTION = HRESULT(0x80040004u);
inline constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = HRESULT(0x80040100u);
inline constexpr HRESULT OLECMDERR_E_DISABLED = HRESULT(0x80040101u);
inline constexpr HRESULT OLECMDERR_E_NOHELP = HRESULT(0x80040102u);
inline constexpr HRESULT OLECMDERR_E_CANCELED = HRESULT(0x80040103u);
inline constexpr HRESULT OLECMDERR_E_UNKNOWNGROUP = HRESULT(0x80040104u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HRESULT(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154u);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = HRESULT(0x80040200u);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = HRESULT(0x80040201u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = HRESULT(0x80040202u);
inline constexpr HRESULT CONNECT_E_OVERRIDDEN = HRESULT(0x80040203u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = HRESULT(0x800401F3u);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HRESULT(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = HRESULT(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = HRESULT(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = HRESULT(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = HRESULT(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = HRESULT(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = HRESULT(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = HRESULT(0x8002000Bu);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = HRESULT(0x8002000Fu);

inline constexpr HRESULT STG_E_INVALIDFUNCTION = HRESULT(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = HRESULT(0x80030002u);
inline constexpr HRESULT STG_E_ACCESSDENIED = HRESULT(0x80030005u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = HRESULT(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = HRESULT(0x80030009u);
inline constexpr HRESULT STG_E_SEEKERROR = HRESULT(0x80030019u);
inline constexpr HRESULT STG_E_WRITEFAULT = HRESULT(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = HRESULT(0x8003001Eu);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = HRESULT(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = HRESULT(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDFLAG = HRESULT(0x800300FFu);
inline constexpr HRESULT STG_E_REVERTED = HRESULT(0x80030102u);

// ---------------------------------------------------------------- GUID

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
// An arbitrary but fixed order, for ordered containers.
bool operator<(const GUID& a, const GUID& b);

inline constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr CLSID CLSID_NULL = GUID_NULL;

namespace comdetail {
template <class Ch>
constexpr int HexDigit(Ch c) {
  if (c >= Ch('0') && c <= Ch('9')) return int(c - Ch('0'));
  if (c >= Ch('a') && c <= Ch('f')) return int(c - Ch('a')) + 10;
  if (c >= Ch('A') && c <= Ch('F')) return int(c - Ch('A')) + 10;
  return -1;
}
}  // namespace comdetail

// Parses exactly "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of
// either case). Usable at compile time.
template <class Ch>
constexpr bool ParseGuid(std::basic_string_view<Ch> text, GUID& out) {
  if (text.size() != 38 || text[0] != Ch('{') || text[37] != Ch('}')) return false;
  // Offsets of the 16 bytes after the opening brace, in text order.
  constexpr int kBytes[16] = {0, 2, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 28, 30, 32, 34};
  constexpr int kDashes[4] = {8, 13, 18, 23};
  for (int d : kDashes)
    if (text[1 + d] != Ch('-')) return false;
  BYTE bytes[16] = {};
  for (int i = 0; i < 16; ++i) {
    const int hi = comdetail::HexDigit(text[1 + kBytes[i]]);
    const int lo = comdetail::HexDigit(text[2 + kBytes[i]]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = BYTE(hi * 16 + lo);
  }
  out.Data1 = DWORD(bytes[0]) << 24 | DWORD(bytes[1]) << 16 | DWORD(bytes[2]) << 8 | bytes[3];
  out.Data2 = WORD(bytes[4] << 8 | bytes[5]);
  out.Data3 = WORD(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) out.Data4[i] = bytes[8 + i];
  return true;
}

// A GUID from a literal; a malformed literal does not compile.
consteval GUID GuidLiteral(const char* text) {
  GUID g{};
  if (!ParseGuid(std::string_view(text), g)) throw "malformed GUID literal";
  return g;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals.
String GUIDToString(REFGUID guid);
// False (and `guid` untouched) when `text` is not a braced GUID.
bool TryStringToGUID(const String& text, GUID& guid);
// Raises EOleSysError with CO_E_CLASSSTRING when `text` is not a braced GUID.
GUID StringToGUID(const String& text);
// Writes the braced text and its terminating zero into `buffer`; answers the
// number of characters written including the zero, or 0 when `cchMax` is too
// small.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);
// NOERROR, or CO_E_CLASSSTRING for a malformed text (E_INVALIDARG for nulls).
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
HRESULT IIDFromString(LPCOLESTR text, IID* iid);

template <>
struct std::hash<GUID> {
  std::size_t operator()(const GUID& g) const noexcept;
};
std::size_t qHash(const GUID& g, std::size_t seed = 0) noexcept;

// ---------------------------------------------------------------- interfaces

// What NOCTIVANE_DECLARE_IID records about an interface: its IID and the
// interface it derives from (void for IUnknown).
template <class Interface>
struct InterfaceInfo;

template <class Interface>
constexpr const IID& IidOf() {
  return InterfaceInfo<Interface>::iid;
}

#define NOCTIVANE_DECLARE_IID(Interface, BaseInterface, text)          \
  template <>                                                          \
  struct InterfaceInfo<Interface> {                                    \
    static_assert(std::is_base_of_v<BaseInterface, Interface>,         \
                  #Interface " does not derive from " #BaseInterface); \
    using Base = BaseInterface;                                        \
    static constexpr IID iid = GuidLiteral(text);                      \
  };                                                                   \
  inline constexpr const IID& IID_##Interface = InterfaceInfo<Interface>::iid;

struct IUnknown {
  // Hands out the object's interface `riid` (added a reference) or answers
  // E_NOINTERFACE with a null pointer.
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  // Objects end through Release, never through a delete of an interface.
  ~IUnknown() = default;
};

template <>
struct InterfaceInfo<IUnknown> {
  using Base = void;
  static constexpr IID iid = GuidLiteral("{00000000-0000-0000-C000-000000000046}");
};
inline constexpr const IID& IID_IUnknown = InterfaceInfo<IUnknown>::iid;

// ---------------------------------------------------------------- ComPtr

template <class T>
class ComPtr;

// What `&ptr` gives: the old interface is released and the pointer's address
// is handed to an out-parameter of type T** or void**.
template <class T>
class ComPtrRef {
 public:
  explicit ComPtrRef(ComPtr<T>* ptr) : ptr_(ptr) {}
  operator T**() { return ptr_->ReleaseAndGetAddressOf(); }
  operator void**() { return reinterpret_cast<void**>(ptr_->ReleaseAndGetAddressOf()); }

 private:
  ComPtr<T>* ptr_;
};

// Holds one reference to an interface.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference (the caller keeps its own).
  ComPtr(T* p) noexcept : p_(p) { AddRefIfAny(); }
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) { AddRefIfAny(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) noexcept : p_(other.Get()) {
    AddRefIfAny();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(ComPtr<U>&& other) noexcept : p_(other.Detach()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(T* p) noexcept {
    ComPtr(p).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  ComPtrRef<T> operator&() noexcept { return ComPtrRef<T>(this); }
  // The address of the held pointer, untouched (the caller must know it is null).
  T** GetAddressOf() noexcept { return &p_; }
  T** ReleaseAndGetAddressOf() noexcept {
    Reset();
    return &p_;
  }

  // Releases the held interface.
  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Takes over `p` without adding a reference.
  void Attach(T* p) noexcept {
    Reset();
    p_ = p;
  }
  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // Hands out a new reference through an out-parameter.
  HRESULT CopyTo(T** out) const noexcept {
    if (!out) return E_POINTER;
    *out = p_;
    AddRefIfAny();
    return S_OK;
  }

  // QueryInterface for U into `&out` of a ComPtr<U> (released first).
  template <class U>
  HRESULT As(ComPtrRef<U> out) const noexcept {
    U** pp = out;
    if (!p_) return E_POINTER;
    return p_->QueryInterface(IidOf<U>(), reinterpret_cast<void**>(pp));
  }
  // QueryInterface for U; null when the object does not have it.
  template <class U>
  ComPtr<U> As() const noexcept {
    ComPtr<U> out;
    As(&out);
    return out;
  }

 private:
  void AddRefIfAny() const noexcept {
    if (p_) p_->AddRef();
  }
  T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
  return a.Get() == b.Get();
}
template <class T, class U>
bool operator==(const ComPtr<T>& a, U* b) noexcept {
  return a.Get() == b;
}
template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept {
  return a.Get() == nullptr;
}

// Whether two interface pointers belong to the same object (compares the
// IUnknown each one answers).
bool IsSameObject(IUnknown* a, IUnknown* b);

// ---------------------------------------------------------------- task memory

// The task allocator. Every live block is counted so tests can catch leaks.
void* CoTaskMemAlloc(std::size_t size);
void* CoTaskMemRealloc(void* block, std::size_t size);
void CoTaskMemFree(void* block);
long CoTaskMemLiveBlocks();
// A zero-terminated copy of `s` in task memory (a one-character block for an
// empty string); the receiver frees it with CoTaskMemFree.
LPOLESTR CoTaskMemDupString(const String& s);
// The text of a zero-terminated string; empty for null.
String OleStrToString(LPCOLESTR s);
// A block of task memory owned here (see Owned).
template <class T>
using OwnedTaskMem = Owned<T*, CoTaskMemFree>;

// ---------------------------------------------------------------- BSTR

// Null `s` gives a BSTR of `len` zero characters.
BSTR SysAllocString(LPCOLESTR s);
BSTR SysAllocStringLen(LPCOLESTR s, UINT len);
void SysFreeString(BSTR s);
UINT SysStringLen(BSTR s);      // characters; 0 for null
UINT SysStringByteLen(BSTR s);  // bytes; 0 for null
long SysStringLiveCount();
BSTR StringToBSTR(const String& s);
// Takes the length from the prefix, so embedded zeros survive; empty for null.
String BSTRToString(BSTR s);
// A BSTR owned here (see Owned).
using OwnedBstr = Owned<BSTR, SysFreeString>;

// ---------------------------------------------------------------- class factories

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;
};
NOCTIVANE_DECLARE_IID(IClassFactory, IUnknown, "{00000001-0000-0000-C000-000000000046}")

enum : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
  CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER,
};

// Creates an instance and hands out its interface `riid`. `outer` is the
// controlling unknown when the object is aggregated (only given to creators
// registered as aggregatable).
using ClassCreator = std::function<HRESULT(IUnknown* outer, REFIID riid, void** ppv)>;

// Registers (or replaces) the class of the process table.
void RegisterClassFactory(REFCLSID clsid, ClassCreator creator, bool aggregatable = false);
// Removes the class; answers whether it was registered.
bool UnregisterClassFactory(REFCLSID clsid);

// REGDB_E_CLASSNOTREG for an unknown class; CLASS_E_NOAGGREGATION when an
// outer unknown is given and the class does not aggregate.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv);
// The class's factory as `riid` (normally IClassFactory).
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* reserved, REFIID riid, void** ppv);

// ---------------------------------------------------------------- initialization

enum : DWORD { COINIT_MULTITHREADED = 0x0, COINIT_APARTMENTTHREADED = 0x2 };

// Per-thread counters: the first call on a thread answers S_OK, later ones
// S_FALSE; each successful call wants one uninitialize.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();
HRESULT OleInitialize(void* reserved);
void OleUninitialize();
// How many initializations of the calling thread are still open.
int CoInitializeCount();
