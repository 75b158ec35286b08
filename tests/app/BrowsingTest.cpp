// Browsing in the main window: the address box and the navigation buttons
// driving the real engine, the window following the browser's events, new
// windows for pages that ask for one, and the information panel with its
// host query. Pages come from the temporary program folder or from a
// loopback server that counts what it is asked for.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include "EmbeddedWB/Source/EwbTools.h"
#include "app/Menu.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using apptest::PageServer;
using Menu::GaugePercent;
using Menu::MenuFormInternals;
using Menu::MyMenuForm;
using Menu::TMyMenuForm;

QStringList LinesOf(TStrings* lines) { return lines->Strings(); }

class Browsing : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // A host query that answers at once, so that the panels are complete.
    Menu::SetLocalHostQuery([](String& name, String& address, String&) {
      name = "testhost";
      address = "127.0.0.9";
      return true;
    });
  }
  void TearDown() override {
    AppTest::TearDown();
    Menu::SetLocalHostQuery({});
  }

  // A local page with a title; answers its address.
  QString localPage(const QString& name, const QByteArray& title, const QByteArray& body = "page") {
    const QString file = programDir() + "/" + name;
    EXPECT_TRUE(testsupport::writeFile(
        file, "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>"));
    return QUrl::fromLocalFile(file).toString();
  }
  // The main window, started on `startPage`, once its first page is there.
  TMyMenuForm* openMainWindow(const QString& startPage = QStringLiteral("about:blank")) {
    setStartPage(startPage);
    Application->CreateForm(MyMenuForm);
    EXPECT_TRUE(Arrived(MyMenuForm, startPage));
    return MyMenuForm;
  }
  static bool Arrived(TMyMenuForm* f, const QString& url) {
    return testsupport::waitFor(
        [&] {
          return f->WB->LocationURL() == url && f->WB->ReadyState() == READYSTATE_COMPLETE && !f->WB->Busy();
        },
        15000);
  }
  static void MouseUp(TImage* button) { button->OnMouseUp(button, mbLeft, TShiftState(), 1, 1); }
  static QLineEdit* AddressField(TMyMenuForm* f) {
    return qobject_cast<QComboBox*>(f->URLEdit->Widget())->lineEdit();
  }
  static QWebEnginePage* PageOf(TMyMenuForm* f) {
    return WebBrowserObject::FromUnknown(f->WB->DefaultInterface().Get())->Page();
  }
};

// ---------------------------------------------------------------- the gauge rule

TEST(GaugeRule, ShowsTheWholePercentageOfRealProgressOnly) {
  struct Case {
    qint64 progress, max;
    bool visible;
    int value;
  };
  constexpr qint64 kMax64 = std::numeric_limits<qint64>::max();
  const Case cases[] = {
      {50, 200, true, 25},
      {1, 3, true, 33},  // truncated
      {200, 200, true, 100},
      {1, 2, true, 50},
      // Reports past their maximum stay at 100.
      {201, 200, true, 100},
      {kMax64, 2, true, 100},
      // No real progress: hidden, resting at 1.
      {0, 200, false, 1},
      {-5, 200, false, 1},
      {50, 1, false, 1},
      {50, 0, false, 1},
      {50, -200, false, 1},
      {std::numeric_limits<qint64>::min(), kMax64, false, 1},
      // Products beyond 32 and 64 bits.
      {30'000'000, 40'000'000, true, 75},
      {3'000'000'000, 4'000'000'000, true, 75},
      {kMax64 / 2, kMax64, true, 49},
      {kMax64 - 1, kMax64, true, 99},
  };
  for (const Case& c : cases) {
    const Menu::TGaugeState state = GaugePercent(c.progress, c.max);
    EXPECT_EQ(state.Visible, c.visible) << c.progress << " of " << c.max;
    EXPECT_EQ(state.Progress, c.value) << c.progress << " of " << c.max;
  }
}

TEST_F(Browsing, ProgressEventsDriveTheGaugeAndTheHintLine) {
  TMyMenuForm* f = openMainWindow();
  // 30 million of 40 million: the product overflows 32 bits.
  f->WB->OnProgressChange(f->WB, 30'000'000, 40'000'000);
  EXPECT_TRUE(f->ProgressBar->Visible());
  EXPECT_EQ(f->ProgressBar->Progress(), 75);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Download Progress ... ");

  f->WB->OnProgressChange(f->WB, 0, 100);
  EXPECT_FALSE(f->ProgressBar->Visible());
  EXPECT_EQ(f->ProgressBar->Progress(), 1);
  EXPECT_EQ(f->ProcessLabel->Caption(), "");

  // Download complete hides the gauge and names the page.
  f->WB->OnProgressChange(f->WB, 10, 20);
  f->WB->OnDownloadComplete(f->WB);
  EXPECT_FALSE(f->ProgressBar->Visible());
  EXPECT_EQ(f->ProcessLabel->Caption(), f->WB->LocationName());
}

