#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>

using namespace shelltest;

namespace {

// A list from raw items: each a byte count and that many bytes in all.
Pidl listOf(std::initializer_list<QByteArray> items) {
  QByteArray bytes;
  for (const QByteArray& data : items) {
    const USHORT cb = USHORT(data.size() + 2);
    bytes.append(reinterpret_cast<const char*>(&cb), 2);
    bytes += data;
  }
  bytes.append(2, '\0');
  auto* p = static_cast<ITEMIDLIST*>(CoTaskMemAlloc(std::size_t(bytes.size())));
  std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
  return Pidl(p);
}

QByteArray bytesOf(PCUIDLIST_RELATIVE p) {
  return QByteArray(reinterpret_cast<const char*>(p), int(ILGetSize(p)));
}

}  // namespace

TEST(ItemIdLists, SizesWalkingAndTheLastItem) {
  EXPECT_EQ(ILGetSize(nullptr), 0u);
  const Pidl empty = listOf({});
  EXPECT_EQ(ILGetSize(empty.get()), 2u);
  EXPECT_TRUE(ILIsEmpty(empty.get()));
  EXPECT_EQ(ILGetNext(empty.get()), nullptr);

  const Pidl one = listOf({QByteArray(18, 'a')});  // an item of count 20
  EXPECT_EQ(ILGetSize(one.get()), 22u);
  const Pidl three = listOf({"ab", "cde", QByteArray(1, 'f')});  // odd counts: unaligned items
  EXPECT_EQ(ILGetSize(three.get()), 2u + 4 + 5 + 3);
  PIDLIST_RELATIVE second = ILGetNext(three.get());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(reinterpret_cast<BYTE*>(second) - reinterpret_cast<BYTE*>(three.get()), 4);
  PIDLIST_RELATIVE last = ILFindLastID(three.get());
  EXPECT_EQ(reinterpret_cast<BYTE*>(last) - reinterpret_cast<BYTE*>(three.get()), 9);
  EXPECT_TRUE(ILIsEmpty(ILGetNext(last)));
  EXPECT_EQ(ILFindLastID(empty.get()), empty.get());
}

TEST(ItemIdLists, CopiesAndJoinsGoThroughTaskMemoryAndAreAllFreed) {
  const long before = CoTaskMemLiveBlocks();
  {
    const Pidl a = listOf({"ab", "cde"});
    const Pidl b = listOf({"xyz"});
    const Pidl copy(ILClone(a.get()));
    EXPECT_EQ(bytesOf(copy.get()), bytesOf(a.get()));
    EXPECT_TRUE(ILIsEqual(copy.get(), a.get()));
    EXPECT_NE(copy.get(), a.get());

    const Pidl joined(ILCombine(a.get(), b.get()));
    EXPECT_EQ(ILGetSize(joined.get()), ILGetSize(a.get()) + ILGetSize(b.get()) - 2);
    EXPECT_EQ(bytesOf(joined.get()), bytesOf(a.get()).chopped(2) + bytesOf(b.get()));
    EXPECT_TRUE(ILIsParent(a.get(), joined.get(), TRUE));
    EXPECT_TRUE(ILIsParent(a.get(), joined.get(), FALSE));
    EXPECT_FALSE(ILIsParent(b.get(), joined.get(), FALSE));
    EXPECT_FALSE(ILIsParent(a.get(), a.get(), FALSE));

    // A null list counts as empty.
    const Pidl leftNull(ILCombine(nullptr, b.get()));
    EXPECT_TRUE(ILIsEqual(leftNull.get(), b.get()));
    EXPECT_EQ(ILCombine(nullptr, nullptr), nullptr);

    const Pidl first(ILCloneFirst(a.get()));
    EXPECT_EQ(bytesOf(first.get()), bytesOf(listOf({"ab"}).get()));

    // Removing the last item makes its count the terminator.
    Pidl shrink(ILClone(joined.get()));
    ASSERT_TRUE(ILRemoveLastID(shrink.get()));
    EXPECT_TRUE(ILIsEqual(shrink.get(), a.get()));
    ASSERT_TRUE(ILRemoveLastID(shrink.get()));
    ASSERT_TRUE(ILRemoveLastID(shrink.get()));
    EXPECT_TRUE(ILIsEmpty(shrink.get()));
    EXPECT_FALSE(ILRemoveLastID(shrink.get()));
    EXPECT_FALSE(ILRemoveLastID(nullptr));
    EXPECT_GT(CoTaskMemLiveBlocks(), before);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(ItemIdLists, TheShellAllocatorIsTaskMemory) {
  const long before = CoTaskMemLiveBlocks();
  ComPtr<IMalloc> malloc;
  ASSERT_EQ(SHGetMalloc(&malloc), S_OK);
  void* block = malloc->Alloc(40);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(CoTaskMemLiveBlocks(), before + 1);
  block = malloc->Realloc(block, 80);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(CoTaskMemLiveBlocks(), before + 1);
  malloc->Free(block);
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
  // A list made by the shell goes back through it.
  PIDLIST_ABSOLUTE favorites = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FAVORITES, &favorites), S_OK);
  malloc->Free(favorites);
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(SpecialFolders, PathsComeFromTheRegistryAndTheProfile) {
  const QString favorites = ProfileDir() + "/Favorites";
  EXPECT_EQ(SpecialFolderPath(CSIDL_FAVORITES), favorites);
  EXPECT_TRUE(QDir(favorites).exists());
  EXPECT_EQ(SpecialFolderPath(CSIDL_HISTORY), ProfileDir() + "/History");
  EXPECT_EQ(SpecialFolderPath(CSIDL_INTERNET_CACHE), ProfileDir() + "/Cache");
  EXPECT_EQ(SpecialFolderPath(CSIDL_PROFILE), QDir::homePath());
  EXPECT_EQ(SpecialFolderPath(CSIDL_APPDATA),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  EXPECT_EQ(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY), SpecialFolderPath(CSIDL_DESKTOP));

  WCHAR buffer[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_FAVORITES, TRUE));
  EXPECT_EQ(QString::fromUtf16(buffer), favorites);
  EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, buffer, 3000, FALSE));
  EXPECT_EQ(buffer[0], 0);

  // A folder moved in the registry is followed.
  const QString moved = testsupport::profileDir() + "/elsewhere/Favs";
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false));
    reg.WriteString("Favorites", moved);
  }
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_FAVORITES, nullptr, 0, buffer), S_OK);
  EXPECT_EQ(QString::fromUtf16(buffer), moved);
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false));
    reg.WriteString("Favorites", favorites);
  }
  EXPECT_EQ(SHGetFolderPathW(nullptr, 3000, nullptr, 0, buffer), E_INVALIDARG);
  // A folder that is not there answers S_FALSE unless asked to create it.
  const QString pictures = SpecialFolderPath(CSIDL_MYPICTURES);
  if (!QDir(pictures).exists()) {
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES, nullptr, 0, buffer), S_FALSE);
  }
}

