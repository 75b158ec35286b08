#include "platform/shdocvw/WebBrowser.h"

#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/BrowserDialogs.h"
#include "platform/shdocvw/DownloadDialog.h"
#include "platform/shdocvw/TrustedCertificates.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/UrlHistory.h"
#include "platform/winapi/DragDrop.h"
#include "platform/winapi/Menus.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/wininet/ProxyState.h"
#include "platform/wininet/UrlCache.h"

#include <QAuthenticator>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QMutex>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
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

namespace {

constexpr LONG kProgressMax = 10000;
const char* const kHostStyleScript = "noctivane-host-style";

// Code running inside a call from the engine (a signal or a virtual of the
// page) counts here, so that a browser released meanwhile leaves the
// deletion of the engine objects to the event loop.
int g_engineCallbackDepth = 0;

// ---- event arguments (shallow: the caller keeps the values alive)

VARIANT i4(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT ui4(ULONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UI4;
  v.ulVal = value;
  return v;
}

VARIANT boolean(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT dispatch(IDispatch* value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = value;
  return v;
}

VARIANT refVariant(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}

VARIANT refBool(VARIANT_BOOL* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BOOL;
  v.pboolVal = target;
  return v;
}

VARIANT refDispatch(IDispatch** target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_DISPATCH;
  v.ppdispVal = target;
  return v;
}

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

// The value of an optional argument (null, missing and by reference allowed).
OleVariant argumentValue(const VARIANT* v) {
  OleVariant out;
  if (v) VariantCopyInd(&out, v);
  if (out.vt == VT_ERROR) out.clear();
  return out;
}

bool recordable(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
         scheme == QLatin1String("file") || scheme == QLatin1String("ftp");
}

// Pages fetched from the network, which the Internet cache keeps.
bool cacheable(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
         scheme == QLatin1String("ftp");
}

// The refresh command of the host's command handler for a refresh asked for
// through the browser (F5 and Ctrl+F5 have their own, BrowserCommands.cpp).
constexpr DWORD kRefreshCommand = 2300;

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

// The status code NavigateError reports for a failed load: the HTTP status,
// or the platform's Internet error for the kind of failure.
LONG navigateErrorCode(const QWebEngineLoadingInfo& info) {
  switch (info.errorDomain()) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
      return info.errorCode();
    case QWebEngineLoadingInfo::DnsErrorDomain:
      return LONG(0x800C0005u);  // INET_E_RESOURCE_NOT_FOUND
    case QWebEngineLoadingInfo::ConnectionErrorDomain:
      return LONG(0x800C0004u);  // INET_E_CANNOT_CONNECT
    case QWebEngineLoadingInfo::CertificateErrorDomain:
      return LONG(0x800C0019u);  // INET_E_INVALID_CERTIFICATE
    case QWebEngineLoadingInfo::InternalErrorDomain:
      // net::ERR_FILE_NOT_FOUND
      return info.errorCode() == -6 ? LONG(0x800C0005u) : LONG(0x800C0008u);
    default:
      return LONG(0x800C0008u);  // INET_E_DOWNLOAD_FAILURE
  }
}

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

namespace shdocvw_detail {

// Marks a call from the engine and keeps the browser alive through it.
class EngineCallback {
 public:
  explicit EngineCallback(WebBrowserObject* object) : keep_(object->GetUnknown()) {
    ++g_engineCallbackDepth;
  }
  ~EngineCallback() {
    keep_.Reset();  // may end the browser: still counted as inside the engine
    --g_engineCallbackDepth;
  }
  EngineCallback(const EngineCallback&) = delete;
  EngineCallback& operator=(const EngineCallback&) = delete;

 private:
  ComPtr<IUnknown> keep_;
};

// Sets the user agent of the browser's own requests.
class UserAgentInterceptor : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void setUserAgent(const QByteArray& agent) {
    QMutexLocker lock(&mutex_);
    agent_ = agent;
  }
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    QMutexLocker lock(&mutex_);
    if (!agent_.isEmpty()) info.setHttpHeader("User-Agent", agent_);
  }

 private:
  QMutex mutex_;
  QByteArray agent_;
};

// Runs its action whenever a dynamic property of the object it filters
// changes: a page keeps its text size and optical zoom in such properties.
class PropertyWatcher : public QObject {
 public:
  PropertyWatcher(QObject* parent, std::function<void()> action) : QObject(parent), action_(std::move(action)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::DynamicPropertyChange && action_) action_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> action_;
};

class BrowserPage : public QWebEnginePage {
 public:
  BrowserPage(QWebEngineProfile* profile, WebBrowserObject* owner)
      : QWebEnginePage(profile), owner(owner) {
    // A certificate no authority vouches for is taken only when the profile
    // trusts that very certificate; any other certificate error refuses the
    // page, which shows the engine's error page and reports NavigateError.
    connect(this, &QWebEnginePage::certificateError, this, [this](QWebEngineCertificateError error) {
      const bool trusted = error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid &&
                           error.isOverridable() &&
                           ProfileTrustsCertificate(error.certificateChain(), error.url().host());
      if (trusted) {
        error.acceptCertificate();
      } else {
        refusedCertificates.append(error.url());
        error.rejectCertificate();
      }
    });
  }

  // Cleared when the browser object ends before its page.
  WebBrowserObject* owner;
  // Addresses whose certificate was refused and whose error page is still to come.
  QList<QUrl> refusedCertificates;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (!owner) return false;
    EngineCallback call(owner);
    return owner->onNavigationRequest(url, type, isMainFrame);
  }

