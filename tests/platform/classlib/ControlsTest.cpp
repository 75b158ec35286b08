#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <memory>
#include <vector>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "tests/support/TestSupport.h"

namespace controlstest {

// A windowed control over an edit field, for keyboard tests.
class TCtEdit : public TWinControl {
  Q_OBJECT
 public:
  explicit TCtEdit(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }
  QLineEdit* Edit() { return static_cast<QLineEdit*>(Widget()); }

 protected:
  QWidget* CreateWidget() override {
    auto* e = new QLineEdit;
    e->setFocusPolicy(Qt::StrongFocus);
    return e;
  }
};

// A control without a window that records what it paints.
class TCtShape : public TGraphicControl {
  Q_OBJECT
 public:
  using TGraphicControl::TGraphicControl;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(ClientRect());
  }
};

// A windowed control that can keep its window while its control window is
// destroyed and made again: the window waits under the application window.
class TCtKeeper : public TWinControl {
  Q_OBJECT
 public:
  using TWinControl::TWinControl;
  bool park = true;
  int destroys = 0, creates = 0;
  HWND parked = nullptr;
  using TWinControl::WindowHandle;

 protected:
  void DestroyWnd() override {
    ++destroys;
    if (park && !Destroyed()) {
      parked = WindowHandle();
      ::SetParent(parked, Application->Handle());
      SetWindowHandle(nullptr);
      return;
    }
    TWinControl::DestroyWnd();
  }
  void CreateWnd() override {
    ++creates;
    if (parked && IsWindow(parked)) {
      SetWindowHandle(parked);
      parked = nullptr;
      ::SetParent(WindowHandle(), Parent()->Handle());
      MoveWindow(WindowHandle(), 0, 0, Parent()->ClientWidth(), Parent()->ClientHeight(), TRUE);
      return;
    }
    TWinControl::CreateWnd();
  }
};

class TCtPopup : public TPopupMenu {
  Q_OBJECT
 public:
  using TPopupMenu::TPopupMenu;
  std::vector<TPoint> shown;
  void Popup(int x, int y) override { shown.push_back(TPoint(x, y)); }
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeExtCtrls();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 400, 300);
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }

  template <class T = TPanel>
  T* Add(TWinControl* parent, TRect bounds, TAlign align = alNone) {
    auto* c = new T(form);
    c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    c->SetParent(parent);
    c->SetAlign(align);
    return c;
  }

  void ShowForm() {
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }

  TForm* form = nullptr;
};

// ---------------------------------------------------------------- layout

TEST_F(Controls, AlignLaysOutTopBottomLeftRightThenClient) {
  // Created out of order: alignment follows the positions, not creation.
  form->DisableAlign();
  auto* client = Add(form, Bounds(0, 0, 10, 10), alClient);
  auto* right = Add(form, Bounds(0, 0, 60, 10), alRight);
  auto* top2 = Add(form, Bounds(0, 50, 10, 20), alTop);
  auto* left = Add(form, Bounds(0, 0, 50, 10), alLeft);
  auto* top1 = Add(form, Bounds(0, 0, 10, 30), alTop);
  auto* bottom = Add(form, Bounds(0, 0, 10, 25), alBottom);
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 0, 10, 10));
  form->EnableAlign();

  EXPECT_EQ(top1->BoundsRect(), Bounds(0, 0, 400, 30));
  EXPECT_EQ(top2->BoundsRect(), Bounds(0, 30, 400, 20));
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 275, 400, 25));
  EXPECT_EQ(left->BoundsRect(), Bounds(0, 50, 50, 225));
  EXPECT_EQ(right->BoundsRect(), Bounds(340, 50, 60, 225));
  EXPECT_EQ(client->BoundsRect(), Bounds(50, 50, 290, 225));
  // The widgets follow.
  EXPECT_EQ(client->Widget()->geometry(), QRect(50, 50, 290, 225));

  // The parent grows: everything follows.
  form->SetClientSize(500, 400);
  EXPECT_EQ(top2->BoundsRect(), Bounds(0, 30, 500, 20));
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 375, 500, 25));
  EXPECT_EQ(right->BoundsRect(), Bounds(440, 50, 60, 325));
  EXPECT_EQ(client->BoundsRect(), Bounds(50, 50, 390, 325));

  // A hidden bar takes no room; a bar changing height moves its neighbours.
  top2->Hide();
  EXPECT_EQ(client->BoundsRect(), Bounds(50, 30, 390, 345));
  top2->Show();
  top1->SetHeight(40);
  EXPECT_EQ(top2->Top(), 40);
  EXPECT_EQ(client->BoundsRect(), Bounds(50, 60, 390, 315));

  // Moving the second bar above the first reorders them.
  top2->SetTop(0);
  EXPECT_EQ(top2->Top(), 0);
  EXPECT_EQ(top1->Top(), 20);
}

