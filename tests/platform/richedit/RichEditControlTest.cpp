#include <gtest/gtest.h>

#include <QTextBlock>

#include "tests/platform/richedit/RichEditFixture.h"

namespace richedittest {

// ---------------------------------------------------------------- index space

TEST_F(RichEditControl, PositionsCountOneUnitPerParagraphBreak) {
  edit->Lines()->Add("first");
  edit->Lines()->Add("second line");
  edit->Lines()->Add("");
  edit->Lines()->Add("fourth \u20AC");
  // Lines and the window text use CR LF; the ranges the control hands out CR.
  EXPECT_EQ(edit->Text(), "first\r\nsecond line\r\n\r\nfourth \u20AC\r\n");
  EXPECT_EQ(GetWindowTextLength(edit->Handle()), 32);
  EXPECT_EQ(Send(EM_GETLINECOUNT), 5);  // the last, empty paragraph counts
  EXPECT_EQ(Range(0, -1), "first\rsecond line\r\rfourth \u20AC\r");
  EXPECT_EQ(Range(3, 9), "st\rsec");
  EXPECT_EQ(Range(5, 6), "\r");
  EXPECT_EQ(Range(20, 10), "");
  EXPECT_EQ(Range(26, 1000), "\u20AC\r");

  // "s" of "second" is character 6: one position for the break after "first".
  EXPECT_EQ(Send(EM_LINEINDEX, 1), 6);
  EXPECT_EQ(Send(EM_LINEINDEX, 2), 18);
  EXPECT_EQ(Send(EM_LINEINDEX, 3), 19);
  EXPECT_EQ(Send(EM_LINEINDEX, 5), -1);
  EXPECT_EQ(Send(EM_LINEFROMCHAR, 5), 0);  // the break belongs to its paragraph
  EXPECT_EQ(Send(EM_LINEFROMCHAR, 6), 1);
  EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, 18), 2);
  EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, 9999), 4);
  EXPECT_EQ(Send(EM_LINELENGTH, 7), 11);
  EXPECT_EQ(Send(EM_LINELENGTH, 18), 0);
  EXPECT_EQ(Send(EM_LINELENGTH, 9999), 0);

  WCHAR line[32] = {};
  line[0] = 31;
  EXPECT_EQ(Send(EM_GETLINE, 1, line), 12);
  EXPECT_EQ(String::fromUtf16(line, 12), "second line\r");
  line[0] = 3;
  EXPECT_EQ(Send(EM_GETLINE, 0, line), 3);
  EXPECT_EQ(String::fromUtf16(line, 3), "fir");
  EXPECT_EQ(Send(EM_GETLINE, 9, line), 0);

  // The class library's selection uses the same positions.
  edit->SetSelStart(19);
  edit->SetSelLength(6);
  CHARRANGE sel;
  Send(EM_EXGETSEL, 0, &sel);
  EXPECT_EQ(sel.cpMin, 19);
  EXPECT_EQ(sel.cpMax, 25);
  EXPECT_EQ(Send(EM_LINEFROMCHAR, WPARAM(-1)), 3);
  EXPECT_EQ(Send(EM_LINEINDEX, WPARAM(-1)), 19);
  EXPECT_EQ(Send(EM_LINELENGTH, WPARAM(-1)), 2);  // " \u20AC" is not selected
  WCHAR selected[16] = {};
  EXPECT_EQ(Send(EM_GETSELTEXT, 0, selected), 6);
  EXPECT_EQ(String::fromUtf16(selected), "fourth");
  EXPECT_EQ(Send(EM_SELECTIONTYPE), SEL_TEXT | SEL_MULTICHAR);
}

