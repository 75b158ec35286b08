// The shell, shortcut-file and item-list routines of the browser units'
// utility routines, on real files of the temporary profile.
#include "EmbeddedWB/Source/EwbTools.h"

#include "platform/rtl/Registry.h"
#include "platform/shell/UrlHistory.h"
#include "platform/urlmon/UrlMon.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>

#include <cstring>
#include <memory>

using namespace ewbtest;
using namespace EwbTools;

namespace {

struct ListFree {
  void operator()(ITEMIDLIST* p) const { PidlFree(p); }
};
using List = std::unique_ptr<ITEMIDLIST, ListFree>;

// A list of items of the given byte counts (each filled with its count).
List makeList(std::initializer_list<USHORT> counts) {
  UINT size = 2;
  for (USHORT c : counts) size += c;
  LPITEMIDLIST list = PidlAlloc(size);
  auto* at = reinterpret_cast<BYTE*>(list);
  for (USHORT c : counts) {
    std::memset(at, int(c), c);
    std::memcpy(at, &c, 2);
    at += c;
  }
  return List(list);
}

QByteArray bytesOf(LPCITEMIDLIST list) {
  return QByteArray(reinterpret_cast<const char*>(list), int(PidlSize(list)));
}

// A shell folder over a folder of the profile and its items by file name.
struct Folder {
  explicit Folder(const QString& p) : path(p) {
    QDir().mkpath(path);
    absolute.reset(FileSystemIDList(path));
    ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    desktop->BindToObject(absolute.get(), nullptr, IID_IShellFolder, &folder);
  }
  List item(const QString& name) {
    PIDLIST_RELATIVE item = nullptr;
    QString copy = name;
    folder->ParseDisplayName(nullptr, nullptr, reinterpret_cast<LPWSTR>(copy.data()), nullptr, &item,
                             nullptr);
    return List(item);
  }
  QString path;
  List absolute;
  ComPtr<IShellFolder> folder;
};

QString freshFolder(const QString& name) {
  const QString path = testsupport::profileDir() + "/shellroutines/" + name;
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path;
}

// Sets (or, with a null value, removes) a registry value for one test.
class RegistryValue {
 public:
  RegistryValue(HKEY root, const QString& key, const QString& name, const QString& value)
      : root_(root), key_(key), name_(name) {
    TRegistry reg;
    reg.RootKey = root_;
    reg.OpenKey(key_, true);
    had_ = reg.ValueExists(name_);
    if (had_) old_ = reg.ReadString(name_);
    if (value.isNull())
      reg.DeleteValue(name_);
    else
      reg.WriteString(name_, value);
  }
  ~RegistryValue() {
    TRegistry reg;
    reg.RootKey = root_;
    reg.OpenKey(key_, true);
    if (had_)
      reg.WriteString(name_, old_);
    else
      reg.DeleteValue(name_);
  }

 private:
  HKEY root_;
  QString key_, name_, old_;
  bool had_ = false;
};

}  // namespace

// The shell's classes (shortcut, link, history, Add Favorite helper) are
// registered before the first test of this file runs.
class ShellClasses : public ::testing::Environment {
 public:
  void SetUp() override { InitializeShell(); }
};
const ::testing::Environment* const shellClasses = ::testing::AddGlobalTestEnvironment(new ShellClasses);

// ---------------------------------------------------------------- item lists

TEST(ItemListRoutines, SizesJoinsCopiesAndCutsInTaskMemory) {
  const long liveBefore = CoTaskMemLiveBlocks();
  {
    EXPECT_EQ(PidlSize(nullptr), 0u);
    List empty = makeList({});
    EXPECT_EQ(PidlSize(empty.get()), 2u);
    List one = makeList({20});
    EXPECT_EQ(PidlSize(one.get()), 22u);
    List two = makeList({6, 9});
    EXPECT_EQ(PidlSize(two.get()), 17u);
    EXPECT_EQ(PidlNext(two.get())->mkid.cb, 9);

    EXPECT_EQ(PidlCopy(nullptr), nullptr);
    List copy(PidlCopy(two.get()));
    EXPECT_NE(copy.get(), two.get());
    EXPECT_EQ(bytesOf(copy.get()), bytesOf(two.get()));

    List joinedWithNull(PidlConcat(nullptr, one.get()));
    EXPECT_EQ(bytesOf(joinedWithNull.get()), bytesOf(one.get()));
    List nullJoined(PidlConcat(one.get(), nullptr));
    EXPECT_EQ(bytesOf(nullJoined.get()), bytesOf(one.get()));
    List both(PidlConcat(one.get(), two.get()));
    EXPECT_EQ(PidlSize(both.get()), PidlSize(one.get()) + PidlSize(two.get()) - 2);
    EXPECT_EQ(bytesOf(both.get()), bytesOf(one.get()).left(20) + bytesOf(two.get()));
    List nothing(PidlConcat(nullptr, nullptr));
    EXPECT_EQ(PidlSize(nothing.get()), 2u);

    PidlRemoveLast(one.get());
    EXPECT_EQ(PidlSize(one.get()), 2u);
    PidlRemoveLast(one.get());  // an empty list stays empty
    EXPECT_EQ(PidlSize(one.get()), 2u);
    PidlRemoveLast(both.get());
    EXPECT_EQ(PidlSize(both.get()), 22u + 6u);
    PidlRemoveLast(nullptr);

    List zeroed(PidlAlloc(16));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(zeroed.get()), 16), QByteArray(16, '\0'));
    PidlFree(nullptr);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), liveBefore);
}

