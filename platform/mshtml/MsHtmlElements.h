#pragma once
// The element side of the HTML document interfaces: elements, element
// collections, the location, the element interfaces of particular tags, the
// third document interface and the property-change notification sink.
//
// Strings come out as BSTRs (SysAllocString) that the caller frees; an
// attribute that is absent reads as an empty string. Properties typed VARIANT
// answer the attribute as written: a VT_I4 for a whole number, else a VT_BSTR
// (colour names become "#rrggbb"); an absent one is an empty VT_BSTR. Every
// object also answers its properties and methods by name through IDispatch
// (names compared without case).
#include "platform/com/Variant.h"

struct IHTMLElementCollection;

// ---------------------------------------------------------------- elements

// Flags of getAttribute, setAttribute and removeAttribute.
enum : LONG {
  ATTRFLAG_CASEINSENSITIVE = 0,  // the name in any case
  ATTRFLAG_CASESENSITIVE = 1,    // the name exactly
  ATTRFLAG_ASSTRING = 2,         // the value as a string
};

struct IHTMLElement : IDispatch {
  virtual HRESULT setAttribute(BSTR strAttributeName, VARIANT AttributeValue, LONG lFlags) = 0;
  // VT_NULL when the element has no such attribute. "className" and
  // "htmlFor" name the attributes class and for.
  virtual HRESULT getAttribute(BSTR strAttributeName, LONG lFlags, VARIANT* AttributeValue) = 0;
  virtual HRESULT removeAttribute(BSTR strAttributeName, LONG lFlags, VARIANT_BOOL* pfSuccess) = 0;
  virtual HRESULT get_className(BSTR* p) = 0;
  virtual HRESULT get_id(BSTR* p) = 0;
  // In capitals ("BODY"); "!" for comments and the document type.
  virtual HRESULT get_tagName(BSTR* p) = 0;
  // Null for the outermost elements.
  virtual HRESULT get_parentElement(IHTMLElement** p) = 0;
  virtual HRESULT get_document(IDispatch** p) = 0;
  virtual HRESULT get_title(BSTR* p) = 0;
  virtual HRESULT get_language(BSTR* p) = 0;
  virtual HRESULT contains(IHTMLElement* pChild, VARIANT_BOOL* pfResult) = 0;
  // The element's position in the document's `all` collection (-1 for an
  // element not in the document).
  virtual HRESULT get_sourceIndex(LONG* p) = 0;
  // VT_NULL: no element is bound to a data record.
  virtual HRESULT get_recordNumber(VARIANT* p) = 0;
  virtual HRESULT get_lang(BSTR* p) = 0;
  // Documents without a view lay nothing out: the offsets are 0.
  virtual HRESULT get_offsetLeft(LONG* p) = 0;
  virtual HRESULT get_offsetTop(LONG* p) = 0;
  virtual HRESULT get_offsetWidth(LONG* p) = 0;
  virtual HRESULT get_offsetHeight(LONG* p) = 0;
  virtual HRESULT get_offsetParent(IHTMLElement** p) = 0;
  // Markup with tag names in capitals.
  virtual HRESULT get_innerHTML(BSTR* p) = 0;
  // The text, with CR LF between blocks and for line breaks.
  virtual HRESULT get_innerText(BSTR* p) = 0;
  virtual HRESULT get_outerHTML(BSTR* p) = 0;
  virtual HRESULT get_outerText(BSTR* p) = 0;
  virtual HRESULT click() = 0;
  virtual HRESULT toString(BSTR* String) = 0;
  // IHTMLElementCollection of the child elements, resp. of all descendants.
  virtual HRESULT get_children(IDispatch** p) = 0;
  virtual HRESULT get_all(IDispatch** p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLElement, IDispatch, "{3050F1FF-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLElementCollection : IDispatch {
  virtual HRESULT toString(BSTR* String) = 0;
  virtual HRESULT get_length(LONG* p) = 0;
  // A number as `name` gives the element at that position. A string gives the
  // elements whose id or name it is: the one element, or a collection of
  // several, or with a number as `index` the one at that position among them.
  // Nothing found: S_OK with null.
  virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** pdisp) = 0;
  // The elements of one tag name (any case), as a collection.
  virtual HRESULT tags(VARIANT tagName, IDispatch** pdisp) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLElementCollection, IDispatch, "{3050F21F-98B5-11CF-BB82-00AA00BDCE0B}")

