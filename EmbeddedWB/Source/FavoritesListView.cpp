#include "EmbeddedWB/Source/FavoritesListView.h"

#include "EmbeddedWB/Source/MenuContext.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/shdocvw/OleCtrls.h"
#include "platform/winapi/Messages.h"

namespace FavoritesListView {

using namespace EwbTools;

namespace {

// Every constructor reads them again; all list views compare with the last.
String channelShortcutType;
String internetShortcutType;

int unitStarts = 0;

LPITEMIDLIST favoritesList() {
  LPITEMIDLIST list = nullptr;
  OleCheck(SHGetSpecialFolderLocation(Application ? Application->Handle() : nullptr, CSIDL_FAVORITES, &list));
  return list;
}

}  // namespace

TCustomFavoritesListView::TCustomFavoritesListView(TComponent* AOwner) : TShellListView(AOwner) {
  ReadShortcutTypeNames(channelShortcutType, internetShortcutType);
  SHGetDesktopFolder(&desktop_);
  SHGetSpecialFolderLocation(Application ? Application->Handle() : nullptr, CSIDL_FAVORITES, &favorites_);
  String name;
  if (desktop_ && favorites_) {
    STRRET parsing;
    if (SUCCEEDED(desktop_->GetDisplayNameOf(favorites_, SHGDN_FORPARSING, &parsing)))
      name = FolderNameOf(StrRetText(parsing, ILFindLastID(favorites_)));
  }
  TListColumn* column = Columns()->Add();
  column->Caption = name;
  column->Width = Width() - 4;
  Columns()->Changed();
}

TCustomFavoritesListView::~TCustomFavoritesListView() {
  Destroying();
  PidlFree(favorites_);
}

String TCustomFavoritesListView::ChannelShortcutType() { return channelShortcutType; }
String TCustomFavoritesListView::InternetShortcutType() { return internetShortcutType; }

void TCustomFavoritesListView::Loaded() {
  TShellListView::Loaded();
  LPITEMIDLIST list = favoritesList();
  PidlFree(favorites_);
  favorites_ = list;
  desktop_ = nullptr;
  OleCheck(SHGetDesktopFolder(&desktop_));
  SetSystemImages(favorites_);
  StartAt(PidlCopy(favorites_));
}

bool TCustomFavoritesListView::SkipItem(IShellFolder* folder, PCUITEMID_CHILD item) {
  return !channels_ && HasShellTypeName(channelShortcutType, folder, item);
}

void TCustomFavoritesListView::DblClick() {
  TShellListView::DblClick();
  TItem* item = SelectedItem();
  if (!item) return;
  if (IsBrowsableFolder(channelShortcutType, CurrentFolder(), item->Relative)) {
    EnterSelected();
    return;
  }
  LPITEMIDLIST absolute = PidlConcat(CurrentList(), item->Relative);
  String url;
  try {
    url = FavoriteItemUrl(CurrentFolder(), item->Relative, absolute, resolveUrl_, channelShortcutType,
                          internetShortcutType);
  } catch (...) {
    PidlFree(absolute);
    throw;
  }
  PidlFree(absolute);
  UrlChosen(url);
}

void TCustomFavoritesListView::KeyDown(Word& Key, TShiftState Shift) {
  TShellListView::KeyDown(Key, Shift);
  switch (Key) {
    case VK_BACK:
    case VK_ESCAPE:
    case VK_HOME: GoUp(); break;
    case VK_RETURN: DblClick(); break;
    default: break;
  }
}

void TCustomFavoritesListView::WMContextMenu(TMessage& Message) {
  const int x = GET_X_LPARAM(Message.LParam), y = GET_Y_LPARAM(Message.LParam);
  TItem* target = SelectedItem();
  const int targetIndex = ItemIndex();
  TPoint point(x, y);
  if (Message.LParam == LPARAM(-1) || (x == -1 && y == -1)) {
    // From the keyboard: the middle of the selected row.
    if (!target) return;
    const TRect r = Items()->Item(targetIndex)->DisplayRect(drSelectBounds);
    point = ClientToScreen(TPoint(r.Left + (r.Right - r.Left) / 2, r.Top + (r.Bottom - r.Top) / 2));
  }
  Message.Result = 0;
  if (popupMenuMode_ == pmm_PopupMenu) {
    if (TPopupMenu* menu = PopupMenu()) {
      menu->SetPopupComponent(this);
      menu->Popup(point.X, point.Y);
    }
    return;
  }
  if (!target || !CurrentFolder()) return;
  PCUITEMID_CHILD items[] = {target->Relative};
  MenuContext::DisplayContextMenu(CurrentFolder(), items, 1, POINT{point.X, point.Y},
                                  Application ? Application->Handle() : nullptr);
  // A deleted or renamed favorite must not stay listed.
  const String caption = RowCaption(targetIndex);
  try {
    Refresh();
  } catch (const Exception&) {
    return;  // the folder itself went away
  }
  for (int i = 0; i < Items()->Count(); ++i)
    if (RowCaption(i) == caption) {
      SetItemIndex(i);
      break;
    }
}

void initialize() {
  if (unitStarts++ > 0) return;
  RegisterClass<TFavoritesListView>();
  ShellListView::RegisterEvents();
  MenuContext::initialize();
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
  MenuContext::finalize();
  channelShortcutType.clear();
  internetShortcutType.clear();
}

}  // namespace FavoritesListView
