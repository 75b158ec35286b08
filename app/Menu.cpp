#include "app/Menu.h"

#include <QPointer>
#include <QSet>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "EmbeddedWB/Source/EwbTools.h"
#include "EmbeddedWB/Source/SendMail_For_Ewb.h"
#include "app/FullScreen.h"
#include "platform/classlib/Dialogs.h"
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

// The frame's buttons keep these distances from the right edge of their
// panel, the gauge its distance from the bottom of the right frame.
constexpr int kCloseBtnOffset = 58;
constexpr int kMinimizeBtnOffset = 85;
constexpr int kNextPageBtnOffset = 94;
constexpr int kPreviousPageBtnOffset = 146;
constexpr int kRefreshBtnOffset = 198;
constexpr int kStopBtnOffset = 250;
constexpr int kPrintpageBtnOffset = 302;
constexpr int kCheckBtnOffset = 354;
constexpr int kProgressBarOffset = 156;

// The grip's rubber band never makes the window smaller than this.
constexpr int kMinResizeWidth = 800;
constexpr int kMinResizeHeight = 520;

// A grip resize under way: one at a time in the whole program, as the
// pressed grip holds the mouse. The band and the last cursor position are in
// screen coordinates.
bool resizing = false;
RECT resizeBand;
POINT resizeCursor;

// Where the link label leads: the site that hosts the program.
constexpr char kHostingSiteUrl[] = "https://github.com/";

// Colours of the lit labels.
constexpr TColor kLabelLit = 0x008000;
constexpr TColor kLabelDim = 0x808080;
constexpr TColor kSourceLabelLit = 0x808000;
constexpr TColor kSourceLabelDim = 0xF0CAA6;

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

void LoadSkinPicture(TImage* Image, const String& AppFolder, const String& Path, TObject* Reporter) {
  // Skin pictures that failed to load and were reported.
  static QSet<String> reported;
  const String file = AppFolder + QStringLiteral("Skins/Gold/") + Path;
  try {
    Image->Picture()->LoadFromFile(file);
  } catch (const Exception&) {
    if (Reporter && Application && !reported.contains(file)) {
      reported.insert(file);
      Application->HandleException(Reporter);
    }
  }
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
  // A skin picture that is missing leaves its image empty; the window still works.
  const String folder = IncludeTrailingPathDelimiter(ProgramDir());
  for (const FormPicture& p : kFormPictures)
    if (auto* image = dynamic_cast<TImage*>(FindComponent(QString::fromLatin1(p.image))))
      Menu::LoadSkinPicture(image, folder, QString::fromLatin1(p.file));
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

  HistoryMenu->CreateMenu();

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
  ApplyShape();
}

void TMyMenuForm::ApplyShape() {
  // The right-hand corners follow the width, the lower ones the height.
  for (int i = 2; i <= 9; ++i) FOutline[i].X += FGrowWidth;
  for (int i = 4; i <= 11; ++i) FOutline[i].Y += FGrowHeight;

  POINT corners[14];
  for (int i = 0; i < 14; ++i) corners[i] = POINT{FOutline[i].X, FOutline[i].Y};
  HRGN region = CreatePolygonRgn(corners, 14, ALTERNATE);
  if (region && !SetWindowRgn(Handle(), region, TRUE)) DeleteObject(region);

  CloseBtn->SetLeft(TopPanel->Width() - kCloseBtnOffset);
  MinimizeBtn->SetLeft(TopPanel->Width() - kMinimizeBtnOffset);
  NextPageBtn->SetLeft(BottomPanel->Width() - kNextPageBtnOffset);
  PreviousPageBtn->SetLeft(BottomPanel->Width() - kPreviousPageBtnOffset);
  RefreshBtn->SetLeft(BottomPanel->Width() - kRefreshBtnOffset);
  StopBtn->SetLeft(BottomPanel->Width() - kStopBtnOffset);
  PrintpageBtn->SetLeft(BottomPanel->Width() - kPrintpageBtnOffset);
  CheckBtn->SetLeft(BottomPanel->Width() - kCheckBtnOffset);
  ProgressBar->SetTop(RightPanel->Height() - kProgressBarOffset);
}

// ---------------------------------------------------------------- moving and resizing