TEST(SpecialFolders, TheDesktopsCounterpartsAndTheFoldersWithoutOne) {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  EXPECT_EQ(SpecialFolderPath(CSIDL_PROGRAMS),
            QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation));
  EXPECT_EQ(SpecialFolderPath(CSIDL_STARTUP), config + "/autostart");
  EXPECT_EQ(SpecialFolderPath(CSIDL_TEMPLATES),
            QStandardPaths::writableLocation(QStandardPaths::TemplatesLocation));
  EXPECT_TRUE(SpecialFolderPath(CSIDL_COMMON_PROGRAMS).endsWith("/applications"));
  EXPECT_NE(SpecialFolderPath(CSIDL_COMMON_PROGRAMS), SpecialFolderPath(CSIDL_PROGRAMS));
  EXPECT_TRUE(SpecialFolderPath(CSIDL_COMMON_STARTUP).endsWith("/autostart"));
  EXPECT_NE(SpecialFolderPath(CSIDL_COMMON_STARTUP), SpecialFolderPath(CSIDL_STARTUP));
  QDir homes(QDir::homePath());
  ASSERT_TRUE(homes.cdUp());
  EXPECT_EQ(SpecialFolderPath(CSIDL_PROFILES), homes.absolutePath());

  // Each has an item list leading back to its path, whether the folder is
  // there or not; asking creates nothing.
  const long before = CoTaskMemLiveBlocks();
  for (int csidl : {CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_TEMPLATES, CSIDL_COMMON_PROGRAMS,
                    CSIDL_COMMON_STARTUP, CSIDL_PROFILES}) {
    const QString path = SpecialFolderPath(csidl);
    const bool existed = QFileInfo::exists(path);
    PIDLIST_ABSOLUTE raw = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, csidl, &raw), S_OK) << csidl;
    const Pidl list(raw);
    EXPECT_EQ(PathFromIDList(list.get()), path) << csidl;
    EXPECT_EQ(QFileInfo::exists(path), existed) << csidl;
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);

  // The address box's keywords without a counterpart keep failing, and
  // leave nothing to free.
  for (int csidl : {1, 3, 4, 8, 9, 11, 18, 19, 22, 25, 27, 33, 49, 53, 54, 55, 59, 61, 3000}) {
    PIDLIST_ABSOLUTE raw = reinterpret_cast<PIDLIST_ABSOLUTE>(1);
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, csidl, &raw), E_INVALIDARG) << csidl;
    EXPECT_EQ(raw, nullptr) << csidl;
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(SpecialFolders, ListsHaveOneItemPerPathComponentAndLeadBackToThePath) {
  const long before = CoTaskMemLiveBlocks();
  {
    PIDLIST_ABSOLUTE raw = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FAVORITES, &raw), S_OK);
    const Pidl favorites(raw);
    const QString path = SpecialFolderPath(CSIDL_FAVORITES);
    // [computer] and one item for each component of the path.
    int items = 0;
    for (PCUIDLIST_RELATIVE p = favorites.get(); !ILIsEmpty(p); p = ILGetNext(p)) ++items;
    EXPECT_EQ(items, 1 + path.split('/', Qt::SkipEmptyParts).size());
    WCHAR buffer[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListW(favorites.get(), buffer));
    EXPECT_EQ(QString::fromUtf16(buffer), path);

    // Cutting the last item off gives the parent folder.
    Pidl parent(ILClone(favorites.get()));
    ILRemoveLastID(parent.get());
    EXPECT_EQ(PathFromIDList(parent.get()), ProfileDir());

    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_HISTORY, &raw), S_OK);
    const Pidl history(raw);
    EXPECT_EQ(ILGetSize(history.get()), 2u + 4u);  // one root item of count 4
    EXPECT_EQ(PathFromIDList(history.get()), ProfileDir() + "/History");

    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &raw), S_OK);
    const Pidl desktop(raw);
    EXPECT_TRUE(ILIsEmpty(desktop.get()));
    EXPECT_EQ(PathFromIDList(desktop.get()), SpecialFolderPath(CSIDL_DESKTOPDIRECTORY));

    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &raw), S_OK);
    const Pidl computer(raw);
    WCHAR buffer2[MAX_PATH];
    EXPECT_FALSE(SHGetPathFromIDListW(computer.get(), buffer2));  // no path of its own

    raw = reinterpret_cast<PIDLIST_ABSOLUTE>(1);
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 3000, &raw), E_INVALIDARG);
    EXPECT_EQ(raw, nullptr);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}
