#pragma once
// The Internet shortcut object (CLSID_InternetShortcut): an address kept in a
// ".url" file, an ini file whose [InternetShortcut] section holds URL=.
// IPersistFile loads and saves the file (saving changes only the URL line
// and keeps everything else in the file).
#include "platform/shell/ShlObj.h"

inline constexpr DWORD IURL_SETURL_FL_GUESS_PROTOCOL = 0x0001;
inline constexpr DWORD IURL_SETURL_FL_USE_DEFAULT_PROTOCOL = 0x0002;
inline constexpr DWORD IURL_INVOKECOMMAND_FL_ALLOW_UI = 0x0001;
inline constexpr DWORD IURL_INVOKECOMMAND_FL_USE_DEFAULT_VERB = 0x0002;

inline constexpr HRESULT URL_E_INVALID_SYNTAX = HRESULT(0x80041001u);

struct URLINVOKECOMMANDINFOW {
  DWORD dwcbSize = sizeof(URLINVOKECOMMANDINFOW);
  DWORD dwFlags = 0;
  HWND hwndParent = nullptr;
  LPCWSTR pcszVerb = nullptr;  // null or "open"
};
using PURLINVOKECOMMANDINFOW = URLINVOKECOMMANDINFOW*;

struct IUniformResourceLocatorW : IUnknown {
  // An address without a scheme gets "http://" with one of the
  // IURL_SETURL_FL_ flags and is refused (URL_E_INVALID_SYNTAX) without.
  // Null clears the address.
  virtual HRESULT SetURL(LPCWSTR pcszURL, DWORD dwInFlags) = 0;
  // A task-memory copy; S_FALSE and null when there is no address.
  virtual HRESULT GetURL(LPWSTR* ppszURL) = 0;
  // Opens the address through the desktop (ShellExecuteW).
  virtual HRESULT InvokeCommand(PURLINVOKECOMMANDINFOW purlici) = 0;
};
NOCTIVANE_DECLARE_IID(IUniformResourceLocatorW, IUnknown, "{CABB0DA0-DA57-11CF-9974-0020AFD79762}")

inline constexpr CLSID CLSID_InternetShortcut = GuidLiteral("{FBF23B40-E3F0-101B-8488-00AA003E56F8}");
