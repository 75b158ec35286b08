#include "platform/shell/ShellItems.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QDir>
#include <QFile>

#include <algorithm>

using namespace shelltest;

namespace {

// A folder with a sub-folder, a hidden file and files of registered and
// unregistered types.
QString sampleFolder() {
  const QString root = freshFolder("sample");
  testsupport::writeFile(root + "/b.txt", "b");
  testsupport::writeFile(root + "/page.htm", "<html></html>");
  testsupport::writeFile(root + "/Link.url", "[InternetShortcut]\r\nURL=http://example.com/\r\n");
  testsupport::writeFile(root + "/noext", "n");
  testsupport::writeFile(root + "/.hidden", "h");
  testsupport::writeFile(root + "/A folder/inner.txt", "i");
  QDir().mkpath(root + "/empty");
  return root;
}

ComPtr<IShellFolder> folderAt(const QString& path) {
  const Pidl absolute(FileSystemIDList(path));
  return bind(absolute.get());
}

short order(IShellFolder* folder, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) {
  const HRESULT hr = folder->CompareIDs(0, a, b);
  EXPECT_TRUE(SUCCEEDED(hr));
  return short(HRESULT_CODE(hr));
}

}  // namespace

TEST(FileSystemFolder, EnumeratesFoldersFirstAndHidesWhatIsHidden) {
  const long before = CoTaskMemLiveBlocks();
  {
    const QString root = sampleFolder();
    ComPtr<IShellFolder> folder = folderAt(root);
    ASSERT_TRUE(folder);

    const auto all = enumerate(folder.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
    // Registered types (.htm, .url) show without their extension.
    EXPECT_EQ(namesOf(folder.Get(), all),
              QStringList({"A folder", "empty", "b.txt", "Link", "noext", "page"}));
    EXPECT_EQ(namesOf(folder.Get(), all, SHGDN_FORPARSING | SHGDN_INFOLDER),
              QStringList({"A folder", "empty", "b.txt", "Link.url", "noext", "page.htm"}));
    EXPECT_EQ(nameOf(folder.Get(), all[5].get(), SHGDN_FORPARSING), root + "/page.htm");

    EXPECT_EQ(namesOf(folder.Get(), enumerate(folder.Get(), SHCONTF_FOLDERS)),
              QStringList({"A folder", "empty"}));
    EXPECT_EQ(namesOf(folder.Get(), enumerate(folder.Get(), SHCONTF_NONFOLDERS)),
              QStringList({"b.txt", "Link", "noext", "page"}));
    const QStringList withHidden = namesOf(
        folder.Get(), enumerate(folder.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN));
    EXPECT_TRUE(withHidden.contains(".hidden"));
    EXPECT_EQ(withHidden.size(), 7);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(FileSystemFolder, AttributesTellFoldersFilesLinksAndHiddenItems) {
  const QString root = sampleFolder();
  ComPtr<IShellFolder> folder = folderAt(root);
  const auto all = enumerate(folder.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN);
  auto find = [&](const QString& name) -> PCUITEMID_CHILD {
    for (const Pidl& p : all)
      if (nameOf(folder.Get(), p.get(), SHGDN_FORPARSING | SHGDN_INFOLDER) == name) return p.get();
    ADD_FAILURE() << name.toStdString();
    return nullptr;
  };
  const SFGAOF sub = attributesOf(folder.Get(), find("A folder"));
  EXPECT_TRUE(sub & SFGAO_FOLDER);
  EXPECT_TRUE(sub & SFGAO_FILESYSTEM);
  EXPECT_FALSE(sub & SFGAO_HASSUBFOLDER);  // holds a file only
  EXPECT_FALSE(sub & SFGAO_STREAM);
  const SFGAOF file = attributesOf(folder.Get(), find("b.txt"));
  EXPECT_FALSE(file & SFGAO_FOLDER);
  EXPECT_TRUE(file & SFGAO_STREAM);
  EXPECT_TRUE(file & SFGAO_CANRENAME);
  EXPECT_FALSE(file & SFGAO_LINK);
  EXPECT_TRUE(attributesOf(folder.Get(), find("Link.url")) & SFGAO_LINK);
  EXPECT_TRUE(attributesOf(folder.Get(), find(".hidden")) & SFGAO_HIDDEN);
  EXPECT_FALSE(file & SFGAO_HIDDEN);

  // Only what is asked for comes back; several items answer what all have.
  EXPECT_EQ(attributesOf(folder.Get(), find("A folder"), SFGAO_FOLDER), SFGAO_FOLDER);
  EXPECT_EQ(attributesOf(folder.Get(), find("b.txt"), SFGAO_FOLDER), 0u);
  PCUITEMID_CHILD both[] = {find("A folder"), find("b.txt")};
  SFGAOF common = SFGAO_FOLDER | SFGAO_FILESYSTEM;
  ASSERT_EQ(folder->GetAttributesOf(2, both, &common), S_OK);
  EXPECT_EQ(common, SFGAO_FILESYSTEM);

  // The root folder of the sample has sub-folders.
  ComPtr<IShellFolder> parent = folderAt(root + "/..");
  const Pidl self(FileSystemIDList(root));
  EXPECT_TRUE(attributesOf(parent.Get(), ILFindLastID(self.get())) & SFGAO_HASSUBFOLDER);
}

TEST(FileSystemFolder, CompareIdsOrdersFoldersFirstThenNamesWithoutCase) {
  const QString root = freshFolder("order");
  for (const char* name : {"beta.txt", "Alpha.txt", "gamma.txt"})
    testsupport::writeFile(root + "/" + name, "x");
  QDir().mkpath(root + "/zeta");
  ComPtr<IShellFolder> folder = folderAt(root);
  auto items = enumerate(folder.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
  std::reverse(items.begin(), items.end());
  std::sort(items.begin(), items.end(),
            [&](const Pidl& a, const Pidl& b) { return order(folder.Get(), a.get(), b.get()) < 0; });
  EXPECT_EQ(namesOf(folder.Get(), items), QStringList({"zeta", "Alpha.txt", "beta.txt", "gamma.txt"}));
  EXPECT_EQ(order(folder.Get(), items[1].get(), items[1].get()), 0);
  EXPECT_EQ(order(folder.Get(), items[2].get(), items[1].get()), 1);
}

TEST(FileSystemFolder, BindsParsesAndNamesDeeperItems) {
  const long before = CoTaskMemLiveBlocks();
  {
    const QString root = sampleFolder();
    ComPtr<IShellFolder> folder = folderAt(root);
    PIDLIST_RELATIVE raw = nullptr;
    ULONG eaten = 0;
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_STREAM;
    WCHAR path[] = u"A folder/inner.txt";
    ASSERT_EQ(folder->ParseDisplayName(nullptr, nullptr, path, &eaten, &raw, &attributes), S_OK);
    const Pidl inner(raw);
    EXPECT_EQ(eaten, 18u);
    EXPECT_EQ(attributes, SFGAO_STREAM);
    EXPECT_EQ(nameOf(folder.Get(), inner.get(), SHGDN_FORPARSING), root + "/A folder/inner.txt");
    EXPECT_EQ(nameOf(folder.Get(), inner.get(), SHGDN_NORMAL), "inner.txt");

    WCHAR missing[] = u"A folder/none.txt";
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, missing, nullptr, &raw, nullptr),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(raw, nullptr);

    // Binding the first item of the parsed list reaches the sub-folder.
    const Pidl first(ILCloneFirst(inner.get()));
    ComPtr<IShellFolder> sub;
    ASSERT_EQ(folder->BindToObject(first.get(), nullptr, IID_IShellFolder, &sub), S_OK);
    EXPECT_EQ(namesOf(sub.Get(), enumerate(sub.Get(), SHCONTF_NONFOLDERS)), QStringList({"inner.txt"}));
    // A file is no folder.
    ComPtr<IShellFolder> notAFolder;
    EXPECT_EQ(folder->BindToObject(inner.get(), nullptr, IID_IShellFolder, &notAFolder), E_INVALIDARG);

    // The folder of a missing path cannot be listed.
    ComPtr<IShellFolder> gone = folderAt(root + "/no such folder");
    ComPtr<IEnumIDList> e;
    EXPECT_EQ(gone->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &e), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(FileSystemFolder, SetNameOfRenamesAndKeepsTheHiddenExtension) {
  const QString root = sampleFolder();
  ComPtr<IShellFolder> folder = folderAt(root);
  const Pidl page(FileSystemIDList(root + "/page.htm"));
  PITEMID_CHILD renamed = nullptr;
  ASSERT_EQ(folder->SetNameOf(nullptr, ILFindLastID(page.get()), u"Front page", SHGDN_NORMAL, &renamed),
            S_OK);
  const Pidl renamedItem(renamed);
  EXPECT_TRUE(QFile::exists(root + "/Front page.htm"));
  EXPECT_FALSE(QFile::exists(root + "/page.htm"));
  EXPECT_EQ(nameOf(folder.Get(), renamedItem.get(), SHGDN_FORPARSING | SHGDN_INFOLDER), "Front page.htm");

  // A parsing name is taken as it is.
  const Pidl text(FileSystemIDList(root + "/b.txt"));
  ASSERT_EQ(folder->SetNameOf(nullptr, ILFindLastID(text.get()), u"c.md", SHGDN_FORPARSING, nullptr), S_OK);
  EXPECT_TRUE(QFile::exists(root + "/c.md"));

  const Pidl link(FileSystemIDList(root + "/Link.url"));
  // "Front page.url" is free: the extension differs.
  EXPECT_EQ(folder->SetNameOf(nullptr, ILFindLastID(link.get()), u"Front page", SHGDN_NORMAL, nullptr), S_OK);
  EXPECT_TRUE(QFile::exists(root + "/Front page.url"));
  const Pidl moved(FileSystemIDList(root + "/Front page.url"));
  EXPECT_EQ(folder->SetNameOf(nullptr, ILFindLastID(moved.get()), u"c.md", SHGDN_FORPARSING, nullptr),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  for (const char16_t* bad : {u"", u"a/b", u".."})
    EXPECT_FALSE(
        SUCCEEDED(folder->SetNameOf(nullptr, ILFindLastID(moved.get()), bad, SHGDN_FORPARSING, nullptr)));
  EXPECT_TRUE(QFile::exists(root + "/Front page.url"));
}

TEST(DesktopFolder, HoldsTheComputerAndHistoryAndTakesAbsoluteLists) {
  const long before = CoTaskMemLiveBlocks();
  {
    ComPtr<IShellFolder> desktop;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    const auto roots = enumerate(desktop.Get(), SHCONTF_FOLDERS);
    EXPECT_EQ(namesOf(desktop.Get(), roots), QStringList({"Computer", "History"}));
    EXPECT_TRUE(enumerate(desktop.Get(), SHCONTF_NONFOLDERS).empty());
    EXPECT_EQ(nameOf(desktop.Get(), roots[0].get(), SHGDN_FORPARSING), "/");

    const QString root = sampleFolder();
    WCHAR path[MAX_PATH];
    const QString target = root + "/A folder/inner.txt";
    std::memcpy(path, target.utf16(), (target.size() + 1) * 2);
    PIDLIST_RELATIVE raw = nullptr;
    ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, path, nullptr, &raw, nullptr), S_OK);
    const Pidl absolute(raw);
    EXPECT_TRUE(ILIsEqual(absolute.get(), Pidl(FileSystemIDList(target)).get()));
    EXPECT_EQ(nameOf(desktop.Get(), absolute.get(), SHGDN_FORPARSING), target);
    EXPECT_EQ(nameOf(desktop.Get(), absolute.get(), SHGDN_NORMAL), "inner.txt");
    SFGAOF a = SFGAO_FOLDER | SFGAO_FILESYSTEM;
    PCUITEMID_CHILD items[] = {absolute.get()};
    ASSERT_EQ(desktop->GetAttributesOf(1, items, &a), S_OK);
    EXPECT_EQ(a, SFGAO_FILESYSTEM);

    // file: addresses parse too; missing paths do not.
    const QString url = "file://" + target;
    std::memcpy(path, url.utf16(), (url.size() + 1) * 2);
    ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, path, nullptr, &raw, nullptr), S_OK);
    EXPECT_TRUE(ILIsEqual(raw, absolute.get()));
    ILFree(raw);
    WCHAR gone[] = u"/no/such/file";
    EXPECT_EQ(desktop->ParseDisplayName(nullptr, nullptr, gone, nullptr, &raw, nullptr),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // The parent of the last item, as the favorites components bind it.
    PCUITEMID_CHILD last = nullptr;
    ComPtr<IShellFolder> parent;
    ASSERT_EQ(SHBindToParent(absolute.get(), IID_IShellFolder, &parent, &last), S_OK);
    EXPECT_EQ(nameOf(parent.Get(), last, SHGDN_FORPARSING | SHGDN_INFOLDER), "inner.txt");

    ComPtr<IShellFolder> none;
    const Pidl empty(static_cast<ITEMIDLIST*>(CoTaskMemAlloc(2)));
    std::memset(empty.get(), 0, 2);
    EXPECT_EQ(desktop->BindToObject(empty.get(), nullptr, IID_IShellFolder, &none), E_INVALIDARG);
    EXPECT_EQ(nameOf(desktop.Get(), empty.get(), SHGDN_NORMAL), "Desktop");
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(ItemEnumeration, SkipResetAndClone) {
  const QString root = freshFolder("enumeration");
  for (const char* name : {"1", "2", "3"}) testsupport::writeFile(root + "/" + name, "x");
  ComPtr<IShellFolder> folder = folderAt(root);
  ComPtr<IEnumIDList> e;
  ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &e), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  ComPtr<IEnumIDList> copy;
  ASSERT_EQ(e->Clone(&copy), S_OK);
  PITEMID_CHILD items[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, items, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(nameOf(folder.Get(), items[0], SHGDN_NORMAL), "2");
  for (ULONG i = 0; i < fetched; ++i) ILFree(items[i]);
  EXPECT_EQ(copy->Next(1, items, &fetched), S_OK);
  EXPECT_EQ(nameOf(folder.Get(), items[0], SHGDN_NORMAL), "2");
  ILFree(items[0]);
  EXPECT_EQ(e->Skip(5), S_FALSE);
  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Next(1, items, nullptr), S_OK);
  EXPECT_EQ(nameOf(folder.Get(), items[0], SHGDN_NORMAL), "1");
  ILFree(items[0]);
}
