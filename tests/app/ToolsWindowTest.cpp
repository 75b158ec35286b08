// The tools window against its real form resource, the build's skin pictures,
// the real engine on local pages and a loopback server, and the registry and
// files of the temporary profile. The mouse reaches its buttons through Qt.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <limits>

#include "EmbeddedWB/Source/EwbFocusControl.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/rtl/Registry.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using FullScreen::FullScreenForm;
using FullScreen::TFullScreenForm;
using Menu::MyMenuForm;

class ToolsWindow : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    focusFixWasOn_ = EwbFocusControl::TEWBFocusControl::Instance() != nullptr;
    setStartPage(QStringLiteral("about:blank"));
  }
  void TearDown() override {
    AppTest::TearDown();
    // Freeing the window's TEwbControl switched the process's focus fix
    // off; the program keeps it on until it ends.
    if (focusFixWasOn_) EwbFocusControl::TEWBFocusControl::Activate();
  }

  // The program's two windows, made as the main block makes them, once the
  // tools window's browser has its home page.
  TFullScreenForm* openWindows() {
    Application->CreateForm(MyMenuForm);
    Application->CreateForm(FullScreenForm);
    EXPECT_TRUE(Arrived(FullScreenForm, QStringLiteral("about:blank")));
    return FullScreenForm;
  }
  // The same, shown (not modally) so that the mouse can reach it: the main
  // window, which the offscreen platform cannot put behind, is hidden.
  TFullScreenForm* showWindows() {
    TFullScreenForm* f = openWindows();
    MyMenuForm->Hide();
    f->Show();
    EXPECT_TRUE(testsupport::waitFor([&] { return f->Widget()->isVisible(); }));
    return f;
  }
  static bool Arrived(TFullScreenForm* f, const QString& url) {
    return testsupport::waitFor(
        [&] {
          return f->WB->LocationURL() == url && f->WB->ReadyState() == READYSTATE_COMPLETE && !f->WB->Busy();
        },
        15000);
  }
  // A local page; answers its address.
  QString localPage(const QString& name) {
    EXPECT_TRUE(testsupport::writeFile(programDir() + "/" + name, "<html><body>page</body></html>"));
    return QUrl::fromLocalFile(programDir() + "/" + name).toString();
  }
  // The image shows exactly the pixels of that skin picture.
  bool Shows(TImage* image, const QString& file) const {
    return apptest::ShowsSkinPicture(image, programDir(), file);
  }
  // The mouse through Qt: over a control, pressed and released on it.
  static void Hover(TFullScreenForm* f, TControl* c) {
    QTest::mouseMove(f->Widget(), c->Widget()->mapTo(f->Widget(), c->Widget()->rect().center()));
  }
  static void Press(TControl* c) { QTest::mousePress(c->Widget(), Qt::LeftButton, {}, QPoint(2, 2)); }
  static void Release(TControl* c) { QTest::mouseRelease(c->Widget(), Qt::LeftButton, {}, QPoint(2, 2)); }
  static void Click(TControl* c) {
    Press(c);
    Release(c);
  }
  static String LastVisitedPage() {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_LOCAL_MACHINE;
    return reg.OpenKeyReadOnly("\\SOFTWARE\\Noctivane\\WebPages") ? reg.ReadString("LastVisitedPage")
                                                                  : String();
  }

 private:
  bool focusFixWasOn_ = false;
};

// ---------------------------------------------------------------- the form

