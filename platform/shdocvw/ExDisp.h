#pragma once
// The WebBrowser control's interfaces and constants: beside the OLE control
// interfaces it implements (object, control, in-place object, view; see
// platform/com/OleCtl.h), its automation interfaces (IWebBrowser, IWebBrowserApp, IWebBrowser2), the
// dispatch ids of its events (DWebBrowserEvents2), its command ids, and the
// host-side interfaces it calls back through its client site (document host,
// message and help boxes, new windows, downloads, zoom, focus, window
// services).
#include "platform/com/ConnectionPoints.h"
#include "platform/com/OleCtl.h"
#include "platform/com/OleIdl.h"
#include "platform/com/Variant.h"
#include "platform/winapi/Windows.h"

// ---------------------------------------------------------------- navigation

// Flags of Navigate / Navigate2 and of BeforeNavigate2.
enum BrowserNavConstants : LONG {
  navOpenInNewWindow = 0x1,
  navNoHistory = 0x2,
  navNoReadFromCache = 0x4,
  navNoWriteToCache = 0x8,
  navAllowAutosearch = 0x10,
  navBrowserBar = 0x20,
  navHyperlink = 0x40,
  navEnforceRestricted = 0x80,
  navNewWindowsManaged = 0x100,
  navUntrustedForDownload = 0x200,
  navTrustedForActiveX = 0x400,
  navOpenInNewTab = 0x800,
  navOpenInBackgroundTab = 0x1000,
  navKeepWordWheelText = 0x2000,
  navVirtualTab = 0x4000,
  navBlockRedirectsXDomain = 0x8000,
  navOpenNewForegroundTab = 0x10000,
};

// Levels of Refresh2.
enum RefreshConstants : LONG {
  REFRESH_NORMAL = 0,
  REFRESH_IFEXPIRED = 1,
  REFRESH_COMPLETELY = 3,
};

// Command of CommandStateChange.
enum CommandStateChangeConstants : LONG {
  CSC_UPDATECOMMANDS = -1,
  CSC_NAVIGATEFORWARD = 1,
  CSC_NAVIGATEBACK = 2,
};

// Values of SetSecureLockIcon.
enum SecureLockIconConstants : LONG {
  secureLockIconUnsecure = 0,
  secureLockIconMixed = 1,
  secureLockIconSecureUnknownBits = 2,
  secureLockIconSecure40Bit = 3,
  secureLockIconSecure56Bit = 4,
  secureLockIconSecureFortezza = 5,
  secureLockIconSecure128Bit = 6,
};

// Flags of NewWindow3 and INewWindowManager::EvaluateNewWindow.
enum NWMF : DWORD {
  NWMF_UNLOADING = 0x1,
  NWMF_USERINITED = 0x2,
  NWMF_FIRST = 0x4,
  NWMF_OVERRIDEKEY = 0x8,
  NWMF_SHOWHELP = 0x10,
  NWMF_HTMLDIALOG = 0x20,
  NWMF_FROMDIALOGCHILD = 0x40,
  NWMF_USERREQUESTED = 0x80,
  NWMF_USERALLOWED = 0x100,
  NWMF_FORCEWINDOW = 0x10000,
  NWMF_FORCETAB = 0x20000,
  NWMF_SUGGESTWINDOW = 0x40000,
  NWMF_SUGGESTTAB = 0x80000,
  NWMF_INACTIVETAB = 0x100000,
};

// ---------------------------------------------------------------- dispatch ids