TEST(ItemListRoutines, DisplayNameRecordsOfEveryKind) {
  List item = makeList({12});
  auto* bytes = reinterpret_cast<char*>(item.get());
  std::memcpy(bytes + 4, "abc", 4);
  STRRET offset{};
  offset.uType = STRRET_OFFSET;
  offset.uOffset = 4;
  EXPECT_EQ(StrRetText(offset, item.get()), "abc");
  // Text that runs to the item's end is cut there.
  std::memset(bytes + 4, 'z', 8);
  EXPECT_EQ(StrRetText(offset, item.get()), "zzzzzzzz");
  offset.uOffset = 40;
  EXPECT_EQ(StrRetText(offset, item.get()), "");

  STRRET cstr{};
  cstr.uType = STRRET_CSTR;
  std::strcpy(cstr.cStr, "held");
  EXPECT_EQ(StrRetText(cstr, item.get()), "held");

  STRRET wide{};
  wide.uType = STRRET_WSTR;
  const long liveBefore = CoTaskMemLiveBlocks();
  wide.pOleStr = CoTaskMemDupString("wide name");
  EXPECT_EQ(StrRetText(wide, item.get()), "wide name");
  EXPECT_EQ(CoTaskMemLiveBlocks(), liveBefore);
  EXPECT_EQ(wide.pOleStr, nullptr);
}

// ---------------------------------------------------------------- shortcut files

TEST(ShortcutFileRoutines, InternetShortcutsReadBothWays) {
  const QString dir = freshFolder("shortcuts");
  testsupport::writeFile(
      dir + "/Full.url",
      "[DEFAULT]\r\nBASEURL=http://base.example/\r\n[InternetShortcut]\r\n"
      "URL=http://example.com/page?a=1\r\nIconIndex=0\r\n[{000214A0-0000}]\r\nProp3=19,2\r\n");
  testsupport::writeFile(dir + "/Bare.url",
                         "URL=http://nowhere.example/\n[Other]\nURL=http://other.example/\n");
  String url;
  ReadUrlShortcutFile(dir + "/Full.url", url);
  EXPECT_EQ(url, "http://example.com/page?a=1");
  GetFavoritesItemUrl(dir + "/Full.url", url = "stale");
  EXPECT_EQ(url, "http://example.com/page?a=1");

  ReadUrlShortcutFile(dir + "/Bare.url", url = "stale");
  EXPECT_EQ(url, "");
  GetFavoritesItemUrl(dir + "/Bare.url", url = "stale");
  EXPECT_EQ(url, "");
  ReadUrlShortcutFile(dir + "/Missing.url", url = "stale");
  EXPECT_EQ(url, "");
}

TEST(ShortcutFileRoutines, LinkTargetsAndTheirNames) {
  const QString dir = freshFolder("links");
  QDir().mkpath(dir + "/Target Folder");
  testsupport::writeFile(dir + "/ToFolder.lnk", ("[ShellLink]\nTarget=" + dir + "/Target Folder\n").toUtf8());
  testsupport::writeFile(dir + "/Dangling.lnk", ("[ShellLink]\nTarget=" + dir + "/gone\n").toUtf8());
  testsupport::writeFile(dir + "/Page.url", "[InternetShortcut]\nURL=http://example.com/\n");
  String target = "stale";
  GetShellLinkPath(dir + "/ToFolder.lnk", target);
  EXPECT_EQ(target, dir + "/Target Folder");
  GetShellLinkPath(dir + "/Dangling.lnk", target = "stale");
  EXPECT_EQ(target, "");  // a target that is gone does not resolve
  GetShellLinkPath(dir + "/Page.url", target = "stale");
  EXPECT_EQ(target, "");

  Folder folder(dir);
  String name;
  EXPECT_EQ(ResolveShellItem(folder.folder.Get(), folder.item("ToFolder.lnk").get(), name), 0);
  EXPECT_EQ(name, "Target Folder");
  EXPECT_EQ(ResolveShellItem(folder.folder.Get(), folder.item("Page.url").get(), name = "kept"), 1);
  EXPECT_EQ(name, "kept");
  EXPECT_EQ(ResolveShellItem(folder.folder.Get(), nullptr, name), 1);
}

