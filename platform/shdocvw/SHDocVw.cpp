#include "platform/shdocvw/SHDocVw.h"

#include "platform/classlib/Streaming.h"
#include "platform/shdocvw/OrganizeFavorites.h"
#include "platform/shdocvw/UrlCacheSources_p.h"
#include "platform/shdocvw/WebBrowser.h"

namespace {

TControlData webBrowserData() {
  InitializeSHDocVw();
  return TControlData{CLSID_WebBrowser, DIID_DWebBrowserEvents2};
}

// An optional argument as the interface takes it: null for an empty one.
VARIANT* optional(OleVariant& v) { return v.isEmpty() ? nullptr : &v; }

bool argBool(const DISPPARAMS& p, UINT i) {
  const OleVariant v = EventArg(p, i);
  return !v.isEmpty() && !v.isNull() && v.toBool();
}

int argInt(const DISPPARAMS& p, UINT i) {
  const OleVariant v = EventArg(p, i);
  return v.isEmpty() || v.isNull() ? 0 : v.toInt();
}

IDispatch* argDispatch(const DISPPARAMS& p, UINT i) {
  VARIANT* raw = EventArgRef(p, i);
  if (!raw) return nullptr;
  if (raw->vt == VT_DISPATCH) return raw->pdispVal;
  if (raw->vt == (VT_BYREF | VT_DISPATCH) && raw->ppdispVal) return *raw->ppdispVal;
  return nullptr;
}

// A by-reference Boolean out parameter.
class BoolOut {
 public:
  BoolOut(const DISPPARAMS& p, UINT i) : raw_(EventArgRef(p, i)) { value_ = argBool(p, i); }
  ~BoolOut() {
    if (!raw_) return;
    if (raw_->vt == (VT_BYREF | VT_BOOL) && raw_->pboolVal)
      *raw_->pboolVal = value_ ? VARIANT_TRUE : VARIANT_FALSE;
    else if (raw_->vt == (VT_BYREF | VT_VARIANT) && raw_->pvarVal)
      OleVariant(value_).Detach(raw_->pvarVal);
  }
  bool& operator*() { return value_; }

 private:
  VARIANT* raw_;
  bool value_;
};

// A by-reference dispatch out parameter: the object that the handler names
// is handed out with a reference of its own.
class DispatchOut {
 public:
  DispatchOut(const DISPPARAMS& p, UINT i) : raw_(EventArgRef(p, i)) {
    if (raw_ && raw_->vt == (VT_BYREF | VT_DISPATCH) && raw_->ppdispVal) value_ = *raw_->ppdispVal;
  }
  ~DispatchOut() {
    if (!raw_ || raw_->vt != (VT_BYREF | VT_DISPATCH) || !raw_->ppdispVal) return;
    IDispatch* old = *raw_->ppdispVal;
    if (old == value_.Get()) return;
    if (old) old->Release();
    *raw_->ppdispVal = value_.Detach();
  }
  ComPtr<IDispatch>& operator*() { return value_; }

 private:
  VARIANT* raw_;
  ComPtr<IDispatch> value_;
};

}  // namespace

TEWB::TEWB(TComponent* AOwner) : TOleControl(AOwner, webBrowserData()) {
  ControlDispatch()->QueryInterface(IID_IWebBrowser2,
                                    reinterpret_cast<void**>(browser_.ReleaseAndGetAddressOf()));
  if (!browser_) throw EOleSysError(OleErrorText(E_NOINTERFACE), E_NOINTERFACE);
  SetTabStop(true);
}

void TEWB::CreateParams(TCreateParams& Params) {
  TOleControl::CreateParams(Params);
  Params.WinClassName = QStringLiteral("Shell Embedding");
  Params.Style |= WS_CLIPCHILDREN;
}

// ---------------------------------------------------------------- methods

void TEWB::GoBack() { OleCheck(browser_->GoBack()); }
void TEWB::GoForward() { OleCheck(browser_->GoForward()); }
void TEWB::GoHome() { OleCheck(browser_->GoHome()); }
void TEWB::GoSearch() { OleCheck(browser_->GoSearch()); }

