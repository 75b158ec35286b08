#include "platform/classlib/Dialogs.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace shelltest;

namespace {

struct Menu {
  Menu() : handle(CreatePopupMenu()) {}
  ~Menu() { DestroyMenu(handle); }
  QStringList captions() const {
    QStringList out;
    for (int i = 0; i < GetMenuItemCount(handle); ++i)
      out << (GetMenuState(handle, i, MF_BYPOSITION) & MF_SEPARATOR
                  ? QString("-")
                  : GetMenuString(handle, i, MF_BYPOSITION));
    return out;
  }
  HMENU handle;
};

// The context menu of items of a folder, as the favorites view asks for it.
ComPtr<IContextMenu> menuOf(const QString& folderPath, const QStringList& names) {
  const Pidl absolute(FileSystemIDList(folderPath));
  ComPtr<IShellFolder> folder = bind(absolute.get());
  std::vector<Pidl> items;
  std::vector<PCUITEMID_CHILD> children;
  for (const QString& name : names) {
    PIDLIST_RELATIVE item = nullptr;
    QString copy = name;
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, reinterpret_cast<LPWSTR>(copy.data()), nullptr,
                                       &item, nullptr),
              S_OK);
    items.emplace_back(item);
    children.push_back(item);
  }
  ComPtr<IContextMenu> menu;
  EXPECT_EQ(folder->GetUIObjectOf(nullptr, UINT(children.size()), children.data(), IID_IContextMenu, nullptr,
                                  &menu),
            S_OK);
  return menu;
}

HRESULT invoke(IContextMenu* menu, LPCSTR verb) {
  CMINVOKECOMMANDINFO info;
  info.lpVerb = verb;
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

}  // namespace

TEST(ShellContextMenu, FillsAMenuWithOpenDeleteRenameAndProperties) {
  const QString root = freshFolder("menu");
  testsupport::writeFile(root + "/page.htm", "x");
  testsupport::writeFile(root + "/other.htm", "y");
  ComPtr<IContextMenu> single = menuOf(root, {"page.htm"});
  ASSERT_TRUE(single);
  // All three menu interfaces, as the shell menu routine asks for them.
  EXPECT_TRUE(single.As<IContextMenu2>());
  EXPECT_TRUE(single.As<IContextMenu3>());

  Menu menu;
  AppendMenuW(menu.handle, MF_STRING, 0x8000, u"Existing");
  const HRESULT hr = single->QueryContextMenu(menu.handle, 0, 1, 0x7FFF, CMF_EXPLORE);
  ASSERT_TRUE(SUCCEEDED(hr));
  EXPECT_EQ(HRESULT_CODE(hr), 4);  // the highest offset used plus one
  EXPECT_EQ(menu.captions(),
            QStringList({"&Open", "-", "&Delete", "Rena&me", "-", "P&roperties", "Existing"}));
  EXPECT_EQ(GetMenuItemID(menu.handle, 0), 1u);
  EXPECT_EQ(GetMenuItemID(menu.handle, 5), 4u);
  EXPECT_EQ(GetMenuDefaultItem(menu.handle, FALSE, 0), 1u);  // Open

  // Two items cannot be renamed; the default-only menu has Open alone; the
  // range of identifiers is kept to.
  Menu two;
  EXPECT_EQ(
      HRESULT_CODE(menuOf(root, {"page.htm", "other.htm"})->QueryContextMenu(two.handle, 0, 10, 100, 0)), 4);
  EXPECT_EQ(two.captions(), QStringList({"&Open", "-", "&Delete", "-", "P&roperties"}));
  Menu defaults;
  EXPECT_EQ(HRESULT_CODE(single->QueryContextMenu(defaults.handle, 0, 1, 0x7FFF, CMF_DEFAULTONLY)), 1);
  EXPECT_EQ(defaults.captions(), QStringList({"&Open"}));
  Menu narrow;
  EXPECT_EQ(HRESULT_CODE(single->QueryContextMenu(narrow.handle, 0, 1, 2, 0)), 2);
  EXPECT_EQ(narrow.captions(), QStringList({"&Open", "-", "&Delete"}));
  EXPECT_EQ(single->QueryContextMenu(nullptr, 0, 1, 2, 0), E_INVALIDARG);

  char verb[16];
  ASSERT_EQ(single->GetCommandString(1, GCS_VERBA, nullptr, verb, sizeof verb), S_OK);
  EXPECT_STREQ(verb, "delete");
  WCHAR wide[16];
  ASSERT_EQ(single->GetCommandString(3, GCS_VERBW, nullptr, reinterpret_cast<LPSTR>(wide), 16), S_OK);
  EXPECT_EQ(QString::fromUtf16(wide), "properties");
  EXPECT_EQ(single->GetCommandString(9, GCS_VERBA, nullptr, verb, sizeof verb), E_INVALIDARG);
}

