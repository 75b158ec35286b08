#pragma once
// Files dropped from the desktop onto a window: a window that accepts them
// gets each drop of files (local file addresses) as WM_DROPFILES, whose
// WParam is the drop handle that DragQueryFileW reads and DragFinish frees.
#include "platform/winapi/Windows.h"

struct HDROP__;
using HDROP = HDROP__*;

// Turns the acceptance on or off for a window with a widget (the window's
// extended style WS_EX_ACCEPTFILES shows it). A drag that carries no local
// file is left to the widget.
void DragAcceptFiles(HWND hwnd, BOOL accept);
// With iFile 0xFFFFFFFF: the number of files. Otherwise the length of the
// file's name without the terminating zero (buffer null), or the characters
// copied into the buffer (cch counts the zero; the name is cut to fit). 0
// for an unknown handle or index.
UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch);
// Where the drop happened, in client coordinates of the window; TRUE when
// that was in its client area.
BOOL DragQueryPoint(HDROP hDrop, POINT* ppt);
void DragFinish(HDROP hDrop);
// Drop handles that are not finished yet (for tests).
int PendingDropHandles();
