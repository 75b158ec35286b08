// Internet shortcuts (".url" files) and the Add Favorite helper that writes
// them into the Favorites folder.
#include "platform/com/TableDispatch.h"
#include "platform/rtl/IniFiles.h"
#include "platform/shell/IntShCut.h"
#include "platform/shell/ShellItems.h"

#include <QRegularExpression>

using namespace shelldetail;

namespace {

const String kSection = QStringLiteral("InternetShortcut");
const String kUrlKey = QStringLiteral("URL");

bool hasScheme(const String& url) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
  return scheme.match(url).hasMatch();
}

class InternetShortcut final : public ComObject<IUniformResourceLocatorW, IPersistFile> {
 public:
  HRESULT SetURL(LPCWSTR pcszURL, DWORD dwInFlags) override {
    if (!pcszURL) {
      url_.clear();
      dirty_ = true;
      return S_OK;
    }
    String url = String::fromUtf16(pcszURL).trimmed();
    if (!url.isEmpty() && !hasScheme(url)) {
      if (!(dwInFlags & (IURL_SETURL_FL_GUESS_PROTOCOL | IURL_SETURL_FL_USE_DEFAULT_PROTOCOL)))
        return URL_E_INVALID_SYNTAX;
      url = QStringLiteral("http://") + url;
    }
    url_ = url;
    dirty_ = true;
    return S_OK;
  }

  HRESULT GetURL(LPWSTR* ppszURL) override {
    if (!ppszURL) return E_POINTER;
    if (url_.isEmpty()) {
      *ppszURL = nullptr;
      return S_FALSE;
    }
    *ppszURL = CoTaskMemDupString(url_);
    return *ppszURL ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT InvokeCommand(PURLINVOKECOMMANDINFOW purlici) override {
    if (!purlici) return E_INVALIDARG;
    if (url_.isEmpty()) return E_FAIL;
    const auto result = reinterpret_cast<std::intptr_t>(ShellExecuteW(purlici->hwndParent, purlici->pcszVerb,
                                                                      reinterpret_cast<LPCWSTR>(url_.utf16()),
                                                                      nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32 ? S_OK : E_FAIL;
  }

  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_InternetShortcut;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }

  HRESULT Load(LPCOLESTR pszFileName, DWORD) override {
    if (!pszFileName) return E_INVALIDARG;
    const String file = NormalizePath(String::fromUtf16(pszFileName));
    if (!FileExists(file)) return STG_E_FILENOTFOUND;
    url_ = TIniFile(file).ReadString(kSection, kUrlKey, String());
    file_ = file;
    dirty_ = false;
    return S_OK;
  }

  HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    const String file = pszFileName ? NormalizePath(String::fromUtf16(pszFileName)) : file_;
    if (file.isEmpty()) return E_INVALIDARG;
    try {
      TIniFile(file).WriteString(kSection, kUrlKey, url_);
    } catch (const Exception&) {
      return STG_E_ACCESSDENIED;
    }
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
  String url_;
  String file_;
  bool dirty_ = false;
};

// IDispatch answers AddFavorite only.
class ShellUIHelper final : public comdisp::TableDispatch<ShellUIHelper, IShellUIHelper> {
 public:
  ShellUIHelper() : TableDispatch(kTable) {}

  HRESULT ResetFirstBootMode() override { return E_NOTIMPL; }
  HRESULT ResetSafeMode() override { return E_NOTIMPL; }
  HRESULT RefreshOfflineDesktop() override { return E_NOTIMPL; }
  HRESULT AddFavorite(BSTR URL, VARIANT* Title) override {
    const String url = BSTRToString(URL).trimmed();
    if (url.isEmpty()) return E_INVALIDARG;
    String name;
    if (Title) {
      const VARIANT* t = Title->vt == (VT_BYREF | VT_VARIANT) ? Title->pvarVal : Title;
      if (t && t->vt == VT_BSTR) name = BSTRToString(t->bstrVal).trimmed();
    }
    if (name.isEmpty()) name = url;
    if (!AskFavoriteName(nullptr, url, name)) return S_OK;

    const String folder = SpecialFolderPath(CSIDL_FAVORITES);
    // A leading dot would hide the favorite from every listing of the folder.
    String safe = SafeFileName(name.trimmed());
    for (QChar& c : safe) {
      if (c != QLatin1Char('.')) break;
      c = QLatin1Char('_');
    }
    String file = folder + QLatin1Char('/') + safe + QStringLiteral(".url");
    // Another address under the same name is kept: the new one gets a new name.
    if (FileExists(file) && TIniFile(file).ReadString(kSection, kUrlKey, String()) != url)
      file = UniqueFileName(file);
    ComPtr<IUniformResourceLocatorW> shortcut;
    if (FAILED(CreateInternetShortcut(nullptr, IID_IUniformResourceLocatorW, &shortcut))) return E_FAIL;
    if (FAILED(shortcut->SetURL(reinterpret_cast<LPCWSTR>(url.utf16()), IURL_SETURL_FL_GUESS_PROTOCOL)))
      return E_INVALIDARG;
    ComPtr<IPersistFile> persist = shortcut.As<IPersistFile>();
    if (!persist || FAILED(persist->Save(reinterpret_cast<LPCOLESTR>(file.utf16()), TRUE))) return E_FAIL;
    return S_OK;
  }
  HRESULT AddChannel(BSTR) override { return E_NOTIMPL; }
  HRESULT AddDesktopComponent(BSTR, BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT IsSubscribed(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT NavigateAndFind(BSTR, BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT ImportExportFavorites(VARIANT_BOOL, BSTR) override { return E_NOTIMPL; }
  HRESULT AutoCompleteSaveForm(VARIANT*) override { return E_NOTIMPL; }
  HRESULT AutoScan(BSTR, BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT AutoCompleteAttach(VARIANT*) override { return E_NOTIMPL; }
  HRESULT ShowBrowserUI(BSTR, VARIANT*, VARIANT*) override { return E_NOTIMPL; }

 private:
  static HRESULT InvokeAddFavorite(ShellUIHelper& self, WORD flags, DISPPARAMS* params, VARIANT*) {
    if (!(flags & DISPATCH_METHOD) || !params) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs < 1 || params->cArgs > 2) return DISP_E_BADPARAMCOUNT;
    // Arguments come last first.
    VARIANT* url = &params->rgvarg[params->cArgs - 1];
    if (url->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    return self.AddFavorite(url->bstrVal, params->cArgs == 2 ? &params->rgvarg[0] : nullptr);
  }
  static constexpr comdisp::DispMember<ShellUIHelper> kMembers[] = {{"AddFavorite", &InvokeAddFavorite, 4}};
  static constexpr comdisp::DispTable<ShellUIHelper> kTable{kMembers};
};

}  // namespace

namespace shelldetail {

HRESULT CreateInternetShortcut(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return MakeCom<InternetShortcut>()->QueryInterface(riid, ppv);
}

HRESULT CreateShellUIHelper(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return MakeCom<ShellUIHelper>()->QueryInterface(riid, ppv);
}

}  // namespace shelldetail
