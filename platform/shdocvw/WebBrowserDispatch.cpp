#include "platform/shdocvw/WebBrowser.h"

#include "platform/com/TableDispatch.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/BrowserDialogs.h"
#include "platform/shdocvw/DownloadDialog.h"
#include "platform/shdocvw/TrustedCertificates.h"
#include "platform/shell/UrlHistory.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/DragDrop.h"
#include "platform/winapi/Menus.h"
#include "platform/wininet/ProxyState.h"
#include "platform/wininet/UrlCache.h"

#include <QAuthenticator>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QMutex>
#include <QNetworkProxy>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <algorithm>

#include "platform/shdocvw/WebBrowser_p.h"

namespace {

VARIANT_BOOL vbool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

HRESULT setBstr(BSTR* out, const String& value) {
  if (!out) return E_POINTER;
  *out = StringToBSTR(value);
  return S_OK;
}

HRESULT setBool(VARIANT_BOOL* out, bool value) {
  if (!out) return E_POINTER;
  *out = vbool(value);
  return S_OK;
}

// The refresh command of the host's command handler for a refresh asked for
// through the browser (F5 and Ctrl+F5 have their own, BrowserCommands.cpp).
constexpr DWORD kRefreshCommand = 2300;

using WB = WebBrowserObject;

bool isGet(WORD flags) { return flags & DISPATCH_PROPERTYGET; }
bool isPut(WORD flags) { return flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF); }
// The value of a property put; null when none was given.
VARIANT* putValue(WORD flags, DISPPARAMS* params) {
  return isPut(flags) && params && params->cArgs > 0 ? &params->rgvarg[0] : nullptr;
}
void answer(VARIANT* result, OleVariant value) {
  if (result) value.Detach(result);
}

// Adapters that make the browser's methods and properties into members.
template <HRESULT (WB::*Method)()>
HRESULT Call(WB& self, WORD, DISPPARAMS*, VARIANT*) {
  return (self.*Method)();
}

template <HRESULT (WB::*Getter)(VARIANT_BOOL*), HRESULT (WB::*Setter)(VARIANT_BOOL) = nullptr>
HRESULT BoolProperty(WB& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if constexpr (Setter != nullptr) {
    if (isPut(flags)) {
      VARIANT* value = putValue(flags, params);
      if (!value) return DISP_E_PARAMNOTFOUND;
      OleVariant v;
      if (FAILED(VariantCopyInd(&v, value)) || FAILED(VariantChangeType(&v, &v, 0, VT_BOOL)))
        return DISP_E_TYPEMISMATCH;
      return (self.*Setter)(v.boolVal);
    }
  }
  if (!isGet(flags)) return DISP_E_MEMBERNOTFOUND;
  VARIANT_BOOL b = VARIANT_FALSE;
  const HRESULT hr = (self.*Getter)(&b);
  if (SUCCEEDED(hr)) answer(result, OleVariant(b != VARIANT_FALSE));
  return hr;
}

template <HRESULT (WB::*Getter)(BSTR*), HRESULT (WB::*Setter)(BSTR) = nullptr>
HRESULT TextProperty(WB& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if constexpr (Setter != nullptr) {
    if (isPut(flags)) {
      VARIANT* value = putValue(flags, params);
      if (!value) return DISP_E_PARAMNOTFOUND;
      const OwnedBstr text(StringToBSTR(argumentValue(value).toString()));
      return (self.*Setter)(text.get());
    }
  }
  if (!isGet(flags)) return DISP_E_MEMBERNOTFOUND;
  OwnedBstr text;
  const HRESULT hr = (self.*Getter)(text.out());
  if (SUCCEEDED(hr)) answer(result, OleVariant(BSTRToString(text.get())));
  return hr;
}