TEST_F(RichEditControl, SelectionMessagesClampAndSelectAll) {
  edit->SetText("alpha\r\nbeta");
  CHARRANGE r{2, 8};
  EXPECT_EQ(Send(EM_EXSETSEL, 0, &r), 8);
  EXPECT_EQ(edit->SelStart(), 2);
  EXPECT_EQ(edit->SelLength(), 6);
  EXPECT_EQ(edit->SelText(), "pha\r\nbe");  // the class library's own text keeps CR LF
  r = {0, -1};
  EXPECT_EQ(Send(EM_EXSETSEL, 0, &r), 10);
  EXPECT_EQ(edit->SelLength(), 10);
  r = {7, 500};
  EXPECT_EQ(Send(EM_EXSETSEL, 0, &r), 10);
  EXPECT_EQ(edit->SelStart(), 7);
  r = {-1, 0};
  Send(EM_EXSETSEL, 0, &r);
  EXPECT_EQ(edit->SelLength(), 0);
  EXPECT_EQ(Send(EM_SELECTIONTYPE), SEL_EMPTY);
  Send(EM_SETSEL, 1, 3);
  DWORD start = 0, end = 0;
  EXPECT_EQ(Send(EM_GETSEL, WPARAM(&start), LPARAM(&end)), LRESULT(MAKELONG(1, 3)));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 3u);
  // Replacing the selection through the window.
  Send(EM_REPLACESEL, TRUE, LPARAM(u"LL"));
  EXPECT_EQ(edit->Text(), "aLLha\r\nbeta");
  EXPECT_EQ(edit->Lines()->Strings(), QStringList({"aLLha", "beta"}));
  // Ranges keep every character as it is.
  Send(EM_REPLACESEL, TRUE, LPARAM(u"\u00A0\t"));
  EXPECT_EQ(Range(0, -1), "aLL\u00A0\tha\rbeta");
}

TEST_F(RichEditControl, FindTextSearchesBothWaysWithCaseAndWholeWords) {
  edit->SetText("Find the cat.\r\nA category of CAT\r\ncat");
  FINDTEXTEXW f{{0, -1}, u"cat", {}};
  EXPECT_EQ(Send(EM_FINDTEXTEXW, FR_DOWN, &f), 9);
  EXPECT_EQ(f.chrgText.cpMin, 9);
  EXPECT_EQ(f.chrgText.cpMax, 12);
  f.chrg = {10, -1};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN, &f), 16);                 // in "category"
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN | FR_WHOLEWORD, &f), 28);  // "CAT"
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN | FR_WHOLEWORD | FR_MATCHCASE, &f), 32);
  f.chrg = {10, 30};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN | FR_WHOLEWORD | FR_MATCHCASE, &f), -1);
  EXPECT_EQ(f.chrgText.cpMin, -1);

  // Backwards: from cpMin down to cpMax.
  f.chrg = {31, 0};
  EXPECT_EQ(Send(EM_FINDTEXTEX, 0, &f), 28);
  f.chrg = {31, 0};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_MATCHCASE, &f), 16);
  f.chrg = {15, 0};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_WHOLEWORD, &f), 9);
  f.chrg = {15, 10};
  EXPECT_EQ(Send(EM_FINDTEXTEX, 0, &f), -1);
  f.chrg = {-1, -1};
  EXPECT_EQ(Send(EM_FINDTEXTEX, 0, &f), 32);

  // A paragraph break is searched as CR.
  FINDTEXTW plain{{0, -1}, u"cat.\rA"};
  EXPECT_EQ(Send(EM_FINDTEXTW, FR_DOWN, &plain), 9);
  plain.lpstrText = u"";
  EXPECT_EQ(Send(EM_FINDTEXT, FR_DOWN, &plain), -1);
}

// ---------------------------------------------------------------- formats

