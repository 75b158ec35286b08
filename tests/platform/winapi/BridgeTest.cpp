// Qt events of real widgets as window messages, and the default handling
// that lets Qt go on with them.
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <memory>

#include "tests/platform/winapi/WinTestUtil.h"
#include "tests/support/TestSupport.h"

using namespace wintest;

namespace {

// A shown, active form window with an edit window inside.
struct Form {
  std::unique_ptr<QWidget> widget = std::make_unique<QWidget>();
  QLineEdit* edit = new QLineEdit(widget.get());
  HWND hwnd = nullptr;
  HWND editHwnd = nullptr;

  Form() {
    widget->setGeometry(50, 60, 300, 200);
    edit->setGeometry(10, 10, 200, 24);
    hwnd = CreateWindowHandle("TForm", "Form", WS_OVERLAPPED, 0, nullptr, nullptr, widget.get());
    editHwnd = CreateWindowHandle("TEdit", "", WS_CHILD | WS_VISIBLE, 0, hwnd, nullptr, edit);
    widget->show();
    widget->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(widget.get()));
    edit->setFocus();
  }
};

template <class E>
void SendSpontaneous(QObject* receiver, E& event) {
  QSpontaneKeyEvent::setSpontaneous(&event);
  QApplication::instance()->notify(receiver, &event);
}

LPARAM Bits(LPARAM keyData, int from, int count) { return (keyData >> from) & ((1 << count) - 1); }

TEST(Bridge, KeysBecomeKeyAndCharMessages) {
  Form f;
  Spy spy(f.editHwnd);
  QTest::keyClick(f.edit, Qt::Key_A);
  auto msgs = spy.Of({WM_KEYDOWN, WM_CHAR, WM_KEYUP});
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(msgs[0].Msg, WM_KEYDOWN);
  EXPECT_EQ(msgs[0].WParam, WPARAM('A'));
  EXPECT_EQ(Bits(msgs[0].LParam, 0, 16), 1);     // repeat count
  EXPECT_EQ(Bits(msgs[0].LParam, 16, 8), 0x1E);  // scan code of A
  EXPECT_EQ(Bits(msgs[0].LParam, 24, 1), 0);     // not extended
  EXPECT_EQ(Bits(msgs[0].LParam, 30, 2), 0);     // was up, going down
  EXPECT_EQ(msgs[1].Msg, WM_CHAR);
  EXPECT_EQ(msgs[1].WParam, WPARAM('a'));
  EXPECT_EQ(msgs[2].Msg, WM_KEYUP);
  EXPECT_EQ(Bits(msgs[2].LParam, 30, 2), 3);  // was down, going up
  EXPECT_EQ(f.edit->text(), "a");

  spy.Clear();
  QTest::keyClick(f.edit, Qt::Key_Left);
  auto left = spy.Of({WM_KEYDOWN, WM_CHAR});
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].WParam, WPARAM(VK_LEFT));
  EXPECT_EQ(Bits(left[0].LParam, 24, 1), 1);  // an extended key

  // Shift is down while the shifted key arrives.
  spy.Clear();
  SHORT shiftDuringKey = 0;
  spy.handler = [&](TMessage& m) {
    if (m.Msg == WM_KEYDOWN && m.WParam == 'B') shiftDuringKey = GetKeyState(VK_SHIFT);
    return false;
  };
  QTest::keyClick(f.edit, Qt::Key_End);
  spy.Clear();
  QTest::keyClick(f.edit, 'B', Qt::ShiftModifier);
  EXPECT_LT(shiftDuringKey, 0);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(spy.Of({WM_KEYDOWN})[0].WParam, WPARAM(VK_SHIFT));
  EXPECT_EQ(spy.Of({WM_CHAR})[0].WParam, WPARAM('B'));
  EXPECT_EQ(f.edit->text(), "aB");

  // Ctrl+letter types a control character; Alt makes system keys.
  spy.Clear();
  QTest::keyClick(f.edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(spy.Of({WM_CHAR})[0].WParam, 3u);
  spy.Clear();
  QTest::keyClick(f.edit, Qt::Key_F, Qt::AltModifier);
  auto sys = spy.Of({WM_SYSKEYDOWN, WM_SYSCHAR, WM_KEYDOWN, WM_CHAR});
  ASSERT_EQ(sys.size(), 3u);  // Alt, F, f
  EXPECT_EQ(sys[0].WParam, WPARAM(VK_MENU));
  EXPECT_EQ(sys[1].Msg, WM_SYSKEYDOWN);
  EXPECT_EQ(sys[1].WParam, WPARAM('F'));
  EXPECT_EQ(Bits(sys[1].LParam, 29, 1), 1);  // context code: Alt held
  EXPECT_EQ(sys[2].Msg, WM_SYSCHAR);
  EXPECT_EQ(KeyDataToShiftState(sys[1].LParam), TShiftState({ssAlt}));
}

