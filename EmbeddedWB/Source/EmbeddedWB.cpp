#include "EmbeddedWB/Source/EmbeddedWB.h"

#include "EmbeddedWB/Source/EwbControlComponent.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Streaming.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShlObj.h"
#include "platform/winapi/Menus.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QUrl>

#include <cfenv>

namespace EmbeddedWB {

namespace {

// ---- unit-wide state

std::fenv_t savedFpEnvironment;  // the floating-point environment at start-up
bool fpEnvironmentSaved = false;
bool proxyWasSet = false;
bool soundsWereTurnedOff = false;
bool oleInitialized = false;
// The process-wide wheel and focus fixes, on from start-up to close-down.
EwbControlComponent::TEwbControl* globalControl = nullptr;

const char* const kAboutText = "TEmbeddedWB - the browser control of Noctivane";

// Registry places of the user agent in registry mode.
const char* const kUserAgentKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent";
const char* const kPostPlatform = "Post Platform";
const char* const kUserAgentToken = "User-agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

// The message the focus fix posts to re-focus the browser.
constexpr UINT kRefocusMessage = 1092;
// The browser's command that opens its import/export wizard.
constexpr WPARAM kImportExportCommand = 374;

// List-view messages for the folder view's arrow keys.
constexpr UINT LVM_GETNEXTITEM = 0x100C;
constexpr UINT LVM_ENSUREVISIBLE = 0x1013;
constexpr UINT LVM_SETITEMSTATE = 0x102B;
constexpr LPARAM LVNI_FOCUSED = 0x1;
constexpr UINT LVIS_FOCUSED = 0x1;
constexpr UINT LVIS_SELECTED = 0x2;
constexpr UINT LVIF_STATE = 0x8;
struct LVITEMW {
  UINT mask = 0;
  int iItem = 0;
  int iSubItem = 0;
  UINT state = 0;
  UINT stateMask = 0;
  LPWSTR pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0;
  LPARAM lParam = 0;
};

// Shift, Ctrl, Alt and the mouse buttons as the keyboard state has them now.
TShiftState currentShiftState() {
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift += ssShift;
  if (GetKeyState(VK_CONTROL) < 0) shift += ssCtrl;
  if (GetKeyState(VK_MENU) < 0) shift += ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) shift += ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) shift += ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) shift += ssMiddle;
  return shift;
}

// A page-setup margin as the registry keeps it ("0.750000" inches when missing).
double marginValue(TRegistry& reg, const char* name, bool inches) {
  String text =
      reg.ValueExists(QLatin1String(name)) ? reg.ReadString(QLatin1String(name)) : QStringLiteral("0.750000");
  text.remove(QLatin1Char(' '));
  text.replace(QLatin1Char('.'), FormatSettings.DecimalSeparator);
  double value = 0;
  if (!TryStrToFloat(text, value)) value = 0;
  return inches ? value : value * 25.4;
}

}  // namespace

// ---------------------------------------------------------------- option objects

void TProxySettings::Assign(TPersistent* source) {
  auto* s = qobject_cast<TProxySettings*>(source);
  if (!s) return TPersistent::Assign(source);
  autoLoadProxy_ = s->autoLoadProxy_;
  port_ = s->port_;
  password_ = s->password_;
  address_ = s->address_;
  userName_ = s->userName_;
  userAgent_ = s->userAgent_;
}

void TDialogBoxes::Assign(TPersistent* source) {
  auto* s = qobject_cast<TDialogBoxes*>(source);
  if (!s) return TPersistent::Assign(source);
  disableAll_ = s->disableAll_;
  replaceCaption_ = s->replaceCaption_;
  replaceIcon_ = s->replaceIcon_;
  newCaption_ = s->newCaption_;
}

void TDisableErrors::Assign(TPersistent* source) {
  auto* s = qobject_cast<TDisableErrors*>(source);
  if (!s) return TPersistent::Assign(source);
  enableDDE_ = s->enableDDE_;
  SetfpExceptions(s->fpExceptions_);
  scriptErrorsSuppressed_ = s->scriptErrorsSuppressed_;
}

void TDisableErrors::SetfpExceptions(bool v) {
  if (v) {
    if (fpEnvironmentSaved) std::fesetenv(&savedFpEnvironment);
  } else {
    // Every floating-point exception masked (the control word 0x133F).
    fedisableexcept(FE_ALL_EXCEPT);
  }
  fpExceptions_ = v;
}

void TVisualEffects::Assign(TPersistent* source) {
  auto* s = qobject_cast<TVisualEffects*>(source);
  if (!s) return TPersistent::Assign(source);
  textSize_ = s->textSize_;
  disableSounds_ = s->disableSounds_;
}

void TMargins::Assign(TPersistent* source) {
  auto* s = qobject_cast<TMargins*>(source);
  if (!s) return TPersistent::Assign(source);
  left_ = s->left_;
  right_ = s->right_;
  top_ = s->top_;
  bottom_ = s->bottom_;
}

TPrintOptions::TPrintOptions(QObject* parent)
    : TPersistent(parent), margins_(new TMargins(this)), htmlHeader_(new TStringList) {
  htmlHeader_->Add(QStringLiteral("<HTML></HTML>"));
}

TPrintOptions::~TPrintOptions() { delete htmlHeader_; }

