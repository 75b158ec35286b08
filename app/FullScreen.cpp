#include "app/FullScreen.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/Menu.h"
#include "platform/classlib/Streaming.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/rtl/Folders.h"
#include "platform/shdocvw/ExDisp.h"
#include "platform/wininet/WinInet.h"

namespace FullScreen {

TFullScreenForm* FullScreenForm = nullptr;

namespace {

// One skin button: its image, its caption label (none: nullptr) and its
// pictures "<group>/<stem>A.PNG" (normal) and "<group>/<stem>B.PNG" (hover).
struct SkinButton {
  const char* image;
  const char* label;
  const char* group;
  const char* stem;
};

constexpr SkinButton kSkinButtons[] = {
    {"EM001Btn", "EM001Label", "ECOMode", "EM001"}, {"EM002Btn", "EM002Label", "ECOMode", "EM002"},
    {"EM003Btn", "EM003Label", "ECOMode", "EM003"}, {"EM004Btn", "EM004Label", "ECOMode", "EM004"},
    {"EM005Btn", "EM005Label", "ECOMode", "EM005"}, {"EM006Btn", nullptr, "ECOMode", "EM006"},
    {"EM007Btn", nullptr, "ECOMode", "EM007"},      {"EM008Btn", nullptr, "ECOMode", "EM008"},
    {"EM009Btn", nullptr, "ECOMode", "EM009"},      {"EM010Btn", nullptr, "ECOMode", "EM010"},
    {"EM011Btn", nullptr, "ECOMode", "EM011"},      {"EM013Btn", "EM013Label", "ECOMode", "EM013"},
    {"EM014Btn", "EM014Label", "ECOMode", "EM014"}, {"CC001Btn", nullptr, "Cache", "C001"},
    {"CC002Btn", nullptr, "Cache", "C002"},         {"CC003Btn", nullptr, "Cache", "C003"},
    {"EM014Btn", "EM014Label", "ECOMode", "EM014"}, {"CS001Btn", nullptr, "Capture", "C001"},
    {"CS002Btn", nullptr, "Capture", "C002"},       {"EV001Btn", nullptr, "Events", "E001"},
    {"Ev002Btn", nullptr, "Events", "E002"},        {"EV003Btn", nullptr, "Events", "E003"},
    {"EV004Btn", nullptr, "Controls", "C001"},      {"EV005Btn", nullptr, "Controls", "C002"},
};

// The button that `Sender` (its image or its label) belongs to, or null.
const SkinButton* FindSkinButton(TObject* Sender) {
  auto* component = dynamic_cast<TComponent*>(Sender);
  if (!component) return nullptr;
  const String name = component->Name();
  for (const SkinButton& b : kSkinButtons)
    if (name == QLatin1String(b.image) || (b.label && name == QLatin1String(b.label))) return &b;
  return nullptr;
}

// The lock pictures of the address bar.
constexpr const char* kUnlockPicture = "Unlock.PNG";
constexpr const char* kSSLPicture = "SSL.PNG";

// An address that starts with a scheme ("http://", "https://", "file:///").
bool HasScheme(const String& url) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
  return scheme.match(url).hasMatch();
}

// Closes an Internet handle when it is set.
struct InternetHandle {
  HINTERNET handle = nullptr;
  ~InternetHandle() {
    if (handle) InternetCloseHandle(handle);
  }
};

}  // namespace

// ---------------------------------------------------------------- address check

bool UrlAnswersOk(const String& Url, DWORD TimeoutMs) {
  String address = Trim(Url);
  if (address.isEmpty()) return false;
  if (!HasScheme(address)) address.prepend(QStringLiteral("http://"));
  // A local page answers when its file can be read.
  if (const QUrl url(address); url.isLocalFile()) {
    const QFileInfo file(url.toLocalFile());
    return file.isFile() && file.isReadable();
  }

  InternetHandle session;
  session.handle = InternetOpenW(reinterpret_cast<LPCWSTR>(u"InetURL:/1.0"), INTERNET_OPEN_TYPE_PRECONFIG,
                                 nullptr, nullptr, 0);
  if (!session.handle) return false;
  // An address that does not answer must not hold the window for long.
  DWORD timeout = TimeoutMs;
  InternetSetOptionW(session.handle, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
  InternetSetOptionW(session.handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);

  InternetHandle request;
  request.handle = InternetOpenUrlW(session.handle, reinterpret_cast<LPCWSTR>(address.utf16()), nullptr, 0,
                                    INTERNET_FLAG_RELOAD, 0);
  if (!request.handle) return false;

  // Three digits and the terminator fit.
  char16_t status[5] = {};
  DWORD length = sizeof status;
  if (!HttpQueryInfoW(request.handle, HTTP_QUERY_STATUS_CODE, status, &length, nullptr)) return false;
  const String code = String::fromUtf16(status);
  return code == QLatin1String("200") || code == QLatin1String("302");
}

// ---------------------------------------------------------------- showing

bool TFullScreenForm::Execute() {
  Screen->SetCursor(crDefault);
  return ShowModal() == mrOk;
}

void TFullScreenForm::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  Params.ExStyle |= WS_EX_APPWINDOW;
}

