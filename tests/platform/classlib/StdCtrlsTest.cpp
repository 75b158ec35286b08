#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "platform/classlib/CheckLst.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/Streaming.h"
#include "tests/support/TestSupport.h"

namespace stdctrlstest {

class StdControls : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeCheckLst();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 500, 400);
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

  void ShowForm() {
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }

  TForm* form = nullptr;
};

// ---------------------------------------------------------------- check box

TEST_F(StdControls, CheckBoxStandsOnItsParentsColour) {
  auto* panel = Add<TPanel>(Bounds(0, 0, 200, 60));
  panel->SetColor(clCream);
  auto* box = new TCheckBox(form);
  box->SetBounds(10, 10, 150, 17);
  box->SetParent(panel);
  box->SetCaption(QStringLiteral(" Edit"));
  ShowForm();
  const QImage image = box->Widget()->grab().toImage();
  // Right of the caption: only the background.
  EXPECT_EQ(image.pixelColor(image.width() - 3, image.height() / 2), TColorToQColor(clCream));
}

TEST_F(StdControls, CheckBoxClickFollowsEveryChangeOfState) {
  auto* box = Add<TCheckBox>(Bounds(10, 10, 120, 20));
  box->SetCaption("Filters");
  int clicks = 0;
  box->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, box);
    ++clicks;
  };
  ShowForm();

  // The user's click toggles and raises OnClick once.
  QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, QPoint(8, 10));
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 1);
  // A change in code raises it too; the same value does not.
  box->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  box->SetChecked(false);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(static_cast<QCheckBox*>(box->Widget())->isChecked());
  box->SetState(cbGrayed);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(static_cast<QCheckBox*>(box->Widget())->checkState(), Qt::PartiallyChecked);
  box->SetState(cbUnchecked);
  EXPECT_EQ(clicks, 4);
  // The space bar toggles as well; from grayed the user goes to checked.
  box->SetState(cbGrayed);
  QTest::keyClick(box->Widget(), Qt::Key_Space);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 6);
  box->SetAllowGrayed(true);
  QTest::keyClick(box->Widget(), Qt::Key_Space);
  QTest::keyClick(box->Widget(), Qt::Key_Space);
  EXPECT_EQ(box->State(), cbGrayed);
  EXPECT_EQ(clicks, 8);

  // A handler that sets the box it belongs to does not loop.
  box->OnClick = [&](TObject*) {
    ++clicks;
    box->SetChecked(true);
  };
  box->SetChecked(false);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 10);
}

// ---------------------------------------------------------------- edit