  void javaScriptAlert(const QUrl&, const QString& msg) override {
    if (!owner) return;
    EngineCallback call(owner);
    owner->onScriptMessage(msg, MB_OK | MB_ICONEXCLAMATION);
  }

  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                int lineNumber, const QString& sourceID) override {
    if (owner && level == ErrorMessageLevel) {
      EngineCallback call(owner);
      owner->onScriptError(message, lineNumber, sourceID);
    }
  }

  bool javaScriptConfirm(const QUrl&, const QString& msg) override {
    if (!owner) return false;
    EngineCallback call(owner);
    return owner->onScriptMessage(msg, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
  }

  bool javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                        QString* result) override {
    if (!owner) return false;
    EngineCallback call(owner);
    return owner->onScriptPrompt(msg, defaultValue, result);
  }
};

// The view: its context menu is the host's to show first.
class BrowserView : public QWebEngineView {
 public:
  using QWebEngineView::QWebEngineView;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override {
    auto* browserPage = dynamic_cast<BrowserPage*>(page());
    if (browserPage && browserPage->owner) {
      EngineCallback call(browserPage->owner);
      if (browserPage->owner->onContextMenu(event->globalPos())) {
        event->accept();
        return;
      }
    }
    QWebEngineView::contextMenuEvent(event);
  }
};

}  // namespace shdocvw_detail

using shdocvw_detail::BrowserPage;
using shdocvw_detail::BrowserView;
using shdocvw_detail::EngineCallback;
using shdocvw_detail::UserAgentInterceptor;

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
        profile->setHttpCacheType(type == QWebEngineProfile::MemoryHttpCache ? QWebEngineProfile::DiskHttpCache
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
  QObject::connect(page, &QWebEnginePage::loadingChanged, page,
                   [page](const QWebEngineLoadingInfo& info) {
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
  QObject::connect(page, &QWebEnginePage::geometryChangeRequested, page,
                   [page](const QRect& geometry) {
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
      static_cast<IDispatch*>(sink)->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                            &params, nullptr, nullptr, nullptr);
    } catch (...) {
    }
  });
}

HRESULT WebBrowserObject::putFlag(bool& field, VARIANT_BOOL value, DISPID event) {
  field = value != VARIANT_FALSE;
  if (event) fire(event, {boolean(field)});
  return S_OK;
}

// ---------------------------------------------------------------- navigation

void WebBrowserObject::beginNavigation() {
  if (!navigationPending_ && activeLoads_ == 0) stateBeforeNavigation_ = readyState_;
  navigationPending_ = true;
  readyState_ = READYSTATE_LOADING;
  busy_ = true;
}

HRESULT WebBrowserObject::navigateTo(const QUrl& url, const QString& headers) {
  QWebEngineHttpRequest request(url);
  for (const QString& line : headers.split(QRegularExpression(QStringLiteral("[\r\n]+")),
                                           Qt::SkipEmptyParts)) {
    const int colon = line.indexOf(QLatin1Char(':'));
    if (colon <= 0) continue;
    request.setHeader(line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toUtf8());
  }
  pendingHeaders_ = headers;
  beginNavigation();
  page_->load(request);
  return S_OK;
}

bool WebBrowserObject::onNavigationRequest(const QUrl& url, int type, bool isMainFrame) {
  if (!isMainFrame) return true;
  // The browser's own error page was announced as the failed text.
  if (errorPageLoading_ && url.scheme() == QLatin1String("data")) {
    applyHostInfo();
    return true;
  }
  const auto kind = QWebEnginePage::NavigationType(type);
  // A server's redirection goes on without asking again.
  if (kind == QWebEnginePage::NavigationTypeRedirect) return true;
  // A refresh is not announced with BeforeNavigate2.
  if (kind == QWebEnginePage::NavigationTypeReload) {
    beginNavigation();
    applyHostInfo();
    return true;
  }
  const QString headers = std::exchange(pendingHeaders_, QString());

  // The host may send the page elsewhere.
  ComPtr<IDocHostUIHandler> uiHandler = host<IDocHostUIHandler>();
  if (uiHandler && url != translatedUrl_) {
    String in = url.toString();
    LPWSTR out = nullptr;
    const HRESULT hr = uiHandler->TranslateUrl(0, reinterpret_cast<LPWSTR>(in.data()), &out);
    const String translated = OleStrToString(out);
    if (out) CoTaskMemFree(out);
    if (hr == S_OK && !Trim(translated).isEmpty()) {
      const QUrl target = QUrl::fromUserInput(Trim(translated));
      if (target.isValid() && target != url) {
        // The refused navigation still reports a start and a stop; the
        // translated one starts after them, so that the two never mix.
        translatedUrl_ = target;
        refusedUrls_.append(url);
        translationFrom_ = url;
        beginNavigation();
        QTimer::singleShot(1000, page_, [page = page_, url] {
          if (page->owner && page->owner->translationFrom_ == url) page->owner->startTranslated();
        });
        return false;
      }
    }
  }
  translatedUrl_.clear();

  OleVariant vUrl(url.toString());
  OleVariant vFlags{int(kind == QWebEnginePage::NavigationTypeLinkClicked ? navHyperlink : 0)};
  OleVariant vFrame{String()};
  OleVariant vPostData;
  OleVariant vHeaders(headers);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  fire(DISPID_BEFORENAVIGATE2,
       {dispatch(static_cast<IWebBrowser2*>(this)), refVariant(&vUrl), refVariant(&vFlags),
        refVariant(&vFrame), refVariant(&vPostData), refVariant(&vHeaders), refBool(&cancel)});
  if (cancel != VARIANT_FALSE) {
    refusedUrls_.append(url);
    navigationPending_ = false;
    if (activeLoads_ == 0) {
      readyState_ = stateBeforeNavigation_;
      busy_ = false;
    }
    return false;
  }
  beginNavigation();
  applyHostInfo();
  return true;
}

