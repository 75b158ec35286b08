#include "platform/mshtml/NativeElements.h"

#include "platform/com/TableDispatch.h"

#include <QColor>

#include <optional>

namespace nativedom {

using namespace comdisp;

namespace {

HRESULT Out(BSTR* p, const String& s) {
  if (!p) return E_POINTER;
  *p = StringToBSTR(s);
  return S_OK;
}

HRESULT Out(BSTR* p, QStringView s) {
  if (!p) return E_POINTER;
  *p = SysAllocStringLen(reinterpret_cast<LPCOLESTR>(s.utf16()), UINT(s.size()));
  return S_OK;
}

HRESULT Out(LONG* p, LONG v) {
  if (!p) return E_POINTER;
  *p = v;
  return S_OK;
}

HRESULT Out(VARIANT_BOOL* p, bool v) {
  if (!p) return E_POINTER;
  *p = v ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

template <class I>
HRESULT Out(I** p, ComPtr<I> v) {
  if (!p) return E_POINTER;
  *p = v.Detach();
  return S_OK;
}

// The leading whole number of an attribute ("100px" gives 100).
std::optional<LONG> LeadingNumber(const String& value) {
  const String v = value.trimmed();
  qsizetype end = 0;
  if (end < v.size() && (v[end] == u'-' || v[end] == u'+')) ++end;
  const qsizetype digits = end;
  while (end < v.size() && v[end].isDigit() && end - digits < 9) ++end;
  if (end == digits) return std::nullopt;
  return LONG(v.left(end).toInt());
}

// A colour as "#rrggbb" when it is a colour name or number; else as written.
String NormalColor(const String& value) {
  const String v = value.trimmed();
  if (v.isEmpty()) return v;
  if (v.startsWith(u'#') || QColor::isValidColorName(v)) {
    const QColor c = QColor::fromString(v);
    if (c.isValid()) return c.name();
  }
  return v;
}

bool IsNumberType(VARTYPE vt) {
  switch (vt & VT_TYPEMASK) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8: return true;
    default: return false;
  }
}

// A numeric variant as a position.
bool ToIndex(const VARIANT& v, LONG& out) {
  OleVariant value;
  if (FAILED(VariantCopyInd(&value, &v)) || !IsNumberType(value.vt)) return false;
  if (FAILED(VariantChangeType(&value, &value, 0, VT_I4))) return false;
  out = value.lVal;
  return true;
}

// The attribute an attribute call means: "className" and "htmlFor" are the
// property names of class and for.
String AttributeName(BSTR name) {
  const String n = BSTRToString(name);
  if (n.compare(QLatin1String("className"), Qt::CaseInsensitive) == 0) return QStringLiteral("class");
  if (n.compare(QLatin1String("htmlFor"), Qt::CaseInsensitive) == 0) return QStringLiteral("for");
  return n;
}

bool IsFormControl(const Node* n) {
  return n->is("INPUT") || n->is("SELECT") || n->is("TEXTAREA") || n->is("BUTTON") || n->is("FIELDSET") ||
         n->is("OBJECT");
}

// ---------------------------------------------------------------- elements

// The interfaces of particular tags, and the tags that answer them.
struct TagInterface {
  const IID* iid;
  const char* tag;
  const char* otherTag;
};
const TagInterface kTagInterfaces[] = {
    {&IID_IHTMLAnchorElement, "A", nullptr},
    {&IID_IHTMLImgElement, "IMG", nullptr},
    {&IID_IHTMLMetaElement, "META", nullptr},
    {&IID_IHTMLScriptElement, "SCRIPT", nullptr},
    {&IID_IHTMLFormElement, "FORM", nullptr},
    {&IID_IHTMLBodyElement, "BODY", nullptr},
    {&IID_IHTMLFrameSetElement, "FRAMESET", nullptr},
    {&IID_IHTMLBaseElement, "BASE", nullptr},
    {&IID_IHTMLBaseFontElement, "BASEFONT", nullptr},
    {&IID_IHTMLBRElement, "BR", nullptr},
    {&IID_IHTMLHRElement, "HR", nullptr},
    {&IID_IHTMLDivElement, "DIV", nullptr},
    {&IID_IHTMLFontElement, "FONT", nullptr},
    {&IID_IHTMLMarqueeElement, "MARQUEE", nullptr},
    {&IID_IHTMLCommentElement, "!", "COMMENT"},
};

class ElementObject final
    : public TableDispatch<ElementObject, IHTMLElement, IHTMLAnchorElement, IHTMLImgElement, IHTMLMetaElement,
                           IHTMLScriptElement, IHTMLFormElement, IHTMLBodyElement, IHTMLFrameSetElement,
                           IHTMLBaseElement, IHTMLBaseFontElement, IHTMLBRElement, IHTMLHRElement,
                           IHTMLDivElement, IHTMLFontElement, IHTMLMarqueeElement, IHTMLCommentElement> {
 public:
  ElementObject(std::shared_ptr<Tree> tree, Node* node, IDispatch* document)
      : TableDispatch(kCommonTable, TagTable(*node)),
        tree_(std::move(tree)),
        node_(node),
        document_(document) {
    node_->wrapper = this;
  }

  Node* node() const { return node_; }

  // Answers the interface of the element's tag only.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    for (const TagInterface& t : kTagInterfaces) {
      if (riid != *t.iid) continue;
      if (node_->tag == QLatin1String(t.tag) || (t.otherTag && node_->tag == QLatin1String(t.otherTag)))
        break;
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return TableDispatch::QueryInterface(riid, ppv);
  }

