// The tools window's parse tab on its real form offscreen, against a loopback
// page that holds every tag kind the report knows: the filters' blocks with
// their formats, the buttons and their pictures, the address rules and
// printing.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QTextBlock>
#include <QTextEdit>
#include <QUrl>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/Dialogs.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using FullScreen::FullScreenForm;
using FullScreen::TFullScreenForm;

const char kEveryTag[] =
    "<html><head><title>Every tag</title><base href=\"http://127.0.0.1/\" target=\"_self\">"
    "<meta name=\"keywords\" content=\"parse\"><script language=\"JavaScript\" src=\"s.js\">var "
    "a;</script></head>"
    "<body background=\"bg.png\" link=\"red\"><basefont color=\"blue\" face=\"Arial\" size=\"4\">"
    "<div align=\"left\">Div text</div><a href=\"http://127.0.0.1/one\">one</a><a href=\"/two\">two</a>"
    "<img src=\"pic.png\" alt=\"Pic\" width=\"10\"><img><comment>the comment text</comment>"
    "<font color=\"green\" size=\"2\" face=\"Verdana\">F</font><form action=\"/go\" method=\"post\"></form>"
    "<hr align=\"center\" size=\"3\"><marquee bgcolor=\"yellow\" "
    "direction=\"left\">M</marquee><br></body></html>";

class ParseTab : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    setStartPage(QStringLiteral("about:blank"));
    server_.page("/every.html", kEveryTag);
    ASSERT_TRUE(server_.start());
    Application->CreateForm(Menu::MyMenuForm);
    Application->CreateForm(FullScreenForm);
    f = FullScreenForm;
  }

  // Presses the start and clear button.
  void Start(const QString& address) {
    f->URLEdit->SetText(address);
    f->P001BtnMouseUp(f->P001Btn, mbLeft, {}, 0, 0);
  }
  QString url(const QString& path) const { return server_.url(path); }
  QStringList report() const { return f->ParsInfo->Lines()->Strings(); }
  bool reportHas(const QString& line) const { return report().contains(line); }
  void check(const QStringList& names) {
    for (int i = 0; i < f->CheckListBox->Items()->Count(); ++i)
      f->CheckListBox->SetChecked(i, names.contains(f->CheckListBox->Items()->Get(i)));
  }
  QStringList checked() const {
    QStringList out;
    for (int i = 0; i < f->CheckListBox->Items()->Count(); ++i)
      if (f->CheckListBox->Checked(i)) out << f->CheckListBox->Items()->Get(i);
    return out;
  }
  // The character format of the report's first line with this text.
  QTextCharFormat format(const QString& text) const { return apptest::LineFormat(f->ParsInfo, text); }
  bool shows(TImage* image, const QString& file) const {
    return apptest::ShowsSkinPicture(image, programDir(), file);
  }

  TFullScreenForm* f = nullptr;
  testsupport::LoopbackServer server_;
};

using apptest::Rgb;

