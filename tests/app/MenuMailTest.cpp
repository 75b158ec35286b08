// The main window's "Send the page" button, pressed as a person presses it,
// against the real Outbox with a recording hand-off in place of the mail
// client.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>

#include "app/Menu.h"
#include "platform/classlib/Dialogs.h"
#include "platform/rtl/Folders.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MailRecording.h"
#include "tests/support/TestSupport.h"

namespace {

using Menu::MyMenuForm;
using testsupport::RecordingHandOff;

const std::string kPage =
    "<!DOCTYPE html>\n<html><head><title>Mailed</title></head><body><p>Worth a look</p></body></html>";
// A file of that name in the current folder that is someone else's.
const QByteArray kForeignFile = "<html>someone's page</html>";

class MainWindowMail : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    QDir(MailOutboxDir()).removeRecursively();
    setStartPage("about:blank");
    Application->CreateForm(MyMenuForm);
    f = MyMenuForm;
    previousDir = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(programDir()));
    ASSERT_TRUE(testsupport::writeFile(programDir() + "/Site.html", kForeignFile));
  }
  void TearDown() override {
    SetCurrentDir(previousDir);
    AppTest::TearDown();
  }
  bool shows(const QString& url) {
    f->WB->Go(url, 0);
    return testsupport::waitFor(
        [&] {
          return f->WB->LocationURL() == url && f->WB->ReadyState() == READYSTATE_COMPLETE && !f->WB->Busy();
        },
        15000);
  }
  void pressMailButton() {
    TImage* b = f->AttachWebBtn;
    b->OnMouseEnter(b);
    b->OnMouseDown(b, mbLeft, {}, 2, 2);
    b->OnMouseUp(b, mbLeft, {}, 2, 2);
    b->OnMouseLeave(b);
  }
  // No page copy of this program's anywhere, and the foreign file untouched.
  bool nothingLeft() const {
    QDirIterator it(ProfileDir(), {QStringLiteral("Site.html")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    return !it.hasNext() && testsupport::readFile(programDir() + "/Site.html") == kForeignFile &&
           QDir(ProfileDir() + "/Temp").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
  }
  static QStringList outbox() { return QDir(MailOutboxDir()).entryList(QDir::Files); }

  Menu::TMyMenuForm* f = nullptr;
  String previousDir;
};

}  // namespace

TEST_F(MainWindowMail, TheButtonMailsTheShownPageAsSiteHtmlAndKeepsNoCopy) {
  if (!testsupport::havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  RecordingHandOff handOff;
  TScriptedDialogService dialogs;
  apptest::PageServer server;
  server.setPage("mailed", kPage);
  ASSERT_TRUE(shows(server.url("mailed")));

  pressMailButton();
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ASSERT_TRUE(testsupport::waitFor([&] { return handOff.Files().size() == 1 && nothingLeft(); }, 20000));
  EXPECT_EQ(handOff.Flags(), std::vector<FLAGS>{0xB});  // with the compose window
  ASSERT_EQ(outbox().size(), 1);
  EXPECT_EQ(QFileInfo(handOff.Files()[0]).fileName(), outbox()[0]);
  const QJsonObject parsed = testsupport::parseMail(handOff.Files()[0]);
  EXPECT_EQ(parsed["Subject"].toString(), "Check this site");
  EXPECT_EQ(parsed["body"].toString().trimmed(), "With regards");
  EXPECT_EQ(parsed["attachments"].toArray(),
            (QJsonArray{QJsonArray{"Site.html", QString::fromStdString(kPage)}}));
  EXPECT_EQ(parsed["defects"].toArray(), QJsonArray{});
  EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(MainWindowMail, APageThatCannotBeSavedMailsNothingAndShowsNoError) {
  RecordingHandOff handOff;
  TScriptedDialogService dialogs;
  QImage png(20, 10, QImage::Format_RGB32);
  png.fill(Qt::blue);
  const QString picture = testsupport::profileDir() + "/mail/picture.png";
  QDir().mkpath(QFileInfo(picture).path());
  ASSERT_TRUE(png.save(picture));
  ASSERT_TRUE(shows(QUrl::fromLocalFile(picture).toString()));

  pressMailButton();
  EXPECT_EQ(Screen->Cursor(), crDefault);
  testsupport::waitFor([] { return false; }, 300);  // a mail thread would have handed off by now
  EXPECT_TRUE(handOff.Files().empty());
  EXPECT_TRUE(outbox().isEmpty());
  EXPECT_TRUE(dialogs.Calls.empty());
  EXPECT_TRUE(nothingLeft());
}