template <class N, HRESULT (WB::*Getter)(N*), HRESULT (WB::*Setter)(N)>
HRESULT NumberProperty(WB& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (isPut(flags)) {
    VARIANT* value = putValue(flags, params);
    if (!value) return DISP_E_PARAMNOTFOUND;
    return (self.*Setter)(argumentValue(value).toInt());
  }
  // The tool bar's setting (an int) answers any call that is not a put.
  if (std::is_same_v<N, LONG> && !isGet(flags)) return DISP_E_MEMBERNOTFOUND;
  N n = 0;
  const HRESULT hr = (self.*Getter)(&n);
  if (SUCCEEDED(hr)) answer(result, OleVariant(int(n)));
  return hr;
}

template <HRESULT (WB::*Getter)(IDispatch**)>
HRESULT DispatchGetter(WB& self, WORD flags, DISPPARAMS*, VARIANT* result) {
  if (!isGet(flags)) return DISP_E_MEMBERNOTFOUND;
  IDispatch* d = nullptr;
  const HRESULT hr = (self.*Getter)(&d);
  ComPtr<IDispatch> held;
  held.Attach(d);
  if (SUCCEEDED(hr)) answer(result, OleVariant(d));
  return hr;
}

// Members a script cannot call.
HRESULT NotCallable(WB&, WORD, DISPPARAMS*, VARIANT*) { return DISP_E_MEMBERNOTFOUND; }

HRESULT InvokeNavigate(WB& self, WORD, DISPPARAMS* p, VARIANT*) {
  using comdisp::ArgRef;
  if (!ArgRef(p, 0)) return DISP_E_PARAMNOTFOUND;
  return self.Navigate2(ArgRef(p, 0), ArgRef(p, 1), ArgRef(p, 2), ArgRef(p, 3), ArgRef(p, 4));
}

HRESULT InvokeRefresh2(WB& self, WORD, DISPPARAMS* p, VARIANT*) {
  return self.Refresh2(comdisp::ArgRef(p, 0));
}

HRESULT InvokePutProperty(WB& self, WORD, DISPPARAMS* p, VARIANT*) {
  using comdisp::ArgRef;
  if (!ArgRef(p, 0) || !ArgRef(p, 1)) return DISP_E_PARAMNOTFOUND;
  const OwnedBstr name(StringToBSTR(argumentValue(ArgRef(p, 0)).toString()));
  return self.PutProperty(name.get(), argumentValue(ArgRef(p, 1)));
}

HRESULT InvokeGetProperty(WB& self, WORD, DISPPARAMS* p, VARIANT* result) {
  if (!comdisp::ArgRef(p, 0)) return DISP_E_PARAMNOTFOUND;
  const OwnedBstr name(StringToBSTR(argumentValue(comdisp::ArgRef(p, 0)).toString()));
  OleVariant v;
  const HRESULT hr = self.GetProperty(name.get(), &v);
  if (SUCCEEDED(hr)) answer(result, v);
  return hr;
}

HRESULT InvokeHwnd(WB& self, WORD flags, DISPPARAMS*, VARIANT* result) {
  if (!isGet(flags)) return DISP_E_MEMBERNOTFOUND;
  SHANDLE_PTR h = 0;
  const HRESULT hr = self.get_HWND(&h);
  if (SUCCEEDED(hr)) answer(result, OleVariant(Int64(h)));
  return hr;
}

HRESULT InvokeQueryStatusWB(WB& self, WORD, DISPPARAMS* p, VARIANT* result) {
  if (!comdisp::ArgRef(p, 0)) return DISP_E_PARAMNOTFOUND;
  OLECMDF f = OLECMDF(0);
  const HRESULT hr = self.QueryStatusWB(OLECMDID(argumentValue(comdisp::ArgRef(p, 0)).toInt()), &f);
  if (SUCCEEDED(hr)) answer(result, OleVariant(int(f)));
  return hr;
}

