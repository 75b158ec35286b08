// Windowless documents: the tree as the page parser walks it, the element
// interfaces of its tags, IDispatch by name, the ready state through posted
// messages, and loading from streams, files and monikers (a loopback server
// and file URLs), with hostile input.
#include "platform/mshtml/MsHtml.h"

#include "platform/com/Dispatch.h"
#include "platform/shdocvw/ExDisp.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Windows.h"
#include "tests/platform/wininet/Wide.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::LoopbackServer;

namespace {

constexpr UINT kParseDone = WM_USER + 1;  // what the page parser waits for
constexpr UINT kWaitTimedOut = WM_USER + 2;

// A BSTR for the length of a statement or block.
class Bstr {
 public:
  explicit Bstr(const QString& s) : b_(StringToBSTR(s)) {}
  explicit Bstr(const char* s) : Bstr(QString::fromUtf8(s)) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  operator BSTR() const { return b_; }

 private:
  BSTR b_;
};

template <class I>
String Text(I* object, HRESULT (I::*getter)(BSTR*)) {
  BSTR b = nullptr;
  EXPECT_EQ((object->*getter)(&b), S_OK);
  const String s = BSTRToString(b);
  SysFreeString(b);
  return s;
}

template <class I>
LONG Number(I* object, HRESULT (I::*getter)(LONG*)) {
  LONG v = -12345;
  EXPECT_EQ((object->*getter)(&v), S_OK);
  return v;
}

template <class I>
OleVariant Value(I* object, HRESULT (I::*getter)(VARIANT*)) {
  OleVariant v;
  EXPECT_EQ((object->*getter)(v.ClearAndGetAddressOf()), S_OK);
  return v;
}

template <class I>
bool Flag(I* object, HRESULT (I::*getter)(VARIANT_BOOL*)) {
  VARIANT_BOOL v = 7;
  EXPECT_EQ((object->*getter)(&v), S_OK);
  return v != VARIANT_FALSE;
}

ComPtr<IHTMLElementCollection> All(IHTMLDocument2* doc) {
  ComPtr<IHTMLElementCollection> all;
  EXPECT_EQ(doc->get_all(&all), S_OK);
  return all;
}

ComPtr<IHTMLElement> Item(IHTMLElementCollection* c, const OleVariant& name, int index = 0) {
  ComPtr<IDispatch> d;
  EXPECT_EQ(c->item(name, OleVariant(index), &d), S_OK);
  return d ? d.As<IHTMLElement>() : nullptr;
}

std::vector<String> TagNames(IHTMLElementCollection* c) {
  LONG n = 0;
  EXPECT_EQ(c->get_length(&n), S_OK);
  std::vector<String> out;
  for (LONG i = 0; i < n; ++i) out.push_back(Text(Item(c, int(i)).Get(), &IHTMLElement::get_tagName));
  return out;
}

// The first element with this id.
ComPtr<IHTMLElement> ById(IHTMLDocument2* doc, const char* id) {
  ComPtr<IHTMLElement> e;
  const ComPtr<IHTMLDocument3> doc3 = ComPtr<IHTMLDocument2>(doc).As<IHTMLDocument3>();
  EXPECT_EQ(doc3->getElementById(Bstr(id), &e), S_OK);
  return e;
}

ComPtr<IHTMLElement> FirstTag(IHTMLDocument2* doc, const char* tag) {
  ComPtr<IDispatch> tagged;
  EXPECT_EQ(All(doc)->tags(OleVariant(tag), &tagged), S_OK);
  return Item(tagged.As<IHTMLElementCollection>().Get(), 0);
}

OleVariant Call(IDispatch* d, const char* name, WORD flags, const std::vector<OleVariant>& args = {}) {
  DISPID id = 0;
  EXPECT_EQ(DispatchGetIDOfName(d, QString::fromUtf8(name), id), S_OK) << name;
  OleVariant r;
  EXPECT_EQ(DispatchInvoke(d, id, flags, args, &r), S_OK) << name;
  return r;
}

// Records the ready states a document announces.
class ReadyStateSink : public ComObject<IPropertyNotifySink> {
 public:
  explicit ReadyStateSink(IHTMLDocument2* doc) : doc_(doc) {}
  std::vector<String> states;
  int calls = 0;
  HRESULT OnChanged(DISPID dispID) override {
    ++calls;
    if (dispID == DISPID_READYSTATE && doc_) states.push_back(Text(doc_, &IHTMLDocument2::get_readyState));
    return S_OK;
  }
  HRESULT OnRequestEdit(DISPID) override { return E_NOTIMPL; }
  void Forget() { doc_ = nullptr; }

 private:
  IHTMLDocument2* doc_;
};

// A host as the page parser is one: client site, ambient download control,
// and a completion message posted to its own thread.
class ParserSite : public ComObject<IOleClientSite, IPropertyNotifySink, IDispatch> {
 public:
  DWORD downloadControl = 0x0FF0;
  int ambientQueries = 0;
  IHTMLDocument2* doc = nullptr;

  HRESULT SaveObject() override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** ppmk) override {
    *ppmk = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetContainer(IOleContainer** pp) override {
    *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ShowObject() override { return E_NOTIMPL; }
  HRESULT OnShowWindow(BOOL) override { return E_NOTIMPL; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

  HRESULT OnChanged(DISPID dispID) override {
    if (!doc || dispID != DISPID_READYSTATE) return S_OK;
    DISPPARAMS none{};
    OleVariant state;
    if (SUCCEEDED(doc->Invoke(DISPID_READYSTATE, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none,
                              &state, nullptr, nullptr)) &&
        state.toInt() == READYSTATE_COMPLETE)
      PostThreadMessageW(GetCurrentThreadId(), kParseDone, 0, 0);
    return S_OK;
  }
  HRESULT OnRequestEdit(DISPID) override { return E_NOTIMPL; }

  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_DLCONTROL) return DISP_E_MEMBERNOTFOUND;
    ++ambientQueries;
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = LONG(downloadControl);
    return S_OK;
  }
};

// Handles messages as the page parser does until its completion message.
bool WaitForCompletionMessage(int timeoutMs = 10000) {
  const DWORD thread = GetCurrentThreadId();
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [thread] { PostThreadMessageW(thread, kWaitTimedOut, 0, 0); });
  timer.start(timeoutMs);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (!msg.hwnd && msg.message == kParseDone) return true;
    if (!msg.hwnd && msg.message == kWaitTimedOut) return false;
    DispatchMessageW(&msg);
  }
  return false;
}