void WebBrowserObject::onLoadingChanged(const QWebEngineLoadingInfo& info) {
  const QUrl url = info.url();
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    // A refused navigation still reports a start and a stop; both are dropped.
    if (refusedUrls_.removeOne(url)) {
      ignoredLoads_.append(url);
      return;
    }
    navigationPending_ = false;
    if (!(errorPageLoading_ && url.scheme() == QLatin1String("data"))) {
      errorPageFor_.clear();
      errorPageLoading_ = false;
    }
    if (++activeLoads_ > 1) return;
    navigateCompleteRaised_ = false;
    busy_ = true;
    readyState_ = READYSTATE_LOADING;
    // The shown document is about to go.
    if (document_) {
      if (ComPtr<IOleCommandTarget> commands = host<IOleCommandTarget>())
        commands->Exec(&CGID_Explorer, CMDID_EXPLORER_ONUNLOAD, OLECMDEXECOPT_DODEFAULT, nullptr,
                       nullptr);
    }
    if (!document_) document_ = CreateLiveDocument(page_);
    setDocumentWindow();
    applyDropTarget();  // the host names the drop target of each document
    fire(DISPID_DOWNLOADBEGIN, {});
    fire(DISPID_COMMANDSTATECHANGE, {i4(CSC_UPDATECOMMANDS), boolean(false)});
    return;
  }
  if (ignoredLoads_.removeOne(url)) {
    if (url == translationFrom_) startTranslated();
    return;
  }
  if (stoppedLoads_ > 0) {
    --stoppedLoads_;  // Stop already finished this load
    return;
  }
  if (activeLoads_ == 0) return;
  if (--activeLoads_ > 0) return;
  const bool httpError = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                         info.errorCode() >= 400;
  const bool errorPage = std::exchange(errorPageLoading_, false);
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      if (errorPage)
        finishLoad(false, false, INET_E_INVALID_URL);
      else if (httpError)
        finishLoad(false, false, info.errorCode());
      else
        finishLoad(true, false, 0);
      break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
      finishLoad(false, false, navigateErrorCode(info));
      break;
    default:
      finishLoad(false, true, 0);
      break;
  }
}

void WebBrowserObject::startTranslated() {
  translationFrom_.clear();
  if (navigationPending_ && translatedUrl_.isValid()) page_->load(translatedUrl_);
}

void WebBrowserObject::finishLoad(bool succeeded, bool stopped, long statusCode) {
  setDocumentWindow();
  if (stopped && navigationPending_) {
    // Another navigation took over; its load goes on.
    fire(DISPID_DOWNLOADCOMPLETE, {});
    return;
  }
  busy_ = false;
  readyState_ = READYSTATE_COMPLETE;
  updateCommandStates();
  const QUrl url = page_->url();
  OleVariant vUrl(locationUrl());
  IDispatch* self = static_cast<IWebBrowser2*>(this);
  bool complete = succeeded;
  if (!succeeded && !stopped) {
    OleVariant vFrame{String()};
    OleVariant vStatus{int(statusCode)};
    VARIANT_BOOL cancel = VARIANT_FALSE;
    fire(DISPID_NAVIGATEERROR, {dispatch(self), refVariant(&vUrl), refVariant(&vFrame),
                                refVariant(&vStatus), refBool(&cancel)});
    // Unless the host took over, the engine's error page is the document.
    complete = cancel == VARIANT_FALSE;
  }
  if (complete) {
    if (!navigateCompleteRaised_) {
      navigateCompleteRaised_ = true;
      fire(DISPID_NAVIGATECOMPLETE2, {dispatch(self), refVariant(&vUrl)});
    }
    fire(DISPID_DOCUMENTCOMPLETE, {dispatch(self), refVariant(&vUrl)});
    if (succeeded && recordable(url)) UrlHistoryStore().AddVisit(url.toString(), page_->title());
    if (succeeded && cacheable(url)) recordInCache(url);
    if (designMode_) page_->runJavaScript(QStringLiteral("document.designMode = 'on';"),
                                          QWebEngineScript::ApplicationWorld);
  }
  // A progress of -1 tells the host that the download is over.
  fire(DISPID_PROGRESSCHANGE, {i4(-1), i4(kProgressMax)});
  fire(DISPID_DOWNLOADCOMPLETE, {});
}

void WebBrowserObject::recordInCache(const QUrl& url) {
  // The markup comes later; by then the page may show another address or be gone.
  QPointer<QWebEnginePage> page(page_);
  page_->toHtml([page, url](const QString& html) {
    if (!page || page->url() != url || html.isEmpty()) return;
    // The file and the index are written on the cache's writer thread.
    CacheStorePageLater(url.toString(), html,
                        QStringLiteral("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"),
                        QStringLiteral("htm"));
  });
}

void WebBrowserObject::onLoadProgress(int progress) {
  if (activeLoads_ == 0) return;
  fire(DISPID_PROGRESSCHANGE, {i4(progress * kProgressMax / 100), i4(kProgressMax)});
}

void WebBrowserObject::onUrlChanged(const QUrl& url) {
  setDocumentWindow();
  if (activeLoads_ == 0 || navigateCompleteRaised_) return;
  // The new document is committed: it is interactive from here on.
  navigateCompleteRaised_ = true;
  if (readyState_ < READYSTATE_INTERACTIVE) readyState_ = READYSTATE_INTERACTIVE;
  updateCommandStates();
  OleVariant vUrl(locationUrl());
  fire(DISPID_NAVIGATECOMPLETE2, {dispatch(static_cast<IWebBrowser2*>(this)), refVariant(&vUrl)});
  // The error page of a refused certificate is no secure page.
  const bool refused = page_->refusedCertificates.removeAll(url) > 0;
  const LONG icon = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 && !refused
                        ? secureLockIconSecure128Bit
                        : secureLockIconUnsecure;
  if (icon != secureLockIcon_) {
    secureLockIcon_ = icon;
    fire(DISPID_SETSECURELOCKICON, {i4(icon)});
  }
}

