#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Streaming.h"
#include "tests/support/TestSupport.h"

namespace formstest {

std::vector<String> journal;

class TFtFirstForm;
class TFtSecondForm;
TFtFirstForm* FtFirst = nullptr;
TFtSecondForm* FtSecond = nullptr;

// A form that notes its creation and destruction, and checks that the
// variable given to CreateForm already holds it when OnCreate runs.
class TFtLoggedForm : public TForm {
  Q_OBJECT
 public:
  TFtLoggedForm(TComponent* owner, std::function<TCustomForm*()> variable, String name)
      : TForm(owner), variable_(std::move(variable)), name_(std::move(name)) {
    OnCreate = [this](TObject* sender) {
      const bool set = static_cast<TObject*>(variable_()) == sender;
      journal.push_back(name_ + (set ? " created, variable set" : " created, variable unset"));
    };
    OnDestroy = [this](TObject*) { journal.push_back(name_ + " destroyed"); };
  }

 private:
  std::function<TCustomForm*()> variable_;
  String name_;
};

class TFtFirstForm : public TFtLoggedForm {
  Q_OBJECT
 public:
  explicit TFtFirstForm(TComponent* owner);
};

class TFtSecondForm : public TFtLoggedForm {
  Q_OBJECT
 public:
  explicit TFtSecondForm(TComponent* owner);
};

TFtFirstForm::TFtFirstForm(TComponent* owner)
    : TFtLoggedForm(
          owner, [] { return FtFirst; }, "first") {}

TFtSecondForm::TFtSecondForm(TComponent* owner)
    : TFtLoggedForm(
          owner, [] { return FtSecond; }, "second") {
  // The first form is still there while a later one goes.
  OnDestroy = [](TObject*) {
    journal.push_back(FtFirst ? "second destroyed, first still here" : "second destroyed");
  };
}

// A form with a resource (TFTRESOURCEFORM in FormsTest.qrc).
class TFtResourceForm : public TForm {
  Q_OBJECT
 public:
  using TForm::TForm;
  TPanel* TopPanel = nullptr;
  TPanel* InnerPanel = nullptr;
  TPanel* ClientPanel = nullptr;
  std::vector<String> steps;
  int topWidthAtCreate = -1;
  bool loadingAtCreate = true;
  bool visibleAtCreate = true;
  std::vector<String> downs;

  void FormCreate(TObject*) {
    steps.push_back(InnerPanel && InnerPanel->HandleAllocated() ? "create, controls with windows" : "create");
    topWidthAtCreate = TopPanel ? TopPanel->Width() : -1;
    loadingAtCreate = ComponentState().Contains(csLoading);
    visibleAtCreate = Visible();
  }
  void FormMouseDown(TObject* sender, TMouseButton, TShiftState, int x, int y) {
    downs.push_back(QStringLiteral("%1 %2,%3").arg(dynamic_cast<TComponent*>(sender)->Name()).arg(x).arg(y));
  }
  void Loaded() override {
    TForm::Loaded();
    // The form's window exists while its components load (they may hook it).
    steps.push_back(HandleAllocated() ? "loaded with a window" : "loaded");
  }
};

// A form that adds window styles of its own and handles a message itself.
class TFtStyledForm : public TForm {
  Q_OBJECT
 public:
  using TForm::TForm;

 protected:
  void CreateParams(TCreateParams& params) override {
    TForm::CreateParams(params);
    params.WindowClass.style |= CS_DROPSHADOW;
    params.ExStyle |= WS_EX_APPWINDOW;
  }
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_MOVING) {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      if (r->left < 0) {
        r->right -= r->left;
        r->left = 0;
      }
    }
    TForm::WndProc(m);
  }
};

class Forms : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeExtCtrls();
    static bool registered = false;
    if (!registered) {
      registered = true;
      RegisterHandlers<TFtResourceForm>({
          HandlerEntry("FormCreate", &TFtResourceForm::FormCreate),
          HandlerEntry("FormMouseDown", &TFtResourceForm::FormMouseDown),
          FieldEntry("TopPanel", &TFtResourceForm::TopPanel),
          FieldEntry("InnerPanel", &TFtResourceForm::InnerPanel),
          FieldEntry("ClientPanel", &TFtResourceForm::ClientPanel),
      });
    }
    journal.clear();
    FtFirst = nullptr;
    FtSecond = nullptr;
  }
  void TearDown() override {
    FinalizeForms();
    QCoreApplication::processEvents();  // what the closed windows left behind
  }

  static void Shown(TCustomForm* f) { ASSERT_TRUE(QTest::qWaitForWindowExposed(f->Widget())); }
};

