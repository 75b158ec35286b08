#pragma once
// The tools window ("ECO mode"): the program's second form, created hidden at
// start-up and shown modally from the main window. It has a browser of its
// own with an address box and a web-search field, a bottom toolbar of skin
// buttons and a page control of tool tabs beside the browser. Its component
// tree comes from the form resource TFULLSCREENFORM.
#include "EmbeddedWB/Source/EditDesigner.h"
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbControlComponent.h"
#include "EmbeddedWB/Source/IEAddress.h"
#include "EmbeddedWB/Source/RichEditBrowser.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/StdCtrls.h"

namespace FullScreen {

using EditDesigner::TEditDesigner;
using EmbeddedWB::TEmbeddedWB;
using EwbControlComponent::TEwbControl;
using IEAddress::TIEAddress;
using RichEditBrowser::TRichEditWB;

// The edit tab: the information panel, the command bar, the source editor,
// the inner HTML and text panes, the error line and the designer.
// clang-format off
#define NOCTIVANE_FULLSCREEN_EDIT_FIELDS(F)                                                       \
  F(TPanel, Panel4) F(TLabel, X_Label) F(TLabel, Y_Label) F(TLabel, MouseBtn_Label)               \
  F(TLabel, Key_Label) F(TLabel, Tag_Label) F(TLabel, Events_Label) F(TImage, EC006Btn)           \
  F(TImage, EC007Btn) F(TPanel, Panel6) F(TImage, EC001Btn) F(TImage, EC002Btn)                   \
  F(TImage, EC003Btn) F(TImage, EC004Btn) F(TImage, EC005Btn) F(TCheckBox, RTFCheckBox)           \
  F(TCheckBox, HTMCheckBox) F(TCheckBox, TXTCheckBox) F(TRichEditWB, EditWB)                      \
  F(TSplitter, EditWBSplitter) F(TMemo, HTMLMemo) F(TSplitter, HTMSplitter) F(TMemo, TextMemo)    \
  F(TPanel, Panel3) F(TLabel, Error_Label) F(TEditDesigner, EditDesigner)
// clang-format on

// The published components of the window, each filled by the form resource.
// clang-format off
#define NOCTIVANE_FULLSCREEN_FIELDS(F)                                                            \
  /* browser, address bar and tabs */                                                             \
  F(TPanel, PreviewPanel) F(TPanel, TopPanel) F(TPanel, URLPanel) F(TIEAddress, URLEdit)          \
  F(TImage, EM014Btn) F(TLabel, EM014Label) F(TPanel, SearchPanel) F(TEdit, InternetSearch)       \
  F(TImage, EM013Btn) F(TLabel, EM013Label) F(TImage, UnlockImage) F(TImage, SSLImage)            \
  F(TLabel, SecurityLabel) F(TImage, EM010Btn) F(TImage, EM011Btn)                                \
  F(TPageControl, PageControl) F(TTabSheet, ParceSheet) F(TTabSheet, EditPageSheet)               \
  F(TTabSheet, EventsTabSheet) F(TTabSheet, CacheTabSheet) F(TTabSheet, CaptureTabSheet)          \
  F(TSplitter, VSplitter) F(TEmbeddedWB, WB)                                                      \
  /* bottom toolbar */                                                                            \
  F(TPanel, ButtonPanel) F(TImage, EM001Btn) F(TLabel, EM001Label) F(TImage, EM002Btn)            \
  F(TLabel, EM002Label) F(TImage, EM003Btn) F(TLabel, EM003Label) F(TImage, EM004Btn)             \
  F(TLabel, EM004Label) F(TImage, EM005Btn) F(TLabel, EM005Label) F(TGauge, ProgressBar)          \
  F(TImage, EM006Btn) F(TImage, EM007Btn) F(TImage, EM008Btn) F(TImage, EM009Btn)                 \
  /* non-visual components */                                                                     \
  F(TPrintDialog, PrintDialog) F(TSavePictureDialog, SavePictureDialog)                           \
  F(TSaveDialog, EventsSaveDialog) F(TOpenDialog, OpenDialog) F(TEwbControl, EwbControl1)     \
  NOCTIVANE_FULLSCREEN_EDIT_FIELDS(F)
// clang-format on

class TFullScreenForm : public TForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TFullScreenForm(TComponent* AOwner) : TForm(AOwner) {}

#define NOCTIVANE_FULLSCREEN_FIELD(Class, Name) Class* Name = nullptr;
  NOCTIVANE_FULLSCREEN_FIELDS(NOCTIVANE_FULLSCREEN_FIELD)
#undef NOCTIVANE_FULLSCREEN_FIELD

  // Shows the window modally; True when it was closed with mrOk.
  bool Execute();

  // ---- handlers bound in the form resource
  // Notes the program folder, shows the buttons' normal pictures and sends
  // the (still hidden) browser to the home page.
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  // Saves the last visited page and the main window's bounds, stops a busy
  // browser and removes the page copy left for mail when nothing needs it;
  // the window closes only when its browser is idle.
  void FormCloseQuery(TObject* Sender, bool& CanClose);

