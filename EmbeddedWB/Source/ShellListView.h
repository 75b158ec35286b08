#pragma once
// What the favorites and history list views share: a list of owner data that
// shows one level of a shell folder in one report column, sorted in the
// folder's own order, icons computed only for the rows shown; entering a
// folder, going up (never above the level it started at, beeping there),
// typed search and handing a chosen address on.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/ComCtrls.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace ShellListView {

using EmbeddedWB::TEmbeddedWB;
using EwbTools::TOnUrlSelectedEvent;

class TShellListView : public TCustomListView {
  Q_OBJECT
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)

 public:
  explicit TShellListView(TComponent* AOwner);
  ~TShellListView() override;

  ::EmbeddedWB::TEmbeddedWB* EmbeddedWB() const { return browser_; }
  void SetEmbeddedWB(::EmbeddedWB::TEmbeddedWB* value);
  // Receives the address of an opened page (Sender = the list); when it is
  // assigned the browser is not navigated.
  TOnUrlSelectedEvent OnURLSelected;

  // How many levels below its start the view stands.
  int Depth() const { return depth_; }
  // The folder shown and its absolute list.
  IShellFolder* CurrentFolder() const { return currentFolder_.Get(); }
  PCIDLIST_ABSOLUTE CurrentList() const { return current_; }
  // The caption of a row (empty out of range).
  String RowCaption(int index) const;
  // The file-system path of the folder shown and of a row (empty out of
  // range or for an item without one).
  String CurrentPath() const;
  String RowPath(int index) const;

  // Fills the folder shown again.
  void Refresh();

 protected:
  struct TItem {
    LPITEMIDLIST Absolute = nullptr;  // made when the row is first hinted
    LPITEMIDLIST Relative = nullptr;
    bool Pending = true;
    String Caption;
    int ImageIndex = -1;
  };

  // The rows of a folder above the one shown, kept from the way down, and
  // what the folder listed then.
  struct TLevel {
    std::vector<QByteArray> Listed;
    std::vector<std::unique_ptr<TItem>> Items;
  };

  // Shows the folder of the absolute list `list` (the view takes it). A
  // folder that cannot be bound or listed raises the shell's error. When the
  // folder lists exactly what `kept` says it listed, the kept rows show
  // again (their names, order and icons) instead of being made anew.
  void FillFolder(LPITEMIDLIST list, TLevel* kept = nullptr);
  // Starts at `root` (the view takes it): while the form loads, a folder that
  // cannot be listed leaves the view empty instead of stopping the load.
  void StartAt(LPITEMIDLIST root);
  // One level up, or a beep at the start level.
  void GoUp();
  // Enters the selected row's folder.
  void EnterSelected();
  // The selected row; null for none.
  TItem* SelectedItem();
  // Hands an address to OnURLSelected or, when that is not assigned, to the
  // browser (an empty address navigates nothing).
  void UrlChosen(const String& url);
  void SetSystemImages(PCIDLIST_ABSOLUTE list);

  // How the folders are listed and which items stay out.
  virtual SHCONTF EnumFlags() const = 0;
  virtual bool SkipItem(IShellFolder*, PCUITEMID_CHILD) { return false; }
  virtual int IconIndexOf(PCIDLIST_ABSOLUTE absolute) { return EwbTools::GetSysImageIndex(absolute); }

  bool OwnerDataFetch(TListItem* Item, TItemRequest Request) override;
  int OwnerDataFind(TItemFind Find, const String& FindString, const TPoint& FindPosition, void* FindData,
                    int StartIndex, TSearchDirection Direction, bool Wrap) override;
  bool OwnerDataHint(int StartIndex, int EndIndex) override;
  bool CustomDrawSubItem(TListItem* Item, int SubItem, TCustomDrawState State,
                         TCustomDrawStage Stage) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  ComPtr<IShellFolder> desktop_;

 private:
  void ClearItems();
  void ClearLevels();
  static void FreeItems(std::vector<std::unique_ptr<TItem>>& items);
  void Hint(TItem& item);

  ::EmbeddedWB::TEmbeddedWB* browser_ = nullptr;
  LPITEMIDLIST current_ = nullptr;
  ComPtr<IShellFolder> currentFolder_;
  std::vector<std::unique_ptr<TItem>> items_;
  // What the folder shown listed, and the levels above it, outermost first.
  std::vector<QByteArray> listed_;
  std::vector<TLevel> levels_;
  int depth_ = 0;
};

// Registers the lists' own events with the form streaming (once).
void RegisterEvents();

}  // namespace ShellListView
