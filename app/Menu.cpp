#include "app/Menu.h"

#include <QPointer>

#include <memory>
#include <utility>
#include <vector>

#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Streaming.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/IniFiles.h"

namespace Menu {

TMyMenuForm* MyMenuForm = nullptr;

namespace {

// The outline of an 800 x 600 window, corner by corner in window coordinates.
constexpr TPoint kBaseOutline[14] = {{0, 26},    {26, 0},    {766, 0},   {790, 25},  {790, 356},
                                     {799, 366}, {799, 554}, {756, 598}, {447, 598}, {397, 548},
                                     {23, 549},  {10, 535},  {10, 169},  {0, 159}};
constexpr int kBaseWidth = 800;
constexpr int kBaseHeight = 600;

// The picture each image of the form data shows at start, under the skin folder.
struct FormPicture {
  const char* image;
  const char* file;
};
constexpr FormPicture kFormPictures[] = {
    {"TopLeft", "Buttons/Window/TopLeft.bmp"},
    {"TopBorder", "Buttons/Window/TopBorder.bmp"},
    {"TopRight", "Buttons/Window/TopRight.bmp"},
    {"MinimizeBtn", "Buttons/Window/Minimize001_A.bmp"},
    {"CloseBtn", "Buttons/Window/Close001_A.bmp"},
    {"BottomLeft", "Buttons/Window/BottomLeft.bmp"},
    {"BottomBorder", "Buttons/Window/BottomBorder.bmp"},
    {"BottomRightA", "Buttons/Window/BottomRightA.bmp"},
    {"BottomRightB", "Buttons/Window/BottomRightB.bmp"},
    {"CheckBtn", "Buttons/Navigate/Check001_A.bmp"},
    {"PrintpageBtn", "Buttons/Navigate/PrintPage001_A.bmp"},
    {"StopBtn", "Buttons/Navigate/Stop001_A.bmp"},
    {"RefreshBtn", "Buttons/Navigate/RefreshPage001_A.bmp"},
    {"PreviousPageBtn", "Buttons/Navigate/PreviousPage001_A.bmp"},
    {"NextPageBtn", "Buttons/Navigate/NextPage001_A.bmp"},
    {"LeftTop", "Buttons/Window/LeftTop.bmp"},
    {"LeftBorder", "Buttons/Window/LeftBorder.bmp"},
    {"LeftBottom", "Buttons/Window/LeftBottom.bmp"},
    {"RightTop", "Buttons/Window/RightTop.bmp"},
    {"RightBorder", "Buttons/Window/RightBorder.bmp"},
    {"RightBottom", "Buttons/Window/RightBottom.bmp"},
    {"FN001Btn", "FavoriteNet/N001A.PNG"},
    {"FN002Btn", "FavoriteNet/N002A.PNG"},
    {"FN003Btn", "FavoriteNet/N003A.PNG"},
    {"FN004Btn", "FavoriteNet/N004A.PNG"},
    {"FN005Btn", "FavoriteNet/N005A.PNG"},
    {"FN006Btn", "FavoriteNet/N006A.PNG"},
    {"FN007Btn", "FavoriteNet/N007A.PNG"},
    {"FN008Btn", "FavoriteNet/N008A.PNG"},
    {"FN009Btn", "FavoriteNet/N009A.PNG"},
    {"FN010Btn", "FavoriteNet/N010A.PNG"},
    {"FN011Btn", "FavoriteNet/N011A.PNG"},
    {"FN012Btn", "FavoriteNet/N012A.PNG"},
    {"HomeBtn", "System/HB001A.PNG"},
    {"SelectMailBtn", "System/WM001A.PNG"},
    {"FindDialogBtn", "System/SB001A.PNG"},
    {"WM001Btn", "WebMail/WM001A.PNG"},
    {"WM002Btn", "WebMail/WM002A.PNG"},
    {"WM003Btn", "WebMail/WM003A.PNG"},
    {"AttachWebBtn", "WebMail/AttachWeb.PNG"},
    {"AttachURLBtn", "WebMail/AttachURL.PNG"},
    {"ApplayHomePage", "System/Applay.PNG"},
    {"AddFavoriteBtn", "FavoritesList/FL001A.PNG"},
    {"DeleteFavoriteBtn", "FavoritesList/FL002A.PNG"},
    {"ExportFavoritesBtn", "FavoritesList/FL003A.PNG"},
    {"ClearHistoryBtn", "History/DH001A.PNG"},
    {"Image1", "FavoritesList/FL001A.PNG"},
    {"Image2", "FavoritesList/FL001A.PNG"},
    {"Image3", "FavoritesList/FL001A.PNG"},
    {"Image4", "System/Source.PNG"},
    {"GoBtn", "System/Go.PNG"},
    {"FullScreenBtn", "System/ECOMode.PNG"},
    {"SSLImage", "System/SSL.PNG"},
    {"UnlockImage", "System/Unlock.PNG"},
};

const String kPosition = QStringLiteral("Position");

// "Noctivane.ini" is read from where it is written: beside the program, or in
// the profile folder when the program folder cannot be written.
String IniFileName() { return ProgramFileForWriting(QStringLiteral("Noctivane.ini")); }

// Set while OpenNewWindow makes a window: that window's browser is about to
// take a page that asked for a new window, so it does not go home first.
bool openingNewWindow = false;

// The browser's command-state commands for its history.
constexpr int kCommandForward = 1;
constexpr int kCommandBack = 2;

// ---------------------------------------------------------------- the local host

// Runs the host query once, away from the user-interface thread.
class THostQueryThread : public TThread {
 public:
  explicit THostQueryThread(THostQuery query) : TThread(true), query_(std::move(query)) {}
  String HostName;
  String Address;