// ---------------------------------------------------------------- address box and Go

TEST_F(Browsing, EnterInTheAddressBoxNavigatesOnceAndKeepsTheAddress) {
  PageServer server;
  TMyMenuForm* f = openMainWindow();
  std::vector<QString> navigations;
  f->WB->OnBeforeNavigate2 = [&](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                                 const OleVariant&, const OleVariant&, const OleVariant&,
                                 bool&) { navigations.push_back(VarToStr(url)); };
  const QString url = server.url("typed");
  QLineEdit* field = AddressField(f);
  field->setFocus();
  field->clear();
  QTest::keyClicks(field, "  " + url + "  ");
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_TRUE(Arrived(f, url));
  QTest::qWait(200);

  // One navigation to the trimmed text, one request.
  EXPECT_EQ(navigations, std::vector<QString>{url});
  EXPECT_EQ(server.hits("typed"), 1);
  EXPECT_EQ(f->URLEdit->Text(), url);
  EXPECT_EQ(f->Caption(), "typed");
  // The box accepted the address: it is in its list and in the typed history.
  EXPECT_TRUE(f->URLEdit->Items()->Strings().contains(url));
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKeyReadOnly(IEAddress::TypedUrlsKey));
  EXPECT_EQ(reg.ReadString("Url1"), url);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

// Words, or a scheme without a host, are no address: the browser shows its
// own error page and reports NavigateError; no error box comes up, from
// Enter or from the Go button.
TEST_F(Browsing, TextThatIsNoAddressGetsTheBrowsersErrorPage) {
  TMyMenuForm* f = openMainWindow();
  std::vector<QString> errors;
  Application->OnException = [&](TObject*, Exception& e) { errors.push_back(e.Message); };
  std::vector<QString> failed;
  f->WB->OnNavigateError = [&](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                               const OleVariant&, bool&) { failed.push_back(VarToStr(url)); };
  QLineEdit* field = AddressField(f);
  for (const QString& text : {QStringLiteral("rust vec push"), QStringLiteral("http://")}) {
    failed.clear();
    field->setFocus();
    field->clear();
    // Typed "http://" would be completed from the history: set as it stands.
    if (text.contains(' '))
      QTest::keyClicks(field, text);
    else
      f->URLEdit->SetText(text);
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(testsupport::waitFor([&] {
      return !failed.empty() && f->WB->ReadyState() == READYSTATE_COMPLETE;
    })) << text.toStdString();
    EXPECT_EQ(failed, std::vector<QString>{text});
    EXPECT_EQ(f->WB->LocationURL(), text);
    EXPECT_EQ(f->URLEdit->Text(), text);
    EXPECT_EQ(f->URLEdit->Items()->Get(0), text);
  }
  failed.clear();
  f->URLEdit->SetText("http://");
  MouseUp(f->GoBtn);
  ASSERT_TRUE(testsupport::waitFor([&] { return !failed.empty(); }));
  EXPECT_TRUE(errors.empty()) << errors.front().toStdString();
  Application->OnException = nullptr;
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

// The keys of the address box navigate as the box says (Down opens the list
// and goes to the text, a move in the list goes to the entry moved to), and
// Enter goes once although the window's handler navigates as well.
TEST_F(Browsing, TheAddressBoxKeysNavigateAndEnterGoesOnce) {
  PageServer server;
  TMyMenuForm* f = openMainWindow();
  std::vector<QString> navigations;
  f->WB->OnBeforeNavigate2 = [&](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                                 const OleVariant&, const OleVariant&, const OleVariant&,
                                 bool&) { navigations.push_back(VarToStr(url)); };
  const QString first = server.url("first");
  const QString second = server.url("second");
  f->URLEdit->Items()->SetText(first + "\n" + second);
  QLineEdit* field = AddressField(f);
  field->setFocus();
  field->clear();
  QTest::keyClicks(field, first);
  QTest::keyClick(field, Qt::Key_Down);
  ASSERT_TRUE(Arrived(f, first));
  EXPECT_EQ(navigations, std::vector<QString>{first});

  // The page that arrives takes the focus (and so closes the list): the
  // list is opened again for each key.
  QAbstractItemView* list = qobject_cast<QComboBox*>(f->URLEdit->Widget())->view();
  const auto openList = [&] {
    field->setFocus();
    f->URLEdit->SetDroppedDown(true);
    return testsupport::waitFor([&] { return f->URLEdit->DroppedDown(); });
  };
  f->URLEdit->SetItemIndex(0);
  ASSERT_TRUE(openList());
  navigations.clear();
  QTest::keyClick(list, Qt::Key_Down);
  ASSERT_TRUE(Arrived(f, second));
  EXPECT_EQ(navigations, std::vector<QString>{second});

  ASSERT_TRUE(openList());
  navigations.clear();
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("second") == 2; }));
  ASSERT_TRUE(Arrived(f, second));
  QTest::qWait(300);
  EXPECT_EQ(navigations, std::vector<QString>{second});
  EXPECT_EQ(server.hits("second"), 2);  // the move and the Enter
  EXPECT_FALSE(f->URLEdit->DroppedDown());
}