TEST_F(ToolsWindow, ResourceMakesEveryPublishedComponentAndItsPictures) {
  TFullScreenForm* f = openWindows();
#define CHECK_FIELD(Class, Name)                                    \
  ASSERT_NE(f->Name, nullptr) << #Name;                             \
  EXPECT_EQ(f->Name->ClassName(), QStringLiteral(#Class)) << #Name; \
  EXPECT_EQ(f->Name->Owner(), f) << #Name;
  NOCTIVANE_FULLSCREEN_FIELDS(CHECK_FIELD)
#undef CHECK_FIELD

  // Every button shows its normal picture, the locks theirs.
  for (const char* name : {"EM001", "EM002", "EM003", "EM004", "EM005", "EM006", "EM007", "EM008", "EM009",
                           "EM010", "EM011", "EM013", "EM014"}) {
    auto* image = dynamic_cast<TImage*>(f->FindComponent(QString(name) + "Btn"));
    ASSERT_TRUE(image) << name;
    EXPECT_TRUE(Shows(image, QString("ECOMode/%1A.PNG").arg(name))) << name;
  }
  EXPECT_TRUE(Shows(f->UnlockImage, "System/Unlock.PNG"));
  EXPECT_TRUE(Shows(f->SSLImage, "System/SSL.PNG"));

  // Hidden until asked for, with a task-bar button of its own.
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(GetWindowLongPtr(f->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(f->PageControl->PageCount(), 5);
  EXPECT_EQ(f->PageControl->ActivePage(), f->ParceSheet);
  // The home page's command states enabled Stop and Refresh; there is no
  // history yet.
  EXPECT_TRUE(f->EM006Btn->Enabled());
  EXPECT_TRUE(f->EM007Btn->Enabled());
  EXPECT_FALSE(f->EM008Btn->Enabled());
  EXPECT_FALSE(f->EM009Btn->Enabled());
  EXPECT_EQ(f->URLEdit->EmbeddedWB(), f->WB);
}

// The address box's own preset address stays in its list behind the
// addresses typed before.
TEST_F(ToolsWindow, TheAddressBoxKeepsItsPresetBehindTheTypedAddresses) {
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    reg.DeleteKey(QStringLiteral("\\") + IEAddress::TypedUrlsKey);
    ASSERT_TRUE(reg.OpenKey(IEAddress::TypedUrlsKey, true));
    reg.WriteString("Url1", "http://typed-before.test/");
  }
  TFullScreenForm* f = openWindows();
  EXPECT_EQ(f->URLEdit->Items()->Strings(),
            (QStringList{"http://typed-before.test/", "https://www.wikipedia.org/"}));
  TRegistry().DeleteKey(QStringLiteral("\\") + IEAddress::TypedUrlsKey);
}

// ---------------------------------------------------------------- the toolbar

TEST_F(ToolsWindow, HoverShowsTheHoverPictureAndATealCaption) {
  TFullScreenForm* f = showWindows();
  // Over an image or its caption, on both bars; away again.
  struct Case {
    TControl* over;
    TImage* image;
    TLabel* label;
  };
  for (const Case& c :
       {Case{f->EM002Btn, f->EM002Btn, f->EM002Label}, Case{f->EM005Label, f->EM005Btn, f->EM005Label},
        Case{f->EM013Label, f->EM013Btn, f->EM013Label}, Case{f->EM010Btn, f->EM010Btn, nullptr}}) {
    const QString stem = "ECOMode/" + c.image->Name().left(5);
    Hover(f, f->PageControl);
    Hover(f, c.over);
    EXPECT_TRUE(Shows(c.image, stem + "B.PNG")) << stem.toStdString();
    if (c.label) {
      EXPECT_EQ(c.label->Font()->GetColor(), clTeal) << stem.toStdString();
    }
    Hover(f, f->PageControl);
    EXPECT_TRUE(Shows(c.image, stem + "A.PNG")) << stem.toStdString();
    if (c.label) {
      EXPECT_EQ(c.label->Font()->GetColor(), clGray) << stem.toStdString();
    }
  }
}

TEST_F(ToolsWindow, CaptionedButtonsMoveWhilePressedAndActOnRelease) {
  TFullScreenForm* f = showWindows();
  const TRect image = f->EM001Btn->BoundsRect(), label = f->EM001Label->BoundsRect();
  Press(f->EM001Btn);
  EXPECT_EQ(f->EM001Btn->BoundsRect(), Bounds(image.Left + 1, image.Top + 1, image.Width(), image.Height()));
  EXPECT_EQ(f->EM001Label->BoundsRect(),
            Bounds(label.Left + 1, label.Top + 1, label.Width(), label.Height()));
  EXPECT_TRUE(f->PageControl->Visible());  // nothing happens before the release
  Release(f->EM001Btn);
  EXPECT_EQ(f->EM001Btn->BoundsRect(), image);
  EXPECT_EQ(f->EM001Label->BoundsRect(), label);
  EXPECT_FALSE(f->PageControl->Visible());

  // The caption is pressed the same way and acts the same.
  Press(f->EM001Label);
  EXPECT_EQ(f->EM001Btn->Left(), image.Left + 1);
  EXPECT_EQ(f->EM001Label->Top(), label.Top + 1);
  Release(f->EM001Label);
  EXPECT_EQ(f->EM001Btn->BoundsRect(), image);
  EXPECT_EQ(f->EM001Label->BoundsRect(), label);
  EXPECT_TRUE(f->PageControl->Visible());

  // "Go" does not move; its caption does not act, its image goes to the
  // trimmed address.
  const TRect go = f->EM014Btn->BoundsRect();
  const QString page = localPage("went.html");
  f->URLEdit->SetText("  " + page + "  ");
  Click(f->EM014Label);
  EXPECT_FALSE(f->WB->Busy());
  Press(f->EM014Btn);
  EXPECT_EQ(f->EM014Btn->BoundsRect(), go);
  Release(f->EM014Btn);
  EXPECT_TRUE(Arrived(f, page));
}

TEST_F(ToolsWindow, SystemTwiceGivesTheTabsAndTheSplitterBack) {
  TFullScreenForm* f = showWindows();
  const TRect tabs = f->PageControl->BoundsRect(), splitter = f->VSplitter->BoundsRect();
  const TRect browser = f->WB->BoundsRect();
  Click(f->EM001Btn);
  EXPECT_FALSE(f->PageControl->Visible());
  EXPECT_FALSE(f->VSplitter->Visible());
  EXPECT_EQ(f->WB->Left() + f->WB->Width() + 2, f->PreviewPanel->ClientWidth());
  Click(f->EM001Btn);
  EXPECT_TRUE(f->PageControl->Visible());
  EXPECT_TRUE(f->VSplitter->Visible());
  EXPECT_EQ(f->PageControl->BoundsRect(), tabs);
  EXPECT_EQ(f->VSplitter->BoundsRect(), splitter);
  EXPECT_EQ(f->WB->BoundsRect(), browser);
}

TEST_F(ToolsWindow, DisabledHistoryButtonsDoNothingUntilTheBrowserEnablesThem) {
  apptest::PageServer server(/*titled=*/false);
  TFullScreenForm* f = showWindows();
  f->WB->Go(server.url("first"));
  ASSERT_TRUE(Arrived(f, server.url("first")));
  f->WB->Go(server.url("second"));
  ASSERT_TRUE(Arrived(f, server.url("second")));
  ASSERT_TRUE(testsupport::waitFor([&] { return f->EM008Btn->Enabled(); }));

  // Disabled as at start, whatever the browser could do, they do nothing.
  for (TImage* b : {f->EM006Btn, f->EM007Btn, f->EM008Btn, f->EM009Btn}) b->SetEnabled(false);
  for (TImage* b : {f->EM006Btn, f->EM007Btn, f->EM008Btn, f->EM009Btn}) Click(b);
  QTest::qWait(300);
  EXPECT_EQ(f->WB->LocationURL(), server.url("second"));
  EXPECT_EQ(server.hits("second"), 1);

  // Enabled by the browser's command states they refresh, go back and forward.
  f->WBCommandStateChange(f->WB, CSC_NAVIGATEBACK, true);
  Click(f->EM006Btn);
  Click(f->EM007Btn);
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("second") == 2; }, 10000));
  ASSERT_TRUE(Arrived(f, server.url("second")));
  Click(f->EM008Btn);
  ASSERT_TRUE(Arrived(f, server.url("first")));
  ASSERT_TRUE(testsupport::waitFor([&] { return f->EM009Btn->Enabled(); }));
  Click(f->EM009Btn);
  ASSERT_TRUE(Arrived(f, server.url("second")));
}

