// The main window's settings tabs: "System Tools" (proxy fields, download and
// user-interface options) and "Web Pages" (start page, start choice and the
// panel switches).
#include "app/FullScreen.h"
#include "app/Menu.h"

namespace Menu {

using EwbCore::TDownloadControlOption;
using EwbCore::TDownloadControlOptions;
using EwbCore::TUserInterfaceOption;
using EwbCore::TUserInterfaceOptions;

namespace {

// The options of the download list's items; the last item ("Work offline")
// drives none: the engine has no offline mode.
constexpr int kDownloadItems = 18;
constexpr TDownloadControlOption kStandardDownload[] = {EwbCore::DownloadImages, EwbCore::DownloadVideos,
                                                        EwbCore::DownloadBGSounds};

// The option each user-interface item names.
constexpr TUserInterfaceOption kUserInterfaceItems[] = {
    EwbCore::DisableTextSelect,
    EwbCore::DontUse3DBorders,
    EwbCore::DontUseScrollBars,
    EwbCore::PostponeScriptUntilActive,
    EwbCore::ForceOpenNewWindow,
    EwbCore::Reserved_OFFSCREEN,
    EwbCore::ForceFlatScrollBars,
    EwbCore::InsertDivTagOnEditMode,
    EwbCore::ActivateUIOnlyOnDocClick,
    EwbCore::ConsultBeforeRetrievingBehavior,
    EwbCore::CheckFontSupportsCodePage,
    EwbCore::EnableSubmitUrlInUTF8,
    EwbCore::EnablesFormsAutoComplete,
    EwbCore::ForceSameWindowNavigation,
    EwbCore::EmableImeLocalLanguages,
    EwbCore::EnableThemes,
    EwbCore::DisablePicsRatings,
    EwbCore::DisableFrameSetBorder,
    EwbCore::DisablesAutoNameSpaceCorrection,
    EwbCore::DisableLocalFileAccess,
    EwbCore::DisableUntrustedProtocol,
    EwbCore::CheckNavigationDelegatedToHost,
    EwbCore::EnableRedirectNotification,
    EwbCore::EnableDomWindlessControls,
    EwbCore::EnableWindowedControls,
    EwbCore::ForceUserActivationOnActiveXJava,
};
// The standard set: its items and, in this order, its options.
constexpr int kStandardUserInterfaceItems[] = {1, 12, 15};

constexpr WideChar kEnter = 13;

// The port a field's text names; a text that is no whole number from 1 to
// 65535 raises the conversion error.
int PortOf(const String& Text) {
  const int port = StrToInt(Text);
  if (port < 1 || port > 65535)
    throw EConvertError(Format(QStringLiteral("'%s' is not a valid port number"), {Text}));
  return port;
}

}  // namespace

// ---------------------------------------------------------------- option lists

void TMyMenuForm::DownloadCheckListClick(TObject*) {
  TDownloadControlOptions options = WB->DownloadOptions();
  for (int i = 0; i < kDownloadItems; ++i) {
    const auto option = TDownloadControlOption(i);
    if (DownloadCheckList->Checked(i))
      options.Include(option);
    else
      options.Exclude(option);
  }
  WB->SetDownloadOptions(options);
}

void TMyMenuForm::DownloadStandartCheckClick(TObject*) {
  if (DownloadStandartCheck->Checked()) {
    TDownloadControlOptions options = WB->DownloadOptions();
    for (const TDownloadControlOption option : kStandardDownload) options.Include(option);
    WB->SetDownloadOptions(options);
    for (int i = 0; i < int(std::size(kStandardDownload)); ++i) DownloadCheckList->SetChecked(i, true);
  } else {
    WB->SetDownloadOptions(TDownloadControlOptions());
    for (int i = 0; i < kDownloadItems; ++i) DownloadCheckList->SetChecked(i, false);
  }
}

void TMyMenuForm::UserInterfaceCheckListClick(TObject*) {
  TUserInterfaceOptions options = WB->UserInterfaceOptions();
  for (int i = 0; i < int(std::size(kUserInterfaceItems)); ++i) {
    if (UserInterfaceCheckList->Checked(i))
      options.Include(kUserInterfaceItems[i]);
    else
      options.Exclude(kUserInterfaceItems[i]);
  }
  WB->SetUserInterfaceOptions(options);
}

void TMyMenuForm::UserInterfaceCheckClick(TObject*) {
  TUserInterfaceOptions options;
  for (int i = 0; i < UserInterfaceCheckList->Items()->Count(); ++i)
    UserInterfaceCheckList->SetChecked(i, false);
  if (UserInterfaceCheck->Checked()) {
    for (const int item : kStandardUserInterfaceItems) {
      UserInterfaceCheckList->SetChecked(item, true);
      options.Include(kUserInterfaceItems[item]);
    }
  }
  WB->SetUserInterfaceOptions(options);
}

// ---------------------------------------------------------------- proxy

void TMyMenuForm::StoreProxyField(TEdit* Field) {
  EmbeddedWB::TProxySettings& proxy = *WB->ProxySettings();
  const String text = Field->Text();
  if (Field == Edit4)
    proxy.SetUserName(text);
  else if (Field == Edit5)
    proxy.SetPassword(text);
  else if (Field == Edit6)
    proxy.SetAddress(Trim(text));
  else if (Field == Edit7)
    proxy.SetPort(PortOf(Trim(text)));
  WB->ApplyProxySettings();
}

void TMyMenuForm::Edit4KeyPress(TObject*, WideChar& Key) {
  if (Key == kEnter) StoreProxyField(Edit4);
}
void TMyMenuForm::Edit5KeyPress(TObject*, WideChar& Key) {
  if (Key == kEnter) StoreProxyField(Edit5);
}
void TMyMenuForm::Edit6KeyPress(TObject*, WideChar& Key) {
  if (Key == kEnter) StoreProxyField(Edit6);
}
void TMyMenuForm::Edit7KeyPress(TObject*, WideChar& Key) {
  if (Key == kEnter) StoreProxyField(Edit7);
}

void TMyMenuForm::AutoLoadProxyCheckClick(TObject*) {
  WB->ProxySettings()->SetAutoLoadProxy(AutoLoadProxyCheck->Checked());
}

// ---------------------------------------------------------------- panel switches

void TMyMenuForm::SocialSetCheckClick(TObject*) { SocialSetPanel->SetVisible(SocialSetCheck->Checked()); }

void TMyMenuForm::StartPageCheckClick(TObject*) {
  StartPagePanel->SetVisible(StartPageCheck->Checked());
  Shape1->SetVisible(StartPageCheck->Checked());
}

// ---------------------------------------------------------------- start page

bool TMyMenuForm::CheckUrl(const String& URL) { return FullScreen::UrlAnswersOk(URL); }

void TMyMenuForm::ApplyStartPage() {
  FHomePageUrl = Trim(StartPageEdit->Text());
  // The start page is kept as the address that answered.
  if (CheckUrl(FHomePageUrl)) {
    if (!FHomePageUrl.contains(QLatin1String("://"))) FHomePageUrl.prepend(QStringLiteral("http://"));
    WB->SetIEHomePage(FHomePageUrl);
  }
  WB->GoHome();
}

void TMyMenuForm::StartPageEditKeyPress(TObject*, WideChar& Key) {
  if (Key == kEnter) ApplyStartPage();
}

void TMyMenuForm::ApplayHomePageMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  TBusyCursor busy;
  ApplyStartPage();
}