HRESULT InvokeExecWB(WB& self, WORD, DISPPARAMS* p, VARIANT*) {
  auto arg = [p](UINT i) { return comdisp::ArgRef(p, i); };
  if (!arg(0)) return DISP_E_PARAMNOTFOUND;
  const auto cmd = OLECMDID(argumentValue(arg(0)).toInt());
  const auto opt = OLECMDEXECOPT(arg(1) ? argumentValue(arg(1)).toInt() : 0);
  VARIANT* out = arg(3) && arg(3)->vt == (VT_BYREF | VT_VARIANT) ? arg(3)->pvarVal : nullptr;
  OleVariant in = argumentValue(arg(2));
  return self.ExecWB(cmd, opt, in.isEmpty() ? nullptr : &in, out);
}

HRESULT InvokeReadyState(WB& self, WORD flags, DISPPARAMS*, VARIANT* result) {
  if (!isGet(flags)) return DISP_E_MEMBERNOTFOUND;
  READYSTATE s = READYSTATE_UNINITIALIZED;
  self.get_ReadyState(&s);
  answer(result, OleVariant(int(s)));
  return S_OK;
}

// The browser's automation members.
// clang-format off
constexpr comdisp::DispMember<WB> kMembers[] = {
    {"GoBack", &Call<&WB::GoBack>, DISPID_WB_GOBACK},
    {"GoForward", &Call<&WB::GoForward>, DISPID_WB_GOFORWARD},
    {"GoHome", &Call<&WB::GoHome>, DISPID_WB_GOHOME},
    {"GoSearch", &Call<&WB::GoSearch>, DISPID_WB_GOSEARCH},
    {"Navigate", &InvokeNavigate, DISPID_WB_NAVIGATE},
    {"Refresh", &Call<&WB::Refresh>, DISPID_WB_REFRESH},
    {"Refresh2", &InvokeRefresh2, DISPID_WB_REFRESH2},
    {"Stop", &Call<&WB::Stop>, DISPID_WB_STOP},
    {"Application", &DispatchGetter<&WB::get_Application>, DISPID_WB_APPLICATION},
    {"Parent", &DispatchGetter<&WB::get_Parent>, DISPID_WB_PARENT},
    {"Container", &DispatchGetter<&WB::get_Container>, DISPID_WB_CONTAINER},
    {"Document", &DispatchGetter<&WB::get_Document>, DISPID_WB_DOCUMENT},
    {"TopLevelContainer", &BoolProperty<&WB::get_TopLevelContainer>, DISPID_WB_TOPLEVELCONTAINER},
    {"Type", &TextProperty<&WB::get_Type>, DISPID_WB_TYPE},
    {"Left", &NumberProperty<LONG, &WB::get_Left, &WB::put_Left>, DISPID_WB_LEFT},
    {"Top", &NumberProperty<LONG, &WB::get_Top, &WB::put_Top>, DISPID_WB_TOP},
    {"Width", &NumberProperty<LONG, &WB::get_Width, &WB::put_Width>, DISPID_WB_WIDTH},
    {"Height", &NumberProperty<LONG, &WB::get_Height, &WB::put_Height>, DISPID_WB_HEIGHT},
    {"LocationName", &TextProperty<&WB::get_LocationName>, DISPID_WB_LOCATIONNAME},
    {"LocationURL", &TextProperty<&WB::get_LocationURL>, DISPID_WB_LOCATIONURL},
    {"Busy", &BoolProperty<&WB::get_Busy>, DISPID_WB_BUSY},
    {"Quit", &Call<&WB::Quit>, DISPID_WB_QUIT},
    {"ClientToWindow", &NotCallable, DISPID_WB_CLIENTTOWINDOW},
    {"PutProperty", &InvokePutProperty, DISPID_WB_PUTPROPERTY},
    {"GetProperty", &InvokeGetProperty, DISPID_WB_GETPROPERTY},
    {"Name", &TextProperty<&WB::get_Name>, DISPID_WB_NAME},
    {"HWND", &InvokeHwnd, DISPID_WB_HWND},
    {"FullName", &TextProperty<&WB::get_FullName>, DISPID_WB_FULLNAME},
    {"Path", &TextProperty<&WB::get_Path>, DISPID_WB_PATH},
    {"Visible", &BoolProperty<&WB::get_Visible, &WB::put_Visible>, DISPID_WB_VISIBLE},
    {"StatusBar", &BoolProperty<&WB::get_StatusBar, &WB::put_StatusBar>, DISPID_WB_STATUSBAR},
    {"StatusText", &TextProperty<&WB::get_StatusText, &WB::put_StatusText>, DISPID_WB_STATUSTEXT},
    {"ToolBar", &NumberProperty<int, &WB::get_ToolBar, &WB::put_ToolBar>, DISPID_WB_TOOLBAR},
    {"MenuBar", &BoolProperty<&WB::get_MenuBar, &WB::put_MenuBar>, DISPID_WB_MENUBAR},
    {"FullScreen", &BoolProperty<&WB::get_FullScreen, &WB::put_FullScreen>, DISPID_WB_FULLSCREEN},
    {"Navigate2", &InvokeNavigate, DISPID_WB_NAVIGATE2},
    {"QueryStatusWB", &InvokeQueryStatusWB, DISPID_WB_QUERYSTATUSWB},
    {"ExecWB", &InvokeExecWB, DISPID_WB_EXECWB},
    {"ShowBrowserBar", &NotCallable, DISPID_WB_SHOWBROWSERBAR},
    {"ReadyState", &InvokeReadyState, DISPID_WB_READYSTATE},
    {"Offline", &BoolProperty<&WB::get_Offline, &WB::put_Offline>, DISPID_WB_OFFLINE},
    {"Silent", &BoolProperty<&WB::get_Silent, &WB::put_Silent>, DISPID_WB_SILENT},
    {"RegisterAsBrowser", &BoolProperty<&WB::get_RegisterAsBrowser, &WB::put_RegisterAsBrowser>,
     DISPID_WB_REGISTERASBROWSER},
    {"RegisterAsDropTarget", &BoolProperty<&WB::get_RegisterAsDropTarget, &WB::put_RegisterAsDropTarget>,
     DISPID_WB_REGISTERASDROPTARGET},
    {"TheaterMode", &BoolProperty<&WB::get_TheaterMode, &WB::put_TheaterMode>, DISPID_WB_THEATERMODE},
    {"AddressBar", &BoolProperty<&WB::get_AddressBar, &WB::put_AddressBar>, DISPID_WB_ADDRESSBAR},
    {"Resizable", &BoolProperty<&WB::get_Resizable, &WB::put_Resizable>, DISPID_WB_RESIZABLE},
};
// clang-format on
constexpr comdisp::DispTable<WB> kTable{kMembers};

}  // namespace

