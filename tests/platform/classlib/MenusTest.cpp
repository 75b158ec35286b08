#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <functional>

#include "platform/classlib/Menus.h"
#include "platform/classlib/Streaming.h"

#include "tests/support/TestSupport.h"

namespace menustest {

TMenuItem* NewItem(TComponent* owner, const QString& caption, QStringList* log = nullptr) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  if (log) item->OnClick = [log, caption](TObject*) { *log << caption; };
  return item;
}

// Runs `step` on the open popup menu, or looks again a little later. Each
// look holds only `step`, so nothing is left behind once it has run.
void StepOnOpenMenu(const std::function<void(QMenu*)>& step) {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (menu && menu->isVisible()) {
    step(menu);
    return;
  }
  QTimer::singleShot(10, [step] { StepOnOpenMenu(step); });
}

// Runs `step` on the Qt menu that Popup shows, once it is open.
void WhenMenuOpens(std::function<void(QMenu*)> step) {
  QTimer::singleShot(0, [step] { StepOnOpenMenu(step); });
}

QStringList ActionTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

TEST(ShortCutTest, TextRoundTripsAndModifierOrder) {
  EXPECT_EQ(ShortCutToText(ShortCut('S', {ssCtrl})), "Ctrl+S");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F5, {ssAlt, ssCtrl, ssShift})), "Shift+Ctrl+Alt+F5");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {})), "Del");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_ADD, {ssCtrl})), "Ctrl+Num +");
  EXPECT_EQ(ShortCut('S', {ssCtrl}), TShortCut(scCtrl | 'S'));

  const TShortCut samples[] = {ShortCut('A', {}),
                               ShortCut('0', {ssShift}),
                               ShortCut(VK_F12, {ssAlt}),
                               ShortCut(VK_RETURN, {ssCtrl}),
                               ShortCut(VK_OEM_MINUS, {ssCtrl}),
                               ShortCut(VK_SUBTRACT, {ssShift}),
                               ShortCut(VK_PRIOR, {ssShift, ssCtrl})};
  for (TShortCut sc : samples)
    EXPECT_EQ(TextToShortCut(ShortCutToText(sc)), sc) << ShortCutToText(sc).toStdString();

  EXPECT_EQ(TextToShortCut("ctrl+shift+f5"), ShortCut(VK_F5, {ssShift, ssCtrl}));
  EXPECT_EQ(TextToShortCut("Ctrl+-"), ShortCut(VK_OEM_MINUS, {ssCtrl}));
  EXPECT_EQ(TextToShortCut("Ctrl+"), scNone);
  EXPECT_EQ(TextToShortCut("Ctrl+Nothing"), scNone);
  EXPECT_EQ(TextToShortCut(""), scNone);
  EXPECT_EQ(ShortCutToText(scNone), "");
  EXPECT_EQ(ShortCutToText(scCtrl | 0xFF), "");  // a key without a name

  Word key;
  TShiftState shift;
  ShortCutToKey(ShortCut(VK_F2, {ssShift, ssAlt}), key, shift);
  EXPECT_EQ(key, VK_F2);
  EXPECT_EQ(shift, (TShiftState{ssShift, ssAlt}));
}

TEST(MenuItemTest, ListOperationsFindAndSeparators) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  QStringList log;
  TMenuItem* file = NewItem(&owner, "&File");
  TMenuItem* line = NewItem(&owner, "-");
  TMenuItem* save = NewItem(&owner, "Save && &Close");
  popup.Items()->Add(file);
  popup.Items()->Add(save);
  popup.Items()->Insert(1, line);

  EXPECT_EQ(popup.Items()->Count(), 3);
  EXPECT_EQ(popup.Items()->IndexOf(line), 1);
  EXPECT_EQ(save->MenuIndex(), 2);
  EXPECT_TRUE(line->IsLine());
  EXPECT_FALSE(file->IsLine());
  EXPECT_EQ(popup.Items()->Find("file"), file);
  EXPECT_EQ(popup.Items()->Find("Save && Close"), save);
  EXPECT_EQ(popup.Items()->Find("Close"), nullptr);
  EXPECT_EQ(file->GetParentMenu(), &popup);
  EXPECT_THROW(popup.Items()->Items(3), EMenuError);

  // Nested items belong to the menu through their parents; an item cannot go
  // below itself.
  TMenuItem* recent = NewItem(&owner, "Recent");
  file->Add(recent);
  EXPECT_EQ(recent->GetParentMenu(), &popup);
  EXPECT_EQ(recent->GetParentComponent(), file);
  EXPECT_EQ(file->GetParentComponent(), &popup);
  EXPECT_THROW(recent->Add(file), EMenuError);
  EXPECT_THROW(file->Add(file), EMenuError);

  // Adding an item elsewhere takes it out of its old list; Delete does not free.
  popup.Items()->Add(recent);
  EXPECT_EQ(file->Count(), 0);
  EXPECT_EQ(recent->Parent(), popup.Items());
  popup.Items()->Delete(recent->MenuIndex());
  EXPECT_EQ(recent->Parent(), nullptr);
  delete recent;
  EXPECT_EQ(popup.Items()->Count(), 3);
}