void TPrintOptions::Assign(TPersistent* source) {
  auto* s = qobject_cast<TPrintOptions*>(source);
  if (!s) return TPersistent::Assign(source);
  enabled_ = s->enabled_;
  margins_->Assign(s->margins_);
  header_ = s->header_;
  htmlHeader_->Assign(*s->htmlHeader_);
  footer_ = s->footer_;
  orientation_ = s->orientation_;
  Measure = s->Measure;
}

void TPrintOptions::SetHTMLHeader(TStrings* v) {
  if (v)
    htmlHeader_->Assign(*v);
  else
    htmlHeader_->Clear();
}

// ---------------------------------------------------------------- life

TEmbeddedWB::TEmbeddedWB(TComponent* AOwner) : TCustomEmbeddedWB(AOwner) {
  about_ = QString::fromLatin1(kAboutText);
  visible_ = true;
  printOptions_ = new TPrintOptions;
  proxySettings_ = new TProxySettings;
  disableErrors_ = new TDisableErrors;
  dialogBoxes_ = new TDialogBoxes;
  visualEffects_ = new TVisualEffects;
  // Systems before Windows XP SP2 move the control's window on their own.
  interceptWindowPos_ = !EwbTools::IsXPSP2OrNewer();
  htmlCode_ = new TStringList;
  htmlCode_->OnChange = [this](TObject*) { HTMLCodeChanged(); };
  enableMessageHandler_ = true;
  UserAgentProvider = [this](String& agent) { return ProvideUserAgent(agent); };
  InnerWindowHook = [this] { HookInnerWindows(); };
}

TEmbeddedWB::~TEmbeddedWB() {
  destroying_ = true;
  // The inner windows outlive this part of the control.
  UnhookInnerWindows();
  // The zoom goes back to the medium text size while the options still exist.
  if (visualEffects_->TextSize() != 2 && !ComponentState().Contains(csDesigning)) SetZoom(2);
  UserAgentProvider = nullptr;
  InnerWindowHook = nullptr;
  htmlCode_->OnChange = nullptr;
  delete htmlCode_;
  htmlCode_ = nullptr;
  delete printOptions_;
  delete proxySettings_;
  delete disableErrors_;
  delete dialogBoxes_;
  delete visualEffects_;
  printOptions_ = nullptr;
  proxySettings_ = nullptr;
  disableErrors_ = nullptr;
  dialogBoxes_ = nullptr;
  visualEffects_ = nullptr;
  RemoveRegistryUserAgent();
  UnhookOwnerForm();
}

void TEmbeddedWB::Loaded() {
  TCustomEmbeddedWB::Loaded();
  if (ComponentState().Contains(csDesigning)) {
    printOptions_->Measure = measure_;
    ReadPageSetup();
    return;
  }
  measure_ = QLocale::system().measurementSystem() != QLocale::MetricSystem;
  enableMessageHandler_ = true;
  if (!windowProcSet_) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    windowProcSet_ = true;
  }
  if (disableErrors_->ScriptErrorsSuppressed()) SetScriptErrorAction(EwbCore::eaContinue);
  disableErrors_->SetfpExceptions(disableErrors_->fpExceptions());
  HookOwnerForm();
  if (proxySettings_->AutoLoadProxy()) ApplyProxySettings();
  if (visualEffects_->DisableSounds()) {
    DisableSounds(true);
    soundsWereTurnedOff = true;
  }
}

void TEmbeddedWB::ReadPageSetup() {
  printOptions_->Measure = measure_;
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (!reg.OpenKeyReadOnly(QStringLiteral("Software\\Microsoft\\Internet Explorer\\PageSetup"))) return;
    printOptions_->SetHeader(reg.ReadString(QStringLiteral("header")));
    printOptions_->SetFooter(reg.ReadString(QStringLiteral("footer")));
    TMargins* m = printOptions_->Margins();
    const bool inches = printOptions_->Measure;
    m->SetLeft(marginValue(reg, "margin_left", inches));
    m->SetRight(marginValue(reg, "margin_right", inches));
    m->SetTop(marginValue(reg, "margin_top", inches));
    m->SetBottom(marginValue(reg, "margin_bottom", inches));
  } catch (const Exception&) {
    // A value of another type leaves the rest as it was.
  }
}

// ---------------------------------------------------------------- properties

void TEmbeddedWB::SetHTMLCode(TStringList* value) { htmlCode_->SetText(value ? value->GetText() : String()); }

void TEmbeddedWB::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  TCustomEmbeddedWB::SetVisible(value);
}

void TEmbeddedWB::HTMLCodeChanged() {
  if (destroying_) return;
  if (htmlCode_->Count() == 1) {
    const String line = htmlCode_->Get(0);
    const String lower = LowerCase(line);
    const String head = Copy(lower, 1, 4);
    if (head == QLatin1String("http") || head == QLatin1String("www.") || head == QLatin1String("ftp:") ||
        head == QLatin1String("file") || Copy(lower, 1, 6) == QLatin1String("about:")) {
      Go(line, 0);
      return;
    }
  }
  LoadFromStrings(*htmlCode_);
}

// ---------------------------------------------------------------- navigation and waiting

