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
#include "EmbeddedWB/Source/IECache.h"
#include "EmbeddedWB/Source/IEDownload.h"
#include "EmbeddedWB/Source/IEParser.h"
#include "EmbeddedWB/Source/RichEditBrowser.h"
#include "EmbeddedWB/Source/SecurityManager.h"
#include "platform/classlib/CheckLst.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/StdCtrls.h"

#include <vector>

namespace FullScreen {

using EditDesigner::TEditDesigner;
using EmbeddedWB::TEmbeddedWB;
using EwbControlComponent::TEwbControl;
using IEAddress::TIEAddress;
using IECache::TIECache;
using IEDownload::TIEDownload;
using IEParser::TElementInfo;
using IEParser::TIEParser;
using SecurityManager::TSecurityManager;

// The URL security manager (not handed to the browser).
#define NOCTIVANE_FULLSCREEN_SECURITY_FIELDS(F) F(TSecurityManager, SecurityManager)

// The download component (no code of the window starts a download).
#define NOCTIVANE_FULLSCREEN_DOWNLOAD_FIELDS(F) F(TIEDownload, IEDownload)
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
/* cache tab */
#define NOCTIVANE_FULLSCREEN_CACHE_FIELDS(F)                                                      \
  F(TPanel, Panel8) F(TImage, CC001Btn) F(TImage, CC002Btn) F(TImage, CC003Btn)                   \
  F(TCheckBox, AllCheckBox) F(TCheckBox, CookiesCheckBox) F(TCheckBox, HistoryCheckBox)           \
  F(TCheckBox, URLCheckBox) F(TListBox, CacheListBox) F(TPanel, Panel9) F(TLabel, Label1)         \
  F(TLabel, Label2) F(TLabel, Label3) F(TLabel, Label4) F(TLabel, Label5)                         \
  F(TCheckBox, ShowInBrowserCheckBox) F(TPanel, Panel7) F(TEdit, edtFileName) F(TIECache, IECache)
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
  F(TSaveDialog, EventsSaveDialog) F(TOpenDialog, OpenDialog) F(TEwbControl, EwbControl1)         \
  NOCTIVANE_FULLSCREEN_CACHE_FIELDS(F)                                                            \
  NOCTIVANE_FULLSCREEN_PARSE_FIELDS(F)                                                            \
  NOCTIVANE_FULLSCREEN_CAPTURE_FIELDS(F)                                                          \
  NOCTIVANE_FULLSCREEN_EVENTS_FIELDS(F)                                                           \
  NOCTIVANE_FULLSCREEN_SECURITY_FIELDS(F)                                                         \
  NOCTIVANE_FULLSCREEN_DOWNLOAD_FIELDS(F)                                                         \
  NOCTIVANE_FULLSCREEN_EDIT_FIELDS(F)

// The parse tab ("Parce page"): the report, its buttons, the filters and the parser.
#define NOCTIVANE_FULLSCREEN_PARSE_FIELDS(F)                                                      \
  F(TPanel, ParsePanel) F(TImage, P001Btn) F(TImage, P002Btn) F(TCheckBox, ShowParseFilters)      \
  F(TRichEdit, ParsInfo) F(TPanel, CheckPanel) F(TImage, PC001Btn) F(TImage, PC002Btn)            \
  F(TCheckBox, CheckAllParseFilters) F(TCheckBox, TimeControlParse) F(TSplitter, ParseSplitter)   \
  F(TCheckListBox, CheckListBox) F(TIEParser, WebParser)

// The capture tab.
#define NOCTIVANE_FULLSCREEN_CAPTURE_FIELDS(F)                                                    \
  F(TPanel, BMPPanel) F(TImage, CS001Btn) F(TImage, CS002Btn) F(TCheckBox, BMPCheckBox)           \
  F(TCheckBox, JPGCheckBox) F(TCheckBox, ThumbnailCheckBox) F(TCheckBox, StrechCheck)             \
  F(TCheckBox, CenterCheck) F(TCheckBox, ProportionalCheck) F(TImage, ImageViewer)

// The events tab.
#define NOCTIVANE_FULLSCREEN_EVENTS_FIELDS(F)                                                     \
  F(TPanel, Panel2) F(TImage, EV001Btn) F(TImage, Ev002Btn) F(TImage, EV003Btn)                   \
  F(TCheckBox, EventsCheckBox) F(TListBox, DebugListBox) F(TPanel, EventsCheckPanel)              \
  F(TImage, EV004Btn) F(TImage, EV005Btn) F(TCheckBox, CheckAllEventFilters)                      \
  F(TCheckBox, EventsTimeCheckBox) F(TSplitter, EventsSplitter) F(TCheckListBox, EventsCheckListBox)
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

