#include "platform/mapi/Mapi.h"

#include "platform/mapi/MimeMessage.h"
#include "platform/rtl/Folders.h"
#include "platform/winapi/Modules.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <vector>

namespace {

// Records the hand-offs of a test and answers with `answer`.
class HandOffRecorder {
 public:
  explicit HandOffRecorder(ULONG answer = SUCCESS_SUCCESS) {
    previous_ = SetMailHandOff([this, answer](const String& file, FLAGS flags) {
      files.push_back(file);
      flagsSeen.push_back(flags);
      existedAtHandOff.push_back(QFileInfo::exists(file));
      return answer;
    });
  }
  ~HandOffRecorder() { SetMailHandOff(previous_); }
  std::vector<String> files;
  std::vector<FLAGS> flagsSeen;
  std::vector<bool> existedAtHandOff;

 private:
  TMailHandOff previous_;
};

QStringList outboxFiles() { return QDir(MailOutboxDir()).entryList(QDir::Files); }

String tempFile(const String& name, const QByteArray& bytes) {
  const String path = testsupport::profileDir() + "/mail-attachments/" + name;
  EXPECT_TRUE(testsupport::writeFile(path, bytes));
  return path;
}

// Parses a message with Python's own mail parser and answers its view of it.
QJsonObject parseWithPython(const String& emlFile) {
  const char* script = R"PY(
import sys, json, email
from email import policy
msg = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)
out = {h: str(msg[h]) for h in ('From', 'To', 'Cc', 'Bcc', 'Subject', 'MIME-Version',
                                'Disposition-Notification-To', 'Date') if msg[h] is not None}
out['defects'] = [type(d).__name__ for d in msg.defects]
body = msg.get_body(preferencelist=('plain',))
out['body'] = body.get_content() if body is not None else None
out['body_charset'] = body.get_content_charset() if body is not None else None
out['attachments'] = [{'name': a.get_filename(), 'type': a.get_content_type(),
                       'hex': a.get_payload(decode=True).hex()} for a in msg.iter_attachments()]
out['multipart'] = msg.is_multipart()
out['long_lines'] = [l.decode('latin-1') for l in open(sys.argv[1], 'rb').read().split(b'\r\n') if len(l) > 78]
out['bare_lf'] = b'\n' in open(sys.argv[1], 'rb').read().replace(b'\r\n', b'')
print(json.dumps(out))
)PY";
  QProcess p;
  p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(script), emlFile});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) {
    ADD_FAILURE() << "python3 failed: " << p.readAllStandardError().toStdString();
    return {};
  }
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

bool havePython() { return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty(); }

QByteArray allBytes() {
  QByteArray b;
  for (int i = 0; i < 256; ++i) b += char(i);
  return b.repeated(5);
}

}  // namespace