TEST_F(ParseTab, TheFiltersAndTheirButtons) {
  EXPECT_EQ(f->CheckListBox->Items()->Count(), 17);
  EXPECT_EQ(f->CheckListBox->Items()->IndexOf("BR"), -1);
  EXPECT_TRUE(checked().isEmpty());
  EXPECT_TRUE(f->ShowParseFilters->Checked());
  EXPECT_TRUE(shows(f->P001Btn, "Parse/P001A.PNG"));

  const QStringList defaults = {"Body", "Div", "Form", "Meta Tags", "Script"};
  f->PC001BtnMouseUp(f->PC001Btn, mbLeft, {}, 0, 0);
  EXPECT_EQ(checked(), defaults);
  EXPECT_TRUE(shows(f->PC001Btn, "Controls/C001B.PNG"));
  check({"Anchor"});
  f->PC001BtnMouseUp(f->PC001Btn, mbLeft, {}, 0, 0);
  EXPECT_EQ(checked(), defaults);
  EXPECT_TRUE(shows(f->PC001Btn, "Controls/C001A.PNG"));
  f->ParseButtonMouseEnter(f->PC001Btn);  // hover leaves the state picture
  EXPECT_TRUE(shows(f->PC001Btn, "Controls/C001A.PNG"));

  f->CheckAllParseFilters->SetChecked(true);
  EXPECT_EQ(checked().size(), 17);
  f->CheckAllParseFilters->SetChecked(false);
  EXPECT_TRUE(checked().isEmpty());

  f->PC002BtnMouseUp(f->PC002Btn, mbLeft, {}, 0, 0);
  EXPECT_TRUE(f->TimeControlParse->Checked());
  EXPECT_TRUE(shows(f->PC002Btn, "Controls/C002B.PNG"));
  f->TimeControlParse->SetChecked(false);
  EXPECT_TRUE(shows(f->PC002Btn, "Controls/C002A.PNG"));

  f->ShowParseFiltersClick(f->ShowParseFilters);
  EXPECT_FALSE(f->CheckPanel->Visible());
  EXPECT_FALSE(f->ParseSplitter->Visible());
  EXPECT_FALSE(f->CheckListBox->Visible());
  f->ShowParseFiltersClick(f->ShowParseFilters);
  EXPECT_TRUE(f->CheckListBox->Visible());
}

TEST_F(ParseTab, EveryBlockWithItsFormats) {
  f->CheckAllParseFilters->SetChecked(true);
  Start(url("/every.html"));
  EXPECT_TRUE(shows(f->P001Btn, "Parse/P003A.PNG"));
  // One anchor per parse.
  EXPECT_EQ(report().count(">> ANCHOR:"), 1);
  EXPECT_TRUE(reportHas("> Ref: http://127.0.0.1/one"));
  EXPECT_FALSE(reportHas("> Ref: http://127.0.0.1/two"));
  EXPECT_TRUE(reportHas("Ref: http://127.0.0.1/"));
  EXPECT_TRUE(reportHas("Color: #0000ff"));
  EXPECT_TRUE(reportHas(">> DIV:"));
  EXPECT_TRUE(reportHas("Align: left"));
  EXPECT_TRUE(reportHas("META TAG:"));
  EXPECT_TRUE(reportHas("Content: parse"));
  EXPECT_TRUE(reportHas("LANGUAGE: JavaScript"));
  EXPECT_TRUE(reportHas("Text: the comment text"));
  EXPECT_TRUE(reportHas("Face: Verdana"));
  EXPECT_TRUE(reportHas("Action: /go"));
  EXPECT_TRUE(reportHas("Method: post"));
  EXPECT_TRUE(reportHas("Align: center"));
  EXPECT_TRUE(reportHas("bgColor: #ffff00"));
  EXPECT_TRUE(reportHas("Title: Every tag"));
  EXPECT_FALSE(reportHas(">> BR:"));
  // An image without a source still writes its last three lines.
  EXPECT_EQ(report().count("hSpace: 0"), 2);
  EXPECT_EQ(report().count("Height: 0"), 2);

  const QTextCharFormat source = format("Source: http://127.0.0.1/pic.png");
  EXPECT_EQ(source.foreground().color(), Rgb(clTeal));
  EXPECT_TRUE(source.fontUnderline());
  EXPECT_EQ(source.fontWeight(), QFont::Bold);
  EXPECT_EQ(int(source.fontPointSize()), 8);
  const QTextCharFormat meta = format("META TAG:");
  EXPECT_EQ(meta.fontFamilies().toStringList().value(0), "Arial");
  EXPECT_EQ(int(meta.fontPointSize()), 11);
  EXPECT_EQ(format("PAGE BODY:").fontWeight(), QFont::Bold);
  EXPECT_EQ(format("Alt: Pic").fontWeight(), QFont::Normal);

  // The button then clears the report; the next parse reports an anchor again.
  Start(url("/every.html"));
  EXPECT_TRUE(report().join("").isEmpty());
  EXPECT_TRUE(shows(f->P001Btn, "Parse/P001A.PNG"));
  Start(url("/every.html"));
  EXPECT_EQ(report().count(">> ANCHOR:"), 1);
}