TEST_F(RichEditControl, CharFormatsApplyToSelectionAllAndDefault) {
  edit->Font()->SetName("Tahoma");
  edit->Font()->SetSize(10);
  edit->SetText("plain bold red\r\nsecond");
  Send(EM_SETSEL, 6, 14);
  CHARFORMAT2W cf;
  cf.dwMask = CFM_BOLD | CFM_SIZE | CFM_FACE;
  cf.dwEffects = CFE_BOLD;
  cf.yHeight = 280;  // 14 pt
  std::u16string_view face = u"Courier New";
  std::copy(face.begin(), face.end(), cf.szFaceName);
  EXPECT_NE(Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf), 0);
  Send(EM_SETSEL, 11, 14);
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_COLOR | CFM_ITALIC;
  cf.crTextColor = RGB(255, 0, 0);
  cf.dwEffects = CFE_ITALIC;
  Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf);

  const auto formatOf = [&](int from, int to) {
    Send(EM_SETSEL, from, to);
    CHARFORMAT2W out;
    out.dwMask = 0;
    Send(EM_GETCHARFORMAT, SCF_SELECTION, &out);
    return out;
  };
  CHARFORMAT2W got = formatOf(11, 14);
  EXPECT_EQ(got.dwMask & (CFM_BOLD | CFM_ITALIC | CFM_COLOR | CFM_SIZE | CFM_FACE),
            CFM_BOLD | CFM_ITALIC | CFM_COLOR | CFM_SIZE | CFM_FACE);
  EXPECT_EQ(got.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_AUTOCOLOR), CFE_BOLD | CFE_ITALIC);
  EXPECT_EQ(got.crTextColor, RGB(255, 0, 0));
  EXPECT_EQ(got.yHeight, 280);
  EXPECT_EQ(String::fromUtf16(got.szFaceName), "Courier New");
  // Mixed attributes leave the mask; the uniform ones stay.
  got = formatOf(0, 14);
  EXPECT_EQ(got.dwMask & (CFM_BOLD | CFM_ITALIC | CFM_COLOR | CFM_SIZE | CFM_FACE), 0u);
  EXPECT_TRUE(got.dwMask & CFM_UNDERLINE);
  got = formatOf(0, 5);
  EXPECT_TRUE(got.dwEffects & CFE_AUTOCOLOR);
  EXPECT_EQ(got.yHeight, 200);
  EXPECT_EQ(String::fromUtf16(got.szFaceName), "Tahoma");
  // The class library's selection attributes read the same format.
  Send(EM_SETSEL, 11, 14);
  EXPECT_EQ(edit->SelAttributes()->Color(), clRed);
  EXPECT_TRUE(edit->SelAttributes()->Style().Contains(fsBold));

  // Automatic colour takes the colour away again.
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_COLOR;
  cf.dwEffects = CFE_AUTOCOLOR;
  Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf);
  EXPECT_TRUE(formatOf(11, 14).dwEffects & CFE_AUTOCOLOR);

  // SCF_ALL: every character, the empty selection too.
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_UNDERLINE | CFM_STRIKEOUT;
  cf.dwEffects = CFE_UNDERLINE | CFE_STRIKEOUT;
  Send(EM_SETSEL, 3, 3);
  Send(EM_SETCHARFORMAT, SCF_ALL, &cf);
  got = formatOf(0, -1);
  EXPECT_EQ(got.dwEffects & (CFE_UNDERLINE | CFE_STRIKEOUT), CFE_UNDERLINE | CFE_STRIKEOUT);
  EXPECT_TRUE(got.dwMask & CFM_UNDERLINE);
  // Empty paragraphs look like the text around them.
  edit->Lines()->Insert(1, "");
  Send(EM_SETSEL, 0, -1);
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_SIZE;
  cf.yHeight = 400;
  Send(EM_SETCHARFORMAT, SCF_ALL, &cf);
  EXPECT_EQ(edit->TextEdit()->document()->findBlockByNumber(1).charFormat().fontPointSize(), 20);
  edit->Lines()->Delete(1);

  // What is typed or added next takes a format set on an empty selection.
  Send(EM_SETSEL, 21, 21);
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_COLOR;
  cf.crTextColor = RGB(0, 128, 0);
  Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf);
  got = formatOf(21, 21);
  EXPECT_EQ(got.crTextColor, RGB(0, 128, 0));
  edit->Lines()->Add("green");
  got = formatOf(22, 27);
  EXPECT_EQ(Range(22, 27), "green");
  EXPECT_EQ(got.crTextColor, RGB(0, 128, 0));

  // SCF_DEFAULT is the control's font.
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD;
  std::u16string_view arial = u"Arial";
  std::copy(arial.begin(), arial.end(), cf.szFaceName);
  cf.yHeight = 240;
  cf.dwEffects = CFE_BOLD;
  Send(EM_SETCHARFORMAT, SCF_DEFAULT, &cf);
  EXPECT_EQ(edit->Font()->GetName(), "Arial");
  EXPECT_EQ(edit->Font()->GetSize(), 12);
  EXPECT_TRUE(edit->Font()->GetStyle().Contains(fsBold));
  CHARFORMAT2W def;
  Send(EM_GETCHARFORMAT, SCF_DEFAULT, &def);
  EXPECT_EQ(String::fromUtf16(def.szFaceName), "Arial");
  EXPECT_EQ(def.yHeight, 240);

  // A record of an unknown size is refused.
  cf.cbSize = 12;
  EXPECT_EQ(Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf), 0);
}