bool TEmbeddedWB::Go(const String& URL, Cardinal TimeOut) {
  // Callers run from key and mouse handlers: an address the control turns
  // down is a False result here, never an error box.
  try {
    if (DirectoryExists(URL)) {
      // A folder is shown without waiting for it.
      ++goRequests_;
      Navigate(QUrl::fromLocalFile(ExpandFileName(URL)).toString());
      return true;
    }
    if (Trim(URL).isEmpty()) return true;
    ++goRequests_;
    Navigate2(OleVariant(URL), OleVariant(0), OleVariant(0), OleVariant(0), OleVariant(0));
    return TimeOut == 0 || Wait(TimeOut);
  } catch (const Exception&) {
    return false;
  }
}

bool TEmbeddedWB::Wait(Cardinal TimeOut) {
  if (!HandleAllocated()) return true;
  bool cancel = false;
  bool stop = false;
  const Cardinal start = GetTickCount();
  // Handlers and the messages handled here may free the control.
  QPointer<TEmbeddedWB> self(this);
  while (!destroying_) {
    int state = READYSTATE_UNINITIALIZED;
    bool busy = false;
    try {
      state = ReadyState();
      busy = Busy();
    } catch (const Exception&) {
    }
    if (state == READYSTATE_COMPLETE) break;
    // A browser that never started a page has nothing that could complete.
    if (state == READYSTATE_UNINITIALIZED && !busy) break;
    if (OnBusyWait) {
      const TOnBusyWait handler = OnBusyWait;
      handler(this, start, TimeOut, cancel);
      if (!self || destroying_) return false;
    }
    stop = cancel || (TimeOut != 0 && GetTickCount() - start > TimeOut);
    if (stop) break;
    if (::Application && ::Application->Terminated()) break;
    if (::Application)
      ::Application->ProcessMessages();
    else
      QCoreApplication::processEvents();
    if (!self) return false;
    Sleep(1);
  }
  if (destroying_) return false;
  return !stop;
}

void TEmbeddedWB::AssignEmptyDocument(bool WaitForIt) {
  Navigate(QStringLiteral("about:blank"));
  if (WaitForIt) Wait(0);
}

bool TEmbeddedWB::DocumentLoaded() {
  ComPtr<IDispatch> doc;
  if (FAILED(DefaultInterface()->get_Document(&doc)) || !doc) return false;
  return static_cast<bool>(doc.As<IHTMLDocument2>());
}

bool TEmbeddedWB::WaitForDocument() {
  // The empty document exists once the browser started loading it.
  QPointer<TEmbeddedWB> self(this);
  const Cardinal start = GetTickCount();
  while (!DocumentLoaded()) {
    if (GetTickCount() - start > 10000 || (::Application && ::Application->Terminated())) return false;
    if (::Application)
      ::Application->ProcessMessages();
    else
      QCoreApplication::processEvents();
    if (!self || destroying_) return false;
    Sleep(1);
  }
  return true;
}

void TEmbeddedWB::ShowImportExportFavorites() { SendMessage(Handle(), WM_COMMAND, kImportExportCommand, 0); }

// ---------------------------------------------------------------- document content

HRESULT TEmbeddedWB::SaveToFile(const String& FileName) {
  Wait(0);
  ComPtr<IHTMLDocument2> doc = GetDocument();
  ComPtr<IPersistFile> file = doc ? doc.As<IPersistFile>() : nullptr;
  if (!file) return S_FALSE;
  return file->Save(reinterpret_cast<LPCOLESTR>(FileName.utf16()), FALSE);
}

HRESULT TEmbeddedWB::SaveToStream(TStream& Stream) {
  Wait(0);
  ComPtr<IHTMLDocument2> doc = GetDocument();
  ComPtr<IPersistStreamInit> persist = doc ? doc.As<IPersistStreamInit>() : nullptr;
  if (!persist) return S_FALSE;
  ComPtr<TStreamAdapter> adapter = MakeCom<TStreamAdapter>(&Stream, soReference);
  return persist->Save(adapter.Get(), TRUE);
}

HRESULT TEmbeddedWB::LoadFromStrings(TStrings& Strings) {
  if (!DocumentLoaded()) AssignEmptyDocument(false);
  TMemoryStream stream;
  stream.WriteBytes(Strings.GetText().toUtf8());
  return LoadFromStream(stream);
}

HRESULT TEmbeddedWB::LoadFromStream(TStream& Stream) {
  if (!DocumentLoaded()) {
    AssignEmptyDocument(false);
    WaitForDocument();
  }
  ComPtr<IHTMLDocument2> doc = GetDocument();
  ComPtr<IPersistStreamInit> persist = doc ? doc.As<IPersistStreamInit>() : nullptr;
  if (!persist) return E_UNEXPECTED;
  Stream.SetPosition(0);
  ComPtr<TStreamAdapter> adapter = MakeCom<TStreamAdapter>(&Stream, soReference);
  return persist->Load(adapter.Get());
}

// ---------------------------------------------------------------- convenience methods

void TEmbeddedWB::GetDocumentSource(String& Strings) { EwbTools::DocumentToStrings(OleObject(), Strings); }

void TEmbeddedWB::GetDocumentText(String& Strings) {
  EwbTools::DocumentTextToStrings(OleObject(), GetDocument().Get(), Strings);
}

bool TEmbeddedWB::SetCharset(const String& Charset) {
  return EwbTools::SetDocumentCharset(this, GetDocument().Get(), Charset, true);
}

