#pragma once
// The WebBrowser object over Qt WebEngine.
//
// It shows pages in a QWebEngineView and raises the DWebBrowserEvents2 events
// to every advised sink (IDispatch::Invoke, arguments in reverse order, out
// parameters by reference), on the main thread. Through the client site its
// host gives it (IOleObject::SetClientSite) it asks the host's
// IDocHostUIHandler (TranslateUrl, GetHostInfo, TranslateAccelerator,
// ShowContextMenu, GetDropTarget), IDocHostShowUI (script messages), IServiceProvider
// (INewWindowManager, IAuthenticate, IHTMLOMWindowServices),
// IOleCommandTarget (inner windows exist, a document unloads, a script error
// happened) and the ambient properties (download control, user agent, user
// mode) through the site's IDispatch.
//
// In-place activation in a parent window (IOleObject::DoVerb) creates its
// windows below that parent: "Shell DocObject View" (the view), whose first
// child is "Internet Explorer_Server" (the engine's focus widget, once the
// engine made it). The host's own window, the control window, is of class
// "Shell Embedding".
//
// Context menus: the view window answers IOleWindow for the command target
// handed to ShowContextMenu and carries out the commands of the browser's
// menus (the resource of "SHDOCLC.DLL") sent to it as WM_COMMAND; ExecWB
// command 27 answers the browser's encoding menu. Drops: the drop target the
// host gives for each document is registered on the document window; with
// RegisterAsDropTarget False and no target the document refuses drops.
#include "platform/classlib/Dialogs.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/ExDisp.h"

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEngineView>

#include <memory>

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineNewWindowRequest;
class QWebEngineLoadingInfo;
class QWebEngineDownloadRequest;
class QAuthenticator;
struct IHTMLDocument2;

namespace shdocvw_detail {
class BrowserPage;
class BrowserView;
class UserAgentInterceptor;
}  // namespace shdocvw_detail

// The engine profile every browser shares; its storage (cookies, cache) is in
// ProfileDir()/Engine.
QWebEngineProfile* BrowserEngineProfile();

class WebBrowserObject;

// Hands out the object behind a browser interface of this layer.
struct IWebBrowserObjectAccess : IUnknown {
  virtual WebBrowserObject* Object() = 0;
};
NOCTIVANE_DECLARE_IID(IWebBrowserObjectAccess, IUnknown, "{A93610A6-DEEF-4CE9-8C29-0980D9856ECF}")

