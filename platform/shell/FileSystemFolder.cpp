// Shell folders over the file system.
#include "platform/shell/ShellItems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace shelldetail;

namespace {

bool isLinkFile(const String& name) {
  return name.endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive) ||
         name.endsWith(QLatin1String(".url"), Qt::CaseInsensitive);
}

bool validName(const String& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

SFGAOF attributesOfPath(const String& path, bool folder, SFGAOF asked) {
  const QFileInfo info(path);
  const String name = info.fileName();
  SFGAOF a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME |
             SFGAO_CANDELETE | SFGAO_HASPROPSHEET;
  if (folder) {
    a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_STORAGEANCESTOR;
    // Only looked at when asked: it lists the folder.
    if ((asked & SFGAO_HASSUBFOLDER) &&
        !QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
      a |= SFGAO_HASSUBFOLDER;
  } else {
    a |= SFGAO_STREAM;
    if (isLinkFile(name)) a |= SFGAO_LINK;
  }
  if (name.startsWith(QLatin1Char('.')) || info.isHidden()) a |= SFGAO_HIDDEN;
  if (info.exists() && !info.isWritable()) a |= SFGAO_READONLY;
  return a;
}

class FileSystemFolder final : public ComObject<IShellFolder> {
 public:
  FileSystemFolder(const String& path, PCIDLIST_ABSOLUTE absolute)
      : path_(path), absolute_(BytesOf(absolute)) {}

  HRESULT ParseDisplayName(HWND, IBindCtx*, LPWSTR name, ULONG* pchEaten, PIDLIST_RELATIVE* ppidl,
                           ULONG* pdwAttributes) override {
    if (!name || !ppidl) return E_INVALIDARG;
    *ppidl = nullptr;
    const String text = String::fromUtf16(name);
    const QStringList parts = NormalizePath(text).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || NormalizePath(text).startsWith(QLatin1Char('/'))) return E_INVALIDARG;
    QByteArray bytes;
    String path = path_;
    bool folder = true;
    for (const String& part : parts) {
      if (!folder || !validName(part)) return E_INVALIDARG;
      path = childPath(path, part);
      const QFileInfo info(path);
      if (!info.exists()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      folder = info.isDir();
      bytes += BytesOf(OwnedIdList(MakeFsItem(part, folder)).get());
    }
    *ppidl = ListFromBytes(bytes);
    if (pchEaten) *pchEaten = ULONG(text.size());
    if (pdwAttributes) *pdwAttributes &= attributesOfPath(path, folder, *pdwAttributes);
    return *ppidl ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT EnumObjects(HWND, SHCONTF flags, IEnumIDList** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    const QFileInfo self(path_);
    if (!self.isDir()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (!self.isReadable()) return E_ACCESSDENIED;
    QDir::Filters filter = QDir::NoDotAndDotDot;
    if (flags & SHCONTF_FOLDERS) filter |= QDir::Dirs;
    if (flags & SHCONTF_NONFOLDERS) filter |= QDir::Files;
    if (flags & SHCONTF_INCLUDEHIDDEN) filter |= QDir::Hidden | QDir::System;
    std::vector<QByteArray> items;
    if (flags & (SHCONTF_FOLDERS | SHCONTF_NONFOLDERS)) {
      const QFileInfoList entries =
          QDir(path_).entryInfoList(filter, QDir::Name | QDir::DirsFirst | QDir::IgnoreCase);
      for (const QFileInfo& entry : entries) {
        items.push_back(BytesOf(OwnedIdList(MakeFsItem(entry.fileName(), entry.isDir())).get()));
      }
    }
    return MakeItemEnumeration(std::move(items)).CopyTo(ppenum);
  }

  HRESULT BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (ILIsEmpty(pidl)) return E_INVALIDARG;
    String path = path_;
    for (PCUITEMID_CHILD item : ItemsOf(pidl)) {
      if (KindOf(item) != kFsFolder) return E_INVALIDARG;
      path = childPath(path, FsNameOf(item));
    }
    ComPtr<IShellFolder> folder = MakeFileSystemFolder(path, OwnedIdList(ILCombine(ownList(), pidl)).get());
    return folder->QueryInterface(riid, ppv);
  }

  HRESULT BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT CompareIDs(LPARAM, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    for (;;) {
      const bool ea = ILIsEmpty(a), eb = ILIsEmpty(b);
      if (ea || eb) return CompareResult(int(eb) - int(ea));
      const BYTE ka = KindOf(a), kb = KindOf(b);
      if ((ka != kFsFolder && ka != kFsFile) || (kb != kFsFolder && kb != kFsFile)) return E_INVALIDARG;
      if (ka != kb) return CompareResult(ka == kFsFolder ? -1 : 1);  // folders first
      const String na = FsNameOf(a), nb = FsNameOf(b);
      int order = na.compare(nb, Qt::CaseInsensitive);
      if (!order) order = na.compare(nb, Qt::CaseSensitive);
      if (order) return CompareResult(order);
      a = ILGetNext(a);
      b = ILGetNext(b);
    }
  }

  HRESULT CreateViewObject(HWND, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT GetAttributesOf(UINT cidl, PCUITEMID_CHILD_ARRAY apidl, SFGAOF* rgfInOut) override {
    if (!rgfInOut || (cidl && !apidl)) return E_INVALIDARG;
    SFGAOF common = *rgfInOut;
    if (!cidl) common &= attributesOfPath(path_, true, common);
    for (UINT i = 0; i < cidl; ++i) {
      String path;
      bool folder = false;
      if (!locate(apidl[i], path, folder)) return E_INVALIDARG;
      common &= attributesOfPath(path, folder, common);
    }
    *rgfInOut = common;
    return S_OK;
  }

  HRESULT GetUIObjectOf(HWND owner, UINT cidl, PCUITEMID_CHILD_ARRAY apidl, REFIID riid, UINT*,
                        void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!cidl || !apidl) return E_INVALIDARG;
    QStringList names;
    for (UINT i = 0; i < cidl; ++i) {
      const BYTE kind = KindOf(apidl[i]);
      if ((kind != kFsFolder && kind != kFsFile) || !ILIsEmpty(ILGetNext(apidl[i]))) return E_INVALIDARG;
      names << FsNameOf(apidl[i]);
    }
    if (riid == IID_IContextMenu || riid == IID_IContextMenu2 || riid == IID_IContextMenu3)
      return MakeFileContextMenu(this, path_, names, owner)->QueryInterface(riid, ppv);
    if (cidl != 1) return E_NOINTERFACE;
    const String path = childPath(path_, names[0]);
    const bool folder = KindOf(apidl[0]) == kFsFolder;
    if (riid == IID_IQueryInfo)
      return MakeInfoTip(folder ? names[0]
                                : DisplayNameOfFile(names[0]) + QLatin1Char('\n') +
                                      TypeNameOfFile(names[0], false))
          ->QueryInterface(riid, ppv);
    if (riid == IID_IShellLinkW && !folder && names[0].endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive))
      return LoadShellLink(path, riid, ppv);
    return E_NOINTERFACE;
  }

  HRESULT GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags, STRRET* name) override {
    if (!name) return E_POINTER;
    String path;
    bool folder = false;
    if (ILIsEmpty(pidl) || !locate(pidl, path, folder)) return E_INVALIDARG;
    const String fileName = FsNameOf(ILFindLastID(pidl));
    if (flags & SHGDN_FORPARSING) return SetStrRet(name, (flags & SHGDN_INFOLDER) ? fileName : path);
    return SetStrRet(name, folder ? fileName : DisplayNameOfFile(fileName));
  }

  HRESULT SetNameOf(HWND, PCUITEMID_CHILD pidl, LPCWSTR pszName, SHGDNF flags,
                    PITEMID_CHILD* ppidlOut) override {
    if (ppidlOut) *ppidlOut = nullptr;
    if (!pszName || ILIsEmpty(pidl) || !ILIsEmpty(ILGetNext(pidl))) return E_INVALIDARG;
    const BYTE kind = KindOf(pidl);
    if (kind != kFsFolder && kind != kFsFile) return E_INVALIDARG;
    const String oldName = FsNameOf(pidl);
    String newName = String::fromUtf16(pszName).trimmed();
    // A name given as shown keeps the extension the display hid.
    if (kind == kFsFile && !(flags & SHGDN_FORPARSING) && DisplayNameOfFile(oldName) != oldName) {
      const String extension = ExtractFileExt(oldName);
      if (!newName.endsWith(extension, Qt::CaseInsensitive)) newName += extension;
    }
    if (!validName(newName)) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    const HRESULT hr = RenameFileSystemItem(path_, oldName, newName);
    if (SUCCEEDED(hr) && ppidlOut) *ppidlOut = MakeFsItem(newName, kind == kFsFolder);
    return hr;
  }

 private:
  static String childPath(const String& folder, const String& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
  }

  PCIDLIST_ABSOLUTE ownList() const {
    return reinterpret_cast<PCIDLIST_ABSOLUTE>(ownListBytes().constData());
  }
  // The folder's own list with its terminator.
  const QByteArray& ownListBytes() const {
    if (ownList_.isEmpty()) ownList_ = absolute_ + QByteArray(2, '\0');
    return ownList_;
  }

  // The path and kind of a (possibly deeper) relative list of file items.
  bool locate(PCUIDLIST_RELATIVE pidl, String& path, bool& folder) const {
    path = path_;
    const std::vector<PCUITEMID_CHILD> items = ItemsOf(pidl);
    if (items.empty()) return false;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const BYTE kind = KindOf(items[i]);
      if (kind != kFsFolder && (kind != kFsFile || i + 1 < items.size())) return false;
      path = childPath(path, FsNameOf(items[i]));
      folder = kind == kFsFolder;
    }
    return true;
  }

  String path_;
  QByteArray absolute_;  // without the terminator
  mutable QByteArray ownList_;
};

}  // namespace

namespace shelldetail {

ComPtr<IShellFolder> MakeFileSystemFolder(const String& path, PCIDLIST_ABSOLUTE absolute) {
  return ComPtr<IShellFolder>(new FileSystemFolder(path, absolute));
}

HRESULT RenameFileSystemItem(const String& folder, const String& oldName, const String& newName) {
  if (!validName(newName)) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
  if (oldName == newName) return S_OK;
  const QDir dir(folder);
  if (!dir.exists(oldName)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  if (QFileInfo::exists(dir.filePath(newName))) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  return QDir(folder).rename(oldName, newName) ? S_OK : HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

}  // namespace shelldetail
