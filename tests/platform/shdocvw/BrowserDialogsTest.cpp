// The browser's own dialogs: what a page's messages, prompts, logins and
// script errors show when the host answers none of them, and how the dialog
// windows take the messages other code sends them.
#include "platform/shdocvw/BrowserDialogs.h"

#include "platform/shdocvw/WebBrowser.h"
#include "platform/shell/ShlObj.h"
#include "tests/platform/shdocvw/BrowserTestHost.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <thread>

using namespace browsertest;

namespace {

// One dialog as it was seen while open.
struct SeenDialog {
  HWND hwnd = nullptr;
  String caption;
  String text;  // the message shown
  HWND owner = nullptr;
};

// Watches for browser dialogs (from a timer, as the dialogs are modal) and
// answers each new one with the next action; a dialog with no action left
// is closed, so no test leaves one open.
class DialogWatch {
 public:
  using Action = std::function<void(HWND)>;
  explicit DialogWatch(std::vector<Action> actions = {}) : actions_(std::move(actions)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(20);
  }
  std::vector<SeenDialog> seen;

 private:
  void poll() {
    HWND h = FindWindow(QStringLiteral("#32770"));
    if (!h || (!seen.empty() && seen.back().hwnd == h) || !WidgetOf(h) || !WidgetOf(h)->isVisible()) return;
    SeenDialog d{h, GetWindowText(h), String(), GetWindow(h, GW_OWNER)};
    for (QLabel* label : WidgetOf(h)->findChildren<QLabel*>())
      if (!label->text().isEmpty()) d.text = label->text();
    seen.push_back(d);
    const size_t index = seen.size() - 1;
    if (index < actions_.size())
      actions_[index](h);
    else
      SendMessage(h, WM_CLOSE, 0, 0);
  }
  std::vector<Action> actions_;
  QTimer timer_;
};

// Presses the dialog's button of that label.
DialogWatch::Action press(const char* label) {
  return [label](HWND h) {
    for (QPushButton* b : WidgetOf(h)->findChildren<QPushButton*>())
      if (b->text().remove('&') == QLatin1String(label)) return b->click();
    ADD_FAILURE() << "no button " << label;
  };
}

// Types the texts into the dialog's fields, then presses OK.
DialogWatch::Action type(QStringList texts) {
  return [texts](HWND h) {
    const QList<QLineEdit*> edits = WidgetOf(h)->findChildren<QLineEdit*>();
    for (int i = 0; i < texts.size() && i < edits.size(); ++i) edits[i]->setText(texts[i]);
    press("OK")(h);
  };
}

// A host that leaves messages and script errors to the browser.
class QuietSite : public TestSite {
 public:
  HRESULT scriptErrorAnswer = S_FALSE;
  HRESULT ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) override {
    ++messagesAsked;
    return S_FALSE;
  }
  HRESULT Exec(const GUID* group, DWORD cmd, DWORD opt, VARIANT* in, VARIANT* out) override {
    const HRESULT hr = TestSite::Exec(group, cmd, opt, in, out);
    return group && *group == CGID_DocHostCommandHandler && cmd == OLECMDID_SHOWSCRIPTERROR ? scriptErrorAnswer
                                                                                            : hr;
  }
  int messagesAsked = 0;
};