TEST(Bridge, TheDefaultHandlingDecidesWhetherTheWidgetSeesAKey) {
  Form f;
  {
    Spy swallowKeyDown(f.editHwnd, [](TMessage& m) { return m.Msg == WM_KEYDOWN; });
    QTest::keyClicks(f.edit, "xy");
    EXPECT_EQ(f.edit->text(), "");
    EXPECT_EQ(swallowKeyDown.Count(WM_CHAR), 2);  // characters still come
  }
  {
    Spy swallowChar(f.editHwnd, [](TMessage& m) { return m.Msg == WM_CHAR; });
    QTest::keyClicks(f.edit, "xy");
    EXPECT_EQ(f.edit->text(), "");
  }
  {
    // Passing the message on lets the widget handle the key right away, so
    // code after the previous procedure sees the typed text.
    Spy pass(f.editHwnd);
    std::vector<QString> afterChar;
    pass.after = [&](TMessage& m) {
      if (m.Msg == WM_CHAR) afterChar.push_back(f.edit->text());
    };
    QTest::keyClicks(f.edit, "xy");
    EXPECT_EQ(f.edit->text(), "xy");
    EXPECT_EQ(afterChar, (std::vector<QString>{"x", "xy"}));
  }
  {
    // A key the message loop handles (as the class library does with its
    // control notifications) reaches neither the window nor the widget.
    Spy spy(f.editHwnd);
    int filter = AddThreadMessageFilter([](MSG& m) { return m.message == WM_KEYDOWN && m.wParam == 'Z'; });
    QTest::keyClick(f.edit, Qt::Key_Z);
    RemoveThreadMessageFilter(filter);
    EXPECT_EQ(spy.Count(WM_KEYDOWN), 0);
    EXPECT_EQ(spy.Count(WM_CHAR), 0);
    EXPECT_EQ(f.edit->text(), "xy");
  }
}

TEST(Bridge, KeyboardMessagesSentFromCodeReachTheWidget) {
  Form f;
  Spy spy(f.editHwnd);
  SendMessageW(f.editHwnd, WM_CHAR, 'q', 0);
  SendMessageW(f.editHwnd, WM_CHAR, 'r', 0);
  EXPECT_EQ(f.edit->text(), "qr");
  PostMessageW(f.editHwnd, WM_KEYDOWN, VK_BACK, MakeKeyData(1, 0x0E, false, false, false, false));
  ASSERT_TRUE(testsupport::waitFor([&] { return f.edit->text() == "q"; }));
  // Each message is seen once: the widget's resulting events are not translated again.
  EXPECT_EQ(spy.Count(WM_CHAR), 2);
  EXPECT_EQ(spy.Count(WM_KEYDOWN), 1);
}