void TMyMenuForm::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_MOVING)
    WMMoving(Message);
  else if (Message.Msg == SendMail_For_Ewb::WM_MAPI_FAILURE)
    // A page sent by mail that the mail system could not take.
    MessageDlg(SendMail_For_Ewb::EMapiError(MAPI_E_FAILURE).Message, mtError, TMsgDlgButtons{mbOK}, 0);
  else
    TForm::Dispatch(Message);
}

void TMyMenuForm::WMMoving(TMessage& Message) {
  auto* r = reinterpret_cast<RECT*>(Message.LParam);
  RECT work;
  if (r && SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0)) {
    // Shift, never shrink: a window larger than the work area ends up at its
    // right and bottom edges.
    const auto shift = [r](LONG dx, LONG dy) {
      r->left += dx;
      r->right += dx;
      r->top += dy;
      r->bottom += dy;
    };
    if (r->left < work.left) shift(work.left - r->left, 0);
    if (r->top < work.top) shift(0, work.top - r->top);
    if (r->right > work.right) shift(work.right - r->right, 0);
    if (r->bottom > work.bottom) shift(0, work.bottom - r->bottom);
  }
  TForm::Dispatch(Message);
}

void TMyMenuForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button != mbLeft) return;
  // The system moves the window as if it were dragged by its caption.
  ReleaseCapture();
  SendMessage(Handle(), WM_SYSCOMMAND, SC_DRAGMOVE, 0);
}

void TMyMenuForm::DrawResizeBand() {
  HDC screen = GetDC(nullptr);
  DrawFocusRect(screen, &resizeBand);
  ReleaseDC(nullptr, screen);
}

void TMyMenuForm::BottomRightBMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                        int Y) {
  // A second button pressed during a resize starts it afresh; the band
  // already on the screen goes first, so none is left behind.
  if (resizing) DrawResizeBand();
  resizing = true;
  const TPoint cursor = BottomRightB->ClientToScreen(TPoint(X, Y));
  resizeCursor = POINT{cursor.X, cursor.Y};
  GetWindowRect(Handle(), &resizeBand);
  DrawResizeBand();
  FResizeStartRight = resizeBand.right;
  FResizeStartBottom = resizeBand.bottom;
}

void TMyMenuForm::BottomRightBMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  if (!resizing) return;
  DrawResizeBand();
  const TPoint cursor = BottomRightB->ClientToScreen(TPoint(X, Y));
  const int dx = cursor.X - resizeCursor.x;
  const int dy = cursor.Y - resizeCursor.y;
  if (resizeBand.Width() + dx > kMinResizeWidth && resizeBand.right + dx < GetSystemMetrics(SM_CXSCREEN))
    resizeBand.right += dx;
  if (resizeBand.Height() + dy > kMinResizeHeight && resizeBand.bottom + dy <= GetSystemMetrics(SM_CYSCREEN))
    resizeBand.bottom += dy;
  resizeCursor = POINT{cursor.X, cursor.Y};
  DrawResizeBand();
}

void TMyMenuForm::BottomRightBMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (resizing) {
    DrawResizeBand();
    SetBounds(resizeBand.left, resizeBand.top, resizeBand.Width(), resizeBand.Height());
    FGrowWidth = resizeBand.right - FResizeStartRight;
    FGrowHeight = resizeBand.bottom - FResizeStartBottom;
  }
  resizing = false;
  ApplyShape();
  // The outline holds this growth now.
  FResizeStartRight = 0;
  FResizeStartBottom = 0;
  FGrowWidth = 0;
  FGrowHeight = 0;
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

// ---------------------------------------------------------------- skin buttons

// One skin button: its image, its pictures, its hint and its action.
struct TMyMenuForm::TSkinButtonInfo {
  TImage* TMyMenuForm::*Image;
  // Bitmap buttons have a normal, a hover and a pressed picture (Name + "_A",
  // "_B", "_C" + ".bmp"); the others have a normal and a hover picture (Name +
  // "A", "B" + ".PNG") and move a pixel while pressed. No group: no pictures.
  bool Bitmap;
  const char* Group;
  const char* Picture;
  // Bitmap buttons: the hourglass while the action runs (the others always
  // show it).
  bool Busy;
  // The label that shows the hint, the text on entering ("%1" stands for
  // the value Insert answers) and on leaving (null: cleared).
  TLabel* TMyMenuForm::*HintLabel;
  const char* EnterHint;
  String (TMyMenuForm::*Insert)() const;
  const char* LeaveHint;
  // The action: the browser goes to Link, or the method runs.
  const char* Link;
  void (TMyMenuForm::*Action)();
};