// A loopback server whose "/private" page wants the login user:secret.
class LoginServer {
 public:
  LoginServer() {
    server_.Get("/private", [](const httplib::Request& req, httplib::Response& res) {
      if (req.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {
        res.set_content("<html><head><title>inside</title></head></html>", "text/html");
      } else {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"test\"");
        res.set_content("<html><head><title>refused</title></head></html>", "text/html");
      }
    });
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    testsupport::waitFor([this] { return server_.is_running(); }, 5000);
  }
  ~LoginServer() {
    server_.stop();
    thread_.join();
  }
  QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/private").arg(port_)); }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

class BrowserDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    browser = MakeCom<WebBrowserObject>();
    site = MakeCom<QuietSite>();
    ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
    RECT rect{0, 0, 400, 300};
    ASSERT_EQ(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.handle, &rect), S_OK);
  }
  void TearDown() override {
    browser->SetClientSite(nullptr);
    browser->Close(OLECLOSE_NOSAVE);
  }
  bool navigate(const QUrl& url) {
    OleVariant address(url.toString());
    if (browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr) != S_OK) return false;
    return testsupport::waitFor(
        [this] {
          READYSTATE state;
          VARIANT_BOOL busy;
          browser->get_ReadyState(&state);
          browser->get_Busy(&busy);
          return state == READYSTATE_COMPLETE && busy == VARIANT_FALSE;
        },
        10000);
  }
  // Runs a script that sets the title and waits for the title.
  String titleAfter(const QString& script) {
    browser->Page()->runJavaScript("document.title = '-';");
    testsupport::waitFor([this] { return browser->Page()->title() == "-"; });
    browser->Page()->runJavaScript(script);
    testsupport::waitFor([this] { return browser->Page()->title() != "-"; }, 8000);
    return browser->Page()->title();
  }

  HostWindow host;
  ComPtr<WebBrowserObject> browser;
  ComPtr<QuietSite> site;
};

TEST_F(BrowserDialogsTest, PageMessagesWithoutAHostAnswerShowOwnedDialogs) {
  ASSERT_TRUE(navigate(page("messages.html", "<html><body>messages</body></html>")));
  DialogWatch watch({press("OK"), press("Cancel"), press("OK"), [](HWND h) { SendMessage(h, WM_CLOSE, 0, 0); }});

  EXPECT_EQ(titleAfter("alert('a <b>bold</b> & plain'); document.title = 'after';"), "after");
  EXPECT_EQ(titleAfter("document.title = confirm('sure?') ? 'yes' : 'no';"), "no");
  EXPECT_EQ(titleAfter("document.title = confirm('sure?') ? 'yes' : 'no';"), "yes");
  EXPECT_EQ(titleAfter("document.title = confirm('closed?') ? 'yes' : 'no';"), "no");
  EXPECT_EQ(site->messagesAsked, 4);  // the host was asked first each time

  ASSERT_EQ(watch.seen.size(), 4u);
  EXPECT_EQ(watch.seen[0].caption, "Message from webpage");
  EXPECT_EQ(watch.seen[0].text, "a <b>bold</b> & plain");  // shown as text, not markup
  EXPECT_EQ(watch.seen[0].owner, host.handle);
  EXPECT_EQ(watch.seen[1].text, "sure?");
  for (const SeenDialog& d : watch.seen) EXPECT_FALSE(IsWindow(d.hwnd));
}

TEST_F(BrowserDialogsTest, PromptsAreTheBrowsersOwnAndSilenceAnswersAll) {
  ASSERT_TRUE(navigate(page("prompt.html", "<html><body>prompt</body></html>")));
  {
    DialogWatch watch({type({"typed"}), press("Cancel"), [](HWND h) { DestroyWindow(h); }});
    EXPECT_EQ(titleAfter("document.title = prompt('Your name?', 'given');"), "typed");
    EXPECT_EQ(titleAfter("document.title = String(prompt('Your name?', 'given'));"), "null");
    EXPECT_EQ(titleAfter("document.title = String(prompt('Destroyed?', 'given'));"), "null");
    ASSERT_EQ(watch.seen.size(), 3u);
    EXPECT_EQ(watch.seen[0].caption, "Explorer User Prompt");
    EXPECT_EQ(watch.seen[0].text, "Your name?");
    EXPECT_EQ(watch.seen[0].owner, host.handle);
    EXPECT_EQ(site->messagesAsked, 0);  // prompts never go to the host
  }
  // Silent: no dialog; confirm and prompt answer as confirmed unchanged.
  browser->put_Silent(VARIANT_TRUE);
  DialogWatch watch;
  EXPECT_EQ(titleAfter("alert('x'); document.title = confirm('sure?') + ' ' + prompt('name?', 'kept');"),
            "true kept");
  EXPECT_TRUE(watch.seen.empty());
  EXPECT_EQ(site->messagesAsked, 0);
}

