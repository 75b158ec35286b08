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

class DialogInterceptionTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    // No test may hang on a modal dialog: any left open goes after a while.
    QObject::connect(&closer, &QTimer::timeout, [this] {
      while (HWND h = FindWindow(QStringLiteral("#32770"))) DestroyWindow(h), closerActed = true;
    });
    closer.start(6000);
  }
  // Records what reaches the form's own procedure (set before a control
  // hooks the form, so the hook passes messages on to it).
  static void record(TForm* f, std::vector<UINT>& log) {
    f->WindowProc = [&log, own = f->WindowProc](TMessage& m) {
      log.push_back(m.Msg);
      own(m);
    };
  }
  // Whether the form drops CM_DIALOGCHAR, that is whether a control hooks it.
  static bool hooked(TForm* f, std::vector<UINT>& log) {
    const auto before = std::count(log.begin(), log.end(), CM_DIALOGCHAR);
    f->Perform(CM_DIALOGCHAR, 'a', 0);
    return std::count(log.begin(), log.end(), CM_DIALOGCHAR) == before;
  }
  // A dialog stand-in owned by the form; the form hears it lost activation to it.
  HWND intercept(const char* className, const String& caption, DWORD exStyle = 0) {
    dialogs.push_back(std::make_unique<QWidget>());
    HWND h = CreateWindowHandle(QLatin1String(className), caption, WS_POPUP, exStyle, form->Handle(), nullptr,
                                dialogs.back().get());
    form->Perform(WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
    return h;
  }
  QWebEnginePage* page() { return WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->Page(); }
  String titleAfter(const QString& script) {
    page()->runJavaScript("document.title = '-';");
    testsupport::waitFor([this] { return page()->title() == "-"; });
    page()->runJavaScript(script);
    testsupport::waitFor([this] { return page()->title() != "-"; }, 8000);
    return page()->title();
  }

  QTimer closer;
  bool closerActed = false;
  std::vector<UINT> formLog, otherLog;
  std::vector<TMessage> activations;
  std::vector<std::unique_ptr<QWidget>> dialogs;
};

TEST_F(DialogInterceptionTest, TheEnginesDialogsAreReportedClosedAndDisposedOf) {
  form->WindowProc = [this, own = form->WindowProc](TMessage& m) {
    if (m.Msg == WM_ACTIVATE) activations.push_back(m);
    own(m);
  };
  static_cast<TComponent*>(wb)->Loaded();
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("alert.html", "<title>-</title>")).toString()));
  form->Widget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  struct Seen {
    TObject* sender;
    HWND hwnd, owner;
    String caption, className;
  };
  std::vector<Seen> seen;
  wb->OnShowDialog = [&](TObject* sender, HWND h, int, const String& caption, String&, bool& cancel) {
    seen.push_back({sender, h, GetWindow(h, GW_OWNER), caption, GetClassName(h)});
    cancel = true;
  };
  EXPECT_EQ(titleAfter("alert('hello'); document.title = 'after';"), "after");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].sender, wb);
  EXPECT_EQ(seen[0].caption, "Message from webpage");
  EXPECT_EQ(seen[0].className, "#32770");
  EXPECT_EQ(seen[0].owner, form->Handle());
  EXPECT_FALSE(IsWindow(seen[0].hwnd));
  EXPECT_TRUE(std::any_of(activations.begin(), activations.end(), [&](const TMessage& m) {
    return m.WParam == WA_INACTIVE && reinterpret_cast<HWND>(m.LParam) == seen[0].hwnd;
  }));

  // The handler switched DisableAll on for later dialogs too.
  ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  wb->OnShowDialog = nullptr;
  EXPECT_EQ(titleAfter("document.title = confirm('sure?') ? 'yes' : 'no';"), "no");

  // A script-error box the browser shows is closed unseen (answered "No").
  wb->DialogBoxes()->SetDisableAll(false);
  wb->SetScriptErrorAction(EwbCore::eaAskUser);  // the host leaves the question to the browser
  ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  page()->runJavaScript("setTimeout(function() { missing(); }, 0);");
  EXPECT_TRUE(testsupport::waitFor(
      [this] { return !WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->ContinueScripts(); }));
  EXPECT_FALSE(closerActed);
}