TEST(Mapi, SendBuildsAMessageThatAMimeParserReadsBack) {
  if (!havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  const QByteArray binary = allBytes();
  const QByteArray html = "<html><body>Caf\xc3\xa9</body></html>\n";
  const String binPath = tempFile("data.bin", binary);
  const String htmlPath = tempFile("Site.html", html);

  QByteArray aliceName = "Alice \xc3\x84ngstr\xc3\xb6m";
  QByteArray aliceAddress = "SMTP:alice@example.com";
  QByteArray bob = "bob@example.org";
  QByteArray carol = "carol@example.net";
  QByteArray me = "Me Myself";
  QByteArray myAddress = "me@example.com";
  MapiRecipDesc recips[3];
  recips[0].ulRecipClass = MAPI_TO;
  recips[0].lpszName = aliceName.data();
  recips[0].lpszAddress = aliceAddress.data();
  recips[1].ulRecipClass = MAPI_CC;
  recips[1].lpszName = bob.data();
  recips[1].lpszAddress = bob.data();
  recips[2].ulRecipClass = MAPI_BCC;
  recips[2].lpszName = carol.data();
  MapiRecipDesc originator;
  originator.ulRecipClass = MAPI_ORIG;
  originator.lpszName = me.data();
  originator.lpszAddress = myAddress.data();

  // Long enough to be cut into numbered pieces of the parameter.
  QByteArray shownName = "R\xc3\xa9sum\xc3\xa9 of the quarterly figures for the sales department data.bin";
  MapiFileDesc files[2];
  files[0].nPosition = 0xFFFFFFFF;
  QByteArray binPathBytes = binPath.toUtf8(), htmlPathBytes = htmlPath.toUtf8();
  files[0].lpszPathName = binPathBytes.data();
  files[0].lpszFileName = shownName.data();
  files[1].nPosition = 0xFFFFFFFF;
  files[1].lpszPathName = htmlPathBytes.data();

  // A long line, trailing blanks, "=" signs, non-ASCII text, CR LF and LF.
  const String bodyText = "First line = one\r\nSecond line ends in blanks   \n" +
                          String("long ").repeated(40) +
                          "\n\xc3\xbc"
                          "ber caf\xc3\xa9 \xe2\x82\xac\n";
  QByteArray body = bodyText.toUtf8();
  QByteArray subject =
      "Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f"
      "e \xe2\x80\x93 a subject long enough to need folding "
      "across more than one header line";
  MapiMessage m;
  m.lpszSubject = subject.data();
  m.lpszNoteText = body.data();
  m.lpOriginator = &originator;
  m.nRecipCount = 3;
  m.lpRecips = recips;
  m.nFileCount = 2;
  m.lpFiles = files;
  m.flFlags = MAPI_RECEIPT_REQUESTED;

  HandOffRecorder handOff;
  const QStringList before = outboxFiles();
  ASSERT_EQ(MAPISendMail(0, 0, &m, MAPI_LOGON_UI | MAPI_DIALOG, 0), SUCCESS_SUCCESS);

  // Handed off once, as a file of the Outbox that exists at that moment.
  ASSERT_EQ(handOff.files.size(), 1u);
  EXPECT_EQ(handOff.flagsSeen[0], MAPI_LOGON_UI | MAPI_DIALOG);
  EXPECT_TRUE(handOff.existedAtHandOff[0]);
  EXPECT_EQ(ExtractFileDir(handOff.files[0]), MailOutboxDir());
  EXPECT_TRUE(handOff.files[0].endsWith(".eml"));
  EXPECT_EQ(outboxFiles().size(), before.size() + 1);

  const QJsonObject parsed = parseWithPython(handOff.files[0]);
  ASSERT_FALSE(parsed.isEmpty());
  EXPECT_EQ(parsed["defects"].toArray().size(), 0);
  EXPECT_EQ(parsed["To"].toString(), QString::fromUtf8(aliceName) + " <alice@example.com>");
  EXPECT_EQ(parsed["Cc"].toString(), "bob@example.org");
  EXPECT_EQ(parsed["Bcc"].toString(), "carol@example.net");
  EXPECT_EQ(parsed["From"].toString(), "Me Myself <me@example.com>");
  EXPECT_EQ(parsed["Disposition-Notification-To"].toString(), "Me Myself <me@example.com>");
  EXPECT_EQ(parsed["Subject"].toString(), QString::fromUtf8(subject));
  EXPECT_EQ(parsed["MIME-Version"].toString(), "1.0");
  EXPECT_FALSE(parsed["Date"].toString().isEmpty());
  EXPECT_TRUE(parsed["multipart"].toBool());
  EXPECT_EQ(parsed["body_charset"].toString(), "utf-8");
  String expectedBody = bodyText;
  expectedBody.replace("\r\n", "\n");
  EXPECT_EQ(parsed["body"].toString(), expectedBody);

  const QJsonArray attachments = parsed["attachments"].toArray();
  ASSERT_EQ(attachments.size(), 2);
  EXPECT_EQ(attachments[0]["name"].toString(), QString::fromUtf8(shownName));
  EXPECT_EQ(attachments[0]["hex"].toString().toLatin1(), binary.toHex());
  EXPECT_EQ(attachments[1]["name"].toString(), "Site.html");
  EXPECT_EQ(attachments[1]["type"].toString(), "text/html");
  EXPECT_EQ(attachments[1]["hex"].toString().toLatin1(), html.toHex());

  // Lines stay within the limit and end in CR LF.
  EXPECT_TRUE(parsed["long_lines"].toArray().isEmpty())
      << QJsonDocument(parsed["long_lines"].toArray()).toJson().toStdString();
  EXPECT_FALSE(parsed["bare_lf"].toBool());
}

TEST(Mapi, MessageWithoutAttachmentsIsOneTextPartAndHeadersCannotBeInjected) {
  if (!havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  QByteArray subject = "Hello\r\nBcc: intruder@example.com";
  QByteArray note = "Just text";
  QByteArray to = "someone@example.com";
  MapiRecipDesc r;
  r.ulRecipClass = MAPI_TO;
  r.lpszAddress = to.data();
  MapiMessage m;
  m.lpszSubject = subject.data();
  m.lpszNoteText = note.data();
  m.nRecipCount = 1;
  m.lpRecips = &r;
  HandOffRecorder handOff;
  ASSERT_EQ(MAPISendMail(0, 0, &m, 0, 0), SUCCESS_SUCCESS);
  ASSERT_EQ(handOff.files.size(), 1u);
  const QJsonObject parsed = parseWithPython(handOff.files[0]);
  EXPECT_FALSE(parsed["multipart"].toBool());
  EXPECT_FALSE(parsed.contains("Bcc"));
  EXPECT_FALSE(parsed.contains("From"));
  EXPECT_EQ(parsed["Subject"].toString(), "Hello  Bcc: intruder@example.com");
  EXPECT_EQ(parsed["To"].toString(), "someone@example.com");
  EXPECT_EQ(parsed["body"].toString(), "Just text\n");
}

// Python's view of the recipients: one "name|user|domain" per address, and
// every defect the parser found in a header.
QJsonObject recipientsWithPython(const String& emlFile) {
  const char* script = R"PY(
import sys, json, email
from email import policy
data = open(sys.argv[1], 'rb').read()
msg = email.message_from_bytes(data, policy=policy.default)
out = {}
for h in ('To', 'Cc', 'Bcc'):
    if msg[h] is not None:
        out[h] = ['%s|%s|%s' % (a.display_name, a.username, a.domain) for a in msg[h].addresses]
        out.setdefault('defects', []).extend(type(d).__name__ for d in msg[h].defects)
out['Subject'] = str(msg['Subject'])
out['headers'] = list(msg.keys())
out['defects'] = out.get('defects', []) + [type(d).__name__ for d in msg.defects]
out['attachments'] = [a.get_filename() for a in msg.iter_attachments()]
out['longest'] = max(len(l) for l in data.split(b'\r\n'))
out['long_lines'] = len([l for l in data.split(b'\r\n') if len(l) > 78])
out['blank_fold'] = any(l.strip() == b'' and l != b'' for l in data.split(b'\r\n\r\n')[0].split(b'\r\n'))
out['bare_colon'] = [l.decode() for l in data.split(b'\r\n\r\n')[0].split(b'\r\n') if l.endswith(b':')]
print(json.dumps(out))
)PY";
  QProcess p;
  p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(script), emlFile});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) {
    ADD_FAILURE() << "python3 failed: " << p.readAllStandardError().toStdString();
    return {};
  }
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QStringList strings(const QJsonValue& v) {
  QStringList out;
  for (const QJsonValue& item : v.toArray()) out << item.toString();
  return out;
}

