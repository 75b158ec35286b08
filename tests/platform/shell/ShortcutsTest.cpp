#include "platform/com/Dispatch.h"
#include "platform/rtl/IniFiles.h"
#include "platform/shell/IntShCut.h"
#include "platform/shell/UrlHist.h"
#include "platform/shell/UrlHistory.h"
#include "platform/winapi/Modules.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QFile>

using namespace shelltest;

namespace {

LPCOLESTR W(const QString& s) { return reinterpret_cast<LPCOLESTR>(s.utf16()); }

ComPtr<IUniformResourceLocatorW> newShortcut() {
  InitializeShell();
  ComPtr<IUniformResourceLocatorW> shortcut;
  EXPECT_EQ(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUniformResourceLocatorW, &shortcut),
            S_OK);
  return shortcut;
}

QString urlOf(IUniformResourceLocatorW* shortcut) {
  LPWSTR url = nullptr;
  if (shortcut->GetURL(&url) != S_OK) return QString();
  const QString text = OleStrToString(url);
  CoTaskMemFree(url);
  return text;
}

// The URL of a shortcut file read as the favorites components read it.
QString readThroughObject(const QString& file, HRESULT* loadResult = nullptr) {
  ComPtr<IUniformResourceLocatorW> shortcut = newShortcut();
  ComPtr<IPersistFile> persist = shortcut.As<IPersistFile>();
  const HRESULT hr = persist->Load(W(file), STGM_READ);
  if (loadResult) *loadResult = hr;
  return SUCCEEDED(hr) ? urlOf(shortcut.Get()) : QString();
}

}  // namespace