TEST_F(DialogInterceptionTest, CaptionsIconsAndErrorBoxesOfInterceptedDialogs) {
  static_cast<TComponent*>(wb)->Loaded();
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  Application->Icon()->FromQImage(red);
  struct Case {
    const char* className;
    const char* caption;
    const char* newCaption;
    bool replace;
    const char* expected;
  } const cases[] = {
      {"#32770", "Microsoft Internet Explorer", "Noctivane", true, "Noctivane"},
      {"#32770", "Microsoft Internet Explorer - Microsoft Internet Explorer", "N", true,
       "N - Microsoft Internet Explorer"},  // the first occurrence only
      {"#32770", "Microsoft Internet Explorer", "", true, ""},
      {"#32770", "microsoft internet explorer", "N", true, "microsoft internet explorer"},
      {"#32770", "Microsoft Internet Explorer", "N", false, "Microsoft Internet Explorer"},
      {"Internet Explorer_TridentDlgFrame", "Internet Explorer Web Page Dialog", "N", true,
       "N Web Page Dialog"},
      {"TForm", "Microsoft Internet Explorer", "N", true, "Microsoft Internet Explorer"},  // not a dialog
  };
  int reports = 0;
  wb->OnShowDialog = [&](TObject*, HWND, int, const String&, String&, bool&) { ++reports; };
  for (const Case& c : cases) {
    wb->DialogBoxes()->SetNewCaption(c.newCaption);
    wb->DialogBoxes()->SetReplaceCaption(c.replace);
    HWND h = intercept(c.className, c.caption);
    EXPECT_EQ(GetWindowText(h), c.expected) << c.caption;
    const QIcon icon = IconFromHandle(reinterpret_cast<HICON>(SendMessage(h, WM_GETICON, ICON_SMALL, 0)));
    EXPECT_EQ(icon.isNull(), c.className == std::string("TForm"));
    if (!icon.isNull()) {
      EXPECT_EQ(icon.pixmap(16, 16).toImage().pixel(4, 4), QColor(Qt::red).rgb());
    }
  }
  EXPECT_EQ(reports, 6);

  // Script boxes are closed, error boxes destroyed, others stay.
  HWND script = intercept("#32770", "Internet Explorer Script Error");
  HWND error = intercept("#32770", "Page error");
  HWND styled = intercept("#32770", "Notice", 0x410101);
  HWND plain = intercept("#32770", "Notice");
  EXPECT_FALSE(IsWindow(script) || IsWindow(error) || IsWindow(styled));
  EXPECT_TRUE(IsWindow(plain));
  wb->DisableErrors()->SetScriptErrorsSuppressed(false);
  EXPECT_TRUE(IsWindow(intercept("#32770", "Script error")));
  // A handler that destroys the dialog leaves the later steps nothing to act on.
  wb->DisableErrors()->SetScriptErrorsSuppressed(true);
  wb->OnShowDialog = [](TObject*, HWND h, int, const String&, String&, bool&) { DestroyWindow(h); };
  EXPECT_FALSE(IsWindow(intercept("#32770", "Microsoft Internet Explorer error")));
  // Only losing activation counts.
  wb->OnShowDialog = nullptr;
  HWND active = intercept("TForm", "Microsoft Internet Explorer");
  form->Perform(WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(active));
  EXPECT_EQ(GetWindowText(active), "Microsoft Internet Explorer");
}

TEST_F(DialogInterceptionTest, OneControlHooksItsFormAndGivesItBackSafely) {
  auto* other = NewForm<TForm>(form);
  auto* second = new TEmbeddedWB(other);
  record(form, formLog);
  record(other, otherLog);
  static_cast<TComponent*>(wb)->Loaded();
  static_cast<TComponent*>(second)->Loaded();
  EXPECT_TRUE(hooked(form, formLog));
  EXPECT_FALSE(hooked(other, otherLog));  // one form per process
  form->Perform(CM_DIALOGKEY, VK_RETURN, 0);
  EXPECT_EQ(std::count(formLog.begin(), formLog.end(), CM_DIALOGKEY), 1);  // the rest passes

  delete second;  // not the hooking control: the form stays hooked
  EXPECT_TRUE(hooked(form, formLog));
  delete wb;  // the hooking control puts the form's own procedure back
  wb = nullptr;
  EXPECT_FALSE(hooked(form, formLog));

  // Owned by a form of its own but placed on the other: the owner goes
  // first and takes the control along without touching its dead procedure.
  auto* owner = NewForm<TForm>(nullptr);
  auto* third = new TEmbeddedWB(owner);
  third->SetParent(other);
  std::vector<UINT> ownerLog;
  record(owner, ownerLog);
  static_cast<TComponent*>(third)->Loaded();
  EXPECT_TRUE(hooked(owner, ownerLog));
  QPointer<TEmbeddedWB> gone(third);
  delete owner;
  EXPECT_TRUE(gone.isNull());

  // A control taken out of its owner outlives the form it hooked.
  owner = NewForm<TForm>(nullptr);
  auto* fourth = new TEmbeddedWB(owner);
  static_cast<TComponent*>(fourth)->Loaded();
  owner->RemoveComponent(fourth);
  delete owner;
  delete fourth;

  // The hook is free again.
  auto* fifth = new TEmbeddedWB(other);
  static_cast<TComponent*>(fifth)->Loaded();
  EXPECT_TRUE(hooked(other, otherLog));
  delete fifth;
  EXPECT_FALSE(hooked(other, otherLog));
}

}  // namespace
