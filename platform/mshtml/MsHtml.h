#pragma once
// The HTML document interfaces: IHTMLDocument, IHTMLDocument2, and the
// element, collection, window and event interfaces they hand out (declared
// here with the members provided so far; elements, collections and the
// location in MsHtmlElements.h), the document class and the HTML command
// group.
#include "platform/com/OleIdl.h"
#include "platform/com/Variant.h"
#include "platform/mshtml/MsHtmlElements.h"

struct IHTMLFramesCollection2 : IDispatch {};
NOCTIVANE_DECLARE_IID(IHTMLFramesCollection2, IDispatch, "{332C4426-26CB-11D0-B483-00C04FD90119}")

// An event of the document; its properties are read by name through IDispatch
// (the script-error event has errorLine, errorCharacter, errorCode,
// errorMessage and errorUrl).
struct IHTMLEventObj : IDispatch {};
NOCTIVANE_DECLARE_IID(IHTMLEventObj, IDispatch, "{3050F32D-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLWindow2 : IHTMLFramesCollection2 {
  // The event being handled (null when none).
  virtual HRESULT get_event(IHTMLEventObj** p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLWindow2, IHTMLFramesCollection2, "{332C4427-26CB-11D0-B483-00C04FD90119}")

struct IHTMLSelectionObject : IDispatch {};
NOCTIVANE_DECLARE_IID(IHTMLSelectionObject, IDispatch, "{3050F25A-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLDocument : IDispatch {
  virtual HRESULT get_Script(IDispatch** p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLDocument, IDispatch, "{626FC520-A41E-11CF-A731-00A0C9082637}")

struct IHTMLDocument2 : IHTMLDocument {
  virtual HRESULT get_all(IHTMLElementCollection** p) = 0;
  virtual HRESULT get_body(IHTMLElement** p) = 0;
  virtual HRESULT get_activeElement(IHTMLElement** p) = 0;
  virtual HRESULT get_images(IHTMLElementCollection** p) = 0;
  virtual HRESULT get_links(IHTMLElementCollection** p) = 0;
  virtual HRESULT get_forms(IHTMLElementCollection** p) = 0;
  virtual HRESULT get_anchors(IHTMLElementCollection** p) = 0;
  virtual HRESULT put_title(BSTR v) = 0;
  virtual HRESULT get_title(BSTR* p) = 0;
  virtual HRESULT get_scripts(IHTMLElementCollection** p) = 0;
  // "On", "Off" or "Inherit".
  virtual HRESULT put_designMode(BSTR v) = 0;
  virtual HRESULT get_designMode(BSTR* p) = 0;
  virtual HRESULT get_selection(IHTMLSelectionObject** p) = 0;
  // "uninitialized", "loading", "interactive" or "complete".
  virtual HRESULT get_readyState(BSTR* p) = 0;
  virtual HRESULT get_frames(IHTMLFramesCollection2** p) = 0;
  virtual HRESULT get_referrer(BSTR* p) = 0;
  virtual HRESULT get_location(IHTMLLocation** p) = 0;
  virtual HRESULT get_lastModified(BSTR* p) = 0;
  virtual HRESULT put_URL(BSTR v) = 0;
  virtual HRESULT get_URL(BSTR* p) = 0;
  virtual HRESULT put_domain(BSTR v) = 0;
  virtual HRESULT get_domain(BSTR* p) = 0;
  virtual HRESULT put_cookie(BSTR v) = 0;
  virtual HRESULT get_cookie(BSTR* p) = 0;
  virtual HRESULT put_charset(BSTR v) = 0;
  virtual HRESULT get_charset(BSTR* p) = 0;
  virtual HRESULT put_defaultCharset(BSTR v) = 0;
  virtual HRESULT get_defaultCharset(BSTR* p) = 0;
  virtual HRESULT get_mimeType(BSTR* p) = 0;
  virtual HRESULT get_fileSize(BSTR* p) = 0;
  virtual HRESULT get_fileCreatedDate(BSTR* p) = 0;
  virtual HRESULT get_fileModifiedDate(BSTR* p) = 0;
  virtual HRESULT get_fileUpdatedDate(BSTR* p) = 0;
  virtual HRESULT get_security(BSTR* p) = 0;
  virtual HRESULT get_protocol(BSTR* p) = 0;
  virtual HRESULT get_nameProp(BSTR* p) = 0;
  virtual HRESULT close() = 0;
  virtual HRESULT clear() = 0;
  virtual HRESULT queryCommandSupported(BSTR cmdID, VARIANT_BOOL* pfRet) = 0;
  virtual HRESULT queryCommandEnabled(BSTR cmdID, VARIANT_BOOL* pfRet) = 0;
  virtual HRESULT queryCommandState(BSTR cmdID, VARIANT_BOOL* pfRet) = 0;
  virtual HRESULT queryCommandValue(BSTR cmdID, VARIANT* pcmdValue) = 0;
  virtual HRESULT execCommand(BSTR cmdID, VARIANT_BOOL showUI, VARIANT value, VARIANT_BOOL* pfRet) = 0;
  virtual HRESULT createElement(BSTR eTag, IHTMLElement** newElem) = 0;
  virtual HRESULT elementFromPoint(LONG x, LONG y, IHTMLElement** elementHit) = 0;
  virtual HRESULT get_parentWindow(IHTMLWindow2** p) = 0;
  virtual HRESULT toString(BSTR* String) = 0;

  // Writing a document: open starts a new one (and answers the document),
  // write and writeln add markup, close ends it. Documents that cannot be
  // written into answer E_NOTIMPL.
  virtual HRESULT write(BSTR /*text*/) { return E_NOTIMPL; }
  virtual HRESULT writeln(BSTR /*text*/) { return E_NOTIMPL; }
  virtual HRESULT open(BSTR /*url*/, VARIANT /*name*/, VARIANT /*features*/, VARIANT /*replace*/,
                       IDispatch** pomWindowResult) {
    if (pomWindowResult) *pomWindowResult = nullptr;
    return E_NOTIMPL;
  }
};
NOCTIVANE_DECLARE_IID(IHTMLDocument2, IHTMLDocument, "{332C4425-26CB-11D0-B483-00C04FD90119}")

// Dispatch ids of the document members answered through IDispatch::Invoke.
inline constexpr DISPID DISPID_IHTMLDOCUMENT2_TITLE = 1012;
inline constexpr DISPID DISPID_IHTMLDOCUMENT2_DESIGNMODE = 1014;
inline constexpr DISPID DISPID_IHTMLDOCUMENT2_URL = 1025;
inline constexpr DISPID DISPID_IHTMLDOCUMENT2_LOCATION = 1026;
inline constexpr DISPID DISPID_IHTMLDOCUMENT2_READYSTATE = -525;  // DISPID_READYSTATE

inline constexpr CLSID CLSID_HTMLDocument = GuidLiteral("{25336920-03F9-11CF-8FD0-00AA00686F13}");
inline constexpr GUID CGID_MSHTML = GuidLiteral("{DE4BA900-59CA-11CF-9592-444553540000}");

// Registers the windowless document class (CLSID_HTMLDocument): documents
// parsed from HTML into a tree of their own, whose ready state moves through
// messages posted to the thread that created them. Finalizing unregisters it.
void InitializeMsHtml();
void FinalizeMsHtml();