// Members of IWebBrowser, IWebBrowserApp and IWebBrowser2.
inline constexpr DISPID DISPID_WB_GOBACK = 100;
inline constexpr DISPID DISPID_WB_GOFORWARD = 101;
inline constexpr DISPID DISPID_WB_GOHOME = 102;
inline constexpr DISPID DISPID_WB_GOSEARCH = 103;
inline constexpr DISPID DISPID_WB_NAVIGATE = 104;
inline constexpr DISPID DISPID_WB_REFRESH = -550;
inline constexpr DISPID DISPID_WB_REFRESH2 = 105;
inline constexpr DISPID DISPID_WB_STOP = 106;
inline constexpr DISPID DISPID_WB_APPLICATION = 200;
inline constexpr DISPID DISPID_WB_PARENT = 201;
inline constexpr DISPID DISPID_WB_CONTAINER = 202;
inline constexpr DISPID DISPID_WB_DOCUMENT = 203;
inline constexpr DISPID DISPID_WB_TOPLEVELCONTAINER = 204;
inline constexpr DISPID DISPID_WB_TYPE = 205;
inline constexpr DISPID DISPID_WB_LEFT = 206;
inline constexpr DISPID DISPID_WB_TOP = 207;
inline constexpr DISPID DISPID_WB_WIDTH = 208;
inline constexpr DISPID DISPID_WB_HEIGHT = 209;
inline constexpr DISPID DISPID_WB_LOCATIONNAME = 210;
inline constexpr DISPID DISPID_WB_LOCATIONURL = 211;
inline constexpr DISPID DISPID_WB_BUSY = 212;
inline constexpr DISPID DISPID_WB_QUIT = 300;
inline constexpr DISPID DISPID_WB_CLIENTTOWINDOW = 301;
inline constexpr DISPID DISPID_WB_PUTPROPERTY = 302;
inline constexpr DISPID DISPID_WB_GETPROPERTY = 303;
inline constexpr DISPID DISPID_WB_NAME = 0;
inline constexpr DISPID DISPID_WB_HWND = DISPID_HWND;
inline constexpr DISPID DISPID_WB_FULLNAME = 400;
inline constexpr DISPID DISPID_WB_PATH = 401;
inline constexpr DISPID DISPID_WB_VISIBLE = 402;
inline constexpr DISPID DISPID_WB_STATUSBAR = 403;
inline constexpr DISPID DISPID_WB_STATUSTEXT = 404;
inline constexpr DISPID DISPID_WB_TOOLBAR = 405;
inline constexpr DISPID DISPID_WB_MENUBAR = 406;
inline constexpr DISPID DISPID_WB_FULLSCREEN = 407;
inline constexpr DISPID DISPID_WB_NAVIGATE2 = 500;
inline constexpr DISPID DISPID_WB_QUERYSTATUSWB = 501;
inline constexpr DISPID DISPID_WB_EXECWB = 502;
inline constexpr DISPID DISPID_WB_SHOWBROWSERBAR = 503;
inline constexpr DISPID DISPID_WB_READYSTATE = DISPID_READYSTATE;
inline constexpr DISPID DISPID_WB_OFFLINE = 550;
inline constexpr DISPID DISPID_WB_SILENT = 551;
inline constexpr DISPID DISPID_WB_REGISTERASBROWSER = 552;
inline constexpr DISPID DISPID_WB_REGISTERASDROPTARGET = 553;
inline constexpr DISPID DISPID_WB_THEATERMODE = 554;
inline constexpr DISPID DISPID_WB_ADDRESSBAR = 555;
inline constexpr DISPID DISPID_WB_RESIZABLE = 556;