void TEWB::Navigate(const String& URL) { Navigate(URL, OleVariant()); }

void TEWB::Navigate(const String& URL, const OleVariant& Flags, const OleVariant& TargetFrameName,
                    const OleVariant& PostData, const OleVariant& Headers) {
  OleVariant flags(Flags), frame(TargetFrameName), post(PostData), headers(Headers);
  const OwnedBstr url(StringToBSTR(URL));
  const HRESULT hr =
      browser_->Navigate(url.get(), optional(flags), optional(frame), optional(post), optional(headers));
  OleCheck(hr);
}

void TEWB::Navigate2(const OleVariant& URL, const OleVariant& Flags, const OleVariant& TargetFrameName,
                     const OleVariant& PostData, const OleVariant& Headers) {
  OleVariant url(URL), flags(Flags), frame(TargetFrameName), post(PostData), headers(Headers);
  OleCheck(browser_->Navigate2(&url, optional(flags), optional(frame), optional(post), optional(headers)));
}

void TEWB::Refresh() { OleCheck(browser_->Refresh()); }

void TEWB::Refresh2(const OleVariant& Level) {
  OleVariant level(Level);
  OleCheck(browser_->Refresh2(&level));
}

void TEWB::Stop() { OleCheck(browser_->Stop()); }
void TEWB::Quit() { OleCheck(browser_->Quit()); }

OLECMDF TEWB::QueryStatusWB(OLECMDID cmdID) {
  OLECMDF flags = OLECMDF(0);
  OleCheck(browser_->QueryStatusWB(cmdID, &flags));
  return flags;
}

void TEWB::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt) {
  OleCheck(browser_->ExecWB(cmdID, cmdexecopt, nullptr, nullptr));
}

void TEWB::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, const OleVariant& pvaIn) {
  OleVariant in(pvaIn);
  OleCheck(browser_->ExecWB(cmdID, cmdexecopt, optional(in), nullptr));
}

void TEWB::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, const OleVariant& pvaIn, OleVariant& pvaOut) {
  OleVariant in(pvaIn);
  OleCheck(browser_->ExecWB(cmdID, cmdexecopt, optional(in), pvaOut.ClearAndGetAddressOf()));
}

void TEWB::PutProperty(const String& Property, const OleVariant& vtValue) {
  const OwnedBstr name(StringToBSTR(Property));
  const HRESULT hr = browser_->PutProperty(name.get(), vtValue);
  OleCheck(hr);
}

OleVariant TEWB::GetProperty(const String& Property) {
  const OwnedBstr name(StringToBSTR(Property));
  OleVariant value;
  const HRESULT hr = browser_->GetProperty(name.get(), value.ClearAndGetAddressOf());
  OleCheck(hr);
  return value;
}

// ---------------------------------------------------------------- events

