// Writes a MapiMessage as a MIME message: the headers, a quoted-printable
// UTF-8 text part and the attachments in base64, as multipart/mixed when
// there are attachments.
#include "platform/mapi/MimeMessage.h"

#include <QDateTime>
#include <QFile>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>
#include <cctype>

namespace mapidetail {

namespace {

constexpr int kMaxLine = 76;
const QByteArray kCrLf = "\r\n";

bool isPlainAscii(const String& s) {
  for (QChar c : s)
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  return true;
}

// Header values lose line breaks and other control characters, so no text of
// the caller can add a header of its own.
String headerSafe(const String& s) {
  String out;
  out.reserve(s.size());
  for (QChar c : s) out += c.unicode() < 0x20 || c.unicode() == 0x7F ? QChar(' ') : c;
  return out.trimmed();
}

QByteArray quoted(const QByteArray& s) {
  QByteArray out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

// The longest run of text without a blank that stays plain in a header: a
// longer one could not be folded to the line length.
constexpr int kMaxPlainWord = kMaxLine - 20;

// Whether plain ASCII text has to go as encoded words all the same: a word
// too long to fold, or text a reader would take for an encoded word.
bool needsEncodedWords(const String& text) {
  if (!isPlainAscii(text) || text.contains(QLatin1String("=?"))) return true;
  const QStringList words = text.split(QLatin1Char(' '));
  return std::any_of(words.begin(), words.end(), [](const String& w) { return w.size() > kMaxPlainWord; });
}

// Text as RFC 2047 encoded words of at most 75 characters each, never
// splitting a character.
QByteArray encodedWords(const String& text) {
  constexpr int kMaxPayload = 39;  // base64 of 39 bytes is 52 characters
  QList<QByteArray> words;
  QByteArray chunk;
  for (int i = 0; i < text.size(); ++i) {
    int length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QByteArray bytes = text.mid(i, length).toUtf8();
    i += length - 1;
    if (chunk.size() + bytes.size() > kMaxPayload) {
      words << chunk;
      chunk.clear();
    }
    chunk += bytes;
  }
  if (!chunk.isEmpty()) words << chunk;
  QByteArray out;
  for (int i = 0; i < words.size(); ++i) {
    if (i) out += ' ';
    out += "=?UTF-8?B?" + words[i].toBase64() + "?=";
  }
  return out;
}

// Unstructured text (a subject) as it stands in a header.
QByteArray headerText(const String& text) {
  return needsEncodedWords(text) ? encodedWords(text) : text.toLatin1();
}

// The longest word a header line can hold after a fold, with room to spare.
constexpr int kMaxWord = 900;

// A display name as encoded words: one encoded word for each word of the
// name where it fits a line, since readers of address headers put a blank
// between adjacent encoded words. Blanks beyond the first between two words
// go into the encoded word after them.
QByteArray encodedPhrase(const String& name) {
  QStringList words;
  String pending;
  for (const String& part : name.split(QLatin1Char(' '))) {
    if (part.isEmpty()) {
      pending += QLatin1Char(' ');
      continue;
    }
    words << pending + part;
    pending.clear();
  }
  QList<QByteArray> out;
  for (const String& word : words) {
    const QByteArray utf8 = word.toUtf8();
    if ((utf8.size() + 2) / 3 * 4 + 12 <= kMaxWord)
      out << "=?UTF-8?B?" + utf8.toBase64() + "?=";
    else
      out << encodedWords(word);
  }
  return out.join(' ');
}

// A display name as a word, a quoted string or encoded words.
QByteArray encodeDisplayName(const String& name) {
  const QStringList words = name.split(QLatin1Char(' '));
  if (!isPlainAscii(name) || name.contains(QLatin1String("=?")) ||
      std::any_of(words.begin(), words.end(), [](const String& w) { return w.size() > kMaxWord - 2; }))
    return encodedPhrase(name);
  const QByteArray ascii = name.toLatin1();
  static const QByteArray specials = "()<>[]:;@\\,.\"";
  for (char c : ascii)
    if (specials.contains(c)) return quoted(ascii);
  return ascii;
}

// An address's local part or domain that is a dot-atom: atoms of letters,
// digits and the allowed signs, joined by single dots.
bool isDotAtom(const QByteArray& s) {
  static const QByteArray signs = "!#$%&'*+-/=?^_`{|}~";
  if (s.isEmpty() || s.startsWith('.') || s.endsWith('.') || s.contains("..")) return false;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || u >= 0x80 || c == '.' || signs.contains(c))) return false;
  }
  return true;
}