const TMyMenuForm::TSkinButtonInfo& TMyMenuForm::SkinInfo(TSkinButton Button) {
  using F = TMyMenuForm;
  static const char* const kMailHeading = "  Selected WEB-Mail:";
  static const char* const kSendHeading = "Send Mail";
  static const TSkinButtonInfo kButtons[] = {
      // sbCloseBtn .. sbCheckBtn: the frame's bitmap buttons.
      {&F::CloseBtn, true, "Buttons/Window", "Close001", false, nullptr, nullptr, nullptr, nullptr, nullptr,
       &F::CloseWindow},
      {&F::MinimizeBtn, true, "Buttons/Window", "Minimize001", false, nullptr, nullptr, nullptr, nullptr,
       nullptr, &F::MinimizeWindow},
      {&F::NextPageBtn, true, "Buttons/Navigate", "NextPage001", true, nullptr, nullptr, nullptr, nullptr,
       nullptr, &F::GoForward},
      {&F::PreviousPageBtn, true, "Buttons/Navigate", "PreviousPage001", true, nullptr, nullptr, nullptr,
       nullptr, nullptr, &F::GoBack},
      {&F::RefreshBtn, true, "Buttons/Navigate", "RefreshPage001", true, nullptr, nullptr, nullptr, nullptr,
       nullptr, &F::RefreshPage},
      {&F::StopBtn, true, "Buttons/Navigate", "Stop001", true, nullptr, nullptr, nullptr, nullptr, nullptr,
       &F::StopPage},
      {&F::PrintpageBtn, true, "Buttons/Navigate", "PrintPage001", true, nullptr, nullptr, nullptr, nullptr,
       nullptr, &F::ShowPrintPreview},
      {&F::CheckBtn, true, "Buttons/Navigate", "Check001", false, nullptr, nullptr, nullptr, nullptr, nullptr,
       &F::ToggleSidePanel},
      // sbHomeBtn .. sbClearHistoryBtn: the side panel's tools.
      {&F::HomeBtn, false, "System", "HB001", true, &F::ProcessLabel, "Go to home page ... ", nullptr,
       nullptr, nullptr, &F::GoToStartPage},
      {&F::FindDialogBtn, false, "System", "SB001", true, &F::ProcessLabel, "Find dialog ... ", nullptr,
       nullptr, nullptr, &F::ShowFindDialog},
      {&F::SelectMailBtn, false, "System", "WM001", true, &F::ProcessLabel, "Web-mail tools ... ", nullptr,
       nullptr, nullptr, &F::ToggleMailPanel},
      {&F::AddFavoriteBtn, false, "FavoritesList", "FL001", true, &F::ProcessLabel,
       "Add page  \"%1\" to favorites ... ", &F::AddressText, nullptr, nullptr, &F::AddPageToFavorites},
      {&F::DeleteFavoriteBtn, false, "FavoritesList", "FL002", true, &F::ProcessLabel,
       "Delete page  \"%1\" from favorites ... ", &F::SelectedFavoriteCaption, nullptr, nullptr,
       &F::DeleteSelectedFavorite},
      {&F::ExportFavoritesBtn, false, "FavoritesList", "FL003", true, &F::ProcessLabel,
       "Export favorites in %1", &F::ExportTargetName, nullptr, nullptr, &F::ExportFavorites},
      {&F::ClearHistoryBtn, false, "History", "DH001", true, &F::ProcessLabel, "Clear history ... ", nullptr,
       nullptr, nullptr, &F::ClearHistory},
      // sbFN001Btn .. sbFN012Btn: the quick links.
      {&F::FN001Btn, false, "FavoriteNet", "N001", true, &F::SocialSetLabel, "bing.com", nullptr, nullptr,
       "http://www.bing.com", nullptr},
      {&F::FN002Btn, false, "FavoriteNet", "N002", true, &F::SocialSetLabel, "google.com", nullptr, nullptr,
       "http://www.google.com", nullptr},
      {&F::FN003Btn, false, "FavoriteNet", "N003", true, &F::SocialSetLabel, "yahoo.com", nullptr, nullptr,
       "http://www.yahoo.com", nullptr},
      {&F::FN004Btn, false, "FavoriteNet", "N004", true, &F::SocialSetLabel, "YouTube - Broadcast Yorself",
       nullptr, nullptr, "http://www.youtube.com", nullptr},
      {&F::FN005Btn, false, "FavoriteNet", "N005", true, &F::SocialSetLabel, "flickr.com - You Photos",
       nullptr, nullptr, "http://www.flickr.com", nullptr},
      {&F::FN006Btn, false, "FavoriteNet", "N006", true, &F::SocialSetLabel, "RSS feeds", nullptr, nullptr,
       "http://www.feedspot.com", nullptr},
      {&F::FN007Btn, false, "FavoriteNet", "N007", true, &F::SocialSetLabel,
       "facebook.com - The people in your life", nullptr, nullptr, "http://www.facebook.com", nullptr},
      {&F::FN008Btn, false, "FavoriteNet", "N008", true, &F::SocialSetLabel, "linkedin.com", nullptr, nullptr,
       "http://www.linkedin.com", nullptr},
      {&F::FN009Btn, false, "FavoriteNet", "N009", true, &F::SocialSetLabel, "twitter.com", nullptr, nullptr,
       "http://twitter.com", nullptr},
      {&F::FN010Btn, false, "FavoriteNet", "N010", true, &F::SocialSetLabel, "Discover Content on the Web",
       nullptr, nullptr, "http://www.pinterest.com/", nullptr},
      {&F::FN011Btn, false, "FavoriteNet", "N011", true, &F::SocialSetLabel, "blogger.com - Express yourself",
       nullptr, nullptr, "http://www.blogger.com", nullptr},
      {&F::FN012Btn, false, "FavoriteNet", "N012", true, &F::SocialSetLabel, "wordpress.com", nullptr,
       nullptr, "https://wordpress.com", nullptr},
      // sbWM001Btn .. sbWM003Btn: web mail, each button with the service its
      // hint names.
      {&F::WM001Btn, false, "WebMail", "WM001", true, &F::SelectMailLabel, "  Selected WEB-Mail: Yahoo! Mail",
       nullptr, kMailHeading, nullptr, &F::OpenWebmailA},
      {&F::WM002Btn, false, "WebMail", "WM002", true, &F::SelectMailLabel, "  Selected WEB-Mail: Outlook.com",
       nullptr, kMailHeading, nullptr, &F::OpenWebmailC},
      {&F::WM003Btn, false, "WebMail", "WM003", true, &F::SelectMailLabel, "  Selected WEB-Mail: Gmail",
       nullptr, kMailHeading, nullptr, &F::OpenWebmailB},
      // sbGoBtn .. sbAttachURLBtn: buttons without hover pictures.
      {&F::GoBtn, false, nullptr, nullptr, true, &F::ProcessLabel, "Go to page %1 ... ",
       &F::TrimmedAddressText, nullptr, nullptr, &F::GoToAddress},
      {&F::AttachWebBtn, false, nullptr, nullptr, true, &F::SendMailLabel, "Send the page in e-mail ... ",
       nullptr, kSendHeading, nullptr, &F::MailPage},
      {&F::AttachURLBtn, false, nullptr, nullptr, true, &F::SendMailLabel, "Send the URL in mail ... ",
       nullptr, kSendHeading, nullptr, nullptr},
  };
  static_assert(std::size(kButtons) == sbAttachURLBtn + 1, "one entry per skin button, in order");
  return kButtons[Button];
}

