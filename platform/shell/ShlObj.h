#pragma once
// The shell: special folders, item identifier lists, shell folders over the
// file system and over the URL history store (the History folder), display
// names, attributes, icons and type names of items, the shell's context
// menu, file operations, opening documents through the desktop, shell links
// and the Add Favorite helper.
//
// Item identifier lists have the platform's byte layout: items of a 16-bit
// byte count (counting itself) and data, ended by a zero count. Lists handed
// out are task memory (SHGetMalloc / CoTaskMemFree). An item's data is one
// kind byte and its content:
//   0x1F  a root item of the desktop: 0x01 the computer (the file system
//         root "/"), 0x02 the History folder;
//   0x31  a folder of the file system, 0x32 a file: the name in UTF-16 and a
//         zero;
//   0x41  a period of the History folder: its start and end (milliseconds
//         since 1970, UTC, 64 bits each) and its caption in UTF-16 and a zero;
//   0x42  a site of a period: the host in UTF-16 and a zero (empty for local
//         files);
//   0x43  a page of a site: the address and the title in UTF-16, each ended by
//         a zero.
// An absolute list of a file-system item is the computer item followed by one
// item per path component: "/home/a/Favorites" is [computer][home][a][Favorites].
//
// Everything here runs on the user-interface thread, except the item
// identifier list routines and SHGetMalloc, which any thread may use.
#include "platform/com/OleIdl.h"
#include "platform/winapi/Menus.h"

#include <functional>

class QIcon;
class TImageList;
struct IBindCtx;

using HANDLE = void*;
inline constexpr int MAX_PATH = 260;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

inline constexpr DWORD ERROR_CANCELLED = 1223;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;

// ---------------------------------------------------------------- item identifier lists

