// Stand-in modules, the last error, version information and system values.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <memory>
#include <vector>

#include "platform/winapi/Windows.h"
#include "tests/support/TestSupport.h"

namespace {

int Twice(int x) { return 2 * x; }

TEST(Modules, LoadLookUpFreeAndRemove) {
  RegisterStandInModule("TestMod.dll", {{"Twice", StandInProc(&Twice)}});
  EXPECT_EQ(GetModuleHandle("testmod"), nullptr);  // not loaded yet
  HMODULE h = LoadLibraryW(u"TESTMOD.DLL");
  ASSERT_NE(h, nullptr);
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(h), 32u);
  EXPECT_EQ(LoadLibrary("C:\\Windows\\System32\\testmod.dll"), h);  // the path does not matter
  EXPECT_EQ(GetModuleHandle("testmod.dll"), h);
  auto twice = reinterpret_cast<int (*)(int)>(GetProcAddress(h, "Twice"));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(GetProcAddress(h, "twice"), nullptr);  // names are exact
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetModuleFileName(h), QCoreApplication::applicationDirPath() + "/TestMod.dll");

  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_EQ(GetModuleHandle("testmod"), h);  // one load still counts
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_EQ(GetModuleHandle("testmod"), nullptr);
  EXPECT_EQ(GetProcAddress(h, "Twice"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FreeLibrary(h));

  // Loaded again, the module keeps its handle; removed, it cannot be loaded.
  EXPECT_EQ(LoadLibrary("testmod"), h);
  UnregisterStandInModule("testmod.DLL");
  EXPECT_EQ(GetProcAddress(h, "Twice"), nullptr);
  EXPECT_EQ(LoadLibrary("testmod"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryW(u"nosuch.dll"), nullptr);
  EXPECT_EQ(LoadLibrary(""), nullptr);

  EXPECT_EQ(GetModuleHandleW(nullptr), MainInstance());
  EXPECT_EQ(GetModuleFileName(nullptr), QCoreApplication::applicationFilePath());
  char16_t small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
  EXPECT_EQ(small[3], 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(Modules, TheLastErrorBelongsToEachThread) {
  SetLastError(1234);
  DWORD seenInWorker = 0;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    seenInWorker = GetLastError();
    SetLastError(99);
  }));
  worker->start();
  worker->wait();
  EXPECT_EQ(seenInWorker, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), 1234u);
}

// The system test of the browser units: XP SP2 or newer, through the
// kernel's entry points looked up by name.
bool IsXPSP2OrNewer() {
  HMODULE kernel = LoadLibraryW(u"kernel32.dll");
  if (!kernel) return false;
  auto verify = reinterpret_cast<decltype(&VerifyVersionInfoA)>(GetProcAddress(kernel, "VerifyVersionInfoA"));
  auto mask = reinterpret_cast<decltype(&VerSetConditionMask)>(GetProcAddress(kernel, "VerSetConditionMask"));
  bool result = false;
  if (verify && mask) {
    OSVERSIONINFOEXA info;
    info.dwMajorVersion = 5;
    info.dwMinorVersion = 1;
    info.wServicePackMajor = 2;
    ULONGLONG m = 0;
    m = mask(m, VER_MAJORVERSION, VER_GREATER_EQUAL);
    m = mask(m, VER_MINORVERSION, VER_GREATER_EQUAL);
    m = mask(m, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    m = mask(m, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
    result = verify(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR,
                    m) != 0;
  }
  FreeLibrary(kernel);
  return result;
}

TEST(Versions, TheSystemIsWindows7ServicePack1) {
  EXPECT_NE(GetModuleHandle("kernel32.dll"), nullptr);  // always there
  EXPECT_TRUE(IsXPSP2OrNewer());

  OSVERSIONINFOEXW v;
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwMajorVersion, 6u);
  EXPECT_EQ(v.dwMinorVersion, 1u);
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(String::fromUtf16(v.szCSDVersion), "Service Pack 1");

  auto check = [](DWORD major, DWORD minor, WORD sp, BYTE condition) {
    OSVERSIONINFOEXW want;
    want.dwMajorVersion = major;
    want.dwMinorVersion = minor;
    want.wServicePackMajor = sp;
    ULONGLONG m =
        VerSetConditionMask(0, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition);
    return VerifyVersionInfoW(&want, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, m) != 0;
  };
  EXPECT_TRUE(check(6, 1, 1, VER_GREATER_EQUAL));
  EXPECT_TRUE(check(6, 0, 9, VER_GREATER_EQUAL));  // a lower minor decides before the service pack
  EXPECT_FALSE(check(6, 2, 0, VER_GREATER_EQUAL));
  EXPECT_EQ(GetLastError(), ERROR_OLD_WIN_VERSION);
  EXPECT_TRUE(check(6, 1, 1, VER_EQUAL));
  EXPECT_FALSE(check(6, 1, 1, VER_GREATER));
  EXPECT_TRUE(check(10, 0, 0, VER_LESS));

  OSVERSIONINFOEXW nt;
  nt.dwPlatformId = VER_PLATFORM_WIN32_NT;
  EXPECT_TRUE(VerifyVersionInfoW(&nt, VER_PLATFORMID, VerSetConditionMask(0, VER_PLATFORMID, VER_EQUAL)));
  EXPECT_FALSE(VerifyVersionInfoW(&nt, 0, 0));
}

// The browser library's version text, read the way the shell routines do.
String BrowserFileVersion() {
  char16_t dir[261];
  UINT n = GetSystemDirectoryW(dir, 261);
  String library = String::fromUtf16(dir, int(n)) + "/shdocvw.dll";
  std::u16string path = library.toStdU16String();
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (!size) return String();
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), handle, size, block.data())) return String();
  String key = "FileVersion";
  void* value = nullptr;
  UINT len = 0;
  if (VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &len) && len >= 4) {
    auto* t = static_cast<WORD*>(value);
    key = String::asprintf("\\StringFileInfo\\%04x%04x\\FileVersion", t[0], t[1]);
  }
  std::u16string k = key.toStdU16String();
  if (!VerQueryValueW(block.data(), k.c_str(), &value, &len)) return String();
  return String::fromUtf16(static_cast<char16_t*>(value)).trimmed();
}