TEST(Bridge, MouseInputGoesToTheNearestWindowInItsCoordinates) {
  Form f;
  auto* button = new QPushButton("Go", f.widget.get());  // no window of its own
  button->setGeometry(100, 120, 80, 30);
  button->show();
  QSignalSpy clicked(button, &QPushButton::clicked);
  Spy spy(f.hwnd);
  QTest::mouseClick(button, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
  auto msgs = spy.Of({WM_LBUTTONDOWN, WM_LBUTTONUP});
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(TWMMouse(msgs[0]).XPos(), 105);
  EXPECT_EQ(TWMMouse(msgs[0]).YPos(), 126);
  EXPECT_EQ(msgs[0].WParamLo(), MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(msgs[1].WParamLo(), MK_SHIFT);
  EXPECT_EQ(KeysToShiftState(msgs[0].WParamLo()), TShiftState({ssShift, ssLeft}));
  EXPECT_EQ(clicked.count(), 1);

  spy.handler = [](TMessage& m) { return m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONUP; };
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicked.count(), 1);  // swallowed

  spy.handler = nullptr;
  spy.Clear();
  QTest::mousePress(f.widget.get(), Qt::RightButton, {}, QPoint(7, 8));
  QTest::mouseRelease(f.widget.get(), Qt::RightButton, {}, QPoint(7, 8));
  QTest::mouseDClick(f.widget.get(), Qt::RightButton, {}, QPoint(7, 8));
  QTest::mouseRelease(f.widget.get(), Qt::RightButton, {}, QPoint(7, 8));
  auto right = spy.Of({WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK});
  ASSERT_EQ(right.size(), 4u);
  EXPECT_EQ(right[0].Msg, WM_RBUTTONDOWN);
  EXPECT_EQ(right[2].Msg, WM_RBUTTONDBLCLK);
  EXPECT_EQ(right[2].WParamLo(), MK_RBUTTON);
  EXPECT_EQ(right[3].Msg, WM_RBUTTONUP);
  EXPECT_EQ(TWMMouse(right[0]).XPos(), 7);
  EXPECT_GE(GetKeyState(VK_RBUTTON), 0);

  // A disabled window gets no mouse input.
  spy.Clear();
  EnableWindow(f.hwnd, FALSE);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(spy.Count(WM_LBUTTONDOWN), 0);
  EnableWindow(f.hwnd, TRUE);
}

TEST(Bridge, ButtonsPressedInAChildAreToldToItsParentsFirst) {
  Form f;
  auto* panel = new QWidget(f.widget.get());
  panel->setGeometry(40, 50, 200, 100);
  auto* inner = new QWidget(panel);
  inner->setGeometry(10, 20, 100, 50);
  panel->show();
  inner->show();
  HWND panelHwnd = CreateWindowHandle("TPanel", "", WS_CHILD | WS_VISIBLE, 0, f.hwnd, nullptr, panel);
  HWND innerHwnd = CreateWindowHandle("TInner", "", WS_CHILD | WS_VISIBLE, 0, panelHwnd, nullptr, inner);
  // Who heard what, in order.
  std::vector<std::pair<HWND, TMessage>> log;
  auto record = [&](HWND h) {
    return [&log, h](TMessage& m) {
      log.push_back({h, m});
      return false;
    };
  };
  Spy formSpy(f.hwnd, record(f.hwnd));
  Spy panelSpy(panelHwnd, record(panelHwnd));
  Spy innerSpy(innerHwnd, record(innerHwnd));
  auto heard = [&](std::initializer_list<UINT> ids) {
    std::vector<std::pair<HWND, TMessage>> out;
    for (const auto& e : log)
      if (std::find(ids.begin(), ids.end(), e.second.Msg) != ids.end()) out.push_back(e);
    return out;
  };

  QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(3, 4));
  auto seen = heard({WM_PARENTNOTIFY, WM_LBUTTONDOWN, WM_LBUTTONUP});
  ASSERT_EQ(seen.size(), 4u);
  // Each parent hears of the press in its own client coordinates, before the window itself.
  EXPECT_EQ(seen[0].first, panelHwnd);
  EXPECT_EQ(seen[0].second.Msg, WM_PARENTNOTIFY);
  EXPECT_EQ(seen[0].second.WParamLo(), WM_LBUTTONDOWN);
  EXPECT_EQ(TWMMouse(seen[0].second).XPos(), 13);
  EXPECT_EQ(TWMMouse(seen[0].second).YPos(), 24);
  EXPECT_EQ(seen[1].first, f.hwnd);
  EXPECT_EQ(seen[1].second.Msg, WM_PARENTNOTIFY);
  EXPECT_EQ(TWMMouse(seen[1].second).XPos(), 53);
  EXPECT_EQ(TWMMouse(seen[1].second).YPos(), 74);
  EXPECT_EQ(seen[2].first, innerHwnd);
  EXPECT_EQ(seen[2].second.Msg, WM_LBUTTONDOWN);
  EXPECT_EQ(seen[3].second.Msg, WM_LBUTTONUP);  // releases and moves are not told

  // The right button too; a press in the top-level window itself tells nobody.
  log.clear();
  QTest::mouseClick(inner, Qt::RightButton, {}, QPoint(3, 4));
  QTest::mouseClick(f.widget.get(), Qt::LeftButton, {}, QPoint(5, 5));
  seen = heard({WM_PARENTNOTIFY});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].second.WParamLo(), WM_RBUTTONDOWN);

  // WS_EX_NOPARENTNOTIFY ends the chain at the window that carries it.
  log.clear();
  SetWindowLongPtrW(panelHwnd, GWL_EXSTYLE, WS_EX_NOPARENTNOTIFY);
  QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(3, 4));
  seen = heard({WM_PARENTNOTIFY});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, panelHwnd);
  log.clear();
  SetWindowLongPtrW(innerHwnd, GWL_EXSTYLE, WS_EX_NOPARENTNOTIFY);
  QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(3, 4));
  EXPECT_TRUE(heard({WM_PARENTNOTIFY}).empty());
  EXPECT_EQ(heard({WM_LBUTTONDOWN}).size(), 1u);

  // Messages sent from code are no input: no notification.
  log.clear();
  SetWindowLongPtrW(innerHwnd, GWL_EXSTYLE, 0);
  SetWindowLongPtrW(panelHwnd, GWL_EXSTYLE, 0);
  SendMessageW(innerHwnd, WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(3, 4));
  SendMessageW(innerHwnd, WM_LBUTTONUP, 0, PointToLParam(3, 4));
  EXPECT_TRUE(heard({WM_PARENTNOTIFY}).empty());
}

