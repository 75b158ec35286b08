// The shell context menu routine on a real folder of the profile and on
// menu objects of the test, driven through the real tracked menu by keys.
#include "EmbeddedWB/Source/MenuContext.h"

#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Forms.h"
#include "platform/com/ComObject.h"
#include "platform/winapi/Messages.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// What the user does in the next menu that opens.
void whenTheMenuOpens(std::function<void(QMenu*)> act) {
  QTimer::singleShot(0, [act] {
    testsupport::waitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; });
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) act(menu);
  });
}

void choose(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions())
    if (a->text() == text) menu->setActiveAction(a);
  QTest::keyClick(menu, Qt::Key_Return);
}

// A menu object of the test: two commands, what it was asked, and the menu
// messages handed to it.
template <class I>
class TestMenu : public ComObject<I> {
 public:
  HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
    AppendMenuW(menu, MF_STRING, first, u"First");
    AppendMenuW(menu, MF_STRING, first + 1, u"Second");
    (void)index;
    return MAKE_HRESULT(0, 0, 2);
  }
  HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    verbs.push_back(reinterpret_cast<std::uintptr_t>(info->lpVerb));
    owners.push_back(info->hwnd);
    return answer;
  }
  HRESULT GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }
  std::vector<std::uintptr_t> verbs;
  std::vector<HWND> owners;
  HRESULT answer = S_OK;
};

class TestMenu3 : public TestMenu<IContextMenu3> {
 public:
  HRESULT HandleMenuMsg(UINT msg, WPARAM, LPARAM) override {
    plain.push_back(msg);
    return S_OK;
  }
  HRESULT HandleMenuMsg2(UINT msg, WPARAM, LPARAM, LRESULT*) override {
    forwarded.push_back(msg);
    return S_OK;
  }
  std::vector<UINT> plain, forwarded;
};

// A folder whose items' menu is the given object (null: it has none).
class MenuFolder : public ComObject<IShellFolder> {
 public:
  explicit MenuFolder(IUnknown* menu) : menu_(menu) {}
  HRESULT ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
  HRESULT BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override { return E_NOTIMPL; }
  HRESULT CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
  HRESULT GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID riid, UINT*, void** ppv) override {
    *ppv = nullptr;
    return menu_ ? menu_->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  HRESULT GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override { return E_NOTIMPL; }
  HRESULT SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override { return E_NOTIMPL; }

 private:
  ComPtr<IUnknown> menu_;
};

// An owner window that counts the menu's WM_INITMENUPOPUP.
int ownerInitMenus = 0;
LRESULT ownerProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_INITMENUPOPUP) ++ownerInitMenus;
  return DefWindowProcW(hwnd, msg, w, l);
}

class ShellMenuRoutine : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeShell();
    MenuContext::initialize();
    owner = CreateWindowHandle("MenuContextOwner", "", WS_POPUP, 0, nullptr, &ownerProc, nullptr);
    ownerInitMenus = 0;
    item.reset(EwbTools::PidlAlloc(2));
  }
  void TearDown() override {
    DestroyWindow(owner);
    MenuContext::finalize();
    FinalizeForms();
  }
  bool show(IShellFolder* folder, PCUITEMID_CHILD child = nullptr) {
    PCUITEMID_CHILD items[] = {child ? child : item.get()};
    return MenuContext::DisplayContextMenu(folder, items, 1, POINT{100, 100}, owner);
  }
  struct Free {
    void operator()(ITEMIDLIST* p) const { EwbTools::PidlFree(p); }
  };
  HWND owner = nullptr;
  std::unique_ptr<ITEMIDLIST, Free> item;
};

}  // namespace

