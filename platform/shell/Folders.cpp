// The desktop folder (the namespace root), binding absolute lists, and the
// item enumeration shared by the folders.
#include "platform/shell/ShellItems.h"

#include "platform/com/SnapshotEnum.h"

#include <QFileInfo>
#include <QUrl>

#include <string>

using namespace shelldetail;

namespace {

bool handOutItem(const QByteArray& bytes, PITEMID_CHILD& item) {
  item = ListFromBytes(bytes);
  return item != nullptr;
}

using ItemEnumeration = SnapshotEnum<IEnumIDList, PITEMID_CHILD, QByteArray, handOutItem>;

bool isRoot(PCUITEMID_CHILD item, RootItem which) {
  return KindOf(item) == kRootItem && ContentOf(item) == QByteArray(1, char(which));
}

QByteArray itemBytes(PITEMID_CHILD item) { return BytesOf(OwnedIdList(item).get()); }

// The namespace root: the computer and the History folder.
class DesktopFolder final : public ComObject<IShellFolder> {
 public:
  HRESULT ParseDisplayName(HWND, IBindCtx*, LPWSTR name, ULONG* pchEaten, PIDLIST_RELATIVE* ppidl,
                           ULONG* pdwAttributes) override {
    if (!name || !ppidl) return E_INVALIDARG;
    *ppidl = nullptr;
    String text = String::fromUtf16(name);
    if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) text = QUrl(text).toLocalFile();
    text = NormalizePath(text);
    if (!text.startsWith(QLatin1Char('/'))) return E_INVALIDARG;
    if (!QFileInfo::exists(text)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    *ppidl = FileSystemIDList(text);
    if (!*ppidl) return E_OUTOFMEMORY;
    if (pchEaten) *pchEaten = ULONG(std::char_traits<char16_t>::length(name));
    if (pdwAttributes) {
      PCUITEMID_CHILD last = nullptr;
      ComPtr<IShellFolder> parent;
      if (SUCCEEDED(SHBindToParent(*ppidl, IID_IShellFolder, &parent, &last)))
        *pdwAttributes = AttributesOf(parent.Get(), last, *pdwAttributes);
    }
    return S_OK;
  }

  HRESULT EnumObjects(HWND, SHCONTF flags, IEnumIDList** ppenum) override {
    if (!ppenum) return E_POINTER;
    std::vector<QByteArray> items;
    if (flags & SHCONTF_FOLDERS) {
      items.push_back(itemBytes(MakeRootItem(kComputer)));
      items.push_back(itemBytes(MakeRootItem(kHistoryRoot)));
    }
    return MakeItemEnumeration(std::move(items)).CopyTo(ppenum);
  }

  HRESULT BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (ILIsEmpty(pidl)) return E_INVALIDARG;
    ComPtr<IShellFolder> folder = BindAbsolute(pidl);
    if (!folder) return E_INVALIDARG;
    return folder->QueryInterface(riid, ppv);
  }

  HRESULT BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT CompareIDs(LPARAM lParam, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    if (ILIsEmpty(a) || ILIsEmpty(b)) return CompareResult(int(ILIsEmpty(b)) - int(ILIsEmpty(a)));
    const BYTE ka = KindOf(a), kb = KindOf(b);
    if (ka != kRootItem || kb != kRootItem) return E_INVALIDARG;
    const int ra = ContentOf(a).at(0), rb = ContentOf(b).at(0);
    if (ra != rb) return CompareResult(ra - rb);
    // The same root: the rest is ordered by that folder.
    PCUIDLIST_RELATIVE restA = ILGetNext(a), restB = ILGetNext(b);
    if (ILIsEmpty(restA) || ILIsEmpty(restB))
      return CompareResult(int(ILIsEmpty(restB)) - int(ILIsEmpty(restA)));
    ComPtr<IShellFolder> folder = BindAbsolute(OwnedIdList(ILCloneFirst(a)).get());
    if (!folder) return E_INVALIDARG;
    return folder->CompareIDs(lParam, restA, restB);
  }

