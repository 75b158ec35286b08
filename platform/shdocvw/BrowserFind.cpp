// The browser's find dialog, print preview and print dialog, and what the
// shown document asks of its browser (drawing the view, the browser's own
// commands).
#include "platform/shdocvw/WebBrowser.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "platform/shdocvw/BrowserDialogs.h"

namespace {

// Command 1 of the browser's own group opens the find dialog.
constexpr DWORD kFindCommand = 1;
// How long one page of a print may take before the print gives up.
constexpr int kPrintTimeoutMs = 30000;

// Prints the view's page on `printer` and waits until the engine is done.
bool PrintViewAndWait(QWebEngineView* view, QPrinter* printer) {
  QPointer<QWebEngineView> guard(view);
  bool done = false, ok = false;
  QEventLoop loop;
  const QMetaObject::Connection finished =
      QObject::connect(view, &QWebEngineView::printFinished, &loop, [&](bool success) {
        done = true;
        ok = success;
        loop.quit();
      });
  QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
  QTimer::singleShot(kPrintTimeoutMs, &loop, &QEventLoop::quit);
  view->print(printer);
  if (!done) loop.exec();
  if (guard) QObject::disconnect(finished);
  return ok;
}

QString JsString(const QString& s) {
  const QByteArray json = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));  // without the "[" and "]"
}

QString JsBool(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }

}  // namespace

TLiveDocumentHost WebBrowserObject::documentHost() {
  const std::weak_ptr<bool> alive = alive_;
  TLiveDocumentHost host;
  host.DrawView = [this, alive](HDC dc, const RECTL& bounds) -> HRESULT {
    if (alive.expired()) return E_UNEXPECTED;
    return Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
  };
  host.BrowserCommand = [this, alive](DWORD command, VARIANT*, VARIANT*) -> HRESULT {
    if (alive.expired()) return E_UNEXPECTED;
    return command == kFindCommand ? showFindDialog() : OLECMDERR_E_NOTSUPPORTED;
  };
  // Asked for by the user's own command, so shown also when the browser is silent.
  host.AskEditAddress = [this, alive](const String& command, String& address) {
    return !alive.expired() && ShowBrowserEditAddress(dialogOwner(), command, address);
  };
  return host;
}

HRESULT WebBrowserObject::showFindDialog() {
  if (!page_) return E_UNEXPECTED;
  if (!findDialog_) {
    findDialog_ = std::make_unique<TFindDialog>(nullptr);
    findDialog_->SetOptions({frDown, frHideWholeWord});
    const std::weak_ptr<bool> alive = alive_;
    findDialog_->OnFind = [this, alive](TObject*) {
      if (alive.expired() || !page_) return;
      // The page's own find selects the match (and scrolls to it), so what
      // was found can be copied like any selection.
      const TFindOptions o = findDialog_->Options();
      const QString script = QStringLiteral("window.find(%1, %2, %3, true, false, false, false)")
                                 .arg(JsString(findDialog_->FindText()), JsBool(o.Contains(frMatchCase)),
                                      JsBool(!o.Contains(frDown)));
      Page()->runJavaScript(script, QWebEngineScript::ApplicationWorld);
    };
  }
  return findDialog_->Execute() ? S_OK : E_FAIL;
}

void WebBrowserObject::enableModeless(bool enable) {
  if (ComPtr<IDocHostUIHandler> handler = host<IDocHostUIHandler>()) handler->EnableModeless(enable);
}

HRESULT WebBrowserObject::printPreview() {
  if (!document_) return OLECMDERR_E_DISABLED;
  QWebEngineView* view = ensureView();
  QPrinter& printer = DialogPrinter();
  const HWND top = BrowserDialogTop(dialogOwner());
  QPointer<QPrintPreviewDialog> preview = new QPrintPreviewDialog(&printer, top ? WidgetOf(top) : nullptr);
  preview->setWindowTitle(QStringLiteral("Print Preview"));
  QObject::connect(preview.data(), &QPrintPreviewDialog::paintRequested, view,
                   [view](QPrinter* target) { PrintViewAndWait(view, target); });
  enableModeless(false);
  const HWND hwnd = CreateBrowserDialogWindow(preview.data(), top, QStringLiteral("Print Preview"));
  preview->exec();
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  delete preview.data();
  enableModeless(true);
  return S_OK;
}

HRESULT WebBrowserObject::printWithDialog() {
  if (!document_) return OLECMDERR_E_DISABLED;
  QWebEngineView* view = ensureView();
  TPrintDialog dialog(nullptr);
  enableModeless(false);
  const bool confirmed = dialog.Execute();
  enableModeless(true);
  if (!confirmed) return OLECMDERR_E_CANCELED;
  return PrintViewAndWait(view, &DialogPrinter()) ? S_OK : E_FAIL;
}
