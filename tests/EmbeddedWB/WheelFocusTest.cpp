// The wheel fix on two real browsers side by side, the hook object's
// reference count, the re-focus message, the subclassed inner windows and the
// Internet feature switches of TEwbControl.
#include "EmbeddedWB/Source/EwbControlComponent.h"
#include "EmbeddedWB/Source/EwbFocusControl.h"
#include "EmbeddedWB/Source/EwbMouseHook.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/Streaming.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/WebBrowser.h"
#include "platform/urlmon/UrlMon.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QApplication>
#include <QWheelEvent>

using namespace ewbtest;
using EwbMouseHook::TEWBMouseHook;

namespace {

// A second browser to the right of the fixture's one; both show a page.
class WheelFocusTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    form->SetBounds(20, 20, 820, 400);
    right = new TEmbeddedWB(form);
    right->SetBounds(400, 0, 400, 300);
    right->SetParent(form);
    const QString page = QUrl::fromLocalFile(pagePath("wheel.html",
                                                      "<html><body style=\"height:5000px\">wheel"
                                                      "</body></html>"))
                             .toString();
    ASSERT_TRUE(show(page));
    right->Navigate(page);
    ASSERT_TRUE(complete(right));
    ASSERT_TRUE(testsupport::waitFor([&] { return docOf(wb) && docOf(right); }));
    form->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
  }
  static HWND docOf(TEmbeddedWB* b) { return b->FindChildWindowByClass("Internet Explorer_Server"); }
  static HWND viewOf(TEmbeddedWB* b) { return b->FindChildWindowByClass("Shell DocObject View"); }
  static double scrollY(TEmbeddedWB* b) {
    QVariant v;
    EXPECT_TRUE(RunPageScript(WebBrowserObject::FromUnknown(b->DefaultInterface().Get())->Page(),
                              "window.scrollY", &v));
    return v.toDouble();
  }

  // One spontaneous wheel turn in the middle of the browser's document window.
  static void turnWheelOver(TEmbeddedWB* b) {
    QWidget* target = WidgetOf(docOf(b));
    ASSERT_NE(target, nullptr);
    const QPoint local(target->width() / 2, target->height() / 2);
    QWheelEvent e(QPointF(local), QPointF(target->mapToGlobal(local)), QPoint(), QPoint(0, -120),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&e);
    QApplication::instance()->notify(target, &e);
  }

  TEmbeddedWB* right = nullptr;
};

TEST_F(WheelFocusTest, FirstTurnOverTheOtherBrowserMovesTheFocusThere) {
  // The browser unit switches the wheel fix on at start-up.
  TEWBMouseHook* hook = TEWBMouseHook::Instance();
  ASSERT_NE(hook, nullptr);
  ASSERT_TRUE(hook->Active());
  SetFocus(docOf(wb));
  ASSERT_EQ(GetFocus(), docOf(wb));

  turnWheelOver(right);
  EXPECT_EQ(hook->LastTarget(), docOf(right));
  EXPECT_EQ(GetFocus(), docOf(right));
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_EQ(scrollY(right), 0.0);

  // The focus is in that browser's document now: the next turn scrolls it.
  turnWheelOver(right);
  EXPECT_EQ(hook->LastTarget(), nullptr);
  EXPECT_EQ(GetFocus(), docOf(right));
  EXPECT_TRUE(testsupport::waitFor([&] { return scrollY(right) > 0; }));
  EXPECT_EQ(scrollY(wb), 0.0);
}

TEST_F(WheelFocusTest, HandledFromTheEventIsKeptEvenForTheActiveForm) {
  TEWBMouseHook* hook = TEWBMouseHook::Instance();
  ASSERT_NE(hook, nullptr);
  ASSERT_EQ(Screen->ActiveForm(), form);
  hook->ActiveFormOnly = true;
  HWND seen = nullptr;
  hook->OnMouseWheel = [&](TPoint, HWND under, LPARAM, bool& handled) {
    seen = under;
    handled = true;
  };
  SetFocus(docOf(wb));
  turnWheelOver(right);
  EXPECT_EQ(seen, docOf(right));
  EXPECT_EQ(hook->LastTarget(), nullptr);
  EXPECT_EQ(GetFocus(), docOf(wb));

  // Without a verdict of the handler, the active form gets the wheel moved.
  hook->OnMouseWheel = nullptr;
  turnWheelOver(right);
  EXPECT_EQ(GetFocus(), docOf(right));
}