TEST(ShellContextMenu, DeleteMovesTheFileToTheTrashAfterConfirming) {
  TemporaryTrash trash;
  const QString root = freshFolder("delete");
  testsupport::writeFile(root + "/Old page.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  QStringList confirmed;
  bool answer = false;
  Prompts prompts({.ConfirmDelete = [&](HWND, const QStringList& paths, bool toTrash) {
    EXPECT_TRUE(toTrash);
    confirmed = paths;
    return answer;
  }});

  ComPtr<IContextMenu> menu = menuOf(root, {"Old page.url"});
  // Declined: the file stays and the command still counts as done.
  EXPECT_EQ(invoke(menu.Get(), MAKEINTRESOURCEA(1)), S_OK);
  EXPECT_EQ(confirmed, QStringList({root + "/Old page.url"}));
  EXPECT_TRUE(QFile::exists(root + "/Old page.url"));

  answer = true;
  EXPECT_EQ(invoke(menu.Get(), "delete"), S_OK);
  EXPECT_FALSE(QFile::exists(root + "/Old page.url"));
  // In the trash, with the record of where it came from.
  EXPECT_EQ(testsupport::readFile(trash.filesDir() + "/Old page.url"),
            "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  const QByteArray record = testsupport::readFile(trash.dataHome + "/Trash/info/Old page.url.trashinfo");
  EXPECT_TRUE(record.contains("Path=")) << record.toStdString();

  // A second delete of the gone file fails.
  EXPECT_FALSE(SUCCEEDED(invoke(menu.Get(), "delete")));
}

TEST(ShellContextMenu, ConfirmationGoesThroughTheDialogServiceByDefault) {
  TemporaryTrash trash;
  const QString root = freshFolder("delete-dialog");
  testsupport::writeFile(root + "/keep.txt", "k");
  TScriptedDialogService dialogs;
  dialogs.QueueAnswer(mrNo);
  ComPtr<IContextMenu> menu = menuOf(root, {"keep.txt"});
  EXPECT_EQ(invoke(menu.Get(), "delete"), S_OK);
  EXPECT_TRUE(QFile::exists(root + "/keep.txt"));
  const auto messages = dialogs.CallsOf(TScriptedDialogService::dkMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Type, mtConfirmation);
  EXPECT_TRUE(messages[0].Message.contains("keep.txt"));

  // Properties show the type, the place and the size.
  EXPECT_EQ(invoke(menu.Get(), "properties"), S_OK);
  const auto all = dialogs.CallsOf(TScriptedDialogService::dkMessage);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].Type, mtInformation);
  EXPECT_TRUE(all[1].Message.contains("Type: TXT File"));
  EXPECT_TRUE(all[1].Message.contains("Location: " + root));
  EXPECT_TRUE(all[1].Message.contains("Size: 1 byte"));
}

TEST(ShellContextMenu, RenameAsksForTheNameShownAndKeepsTheExtension) {
  const QString root = freshFolder("rename");
  testsupport::writeFile(root + "/Old name.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  QString offered;
  Prompts prompts({.AskNewName = [&](HWND, const QString&, QString& name) {
    offered = name;
    name = "New name";
    return true;
  }});
  ComPtr<IContextMenu> menu = menuOf(root, {"Old name.url"});
  EXPECT_EQ(invoke(menu.Get(), MAKEINTRESOURCEA(2)), S_OK);
  EXPECT_EQ(offered, "Old name");
  EXPECT_TRUE(QFile::exists(root + "/New name.url"));
  EXPECT_FALSE(QFile::exists(root + "/Old name.url"));
}

TEST(ShellContextMenu, OpenHandsTheFileToTheDesktop) {
  const QString root = freshFolder("open");
  testsupport::writeFile(root + "/doc.htm", "d");
  OpenedUrls opened;
  EXPECT_EQ(invoke(menuOf(root, {"doc.htm"}).Get(), "open"), S_OK);
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(root + "/doc.htm"));
  EXPECT_EQ(invoke(menuOf(root, {"doc.htm"}).Get(), "frobnicate"), E_INVALIDARG);
}

TEST(ShellContextMenu, TrackedLikeTheFavoritesViewShowsIt) {
  TemporaryTrash trash;
  const QString root = freshFolder("tracked");
  testsupport::writeFile(root + "/Chosen.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  Prompts prompts({.ConfirmDelete = [](HWND, const QStringList&, bool) { return true; }});
  HWND owner = CreateWindowHandle("ContextMenuOwner", "", WS_POPUP, 0, nullptr, nullptr);

  ComPtr<IContextMenu> menu = menuOf(root, {"Chosen.url"});
  HMENU popup = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_EXPLORE)));
  // The user picks Delete in the real menu.
  QTimer::singleShot(0, [] {
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    for (QAction* a : shown->actions())
      if (a->text() == "&Delete") shown->setActiveAction(a);
    QTest::keyClick(shown, Qt::Key_Return);
  });
  const BOOL command = TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, 100, 100, owner, nullptr);
  EXPECT_EQ(command, 2);
  // The command offset is the identifier minus the first one.
  EXPECT_EQ(invoke(menu.Get(), MAKEINTRESOURCEA(WORD(command - 1))), S_OK);
  EXPECT_FALSE(QFile::exists(root + "/Chosen.url"));
  EXPECT_TRUE(QFile::exists(trash.filesDir() + "/Chosen.url"));
  DestroyMenu(popup);
  DestroyWindow(owner);
}
