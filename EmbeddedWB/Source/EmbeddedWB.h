#pragma once
// The browser control the forms hold: TEmbeddedWB adds to the host core
// published option objects (proxy, dialog boxes, errors, visual effects,
// print options), navigation with waiting, loading and saving the document
// through streams, key and message events, and convenience methods that
// forward to the utility routines of unit EwbTools.
#include "EmbeddedWB/Source/EwbCore.h"
#include "platform/classlib/Forms.h"
#include "platform/urlmon/UrlMon.h"

#include <QPointer>

#include <functional>

class TImage;

namespace EmbeddedWB {
Q_NAMESPACE

enum TPrintOrientationOption { poPortrait, poLandScape };
Q_ENUM_NS(TPrintOrientationOption)

// Where the user agent comes from: the browser's own, the control's (through
// the ambient property), or the user's registry.
enum TUserAgentMode { uaDefault, uaInternal, uaRegistry };
Q_ENUM_NS(TUserAgentMode)

// Items of the browser's context menu that the control can remove.
enum TIEPopupMenuItem {
  rcsBack,
  rcsForward,
  rcsSavePageBkg,
  rcsSetAsBkg,
  rcsCopyBkg,
  rcsSetAsDeskT,
  rcsSelectAll,
  rcsPaste,
  rcsCreateSC,
  rcsAddToFav,
  rcsEncoding,
  rcsRefresh,
  rcsViewSource,
  rcsProperties,
  rcsPrint,
  rcsOpenNWindow,
  rcsOpenLink,
};
Q_ENUM_NS(TIEPopupMenuItem)
using TIEPopupMenuItems = TSet<TIEPopupMenuItem>;

// The menu command of each removable item, indexed by ordinal.
inline constexpr UINT PopupMenuItemCommands[17] = {2282, 2283, 2263, 2264, 2265, 2278, 31,   26,  2266,
                                                   2261, 2292, 2300, 2139, 28,   27,   2137, 2136};

// ---------------------------------------------------------------- option objects

class TProxySettings : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool AutoLoadProxy READ AutoLoadProxy WRITE SetAutoLoadProxy)
  Q_PROPERTY(int Port READ Port WRITE SetPort)
  Q_PROPERTY(QString Password READ Password WRITE SetPassword)
  Q_PROPERTY(QString Address READ Address WRITE SetAddress)
  Q_PROPERTY(QString UserName READ UserName WRITE SetUserName)
  Q_PROPERTY(QString UserAgent READ UserAgent WRITE SetUserAgent)

 public:
  explicit TProxySettings(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  bool AutoLoadProxy() const { return autoLoadProxy_; }
  void SetAutoLoadProxy(bool v) { autoLoadProxy_ = v; }
  int Port() const { return port_; }
  void SetPort(int v) { port_ = v; }
  const String& Password() const { return password_; }
  void SetPassword(const String& v) { password_ = v; }
  const String& Address() const { return address_; }
  void SetAddress(const String& v) { address_ = v; }
  const String& UserName() const { return userName_; }
  void SetUserName(const String& v) { userName_ = v; }
  const String& UserAgent() const { return userAgent_; }
  void SetUserAgent(const String& v) { userAgent_ = v; }

 private:
  bool autoLoadProxy_ = false;
  int port_ = 80;
  String password_, address_, userName_, userAgent_;
};

class TDialogBoxes : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool DisableAll READ DisableAll WRITE SetDisableAll)
  Q_PROPERTY(bool ReplaceCaption READ ReplaceCaption WRITE SetReplaceCaption)
  Q_PROPERTY(bool ReplaceIcon READ ReplaceIcon WRITE SetReplaceIcon)
  Q_PROPERTY(QString NewCaption READ NewCaption WRITE SetNewCaption)

 public:
  explicit TDialogBoxes(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  bool DisableAll() const { return disableAll_; }
  void SetDisableAll(bool v) { disableAll_ = v; }
  bool ReplaceCaption() const { return replaceCaption_; }
  void SetReplaceCaption(bool v) { replaceCaption_ = v; }
  bool ReplaceIcon() const { return replaceIcon_; }
  void SetReplaceIcon(bool v) { replaceIcon_ = v; }
  const String& NewCaption() const { return newCaption_; }
  void SetNewCaption(const String& v) { newCaption_ = v; }

 private:
  bool disableAll_ = false;
  bool replaceCaption_ = true;
  bool replaceIcon_ = true;
  String newCaption_;
};