TEST_F(WheelFocusTest, TheHookObjectIsSharedAndCounted) {
  EmbeddedWB::finalize();  // ends the unit's own wheel fix
  ASSERT_EQ(TEWBMouseHook::Instance(), nullptr);
  TEWBMouseHook* first = TEWBMouseHook::Allocate();
  TEWBMouseHook* second = TEWBMouseHook::Allocate();
  EXPECT_EQ(first, second);
  EXPECT_EQ(TEWBMouseHook::RefCount(), 2);
  first->Activate();
  first->Activate();  // once only
  EXPECT_TRUE(first->Active());

  TEWBMouseHook::Release();
  ASSERT_EQ(TEWBMouseHook::Instance(), first);
  SetFocus(docOf(wb));
  turnWheelOver(right);
  EXPECT_EQ(GetFocus(), docOf(right));

  TEWBMouseHook::Release();
  EXPECT_EQ(TEWBMouseHook::Instance(), nullptr);
  EXPECT_EQ(TEWBMouseHook::RefCount(), 0);
  TEWBMouseHook::Release();  // one too many: nothing happens
  EXPECT_EQ(TEWBMouseHook::RefCount(), 0);
  // The hook is gone: the wheel no longer moves the focus.
  SetFocus(docOf(wb));
  turnWheelOver(right);
  EXPECT_EQ(GetFocus(), docOf(wb));
  EmbeddedWB::initialize();
}

}  // namespace

// ---------------------------------------------------------------- TEwbControl

namespace {

using namespace EwbControlComponent;

bool featureOn(TInternetFeatureList f) {
  return CoInternetIsFeatureEnabled(INTERNETFEATURELIST(f), GET_FEATURE_FROM_PROCESS) == S_OK;
}

TEST(EwbControl, FeatureSwitchesFollowTheSetAndAnEmptySetChangesNothing) {
  EwbControlComponent::initialize();
  InitializeUrlMon();
  TEwbControl control(nullptr);
  EXPECT_TRUE(control.InternetFeatures().Empty());
  control.SetInternetFeatures({ObjectCaching, Behaviors, XmlHttp, BlockInputPrompts});
  EXPECT_TRUE(featureOn(ObjectCaching));
  EXPECT_TRUE(featureOn(XmlHttp));
  EXPECT_TRUE(featureOn(BlockInputPrompts));  // the last feature
  EXPECT_FALSE(featureOn(MimeSniffing));      // non-members are switched off
  EXPECT_FALSE(featureOn(ZoneElevation));

  control.SetInternetFeatures({});
  EXPECT_TRUE(control.InternetFeatures().Empty());
  EXPECT_TRUE(featureOn(XmlHttp));
  EXPECT_FALSE(featureOn(MimeSniffing));

  // Streamed from a form resource, as the tools window holds it.
  TComponent owner(nullptr);
  TEwbControl* streamed = new TEwbControl(&owner);
  ReadComponentRes(
      "object EwbControl1: TEwbControl\n"
      "  InternetFeatures = [MimeSniffing]\n"
      "  MouseWheelFix.ActiveFormOnly = True\n"
      "end\n",
      streamed);
  EXPECT_TRUE(featureOn(MimeSniffing));
  EXPECT_FALSE(featureOn(XmlHttp));
  EXPECT_TRUE(streamed->MouseWheelFix()->ActiveFormOnly());
  EXPECT_EQ(TEWBMouseHook::Instance(), nullptr);  // writing properties starts no hook
  ResetInternetFeatures();
}

TEST(EwbControl, FixesStartWhenSwitchedOnAndEndWithTheComponent) {
  InitializeForms();
  auto* control = new TEwbControl(nullptr);
  EXPECT_TRUE(control->MouseWheelFix()->Active());  // creation starts nothing
  EXPECT_EQ(TEWBMouseHook::Instance(), nullptr);
  EXPECT_EQ(EwbFocusControl::TEWBFocusControl::Instance(), nullptr);

  bool called = false;
  control->OnMouseWheel = [&](TPoint, HWND, LPARAM, bool&) { called = true; };
  control->Loaded();
  control->MouseWheelFix()->SetActiveFormOnly(true);
  control->MouseWheelFix()->SetActive(true);
  control->FocusControl()->SetActive(true);
  TEWBMouseHook* hook = TEWBMouseHook::Instance();
  ASSERT_NE(hook, nullptr);
  EXPECT_TRUE(hook->Active());
  EXPECT_TRUE(hook->ActiveFormOnly);
  bool handled = false;
  hook->OnMouseWheel(TPoint(), nullptr, 0, handled);
  EXPECT_TRUE(called);
  auto* focus = EwbFocusControl::TEWBFocusControl::Instance();
  ASSERT_NE(focus, nullptr);
  EXPECT_TRUE(focus->HookWindow()->HookSet());

  // A second component shares the hook object.
  auto* other = new TEwbControl(nullptr);
  other->MouseWheelFix()->SetActive(true);
  EXPECT_EQ(TEWBMouseHook::Instance(), hook);
  EXPECT_EQ(TEWBMouseHook::RefCount(), 2);
  delete other;  // switching its fixes off ends both for the process
  EXPECT_FALSE(hook->Active());
  EXPECT_EQ(EwbFocusControl::TEWBFocusControl::Instance(), nullptr);
  delete control;
  EXPECT_EQ(TEWBMouseHook::Instance(), nullptr);
  FinalizeForms();
}

}  // namespace