TEST_F(StdControls, EditKeyPressCanSwallowCharactersAndOnChangeFollowsText) {
  auto* edit = Add<TEdit>(Bounds(10, 10, 200, 22));
  QString pressed;
  int changes = 0;
  edit->OnKeyPress = [&](TObject*, WideChar& key) {
    pressed += QChar(key);
    if (key == u'x') key = 0;
    if (key == u'q') key = u'Q';  // replaced
  };
  edit->OnChange = [&](TObject*) { ++changes; };
  ShowForm();
  edit->SetFocus();

  QTest::keyClicks(edit->Widget(), "axb");
  EXPECT_EQ(edit->Text(), "ab");
  EXPECT_EQ(pressed, "axb");
  EXPECT_EQ(changes, 2);
  QTest::keyClick(edit->Widget(), Qt::Key_Return);
  EXPECT_EQ(pressed.right(1), QString(QChar(13)));
  EXPECT_EQ(edit->Text(), "ab");
  QTest::keyClicks(edit->Widget(), "q");
  EXPECT_EQ(edit->Text(), "abQ");
  EXPECT_EQ(changes, 3);
  edit->SetText("ab");

  edit->SetText("hello world");
  EXPECT_EQ(changes, 5);
  edit->SetText("hello world");
  EXPECT_EQ(changes, 5);

  edit->SetSelStart(6);
  edit->SetSelLength(5);
  EXPECT_EQ(edit->SelStart(), 6);
  EXPECT_EQ(edit->SelText(), "world");
  edit->SetSelText("there");
  EXPECT_EQ(edit->Text(), "hello there");
  EXPECT_EQ(changes, 6);
  edit->SetSelLength(100);  // clipped at the end
  EXPECT_EQ(edit->SelLength(), 0);
  edit->SelectAll();
  EXPECT_EQ(edit->SelLength(), 11);

  // The window answers the edit messages.
  HWND h = edit->Handle();
  SendMessage(h, EM_SETSEL, 0, 5);
  EXPECT_EQ(edit->SelText(), "hello");
  DWORD start = 0, end = 0;
  SendMessage(h, EM_GETSEL, WPARAM(&start), LPARAM(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 5u);
  SendMessage(h, EM_SETSEL, 0, -1);
  EXPECT_EQ(edit->SelLength(), 11);
  const std::u16string replacement = u"bye";
  SendMessage(h, EM_REPLACESEL, 0, LPARAM(replacement.c_str()));
  EXPECT_EQ(edit->Text(), "bye");
  char16_t buffer[16] = {};
  EXPECT_EQ(SendMessage(h, WM_GETTEXT, 16, LPARAM(buffer)), 3);
  EXPECT_EQ(QString::fromUtf16(buffer), "bye");
  SendMessage(h, EM_SETREADONLY, 1, 0);
  EXPECT_TRUE(static_cast<QLineEdit*>(edit->Widget())->isReadOnly());

  // Password and length limit.
  edit->SetPasswordChar(u'*');
  EXPECT_EQ(static_cast<QLineEdit*>(edit->Widget())->echoMode(), QLineEdit::Password);
  edit->SetMaxLength(2);
  edit->SetText("abcdef");
  EXPECT_EQ(edit->Text(), "ab");
}

// ---------------------------------------------------------------- memo

TEST_F(StdControls, MemoLinesAndWidgetFollowEachOther) {
  auto* memo = Add<TMemo>(Bounds(10, 10, 300, 200));
  auto* text = static_cast<QTextEdit*>(memo->Widget());
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  TStrings* lines = memo->Lines();

  lines->Add("one");
  lines->Add("two");
  EXPECT_EQ(text->toPlainText(), "one\ntwo\n");
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(lines->Count(), 2);
  EXPECT_EQ(changes, 2);
  lines->Insert(1, "mid");
  lines->Put(0, "ONE");
  EXPECT_EQ(text->toPlainText(), "ONE\nmid\ntwo\n");
  lines->Delete(2);
  EXPECT_EQ(text->toPlainText(), "ONE\nmid\n");
  EXPECT_EQ(lines->Strings(), (QStringList{"ONE", "mid"}));
  // An added string with line breaks becomes several lines.
  lines->Add("\r\nafter a blank");
  EXPECT_EQ(lines->Strings(), (QStringList{"ONE", "mid", "", "after a blank"}));
  lines->Exchange(0, 1);
  EXPECT_EQ(text->toPlainText(), "mid\nONE\n\nafter a blank\n");

  // Text set as a whole: a trailing line break makes no line.
  memo->SetText("p\r\nq");
  EXPECT_EQ(lines->Strings(), (QStringList{"p", "q"}));
  lines->Add("r");
  EXPECT_EQ(text->toPlainText(), "p\nq\nr\n");
  memo->SetText("only\r\n");
  EXPECT_EQ(lines->Count(), 1);
  EXPECT_EQ(lines->GetText(), "only\r\n");

  // The user's typing reaches the lines.
  ShowForm();
  memo->SetFocus();
  QTextCursor cursor = text->textCursor();
  cursor.movePosition(QTextCursor::End);
  text->setTextCursor(cursor);
  const int before = changes;
  QTest::keyClicks(text, "typed");
  EXPECT_EQ(lines->Strings(), (QStringList{"only", "typed"}));
  EXPECT_EQ(changes, before + 5);
  QTest::keyClick(text, Qt::Key_Return);
  QTest::keyClicks(text, "x");
  EXPECT_EQ(lines->Strings(), (QStringList{"only", "typed", "x"}));

  // Selection counts one position per line break.
  memo->SetSelStart(5);
  memo->SetSelLength(5);
  EXPECT_EQ(memo->SelText(), "typed");
  memo->SetSelText("TYPED");
  EXPECT_EQ(lines->Get(1), "TYPED");

  lines->LoadFromStream(*std::make_unique<TStringStream>("a\r\nb\r\nc\r\n"));
  EXPECT_EQ(text->toPlainText(), "a\nb\nc\n");
  memo->Clear();
  EXPECT_EQ(lines->Count(), 0);
  EXPECT_TRUE(text->toPlainText().isEmpty());
}

// ---------------------------------------------------------------- button and label

TEST_F(StdControls, ButtonGivesItsModalResultToTheForm) {
  auto* button = Add<TButton>(Bounds(10, 10, 80, 25));
  button->SetCaption("&OK");
  button->SetModalResult(mrOk);
  TModalResult seen = -1;
  button->OnClick = [&](TObject*) { seen = form->ModalResult(); };
  ShowForm();
  QTest::mouseClick(button->Widget(), Qt::LeftButton);
  EXPECT_EQ(form->ModalResult(), mrOk);
  EXPECT_EQ(seen, mrOk);  // set before OnClick runs
  EXPECT_EQ(static_cast<QPushButton*>(button->Widget())->text(), "&OK");
}

TEST_F(StdControls, LabelSizesToItsCaption) {
  auto* label = Add<TLabel>(Bounds(100, 10, 10, 10));
  label->SetCaption("A caption");
  const int oneLine = label->Height();
  const int width = label->Width();
  EXPECT_GT(width, 30);
  label->SetCaption("A much longer caption");
  EXPECT_GT(label->Width(), width);
  label->SetCaption("Two\r\nlines");
  EXPECT_GT(label->Height(), oneLine);

  // Right-justified labels keep their right edge.
  label->SetCaption("abc");
  label->SetAlignment(taRightJustify);
  const int right = label->Left() + label->Width();
  label->SetCaption("abcdefghij");
  EXPECT_EQ(label->Left() + label->Width(), right);

  // Word wrap keeps the width and grows downwards.
  label->SetWordWrap(true);
  label->SetWidth(40);
  label->SetCaption("several words that do not fit on one line");
  EXPECT_EQ(label->Width(), 40);
  EXPECT_GT(label->Height(), 2 * oneLine);

  // A label paints its colour unless it is transparent.
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 60, 20);
  label->SetCaption("");
  label->SetColor(clRed);
  ShowForm();
  QImage image = label->Widget()->grab().toImage();
  EXPECT_EQ(image.pixelColor(30, 10), QColor(Qt::red));
  label->SetTransparent(true);
  form->SetColor(clBlue);
  image = form->Widget()->grab().toImage();
  EXPECT_EQ(image.pixelColor(30, 10), QColor(Qt::blue));
}

