#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditControl.h"
#include "platform/richedit/Rtf.h"
#include "tests/support/TestSupport.h"

#include <algorithm>

namespace rtftest {

// The resolved attributes of every character of a document.
std::vector<CharAttributes> AttributesOf(const QTextDocument& doc, const CharAttributes& defaults) {
  std::vector<CharAttributes> out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      for (int i = 0; i < it.fragment().length(); ++i)
        out.push_back(ResolveCharAttributes(it.fragment().charFormat(), defaults));
  return out;
}

String TextOf(const RtfContent& c) { return c.PlainText(); }

QTextDocument* Load(const QByteArray& rtf, QTextDocument* doc) {
  QTextCursor cursor(doc);
  InsertRtf(cursor, ReadRtf(rtf), true);
  return doc;
}

CharAttributes Defaults() {
  CharAttributes d;
  d.Face = "Tahoma";
  d.PointSize = 8;
  return d;
}

// ---------------------------------------------------------------- writer and reader together

TEST(Rtf, FormattedDocumentSurvivesWritingAndReading) {
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat plain;
  QTextCharFormat red;
  red.setForeground(QColor(255, 0, 0));
  red.setFontWeight(QFont::Bold);
  QTextCharFormat big;
  big.setFontPointSize(18);
  big.setFontItalic(true);
  big.setFontFamilies({"Courier New"});
  QTextCharFormat marked;
  marked.setFontUnderline(true);
  marked.setFontStrikeOut(true);
  marked.setForeground(QColor(0, 128, 128));
  c.insertText("Plain {braces} \\back\\slash\\ ", plain);
  c.insertText("bold red", red);
  c.insertText("\tafter a tab", plain);
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  c.insertBlock(centred);
  c.insertText("Big italic \u00E9\u00FF\u20AC \u4E2D\u6587 \U0001F600", big);
  c.insertBlock(QTextBlockFormat());
  c.insertBlock(QTextBlockFormat());
  c.insertText("under and struck", marked);
  c.insertText(" }{ end", red);

  const QByteArray rtf = WriteRtf(doc, 0, doc.characterCount() - 1, Defaults());
  for (char ch : rtf) ASSERT_LT(static_cast<unsigned char>(ch), 0x80) << rtf.toStdString();
  EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Tahoma;}"));
  EXPECT_TRUE(rtf.contains("\\{braces\\} \\\\back\\\\slash\\\\"));
  EXPECT_TRUE(rtf.contains("\\'e9\\'ff\\u8364?"));
  EXPECT_TRUE(rtf.contains("\\u-10179?\\u-8704?"));  // a surrogate pair, unit by unit
  EXPECT_TRUE(rtf.contains("\\qc"));
  EXPECT_TRUE(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;"));

  QTextDocument back;
  Load(rtf, &back);
  EXPECT_EQ(back.toRawText(), doc.toRawText());
  EXPECT_EQ(back.blockCount(), 4);
  EXPECT_EQ(back.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(back.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  const std::vector<CharAttributes> want = AttributesOf(doc, Defaults());
  const std::vector<CharAttributes> got = AttributesOf(back, Defaults());
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].Face, want[i].Face) << i;
    EXPECT_EQ(got[i].PointSize, want[i].PointSize) << i;
    EXPECT_EQ(got[i].Bold, want[i].Bold) << i;
    EXPECT_EQ(got[i].Italic, want[i].Italic) << i;
    EXPECT_EQ(got[i].Underline, want[i].Underline) << i;
    EXPECT_EQ(got[i].StrikeOut, want[i].StrikeOut) << i;
    EXPECT_EQ(got[i].Color, want[i].Color) << i;
  }

  // Written again, the document is the same.
  EXPECT_EQ(WriteRtf(back, 0, back.characterCount() - 1, Defaults()), rtf);
}