// ---------------------------------------------------------------- focus hook

namespace {

using EwbFocusControl::TEWBFocusControl;

// Takes a refocus request posted to the window, answering its WParam (0: none).
WPARAM takeRefocus(HWND hwnd) {
  MSG msg;
  if (!PeekMessage(&msg, hwnd, EwbFocusControl::WM_EWB_REFOCUS, EwbFocusControl::WM_EWB_REFOCUS, PM_REMOVE))
    return 0;
  return msg.wParam;
}

TEST_F(WheelFocusTest, ActivationAsksTheActiveFormsBrowserToTakeTheFocusBack) {
  ASSERT_EQ(Screen->ActiveForm(), form);
  // The focus is inside the browser's document, not in the control's window.
  form->SetActiveControl(right);
  SetFocus(docOf(right));
  ASSERT_EQ(form->ActiveControl(), right);
  TEWBFocusControl* started = TEWBFocusControl::Instance();  // by the browser unit
  ASSERT_NE(started, nullptr);
  TEWBFocusControl::Activate();  // one instance only
  EXPECT_EQ(TEWBFocusControl::Instance(), started);
  ASSERT_TRUE(TEWBFocusControl::Instance()->HookWindow()->HookSet());

  SendMessage(Application->Handle(), CM_ACTIVATE, 0, 0);
  EXPECT_EQ(takeRefocus(right->Handle()), WPARAM(right));
  EXPECT_EQ(takeRefocus(right->Handle()), 0u);               // posted once
  SendMessage(Application->Handle(), WM_ACTIVATEAPP, 1, 0);  // not watched
  EXPECT_EQ(takeRefocus(right->Handle()), 0u);

  TEWBFocusControl::Deactivate();
  EXPECT_EQ(TEWBFocusControl::Instance(), nullptr);
  SendMessage(Application->Handle(), CM_ACTIVATE, 0, 0);
  EXPECT_EQ(takeRefocus(right->Handle()), 0u);
}

// A browser class of the program's own, derived from the control.
class TProgramBrowser : public TEmbeddedWB {
 public:
  using TEmbeddedWB::TEmbeddedWB;
};

TEST_F(WheelFocusTest, ActivationAlsoServesBrowsersDerivedFromTheControl) {
  auto* derived = new TProgramBrowser(form);
  derived->SetBounds(0, 0, 100, 100);
  derived->SetParent(form);
  derived->Navigate(
      QUrl::fromLocalFile(pagePath("derived.html", "<html><body>derived</body></html>")).toString());
  ASSERT_TRUE(complete(derived));
  ASSERT_TRUE(testsupport::waitFor([&] { return docOf(derived) != nullptr; }));
  SetFocus(docOf(derived));
  ASSERT_EQ(form->ActiveControl(), derived);
  SendMessage(Application->Handle(), CM_ACTIVATE, 0, 0);
  EXPECT_EQ(takeRefocus(derived->Handle()), WPARAM(derived));
}

TEST_F(WheelFocusTest, RefocusMessagePutsTheFocusIntoTheDocument) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  // The browser is the active control, but the focus is not in its document.
  SetFocus(edit->Handle());
  form->SetActiveControl(right);
  ASSERT_NE(GetFocus(), docOf(right));
  PostMessage(right->Handle(), EwbFocusControl::WM_EWB_REFOCUS, WPARAM(right), 0);
  EXPECT_TRUE(testsupport::waitFor([&] { return GetFocus() == docOf(right); }));
  EXPECT_EQ(form->ActiveControl(), right);

