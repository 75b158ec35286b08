#pragma once
// OLE objects and controls as a container sees them: the client site, the
// object, control, in-place object and view interfaces, ready states, the
// standard and ambient dispatch ids, and the download-control flags that a
// host hands the documents and controls it embeds.
#include "platform/com/OleIdl.h"
#include "platform/com/Variant.h"

// Messages and rectangles of the window layer; only pointers to them appear
// here.
struct MSG;
struct RECT;

class QPainter;

// The device context of drawing calls: the painter of a canvas
// (TCanvas::GetHandle()).
using HDC = QPainter*;

// Not provided: monikers, bind contexts and bind information (URL monikers),
// enumerators and advise sinks of OLE objects, palettes, menus of in-place
// frames. They appear in signatures only.
struct IMoniker;
struct IBindCtx;
struct BINDINFO;
struct IEnumOLEVERB;
struct IAdviseSink;
struct IEnumSTATDATA;
struct IOleContainer;
struct IOleInPlaceActiveObject;
struct IOleInPlaceUIWindow;
struct IOleInPlaceFrame;
struct LOGPALETTE;
struct DVTARGETDEVICE;

// ---------------------------------------------------------------- small types

struct SIZEL {
  LONG cx = 0;
  LONG cy = 0;
};

struct RECTL {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

using SHANDLE_PTR = LONG_PTR;

// ---------------------------------------------------------------- ready states

enum READYSTATE : LONG {
  READYSTATE_UNINITIALIZED = 0,
  READYSTATE_LOADING = 1,
  READYSTATE_LOADED = 2,
  READYSTATE_INTERACTIVE = 3,
  READYSTATE_COMPLETE = 4,
};

// ---------------------------------------------------------------- dispatch ids

// Standard dispatch ids.
inline constexpr DISPID DISPID_HWND = -515;
inline constexpr DISPID DISPID_READYSTATE = -525;

// Ambient properties the control asks its client site for.
inline constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
inline constexpr DISPID DISPID_AMBIENT_OFFLINEIFNOTCONNECTED = -5501;
inline constexpr DISPID DISPID_AMBIENT_SILENT = -5502;
inline constexpr DISPID DISPID_AMBIENT_DLCONTROL = -5512;
inline constexpr DISPID DISPID_AMBIENT_USERAGENT = -5513;

// ---------------------------------------------------------------- download control

// The download-control ambient property (DISPID_AMBIENT_DLCONTROL).
enum DLCTL : DWORD {
  DLCTL_DLIMAGES = 0x10,
  DLCTL_VIDEOS = 0x20,
  DLCTL_BGSOUNDS = 0x40,
  DLCTL_NO_SCRIPTS = 0x80,
  DLCTL_NO_JAVA = 0x100,
  DLCTL_NO_RUNACTIVEXCTLS = 0x200,
  DLCTL_NO_DLACTIVEXCTLS = 0x400,
  DLCTL_DOWNLOADONLY = 0x800,
  DLCTL_NO_FRAMEDOWNLOAD = 0x1000,
  DLCTL_RESYNCHRONIZE = 0x2000,
  DLCTL_PRAGMA_NO_CACHE = 0x4000,
  DLCTL_NO_BEHAVIORS = 0x8000,
  DLCTL_NO_METACHARSET = 0x10000,
  DLCTL_URL_ENCODING_DISABLE_UTF8 = 0x20000,
  DLCTL_URL_ENCODING_ENABLE_UTF8 = 0x40000,
  DLCTL_NOFRAMES = 0x80000,
  DLCTL_FORCEOFFLINE = 0x10000000,
  DLCTL_NO_CLIENTPULL = 0x20000000,
  DLCTL_SILENT = 0x40000000,
  DLCTL_OFFLINEIFNOTCONNECTED = 0x80000000u,
  DLCTL_OFFLINE = DLCTL_OFFLINEIFNOTCONNECTED,
};

// ---------------------------------------------------------------- OLE object constants

// Verbs of IOleObject::DoVerb.
inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_OPEN = -2;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
inline constexpr LONG OLEIVERB_DISCARDUNDOSTATE = -6;

enum OLECLOSE : DWORD { OLECLOSE_SAVEIFDIRTY = 0, OLECLOSE_NOSAVE = 1, OLECLOSE_PROMPTSAVE = 2 };
enum OLEGETMONIKER : DWORD { OLEGETMONIKER_ONLYIFTHERE = 1, OLEGETMONIKER_FORCEASSIGN = 2 };
enum OLEWHICHMK : DWORD { OLEWHICHMK_CONTAINER = 1, OLEWHICHMK_OBJREL = 2, OLEWHICHMK_OBJFULL = 3 };
enum USERCLASSTYPE : DWORD { USERCLASSTYPE_FULL = 1, USERCLASSTYPE_SHORT = 2, USERCLASSTYPE_APPNAME = 3 };
enum OLEMISC : DWORD {
  OLEMISC_RECOMPOSEONRESIZE = 0x1,
  OLEMISC_INSIDEOUT = 0x80,
  OLEMISC_ACTIVATEWHENVISIBLE = 0x100,
  OLEMISC_SETCLIENTSITEFIRST = 0x20000,
};

inline constexpr HRESULT OLE_E_NOT_INPLACEACTIVE = HRESULT(0x80040010u);
inline constexpr HRESULT OLEOBJ_E_NOVERBS = HRESULT(0x80040180u);
inline constexpr HRESULT OLE_E_INVALIDRECT = HRESULT(0x8004000Du);

// ---------------------------------------------------------------- OLE control interfaces

struct IOleClientSite : IUnknown {
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) = 0;
  virtual HRESULT GetContainer(IOleContainer** ppContainer) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL fShow) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;
};
NOCTIVANE_DECLARE_IID(IOleClientSite, IUnknown, "{00000118-0000-0000-C000-000000000046}")