TEST_F(Controls, AlignHonoursPaddingMarginsBevelsAndConstraints) {
  form->Padding()->SetBounds(5, 6, 7, 8);
  auto* top = Add(form, Bounds(0, 0, 10, 30), alTop);
  top->SetAlignWithMargins(true);
  top->Margins()->SetBounds(1, 2, 3, 4);
  auto* client = Add(form, Bounds(0, 0, 10, 10), alClient);
  EXPECT_EQ(top->BoundsRect(), Bounds(6, 8, 400 - 5 - 7 - 1 - 3, 30));
  EXPECT_EQ(client->BoundsRect(), TRect(5, 6 + 2 + 30 + 4, 393, 292));

  // A panel keeps its children inside its bevels and border.
  client->SetBevelOuter(bvRaised);
  client->SetBevelInner(bvLowered);
  client->SetBorderWidth(2);
  auto* inner = Add(client, Bounds(0, 0, 10, 10), alClient);
  EXPECT_EQ(inner->BoundsRect(), TRect(4, 4, client->Width() - 4, client->Height() - 4));

  // Constraints hold during alignment too.
  auto* left = Add(form, Bounds(0, 0, 100, 10), alLeft);
  left->Constraints()->SetMaxHeight(50);
  EXPECT_EQ(left->Height(), 50);
  EXPECT_EQ(client->Left(), 105);
}

TEST_F(Controls, SwitchingBetweenHorizontalAndVerticalBarsSwapsTheExtent) {
  auto* bar = Add(form, Bounds(0, 0, 10, 30), alTop);
  EXPECT_EQ(bar->Anchors(), TAnchors({akLeft, akTop, akRight}));
  bar->SetAlign(alLeft);
  EXPECT_EQ(bar->Width(), 30);
  EXPECT_EQ(bar->Height(), 300);
  EXPECT_EQ(bar->Anchors(), TAnchors({akLeft, akTop, akBottom}));
}

TEST_F(Controls, AnchorsKeepDistancesWhenTheParentResizes) {
  auto* stretch = Add(form, Bounds(10, 20, 100, 50));
  stretch->SetAnchors({akLeft, akTop, akRight, akBottom});
  auto* corner = Add(form, Bounds(300, 250, 40, 20));
  corner->SetAnchors({akRight, akBottom});
  auto* floating = Add(form, Bounds(180, 140, 40, 20));
  floating->SetAnchors({});
  auto* fixed = Add(form, Bounds(5, 5, 10, 10));

  form->SetClientSize(600, 500);
  EXPECT_EQ(stretch->BoundsRect(), Bounds(10, 20, 300, 250));
  EXPECT_EQ(corner->BoundsRect(), Bounds(500, 450, 40, 20));
  // Without left and right anchors the centre keeps its relative place.
  EXPECT_EQ(floating->BoundsRect(), Bounds(200 * 600 / 400 - 20, 150 * 500 / 300 - 10, 40, 20));
  EXPECT_EQ(fixed->BoundsRect(), Bounds(5, 5, 10, 10));

  // Moving a control by hand takes new distances.
  corner->SetLeft(100);
  form->SetClientSize(700, 500);
  EXPECT_EQ(corner->Left(), 200);
  form->SetClientSize(400, 300);
  EXPECT_EQ(stretch->BoundsRect(), Bounds(10, 20, 100, 50));
}

