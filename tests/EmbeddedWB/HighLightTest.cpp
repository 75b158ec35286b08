// The colouring scanners and the RTF document they write: exact token, kind
// and document sequences for the cases that once went wrong, the recogniser's
// tag names and entities, text that must survive whole (characters beyond the
// routine tables, NUL, every prefix of a real page) and a real page read back
// by another program's RTF reader.
#include "EmbeddedWB/Source/HighLightHTML.h"
#include "EmbeddedWB/Source/HighLightXML.h"
#include "platform/richedit/Rtf.h"

#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using HighLightHTML::THighlightHTML;
using HighLightRichSyntax::THighlightRichSyntax;
using HighLightXML::THighlightXML;

namespace {

struct Token {
  QString text;
  int id;
  int kind;  // as written into the document
  bool operator==(const Token&) const = default;
};

void PrintTo(const Token& t, std::ostream* os) {
  ::PrintTo(t.text, os);
  *os << " id " << t.id << " kind " << t.kind;
}

// Scans the whole text; fails when the scanner stops making progress.
template <class Scanner>
std::vector<Token> Scan(const QString& text) {
  Scanner s;
  s.SetSource(text);
  std::vector<Token> tokens;
  for (int guard = 0; !s.GetEol(); s.Next()) {
    EXPECT_LT(++guard, 3 * text.size() + 10) << "no progress";
    if (guard > 3 * text.size() + 10) break;
    QString rtf;
    s.EmitToken(s.GetTokenKind(), s.GetToken(), rtf);
    const int kind = rtf.mid(3, rtf.indexOf(u' ') - 3).toInt();
    tokens.push_back({s.GetToken(), s.TokenId(), kind});
  }
  return tokens;
}

template <class Scanner>
QString Joined(const QString& text) {
  QString all;
  for (const Token& t : Scan<Scanner>(text)) all += t.text;
  return all;
}

// The writer through the string operations alone, as a subclass that
// changes PrepareToken or EmitToken gets it.
template <class Scanner>
struct StringPath : Scanner {
  void AppendToken(QByteArray& out) override { THighlightRichSyntax::AppendToken(out); }
};

QString MixedCase(const QString& s) {
  QString r = s;
  for (int i = 0; i < r.size(); i += 2) r[i] = r[i].toLower();
  return r;
}

QString PythonDocPage() {
  for (const char* dir : {"python3-doc", "python3.11-doc", "python3"}) {
    const QString p = QStringLiteral("/usr/share/doc/%1/html/library/os.html").arg(QLatin1String(dir));
    if (QFile::exists(p)) return p;
  }
  return {};
}

// The page as the editor holds it: UTF-8 text with CR LF line ends.
QString PageText(const QString& path) {
  QString text = QString::fromUtf8(testsupport::readFile(path));
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(u'\n', QLatin1String("\r\n"));
  return text;
}

}  // namespace

// ---------------------------------------------------------------- the document

TEST(HighlightDocument, TheBaseWritesOnlyTheFixedParts) {
  THighlightRichSyntax base;
  base.SetSource(QStringLiteral("<b>ignored</b>"));
  EXPECT_EQ(base.GetRtf(), QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl") +
                               base.FontTable() +
                               QStringLiteral("}\r\n\\deflang1033\\pard\\plain\\f0\\fs20\\f0  }"));
  // Courier New is matched by a fixed-pitch face of the system.
  EXPECT_EQ(base.FontTable(), QStringLiteral("{\\f0\\fmodern\\fcharset0 Courier New;}"));

  base.WriteColorTable({});
  EXPECT_EQ(base.ColorTable(), QStringLiteral("{\\colortbl\\red0\\green0\\blue0;}\r\n"));
  base.WriteColorTable({0x0000FF, clWindow});
  const TColor window = ColorToRGB(clWindow);
  EXPECT_EQ(base.ColorTable(), QStringLiteral("{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;"
                                              "\\red%1\\green%2\\blue%3;}\r\n")
                                   .arg(window & 0xFF)
                                   .arg(window >> 8 & 0xFF)
                                   .arg(window >> 16 & 0xFF));
  EXPECT_TRUE(base.GetRtf().contains(base.ColorTable() + QStringLiteral("\\deflang1033")));
}

