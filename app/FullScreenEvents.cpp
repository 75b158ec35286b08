// The events tab of the tools window: while analysis is on, the browser's
// events are logged, one owner-drawn line each, through a list of filters.
#include <QTime>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/Printers.h"
#include "platform/classlib/Streaming.h"
#include "platform/rtl/IniFiles.h"

namespace FullScreen {

namespace {

// The filters as the window is built, in their order.
constexpr const char* kEventFilterItems[] = {"Allow Focus Change",
                                             "Authenticate",
                                             "Before Navigate",
                                             "Busy Wait",
                                             "Client To Host Window",
                                             "Close Query",
                                             "Command Exec",
                                             "Command State Change",
                                             "Doc Window Activate",
                                             "Document Complete",
                                             "Download Begin",
                                             "Download Complete",
                                             "Drag Drop",
                                             "Drag Enter",
                                             "Drag Leave",
                                             "Drag Over",
                                             "Drag Over 2",
                                             "Drop Event",
                                             "Enable Modeless",
                                             "End Drag",
                                             "Enter",
                                             "Evaluate New Window",
                                             "Exit",
                                             "File Download",
                                             "Filter Data Object",
                                             "Filter Popup Menu",
                                             "Frame Window Activate",
                                             "Get Drop Target",
                                             "Get External",
                                             "Get Host Info",
                                             "Get IDs Of Names",
                                             "Get Type Info",
                                             "Get Type Info Count",
                                             "Hide UI",
                                             "Invoke",
                                             "Key Down",
                                             "Key Up",
                                             "Masked Ctrl Char",
                                             "Message",
                                             "Mouse Down",
                                             "Mouse Up",
                                             "Move",
                                             "Move By",
                                             "Navigate Complete 2",
                                             "Navigate Error",
                                             "New Window 2",
                                             "NewWindow 3",
                                             "Populate NS Table",
                                             "Print Template Instantiation",
                                             "Print Template Teardown",
                                             "Privacy Impacted State Change",
                                             "Progress Change",
                                             "Query Service",
                                             "Quit",
                                             "Refresh",
                                             "Resize",
                                             "Resize Border",
                                             "Resize By",
                                             "Script Error",
                                             "Set Phishing Filter Status",
                                             "Set Secure Lock Icon",
                                             "Show Context Menu",
                                             "Show Dialog",
                                             "Show Help Request",
                                             "Show Message",
                                             "Show UI",
                                             "Start Drag",
                                             "Status Text Change",
                                             "Title Change",
                                             "Translate Accelerator",
                                             "Translate Url",
                                             "Unload",
                                             "Update Page Status",
                                             "Update UI",
                                             "Visible",
                                             "Window Closing",
                                             "Window Set Height",
                                             "Window Set Left",
                                             "Window Set Resizable",
                                             "Window Set Top",
                                             "Window Set Width",
                                             "Window State Changed",
                                             "Zoom Percent Change"};
static_assert(std::size(kEventFilterItems) == 83);

constexpr char kFiltersFile[] = "EventsFilters.ini";

// Colours of the log: selected lines, and the kinds of lines by their marker.
constexpr TColor kSelectedLineColor = TColor(0x895F0A);
constexpr TColor kCommandLineColor = clOlive;
constexpr TColor kDownloadLineColor = clTeal;
constexpr TColor kOtherLineColor = clGray;

// The document title of a printed log.
constexpr char kLogPrintTitle[] = "Noctivane Events";

// The three toggle buttons show their state, not the hover.
struct ToggleButton {
  const char* name;
  const char* group;
  const char* on;
  const char* off;
};

}  // namespace

// ---------------------------------------------------------------- filters

String TFullScreenForm::EventFiltersFile() const { return FAppPath + QLatin1String(kFiltersFile); }

void TFullScreenForm::ResetEventFilters() {
  TStrings* items = EventsCheckListBox->Items();
  items->BeginUpdate();
  items->Clear();
  for (const char* item : kEventFilterItems) items->Add(QLatin1String(item));
  items->EndUpdate();
}

void TFullScreenForm::LoadEventFilterSection(const String& section) {
  TIniFile ini(EventFiltersFile());
  TStringList keys;
  ini.ReadSection(section, keys);
  TStrings* items = EventsCheckListBox->Items();
  items->BeginUpdate();
  items->Clear();
  for (int i = 0; i < keys.Count(); ++i) items->Add(keys[i]);
  items->EndUpdate();
  // The list sorts its items: each takes its mark from [items] by its name.
  for (int i = 0; i < items->Count(); ++i)
    EventsCheckListBox->SetChecked(i, ini.ReadBool(QStringLiteral("items"), items->Get(i), false));
}

void TFullScreenForm::LoadEventFilters() {
  ResetEventFilters();
  if (!FileExists(EventFiltersFile())) return;
  LoadEventFilterSection(QStringLiteral("items"));
}

bool TFullScreenForm::EventFilterOn(const char* item) const {
  // By name: the list's positions change once the ini or the default button
  // has replaced its items.
  const int index = EventsCheckListBox->Items()->IndexOf(QLatin1String(item));
  return index >= 0 && EventsCheckListBox->Checked(index);
}

// ---------------------------------------------------------------- the log

void TFullScreenForm::LogBrowserEvent(TObject* Sender, const String& Name, const String& Extra1,
                                      const String& Extra2, const String& Extra3) {
  if ((::Application && ::Application->Terminated()) || !FAnalysisOn) return;
  String marker = QStringLiteral(" ... ");
  if (Name == QLatin1String("On Command State Change"))
    marker = QStringLiteral(" >> ");
  else if (Name == QLatin1String("On Download Begin") || Name == QLatin1String("On Download Complete"))
    marker = QStringLiteral(" << ");
  // Always with colons, whatever the process's time separator is.
  const String time =
      EventsTimeCheckBox->Checked() ? QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) : String();
  TStrings* lines = DebugListBox->Items();
  lines->Add(time + marker + Name + QLatin1Char(' ') + Extra1 + QLatin1Char(' ') + Extra2 + QLatin1Char(' ') +
             Extra3);
  DebugListBox->SetItemIndex(lines->Count() - 1);
}

