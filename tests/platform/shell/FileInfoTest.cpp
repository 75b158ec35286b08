#include "platform/classlib/ImgList.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QIcon>
#include <QStandardPaths>

using namespace shelltest;

namespace {

SHFILEINFOW infoOf(const QString& path, UINT flags, DWORD attributes = 0, DWORD_PTR* result = nullptr) {
  SHFILEINFOW info;
  const DWORD_PTR r =
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(path.utf16()), attributes, &info, sizeof info, flags);
  if (result) *result = r;
  return info;
}

SHFILEINFOW infoOf(PCIDLIST_ABSOLUTE pidl, UINT flags, DWORD_PTR* result = nullptr) {
  SHFILEINFOW info;
  const DWORD_PTR r =
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof info, flags | SHGFI_PIDL);
  if (result) *result = r;
  return info;
}

QString typeOf(const QString& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  return QString::fromUtf16(infoOf(path, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES, attributes).szTypeName);
}

}  // namespace

TEST(FileInfo, TypeNamesComeFromTheRegisteredClasses) {
  EXPECT_EQ(typeOf("*.htm"), "HTML Document");
  EXPECT_EQ(typeOf("/some/where/Page.HTML"), "HTML Document");
  EXPECT_EQ(typeOf("Google.url"), "Internet Shortcut");
  EXPECT_EQ(typeOf("archive.xyz"), "XYZ File");
  EXPECT_EQ(typeOf("README"), "File");
  EXPECT_EQ(typeOf("Folder.htm", FILE_ATTRIBUTE_DIRECTORY), "File folder");
  EXPECT_EQ(typeOf("file:///tmp/x/page.htm"), "HTML Document");

  // Real files are looked at; missing ones fail without the attributes flag.
  const QString root = freshFolder("fileinfo");
  testsupport::writeFile(root + "/Site.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  DWORD_PTR result = 0;
  SHFILEINFOW info =
      infoOf(root + "/Site.url", SHGFI_TYPENAME | SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES, 0, &result);
  EXPECT_NE(result, 0u);
  EXPECT_EQ(QString::fromUtf16(info.szTypeName), "Internet Shortcut");
  EXPECT_EQ(QString::fromUtf16(info.szDisplayName), "Site");
  EXPECT_TRUE(info.dwAttributes & SFGAO_FILESYSTEM);
  EXPECT_TRUE(info.dwAttributes & SFGAO_LINK);
  infoOf(root + "/missing.url", SHGFI_TYPENAME, 0, &result);
  EXPECT_EQ(result, 0u);

  // Only the attributes asked for, with SHGFI_ATTR_SPECIFIED.
  SHFILEINFOW asked;
  asked.dwAttributes = SFGAO_FOLDER | SFGAO_LINK;
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(QString(root + "/Site.url").utf16()), 0, &asked, sizeof asked,
                 SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED);
  EXPECT_EQ(asked.dwAttributes, SFGAO_LINK);
}

