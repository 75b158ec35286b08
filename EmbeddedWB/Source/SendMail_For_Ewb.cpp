#include "EmbeddedWB/Source/SendMail_For_Ewb.h"

#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Registry.h"

#include <deque>
#include <vector>

namespace SendMail_For_Ewb {

namespace {

// The Simple MAPI entry points, looked up in the module table for one send.
class TMapiLibrary {
 public:
  TMapiLibrary() : module_(LoadLibrary(QStringLiteral("mapi32.dll"))) {
    if (!module_) return;
    Logon = reinterpret_cast<LPMAPILOGON>(GetProcAddress(module_, "MAPILogon"));
    Logoff = reinterpret_cast<LPMAPILOGOFF>(GetProcAddress(module_, "MAPILogoff"));
    SendMail = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(module_, "MAPISendMail"));
    ResolveName = reinterpret_cast<LPMAPIRESOLVENAME>(GetProcAddress(module_, "MAPIResolveName"));
    FreeBuffer = reinterpret_cast<LPMAPIFREEBUFFER>(GetProcAddress(module_, "MAPIFreeBuffer"));
  }
  ~TMapiLibrary() {
    if (module_) FreeLibrary(module_);
  }
  TMapiLibrary(const TMapiLibrary&) = delete;
  TMapiLibrary& operator=(const TMapiLibrary&) = delete;

  LPMAPILOGON Logon = nullptr;
  LPMAPILOGOFF Logoff = nullptr;
  LPMAPISENDMAIL SendMail = nullptr;
  LPMAPIRESOLVENAME ResolveName = nullptr;
  LPMAPIFREEBUFFER FreeBuffer = nullptr;

 private:
  HMODULE module_;
};

// 8-bit copies that live as long as the message built from them.
class TAnsiStrings {
 public:
  LPSTR Add(const String& s) {
    store_.push_back(s.toUtf8());
    return store_.back().data();
  }
  LPSTR AddOrNull(const String& s) { return s.isEmpty() ? nullptr : Add(s); }
  QByteArray& AddBytes(const QByteArray& b) {
    store_.push_back(b);
    return store_.back();
  }

 private:
  std::deque<QByteArray> store_;  // a deque keeps the buffers in place
};

// Takes the recipient class prefix off a line.
ULONG TakeRecipientClass(String& Line) {
  if (StartsText(QStringLiteral("CC:"), Line)) {
    Line.remove(0, 3);
    return MAPI_CC;
  }
  if (StartsText(QStringLiteral("BCC:"), Line)) {
    Line.remove(0, 4);
    return MAPI_BCC;
  }
  return MAPI_TO;
}

bool ResolveWith(TMapiLibrary& Mapi, const String& Text, String& Name, String& Address, QByteArray& EntryId) {
  if (!Mapi.ResolveName) return false;
  QByteArray text = Text.toUtf8();
  lpMapiRecipDesc found = nullptr;
  ULONG rc = Mapi.ResolveName(0, 0, text.data(), 0, 0, &found);
  if (rc == MAPI_E_UNKNOWN_RECIPIENT || rc == MAPI_E_AMBIGUOUS_RECIPIENT)
    rc = Mapi.ResolveName(0, 0, text.data(), MAPI_DIALOG, 0, &found);
  if (rc != SUCCESS_SUCCESS || !found) {
    if (found && Mapi.FreeBuffer) Mapi.FreeBuffer(found);
    return false;
  }
  Name = found->lpszName ? String::fromUtf8(found->lpszName) : String();
  Address = found->lpszAddress && *found->lpszAddress ? String::fromUtf8(found->lpszAddress) : Name;
  EntryId = found->lpEntryID ? QByteArray(static_cast<const char*>(found->lpEntryID), int(found->ulEIDSize))
                             : QByteArray();
  if (Mapi.FreeBuffer) Mapi.FreeBuffer(found);
  return true;
}

// Deletes the attachment files when the send is over, however it ended.
struct TAttachmentCleanup {
  const TStrings& files;
  ~TAttachmentCleanup() {
    for (const String& file : files.Strings()) DeleteFile(file);
  }
};

// The window handle of a component that is a control, else none.
HWND WindowOf(TComponent* Component) {
  auto* control = dynamic_cast<TWinControl*>(Component);
  return control ? control->Handle() : nullptr;
}

}  // namespace