TEST_F(Controls, ConstraintsClampEverySizeChange) {
  auto* p = Add(form, Bounds(0, 0, 100, 100));
  p->Constraints()->SetMinWidth(50);
  p->Constraints()->SetMaxWidth(200);
  p->Constraints()->SetMinHeight(40);
  p->SetWidth(10);
  EXPECT_EQ(p->Width(), 50);
  p->SetBounds(0, 0, 500, 10);
  EXPECT_EQ(p->Width(), 200);
  EXPECT_EQ(p->Height(), 40);
  // New limits apply to the current size at once.
  p->Constraints()->SetMaxWidth(120);
  EXPECT_EQ(p->Width(), 120);
  // A maximum below the minimum lowers the minimum.
  p->Constraints()->SetMaxHeight(30);
  EXPECT_EQ(p->Constraints()->MinHeight(), 30);
  EXPECT_EQ(p->Height(), 30);

  // A form's limits also hold its window against the user's resizing.
  form->Constraints()->SetMinWidth(350);
  form->SetWidth(100);
  EXPECT_EQ(form->Width(), 350);
  EXPECT_EQ(form->Widget()->minimumWidth(), 350);
}

// ---------------------------------------------------------------- state and messages

TEST_F(Controls, VisibleAndEnabledReachWidgetsAndMessages) {
  auto* p = Add(form, Bounds(0, 0, 100, 100));
  std::vector<std::pair<UINT, WPARAM>> seen;
  TWndMethod old = p->WindowProc;
  p->WindowProc = [&](TMessage& m) {
    if (m.Msg == CM_VISIBLECHANGED || m.Msg == CM_ENABLEDCHANGED) seen.emplace_back(m.Msg, m.WParam);
    old(m);
  };
  p->Hide();
  p->Hide();  // no change, no message
  EXPECT_TRUE(p->Widget()->isHidden());
  p->Show();
  EXPECT_FALSE(p->Widget()->isHidden());
  p->SetEnabled(false);
  EXPECT_FALSE(p->Widget()->isEnabled());
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_pair(CM_VISIBLECHANGED, WPARAM(0)));
  EXPECT_EQ(seen[1], std::make_pair(CM_VISIBLECHANGED, WPARAM(1)));
  EXPECT_EQ(seen[2].first, CM_ENABLEDCHANGED);
  p->WindowProc = old;
}

TEST_F(Controls, FontAndColourComeFromTheParentUntilSetOwnly) {
  form->Font()->SetName("Verdana");
  form->SetColor(clCream);
  auto* p = Add(form, Bounds(0, 0, 100, 100));
  p->SetParentColor(true);
  EXPECT_EQ(p->Font()->GetName(), "Verdana");
  EXPECT_EQ(p->Color(), clCream);
  EXPECT_TRUE(p->ParentFont());

  form->Font()->SetHeight(-20);
  EXPECT_EQ(p->Font()->GetHeight(), -20);
  EXPECT_EQ(p->Widget()->font().pixelSize(), 20);

  p->Font()->SetName("Tahoma");  // its own font from now on
  EXPECT_FALSE(p->ParentFont());
  form->Font()->SetName("Courier");
  EXPECT_EQ(p->Font()->GetName(), "Tahoma");

  p->SetColor(clBlack);
  EXPECT_FALSE(p->ParentColor());
  form->SetColor(clWhite);
  EXPECT_EQ(p->Color(), clBlack);
  p->SetParentBackground(false);
  EXPECT_EQ(p->Widget()->palette().color(QPalette::Window), QColor(0, 0, 0));
  EXPECT_TRUE(p->Widget()->autoFillBackground());

  // A control without a colour of its own takes its parent's, and follows it.
  auto* shape = Add<TCtShape>(p, Bounds(0, 0, 10, 10));
  EXPECT_TRUE(shape->ParentColor());
  EXPECT_EQ(shape->Color(), clBlack);
  p->SetColor(clLime);
  EXPECT_EQ(shape->Color(), clLime);
}