const char kPage[] =
    "<!DOCTYPE html>\n"
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
    "<title> My \n Page </title>\n"
    "<base href=\"http://example.com/dir/\" target=\"_top\">\n"
    "<script src=\"a.js\" defer>var x = 1 < 2;</script></head>\n"
    "<body bgcolor=\"white\" text=\"#FF0000\" topmargin=\"5\">\n"
    "<!-- note -->\n"
    "<p id=\"first\" class=\"intro\" title=\"T\" lang=\"en\">Hello   <b>bold</b><br>next &amp; line</p>\n"
    "<a href=\"/path/page.html?q=1#frag\" target=\"_blank\" name=\"anchor1\" rel=\"next\">Link</a>\n"
    "<img src=\"pic.png\" alt=\"Picture\" width=\"120\" height=\"40px\" border=\"2\" ismap>\n"
    "<form action=\"/submit\" name=\"f\"><input name=\"q\"><select name=\"s\"><option>1</select>"
    "<textarea name=\"t\"></textarea></form>\n"
    "<div id=\"d\" align=\"center\" nowrap>Div text</div><hr noshade size=\"3\" color=\"blue\" "
    "width=\"50%\">\n"
    "<font color=\"red\" size=\"+1\" face=\"Arial\">F</font><marquee>M</marquee>\n"
    "<table><tr><td>a</td><td>b</td></tr></table>\n"
    "</body></html>\n";

class NativeDocumentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUrlMon();
    InitializeMsHtml();
  }

  static ComPtr<IHTMLDocument2> NewDocument() {
    ComPtr<IHTMLDocument2> doc;
    EXPECT_EQ(CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2, &doc),
              S_OK);
    return doc;
  }

  static void Load(IHTMLDocument2* doc, const QByteArray& html) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateMemoryStream(&stream, html), S_OK);
    ASSERT_EQ(ComPtr<IHTMLDocument2>(doc).As<IPersistStreamInit>()->Load(stream.Get()), S_OK);
  }

  static bool WaitComplete(IHTMLDocument2* doc, int timeoutMs = 10000) {
    return testsupport::waitFor([&] { return Text(doc, &IHTMLDocument2::get_readyState) == "complete"; },
                                timeoutMs);
  }

  // A document loaded from `html` and complete.
  static ComPtr<IHTMLDocument2> Parsed(const QByteArray& html) {
    ComPtr<IHTMLDocument2> doc = NewDocument();
    Load(doc.Get(), html);
    EXPECT_TRUE(WaitComplete(doc.Get()));
    return doc;
  }

  static ComPtr<IHTMLDocument2> LoadUrl(const QString& url, HRESULT expected = S_OK) {
    ComPtr<IHTMLDocument2> doc = NewDocument();
    ComPtr<IMoniker> moniker;
    EXPECT_EQ(CreateURLMonikerEx(nullptr, Wide(url), &moniker, URL_MK_UNIFORM), S_OK);
    ComPtr<IBindCtx> context;
    EXPECT_EQ(CreateBindCtx(0, &context), S_OK);
    EXPECT_EQ(doc.As<IPersistMoniker>()->Load(FALSE, moniker.Get(), context.Get(), 0), expected);
    return doc;
  }
};

// ---------------------------------------------------------------- the tree

TEST_F(NativeDocumentTest, AllListsTheElementsInDocumentOrderWithCapitalNames) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const ComPtr<IHTMLElementCollection> all = All(doc.Get());
  const std::vector<String> expected = {"!",    "HTML",    "HEAD",   "META",   "TITLE",    "BASE", "SCRIPT",
                                        "BODY", "!",       "P",      "B",      "BR",       "A",    "IMG",
                                        "FORM", "INPUT",   "SELECT", "OPTION", "TEXTAREA", "DIV",  "HR",
                                        "FONT", "MARQUEE", "TABLE",  "TBODY",  "TR",       "TD",   "TD"};
  EXPECT_EQ(TagNames(all.Get()), expected);
  for (int i = 0; i < int(expected.size()); ++i)
    EXPECT_EQ(Number(Item(all.Get(), i).Get(), &IHTMLElement::get_sourceIndex), i);

  // The document type and the comment are elements named "!" with their markup.
  EXPECT_EQ(Text(Item(all.Get(), 0).Get(), &IHTMLElement::get_outerHTML), "<!DOCTYPE html>");
  const ComPtr<IHTMLCommentElement> comment = Item(all.Get(), 8).As<IHTMLCommentElement>();
  ASSERT_TRUE(comment);
  EXPECT_EQ(Text(comment.Get(), &IHTMLCommentElement::get_text), "<!-- note -->");
  EXPECT_EQ(Text(Item(all.Get(), 8).Get(), &IHTMLElement::get_innerText), "");

  ComPtr<IHTMLElement> parent;
  EXPECT_EQ(Item(all.Get(), 1)->get_parentElement(&parent), S_OK);
  EXPECT_FALSE(parent);  // HTML has no parent element
  EXPECT_EQ(Item(all.Get(), 9)->get_parentElement(&parent), S_OK);
  EXPECT_EQ(Text(parent.Get(), &IHTMLElement::get_tagName), "BODY");
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_title), "My Page");
}