  // ---- IHTMLElement
  HRESULT setAttribute(BSTR strAttributeName, VARIANT AttributeValue, LONG lFlags) override {
    const String name = AttributeName(strAttributeName);
    if (name.isEmpty() || node_->kind != NodeKind::Element) return E_INVALIDARG;
    const bool exact = lFlags & ATTRFLAG_CASESENSITIVE;
    const String value = TextOf(AttributeValue);
    if (Attribute* a = node_->findAttribute(name, exact))
      a->value = value;
    else
      node_->attributes.push_back({exact ? name : LowerCase(name), value});
    tree_->changed();
    return S_OK;
  }
  HRESULT getAttribute(BSTR strAttributeName, LONG lFlags, VARIANT* AttributeValue) override {
    if (!AttributeValue) return E_POINTER;
    VariantInit(AttributeValue);
    const Attribute* a =
        node_->findAttribute(AttributeName(strAttributeName), lFlags & ATTRFLAG_CASESENSITIVE);
    if (!a) {
      AttributeValue->vt = VT_NULL;
      return S_OK;
    }
    AttributeValue->vt = VT_BSTR;
    AttributeValue->bstrVal = StringToBSTR(a->value);
    return S_OK;
  }
  HRESULT removeAttribute(BSTR strAttributeName, LONG lFlags, VARIANT_BOOL* pfSuccess) override {
    const Attribute* a =
        node_->findAttribute(AttributeName(strAttributeName), lFlags & ATTRFLAG_CASESENSITIVE);
    if (a) {
      node_->attributes.erase(node_->attributes.begin() + (a - node_->attributes.data()));
      tree_->changed();
    }
    return pfSuccess ? Out(pfSuccess, a != nullptr) : S_OK;
  }
  HRESULT get_className(BSTR* p) override { return attr(p, "class"); }
  HRESULT get_id(BSTR* p) override { return attr(p, "id"); }
  HRESULT get_tagName(BSTR* p) override { return Out(p, node_->tag); }
  HRESULT get_parentElement(IHTMLElement** p) override {
    Node* parent = node_->parent;
    return Out(p, parent && parent->kind == NodeKind::Element ? ElementOf(tree_, parent, document_.Get())
                                                              : ComPtr<IHTMLElement>());
  }
  HRESULT get_document(IDispatch** p) override { return Out(p, document_); }
  HRESULT get_title(BSTR* p) override { return attr(p, "title"); }
  HRESULT get_language(BSTR* p) override { return attr(p, "language"); }
  HRESULT contains(IHTMLElement* pChild, VARIANT_BOOL* pfResult) override {
    const auto* child = dynamic_cast<ElementObject*>(pChild);
    bool found = false;
    for (const Node* n = child ? child->node_ : nullptr; n && !found; n = n->parent) found = n == node_;
    return Out(pfResult, found);
  }
  HRESULT get_sourceIndex(LONG* p) override { return Out(p, LONG(node_->sourceIndex)); }
  HRESULT get_recordNumber(VARIANT* p) override {
    if (!p) return E_POINTER;
    VariantInit(p);
    p->vt = VT_NULL;
    return S_OK;
  }
  HRESULT get_lang(BSTR* p) override { return attr(p, "lang"); }
  HRESULT get_offsetLeft(LONG* p) override { return Out(p, 0); }
  HRESULT get_offsetTop(LONG* p) override { return Out(p, 0); }
  HRESULT get_offsetWidth(LONG* p) override { return Out(p, 0); }
  HRESULT get_offsetHeight(LONG* p) override { return Out(p, 0); }
  HRESULT get_offsetParent(IHTMLElement** p) override { return Out(p, ComPtr<IHTMLElement>()); }
  // A walk reads these for every element: they come from the tree's cache.
  HRESULT get_innerHTML(BSTR* p) override {
    String spare;
    return Out(p, CachedInnerHtml(*tree_, node_, spare));
  }
  HRESULT get_innerText(BSTR* p) override {
    String spare;
    return Out(p, CachedInnerText(*tree_, node_, spare));
  }
  HRESULT get_outerHTML(BSTR* p) override {
    String spare;
    return Out(p, CachedOuterHtml(*tree_, node_, spare));
  }
  HRESULT get_outerText(BSTR* p) override { return get_innerText(p); }
  HRESULT click() override { return S_OK; }
  HRESULT toString(BSTR* p) override {
    return node_->is("A") ? get_href(p) : Out(p, QStringLiteral("[object]"));
  }
  HRESULT get_children(IDispatch** p) override {
    std::vector<Node*> children;
    for (Node* c : node_->children)
      if (c->isElement()) children.push_back(c);
    return Out(p, ComPtr<IDispatch>(NewCollection(tree_, std::move(children), document_.Get())));
  }
  HRESULT get_all(IDispatch** p) override {
    return Out(p, ComPtr<IDispatch>(NewCollection(tree_, Descendants(node_), document_.Get())));
  }

