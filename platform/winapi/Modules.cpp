// The module table, the last error, the debugger output, and version information.
#include "platform/winapi/Modules.h"

#include "platform/winapi/Log_p.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

HINSTANCE const kProgram = reinterpret_cast<HINSTANCE>(std::uintptr_t(0x00400000));

struct Module {
  String name;  // as registered
  std::map<std::string, FARPROC> procs;
  HMODULE handle = nullptr;
  int refs = 0;
  bool resident = false;
  bool registered = false;
  bool loaded() const { return registered && (refs > 0 || resident); }
};

struct ModuleTable {
  std::mutex mutex;
  std::vector<std::unique_ptr<Module>> modules;  // kept, so handles stay unique
};

// "C:\Windows\System32\URLMON.DLL" and "urlmon" name the same module.
String keyOf(const String& name) {
  String s = NormalizePath(name);
  s = s.mid(s.lastIndexOf(QLatin1Char('/')) + 1).toLower();
  if (s.endsWith(QLatin1String(".dll"))) s.chop(4);
  return s;
}

Module* findLocked(ModuleTable& t, const String& name) {
  String key = keyOf(name);
  for (auto& m : t.modules)
    if (keyOf(m->name) == key) return m.get();
  return nullptr;
}

Module* findLocked(ModuleTable& t, HMODULE handle) {
  for (auto& m : t.modules)
    if (m->handle == handle) return m.get();
  return nullptr;
}

void registerLocked(ModuleTable& t, const String& name,
                    std::initializer_list<std::pair<const char*, FARPROC>> procs, bool resident) {
  Module* m = findLocked(t, name);
  if (!m) {
    t.modules.push_back(std::make_unique<Module>());
    m = t.modules.back().get();
    m->handle = reinterpret_cast<HMODULE>(std::uintptr_t(0x10000000) + t.modules.size() * 0x10000);
  }
  m->name = name;
  m->procs.clear();
  for (const auto& [procName, fn] : procs) m->procs[procName] = fn;
  m->refs = 0;
  m->resident = resident;
  m->registered = true;
}

ModuleTable& table() {
  static ModuleTable* t = [] {
    auto* tab = new ModuleTable;
    registerLocked(*tab, QStringLiteral("kernel32.dll"),
                   {{"GetVersionExW", StandInProc(&GetVersionExW)},
                    {"VerifyVersionInfoA", StandInProc(&VerifyVersionInfoA)},
                    {"VerifyVersionInfoW", StandInProc(&VerifyVersionInfoW)},
                    {"VerSetConditionMask", StandInProc(&VerSetConditionMask)},
                    {"GetLastError", StandInProc(&GetLastError)},
                    {"SetLastError", StandInProc(&SetLastError)}},
                   true);
    return tab;
  }();
  return *t;
}

String fromWide(LPCWSTR s) { return s ? String::fromUtf16(s) : String(); }

}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error, const char* caller) {
  if (error != ERROR_SUCCESS) qCDebug(lcWinApi) << caller << "fails with error" << error;
  lastError = error;
}

// ---------------------------------------------------------------- debugger output

// Quiet unless asked for: debug messages of the category are off by default.
Q_LOGGING_CATEGORY(lcDebugOutput, "noctivane.debugoutput", QtInfoMsg)

void OutputDebugStringW(LPCWSTR outputString) {
  if (outputString == nullptr) return;
  qCDebug(lcDebugOutput).noquote() << String::fromUtf16(outputString);
}

// ---------------------------------------------------------------- modules

void RegisterStandInModule(const String& name, std::initializer_list<std::pair<const char*, FARPROC>> procs,
                           bool resident) {
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  registerLocked(t, name, procs, resident);
}

void UnregisterStandInModule(const String& name) {
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  if (Module* m = findLocked(t, name)) {
    m->registered = false;
    m->refs = 0;
    m->procs.clear();
  }
}

HMODULE LoadLibrary(const String& fileName) {
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  Module* m = fileName.trimmed().isEmpty() ? nullptr : findLocked(t, fileName);
  if (!m || !m->registered) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++m->refs;
  return m->handle;
}

