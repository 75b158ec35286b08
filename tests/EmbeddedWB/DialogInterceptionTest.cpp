// The browser control watches its owner form for the browser's dialogs:
// reports them, closes them, gives them the application's icon and caption
// and disposes of script-error boxes; the form's window procedure is taken
// by one control only and given back safely.
#include "EmbeddedWB/Source/EmbeddedWB.h"

#include "platform/shdocvw/WebBrowser.h"
#include "platform/shell/ShlObj.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QTimer>
#include <QWebEnginePage>

using namespace ewbtest;

namespace {

WebBrowserObject* objectOf(TEmbeddedWB* b) { return WebBrowserObject::FromUnknown(b->DefaultInterface().Get()); }

void load(TComponent* c) { c->Loaded(); }

// Closes any browser dialog still open after a while, so that no test can
// hang on a modal dialog; `acted` tells that it had to.
struct SafetyCloser {
  QTimer timer;
  bool acted = false;
  SafetyCloser() {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      while (HWND h = FindWindow(QStringLiteral("#32770"))) {
        acted = true;
        DestroyWindow(h);
      }
    });
    timer.start(6000);
  }
};

// One dialog as OnShowDialog reported it.
struct Reported {
  TObject* sender;
  HWND hwnd;
  int styleEx;
  String caption;
  String className;
  HWND owner;
};

class DialogInterceptionTest : public BrowserFixture {
 protected:
  void TearDown() override {
    delete otherForm;
    BrowserFixture::TearDown();
  }
  // Records every message that reaches the form's own procedure (set before
  // the control hooks the form, so the hook passes messages on to it).
  static void record(TForm* f, std::vector<TMessage>& log) {
    TWndMethod own = f->WindowProc;
    f->WindowProc = [&log, own](TMessage& m) {
      log.push_back(m);
      own(m);
    };
  }
  static int count(const std::vector<TMessage>& log, UINT msg) {
    return int(std::count_if(log.begin(), log.end(), [msg](const TMessage& m) { return m.Msg == msg; }));
  }
  // Whether the form drops CM_DIALOGCHAR, that is whether a control hooks it.
  static bool hooked(TForm* f, std::vector<TMessage>& log) {
    const int before = count(log, CM_DIALOGCHAR);
    f->Perform(CM_DIALOGCHAR, 'a', 0);
    return count(log, CM_DIALOGCHAR) == before;
  }
  // A second shown form with a control of its own.
  TEmbeddedWB* secondControl() {
    otherForm = NewForm<TForm>(nullptr);
    otherForm->SetBounds(560, 20, 300, 200);
    auto* b = new TEmbeddedWB(otherForm);
    b->SetParent(otherForm);
    otherForm->Show();
    return b;
  }
  // A stand-in dialog window of the class and caption given.
  HWND dialogWindow(const char* className, const String& caption, DWORD exStyle = 0) {
    dialogs.push_back(std::make_unique<QWidget>());
    return CreateWindowHandle(QLatin1String(className), caption, WS_POPUP, exStyle, form->Handle(), nullptr,
                              dialogs.back().get());
  }
  // The form hears that it lost activation to the window.
  void deactivateTo(HWND h) { form->Perform(WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h)); }
  void activateForm() {
    form->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  }
  // Runs a script that sets the page's title; answers the title it set.
  String runForTitle(const QString& script) {
    QWebEnginePage* page = objectOf(wb)->Page();
    page->runJavaScript("document.title = '-';");
    testsupport::waitFor([page] { return page->title() == "-"; });
    page->runJavaScript(script);
    testsupport::waitFor([page] { return page->title() != "-"; }, 8000);
    return page->title();
  }

  std::vector<TMessage> formLog, otherLog;
  TForm* otherForm = nullptr;
  std::vector<std::unique_ptr<QWidget>> dialogs;
};

// ---------------------------------------------------------------- dialogs of the engine