void TEWB::InvokeEvent(DISPID DispID, DISPPARAMS& p) {
  auto str = [&p](UINT i) { return VarToStr(EventArg(p, i)); };
  switch (DispID) {
    case DISPID_STATUSTEXTCHANGE:
      if (OnStatusTextChange) OnStatusTextChange(this, str(0));
      break;
    case DISPID_PROGRESSCHANGE:
      if (OnProgressChange) OnProgressChange(this, argInt(p, 0), argInt(p, 1));
      break;
    case DISPID_COMMANDSTATECHANGE:
      if (OnCommandStateChange) OnCommandStateChange(this, argInt(p, 0), argBool(p, 1));
      break;
    case DISPID_DOWNLOADBEGIN:
      if (OnDownloadBegin) OnDownloadBegin(this);
      break;
    case DISPID_DOWNLOADCOMPLETE:
      if (OnDownloadComplete) OnDownloadComplete(this);
      break;
    case DISPID_TITLECHANGE:
      if (OnTitleChange) OnTitleChange(this, str(0));
      break;
    case DISPID_PROPERTYCHANGE:
      if (OnPropertyChange) OnPropertyChange(this, str(0));
      break;
    case DISPID_BEFORENAVIGATE2:
      if (OnBeforeNavigate2) {
        BoolOut cancel(p, 6);
        OnBeforeNavigate2(this, argDispatch(p, 0), EventArg(p, 1), EventArg(p, 2), EventArg(p, 3),
                          EventArg(p, 4), EventArg(p, 5), *cancel);
      }
      break;
    case DISPID_NEWWINDOW2:
      if (OnNewWindow2) {
        DispatchOut target(p, 0);
        BoolOut cancel(p, 1);
        OnNewWindow2(this, *target, *cancel);
      }
      break;
    case DISPID_NAVIGATECOMPLETE2:
      if (OnNavigateComplete2) OnNavigateComplete2(this, argDispatch(p, 0), EventArg(p, 1));
      break;
    case DISPID_DOCUMENTCOMPLETE:
      if (OnDocumentComplete) OnDocumentComplete(this, argDispatch(p, 0), EventArg(p, 1));
      break;
    case DISPID_ONQUIT:
      if (OnQuit) OnQuit(this);
      break;
    case DISPID_ONVISIBLE:
      if (OnVisible) OnVisible(this, argBool(p, 0));
      break;
    case DISPID_ONTOOLBAR:
      if (OnToolBar) OnToolBar(this, argBool(p, 0));
      break;
    case DISPID_ONMENUBAR:
      if (OnMenuBar) OnMenuBar(this, argBool(p, 0));
      break;
    case DISPID_ONSTATUSBAR:
      if (OnStatusBar) OnStatusBar(this, argBool(p, 0));
      break;
    case DISPID_ONFULLSCREEN:
      if (OnFullScreen) OnFullScreen(this, argBool(p, 0));
      break;
    case DISPID_ONTHEATERMODE:
      if (OnTheaterMode) OnTheaterMode(this, argBool(p, 0));
      break;
    case DISPID_ONADDRESSBAR:
      if (OnAddressBar) OnAddressBar(this, argBool(p, 0));
      break;
    case DISPID_WINDOWSETRESIZABLE:
      if (OnWindowSetResizable) OnWindowSetResizable(this, argBool(p, 0));
      break;
    case DISPID_WINDOWSETLEFT:
      if (OnWindowSetLeft) OnWindowSetLeft(this, argInt(p, 0));
      break;
    case DISPID_WINDOWSETTOP:
      if (OnWindowSetTop) OnWindowSetTop(this, argInt(p, 0));
      break;
    case DISPID_WINDOWSETWIDTH:
      if (OnWindowSetWidth) OnWindowSetWidth(this, argInt(p, 0));
      break;
    case DISPID_WINDOWSETHEIGHT:
      if (OnWindowSetHeight) OnWindowSetHeight(this, argInt(p, 0));
      break;
    case DISPID_WINDOWCLOSING:
      if (OnWindowClosing) {
        BoolOut cancel(p, 1);
        OnWindowClosing(this, argBool(p, 0), *cancel);
      }
      break;
    case DISPID_CLIENTTOHOSTWINDOW:
      if (OnClientToHostWindow) {
        int cx = argInt(p, 0), cy = argInt(p, 1);
        OnClientToHostWindow(this, cx, cy);
        for (UINT i = 0; i < 2; ++i) {
          VARIANT* raw = EventArgRef(p, i);
          if (raw && raw->vt == (VT_BYREF | VT_I4) && raw->plVal) *raw->plVal = i == 0 ? cx : cy;
        }
      }
      break;
    case DISPID_SETSECURELOCKICON:
      if (OnSetSecureLockIcon) OnSetSecureLockIcon(this, argInt(p, 0));
      break;
    case DISPID_FILEDOWNLOAD:
      if (OnFileDownload) {
        BoolOut cancel(p, 1);
        OnFileDownload(this, argBool(p, 0), *cancel);
      }
      break;
    case DISPID_NAVIGATEERROR:
      if (OnNavigateError) {
        BoolOut cancel(p, 4);
        OnNavigateError(this, argDispatch(p, 0), EventArg(p, 1), EventArg(p, 2), EventArg(p, 3), *cancel);
      }
      break;
    case DISPID_PRINTTEMPLATEINSTANTIATION:
      if (OnPrintTemplateInstantiation) OnPrintTemplateInstantiation(this, argDispatch(p, 0));
      break;
    case DISPID_PRINTTEMPLATETEARDOWN:
      if (OnPrintTemplateTeardown) OnPrintTemplateTeardown(this, argDispatch(p, 0));
      break;
    case DISPID_UPDATEPAGESTATUS:
      if (OnUpdatePageStatus) OnUpdatePageStatus(this, argDispatch(p, 0), EventArg(p, 1), EventArg(p, 2));
      break;
    case DISPID_PRIVACYIMPACTEDSTATECHANGE:
      if (OnPrivacyImpactedStateChange) OnPrivacyImpactedStateChange(this, argBool(p, 0));
      break;
    case DISPID_NEWWINDOW3:
      if (OnNewWindow3) {
        DispatchOut target(p, 0);
        BoolOut cancel(p, 1);
        OnNewWindow3(this, *target, *cancel, unsigned(EventArg(p, 2).toInt64()), str(3), str(4));
      }
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- registration

void InitializeSHDocVw() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterWebBrowserClass();
  RegisterHistoryCacheSource();
  RegisterShdocvwModule();
  InitializeControls();
  RegisterEvents<TEWB>({
      EventEntry("OnStatusTextChange", &TEWB::OnStatusTextChange),
      EventEntry("OnProgressChange", &TEWB::OnProgressChange),
      EventEntry("OnCommandStateChange", &TEWB::OnCommandStateChange),
      EventEntry("OnDownloadBegin", &TEWB::OnDownloadBegin),
      EventEntry("OnDownloadComplete", &TEWB::OnDownloadComplete),
      EventEntry("OnTitleChange", &TEWB::OnTitleChange),
      EventEntry("OnPropertyChange", &TEWB::OnPropertyChange),
      EventEntry("OnBeforeNavigate2", &TEWB::OnBeforeNavigate2),
      EventEntry("OnNewWindow2", &TEWB::OnNewWindow2),
      EventEntry("OnNavigateComplete2", &TEWB::OnNavigateComplete2),
      EventEntry("OnDocumentComplete", &TEWB::OnDocumentComplete),
      EventEntry("OnQuit", &TEWB::OnQuit),
      EventEntry("OnVisible", &TEWB::OnVisible),
      EventEntry("OnToolBar", &TEWB::OnToolBar),
      EventEntry("OnMenuBar", &TEWB::OnMenuBar),
      EventEntry("OnStatusBar", &TEWB::OnStatusBar),
      EventEntry("OnFullScreen", &TEWB::OnFullScreen),
      EventEntry("OnTheaterMode", &TEWB::OnTheaterMode),
      EventEntry("OnAddressBar", &TEWB::OnAddressBar),
      EventEntry("OnWindowSetResizable", &TEWB::OnWindowSetResizable),
      EventEntry("OnWindowSetLeft", &TEWB::OnWindowSetLeft),
      EventEntry("OnWindowSetTop", &TEWB::OnWindowSetTop),
      EventEntry("OnWindowSetWidth", &TEWB::OnWindowSetWidth),
      EventEntry("OnWindowSetHeight", &TEWB::OnWindowSetHeight),
      EventEntry("OnWindowClosing", &TEWB::OnWindowClosing),
      EventEntry("OnClientToHostWindow", &TEWB::OnClientToHostWindow),
      EventEntry("OnSetSecureLockIcon", &TEWB::OnSetSecureLockIcon),
      EventEntry("OnFileDownload", &TEWB::OnFileDownload),
      EventEntry("OnNavigateError", &TEWB::OnNavigateError),
      EventEntry("OnPrintTemplateInstantiation", &TEWB::OnPrintTemplateInstantiation),
      EventEntry("OnPrintTemplateTeardown", &TEWB::OnPrintTemplateTeardown),
      EventEntry("OnUpdatePageStatus", &TEWB::OnUpdatePageStatus),
      EventEntry("OnPrivacyImpactedStateChange", &TEWB::OnPrivacyImpactedStateChange),
      EventEntry("OnNewWindow3", &TEWB::OnNewWindow3),
  });
}
