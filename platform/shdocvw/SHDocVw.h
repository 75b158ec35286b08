#pragma once
// TEWB, the class-library wrapper of the WebBrowser control: its default
// interface IWebBrowser2, its properties by dispatch id, its methods (a
// failure result raises EOleSysError) and the DWebBrowserEvents2 events as
// published events. Its window is of class "Shell Embedding"; the control's
// own windows ("Shell DocObject View", "Internet Explorer_Server") are its
// first child and grandchild.
//
// The browser's Visible property (dispatch id 402) is BrowserVisible here:
// Visible is the class library's visibility of the control.
#include "platform/shdocvw/OleCtrls.h"

class TEWB : public TOleControl {
  Q_OBJECT
  Q_PROPERTY(bool Silent READ Silent WRITE SetSilent STORED false)
  Q_PROPERTY(bool RegisterAsBrowser READ RegisterAsBrowser WRITE SetRegisterAsBrowser STORED false)
  Q_PROPERTY(bool RegisterAsDropTarget READ RegisterAsDropTarget WRITE SetRegisterAsDropTarget STORED false)
  Q_PROPERTY(bool Offline READ Offline WRITE SetOffline STORED false)
  Q_PROPERTY(bool StatusBar READ StatusBar WRITE SetStatusBar STORED false)
  Q_PROPERTY(QString StatusText READ StatusText WRITE SetStatusText STORED false)
  Q_PROPERTY(int ToolBar READ ToolBar WRITE SetToolBar STORED false)
  Q_PROPERTY(bool MenuBar READ MenuBar WRITE SetMenuBar STORED false)
  Q_PROPERTY(bool FullScreen READ FullScreen WRITE SetFullScreen STORED false)
  Q_PROPERTY(bool TheaterMode READ TheaterMode WRITE SetTheaterMode STORED false)
  Q_PROPERTY(bool AddressBar READ AddressBar WRITE SetAddressBar STORED false)
  Q_PROPERTY(bool Resizable READ Resizable WRITE SetResizable STORED false)

 public:
  explicit TEWB(TComponent* AOwner);

  // ---- the control's interface
  ComPtr<IWebBrowser2> DefaultInterface() const { return browser_; }

  // ---- run-time properties
  ComPtr<IDispatch> Application() const { return GetIDispatchProp(DISPID_WB_APPLICATION); }
  ComPtr<IDispatch> Document() const { return GetIDispatchProp(DISPID_WB_DOCUMENT); }
  int ReadyState() const { return GetIntegerProp(DISPID_WB_READYSTATE); }
  String LocationURL() const { return GetStringProp(DISPID_WB_LOCATIONURL); }
  String LocationName() const { return GetStringProp(DISPID_WB_LOCATIONNAME); }
  bool Busy() const { return GetWordBoolProp(DISPID_WB_BUSY); }
  String Type() const { return GetStringProp(DISPID_WB_TYPE); }
  bool BrowserVisible() const { return GetWordBoolProp(DISPID_WB_VISIBLE); }
  void SetBrowserVisible(bool value) { SetWordBoolProp(DISPID_WB_VISIBLE, value); }

  // ---- published control properties
  bool Silent() const { return GetWordBoolProp(DISPID_WB_SILENT); }
  void SetSilent(bool v) { SetWordBoolProp(DISPID_WB_SILENT, v); }
  bool RegisterAsBrowser() const { return GetWordBoolProp(DISPID_WB_REGISTERASBROWSER); }
  void SetRegisterAsBrowser(bool v) { SetWordBoolProp(DISPID_WB_REGISTERASBROWSER, v); }
  bool RegisterAsDropTarget() const { return GetWordBoolProp(DISPID_WB_REGISTERASDROPTARGET); }
  void SetRegisterAsDropTarget(bool v) { SetWordBoolProp(DISPID_WB_REGISTERASDROPTARGET, v); }
  bool Offline() const { return GetWordBoolProp(DISPID_WB_OFFLINE); }
  void SetOffline(bool v) { SetWordBoolProp(DISPID_WB_OFFLINE, v); }
  bool StatusBar() const { return GetWordBoolProp(DISPID_WB_STATUSBAR); }
  void SetStatusBar(bool v) { SetWordBoolProp(DISPID_WB_STATUSBAR, v); }
  String StatusText() const { return GetStringProp(DISPID_WB_STATUSTEXT); }
  void SetStatusText(const String& v) { SetStringProp(DISPID_WB_STATUSTEXT, v); }
  int ToolBar() const { return GetIntegerProp(DISPID_WB_TOOLBAR); }
  void SetToolBar(int v) { SetIntegerProp(DISPID_WB_TOOLBAR, v); }
  bool MenuBar() const { return GetWordBoolProp(DISPID_WB_MENUBAR); }
  void SetMenuBar(bool v) { SetWordBoolProp(DISPID_WB_MENUBAR, v); }
  bool FullScreen() const { return GetWordBoolProp(DISPID_WB_FULLSCREEN); }
  void SetFullScreen(bool v) { SetWordBoolProp(DISPID_WB_FULLSCREEN, v); }
  bool TheaterMode() const { return GetWordBoolProp(DISPID_WB_THEATERMODE); }
  void SetTheaterMode(bool v) { SetWordBoolProp(DISPID_WB_THEATERMODE, v); }
  bool AddressBar() const { return GetWordBoolProp(DISPID_WB_ADDRESSBAR); }
  void SetAddressBar(bool v) { SetWordBoolProp(DISPID_WB_ADDRESSBAR, v); }
  bool Resizable() const { return GetWordBoolProp(DISPID_WB_RESIZABLE); }
  void SetResizable(bool v) { SetWordBoolProp(DISPID_WB_RESIZABLE, v); }

