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
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

#include "platform/classlib/Forms.h"

#include "platform/classlib/StdCtrls_p.h"

using namespace stdctrls_p;

namespace {

QColor PenColor(TColor color) {
  const QColor c = TColorToQColor(color);
  return c.isValid() ? c : QColor(Qt::black);
}

}  // namespace

// ---------------------------------------------------------------- TItemStrings

TItemStrings::TItemStrings(Sink* sink) : sink_(sink) { Duplicates = dupAccept; }

int TItemStrings::Add(const String& s) {
  if (!GetSorted()) return TStringList::Add(s);  // goes through Insert
  const int before = Count();
  int index;
  {
    CountScope scope(handling_);
    index = TStringList::Add(s);
  }
  if (Count() > before) {
    sink_->ItemInserted(index, s);
    TStringList::Changed();
  }
  return index;
}

void TItemStrings::Insert(int index, const String& s) {
  {
    CountScope scope(handling_);
    TStringList::Insert(index, s);
  }
  sink_->ItemInserted(index, s);
  TStringList::Changed();
}

void TItemStrings::Put(int index, const String& s) {
  {
    CountScope scope(handling_);
    TStringList::Put(index, s);
  }
  sink_->ItemChanged(index, s);
  TStringList::Changed();
}

void TItemStrings::Delete(int index) {
  {
    CountScope scope(handling_);
    TStringList::Delete(index);
  }
  sink_->ItemDeleted(index);
  TStringList::Changed();
}

void TItemStrings::Clear() {
  if (Count() == 0) return;
  {
    CountScope scope(handling_);
    TStringList::Clear();
  }
  sink_->ItemsCleared();
  TStringList::Changed();
}

void TItemStrings::Changed() {
  // The single operations above tell the owner themselves, then report the
  // change; anything else (sorting, moving, exchanging) resets the owner.
  if (handling_) return;
  sink_->ItemsReset();
  TStringList::Changed();
}

// ---------------------------------------------------------------- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetParentColor(true);
  SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool value) {
  if (autoSize_ == value) return;
  autoSize_ = value;
  AdjustBounds();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
  if (focusControl_ == value) return;
  if (focusControl_) RemoveFreeNotification(focusControl_);
  focusControl_ = value;
  if (value) FreeNotification(value);
}

void TCustomLabel::SetLayout(TTextLayout value) {
  if (layout_ == value) return;
  layout_ = value;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
  if (showAccelChar_ == value) return;
  showAccelChar_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
  if (wordWrap_ == value) return;
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::Dispatch(TMessage& m) {
  TGraphicControl::Dispatch(m);
  if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) {
    AdjustBounds();
    Invalidate();
  }
}

int TCustomLabel::TextFlags() const {
  int flags = showAccelChar_ ? Qt::TextShowMnemonic : 0;
  if (wordWrap_) flags |= Qt::TextWordWrap;
  switch (alignment_) {
    case taLeftJustify: flags |= Qt::AlignLeft; break;
    case taRightJustify: flags |= Qt::AlignRight; break;
    case taCenter: flags |= Qt::AlignHCenter; break;
  }
  switch (layout_) {
    case tlTop: flags |= Qt::AlignTop; break;
    case tlCenter: flags |= Qt::AlignVCenter; break;
    case tlBottom: flags |= Qt::AlignBottom; break;
  }
  return flags;
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || Loading() || Destroyed()) return;
  String text = ToQtLines(Caption());
  if (text.isEmpty()) text = QStringLiteral(" ");
  const QFontMetrics fm(Font()->ToQFont());
  const int flags = (showAccelChar_ ? Qt::TextShowMnemonic : 0) | (wordWrap_ ? Qt::TextWordWrap : 0);
  const QRect r =
      fm.boundingRect(QRect(0, 0, wordWrap_ ? std::max(Width(), 1) : 0x7FFFFF, 0x7FFFFF), flags, text);
  const int w = wordWrap_ ? Width() : r.width();
  int left = Left();
  if (alignment_ == taRightJustify && !wordWrap_) left += Width() - w;
  SetBounds(left, Top(), w, r.height());
}

void TCustomLabel::Paint() {
  TCanvas* canvas = Canvas();
  const TRect rect = ClientRect();
  if (!transparent_) {
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(rect);
  }
  QPainter* p = canvas->GetHandle();
  if (!p) return;
  p->save();
  p->setFont(Font()->ToQFont());
  p->setPen(PenColor(Enabled() ? Font()->GetColor() : clGrayText));
  p->drawText(rect.ToQRect(), TextFlags(), ToQtLines(Caption()));
  p->restore();
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() - csClickEvents - csDoubleClicks);
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