void WebBrowserObject::updateCommandStates() {
  const bool forward = page_->history()->canGoForward();
  const bool back = page_->history()->canGoBack();
  if (forward != canGoForward_) {
    canGoForward_ = forward;
    fire(DISPID_COMMANDSTATECHANGE, {i4(CSC_NAVIGATEFORWARD), boolean(forward)});
  }
  if (back != canGoBack_) {
    canGoBack_ = back;
    fire(DISPID_COMMANDSTATECHANGE, {i4(CSC_NAVIGATEBACK), boolean(back)});
  }
}

void WebBrowserObject::onTitleChanged(const QString& title) {
  if (title == lastTitle_) return;
  lastTitle_ = title;
  OleVariant text(title);
  fire(DISPID_TITLECHANGE, {text});
  // A title set after the page completed still belongs to its history entry.
  if (readyState_ == READYSTATE_COMPLETE && recordable(page_->url()))
    UrlHistoryStore().SetTitle(page_->url().toString(), title);
}

void WebBrowserObject::onLinkHovered(const QString& url) {
  statusText_ = url;
  OleVariant text(url);
  fire(DISPID_STATUSTEXTCHANGE, {text});
}

void WebBrowserObject::onNewWindow(QWebEngineNewWindowRequest& request) {
  const String url = request.requestedUrl().toString();
  const String context = page_->url().toString();
  DWORD flags = NWMF_FIRST;
  if (request.isUserInitiated()) flags |= NWMF_USERINITED;
  if (request.destination() == QWebEngineNewWindowRequest::InNewDialog) flags |= NWMF_SUGGESTWINDOW;

  // The host's pop-up rules come first.
  if (ComPtr<IServiceProvider> services = host<IServiceProvider>()) {
    ComPtr<INewWindowManager> manager;
    if (SUCCEEDED(services->QueryService(SID_SNewWindowManager, IID_INewWindowManager,
                                          reinterpret_cast<void**>(manager.ReleaseAndGetAddressOf()))) &&
        manager) {
      const String empty;
      const HRESULT hr = manager->EvaluateNewWindow(
          reinterpret_cast<LPCWSTR>(url.utf16()), reinterpret_cast<LPCWSTR>(empty.utf16()),
          reinterpret_cast<LPCWSTR>(context.utf16()), reinterpret_cast<LPCWSTR>(empty.utf16()),
          FALSE, flags, 0);
      if (hr == S_FALSE) return;  // blocked
    }
  }

  // The host names the browser that takes the page. NewWindow3 follows only
  // when NewWindow2 neither named one nor refused, so that one request never
  // opens two windows.
  IDispatch* target = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  fire(DISPID_NEWWINDOW2, {refDispatch(&target), refBool(&cancel)});
  if (!target && cancel == VARIANT_FALSE) {
    OleVariant vContext(context), vUrl(url);
    fire(DISPID_NEWWINDOW3,
         {refDispatch(&target), refBool(&cancel), ui4(flags), vContext, vUrl});
  }
  ComPtr<IDispatch> taken;
  taken.Attach(target);  // an out parameter: the reference is ours
  if (cancel != VARIANT_FALSE || !taken) return;
  WebBrowserObject* other = FromUnknown(taken.Get());
  if (!other || other == this) return;
  other->beginNavigation();
  other->page_->acceptAsNewWindow(request);
}

void WebBrowserObject::onWindowCloseRequested() {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  fire(DISPID_WINDOWCLOSING, {boolean(false), refBool(&cancel)});
}

void WebBrowserObject::onGeometryChangeRequested(const QRect& geometry) {
  if (ComPtr<IServiceProvider> services = host<IServiceProvider>()) {
    ComPtr<IHTMLOMWindowServices> windowServices;
    services->QueryService(SID_SHTMLOMWindowServices, IID_IHTMLOMWindowServices,
                            reinterpret_cast<void**>(windowServices.ReleaseAndGetAddressOf()));
    if (windowServices) {
      windowServices->moveTo(geometry.x(), geometry.y());
      windowServices->resizeTo(geometry.width(), geometry.height());
    }
  }
  fire(DISPID_WINDOWSETLEFT, {i4(geometry.x())});
  fire(DISPID_WINDOWSETTOP, {i4(geometry.y())});
  fire(DISPID_WINDOWSETWIDTH, {i4(geometry.width())});
  fire(DISPID_WINDOWSETHEIGHT, {i4(geometry.height())});
}

bool WebBrowserObject::offerToDownloadManager(QWebEngineDownloadRequest* download) {
  ComPtr<IServiceProvider> services = host<IServiceProvider>();
  if (!services) return false;
  ComPtr<IDownloadManager> manager;
  if (FAILED(services->QueryService(SID_SDownloadManager, IID_IDownloadManager,
                                    reinterpret_cast<void**>(manager.ReleaseAndGetAddressOf()))) ||
      !manager)
    return false;
  // The manager gets the address as a moniker with a fresh bind context.
  const String address = download->url().toString();
  ComPtr<IMoniker> moniker;
  ComPtr<IBindCtx> context;
  if (FAILED(CreateURLMonikerEx(nullptr, reinterpret_cast<LPCWSTR>(address.utf16()), &moniker, URL_MK_UNIFORM)) ||
      FAILED(CreateBindCtx(0, &context)))
    return false;
  BINDINFO info{};
  info.cbSize = sizeof info;
  info.dwBindVerb = BINDVERB_GET;
  const LONG bindFlags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;
  return manager->Download(moniker.Get(), context.Get(), BINDVERB_GET, bindFlags, &info, nullptr, nullptr,
                           0) == S_OK;
}