void TEmbeddedWB::SnapShotToImage(TImage* Image) {
  ComPtr<IDispatch> browser;
  try {
    browser = Application();
  } catch (const Exception&) {
  }
  EwbTools::DrawDocumentToImage(browser.Get(), Image);
}

bool TEmbeddedWB::SaveSnapShotToBitmap(const String& FileName) {
  return EwbTools::SnapshotToBitmap(GetDocument().Get(), Handle(), Width(), Height(), FileName);
}

bool TEmbeddedWB::SaveSnapShotToJpeg(const String& FileName, int SourceHeight, int SourceWidth,
                                     int TargetHeight, int TargetWidth) {
  return EwbTools::SnapshotToJpeg(GetDocument().Get(), DefaultInterface().Get(), FileName, SourceHeight,
                                  SourceWidth, TargetHeight, TargetWidth);
}

void TEmbeddedWB::PrintPreview() { EwbTools::PrintPreview(DefaultInterface().Get()); }
bool TEmbeddedWB::ShowFindDialog() { return EwbTools::ShowFindDialog(GetDocument().Get()); }
int TEmbeddedWB::OrganizeFavorites() { return EwbTools::OrganizeFavorites(Handle()); }

void TEmbeddedWB::AddToFavorites(const String& URL, const String& Title) {
  EwbTools::AddToFavorites(URL, Title);
}

String TEmbeddedWB::GetFavoritesPath() {
  String path;
  EwbTools::GetFavoritesFolder(path);
  return path;
}

String TEmbeddedWB::GetHistoryPath() {
  String path;
  EwbTools::GetHistoryFolder(path);
  return path;
}

void TEmbeddedWB::SearchText(const String& Text) { EwbTools::SearchWeb(this, Text); }
bool TEmbeddedWB::GoAboutBlank() { return EwbTools::GoAboutBlank(this); }

bool TEmbeddedWB::CheckOnlineStatus(String& HostName, String& Address, String& ErrorText) {
  return EwbTools::CheckWinsock(HostName, Address, ErrorText);
}

bool TEmbeddedWB::SendPageAsAttachment(TComponent* Owner, const String& FileName, const String& Subject,
                                       const String& Body) {
  return EwbTools::SendPageByMail(this, Owner, GetDocument().Get(), FileName, Subject, Body);
}

void TEmbeddedWB::ClearHistory() { EwbTools::ClearHistory(); }

bool TEmbeddedWB::GetSSLStatus(String& Protocol, String& Text) {
  return EwbTools::PageSecurityText(OleObject(), LocationURL(), Protocol, Text);
}

// Once a proxy was set, it stays in force (a later refused call changes
// nothing), so close-down must still switch it off.
bool TEmbeddedWB::SetProxy(const String& UserAgent, const String& Proxy) {
  const bool done = EwbTools::SetProxy(UserAgent, Proxy);
  if (done) proxyWasSet = true;
  return done;
}

bool TEmbeddedWB::SetProxyWithAuth(const String& UserAgent, const String& Address, const String& UserName,
                                   const String& Password, int Port) {
  const bool done = EwbTools::SetProxyWithLogin(UserAgent, Address, UserName, Port, Password);
  if (done) proxyWasSet = true;
  return done;
}

void TEmbeddedWB::ApplyProxySettings() {
  const TProxySettings& p = *proxySettings_;
  // Without an address there is no proxy to set (":80" would name none):
  // one set before is taken away.
  if (Trim(p.Address()).isEmpty()) {
    if (proxyWasSet && EwbTools::RemoveProxy()) proxyWasSet = false;
    return;
  }
  if (p.UserName().isEmpty())
    SetProxy(p.UserAgent(), p.Address() + QLatin1Char(':') + IntToStr(p.Port()));
  else
    SetProxyWithAuth(p.UserAgent(), p.Address(), p.UserName(), p.Password(), p.Port());
}

void TEmbeddedWB::SaveFormSize() { EwbTools::SaveFormSize(this); }
void TEmbeddedWB::SetIEHomePage(const String& URL) { EwbTools::SetIEStartPage(URL); }

String TEmbeddedWB::GetIEHomePage() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (reg.OpenKeyReadOnly(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main")))
      return reg.ReadString(QStringLiteral("Start Page"));
  } catch (const Exception&) {
    // A value of another type counts as none.
  }
  return String();
}

bool TEmbeddedWB::GetLastVisitedPage(String& URL) { return EwbTools::LoadLastVisitedPage(URL); }

bool TEmbeddedWB::SaveLastVisitedPage() {
  String url;
  try {
    url = LocationURL();
  } catch (const Exception&) {
  }
  return EwbTools::SaveLastVisitedPage(url);
}

void TEmbeddedWB::DisableSounds(bool Value) {
  String version;
  EwbTools::GetIEMajorVersion(version);
  int major = 0;
  if (TryStrToInt(version, major) && major >= 7)
    CoInternetSetFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS,
                                Value ? TRUE : FALSE);
  else
    EwbTools::ToggleNavigationSound(Value);
}

// ---------------------------------------------------------------- user agent

void TEmbeddedWB::SetUserAgent(const String& value) {
  if (userAgent_ == value) return;
  userAgent_ = value;
  ApplyUserAgentMode();
}

