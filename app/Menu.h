#pragma once
// The main window: a skinned, borderless browser window. Its component tree
// comes from the form resource TMYMENUFORM; this unit keeps what the window
// reads when it is created and saves when it closes, drives its browser from
// the address box and the navigation buttons, follows the browser's events
// and opens further windows of its kind for pages that ask for one.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/ExportFavorites.h"
#include "EmbeddedWB/Source/FavoritesListView.h"
#include "EmbeddedWB/Source/FavoritesPopup.h"
#include "EmbeddedWB/Source/HistoryListView.h"
#include "EmbeddedWB/Source/HistoryMenu.h"
#include "EmbeddedWB/Source/IEAddress.h"
#include "EmbeddedWB/Source/ImportFavorites.h"
#include "EmbeddedWB/Source/SecurityManager.h"
#include "platform/classlib/CheckLst.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/StdCtrls.h"

#include <functional>
#include <vector>

namespace Menu {

using EmbeddedWB::TEmbeddedWB;
using ExportFavorites::TExportFavorite;
using FavoritesListView::TFavoritesListView;
using FavoritesPopup::TFavoritesPopup;
using HistoryListView::THistoryListView;
using HistoryMenu::THistoryMenu;
using IEAddress::TIEAddress;
using ImportFavorites::TImportFavorite;
using SecurityManager::TSecurityManager;

// The URL security manager (not handed to the browser).
#define NOCTIVANE_MENU_SECURITY_FIELDS(F) F(TSecurityManager, SecurityManager)

// The published components of the window, each filled by the form resource.
// clang-format off
#define NOCTIVANE_MENU_FIELDS(F)                                                                  \
  /* top frame */                                                                                 \
  F(TPanel, TopPanel) F(TImage, TopLeft) F(TImage, TopBorder) F(TImage, TopRight)                 \
  F(TImage, MinimizeBtn) F(TImage, CloseBtn) F(TLabel, ProcessLabel)                              \
  /* bottom frame */                                                                              \
  F(TPanel, BottomPanel) F(TImage, BottomLeft) F(TImage, BottomBorder) F(TImage, BottomRightA)    \
  F(TImage, BottomRightB) F(TImage, CheckBtn) F(TImage, PrintpageBtn) F(TImage, StopBtn)          \
  F(TImage, RefreshBtn) F(TImage, PreviousPageBtn) F(TImage, NextPageBtn)                         \
  /* side frames */                                                                               \
  F(TPanel, LeftPanel) F(TImage, LeftTop) F(TImage, LeftBorder) F(TImage, LeftBottom)             \
  F(TPanel, RightPanel) F(TImage, RightTop) F(TImage, RightBorder) F(TImage, RightBottom)         \
  F(TGauge, ProgressBar)                                                                          \
  /* side panel: quick links, search and web mail */                                              \
  F(TPanel, SystemPanel) F(TSplitter, VSplitter) F(TPanel, SocialSetPanel) F(TLabel, Label3)      \
  F(TLabel, SocialSetLabel) F(TImage, FN001Btn) F(TImage, FN002Btn) F(TImage, FN003Btn)           \
  F(TImage, FN004Btn) F(TImage, FN005Btn) F(TImage, FN006Btn) F(TImage, FN007Btn)                 \
  F(TImage, FN008Btn) F(TImage, FN009Btn) F(TImage, FN010Btn) F(TImage, FN011Btn)                 \
  F(TImage, FN012Btn) F(TPanel, SearchPanel) F(TImage, HomeBtn) F(TImage, SelectMailBtn)          \
  F(TImage, FindDialogBtn) F(TSplitter, HSplitter) F(TPanel, SelectMailPanel)                     \
  F(TLabel, SelectMailLabel) F(TImage, WM001Btn) F(TImage, WM002Btn) F(TImage, WM003Btn)          \
  F(TLabel, SendMailLabel) F(TImage, AttachWebBtn) F(TImage, AttachURLBtn)                        \
  F(TLabel, NoctivaneLabel) F(TPageControl, PageControl)                                          \
  /* "Web Pages" tab */                                                                           \
  F(TTabSheet, WebPagesSheet) F(TPanel, WebPagesTopPanel) F(TCheckBox, SocialSetCheck)            \
  F(TCheckBox, StartPageCheck) F(TCheckBox, LastPageCheckBox) F(TCheckBox, HomePageCheckBox)      \
  F(TPanel, StartPagePanel) F(TLabel, StartPageLabel) F(TEdit, StartPageEdit)                     \
  F(TImage, ApplayHomePage) F(TLabel, Label4) F(TShape, Shape1) F(TPanel, FavoritesToolPanel)     \
  F(TImage, AddFavoriteBtn) F(TImage, DeleteFavoriteBtn) F(TImage, ExportFavoritesBtn)            \
  /* "History" tab */                                                                             \
  F(TTabSheet, HistorySheet) F(TPanel, HistoryToolPanel) F(TImage, ClearHistoryBtn)               \
  /* "System Tools" tab */                                                                        \
  F(TTabSheet, SystemToolsSheet) F(TScrollBox, SystemToolsBox) F(TLabel, ProxyLabel)              \
  F(TImage, Image1) F(TCheckBox, AutoLoadProxyCheck) F(TLabel, AutoLoadProxyLabel)                \
  F(TLabel, UserNameLabel) F(TEdit, Edit4) F(TLabel, PasswordLabel) F(TEdit, Edit5)               \
  F(TLabel, AddressLabel) F(TEdit, Edit6) F(TLabel, PortLabel) F(TEdit, Edit7)                    \
  F(TLabel, DownloadLabel) F(TImage, Image2) F(TCheckBox, DownloadStandartCheck)                  \
  F(TLabel, DownloadStandartLabel) F(TCheckListBox, DownloadCheckList)                            \
  F(TLabel, UserInterfaceLabel) F(TImage, Image3) F(TCheckBox, UserInterfaceCheck)                \
  F(TLabel, UserInterfaceStandartLabel) F(TCheckListBox, UserInterfaceCheckList)                  \
  /* "Information" tab */                                                                         \
  F(TTabSheet, InfoSheet) F(TPanel, InfoToolPanel) F(TImage, Image4) F(TLabel, Label8)            \
  F(TRichEdit, InfoEdit)                                                                          \
  /* page and address bar */                                                                      \
  F(TPanel, PreviewPanel) F(TPanel, URLPanel) F(TIEAddress, URLEdit) F(TPanel, SelectPanel)       \
  F(TImage, GoBtn)                                                                                \
  F(TLabel, Label1) F(TImage, FullScreenBtn) F(TLabel, Label2) F(TLabel, SecurityLabel)           \
  F(TImage, SSLImage) F(TImage, UnlockImage) F(TShape, TopShape) F(TEmbeddedWB, WB)                \
  NOCTIVANE_MENU_FAVORITES_FIELDS(F)                                                              \
  NOCTIVANE_MENU_BOOKMARKS_FIELDS(F)                                                              \
  NOCTIVANE_MENU_SECURITY_FIELDS(F)
// clang-format on

// The favorites and history lists of the "Web Pages" and "History" tabs and
// the two menus of the same folders.
// clang-format off
#define NOCTIVANE_MENU_FAVORITES_FIELDS(F)                                                        \
  F(TFavoritesListView, FavoritesList) F(TFavoritesPopup, FavoritesPopup)                         \
  F(THistoryListView, HistoryListView1) F(THistoryMenu, HistoryMenu)
// clang-format on

// The bookmark file writer and reader of the favorites.
#define NOCTIVANE_MENU_BOOKMARKS_FIELDS(F) \
  F(TExportFavorite, ExportFavorite) F(TImportFavorite, ImportFavorite)

// The skin buttons, by the names of their images.
// clang-format off
#define NOCTIVANE_SKIN_BUTTONS(B)                                                                  \
  B(CloseBtn) B(MinimizeBtn) B(NextPageBtn) B(PreviousPageBtn) B(RefreshBtn) B(StopBtn)            \
  B(PrintpageBtn) B(CheckBtn) B(HomeBtn) B(FindDialogBtn) B(SelectMailBtn) B(AddFavoriteBtn)       \
  B(DeleteFavoriteBtn) B(ExportFavoritesBtn) B(ClearHistoryBtn) B(FN001Btn) B(FN002Btn)            \
  B(FN003Btn) B(FN004Btn) B(FN005Btn) B(FN006Btn) B(FN007Btn) B(FN008Btn) B(FN009Btn) B(FN010Btn)  \
  B(FN011Btn) B(FN012Btn) B(WM001Btn) B(WM002Btn) B(WM003Btn) B(GoBtn) B(AttachWebBtn)             \
  B(AttachURLBtn)
// clang-format on

class TMyMenuForm : public TForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TMyMenuForm(TComponent* AOwner) : TForm(AOwner) {}