 protected:
  void Execute() override {
    String name, address, error;
    // A failed query shows as empty values; the error text is not shown.
    if (query_(name, address, error)) {
      HostName = name;
      Address = address;
    }
  }

 private:
  THostQuery query_;
};

// The one host query of the program and its answer.
struct LocalHost {
  THostQuery query;  // empty: the system's
  std::unique_ptr<THostQueryThread> thread;
  bool answered = false;
  String hostName;
  String address;
  // What to run once the answer is there, one entry per waiting window.
  std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
};
// Made on first use and freed by the unit's close-down, never by a static
// destructor (the thread must not outlive the Qt application).
LocalHost* localHost = nullptr;

LocalHost& TheLocalHost() {
  if (!localHost) localHost = new LocalHost;
  return *localHost;
}

// Forgets the answer, waiting for a query still running (its answer is
// dropped).
void ResetLocalHost() {
  if (!localHost) return;
  std::unique_ptr<THostQueryThread> running = std::move(localHost->thread);
  localHost->waiting.clear();
  if (running) running->WaitFor();
  localHost->answered = false;
  localHost->hostName.clear();
  localHost->address.clear();
}

// The computer's name and address when the query has answered (true). Else
// the query is started, once, and `onAnswer` runs on the main thread when
// the answer comes, unless `receiver` has gone by then.
bool LocalHostAnswer(String& hostName, String& address, QObject* receiver, std::function<void()> onAnswer) {
  LocalHost& host = TheLocalHost();
  if (host.answered) {
    hostName = host.hostName;
    address = host.address;
    return true;
  }
  bool known = false;
  for (const auto& entry : host.waiting) known = known || entry.first == receiver;
  if (!known) host.waiting.emplace_back(receiver, std::move(onAnswer));
  if (host.thread) return false;

  THostQuery query = host.query ? host.query : THostQuery(&EwbTools::CheckWinsock);
  host.thread = std::make_unique<THostQueryThread>(std::move(query));
  THostQueryThread* thread = host.thread.get();
  thread->OnTerminate = [thread](TObject*) {
    LocalHost& h = TheLocalHost();
    if (h.thread.get() != thread) return;  // forgotten meanwhile
    h.hostName = thread->HostName;
    h.address = thread->Address;
    h.answered = true;
    const auto waiting = std::exchange(h.waiting, {});
    for (const auto& [target, run] : waiting)
      if (target) run();
  };
  thread->Start();
  return false;
}

}  // namespace

// ---------------------------------------------------------------- shared helpers

TBusyCursor::TBusyCursor() { Screen->SetCursor(crHourGlass); }
TBusyCursor::~TBusyCursor() { Screen->SetCursor(crDefault); }

TGaugeState GaugePercent(qint64 Progress, qint64 ProgressMax) {
  if (Progress < 1 || ProgressMax < 2) return {false, 1};
  if (Progress >= ProgressMax) return {true, 100};
  // Progress < ProgressMax here, so the product fits in 128 bits and the
  // quotient is below 100.
  return {true, int(static_cast<__int128>(Progress) * 100 / ProgressMax)};
}

String SecureLevelName(int SecureLockIcon) {
  static const char* const kNames[] = {"UnSecure", "Mixed",    "Unknown Bits", "40 Bit",
                                       "56 Bit",   "Fortezza", "128 Bit"};
  if (SecureLockIcon < 0 || SecureLockIcon >= int(std::size(kNames))) return String();
  return String::fromLatin1(kNames[SecureLockIcon]);
}

void SetLocalHostQuery(THostQuery Query) {
  ResetLocalHost();
  TheLocalHost().query = std::move(Query);
}

// ---------------------------------------------------------------- creation

void TMyMenuForm::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  Params.WindowClass.style |= CS_DROPSHADOW;
  Params.ExStyle |= WS_EX_APPWINDOW;
}

