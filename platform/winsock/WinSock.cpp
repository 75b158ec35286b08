// Windows Sockets start-up, host name, resolution and address texts.
#include "platform/winsock/WinSock.h"

#include "platform/winapi/Modules.h"
#include "platform/winsock/Log_p.h"
#include "platform/winsock/Resolver.h"

#include <QByteArray>
#include <QSysInfo>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::atomic<int> startups{0};
thread_local int lastError = 0;

// Sets the thread's error and logs the failure with the function it ends.
void failWith(int error, const char* caller = __builtin_FUNCTION()) {
  qCDebug(lcWinSock) << caller << "fails with error" << error;
  lastError = error;
}

constexpr WORD kHighestVersion = MAKEWORD(2, 2);

bool started() {
  if (startups.load() > 0) return true;
  failWith(WSANOTINITIALISED);
  return false;
}

void copyText(char* target, std::size_t size, const char* text) { std::snprintf(target, size, "%s", text); }

// The storage behind the entry gethostbyname answers on this thread.
struct HostEntryStore {
  QByteArray name;
  std::vector<std::uint32_t> addresses;
  std::vector<char*> addressList;
  char* noAliases[1] = {nullptr};
  hostent entry{};
};
thread_local HostEntryStore hostStore;
thread_local char dottedText[16];

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (!data) return WSAEFAULT;
  *data = WSADATA();
  data->wHighVersion = kHighestVersion;
  copyText(data->szDescription, sizeof data->szDescription, "WinSock 2.0");
  copyText(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxSockets = 0;  // no fixed limit, as version 2 reports it
  data->iMaxUdpDg = 0;
  if (LOBYTE(versionRequested) < 1) {
    data->wVersion = kHighestVersion;
    return WSAVERNOTSUPPORTED;
  }
  const bool aboveHighest =
      LOBYTE(versionRequested) > 2 || (LOBYTE(versionRequested) == 2 && HIBYTE(versionRequested) > 2);
  data->wVersion = aboveHighest ? kHighestVersion : versionRequested;
  ++startups;
  return 0;
}

int WSACleanup() {
  int current = startups.load();
  while (current > 0)
    if (startups.compare_exchange_weak(current, current - 1)) return 0;
  failWith(WSANOTINITIALISED);
  return SOCKET_ERROR;
}

int WSAGetLastError() { return lastError; }
void WSASetLastError(int error) { lastError = error; }

int gethostname(char* name, int nameLength) {
  if (!started()) return SOCKET_ERROR;
  const QByteArray host = QSysInfo::machineHostName().toLocal8Bit();
  if (!name || nameLength <= host.size()) {
    failWith(WSAEFAULT);
    return SOCKET_ERROR;
  }
  std::memcpy(name, host.constData(), std::size_t(host.size()));
  name[host.size()] = '\0';
  return 0;
}

hostent* gethostbyname(const char* name) {
  if (!started()) return nullptr;
  if (!name) {
    failWith(WSAEFAULT);
    return nullptr;
  }
  using winsockdetail::ResolveResult;
  HostEntryStore& s = hostStore;
  QByteArray canonical;
  std::vector<std::uint32_t> addresses;
  switch (winsockdetail::ResolveIPv4(QByteArray(name), canonical, addresses)) {
    case ResolveResult::Found: break;
    case ResolveResult::NotFound: failWith(WSAHOST_NOT_FOUND); return nullptr;
    case ResolveResult::TryAgain: failWith(WSATRY_AGAIN); return nullptr;
    case ResolveResult::NoRecovery: failWith(WSANO_RECOVERY); return nullptr;
    case ResolveResult::NoData: failWith(WSANO_DATA); return nullptr;
  }
  s.name = canonical;
  s.addresses = std::move(addresses);
  s.addressList.clear();
  for (std::uint32_t& a : s.addresses) s.addressList.push_back(reinterpret_cast<char*>(&a));
  s.addressList.push_back(nullptr);
  s.entry.h_name = s.name.data();
  s.entry.h_aliases = s.noAliases;
  s.entry.h_addrtype = AF_INET_WS;
  s.entry.h_length = 4;
  s.entry.h_addr_list = s.addressList.data();
  return &s.entry;
}

char* inet_ntoa(in_addr address) {
  const auto& b = address.S_un.S_un_b;
  std::snprintf(dottedText, sizeof dottedText, "%u.%u.%u.%u", unsigned(b.s_b1), unsigned(b.s_b2),
                unsigned(b.s_b3), unsigned(b.s_b4));
  return dottedText;
}

void InitializeWinSock() {
  for (const char* module : {"wsock32.dll", "ws2_32.dll"})
    RegisterStandInModule(QString::fromLatin1(module),
                          {{"WSAStartup", StandInProc(&WSAStartup)},
                           {"WSACleanup", StandInProc(&WSACleanup)},
                           {"WSAGetLastError", StandInProc(&WSAGetLastError)},
                           {"WSASetLastError", StandInProc(&WSASetLastError)},
                           {"gethostname", StandInProc(static_cast<int (*)(char*, int)>(&gethostname))},
                           {"gethostbyname", StandInProc(&gethostbyname)},
                           {"inet_ntoa", StandInProc(&inet_ntoa)}});
}
