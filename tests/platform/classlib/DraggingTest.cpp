// Dragging controls onto controls, and a list that grows line by line with
// the last line selected (as a log does).
#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "tests/support/TestSupport.h"

namespace draggingtest {

class DragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 500, 400);
    source = Add<TPanel>(TRect(0, 0, 100, 100));
    target = Add<TPanel>(TRect(200, 0, 300, 100));
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
    source->OnEndDrag = [this](TObject*, TObject* t, int, int) { ends.push_back(t); };
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }
  template <class T>
  T* Add(TRect bounds) {
    auto* c = new T(form);
    c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    c->SetParent(form);
    return c;
  }
  void MoveTo(TControl* c, QPoint p) { QTest::mouseMove(c->Widget(), p); }
  void ReleaseOn(TControl* c, QPoint p) { QTest::mouseRelease(c->Widget(), Qt::LeftButton, {}, p); }

  TForm* form = nullptr;
  TPanel* source = nullptr;
  TPanel* target = nullptr;
  std::vector<TObject*> ends;
};

TEST_F(DragTest, DropOnAListeningControlRaisesOverDropAndEnd) {
  std::vector<TDragState> states;
  std::vector<TPoint> drops;
  target->OnDragOver = [&](TObject*, TObject* s, int, int, TDragState state, bool&) {
    EXPECT_EQ(s, source);
    states.push_back(state);
  };
  target->OnDragDrop = [&](TObject*, TObject* s, int x, int y) {
    EXPECT_EQ(s, source);
    drops.push_back(TPoint(x, y));
  };
  source->BeginDrag(true);
  EXPECT_TRUE(source->Dragging());
  MoveTo(target, QPoint(10, 10));
  MoveTo(target, QPoint(20, 30));
  ReleaseOn(target, QPoint(20, 30));
  EXPECT_FALSE(source->Dragging());
  ASSERT_GE(states.size(), 2u);
  EXPECT_EQ(states.front(), dsDragEnter);
  EXPECT_EQ(states.back(), dsDragMove);
  EXPECT_EQ(drops, std::vector<TPoint>{TPoint(20, 30)});
  EXPECT_EQ(ends, std::vector<TObject*>{target});
}

TEST_F(DragTest, RefusedDropsAndEscapeEndWithoutATarget) {
  int dropped = 0;
  target->OnDragDrop = [&](TObject*, TObject*, int, int) { ++dropped; };
  // A control without OnDragOver takes no drop.
  source->BeginDrag(true);
  MoveTo(target, QPoint(10, 10));
  ReleaseOn(target, QPoint(10, 10));
  // One that says no neither.
  target->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = false; };
  source->BeginDrag(true);
  MoveTo(target, QPoint(10, 10));
  ReleaseOn(target, QPoint(10, 10));
  // Escape cancels a drag over a control that would take it.
  target->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool&) {};
  source->BeginDrag(true);
  MoveTo(target, QPoint(10, 10));
  QTest::keyClick(target->Widget(), Qt::Key_Escape);
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(dropped, 0);
  EXPECT_EQ(ends, (std::vector<TObject*>{nullptr, nullptr, nullptr}));
}

TEST_F(DragTest, AutomaticModeStartsOnlyAfterTheMouseMoves) {
  int dropped = 0;
  target->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool&) {};
  target->OnDragDrop = [&](TObject*, TObject*, int, int) { ++dropped; };
  source->SetDragMode(dmAutomatic);
  // A click is no drag.
  QTest::mousePress(source->Widget(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(source->Dragging());
  ReleaseOn(source, QPoint(5, 5));
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(dropped, 0);
  // Pressing and moving onto the target drops there.
  QTest::mousePress(source->Widget(), Qt::LeftButton, {}, QPoint(5, 5));
  MoveTo(target, QPoint(10, 10));
  ReleaseOn(target, QPoint(10, 10));
  EXPECT_EQ(dropped, 1);
}

TEST_F(DragTest, AGrowingListScrollsToItsSelectedLastLine) {
  auto* list = Add<TListBox>(TRect(0, 120, 200, 220));
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(13);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  for (int i = 0; i < 2000; ++i) {
    list->Items()->Add(QStringLiteral("line %1").arg(i));
    list->SetItemIndex(list->Count() - 1);
  }
  EXPECT_EQ(list->ItemIndex(), 1999);
  EXPECT_EQ(clicks, 0);  // selections made in code are no clicks
  // Once the window had its turn, the last line is in view.
  QCoreApplication::processEvents();
  auto* widget = static_cast<QListWidget*>(list->Widget());
  EXPECT_TRUE(widget->viewport()->rect().intersects(widget->visualItemRect(widget->item(1999))));
  EXPECT_GT(list->TopIndex(), 1900);
  // A later top line wins over a scroll still due.
  list->SetItemIndex(1999);
  list->SetTopIndex(0);
  QCoreApplication::processEvents();
  EXPECT_EQ(list->TopIndex(), 0);
  EXPECT_EQ(list->ItemIndex(), 1999);
}

}  // namespace draggingtest