// ---------------------------------------------------------------- creation and closing

void TFullScreenForm::FormCreate(TObject* Sender) {
  FAppPath = IncludeTrailingPathDelimiter(ProgramDir());
  for (const SkinButton& b : kSkinButtons) ShowSkinButtonLook(FindComponent(QLatin1String(b.image)), false);
  // A missing picture leaves the image empty; the window still works.
  for (auto [image, file] : {std::pair{UnlockImage, kUnlockPicture}, std::pair{SSLImage, kSSLPicture}})
    Menu::LoadSkinPicture(image, FAppPath, QStringLiteral("System/") + QLatin1String(file));

  ShowParseTab();
  for (TImage* button : {EC001Btn, EC002Btn, EC003Btn, EC004Btn, EC005Btn, EC006Btn, EC007Btn})
    ShowEditButtonLook(button, false);
  WB->GoHome();
  FParseRunning = false;
  FDefaultFiltersOn = false;
  FParseTimeControl = false;
  FEventsTimeControl = false;
  LoadEventFilters();
  FAnalysisOn = false;
  EditWB->Clear();
}

void TFullScreenForm::FormDestroy(TObject* Sender) {}

void TFullScreenForm::FormCloseQuery(TObject* Sender, bool& CanClose) {
  if (WB) {
    WB->SaveLastVisitedPage();
    WB->SaveFormSize();
  }
  StopIfBusy();
  // A "Site.html" in the current folder is not this program's: mailing a
  // page keeps its copy in a folder of its own and removes it after the send.
  // A browser still busy after the stop keeps the window open; the user
  // closes again.
  CanClose = WB && !WB->Busy();
}

// ---------------------------------------------------------------- skin buttons

void TFullScreenForm::OffsetSkinButton(TObject* Sender, int Delta) {
  const SkinButton* button = FindSkinButton(Sender);
  if (!button) return;
  for (const char* name : {button->image, button->label}) {
    if (!name) continue;
    if (auto* control = dynamic_cast<TControl*>(FindComponent(QLatin1String(name))))
      control->SetBounds(control->Left() + Delta, control->Top() + Delta, control->Width(),
                         control->Height());
  }
}

void TFullScreenForm::ShowSkinButtonLook(TObject* Sender, bool Hover) {
  const SkinButton* button = FindSkinButton(Sender);
  if (!button) return;
  if (auto* image = dynamic_cast<TImage*>(FindComponent(QLatin1String(button->image)))) {
    // A missing picture keeps the one shown.
    Menu::LoadSkinPicture(image, FAppPath,
                          QLatin1String(button->group) + QLatin1Char('/') + String::fromLatin1(button->stem) +
                              QLatin1String(Hover ? "B.PNG" : "A.PNG"));
  }
  if (button->label)
    if (auto* label = dynamic_cast<TLabel*>(FindComponent(QLatin1String(button->label))))
      label->Font()->SetColor(Hover ? clTeal : clGray);
}

void TFullScreenForm::SkinButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                          int Y) {
  OffsetSkinButton(Sender, 1);
}

void TFullScreenForm::SkinButtonMouseEnter(TObject* Sender) { ShowSkinButtonLook(Sender, true); }

void TFullScreenForm::SkinButtonMouseLeave(TObject* Sender) { ShowSkinButtonLook(Sender, false); }

void TFullScreenForm::EM001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  // The tabs and their splitter come and go together.
  const bool show = !PageControl->Visible();
  PageControl->SetVisible(show);
  VSplitter->SetVisible(show);
}

