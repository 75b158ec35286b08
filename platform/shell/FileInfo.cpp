// Display names, type names, icons and SHGetFileInfoW; the system image
// lists and icon handles; info tips and display-name records.
#include "platform/classlib/ImgList.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShellItems.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

#include <cstring>
#include <map>
#include <mutex>

using namespace shelldetail;

namespace {

// ---------------------------------------------------------------- registry

String classesDefault(const String& key) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CLASSES_ROOT;
  if (!reg.OpenKeyReadOnly(key)) return String();
  return reg.ReadString(String(""));
}

bool registeredExtension(const String& extension) {
  if (extension.size() < 2) return false;
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CLASSES_ROOT;
  return reg.KeyExists(extension);
}

// ---------------------------------------------------------------- image lists

struct SystemLists {
  TImageList* small = nullptr;
  TImageList* large = nullptr;
  std::map<String, int> byIconName;
};

void addIcon(SystemLists& lists, const QIcon& icon) {
  for (TImageList* list : {lists.small, lists.large}) {
    TIcon picture;
    picture.FromQImage(icon.pixmap(list->GetWidth(), list->GetHeight()).toImage());
    list->AddIcon(&picture);
  }
}

QIcon themeIcon(std::initializer_list<const char*> names, QAbstractFileIconProvider::IconType type) {
  for (const char* name : names)
    if (QIcon::hasThemeIcon(QLatin1String(name))) return QIcon::fromTheme(QLatin1String(name));
  return QFileIconProvider().icon(type);
}

// A session without a desktop environment names no icon theme, and Qt then
// looks in "hicolor" alone, which holds no icons of files, places or
// devices. The freedesktop "default" theme (which leads to the system's
// default one) or a common desktop theme stands in then; a theme a desktop
// names is left alone.
void ensureIconTheme() {
  const String current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  // Nor does every platform plug-in look in the system's icon folders.
  QStringList paths = QIcon::themeSearchPaths();
  for (const String& dir : QStandardPaths::locateAll(
           QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory))
    if (!paths.contains(dir)) paths.append(dir);
  QIcon::setThemeSearchPaths(paths);
  for (const char* name : {"default", "Adwaita", "breeze", "gnome", "oxygen"})
    for (const String& dir : QIcon::themeSearchPaths())
      if (QFileInfo::exists(dir + u'/' + QLatin1String(name) + QStringLiteral("/index.theme"))) {
        QIcon::setThemeName(QLatin1String(name));
        return;
      }
}

SystemLists& systemLists() {
  // Lives as long as the process, like the platform's lists.
  static SystemLists* lists = [] {
    ensureIconTheme();
    auto* l = new SystemLists;
    l->small = new TImageList(nullptr);
    l->large = new TImageList(nullptr);
    l->large->SetWidth(32);
    l->large->SetHeight(32);
    using P = QAbstractFileIconProvider;
    addIcon(*l, themeIcon({"text-x-generic", "unknown"}, P::File));          // kIconDocument
    addIcon(*l, themeIcon({"folder"}, P::Folder));                           // kIconFolder
    addIcon(*l, themeIcon({"folder-open", "folder"}, P::Folder));            // kIconFolderOpen
    addIcon(*l, themeIcon({"text-html", "internet-web-browser"}, P::File));  // kIconWebPage
    return l;
  }();
  return *lists;
}

// ---------------------------------------------------------------- icon handles

std::mutex iconMutex;
std::map<HICON, QIcon>& iconHandles() {
  static auto* handles = new std::map<HICON, QIcon>;
  return *handles;
}

// ---------------------------------------------------------------- info tips