class WebBrowserObject final
    : public ComObject<IWebBrowser2, IOleObject, IOleControl, IOleInPlaceObject, IOleCommandTarget,
                       IViewObject, IConnectionPointContainer, IWebBrowserObjectAccess> {
 public:
  WebBrowserObject();

  // The object behind any interface of a browser of this layer; null for
  // other objects.
  static WebBrowserObject* FromUnknown(IUnknown* unknown);

  // ---- the engine side, for this layer and its tests
  QWebEnginePage* Page() const;
  QWebEngineView* View() const { return view_; }
  // The in-place windows (null while not in place).
  HWND DocumentViewWindow() const { return docViewWindow_; }
  HWND DocumentWindow() const { return docWindow_; }
  // The ambient properties as last read.
  DWORD DownloadControl() const { return dlControl_; }
  String UserAgent() const { return userAgent_; }
  bool DesignMode() const { return designMode_; }
  // The host-UI flags of the current document (GetHostInfo).
  DWORD HostFlags() const { return hostFlags_; }
  // The user's answer to the last script-error dialog: go on running
  // scripts (the engine runs them on either way).
  bool ContinueScripts() const { return continueScripts_; }

  // ---- IWebBrowserObjectAccess
  WebBrowserObject* Object() override { return this; }

  // ---- IDispatch
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- IWebBrowser
  HRESULT GoBack() override;
  HRESULT GoForward() override;
  HRESULT GoHome() override;
  HRESULT GoSearch() override;
  HRESULT Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                   VARIANT* Headers) override;
  HRESULT Refresh() override;
  HRESULT Refresh2(VARIANT* Level) override;
  HRESULT Stop() override;
  HRESULT get_Application(IDispatch** ppDisp) override;
  HRESULT get_Parent(IDispatch** ppDisp) override;
  HRESULT get_Container(IDispatch** ppDisp) override;
  HRESULT get_Document(IDispatch** ppDisp) override;
  HRESULT get_TopLevelContainer(VARIANT_BOOL* pBool) override;
  HRESULT get_Type(BSTR* Type) override;
  HRESULT get_Left(LONG* pl) override;
  HRESULT put_Left(LONG Left) override;
  HRESULT get_Top(LONG* pl) override;
  HRESULT put_Top(LONG Top) override;
  HRESULT get_Width(LONG* pl) override;
  HRESULT put_Width(LONG Width) override;
  HRESULT get_Height(LONG* pl) override;
  HRESULT put_Height(LONG Height) override;
  HRESULT get_LocationName(BSTR* LocationName) override;
  HRESULT get_LocationURL(BSTR* LocationURL) override;
  HRESULT get_Busy(VARIANT_BOOL* pBool) override;

  // ---- IWebBrowserApp
  HRESULT Quit() override;
  HRESULT ClientToWindow(int* pcx, int* pcy) override;
  HRESULT PutProperty(BSTR Property, VARIANT vtValue) override;
  HRESULT GetProperty(BSTR Property, VARIANT* pvtValue) override;
  HRESULT get_Name(BSTR* Name) override;
  HRESULT get_HWND(SHANDLE_PTR* pHWND) override;
  HRESULT get_FullName(BSTR* FullName) override;
  HRESULT get_Path(BSTR* Path) override;
  HRESULT get_Visible(VARIANT_BOOL* pBool) override;
  HRESULT put_Visible(VARIANT_BOOL Value) override;
  HRESULT get_StatusBar(VARIANT_BOOL* pBool) override;
  HRESULT put_StatusBar(VARIANT_BOOL Value) override;
  HRESULT get_StatusText(BSTR* StatusText) override;
  HRESULT put_StatusText(BSTR StatusText) override;
  HRESULT get_ToolBar(int* Value) override;
  HRESULT put_ToolBar(int Value) override;
  HRESULT get_MenuBar(VARIANT_BOOL* Value) override;
  HRESULT put_MenuBar(VARIANT_BOOL Value) override;
  HRESULT get_FullScreen(VARIANT_BOOL* pbFullScreen) override;
  HRESULT put_FullScreen(VARIANT_BOOL bFullScreen) override;

  // ---- IWebBrowser2
  HRESULT Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                    VARIANT* Headers) override;
  HRESULT QueryStatusWB(OLECMDID cmdID, OLECMDF* pcmdf) override;
  HRESULT ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT* pvaIn, VARIANT* pvaOut) override;
  HRESULT ShowBrowserBar(VARIANT* pvaClsid, VARIANT* pvarShow, VARIANT* pvarSize) override;
  HRESULT get_ReadyState(READYSTATE* plReadyState) override;
  HRESULT get_Offline(VARIANT_BOOL* pbOffline) override;
  HRESULT put_Offline(VARIANT_BOOL bOffline) override;
  HRESULT get_Silent(VARIANT_BOOL* pbSilent) override;
  HRESULT put_Silent(VARIANT_BOOL bSilent) override;
  HRESULT get_RegisterAsBrowser(VARIANT_BOOL* pbRegister) override;
  HRESULT put_RegisterAsBrowser(VARIANT_BOOL bRegister) override;
  HRESULT get_RegisterAsDropTarget(VARIANT_BOOL* pbRegister) override;
  HRESULT put_RegisterAsDropTarget(VARIANT_BOOL bRegister) override;
  HRESULT get_TheaterMode(VARIANT_BOOL* pbRegister) override;
  HRESULT put_TheaterMode(VARIANT_BOOL bRegister) override;
  HRESULT get_AddressBar(VARIANT_BOOL* Value) override;
  HRESULT put_AddressBar(VARIANT_BOOL Value) override;
  HRESULT get_Resizable(VARIANT_BOOL* Value) override;
  HRESULT put_Resizable(VARIANT_BOOL Value) override;

  // ---- IOleObject
  HRESULT SetClientSite(IOleClientSite* pClientSite) override;
  HRESULT GetClientSite(IOleClientSite** ppClientSite) override;
  HRESULT SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
  HRESULT Close(DWORD dwSaveOption) override;
  HRESULT SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
  HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
  HRESULT InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
  HRESULT GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
  HRESULT DoVerb(LONG iVerb, MSG* lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                 const RECT* lprcPosRect) override;
  HRESULT EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
  HRESULT Update() override;
  HRESULT IsUpToDate() override;
  HRESULT GetUserClassID(CLSID* pClsid) override;
  HRESULT GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
  HRESULT SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
  HRESULT GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
  HRESULT Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
  HRESULT Unadvise(DWORD dwConnection) override;
  HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
  HRESULT GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
  HRESULT SetColorScheme(LOGPALETTE* pLogpal) override;

  // ---- IOleControl
  HRESULT GetControlInfo(CONTROLINFO* pCI) override;
  HRESULT OnMnemonic(MSG* pMsg) override;
  HRESULT OnAmbientPropertyChange(DISPID dispID) override;
  HRESULT FreezeEvents(BOOL bFreeze) override;

  // ---- IOleWindow, IOleInPlaceObject
  HRESULT GetWindow(HWND* phwnd) override;
  HRESULT ContextSensitiveHelp(BOOL fEnterMode) override;
  HRESULT InPlaceDeactivate() override;
  HRESULT UIDeactivate() override;
  HRESULT SetObjectRects(const RECT* lprcPosRect, const RECT* lprcClipRect) override;
  HRESULT ReactivateAndUndo() override;

  // ---- IOleCommandTarget
  HRESULT QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                      OLECMDTEXT* pCmdText) override;
  HRESULT Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
               VARIANT* pvaOut) override;

  // ---- IViewObject
  HRESULT Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
               HDC hdcDraw, const RECTL* lprcBounds, const RECTL* lprcWBounds, BOOL (*pfnContinue)(ULONG_PTR),
               ULONG_PTR dwContinue) override;
  HRESULT GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hicTargetDev,
                      LOGPALETTE** ppColorSet) override;
  HRESULT Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) override;
  HRESULT Unfreeze(DWORD dwFreeze) override;
  HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
  HRESULT GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;

  // ---- IConnectionPointContainer
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

 private:
  friend class shdocvw_detail::BrowserPage;
  friend class shdocvw_detail::BrowserView;
  friend QWebEngineProfile* BrowserEngineProfile();
  ~WebBrowserObject() override;

  // Engine callbacks.
  bool onNavigationRequest(const QUrl& url, int type, bool isMainFrame);
  void onLoadingChanged(const QWebEngineLoadingInfo& info);
  void onLoadProgress(int progress);
  void onUrlChanged(const QUrl& url);
  void onTitleChanged(const QString& title);
  void onLinkHovered(const QString& url);
  void onNewWindow(QWebEngineNewWindowRequest& request);
  void onWindowCloseRequested();
  void onGeometryChangeRequested(const QRect& geometry);
  void onDownload(QWebEngineDownloadRequest* download);
  // The page's zoom may have changed: the host hears of a new percentage.
  void onZoomChanged();
  bool onContextMenu(const QPoint& screenPos);
  // A login asked for by `server`: the host's IAuthenticate, else the login dialog.
  void onAuthentication(QAuthenticator* authenticator, const QString& server);
  void onScriptError(const QString& message, int line, const QString& source);
  // A page's alert or confirm (MB_OK / MB_OKCANCEL): the host's
  // IDocHostShowUI, else the browser's own message dialog. Answers IDOK or IDCANCEL.
  LRESULT onScriptMessage(const QString& text, DWORD type);
  // A page's prompt (never offered to the host): false when cancelled.
  bool onScriptPrompt(const QString& text, const QString& defaultValue, QString* result);
  // Silent, or DLCTL_SILENT: no dialog is shown.
  bool isSilent() const;
  // The window the browser's own dialogs belong to: the host's top-level window.
  HWND dialogOwner() const;
  static LRESULT DocumentWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // Starts a navigation of the page (the events follow from the engine).
  HRESULT navigateTo(const QUrl& url, const QString& headers);
  // Text that names no page: announced, failed and shown as an error page.
  HRESULT navigateToNoAddress(const QString& text);
  // The address the browser shows: the failed text while its error page is up.
  QString locationUrl() const;
  void beginNavigation();
  void finishLoad(bool succeeded, bool stopped, long statusCode);
  void startTranslated();
  void applyDownloadControl();
  HRESULT print(VARIANT* in);
  void updateCommandStates();
  void readAmbient(DISPID dispID);
  void applyHostInfo();
  void setDocumentWindow();
  void destroyWindows();
  QWebEngineView* ensureView();
  ComPtr<IHTMLDocument2> document();
  HRESULT putFlag(bool& field, VARIANT_BOOL value, DISPID event);
  // Offers a download to the host's download manager; true when it took it.
  bool offerToDownloadManager(QWebEngineDownloadRequest* download);
  // Tells the host a refresh is coming (a refresh command of its command
  // handler); true when the host answered S_OK and so cancelled it.
  bool hostCancelsRefresh(DWORD command);
  // Reloads the page (bypassing the engine's cache when `completely`).
  void reload(bool completely);
  // Stores the loaded page's markup in the URL cache under its address.
  void recordInCache(const QUrl& url);

  // Context-menu commands, the encoding menu and drop targets (BrowserCommands.cpp).
  // The view window carries out the commands of the browser's context menus
  // (WM_COMMAND).
  static LRESULT DocumentViewWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void onMenuCommand(UINT command);
  // The browser's keys (back, forward, stop, refresh) that the host left to
  // it; true when the key was one of them and is used up.
  bool onAccelerator(UINT msg, WORD key);
  // ExecWB command 27: the browser's encoding menu (its handle as a number).
  HRESULT encodingMenu(VARIANT* out);
  // Save-as without a file name (ExecWB, the engine's "Save page"): asks
  // where and has the engine write the page there.
  HRESULT savePageAs(DWORD option);
  void onSavePageDownload(QWebEngineDownloadRequest* download);
  // Registers the drop target the host gives for the document window.
  void applyDropTarget();
  // Without RegisterAsDropTarget, a document window without a target refuses drops.
  void updateDropRefusal();

  // The find dialog, print preview and print dialog (BrowserFind.cpp).
  // What the shown document asks of its browser: drawing the view and the
  // commands of the browser's own group.
  TLiveDocumentHost documentHost();
  // Command 1 of CGID_IWebBrowser and Ctrl+F: the find dialog, modeless,
  // finding in the page.
  HRESULT showFindDialog();
  // ExecWB 7: the print preview of the page, modal.
  HRESULT printPreview();
  // Ctrl+P: the print dialog, then the page on the chosen printer.
  HRESULT printWithDialog();
  // Tells the host that a modal dialog of the browser starts or ended.
  void enableModeless(bool enable);

  // Raises an event on every sink; `args` in their natural order.
  void fire(DISPID id, std::vector<VARIANT> args);

  ConnectionPoints points_{this};
  shdocvw_detail::BrowserPage* page_ = nullptr;
  shdocvw_detail::UserAgentInterceptor* interceptor_ = nullptr;  // owned by the page
  QPointer<QWebEngineView> view_;
  ComPtr<IHTMLDocument2> document_;

  // The host. Its other interfaces are asked for at each use, so a host that
  // gains interfaces after setting itself as the site (a control whose
  // derived parts are constructed later) is served in full.
  ComPtr<IOleClientSite> site_;
  template <class I>
  ComPtr<I> host() const {
    ComPtr<I> p;
    if (site_) site_.As(&p);
    return p;
  }

  // In-place windows.
  HWND parentWindow_ = nullptr;
  HWND docViewWindow_ = nullptr;
  HWND docWindow_ = nullptr;
  QPointer<QWidget> docWidget_;

  // Navigation state.
  READYSTATE readyState_ = READYSTATE_UNINITIALIZED;
  READYSTATE stateBeforeNavigation_ = READYSTATE_UNINITIALIZED;
  bool busy_ = false;
  bool navigationPending_ = false;  // asked for, not yet started by the engine
  int activeLoads_ = 0;             // started by the engine, not yet finished
  int stoppedLoads_ = 0;            // ended by Stop; the engine has yet to report their end
  QString pendingHeaders_;          // extra headers of the navigation asked for
  bool navigateCompleteRaised_ = false;
  bool canGoBack_ = false;
  bool canGoForward_ = false;
  QUrl translatedUrl_;        // the address a TranslateUrl answer sent the page to
  QUrl translationFrom_;      // the refused address it replaces, until its load ended
  QList<QUrl> refusedUrls_;   // navigations refused; their load events are dropped
  QList<QUrl> ignoredLoads_;  // load events of refused navigations in progress
  LONG secureLockIcon_ = secureLockIconUnsecure;
  QString lastTitle_;
  QString errorPageFor_;           // the text whose error page is loading or shown
  bool errorPageLoading_ = false;  // that page is on its way

  // Ambient properties and host information.
  DWORD dlControl_ = 0;
  String userAgent_;
  bool designMode_ = false;
  DWORD hostFlags_ = 0;

  // Properties.
  bool silent_ = false;
  bool continueScripts_ = true;  // the answer of the last script-error dialog
  bool offline_ = false;
  bool registerAsBrowser_ = false;
  bool registerAsDropTarget_ = true;
  bool visible_ = true;
  bool statusBar_ = false;
  bool toolBar_ = false;
  bool menuBar_ = false;
  bool fullScreen_ = false;
  bool theaterMode_ = false;
  bool addressBar_ = false;
  bool resizable_ = false;
  String statusText_;
  SIZEL extent_;
  int freezeEvents_ = 0;
  QList<QPair<String, OleVariant>> properties_;  // PutProperty / GetProperty
  // Context menus and drops.
  HMENU encodingMenu_ = nullptr;                    // built on demand; a menu it was put into may destroy it
  String textEncoding_;                             // chosen in the encoding menu; empty: the engine's choice
  String pendingSavePath_;                          // where savePageAs has the engine save the page
  int pendingSaveFormat_ = 0;                       // and how (a QWebEngineDownloadRequest::SavePageFormat)
  QPointer<QWebEngineDownloadRequest> savingPage_;  // the engine's download of that save
  ComPtr<IDropTarget> refusingTarget_;              // registered while drops are refused
  ULONG zoomPercent_ = 100;                         // the optical zoom the host last heard of
  std::unique_ptr<TFindDialog> findDialog_;         // made on the first find
  bool uiActive_ = false;                           // the document window has the focus (ShowUI told)
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // documents outlive the browser
};

// A new browser object, as the class factory of CLSID_WebBrowser answers.
HRESULT CreateWebBrowser(IUnknown* outer, REFIID riid, void** ppv);
// Registers CLSID_WebBrowser in the process's class-factory table.
void RegisterWebBrowserClass();