TEST_F(RichEditControl, FormatChangesRaiseNoChangeButTextChangesDo) {
  edit->SetText("some text");
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(Send(EM_SETEVENTMASK, 0, ENM_CHANGE), LRESULT(ENM_NONE));
  EXPECT_EQ(Send(EM_GETEVENTMASK), LRESULT(ENM_CHANGE));
  Send(EM_SETSEL, 0, 4);
  CHARFORMAT2W cf;
  cf.dwMask = CFM_BOLD;
  cf.dwEffects = CFE_BOLD;
  Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf);
  PARAFORMAT2 pf;
  pf.dwMask = PFM_ALIGNMENT;
  pf.wAlignment = PFA_CENTER;
  Send(EM_SETPARAFORMAT, 0, &pf);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(Count(EN_CHANGE), 0);
  PARAFORMAT2 read;
  EXPECT_EQ(Send(EM_GETPARAFORMAT, 0, &read), LRESULT(PFM_ALIGNMENT));
  EXPECT_EQ(read.wAlignment, PFA_CENTER);

  Send(EM_REPLACESEL, 0, LPARAM(u"new"));
  edit->Lines()->Add("line");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(Count(EN_CHANGE), 2);
  // Without the mask the parent hears nothing.
  Send(EM_SETEVENTMASK, 0, ENM_NONE);
  edit->Lines()->Add("more");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(Count(EN_CHANGE), 2);
}

TEST_F(RichEditControl, SelectionChangesAreReportedPerMask) {
  edit->SetText("one two three");
  Send(EM_SETSEL, 0, 0);
  Send(EM_SETSEL, 2, 2);  // no mask yet: nothing
  EXPECT_EQ(Count(EN_SELCHANGE), 0);
  Send(EM_SETEVENTMASK, 0, ENM_SELCHANGE);
  CHARRANGE r{4, 7};
  Send(EM_EXSETSEL, 0, &r);
  ASSERT_EQ(Count(EN_SELCHANGE), 1);
  EXPECT_EQ(notes.back().range.cpMin, 4);
  EXPECT_EQ(notes.back().range.cpMax, 7);
  EXPECT_EQ(notes.back().selType, SEL_TEXT | SEL_MULTICHAR);
  // Only the anchor moves: still a change of the selection.
  r = {5, 7};
  Send(EM_EXSETSEL, 0, &r);
  ASSERT_EQ(Count(EN_SELCHANGE), 2);
  EXPECT_EQ(notes.back().range.cpMin, 5);
  // The same selection again is no change.
  Send(EM_EXSETSEL, 0, &r);
  EXPECT_EQ(Count(EN_SELCHANGE), 2);
  // The user's caret moves count too.
  edit->SetSelStart(9);
  ASSERT_EQ(Count(EN_SELCHANGE), 3);
  EXPECT_EQ(notes.back().selType, SEL_EMPTY);
  EXPECT_EQ(Count(EN_CHANGE), 0);
}

// ---------------------------------------------------------------- streams

struct Sink {
  QByteArray bytes;
  LONG most = 7;  // bytes taken per call
  int calls = 0;
  static DWORD Take(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* self = reinterpret_cast<Sink*>(cookie);
    ++self->calls;
    *pcb = std::min(cb, self->most);
    self->bytes.append(reinterpret_cast<const char*>(buffer), *pcb);
    return 0;
  }
};

struct Source {
  QByteArray bytes;
  int at = 0;
  LONG most = 5;
  DWORD failAfter = 0;  // fail on this call (0: never)
  DWORD calls = 0;
  static DWORD Give(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* self = reinterpret_cast<Source*>(cookie);
    if (++self->calls == self->failAfter) return 42;
    *pcb = std::min<LONG>({cb, self->most, LONG(self->bytes.size() - self->at)});
    std::copy_n(self->bytes.constData() + self->at, *pcb, reinterpret_cast<char*>(buffer));
    self->at += *pcb;
    return 0;
  }
};

