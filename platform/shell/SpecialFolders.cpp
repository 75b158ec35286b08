// Special folders: their paths (from the registry's "Shell Folders" where it
// names them, else the desktop's standard places) and their item lists.
#include "platform/rtl/Folders.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShellItems.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>

using namespace shelldetail;

namespace {

String shellFolderFromRegistry(const String& name) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKeyReadOnly(
          QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")))
    return String();
  return NormalizePath(reg.ReadString(name).trimmed());
}

String standard(QStandardPaths::StandardLocation location) {
  return QStandardPaths::writableLocation(location);
}

// A folder of the profile: made when missing.
String profileFolder(const String& registryName, const String& defaultName) {
  String path = shellFolderFromRegistry(registryName);
  if (path.isEmpty()) path = ProfileDir() + QLatin1Char('/') + defaultName;
  ForceDirectories(path);
  return path;
}

// The first of the system's folders for `location` (not the user's own)
// that holds `sub`, else the system's usual one.
String systemFolder(QStandardPaths::StandardLocation location, const String& sub, const String& usual) {
  const String own = QStandardPaths::writableLocation(location);
  for (const String& dir : QStandardPaths::standardLocations(location)) {
    if (dir == own) continue;
    const String path = dir + sub;
    if (QFileInfo(path).isDir()) return path;
  }
  return usual;
}

String desktopDirectory() {
  const String path = shellFolderFromRegistry(QStringLiteral("Desktop"));
  return path.isEmpty() ? standard(QStandardPaths::DesktopLocation) : path;
}

bool copyPath(const String& path, LPWSTR buffer) {
  if (!buffer) return false;
  if (path.isEmpty() || path.size() >= MAX_PATH) {
    buffer[0] = 0;
    return false;
  }
  std::memcpy(buffer, path.utf16(), std::size_t(path.size()) * 2);
  buffer[path.size()] = 0;
  return true;
}

}  // namespace