  // ---- properties shared by several tags
  HRESULT get_name(BSTR* p) override { return attr(p, "name"); }
  HRESULT get_target(BSTR* p) override { return attr(p, "target"); }
  HRESULT get_align(BSTR* p) override { return attr(p, "align"); }
  HRESULT get_href(BSTR* p) override {
    if (node_->is("BASE")) return attr(p, "href");
    return url(p, node_->is("IMG") ? "src" : "href");
  }
  HRESULT get_src(BSTR* p) override { return node_->is("IMG") ? url(p, "src") : attr(p, "src"); }
  HRESULT get_text(BSTR* p) override {
    if (node_->kind != NodeKind::Element) return Out(p, node_->text);  // comment: its markup
    return Out(p, node_->is("COMMENT") ? InnerHtml(node_) : TextContent(node_));
  }
  HRESULT get_nameProp(BSTR* p) override { return Out(p, UrlFileName(address())); }
  HRESULT get_color(VARIANT* p) override { return color(p, "color"); }
  HRESULT get_bgColor(VARIANT* p) override { return color(p, "bgcolor"); }
  HRESULT get_width(LONG* p) override { return number(p, "width", 0); }
  HRESULT get_width(VARIANT* p) override { return variant(p, "width"); }
  HRESULT get_height(LONG* p) override { return number(p, "height", 0); }
  HRESULT get_height(VARIANT* p) override { return variant(p, "height"); }
  HRESULT get_size(LONG* p) override { return number(p, "size", 3); }
  HRESULT get_size(VARIANT* p) override { return variant(p, "size"); }
  HRESULT get_border(VARIANT* p) override { return variant(p, "border"); }
  HRESULT get_vspace(LONG* p) override { return number(p, "vspace", 0); }
  HRESULT get_hspace(LONG* p) override { return number(p, "hspace", 0); }
  HRESULT get_loop(VARIANT* p) override { return variant(p, "loop", 1); }
  HRESULT get_loop(LONG* p) override { return number(p, "loop", -1); }
  HRESULT get_noWrap(VARIANT_BOOL* p) override { return flag(p, "nowrap"); }
  HRESULT get_face(BSTR* p) override { return attr(p, "face"); }

  // ---- IHTMLAnchorElement
  HRESULT get_rel(BSTR* p) override { return attr(p, "rel"); }
  HRESULT get_rev(BSTR* p) override { return attr(p, "rev"); }
  HRESULT get_urn(BSTR* p) override { return attr(p, "urn"); }
  HRESULT get_Methods(BSTR* p) override { return attr(p, "methods"); }
  HRESULT get_host(BSTR* p) override {
    const QUrl u = address();
    const int port = UrlEffectivePort(u);
    return Out(p, u.host().isEmpty() || port < 0 ? u.host() : u.host() + u':' + IntToStr(port));
  }
  HRESULT get_hostname(BSTR* p) override { return Out(p, address().host()); }
  HRESULT get_pathname(BSTR* p) override {
    const QUrl u = address();
    String path = u.isEmpty() ? String() : UrlPathname(u);
    if (path.startsWith(u'/')) path.remove(0, 1);
    return Out(p, path);
  }
  HRESULT get_port(BSTR* p) override {
    const QUrl u = address();
    const int port = u.isEmpty() ? -1 : UrlEffectivePort(u);
    return Out(p, port < 0 ? String() : IntToStr(port));
  }
  HRESULT get_protocol(BSTR* p) override { return Out(p, UrlProtocol(address())); }
  HRESULT get_search(BSTR* p) override { return Out(p, UrlSearch(address())); }
  HRESULT get_hash(BSTR* p) override { return Out(p, UrlHash(address())); }
  HRESULT get_accessKey(BSTR* p) override { return attr(p, "accesskey"); }
  HRESULT get_protocolLong(BSTR* p) override {
    const QUrl u = address();
    return Out(p, u.isEmpty() ? String() : UrlProtocolName(u));
  }
  HRESULT get_mimeType(BSTR* p) override { return Out(p, String()); }

  // ---- IHTMLImgElement
  HRESULT get_isMap(VARIANT_BOOL* p) override { return flag(p, "ismap"); }
  HRESULT get_useMap(BSTR* p) override { return attr(p, "usemap"); }
  HRESULT get_fileSize(BSTR* p) override { return Out(p, QStringLiteral("-1")); }
  HRESULT get_alt(BSTR* p) override { return attr(p, "alt"); }
  HRESULT get_lowsrc(BSTR* p) override { return url(p, "lowsrc"); }
  HRESULT get_vrml(BSTR* p) override { return url(p, "vrml"); }
  HRESULT get_dynsrc(BSTR* p) override { return url(p, "dynsrc"); }

