// List views of owner data on a shown form, shared image lists and the
// counted beep.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QTreeView>

#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/ImgList.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/Streaming.h"
#include "platform/winapi/Messages.h"

#include "tests/support/TestSupport.h"

namespace listviewtest {

// A list of owner data that records what the control asks of it.
class TRecordingList : public TCustomListView {
  Q_OBJECT
 public:
  using TCustomListView::TCustomListView;

  QStringList calls;  // "hint a-b", "fetch i", in order
  QList<int> finds;   // start index of each search
  QString lastFind;
  bool lastWrap = false;
  int subItemDraws = 0;
  int contextMenus = 0;
  int doubleClicks = 0;
  QList<Word> keys;

  QString CaptionOf(int i) const { return QStringLiteral("Row %1").arg(i, 4, 10, QLatin1Char('0')); }
  using TCustomListView::View;

 protected:
  bool OwnerDataHint(int StartIndex, int EndIndex) override {
    calls << QStringLiteral("hint %1-%2").arg(StartIndex).arg(EndIndex);
    return TCustomListView::OwnerDataHint(StartIndex, EndIndex);
  }
  bool OwnerDataFetch(TListItem* Item, TItemRequest Request) override {
    calls << QStringLiteral("fetch %1").arg(Item->Index());
    Item->Caption = CaptionOf(Item->Index());
    Item->ImageIndex = Item->Index() % 2;
    Item->SubItems = QStringList{QStringLiteral("sub %1").arg(Item->Index())};
    return TCustomListView::OwnerDataFetch(Item, Request);
  }
  int OwnerDataFind(TItemFind Find, const String& FindString, const TPoint&, void*, int StartIndex,
                    TSearchDirection, bool Wrap) override {
    finds << StartIndex;
    lastFind = FindString;
    lastWrap = Wrap;
    if (Find != ifPartialString) return -1;
    for (int n = 0; n < Items()->Count(); ++n) {
      const int i = (StartIndex + n) % Items()->Count();
      if (CaptionOf(i).startsWith(FindString, Qt::CaseInsensitive)) return i;
    }
    return -1;
  }
  bool CustomDrawSubItem(TListItem* Item, int SubItem, TCustomDrawState State,
                         TCustomDrawStage Stage) override {
    if (Stage == cdPrePaint && SubItem == 1 && Item) ++subItemDraws;
    Canvas()->Font()->SetColor(clRed);
    return TCustomListView::CustomDrawSubItem(Item, SubItem, State, Stage);
  }
  void WMContextMenu(TMessage& Message) override {
    ++contextMenus;
    Message.Result = 0;
  }
  void DblClick() override {
    ++doubleClicks;
    TCustomListView::DblClick();
  }
  void KeyDown(Word& Key, TShiftState Shift) override {
    keys << Key;
    TCustomListView::KeyDown(Key, Shift);
  }
};

class ListViews : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeComCtrls();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 400, 300);
    list = new TRecordingList(form);
    list->SetOwnerData(true);
    list->SetViewStyle(vsReport);
    list->Columns()->Add()->Caption = "Name";
    list->Columns()->Add()->Caption = "More";
    list->SetBounds(0, 0, 300, 200);
    list->SetParent(form);
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }
  // Paints the list and answers the calls made meanwhile.
  QStringList paint() {
    list->calls.clear();
    list->View()->viewport()->repaint();
    return list->calls;
  }

  TForm* form = nullptr;
  TRecordingList* list = nullptr;
};

// ---------------------------------------------------------------- owner data

TEST_F(ListViews, AScreenOfRowsIsHintedBeforeItsRowsAreFetched) {
  list->Items()->SetCount(5000);
  const QStringList calls = paint();
  ASSERT_FALSE(calls.isEmpty());
  ASSERT_TRUE(calls.first().startsWith("hint 0-")) << calls.first().toStdString();
  const int last = calls.first().section('-', 1).toInt();
  EXPECT_GT(last, 2);
  EXPECT_LT(last, 100);  // one screen, not the whole list
  for (const QString& call : calls.mid(1)) {
    ASSERT_TRUE(call.startsWith("fetch ")) << call.toStdString();
    EXPECT_LE(call.section(' ', 1).toInt(), last);
  }

  // Scrolled far down, the hint covers the rows now shown.
  list->Items()->Item(4000)->MakeVisible(false);
  const QStringList later = paint();
  ASSERT_FALSE(later.isEmpty());
  const int from = later.first().section(' ', 1).section('-', 0, 0).toInt();
  const int to = later.first().section('-', 1).toInt();
  EXPECT_LE(from, 4000);
  EXPECT_GE(to, 4000);

  // An empty list asks for nothing.
  list->Items()->SetCount(0);
  EXPECT_TRUE(paint().isEmpty());
}