void TEmbeddedWB::SetUserAgentMode(TUserAgentMode value) {
  if (userAgentMode_ == value) return;
  userAgentMode_ = value;
  ApplyUserAgentMode();
}

void TEmbeddedWB::ApplyUserAgentMode() {
  // A text announced in internal mode stays with the browser until it asks
  // again; outside that mode the provider has nothing, so the browser goes
  // back to its own user agent.
  if (userAgentMode_ != uaInternal && !announcedUserAgent_.isEmpty()) {
    if (auto control = DefaultInterface().As<IOleControl>()) {
      announcedUserAgent_.clear();
      control->OnAmbientPropertyChange(DISPID_AMBIENT_USERAGENT);
    }
  }
  switch (userAgentMode_) {
    case uaDefault: RemoveRegistryUserAgent(); break;
    case uaInternal: {
      if (userAgent_ == announcedUserAgent_) break;
      RemoveRegistryUserAgent();
      if (auto control = DefaultInterface().As<IOleControl>()) {
        announcedUserAgent_ = userAgent_;
        control->OnAmbientPropertyChange(DISPID_AMBIENT_USERAGENT);
      }
      break;
    }
    case uaRegistry: {
      if (userAgent_ == registryUserAgent_) break;
      RemoveRegistryUserAgent();
      const String name =
          QString::fromLatin1(kUserAgentToken) + QLatin1Char('(') + userAgent_ + QLatin1Char(')');
      if (ComponentState().Contains(csDesigning)) {
        registryUserAgent_ = name;
        break;
      }
      try {
        TRegistry reg;
        reg.RootKey = HKEY_CURRENT_USER;
        if (reg.OpenKey(QString::fromLatin1(kUserAgentKey) + QLatin1Char('\\') + QLatin1String(kPostPlatform),
                        true)) {
          reg.WriteString(name, String());
          registryUserAgent_ = name;
          userAgentInRegistry_ = true;
        }
      } catch (const Exception&) {
        // The store refused the value: nothing is remembered.
      }
      break;
    }
  }
}

void TEmbeddedWB::RemoveRegistryUserAgent() {
  if (registryUserAgent_.isEmpty() || !userAgentInRegistry_) return;
  if (ComponentState().Contains(csDesigning)) {
    userAgentInRegistry_ = false;
    registryUserAgent_.clear();
    return;
  }
  try {
    // Only the value this control wrote goes; the other values under the
    // key belong to other programs of the user.
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKey(QString::fromLatin1(kUserAgentKey) + QLatin1Char('\\') + QLatin1String(kPostPlatform),
                     false))
      return;
    if (reg.ValueExists(registryUserAgent_) && !reg.DeleteValue(registryUserAgent_)) return;
    userAgentInRegistry_ = false;
    registryUserAgent_.clear();
  } catch (const Exception&) {
    // The remembered state stays for the next attempt.
  }
}

HRESULT TEmbeddedWB::ProvideUserAgent(String& Agent) {
  Agent.clear();
  if (userAgentMode_ == uaInternal && !userAgent_.isEmpty()) {
    Agent = userAgent_;
    return S_OK;
  }
  return S_FALSE;
}

// ---------------------------------------------------------------- hooks of the dialog and focus fixes

namespace {

// The control whose owner form's window procedure is replaced; only one
// form per process is watched, and only this control puts it back.
TEmbeddedWB* ownerFormHooker = nullptr;

// Replaces the first occurrence of `what` in `text` (case-sensitive).
void replaceFirst(String& text, const String& what, const String& by) {
  const int at = text.indexOf(what);
  if (at >= 0) text.replace(at, what.size(), by);
}

}  // namespace

void TEmbeddedWB::HookOwnerForm() {
  if (ownerFormHooker || ComponentState().Contains(csDesigning)) return;
  auto* form = qobject_cast<TWinControl*>(Owner());
  // No window is made for the purpose: a form without one is not watched.
  if (!form || !form->HandleAllocated()) return;
  hookedForm_ = form;
  savedFormWindowProc_ = form->WindowProc;
  form->WindowProc = [this](TMessage& m) { OwnerWindowProc(m); };
  ownerFormHooker = this;
}

void TEmbeddedWB::UnhookOwnerForm() {
  if (ownerFormHooker != this) return;
  // A form on its way out (it may be destroying this control) has let go of
  // the procedure itself; one already gone is not touched.
  TWinControl* form = hookedForm_;
  if (form && !form->ComponentState().Contains(csDestroying)) form->WindowProc = savedFormWindowProc_;
  hookedForm_ = nullptr;
  savedFormWindowProc_ = nullptr;
  ownerFormHooker = nullptr;
  if (applicationIcon_) DestroyIcon(applicationIcon_);
  applicationIcon_ = nullptr;
}

void TEmbeddedWB::OwnerWindowProc(TMessage& Msg) {
  // Kept before the interception, which may end this control.
  const TWndMethod previous = savedFormWindowProc_;
  const QPointer<TWinControl> form = hookedForm_;
  if (Msg.Msg == WM_ACTIVATE) InterceptDialog(Msg);
  // The form never sees CM_DIALOGCHAR: characters typed without Alt do not
  // press its buttons.
  if (Msg.Msg == CM_DIALOGCHAR) return;
  if (previous && form) previous(Msg);
}