// Events of DWebBrowserEvents2. Parameters in their natural order; out
// parameters are passed by reference (VT_BYREF).
inline constexpr DISPID DISPID_STATUSTEXTCHANGE = 102;  // Text: BSTR
inline constexpr DISPID DISPID_DOWNLOADCOMPLETE = 104;
inline constexpr DISPID DISPID_COMMANDSTATECHANGE = 105;  // Command: I4, Enable: BOOL
inline constexpr DISPID DISPID_DOWNLOADBEGIN = 106;
inline constexpr DISPID DISPID_PROGRESSCHANGE = 108;              // Progress: I4, ProgressMax: I4
inline constexpr DISPID DISPID_PROPERTYCHANGE = 112;              // szProperty: BSTR
inline constexpr DISPID DISPID_TITLECHANGE = 113;                 // Text: BSTR
inline constexpr DISPID DISPID_PRINTTEMPLATEINSTANTIATION = 225;  // pDisp
inline constexpr DISPID DISPID_PRINTTEMPLATETEARDOWN = 226;       // pDisp
inline constexpr DISPID DISPID_UPDATEPAGESTATUS = 227;            // pDisp, nPage: VARIANT*, fDone: VARIANT*
// pDisp, URL, Flags, TargetFrameName, PostData, Headers (all VARIANT*), Cancel: BOOL*
inline constexpr DISPID DISPID_BEFORENAVIGATE2 = 250;
inline constexpr DISPID DISPID_NEWWINDOW2 = 251;         // ppDisp: IDispatch**, Cancel: BOOL*
inline constexpr DISPID DISPID_NAVIGATECOMPLETE2 = 252;  // pDisp, URL: VARIANT*
inline constexpr DISPID DISPID_ONQUIT = 253;
inline constexpr DISPID DISPID_ONVISIBLE = 254;           // Visible: BOOL
inline constexpr DISPID DISPID_ONTOOLBAR = 255;           // ToolBar: BOOL
inline constexpr DISPID DISPID_ONMENUBAR = 256;           // MenuBar: BOOL
inline constexpr DISPID DISPID_ONSTATUSBAR = 257;         // StatusBar: BOOL
inline constexpr DISPID DISPID_ONFULLSCREEN = 258;        // FullScreen: BOOL
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;    // pDisp, URL: VARIANT*
inline constexpr DISPID DISPID_ONTHEATERMODE = 260;       // TheaterMode: BOOL
inline constexpr DISPID DISPID_ONADDRESSBAR = 261;        // AddressBar: BOOL
inline constexpr DISPID DISPID_WINDOWSETRESIZABLE = 262;  // Resizable: BOOL
inline constexpr DISPID DISPID_WINDOWCLOSING = 263;       // IsChildWindow: BOOL, Cancel: BOOL*
inline constexpr DISPID DISPID_WINDOWSETLEFT = 264;       // Left: I4
inline constexpr DISPID DISPID_WINDOWSETTOP = 265;        // Top: I4
inline constexpr DISPID DISPID_WINDOWSETWIDTH = 266;      // Width: I4
inline constexpr DISPID DISPID_WINDOWSETHEIGHT = 267;     // Height: I4
inline constexpr DISPID DISPID_CLIENTTOHOSTWINDOW = 268;  // CX: I4*, CY: I4*
inline constexpr DISPID DISPID_SETSECURELOCKICON = 269;   // SecureLockIcon: I4
inline constexpr DISPID DISPID_FILEDOWNLOAD = 270;        // ActiveDocument: BOOL, Cancel: BOOL*
// pDisp, URL, Frame, StatusCode (VARIANT*), Cancel: BOOL*
inline constexpr DISPID DISPID_NAVIGATEERROR = 271;
inline constexpr DISPID DISPID_PRIVACYIMPACTEDSTATECHANGE = 272;  // bImpacted: BOOL
// ppDisp: IDispatch**, Cancel: BOOL*, dwFlags: UI4, bstrUrlContext: BSTR, bstrUrl: BSTR
inline constexpr DISPID DISPID_NEWWINDOW3 = 273;

// ---------------------------------------------------------------- host UI flags

