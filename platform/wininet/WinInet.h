#pragma once
// Internet handles over libcurl: sessions, connections and URL requests with
// the platform's names, wide-string arguments and BOOL results with the last
// error. Requests are real HTTP(S) transfers on the calling thread; redirects
// are never followed, so a caller reads the first status the server answers.
// Every transfer follows the process-wide proxy settings (ProxyState.h) or
// the proxy its session names.
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"
#include "platform/winapi/Modules.h"
#include "platform/wininet/HttpInfo.h"
#include "platform/wininet/ProxyState.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;
using INTERNET_SCHEME = int;

// ---------------------------------------------------------------- errors

inline constexpr DWORD ERROR_INTERNET_OUT_OF_HANDLES = 12001;
inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
inline constexpr DWORD ERROR_INTERNET_BAD_OPTION_LENGTH = 12010;
inline constexpr DWORD ERROR_INTERNET_OPTION_NOT_SETTABLE = 12011;
inline constexpr DWORD ERROR_INTERNET_LOGIN_FAILURE = 12015;
inline constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
inline constexpr DWORD ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
inline constexpr DWORD ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
inline constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
inline constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

// ---------------------------------------------------------------- sessions

inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY = 4;

inline constexpr DWORD INTERNET_SERVICE_FTP = 1;
inline constexpr DWORD INTERNET_SERVICE_GOPHER = 2;
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;

inline constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;

// Request flags. Reload, no-UI, no-cache-write and no-auto-redirect describe
// what every request here does anyway: it goes to the network, shows nothing,
// writes no cache entry and follows no redirect.
inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr DWORD INTERNET_FLAG_RAW_DATA = 0x40000000;
inline constexpr DWORD INTERNET_FLAG_EXISTING_CONNECT = 0x20000000;
inline constexpr DWORD INTERNET_FLAG_ASYNC = 0x10000000;
inline constexpr DWORD INTERNET_FLAG_PASSIVE = 0x08000000;
inline constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
inline constexpr DWORD INTERNET_FLAG_DONT_CACHE = INTERNET_FLAG_NO_CACHE_WRITE;
inline constexpr DWORD INTERNET_FLAG_MAKE_PERSISTENT = 0x02000000;
inline constexpr DWORD INTERNET_FLAG_FROM_CACHE = 0x01000000;
inline constexpr DWORD INTERNET_FLAG_OFFLINE = INTERNET_FLAG_FROM_CACHE;
inline constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
inline constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
inline constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
inline constexpr DWORD INTERNET_FLAG_READ_PREFETCH = 0x00100000;
inline constexpr DWORD INTERNET_FLAG_NO_COOKIES = 0x00080000;
inline constexpr DWORD INTERNET_FLAG_NO_AUTH = 0x00040000;
inline constexpr DWORD INTERNET_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000;
inline constexpr DWORD INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;
inline constexpr DWORD INTERNET_FLAG_RESYNCHRONIZE = 0x00000800;
inline constexpr DWORD INTERNET_FLAG_HYPERLINK = 0x00000400;
inline constexpr DWORD INTERNET_FLAG_NO_UI = 0x00000200;
inline constexpr DWORD INTERNET_FLAG_PRAGMA_NOCACHE = 0x00000100;
inline constexpr DWORD INTERNET_FLAG_CACHE_IF_NET_FAIL = 0x00010000;

// ---------------------------------------------------------------- options

inline constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
inline constexpr DWORD INTERNET_OPTION_SEND_TIMEOUT = 5;
inline constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
inline constexpr DWORD INTERNET_OPTION_HANDLE_TYPE = 9;
inline constexpr DWORD INTERNET_OPTION_URL = 34;
inline constexpr DWORD INTERNET_OPTION_REFRESH = 37;
inline constexpr DWORD INTERNET_OPTION_SETTINGS_CHANGED = 39;
inline constexpr DWORD INTERNET_OPTION_USER_AGENT = 41;
inline constexpr DWORD INTERNET_OPTION_PROXY_USERNAME = 43;
inline constexpr DWORD INTERNET_OPTION_PROXY_PASSWORD = 44;
inline constexpr DWORD INTERNET_OPTION_PER_CONNECTION_OPTION = 75;

// Handle types answered by INTERNET_OPTION_HANDLE_TYPE.
inline constexpr DWORD INTERNET_HANDLE_TYPE_INTERNET = 1;
inline constexpr DWORD INTERNET_HANDLE_TYPE_CONNECT_HTTP = 3;
inline constexpr DWORD INTERNET_HANDLE_TYPE_HTTP_REQUEST = 13;

// Options of the per-connection list.
inline constexpr DWORD INTERNET_PER_CONN_FLAGS = 1;
inline constexpr DWORD INTERNET_PER_CONN_PROXY_SERVER = 2;
inline constexpr DWORD INTERNET_PER_CONN_PROXY_BYPASS = 3;
inline constexpr DWORD INTERNET_PER_CONN_AUTOCONFIG_URL = 4;
inline constexpr DWORD INTERNET_PER_CONN_AUTODISCOVERY_FLAGS = 5;

struct INTERNET_PER_CONN_OPTIONW {
  DWORD dwOption;
  union {
    DWORD dwValue;
    LPWSTR pszValue;
    FILETIME ftValue;
  } Value;
};
using INTERNET_PER_CONN_OPTION = INTERNET_PER_CONN_OPTIONW;

