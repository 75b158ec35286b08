#include "EmbeddedWB/Source/ShellListView.h"

#include "platform/classlib/Forms.h"
#include "platform/shdocvw/OleCtrls.h"

#include <QScopeGuard>

#include <algorithm>

namespace ShellListView {

using namespace EwbTools;

TShellListView::TShellListView(TComponent* AOwner) : TCustomListView(AOwner) {
  SetReadOnly(true);
  SetHeight(300);
  SetWidth(200);
  SetShowHint(true);
  SetColumnClick(false);
  SetOwnerData(true);
  SetViewStyle(vsReport);
}

TShellListView::~TShellListView() {
  // The view may still ask for rows while it goes; it finds none.
  Destroying();
  ClearItems();
  ClearLevels();
  PidlFree(current_);
  current_ = nullptr;
}

void TShellListView::SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value) {
  if (browser_) browser_->RemoveFreeNotification(this);
  browser_ = value;
  if (browser_) browser_->FreeNotification(this);
}

void TShellListView::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomListView::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == browser_) browser_ = nullptr;
}

void TShellListView::FreeItems(std::vector<std::unique_ptr<TItem>>& items) {
  for (const auto& item : items) {
    PidlFree(item->Absolute);
    PidlFree(item->Relative);
  }
  items.clear();
}

void TShellListView::ClearItems() { FreeItems(items_); }

void TShellListView::ClearLevels() {
  for (TLevel& level : levels_) FreeItems(level.Items);
  levels_.clear();
}

void TShellListView::SetSystemImages(PCIDLIST_ABSOLUTE list) {
  SHFILEINFOW info{};
  const DWORD_PTR images = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                                          SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON);
  Perform(LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(images));
}

void TShellListView::FillFolder(LPITEMIDLIST list, TLevel* kept) {
  ComPtr<IShellFolder> folder;
  const HRESULT bound = desktop_ ? desktop_->BindToObject(list, nullptr, IID_IShellFolder, &folder) : E_FAIL;
  if (FAILED(bound)) PidlFree(list);
  OleCheck(bound);
  Items()->BeginUpdate();
  try {
    std::vector<LPITEMIDLIST> found;
    const HRESULT listed = ShellFolderItems(folder.Get(), EnumFlags(), found);
    if (FAILED(listed)) PidlFree(list);
    OleCheck(listed);
    std::vector<QByteArray> listing;
    listing.reserve(found.size());
    for (LPITEMIDLIST relative : found)
      listing.emplace_back(reinterpret_cast<const char*>(relative), qsizetype(PidlSize(relative)));
    currentFolder_ = folder;
    ClearItems();
    if (kept && kept->Listed == listing) {
      // The same items as before: their rows as they were made then.
      for (LPITEMIDLIST relative : found) PidlFree(relative);
      items_ = std::move(kept->Items);
    } else {
      for (LPITEMIDLIST relative : found) {
        if (SkipItem(folder.Get(), relative)) {
          PidlFree(relative);
          continue;
        }
        auto item = std::make_unique<TItem>();
        item->Relative = relative;
        StrRetToString(folder.Get(), relative, item->Caption);
        items_.push_back(std::move(item));
      }
      SortInShellOrder(folder.Get(), items_.begin(), items_.end());
    }
    listed_ = std::move(listing);
    Items()->SetCount(int(items_.size()));
    Repaint();
    if (current_ != list) PidlFree(current_);
    current_ = list;
    if (!items_.empty()) {
      TListItem* first = Items()->Item(0);
      SetSelected(first);
      SetItemFocused(Items()->Item(0));
      Items()->Item(0)->MakeVisible(false);
    }
  } catch (...) {
    Items()->EndUpdate();
    throw;
  }
  Items()->EndUpdate();
}

void TShellListView::StartAt(LPITEMIDLIST root) {
  ClearLevels();
  try {
    FillFolder(root);
  } catch (const Exception&) {
    ClearItems();
    Items()->SetCount(0);
  }
  depth_ = 0;
}

void TShellListView::Refresh() {
  if (current_) FillFolder(PidlCopy(current_));
}

void TShellListView::GoUp() {
  LPITEMIDLIST parent = PidlCopy(current_);
  PidlRemoveLast(parent);
  if (PidlSize(parent) > 2 && depth_ > 0) {
    --depth_;
    TLevel kept;
    if (!levels_.empty()) {
      kept = std::move(levels_.back());
      levels_.pop_back();
    }
    const auto unused = qScopeGuard([&kept] { FreeItems(kept.Items); });
    FillFolder(parent, &kept);
    return;
  }
  PidlFree(parent);
  Beep();
}