// ---------------------------------------------------------------- showing and closing

TEST_F(ToolsWindow, ExecuteShowsTheWindowModallyUntilCloseIsClicked) {
  TFullScreenForm* f = openWindows();
  bool wasModal = false, forced = false;
  TCursor cursorWhileShown = crHourGlass;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(testsupport::waitFor([&] { return f->Modal() && f->Widget()->isVisible(); }));
    wasModal = f->Widget()->isModal();
    cursorWhileShown = Screen->Cursor();
    Click(f->EM010Btn);
  });
  QTimer fallback;  // ends a window the click did not close
  fallback.setSingleShot(true);
  QObject::connect(&fallback, &QTimer::timeout, [&] {
    forced = true;
    f->SetModalResult(mrAbort);
  });
  fallback.start(15000);
  Screen->SetCursor(crHourGlass);
  EXPECT_FALSE(f->Execute());
  EXPECT_FALSE(forced);
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(cursorWhileShown, crDefault);
  EXPECT_FALSE(f->Visible());
  // The close went through the window's close query.
  EXPECT_EQ(LastVisitedPage(), "about:blank");

  // Shown again with its page kept: minimising leaves it modal and names the
  // main window after the page; "Noctivane Mode" restores the main window
  // and closes.
  const QString page = localPage("kept.html");
  f->WB->Go(page);
  ASSERT_TRUE(Arrived(f, page));
  MyMenuForm->SetWindowState(wsMinimized);
  TWindowState minimised = wsNormal;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(testsupport::waitFor([&] { return f->Modal() && f->Widget()->isVisible(); }));
    MyMenuForm->SetCaption("Noctivane");
    Click(f->EM011Btn);
    minimised = f->Modal() ? f->WindowState() : wsNormal;
    Click(f->EM005Btn);
  });
  EXPECT_FALSE(f->Execute());
  EXPECT_EQ(minimised, wsMinimized);
  EXPECT_EQ(MyMenuForm->Caption(), f->WB->LocationName());
  EXPECT_EQ(MyMenuForm->WindowState(), wsNormal);
  EXPECT_EQ(f->WB->LocationURL(), page);
}