TEST(Bridge, MouseMessagesSentFromCodeClickTheWidgetUnderThePoint) {
  Form f;
  auto* button = new QPushButton("Go", f.widget.get());
  button->setGeometry(100, 120, 80, 30);
  button->show();
  QSignalSpy clicked(button, &QPushButton::clicked);
  Spy spy(f.hwnd);
  PostMessageW(f.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, PointToLParam(110, 130));
  PostMessageW(f.hwnd, WM_LBUTTONUP, 0, PointToLParam(110, 130));
  ASSERT_TRUE(testsupport::waitFor([&] { return clicked.count() == 1; }));
  EXPECT_EQ(spy.Count(WM_LBUTTONDOWN), 1);
}

TEST(Bridge, WheelMessagesCarryDeltaAndScreenPoint) {
  Form f;
  auto* inner = new QWidget(f.widget.get());
  inner->setGeometry(20, 50, 100, 100);
  inner->show();
  HWND innerHwnd = CreateWindowHandle("TPanel", "", WS_CHILD | WS_VISIBLE, 0, f.hwnd, nullptr, inner);
  Spy innerSpy(innerHwnd);
  Spy formSpy(f.hwnd);
  QPoint global = inner->mapToGlobal(QPoint(10, 10));
  QWheelEvent wheel(QPointF(10, 10), QPointF(global), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  SendSpontaneous(inner, wheel);
  auto msgs = innerSpy.Of({WM_MOUSEWHEEL});
  ASSERT_EQ(msgs.size(), 1u);
  TWMMouseWheel w(msgs[0]);
  EXPECT_EQ(w.WheelDelta(), -120);
  EXPECT_EQ(w.Keys(), MK_CONTROL);
  EXPECT_EQ(w.XPos(), global.x());
  EXPECT_EQ(w.YPos(), global.y());
  // The plain widget does not take the wheel, so the message goes on to the parent.
  EXPECT_EQ(formSpy.Count(WM_MOUSEWHEEL), 1);
}

TEST(Bridge, FocusMovesBetweenWindows) {
  Form f;
  auto* second = new QLineEdit(f.widget.get());
  second->show();
  HWND secondHwnd = CreateWindowHandle("TEdit", "", WS_CHILD | WS_VISIBLE, 0, f.hwnd, nullptr, second);
  ASSERT_EQ(GetFocus(), f.editHwnd);
  Spy first(f.editHwnd);
  Spy next(secondHwnd);
  EXPECT_EQ(SetFocus(secondHwnd), f.editHwnd);
  EXPECT_EQ(GetFocus(), secondHwnd);
  auto kill = first.Of({WM_KILLFOCUS});
  auto set = next.Of({WM_SETFOCUS});
  ASSERT_EQ(kill.size(), 1u);
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(reinterpret_cast<HWND>(kill[0].WParam), secondHwnd);
  EXPECT_EQ(reinterpret_cast<HWND>(set[0].WParam), f.editHwnd);
  // Setting the focus where it is changes nothing.
  SetFocus(secondHwnd);
  EXPECT_EQ(next.Count(WM_SETFOCUS), 1);
}

TEST(Bridge, ClosingAWindowAsksItsProcedure) {
  auto top = std::make_unique<QWidget>();
  HWND h = CreateWindowHandle("#32770", "Dialog", WS_POPUP, 0, nullptr, nullptr, top.get());
  top->show();
  {
    Spy keepOpen(h, [](TMessage& m) { return m.Msg == WM_CLOSE; });
    QCloseEvent close;
    SendSpontaneous(top.get(), close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_EQ(keepOpen.Count(WM_CLOSE), 1);
    EXPECT_TRUE(IsWindow(h));
  }
  {
    Spy spy(h);
    QCloseEvent close;
    SendSpontaneous(top.get(), close);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_EQ(spy.Count(WM_CLOSE), 1);
    EXPECT_FALSE(IsWindow(h));  // the default handling destroys the window
  }
  // From code: the widget closes and the window goes, with one WM_CLOSE.
  HWND again = CreateWindowHandle("#32770", "Dialog", WS_POPUP, 0, nullptr, nullptr, top.get());
  top->show();
  Spy spy(again);
  SendMessageW(again, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(spy.Count(WM_CLOSE), 1);
  EXPECT_TRUE(top->isHidden());
  EXPECT_FALSE(IsWindow(again));
}

TEST(Bridge, ActivationNamesTheOtherWindow) {
  Form a;
  auto bWidget = std::make_unique<QWidget>();
  HWND b = CreateWindowHandle("#32770", "Other", WS_POPUP, 0, nullptr, nullptr, bWidget.get());
  Spy spyA(a.hwnd);
  Spy spyB(b);
  bWidget->show();
  bWidget->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(bWidget.get()));
  EXPECT_EQ(GetActiveWindow(), b);
  auto lost = spyA.Of({WM_ACTIVATE});
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].WParamLo(), WA_INACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(lost[0].LParam), b);
  auto gained = spyB.Of({WM_ACTIVATE});
  ASSERT_EQ(gained.size(), 1u);
  EXPECT_EQ(gained[0].WParamLo(), WA_ACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(gained[0].LParam), a.hwnd);
}

