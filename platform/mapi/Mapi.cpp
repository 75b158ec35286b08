// Simple MAPI over the desktop: sessions, the send into the Outbox and its
// hand-off, name resolution without an address book, MAPI buffers.
#include "platform/mapi/Mapi.h"

#include "platform/mapi/Log_p.h"
#include "platform/mapi/MimeMessage.h"
#include "platform/rtl/Folders.h"
#include "platform/winapi/Modules.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cstring>
#include <mutex>
#include <set>

using mapidetail::FromAnsi;

namespace {

std::mutex mutex;
std::set<LHANDLE> sessions;
LHANDLE nextSession = 1;
std::set<void*> buffers;
TMailHandOff handOff;

bool sessionOpen(LHANDLE session) {
  std::lock_guard lock(mutex);
  return sessions.count(session) > 0;
}

// A name in the Outbox that no message has yet.
String newOutboxFile(const String& dir) {
  for (;;) {
    const String name = dir + QLatin1Char('/') +
                        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")) +
                        QLatin1Char('-') + String::number(QRandomGenerator::global()->generate(), 16) +
                        QStringLiteral(".eml");
    if (!QFileInfo::exists(name)) return name;
  }
}

// The mail address in a name, if it holds one.
String mailAddressIn(const String& text) {
  String t = text.trimmed();
  const int open = t.lastIndexOf(QLatin1Char('<'));
  if (open >= 0 && t.endsWith(QLatin1Char('>'))) t = t.mid(open + 1, t.size() - open - 2).trimmed();
  if (t.startsWith(QLatin1String("SMTP:"), Qt::CaseInsensitive)) t.remove(0, 5);
  const int at = t.indexOf(QLatin1Char('@'));
  if (at <= 0 || at != t.lastIndexOf(QLatin1Char('@')) || at == t.size() - 1) return String();
  for (QChar c : t)
    if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char(','))
      return String();
  return t;
}

}  // namespace

ULONG MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE session) {
  if (!session) return MAPI_E_FAILURE;
  std::lock_guard lock(mutex);
  *session = nextSession++;
  sessions.insert(*session);
  return SUCCESS_SUCCESS;
}

ULONG MAPILogoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
  std::lock_guard lock(mutex);
  return sessions.erase(session) ? SUCCESS_SUCCESS : MAPI_E_INVALID_SESSION;
}

String MailOutboxDir() { return ProfileDir() + QStringLiteral("/Outbox"); }

ULONG MAPISendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
  if (session != 0 && !sessionOpen(session)) return MAPI_E_INVALID_SESSION;
  if (!message) return MAPI_E_INVALID_MESSAGE;
  ULONG error = SUCCESS_SUCCESS;
  const QByteArray mime = mapidetail::BuildMimeMessage(*message, error);
  if (error != SUCCESS_SUCCESS) return error;

  const String dir = MailOutboxDir();
  if (!ForceDirectories(dir)) {
    qCDebug(lcMapi) << "the outbox" << dir << "cannot be made";
    return MAPI_E_FAILURE;
  }
  const String file = newOutboxFile(dir);
  if (!WriteFileAtomic(file, mime)) {
    qCDebug(lcMapi) << "the message" << file << "cannot be written";
    return MAPI_E_FAILURE;
  }

  TMailHandOff current;
  {
    std::lock_guard lock(mutex);
    current = handOff;
  }
  const ULONG result = current ? current(file, flags) : DesktopMailHandOff(file, flags);
  if (result != SUCCESS_SUCCESS) {
    qCDebug(lcMapi) << "the mail client did not take" << file << "- error" << result;
    DeleteFile(file);
  }
  return result;
}

ULONG DesktopMailHandOff(const String& emlFile, FLAGS) {
  const String opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty() || !QProcess::startDetached(opener, {emlFile}))
    qCDebug(lcMapi) << "no desktop opener started for" << emlFile;
  return SUCCESS_SUCCESS;
}

TMailHandOff SetMailHandOff(TMailHandOff newHandOff) {
  std::lock_guard lock(mutex);
  return std::exchange(handOff, std::move(newHandOff));
}

ULONG MAPIResolveName(LHANDLE session, ULONG_PTR, LPSTR name, FLAGS, ULONG, lpMapiRecipDesc* recipient) {
  if (!recipient) return MAPI_E_FAILURE;
  *recipient = nullptr;
  if (session != 0 && !sessionOpen(session)) return MAPI_E_INVALID_SESSION;
  const String text = FromAnsi(name).trimmed();
  const String address = mailAddressIn(text);
  if (address.isEmpty()) return MAPI_E_UNKNOWN_RECIPIENT;

  String display = text;
  const int open = display.lastIndexOf(QLatin1Char('<'));
  if (open > 0) display = display.left(open).trimmed();
  if (display.isEmpty() || open == 0) display = address;
  if (display.startsWith(QLatin1String("SMTP:"), Qt::CaseInsensitive)) display = address;

  // One block: the record, then the name, the address and the entry id.
  const QByteArray nameBytes = display.toUtf8();
  const QByteArray addressBytes = "SMTP:" + address.toUtf8();
  const QByteArray entryId = address.toUtf8();
  const std::size_t size = sizeof(MapiRecipDesc) + std::size_t(nameBytes.size()) + 1 +
                           std::size_t(addressBytes.size()) + 1 + std::size_t(entryId.size());
  char* block = new char[size]();
  auto* r = new (block) MapiRecipDesc();
  char* p = block + sizeof(MapiRecipDesc);
  r->ulRecipClass = MAPI_TO;
  r->lpszName = p;
  std::memcpy(p, nameBytes.constData(), std::size_t(nameBytes.size()));
  p += nameBytes.size() + 1;
  r->lpszAddress = p;
  std::memcpy(p, addressBytes.constData(), std::size_t(addressBytes.size()));
  p += addressBytes.size() + 1;
  r->ulEIDSize = ULONG(entryId.size());
  r->lpEntryID = p;
  std::memcpy(p, entryId.constData(), std::size_t(entryId.size()));
  {
    std::lock_guard lock(mutex);
    buffers.insert(block);
  }
  *recipient = r;
  return SUCCESS_SUCCESS;
}

ULONG MAPIFreeBuffer(LPVOID buffer) {
  if (!buffer) return SUCCESS_SUCCESS;
  {
    std::lock_guard lock(mutex);
    if (!buffers.erase(buffer)) return MAPI_E_FAILURE;
  }
  delete[] static_cast<char*>(buffer);
  return SUCCESS_SUCCESS;
}

int MapiLiveBuffers() {
  std::lock_guard lock(mutex);
  return int(buffers.size());
}

void InitializeMapi() {
  RegisterStandInModule(QStringLiteral("mapi32.dll"), {{"MAPILogon", StandInProc(&MAPILogon)},
                                                       {"MAPILogoff", StandInProc(&MAPILogoff)},
                                                       {"MAPISendMail", StandInProc(&MAPISendMail)},
                                                       {"MAPIResolveName", StandInProc(&MAPIResolveName)},
                                                       {"MAPIFreeBuffer", StandInProc(&MAPIFreeBuffer)}});
}
