#pragma once
// OLE interfaces shared by the document, control and Internet layers: windows
// of OLE objects, command targets, service providers, persistence through
// streams and files, data objects, drop targets and authentication.
#include "platform/com/Streams.h"
#include "platform/com/Variant.h"

// The window handle of the window layer (declared the same way there).
struct HWND__;
using HWND = HWND__*;

struct DVTARGETDEVICE;
struct IStorage;
using HGLOBAL = void*;
using CLIPFORMAT = WORD;

// ---------------------------------------------------------------- aspects

// What a drawing or data transfer shows of an object.
enum DVASPECT : DWORD {
  DVASPECT_CONTENT = 1,
  DVASPECT_THUMBNAIL = 2,
  DVASPECT_ICON = 4,
  DVASPECT_DOCPRINT = 8,
};

// ---------------------------------------------------------------- IOleWindow

struct IOleWindow : IUnknown {
  virtual HRESULT GetWindow(HWND* phwnd) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL fEnterMode) = 0;
};
NOCTIVANE_DECLARE_IID(IOleWindow, IUnknown, "{00000114-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- IOleCommandTarget

enum OLECMDID : DWORD {
  OLECMDID_OPEN = 1,
  OLECMDID_NEW = 2,
  OLECMDID_SAVE = 3,
  OLECMDID_SAVEAS = 4,
  OLECMDID_SAVECOPYAS = 5,
  OLECMDID_PRINT = 6,
  OLECMDID_PRINTPREVIEW = 7,
  OLECMDID_PAGESETUP = 8,
  OLECMDID_SPELL = 9,
  OLECMDID_PROPERTIES = 10,
  OLECMDID_CUT = 11,
  OLECMDID_COPY = 12,
  OLECMDID_PASTE = 13,
  OLECMDID_PASTESPECIAL = 14,
  OLECMDID_UNDO = 15,
  OLECMDID_REDO = 16,
  OLECMDID_SELECTALL = 17,
  OLECMDID_CLEARSELECTION = 18,
  OLECMDID_ZOOM = 19,
  OLECMDID_GETZOOMRANGE = 20,
  OLECMDID_UPDATECOMMANDS = 21,
  OLECMDID_REFRESH = 22,
  OLECMDID_STOP = 23,
  OLECMDID_HIDETOOLBARS = 24,
  OLECMDID_SETPROGRESSMAX = 25,
  OLECMDID_SETPROGRESSPOS = 26,
  OLECMDID_SETPROGRESSTEXT = 27,
  OLECMDID_SETTITLE = 28,
  OLECMDID_SETDOWNLOADSTATE = 29,
  OLECMDID_STOPDOWNLOAD = 30,
  OLECMDID_ONTOOLBARACTIVATED = 31,
  OLECMDID_FIND = 32,
  OLECMDID_DELETE = 33,
  OLECMDID_HTTPEQUIV = 34,
  OLECMDID_HTTPEQUIV_DONE = 35,
  OLECMDID_ENABLE_INTERACTION = 36,
  OLECMDID_ONUNLOAD = 37,
  OLECMDID_PROPERTYBAG2 = 38,
  OLECMDID_PREREFRESH = 39,
  OLECMDID_SHOWSCRIPTERROR = 40,
  OLECMDID_SHOWMESSAGE = 41,
  OLECMDID_SHOWFIND = 42,
  OLECMDID_SHOWPAGESETUP = 43,
  OLECMDID_SHOWPRINT = 44,
  OLECMDID_CLOSE = 45,
  OLECMDID_ALLOWUILESSSAVEAS = 46,
  OLECMDID_DONTDOWNLOADCSS = 47,
  OLECMDID_UPDATEPAGESTATUS = 48,
  OLECMDID_PRINT2 = 49,
  OLECMDID_PRINTPREVIEW2 = 50,
  OLECMDID_SETPRINTTEMPLATE = 51,
  OLECMDID_GETPRINTTEMPLATE = 52,
  OLECMDID_PAGEACTIONBLOCKED = 55,
  OLECMDID_PAGEACTIONUIQUERY = 56,
  OLECMDID_FOCUSVIEWCONTROLS = 57,
  OLECMDID_FOCUSVIEWCONTROLSQUERY = 58,
  OLECMDID_SHOWPAGEACTIONMENU = 59,
  OLECMDID_ADDTRAVELENTRY = 60,
  OLECMDID_UPDATETRAVELENTRY = 61,
  OLECMDID_UPDATEBACKFORWARDSTATE = 62,
  OLECMDID_OPTICAL_ZOOM = 63,
  OLECMDID_OPTICAL_GETZOOMRANGE = 64,
  OLECMDID_WINDOWSTATECHANGED = 65,
};

enum OLECMDEXECOPT : DWORD {
  OLECMDEXECOPT_DODEFAULT = 0,
  OLECMDEXECOPT_PROMPTUSER = 1,
  OLECMDEXECOPT_DONTPROMPTUSER = 2,
  OLECMDEXECOPT_SHOWHELP = 3,
};

enum OLECMDF : DWORD {
  OLECMDF_SUPPORTED = 0x1,
  OLECMDF_ENABLED = 0x2,
  OLECMDF_LATCHED = 0x4,
  OLECMDF_NINCHED = 0x8,
  OLECMDF_INVISIBLE = 0x10,
  OLECMDF_DEFHIDEONCTXTMENU = 0x20,
};

enum OLECMDTEXTF : DWORD { OLECMDTEXTF_NONE = 0, OLECMDTEXTF_NAME = 1, OLECMDTEXTF_STATUS = 2 };

struct OLECMD {
  ULONG cmdID;
  DWORD cmdf;
};

struct OLECMDTEXT {
  DWORD cmdtextf;
  ULONG cwActual;
  ULONG cwBuf;
  WCHAR rgwz[1];
};

struct IOleCommandTarget : IUnknown {
  // Fills cmdf of each of the `cCmds` commands (0 for an unknown one).
  virtual HRESULT QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                              OLECMDTEXT* pCmdText) = 0;
  // A null group is the standard command set (OLECMDID_*).
  virtual HRESULT Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                       VARIANT* pvaOut) = 0;
};
NOCTIVANE_DECLARE_IID(IOleCommandTarget, IUnknown, "{B722BCCB-4E68-101B-A2BC-00AA00404770}")

