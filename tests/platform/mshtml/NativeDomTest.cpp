// The cached subtree reads of a windowless document's tree: for every element
// of varied documents they give what serialising the element alone gives,
// and a change of the tree is seen by the next read.
#include "platform/mshtml/NativeDom.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace nativedom;

namespace {

// Documents whose text rules meet at element edges: blocks, cells, line
// breaks, preformatted blocks and hidden parts, nested and at the ends.
const char* const kDocuments[] = {
    ("<!DOCTYPE html><html><head><title> T </title><meta charset=utf-8><script>var a = '<b>';</script>"
     "<style>p { }</style></head><body> <p> a  <b> b </b>c</p><div><br>x<br></div> </body></html>"),
    "<pre> one\n  two <span>  three\r\n four </span>\n<b>five</b></pre><p>after</p>",
    "<table><tr><td> a </td><td><p>b</p></td></tr><tr><th>c</th></tr></table><ul><li>1<li>2</ul>",
    "<div><div><div>deep</div></div>tail</div><textarea> keep  it </textarea><xmp><b>raw</b></xmp>",
    "<!-- c1 --><p>x &amp; y &lt; z \xc2\xa0 \"q\"<img src=\"a.png\" alt='a\"b'><br><br></p><!-- c2 -->",
    "<noscript><p>no script</p></noscript><frameset><frame src=a></frameset>",
    "plain text only",
    "<head><template><p>in template</p></template></head><body><listing>  l  </listing></body>",
    "",
};

void ExpectCachedReadsMatch(const Tree& tree) {
  for (const Node* n : tree.all) {
    SCOPED_TRACE(n->tag.toStdString() + " #" + std::to_string(n->sourceIndex));
    String spare;
    EXPECT_EQ(CachedOuterHtml(tree, n, spare).toString(), OuterHtml(n));
    EXPECT_EQ(CachedInnerHtml(tree, n, spare).toString(), InnerHtml(n));
    EXPECT_EQ(CachedInnerText(tree, n, spare).toString(), InnerText(n));
  }
}

TEST(NativeDomCache, EveryElementReadsAsWhenSerialisedAlone) {
  for (const char* html : kDocuments) {
    SCOPED_TRACE(html);
    const auto tree = ParseHtml(String::fromUtf8(html), QUrl(QStringLiteral("http://example.com/")));
    ASSERT_GE(tree->all.size(), 4u);
    ExpectCachedReadsMatch(*tree);
  }
}

TEST(NativeDomCache, TextInsidePreformattedBlocksStaysAsItStands) {
  const auto tree = ParseHtml(QStringLiteral("<pre>a <span> b  c </span></pre>"), QUrl());
  const Node* span = tree->first("SPAN");
  ASSERT_TRUE(span);
  String spare;
  EXPECT_EQ(InnerText(span), QStringLiteral(" b  c "));
  EXPECT_EQ(CachedInnerText(*tree, span, spare).toString(), QStringLiteral(" b  c "));
}

TEST(NativeDomCache, ChangesAreSeenByTheNextRead) {
  const auto tree = ParseHtml(QStringLiteral("<p id=a>one</p><p>two</p>"), QUrl());
  Node* p = tree->first("P");
  ASSERT_TRUE(p);
  String spare;
  EXPECT_EQ(CachedOuterHtml(*tree, p, spare).toString(), QStringLiteral("<P id=\"a\">one</P>"));
  p->findAttribute(QStringLiteral("id"))->value = QStringLiteral("changed");
  p->children.front()->text = QStringLiteral("three");
  tree->changed();
  EXPECT_TRUE(tree->modified);
  EXPECT_EQ(CachedOuterHtml(*tree, p, spare).toString(), QStringLiteral("<P id=\"changed\">three</P>"));
  EXPECT_EQ(CachedInnerText(*tree, p, spare).toString(), QStringLiteral("three"));
  ExpectCachedReadsMatch(*tree);
}

TEST(NativeDomCache, NodesTheTreeDoesNotReachAreSerialisedAlone) {
  const auto tree = ParseHtml(QStringLiteral("<p>x</p>"), QUrl());
  Node* loose = tree->newNode(NodeKind::Element);
  loose->tag = QStringLiteral("DIV");
  Node* text = tree->newNode(NodeKind::Text);
  text->text = QStringLiteral("loose <text>");
  text->parent = loose;
  loose->children.push_back(text);
  String spare;
  EXPECT_EQ(CachedOuterHtml(*tree, loose, spare).toString(), QStringLiteral("<DIV>loose &lt;text&gt;</DIV>"));
  EXPECT_EQ(CachedInnerText(*tree, loose, spare).toString(), QStringLiteral("loose <text>"));
}

}  // namespace
