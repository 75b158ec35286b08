#pragma once
// The main window: a skinned, borderless browser window. Its component tree
// comes from the form resource TMYMENUFORM; this unit keeps what the window
// reads when it is created and saves when it closes, drives its browser from
// the address box and the navigation buttons, follows the browser's events
// and opens further windows of its kind for pages that ask for one.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/IEAddress.h"
#include "platform/classlib/CheckLst.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/StdCtrls.h"

#include <functional>

namespace Menu {

using EmbeddedWB::TEmbeddedWB;
using IEAddress::TIEAddress;

// The published components of the window, each filled by the form resource.
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
  F(TImage, SSLImage) F(TImage, UnlockImage) F(TShape, TopShape) F(TEmbeddedWB, WB)

class TMyMenuForm : public TForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TMyMenuForm(TComponent* AOwner) : TForm(AOwner) {}

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

  // The address box and the navigation buttons: each shows the hourglass
  // while it drives the browser. Go and the address box's choice navigate
  // to the trimmed address text, Home to the start-page field as it stands.
  void URLEditUrlSelected(TObject* Sender, const String& Url, bool& Cancel);
  void GoBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void GoBtnMouseEnter(TObject* Sender);
  void StopBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void RefreshBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PreviousPageBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void NextPageBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void HomeBtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

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
  // Resets the outline to that of an 800 x 600 window and adds the growth.
  void InitShape();

 protected:
  // A drop shadow and a taskbar button of its own for every such window.
  void CreateParams(TCreateParams& Params) override;
  // The frame and button pictures of the form data, loaded once the
  // resource has made the images.
  void Loaded() override;

 private:
  friend struct MenuFormInternals;  // tests read the private state

  // The information panel: the browser's folders and settings, the
  // computer's name and address, the page's security and the browser's
  // identity.
  void ShowInformation();

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

// Registers the window's handlers and published fields with the form streaming.
void initialize();
void finalize();

}  // namespace Menu
