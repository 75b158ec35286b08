// List views: rows in columns over a table model, stored or owner data.
#include "platform/classlib/ComCtrls.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>

#include "platform/classlib/ImgList.h"

// The rows as the view asks for them; every cell goes through the list.
class TListViewModel : public QAbstractTableModel {
 public:
  TListViewModel(TCustomListView* list, QObject* parent) : QAbstractTableModel(parent), list_(list) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() || alive() == nullptr ? 0 : list_->Items()->Count();
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() || alive() == nullptr ? 0 : std::max(1, list_->Columns()->Count());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    TCustomListView* list = alive();
    if (!list || !index.isValid()) return QVariant();
    if (role != Qt::DisplayRole && role != Qt::DecorationRole && role != Qt::ToolTipRole) return QVariant();
    TListItem* item = list->RowForShow(index.row());
    if (!item) return QVariant();
    if (role == Qt::DecorationRole) {
      if (index.column() != 0 || !list->SmallImages() || item->ImageIndex < 0) return QVariant();
      const QImage image = list->SmallImages()->GetImage(item->ImageIndex);
      return image.isNull() ? QVariant() : QVariant(QPixmap::fromImage(image));
    }
    if (index.column() == 0) return item->Caption;
    const int sub = index.column() - 1;
    return sub < item->SubItems.size() ? QVariant(item->SubItems[sub]) : QVariant();
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    TCustomListView* list = alive();
    if (!list || orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    TListColumn* column = list->Columns()->Items(section);
    return column ? QVariant(column->Caption) : QVariant();
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  TCustomListView* alive() const { return list_ && !list_->Destroyed() ? list_.data() : nullptr; }
  QPointer<TCustomListView> list_;
};

// The report view; it hints each screen of rows before painting it and hands
// typed text to the list's search.
class TListViewWidget : public QTreeView {
 public:
  explicit TListViewWidget(TCustomListView* list) : list_(list) {}

  void keyboardSearch(const QString& search) override {
    if (list_ && !list_->Destroyed()) list_->TypedSearch(search);
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (list_ && !list_->Destroyed()) {
      list_->fetched_.reset();
      const int count = list_->Items()->Count();
      if (list_->OwnerData() && count > 0) {
        int first = indexAt(QPoint(0, 0)).row();
        int last = indexAt(QPoint(0, viewport()->height() - 1)).row();
        if (first < 0) first = 0;
        if (last < 0) last = count - 1;
        list_->OwnerDataHint(first, last);
      }
    }
    QTreeView::paintEvent(e);
  }

 private:
  QPointer<TCustomListView> list_;
};

// Columns after the first are drawn with the colour custom drawing leaves
// on the list's canvas.
class TListViewDelegate : public QStyledItemDelegate {
 public:
  TListViewDelegate(TCustomListView* list, QObject* parent) : QStyledItemDelegate(parent), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt(option);
    if (index.column() > 0 && list_ && !list_->Destroyed()) {
      TListItem* item = list_->RowForShow(index.row());
      if (!item) return;
      list_->Canvas()->Font()->SetColor(clWindowText);
      TCustomDrawState state;
      if (opt.state & QStyle::State_Selected) state.Include(cdsSelected);
      if (opt.state & QStyle::State_HasFocus) state.Include(cdsFocused);
      if (!list_->CustomDrawSubItem(item, index.column(), state, cdPrePaint)) return;
      const QColor color = TColorToQColor(list_->Canvas()->Font()->GetColor());
      opt.palette.setColor(QPalette::Text, color);
      opt.palette.setColor(QPalette::HighlightedText, color);
    }
    QStyledItemDelegate::paint(painter, opt, index);
  }

  // Every row has the height of a line of text or of a small picture: rows
  // are measured without being fetched.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    const int icon = list_ && !list_->Destroyed() ? list_->View()->iconSize().height() : 16;
    return QSize(option.rect.width(), std::max(option.fontMetrics.height(), icon) + 4);
  }

 private:
  QPointer<TCustomListView> list_;
};

// ---------------------------------------------------------------- rows

bool TListItem::Selected() const { return owner_->ItemIndex() == index_ && index_ >= 0; }

void TListItem::SetSelected(bool value) {
  if (value)
    owner_->SetItemIndex(index_);
  else if (Selected())
    owner_->SetSelected(nullptr);
}

bool TListItem::Focused() const {
  const QModelIndex current = owner_->View()->currentIndex();
  return current.isValid() && current.row() == index_;
}