TEST(HighlightDocument, FontEntriesFollowTheMetricsOfTheMatchedFace) {
  THighlightRichSyntax s;
  TFont cyrillic, swiss, serif;
  cyrillic.SetName(QStringLiteral("DejaVu Sans"));
  cyrillic.SetCharset(RUSSIAN_CHARSET);
  swiss.SetName(QStringLiteral("DejaVu Sans"));
  serif.SetName(QStringLiteral("DejaVu Serif"));
  s.WriteFontTable({&cyrillic, &swiss, &serif});
  // 204 has no name of its own: the backslash stays and the blank follows it.
  EXPECT_EQ(s.FontTable(),
            QStringLiteral("{\\f0\\fswiss\\ DejaVu Sans;}{\\f1\\fswiss\\fcharset0 DejaVu Sans;}"
                           "{\\f2\\froman\\fcharset0 DejaVu Serif;}"));
}

TEST(HighlightDocument, LineBreaksColoursAndEscapes) {
  THighlightHTML h;
  h.SetSource(QStringLiteral("a\r\nb\nc\r{x}\\"));
  const QString rtf = h.GetRtf();
  const QString body = rtf.mid(rtf.indexOf(QLatin1String("\\f0 ")) + 4);
  EXPECT_EQ(body, QStringLiteral("\\cf3 a\\par \\cf5 \r\n\\cf3 b\\cf5 \n\\cf3 c\\par \\cf5 \r"
                                 "\\cf3 \\{x\\}\\\\ }"));
  EXPECT_TRUE(
      rtf.contains(QLatin1String("{\\colortbl\\red0\\green0\\blue0;\\red0\\green128\\blue0;"
                                 "\\red128\\green0\\blue0;\\red0\\green0\\blue0;\\red0\\green0\\blue255;")));
}

TEST(HighlightDocument, EveryCharacterSurvivesTheCodePage) {
  // Code page 1252 characters as \'hh, the others as \uN? (signed 16 bit).
  QByteArray out;
  THighlightRichSyntax::AppendText(out, u"é€ж\u3042\uFFFDx\x01");
  EXPECT_EQ(out, QByteArray("\\'e9\\'80\\u1078?\\u12354?\\u-3?x\\'01"));

  const QString text = QStringLiteral("<p title=\"Größe\">Привет € 日本 \U0001F600 &amp; done</p>\r\n");
  THighlightHTML h;
  h.SetSource(text);
  const QByteArray rtf = h.GetRtf().toLatin1();
  for (char c : rtf) EXPECT_LT(static_cast<unsigned char>(c), 128u);
  // The document's closing blank follows the last token.
  EXPECT_TRUE(ReadRtf(rtf).PlainText().startsWith(
      QStringLiteral("<p title=\"Größe\">Привет € 日本 \U0001F600 &amp; done</p>")));
}

TEST(HighlightDocument, TheFastWriterWritesWhatTheStringOperationsWrite) {
  const QString text = QStringLiteral(
      "<!DOCTYPE html>\r\n<html><!-- c { } -->\r\n<a href=\"x\" b='y'>&AMP; // no\r\n"
      "<% srv %>\t\x01 é€ж {}\\ &divide;</a><?xml v='&lt;'?><![CDATA[x]]>\n");
  StringPath<THighlightHTML> slowHtml;
  THighlightHTML fastHtml;
  slowHtml.SetSource(text);
  fastHtml.SetSource(text);
  EXPECT_EQ(fastHtml.GetRtf(), slowHtml.GetRtf());
  StringPath<THighlightXML> slowXml;
  THighlightXML fastXml;
  slowXml.SetSource(text);
  fastXml.SetSource(text);
  EXPECT_EQ(fastXml.GetRtf(), slowXml.GetRtf());
}

// ---------------------------------------------------------------- HTML

TEST(HighlightHtml, TagsAttributesAndValues) {
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("<a href=\"x.html\">")),
            (std::vector<Token>{{"<", 8, 7},
                                {"a", 4, 4},
                                {" ", 6, 5},
                                {"href", 3, 3},
                                {"=", 8, 7},
                                {"\"x.html\"", 11, 6},
                                {">", 8, 7}}));
  // There is no single-quoted string: the value keeps its quotes and kind 10.
  const auto single = Scan<THighlightHTML>(QStringLiteral("<a href='x'>"));
  ASSERT_EQ(single.size(), 7u);
  EXPECT_EQ(single[5], (Token{"'x'", 11, 10}));
  // A double-quoted string outside a value.
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("<p \"s\">"))[3], (Token{"\"s\"", 7, 6}));
}