TEST_F(NativeDocumentTest, ImpliedElementsAndTheEmptyTitleAreAlwaysThere) {
  EXPECT_EQ(TagNames(All(Parsed("<p>Hello").Get()).Get()),
            (std::vector<String>{"HTML", "HEAD", "TITLE", "BODY", "P"}));
  const ComPtr<IHTMLDocument2> empty = Parsed("");
  EXPECT_EQ(TagNames(All(empty.Get()).Get()), (std::vector<String>{"HTML", "HEAD", "TITLE", "BODY"}));
  EXPECT_EQ(Text(empty.Get(), &IHTMLDocument2::get_title), "");
  // A frame document has a FRAMESET for its body.
  const ComPtr<IHTMLDocument2> frames = Parsed(
      "<frameset rows=\"50%,*\" cols=\"*\" border=\"4\"><frame src=\"a.html\" name=\"top\"></frameset>");
  ComPtr<IHTMLElement> body;
  ASSERT_EQ(frames->get_body(&body), S_OK);
  const ComPtr<IHTMLFrameSetElement> frameset = body.As<IHTMLFrameSetElement>();
  ASSERT_TRUE(frameset);
  EXPECT_EQ(Text(frameset.Get(), &IHTMLFrameSetElement::get_rows), "50%,*");
  EXPECT_EQ(Value(frameset.Get(), &IHTMLFrameSetElement::get_border).toInt(), 4);
  OleVariant src, name;
  const ComPtr<IHTMLElement> frame = FirstTag(frames.Get(), "FRAME");
  EXPECT_EQ(frame->getAttribute(Bstr("Src"), 0, src.ClearAndGetAddressOf()), S_OK);
  EXPECT_EQ(src.toString(), "a.html");
  EXPECT_EQ(frame->getAttribute(Bstr("Longdesc"), 0, name.ClearAndGetAddressOf()), S_OK);
  EXPECT_TRUE(name.isNull());
}

TEST_F(NativeDocumentTest, AttributesAreFoundWithoutCaseUnlessAskedAndCanChange) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const ComPtr<IHTMLElement> p = ById(doc.Get(), "first");
  ASSERT_TRUE(p);
  auto attribute = [&](const char* name, LONG flags) {
    OleVariant v;
    EXPECT_EQ(p->getAttribute(Bstr(name), flags, v.ClearAndGetAddressOf()), S_OK);
    return v;
  };
  EXPECT_EQ(attribute("ID", 0).toString(), "first");
  EXPECT_TRUE(attribute("ID", 1).isNull());
  EXPECT_EQ(attribute("className", 0).toString(), "intro");
  EXPECT_TRUE(attribute("missing", 0).isNull());
  EXPECT_EQ(Text(p.Get(), &IHTMLElement::get_className), "intro");
  EXPECT_EQ(Text(p.Get(), &IHTMLElement::get_lang), "en");

  const ComPtr<IPersistStreamInit> persist = doc.As<IPersistStreamInit>();
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  const Bstr name("Data-X");
  EXPECT_EQ(p->setAttribute(name, OleVariant(42), 0), S_OK);
  EXPECT_EQ(attribute("data-x", 0).toString(), "42");
  EXPECT_EQ(persist->IsDirty(), S_OK);
  VARIANT_BOOL removed = VARIANT_FALSE;
  EXPECT_EQ(p->removeAttribute(name, 0, &removed), S_OK);
  EXPECT_EQ(removed, VARIANT_TRUE);
  EXPECT_EQ(p->removeAttribute(name, 0, &removed), S_OK);
  EXPECT_EQ(removed, VARIANT_FALSE);
}