void TMyMenuForm::LoadSkinPicture(TImage* Image, const char* Group, const String& FileName) {
  // Hovering comes again and again: the user hears of a broken picture once.
  Menu::LoadSkinPicture(Image, FAppFolder, QString::fromLatin1(Group) + QLatin1Char('/') + FileName, this);
}

void TMyMenuForm::SkinMouseDown(TSkinButton Button) {
  const TSkinButtonInfo& b = SkinInfo(Button);
  TImage* image = this->*b.Image;
  if (b.Bitmap) {
    LoadSkinPicture(image, b.Group, QString::fromLatin1(b.Picture) + QStringLiteral("_C.bmp"));
    return;
  }
  image->SetTop(image->Top() + 1);
  image->SetLeft(image->Left() + 1);
}

void TMyMenuForm::SkinMouseEnter(TSkinButton Button) {
  const TSkinButtonInfo& b = SkinInfo(Button);
  if (b.Group)
    LoadSkinPicture(
        this->*b.Image, b.Group,
        QString::fromLatin1(b.Picture) + (b.Bitmap ? QStringLiteral("_B.bmp") : QStringLiteral("B.PNG")));
  if (!b.HintLabel) return;
  String hint = QString::fromLatin1(b.EnterHint);
  if (b.Insert) hint = hint.arg((this->*b.Insert)());
  (this->*b.HintLabel)->SetCaption(hint);
}