TEST(MenuItemTest, FreeingItemsKeepsTreeAndOwnerConsistent) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  TMenuItem* folder = NewItem(&owner, "Folder");
  popup.Items()->Add(folder);
  // Children owned by their parent item, as menus built at run time do.
  for (int i = 0; i < 3; ++i) folder->Add(NewItem(folder, QStringLiteral("Child %1").arg(i)));
  TMenuItem* other = NewItem(&owner, "Other");
  folder->Add(other);
  EXPECT_EQ(owner.ComponentCount(), 3);  // popup, folder, other

  // Freeing an item frees its list and leaves its parent's list.
  delete other;
  EXPECT_EQ(folder->Count(), 3);
  EXPECT_EQ(owner.ComponentCount(), 2);
  folder->Clear();
  EXPECT_EQ(folder->Count(), 0);
  EXPECT_EQ(folder->ComponentCount(), 0);

  folder->Add(NewItem(&owner, "A"));
  folder->Add(NewItem(&owner, "B"));
  delete folder;
  EXPECT_EQ(popup.Items()->Count(), 0);
  EXPECT_EQ(owner.ComponentCount(), 1);  // only the popup remains
}

TEST(MenuItemTest, RadioItemsOfOneGroupExcludeEachOther) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  TMenuItem* items[4];
  for (int i = 0; i < 4; ++i) {
    items[i] = NewItem(&owner, QStringLiteral("R%1").arg(i));
    items[i]->SetRadioItem(true);
    items[i]->SetGroupIndex(i < 3 ? 1 : 2);
    popup.Items()->Add(items[i]);
  }
  items[0]->SetChecked(true);
  items[3]->SetChecked(true);
  items[1]->SetChecked(true);
  EXPECT_FALSE(items[0]->Checked());
  EXPECT_TRUE(items[1]->Checked());
  EXPECT_TRUE(items[3]->Checked());  // another group
  // Plain check items are independent.
  TMenuItem* check = NewItem(&owner, "Check");
  check->SetGroupIndex(1);
  popup.Items()->Add(check);
  check->SetChecked(true);
  EXPECT_TRUE(items[1]->Checked());
}

TEST(PopupMenuTest, PopupShowsEntriesAndRunsChosenItemAfterClosing) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  QStringList log;
  popup.OnPopup = [&log](TObject*) { log << "popup"; };
  TMenuItem* one = NewItem(&owner, "&One", &log);
  TMenuItem* two = NewItem(&owner, "Two", &log);
  two->SetEnabled(false);
  TMenuItem* hidden = NewItem(&owner, "Hidden", &log);
  hidden->SetVisible(false);
  TMenuItem* three = NewItem(&owner, "Three", &log);
  three->SetShortCut(ShortCut('T', {ssCtrl}));
  for (TMenuItem* i : {one, NewItem(&owner, "-"), two, hidden, three}) popup.Items()->Add(i);

  QStringList shown;
  bool menuOpenAtClick = true;
  three->OnClick = [&](TObject* sender) {
    log << "Three";
    EXPECT_EQ(sender, three);
    menuOpenAtClick = popup.ActiveQMenu() != nullptr;
    popup.Items()->Clear();  // a handler may rebuild the menu
  };
  WhenMenuOpens([&](QMenu* menu) {
    shown = ActionTexts(menu);
    EXPECT_EQ(menu->actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    QTest::keyClick(menu, Qt::Key_Down);  // One
    QTest::keyClick(menu, Qt::Key_Down);  // Two is disabled: Three
    QTest::keyClick(menu, Qt::Key_Return);
  });
  popup.Popup(40, 50);

  EXPECT_EQ(shown, (QStringList{"&One", "-", "Two", "Three"}));
  EXPECT_EQ(log, (QStringList{"popup", "Three"}));
  EXPECT_FALSE(menuOpenAtClick);
  EXPECT_EQ(popup.PopupPoint(), TPoint(40, 50));
  EXPECT_EQ(popup.Items()->Count(), 0);
}

