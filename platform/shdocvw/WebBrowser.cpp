#include "platform/shdocvw/WebBrowser.h"

#include "platform/mshtml/DesignerEvents.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/BrowserDialogs.h"
#include "platform/shdocvw/DownloadDialog.h"
#include "platform/shdocvw/TrustedCertificates.h"
#include "platform/shdocvw/UrlCacheSources_p.h"
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

const char* const kHostStyleScript = "noctivane-host-style";

// The engine takes its proxy from Qt Network's application proxy (only its
// type, host and port) as long as the system configuration is not used.
// This keeps it equal to the process's Internet settings; true when the
// proxy changed.
bool followProcessProxy() {
  const InternetProxySettings settings = CurrentProxy();
  QNetworkProxy proxy(QNetworkProxy::NoProxy);
  if (settings.UsesProxy()) {
    // The engine has one proxy for every scheme: the one web pages use.
    const QUrl server(ProxyForUrl(QStringLiteral("http://proxy.invalid/"), settings.proxyServer, String()));
    if (server.isValid() && !server.host().isEmpty()) {
      const bool socks = server.scheme().startsWith(QLatin1String("socks"));
      proxy = QNetworkProxy(socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy, server.host(),
                            quint16(server.port(socks ? 1080 : 80)));
    }
  }
  QNetworkProxyFactory::setUseSystemConfiguration(false);
  if (QNetworkProxy::applicationProxy() == proxy) return false;
  QNetworkProxy::setApplicationProxy(proxy);
  return true;
}

}  // namespace

// ---------------------------------------------------------------- profile

QWebEngineProfile* BrowserEngineProfile() {
  static QPointer<QWebEngineProfile> profile;
  if (!profile) {
    const String dir = ProfileDir() + QStringLiteral("/Engine");
    ForceDirectories(dir);
    // Making the profile makes a storage folder under the user's data folder
    // before the profile can be told where its storage is: for that moment
    // the data folder lies in the profile. The engine starts with this
    // profile, so none of its threads runs yet when the variable is set.
    const bool dataHomeSet = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir + QStringLiteral("/Initial")));
    profile = new QWebEngineProfile(QStringLiteral("Noctivane"), QCoreApplication::instance());
    if (dataHomeSet)
      qputenv("XDG_DATA_HOME", dataHome);
    else
      qunsetenv("XDG_DATA_HOME");
    profile->setPersistentStoragePath(dir);
    profile->setCachePath(dir + QStringLiteral("/Cache"));
    // Downloads go where the user chooses; until then the engine keeps what
    // arrives in the profile, not in the user's folders.
    profile->setDownloadPath(dir + QStringLiteral("/Downloads"));
    RegisterCookieCacheSource(profile);
    // A cleared history leaves no link shown as visited.
    UrlHistoryStore().OnCleared = [] {
      if (profile) profile->clearAllVisitedLinks();
    };
    // The engine follows the process's proxy from now on.
    followProcessProxy();
    static const int proxyListener = AddInternetSettingsListener([] {
      if (!followProcessProxy()) return;
      // The engine reads the proxy again only when it resolves a request and
      // then applies it to later ones. A new network context, made when the
      // cache type changes, takes the proxy at once.
      QMetaObject::invokeMethod(QCoreApplication::instance(), [] {
        if (!profile) return;
        const QWebEngineProfile::HttpCacheType type = profile->httpCacheType();
        profile->setHttpCacheType(type == QWebEngineProfile::MemoryHttpCache
                                      ? QWebEngineProfile::DiskHttpCache
                                      : QWebEngineProfile::MemoryHttpCache);
        profile->setHttpCacheType(type);
      });
    });
    Q_UNUSED(proxyListener);
    QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile,
                     [](QWebEngineDownloadRequest* download) {
                       auto* page = dynamic_cast<BrowserPage*>(download->page());
                       if (!page || !page->owner) return;
                       EngineCallback call(page->owner);
                       page->owner->onDownload(download);
                     });
  }
  return profile;
}

// ---------------------------------------------------------------- life