// ---------------------------------------------------------------- creation

TEST_F(Forms, CreateFormSetsTheVariableFirstAndFreesFormsInReverseOrder) {
  Application->CreateForm(FtFirst);
  Application->CreateForm(FtSecond);
  EXPECT_EQ(Application->MainForm(), FtFirst);
  EXPECT_TRUE(FtFirst->HandleAllocated());  // the main form gets its window at once
  EXPECT_EQ(FtFirst->Owner(), Application);
  EXPECT_EQ(Screen->FormCount(), 2);
  FinalizeForms();
  EXPECT_EQ(journal, std::vector<String>({"first created, variable set", "second created, variable set",
                                          "second destroyed, first still here", "first destroyed"}));
}

TEST_F(Forms, AFormReadsItsResourceThenRaisesOnCreate) {
  TFtResourceForm* form = nullptr;
  Application->CreateForm(form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->steps, std::vector<String>({"loaded with a window", "create, controls with windows"}));
  EXPECT_EQ(GetParent(form->InnerPanel->Handle()), form->TopPanel->Handle());
  EXPECT_FALSE(form->loadingAtCreate);
  EXPECT_FALSE(form->visibleAtCreate);  // a visible form shows after OnCreate
  EXPECT_TRUE(form->Visible());
  Shown(form);
  EXPECT_EQ(form->Caption(), "Resource form");
  EXPECT_EQ(form->Widget()->windowTitle(), "Resource form");
  EXPECT_TRUE(form->Widget()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form->ClientWidth(), 500);
  EXPECT_EQ(form->Constraints()->MinWidth(), 450);
  EXPECT_EQ(form->Font()->GetName(), "Verdana");

  // The nesting in the resource gives the parents; fields follow the names.
  ASSERT_NE(form->TopPanel, nullptr);
  ASSERT_NE(form->InnerPanel, nullptr);
  EXPECT_EQ(form->TopPanel->Parent(), form);
  EXPECT_EQ(form->InnerPanel->Parent(), form->TopPanel);
  EXPECT_EQ(form->InnerPanel->Owner(), form);
  EXPECT_EQ(form->topWidthAtCreate, 500);  // aligned before OnCreate
  EXPECT_EQ(form->ClientPanel->BoundsRect(), Bounds(0, 200, 500, 100));
  EXPECT_EQ(form->InnerPanel->Font()->GetName(), "Verdana");  // from its parents
  EXPECT_EQ(form->InnerPanel->Cursor(), crHandPoint);
  EXPECT_EQ(form->InnerPanel->Color(), clCream);
  EXPECT_EQ(form->InnerPanel->Anchors(), TAnchors({akTop, akRight}));

  // Anchored to the right of its panel, the inner panel follows it.
  form->SetClientWidth(600);
  EXPECT_EQ(form->TopPanel->Width(), 600);
  EXPECT_EQ(form->InnerPanel->Left(), 110);
  // The form's limits hold.
  form->SetClientWidth(100);
  EXPECT_EQ(form->Width(), 450);

  // Events bound in the resource reach the form's handlers.
  QTest::mouseClick(form->Widget(), Qt::LeftButton, {}, QPoint(300, 100));
  QTest::mouseClick(form->InnerPanel->Widget(), Qt::LeftButton, {}, QPoint(3, 4));
  EXPECT_EQ(form->downs, std::vector<String>({"FtResourceForm 300,100", "InnerPanel 3,4"}));

  // The tree streams back out with its bindings and nesting.
  const String text = WriteComponentRes(form);
  EXPECT_TRUE(text.contains("OnMouseDown = FormMouseDown"));
  EXPECT_TRUE(text.contains("Anchors = [akTop, akRight]"));
  EXPECT_TRUE(text.contains("    object InnerPanel: TPanel"));
}

TEST_F(Forms, AFormWithoutResourceIsEmpty) {
  auto* form = NewForm<TForm>(nullptr);
  EXPECT_EQ(form->ComponentCount(), 0);
  EXPECT_FALSE(form->Visible());
  int destroyed = 0;
  form->OnDestroy = [&](TObject*) { ++destroyed; };
  form->Free();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(Screen->FormCount(), 0);
}

// ---------------------------------------------------------------- showing and closing

