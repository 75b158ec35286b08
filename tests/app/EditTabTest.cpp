// The tools window's edit tab with the real window and browser: the edit
// switch both ways on a loopback page, the address check, the labels the
// designer's events write, the pane switches and the command buttons (the
// link and image dialogs answered and cancelled); the information panel's layout.
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/EditingSupport.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QWebEngineView>

namespace FullScreen {
struct FullScreenFormInternals {
  static bool EditMode(const TFullScreenForm* f) { return f->FEditMode; }
};
}  // namespace FullScreen

using FullScreen::FullScreenForm;
using FullScreen::FullScreenFormInternals;
using FullScreen::TFullScreenForm;
using Menu::MyMenuForm;
using testsupport::BrowserDialogAnswer;

namespace {

class EditTab : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    setStartPage(QStringLiteral("about:blank"));
    Application->CreateForm(MyMenuForm);
    Application->CreateForm(FullScreenForm);
    form = FullScreenForm;
    ASSERT_TRUE(Idle());
  }
  bool Idle() {
    return testsupport::waitFor(
        [&] { return form->WB->ReadyState() == READYSTATE_COMPLETE && !form->WB->Busy(); }, 15000);
  }
  void Up(TImage* button) { (form->*handler(button))(button, mbLeft, {}, 1, 1); }
  using Handler = void (TFullScreenForm::*)(TObject*, TMouseButton, TShiftState, int, int);
  Handler handler(TImage* b) {
    const std::map<TImage*, Handler> map = {{form->EC001Btn, &TFullScreenForm::EC001BtnMouseUp},
                                            {form->EC002Btn, &TFullScreenForm::EC002BtnMouseUp},
                                            {form->EC003Btn, &TFullScreenForm::EC003BtnMouseUp},
                                            {form->EC004Btn, &TFullScreenForm::EC004BtnMouseUp},
                                            {form->EC005Btn, &TFullScreenForm::EC005BtnMouseUp},
                                            {form->EC006Btn, &TFullScreenForm::EC006BtnMouseUp},
                                            {form->EC007Btn, &TFullScreenForm::EC007BtnMouseUp}};
    return map.at(b);
  }
  QString EditorText() const { return form->EditWB->TextEdit()->document()->toPlainText(); }
  QString DesignMode() {
    ComPtr<IHTMLDocument2> doc = form->WB->GetDocument();
    BSTR mode = nullptr;
    if (!doc || FAILED(doc->get_designMode(&mode))) return {};
    const QString s = BSTRToString(mode).toLower();
    SysFreeString(mode);
    return s;
  }

  apptest::PageServer server;
  TFullScreenForm* form = nullptr;
};

}  // namespace

TEST_F(EditTab, TheEditSwitchEditsThePageAndEmptiesThePanesAgain) {
  EXPECT_TRUE(form->EditWB->GetText().isEmpty());
  server.setPage("doc", "<html><head><title>doc</title></head><body><p>editable</p></body></html>");
  form->WB->Navigate(server.url("doc"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("doc") > 0; }));
  ASSERT_TRUE(Idle());
  // Typed without a scheme: checked and kept as a web address.
  String typed = server.url("doc");
  typed.remove(QStringLiteral("http://"));
  form->URLEdit->SetText(typed);
  Up(form->EC001Btn);
  EXPECT_EQ(form->URLEdit->Text(), QStringLiteral("http://") + typed);
  EXPECT_TRUE(FullScreenFormInternals::EditMode(form));
  EXPECT_TRUE(form->EditDesigner->Connected());
  EXPECT_EQ(DesignMode(), QStringLiteral("on"));
  EXPECT_TRUE(EditorText().contains(QLatin1String("<p>editable</p>"))) << EditorText().toStdString();
  EXPECT_EQ(form->EC001Btn->Hint(), QStringLiteral("Preview Page"));

  form->HTMLMemo->SetText(QStringLiteral("x"));
  form->TextMemo->SetVisible(false);
  form->TextMemo->SetText(QStringLiteral("y"));
  Up(form->EC001Btn);
  EXPECT_FALSE(FullScreenFormInternals::EditMode(form));
  EXPECT_FALSE(form->EditDesigner->Connected());
  EXPECT_EQ(DesignMode(), QStringLiteral("off"));
  EXPECT_TRUE(form->EditWB->GetText().isEmpty());
  EXPECT_TRUE(form->HTMLMemo->GetText().isEmpty());
  EXPECT_TRUE(form->TextMemo->GetText().isEmpty());
  EXPECT_EQ(form->EC001Btn->Hint(), QStringLiteral("Start Edit Page"));
}

