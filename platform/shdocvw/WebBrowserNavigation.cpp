#include "platform/shdocvw/WebBrowser.h"

#include "platform/mshtml/DesignerEvents.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/BrowserDialogs.h"
#include "platform/shdocvw/DownloadDialog.h"
#include "platform/shdocvw/Log_p.h"
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

constexpr LONG kProgressMax = 10000;

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

VARIANT refDispatch(IDispatch** target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_DISPATCH;
  v.ppdispVal = target;
  return v;
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

// The status code NavigateError reports for a failed load: the HTTP status,
// or the platform's Internet error for the kind of failure.
LONG navigateErrorCode(const QWebEngineLoadingInfo& info) {
  switch (info.errorDomain()) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain: return info.errorCode();
    case QWebEngineLoadingInfo::DnsErrorDomain: return LONG(0x800C0005u);         // INET_E_RESOURCE_NOT_FOUND
    case QWebEngineLoadingInfo::ConnectionErrorDomain: return LONG(0x800C0004u);  // INET_E_CANNOT_CONNECT
    case QWebEngineLoadingInfo::CertificateErrorDomain:
      return LONG(0x800C0019u);  // INET_E_INVALID_CERTIFICATE
    case QWebEngineLoadingInfo::InternalErrorDomain:
      // net::ERR_FILE_NOT_FOUND
      return info.errorCode() == -6 ? LONG(0x800C0005u) : LONG(0x800C0008u);
    default: return LONG(0x800C0008u);  // INET_E_DOWNLOAD_FAILURE
  }
}

}  // namespace

// ---------------------------------------------------------------- navigation

void WebBrowserObject::beginNavigation() {
  if (!navigationPending_ && activeLoads_ == 0) stateBeforeNavigation_ = readyState_;
  navigationPending_ = true;
  readyState_ = READYSTATE_LOADING;
  busy_ = true;
}

HRESULT WebBrowserObject::navigateTo(const QUrl& url, const QString& headers) {
  QWebEngineHttpRequest request(url);
  for (const QString& line :
       headers.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
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
    OwnedTaskMem<WCHAR> out;
    const HRESULT hr = uiHandler->TranslateUrl(0, reinterpret_cast<LPWSTR>(in.data()), out.out());
    const String translated = OleStrToString(out.get());
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
    // The shown document is about to go, and its edit designers with it.
    ReleasePageDesigners(page_);
    if (++activeLoads_ > 1) return;
    navigateCompleteRaised_ = false;
    busy_ = true;
    readyState_ = READYSTATE_LOADING;
    // The shown document is about to go.
    if (document_) {
      if (ComPtr<IOleCommandTarget> commands = host<IOleCommandTarget>())
        commands->Exec(&CGID_Explorer, CMDID_EXPLORER_ONUNLOAD, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
    }
    if (!document_) document_ = CreateLiveDocument(page_, documentHost());
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
  const bool httpError =
      info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400;
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
    case QWebEngineLoadingInfo::LoadFailedStatus: finishLoad(false, false, navigateErrorCode(info)); break;
    default: finishLoad(false, true, 0); break;
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
    qCDebug(lcShDocVw) << "the load of" << url << "fails with status" << statusCode;
    OleVariant vFrame{String()};
    OleVariant vStatus{int(statusCode)};
    VARIANT_BOOL cancel = VARIANT_FALSE;
    fire(DISPID_NAVIGATEERROR,
         {dispatch(self), refVariant(&vUrl), refVariant(&vFrame), refVariant(&vStatus), refBool(&cancel)});
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
    if (designMode_)
      page_->runJavaScript(QStringLiteral("document.designMode = 'on';"), QWebEngineScript::ApplicationWorld);
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
          reinterpret_cast<LPCWSTR>(context.utf16()), reinterpret_cast<LPCWSTR>(empty.utf16()), FALSE, flags,
          0);
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
    fire(DISPID_NEWWINDOW3, {refDispatch(&target), refBool(&cancel), ui4(flags), vContext, vUrl});
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
  // The size a page asks for is that of its view: the host turns it into
  // the size of its window.
  LONG cx = geometry.width(), cy = geometry.height();
  if (cx > 0 && cy > 0)
    fire(DISPID_CLIENTTOHOSTWINDOW, {shdocvw_detail::refI4(&cx), shdocvw_detail::refI4(&cy)});
  if (ComPtr<IServiceProvider> services = host<IServiceProvider>()) {
    ComPtr<IHTMLOMWindowServices> windowServices;
    services->QueryService(SID_SHTMLOMWindowServices, IID_IHTMLOMWindowServices,
                           reinterpret_cast<void**>(windowServices.ReleaseAndGetAddressOf()));
    if (windowServices) {
      windowServices->moveTo(geometry.x(), geometry.y());
      windowServices->resizeTo(cx, cy);
    }
  }
  fire(DISPID_WINDOWSETLEFT, {i4(geometry.x())});
  fire(DISPID_WINDOWSETTOP, {i4(geometry.y())});
  fire(DISPID_WINDOWSETWIDTH, {i4(cx)});
  fire(DISPID_WINDOWSETHEIGHT, {i4(cy)});
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
  if (FAILED(CreateURLMonikerEx(nullptr, reinterpret_cast<LPCWSTR>(address.utf16()), &moniker,
                                URL_MK_UNIFORM)) ||
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
      case QWebEngineContextMenuRequest::MediaTypeCanvas: kind = CONTEXT_MENU_IMAGE; break;
      case QWebEngineContextMenuRequest::MediaTypeVideo:
      case QWebEngineContextMenuRequest::MediaTypeAudio: kind = CONTEXT_MENU_MEDIA; break;
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
      OwnedTaskMem<WCHAR> givenUser, givenPassword;
      const HRESULT hr = authenticate->Authenticate(&window, givenUser.out(), givenPassword.out());
      answered = hr == S_OK && givenUser;
      refused = hr == E_ACCESSDENIED;
      if (answered) {
        user = OleStrToString(givenUser.get());
        password = OleStrToString(givenPassword.get());
      }
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
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page_, error, documentHost());
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
    const HRESULT hr = showUI->ShowMessage(
        docWindow_ ? docWindow_ : parentWindow_, reinterpret_cast<LPOLESTR>(message.data()),
        reinterpret_cast<LPOLESTR>(caption.data()), type, nullptr, 0, &answer);
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
