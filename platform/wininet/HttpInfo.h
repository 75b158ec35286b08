#pragma once
// The head of an HTTP response (status line and header fields) and the header
// query over it with the platform's buffer rules. HttpQueryInfoW answers from
// it; the URL-moniker layer answers its HTTP information queries the same way.
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// Attributes (the low 16 bits of the query level).
inline constexpr DWORD HTTP_QUERY_MIME_VERSION = 0;
inline constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
inline constexpr DWORD HTTP_QUERY_CONTENT_TRANSFER_ENCODING = 2;
inline constexpr DWORD HTTP_QUERY_CONTENT_ID = 3;
inline constexpr DWORD HTTP_QUERY_CONTENT_DESCRIPTION = 4;
inline constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
inline constexpr DWORD HTTP_QUERY_CONTENT_LANGUAGE = 6;
inline constexpr DWORD HTTP_QUERY_ALLOW = 7;
inline constexpr DWORD HTTP_QUERY_PUBLIC = 8;
inline constexpr DWORD HTTP_QUERY_DATE = 9;
inline constexpr DWORD HTTP_QUERY_EXPIRES = 10;
inline constexpr DWORD HTTP_QUERY_LAST_MODIFIED = 11;
inline constexpr DWORD HTTP_QUERY_MESSAGE_ID = 12;
inline constexpr DWORD HTTP_QUERY_URI = 13;
inline constexpr DWORD HTTP_QUERY_DERIVED_FROM = 14;
inline constexpr DWORD HTTP_QUERY_COST = 15;
inline constexpr DWORD HTTP_QUERY_LINK = 16;
inline constexpr DWORD HTTP_QUERY_PRAGMA = 17;
inline constexpr DWORD HTTP_QUERY_VERSION = 18;
inline constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
inline constexpr DWORD HTTP_QUERY_STATUS_TEXT = 20;
inline constexpr DWORD HTTP_QUERY_RAW_HEADERS = 21;
inline constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;
inline constexpr DWORD HTTP_QUERY_CONNECTION = 23;
inline constexpr DWORD HTTP_QUERY_ACCEPT = 24;
inline constexpr DWORD HTTP_QUERY_ACCEPT_CHARSET = 25;
inline constexpr DWORD HTTP_QUERY_ACCEPT_ENCODING = 26;
inline constexpr DWORD HTTP_QUERY_ACCEPT_LANGUAGE = 27;
inline constexpr DWORD HTTP_QUERY_AUTHORIZATION = 28;
inline constexpr DWORD HTTP_QUERY_CONTENT_ENCODING = 29;
inline constexpr DWORD HTTP_QUERY_FORWARDED = 30;
inline constexpr DWORD HTTP_QUERY_FROM = 31;
inline constexpr DWORD HTTP_QUERY_IF_MODIFIED_SINCE = 32;
inline constexpr DWORD HTTP_QUERY_LOCATION = 33;
inline constexpr DWORD HTTP_QUERY_ORIG_URI = 34;
inline constexpr DWORD HTTP_QUERY_REFERER = 35;
inline constexpr DWORD HTTP_QUERY_RETRY_AFTER = 36;
inline constexpr DWORD HTTP_QUERY_SERVER = 37;
inline constexpr DWORD HTTP_QUERY_TITLE = 38;
inline constexpr DWORD HTTP_QUERY_USER_AGENT = 39;
inline constexpr DWORD HTTP_QUERY_WWW_AUTHENTICATE = 40;
inline constexpr DWORD HTTP_QUERY_PROXY_AUTHENTICATE = 41;
inline constexpr DWORD HTTP_QUERY_ACCEPT_RANGES = 42;
inline constexpr DWORD HTTP_QUERY_SET_COOKIE = 43;
inline constexpr DWORD HTTP_QUERY_COOKIE = 44;
inline constexpr DWORD HTTP_QUERY_REQUEST_METHOD = 45;
inline constexpr DWORD HTTP_QUERY_REFRESH = 46;
inline constexpr DWORD HTTP_QUERY_CONTENT_DISPOSITION = 47;
inline constexpr DWORD HTTP_QUERY_AGE = 48;
inline constexpr DWORD HTTP_QUERY_CACHE_CONTROL = 49;
inline constexpr DWORD HTTP_QUERY_CONTENT_BASE = 50;
inline constexpr DWORD HTTP_QUERY_CONTENT_LOCATION = 51;
inline constexpr DWORD HTTP_QUERY_CONTENT_MD5 = 52;
inline constexpr DWORD HTTP_QUERY_CONTENT_RANGE = 53;
inline constexpr DWORD HTTP_QUERY_ETAG = 54;
inline constexpr DWORD HTTP_QUERY_HOST = 55;
inline constexpr DWORD HTTP_QUERY_IF_MATCH = 56;
inline constexpr DWORD HTTP_QUERY_IF_NONE_MATCH = 57;
inline constexpr DWORD HTTP_QUERY_IF_RANGE = 58;
inline constexpr DWORD HTTP_QUERY_IF_UNMODIFIED_SINCE = 59;
inline constexpr DWORD HTTP_QUERY_MAX_FORWARDS = 60;
inline constexpr DWORD HTTP_QUERY_PROXY_AUTHORIZATION = 61;
inline constexpr DWORD HTTP_QUERY_RANGE = 62;
inline constexpr DWORD HTTP_QUERY_TRANSFER_ENCODING = 63;
inline constexpr DWORD HTTP_QUERY_UPGRADE = 64;
inline constexpr DWORD HTTP_QUERY_VARY = 65;
inline constexpr DWORD HTTP_QUERY_VIA = 66;
inline constexpr DWORD HTTP_QUERY_WARNING = 67;
inline constexpr DWORD HTTP_QUERY_EXPECT = 68;
inline constexpr DWORD HTTP_QUERY_PROXY_CONNECTION = 69;
inline constexpr DWORD HTTP_QUERY_UNLESS_MODIFIED_SINCE = 70;
// The header whose name the caller puts into the buffer.
inline constexpr DWORD HTTP_QUERY_CUSTOM = 65535;