TEST_F(BrowserDialogsTest, LoginsWithoutCredentialsFromTheHostAskTheUser) {
  LoginServer first;
  {
    DialogWatch watch({type({"user", "secret"})});
    ASSERT_TRUE(navigate(first.url()));
    EXPECT_EQ(browser->Page()->title(), "inside");
    ASSERT_EQ(watch.seen.size(), 1u);
    EXPECT_EQ(watch.seen[0].caption, "Connect to 127.0.0.1");
    EXPECT_EQ(watch.seen[0].owner, host.handle);
    EXPECT_EQ(site->authentications, 1);  // the host was asked first
  }
  // A cancelled login, and a silent browser, leave the request refused (other
  // servers: the engine keeps the login given to the first).
  LoginServer second;
  {
    DialogWatch watch({press("Cancel")});
    ASSERT_TRUE(navigate(second.url()));
    EXPECT_EQ(browser->Page()->title(), "refused");
    EXPECT_EQ(watch.seen.size(), 1u);
  }
  LoginServer third;
  browser->put_Silent(VARIANT_TRUE);
  DialogWatch watch;
  ASSERT_TRUE(navigate(third.url()));
  EXPECT_EQ(browser->Page()->title(), "refused");
  EXPECT_TRUE(watch.seen.empty());
}

TEST_F(BrowserDialogsTest, ScriptErrorsTheHostLeavesToTheBrowserAreAsked) {
  const QUrl faulty = page("faulty.html", "<html><body><script>\nnoSuchFunction();\n</script></body></html>");
  {
    DialogWatch watch({press("No"), press("Yes")});
    ASSERT_TRUE(navigate(faulty));
    ASSERT_TRUE(testsupport::waitFor([&] { return watch.seen.size() == 1 && !IsWindow(watch.seen[0].hwnd); }));
    EXPECT_FALSE(browser->ContinueScripts());
    EXPECT_EQ(watch.seen[0].caption, "Script Error");
    const String text = watch.seen[0].text;
    EXPECT_TRUE(text.contains("noSuchFunction")) << text.toStdString();
    EXPECT_TRUE(text.contains("Line: 2"));
    EXPECT_TRUE(text.contains(faulty.toString()));
    EXPECT_TRUE(text.endsWith("Do you want to continue running scripts on this page?"));

    browser->Page()->runJavaScript("setTimeout(function() { alsoMissing(); }, 0);");
    ASSERT_TRUE(testsupport::waitFor([&] { return watch.seen.size() == 2 && !IsWindow(watch.seen[1].hwnd); }));
    EXPECT_TRUE(browser->ContinueScripts());
  }
  // A host that handles the error itself: no dialog.
  site->scriptErrorAnswer = S_OK;
  DialogWatch watch;
  const size_t reported = site->scriptErrors.size();
  browser->Page()->runJavaScript("setTimeout(function() { stillMissing(); }, 0);");
  ASSERT_TRUE(testsupport::waitFor([&] { return site->scriptErrors.size() > reported; }));
  QTest::qWait(100);
  EXPECT_TRUE(watch.seen.empty());
}

// ---------------------------------------------------------------- the dialog windows