#pragma pack(push, 1)
struct SHITEMID {
  USHORT cb;
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
#pragma pack(pop)

using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using PIDLIST_RELATIVE = ITEMIDLIST*;
using PCUIDLIST_RELATIVE = const ITEMIDLIST*;
using PITEMID_CHILD = ITEMIDLIST*;
using PCUITEMID_CHILD = const ITEMIDLIST*;
using PCUITEMID_CHILD_ARRAY = const PCUITEMID_CHILD*;

// Byte size including the terminator; 0 for null.
UINT ILGetSize(PCUIDLIST_RELATIVE pidl);
// The next item (null at the terminator or for null).
PIDLIST_RELATIVE ILGetNext(PCUIDLIST_RELATIVE pidl);
// The last item (the list itself when it is empty).
PIDLIST_RELATIVE ILFindLastID(PCUIDLIST_RELATIVE pidl);
// Cuts the last item off in place; FALSE for null or an empty list.
BOOL ILRemoveLastID(PIDLIST_RELATIVE pidl);
BOOL ILIsEmpty(PCUIDLIST_RELATIVE pidl);
// Copies in task memory (null for null or when memory runs out).
PIDLIST_RELATIVE ILClone(PCUIDLIST_RELATIVE pidl);
PITEMID_CHILD ILCloneFirst(PCUIDLIST_RELATIVE pidl);
// The items of both in one new list; a null list counts as empty (both null:
// null).
PIDLIST_ABSOLUTE ILCombine(PCIDLIST_ABSOLUTE first, PCUIDLIST_RELATIVE second);
void ILFree(PIDLIST_RELATIVE pidl);
// An item identifier list owned here (see Owned).
using OwnedIdList = Owned<ITEMIDLIST*, ILFree>;
// Byte-equal lists.
BOOL ILIsEqual(PCIDLIST_ABSOLUTE a, PCIDLIST_ABSOLUTE b);
// Whether `parent` is the start of `child` (with `immediate`, exactly one
// item shorter).
BOOL ILIsParent(PCIDLIST_ABSOLUTE parent, PCIDLIST_ABSOLUTE child, BOOL immediate);

// ---------------------------------------------------------------- the shell allocator

struct IMalloc : IUnknown {
  virtual void* Alloc(std::size_t cb) = 0;
  virtual void* Realloc(void* pv, std::size_t cb) = 0;
  virtual void Free(void* pv) = 0;
  // -1: the size is not known.
  virtual std::size_t GetSize(void* pv) = 0;
  // 1 allocated here, 0 not, -1 not known.
  virtual int DidAlloc(void* pv) = 0;
  virtual void HeapMinimize() = 0;
};
NOCTIVANE_DECLARE_IID(IMalloc, IUnknown, "{00000002-0000-0000-C000-000000000046}")

// The task allocator (CoTaskMemAlloc and its kin).
HRESULT SHGetMalloc(IMalloc** ppMalloc);

// ---------------------------------------------------------------- folders

using SHCONTF = DWORD;
inline constexpr SHCONTF SHCONTF_FOLDERS = 0x0020;
inline constexpr SHCONTF SHCONTF_NONFOLDERS = 0x0040;
inline constexpr SHCONTF SHCONTF_INCLUDEHIDDEN = 0x0080;

using SFGAOF = ULONG;
inline constexpr SFGAOF SFGAO_CANCOPY = 0x00000001;
inline constexpr SFGAOF SFGAO_CANMOVE = 0x00000002;
inline constexpr SFGAOF SFGAO_CANLINK = 0x00000004;
inline constexpr SFGAOF SFGAO_STORAGE = 0x00000008;
inline constexpr SFGAOF SFGAO_CANRENAME = 0x00000010;
inline constexpr SFGAOF SFGAO_CANDELETE = 0x00000020;
inline constexpr SFGAOF SFGAO_HASPROPSHEET = 0x00000040;
inline constexpr SFGAOF SFGAO_LINK = 0x00010000;
inline constexpr SFGAOF SFGAO_SHARE = 0x00020000;
inline constexpr SFGAOF SFGAO_READONLY = 0x00040000;
inline constexpr SFGAOF SFGAO_HIDDEN = 0x00080000;
inline constexpr SFGAOF SFGAO_STREAM = 0x00400000;
inline constexpr SFGAOF SFGAO_STORAGEANCESTOR = 0x00800000;
inline constexpr SFGAOF SFGAO_FILESYSANCESTOR = 0x10000000;
inline constexpr SFGAOF SFGAO_FOLDER = 0x20000000;
inline constexpr SFGAOF SFGAO_FILESYSTEM = 0x40000000;
inline constexpr SFGAOF SFGAO_HASSUBFOLDER = 0x80000000;
inline constexpr SFGAOF SFGAO_BROWSABLE = 0x08000000;

using SHGDNF = DWORD;
inline constexpr SHGDNF SHGDN_NORMAL = 0x0000;
inline constexpr SHGDNF SHGDN_INFOLDER = 0x0001;
inline constexpr SHGDNF SHGDN_FOREDITING = 0x1000;
inline constexpr SHGDNF SHGDN_FORADDRESSBAR = 0x4000;
inline constexpr SHGDNF SHGDN_FORPARSING = 0x8000;

inline constexpr UINT STRRET_WSTR = 0;
inline constexpr UINT STRRET_OFFSET = 1;
inline constexpr UINT STRRET_CSTR = 2;

// A display name: the shell here always answers STRRET_WSTR, a task-memory
// string the receiver frees.
struct STRRET {
  UINT uType;
  union {
    LPWSTR pOleStr;
    UINT uOffset;
    char cStr[MAX_PATH];
  };
};

struct IEnumIDList : IUnknown {
  // The next `celt` items (each a child list in task memory for the
  // receiver); S_FALSE when fewer were left.
  virtual HRESULT Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumIDList** ppenum) = 0;
};
NOCTIVANE_DECLARE_IID(IEnumIDList, IUnknown, "{000214F2-0000-0000-C000-000000000046}")