TEST(HighlightHtml, TheRecogniserKnowsExactlyItsNames) {
  EXPECT_EQ(HighLightHTML::TagNames().size(), 198);
  int used = 0;
  for (int slot = 0; slot < 244; ++slot) {
    const QStringList names = HighLightHTML::TagSlot(slot);
    EXPECT_LE(names.size(), 3);
    if (!names.isEmpty()) ++used;
  }
  EXPECT_EQ(used, 135);
  EXPECT_EQ(HighLightHTML::TagSlot(9), (QStringList{"H1", "I"}));
  EXPECT_EQ(HighLightHTML::TagSlot(211), (QStringList{"!DOCTYPE", "/ACRONYM", "/OPTION"}));

  for (const QString& name : HighLightHTML::TagNames()) {
    for (const QString& written : {name, name.toLower(), MixedCase(name)}) {
      const auto tokens = Scan<THighlightHTML>(u'<' + written + u'>');
      ASSERT_EQ(tokens.size(), 3u) << written.toStdString();
      EXPECT_EQ(tokens[1], (Token{written, 4, 4}));
    }
  }
  // Closing forms the recogniser does not list.
  for (const char* closing : {"/BR", "/IMG", "/HR", "/INPUT", "/META", "/WBR", "/!DOCTYPE"}) {
    const QString name = QString::fromLatin1(closing);
    const auto tokens = Scan<THighlightHTML>(u'<' + name + u'>');
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_NE(tokens[1].id, 4) << closing;
    EXPECT_EQ(tokens[1].text, name);
  }
}

TEST(HighlightHtml, NamesRunOnAndHashesOutOfTheTable) {
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("</B>"))[1], (Token{"/B", 4, 4}));
  // A known name run on by a letter is one longer, unknown name.
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("<BLOCKQUOTEX>"))[1], (Token{"BLOCKQUOTEX", 10, 9}));
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("<bx>"))[1], (Token{"bx", 10, 9}));
  // Digits end the hashed name: H1 is known, the rest is an identifier.
  const auto h1 = Scan<THighlightHTML>(QStringLiteral("<H1x>"));
  ASSERT_EQ(h1.size(), 4u);
  EXPECT_EQ(h1[1], (Token{"H1", 4, 4}));
  EXPECT_EQ(h1[2], (Token{"x", 3, 3}));
  // H7 hashes like H1..H6 but is none of them.
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("<H7>"))[1], (Token{"H7", 10, 9}));
  // A hash of 244 or more is an identifier, not an unknown tag.
  EXPECT_GE(HighLightHTML::TagHash(u"ZZZZZZZZZZ"), 244);
  EXPECT_EQ(Scan<THighlightHTML>(QStringLiteral("<zzzzzzzzzz>"))[1], (Token{"zzzzzzzzzz", 3, 3}));
}

TEST(HighlightHtml, EntitiesInTheirOrder) {
  const QStringList& entities = HighLightHTML::Entities();
  ASSERT_EQ(entities.size(), 151);
  EXPECT_EQ(entities.first(), QStringLiteral("&amp;"));
  EXPECT_EQ(entities.last(), QStringLiteral("&#215;"));
  for (const QString& e : entities) {
    const auto tokens = Scan<THighlightHTML>(QStringLiteral("<p>x") + e + QStringLiteral("y"));
    ASSERT_GE(tokens.size(), 5u) << e.toStdString();
    EXPECT_EQ(tokens[3], (Token{"x", 9, 8}));
    EXPECT_EQ(tokens[4], (Token{e, 0, 11})) << e.toStdString();
  }
  // In capitals: the first entry; "&divide" leaves the semicolon in the text.
  auto amp = Scan<THighlightHTML>(QStringLiteral(">a&AMP;b"));
  ASSERT_EQ(amp.size(), 4u);
  EXPECT_EQ(amp[2], (Token{"&AMP;", 0, 11}));
  EXPECT_EQ(amp[3], (Token{"b", 9, 8}));
  auto divide = Scan<THighlightHTML>(QStringLiteral(">&divide;"));
  ASSERT_EQ(divide.size(), 4u);
  EXPECT_EQ(divide[2], (Token{"&divide", 0, 11}));
  EXPECT_EQ(divide[3], (Token{";", 9, 8}));
  // An unknown name stays in the text.
  auto unknown = Scan<THighlightHTML>(QStringLiteral(">a &bogus; b"));
  ASSERT_EQ(unknown.size(), 2u);
  EXPECT_EQ(unknown[1], (Token{"a &bogus; b", 9, 8}));
}