TEST(Rtf, EveryCharacterSurvivesWritingAndReading) {
  // Every UTF-16 unit but those the document itself takes for paragraph and
  // frame breaks, control characters and lone surrogates included, under
  // two formats so that font and colour changes stand between them too.
  String all;
  for (int u = 0; u <= 0xFFFF; ++u) {
    if (u == '\n' || u == '\r' || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) continue;
    all += QChar(char16_t(u));
  }
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat other;
  other.setForeground(QColor(0, 0, 255));
  other.setFontFamilies({"Courier New"});
  c.insertText(all.left(300));
  c.insertText(all.mid(300, 40), other);
  c.insertBlock();
  c.insertText(all.mid(340), other);
  ASSERT_EQ(doc.characterCount() - 2, all.size());

  const QByteArray rtf = WriteRtf(doc, 0, doc.characterCount() - 1, Defaults());
  for (char ch : rtf) ASSERT_LT(static_cast<unsigned char>(ch), 0x80);
  // Control characters are bytes of 1252; what 1252 lacks is \uN with a stand-in.
  EXPECT_TRUE(rtf.contains("\\'00\\'01\\'02"));
  EXPECT_TRUE(rtf.contains("\\'17\\'18\\'19"));
  EXPECT_TRUE(rtf.contains("\\tab \\'0b\\'0c\\'0e"));
  EXPECT_TRUE(rtf.contains("~\x7F\\u128?\\u129?"));
  EXPECT_TRUE(rtf.contains("\\u159?\\'a0\\'a1"));
  EXPECT_TRUE(rtf.contains("\\'fe\\'ff\\u256?"));
  EXPECT_TRUE(rtf.contains("\\u-3?\\u-2?\\u-1?"));

  QTextDocument back;
  Load(rtf, &back);
  const String want = doc.toRawText();
  const String got = back.toRawText();
  ASSERT_EQ(got.size(), want.size());
  const auto differ = std::mismatch(want.begin(), want.end(), got.begin());
  EXPECT_TRUE(differ.first == want.end()) << "U+" << std::hex << unsigned(differ.first->unicode())
                                          << " read back as U+" << unsigned(differ.second->unicode());
  EXPECT_EQ(ResolveCharAttributes(back.begin().begin().fragment().charFormat(), Defaults()).Face, "Tahoma");
  EXPECT_EQ(ResolveCharAttributes(back.lastBlock().begin().fragment().charFormat(), Defaults()).Color,
            QColor(0, 0, 255));
}

TEST(Rtf, PartsOfADocumentAndEmptyDocuments) {
  QTextDocument doc;
  doc.setPlainText("one\ntwo\nthree");
  const RtfContent middle = ReadRtf(WriteRtf(doc, 2, 9, Defaults()));
  EXPECT_EQ(TextOf(middle), "e\rtwo\rt");
  const RtfContent tail = ReadRtf(WriteRtf(doc, 4, 8, Defaults()));  // "two" and its break
  EXPECT_EQ(TextOf(tail), "two\r");
  QTextDocument empty;
  const QByteArray rtf = WriteRtf(empty, 0, 0, Defaults());
  EXPECT_TRUE(IsRtf(rtf));
  EXPECT_EQ(TextOf(ReadRtf(rtf)), "");
  EXPECT_EQ(ReadRtf(rtf).Paragraphs.size(), 1);
}

// ---------------------------------------------------------------- other writers