// The address as an addr-spec that reads back as this one address: a local
// part that is no dot-atom (a blank, a comma, a quote) becomes a quoted
// string, such a domain a domain literal. Text beyond ASCII stays UTF-8.
QByteArray addrSpec(const String& address) {
  const QByteArray utf8 = address.toUtf8();
  const qsizetype at = utf8.lastIndexOf('@');
  const QByteArray local = at < 0 ? utf8 : utf8.left(at);
  QByteArray out = isDotAtom(local) ? local : quoted(local);
  if (at < 0) return out;
  QByteArray domain = utf8.mid(at + 1);
  if (isDotAtom(domain)) return out + '@' + domain;
  if (domain.size() > 1 && domain.startsWith('[') && domain.endsWith(']'))
    domain = domain.mid(1, domain.size() - 2);
  QByteArray literal = "[";
  for (char c : domain) {
    if (c == '[' || c == ']' || c == '\\') literal += '\\';
    literal += c;
  }
  return out + '@' + literal + ']';
}

struct Address {
  String name;
  String address;
};

Address addressOf(const MapiRecipDesc& r) {
  Address a{headerSafe(FromAnsi(r.lpszName)), headerSafe(FromAnsi(r.lpszAddress))};
  if (a.address.startsWith(QLatin1String("SMTP:"), Qt::CaseInsensitive)) a.address.remove(0, 5);
  // "Name <a@b.c>" given as the name alone.
  if (a.address.isEmpty()) {
    const int open = a.name.lastIndexOf(QLatin1Char('<'));
    if (open >= 0 && a.name.endsWith(QLatin1Char('>'))) {
      a.address = a.name.mid(open + 1, a.name.size() - open - 2).trimmed();
      a.name = a.name.left(open).trimmed();
    } else {
      a.address = a.name;
    }
  }
  if (a.name == a.address) a.name.clear();
  return a;
}

QByteArray formatAddress(const Address& a) {
  const QByteArray addr = addrSpec(a.address);
  if (a.name.isEmpty()) return addr;
  return encodeDisplayName(a.name) + " <" + addr + '>';
}

// "Name: value" with the items joined by `separator` and a blank, folded
// at blanks so that lines stay within the limit. A fold never comes right
// after the colon or before a line that would hold only blanks.
QByteArray foldedHeader(const QByteArray& name, const QList<QByteArray>& items, const QByteArray& separator) {
  QList<QByteArray> words;
  for (int i = 0; i < items.size(); ++i) {
    QList<QByteArray> parts = items[i].split(' ');
    if (i + 1 < items.size()) parts.last() += separator;
    words += parts;
  }
  QByteArray out = name + ':';
  int lineLength = int(out.size());
  bool lineHasText = false;
  for (const QByteArray& word : words) {
    if (lineHasText && !word.isEmpty() && lineLength + 1 + word.size() > kMaxLine) {
      out += kCrLf;
      lineLength = 0;
      lineHasText = false;
    }
    out += ' ' + word;
    lineLength += 1 + int(word.size());
    lineHasText |= !word.isEmpty();
  }
  return out + kCrLf;
}

QByteArray header(const QByteArray& name, const QByteArray& value) {
  return foldedHeader(name, {value}, QByteArray());
}

// Whether every word of the items fits on a line of its own (998 octets).
bool foldable(const QList<QByteArray>& items) {
  for (const QByteArray& item : items)
    for (const QByteArray& word : item.split(' '))
      if (word.size() > kMaxWord) return false;
  return true;
}