// ---------------------------------------------------------------- IDispatch

HRESULT WebBrowserObject::GetTypeInfoCount(UINT* pctinfo) { return comdisp::NoTypeInfoCount(pctinfo); }

HRESULT WebBrowserObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  return comdisp::NoTypeInfo(ppTInfo);
}

HRESULT WebBrowserObject::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  return kTable.lookUp(rgszNames, cNames, rgDispId);
}

HRESULT WebBrowserObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT*) {
  try {
    return kTable.invoke(*this, id, flags, params, result);
  } catch (const Exception&) {
    return DISP_E_TYPEMISMATCH;
  }
}

// ---------------------------------------------------------------- IWebBrowser

HRESULT WebBrowserObject::GoBack() {
  if (!page_->history()->canGoBack()) return E_FAIL;
  beginNavigation();
  page_->triggerAction(QWebEnginePage::Back);
  return S_OK;
}

HRESULT WebBrowserObject::GoForward() {
  if (!page_->history()->canGoForward()) return E_FAIL;
  beginNavigation();
  page_->triggerAction(QWebEnginePage::Forward);
  return S_OK;
}

namespace {

// A page address kept under Internet Explorer's "Main" key; empty when missing.
String mainKeyValue(const char* name) {
  try {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_CURRENT_USER;
    if (reg.OpenKeyReadOnly(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main")))
      return Trim(reg.ReadString(QLatin1String(name)));
  } catch (const Exception&) {
  }
  return String();
}

}  // namespace

HRESULT WebBrowserObject::GoHome() {
  String start = mainKeyValue("Start Page");
  if (start.isEmpty()) start = QStringLiteral("about:blank");
  const QUrl url = QUrl::fromUserInput(start);
  return url.isValid() ? navigateTo(url, QString()) : E_FAIL;
}

HRESULT WebBrowserObject::GoSearch() {
  const String search = mainKeyValue("Search Page");
  const QUrl url = QUrl::fromUserInput(search);
  return !search.isEmpty() && url.isValid() ? navigateTo(url, QString()) : E_FAIL;
}

HRESULT WebBrowserObject::Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                                   VARIANT* Headers) {
  OleVariant url(BSTRToString(URL));
  return Navigate2(&url, Flags, TargetFrameName, PostData, Headers);
}

HRESULT WebBrowserObject::Navigate2(VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT* Headers) {
  const OleVariant address = argumentValue(URL);
  // Addresses come as text (item identifier lists are not supported).
  if (address.vt != VT_BSTR) return E_INVALIDARG;
  const String text = Trim(BSTRToString(address.bstrVal));
  if (text.isEmpty()) return E_INVALIDARG;
  const QUrl url = QUrl::fromUserInput(text);
  // Words, or a network address without a host ("http://"), which the
  // engine would not even start loading.
  static const QStringList hostSchemes{QStringLiteral("http"), QStringLiteral("https"),
                                       QStringLiteral("ftp")};
  if (!url.isValid() || (hostSchemes.contains(url.scheme()) && url.host().isEmpty()))
    return navigateToNoAddress(text);
  return navigateTo(url, VarToStr(argumentValue(Headers)));
}

// The host hears of the navigation and of its failure as for an address
// that cannot be reached; the browser's own page says what went wrong.
HRESULT WebBrowserObject::navigateToNoAddress(const QString& text) {
  OleVariant vUrl(text);
  OleVariant vFlags{0};
  OleVariant vFrame{String()};
  OleVariant vPostData;
  OleVariant vHeaders{String()};
  VARIANT_BOOL cancel = VARIANT_FALSE;
  fire(DISPID_BEFORENAVIGATE2,
       {dispatch(static_cast<IWebBrowser2*>(this)), refVariant(&vUrl), refVariant(&vFlags),
        refVariant(&vFrame), refVariant(&vPostData), refVariant(&vHeaders), refBool(&cancel)});
  if (cancel != VARIANT_FALSE) return S_OK;
  beginNavigation();
  errorPageFor_ = text;
  errorPageLoading_ = true;
  const QString shown = text.toHtmlEscaped();
  page_->setHtml(QStringLiteral("<html><head><title>Address not found</title></head><body>"
                                "<h1>This page cannot be displayed</h1>"
                                "<p>&ldquo;%1&rdquo; is no address of a page.</p></body></html>")
                     .arg(shown),
                 QUrl(QStringLiteral("about:blank")));
  return S_OK;
}

QString WebBrowserObject::locationUrl() const {
  return errorPageFor_.isEmpty() ? page_->url().toString() : errorPageFor_;
}

HRESULT WebBrowserObject::Refresh() {
  OleVariant level{int(REFRESH_NORMAL)};
  return Refresh2(&level);
}

HRESULT WebBrowserObject::Refresh2(VARIANT* Level) {
  if (page_->url().isEmpty()) return S_OK;  // nothing shown yet
  int level = REFRESH_NORMAL;
  try {
    const OleVariant v = argumentValue(Level);
    if (!v.isEmpty() && !v.isNull()) level = v.toInt();
  } catch (const Exception&) {
    return E_INVALIDARG;
  }
  // The host may take the refresh over.
  if (hostCancelsRefresh(kRefreshCommand)) return S_OK;
  reload(level == REFRESH_COMPLETELY);
  return S_OK;
}

bool WebBrowserObject::hostCancelsRefresh(DWORD command) {
  ComPtr<IOleCommandTarget> commands = host<IOleCommandTarget>();
  return commands && commands->Exec(&CGID_DocHostCommandHandler, command, OLECMDEXECOPT_DODEFAULT, nullptr,
                                    nullptr) == S_OK;
}

void WebBrowserObject::reload(bool completely) {
  beginNavigation();
  page_->triggerAction(completely ? QWebEnginePage::ReloadAndBypassCache : QWebEnginePage::Reload);
}

HRESULT WebBrowserObject::Stop() {
  page_->triggerAction(QWebEnginePage::Stop);
  navigationPending_ = false;
  if (activeLoads_ > 0) {
    // The engine has stopped but reports the end of the load only later; the
    // load ends here, so that the browser is idle once Stop returns.
    stoppedLoads_ += std::exchange(activeLoads_, 0);
    finishLoad(false, true, 0);
  } else if (busy_) {
    // Nothing started yet: the request is simply dropped.
    busy_ = false;
    readyState_ = page_->url().isEmpty() ? stateBeforeNavigation_ : READYSTATE_COMPLETE;
  }
  return S_OK;
}

HRESULT WebBrowserObject::get_Application(IDispatch** ppDisp) {
  if (!ppDisp) return E_POINTER;
  *ppDisp = static_cast<IWebBrowser2*>(this);
  AddRef();
  return S_OK;
}

HRESULT WebBrowserObject::get_Parent(IDispatch** ppDisp) {
  if (!ppDisp) return E_POINTER;
  *ppDisp = nullptr;
  if (site_ && SUCCEEDED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppDisp)))) return S_OK;
  return get_Application(ppDisp);
}