struct IShellFolder : IUnknown {
  virtual HRESULT ParseDisplayName(HWND hwnd, IBindCtx* pbc, LPWSTR pszDisplayName, ULONG* pchEaten,
                                   PIDLIST_RELATIVE* ppidl, ULONG* pdwAttributes) = 0;
  virtual HRESULT EnumObjects(HWND hwnd, SHCONTF grfFlags, IEnumIDList** ppenumIDList) = 0;
  virtual HRESULT BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* pbc, REFIID riid, void** ppv) = 0;
  virtual HRESULT BindToStorage(PCUIDLIST_RELATIVE pidl, IBindCtx* pbc, REFIID riid, void** ppv) = 0;
  // The low 16 bits of the result, as a signed number, order the two items
  // (negative: the first comes first). Column 0 is the name.
  virtual HRESULT CompareIDs(LPARAM lParam, PCUIDLIST_RELATIVE pidl1, PCUIDLIST_RELATIVE pidl2) = 0;
  virtual HRESULT CreateViewObject(HWND hwndOwner, REFIID riid, void** ppv) = 0;
  // In: the attributes asked for; out: those of them all the items have.
  virtual HRESULT GetAttributesOf(UINT cidl, PCUITEMID_CHILD_ARRAY apidl, SFGAOF* rgfInOut) = 0;
  virtual HRESULT GetUIObjectOf(HWND hwndOwner, UINT cidl, PCUITEMID_CHILD_ARRAY apidl, REFIID riid,
                                UINT* rgfReserved, void** ppv) = 0;
  virtual HRESULT GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF uFlags, STRRET* pName) = 0;
  virtual HRESULT SetNameOf(HWND hwnd, PCUITEMID_CHILD pidl, LPCWSTR pszName, SHGDNF uFlags,
                            PITEMID_CHILD* ppidlOut) = 0;
};
NOCTIVANE_DECLARE_IID(IShellFolder, IUnknown, "{000214E6-0000-0000-C000-000000000046}")

// The root of the namespace. Its items are the computer and the History
// folder; absolute lists may be given to all its methods.
HRESULT SHGetDesktopFolder(IShellFolder** ppshf);
// The folder that holds the last item of an absolute list, as `riid`, and
// that item (pointing into `pidl`).
HRESULT SHBindToParent(PCIDLIST_ABSOLUTE pidl, REFIID riid, void** ppv, PCUITEMID_CHILD* ppidlLast);

// The item's info tip: "name" or, for a page of the History folder,
// "title" LF "address".
struct IQueryInfo : IUnknown {
  virtual HRESULT GetInfoTip(DWORD dwFlags, LPWSTR* ppwszTip) = 0;
  virtual HRESULT GetInfoFlags(DWORD* pdwFlags) = 0;
};
NOCTIVANE_DECLARE_IID(IQueryInfo, IUnknown, "{00021500-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- special folders

inline constexpr int CSIDL_DESKTOP = 0x0000;
inline constexpr int CSIDL_INTERNET = 0x0001;
inline constexpr int CSIDL_PROGRAMS = 0x0002;
inline constexpr int CSIDL_PERSONAL = 0x0005;
inline constexpr int CSIDL_FAVORITES = 0x0006;
inline constexpr int CSIDL_STARTUP = 0x0007;
inline constexpr int CSIDL_RECENT = 0x0008;
inline constexpr int CSIDL_BITBUCKET = 0x000A;
inline constexpr int CSIDL_MYDOCUMENTS = 0x000C;
inline constexpr int CSIDL_MYMUSIC = 0x000D;
inline constexpr int CSIDL_MYVIDEO = 0x000E;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
inline constexpr int CSIDL_DRIVES = 0x0011;
inline constexpr int CSIDL_FONTS = 0x0014;
inline constexpr int CSIDL_TEMPLATES = 0x0015;
inline constexpr int CSIDL_COMMON_PROGRAMS = 0x0017;
inline constexpr int CSIDL_COMMON_STARTUP = 0x0018;
inline constexpr int CSIDL_APPDATA = 0x001A;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
inline constexpr int CSIDL_INTERNET_CACHE = 0x0020;
inline constexpr int CSIDL_COOKIES = 0x0021;
inline constexpr int CSIDL_HISTORY = 0x0022;
inline constexpr int CSIDL_MYPICTURES = 0x0027;
inline constexpr int CSIDL_PROFILE = 0x0028;
inline constexpr int CSIDL_PROFILES = 0x003E;
inline constexpr int CSIDL_FLAG_DONT_VERIFY = 0x4000;
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;
inline constexpr int CSIDL_FLAG_MASK = 0xFF00;

// The folders: the desktop (the namespace root; its path is the desktop
// directory), Favorites, the Internet cache and the documents and desktop
// directories from the registry's "Shell Folders" (HKEY_CURRENT_USER), the
// History folder (the virtual folder; its path is the registry's "History"),
// the computer (no path), the user's home, music, video, pictures, fonts,
// application data (~/.config) and local application data (~/.local/share);
// the Recycle Bin (the desktop's trash, no path); the desktop's own
// counterparts of the programs menu (the user's and the system's
// applications folders), of the startup folders (the user's and the system's
// autostart folders), of the templates and of the folder of all homes.
// Others (the Internet, control panel, printers, recent documents, send to,
// start menus, network and print neighbourhoods, the common desktop, music,
// pictures and video, cookies, dial-up connections, CD burning, computers
// near me): E_INVALIDARG. The profile's own folders (Favorites, History, the
// cache) are created when missing.
HRESULT SHGetSpecialFolderLocation(HWND hwnd, int csidl, PIDLIST_ABSOLUTE* ppidl);
// The path into a buffer of MAX_PATH characters; `create` creates the folder.
BOOL SHGetSpecialFolderPathW(HWND hwnd, LPWSTR pszPath, int csidl, BOOL create);
// S_OK; S_FALSE when the folder does not exist (and CSIDL_FLAG_CREATE was not
// given); E_INVALIDARG for an unknown folder or one without a path.
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);
// The file-system path of a list (the desktop directory for the empty list,
// the History folder's path for it); FALSE for items without one.
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
// The same as Strings; empty when there is none.
String SpecialFolderPath(int csidl);
String PathFromIDList(PCIDLIST_ABSOLUTE pidl);
// The absolute list of a file-system path ([computer] and one item a
// component; the last one a folder or a file as the disk says, a folder when
// it does not exist). Null for a relative path.
PIDLIST_ABSOLUTE FileSystemIDList(const String& path);

