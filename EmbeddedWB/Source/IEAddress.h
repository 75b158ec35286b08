#pragma once
// The address box: an owner-drawn drop-down combo box whose edit field holds
// the address. It keeps its list in step with the typed-address history in
// the registry (HKEY_CURRENT_USER "Software\Microsoft\Internet
// Explorer\TypedURLs", values Url1, Url2, ...), attaches the shell's
// auto-completion to its edit field, colours itself for secure sites,
// follows its browser (EmbeddedWB) after each navigation and navigates that
// browser when the user presses Enter, picks a list entry or double-clicks
// one.
//
// TCustomIEAddress holds the behaviour; TIEAddress publishes it.
//
// Two names where one would do: the published Boolean UpdateTextAfterNav
// switches DoUpdateTextAfterNav (the text following the browser), and the
// published Boolean ShowFavicon switches DoShowFavicon (the favicon fetch).
//
// A 16 x 16 icon from the shell's small system image list stands in front of
// the text (at IconLeft, IconTop, in the strip left of the edit field) and of
// every list entry; a site's favicon joins that list when an address is
// loaded or accepted. With GUI = gsThemes the box draws its own frame,
// drop-down button and arrow in the colours of its theme. The face is drawn
// on a layer above the combo box's widget that takes no mouse input.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/classlib/ImgList.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/shell/AutoComplete.h"

#include <QHash>
#include <QPointer>

#include <functional>

namespace IEAddress {
Q_NAMESPACE

// Flags of the shell's simple auto-completion (AutoComplete1).
enum TAutoCompleteOption {
  acAutoSuggest,
  acAutoAppend,
  acFileSystem,
  acUrlHistory,
  acUrlMRU,
  acUrlAll,
  acUseTab
};
Q_ENUM_NS(TAutoCompleteOption)
using TAutoCompleteOptions = TSet<TAutoCompleteOption>;

// Options of the auto-complete object (AutoComplete2).
enum TAutoComplete2Option {
  acoNone,
  acoAutoSuggest,
  acoAutoAppend,
  acoSearch,
  acoFilterPrefix,
  acoUseTab,
  acoUpDownKeyDropList,
  acoRtlReading,
  acoWordFilter,
  acoNoPrefixFiltering,
};
Q_ENUM_NS(TAutoComplete2Option)
using TAutoComplete2Options = TSet<TAutoComplete2Option>;

// Sources of the auto-complete object; the URL history is the one bound.
enum TAutoComplete2SourceKind { acsList, acsHistory, acsMRU, acsShell };
Q_ENUM_NS(TAutoComplete2SourceKind)
using TAutoComplete2Source = TSet<TAutoComplete2SourceKind>;

enum TAComp { AutoComplete1, AutoComplete2 };
Q_ENUM_NS(TAComp)

// gsThemes: the box draws its button, frame and arrow itself.
enum TGUI { gsCombobox, gsThemes };
Q_ENUM_NS(TGUI)

// What the text becomes after a navigation.
enum TTextAfterNav { anLocationUrl, anLocationName };
Q_ENUM_NS(TTextAfterNav)

// The text placed when the box is loaded.
enum TTextOnLoad { tlIELastVisited, tlIEHomePage, tlBlank, tlUserDefine };
Q_ENUM_NS(TTextOnLoad)

// Colour schemes of the themed look.
enum TThemes { tmNone, tmXP, tmSilver, tmSoil };
Q_ENUM_NS(TThemes)

using TUrlSelectedEvent = std::function<void(TObject* Sender, const String& Url, bool& Cancel)>;
using TUpdateRegistryEvent = std::function<void(TObject* Sender, const String& Url, bool& Cancel)>;
using TUpdateTextEvent =
    std::function<void(TObject* Sender, const String& OldUrl, const String& NewUrl, bool& Cancel)>;
using TGetAppIconEvent = std::function<void(TObject* Sender, bool& Cancel, TIcon* Icon)>;
using TGetFaviconEvent = std::function<void(TObject* Sender, const String& Favicon, const String& SiteUrl,
                                            bool& Cancel, TIcon* Icon)>;
using TGetIconEvent = std::function<void(TObject* Sender, const String& Ext, HICON hIco)>;

// The registry key of the typed-address history (below HKEY_CURRENT_USER).
inline constexpr const char* TypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
// Values read from the history: Url1 .. Url25; values written: Url1 .. Url24.
inline constexpr int MaxTypedUrlsRead = 25;
inline constexpr int MaxTypedUrlsWritten = 24;
// How long the box waits by default for its browser's document to
// complete (ms).
inline constexpr Cardinal NavigationWaitTimeOut = 5000;

class TCustomIEAddress : public TCustomComboBox {
  Q_OBJECT