TEST_F(NativeDocumentTest, TagInterfacesAnswerTheirProperties) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const long strings = SysStringLiveCount();

  const ComPtr<IHTMLAnchorElement> a = FirstTag(doc.Get(), "a").As<IHTMLAnchorElement>();
  ASSERT_TRUE(a);
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_href), "http://example.com/path/page.html?q=1#frag");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_target), "_blank");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_rel), "next");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_host), "example.com:80");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_hostname), "example.com");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_pathname), "path/page.html");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_port), "80");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_protocol), "http:");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_search), "?q=1");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_hash), "#frag");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_protocolLong), "HyperText Transfer Protocol");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_nameProp), "page.html");
  EXPECT_EQ(Text(a.Get(), &IHTMLAnchorElement::get_urn), "");

  const ComPtr<IHTMLImgElement> img = FirstTag(doc.Get(), "IMG").As<IHTMLImgElement>();
  ASSERT_TRUE(img);
  EXPECT_EQ(Text(img.Get(), &IHTMLImgElement::get_src), "http://example.com/dir/pic.png");
  EXPECT_EQ(Text(img.Get(), &IHTMLImgElement::get_alt), "Picture");
  EXPECT_EQ(Number(img.Get(), &IHTMLImgElement::get_width), 120);
  EXPECT_EQ(Number(img.Get(), &IHTMLImgElement::get_height), 40);
  EXPECT_EQ(Number(img.Get(), &IHTMLImgElement::get_vspace), 0);
  EXPECT_TRUE(Flag(img.Get(), &IHTMLImgElement::get_isMap));
  EXPECT_EQ(Value(img.Get(), &IHTMLImgElement::get_border).vt, VT_I4);
  EXPECT_EQ(Value(img.Get(), &IHTMLImgElement::get_loop).toInt(), 1);
  EXPECT_EQ(Text(img.Get(), &IHTMLImgElement::get_lowsrc), "");

  const ComPtr<IHTMLMetaElement> meta = FirstTag(doc.Get(), "META").As<IHTMLMetaElement>();
  ASSERT_TRUE(meta);
  EXPECT_EQ(Text(meta.Get(), &IHTMLMetaElement::get_httpEquiv), "Content-Type");
  EXPECT_EQ(Text(meta.Get(), &IHTMLMetaElement::get_content), "text/html; charset=utf-8");

  const ComPtr<IHTMLFormElement> form = FirstTag(doc.Get(), "FORM").As<IHTMLFormElement>();
  ASSERT_TRUE(form);
  EXPECT_EQ(Text(form.Get(), &IHTMLFormElement::get_action), "/submit");
  EXPECT_EQ(Text(form.Get(), &IHTMLFormElement::get_method), "get");
  EXPECT_EQ(Text(form.Get(), &IHTMLFormElement::get_encoding), "application/x-www-form-urlencoded");
  EXPECT_EQ(Number(form.Get(), &IHTMLFormElement::get_length), 3);

  const ComPtr<IHTMLBodyElement> body = FirstTag(doc.Get(), "BODY").As<IHTMLBodyElement>();
  ASSERT_TRUE(body);
  EXPECT_EQ(Value(body.Get(), &IHTMLBodyElement::get_bgColor).toString(), "#ffffff");
  EXPECT_EQ(Value(body.Get(), &IHTMLBodyElement::get_text).toString(), "#ff0000");
  EXPECT_EQ(Value(body.Get(), &IHTMLBodyElement::get_topMargin).toInt(), 5);
  EXPECT_EQ(Value(body.Get(), &IHTMLBodyElement::get_link).toString(), "");
  EXPECT_FALSE(Flag(body.Get(), &IHTMLBodyElement::get_noWrap));

  const ComPtr<IHTMLScriptElement> script = FirstTag(doc.Get(), "SCRIPT").As<IHTMLScriptElement>();
  ASSERT_TRUE(script);
  EXPECT_EQ(Text(script.Get(), &IHTMLScriptElement::get_text), "var x = 1 < 2;");
  EXPECT_EQ(Text(script.Get(), &IHTMLScriptElement::get_src), "a.js");
  EXPECT_TRUE(Flag(script.Get(), &IHTMLScriptElement::get_defer));

  const ComPtr<IHTMLHRElement> hr = FirstTag(doc.Get(), "HR").As<IHTMLHRElement>();
  ASSERT_TRUE(hr);
  EXPECT_TRUE(Flag(hr.Get(), &IHTMLHRElement::get_noShade));
  EXPECT_EQ(Value(hr.Get(), &IHTMLHRElement::get_size).toInt(), 3);
  EXPECT_EQ(Value(hr.Get(), &IHTMLHRElement::get_width).toString(), "50%");
  EXPECT_EQ(Value(hr.Get(), &IHTMLHRElement::get_color).toString(), "#0000ff");

  const ComPtr<IHTMLFontElement> font = FirstTag(doc.Get(), "FONT").As<IHTMLFontElement>();
  ASSERT_TRUE(font);
  EXPECT_EQ(Text(font.Get(), &IHTMLFontElement::get_face), "Arial");
  // Relative to the base font, not size 1.
  EXPECT_EQ(Value(font.Get(), &IHTMLFontElement::get_size).vt, VT_BSTR);
  EXPECT_EQ(Value(font.Get(), &IHTMLFontElement::get_size).toString(), "+1");

  const ComPtr<IHTMLMarqueeElement> marquee = FirstTag(doc.Get(), "MARQUEE").As<IHTMLMarqueeElement>();
  ASSERT_TRUE(marquee);
  EXPECT_EQ(Text(marquee.Get(), &IHTMLMarqueeElement::get_direction), "left");
  EXPECT_EQ(Text(marquee.Get(), &IHTMLMarqueeElement::get_behavior), "scroll");
  EXPECT_EQ(Number(marquee.Get(), &IHTMLMarqueeElement::get_scrollAmount), 6);
  EXPECT_EQ(Number(marquee.Get(), &IHTMLMarqueeElement::get_scrollDelay), 85);
  EXPECT_EQ(Number(marquee.Get(), &IHTMLMarqueeElement::get_loop), -1);

  const ComPtr<IHTMLDivElement> div = FirstTag(doc.Get(), "DIV").As<IHTMLDivElement>();
  ASSERT_TRUE(div);
  EXPECT_EQ(Text(div.Get(), &IHTMLDivElement::get_align), "center");
  EXPECT_TRUE(Flag(div.Get(), &IHTMLDivElement::get_noWrap));

  const ComPtr<IHTMLBaseElement> base = FirstTag(doc.Get(), "BASE").As<IHTMLBaseElement>();
  ASSERT_TRUE(base);
  EXPECT_EQ(Text(base.Get(), &IHTMLBaseElement::get_target), "_top");

  // An element answers only its own tag's interface.
  EXPECT_FALSE(FirstTag(doc.Get(), "IMG").As<IHTMLAnchorElement>());
  EXPECT_FALSE(FirstTag(doc.Get(), "P").As<IHTMLCommentElement>());
  EXPECT_TRUE(FirstTag(doc.Get(), "P").As<IHTMLElement>());
  EXPECT_EQ(SysStringLiveCount(), strings);  // every string handed out was the caller's
}