// ---------------------------------------------------------------- file information

struct SHFILEINFOW {
  HICON hIcon;
  int iIcon;
  DWORD dwAttributes;
  WCHAR szDisplayName[MAX_PATH];
  WCHAR szTypeName[80];
};

inline constexpr UINT SHGFI_LARGEICON = 0x000000;
inline constexpr UINT SHGFI_SMALLICON = 0x000001;
inline constexpr UINT SHGFI_OPENICON = 0x000002;
inline constexpr UINT SHGFI_SHELLICONSIZE = 0x000004;
inline constexpr UINT SHGFI_PIDL = 0x000008;
inline constexpr UINT SHGFI_USEFILEATTRIBUTES = 0x000010;
inline constexpr UINT SHGFI_ICON = 0x000100;
inline constexpr UINT SHGFI_DISPLAYNAME = 0x000200;
inline constexpr UINT SHGFI_TYPENAME = 0x000400;
inline constexpr UINT SHGFI_ATTRIBUTES = 0x000800;
inline constexpr UINT SHGFI_ICONLOCATION = 0x001000;
inline constexpr UINT SHGFI_EXETYPE = 0x002000;
inline constexpr UINT SHGFI_SYSICONINDEX = 0x004000;
inline constexpr UINT SHGFI_LINKOVERLAY = 0x008000;
inline constexpr UINT SHGFI_SELECTED = 0x010000;
inline constexpr UINT SHGFI_ATTR_SPECIFIED = 0x020000;

// Information on a file-system path (which must exist unless
// SHGFI_USEFILEATTRIBUTES says to go by its name and `fileAttributes`, as for
// "*.htm") or, with SHGFI_PIDL, on an absolute item identifier list.
// SHGFI_DISPLAYNAME: the normal display name; SHGFI_TYPENAME: the type name
// (the registry's class name of the extension, "File folder", "XYZ File");
// SHGFI_ATTRIBUTES: the SFGAO_ attributes (those in dwAttributes with
// SHGFI_ATTR_SPECIFIED); SHGFI_SYSICONINDEX: the index in the system image
// list (SHGFI_SMALLICON: the 16 x 16 one, else 32 x 32); SHGFI_ICON: a new
// icon handle for DestroyIcon (the index is set as well). Answers the system
// image list's handle with SHGFI_SYSICONINDEX (also for an empty path), else
// non-zero; 0 on failure.
DWORD_PTR SHGetFileInfoW(LPCWSTR pszPath, DWORD dwFileAttributes, SHFILEINFOW* psfi, UINT cbFileInfo,
                         UINT uFlags);

// The system image lists: the icons of the desktop's icon theme (Qt's own
// file and folder pictures where the theme has none), added as new types of
// items are asked for. Fixed indexes: 0 a document, 1 a folder, 2 an open
// folder, 3 a web page. A handle is the TImageList itself.
struct _IMAGELIST;
using HIMAGELIST = _IMAGELIST*;
HIMAGELIST SystemImageList(bool small);
TImageList* ImageListFromHandle(HIMAGELIST list);