QWidget* TButton::CreateWidget() {
  auto* button = new QPushButton(TWinControl::GetText());
  button->setAutoDefault(false);
  button->setDefault(default_);
  QObject::connect(button, &QPushButton::clicked, this, [this] {
    if (!Destroyed()) Click();
  });
  return button;
}

void TButton::SetText(const String& value) {
  TWinControl::SetText(value);
  if (auto* button = qobject_cast<QPushButton*>(Widget())) button->setText(value);
}

void TButton::SetDefault(bool value) {
  default_ = value;
  if (auto* button = qobject_cast<QPushButton*>(Widget())) button->setDefault(value);
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

void TButton::Dispatch(TMessage& m) {
  if (m.Msg == CM_DIALOGKEY && Visible() && Enabled()) {
    if ((m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_)) {
      Click();
      m.Result = 1;
      return;
    }
  }
  TWinControl::Dispatch(m);
}

// ---------------------------------------------------------------- TCheckBox

namespace {

Qt::CheckState ToQtState(TCheckBoxState s) {
  return s == cbChecked ? Qt::Checked : s == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked;
}

TCheckBoxState FromQtState(int s) {
  return s == Qt::Checked ? cbChecked : s == Qt::PartiallyChecked ? cbGrayed : cbUnchecked;
}

}  // namespace

namespace {

// A check box that steps through its states in the platform's order:
// unchecked, grayed (when allowed), checked, unchecked; grayed goes to checked.
class TCheckBoxWidget : public QCheckBox {
 public:
  // The box stands on its Color (its parent's by default), not on the
  // button face Qt gives every button.
  explicit TCheckBoxWidget(TCheckBox* owner) : owner_(owner) { setBackgroundRole(QPalette::Window); }

 protected:
  void nextCheckState() override {
    switch (checkState()) {
      case Qt::Unchecked:
        setCheckState(owner_ && owner_->AllowGrayed() ? Qt::PartiallyChecked : Qt::Checked);
        break;
      case Qt::Checked: setCheckState(Qt::Unchecked); break;
      case Qt::PartiallyChecked: setCheckState(Qt::Checked); break;
    }
  }

 private:
  QPointer<TCheckBox> owner_;
};

}  // namespace

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() - csClickEvents - csDoubleClicks);
  SetTabStop(true);
  SetBounds(0, 0, 97, 17);
}

QWidget* TCheckBox::CreateWidget() {
  auto* box = new TCheckBoxWidget(this);
  box->setText(TWinControl::GetText());
  box->setCheckState(ToQtState(state_));
  QObject::connect(box, &QCheckBox::stateChanged, this, [this](int s) {
    if (!Destroyed()) Toggled(s);
  });
  return box;
}

QCheckBox* TCheckBox::CheckBox() const {
  return qobject_cast<QCheckBox*>(const_cast<TCheckBox*>(this)->Widget());
}

void TCheckBox::SetText(const String& value) {
  TWinControl::SetText(value);
  CheckBox()->setText(value);
}

void TCheckBox::SetAllowGrayed(bool value) { allowGrayed_ = value; }

void TCheckBox::SetState(TCheckBoxState value) {
  if (state_ == value) return;
  state_ = value;
  {
    QSignalBlocker block(CheckBox());
    CheckBox()->setCheckState(ToQtState(value));
  }
  if (!Loading()) Click();
}

void TCheckBox::Toggled(int qtState) {
  const TCheckBoxState s = FromQtState(qtState);
  if (s == state_) return;
  state_ = s;
  Click();
}

// ---------------------------------------------------------------- registration

void InitializeStdCtrls() {
  static bool done = false;
  if (done) return;
  done = true;
  InitializeControls();
  RegisterClasses<TLabel, TEdit, TMemo, TButton, TCheckBox, TListBox, TComboBox>();
  RegisterEvents<TCustomEdit>({EventEntry("OnChange", &TCustomEdit::OnChange)});
  RegisterEvents<TCustomListBox>({EventEntry("OnDrawItem", &TCustomListBox::OnDrawItem),
                                  EventEntry("OnMeasureItem", &TCustomListBox::OnMeasureItem)});
  RegisterEvents<TCustomComboBox>({EventEntry("OnChange", &TCustomComboBox::OnChange),
                                   EventEntry("OnSelect", &TCustomComboBox::OnSelect),
                                   EventEntry("OnDropDown", &TCustomComboBox::OnDropDown),
                                   EventEntry("OnCloseUp", &TCustomComboBox::OnCloseUp),
                                   EventEntry("OnDrawItem", &TCustomComboBox::OnDrawItem),
                                   EventEntry("OnMeasureItem", &TCustomComboBox::OnMeasureItem)});
}