WebBrowserObject::WebBrowserObject() {
  points_.Add(DIID_DWebBrowserEvents2);
  page_ = new BrowserPage(BrowserEngineProfile(), this);
  interceptor_ = new UserAgentInterceptor(page_);
  page_->setUrlRequestInterceptor(interceptor_);

  BrowserPage* page = page_;
  QObject::connect(page, &QWebEnginePage::loadingChanged, page, [page](const QWebEngineLoadingInfo& info) {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onLoadingChanged(info);
  });
  QObject::connect(page, &QWebEnginePage::loadProgress, page, [page](int progress) {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onLoadProgress(progress);
  });
  QObject::connect(page, &QWebEnginePage::urlChanged, page, [page](const QUrl& url) {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onUrlChanged(url);
  });
  QObject::connect(page, &QWebEnginePage::titleChanged, page, [page](const QString& title) {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onTitleChanged(title);
  });
  QObject::connect(page, &QWebEnginePage::linkHovered, page, [page](const QString& url) {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onLinkHovered(url);
  });
  QObject::connect(page, &QWebEnginePage::newWindowRequested, page,
                   [page](QWebEngineNewWindowRequest& request) {
                     if (!page->owner) return;
                     EngineCallback call(page->owner);
                     page->owner->onNewWindow(request);
                   });
  QObject::connect(page, &QWebEnginePage::windowCloseRequested, page, [page] {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onWindowCloseRequested();
  });
  QObject::connect(page, &QWebEnginePage::authenticationRequired, page,
                   [page](const QUrl& url, QAuthenticator* authenticator) {
                     if (!page->owner) return;
                     EngineCallback call(page->owner);
                     page->owner->onAuthentication(authenticator, url.host());
                   });
  QObject::connect(page, &QWebEnginePage::proxyAuthenticationRequired, page,
                   [page](const QUrl&, QAuthenticator* authenticator, const QString& proxyHost) {
                     if (!page->owner) return;
                     EngineCallback call(page->owner);
                     page->owner->onAuthentication(authenticator, proxyHost);
                   });
  QObject::connect(page, &QWebEnginePage::geometryChangeRequested, page, [page](const QRect& geometry) {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onGeometryChangeRequested(geometry);
  });
  page->installEventFilter(new shdocvw_detail::PropertyWatcher(page, [page] {
    if (!page->owner) return;
    EngineCallback call(page->owner);
    page->owner->onZoomChanged();
  }));
  applyDownloadControl();
  ensureView();
}

WebBrowserObject::~WebBrowserObject() {
  destroyWindows();
  if (encodingMenu_ && IsMenu(encodingMenu_)) DestroyMenu(encodingMenu_);
  page_->owner = nullptr;
  ReleasePageDesigners(page_);
  document_.Reset();
  QWebEngineView* view = view_;
  if (g_engineCallbackDepth > 0) {
    // Still inside a call from the page: it ends once that call is over.
    if (view) view->deleteLater();
    page_->deleteLater();
  } else {
    delete view;
    delete page_;
  }
}

WebBrowserObject* WebBrowserObject::FromUnknown(IUnknown* unknown) {
  if (!unknown) return nullptr;
  ComPtr<IWebBrowserObjectAccess> access;
  if (FAILED(unknown->QueryInterface(IID_IWebBrowserObjectAccess, &access))) return nullptr;
  return access->Object();
}

QWebEnginePage* WebBrowserObject::Page() const { return page_; }

QWebEngineView* WebBrowserObject::ensureView() {
  if (!view_) {
    view_ = new BrowserView();
    view_->setPage(page_);
  }
  return view_;
}

ComPtr<IHTMLDocument2> WebBrowserObject::document() { return document_; }

// ---------------------------------------------------------------- events

void WebBrowserObject::fire(DISPID id, std::vector<VARIANT> args) {
  if (freezeEvents_ > 0) return;
  std::reverse(args.begin(), args.end());
  DISPPARAMS params = {args.data(), nullptr, UINT(args.size()), 0};
  ComPtr<IUnknown> keep(GetUnknown());
  points_.ForEachSink(DIID_DWebBrowserEvents2, [&](IUnknown* sink) {
    // Sinks are dispatch objects; what one of them throws stays with it.
    try {
      static_cast<IDispatch*>(sink)->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                            nullptr, nullptr, nullptr);
    } catch (...) {
    }
  });
}

HRESULT WebBrowserObject::putFlag(bool& field, VARIANT_BOOL value, DISPID event) {
  field = value != VARIANT_FALSE;
  if (event) fire(event, {boolean(field)});
  return S_OK;
}