TEST_F(Controls, PanelsPaintBevelsColourAndCaption) {
  auto* p = Add(form, Bounds(0, 0, 60, 40));
  p->SetParentBackground(false);
  p->SetColor(clYellow);
  p->SetBevelOuter(bvRaised);
  p->SetBevelWidth(2);
  p->SetCaption("Hi");
  p->Font()->SetColor(clBlue);
  ShowForm();
  const QImage image = p->Widget()->grab().toImage();
  EXPECT_EQ(image.pixelColor(0, 0), TColorToQColor(clBtnHighlight));
  EXPECT_EQ(image.pixelColor(1, 1), TColorToQColor(clBtnHighlight));
  EXPECT_EQ(image.pixelColor(59, 39), TColorToQColor(clBtnShadow));
  EXPECT_EQ(image.pixelColor(3, 3), QColor(255, 255, 0));
  bool captionDrawn = false;
  for (int y = 10; y < 30 && !captionDrawn; ++y)
    for (int x = 15; x < 45 && !captionDrawn; ++x) {
      const QColor c = image.pixelColor(x, y);  // the text's own colour, smoothed at the edges
      captionDrawn = c.blue() > 150 && c.red() < 100 && c.green() < 100;
    }
  EXPECT_TRUE(captionDrawn);
}

TEST_F(Controls, OnResizeFollowsSizeChangesOnly) {
  auto* p = Add(form, Bounds(0, 0, 100, 50));
  int resizes = 0;
  p->OnResize = [&](TObject*) { ++resizes; };
  p->SetLeft(20);
  EXPECT_EQ(resizes, 0);
  p->SetWidth(120);
  EXPECT_EQ(resizes, 1);
  p->SetAlign(alClient);  // laid out to the parent's size
  EXPECT_EQ(resizes, 2);
  form->SetClientSize(500, 400);
  EXPECT_EQ(resizes, 3);
  EXPECT_EQ(p->BoundsRect(), Bounds(0, 0, 500, 400));
}

TEST_F(Controls, WindowProcReplacementAndSubclassingBothSeeMessagesAndCanBeUndone) {
  auto* p = Add(form, Bounds(0, 0, 100, 100));
  const HWND h = p->Handle();
  ASSERT_TRUE(IsWindow(h));
  EXPECT_EQ(GetClassName(h), "TPanel");
  EXPECT_EQ(FindControl(h), p);
  EXPECT_EQ(GetParent(h), form->Handle());

  static std::vector<UINT> subclassed;
  static WNDPROC previous = nullptr;
  subclassed.clear();
  std::vector<UINT> replaced;
  WNDPROC proc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    subclassed.push_back(msg);
    return CallWindowProcW(previous, hwnd, msg, w, l);
  };
  previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
  TWndMethod old = p->WindowProc;
  p->WindowProc = [&](TMessage& m) {
    replaced.push_back(m.Msg);
    if (m.Msg == WM_USER + 2) {
      m.Result = 42;
      return;
    }
    old(m);
  };

  // Sent to the window: the subclass, then the control's WindowProc.
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 0, 0), 42);
  // Performed: straight to WindowProc.
  p->Perform(WM_USER + 3);
  EXPECT_EQ(subclassed, std::vector<UINT>({WM_USER + 2}));
  EXPECT_EQ(replaced, std::vector<UINT>({WM_USER + 2, WM_USER + 3}));

  // Window text goes through the whole chain down to the window.
  p->SetCaption("Panel text");
  EXPECT_EQ(GetWindowText(h), "Panel text");
  SetWindowText(h, "From outside");
  EXPECT_EQ(p->Caption(), "From outside");

  SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  p->WindowProc = old;
  subclassed.clear();
  replaced.clear();
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 0, 0), 0);
  EXPECT_TRUE(subclassed.empty());
  EXPECT_TRUE(replaced.empty());
}