// After a typed address the box shows the page's title: the switch edits the
// page shown, and the box shows its address again.
TEST_F(EditTab, AnAddressBoxShowingThePageTitleEditsTheShownPage) {
  server.setPage("titled",
                 "<html><head><title>A titled page</title></head><body><p>titled</p></body></html>");
  form->WB->Navigate(server.url("titled"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("titled") > 0; }));
  ASSERT_TRUE(Idle());
  form->URLEdit->SetText(form->WB->LocationName());
  ASSERT_EQ(form->URLEdit->Text(), QStringLiteral("A titled page"));
  Up(form->EC001Btn);
  EXPECT_EQ(form->URLEdit->Text(), server.url("titled"));
  EXPECT_TRUE(FullScreenFormInternals::EditMode(form));
  EXPECT_TRUE(form->EditDesigner->Connected());
  EXPECT_TRUE(EditorText().contains(QLatin1String("<p>titled</p>"))) << EditorText().toStdString();
}

TEST_F(EditTab, AClosedPortIsPageNotFound) {
  testsupport::LoopbackServer closed;
  ASSERT_TRUE(closed.start());
  const QString url = closed.url(QStringLiteral("/x"));
  closed.stop();
  form->URLEdit->SetText(url);
  Up(form->EC001Btn);
  EXPECT_EQ(form->URLEdit->Text(), QStringLiteral("Page not found ..."));
  EXPECT_FALSE(FullScreenFormInternals::EditMode(form));
}

TEST_F(EditTab, ThePreviewShowsTheEditedSource) {
  form->EditWB->SetText(QStringLiteral("<html><body><p>previewed</p></body></html>"));
  Up(form->EC007Btn);
  EXPECT_TRUE(testsupport::waitFor([&] {
    TMemoryStream s;
    form->WB->SaveToStream(s);
    return QString::fromUtf8(s.Bytes()).contains(QLatin1String("<p>previewed</p>"));
  }));
  Up(form->EC006Btn);
  EXPECT_TRUE(EditorText().contains(QLatin1String("<p>previewed</p>")));
}

TEST_F(EditTab, LabelsShowWhatTheDesignerSees) {
  form->EditDesignerMousePosition(12, 34);
  EXPECT_EQ(form->X_Label->Caption(), QStringLiteral("X pos > 12"));
  EXPECT_EQ(form->Y_Label->Caption(), QStringLiteral("Y pos > 34"));
  EXPECT_EQ(form->MouseBtn_Label->Caption(), QStringLiteral("None"));
  form->EditDesignerMouseButton(2);
  EXPECT_EQ(form->MouseBtn_Label->Caption(), QStringLiteral("Right"));
  form->EditDesignerMouseButton(3);
  EXPECT_EQ(form->MouseBtn_Label->Caption(), QStringLiteral("Right"));
  form->EditDesignerKeyPress(65);
  EXPECT_EQ(form->Key_Label->Caption(), QStringLiteral("#65"));
  form->EditDesignerTagName(QStringLiteral("P"));
  form->EditDesignerType_(QStringLiteral("mousemove"));
  EXPECT_EQ(form->Tag_Label->Caption(), QStringLiteral("P"));
  EXPECT_EQ(form->Events_Label->Caption(), QStringLiteral("mousemove"));
  form->EditDesignerInnerHtml(QStringLiteral("<b>x</b>"));
  form->EditDesignerInnerText(QStringLiteral("x"));
  EXPECT_EQ(form->HTMLMemo->GetText(), QStringLiteral("<b>x</b>"));
  EXPECT_EQ(form->TextMemo->GetText(), QStringLiteral("x"));
  // Without a browser the designer's failure shows in the error line.
  form->EditDesigner->SetEmbeddedWB(nullptr);
  form->EditDesigner->ConnectDesigner();
  EXPECT_EQ(form->Error_Label->Caption(), QStringLiteral("Please assign a TEmbeddedWB!"));
}

