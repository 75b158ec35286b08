#pragma once
// Windows Sockets, as far as the program uses them: start-up and clean-up,
// the local host name, name resolution into a host entry, dotted addresses
// and the per-thread error code. Names resolve through the system's resolver
// (getaddrinfo); the calls block like the platform's do, so a caller that
// must not wait keeps its own cache or runs them off the user-interface
// thread.
//
// The host entry and the dotted-address text live in per-thread storage that
// the next call of the same function on that thread overwrites.
#include "platform/rtl/WinTypes.h"

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
  WORD wVersion = 0;
  WORD wHighVersion = 0;
  char szDescription[WSADESCRIPTION_LEN + 1] = {};
  char szSystemStatus[WSASYS_STATUS_LEN + 1] = {};
  unsigned short iMaxSockets = 0;
  unsigned short iMaxUdpDg = 0;
  char* lpVendorInfo = nullptr;
};
using LPWSADATA = WSADATA*;

// An IPv4 address in network byte order.
struct in_addr {
  union {
    struct {
      BYTE s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      WORD s_w1, s_w2;
    } S_un_w;
    DWORD S_addr;
  } S_un;
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  // Null-terminated list of addresses, each h_length bytes in network order.
  char** h_addr_list;
};

inline constexpr short AF_INET_WS = 2;  // h_addrtype of IPv4 entries
inline constexpr int SOCKET_ERROR = -1;

inline constexpr WORD MAKEWORD(BYTE low, BYTE high) { return WORD(low | (WORD(high) << 8)); }
inline constexpr BYTE LOBYTE(WORD w) { return BYTE(w & 0xFF); }
inline constexpr BYTE HIBYTE(WORD w) { return BYTE(w >> 8); }

// Error codes of WSAGetLastError.
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// Starts the use of sockets by the process. Versions 1.0 to 2.2 are offered;
// the answer names the version requested (at most 2.2) and 2.2 as the
// highest. 0, or WSAVERNOTSUPPORTED for a version below 1.0 (the data then
// still names 2.2), or WSAEFAULT for a null record.
int WSAStartup(WORD versionRequested, LPWSADATA data);
// Ends one start-up; SOCKET_ERROR with WSANOTINITIALISED when none is open.
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

// The local host name with its terminating zero. SOCKET_ERROR with
// WSAEFAULT when it does not fit in `nameLength` bytes, WSANOTINITIALISED
// without a start-up. (A call with a size_t length, such as sizeof of the
// buffer, reaches the C library's function of the same name, which answers
// the same name without looking at the start-up.)
int gethostname(char* name, int nameLength);
// The IPv4 addresses of a name or of a dotted address; null with
// WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY or WSANO_DATA when the
// resolver finds none, WSANOTINITIALISED without a start-up.
hostent* gethostbyname(const char* name);
// "a.b.c.d".
char* inet_ntoa(in_addr address);

// Registers "wsock32.dll" and "ws2_32.dll" with these entry points in the
// module table.
void InitializeWinSock();
