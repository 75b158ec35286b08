// Mail sending through the module table's Simple MAPI with a recording
// hand-off: the message read back by Python's mail parser, the flags, the
// owner's failure message, attachment clean-up and a failing logon.
#include "EmbeddedWB/Source/SendMail_For_Ewb.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Registry.h"
#include "tests/support/MailRecording.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

using namespace SendMail_For_Ewb;
using testsupport::parseMail;
using testsupport::RecordingHandOff;

const QLatin1String kProfilesKey("Software\\Microsoft\\Windows Messaging Subsystem\\Profiles");

// A form that counts the failure messages it is sent.
class OwnerForm : public TForm {
 public:
  using TForm::TForm;
  int failures = 0;

 protected:
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == WM_MAPI_FAILURE) ++failures;
    TForm::Dispatch(Message);
  }
};

struct SendMailTest : ::testing::Test {
  void SetUp() override {
    InitializeForms();
    InitializeMapi();
    dir = testsupport::profileDir() + "/sendmail";
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
  }
  void TearDown() override {
    InitializeMapi();  // puts back the mail system a test replaced
    SetProfileKey(false);
    FinalizeForms();
  }
  static void SetProfileKey(bool present) {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!present) {
      reg.DeleteKey("\\" + QString(kProfilesKey));
      return;
    }
    ASSERT_TRUE(reg.OpenKey("\\" + QString(kProfilesKey), true));
    reg.WriteString("DefaultProfile", "Work");
  }
  QString attachment(const QString& name, const QByteArray& bytes) {
    const QString path = dir + "/" + name;
    EXPECT_TRUE(testsupport::writeFile(path, bytes));
    return path;
  }
  // A mail with two attachments (only the first named), owned by `owner`.
  TEwbMapiMail* makeMail(TComponent* owner) {
    auto* mail = new TEwbMapiMail(owner);
    mail->SetSubject(QString::fromUtf8("Page \u00e9t\u00e9"));
    mail->SetBody("See the attached page.");
    mail->Recipients()->SetText("r1@example.com\ncc:r2@example.com\nBCC:r3@example.com");
    files = {attachment("Site.html", "<html><body>page</body></html>"), attachment("notes.txt", "notes")};
    for (const QString& f : files) mail->Attachments()->Add(f);
    mail->AttachmentNames()->Add("Shown.html");
    return mail;
  }
  bool attachmentsGone() const {
    for (const QString& f : files)
      if (QFileInfo::exists(f)) return false;
    return true;
  }
  // Sends on a thread of its own and answers the thread's result.
  static int sendAndWait(TEwbMapiMail* mail, HWND owner = nullptr) {
    TSendMailThread thread(std::unique_ptr<TEwbMapiMail>(mail), owner, 0);
    thread.Start();
    return thread.WaitFor();
  }

  QString dir;
  QStringList files;
};

TEST_F(SendMailTest, MessageCarriesRecipientClassesAttachmentNamesAndTheSendFlags) {
  if (!testsupport::havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  RecordingHandOff handOff;
  auto* owner = NewForm<OwnerForm>(nullptr);
  TEwbMapiMail* mail = makeMail(owner);
  mail->SetSenderAddress("me@example.com");
  mail->SetRequestReceipt(true);
  QPointer<TEwbMapiMail> alive(mail);
  EXPECT_TRUE(mail->SendInThread());
  EXPECT_EQ(owner->ComponentCount(), 0);  // the thread has it now
  ASSERT_TRUE(testsupport::waitFor([&] { return alive.isNull(); }, 20000));
  EXPECT_TRUE(attachmentsGone());
  ASSERT_EQ(handOff.Files().size(), 1u);
  // The compose window without a session: logon UI, new session, dialog.
  EXPECT_EQ(handOff.Flags(), std::vector<FLAGS>{0xB});

  const QJsonObject parsed = parseMail(handOff.Files()[0]);
  EXPECT_EQ(parsed["To"].toString(), "r1@example.com");
  EXPECT_EQ(parsed["Cc"].toString(), "r2@example.com");
  EXPECT_EQ(parsed["Bcc"].toString(), "r3@example.com");
  EXPECT_EQ(parsed["From"].toString(), "me@example.com");
  EXPECT_TRUE(parsed.contains("Disposition-Notification-To"));
  EXPECT_EQ(parsed["Subject"].toString(), QString::fromUtf8("Page \u00e9t\u00e9"));
  EXPECT_EQ(parsed["body"].toString().trimmed(), "See the attached page.");
  EXPECT_EQ(parsed["attachments"].toArray(),
            (QJsonArray{QJsonArray{"Shown.html", "<html><body>page</body></html>"},
                        QJsonArray{"notes.txt", "notes"}}));
  EXPECT_EQ(parsed["defects"].toArray(), QJsonArray{});
  EXPECT_EQ(owner->failures, 0);
  owner->Free();

  // Without the compose window: logon UI and a new session only.
  TEwbMapiMail* quiet = makeMail(nullptr);
  quiet->SetEditDialog(false);
  EXPECT_EQ(sendAndWait(quiet), int(SUCCESS_SUCCESS));
  // A default profile opens a session: no new session in the flags.
  SetProfileKey(true);
  EXPECT_EQ(sendAndWait(makeMail(nullptr)), int(SUCCESS_SUCCESS));
  TEwbMapiMail* quietWithProfile = makeMail(nullptr);
  quietWithProfile->SetEditDialog(false);
  EXPECT_EQ(sendAndWait(quietWithProfile), int(SUCCESS_SUCCESS));
  EXPECT_EQ(handOff.Flags(), (std::vector<FLAGS>{0xB, 0x3, 0x9, 0x1}));
  EXPECT_TRUE(attachmentsGone());
  QByteArray profile;
  EXPECT_TRUE(GetDefaultProfile(profile));
  EXPECT_EQ(profile, "Work");
  SetProfileKey(false);
  EXPECT_FALSE(GetDefaultProfile(profile));
}

// The resolver of the module table, with the flags of each call.
std::mutex resolveMutex;
std::vector<FLAGS> resolveFlags;
ULONG RecordingResolve(LHANDLE s, ULONG_PTR ui, LPSTR name, FLAGS flags, ULONG r, lpMapiRecipDesc* out) {
  {
    std::lock_guard lock(resolveMutex);
    resolveFlags.push_back(flags);
  }
  return MAPIResolveName(s, ui, name, flags, r, out);
}
ULONG FailingLogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE) { return MAPI_E_LOGON_FAILURE; }