void WebBrowserObject::onDownload(QWebEngineDownloadRequest* download) {
  if (download->isSavePageDownload()) return onSavePageDownload(download);
  // The host's download manager comes first; what it takes is not the
  // engine's to save.
  if (offerToDownloadManager(download)) {
    download->cancel();
    return;
  }
  VARIANT_BOOL cancel = VARIANT_FALSE;
  fire(DISPID_FILEDOWNLOAD, {boolean(false), refBool(&cancel)});
  // Only the user says where a file goes; a silent browser has nobody to ask.
  if (cancel != VARIANT_FALSE || isSilent() || !OfferDownload(dialogOwner(), download)) download->cancel();
}

void WebBrowserObject::onZoomChanged() {
  const ULONG percent = ULONG(PageOpticalZoom(page_));
  if (percent == zoomPercent_) return;
  zoomPercent_ = percent;
  if (ComPtr<IZoomEvents> events = host<IZoomEvents>()) events->OnZoomPercentChanged(percent);
}

bool WebBrowserObject::onContextMenu(const QPoint& screenPos) {
  ComPtr<IDocHostUIHandler> handler = host<IDocHostUIHandler>();
  if (!handler || !view_) return false;
  // The kind of menu follows what is under the mouse.
  DWORD kind = CONTEXT_MENU_DEFAULT;
  if (const QWebEngineContextMenuRequest* request = view_->lastContextMenuRequest()) {
    switch (request->mediaType()) {
      case QWebEngineContextMenuRequest::MediaTypeImage:
      case QWebEngineContextMenuRequest::MediaTypeCanvas:
        kind = CONTEXT_MENU_IMAGE;
        break;
      case QWebEngineContextMenuRequest::MediaTypeVideo:
      case QWebEngineContextMenuRequest::MediaTypeAudio:
        kind = CONTEXT_MENU_MEDIA;
        break;
      default:
        if (request->isContentEditable())
          kind = CONTEXT_MENU_CONTROL;
        else if (!request->selectedText().isEmpty())
          kind = CONTEXT_MENU_TEXTSELECT;
        else if (request->linkUrl().isValid())
          kind = CONTEXT_MENU_ANCHOR;
        break;
    }
  }
  POINT point{screenPos.x(), screenPos.y()};
  ComPtr<IDispatch> doc;
  get_Document(&doc);
  // The command target also answers IOleWindow, the menu's owner window.
  return handler->ShowContextMenu(kind, &point, static_cast<IOleCommandTarget*>(this), doc.Get()) == S_OK;
}

void WebBrowserObject::onAuthentication(QAuthenticator* authenticator, const QString& server) {
  // A null authenticator cancels the request; an untouched one would be
  // asked again.
  const QAuthenticator given = *authenticator;
  *authenticator = QAuthenticator();
  String user, password;
  bool answered = false;
  bool refused = false;  // the host does not allow a login at all
  if (ComPtr<IServiceProvider> services = host<IServiceProvider>()) {
    ComPtr<IAuthenticate> authenticate;
    services->QueryService(IID_IAuthenticate, IID_IAuthenticate,
                           reinterpret_cast<void**>(authenticate.ReleaseAndGetAddressOf()));
    if (authenticate) {
      HWND window = nullptr;
      LPWSTR givenUser = nullptr;
      LPWSTR givenPassword = nullptr;
      const HRESULT hr = authenticate->Authenticate(&window, &givenUser, &givenPassword);
      answered = hr == S_OK && givenUser;
      refused = hr == E_ACCESSDENIED;
      if (answered) {
        user = OleStrToString(givenUser);
        password = OleStrToString(givenPassword);
      }
      CoTaskMemFree(givenUser);
      CoTaskMemFree(givenPassword);
    }
  }
  // Without credentials from the host the user is asked, unless the browser
  // must stay silent.
  if (!answered && (refused || isSilent() || !ShowBrowserLogin(dialogOwner(), server, user, password)))
    return;
  *authenticator = given;
  authenticator->setUser(user);
  authenticator->setPassword(password);
}

void WebBrowserObject::onScriptError(const QString& message, int line, const QString& source) {
  ComPtr<IOleCommandTarget> commands = host<IOleCommandTarget>();
  if (!commands) return;
  // The host reads the error from the document's window's event.
  TPageScriptError error;
  error.Message = message;
  error.Line = line;
  error.Url = source;
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page_, error);
  OleVariant in(static_cast<IUnknown*>(doc.Get()));
  OleVariant out;
  const HRESULT hr = commands->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR,
                                    OLECMDEXECOPT_DODEFAULT, &in, &out);
  // Anything but S_OK leaves the question to the browser. The engine runs
  // the page's scripts on whatever the answer: it is only kept.
  if (hr != S_OK && !isSilent())
    continueScripts_ = ShowBrowserScriptError(dialogOwner(), message, line, source);
}

LRESULT WebBrowserObject::onScriptMessage(const QString& text, DWORD type) {
  if (isSilent()) return IDOK;
  if (ComPtr<IDocHostShowUI> showUI = host<IDocHostShowUI>()) {
    String message = text;
    String caption = QStringLiteral("Message from webpage");
    LRESULT answer = 0;
    const HRESULT hr = showUI->ShowMessage(docWindow_ ? docWindow_ : parentWindow_,
                                            reinterpret_cast<LPOLESTR>(message.data()),
                                            reinterpret_cast<LPOLESTR>(caption.data()), type, nullptr,
                                            0, &answer);
    if (hr == S_OK) return answer;
  }
  return ShowBrowserMessage(dialogOwner(), text, type);
}

bool WebBrowserObject::onScriptPrompt(const QString& text, const QString& defaultValue, QString* result) {
  // Silent: answered as if confirmed without a change.
  String value = defaultValue;
  if (!isSilent() && !ShowBrowserPrompt(dialogOwner(), text, value)) return false;
  if (result) *result = value;
  return true;
}

bool WebBrowserObject::isSilent() const { return silent_ || (dlControl_ & DLCTL_SILENT); }

