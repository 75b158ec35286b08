// Mail messages of any text: one line of the input per field
//   S subject          B a line of the body     O originator name|address
//   T, C, X a To, Cc or Bcc recipient name|address
//   A an attachment shown name|content
// and the written message keeps the rules of the format: CR LF line ends,
// lines of at most 998 characters, headers without control characters whose
// lines all hold something.
#include "platform/mapi/MimeMessage.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QFile>

#include <deque>
#include <vector>

using fuzzsupport::Check;

namespace {

void CheckMessage(const QByteArray& eml) {
  Check(eml.endsWith("\r\n"), "the message ends with a line end");
  bool inHeaders = true;
  for (qsizetype at = 0, end = 0; at < eml.size(); at = end + 2) {
    end = eml.indexOf("\r\n", at);
    const QByteArray line = eml.mid(at, end - at);
    Check(!line.contains('\r') && !line.contains('\n'), "lines end in CR LF",
          QString::fromLatin1(line.left(100)));
    Check(line.size() <= 998, "a line holds at most 998 characters", QString::fromLatin1(line.left(100)));
    if (!inHeaders) continue;
    if (line.isEmpty()) {
      inHeaders = false;
      continue;
    }
    // Addresses beyond ASCII stay UTF-8, as internationalized mail has them.
    for (char c : line)
      Check(c == '\t' || (c >= 0x20 && c != 0x7F) || (c & 0x80), "headers hold no control characters",
            QString::fromLatin1(line));
    if (line[0] == ' ' || line[0] == '\t') {
      Check(!line.trimmed().isEmpty(), "a folded line holds something");
    } else {
      const qsizetype colon = line.indexOf(':');
      Check(colon > 0, "a header has a name", QString::fromLatin1(line));
      Check(!line.mid(colon + 1).trimmed().isEmpty(), "a header's first line holds its value",
            QString::fromLatin1(line));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
  // Stable storage for the 8-bit strings the message points at.
  std::deque<QByteArray> strings;
  auto keep = [&](const QByteArray& s) { return strings.emplace_back(s).data(); };
  QByteArray subject, body;
  bool hasSubject = false;
  std::vector<MapiRecipDesc> recipients;
  std::vector<MapiFileDesc> files;
  MapiRecipDesc originator;
  bool hasOriginator = false;
  int attachment = 0;
  for (const QByteArray& line : input.split('\n')) {
    if (line.size() < 2 || line[1] != ' ') continue;
    const QByteArray text = line.mid(2);
    const qsizetype bar = text.indexOf('|');
    const QByteArray first = bar < 0 ? text : text.left(bar);
    const QByteArray second = bar < 0 ? QByteArray() : text.mid(bar + 1);
    switch (line[0]) {
      case 'S':
        subject = text;
        hasSubject = true;
        break;
      case 'B': body += text + '\n'; break;
      case 'O':
        originator.lpszName = keep(first);
        originator.lpszAddress = bar < 0 ? nullptr : keep(second);
        hasOriginator = true;
        break;
      case 'T':
      case 'C':
      case 'X': {
        MapiRecipDesc r;
        r.ulRecipClass = line[0] == 'T' ? MAPI_TO : line[0] == 'C' ? MAPI_CC : MAPI_BCC;
        r.lpszName = keep(first);
        r.lpszAddress = bar < 0 ? nullptr : keep(second);
        recipients.push_back(r);
        break;
      }
      case 'A': {
        const String path = fuzzsupport::ProfileDir() + QStringLiteral("/attachment%1").arg(attachment++);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(second);
        f.close();
        MapiFileDesc file;
        file.nPosition = 0xFFFFFFFF;
        file.lpszPathName = keep(path.toUtf8());
        file.lpszFileName = first.isEmpty() ? nullptr : keep(first);
        files.push_back(file);
        break;
      }
      default: break;
    }
  }
  MapiMessage m;
  m.lpszSubject = hasSubject ? keep(subject) : nullptr;
  m.lpszNoteText = keep(body);
  m.lpOriginator = hasOriginator ? &originator : nullptr;
  m.nRecipCount = ULONG(recipients.size());
  m.lpRecips = recipients.empty() ? nullptr : recipients.data();
  m.nFileCount = ULONG(files.size());
  m.lpFiles = files.empty() ? nullptr : files.data();
  m.flFlags = MAPI_RECEIPT_REQUESTED;
  ULONG error = 0;
  const QByteArray eml = mapidetail::BuildMimeMessage(m, error);
  // Only an address too long for any line may stop it.
  if (error == MAPI_E_INVALID_RECIPS) return 0;
  Check(error == SUCCESS_SUCCESS, "a message of readable files is written");
  CheckMessage(eml);
  return 0;
}