TEST_F(Controls, RecreateWndRunsTheVirtualStepsAndAKeptWindowSurvives) {
  auto* host = Add(form, Bounds(0, 0, 200, 200));
  auto* keeper = Add<TCtKeeper>(host, Bounds(0, 0, 50, 50));
  auto* child = Add(keeper, Bounds(0, 0, 10, 10));
  const HWND kept = keeper->Handle();
  const HWND childBefore = child->Handle();
  keeper->destroys = keeper->creates = 0;

  keeper->RecreateWnd();
  EXPECT_EQ(keeper->destroys, 1);
  EXPECT_EQ(keeper->creates, 1);
  EXPECT_EQ(keeper->WindowHandle(), kept);
  EXPECT_EQ(GetParent(kept), host->Handle());
  EXPECT_EQ(FindControl(kept), keeper);
  // The children's windows were made again inside the kept one.
  EXPECT_FALSE(IsWindow(childBefore));
  EXPECT_TRUE(child->HandleAllocated());
  EXPECT_EQ(GetParent(child->Handle()), kept);
  // Messages still reach the control through the kept window.
  std::vector<UINT> seen;
  TWndMethod old = keeper->WindowProc;
  keeper->WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    old(m);
  };
  SendMessageW(kept, WM_USER + 7, 0, 0);
  EXPECT_EQ(seen, std::vector<UINT>({WM_USER + 7}));
  keeper->WindowProc = old;

  // Moving it to another parent goes through the same steps.
  auto* other = Add(form, Bounds(200, 0, 100, 100));
  keeper->SetParent(other);
  EXPECT_EQ(keeper->destroys, 2);
  EXPECT_EQ(keeper->creates, 2);
  EXPECT_EQ(keeper->WindowHandle(), kept);
  EXPECT_EQ(GetParent(kept), other->Handle());
  EXPECT_EQ(keeper->Widget()->parentWidget(), other->Widget());

  // Without keeping, the window is made anew.
  keeper->park = false;
  keeper->RecreateWnd();
  EXPECT_FALSE(IsWindow(kept));
  EXPECT_TRUE(IsWindow(keeper->Handle()));
  EXPECT_NE(keeper->Handle(), kept);

  // Freeing the parent frees the window too: nothing is kept aside then.
  keeper->park = true;
  const HWND last = keeper->Handle();
  delete other;
  EXPECT_FALSE(IsWindow(last));
  EXPECT_EQ(GetWindow(Application->Handle(), GW_CHILD), nullptr);
}

TEST_F(Controls, ChildrenGetWindowsWithTheirParentAndLoseThemWithIt) {
  auto* outer = Add(form, Bounds(0, 0, 200, 200));
  auto* inner = Add(outer, Bounds(0, 0, 100, 100));
  auto* shape = Add<TCtShape>(inner, Bounds(0, 0, 10, 10));
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_FALSE(inner->HandleAllocated());
  inner->HandleNeeded();  // the whole chain up to the form
  EXPECT_TRUE(form->HandleAllocated());
  EXPECT_TRUE(outer->HandleAllocated());
  EXPECT_EQ(GetParent(inner->Handle()), outer->Handle());
  EXPECT_EQ(shape->Widget()->parentWidget(), inner->Widget());

  // A parentless windowed control has nowhere to live.
  auto* loose = new TPanel(form);
  EXPECT_THROW(loose->HandleNeeded(), EInvalidOperation);

  // Freeing a parent frees the controls it holds, windows first.
  const HWND innerHandle = inner->Handle();
  delete outer;
  EXPECT_FALSE(IsWindow(innerHandle));
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_EQ(form->ComponentCount(), 1);  // only the parentless panel is left
}

// ---------------------------------------------------------------- mouse

