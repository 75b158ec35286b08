// The main window against the real form resource, the real skin pictures of
// the build and real ini files in a temporary program folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/IniFiles.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using Menu::MenuFormInternals;
using Menu::MyMenuForm;
using Menu::TMyMenuForm;

class MainWindow : public apptest::AppTest {};

// ---------------------------------------------------------------- the form resource

TEST_F(MainWindow, ResourceMakesEveryPublishedComponentOfItsClass) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
#define CHECK_FIELD(Class, Name)                                    \
  ASSERT_NE(f->Name, nullptr) << #Name;                             \
  EXPECT_EQ(f->Name->ClassName(), QStringLiteral(#Class)) << #Name; \
  EXPECT_EQ(f->Name->Owner(), f) << #Name;
  NOCTIVANE_MENU_FIELDS(CHECK_FIELD)
#undef CHECK_FIELD

  // Every picture of the form data is there at start.
  for (int i = 0; i < f->ComponentCount(); ++i) {
    if (auto* image = dynamic_cast<TImage*>(f->Components(i))) {
      EXPECT_GT(image->Picture()->GetWidth(), 0) << image->Name().toStdString();
    }
  }
  EXPECT_EQ(f->CloseBtn->Picture()->GetWidth(), 24);
  EXPECT_EQ(f->FN012Btn->Picture()->GetHeight(), 48);
}

TEST_F(MainWindow, FormDataOfTheWindowAndItsFrame) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
  EXPECT_EQ(f->BorderStyle(), bsNone);
  EXPECT_EQ(f->Constraints()->MinWidth(), 800);
  EXPECT_EQ(f->Constraints()->MinHeight(), 520);
  EXPECT_EQ(f->Position(), poDesigned);
  EXPECT_TRUE(f->Visible());
  EXPECT_EQ(f->Font()->GetName(), "Tahoma");
  EXPECT_EQ(f->Font()->GetHeight(), -11);

  // The frame: 33 above, 66 below, 20 left and 21 right, around the
  // address bar and the page under it.
  EXPECT_EQ(f->TopPanel->BoundsRect(), Bounds(0, 0, 800, 33));
  EXPECT_EQ(f->BottomPanel->BoundsRect(), Bounds(0, 534, 800, 66));
  EXPECT_EQ(f->LeftPanel->BoundsRect(), Bounds(0, 33, 20, 501));
  EXPECT_EQ(f->RightPanel->BoundsRect(), Bounds(779, 33, 21, 501));
  EXPECT_EQ(f->URLPanel->BoundsRect(), Bounds(20, 33, 759, 26));
  EXPECT_EQ(f->PreviewPanel->BoundsRect(), Bounds(20, 59, 759, 475));
  EXPECT_TRUE(f->TopBorder->Stretch());
  EXPECT_EQ(f->BottomRightB->Cursor(), crSizeNWSE);
  EXPECT_EQ(f->LeftTop->Cursor(), crSizeAll);
  EXPECT_EQ(f->RightBottom->Cursor(), crSizeAll);
  EXPECT_EQ(f->ProcessLabel->Font()->GetColor(), clSilver);
  EXPECT_EQ(f->ProcessLabel->Color(), clBlack);
  EXPECT_FALSE(f->NextPageBtn->Enabled());
  EXPECT_FALSE(f->PreviousPageBtn->Enabled());
  EXPECT_TRUE(f->StopBtn->Enabled());

  EXPECT_EQ(f->ProgressBar->Kind(), gkVerticalBar);
  EXPECT_EQ(f->ProgressBar->ForeColor(), clOlive);
  EXPECT_EQ(f->ProgressBar->BackColor(), clBlack);
  EXPECT_FALSE(f->ProgressBar->ShowText());
  EXPECT_FALSE(f->ProgressBar->Visible());

  EXPECT_EQ(f->Label1->Caption(), "  Go");
  EXPECT_EQ(f->Label2->Caption(), " ECO Mode");
  EXPECT_EQ(f->SecurityLabel->Caption(), "Security Status:");
  EXPECT_FALSE(f->SSLImage->Visible());
  EXPECT_TRUE(f->UnlockImage->Visible());
}

