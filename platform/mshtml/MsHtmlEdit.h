#pragma once
// Editing a document in place: the edit services of a shown document
// (IServiceProvider::QueryService with SID_SHTMLEditServices), the edit
// designers that see each editing event first, and the edit host's
// snapping and drag questions.
//
// An event object of an editing event answers by name through IDispatch:
// type, keyCode, button, clientX, clientY (page pixels), altKey, ctrlKey,
// shiftKey and srcElement (the element under the pointer or holding the caret).
#include "platform/mshtml/MsHtml.h"
#include "platform/winapi/Windows.h"

// Dispatch identifiers of editing events.
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONCLICK = -600;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONDBLCLICK = -601;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONKEYDOWN = -602;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONKEYPRESS = -603;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONKEYUP = -604;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONMOUSEDOWN = -605;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONMOUSEMOVE = -606;
inline constexpr LONG DISPID_HTMLELEMENTEVENTS2_ONMOUSEUP = -607;

inline constexpr GUID SID_SHTMLEditServices = {
    0x3050F7F9, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

struct IHTMLEditDesigner : IUnknown {
  // S_OK keeps the event from the editor; S_FALSE lets it go on.
  virtual HRESULT PreHandleEvent(LONG inEvtDispId, IHTMLEventObj* pIEventObj) = 0;
  virtual HRESULT PostHandleEvent(LONG inEvtDispId, IHTMLEventObj* pIEventObj) = 0;
  virtual HRESULT TranslateAccelerator(LONG inEvtDispId, IHTMLEventObj* pIEventObj) = 0;
  virtual HRESULT PostEditorEventNotify(LONG inEvtDispId, IHTMLEventObj* pIEventObj) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLEditDesigner, IUnknown, "{3050F662-98B5-11CF-BB82-00AA00BDCE0B}")

// Handle kinds of SnapRect.
enum : DWORD { ELEMENT_CORNER_NONE = 0 };

struct IHTMLEditHost : IUnknown {
  virtual HRESULT SnapRect(IHTMLElement* pIElement, RECT* prcNew, DWORD eHandle) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLEditHost, IUnknown, "{3050F6A0-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLEditHost2 : IHTMLEditHost {
  virtual HRESULT PreDrag() = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLEditHost2, IHTMLEditHost, "{3050F848-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLEditServices : IUnknown {
  // A designer is added once (E_INVALIDARG for null or one already added).
  virtual HRESULT AddDesigner(IHTMLEditDesigner* pIDesigner) = 0;
  // E_INVALIDARG for a designer that was not added.
  virtual HRESULT RemoveDesigner(IHTMLEditDesigner* pIDesigner) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLEditServices, IUnknown, "{3050F663-98B5-11CF-BB82-00AA00BDCE0B}")

// Reads a property of an event object by name.
HRESULT EventProperty(IHTMLEventObj* event, const String& name, OleVariant& value);