TEST(Mapi, AwkwardHeadersStayValidAndReadBackAsGiven) {
  if (!havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  const QByteArray longName = QByteArray("\xc3\x84").repeated(150) + " Smith";
  struct Recipient {
    ULONG cls;
    QByteArray name, address;
  };
  std::vector<Recipient> given = {
      {MAPI_TO, "Doe, John", "john@example.com"},
      {MAPI_TO, "", "a,b@example.com"},         // a comma in the address itself
      {MAPI_TO, longName, "long@example.com"},  // one long encoded display name
      {MAPI_CC, "", ""},                        // nobody: no empty Cc
      {MAPI_BCC, "", "odd \"name\"@example.org"},
      {MAPI_BCC, "Two  blanks \xc3\xa9", "two@example.org"},
      {MAPI_BCC, QByteArray(120, 'n'), "n@example.org"},
  };
  std::vector<MapiRecipDesc> recips(given.size());
  for (size_t i = 0; i < given.size(); ++i) {
    recips[i].ulRecipClass = given[i].cls;
    recips[i].lpszName = given[i].name.data();
    recips[i].lpszAddress = given[i].address.data();
  }
  const String attachment = tempFile("report.txt", "figures");
  QByteArray attachmentPath = attachment.toUtf8();
  MapiFileDesc file;
  file.lpszPathName = attachmentPath.data();
  file.nPosition = 0xFFFFFFFF;

  const QList<QByteArray> subjects = {
      "=?UTF-8?B?SGVsbG8=?=",                            // looks like an encoded word
      QByteArray(1200, 'x'),                             // no blank to fold at
      "Re: " + QByteArray(100, 'y') + " and more text",  // one long word among short ones
  };
  for (const QByteArray& subjectText : subjects) {
    QByteArray subject = subjectText;
    MapiMessage m;
    m.lpszSubject = subject.data();
    m.nRecipCount = ULONG(recips.size());
    m.lpRecips = recips.data();
    m.nFileCount = 1;
    m.lpFiles = &file;
    HandOffRecorder handOff;
    ASSERT_EQ(MAPISendMail(0, 0, &m, 0, 0), SUCCESS_SUCCESS);
    ASSERT_EQ(handOff.files.size(), 1u);
    const QJsonObject parsed = recipientsWithPython(handOff.files[0]);
    ASSERT_FALSE(parsed.isEmpty());
    EXPECT_EQ(strings(parsed["defects"]), QStringList());
    EXPECT_EQ(parsed["Subject"].toString(), QString::fromUtf8(subjectText));
    EXPECT_EQ(strings(parsed["To"]), (QStringList{"Doe, John|john|example.com", "|a,b|example.com",
                                                  QString::fromUtf8(longName) + "|long|example.com"}));
    EXPECT_FALSE(strings(parsed["headers"]).contains("Cc"));
    EXPECT_EQ(strings(parsed["Bcc"]), (QStringList{"|odd \"name\"|example.org",
                                                   QString::fromUtf8("Two  blanks \xc3\xa9|two|example.org"),
                                                   QString(120, 'n') + "|n|example.org"}));
    EXPECT_EQ(strings(parsed["attachments"]), QStringList{"report.txt"});
    // The two long names stay whole words (readers would split them
    // otherwise); every other line keeps to 78 characters.
    EXPECT_LE(parsed["longest"].toInt(), 998) << subjectText.left(40).toStdString();
    EXPECT_EQ(parsed["long_lines"].toInt(), 2) << subjectText.left(40).toStdString();
    EXPECT_FALSE(parsed["blank_fold"].toBool());
    EXPECT_EQ(strings(parsed["bare_colon"]), QStringList());
  }
}

TEST(Mapi, AnAddressNoFoldCanShortenIsRefused) {
  QByteArray address = QByteArray(1000, 'a') + "@example.com";
  MapiRecipDesc r;
  r.ulRecipClass = MAPI_TO;
  r.lpszAddress = address.data();
  MapiMessage m;
  m.nRecipCount = 1;
  m.lpRecips = &r;
  HandOffRecorder handOff;
  EXPECT_EQ(MAPISendMail(0, 0, &m, 0, 0), MAPI_E_INVALID_RECIPS);
  EXPECT_TRUE(handOff.files.empty());
}

TEST(Mapi, MissingAttachmentWritesNothingAndHandsNothingOff) {
  const String present = tempFile("present.txt", "x");
  QByteArray presentBytes = present.toUtf8();
  QByteArray missing = (testsupport::profileDir() + "/mail-attachments/missing.txt").toUtf8();
  MapiFileDesc files[2];
  files[0].lpszPathName = presentBytes.data();
  files[1].lpszPathName = missing.data();
  MapiMessage m;
  m.nFileCount = 2;
  m.lpFiles = files;
  HandOffRecorder handOff;
  const QStringList before = outboxFiles();
  EXPECT_EQ(MAPISendMail(0, 0, &m, MAPI_DIALOG, 0), MAPI_E_ATTACHMENT_NOT_FOUND);
  EXPECT_TRUE(handOff.files.empty());
  EXPECT_EQ(outboxFiles(), before);

  files[1].lpszPathName = nullptr;
  EXPECT_EQ(MAPISendMail(0, 0, &m, MAPI_DIALOG, 0), MAPI_E_ATTACHMENT_NOT_FOUND);
  // A folder is no attachment either.
  QByteArray folder = testsupport::profileDir().toUtf8();
  files[1].lpszPathName = folder.data();
  EXPECT_EQ(MAPISendMail(0, 0, &m, MAPI_DIALOG, 0), MAPI_E_ATTACHMENT_NOT_FOUND);
  EXPECT_TRUE(handOff.files.empty());
}

TEST(Mapi, UnwritableOutboxIsAGeneralFailure) {
  // A file where the Outbox folder should be.
  const String outbox = MailOutboxDir();
  const String aside = outbox + ".aside";
  if (QFileInfo::exists(outbox)) {
    ASSERT_TRUE(QDir().rename(outbox, aside));
  }
  ASSERT_TRUE(testsupport::writeFile(outbox, "not a folder"));
  HandOffRecorder handOff;
  MapiMessage m;
  EXPECT_EQ(MAPISendMail(0, 0, &m, 0, 0), MAPI_E_FAILURE);
  EXPECT_TRUE(handOff.files.empty());
  ASSERT_TRUE(QFile::remove(outbox));
  if (QFileInfo::exists(aside)) {
    ASSERT_TRUE(QDir().rename(aside, outbox));
  }
  EXPECT_EQ(MAPISendMail(0, 0, &m, 0, 0), SUCCESS_SUCCESS);
}

TEST(Mapi, HandOffAnswerIsTheResultAndAFailedOneLeavesNoMessage) {
  MapiMessage m;
  const QStringList before = outboxFiles();
  {
    HandOffRecorder cancelled(MAPI_E_USER_ABORT);
    EXPECT_EQ(MAPISendMail(0, 0, &m, MAPI_DIALOG, 0), MAPI_E_USER_ABORT);
    ASSERT_EQ(cancelled.files.size(), 1u);
    EXPECT_TRUE(cancelled.existedAtHandOff[0]);
  }
  {
    HandOffRecorder failing(MAPI_E_FAILURE);
    EXPECT_EQ(MAPISendMail(0, 0, &m, MAPI_DIALOG, 0), MAPI_E_FAILURE);
  }
  EXPECT_EQ(outboxFiles(), before);
}

TEST(Mapi, BadArgumentsAreRefused) {
  HandOffRecorder handOff;
  EXPECT_EQ(MAPISendMail(0, 0, nullptr, 0, 0), MAPI_E_INVALID_MESSAGE);
  MapiRecipDesc r;
  r.ulRecipClass = 7;
  MapiMessage m;
  m.nRecipCount = 1;
  m.lpRecips = &r;
  EXPECT_EQ(MAPISendMail(0, 0, &m, 0, 0), MAPI_E_BAD_RECIPTYPE);
  m.lpRecips = nullptr;
  EXPECT_EQ(MAPISendMail(0, 0, &m, 0, 0), MAPI_E_INVALID_RECIPS);
  MapiMessage ok;
  EXPECT_EQ(MAPISendMail(12345, 0, &ok, 0, 0), MAPI_E_INVALID_SESSION);
  EXPECT_TRUE(handOff.files.empty());
}

TEST(Mapi, SessionsOpenAndClose) {
  LHANDLE a = 0, b = 0;
  ASSERT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_NEW_SESSION, 0, &a), SUCCESS_SUCCESS);
  ASSERT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_NEW_SESSION, 0, &b), SUCCESS_SUCCESS);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  HandOffRecorder handOff;
  MapiMessage m;
  EXPECT_EQ(MAPISendMail(a, 0, &m, 0, 0), SUCCESS_SUCCESS);
  EXPECT_EQ(MAPILogoff(a, 0, 0, 0), SUCCESS_SUCCESS);
  EXPECT_EQ(MAPILogoff(a, 0, 0, 0), MAPI_E_INVALID_SESSION);
  EXPECT_EQ(MAPISendMail(a, 0, &m, 0, 0), MAPI_E_INVALID_SESSION);
  EXPECT_EQ(MAPILogoff(b, 0, 0, 0), SUCCESS_SUCCESS);
}