TEST_F(MainWindow, SidePanelStartsHiddenWithItsTabs) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
  EXPECT_FALSE(f->SystemPanel->Visible());
  EXPECT_FALSE(f->VSplitter->Visible());
  EXPECT_EQ(f->SystemPanel->Align(), alRight);
  EXPECT_EQ(f->SystemPanel->Constraints()->MinWidth(), 398);
  EXPECT_FALSE(f->SelectMailPanel->Visible());

  ASSERT_EQ(f->PageControl->PageCount(), 4);
  QStringList captions;
  for (int i = 0; i < f->PageControl->PageCount(); ++i) captions << f->PageControl->Pages(i)->Caption();
  EXPECT_EQ(captions, QStringList({"Web Pages", "History", "System Tools", "Information"}));
  EXPECT_EQ(f->PageControl->ActivePage(), f->HistorySheet);

  // Shown, the side panel sits between the page and the right frame, with
  // its splitter on the page's side.
  f->SystemPanel->Show();
  f->VSplitter->Show();
  EXPECT_EQ(f->SystemPanel->BoundsRect(), Bounds(779 - 398, 59, 398, 475));
  EXPECT_EQ(f->VSplitter->Left() + f->VSplitter->Width(), f->SystemPanel->Left());
  EXPECT_EQ(f->PreviewPanel->Left() + f->PreviewPanel->Width(), f->VSplitter->Left());
  EXPECT_EQ(f->VSplitter->FindResizedControl(), f->SystemPanel);
}

TEST_F(MainWindow, AddressBarIsARowOfItsOwnAboveThePageAndTheSidePanel) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
  const auto right = [](TControl* c) { return c->Left() + c->Width(); };
  const auto bottom = [](TControl* c) { return c->Top() + c->Height(); };
  // At the smallest width, with the side panel opened by its button, the
  // address box keeps its room beside the Go, ECO-mode and security strip.
  f->CheckBtn->OnMouseUp(f->CheckBtn, mbLeft, {}, 1, 1);
  ASSERT_TRUE(f->SystemPanel->Visible());
  ASSERT_EQ(f->Width(), 800);
  EXPECT_EQ(f->URLEdit->Parent(), f->URLPanel);
  EXPECT_EQ(f->SelectPanel->Parent(), f->URLPanel);
  EXPECT_GE(f->URLEdit->Width(), 300);
  EXPECT_LE(f->URLEdit->Left() + f->URLEdit->Width(), f->SelectPanel->Left());
  EXPECT_EQ(f->SelectPanel->Width(), 330);
  // The row runs from frame to frame over both the page and the side panel,
  // which start right under it.
  EXPECT_EQ(f->URLPanel->Left(), right(f->LeftPanel));
  EXPECT_EQ(right(f->URLPanel), f->RightPanel->Left());
  EXPECT_EQ(f->URLPanel->Top(), bottom(f->TopPanel));
  EXPECT_EQ(f->PreviewPanel->Top(), bottom(f->URLPanel));
  EXPECT_EQ(f->SystemPanel->Top(), bottom(f->URLPanel));
  EXPECT_EQ(f->VSplitter->Top(), bottom(f->URLPanel));
  EXPECT_EQ(bottom(f->SystemPanel), f->BottomPanel->Top());
  EXPECT_EQ(bottom(f->PreviewPanel), f->BottomPanel->Top());
  EXPECT_GE(f->PreviewPanel->Width(), 300);

  // A wider window gives the address box the room; closing the side panel
  // gives the page its room back and leaves the address bar as it is.
  const int boxWidth = f->URLEdit->Width();
  f->SetWidth(1000);
  EXPECT_EQ(right(f->URLPanel), f->RightPanel->Left());
  EXPECT_EQ(f->URLEdit->Width(), boxWidth + 200);
  EXPECT_EQ(right(f->URLEdit), f->SelectPanel->Left() - 2);
  f->CheckBtn->OnMouseUp(f->CheckBtn, mbLeft, {}, 1, 1);
  EXPECT_FALSE(f->SystemPanel->Visible());
  EXPECT_EQ(f->PreviewPanel->BoundsRect(), Bounds(20, 59, 959, 475));
  EXPECT_EQ(f->URLEdit->Width(), boxWidth + 200);
}