HRESULT WebBrowserObject::get_Container(IDispatch** ppDisp) {
  if (!ppDisp) return E_POINTER;
  *ppDisp = nullptr;
  return S_OK;
}

HRESULT WebBrowserObject::get_Document(IDispatch** ppDisp) {
  if (!ppDisp) return E_POINTER;
  *ppDisp = nullptr;
  if (document_) document_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppDisp));
  return S_OK;
}

HRESULT WebBrowserObject::get_TopLevelContainer(VARIANT_BOOL* pBool) { return setBool(pBool, true); }

HRESULT WebBrowserObject::get_Type(BSTR* Type) {
  return setBstr(Type, document_ ? QStringLiteral("HTML Document") : String());
}

HRESULT WebBrowserObject::get_Left(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = view_ && docViewWindow_ ? view_->x() : 0;
  return S_OK;
}
HRESULT WebBrowserObject::put_Left(LONG Left) {
  if (view_ && docViewWindow_) view_->move(Left, view_->y());
  return S_OK;
}
HRESULT WebBrowserObject::get_Top(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = view_ && docViewWindow_ ? view_->y() : 0;
  return S_OK;
}
HRESULT WebBrowserObject::put_Top(LONG Top) {
  if (view_ && docViewWindow_) view_->move(view_->x(), Top);
  return S_OK;
}
HRESULT WebBrowserObject::get_Width(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = view_ ? view_->width() : 0;
  return S_OK;
}
HRESULT WebBrowserObject::put_Width(LONG Width) {
  if (view_) view_->resize(std::max<LONG>(Width, 0), view_->height());
  return S_OK;
}
HRESULT WebBrowserObject::get_Height(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = view_ ? view_->height() : 0;
  return S_OK;
}
HRESULT WebBrowserObject::put_Height(LONG Height) {
  if (view_) view_->resize(view_->width(), std::max<LONG>(Height, 0));
  return S_OK;
}