TEST_F(ShellMenuRoutine, OnARealFolderEscapeRunsNothingAndDeleteGoesToTheTrash) {
  const QString dir = testsupport::profileDir() + "/menucontext";
  QDir(dir).removeRecursively();
  testsupport::writeFile(dir + "/Keep.url", "[InternetShortcut]\nURL=http://example.com/\n");
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const QString trashHome = testsupport::profileDir() + "/menucontext-data";
  QDir(trashHome).removeRecursively();
  QDir().mkpath(trashHome);
  qputenv("XDG_DATA_HOME", trashHome.toUtf8());
  TShellPrompts previous =
      SetShellPrompts({.ConfirmDelete = [](HWND, const QStringList&, bool) { return true; }});

  LPITEMIDLIST absolute = FileSystemIDList(dir);
  ComPtr<IShellFolder> desktop, folder;
  SHGetDesktopFolder(&desktop);
  ASSERT_EQ(desktop->BindToObject(absolute, nullptr, IID_IShellFolder, &folder), S_OK);
  EwbTools::PidlFree(absolute);
  PIDLIST_RELATIVE child = nullptr;
  QString name = "Keep.url";
  folder->ParseDisplayName(nullptr, nullptr, reinterpret_cast<LPWSTR>(name.data()), nullptr, &child, nullptr);
  std::unique_ptr<ITEMIDLIST, Free> owned(child);

  TCursor during = crDefault;
  whenTheMenuOpens([&](QMenu* menu) {
    during = Screen->Cursor();
    QTest::keyClick(menu, Qt::Key_Escape);
  });
  EXPECT_TRUE(show(folder.Get(), child));
  EXPECT_EQ(during, crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_TRUE(QFile::exists(dir + "/Keep.url"));

  whenTheMenuOpens([](QMenu* menu) { choose(menu, "&Delete"); });
  EXPECT_TRUE(show(folder.Get(), child));
  EXPECT_FALSE(QFile::exists(dir + "/Keep.url"));
  EXPECT_TRUE(QFile::exists(trashHome + "/Trash/files/Keep.url"));

  SetShellPrompts(previous);
  qputenv("XDG_DATA_HOME", dataHome);
}

TEST_F(ShellMenuRoutine, AMenuOfPlainInterfaceIsOwnedByTheOwnerAndGetsOffsetZero) {
  auto menu = MakeCom<TestMenu<IContextMenu>>();
  auto folder = MakeCom<MenuFolder>(menu.Get());
  bool callbackWindow = true;
  whenTheMenuOpens([&](QMenu* shown) {
    callbackWindow = FindWindow("ItemPropMenuCallbackHelper", "ItemPropCallbackProcessor") != nullptr;
    choose(shown, "First");
  });
  EXPECT_TRUE(show(folder.Get()));
  EXPECT_FALSE(callbackWindow);
  EXPECT_GE(ownerInitMenus, 1);  // the owner window had the menu's messages
  ASSERT_EQ(menu->verbs.size(), 1u);
  EXPECT_EQ(menu->verbs[0], 0u);  // the first command is offset 0
  EXPECT_EQ(menu->owners[0], owner);

  // A command that fails answers False.
  menu->answer = E_FAIL;
  whenTheMenuOpens([](QMenu* shown) { choose(shown, "Second"); });
  EXPECT_FALSE(show(folder.Get()));
  EXPECT_EQ(menu->verbs.back(), 1u);
}

TEST_F(ShellMenuRoutine, ANewerMenuObjectGetsTheMenuMessagesThroughTheCallbackWindow) {
  auto menu = MakeCom<TestMenu3>();
  auto folder = MakeCom<MenuFolder>(menu.Get());
  HWND callback = nullptr;
  whenTheMenuOpens([&](QMenu* shown) {
    callback = FindWindow("ItemPropMenuCallbackHelper", "ItemPropCallbackProcessor");
    QTest::keyClick(shown, Qt::Key_Escape);
  });
  EXPECT_TRUE(show(folder.Get()));
  EXPECT_NE(callback, nullptr);
  EXPECT_FALSE(IsWindow(callback));  // gone with the call
  EXPECT_EQ(ownerInitMenus, 0);
  ASSERT_FALSE(menu->forwarded.empty());
  EXPECT_EQ(menu->forwarded[0], WM_INITMENUPOPUP);
  EXPECT_TRUE(menu->plain.empty());
  EXPECT_TRUE(menu->verbs.empty());
}

TEST_F(ShellMenuRoutine, NoMenuObjectOrNoItemAnswersFalse) {
  auto folder = MakeCom<MenuFolder>(nullptr);
  EXPECT_FALSE(show(folder.Get()));
  PCUITEMID_CHILD none[] = {nullptr};
  auto menu = MakeCom<TestMenu<IContextMenu>>();
  auto withMenu = MakeCom<MenuFolder>(menu.Get());
  EXPECT_FALSE(MenuContext::DisplayContextMenu(withMenu.Get(), none, 1, POINT{0, 0}, owner));
  EXPECT_EQ(Screen->Cursor(), crDefault);
}