// ---------------------------------------------------------------- list box

TEST_F(StdControls, OwnerDrawnListDrawsEachItemInItsRectangle) {
  auto* list = Add<TListBox>(Bounds(10, 10, 200, 120));
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(13);
  list->Items()->Add(" ... first");
  list->Items()->Add(" >> second");
  list->Items()->Add(" << third");
  std::map<int, TRect> drawn;
  list->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
    EXPECT_EQ(control, list);
    drawn[index] = rect;
    TCanvas* canvas = list->Canvas();
    canvas->Brush()->SetColor(state.Contains(odSelected) ? TColor(0x895F0A) : (index == 1 ? clRed : clWhite));
    canvas->FillRect(rect);
    canvas->TextOut(rect.Left, rect.Top, list->Items()->Get(index));
  };
  ShowForm();
  const QImage image = static_cast<QListWidget*>(list->Widget())->viewport()->grab().toImage();

  ASSERT_EQ(drawn.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(drawn[i].Top, i * 13) << i;
    EXPECT_EQ(drawn[i].Height(), 13) << i;
    EXPECT_EQ(drawn[i].Left, 0);
    EXPECT_EQ(drawn[i].Width(), static_cast<QListWidget*>(list->Widget())->viewport()->width());
    EXPECT_EQ(drawn[i], list->ItemRect(i));
  }
  EXPECT_EQ(image.pixelColor(drawn[1].Right - 3, 13 + 6), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(drawn[0].Right - 3, 6), QColor(Qt::white));
  // Wider later, the items follow.
  list->SetWidth(260);
  EXPECT_TRUE(testsupport::waitFor([&] {
    return list->ItemRect(0).Width() == static_cast<QListWidget*>(list->Widget())->viewport()->width();
  }));
  EXPECT_EQ(list->ItemAtPos(TPoint(5, 20), true), 1);
  EXPECT_EQ(list->ItemAtPos(TPoint(5, 100), true), -1);
  EXPECT_EQ(list->ItemAtPos(TPoint(5, 100), false), 3);

  // The selected line is drawn with the selected state.
  list->SetItemIndex(2);
  const QImage selected = static_cast<QListWidget*>(list->Widget())->viewport()->grab().toImage();
  EXPECT_EQ(selected.pixelColor(drawn[2].Right - 3, 26 + 6), QColor(0x0A, 0x5F, 0x89));
}