// Icon handles of the shell: each one holds an icon until DestroyIcon.
HICON CreateIconHandle(const QIcon& icon);
QIcon IconFromHandle(HICON icon);  // a null icon for a handle that is no icon
BOOL DestroyIcon(HICON icon);
int LiveIconHandles();

// ---------------------------------------------------------------- context menus

inline constexpr UINT CMF_NORMAL = 0x0000;
inline constexpr UINT CMF_DEFAULTONLY = 0x0001;
inline constexpr UINT CMF_VERBSONLY = 0x0002;
inline constexpr UINT CMF_EXPLORE = 0x0004;
inline constexpr UINT CMF_NOVERBS = 0x0008;
inline constexpr UINT CMF_CANRENAME = 0x0010;
inline constexpr UINT CMF_EXTENDEDVERBS = 0x0100;

inline constexpr UINT GCS_VERBA = 0x0000;
inline constexpr UINT GCS_HELPTEXTA = 0x0001;
inline constexpr UINT GCS_VALIDATEA = 0x0002;
inline constexpr UINT GCS_VERBW = 0x0004;
inline constexpr UINT GCS_HELPTEXTW = 0x0005;
inline constexpr UINT GCS_VALIDATEW = 0x0006;
inline constexpr UINT GCS_UNICODE = 0x0004;

inline constexpr DWORD CMIC_MASK_FLAG_NO_UI = 0x00000400;

struct CMINVOKECOMMANDINFO {
  DWORD cbSize = sizeof(CMINVOKECOMMANDINFO);
  DWORD fMask = 0;
  HWND hwnd = nullptr;
  // A verb ("open", "delete", "rename", "properties") or, as an integer
  // resource (MAKEINTRESOURCEA), a command offset.
  LPCSTR lpVerb = nullptr;
  LPCSTR lpParameters = nullptr;
  LPCSTR lpDirectory = nullptr;
  int nShow = 0;
  DWORD dwHotKey = 0;
  HANDLE hIcon = nullptr;
};

struct IContextMenu : IUnknown {
  // Adds the commands at `indexMenu` with identifiers from idCmdFirst; answers
  // the highest offset used plus one as the code of a success result.
  virtual HRESULT QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                   UINT uFlags) = 0;
  virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* pici) = 0;
  virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, LPSTR pszName,
                                   UINT cchMax) = 0;
};
NOCTIVANE_DECLARE_IID(IContextMenu, IUnknown, "{000214E4-0000-0000-C000-000000000046}")