class InfoTip final : public ComObject<IQueryInfo> {
 public:
  explicit InfoTip(const String& text) : text_(text) {}
  HRESULT GetInfoTip(DWORD, LPWSTR* ppwszTip) override {
    if (!ppwszTip) return E_POINTER;
    *ppwszTip = CoTaskMemDupString(text_);
    return *ppwszTip ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetInfoFlags(DWORD* pdwFlags) override {
    if (!pdwFlags) return E_POINTER;
    *pdwFlags = 0;
    return S_OK;
  }

 private:
  String text_;
};

// ---------------------------------------------------------------- SHGetFileInfoW

struct ItemInfo {
  String displayName;
  String typeName;
  SFGAOF attributes = 0;
  int icon = kIconDocument;
};

bool infoOfList(PCIDLIST_ABSOLUTE pidl, SFGAOF asked, bool open, ItemInfo& info) {
  if (ILIsEmpty(pidl)) {
    info = {QStringLiteral("Desktop"), QStringLiteral("System Folder"),
            asked & (SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR),
            IconIndexOfTheme(QStringLiteral("user-desktop"), kIconFolder)};
    return true;
  }
  ComPtr<IShellFolder> parent;
  PCUITEMID_CHILD last = nullptr;
  if (FAILED(SHBindToParent(pidl, IID_IShellFolder, &parent, &last))) return false;
  STRRET name;
  if (FAILED(parent->GetDisplayNameOf(last, SHGDN_NORMAL, &name))) return false;
  info.displayName = TakeStrRet(name, last);
  info.attributes = AttributesOf(parent.Get(), last, asked);
  switch (KindOf(last)) {
    case kFsFolder:
    case kFsFile: {
      const bool folder = KindOf(last) == kFsFolder;
      info.typeName = TypeNameOfFile(FsNameOf(last), folder);
      info.icon = IconIndexOfFile(FsNameOf(last), folder, open);
      if (folder && FileSystemPathOf(pidl) == TrashPath())
        info.icon = IconIndexOfTheme(QStringLiteral("user-trash"), info.icon);
      break;
    }
    case kRootItem:
      info.typeName = QStringLiteral("System Folder");
      info.icon = ContentOf(last).at(0) == char(kComputer)
                      ? IconIndexOfTheme(QStringLiteral("computer"), kIconFolder)
                      : IconIndexOfTheme(QStringLiteral("document-open-recent"), kIconFolder);
      break;
    case kPeriod:
      info.typeName = QStringLiteral("Folder");
      info.icon = IconIndexOfTheme(QStringLiteral("x-office-calendar"), kIconFolder);
      break;
    case kSite:
      info.typeName = QStringLiteral("Folder");
      info.icon = open ? kIconFolderOpen : kIconFolder;
      break;
    case kPage:
      info.typeName = QStringLiteral("Web Page");
      info.icon = kIconWebPage;
      break;
    default: return false;
  }
  return true;
}

void copyText(WCHAR* target, int size, const String& text) {
  const int n = std::min(int(text.size()), size - 1);
  std::memcpy(target, text.utf16(), std::size_t(n) * 2);
  target[n] = 0;
}

}  // namespace

namespace shelldetail {

String DisplayNameOfFile(const String& fileName) {
  const String extension = ExtractFileExt(fileName);
  if (extension.isEmpty() || extension.size() == fileName.size() || !registeredExtension(extension))
    return fileName;
  return fileName.left(fileName.size() - extension.size());
}

String TypeNameOfFile(const String& fileName, bool folder) {
  if (folder) return QStringLiteral("File folder");
  const String extension = ExtractFileExt(fileName);
  if (extension.size() < 2) return QStringLiteral("File");
  const String progId = classesDefault(extension);
  if (!progId.isEmpty()) {
    const String name = classesDefault(progId);
    if (!name.isEmpty()) return name;
  }
  return extension.mid(1).toUpper() + QStringLiteral(" File");
}

int IconIndexOfTheme(const String& iconName, int fallback) {
  SystemLists& lists = systemLists();
  auto it = lists.byIconName.find(iconName);
  if (it != lists.byIconName.end()) return it->second;
  int index = fallback;
  if (!iconName.isEmpty() && QIcon::hasThemeIcon(iconName)) {
    index = lists.small->Count();
    addIcon(lists, QIcon::fromTheme(iconName));
  }
  lists.byIconName[iconName] = index;
  return index;
}

int IconIndexOfFile(const String& fileName, bool folder, bool open) {
  if (folder) return open ? kIconFolderOpen : kIconFolder;
  const String extension = ExtractFileExt(fileName).toLower();
  if (extension == QLatin1String(".url") || extension == QLatin1String(".htm") ||
      extension == QLatin1String(".html"))
    return kIconWebPage;
  static const QMimeDatabase db;
  const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
  if (!type.isValid() || type.isDefault()) return kIconDocument;
  return IconIndexOfTheme(type.iconName(), IconIndexOfTheme(type.genericIconName(), kIconDocument));
}

HRESULT SetStrRet(STRRET* name, const String& text) {
  name->uType = STRRET_WSTR;
  name->pOleStr = CoTaskMemDupString(text);
  return name->pOleStr ? S_OK : E_OUTOFMEMORY;
}

String TakeStrRet(STRRET& name, PCUITEMID_CHILD item) {
  switch (name.uType) {
    case STRRET_WSTR: {
      const String text = OleStrToString(name.pOleStr);
      CoTaskMemFree(name.pOleStr);
      name.pOleStr = nullptr;
      return text;
    }
    case STRRET_OFFSET: {
      const QByteArray bytes =
          item ? QByteArray(reinterpret_cast<const char*>(item), ILGetSize(item)) : QByteArray();
      if (name.uOffset >= UINT(bytes.size())) return String();
      return String::fromLocal8Bit(bytes.constData() + name.uOffset);
    }
    case STRRET_CSTR: return String::fromLocal8Bit(name.cStr, int(strnlen(name.cStr, MAX_PATH)));
    default: return String();
  }
}

ComPtr<IQueryInfo> MakeInfoTip(const String& text) { return ComPtr<IQueryInfo>(new InfoTip(text)); }

FILETIME FileTimeOf(const QDateTime& time) {
  const ULONGLONG ticks =
      time.isValid() ? ULONGLONG(time.toMSecsSinceEpoch()) * 10000ull + 116444736000000000ull : 0;
  return FILETIME{DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)};
}

}  // namespace shelldetail

