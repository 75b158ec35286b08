#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "platform/classlib/Dialogs.h"
#include "platform/winapi/Windows.h"
#include "tests/support/TestSupport.h"

namespace dialogstest {

TEST(FileFilterTest, ParsesPairsAndBuildsQtFilters) {
  const auto filters = ParseFileFilter("Text files (*.txt)|*.txt|All files (*.*)|*.*");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].Description, "Text files (*.txt)");
  EXPECT_EQ(filters[0].Patterns, QStringList{"*.txt"});
  EXPECT_EQ(filters[1].Patterns, QStringList{"*.*"});

  // Several patterns, blanks around them, a dangling description.
  const auto internet = ParseFileFilter("Internet files|*.htm; *.html;*.gif;*.jpg|Orphan");
  ASSERT_EQ(internet.size(), 1u);
  EXPECT_EQ(internet[0].Patterns, (QStringList{"*.htm", "*.html", "*.gif", "*.jpg"}));
  EXPECT_TRUE(ParseFileFilter("").empty());

  EXPECT_EQ(FileFilterToQt("Text files (*.txt)|*.txt|All files (*.*)|*.*"),
            (QStringList{"Text files (*.txt)", "All files (*)"}));
  EXPECT_EQ(FileFilterToQt("Internet files|*.htm;*.html"), QStringList{"Internet files (*.htm *.html)"});
  EXPECT_EQ(FileFilterToQt("Bitmaps (*.bmp)|*.bmp"), QStringList{"Bitmaps (*.bmp)"});
  EXPECT_EQ(FileFilterToQt("Anything|"), QStringList{"Anything (*)"});
}

TEST(ScriptedDialogTest, FileDialogsRecordWhatTheyShowAndTakeQueuedAnswers) {
  TScriptedDialogService service;
  TComponent owner(nullptr);
  TSaveDialog save(&owner);
  save.SetFilter("Text File|*.txt");
  save.SetTitle("Save log");
  save.SetFileName("log");
  save.SetInitialDir("/tmp");
  save.SetDefaultExt(".txt");
  save.SetOptions({ofOverwritePrompt});
  QStringList events;
  save.OnShow = [&](TObject*) { events << "show"; };
  save.OnClose = [&](TObject*) { events << "close"; };

  service.QueueFile("/tmp/events", 1);
  service.QueueCancel();
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/events.txt");  // the default extension
  EXPECT_EQ(save.Files()->Count(), 1);
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/events.txt");  // a cancel keeps the last choice
  EXPECT_FALSE(save.Execute());                   // nothing queued: cancelled
  EXPECT_EQ(events, (QStringList{"show", "close", "show", "close", "show", "close"}));

  const auto calls = service.CallsOf(TScriptedDialogService::dkSave);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Title, "Save log");
  EXPECT_EQ(calls[0].Filter, "Text File|*.txt");
  EXPECT_EQ(calls[0].FileName, "log");
  EXPECT_EQ(calls[0].InitialDir, "/tmp");
  EXPECT_EQ(calls[0].DefaultExt, "txt");
  EXPECT_TRUE(calls[0].Options.Contains(ofOverwritePrompt));
  EXPECT_EQ(calls[1].FileName, "/tmp/events.txt");
  EXPECT_EQ(save.StartPath(), "/tmp/events.txt");

  // Several files and another filter; a name with its own extension keeps it.
  TOpenDialog open(&owner);
  open.SetFilter("Internet files|*.htm;*.html|All|*.*");
  open.SetOptions({ofAllowMultiSelect});
  open.SetDefaultExt("htm");
  service.QueueFiles({"/a/x.html", "/a/y"}, 2);
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.FileName(), "/a/x.html");
  EXPECT_EQ(open.Files()->Strings(), (QStringList{"/a/x.html", "/a/y.htm"}));
  EXPECT_EQ(open.FilterIndex(), 2);
  EXPECT_EQ(service.CallsOf(TScriptedDialogService::dkOpen).size(), 1u);
  EXPECT_EQ(service.PendingDialogAnswers(), 0);

  // The start path puts a bare file name into the initial folder.
  TOpenDialog start(&owner);
  start.SetInitialDir("/data");
  EXPECT_EQ(start.StartPath(), "/data");
  start.SetFileName("page.html");
  EXPECT_EQ(start.StartPath(), "/data/page.html");
}

