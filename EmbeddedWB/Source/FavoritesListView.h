#pragma once
// The user's Favorites, one level at a time, in a list view: a double click
// (or Enter) enters a folder or opens a shortcut's page; Backspace, Escape and
// Home go back up; the right button or the menu key shows the shell's own
// menu of the selected favorite, or the control's PopupMenu.
#include "EmbeddedWB/Source/ShellListView.h"

namespace FavoritesListView {
Q_NAMESPACE

enum TPopupMenuMode { pmm_System, pmm_PopupMenu };
Q_ENUM_NS(TPopupMenuMode)

class TCustomFavoritesListView : public ShellListView::TShellListView {
  Q_OBJECT
  Q_PROPERTY(EwbTools::TResolveUrl ResolveUrl READ ResolveUrl WRITE SetResolveUrl STORED true)
  Q_PROPERTY(bool Channels READ Channels WRITE SetChannels STORED true)
  Q_PROPERTY(
      FavoritesListView::TPopupMenuMode PopupMenuMode READ PopupMenuMode WRITE SetPopupMenuMode STORED true)

 public:
  explicit TCustomFavoritesListView(TComponent* AOwner);
  ~TCustomFavoritesListView() override;

  EwbTools::TResolveUrl ResolveUrl() const { return resolveUrl_; }
  void SetResolveUrl(EwbTools::TResolveUrl value) { resolveUrl_ = value; }
  bool Channels() const { return channels_; }
  void SetChannels(bool value) { channels_ = value; }
  TPopupMenuMode PopupMenuMode() const { return popupMenuMode_; }
  void SetPopupMenuMode(TPopupMenuMode value) { popupMenuMode_ = value; }

  // The type names every list view of the process compares with (the last
  // constructor read them).
  static String ChannelShortcutType();
  static String InternetShortcutType();

  void Loaded() override;
  void DblClick() override;

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;
  void WMContextMenu(TMessage& Message) override;
  SHCONTF EnumFlags() const override { return SHCONTF_FOLDERS | SHCONTF_NONFOLDERS; }
  bool SkipItem(IShellFolder* folder, PCUITEMID_CHILD item) override;
  int IconIndexOf(PCIDLIST_ABSOLUTE absolute) override { return EwbTools::FavoriteIconIndex(absolute); }

 private:
  LPITEMIDLIST favorites_ = nullptr;
  EwbTools::TResolveUrl resolveUrl_ = EwbTools::IntShCut;
  bool channels_ = false;
  TPopupMenuMode popupMenuMode_ = pmm_System;
};

class TFavoritesListView : public TCustomFavoritesListView {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TFavoritesListView(TComponent* AOwner) : TCustomFavoritesListView(AOwner) {}
};

// Registers the list view and its events with the form streaming.
void initialize();
void finalize();

}  // namespace FavoritesListView