struct IContextMenu2 : IContextMenu {
  virtual HRESULT HandleMenuMsg(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
};
NOCTIVANE_DECLARE_IID(IContextMenu2, IContextMenu, "{000214F4-0000-0000-C000-000000000046}")

struct IContextMenu3 : IContextMenu2 {
  virtual HRESULT HandleMenuMsg2(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) = 0;
};
NOCTIVANE_DECLARE_IID(IContextMenu3, IContextMenu2, "{BCFCE0A0-EC17-11D0-8D10-00A0C90F2719}")

// The context menu of file-system items (IShellFolder::GetUIObjectOf with
// IID_IContextMenu): "Open" (the default command: ShellExecuteW), "Delete"
// (to the trash, after the confirmation), "Rename" (one item; asks for the
// new name) and "Properties" (a message with the items' type, place, size
// and time of change). Command offsets: 0 open, 1 delete, 2 rename,
// 3 properties.

// ---------------------------------------------------------------- what the shell asks the user

// The program asks through dialogs (the delete confirmation and the
// properties through the class library's dialog service, the names through
// an input dialog); tests install their own answers. Empty members keep the
// dialogs.
struct TShellPrompts {
  // Whether to delete `paths` (to the trash when `toTrash`).
  std::function<bool(HWND owner, const QStringList& paths, bool toTrash)> ConfirmDelete = {};
  // Whether to replace `target` by a copy or move of `source`.
  std::function<bool(HWND owner, const String& source, const String& target)> ConfirmReplace = {};
  // A new name for `path` (`name` comes with the current one).
  std::function<bool(HWND owner, const String& path, String& name)> AskNewName = {};
  std::function<void(HWND owner, const QStringList& paths)> ShowProperties = {};
  // The name of a new favorite for `url` (`name` comes with the page title).
  std::function<bool(HWND owner, const String& url, String& name)> AskFavoriteName = {};
};
// Installs prompts; answers the ones installed before.
TShellPrompts SetShellPrompts(TShellPrompts prompts);

// ---------------------------------------------------------------- file operations

inline constexpr UINT FO_MOVE = 0x0001;
inline constexpr UINT FO_COPY = 0x0002;
inline constexpr UINT FO_DELETE = 0x0003;
inline constexpr UINT FO_RENAME = 0x0004;

using FILEOP_FLAGS = WORD;
inline constexpr FILEOP_FLAGS FOF_MULTIDESTFILES = 0x0001;
inline constexpr FILEOP_FLAGS FOF_SILENT = 0x0004;
inline constexpr FILEOP_FLAGS FOF_RENAMEONCOLLISION = 0x0008;
inline constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x0010;
inline constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x0040;
inline constexpr FILEOP_FLAGS FOF_FILESONLY = 0x0080;
inline constexpr FILEOP_FLAGS FOF_SIMPLEPROGRESS = 0x0100;
inline constexpr FILEOP_FLAGS FOF_NOCONFIRMMKDIR = 0x0200;
inline constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x0400;

struct SHFILEOPSTRUCTW {
  HWND hwnd = nullptr;
  UINT wFunc = 0;
  // Lists of paths, each ended by a zero, the list by a second zero. The file
  // name part of a source may hold the wildcards "*" and "?" (matched without
  // regard to case); a source that names an existing item is that item,
  // whatever characters its name holds.
  LPCWSTR pFrom = nullptr;
  LPCWSTR pTo = nullptr;
  FILEOP_FLAGS fFlags = 0;
  BOOL fAnyOperationsAborted = FALSE;
  LPVOID hNameMappings = nullptr;
  LPCWSTR lpszProgressTitle = nullptr;
};

// FO_DELETE moves to the freedesktop trash with FOF_ALLOWUNDO (failing,
// rather than deleting for good, where there is no trash) and deletes
// otherwise; FO_COPY and FO_MOVE go into a destination folder (or, for one
// source, to a new name), FO_RENAME renames one item. Unless
// FOF_NOCONFIRMATION, deleting and replacing are confirmed first. Answers 0,
// ERROR_FILE_NOT_FOUND when no source exists, ERROR_CANCELLED (with
// fAnyOperationsAborted) when the user declines, ERROR_ALREADY_EXISTS for a
// rename onto an existing name, ERROR_ACCESS_DENIED when the file system
// refuses, ERROR_INVALID_PARAMETER for a bad request.
int SHFileOperationW(SHFILEOPSTRUCTW* op);

// Creates a folder and the missing folders on its way (`sa` is not used).
// Answers 0, ERROR_ALREADY_EXISTS when it exists, ERROR_BAD_PATHNAME for a
// relative path, ERROR_ACCESS_DENIED when the file system refuses.
int SHCreateDirectoryExW(HWND hwnd, LPCWSTR pszPath, const void* sa);

// ---------------------------------------------------------------- opening documents

inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_NOASSOC = 31;

// "open" (or no verb) and "explore" open a URL (any "scheme:") or an existing
// file or folder (relative to `directory`) through the desktop
// (QDesktopServices). Answers a value above 32 on success, SE_ERR_FNF for a
// missing file, SE_ERR_NOASSOC when the desktop cannot open it or for
// another verb.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        INT showCmd);

// ---------------------------------------------------------------- shell links

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};

inline constexpr DWORD SLR_NO_UI = 0x0001;
inline constexpr DWORD SLR_NOUPDATE = 0x0008;
inline constexpr DWORD SLGP_SHORTPATH = 0x0001;
inline constexpr DWORD SLGP_UNCPRIORITY = 0x0002;
inline constexpr DWORD SLGP_RAWPATH = 0x0004;