// ---------------------------------------------------------------- folders and items

TEST(ShellItemRoutines, NamesTypesFoldersAndIconsOfFavorites) {
  String favorites;
  GetFavoritesFolder(favorites);
  EXPECT_EQ(favorites, SpecialFolderPath(CSIDL_FAVORITES));
  EXPECT_TRUE(favorites.startsWith(testsupport::profileDir()));
  String history;
  GetHistoryFolder(history);
  EXPECT_EQ(history, SpecialFolderPath(CSIDL_HISTORY));

  const QString dir = favorites + "/Items";
  QDir(dir).removeRecursively();
  QDir().mkpath(dir + "/Links");
  testsupport::writeFile(dir + "/Example.url", "[InternetShortcut]\nURL=http://example.com/\n");
  Folder folder(dir);
  List shortcut = folder.item("Example.url");
  List links = folder.item("Links");
  String name;
  StrRetToString(folder.folder.Get(), shortcut.get(), name);
  EXPECT_EQ(name, "Example");  // without ".url"
  FolderDisplayNameOf(folder.folder.Get(), shortcut.get(), name);
  EXPECT_EQ(name, dir + "/Example.url");

  EXPECT_FALSE(IsShellFolderItem(folder.folder.Get(), shortcut.get()));
  EXPECT_TRUE(IsShellFolderItem(folder.folder.Get(), links.get()));
  EXPECT_TRUE(HasShellTypeName("Internet Shortcut", folder.folder.Get(), shortcut.get()));
  EXPECT_FALSE(HasShellTypeName("internet shortcut", folder.folder.Get(), shortcut.get()));
  EXPECT_TRUE(IsBrowsableFolder("Channel Shortcut", folder.folder.Get(), links.get()));
  EXPECT_FALSE(IsBrowsableFolder("File folder", folder.folder.Get(), links.get()));
  EXPECT_FALSE(IsBrowsableFolder("Channel Shortcut", folder.folder.Get(), shortcut.get()));

  List absolute(PidlConcat(folder.absolute.get(), shortcut.get()));
  EXPECT_GE(GetSysImageIndex(absolute.get()), 0);
  List bogus = makeList({6});
  EXPECT_EQ(GetSysImageIndex(bogus.get()), -1);

  // Read-only registry access; a blank value leaves the path alone.
  String path = "kept";
  GetShellFolderFromRegistry("Favorites", path);
  EXPECT_EQ(path, favorites);
  RegistryValue blank(HKEY_CURRENT_USER,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Blank", "  ");
  GetShellFolderFromRegistry("Blank", path = "kept");
  EXPECT_EQ(path, "kept");
  GetShellFolderFromRegistry("NoSuchFolder", path);
  EXPECT_EQ(path, "kept");
}

TEST(ShellItemRoutines, HistoryPageAddressesFromTheirInfoTips) {
  UrlHistoryStore().Clear();
  UrlHistoryStore().AddVisit("http://tips.example/one", "Plain title");
  UrlHistoryStore().AddVisit("http://tips.example/two", "Two\nlines\r\nof title");
  List root;
  {
    PIDLIST_ABSOLUTE pidl = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_HISTORY, &pidl), S_OK);
    root.reset(pidl);
  }
  ComPtr<IShellFolder> desktop, periods;
  SHGetDesktopFolder(&desktop);
  ASSERT_EQ(desktop->BindToObject(root.get(), nullptr, IID_IShellFolder, &periods), S_OK);
  // Today, its one site, its two pages.
  auto first = [](IShellFolder* f) {
    ComPtr<IEnumIDList> e;
    f->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e);
    PITEMID_CHILD item = nullptr;
    ULONG n = 0;
    e->Next(1, &item, &n);
    return List(item);
  };
  List today = first(periods.Get());
  ComPtr<IShellFolder> sites, pages;
  periods->BindToObject(today.get(), nullptr, IID_IShellFolder, &sites);
  List site = first(sites.Get());
  sites->BindToObject(site.get(), nullptr, IID_IShellFolder, &pages);
  ComPtr<IEnumIDList> e;
  pages->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &e);
  QStringList urls;
  const long liveBefore = CoTaskMemLiveBlocks();
  for (PITEMID_CHILD item = nullptr; e->Next(1, &item, nullptr) == S_OK;) {
    List owned(item);
    String url;
    GetInfoTipUrl(pages.Get(), item, url);
    urls << url;
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), liveBefore);
  urls.sort();
  EXPECT_EQ(urls, QStringList({"http://tips.example/one", "http://tips.example/two"}));
  // A period's tip has one line: the whole text, trimmed.
  String text;
  GetInfoTipUrl(periods.Get(), today.get(), text);
  EXPECT_EQ(text, "Today");
  UrlHistoryStore().Clear();
}

