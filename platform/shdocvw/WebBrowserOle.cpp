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
    case OLEIVERB_UIACTIVATE: break;
    default: return E_NOTIMPL;
  }
  if (!docViewWindow_ || !IsWindow(docViewWindow_)) {
    // In-place activation: the windows go into the host's window.
    docViewWindow_ = nullptr;
    if (!hwndParent || !IsWindow(hwndParent)) return E_INVALIDARG;
    QWidget* host = WidgetOf(hwndParent);
    if (!host) return E_INVALIDARG;
    QWebEngineView* view = ensureView();
    view->setParent(host);
    view->setGeometry(lprcPosRect
                          ? QRect(lprcPosRect->left, lprcPosRect->top, lprcPosRect->right - lprcPosRect->left,
                                  lprcPosRect->bottom - lprcPosRect->top)
                          : host->rect());
    view->setVisible(visible_);
    docViewWindow_ = CreateWindowHandle(QStringLiteral("Shell DocObject View"), String(),
                                        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0,
                                        hwndParent, &WebBrowserObject::DocumentViewWindowProc, view);
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
  if (pguidCmdGroup)
    return doc ? doc->QueryStatus(pguidCmdGroup, cCmds, prgCmds, pCmdText) : OLECMDERR_E_UNKNOWNGROUP;
  for (ULONG i = 0; i < cCmds; ++i) {
    OLECMD& cmd = prgCmds[i];
    switch (cmd.cmdID) {
      case OLECMDID_REFRESH:
        cmd.cmdf = OLECMDF_SUPPORTED | (page_->url().isEmpty() ? 0u : DWORD(OLECMDF_ENABLED));
        break;
      case OLECMDID_STOP: cmd.cmdf = OLECMDF_SUPPORTED | (busy_ ? DWORD(OLECMDF_ENABLED) : 0u); break;
      case OLECMDID_PRINT:
      case OLECMDID_PRINT2:
      case OLECMDID_PRINTPREVIEW:
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

HRESULT WebBrowserObject::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                               VARIANT* pvaOut) {
  if (!pguidCmdGroup) {
    switch (nCmdID) {
      case OLECMDID_REFRESH: return Refresh2(pvaIn);
      case OLECMDID_STOP: return Stop();
      case OLECMDID_PRINT:
      case OLECMDID_PRINT2: return print(pvaIn);
      case OLECMDID_PRINTPREVIEW: return printPreview();
      case OLECMDID_SETPROGRESSTEXT:  // 27: asked for the encoding menu
        return encodingMenu(pvaOut);
      case OLECMDID_SAVEAS:
        // With a file name the document saves itself there.
        if (VarToStr(argumentValue(pvaIn)).isEmpty()) return savePageAs(nCmdexecopt);
        break;
      default: break;
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
    QObject::connect(
        view, &QWebEngineView::printFinished, view, [device] { delete device; }, Qt::SingleShotConnection);
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

HRESULT WebBrowserObject::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, const RECTL* lprcBounds,
                               const RECTL*, BOOL (*)(ULONG_PTR), ULONG_PTR) {
  if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
  QWebEngineView* view = ensureView();
  const QPixmap picture = view->grab();
  hdcDraw->drawPixmap(QRect(lprcBounds->left, lprcBounds->top, lprcBounds->right - lprcBounds->left,
                            lprcBounds->bottom - lprcBounds->top),
                      picture);
  return S_OK;
}

HRESULT WebBrowserObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) {
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