HWND WebBrowserObject::dialogOwner() const {
  return IsWindow(parentWindow_) ? GetAncestor(parentWindow_, GA_ROOT) : nullptr;
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

LRESULT WebBrowserObject::DocumentWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WebBrowserObject*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  if (self && self->site_ && (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == WM_KEYUP ||
                                   msg == WM_SYSKEYUP || msg == WM_CHAR)) {
    // The host sees the keys first; S_OK means it handled the key.
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    GetCursorPos(&m.pt);
    ComPtr<IDocHostUIHandler> handler = self->host<IDocHostUIHandler>();
    if (handler && handler->TranslateAccelerator(&m, nullptr, 0) == S_OK) return 0;
  }
  // Then the browser's own keys (BrowserCommands.cpp).
  if (self && (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN)) {
    ComPtr<IUnknown> keep(self->GetUnknown());
    if (self->onAccelerator(msg, WORD(wParam))) return 0;
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
    commands->Exec(&CGID_Explorer, CMDID_EXPLORER_INNERWINDOWS, OLECMDEXECOPT_DODEFAULT, nullptr,
                   nullptr);
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

HRESULT WebBrowserObject::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,
                                        DISPID* rgDispId) {
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

HRESULT WebBrowserObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT*) {
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
      case DISPID_WB_GOBACK:
        return GoBack();
      case DISPID_WB_GOFORWARD:
        return GoForward();
      case DISPID_WB_GOHOME:
        return GoHome();
      case DISPID_WB_GOSEARCH:
        return GoSearch();
      case DISPID_WB_NAVIGATE:
      case DISPID_WB_NAVIGATE2:
        if (!arg(0)) return DISP_E_PARAMNOTFOUND;
        return Navigate2(arg(0), arg(1), arg(2), arg(3), arg(4));
      case DISPID_WB_REFRESH:
        return Refresh();
      case DISPID_WB_REFRESH2:
        return Refresh2(arg(0));
      case DISPID_WB_STOP:
        return Stop();
      case DISPID_WB_APPLICATION:
        return dispatchGetter(&WebBrowserObject::get_Application);
      case DISPID_WB_PARENT:
        return dispatchGetter(&WebBrowserObject::get_Parent);
      case DISPID_WB_CONTAINER:
        return dispatchGetter(&WebBrowserObject::get_Container);
      case DISPID_WB_DOCUMENT:
        return dispatchGetter(&WebBrowserObject::get_Document);
      case DISPID_WB_TOPLEVELCONTAINER:
        return boolProperty(&WebBrowserObject::get_TopLevelContainer, nullptr);
      case DISPID_WB_TYPE:
        return stringGetter(&WebBrowserObject::get_Type);
      case DISPID_WB_LEFT:
        return longProperty(&WebBrowserObject::get_Left, &WebBrowserObject::put_Left);
      case DISPID_WB_TOP:
        return longProperty(&WebBrowserObject::get_Top, &WebBrowserObject::put_Top);
      case DISPID_WB_WIDTH:
        return longProperty(&WebBrowserObject::get_Width, &WebBrowserObject::put_Width);
      case DISPID_WB_HEIGHT:
        return longProperty(&WebBrowserObject::get_Height, &WebBrowserObject::put_Height);
      case DISPID_WB_LOCATIONNAME:
        return stringGetter(&WebBrowserObject::get_LocationName);
      case DISPID_WB_LOCATIONURL:
        return stringGetter(&WebBrowserObject::get_LocationURL);
      case DISPID_WB_BUSY:
        return boolProperty(&WebBrowserObject::get_Busy, nullptr);
      case DISPID_WB_QUIT:
        return Quit();
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
      case DISPID_WB_NAME:
        return stringGetter(&WebBrowserObject::get_Name);
      case DISPID_WB_HWND: {
        if (!get) return DISP_E_MEMBERNOTFOUND;
        SHANDLE_PTR h = 0;
        const HRESULT hr = get_HWND(&h);
        if (SUCCEEDED(hr)) answer(OleVariant(Int64(h)));
        return hr;
      }
      case DISPID_WB_FULLNAME:
        return stringGetter(&WebBrowserObject::get_FullName);
      case DISPID_WB_PATH:
        return stringGetter(&WebBrowserObject::get_Path);
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
      default:
        return DISP_E_MEMBERNOTFOUND;
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

HRESULT WebBrowserObject::Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName,
                                   VARIANT* PostData, VARIANT* Headers) {
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
  return commands &&
         commands->Exec(&CGID_DocHostCommandHandler, command, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr) == S_OK;
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
  if (site_ && SUCCEEDED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ppDisp))))
    return S_OK;
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

HRESULT WebBrowserObject::get_LocationURL(BSTR* LocationURL) {
  return setBstr(LocationURL, locationUrl());
}

HRESULT WebBrowserObject::get_Busy(VARIANT_BOOL* pBool) { return setBool(pBool, busy_); }

// ---------------------------------------------------------------- IWebBrowserApp

// A browser control has no frame window to close.
HRESULT WebBrowserObject::Quit() { return S_OK; }

HRESULT WebBrowserObject::ClientToWindow(int* pcx, int* pcy) {
  return pcx && pcy ? S_OK : E_POINTER;
}

