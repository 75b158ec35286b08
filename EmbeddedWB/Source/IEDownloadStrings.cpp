// One text per status, response or error code, looked up in a table sorted
// by the signed code.
#include "EmbeddedWB/Source/IEDownloadStrings.h"

#include <algorithm>
#include <iterator>

namespace IEDownloadStrings {

namespace {

struct CodeText {
  Integer code;
  const char* text;
};

constexpr CodeText kCodeTexts[] = {
    // COM, storage, moniker and URL-moniker results.
    {Integer(0x80004001u), "Not implemented"},
    {Integer(0x80004002u), "No such interface supported"},
    {Integer(0x80004004u), "Operation Aborted."},
    {Integer(0x80004005u), "Failed"},
    {Integer(0x8000FFFFu), "Catastrophic failure"},
    {Integer(0x80030005u), "Unable to access the storage object."},
    {Integer(0x800401E0u),
     "The operation was unable to connect to the storage, possibly because a network "
     "device could not be connected to. For more information, see IMoniker::BindToObject."},
    {Integer(0x800401E1u),
     "The operation could not be completed within the time limit specified by the bind "
     "context's BIND_OPTS structure."},
    {Integer(0x800401E2u), "Moniker needs to be generic."},
    {Integer(0x800401E3u), "Operation unavailable."},
    {Integer(0x800401E4u), "A moniker could not be created because of invalid URL syntax."},
    {Integer(0x800401E5u), "No object for moniker."},
    {Integer(0x800401E6u), "Bad extension for file."},
    {Integer(0x800401E7u),
     "An intermediate object was found but it did not support an interface required for "
     "an operation. For example, an item moniker returns this value if its container does "
     "not support the IOleItemContainer interface."},
    {Integer(0x800401E8u), "Moniker is not bindable."},
    {Integer(0x800401E9u), "Moniker is not bound."},
    {Integer(0x800401EAu), "Moniker cannot open file."},
    {Integer(0x800401EBu), "User input required for operation to succeed."},
    {Integer(0x800401ECu), "Moniker class has no inverse."},
    {Integer(0x800401EDu), "The object identified by the moniker does not have its own storage."},
    {Integer(0x800401EEu), "No common prefix."},
    {Integer(0x800401EFu), "Moniker could not be enumerated"},
    {Integer(0x80070005u), "Access Denied."},
    {Integer(0x8007000Eu), "There was insufficient memory ..."},
    {Integer(0x80070057u), "One or more parameters are invalid."},
    {Integer(0x800C0002u), "The URL could not be parsed."},
    {Integer(0x800C0003u), "No Internet session was established."},
    {Integer(0x800C0004u), "The attempt to connect to the Internet has failed."},
    {Integer(0x800C0005u), "The server or proxy was not found."},
    {Integer(0x800C0006u), "The object was not found."},
    {Integer(0x800C0007u), "An Internet connection was established, but the data cannot be retrieved."},
    {Integer(0x800C0008u), "The download has failed (the connection was interrupted)."},
    {Integer(0x800C0009u), "Authentication is needed to access the object."},
    {Integer(0x800C000Au), "The object is not in one of the acceptable MIME types."},
    {Integer(0x800C000Bu), "The Internet connection has timed out."},
    {Integer(0x800C000Cu), "The request was invalid."},
    {Integer(0x800C000Du),
     "The protocol is not known and no pluggable protocols have been entered that match."},
    {Integer(0x800C000Eu), "A security problem was encountered."},
    {Integer(0x800C000Fu), "The object could not be loaded."},
    {Integer(0x800C0010u), "CoCreateInstance failed."},
    {Integer(0x800C0011u), "Use the default action."},
    {Integer(0x800C0012u), "Use the default settings."},
    {Integer(0x800C0013u), "The requested option is unknown."},
    {Integer(0x800C0014u), "The request is being redirected."},
    {Integer(0x800C0015u), "The request is being redirected to a directory."},
    {Integer(0x800C0016u), "The requested resource could not be locked."},
    {Integer(0x800C0017u), "Re-issue request with extended Binding."},
    {Integer(0x800C0018u), "Binding is terminated."},
    {Integer(0x800C0100u), "Permission to download is declined."},
    {Integer(0x800C0200u), "Result is dispatched."},
    {Integer(0x800C0300u), "Cannot replace a protected System File Protection (SFP) file."},
    // Success and the bind-status values in their order.
    {0, "The operation was successful"},
    {1, "Finding resource..."},
    {2, "Connecting..."},
    {3, "Server redirecting client..."},
    {4, "Beginning to download data..."},
    {5, "Downloading data..."},
    {6, "Ending data download..."},
    {7, "Beginning to download components..."},
    {8, "Installing components..."},
    {9, "Ending component download..."},
    {10, "Using cached copy..."},
    {11, "Sending request..."},
    {12, "CLSID available..."},
    {13, "MIME type available..."},
    {14, "Cache file name available..."},
    {15, "Synchronous operation has started..."},
    {16, "Ending synchronous operation..."},
    {17, "Beginning to upload data..."},
    {18, "Uploading data..."},
    {19, "Ending data upload..."},
    {20, "Protocol handler CLSID is available..."},
    {21, "Encoding data..."},
    {22, "Verified MIME type is available..."},
    {23, "Class install location is available..."},
    {24, "Decoding data..."},
    {25, "Pluggable MIME handler is being loaded..."},
    {26, "Content-Disposition resource is an attachment..."},
    {27, "New MIME type available for resource..."},
    {28, "CLSID to return on BindToObject..."},
    {29, "IUnknown interface has been released..."},
    {30, "Connected directly to the pluggable protocol handler..."},
    {31, "Raw MIME type..."},
    {32, "Proxy server has been detected..."},
    {33, "Valid types of range requests..."},
    {34, "A cookie was sent"},
    {35, "A Platform for Privacy Preferences was received."},
    {36, "A cookie was suppressed from being sent to the web server."},
    {37, "A a cookie has been initialized. "},
    {38, "A cookie sent by the server was accepted."},
    {39, "A cookie sent by the server was rejected."},
    {40, "User settings require a prompt before performing a cookie operation."},
    {41, "A cookie is a leashed cookie."},
    {42, "A cookie is a downgraded cookie."},
    {43, "HTTP headers contain a link to the full privacy policy"},
    {44, "HTTP response from the server contains the P3P privacy header"},
    {45, "A session cookie was received."},
    {46, "A persistent cookie was received. "},
    {47, "The session cookies are allowed."},
    {48, "A response from the server was written to memory only."},
    {49, "The Content-Disposition header contains a file name."},
    {50, "The reported Content-Type of the file does not match the content. "},
    {51, "The publisher name is being downloaded and is available."},
    {52, "The display name being downloaded and is available."},
    {53, "A problem with the SSL certificate."},
    {54, "Server's authoritative MIME type reported"},
    {55, "Class identifier (CLSID) generated from authoritative Content-Type HTTP response header"},
    {56, "Download progress values are above the maximum 32-bit file size limit."},
    // HTTP status codes.
    {100, "Continue"},
    {101, "Switching Protocols"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Moved Temporarily"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "None Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity Too Large"},
    {414, "Request-URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Requested Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
    // WinInet certificate and security errors.
    {12037, "SSL certificate date that was received from the server is bad. The certificate is expired."},
    {12038, "The host name in the server's SSL certificate does not match the host name that was requested."},
    {12039, "The application is moving from a non-SSL to an SSL connection because of a redirect."},
    {12040, "The application is moving from an SSL to an non-SSL connection because of a redirect."},
    {12041,
     "The content is not entirely secure. Some of the content being viewed may have come "
     "from unsecured servers."},
    {12042,
     "The application is posting and attempting to change multiple lines of text on a "
     "server that is not secure."},
    {12043, "The application is posting data to a server that is not secure."},
    {12044, "The server is requesting client authentication."},
    {12045,
     "The function is unfamiliar with the Certificate Authority that generated the "
     "server's certificate."},
    {12046, "Client authorization is not set up on this computer."},
    {12054, "The requested resource requires Fortezza authentication."},
    {12168, "The redirection requires user confirmation."},
    {12170, "SSL certificate was revoked."},
    // The moniker's asynchronous success.
    {262632, "Asynchronous mode."},
};

constexpr bool sortedByCode() {
  for (std::size_t i = 1; i < std::size(kCodeTexts); ++i)
    if (kCodeTexts[i - 1].code >= kCodeTexts[i].code) return false;
  return true;
}
static_assert(sortedByCode(), "the lookup needs the codes in ascending order");
static_assert(std::size(kCodeTexts) == 161);

}  // namespace

String BscfFlagText(Cardinal Flag) {
  switch (Flag) {
    case 1: return QStringLiteral("Identifed the first call to OnDataAvailable.");
    case 2: return QStringLiteral("Identifed the intermediate call to OnDataAvailable.");
    case 4: return QStringLiteral("Identifed the last call to OnDataAvailable.");
    case 8: return QStringLiteral("All of the requested data is available.");
    case 16: return QStringLiteral("Size of the data available is unknown.");
    default:
      // Flags given together are no single notification: read them as a code.
      return StatusCodeText(Integer(Flag));
  }
}

String StatusCodeText(Integer Code) {
  const auto* end = std::end(kCodeTexts);
  const auto* found = std::lower_bound(std::begin(kCodeTexts), end, Code,
                                       [](const CodeText& entry, Integer code) { return entry.code < code; });
  if (found != end && found->code == Code) return String::fromLatin1(found->text);
  return QStringLiteral("Unknown Response: ") + IntToStr(Code) + QLatin1Char(' ') +
         SysErrorMessage(Cardinal(Code));
}

}  // namespace IEDownloadStrings
