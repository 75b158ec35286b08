#pragma once
// What the favorites and history list tests do with a list: make it on the
// shown form, read its rows, open a row as a double click does, press a key.
#include "EmbeddedWB/Source/ShellListView.h"
#include "platform/winapi/Messages.h"

#include <QStringList>

namespace shelllisttest {

// A list of 100 x 300 on `form`, loaded as a form resource leaves it.
template <class List>
List* makeList(TComponent* form) {
  auto* list = new List(form);
  list->SetBounds(400, 0, 100, 300);
  list->SetParent(static_cast<TWinControl*>(form));
  list->Loaded();
  return list;
}

inline QStringList captions(TCustomListView* list) {
  QStringList out;
  for (int i = 0; i < list->Items()->Count(); ++i) out << list->Items()->Item(i)->Caption;
  return out;
}

// Selects the row of that caption and double-clicks.
inline void open(ShellListView::TShellListView* list, const QString& caption) {
  for (int i = 0; i < list->Items()->Count(); ++i)
    if (list->RowCaption(i) == caption) list->SetItemIndex(i);
  list->DblClick();
}

inline void key(TWinControl* list, WORD vk) { list->Perform(WM_KEYDOWN, vk, 0); }

}  // namespace shelllisttest