TEST(Mapi, ResolveNameFindsAddressesAndItsBufferIsFreed) {
  const int live = MapiLiveBuffers();
  lpMapiRecipDesc r = nullptr;
  char named[] = "Ann Example <ann@example.com>";
  ASSERT_EQ(MAPIResolveName(0, 0, named, 0, 0, &r), SUCCESS_SUCCESS);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ulRecipClass, MAPI_TO);
  EXPECT_STREQ(r->lpszName, "Ann Example");
  EXPECT_STREQ(r->lpszAddress, "SMTP:ann@example.com");
  EXPECT_EQ(QByteArray(static_cast<const char*>(r->lpEntryID), int(r->ulEIDSize)), "ann@example.com");
  EXPECT_EQ(MapiLiveBuffers(), live + 1);
  EXPECT_EQ(MAPIFreeBuffer(r), SUCCESS_SUCCESS);
  EXPECT_EQ(MapiLiveBuffers(), live);
  EXPECT_EQ(MAPIFreeBuffer(r), MAPI_E_FAILURE);  // not twice
  EXPECT_EQ(MAPIFreeBuffer(nullptr), SUCCESS_SUCCESS);

  char bare[] = "SMTP:bob@example.org";
  ASSERT_EQ(MAPIResolveName(0, 0, bare, 0, 0, &r), SUCCESS_SUCCESS);
  EXPECT_STREQ(r->lpszName, "bob@example.org");
  EXPECT_STREQ(r->lpszAddress, "SMTP:bob@example.org");
  MAPIFreeBuffer(r);

  for (const char* unknown : {"r1", "", "two@at@example.com", "a b@example.com", "@example.com"}) {
    QByteArray name(unknown);
    r = reinterpret_cast<lpMapiRecipDesc>(1);
    EXPECT_EQ(MAPIResolveName(0, 0, name.data(), 0, 0, &r), MAPI_E_UNKNOWN_RECIPIENT) << unknown;
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(MAPIResolveName(0, 0, name.data(), MAPI_DIALOG, 0, &r), MAPI_E_UNKNOWN_RECIPIENT);
  }
  EXPECT_EQ(MapiLiveBuffers(), live);
}