TEST_F(NativeDocumentTest, MarkupAndTextAreSerialised) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const ComPtr<IHTMLElement> p = ById(doc.Get(), "first");
  EXPECT_EQ(
      Text(p.Get(), &IHTMLElement::get_outerHTML),
      "<P id=\"first\" class=\"intro\" title=\"T\" lang=\"en\">Hello   <B>bold</B><BR>next &amp; line</P>");
  EXPECT_EQ(Text(p.Get(), &IHTMLElement::get_innerHTML), "Hello   <B>bold</B><BR>next &amp; line");
  EXPECT_EQ(Text(p.Get(), &IHTMLElement::get_innerText), "Hello bold\r\nnext & line");
  EXPECT_EQ(Text(p.Get(), &IHTMLElement::get_outerText), "Hello bold\r\nnext & line");
  // Script text stands as written.
  EXPECT_EQ(Text(FirstTag(doc.Get(), "SCRIPT").Get(), &IHTMLElement::get_outerHTML),
            "<SCRIPT src=\"a.js\" defer=\"\">var x = 1 < 2;</SCRIPT>");
  EXPECT_EQ(Text(FirstTag(doc.Get(), "TABLE").Get(), &IHTMLElement::get_innerText), "a\tb");

  ComPtr<IHTMLElement> body;
  ASSERT_EQ(doc->get_body(&body), S_OK);
  EXPECT_EQ(Text(body.Get(), &IHTMLElement::get_innerText),
            "Hello bold\r\nnext & line\r\nLink\r\n1\r\nDiv text\r\nFM\r\na\tb");
  const String html = Text(FirstTag(doc.Get(), "HTML").Get(), &IHTMLElement::get_outerHTML);
  EXPECT_TRUE(html.startsWith("<HTML><HEAD><META http-equiv=")) << html.left(60).toStdString();
  EXPECT_TRUE(html.endsWith("</TABLE>\n\n</BODY></HTML>")) << html.right(60).toStdString();
  EXPECT_EQ(Text(FirstTag(doc.Get(), "IMG").Get(), &IHTMLElement::get_innerHTML), "");

  // Values are escaped in attributes.
  EXPECT_EQ(p->setAttribute(Bstr("title"), OleVariant("a \"b\" & c"), 0), S_OK);
  EXPECT_TRUE(Text(p.Get(), &IHTMLElement::get_outerHTML).contains("title=\"a &quot;b&quot; &amp; c\""));
}

TEST_F(NativeDocumentTest, CollectionsFindByPositionNameAndTag) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const ComPtr<IHTMLElementCollection> all = All(doc.Get());
  EXPECT_EQ(Text(Item(all.Get(), "anchor1").Get(), &IHTMLElement::get_tagName), "A");
  EXPECT_EQ(Text(Item(all.Get(), "d").Get(), &IHTMLElement::get_tagName), "DIV");
  EXPECT_FALSE(Item(all.Get(), "nothing"));
  EXPECT_FALSE(Item(all.Get(), 1000));
  EXPECT_FALSE(Item(all.Get(), -1));
  // The same element is the same object.
  EXPECT_TRUE(IsSameObject(Item(all.Get(), 9).Get(), ById(doc.Get(), "first").Get()));

  ComPtr<IDispatch> cells;
  ASSERT_EQ(all->tags(OleVariant("td"), &cells), S_OK);
  EXPECT_EQ(TagNames(cells.As<IHTMLElementCollection>().Get()), (std::vector<String>{"TD", "TD"}));

  // Several elements of one name give a collection, or one of them by index.
  const ComPtr<IHTMLDocument2> twice = Parsed("<input name=x id=a><input name=x id=b>");
  ComPtr<IDispatch> both;
  ASSERT_EQ(All(twice.Get())->item(OleVariant("x"), OleVariant(), &both), S_OK);
  ASSERT_TRUE(both.As<IHTMLElementCollection>());
  EXPECT_EQ(Text(Item(All(twice.Get()).Get(), "x", 1).Get(), &IHTMLElement::get_id), "b");

  ComPtr<IDispatch> children;
  ASSERT_EQ(ById(doc.Get(), "first")->get_children(&children), S_OK);
  EXPECT_EQ(TagNames(children.As<IHTMLElementCollection>().Get()), (std::vector<String>{"B", "BR"}));
  ComPtr<IDispatch> inForm;
  ASSERT_EQ(FirstTag(doc.Get(), "FORM")->get_all(&inForm), S_OK);
  EXPECT_EQ(TagNames(inForm.As<IHTMLElementCollection>().Get()),
            (std::vector<String>{"INPUT", "SELECT", "OPTION", "TEXTAREA"}));

  ComPtr<IHTMLElementCollection> links, images, forms, anchors, scripts;
  ASSERT_EQ(doc->get_links(&links), S_OK);
  ASSERT_EQ(doc->get_images(&images), S_OK);
  ASSERT_EQ(doc->get_forms(&forms), S_OK);
  ASSERT_EQ(doc->get_anchors(&anchors), S_OK);
  ASSERT_EQ(doc->get_scripts(&scripts), S_OK);
  for (const auto& c : {links, images, forms, anchors, scripts}) EXPECT_EQ(TagNames(c.Get()).size(), 1u);

  VARIANT_BOOL inside = VARIANT_FALSE;
  ComPtr<IHTMLElement> body;
  ASSERT_EQ(doc->get_body(&body), S_OK);
  EXPECT_EQ(body->contains(FirstTag(doc.Get(), "B").Get(), &inside), S_OK);
  EXPECT_EQ(inside, VARIANT_TRUE);
  EXPECT_EQ(FirstTag(doc.Get(), "B")->contains(body.Get(), &inside), S_OK);
  EXPECT_EQ(inside, VARIANT_FALSE);
}