TEST(ScriptedDialogTest, PictureAndPrintDialogs) {
  TScriptedDialogService service;
  TComponent owner(nullptr);
  TSavePictureDialog picture(&owner);
  EXPECT_FALSE(ParseFileFilter(picture.Filter()).empty());
  picture.SetFilter("Bitmaps (*.bmp)|*.bmp");
  service.QueueFile("/tmp/shot.bmp");
  ASSERT_TRUE(picture.Execute());
  EXPECT_EQ(picture.FileName(), "/tmp/shot.bmp");
  EXPECT_EQ(service.CallsOf(TScriptedDialogService::dkSave).size(), 1u);

  TPrintDialog print(&owner);
  service.QueuePrint(true);
  service.QueuePrint(false);
  EXPECT_TRUE(print.Execute());
  EXPECT_FALSE(print.Execute());
  EXPECT_FALSE(print.Execute());
  EXPECT_EQ(service.CallsOf(TScriptedDialogService::dkPrint).size(), 3u);
}

TEST(ScriptedDialogTest, MessageDialogsRecordAndAnswer) {
  TScriptedDialogService service;
  service.QueueAnswer(mrNo);
  EXPECT_EQ(MessageDlg("Save changes to Untitled?", mtConfirmation, mbYesNoCancel, 7), mrNo);
  // Nothing queued: the default button answers.
  EXPECT_EQ(MessageDlg("Overwrite?", mtConfirmation, mbYesNoCancel, 0), mrYes);
  EXPECT_EQ(MessageDlg("Failed", mtError, {mbOK}, 0), mrOk);
  EXPECT_EQ(MessageDlg("Retry?", mtWarning, mbAbortRetryIgnore, 0), mrRetry);
  ShowMessage("Could not find \"x\".");
  ShowExceptionMessage(EConvertError("'abc' is not a valid integer value"));
  ShowExceptionMessage(Exception("Already ends with a stop."));
  ShowExceptionMessage(Exception("Stop!"));

  const auto calls = service.CallsOf(TScriptedDialogService::dkMessage);
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[0].Message, "Save changes to Untitled?");
  EXPECT_EQ(calls[0].Type, mtConfirmation);
  EXPECT_EQ(calls[0].Buttons, mbYesNoCancel);
  EXPECT_EQ(calls[0].HelpContext, 7);
  EXPECT_EQ(calls[4].Type, mtCustom);
  EXPECT_EQ(calls[4].Buttons, TMsgDlgButtons{mbOK});
  EXPECT_EQ(calls[5].Message, "'abc' is not a valid integer value.");
  EXPECT_EQ(calls[5].Type, mtError);
  EXPECT_EQ(calls[6].Message, "Already ends with a stop.");
  EXPECT_EQ(calls[7].Message, "Stop!");
  EXPECT_EQ(service.PendingMessageAnswers(), 0);
}

TEST(ScriptedDialogTest, ServicesNestAndRestore) {
  TDialogService* before = &DialogService();
  {
    TScriptedDialogService outer;
    {
      TScriptedDialogService inner;
      ShowMessage("inner");
      EXPECT_EQ(inner.Calls.size(), 1u);
      EXPECT_TRUE(outer.Calls.empty());
    }
    ShowMessage("outer");
    EXPECT_EQ(outer.Calls.size(), 1u);
  }
  EXPECT_EQ(&DialogService(), before);
}

TEST(ButtonTest, DefaultEscapeAndResults) {
  EXPECT_EQ(DefaultButton(mbYesNoCancel), mbYes);
  EXPECT_EQ(DefaultButton(mbOKCancel), mbOK);
  EXPECT_EQ(DefaultButton({mbNo, mbCancel}), mbNo);
  EXPECT_EQ(EscapeButton(mbYesNoCancel), mbCancel);
  EXPECT_EQ(EscapeButton(mbYesNo), mbNo);
  EXPECT_EQ(EscapeButton({mbYes}), mbHelp);
  EXPECT_EQ(ModalResultOfButton(mbYesToAll), mrYesToAll);
  EXPECT_EQ(ModalResultOfButton(mbIgnore), mrIgnore);
  EXPECT_EQ(ModalResultOfButton(mbClose), mrClose);
}