TEST_F(StdControls, ListBoxSelectionClicksAndSorting) {
  auto* list = Add<TListBox>(Bounds(10, 10, 200, 150));
  for (const char* s : {"beta", "Alpha", "gamma"}) list->Items()->Add(s);
  int clicks = 0, doubles = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->OnDblClick = [&](TObject*) { ++doubles; };
  ShowForm();

  // Code selects silently; the user's click raises OnClick.
  list->SetItemIndex(1);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(clicks, 0);
  auto* view = static_cast<QListWidget*>(list->Widget());
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(view->item(2)).center());
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  // A double click as the platform delivers it: click, double click, release.
  const QPoint first = view->visualItemRect(view->item(0)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, first);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, first);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(list->ItemIndex(), 0);
  // Moving with the keyboard counts as a click.
  list->SetFocus();
  const int before = clicks;
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(clicks, before + 1);
  list->SetItemIndex(-1);
  EXPECT_EQ(list->ItemIndex(), -1);
  // The first visible item.
  for (int i = 0; i < 40; ++i) list->Items()->Add(QStringLiteral("line %1").arg(i));
  EXPECT_EQ(list->TopIndex(), 0);
  list->SetTopIndex(20);
  EXPECT_EQ(list->TopIndex(), 20);
  for (int i = 0; i < 40; ++i) list->Items()->Delete(3);

  // Sorting compares without case and keeps duplicates.
  list->SetSorted(true);
  EXPECT_EQ(list->Items()->Strings(), (QStringList{"Alpha", "beta", "gamma"}));
  list->Items()->Add("ALPHA");
  list->Items()->Add("Delta");
  EXPECT_EQ(list->Items()->Count(), 5);
  EXPECT_EQ(list->Items()->IndexOf("delta"), 3);
  for (int i = 0; i < view->count(); ++i) EXPECT_EQ(view->item(i)->text(), list->Items()->Get(i));
  list->Items()->Delete(0);
  EXPECT_EQ(view->count(), 4);

  // Multiple selection.
  list->SetMultiSelect(true);
  list->SetSelected(0, true);
  list->SetSelected(2, true);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_TRUE(list->Selected(2));
  EXPECT_FALSE(list->Selected(1));
  EXPECT_THROW(list->Selected(9), EStringListError);
}

// ---------------------------------------------------------------- check list box