 public:
  explicit TCustomIEAddress(TComponent* AOwner);
  // Puts back the application's hint colour and the colour found at load.
  ~TCustomIEAddress() override;

  // ---- properties (published by TIEAddress)
  String About() const;
  void SetAbout(const String&) {}  // the text is fixed
  TColor ArrowColor() const { return arrowColor_; }
  void SetArrowColor(TColor value);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor value);
  TColor ButtonColor() const { return buttonColor_; }
  void SetButtonColor(TColor value);
  TColor ButtonPressedColor() const { return buttonPressedColor_; }
  void SetButtonPressedColor(TColor value);
  TAutoCompleteOptions AutoCompleteOptions() const { return autoCompleteOptions_; }
  // Applies the flags at once when AutoComplete1 is the route in use.
  void SetAutoCompleteOptions(TAutoCompleteOptions value);
  // Taken at the next window creation.
  TAutoComplete2Options AutoComplete2Options() const { return autoComplete2Options_; }
  void SetAutoComplete2Options(TAutoComplete2Options value) { autoComplete2Options_ = value; }
  TAutoComplete2Source AutoComplete2Source() const { return autoComplete2Source_; }
  // A change creates the window again.
  void SetAutoComplete2Source(TAutoComplete2Source value);
  TAComp AutoCompleteVersion() const { return autoCompleteVersion_; }
  void SetAutoCompleteVersion(TAComp value) { autoCompleteVersion_ = value; }
  bool AutoNavigateOnDblClk() const { return autoNavigateOnDblClk_; }
  void SetAutoNavigateOnDblClk(bool value) { autoNavigateOnDblClk_ = value; }
  bool AutoNavigateOnEnterKey() const { return autoNavigateOnEnterKey_; }
  void SetAutoNavigateOnEnterKey(bool value) { autoNavigateOnEnterKey_ = value; }
  bool AutoNavigateOnLoad() const { return autoNavigateOnLoad_; }
  void SetAutoNavigateOnLoad(bool value) { autoNavigateOnLoad_ = value; }
  bool AutoNavigateOnSelected() const { return autoNavigateOnSelected_; }
  void SetAutoNavigateOnSelected(bool value) { autoNavigateOnSelected_ = value; }
  // The browser driven and followed (forgotten when it is freed).
  ::EmbeddedWB::TEmbeddedWB* EmbeddedWB() const { return browser_; }
  void SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value);
  bool Flat() const { return flat_; }
  // Ctl3D := not Flat, HasBorder := False, repaint.
  void SetFlat(bool value);
  TGUI GUI() const { return gui_; }
  void SetGUI(TGUI value);
  bool HasBorder() const { return hasBorder_; }
  void SetHasBorder(bool value);
  bool HasDropDown() const { return hasDropDown_; }
  void SetHasDropDown(bool value) { hasDropDown_ = value; }
  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor value) { hintColor_ = value; }
  int IconLeft() const { return iconLeft_; }
  void SetIconLeft(int value) { iconLeft_ = value; }
  int IconTop() const { return iconTop_; }
  void SetIconTop(int value) { iconTop_ = value; }
  TColor SecureSiteBG() const { return secureSiteBG_; }
  void SetSecureSiteBG(TColor value) { secureSiteBG_ = value; }
  bool ShowFavicon() const { return showFavicon_; }
  void SetShowFavicon(bool value) { showFavicon_ = value; }
  bool ShowSiteToolTip() const { return showSiteToolTip_; }
  void SetShowSiteToolTip(bool value) { showSiteToolTip_ = value; }
  TTextAfterNav TextAfterNav() const { return textAfterNav_; }
  void SetTextAfterNav(TTextAfterNav value) { textAfterNav_ = value; }
  TTextOnLoad TextOnLoad() const { return textOnLoad_; }
  void SetTextOnLoad(TTextOnLoad value) { textOnLoad_ = value; }
  const String& TextOnShow() const { return textOnShow_; }
  void SetTextOnShow(const String& value) { textOnShow_ = value; }
  TThemes Themes() const { return themes_; }
  void SetThemes(TThemes value) { themes_ = value; }
  bool UpdateTextAfterNav() const { return updateTextAfterNav_; }
  void SetUpdateTextAfterNav(bool value) { updateTextAfterNav_ = value; }
  bool UseAppIcon() const { return useAppIcon_; }
  void SetUseAppIcon(bool value) { useAppIcon_ = value; }
  bool UseSecureSiteBGColor() const { return useSecureSiteBGColor_; }
  void SetUseSecureSiteBGColor(bool value) { useSecureSiteBGColor_ = value; }
  // How long one action waits for the browser's document (ms, not 0); a
  // page slower than that leaves the typed address in the box.
  Cardinal WaitTimeOut() const { return waitTimeOut_; }
  void SetWaitTimeOut(Cardinal value) { waitTimeOut_ = value ? value : NavigationWaitTimeOut; }
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value) { doubleBuffered_ = value; }
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value) { ctl3D_ = value; }
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool value) { parentCtl3D_ = value; }

  // Deletes the entry at ItemIndex (nothing when none is selected).
  void DeleteSelected();

  void Loaded() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // A click on an entry of the open list / a double-click on one: raise
  // OnUrlSelected (click only), navigate and accept the address.
  void Click() override;
  void DblClick() override;

  // ---- events
  TGetAppIconEvent OnGetAppIcon;
  TGetFaviconEvent OnGetFavicon;
  TGetIconEvent OnGetIcon;
  TUpdateRegistryEvent OnUpdateRegistry;
  TUpdateTextEvent OnUpdateText;
  TUrlSelectedEvent OnUrlSelected;

 protected:
  // ---- operations
  // After Enter, a click or a double-click on an entry: the text gets its
  // trailing slash and loses control characters, the colour and the text
  // follow the browser, the address as typed enters the list (when no entry
  // equals it) and the list is saved to the typed-address history.
  void AcceptUrl();
  // `Url` with "/" appended when its last "/" stands after its last "." and
  // it holds no query ("?") or fragment ("#").
  String AddTrailingSlash(const String& Url) const;
  // Writes the first entries of the list to the history (Url1 .. Url24);
  // the entries the form gave the list are not typed addresses.
  void SaveTypedUrls();
  // Fills the list from the history (Url1 .. Url25, equal entries once),
  // followed by the entries the form gave the list.
  void LoadTypedUrls();
  // The secure-site background for "https" addresses.
  void CheckSecureSite();
  // The text becomes the browser's address (or page title) once its
  // document is complete.
  void DoUpdateTextAfterNav();
  // Hint := the page title when the text is the page's address.
  void SiteToolTip();
  // Places the text the box starts with and navigates to it.
  void ApplyTextOnLoad();
  // The shell's simple auto-completion with the AutoCompleteOptions flags.
  void SetAutoComplete();
  // The auto-complete object over the URL history (AutoComplete2); false
  // when it could not be attached.
  bool SetAutoComplete2();

  // ---- icons and painting
  // The index in the image list of the icon of the text: a special folder's
  // keyword, an existing file or folder, a listed extension, else a web
  // address (its site's favicon when one was fetched, the program's icon
  // with UseAppIcon, else the icon of web pages). 0 when none was found.
  int UpdateIcon() { return IconOfText(Text()); }
  int IconOfText(const String& text);
  // Fetches the favicon of the text's site into the cache folder and adds it
  // to the image list; its index, or -1. The index is kept per site, so the
  // site is asked once.
  int DoShowFavicon();
  // Fetches the site's "/favicon.ico" into `Target`; false when the address
  // is no http(s) address with a host, the handler cancelled or the fetch
  // failed (a silent server is given up after FaviconTimeOut).
  bool DownloadFavicon(const String& Url, const String& Target);
  // The colours of the theme (themed look only), then the button repainted.
  void ApplyThemeColors();
  // The icon of the text becomes the current one (and is shown).
  void ShowIconOfText(bool repaint = true);
  // Repaints the frame, button, arrow and icon.
  void PaintButton();
  // Draws the face on `canvas`: the icon strip with the current icon and,
  // themed, the frame, button and arrow.
  void PaintFace(TCanvas* canvas);
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;

 public:
  // The image list the icons come from (the shell's small system list).
  TImageList* Images() const { return images_; }
  // The index of the icon shown in front of the text.
  int CurrentIcon() const { return currentIcon_; }
  // How long a favicon fetch may take (ms).
  static constexpr int FaviconTimeOut = 5000;

 protected:
  // ---- window and handlers
  void WndProc(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWindowHandle(const TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Change() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  // Navigates the browser to `url` without waiting, unless the
  // OnUrlSelected handler of this action has navigated it already.
  void Navigate(const String& url);
  // Waits (bounded, once per action) for the browser's document to
  // complete. False when the browser has navigated nowhere yet, or when the
  // box or the browser went away meanwhile.
  bool WaitForBrowser();
  // The browser's address or title, "" when it cannot tell.
  String BrowserText(bool title) const;
  // Places the edit field to the right of the icon.
  void PlaceEditField();
  // The cursor lies over the drop-down list.
  bool CursorInList();
  // Raises OnUrlSelected; true unless cancelled (or the box went away).
  // Starts an action: notes whether the handler navigated the browser.
  bool UrlSelected();
  // Enter while the list is down.
  void ListEnter(Word& Key);
  // Down / Up while the list is down.
  void ListMove(Word& Key, int step);
  // Posts a message to the combo box window / to its edit field.
  void PostToCombo(UINT msg, WPARAM wParam, LPARAM lParam);
  void PostToEdit(UINT msg, WPARAM wParam, LPARAM lParam);
  void SetEditModified(bool value);

  double shlwapiVersion_ = 0;
  Byte mouseFlags_ = 0;  // bit 0: pressed while the list is down; bit 1
  int currentIcon_ = -1;
  bool keptModified_ = false;
  TColor colorAtLoad_;
  TColor hintColorAtLoad_ = clInfoBk;
  bool loaded_ = false;
  bool waitGaveUp_ = false;        // a wait of the current action ended incomplete
  bool handlerNavigated_ = false;  // OnUrlSelected of this action navigated
  Cardinal waitTimeOut_ = NavigationWaitTimeOut;
  QStringList presets_;  // the entries the form gave the list
  int selectedIcon_ = -1;
  ComPtr<IAutoComplete> autoComplete_;
  TImageList* images_ = nullptr;
  TCanvas* faceCanvas_ = nullptr;
  QPointer<QWidget> face_;  // the layer the face is drawn on
  String iconText_;         // the text currentIcon_ belongs to
  bool iconKnown_ = false;
  int appIconIndex_ = -1;        // the program's icon, added once
  QHash<String, int> favicons_;  // site -> index of its favicon

  ::EmbeddedWB::TEmbeddedWB* browser_ = nullptr;
  TColor arrowColor_ = clBlack;
  TColor borderColor_ = clBlack;
  TColor buttonColor_ = clBtnFace;
  TColor buttonPressedColor_ = clBtnFace;
  TAutoCompleteOptions autoCompleteOptions_{acAutoAppend, acUrlHistory};
  TAutoComplete2Options autoComplete2Options_{acoAutoSuggest, acoAutoAppend, acoSearch};
  TAutoComplete2Source autoComplete2Source_{acsList, acsHistory, acsMRU, acsShell};
  TAComp autoCompleteVersion_ = AutoComplete2;
  bool autoNavigateOnDblClk_ = true;
  bool autoNavigateOnEnterKey_ = true;
  bool autoNavigateOnLoad_ = true;
  bool autoNavigateOnSelected_ = true;
  bool flat_ = false;
  TGUI gui_ = gsThemes;
  bool hasBorder_ = true;
  bool hasDropDown_ = true;
  TColor hintColor_ = clInfoBk;
  int iconLeft_ = 4;
  int iconTop_ = 3;
  TColor secureSiteBG_ = clInfoBk;
  bool showFavicon_ = false;
  bool showSiteToolTip_ = true;
  TTextAfterNav textAfterNav_ = anLocationUrl;
  TTextOnLoad textOnLoad_ = tlIEHomePage;
  String textOnShow_;
  TThemes themes_ = tmNone;
  bool updateTextAfterNav_ = true;
  bool useAppIcon_ = false;
  bool useSecureSiteBGColor_ = true;
  bool doubleBuffered_ = true;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
};

class TIEAddress : public TCustomIEAddress {
  Q_OBJECT
  Q_CLASSINFO("IdentType:ArrowColor", "TColor")
  Q_CLASSINFO("IdentType:BorderColor", "TColor")
  Q_CLASSINFO("IdentType:ButtonColor", "TColor")
  Q_CLASSINFO("IdentType:ButtonPressedColor", "TColor")
  Q_CLASSINFO("IdentType:HintColor", "TColor")
  Q_CLASSINFO("IdentType:SecureSiteBG", "TColor")
  Q_PROPERTY(QString About READ About WRITE SetAbout STORED false)
  Q_PROPERTY(TColor ArrowColor READ ArrowColor WRITE SetArrowColor)
  Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
  Q_PROPERTY(TColor ButtonColor READ ButtonColor WRITE SetButtonColor)
  Q_PROPERTY(TColor ButtonPressedColor READ ButtonPressedColor WRITE SetButtonPressedColor)
  Q_PROPERTY(IEAddress::TAutoCompleteOptions AutoCompleteOptions READ AutoCompleteOptions WRITE
                 SetAutoCompleteOptions)
  Q_PROPERTY(IEAddress::TAutoComplete2Options AutoComplete2Options READ AutoComplete2Options WRITE
                 SetAutoComplete2Options)
  Q_PROPERTY(IEAddress::TAutoComplete2Source AutoComplete2Source READ AutoComplete2Source WRITE
                 SetAutoComplete2Source)
  Q_PROPERTY(IEAddress::TAComp AutoCompleteVersion READ AutoCompleteVersion WRITE SetAutoCompleteVersion)
  Q_PROPERTY(bool AutoNavigateOnDblClk READ AutoNavigateOnDblClk WRITE SetAutoNavigateOnDblClk)
  Q_PROPERTY(bool AutoNavigateOnEnterKey READ AutoNavigateOnEnterKey WRITE SetAutoNavigateOnEnterKey)
  Q_PROPERTY(bool AutoNavigateOnLoad READ AutoNavigateOnLoad WRITE SetAutoNavigateOnLoad)
  Q_PROPERTY(bool AutoNavigateOnSelected READ AutoNavigateOnSelected WRITE SetAutoNavigateOnSelected)
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)
  Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
  Q_PROPERTY(IEAddress::TGUI GUI READ GUI WRITE SetGUI)
  Q_PROPERTY(bool HasBorder READ HasBorder WRITE SetHasBorder)
  Q_PROPERTY(bool HasDropDown READ HasDropDown WRITE SetHasDropDown)
  Q_PROPERTY(TColor HintColor READ HintColor WRITE SetHintColor)
  Q_PROPERTY(int IconLeft READ IconLeft WRITE SetIconLeft)
  Q_PROPERTY(int IconTop READ IconTop WRITE SetIconTop)
  Q_PROPERTY(TColor SecureSiteBG READ SecureSiteBG WRITE SetSecureSiteBG)
  Q_PROPERTY(bool ShowFavicon READ ShowFavicon WRITE SetShowFavicon)
  Q_PROPERTY(bool ShowSiteToolTip READ ShowSiteToolTip WRITE SetShowSiteToolTip)
  Q_PROPERTY(IEAddress::TTextAfterNav TextAfterNav READ TextAfterNav WRITE SetTextAfterNav)
  Q_PROPERTY(IEAddress::TTextOnLoad TextOnLoad READ TextOnLoad WRITE SetTextOnLoad)
  Q_PROPERTY(QString TextOnShow READ TextOnShow WRITE SetTextOnShow)
  Q_PROPERTY(IEAddress::TThemes Themes READ Themes WRITE SetThemes)
  Q_PROPERTY(bool UpdateTextAfterNav READ UpdateTextAfterNav WRITE SetUpdateTextAfterNav)
  Q_PROPERTY(bool UseAppIcon READ UseAppIcon WRITE SetUseAppIcon)
  Q_PROPERTY(bool UseSecureSiteBGColor READ UseSecureSiteBGColor WRITE SetUseSecureSiteBGColor)
  Q_PROPERTY(bool DoubleBuffered READ DoubleBuffered WRITE SetDoubleBuffered)
  Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)
  Q_PROPERTY(bool ParentCtl3D READ ParentCtl3D WRITE SetParentCtl3D)

 public:
  Q_INVOKABLE explicit TIEAddress(TComponent* AOwner) : TCustomIEAddress(AOwner) {}
};