TEST(FileInfo, SystemImageListsHoldTheIconsByIndex) {
  DWORD_PTR small = 0, large = 0;
  // The list is there to be had even for an empty path.
  SHGetFileInfoW(u"", 0, nullptr, 0, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  const SHFILEINFOW none = infoOf(QString(), SHGFI_SYSICONINDEX | SHGFI_SMALLICON, 0, &small);
  EXPECT_EQ(small, reinterpret_cast<DWORD_PTR>(SystemImageList(true)));
  EXPECT_EQ(none.iIcon, 0);
  infoOf(QString(), SHGFI_SYSICONINDEX, 0, &large);
  EXPECT_EQ(large, reinterpret_cast<DWORD_PTR>(SystemImageList(false)));
  DWORD_PTR nothing = 1;
  infoOf(QString(), SHGFI_TYPENAME, 0, &nothing);
  EXPECT_EQ(nothing, 0u);

  TImageList* smallList = ImageListFromHandle(reinterpret_cast<HIMAGELIST>(small));
  TImageList* largeList = ImageListFromHandle(reinterpret_cast<HIMAGELIST>(large));
  EXPECT_EQ(smallList->GetWidth(), 16);
  EXPECT_EQ(largeList->GetWidth(), 32);

  const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES;
  const int folder = infoOf("x", flags, FILE_ATTRIBUTE_DIRECTORY).iIcon;
  const int openFolder = infoOf("x", flags | SHGFI_OPENICON, FILE_ATTRIBUTE_DIRECTORY).iIcon;
  const int htm = infoOf("*.htm", flags, FILE_ATTRIBUTE_NORMAL).iIcon;
  EXPECT_EQ(folder, 1);
  EXPECT_EQ(openFolder, 2);
  EXPECT_EQ(htm, 3);
  EXPECT_EQ(infoOf("Google.url", flags, FILE_ATTRIBUTE_NORMAL).iIcon, htm);
  const int png = infoOf("picture.png", flags, FILE_ATTRIBUTE_NORMAL).iIcon;
  EXPECT_EQ(infoOf("other.PNG", flags, FILE_ATTRIBUTE_NORMAL).iIcon, png);  // one entry per type

  // Both lists grow together and every index has a picture of the list's size.
  EXPECT_EQ(smallList->Count(), largeList->Count());
  for (int i : {folder, htm, png}) {
    ASSERT_LT(i, smallList->Count());
    const QImage picture = smallList->GetImage(i);
    EXPECT_EQ(picture.size(), QSize(16, 16));
    EXPECT_EQ(largeList->GetImage(i).size(), QSize(32, 32));
  }
  EXPECT_NE(smallList->GetImage(folder), smallList->GetImage(0));
}

TEST(FileInfo, KindsOfItemsHaveTheirOwnPicturesEvenWithoutADesktopsIconTheme) {
  // The tests run with no desktop naming an icon theme.
  const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES;
  const int document = infoOf("data.unknownkind", flags, FILE_ATTRIBUTE_NORMAL).iIcon;
  const int web = infoOf("*.htm", flags, FILE_ATTRIBUTE_NORMAL).iIcon;
  const int text = infoOf(".txt", flags, FILE_ATTRIBUTE_NORMAL).iIcon;
  const int folder = infoOf("x", flags, FILE_ATTRIBUTE_DIRECTORY).iIcon;
  PIDLIST_ABSOLUTE pidl = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidl), S_OK);
  const int computer = infoOf(pidl, SHGFI_SYSICONINDEX | SHGFI_SMALLICON).iIcon;
  ILFree(pidl);
  // The Recycle Bin is the desktop's trash, with the trash's icon.
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &pidl), S_OK);
  const int trash = infoOf(pidl, SHGFI_SYSICONINDEX | SHGFI_SMALLICON).iIcon;
  EXPECT_EQ(PathFromIDList(pidl),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files");
  ILFree(pidl);
  WCHAR path[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_BITBUCKET, nullptr, 0, path), E_INVALIDARG);

  TImageList* list = ImageListFromHandle(SystemImageList(true));
  const std::pair<const char*, int> kinds[] = {
      {"web page", web}, {"text", text}, {"folder", folder}, {"computer", computer}, {"trash", trash}};
  ASSERT_LT(document, list->Count());
  for (const auto& [name, index] : kinds) {
    ASSERT_LT(index, list->Count()) << name;
    EXPECT_FALSE(list->GetImage(index).isNull()) << name;
  }
  for (size_t i = 0; i < std::size(kinds); ++i)
    for (size_t j = i + 1; j < std::size(kinds); ++j)
      EXPECT_NE(list->GetImage(kinds[i].second), list->GetImage(kinds[j].second))
          << kinds[i].first << " and " << kinds[j].first;
  // A text file may share the plain document's picture; a web page may not.
  EXPECT_NE(list->GetImage(document), list->GetImage(web));
}

TEST(FileInfo, IconHandlesMustBeDestroyed) {
  const int live = LiveIconHandles();
  const SHFILEINFOW info =
      infoOf("*.htm", SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES, FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(info.hIcon, nullptr);
  EXPECT_EQ(info.iIcon, 3);
  EXPECT_EQ(LiveIconHandles(), live + 1);
  const QIcon icon = IconFromHandle(info.hIcon);
  EXPECT_FALSE(icon.isNull());
  EXPECT_FALSE(icon.pixmap(16, 16).isNull());
  EXPECT_TRUE(DestroyIcon(info.hIcon));
  EXPECT_FALSE(DestroyIcon(info.hIcon));
  EXPECT_TRUE(IconFromHandle(info.hIcon).isNull());
  EXPECT_EQ(LiveIconHandles(), live);
}

TEST(FileInfo, ItemListsOfFoldersAndOfTheHistory) {
  const long before = CoTaskMemLiveBlocks();
  {
    PIDLIST_ABSOLUTE raw = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FAVORITES, &raw), S_OK);
    const Pidl favorites(raw);
    DWORD_PTR result = 0;
    SHFILEINFOW info = infoOf(
        favorites.get(), SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME, &result);
    EXPECT_EQ(result, reinterpret_cast<DWORD_PTR>(SystemImageList(true)));
    EXPECT_EQ(QString::fromUtf16(info.szDisplayName), "Favorites");
    EXPECT_EQ(QString::fromUtf16(info.szTypeName), "File folder");
    EXPECT_EQ(info.iIcon, 1);

    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_HISTORY, &raw), S_OK);
    const Pidl history(raw);
    info = infoOf(history.get(), SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES | SHGFI_SYSICONINDEX, &result);
    EXPECT_NE(result, 0u);
    EXPECT_EQ(QString::fromUtf16(info.szDisplayName), "History");
    EXPECT_TRUE(info.dwAttributes & SFGAO_FOLDER);
    EXPECT_LT(info.iIcon, ImageListFromHandle(SystemImageList(false))->Count());

    // A list that names nothing fails.
    const Pidl bogus(static_cast<ITEMIDLIST*>(CoTaskMemAlloc(6)));
    const BYTE bytes[] = {4, 0, 0x7E, 1, 0, 0};
    std::memcpy(bogus.get(), bytes, 6);
    infoOf(bogus.get(), SHGFI_DISPLAYNAME, &result);
    EXPECT_EQ(result, 0u);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}