TEST_F(NativeDocumentTest, ObjectsAnswerByNameThroughIDispatch) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const ComPtr<IDispatch> a(FirstTag(doc.Get(), "A").Get());
  EXPECT_EQ(Call(a.Get(), "TAGNAME", DISPATCH_PROPERTYGET).toString(), "A");
  EXPECT_EQ(Call(a.Get(), "href", DISPATCH_PROPERTYGET | DISPATCH_METHOD).toString(),
            "http://example.com/path/page.html?q=1#frag");
  EXPECT_EQ(Call(a.Get(), "sourceIndex", DISPATCH_PROPERTYGET).toInt(), 12);
  EXPECT_EQ(Call(a.Get(), "getAttribute", DISPATCH_METHOD, {"NAME", 0}).toString(), "anchor1");
  EXPECT_TRUE(Call(a.Get(), "recordNumber", DISPATCH_PROPERTYGET).isNull());
  DISPID id = 0;
  EXPECT_EQ(DispatchGetIDOfName(a.Get(), "bgColor", id), DISP_E_UNKNOWNNAME);  // a BODY property
  EXPECT_EQ(DispatchGetIDOfName(FirstTag(doc.Get(), "BODY").Get(), "bgColor", id), S_OK);

  const ComPtr<IDispatch> all(All(doc.Get()).Get());
  OleVariant first;
  ASSERT_EQ(DispatchInvoke(all.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {9}, &first),
            S_OK);
  EXPECT_EQ(Call(first.toDispatch().Get(), "id", DISPATCH_PROPERTYGET).toString(), "first");
  EXPECT_EQ(Call(all.Get(), "length", DISPATCH_PROPERTYGET).toInt(), 28);

  const ComPtr<IDispatch> d(doc.Get());
  EXPECT_EQ(Call(d.Get(), "readyState", DISPATCH_PROPERTYGET).toString(), "complete");
  EXPECT_EQ(Call(d.Get(), "URL", DISPATCH_PROPERTYGET).toString(), "about:blank");
  ASSERT_EQ(DispatchPutProperty(d.Get(), DISPID_IHTMLDOCUMENT2_TITLE, OleVariant("New")), S_OK);
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_title), "New");
  // The stock ready state is the READYSTATE number.
  OleVariant state;
  ASSERT_EQ(DispatchGetProperty(d.Get(), DISPID_READYSTATE, state), S_OK);
  EXPECT_EQ(state.vt, VT_I4);
  EXPECT_EQ(state.toInt(), READYSTATE_COMPLETE);
  // The script object is the window, whose document is this one.
  const OleVariant window = Call(d.Get(), "script", DISPATCH_PROPERTYGET);
  EXPECT_TRUE(IsSameObject(
      Call(window.toDispatch().Get(), "Document", DISPATCH_PROPERTYGET).toUnknown().Get(), doc.Get()));
  EXPECT_EQ(Call(Call(d.Get(), "location", DISPATCH_PROPERTYGET).toDispatch().Get(), "protocol",
                 DISPATCH_PROPERTYGET)
                .toString(),
            "about:");
}

// ---------------------------------------------------------------- ready state

TEST_F(NativeDocumentTest, ReadyStateMovesOnlyThroughPostedMessages) {
  const ComPtr<IHTMLDocument2> doc = NewDocument();
  const ComPtr<ReadyStateSink> sink = MakeCom<ReadyStateSink>(doc.Get());
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(doc.As<IConnectionPointContainer>()->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(sink.Get()), &cookie), S_OK);

  Load(doc.Get(), "<title>T</title><p>x");
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_readyState), "loading");
  EXPECT_EQ(sink->calls, 0);                                    // nothing is announced from inside the load
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_title), "T");  // the tree is there already
  ASSERT_TRUE(WaitComplete(doc.Get()));
  EXPECT_EQ(sink->states, (std::vector<String>{"loading", "interactive", "complete"}));

  // A second load while the first is still announcing replaces it.
  sink->states.clear();
  Load(doc.Get(), "<p>one");
  Load(doc.Get(), "<p>two");
  ASSERT_TRUE(WaitComplete(doc.Get()));
  testsupport::waitFor([] { return false; }, 50);
  EXPECT_EQ(sink->states, (std::vector<String>{"loading", "interactive", "complete"}));
  EXPECT_EQ(Text(FirstTag(doc.Get(), "P").Get(), &IHTMLElement::get_innerText), "two");
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
}

TEST_F(NativeDocumentTest, WrittenHtmlCompletesForAHostThatWaitsAsThePageParser) {
  ComPtr<IHTMLDocument2> doc = NewDocument();
  const ComPtr<ParserSite> site = MakeCom<ParserSite>();
  site->doc = doc.Get();
  ASSERT_EQ(doc.As<IOleObject>()->SetClientSite(site.Get()), S_OK);
  ASSERT_EQ(doc.As<IOleControl>()->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL), S_OK);
  EXPECT_EQ(site->ambientQueries, 2);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(doc.As<IConnectionPointContainer>()->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(site.Get()), &cookie), S_OK);

  // d := document.script.Document; d.Open("text/Html"); d.Clear; d.Write(Html); d.Close
  const OleVariant window = Call(doc.Get(), "script", DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  const OleVariant d = Call(window.toDispatch().Get(), "Document", DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  Call(d.toDispatch().Get(), "Open", DISPATCH_METHOD, {"text/Html"});
  Call(d.toDispatch().Get(), "Clear", DISPATCH_METHOD);
  Call(d.toDispatch().Get(), "Write", DISPATCH_METHOD, {"<html><title>Written</title><body><p>One<p>Two"});
  Call(d.toDispatch().Get(), "Close", DISPATCH_METHOD);
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_readyState), "loading");

  ASSERT_TRUE(WaitForCompletionMessage());
  EXPECT_EQ(TagNames(All(doc.Get()).Get()), (std::vector<String>{"HTML", "HEAD", "TITLE", "BODY", "P", "P"}));
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_title), "Written");
  ComPtr<IOleClientSite> back;
  ASSERT_EQ(doc.As<IOleObject>()->GetClientSite(&back), S_OK);
  EXPECT_TRUE(IsSameObject(back.Get(), site->GetUnknown()));
  ASSERT_EQ(doc.As<IOleObject>()->SetClientSite(nullptr), S_OK);  // lets the site go
  site->doc = nullptr;
}

// ---------------------------------------------------------------- character sets