TEST(Rtf, ReadsWhatWordProcessorsWrite) {
  const QByteArray sample =
      "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff0\\deff0\\stshfdbch0\\deflang1033\r\n"
      "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}\r\n"
      "{\\f1\\fswiss\\fcharset0\\fprq2 Arial{\\*\\falt Helvetica};}\r\n"
      "{\\f2\\fnil\\fcharset204 Cyr Font;}}\r\n"
      "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
      "{\\stylesheet{\\ql \\li0\\ri0\\widctlpar\\f0\\fs24 \\snext0 Normal;}"
      "{\\*\\cs10 \\additive Default Paragraph Font;}}\r\n"
      "{\\*\\generator Sample Writer 1.0;}{\\info{\\title A title}{\\author Someone}}\r\n"
      "\\paperw12240\\paperh15840\\margl1800\\margr1800\\viewkind1\r\n"
      "\\pard\\plain \\ql \\f0\\fs24 Caf\\'e9 costs 5\\u8364? {\\b bold {\\i bold italic} bold} "
      "plain\\par\r\n"
      "\\pard\\qr {\\f1\\fs20\\cf2 Arial red}\\tab {\\field{\\*\\fldinst {HYPERLINK \"http://example.com/\"}}"
      "{\\fldrslt {\\ul\\cf3 the link}}}\\par\r\n"
      "{\\f2 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}\\line {\\v hidden }"
      "\\ldblquote q\\rdblquote\\~\\emdash \\uc2\\u26085\\'93\\'fa!\\par\r\n"
      "{\\*\\unknowndest with text}{\\pict\\pngblip 89504e47}{\\object{\\result shown?}}"
      "{\\bin4 {}\\\\}after bin\\par\r\n"
      "}";
  QTextDocument doc;
  Load(sample, &doc);
  QStringList lines = doc.toRawText().split(QChar::ParagraphSeparator);
  ASSERT_EQ(lines.size(), 6) << doc.toRawText().toStdString();
  EXPECT_EQ(lines[0], "Caf\u00E9 costs 5\u20AC bold bold italic bold plain");
  EXPECT_EQ(lines[1], "Arial red\tthe link");
  EXPECT_EQ(lines[2], "\u041F\u0440\u0438\u0432\u0435\u0442");
  EXPECT_EQ(lines[3], "\u201Cq\u201D\u00A0\u2014\u65E5!");
  EXPECT_EQ(lines[4], "after bin");
  EXPECT_EQ(lines[5], "");  // the document's closing \par

  const auto at = [&](int pos) {
    QTextCursor c(&doc);
    c.setPosition(pos + 1);
    return ResolveCharAttributes(c.charFormat(), Defaults());
  };
  const int bold = int(lines[0].indexOf("bold"));
  EXPECT_TRUE(at(bold).Bold);
  EXPECT_FALSE(at(bold).Italic);
  EXPECT_TRUE(at(int(lines[0].indexOf("italic"))).Italic);
  EXPECT_FALSE(at(int(lines[0].indexOf("plain"))).Bold);  // groups give back what they changed
  EXPECT_EQ(at(0).Face, "Times New Roman");
  EXPECT_EQ(at(0).PointSize, 12);
  const int line1 = int(lines[0].size()) + 1;
  EXPECT_EQ(at(line1).Face, "Arial");
  EXPECT_EQ(at(line1).PointSize, 10);
  EXPECT_EQ(at(line1).Color, QColor(255, 0, 0));
  const int link = line1 + int(lines[1].indexOf("the link"));
  EXPECT_TRUE(at(link).Underline);
  EXPECT_EQ(at(link).Color, QColor(0, 0, 255));
  EXPECT_EQ(doc.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
}

TEST(Rtf, ReadsTheSyntaxColouringDocument) {
  // The shape the source editor's colouring writes: colour table after the
  // font table, a colour per token, CR LF after each \par.
  const QByteArray rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\r\n"
      "{\\colortbl\\red0\\green0\\blue0;\\red0\\green128\\blue0;\\red128\\green0\\blue0;"
      "\\red0\\green0\\blue0;"
      "\\red0\\green0\\blue255;\\red0\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;"
      "\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue0;\\red0\\green0\\blue0;}\r\n"
      "\\deflang1033\\pard\\plain\\f0\\fs20\\f0 \\cf7 <\\cf4 a\\cf5  \\cf3 href\\cf7 =\\cf6 "
      "\"x\\{y\\}\"\\cf7 >"
      "\\par \\cf5 \r\n\\cf8 caf\xE9 \\cf7 </\\cf4 a\\cf7 >\\par \\cf5 \r\n }";
  QTextDocument doc;
  Load(rtf, &doc);
  // The blank before the closing brace is text of a last line.
  EXPECT_EQ(doc.toPlainText(), "<a href=\"x{y}\">\ncaf\u00E9 </a>\n ");
  QTextCursor c(&doc);
  c.setPosition(2);  // "a"
  EXPECT_EQ(c.charFormat().foreground().color(), QColor(0, 0, 255));
  EXPECT_EQ(c.charFormat().fontPointSize(), 10);
  EXPECT_EQ(c.charFormat().fontFamilies().toStringList().value(0), "Courier New");
  c.setPosition(9);  // the quoted value
  EXPECT_EQ(c.charFormat().foreground().color(), QColor(0, 128, 0));
}

// ---------------------------------------------------------------- bad input

TEST(Rtf, MalformedInputGivesWhatCouldBeRead) {
  EXPECT_FALSE(IsRtf("plain text"));
  EXPECT_TRUE(IsRtf("  \r\n{\\rtf1}"));
  EXPECT_EQ(TextOf(ReadRtf("no rtf at all")), "");
  // Unbalanced braces: a missing end, extra ends, text after the document.
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 {\\b open {group")), "open group");
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 a}} b}")), "a");
  // Broken escapes and control words.
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 x\\'zzy\\'4")), "xzzy");
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 a\\u")), "a");
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 \\u-99999999999999999999?z\\fs999999999999 big\\")), "zbig");
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 \\u0?\\u13?a}")), "a");
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 \\bin999999 lost")), "");
  EXPECT_EQ(TextOf(ReadRtf("{\\rtf1 {\\colortbl ;\\red999\\green-5;}\\cf1 c\\cf77 d}")), "cd");
  const RtfContent colours = ReadRtf("{\\rtf1 {\\colortbl ;\\red999\\green-5;}\\cf1 c\\cf77 d}");
  EXPECT_EQ(colours.Paragraphs[0].Runs[0].Format.foreground().color(), QColor(255, 0, 0));
  EXPECT_FALSE(colours.Paragraphs[0].Runs[1].Format.hasProperty(QTextFormat::ForegroundBrush));
  EXPECT_EQ(TextOf(ReadRtf(QByteArray("{\\rtf1 nul\0byte}", 16))), "nulbyte");

  // A flood of groups, and every cut of a real document.
  QByteArray deep = "{\\rtf1 ";
  deep += QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + " end}";
  EXPECT_EQ(TextOf(ReadRtf(deep)), "deep end");
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat f;
  f.setForeground(Qt::red);
  c.insertText("Some text \u20AC {x} \\", f);
  c.insertBlock();
  c.insertText("more \u00E9");
  const QByteArray full = WriteRtf(doc, 0, doc.characterCount() - 1, Defaults());
  for (int n = 0; n <= full.size(); ++n) {
    const RtfContent part = ReadRtf(full.left(n));
    ASSERT_GE(part.Paragraphs.size(), 1);
  }
  // Random bytes after a valid start.
  QRandomGenerator random(1234);
  for (int round = 0; round < 200; ++round) {
    QByteArray noise = "{\\rtf1 ";
    for (int i = 0; i < 300; ++i) {
      static const char pieces[] = "{}\\'*;ubfsclpardx0123456789- \r\n\x80\xff";
      noise += pieces[random.bounded(int(sizeof pieces - 1))];
    }
    ReadRtf(noise);
  }
}

