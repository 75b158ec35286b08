#pragma once
// The shell's own context menu (open, delete, rename, properties and the
// verbs of shell extensions) for items of a shell folder, shown at a screen
// point; the chosen command runs.
#include "platform/shell/ShlObj.h"

namespace MenuContext {

// Shows the menu of the first Count items (relative to Folder) at Point,
// owned by Owner, and runs the chosen command. True when nothing was chosen
// or the command succeeded; False when the shell gave no menu, the menu could
// not be filled or the command failed.
bool DisplayContextMenu(IShellFolder* Folder, const PCUITEMID_CHILD* Items, int Count, POINT Point,
                        HWND Owner);

// The callback window procedure that forwards menu messages to the shell
// object (exposed for tests).
LRESULT MenuCallbackProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// Unit start-up (OLE once) and close-down.
void initialize();
void finalize();

}  // namespace MenuContext
