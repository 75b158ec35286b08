#include "platform/shdocvw/WebBrowser.h"

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

// Names and dispatch ids of the browser's automation members.
struct Member {
  const char* name;
  DISPID id;
};
constexpr Member kMembers[] = {
    {"GoBack", DISPID_WB_GOBACK},
    {"GoForward", DISPID_WB_GOFORWARD},
    {"GoHome", DISPID_WB_GOHOME},
    {"GoSearch", DISPID_WB_GOSEARCH},
    {"Navigate", DISPID_WB_NAVIGATE},
    {"Refresh", DISPID_WB_REFRESH},
    {"Refresh2", DISPID_WB_REFRESH2},
    {"Stop", DISPID_WB_STOP},
    {"Application", DISPID_WB_APPLICATION},
    {"Parent", DISPID_WB_PARENT},
    {"Container", DISPID_WB_CONTAINER},
    {"Document", DISPID_WB_DOCUMENT},
    {"TopLevelContainer", DISPID_WB_TOPLEVELCONTAINER},
    {"Type", DISPID_WB_TYPE},
    {"Left", DISPID_WB_LEFT},
    {"Top", DISPID_WB_TOP},
    {"Width", DISPID_WB_WIDTH},
    {"Height", DISPID_WB_HEIGHT},
    {"LocationName", DISPID_WB_LOCATIONNAME},
    {"LocationURL", DISPID_WB_LOCATIONURL},
    {"Busy", DISPID_WB_BUSY},
    {"Quit", DISPID_WB_QUIT},
    {"ClientToWindow", DISPID_WB_CLIENTTOWINDOW},
    {"PutProperty", DISPID_WB_PUTPROPERTY},
    {"GetProperty", DISPID_WB_GETPROPERTY},
    {"Name", DISPID_WB_NAME},
    {"HWND", DISPID_WB_HWND},
    {"FullName", DISPID_WB_FULLNAME},
    {"Path", DISPID_WB_PATH},
    {"Visible", DISPID_WB_VISIBLE},
    {"StatusBar", DISPID_WB_STATUSBAR},
    {"StatusText", DISPID_WB_STATUSTEXT},
    {"ToolBar", DISPID_WB_TOOLBAR},
    {"MenuBar", DISPID_WB_MENUBAR},
    {"FullScreen", DISPID_WB_FULLSCREEN},
    {"Navigate2", DISPID_WB_NAVIGATE2},
    {"QueryStatusWB", DISPID_WB_QUERYSTATUSWB},
    {"ExecWB", DISPID_WB_EXECWB},
    {"ShowBrowserBar", DISPID_WB_SHOWBROWSERBAR},
    {"ReadyState", DISPID_WB_READYSTATE},
    {"Offline", DISPID_WB_OFFLINE},
    {"Silent", DISPID_WB_SILENT},
    {"RegisterAsBrowser", DISPID_WB_REGISTERASBROWSER},
    {"RegisterAsDropTarget", DISPID_WB_REGISTERASDROPTARGET},
    {"TheaterMode", DISPID_WB_THEATERMODE},
    {"AddressBar", DISPID_WB_ADDRESSBAR},
    {"Resizable", DISPID_WB_RESIZABLE},
};

}  // namespace

// ---------------------------------------------------------------- IDispatch

