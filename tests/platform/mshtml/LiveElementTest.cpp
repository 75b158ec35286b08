// Elements of a shown page answer as the windowless documents' elements
// answer for the same markup, and fail cleanly once their document or page
// has gone.
#include "platform/mshtml/LiveElement.h"

#include "platform/com/Dispatch.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/mshtml/NativeDom.h"
#include "platform/mshtml/NativeElements.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QUrl>
#include <QWebEnginePage>

namespace {

const char kPage[] =
    "<html><head><title>t</title></head><body>"
    "<p class=\"c\">Tom &amp; <b id=\"x\">Jerry</b> &lt;3&gt;\xC2\xA0<img src=\"a.png\" alt='say \"hi\"'>"
    "<br>next</p>"
    "<a href=\"/docs/page.html\">link <i>text</i></a>"
    "<script type=\"text/x-template\">if (a < b && c) {}</script>"
    "</body></html>";

class LiveElementTest : public ::testing::Test {
 protected:
  void SetUp() override { page = new QWebEnginePage(); }
  void TearDown() override { delete page; }

  void show(const QUrl& url) {
    bool finished = false;
    auto c = QObject::connect(page, &QWebEnginePage::loadFinished, [&] { finished = true; });
    page->load(url);
    ASSERT_TRUE(testsupport::waitFor([&] { return finished; }, 10000));
    QObject::disconnect(c);
  }
  // The shown page's element holding a caret put inside the first `tag`.
  ComPtr<IHTMLElement> caretIn(const char* tag) {
    RunPageScript(page, QStringLiteral(
                            "var e = document.getElementsByTagName('%1')[0], r = document.createRange();"
                            " r.setStart(e, 0); getSelection().removeAllRanges(); getSelection().addRange(r);"
                            " 1")
                            .arg(QLatin1String(tag)));
    return LiveCaretElement(page);
  }
  static QString read(IHTMLElement* e, HRESULT (IHTMLElement::*get)(BSTR*), HRESULT expected = S_OK) {
    OwnedBstr text;
    EXPECT_EQ((e->*get)(text.out()), expected);
    return BSTRToString(text.get());
  }

  QWebEnginePage* page = nullptr;
};

}  // namespace

TEST_F(LiveElementTest, AnswersAsTheWindowlessElementsForTheSameMarkup) {
  const QString file = testsupport::profileDir() + "/mshtml/live-element.html";
  ASSERT_TRUE(testsupport::writeFile(file, kPage));
  const QUrl url = QUrl::fromLocalFile(file);
  show(url);
  std::shared_ptr<nativedom::Tree> tree = nativedom::ParseHtml(QString::fromUtf8(kPage), url);

  using Get = HRESULT (IHTMLElement::*)(BSTR*);
  const std::pair<const char*, Get> reads[] = {
      {"tagName", &IHTMLElement::get_tagName},     {"innerHTML", &IHTMLElement::get_innerHTML},
      {"outerHTML", &IHTMLElement::get_outerHTML}, {"toString", &IHTMLElement::toString},
      {"className", &IHTMLElement::get_className}, {"id", &IHTMLElement::get_id}};
  for (const char* tag : {"P", "B", "A", "SCRIPT"}) {
    ComPtr<IHTMLElement> live = caretIn(tag);
    ASSERT_NE(live, nullptr) << tag;
    ComPtr<IHTMLElement> native = nativedom::ElementOf(tree, tree->first(tag), nullptr);
    for (const auto& [name, get] : reads)
      EXPECT_EQ(read(live.Get(), get), read(native.Get(), get)) << tag << " " << name;
  }
  // Rendered text, line breaks as CR LF.
  EXPECT_EQ(read(caretIn("P").Get(), &IHTMLElement::get_innerText),
            QStringLiteral("Tom & Jerry <3>\u00A0\r\nnext"));

  // The parent is an element of the page too, read by name as well.
  ComPtr<IHTMLElement> bold = caretIn("B");
  ComPtr<IHTMLElement> parent;
  ASSERT_EQ(bold->get_parentElement(parent.GetAddressOf()), S_OK);
  ASSERT_NE(parent, nullptr);
  DISPID id = DISPID_UNKNOWN;
  ASSERT_EQ(DispatchGetIDOfName(parent.Get(), QStringLiteral("tagName"), id), S_OK);
  OleVariant tag;
  ASSERT_EQ(DispatchGetProperty(parent.Get(), id, tag), S_OK);
  EXPECT_EQ(VarToStr(tag), QStringLiteral("P"));
}

TEST_F(LiveElementTest, AnElementOfAGoneDocumentOrPageFails) {
  show(QUrl(QStringLiteral("data:text/html,<p>one</p>")));
  ComPtr<IHTMLElement> p = caretIn("P");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(read(p.Get(), &IHTMLElement::get_innerText), QStringLiteral("one"));

  // The next document has elements of its own, never the old one's.
  show(QUrl(QStringLiteral("data:text/html,<p>two</p>")));
  EXPECT_EQ(read(p.Get(), &IHTMLElement::get_innerText, E_FAIL), QString());
  ComPtr<IHTMLElement> two = caretIn("P");
  ASSERT_NE(two, nullptr);

  delete page;
  page = nullptr;
  EXPECT_EQ(read(two.Get(), &IHTMLElement::get_tagName, E_UNEXPECTED), QString());
  EXPECT_EQ(LiveCaretElement(nullptr), nullptr);
}
