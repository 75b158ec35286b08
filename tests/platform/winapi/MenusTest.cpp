#include "platform/winapi/Menus.h"

#include "tests/platform/winapi/WinTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

LPCWSTR W(const char16_t* s) { return s; }

// Runs `step` on the popup menu that is open next (checked from the event
// loop the tracking runs).
void whenMenuOpens(std::function<void(QMenu*)> step, QMenu* other = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, step, other] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu || menu == other || !menu->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    step(menu);
  });
  timer->start();
}

QAction* actionNamed(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions())
    if (a->text() == text) return a;
  return nullptr;
}

void choose(QMenu* menu, const QString& text) {
  QAction* a = actionNamed(menu, text);
  ASSERT_NE(a, nullptr) << text.toStdString();
  menu->setActiveAction(a);
  QTest::keyClick(menu, Qt::Key_Return);
}

// Opens the sub-menu `text` of the open menu, then runs `step` on it.
void openSubMenu(QMenu* menu, const QString& text, std::function<void(QMenu*)> step) {
  QAction* a = actionNamed(menu, text);
  ASSERT_NE(a, nullptr) << text.toStdString();
  whenMenuOpens(step, menu);
  menu->setActiveAction(a);
  QTest::keyClick(menu, Qt::Key_Right);
}

struct Owner {
  Owner()
      : hwnd(CreateWindowHandle("MenuOwner", "", WS_POPUP, 0, nullptr, nullptr)),
        spy(std::make_unique<wintest::Spy>(hwnd)) {}
  ~Owner() {
    spy.reset();
    DestroyWindow(hwnd);
  }
  HWND hwnd;
  std::unique_ptr<wintest::Spy> spy;
};

// File (10 Open, 11 Save, separator, Recent > (20 One, 21 Two)), 12 Exit.
HMENU sampleMenu(HMENU* recentOut = nullptr) {
  HMENU menu = CreatePopupMenu();
  HMENU recent = CreatePopupMenu();
  AppendMenuW(recent, MF_STRING, 20, W(u"One"));
  AppendMenuW(recent, MF_STRING, 21, W(u"Two"));
  AppendMenuW(menu, MF_STRING, 10, W(u"&Open"));
  AppendMenuW(menu, MF_STRING | MF_GRAYED, 11, W(u"Save"));
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), W(u"Recent"));
  AppendMenuW(menu, MF_STRING, 12, W(u"Exit"));
  if (recentOut) *recentOut = recent;
  return menu;
}

}  // namespace