EMapiError::EMapiError(ULONG code)
    : Exception(Format(QStringLiteral("MAPI Error %d: %s"), {int(code), MapiErrorText(int(code))})),
      ErrorCode(code) {}

String MapiErrorText(int Code) {
  static const char* const texts[] = {"User cancelled request",
                                      "General MAPI failure",
                                      "Logon failure",
                                      "Disk full",
                                      "Insufficient memory",
                                      "Access denied",
                                      nullptr,
                                      "Too many sessions",
                                      "Too many files open",
                                      "Too many recipients",
                                      "Attachment not found",
                                      "Failed to open attachment",
                                      "Failed to write attachment",
                                      "Unknown recipient",
                                      "Invalid recipient type",
                                      "No messages",
                                      "Invalid message",
                                      "Text too large.",
                                      "Invalid session",
                                      "Type not supported",
                                      "Ambiguous recipient",
                                      "Message in use",
                                      "Network failure",
                                      "Invalid edit fields",
                                      "Invalid recipients",
                                      "Not supported"};
  if (Code >= 1 && Code <= int(std::size(texts)) && texts[Code - 1])
    return String::fromLatin1(texts[Code - 1]);
  return QStringLiteral("Unknown Error Code: ") + IntToStr(Code);
}

bool GetDefaultProfile(QByteArray& Profile) {
  for (const char* key :
       {"Software\\Microsoft\\Windows Messaging Subsystem\\Profiles",
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles"}) {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKeyReadOnly(QString::fromLatin1(key))) continue;
    Profile = reg.ReadString(QStringLiteral("DefaultProfile")).toUtf8();
    return true;
  }
  return false;
}

bool ResolveRecipient(const String& Text, String& Name, String& Address, QByteArray& EntryId) {
  TMapiLibrary mapi;
  return ResolveWith(mapi, Text, Name, Address, EntryId);
}

ULONG SendMapiMessage(const TEwbMapiMail& Mail, ULONG_PTR AppWindow) {
  TMapiLibrary mapi;
  if (!mapi.SendMail) return MAPI_E_FAILURE;
  TAnsiStrings strings;
  MapiMessage message;
  message.lpszSubject = strings.Add(Mail.Subject());
  message.lpszNoteText = strings.Add(Mail.Body());
  message.flFlags = Mail.RequestReceipt() ? MAPI_RECEIPT_REQUESTED : 0;

  LHANDLE session = 0;
  QByteArray profile;
  if (GetDefaultProfile(profile) && mapi.Logon) {
    const ULONG rc = mapi.Logon(0, profile.data(), nullptr, MAPI_NEW_SESSION, 0, &session);
    if (rc != SUCCESS_SUCCESS) throw EMapiError(rc);
  }
  // The session is closed however the send ends.
  struct TLogoff {
    TMapiLibrary& mapi;
    LHANDLE session;
    ~TLogoff() {
      if (session && mapi.Logoff) mapi.Logoff(session, 0, 0, 0);
    }
  } logoff{mapi, session};

  MapiRecipDesc originator;
  if (!Mail.SenderAddress().isEmpty()) {
    originator.ulRecipClass = MAPI_ORIG;
    originator.lpszName = strings.Add(Mail.SenderName().isEmpty() ? Mail.SenderAddress() : Mail.SenderName());
    originator.lpszAddress = strings.Add(Mail.SenderAddress());
    message.lpOriginator = &originator;
  }

  std::vector<MapiFileDesc> files(std::size_t(Mail.Attachments()->Count()));
  for (int i = 0; i < Mail.Attachments()->Count(); ++i) {
    const String path = Mail.Attachments()->Get(i);
    const String shown = i < Mail.AttachmentNames()->Count() ? Mail.AttachmentNames()->Get(i) : String();
    files[std::size_t(i)].nPosition = 0xFFFFFFFF;
    files[std::size_t(i)].lpszPathName = strings.Add(path);
    files[std::size_t(i)].lpszFileName = strings.Add(shown.isEmpty() ? ExtractFileName(path) : shown);
  }
  message.nFileCount = ULONG(files.size());
  message.lpFiles = files.empty() ? nullptr : files.data();

  std::vector<MapiRecipDesc> recips(std::size_t(Mail.Recipients()->Count()));
  for (int i = 0; i < Mail.Recipients()->Count(); ++i) {
    String text = Mail.Recipients()->Get(i);
    MapiRecipDesc& r = recips[std::size_t(i)];
    r.ulRecipClass = TakeRecipientClass(text);
    String name = text, address = text;
    QByteArray entryId;
    // A recipient the mail system cannot resolve keeps what was typed.
    if (Mail.ResolveNames() && !ResolveWith(mapi, text, name, address, entryId)) name = address = text;
    r.lpszName = strings.Add(name);
    r.lpszAddress = strings.Add(address);
    if (!entryId.isEmpty()) {
      QByteArray& id = strings.AddBytes(entryId);
      r.ulEIDSize = ULONG(id.size());
      r.lpEntryID = id.data();
    }
  }
  message.nRecipCount = ULONG(recips.size());
  message.lpRecips = recips.empty() ? nullptr : recips.data();

  FLAGS flags = MAPI_LOGON_UI;
  if (Mail.EditDialog()) flags |= MAPI_DIALOG;
  if (!session) flags |= MAPI_LOGON_UI | MAPI_NEW_SESSION;
  return mapi.SendMail(0, AppWindow, &message, flags, 0);
}

// ---------------------------------------------------------------- TEwbMapiMail

TEwbMapiMail::TEwbMapiMail(TComponent* AOwner)
    : TComponent(AOwner),
      recipients_(std::make_unique<TStringList>()),
      attachments_(std::make_unique<TStringList>()),
      attachmentNames_(std::make_unique<TStringList>()) {}

TEwbMapiMail::~TEwbMapiMail() = default;

namespace {
void AssignList(TStringList& Target, TStringList* Source) {
  if (Source)
    Target.Assign(*Source);
  else
    Target.Clear();
}
}  // namespace

void TEwbMapiMail::SetRecipients(TStringList* v) { AssignList(*recipients_, v); }
void TEwbMapiMail::SetAttachments(TStringList* v) { AssignList(*attachments_, v); }
void TEwbMapiMail::SetAttachmentNames(TStringList* v) { AssignList(*attachmentNames_, v); }

bool TEwbMapiMail::SendInThread() {
  const HWND ownerWindow = WindowOf(Owner());
  const ULONG_PTR appWindow = ULONG_PTR(::Application ? ::Application->Handle() : nullptr);
  if (Owner()) Owner()->RemoveComponent(this);
  auto* thread = new TSendMailThread(std::unique_ptr<TEwbMapiMail>(this), ownerWindow, appWindow);
  thread->FreeOnTerminate = true;
  thread->Start();
  return true;
}

// ---------------------------------------------------------------- TSendMailThread

TSendMailThread::TSendMailThread(std::unique_ptr<TEwbMapiMail> Mail, HWND OwnerWindow, ULONG_PTR AppWindow)
    : TThread(true), mail_(std::move(Mail)), ownerWindow_(OwnerWindow), appWindow_(AppWindow) {}

TSendMailThread::~TSendMailThread() = default;

void TSendMailThread::Execute() {
  const TAttachmentCleanup cleanup{*mail_->Attachments()};
  try {
    ReturnValue = int(SendMapiMessage(*mail_, appWindow_));
  } catch (const EMapiError& e) {
    ReturnValue = int(e.ErrorCode);
    return;
  }
  if (ReturnValue == int(MAPI_E_FAILURE) && ownerWindow_) PostMessage(ownerWindow_, WM_MAPI_FAILURE, 0, 0);
}

void initialize() { RegisterClass<TEwbMapiMail>(); }

}  // namespace SendMail_For_Ewb