TEST_F(ListViews, SelectionFocusAndTheSelectionBounds) {
  list->Items()->SetCount(50);
  EXPECT_EQ(list->Selected(), nullptr);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetSelected(list->Items()->Item(3));
  list->SetItemFocused(list->Items()->Item(3));
  ASSERT_NE(list->Selected(), nullptr);
  EXPECT_EQ(list->Selected()->Index(), 3);
  EXPECT_EQ(list->Selected()->Caption, "Row 0003");
  EXPECT_EQ(list->ItemFocused()->Index(), 3);
  EXPECT_TRUE(list->Items()->Item(3)->Selected());
  EXPECT_FALSE(list->Items()->Item(4)->Selected());

  const TRect r = list->Items()->Item(3)->DisplayRect(drSelectBounds);
  const TRect above = list->Items()->Item(2)->DisplayRect(drSelectBounds);
  EXPECT_GT(r.Right - r.Left, 10);
  EXPECT_GT(r.Bottom - r.Top, 4);
  EXPECT_EQ(above.Bottom, r.Top);  // rows follow each other
  EXPECT_GE(r.Top, 0);
  EXPECT_LT(r.Bottom, list->Height());

  list->SetSelected(nullptr);
  EXPECT_EQ(list->Selected(), nullptr);
  EXPECT_EQ(list->Items()->Item(99), nullptr);  // out of range
}

TEST_F(ListViews, TypedTextFindsARowThroughTheOwnerWrappingRound) {
  list->Items()->SetCount(30);
  list->SetSelected(list->Items()->Item(25));
  list->SetItemFocused(list->Items()->Item(25));
  list->SetFocus();
  QTest::keyClicks(list->View(), "row 001");
  ASSERT_FALSE(list->finds.isEmpty());
  EXPECT_EQ(list->finds.first(), 26);  // a new search starts after the focused row
  EXPECT_EQ(list->lastFind, "row 001");
  EXPECT_TRUE(list->lastWrap);
  EXPECT_EQ(list->ItemIndex(), 10);  // "Row 0010", found past the end
  EXPECT_EQ(list->ItemFocused()->Index(), 10);
}

// ---------------------------------------------------------------- messages and drawing

TEST_F(ListViews, ContextMenuDoubleClickAndKeysReachTheDerivedList) {
  list->Items()->SetCount(10);
  auto* popup = new TPopupMenu(form);
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  list->SetPopupMenu(popup);
  list->Perform(WM_CONTEXTMENU, WPARAM(list->Handle()), LPARAM(-1));
  EXPECT_EQ(list->contextMenus, 1);
  EXPECT_EQ(popups, 0);  // the derived list took the message over

  const TRect r = list->Items()->Item(2)->DisplayRect(drSelectBounds);
  const QPoint inRow = list->View()->viewport()->mapFrom(list->View(), QPoint(r.Left + 5, r.Top + 3));
  QTest::mouseDClick(list->View()->viewport(), Qt::LeftButton, {}, inRow);
  EXPECT_EQ(list->doubleClicks, 1);
  EXPECT_EQ(list->ItemIndex(), 2);

  list->SetFocus();
  QTest::keyClick(list->View(), Qt::Key_Backspace);
  QTest::keyClick(list->View(), Qt::Key_Return);
  EXPECT_TRUE(list->keys.contains(VK_BACK));
  EXPECT_TRUE(list->keys.contains(VK_RETURN));
}