class TDisableErrors : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool EnableDDE READ EnableDDE WRITE SetEnableDDE)
  Q_PROPERTY(bool fpExceptions READ fpExceptions WRITE SetfpExceptions)
  Q_PROPERTY(bool ScriptErrorsSuppressed READ ScriptErrorsSuppressed WRITE SetScriptErrorsSuppressed)

 public:
  explicit TDisableErrors(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  bool EnableDDE() const { return enableDDE_; }
  void SetEnableDDE(bool v) { enableDDE_ = v; }
  bool fpExceptions() const { return fpExceptions_; }
  // True puts back the floating-point environment saved at the unit's
  // start-up; False masks every floating-point exception.
  void SetfpExceptions(bool v);
  bool ScriptErrorsSuppressed() const { return scriptErrorsSuppressed_; }
  void SetScriptErrorsSuppressed(bool v) { scriptErrorsSuppressed_ = v; }

 private:
  bool enableDDE_ = true;
  bool fpExceptions_ = true;
  bool scriptErrorsSuppressed_ = true;
};

class TVisualEffects : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int TextSize READ TextSize WRITE SetTextSize)
  Q_PROPERTY(bool DisableSounds READ DisableSounds WRITE SetDisableSounds)

 public:
  explicit TVisualEffects(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  int TextSize() const { return textSize_; }
  void SetTextSize(int v) { textSize_ = v; }
  bool DisableSounds() const { return disableSounds_; }
  void SetDisableSounds(bool v) { disableSounds_ = v; }

 private:
  int textSize_ = 2;
  bool disableSounds_ = false;
};

// Page margins (in millimetres, or inches when the print options measure so).
class TMargins : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(double Left READ Left WRITE SetLeft)
  Q_PROPERTY(double Right READ Right WRITE SetRight)
  Q_PROPERTY(double Top READ Top WRITE SetTop)
  Q_PROPERTY(double Bottom READ Bottom WRITE SetBottom)

 public:
  explicit TMargins(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  double Left() const { return left_; }
  void SetLeft(double v) { left_ = v; }
  double Right() const { return right_; }
  void SetRight(double v) { right_ = v; }
  double Top() const { return top_; }
  void SetTop(double v) { top_ = v; }
  double Bottom() const { return bottom_; }
  void SetBottom(double v) { bottom_ = v; }

 private:
  double left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
};

class TPrintOptions : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(EmbeddedWB::TMargins* Margins READ Margins WRITE SetMargins)
  Q_PROPERTY(QString Header READ Header WRITE SetHeader)
  Q_PROPERTY(TStrings* HTMLHeader READ HTMLHeader WRITE SetHTMLHeader)
  Q_PROPERTY(QString Footer READ Footer WRITE SetFooter)
  Q_PROPERTY(EmbeddedWB::TPrintOrientationOption Orientation READ Orientation WRITE SetOrientation)

 public:
  explicit TPrintOptions(QObject* parent = nullptr);
  ~TPrintOptions() override;
  void Assign(TPersistent* source) override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  TMargins* Margins() const { return margins_; }
  void SetMargins(TMargins* v) { margins_->Assign(v); }
  const String& Header() const { return header_; }
  void SetHeader(const String& v) { header_ = v; }
  TStrings* HTMLHeader() const { return htmlHeader_; }
  void SetHTMLHeader(TStrings* v);
  const String& Footer() const { return footer_; }
  void SetFooter(const String& v) { footer_ = v; }
  TPrintOrientationOption Orientation() const { return orientation_; }
  void SetOrientation(TPrintOrientationOption v) { orientation_ = v; }

  // True when the margins are in inches.
  bool Measure = false;

 private:
  bool enabled_ = false;
  TMargins* margins_;
  String header_;
  TStringList* htmlHeader_;
  String footer_;
  TPrintOrientationOption orientation_ = poPortrait;
};

// ---------------------------------------------------------------- TEmbeddedWB

class TEmbeddedWB;