TEST_F(NativeDocumentTest, SourcesAreDecodedByMarkDeclarationOrUtf8) {
  auto title = [](const ComPtr<IHTMLDocument2>& doc) { return Text(doc.Get(), &IHTMLDocument2::get_title); };
  auto charset = [](const ComPtr<IHTMLDocument2>& doc) {
    return Text(doc.Get(), &IHTMLDocument2::get_charset);
  };

  const ComPtr<IHTMLDocument2> utf8 = Parsed("<title>Caf\xC3\xA9</title>");
  EXPECT_EQ(title(utf8), QString::fromUtf8("Café"));
  EXPECT_EQ(charset(utf8), "utf-8");

  QByteArray utf16("\xFF\xFE");
  const QString source = QString::fromUtf8("<title>Čaj</title>");
  utf16.append(reinterpret_cast<const char*>(source.utf16()), source.size() * 2);
  EXPECT_EQ(title(Parsed(utf16)), QString::fromUtf8("Čaj"));

  const QByteArray latin = "<meta charset=\"windows-1252\"><title>Caf\xE9 \x80</title>";
  const ComPtr<IHTMLDocument2> declared = Parsed(latin);
  EXPECT_EQ(title(declared), QString::fromUtf8("Café €"));
  EXPECT_EQ(charset(declared), "windows-1252");

  // A host that forbids meta character sets gets UTF-8, with the bad bytes replaced.
  const ComPtr<IHTMLDocument2> doc = NewDocument();
  const ComPtr<ParserSite> site = MakeCom<ParserSite>();
  site->downloadControl = DLCTL_NO_METACHARSET;
  ASSERT_EQ(doc.As<IOleObject>()->SetClientSite(site.Get()), S_OK);
  Load(doc.Get(), latin);
  ASSERT_TRUE(WaitComplete(doc.Get()));
  EXPECT_EQ(title(doc), QString::fromUtf8("Caf\uFFFD \uFFFD"));
  EXPECT_EQ(charset(doc), "utf-8");
  doc.As<IOleObject>()->SetClientSite(nullptr);
}

// ---------------------------------------------------------------- monikers

class NativeDocumentMonikerTest : public NativeDocumentTest {
 protected:
  static void SetUpTestSuite() {
    NativeDocumentTest::SetUpTestSuite();
    server_ = new LoopbackServer;
    server_->get("/page.html", [](const HttpRequest&, HttpResponse& res) {
      res.headers.emplace_back("Last-Modified", "Wed, 21 Oct 2015 07:28:00 GMT");
      res.contentType = "text/html; charset=windows-1252";
      res.body =
          "<html><head><title>Caf\xE9</title></head><body><p>x</p><a href=\"next.html\">n</a></body></html>";
    });
    server_->get("/slow", [](const HttpRequest&, HttpResponse& res) {
      server_->hold(600);
      res.body = "<title>late</title>";
    });
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static LoopbackServer* server_;
};

LoopbackServer* NativeDocumentMonikerTest::server_ = nullptr;

TEST_F(NativeDocumentMonikerTest, LoadsFromAServerWithItsCharsetAndDate) {
  const QString url = server_->url("/page.html?x=1");
  const ComPtr<IHTMLDocument2> doc = LoadUrl(url);
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_readyState), "loading");
  ASSERT_TRUE(WaitComplete(doc.Get()));
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_title), QString::fromUtf8("Café"));
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_charset), "windows-1252");
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_URL), url);
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_domain), "127.0.0.1");
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_protocol), "HyperText Transfer Protocol");
  const QDateTime modified(QDate(2015, 10, 21), QTime(7, 28), Qt::UTC);
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_lastModified),
            modified.toLocalTime().toString("MM/dd/yyyy HH:mm:ss"));
  EXPECT_EQ(TagNames(All(doc.Get()).Get()), (std::vector<String>{"HTML", "HEAD", "TITLE", "BODY", "P", "A"}));

  ComPtr<IHTMLLocation> location;
  ASSERT_EQ(doc->get_location(&location), S_OK);
  EXPECT_EQ(Text(location.Get(), &IHTMLLocation::get_pathname), "/page.html");
  EXPECT_EQ(Text(location.Get(), &IHTMLLocation::get_search), "?x=1");
  EXPECT_EQ(Text(location.Get(), &IHTMLLocation::get_host), QString("127.0.0.1:%1").arg(server_->port()));
  EXPECT_EQ(Text(location.Get(), &IHTMLLocation::get_hash), "");
  // Relative addresses resolve against the document's.
  EXPECT_EQ(Text(FirstTag(doc.Get(), "A").As<IHTMLAnchorElement>().Get(), &IHTMLAnchorElement::get_href),
            server_->url("/next.html"));
}

TEST_F(NativeDocumentMonikerTest, LoadsFromAFileUrl) {
  const QString path = testsupport::profileDir() + "/mshtml-native/page.htm";
  ASSERT_TRUE(testsupport::writeFile(path, "<title>On disk</title><p>text"));
  const QString url = QUrl::fromLocalFile(path).toString();
  const ComPtr<IHTMLDocument2> doc = LoadUrl(url);
  ASSERT_TRUE(WaitComplete(doc.Get()));
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_title), "On disk");
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_URL), url);
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_fileSize), "29");
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_fileModifiedDate),
            QFileInfo(path).lastModified().toString("MM/dd/yyyy"));
  EXPECT_EQ(Text(doc.Get(), &IHTMLDocument2::get_protocol), "File Protocol");
}

TEST_F(NativeDocumentMonikerTest, AnAddressThatCannotBeReachedCompletesEmpty) {
  LoopbackServer closed;
  closed.start();
  const QString url = closed.url("/gone");
  closed.stop();
  const ComPtr<IHTMLDocument2> doc = LoadUrl(url, S_OK);
  ASSERT_TRUE(WaitComplete(doc.Get()));
  LONG length = 0;
  EXPECT_EQ(All(doc.Get())->get_length(&length), S_OK);
  EXPECT_EQ(length, 4);  // what the page parser calls a bad document
}

TEST_F(NativeDocumentMonikerTest, ADocumentReleasedWhileLoadingIsLetGo) {
  ComPtr<IHTMLDocument2> doc = LoadUrl(server_->url("/slow"));
  const ComPtr<ReadyStateSink> sink = MakeCom<ReadyStateSink>(nullptr);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(doc.As<IConnectionPointContainer>()->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(sink.Get()), &cookie), S_OK);
  point = nullptr;
  doc = nullptr;  // the binding is still waiting for the server
  testsupport::waitFor([] { return false; }, 1200);
  EXPECT_EQ(sink->calls, 0);

  // A stream load with its messages still queued.
  doc = NewDocument();
  ASSERT_EQ(doc.As<IConnectionPointContainer>()->FindConnectionPoint(IID_IPropertyNotifySink, &point), S_OK);
  ASSERT_EQ(point->Advise(static_cast<IPropertyNotifySink*>(sink.Get()), &cookie), S_OK);
  point = nullptr;
  Load(doc.Get(), "<p>x");
  doc = nullptr;
  testsupport::waitFor([] { return false; }, 100);
  EXPECT_EQ(sink->calls, 0);
}