TEST(Bridge, ContextMenuAndMouseEnteringAndLeaving) {
  Form f;
  Spy spy(f.editHwnd);
  Spy formSpy(f.hwnd, [](TMessage& m) { return m.Msg == WM_CONTEXTMENU; });
  QPoint global = f.edit->mapToGlobal(QPoint(3, 4));
  QContextMenuEvent byMouse(QContextMenuEvent::Mouse, QPoint(3, 4), global);
  spy.handler = [](TMessage& m) { return m.Msg == WM_CONTEXTMENU; };  // no edit menu pops up
  SendSpontaneous(f.edit, byMouse);
  auto menus = spy.Of({WM_CONTEXTMENU});
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(reinterpret_cast<HWND>(menus[0].WParam), f.editHwnd);
  EXPECT_EQ(GET_X_LPARAM(menus[0].LParam), global.x());
  QContextMenuEvent byKey(QContextMenuEvent::Keyboard, QPoint(3, 4), global);
  SendSpontaneous(f.edit, byKey);
  EXPECT_EQ(spy.Of({WM_CONTEXTMENU})[1].LParam, -1);
  EXPECT_EQ(formSpy.Count(WM_CONTEXTMENU), 0);

  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(global));
  QApplication::sendEvent(f.edit, &enter);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(f.edit, &leave);
  EXPECT_EQ(spy.Count(CM_MOUSEENTER), 1);
  EXPECT_EQ(spy.Count(CM_MOUSELEAVE), 1);
}

TEST(Bridge, AUserMoveCanBeCorrectedThroughWmMoving) {
  Form f;
  Spy spy(f.hwnd, [](TMessage& m) {
    if (m.Msg == WM_MOVING) {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      if (r->left < 0) {
        r->right -= r->left;
        r->left = 0;
      }
    }
    return false;
  });
  f.widget->move(-40, 70);
  QMoveEvent moved(QPoint(-40, 70), QPoint(50, 60));
  SendSpontaneous(f.widget.get(), moved);
  EXPECT_EQ(spy.Count(WM_MOVING), 1);
  EXPECT_EQ(f.widget->frameGeometry().left(), 0);
  RECT r;
  GetWindowRect(f.hwnd, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 70);
}

}  // namespace