TEST_F(DialogInterceptionTest, AnAlertIsReportedWithItsOwnerAndClosedOnRequest) {
  record(form, formLog);
  load(wb);
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("alert.html", "<html><head><title>-</title></head></html>")).toString()));
  activateForm();
  formLog.clear();
  SafetyCloser closer;
  std::vector<Reported> reported;
  wb->OnShowDialog = [&](TObject* sender, HWND h, int styleEx, const String& caption, String&, bool& cancel) {
    reported.push_back({sender, h, styleEx, caption, GetClassName(h), GetWindow(h, GW_OWNER)});
    cancel = true;
  };

  EXPECT_EQ(runForTitle("alert('hello'); document.title = 'after';"), "after");
  EXPECT_FALSE(closer.acted);
  ASSERT_EQ(reported.size(), 1u);
  const Reported& r = reported[0];
  EXPECT_EQ(r.sender, wb);
  EXPECT_EQ(r.caption, "Message from webpage");
  EXPECT_EQ(r.className, "#32770");
  EXPECT_EQ(r.owner, form->Handle());
  EXPECT_FALSE(IsWindow(r.hwnd));
  // The form itself was told it lost activation to the dialog.
  auto lost = std::find_if(formLog.begin(), formLog.end(), [&](const TMessage& m) {
    return m.Msg == WM_ACTIVATE && LOWORD(m.WParam) == WA_INACTIVE && reinterpret_cast<HWND>(m.LParam) == r.hwnd;
  });
  EXPECT_NE(lost, formLog.end());

  // The form has the activation back; the handler switched DisableAll on
  // for every later dialog.
  EXPECT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  EXPECT_TRUE(wb->DialogBoxes()->DisableAll());
  wb->OnShowDialog = nullptr;
  EXPECT_EQ(runForTitle("document.title = confirm('sure?') ? 'yes' : 'no';"), "no");
  EXPECT_FALSE(closer.acted);
}

TEST_F(DialogInterceptionTest, ScriptErrorBoxesOfTheBrowserAreClosedUnseen) {
  load(wb);
  wb->SetScriptErrorAction(EwbCore::eaAskUser);  // the host leaves the question to the browser
  ASSERT_TRUE(wb->DisableErrors()->ScriptErrorsSuppressed());
  activateForm();
  SafetyCloser closer;
  std::vector<String> captions;
  wb->OnShowDialog = [&](TObject*, HWND, int, const String& caption, String&, bool&) { captions.push_back(caption); };
  ASSERT_TRUE(objectOf(wb)->ContinueScripts());
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("faulty.html", "<html><body><script>\nmissing();\n</script></body></html>"))
                       .toString()));
  // Closed as "No" by the interception, not by the safety closer.
  ASSERT_TRUE(testsupport::waitFor([&] { return !objectOf(wb)->ContinueScripts(); }, 8000));
  EXPECT_FALSE(closer.acted);
  EXPECT_EQ(captions, std::vector<String>{"Script Error"});
  EXPECT_EQ(FindWindow(QStringLiteral("#32770")), nullptr);
}

// ---------------------------------------------------------------- the steps on a dialog window