HMODULE LoadLibraryW(LPCWSTR fileName) { return LoadLibrary(fromWide(fileName)); }
HMODULE LoadLibraryA(LPCSTR fileName) {
  return LoadLibrary(fileName ? String::fromLocal8Bit(fileName) : String());
}

BOOL FreeLibrary(HMODULE module) {
  if (module == kProgram) return TRUE;
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  Module* m = findLocked(t, module);
  if (!m || !m->loaded()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (m->refs > 0) --m->refs;
  return TRUE;
}

HMODULE GetModuleHandle(const String& moduleName) {
  if (moduleName.isEmpty()) return kProgram;
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  Module* m = findLocked(t, moduleName);
  if (!m || !m->loaded()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return m->handle;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) { return GetModuleHandle(fromWide(moduleName)); }
HMODULE GetModuleHandleA(LPCSTR moduleName) {
  return GetModuleHandle(moduleName ? String::fromLocal8Bit(moduleName) : String());
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  Module* m = findLocked(t, module);
  if (!m || !m->loaded()) {
    SetLastError(module == kProgram ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Names only; a value below 0x10000 would be an ordinal.
  if (!procName || reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto it = m->procs.find(procName);
  if (it == m->procs.end()) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return it->second;
}

String GetModuleFileName(HMODULE module) {
  if (!module || module == kProgram) return QCoreApplication::applicationFilePath();
  ModuleTable& t = table();
  std::lock_guard lock(t.mutex);
  Module* m = findLocked(t, module);
  if (!m || !m->loaded()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return String();
  }
  String file = m->name;
  if (!file.contains(QLatin1Char('.'))) file += QStringLiteral(".dll");
  return IncludeTrailingPathDelimiter(QCoreApplication::applicationDirPath()) + file;
}

namespace {

// Copies with truncation, like the platform's path getters.
DWORD copyOut(const String& s, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  DWORD n = std::min<DWORD>(DWORD(s.size()), size - 1);
  std::copy_n(reinterpret_cast<const char16_t*>(s.utf16()), n, buffer);
  buffer[n] = 0;
  if (DWORD(s.size()) >= size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return n;
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  String path = GetModuleFileName(module);
  if (path.isEmpty()) return 0;
  return copyOut(path, fileName, size);
}

HINSTANCE MainInstance() { return kProgram; }

UINT SetErrorMode(UINT mode) {
  static std::atomic<UINT> current{0};
  return current.exchange(mode);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  String dir = GetSystemDirectory();
  if (!buffer || size <= UINT(dir.size())) return UINT(dir.size()) + 1;
  return copyOut(dir, buffer, size);
}

String GetSystemDirectory() { return QCoreApplication::applicationDirPath(); }

// ---------------------------------------------------------------- system version

namespace {

struct SystemVersion {
  DWORD major = 6, minor = 1, build = 7601, platform = VER_PLATFORM_WIN32_NT;
  WORD spMajor = 1, spMinor = 0, suite = 0x0100;  // VER_SUITE_SINGLEUSERTS
  BYTE productType = VER_NT_WORKSTATION;
};
constexpr SystemVersion kSystem;
constexpr char16_t kServicePack[] = u"Service Pack 1";

bool compare(DWORD actual, DWORD wanted, BYTE condition) {
  switch (condition) {
    case VER_EQUAL: return actual == wanted;
    case VER_GREATER: return actual > wanted;
    case VER_GREATER_EQUAL: return actual >= wanted;
    case VER_LESS: return actual < wanted;
    case VER_LESS_EQUAL: return actual <= wanted;
    default: return false;
  }
}

BYTE conditionOf(ULONGLONG mask, DWORD typeBit) {
  int index = 0;
  while (!(typeBit & 1)) {
    typeBit >>= 1;
    ++index;
  }
  return BYTE((mask >> (index * 3)) & 7);
}

}  // namespace

BOOL GetVersionExW(OSVERSIONINFOEXW* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->dwMajorVersion = kSystem.major;
  info->dwMinorVersion = kSystem.minor;
  info->dwBuildNumber = kSystem.build;
  info->dwPlatformId = kSystem.platform;
  std::copy(std::begin(kServicePack), std::end(kServicePack), info->szCSDVersion);
  info->wServicePackMajor = kSystem.spMajor;
  info->wServicePackMinor = kSystem.spMinor;
  info->wSuiteMask = kSystem.suite;
  info->wProductType = kSystem.productType;
  return TRUE;
}

ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition) {
  for (int i = 0; i < 8; ++i)
    if (typeMask & (1u << i)) conditionMask |= ULONGLONG(condition & 7) << (i * 3);
  return conditionMask;
}

BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* info, DWORD typeMask, ULONGLONG conditionMask) {
  if (!info || typeMask == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool ok = true;
  // The version numbers compare as one ordered version: the first field that
  // differs decides, with its own condition.
  const struct {
    DWORD bit, actual, wanted;
  } version[] = {{VER_MAJORVERSION, kSystem.major, info->dwMajorVersion},
                 {VER_MINORVERSION, kSystem.minor, info->dwMinorVersion},
                 {VER_SERVICEPACKMAJOR, kSystem.spMajor, info->wServicePackMajor},
                 {VER_SERVICEPACKMINOR, kSystem.spMinor, info->wServicePackMinor}};
  BYTE firstCondition = 0;
  bool decided = false;
  for (const auto& f : version) {
    if (!(typeMask & f.bit)) continue;
    BYTE c = conditionOf(conditionMask, f.bit);
    if (!firstCondition) firstCondition = c;
    if (f.actual != f.wanted) {
      ok = compare(f.actual, f.wanted, c);
      decided = true;
      break;
    }
  }
  if (firstCondition && !decided) ok = compare(0, 0, firstCondition);
  if (ok && (typeMask & VER_BUILDNUMBER))
    ok = compare(kSystem.build, info->dwBuildNumber, conditionOf(conditionMask, VER_BUILDNUMBER));
  if (ok && (typeMask & VER_PLATFORMID))
    ok = compare(kSystem.platform, info->dwPlatformId, conditionOf(conditionMask, VER_PLATFORMID));
  if (ok && (typeMask & VER_PRODUCT_TYPE))
    ok = compare(kSystem.productType, info->wProductType, conditionOf(conditionMask, VER_PRODUCT_TYPE));
  if (ok && (typeMask & VER_SUITENAME)) {
    BYTE c = conditionOf(conditionMask, VER_SUITENAME);
    ok = c == VER_OR ? (kSystem.suite & info->wSuiteMask) != 0
                     : (kSystem.suite & info->wSuiteMask) == info->wSuiteMask;
  }
  if (!ok) SetLastError(ERROR_OLD_WIN_VERSION);
  return ok ? TRUE : FALSE;
}

BOOL VerifyVersionInfoA(OSVERSIONINFOEXA* info, DWORD typeMask, ULONGLONG conditionMask) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OSVERSIONINFOEXW w;
  w.dwMajorVersion = info->dwMajorVersion;
  w.dwMinorVersion = info->dwMinorVersion;
  w.dwBuildNumber = info->dwBuildNumber;
  w.dwPlatformId = info->dwPlatformId;
  w.wServicePackMajor = info->wServicePackMajor;
  w.wServicePackMinor = info->wServicePackMinor;
  w.wSuiteMask = info->wSuiteMask;
  w.wProductType = info->wProductType;
  return VerifyVersionInfoW(&w, typeMask, conditionMask);
}

// ---------------------------------------------------------------- file versions

namespace {

// The layout of the blocks GetFileVersionInfoW writes: a header, then the
// strings as pairs of terminated UTF-16 texts (name, value).
struct VersionHeader {
  DWORD magic;
  VS_FIXEDFILEINFO fixed;
  WORD translation[2];
  DWORD stringCount;
};
constexpr DWORD kVersionMagic = 0x4E565631;  // "NVV1"
constexpr WORD kLanguage = 0x0409, kCodePage = 0x04B0;

struct FileVersion {
  const char* file;
  const char* description;
};
constexpr FileVersion kFiles[] = {
    {"ieframe.dll", "Internet Explorer"},
    {"shdocvw.dll", "Shell Doc Object and Control Library"},
};

const FileVersion* versionedFile(LPCWSTR fileName) {
  String name = fromWide(fileName);
  name = NormalizePath(name);
  name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
  for (const auto& f : kFiles)
    if (name.compare(QLatin1String(f.file), Qt::CaseInsensitive) == 0) return &f;
  return nullptr;
}

QByteArray buildBlock(const FileVersion& f) {
  VersionHeader h{};
  h.magic = kVersionMagic;
  h.fixed.dwFileVersionMS = h.fixed.dwProductVersionMS = (11u << 16) | 0u;
  h.fixed.dwFileVersionLS = h.fixed.dwProductVersionLS = (9600u << 16) | 17416u;
  h.translation[0] = kLanguage;
  h.translation[1] = kCodePage;
  const String version = QStringLiteral("11.00.9600.17416");
  const std::pair<String, String> strings[] = {
      {QStringLiteral("CompanyName"), QStringLiteral("Microsoft Corporation")},
      {QStringLiteral("FileDescription"), QString::fromLatin1(f.description)},
      {QStringLiteral("FileVersion"), version},
      {QStringLiteral("InternalName"), QString::fromLatin1(f.file).section(QLatin1Char('.'), 0, 0)},
      {QStringLiteral("OriginalFilename"), QString::fromLatin1(f.file)},
      {QStringLiteral("ProductName"), QStringLiteral("Internet Explorer")},
      {QStringLiteral("ProductVersion"), version},
  };
  h.stringCount = DWORD(std::size(strings));
  QByteArray block(reinterpret_cast<const char*>(&h), sizeof h);
  for (const auto& [name, value] : strings) {
    block.append(reinterpret_cast<const char*>(name.utf16()), (name.size() + 1) * 2);
    block.append(reinterpret_cast<const char*>(value.utf16()), (value.size() + 1) * 2);
  }
  return block;
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, DWORD* handle) {
  if (handle) *handle = 0;
  const FileVersion* f = versionedFile(fileName);
  if (!f) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
  }
  return DWORD(buildBlock(*f).size());
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD size, void* data) {
  const FileVersion* f = versionedFile(fileName);
  if (!f) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  QByteArray block = buildBlock(*f);
  if (!data || size < DWORD(block.size())) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(data, block.constData(), std::size_t(block.size()));
  return TRUE;
}

BOOL VerQueryValueW(const void* block, LPCWSTR subBlock, void** buffer, UINT* len) {
  if (!block || !subBlock || !buffer) return FALSE;
  auto* h = static_cast<const VersionHeader*>(block);
  if (h->magic != kVersionMagic) return FALSE;
  QStringList parts = NormalizePath(fromWide(subBlock)).split(QLatin1Char('/'), Qt::SkipEmptyParts);
  auto same = [](const String& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
  };
  if (parts.isEmpty()) {
    *buffer = const_cast<VS_FIXEDFILEINFO*>(&h->fixed);
    if (len) *len = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
  }
  if (parts.size() == 2 && same(parts[0], "VarFileInfo") && same(parts[1], "Translation")) {
    *buffer = const_cast<WORD*>(h->translation);
    if (len) *len = sizeof h->translation;
    return TRUE;
  }
  const String table = String::asprintf("%04x%04x", h->translation[0], h->translation[1]);
  if (parts.size() != 3 || !same(parts[0], "StringFileInfo") ||
      parts[1].compare(table, Qt::CaseInsensitive) != 0)
    return FALSE;
  auto* p = reinterpret_cast<const char16_t*>(h + 1);
  for (DWORD i = 0; i < h->stringCount; ++i) {
    String name = String::fromUtf16(p);
    p += name.size() + 1;
    const char16_t* value = p;
    std::size_t n = std::char_traits<char16_t>::length(value);
    p += n + 1;
    if (name.compare(parts[2], Qt::CaseInsensitive) == 0) {
      *buffer = const_cast<char16_t*>(value);
      if (len) *len = UINT(n + 1);
      return TRUE;
    }
  }
  return FALSE;
}
