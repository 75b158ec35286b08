#include "platform/classlib/CheckLst.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace {

Qt::CheckState ToQt(TCheckBoxState s) {
  return s == cbChecked ? Qt::Checked : s == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked;
}

TCheckBoxState FromQt(const QVariant& v) {
  const int s = v.toInt();
  return s == Qt::Checked ? cbChecked : s == Qt::PartiallyChecked ? cbGrayed : cbUnchecked;
}

}  // namespace

TCheckListBox::TCheckListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}

void TCheckListBox::InitItem(QListWidgetItem* item) {
  // The control toggles the marks itself, so the view does not.
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  item->setData(Qt::CheckStateRole, Qt::Unchecked);
}

TCheckBoxState TCheckListBox::State(int index) const {
  if (index < 0 || index >= Count()) return cbUnchecked;
  return FromQt(ListWidget()->item(index)->data(Qt::CheckStateRole));
}

void TCheckListBox::SetState(int index, TCheckBoxState value) {
  Items()->Get(index);  // range check
  ListWidget()->item(index)->setData(Qt::CheckStateRole, ToQt(value));
}

bool TCheckListBox::ItemEnabled(int index) const {
  if (index < 0 || index >= Count()) return false;
  return ListWidget()->item(index)->flags().testFlag(Qt::ItemIsEnabled);
}

void TCheckListBox::SetItemEnabled(int index, bool value) {
  Items()->Get(index);
  QListWidgetItem* item = ListWidget()->item(index);
  item->setFlags(value ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags);
}

int TCheckListBox::ItemIndent() const {
  const QStyle* style = ListWidget()->style();
  return style->pixelMetric(QStyle::PM_IndicatorWidth) +
         2 * style->pixelMetric(QStyle::PM_FocusFrameHMargin) + 2;
}

void TCheckListBox::PaintItem(QPainter* painter, const QStyleOptionViewItem& option, int index) {
  // The check box on the left, then the item as the owner draws it.
  QStyleOptionViewItem check = option;
  const int indent = ItemIndent();
  const QStyle* style = ListWidget()->style();
  const int w = style->pixelMetric(QStyle::PM_IndicatorWidth);
  const int h = style->pixelMetric(QStyle::PM_IndicatorHeight);
  check.rect =
      QRect(option.rect.left() + (indent - w) / 2, option.rect.top() + (option.rect.height() - h) / 2, w, h);
  check.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
  switch (State(index)) {
    case cbChecked: check.state |= QStyle::State_On; break;
    case cbGrayed: check.state |= QStyle::State_NoChange; break;
    case cbUnchecked: check.state |= QStyle::State_Off; break;
  }
  painter->fillRect(QRect(option.rect.left(), option.rect.top(), indent, option.rect.height()),
                    option.palette.base());
  style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, ListWidget());
  TCustomListBox::PaintItem(painter, option, index);
}

bool TCheckListBox::eventFilter(QObject* watched, QEvent* e) {
  if (Destroyed() || !WidgetAllocated()) return false;
  if (TCustomListBox::eventFilter(watched, e)) return true;
  QListWidget* list = ListWidget();
  if (watched == list->viewport() && e->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(e);
    if (mouse->button() != Qt::LeftButton) return false;
    const QPoint pos = mouse->position().toPoint();
    const QModelIndex index = list->indexAt(pos);
    if (!index.isValid()) return false;
    const QRect rect = list->visualRect(index);
    if (pos.x() < rect.left() + ItemIndent() && ItemEnabled(index.row())) Toggle(index.row());
    return false;  // the press goes on to select the item
  }
  if (watched == list && e->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      const int index = ItemIndex();
      if (index >= 0 && ItemEnabled(index)) {
        QPointer<TCheckListBox> self(this);
        Toggle(index);
        if (self) Click();  // no button is released to report it
      }
      return true;
    }
  }
  return false;
}

void TCheckListBox::Toggle(int index) {
  TCheckBoxState next = cbChecked;
  switch (State(index)) {
    case cbUnchecked: next = allowGrayed_ ? cbGrayed : cbChecked; break;
    case cbChecked: next = cbUnchecked; break;
    case cbGrayed: next = cbChecked; break;
  }
  SetState(index, next);
  ClickCheck();
}

void TCheckListBox::ClickCheck() {
  if (OnClickCheck) OnClickCheck(this);
}

void InitializeCheckLst() {
  static bool done = false;
  if (done) return;
  done = true;
  InitializeStdCtrls();
  RegisterClass<TCheckListBox>();
  RegisterEvents<TCheckListBox>({EventEntry("OnClickCheck", &TCheckListBox::OnClickCheck)});
}