// DOCHOSTUIINFO::dwFlags.
enum DOCHOSTUIFLAG : DWORD {
  DOCHOSTUIFLAG_DIALOG = 0x1,
  DOCHOSTUIFLAG_DISABLE_HELP_MENU = 0x2,
  DOCHOSTUIFLAG_NO3DBORDER = 0x4,
  DOCHOSTUIFLAG_SCROLL_NO = 0x8,
  DOCHOSTUIFLAG_DISABLE_SCRIPT_INACTIVE = 0x10,
  DOCHOSTUIFLAG_OPENNEWWIN = 0x20,
  DOCHOSTUIFLAG_DISABLE_OFFSCREEN = 0x40,
  DOCHOSTUIFLAG_FLAT_SCROLLBAR = 0x80,
  DOCHOSTUIFLAG_DIV_BLOCKDEFAULT = 0x100,
  DOCHOSTUIFLAG_ACTIVATE_CLIENTHIT_ONLY = 0x200,
  DOCHOSTUIFLAG_OVERRIDEBEHAVIORFACTORY = 0x400,
  DOCHOSTUIFLAG_CODEPAGELINKEDFONTS = 0x800,
  DOCHOSTUIFLAG_URL_ENCODING_DISABLE_UTF8 = 0x1000,
  DOCHOSTUIFLAG_URL_ENCODING_ENABLE_UTF8 = 0x2000,
  DOCHOSTUIFLAG_ENABLE_FORMS_AUTOCOMPLETE = 0x4000,
  DOCHOSTUIFLAG_ENABLE_INPLACE_NAVIGATION = 0x10000,
  DOCHOSTUIFLAG_IME_ENABLE_RECONVERSION = 0x20000,
  DOCHOSTUIFLAG_THEME = 0x40000,
  DOCHOSTUIFLAG_NOTHEME = 0x80000,
  DOCHOSTUIFLAG_NOPICS = 0x100000,
  DOCHOSTUIFLAG_NO3DOUTERBORDER = 0x200000,
  DOCHOSTUIFLAG_DISABLE_EDIT_NS_FIXUP = 0x400000,
  DOCHOSTUIFLAG_LOCAL_MACHINE_ACCESS_CHECK = 0x800000,
  DOCHOSTUIFLAG_DISABLE_UNTRUSTEDPROTOCOL = 0x1000000,
  DOCHOSTUIFLAG_HOST_NAVIGATES = 0x2000000,
  DOCHOSTUIFLAG_ENABLE_REDIRECT_NOTIFICATION = 0x4000000,
  DOCHOSTUIFLAG_USE_WINDOWLESS_SELECTCONTROL = 0x8000000,
  DOCHOSTUIFLAG_USE_WINDOWED_SELECTCONTROL = 0x10000000,
  DOCHOSTUIFLAG_ENABLE_ACTIVEX_INACTIVATE_MODE = 0x20000000,
  DOCHOSTUIFLAG_DPI_AWARE = 0x40000000,
};

// DOCHOSTUIINFO::dwDoubleClick.
enum DOCHOSTUIDBLCLK : DWORD {
  DOCHOSTUIDBLCLK_DEFAULT = 0,
  DOCHOSTUIDBLCLK_SHOWPROPERTIES = 1,
  DOCHOSTUIDBLCLK_SHOWCODE = 2,
};

// What the host answers GetHostInfo with. The two strings are task memory
// (or null) that the control frees.
struct DOCHOSTUIINFO {
  ULONG cbSize;
  DWORD dwFlags;
  DWORD dwDoubleClick;
  OLECHAR* pchHostCss;
  OLECHAR* pchHostNS;
};

// Kinds of ShowContextMenu.
enum : DWORD {
  CONTEXT_MENU_DEFAULT = 0,
  CONTEXT_MENU_IMAGE = 1,
  CONTEXT_MENU_CONTROL = 2,
  CONTEXT_MENU_TABLE = 3,
  CONTEXT_MENU_TEXTSELECT = 4,
  CONTEXT_MENU_ANCHOR = 5,
  CONTEXT_MENU_UNKNOWN = 6,
  CONTEXT_MENU_IMGDYNSRC = 7,
  CONTEXT_MENU_IMGART = 8,
  CONTEXT_MENU_DEBUG = 9,
  CONTEXT_MENU_VSCROLL = 10,
  CONTEXT_MENU_HSCROLL = 11,
  CONTEXT_MENU_MEDIA = 12,
};

// ---------------------------------------------------------------- the browser