HRESULT WebBrowserObject::PutProperty(BSTR Property, VARIANT vtValue) {
  const String name = BSTRToString(Property);
  OleVariant value(vtValue);
  auto it = std::find_if(properties_.begin(), properties_.end(),
                         [&](const auto& p) { return p.first == name; });
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

HRESULT WebBrowserObject::get_Name(BSTR* Name) { return setBstr(Name, QStringLiteral("Web Browser Control")); }

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

HRESULT WebBrowserObject::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT* pvaIn,
                                 VARIANT* pvaOut) {
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

// ---------------------------------------------------------------- IOleObject

HRESULT WebBrowserObject::SetClientSite(IOleClientSite* pClientSite) {
  site_ = pClientSite;
  readAmbient(DISPID_UNKNOWN);
  return S_OK;
}

HRESULT WebBrowserObject::GetClientSite(IOleClientSite** ppClientSite) {
  if (!ppClientSite) return E_POINTER;
  return site_.CopyTo(ppClientSite);
}

HRESULT WebBrowserObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT WebBrowserObject::Close(DWORD) {
  destroyWindows();
  return S_OK;
}

HRESULT WebBrowserObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT WebBrowserObject::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (ppmk) *ppmk = nullptr;
  return E_NOTIMPL;
}

HRESULT WebBrowserObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT WebBrowserObject::GetClipboardData(DWORD, IDataObject** ppDataObject) {
  if (ppDataObject) *ppDataObject = nullptr;
  return E_NOTIMPL;
}

HRESULT WebBrowserObject::DoVerb(LONG iVerb, MSG*, IOleClientSite*, LONG, HWND hwndParent,
                                 const RECT* lprcPosRect) {
  switch (iVerb) {
    case OLEIVERB_HIDE:
      if (view_ && docViewWindow_) view_->hide();
      return S_OK;
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      break;
    default:
      return E_NOTIMPL;
  }
  if (!docViewWindow_ || !IsWindow(docViewWindow_)) {
    // In-place activation: the windows go into the host's window.
    docViewWindow_ = nullptr;
    if (!hwndParent || !IsWindow(hwndParent)) return E_INVALIDARG;
    QWidget* host = WidgetOf(hwndParent);
    if (!host) return E_INVALIDARG;
    QWebEngineView* view = ensureView();
    view->setParent(host);
    view->setGeometry(lprcPosRect ? QRect(lprcPosRect->left, lprcPosRect->top,
                                          lprcPosRect->right - lprcPosRect->left,
                                          lprcPosRect->bottom - lprcPosRect->top)
                                  : host->rect());
    view->setVisible(visible_);
    docViewWindow_ = CreateWindowHandle(QStringLiteral("Shell DocObject View"), String(),
                                        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                        0, hwndParent, &WebBrowserObject::DocumentViewWindowProc, view);
    if (!docViewWindow_) return E_FAIL;
    SetWindowLongPtrW(docViewWindow_, GWL_USERDATA, LONG_PTR(this));
    parentWindow_ = hwndParent;
    setDocumentWindow();
  } else if (lprcPosRect) {
    SetObjectRects(lprcPosRect, lprcPosRect);
  }
  if (iVerb == OLEIVERB_UIACTIVATE) {
    if (docWidget_)
      docWidget_->setFocus(Qt::OtherFocusReason);
    else if (view_)
      view_->setFocus(Qt::OtherFocusReason);
  }
  return S_OK;
}

HRESULT WebBrowserObject::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
  if (ppEnumOleVerb) *ppEnumOleVerb = nullptr;
  return E_NOTIMPL;
}

HRESULT WebBrowserObject::Update() { return S_OK; }
HRESULT WebBrowserObject::IsUpToDate() { return S_OK; }

HRESULT WebBrowserObject::GetUserClassID(CLSID* pClsid) {
  if (!pClsid) return E_POINTER;
  *pClsid = CLSID_WebBrowser;
  return S_OK;
}

HRESULT WebBrowserObject::GetUserType(DWORD, LPOLESTR* pszUserType) {
  if (!pszUserType) return E_POINTER;
  *pszUserType = CoTaskMemDupString(QStringLiteral("Web Browser"));
  return S_OK;
}

HRESULT WebBrowserObject::SetExtent(DWORD, SIZEL* psizel) {
  if (!psizel) return E_POINTER;
  extent_ = *psizel;
  return S_OK;
}

HRESULT WebBrowserObject::GetExtent(DWORD, SIZEL* psizel) {
  if (!psizel) return E_POINTER;
  *psizel = extent_;
  return S_OK;
}

HRESULT WebBrowserObject::Advise(IAdviseSink*, DWORD* pdwConnection) {
  if (pdwConnection) *pdwConnection = 0;
  return E_NOTIMPL;
}
HRESULT WebBrowserObject::Unadvise(DWORD) { return E_NOTIMPL; }
HRESULT WebBrowserObject::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
  if (ppenumAdvise) *ppenumAdvise = nullptr;
  return E_NOTIMPL;
}

HRESULT WebBrowserObject::GetMiscStatus(DWORD, DWORD* pdwStatus) {
  if (!pdwStatus) return E_POINTER;
  *pdwStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
               OLEMISC_RECOMPOSEONRESIZE;
  return S_OK;
}

HRESULT WebBrowserObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---------------------------------------------------------------- IOleControl

HRESULT WebBrowserObject::GetControlInfo(CONTROLINFO* pCI) {
  if (!pCI) return E_POINTER;
  return E_NOTIMPL;
}

HRESULT WebBrowserObject::OnMnemonic(MSG*) { return E_NOTIMPL; }

HRESULT WebBrowserObject::OnAmbientPropertyChange(DISPID dispID) {
  readAmbient(dispID);
  return S_OK;
}

HRESULT WebBrowserObject::FreezeEvents(BOOL bFreeze) {
  if (bFreeze)
    ++freezeEvents_;
  else if (freezeEvents_ > 0)
    --freezeEvents_;
  return S_OK;
}

// ---------------------------------------------------------------- IOleWindow, IOleInPlaceObject

HRESULT WebBrowserObject::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = docViewWindow_;
  return docViewWindow_ ? S_OK : E_FAIL;
}

HRESULT WebBrowserObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT WebBrowserObject::InPlaceDeactivate() {
  destroyWindows();
  return S_OK;
}

HRESULT WebBrowserObject::UIDeactivate() { return S_OK; }