TEST(BrowserDialogWindow, TakesCaptionIconAndHarmlessClicksThenEndsAsCancel) {
  HostWindow owner;
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  const HICON icon = CreateIconHandle(QIcon(QPixmap::fromImage(red)));
  int step = 0;
  HWND seen = nullptr;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    HWND h = FindWindow(QStringLiteral("#32770"));
    if (!h) return;
    seen = h;
    QWidget* w = WidgetOf(h);
    if (step == 0) {
      EXPECT_EQ(GetWindowText(h), "Question");
      EXPECT_EQ(GetWindow(h, GW_OWNER), owner.handle);
      SetWindowText(h, QStringLiteral("Renamed"));
      EXPECT_EQ(w->windowTitle(), "Renamed");
      EXPECT_EQ(GetWindowText(h), "Renamed");
      EXPECT_EQ(SendMessage(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)), 0);
      EXPECT_EQ(reinterpret_cast<HICON>(SendMessage(h, WM_GETICON, ICON_SMALL, 0)), icon);
      EXPECT_EQ(w->windowIcon().pixmap(16, 16).toImage().pixel(8, 8), QColor(Qt::red).rgb());
      PostMessage(h, WM_LBUTTONDOWN, 0, 0);
      PostMessage(h, WM_LBUTTONUP, 0, 0);
      step = 1;
    } else if (step == 1) {
      // The clicks changed nothing: still open.
      EXPECT_TRUE(w->isVisible());
      SendMessage(h, WM_CLOSE, 0, 0);
      step = 2;
    }
  });
  timer.start(30);
  EXPECT_EQ(ShowBrowserDialog(owner.handle, "Question", "Go on?", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(step, 2);
  EXPECT_FALSE(IsWindow(seen));
  DestroyIcon(icon);
}

TEST(BrowserDialogWindow, FieldsChangeOnlyOnOkAndDestroyingEndsTheDialog) {
  HostWindow owner;
  std::vector<TBrowserDialogField> fields{{"User name:", "old", false}, {"Password:", "", true}};
  {
    DialogWatch watch({[](HWND h) {
      const QList<QLineEdit*> edits = WidgetOf(h)->findChildren<QLineEdit*>();
      ASSERT_EQ(edits.size(), 2);
      EXPECT_EQ(edits[0]->text(), "old");
      EXPECT_EQ(edits[1]->echoMode(), QLineEdit::Password);
      edits[0]->setText("changed");
      DestroyWindow(h);
    }});
    EXPECT_EQ(ShowBrowserDialog(owner.handle, "Login", "Who?", MB_OKCANCEL, &fields), IDCANCEL);
    EXPECT_EQ(fields[0].Value, "old");
  }
  String user = "u", password;
  DialogWatch watch({type({"me", "pw"})});
  EXPECT_TRUE(ShowBrowserLogin(owner.handle, "example.org", user, password));
  EXPECT_EQ(user, "me");
  EXPECT_EQ(password, "pw");
  ASSERT_EQ(watch.seen.size(), 1u);
  EXPECT_EQ(watch.seen[0].caption, "Connect to example.org");
}

TEST(BrowserDialogWindow, OwnerLosesActivationToItAndMayGoWhileItIsOpen) {
  auto owner = std::make_unique<HostWindow>();
  owner->widget->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(owner->widget.get()));
  std::vector<std::pair<WPARAM, HWND>> activations;
  static std::vector<std::pair<WPARAM, HWND>>* record = nullptr;
  static WNDPROC previous = nullptr;
  record = &activations;
  previous = reinterpret_cast<WNDPROC>(SetWindowLongPtr(
      owner->handle, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_ACTIVATE) record->push_back({w, reinterpret_cast<HWND>(l)});
        return CallWindowProc(previous, h, m, w, l);
      })));

  HWND dialog = nullptr;
  bool ownerGone = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    dialog = FindWindow(QStringLiteral("#32770"));
    if (!dialog || ownerGone || activations.empty()) return;
    // The owner window goes while its dialog is open: the dialog goes along.
    ownerGone = true;
    owner.reset();
  });
  timer.start(20);
  EXPECT_EQ(ShowBrowserMessage(owner->handle, "Owner goes", MB_OKCANCEL), IDCANCEL);
  ASSERT_TRUE(ownerGone);
  ASSERT_FALSE(activations.empty());
  EXPECT_EQ(LOWORD(activations[0].first), WA_INACTIVE);
  EXPECT_EQ(activations[0].second, dialog);
  EXPECT_FALSE(IsWindow(dialog));
}

}  // namespace