HIMAGELIST SystemImageList(bool small) {
  SystemLists& lists = systemLists();
  return reinterpret_cast<HIMAGELIST>(small ? lists.small : lists.large);
}

TImageList* ImageListFromHandle(HIMAGELIST list) { return reinterpret_cast<TImageList*>(list); }

HICON CreateIconHandle(const QIcon& icon) {
  static std::uintptr_t next = 0x00C10000;
  std::lock_guard lock(iconMutex);
  HICON handle = reinterpret_cast<HICON>(next);
  next += 4;
  iconHandles()[handle] = icon;
  return handle;
}

QIcon IconFromHandle(HICON icon) {
  std::lock_guard lock(iconMutex);
  auto it = iconHandles().find(icon);
  return it == iconHandles().end() ? QIcon() : it->second;
}

BOOL DestroyIcon(HICON icon) {
  std::lock_guard lock(iconMutex);
  return iconHandles().erase(icon) ? TRUE : FALSE;
}

int LiveIconHandles() {
  std::lock_guard lock(iconMutex);
  return int(iconHandles().size());
}

DWORD_PTR SHGetFileInfoW(LPCWSTR pszPath, DWORD dwFileAttributes, SHFILEINFOW* psfi, UINT cbFileInfo,
                         UINT uFlags) {
  if (psfi && cbFileInfo < sizeof(SHFILEINFOW)) return 0;
  const bool small = uFlags & SHGFI_SMALLICON;
  const bool open = uFlags & SHGFI_OPENICON;
  const SFGAOF asked = (uFlags & SHGFI_ATTR_SPECIFIED) && psfi ? psfi->dwAttributes : ~SFGAOF(0);
  if (psfi) std::memset(psfi, 0, sizeof *psfi);

  ItemInfo info;
  if (uFlags & SHGFI_PIDL) {
    if (!pszPath || !infoOfList(reinterpret_cast<PCIDLIST_ABSOLUTE>(pszPath), asked, open, info)) return 0;
  } else {
    const String text = pszPath ? String::fromUtf16(pszPath) : String();
    if (text.isEmpty()) {
      // Only the system image list can be asked of nothing.
      if (!(uFlags & SHGFI_SYSICONINDEX)) return 0;
      return reinterpret_cast<DWORD_PTR>(SystemImageList(small));
    }
    if (uFlags & SHGFI_USEFILEATTRIBUTES) {
      String path = text;
      if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) path = QUrl(path).path();
      const String name = ExtractFileName(ExcludeTrailingPathDelimiter(NormalizePath(path)));
      const bool folder = dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
      info.displayName = folder ? name : DisplayNameOfFile(name);
      info.typeName = TypeNameOfFile(name, folder);
      info.attributes = asked & (SFGAO_FILESYSTEM | (folder ? SFGAO_FOLDER : SFGAO_STREAM));
      info.icon = IconIndexOfFile(name, folder, open);
    } else {
      const String path = NormalizePath(text);
      if (!path.startsWith(QLatin1Char('/')) || !QFileInfo::exists(path)) return 0;
      if (!infoOfList(OwnedIdList(FileSystemIDList(path)).get(), asked, open, info)) return 0;
    }
  }

  if (psfi) {
    if (uFlags & SHGFI_DISPLAYNAME) copyText(psfi->szDisplayName, MAX_PATH, info.displayName);
    if (uFlags & SHGFI_TYPENAME) copyText(psfi->szTypeName, 80, info.typeName);
    if (uFlags & SHGFI_ATTRIBUTES) psfi->dwAttributes = info.attributes;
    if (uFlags & (SHGFI_SYSICONINDEX | SHGFI_ICON)) psfi->iIcon = info.icon;
    if (uFlags & SHGFI_ICON) {
      const QImage image = ImageListFromHandle(SystemImageList(small))->GetImage(info.icon);
      psfi->hIcon = CreateIconHandle(QIcon(QPixmap::fromImage(image)));
    }
  }
  if (uFlags & SHGFI_SYSICONINDEX) return reinterpret_cast<DWORD_PTR>(SystemImageList(small));
  return 1;
}
