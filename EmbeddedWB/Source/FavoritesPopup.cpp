#include "EmbeddedWB/Source/FavoritesPopup.h"

#include "EmbeddedWB/Source/ExportFavorites.h"
#include "EmbeddedWB/Source/ImportFavorites.h"

#include "platform/classlib/Forms.h"
#include "platform/classlib/ImgList.h"
#include "platform/winapi/Modules.h"

#include <algorithm>
#include <memory>

namespace FavoritesPopup {

using namespace EwbTools;
using namespace ShellMenu;

namespace {

constexpr int kFailed = int(0x80004005);  // E_FAIL

// Every constructor reads them again; all popups compare with the last.
String channelShortcutType;
String internetShortcutType;

int unitStarts = 0;

HWND applicationWindow() { return Application ? Application->Handle() : nullptr; }

}  // namespace

String ChannelShortcutType() { return channelShortcutType; }
String InternetShortcutType() { return internetShortcutType; }

TFavoritesPopup::TFavoritesPopup(TComponent* AOwner) : TPopupMenu(AOwner), localization_(new TLocalization) {
  localization_->setParent(this);
  SHGetDesktopFolder(&desktop_);
  SHGetSpecialFolderLocation(applicationWindow(), CSIDL_FAVORITES, &favorites_);
  if (desktop_ && favorites_) {
    STRRET parsing;
    if (SUCCEEDED(desktop_->GetDisplayNameOf(favorites_, SHGDN_FORPARSING, &parsing)))
      favoritesName_ = FolderNameOf(StrRetText(parsing, ILFindLastID(favorites_)));
  }
  ReadShortcutTypeNames(channelShortcutType, internetShortcutType);
}

TFavoritesPopup::~TFavoritesPopup() {
  Destroying();
  records_.Clear();
  PidlFree(favorites_);
}

String TFavoritesPopup::About() const {
  return QStringLiteral("Favorites popup menu of the Noctivane browser");
}

void TFavoritesPopup::SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value) {
  if (browser_) browser_->RemoveFreeNotification(this);
  browser_ = value;
  if (browser_) browser_->FreeNotification(this);
}

void TFavoritesPopup::Notification(TComponent* AComponent, TOperation Operation) {
  TPopupMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == browser_) browser_ = nullptr;
}

void TFavoritesPopup::Loaded() {
  BuildMenu(Items());
  TPopupMenu::Loaded();
}

void TFavoritesPopup::Error(int code, const String& message) {
  if (OnError) OnError(code, message);
}

void TFavoritesPopup::BuildMenu(TMenuItem* root) {
  if (!enabled_ || ComponentState().Contains(csDesigning)) return;
  records_.Clear();
  if (!images_) {
    images_ = new TImageList(this);
    images_->SetShareImages(true);
    images_->SetDrawingStyle(TImageList::dsTransparent);
  }
  SHFILEINFOW info{};
  images_->SetHandle(reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(favorites_), 0, &info, sizeof info,
                     SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON)));
  if (root) {
    root_ = root;
  } else {
    root_ = new TMenuItem(this);
    root_->SetCaption(favoritesName_);
  }
  root_->SetSubMenuImages(images_);
  AddFixedItems();
  ListFolder(root_, favorites_);
}

void TFavoritesPopup::Rebuild() {
  if (!root_) return;
  records_.Clear();
  RetireItems(root_);
  AddFixedItems();
  ListFolder(root_, favorites_);
}

TMenuItem* TFavoritesPopup::FixedItem(const String& caption, void (TFavoritesPopup::*click)(TObject*)) {
  auto* item = new TMenuItem(this);
  item->SetCaption(caption);
  if (click) item->OnClick = [this, click](TObject* sender) { (this->*click)(sender); };
  root_->Add(item);
  return item;
}

void TFavoritesPopup::AddFixedItems() {
  if (options_.Contains(foAddFavorites)) FixedItem(localization_->AddFavorites, &TFavoritesPopup::AddClick);
  if (options_.Contains(foOrganizeFavorites))
    FixedItem(localization_->OrganizeFavorites, &TFavoritesPopup::OrganizeClick);
  if (root_->Count() > 0) FixedItem(QStringLiteral("-"), nullptr);
  if (!IsIE5OrNewer()) return;
  const bool import = options_.Contains(foImportFavorites),
             exportFavorites = options_.Contains(foExportFavorites),
             wizard = options_.Contains(foImportExportWizard);
  if (import) FixedItem(localization_->ImportFavorites, &TFavoritesPopup::ImportClick);
  if (exportFavorites) FixedItem(localization_->ExportFavorites, &TFavoritesPopup::ExportClick);
  if (wizard) FixedItem(localization_->ImportExportWizard, &TFavoritesPopup::WizardClick);
  if (import || exportFavorites || wizard) FixedItem(QStringLiteral("-"), nullptr);
}

bool TFavoritesPopup::DocumentStep() {
  if (!enabled_ || !browser_) return false;
  if (!browser_->DocumentLoaded()) {
    browser_->AssignEmptyDocument(false);
    browser_->Wait(10000);
  }
  return true;
}

void TFavoritesPopup::ImportClick(TObject*) {
  if (!DocumentStep()) return;
  // A component of its own for each run, freed however the run ends.
  const auto importer = std::make_unique<ImportFavorites::TImportFavorite>(this);
  importer->ImportFavorites();
}

void TFavoritesPopup::ExportClick(TObject*) {
  if (!DocumentStep()) return;
  const auto exporter = std::make_unique<ExportFavorites::TExportFavorite>(this);
  exporter->ExportFavorites();
}