  // The skin buttons: an image, often with a caption label that carries the
  // same handlers. Pressing moves both one pixel right and down (buttons
  // bound to SkinButtonMouseDown only), hovering shows the hover picture and
  // a teal caption, leaving the normal picture and a grey caption. Each
  // button's MouseUp handler moves a pressed button back, then acts.
  void SkinButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void SkinButtonMouseEnter(TObject* Sender);
  void SkinButtonMouseLeave(TObject* Sender);

  // Bottom toolbar: System (shows or hides the tabs), Home, Search, Print,
  // back to the main window, Stop (no action), Refresh, Back, Forward.
  void EM001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM004BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM005BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM007BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM008BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM009BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // Top bar: close, minimise, web search, go to the typed address.
  void EM010BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM011BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM013BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EM014BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // The browser's events.
  void WBProgressChange(TObject* Sender, int Progress, int ProgressMax);
  void WBCommandStateChange(TObject* Sender, int Command, bool Enable);
  void WBSetSecureLockIcon(TObject* Sender, int SecureLockIcon);
  void WBTitleChange(TObject* Sender, const String& Text);
  void WBNavigateComplete2(TObject* Sender, IDispatch* pDisp, const OleVariant& URL);
  void WBDocumentComplete(TObject* Sender, IDispatch* pDisp, const OleVariant& URL);
  // A page's new window opens as a main window, never as a tools window.
  void WBNewWindow2(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel);
  void WBNewWindow3(TObject* Sender, ComPtr<IDispatch>& ppDisp, bool& Cancel, unsigned dwFlags,
                    const String& bstrUrlContext, const String& bstrUrl);

  // ---- the edit tab (FullScreenEdit.cpp)
  // The command buttons: pressed, hovered and released as the other skin
  // buttons, with the "Design" pictures.
  void EditButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EditButtonMouseEnter(TObject* Sender);
  void EditButtonMouseLeave(TObject* Sender);
  // Edit / preview switch, print, link, radio button, image, reload the
  // source, show the source as the page.
  void EC001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EC002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EC003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EC004BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EC005BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EC006BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EC007BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // The pane switches.
  void RTFCheckBoxClick(TObject* Sender);
  void HTMCheckBoxClick(TObject* Sender);
  void TXTCheckBoxClick(TObject* Sender);
  // What the designer sees.
  void EditDesignerError(Integer ErrorCode, const String& ErrMessage);
  void EditDesignerInnerHtml(const String& innerHtml);
  void EditDesignerInnerText(const String& innerText);
  void EditDesignerKeyPress(Integer Key);
  void EditDesignerMousePosition(Integer X, Integer Y);
  void EditDesignerMouseButton(Integer Button);
  void EditDesignerTagName(const String& tagName);
  void EditDesignerType_(const String& type_);
  // The edit tab's handlers for the form streaming.
  static std::vector<THandlerInfo> EditTabHandlers();

 protected:
  // A task-bar button of its own.
  void CreateParams(TCreateParams& Params) override;

 private:
  friend struct FullScreenFormInternals;  // tests read the private state

  // Whether the address answers (see UrlAnswersOk); the parse and edit tabs
  // ask before they load a page.
  bool CheckUrlExists(const String& URL);
  // Stops the browser when it is busy.
  void StopIfBusy();
  // Connects the designer; on success the three panes start empty.
  int StartEditDesigner();
  // Moves an edit-tab button by `Delta` pixels; shows its look.
  void OffsetEditButton(TObject* Sender, int Delta);
  void ShowEditButtonLook(TObject* Sender, bool Hover);
  // The closed lock for a secure page, the open one otherwise.
  void UpdateSecurityImages();
  // Moves a skin button (image and caption label) by `Delta` pixels right and down.
  void OffsetSkinButton(TObject* Sender, int Delta);
  // Shows the normal or the hover look of a skin button.
  void ShowSkinButtonLook(TObject* Sender, bool Hover);

  String FAppPath;
  bool FParseRunning = false;
  bool FDefaultFiltersOn = false;
  bool FParseTimeControl = false;
  qint32 FBeforeNavigateCount = 0;
  quint16 FAnchorCount = 0;
  bool FEditMode = false;
  bool FAnalysisOn = false;
  bool FEventsTimeControl = false;
};

// The tools window, made by the main block right after the main window.
extern TFullScreenForm* FullScreenForm;

// How long an address check waits to connect, and then for each part of the
// answer, in milliseconds.
inline constexpr DWORD UrlCheckTimeoutMs = 10000;

// Whether the server of `Url` answers a fresh request (never from the cache,
// redirects not followed) with HTTP status 200 or 302. An address with no
// scheme is asked for over "http://"; one with a scheme is asked for as it
// stands (only http and https can answer). Blocks the calling thread until
// the server answers or the time-out passes; false on any failure.
bool UrlAnswersOk(const String& Url, DWORD TimeoutMs = UrlCheckTimeoutMs);

// Set by the page-mailing feature when "Site.html" in the current folder is
// the page copy it wrote and no mail send still needs it: the tools window
// then deletes that file when it closes (and clears the flag). While it is
// false the tools window leaves any "Site.html" alone.
extern bool SitePageCopyDisposable;

// Registers the window's handlers and published fields with the form streaming.
void initialize();
void finalize();

}  // namespace FullScreen