TEST(PopupMenuTest, SubMenuFillsLazilyFromItsOnClick) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  QStringList log;
  TMenuItem* folder = NewItem(&owner, "Folder");
  TMenuItem* placeholder = NewItem(folder, "placeholder");
  placeholder->SetVisible(false);
  folder->Add(placeholder);
  int fills = 0;
  folder->OnClick = [&](TObject*) {
    if (fills++ > 0) return;
    folder->Add(NewItem(folder, "Page A", &log));
    folder->Add(NewItem(folder, "Page B", &log));
  };
  popup.Items()->Add(folder);

  QStringList subShown;
  WhenMenuOpens([&](QMenu* menu) {
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Right);  // opens the sub-menu
    WhenMenuOpens([&](QMenu* sub) {
      subShown = ActionTexts(sub);
      QTest::keyClick(sub, Qt::Key_Down);  // the first entry is active on opening
      QTest::keyClick(sub, Qt::Key_Return);
    });
  });
  popup.Popup(10, 10);

  EXPECT_EQ(fills, 1);
  EXPECT_EQ(subShown, (QStringList{"Page A", "Page B"}));
  EXPECT_EQ(log, (QStringList{"Page B"}));
}

TEST(PopupMenuTest, PicturesComeFromTheParentsListOrTheMenus) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  TImageList menuImages(nullptr), folderImages(nullptr);
  TBitmap red, blue;
  red.SetSize(16, 16);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 16, 16));
  blue.SetSize(16, 16);
  blue.Canvas()->Brush()->SetColor(clBlue);
  blue.Canvas()->FillRect(Rect(0, 0, 16, 16));
  menuImages.Add(&red, nullptr);
  folderImages.Add(&blue, nullptr);
  popup.SetImages(&menuImages);
  TMenuItem* plain = NewItem(&owner, "Plain");
  plain->SetImageIndex(0);
  TMenuItem* folder = NewItem(&owner, "Folder");
  folder->SetSubMenuImages(&folderImages);
  TMenuItem* page = NewItem(&owner, "Page");
  page->SetImageIndex(0);
  folder->Add(page);
  TMenuItem* none = NewItem(&owner, "None");
  none->SetImageIndex(5);  // past the list's end
  popup.Items()->Add(plain);
  popup.Items()->Add(folder);
  popup.Items()->Add(none);
  EXPECT_EQ(plain->ImageList(), &menuImages);
  EXPECT_EQ(page->ImageList(), &folderImages);

  QMenu menu;
  popup.Items()->FillQMenu(&menu);
  ASSERT_EQ(menu.actions().size(), 3);
  EXPECT_EQ(menu.actions()[0]->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));
  EXPECT_TRUE(menu.actions()[2]->icon().isNull());
  QMenu* sub = menu.actions()[1]->menu();
  ASSERT_NE(sub, nullptr);
  folder->Items(0)->Parent()->FillQMenu(sub);
  EXPECT_EQ(sub->actions()[0]->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
  EXPECT_EQ(ItemOfAction(sub->actions()[0]), page);

  // A freed picture list is forgotten.
  {
    TImageList gone(nullptr);
    popup.SetImages(&gone);
    folder->SetSubMenuImages(&gone);
  }
  EXPECT_EQ(popup.Images(), nullptr);
  EXPECT_EQ(folder->SubMenuImages(), nullptr);
  EXPECT_EQ(plain->ImageList(), nullptr);
}

TEST(MainMenuTest, MenuBarShowsTheEntries) {
  TComponent owner(nullptr);
  TMainMenu mainMenu(&owner);
  QStringList log;
  TMenuItem* file = NewItem(&owner, "&File", &log);
  file->Add(NewItem(&owner, "&Open", &log));
  mainMenu.Items()->Add(file);
  mainMenu.Items()->Add(NewItem(&owner, "&Help", &log));
  QMenuBar bar;
  mainMenu.FillMenuBar(&bar);
  ASSERT_EQ(bar.actions().size(), 2);
  EXPECT_EQ(bar.actions()[0]->text(), "&File");
  bar.actions()[1]->trigger();
  EXPECT_EQ(log, QStringList{"&Help"});
  // Opening the drop-down runs the entry's OnClick and fills it.
  QMenu* drop = bar.actions()[0]->menu();
  ASSERT_NE(drop, nullptr);
  emit drop->aboutToShow();
  EXPECT_EQ(log, (QStringList{"&Help", "&File"}));
  ASSERT_EQ(drop->actions().size(), 1);
  emit drop->triggered(drop->actions()[0]);
  EXPECT_EQ(log.last(), "&Open");
}