TEST(Versions, TheBrowserLibrariesAreVersion11) {
  EXPECT_EQ(BrowserFileVersion(), "11.00.9600.17416");
  EXPECT_EQ(BrowserFileVersion().section('.', 0, 0), "11");

  DWORD handle;
  DWORD size = GetFileVersionInfoSizeW(u"/somewhere/IEFRAME.DLL", &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  EXPECT_FALSE(GetFileVersionInfoW(u"ieframe.dll", 0, size - 1, block.data()));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(GetFileVersionInfoW(u"ieframe.dll", 0, size, block.data()));
  void* value;
  UINT len;
  ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &len));
  auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 11);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 9600);
  ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904B0\\ProductName", &value, &len));
  EXPECT_EQ(String::fromUtf16(static_cast<char16_t*>(value)), "Internet Explorer");
  EXPECT_EQ(len, 18u);
  EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040704b0\\ProductName", &value, &len));
  EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\NoSuchName", &value, &len));

  EXPECT_EQ(GetFileVersionInfoSizeW(u"/usr/lib/libc.so.6", &handle), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  char16_t tiny[2];
  EXPECT_EQ(GetSystemDirectoryW(tiny, 2), UINT(GetSystemDirectory().size()) + 1);
}

TEST(SystemValues, ScreenWorkAreaAndMetrics) {
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screen->geometry().width());
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screen->geometry().height());
  EXPECT_GT(GetSystemMetrics(SM_CXVSCROLL), 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXHTHUMB), GetSystemMetrics(SM_CXVSCROLL));
  RECT work;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  QRect available = screen->availableGeometry();
  EXPECT_EQ(work, (RECT{available.left(), available.top(), available.right() + 1, available.bottom() + 1}));
  UINT lines = 0;
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
  EXPECT_GT(lines, 0u);
  EXPECT_FALSE(SystemParametersInfoW(0xFFFF, 0, &lines, 0));
  EXPECT_GT(GetDoubleClickTime(), 0u);

  EXPECT_TRUE(SetCursorPos(12, 34));
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{12, 34}));
}

TEST(DebugOutput, LinesReachTheLoggingCategoryOnlyWhenItIsOn) {
  {
    testsupport::DebugOutputCapture quiet(false);
    OutputDebugStringW(u"not shown");
    EXPECT_TRUE(quiet.lines().isEmpty());
  }
  testsupport::DebugOutputCapture capture;
  OutputDebugStringW(u"The URL is invalid");
  OutputDebugStringW(u"");
  OutputDebugStringW(nullptr);  // nothing to show, and no crash
  EXPECT_EQ(capture.lines(), QStringList({QStringLiteral("The URL is invalid"), QString()}));
}

}  // namespace
