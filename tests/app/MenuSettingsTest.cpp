// The settings tabs of the main window: list items clicked as a person does
// and their effect in the engine, the standard sets, the proxy fields with a
// loopback proxy, the start page against a loopback server and the start
// choice.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <QUrl>

#include "EmbeddedWB/Source/EwbTools.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/Dialogs.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using EwbCore::TDownloadControlOptions;
using EwbCore::TUserInterfaceOptions;
using Menu::MyMenuForm;

class SettingsTab : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    setStartPage("about:blank");
    Application->CreateForm(MyMenuForm);
    Application->OnException = [this](TObject*, Exception& E) { errors << E.Message; };
  }
  void TearDown() override {
    // The process proxy goes with the window's fields.
    MyMenuForm->WB->ProxySettings()->SetAddress(QString());
    MyMenuForm->WB->ApplyProxySettings();
    AppTest::TearDown();
  }

  static QListWidget* listOf(TCheckListBox* box) {
    auto* list = qobject_cast<QListWidget*>(box->Widget());
    return list ? list : box->Widget()->findChild<QListWidget*>();
  }
  // Clicks the check box of an item, as a person does.
  static void clickItem(TCheckListBox* box, int index) {
    QListWidget* list = listOf(box);
    ASSERT_NE(list, nullptr);
    list->scrollToItem(list->item(index));
    const QRect rect = list->visualItemRect(list->item(index));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 4, rect.center().y()));
  }
  // Types text into a field and presses Enter.
  static void typeAndEnter(TEdit* edit, const QString& text) {
    edit->SetText(text);
    QWidget* w = edit->Widget();
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Return);
  }
  // Waits until the browser shows `url`.
  static bool arrived(const QString& url) {
    return testsupport::waitFor(
        [&] { return QUrl(MyMenuForm->WB->LocationURL()) == QUrl(url) && !MyMenuForm->WB->Busy(); }, 15000);
  }
  QStringList errors;
};

TEST_F(SettingsTab, EveryItemNamesTheOptionItDrives) {
  auto* f = MyMenuForm;
  const QStringList download = f->DownloadCheckList->Items()->Strings();
  ASSERT_EQ(download.size(), 19);
  // FormCreate ticks the first three items.
  for (int i = 0; i < 19; ++i) EXPECT_EQ(f->DownloadCheckList->Checked(i), i < 3) << i;
  const QStringList ui = f->UserInterfaceCheckList->Items()->Strings();
  ASSERT_EQ(ui.size(), 26);
  EXPECT_EQ(ui[15], "Enable Themes");

  // A caption names its option: the option's name with the blanks taken
  // out, a few spellings of the list aside.
  const auto nameOf = [](auto option) {
    return QString::fromLatin1(QMetaEnum::fromType<decltype(option)>().valueToKey(int(option)));
  };
  const std::map<QString, QString> spelled{
      {"Disable Tex Select", "DisableTextSelect"},
      {"Post Pone Script Until Active", "PostponeScriptUntilActive"},
      {"Force Open New Windows", "ForceOpenNewWindow"},
      {"Reserved Off Screen", "Reserved_OFFSCREEN"},
      {"Enable Ime Local Languages", "EmableImeLocalLanguages"},
      {"Disable Auto Name Space Correction", "DisablesAutoNameSpaceCorrection"},
      {"Enable redirect Notification", "EnableRedirectNotification"},
      {"Check navigation Delegated To Host", "CheckNavigationDelegatedToHost"},
      {"Enable Windowed Controls", "EnableWindowedControls"},
      {"Force User Activation On ActiveX Java", "ForceUserActivationOnActiveXJava"},
      {"Download background sounds", "DownloadBGSounds"},
      {"Disable URL if encoding UTF8", "DisableUrlIfEncodingUTF8"},
      {"Enable URL if encoding UTF8", "EnableUrlIfEncodingUTF8"}};
  const auto expectedName = [&](const QString& caption) {
    if (spelled.count(caption)) return spelled.at(caption);
    QString name;
    for (const QString& word : caption.split(' ')) name += word.left(1).toUpper() + word.mid(1);
    return name;
  };

  // Each item alone, clicked: exactly its option.
  for (int i = 0; i < 18; ++i) {
    for (int j = 0; j < 19; ++j) f->DownloadCheckList->SetChecked(j, false);
    clickItem(f->DownloadCheckList, i);
    ASSERT_TRUE(f->DownloadCheckList->Checked(i));
    const TDownloadControlOptions options = f->WB->DownloadOptions();
    ASSERT_EQ(options.Count(), 1) << download[i].toStdString();
    for (int o = 0; o < 19; ++o)
      if (options.Contains(EwbCore::TDownloadControlOption(o))) {
        EXPECT_EQ(nameOf(EwbCore::TDownloadControlOption(o)).toLower(), expectedName(download[i]).toLower())
            << download[i].toStdString();
      }
  }
  // "Work offline" drives nothing.
  for (int j = 0; j < 19; ++j) f->DownloadCheckList->SetChecked(j, false);
  clickItem(f->DownloadCheckList, 18);
  EXPECT_TRUE(f->DownloadCheckList->Checked(18));
  EXPECT_TRUE(f->WB->DownloadOptions().Empty());

  for (int i = 0; i < 26; ++i) {
    for (int j = 0; j < 26; ++j) f->UserInterfaceCheckList->SetChecked(j, false);
    clickItem(f->UserInterfaceCheckList, i);
    const TUserInterfaceOptions options = f->WB->UserInterfaceOptions();
    ASSERT_EQ(options.Count(), 1) << ui[i].toStdString();
    for (int o = 0; o < 29; ++o)
      if (options.Contains(EwbCore::TUserInterfaceOption(o))) {
        EXPECT_EQ(nameOf(EwbCore::TUserInterfaceOption(o)).toLower(), expectedName(ui[i]).toLower())
            << ui[i].toStdString();
      }
  }
  // Clicking again takes the option away.
  clickItem(f->UserInterfaceCheckList, 25);
  EXPECT_TRUE(f->WB->UserInterfaceOptions().Empty());
}