struct IWebBrowser : IDispatch {
  virtual HRESULT GoBack() = 0;
  virtual HRESULT GoForward() = 0;
  virtual HRESULT GoHome() = 0;
  virtual HRESULT GoSearch() = 0;
  virtual HRESULT Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                           VARIANT* Headers) = 0;
  virtual HRESULT Refresh() = 0;
  virtual HRESULT Refresh2(VARIANT* Level) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT get_Application(IDispatch** ppDisp) = 0;
  virtual HRESULT get_Parent(IDispatch** ppDisp) = 0;
  virtual HRESULT get_Container(IDispatch** ppDisp) = 0;
  virtual HRESULT get_Document(IDispatch** ppDisp) = 0;
  virtual HRESULT get_TopLevelContainer(VARIANT_BOOL* pBool) = 0;
  virtual HRESULT get_Type(BSTR* Type) = 0;
  virtual HRESULT get_Left(LONG* pl) = 0;
  virtual HRESULT put_Left(LONG Left) = 0;
  virtual HRESULT get_Top(LONG* pl) = 0;
  virtual HRESULT put_Top(LONG Top) = 0;
  virtual HRESULT get_Width(LONG* pl) = 0;
  virtual HRESULT put_Width(LONG Width) = 0;
  virtual HRESULT get_Height(LONG* pl) = 0;
  virtual HRESULT put_Height(LONG Height) = 0;
  virtual HRESULT get_LocationName(BSTR* LocationName) = 0;
  virtual HRESULT get_LocationURL(BSTR* LocationURL) = 0;
  virtual HRESULT get_Busy(VARIANT_BOOL* pBool) = 0;
};
NOCTIVANE_DECLARE_IID(IWebBrowser, IDispatch, "{EAB22AC1-30C1-11CF-A7EB-0000C05BAE0B}")

