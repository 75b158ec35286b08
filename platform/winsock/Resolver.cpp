// getaddrinfo for IPv4 addresses, with its canonical name.
#include "platform/winsock/Resolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace winsockdetail {

ResolveResult ResolveIPv4(const QByteArray& name, QByteArray& canonicalName,
                          std::vector<std::uint32_t>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(name.constData(), nullptr, &hints, &list);
  if (rc != 0) {
    switch (rc) {
      case EAI_AGAIN: return ResolveResult::TryAgain;
      case EAI_FAIL: return ResolveResult::NoRecovery;
#ifdef EAI_NODATA
      case EAI_NODATA:
#endif
      case EAI_ADDRFAMILY: return ResolveResult::NoData;
      default: return ResolveResult::NotFound;
    }
  }
  canonicalName = list->ai_canonname ? QByteArray(list->ai_canonname) : name;
  addresses.clear();
  for (addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr) continue;
    const std::uint32_t addr = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    if (std::find(addresses.begin(), addresses.end(), addr) == addresses.end()) addresses.push_back(addr);
  }
  freeaddrinfo(list);
  return addresses.empty() ? ResolveResult::NoData : ResolveResult::Found;
}

}  // namespace winsockdetail