  // ---- IHTMLMetaElement
  HRESULT get_httpEquiv(BSTR* p) override { return attr(p, "http-equiv"); }
  HRESULT get_content(BSTR* p) override { return attr(p, "content"); }
  HRESULT get_url(BSTR* p) override { return attr(p, "url"); }
  HRESULT get_charset(BSTR* p) override { return attr(p, "charset"); }

  // ---- IHTMLScriptElement
  HRESULT get_htmlFor(BSTR* p) override { return attr(p, "for"); }
  HRESULT get_event(BSTR* p) override { return attr(p, "event"); }
  HRESULT get_defer(VARIANT_BOOL* p) override { return flag(p, "defer"); }
  HRESULT get_type(BSTR* p) override { return attr(p, "type"); }

  // ---- IHTMLFormElement
  HRESULT get_action(BSTR* p) override { return attr(p, "action"); }
  HRESULT get_dir(BSTR* p) override { return attr(p, "dir"); }
  HRESULT get_encoding(BSTR* p) override {
    const String v = node_->attribute(QStringLiteral("enctype"));
    return Out(p, v.isEmpty() ? QStringLiteral("application/x-www-form-urlencoded") : LowerCase(v));
  }
  HRESULT get_method(BSTR* p) override {
    const String v = LowerCase(node_->attribute(QStringLiteral("method")).trimmed());
    return Out(p, v.isEmpty() ? QStringLiteral("get") : v);
  }
  HRESULT get_elements(IDispatch** p) override {
    return Out(p, ComPtr<IDispatch>(NewCollection(tree_, controls(), document_.Get())));
  }
  HRESULT get_length(LONG* p) override { return Out(p, LONG(controls().size())); }

  // ---- IHTMLBodyElement
  HRESULT get_background(BSTR* p) override { return attr(p, "background"); }
  HRESULT get_bgProperties(BSTR* p) override { return attr(p, "bgproperties"); }
  HRESULT get_leftMargin(VARIANT* p) override { return variant(p, "leftmargin"); }
  HRESULT get_topMargin(VARIANT* p) override { return variant(p, "topmargin"); }
  HRESULT get_rightMargin(VARIANT* p) override { return variant(p, "rightmargin"); }
  HRESULT get_bottomMargin(VARIANT* p) override { return variant(p, "bottommargin"); }
  HRESULT get_text(VARIANT* p) override { return color(p, "text"); }
  HRESULT get_link(VARIANT* p) override { return color(p, "link"); }
  HRESULT get_vLink(VARIANT* p) override { return color(p, "vlink"); }
  HRESULT get_aLink(VARIANT* p) override { return color(p, "alink"); }

  // ---- IHTMLFrameSetElement
  HRESULT get_rows(BSTR* p) override { return attr(p, "rows"); }
  HRESULT get_cols(BSTR* p) override { return attr(p, "cols"); }
  HRESULT get_borderColor(VARIANT* p) override { return color(p, "bordercolor"); }
  HRESULT get_frameBorder(BSTR* p) override { return attr(p, "frameborder"); }
  HRESULT get_frameSpacing(VARIANT* p) override { return variant(p, "framespacing"); }

  // ---- IHTMLBRElement, IHTMLHRElement
  HRESULT get_clear(BSTR* p) override { return attr(p, "clear"); }
  HRESULT get_noShade(VARIANT_BOOL* p) override { return flag(p, "noshade"); }

  // ---- IHTMLMarqueeElement
  HRESULT get_scrollDelay(LONG* p) override { return number(p, "scrolldelay", 85); }
  HRESULT get_direction(BSTR* p) override { return attr(p, "direction", "left"); }
  HRESULT get_behavior(BSTR* p) override { return attr(p, "behavior", "scroll"); }
  HRESULT get_scrollAmount(LONG* p) override { return number(p, "scrollamount", 6); }
  HRESULT get_trueSpeed(VARIANT_BOOL* p) override { return flag(p, "truespeed"); }

  // ---- IHTMLCommentElement
  HRESULT get_atomic(LONG* p) override { return Out(p, 0); }

 protected:
  ~ElementObject() override { node_->wrapper = nullptr; }

 private:
  static const DispTable<ElementObject> kCommonTable;
  // The members of the element's own tag.
  static DispTable<ElementObject> TagTable(const Node& node);

