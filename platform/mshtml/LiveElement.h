#pragma once
// Elements of the shown page. An element object keeps a handle into the page
// (in the bridge's own script world) and reads each property from the page
// only when it is asked, with the bridge's bounded wait. It answers as the
// windowless documents' elements do: tag names and markup in capitals, text
// with CR LF line breaks, "[object]" as its text form (an anchor: its
// address). Once the page or its document has gone, reads fail with E_FAIL
// (E_UNEXPECTED without a page).
#include "platform/mshtml/MsHtmlElements.h"

class QWebEnginePage;

// The element at a point of the page's viewport, in page pixels; null when
// there is none or the page did not answer.
ComPtr<IHTMLElement> LiveElementAtPoint(QWebEnginePage* page, int x, int y);
// The element holding the caret (the selection's focus), else the focused
// element, else the body; null when the page did not answer.
ComPtr<IHTMLElement> LiveCaretElement(QWebEnginePage* page);