void TFullScreenForm::LogFilteredEvent(const char* item, const char* name, const String& extra) {
  if (!item || EventFilterOn(item)) LogBrowserEvent(WB, QLatin1String(name), extra, String(), String());
}

void TFullScreenForm::DebugListBoxDrawItem(TWinControl* Control, int Index, TRect Rect,
                                           TOwnerDrawState State) {
  TCanvas* canvas = DebugListBox->Canvas();
  const String line = DebugListBox->Items()->Get(Index);
  // Marks after the first character; the last one found wins.
  const String rest = line.mid(1);
  if (rest.contains(QLatin1String(">>"))) canvas->Font()->SetColor(kCommandLineColor);
  if (rest.contains(QLatin1String("<<"))) canvas->Font()->SetColor(kDownloadLineColor);
  if (rest.contains(QLatin1String("..."))) canvas->Font()->SetColor(kOtherLineColor);
  if (State.Contains(odSelected)) {
    canvas->Brush()->SetColor(kSelectedLineColor);
    canvas->Font()->SetColor(clWhite);
  } else {
    canvas->Brush()->SetColor(clWhite);
  }
  canvas->FillRect(Rect);
  canvas->TextOut(Rect.Left, Rect.Top, line);
}

// ---------------------------------------------------------------- buttons and boxes

void TFullScreenForm::ShowEventsToggleLook(TObject* Sender) {
  static constexpr ToggleButton kToggles[] = {{"EV001Btn", "Events", "E001B.PNG", "E001A.PNG"},
                                              {"EV004Btn", "Controls", "C001B.PNG", "C001A.PNG"},
                                              {"EV005Btn", "Controls", "C002B.PNG", "C002A.PNG"}};
  const bool states[] = {FAnalysisOn, FDefaultFiltersOn, FEventsTimeControl};
  for (size_t i = 0; i < std::size(kToggles); ++i) {
    auto* image = dynamic_cast<TImage*>(FindComponent(QLatin1String(kToggles[i].name)));
    if (!image || (Sender && Sender != image)) continue;
    Menu::LoadSkinPicture(image, FAppPath,
                          QLatin1String(kToggles[i].group) + QLatin1Char('/') +
                              QLatin1String(states[i] ? kToggles[i].on : kToggles[i].off));
  }
}