// ---- unit routines

// The lower-cased extension of `Text` when it holds one of ".xml", ".txt",
// ".doc", ".bmp", ".zip", ".rar", ".jpg", ".gif", ".jpeg" (first found in
// that order), else "*.htm".
String IconExtensionOf(const String& Text);
// The Internet cache folder with a trailing delimiter ("" when unknown).
String GetIECacheFolder();
// The shell folder number of a special-folder keyword (trimmed, any case);
// 3000, which the shell refuses, for any other text.
int SpecialFolderFromText(const String& Text);
// The folder number of an upper-case keyword; 3000 when it is none.
int FindSpecialFolderName(const String& Name);
// Major + minor version of a module's DllGetVersion; 0 on any failure.
double GetDllVersion(const String& DllName);
// The favicon address of an http(s) address with a host: its scheme, host
// and port + "/favicon.ico"; "" for any other text.
String FaviconUrlOf(const String& Url);
// The address is well formed and of a known scheme.
bool IsValidUrl(const String& Url);
// `Text` without the first occurrence of `Sub` (any case).
String RemoveTextIgnoreCase(const String& Sub, const String& Text);
// `Text` without control characters (C0, DEL and C1).
String RemoveControlChars(const String& Text);

// The unit's start-up: registers TIEAddress and its events with the form
// streaming and initializes OLE once; its close-down uninitializes OLE when
// the last start-up is undone.
void initialize();
void finalize();

}  // namespace IEAddress