void TFavoritesPopup::WizardClick(TObject*) {
  if (DocumentStep()) browser_->ShowImportExportFavorites();
}

void TFavoritesPopup::ListFolder(TMenuItem* parent, PCIDLIST_ABSOLUTE list) {
  ComPtr<IShellFolder> folder;
  HRESULT hr = desktop_ ? desktop_->BindToObject(list, nullptr, IID_IShellFolder, &folder) : E_FAIL;
  if (FAILED(hr)) {
    Error(int(hr), QStringLiteral("Failed retrieves an IShellFolder object for a subfolder!"));
    return;
  }
  currentFolder_ = folder;
  std::vector<LPITEMIDLIST> items;
  hr = ShellFolderItems(folder.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items);
  if (FAILED(hr)) {
    Error(int(hr), QStringLiteral("Failed Enum objects!"));
    return;
  }
  std::vector<std::unique_ptr<TMenuRec>> level;
  for (LPITEMIDLIST relative : items) {
    if (!channels_ && HasShellTypeName(channelShortcutType, folder.Get(), relative)) {
      PidlFree(relative);
      continue;
    }
    level.push_back(
        MakeRecord(list, relative, IsBrowsableFolder(channelShortcutType, folder.Get(), relative)));
    PidlFree(relative);
  }
  // Captions longer than MaxWidth are cut and marked.
  const int maxWidth = maxWidth_;
  AddLevel(
      records_, parent, folder.Get(), std::move(level), images_,
      [this](TObject* sender) { ItemClick(sender); }, &FavoriteIconIndex,
      [maxWidth](TMenuItem* item, const TMenuRec&) {
        if (item->Caption().size() > maxWidth)
          item->SetCaption(item->Caption().left(maxWidth) + QStringLiteral("..."));
      });
}

void TFavoritesPopup::ItemClick(TObject* Sender) {
  if (!enabled_ || ComponentState().Contains(csDesigning)) return;
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  TMenuRec* record = item ? records_.At(item->Tag()) : nullptr;
  if (!record) return;
  if (record->IsFolder) {
    if (!record->Filled) {
      ListFolder(item, record->Absolute);
      record->Filled = true;
    }
    return;
  }
  LPITEMIDLIST parentList = PidlCopy(record->Absolute);
  PidlRemoveLast(parentList);
  ComPtr<IShellFolder> parent;
  const HRESULT hr =
      desktop_ ? desktop_->BindToObject(parentList, nullptr, IID_IShellFolder, &parent) : E_FAIL;
  PidlFree(parentList);
  if (FAILED(hr)) {
    Error(int(hr), QStringLiteral("Failed Retrieves an IShellFolder object for a subfolder!"));
    return;
  }
  const String url = FavoriteItemUrl(parent.Get(), ILFindLastID(record->Absolute), record->Absolute,
                                     resolveUrl_, channelShortcutType, internetShortcutType);
  if (OnURLSelected)
    OnURLSelected(item, url);
  else if (browser_ && !Trim(url).isEmpty())
    browser_->Navigate(url);
}

void TFavoritesPopup::AddClick(TObject*) {
  if (!enabled_) return;
  if (!browser_) {
    Error(kFailed, QStringLiteral("Please assign a TEmbeddedWB"));
    return;
  }
  const String title = browser_->LocationName();
  const String url = browser_->LocationURL();
  if (url.isEmpty()) {
    Error(kFailed, QStringLiteral("Failed - Empty URL string!"));
    return;
  }
  ComPtr<IShellUIHelper> helper;
  const HRESULT created =
      CoCreateInstance(CLSID_ShellUIHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IShellUIHelper, &helper);
  if (OnAddFavorites) OnAddFavorites(browser_, title, url, int(created));
  if (created != S_OK) {
    Error(int(created), QStringLiteral("Failed  while adding to favorites!"));
  } else {
    BSTR address = StringToBSTR(url);
    OleVariant name(title);
    const HRESULT added = helper->AddFavorite(address, &name);
    SysFreeString(address);
    OleCheck(added);
  }
  Rebuild();
}

void TFavoritesPopup::OrganizeClick(TObject*) {
  if (!enabled_) return;
  HMODULE library = LoadLibraryW(u"shdocvw.dll");
  if (!library) {
    Error(kFailed, QStringLiteral("Failed while loading library!"));
  } else {
    using OrganizeProc = BOOL (*)(HWND, LPCSTR);
    if (auto organize = reinterpret_cast<OrganizeProc>(GetProcAddress(library, "DoOrganizeFavDlg"))) {
      WCHAR path[MAX_PATH] = {};
      if (!SHGetPathFromIDListW(favorites_, path)) {
        Error(kFailed, QStringLiteral("Failed while getting path for the favorites!"));
        path[0] = 0;
      }
      // The library's 8-bit text is UTF-8 here.
      const QByteArray text = String::fromUtf16(path).toUtf8();
      organize(applicationWindow(), text.constData());
    }
    FreeLibrary(library);
  }
  Rebuild();
}

void initialize() {
  if (unitStarts++ > 0) return;
  RegisterClass<TFavoritesPopup>();
  RegisterEvents<TFavoritesPopup>({EventEntry("OnAddFavorites", &TFavoritesPopup::OnAddFavorites),
                                   EventEntry("OnError", &TFavoritesPopup::OnError),
                                   EventEntry("OnURLSelected", &TFavoritesPopup::OnURLSelected)});
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
  channelShortcutType.clear();
  internetShortcutType.clear();
}

}  // namespace FavoritesPopup