void TFullScreenForm::EventsToggleMouseEnter(TObject* Sender) { ShowEventsToggleLook(Sender); }

void TFullScreenForm::EV001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  FAnalysisOn = !FAnalysisOn;
  EV001Btn->SetHint(FAnalysisOn ? QStringLiteral("Stop Analysis ... ")
                                : QStringLiteral("Start Analysis ... "));
  ShowEventsToggleLook(EV001Btn);
}

void TFullScreenForm::Ev002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  if (EventsSaveDialog->Execute()) DebugListBox->Items()->SaveToFile(EventsSaveDialog->FileName());
}

void TFullScreenForm::EV003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  if (PrintDialog->Execute()) PrintEventLog();
}

void TFullScreenForm::PrintEventLog() {
  TPrinter* printer = Printer();
  printer->SetTitle(QLatin1String(kLogPrintTitle));
  printer->BeginDoc();
  try {
    TCanvas* canvas = printer->Canvas();
    canvas->Font()->Assign(DebugListBox->Font());
    canvas->Font()->SetColor(clBlack);
    const int lineHeight = canvas->TextHeight(QStringLiteral("Xy")) + 2;
    const int margin = lineHeight * 2;
    int y = margin;
    TStrings* lines = DebugListBox->Items();
    for (int i = 0; i < lines->Count(); ++i) {
      if (y + lineHeight > printer->PageHeight() - margin) {
        printer->NewPage();
        y = margin;
      }
      canvas->TextOut(margin, y, lines->Get(i));
      y += lineHeight;
    }
    printer->EndDoc();
  } catch (...) {
    printer->Abort();
    throw;
  }
}

void TFullScreenForm::EV004BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  CheckAllEventFilters->SetChecked(false);
  for (int i = 0; i < EventsCheckListBox->Count(); ++i) EventsCheckListBox->SetChecked(i, false);
  OffsetSkinButton(Sender, -1);
  if (FileExists(EventFiltersFile())) LoadEventFilterSection(QStringLiteral("default"));
  FDefaultFiltersOn = !FDefaultFiltersOn;
  ShowEventsToggleLook(EV004Btn);
}

void TFullScreenForm::EV005BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  EventsTimeCheckBox->SetChecked(!FEventsTimeControl);
}

void TFullScreenForm::EventsTimeCheckBoxClick(TObject* Sender) {
  FEventsTimeControl = EventsTimeCheckBox->Checked();
  ShowEventsToggleLook(EV005Btn);
}

void TFullScreenForm::CheckAllEventFiltersClick(TObject* Sender) {
  const bool checked = CheckAllEventFilters->Checked();
  for (int i = 0; i < EventsCheckListBox->Count(); ++i) EventsCheckListBox->SetChecked(i, checked);
}

void TFullScreenForm::EventsCheckBoxClick(TObject* Sender) {
  const bool show = EventsCheckBox->Checked();
  for (TControl* c : std::initializer_list<TControl*>{EventsCheckListBox, EventsSplitter, EventsCheckPanel})
    c->SetVisible(show);
}

// ---------------------------------------------------------------- the browser's events

void TFullScreenForm::WBAllowFocusChange(TObject* Sender, bool& Value) {
  LogFilteredEvent(nullptr, "OnAllowFocusChange");
}

void TFullScreenForm::WBAuthenticate(TObject* Sender, HWND& hwnd, String& szUserName, String& szPassWord,
                                     HRESULT& Rezult) {
  LogFilteredEvent(nullptr, "OnAuthenticate");
}