void TEmbeddedWB::InterceptDialog(TMessage& Msg) {
  if (Msg.WParam != WA_INACTIVE) return;
  const HWND dialog = reinterpret_cast<HWND>(Msg.LParam);
  if (!IsWindow(dialog)) return;
  String className;
  EwbTools::GetWindowClassName(dialog, className);
  if (className != QLatin1String("#32770") && className != QLatin1String("Internet Explorer_TridentDlgFrame"))
    return;
  const int styleEx = int(std::abs(qint64(LONG(GetWindowLong(dialog, GWL_EXSTYLE)))));
  String caption;
  EwbTools::GetWindowCaption(dialog, caption);

  // Handlers and the messages pumped below may end this control.
  const QPointer<TEmbeddedWB> self(this);
  if (OnShowDialog) {
    String newCaption = dialogBoxes_->NewCaption();
    bool disableAll = dialogBoxes_->DisableAll();
    OnShowDialog(this, dialog, styleEx, caption, newCaption, disableAll);
    if (!self || destroying_) return;
    dialogBoxes_->SetNewCaption(newCaption);
    dialogBoxes_->SetDisableAll(disableAll);
  }
  // Each step acts only on a window that is still there.
  if (dialogBoxes_->DisableAll() && IsWindow(dialog)) SendMessage(dialog, WM_CLOSE, 0, 0);
  if (!self || destroying_) return;
  if (dialogBoxes_->ReplaceIcon() && IsWindow(dialog)) {
    if (!applicationIcon_ && ::Application)
      applicationIcon_ = CreateIconHandle(::Application->Icon()->ToQIcon());
    SendMessage(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(applicationIcon_));
  }
  if (!self || destroying_) return;
  if (dialogBoxes_->ReplaceCaption() && IsWindow(dialog)) {
    String text = caption;
    replaceFirst(text, QStringLiteral("Microsoft "), String());
    replaceFirst(text, QStringLiteral("Internet Explorer"), dialogBoxes_->NewCaption());
    SetWindowText(dialog, text);
  }
  if (!self || destroying_) return;
  if (disableErrors_->ScriptErrorsSuppressed()) {
    const String upper = caption.toUpper();
    if (upper.contains(QLatin1String("SCRIPT"))) {
      if (IsWindow(dialog)) {
        PostMessage(dialog, WM_LBUTTONDOWN, 0, 0);
        PostMessage(dialog, WM_LBUTTONUP, 0, 0);
        SendMessage(dialog, WM_CLOSE, 0, 0);
      }
      if (::Application) ::Application->ProcessMessages();
    } else if (upper.contains(QLatin1String("ERROR")) || styleEx == 0x410101) {
      if (IsWindow(dialog)) DestroyWindow(dialog);
    }
  }
}

void TEmbeddedWB::HookInnerWindows() {
  if (ComponentState().Contains(csDesigning) || !HandleAllocated()) return;
  if (documentView_.NewProc && folderView_.NewProc) return;
  if (!folderView_.NewProc) {
    if (HWND listView = FindChildWindowByClass(QStringLiteral("SysListView32"))) {
      SubclassInnerWindow(folderView_, listView, false);
      return;
    }
  }
  if (documentView_.NewProc) return;
  HWND view = GetWindow(Handle(), GW_CHILD);
  if (!view) return;
  SubclassInnerWindow(documentView_, view, true);
  if (HWND document = GetWindow(view, GW_CHILD)) SubclassInnerWindow(documentWindow_, document, true);
}

void TEmbeddedWB::SubclassInnerWindow(TInnerWindowSubclass& subclass, HWND window, bool document) {
  subclass.Window = window;
  subclass.NewProc = MakeObjectInstance(
      [this, &subclass, document](TMessage& Msg) { InnerWindowProc(subclass, document, Msg); });
  subclass.OldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtr(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(subclass.NewProc)));
  if (!subclass.OldProc) {
    // The window refused the procedure: nothing is hooked.
    FreeObjectInstance(subclass.NewProc);
    subclass = TInnerWindowSubclass();
  }
}

void TEmbeddedWB::InnerWindowProc(TInnerWindowSubclass& subclass, bool document, TMessage& Msg) {
  QPointer<TEmbeddedWB> self(this);
  Msg.Result = CallWindowProc(subclass.OldProc, subclass.Window, Msg.Msg, Msg.WParam, Msg.LParam);
  if (!self) return;
  if (Msg.Msg == WM_DESTROY) {
    UnhookInnerWindows();
    return;
  }
  if (destroying_) return;
  switch (Msg.Msg) {
    case WM_SETFOCUS: {
      // The focus arrived inside the browser: the form learns that this
      // control is its active one, and the document takes the focus.
      TCustomForm* form = GetParentForm(this);
      if (!form || !CanFocus()) break;
      form->SetActiveControl(this);
      if (self && document) SetFocusToDoc();
      break;
    }
    default: break;
  }
}

void TEmbeddedWB::UnhookInnerWindows() {
  for (TInnerWindowSubclass* subclass : {&folderView_, &documentView_, &documentWindow_}) {
    if (!subclass->NewProc) continue;
    if (IsWindow(subclass->Window))
      SetWindowLongPtr(subclass->Window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(subclass->OldProc));
    // Freed while it runs, an instance goes once its call returns.
    FreeObjectInstance(subclass->NewProc);
    *subclass = TInnerWindowSubclass();
  }
}