TEST_F(MainWindow, SettingsFieldsAsTheFormDataHasThem) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
  EXPECT_EQ(f->DownloadCheckList->Items()->Count(), 19);
  EXPECT_EQ(f->DownloadCheckList->Items()->Get(17), "Download in silent mode");
  EXPECT_EQ(f->DownloadCheckList->Items()->Get(18), "Work offline");
  EXPECT_EQ(f->UserInterfaceCheckList->Items()->Count(), 26);
  EXPECT_EQ(f->UserInterfaceCheckList->Items()->Get(14), "Enable Ime Local Languages");
  EXPECT_EQ(f->UserInterfaceCheckList->Items()->Get(15), "Enable Themes");
  for (int i = 0; i < 26; ++i) EXPECT_FALSE(f->UserInterfaceCheckList->Checked(i)) << i;

  EXPECT_TRUE(f->SocialSetCheck->Checked());
  EXPECT_TRUE(f->StartPageCheck->Checked());
  EXPECT_FALSE(f->LastPageCheckBox->Checked());
  EXPECT_TRUE(f->HomePageCheckBox->Checked());
  EXPECT_TRUE(f->DownloadStandartCheck->Checked());
  EXPECT_TRUE(f->UserInterfaceCheck->Checked());
  EXPECT_FALSE(f->AutoLoadProxyCheck->Checked());
  EXPECT_EQ(f->Edit7->Text(), "80");
  EXPECT_EQ(f->Edit5->PasswordChar(), QChar('*'));
  EXPECT_EQ(f->StartPageEdit->Parent(), f->StartPagePanel);
  EXPECT_EQ(f->ApplayHomePage->Hint(), "Applay");
  EXPECT_EQ(f->InfoEdit->Color(), clCream);
  EXPECT_EQ(f->InfoEdit->Font()->GetColor(), clGray);
  EXPECT_EQ(f->InfoEdit->Font()->GetCharset(), RUSSIAN_CHARSET);
}

TEST_F(MainWindow, DownloadListShowsTheStandardOptionsAtEveryStart) {
  Application->CreateForm(MyMenuForm);
  auto ticked = [](TCheckListBox* list) {
    QList<int> items;
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->Checked(i)) items << i;
    return items;
  };
  EXPECT_EQ(ticked(MyMenuForm->DownloadCheckList), QList<int>({0, 1, 2}));

  // A later window ticks the same three, whatever the first one shows now.
  MyMenuForm->DownloadCheckList->SetChecked(1, false);
  MyMenuForm->DownloadCheckList->SetChecked(9, true);
  auto* second = NewForm<TMyMenuForm>(Application);
  EXPECT_EQ(ticked(second->DownloadCheckList), QList<int>({0, 1, 2}));
}

