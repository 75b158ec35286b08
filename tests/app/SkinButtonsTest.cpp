// The main window's skin buttons, quick links, web mail and lit labels,
// driven through the handlers the form data binds, with the build's skin
// pictures and a browser whose navigations are recorded and refused.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include "EmbeddedWB/Source/EwbTools.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/rtl/Folders.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using Menu::MyMenuForm;
using Menu::TMyMenuForm;

class SkinButtons : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    Application->CreateForm(MyMenuForm);
    f = MyMenuForm;
    // Nothing leaves the machine: every navigation is noted and refused.
    ASSERT_TRUE(testsupport::waitFor([&] { return !f->WB->Busy(); }, 10000));
    f->WB->OnBeforeNavigate2 = [this](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                                      const OleVariant&, const OleVariant&, const OleVariant&, bool& cancel) {
      urls.push_back(VarToStr(url));
      cancel = true;
    };
    Application->OnException = [this](TObject*, Exception& e) {
      reports.push_back(e.Message);
      cursorAtReport = Screen->Cursor();
    };
  }

  // The next address the browser was sent to; empty when none came.
  QString Next() {
    const size_t want = seen + 1;
    if (!testsupport::waitFor([&] { return urls.size() >= want; }, 10000)) return QString();
    return urls[seen++];
  }

  // The four events of a control, as the form data binds them.
  static void Enter(TControl* c) { c->OnMouseEnter(c); }
  static void Leave(TControl* c) { c->OnMouseLeave(c); }
  static void Down(TControl* c, TMouseButton b = mbLeft) { c->OnMouseDown(c, b, {}, 2, 2); }
  static void Up(TControl* c, TMouseButton b = mbLeft) { c->OnMouseUp(c, b, {}, 2, 2); }
  static void Click(TControl* c) {
    Down(c);
    Up(c);
  }

  // Whether the image shows the skin picture of that name (under Skins/Gold).
  bool Shows(TImage* image, const QString& file) const {
    TPicture expected;
    expected.LoadFromFile(programDir() + "/Skins/Gold/" + file);
    const TGraphic* shown = image->Picture()->Graphic();
    return shown && shown->ToQImage().convertToFormat(QImage::Format_ARGB32) ==
                        expected.Graphic()->ToQImage().convertToFormat(QImage::Format_ARGB32);
  }

  // Replaces the linked skin folder by a copy without the given pictures.
  void SkinsWithout(const QStringList& missing) {
    const QString skins = programDir() + "/Skins";
    ASSERT_TRUE(QFile::remove(skins));
    const QString from = QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Skins");
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString source = it.next();
      const QString relative = QDir(from).relativeFilePath(source);
      if (missing.contains(relative)) continue;
      QDir().mkpath(QFileInfo(skins + "/" + relative).path());
      ASSERT_TRUE(QFile::copy(source, skins + "/" + relative));
    }
  }

  TMyMenuForm* f = nullptr;
  std::vector<QString> urls;
  size_t seen = 0;
  std::vector<QString> reports;
  TCursor cursorAtReport = crDefault;
};

// Notes the application cursor whenever a control's widget is shown.
class CursorWhenShown : public QObject {
 public:
  explicit CursorWhenShown(TControl* c) { c->Widget()->installEventFilter(this); }
  std::vector<TCursor> seen;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Show) seen.push_back(Screen->Cursor());
    return false;
  }
};

// ---------------------------------------------------------------- the two patterns