HRESULT WebBrowserObject::get_LocationName(BSTR* LocationName) {
  return setBstr(LocationName, page_->title());
}

HRESULT WebBrowserObject::get_LocationURL(BSTR* LocationURL) { return setBstr(LocationURL, locationUrl()); }

HRESULT WebBrowserObject::get_Busy(VARIANT_BOOL* pBool) { return setBool(pBool, busy_); }

// ---------------------------------------------------------------- IWebBrowserApp

// A browser control has no frame window to close.
HRESULT WebBrowserObject::Quit() { return S_OK; }

HRESULT WebBrowserObject::ClientToWindow(int* pcx, int* pcy) { return pcx && pcy ? S_OK : E_POINTER; }

HRESULT WebBrowserObject::PutProperty(BSTR Property, VARIANT vtValue) {
  const String name = BSTRToString(Property);
  OleVariant value(vtValue);
  auto it =
      std::find_if(properties_.begin(), properties_.end(), [&](const auto& p) { return p.first == name; });
  if (it != properties_.end())
    it->second = value;
  else
    properties_.append({name, value});
  OleVariant text(name);
  fire(DISPID_PROPERTYCHANGE, {text});
  return S_OK;
}

HRESULT WebBrowserObject::GetProperty(BSTR Property, VARIANT* pvtValue) {
  if (!pvtValue) return E_POINTER;
  const String name = BSTRToString(Property);
  VariantClear(pvtValue);
  for (const auto& p : properties_)
    if (p.first == name) return VariantCopy(pvtValue, &p.second);
  return S_OK;
}