TEST(InternetShortcut, WritesAndReadsUrlFilesThroughPersistFile) {
  const long before = CoTaskMemLiveBlocks();
  {
    const QString file = freshFolder("shortcuts") + "/Example.url";
    const QString url = QString::fromUtf8("http://example.com/page?x=1&y=\xc3\xbc");
    ComPtr<IUniformResourceLocatorW> shortcut = newShortcut();
    ComPtr<IPersistFile> persist = shortcut.As<IPersistFile>();
    ASSERT_TRUE(persist);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_EQ(shortcut->SetURL(W(url), 0), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_EQ(persist->Save(W(file), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    LPOLESTR current = nullptr;
    ASSERT_EQ(persist->GetCurFile(&current), S_OK);
    EXPECT_EQ(OleStrToString(current), file);
    CoTaskMemFree(current);

    // Other programs read it as an ini file.
    EXPECT_EQ(TIniFile(file).ReadString("InternetShortcut", "URL", ""), url);
    EXPECT_TRUE(testsupport::readFile(file).startsWith("[InternetShortcut]"));
    EXPECT_EQ(readThroughObject(file), url);

    CLSID clsid;
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_InternetShortcut);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(InternetShortcut, SavingKeepsWhatElseTheFileHolds) {
  const QString file = freshFolder("shortcuts-keep") + "/Kept.url";
  testsupport::writeFile(
      file,
      "[DEFAULT]\r\nBASEURL=http://old.example/\r\n[InternetShortcut]\r\n"
      "URL=http://old.example/\r\nIconFile=http://old.example/favicon.ico\r\nIconIndex=1\r\n");
  ComPtr<IUniformResourceLocatorW> shortcut = newShortcut();
  ComPtr<IPersistFile> persist = shortcut.As<IPersistFile>();
  ASSERT_EQ(persist->Load(W(file), STGM_READWRITE), S_OK);
  EXPECT_EQ(urlOf(shortcut.Get()), "http://old.example/");
  ASSERT_EQ(shortcut->SetURL(u"new.example/page", IURL_SETURL_FL_GUESS_PROTOCOL), S_OK);
  ASSERT_EQ(persist->Save(nullptr, TRUE), S_OK);  // to the file it came from
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("InternetShortcut", "URL", ""), "http://new.example/page");
  EXPECT_EQ(ini.ReadString("InternetShortcut", "IconFile", ""), "http://old.example/favicon.ico");
  EXPECT_EQ(ini.ReadString("DEFAULT", "BASEURL", ""), "http://old.example/");
}

TEST(InternetShortcut, MissingFilesSectionsAndSchemes) {
  const QString root = freshFolder("shortcuts-edge");
  HRESULT hr = S_OK;
  EXPECT_EQ(readThroughObject(root + "/none.url", &hr), QString());
  EXPECT_EQ(hr, STG_E_FILENOTFOUND);
  testsupport::writeFile(root + "/nosection.url", "[Other]\r\nURL=http://x/\r\n");
  EXPECT_EQ(readThroughObject(root + "/nosection.url", &hr), QString());
  EXPECT_EQ(hr, S_OK);

  ComPtr<IUniformResourceLocatorW> shortcut = newShortcut();
  LPWSTR url = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(shortcut->GetURL(&url), S_FALSE);
  EXPECT_EQ(url, nullptr);
  EXPECT_EQ(shortcut->SetURL(u"www.example.com", 0), URL_E_INVALID_SYNTAX);
  EXPECT_EQ(shortcut->SetURL(u"www.example.com", IURL_SETURL_FL_USE_DEFAULT_PROTOCOL), S_OK);
  EXPECT_EQ(urlOf(shortcut.Get()), "http://www.example.com");
  EXPECT_EQ(shortcut->SetURL(u"about:blank", 0), S_OK);
  EXPECT_EQ(urlOf(shortcut.Get()), "about:blank");

  // Opening it goes to the desktop.
  OpenedUrls opened({"http"});
  shortcut->SetURL(u"http://example.com/open", 0);
  URLINVOKECOMMANDINFOW invoke;
  EXPECT_EQ(shortcut->InvokeCommand(&invoke), S_OK);
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls[0], QUrl("http://example.com/open"));
}

TEST(ShellLink, RoundTripAndResolveLikeTheFavoritesRoutines) {
  InitializeShell();
  const QString root = freshFolder("links");
  testsupport::writeFile(root + "/target.txt", "t");
  ComPtr<IShellLinkW> link;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, &link), S_OK);
  ASSERT_EQ(link->SetPath(W(root + "/target.txt")), S_OK);
  link->SetDescription(u"A target\nwith two lines");
  link->SetArguments(u"--flag");
  ASSERT_EQ(link.As<IPersistFile>()->Save(W(root + "/Target.lnk"), TRUE), S_OK);

  // Read back: load, resolve, path (a buffer of 261 characters).
  ComPtr<IShellLinkW> again;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, &again), S_OK);
  ASSERT_EQ(again.As<IPersistFile>()->Load(W(root + "/Target.lnk"), STGM_READ), S_OK);
  ASSERT_EQ(again->Resolve(nullptr, SLR_NOUPDATE), S_OK);
  WCHAR path[261];
  ASSERT_EQ(again->GetPath(path, 261, nullptr, SLGP_UNCPRIORITY), S_OK);
  EXPECT_EQ(QString::fromUtf16(path), root + "/target.txt");
  WCHAR text[64];
  again->GetDescription(text, 64);
  EXPECT_EQ(QString::fromUtf16(text), "A target with two lines");
  again->GetArguments(text, 64);
  EXPECT_EQ(QString::fromUtf16(text), "--flag");

  // The link as an item of its folder, and its target's item list.
  const Pidl folderList(FileSystemIDList(root));
  ComPtr<IShellFolder> folder = bind(folderList.get());
  const Pidl linkItem(FileSystemIDList(root + "/Target.lnk"));
  PCUITEMID_CHILD child = ILFindLastID(linkItem.get());
  ComPtr<IShellLinkW> fromFolder;
  ASSERT_EQ(folder->GetUIObjectOf(nullptr, 1, &child, IID_IShellLinkW, nullptr, &fromFolder), S_OK);
  PIDLIST_ABSOLUTE target = nullptr;
  ASSERT_EQ(fromFolder->GetIDList(&target), S_OK);
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(&desktop);
  EXPECT_EQ(nameOf(desktop.Get(), target, SHGDN_NORMAL), "target.txt");
  ILFree(target);

  // A link whose target is gone does not resolve; other files are no links.
  QFile::remove(root + "/target.txt");
  EXPECT_EQ(again->Resolve(nullptr, SLR_NOUPDATE), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  testsupport::writeFile(root + "/plain.txt", "p");
  const Pidl plain(FileSystemIDList(root + "/plain.txt"));
  child = ILFindLastID(plain.get());
  ComPtr<IShellLinkW> none;
  EXPECT_EQ(folder->GetUIObjectOf(nullptr, 1, &child, IID_IShellLinkW, nullptr, &none), E_NOINTERFACE);
  EXPECT_EQ(again.As<IPersistFile>()->Load(W(root + "/plain.txt"), STGM_READ), E_FAIL);
}