TEST_F(Browsing, GoAndHomeNavigateToTheirTexts) {
  TMyMenuForm* f = openMainWindow();
  const QString url = localPage("go.html", "Go page");
  f->URLEdit->SetText(" " + url + "\t");
  f->Label1->OnMouseEnter(f->Label1);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Go to page " + url + " ... ");
  MouseUp(f->GoBtn);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ASSERT_TRUE(Arrived(f, url));

  // The label's release does the same; blank text goes nowhere.
  const QString other = localPage("label.html", "Label page");
  f->URLEdit->SetText(other);
  f->Label1->OnMouseUp(f->Label1, mbLeft, TShiftState(), 0, 0);
  ASSERT_TRUE(Arrived(f, other));
  f->URLEdit->SetText("   ");
  MouseUp(f->GoBtn);
  QTest::qWait(200);
  EXPECT_EQ(f->WB->LocationURL(), other);

  // Home takes the start-page field as it stands, applied or not.
  const QString home = localPage("field.html", "Field");
  f->StartPageEdit->SetText(home);
  MouseUp(f->HomeBtn);
  ASSERT_TRUE(Arrived(f, home));
  EXPECT_EQ(f->WB->GetIEHomePage(), "about:blank");
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

// ---------------------------------------------------------------- history, stop and refresh

TEST_F(Browsing, BackAndForwardFollowTheBrowsersHistory) {
  const QString first = localPage("first.html", "First");
  const QString second = localPage("second.html", "Second");
  TMyMenuForm* f = openMainWindow(first);
  EXPECT_FALSE(f->PreviousPageBtn->Enabled());
  EXPECT_FALSE(f->NextPageBtn->Enabled());
  // A step the browser refuses raises, and leaves no hourglass behind.
  EXPECT_THROW(f->PreviousPageBtnMouseUp(f->PreviousPageBtn, mbLeft, TShiftState(), 0, 0), EOleSysError);
  EXPECT_EQ(Screen->Cursor(), crDefault);

  f->WB->Go(second);
  ASSERT_TRUE(Arrived(f, second));
  ASSERT_TRUE(testsupport::waitFor([&] { return f->PreviousPageBtn->Enabled(); }));
  EXPECT_FALSE(f->NextPageBtn->Enabled());

  MouseUp(f->PreviousPageBtn);
  ASSERT_TRUE(Arrived(f, first));
  ASSERT_TRUE(
      testsupport::waitFor([&] { return f->NextPageBtn->Enabled() && !f->PreviousPageBtn->Enabled(); }));
  EXPECT_EQ(f->Caption(), "First");

  MouseUp(f->NextPageBtn);
  ASSERT_TRUE(Arrived(f, second));
  ASSERT_TRUE(
      testsupport::waitFor([&] { return f->PreviousPageBtn->Enabled() && !f->NextPageBtn->Enabled(); }));
  EXPECT_EQ(f->Caption(), "Second");
  EXPECT_EQ(Screen->Cursor(), crDefault);

  // Other commands leave both as they are and enable Stop and Refresh.
  f->StopBtn->SetEnabled(false);
  f->RefreshBtn->SetEnabled(false);
  f->WB->OnCommandStateChange(f->WB, -1, false);
  EXPECT_TRUE(f->PreviousPageBtn->Enabled());
  EXPECT_FALSE(f->NextPageBtn->Enabled());
  EXPECT_TRUE(f->StopBtn->Enabled());
  EXPECT_TRUE(f->RefreshBtn->Enabled());
}

TEST_F(Browsing, StopEndsALoadAndRefreshRepeatsOne) {
  PageServer server;
  TMyMenuForm* f = openMainWindow();
  f->StopBtn->SetEnabled(false);
  f->WB->Go(server.url("slow"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("slow") == 1 && f->WB->Busy(); }, 10000));
  EXPECT_TRUE(f->StopBtn->Enabled());  // download begin while busy

  const auto pressed = std::chrono::steady_clock::now();
  MouseUp(f->StopBtn);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ASSERT_TRUE(testsupport::waitFor([&] { return !f->WB->Busy(); }, 4000));
  EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(4));
  EXPECT_NE(f->WB->LocationName(), "slow");

  // Refresh asks for the page again.
  f->WB->Go(server.url("again"));
  ASSERT_TRUE(Arrived(f, server.url("again")));
  MouseUp(f->RefreshBtn);
  ASSERT_TRUE(testsupport::waitFor([&] { return server.hits("again") == 2; }, 10000));
  EXPECT_TRUE(Arrived(f, server.url("again")));
}