struct IOleObject : IUnknown {
  // The object keeps a reference to the site (null lets it go) and asks it
  // for the host interfaces and ambient properties.
  virtual HRESULT SetClientSite(IOleClientSite* pClientSite) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** ppClientSite) = 0;
  virtual HRESULT SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) = 0;
  virtual HRESULT Close(DWORD dwSaveOption) = 0;
  virtual HRESULT SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) = 0;
  virtual HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) = 0;
  virtual HRESULT InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) = 0;
  virtual HRESULT GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) = 0;
  // OLEIVERB_INPLACEACTIVATE / OLEIVERB_SHOW / OLEIVERB_UIACTIVATE create the
  // object's window as a child of `hwndParent`, placed at `lprcPosRect`.
  virtual HRESULT DoVerb(LONG iVerb, MSG* lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                         const RECT* lprcPosRect) = 0;
  virtual HRESULT EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT IsUpToDate() = 0;
  virtual HRESULT GetUserClassID(CLSID* pClsid) = 0;
  virtual HRESULT GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) = 0;
  virtual HRESULT SetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
  virtual HRESULT GetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
  virtual HRESULT Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) = 0;
  virtual HRESULT Unadvise(DWORD dwConnection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise) = 0;
  virtual HRESULT GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) = 0;
  virtual HRESULT SetColorScheme(LOGPALETTE* pLogpal) = 0;
};
NOCTIVANE_DECLARE_IID(IOleObject, IUnknown, "{00000112-0000-0000-C000-000000000046}")

struct CONTROLINFO {
  ULONG cb;
  void* hAccel;
  USHORT cAccel;
  DWORD dwFlags;
};

struct IOleControl : IUnknown {
  virtual HRESULT GetControlInfo(CONTROLINFO* pCI) = 0;
  virtual HRESULT OnMnemonic(MSG* pMsg) = 0;
  // The host changed ambient property `dispID` (DISPID_UNKNOWN: several); the
  // control reads it again from its client site.
  virtual HRESULT OnAmbientPropertyChange(DISPID dispID) = 0;
  virtual HRESULT FreezeEvents(BOOL bFreeze) = 0;
};
NOCTIVANE_DECLARE_IID(IOleControl, IUnknown, "{B196B288-BAB4-101A-B69C-00AA00341D07}")

struct IOleInPlaceObject : IOleWindow {
  virtual HRESULT InPlaceDeactivate() = 0;
  virtual HRESULT UIDeactivate() = 0;
  // Moves the object's window to `lprcPosRect` (parent client coordinates).
  virtual HRESULT SetObjectRects(const RECT* lprcPosRect, const RECT* lprcClipRect) = 0;
  virtual HRESULT ReactivateAndUndo() = 0;
};
NOCTIVANE_DECLARE_IID(IOleInPlaceObject, IOleWindow, "{00000113-0000-0000-C000-000000000046}")

struct IViewObject : IUnknown {
  // Draws the object's current view scaled into `lprcBounds` of `hdcDraw`.
  virtual HRESULT Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
                       HDC hdcDraw, const RECTL* lprcBounds, const RECTL* lprcWBounds,
                       BOOL (*pfnContinue)(ULONG_PTR), ULONG_PTR dwContinue) = 0;
  virtual HRESULT GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd,
                              HDC hicTargetDev, LOGPALETTE** ppColorSet) = 0;
  virtual HRESULT Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) = 0;
  virtual HRESULT Unfreeze(DWORD dwFreeze) = 0;
  virtual HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) = 0;
  virtual HRESULT GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) = 0;
};
NOCTIVANE_DECLARE_IID(IViewObject, IUnknown, "{0000010D-0000-0000-C000-000000000046}")