// ---------------------------------------------------------------- host

void WebBrowserObject::readAmbient(DISPID dispID) {
  ComPtr<IDispatch> ambient = host<IDispatch>();
  auto ask = [&ambient](DISPID id, OleVariant& value) {
    if (!ambient) return false;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                           value.ClearAndGetAddressOf(), nullptr, nullptr) == S_OK;
  };
  const bool all = dispID == DISPID_UNKNOWN;
  OleVariant value;
  if (all || dispID == DISPID_AMBIENT_DLCONTROL) {
    dlControl_ = 0;
    try {
      if (ask(DISPID_AMBIENT_DLCONTROL, value)) dlControl_ = DWORD(value.toInt64());
    } catch (const Exception&) {
    }
    applyDownloadControl();
  }
  if (all || dispID == DISPID_AMBIENT_USERAGENT) {
    userAgent_.clear();
    if (ask(DISPID_AMBIENT_USERAGENT, value)) {
      // The host ends the text with a line break, which no header may hold.
      userAgent_ = VarToStr(value);
      userAgent_.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
      userAgent_ = Trim(userAgent_);
    }
    interceptor_->setUserAgent(userAgent_.toUtf8());
  }
  if (all || dispID == DISPID_AMBIENT_USERMODE) {
    bool userMode = true;
    try {
      if (ask(DISPID_AMBIENT_USERMODE, value)) userMode = value.toBool();
    } catch (const Exception&) {
    }
    designMode_ = !userMode;
    if (document_)
      page_->runJavaScript(designMode_ ? QStringLiteral("document.designMode = 'on';")
                                       : QStringLiteral("document.designMode = 'off';"),
                           QWebEngineScript::ApplicationWorld);
  }
}

void WebBrowserObject::applyDownloadControl() {
  // A host that gives no word (or 0) gets the default behaviour.
  const DWORD dl = dlControl_;
  const bool defaults = dl == 0;
  QWebEngineSettings* s = page_->settings();
  s->setAttribute(QWebEngineSettings::AutoLoadImages, defaults || (dl & DLCTL_DLIMAGES));
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, !(dl & DLCTL_NO_SCRIPTS));
  s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture,
                  !(defaults || (dl & (DLCTL_VIDEOS | DLCTL_BGSOUNDS))));
  s->setAttribute(QWebEngineSettings::PluginsEnabled,
                  !(dl & (DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS)));
}

void WebBrowserObject::applyHostInfo() {
  hostFlags_ = 0;
  String css;
  if (ComPtr<IDocHostUIHandler> uiHandler = host<IDocHostUIHandler>()) {
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    if (uiHandler->GetHostInfo(&info) == S_OK) {
      hostFlags_ = info.dwFlags;
      css = OleStrToString(info.pchHostCss);
    }
    CoTaskMemFree(info.pchHostCss);
    CoTaskMemFree(info.pchHostNS);
  }
  page_->settings()->setAttribute(QWebEngineSettings::ShowScrollBars,
                                  !(hostFlags_ & DOCHOSTUIFLAG_SCROLL_NO));
  if (hostFlags_ & DOCHOSTUIFLAG_DIALOG)
    css += QStringLiteral("\n* { -webkit-user-select: none !important; user-select: none !important; }");

  QWebEngineScriptCollection& scripts = page_->scripts();
  for (const QWebEngineScript& old : scripts.find(QLatin1String(kHostStyleScript))) scripts.remove(old);
  if (css.isEmpty()) return;
  const QByteArray literal = QJsonDocument::fromVariant(QVariantList{css}).toJson(QJsonDocument::Compact);
  QWebEngineScript script;
  script.setName(QLatin1String(kHostStyleScript));
  script.setWorldId(QWebEngineScript::ApplicationWorld);
  script.setInjectionPoint(QWebEngineScript::DocumentReady);
  script.setRunsOnSubFrames(true);
  script.setSourceCode(QStringLiteral("(function (css) {"
                                      "  var s = document.createElement('style');"
                                      "  s.textContent = css;"
                                      "  (document.head || document.documentElement).appendChild(s);"
                                      "})(%1[0]);")
                           .arg(QString::fromUtf8(literal)));
  scripts.insert(script);
}

// ---------------------------------------------------------------- windows