TEST(Menus, BuildQueryAndChangeItems) {
  HMENU recent = nullptr;
  HMENU menu = sampleMenu(&recent);
  ASSERT_TRUE(IsMenu(menu));
  EXPECT_EQ(GetMenuItemCount(menu), 5);
  EXPECT_EQ(GetMenuItemID(menu, 0), 10u);
  EXPECT_EQ(GetMenuItemID(menu, 2), 0u);           // a separator
  EXPECT_EQ(GetMenuItemID(menu, 3), 0xFFFFFFFFu);  // a sub-menu
  EXPECT_EQ(GetMenuItemID(menu, 9), 0xFFFFFFFFu);
  EXPECT_EQ(GetSubMenu(menu, 3), recent);
  EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
  EXPECT_EQ(GetMenuString(menu, 10, MF_BYCOMMAND), "&Open");
  EXPECT_EQ(GetMenuString(menu, 4, MF_BYPOSITION), "Exit");
  // By command the search goes into sub-menus.
  EXPECT_EQ(GetMenuString(menu, 21, MF_BYCOMMAND), "Two");

  WCHAR buffer[4];
  EXPECT_EQ(GetMenuStringW(menu, 10, buffer, 4, MF_BYCOMMAND), 3);
  EXPECT_EQ(String::fromUtf16(buffer), "&Op");
  EXPECT_EQ(GetMenuStringW(menu, 10, nullptr, 0, MF_BYCOMMAND), 5);
  EXPECT_EQ(GetMenuStringW(menu, 99, buffer, 4, MF_BYCOMMAND), 0);

  EXPECT_EQ(GetMenuState(menu, 11, MF_BYCOMMAND), MF_GRAYED);
  EXPECT_EQ(GetMenuState(menu, 3, MF_BYPOSITION), MF_POPUP | (2u << 8));
  EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION), MF_SEPARATOR);
  EXPECT_EQ(GetMenuState(menu, 77, MF_BYCOMMAND), 0xFFFFFFFFu);

  // Enable and check answer the previous state.
  EXPECT_EQ(EnableMenuItem(menu, 11, MF_BYCOMMAND | MF_ENABLED), DWORD(MF_GRAYED));
  EXPECT_EQ(EnableMenuItem(menu, 11, MF_BYCOMMAND | MF_DISABLED), DWORD(MF_ENABLED));
  EXPECT_EQ(EnableMenuItem(menu, 77, MF_BYCOMMAND), 0xFFFFFFFFu);
  EXPECT_EQ(CheckMenuItem(menu, 0, MF_BYPOSITION | MF_CHECKED), DWORD(MF_UNCHECKED));
  EXPECT_EQ(CheckMenuItem(menu, 10, MF_BYCOMMAND | MF_UNCHECKED), DWORD(MF_CHECKED));

  // Inserting by command puts the item before that command, in its menu.
  ASSERT_TRUE(InsertMenuW(menu, 21, MF_BYCOMMAND | MF_STRING, 22, W(u"One and a half")));
  EXPECT_EQ(GetMenuItemCount(recent), 3);
  EXPECT_EQ(GetMenuItemID(recent, 1), 22u);
  ASSERT_TRUE(InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, 9, W(u"New")));
  EXPECT_EQ(GetMenuItemID(menu, 0), 9u);
  ASSERT_TRUE(ModifyMenuW(menu, 9, MF_BYCOMMAND | MF_STRING, 8, W(u"New window")));
  EXPECT_EQ(GetMenuString(menu, 8, MF_BYCOMMAND), "New window");
  EXPECT_FALSE(InsertMenuW(menu, 99, MF_BYCOMMAND, 1, W(u"x")));

  // Deleting by command reaches into sub-menus.
  ASSERT_TRUE(DeleteMenu(menu, 22, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuItemCount(recent), 2);
  EXPECT_FALSE(DeleteMenu(menu, 22, MF_BYCOMMAND));

  // Removing a sub-menu item keeps the sub-menu; deleting destroys it.
  ASSERT_TRUE(RemoveMenu(menu, 4, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(recent));
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), W(u"Recent"));
  ASSERT_TRUE(DeleteMenu(menu, GetMenuItemCount(menu) - 1, MF_BYPOSITION));
  EXPECT_FALSE(IsMenu(recent));

  // A sub-menu that is no menu is refused.
  EXPECT_FALSE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), W(u"Gone")));

  ASSERT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(menu));
  EXPECT_EQ(GetMenuItemCount(menu), -1);
  EXPECT_FALSE(DestroyMenu(menu));
}

TEST(Menus, DestroyingAMenuDestroysItsSubMenus) {
  HMENU recent = nullptr;
  HMENU menu = sampleMenu(&recent);
  ASSERT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(recent));
}