// ---------------------------------------------------------------- start choice

void TMyMenuForm::GoToLastVisitedPage() {
  if (WB->GetLastVisitedPage(FLastPageUrl) && FLastPageUrl.contains(QLatin1String("http")))
    WB->Navigate(FLastPageUrl);
}

void TMyMenuForm::HomePageCheckBoxClick(TObject*) {
  TBusyCursor busy;
  if (HomePageCheckBox->Checked()) {
    LastPageCheckBox->SetChecked(false);
    WB->GoHome();
  } else if (!LastPageCheckBox->Checked()) {
    LastPageCheckBox->SetChecked(true);  // its handler goes to the last page
  } else {
    GoToLastVisitedPage();
  }
}

void TMyMenuForm::LastPageCheckBoxClick(TObject*) {
  TBusyCursor busy;
  if (LastPageCheckBox->Checked()) {
    HomePageCheckBox->SetChecked(false);
    GoToLastVisitedPage();
  } else {
    HomePageCheckBox->SetChecked(true);
    if (CheckUrl(FHomePageUrl)) WB->SetIEHomePage(FHomePageUrl);
  }
}

// ---------------------------------------------------------------- handler table

std::vector<THandlerInfo> SettingsTabHandlers() {
  return {
      HandlerEntry("DownloadCheckListClick", &TMyMenuForm::DownloadCheckListClick),
      HandlerEntry("DownloadStandartCheckClick", &TMyMenuForm::DownloadStandartCheckClick),
      HandlerEntry("UserInterfaceCheckListClick", &TMyMenuForm::UserInterfaceCheckListClick),
      HandlerEntry("UserInterfaceCheckClick", &TMyMenuForm::UserInterfaceCheckClick),
      HandlerEntry("Edit4KeyPress", &TMyMenuForm::Edit4KeyPress),
      HandlerEntry("Edit5KeyPress", &TMyMenuForm::Edit5KeyPress),
      HandlerEntry("Edit6KeyPress", &TMyMenuForm::Edit6KeyPress),
      HandlerEntry("Edit7KeyPress", &TMyMenuForm::Edit7KeyPress),
      HandlerEntry("SocialSetCheckClick", &TMyMenuForm::SocialSetCheckClick),
      HandlerEntry("AutoLoadProxyCheckClick", &TMyMenuForm::AutoLoadProxyCheckClick),
      HandlerEntry("StartPageCheckClick", &TMyMenuForm::StartPageCheckClick),
      HandlerEntry("StartPageEditKeyPress", &TMyMenuForm::StartPageEditKeyPress),
      HandlerEntry("ApplayHomePageMouseUp", &TMyMenuForm::ApplayHomePageMouseUp),
      HandlerEntry("HomePageCheckBoxClick", &TMyMenuForm::HomePageCheckBoxClick),
      HandlerEntry("LastPageCheckBoxClick", &TMyMenuForm::LastPageCheckBoxClick),
  };
}

}  // namespace Menu