  // Only while a browser is the form's active control.
  form->SetActiveControl(edit);
  PostMessage(right->Handle(), EwbFocusControl::WM_EWB_REFOCUS, WPARAM(right), 0);
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(GetFocus(), edit->Handle());
}

TEST_F(WheelFocusTest, FocusInTheInnerWindowsMakesTheBrowserTheActiveControl) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  // Both document windows were hooked when they appeared.
  for (HWND inner : {docOf(right), viewOf(right)}) {
    form->SetActiveControl(edit);
    SendMessage(inner, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(form->ActiveControl(), right) << GetClassName(inner).toStdString();
    EXPECT_TRUE(testsupport::waitFor([&] { return GetFocus() == docOf(right); }));
  }

  // The end of the document window takes all the replacements back.
  const LONG_PTR hookedView = GetWindowLongPtr(viewOf(right), GWL_WNDPROC);
  DestroyWindow(docOf(right));
  EXPECT_NE(GetWindowLongPtr(viewOf(right), GWL_WNDPROC), hookedView);
  form->SetActiveControl(edit);
  SendMessage(viewOf(right), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), edit);

  // A new document window is hooked again.
  right->Navigate(QUrl::fromLocalFile(pagePath("again.html", "<html><body>again</body></html>")).toString());
  ASSERT_TRUE(complete(right));
  ASSERT_TRUE(testsupport::waitFor([&] { return docOf(right) != nullptr; }));
  form->SetActiveControl(edit);
  SendMessage(docOf(right), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), right);
}

TEST_F(WheelFocusTest, AFolderViewIsHookedBeforeTheDocumentWindows) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  auto* folder = new TEmbeddedWB(form);
  folder->SetBounds(0, 0, 200, 100);
  folder->SetParent(form);
  // A folder shown in the view: its list view sits below a view window.
  ASSERT_TRUE(viewOf(folder));
  ASSERT_FALSE(docOf(folder));
  HWND defView =
      CreateWindowHandle("SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, viewOf(folder), nullptr, nullptr);
  HWND listView =
      CreateWindowHandle("SysListView32", "", WS_CHILD | WS_VISIBLE, 0, defView, nullptr, nullptr);
  ASSERT_EQ(folder->FindChildWindowByClass("SysListView32"), listView);
  folder->Exec(&CGID_Explorer, 39, 0, nullptr, nullptr);

  // The folder view alone this time.
  form->SetActiveControl(edit);
  SendMessage(viewOf(folder), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), edit);
  SendMessage(listView, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), folder);

  // The next report hooks the document view as well.
  folder->Exec(&CGID_Explorer, 39, 0, nullptr, nullptr);
  form->SetActiveControl(edit);
  SendMessage(viewOf(folder), WM_SETFOCUS, 0, 0);
  EXPECT_EQ(form->ActiveControl(), folder);
  DestroyWindow(defView);
  delete folder;
}

}  // namespace