  HRESULT attr(BSTR* p, const char* name, const char* absent = "") const {
    const Attribute* a = node_->findAttribute(QLatin1String(name));
    return Out(p, a ? a->value : String::fromLatin1(absent));
  }
  // The attribute as an address resolved against the document's base.
  HRESULT url(BSTR* p, const char* name) const {
    const Attribute* a = node_->findAttribute(QLatin1String(name));
    return Out(p, a ? tree_->resolve(a->value) : String());
  }
  HRESULT number(LONG* p, const char* name, LONG absent) const {
    return Out(p, LeadingNumber(node_->attribute(QLatin1String(name))).value_or(absent));
  }
  HRESULT flag(VARIANT_BOOL* p, const char* name) const {
    return Out(p, node_->hasAttribute(QLatin1String(name)));
  }
  HRESULT variant(VARIANT* p, const char* name, std::optional<LONG> absent = std::nullopt) const {
    if (!p) return E_POINTER;
    VariantInit(p);
    const Attribute* a = node_->findAttribute(QLatin1String(name));
    // A signed value ("+1" for a font) is relative, so it stays text.
    const String v = a ? a->value.trimmed() : String();
    bool whole = false;
    const LONG n = !a ? absent.value_or(0) : !v.isEmpty() && v[0].isDigit() ? v.toInt(&whole) : 0;
    if (whole || (!a && absent)) {
      p->vt = VT_I4;
      p->lVal = n;
    } else {
      p->vt = VT_BSTR;
      p->bstrVal = StringToBSTR(a ? a->value : String());
    }
    return S_OK;
  }
  HRESULT color(VARIANT* p, const char* name) const {
    if (!p) return E_POINTER;
    VariantInit(p);
    p->vt = VT_BSTR;
    p->bstrVal = StringToBSTR(NormalColor(node_->attribute(QLatin1String(name))));
    return S_OK;
  }
  // The address of an anchor (or the source of a picture), resolved.
  // The element's address; an anchor's dozen address parts read it in turn,
  // so it is resolved once per tree generation.
  const QUrl& address() const {
    if (addressGeneration_ != tree_->generation) {
      const char* name = node_->is("IMG") ? "src" : "href";
      const Attribute* a = node_->findAttribute(QLatin1String(name));
      address_ = a ? QUrl(tree_->resolve(a->value)) : QUrl();
      addressGeneration_ = tree_->generation;
    }
    return address_;
  }
  std::vector<Node*> controls() const {
    std::vector<Node*> out;
    for (Node* n : Descendants(node_))
      if (IsFormControl(n)) out.push_back(n);
    return out;
  }

  std::shared_ptr<Tree> tree_;
  Node* node_;
  ComPtr<IDispatch> document_;
  mutable QUrl address_;
  mutable unsigned addressGeneration_ = 0;
};

// ---- dispatch tables

using Self = ElementObject;

HRESULT InvokeGetAttribute(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (ArgCount(params) < 1) return DISP_E_BADPARAMCOUNT;
  const OwnedBstr name(StringToBSTR(ArgText(params, 0)));
  OleVariant value;
  const HRESULT hr = self.getAttribute(name.get(), ArgLong(params, 1, 0), value.ClearAndGetAddressOf());
  if (SUCCEEDED(hr) && result) value.Detach(result);
  return hr;
}

HRESULT InvokeSetAttribute(Self& self, WORD flags, DISPPARAMS* params, VARIANT*) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (ArgCount(params) < 2) return DISP_E_BADPARAMCOUNT;
  const OwnedBstr name(StringToBSTR(ArgText(params, 0)));
  const HRESULT hr = self.setAttribute(name.get(), Arg(params, 1), ArgLong(params, 2, 0));
  return hr;
}

HRESULT InvokeRemoveAttribute(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (ArgCount(params) < 1) return DISP_E_BADPARAMCOUNT;
  const OwnedBstr name(StringToBSTR(ArgText(params, 0)));
  VARIANT_BOOL removed = VARIANT_FALSE;
  const HRESULT hr = self.removeAttribute(name.get(), ArgLong(params, 1, 0), &removed);
  if (SUCCEEDED(hr)) SetResult(result, removed);
  return hr;
}

HRESULT InvokeContains(Self& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  const ComPtr<IDispatch> other = ArgObject(params, 0);
  const ComPtr<IHTMLElement> element = other ? other.As<IHTMLElement>() : nullptr;
  VARIANT_BOOL inside = VARIANT_FALSE;
  const HRESULT hr = self.contains(element.Get(), &inside);
  if (SUCCEEDED(hr)) SetResult(result, inside);
  return hr;
}

HRESULT InvokeClick(Self& self, WORD flags, DISPPARAMS*, VARIANT*) {
  return flags & DISPATCH_METHOD ? self.click() : DISP_E_MEMBERNOTFOUND;
}

HRESULT InvokeToString(Self& self, WORD flags, DISPPARAMS*, VARIANT* result) {
  if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
  BSTR text = nullptr;
  const HRESULT hr = self.toString(&text);
  if (SUCCEEDED(hr)) SetResult(result, text);
  return hr;
}

const DispMember<Self> kCommonMembers[] = {
    DISP_GET(IHTMLElement, className),     DISP_GET(IHTMLElement, id),
    DISP_GET(IHTMLElement, tagName),       DISP_GET(IHTMLElement, parentElement),
    DISP_GET(IHTMLElement, document),      DISP_GET(IHTMLElement, title),
    DISP_GET(IHTMLElement, language),      DISP_GET(IHTMLElement, sourceIndex),
    DISP_GET(IHTMLElement, recordNumber),  DISP_GET(IHTMLElement, lang),
    DISP_GET(IHTMLElement, offsetLeft),    DISP_GET(IHTMLElement, offsetTop),
    DISP_GET(IHTMLElement, offsetWidth),   DISP_GET(IHTMLElement, offsetHeight),
    DISP_GET(IHTMLElement, offsetParent),  DISP_GET(IHTMLElement, innerHTML),
    DISP_GET(IHTMLElement, innerText),     DISP_GET(IHTMLElement, outerHTML),
    DISP_GET(IHTMLElement, outerText),     DISP_GET(IHTMLElement, children),
    DISP_GET(IHTMLElement, all),           {"getAttribute", &InvokeGetAttribute},
    {"setAttribute", &InvokeSetAttribute}, {"removeAttribute", &InvokeRemoveAttribute},
    {"contains", &InvokeContains},         {"click", &InvokeClick},
    {"toString", &InvokeToString},
};
const DispTable<Self> ElementObject::kCommonTable{kCommonMembers, 1000};