  enum TSkinButton {
#define NOCTIVANE_SKIN_ID(Name) sb##Name,
    NOCTIVANE_SKIN_BUTTONS(NOCTIVANE_SKIN_ID)
#undef NOCTIVANE_SKIN_ID
  };

#define NOCTIVANE_MENU_FIELD(Class, Name) Class* Name = nullptr;
  NOCTIVANE_MENU_FIELDS(NOCTIVANE_MENU_FIELD)
#undef NOCTIVANE_MENU_FIELD

  // ---- handlers bound in the form resource
  // Places the window where [Position] of the ini file says, computes its
  // outline and sends the browser to the home page (not in a window that
  // OpenNewWindow makes: a page is on its way there).
  void FormCreate(TObject* Sender);
  // Writes the main window's geometry to [Position].
  void FormDestroy(TObject* Sender);
  // Saves the last visited page and the window bounds, stops a busy browser;
  // the window closes only when the browser is idle.
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  // Drags the window by its background and frame handles.
  void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // The address box's choice goes to the trimmed address text, with the
  // hourglass while it drives the browser.
  void URLEditUrlSelected(TObject* Sender, const String& Url, bool& Cancel);

  // The skin buttons. Each image acts as a button through four handlers
  // named after it; every handler works on its own image, whichever control
  // it is bound to. Hovering shows the hover picture and a hint, pressing
  // shows the pressed picture or moves the image a pixel down and right,
  // releasing puts it back and runs the button's action.
#define NOCTIVANE_SKIN_HANDLERS(Name)                                                           \
  void Name##MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) { \
    SkinMouseDown(sb##Name);                                                                    \
  }                                                                                             \
  void Name##MouseEnter(TObject* Sender) { SkinMouseEnter(sb##Name); }                          \
  void Name##MouseLeave(TObject* Sender) { SkinMouseLeave(sb##Name); }                          \
  void Name##MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {   \
    SkinMouseUp(sb##Name);                                                                      \
  }
  NOCTIVANE_SKIN_BUTTONS(NOCTIVANE_SKIN_HANDLERS)
#undef NOCTIVANE_SKIN_HANDLERS

