#pragma once
// Modules (the program and the stand-in libraries that later layers register),
// their entry points, the per-thread last error, the debugger output, and
// version information of the system and of files.
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"

#include <initializer_list>
#include <utility>

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using FARPROC = void (*)();

// ---------------------------------------------------------------- last error

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_OLD_WIN_VERSION = 1150;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
inline constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
inline constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
inline constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
inline constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;
inline constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

// Per thread, like the platform's.
DWORD GetLastError();
// A failure (any code but ERROR_SUCCESS) is logged with the function that
// sets it, under noctivane.winapi.
void SetLastError(DWORD error, const char* caller = __builtin_FUNCTION());

// ---------------------------------------------------------------- debugger output

// Hands a line to the debugger output: the Qt logging category
// "noctivane.debugoutput" at debug level, which is off unless logging rules
// turn it on (QT_LOGGING_RULES="noctivane.debugoutput.debug=true").
void OutputDebugStringW(LPCWSTR outputString);

// ---------------------------------------------------------------- modules

// Registers (or replaces) a stand-in module: its name (matched without case,
// with or without ".dll") and its exported procedures by exact name. A module
// registered `resident` counts as loaded from the start (GetModuleHandle
// finds it without LoadLibrary).
void RegisterStandInModule(const String& name, std::initializer_list<std::pair<const char*, FARPROC>> procs,
                           bool resident = false);
// Removes a module from the table: later loads fail, and handles still held
// answer no procedures.
void UnregisterStandInModule(const String& name);

// Registers the browser's resource library "SHDOCLC.DLL" (not loaded until
// asked for): menu resource 24641 holds the browser's context menus, one
// submenu per context-menu kind (position = the kind's number, 0 default to
// 11 horizontal scroll bar).
void RegisterShdoclcModule();

// Casts any function to the entry-point type for registration.
template <class F>
FARPROC StandInProc(F* fn) {
  return reinterpret_cast<FARPROC>(fn);
}

// Loads (counts up) a registered module; 0 and ERROR_MOD_NOT_FOUND for an
// unknown one. A path is reduced to its file name.
HMODULE LoadLibraryW(LPCWSTR fileName);
HMODULE LoadLibrary(const String& fileName);
HMODULE LoadLibraryA(LPCSTR fileName);
// Counts down; the module is unloaded at zero (resident modules stay).
BOOL FreeLibrary(HMODULE module);
// The handle of a loaded module, or of the program for an empty name / null.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
HMODULE GetModuleHandle(const String& moduleName);
HMODULE GetModuleHandleA(LPCSTR moduleName);
// Looks up an entry point by exact name; 0 and ERROR_PROC_NOT_FOUND when
// missing, ERROR_INVALID_HANDLE for a handle that is not loaded.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// The program's path for 0 (or the program's handle), else the module's file
// name in the program folder. Answers the characters copied.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
String GetModuleFileName(HMODULE module);
// The program's own module handle.
HINSTANCE MainInstance();

// The error mode (SEM_ flags); only remembered.
inline constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
inline constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;
UINT SetErrorMode(UINT mode);

// The folder of the system's libraries: the program folder, where the
// stand-in modules are said to live. Answers the characters copied (or the
// size needed with the terminator when the buffer is too small).
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);
String GetSystemDirectory();

// ---------------------------------------------------------------- system version

inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
inline constexpr BYTE VER_NT_WORKSTATION = 1;

inline constexpr DWORD VER_MINORVERSION = 0x0000001;
inline constexpr DWORD VER_MAJORVERSION = 0x0000002;
inline constexpr DWORD VER_BUILDNUMBER = 0x0000004;
inline constexpr DWORD VER_PLATFORMID = 0x0000008;
inline constexpr DWORD VER_SERVICEPACKMINOR = 0x0000010;
inline constexpr DWORD VER_SERVICEPACKMAJOR = 0x0000020;
inline constexpr DWORD VER_SUITENAME = 0x0000040;
inline constexpr DWORD VER_PRODUCT_TYPE = 0x0000080;

inline constexpr BYTE VER_EQUAL = 1;
inline constexpr BYTE VER_GREATER = 2;
inline constexpr BYTE VER_GREATER_EQUAL = 3;
inline constexpr BYTE VER_LESS = 4;
inline constexpr BYTE VER_LESS_EQUAL = 5;
inline constexpr BYTE VER_AND = 6;
inline constexpr BYTE VER_OR = 7;

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  WCHAR szCSDVersion[128] = {};
  WORD wServicePackMajor = 0;
  WORD wServicePackMinor = 0;
  WORD wSuiteMask = 0;
  BYTE wProductType = 0;
  BYTE wReserved = 0;
};

struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
  WORD wServicePackMajor = 0;
  WORD wServicePackMinor = 0;
  WORD wSuiteMask = 0;
  BYTE wProductType = 0;
  BYTE wReserved = 0;
};

// The system answers as Windows 6.1 (build 7601, Service Pack 1), a
// workstation of the NT platform.
BOOL GetVersionExW(OSVERSIONINFOEXW* info);
ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition);
// Compares the system's version with `info` in the fields of `typeMask`.
// Major, minor and service-pack numbers compare as one ordered version (the
// first of them decides), the others field by field. FALSE with
// ERROR_OLD_WIN_VERSION when the comparison fails.
BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* info, DWORD typeMask, ULONGLONG conditionMask);
BOOL VerifyVersionInfoA(OSVERSIONINFOEXA* info, DWORD typeMask, ULONGLONG conditionMask);

// ---------------------------------------------------------------- file versions

struct VS_FIXEDFILEINFO {
  DWORD dwSignature = 0xFEEF04BD;
  DWORD dwStrucVersion = 0x00010000;
  DWORD dwFileVersionMS = 0;
  DWORD dwFileVersionLS = 0;
  DWORD dwProductVersionMS = 0;
  DWORD dwProductVersionLS = 0;
  DWORD dwFileFlagsMask = 0x3F;
  DWORD dwFileFlags = 0;
  DWORD dwFileOS = 0x00040004;  // VOS_NT_WINDOWS32
  DWORD dwFileType = 2;         // VFT_DLL
  DWORD dwFileSubtype = 0;
  DWORD dwFileDateMS = 0;
  DWORD dwFileDateLS = 0;
};

// Version information exists for the browser libraries "ieframe.dll" and
// "shdocvw.dll" (in any folder): file version 11.0.9600.17416 in language
// 0x0409, code page 1200. Any other file answers 0 with
// ERROR_RESOURCE_TYPE_NOT_FOUND.
DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, DWORD* handle);
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD size, void* data);
// Sub-blocks: "\" (VS_FIXEDFILEINFO), "\VarFileInfo\Translation" (language
// and code page as two WORDs) and "\StringFileInfo\<lang><codepage>\<name>"
// (a terminated UTF-16 string; `len` counts its characters with the
// terminator). Names compare without case.
BOOL VerQueryValueW(const void* block, LPCWSTR subBlock, void** buffer, UINT* len);