TEST_F(RichEditControl, StreamOutInSmallChunksGivesTheWholeDocument) {
  edit->Lines()->Add("Heading {with braces} and \\ backslash");
  edit->SelAttributes()->SetColor(clBlue);
  edit->Lines()->Add("Blue line \u00E9\u20AC\u4E2D");
  const QByteArray whole = SaveRichEditContent(*edit, SF_RTF);
  ASSERT_TRUE(whole.startsWith("{\\rtf1"));

  Sink sink;
  EDITSTREAM es{DWORD_PTR(&sink), 0, &Sink::Take};
  EXPECT_EQ(Send(EM_STREAMOUT, SF_RTF, &es), LRESULT(whole.size()));
  EXPECT_EQ(sink.bytes, whole);
  EXPECT_EQ(es.dwError, 0u);
  EXPECT_GE(sink.calls, int(whole.size() / 7));

  // Plain text with CR LF between paragraphs, UTF-8 or UTF-16.
  sink = Sink();
  sink.most = 1000;
  Send(EM_STREAMOUT, SF_TEXT, &es);
  EXPECT_EQ(String::fromUtf8(sink.bytes),
            "Heading {with braces} and \\ backslash\r\nBlue line \u00E9\u20AC\u4E2D\r\n");
  sink = Sink();
  sink.most = 1000;
  Send(EM_STREAMOUT, SF_TEXT | SF_UNICODE, &es);
  EXPECT_EQ(
      String::fromUtf16(reinterpret_cast<const char16_t*>(sink.bytes.constData()), sink.bytes.size() / 2),
      "Heading {with braces} and \\ backslash\r\nBlue line \u00E9\u20AC\u4E2D\r\n");

  // The selection alone.
  Send(EM_SETSEL, 8, 12);
  sink = Sink();
  Send(EM_STREAMOUT, SF_TEXT | SFF_SELECTION, &es);
  EXPECT_EQ(sink.bytes, "{wit");

  // A receiver that fails stops the transfer and its error is kept.
  struct Failing {
    static DWORD Take(DWORD_PTR, BYTE*, LONG, LONG* pcb) {
      *pcb = 0;
      return 5;
    }
  };
  EDITSTREAM failing{0, 0, &Failing::Take};
  EXPECT_EQ(Send(EM_STREAMOUT, SF_RTF, &failing), 0);
  EXPECT_EQ(failing.dwError, 5u);
}

TEST_F(RichEditControl, StreamInReplacesTextOrSelection) {
  edit->SetText("old text");
  edit->SetModified(true);
  Source source;
  source.bytes =
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}"
      "\\pard\\f0\\fs24 first \\cf1\\b red\\b0\\cf0\\par second}";
  EDITSTREAM es{DWORD_PTR(&source), 0, &Source::Give};
  EXPECT_EQ(Send(EM_STREAMIN, SF_RTF, &es), 16);
  EXPECT_EQ(edit->Text(), "first red\r\nsecond");
  EXPECT_EQ(edit->Lines()->Count(), 2);
  EXPECT_FALSE(edit->Modified());
  EXPECT_EQ(Send(EM_CANUNDO), 0);
  Send(EM_SETSEL, 6, 9);
  EXPECT_EQ(edit->SelAttributes()->Color(), clRed);

  // Into the selection, as text.
  source = Source();
  source.bytes = "A\r\nB";
  Send(EM_SETSEL, 6, 9);
  EXPECT_EQ(Send(EM_STREAMIN, SF_TEXT | SFF_SELECTION, &es), 3);
  EXPECT_EQ(edit->Text(), "first A\r\nB\r\nsecond");

  // RTF requested, but the input is no RTF: read as text.
  source = Source();
  source.bytes = "<html>\n<body>caf\xC3\xA9</body>\n</html>\n";
  Send(EM_STREAMIN, SF_RTF, &es);
  EXPECT_EQ(edit->Text(), "<html>\r\n<body>caf\u00E9</body>\r\n</html>\r\n");
  // Bytes that are no UTF-8 are read in code page 1252.
  source = Source();
  source.bytes = "caf\xE9 \x80";
  Send(EM_STREAMIN, SF_TEXT, &es);
  EXPECT_EQ(edit->Text(), "caf\u00E9 \u20AC");

  // A failing source keeps what came before the failure and reports it.
  source = Source();
  source.bytes = "0123456789";
  source.failAfter = 3;
  Send(EM_STREAMIN, SF_TEXT, &es);
  EXPECT_EQ(es.dwError, 42u);
  EXPECT_EQ(edit->Text(), "0123456789");
}