// ---------------------------------------------------------------- title, address and security

TEST_F(Browsing, EachWindowsCaptionFollowsItsOwnPagesTitle) {
  PageServer server;
  server.setPage("retitled",
                 "<html><head><title>Before</title></head><body onload=\"setTimeout(function(){"
                 "document.title='After'},50)\">t</body></html>");
  TMyMenuForm* f = openMainWindow(server.url("plain"));
  EXPECT_EQ(f->Caption(), "plain");
  f->WB->Go(server.url("retitled"));
  ASSERT_TRUE(testsupport::waitFor([&] { return f->Caption() == "After"; }, 10000));

  // A second window's pages title that window, not the main one.
  auto* second = NewForm<TMyMenuForm>(Application);
  second->WB->Go(server.url("other"));
  ASSERT_TRUE(Arrived(second, server.url("other")));
  ASSERT_TRUE(testsupport::waitFor([&] { return second->Caption() == "other"; }));
  EXPECT_EQ(f->Caption(), "After");
}

TEST_F(Browsing, NavigateCompleteShowsTheAddressAndTheOpenLock) {
  PageServer server;
  TMyMenuForm* f = openMainWindow();
  // As a secure page would have left them.
  f->SSLImage->Show();
  f->UnlockImage->Hide();
  f->URLEdit->SetText("typed but not yet gone to");
  f->WB->Go(server.url("plain"));
  ASSERT_TRUE(Arrived(f, server.url("plain")));
  EXPECT_EQ(f->URLEdit->Text(), server.url("plain"));
  EXPECT_FALSE(f->SSLImage->Visible());
  EXPECT_TRUE(f->UnlockImage->Visible());
}

TEST_F(Browsing, SecureLockLevelsNameTheirStrength) {
  TMyMenuForm* f = openMainWindow();
  const std::pair<int, const char*> levels[] = {
      {0, "UnSecure"}, {1, "Mixed"},  {2, "Unknown Bits"},
      {3, "40 Bit"},   {4, "56 Bit"}, {5, "Fortezza"},
      {6, "128 Bit"},  {7, ""},       {-1, ""},
  };
  for (const auto& [level, name] : levels) {
    f->SecurityLabel->SetWidth(140);
    f->WB->OnSetSecureLockIcon(f->WB, level);
    EXPECT_EQ(f->SecurityLabel->Caption(), QStringLiteral("Secure Level: ") + name) << level;
    EXPECT_EQ(f->SecurityLabel->Width(), 200);
  }
}

// ---------------------------------------------------------------- the information panel

TEST_F(Browsing, InformationPanelDescribesTheBrowserAfterANavigation) {
  PageServer server;
  ASSERT_TRUE(EwbTools::SaveLastVisitedPage("http://last.example/page.html"));
  TMyMenuForm* f = openMainWindow();
  f->InfoEdit->Lines()->Add("left over");
  f->WB->Go(server.url("info"));
  ASSERT_TRUE(Arrived(f, server.url("info")));
  ASSERT_TRUE(testsupport::waitFor([&] { return f->InfoEdit->Lines()->Count() == 11; }));
  const QStringList lines = LinesOf(f->InfoEdit->Lines());
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Home Page .......... about:blank");
  EXPECT_EQ(lines[3], "Favorites Path ...... " + f->WB->GetFavoritesPath());
  EXPECT_EQ(lines[4], "History Path ......... " + f->WB->GetHistoryPath());
  EXPECT_EQ(lines[5], "Computer Name ..... testhost");
  EXPECT_EQ(lines[6], "Local IP Address .... 127.0.0.9");
  EXPECT_EQ(lines[7], "Last Visited Page .... http://last.example/page.html");
  EXPECT_EQ(lines[8], "Security Status ...... The page is not secured.");
  EXPECT_EQ(lines[9], "Hash Code ............ " + QString::number(reinterpret_cast<quintptr>(f->WB)));
  EXPECT_EQ(lines[10], "");
  EXPECT_EQ(f->ProcessLabel->Caption(), "info");  // download complete came after
}

