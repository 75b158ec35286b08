#include "EmbeddedWB/Source/ShellMenu.h"

#include "EmbeddedWB/Source/EwbTools.h"

#include <algorithm>

namespace ShellMenu {

using namespace EwbTools;

int TMenuRecords::Add(std::unique_ptr<TMenuRec> record) {
  records_.push_back(std::move(record));
  return int(records_.size()) - 1;
}

TMenuRec* TMenuRecords::At(int index) const {
  return index >= 0 && index < int(records_.size()) ? records_[size_t(index)].get() : nullptr;
}

void TMenuRecords::Clear() {
  for (const auto& record : records_) {
    PidlFree(record->Relative);
    PidlFree(record->Absolute);
  }
  records_.clear();
}

std::unique_ptr<TMenuRec> MakeRecord(PCIDLIST_ABSOLUTE folderList, PCUITEMID_CHILD relative, bool isFolder) {
  auto record = std::make_unique<TMenuRec>();
  record->Relative = PidlCopy(relative);
  record->Absolute = PidlConcat(folderList, relative);
  record->IsFolder = isFolder;
  return record;
}

TMenuItem* NewRecordItem(TComponent* owner, TImageList* images, const TNotifyEvent& onClick, int tag,
                         const String& caption, int imageIndex, bool isFolder) {
  auto* item = new TMenuItem(owner);
  item->SetSubMenuImages(images);
  item->OnClick = onClick;
  item->SetTag(tag);
  item->SetCaption(caption);
  item->SetImageIndex(imageIndex);
  if (isFolder) {
    auto* placeholder = new TMenuItem(item);
    placeholder->SetVisible(false);
    item->Add(placeholder);
  }
  return item;
}

void RetireItems(TMenuItem* root) {
  while (root->Count() > 0) {
    TMenuItem* item = root->Items(root->Count() - 1);
    root->Delete(root->Count() - 1);
    item->deleteLater();
  }
}

TMenuItem* NewEmptyItem(TComponent* owner) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(QStringLiteral(" (Empty) "));
  item->SetEnabled(false);
  return item;
}

void AddLevel(TMenuRecords& records, TMenuItem* parent, IShellFolder* folder,
              std::vector<std::unique_ptr<TMenuRec>> level, TImageList* images, const TNotifyEvent& onClick,
              int (*iconOf)(PCIDLIST_ABSOLUTE),
              const std::function<void(TMenuItem*, const TMenuRec&)>& adjust) {
  if (level.empty()) {
    parent->Add(NewEmptyItem(parent));
    return;
  }
  SortInShellOrder(folder, level.begin(), level.end());
  for (auto& entry : level) {
    const TMenuRec& added = *entry;
    const int tag = records.Add(std::move(entry));
    String caption;
    StrRetToString(folder, added.Relative, caption);
    TMenuItem* item =
        NewRecordItem(parent, images, onClick, tag, caption, iconOf(added.Absolute), added.IsFolder);
    if (adjust) adjust(item, added);
    parent->Add(item);
  }
}

}  // namespace ShellMenu
