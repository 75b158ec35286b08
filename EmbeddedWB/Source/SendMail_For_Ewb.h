#pragma once
// TEwbMapiMail hands one mail message (subject, body, recipients,
// attachments) to the desktop's mail client through Simple MAPI ("mapi32.dll"
// of the module table), and TSendMailThread sends it on a worker thread so
// the window stays responsive. The thread deletes the attachment files when
// the send is over, whatever its outcome, and posts WM_MAPI_FAILURE to the
// owner's window when the mail system answers a general failure.
#include "platform/classlib/Components.h"
#include "platform/mapi/Mapi.h"
#include "platform/rtl/Classes.h"
#include "platform/winapi/Windows.h"

#include <memory>

namespace SendMail_For_Ewb {

// Posted (both parameters 0) to the owner's window after a send that the
// mail system answered with MAPI_E_FAILURE.
inline constexpr UINT WM_MAPI_FAILURE = 0x0500;

// A failure of the mail system that stops a send (a logon that fails):
// "MAPI Error %d: %s" with the code and its text.
class EMapiError : public Exception {
 public:
  explicit EMapiError(ULONG code);
  String ClassName() const override { return QStringLiteral("EMapiError"); }
  ULONG ErrorCode;
};

// The text of a Simple MAPI result code; "Unknown Error Code: <n>" for a
// code it does not know.
String MapiErrorText(int Code);

// The default mail profile from the registry (the Windows Messaging
// Subsystem's Profiles key of the user, in either of its two places). True
// when one of the keys exists; Profile is then its "DefaultProfile" value.
bool GetDefaultProfile(QByteArray& Profile);

class TEwbMapiMail : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString Subject READ Subject WRITE SetSubject)
  Q_PROPERTY(QString Body READ Body WRITE SetBody)
  Q_PROPERTY(TStringList* Recipients READ Recipients WRITE SetRecipients)
  Q_PROPERTY(TStringList* Attachments READ Attachments WRITE SetAttachments)
  Q_PROPERTY(TStringList* AttachmentNames READ AttachmentNames WRITE SetAttachmentNames)
  Q_PROPERTY(bool EditDialog READ EditDialog WRITE SetEditDialog)
  Q_PROPERTY(bool ResolveNames READ ResolveNames WRITE SetResolveNames)
  Q_PROPERTY(bool RequestReceipt READ RequestReceipt WRITE SetRequestReceipt)
  Q_PROPERTY(QString SenderName READ SenderName WRITE SetSenderName)
  Q_PROPERTY(QString SenderAddress READ SenderAddress WRITE SetSenderAddress)

 public:
  Q_INVOKABLE explicit TEwbMapiMail(TComponent* AOwner);
  ~TEwbMapiMail() override;

  const String& Subject() const { return subject_; }
  void SetSubject(const String& v) { subject_ = v; }
  const String& Body() const { return body_; }
  void SetBody(const String& v) { body_ = v; }
  // One recipient a line: "CC:" and "BCC:" (any case) before the address
  // make a copy and a blind-copy recipient.
  TStringList* Recipients() const { return recipients_.get(); }
  void SetRecipients(TStringList* v);
  // Full paths of the files to attach.
  TStringList* Attachments() const { return attachments_.get(); }
  void SetAttachments(TStringList* v);
  // The names the recipient sees, by position; a missing one is the file
  // name of the path.
  TStringList* AttachmentNames() const { return attachmentNames_.get(); }
  void SetAttachmentNames(TStringList* v);
  bool EditDialog() const { return editDialog_; }
  void SetEditDialog(bool v) { editDialog_ = v; }
  bool ResolveNames() const { return resolveNames_; }
  void SetResolveNames(bool v) { resolveNames_ = v; }
  bool RequestReceipt() const { return requestReceipt_; }
  void SetRequestReceipt(bool v) { requestReceipt_ = v; }
  const String& SenderName() const { return senderName_; }
  void SetSenderName(const String& v) { senderName_ = v; }
  const String& SenderAddress() const { return senderAddress_; }
  void SetSenderAddress(const String& v) { senderAddress_ = v; }

  // Sends on a worker thread and answers True at once. The thread takes the
  // component out of its owner and owns it from then on (the caller must not
  // touch it again); the owner's window and the application's are read here,
  // on the calling thread, so the owner may go away during the send.
  bool SendInThread();

 private:
  String subject_, body_;
  std::unique_ptr<TStringList> recipients_, attachments_, attachmentNames_;
  bool editDialog_ = true;
  bool resolveNames_ = false;
  bool requestReceipt_ = false;
  String senderName_, senderAddress_;
};

// Resolves a typed recipient through the mail system (asking the user to
// pick when the name is unknown or ambiguous). True with the resolved name,
// address (the name when it has none) and entry identifier.
bool ResolveRecipient(const String& Text, String& Name, String& Address, QByteArray& EntryId);

// Builds the message of the mail's fields and hands it to MAPISendMail with
// `AppWindow` as the parent window. Logs on first when a default profile is
// found (a logon that fails raises EMapiError) and off afterwards. Answers
// MAPISendMail's result (MAPI_E_FAILURE when the mail system cannot be
// loaded).
ULONG SendMapiMessage(const TEwbMapiMail& Mail, ULONG_PTR AppWindow);

class TSendMailThread : public TThread {
 public:
  // Takes the mail; `OwnerWindow` receives WM_MAPI_FAILURE.
  TSendMailThread(std::unique_ptr<TEwbMapiMail> Mail, HWND OwnerWindow, ULONG_PTR AppWindow);
  ~TSendMailThread() override;  // frees the mail (on the main thread)
  String ClassName() const override { return QStringLiteral("TSendMailThread"); }

 protected:
  // ReturnValue := the send's result (a logon's failure code included);
  // then the attachment files are deleted, also when the send raised.
  void Execute() override;

 private:
  std::unique_ptr<TEwbMapiMail> mail_;
  HWND ownerWindow_;
  ULONG_PTR appWindow_;
};

void initialize();

}  // namespace SendMail_For_Ewb
