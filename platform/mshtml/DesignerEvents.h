#pragma once
// The shown page's input, routed through the edit designers registered with
// its edit services. While the page has designers, each key and mouse
// message of its window goes to every designer's PreHandleEvent (S_OK keeps
// it from the engine and from the designers after it); a key-down then to
// TranslateAccelerator (S_OK likewise); then the engine, then each
// designer's PostHandleEvent (only when the engine had the event), and last
// each designer's PostEditorEventNotify. A designer removed meanwhile is
// called no more, nor is any once the page or its window has gone (a
// designer may close the browser). What a designer throws stays with it.
//
// The event object answers by name (and by its usual ids): type, keyCode
// (the virtual key, for keypress the character), button (1 left, 2 right,
// 4 middle; for a move the buttons held), clientX and clientY (page pixels:
// the window's point over the page's zoom), altKey, ctrlKey, shiftKey and
// srcElement: the element under the pointer, or for keys the one holding
// the caret, looked up in the page when first asked.
#include "platform/winapi/Windows.h"

#include <functional>

class QWebEnginePage;

// Whether the page's designers see `msg`.
bool IsDesignerInput(UINT msg);
// Routes `msg` of the page's window; `engine` hands it to the engine and its
// answer is the result (0 when a designer kept the message). Without
// designers this is `engine()`.
LRESULT RouteDesignerInput(QWebEnginePage* page, const MSG& msg, const std::function<LRESULT()>& engine);
// The page's document goes away: its designers are released and see no
// further event.
void ReleasePageDesigners(QWebEnginePage* page);