using TMsgEvent = std::function<void(TObject* Sender, TMessage& Msg, bool& Handled)>;
using TShowDialogEvent = std::function<void(TObject* Sender, HWND h, int StyleEx, const String& OldCaption,
                                            String& NewCaption, bool& Cancel)>;
using TOnBusyWait =
    std::function<void(TEmbeddedWB* Sender, Cardinal AStartTime, Cardinal& TimeOut, bool& Cancel)>;
using TEWBOnVisible = std::function<void(TObject* ASender, bool Visible)>;
using TKeyEventEx = std::function<void(TObject* Sender, Word& Key, Word ScanCode, TShiftState Shift)>;

class TEmbeddedWB : public EwbCore::TCustomEmbeddedWB, public IInternetProtocol {
  Q_OBJECT
  Q_PROPERTY(bool Silent READ Silent WRITE SetSilent)
  Q_PROPERTY(bool RegisterAsDropTarget READ RegisterAsDropTarget WRITE SetRegisterAsDropTarget)
  Q_PROPERTY(bool RegisterAsBrowser READ RegisterAsBrowser WRITE SetRegisterAsBrowser)
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(QString HostCSS READ HostCSS WRITE SetHostCSS)
  Q_PROPERTY(QString HostNS READ HostNS WRITE SetHostNS)
  Q_PROPERTY(bool EnableMessageHandler READ EnableMessageHandler WRITE SetEnableMessageHandler)
  Q_PROPERTY(EmbeddedWB::TIEPopupMenuItems DisabledPopupMenuItems READ DisabledPopupMenuItems WRITE
                 SetDisabledPopupMenuItems)
  Q_PROPERTY(EmbeddedWB::TDisableErrors* DisableErrors READ DisableErrors)
  Q_PROPERTY(EmbeddedWB::TDialogBoxes* DialogBoxes READ DialogBoxes)
  Q_PROPERTY(TStringList* HTMLCode READ HTMLCode WRITE SetHTMLCode)
  Q_PROPERTY(EmbeddedWB::TPrintOptions* PrintOptions READ PrintOptions)
  Q_PROPERTY(EmbeddedWB::TProxySettings* ProxySettings READ ProxySettings)
  Q_PROPERTY(EmbeddedWB::TVisualEffects* VisualEffects READ VisualEffects)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(QString UserAgent READ UserAgent WRITE SetUserAgent)
  Q_PROPERTY(EmbeddedWB::TUserAgentMode UserAgentMode READ UserAgentMode WRITE SetUserAgentMode)

 public:
  Q_INVOKABLE explicit TEmbeddedWB(TComponent* AOwner);
  ~TEmbeddedWB() override;

  // ---- published properties
  const String& About() const { return about_; }
  void SetAbout(const String&) {}  // the text is fixed
  const String& HostCSS() const { return hostCSS_; }
  void SetHostCSS(const String& v) { hostCSS_ = v; }
  const String& HostNS() const { return hostNS_; }
  void SetHostNS(const String& v) { hostNS_ = v; }
  bool EnableMessageHandler() const { return enableMessageHandler_; }
  void SetEnableMessageHandler(bool v) { enableMessageHandler_ = v; }
  TIEPopupMenuItems DisabledPopupMenuItems() const { return disabledPopupMenuItems_; }
  void SetDisabledPopupMenuItems(TIEPopupMenuItems v) { disabledPopupMenuItems_ = v; }
  TDisableErrors* DisableErrors() const { return disableErrors_; }
  TDialogBoxes* DialogBoxes() const { return dialogBoxes_; }
  // Its change decides: one line that looks like an address is navigated to,
  // anything else is loaded as the document.
  TStringList* HTMLCode() const { return htmlCode_; }
  void SetHTMLCode(TStringList* value);
  TPrintOptions* PrintOptions() const { return printOptions_; }
  TProxySettings* ProxySettings() const { return proxySettings_; }
  TVisualEffects* VisualEffects() const { return visualEffects_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) override;
  const String& UserAgent() const { return userAgent_; }
  void SetUserAgent(const String& value);
  TUserAgentMode UserAgentMode() const { return userAgentMode_; }
  void SetUserAgentMode(TUserAgentMode value);

