// Mailing the shown page: the stored message read back by Python's mail
// parser (the page's markup as the attachment, subject, body), the page copy
// gone after every outcome, and no mail when the page cannot be saved.
#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/mapi/Mapi.h"
#include "platform/rtl/Folders.h"
#include "tests/EmbeddedWB/EwbTestHost.h"
#include "tests/support/MailRecording.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>

using namespace ewbtest;
using testsupport::parseMail;
using testsupport::RecordingHandOff;

namespace {

// Serialising the document gives these bytes back unchanged.
const std::string kServedPage =
    "<!DOCTYPE html>\n<html><head><title>Served</title></head><body><p>From the loopback "
    "server</p></body></html>";
const QByteArray kLocalPage = QByteArray(
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Local</title></head>"
    "<body><p>Gr\xc3\xbc\xc3\x9f"
    "e &amp; more</p></body></html>");

// Every "Site.html" below `folder`.
QStringList pageCopiesIn(const QString& folder) {
  QStringList found;
  QDirIterator it(folder, {QStringLiteral("Site.html")}, QDir::Files | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) found << it.next();
  return found;
}

class SendPageTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    InitializeMapi();
    QDir(MailOutboxDir()).removeRecursively();
    QDir(tempArea()).removeRecursively();
  }
  static QString tempArea() { return ProfileDir() + "/Temp"; }
  // Mails the shown page as the main window does.
  bool send() { return wb->SendPageAsAttachment(form, "Site.html", "Check this site", "With regards"); }
  // Whether every send is over: no page copy and no folder of one left.
  static bool nothingLeft() {
    return pageCopiesIn(ProfileDir()).isEmpty() &&
           !QFileInfo::exists(QDir::current().filePath("Site.html")) &&
           QDir(tempArea()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
  }
  static QJsonArray onlyAttachment(const QByteArray& markup) {
    return QJsonArray{QJsonArray{"Site.html", QString::fromUtf8(markup)}};
  }
};

TEST_F(SendPageTest, LoopbackAndLocalPagesArriveAsSiteHtmlAndNoCopyStays) {
  if (!testsupport::havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  RecordingHandOff handOff;
  testsupport::LoopbackServer server;
  server.page("/mailed", kServedPage);
  ASSERT_TRUE(server.start());

  ASSERT_TRUE(show(server.url("/mailed")));
  ASSERT_TRUE(send());
  ASSERT_TRUE(testsupport::waitFor([&] { return handOff.Files().size() == 1 && nothingLeft(); }, 20000));
  // The compose window, with no mail profile: logon UI and a new session too.
  EXPECT_EQ(handOff.Flags(), std::vector<FLAGS>{0xB});
  const String eml = handOff.Files()[0];
  EXPECT_EQ(QFileInfo(eml).absolutePath(), QFileInfo(MailOutboxDir()).absoluteFilePath());
  QJsonObject parsed = parseMail(eml);
  EXPECT_EQ(parsed["Subject"].toString(), "Check this site");
  EXPECT_EQ(parsed["body"].toString().trimmed(), "With regards");
  EXPECT_EQ(parsed["attachments"].toArray(), onlyAttachment(QByteArray::fromStdString(kServedPage)));
  EXPECT_EQ(parsed["defects"].toArray(), QJsonArray{});

  // Two sends right after each other (a local page, then the served one
  // again) each carry their own page, whichever thread ends first; a path
  // in the name does not take the copy out of its folder.
  const QString local = pagePath("local.html", kLocalPage);
  ASSERT_TRUE(show(QUrl::fromLocalFile(local).toString()));
  ASSERT_TRUE(send());
  ASSERT_TRUE(show(server.url("/mailed")));
  ASSERT_TRUE(wb->SendPageAsAttachment(form, "../../Site.html", "Again", "Twice"));
  ASSERT_TRUE(testsupport::waitFor([&] { return handOff.Files().size() == 3 && nothingLeft(); }, 20000));
  QMap<QString, QJsonArray> bySubject;
  for (std::size_t i = 1; i < 3; ++i) {
    parsed = parseMail(handOff.Files()[i]);
    bySubject[parsed["Subject"].toString()] = parsed["attachments"].toArray();
  }
  EXPECT_EQ(bySubject["Check this site"], onlyAttachment(kLocalPage));
  EXPECT_EQ(bySubject["Again"], onlyAttachment(QByteArray::fromStdString(kServedPage)));
  EXPECT_FALSE(QFileInfo::exists(ProfileDir() + "/Site.html"));
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(ProfileDir()).absolutePath() + "/Site.html"));
}