TEST_F(ParseTab, WithNoFiltersOnlyTheTimedLines) {
  Start(url("/every.html"));
  EXPECT_TRUE(report().join("").isEmpty());
  Start(url("/every.html"));  // clears

  f->TimeControlParse->SetChecked(true);
  Start(url("/every.html"));
  // Each progress message under its timed line; nothing else.
  QStringList lines = report();
  lines.removeAll(QString());
  ASSERT_EQ(lines.size() % 2, 0);
  for (int i = 0; i < lines.size(); i += 2) {
    EXPECT_TRUE(lines[i].startsWith("Process [") && lines[i].endsWith("]")) << lines[i].toStdString();
    EXPECT_FALSE(lines[i + 1].startsWith("Process [")) << lines[i + 1].toStdString();
  }
  EXPECT_TRUE(lines.last().startsWith("Done. Process Time: "));
  EXPECT_EQ(lines[1], "CoCreateInstance: The operation was successful");
  // The time uses the process's time separator.
  const QChar separator = FormatSettings.TimeSeparator;
  EXPECT_TRUE(lines[0].contains(separator));
  const QTextCharFormat timed = format(lines[0]);
  EXPECT_EQ(timed.fontFamilies().toStringList().value(0), "Arial");
  EXPECT_EQ(int(timed.fontPointSize()), 9);
}

TEST_F(ParseTab, AddressRules) {
  f->CheckAllParseFilters->SetChecked(true);
  // A page that is not there keeps the report and says so.
  f->ParsInfo->Lines()->Add("kept");
  Start(url("/missing.html"));
  EXPECT_EQ(f->URLEdit->Text(), "Page not found ...");
  EXPECT_EQ(report(), QStringList{"kept"});

  // No scheme: "http://" is put before it; a file address keeps its own.
  const String bare = url("/every.html").mid(QString("http://").size());
  Start(bare);
  EXPECT_EQ(f->URLEdit->Text(), "http://" + bare);
  EXPECT_TRUE(reportHas(">> DIV:"));
  EXPECT_FALSE(reportHas("kept"));
  Start(url("/every.html"));  // clears
  const QString file = programDir() + "/every.html";
  ASSERT_TRUE(testsupport::writeFile(file, kEveryTag));
  const QString fileUrl = QUrl::fromLocalFile(file).toString();
  Start(fileUrl);
  EXPECT_EQ(f->URLEdit->Text(), fileUrl);
  EXPECT_TRUE(reportHas("Protocol: file:"));
  Start(fileUrl);  // clears

  // The box shows the browser's page title: the browser's page is parsed.
  f->WB->Navigate(url("/every.html"));
  ASSERT_TRUE(
      testsupport::waitFor([&] { return f->WB->LocationName() == "Every tag" && !f->WB->Busy(); }, 15000));
  Start("Every tag");
  EXPECT_EQ(f->URLEdit->Text(), url("/every.html"));
  EXPECT_TRUE(reportHas("Title: Every tag"));
}

TEST_F(ParseTab, PrintingNamesTheParser) {
  f->CheckAllParseFilters->SetChecked(true);
  Start(url("/every.html"));
  const QString pdf = testsupport::profileDir() + "/parse.pdf";
  QPrinter& printer = DialogPrinter();
  const QPrinter::OutputFormat format = printer.outputFormat();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  {
    TScriptedDialogService dialogs;
    dialogs.QueuePrint(true);
    f->P002BtnMouseUp(f->P002Btn, mbLeft, {}, 0, 0);
    EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkPrint).size(), 1u);
  }
  printer.setOutputFileName(QString());
  printer.setOutputFormat(format);
  EXPECT_TRUE(testsupport::readFile(pdf).startsWith("%PDF"));
  EXPECT_EQ(printer.docName(), "Noctivane Parser v 1.00.00.00");
}

}  // namespace