void TMyMenuForm::Loaded() {
  TForm::Loaded();
  const String skins = IncludeTrailingPathDelimiter(ProgramDir()) + QStringLiteral("Skins/Gold/");
  for (const FormPicture& p : kFormPictures) {
    auto* image = dynamic_cast<TImage*>(FindComponent(QString::fromLatin1(p.image)));
    if (!image) continue;
    try {
      image->Picture()->LoadFromFile(skins + QString::fromLatin1(p.file));
    } catch (const Exception&) {
      // A skin picture that is missing leaves its image empty; the window
      // still works.
    }
  }
}

void TMyMenuForm::FormCreate(TObject* Sender) {
  FAppFolder = IncludeTrailingPathDelimiter(ProgramDir());

  // Every window places itself; [Position] describes the main window, whose
  // geometry a later window starts from.
  {
    TIniFile ini(IniFileName());
    SetLeft(ini.ReadInteger(kPosition, QStringLiteral("Left"), 0));
    SetTop(ini.ReadInteger(kPosition, QStringLiteral("Top"), 0));
    SetHeight(ini.ReadInteger(kPosition, QStringLiteral("Height"), kBaseHeight));
    SetWidth(ini.ReadInteger(kPosition, QStringLiteral("Width"), kBaseWidth));
  }

  FGrowWidth = Width() - kBaseWidth;
  FGrowHeight = Height() - kBaseHeight;
  InitShape();

  // The standard download options: images, videos and background sounds.
  for (int i = 0; i < 3; ++i) DownloadCheckList->SetChecked(i, true);
  StartPageEdit->SetText(WB->GetIEHomePage());
  // A home page still loading when the window's state is read onto it would
  // hold up the page that is waiting for the new window.
  if (!openingNewWindow) WB->GoHome();
}

void TMyMenuForm::InitShape() {
  std::copy(std::begin(kBaseOutline), std::end(kBaseOutline), std::begin(FOutline));
  // The right-hand corners follow the width, the lower ones the height.
  for (int i = 2; i <= 9; ++i) FOutline[i].X += FGrowWidth;
  for (int i = 4; i <= 11; ++i) FOutline[i].Y += FGrowHeight;
}

// ---------------------------------------------------------------- closing

void TMyMenuForm::FormCloseQuery(TObject* Sender, bool& CanClose) {
  if (WB) {
    WB->SaveLastVisitedPage();
    WB->SaveFormSize();
  }
  StopIfBusy();
  // A browser still busy after the stop keeps the window open; the user
  // closes again.
  CanClose = WB && !WB->Busy();
}

void TMyMenuForm::FormDestroy(TObject* Sender) {
  // [Position] holds the main window's geometry. Windows opened later are
  // freed before the main window, which writes last; they write nothing.
  if (this != MyMenuForm) return;
  try {
    TIniFile ini(IniFileName());
    ini.WriteInteger(kPosition, QStringLiteral("Left"), Left());
    ini.WriteInteger(kPosition, QStringLiteral("Width"), Width());
    ini.WriteInteger(kPosition, QStringLiteral("Top"), Top());
    ini.WriteInteger(kPosition, QStringLiteral("Height"), Height());
  } catch (const Exception&) {
    // The window is going away: the file keeps the position it had.
  }
}

void TMyMenuForm::StopIfBusy() {
  if (WB && WB->Busy()) WB->Stop();
}

// ---------------------------------------------------------------- address box and buttons

void TMyMenuForm::URLEditUrlSelected(TObject* Sender, const String& Url, bool& Cancel) {
  // The box's text, not the address it reports, is what is navigated to.
  TBusyCursor busy;
  StopIfBusy();
  WB->Go(Trim(URLEdit->Text()), 0);
}

void TMyMenuForm::GoBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  TBusyCursor busy;
  StopIfBusy();
  WB->Go(Trim(URLEdit->Text()), 0);
}

void TMyMenuForm::GoBtnMouseEnter(TObject* Sender) {
  ProcessLabel->SetCaption(QStringLiteral("Go to page ") + Trim(URLEdit->Text()) + QStringLiteral(" ... "));
}

void TMyMenuForm::StopBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  TBusyCursor busy;
  StopIfBusy();
  WB->Stop();
}