const DispMember<Self> kAnchorMembers[] = {
    DISP_GET(IHTMLAnchorElement, href),      DISP_GET(IHTMLAnchorElement, target),
    DISP_GET(IHTMLAnchorElement, rel),       DISP_GET(IHTMLAnchorElement, rev),
    DISP_GET(IHTMLAnchorElement, urn),       DISP_GET(IHTMLAnchorElement, Methods),
    DISP_GET(IHTMLAnchorElement, name),      DISP_GET(IHTMLAnchorElement, host),
    DISP_GET(IHTMLAnchorElement, hostname),  DISP_GET(IHTMLAnchorElement, pathname),
    DISP_GET(IHTMLAnchorElement, port),      DISP_GET(IHTMLAnchorElement, protocol),
    DISP_GET(IHTMLAnchorElement, search),    DISP_GET(IHTMLAnchorElement, hash),
    DISP_GET(IHTMLAnchorElement, accessKey), DISP_GET(IHTMLAnchorElement, protocolLong),
    DISP_GET(IHTMLAnchorElement, mimeType),  DISP_GET(IHTMLAnchorElement, nameProp),
};
const DispMember<Self> kImgMembers[] = {
    DISP_GET(IHTMLImgElement, isMap),    DISP_GET(IHTMLImgElement, useMap),
    DISP_GET(IHTMLImgElement, fileSize), DISP_GET(IHTMLImgElement, href),
    DISP_GET(IHTMLImgElement, nameProp), DISP_GET(IHTMLImgElement, border),
    DISP_GET(IHTMLImgElement, vspace),   DISP_GET(IHTMLImgElement, hspace),
    DISP_GET(IHTMLImgElement, alt),      DISP_GET(IHTMLImgElement, src),
    DISP_GET(IHTMLImgElement, lowsrc),   DISP_GET(IHTMLImgElement, vrml),
    DISP_GET(IHTMLImgElement, dynsrc),   DISP_GET(IHTMLImgElement, loop),
    DISP_GET(IHTMLImgElement, align),    DISP_GET(IHTMLImgElement, name),
    DISP_GET(IHTMLImgElement, width),    DISP_GET(IHTMLImgElement, height),
};
const DispMember<Self> kMetaMembers[] = {
    DISP_GET(IHTMLMetaElement, httpEquiv), DISP_GET(IHTMLMetaElement, content),
    DISP_GET(IHTMLMetaElement, name),      DISP_GET(IHTMLMetaElement, url),
    DISP_GET(IHTMLMetaElement, charset),
};
const DispMember<Self> kScriptMembers[] = {
    DISP_GET(IHTMLScriptElement, src),   DISP_GET(IHTMLScriptElement, htmlFor),
    DISP_GET(IHTMLScriptElement, event), DISP_GET(IHTMLScriptElement, text),
    DISP_GET(IHTMLScriptElement, defer), DISP_GET(IHTMLScriptElement, type),
};
const DispMember<Self> kFormMembers[] = {
    DISP_GET(IHTMLFormElement, action),   DISP_GET(IHTMLFormElement, dir),
    DISP_GET(IHTMLFormElement, encoding), DISP_GET(IHTMLFormElement, method),
    DISP_GET(IHTMLFormElement, elements), DISP_GET(IHTMLFormElement, target),
    DISP_GET(IHTMLFormElement, name),     DISP_GET(IHTMLFormElement, length),
};
const DispMember<Self> kBodyMembers[] = {
    DISP_GET(IHTMLBodyElement, background),  DISP_GET(IHTMLBodyElement, bgProperties),
    DISP_GET(IHTMLBodyElement, leftMargin),  DISP_GET(IHTMLBodyElement, topMargin),
    DISP_GET(IHTMLBodyElement, rightMargin), DISP_GET(IHTMLBodyElement, bottomMargin),
    DISP_GET(IHTMLBodyElement, noWrap),      DISP_GET(IHTMLBodyElement, bgColor),
    DISP_GET(IHTMLBodyElement, text),        DISP_GET(IHTMLBodyElement, link),
    DISP_GET(IHTMLBodyElement, vLink),       DISP_GET(IHTMLBodyElement, aLink),
};
const DispMember<Self> kFrameSetMembers[] = {
    DISP_GET(IHTMLFrameSetElement, rows),        DISP_GET(IHTMLFrameSetElement, cols),
    DISP_GET(IHTMLFrameSetElement, border),      DISP_GET(IHTMLFrameSetElement, borderColor),
    DISP_GET(IHTMLFrameSetElement, frameBorder), DISP_GET(IHTMLFrameSetElement, frameSpacing),
    DISP_GET(IHTMLFrameSetElement, name),
};
const DispMember<Self> kBaseMembers[] = {
    DISP_GET(IHTMLBaseElement, href),
    DISP_GET(IHTMLBaseElement, target),
};
const DispMember<Self> kBaseFontMembers[] = {
    DISP_GET(IHTMLBaseFontElement, color),
    DISP_GET(IHTMLBaseFontElement, face),
    DISP_GET(IHTMLBaseFontElement, size),
};
const DispMember<Self> kBRMembers[] = {DISP_GET(IHTMLBRElement, clear)};
const DispMember<Self> kHRMembers[] = {
    DISP_GET(IHTMLHRElement, align), DISP_GET(IHTMLHRElement, color), DISP_GET(IHTMLHRElement, noShade),
    DISP_GET(IHTMLHRElement, width), DISP_GET(IHTMLHRElement, size),
};
const DispMember<Self> kDivMembers[] = {
    DISP_GET(IHTMLDivElement, align),
    DISP_GET(IHTMLDivElement, noWrap),
};
const DispMember<Self> kFontMembers[] = {
    DISP_GET(IHTMLFontElement, color),
    DISP_GET(IHTMLFontElement, face),
    DISP_GET(IHTMLFontElement, size),
};
const DispMember<Self> kMarqueeMembers[] = {
    DISP_GET(IHTMLMarqueeElement, bgColor),      DISP_GET(IHTMLMarqueeElement, scrollDelay),
    DISP_GET(IHTMLMarqueeElement, direction),    DISP_GET(IHTMLMarqueeElement, behavior),
    DISP_GET(IHTMLMarqueeElement, scrollAmount), DISP_GET(IHTMLMarqueeElement, loop),
    DISP_GET(IHTMLMarqueeElement, vspace),       DISP_GET(IHTMLMarqueeElement, hspace),
    DISP_GET(IHTMLMarqueeElement, width),        DISP_GET(IHTMLMarqueeElement, height),
    DISP_GET(IHTMLMarqueeElement, trueSpeed),
};
const DispMember<Self> kCommentMembers[] = {
    DISP_GET(IHTMLCommentElement, text),
    DISP_GET(IHTMLCommentElement, atomic),
};