HRESULT WebBrowserObject::get_Name(BSTR* Name) {
  return setBstr(Name, QStringLiteral("Web Browser Control"));
}

HRESULT WebBrowserObject::get_HWND(SHANDLE_PTR* pHWND) {
  if (!pHWND) return E_POINTER;
  *pHWND = SHANDLE_PTR(docViewWindow_);
  return docViewWindow_ ? S_OK : E_FAIL;
}

HRESULT WebBrowserObject::get_FullName(BSTR* FullName) {
  return setBstr(FullName, QCoreApplication::applicationFilePath());
}

HRESULT WebBrowserObject::get_Path(BSTR* Path) {
  return setBstr(Path, IncludeTrailingPathDelimiter(QCoreApplication::applicationDirPath()));
}

HRESULT WebBrowserObject::get_Visible(VARIANT_BOOL* pBool) { return setBool(pBool, visible_); }

HRESULT WebBrowserObject::put_Visible(VARIANT_BOOL Value) {
  visible_ = Value != VARIANT_FALSE;
  if (view_ && docViewWindow_) view_->setVisible(visible_);
  fire(DISPID_ONVISIBLE, {boolean(visible_)});
  return S_OK;
}

HRESULT WebBrowserObject::get_StatusBar(VARIANT_BOOL* pBool) { return setBool(pBool, statusBar_); }
HRESULT WebBrowserObject::put_StatusBar(VARIANT_BOOL Value) {
  return putFlag(statusBar_, Value, DISPID_ONSTATUSBAR);
}

HRESULT WebBrowserObject::get_StatusText(BSTR* StatusText) { return setBstr(StatusText, statusText_); }
HRESULT WebBrowserObject::put_StatusText(BSTR StatusText) {
  statusText_ = BSTRToString(StatusText);
  return S_OK;
}

HRESULT WebBrowserObject::get_ToolBar(int* Value) {
  if (!Value) return E_POINTER;
  *Value = toolBar_ ? 1 : 0;
  return S_OK;
}
HRESULT WebBrowserObject::put_ToolBar(int Value) {
  toolBar_ = Value != 0;
  fire(DISPID_ONTOOLBAR, {boolean(toolBar_)});
  return S_OK;
}