// ---------------------------------------------------------------- favorites and history

TEST(FavoritesAndHistoryRoutines, AddToFavoritesWritesASafeShortcut) {
  String favorites;
  GetFavoritesFolder(favorites);
  TShellPrompts previous =
      SetShellPrompts({.AskFavoriteName = [](HWND, const String&, String&) { return true; }});
  const QStringList before = QDir(favorites).entryList(QDir::Files | QDir::Hidden);
  AddToFavorites("http://example.com/a", "../up/and/over");
  AddToFavorites("http://example.com/b", "   ");  // no title: nothing
  AddToFavorites("  ", "No address");
  SetShellPrompts(previous);

  QStringList added = QDir(favorites).entryList(QDir::Files | QDir::Hidden);
  for (const QString& old : before) added.removeAll(old);
  ASSERT_EQ(added.size(), 1);
  EXPECT_FALSE(added[0].contains('/'));
  EXPECT_FALSE(added[0].startsWith('.'));  // not hidden from the Favorites lists
  EXPECT_TRUE(added[0].endsWith(".url"));
  EXPECT_FALSE(QDir(favorites + "/../up").exists());
  const QString text = QString::fromUtf8(testsupport::readFile(favorites + "/" + added[0]));
  EXPECT_TRUE(text.contains("[InternetShortcut]"));
  EXPECT_TRUE(text.contains("URL=http://example.com/a"));
  QFile::remove(favorites + "/" + added[0]);
}

TEST(FavoritesAndHistoryRoutines, ClearHistoryEmptiesTheStoreOnDisk) {
  UrlHistoryStore().AddVisit("http://clear.example/", "to be cleared");
  int cleared = 0;
  auto previous = std::exchange(UrlHistoryStore().OnCleared, [&cleared] { ++cleared; });
  ClearHistory();
  UrlHistoryStore().OnCleared = previous;
  EXPECT_EQ(cleared, 1);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(UrlHistoryFileName().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  auto count = [db](const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
  };
  EXPECT_EQ(count("SELECT count(*) FROM urls"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM visits"), 0);
  sqlite3_close(db);
}

// ---------------------------------------------------------------- versions

TEST(VersionRoutines, BrowserFileAndMajorVersions) {
  String version;
  GetIEFileVersion(version);
  EXPECT_EQ(version, "11.00.9600.17416");
  GetIEMajorVersion(version);
  EXPECT_EQ(version, "11");
}

TEST(VersionRoutines, RegisteredVersionDecidesIE5OrNewer) {
  const QString key = "Software\\Microsoft\\Internet Explorer";
  EXPECT_TRUE(IsIE5OrNewer());  // the seeded "9.11.9600.0"
  const std::pair<QString, bool> cases[] = {{"6.0.2900", true}, {"5", true},   {"4.72", false},
                                            {"", false},        {"x9", false}, {" 7", false}};
  for (const auto& [value, expected] : cases) {
    RegistryValue v(HKEY_LOCAL_MACHINE, key, "Version", value);
    EXPECT_EQ(IsIE5OrNewer(), expected) << value.toStdString();
  }
  RegistryValue missing(HKEY_LOCAL_MACHINE, key, "Version", QString());
  EXPECT_FALSE(IsIE5OrNewer());
}

class SoundsRouteTest : public BrowserFixture {};

TEST_F(SoundsRouteTest, MajorVersionElevenTakesTheFeatureRoute) {
  wb->DisableSounds(true);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS), S_OK);
  wb->DisableSounds(false);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS), S_FALSE);
}
