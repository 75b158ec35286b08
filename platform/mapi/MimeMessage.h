#pragma once
// The MIME text of a Simple MAPI message.
#include "platform/mapi/Mapi.h"

namespace mapidetail {

// 8-bit text of the caller: UTF-8 when valid, else Latin-1.
String FromAnsi(const char* text);

// The message with CR LF line ends, or an empty array with `error` set to
// the MAPI code that stops it (a missing or unreadable attachment, a bad
// recipient class).
QByteArray BuildMimeMessage(const MapiMessage& message, ULONG& error);

// Parts of the writer, open to the tests.
QByteArray EncodeQuotedPrintable(const QByteArray& text);
// A header value as RFC 2047 encoded words when it is not plain ASCII.
QByteArray EncodeHeaderText(const String& text);

}  // namespace mapidetail
