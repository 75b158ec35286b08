#include "app/Menu.h"

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

}  // namespace

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
  WB->GoHome();
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

void TMyMenuForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                int Y) {}

// ---------------------------------------------------------------- unit

void initialize() {
  RegisterHandlers<TMyMenuForm>({
      HandlerEntry("FormCreate", &TMyMenuForm::FormCreate),
      HandlerEntry("FormDestroy", &TMyMenuForm::FormDestroy),
      HandlerEntry("FormCloseQuery", &TMyMenuForm::FormCloseQuery),
      HandlerEntry("FormMouseDown", &TMyMenuForm::FormMouseDown),
#define NOCTIVANE_MENU_FIELD_ENTRY(Class, Name) FieldEntry(#Name, &TMyMenuForm::Name),
      NOCTIVANE_MENU_FIELDS(NOCTIVANE_MENU_FIELD_ENTRY)
#undef NOCTIVANE_MENU_FIELD_ENTRY
  });
}

void finalize() {}

}  // namespace Menu