TEST_F(DialogInterceptionTest, CaptionsLoseTheProductNameAndGetTheApplicationIcon) {
  load(wb);
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  Application->Icon()->FromQImage(red);
  wb->DialogBoxes()->SetNewCaption("Noctivane");

  // A real activation of a dialog window owned by the form.
  activateForm();
  HWND h = dialogWindow("#32770", "Microsoft Internet Explorer");
  dialogs.back()->show();
  dialogs.back()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialogs.back().get()));
  EXPECT_EQ(GetWindowText(h), "Noctivane");
  const HICON icon = reinterpret_cast<HICON>(SendMessage(h, WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(IconFromHandle(icon).pixmap(16, 16).toImage().pixel(4, 4), QColor(Qt::red).rgb());

  struct Case {
    const char* className;
    const char* caption;
    const char* newCaption;
    bool replace;
    const char* expected;
  };
  const Case cases[] = {
      {"#32770", "Microsoft Internet Explorer - Microsoft Internet Explorer", "Noctivane", true,
       "Noctivane - Microsoft Internet Explorer"},                                           // first only
      {"#32770", "Microsoft Internet Explorer", "", true, ""},                               // empty NewCaption
      {"#32770", "microsoft internet explorer", "Noctivane", true, "microsoft internet explorer"},  // case
      {"#32770", "Microsoft Internet Explorer", "Noctivane", false, "Microsoft Internet Explorer"},
      {"Internet Explorer_TridentDlgFrame", "Internet Explorer Web Page Dialog", "Browser", true,
       "Browser Web Page Dialog"},
      {"TForm", "Microsoft Internet Explorer", "Noctivane", true, "Microsoft Internet Explorer"},  // no dialog
  };
  int reports = 0;
  wb->OnShowDialog = [&](TObject*, HWND, int, const String&, String&, bool&) { ++reports; };
  for (const Case& c : cases) {
    wb->DialogBoxes()->SetNewCaption(c.newCaption);
    wb->DialogBoxes()->SetReplaceCaption(c.replace);
    HWND w = dialogWindow(c.className, c.caption);
    deactivateTo(w);
    EXPECT_EQ(GetWindowText(w), c.expected) << c.caption;
  }
  EXPECT_EQ(reports, 5);

  // Only losing activation counts.
  wb->DialogBoxes()->SetReplaceCaption(true);
  HWND w = dialogWindow("#32770", "Microsoft Internet Explorer");
  form->Perform(WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(w));
  EXPECT_EQ(GetWindowText(w), "Microsoft Internet Explorer");
  EXPECT_EQ(reports, 5);
}

TEST_F(DialogInterceptionTest, SuppressedErrorsCloseScriptBoxesAndDestroyErrorBoxes) {
  load(wb);
  wb->DialogBoxes()->SetReplaceIcon(false);
  HWND script = dialogWindow("#32770", "Internet Explorer Script Error");
  HWND error = dialogWindow("#32770", "Page error");
  HWND styled = dialogWindow("#32770", "Notice", 0x410101);
  HWND plain = dialogWindow("#32770", "Notice");
  for (HWND h : {script, error, styled, plain}) deactivateTo(h);
  EXPECT_FALSE(IsWindow(script));  // closed (WM_CLOSE)
  EXPECT_FALSE(IsWindow(error));   // destroyed
  EXPECT_FALSE(IsWindow(styled));
  EXPECT_TRUE(IsWindow(plain));

  // Not suppressed: all stay; an OnShowDialog that closes the window first
  // leaves the later steps nothing to act on.
  wb->DisableErrors()->SetScriptErrorsSuppressed(false);
  HWND kept = dialogWindow("#32770", "Script error");
  deactivateTo(kept);
  EXPECT_TRUE(IsWindow(kept));
  wb->DisableErrors()->SetScriptErrorsSuppressed(true);
  wb->OnShowDialog = [](TObject*, HWND h, int, const String&, String&, bool&) { DestroyWindow(h); };
  HWND gone = dialogWindow("#32770", "Microsoft Internet Explorer error");
  deactivateTo(gone);
  EXPECT_FALSE(IsWindow(gone));
}

// ---------------------------------------------------------------- the hook

TEST_F(DialogInterceptionTest, OnlyTheFirstControlHooksAndOnlyItUnhooks) {
  TEmbeddedWB* second = secondControl();
  record(form, formLog);
  record(otherForm, otherLog);
  load(wb);
  load(second);
  EXPECT_TRUE(hooked(form, formLog));
  EXPECT_FALSE(hooked(otherForm, otherLog));  // one form per process
  form->Perform(CM_DIALOGKEY, VK_RETURN, 0);
  EXPECT_EQ(count(formLog, CM_DIALOGKEY), 1);  // everything else passes

  // The control that did not hook leaves the hooked form alone.
  delete second;
  EXPECT_TRUE(hooked(form, formLog));
  EXPECT_FALSE(hooked(otherForm, otherLog));
  // The hooking control puts the form's own procedure back.
  delete wb;
  wb = nullptr;
  EXPECT_FALSE(hooked(form, formLog));
  form->Perform(WM_NULL, 0, 0);
  EXPECT_EQ(count(formLog, WM_NULL), 1);

  // Then the next control to load may hook its form.
  TEmbeddedWB* third = new TEmbeddedWB(otherForm);
  load(third);
  EXPECT_TRUE(hooked(otherForm, otherLog));
  delete third;
  EXPECT_FALSE(hooked(otherForm, otherLog));
}

TEST_F(DialogInterceptionTest, TheHookingControlGoingFirstRestoresAndTheOtherTouchesNothing) {
  TEmbeddedWB* second = secondControl();
  record(form, formLog);
  record(otherForm, otherLog);
  load(wb);
  load(second);
  delete wb;
  wb = nullptr;
  EXPECT_FALSE(hooked(form, formLog));
  delete second;
  EXPECT_FALSE(hooked(form, formLog));
  EXPECT_FALSE(hooked(otherForm, otherLog));
}

TEST_F(DialogInterceptionTest, AFormFreedBeforeItsControlIsNotTouched) {
  // Owned by a form of its own but placed on the fixture's form: the owner
  // goes first and takes the control along.
  {
    auto* owner = NewForm<TForm>(nullptr);
    auto* b = new TEmbeddedWB(owner);
    b->SetParent(form);
    std::vector<TMessage> ownerLog;
    record(owner, ownerLog);
    load(b);
    EXPECT_TRUE(hooked(owner, ownerLog));
    QPointer<TEmbeddedWB> gone(b);
    delete owner;
    EXPECT_TRUE(gone.isNull());
  }
  // A control taken out of its owner outlives the form it hooked.
  {
    auto* owner = NewForm<TForm>(nullptr);
    auto* b = new TEmbeddedWB(owner);
    load(b);
    owner->RemoveComponent(b);
    delete owner;
    delete b;
  }
  // The hook is free again for the fixture's control.
  record(form, formLog);
  load(wb);
  EXPECT_TRUE(hooked(form, formLog));
}

}  // namespace