// ---------------------------------------------------------------- through the control

class RichEditLines : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeComCtrls();
    InitializeRichEdit();
    form = new TForm(nullptr);
    source = new TRichEdit(form);
    source->SetParent(form);
    copy = new TRichEdit(form);
    copy->SetParent(form);
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }
  TForm* form = nullptr;
  TRichEdit* source = nullptr;
  TRichEdit* copy = nullptr;
};

TEST_F(RichEditLines, FilesAreRtfUnlessPlainText) {
  source->Font()->SetName("Tahoma");
  source->Lines()->Add("");
  source->SelAttributes()->SetColor(clSkyBlue);
  source->SelAttributes()->SetStyle({fsBold});
  source->Lines()->Add("TEXT:");
  source->SelAttributes()->SetColor(clGray);
  source->SelAttributes()->SetStyle({});
  source->SelAttributes()->SetSize(14);
  source->Lines()->Add("page text with {braces} and \u00E9\u20AC");
  const QString file = testsupport::profileDir() + "/lines.rtf";
  source->Lines()->SaveToFile(file);
  const QByteArray bytes = testsupport::readFile(file);
  EXPECT_TRUE(bytes.startsWith("{\\rtf1"));

  copy->Lines()->LoadFromFile(file);
  EXPECT_EQ(copy->Lines()->Strings(), source->Lines()->Strings());
  EXPECT_EQ(copy->Text(), source->Text());
  copy->SetSelStart(1);
  copy->SetSelLength(5);
  EXPECT_EQ(copy->SelAttributes()->Color(), clSkyBlue);
  EXPECT_TRUE(copy->SelAttributes()->Style().Contains(fsBold));
  copy->SetSelStart(8);
  copy->SetSelLength(4);
  EXPECT_EQ(copy->SelAttributes()->Color(), clGray);
  EXPECT_EQ(copy->SelAttributes()->Size(), 14);
  EXPECT_FALSE(copy->SelAttributes()->Style().Contains(fsBold));

  // Plain text: the same file shows its RTF source; saved, it is text.
  copy->SetPlainText(true);
  copy->Lines()->LoadFromFile(file);
  EXPECT_TRUE(copy->Lines()->Get(0).startsWith("{\\rtf1"));
  source->SetPlainText(true);
  const QString text = testsupport::profileDir() + "/lines.txt";
  source->Lines()->SaveToFile(text);
  EXPECT_EQ(String::fromUtf8(testsupport::readFile(text)),
            "\r\nTEXT:\r\npage text with {braces} and \u00E9\u20AC\r\n");

  // Streams (the source editor's RTFText): the bytes are the RTF as text.
  source->SetPlainText(false);
  TMemoryStream stream;
  source->Lines()->SaveToStream(stream);
  const String rtfText = String::fromLatin1(stream.Bytes());
  TMemoryStream again;
  again.WriteBytes(rtfText.toLatin1());
  again.SetPosition(0);
  copy->SetPlainText(false);
  copy->Lines()->LoadFromStream(again);
  EXPECT_EQ(copy->Text(), source->Text());

  // Missing files raise as for any string list.
  EXPECT_THROW(copy->Lines()->LoadFromFile(testsupport::profileDir() + "/missing.rtf"), EFOpenError);
  EXPECT_THROW(copy->Lines()->SaveToFile(testsupport::profileDir() + "/no/such/dir/x.rtf"), EFCreateError);
}

}  // namespace rtftest