TEST_F(SendMailTest, ResolvedAndUnresolvedRecipientsAndNoBufferLeftBehind) {
  if (!testsupport::havePython()) GTEST_SKIP() << "python3 is needed to read the message back";
  RecordingHandOff handOff;
  RegisterStandInModule("mapi32.dll", {{"MAPISendMail", StandInProc(&MAPISendMail)},
                                       {"MAPIResolveName", StandInProc(&RecordingResolve)},
                                       {"MAPIFreeBuffer", StandInProc(&MAPIFreeBuffer)}});
  resolveFlags.clear();
  TEwbMapiMail* mail = makeMail(nullptr);
  mail->Recipients()->SetText("Alice <alice@example.com>\ncc:Bob Nobody");
  mail->SetResolveNames(true);
  const int before = MapiLiveBuffers();
  EXPECT_EQ(sendAndWait(mail), int(SUCCESS_SUCCESS));
  EXPECT_EQ(MapiLiveBuffers(), before);
  // The unknown name was asked for again with the dialog.
  EXPECT_EQ(resolveFlags, (std::vector<FLAGS>{0, 0, MAPI_DIALOG}));
  ASSERT_EQ(handOff.Files().size(), 1u);
  const QJsonObject parsed = parseMail(handOff.Files()[0]);
  EXPECT_TRUE(parsed["To"].toString().contains("alice@example.com"));
  EXPECT_TRUE(parsed["Cc"].toString().contains("Bob Nobody"));  // kept as typed

  String name, address;
  QByteArray id;
  EXPECT_TRUE(ResolveRecipient("carol@example.net", name, address, id));
  EXPECT_TRUE(address.contains("carol@example.net"));
  EXPECT_FALSE(id.isEmpty());
  EXPECT_FALSE(ResolveRecipient("just a name", name, address, id));
  EXPECT_EQ(MapiLiveBuffers(), before);
}

TEST_F(SendMailTest, FailuresCancelAndLogonLeaveNoAttachmentAndOnlyAFailureIsPosted) {
  auto* owner = NewForm<OwnerForm>(nullptr);
  {
    RecordingHandOff failing(MAPI_E_FAILURE);
    EXPECT_EQ(sendAndWait(makeMail(nullptr), owner->Handle()), int(MAPI_E_FAILURE));
    EXPECT_TRUE(attachmentsGone());
    EXPECT_TRUE(testsupport::waitFor([&] { return owner->failures == 1; }));
  }
  {
    RecordingHandOff cancelled(MAPI_E_USER_ABORT);
    EXPECT_EQ(sendAndWait(makeMail(nullptr), owner->Handle()), int(MAPI_E_USER_ABORT));
    EXPECT_TRUE(attachmentsGone());
  }
  // A logon that fails: its code, no hand-off, nothing posted.
  {
    RecordingHandOff handOff;
    SetProfileKey(true);
    RegisterStandInModule("mapi32.dll", {{"MAPILogon", StandInProc(&FailingLogon)},
                                         {"MAPISendMail", StandInProc(&MAPISendMail)}});
    EXPECT_EQ(sendAndWait(makeMail(nullptr), owner->Handle()), int(MAPI_E_LOGON_FAILURE));
    EXPECT_TRUE(attachmentsGone());
    EXPECT_TRUE(handOff.Files().empty());
    // No mail system at all: a general failure, reported to the owner.
    UnregisterStandInModule("mapi32.dll");
    EXPECT_EQ(sendAndWait(makeMail(nullptr), owner->Handle()), int(MAPI_E_FAILURE));
    EXPECT_TRUE(attachmentsGone());
  }
  EXPECT_TRUE(testsupport::waitFor([&] { return owner->failures == 2; }));
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(owner->failures, 2);
  owner->Free();

  try {
    throw EMapiError(3);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "MAPI Error 3: Logon failure");
  }
  EXPECT_EQ(MapiErrorText(2), "General MAPI failure");
  EXPECT_EQ(MapiErrorText(18), "Text too large.");
  EXPECT_EQ(MapiErrorText(26), "Not supported");
  for (int code : {0, 7, 27, -1})
    EXPECT_EQ(MapiErrorText(code), "Unknown Error Code: " + QString::number(code));
}

TEST_F(SendMailTest, OwnerClosedDuringTheSend) {
  RecordingHandOff handOff(MAPI_E_FAILURE);
  handOff.Hold();
  auto* owner = NewForm<OwnerForm>(nullptr);
  QPointer<TEwbMapiMail> mail(makeMail(owner));
  ASSERT_TRUE(mail->SendInThread());
  ASSERT_TRUE(testsupport::waitFor([&] { return handOff.Entered(); }, 20000));
  owner->Free();  // the window goes while the mail client has the message
  EXPECT_FALSE(mail.isNull());
  handOff.Release();
  ASSERT_TRUE(testsupport::waitFor([&] { return mail.isNull(); }, 20000));
  EXPECT_TRUE(attachmentsGone());
}

}  // namespace