  // Capture tab (FullScreenCapture.cpp): every capture writes "site.bmp" and
  // "Site.jpg" in the current folder and shows the one chosen, or a
  // thumbnail; the shown picture can be saved as a bitmap.
  void CS001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void CS002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // At most one of the three choices is checked.
  void BMPCheckBoxClick(TObject* Sender);
  void JPGCheckBoxClick(TObject* Sender);
  void ThumbnailCheckBoxClick(TObject* Sender);

  // Events tab (FullScreenEvents.cpp). The log's lines, coloured by kind.
  void DebugListBoxDrawItem(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State);
  // Hovering a toggle button of the tab keeps the picture of its state.
  void EventsToggleMouseEnter(TObject* Sender);
  // Start or stop the analysis, save the log, print it, the default
  // filters, the time switch.
  void EV001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Ev002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EV003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EV004BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EV005BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EventsTimeCheckBoxClick(TObject* Sender);
  void CheckAllEventFiltersClick(TObject* Sender);
  // Shows or hides the filter list with its splitter and panel.
  void EventsCheckBoxClick(TObject* Sender);
  // The browser's events that only the log follows.
  void WBAllowFocusChange(TObject* Sender, bool& Value);
  void WBAuthenticate(TObject* Sender, HWND& hwnd, String& szUserName, String& szPassWord, HRESULT& Rezult);
  void WBBeforeNavigate2(TObject* Sender, IDispatch* pDisp, const OleVariant& URL, const OleVariant& Flags,
                         const OleVariant& TargetFrameName, const OleVariant& PostData,
                         const OleVariant& Headers, bool& Cancel);
  void WBBusyWait(TEmbeddedWB* Sender, Cardinal AStartTime, Cardinal& TimeOut, bool& Cancel);
  void WBClick(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void WBClientToHostWindow(TObject* Sender, int& CX, int& CY);
  void WBCloseQuery(TObject* Sender, bool& CanClose);
  void WBCommandExec(TObject* Sender, const GUID* CmdGroup, DWORD nCmdID, DWORD nCmdexecopt,
                     const VARIANT* vaIn, VARIANT* vaOut, HRESULT& Rezult);
  void WBDownloadBegin(TObject* Sender);
  void WBDownloadComplete(TObject* Sender);
  void WBDragDrop(TObject* Sender, TObject* Source, int X, int Y);
  void WBDragLeave(TObject* Sender);
  void WBDragOver(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept);
  void WBDragOver2(TObject* Sender, int grfKeyState, TPoint pt, int& dwEffect, HRESULT& Rezult);
  void WBEnableModeless(TObject* Sender, bool fEnable);
  void WBEndDrag(TObject* Sender, TObject* Target, int X, int Y);
  void WBEnter(TObject* Sender);
  void WBEvaluateNewWindow(TObject* Sender, const String& pszUrl, const String& pszName,
                           const String& pszUrlContext, const String& pszFeatures, bool fReplace,
                           DWORD dwFlags, DWORD dwUserActionTime, HRESULT& Rezult);
  void WBExit(TObject* Sender);
  void WBFilterPopupMenu(TObject* Sender, DWORD ID, HMENU Menu, IDispatch* Context);
  void WBGetExternal(TObject* Sender, ComPtr<IDispatch>& ppDispatch);
  void WBGetHostInfo(TObject* Sender, DOCHOSTUIINFO& pInfo);
  void WBGetIDsOfNames(TObject* Sender, REFIID IID, LPOLESTR* Names, UINT NameCount, LCID LocaleID,
                       DISPID* DispIDs, HRESULT& Rezult);
  void WBGetTypeInfoCount(TObject* Sender, UINT& Count, HRESULT& Rezult);
  void WBHideUI(TObject* Sender, HRESULT& Rezult);
  void WBMaskedCtrlChar(TObject* Sender, WideChar MaskedChar);

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

  // Cache tab (FullScreenCache.cpp). The four pattern boxes are exclusive:
  // checking one lists the entries of its kind, unchecking it empties the
  // list. A click on a line shows the entry's details (and, when asked for,
  // its local copy in the browser). The buttons delete the selected entry,
  // add a local file and clear the cache.
  void AllCheckBoxClick(TObject* Sender);
  void CookiesCheckBoxClick(TObject* Sender);
  void HistoryCheckBoxClick(TObject* Sender);
  void URLCheckBoxClick(TObject* Sender);
  void CacheListBoxClick(TObject* Sender);
  void ShowInBrowserCheckBoxClick(TObject* Sender);
  void CC001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void CC002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void CC003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // The cache component's OnEntry: lists the entry it just found.
  void IECacheEntry(TObject* Sender, bool& Cancel);
  // ---- the parse tab (FullScreenParse.cpp)
  // The tab's pictures as its state says (at creation).
  void ShowParseTab();
  // Start and clear: parses the address box's page into the report, or
  // clears a report that is shown. Print, default filters, time control.
  void P001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void P002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PC001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void PC002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // The tab's image buttons: pressed offset, hover pictures.
  void ParseButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ParseButtonMouseEnter(TObject* Sender);
  void ParseButtonMouseLeave(TObject* Sender);
  void CheckAllParseFiltersClick(TObject* Sender);
  void TimeControlParseClick(TObject* Sender);
  void ShowParseFiltersClick(TObject* Sender);
  // The parser's events: report blocks, each behind its filter.
  void WebParserAnchor(TObject* Sender, String hRef, String Target, String Rel, String Rev, String Urn,
                       String Methods, String Name, String Host, String HostName, String PathName,
                       String Port, String Protocol, String Search, String Hash, String AccessKey,
                       String ProtocolLong, String MimeType, String NameProp, TElementInfo& Element);
  void WebParserBase(TObject* Sender, String hRef, String Target, TElementInfo& Element);
  void WebParserBaseFont(TObject* Sender, OleVariant& Color, String Face, int Size, TElementInfo& Element);
  void WebParserBody(TObject* Sender, String Background, String bgProperties, OleVariant& LeftMargin,
                     OleVariant& TopMargin, OleVariant& RightMargin, OleVariant& BottomMargin,
                     OleVariant& bgColor, OleVariant& Text, OleVariant& Link, OleVariant& vLink,
                     OleVariant& aLink, bool NoWrap, TElementInfo& Element);
  void WebParserBR(TObject* Sender, String Clear, TElementInfo& Element);
  void WebParserComment(TObject* Sender, String Text, TElementInfo& Element);
  void WebParserDiv(TObject* Sender, String Align, bool NoWrap, TElementInfo& Element);
  void WebParserDocInfo(TObject* Sender, const String& Text);
  void WebParserFont(TObject* Sender, OleVariant& Color, OleVariant& Size, String Face,
                     TElementInfo& Element);
  void WebParserForm(TObject* Sender, String Action, String Dir, String Encoding, String Method,
                     String Target, String Name, TElementInfo& Element);
  void WebParserHR(TObject* Sender, String Align, OleVariant& Color, OleVariant& Width, OleVariant& Size,
                   bool NoShade, TElementInfo& Element);
  void WebParserImage(TObject* Sender, String Source, String LowSrc, String Vrml, String DynSrc, String Alt,
                      String Align, String UseMap, bool IsMap, OleVariant& Border, OleVariant& Loop,
                      int vSpace, int hSpace, int Width, int Height, TElementInfo& Element);
  void WebParserMarquee(TObject* Sender, OleVariant& bgColor, OleVariant& Width, OleVariant& Height,
                        String Direction, String Behavior, int ScrollAmount, int ScrollDelay, int Loop,
                        int vSpace, int hSpace, TElementInfo& Element);
  void WebParserMeta(TObject* Sender, String HttpEquiv, String Content, String Name, String URL,
                     String Charset, TElementInfo& Element);
  void WebParserScript(TObject* Sender, String Source, String HtmlFor, String Event, String Text, bool Defer,
                       TElementInfo& Element);
  void WebParserParseDocument(TObject* Sender, HRESULT Res, const String& stMessage);
  void WebParserParseError(TObject* Sender, int ErrorCode, const String& Url, const String& stError);
  // Bound and silent.
  void WebParserElement(TObject* Sender, TElementInfo& ElementInfo);
  void WebParserFrame(TObject* Sender, OleVariant& Source, OleVariant& Name, TElementInfo& Element);
  void WebParserFrameSet(TObject* Sender, const String& Rows, const String& Cols, const String& FrameBorder,
                         const String& Name, OleVariant& Border, OleVariant& BorderColor,
                         OleVariant& FrameSpacing, TElementInfo& Element);
  void WebParserNoFrame(TObject* Sender, TElementInfo& ELement);
  void WebParserQueryInfo(const String& MimeType, const String& Encoding, const String& Disposition);
  void WebParserStateChange(TObject* Sender, IEParser::TParserState State);
  void WebParserStatusText(TObject* Sender, const String& Text);
  void WebParserBusyStateChange(TObject* Sender);
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
  friend struct FullScreenFormInternals;    // tests read the private state
  friend struct FullScreenEventsInternals;  // the events tab's tests too

  // Whether the address answers (see UrlAnswersOk); the parse and edit tabs
  // ask before they load a page.
  bool CheckUrlExists(const String& URL);
  // The address the parse and edit tabs check, from the address box: the
  // browser's address where the box shows the page's title (as it does after
  // a typed address), "http://" before an address without a scheme.
  String AddressToCheck() const;
  // Stops the browser when it is busy.
  void StopIfBusy();
  // Connects the designer; on success the three panes start empty.
  int StartEditDesigner();
  // Moves an edit-tab button by `Delta` pixels; shows its look.
  void OffsetEditButton(TObject* Sender, int Delta);
  void ShowEditButtonLook(TObject* Sender, bool Hover);
  // The closed lock for a secure page, the open one otherwise.
  void UpdateSecurityImages();
  // Cache tab: lists the entries of `Pattern` when `Box` is now checked
  // (unchecking the other boxes), else empties the list.
  void CachePatternBoxClick(TCheckBox* Box, IECache::TSearchPattern Pattern);
  // A cache time as the details show it: empty for an unset (negative) one.
  String CacheDateToStr(TDateTime Value) const;

  // Moves a skin button (image and caption label) by `Delta` pixels right and down.
  void OffsetSkinButton(TObject* Sender, int Delta);
  // Shows the normal or the hover look of a skin button.
  void ShowSkinButtonLook(TObject* Sender, bool Hover);
  // The parse tab: whether the filter of that name is checked; the tab's
  // pictures as its state says; one line of the report.
  bool IsParseFilterChecked(const String& Name) const;
  void ShowParseButtonLook(TImage* Button, bool Hover);
  void AddParseLine(const String& Line);

  // Events tab: the filter list from "EventsFilters.ini" beside the program
  // (the built-in list when there is none).
  void LoadEventFilters();
  // The 83 built-in filters, none checked.
  void ResetEventFilters();
  // Appends one line to the log while analysis is on.
  void LogBrowserEvent(TObject* Sender, const String& Name, const String& Extra1, const String& Extra2,
                       const String& Extra3);
  // The line of an event whose filter item (none: always) is checked.
  void LogFilteredEvent(const char* item, const char* name, const String& extra = String());
  // Whether the filter list holds that item, checked.
  bool EventFilterOn(const char* item) const;
  String EventFiltersFile() const;
  // The keys of a section of the filter file become the list's items, each
  // checked as [items] says.
  void LoadEventFilterSection(const String& section);
  void ShowEventsToggleLook(TObject* Sender);
  // Prints the log's lines on the printer the print dialog chose.
  void PrintEventLog();

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
// stands (only http and https can answer; a file:// address answers when its
// file can be read). Blocks the calling thread until
// the server answers or the time-out passes; false on any failure.
bool UrlAnswersOk(const String& Url, DWORD TimeoutMs = UrlCheckTimeoutMs);

// The handlers of the cache tab, for the window's registration.
std::vector<THandlerInfo> CacheTabHandlers();
// The parse tab's handlers, for the window's handler table.
std::vector<THandlerInfo> ParseTabHandlers();
// The handlers of the capture and events tabs, for the window's handler table.
std::vector<THandlerInfo> CaptureHandlers();
std::vector<THandlerInfo> EventsHandlers();
// The name the capture tab saves a picture under: the chosen name, with
// ".bmp" put after it unless it ends so already (in any case).
String BitmapFileName(const String& chosen);

// Registers the window's handlers and published fields with the form streaming.
void initialize();
void finalize();

}  // namespace FullScreen