  // ---- navigation and waiting
  // An existing folder is navigated to as a file address without waiting;
  // any other non-blank text is handed to Navigate2 and, with a TimeOut
  // (milliseconds, 0 = none), waited for. Blank text does nothing. Answers
  // the wait's result (True when there was nothing to wait for); False when
  // the control refused the address. Never raises: a page that cannot be
  // shown is reported through NavigateError and the browser's error page.
  bool Go(const String& URL, Cardinal TimeOut = 0);
  // How many navigations Go has handed to the control so far: a caller can
  // tell whether a handler it ran has navigated meanwhile.
  unsigned GoRequests() const { return goRequests_; }
  // Pumps messages until the document is complete. False when cancelled by
  // OnBusyWait, timed out (TimeOut ms, 0 = no limit) or when the control was
  // destroyed meanwhile; True when complete, when the application terminates
  // or when the control has no window.
  bool Wait(Cardinal TimeOut = 0);
  // Navigates to "about:blank" (and waits without limit when asked).
  void AssignEmptyDocument(bool WaitForIt = false);
  // The control shows an HTML document.
  bool DocumentLoaded();
  // The browser's import/export wizard.
  void ShowImportExportFavorites();

  // ---- document content
  // S_FALSE when there is no document to save.
  HRESULT SaveToFile(const String& FileName);
  HRESULT SaveToStream(TStream& Stream);
  // Loads the lines (as UTF-8) as the document; makes an empty document first
  // when there is none.
  HRESULT LoadFromStrings(TStrings& Strings);
  HRESULT LoadFromStream(TStream& Stream);

  // ---- convenience methods (routines of unit EwbTools)
  void GetDocumentSource(String& Strings);
  void GetDocumentText(String& Strings);
  bool SetCharset(const String& Charset);
  void SnapShotToImage(TImage* Image);
  bool SaveSnapShotToBitmap(const String& FileName);
  bool SaveSnapShotToJpeg(const String& FileName, int SourceHeight, int SourceWidth, int TargetHeight,
                          int TargetWidth);
  void PrintPreview();
  bool ShowFindDialog();
  int OrganizeFavorites();
  void AddToFavorites(const String& URL, const String& Title);
  String GetFavoritesPath();
  String GetHistoryPath();
  void SearchText(const String& Text);
  bool GoAboutBlank();
  bool CheckOnlineStatus(String& HostName, String& Address, String& ErrorText);
  // False when the page could not be saved (no mail then).
  bool SendPageAsAttachment(TComponent* Owner, const String& FileName, const String& Subject,
                            const String& Body);
  void ClearHistory();
  bool GetSSLStatus(String& Protocol, String& Text);
  bool SetProxy(const String& UserAgent, const String& Proxy);
  bool SetProxyWithAuth(const String& UserAgent, const String& Address, const String& UserName,
                        const String& Password, int Port);
  // Sets the process proxy from ProxySettings; with no address, takes away
  // a proxy set before.
  void ApplyProxySettings();
  void SaveFormSize();
  void SetIEHomePage(const String& URL);
  // The Internet Explorer start page; empty when none is set.
  String GetIEHomePage();
  bool GetLastVisitedPage(String& URL);
  bool SaveLastVisitedPage();
  void DisableSounds(bool Value);

  // ---- focus
  // Takes the focus only when the control can; never raises.
  void SetFocus() override;

  // ---- IUnknown
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // ---- IDocHostUIHandler: the core's answer plus the host style sheet and
  // namespace
  HRESULT GetHostInfo(DOCHOSTUIINFO* pInfo) override;