TEST(Menus, ItemInfoInsertsAndReadsItems) {
  HMENU menu = CreatePopupMenu();
  HMENU sub = CreatePopupMenu();
  MENUITEMINFOW info;
  info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_DATA;
  info.wID = 5;
  info.fState = MFS_CHECKED | MFS_DEFAULT;
  info.dwItemData = 0xABCD;
  WCHAR text[] = u"Properties";
  info.dwTypeData = text;
  ASSERT_TRUE(InsertMenuItemW(menu, 0, TRUE, &info));

  MENUITEMINFOW popup;
  popup.fMask = MIIM_STRING | MIIM_SUBMENU;
  WCHAR more[] = u"More";
  popup.dwTypeData = more;
  popup.hSubMenu = sub;
  ASSERT_TRUE(InsertMenuItemW(menu, 5, FALSE, &popup));  // before command 5
  EXPECT_EQ(GetSubMenu(menu, 0), sub);

  MENUITEMINFOW out;
  out.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_DATA | MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoW(menu, 5, FALSE, &out));  // null buffer: the length
  EXPECT_EQ(out.cch, 10u);
  EXPECT_EQ(out.wID, 5u);
  EXPECT_EQ(out.fState, MFS_CHECKED | MFS_DEFAULT);
  EXPECT_EQ(out.dwItemData, 0xABCDu);
  EXPECT_EQ(out.fType, MFT_STRING);
  WCHAR small[5];
  out.dwTypeData = small;
  out.cch = 5;
  ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &out));
  EXPECT_EQ(String::fromUtf16(small), "Prop");
  EXPECT_EQ(out.cch, 4u);

  MENUITEMINFOW change;
  change.fMask = MIIM_STATE;
  change.fState = MFS_GRAYED;
  ASSERT_TRUE(SetMenuItemInfoW(menu, 5, FALSE, &change));
  EXPECT_EQ(GetMenuState(menu, 5, MF_BYCOMMAND), MF_GRAYED | MF_DISABLED);
  EXPECT_FALSE(GetMenuItemInfoW(menu, 7, TRUE, &out));
  DestroyMenu(menu);
  EXPECT_FALSE(IsMenu(sub));
}

TEST(Menus, DefaultItem) {
  HMENU menu = sampleMenu();
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 0xFFFFFFFFu);
  ASSERT_TRUE(SetMenuDefaultItem(menu, 12, FALSE));
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 12u);
  EXPECT_EQ(GetMenuDefaultItem(menu, TRUE, 0), 4u);
  ASSERT_TRUE(SetMenuDefaultItem(menu, 0, TRUE));  // only one default at a time
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 10u);
  EXPECT_EQ(GetMenuState(menu, 12, MF_BYCOMMAND) & MF_DEFAULT, 0u);
  EXPECT_FALSE(SetMenuDefaultItem(menu, 99, FALSE));
  ASSERT_TRUE(SetMenuDefaultItem(menu, 0xFFFFFFFF, FALSE));
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 0xFFFFFFFFu);
  DestroyMenu(menu);
}

TEST(Menus, TrackReturnsTheCommandChosenInASubMenuTheOwnerFilledLate) {
  Owner owner;
  HMENU recent = nullptr;
  HMENU menu = sampleMenu(&recent);
  // The owner adds an entry when the sub-menu is about to show.
  owner.spy->handler = [recent](TMessage& m) {
    if (m.Msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(m.WParam) == recent)
      AppendMenuW(recent, MF_STRING, 30, W(u"Added late"));
    return false;
  };
  whenMenuOpens([](QMenu* top) {
    EXPECT_FALSE(actionNamed(top, "Save")->isEnabled());
    EXPECT_EQ(top->actions().size(), 5);
    EXPECT_TRUE(top->actions()[2]->isSeparator());
    openSubMenu(top, "Recent", [](QMenu* sub) { choose(sub, "Added late"); });
  });
  const BOOL chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, 50, 60, owner.hwnd, nullptr);
  EXPECT_EQ(chosen, 30);

  const auto inits = owner.spy->Of({WM_INITMENUPOPUP});
  ASSERT_EQ(inits.size(), 2u);
  EXPECT_EQ(reinterpret_cast<HMENU>(inits[0].WParam), menu);
  EXPECT_EQ(reinterpret_cast<HMENU>(inits[1].WParam), recent);
  EXPECT_EQ(LOWORD(std::uintptr_t(inits[1].LParam)), 3);  // the sub-menu's position
  EXPECT_EQ(owner.spy->Count(WM_ENTERMENULOOP), 1);
  EXPECT_EQ(owner.spy->Count(WM_EXITMENULOOP), 1);
  // With TPM_RETURNCMD nothing is posted.
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, owner.hwnd, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  DestroyMenu(menu);
}

