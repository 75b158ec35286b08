#include "platform/winsock/WinSock.h"

#include "platform/winapi/Modules.h"

#include <gtest/gtest.h>

#include <QSysInfo>
#include <QThread>

#include <cstring>

namespace {

// One start-up for the length of a test.
class Started {
 public:
  Started() { ok = WSAStartup(MAKEWORD(1, 1), &data) == 0; }
  ~Started() {
    if (ok) WSACleanup();
  }
  WSADATA data;
  bool ok = false;
};

}  // namespace

TEST(WinSock, StartupReportsVersionAndStatusAndCountsCleanups) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
  EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
  EXPECT_STREQ(data.szDescription, "WinSock 2.0");
  EXPECT_STREQ(data.szSystemStatus, "Running");

  // A request above what is offered gets the highest version.
  WSADATA high;
  ASSERT_EQ(WSAStartup(MAKEWORD(3, 0), &high), 0);
  EXPECT_EQ(high.wVersion, MAKEWORD(2, 2));

  WSADATA low;
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &low), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);

  // Two start-ups succeeded: two clean-ups succeed, the third fails.
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(WinSock, CallsWithoutStartupFail) {
  char name[260];
  EXPECT_EQ(gethostname(name, int(sizeof name)), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  WSASetLastError(0);
  EXPECT_EQ(gethostbyname("localhost"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(WinSock, HostNameIsTheMachinesAndMustFitTheBuffer) {
  Started s;
  ASSERT_TRUE(s.ok);
  char name[260];
  ASSERT_EQ(gethostname(name, 260), 0);
  EXPECT_EQ(QString::fromLocal8Bit(name), QSysInfo::machineHostName());

  // Exactly the length of the name leaves no room for the terminator.
  const int length = int(std::strlen(name));
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(gethostname(name, length), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(gethostname(name, length + 1), 0);
  EXPECT_EQ(int(std::strlen(name)), length);
}

TEST(WinSock, ResolvesLocalhostAndDottedAddresses) {
  Started s;
  ASSERT_TRUE(s.ok);
  hostent* h = gethostbyname("localhost");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->h_addrtype, AF_INET_WS);
  EXPECT_EQ(h->h_length, 4);
  ASSERT_NE(h->h_addr_list[0], nullptr);
  in_addr first;
  std::memcpy(&first, h->h_addr_list[0], 4);
  EXPECT_STREQ(inet_ntoa(first), "127.0.0.1");
  EXPECT_NE(h->h_aliases, nullptr);
  EXPECT_EQ(h->h_aliases[0], nullptr);

  h = gethostbyname("10.20.30.40");
  ASSERT_NE(h, nullptr);
  std::memcpy(&first, h->h_addr_list[0], 4);
  EXPECT_EQ(first.S_un.S_un_b.s_b1, 10);
  EXPECT_EQ(first.S_un.S_un_b.s_b4, 40);
  EXPECT_STREQ(inet_ntoa(first), "10.20.30.40");
  EXPECT_EQ(h->h_addr_list[1], nullptr);
}

TEST(WinSock, TheLocalHostNameResolvesLikeTheInformationPanelAsksIt) {
  Started s;
  ASSERT_TRUE(s.ok);
  char name[260];
  ASSERT_EQ(gethostname(name, int(sizeof name)), 0);
  hostent* h = gethostbyname(name);
  if (!h) GTEST_SKIP() << "the machine's own name does not resolve here";
  in_addr first;
  std::memcpy(&first, h->h_addr_list[0], 4);
  EXPECT_NE(inet_ntoa(first)[0], '\0');
}

TEST(WinSock, UnknownNamesReportHostNotFound) {
  Started s;
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
  const int error = WSAGetLastError();
  EXPECT_TRUE(error == WSAHOST_NOT_FOUND || error == WSATRY_AGAIN || error == WSANO_DATA) << error;
}

TEST(WinSock, EntriesAndErrorsArePerThread) {
  Started s;
  ASSERT_TRUE(s.ok);
  hostent* mine = gethostbyname("127.0.0.1");
  ASSERT_NE(mine, nullptr);
  hostent* theirs = nullptr;
  int theirError = -1;
  QThread* t = QThread::create([&] {
    WSASetLastError(WSAEINVAL);
    theirs = gethostbyname("10.0.0.1");
    theirError = WSAGetLastError();
  });
  t->start();
  t->wait();
  delete t;
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, mine);
  EXPECT_EQ(theirError, WSAEINVAL);  // a success leaves the code alone
  in_addr first;
  std::memcpy(&first, mine->h_addr_list[0], 4);
  EXPECT_STREQ(inet_ntoa(first), "127.0.0.1");
}

TEST(WinSock, ModulesAreRegisteredByName) {
  InitializeWinSock();
  HMODULE m = LoadLibrary("WSOCK32.DLL");
  ASSERT_NE(m, nullptr);
  using Startup = int (*)(WORD, LPWSADATA);
  auto startup = reinterpret_cast<Startup>(GetProcAddress(m, "WSAStartup"));
  ASSERT_NE(startup, nullptr);
  WSADATA data;
  EXPECT_EQ(startup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_NE(GetProcAddress(m, "gethostbyname"), nullptr);
  FreeLibrary(m);
}

TEST(WinSock, EveryErrorCodeHasASystemText) {
  for (int code : {WSAEFAULT, WSAEINVAL, WSAEINPROGRESS, WSAENETDOWN, WSASYSNOTREADY, WSAVERNOTSUPPORTED,
                   WSANOTINITIALISED, WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA})
    EXPECT_FALSE(SysErrorMessage(Cardinal(code)).isEmpty()) << code;
}
