#pragma once
// Drop targets of windows (RegisterDragDrop / RevokeDragDrop) over Qt's drag
// and drop, and data objects over Qt's drag data.
//
// A window registered with a drop target gets Qt's drag events on its widget
// as the target's DragEnter, DragOver, DragLeave and Drop calls, with a data
// object over the drag's data, the key state (MK_ flags, MK_ALT 0x20 for the
// Alt key) and the screen point; the events do not go on to the widget. The
// effect the target answers decides whether Qt accepts the drag there and
// which action it takes (copy before move before link); a refused drag is
// answered with no action (Qt::IgnoreAction), so the widget's parents do not
// get it either. A window without a registration leaves the drag events to
// its widget.
//
// Drop targets live on the user-interface thread.
#include "platform/com/OleIdl.h"
#include "platform/winapi/Windows.h"

class QMimeData;

inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = HRESULT(0x80040100u);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = HRESULT(0x80040101u);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = HRESULT(0x80040102u);

inline constexpr DWORD MK_ALT = 0x0020;

// Registers `target` (a reference is kept) for a window with a widget.
// E_INVALIDARG for a null target, DRAGDROP_E_INVALIDHWND for a handle that
// is no window or has no widget, DRAGDROP_E_ALREADYREGISTERED when the window
// has a target already.
HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target);
// Removes the window's registration and lets its target go;
// DRAGDROP_E_NOTREGISTERED when there is none.
HRESULT RevokeDragDrop(HWND hwnd);
// The target registered for a window (null when none).
ComPtr<IDropTarget> RegisteredDropTarget(HWND hwnd);

// Registered clipboard formats (numbers from 0xC000 on, names compared
// without case); 0 for an empty name.
UINT RegisterClipboardFormatW(LPCWSTR name);
UINT RegisterClipboardFormat(const String& name);

// A data object holding a copy of drag data: its text as CF_UNICODETEXT (13)
// and CF_TEXT (1, in the local 8-bit code page), its first URL as the
// registered formats "UniformResourceLocatorW" and "UniformResourceLocator".
// Every format comes as a global block (TYMED_HGLOBAL, a terminated string)
// owned by the data object, which the medium names in pUnkForRelease.
ComPtr<IDataObject> CreateDataObject(const QMimeData* data);
