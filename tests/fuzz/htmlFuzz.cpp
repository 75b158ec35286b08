// HTML of any bytes in a windowless document, walked through `all` the way
// the page parser walks a page: every element with its common properties,
// the properties of its tag's own interface, its markup and its text.
#include "platform/com/Streams.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/urlmon/UrlMon.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QElapsedTimer>

using fuzzsupport::Check;

namespace {

void Drop(BSTR& v) { SysFreeString(v); }
void Drop(VARIANT& v) { VariantClear(&v); }
void Drop(LONG&) {}
void Drop(VARIANT_BOOL&) {}
template <class I>
void Drop(I*& v) {
  if (v) v->Release();
}

// Reads one property and lets its value go.
template <class I, class V>
void Read(I* object, HRESULT (I::*getter)(V*)) {
  V value{};
  if constexpr (std::is_same_v<V, VARIANT>) VariantInit(&value);
  (object->*getter)(&value);
  Drop(value);
}

template <class I, class... Getters>
void ReadAs(IHTMLElement* element, Getters... getters) {
  const ComPtr<I> tag = ComPtr<IHTMLElement>(element).As<I>();
  if (!tag) return;
  (Read(tag.Get(), getters), ...);
}

void WalkElement(IHTMLElement* e, LONG index, LONG count) {
  using E = IHTMLElement;
  Read(e, &E::get_className);
  Read(e, &E::get_id);
  Read(e, &E::get_tagName);
  Read(e, &E::get_parentElement);
  Read(e, &E::get_title);
  Read(e, &E::get_language);
  Read(e, &E::get_lang);
  Read(e, &E::get_recordNumber);
  Read(e, &E::get_offsetParent);
  Read(e, &E::get_innerHTML);
  Read(e, &E::get_innerText);
  Read(e, &E::get_outerHTML);
  Read(e, &E::get_outerText);
  Read(e, &E::get_children);
  Read(e, &E::get_all);
  LONG source = -2;
  e->get_sourceIndex(&source);
  Check(source == index, "sourceIndex is the position in all",
        QStringLiteral("%1 at %2 of %3").arg(source).arg(index).arg(count));
  BSTR name = StringToBSTR(QStringLiteral("href"));
  VARIANT value;
  VariantInit(&value);
  e->getAttribute(name, 0, &value);
  VariantClear(&value);
  SysFreeString(name);

  ReadAs<IHTMLAnchorElement>(
      e, &IHTMLAnchorElement::get_href, &IHTMLAnchorElement::get_target, &IHTMLAnchorElement::get_rel,
      &IHTMLAnchorElement::get_rev, &IHTMLAnchorElement::get_urn, &IHTMLAnchorElement::get_Methods,
      &IHTMLAnchorElement::get_name, &IHTMLAnchorElement::get_host, &IHTMLAnchorElement::get_hostname,
      &IHTMLAnchorElement::get_pathname, &IHTMLAnchorElement::get_port, &IHTMLAnchorElement::get_protocol,
      &IHTMLAnchorElement::get_search, &IHTMLAnchorElement::get_hash, &IHTMLAnchorElement::get_accessKey,
      &IHTMLAnchorElement::get_protocolLong, &IHTMLAnchorElement::get_mimeType,
      &IHTMLAnchorElement::get_nameProp);
  using Img = IHTMLImgElement;
  ReadAs<Img>(e, &Img::get_isMap, &Img::get_useMap, &Img::get_fileSize, &Img::get_href, &Img::get_nameProp,
              &Img::get_border, &Img::get_vspace, &Img::get_hspace, &Img::get_alt, &Img::get_src,
              &Img::get_lowsrc, &Img::get_vrml, &Img::get_dynsrc, &Img::get_loop, &Img::get_align,
              &Img::get_name, &Img::get_width, &Img::get_height);
  using Meta = IHTMLMetaElement;
  ReadAs<Meta>(e, &Meta::get_httpEquiv, &Meta::get_content, &Meta::get_name, &Meta::get_url,
               &Meta::get_charset);
  using Script = IHTMLScriptElement;
  ReadAs<Script>(e, &Script::get_src, &Script::get_htmlFor, &Script::get_event, &Script::get_text,
                 &Script::get_defer, &Script::get_type);
  using Form = IHTMLFormElement;
  ReadAs<Form>(e, &Form::get_action, &Form::get_dir, &Form::get_encoding, &Form::get_method,
               &Form::get_elements, &Form::get_target, &Form::get_name, &Form::get_length);
  using Body = IHTMLBodyElement;
  ReadAs<Body>(e, &Body::get_background, &Body::get_bgProperties, &Body::get_leftMargin, &Body::get_topMargin,
               &Body::get_rightMargin, &Body::get_bottomMargin, &Body::get_noWrap, &Body::get_bgColor,
               &Body::get_text, &Body::get_link, &Body::get_vLink, &Body::get_aLink);
  using FrameSet = IHTMLFrameSetElement;
  ReadAs<FrameSet>(e, &FrameSet::get_rows, &FrameSet::get_cols, &FrameSet::get_border,
                   &FrameSet::get_borderColor, &FrameSet::get_frameBorder, &FrameSet::get_frameSpacing,
                   &FrameSet::get_name);
  ReadAs<IHTMLBaseElement>(e, &IHTMLBaseElement::get_href, &IHTMLBaseElement::get_target);
  ReadAs<IHTMLBaseFontElement>(e, &IHTMLBaseFontElement::get_color, &IHTMLBaseFontElement::get_face,
                               &IHTMLBaseFontElement::get_size);
  ReadAs<IHTMLBRElement>(e, &IHTMLBRElement::get_clear);
  ReadAs<IHTMLHRElement>(e, &IHTMLHRElement::get_align, &IHTMLHRElement::get_color,
                         &IHTMLHRElement::get_noShade, &IHTMLHRElement::get_width, &IHTMLHRElement::get_size);
  ReadAs<IHTMLDivElement>(e, &IHTMLDivElement::get_align, &IHTMLDivElement::get_noWrap);
  ReadAs<IHTMLFontElement>(e, &IHTMLFontElement::get_color, &IHTMLFontElement::get_face,
                           &IHTMLFontElement::get_size);
  using Marquee = IHTMLMarqueeElement;
  ReadAs<Marquee>(e, &Marquee::get_bgColor, &Marquee::get_scrollDelay, &Marquee::get_direction,
                  &Marquee::get_behavior, &Marquee::get_scrollAmount, &Marquee::get_loop,
                  &Marquee::get_vspace, &Marquee::get_hspace, &Marquee::get_width, &Marquee::get_height,
                  &Marquee::get_trueSpeed);
  ReadAs<IHTMLCommentElement>(e, &IHTMLCommentElement::get_text, &IHTMLCommentElement::get_atomic);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(false);
  InitializeUrlMon();
  InitializeMsHtml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ComPtr<IHTMLDocument2> doc;
  Check(SUCCEEDED(CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2,
                                   reinterpret_cast<void**>(doc.GetAddressOf()))),
        "a document is made");
  ComPtr<IStream> stream;
  CreateMemoryStream(stream.GetAddressOf(), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  Check(SUCCEEDED(doc.As<IPersistStreamInit>()->Load(stream.Get())), "any bytes load");

  // The ready state moves on through posted messages.
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    BSTR state = nullptr;
    doc->get_readyState(&state);
    const bool complete = BSTRToString(state) == QLatin1String("complete");
    SysFreeString(state);
    if (complete) break;
    Check(timer.elapsed() < 10000, "the document completes");
    QCoreApplication::processEvents();
  }

  Read(doc.Get(), &IHTMLDocument2::get_title);
  Read(doc.Get(), &IHTMLDocument2::get_body);
  ComPtr<IHTMLElementCollection> all;
  Check(doc->get_all(all.GetAddressOf()) == S_OK && all, "the document has all");
  LONG count = 0;
  all->get_length(&count);
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IDispatch> item;
    VARIANT name, index;
    VariantInit(&name);
    VariantInit(&index);
    name.vt = VT_I4;
    name.lVal = i;
    all->item(name, index, item.GetAddressOf());
    Check(bool(item), "every position of all holds an element");
    ComPtr<IHTMLElement> element = item.As<IHTMLElement>();
    Check(bool(element), "every item is an element");
    WalkElement(element.Get(), i, count);
  }
  return 0;
}