TEST_F(SettingsTab, StandardSetsAndPanelSwitches) {
  auto* f = MyMenuForm;
  f->DownloadCheckList->SetChecked(16, true);
  f->DownloadCheckList->SetChecked(18, true);
  f->DownloadCheckListClick(nullptr);
  // Unticked: no options, no marks but "Work offline".
  f->DownloadStandartCheck->SetChecked(false);
  EXPECT_TRUE(f->WB->DownloadOptions().Empty());
  for (int i = 0; i < 18; ++i) EXPECT_FALSE(f->DownloadCheckList->Checked(i)) << i;
  EXPECT_TRUE(f->DownloadCheckList->Checked(18));
  // Ticked: the three standard options join what is set.
  f->DownloadCheckList->SetChecked(17, true);
  f->DownloadCheckListClick(nullptr);
  f->DownloadStandartCheck->SetChecked(true);
  EXPECT_EQ(f->WB->DownloadOptions(),
            TDownloadControlOptions({EwbCore::DownloadImages, EwbCore::DownloadVideos,
                                     EwbCore::DownloadBGSounds, EwbCore::DownloadInSilentMode}));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(f->DownloadCheckList->Checked(i));

  for (int i = 0; i < 26; i += 3) f->UserInterfaceCheckList->SetChecked(i, true);
  f->UserInterfaceCheck->SetChecked(false);
  EXPECT_TRUE(f->WB->UserInterfaceOptions().Empty());
  f->UserInterfaceCheck->SetChecked(true);
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(f->UserInterfaceCheckList->Checked(i), i == 1 || i == 12 || i == 15) << i;
  EXPECT_EQ(f->WB->UserInterfaceOptions(),
            TUserInterfaceOptions(
                {EwbCore::DontUse3DBorders, EwbCore::EnablesFormsAutoComplete, EwbCore::EnableThemes}));
  // What the standard set ticks is what a click on the list reads back.
  f->UserInterfaceCheckListClick(nullptr);
  EXPECT_EQ(f->WB->UserInterfaceOptions(),
            TUserInterfaceOptions(
                {EwbCore::DontUse3DBorders, EwbCore::EnablesFormsAutoComplete, EwbCore::EnableThemes}));

  f->SocialSetCheck->SetChecked(false);
  EXPECT_FALSE(f->SocialSetPanel->Visible());
  f->SocialSetCheck->SetChecked(true);
  EXPECT_TRUE(f->SocialSetPanel->Visible());
  f->StartPageCheck->SetChecked(false);
  EXPECT_FALSE(f->StartPagePanel->Visible());
  EXPECT_FALSE(f->Shape1->Visible());
  f->StartPageCheck->SetChecked(true);
  EXPECT_TRUE(f->StartPagePanel->Visible());
  EXPECT_TRUE(f->Shape1->Visible());
  f->AutoLoadProxyCheck->SetChecked(true);
  EXPECT_TRUE(f->WB->ProxySettings()->AutoLoadProxy());
  EXPECT_TRUE(f->SocialSetPanel->Visible());
  f->AutoLoadProxyCheck->SetChecked(false);
  EXPECT_FALSE(f->WB->ProxySettings()->AutoLoadProxy());

  // A failed mail send reaches the window as its error.
  TScriptedDialogService dialogs;
  PostMessage(f->Handle(), 0x500, 0, 0);
  ASSERT_TRUE(
      testsupport::waitFor([&] { return !dialogs.CallsOf(TScriptedDialogService::dkMessage).empty(); }));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage)[0].Message,
            "MAPI Error 2: General MAPI failure");
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage)[0].Type, mtError);
}