void TFullScreenForm::WBBeforeNavigate2(TObject* Sender, IDispatch* pDisp, const OleVariant& URL,
                                        const OleVariant& Flags, const OleVariant& TargetFrameName,
                                        const OleVariant& PostData, const OleVariant& Headers, bool& Cancel) {
  if (!EventFilterOn("Before Navigate")) return;
  ++FBeforeNavigateCount;
  LogFilteredEvent(nullptr, "On Before Navigate", QStringLiteral(" (%1)").arg(FBeforeNavigateCount));
}

void TFullScreenForm::WBBusyWait(TEmbeddedWB* Sender, Cardinal AStartTime, Cardinal& TimeOut, bool& Cancel) {
  LogFilteredEvent("Busy Wait", "OnBusyWait", QString::number(GetTickCount() - AStartTime));
}

void TFullScreenForm::WBClick(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  LogFilteredEvent("Mouse Down", "On Click");
}

void TFullScreenForm::WBClientToHostWindow(TObject* Sender, int& CX, int& CY) {
  LogFilteredEvent("Client To Host Window", "On Client To Host Window");
}

void TFullScreenForm::WBCloseQuery(TObject* Sender, bool& CanClose) {
  LogFilteredEvent("Close Query", "On Close Query");
}

void TFullScreenForm::WBCommandExec(TObject* Sender, const GUID* CmdGroup, DWORD nCmdID, DWORD nCmdexecopt,
                                    const VARIANT* vaIn, VARIANT* vaOut, HRESULT& Rezult) {
  LogFilteredEvent("Command Exec", "On Command Exec");
}

void TFullScreenForm::WBDownloadBegin(TObject* Sender) {
  LogFilteredEvent("Download Begin", "On Download Begin");
}

void TFullScreenForm::WBDownloadComplete(TObject* Sender) {
  LogFilteredEvent("Download Complete", "On Download Complete");
}

void TFullScreenForm::WBDragDrop(TObject* Sender, TObject* Source, int X, int Y) {
  LogFilteredEvent("Drag Drop", "On Drag Drop");
}

void TFullScreenForm::WBDragLeave(TObject* Sender) { LogFilteredEvent("Drag Leave", "On Drag Leave"); }

void TFullScreenForm::WBDragOver(TObject* Sender, TObject* Source, int X, int Y, TDragState State,
                                 bool& Accept) {
  LogFilteredEvent("Drag Over", "On Drag Over");
}

void TFullScreenForm::WBDragOver2(TObject* Sender, int grfKeyState, TPoint pt, int& dwEffect,
                                  HRESULT& Rezult) {
  LogFilteredEvent("Drag Over 2", "On Drag Over 2");
}

void TFullScreenForm::WBEnableModeless(TObject* Sender, bool fEnable) {
  LogFilteredEvent("Enable Modeless", "On Enable Modeless");
}

void TFullScreenForm::WBEndDrag(TObject* Sender, TObject* Target, int X, int Y) {
  LogFilteredEvent("End Drag", "On End Drag");
}

void TFullScreenForm::WBEnter(TObject* Sender) { LogFilteredEvent("Enter", "On Enter"); }

void TFullScreenForm::WBEvaluateNewWindow(TObject* Sender, const String& pszUrl, const String& pszName,
                                          const String& pszUrlContext, const String& pszFeatures,
                                          bool fReplace, DWORD dwFlags, DWORD dwUserActionTime,
                                          HRESULT& Rezult) {
  LogFilteredEvent("Evaluate New Window", "On Evaluate New Window");
}

void TFullScreenForm::WBExit(TObject* Sender) { LogFilteredEvent("Exit", "On Exit"); }

void TFullScreenForm::WBFilterPopupMenu(TObject* Sender, DWORD ID, HMENU Menu, IDispatch* Context) {
  LogFilteredEvent("Filter Popup Menu", "On Filter Popup Menu");
}

void TFullScreenForm::WBGetExternal(TObject* Sender, ComPtr<IDispatch>& ppDispatch) {
  LogFilteredEvent("Get External", "On Get External");
}

void TFullScreenForm::WBGetHostInfo(TObject* Sender, DOCHOSTUIINFO& pInfo) {
  LogFilteredEvent("Get Host Info", "On Get Host Info");
}

