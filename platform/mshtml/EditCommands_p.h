#pragma once
// The editing commands of a shown page (IHTMLDocument2::execCommand), for the
// live document.
#include "platform/mshtml/LiveDocument.h"

class QWebEnginePage;

// Runs `command` on the page: "CreateLink" and "InsertImage" with `showUI`
// ask the host for the address first (not done when cancelled or left
// empty), "InsertInputRadio" inserts a radio button at the caret (its id
// from a text `value`), any other command is the engine's own. `*pfRet`
// answers whether the command was done. E_UNEXPECTED once the page is gone,
// E_FAIL when it does not answer.
HRESULT RunEditCommand(QWebEnginePage* page, const TLiveDocumentHost& host, const String& command,
                       bool showUI, const VARIANT& value, VARIANT_BOOL* pfRet);