// ---------------------------------------------------------------- IServiceProvider

struct IServiceProvider : IUnknown {
  virtual HRESULT QueryService(REFGUID guidService, REFIID riid, void** ppvObject) = 0;
};
NOCTIVANE_DECLARE_IID(IServiceProvider, IUnknown, "{6D5140C1-7436-11CE-8034-00AA006009FA}")

// ---------------------------------------------------------------- persistence

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;
};
NOCTIVANE_DECLARE_IID(IPersist, IUnknown, "{0000010C-0000-0000-C000-000000000046}")

struct IPersistStreamInit : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* pStm) = 0;
  virtual HRESULT Save(IStream* pStm, BOOL fClearDirty) = 0;
  virtual HRESULT GetSizeMax(std::uint64_t* pCbSize) = 0;
  virtual HRESULT InitNew() = 0;
};
NOCTIVANE_DECLARE_IID(IPersistStreamInit, IPersist, "{7FD52380-4E07-101B-AE2D-08002B2EC713}")

// Storage modes of IPersistFile::Load.
enum : DWORD { STGM_READ = 0x0, STGM_WRITE = 0x1, STGM_READWRITE = 0x2, STGM_SHARE_DENY_NONE = 0x40 };

struct IPersistFile : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(LPCOLESTR pszFileName, DWORD dwMode) = 0;
  virtual HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) = 0;
  virtual HRESULT SaveCompleted(LPCOLESTR pszFileName) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* ppszFileName) = 0;
};
NOCTIVANE_DECLARE_IID(IPersistFile, IPersist, "{0000010B-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- data transfer

enum TYMED : DWORD {
  TYMED_NULL = 0,
  TYMED_HGLOBAL = 1,
  TYMED_FILE = 2,
  TYMED_ISTREAM = 4,
  TYMED_ISTORAGE = 8,
};

struct FORMATETC {
  CLIPFORMAT cfFormat;
  DVTARGETDEVICE* ptd;
  DWORD dwAspect;
  LONG lindex;
  DWORD tymed;
};

// A storage medium. Global memory blocks are fixed ones: the handle is the
// address of the bytes.
struct STGMEDIUM {
  DWORD tymed;
  union {
    HGLOBAL hGlobal;
    LPOLESTR lpszFileName;
    IStream* pstm;
    IStorage* pstg;
  };
  IUnknown* pUnkForRelease;
};

struct IEnumFORMATETC : IUnknown {
  virtual HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFORMATETC** ppenum) = 0;
};
NOCTIVANE_DECLARE_IID(IEnumFORMATETC, IUnknown, "{00000103-0000-0000-C000-000000000046}")

enum DATADIR : DWORD { DATADIR_GET = 1, DATADIR_SET = 2 };

inline constexpr HRESULT DV_E_FORMATETC = HRESULT(0x80040064u);
inline constexpr HRESULT DV_E_TYMED = HRESULT(0x80040069u);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = HRESULT(0x80040003u);
inline constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;

struct IAdviseSink;
struct IEnumSTATDATA;

// Data of a clipboard or drag-and-drop transfer, in clipboard formats.
struct IDataObject : IUnknown {
  virtual HRESULT GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) = 0;
  virtual HRESULT GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) = 0;
  virtual HRESULT QueryGetData(FORMATETC* pformatetc) = 0;
  virtual HRESULT GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) = 0;
  virtual HRESULT SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) = 0;
  virtual HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) = 0;
  virtual HRESULT DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) = 0;
  virtual HRESULT DUnadvise(DWORD dwConnection) = 0;
  virtual HRESULT EnumDAdvise(IEnumSTATDATA** ppenumAdvise) = 0;
};
NOCTIVANE_DECLARE_IID(IDataObject, IUnknown, "{0000010E-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- drag and drop

struct POINTL {
  LONG x = 0;
  LONG y = 0;
};

enum : DWORD {
  DROPEFFECT_NONE = 0,
  DROPEFFECT_COPY = 1,
  DROPEFFECT_MOVE = 2,
  DROPEFFECT_LINK = 4,
  DROPEFFECT_SCROLL = 0x80000000u,
};

struct IDropTarget : IUnknown {
  virtual HRESULT DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) = 0;
  virtual HRESULT DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) = 0;
};
NOCTIVANE_DECLARE_IID(IDropTarget, IUnknown, "{00000122-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- authentication

struct IAuthenticate : IUnknown {
  // The window for a prompt and the credentials, as task-memory strings (or
  // null) that the caller frees.
  virtual HRESULT Authenticate(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword) = 0;
};
NOCTIVANE_DECLARE_IID(IAuthenticate, IUnknown, "{79EAC9D0-BAF9-11CE-8C82-00AA004BA90B}")

// ---------------------------------------------------------------- string enumerators

struct IEnumString : IUnknown {
  // Hands out up to `celt` strings in task memory (the receiver frees them);
  // S_FALSE when fewer were left.
  virtual HRESULT Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumString** ppenum) = 0;
};
NOCTIVANE_DECLARE_IID(IEnumString, IUnknown, "{00000101-0000-0000-C000-000000000046}")