TEST_F(ToolsWindow, ClosingStoresTheToolsPageAndTheMainWindowsBounds) {
  TFullScreenForm* f = openWindows();
  const QString page = localPage("last.html");
  f->WB->Go(page);
  ASSERT_TRUE(Arrived(f, page));
  MyMenuForm->SetBounds(11, 22, 900, 650);
  EXPECT_TRUE(f->CloseQuery());
  EXPECT_EQ(LastVisitedPage(), page);
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Noctivane\\FormSize"));
  EXPECT_EQ(reg.ReadInteger("Left"), 11);
  EXPECT_EQ(reg.ReadInteger("Top"), 22);
  EXPECT_EQ(reg.ReadInteger("Width"), 900);
  EXPECT_EQ(reg.ReadInteger("Height"), 650);
}

TEST_F(ToolsWindow, ClosingWhileAPageLoadsStopsItAndWaitsForTheBrowser) {
  apptest::PageServer server(/*titled=*/false);
  TFullScreenForm* f = openWindows();
  f->WB->Go(server.url("slow"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("slow") == 1 && f->WB->Busy(); }, 10000));
  const auto closedAt = std::chrono::steady_clock::now();
  // The stop leaves the browser idle at once, so the first close is
  // granted; the page was stored before the stop.
  const String loading = f->WB->LocationURL();
  EXPECT_TRUE(f->CloseQuery());
  EXPECT_FALSE(f->WB->Busy());
  EXPECT_EQ(LastVisitedPage(), loading);
  ASSERT_TRUE(testsupport::waitFor([&] { return !f->WB->Busy(); }, 4000));
  EXPECT_LT(std::chrono::steady_clock::now() - closedAt, std::chrono::seconds(4));
  EXPECT_NE(f->WB->LocationName(), "slow");
  EXPECT_TRUE(f->CloseQuery());
}

TEST_F(ToolsWindow, BrowserKeysWorkOnThePage) {
  apptest::PageServer server(/*titled=*/false);
  TFullScreenForm* f = showWindows();
  apptest::CheckBrowserKeys(f->WB, localPage("first.html"), localPage("second.html"), server.url("slow"),
                            [&] { return server.hits("slow") == 1; });
}