  // ---- IInternetProtocolRoot, IInternetProtocol: no protocol work is done
  HRESULT Start(LPCWSTR szUrl, IInternetProtocolSink* pOIProtSink, IInternetBindInfo* pOIBindInfo,
                DWORD grfPI, HANDLE_PTR dwReserved) override;
  HRESULT Continue(PROTOCOLDATA* pProtocolData) override;
  HRESULT Abort(HRESULT hrReason, DWORD dwOptions) override;
  HRESULT Terminate(DWORD dwOptions) override;
  HRESULT Suspend() override;
  HRESULT Resume() override;
  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) override;
  HRESULT LockRequest(DWORD dwOptions) override;
  HRESULT UnlockRequest() override;

  // ---- published events
  TCloseQueryEvent OnCloseQuery;
  TMsgEvent OnMessage;
  TShowDialogEvent OnShowDialog;
  TOnBusyWait OnBusyWait;
  TEWBOnVisible OnVisible;
  TKeyEventEx OnKeyDown;
  TKeyEventEx OnKeyUp;
  TMouseEvent OnClick;

 protected:
  void Loaded() override;
  void WndProc(TMessage& Msg) override;
  void Dispatch(TMessage& Msg) override;
  bool HasPopupMenuFilter() override;
  void FilterPopupMenu(DWORD ID, HMENU Menu, IDispatch* Context) override;

 private:
  void HTMLCodeChanged();
  // Applies UserAgentMode with UserAgent.
  void ApplyUserAgentMode();
  // The user-agent ambient property's provider.
  HRESULT ProvideUserAgent(String& Agent);
  // Runs when the browser's inner windows exist: subclasses the folder view,
  // or else the document view and the document window, so that the focus
  // arriving there makes this control the form's active control.
  void HookInnerWindows();
  // One subclassed inner window: the window, the procedure it had and ours.
  struct TInnerWindowSubclass {
    HWND Window = nullptr;
    WNDPROC OldProc = nullptr;
    WNDPROC NewProc = nullptr;
  };
  void SubclassInnerWindow(TInnerWindowSubclass& subclass, HWND window, bool document);
  void InnerWindowProc(TInnerWindowSubclass& subclass, bool document, TMessage& Msg);
  // Gives every subclassed inner window its own procedure back.
  void UnhookInnerWindows();
  void RemoveRegistryUserAgent();
  // The owner form's window procedure is replaced by OwnerWindowProc while
  // this control watches for the browser's dialogs (one form per process).
  void HookOwnerForm();
  void UnhookOwnerForm();
  void OwnerWindowProc(TMessage& Msg);
  // The owner form's WM_ACTIVATE: a dialog that took the activation is
  // reported, closed, given the application's icon and caption, or disposed of.
  void InterceptDialog(TMessage& Msg);
  // Moves the selection of the folder view with an arrow key.
  void FolderViewArrowKey(HWND listView, WORD key, TShiftState shift);
  // Pumps messages until a document exists (bounded); false when none came
  // or the control went away.
  bool WaitForDocument();
  void ReadPageSetup();

  String about_;
  String hostCSS_, hostNS_;
  bool enableMessageHandler_ = true;
  TIEPopupMenuItems disabledPopupMenuItems_;
  TDisableErrors* disableErrors_ = nullptr;
  TDialogBoxes* dialogBoxes_ = nullptr;
  TStringList* htmlCode_ = nullptr;
  TPrintOptions* printOptions_ = nullptr;
  TProxySettings* proxySettings_ = nullptr;
  TVisualEffects* visualEffects_ = nullptr;
  bool visible_ = true;
  bool destroying_ = false;
  unsigned goRequests_ = 0;
  bool windowProcSet_ = false;
  bool interceptWindowPos_ = false;
  bool measure_ = false;  // the locale measures in inches
  // User agent.
  String userAgent_;
  TUserAgentMode userAgentMode_ = uaDefault;
  String registryUserAgent_;  // the value name last written, empty when none
  bool userAgentInRegistry_ = false;
  String announcedUserAgent_;  // the text last announced in internal mode
  // Subclassed inner windows.
  TInnerWindowSubclass folderView_, documentView_, documentWindow_;
  // Owner-form hook.
  QPointer<TWinControl> hookedForm_;
  TWndMethod savedFormWindowProc_;
  HICON applicationIcon_ = nullptr;  // the application's icon, made on first need
  // Protocol no-op state.
  ComPtr<IInternetProtocolSink> protocolSink_;
  ComPtr<IInternetBindInfo> protocolBindInfo_;
};

// The unit's start-up: registers TEmbeddedWB with the form streaming, saves
// the floating-point environment and initializes OLE. Its close-down switches
// off a proxy and turns navigation sounds back on when the control changed
// them, restores the floating-point environment and uninitializes OLE.
void initialize();
void finalize();

}  // namespace EmbeddedWB
