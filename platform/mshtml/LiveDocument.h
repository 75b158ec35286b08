#pragma once
// The live document bridge: the document shown by the browser control,
// answered through the document interfaces by running scripts in the engine's
// page. Scripts run in the engine's application world, so they work while the
// page's own scripts are disabled and the page cannot tamper with them; each
// call waits for its answer in a nested event loop, with a bound, and copes
// with the page going away meanwhile.
#include "platform/com/OleCtl.h"
#include "platform/mshtml/MsHtml.h"

#include <QString>
#include <QVariant>

#include <functional>

class QWebEnginePage;

inline constexpr int kPageScriptTimeoutMs = 5000;

// Runs `script` in the page's application world and waits for its value,
// handling events meanwhile (the user's input stays queued). False when the page is null or went away, or no
// answer came within `timeoutMs`.
bool RunPageScript(QWebEnginePage* page, const QString& script, QVariant* result = nullptr,
                   int timeoutMs = kPageScriptTimeoutMs);
// Waits, handling events, until the page is not loading; false when it still
// loads after `timeoutMs` or went away.
bool WaitWhilePageLoads(QWebEnginePage* page, int timeoutMs = kPageScriptTimeoutMs);

// The page's current markup: the doctype, then the document element's outer
// HTML. False when the page could not answer.
bool PageHtml(QWebEnginePage* page, QString& html);
// Replaces the page's document with `html` (the address stays). Waits for a
// load in progress first.
bool ReplacePageHtml(QWebEnginePage* page, const QString& html);

// Text size (0 smallest .. 4 largest, 2 medium) and optical zoom (percent,
// 10..1000) of a page; the page's zoom factor is their product.
int PageTextSize(QWebEnginePage* page);
bool SetPageTextSize(QWebEnginePage* page, int size);
int PageOpticalZoom(QWebEnginePage* page);
bool SetPageOpticalZoom(QWebEnginePage* page, int percent);

// What the browser showing a page does for its document: draw the view
// (IViewObject::Draw of the document) and run the commands of the browser's
// own group (CGID_IWebBrowser: 1 opens the find dialog). Unset: the document
// answers E_NOTIMPL and OLECMDERR_E_NOTSUPPORTED.
struct TLiveDocumentHost {
  std::function<HRESULT(HDC dc, const RECTL& bounds)> DrawView;
  std::function<HRESULT(DWORD command, VARIANT* in, VARIANT* out)> BrowserCommand;
  // Asks the user for the address an editing command inserts ("CreateLink",
  // "InsertImage" with ShowUI), `address` preset: false when cancelled.
  // Unset: such a command is not done.
  std::function<bool(const String& command, String& address)> AskEditAddress;
};

// The document of `page` (null for a null page). It answers IHTMLDocument2
// (and IDispatch by name for title, URL, location, readyState, designMode
// and documentElement, whose innerHTML, innerText and outerHTML are read by
// name; its location reads the address of the document shown at each
// call), IViewObject (through the host),
// IPersistStreamInit (Load replaces the document with the stream's HTML, Save
// writes the current markup in UTF-8), IPersistFile (Save writes the markup to
// a file) and IOleCommandTarget (zoom and editing commands; the browser group through
// the host). It refers to the
// page without owning it and fails with E_UNEXPECTED once the page is gone.
ComPtr<IHTMLDocument2> CreateLiveDocument(QWebEnginePage* page, const TLiveDocumentHost& host = {});

// A script error of a page, as the script-error event reports it.
struct TPageScriptError {
  String Message;
  String Url;
  int Line = 0;
  int Character = 0;
  int Code = 0;
};
// The document of `page` whose window's event is the script error `error`
// (its parentWindow's event answers errorLine, errorCharacter, errorCode,
// errorMessage and errorUrl by name).
ComPtr<IHTMLDocument2> CreateLiveDocument(QWebEnginePage* page, const TPageScriptError& error,
                                          const TLiveDocumentHost& host = {});