  // ---- methods (EOleSysError on failure)
  void GoBack();
  void GoForward();
  void GoHome();
  void GoSearch();
  void Navigate(const String& URL);
  void Navigate(const String& URL, const OleVariant& Flags, const OleVariant& TargetFrameName = {},
                const OleVariant& PostData = {}, const OleVariant& Headers = {});
  void Navigate2(const OleVariant& URL, const OleVariant& Flags = {}, const OleVariant& TargetFrameName = {},
                 const OleVariant& PostData = {}, const OleVariant& Headers = {});
  void Refresh();
  void Refresh2(const OleVariant& Level);
  void Stop();
  void Quit();
  OLECMDF QueryStatusWB(OLECMDID cmdID);
  void ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt);
  void ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, const OleVariant& pvaIn);
  void ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, const OleVariant& pvaIn, OleVariant& pvaOut);
  void PutProperty(const String& Property, const OleVariant& vtValue);
  OleVariant GetProperty(const String& Property);

  // ---- event types
  using TStringEvent = std::function<void(TObject* ASender, const String& Text)>;
  using TBoolEvent = std::function<void(TObject* ASender, bool Value)>;
  using TIntegerEvent = std::function<void(TObject* ASender, int Value)>;
  using TProgressChangeEvent = std::function<void(TObject* ASender, int Progress, int ProgressMax)>;
  using TCommandStateChangeEvent = std::function<void(TObject* ASender, int Command, bool Enable)>;
  using TBeforeNavigate2Event =
      std::function<void(TObject* ASender, IDispatch* pDisp, const OleVariant& URL, const OleVariant& Flags,
                         const OleVariant& TargetFrameName, const OleVariant& PostData,
                         const OleVariant& Headers, bool& Cancel)>;
  using TNewWindow2Event = std::function<void(TObject* ASender, ComPtr<IDispatch>& ppDisp, bool& Cancel)>;
  using TDocumentEvent = std::function<void(TObject* ASender, IDispatch* pDisp, const OleVariant& URL)>;
  using TWindowClosingEvent = std::function<void(TObject* ASender, bool IsChildWindow, bool& Cancel)>;
  using TClientToHostWindowEvent = std::function<void(TObject* ASender, int& CX, int& CY)>;
  using TFileDownloadEvent = std::function<void(TObject* ASender, bool ActiveDocument, bool& Cancel)>;
  using TNavigateErrorEvent =
      std::function<void(TObject* ASender, IDispatch* pDisp, const OleVariant& URL, const OleVariant& Frame,
                         const OleVariant& StatusCode, bool& Cancel)>;
  using TDispatchEvent = std::function<void(TObject* ASender, IDispatch* pDisp)>;
  using TUpdatePageStatusEvent = std::function<void(TObject* ASender, IDispatch* pDisp,
                                                    const OleVariant& nPage, const OleVariant& fDone)>;
  using TNewWindow3Event =
      std::function<void(TObject* ASender, ComPtr<IDispatch>& ppDisp, bool& Cancel, unsigned dwFlags,
                         const String& bstrUrlContext, const String& bstrUrl)>;

  // ---- published events (DWebBrowserEvents2), raised on the main thread
  TStringEvent OnStatusTextChange;
  TProgressChangeEvent OnProgressChange;
  TCommandStateChangeEvent OnCommandStateChange;
  TNotifyEvent OnDownloadBegin;
  TNotifyEvent OnDownloadComplete;
  TStringEvent OnTitleChange;
  TStringEvent OnPropertyChange;
  TBeforeNavigate2Event OnBeforeNavigate2;
  TNewWindow2Event OnNewWindow2;
  TDocumentEvent OnNavigateComplete2;
  TDocumentEvent OnDocumentComplete;
  TNotifyEvent OnQuit;
  TBoolEvent OnVisible;
  TBoolEvent OnToolBar;
  TBoolEvent OnMenuBar;
  TBoolEvent OnStatusBar;
  TBoolEvent OnFullScreen;
  TBoolEvent OnTheaterMode;
  TBoolEvent OnAddressBar;
  TBoolEvent OnWindowSetResizable;
  TIntegerEvent OnWindowSetLeft;
  TIntegerEvent OnWindowSetTop;
  TIntegerEvent OnWindowSetWidth;
  TIntegerEvent OnWindowSetHeight;
  TWindowClosingEvent OnWindowClosing;
  TClientToHostWindowEvent OnClientToHostWindow;
  TIntegerEvent OnSetSecureLockIcon;
  TFileDownloadEvent OnFileDownload;
  TNavigateErrorEvent OnNavigateError;
  TDispatchEvent OnPrintTemplateInstantiation;
  TDispatchEvent OnPrintTemplateTeardown;
  TUpdatePageStatusEvent OnUpdatePageStatus;
  TBoolEvent OnPrivacyImpactedStateChange;
  TNewWindow3Event OnNewWindow3;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void InvokeEvent(DISPID DispID, DISPPARAMS& Params) override;

 private:
  ComPtr<IWebBrowser2> browser_;
};

// Registers the WebBrowser class and TEWB's events with the form streaming.
// Idempotent; TEWB's constructor calls it.
void InitializeSHDocVw();