TEST_F(StdControls, CheckListMarksFromCodeAreSilentUserTogglesAreNot) {
  auto* list = Add<TCheckListBox>(Bounds(10, 10, 220, 200));
  for (const char* s : {"Script", "anchor", "Body", "base"}) list->Items()->Add(s);
  list->SetSorted(true);
  EXPECT_EQ(list->Items()->Strings(), (QStringList{"anchor", "base", "Body", "Script"}));
  QStringList events;
  list->OnClickCheck = [&](TObject*) { events << "check"; };
  list->OnClick = [&](TObject*) { events << "click"; };
  ShowForm();

  list->SetChecked(1, true);
  list->SetState(3, cbGrayed);
  EXPECT_TRUE(events.isEmpty());
  EXPECT_TRUE(list->Checked(1));
  EXPECT_FALSE(list->Checked(3));
  EXPECT_EQ(list->State(3), cbGrayed);
  EXPECT_FALSE(list->Checked(4));  // past the end
  EXPECT_FALSE(list->Checked(-1));
  EXPECT_THROW(list->SetChecked(4, true), EStringListError);

  // Pressing the check box toggles; the release reports the click.
  auto* view = static_cast<QListWidget*>(list->Widget());
  const QRect first = view->visualItemRect(view->item(0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(first.left() + 5, first.center().y()));
  EXPECT_TRUE(list->Checked(0));
  EXPECT_EQ(events, (QStringList{"check", "click"}));
  EXPECT_EQ(list->ItemIndex(), 0);
  // A click on the text only selects.
  events.clear();
  const QRect second = view->visualItemRect(view->item(1));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(second.right() - 10, second.center().y()));
  EXPECT_TRUE(list->Checked(1));
  EXPECT_EQ(events, QStringList{"click"});
  // The space bar toggles the selected item.
  events.clear();
  list->SetFocus();
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_FALSE(list->Checked(1));
  EXPECT_EQ(events, (QStringList{"check", "click"}));

  // A disabled item does not toggle.
  events.clear();
  list->SetItemEnabled(2, false);
  const QRect third = view->visualItemRect(view->item(2));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(third.left() + 5, third.center().y()));
  EXPECT_FALSE(list->Checked(2));
  EXPECT_FALSE(events.contains("check"));

  // Marks travel with their items when the list is sorted again or refilled.
  list->SetSorted(false);
  list->Items()->Exchange(0, 3);
  EXPECT_EQ(list->Items()->Get(3), "anchor");
  EXPECT_TRUE(list->Checked(3));
  EXPECT_EQ(list->State(0), cbGrayed);
  list->Items()->Add("New");
  EXPECT_FALSE(list->Checked(4));
}

// ---------------------------------------------------------------- combo box

TEST_F(StdControls, ComboTextIndexAndDropDown) {
  auto* combo = Add<TComboBox>(Bounds(10, 10, 200, 24));
  for (const char* s : {"alpha", "beta", "gamma"}) combo->Items()->Add(s);
  QStringList events;
  combo->OnChange = [&](TObject*) { events << "change"; };
  combo->OnClick = [&](TObject*) { events << "click"; };
  combo->OnDropDown = [&](TObject*) { events << "dropdown"; };
  combo->OnCloseUp = [&](TObject*) { events << "closeup"; };
  ShowForm();

  // Adding entries kept the (empty) text; code selects silently.
  EXPECT_EQ(combo->Text(), "");
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "beta");
  combo->SetText("GAMMA");
  EXPECT_EQ(combo->ItemIndex(), 2);
  combo->SetText("not listed");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "not listed");
  combo->Items()->Clear();  // the text stays
  EXPECT_EQ(combo->Text(), "not listed");
  for (const char* s : {"alpha", "beta", "gamma"}) combo->Items()->Add(s);
  EXPECT_TRUE(events.isEmpty());

  // Open and close the list; a choice in the list raises click and change.
  combo->SetDroppedDown(true);
  ASSERT_TRUE(combo->DroppedDown());
  QAbstractItemView* view = static_cast<QComboBox*>(combo->Widget())->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(2, 0)).center());
  EXPECT_TRUE(testsupport::waitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), "gamma");
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(events, (QStringList{"dropdown", "closeup", "click", "change"}));
  // With OnSelect assigned the choice raises it instead of OnChange.
  events.clear();
  combo->OnSelect = [&](TObject*) { events << "select"; };
  combo->SetDroppedDown(true);
  combo->SetDroppedDown(false);
  EXPECT_FALSE(combo->DroppedDown());
  SendMessage(combo->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  EXPECT_TRUE(combo->DroppedDown());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(0, 0)).center());
  EXPECT_TRUE(testsupport::waitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(events, (QStringList{"dropdown", "closeup", "dropdown", "closeup", "click", "select"}));
  EXPECT_EQ(combo->Text(), "alpha");
}

