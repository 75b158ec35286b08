#include "platform/wininet/HttpInfo.h"

#include "platform/winapi/Modules.h"
#include "platform/wininet/Log_p.h"

#include <cstring>
#include <limits>

namespace {

// Header names by attribute number; null for attributes answered otherwise.
const char* const kHeaderNames[] = {"Mime-Version",
                                    "Content-Type",
                                    "Content-Transfer-Encoding",
                                    "Content-ID",
                                    "Content-Description",
                                    "Content-Length",
                                    "Content-Language",
                                    "Allow",
                                    "Public",
                                    "Date",
                                    "Expires",
                                    "Last-Modified",
                                    "Message-ID",
                                    "URI",
                                    "Derived-From",
                                    "Cost",
                                    "Link",
                                    "Pragma",
                                    nullptr /* version */,
                                    nullptr /* status code */,
                                    nullptr /* status text */,
                                    nullptr /* raw headers */,
                                    nullptr /* raw headers CR LF */,
                                    "Connection",
                                    "Accept",
                                    "Accept-Charset",
                                    "Accept-Encoding",
                                    "Accept-Language",
                                    "Authorization",
                                    "Content-Encoding",
                                    "Forwarded",
                                    "From",
                                    "If-Modified-Since",
                                    "Location",
                                    "Orig-URI",
                                    "Referer",
                                    "Retry-After",
                                    "Server",
                                    "Title",
                                    "User-Agent",
                                    "WWW-Authenticate",
                                    "Proxy-Authenticate",
                                    "Accept-Ranges",
                                    "Set-Cookie",
                                    "Cookie",
                                    nullptr /* request method */,
                                    "Refresh",
                                    "Content-Disposition",
                                    "Age",
                                    "Cache-Control",
                                    "Content-Base",
                                    "Content-Location",
                                    "Content-MD5",
                                    "Content-Range",
                                    "ETag",
                                    "Host",
                                    "If-Match",
                                    "If-None-Match",
                                    "If-Range",
                                    "If-Unmodified-Since",
                                    "Max-Forwards",
                                    "Proxy-Authorization",
                                    "Range",
                                    "Transfer-Encoding",
                                    "Upgrade",
                                    "Vary",
                                    "Via",
                                    "Warning",
                                    "Expect",
                                    "Proxy-Connection",
                                    "Unless-Modified-Since"};
constexpr DWORD kHeaderNameCount = sizeof(kHeaderNames) / sizeof(kHeaderNames[0]);

// Header bytes as text: UTF-8 when they are valid UTF-8, else Latin-1.
String headerText(const QByteArray& bytes) {
  const String utf8 = String::fromUtf8(bytes);
  if (!utf8.contains(QChar::ReplacementCharacter)) return utf8;
  return String::fromLatin1(bytes);
}

BOOL fail(DWORD error, const char* caller = __builtin_FUNCTION()) {
  qCDebug(lcWinInet) << caller << "fails with error" << error;
  SetLastError(error, caller);
  return FALSE;
}

// Copies `text` and a terminator with the string buffer rules.
BOOL answerString(const String& text, void* buffer, DWORD* bufferLength) {
  const qsizetype units = text.size() + 1;
  const std::uint64_t needed = std::uint64_t(units) * sizeof(char16_t);
  if (needed > std::numeric_limits<DWORD>::max()) return fail(ERROR_NOT_ENOUGH_MEMORY);
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = DWORD(needed);
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto* out = static_cast<char16_t*>(buffer);
  std::memcpy(out, text.utf16(), text.size() * sizeof(char16_t));
  out[text.size()] = 0;
  *bufferLength = DWORD((units - 1) * sizeof(char16_t));
  return TRUE;
}

BOOL answerNumber(const QByteArray& value, bool wide, void* buffer, DWORD* bufferLength) {
  const DWORD size = wide ? 8 : 4;
  if (buffer == nullptr || *bufferLength < size) {
    *bufferLength = size;
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  // The leading decimal digits, like the platform's conversion.
  const QByteArray trimmed = value.trimmed();
  std::uint64_t number = 0;
  for (char c : trimmed) {
    if (c < '0' || c > '9') break;
    number = number * 10 + std::uint64_t(c - '0');
    if (number > (std::numeric_limits<std::uint64_t>::max() - 9) / 10) break;
  }
  if (wide) {
    std::memcpy(buffer, &number, 8);
  } else {
    const DWORD small =
        number > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max() : DWORD(number);
    std::memcpy(buffer, &small, 4);
  }
  *bufferLength = size;
  return TRUE;
}

}  // namespace

HttpResponseHead HttpResponseHead::Parse(const QByteArray& block) {
  HttpResponseHead head;
  const QList<QByteArray> lines = block.split('\n');
  bool first = true;
  for (QByteArray line : lines) {
    if (line.endsWith('\r')) line.chop(1);
    if (first) {
      if (line.trimmed().isEmpty()) continue;  // stray blank lines before the status
      first = false;
      head.statusLine = line;
      const QByteArray status = line.trimmed();
      const qsizetype sp1 = status.indexOf(' ');
      head.version = sp1 < 0 ? status : status.left(sp1);
      if (sp1 >= 0) {
        const qsizetype sp2 = status.indexOf(' ', sp1 + 1);
        const QByteArray code = sp2 < 0 ? status.mid(sp1 + 1) : status.mid(sp1 + 1, sp2 - sp1 - 1);
        bool ok = false;
        const int number = code.toInt(&ok);
        head.statusCode = ok && number >= 0 && number < 1000 ? number : 0;
        if (sp2 >= 0) head.statusText = status.mid(sp2 + 1).trimmed();
      }
      continue;
    }
    if (line.isEmpty()) break;
    if ((line[0] == ' ' || line[0] == '\t') && !head.fields.isEmpty()) {
      QByteArray& value = head.fields.last().second;
      value += ' ' + line.trimmed();
      continue;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) continue;  // not a field; ignored
    head.fields.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
  }
  return head;
}

bool HttpResponseHead::Field(const QByteArray& name, int index, QByteArray& value) const {
  int seen = 0;
  for (const auto& field : fields) {
    if (field.first.compare(name, Qt::CaseInsensitive) != 0) continue;
    if (seen++ == index) {
      value = field.second;
      return true;
    }
  }
  return false;
}

BOOL QueryHttpInfo(const HttpResponseHead& head, DWORD infoLevel, void* buffer, DWORD* bufferLength,
                   DWORD* index) {
  if (bufferLength == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const DWORD attribute = infoLevel & 0xFFFF;
  const DWORD modifiers = infoLevel & 0xFFFF0000;
  const bool asNumber = (modifiers & (HTTP_QUERY_FLAG_NUMBER | HTTP_QUERY_FLAG_NUMBER64)) != 0;
  const bool asNumber64 = (modifiers & HTTP_QUERY_FLAG_NUMBER64) != 0;
  if (modifiers & HTTP_QUERY_FLAG_SYSTEMTIME) return fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
  if (modifiers & HTTP_QUERY_FLAG_REQUEST_HEADERS) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
  if (head.IsEmpty()) return fail(ERROR_HTTP_HEADER_NOT_FOUND);

  switch (attribute) {
    case HTTP_QUERY_STATUS_CODE: {
      const QByteArray code = QByteArray::number(head.statusCode);
      return asNumber ? answerNumber(code, asNumber64, buffer, bufferLength)
                      : answerString(String::fromLatin1(code), buffer, bufferLength);
    }
    case HTTP_QUERY_STATUS_TEXT:
    case HTTP_QUERY_VERSION: {
      const QByteArray& value = attribute == HTTP_QUERY_VERSION ? head.version : head.statusText;
      return asNumber ? answerNumber(value, asNumber64, buffer, bufferLength)
                      : answerString(headerText(value), buffer, bufferLength);
    }
    case HTTP_QUERY_RAW_HEADERS:
    case HTTP_QUERY_RAW_HEADERS_CRLF: {
      if (asNumber) return fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
      const bool crlf = attribute == HTTP_QUERY_RAW_HEADERS_CRLF;
      const QLatin1String separator(crlf ? "\r\n" : "\0", crlf ? 2 : 1);
      String text = headerText(head.statusLine) + separator;
      for (const auto& field : head.fields)
        text += headerText(field.first) + QLatin1String(": ") + headerText(field.second) + separator;
      if (crlf) text += separator;  // the blank line that ends the head
      // Without CR LF every line ends in a null and the terminator ends the list.
      return answerString(text, buffer, bufferLength);
    }
    default: break;
  }

  QByteArray name;
  if (attribute == HTTP_QUERY_CUSTOM) {
    // The caller's buffer holds the header's name.
    if (buffer == nullptr) return fail(ERROR_INVALID_PARAMETER);
    const auto* chars = static_cast<const char16_t*>(buffer);
    const DWORD maxUnits = *bufferLength / sizeof(char16_t);
    DWORD n = 0;
    while (n < maxUnits && chars[n] != 0) ++n;
    if (n == maxUnits) return fail(ERROR_INVALID_PARAMETER);  // not terminated
    name = String::fromUtf16(chars, n).toLatin1();
  } else if (attribute < kHeaderNameCount && kHeaderNames[attribute] != nullptr) {
    name = kHeaderNames[attribute];
  } else if (attribute == HTTP_QUERY_REQUEST_METHOD) {
    return fail(ERROR_HTTP_HEADER_NOT_FOUND);
  } else {
    return fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
  }

  const int occurrence = index != nullptr ? int(std::min<DWORD>(*index, 0x7FFFFFFF)) : 0;
  QByteArray value;
  if (!head.Field(name, occurrence, value)) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
  const BOOL ok = asNumber ? answerNumber(value, asNumber64, buffer, bufferLength)
                           : answerString(headerText(value), buffer, bufferLength);
  if (ok && index != nullptr) ++*index;
  return ok;
}