TEST(PopupMenuTest, EscapeChoosesNothing) {
  TComponent owner(nullptr);
  TPopupMenu popup(&owner);
  QStringList log;
  popup.Items()->Add(NewItem(&owner, "Only", &log));
  WhenMenuOpens([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
  popup.Popup(0, 0);
  EXPECT_TRUE(log.isEmpty());
  // A menu without entries shows nothing and returns at once.
  TPopupMenu empty(&owner);
  empty.Popup(0, 0);
}

// A form whose resource holds a popup menu with nested items.
class TMenuTestForm : public TComponent {
  Q_OBJECT
 public:
  using TComponent::TComponent;
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* OpenItem = nullptr;
  QStringList calls;
  void OpenItemClick(TObject* sender) { calls << dynamic_cast<TComponent*>(sender)->Name(); }
};

TEST(MenuStreamingTest, ItemsNestInTheirMenuAndParentItems) {
  InitializeMenus();
  RegisterClass<TMenuTestForm>();
  RegisterHandlers<TMenuTestForm>({HandlerEntry("OpenItemClick", &TMenuTestForm::OpenItemClick),
                                   FieldEntry("PopupMenu1", &TMenuTestForm::PopupMenu1),
                                   FieldEntry("OpenItem", &TMenuTestForm::OpenItem)});
  const QString text = QStringLiteral(
      "object MenuTestForm: TMenuTestForm\n"
      "  object PopupMenu1: TPopupMenu\n"
      "    AutoPopup = False\n"
      "    object FileItem: TMenuItem\n"
      "      Caption = '&File'\n"
      "      object OpenItem: TMenuItem\n"
      "        Caption = 'Open'\n"
      "        ShortCut = 16463\n"
      "        OnClick = OpenItemClick\n"
      "      end\n"
      "      object N1: TMenuItem\n"
      "        Caption = '-'\n"
      "      end\n"
      "    end\n"
      "    object HelpItem: TMenuItem\n"
      "      Caption = 'Help'\n"
      "      Enabled = False\n"
      "    end\n"
      "  end\n"
      "end\n");
  TMenuTestForm form(nullptr);
  ReadComponentRes(text, &form);
  ASSERT_NE(form.PopupMenu1, nullptr);
  ASSERT_NE(form.OpenItem, nullptr);
  EXPECT_FALSE(form.PopupMenu1->AutoPopup());
  TMenuItem* root = form.PopupMenu1->Items();
  ASSERT_EQ(root->Count(), 2);
  EXPECT_EQ(root->Items(0)->Caption(), "&File");
  EXPECT_FALSE(root->Items(1)->Enabled());
  ASSERT_EQ(root->Items(0)->Count(), 2);
  EXPECT_EQ(root->Items(0)->Items(0), form.OpenItem);
  EXPECT_EQ(ShortCutToText(form.OpenItem->ShortCut()), "Ctrl+O");
  EXPECT_EQ(form.PopupMenu1->FindItemByShortCut(ShortCut('O', {ssCtrl})), form.OpenItem);
  form.OpenItem->Click();
  EXPECT_EQ(form.calls, QStringList{"OpenItem"});

  // Written back out, the items nest the same way.
  const QString written = WriteComponentRes(&form);
  EXPECT_LT(written.indexOf("object FileItem"), written.indexOf("object OpenItem"));
  EXPECT_LT(written.indexOf("object OpenItem"), written.indexOf("object N1"));
  TMenuTestForm copy(nullptr);
  ReadComponentRes(written, &copy);
  ASSERT_NE(copy.PopupMenu1, nullptr);
  EXPECT_EQ(copy.PopupMenu1->Items()->Count(), 2);
  EXPECT_EQ(copy.PopupMenu1->Items()->Items(0)->Count(), 2);
}

}  // namespace menustest

#include "MenusTest.moc"