TEST_F(StdControls, ComboOpenListKeysGoThroughTheKeyHandlingOnce) {
  auto* combo = Add<TComboBox>(Bounds(10, 10, 200, 24));
  for (const char* s : {"alpha", "beta", "gamma"}) combo->Items()->Add(s);
  QStringList events;
  combo->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    events << QStringLiteral("key %1").arg(key);
    if (key == VK_F2) key = 0;
  };
  combo->OnClick = [&](TObject*) { events << "click"; };
  ShowForm();
  QAbstractItemView* view = static_cast<QComboBox*>(combo->Widget())->view();

  // Without a handler taking them, Down moves in the list and Enter picks
  // the entry; each key reaches the key handling once.
  combo->SetDroppedDown(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  view->setCurrentIndex(view->model()->index(0, 0));
  QTest::keyClick(view, Qt::Key_Down);
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_TRUE(testsupport::waitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), "beta");
  EXPECT_EQ(events, (QStringList{"key 40", "key 13", "click"}));

  // Esc closes the list without a choice; a key the handler swallowed does nothing.
  events.clear();
  combo->SetDroppedDown(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  QTest::keyClick(view, Qt::Key_F2);
  EXPECT_TRUE(combo->DroppedDown());
  QTest::keyClick(view, Qt::Key_Escape);
  EXPECT_TRUE(testsupport::waitFor([&] { return !combo->DroppedDown(); }));
  EXPECT_EQ(combo->Text(), "beta");
  EXPECT_EQ(events, (QStringList{"key 113", "key 27"}));
}

TEST_F(StdControls, ComboEditFieldIsAChildWindowWithSelectionAndKeys) {
  auto* combo = Add<TComboBox>(Bounds(10, 10, 200, 24));
  for (const char* s : {"http://a.example/", "http://b.example/"}) combo->Items()->Add(s);
  QStringList events;
  combo->OnChange = [&](TObject*) { events << "change"; };
  std::vector<Word> keys;
  combo->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    keys.push_back(key);
    if (key == VK_DOWN) key = VK_CLEAR;  // consumed, as the address box does
  };
  QString typed;
  combo->OnKeyPress = [&](TObject*, WideChar& key) { typed += QChar(key); };
  ShowForm();

  HWND h = combo->Handle();
  HWND edit = combo->EditHandle();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetWindow(h, GW_CHILD), edit);
  EXPECT_EQ(GetClassName(edit), "Edit");
  EXPECT_EQ(WidgetOf(edit), static_cast<QComboBox*>(combo->Widget())->lineEdit());

  // Combo-box messages.
  EXPECT_EQ(SendMessage(h, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessage(h, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(combo->Text(), "http://b.example/");
  char16_t buffer[64] = {};
  EXPECT_EQ(SendMessage(h, CB_GETLBTEXT, 0, LPARAM(buffer)), 17);
  EXPECT_EQ(QString::fromUtf16(buffer), "http://a.example/");
  const std::u16string prefix = u"HTTP://B";
  EXPECT_EQ(SendMessage(h, CB_FINDSTRING, WPARAM(-1), LPARAM(prefix.c_str())), 1);
  RECT r;
  SendMessage(h, CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&r));
  EXPECT_GT(r.bottom, r.top);
  EXPECT_EQ(r.Width(), 200);

  // The edit field answers edit messages.
  SendMessage(edit, EM_SETSEL, 7, 8);
  EXPECT_EQ(combo->SelStart(), 7);
  EXPECT_EQ(combo->SelText(), "b");
  combo->SetSelText("c");
  EXPECT_EQ(combo->Text(), "http://c.example/");
  EXPECT_EQ(combo->ItemIndex(), -1);  // the text is no entry's now
  SendMessage(edit, EM_SETSEL, 0, -1);
  EXPECT_EQ(combo->SelLength(), 17);
  combo->SetSelStart(4);
  combo->SetSelLength(3);
  EXPECT_EQ(combo->SelText(), "://");
  EXPECT_EQ(SendMessage(edit, WM_GETTEXTLENGTH, 0, 0), 17);

  // Keys typed in the field reach the combo box's key events; a replaced
  // key does not reach the field.
  combo->SetFocus();
  combo->SetItemIndex(0);
  QLineEdit* line = static_cast<QComboBox*>(combo->Widget())->lineEdit();
  QTest::keyClick(line, Qt::Key_Down);
  EXPECT_EQ(keys, std::vector<Word>{VK_DOWN});
  EXPECT_EQ(combo->ItemIndex(), 0);
  events.clear();
  line->setCursorPosition(int(line->text().size()));
  QTest::keyClicks(line, "xy");
  EXPECT_EQ(typed, "xy");
  EXPECT_EQ(combo->Text(), "http://a.example/xy");
  EXPECT_EQ(events, (QStringList{"change", "change"}));

  // Code changes of the text raise nothing.
  events.clear();
  combo->SetText("typed in code");
  EXPECT_TRUE(events.isEmpty());
}

TEST_F(StdControls, OwnerDrawnComboDrawsEntriesAndItsFace) {
  auto* combo = Add<TComboBox>(Bounds(10, 10, 200, 24));
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(18);
  for (const char* s : {"one", "two"}) combo->Items()->Add(s);
  std::vector<std::pair<int, bool>> drawn;  // index, face
  combo->OnDrawItem = [&](TWinControl*, int index, TRect rect, TOwnerDrawState state) {
    drawn.emplace_back(index, state.Contains(odComboBoxEdit));
    combo->Canvas()->Brush()->SetColor(clLime);
    combo->Canvas()->FillRect(rect);
  };
  combo->SetItemIndex(1);
  ShowForm();
  EXPECT_EQ(combo->Text(), "two");
  EXPECT_EQ(combo->EditHandle(), nullptr);  // no edit field

  drawn.clear();
  const QImage face = combo->Widget()->grab().toImage();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back(), std::make_pair(1, true));
  EXPECT_EQ(face.pixelColor(face.width() / 3, face.height() / 2), QColor(Qt::green));

  drawn.clear();
  combo->SetDroppedDown(true);
  QAbstractItemView* view = static_cast<QComboBox*>(combo->Widget())->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  view->viewport()->grab();
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), std::make_pair(0, false)), drawn.end());
  EXPECT_EQ(view->visualRect(view->model()->index(0, 0)).height(), 18);
  combo->SetDroppedDown(false);
}