struct INTERNET_PER_CONN_OPTION_LISTW {
  DWORD dwSize;
  LPWSTR pszConnection;  // null: the default connection
  DWORD dwOptionCount;
  DWORD dwOptionError;  // index of the option that failed
  INTERNET_PER_CONN_OPTIONW* pOptions;
};
using INTERNET_PER_CONN_OPTION_LIST = INTERNET_PER_CONN_OPTION_LISTW;
// The list's size in the platform's 32-bit layout, which callers written for
// it give as the list size; it is accepted beside sizeof.
inline constexpr DWORD INTERNET_PER_CONN_OPTION_LIST_SIZE32 = 20;

// ---------------------------------------------------------------- addresses

inline constexpr INTERNET_SCHEME INTERNET_SCHEME_PARTIAL = -2;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_UNKNOWN = -1;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_DEFAULT = 0;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_FTP = 1;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_GOPHER = 2;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_HTTP = 3;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_HTTPS = 4;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_FILE = 5;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_NEWS = 6;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_MAILTO = 7;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_SOCKS = 8;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_JAVASCRIPT = 9;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_VBSCRIPT = 10;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_RES = 11;

// Crack flags: decode percent escapes of the copied parts.
inline constexpr DWORD ICU_DECODE = 0x10000000;
inline constexpr DWORD ICU_ESCAPE = 0x80000000;

// Each part is asked for by a non-zero length. With a buffer the part is
// copied there (the length is the buffer's size in characters and becomes the
// characters copied); without one the pointer is set into the caller's
// address and the length to the part's length (absent parts: null and 0).
struct URL_COMPONENTSW {
  DWORD dwStructSize = sizeof(URL_COMPONENTSW);
  LPWSTR lpszScheme = nullptr;
  DWORD dwSchemeLength = 0;
  INTERNET_SCHEME nScheme = INTERNET_SCHEME_DEFAULT;
  LPWSTR lpszHostName = nullptr;
  DWORD dwHostNameLength = 0;
  INTERNET_PORT nPort = 0;
  LPWSTR lpszUserName = nullptr;
  DWORD dwUserNameLength = 0;
  LPWSTR lpszPassword = nullptr;
  DWORD dwPasswordLength = 0;
  LPWSTR lpszUrlPath = nullptr;
  DWORD dwUrlPathLength = 0;
  LPWSTR lpszExtraInfo = nullptr;  // query and fragment ("?..." / "#...")
  DWORD dwExtraInfoLength = 0;
};
using URL_COMPONENTS = URL_COMPONENTSW;
// The record's size in the platform's 32-bit layout, which callers written for
// it give as the structure size; it is accepted beside sizeof.
inline constexpr DWORD URL_COMPONENTS_SIZE32 = 60;

// ---------------------------------------------------------------- connection state

inline constexpr DWORD INTERNET_CONNECTION_MODEM = 0x01;
inline constexpr DWORD INTERNET_CONNECTION_LAN = 0x02;
inline constexpr DWORD INTERNET_CONNECTION_PROXY = 0x04;
inline constexpr DWORD INTERNET_CONNECTION_OFFLINE = 0x20;
inline constexpr DWORD INTERNET_CONNECTION_CONFIGURED = 0x40;

// ---------------------------------------------------------------- functions

// Registers the "wininet.dll" stand-in module and makes the cache folder
// ready. Finalizing closes the cache index and every open handle.
void InitializeWinInet();
void FinalizeWinInet();

// A session. Access types: PRECONFIG (and its no-auto-proxy form) follow the
// process-wide settings, DIRECT never uses a proxy, PROXY uses `proxy` and
// `proxyBypass` of this call. Asynchronous mode is not offered: requests run
// on the calling thread whatever the flags say.
HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
// A connection handle under a session; no network traffic happens here.
HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT serverPort, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);
// A GET request for an http or https address under a session. It returns once
// the response head has arrived (HttpQueryInfoW answers at once); the body is
// read with InternetReadFile. `headers` are CR LF separated lines
// (length -1: null-terminated).
HINTERNET InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR context);
// Reads up to `toRead` bytes, waiting until that many arrived or the body
// ended; 0 bytes read with TRUE is the end. A body cut short by the server
// answers what arrived, then FALSE with ERROR_INTERNET_CONNECTION_ABORTED.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, DWORD* read);
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index);
// Closes a handle and every handle under it. A request running on another
// thread ends with ERROR_INTERNET_OPERATION_CANCELLED.
BOOL InternetCloseHandle(HINTERNET handle);

// Options. A null handle sets the defaults of later sessions (time-outs) or
// the process-wide settings. Per-connection options change the settings of
// the default connection (whatever connection is named, this system has only
// that one); strings that the query answers in the list are allocated with
// CoTaskMemAlloc (null for empty ones) and freed by the caller.
// INTERNET_OPTION_REFRESH and INTERNET_OPTION_SETTINGS_CHANGED tell the
// settings listeners. Time-outs are in milliseconds (defaults 30 s; 0 and
// 0xFFFFFFFF: no limit, a connection then waits as long as libcurl does); string
// options are answered with the size rules of the platform: too small a
// buffer answers the bytes needed with the terminator, success the characters
// copied without it.
BOOL InternetSetOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength);
BOOL InternetQueryOptionW(HINTERNET handle, DWORD option, LPVOID buffer, DWORD* bufferLength);

BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, URL_COMPONENTSW* components);

// TRUE with INTERNET_CONNECTION_LAN (and INTERNET_CONNECTION_PROXY while a
// proxy is set) when a network interface other than the loopback one is up
// with an address; FALSE with no flags otherwise.
BOOL InternetGetConnectedState(DWORD* flags, DWORD reserved);