namespace {

MSG messageOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m{hwnd, msg, wParam, lParam, GetTickCount(), {}};
  GetCursorPos(&m.pt);
  return m;
}

}  // namespace

LRESULT WebBrowserObject::DocumentWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WebBrowserObject*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (self && self->site_ &&
      (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYUP ||
       msg == WM_CHAR)) {
    // The host sees the keys first; S_OK means it handled the key.
    MSG m = messageOf(hwnd, msg, wParam, lParam);
    ComPtr<IDocHostUIHandler> handler = self->host<IDocHostUIHandler>();
    if (handler && handler->TranslateAccelerator(&m, nullptr, 0) == S_OK) return 0;
  }
  // The document's user interface is active while it has the focus.
  if (self && (msg == WM_SETFOCUS || msg == WM_KILLFOCUS) && self->uiActive_ != (msg == WM_SETFOCUS)) {
    ComPtr<IUnknown> keep(self->GetUnknown());
    self->uiActive_ = msg == WM_SETFOCUS;
    if (ComPtr<IDocHostUIHandler> handler = self->host<IDocHostUIHandler>()) {
      if (self->uiActive_)
        handler->ShowUI(0 /* DOCHOSTUITYPE_BROWSE */, nullptr, static_cast<IOleCommandTarget*>(self), nullptr,
                        nullptr);
      else
        handler->HideUI();
    }
  }
  // Then the browser's own keys (BrowserCommands.cpp).
  if (self && (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN)) {
    ComPtr<IUnknown> keep(self->GetUnknown());
    if (self->onAccelerator(msg, WORD(wParam))) return 0;
  }
  // The page's edit designers see its input around the engine.
  if (self && IsDesignerInput(msg)) {
    EngineCallback call(self);
    return RouteDesignerInput(self->page_, messageOf(hwnd, msg, wParam, lParam),
                              [&] { return DefWindowProcW(hwnd, msg, wParam, lParam); });
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void WebBrowserObject::setDocumentWindow() {
  if (!docViewWindow_ || !IsWindow(docViewWindow_) || !view_) return;
  QWidget* proxy = view_->focusProxy();
  if (docWindow_ && IsWindow(docWindow_) && docWidget_ == proxy) return;
  if (docWindow_ && IsWindow(docWindow_)) {
    RevokeDragDrop(docWindow_);
    DestroyWindow(docWindow_);
  }
  docWindow_ = nullptr;
  docWidget_ = proxy;
  if (!proxy) return;
  docWindow_ = CreateWindowHandle(QStringLiteral("Internet Explorer_Server"), String(),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, docViewWindow_,
                                  &WebBrowserObject::DocumentWindowProc, proxy);
  if (!docWindow_) return;
  SetWindowLongPtrW(docWindow_, GWL_USERDATA, LONG_PTR(this));
  // The host learns that the inner windows exist.
  if (ComPtr<IOleCommandTarget> commands = host<IOleCommandTarget>()) {
    commands->Exec(&CGID_Explorer, CMDID_EXPLORER_INNERWINDOWS, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
  }
  applyDropTarget();
}

void WebBrowserObject::destroyWindows() {
  if (docWindow_ && IsWindow(docWindow_)) {
    SetWindowLongPtrW(docWindow_, GWL_USERDATA, 0);
    RevokeDragDrop(docWindow_);
    DestroyWindow(docWindow_);
  }
  if (docViewWindow_ && IsWindow(docViewWindow_)) SetWindowLongPtrW(docViewWindow_, GWL_USERDATA, 0);
  if (docViewWindow_ && IsWindow(docViewWindow_)) DestroyWindow(docViewWindow_);
  docWindow_ = nullptr;
  docViewWindow_ = nullptr;
  parentWindow_ = nullptr;
  docWidget_ = nullptr;
  if (view_) {
    view_->hide();
    view_->setParent(nullptr);
  }
}

// ---------------------------------------------------------------- class

HRESULT CreateWebBrowser(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  ComPtr<WebBrowserObject> browser = MakeCom<WebBrowserObject>();
  return browser->QueryInterface(riid, ppv);
}

void RegisterWebBrowserClass() {
  RegisterClassFactory(CLSID_WebBrowser, CreateWebBrowser);
  // The browser's resource library comes with it.
  RegisterShdoclcModule();
}