TEST_F(Controls, MouseEventsCarryButtonShiftAndClientPoint) {
  auto* p = Add(form, Bounds(50, 60, 100, 100));
  auto* shape = Add<TCtShape>(p, Bounds(20, 30, 40, 40));
  ShowForm();
  QStringList log;
  auto down = [&](const char* who) {
    return [&log, who](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      log << QStringLiteral("%1 down %2 %3,%4%5")
                 .arg(who)
                 .arg(int(b))
                 .arg(x)
                 .arg(y)
                 .arg(s.Contains(ssShift) ? " shift" : "");
    };
  };
  p->OnMouseDown = down("panel");
  shape->OnMouseDown = down("shape");
  p->OnClick = [&](TObject*) { log << "panel click"; };
  shape->OnClick = [&](TObject*) { log << "shape click"; };
  shape->OnDblClick = [&](TObject*) { log << "shape dblclick"; };

  QTest::mouseClick(p->Widget(), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
  QTest::mouseClick(shape->Widget(), Qt::RightButton, {}, QPoint(3, 4));
  QTest::mouseClick(shape->Widget(), Qt::LeftButton, {}, QPoint(1, 1));
  QTest::mouseDClick(shape->Widget(), Qt::LeftButton, {}, QPoint(1, 1));
  QTest::mouseRelease(shape->Widget(), Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(log, QStringList({"panel down 0 5,6 shift", "panel click", "shape down 1 3,4", "shape down 0 1,1",
                              "shape click", "shape dblclick", "shape down 0 1,1"}));
  EXPECT_GT(shape->paints, 0);
}

TEST_F(Controls, ADisabledControlGetsNoMouseEvents) {
  auto* p = Add(form, Bounds(0, 0, 200, 200));
  auto* sub = Add(p, Bounds(10, 10, 50, 50));
  auto* shape = Add<TCtShape>(p, Bounds(100, 100, 50, 50));
  ShowForm();
  int subDowns = 0, shapeDowns = 0, parentDowns = 0;
  sub->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++subDowns; };
  shape->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++shapeDowns; };
  p->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++parentDowns; };

  sub->SetEnabled(false);
  shape->SetEnabled(false);
  QTest::mouseClick(sub->Widget(), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseClick(shape->Widget(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(subDowns, 0);
  EXPECT_EQ(shapeDowns, 0);
  QTest::mouseClick(p->Widget(), Qt::LeftButton, {}, QPoint(105, 105));
  EXPECT_EQ(shapeDowns, 0);  // the panel takes the click itself
  EXPECT_EQ(parentDowns, 1);

  // Disabling the parent silences the children as well, even when performed.
  sub->SetEnabled(true);
  p->SetEnabled(false);
  sub->Perform(WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(1, 1));
  EXPECT_EQ(subDowns, 0);
  p->SetEnabled(true);
  QTest::mouseClick(sub->Widget(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(subDowns, 1);
}

TEST_F(Controls, ThePressedControlGetsTheMovesAndTheReleaseOutsideIt) {
  auto* a = Add(form, Bounds(0, 0, 100, 100));
  auto* b = Add(form, Bounds(200, 0, 100, 100));
  auto* shape = Add<TCtShape>(a, Bounds(10, 10, 20, 20));
  ShowForm();
  QStringList log;
  for (TControl* c : std::vector<TControl*>{a, b, shape}) {
    const String name = c == a ? "a" : c == b ? "b" : "shape";
    c->OnMouseMove = [&log, name](TObject*, TShiftState, int x, int y) {
      log.push_back(QStringLiteral("%1 move %2,%3").arg(name).arg(x).arg(y));
    };
    c->OnMouseUp = [&log, name](TObject*, TMouseButton, TShiftState, int x, int y) {
      log.push_back(QStringLiteral("%1 up %2,%3").arg(name).arg(x).arg(y));
    };
  }
  // Through the window system, as the user's mouse would arrive.
  QWindow* window = form->Widget()->windowHandle();
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_TRUE(a->MouseCapture());
  log.clear();
  QTest::mouseMove(window, QPoint(250, 50));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(250, 50));
  EXPECT_FALSE(a->MouseCapture());
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "a up 250,50");
  EXPECT_TRUE(log.contains("a move 250,50"));
  EXPECT_FALSE(std::any_of(log.begin(), log.end(), [](const String& s) { return s.startsWith('b'); }));

  // The same for a control without a window, in its own coordinates.
  log.clear();
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(15, 15));
  EXPECT_TRUE(shape->MouseCapture());
  EXPECT_EQ(GetCaptureControl(), shape);
  log.clear();
  QTest::mouseMove(window, QPoint(250, 50));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(250, 50));
  EXPECT_TRUE(log.contains("shape move 240,40"));
  EXPECT_EQ(log.back(), "shape up 240,40");
  EXPECT_EQ(GetCaptureControl(), nullptr);
}

TEST_F(Controls, MouseEnterAndLeave) {
  auto* p = Add(form, Bounds(0, 0, 100, 100));
  auto* shape = Add<TCtShape>(form, Bounds(200, 0, 50, 50));
  ShowForm();
  std::vector<String> log;
  p->OnMouseEnter = [&](TObject*) { log.push_back("panel enter"); };
  p->OnMouseLeave = [&](TObject*) { log.push_back("panel leave"); };
  shape->OnMouseEnter = [&](TObject*) { log.push_back("shape enter"); };
  shape->OnMouseLeave = [&](TObject*) { log.push_back("shape leave"); };
  QWidget* window = form->Widget();
  QTest::mouseMove(window, QPoint(300, 200));
  QTest::mouseMove(window, QPoint(50, 50));
  QTest::mouseMove(window, QPoint(210, 10));
  QTest::mouseMove(window, QPoint(300, 200));
  EXPECT_EQ(log, std::vector<String>({"panel enter", "panel leave", "shape enter", "shape leave"}));
}

