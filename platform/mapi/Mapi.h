#pragma once
// Simple MAPI: hands a mail message to the desktop's mail client.
//
// MAPISendMail builds a real MIME message (an .eml file: the headers, a
// UTF-8 text part and the attachments in base64), writes it atomically to
// ProfileDir()/Outbox/ and hands the file to the mail client (by default the
// desktop's opener for .eml files; SetMailHandOff replaces it). The Outbox
// keeps the message whole even when the caller deletes its attachment files
// right after the send.
//
// Strings are 8-bit, as in the platform's Simple MAPI: they are read as
// UTF-8, or as Latin-1 when they are not valid UTF-8. Every call may run on
// any thread.
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"

#include <functional>

using LHANDLE = ULONG_PTR;
using LPLHANDLE = LHANDLE*;
using FLAGS = ULONG;

// Recipient classes.
inline constexpr ULONG MAPI_ORIG = 0;
inline constexpr ULONG MAPI_TO = 1;
inline constexpr ULONG MAPI_CC = 2;
inline constexpr ULONG MAPI_BCC = 3;

struct MapiRecipDesc {
  ULONG ulReserved = 0;
  ULONG ulRecipClass = 0;
  LPSTR lpszName = nullptr;
  // "SMTP:" before the address is optional.
  LPSTR lpszAddress = nullptr;
  ULONG ulEIDSize = 0;
  LPVOID lpEntryID = nullptr;
};
using lpMapiRecipDesc = MapiRecipDesc*;

struct MapiFileDesc {
  ULONG ulReserved = 0;
  ULONG flFlags = 0;
  ULONG nPosition = 0;  // 0xFFFFFFFF: no place in the text
  LPSTR lpszPathName = nullptr;
  // The name the recipient sees; null: the file name of the path.
  LPSTR lpszFileName = nullptr;
  LPVOID lpFileType = nullptr;
};
using lpMapiFileDesc = MapiFileDesc*;

struct MapiMessage {
  ULONG ulReserved = 0;
  LPSTR lpszSubject = nullptr;
  LPSTR lpszNoteText = nullptr;
  LPSTR lpszMessageType = nullptr;
  LPSTR lpszDateReceived = nullptr;
  LPSTR lpszConversationID = nullptr;
  FLAGS flFlags = 0;
  lpMapiRecipDesc lpOriginator = nullptr;
  ULONG nRecipCount = 0;
  lpMapiRecipDesc lpRecips = nullptr;
  ULONG nFileCount = 0;
  lpMapiFileDesc lpFiles = nullptr;
};
using lpMapiMessage = MapiMessage*;

// Flags of the calls.
inline constexpr FLAGS MAPI_LOGON_UI = 0x00000001;
inline constexpr FLAGS MAPI_NEW_SESSION = 0x00000002;
inline constexpr FLAGS MAPI_DIALOG = 0x00000008;
inline constexpr FLAGS MAPI_FORCE_DOWNLOAD = 0x00001000;
inline constexpr FLAGS MAPI_AB_NOMODIFY = 0x00000400;
// Message flags.
inline constexpr FLAGS MAPI_UNREAD = 0x00000001;
inline constexpr FLAGS MAPI_RECEIPT_REQUESTED = 0x00000002;
inline constexpr FLAGS MAPI_SENT = 0x00000004;

// Result codes.
inline constexpr ULONG SUCCESS_SUCCESS = 0;
inline constexpr ULONG MAPI_USER_ABORT = 1;
inline constexpr ULONG MAPI_E_USER_ABORT = MAPI_USER_ABORT;
inline constexpr ULONG MAPI_E_FAILURE = 2;
inline constexpr ULONG MAPI_E_LOGON_FAILURE = 3;
inline constexpr ULONG MAPI_E_LOGIN_FAILURE = MAPI_E_LOGON_FAILURE;
inline constexpr ULONG MAPI_E_DISK_FULL = 4;
inline constexpr ULONG MAPI_E_INSUFFICIENT_MEMORY = 5;
inline constexpr ULONG MAPI_E_ACCESS_DENIED = 6;
inline constexpr ULONG MAPI_E_TOO_MANY_SESSIONS = 8;
inline constexpr ULONG MAPI_E_TOO_MANY_FILES = 9;
inline constexpr ULONG MAPI_E_TOO_MANY_RECIPIENTS = 10;
inline constexpr ULONG MAPI_E_ATTACHMENT_NOT_FOUND = 11;
inline constexpr ULONG MAPI_E_ATTACHMENT_OPEN_FAILURE = 12;
inline constexpr ULONG MAPI_E_ATTACHMENT_WRITE_FAILURE = 13;
inline constexpr ULONG MAPI_E_UNKNOWN_RECIPIENT = 14;
inline constexpr ULONG MAPI_E_BAD_RECIPTYPE = 15;
inline constexpr ULONG MAPI_E_NO_MESSAGES = 16;
inline constexpr ULONG MAPI_E_INVALID_MESSAGE = 17;
inline constexpr ULONG MAPI_E_TEXT_TOO_LARGE = 18;
inline constexpr ULONG MAPI_E_INVALID_SESSION = 19;
inline constexpr ULONG MAPI_E_TYPE_NOT_SUPPORTED = 20;
inline constexpr ULONG MAPI_E_AMBIGUOUS_RECIPIENT = 21;
inline constexpr ULONG MAPI_E_AMBIG_RECIP = MAPI_E_AMBIGUOUS_RECIPIENT;
inline constexpr ULONG MAPI_E_MESSAGE_IN_USE = 22;
inline constexpr ULONG MAPI_E_NETWORK_FAILURE = 23;
inline constexpr ULONG MAPI_E_INVALID_EDITFIELDS = 24;
inline constexpr ULONG MAPI_E_INVALID_RECIPS = 25;
inline constexpr ULONG MAPI_E_NOT_SUPPORTED = 26;