TEST(HighlightHtml, ScriptsCommentsAndLineComments) {
  const auto script = Scan<THighlightHTML>(QStringLiteral("<% if (a > b) x %>t"));
  ASSERT_EQ(script.size(), 3u);
  EXPECT_EQ(script[0], (Token{"<%", 1, 1}));
  EXPECT_EQ(script[1], (Token{" if (a > b) x %>", 1, 1}));
  EXPECT_EQ(script[2], (Token{"t", 9, 8}));
  const auto comment = Scan<THighlightHTML>(QStringLiteral("<!-- a -> b -->c"));
  ASSERT_EQ(comment.size(), 3u);
  EXPECT_EQ(comment[1], (Token{" a -> b -->", 2, 2}));
  // A token whose trimmed text starts with "//" is written as a comment.
  const auto line = Scan<THighlightHTML>(QStringLiteral(">  // note"));
  ASSERT_EQ(line.size(), 2u);
  EXPECT_EQ(line[1], (Token{"  // note", 9, 2}));
}

// ---------------------------------------------------------------- XML

TEST(HighlightXml, AnEmptyElementWithASingleQuotedAttribute) {
  EXPECT_EQ(Scan<THighlightXML>(QStringLiteral("<a b='c'/>")), (std::vector<Token>{{"<", 12, 9},
                                                                                   {"a", 1, 1},
                                                                                   {" ", 13, 10},
                                                                                   {"b", 2, 2},
                                                                                   {"='", 14, 4},
                                                                                   {"c", 9, 7},
                                                                                   {"'", 12, 9},
                                                                                   {"", 2, 2},
                                                                                   {"/", 12, 9},
                                                                                   {">", 12, 9}}));
}

TEST(HighlightXml, RangesOfTheDocument) {
  // A declaration without "]>" keeps the rest of the text.
  const auto decl = Scan<THighlightXML>(QStringLiteral("<!DOCTYPE x <y>"));
  ASSERT_EQ(decl.size(), 2u);
  EXPECT_EQ(decl[0], (Token{"<!DOCTYPE", 21, 8}));
  EXPECT_EQ(decl[1], (Token{" x <y>", 21, 8}));
  const auto rest = Scan<THighlightXML>(QStringLiteral("<![CDATA[a]]>t&lt;<?pi ?><!--c-->"));
  EXPECT_EQ(rest, (std::vector<Token>{{"<![CDATA[", 4, 11},
                                      {"a]]>", 4, 11},
                                      {"t", 3, 10},
                                      {"&lt;", 5, 1},
                                      {"<?", 6, 6},
                                      {"pi ?>", 6, 6},
                                      {"<!--", 12, 9},
                                      {"c", 7, 7},
                                      {"-->", 12, 9}}));
  const auto ns = Scan<THighlightXML>(QStringLiteral("<r xmlns:a=\"u&amp;\">"));
  ASSERT_EQ(ns.size(), 10u);
  EXPECT_EQ(ns[3], (Token{"xmlns:a", 15, 3}));
  EXPECT_EQ(ns[4], (Token{"=\"", 20, 5}));
  EXPECT_EQ(ns[5], (Token{"u", 16, 8}));
  EXPECT_EQ(ns[6], (Token{"&amp;", 18, 4}));
  // Back in the value, which ends at once.
  EXPECT_EQ(ns[7], (Token{"", 16, 8}));
  EXPECT_EQ(ns[8], (Token{"\"", 12, 9}));
  EXPECT_EQ(ns[9], (Token{">", 12, 9}));
  // A quoted text token is written like a string.
  EXPECT_EQ(Scan<THighlightXML>(QStringLiteral("\"q\" x"))[0], (Token{"\"q\" x", 3, 6}));
}

// ---------------------------------------------------------------- whole texts

TEST(HighlightText, NoCharacterIsLostOrReadBeyond) {
  // Characters beyond the routine tables in every place a table is read,
  // and NUL inside the text.
  const QString wide = QString(QChar(0x0450)) + QChar(0x0451) + QChar(0x4E00) + QChar(0xFFFF);
  const QString cases[] = {
      u'<' + wide + QStringLiteral(" a=") + wide + u'>' + wide + QStringLiteral("&") + wide,
      QStringLiteral("<a b=\"x") + QChar(0) + QStringLiteral("y\">t") + QChar(0) + QStringLiteral("u</a>"),
      QString(QChar(0)) + QStringLiteral("<p>") + QChar(0),
      QStringLiteral("<!-- ") + QChar(0) + QStringLiteral(" --><% ") + QChar(0) + QStringLiteral(" %>"),
      QStringLiteral("<?x ") + wide + QStringLiteral("?><![CDATA[") + QChar(0) + wide + QStringLiteral("]]>"),
      QStringLiteral("<a xmlns='") + wide + QStringLiteral("&") + QChar(0) + QStringLiteral("'>"),
  };
  for (const QString& text : cases) {
    EXPECT_EQ(Joined<THighlightHTML>(text), text);
    EXPECT_EQ(Joined<THighlightXML>(text), text);
  }
}

