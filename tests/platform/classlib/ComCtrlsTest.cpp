#include <gtest/gtest.h>

#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Streaming.h"

#include "tests/support/TestSupport.h"

namespace comctrlstest {

class ComControls : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeComCtrls();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 500, 400);
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }

  void ShowForm() {
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }

  TTabSheet* AddSheet(TPageControl* pc, const QString& caption) {
    auto* sheet = new TTabSheet(form);
    sheet->SetPageControl(pc);
    sheet->SetCaption(caption);
    return sheet;
  }

  TForm* form = nullptr;
};

// ---------------------------------------------------------------- page control

TEST_F(ComControls, PageControlShowsOnlyTheActivePageAndReportsUserSwitches) {
  auto* pc = new TPageControl(form);
  pc->SetBounds(10, 10, 300, 200);
  pc->SetParent(form);
  TTabSheet* web = AddSheet(pc, "Web Pages");
  TTabSheet* history = AddSheet(pc, "History");
  TTabSheet* tools = AddSheet(pc, "System Tools");
  QStringList events;
  pc->OnChanging = [&](TObject*, bool&) { events << "changing " + pc->ActivePage()->Caption(); };
  pc->OnChange = [&](TObject*) { events << "change " + pc->ActivePage()->Caption(); };

  EXPECT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->Pages(1), history);
  EXPECT_EQ(history->PageIndex(), 1);
  EXPECT_EQ(pc->ActivePage(), nullptr);
  pc->SetActivePage(history);
  EXPECT_EQ(pc->ActivePageIndex(), 1);
  EXPECT_TRUE(history->Visible());
  EXPECT_FALSE(web->Visible());
  EXPECT_TRUE(events.isEmpty());  // code raises nothing
  ShowForm();

  // Pages fill the area under the tabs.
  const TRect display = pc->DisplayRect();
  EXPECT_GT(display.Top, 0);
  EXPECT_EQ(history->Width(), display.Width());
  EXPECT_EQ(history->Height(), display.Height());

  // The user's click on a tab.
  auto* bar = pc->Widget()->findChild<QTabBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->count(), 3);
  EXPECT_EQ(bar->currentIndex(), 1);
  EXPECT_EQ(bar->tabText(2), "System Tools");
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
  EXPECT_EQ(pc->ActivePage(), tools);
  EXPECT_TRUE(tools->Visible());
  EXPECT_FALSE(history->Visible());
  EXPECT_EQ(events, (QStringList{"changing History", "change System Tools"}));

  // OnChanging can refuse.
  events.clear();
  pc->OnChanging = [&](TObject*, bool& allow) { allow = false; };
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
  EXPECT_EQ(pc->ActivePage(), tools);
  EXPECT_EQ(bar->currentIndex(), 2);
  EXPECT_TRUE(events.isEmpty());
  pc->OnChanging = nullptr;

  // Hidden tabs, moved pages, captions.
  history->SetTabVisible(false);
  EXPECT_EQ(bar->count(), 2);
  EXPECT_EQ(history->TabIndex(), -1);
  EXPECT_EQ(tools->TabIndex(), 1);
  EXPECT_EQ(pc->FindNextPage(web, true, true), tools);
  EXPECT_EQ(pc->FindNextPage(web, true, false), history);
  tools->SetPageIndex(0);
  EXPECT_EQ(pc->Pages(0), tools);
  EXPECT_EQ(bar->tabText(0), "System Tools");
  web->SetCaption("Favorites");
  EXPECT_EQ(bar->tabText(1), "Favorites");
  pc->SelectNextPage(true);
  EXPECT_EQ(pc->ActivePage(), web);
  EXPECT_EQ(events.last(), "change Favorites");

  // Freeing the active page activates the next one.
  delete web;
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage(), tools);
  EXPECT_THROW(pc->Pages(2), EListError);
}

class TPcTestForm : public TForm {
  Q_OBJECT
 public:
  using TForm::TForm;
  TPageControl* PageControl = nullptr;
  TTabSheet* ParceSheet = nullptr;
  TTabSheet* EventsTabSheet = nullptr;
};

TEST_F(ComControls, PageControlFromAFormResource) {
  RegisterClass<TPcTestForm>();
  RegisterHandlers<TPcTestForm>({FieldEntry("PageControl", &TPcTestForm::PageControl),
                                 FieldEntry("ParceSheet", &TPcTestForm::ParceSheet),
                                 FieldEntry("EventsTabSheet", &TPcTestForm::EventsTabSheet)});
  const QString text = QStringLiteral(
      "object PcTestForm: TPcTestForm\n"
      "  object PageControl: TPageControl\n"
      "    Left = 0\n"
      "    Top = 0\n"
      "    Width = 408\n"
      "    Height = 300\n"
      "    ActivePage = EventsTabSheet\n"
      "    object ParceSheet: TTabSheet\n"
      "      Caption = 'Parce page'\n"
      "    end\n"
      "    object EventsTabSheet: TTabSheet\n"
      "      Caption = 'Events'\n"
      "      object Log: TRichEdit\n"
      "        Align = alClient\n"
      "        PlainText = True\n"
      "      end\n"
      "    end\n"
      "  end\n"
      "end\n");
  TPcTestForm f(nullptr);
  ReadComponentRes(text, &f);
  ASSERT_NE(f.PageControl, nullptr);
  EXPECT_EQ(f.PageControl->PageCount(), 2);
  EXPECT_EQ(f.PageControl->Pages(0), f.ParceSheet);
  EXPECT_EQ(f.PageControl->ActivePage(), f.EventsTabSheet);
  EXPECT_FALSE(f.ParceSheet->Visible());
  auto* log = qobject_cast<TRichEdit*>(f.FindComponent("Log"));
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->PlainText());
  EXPECT_EQ(log->Parent(), f.EventsTabSheet);
  EXPECT_EQ(log->Width(), f.EventsTabSheet->Width());

  // Written out and read again, the pages and the active one come back.
  const QString written = WriteComponentRes(&f);
  TPcTestForm copy(nullptr);
  ReadComponentRes(written, &copy);
  ASSERT_NE(copy.PageControl, nullptr);
  EXPECT_EQ(copy.PageControl->PageCount(), 2);
  EXPECT_EQ(copy.PageControl->ActivePage(), copy.EventsTabSheet);
}