void TMyMenuForm::RefreshBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  TBusyCursor busy;
  StopIfBusy();
  WB->Refresh();
}

void TMyMenuForm::PreviousPageBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  TBusyCursor busy;
  WB->GoBack();
}

void TMyMenuForm::NextPageBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  TBusyCursor busy;
  WB->GoForward();
}

void TMyMenuForm::HomeBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  // The field as it stands, applied as the start page or not.
  TBusyCursor busy;
  WB->Go(StartPageEdit->Text(), 0);
}

// ---------------------------------------------------------------- the browser's events

void TMyMenuForm::WBDownloadBegin(TObject* Sender) { UpdateStopButton(); }

void TMyMenuForm::WBProgressChange(TObject* Sender, int Progress, int ProgressMax) {
  const TGaugeState gauge = GaugePercent(Progress, ProgressMax);
  ProgressBar->SetProgress(gauge.Progress);
  ProgressBar->SetVisible(gauge.Visible);
  ProcessLabel->SetCaption(gauge.Visible ? QStringLiteral("Download Progress ... ") : String());
}

void TMyMenuForm::WBCommandStateChange(TObject* Sender, int Command, bool Enable) {
  if (Command == kCommandForward)
    NextPageBtn->SetEnabled(Enable);
  else if (Command == kCommandBack)
    PreviousPageBtn->SetEnabled(Enable);
  StopBtn->SetEnabled(true);
  RefreshBtn->SetEnabled(true);
}

void TMyMenuForm::WBTitleChange(TObject* Sender, const String& Text) {
  // The browser's own idea of the page's name, not the event's text.
  SetCaption(WB->LocationName());
}

void TMyMenuForm::WBNavigateComplete2(TObject* Sender, IDispatch* pDisp, const OleVariant& URL) {
  ProcessLabel->SetCaption(QStringLiteral("Navigate Complete ..."));
  URLEdit->SetText(WB->LocationURL());
  UpdateLockImages();
  ShowInformation();
}

void TMyMenuForm::WBDownloadComplete(TObject* Sender) {
  ProcessLabel->SetCaption(WB->LocationName());
  ProgressBar->Hide();
  WB->SetFocusToDoc();
}

void TMyMenuForm::WBDocumentComplete(TObject* Sender, IDispatch* pDisp, const OleVariant& URL) {
  WB->SetFocusToDoc();
}

void TMyMenuForm::WBSetSecureLockIcon(TObject* Sender, int SecureLockIcon) {
  SecurityLabel->SetWidth(200);
  SecurityLabel->SetCaption(QStringLiteral("Secure Level: ") + SecureLevelName(SecureLockIcon));
}

void TMyMenuForm::WBNewWindow2(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel) {
  OpenNewWindow(Sender, ppDisp);
}

void TMyMenuForm::WBNewWindow3(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel, unsigned dwFlags,
                               const String& bstrUrlContext, const String& bstrUrl) {
  OpenNewWindow(Sender, ppDisp);
}

// ---------------------------------------------------------------- operations

void TMyMenuForm::UpdateStopButton() { StopBtn->SetEnabled(WB->Busy()); }

void TMyMenuForm::UpdateLockImages() {
  String protocol, text;
  const bool secure = WB->GetSSLStatus(protocol, text);
  SSLImage->SetVisible(secure);
  UnlockImage->SetVisible(!secure);
}

void TMyMenuForm::ShowInformation() {
  String hostName, address;
  LocalHostAnswer(hostName, address, this, [window = QPointer<TMyMenuForm>(this)] {
    // The computer's name and address have come: the panel shows them.
    if (window) window->ShowInformation();
  });
  String lastPage;
  WB->GetLastVisitedPage(lastPage);  // shown whether or not the read succeeded
  String protocol, security;
  WB->GetSSLStatus(protocol, security);

  TStrings* lines = InfoEdit->Lines();
  lines->BeginUpdate();
  lines->Clear();
  lines->Add(String());
  lines->Add(String());
  lines->Add(QStringLiteral("Home Page .......... ") + WB->GetIEHomePage());
  lines->Add(QStringLiteral("Favorites Path ...... ") + WB->GetFavoritesPath());
  lines->Add(QStringLiteral("History Path ......... ") + WB->GetHistoryPath());
  lines->Add(QStringLiteral("Computer Name ..... ") + hostName);
  lines->Add(QStringLiteral("Local IP Address .... ") + address);
  lines->Add(QStringLiteral("Last Visited Page .... ") + lastPage);
  lines->Add(QStringLiteral("Security Status ...... ") + security);
  // The browser control's identity: the object's address.
  lines->Add(QStringLiteral("Hash Code ............ ") + QString::number(reinterpret_cast<quintptr>(WB)));
  lines->Add(String());
  lines->EndUpdate();
}

