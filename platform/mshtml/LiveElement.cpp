#include "platform/mshtml/LiveElement.h"

#include "platform/com/TableDispatch.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/mshtml/Log_p.h"

#include <QPointer>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

// The handles of a document live in the bridge's script world, keyed by a
// token of that document, so a handle never finds an element of a later one.
const char kHandles[] =
    "(window.__noctivaneLive || (window.__noctivaneLive ="
    " {k: Math.random().toString(36).slice(2), n: 0, m: new Map()}))";

// Markup as the windowless documents write it: tag names in capitals,
// attributes quoted, text escaped except inside raw-text elements.
const char kMarkup[] =
    "(function (top, withTop) {"
    "  var VOID = /^(AREA|BASE|BASEFONT|BGSOUND|BR|COL|EMBED|FRAME|HR|IMG|INPUT|ISINDEX|KEYGEN|LINK|META|"
    "PARAM|SOURCE|TRACK|WBR)$/;"
    "  var RAW = /^(SCRIPT|STYLE|XMP|IFRAME|NOEMBED|NOFRAMES|PLAINTEXT)$/;"
    "  function esc(s, attr) {"
    "    s = s.replace(/&/g, '&amp;').replace(/\\u00a0/g, '&nbsp;');"
    "    return attr ? s.replace(/\"/g, '&quot;') : s.replace(/</g, '&lt;').replace(/>/g, '&gt;');"
    "  }"
    "  function kids(e) {"
    "    var s = '', raw = e.nodeType == 1 && RAW.test(e.tagName.toUpperCase());"
    "    for (var c = e.firstChild; c; c = c.nextSibling) s += node(c, raw);"
    "    return s;"
    "  }"
    "  function node(c, raw) {"
    "    if (c.nodeType == 3) return raw ? c.data : esc(c.data, false);"
    "    if (c.nodeType == 8) return '<!--' + c.data + '-->';"
    "    if (c.nodeType != 1) return '';"
    "    var t = c.tagName.toUpperCase(), s = '<' + t;"
    "    for (var i = 0; i < c.attributes.length; i++)"
    "      s += ' ' + c.attributes[i].name + '=\"' + esc(c.attributes[i].value, true) + '\"';"
    "    s += '>';"
    "    return VOID.test(t) ? s : s + kids(c) + '</' + t + '>';"
    "  }"
    "  return withTop ? node(top, false) : kids(top);"
    "})";

const char kText[] =
    "(function (e) {"
    "  var t = e.innerText === undefined ? e.textContent : e.innerText;"
    "  return (t || '').replace(/\\r?\\n/g, '\\r\\n');"
    "})";

// Registers an element with the handles `L` and answers its handle, ''
// for no element.
const char kRegister[] =
    "(function (L, e) {"
    "  if (!e) return '';"
    "  var h = L.k + '-' + (++L.n);"
    "  L.m.set(h, e);"
    "  return h;"
    "})";

// Finds an element and answers a handle to it, '' when there is none.
QString handleScript(const QString& find) {
  return QStringLiteral("(function () { var L = %1; return %2(L, (function () { %3 })()); })()")
      .arg(QLatin1String(kHandles), QLatin1String(kRegister), find);
}

bool isHandle(const QString& h) {
  static const QRegularExpression form(QStringLiteral("^[0-9a-z]+-[0-9]+$"));
  return form.match(h).hasMatch();
}

ComPtr<IHTMLElement> newLiveElement(QWebEnginePage* page, const QString& handle);

class LiveElement final : public comdisp::TableDispatch<LiveElement, IHTMLElement> {
 public:
  LiveElement(QWebEnginePage* page, const QString& handle)
      : TableDispatch(kTable), page_(page), handle_(handle) {}
  ~LiveElement() override {
    // The page forgets the handle; nothing waits for that.
    if (page_)
      page_->runJavaScript(QStringLiteral("(function () { var L = window.__noctivaneLive;"
                                          " if (L) L.m.delete('%1'); })()")
                               .arg(handle_),
                           QWebEngineScript::ApplicationWorld);
  }

