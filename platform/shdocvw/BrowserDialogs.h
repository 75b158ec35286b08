#pragma once
// The browser's own dialogs: modal windows of the standard dialog class
// "#32770", owned by the top-level window of the browser's host, shown when
// the host answers a page's message, prompt, login or script error in none
// of its own ways.
//
// Each dialog is a window of the registry while it is shown, so its owner
// loses activation to it and code may act on it like on any dialog:
// WM_CLOSE ends it as Cancel (No for a Yes/No question, OK for a message
// with only OK), SetWindowText sets its caption, WM_SETICON its icon, and
// DestroyWindow ends it as WM_CLOSE does. The calls below return when the
// dialog has ended; its window is gone by then.
#include "platform/winapi/Windows.h"

#include <vector>

class QDialog;

// An edit field of a dialog: its label, the text it starts with (and, after
// OK, the text typed), and whether it hides what is typed.
struct TBrowserDialogField {
  String Label;
  String Value;
  bool Secret = false;
};

// Shows a dialog with the text, the fields and the buttons of `type`
// (MB_OK, MB_OKCANCEL or MB_YESNO, with an MB_ICON* picture) and answers
// IDOK, IDCANCEL, IDYES or IDNO. The fields keep their values unless the
// answer is IDOK. `owner` may be any window of the owning form, or 0.
int ShowBrowserDialog(HWND owner, const String& caption, const String& text, UINT type,
                      std::vector<TBrowserDialogField>* fields = nullptr);

// For dialogs of their own that live on after the call that shows them:
// the top-level window that owns the dialogs of `owner` (0 for none), and
// a "#32770" window for a dialog created with that window's widget as its
// parent. WM_CLOSE rejects the dialog, WM_SETICON sets its icon, and
// deleting the dialog destroys the window.
HWND BrowserDialogTop(HWND owner);
HWND CreateBrowserDialogWindow(QDialog* dialog, HWND top, const String& caption);

// A page's alert (MB_OK) or confirm (MB_OKCANCEL) message.
int ShowBrowserMessage(HWND owner, const String& text, UINT type);
// A page's prompt: true with the text typed when confirmed.
bool ShowBrowserPrompt(HWND owner, const String& text, String& value);
// The address of the link ("CreateLink") or picture ("InsertImage") an
// editing command inserts: true with the address typed when confirmed.
bool ShowBrowserEditAddress(HWND owner, const String& command, String& address);
// A server's (or proxy's) request for a login: true with the user name and
// password typed when confirmed.
bool ShowBrowserLogin(HWND owner, const String& host, String& user, String& password);
// A script error of the page: true when the user wants scripts to go on.
bool ShowBrowserScriptError(HWND owner, const String& message, int line, const String& url);