  // Labels that light up under the mouse: the ECO-mode label (and its
  // image) opens the tools window, the document-source label (and its
  // image) fills the information tab, the link label goes to the site that
  // hosts the program.
  void Label2MouseEnter(TObject* Sender);
  void Label2MouseLeave(TObject* Sender);
  void FullScreenBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Label8MouseEnter(TObject* Sender);
  void Label8MouseLeave(TObject* Sender);
  void Image4MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void NoctivaneLabelMouseEnter(TObject* Sender);
  void NoctivaneLabelMouseLeave(TObject* Sender);
  void NoctivaneLabelMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // The settings tabs ("System Tools" and "Web Pages"): the option lists
  // and their standard sets act on WB at once; Enter in a proxy field stores
  // it and applies the proxy; the start page is written as the browser's
  // start page when its address answers; the two start-choice boxes act as a
  // pair. Nothing here is saved.
  void DownloadCheckListClick(TObject* Sender);
  void DownloadStandartCheckClick(TObject* Sender);
  void UserInterfaceCheckListClick(TObject* Sender);
  void UserInterfaceCheckClick(TObject* Sender);
  void Edit4KeyPress(TObject* Sender, WideChar& Key);
  void Edit5KeyPress(TObject* Sender, WideChar& Key);
  void Edit6KeyPress(TObject* Sender, WideChar& Key);
  void Edit7KeyPress(TObject* Sender, WideChar& Key);
  void SocialSetCheckClick(TObject* Sender);
  void AutoLoadProxyCheckClick(TObject* Sender);
  void StartPageCheckClick(TObject* Sender);
  void StartPageEditKeyPress(TObject* Sender, WideChar& Key);
  void ApplayHomePageMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void HomePageCheckBoxClick(TObject* Sender);
  void LastPageCheckBoxClick(TObject* Sender);
  // Whether the address answers (see FullScreen::UrlAnswersOk).
  static bool CheckUrl(const String& URL);