TEST(FindDialogTest, ScriptedFindRaisesOnFindAndClose) {
  TScriptedDialogService service;
  TComponent owner(nullptr);
  TFindDialog find(&owner);
  EXPECT_EQ(find.Options(), TFindOptions{frDown});
  QStringList events;
  find.OnFind = [&](TObject*) { events << "find " + find.FindText(); };
  find.OnClose = [&](TObject*) { events << "close"; };
  find.CloseDialog();  // not shown: nothing
  ASSERT_TRUE(find.Execute());
  EXPECT_TRUE(find.Shown());
  find.SetFindText("needle");
  find.Find();
  find.CloseDialog();
  EXPECT_FALSE(find.Shown());
  EXPECT_EQ(events, (QStringList{"find needle", "close"}));
  ASSERT_EQ(service.Calls.size(), 2u);
  EXPECT_EQ(service.Calls[0].Kind, TScriptedDialogService::dkFind);
  EXPECT_EQ(service.Calls[0].Find, &find);
  EXPECT_EQ(service.Calls[1].Kind, TScriptedDialogService::dkCloseFind);
}

// The dialogs over Qt, driven through their widgets.
TEST(QtDialogTest, FindWindowCopiesInputIntoTheDialog) {
  TComponent owner(nullptr);
  auto* find = new TFindDialog(&owner);
  find->SetFindText("first");
  find->SetOptions({frDown, frMatchCase});
  QStringList events;
  find->OnFind = [&](TObject*) {
    events << QStringLiteral("%1 down=%2 case=%3 word=%4 next=%5")
                  .arg(find->FindText())
                  .arg(find->Options().Contains(frDown))
                  .arg(find->Options().Contains(frMatchCase))
                  .arg(find->Options().Contains(frWholeWord))
                  .arg(find->Options().Contains(frFindNext));
  };
  find->OnClose = [&](TObject*) { events << "close"; };
  ASSERT_TRUE(find->Execute());

  QWidget* window = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->findChild<QLineEdit*>()) window = w;
  ASSERT_NE(window, nullptr);
  auto* edit = window->findChild<QLineEdit*>();
  EXPECT_EQ(edit->text(), "first");
  edit->setText("second");
  QCheckBox* wholeWord = nullptr;
  for (QCheckBox* box : window->findChildren<QCheckBox*>())
    if (box->text().contains("whole")) wholeWord = box;
  ASSERT_NE(wholeWord, nullptr);
  wholeWord->setChecked(true);
  for (QRadioButton* r : window->findChildren<QRadioButton*>())
    if (r->text() == "&Up") r->setChecked(true);
  QPushButton* next = nullptr;
  QPushButton* cancel = nullptr;
  for (QPushButton* b : window->findChildren<QPushButton*>()) {
    if (b->text() == "&Find Next") next = b;
    if (b->text() == "Cancel") cancel = b;
  }
  ASSERT_TRUE(next && cancel);
  QTest::mouseClick(next, Qt::LeftButton);
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_EQ(events, (QStringList{"second down=0 case=1 word=1 next=1", "close"}));
  EXPECT_FALSE(window->isVisible());

  // It is a "#32770" window titled "Find"; WM_CLOSE is Cancel.
  ASSERT_TRUE(find->Execute());
  const HWND handle = FindWindow(QStringLiteral("#32770"), QStringLiteral("Find"));
  ASSERT_TRUE(handle);
  EXPECT_EQ(WidgetOf(handle), window);
  SendMessageW(handle, WM_CLOSE, 0, 0);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(events.size(), 3);
  EXPECT_EQ(events.back(), "close");

  // The window goes away with its dialog.
  QPointer<QWidget> guard(window);
  delete find;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  EXPECT_FALSE(IsWindow(handle));
}

TEST(QtDialogTest, MessageBoxAnswersTheClickedButton) {
  int answer = -1;
  QString title, text;
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    testsupport::waitFor([] { return QApplication::activeModalWidget() != nullptr; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    EXPECT_EQ(box->defaultButton()->text(), "&Yes");
    for (QAbstractButton* b : box->buttons())
      if (b->text() == "&No") b->click();
  });
  answer = MessageDlg("Overwrite the file?", mtConfirmation, mbYesNoCancel, 0);
  EXPECT_EQ(answer, mrNo);
  EXPECT_EQ(title, "Confirm");
  EXPECT_EQ(text, "Overwrite the file?");
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"&No", "&Yes", "Cancel"}));

  // Escape takes the escape button.
  QTimer::singleShot(0, [] {
    testsupport::waitFor([] { return QApplication::activeModalWidget() != nullptr; });
    QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
  });
  EXPECT_EQ(MessageDlg("Continue?", mtWarning, mbOKCancel, 0), mrCancel);
}

}  // namespace dialogstest