TEST_F(Browsing, HostQueryRunsOnceAndNavigationsNeverWaitForIt) {
  PageServer server;
  std::atomic<int> queries{0};
  std::atomic<bool> release{false};
  Menu::SetLocalHostQuery([&](String& name, String& address, String&) {
    ++queries;
    // A resolver that hangs until the test lets it answer.
    for (int i = 0; i < 400 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    name = "slowhost";
    address = "10.1.2.3";
    return true;
  });
  TMyMenuForm* f = openMainWindow();
  auto* second = NewForm<TMyMenuForm>(Application);
  ASSERT_TRUE(Arrived(second, "about:blank"));

  // Pages complete while the query hangs; the panels show no host yet.
  for (const char* name : {"one", "two"}) {
    f->WB->Go(server.url(name));
    ASSERT_TRUE(Arrived(f, server.url(name)));
  }
  ASSERT_FALSE(release);
  QStringList lines = LinesOf(f->InfoEdit->Lines());
  ASSERT_EQ(lines.size(), 11);
  EXPECT_EQ(lines[5], "Computer Name ..... ");
  EXPECT_EQ(lines[6], "Local IP Address .... ");
  EXPECT_EQ(lines[2], "Home Page .......... about:blank");

  // The answer fills every panel that waited for it.
  release = true;
  ASSERT_TRUE(
      testsupport::waitFor([&] { return LinesOf(f->InfoEdit->Lines()).value(5).endsWith("slowhost"); }));
  EXPECT_EQ(LinesOf(f->InfoEdit->Lines())[6], "Local IP Address .... 10.1.2.3");
  ASSERT_TRUE(
      testsupport::waitFor([&] { return LinesOf(second->InfoEdit->Lines()).value(5).endsWith("slowhost"); }));

  // Later navigations reuse it.
  second->WB->Go(server.url("three"));
  ASSERT_TRUE(Arrived(second, server.url("three")));
  EXPECT_EQ(LinesOf(second->InfoEdit->Lines())[6], "Local IP Address .... 10.1.2.3");
  EXPECT_EQ(queries, 1);
}

// ---------------------------------------------------------------- new windows

TEST_F(Browsing, APagesNewWindowOpensInACloneOfTheMainWindow) {
  // A main window larger than the base size, with settings of its own.
  writeIni("[Position]\r\nLeft=10\r\nTop=10\r\nHeight=700\r\nWidth=1000\r\n");
  const QString first = localPage("opener1.html", "Opener one");
  const QString opener = localPage("opener.html", "Opener");
  localPage("popup.html", "Pop", "popped");
  TMyMenuForm* f = openMainWindow(first);
  f->WB->Go(opener);
  ASSERT_TRUE(Arrived(f, opener));
  ASSERT_TRUE(testsupport::waitFor(
      [&] { return f->PreviousPageBtn->Enabled() && f->InfoEdit->Lines()->Count() == 11; }));
  f->Edit6->SetText("proxy.example");
  f->StartPageEdit->SetText("http://start.example/");

  // The window as OpenNewWindow hands it back, before its page arrives.
  struct Seen {
    QPointer<TMyMenuForm> window;
    IDispatch* handedBack = nullptr;
    bool visible = false, backEnabled = true, forwardEnabled = true;
    int width = 0, height = 0;
    TPosition position = poDesigned;
    QString info;
    TPoint outlineCorner;
    int growWidth = -1;
  } seen;
  int requests = 0;
  f->WB->OnNewWindow2 = [&, bound = f->WB->OnNewWindow2](TObject* sender, ComPtr<IDispatch>& ppDisp,
                                                         bool& cancel) {
    ++requests;
    const int before = Application->ComponentCount();
    bound(sender, ppDisp, cancel);
    ASSERT_EQ(Application->ComponentCount(), before + 1);
    seen.window = dynamic_cast<TMyMenuForm*>(Application->Components(before));
    ASSERT_TRUE(seen.window);
    TMyMenuForm* w = seen.window;
    seen.handedBack = ppDisp.Get();
    seen.visible = w->Visible();
    seen.backEnabled = w->PreviousPageBtn->Enabled();
    seen.forwardEnabled = w->NextPageBtn->Enabled();
    seen.width = w->Width();
    seen.height = w->Height();
    seen.position = w->Position();
    seen.info = w->InfoEdit->Lines()->GetText();
    seen.outlineCorner = MenuFormInternals::Outline(w, 6);
    seen.growWidth = MenuFormInternals::GrowWidth(w);
    EXPECT_FALSE(cancel);
  };
  PageOf(f)->runJavaScript("window.open('popup.html');");
  ASSERT_TRUE(testsupport::waitFor([&] { return seen.window != nullptr; }, 10000));
  TMyMenuForm* w = seen.window;

  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(seen.visible);
  EXPECT_EQ(seen.width, 800);
  EXPECT_EQ(seen.height, 600);
  EXPECT_EQ(seen.position, poScreenCenter);
  EXPECT_FALSE(seen.backEnabled);
  EXPECT_FALSE(seen.forwardEnabled);
  EXPECT_EQ(seen.info, "");
  // The outline of an 800 x 600 window, not of the 1000 x 700 main one.
  EXPECT_EQ(seen.growWidth, 0);
  EXPECT_EQ(seen.outlineCorner, TPoint(799, 554));
  EXPECT_EQ(seen.handedBack, static_cast<IDispatch*>(w->WB->DefaultInterface().Get()));

  // The page opens in the clone, whose own parts follow its own browser.
  const QString popup = QUrl::fromLocalFile(programDir() + "/popup.html").toString();
  ASSERT_TRUE(Arrived(w, popup));
  ASSERT_TRUE(testsupport::waitFor([&] { return w->Caption() == "Pop" && w->URLEdit->Text() == popup; }));
  EXPECT_EQ(w->URLEdit->EmbeddedWB(), w->WB);
  EXPECT_EQ(f->Caption(), "Opener");
  EXPECT_EQ(f->WB->LocationURL(), opener);
  EXPECT_FALSE(w->PreviousPageBtn->Enabled());
  EXPECT_TRUE(w->Visible());
  EXPECT_EQ(w->BoundsRect().Width(), 800);
  EXPECT_EQ(w->BoundsRect().Height(), 600);
  // It carries the main window's settings.
  EXPECT_EQ(w->Edit6->Text(), "proxy.example");
  EXPECT_EQ(w->StartPageEdit->Text(), "http://start.example/");
  EXPECT_EQ(MenuFormInternals::GrowWidth(f), 200);
  EXPECT_EQ(f->BoundsRect(), Bounds(10, 10, 1000, 700));
}

TEST_F(Browsing, ANewWindowsOwnRequestsAlsoTakeTheMainWindowAsPattern) {
  PageServer server;
  TMyMenuForm* f = openMainWindow(server.url("home"));
  f->Edit7->SetText("8080");
  const int forms = Application->ComponentCount();
  PageOf(f)->runJavaScript("window.open('popup.html');");
  ASSERT_TRUE(testsupport::waitFor([&] { return Application->ComponentCount() == forms + 1; }, 10000));
  auto* clone = dynamic_cast<TMyMenuForm*>(Application->Components(forms));
  ASSERT_TRUE(clone);
  ASSERT_TRUE(Arrived(clone, server.url("popup")));
  clone->Edit7->SetText("1");

  PageOf(clone)->runJavaScript("window.open('again.html');");
  ASSERT_TRUE(testsupport::waitFor([&] { return Application->ComponentCount() == forms + 2; }, 10000));
  auto* third = dynamic_cast<TMyMenuForm*>(Application->Components(forms + 1));
  ASSERT_TRUE(third);
  ASSERT_TRUE(Arrived(third, server.url("again")));
  EXPECT_EQ(third->Edit7->Text(), "8080");
  EXPECT_EQ(clone->WB->LocationURL(), server.url("popup"));
  ASSERT_TRUE(
      testsupport::waitFor([&] { return third->Caption() == "again" && clone->Caption() == "popup"; }));
  // The new windows went straight to their pages, never home.
  EXPECT_EQ(server.hits("home"), 1);
  EXPECT_EQ(server.hits("popup"), 1);
  EXPECT_EQ(server.hits("again"), 1);
}

}  // namespace