QByteArray base64Lines(const QByteArray& data) {
  const QByteArray b64 = data.toBase64();
  QByteArray out;
  out.reserve(b64.size() + b64.size() / kMaxLine * 2 + 2);
  for (int i = 0; i < b64.size(); i += kMaxLine) out += b64.mid(i, kMaxLine) + kCrLf;
  return out;
}

// A file name parameter, one piece a line: filename="..." for ASCII names,
// RFC 2231 filename*=UTF-8''... for others, cut into numbered pieces
// (filename*0*=, filename*1*=, ...) when it would make a long line.
QByteArray fileNameParameter(const char* parameter, const String& name) {
  constexpr int kPiece = 48;
  const bool ascii = isPlainAscii(name);
  const QByteArray value =
      ascii ? name.toLatin1() : name.toUtf8().toPercentEncoding(QByteArray(), QByteArray(), '%');
  auto piece = [&](const QByteArray& key, bool first, const QByteArray& text) {
    if (ascii) return key + '=' + quoted(text);
    return key + "*=" + (first ? QByteArray("UTF-8''") : QByteArray()) + text;
  };
  if (value.size() <= kPiece) return piece(parameter, true, value);
  QList<QByteArray> pieces;
  for (int at = 0, n = 0; at < value.size(); ++n) {
    int length = std::min<int>(kPiece, int(value.size()) - at);
    // Percent escapes stay whole.
    while (!ascii && length < value.size() - at && length > 2 &&
           (value[at + length - 1] == '%' || value[at + length - 2] == '%'))
      --length;
    pieces << piece(QByteArray(parameter) + '*' + QByteArray::number(n), at == 0, value.mid(at, length));
    at += length;
  }
  return pieces.join(";" + kCrLf + ' ');
}

String contentTypeOf(const String& fileName) {
  static const QMimeDatabase db;
  const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
  return type.isValid() && !type.isDefault() ? type.name() : QStringLiteral("application/octet-stream");
}

QByteArray normalizedLines(const String& text) {
  String t = text;
  t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t.toUtf8();
}

}  // namespace

String FromAnsi(const char* text) {
  if (!text) return String();
  const QByteArray bytes(text);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const String decoded = utf8(bytes);
  return utf8.hasError() ? String::fromLatin1(bytes) : decoded;
}

QByteArray EncodeQuotedPrintable(const QByteArray& text) {
  static const char hex[] = "0123456789ABCDEF";
  QByteArray out;
  const QList<QByteArray> lines = text.split('\n');
  for (int l = 0; l < lines.size(); ++l) {
    const QByteArray& line = lines[l];
    int lineLength = 0;
    for (int i = 0; i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      const bool last = i + 1 == line.size();
      QByteArray piece;
      if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
        piece = QByteArray(1, char(c));
      else
        piece = QByteArray("=") + hex[c >> 4] + hex[c & 15];
      // A soft break ("=" at the end) keeps every line within the limit.
      if (lineLength + piece.size() > kMaxLine - 1) {
        out += "=" + kCrLf;
        lineLength = 0;
      }
      out += piece;
      lineLength += piece.size();
    }
    if (l + 1 < lines.size()) out += kCrLf;
  }
  return out;
}

QByteArray EncodeHeaderText(const String& text) {
  return isPlainAscii(text) ? text.toLatin1() : encodedWords(text);
}

