#pragma once
// The browser host core: TCustomEmbeddedWB hosts the WebBrowser control
// (through the TEWB wrapper) and answers the control's questions to its host
// (document host, message and help boxes, commands, services, new windows,
// downloads, authentication, focus, zoom, window moves by scripts, drops and
// the ambient properties) with fixed defaults that published events may
// change. It keeps the control's browser window alive while its own window
// is recreated, and turns two option sets into the download-control word and
// the document's user-interface flags.
//
// TEmbeddedWB (unit EmbeddedWB) derives from it; the forms hold that class.
#include "platform/classlib/Controls.h"
#include "platform/classlib/TypedSet.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/shdocvw/SHDocVw.h"

#include <functional>

namespace EwbCore {
Q_NAMESPACE

// ---------------------------------------------------------------- option sets

// Download-control options; each member maps to one DLCTL flag
// (DownloadControlValues, indexed by ordinal).
enum TDownloadControlOption {
  DownloadImages,
  DownloadVideos,
  DownloadBGSounds,
  DontExecuteScripts,
  DontExecuteJava,
  DontExecuteActiveX,
  DontDownloadActiveX,
  DownloadButDontDisplay,
  DontDownloadFrame,
  CheckPageResynchronize,
  DownloadAndIgnoreCache,
  DontDownloadBehaviors,
  SuppressedMetaCharset,
  DisableUrlIfEncodingUTF8,
  EnableUrlIfEncodingUTF8,
  ForceOfflineMode,
  DontPerformClientPull,
  DownloadInSilentMode,
  WorkOffline,
};
Q_ENUM_NS(TDownloadControlOption)
using TDownloadControlOptions = TSet<TDownloadControlOption>;

// Document user-interface options; each member maps to one DOCHOSTUIFLAG
// value (UserInterfaceValues, indexed by ordinal).
enum TUserInterfaceOption {
  DisableTextSelect,
  DisableHelpMenu,
  DontUse3DBorders,
  DontUseScrollBars,
  PostponeScriptUntilActive,
  ForceOpenNewWindow,
  Reserved_OFFSCREEN,
  ForceFlatScrollBars,
  InsertDivTagOnEditMode,
  ActivateUIOnlyOnDocClick,
  ConsultBeforeRetrievingBehavior,
  CheckFontSupportsCodePage,
  DisableSubmitUrlInUTF8,
  EnableSubmitUrlInUTF8,
  EnablesFormsAutoComplete,
  ForceSameWindowNavigation,
  EmableImeLocalLanguages,
  EnableThemes,
  DisableThemes,
  DisablePicsRatings,
  DisableFrameSetBorder,
  DisablesAutoNameSpaceCorrection,
  DisableLocalFileAccess,
  DisableUntrustedProtocol,
  CheckNavigationDelegatedToHost,
  EnableRedirectNotification,
  EnableDomWindlessControls,
  EnableWindowedControls,
  ForceUserActivationOnActiveXJava,
};
Q_ENUM_NS(TUserInterfaceOption)
using TUserInterfaceOptions = TSet<TUserInterfaceOption>;

// The DLCTL flag of each download-control option.
inline constexpr DWORD DownloadControlValues[19] = {
    0x10,   0x20,   0x40,    0x80,    0x100,   0x200,      0x400,      0x800,      0x1000,      0x2000,
    0x4000, 0x8000, 0x10000, 0x20000, 0x40000, 0x10000000, 0x20000000, 0x40000000, 0x80000000u,
};

// The DOCHOSTUIFLAG value of each user-interface option (0x8000 has no member,
// so from ordinal 15 on the flag is one bit above the ordinal).
inline constexpr DWORD UserInterfaceValues[29] = {
    0x1,       0x2,       0x4,       0x8,        0x10,       0x20,     0x40,     0x80,
    0x100,     0x200,     0x400,     0x800,      0x1000,     0x2000,   0x4000,   0x10000,
    0x20000,   0x40000,   0x80000,   0x100000,   0x200000,   0x400000, 0x800000, 0x1000000,
    0x2000000, 0x4000000, 0x8000000, 0x10000000, 0x20000000,
};

// How a script error is answered.
enum TScriptErrorAction { eaContinue, eaCancel, eaAskUser };
Q_ENUM_NS(TScriptErrorAction)

// Who handles drops on the page: the browser, the control, the control or a
// handler's target, nobody.
enum TDragDropHandlingType { ddtMS, ddtMy, ddtCustom, ddtNo };
Q_ENUM_NS(TDragDropHandlingType)

// The kinds of context menu the browser reports (ordinal = the kind's id).
enum TIEPopupMenu {
  rcmDefault,
  rcmImage,
  rcmControl,
  rcmTable,
  rcmSelText,
  rcmAnchor,
  rcmUnKnown,
  rcmImgDynSrc,
  rcmImageArt,
  rcmDebug,
  rcmAll,
};
Q_ENUM_NS(TIEPopupMenu)
using TIEPopupMenus = TSet<TIEPopupMenu>;

// ---------------------------------------------------------------- event types

// Many events hand the method's result code in and out as `Rezult`.
using TAllowFocusChangeEvent = std::function<void(TObject* Sender, bool& Value)>;
using TGetIDsOfNamesEvent = std::function<void(TObject* Sender, REFIID IID, LPOLESTR* Names, UINT NameCount,
                                               LCID LocaleID, DISPID* DispIDs, HRESULT& Rezult)>;
using TGetTypeInfoEvent =
    std::function<void(TObject* Sender, UINT Index, LCID LocaleID, ITypeInfo*& TypeInfo, HRESULT& Rezult)>;
using TGetTypeInfoCountEvent = std::function<void(TObject* Sender, UINT& Count, HRESULT& Rezult)>;
using TInvokeEvent = std::function<void(TObject* Sender, DISPID DispID, REFIID IID, LCID LocaleID, WORD Flags,
                                        DISPPARAMS* Params, VARIANT* VarResult, EXCEPINFO* ExcepInfo,
                                        UINT* ArgErr, HRESULT& Rezult)>;
using TShowHelpEvent = std::function<HRESULT(TObject* Sender, HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand,
                                             DWORD dwData, POINT ptMouse, IDispatch*& pDispatchObjectHit)>;
using TShowMessageEvent =
    std::function<HRESULT(TObject* Sender, HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                          LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT& plResult)>;
// The handler hands out an object with a reference of its own.
using TFilterDataObjectEvent = std::function<void(TObject* Sender, IDataObject* pDO, IDataObject*& ppDORet)>;
using TGetExternalEvent = std::function<void(TObject* Sender, ComPtr<IDispatch>& ppDispatch)>;
using TGetHostInfoEvent = std::function<void(TObject* Sender, DOCHOSTUIINFO& pInfo)>;
using TEnableModelessEvent = std::function<void(TObject* Sender, bool fEnable)>;
using TZoomPercentChangeEvent = std::function<HRESULT(TObject* Sender, ULONG ulZoomPercent)>;
using TGetDropTargetEvent = std::function<void(TObject* Sender, ComPtr<IDropTarget>& DropTarget)>;
using TRezultEvent = std::function<void(TObject* Sender, HRESULT& Rezult)>;
using TActivateEvent = std::function<void(TObject* Sender, bool fActivate)>;
using TResizeBorderEvent = std::function<void(TObject* Sender, const RECT* prcBorder,
                                              IOleInPlaceUIWindow* pUIWindow, bool fRameWindow)>;
using TShowContextMenuEvent = std::function<void(
    TObject* Sender, DWORD dwID, POINT* ppt, IUnknown* CommandTarget, IDispatch* Context, HRESULT& Result)>;
using TShowUIEvent = std::function<void(TObject* Sender, DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                        IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                        IOleInPlaceUIWindow* pDoc, HRESULT& Rezult)>;
using TTranslateAcceleratorEvent =
    std::function<void(TObject* Sender, MSG* lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID, bool& Done)>;
using TTranslateUrlEvent = std::function<void(TObject* Sender, const String& pchURLIn, String& ppchURLOut)>;
using TOnDragEnterEvent = std::function<void(TObject* Sender, IDataObject* dataObj, int grfKeyState,
                                             TPoint pt, int& dwEffect, HRESULT& Rezult)>;
using TOnDragOverEvent =
    std::function<void(TObject* Sender, int grfKeyState, TPoint pt, int& dwEffect, HRESULT& Rezult)>;
using TOnDropEvent = TOnDragEnterEvent;
using TScriptErrorEvent = std::function<void(
    TObject* Sender, const String& ErrorLine, const String& ErrorCharacter, const String& ErrorCode,
    const String& ErrorMessage, const String& ErrorUrl, TScriptErrorAction& ScriptErrorAction)>;
using TRefreshEvent = std::function<void(TObject* Sender, DWORD CmdID, bool& Cancel)>;
// vaOut may be null.
using TCommandExecEvent =
    std::function<void(TObject* Sender, const GUID* CmdGroup, DWORD nCmdID, DWORD nCmdexecopt,
                       const VARIANT* vaIn, VARIANT* vaOut, HRESULT& Rezult)>;
// The object given is asked for the interface the control wants.
using TQueryServiceEvent =
    std::function<void(TObject* Sender, REFGUID rsid, REFIID iid, ComPtr<IUnknown>& Obj)>;
using TEvaluateNewWindowEvent = std::function<void(
    TObject* Sender, const String& pszUrl, const String& pszName, const String& pszUrlContext,
    const String& pszFeatures, bool fReplace, DWORD dwFlags, DWORD dwUserActionTime, HRESULT& Rezult)>;
using TDownloadEvent = std::function<void(TObject* Sender, IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb,
                                          LONG grfBINDF, BINDINFO* pBindInfo, const String& pszHeaders,
                                          const String& pszRedir, UINT uiCP, HRESULT& Rezult)>;
using TMenuPreprocess = std::function<void(TObject* Sender, DWORD ID, HMENU Menu, IDispatch* Context)>;
using TMaskedCtrlCharEvent = std::function<void(TObject* Sender, WideChar MaskedChar)>;
// A script's window.moveTo, moveBy, resizeTo or resizeBy.
using TWindowMoveEvent = std::function<void(TObject* Sender, int cx, int cy)>;
using TAuthenticateEvent =
    std::function<void(TObject* Sender, HWND& hwnd, String& szUserName, String& szPassWord, HRESULT& Rezult)>;

// ---------------------------------------------------------------- TCustomEmbeddedWB

class TCustomEmbeddedWB : public TEWB,
                          public IDocHostUIHandler2,
                          public IDocHostShowUI,
                          public IOleCommandTarget,
                          public IServiceProvider,
                          public INewWindowManager,
                          public IDownloadManager,
                          public IAuthenticate,
                          public IZoomEvents,
                          public IProtectFocus,
                          public IHTMLOMWindowServices,
                          public IHostBehaviorInit,
                          public IDropTarget {
  Q_OBJECT
  Q_PROPERTY(QString DisableCtrlShortcuts READ DisableCtrlShortcuts WRITE SetDisableCtrlShortcuts)
  Q_PROPERTY(EwbCore::TDownloadControlOptions DownloadOptions READ DownloadOptions WRITE SetDownloadOptions)
  Q_PROPERTY(EwbCore::TUserInterfaceOptions UserInterfaceOptions READ UserInterfaceOptions WRITE
                 SetUserInterfaceOptions)
  Q_PROPERTY(QString HelpFile READ HelpFile WRITE SetHelpFile)
  Q_PROPERTY(QString OptionKeyPath READ OptionKeyPath WRITE SetOptionKeyPath)
  Q_PROPERTY(bool OverrideOptionKeyPath READ OverrideOptionKeyPath WRITE SetOverrideOptionKeyPath)
  Q_PROPERTY(EwbCore::TDragDropHandlingType DropHandlingType READ DropHandlingType WRITE SetDropHandlingType)
  Q_PROPERTY(EwbCore::TIEPopupMenus DisabledPopupMenus READ DisabledPopupMenus WRITE SetDisabledPopupMenus)
  Q_PROPERTY(bool FloatingHosting READ FloatingHosting WRITE SetFloatingHosting)
  Q_PROPERTY(EwbCore::TScriptErrorAction ScriptErrorAction READ ScriptErrorAction WRITE SetScriptErrorAction)

 public:
  // Creates the WebBrowser object, then sets the defaults: focus changes
  // allowed, script errors answered with eaContinue, DownloadOptions
  // [DownloadImages, DownloadVideos, DownloadBGSounds] (word 0x70),
  // UserInterfaceOptions [EnablesFormsAutoComplete, EnableThemes] (flags
  // 0x44000), drops handled by the browser, Ctrl+N masked.
  Q_INVOKABLE explicit TCustomEmbeddedWB(TComponent* AOwner);
  ~TCustomEmbeddedWB() override;

  // ---- published properties
  const String& DisableCtrlShortcuts() const { return disableCtrlShortcuts_; }
  void SetDisableCtrlShortcuts(const String& value) { disableCtrlShortcuts_ = value; }
  TDownloadControlOptions DownloadOptions() const { return downloadOptions_; }
  // Stores the set, rebuilds the download-control word and tells the control.
  void SetDownloadOptions(TDownloadControlOptions value);
  TUserInterfaceOptions UserInterfaceOptions() const { return userInterfaceOptions_; }
  // Stores the set, rebuilds the host-UI flags word and tells the control.
  void SetUserInterfaceOptions(TUserInterfaceOptions value);
  const String& HelpFile() const { return helpFile_; }
  void SetHelpFile(const String& value) { helpFile_ = value; }
  const String& OptionKeyPath() const { return optionKeyPath_; }
  void SetOptionKeyPath(const String& value) { optionKeyPath_ = value; }
  bool OverrideOptionKeyPath() const { return overrideOptionKeyPath_; }
  void SetOverrideOptionKeyPath(bool value) { overrideOptionKeyPath_ = value; }
  TDragDropHandlingType DropHandlingType() const { return dropHandlingType_; }
  void SetDropHandlingType(TDragDropHandlingType value);
  TIEPopupMenus DisabledPopupMenus() const { return disabledPopupMenus_; }
  void SetDisabledPopupMenus(TIEPopupMenus value) { disabledPopupMenus_ = value; }
  bool FloatingHosting() const { return floatingHosting_; }
  void SetFloatingHosting(bool value) { floatingHosting_ = value; }
  TScriptErrorAction ScriptErrorAction() const { return scriptErrorAction_; }
  void SetScriptErrorAction(TScriptErrorAction value) { scriptErrorAction_ = value; }

  // ---- operations
  // The current document as an HTML document; null without one.
  ComPtr<IHTMLDocument2> GetDocument() const;
  // Follows first children down from the control's window and answers the
  // first of them whose class name is `ClassName` (exact); 0 when the control
  // has no window or nothing matches.
  HWND FindChildWindowByClass(const String& ClassName);
  // Applies a zoom (text size) value, clamped into the document's range.
  // Nothing happens without a document or when the range is not known.
  void SetZoom(int Value);
  // Gives the keyboard focus to the document and makes the control its
  // form's active control.
  void SetFocusToDoc();

  // ---- IUnknown: the host interfaces here, the rest from the control host
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // ---- IDispatch: the ambient properties
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- IDocHostUIHandler, IDocHostUIHandler2
  HRESULT ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved, IDispatch* pdispReserved) override;
  HRESULT GetHostInfo(DOCHOSTUIINFO* pInfo) override;
  HRESULT ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject, IOleCommandTarget* pCommandTarget,
                 IOleInPlaceFrame* pFrame, IOleInPlaceUIWindow* pDoc) override;
  HRESULT HideUI() override;
  HRESULT UpdateUI() override;
  HRESULT EnableModeless(BOOL fEnable) override;
  HRESULT OnDocWindowActivate(BOOL fActivate) override;
  HRESULT OnFrameWindowActivate(BOOL fActivate) override;
  HRESULT ResizeBorder(const RECT* prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fRameWindow) override;
  HRESULT TranslateAccelerator(MSG* lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
  HRESULT GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
  HRESULT GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
  HRESULT GetExternal(IDispatch** ppDispatch) override;
  HRESULT TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) override;
  HRESULT FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;
  HRESULT GetOverrideKeyPath(LPOLESTR* pchKey, DWORD dw) override;

  // ---- IDocHostShowUI
  HRESULT ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                      LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) override;
  HRESULT ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData, POINT ptMouse,
                   IDispatch* pDispatchObjectHit) override;

  // ---- IOleCommandTarget
  HRESULT QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                      OLECMDTEXT* pCmdText) override;
  HRESULT Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
               VARIANT* pvaOut) override;

  // ---- IServiceProvider
  HRESULT QueryService(REFGUID guidService, REFIID riid, void** ppvObject) override;

  // ---- INewWindowManager, IDownloadManager, IAuthenticate
  HRESULT EvaluateNewWindow(LPCWSTR pszUrl, LPCWSTR pszName, LPCWSTR pszUrlContext, LPCWSTR pszFeatures,
                            BOOL fReplace, DWORD dwFlags, DWORD dwUserActionTime) override;
  HRESULT Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                   LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP) override;
  HRESULT Authenticate(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword) override;

  // ---- IZoomEvents, IProtectFocus, IHostBehaviorInit
  HRESULT OnZoomPercentChanged(ULONG ulZoomPercent) override;
  HRESULT AllowFocusChange(BOOL* pfAllow) override;
  HRESULT PopulateNamespaceTable() override;

  // ---- IHTMLOMWindowServices
  HRESULT moveTo(LONG x, LONG y) override;
  HRESULT moveBy(LONG x, LONG y) override;
  HRESULT resizeTo(LONG x, LONG y) override;
  HRESULT resizeBy(LONG x, LONG y) override;

  // ---- IDropTarget (the control's own drop target)
  HRESULT DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
  HRESULT DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
  HRESULT DragLeave() override;
  HRESULT Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;

  // ---- published events
  TAllowFocusChangeEvent OnAllowFocusChange;
  TGetIDsOfNamesEvent OnGetIDsOfNames;
  TGetTypeInfoEvent OnGetTypeInfo;
  TGetTypeInfoCountEvent OnGetTypeInfoCount;
  TInvokeEvent OnInvoke;
  TShowHelpEvent OnShowHelpRequest;
  TShowMessageEvent OnShowMessage;
  TFilterDataObjectEvent OnFilterDataObject;
  TGetExternalEvent OnGetExternal;
  TGetHostInfoEvent OnGetHostInfo;
  TEnableModelessEvent OnEnableModeless;
  TZoomPercentChangeEvent OnZoomPercentChange;
  TGetDropTargetEvent OnGetDropTarget;
  TRezultEvent OnHideUI;
  TActivateEvent OnOnDocWindowActivate;
  TActivateEvent OnOnFrameWindowActivate;
  TResizeBorderEvent OnResizeBorder;
  TShowContextMenuEvent OnShowContextMenu;
  TShowUIEvent OnShowUI;
  TTranslateAcceleratorEvent OnTranslateAccelerator;
  TTranslateUrlEvent OnTranslateUrl;
  TRezultEvent OnUpdateUI;
  TOnDragEnterEvent OnDragEnter;
  TNotifyEvent OnDragLeave;
  TOnDragOverEvent OnDragOver2;
  TOnDropEvent OnDropEvent;
  TScriptErrorEvent OnScriptError;
  TRefreshEvent OnRefresh;
  TNotifyEvent OnUnload;
  TCommandExecEvent OnCommandExec;
  TQueryServiceEvent OnQueryService;
  TEvaluateNewWindowEvent OnEvaluateNewWindow;
  // The download manager's event; it takes the place of the wrapper's
  // OnFileDownload among the published events.
  TDownloadEvent OnFileDownload;
  TMenuPreprocess OnFilterPopupMenu;
  TMaskedCtrlCharEvent OnMaskedCtrlChar;
  TWindowMoveEvent OnMove;
  TWindowMoveEvent OnMoveBy;
  TWindowMoveEvent OnResize;
  TWindowMoveEvent OnResizeBy;
  TNotifyEvent OnPopulateNSTable;
  TAuthenticateEvent OnAuthenticate;

 protected:
  // Window parking: while the control's window is recreated (not destroyed
  // with the control), the window and the browser in it wait under the
  // application's hidden window and come back with the page still loaded.
  void CreateWnd() override;
  void DestroyWnd() override;

  // ---- operations a descendant may replace
  // Whether a key message is a Ctrl shortcut that DisableCtrlShortcuts masks.
  virtual bool IsMaskedCtrlKey(const MSG& msg);
  // Answers the script-error command: 0 (answered) or 1 (the browser asks).
  virtual HRESULT HandleScriptError(VARIANT* vaIn, VARIANT* vaOut);
  // Hands out this control as the service asked for when it serves it;
  // S_OK when it did.
  virtual HRESULT QueryOwnService(REFGUID guidService, REFIID riid, void** ppvObject);
  // Whether the browser's context menu is built here to be filtered.
  virtual bool HasPopupMenuFilter();
  // Changes the browser's context menu before it shows.
  virtual void FilterPopupMenu(DWORD ID, HMENU Menu, IDispatch* Context);

  // Tells the control that an ambient property changed.
  void AmbientPropertyChanged(DISPID dispID);

  // Asked for the user-agent ambient property: 0 and a text to answer with,
  // anything else to leave the question to the control host.
  std::function<HRESULT(String& UserAgent)> UserAgentProvider;
  // Runs when the control reports that its inner windows exist.
  std::function<void()> InnerWindowHook;

 private:
  // Exec on the current document's command target (no command group);
  // E_UNEXPECTED without a document or command target.
  HRESULT ExecDocumentCommand(DWORD CmdID, DWORD ExecOpt, VARIANT* In, VARIANT* Out);
  // Shows the browser's own context menu built here (filtered); false when
  // the menu cannot be built.
  bool ShowFilteredMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved, IDispatch* pdispReserved);
  // The top-level form that holds the control (null when none).
  TCustomForm* HostForm();

  TDownloadControlOptions downloadOptions_;
  String helpFile_;
  String optionKeyPath_;
  bool overrideOptionKeyPath_ = false;
  TUserInterfaceOptions userInterfaceOptions_;
  TScriptErrorAction scriptErrorAction_ = eaContinue;
  bool allowFocusChange_ = true;
  TDragDropHandlingType dropHandlingType_ = ddtMS;
  bool designMode_ = false;
  TIEPopupMenus disabledPopupMenus_;
  String disableCtrlShortcuts_;
  bool floatingHosting_ = false;
  HWND parkedWindow_ = nullptr;
  DWORD downloadControlWord_ = 0;
  DWORD hostUIFlags_ = 0;
};

// The DLCTL word of a set of download-control options.
DWORD DownloadControlWord(TDownloadControlOptions options);
// The DOCHOSTUIFLAG word of a set of user-interface options.
DWORD UserInterfaceWord(TUserInterfaceOptions options);

// The unit's start-up and close-down: registers TCustomEmbeddedWB and its
// events with the form streaming.
void initialize();
void finalize();

}  // namespace EwbCore