TEST_F(Controls, ContextMenuRequestsOpenThePopupMenuUnlessHandled) {
  auto* p = Add(form, Bounds(10, 10, 200, 200));
  auto* shape = Add<TCtShape>(p, Bounds(100, 100, 50, 50));
  auto* menu = new TCtPopup(form);
  p->SetPopupMenu(menu);
  ShowForm();
  const TPoint at = p->ClientToScreen(TPoint(20, 30));
  SendMessageW(p->Handle(), WM_CONTEXTMENU, WPARAM(p->Handle()), PointToLParam(at.X, at.Y));
  ASSERT_EQ(menu->shown.size(), 1u);
  EXPECT_EQ(menu->shown[0], at);
  EXPECT_EQ(menu->PopupComponent(), p);

  // OnContextPopup sees the client point and may take the request itself.
  TPoint seen;
  p->OnContextPopup = [&](TObject*, TPoint pos, bool& handled) {
    seen = pos;
    handled = true;
  };
  SendMessageW(p->Handle(), WM_CONTEXTMENU, WPARAM(p->Handle()), PointToLParam(at.X, at.Y));
  EXPECT_EQ(seen, TPoint(20, 30));
  EXPECT_EQ(menu->shown.size(), 1u);

  // Over a control without a window, that control is asked first.
  p->OnContextPopup = nullptr;
  shape->SetPopupMenu(menu);
  const TPoint overShape = shape->ClientToScreen(TPoint(5, 5));
  SendMessageW(p->Handle(), WM_CONTEXTMENU, WPARAM(p->Handle()), PointToLParam(overShape.X, overShape.Y));
  ASSERT_EQ(menu->shown.size(), 2u);
  EXPECT_EQ(menu->PopupComponent(), shape);

  // A freed menu is forgotten.
  delete menu;
  EXPECT_EQ(p->PopupMenu(), nullptr);
  EXPECT_EQ(shape->PopupMenu(), nullptr);
}

TEST_F(Controls, HintsShowOnlyWhereShowHintIsOn) {
  auto* p = Add(form, Bounds(0, 0, 100, 100));
  p->SetHint("Short|Long text");
  EXPECT_EQ(GetShortHint(p->Hint()), "Short");
  EXPECT_EQ(GetLongHint(p->Hint()), "Long text");
  ShowForm();
  auto ask = [&] {
    QToolTip::hideText();
    testsupport::waitFor([] { return !QToolTip::isVisible(); });
    QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), p->Widget()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(p->Widget(), &e);
    return QToolTip::isVisible() ? QToolTip::text() : String();
  };
  EXPECT_EQ(ask(), "");
  form->SetShowHint(true);  // the panel follows its parent
  EXPECT_EQ(ask(), "Short");
  p->SetShowHint(false);
  EXPECT_FALSE(p->ParentShowHint());
  EXPECT_EQ(ask(), "");
  QToolTip::hideText();
}

// ---------------------------------------------------------------- keyboard and focus

TEST_F(Controls, KeyEventsCanSwallowKeys) {
  auto* edit = Add<TCtEdit>(form, Bounds(10, 10, 100, 20));
  ShowForm();
  edit->SetFocus();
  ASSERT_TRUE(testsupport::waitFor([&] { return edit->Focused(); }));
  std::vector<String> log;
  edit->OnKeyDown = [&](TObject*, Word& key, TShiftState shift) {
    if (key == VK_SHIFT) return;
    log.push_back(QStringLiteral("down %1%2").arg(key).arg(shift.Contains(ssShift) ? " shift" : ""));
    if (key == 'B') key = 0;
  };
  edit->OnKeyPress = [&](TObject*, WideChar& key) {
    log.push_back(QStringLiteral("press %1").arg(QChar(key)));
    if (key == u'c') key = 0;
  };
  edit->OnKeyUp = [&](TObject*, Word& key, TShiftState) {
    if (key != VK_SHIFT) log.push_back(QStringLiteral("up %1").arg(key));
  };

  QLineEdit* line = edit->Edit();
  QTest::keyClick(line, Qt::Key_A);
  QTest::keyClick(line, Qt::Key_B);
  QTest::keyClick(line, Qt::Key_C);
  QTest::keyClick(line, 'D', Qt::ShiftModifier);
  EXPECT_EQ(line->text(), "aD");
  // A key swallowed at its key-down still brings its character, as the platform does.
  EXPECT_EQ(log, std::vector<String>({"down 65", "press a", "up 65", "down 66", "press b", "up 66", "down 67",
                                      "press c", "up 67", "down 68 shift", "press D", "up 68"}));

  // With KeyPreview the form sees the keys first and can take them.
  log.clear();
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    log.push_back(QStringLiteral("form %1").arg(key));
    if (key == 'E') key = 0;
  };
  QTest::keyClick(line, Qt::Key_E);
  QTest::keyClick(line, Qt::Key_F);
  EXPECT_EQ(line->text(), "aDf");
  EXPECT_EQ(log.front(), "form 69");
  EXPECT_FALSE(std::find(log.begin(), log.end(), "down 69") != log.end());
  EXPECT_TRUE(std::find(log.begin(), log.end(), "down 70") != log.end());
}

