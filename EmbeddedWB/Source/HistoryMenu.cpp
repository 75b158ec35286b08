#include "EmbeddedWB/Source/HistoryMenu.h"

#include "EmbeddedWB/Source/HistoryListView.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/ImgList.h"

#include <algorithm>

namespace HistoryMenu {

using namespace EwbTools;
using namespace ShellMenu;

namespace {

constexpr SHCONTF kFlags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;
int unitStarts = 0;

HWND applicationWindow() { return Application ? Application->Handle() : nullptr; }

}  // namespace

THistoryMenu::THistoryMenu(TComponent* AOwner)
    : TComponent(AOwner), caption_(HistoryListView::HistoryCaption()) {}

THistoryMenu::~THistoryMenu() {
  Destroying();
  records_.Clear();
  PidlFree(history_);
}

void THistoryMenu::SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value) {
  if (browser_) browser_->RemoveFreeNotification(this);
  browser_ = value;
  if (browser_) browser_->FreeNotification(this);
}

void THistoryMenu::SetMainMenu(TMainMenu* value) {
  if (mainMenu_) mainMenu_->RemoveFreeNotification(this);
  mainMenu_ = value;
  if (mainMenu_) mainMenu_->FreeNotification(this);
}

void THistoryMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == browser_) browser_ = nullptr;
  if (AComponent == mainMenu_) mainMenu_ = nullptr;
}

void THistoryMenu::CreateMenu() {
  desktop_ = nullptr;
  SHGetDesktopFolder(&desktop_);
  PidlFree(history_);
  history_ = nullptr;
  SHGetSpecialFolderLocation(applicationWindow(), CSIDL_HISTORY, &history_);
  images_ = new TImageList(this);
  images_->SetShareImages(true);
  images_->SetDrawingStyle(TImageList::dsTransparent);
  SHFILEINFOW info{};
  images_->SetHandle(
      reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(reinterpret_cast<LPCWSTR>(history_), 0, &info, sizeof info,
                                                  SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON)));
  root_ = new TMenuItem(this);
  root_->SetSubMenuImages(images_);
  root_->SetCaption(caption_);
  if (mainMenu_) {
    const int count = mainMenu_->Items()->Count();
    menuPosition_ = std::clamp(menuPosition_, 1, count + 1);
    mainMenu_->Items()->Insert(menuPosition_ - 1, root_);
  }
  BuildFirstLevel();
}

void THistoryMenu::BuildFirstLevel() {
  records_.Clear();
  if (!desktop_ || !history_) return;
  ComPtr<IShellFolder> history;
  if (FAILED(desktop_->BindToObject(history_, nullptr, IID_IShellFolder, &history))) return;
  std::vector<LPITEMIDLIST> items;
  if (FAILED(ShellFolderItems(history.Get(), kFlags, items))) return;
  const TNotifyEvent click = [this](TObject* sender) { ItemClick(sender); };
  // The first level belongs to the menu component (not to the application),
  // so every window's menu goes with its window.
  for (LPITEMIDLIST relative : items) {
    const bool folder = IsShellFolderItem(history.Get(), relative);
    String caption;
    StrRetToString(history.Get(), relative, caption);
    const int tag = records_.Add(MakeRecord(history_, relative, folder));
    TMenuItem* item = NewRecordItem(this, images_, click, tag, caption,
                                    GetSysImageIndex(records_.At(tag)->Absolute), folder);
    root_->Add(item);
    PidlFree(relative);
  }
}

void THistoryMenu::ListFolder(TMenuItem* parent, TMenuRec& record) {
  LPITEMIDLIST list = PidlCopy(record.Absolute);
  ComPtr<IShellFolder> folder;
  std::vector<LPITEMIDLIST> items;
  const bool listed = desktop_ &&
                      SUCCEEDED(desktop_->BindToObject(list, nullptr, IID_IShellFolder, &folder)) &&
                      SUCCEEDED(ShellFolderItems(folder.Get(), kFlags, items));
  if (!listed) {
    PidlFree(list);
    return;
  }
  currentFolder_ = folder;
  std::vector<std::unique_ptr<TMenuRec>> level;
  for (LPITEMIDLIST relative : items) {
    level.push_back(MakeRecord(list, relative, IsShellFolderItem(folder.Get(), relative)));
    PidlFree(relative);
  }
  // A page's item carries its address as its hint.
  AddLevel(
      records_, parent, folder.Get(), std::move(level), images_,
      [this](TObject* sender) { ItemClick(sender); }, &GetSysImageIndex,
      [&folder](TMenuItem* item, const TMenuRec& record) {
        if (record.IsFolder) return;
        String url;
        GetInfoTipUrl(folder.Get(), record.Relative, url);
        item->SetHint(url);
      });
  PidlFree(list);
}

void THistoryMenu::ItemClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  TMenuRec* record = item ? records_.At(item->Tag()) : nullptr;
  if (!record) return;
  if (record->IsFolder) {
    if (!record->Filled) {
      ListFolder(item, *record);
      record->Filled = true;
    }
    return;
  }
  const String url = item->Hint();
  if (OnURLSelected) OnURLSelected(item, url);
  Rebuild();
  // An item that is neither a page nor a folder has no address to show.
  if (browser_ && !Trim(url).isEmpty()) browser_->Navigate(url);
}

void THistoryMenu::Rebuild() {
  if (!root_) return;
  RetireItems(root_);
  BuildFirstLevel();
}

void initialize() {
  if (unitStarts++ > 0) return;
  RegisterClass<THistoryMenu>();
  RegisterEvents<THistoryMenu>({EventEntry("OnURLSelected", &THistoryMenu::OnURLSelected)});
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
}

}  // namespace HistoryMenu