// A long text streamed in as a whole: one change, the caret at the start,
// no undo steps but undo working again, colours in place far down.
TEST_F(RichEditControl, ALongNewTextStreamsInAsOneChange) {
  Show();
  edit->SetText("old text");
  Send(EM_SETSEL, 3, 5);
  edit->SetModified(true);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  Send(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);

  QTextDocument page;
  QTextCursor writer(&page);
  QTextCharFormat blue;
  blue.setForeground(QColor(0, 0, 255));
  QString want;
  for (int line = 0; line < 3000; ++line) {
    if (line > 0) writer.insertBlock();
    const QString tag = QStringLiteral("<p id=\"%1\">").arg(line);
    writer.insertText(tag, blue);
    writer.insertText(QStringLiteral("text of line %1").arg(line), QTextCharFormat());
    want +=
        (line > 0 ? QStringLiteral("\r\n") : QString()) + tag + QStringLiteral("text of line %1").arg(line);
  }
  Source source;
  source.bytes = WriteRtf(page, 0, page.characterCount() - 1, DefaultCharAttributes(*edit));
  source.most = 4096;
  EDITSTREAM es{DWORD_PTR(&source), 0, &Source::Give};
  EXPECT_EQ(Send(EM_STREAMIN, SF_RTF, &es), LRESULT(page.characterCount() - 1));

  EXPECT_EQ(edit->Text(), want);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Count(EN_CHANGE), 1);
  ASSERT_EQ(Count(EN_SELCHANGE), 1);
  EXPECT_EQ(notes.back().range.cpMin, 0);
  EXPECT_EQ(notes.back().range.cpMax, 0);
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_EQ(edit->SelLength(), 0);
  EXPECT_FALSE(edit->Modified());
  EXPECT_EQ(Send(EM_CANUNDO), 0);
  const int last = int(Text()->document()->toPlainText().lastIndexOf(QStringLiteral("<p id=\"2999")));
  Send(EM_SETSEL, last + 1, last + 2);
  EXPECT_EQ(edit->SelAttributes()->Color(), TColor(0xFF0000));  // blue, as BGR
  Send(EM_SETSEL, last + 14, last + 15);
  EXPECT_EQ(edit->SelAttributes()->Color(), clWindowText);

  // Typing afterwards is one undo step back to the loaded text.
  Send(EM_SETSEL, 0, 0);
  Send(EM_REPLACESEL, TRUE, LPARAM(u"typed "));
  EXPECT_TRUE(edit->Modified());
  ASSERT_NE(Send(EM_CANUNDO), 0);
  Send(EM_UNDO);
  EXPECT_EQ(edit->Text(), want);

  // An empty text where the caret is at the start already moves nothing.
  Send(EM_SETSEL, 0, 0);
  const int selections = Count(EN_SELCHANGE);
  source = Source();
  Send(EM_STREAMIN, SF_TEXT, &es);
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(Count(EN_SELCHANGE), selections);
  EXPECT_EQ(changes, 4);  // the two loads, the typing and its undo
}

// Addresses far down a long text are links at once, whether the layout has
// reached them or not, and each is marked once when it has.
TEST_F(RichEditControl, LinksFarDownALongTextWorkBeforeAndAfterTheLayout) {
  Show();
  Send(EM_AUTOURLDETECT, TRUE);
  Send(EM_SETEVENTMASK, 0, ENM_LINK);
  QByteArray text = "http://example.com/first\r\n";
  for (int line = 0; line < 4000; ++line) text += "filler line " + QByteArray::number(line) + "\r\n";
  text += "see www.example.org/far away";
  Source source;
  source.bytes = text;
  source.most = 1 << 20;
  EDITSTREAM es{DWORD_PTR(&source), 0, &Source::Give};
  Send(EM_STREAMIN, SF_TEXT, &es);
  const String control = edit->TextEdit()->document()->toPlainText();
  const int far = int(control.indexOf(QStringLiteral("www.example.org/far")));
  ASSERT_GT(far, 0);

  Send(EM_SETSEL, far, far);
  Send(EM_SCROLLCARET);
  POINT p;
  Send(EM_POSFROMCHAR, WPARAM(&p), far + 5);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(p.x + 2, p.y + 4));
  ASSERT_EQ(Count(EN_LINK), 1);
  EXPECT_EQ(notes.back().range.cpMin, far);
  EXPECT_EQ(notes.back().range.cpMax, far + 19);
  Send(WM_LBUTTONUP, 0, PointToLParam(p.x + 2, p.y + 4));

  const Ranges both{{0, 24}, {far, far + 19}};
  EXPECT_TRUE(QTest::qWaitFor([&] { return LinkMarks() == both; }, 20000)) << LinkMarks().size();
}

}  // namespace richedittest
