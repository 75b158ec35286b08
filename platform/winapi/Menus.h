#pragma once
// Menu handles (HMENU): menus of items (strings, separators, sub-menus) kept
// in a handle table and shown as real Qt menus by TrackPopupMenu(Ex).
//
// While a tracked menu is open, its owner window receives WM_ENTERMENULOOP,
// WM_INITMENUPOPUP for each popup just before it shows (the owner may still
// change that popup's items then), WM_MENUSELECT as the pointer moves over
// items (0xFFFF and a null menu when the menu closes) and WM_EXITMENULOOP.
// Owner-drawn items are shown with their text; the owner gets no
// WM_MEASUREITEM / WM_DRAWITEM for them.
//
// Menus live on the user-interface thread.
#include "platform/rtl/Scopes.h"
#include "platform/winapi/Windows.h"

#include <vector>

struct HBITMAP__;
using HBITMAP = HBITMAP__*;

// ---------------------------------------------------------------- resources

// A resource name that is a number (the low word) rather than a string.
inline bool IS_INTRESOURCE(const void* name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }
inline LPWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(id)); }
inline LPSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(id)); }

// ---------------------------------------------------------------- flags

inline constexpr UINT MF_INSERT = 0x0000;
inline constexpr UINT MF_CHANGE = 0x0080;
inline constexpr UINT MF_APPEND = 0x0100;
inline constexpr UINT MF_DELETE = 0x0200;
inline constexpr UINT MF_REMOVE = 0x1000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_USECHECKBITMAPS = 0x0200;
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BITMAP = 0x0004;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_UNHILITE = 0x0000;
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_DEFAULT = 0x1000;
inline constexpr UINT MF_RIGHTJUSTIFY = 0x4000;

inline constexpr UINT MFT_STRING = MF_STRING;
inline constexpr UINT MFT_BITMAP = MF_BITMAP;
inline constexpr UINT MFT_MENUBARBREAK = MF_MENUBARBREAK;
inline constexpr UINT MFT_MENUBREAK = MF_MENUBREAK;
inline constexpr UINT MFT_OWNERDRAW = MF_OWNERDRAW;
inline constexpr UINT MFT_RADIOCHECK = 0x0200;
inline constexpr UINT MFT_SEPARATOR = MF_SEPARATOR;
inline constexpr UINT MFT_RIGHTORDER = 0x2000;
inline constexpr UINT MFT_RIGHTJUSTIFY = MF_RIGHTJUSTIFY;

inline constexpr UINT MFS_GRAYED = 0x0003;
inline constexpr UINT MFS_DISABLED = MFS_GRAYED;
inline constexpr UINT MFS_CHECKED = MF_CHECKED;
inline constexpr UINT MFS_HILITE = MF_HILITE;
inline constexpr UINT MFS_ENABLED = MF_ENABLED;
inline constexpr UINT MFS_UNCHECKED = MF_UNCHECKED;
inline constexpr UINT MFS_UNHILITE = MF_UNHILITE;
inline constexpr UINT MFS_DEFAULT = MF_DEFAULT;

inline constexpr UINT MIIM_STATE = 0x0001;
inline constexpr UINT MIIM_ID = 0x0002;
inline constexpr UINT MIIM_SUBMENU = 0x0004;
inline constexpr UINT MIIM_CHECKMARKS = 0x0008;
inline constexpr UINT MIIM_TYPE = 0x0010;
inline constexpr UINT MIIM_DATA = 0x0020;
inline constexpr UINT MIIM_STRING = 0x0040;
inline constexpr UINT MIIM_BITMAP = 0x0080;
inline constexpr UINT MIIM_FTYPE = 0x0100;

inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_TOPALIGN = 0x0000;
inline constexpr UINT TPM_VCENTERALIGN = 0x0010;
inline constexpr UINT TPM_BOTTOMALIGN = 0x0020;
inline constexpr UINT TPM_HORIZONTAL = 0x0000;
inline constexpr UINT TPM_VERTICAL = 0x0040;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;
inline constexpr UINT TPM_RECURSE = 0x0001;