QByteArray BuildMimeMessage(const MapiMessage& message, ULONG& error) {
  error = SUCCESS_SUCCESS;

  // The attachments first: a missing file stops the send before anything
  // is written.
  struct Attachment {
    String name;
    QByteArray data;
  };
  std::vector<Attachment> attachments;
  if (message.nFileCount && !message.lpFiles) {
    error = MAPI_E_INVALID_MESSAGE;
    return {};
  }
  for (ULONG i = 0; i < message.nFileCount; ++i) {
    const MapiFileDesc& f = message.lpFiles[i];
    const String path = NormalizePath(FromAnsi(f.lpszPathName));
    if (path.isEmpty() || !FileExists(path)) {
      error = MAPI_E_ATTACHMENT_NOT_FOUND;
      return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      error = MAPI_E_ATTACHMENT_OPEN_FAILURE;
      return {};
    }
    String name = headerSafe(FromAnsi(f.lpszFileName));
    if (name.isEmpty()) name = ExtractFileName(path);
    attachments.push_back({name, file.readAll()});
  }

  QList<QByteArray> to, cc, bcc;
  if (message.nRecipCount && !message.lpRecips) {
    error = MAPI_E_INVALID_RECIPS;
    return {};
  }
  for (ULONG i = 0; i < message.nRecipCount; ++i) {
    const MapiRecipDesc& r = message.lpRecips[i];
    const Address a = addressOf(r);
    // A recipient without name or address is nobody to send to.
    const bool empty = a.address.isEmpty();
    switch (r.ulRecipClass) {
      case MAPI_TO:
        if (!empty) to << formatAddress(a);
        break;
      case MAPI_CC:
        if (!empty) cc << formatAddress(a);
        break;
      case MAPI_BCC:
        if (!empty) bcc << formatAddress(a);
        break;
      default: error = MAPI_E_BAD_RECIPTYPE; return {};
    }
  }

  Address from;
  if (message.lpOriginator) from = addressOf(*message.lpOriginator);
  const QByteArray fromText = from.address.isEmpty() ? QByteArray() : formatAddress(from);
  // An address no fold can bring within the line limit cannot be written.
  if (!foldable(to) || !foldable(cc) || !foldable(bcc) || !foldable({fromText})) {
    error = MAPI_E_INVALID_RECIPS;
    return {};
  }

  QByteArray out;
  String host = QSysInfo::machineHostName();
  if (host.isEmpty()) host = QStringLiteral("localhost");
  out += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@' +
         host.toUtf8() + '>' + kCrLf;
  out += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + kCrLf;
  if (!fromText.isEmpty()) out += foldedHeader("From", {fromText}, ",");
  if (!to.isEmpty()) out += foldedHeader("To", to, ",");
  if (!cc.isEmpty()) out += foldedHeader("Cc", cc, ",");
  // A draft for the mail client, which takes the blind copies from here and
  // leaves them out of what it sends.
  if (!bcc.isEmpty()) out += foldedHeader("Bcc", bcc, ",");
  const String subject = headerSafe(FromAnsi(message.lpszSubject));
  if (!subject.isEmpty()) out += header("Subject", headerText(subject));
  if ((message.flFlags & MAPI_RECEIPT_REQUESTED) && !fromText.isEmpty())
    out += foldedHeader("Disposition-Notification-To", {fromText}, ",");
  out += "MIME-Version: 1.0" + kCrLf;
  out += "X-Mailer: Noctivane" + kCrLf;
  // Mail clients open a message marked this way as one to be sent.
  out += "X-Unsent: 1" + kCrLf;

  const QByteArray textHeaders = "Content-Type: text/plain; charset=UTF-8" + kCrLf +
                                 "Content-Transfer-Encoding: quoted-printable" + kCrLf;
  const QByteArray body = EncodeQuotedPrintable(normalizedLines(FromAnsi(message.lpszNoteText)));
  if (attachments.empty()) {
    out += textHeaders + kCrLf + body + kCrLf;
    return out;
  }

  // "=_" never occurs in quoted-printable or base64 text.
  const QByteArray boundary =
      "----=_Part_" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
  out += "Content-Type: multipart/mixed; boundary=\"" + boundary + '"' + kCrLf + kCrLf;
  out += "This is a multi-part message in MIME format." + kCrLf;
  out += "--" + boundary + kCrLf + textHeaders + kCrLf + body + kCrLf;
  for (const Attachment& a : attachments) {
    out += "--" + boundary + kCrLf;
    out += "Content-Type: " + contentTypeOf(a.name).toLatin1() + ';' + kCrLf + ' ' +
           fileNameParameter("name", a.name) + kCrLf;
    out += "Content-Transfer-Encoding: base64" + kCrLf;
    out += "Content-Disposition: attachment;" + kCrLf + ' ' + fileNameParameter("filename", a.name) + kCrLf;
    out += kCrLf + base64Lines(a.data);
  }
  out += "--" + boundary + "--" + kCrLf;
  return out;
}

}  // namespace mapidetail