DispTable<ElementObject> ElementObject::TagTable(const Node& node) {
  struct TagTable {
    const char* tag;
    std::span<const DispMember<Self>> members;
  };
  static const TagTable kTables[] = {
      {"A", kAnchorMembers},
      {"IMG", kImgMembers},
      {"META", kMetaMembers},
      {"SCRIPT", kScriptMembers},
      {"FORM", kFormMembers},
      {"BODY", kBodyMembers},
      {"FRAMESET", kFrameSetMembers},
      {"BASE", kBaseMembers},
      {"BASEFONT", kBaseFontMembers},
      {"BR", kBRMembers},
      {"HR", kHRMembers},
      {"DIV", kDivMembers},
      {"FONT", kFontMembers},
      {"MARQUEE", kMarqueeMembers},
      {"!", kCommentMembers},
      {"COMMENT", kCommentMembers},
  };
  for (const TagTable& t : kTables)
    if (node.tag == QLatin1String(t.tag)) return {t.members, 2000};
  return {};
}

// ---------------------------------------------------------------- collections

class CollectionObject final : public TableDispatch<CollectionObject, IHTMLElementCollection> {
 public:
  CollectionObject(std::shared_ptr<Tree> tree, std::vector<Node*> nodes, IDispatch* document)
      : TableDispatch(kTable), tree_(std::move(tree)), nodes_(std::move(nodes)), document_(document) {}

  // ---- IHTMLElementCollection
  HRESULT toString(BSTR* p) override { return Out(p, QStringLiteral("[object]")); }
  HRESULT get_length(LONG* p) override { return Out(p, LONG(nodes_.size())); }
  HRESULT item(VARIANT name, VARIANT index, IDispatch** pdisp) override {
    if (!pdisp) return E_POINTER;
    *pdisp = nullptr;
    LONG i = 0;
    if (ToIndex(name, i)) {
      if (i >= 0 && size_t(i) < nodes_.size()) *pdisp = element(nodes_[size_t(i)]).Detach();
      return S_OK;
    }
    OleVariant key;
    VariantCopyInd(&key, &name);
    if (key.vt != VT_BSTR) return S_OK;
    const String wanted = BSTRToString(key.bstrVal);
    std::vector<Node*> found;
    for (Node* n : nodes_)
      if (n->attribute(QStringLiteral("id")).compare(wanted, Qt::CaseInsensitive) == 0 ||
          n->attribute(QStringLiteral("name")).compare(wanted, Qt::CaseInsensitive) == 0)
        found.push_back(n);
    if (ToIndex(index, i)) {
      if (i >= 0 && size_t(i) < found.size()) *pdisp = element(found[size_t(i)]).Detach();
    } else if (found.size() == 1) {
      *pdisp = element(found.front()).Detach();
    } else if (found.size() > 1) {
      *pdisp = NewCollection(tree_, std::move(found), document_.Get()).Detach();
    }
    return S_OK;
  }
  HRESULT tags(VARIANT tagName, IDispatch** pdisp) override {
    if (!pdisp) return E_POINTER;
    *pdisp = NewCollection(tree_, WithTag(nodes_, TextOf(tagName)), document_.Get()).Detach();
    return S_OK;
  }