void TListItem::SetFocused(bool value) {
  QTreeView* view = owner_->View();
  if (value)
    view->selectionModel()->setCurrentIndex(view->model()->index(index_, 0), QItemSelectionModel::NoUpdate);
  else if (Focused())
    view->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void TListItem::MakeVisible(bool) {
  QTreeView* view = owner_->View();
  view->scrollTo(view->model()->index(index_, 0), QAbstractItemView::EnsureVisible);
}

TRect TListItem::DisplayRect(TDisplayCode Code) const {
  QTreeView* view = owner_->View();
  const QModelIndex index = view->model()->index(index_, 0);
  QRect r = view->visualRect(index);
  if (Code == drBounds) {
    for (int c = 1; c < view->model()->columnCount(); ++c)
      r = r.united(view->visualRect(index.siblingAtColumn(c)));
  } else if (Code == drIcon) {
    r.setWidth(std::min(r.width(), view->iconSize().width() + 4));
  }
  r.translate(view->viewport()->pos());
  return TRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
}

// ---------------------------------------------------------------- columns

TListColumn* TListColumns::Add() {
  columns_.push_back(std::make_unique<TListColumn>());
  Changed();
  return columns_.back().get();
}

TListColumn* TListColumns::Items(int index) const {
  return index >= 0 && index < Count() ? columns_[size_t(index)].get() : nullptr;
}

void TListColumns::Clear() {
  columns_.clear();
  Changed();
}

void TListColumns::Changed() { owner_->UpdateColumns(); }

// ---------------------------------------------------------------- items

int TListItems::Count() const { return owner_->OwnerData() ? count_ : int(stored_.size()); }

void TListItems::SetCount(int value) {
  value = std::max(0, value);
  if (!owner_->OwnerData()) {
    while (int(stored_.size()) > value) stored_.pop_back();
    while (int(stored_.size()) < value) Add();
  }
  count_ = value;
  owner_->CountChanged();
}

TListItem* TListItems::Item(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  if (!owner_->OwnerData()) return stored_[size_t(index)].get();
  // A fresh row each time: its content is whatever the owner says now.
  owner_->fetched_ = std::make_unique<TListItem>(owner_, index);
  owner_->OwnerDataFetch(owner_->fetched_.get(), {irText, irImage});
  return owner_->fetched_.get();
}

TListItem* TListItems::Add() {
  stored_.push_back(std::make_unique<TListItem>(owner_, int(stored_.size())));
  if (!owner_->OwnerData()) owner_->CountChanged();
  return stored_.back().get();
}

void TListItems::Clear() {
  stored_.clear();
  count_ = 0;
  owner_->CountChanged();
}

void TListItems::BeginUpdate() {
  if (updates_++ == 0 && owner_->WidgetAllocated()) owner_->View()->setUpdatesEnabled(false);
}

void TListItems::EndUpdate() {
  if (updates_ == 0 || --updates_ > 0 || !owner_->WidgetAllocated()) return;
  owner_->View()->setUpdatesEnabled(true);
  owner_->View()->viewport()->update();
}

// ---------------------------------------------------------------- the list

TCustomListView::TCustomListView(TComponent* AOwner)
    : TWinControl(AOwner),
      items_(std::make_unique<TListItems>(this)),
      columns_(std::make_unique<TListColumns>(this)),
      canvas_(new TCanvas(this)) {
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 250, 150);
}

TCustomListView::~TCustomListView() { Destroying(); }

