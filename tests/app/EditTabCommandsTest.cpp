// The edit tab's command buttons on a loopback page in design mode, pressed
// through their bound handlers: the link and image dialogs answered and
// cancelled, the radio button, and the source reloaded with the edits; the
// information panel's layout.
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/BrowserDialogAnswer.h"
#include "tests/support/TestSupport.h"

#include <QTextDocument>
#include <QTextEdit>

using FullScreen::FullScreenForm;
using FullScreen::TFullScreenForm;
using Menu::MyMenuForm;
using testsupport::BrowserDialogAnswer;

namespace {

class EditTabForm : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    setStartPage(QStringLiteral("about:blank"));
    Application->CreateForm(MyMenuForm);
    Application->CreateForm(FullScreenForm);
    form = FullScreenForm;
  }
  TFullScreenForm* form = nullptr;
};

class EditTabCommands : public EditTabForm {
 protected:
  void SetUp() override {
    EditTabForm::SetUp();
    server.setPage("doc", "<html><head><title>doc</title></head><body><p id=\"t\">word</p></body></html>");
    form->URLEdit->SetText(server.url("doc"));
    form->WB->Navigate(server.url("doc"));
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return form->WB->ReadyState() == READYSTATE_COMPLETE && !form->WB->Busy(); }, 15000));
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
  QString script(const QString& code) {
    QVariant v;
    QWebEnginePage* page = WebBrowserObject::FromUnknown(form->WB->DefaultInterface().Get())->Page();
    EXPECT_TRUE(RunPageScript(page, code, &v)) << code.toStdString();
    return v.toString();
  }
  QString markup() { return script(QStringLiteral("document.getElementById('t').innerHTML")); }
  // Selects the paragraph's text, or puts the caret after it.
  void select(bool collapsed = false) {
    script(QStringLiteral("(function () { var r = document.createRange();"
                          " r.selectNodeContents(document.getElementById('t'));"
                          " if (%1) r.collapse(false);"
                          " var s = getSelection(); s.removeAllRanges(); s.addRange(r); return ''; })()")
               .arg(collapsed ? "true" : "false"));
  }

  apptest::PageServer server;
};

}  // namespace

TEST_F(EditTabCommands, TheButtonsInsertTheirElementsAndTheSourceShowsThem) {
  const QString target = server.url("target");
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), target);
    press(form->EC003Btn);
    EXPECT_EQ(dialog.shown, 1);
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
  EXPECT_TRUE(markup().contains(QStringLiteral("<img src=\"%1\">").arg(picture))) << markup().toStdString();

  press(form->EC006Btn);
  const QString source = form->EditWB->TextEdit()->document()->toPlainText();
  EXPECT_TRUE(source.contains(QStringLiteral("<img src=\"%1\">").arg(picture))) << source.toStdString();
  EXPECT_TRUE(source.contains(QLatin1String("<input type=\"radio\">")));
  EXPECT_TRUE(form->Error_Label->Caption().isEmpty());
}

TEST_F(EditTabCommands, CancelledDialogsLeaveThePageAsItWas) {
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("Cancel"), server.url("target"));
    press(form->EC003Btn);
    press(form->EC005Btn);
    EXPECT_EQ(dialog.shown, 2);
  }
  EXPECT_EQ(markup(), QStringLiteral("word"));
  EXPECT_EQ(script(QStringLiteral("String(document.images.length + document.links.length)")),
            QStringLiteral("0"));
  EXPECT_TRUE(form->Error_Label->Caption().isEmpty());
}

TEST_F(EditTabForm, TheInformationPanelShowsEveryLabelWhole) {
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
