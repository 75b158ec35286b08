#include "platform/com/Com.h"

#include "platform/com/ComObject.h"
#include "platform/com/Log_p.h"

#include <QHashFunctions>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

// ---------------------------------------------------------------- GUID

bool operator<(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }

String GUIDToString(REFGUID g) {
  return String::asprintf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                          unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                          g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

bool TryStringToGUID(const String& text, GUID& guid) {
  GUID parsed{};
  const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size()));
  if (!ParseGuid(view, parsed)) return false;
  guid = parsed;
  return true;
}

GUID StringToGUID(const String& text) {
  GUID g{};
  if (!TryStringToGUID(text, g))
    throw EOleSysError(QStringLiteral("Invalid class string: %1").arg(text), CO_E_CLASSSTRING);
  return g;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax) {
  const String text = GUIDToString(guid);
  if (!buffer || cchMax < text.size() + 1) return 0;
  std::memcpy(buffer, text.utf16(), std::size_t(text.size()) * sizeof(OLECHAR));
  buffer[text.size()] = 0;
  return int(text.size()) + 1;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (!text || !clsid) return E_INVALIDARG;
  return ParseGuid(std::u16string_view(text), *clsid) ? NOERROR : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) { return CLSIDFromString(text, iid); }

std::size_t std::hash<GUID>::operator()(const GUID& g) const noexcept { return qHash(g); }

std::size_t qHash(const GUID& g, std::size_t seed) noexcept { return qHashBits(&g, sizeof(GUID), seed); }

bool IsSameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return a == b;
  ComPtr<IUnknown> ua, ub;
  if (FAILED(a->QueryInterface(IID_IUnknown, &ua)) || FAILED(b->QueryInterface(IID_IUnknown, &ub)))
    return false;
  return ua == ub;
}

// ---------------------------------------------------------------- task memory

namespace {
std::atomic<long> g_taskBlocks{0};
std::atomic<long> g_bstrCount{0};
}  // namespace

void* CoTaskMemAlloc(std::size_t size) {
  // A zero-byte request still gets a distinct block, like the platform's.
  void* block = std::malloc(size ? size : 1);
  if (block) ++g_taskBlocks;
  return block;
}

void* CoTaskMemRealloc(void* block, std::size_t size) {
  if (!block) return CoTaskMemAlloc(size);
  if (size == 0) {
    CoTaskMemFree(block);
    return nullptr;
  }
  // On failure the old block stays valid and counted.
  return std::realloc(block, size);
}

void CoTaskMemFree(void* block) {
  if (!block) return;
  std::free(block);
  --g_taskBlocks;
}

long CoTaskMemLiveBlocks() { return g_taskBlocks.load(); }

LPOLESTR CoTaskMemDupString(const String& s) {
  const std::size_t chars = std::size_t(s.size());
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((chars + 1) * sizeof(OLECHAR)));
  if (!copy) return nullptr;
  std::memcpy(copy, s.utf16(), chars * sizeof(OLECHAR));
  copy[chars] = 0;
  return copy;
}

String OleStrToString(LPCOLESTR s) { return s ? String::fromUtf16(s) : String(); }

// ---------------------------------------------------------------- BSTR

BSTR SysAllocStringLen(LPCOLESTR s, UINT len) {
  const std::size_t bytes = std::size_t(len) * sizeof(OLECHAR);
  auto* block = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const std::uint32_t prefix = std::uint32_t(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  auto* chars = reinterpret_cast<BSTR>(block + sizeof prefix);
  if (s)
    std::memcpy(chars, s, bytes);
  else
    std::memset(chars, 0, bytes);
  chars[len] = 0;
  ++g_bstrCount;
  return chars;
}

BSTR SysAllocString(LPCOLESTR s) {
  if (!s) return nullptr;
  return SysAllocStringLen(s, UINT(std::char_traits<char16_t>::length(s)));
}

void SysFreeString(BSTR s) {
  if (!s) return;
  std::free(reinterpret_cast<char*>(s) - sizeof(std::uint32_t));
  --g_bstrCount;
}

UINT SysStringByteLen(BSTR s) {
  if (!s) return 0;
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(s) - sizeof prefix, sizeof prefix);
  return prefix;
}

UINT SysStringLen(BSTR s) { return SysStringByteLen(s) / sizeof(OLECHAR); }

long SysStringLiveCount() { return g_bstrCount.load(); }

BSTR StringToBSTR(const String& s) {
  return SysAllocStringLen(reinterpret_cast<LPCOLESTR>(s.utf16()), UINT(s.size()));
}

String BSTRToString(BSTR s) { return s ? String::fromUtf16(s, qsizetype(SysStringLen(s))) : String(); }

// ---------------------------------------------------------------- class factories

namespace {

struct ClassEntry {
  ClassCreator creator;
  bool aggregatable = false;
};

std::mutex g_classMutex;
std::map<CLSID, ClassEntry>& classTable() {
  static std::map<CLSID, ClassEntry> table;
  return table;
}

bool findClass(REFCLSID clsid, ClassEntry& entry) {
  std::lock_guard lock(g_classMutex);
  auto it = classTable().find(clsid);
  if (it == classTable().end()) return false;
  entry = it->second;
  return true;
}

HRESULT createFromEntry(const ClassEntry& entry, IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !entry.aggregatable) return CLASS_E_NOAGGREGATION;
  return entry.creator(outer, riid, ppv);
}

// The factory object handed out by CoGetClassObject for a table entry.
class TableClassFactory final : public ComObject<IClassFactory> {
 public:
  explicit TableClassFactory(ClassEntry entry) : entry_(std::move(entry)) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    return createFromEntry(entry_, outer, riid, ppv);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  ClassEntry entry_;
};

}  // namespace

void RegisterClassFactory(REFCLSID clsid, ClassCreator creator, bool aggregatable) {
  std::lock_guard lock(g_classMutex);
  classTable()[clsid] = ClassEntry{std::move(creator), aggregatable};
}

bool UnregisterClassFactory(REFCLSID clsid) {
  std::lock_guard lock(g_classMutex);
  return classTable().erase(clsid) > 0;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ClassEntry entry;
  if (!findClass(clsid, entry)) {
    qCDebug(lcCom) << "CoCreateInstance: no class" << GUIDToString(clsid);
    return REGDB_E_CLASSNOTREG;
  }
  return createFromEntry(entry, outer, riid, ppv);
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ClassEntry entry;
  if (!findClass(clsid, entry)) {
    qCDebug(lcCom) << "CoGetClassObject: no class" << GUIDToString(clsid);
    return REGDB_E_CLASSNOTREG;
  }
  return MakeCom<TableClassFactory>(std::move(entry))->QueryInterface(riid, ppv);
}

// ---------------------------------------------------------------- initialization

namespace {
thread_local int t_initCount = 0;

HRESULT enter() { return t_initCount++ == 0 ? S_OK : S_FALSE; }
void leave() {
  if (t_initCount > 0) --t_initCount;
}
}  // namespace

HRESULT CoInitialize(void*) { return enter(); }
HRESULT CoInitializeEx(void*, DWORD) { return enter(); }
void CoUninitialize() { leave(); }
HRESULT OleInitialize(void*) { return enter(); }
void OleUninitialize() { leave(); }
int CoInitializeCount() { return t_initCount; }
