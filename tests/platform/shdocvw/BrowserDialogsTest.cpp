// The browser's own dialogs: what a page's messages, prompts, logins and
// script errors show when the host answers none of them, and how the dialog
// windows take the messages other code sends them.
#include "platform/shdocvw/BrowserDialogs.h"

#include "platform/shdocvw/WebBrowser.h"
#include "platform/shell/ShlObj.h"
#include "tests/platform/shdocvw/BrowserTestHost.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

using namespace browsertest;

namespace {

struct SeenDialog {
  HWND hwnd;
  String caption, text;
  HWND owner;
};

// Answers each new dialog with the next action (from a timer: the dialogs
// are modal); one without an action left is closed, so none stays open.
class DialogWatch {
 public:
  using Action = std::function<void(HWND)>;
  explicit DialogWatch(std::vector<Action> actions = {}) : actions_(std::move(actions)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      HWND h = FindWindow(QStringLiteral("#32770"));
      if (!h || (!seen.empty() && seen.back().hwnd == h) || !WidgetOf(h)->isVisible()) return;
      String text;  // the first label with text: the message
      for (QLabel* label : WidgetOf(h)->findChildren<QLabel*>())
        if (text.isEmpty()) text = label->text();
      seen.push_back({h, GetWindowText(h), text, GetWindow(h, GW_OWNER)});
      if (seen.size() <= actions_.size()) return actions_[seen.size() - 1](h);
      SendMessage(h, WM_CLOSE, 0, 0);
    });
    timer_.start(20);
  }
  std::vector<SeenDialog> seen;

 private:
  std::vector<Action> actions_;
  QTimer timer_;
};

// Types the texts into the dialog's fields (if any), then presses the button.
DialogWatch::Action answer(QString button, QStringList texts = {}) {
  return [=](HWND h) {
    const QList<QLineEdit*> edits = WidgetOf(h)->findChildren<QLineEdit*>();
    for (int i = 0; i < texts.size() && i < edits.size(); ++i) edits[i]->setText(texts[i]);
    for (QPushButton* b : WidgetOf(h)->findChildren<QPushButton*>())
      if (b->text().remove('&') == button) return b->click();
    ADD_FAILURE() << "no button " << button.toStdString();
  };
}

// A host that leaves messages and script errors to the browser.
class QuietSite : public TestSite {
 public:
  int messagesAsked = 0;
  HRESULT scriptErrorAnswer = S_FALSE;
  HRESULT ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) override {
    ++messagesAsked;
    return S_FALSE;
  }
  HRESULT Exec(const GUID* group, DWORD cmd, DWORD opt, VARIANT* in, VARIANT* out) override {
    const HRESULT hr = TestSite::Exec(group, cmd, opt, in, out);
    return cmd == OLECMDID_SHOWSCRIPTERROR && *group == CGID_DocHostCommandHandler ? scriptErrorAnswer : hr;
  }
};

// A loopback server whose page wants the login user:secret.
class LoginServer : public testsupport::LoopbackServer {
 public:
  LoginServer() {
    loginPage("/", "user", "secret", "<title>inside</title>", "<title>refused</title>");
    start();
  }
  QUrl url() const { return QUrl(LoopbackServer::url()); }
};

class BrowserDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
    RECT rect{0, 0, 400, 300};
    ASSERT_EQ(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.handle, &rect), S_OK);
  }
  void TearDown() override {
    browser->SetClientSite(nullptr);
    browser->Close(OLECLOSE_NOSAVE);
  }
  String navigate(const QUrl& url) {
    OleVariant address(url.toString());
    browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
    testsupport::waitFor(
        [this] {
          READYSTATE state;
          VARIANT_BOOL busy;
          browser->get_ReadyState(&state);
          browser->get_Busy(&busy);
          return state == READYSTATE_COMPLETE && busy == VARIANT_FALSE;
        },
        10000);
    return browser->Page()->title();
  }
  // Runs a script that sets the page's title; answers the title.
  String titleAfter(const QString& script) {
    QWebEnginePage* page = browser->Page();
    page->runJavaScript("document.title = '-';");
    testsupport::waitFor([page] { return page->title() == "-"; });
    page->runJavaScript(script);
    testsupport::waitFor([page] { return page->title() != "-"; }, 8000);
    return page->title();
  }

  HostWindow host;
  ComPtr<WebBrowserObject> browser = MakeCom<WebBrowserObject>();
  ComPtr<QuietSite> site = MakeCom<QuietSite>();
};