// ---------------------------------------------------------------- status bar

TEST_F(ComControls, StatusBarShowsSimpleTextInSimpleMode) {
  auto* bar = new TStatusBar(form);
  bar->SetParent(form);
  EXPECT_EQ(bar->Align(), alBottom);
  ShowForm();
  EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight());
  const QImage empty = bar->Widget()->grab().toImage();
  bar->SetSimpleText("Your favorites have been exported");
  EXPECT_EQ(bar->Widget()->grab().toImage(), empty);  // not in simple mode
  bar->SetSimplePanel(true);
  EXPECT_NE(bar->Widget()->grab().toImage(), empty);
  bar->SetSimplePanel(false);
  TStatusPanel* panel = bar->AddPanel();
  panel->Text = "Line: 1";
  panel->Width = 120;
  EXPECT_EQ(bar->PanelCount(), 1);
  EXPECT_EQ(bar->Panels(0)->Text, "Line: 1");
  EXPECT_NE(bar->Widget()->grab().toImage(), empty);
}

// ---------------------------------------------------------------- rich edit

TEST_F(ComControls, RichEditSelAttributesApplyToAddedTextAndSelection) {
  auto* edit = new TRichEdit(form);
  edit->SetBounds(10, 10, 400, 300);
  edit->SetParent(form);
  auto* text = static_cast<QTextEdit*>(edit->Widget());
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  TStrings* lines = edit->Lines();

  // The information tool's sequence.
  lines->Clear();
  lines->Add("");
  edit->SelAttributes()->SetColor(TColor(0xF0CAA6));
  edit->SelAttributes()->SetStyle({fsBold});
  lines->Add("TEXT:");
  edit->SelAttributes()->SetColor(clGray);
  edit->SelAttributes()->SetStyle({});
  lines->Add("");
  lines->Add("page text\r\nsecond line");
  lines->Add("");
  edit->SelAttributes()->SetColor(clTeal);
  edit->SelAttributes()->SetStyle({fsBold});
  lines->Add("HTML:");
  edit->SelAttributes()->SetStyle({});
  lines->Add("");
  lines->Add("<html></html>");
  EXPECT_EQ(lines->Count(), 9);
  EXPECT_EQ(changes, 8);  // attribute changes raise no OnChange

  const auto formatOf = [&](int line) {
    const QTextBlock block = text->document()->findBlockByNumber(line);
    return QTextCursor(block).block().begin().fragment().charFormat();
  };
  QTextCharFormat f = formatOf(1);
  EXPECT_EQ(f.foreground().color(), TColorToQColor(TColor(0xF0CAA6)));
  EXPECT_EQ(f.fontWeight(), QFont::Bold);
  f = formatOf(3);
  EXPECT_EQ(f.foreground().color(), TColorToQColor(clGray));
  EXPECT_NE(f.fontWeight(), QFont::Bold);
  EXPECT_EQ(formatOf(4).foreground().color(), TColorToQColor(clGray));  // the added string's second line
  f = formatOf(6);
  EXPECT_EQ(f.foreground().color(), TColorToQColor(clTeal));
  EXPECT_EQ(f.fontWeight(), QFont::Bold);
  f = formatOf(8);
  EXPECT_EQ(f.foreground().color(), TColorToQColor(clTeal));
  EXPECT_NE(f.fontWeight(), QFont::Bold);
  EXPECT_EQ(edit->SelAttributes()->Color(), clTeal);

  // A selection takes the attributes; reading them answers its format.
  const int start = text->document()->findBlockByNumber(3).position();
  edit->SetSelStart(start);
  edit->SetSelLength(4);
  EXPECT_EQ(edit->SelText(), "page");
  edit->SelAttributes()->SetStyle({fsItalic, fsUnderline});
  edit->SelAttributes()->SetSize(14);
  EXPECT_TRUE(edit->SelAttributes()->Style().Contains(fsItalic));
  EXPECT_TRUE(edit->SelAttributes()->Style().Contains(fsUnderline));
  EXPECT_EQ(edit->SelAttributes()->Size(), 14);
  QTextCursor c(text->document());
  c.setPosition(start + 2);
  EXPECT_TRUE(c.charFormat().fontItalic());
  EXPECT_TRUE(c.charFormat().fontUnderline());
  c.setPosition(start + 6);
  EXPECT_FALSE(c.charFormat().fontItalic());

  // The default attributes are the control's font.
  edit->DefAttributes()->SetName("Arial");
  edit->DefAttributes()->SetStyle({fsBold});
  EXPECT_EQ(edit->Font()->GetName(), "Arial");
  EXPECT_TRUE(edit->Font()->GetStyle().Contains(fsBold));
  TFont copy;
  copy.Assign(edit->DefAttributes());
  EXPECT_EQ(copy.GetName(), "Arial");
}

}  // namespace comctrlstest

#include "ComCtrlsTest.moc"
