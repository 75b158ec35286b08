#pragma once
// Inside the shell layer: the content of our items (see ShlObj.h), the
// folder objects and the shared helpers of display names, types and icons.
#include "platform/com/ComObject.h"
#include "platform/shell/ShlObj.h"

#include <QDateTime>

#include <vector>

namespace shelldetail {

enum ItemKind : BYTE {
  kRootItem = 0x1F,
  kFsFolder = 0x31,
  kFsFile = 0x32,
  kPeriod = 0x41,
  kSite = 0x42,
  kPage = 0x43,
};
enum RootItem : BYTE { kComputer = 0x01, kHistoryRoot = 0x02 };

// ---------------------------------------------------------------- items

// A list of one item with this kind and content (task memory).
PITEMID_CHILD MakeItem(BYTE kind, const QByteArray& content);
// The kind of the first item (0 for a null or empty list) and its content.
BYTE KindOf(PCUIDLIST_RELATIVE pidl);
QByteArray ContentOf(PCUIDLIST_RELATIVE pidl);
// The first items as separate lists, in order (pointing into `pidl`).
std::vector<PCUITEMID_CHILD> ItemsOf(PCUIDLIST_RELATIVE pidl);

PITEMID_CHILD MakeRootItem(RootItem which);
PITEMID_CHILD MakeFsItem(const String& name, bool folder);
String FsNameOf(PCUITEMID_CHILD item);

struct TPeriod {
  QDateTime From;  // [From, To)
  QDateTime To;
  String Caption;
};
PITEMID_CHILD MakePeriodItem(const TPeriod& period);
TPeriod PeriodOf(PCUITEMID_CHILD item);
PITEMID_CHILD MakeSiteItem(const String& site);
String SiteOf(PCUITEMID_CHILD item);
PITEMID_CHILD MakePageItem(const String& url, const String& title);
void PageOf(PCUITEMID_CHILD item, String& url, String& title);

// Appends a copy of each item of `pidl` to `items`.
QByteArray BytesOf(PCUIDLIST_RELATIVE pidl);
// A list (task memory) of raw item bytes and a terminator.
PIDLIST_RELATIVE ListFromBytes(const QByteArray& items);

// ---------------------------------------------------------------- folders

// An enumeration of items given as their bytes (one item each).
ComPtr<IEnumIDList> MakeItemEnumeration(std::vector<QByteArray> items);
// A one-level list's attributes asked of its folder.
SFGAOF AttributesOf(IShellFolder* folder, PCUITEMID_CHILD item, SFGAOF asked);
// The result CompareIDs answers for an order (<0, 0, >0).
HRESULT CompareResult(int order);

// Folders by where they stand: `absolute` is the folder's own absolute list.
ComPtr<IShellFolder> MakeFileSystemFolder(const String& path, PCIDLIST_ABSOLUTE absolute);
ComPtr<IShellFolder> MakeHistoryFolder(PCIDLIST_ABSOLUTE absolute);
ComPtr<IShellFolder> MakeDesktopFolder();
// The folder an absolute list names (null when it names no folder).
ComPtr<IShellFolder> BindAbsolute(PCIDLIST_ABSOLUTE absolute);
// The path of an absolute file-system list ([computer] + components); empty
// for any other list.
String FileSystemPathOf(PCIDLIST_ABSOLUTE absolute);

// The caption of the History folder (the registry's class name, "History").
String HistoryCaption();
// The History folder's path (the registry's "History" shell folder).
String HistoryPath();
// The desktop's trash (its "files" folder), which stands for the Recycle Bin.
String TrashPath();

// ---------------------------------------------------------------- names, types, icons

// A task-memory STRRET_WSTR.
HRESULT SetStrRet(STRRET* name, const String& text);
// The text of a STRRET (freeing a STRRET_WSTR).
String TakeStrRet(STRRET& name, PCUITEMID_CHILD item);

// A file's normal display name: without its extension when the extension
// is a registered type.
String DisplayNameOfFile(const String& fileName);
// "File folder", the registered class name of the extension, else "XYZ
// File" ("File" without an extension).
String TypeNameOfFile(const String& fileName, bool folder);
// Indexes in the system image lists.
inline constexpr int kIconDocument = 0;
inline constexpr int kIconFolder = 1;
inline constexpr int kIconFolderOpen = 2;
inline constexpr int kIconWebPage = 3;
int IconIndexOfFile(const String& fileName, bool folder, bool open);
// The index of a theme icon by name (added to both lists on first use).
int IconIndexOfTheme(const String& iconName, int fallback);

// The info tip object (IQueryInfo) of a text.
ComPtr<IQueryInfo> MakeInfoTip(const String& text);
// The context menu of file-system items.
ComPtr<IContextMenu3> MakeFileContextMenu(IShellFolder* folder, const String& folderPath,
                                          const QStringList& names, HWND owner);
// A shell link object loaded from a link file (null when it cannot be read).
HRESULT LoadShellLink(const String& fileName, REFIID riid, void** ppv);

// The creators of the shell's classes (class factory table).
HRESULT CreateShellLink(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateInternetShortcut(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateShellUIHelper(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateUrlHistory(IUnknown* outer, REFIID riid, void** ppv);
void RegisterAutoCompleteClasses();

// The prompts in use (the dialogs where none are installed).
bool ConfirmDelete(HWND owner, const QStringList& paths, bool toTrash);
bool ConfirmReplace(HWND owner, const String& source, const String& target);
bool AskNewName(HWND owner, const String& path, String& name);
void ShowProperties(HWND owner, const QStringList& paths);
bool AskFavoriteName(HWND owner, const String& url, String& name);

// `path` when nothing has that name yet, else "name (2).ext", "name (3).ext"...
String UniqueFileName(const String& path);

// Renames a file-system item inside its folder; answers an HRESULT.
HRESULT RenameFileSystemItem(const String& folder, const String& oldName, const String& newName);

// FILETIME of a point in time.
FILETIME FileTimeOf(const QDateTime& time);

}  // namespace shelldetail
