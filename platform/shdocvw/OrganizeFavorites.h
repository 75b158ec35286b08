#pragma once
// The browser library's Organize Favorites dialog: a modal "#32770" window
// over a folder of favorites (its sub-folders opened below it) with Create
// Folder, Rename, Move to Folder, Delete and Close. Every change goes through
// the shell: new folders through SHCreateDirectoryExW, renaming and deleting
// (to the trash, after the shell's confirmation) through the items' context
// menu, moving through SHFileOperationW.
#include "platform/winapi/Windows.h"

// Shows the dialog on the folder `path` (UTF-8, as the library's 8-bit entry
// takes it) until it is closed. FALSE, with nothing shown, when the path
// names no folder.
BOOL DoOrganizeFavDlg(HWND owner, LPCSTR path);

// Registers the stand-in module "shdocvw.dll" with its entry
// "DoOrganizeFavDlg".
void RegisterShdocvwModule();