void TMyMenuForm::OpenNewWindow(TObject* Sender, ComPtr<IDispatch>& ppDisp) {
  // The main window is the pattern, whichever window asked. Its state is
  // streamed as the form data is: a value equal to its class's default is
  // not written, so there the new window keeps what its own form data says.
  TMyMenuForm* pattern = MyMenuForm ? MyMenuForm : this;
  const String state = WriteComponentRes(pattern);

  TMyMenuForm* window = nullptr;
  {
    openingNewWindow = true;
    struct Reset {
      ~Reset() { openingNewWindow = false; }
    } reset;
    window = NewForm<TMyMenuForm>(Application);
  }
  ReadComponentResInto(state, window);
  window->Hide();
  window->SetPosition(poScreenCenter);
  window->SetHeight(kBaseHeight);
  window->SetWidth(kBaseWidth);
  // What the pattern shows of its own pages does not come along: the new
  // browser has no history yet and the panel describes no page.
  window->PreviousPageBtn->SetEnabled(false);
  window->NextPageBtn->SetEnabled(false);
  window->InfoEdit->Lines()->Clear();
  // The outline grows from the new window's own size.
  window->FGrowWidth = window->Width() - kBaseWidth;
  window->FGrowHeight = window->Height() - kBaseHeight;
  window->InitShape();

  // Cancel stays false: the asking browser goes on into this one.
  ppDisp = window->WB->DefaultInterface();
  window->Show();
  window->BringToFront();
}

void TMyMenuForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                int Y) {}

// ---------------------------------------------------------------- unit

void initialize() {
  RegisterHandlers<TMyMenuForm>({
      HandlerEntry("FormCreate", &TMyMenuForm::FormCreate),
      HandlerEntry("FormDestroy", &TMyMenuForm::FormDestroy),
      HandlerEntry("FormCloseQuery", &TMyMenuForm::FormCloseQuery),
      HandlerEntry("FormMouseDown", &TMyMenuForm::FormMouseDown),
      HandlerEntry("URLEditUrlSelected", &TMyMenuForm::URLEditUrlSelected),
      HandlerEntry("GoBtnMouseUp", &TMyMenuForm::GoBtnMouseUp),
      HandlerEntry("GoBtnMouseEnter", &TMyMenuForm::GoBtnMouseEnter),
      HandlerEntry("StopBtnMouseUp", &TMyMenuForm::StopBtnMouseUp),
      HandlerEntry("RefreshBtnMouseUp", &TMyMenuForm::RefreshBtnMouseUp),
      HandlerEntry("PreviousPageBtnMouseUp", &TMyMenuForm::PreviousPageBtnMouseUp),
      HandlerEntry("NextPageBtnMouseUp", &TMyMenuForm::NextPageBtnMouseUp),
      HandlerEntry("HomeBtnMouseUp", &TMyMenuForm::HomeBtnMouseUp),
      HandlerEntry("WBDownloadBegin", &TMyMenuForm::WBDownloadBegin),
      HandlerEntry("WBProgressChange", &TMyMenuForm::WBProgressChange),
      HandlerEntry("WBCommandStateChange", &TMyMenuForm::WBCommandStateChange),
      HandlerEntry("WBTitleChange", &TMyMenuForm::WBTitleChange),
      HandlerEntry("WBNavigateComplete2", &TMyMenuForm::WBNavigateComplete2),
      HandlerEntry("WBDownloadComplete", &TMyMenuForm::WBDownloadComplete),
      HandlerEntry("WBDocumentComplete", &TMyMenuForm::WBDocumentComplete),
      HandlerEntry("WBSetSecureLockIcon", &TMyMenuForm::WBSetSecureLockIcon),
      HandlerEntry("WBNewWindow2", &TMyMenuForm::WBNewWindow2),
      HandlerEntry("WBNewWindow3", &TMyMenuForm::WBNewWindow3),
#define NOCTIVANE_MENU_FIELD_ENTRY(Class, Name) FieldEntry(#Name, &TMyMenuForm::Name),
      NOCTIVANE_MENU_FIELDS(NOCTIVANE_MENU_FIELD_ENTRY)
#undef NOCTIVANE_MENU_FIELD_ENTRY
  });
}

void finalize() {
  ResetLocalHost();
  delete localHost;
  localHost = nullptr;
}

}  // namespace Menu