// GetMenuDefaultItem.
inline constexpr UINT GMDI_USEDISABLED = 0x0001;
inline constexpr UINT GMDI_GOINTOPOPUPS = 0x0002;

// ---------------------------------------------------------------- records

struct MENUITEMINFOW {
  UINT cbSize = sizeof(MENUITEMINFOW);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = nullptr;
  HBITMAP hbmpChecked = nullptr;
  HBITMAP hbmpUnchecked = nullptr;
  ULONG_PTR dwItemData = 0;
  // The text: given to insert or set it; a buffer of `cch` characters to get
  // it (cch then receives the length without the terminator; a null buffer
  // asks only for the length).
  LPWSTR dwTypeData = nullptr;
  UINT cch = 0;
  HBITMAP hbmpItem = nullptr;
};
using LPMENUITEMINFOW = MENUITEMINFOW*;
using LPCMENUITEMINFOW = const MENUITEMINFOW*;

struct TPMPARAMS {
  UINT cbSize = sizeof(TPMPARAMS);
  RECT rcExclude;
};
using LPTPMPARAMS = TPMPARAMS*;

// ---------------------------------------------------------------- menus

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and the sub-menus in it.
BOOL DestroyMenu(HMENU menu);
// A menu owned here, destroyed with its sub-menus when it goes (see Owned).
using OwnedMenu = Owned<HMENU, DestroyMenu>;
BOOL IsMenu(HMENU menu);

// MF_STRING (text in `newItem`), MF_SEPARATOR or MF_POPUP (`idNewItem` is
// the sub-menu, which then belongs to this menu); MF_OWNERDRAW keeps
// `newItem` as the item data. State flags: MF_GRAYED, MF_DISABLED,
// MF_CHECKED, MF_DEFAULT.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem);
// Inserts before the item at `position` (MF_BYPOSITION; -1 or past the end
// appends) or before the item with that command identifier (MF_BYCOMMAND).
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem);
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info);
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
// Takes the item out; a sub-menu survives (RemoveMenu) or is destroyed
// (DeleteMenu).
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);

// -1 for no menu.
int GetMenuItemCount(HMENU menu);
// The command identifier at a position; 0xFFFFFFFF for a sub-menu or a
// position out of range.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// Copies the text (at most maxCount - 1 characters and a zero) and answers
// the characters copied; with a null buffer, the text's length. 0 when the
// item is missing.
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
String GetMenuString(HMENU menu, UINT item, UINT flags);
// The MF_ state and type flags of an item (a sub-menu also carries its item
// count in the high byte); 0xFFFFFFFF when the item is missing.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Both answer the previous state (MF_GRAYED/MF_DISABLED bits, MF_CHECKED),
// or 0xFFFFFFFF when the item is missing.
DWORD EnableMenuItem(HMENU menu, UINT item, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
// -1 (0xFFFFFFFF) clears the default item.
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
// The default item's identifier (or position), 0xFFFFFFFF when none.
UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags);

// Shows the menu at the screen point (aligned by the TPM_ flags) and runs it
// until it closes. With TPM_RETURNCMD: answers the chosen identifier, 0 when
// nothing was chosen. Otherwise posts WM_COMMAND with the identifier to the
// owner (unless TPM_NONOTIFY) and answers whether an item was chosen.
// FALSE with ERROR_INVALID_WINDOW_HANDLE for an owner that is no window.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* reserved2);

// ---------------------------------------------------------------- menu resources

// One item of a menu resource: a string item, a separator (MF_SEPARATOR) or a
// sub-menu (MF_POPUP, with its items).
struct TMenuTemplateItem {
  String Text;
  UINT Id = 0;
  UINT Flags = 0;
  std::vector<TMenuTemplateItem> Items = {};
};

// Registers the menu resource `id` (a number) or `name` of a stand-in module
// (empty: the program); LoadMenuW builds a new menu from it each time.
void RegisterMenuResource(const String& module, WORD id, std::vector<TMenuTemplateItem> items);
void RegisterMenuResource(const String& module, const String& name, std::vector<TMenuTemplateItem> items);
// The resource by number (MAKEINTRESOURCEW) or name (without case); null
// and ERROR_RESOURCE_NAME_NOT_FOUND when there is none.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