TEST(ShellUIHelper, AddFavoriteWritesAShortcutUnderTheChosenName) {
  InitializeShell();
  const QString favorites = SpecialFolderPath(CSIDL_FAVORITES);
  QString offeredName, offeredUrl;
  QString answer = "Chosen name";
  bool confirm = true;
  Prompts prompts({.AskFavoriteName = [&](HWND, const QString& url, QString& name) {
    offeredUrl = url;
    offeredName = name;
    name = answer;
    return confirm;
  }});
  ComPtr<IShellUIHelper> helper;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellUIHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IShellUIHelper, &helper),
            S_OK);
  const BSTR url = StringToBSTR("http://example.com/fav");
  OleVariant title(QString("Page title"));
  ASSERT_EQ(helper->AddFavorite(url, &title), S_OK);
  EXPECT_EQ(offeredName, "Page title");
  EXPECT_EQ(offeredUrl, "http://example.com/fav");
  EXPECT_EQ(readThroughObject(favorites + "/Chosen name.url"), "http://example.com/fav");

  // The same address again replaces; another address under the name gets its own file.
  ASSERT_EQ(helper->AddFavorite(url, &title), S_OK);
  EXPECT_FALSE(QFile::exists(favorites + "/Chosen name (2).url"));
  const BSTR other = StringToBSTR("http://example.org/");
  ASSERT_EQ(helper->AddFavorite(other, nullptr), S_OK);
  EXPECT_EQ(offeredName, "http://example.org/");  // no title: the address
  EXPECT_EQ(readThroughObject(favorites + "/Chosen name (2).url"), "http://example.org/");

  // Names are made safe for a file; cancelling writes nothing.
  answer = "a/b";
  ASSERT_EQ(helper->AddFavorite(other, nullptr), S_OK);
  EXPECT_TRUE(QFile::exists(favorites + "/" + SafeFileName("a/b") + ".url"));
  confirm = false;
  answer = "Never written";
  EXPECT_EQ(helper->AddFavorite(other, nullptr), S_OK);
  EXPECT_FALSE(QFile::exists(favorites + "/Never written.url"));
  const BSTR empty = StringToBSTR("  ");
  EXPECT_EQ(helper->AddFavorite(empty, nullptr), E_INVALIDARG);

  // Late binding reaches the same method.
  confirm = true;
  answer = "By dispatch";
  DISPID id = 0;
  ASSERT_EQ(DispatchGetIDOfName(helper.Get(), "AddFavorite", id), S_OK);
  ASSERT_EQ(DispatchInvoke(helper.Get(), id, DISPATCH_METHOD,
                           {OleVariant(QString("http://example.net/")), OleVariant(QString("T"))}),
            S_OK);
  EXPECT_EQ(readThroughObject(favorites + "/By dispatch.url"), "http://example.net/");
  SysFreeString(url);
  SysFreeString(other);
  SysFreeString(empty);
}