// Opens a session; every profile name is accepted (the desktop has one mail
// client). The handle is non-zero.
ULONG MAPILogon(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, FLAGS flags, ULONG reserved,
                LPLHANDLE session);
// MAPI_E_INVALID_SESSION for a handle that is not open.
ULONG MAPILogoff(LHANDLE session, ULONG_PTR uiParam, FLAGS flags, ULONG reserved);
// Builds, stores and hands off the message (see above). Session 0 is allowed;
// another session must be open (MAPI_E_INVALID_SESSION). Answers
// MAPI_E_INVALID_MESSAGE for no message, MAPI_E_BAD_RECIPTYPE for a
// recipient class other than To, Cc and Bcc, MAPI_E_ATTACHMENT_NOT_FOUND /
// MAPI_E_ATTACHMENT_OPEN_FAILURE for an attachment that is missing / cannot
// be read (nothing is written then), MAPI_E_FAILURE when the Outbox cannot be
// written, else the hand-off's answer.
ULONG MAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message, FLAGS flags, ULONG reserved);
// There is no address book: a name that holds a mail address ("a@b.c",
// "SMTP:a@b.c", "Name <a@b.c>") resolves to a recipient (class To, address
// "SMTP:" + address, the address as entry identifier) in one buffer that the
// caller frees with MAPIFreeBuffer; any other name gives
// MAPI_E_UNKNOWN_RECIPIENT, with or without MAPI_DIALOG.
ULONG MAPIResolveName(LHANDLE session, ULONG_PTR uiParam, LPSTR name, FLAGS flags, ULONG reserved,
                      lpMapiRecipDesc* recipient);
// Frees a buffer handed out by MAPIResolveName (null is ignored);
// MAPI_E_FAILURE for a pointer that is no such buffer.
ULONG MAPIFreeBuffer(LPVOID buffer);
// Buffers handed out and not freed yet (for leak checks).
int MapiLiveBuffers();

using LPMAPILOGON = decltype(&MAPILogon);
using LPMAPILOGOFF = decltype(&MAPILogoff);
using LPMAPISENDMAIL = decltype(&MAPISendMail);
using LPMAPIRESOLVENAME = decltype(&MAPIResolveName);
using LPMAPIFREEBUFFER = decltype(&MAPIFreeBuffer);

// What happens to a stored message: `emlFile` is its file in the Outbox,
// `flags` the flags of the send. The answer is MAPISendMail's (a hand-off
// that reports the user cancelling answers MAPI_E_USER_ABORT). On any answer
// other than SUCCESS_SUCCESS the file is removed from the Outbox again.
using TMailHandOff = std::function<ULONG(const String& emlFile, FLAGS flags)>;
// Installs a hand-off (an empty one restores the desktop's); answers the one
// installed before.
TMailHandOff SetMailHandOff(TMailHandOff handOff);
// The desktop's hand-off: opens the file with the desktop's opener
// (xdg-open) without waiting for it. A desktop without one leaves the message
// in the Outbox; either way the answer is SUCCESS_SUCCESS.
ULONG DesktopMailHandOff(const String& emlFile, FLAGS flags);

// The folder the messages are written to: ProfileDir()/Outbox.
String MailOutboxDir();

// Registers "mapi32.dll" with the Simple MAPI entry points in the module
// table.
void InitializeMapi();