TEST_F(SendPageTest, CancelledFailedAndHeldSendsLeaveNoCopy) {
  const QString local = pagePath("local.html", kLocalPage);
  ASSERT_TRUE(show(QUrl::fromLocalFile(local).toString()));
  for (ULONG answer : {MAPI_E_USER_ABORT, MAPI_E_FAILURE}) {
    SCOPED_TRACE(answer);
    RecordingHandOff handOff(answer);
    ASSERT_TRUE(send());
    EXPECT_TRUE(testsupport::waitFor([&] { return handOff.Files().size() == 1 && nothingLeft(); }, 20000));
    // A refused message does not stay in the Outbox either.
    EXPECT_TRUE(QDir(MailOutboxDir()).entryList(QDir::Files).isEmpty());
  }

  // The window that asked may close while the mail client has the message.
  RecordingHandOff held;
  held.Hold();
  auto* owner = NewForm<TForm>(nullptr);
  ASSERT_TRUE(wb->SendPageAsAttachment(owner, "Site.html", "Check this site", "With regards"));
  ASSERT_TRUE(testsupport::waitFor([&] { return held.Entered(); }, 20000));
  // Meanwhile the copy sits in a folder of its own that only the user can
  // enter, not in the current folder.
  const QStringList copies = pageCopiesIn(tempArea());
  ASSERT_EQ(copies.size(), 1);
  EXPECT_EQ(testsupport::readFile(copies[0]), kLocalPage);
  const QFileDevice::Permissions others =
      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
  EXPECT_EQ(QFileInfo(QFileInfo(copies[0]).path()).permissions() & others, QFileDevice::Permissions());
  EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("Site.html")));
  delete owner;
  held.Release();
  EXPECT_TRUE(testsupport::waitFor([&] { return nothingLeft(); }, 20000));
  EXPECT_EQ(QDir(MailOutboxDir()).entryList(QDir::Files).size(), 1);
}

TEST_F(SendPageTest, APageThatCannotBeSavedSendsNothing) {
  RecordingHandOff handOff;
  // A picture shown on its own is no HTML document: nothing to save.
  QImage png(20, 10, QImage::Format_RGB32);
  png.fill(Qt::green);
  const QString picture = testsupport::profileDir() + "/ewb/picture.png";
  ASSERT_TRUE(png.save(picture));
  ASSERT_TRUE(show(QUrl::fromLocalFile(picture).toString()));
  EXPECT_FALSE(send());

  // A page, but no folder can be made for its copy.
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("local.html", kLocalPage)).toString()));
  ASSERT_TRUE(QDir(tempArea()).removeRecursively());
  ASSERT_TRUE(testsupport::writeFile(tempArea(), "a file where the folder would be"));
  EXPECT_FALSE(send());
  ASSERT_TRUE(QFile::remove(tempArea()));
  // No name to save the page as.
  EXPECT_FALSE(wb->SendPageAsAttachment(form, "", "Check this site", "With regards"));
  EXPECT_FALSE(wb->SendPageAsAttachment(form, "pages/..", "Check this site", "With regards"));

  testsupport::waitFor([] { return false; }, 300);  // a mail thread would have handed off by now
  EXPECT_TRUE(handOff.Files().empty());
  EXPECT_TRUE(QDir(MailOutboxDir()).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(nothingLeft());

  // Without a browser there is no page.
  EXPECT_FALSE(EwbTools::SendPageByMail(nullptr, form, nullptr, "Site.html", "s", "b"));
}

}  // namespace