namespace shelldetail {

String HistoryPath() { return profileFolder(QStringLiteral("History"), QStringLiteral("History")); }

String TrashPath() { return standard(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash/files"); }

String HistoryCaption() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CLASSES_ROOT;
  if (reg.OpenKeyReadOnly(QStringLiteral("CLSID\\{FF393560-C2A7-11CF-BFF4-444553540000}"))) {
    const String caption = reg.ReadString(String(""));
    if (!caption.isEmpty()) return caption;
  }
  return QStringLiteral("History");
}

String FileSystemPathOf(PCIDLIST_ABSOLUTE absolute) {
  const std::vector<PCUITEMID_CHILD> items = ItemsOf(absolute);
  if (items.empty() || KindOf(items[0]) != kRootItem || ContentOf(items[0]) != QByteArray(1, char(kComputer)))
    return String();
  String path;
  for (std::size_t i = 1; i < items.size(); ++i) {
    const BYTE kind = KindOf(items[i]);
    if (kind != kFsFolder && kind != kFsFile) return String();
    path += QLatin1Char('/') + FsNameOf(items[i]);
  }
  return path.isEmpty() ? QStringLiteral("/") : path;
}

}  // namespace shelldetail

String SpecialFolderPath(int csidl) {
  switch (csidl & ~CSIDL_FLAG_MASK) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY: return desktopDirectory();
    case CSIDL_PERSONAL: {
      const String path = shellFolderFromRegistry(QStringLiteral("Personal"));
      return path.isEmpty() ? standard(QStandardPaths::DocumentsLocation) : path;
    }
    case CSIDL_FAVORITES: return profileFolder(QStringLiteral("Favorites"), QStringLiteral("Favorites"));
    case CSIDL_INTERNET_CACHE: return profileFolder(QStringLiteral("Cache"), QStringLiteral("Cache"));
    case CSIDL_HISTORY: return HistoryPath();
    case CSIDL_MYMUSIC: return standard(QStandardPaths::MusicLocation);
    case CSIDL_MYVIDEO: return standard(QStandardPaths::MoviesLocation);
    case CSIDL_MYPICTURES: return standard(QStandardPaths::PicturesLocation);
    case CSIDL_FONTS: return standard(QStandardPaths::FontsLocation);
    case CSIDL_APPDATA: return standard(QStandardPaths::GenericConfigLocation);
    case CSIDL_LOCAL_APPDATA: return standard(QStandardPaths::GenericDataLocation);
    case CSIDL_PROFILE: return QDir::homePath();
    case CSIDL_PROFILES: {
      QDir homes(QDir::homePath());
      return homes.cdUp() ? homes.absolutePath() : String();
    }
    case CSIDL_PROGRAMS: return standard(QStandardPaths::ApplicationsLocation);
    case CSIDL_COMMON_PROGRAMS:
      return systemFolder(QStandardPaths::GenericDataLocation, QStringLiteral("/applications"),
                          QStringLiteral("/usr/share/applications"));
    case CSIDL_STARTUP: return standard(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    case CSIDL_COMMON_STARTUP:
      return systemFolder(QStandardPaths::GenericConfigLocation, QStringLiteral("/autostart"),
                          QStringLiteral("/etc/xdg/autostart"));
    case CSIDL_TEMPLATES: return standard(QStandardPaths::TemplatesLocation);
    default: return String();
  }
}

PIDLIST_ABSOLUTE FileSystemIDList(const String& path) {
  const String clean = QDir::cleanPath(NormalizePath(path));
  if (!clean.startsWith(QLatin1Char('/'))) return nullptr;
  const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QByteArray bytes = BytesOf(OwnedIdList(MakeRootItem(kComputer)).get());
  for (int i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const bool folder = !last || !QFileInfo(clean).exists() || QFileInfo(clean).isDir();
    bytes += BytesOf(OwnedIdList(MakeFsItem(parts[i], folder)).get());
  }
  return ListFromBytes(bytes);
}

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, PIDLIST_ABSOLUTE* ppidl) {
  if (!ppidl) return E_INVALIDARG;
  *ppidl = nullptr;
  switch (csidl & ~CSIDL_FLAG_MASK) {
    case CSIDL_DESKTOP: *ppidl = ListFromBytes(QByteArray()); break;
    case CSIDL_DRIVES: *ppidl = MakeRootItem(kComputer); break;
    case CSIDL_HISTORY:
      HistoryPath();  // the folder behind it exists from now on
      *ppidl = MakeRootItem(kHistoryRoot);
      break;
    // The Recycle Bin is the desktop's trash. As on the platform, it has an
    // item list but no folder path to ask for.
    case CSIDL_BITBUCKET: *ppidl = FileSystemIDList(TrashPath()); break;
    default: {
      const String path = SpecialFolderPath(csidl);
      if (path.isEmpty()) return E_INVALIDARG;
      *ppidl = FileSystemIDList(path);
    }
  }
  return *ppidl ? S_OK : E_OUTOFMEMORY;
}

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR pszPath, int csidl, BOOL create) {
  const String path = SpecialFolderPath(csidl);
  if (path.isEmpty()) {
    if (pszPath) pszPath[0] = 0;
    return FALSE;
  }
  if (create) ForceDirectories(path);
  return copyPath(path, pszPath) ? TRUE : FALSE;
}

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR pszPath) {
  const String path = SpecialFolderPath(csidl);
  if (path.isEmpty()) {
    if (pszPath) pszPath[0] = 0;
    return E_INVALIDARG;
  }
  if (csidl & CSIDL_FLAG_CREATE) ForceDirectories(path);
  if (!copyPath(path, pszPath)) return E_INVALIDARG;
  return DirectoryExists(path) ? S_OK : S_FALSE;
}

String PathFromIDList(PCIDLIST_ABSOLUTE pidl) {
  if (!pidl) return String();
  if (ILIsEmpty(pidl)) return desktopDirectory();
  const std::vector<PCUITEMID_CHILD> items = ItemsOf(pidl);
  if (items.size() == 1 && KindOf(items[0]) == kRootItem &&
      ContentOf(items[0]) == QByteArray(1, char(kHistoryRoot)))
    return HistoryPath();
  const String path = FileSystemPathOf(pidl);
  return path == QLatin1String("/") && items.size() == 1 ? String() : path;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
  return copyPath(PathFromIDList(pidl), pszPath) ? TRUE : FALSE;
}