void TEmbeddedWB::SetFocus() {
  if (CanFocus()) TCustomEmbeddedWB::SetFocus();
}

// ---------------------------------------------------------------- messages

void TEmbeddedWB::FolderViewArrowKey(HWND listView, WORD key, TShiftState shift) {
  LPARAM direction = 0;
  switch (key) {
    case VK_LEFT: direction = 0x400; break;
    case VK_UP: direction = 0x100; break;
    case VK_RIGHT: direction = 0x800; break;
    default: direction = 0x200; break;
  }
  const LRESULT focused = SendMessage(listView, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED);
  const LRESULT next = SendMessage(listView, LVM_GETNEXTITEM, WPARAM(focused), direction);
  if (next < 0 || next == focused) return;
  LVITEMW item;
  item.mask = LVIF_STATE;
  if (!shift.Contains(ssShift) && focused >= 0) {
    item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    item.state = 0;
    SendMessage(listView, LVM_SETITEMSTATE, WPARAM(focused), LPARAM(&item));
  }
  item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
  item.state = LVIS_FOCUSED | LVIS_SELECTED;
  SendMessage(listView, LVM_SETITEMSTATE, WPARAM(next), LPARAM(&item));
  SendMessage(listView, LVM_ENSUREVISIBLE, WPARAM(next), FALSE);
  SendMessage(listView, WM_SETFOCUS, 0, 0);
}

void TEmbeddedWB::WndProc(TMessage& Msg) {
  bool pass = true;
  switch (Msg.Msg) {
    case WM_CLOSE:
      if (OnCloseQuery) {
        bool canClose = true;
        OnCloseQuery(this, canClose);
        if (!canClose) pass = false;
      }
      break;
    case CN_KEYDOWN:
    case CN_KEYUP: {
      const WORD code = LOWORD(Msg.WParam);
      const TShiftState shift = KeyDataToShiftState(Msg.LParam);
      if (Msg.Msg == CN_KEYDOWN && code >= VK_LEFT && code <= VK_DOWN) {
        if (HWND listView = FindChildWindowByClass(QStringLiteral("SysListView32"))) {
          FolderViewArrowKey(listView, code, shift);
          pass = false;
          Msg.Result = 1;
        }
      }
      const TKeyEventEx& handler = Msg.Msg == CN_KEYDOWN ? OnKeyDown : OnKeyUp;
      if (handler) {
        Word key = code;
        handler(this, key, Word((Msg.LParam >> 16) & 0xFF), shift);
        Msg.WParam = key;
        if (key == 0) {
          pass = false;
          Msg.Result = 1;
        }
      }
      break;
    }
    default: break;
  }
  if (pass && !(Msg.Msg == CM_DOCWINDOWACTIVATE && ::Application && ::Application->Terminated())) {
    QPointer<TEmbeddedWB> self(this);
    TCustomEmbeddedWB::WndProc(Msg);
    if (!self) return;
  }
  if (enableMessageHandler_ && Msg.Msg == CN_KEYDOWN && Msg.WParam == VK_RETURN) Msg.Result = 0;
  if (OnMessage) {
    bool handled = Msg.Result != 0;
    OnMessage(this, Msg, handled);
    Msg.Result = handled ? 1 : 0;
  }
  // A click into a child window of the control (the document).
  if (Msg.Msg == WM_PARENTNOTIFY && OnClick) {
    const WORD event = LOWORD(Msg.WParam);
    if (event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN)
      OnClick(this, event == WM_LBUTTONDOWN ? mbLeft : mbRight, currentShiftState(), GET_X_LPARAM(Msg.LParam),
              GET_Y_LPARAM(Msg.LParam));
  }
  switch (Msg.Msg) {
    case WM_SIZE: interceptWindowPos_ = !EwbTools::IsXPSP2OrNewer(); break;
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(Msg.LParam);
      if (interceptWindowPos_ && pos && (pos->flags & (SWP_NOSIZE | SWP_NOMOVE))) {
        if (!(pos->flags & SWP_NOMOVE)) {
          pos->flags |= SWP_NOMOVE;
          if (OnMove) OnMove(this, pos->x, pos->y);
        }
        if (!(pos->flags & SWP_NOSIZE)) {
          pos->flags |= SWP_NOSIZE;
          if (OnResize) OnResize(this, pos->cx, pos->cy);
        }
      }
      break;
    }
    case WM_GETDLGCODE: Msg.Result = DLGC_WANTCHARS; break;
    default: break;
  }
}

void TEmbeddedWB::Dispatch(TMessage& Msg) {
  switch (Msg.Msg) {
    case CM_VISIBLECHANGED:
      TCustomEmbeddedWB::Dispatch(Msg);
      visible_ = Msg.WParam == 1;
      if (OnVisible) OnVisible(this, visible_);
      return;
    case kRefocusMessage: {
      // The application became active: the focus goes back into the document.
      TCustomForm* form = GetParentForm(this);
      if (form && qobject_cast<TEmbeddedWB*>(form->ActiveControl()) && CanFocus()) {
        form->SetActiveControl(this);
        SetFocusToDoc();
      }
      return;
    }
    default: TCustomEmbeddedWB::Dispatch(Msg); return;
  }
}

// ---------------------------------------------------------------- context menu