struct IWebBrowserApp : IWebBrowser {
  virtual HRESULT Quit() = 0;
  virtual HRESULT ClientToWindow(int* pcx, int* pcy) = 0;
  virtual HRESULT PutProperty(BSTR Property, VARIANT vtValue) = 0;
  virtual HRESULT GetProperty(BSTR Property, VARIANT* pvtValue) = 0;
  virtual HRESULT get_Name(BSTR* Name) = 0;
  virtual HRESULT get_HWND(SHANDLE_PTR* pHWND) = 0;
  virtual HRESULT get_FullName(BSTR* FullName) = 0;
  virtual HRESULT get_Path(BSTR* Path) = 0;
  virtual HRESULT get_Visible(VARIANT_BOOL* pBool) = 0;
  virtual HRESULT put_Visible(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_StatusBar(VARIANT_BOOL* pBool) = 0;
  virtual HRESULT put_StatusBar(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_StatusText(BSTR* StatusText) = 0;
  virtual HRESULT put_StatusText(BSTR StatusText) = 0;
  virtual HRESULT get_ToolBar(int* Value) = 0;
  virtual HRESULT put_ToolBar(int Value) = 0;
  virtual HRESULT get_MenuBar(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_MenuBar(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_FullScreen(VARIANT_BOOL* pbFullScreen) = 0;
  virtual HRESULT put_FullScreen(VARIANT_BOOL bFullScreen) = 0;
};
NOCTIVANE_DECLARE_IID(IWebBrowserApp, IWebBrowser, "{0002DF05-0000-0000-C000-000000000046}")

struct IWebBrowser2 : IWebBrowserApp {
  virtual HRESULT Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                            VARIANT* Headers) = 0;
  virtual HRESULT QueryStatusWB(OLECMDID cmdID, OLECMDF* pcmdf) = 0;
  virtual HRESULT ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT* pvaIn, VARIANT* pvaOut) = 0;
  virtual HRESULT ShowBrowserBar(VARIANT* pvaClsid, VARIANT* pvarShow, VARIANT* pvarSize) = 0;
  virtual HRESULT get_ReadyState(READYSTATE* plReadyState) = 0;
  virtual HRESULT get_Offline(VARIANT_BOOL* pbOffline) = 0;
  virtual HRESULT put_Offline(VARIANT_BOOL bOffline) = 0;
  virtual HRESULT get_Silent(VARIANT_BOOL* pbSilent) = 0;
  virtual HRESULT put_Silent(VARIANT_BOOL bSilent) = 0;
  virtual HRESULT get_RegisterAsBrowser(VARIANT_BOOL* pbRegister) = 0;
  virtual HRESULT put_RegisterAsBrowser(VARIANT_BOOL bRegister) = 0;
  virtual HRESULT get_RegisterAsDropTarget(VARIANT_BOOL* pbRegister) = 0;
  virtual HRESULT put_RegisterAsDropTarget(VARIANT_BOOL bRegister) = 0;
  virtual HRESULT get_TheaterMode(VARIANT_BOOL* pbRegister) = 0;
  virtual HRESULT put_TheaterMode(VARIANT_BOOL bRegister) = 0;
  virtual HRESULT get_AddressBar(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_AddressBar(VARIANT_BOOL Value) = 0;
  virtual HRESULT get_Resizable(VARIANT_BOOL* Value) = 0;
  virtual HRESULT put_Resizable(VARIANT_BOOL Value) = 0;
};
NOCTIVANE_DECLARE_IID(IWebBrowser2, IWebBrowserApp, "{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}")

// The browser's event interface, a dispatch interface: sinks are IDispatch
// objects that answer QueryInterface for it.
struct DWebBrowserEvents2 : IDispatch {};
NOCTIVANE_DECLARE_IID(DWebBrowserEvents2, IDispatch, "{34A715A0-6587-11D0-924A-0020AFC7AC4D}")
inline constexpr const IID& DIID_DWebBrowserEvents2 = IID_DWebBrowserEvents2;

inline constexpr CLSID CLSID_WebBrowser = GuidLiteral("{8856F961-340A-11D0-A96B-00C04FD705A2}");

// Command groups.
inline constexpr GUID CGID_Explorer = GuidLiteral("{000214D0-0000-0000-C000-000000000046}");
inline constexpr GUID CGID_ShellDocView = GuidLiteral("{000214D1-0000-0000-C000-000000000046}");
inline constexpr GUID CGID_DocHostCommandHandler = GuidLiteral("{F38BC242-B950-11D1-8918-00C04FC2C836}");
inline constexpr GUID CGID_IWebBrowser = GuidLiteral("{ED016940-BD5B-11CF-BA4E-00C04FD70816}");

// Commands the control sends to its host's command target.
inline constexpr DWORD CMDID_EXPLORER_ONUNLOAD = OLECMDID_ONUNLOAD;  // CGID_Explorer, 37
// CGID_Explorer, 39: the control's inner windows exist (sent once they do).
inline constexpr DWORD CMDID_EXPLORER_INNERWINDOWS = 39;

// ---------------------------------------------------------------- host interfaces

struct IDocHostUIHandler : IUnknown {
  // S_OK: the host showed (or suppressed) the menu; S_FALSE: the control
  // shows its own.
  virtual HRESULT ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                  IDispatch* pdispReserved) = 0;
  virtual HRESULT GetHostInfo(DOCHOSTUIINFO* pInfo) = 0;
  virtual HRESULT ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                         IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                         IOleInPlaceUIWindow* pDoc) = 0;
  virtual HRESULT HideUI() = 0;
  virtual HRESULT UpdateUI() = 0;
  virtual HRESULT EnableModeless(BOOL fEnable) = 0;
  virtual HRESULT OnDocWindowActivate(BOOL fActivate) = 0;
  virtual HRESULT OnFrameWindowActivate(BOOL fActivate) = 0;
  virtual HRESULT ResizeBorder(const RECT* prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fRameWindow) = 0;
  // S_OK: the host handled the key; S_FALSE: the control handles it.
  virtual HRESULT TranslateAccelerator(MSG* lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) = 0;
  virtual HRESULT GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) = 0;
  virtual HRESULT GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) = 0;
  virtual HRESULT GetExternal(IDispatch** ppDispatch) = 0;
  // S_OK with a task-memory address in *ppchURLOut: navigate there instead.
  virtual HRESULT TranslateUrl(DWORD dwTranslate, LPWSTR pchURLIn, LPWSTR* ppchURLOut) = 0;
  virtual HRESULT FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) = 0;
};
NOCTIVANE_DECLARE_IID(IDocHostUIHandler, IUnknown, "{BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}")