TEST_F(Forms, ShowModalEndsWhenModalResultIsSet) {
  Application->CreateForm(FtFirst);
  auto* dialog = NewForm<TForm>(Application);
  std::vector<String> log;
  dialog->OnShow = [&](TObject*) { log.push_back("show"); };
  dialog->OnHide = [&](TObject*) { log.push_back("hide"); };
  int queries = 0;
  dialog->OnCloseQuery = [&](TObject*, bool& canClose) {
    log.push_back("query");
    canClose = ++queries > 1;  // the first attempt is refused
  };
  QTimer::singleShot(20, [&] {
    EXPECT_TRUE(dialog->Modal());
    EXPECT_EQ(dialog->Widget()->windowModality(), Qt::ApplicationModal);
    dialog->SetModalResult(mrOk);
    QTimer::singleShot(20, [&] {
      EXPECT_EQ(dialog->ModalResult(), mrNone);  // refused: still open
      EXPECT_TRUE(dialog->Visible());
      dialog->SetModalResult(mrYes);
    });
  });
  EXPECT_EQ(dialog->ShowModal(), mrYes);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_FALSE(dialog->Modal());
  EXPECT_EQ(log, std::vector<String>({"show", "query", "query", "hide"}));

  // Closing a modal form ends it with mrCancel; a visible form cannot go modal.
  dialog->OnCloseQuery = nullptr;
  QTimer::singleShot(10, [&] { dialog->Close(); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  dialog->Show();
  EXPECT_THROW(dialog->ShowModal(), EInvalidOperation);

  // Ending the application ends the modal loop too.
  dialog->Hide();
  QTimer::singleShot(10, [] { Application->Terminate(); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
}

TEST_F(Forms, ShowModalSurvivesTheFormBeingFreed) {
  Application->CreateForm(FtFirst);
  auto* dialog = NewForm<TForm>(Application);
  QTimer::singleShot(10, [&] { dialog->Free(); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(Screen->FormCount(), 1);
}

TEST_F(Forms, CloseHidesASecondaryFormAndObeysCloseQueryAndAction) {
  Application->CreateForm(FtFirst);
  Application->CreateForm(FtSecond);
  FtSecond->Show();
  bool allow = false;
  FtSecond->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  FtSecond->Close();
  EXPECT_TRUE(FtSecond->Visible());
  allow = true;
  FtSecond->Close();
  EXPECT_FALSE(FtSecond->Visible());
  EXPECT_FALSE(Application->Terminated());

  TCloseAction action = caNone;
  FtSecond->OnClose = [&](TObject*, TCloseAction& a) { a = action; };
  FtSecond->Show();
  FtSecond->Close();
  EXPECT_TRUE(FtSecond->Visible());
  action = caFree;
  QPointer<TCustomForm> guard(FtSecond);
  FtSecond->Close();
  ASSERT_TRUE(testsupport::waitFor([&] { return guard.isNull(); }));

  // The window's own close button asks the form the same way.
  auto* third = NewForm<TForm>(Application);
  third->Show();
  SendMessageW(third->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(third->Visible());
  EXPECT_TRUE(IsWindow(third->Handle()));
}

TEST_F(Forms, ClosingTheMainFormEndsRun) {
  Application->CreateForm(FtFirst);
  Application->CreateForm(FtSecond);
  FtFirst->Show();
  QTimer::singleShot(20, [] {
    EXPECT_TRUE(FtFirst->Widget()->isVisible());
    FtFirst->Close();
  });
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(Application->MainForm(), FtFirst);  // still there until the end
}

TEST_F(Forms, WindowStylesComeFromCreateParams) {
  Application->CreateForm(FtFirst);
  FtFirst->Show();
  auto* styled = NewForm<TFtStyledForm>(Application);
  auto* plain = NewForm<TForm>(Application);
  styled->Show();
  plain->Show();
  EXPECT_TRUE(GetWindowLongPtrW(styled->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_TRUE(GetClassLongPtrW(styled->Handle(), GCL_STYLE) & CS_DROPSHADOW);
  // A plain secondary form belongs to the main form; WS_EX_APPWINDOW stands alone.
  EXPECT_EQ(plain->Widget()->windowHandle()->transientParent(), FtFirst->Widget()->windowHandle());
  EXPECT_EQ(styled->Widget()->windowHandle()->transientParent(), nullptr);
  EXPECT_TRUE(GetWindowLongPtrW(plain->Handle(), GWL_STYLE) & WS_THICKFRAME);

  // Changing the border makes the window again; it stays shown and keeps its controls.
  auto* panel = new TPanel(plain);
  panel->SetParent(plain);
  const HWND before = plain->Handle();
  plain->SetBorderStyle(bsDialog);
  plain->SetFormStyle(fsStayOnTop);
  EXPECT_NE(plain->Handle(), before);
  EXPECT_TRUE(plain->Widget()->isVisible());
  EXPECT_TRUE(GetWindowLongPtrW(plain->Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(plain->Widget()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(GetParent(panel->Handle()), plain->Handle());

  // A message method: the form keeps its window inside the screen while moving.
  RECT r{-30, 10, 70, 110};
  SendMessageW(styled->Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r, (RECT{0, 10, 100, 110}));
}

TEST_F(Forms, PositionAndWindowStateApplyWhenShown) {
  auto* form = NewForm<TForm>(nullptr);
  form->SetBounds(0, 0, 200, 100);
  form->SetPosition(poScreenCenter);
  form->SetBorderStyle(bsNone);
  form->Show();
  const TRect screen = TRect::FromQRect(QGuiApplication::primaryScreen()->geometry());
  EXPECT_EQ(form->Left(), screen.Left + (screen.Width() - 200) / 2);
  EXPECT_EQ(form->Top(), screen.Top + (screen.Height() - 100) / 2);
  Shown(form);
  EXPECT_EQ(form->Widget()->frameGeometry().topLeft(), QPoint(form->Left(), form->Top()));

  auto* full = NewForm<TForm>(nullptr);
  full->SetWindowState(wsMaximized);
  full->Show();
  EXPECT_TRUE(full->Widget()->isMaximized());
  EXPECT_TRUE(testsupport::waitFor([&] { return full->Width() > 200; }));
  full->Widget()->showNormal();  // changed by the window system
  EXPECT_EQ(full->WindowState(), wsNormal);
  full->SetWindowState(wsMinimized);
  EXPECT_TRUE(full->Widget()->isMinimized());
  delete full;
  delete form;
}

TEST_F(Forms, ActivationRaisesEventsAndTracksTheActiveForm) {
  Application->CreateForm(FtFirst);
  Application->CreateForm(FtSecond);
  std::vector<String> log;
  FtFirst->OnActivate = [&](TObject*) { log.push_back("first active"); };
  FtFirst->OnDeactivate = [&](TObject*) { log.push_back("first inactive"); };
  FtSecond->OnActivate = [&](TObject*) { log.push_back("second active"); };
  FtFirst->Show();
  Shown(FtFirst);
  ASSERT_TRUE(testsupport::waitFor([&] { return FtFirst->Active(); }));
  EXPECT_EQ(Screen->ActiveForm(), FtFirst);
  FtSecond->Show();
  Shown(FtSecond);
  ASSERT_TRUE(testsupport::waitFor([&] { return FtSecond->Active(); }));
  EXPECT_EQ(Screen->ActiveForm(), FtSecond);
  EXPECT_FALSE(FtFirst->Active());
  // The first form's deactivation and the second's activation come in the window system's order.
  std::sort(log.begin() + 1, log.end());
  EXPECT_EQ(log, std::vector<String>({"first active", "first inactive", "second active"}));
}

// ---------------------------------------------------------------- application and screen

TEST_F(Forms, WindowsShowTheProgramsIconAlsoAfterItChanges) {
  Application->CreateForm(FtFirst);
  const auto centre = [](const QIcon& icon) { return icon.pixmap(16, 16).toImage().pixel(8, 8); };
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  Application->Icon()->FromQImage(red);
  EXPECT_EQ(centre(FtFirst->Widget()->windowIcon()), qRgb(255, 0, 0));
  auto* later = NewForm<TForm>(Application);
  EXPECT_EQ(centre(later->Widget()->windowIcon()), qRgb(255, 0, 0));
  QImage blue = red;
  blue.fill(Qt::blue);
  Application->Icon()->FromQImage(blue);
  EXPECT_EQ(centre(FtFirst->Widget()->windowIcon()), qRgb(0, 0, 255));

  // Without an icon file beside the program, a new application object
  // starts from the Qt application's icon.
  FinalizeForms();
  InitializeForms();
  ASSERT_FALSE(Application->Icon()->GetEmpty());
  EXPECT_EQ(Application->Icon()->ToQImage().pixel(8, 8), qRgb(0, 0, 255));
  qApp->setWindowIcon(QIcon());
}

TEST_F(Forms, HookMainWindowSeesTheApplicationWindowsMessages) {
  const HWND app = Application->Handle();
  ASSERT_TRUE(IsWindow(app));
  EXPECT_EQ(GetClassName(app), "TApplication");
  std::vector<UINT> first, second;
  const int a = Application->HookMainWindow([&](TMessage& m) {
    first.push_back(m.Msg);
    if (m.Msg == WM_USER + 9) {
      m.Result = 5;
      return true;  // handled: later hooks and the window do not see it
    }
    return false;
  });
  const int b = Application->HookMainWindow([&](TMessage& m) {
    second.push_back(m.Msg);
    return false;
  });
  SendMessageW(app, WM_USER + 1, 0, 0);
  EXPECT_EQ(SendMessageW(app, WM_USER + 9, 0, 0), 5);
  EXPECT_EQ(first, std::vector<UINT>({WM_USER + 1, WM_USER + 9}));
  EXPECT_EQ(second, std::vector<UINT>({WM_USER + 1}));

  // Activation of the application arrives as WM_ACTIVATEAPP, then CM_ACTIVATE.
  int activations = 0;
  Application->OnActivate = [&](TObject*) { ++activations; };
  second.clear();
  const bool wasActive = Application->Active();
  SendMessageW(app, WM_ACTIVATEAPP, wasActive ? 0 : 1, 0);
  SendMessageW(app, WM_ACTIVATEAPP, wasActive ? 1 : 0, 0);
  ASSERT_TRUE(testsupport::waitFor([&] { return second.size() >= 4; }));
  EXPECT_EQ(std::count(second.begin(), second.end(), WM_ACTIVATEAPP), 2);
  EXPECT_EQ(std::count(second.begin(), second.end(), CM_ACTIVATE), 1);
  EXPECT_EQ(activations, 1);

  Application->UnhookMainWindow(a);
  Application->UnhookMainWindow(b);
  first.clear();
  SendMessageW(app, WM_USER + 1, 0, 0);
  EXPECT_TRUE(first.empty());
}

TEST_F(Forms, OnIdleRunsWhenTheEventLoopWaits) {
  int idles = 0;
  Application->OnIdle = [&](TObject*, bool& done) {
    ++idles;
    done = idles >= 3;  // not done: called again soon
  };
  QEventLoop loop;
  QTimer::singleShot(100, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_GE(idles, 3);
  Application->OnIdle = nullptr;
}

TEST_F(Forms, TheApplicationIconIsTheProgramsIcon) {
  EXPECT_TRUE(Application->Icon()->GetEmpty());
  FinalizeForms();
  QPixmap red(16, 16);
  red.fill(Qt::red);
  QApplication::setWindowIcon(QIcon(red));
  InitializeForms();
  QApplication::setWindowIcon(QIcon());
  ASSERT_FALSE(Application->Icon()->GetEmpty());
  EXPECT_EQ(Application->Icon()->ToQImage().pixelColor(3, 3), QColor(Qt::red));
}

TEST_F(Forms, ExceptionsInMessageHandlingReachOnException) {
  auto* form = NewForm<TForm>(Application);
  String caught;
  Application->OnException = [&](TObject* sender, Exception& e) {
    caught = e.Message + (sender == static_cast<TObject*>(form) ? " from the form" : "");
  };
  TWndMethod old = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_USER + 4) throw EConvertError("bad value");
    old(m);
  };
  SendMessageW(form->Handle(), WM_USER + 4, 0, 0);
  EXPECT_EQ(caught, "bad value from the form");
  // The silent exception says nothing.
  caught.clear();
  form->WindowProc = [&](TMessage&) { Abort(); };
  SendMessageW(form->Handle(), WM_USER + 4, 0, 0);
  EXPECT_TRUE(caught.isEmpty());
  form->WindowProc = old;
}

TEST_F(Forms, ScreenCursorOverridesTheWholeApplication) {
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  Screen->SetCursor(crHourGlass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Screen->SetCursor(crSizeAll);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  Screen->SetCursor(crDefault);  // nothing left to remove
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  const TRect work = Screen->WorkAreaRect();
  EXPECT_EQ(work, TRect::FromQRect(QGuiApplication::primaryScreen()->availableGeometry()));
  EXPECT_EQ(Screen->WorkAreaWidth(), work.Width());
  EXPECT_EQ(Screen->Width(), QGuiApplication::primaryScreen()->geometry().width());
}

}  // namespace formstest

#include "FormsTest.moc"