// ---------------------------------------------------------------- location

// The parts of the document's address: protocol with its colon ("http:"),
// host with a port that is not the protocol's own, path from "/", search from
// "?" and hash from "#".
struct IHTMLLocation : IDispatch {
  virtual HRESULT get_href(BSTR* p) = 0;
  virtual HRESULT get_protocol(BSTR* p) = 0;
  virtual HRESULT get_host(BSTR* p) = 0;
  virtual HRESULT get_hostname(BSTR* p) = 0;
  virtual HRESULT get_port(BSTR* p) = 0;
  virtual HRESULT get_pathname(BSTR* p) = 0;
  virtual HRESULT get_search(BSTR* p) = 0;
  virtual HRESULT get_hash(BSTR* p) = 0;
  virtual HRESULT toString(BSTR* String) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLLocation, IDispatch, "{163BB1E0-6E00-11CF-837A-48DC04C10000}")

// ---------------------------------------------------------------- elements of particular tags

// A: the address resolved against the document's base; host with its port
// ("example.com:80"); pathname without its leading "/"; protocolLong the
// protocol's name ("HyperText Transfer Protocol"); nameProp the last part of
// the path.
struct IHTMLAnchorElement : IDispatch {
  virtual HRESULT get_href(BSTR* p) = 0;
  virtual HRESULT get_target(BSTR* p) = 0;
  virtual HRESULT get_rel(BSTR* p) = 0;
  virtual HRESULT get_rev(BSTR* p) = 0;
  virtual HRESULT get_urn(BSTR* p) = 0;
  virtual HRESULT get_Methods(BSTR* p) = 0;
  virtual HRESULT get_name(BSTR* p) = 0;
  virtual HRESULT get_host(BSTR* p) = 0;
  virtual HRESULT get_hostname(BSTR* p) = 0;
  virtual HRESULT get_pathname(BSTR* p) = 0;
  virtual HRESULT get_port(BSTR* p) = 0;
  virtual HRESULT get_protocol(BSTR* p) = 0;
  virtual HRESULT get_search(BSTR* p) = 0;
  virtual HRESULT get_hash(BSTR* p) = 0;
  virtual HRESULT get_accessKey(BSTR* p) = 0;
  virtual HRESULT get_protocolLong(BSTR* p) = 0;
  virtual HRESULT get_mimeType(BSTR* p) = 0;
  virtual HRESULT get_nameProp(BSTR* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLAnchorElement, IDispatch, "{3050F1DA-98B5-11CF-BB82-00AA00BDCE0B}")

// IMG: src, lowsrc, vrml, dynsrc and href resolved against the document's
// base. Pictures are not fetched: width and height are the attributes' (0
// without), fileSize is "-1".
struct IHTMLImgElement : IDispatch {
  virtual HRESULT get_isMap(VARIANT_BOOL* p) = 0;
  virtual HRESULT get_useMap(BSTR* p) = 0;
  virtual HRESULT get_fileSize(BSTR* p) = 0;
  virtual HRESULT get_href(BSTR* p) = 0;
  virtual HRESULT get_nameProp(BSTR* p) = 0;
  virtual HRESULT get_border(VARIANT* p) = 0;
  virtual HRESULT get_vspace(LONG* p) = 0;
  virtual HRESULT get_hspace(LONG* p) = 0;
  virtual HRESULT get_alt(BSTR* p) = 0;
  virtual HRESULT get_src(BSTR* p) = 0;
  virtual HRESULT get_lowsrc(BSTR* p) = 0;
  virtual HRESULT get_vrml(BSTR* p) = 0;
  virtual HRESULT get_dynsrc(BSTR* p) = 0;
  // How often a moving picture plays: the attribute, else 1.
  virtual HRESULT get_loop(VARIANT* p) = 0;
  virtual HRESULT get_align(BSTR* p) = 0;
  virtual HRESULT get_name(BSTR* p) = 0;
  virtual HRESULT get_width(LONG* p) = 0;
  virtual HRESULT get_height(LONG* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLImgElement, IDispatch, "{3050F240-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLMetaElement : IDispatch {
  virtual HRESULT get_httpEquiv(BSTR* p) = 0;
  virtual HRESULT get_content(BSTR* p) = 0;
  virtual HRESULT get_name(BSTR* p) = 0;
  virtual HRESULT get_url(BSTR* p) = 0;
  virtual HRESULT get_charset(BSTR* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLMetaElement, IDispatch, "{3050F203-98B5-11CF-BB82-00AA00BDCE0B}")

// SCRIPT: text is the script's source; scripts of windowless documents never run.
struct IHTMLScriptElement : IDispatch {
  virtual HRESULT get_src(BSTR* p) = 0;
  virtual HRESULT get_htmlFor(BSTR* p) = 0;
  virtual HRESULT get_event(BSTR* p) = 0;
  virtual HRESULT get_text(BSTR* p) = 0;
  virtual HRESULT get_defer(VARIANT_BOOL* p) = 0;
  virtual HRESULT get_type(BSTR* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLScriptElement, IDispatch, "{3050F28B-98B5-11CF-BB82-00AA00BDCE0B}")

// FORM: method "get" and encoding "application/x-www-form-urlencoded" unless
// given; elements are the form's controls (INPUT, SELECT, TEXTAREA, BUTTON,
// FIELDSET, OBJECT), length their number.
struct IHTMLFormElement : IDispatch {
  virtual HRESULT get_action(BSTR* p) = 0;
  virtual HRESULT get_dir(BSTR* p) = 0;
  virtual HRESULT get_encoding(BSTR* p) = 0;
  virtual HRESULT get_method(BSTR* p) = 0;
  virtual HRESULT get_elements(IDispatch** p) = 0;
  virtual HRESULT get_target(BSTR* p) = 0;
  virtual HRESULT get_name(BSTR* p) = 0;
  virtual HRESULT get_length(LONG* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLFormElement, IDispatch, "{3050F1F7-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLBodyElement : IDispatch {
  virtual HRESULT get_background(BSTR* p) = 0;
  virtual HRESULT get_bgProperties(BSTR* p) = 0;
  virtual HRESULT get_leftMargin(VARIANT* p) = 0;
  virtual HRESULT get_topMargin(VARIANT* p) = 0;
  virtual HRESULT get_rightMargin(VARIANT* p) = 0;
  virtual HRESULT get_bottomMargin(VARIANT* p) = 0;
  virtual HRESULT get_noWrap(VARIANT_BOOL* p) = 0;
  virtual HRESULT get_bgColor(VARIANT* p) = 0;
  virtual HRESULT get_text(VARIANT* p) = 0;
  virtual HRESULT get_link(VARIANT* p) = 0;
  virtual HRESULT get_vLink(VARIANT* p) = 0;
  virtual HRESULT get_aLink(VARIANT* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLBodyElement, IDispatch, "{3050F1D8-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLFrameSetElement : IDispatch {
  virtual HRESULT get_rows(BSTR* p) = 0;
  virtual HRESULT get_cols(BSTR* p) = 0;
  virtual HRESULT get_border(VARIANT* p) = 0;
  virtual HRESULT get_borderColor(VARIANT* p) = 0;
  virtual HRESULT get_frameBorder(BSTR* p) = 0;
  virtual HRESULT get_frameSpacing(VARIANT* p) = 0;
  virtual HRESULT get_name(BSTR* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLFrameSetElement, IDispatch, "{3050F319-98B5-11CF-BB82-00AA00BDCE0B}")

// BASE: href as written.
struct IHTMLBaseElement : IDispatch {
  virtual HRESULT get_href(BSTR* p) = 0;
  virtual HRESULT get_target(BSTR* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLBaseElement, IDispatch, "{3050F204-98B5-11CF-BB82-00AA00BDCE0B}")

// BASEFONT: size 3 unless given.
struct IHTMLBaseFontElement : IDispatch {
  virtual HRESULT get_color(VARIANT* p) = 0;
  virtual HRESULT get_face(BSTR* p) = 0;
  virtual HRESULT get_size(LONG* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLBaseFontElement, IDispatch, "{3050F202-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLBRElement : IDispatch {
  virtual HRESULT get_clear(BSTR* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLBRElement, IDispatch, "{3050F1F0-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLHRElement : IDispatch {
  virtual HRESULT get_align(BSTR* p) = 0;
  virtual HRESULT get_color(VARIANT* p) = 0;
  virtual HRESULT get_noShade(VARIANT_BOOL* p) = 0;
  virtual HRESULT get_width(VARIANT* p) = 0;
  virtual HRESULT get_size(VARIANT* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLHRElement, IDispatch, "{3050F1F4-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLDivElement : IDispatch {
  virtual HRESULT get_align(BSTR* p) = 0;
  virtual HRESULT get_noWrap(VARIANT_BOOL* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLDivElement, IDispatch, "{3050F200-98B5-11CF-BB82-00AA00BDCE0B}")

struct IHTMLFontElement : IDispatch {
  virtual HRESULT get_color(VARIANT* p) = 0;
  virtual HRESULT get_face(BSTR* p) = 0;
  virtual HRESULT get_size(VARIANT* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLFontElement, IDispatch, "{3050F1D9-98B5-11CF-BB82-00AA00BDCE0B}")

// MARQUEE: unless given, direction "left", behavior "scroll", scrollAmount 6,
// scrollDelay 85, loop -1 (for ever).
struct IHTMLMarqueeElement : IDispatch {
  virtual HRESULT get_bgColor(VARIANT* p) = 0;
  virtual HRESULT get_scrollDelay(LONG* p) = 0;
  virtual HRESULT get_direction(BSTR* p) = 0;
  virtual HRESULT get_behavior(BSTR* p) = 0;
  virtual HRESULT get_scrollAmount(LONG* p) = 0;
  virtual HRESULT get_loop(LONG* p) = 0;
  virtual HRESULT get_vspace(LONG* p) = 0;
  virtual HRESULT get_hspace(LONG* p) = 0;
  virtual HRESULT get_width(VARIANT* p) = 0;
  virtual HRESULT get_height(VARIANT* p) = 0;
  virtual HRESULT get_trueSpeed(VARIANT_BOOL* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLMarqueeElement, IDispatch, "{3050F2B5-98B5-11CF-BB82-00AA00BDCE0B}")

// A comment ("!", text "<!--...-->"; the document type is one too) or a
// COMMENT element (text: its content).
struct IHTMLCommentElement : IDispatch {
  virtual HRESULT get_text(BSTR* p) = 0;
  virtual HRESULT get_atomic(LONG* p) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLCommentElement, IDispatch, "{3050F20C-98B5-11CF-BB82-00AA00BDCE0B}")

// ---------------------------------------------------------------- third document interface

struct IHTMLDocument3 : IDispatch {
  virtual HRESULT get_documentElement(IHTMLElement** p) = 0;
  virtual HRESULT getElementById(BSTR v, IHTMLElement** pel) = 0;
  virtual HRESULT getElementsByTagName(BSTR v, IHTMLElementCollection** pelColl) = 0;
};
NOCTIVANE_DECLARE_IID(IHTMLDocument3, IDispatch, "{3050F485-98B5-11CF-BB82-00AA00BDCE0B}")

// ---------------------------------------------------------------- property notifications

// The sink of an object's IPropertyNotifySink connection point. A document
// calls OnChanged(-525, the ready state) each time its ready state moves.
struct IPropertyNotifySink : IUnknown {
  virtual HRESULT OnChanged(DISPID dispID) = 0;
  virtual HRESULT OnRequestEdit(DISPID dispID) = 0;
};
NOCTIVANE_DECLARE_IID(IPropertyNotifySink, IUnknown, "{9BFBBC02-EFF1-101A-84ED-00AA00341D07}")