  HRESULT CreateViewObject(HWND, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT GetAttributesOf(UINT cidl, PCUITEMID_CHILD_ARRAY apidl, SFGAOF* rgfInOut) override {
    if (!rgfInOut || (cidl && !apidl)) return E_INVALIDARG;
    SFGAOF common = *rgfInOut;
    if (!cidl) common &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR;
    for (UINT i = 0; i < cidl; ++i) {
      if (ILIsEmpty(apidl[i])) return E_INVALIDARG;
      if (!ILGetNext(apidl[i]) || ILIsEmpty(ILGetNext(apidl[i]))) {
        if (isRoot(apidl[i], kComputer))
          common &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR;
        else if (isRoot(apidl[i], kHistoryRoot))
          common &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        else
          return E_INVALIDARG;
        continue;
      }
      // A deeper list: asked of the folder that holds its last item.
      PCUITEMID_CHILD last = nullptr;
      ComPtr<IShellFolder> parent;
      const HRESULT hr = SHBindToParent(apidl[i], IID_IShellFolder, &parent, &last);
      if (FAILED(hr)) return hr;
      common = AttributesOf(parent.Get(), last, common);
    }
    *rgfInOut = common;
    return S_OK;
  }

  HRESULT GetUIObjectOf(HWND owner, UINT cidl, PCUITEMID_CHILD_ARRAY apidl, REFIID riid, UINT* reserved,
                        void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (cidl != 1 || !apidl || ILIsEmpty(apidl[0])) return E_INVALIDARG;
    if (ILIsEmpty(ILGetNext(apidl[0]))) {
      if (riid != IID_IQueryInfo) return E_NOINTERFACE;
      return MakeInfoTip(rootName(apidl[0], SHGDN_NORMAL))->QueryInterface(riid, ppv);
    }
    PCUITEMID_CHILD last = nullptr;
    ComPtr<IShellFolder> parent;
    const HRESULT hr = SHBindToParent(apidl[0], IID_IShellFolder, &parent, &last);
    if (FAILED(hr)) return hr;
    return parent->GetUIObjectOf(owner, 1, &last, riid, reserved, ppv);
  }

  HRESULT GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags, STRRET* name) override {
    if (!name) return E_POINTER;
    if (ILIsEmpty(pidl))
      return SetStrRet(name, (flags & SHGDN_FORPARSING) && !(flags & SHGDN_INFOLDER)
                                 ? SpecialFolderPath(CSIDL_DESKTOPDIRECTORY)
                                 : QStringLiteral("Desktop"));
    if (ILIsEmpty(ILGetNext(pidl))) {
      const String text = rootName(pidl, flags);
      return text.isNull() ? E_INVALIDARG : SetStrRet(name, text);
    }
    PCUITEMID_CHILD last = nullptr;
    ComPtr<IShellFolder> parent;
    const HRESULT hr = SHBindToParent(pidl, IID_IShellFolder, &parent, &last);
    if (FAILED(hr)) return hr;
    return parent->GetDisplayNameOf(last, flags, name);
  }

  HRESULT SetNameOf(HWND hwnd, PCUITEMID_CHILD pidl, LPCWSTR newName, SHGDNF flags,
                    PITEMID_CHILD* ppidlOut) override {
    if (ppidlOut) *ppidlOut = nullptr;
    if (ILIsEmpty(pidl) || ILIsEmpty(ILGetNext(pidl))) return E_INVALIDARG;
    PCUITEMID_CHILD last = nullptr;
    ComPtr<IShellFolder> parent;
    const HRESULT hr = SHBindToParent(pidl, IID_IShellFolder, &parent, &last);
    if (FAILED(hr)) return hr;
    OwnedIdList renamed;
    const HRESULT result = parent->SetNameOf(hwnd, last, newName, flags, renamed.out());
    if (SUCCEEDED(result) && ppidlOut && renamed) {
      // The new absolute list: the parent's and the renamed item.
      const OwnedIdList parentList(ILClone(pidl));
      ILRemoveLastID(parentList.get());
      *ppidlOut = ILCombine(parentList.get(), renamed.get());
    }
    return result;
  }

 private:
  static String rootName(PCUITEMID_CHILD item, SHGDNF flags) {
    const bool parsing = (flags & SHGDN_FORPARSING) && !(flags & SHGDN_INFOLDER);
    if (isRoot(item, kComputer)) return parsing ? QStringLiteral("/") : QStringLiteral("Computer");
    if (isRoot(item, kHistoryRoot)) return parsing ? HistoryPath() : HistoryCaption();
    return String();
  }
};

}  // namespace

namespace shelldetail {

ComPtr<IEnumIDList> MakeItemEnumeration(std::vector<QByteArray> items) {
  return MakeCom<ItemEnumeration>(std::move(items));
}

SFGAOF AttributesOf(IShellFolder* folder, PCUITEMID_CHILD item, SFGAOF asked) {
  SFGAOF attributes = asked;
  if (FAILED(folder->GetAttributesOf(1, &item, &attributes))) return 0;
  return attributes;
}

HRESULT CompareResult(int order) {
  const short value = order < 0 ? -1 : (order > 0 ? 1 : 0);
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, USHORT(value));
}

ComPtr<IShellFolder> MakeDesktopFolder() { return ComPtr<IShellFolder>(new DesktopFolder); }

ComPtr<IShellFolder> BindAbsolute(PCIDLIST_ABSOLUTE absolute) {
  if (ILIsEmpty(absolute)) return MakeDesktopFolder();
  if (isRoot(absolute, kComputer)) {
    for (PCUITEMID_CHILD item : ItemsOf(ILGetNext(absolute)))
      if (KindOf(item) != kFsFolder) return nullptr;
    return MakeFileSystemFolder(FileSystemPathOf(absolute), absolute);
  }
  if (isRoot(absolute, kHistoryRoot)) return MakeHistoryFolder(absolute);
  return nullptr;
}

}  // namespace shelldetail

HRESULT SHGetDesktopFolder(IShellFolder** ppshf) {
  if (!ppshf) return E_INVALIDARG;
  return MakeDesktopFolder().CopyTo(ppshf);
}

HRESULT SHBindToParent(PCIDLIST_ABSOLUTE pidl, REFIID riid, void** ppv, PCUITEMID_CHILD* ppidlLast) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (ppidlLast) *ppidlLast = nullptr;
  if (ILIsEmpty(pidl)) return E_INVALIDARG;
  const OwnedIdList parentList(ILClone(pidl));
  ILRemoveLastID(parentList.get());
  ComPtr<IShellFolder> parent = BindAbsolute(parentList.get());
  if (!parent) return E_INVALIDARG;
  const HRESULT hr = parent->QueryInterface(riid, ppv);
  if (SUCCEEDED(hr) && ppidlLast) *ppidlLast = ILFindLastID(pidl);
  return hr;
}