QWidget* TCustomListView::CreateWidget() {
  auto* view = new TListViewWidget(this);
  model_ = new TListViewModel(this, view);
  view->setModel(model_);
  view->setItemDelegate(new TListViewDelegate(this, view));
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setIconSize(QSize(16, 16));
  view->header()->setStretchLastSection(false);
  view->setFrameShape(borderStyle_ == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
  QObject::connect(view->header(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    if (TListColumn* column = columns_->Items(section)) column->Width = size;
  });
  return view;
}

QTreeView* TCustomListView::View() const {
  return static_cast<QTreeView*>(const_cast<TCustomListView*>(this)->Widget());
}

TListItem* TCustomListView::RowForShow(int index) {
  if (index < 0 || index >= items_->Count()) return nullptr;
  if (!ownerData_) return items_->Item(index);
  // One paint asks for each cell of a row; the row is fetched once for them.
  if (fetched_ && fetched_->Index() == index) return fetched_.get();
  return items_->Item(index);
}

void TCustomListView::CountChanged() {
  fetched_.reset();
  if (!model_) return;
  model_->Reset();
  UpdateColumns();
}

void TCustomListView::UpdateColumns() {
  if (!model_) return;
  QTreeView* view = View();
  if (view->model()->columnCount() != std::max(1, columns_->Count())) model_->Reset();
  view->header()->setVisible(viewStyle_ == vsReport && showColumnHeaders_);
  view->header()->setSectionsClickable(columnClick_);
  for (int i = 0; i < columns_->Count(); ++i) view->header()->resizeSection(i, columns_->Items(i)->Width);
  if (columns_->Count() == 0) view->header()->setStretchLastSection(true);
}

void TCustomListView::SetOwnerData(bool value) {
  if (ownerData_ == value) return;
  ownerData_ = value;
  items_->stored_.clear();
  items_->count_ = 0;
  CountChanged();
}

void TCustomListView::SetViewStyle(TViewStyle value) {
  viewStyle_ = value;
  UpdateColumns();
}

void TCustomListView::SetShowColumnHeaders(bool value) {
  showColumnHeaders_ = value;
  UpdateColumns();
}

void TCustomListView::SetColumnClick(bool value) {
  columnClick_ = value;
  UpdateColumns();
}

TImageList* TCustomListView::SmallImages() const { return smallImages_; }

void TCustomListView::SetSmallImages(TImageList* value) {
  smallImages_ = value;
  if (WidgetAllocated()) View()->viewport()->update();
}

void TCustomListView::SetBorderStyle(TBorderStyle value) {
  borderStyle_ = value;
  if (WidgetAllocated()) View()->setFrameShape(value == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

int TCustomListView::ItemIndex() const {
  if (!model_) return -1;
  const QModelIndexList rows = View()->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TCustomListView::SetItemIndex(int index) {
  QTreeView* view = View();
  if (index < 0 || index >= items_->Count()) {
    view->selectionModel()->clearSelection();
    return;
  }
  view->selectionModel()->select(view->model()->index(index, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

TListItem* TCustomListView::Selected() { return items_->Item(ItemIndex()); }

void TCustomListView::SetSelected(TListItem* item) { SetItemIndex(item ? item->Index() : -1); }

TListItem* TCustomListView::ItemFocused() {
  const QModelIndex current = View()->currentIndex();
  return current.isValid() ? items_->Item(current.row()) : nullptr;
}

void TCustomListView::SetItemFocused(TListItem* item) {
  if (item)
    item->SetFocused(true);
  else
    View()->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

int TCustomListView::TopIndex() const {
  const int row = View()->indexAt(QPoint(0, 0)).row();
  return std::max(row, 0);
}

int TCustomListView::VisibleRowCount() const {
  QTreeView* view = View();
  const int height = std::max(1, view->sizeHintForRow(0));
  return std::max(1, view->viewport()->height() / height);
}

void TCustomListView::TypedSearch(const String& text) {
  const int count = items_->Count();
  if (text.isEmpty() || count == 0) return;
  // Keys typed in quick succession extend the text; the search then starts
  // at the focused row, else just after it.
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const bool continued = !search_.isEmpty() && now - lastSearchKey_ < QApplication::keyboardInputInterval();
  lastSearchKey_ = now;
  search_ = continued ? search_ + text : text;
  const QModelIndex current = View()->currentIndex();
  const int focused = current.isValid() ? current.row() : -1;
  int start = continued ? std::max(focused, 0) : focused + 1;
  if (start >= count) start = 0;
  int found = -1;
  if (ownerData_) {
    found = OwnerDataFind(ifPartialString, search_, TPoint(), nullptr, start, sdAll, true);
  } else {
    for (int n = 0; n < count && found < 0; ++n) {
      const int i = (start + n) % count;
      if (items_->stored_[size_t(i)]->Caption.startsWith(search_, Qt::CaseInsensitive)) found = i;
    }
  }
  if (found < 0 || found >= count) return;
  QTreeView* view = View();
  view->selectionModel()->setCurrentIndex(view->model()->index(found, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->scrollTo(view->model()->index(found, 0));
}

void TCustomListView::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case LVM_SETIMAGELIST: {
      if (Message.WParam != LVSIL_SMALL) {
        Message.Result = 0;
        return;
      }
      Message.Result = smallImages_ ? reinterpret_cast<LRESULT>(smallImages_->Handle()) : 0;
      SetSmallImages(reinterpret_cast<TImageList*>(Message.LParam));
      return;
    }
    case WM_CONTEXTMENU: WMContextMenu(Message); return;
    default: TWinControl::WndProc(Message); return;
  }
}

void TCustomListView::WMContextMenu(TMessage& Message) { TWinControl::WndProc(Message); }

bool TCustomListView::OwnerDataFetch(TListItem* Item, TItemRequest) {
  if (!OnData) return false;
  OnData(this, Item);
  return true;
}

int TCustomListView::OwnerDataFind(TItemFind, const String&, const TPoint&, void*, int, TSearchDirection,
                                   bool) {
  return -1;
}

bool TCustomListView::OwnerDataHint(int StartIndex, int EndIndex) {
  if (OnDataHint) OnDataHint(this, StartIndex, EndIndex);
  return true;
}

bool TCustomListView::CustomDrawSubItem(TListItem*, int, TCustomDrawState, TCustomDrawStage) { return true; }