TEST_F(BrowserDialogsTest, PageMessagesAndPromptsShowOwnedDialogsUnlessSilent) {
  navigate(page("messages.html", "<title>-</title>"));
  DialogWatch watch({answer("OK"), answer("Cancel"), answer("OK"),
                     [](HWND h) { SendMessage(h, WM_CLOSE, 0, 0); }, answer("OK", {"typed"}),
                     answer("Cancel"), [](HWND h) { DestroyWindow(h); }});
  EXPECT_EQ(titleAfter("alert('a <b>bold</b> & plain'); document.title = 'after';"), "after");
  EXPECT_EQ(
      titleAfter("document.title = confirm('sure?') + ' ' + confirm('sure?') + ' ' + confirm('sure?');"),
      "false true false");  // Cancel, OK, closed
  EXPECT_EQ(titleAfter("document.title = prompt('Your name?', 'given');"), "typed");
  EXPECT_EQ(titleAfter("document.title = String(prompt('x', 'y')) + String(prompt('x', 'y'));"),
            "nullnull");              // Cancel, destroyed
  EXPECT_EQ(site->messagesAsked, 4);  // the host first, for all but prompts

  ASSERT_EQ(watch.seen.size(), 7u);
  EXPECT_EQ(watch.seen[0].caption, "Message from webpage");
  EXPECT_EQ(watch.seen[0].text, "a <b>bold</b> & plain");  // as text, not markup
  EXPECT_EQ(watch.seen[0].owner, host.handle);
  EXPECT_EQ(watch.seen[4].caption, "Explorer User Prompt");
  EXPECT_EQ(watch.seen[4].text, "Your name?");
  for (const SeenDialog& d : watch.seen) EXPECT_FALSE(IsWindow(d.hwnd));

  // Silent: no dialog; confirm and prompt answer as confirmed unchanged.
  browser->put_Silent(VARIANT_TRUE);
  EXPECT_EQ(titleAfter("alert('x'); document.title = confirm('?') + ' ' + prompt('?', 'kept');"),
            "true kept");
  EXPECT_EQ(watch.seen.size(), 7u);
}

TEST_F(BrowserDialogsTest, LoginsAndScriptErrorsTheHostLeavesAskTheUser) {
  LoginServer first, second, third;  // the engine keeps a login per server
  DialogWatch watch({answer("OK", {"user", "secret"}), answer("Cancel"), answer("No"), answer("Yes")});
  EXPECT_EQ(navigate(first.url()), "inside");
  EXPECT_EQ(site->authentications, 1);  // the host was asked first
  EXPECT_EQ(navigate(second.url()), "refused");
  ASSERT_EQ(watch.seen.size(), 2u);
  EXPECT_EQ(watch.seen[0].caption, "Connect to 127.0.0.1");
  EXPECT_EQ(watch.seen[0].owner, host.handle);

  const QUrl faulty = page("faulty.html", "<title>f</title><script>\nnoSuchFunction();\n</script>");
  navigate(faulty);
  ASSERT_TRUE(testsupport::waitFor([&] { return !browser->ContinueScripts(); }));  // "No"
  ASSERT_EQ(watch.seen.size(), 3u);
  EXPECT_EQ(watch.seen[2].caption, "Script Error");
  const String text = watch.seen[2].text;
  EXPECT_TRUE(text.contains("noSuchFunction") && text.contains("Line: 2") && text.contains(faulty.toString()))
      << text.toStdString();
  EXPECT_TRUE(text.endsWith("Do you want to continue running scripts on this page?"));
  browser->Page()->runJavaScript("setTimeout(function() { alsoMissing(); }, 0);");
  EXPECT_TRUE(testsupport::waitFor([&] { return browser->ContinueScripts(); }));  // "Yes"

  // A host that handles errors itself, or a silent browser: no dialog.
  site->scriptErrorAnswer = S_OK;
  const size_t reported = site->scriptErrors.size();
  browser->Page()->runJavaScript("setTimeout(function() { stillMissing(); }, 0);");
  ASSERT_TRUE(testsupport::waitFor([&] { return site->scriptErrors.size() > reported; }));
  browser->put_Silent(VARIANT_TRUE);
  EXPECT_EQ(navigate(third.url()), "refused");
  EXPECT_EQ(watch.seen.size(), 4u);
}

