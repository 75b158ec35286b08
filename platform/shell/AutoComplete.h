#pragma once
// The shell's auto-completion of edit fields: SHAutoComplete and the
// auto-complete object (CLSID_AutoComplete) with its string sources: the URL
// history (CLSID_ACLHistory), the typed addresses (CLSID_ACLMRU, the
// registry's "TypedURLs"), the file system (CLSID_ACListISF) and a list of
// sources (CLSID_ACLMulti).
//
// The completion is a real Qt completer attached to the QLineEdit behind the
// edit's window (or the line edit of a combo box): as the user types, the
// source's strings that match the text fill its popup (auto-suggest) and/or
// the rest of the first match is appended to the text, selected
// (auto-append). The completer is a child of the line edit named
// "noctivaneAutoCompleter" (a combo box keeps its own completer beside it).
#include "platform/shell/ShlObj.h"

inline constexpr DWORD SHACF_DEFAULT = 0x00000000;
inline constexpr DWORD SHACF_FILESYSTEM = 0x00000001;
inline constexpr DWORD SHACF_URLHISTORY = 0x00000002;
inline constexpr DWORD SHACF_URLMRU = 0x00000004;
inline constexpr DWORD SHACF_URLALL = SHACF_URLHISTORY | SHACF_URLMRU;
inline constexpr DWORD SHACF_USETAB = 0x00000008;
inline constexpr DWORD SHACF_FILESYS_ONLY = 0x00000010;
inline constexpr DWORD SHACF_FILESYS_DIRS = 0x00000020;
inline constexpr DWORD SHACF_AUTOSUGGEST_FORCE_ON = 0x10000000;
inline constexpr DWORD SHACF_AUTOSUGGEST_FORCE_OFF = 0x20000000;
inline constexpr DWORD SHACF_AUTOAPPEND_FORCE_ON = 0x40000000;
inline constexpr DWORD SHACF_AUTOAPPEND_FORCE_OFF = 0x80000000;

// Attaches completion from the flags' sources (SHACF_DEFAULT: file system
// and all addresses) to the edit; auto-suggest is on unless forced off,
// auto-append off unless forced on. Attaching again replaces the completion
// the edit had. E_INVALIDARG when the window holds no edit field.
HRESULT SHAutoComplete(HWND hwndEdit, DWORD dwFlags);

inline constexpr DWORD ACO_NONE = 0x0000;
inline constexpr DWORD ACO_AUTOSUGGEST = 0x0001;
inline constexpr DWORD ACO_AUTOAPPEND = 0x0002;
inline constexpr DWORD ACO_SEARCH = 0x0004;
// Entries match also after their "http://", "https://", "ftp://",
// "file:///" and "www." prefixes.
inline constexpr DWORD ACO_FILTERPREFIXES = 0x0008;
inline constexpr DWORD ACO_USETAB = 0x0010;
// Down opens the list of every entry while the popup is closed.
inline constexpr DWORD ACO_UPDOWNKEYDROPSLIST = 0x0020;
inline constexpr DWORD ACO_RTLREADING = 0x0040;
// Entries match at the start of any of their words.
inline constexpr DWORD ACO_WORD_FILTER = 0x0080;
// Every entry is shown, whatever was typed.
inline constexpr DWORD ACO_NOPREFIXFILTERING = 0x0100;

struct IAutoComplete : IUnknown {
  // Binds the completion to the edit with a source (an IEnumString, which
  // may also offer IACList to be told the text to expand). Once only:
  // E_UNEXPECTED the second time. The registry path and the quick-complete
  // format are not used.
  virtual HRESULT Init(HWND hwndEdit, IUnknown* punkACL, LPCOLESTR pwszRegKeyPath,
                       LPCOLESTR pwszQuickComplete) = 0;
  virtual HRESULT Enable(BOOL fEnable) = 0;
};
NOCTIVANE_DECLARE_IID(IAutoComplete, IUnknown, "{00BB2762-6A77-11D0-A535-00C04FD7D062}")

struct IAutoComplete2 : IAutoComplete {
  // The ACO_ options (before or after Init); the default is ACO_AUTOAPPEND.
  virtual HRESULT SetOptions(DWORD dwFlag) = 0;
  virtual HRESULT GetOptions(DWORD* pdwFlag) = 0;
};
NOCTIVANE_DECLARE_IID(IAutoComplete2, IAutoComplete, "{EAC04BC0-3791-11D2-BB95-0060977B464C}")

// The list of sources (CLSID_ACLMulti).
struct IObjMgr : IUnknown {
  virtual HRESULT Append(IUnknown* punk) = 0;
  virtual HRESULT Remove(IUnknown* punk) = 0;
};
NOCTIVANE_DECLARE_IID(IObjMgr, IUnknown, "{00BB2761-6A77-11D0-A535-00C04FD7D062}")

// A source that lists what lies below the text typed so far (the file
// system: the folder before the last "/").
struct IACList : IUnknown {
  virtual HRESULT Expand(LPCOLESTR pszExpand) = 0;
};
NOCTIVANE_DECLARE_IID(IACList, IUnknown, "{77A130B0-94FD-11D0-A544-00C04FD7D062}")

inline constexpr DWORD ACLO_NONE = 0;
inline constexpr DWORD ACLO_CURRENTDIR = 1;
inline constexpr DWORD ACLO_MYCOMPUTER = 2;
inline constexpr DWORD ACLO_DESKTOP = 4;
inline constexpr DWORD ACLO_FAVORITES = 8;
inline constexpr DWORD ACLO_FILESYSONLY = 16;
inline constexpr DWORD ACLO_FILESYSDIRS = 32;

struct IACList2 : IACList {
  virtual HRESULT SetOptions(DWORD dwFlag) = 0;
  virtual HRESULT GetOptions(DWORD* pdwFlag) = 0;
};
NOCTIVANE_DECLARE_IID(IACList2, IACList, "{470141A0-5186-11D2-BBB6-0060977B464C}")

inline constexpr CLSID CLSID_AutoComplete = GuidLiteral("{00BB2763-6A77-11D0-A535-00C04FD7D062}");
inline constexpr CLSID CLSID_ACLHistory = GuidLiteral("{00BB2764-6A77-11D0-A535-00C04FD7D062}");
inline constexpr CLSID CLSID_ACLMulti = GuidLiteral("{00BB2765-6A77-11D0-A535-00C04FD7D062}");
inline constexpr CLSID CLSID_ACListISF = GuidLiteral("{03C036F1-A186-11D0-824A-00AA005B4383}");
inline constexpr CLSID CLSID_ACLMRU = GuidLiteral("{6756A641-DE71-11D0-831B-00AA005B4383}");