TEST_F(ListViews, SmallImagesBySetImageListAndSubItemsDrawnAtPrePaint) {
  TImageList images(nullptr);
  TBitmap picture;
  picture.SetSize(16, 16);
  images.Add(&picture, nullptr);
  images.Add(&picture, nullptr);
  EXPECT_EQ(list->Perform(LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(images.Handle())), 0);
  EXPECT_EQ(list->SmallImages(), &images);
  EXPECT_EQ(list->Perform(LVM_SETIMAGELIST, LVSIL_NORMAL, 0), 0);  // not kept
  EXPECT_EQ(list->SmallImages(), &images);
  EXPECT_EQ(list->Perform(LVM_SETIMAGELIST, LVSIL_SMALL, 0), LRESULT(images.Handle()));
  EXPECT_EQ(list->SmallImages(), nullptr);

  list->Columns()->Items(0)->Width = 100;
  list->Columns()->Items(1)->Width = 100;
  list->Columns()->Changed();
  list->Items()->SetCount(5);
  paint();
  EXPECT_GE(list->subItemDraws, 5);
  // The sub-item is drawn in the colour custom drawing chose.
  const QImage shot = list->View()->viewport()->grab().toImage();
  const TRect r = list->Items()->Item(0)->DisplayRect(drBounds);
  bool red = false;
  for (int x = 100; x < 200 && !red; ++x)
    for (int y = r.Top; y < r.Bottom && !red; ++y) {
      const QColor c = shot.pixelColor(QPoint(x, y) - list->View()->viewport()->pos());
      red = c.red() > 150 && c.green() < 90 && c.blue() < 90;
    }
  EXPECT_TRUE(red);
}

class TListViewForm : public TForm {
  Q_OBJECT
 public:
  using TForm::TForm;
  TListView* List = nullptr;
};

TEST(ListViewStreaming, SettingsComeFromAFormResource) {
  InitializeForms();
  InitializeComCtrls();
  RegisterClass<TListViewForm>();
  RegisterHandlers<TListViewForm>({FieldEntry("List", &TListViewForm::List)});
  {
    TListViewForm f(nullptr);
    ReadComponentRes(QStringLiteral("object ListViewForm: TListViewForm\n"
                                    "  object List: TListView\n"
                                    "    Align = alClient\n"
                                    "    OwnerData = True\n"
                                    "    ViewStyle = vsReport\n"
                                    "    ShowColumnHeaders = False\n"
                                    "    ReadOnly = True\n"
                                    "    ColumnClick = False\n"
                                    "  end\n"
                                    "end\n"),
                     &f);
    ASSERT_NE(f.List, nullptr);
    EXPECT_TRUE(f.List->OwnerData());
    EXPECT_EQ(f.List->ViewStyle(), vsReport);
    EXPECT_FALSE(f.List->ShowColumnHeaders());
    EXPECT_TRUE(f.List->ReadOnly());
    EXPECT_FALSE(f.List->ColumnClick());
    EXPECT_FALSE(static_cast<QTreeView*>(f.List->Widget())->header()->isVisible());
    const QString written = WriteComponentRes(&f);
    EXPECT_TRUE(written.contains("ShowColumnHeaders = False"));
  }
  FinalizeForms();
}

// ---------------------------------------------------------------- image lists and beeps

TEST(SharedImageLists, AListShowsThePicturesOfTheListItShares) {
  TImageList system(nullptr), shared(nullptr), chained(nullptr);
  TBitmap picture;
  picture.SetSize(16, 16);
  system.Add(&picture, nullptr);
  shared.SetShareImages(true);
  shared.SetDrawingStyle(TImageList::dsTransparent);
  shared.SetHandle(system.Handle());
  chained.SetHandle(shared.Handle());
  EXPECT_EQ(shared.Count(), 1);
  EXPECT_EQ(chained.Count(), 1);
  // Pictures the shared list gains later show as well.
  system.Add(&picture, nullptr);
  EXPECT_EQ(shared.Count(), 2);
  EXPECT_FALSE(chained.GetImage(1).isNull());
  // Its own handle shares nothing; null goes back to its own pictures.
  system.SetHandle(system.Handle());
  EXPECT_EQ(system.Count(), 2);
  shared.SetHandle(nullptr);
  EXPECT_EQ(shared.Count(), 0);
  EXPECT_TRUE(shared.ShareImages());
  EXPECT_EQ(shared.DrawingStyle(), TImageList::dsTransparent);
}

TEST(ClassLibraryBeep, EachBeepIsCounted) {
  const int before = MessageBeepCount();
  Beep();
  Beep();
  EXPECT_EQ(MessageBeepCount(), before + 2);
}

}  // namespace listviewtest

#include "ListViewTest.moc"