TEST(UrlHistoryStg, AddsQueriesEnumeratesDeletesAndClears) {
  InitializeShell();
  ASSERT_TRUE(UrlHistoryStore().Clear());
  const long before = CoTaskMemLiveBlocks();
  {
    ComPtr<IUrlHistoryStg2> history;
    ASSERT_EQ(
        CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER, IID_IUrlHistoryStg2, &history),
        S_OK);
    ASSERT_EQ(history->AddUrl(u"http://example.com/one", u"One", ADDURL_ADDTOHISTORYANDCACHE), S_OK);
    ASSERT_EQ(history->AddUrl(u"http://example.com/two", nullptr, 0), S_OK);
    ASSERT_EQ(history->AddUrl(u"http://cache.only/", u"C", ADDURL_ADDTOCACHE), S_OK);
    EXPECT_EQ(history->AddUrl(u"", u"x", 0), E_INVALIDARG);

    STATURL stat;
    ASSERT_EQ(history->QueryUrl(u"http://example.com/one", 0, &stat), S_OK);
    EXPECT_EQ(OleStrToString(stat.pwcsUrl), "http://example.com/one");
    EXPECT_EQ(OleStrToString(stat.pwcsTitle), "One");
    EXPECT_NE(stat.ftLastVisited.dwHighDateTime, 0u);
    CoTaskMemFree(stat.pwcsUrl);
    CoTaskMemFree(stat.pwcsTitle);
    ASSERT_EQ(history->QueryUrl(u"http://example.com/two", STATURL_QUERYFLAG_NOURL, &stat), S_OK);
    EXPECT_EQ(stat.pwcsUrl, nullptr);
    EXPECT_EQ(stat.pwcsTitle, nullptr);  // no title recorded
    EXPECT_EQ(history->QueryUrl(u"http://cache.only/", 0, nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    ComPtr<IEnumSTATURL> e;
    ASSERT_EQ(history->EnumUrls(&e), S_OK);
    QStringList urls;
    ULONG fetched = 0;
    while (e->Next(1, &stat, &fetched) == S_OK) {
      urls << OleStrToString(stat.pwcsUrl);
      CoTaskMemFree(stat.pwcsUrl);
      CoTaskMemFree(stat.pwcsTitle);
    }
    urls.sort();
    EXPECT_EQ(urls, QStringList({"http://example.com/one", "http://example.com/two"}));
    ASSERT_EQ(e->SetFilter(u"http://example.com/t", 0), S_OK);
    ASSERT_EQ(e->Next(1, &stat, &fetched), S_OK);
    EXPECT_EQ(OleStrToString(stat.pwcsUrl), "http://example.com/two");
    CoTaskMemFree(stat.pwcsUrl);
    EXPECT_EQ(e->Next(1, &stat, &fetched), S_FALSE);

    ASSERT_EQ(history->DeleteUrl(u"http://example.com/one", 0), S_OK);
    EXPECT_EQ(history->DeleteUrl(u"http://example.com/one", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(history->ClearHistory(), S_OK);
    EXPECT_TRUE(UrlHistoryStore().AllEntries().empty());
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(ShellModules, ShlwapiReportsAVersionAboveTheAutoCompleteThreshold) {
  InitializeShell();
  HMODULE shlwapi = LoadLibrary("Shlwapi.dll");
  ASSERT_NE(shlwapi, nullptr);
  struct Info {
    DWORD cbSize, major, minor, build, platform;
  } info{20, 0, 0, 0, 0};
  using GetVersion = HRESULT (*)(Info*);
  auto get = reinterpret_cast<GetVersion>(GetProcAddress(shlwapi, "DllGetVersion"));
  ASSERT_NE(get, nullptr);
  ASSERT_EQ(get(&info), S_OK);
  EXPECT_GT(double(info.major + info.minor), 4.72);
  FreeLibrary(shlwapi);
}
