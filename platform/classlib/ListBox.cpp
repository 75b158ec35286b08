#include "platform/classlib/StdCtrls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "platform/classlib/Forms.h"

#include "platform/classlib/StdCtrls_p.h"

using namespace stdctrls_p;

// ---------------------------------------------------------------- list boxes

// Draws the items of owner-drawn lists through their control.
class TListItemDelegate : public QStyledItemDelegate {
 public:
  TListItemDelegate(TCustomListBox* list, QObject* parent) : QStyledItemDelegate(parent), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!list_ || list_->Destroyed()) return;
    list_->PaintItem(painter, option, index.row());
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!list_ || list_->Destroyed()) return QStyledItemDelegate::sizeHint(option, index);
    int height = list_->itemHeight_;
    if (list_->style_ == lbOwnerDrawVariable) list_->MeasureItem(index.row(), height);
    return QSize(option.rect.width(), std::max(height, 1));
  }

 private:
  QPointer<TCustomListBox> list_;
};

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), items_(new TItemStrings(this)), canvas_(new TCanvas(this)) {
  SetTabStop(true);
  SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() {
  Destroying();
  delete items_;
  items_ = nullptr;
}

QWidget* TCustomListBox::CreateWidget() {
  auto* list = new QListWidget;
  QObject::connect(list, &QListWidget::itemSelectionChanged, this, [this] {
    if (!Destroyed()) SelectionMoved();
  });
  list->installEventFilter(this);
  list->viewport()->installEventFilter(this);
  // Items added before the widget existed.
  for (int i = 0; i < items_->Count(); ++i) {
    auto* item = new QListWidgetItem(items_->Get(i));
    InitItem(item);
    list->addItem(item);
  }
  ApplyStyle(list);
  return list;
}

QListWidget* TCustomListBox::ListWidget() const {
  return qobject_cast<QListWidget*>(const_cast<TCustomListBox*>(this)->Widget());
}

void TCustomListBox::ApplyStyle(QListWidget* list) {
  list->setFrameShape(borderStyle_ == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
  list->setSelectionMode(!multiSelect_     ? QAbstractItemView::SingleSelection
                         : extendedSelect_ ? QAbstractItemView::ExtendedSelection
                                           : QAbstractItemView::MultiSelection);
  // Items span the list's width, also after it changes size.
  list->setResizeMode(QListView::Adjust);
  QAbstractItemDelegate* old = list->itemDelegate();
  if (OwnerDraw()) {
    if (!dynamic_cast<TListItemDelegate*>(old)) list->setItemDelegate(new TListItemDelegate(this, list));
    list->setUniformItemSizes(style_ == lbOwnerDrawFixed);
  } else if (dynamic_cast<TListItemDelegate*>(old)) {
    list->setItemDelegate(new QStyledItemDelegate(list));
    list->setUniformItemSizes(false);
  }
  if (old != list->itemDelegate() && old && old->parent() == list) old->deleteLater();
  list->doItemsLayout();
}

void TCustomListBox::InitItem(QListWidgetItem*) {}

void TCustomListBox::SelectionMoved() {
  // The user moved the selection with the keyboard: as a click. Mouse
  // clicks are reported when the button is released.
  if (settingItems_ > 0 || Loading() || mousePressed_) return;
  Click();
}

bool TCustomListBox::eventFilter(QObject* watched, QEvent* e) {
  // Selections made with the mouse are reported when the button goes up.
  if (!Destroyed() && WidgetAllocated() && (watched == ListWidget()->viewport() || watched == ListWidget())) {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick: mousePressed_ = true; break;
      case QEvent::MouseButtonRelease: mousePressed_ = false; break;
      default: break;
    }
  }
  return TWinControl::eventFilter(watched, e);
}

void TCustomListBox::SetBorderStyle(TBorderStyle value) {
  borderStyle_ = value;
  ApplyStyle(ListWidget());
}

void TCustomListBox::SetExtendedSelect(bool value) {
  extendedSelect_ = value;
  ApplyStyle(ListWidget());
}

void TCustomListBox::SetItemHeight(int value) {
  if (value <= 0 || value == itemHeight_) return;
  itemHeight_ = value;
  ApplyStyle(ListWidget());
}

void TCustomListBox::SetMultiSelect(bool value) {
  multiSelect_ = value;
  ApplyStyle(ListWidget());
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
  style_ = value;
  ApplyStyle(ListWidget());
}

void TCustomListBox::SetSorted(bool value) { items_->SetSorted(value); }

int TCustomListBox::ItemIndex() const {
  const QListWidget* list = ListWidget();
  if (multiSelect_) return list->currentRow();
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

void TCustomListBox::SetItemIndex(int value) {
  QListWidget* list = ListWidget();
  CountScope scope(settingItems_);
  if (value < 0 || value >= list->count()) {
    if (!multiSelect_) list->clearSelection();
    list->setCurrentRow(-1);
    return;
  }
  {
    // The view would lay out every line to repaint the selection and to
    // scroll to it, after each line added: it repaints and scrolls once,
    // from the event loop. A selection made here is no user's move.
    const QSignalBlocker quiet(list->selectionModel());
    if (multiSelect_)
      list->setCurrentRow(value, QItemSelectionModel::NoUpdate);
    else
      list->setCurrentRow(value);
  }
  if (pendingScroll_ < 0) QTimer::singleShot(0, this, [this] { ScrollToSelection(); });
  pendingScroll_ = value;
}

void TCustomListBox::ScrollToSelection() {
  const int row = std::exchange(pendingScroll_, -1);
  if (row < 0 || Destroyed() || !WidgetAllocated()) return;
  QListWidget* list = ListWidget();
  list->viewport()->update();
  if (row < list->count()) list->scrollToItem(list->item(row));
}

bool TCustomListBox::Selected(int index) const {
  items_->Get(index);  // range check
  return ListWidget()->item(index)->isSelected();
}

void TCustomListBox::SetSelected(int index, bool value) {
  items_->Get(index);
  QListWidget* list = ListWidget();
  CountScope scope(settingItems_);
  if (!multiSelect_) {
    SetItemIndex(value ? index : -1);
    return;
  }
  list->item(index)->setSelected(value);
}

int TCustomListBox::SelCount() const { return multiSelect_ ? int(ListWidget()->selectedItems().size()) : -1; }

int TCustomListBox::TopIndex() const {
  // A scroll still due counts as done.
  const_cast<TCustomListBox*>(this)->ScrollToSelection();
  const QListWidget* list = ListWidget();
  const QModelIndex top = list->indexAt(QPoint(1, 1));
  return top.isValid() ? top.row() : 0;
}

void TCustomListBox::SetTopIndex(int value) {
  pendingScroll_ = -1;  // the later wish wins
  QListWidget* list = ListWidget();
  if (value < 0 || value >= list->count()) return;
  list->scrollToItem(list->item(value), QAbstractItemView::PositionAtTop);
}

int TCustomListBox::ItemAtPos(const TPoint& pos, bool existing) const {
  const QModelIndex index = ListWidget()->indexAt(pos.ToQPoint());
  if (index.isValid()) return index.row();
  return existing ? -1 : Count();
}

TRect TCustomListBox::ItemRect(int index) const {
  const QListWidget* list = ListWidget();
  if (index < 0 || index >= list->count()) return TRect();
  return TRect::FromQRect(list->visualItemRect(list->item(index)));
}

void TCustomListBox::Clear() { items_->Clear(); }

void TCustomListBox::ClearSelection() {
  CountScope scope(settingItems_);
  ListWidget()->clearSelection();
}

void TCustomListBox::SelectAll() {
  if (!multiSelect_) return;
  CountScope scope(settingItems_);
  ListWidget()->selectAll();
}

void TCustomListBox::PaintItem(QPainter* painter, const QStyleOptionViewItem& option, int index) {
  TOwnerDrawState state;
  if (option.state & QStyle::State_Selected) state += odSelected;
  if (option.state & QStyle::State_HasFocus) state += odFocused;
  if (!(option.state & QStyle::State_Enabled)) state += odDisabled;
  TRect rect = TRect::FromQRect(option.rect);
  rect.Left += ItemIndent();
  painter->save();
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetStyle(bsSolid);
  canvas_->Brush()->SetColor(state.Contains(odSelected) ? clHighlight : Color());
  if (state.Contains(odSelected)) canvas_->Font()->SetColor(clHighlightText);
  canvas_->SetPainter(painter);
  const auto release = qScopeGuard([&] {
    canvas_->SetPainter(nullptr);
    painter->restore();
  });
  DrawItem(index, rect, state);
}

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  if (OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  canvas_->FillRect(Rect);
  if (Index >= 0 && Index < items_->Count()) canvas_->TextOut(Rect.Left + 2, Rect.Top, items_->Get(Index));
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TCustomListBox::ItemInserted(int index, const String& s) {
  if (!WidgetAllocated()) return;  // the widget takes the items when it is made
  CountScope scope(settingItems_);
  auto* item = new QListWidgetItem(s);
  InitItem(item);
  ListWidget()->insertItem(index, item);
}

void TCustomListBox::ItemDeleted(int index) {
  if (!WidgetAllocated()) return;
  CountScope scope(settingItems_);
  delete ListWidget()->takeItem(index);
}

void TCustomListBox::ItemChanged(int index, const String& s) {
  if (!WidgetAllocated()) return;
  CountScope scope(settingItems_);
  ListWidget()->item(index)->setText(s);
}

void TCustomListBox::ItemsCleared() {
  if (!WidgetAllocated()) return;
  CountScope scope(settingItems_);
  ListWidget()->clear();
}

void TCustomListBox::ItemsReset() {
  if (!WidgetAllocated()) return;
  QListWidget* list = ListWidget();
  CountScope scope(settingItems_);
  bool same = list->count() == items_->Count();
  for (int i = 0; same && i < list->count(); ++i) same = list->item(i)->text() == items_->Get(i);
  if (same) return;
  // Items keep their check marks and flags by text (in order among equals).
  QMultiHash<String, QListWidgetItem*> old;
  for (int i = list->count() - 1; i >= 0; --i) {
    QListWidgetItem* item = list->takeItem(i);
    old.insert(item->text(), item);
  }
  for (int i = 0; i < items_->Count(); ++i) {
    const String s = items_->Get(i);
    QListWidgetItem* item = nullptr;
    // QMultiHash::find answers the most recently inserted value, which is the
    // first of the old items of that text.
    auto it = old.find(s);
    if (it != old.end()) {
      item = it.value();
      old.erase(it);
    } else {
      item = new QListWidgetItem(s);
      InitItem(item);
    }
    list->addItem(item);
  }
  qDeleteAll(old);
}