TEST(Menus, TrackWithoutReturnCmdPostsTheCommandAndDismissingChoosesNothing) {
  Owner owner;
  HMENU menu = sampleMenu();
  whenMenuOpens([](QMenu* top) { choose(top, "Exit"); });
  EXPECT_EQ(TrackPopupMenu(menu, TPM_LEFTALIGN, 10, 10, 0, owner.hwnd, nullptr), TRUE);
  ASSERT_TRUE(testsupport::waitFor([&] { return owner.spy->Count(WM_COMMAND) == 1; }));
  EXPECT_EQ(LOWORD(owner.spy->Of({WM_COMMAND})[0].WParam), 12);

  owner.spy->Clear();
  whenMenuOpens([](QMenu* top) { QTest::keyClick(top, Qt::Key_Escape); });
  EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 10, 10, owner.hwnd, nullptr), 0);
  whenMenuOpens([](QMenu* top) { choose(top, "&Open"); });
  EXPECT_EQ(TrackPopupMenuEx(menu, TPM_NONOTIFY, 10, 10, owner.hwnd, nullptr), TRUE);
  QTest::qWait(20);
  EXPECT_EQ(owner.spy->Count(WM_COMMAND), 0);

  // The pointer over an item is reported to the owner.
  whenMenuOpens([](QMenu* top) {
    top->setActiveAction(actionNamed(top, "Exit"));
    QTest::keyClick(top, Qt::Key_Escape);
  });
  TrackPopupMenuEx(menu, TPM_RETURNCMD, 10, 10, owner.hwnd, nullptr);
  bool sawExit = false;
  for (const TMessage& m : owner.spy->Of({WM_MENUSELECT}))
    sawExit = sawExit || (LOWORD(m.WParam) == 12 && reinterpret_cast<HMENU>(m.LParam) == menu);
  EXPECT_TRUE(sawExit);
  DestroyMenu(menu);
}

TEST(Menus, TrackNeedsAMenuAndAnOwner) {
  HMENU menu = sampleMenu();
  SetLastError(0);
  EXPECT_FALSE(TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DestroyMenu(menu);
  Owner owner;
  EXPECT_FALSE(TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, owner.hwnd, nullptr));
}

TEST(Menus, LoadMenuBuildsMenusFromRegisteredResources) {
  RegisterStandInModule("MenuRes.dll", {});
  RegisterMenuResource(
      "MenuRes.dll", 101,
      {{"&File", 0, MF_POPUP, {{"&Open", 1}, {"", 0, MF_SEPARATOR}, {"E&xit", 2, MF_GRAYED}}}, {"&Help", 3}});
  RegisterMenuResource("", "MainMenu", {{"Only", 7}});

  HMODULE module = LoadLibrary("menures");
  ASSERT_NE(module, nullptr);
  HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(101));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 2);
  HMENU file = GetSubMenu(menu, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(GetMenuItemCount(file), 3);
  EXPECT_EQ(GetMenuString(menu, 2, MF_BYCOMMAND), "E&xit");
  EXPECT_EQ(GetMenuState(menu, 2, MF_BYCOMMAND), MF_GRAYED);
  // Each load is a new menu.
  HMENU again = LoadMenuW(module, MAKEINTRESOURCEW(101));
  EXPECT_NE(again, menu);
  DestroyMenu(again);
  DestroyMenu(menu);
  EXPECT_FALSE(IsMenu(file));

  HMENU main = LoadMenuW(nullptr, W(u"mainmenu"));
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetMenuItemID(main, 0), 7u);
  DestroyMenu(main);

  SetLastError(0);
  EXPECT_EQ(LoadMenuW(module, MAKEINTRESOURCEW(102)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(101)), nullptr);
  FreeLibrary(module);
}