TEST_F(EditTab, TheLabelsFollowThePointerOverTheEditedPage) {
  Menu::MyMenuForm->Hide();
  form->Show();
  form->PageControl->SetActivePage(form->EditPageSheet);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  server.setPage("over",
                 "<html><body style='margin:0'><h1 style='margin:0;height:50px'>Head</h1>"
                 "<p style='margin:0;height:50px'>Para <i>text</i></p></body></html>");
  form->URLEdit->SetText(server.url("over"));
  form->WB->Navigate(server.url("over"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("over") > 0; }));
  ASSERT_TRUE(Idle());
  Up(form->EC001Btn);
  ASSERT_TRUE(form->EditDesigner->Connected());
  WebBrowserObject* browser = WebBrowserObject::FromUnknown(form->WB->DefaultInterface().Get());
  ASSERT_TRUE(testsupport::waitFor([&] { return browser->View()->focusProxy() != nullptr; }));
  QWidget* surface = browser->View()->focusProxy();

  QTest::mouseMove(surface, QPoint(15, 20));
  EXPECT_EQ(form->X_Label->Caption(), QStringLiteral("X pos > 15"));
  EXPECT_EQ(form->Y_Label->Caption(), QStringLiteral("Y pos > 20"));
  EXPECT_EQ(form->Tag_Label->Caption(), QStringLiteral("H1"));
  EXPECT_EQ(form->Events_Label->Caption(), QStringLiteral("mousemove"));
  EXPECT_EQ(form->TextMemo->GetText(), QStringLiteral("Head"));

  QTest::mouseMove(surface, QPoint(25, 70));
  EXPECT_EQ(form->Y_Label->Caption(), QStringLiteral("Y pos > 70"));
  EXPECT_EQ(form->Tag_Label->Caption(), QStringLiteral("P"));
  EXPECT_EQ(form->HTMLMemo->GetText(), QStringLiteral("Para <I>text</I>"));
  QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(25, 70));
  EXPECT_EQ(form->MouseBtn_Label->Caption(), QStringLiteral("Left"));
  EXPECT_EQ(form->Events_Label->Caption(), QStringLiteral("mousedown"));
  QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(25, 70));

  // Keys tell of the element holding the caret, wherever the pointer is.
  form->Widget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  surface->setFocus();
  ASSERT_TRUE(testsupport::waitFor([&] { return surface->hasFocus(); }));
  testsupport::pageScript(
      browser->Page(),
      QStringLiteral("var r = document.createRange(); r.setStart(document.querySelector('h1')"
                     ".firstChild, 1); getSelection().removeAllRanges();"
                     " getSelection().addRange(r); 1"));
  QTest::keyClick(surface, Qt::Key_End);
  EXPECT_EQ(form->Key_Label->Caption(), QStringLiteral("#35"));
  EXPECT_EQ(form->Tag_Label->Caption(), QStringLiteral("H1"));
  EXPECT_EQ(form->Events_Label->Caption(), QStringLiteral("keyup"));
  EXPECT_EQ(form->TextMemo->GetText(), QStringLiteral("Head"));
  EXPECT_TRUE(form->Error_Label->Caption().isEmpty()) << form->Error_Label->Caption().toStdString();
}

TEST_F(EditTab, ThePaneSwitchesShareTheMemoSplitter) {
  EXPECT_TRUE(form->RTFCheckBox->Checked());
  form->HTMCheckBox->SetChecked(false);
  EXPECT_FALSE(form->HTMLMemo->Visible());
  EXPECT_FALSE(form->HTMSplitter->Visible());
  form->TXTCheckBox->SetChecked(false);
  form->TXTCheckBox->SetChecked(true);
  EXPECT_TRUE(form->TextMemo->Visible());
  EXPECT_TRUE(form->HTMSplitter->Visible());
  EXPECT_FALSE(form->HTMLMemo->Visible());
  form->RTFCheckBox->SetChecked(false);
  EXPECT_FALSE(form->EditWB->Visible());
  EXPECT_FALSE(form->EditWBSplitter->Visible());
}

TEST_F(EditTab, EachVisiblePanePrintsItsOwnText) {
  const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (pdftotext.isEmpty()) GTEST_SKIP() << "poppler-utils is not installed";
  TScriptedDialogService dialogs;
  form->EditWB->SetText(QStringLiteral("sourcetext"));
  form->HTMLMemo->SetText(QStringLiteral("markuptext"));
  form->TextMemo->SetVisible(false);
  // The tab's dialog, then the editor's own; then the tab's for the markup pane.
  dialogs.QueuePrint(true);
  dialogs.QueuePrint(true);
  dialogs.QueuePrint(true);
  const QString pdf = QDir(testsupport::profileDir()).filePath(QStringLiteral("panes.pdf"));
  DialogPrinter().setOutputFormat(QPrinter::PdfFormat);
  DialogPrinter().setOutputFileName(pdf);
  QStringList printed;
  auto readBack = [&] {
    QProcess p;
    p.start(pdftotext, {pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    printed << QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  };
  // Each job replaces the file: read it back after each button press's jobs.
  form->EditWB->SetVisible(false);
  form->EC002Btn->SetVisible(true);
  (form->*(&TFullScreenForm::EC002BtnMouseUp))(form->EC002Btn, mbLeft, {}, 1, 1);
  readBack();
  EXPECT_EQ(printed.last(), QStringLiteral("markuptext"));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkPrint).size(), 1u);

  // The source editor alone: the tab's dialog, then the editor's own.
  form->EditWB->SetVisible(true);
  form->HTMLMemo->SetVisible(false);
  QFile::remove(pdf);
  (form->*(&TFullScreenForm::EC002BtnMouseUp))(form->EC002Btn, mbLeft, {}, 1, 1);
  readBack();
  EXPECT_EQ(printed.last(), QStringLiteral("sourcetext"));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkPrint).size(), 3u);

  // The tab's dialog cancelled: nothing is printed, the editor does not ask.
  QFile::remove(pdf);
  dialogs.QueuePrint(false);
  (form->*(&TFullScreenForm::EC002BtnMouseUp))(form->EC002Btn, mbLeft, {}, 1, 1);
  EXPECT_FALSE(QFile::exists(pdf));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkPrint).size(), 4u);
  DialogPrinter().setOutputFileName(QString());
}