void TMyMenuForm::SkinMouseLeave(TSkinButton Button) {
  const TSkinButtonInfo& b = SkinInfo(Button);
  if (b.Group)
    LoadSkinPicture(
        this->*b.Image, b.Group,
        QString::fromLatin1(b.Picture) + (b.Bitmap ? QStringLiteral("_A.bmp") : QStringLiteral("A.PNG")));
  if (b.HintLabel)
    (this->*b.HintLabel)->SetCaption(b.LeaveHint ? QString::fromLatin1(b.LeaveHint) : String());
}

void TMyMenuForm::SkinMouseUp(TSkinButton Button) {
  const TSkinButtonInfo& b = SkinInfo(Button);
  TImage* image = this->*b.Image;
  // The hourglass goes away again however the action ends.
  std::optional<TBusyCursor> busy;
  if (b.Bitmap) {
    if (b.Busy) busy.emplace();
    LoadSkinPicture(image, b.Group, QString::fromLatin1(b.Picture) + QStringLiteral("_B.bmp"));
  } else {
    busy.emplace();
    image->SetTop(image->Top() - 1);
    image->SetLeft(image->Left() - 1);
  }
  if (b.Link)
    WB->Go(QString::fromLatin1(b.Link), 0);
  else if (b.Action)
    (this->*b.Action)();
}

String TMyMenuForm::AddressText() const { return URLEdit->Text(); }

String TMyMenuForm::TrimmedAddressText() const { return Trim(URLEdit->Text()); }

// ---------------------------------------------------------------- the buttons' actions

void TMyMenuForm::CloseWindow() { Close(); }

void TMyMenuForm::MinimizeWindow() { SetWindowState(wsMinimized); }

void TMyMenuForm::GoForward() { WB->GoForward(); }

void TMyMenuForm::GoBack() { WB->GoBack(); }

void TMyMenuForm::RefreshPage() {
  StopIfBusy();
  WB->Refresh();
}

void TMyMenuForm::StopPage() {
  // Stopped once more even when idle.
  StopIfBusy();
  WB->Stop();
}

void TMyMenuForm::ShowPrintPreview() { WB->PrintPreview(); }

void TMyMenuForm::ToggleSidePanel() {
  if (SystemPanel->Visible()) {
    VSplitter->Hide();
    SystemPanel->Hide();
  } else {
    SystemPanel->Show();
    VSplitter->Show();
  }
}

void TMyMenuForm::GoToStartPage() {
  // The field as it stands, applied as the start page or not.
  WB->Go(StartPageEdit->Text(), 0);
}

void TMyMenuForm::ShowFindDialog() { WB->ShowFindDialog(); }

void TMyMenuForm::ToggleMailPanel() { SelectMailPanel->SetVisible(!SelectMailPanel->Visible()); }

void TMyMenuForm::AddPageToFavorites() {
  WB->AddToFavorites(WB->LocationURL(), WB->LocationName());
  // The list shows the new shortcut.
  if (FavoritesList) FavoritesList->Refresh();
}

void TMyMenuForm::ClearHistory() { WB->ClearHistory(); }

void TMyMenuForm::GoToAddress() {
  StopIfBusy();
  WB->Go(Trim(URLEdit->Text()), 0);
}

void TMyMenuForm::MailPage() {
  WB->SendPageAsAttachment(MyMenuForm, QStringLiteral("Site.html"), QStringLiteral("Check this site"),
                           QStringLiteral("With regards"));
}

void TMyMenuForm::OpenWebmailA() { EwbTools::GoWebmailA(WB); }

void TMyMenuForm::OpenWebmailB() { EwbTools::GoWebmailB(WB); }

void TMyMenuForm::OpenWebmailC() { EwbTools::GoWebmailC(WB); }

// ---------------------------------------------------------------- lit labels

void TMyMenuForm::Label2MouseEnter(TObject* Sender) {
  ProcessLabel->SetCaption(QStringLiteral("Start ECO mode ... "));
  Label2->Font()->SetColor(kLabelLit);
}