TEST_F(SettingsTab, UntickedImagesAndScriptsStayOutOfTheNextPage) {
  apptest::PageServer server;
  server.setPage("pics",
                 "<html><head><title>before</title></head><body><img src='/dot.png'>"
                 "<script>document.title = 'script ran';</script></body></html>");
  server.get("/dot.png", [](const testsupport::HttpRequest&, testsupport::HttpResponse& r) {
    r.contentType = "image/png";
    r.body = std::string("\x89PNG\r\n\x1a\n", 8);
  });
  auto* f = MyMenuForm;
  clickItem(f->DownloadCheckList, 0);  // "Download images" off
  clickItem(f->DownloadCheckList, 3);  // "Dont execute scripts" on
  EXPECT_FALSE(f->WB->DownloadOptions().Contains(EwbCore::DownloadImages));
  EXPECT_TRUE(f->WB->DownloadOptions().Contains(EwbCore::DontExecuteScripts));
  f->WB->Navigate(server.url("pics"));
  ASSERT_TRUE(arrived(server.url("pics")));
  testsupport::waitFor([] { return false; }, 500);
  EXPECT_EQ(server.requestCount("/dot.png"), 0);
  EXPECT_EQ(f->WB->LocationName(), "before");

  // Ticked again, the next page has both.
  clickItem(f->DownloadCheckList, 0);
  clickItem(f->DownloadCheckList, 3);
  f->WB->Navigate(server.url("pics") + "?again");
  ASSERT_TRUE(testsupport::waitFor([&] { return f->WB->LocationName() == "script ran"; }, 15000));
  EXPECT_TRUE(testsupport::waitFor([&] { return server.requestCount("/dot.png") > 0; }, 5000));
}

TEST_F(SettingsTab, ProxyFieldsStoreOnEnterAndTheProxyCarriesRequests) {
  auto* f = MyMenuForm;
  EmbeddedWB::TProxySettings* proxy = f->WB->ProxySettings();
  typeAndEnter(f->Edit4, "someone");
  typeAndEnter(f->Edit5, "secret");
  EXPECT_EQ(proxy->UserName(), "someone");
  EXPECT_EQ(proxy->Password(), "secret");
  f->Edit4->SetText("other");
  QTest::keyClick(f->Edit4->Widget(), Qt::Key_X);  // another key stores nothing
  EXPECT_EQ(proxy->UserName(), "someone");
  typeAndEnter(f->Edit4, "");
  typeAndEnter(f->Edit5, "");

  typeAndEnter(f->Edit7, "8080");
  EXPECT_EQ(proxy->Port(), 8080);
  for (const char* bad : {"abc", "70000", "0", ""}) {
    errors.clear();
    typeAndEnter(f->Edit7, bad);
    EXPECT_EQ(proxy->Port(), 8080) << bad;
    EXPECT_EQ(errors.size(), 1) << bad;
  }

  // A proxy on the loopback: an address only it can answer for.
  testsupport::LoopbackServer proxyServer;
  proxyServer.proxy(
      [](const testsupport::HttpRequest&, testsupport::HttpResponse& r) { r.body = "via proxy"; });
  ASSERT_TRUE(proxyServer.start());
  typeAndEnter(f->Edit7, QString::number(proxyServer.port()));
  typeAndEnter(f->Edit6, "127.0.0.1");
  EXPECT_EQ(proxy->Address(), "127.0.0.1");
  EXPECT_TRUE(FullScreen::UrlAnswersOk("http://127.0.0.2:9/through", 5000));
  EXPECT_EQ(proxyServer.lastRequest().target, "http://127.0.0.2:9/through");
  // An empty address takes the proxy away.
  const int seen = proxyServer.requestCount();
  typeAndEnter(f->Edit6, "");
  EXPECT_FALSE(FullScreen::UrlAnswersOk("http://127.0.0.2:9/through", 5000));
  EXPECT_EQ(proxyServer.requestCount(), seen);
}