// ---- The command buttons on a page in design mode

namespace {

class EditTabCommands : public EditTab {
 protected:
  void SetUp() override {
    EditTab::SetUp();
    server.setPage("doc", "<html><head><title>doc</title></head><body><p id=\"t\">word</p></body></html>");
    form->URLEdit->SetText(server.url("doc"));
    form->WB->Navigate(server.url("doc"));
    ASSERT_TRUE(Idle());
    press(form->EC001Btn);
    ASSERT_TRUE(form->EditDesigner->Connected()) << form->Error_Label->Caption().toStdString();
  }
  // A click as the user makes it: down, then up, through the bound handlers.
  void press(TImage* button) {
    const int left = button->Left();
    button->OnMouseDown(button, mbLeft, {}, 1, 1);
    button->OnMouseUp(button, mbLeft, {}, 1, 1);
    EXPECT_EQ(button->Left(), left);
  }
  QWebEnginePage* page() { return WebBrowserObject::FromUnknown(form->WB->DefaultInterface().Get())->Page(); }
  QString script(const QString& code) { return testsupport::pageScript(page(), code); }
  QString markup() { return script(QStringLiteral("document.getElementById('t').innerHTML")); }
  void select(bool collapsed = false) { testsupport::selectInPage(page(), QStringLiteral("t"), collapsed); }
};

}  // namespace

TEST_F(EditTabCommands, TheButtonsInsertTheirElementsUnlessTheDialogIsCancelled) {
  const QString target = server.url("target");
  select();
  {
    BrowserDialogAnswer cancel(QStringLiteral("Cancel"), target);
    press(form->EC003Btn);
    press(form->EC005Btn);
    EXPECT_EQ(cancel.shown, 2);
  }
  EXPECT_EQ(markup(), QStringLiteral("word"));
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), target);
    press(form->EC003Btn);
    EXPECT_EQ(dialog.owner, form->Handle());
  }
  EXPECT_EQ(markup(), QStringLiteral("<a href=\"%1\">word</a>").arg(target));

  select(true);
  press(form->EC004Btn);
  EXPECT_EQ(markup(), QStringLiteral("<a href=\"%1\">word</a><input type=\"radio\">").arg(target));

  const QString picture = server.url("picture");
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), picture);
    press(form->EC005Btn);
    EXPECT_EQ(dialog.caption, QStringLiteral("Picture"));
  }
  // The reloaded source shows the edits.
  press(form->EC006Btn);
  const QString source = form->EditWB->TextEdit()->document()->toPlainText();
  EXPECT_TRUE(source.contains(QStringLiteral("<input type=\"radio\"><img src=\"%1\">").arg(picture)))
      << source.toStdString();
  EXPECT_TRUE(form->Error_Label->Caption().isEmpty());
}

TEST_F(EditTab, TheInformationPanelShowsEveryLabelWhole) {
  // The longest values the designer writes.
  form->EditDesignerMousePosition(1280, 1024);
  form->EditDesignerMouseButton(2);
  form->EditDesignerKeyPress(222);
  form->EditDesignerTagName(QStringLiteral("BLOCKQUOTE"));
  form->EditDesignerType_(QStringLiteral("mousemove"));
  std::vector<TControl*> parts;
  for (int i = 0; i < form->Panel4->ControlCount(); ++i) parts.push_back(form->Panel4->Controls(i));
  ASSERT_EQ(parts.size(), 12u);  // ten labels and two buttons
  for (size_t i = 0; i < parts.size(); ++i) {
    const TRect a = parts[i]->BoundsRect();
    EXPECT_TRUE(a.Left >= 0 && a.Top >= 0 && a.Right <= form->Panel4->Width() && a.Bottom <= 64)
        << parts[i]->Name().toStdString() << " leaves the panel";
    for (size_t j = i + 1; j < parts.size(); ++j) {
      const TRect b = parts[j]->BoundsRect();
      EXPECT_FALSE(a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom)
          << parts[i]->Name().toStdString() << " covers " << parts[j]->Name().toStdString();
    }
  }
}