TEST_F(ToolsWindow, ClosingLeavesASiteHtmlInTheCurrentFolderAlone) {
  TFullScreenForm* f = openWindows();
  const String previous = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(programDir()));
  const QString copy = programDir() + "/Site.html";
  ASSERT_TRUE(testsupport::writeFile(copy, "<html>someone's page</html>"));

  // Mailing never leaves its copy there: a file of that name is someone
  // else's, and stays as it is however often the window closes.
  EXPECT_TRUE(f->CloseQuery());
  EXPECT_TRUE(f->CloseQuery());
  EXPECT_EQ(testsupport::readFile(copy), QByteArray("<html>someone's page</html>"));
  SetCurrentDir(previous);
}

// ---------------------------------------------------------------- the browser's events

TEST_F(ToolsWindow, GaugeShowsWholePercentagesOfRealProgressOnly) {
  TFullScreenForm* f = openWindows();
  const int big = std::numeric_limits<int>::max();
  struct Case {
    int progress, max, shown;  // shown 0: hidden, resting at 1
  };
  for (const Case& c :
       {Case{50, 200, 25}, Case{1, 3, 33}, Case{0, 100, 0}, Case{-1, 100, 0}, Case{10, 1, 0}, Case{10, 0, 0},
        Case{300, 200, 100}, Case{big - 1, big, 99}, Case{big / 2, big, 49}}) {
    f->WBProgressChange(f->WB, c.progress, c.max);
    EXPECT_EQ(f->ProgressBar->Visible(), c.shown != 0) << c.progress << " of " << c.max;
    EXPECT_EQ(f->ProgressBar->Progress(), c.shown ? c.shown : 1) << c.progress << " of " << c.max;
  }
}

TEST_F(ToolsWindow, SecureLevelAndCommandStatesReachTheirControls) {
  TFullScreenForm* f = openWindows();
  for (const auto& [level, caption] :
       {std::pair{6, "Secure Level: 128 Bit"}, std::pair{0, "Secure Level: UnSecure"},
        std::pair{7, "Secure Level: "}, std::pair{-1, "Secure Level: "}}) {
    f->WBSetSecureLockIcon(f->WB, level);
    EXPECT_EQ(f->SecurityLabel->Caption(), caption) << level;
    EXPECT_EQ(f->SecurityLabel->Width(), 200);
  }

  // Forward and back follow their commands; any command enables Stop and
  // Refresh and another command touches neither history button.
  auto states = [f] {
    return QList<bool>{f->EM006Btn->Enabled(), f->EM007Btn->Enabled(), f->EM008Btn->Enabled(),
                       f->EM009Btn->Enabled()};
  };
  for (TImage* b : {f->EM006Btn, f->EM007Btn, f->EM008Btn, f->EM009Btn}) b->SetEnabled(false);
  f->WBCommandStateChange(f->WB, CSC_NAVIGATEFORWARD, true);
  EXPECT_EQ(states(), QList<bool>({true, true, false, true}));
  f->WBCommandStateChange(f->WB, CSC_NAVIGATEBACK, true);
  EXPECT_EQ(states(), QList<bool>({true, true, true, true}));
  f->WBCommandStateChange(f->WB, CSC_NAVIGATEFORWARD, false);
  f->WBCommandStateChange(f->WB, 5, false);
  EXPECT_EQ(states(), QList<bool>({true, true, true, false}));
}

TEST_F(ToolsWindow, DocumentCompleteWithoutAnHtmlDocumentShowsTheEventsAddress) {
  TFullScreenForm* f = openWindows();
  const OleVariant url(QStringLiteral("http://example.test/frame.html"));
  f->WBDocumentComplete(f->WB, nullptr, url);
  EXPECT_EQ(f->URLEdit->Text(), "http://example.test/frame.html");

  // A browser that has no document yet.
  auto* idle = new EmbeddedWB::TEmbeddedWB(f);
  idle->SetParent(f->PreviewPanel);
  f->URLEdit->SetText(QString());
  f->WBDocumentComplete(f->WB, idle->DefaultInterface().Get(), OleVariant(QStringLiteral("about:idle")));
  EXPECT_EQ(f->URLEdit->Text(), "about:idle");

  // With an HTML document the document's own address wins over the event's.
  const QString page = localPage("complete.html");
  f->WB->Go(page);
  ASSERT_TRUE(Arrived(f, page));
  f->WBDocumentComplete(f->WB, f->WB->DefaultInterface().Get(), url);
  EXPECT_EQ(f->URLEdit->Text(), page);
}

}  // namespace