TEST_F(SettingsTab, StartPageIsWrittenOnlyWhenItsAddressAnswers) {
  testsupport::LoopbackServer server;
  server.page("/ok", "<html><head><title>ok</title></head></html>");
  server.get("/moved", [](const testsupport::HttpRequest&, testsupport::HttpResponse& r) {
    r.status = 301;
    r.headers.push_back({"Location", "/ok"});
  });
  server.get("/found", [](const testsupport::HttpRequest&, testsupport::HttpResponse& r) {
    r.status = 302;
    r.headers.push_back({"Location", "/ok"});
  });
  ASSERT_TRUE(server.start());
  auto* f = MyMenuForm;
  const QString start = f->WB->GetIEHomePage();

  typeAndEnter(f->StartPageEdit, server.url("/moved"));
  EXPECT_EQ(f->WB->GetIEHomePage(), start);
  typeAndEnter(f->StartPageEdit, server.url("/found"));
  EXPECT_EQ(f->WB->GetIEHomePage(), server.url("/found"));
  typeAndEnter(f->StartPageEdit, server.url("/ok"));
  EXPECT_EQ(f->WB->GetIEHomePage(), server.url("/ok"));
  EXPECT_TRUE(arrived(server.url("/ok")));  // and the browser goes home

  // No scheme: asked for, and kept, over "http://".
  const QString bare = server.url("/found").mid(QString("http://").size());
  f->StartPageEdit->SetText(bare);
  QTest::mouseClick(f->Label4->Widget(), Qt::LeftButton);
  EXPECT_EQ(f->WB->GetIEHomePage(), "http://" + bare);
  EXPECT_EQ(server.requestCount("/found"), 2);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(SettingsTab, StartChoicePairWithAStoredLastPage) {
  apptest::PageServer server;
  ASSERT_TRUE(EwbTools::SaveLastVisitedPage(server.url("last")));
  setStartPage(server.url("home"));
  auto* f = MyMenuForm;
  f->LastPageCheckBox->SetChecked(true);
  EXPECT_FALSE(f->HomePageCheckBox->Checked());
  EXPECT_TRUE(arrived(server.url("last")));
  EXPECT_EQ(server.hits("last"), 1);

  // Back to the home page: the other box follows, the browser goes home.
  f->HomePageCheckBox->SetChecked(true);
  EXPECT_FALSE(f->LastPageCheckBox->Checked());
  EXPECT_TRUE(arrived(server.url("home")));

  // Unticking "Home page" ticks the other box, which goes to the last page once.
  f->HomePageCheckBox->SetChecked(false);
  EXPECT_TRUE(f->LastPageCheckBox->Checked());
  EXPECT_TRUE(arrived(server.url("last")));
  EXPECT_EQ(server.hits("last"), 2);

  // A stored page that is no web address is not visited.
  ASSERT_TRUE(EwbTools::SaveLastVisitedPage("file.txt"));
  f->LastPageCheckBox->SetChecked(false);
  f->LastPageCheckBox->SetChecked(true);
  EXPECT_TRUE(arrived(server.url("home")));
}

}  // namespace
