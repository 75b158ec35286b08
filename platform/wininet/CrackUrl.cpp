// Splitting an address into its parts with the platform's buffer rules.
#include "platform/wininet/WinInet.h"

#include <QUrl>

#include <cstring>

namespace {

struct SchemeInfo {
  const char* name;
  INTERNET_SCHEME scheme;
  INTERNET_PORT port;
};

const SchemeInfo kSchemes[] = {
    {"ftp", INTERNET_SCHEME_FTP, 21},
    {"gopher", INTERNET_SCHEME_GOPHER, 70},
    {"http", INTERNET_SCHEME_HTTP, 80},
    {"https", INTERNET_SCHEME_HTTPS, 443},
    {"file", INTERNET_SCHEME_FILE, 0},
    {"news", INTERNET_SCHEME_NEWS, 0},
    {"mailto", INTERNET_SCHEME_MAILTO, 0},
    {"socks", INTERNET_SCHEME_SOCKS, 1080},
    {"javascript", INTERNET_SCHEME_JAVASCRIPT, 0},
    {"vbscript", INTERNET_SCHEME_VBSCRIPT, 0},
    {"res", INTERNET_SCHEME_RES, 0},
};

// A part of the address: its place in the caller's text (absent: start -1).
struct Part {
  qsizetype start = -1;
  qsizetype length = 0;
};

bool validScheme(std::u16string_view s) {
  if (s.empty() || !((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'))) return false;
  for (char16_t c : s) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
                    c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

// Hands one part to the caller. False when its buffer is too small (the
// length then holds the characters needed with the terminator).
bool putPart(LPCWSTR url, const Part& part, LPWSTR& pointer, DWORD& length, bool decode, bool& invalid) {
  if (length == 0) return true;  // not asked for
  if (pointer == nullptr) {
    if (decode) {
      invalid = true;
      return true;
    }
    if (part.start < 0 || part.length == 0) {
      pointer = nullptr;
      length = 0;
    } else {
      pointer = const_cast<LPWSTR>(url + part.start);
      length = DWORD(part.length);
    }
    return true;
  }
  String text = part.start < 0 ? String() : String::fromUtf16(url + part.start, part.length);
  if (decode) text = QUrl::fromPercentEncoding(text.toUtf8());
  if (DWORD(text.size()) + 1 > length) {
    length = DWORD(text.size()) + 1;
    return false;
  }
  std::memcpy(pointer, text.utf16(), text.size() * sizeof(char16_t));
  pointer[text.size()] = 0;
  length = DWORD(text.size());
  return true;
}

}  // namespace

BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, URL_COMPONENTSW* components) {
  if (url == nullptr || components == nullptr ||
      (components->dwStructSize != sizeof(URL_COMPONENTSW) &&
       components->dwStructSize != URL_COMPONENTS_SIZE32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string_view text =
      urlLength == 0 ? std::u16string_view(url) : std::u16string_view(url, urlLength);

  // Scheme: everything before the first colon.
  const size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos || !validScheme(text.substr(0, colon))) {
    SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return FALSE;
  }
  const String schemeName = String::fromUtf16(text.data(), qsizetype(colon)).toLower();
  INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
  INTERNET_PORT port = 0;
  for (const SchemeInfo& info : kSchemes) {
    if (schemeName == QLatin1String(info.name)) {
      scheme = info.scheme;
      port = info.port;
    }
  }
  const bool needsHost = scheme == INTERNET_SCHEME_HTTP || scheme == INTERNET_SCHEME_HTTPS ||
                         scheme == INTERNET_SCHEME_FTP || scheme == INTERNET_SCHEME_GOPHER;

  Part schemePart{0, qsizetype(colon)}, user, password, host, path, extra;
  size_t pos = colon + 1;
  if (text.substr(pos, 2) == u"//") {
    pos += 2;
    size_t authorityEnd = text.find_first_of(u"/?#", pos);
    if (authorityEnd == std::u16string_view::npos) authorityEnd = text.size();
    const std::u16string_view authority = text.substr(pos, authorityEnd - pos);
    size_t hostStart = 0;
    const size_t at = authority.rfind(u'@');
    if (at != std::u16string_view::npos) {
      const std::u16string_view info = authority.substr(0, at);
      const size_t sep = info.find(u':');
      user = {qsizetype(pos), qsizetype(sep == std::u16string_view::npos ? info.size() : sep)};
      if (sep != std::u16string_view::npos)
        password = {qsizetype(pos + sep + 1), qsizetype(info.size() - sep - 1)};
      hostStart = at + 1;
    }
    const std::u16string_view hostPort = authority.substr(hostStart);
    size_t hostEnd = hostPort.size();
    size_t portStart = std::u16string_view::npos;
    if (!hostPort.empty() && hostPort[0] == u'[') {
      const size_t close = hostPort.find(u']');
      if (close == std::u16string_view::npos) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return FALSE;
      }
      host = {qsizetype(pos + hostStart + 1), qsizetype(close - 1)};
      if (close + 1 < hostPort.size()) {
        if (hostPort[close + 1] != u':') {
          SetLastError(ERROR_INTERNET_INVALID_URL);
          return FALSE;
        }
        portStart = close + 2;
      }
    } else {
      const size_t sep = hostPort.rfind(u':');
      if (sep != std::u16string_view::npos) {
        hostEnd = sep;
        portStart = sep + 1;
      }
      host = {qsizetype(pos + hostStart), qsizetype(hostEnd)};
    }
    if (portStart != std::u16string_view::npos && portStart < hostPort.size()) {
      unsigned long number = 0;
      for (char16_t c : hostPort.substr(portStart)) {
        if (c < u'0' || c > u'9' || number > 65535) {
          SetLastError(ERROR_INTERNET_INVALID_URL);
          return FALSE;
        }
        number = number * 10 + (c - u'0');
      }
      if (number > 65535) {
        SetLastError(ERROR_INTERNET_INVALID_URL);
        return FALSE;
      }
      port = INTERNET_PORT(number);
    }
    if (needsHost && host.length == 0) {
      SetLastError(ERROR_INTERNET_INVALID_URL);
      return FALSE;
    }
    pos = authorityEnd;
    const size_t extraStart = text.find_first_of(u"?#", pos);
    const size_t pathEnd = extraStart == std::u16string_view::npos ? text.size() : extraStart;
    path = {qsizetype(pos), qsizetype(pathEnd - pos)};
    if (extraStart != std::u16string_view::npos)
      extra = {qsizetype(extraStart), qsizetype(text.size() - extraStart)};
  } else {
    if (needsHost) {
      SetLastError(ERROR_INTERNET_INVALID_URL);
      return FALSE;
    }
    // An opaque address ("mailto:...", "about:blank"): the rest is the path.
    path = {qsizetype(pos), qsizetype(text.size() - pos)};
  }

  const bool decode = (flags & (ICU_DECODE | ICU_ESCAPE)) != 0;
  bool invalid = false;
  bool fits = true;
  URL_COMPONENTSW& c = *components;
  fits &= putPart(url, schemePart, c.lpszScheme, c.dwSchemeLength, false, invalid);
  fits &= putPart(url, host, c.lpszHostName, c.dwHostNameLength, decode, invalid);
  fits &= putPart(url, user, c.lpszUserName, c.dwUserNameLength, decode, invalid);
  fits &= putPart(url, password, c.lpszPassword, c.dwPasswordLength, decode, invalid);
  fits &= putPart(url, path, c.lpszUrlPath, c.dwUrlPathLength, decode, invalid);
  fits &= putPart(url, extra, c.lpszExtraInfo, c.dwExtraInfoLength, decode, invalid);
  if (invalid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!fits) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  c.nScheme = scheme;
  c.nPort = port;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