  HRESULT setAttribute(BSTR, VARIANT, LONG) override { return E_NOTIMPL; }
  HRESULT getAttribute(BSTR, LONG, VARIANT* p) override {
    if (p) VariantInit(p);
    return E_NOTIMPL;
  }
  HRESULT removeAttribute(BSTR, LONG, VARIANT_BOOL* p) override {
    if (p) *p = VARIANT_FALSE;
    return E_NOTIMPL;
  }
  HRESULT get_className(BSTR* p) override { return text(QStringLiteral("e.getAttribute('class') || ''"), p); }
  HRESULT get_id(BSTR* p) override { return text(QStringLiteral("e.id || ''"), p); }
  HRESULT get_tagName(BSTR* p) override { return text(QStringLiteral("e.tagName.toUpperCase()"), p); }
  HRESULT get_parentElement(IHTMLElement** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    QVariant v;
    if (HRESULT hr = read(QLatin1String(kRegister) + QStringLiteral("(L, e.parentElement)"), v); FAILED(hr))
      return hr;
    *p = newLiveElement(page_, v.toString()).Detach();
    return S_OK;
  }
  HRESULT get_document(IDispatch** p) override { return none(p); }
  HRESULT get_title(BSTR* p) override { return text(QStringLiteral("e.title || ''"), p); }
  HRESULT get_language(BSTR* p) override {
    return text(QStringLiteral("e.getAttribute('language') || ''"), p);
  }
  HRESULT contains(IHTMLElement*, VARIANT_BOOL* p) override {
    if (p) *p = VARIANT_FALSE;
    return E_NOTIMPL;
  }
  HRESULT get_sourceIndex(LONG* p) override { return none(p); }
  HRESULT get_recordNumber(VARIANT* p) override {
    if (!p) return E_POINTER;
    VariantInit(p);
    p->vt = VT_NULL;
    return S_OK;
  }
  HRESULT get_lang(BSTR* p) override { return text(QStringLiteral("e.lang || ''"), p); }
  HRESULT get_offsetLeft(LONG* p) override { return number(QStringLiteral("e.offsetLeft"), p); }
  HRESULT get_offsetTop(LONG* p) override { return number(QStringLiteral("e.offsetTop"), p); }
  HRESULT get_offsetWidth(LONG* p) override { return number(QStringLiteral("e.offsetWidth"), p); }
  HRESULT get_offsetHeight(LONG* p) override { return number(QStringLiteral("e.offsetHeight"), p); }
  HRESULT get_offsetParent(IHTMLElement** p) override { return none(p); }
  HRESULT get_innerHTML(BSTR* p) override {
    return text(QLatin1String(kMarkup) + QStringLiteral("(e, false)"), p);
  }
  HRESULT get_innerText(BSTR* p) override { return text(QLatin1String(kText) + QStringLiteral("(e)"), p); }
  HRESULT get_outerHTML(BSTR* p) override {
    return text(QLatin1String(kMarkup) + QStringLiteral("(e, true)"), p);
  }
  HRESULT get_outerText(BSTR* p) override { return get_innerText(p); }
  HRESULT click() override {
    QVariant v;
    return read(QStringLiteral("(e.click(), true)"), v);
  }
  HRESULT toString(BSTR* p) override {
    return text(QStringLiteral("e.tagName.toUpperCase() == 'A' ? String(e.href || '') : '[object]'"), p);
  }
  HRESULT get_children(IDispatch** p) override { return none(p); }
  HRESULT get_all(IDispatch** p) override { return none(p); }

 private:
  // Runs `expression` (over the element `e` and the handles `L`) in the
  // page and answers its value; E_FAIL when the element is no longer known.
  HRESULT read(const QString& expression, QVariant& value) {
    if (!page_) return E_UNEXPECTED;
    const QString script = QStringLiteral(
                               "(function () {"
                               "  var L = %1, e = L.m.get('%2');"
                               "  return e ? [%3] : null;"
                               "})()")
                               .arg(QLatin1String(kHandles), handle_, expression);
    QVariant answer;
    if (!RunPageScript(page_, script, &answer)) return E_FAIL;
    const QVariantList list = answer.toList();
    if (list.size() != 1) {
      qCDebug(lcMsHtml) << "an element of the shown page is no longer there";
      return E_FAIL;
    }
    value = list.first();
    return S_OK;
  }
  HRESULT text(const QString& expression, BSTR* p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    QVariant v;
    if (HRESULT hr = read(expression, v); FAILED(hr)) return hr;
    *p = StringToBSTR(v.toString());
    return S_OK;
  }
  HRESULT number(const QString& expression, LONG* p) {
    if (!p) return E_POINTER;
    *p = 0;
    QVariant v;
    if (HRESULT hr = read(QStringLiteral("Math.round(%1 || 0)").arg(expression), v); FAILED(hr)) return hr;
    *p = LONG(v.toLongLong());
    return S_OK;
  }
  template <class T>
  static HRESULT none(T* p) {
    if (p) *p = T{};
    return E_NOTIMPL;
  }

  static HRESULT InvokeToString(LiveElement& self, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    BSTR text = nullptr;
    const HRESULT hr = self.toString(&text);
    if (SUCCEEDED(hr)) comdisp::SetResult(result, text);
    return hr;
  }
  using Self = LiveElement;
  static constexpr comdisp::DispMember<Self> kMembers[] = {
      DISP_GET(IHTMLElement, tagName),     DISP_GET(IHTMLElement, id),
      DISP_GET(IHTMLElement, className),   DISP_GET(IHTMLElement, title),
      DISP_GET(IHTMLElement, lang),        DISP_GET(IHTMLElement, parentElement),
      DISP_GET(IHTMLElement, offsetLeft),  DISP_GET(IHTMLElement, offsetTop),
      DISP_GET(IHTMLElement, offsetWidth), DISP_GET(IHTMLElement, offsetHeight),
      DISP_GET(IHTMLElement, innerHTML),   DISP_GET(IHTMLElement, innerText),
      DISP_GET(IHTMLElement, outerHTML),   DISP_GET(IHTMLElement, outerText),
      {"toString", &InvokeToString},
  };
  static constexpr comdisp::DispTable<Self> kTable{kMembers, 1};

  QPointer<QWebEnginePage> page_;
  QString handle_;
};

ComPtr<IHTMLElement> newLiveElement(QWebEnginePage* page, const QString& handle) {
  if (!page || !isHandle(handle)) return nullptr;
  return ComPtr<IHTMLElement>(new LiveElement(page, handle));
}

ComPtr<IHTMLElement> findElement(QWebEnginePage* page, const QString& find) {
  QVariant handle;
  if (!page || !RunPageScript(page, handleScript(find), &handle)) return nullptr;
  return newLiveElement(page, handle.toString());
}

}  // namespace

ComPtr<IHTMLElement> LiveElementAtPoint(QWebEnginePage* page, int x, int y) {
  return findElement(page, QStringLiteral("return document.elementFromPoint(%1, %2);").arg(x).arg(y));
}

ComPtr<IHTMLElement> LiveCaretElement(QWebEnginePage* page) {
  return findElement(page, QStringLiteral("var s = getSelection(), n = s && s.focusNode;"
                                          "if (n && n.nodeType != 1) n = n.parentElement;"
                                          "return n || document.activeElement || document.body;"));
}
