#pragma once
// What the History menu and the Favorites popup share: one record per listed
// shell item (its lists, whether it is a folder, whether its sub-menu was
// listed), menu items that find their record by Tag, and freeing replaced
// items only once the click that replaced them has returned.
#include "platform/classlib/Menus.h"
#include "platform/shell/ShlObj.h"

#include <functional>
#include <memory>
#include <vector>

namespace ShellMenu {

struct TMenuRec {
  LPITEMIDLIST Relative = nullptr;  // owned
  LPITEMIDLIST Absolute = nullptr;  // owned
  bool IsFolder = false;
  bool Filled = false;
};

// The records of one menu; an item's Tag is its record's index.
class TMenuRecords {
 public:
  TMenuRecords() = default;
  ~TMenuRecords() { Clear(); }
  TMenuRecords(const TMenuRecords&) = delete;
  TMenuRecords& operator=(const TMenuRecords&) = delete;

  // Takes the record; answers its index.
  int Add(std::unique_ptr<TMenuRec> record);
  // Null for an index that is no record.
  TMenuRec* At(int index) const;
  int Count() const { return int(records_.size()); }
  void Clear();

 private:
  std::vector<std::unique_ptr<TMenuRec>> records_;
};

// A record of an item of `folder` (absolute list `folderList`): a copy of
// the relative list and the joined absolute one.
std::unique_ptr<TMenuRec> MakeRecord(PCIDLIST_ABSOLUTE folderList, PCUITEMID_CHILD relative, bool isFolder);

// A new item owned by `owner` for record `tag`; a folder gets one invisible
// child so that it opens as a sub-menu.
TMenuItem* NewRecordItem(TComponent* owner, TImageList* images, const TNotifyEvent& onClick, int tag,
                         const String& caption, int imageIndex, bool isFolder);

// Takes every item out of `root` and frees them once the events being
// handled now (the click that asked for it) have returned.
void RetireItems(TMenuItem* root);

// The disabled " (Empty) " item of an empty folder.
TMenuItem* NewEmptyItem(TComponent* owner);

// Puts one listed level under `parent`: the records in `folder`'s own order,
// each appended to `records` with an item captioned with its display name
// and pictured by `iconOf` (then handed to `adjust`, when given); an empty
// level gets the " (Empty) " item.
void AddLevel(TMenuRecords& records, TMenuItem* parent, IShellFolder* folder,
              std::vector<std::unique_ptr<TMenuRec>> level, TImageList* images, const TNotifyEvent& onClick,
              int (*iconOf)(PCIDLIST_ABSOLUTE),
              const std::function<void(TMenuItem*, const TMenuRec&)>& adjust);

}  // namespace ShellMenu