TEST_F(Controls, FocusMovesWithEnterAndExitAndFollowsTheRules) {
  auto* box = Add(form, Bounds(0, 0, 200, 200));
  auto* first = Add<TCtEdit>(box, Bounds(10, 10, 100, 20));
  auto* second = Add<TCtEdit>(form, Bounds(10, 250, 100, 20));
  std::vector<String> log;
  for (TWinControl* c : std::vector<TWinControl*>{box, first, second}) {
    const String name = c == box ? "box" : c == first ? "first" : "second";
    c->OnEnter = [&log, name](TObject*) { log.push_back(name + " enter"); };
    c->OnExit = [&log, name](TObject*) { log.push_back(name + " exit"); };
  }
  // A hidden form takes no focus.
  EXPECT_FALSE(first->CanFocus());
  EXPECT_THROW(first->SetFocus(), EInvalidOperation);
  ShowForm();
  first->SetFocus();
  ASSERT_TRUE(testsupport::waitFor([&] { return first->Focused(); }));
  EXPECT_EQ(form->ActiveControl(), first);
  second->SetFocus();
  ASSERT_TRUE(testsupport::waitFor([&] { return second->Focused(); }));
  EXPECT_EQ(log, std::vector<String>({"box enter", "first enter", "first exit", "box exit", "second enter"}));
  EXPECT_EQ(Screen->ActiveControl(), second);

  second->SetEnabled(false);
  EXPECT_FALSE(second->CanFocus());
  box->Hide();
  EXPECT_FALSE(first->CanFocus());
}

TEST_F(Controls, TabOrderFollowsInsertionAndCanBeChanged) {
  auto* a = Add<TCtEdit>(form, Bounds(0, 0, 10, 10));
  auto* b = Add<TCtEdit>(form, Bounds(0, 20, 10, 10));
  auto* c = Add<TCtEdit>(form, Bounds(0, 40, 10, 10));
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(c->TabOrder(), 2);
  c->SetTabOrder(0);
  EXPECT_EQ(c->TabOrder(), 0);
  EXPECT_EQ(a->TabOrder(), 1);
  EXPECT_EQ(b->TabOrder(), 2);
  // The widgets' focus chain follows.
  c->SetTabOrder(1);
  EXPECT_EQ(a->TabOrder(), 0);
  EXPECT_EQ(b->TabOrder(), 2);
  EXPECT_EQ(a->Widget()->nextInFocusChain(), c->Widget());
  EXPECT_EQ(c->Widget()->nextInFocusChain(), b->Widget());
}

TEST_F(Controls, CoordinatesConvertBetweenClientAndScreen) {
  ShowForm();
  auto* p = Add(form, Bounds(30, 40, 100, 100));
  auto* shape = Add<TCtShape>(p, Bounds(5, 6, 10, 10));
  const TPoint origin = form->ClientToScreen(TPoint(0, 0));
  EXPECT_EQ(shape->ClientToScreen(TPoint(1, 2)), TPoint(origin.X + 36, origin.Y + 48));
  EXPECT_EQ(shape->ScreenToClient(TPoint(origin.X + 36, origin.Y + 48)), TPoint(1, 2));
  EXPECT_EQ(FindVCLWindow(p->ClientToScreen(TPoint(50, 50))), p);
}

}  // namespace controlstest

#include "ControlsTest.moc"