void TMyMenuForm::Label2MouseLeave(TObject* Sender) {
  ProcessLabel->SetCaption(String());
  Label2->Font()->SetColor(kLabelDim);
}

void TMyMenuForm::FullScreenBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                       int Y) {
  // The tools window is made at start-up; its answer is not used.
  if (FullScreen::FullScreenForm) FullScreen::FullScreenForm->Execute();
}

void TMyMenuForm::Label8MouseEnter(TObject* Sender) { Label8->Font()->SetColor(kSourceLabelLit); }

void TMyMenuForm::Label8MouseLeave(TObject* Sender) { Label8->Font()->SetColor(kSourceLabelDim); }

void TMyMenuForm::Image4MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  FillInformationTab();
}

void TMyMenuForm::NoctivaneLabelMouseEnter(TObject* Sender) { NoctivaneLabel->Font()->SetColor(kLabelLit); }

void TMyMenuForm::NoctivaneLabelMouseLeave(TObject* Sender) { NoctivaneLabel->Font()->SetColor(kLabelDim); }

void TMyMenuForm::NoctivaneLabelMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                        int Y) {
  WB->Go(QString::fromLatin1(kHostingSiteUrl), 0);
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
  // In the control's own font, whatever colour the information tool left
  // for the next text.
  InfoEdit->SelAttributes()->Assign(InfoEdit->Font());
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

// ---------------------------------------------------------------- unit

void initialize() {
  std::vector<THandlerInfo> handlers{
      HandlerEntry("FormCreate", &TMyMenuForm::FormCreate),
      HandlerEntry("FormDestroy", &TMyMenuForm::FormDestroy),
      HandlerEntry("FormCloseQuery", &TMyMenuForm::FormCloseQuery),
      HandlerEntry("FormMouseDown", &TMyMenuForm::FormMouseDown),
      HandlerEntry("URLEditUrlSelected", &TMyMenuForm::URLEditUrlSelected),
#define NOCTIVANE_SKIN_ENTRIES(Name)                                    \
  HandlerEntry(#Name "MouseDown", &TMyMenuForm::Name##MouseDown),       \
      HandlerEntry(#Name "MouseEnter", &TMyMenuForm::Name##MouseEnter), \
      HandlerEntry(#Name "MouseLeave", &TMyMenuForm::Name##MouseLeave), \
      HandlerEntry(#Name "MouseUp", &TMyMenuForm::Name##MouseUp),
      NOCTIVANE_SKIN_BUTTONS(NOCTIVANE_SKIN_ENTRIES)
#undef NOCTIVANE_SKIN_ENTRIES
          HandlerEntry("Label2MouseEnter", &TMyMenuForm::Label2MouseEnter),
      HandlerEntry("Label2MouseLeave", &TMyMenuForm::Label2MouseLeave),
      HandlerEntry("FullScreenBtnMouseUp", &TMyMenuForm::FullScreenBtnMouseUp),
      HandlerEntry("Label8MouseEnter", &TMyMenuForm::Label8MouseEnter),
      HandlerEntry("Label8MouseLeave", &TMyMenuForm::Label8MouseLeave),
      HandlerEntry("Image4MouseUp", &TMyMenuForm::Image4MouseUp),
      HandlerEntry("NoctivaneLabelMouseEnter", &TMyMenuForm::NoctivaneLabelMouseEnter),
      HandlerEntry("NoctivaneLabelMouseLeave", &TMyMenuForm::NoctivaneLabelMouseLeave),
      HandlerEntry("NoctivaneLabelMouseUp", &TMyMenuForm::NoctivaneLabelMouseUp),
      HandlerEntry("BottomRightBMouseDown", &TMyMenuForm::BottomRightBMouseDown),
      HandlerEntry("BottomRightBMouseMove", &TMyMenuForm::BottomRightBMouseMove),
      HandlerEntry("BottomRightBMouseUp", &TMyMenuForm::BottomRightBMouseUp),
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
  };
  // Each tab's handlers come from its own source.
  for (const auto& tab : {SettingsTabHandlers()}) handlers.insert(handlers.end(), tab.begin(), tab.end());
  RegisterHandlers<TMyMenuForm>(std::move(handlers));
}

void finalize() {
  ResetLocalHost();
  delete localHost;
  localHost = nullptr;
}

}  // namespace Menu