void TFullScreenForm::EM002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  StopIfBusy();
  WB->GoHome();
}

void TFullScreenForm::EM003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  WB->ShowFindDialog();
}

void TFullScreenForm::EM004BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  WB->PrintPreview();
}

void TFullScreenForm::EM005BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  if (Menu::MyMenuForm) Menu::MyMenuForm->SetWindowState(wsNormal);
  Close();
}

void TFullScreenForm::EM007BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  WB->Refresh();
}

void TFullScreenForm::EM008BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  WB->GoBack();
}

void TFullScreenForm::EM009BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  WB->GoForward();
}

void TFullScreenForm::EM010BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  SetModalResult(mrCancel);
}

void TFullScreenForm::EM011BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Menu::MyMenuForm) Menu::MyMenuForm->SetCaption(WB->LocationName());
  SetWindowState(wsMinimized);
}

void TFullScreenForm::EM013BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  WB->SearchText(InternetSearch->Text());
}

void TFullScreenForm::EM014BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  StopIfBusy();
  WB->Go(Trim(URLEdit->Text()), 0);
}

// ---------------------------------------------------------------- the browser's events

void TFullScreenForm::WBProgressChange(TObject* Sender, int Progress, int ProgressMax) {
  LogFilteredEvent("Progress Change", "On Progress Change");
  const Menu::TGaugeState gauge = Menu::GaugePercent(Progress, ProgressMax);
  ProgressBar->SetProgress(gauge.Progress);
  ProgressBar->SetVisible(gauge.Visible);
}

void TFullScreenForm::WBCommandStateChange(TObject* Sender, int Command, bool Enable) {
  LogFilteredEvent("Command State Change", "On Command State Change");
  if (Command == CSC_NAVIGATEFORWARD)
    EM009Btn->SetEnabled(Enable);
  else if (Command == CSC_NAVIGATEBACK)
    EM008Btn->SetEnabled(Enable);
  EM006Btn->SetEnabled(true);
  EM007Btn->SetEnabled(true);
}

void TFullScreenForm::WBSetSecureLockIcon(TObject* Sender, int SecureLockIcon) {
  LogFilteredEvent("Set Secure Lock Icon", "On Set Secure Lock Icon");
  SecurityLabel->SetWidth(200);
  SecurityLabel->SetCaption(QStringLiteral("Secure Level: ") + Menu::SecureLevelName(SecureLockIcon));
}

void TFullScreenForm::WBTitleChange(TObject* Sender, const String& Text) {
  LogFilteredEvent("Title Change", "On Title Change");
  // The browser's own idea of the page's name, not the event's text.
  if (Menu::MyMenuForm) Menu::MyMenuForm->SetCaption(WB->LocationName());
}

void TFullScreenForm::WBNavigateComplete2(TObject* Sender, IDispatch* pDisp, const OleVariant& URL) {
  UpdateSecurityImages();
  URLEdit->SetText(WB->LocationURL());
  LogFilteredEvent(nullptr, "On Navigate Complete 2");
}

void TFullScreenForm::WBDocumentComplete(TObject* Sender, IDispatch* pDisp, const OleVariant& URL) {
  LogFilteredEvent("Document Complete", "On Document Complete");
  // The address of the document that completed, so a frame shows its own.
  // Without an HTML document there (a browser object showing something
  // else, or no browser object at all) the event's own address stands.
  String address = URL.toString();
  const ComPtr<IWebBrowser2> browser = ComPtr<IDispatch>(pDisp).As<IWebBrowser2>();
  ComPtr<IDispatch> document;
  if (browser && SUCCEEDED(browser->get_Document(&document)) && document) {
    if (ComPtr<IHTMLDocument2> html = document.As<IHTMLDocument2>()) {
      BSTR url = nullptr;
      if (SUCCEEDED(html->get_URL(&url))) address = BSTRToString(url);
      SysFreeString(url);
    }
  }
  URLEdit->SetText(address);
}

void TFullScreenForm::WBNewWindow2(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel) {
  if (Menu::MyMenuForm) Menu::MyMenuForm->OpenNewWindow(Sender, ppDisp);
  LogFilteredEvent(nullptr, "On New Window 2");
}