HRESULT WebBrowserObject::SetObjectRects(const RECT* lprcPosRect, const RECT*) {
  if (!lprcPosRect) return E_POINTER;
  if (!view_ || !docViewWindow_) return OLE_E_NOT_INPLACEACTIVE;
  view_->setGeometry(lprcPosRect->left, lprcPosRect->top, lprcPosRect->right - lprcPosRect->left,
                     lprcPosRect->bottom - lprcPosRect->top);
  return S_OK;
}

HRESULT WebBrowserObject::ReactivateAndUndo() { return E_NOTIMPL; }

// ---------------------------------------------------------------- IOleCommandTarget

HRESULT WebBrowserObject::QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                                      OLECMDTEXT* pCmdText) {
  if (!prgCmds) return E_POINTER;
  ComPtr<IOleCommandTarget> doc = document_ ? document_.As<IOleCommandTarget>() : nullptr;
  if (pguidCmdGroup) return doc ? doc->QueryStatus(pguidCmdGroup, cCmds, prgCmds, pCmdText)
                                : OLECMDERR_E_UNKNOWNGROUP;
  for (ULONG i = 0; i < cCmds; ++i) {
    OLECMD& cmd = prgCmds[i];
    switch (cmd.cmdID) {
      case OLECMDID_REFRESH:
        cmd.cmdf = OLECMDF_SUPPORTED | (page_->url().isEmpty() ? 0u : DWORD(OLECMDF_ENABLED));
        break;
      case OLECMDID_STOP:
        cmd.cmdf = OLECMDF_SUPPORTED | (busy_ ? DWORD(OLECMDF_ENABLED) : 0u);
        break;
      case OLECMDID_PRINT:
      case OLECMDID_PRINT2:
        cmd.cmdf = OLECMDF_SUPPORTED | (document_ ? DWORD(OLECMDF_ENABLED) : 0u);
        break;
      default:
        cmd.cmdf = 0;
        if (doc) doc->QueryStatus(nullptr, 1, &cmd, nullptr);
        break;
    }
  }
  return S_OK;
}

HRESULT WebBrowserObject::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt,
                               VARIANT* pvaIn, VARIANT* pvaOut) {
  if (!pguidCmdGroup) {
    switch (nCmdID) {
      case OLECMDID_REFRESH:
        return Refresh2(pvaIn);
      case OLECMDID_STOP:
        return Stop();
      case OLECMDID_PRINT:
      case OLECMDID_PRINT2:
        return print(pvaIn);
      case OLECMDID_SETPROGRESSTEXT:  // 27: asked for the encoding menu
        return encodingMenu(pvaOut);
      case OLECMDID_SAVEAS:
        // With a file name the document saves itself there.
        if (VarToStr(argumentValue(pvaIn)).isEmpty()) return savePageAs(nCmdexecopt);
        break;
      default:
        break;
    }
  }
  // The rest is the document's.
  ComPtr<IOleCommandTarget> doc = document_ ? document_.As<IOleCommandTarget>() : nullptr;
  if (!doc) return pguidCmdGroup ? OLECMDERR_E_UNKNOWNGROUP : OLECMDERR_E_NOTSUPPORTED;
  return doc->Exec(pguidCmdGroup, nCmdID, nCmdexecopt, pvaIn, pvaOut);
}

HRESULT WebBrowserObject::print(VARIANT* in) {
  if (!document_) return OLECMDERR_E_DISABLED;
  String file = VarToStr(argumentValue(in));
  const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
  if (file.isEmpty() && !printer.isNull() && view_) {
    auto* device = new QPrinter(printer);
    QWebEngineView* view = view_;
    QObject::connect(view, &QWebEngineView::printFinished, view, [device] { delete device; },
                     Qt::SingleShotConnection);
    view->print(device);
    return S_OK;
  }
  // Without a printer the page goes to a PDF file.
  if (file.isEmpty()) {
    const String dir = ProfileDir() + QStringLiteral("/Printouts");
    ForceDirectories(dir);
    String name = Trim(page_->title());
    file = dir + QLatin1Char('/') + SafeFileName(name.isEmpty() ? QStringLiteral("page") : name) +
           QStringLiteral(".pdf");
  }
  page_->printToPdf(file);
  return S_OK;
}

// ---------------------------------------------------------------- IViewObject

HRESULT WebBrowserObject::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw,
                               const RECTL* lprcBounds, const RECTL*, BOOL (*)(ULONG_PTR), ULONG_PTR) {
  if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
  QWebEngineView* view = ensureView();
  const QPixmap picture = view->grab();
  hdcDraw->drawPixmap(QRect(lprcBounds->left, lprcBounds->top, lprcBounds->right - lprcBounds->left,
                            lprcBounds->bottom - lprcBounds->top),
                      picture);
  return S_OK;
}

HRESULT WebBrowserObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                      LOGPALETTE** ppColorSet) {
  if (ppColorSet) *ppColorSet = nullptr;
  return S_FALSE;
}

HRESULT WebBrowserObject::Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) {
  if (pdwFreeze) *pdwFreeze = 0;
  return E_NOTIMPL;
}
HRESULT WebBrowserObject::Unfreeze(DWORD) { return E_NOTIMPL; }
HRESULT WebBrowserObject::SetAdvise(DWORD, DWORD, IAdviseSink*) { return E_NOTIMPL; }
HRESULT WebBrowserObject::GetAdvise(DWORD*, DWORD*, IAdviseSink** ppAdvSink) {
  if (ppAdvSink) *ppAdvSink = nullptr;
  return E_NOTIMPL;
}

// ---------------------------------------------------------------- IConnectionPointContainer

HRESULT WebBrowserObject::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  return points_.EnumConnectionPoints(ppEnum);
}

HRESULT WebBrowserObject::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  return points_.FindConnectionPoint(riid, ppCP);
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