// ---------------------------------------------------------------- hostile input

TEST_F(NativeDocumentTest, MalformedDeepAndInvalidInputParses) {
  QByteArray source(
      "<p>ab\xC3\x28"
      "cd\x80</p><<<>>><div <a href='x' <b></i></table>");
  source.append('\0');
  source.append("</p><!--");
  const ComPtr<IHTMLDocument2> broken = Parsed(source);
  ComPtr<IHTMLElement> body;
  ASSERT_EQ(broken->get_body(&body), S_OK);
  EXPECT_TRUE(Text(body.Get(), &IHTMLElement::get_innerText).contains(QChar(0xFFFD)));

  // Deeper than any call stack could walk.
  const int depth = 150000;
  QByteArray deep;
  for (int i = 0; i < depth; ++i) deep += "<span>";
  deep += "bottom";
  const ComPtr<IHTMLDocument2> doc = Parsed(deep);
  LONG length = 0;
  ASSERT_EQ(All(doc.Get())->get_length(&length), S_OK);
  EXPECT_EQ(length, depth + 4);
  ASSERT_EQ(doc->get_body(&body), S_OK);
  EXPECT_EQ(Text(body.Get(), &IHTMLElement::get_innerText), "bottom");
  const String markup = Text(body.Get(), &IHTMLElement::get_outerHTML);
  EXPECT_EQ(markup.size(), 6 + depth * 13 + 6 + 7);
  const ComPtr<IHTMLElement> last = Item(All(doc.Get()).Get(), int(length - 1));
  VARIANT_BOOL inside = VARIANT_FALSE;
  EXPECT_EQ(body->contains(last.Get(), &inside), S_OK);
  EXPECT_EQ(inside, VARIANT_TRUE);
}

TEST_F(NativeDocumentTest, AHugeDocumentLoads) {
  QByteArray html = "<html><body>";
  const QByteArray paragraph = "<p class=\"x\">Paragraph text with a <a href=\"/n\">link</a> in it.</p>\n";
  const int count = 3 * 1024 * 1024 / paragraph.size();
  for (int i = 0; i < count; ++i) html += paragraph;
  QElapsedTimer timer;
  timer.start();
  const ComPtr<IHTMLDocument2> doc = Parsed(html);
  LONG length = 0;
  ASSERT_EQ(All(doc.Get())->get_length(&length), S_OK);
  EXPECT_EQ(length, 4 + 2 * count);
  ComPtr<IHTMLElementCollection> links;
  ASSERT_EQ(doc->get_links(&links), S_OK);
  ASSERT_EQ(links->get_length(&length), S_OK);
  EXPECT_EQ(length, count);
}

// ---------------------------------------------------------------- persistence

TEST_F(NativeDocumentTest, SavedMarkupLoadsBackToTheSameTree) {
  const ComPtr<IHTMLDocument2> doc = Parsed(kPage);
  const ComPtr<IPersistStreamInit> persist = doc.As<IPersistStreamInit>();
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateMemoryStream(&stream), S_OK);
  ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
  QByteArray saved;
  ASSERT_EQ(GetStreamBytes(stream.Get(), saved), S_OK);
  std::uint64_t size = 0;
  ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
  EXPECT_EQ(size, std::uint64_t(saved.size()));
  EXPECT_TRUE(saved.startsWith("<!DOCTYPE html>\r\n<HTML><HEAD>"));
  EXPECT_EQ(TagNames(All(Parsed(saved).Get()).Get()), TagNames(All(doc.Get()).Get()));

  // A file of its own.
  const QString path = testsupport::profileDir() + "/mshtml-native/saved.htm";
  ASSERT_TRUE(ForceDirectories(ExtractFileDir(path)));
  const ComPtr<IPersistFile> file = doc.As<IPersistFile>();
  ASSERT_EQ(file->Save(Wide(path), TRUE), S_OK);
  EXPECT_EQ(testsupport::readFile(path), saved);
  LPOLESTR current = nullptr;
  ASSERT_EQ(file->GetCurFile(&current), S_OK);
  EXPECT_EQ(OleStrToString(current), path);
  CoTaskMemFree(current);

  const ComPtr<IHTMLDocument2> reloaded = NewDocument();
  ASSERT_EQ(reloaded.As<IPersistFile>()->Load(Wide(path), STGM_READ), S_OK);
  ASSERT_TRUE(WaitComplete(reloaded.Get()));
  EXPECT_EQ(Text(reloaded.Get(), &IHTMLDocument2::get_title), "My Page");
  EXPECT_EQ(Text(reloaded.Get(), &IHTMLDocument2::get_URL), QUrl::fromLocalFile(path).toString());
  EXPECT_EQ(reloaded.As<IPersistFile>()->Load(Wide(path + ".missing"), STGM_READ), STG_E_FILENOTFOUND);

  const ComPtr<IHTMLDocument2> fresh = NewDocument();
  ASSERT_EQ(fresh.As<IPersistStreamInit>()->InitNew(), S_OK);
  ASSERT_TRUE(WaitComplete(fresh.Get()));
  EXPECT_EQ(TagNames(All(fresh.Get()).Get()).size(), 4u);
  VARIANT_BOOL done = VARIANT_TRUE;
  EXPECT_EQ(fresh->execCommand(Bstr("Bold"), VARIANT_FALSE, OleVariant(), &done), E_NOTIMPL);
}

}  // namespace