TEST(Mapi, EightBitTextIsUtf8OrLatin1) {
  EXPECT_EQ(mapidetail::FromAnsi("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(mapidetail::FromAnsi("caf\xe9"), QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(mapidetail::FromAnsi(nullptr), QString());
}

TEST(Mapi, QuotedPrintableKeepsLinesShortAndEncodesWhatItMust) {
  using mapidetail::EncodeQuotedPrintable;
  EXPECT_EQ(EncodeQuotedPrintable("a=b"), "a=3Db");
  EXPECT_EQ(EncodeQuotedPrintable("end \nnext\t"), "end=20\r\nnext=09");
  EXPECT_EQ(EncodeQuotedPrintable("\xc3\xa9"), "=C3=A9");
  const QByteArray encoded = EncodeQuotedPrintable(QByteArray(200, '=') + "x");
  for (const QByteArray& line : encoded.split('\n')) {
    EXPECT_LE(line.size(), 77);  // 76 characters and the CR
    // A soft break never cuts an escape in two.
    const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
    if (text.endsWith('=')) {
      EXPECT_EQ((text.size() - 1) % 3, 0);
    }
  }
}

TEST(Mapi, SendsFromAWorkerThreadAndThroughTheModuleTable) {
  InitializeMapi();
  HMODULE mapi = LoadLibrary("MAPI32.DLL");
  ASSERT_NE(mapi, nullptr);
  auto send = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(mapi, "MAPISendMail"));
  ASSERT_NE(send, nullptr);
  for (const char* name : {"MAPILogon", "MAPILogoff", "MAPIResolveName", "MAPIFreeBuffer"})
    EXPECT_NE(GetProcAddress(mapi, name), nullptr) << name;

  HandOffRecorder handOff;
  ULONG result = 99;
  QThread* worker = QThread::create([&] {
    MapiMessage m;
    result = send(0, 0, &m, MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_DIALOG, 0);
  });
  worker->start();
  ASSERT_TRUE(worker->wait(30000));
  delete worker;
  EXPECT_EQ(result, SUCCESS_SUCCESS);
  EXPECT_EQ(handOff.files.size(), 1u);
  FreeLibrary(mapi);
}
