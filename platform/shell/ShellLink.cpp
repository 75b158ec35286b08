// Shell links: a target and its details in a small link file of our own.
#include "platform/rtl/IniFiles.h"
#include "platform/shell/ShellItems.h"

#include <QFileInfo>

#include <cstring>

using namespace shelldetail;

namespace {

const String kSection = QStringLiteral("ShellLink");

HRESULT copyOut(const String& text, LPWSTR buffer, int cch) {
  if (!buffer || cch <= 0) return E_INVALIDARG;
  const int n = std::min(int(text.size()), cch - 1);
  std::memcpy(buffer, text.utf16(), std::size_t(n) * 2);
  buffer[n] = 0;
  return S_OK;
}

String oneLine(const String& text) {
  String out = text;
  out.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  return out;
}

class ShellLink final : public ComObject<IShellLinkW, IPersistFile> {
 public:
  HRESULT GetPath(LPWSTR pszFile, int cch, WIN32_FIND_DATAW* pfd, DWORD) override {
    const HRESULT hr = copyOut(target_, pszFile, cch);
    if (FAILED(hr)) return hr;
    if (pfd) {
      std::memset(pfd, 0, sizeof *pfd);
      const QFileInfo info(target_);
      if (info.exists()) {
        pfd->dwFileAttributes = info.isDir() ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        const auto size = ULONGLONG(info.isDir() ? 0 : info.size());
        pfd->nFileSizeHigh = DWORD(size >> 32);
        pfd->nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
        pfd->ftLastWriteTime = FileTimeOf(info.lastModified());
      }
      copyOut(info.fileName(), pfd->cFileName, MAX_PATH);
    }
    return target_.isEmpty() ? S_FALSE : S_OK;
  }
  HRESULT GetIDList(PIDLIST_ABSOLUTE* ppidl) override {
    if (!ppidl) return E_POINTER;
    *ppidl = target_.isEmpty() ? nullptr : FileSystemIDList(target_);
    return *ppidl ? S_OK : S_FALSE;
  }
  HRESULT SetIDList(PCIDLIST_ABSOLUTE pidl) override {
    const String path = PathFromIDList(pidl);
    if (path.isEmpty()) return E_INVALIDARG;
    return change(target_, path);
  }
  HRESULT GetDescription(LPWSTR pszName, int cch) override { return copyOut(description_, pszName, cch); }
  HRESULT SetDescription(LPCWSTR pszName) override { return change(description_, pszName); }
  HRESULT GetWorkingDirectory(LPWSTR pszDir, int cch) override {
    return copyOut(workingDirectory_, pszDir, cch);
  }
  HRESULT SetWorkingDirectory(LPCWSTR pszDir) override { return change(workingDirectory_, pszDir); }
  HRESULT GetArguments(LPWSTR pszArgs, int cch) override { return copyOut(arguments_, pszArgs, cch); }
  HRESULT SetArguments(LPCWSTR pszArgs) override { return change(arguments_, pszArgs); }
  HRESULT GetHotkey(WORD* pwHotkey) override {
    if (!pwHotkey) return E_POINTER;
    *pwHotkey = hotkey_;
    return S_OK;
  }
  HRESULT SetHotkey(WORD wHotkey) override {
    hotkey_ = wHotkey;
    dirty_ = true;
    return S_OK;
  }
  HRESULT GetShowCmd(int* piShowCmd) override {
    if (!piShowCmd) return E_POINTER;
    *piShowCmd = showCmd_;
    return S_OK;
  }
  HRESULT SetShowCmd(int iShowCmd) override {
    showCmd_ = iShowCmd;
    dirty_ = true;
    return S_OK;
  }
  HRESULT GetIconLocation(LPWSTR pszIconPath, int cch, int* piIcon) override {
    if (piIcon) *piIcon = iconIndex_;
    return copyOut(iconPath_, pszIconPath, cch);
  }
  HRESULT SetIconLocation(LPCWSTR pszIconPath, int iIcon) override {
    iconIndex_ = iIcon;
    return change(iconPath_, pszIconPath);
  }
  HRESULT SetRelativePath(LPCWSTR, DWORD) override { return S_OK; }
  HRESULT Resolve(HWND, DWORD) override {
    if (target_.isEmpty()) return E_FAIL;
    return QFileInfo::exists(target_) ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT SetPath(LPCWSTR pszFile) override {
    if (!pszFile) return E_INVALIDARG;
    return change(target_, NormalizePath(String::fromUtf16(pszFile)));
  }

  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(LPCOLESTR pszFileName, DWORD) override {
    if (!pszFileName) return E_INVALIDARG;
    const String file = NormalizePath(String::fromUtf16(pszFileName));
    if (!FileExists(file)) return STG_E_FILENOTFOUND;
    TIniFile ini(file);
    if (!ini.SectionExists(kSection)) return E_FAIL;
    target_ = NormalizePath(ini.ReadString(kSection, QStringLiteral("Target"), String()));
    arguments_ = ini.ReadString(kSection, QStringLiteral("Arguments"), String());
    workingDirectory_ = ini.ReadString(kSection, QStringLiteral("WorkingDirectory"), String());
    description_ = ini.ReadString(kSection, QStringLiteral("Description"), String());
    iconPath_ = ini.ReadString(kSection, QStringLiteral("IconLocation"), String());
    iconIndex_ = ini.ReadInteger(kSection, QStringLiteral("IconIndex"), 0);
    showCmd_ = ini.ReadInteger(kSection, QStringLiteral("ShowCmd"), SW_SHOWNORMAL);
    hotkey_ = WORD(ini.ReadInteger(kSection, QStringLiteral("Hotkey"), 0));
    file_ = file;
    dirty_ = false;
    return S_OK;
  }
  HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    const String file = pszFileName ? NormalizePath(String::fromUtf16(pszFileName)) : file_;
    if (file.isEmpty()) return E_INVALIDARG;
    const String text = QStringLiteral(
                            "[ShellLink]\r\nTarget=%1\r\nArguments=%2\r\n"
                            "WorkingDirectory=%3\r\nDescription=%4\r\nIconLocation=%5\r\n"
                            "IconIndex=%6\r\nShowCmd=%7\r\nHotkey=%8\r\n")
                            .arg(oneLine(target_), oneLine(arguments_), oneLine(workingDirectory_),
                                 oneLine(description_), oneLine(iconPath_))
                            .arg(iconIndex_)
                            .arg(showCmd_)
                            .arg(hotkey_);
    if (!WriteTextFileAtomic(file, text)) return STG_E_ACCESSDENIED;
    if (fRemember || !pszFileName) {
      file_ = file;
      dirty_ = false;
    }
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* ppszFileName) override {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = CoTaskMemDupString(file_);
    return file_.isEmpty() ? S_FALSE : S_OK;
  }

 private:
  HRESULT change(String& field, LPCWSTR value) {
    if (!value) return E_INVALIDARG;
    return change(field, String::fromUtf16(value));
  }
  HRESULT change(String& field, const String& value) {
    field = value;
    dirty_ = true;
    return S_OK;
  }

  String target_, arguments_, workingDirectory_, description_, iconPath_;
  int iconIndex_ = 0;
  int showCmd_ = SW_SHOWNORMAL;
  WORD hotkey_ = 0;
  String file_;
  bool dirty_ = false;
};

}  // namespace

namespace shelldetail {

HRESULT CreateShellLink(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return MakeCom<ShellLink>()->QueryInterface(riid, ppv);
}

HRESULT LoadShellLink(const String& fileName, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<ShellLink> link = MakeCom<ShellLink>();
  const HRESULT hr = link->Load(reinterpret_cast<LPCOLESTR>(fileName.utf16()), STGM_READ);
  if (FAILED(hr)) return hr;
  return link->QueryInterface(riid, ppv);
}

}  // namespace shelldetail