 private:
  static HRESULT InvokeItem(CollectionObject& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    IDispatch* found = nullptr;
    const HRESULT hr = self.item(Arg(params, 0), Arg(params, 1), &found);
    if (SUCCEEDED(hr)) SetResult(result, found);
    return hr;
  }
  static HRESULT InvokeTags(CollectionObject& self, WORD flags, DISPPARAMS* params, VARIANT* result) {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    IDispatch* found = nullptr;
    const HRESULT hr = self.tags(Arg(params, 0), &found);
    if (SUCCEEDED(hr)) SetResult(result, found);
    return hr;
  }
  static HRESULT InvokeToString(CollectionObject& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    BSTR text = nullptr;
    self.toString(&text);
    SetResult(result, text);
    return S_OK;
  }
  using Self = CollectionObject;
  static constexpr DispMember<Self> kMembers[] = {
      {"item", &InvokeItem, DISPID_VALUE},
      DISP_GET(IHTMLElementCollection, length),
      {"tags", &InvokeTags},
      {"toString", &InvokeToString},
  };
  static constexpr DispTable<Self> kTable{kMembers, 1000};

  ComPtr<IDispatch> element(Node* n) const { return ComPtr<IDispatch>(ElementOf(tree_, n, document_.Get())); }

  std::shared_ptr<Tree> tree_;
  std::vector<Node*> nodes_;
  ComPtr<IDispatch> document_;
};

// ---------------------------------------------------------------- location

class LocationObject final : public TableDispatch<LocationObject, IHTMLLocation> {
 public:
  explicit LocationObject(QUrl url) : TableDispatch(kTable), url_(std::move(url)) {}

  HRESULT get_href(BSTR* p) override { return Out(p, url_.toString(QUrl::FullyEncoded)); }
  HRESULT get_protocol(BSTR* p) override { return Out(p, UrlProtocol(url_)); }
  HRESULT get_host(BSTR* p) override {
    const String port = ownPort();
    return Out(p, port.isEmpty() ? url_.host() : url_.host() + u':' + port);
  }
  HRESULT get_hostname(BSTR* p) override { return Out(p, url_.host()); }
  HRESULT get_port(BSTR* p) override { return Out(p, ownPort()); }
  HRESULT get_pathname(BSTR* p) override { return Out(p, UrlPathname(url_)); }
  HRESULT get_search(BSTR* p) override { return Out(p, UrlSearch(url_)); }
  HRESULT get_hash(BSTR* p) override { return Out(p, UrlHash(url_)); }
  HRESULT toString(BSTR* p) override { return get_href(p); }

 private:
  using Self = LocationObject;
  static constexpr DispMember<Self> kMembers[] = {
      {"href", &Get<&IHTMLLocation::get_href, Self>, DISPID_VALUE},
      DISP_GET(IHTMLLocation, protocol),
      DISP_GET(IHTMLLocation, host),
      DISP_GET(IHTMLLocation, hostname),
      DISP_GET(IHTMLLocation, port),
      DISP_GET(IHTMLLocation, pathname),
      DISP_GET(IHTMLLocation, search),
      DISP_GET(IHTMLLocation, hash),
  };
  static constexpr DispTable<Self> kTable{kMembers, 1000};

  // The port when the address names one other than its scheme's usual one.
  String ownPort() const {
    const int port = url_.port();
    return port < 0 || port == UrlDefaultPort(url_) ? String() : IntToStr(port);
  }

  QUrl url_;
};

}  // namespace

ComPtr<IHTMLElement> ElementOf(const std::shared_ptr<Tree>& tree, Node* node, IDispatch* document) {
  if (!node || !node->isElement()) return nullptr;
  if (node->wrapper) return ComPtr<IHTMLElement>(node->wrapper);
  return ComPtr<IHTMLElement>(new ElementObject(tree, node, document));
}

ComPtr<IHTMLElementCollection> NewCollection(const std::shared_ptr<Tree>& tree, std::vector<Node*> nodes,
                                             IDispatch* document) {
  return ComPtr<IHTMLElementCollection>(new CollectionObject(tree, std::move(nodes), document));
}

ComPtr<IHTMLLocation> NewLocation(const QUrl& url) { return ComPtr<IHTMLLocation>(new LocationObject(url)); }

std::vector<Node*> WithTag(const std::vector<Node*>& nodes, const String& tag) {
  std::vector<Node*> out;
  for (Node* n : nodes)
    if (n->tag.compare(tag, Qt::CaseInsensitive) == 0) out.push_back(n);
  return out;
}

std::vector<Node*> Descendants(const Node* node) {
  std::vector<Node*> out;
  std::vector<Node*> stack(node->children.rbegin(), node->children.rend());
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (!n->isElement()) continue;
    out.push_back(n);
    stack.insert(stack.end(), n->children.rbegin(), n->children.rend());
  }
  return out;
}

}  // namespace nativedom