struct IDocHostUIHandler2 : IDocHostUIHandler {
  virtual HRESULT GetOverrideKeyPath(LPOLESTR* pchKey, DWORD dw) = 0;
};
NOCTIVANE_DECLARE_IID(IDocHostUIHandler2, IDocHostUIHandler, "{3050F6D0-98B5-11CF-BB82-00AA00BDCE0B}")

struct IDocHostShowUI : IUnknown {
  // S_OK: the host showed the message (its answer in *plResult); S_FALSE:
  // the control shows its own box.
  virtual HRESULT ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                              LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) = 0;
  virtual HRESULT ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData, POINT ptMouse,
                           IDispatch* pDispatchObjectHit) = 0;
};
NOCTIVANE_DECLARE_IID(IDocHostShowUI, IUnknown, "{C4D244B0-D43E-11CF-893B-00AA00BDCE1A}")

struct INewWindowManager : IUnknown {
  // S_OK allows the window, S_FALSE blocks it, a failure leaves the decision
  // to the control.
  virtual HRESULT EvaluateNewWindow(LPCWSTR pszUrl, LPCWSTR pszName, LPCWSTR pszUrlContext,
                                    LPCWSTR pszFeatures, BOOL fReplace, DWORD dwFlags,
                                    DWORD dwUserActionTime) = 0;
};
NOCTIVANE_DECLARE_IID(INewWindowManager, IUnknown, "{D2BC4C84-3F72-4A52-A604-7BCBF3982CBB}")

struct IDownloadManager : IUnknown {
  // S_OK: the host took the download; a failure: the control downloads.
  virtual HRESULT Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF, BINDINFO* pBindInfo,
                           LPCOLESTR pszHeaders, LPCOLESTR pszRedir, UINT uiCP) = 0;
};
NOCTIVANE_DECLARE_IID(IDownloadManager, IUnknown, "{988934A4-064B-11D3-BB80-00104B35E7F9}")

struct IZoomEvents : IUnknown {
  virtual HRESULT OnZoomPercentChanged(ULONG ulZoomPercent) = 0;
};
NOCTIVANE_DECLARE_IID(IZoomEvents, IUnknown, "{41B68150-904C-4E17-A0BA-A438182E359D}")

struct IProtectFocus : IUnknown {
  virtual HRESULT AllowFocusChange(BOOL* pfAllow) = 0;
};
NOCTIVANE_DECLARE_IID(IProtectFocus, IUnknown, "{D81F90A3-8156-44F7-AD28-5ABB87003274}")

// A page script's window.moveTo / moveBy / resizeTo / resizeBy.
struct IHTMLOMWindowServices : IUnknown {
  virtual HRESULT moveTo(LONG x, LONG y) = 0;
  virtual HRESULT moveBy(LONG x, LONG y) = 0;
  virtual HRESULT resizeTo(LONG x, LONG y) = 0;
  virtual HRESULT resizeBy(LONG x, LONG y) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLOMWindowServices, IUnknown, "{3050F5FC-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHostBehaviorInit : IUnknown {
  virtual HRESULT PopulateNamespaceTable() = 0;
};
NOCTIVANE_DECLARE_IID(IHostBehaviorInit, IUnknown, "{3050F842-98B5-11CF-BB82-00AA00BDCE0B}")

// Service ids under which the control asks its site's IServiceProvider.
inline constexpr const GUID& SID_SNewWindowManager = IID_INewWindowManager;
inline constexpr const GUID& SID_SDownloadManager = IID_IDownloadManager;
inline constexpr const GUID& SID_SProtectFocus = IID_IProtectFocus;
inline constexpr const GUID& SID_SHTMLOMWindowServices = IID_IHTMLOMWindowServices;
inline constexpr const GUID& SID_SHostBehaviorInit = IID_IHostBehaviorInit;
inline constexpr const GUID& SID_SZoomEvents = IID_IZoomEvents;