// A link file (".lnk", kept as a small ini file of our own: section
// [ShellLink] with Target, Arguments, WorkingDirectory, Description,
// IconLocation, IconIndex, ShowCmd, Hotkey), read and written through
// IPersistFile; CLSID_ShellLink.
struct IShellLinkW : IUnknown {
  virtual HRESULT GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd, DWORD fFlags) = 0;
  virtual HRESULT GetIDList(PIDLIST_ABSOLUTE* ppidl) = 0;
  virtual HRESULT SetIDList(PCIDLIST_ABSOLUTE pidl) = 0;
  virtual HRESULT GetDescription(LPWSTR pszName, int cch) = 0;
  virtual HRESULT SetDescription(LPCWSTR pszName) = 0;
  virtual HRESULT GetWorkingDirectory(LPWSTR pszDir, int cch) = 0;
  virtual HRESULT SetWorkingDirectory(LPCWSTR pszDir) = 0;
  virtual HRESULT GetArguments(LPWSTR pszArgs, int cch) = 0;
  virtual HRESULT SetArguments(LPCWSTR pszArgs) = 0;
  virtual HRESULT GetHotkey(WORD* pwHotkey) = 0;
  virtual HRESULT SetHotkey(WORD wHotkey) = 0;
  virtual HRESULT GetShowCmd(int* piShowCmd) = 0;
  virtual HRESULT SetShowCmd(int iShowCmd) = 0;
  virtual HRESULT GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) = 0;
  virtual HRESULT SetIconLocation(LPCWSTR pszIconPath, int iIcon) = 0;
  virtual HRESULT SetRelativePath(LPCWSTR pszPathRel, DWORD dwReserved) = 0;
  // S_OK when the target exists, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
  // when it does not.
  virtual HRESULT Resolve(HWND hwnd, DWORD fFlags) = 0;
  virtual HRESULT SetPath(LPCWSTR pszFile) = 0;
};
NOCTIVANE_DECLARE_IID(IShellLinkW, IUnknown, "{000214F9-0000-0000-C000-000000000046}")

inline constexpr CLSID CLSID_ShellLink = GuidLiteral("{00021401-0000-0000-C000-000000000046}");

// ---------------------------------------------------------------- the Add Favorite helper

// CLSID_ShellUIHelper: AddFavorite asks for the favorite's name
// (TShellPrompts::AskFavoriteName, starting from the title or else the
// address) and writes an Internet shortcut of that name (made safe for a
// file, "Name (2)" when another address has the name already) into the
// Favorites folder. S_OK also when the user cancels; E_INVALIDARG for an
// empty address; E_FAIL when the file cannot be written. The other methods
// answer E_NOTIMPL.
struct IShellUIHelper : IDispatch {
  virtual HRESULT ResetFirstBootMode() = 0;
  virtual HRESULT ResetSafeMode() = 0;
  virtual HRESULT RefreshOfflineDesktop() = 0;
  virtual HRESULT AddFavorite(BSTR URL, VARIANT* Title) = 0;
  virtual HRESULT AddChannel(BSTR URL) = 0;
  virtual HRESULT AddDesktopComponent(BSTR URL, BSTR Type, VARIANT* Left, VARIANT* Top, VARIANT* Width,
                                      VARIANT* Height) = 0;
  virtual HRESULT IsSubscribed(BSTR URL, VARIANT_BOOL* pBool) = 0;
  virtual HRESULT NavigateAndFind(BSTR URL, BSTR strQuery, VARIANT* varTargetFrame) = 0;
  virtual HRESULT ImportExportFavorites(VARIANT_BOOL fImport, BSTR strImpExpPath) = 0;
  virtual HRESULT AutoCompleteSaveForm(VARIANT* Form) = 0;
  virtual HRESULT AutoScan(BSTR strSearch, BSTR strFailureUrl, VARIANT* pvarTargetFrame) = 0;
  virtual HRESULT AutoCompleteAttach(VARIANT* Reserved) = 0;
  virtual HRESULT ShowBrowserUI(BSTR bstrName, VARIANT* pvarIn, VARIANT* pvarOut) = 0;
};
NOCTIVANE_DECLARE_IID(IShellUIHelper, IDispatch, "{729FE2F8-1EA8-11D1-8F85-00C04FC2FBE1}")

inline constexpr CLSID CLSID_ShellUIHelper = GuidLiteral("{64AB4BB7-111E-11D1-8F79-00C04FC2FBE1}");

// ---------------------------------------------------------------- start-up

// Registers the shell's COM classes (shell link, Internet shortcut,
// ShellUIHelper, URL history, the auto-complete objects) with the class
// factory table and the modules "shell32.dll" and "shlwapi.dll" (with
// DllGetVersion, version 6.0) with the module table.
void InitializeShell();