// ---------------------------------------------------------------- form resources

namespace stdctrlsstreaming {

class TCtlTestForm : public TForm {
  Q_OBJECT
 public:
  using TForm::TForm;
  TCheckListBox* Filters = nullptr;
  TListBox* Log = nullptr;
  QStringList calls;
  void FiltersClickCheck(TObject*) { calls << "check"; }
  void LogDrawItem(TWinControl*, int index, TRect, TOwnerDrawState) {
    calls << QStringLiteral("draw %1").arg(index);
  }
  void EditKeyPress(TObject*, WideChar& key) { calls << QStringLiteral("key %1").arg(int(key)); }
};

TEST_F(StdControls, ControlsReadTheirPropertiesAndEventsFromAFormResource) {
  RegisterClass<TCtlTestForm>();
  RegisterHandlers<TCtlTestForm>({HandlerEntry("FiltersClickCheck", &TCtlTestForm::FiltersClickCheck),
                                  HandlerEntry("LogDrawItem", &TCtlTestForm::LogDrawItem),
                                  HandlerEntry("EditKeyPress", &TCtlTestForm::EditKeyPress),
                                  FieldEntry("Filters", &TCtlTestForm::Filters),
                                  FieldEntry("Log", &TCtlTestForm::Log)});
  const QString text = QStringLiteral(
      "object CtlTestForm: TCtlTestForm\n"
      "  object Caption1: TLabel\n"
      "    Caption = '  Security Status:'\n"
      "    Layout = tlCenter\n"
      "    Transparent = True\n"
      "    Alignment = taRightJustify\n"
      "    Font.Color = clGray\n"
      "  end\n"
      "  object Password: TEdit\n"
      "    PasswordChar = '*'\n"
      "    MaxLength = 20\n"
      "    Text = 'secret'\n"
      "    BorderStyle = bsNone\n"
      "    OnKeyPress = EditKeyPress\n"
      "  end\n"
      "  object Notes: TMemo\n"
      "    ScrollBars = ssVertical\n"
      "    WordWrap = False\n"
      "    Lines.Strings = (\n"
      "      'first'\n"
      "      'second')\n"
      "  end\n"
      "  object Filters: TCheckListBox\n"
      "    Sorted = True\n"
      "    Items.Strings = (\n"
      "      'Script'\n"
      "      'anchor')\n"
      "    OnClickCheck = FiltersClickCheck\n"
      "  end\n"
      "  object Log: TListBox\n"
      "    Style = lbOwnerDrawFixed\n"
      "    ItemHeight = 13\n"
      "    OnDrawItem = LogDrawItem\n"
      "  end\n"
      "  object Choice: TComboBox\n"
      "    Style = csDropDownList\n"
      "    Items.Strings = (\n"
      "      'one'\n"
      "      'two')\n"
      "  end\n"
      "  object Box: TCheckBox\n"
      "    Caption = ' Filters'\n"
      "    Checked = True\n"
      "  end\n"
      "  object OK: TButton\n"
      "    Caption = 'OK'\n"
      "    ModalResult = 1\n"
      "    Default = True\n"
      "  end\n"
      "end\n");
  TCtlTestForm f(nullptr);
  ReadComponentRes(text, &f);

  auto* label = qobject_cast<TLabel*>(f.FindComponent("Caption1"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Caption(), "  Security Status:");
  EXPECT_EQ(label->Layout(), tlCenter);
  EXPECT_TRUE(label->Transparent());
  EXPECT_EQ(label->Alignment(), taRightJustify);
  EXPECT_EQ(label->Font()->GetColor(), clGray);
  auto* edit = qobject_cast<TEdit*>(f.FindComponent("Password"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->PasswordChar(), u'*');
  EXPECT_EQ(edit->MaxLength(), 20);
  EXPECT_EQ(edit->Text(), "secret");
  EXPECT_EQ(edit->BorderStyle(), bsNone);
  ASSERT_TRUE(bool(edit->OnKeyPress));
  WideChar key = 13;
  edit->OnKeyPress(edit, key);
  auto* memo = qobject_cast<TMemo*>(f.FindComponent("Notes"));
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->ScrollBars(), ssVertical);
  EXPECT_FALSE(memo->WordWrap());
  EXPECT_EQ(memo->Lines()->Strings(), (QStringList{"first", "second"}));
  ASSERT_NE(f.Filters, nullptr);
  EXPECT_EQ(f.Filters->Items()->Strings(), (QStringList{"anchor", "Script"}));
  ASSERT_TRUE(bool(f.Filters->OnClickCheck));
  ASSERT_NE(f.Log, nullptr);
  EXPECT_EQ(f.Log->Style(), lbOwnerDrawFixed);
  EXPECT_EQ(f.Log->ItemHeight(), 13);
  ASSERT_TRUE(bool(f.Log->OnDrawItem));
  auto* combo = qobject_cast<TComboBox*>(f.FindComponent("Choice"));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Style(), csDropDownList);
  EXPECT_EQ(combo->Items()->Count(), 2);
  auto* box = qobject_cast<TCheckBox*>(f.FindComponent("Box"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->Checked());
  auto* ok = qobject_cast<TButton*>(f.FindComponent("OK"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_TRUE(ok->Default());
  EXPECT_EQ(f.calls, QStringList{"key 13"});

  // Written back out, the values come back.
  const QString written = WriteComponentRes(&f);
  EXPECT_TRUE(written.contains("PasswordChar = '*'")) << written.toStdString();
  EXPECT_TRUE(written.contains("OnDrawItem = LogDrawItem"));
  EXPECT_TRUE(written.contains("Style = lbOwnerDrawFixed"));
  TCtlTestForm copy(nullptr);
  ReadComponentRes(written, &copy);
  ASSERT_NE(copy.Filters, nullptr);
  EXPECT_EQ(copy.Filters->Items()->Strings(), (QStringList{"anchor", "Script"}));
  EXPECT_TRUE(qobject_cast<TCheckBox*>(copy.FindComponent("Box"))->Checked());
  EXPECT_EQ(qobject_cast<TMemo*>(copy.FindComponent("Notes"))->Lines()->Count(), 2);
}

}  // namespace stdctrlsstreaming

}  // namespace stdctrlstest

#include "StdCtrlsTest.moc"