TEST(BrowserDialogWindow, TakesTheMessagesOfADialogAndGivesTheActivationBack) {
  HostWindow owner;
  owner.widget->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(owner.widget.get()));
  std::vector<std::pair<WPARAM, HWND>> activations;
  WNDPROC previous = nullptr;
  const WNDPROC spy = MakeObjectInstance([&](TMessage& m) {
    if (m.Msg == WM_ACTIVATE) activations.push_back({m.WParam, reinterpret_cast<HWND>(m.LParam)});
    m.Result = CallWindowProc(previous, owner.handle, m.Msg, m.WParam, m.LParam);
  });
  previous =
      reinterpret_cast<WNDPROC>(SetWindowLongPtr(owner.handle, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(spy)));
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  const HICON icon = CreateIconHandle(QIcon(QPixmap::fromImage(red)));
  HWND dialog = nullptr;
  DialogWatch watch({[&](HWND h) {
    dialog = h;
    SetWindowText(h, QStringLiteral("Renamed"));
    EXPECT_EQ(WidgetOf(h)->windowTitle(), "Renamed");
    EXPECT_EQ(SendMessage(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessage(h, WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(WidgetOf(h)->windowIcon().pixmap(16, 16).toImage().pixel(8, 8), QColor(Qt::red).rgb());
    PostMessage(h, WM_LBUTTONDOWN, 0, 0);
    PostMessage(h, WM_LBUTTONUP, 0, 0);
    QTimer::singleShot(100, [h] {
      EXPECT_TRUE(WidgetOf(h)->isVisible());  // the clicks changed nothing
      SendMessage(h, WM_CLOSE, 0, 0);
    });
  }});
  EXPECT_EQ(ShowBrowserDialog(owner.handle, "Question", "Go on?", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_FALSE(IsWindow(dialog));
  ASSERT_FALSE(activations.empty());
  EXPECT_EQ(activations[0], std::make_pair(WPARAM(WA_INACTIVE), dialog));
  EXPECT_TRUE(QTest::qWaitForWindowActive(owner.widget.get()));
  SetWindowLongPtr(owner.handle, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  FreeObjectInstance(spy);
  DestroyIcon(icon);

  // Fields change only on OK; DestroyWindow ends a dialog as Cancel.
  std::vector<TBrowserDialogField> fields{{"User name:", "old", false}};
  DialogWatch destroy({[](HWND h) {
    WidgetOf(h)->findChild<QLineEdit*>()->setText("changed");
    DestroyWindow(h);
  }});
  EXPECT_EQ(ShowBrowserDialog(owner.handle, "Login", "Who?", MB_OKCANCEL, &fields), IDCANCEL);
  EXPECT_EQ(fields[0].Value, "old");
}

TEST(BrowserDialogWindow, EndsWhenItsOwnerGoes) {
  auto owner = std::make_unique<HostWindow>();
  const HWND ownerHandle = owner->handle;
  DialogWatch watch({[&](HWND) { owner.reset(); }});
  EXPECT_EQ(ShowBrowserMessage(ownerHandle, "Owner goes", MB_OKCANCEL), IDCANCEL);
  ASSERT_EQ(watch.seen.size(), 1u);
  EXPECT_FALSE(IsWindow(watch.seen[0].hwnd));
}

}  // namespace
