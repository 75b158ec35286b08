#pragma once
// The system resolver behind gethostbyname, kept apart from WinSock.h: the
// system's own socket headers declare functions and structures of the same
// names.
#include <QByteArray>

#include <cstdint>
#include <vector>

namespace winsockdetail {

enum class ResolveResult { Found, NotFound, TryAgain, NoRecovery, NoData };

// IPv4 addresses (network byte order) and the canonical name of `name`.
ResolveResult ResolveIPv4(const QByteArray& name, QByteArray& canonicalName,
                          std::vector<std::uint32_t>& addresses);

}  // namespace winsockdetail