bool TEmbeddedWB::HasPopupMenuFilter() {
  return TCustomEmbeddedWB::HasPopupMenuFilter() || !disabledPopupMenuItems_.Empty();
}

void TEmbeddedWB::FilterPopupMenu(DWORD ID, HMENU Menu, IDispatch* Context) {
  TCustomEmbeddedWB::FilterPopupMenu(ID, Menu, Context);
  for (int i = 0; i <= int(rcsOpenLink); ++i)
    if (disabledPopupMenuItems_.Contains(TIEPopupMenuItem(i)))
      DeleteMenu(Menu, PopupMenuItemCommands[i], MF_BYCOMMAND);
}

// ---------------------------------------------------------------- COM

HRESULT TEmbeddedWB::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject && (riid == IID_IInternetProtocol || riid == IID_IInternetProtocolRoot)) {
    *ppvObject = static_cast<IInternetProtocol*>(this);
    AddRef();
    return S_OK;
  }
  return TCustomEmbeddedWB::QueryInterface(riid, ppvObject);
}

ULONG TEmbeddedWB::AddRef() { return TCustomEmbeddedWB::AddRef(); }
ULONG TEmbeddedWB::Release() { return TCustomEmbeddedWB::Release(); }

HRESULT TEmbeddedWB::GetHostInfo(DOCHOSTUIINFO* pInfo) {
  const HRESULT hr = TCustomEmbeddedWB::GetHostInfo(pInfo);
  if (FAILED(hr)) return hr;
  if (!pInfo->pchHostCss && !hostCSS_.isEmpty()) pInfo->pchHostCss = CoTaskMemDupString(hostCSS_);
  if (!pInfo->pchHostNS && !hostNS_.isEmpty()) pInfo->pchHostNS = CoTaskMemDupString(hostNS_);
  return hr;
}

HRESULT TEmbeddedWB::Start(LPCWSTR szUrl, IInternetProtocolSink* pOIProtSink, IInternetBindInfo* pOIBindInfo,
                           DWORD, HANDLE_PTR) {
  protocolSink_ = pOIProtSink;
  protocolBindInfo_ = pOIBindInfo;
  if (auto services = protocolSink_ ? protocolSink_.As<IServiceProvider>() : nullptr) {
    ComPtr<IHttpNegotiate> negotiate;
    if (SUCCEEDED(services->QueryService(IID_IHttpNegotiate, IID_IHttpNegotiate, &negotiate)) && negotiate) {
      OwnedTaskMem<WCHAR> additional;
      negotiate->BeginningTransaction(szUrl, nullptr, 0, additional.out());
    }
  }
  return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
}

HRESULT TEmbeddedWB::Continue(PROTOCOLDATA*) { return S_OK; }
HRESULT TEmbeddedWB::Abort(HRESULT, DWORD) { return E_NOTIMPL; }
HRESULT TEmbeddedWB::Terminate(DWORD) { return S_OK; }
HRESULT TEmbeddedWB::Suspend() { return E_NOTIMPL; }
HRESULT TEmbeddedWB::Resume() { return E_NOTIMPL; }
HRESULT TEmbeddedWB::Read(void*, ULONG, ULONG*) { return S_OK; }
HRESULT TEmbeddedWB::Seek(std::int64_t, DWORD, std::uint64_t*) { return E_NOTIMPL; }
HRESULT TEmbeddedWB::LockRequest(DWORD) { return S_OK; }
HRESULT TEmbeddedWB::UnlockRequest() { return S_OK; }

// ---------------------------------------------------------------- unit

void initialize() {
  EwbCore::initialize();
  RegisterClass<TEmbeddedWB>();
  RegisterEvents<TEmbeddedWB>({
      EventEntry("OnCloseQuery", &TEmbeddedWB::OnCloseQuery),
      EventEntry("OnMessage", &TEmbeddedWB::OnMessage),
      EventEntry("OnShowDialog", &TEmbeddedWB::OnShowDialog),
      EventEntry("OnBusyWait", &TEmbeddedWB::OnBusyWait),
      EventEntry("OnVisible", &TEmbeddedWB::OnVisible),
      EventEntry("OnKeyDown", &TEmbeddedWB::OnKeyDown),
      EventEntry("OnKeyUp", &TEmbeddedWB::OnKeyUp),
      EventEntry("OnClick", &TEmbeddedWB::OnClick),
  });
  fpEnvironmentSaved = std::fegetenv(&savedFpEnvironment) == 0;
  proxyWasSet = false;
  soundsWereTurnedOff = false;
  oleInitialized = SUCCEEDED(OleInitialize(nullptr));
  globalControl = new EwbControlComponent::TEwbControl(nullptr);
  globalControl->FocusControl()->SetActive(true);
  globalControl->MouseWheelFix()->SetActive(true);
}

void finalize() {
  if (proxyWasSet) EwbTools::RemoveProxy();
  proxyWasSet = false;
  if (soundsWereTurnedOff) EwbTools::ToggleNavigationSound(false);
  soundsWereTurnedOff = false;
  if (fpEnvironmentSaved) std::fesetenv(&savedFpEnvironment);
  if (oleInitialized) OleUninitialize();
  oleInitialized = false;
  delete globalControl;
  globalControl = nullptr;
}

}  // namespace EmbeddedWB