TShellListView::TItem* TShellListView::SelectedItem() {
  const int index = ItemIndex();
  return index >= 0 && index < int(items_.size()) ? items_[size_t(index)].get() : nullptr;
}

void TShellListView::EnterSelected() {
  TItem* item = SelectedItem();
  if (!item) return;
  // This level's rows are kept for the way back; they stay shown if the
  // folder below cannot be shown.
  TLevel level{listed_, std::move(items_)};
  items_.clear();
  LPITEMIDLIST below = PidlConcat(current_, level.Items[size_t(ItemIndex())]->Relative);
  levels_.push_back(std::move(level));
  bool entered = false;
  const auto restore = qScopeGuard([&] {
    if (entered) return;
    items_ = std::move(levels_.back().Items);
    levels_.pop_back();
  });
  FillFolder(below);
  entered = true;
  ++depth_;
}

void TShellListView::UrlChosen(const String& url) {
  if (OnURLSelected)
    OnURLSelected(this, url);
  else if (browser_ && !Trim(url).isEmpty())
    browser_->Navigate(url);
}

String TShellListView::RowCaption(int index) const {
  return index >= 0 && index < int(items_.size()) ? items_[size_t(index)]->Caption : String();
}

String TShellListView::CurrentPath() const { return current_ ? PathFromIDList(current_) : String(); }

String TShellListView::RowPath(int index) const {
  if (index < 0 || index >= int(items_.size()) || !current_) return String();
  LPITEMIDLIST absolute = PidlConcat(current_, items_[size_t(index)]->Relative);
  const String path = PathFromIDList(absolute);
  PidlFree(absolute);
  return path;
}

void TShellListView::Hint(TItem& item) {
  if (!item.Pending) return;
  if (!item.Absolute) item.Absolute = PidlConcat(current_, item.Relative);
  item.ImageIndex = IconIndexOf(item.Absolute);
  item.Pending = false;
}

bool TShellListView::OwnerDataHint(int StartIndex, int EndIndex) {
  TCustomListView::OwnerDataHint(StartIndex, EndIndex);
  for (int i = std::max(StartIndex, 0); i <= EndIndex && i < int(items_.size()); ++i)
    Hint(*items_[size_t(i)]);
  return true;
}

bool TShellListView::OwnerDataFetch(TListItem* Item, TItemRequest Request) {
  TCustomListView::OwnerDataFetch(Item, Request);
  if (Destroyed() || Item->Index() < 0 || Item->Index() >= int(items_.size())) return false;
  TItem& item = *items_[size_t(Item->Index())];
  // A row asked for before its hint gets its icon now.
  Hint(item);
  Item->Caption = item.Caption;
  Item->ImageIndex = item.ImageIndex;
  return true;
}

int TShellListView::OwnerDataFind(TItemFind Find, const String& FindString, const TPoint& FindPosition,
                                  void* FindData, int StartIndex, TSearchDirection Direction, bool Wrap) {
  int result =
      TCustomListView::OwnerDataFind(Find, FindString, FindPosition, FindData, StartIndex, Direction, Wrap);
  if (Find != ifPartialString && Find != ifExactString) return result;
  const String wanted = FindString.toUpper();
  auto matches = [this, &wanted](int i) { return items_[size_t(i)]->Caption.toUpper().startsWith(wanted); };
  const int count = int(items_.size());
  for (int i = std::max(StartIndex, 0); i < count; ++i)
    if (matches(i)) return i;
  if (Wrap)
    for (int i = 0; i < StartIndex && i < count; ++i)
      if (matches(i)) return i;
  return result;
}

bool TShellListView::CustomDrawSubItem(TListItem* Item, int SubItem, TCustomDrawState State,
                                       TCustomDrawStage Stage) {
  if (Stage == cdPrePaint && SubItem > 0) Canvas()->Font()->SetColor(clWindowText);
  return TCustomListView::CustomDrawSubItem(Item, SubItem, State, Stage);
}

void RegisterEvents() {
  static bool done = false;
  if (done) return;
  done = true;
  ::RegisterEvents<TShellListView>({EventEntry("OnURLSelected", &TShellListView::OnURLSelected)});
}

}  // namespace ShellListView