TEST_F(MainWindow, EveryWindowGetsAShadowAndATaskbarButton) {
  Application->CreateForm(MyMenuForm);
  HWND h = MyMenuForm->Handle();
  EXPECT_TRUE(GetClassLongPtrW(h, GCL_STYLE) & CS_DROPSHADOW);
  EXPECT_TRUE(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

// ---------------------------------------------------------------- position and size

TEST_F(MainWindow, FirstStartWithoutIniFile) {
  // The variable names the window from the first event its window gets on,
  // so FormCreate finds the window in it.
  apptest::FirstWindowEvent first([] { return MyMenuForm; });
  Application->CreateForm(MyMenuForm);
  EXPECT_TRUE(first.seen(MyMenuForm));
  EXPECT_TRUE(first.variableSetAtEach(MyMenuForm));

  EXPECT_EQ(Application->MainForm(), MyMenuForm);
  EXPECT_EQ(MyMenuForm->BoundsRect(), Bounds(0, 0, 800, 600));
  EXPECT_EQ(MenuFormInternals::GrowWidth(MyMenuForm), 0);
  EXPECT_EQ(MenuFormInternals::GrowHeight(MyMenuForm), 0);
  EXPECT_EQ(MenuFormInternals::Outline(MyMenuForm, 6), TPoint(799, 554));
  EXPECT_EQ(MenuFormInternals::AppFolder(MyMenuForm), programDir() + "/");
  EXPECT_FALSE(QFile::exists(programDir() + "/Noctivane.ini"));  // reading creates nothing
}

TEST_F(MainWindow, StoredSizeGivesTheGrowth) {
  writeIni("[Position]\r\nLeft=40\r\nTop=30\r\nHeight=700\r\nWidth=1000\r\n");
  Application->CreateForm(MyMenuForm);
  EXPECT_EQ(MyMenuForm->BoundsRect(), Bounds(40, 30, 1000, 700));
  EXPECT_EQ(MenuFormInternals::GrowWidth(MyMenuForm), 200);
  EXPECT_EQ(MenuFormInternals::GrowHeight(MyMenuForm), 100);
  // The right-hand corners moved with the width, the lower ones with the
  // height; the top-left ones stay.
  EXPECT_EQ(MenuFormInternals::Outline(MyMenuForm, 6), TPoint(999, 654));
  EXPECT_EQ(MenuFormInternals::Outline(MyMenuForm, 2), TPoint(966, 0));
  EXPECT_EQ(MenuFormInternals::Outline(MyMenuForm, 10), TPoint(23, 649));
  EXPECT_EQ(MenuFormInternals::Outline(MyMenuForm, 12), TPoint(10, 169));

  // The buttons keep their distance from the right frame, the gauge from the
  // bottom.
  TMyMenuForm* f = MyMenuForm;
  EXPECT_EQ(f->TopPanel->Width() - f->CloseBtn->Left(), 58);
  EXPECT_EQ(f->TopPanel->Width() - f->MinimizeBtn->Left(), 85);
  EXPECT_EQ(f->BottomPanel->Width() - f->NextPageBtn->Left(), 94);
  EXPECT_EQ(f->BottomPanel->Width() - f->CheckBtn->Left(), 354);
  EXPECT_EQ(f->RightPanel->Height() - f->ProgressBar->Top(), 156);
  EXPECT_EQ(f->BottomRightB->Left() + f->BottomRightB->Width(), 999);
}

TEST_F(MainWindow, UnreadableOrTooSmallValuesFallBack) {
  writeIni("[Position]\r\nLeft=left\r\nTop=$10\r\nHeight=300\r\nWidth=\r\n");
  Application->CreateForm(MyMenuForm);
  // A value that is no number gives the default; a size below the window's
  // minimum is raised to it.
  EXPECT_EQ(MyMenuForm->BoundsRect(), Bounds(0, 16, 800, 520));
  EXPECT_EQ(MenuFormInternals::GrowHeight(MyMenuForm), -80);
}

TEST_F(MainWindow, CloseWritesTheMainWindowsGeometryInItsKeyOrder) {
  Application->CreateForm(MyMenuForm);
  MyMenuForm->SetBounds(12, 34, 900, 640);
  MyMenuForm->Close();
  FinalizeForms();
  EXPECT_EQ(iniValues(programDir() + "/Noctivane.ini"),
            QStringList({"Left=12", "Width=900", "Top=34", "Height=640"}));
}

TEST_F(MainWindow, LaterWindowsPlaceThemselvesAndLeaveTheStoredGeometry) {
  writeIni("[Position]\r\nLeft=5\r\nTop=6\r\nHeight=610\r\nWidth=810\r\n");
  Application->CreateForm(MyMenuForm);
  MyMenuForm->SetBounds(50, 60, 820, 620);
  auto* second = NewForm<TMyMenuForm>(Application);
  // The new window starts from the stored geometry; the main one stays put.
  EXPECT_EQ(second->BoundsRect(), Bounds(5, 6, 810, 610));
  EXPECT_EQ(MenuFormInternals::GrowWidth(second), 10);
  EXPECT_EQ(MyMenuForm->BoundsRect(), Bounds(50, 60, 820, 620));
  second->SetBounds(300, 300, 1100, 800);
  FinalizeForms();  // the later window goes first, then the main window
  // Keys already in the file keep their places.
  EXPECT_EQ(iniValues(programDir() + "/Noctivane.ini"),
            QStringList({"Left=50", "Top=60", "Height=620", "Width=820"}));
}

TEST_F(MainWindow, AfterAPopUpClosesAClickIntoTheAddressBoxKeepsTheFocusAndTheTyping) {
  Application->CreateForm(MyMenuForm);
  TMyMenuForm* f = MyMenuForm;
  QWidget* window = f->Widget();
  window->activateWindow();
  ASSERT_TRUE(testsupport::waitFor([&] { return window->isActiveWindow(); }));
  // The page has the focus, as after every page load.
  ASSERT_TRUE(testsupport::waitFor([&] { return !f->WB->Busy(); }));
  f->SetActiveControl(f->WB);
  ASSERT_EQ(f->ActiveControl(), f->WB);

  ComPtr<IDispatch> browser;
  const int forms = Application->ComponentCount();
  f->OpenNewWindow(f, browser);
  ASSERT_EQ(Application->ComponentCount(), forms + 1);
  auto* popup = dynamic_cast<TMyMenuForm*>(Application->Components(forms));
  ASSERT_TRUE(popup);
  ASSERT_TRUE(testsupport::waitFor([&] { return popup->Widget()->isActiveWindow(); }));
  popup->Close();
  ASSERT_FALSE(popup->Visible());
  // Without a window manager no window is active once the pop-up is gone.
  QApplication::setActiveWindow(nullptr);
  ASSERT_FALSE(window->isActiveWindow());

  // The click reaches the address box before the window system reports the
  // activation it asked for.
  QWidget* box = f->URLEdit->Widget();
  const QPoint at = box->mapTo(window, box->rect().center());
  QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, at);
  window->activateWindow();
  ASSERT_TRUE(testsupport::waitFor([&] { return window->isActiveWindow(); }));
  QCoreApplication::processEvents();

  QWidget* focused = QApplication::focusWidget();
  ASSERT_TRUE(focused && (focused == box || box->isAncestorOf(focused)));
  EXPECT_EQ(f->ActiveControl(), f->URLEdit);
  f->URLEdit->SetText(String());
  QTest::keyClicks(focused, "typed");
  EXPECT_EQ(f->URLEdit->Text(), "typed");

  // Activated without a click (as a window manager does when a pop-up
  // closes), the window gives the focus back to its active control.
  f->SetActiveControl(f->WB);
  QApplication::setActiveWindow(nullptr);
  QApplication::setActiveWindow(window);
  ASSERT_TRUE(window->isActiveWindow());
  QCoreApplication::processEvents();
  EXPECT_EQ(f->ActiveControl(), f->WB);
  EXPECT_FALSE(box->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == box);
}

TEST_F(MainWindow, IniFileMovesToTheProfileWhenTheProgramFolderCannotBeWritten) {
  // A program folder whose parent is a file can neither be made nor written.
  const QString blocked = programDir() + "/blocked";
  ASSERT_TRUE(testsupport::writeFile(blocked, "not a folder"));
  qputenv("NOCTIVANE_PROGRAM_DIR", (blocked + "/bin").toUtf8());
  const QString profileIni = ProfileDir() + "/Noctivane.ini";
  ASSERT_TRUE(
      testsupport::writeFile(profileIni, "[Position]\r\nLeft=7\r\nTop=8\r\nHeight=650\r\nWidth=870\r\n"));

  // Read from where it is written; the window works without its skin pictures.
  Application->CreateForm(MyMenuForm);
  EXPECT_EQ(MyMenuForm->BoundsRect(), Bounds(7, 8, 870, 650));
  EXPECT_EQ(MyMenuForm->CloseBtn->Picture()->GetWidth(), 0);
  MyMenuForm->SetLeft(70);
  FinalizeForms();
  EXPECT_EQ(iniValues(profileIni), QStringList({"Left=70", "Top=8", "Height=650", "Width=870"}));
  QFile::remove(profileIni);
}

}  // namespace