void TFullScreenForm::WBGetIDsOfNames(TObject* Sender, REFIID IID, LPOLESTR* Names, UINT NameCount,
                                      LCID LocaleID, DISPID* DispIDs, HRESULT& Rezult) {
  LogFilteredEvent("Get IDs Of Names", "On Get IDs Of Names");
}

void TFullScreenForm::WBGetTypeInfoCount(TObject* Sender, UINT& Count, HRESULT& Rezult) {
  LogFilteredEvent("Get Type Info Count", "On Get Type Info Count");
}

void TFullScreenForm::WBHideUI(TObject* Sender, HRESULT& Rezult) {
  LogFilteredEvent("Hide UI", "On Hide UI");
}

void TFullScreenForm::WBMaskedCtrlChar(TObject* Sender, WideChar MaskedChar) {
  LogFilteredEvent("Masked Ctrl Char", "On Masked Ctrl Char");
}

// ---------------------------------------------------------------- unit

std::vector<THandlerInfo> EventsHandlers() {
  using F = TFullScreenForm;
  return {HandlerEntry("DebugListBoxDrawItem", &F::DebugListBoxDrawItem),
          HandlerEntry("EventsToggleMouseEnter", &F::EventsToggleMouseEnter),
          HandlerEntry("EV001BtnMouseUp", &F::EV001BtnMouseUp),
          HandlerEntry("Ev002BtnMouseUp", &F::Ev002BtnMouseUp),
          HandlerEntry("EV003BtnMouseUp", &F::EV003BtnMouseUp),
          HandlerEntry("EV004BtnMouseUp", &F::EV004BtnMouseUp),
          HandlerEntry("EV005BtnMouseUp", &F::EV005BtnMouseUp),
          HandlerEntry("EventsTimeCheckBoxClick", &F::EventsTimeCheckBoxClick),
          HandlerEntry("CheckAllEventFiltersClick", &F::CheckAllEventFiltersClick),
          HandlerEntry("EventsCheckBoxClick", &F::EventsCheckBoxClick),
          HandlerEntry("WBAllowFocusChange", &F::WBAllowFocusChange),
          HandlerEntry("WBAuthenticate", &F::WBAuthenticate),
          HandlerEntry("WBBeforeNavigate2", &F::WBBeforeNavigate2),
          HandlerEntry("WBBusyWait", &F::WBBusyWait),
          HandlerEntry("WBClick", &F::WBClick),
          HandlerEntry("WBClientToHostWindow", &F::WBClientToHostWindow),
          HandlerEntry("WBCloseQuery", &F::WBCloseQuery),
          HandlerEntry("WBCommandExec", &F::WBCommandExec),
          HandlerEntry("WBDownloadBegin", &F::WBDownloadBegin),
          HandlerEntry("WBDownloadComplete", &F::WBDownloadComplete),
          HandlerEntry("WBDragDrop", &F::WBDragDrop),
          HandlerEntry("WBDragLeave", &F::WBDragLeave),
          HandlerEntry("WBDragOver", &F::WBDragOver),
          HandlerEntry("WBDragOver2", &F::WBDragOver2),
          HandlerEntry("WBEnableModeless", &F::WBEnableModeless),
          HandlerEntry("WBEndDrag", &F::WBEndDrag),
          HandlerEntry("WBEnter", &F::WBEnter),
          HandlerEntry("WBEvaluateNewWindow", &F::WBEvaluateNewWindow),
          HandlerEntry("WBExit", &F::WBExit),
          HandlerEntry("WBFilterPopupMenu", &F::WBFilterPopupMenu),
          HandlerEntry("WBGetExternal", &F::WBGetExternal),
          HandlerEntry("WBGetHostInfo", &F::WBGetHostInfo),
          HandlerEntry("WBGetIDsOfNames", &F::WBGetIDsOfNames),
          HandlerEntry("WBGetTypeInfoCount", &F::WBGetTypeInfoCount),
          HandlerEntry("WBHideUI", &F::WBHideUI),
          HandlerEntry("WBMaskedCtrlChar", &F::WBMaskedCtrlChar)};
}

}  // namespace FullScreen
