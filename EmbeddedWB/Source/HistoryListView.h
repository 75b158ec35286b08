#pragma once
// The shell's History folder, one level at a time, in a list view: the
// periods, then a period's sites, then a site's pages. A double click (or
// Enter) enters a period or a site, or opens a page; Backspace goes back up.
#include "EmbeddedWB/Source/ShellListView.h"

namespace HistoryListView {

class TCustomHistoryListView : public ShellListView::TShellListView {
  Q_OBJECT

 public:
  explicit TCustomHistoryListView(TComponent* AOwner);

  void Loaded() override;
  void DblClick() override;

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;
  SHCONTF EnumFlags() const override { return SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN; }
};

class THistoryListView : public TCustomHistoryListView {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit THistoryListView(TComponent* AOwner) : TCustomHistoryListView(AOwner) {}
};

// The History folder's display name (the registry's class name).
String HistoryCaption();

// Registers the list view with the form streaming.
void initialize();
void finalize();

}  // namespace HistoryListView
