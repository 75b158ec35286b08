// The main window's favorites and history lists.
#include "app/Menu.h"

namespace Menu {

String TMyMenuForm::SelectedFavoriteCaption() const {
  if (!FavoritesList) return String();
  return FavoritesList->RowCaption(FavoritesList->ItemIndex());
}

}  // namespace Menu
