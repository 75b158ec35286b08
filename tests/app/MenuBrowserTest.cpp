// The main window's browser at start and at close: the real engine on local
// pages and on a loopback server that answers slowly.
#include <gtest/gtest.h>

#include <QUrl>

#include <chrono>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/rtl/Registry.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using Menu::MyMenuForm;

class MainWindowBrowser : public apptest::AppTest {
 protected:
  // A local page made the Internet Explorer start page; answers its address.
  QString localStartPage(const QByteArray& title) {
    const QString file = programDir() + "/" + QString::fromLatin1(title) + ".html";
    EXPECT_TRUE(testsupport::writeFile(
        file, "<html><head><title>" + title + "</title></head><body>page</body></html>"));
    const QString url = QUrl::fromLocalFile(file).toString();
    setStartPage(url);
    return url;
  }
  static bool Arrived(const QString& url) {
    return testsupport::waitFor(
        [&] { return MyMenuForm->WB->LocationURL() == url && !MyMenuForm->WB->Busy(); }, 15000);
  }
};

TEST_F(MainWindowBrowser, BrowserSettingsOfTheFormData) {
  setStartPage("about:blank");
  Application->CreateForm(MyMenuForm);
  EmbeddedWB::TEmbeddedWB* wb = MyMenuForm->WB;
  EXPECT_EQ(wb->Parent(), MyMenuForm->PreviewPanel);
  EXPECT_EQ(wb->Align(), alClient);
  EXPECT_TRUE(wb->RegisterAsBrowser());
  EXPECT_EQ(wb->UserInterfaceOptions(), EwbCore::TUserInterfaceOptions({EwbCore::EnableThemes}));
  EXPECT_EQ(wb->DisableCtrlShortcuts(), "N");
  EXPECT_FALSE(wb->DisableErrors()->EnableDDE());
  EXPECT_FALSE(wb->DisableErrors()->ScriptErrorsSuppressed());
  EXPECT_EQ(wb->PrintOptions()->Header(), "&w&bPage &p of &P");
  EXPECT_EQ(wb->PrintOptions()->Footer(), "&u&b&d");
  EXPECT_EQ(wb->PrintOptions()->Orientation(), EmbeddedWB::poPortrait);
  // The page fills what the line under the address bar leaves.
  EXPECT_EQ(wb->BoundsRect(),
            Bounds(0, 2, MyMenuForm->PreviewPanel->Width(), MyMenuForm->PreviewPanel->Height() - 2));
}

TEST_F(MainWindowBrowser, StartShowsTheStartPageInItsFieldAndGoesThere) {
  const QString url = localStartPage("Start");
  Application->CreateForm(MyMenuForm);
  EXPECT_EQ(MyMenuForm->StartPageEdit->Text(), url);
  EXPECT_TRUE(Arrived(url));
  EXPECT_EQ(MyMenuForm->WB->LocationName(), "Start");
}

TEST_F(MainWindowBrowser, ToolsWindowIsMadeHiddenAfterTheMainWindow) {
  setStartPage("about:blank");
  Application->CreateForm(MyMenuForm);
  Application->CreateForm(FullScreen::FullScreenForm);
  EXPECT_EQ(Application->MainForm(), MyMenuForm);
  ASSERT_NE(FullScreen::FullScreenForm, nullptr);
  EXPECT_FALSE(FullScreen::FullScreenForm->Visible());
  EXPECT_TRUE(MyMenuForm->Visible());
  EXPECT_EQ(FullScreen::FullScreenForm->BorderStyle(), bsNone);
  EXPECT_EQ(FullScreen::FullScreenForm->WindowState(), wsMaximized);
}

TEST_F(MainWindowBrowser, CloseStoresTheLastPageAndTheBounds) {
  const QString url = localStartPage("Last");
  Application->CreateForm(MyMenuForm);
  ASSERT_TRUE(Arrived(url));
  MyMenuForm->SetBounds(11, 22, 900, 650);
  EXPECT_TRUE(MyMenuForm->CloseQuery());

  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Noctivane\\WebPages"));
  EXPECT_EQ(reg.ReadString("LastVisitedPage"), url);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Noctivane\\FormSize"));
  TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Strings(), QStringList({"Top", "Left", "Width", "Height", "WindowState"}));
  EXPECT_EQ(reg.ReadInteger("Top"), 22);
  EXPECT_EQ(reg.ReadInteger("Left"), 11);
  EXPECT_EQ(reg.ReadInteger("Width"), 900);
  EXPECT_EQ(reg.ReadInteger("Height"), 650);
  EXPECT_EQ(reg.ReadInteger("WindowState"), 0);
}

TEST_F(MainWindowBrowser, ClosingWhileAPageLoadsStopsItAndWaitsForTheBrowser) {
  apptest::PageServer server;  // "slow" answers only after five seconds
  setStartPage("about:blank");
  Application->CreateForm(MyMenuForm);
  EmbeddedWB::TEmbeddedWB* wb = MyMenuForm->WB;
  ASSERT_TRUE(testsupport::waitFor([&] { return !wb->Busy(); }, 15000));

  wb->Go(server.url("slow"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("slow") > 0 && wb->Busy(); }, 10000));
  const auto closedAt = std::chrono::steady_clock::now();
  const bool busyBefore = wb->Busy();
  const bool canClose = MyMenuForm->CloseQuery();
  // The stop leaves the browser idle at once, so the first close is granted.
  EXPECT_TRUE(busyBefore);
  EXPECT_TRUE(canClose);
  EXPECT_FALSE(wb->Busy());
  EXPECT_TRUE(MyMenuForm->Visible());

  // The stop ends the load long before the server would have answered.
  ASSERT_TRUE(testsupport::waitFor([&] { return !wb->Busy(); }, 4000));
  EXPECT_LT(std::chrono::steady_clock::now() - closedAt, std::chrono::seconds(4));
  EXPECT_NE(wb->LocationName(), "slow");
  EXPECT_TRUE(MyMenuForm->CloseQuery());
}

TEST_F(MainWindowBrowser, BrowserKeysWorkOnThePage) {
  apptest::PageServer server;  // "slow" answers only after five seconds
  setStartPage("about:blank");
  Application->CreateForm(MyMenuForm);
  EmbeddedWB::TEmbeddedWB* wb = MyMenuForm->WB;
  ASSERT_TRUE(testsupport::waitFor([&] { return !wb->Busy(); }, 15000));
  const QString first = localStartPage("First");
  const QString second = localStartPage("Second");
  apptest::CheckBrowserKeys(wb, first, second, server.url("slow"), [&] { return server.hits("slow") > 0; });
}

}  // namespace