  // The bottom-right grip: pressing (any button) shows a rubber band over
  // the window, moving stretches its right and bottom edges (never below
  // 800 x 520 nor off the screen), releasing gives the window the band's
  // size and its outline the growth.
  void BottomRightBMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void BottomRightBMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void BottomRightBMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // The browser's events. Each acts on this window, the one whose browser
  // raised it.
  void WBDownloadBegin(TObject* Sender);
  void WBProgressChange(TObject* Sender, int Progress, int ProgressMax);
  void WBCommandStateChange(TObject* Sender, int Command, bool Enable);
  void WBTitleChange(TObject* Sender, const String& Text);
  void WBNavigateComplete2(TObject* Sender, IDispatch* pDisp, const OleVariant& URL);
  void WBDownloadComplete(TObject* Sender);
  void WBDocumentComplete(TObject* Sender, IDispatch* pDisp, const OleVariant& URL);
  void WBSetSecureLockIcon(TObject* Sender, int SecureLockIcon);
  void WBNewWindow2(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel);
  void WBNewWindow3(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel, unsigned dwFlags,
                    const String& bstrUrlContext, const String& bstrUrl);

  // Stops the browser when it is busy.
  void StopIfBusy();
  // Stop is enabled while the browser is busy.
  void UpdateStopButton();
  // The closed or the open lock, as the shown page is secure or not.
  void UpdateLockImages();
  // Opens a new window for a page that asks for one: a window of this class
  // carrying the main window's settings, 800 x 600 in the middle of the
  // screen, with no history and an empty information panel. Its browser is
  // handed back in ppDisp, so the page opens there.
  void OpenNewWindow(TObject* Sender, ComPtr<IDispatch>& ppDisp);
  // Resets the outline to that of an 800 x 600 window, then ApplyShape.
  void InitShape();
  // Adds the growth to the outline (which keeps the sum), makes it the
  // window's region and keeps the frame's buttons and the gauge at their
  // distances from the right and bottom edges.
  void ApplyShape();

 protected:
  // A drop shadow and a taskbar button of its own for every such window.
  void CreateParams(TCreateParams& Params) override;
  // WM_MOVING goes to WMMoving; a failed mail send is shown as its error.
  void Dispatch(TMessage& Message) override;
  // Keeps a moving window inside the screen's work area.
  void WMMoving(TMessage& Message);
  // The frame and button pictures of the form data, loaded once the
  // resource has made the images.
  void Loaded() override;

 private:
  friend struct MenuFormInternals;  // tests read the private state

  // The information panel: the browser's folders and settings, the
  // computer's name and address, the page's security and the browser's
  // identity.
  void ShowInformation();