HRESULT WebBrowserObject::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT WebBrowserObject::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT WebBrowserObject::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (!rgszNames || !rgDispId) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < cNames; ++i) {
    const String name = OleStrToString(rgszNames[i]);
    rgDispId[i] = DISPID_UNKNOWN;
    for (const Member& m : kMembers)
      if (SameText(name, QLatin1String(m.name))) rgDispId[i] = m.id;
    if (rgDispId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT WebBrowserObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT*) {
  const UINT argc = params ? params->cArgs : 0;
  // Arguments in their natural order (Invoke gets them reversed).
  auto arg = [&](UINT i) -> VARIANT* { return i < argc ? &params->rgvarg[argc - 1 - i] : nullptr; };
  const bool get = flags & DISPATCH_PROPERTYGET;
  const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  VARIANT* value = put && argc > 0 ? &params->rgvarg[0] : nullptr;
  auto answer = [&](OleVariant v) {
    if (result) v.Detach(result);
  };

  using BoolGet = HRESULT (WebBrowserObject::*)(VARIANT_BOOL*);
  using BoolPut = HRESULT (WebBrowserObject::*)(VARIANT_BOOL);
  auto boolProperty = [&](BoolGet getter, BoolPut setter) -> HRESULT {
    if (put && setter) {
      if (!value) return DISP_E_PARAMNOTFOUND;
      OleVariant v;
      if (FAILED(VariantCopyInd(&v, value)) || FAILED(VariantChangeType(&v, &v, 0, VT_BOOL)))
        return DISP_E_TYPEMISMATCH;
      return (this->*setter)(v.boolVal);
    }
    if (!get) return DISP_E_MEMBERNOTFOUND;
    VARIANT_BOOL b = VARIANT_FALSE;
    const HRESULT hr = (this->*getter)(&b);
    if (SUCCEEDED(hr)) answer(OleVariant(b != VARIANT_FALSE));
    return hr;
  };
  auto stringGetter = [&](HRESULT (WebBrowserObject::*getter)(BSTR*)) -> HRESULT {
    if (!get) return DISP_E_MEMBERNOTFOUND;
    BSTR text = nullptr;
    const HRESULT hr = (this->*getter)(&text);
    if (SUCCEEDED(hr)) answer(OleVariant(BSTRToString(text)));
    SysFreeString(text);
    return hr;
  };
  auto longProperty = [&](HRESULT (WebBrowserObject::*getter)(LONG*),
                          HRESULT (WebBrowserObject::*setter)(LONG)) -> HRESULT {
    if (put) {
      if (!value) return DISP_E_PARAMNOTFOUND;
      try {
        return (this->*setter)(argumentValue(value).toInt());
      } catch (const Exception&) {
        return DISP_E_TYPEMISMATCH;
      }
    }
    if (!get) return DISP_E_MEMBERNOTFOUND;
    LONG n = 0;
    const HRESULT hr = (this->*getter)(&n);
    if (SUCCEEDED(hr)) answer(OleVariant(int(n)));
    return hr;
  };
  auto dispatchGetter = [&](HRESULT (WebBrowserObject::*getter)(IDispatch**)) -> HRESULT {
    if (!get) return DISP_E_MEMBERNOTFOUND;
    IDispatch* d = nullptr;
    const HRESULT hr = (this->*getter)(&d);
    ComPtr<IDispatch> held;
    held.Attach(d);
    if (SUCCEEDED(hr)) answer(OleVariant(d));
    return hr;
  };

  try {
    switch (id) {
      case DISPID_WB_GOBACK: return GoBack();
      case DISPID_WB_GOFORWARD: return GoForward();
      case DISPID_WB_GOHOME: return GoHome();
      case DISPID_WB_GOSEARCH: return GoSearch();
      case DISPID_WB_NAVIGATE:
      case DISPID_WB_NAVIGATE2:
        if (!arg(0)) return DISP_E_PARAMNOTFOUND;
        return Navigate2(arg(0), arg(1), arg(2), arg(3), arg(4));
      case DISPID_WB_REFRESH: return Refresh();
      case DISPID_WB_REFRESH2: return Refresh2(arg(0));
      case DISPID_WB_STOP: return Stop();
      case DISPID_WB_APPLICATION: return dispatchGetter(&WebBrowserObject::get_Application);
      case DISPID_WB_PARENT: return dispatchGetter(&WebBrowserObject::get_Parent);
      case DISPID_WB_CONTAINER: return dispatchGetter(&WebBrowserObject::get_Container);
      case DISPID_WB_DOCUMENT: return dispatchGetter(&WebBrowserObject::get_Document);
      case DISPID_WB_TOPLEVELCONTAINER:
        return boolProperty(&WebBrowserObject::get_TopLevelContainer, nullptr);
      case DISPID_WB_TYPE: return stringGetter(&WebBrowserObject::get_Type);
      case DISPID_WB_LEFT: return longProperty(&WebBrowserObject::get_Left, &WebBrowserObject::put_Left);
      case DISPID_WB_TOP: return longProperty(&WebBrowserObject::get_Top, &WebBrowserObject::put_Top);
      case DISPID_WB_WIDTH: return longProperty(&WebBrowserObject::get_Width, &WebBrowserObject::put_Width);
      case DISPID_WB_HEIGHT:
        return longProperty(&WebBrowserObject::get_Height, &WebBrowserObject::put_Height);
      case DISPID_WB_LOCATIONNAME: return stringGetter(&WebBrowserObject::get_LocationName);
      case DISPID_WB_LOCATIONURL: return stringGetter(&WebBrowserObject::get_LocationURL);
      case DISPID_WB_BUSY: return boolProperty(&WebBrowserObject::get_Busy, nullptr);
      case DISPID_WB_QUIT: return Quit();
      case DISPID_WB_PUTPROPERTY: {
        if (!arg(0) || !arg(1)) return DISP_E_PARAMNOTFOUND;
        BSTR name = StringToBSTR(argumentValue(arg(0)).toString());
        const HRESULT hr = PutProperty(name, argumentValue(arg(1)));
        SysFreeString(name);
        return hr;
      }
      case DISPID_WB_GETPROPERTY: {
        if (!arg(0)) return DISP_E_PARAMNOTFOUND;
        BSTR name = StringToBSTR(argumentValue(arg(0)).toString());
        OleVariant v;
        const HRESULT hr = GetProperty(name, &v);
        SysFreeString(name);
        if (SUCCEEDED(hr)) answer(v);
        return hr;
      }
      case DISPID_WB_NAME: return stringGetter(&WebBrowserObject::get_Name);
      case DISPID_WB_HWND: {
        if (!get) return DISP_E_MEMBERNOTFOUND;
        SHANDLE_PTR h = 0;
        const HRESULT hr = get_HWND(&h);
        if (SUCCEEDED(hr)) answer(OleVariant(Int64(h)));
        return hr;
      }
      case DISPID_WB_FULLNAME: return stringGetter(&WebBrowserObject::get_FullName);
      case DISPID_WB_PATH: return stringGetter(&WebBrowserObject::get_Path);
      case DISPID_WB_VISIBLE:
        return boolProperty(&WebBrowserObject::get_Visible, &WebBrowserObject::put_Visible);
      case DISPID_WB_STATUSBAR:
        return boolProperty(&WebBrowserObject::get_StatusBar, &WebBrowserObject::put_StatusBar);
      case DISPID_WB_STATUSTEXT:
        if (put) {
          if (!value) return DISP_E_PARAMNOTFOUND;
          BSTR text = StringToBSTR(argumentValue(value).toString());
          const HRESULT hr = put_StatusText(text);
          SysFreeString(text);
          return hr;
        }
        return stringGetter(&WebBrowserObject::get_StatusText);
      case DISPID_WB_TOOLBAR:
        if (put) {
          if (!value) return DISP_E_PARAMNOTFOUND;
          return put_ToolBar(argumentValue(value).toInt());
        } else {
          int n = 0;
          const HRESULT hr = get_ToolBar(&n);
          if (SUCCEEDED(hr)) answer(OleVariant(n));
          return hr;
        }
      case DISPID_WB_MENUBAR:
        return boolProperty(&WebBrowserObject::get_MenuBar, &WebBrowserObject::put_MenuBar);
      case DISPID_WB_FULLSCREEN:
        return boolProperty(&WebBrowserObject::get_FullScreen, &WebBrowserObject::put_FullScreen);
      case DISPID_WB_QUERYSTATUSWB: {
        if (!arg(0)) return DISP_E_PARAMNOTFOUND;
        OLECMDF f = OLECMDF(0);
        const HRESULT hr = QueryStatusWB(OLECMDID(argumentValue(arg(0)).toInt()), &f);
        if (SUCCEEDED(hr)) answer(OleVariant(int(f)));
        return hr;
      }
      case DISPID_WB_EXECWB: {
        if (!arg(0)) return DISP_E_PARAMNOTFOUND;
        const auto cmd = OLECMDID(argumentValue(arg(0)).toInt());
        const auto opt = OLECMDEXECOPT(arg(1) ? argumentValue(arg(1)).toInt() : 0);
        VARIANT* out = arg(3) && (arg(3)->vt & VT_BYREF) ? arg(3)->pvarVal : nullptr;
        if (arg(3) && arg(3)->vt != (VT_BYREF | VT_VARIANT)) out = nullptr;
        OleVariant in = argumentValue(arg(2));
        return ExecWB(cmd, opt, in.isEmpty() ? nullptr : &in, out);
      }
      case DISPID_WB_READYSTATE: {
        if (!get) return DISP_E_MEMBERNOTFOUND;
        READYSTATE s = READYSTATE_UNINITIALIZED;
        get_ReadyState(&s);
        answer(OleVariant(int(s)));
        return S_OK;
      }
      case DISPID_WB_OFFLINE:
        return boolProperty(&WebBrowserObject::get_Offline, &WebBrowserObject::put_Offline);
      case DISPID_WB_SILENT:
        return boolProperty(&WebBrowserObject::get_Silent, &WebBrowserObject::put_Silent);
      case DISPID_WB_REGISTERASBROWSER:
        return boolProperty(&WebBrowserObject::get_RegisterAsBrowser,
                            &WebBrowserObject::put_RegisterAsBrowser);
      case DISPID_WB_REGISTERASDROPTARGET:
        return boolProperty(&WebBrowserObject::get_RegisterAsDropTarget,
                            &WebBrowserObject::put_RegisterAsDropTarget);
      case DISPID_WB_THEATERMODE:
        return boolProperty(&WebBrowserObject::get_TheaterMode, &WebBrowserObject::put_TheaterMode);
      case DISPID_WB_ADDRESSBAR:
        return boolProperty(&WebBrowserObject::get_AddressBar, &WebBrowserObject::put_AddressBar);
      case DISPID_WB_RESIZABLE:
        return boolProperty(&WebBrowserObject::get_Resizable, &WebBrowserObject::put_Resizable);
      default: return DISP_E_MEMBERNOTFOUND;
    }
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