// Modifiers.
inline constexpr DWORD HTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000;
inline constexpr DWORD HTTP_QUERY_FLAG_SYSTEMTIME = 0x40000000;
inline constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;
inline constexpr DWORD HTTP_QUERY_FLAG_COALESCE = 0x10000000;
inline constexpr DWORD HTTP_QUERY_FLAG_NUMBER64 = 0x08000000;

inline constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
inline constexpr DWORD ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;

struct HttpResponseHead {
  QByteArray version;  // "HTTP/1.1"
  int statusCode = 0;
  QByteArray statusText;  // the reason phrase
  QByteArray statusLine;
  QList<QPair<QByteArray, QByteArray>> fields;  // name and trimmed value, in order

  bool IsEmpty() const { return statusLine.isEmpty(); }
  // Reads a status line and header lines (CR LF or LF line ends; folded
  // continuation lines join the field before them; a blank line ends it).
  static HttpResponseHead Parse(const QByteArray& block);
  // The value of the index-th field of that name (no case), if any.
  bool Field(const QByteArray& name, int index, QByteArray& value) const;
};

// The platform's header query over a response head. Strings are answered in
// UTF-16: on success the length becomes the bytes written without the
// terminator; a missing or too small buffer gives ERROR_INSUFFICIENT_BUFFER
// and the bytes needed with the terminator. HTTP_QUERY_FLAG_NUMBER answers a
// DWORD (a value without leading digits reads as 0), FLAG_NUMBER64 a 64-bit
// number. With `index`, the index-th field of a repeated header is answered
// and the index moves on. Missing fields: ERROR_HTTP_HEADER_NOT_FOUND.
// Request headers and SYSTEMTIME answers are not kept:
// ERROR_HTTP_HEADER_NOT_FOUND and ERROR_HTTP_INVALID_QUERY_REQUEST.
BOOL QueryHttpInfo(const HttpResponseHead& head, DWORD infoLevel, void* buffer, DWORD* bufferLength,
                   DWORD* index);
