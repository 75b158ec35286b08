// The edit designer's three commands on a real page in design mode: the
// browser's own address dialogs answered and cancelled, and the radio button
// the bridge inserts, each read back from the page's DOM.
#include "EmbeddedWB/Source/EditDesigner.h"

#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/EmbeddedWB/EwbTestHost.h"
#include "tests/support/BrowserDialogAnswer.h"

using EditDesigner::TEditDesigner;
using testsupport::BrowserDialogAnswer;

namespace {

class DesignerCommands : public ewbtest::BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    EditDesigner::initialize();
    designer = new TEditDesigner(form);
    designer->SetEmbeddedWB(wb);
    server.page("/edit", "<html><body><p id=\"t\">word</p></body></html>");
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(show(server.url("/edit")));
    ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  }

  QWebEnginePage* page() { return WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->Page(); }
  QString script(const QString& code) {
    QVariant v;
    EXPECT_TRUE(RunPageScript(page(), code, &v)) << code.toStdString();
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
  // The document's own command, as a page's host would call it.
  bool exec(const String& command, bool showUI, const OleVariant& value) {
    VARIANT_BOOL done = VARIANT_TRUE;
    const OwnedBstr name(StringToBSTR(command));
    EXPECT_EQ(wb->GetDocument()->execCommand(name.get(), showUI ? VARIANT_TRUE : VARIANT_FALSE, value, &done),
              S_OK);
    return done != VARIANT_FALSE;
  }

  testsupport::LoopbackServer server;
  TEditDesigner* designer = nullptr;
};

}  // namespace

TEST_F(DesignerCommands, CreateLinkAsksForTheAddressAndCancelChangesNothing) {
  const QString target = server.url("/linked");
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), target);
    designer->CreateLink();
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(dialog.caption, QStringLiteral("Hyperlink"));
    EXPECT_EQ(dialog.owner, form->Handle());
    EXPECT_EQ(dialog.preset, QString());  // the designer's value is a number, no address
  }
  EXPECT_EQ(markup(), QStringLiteral("<a href=\"%1\">word</a>").arg(target));

  const QString linked = markup();
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("Cancel"), server.url("/other"));
    EXPECT_FALSE(exec(QStringLiteral("CreateLink"), true, OleVariant(String(server.url("/other")))));
    EXPECT_EQ(dialog.shown, 1);
  }
  EXPECT_EQ(markup(), linked);

  // A text value is the address the dialog starts from; an address typed
  // away to blanks links nothing.
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"));
    EXPECT_TRUE(exec(QStringLiteral("createlink"), true, OleVariant(String(server.url("/preset")))));
    EXPECT_EQ(dialog.preset, server.url("/preset"));
  }
  EXPECT_TRUE(markup().contains(QLatin1String("/preset\""))) << markup().toStdString();
  const QString preset = markup();
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), QStringLiteral("   "));
    EXPECT_FALSE(exec(QStringLiteral("CreateLink"), true, OleVariant(String(target))));
  }
  EXPECT_EQ(markup(), preset);
}

TEST_F(DesignerCommands, InsertImageAsksForThePictureSource) {
  const QString picture = server.url("/picture.png");
  select(true);
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), picture);
    designer->InsertImage();
    EXPECT_EQ(dialog.caption, QStringLiteral("Picture"));
  }
  EXPECT_EQ(markup(), QStringLiteral("word<img src=\"%1\">").arg(picture));
  select(true);
  {
    BrowserDialogAnswer dialog(QStringLiteral("Cancel"), picture);
    designer->InsertImage();
    EXPECT_EQ(dialog.shown, 1);
  }
  EXPECT_EQ(script(QStringLiteral("String(document.images.length)")), QStringLiteral("1"));
}

TEST_F(DesignerCommands, InsertInputRadioIsDoneByTheBridgeWhereThePageIsEditable) {
  BrowserDialogAnswer noDialog(QStringLiteral("Cancel"));
  select();
  designer->InsertInputRadio();
  EXPECT_EQ(markup(), QStringLiteral("<input type=\"radio\">"));

  // A text value is the button's id, taken as a value, never as markup.
  const QString id = QStringLiteral("r\"><b>1</b>");
  select(true);
  EXPECT_TRUE(exec(QStringLiteral("InsertInputRadio"), false, OleVariant(String(id))));
  EXPECT_EQ(script(QStringLiteral("String(document.querySelectorAll('#t input[type=radio]').length)")),
            QStringLiteral("2"));
  EXPECT_EQ(script(QStringLiteral("document.querySelectorAll('#t input')[1].id")), id);
  EXPECT_EQ(script(QStringLiteral("String(document.querySelectorAll('#t b').length)")), QStringLiteral("0"));
  EXPECT_EQ(noDialog.shown, 0);

  // Out of design mode the page is not editable: nothing is inserted.
  ASSERT_EQ(designer->DisconnectDesigner(), S_OK);
  const QString before = markup();
  select(true);
  EXPECT_FALSE(exec(QStringLiteral("InsertInputRadio"), false, OleVariant(String(QStringLiteral("r2")))));
  EXPECT_EQ(markup(), before);
}