TEST_F(SkinButtons, PressButtonsSwapTheirPicturesShowHintsAndMoveWhilePressed) {
  // Each pattern button with its pictures (id + "A"/"B") and hint line.
  f->URLEdit->SetText("  http://example.test/a  ");
  const struct {
    TImage* image;
    QString picture;
    QString hint;
  } cases[] = {
      {f->HomeBtn, "System/HB001", "Go to home page ... "},
      {f->SelectMailBtn, "System/WM001", "Web-mail tools ... "},
      {f->AddFavoriteBtn, "FavoritesList/FL001", "Add page  \"  http://example.test/a  \" to favorites ... "},
      {f->DeleteFavoriteBtn, "FavoritesList/FL002", "Delete page  \"\" from favorites ... "},
      {f->ExportFavoritesBtn, "FavoritesList/FL003",
       "Export favorites in " + QDir::homePath() + "/MyFavorites.htm"},
      {f->ClearHistoryBtn, "History/DH001", "Clear history ... "},
      {f->FindDialogBtn, "System/SB001", "Find dialog ... "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.image->Name().toStdString());
    Enter(c.image);
    EXPECT_TRUE(Shows(c.image, c.picture + "B.PNG"));
    EXPECT_EQ(f->ProcessLabel->Caption(), c.hint);
    Leave(c.image);
    EXPECT_TRUE(Shows(c.image, c.picture + "A.PNG"));
    EXPECT_FALSE(Shows(c.image, c.picture + "B.PNG"));
    EXPECT_EQ(f->ProcessLabel->Caption(), "");
  }

  // Pressing moves the image a pixel down and right; releasing puts it
  // back. Toggling the mail panel runs under the hourglass.
  CursorWhenShown shown(f->SelectMailPanel);
  const TRect at = f->SelectMailBtn->BoundsRect();
  Down(f->SelectMailBtn);
  EXPECT_EQ(f->SelectMailBtn->BoundsRect(), Bounds(at.Left + 1, at.Top + 1, at.Width(), at.Height()));
  EXPECT_FALSE(f->SelectMailPanel->Visible());
  Up(f->SelectMailBtn);
  EXPECT_EQ(f->SelectMailBtn->BoundsRect(), at);
  EXPECT_TRUE(f->SelectMailPanel->Visible());
  Click(f->SelectMailBtn);
  EXPECT_FALSE(f->SelectMailPanel->Visible());
  EXPECT_EQ(Screen->Cursor(), crDefault);
  f->SystemPanel->Show();  // the mail panel's widget shows only inside a shown side panel
  Click(f->SelectMailBtn);
  ASSERT_FALSE(shown.seen.empty());
  EXPECT_EQ(shown.seen.back(), crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(SkinButtons, HandlersActOnTheirOwnImageWhicheverControlRaisesThem) {
  // The System Tools icons press the Add button; the Go label presses the Go image.
  const TRect add = f->AddFavoriteBtn->BoundsRect();
  const TRect icon = f->Image1->BoundsRect();
  Down(f->Image1);
  EXPECT_EQ(f->AddFavoriteBtn->Left(), add.Left + 1);
  EXPECT_EQ(f->Image1->BoundsRect(), icon);
  Enter(f->Image2);
  EXPECT_TRUE(Shows(f->AddFavoriteBtn, "FavoritesList/FL001B.PNG"));

  const TRect go = f->GoBtn->BoundsRect();
  f->URLEdit->SetText("  http://example.test/go  ");
  Enter(f->Label1);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Go to page http://example.test/go ... ");
  Down(f->Label1);
  EXPECT_EQ(f->GoBtn->Top(), go.Top + 1);
  Up(f->Label1);
  EXPECT_EQ(f->GoBtn->BoundsRect(), go);
  EXPECT_EQ(Next(), "http://example.test/go");
  // Leaving the Go controls is the Add button's leave: its normal picture
  // and an empty hint line.
  Leave(f->GoBtn);
  EXPECT_EQ(f->ProcessLabel->Caption(), "");
  EXPECT_TRUE(Shows(f->AddFavoriteBtn, "FavoritesList/FL001A.PNG"));
}

TEST_F(SkinButtons, BitmapButtonsShowNormalHoverAndPressedPictures) {
  const TRect at = f->CheckBtn->BoundsRect();
  Enter(f->CheckBtn);
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_B.bmp"));
  Down(f->CheckBtn);
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_C.bmp"));
  EXPECT_EQ(f->CheckBtn->BoundsRect(), at);  // no press offset
  EXPECT_FALSE(f->SystemPanel->Visible());
  Up(f->CheckBtn);
  // The side panel opens with its splitter at its left; the button shows
  // its hover picture.
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_B.bmp"));
  EXPECT_TRUE(f->SystemPanel->Visible());
  EXPECT_TRUE(f->VSplitter->Visible());
  EXPECT_EQ(f->VSplitter->Left() + f->VSplitter->Width(), f->SystemPanel->Left());
  Click(f->CheckBtn);
  EXPECT_FALSE(f->SystemPanel->Visible());
  EXPECT_FALSE(f->VSplitter->Visible());
  f->ProcessLabel->SetCaption("as it was");
  Leave(f->CheckBtn);
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_A.bmp"));
  EXPECT_EQ(f->ProcessLabel->Caption(), "as it was");  // bitmap buttons have no hints

  const std::pair<TImage*, QString> frame[] = {
      {f->CloseBtn, "Window/Close001"},           {f->MinimizeBtn, "Window/Minimize001"},
      {f->NextPageBtn, "Navigate/NextPage001"},   {f->PreviousPageBtn, "Navigate/PreviousPage001"},
      {f->RefreshBtn, "Navigate/RefreshPage001"}, {f->StopBtn, "Navigate/Stop001"},
      {f->PrintpageBtn, "Navigate/PrintPage001"}};
  for (const auto& [image, name] : frame) {
    SCOPED_TRACE(name.toStdString());
    Enter(image);
    EXPECT_TRUE(Shows(image, "Buttons/" + name + "_B.bmp"));
    Down(image);
    EXPECT_TRUE(Shows(image, "Buttons/" + name + "_C.bmp"));
    Leave(image);
    EXPECT_TRUE(Shows(image, "Buttons/" + name + "_A.bmp"));
  }

  // Minimize: the window goes to the task bar.
  Click(f->MinimizeBtn);
  EXPECT_EQ(f->WindowState(), wsMinimized);
  EXPECT_TRUE(Shows(f->MinimizeBtn, "Buttons/Window/Minimize001_B.bmp"));
}

// ---------------------------------------------------------------- quick links, web mail, labels

TEST_F(SkinButtons, QuickLinksNameTheirSitesAndGoToTheirHomePages) {
  TImage* const links[] = {f->FN001Btn, f->FN002Btn, f->FN003Btn, f->FN004Btn, f->FN005Btn, f->FN006Btn,
                           f->FN007Btn, f->FN008Btn, f->FN009Btn, f->FN010Btn, f->FN011Btn, f->FN012Btn};
  QStringList hosts;
  for (int i = 0; i < 12; ++i) {
    TImage* link = links[i];
    SCOPED_TRACE(link->Name().toStdString());
    Enter(link);
    const QString caption = f->SocialSetLabel->Caption();
    EXPECT_FALSE(caption.isEmpty());
    EXPECT_TRUE(Shows(link, QStringLiteral("FavoriteNet/N%1B.PNG").arg(i + 1, 3, 10, QLatin1Char('0'))));
    const TRect at = link->BoundsRect();
    Down(link);
    EXPECT_EQ(link->Left(), at.Left + 1);
    Up(link);
    EXPECT_EQ(link->BoundsRect(), at);
    Leave(link);
    EXPECT_EQ(f->SocialSetLabel->Caption(), "");

    const QUrl url(Next());
    ASSERT_TRUE(url.isValid());
    EXPECT_EQ(url.scheme(), i == 11 ? "https" : "http");
    EXPECT_FALSE(url.host().isEmpty());
    hosts << url.host();
    // A caption that names a domain names the one the link leads to.
    const QString domain = caption.section(' ', 0, 0);
    if (domain.contains('.')) {
      EXPECT_TRUE(url.host().endsWith(domain)) << caption.toStdString();
    }
  }
  hosts.removeDuplicates();
  EXPECT_EQ(hosts.size(), 12);
  Enter(f->FN006Btn);
  EXPECT_EQ(f->SocialSetLabel->Caption(), "RSS feeds");
}

TEST_F(SkinButtons, EachWebMailButtonOpensTheServiceItsHintNames) {
  const struct {
    TImage* button;
    QString service;
    const char* page;
  } mail[] = {{f->WM001Btn, "Yahoo! Mail", EwbTools::WebmailAUrl},
              {f->WM002Btn, "Outlook.com", EwbTools::WebmailCUrl},
              {f->WM003Btn, "Gmail", EwbTools::WebmailBUrl}};
  for (const auto& m : mail) {
    SCOPED_TRACE(m.service.toStdString());
    EXPECT_EQ(m.button->Hint(), m.service + " ...");
    Enter(m.button);
    EXPECT_EQ(f->SelectMailLabel->Caption(), "  Selected WEB-Mail: " + m.service);
    Leave(m.button);
    EXPECT_EQ(f->SelectMailLabel->Caption(), "  Selected WEB-Mail:");
    Click(m.button);
    EXPECT_EQ(QUrl(Next()), QUrl(QString::fromLatin1(m.page)));
  }
}

TEST_F(SkinButtons, TheUrlMailButtonOnlyMovesAndNamesItself) {
  const TRect at = f->AttachURLBtn->BoundsRect();
  Enter(f->AttachURLBtn);
  EXPECT_EQ(f->SendMailLabel->Caption(), "Send the URL in mail ... ");
  Down(f->AttachURLBtn);
  EXPECT_EQ(f->AttachURLBtn->Top(), at.Top + 1);
  Up(f->AttachURLBtn);
  EXPECT_EQ(f->AttachURLBtn->BoundsRect(), at);
  Leave(f->AttachURLBtn);
  EXPECT_EQ(f->SendMailLabel->Caption(), "Send Mail");
  // Nothing was sent, saved or navigated.
  QCoreApplication::processEvents();
  EXPECT_TRUE(QDir(ProfileDir() + "/Outbox").entryList(QDir::Files).isEmpty());
  EXPECT_FALSE(QFile::exists("Site.html"));
  EXPECT_TRUE(urls.empty());
}

TEST_F(SkinButtons, LabelsLightUpAndTheirActionsRun) {
  Enter(f->FullScreenBtn);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Start ECO mode ... ");
  EXPECT_EQ(f->Label2->Font()->GetColor(), 0x008000);
  Leave(f->Label2);
  EXPECT_EQ(f->ProcessLabel->Caption(), "");
  EXPECT_EQ(f->Label2->Font()->GetColor(), 0x808080);

  // Without a tools window the label does nothing; with one it shows it
  // modally until it closes.
  Up(f->Label2);
  Application->CreateForm(FullScreen::FullScreenForm);
  bool shownModally = false;
  QTimer::singleShot(0, [&] {
    shownModally = FullScreen::FullScreenForm->Visible();
    FullScreen::FullScreenForm->SetModalResult(mrOk);
  });
  Up(f->Label2);
  EXPECT_TRUE(shownModally);
  EXPECT_FALSE(FullScreen::FullScreenForm->Visible());

  Enter(f->NoctivaneLabel);
  EXPECT_EQ(f->NoctivaneLabel->Font()->GetColor(), 0x008000);
  Leave(f->NoctivaneLabel);
  EXPECT_EQ(f->NoctivaneLabel->Font()->GetColor(), 0x808080);
  Up(f->NoctivaneLabel);
  EXPECT_EQ(QUrl(Next()).host(), "github.com");
}

// ---------------------------------------------------------------- failures

TEST_F(SkinButtons, AMissingPictureIsReportedOnceAndTheButtonStillWorks) {
  SkinsWithout({"Gold/Buttons/Navigate/Check001_B.bmp", "Gold/System/WM001B.PNG"});
  Enter(f->CheckBtn);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].contains("Check001_B.bmp")) << reports[0].toStdString();
  // The image keeps the picture it had.
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_A.bmp"));
  Leave(f->CheckBtn);
  Enter(f->CheckBtn);  // not reported again
  Down(f->CheckBtn);
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_C.bmp"));
  Up(f->CheckBtn);
  EXPECT_TRUE(f->SystemPanel->Visible());
  EXPECT_TRUE(Shows(f->CheckBtn, "Buttons/Navigate/Check001_C.bmp"));
  EXPECT_EQ(reports.size(), 1u);

  Enter(f->SelectMailBtn);
  Click(f->SelectMailBtn);
  EXPECT_TRUE(f->SelectMailPanel->Visible());
  EXPECT_EQ(f->ProcessLabel->Caption(), "Web-mail tools ... ");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_TRUE(reports[1].contains("WM001B.PNG"));
}

TEST_F(SkinButtons, TheHourglassGoesAwayWhenAnActionFails) {
  SkinsWithout({"Gold/Buttons/Navigate/NextPage001_B.bmp"});
  // Back with no page to go back to fails; the failure goes on to the caller.
  EXPECT_THROW(Up(f->PreviousPageBtn), Exception);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_TRUE(Shows(f->PreviousPageBtn, "Buttons/Navigate/PreviousPage001_B.bmp"));
  // The picture of a busy button is loaded under the hourglass.
  EXPECT_THROW(Up(f->NextPageBtn), Exception);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(cursorAtReport, crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

}  // namespace