  // The skin buttons' table and patterns.
  struct TSkinButtonInfo;
  static const TSkinButtonInfo& SkinInfo(TSkinButton Button);
  void SkinMouseDown(TSkinButton Button);
  void SkinMouseEnter(TSkinButton Button);
  void SkinMouseLeave(TSkinButton Button);
  void SkinMouseUp(TSkinButton Button);
  // Loads a picture of the skin into the image. A picture that cannot be
  // loaded leaves the image as it was and is reported once.
  void LoadSkinPicture(TImage* Image, const char* Group, const String& FileName);

  // The buttons' actions.
  void CloseWindow();
  void MinimizeWindow();
  void GoForward();
  void GoBack();
  void RefreshPage();
  void StopPage();
  void ShowPrintPreview();
  void ToggleSidePanel();
  void GoToStartPage();
  void ShowFindDialog();
  void ToggleMailPanel();
  void AddPageToFavorites();
  void ClearHistory();
  void GoToAddress();
  void MailPage();
  void OpenWebmailA();
  void OpenWebmailB();
  void OpenWebmailC();
  // Moves the selected favorite to the trash, after the shell's
  // confirmation: in the folder the list shows, the files named as its
  // caption with any extension, and the item itself (a folder only then).
  // Nothing selected deletes nothing. The list is filled again.
  void DeleteSelectedFavorite();
  // Writes the bookmark file; the browser shows it when it was written.
  void ExportFavorites();
  // The information tab: the page's text and its HTML.
  void FillInformationTab();
  // The caption of the favorite selected in the favorites list; empty while
  // there is no list or no selection.
  String SelectedFavoriteCaption() const;
  // The bookmark file the export writes.
  String ExportTargetName() const;
  // Hint texts' inserted values.
  String AddressText() const;
  String TrimmedAddressText() const;
  // The settings tabs' shared steps.
  void ApplyStartPage();
  void GoToLastVisitedPage();
  void StoreProxyField(TEdit* Field);

  // Draws (or, drawn twice, erases) the grip's rubber band on the screen.
  static void DrawResizeBand();

  TPoint FOutline[14];
  String FHomePageUrl;
  String FLastPageUrl;
  int FResizeStartRight = 0;
  int FResizeStartBottom = 0;
  int FGrowWidth = 0;
  int FGrowHeight = 0;
  String FAppFolder;
};

// The main window: the first TMyMenuForm, set before its FormCreate runs.
extern TMyMenuForm* MyMenuForm;

// The hourglass for the length of an action, also when the action raises.
class TBusyCursor {
 public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// What a progress gauge shows for one progress report of a browser. While a
// download reports real progress (Progress at least 1 of a ProgressMax of at
// least 2) the gauge is shown with the whole percentage done, computed
// without overflow and kept within 0..100 (a report may run past its
// maximum); otherwise it is hidden and rests at 1. Both windows' gauges
// follow this rule.
struct TGaugeState {
  bool Visible;
  int Progress;
};
TGaugeState GaugePercent(qint64 Progress, qint64 ProgressMax);

// Loads the skin picture <AppFolder>Skins/Gold/<Path> into the image. A
// picture that fails to load leaves the image as it was; with Reporter given
// the failure is reported (through the application, as raised by Reporter)
// once per path, however often the picture is asked for again.
void LoadSkinPicture(TImage* Image, const String& AppFolder, const String& Path, TObject* Reporter = nullptr);

// The name of a secure-lock level of the browser ("UnSecure" .. "128 Bit"),
// empty for a value it does not know.
String SecureLevelName(int SecureLockIcon);

// The local host query of the information panel (the computer's name and
// address; false with an error text when it fails). It runs once per
// program, on a worker thread, and every window reuses its answer.
using THostQuery = std::function<bool(String& HostName, String& Address, String& ErrorText)>;
// Replaces the query (an empty one puts back the system's) and forgets the
// answer; waits for a query still running. For tests.
void SetLocalHostQuery(THostQuery Query);

// The handlers of the settings tabs, for the window's handler table.
std::vector<THandlerInfo> SettingsTabHandlers();

// Registers the window's handlers and published fields with the form streaming.
void initialize();
void finalize();

}  // namespace Menu