TEST(HighlightText, EveryPrefixOfARealPageEndsCleanly) {
  const QString path = PythonDocPage();
  if (path.isEmpty()) GTEST_SKIP() << "python3-doc is not installed";
  const QString page = PageText(path).left(6000);
  for (int n = 0; n <= page.size(); n += 7) {
    const QString prefix = page.left(n);
    ASSERT_EQ(Joined<THighlightHTML>(prefix), prefix) << n;
    ASSERT_EQ(Joined<THighlightXML>(prefix), prefix) << n;
  }
}

TEST(HighlightText, ARealPageReadBackByUnrtf) {
  const QString path = PythonDocPage();
  const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
  if (path.isEmpty() || unrtf.isEmpty()) GTEST_SKIP() << "python3-doc or unrtf is not installed";
  // The page has neither comments, nor server scripts, nor entities in its
  // text: one of each follows it.
  const QString page =
      PageText(path) + QStringLiteral("<!-- closing note -->\r\nfish &amp; chips\r\n<% on the server %>\r\n");
  THighlightHTML h;
  h.SetSource(page);
  const QString file = QDir(testsupport::profileDir()).filePath(QStringLiteral("os.rtf"));
  ASSERT_TRUE(testsupport::writeFile(file, h.GetRtf().toLatin1()));

  QProcess p;
  p.start(unrtf, {QStringLiteral("--html"), file});
  ASSERT_TRUE(p.waitForFinished(60000));
  const QString html = QString::fromUtf8(p.readAllStandardOutput());
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

  // The page's source comes back, non-ASCII characters included.
  QTextDocument reader;
  reader.setHtml(html);
  const QString plain = reader.toPlainText();
  for (const char* piece : {"<title>os \u2014 Miscellaneous operating system interfaces &#8212; Python",
                            "title=\"Permalink to this heading\">\u00b6</a>", "getcwd"})
    EXPECT_TRUE(plain.contains(QString::fromUtf8(piece))) << piece;
  QString lost;
  for (QChar c : page)
    if (c.unicode() > 127 && !plain.contains(c) && !lost.contains(c)) lost += c;
  EXPECT_EQ(lost, QString());

  // Each character with the colour the reader gave it (one font element per
  // coloured run; only ASCII escapes matter for the pieces looked at).
  QString text;
  QStringList colours;
  const QRegularExpression run(QStringLiteral("<font color=\"(#[0-9a-f]{6})\">((?:[^<]|<br>)*)</font>"));
  for (auto it = run.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    QString t = m.captured(2);
    t.replace(QLatin1String("<br>\n"), QLatin1String("\n"))
        .replace(QLatin1String("<br>"), QLatin1String("\n"));
    t.replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"));
    t.replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    text += t;
    for (qsizetype i = 0; i < t.size(); ++i) colours << m.captured(1);
  }
  ASSERT_GT(text.size(), page.size() / 2);
  // The colour of every character of `piece` at its first place after `after`.
  const auto colourOf = [&](const char* piece, const char* after = "") {
    const qsizetype from = text.indexOf(QLatin1String(after));
    const qsizetype at = from < 0 ? -1 : text.indexOf(QLatin1String(piece), from);
    if (at < 0) return QStringLiteral("missing");
    QString c = colours[at];
    for (qsizetype i = at; i < at + qsizetype(std::strlen(piece)); ++i)
      if (colours[i] != c) return QStringLiteral("mixed");
    return c;
  };
  const QString green = QStringLiteral("#008000"), maroon = QStringLiteral("#800000"),
                blue = QStringLiteral("#0000ff"), red = QStringLiteral("#ff0000"),
                black = QStringLiteral("#000000");
  EXPECT_EQ(colourOf("<"), blue);                                           // symbol
  EXPECT_EQ(colourOf("title", "<title"), blue);                             // known tag
  EXPECT_EQ(colourOf("Miscellaneous operating system", "<title>"), black);  // text
  EXPECT_EQ(colourOf("section", "<section"), red);                          // unknown tag
  EXPECT_EQ(colourOf("id", "<section "), black);                            // attribute name
  EXPECT_EQ(colourOf("\"module-os\"", "<section id="), green);              // quoted value
  EXPECT_EQ(colourOf("&amp;", "fish "), black);                             // entity
  EXPECT_EQ(colourOf("<!-- closing note -->"), maroon);                     // comment
  EXPECT_EQ(colourOf("<% on the server %>"), green);                        // server script
}