HRESULT WebBrowserObject::get_MenuBar(VARIANT_BOOL* Value) { return setBool(Value, menuBar_); }
HRESULT WebBrowserObject::put_MenuBar(VARIANT_BOOL Value) {
  return putFlag(menuBar_, Value, DISPID_ONMENUBAR);
}

HRESULT WebBrowserObject::get_FullScreen(VARIANT_BOOL* pbFullScreen) {
  return setBool(pbFullScreen, fullScreen_);
}
HRESULT WebBrowserObject::put_FullScreen(VARIANT_BOOL bFullScreen) {
  return putFlag(fullScreen_, bFullScreen, DISPID_ONFULLSCREEN);
}

// ---------------------------------------------------------------- IWebBrowser2

HRESULT WebBrowserObject::QueryStatusWB(OLECMDID cmdID, OLECMDF* pcmdf) {
  if (!pcmdf) return E_POINTER;
  OLECMD cmd = {cmdID, 0};
  const HRESULT hr = QueryStatus(nullptr, 1, &cmd, nullptr);
  *pcmdf = OLECMDF(cmd.cmdf);
  return hr;
}

HRESULT WebBrowserObject::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT* pvaIn, VARIANT* pvaOut) {
  return Exec(nullptr, cmdID, cmdexecopt, pvaIn, pvaOut);
}

HRESULT WebBrowserObject::ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) { return E_NOTIMPL; }

HRESULT WebBrowserObject::get_ReadyState(READYSTATE* plReadyState) {
  if (!plReadyState) return E_POINTER;
  *plReadyState = readyState_;
  return S_OK;
}

HRESULT WebBrowserObject::get_Offline(VARIANT_BOOL* pbOffline) { return setBool(pbOffline, offline_); }
HRESULT WebBrowserObject::put_Offline(VARIANT_BOOL bOffline) { return putFlag(offline_, bOffline, 0); }
HRESULT WebBrowserObject::get_Silent(VARIANT_BOOL* pbSilent) { return setBool(pbSilent, silent_); }
HRESULT WebBrowserObject::put_Silent(VARIANT_BOOL bSilent) { return putFlag(silent_, bSilent, 0); }
HRESULT WebBrowserObject::get_RegisterAsBrowser(VARIANT_BOOL* pbRegister) {
  return setBool(pbRegister, registerAsBrowser_);
}
HRESULT WebBrowserObject::put_RegisterAsBrowser(VARIANT_BOOL bRegister) {
  return putFlag(registerAsBrowser_, bRegister, 0);
}
HRESULT WebBrowserObject::get_RegisterAsDropTarget(VARIANT_BOOL* pbRegister) {
  return setBool(pbRegister, registerAsDropTarget_);
}
HRESULT WebBrowserObject::put_RegisterAsDropTarget(VARIANT_BOOL bRegister) {
  putFlag(registerAsDropTarget_, bRegister, 0);
  page_->settings()->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, registerAsDropTarget_);
  updateDropRefusal();
  return S_OK;
}
HRESULT WebBrowserObject::get_TheaterMode(VARIANT_BOOL* pbRegister) {
  return setBool(pbRegister, theaterMode_);
}
HRESULT WebBrowserObject::put_TheaterMode(VARIANT_BOOL bRegister) {
  return putFlag(theaterMode_, bRegister, DISPID_ONTHEATERMODE);
}
HRESULT WebBrowserObject::get_AddressBar(VARIANT_BOOL* Value) { return setBool(Value, addressBar_); }
HRESULT WebBrowserObject::put_AddressBar(VARIANT_BOOL Value) {
  return putFlag(addressBar_, Value, DISPID_ONADDRESSBAR);
}
HRESULT WebBrowserObject::get_Resizable(VARIANT_BOOL* Value) { return setBool(Value, resizable_); }
HRESULT WebBrowserObject::put_Resizable(VARIANT_BOOL Value) {
  return putFlag(resizable_, Value, DISPID_WINDOWSETRESIZABLE);
}