void TFullScreenForm::WBNewWindow3(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel, unsigned dwFlags,
                                   const String& bstrUrlContext, const String& bstrUrl) {
  if (Menu::MyMenuForm) Menu::MyMenuForm->OpenNewWindow(Sender, ppDisp);
  LogFilteredEvent(nullptr, "On New Window 3");
}

// ---------------------------------------------------------------- operations

bool TFullScreenForm::CheckUrlExists(const String& URL) { return UrlAnswersOk(URL); }

String TFullScreenForm::AddressToCheck() const {
  String address = URLEdit->Text();
  if (!address.isEmpty() && WB && address == WB->LocationName()) address = WB->LocationURL();
  const String trimmed = Trim(address);
  if (!trimmed.isEmpty() && !HasScheme(trimmed)) address = QStringLiteral("http://") + trimmed;
  return address;
}

void TFullScreenForm::StopIfBusy() {
  if (WB && WB->Busy()) WB->Stop();
}

void TFullScreenForm::UpdateSecurityImages() {
  String protocol, text;
  const bool secure = WB->GetSSLStatus(protocol, text);
  UnlockImage->SetVisible(!secure);
  SSLImage->SetVisible(secure);
}

// ---------------------------------------------------------------- unit

void initialize() {
  using F = TFullScreenForm;
  std::vector<THandlerInfo> handlers({HandlerEntry("FormCreate", &F::FormCreate),
                                      HandlerEntry("FormDestroy", &F::FormDestroy),
                                      HandlerEntry("FormCloseQuery", &F::FormCloseQuery),
                                      HandlerEntry("SkinButtonMouseDown", &F::SkinButtonMouseDown),
                                      HandlerEntry("SkinButtonMouseEnter", &F::SkinButtonMouseEnter),
                                      HandlerEntry("SkinButtonMouseLeave", &F::SkinButtonMouseLeave),
                                      HandlerEntry("EM001BtnMouseUp", &F::EM001BtnMouseUp),
                                      HandlerEntry("EM002BtnMouseUp", &F::EM002BtnMouseUp),
                                      HandlerEntry("EM003BtnMouseUp", &F::EM003BtnMouseUp),
                                      HandlerEntry("EM004BtnMouseUp", &F::EM004BtnMouseUp),
                                      HandlerEntry("EM005BtnMouseUp", &F::EM005BtnMouseUp),
                                      HandlerEntry("EM007BtnMouseUp", &F::EM007BtnMouseUp),
                                      HandlerEntry("EM008BtnMouseUp", &F::EM008BtnMouseUp),
                                      HandlerEntry("EM009BtnMouseUp", &F::EM009BtnMouseUp),
                                      HandlerEntry("EM010BtnMouseUp", &F::EM010BtnMouseUp),
                                      HandlerEntry("EM011BtnMouseUp", &F::EM011BtnMouseUp),
                                      HandlerEntry("EM013BtnMouseUp", &F::EM013BtnMouseUp),
                                      HandlerEntry("EM014BtnMouseUp", &F::EM014BtnMouseUp),
                                      HandlerEntry("WBProgressChange", &F::WBProgressChange),
                                      HandlerEntry("WBCommandStateChange", &F::WBCommandStateChange),
                                      HandlerEntry("WBSetSecureLockIcon", &F::WBSetSecureLockIcon),
                                      HandlerEntry("WBTitleChange", &F::WBTitleChange),
                                      HandlerEntry("WBNavigateComplete2", &F::WBNavigateComplete2),
                                      HandlerEntry("WBDocumentComplete", &F::WBDocumentComplete),
                                      HandlerEntry("WBNewWindow2", &F::WBNewWindow2),
                                      HandlerEntry("WBNewWindow3", &F::WBNewWindow3),
#define NOCTIVANE_FULLSCREEN_FIELD_ENTRY(Class, Name) FieldEntry(#Name, &F::Name),
                                      NOCTIVANE_FULLSCREEN_FIELDS(NOCTIVANE_FULLSCREEN_FIELD_ENTRY)
#undef NOCTIVANE_FULLSCREEN_FIELD_ENTRY
  });
  // Each tab's handlers, from the tab's own source.
  for (auto tab : {CacheTabHandlers, ParseTabHandlers, CaptureHandlers, EventsHandlers, F::EditTabHandlers})
    std::ranges::move(tab(), std::back_inserter(handlers));
  RegisterHandlers<F>(std::move(handlers));
}

void finalize() {}

}  // namespace FullScreen
