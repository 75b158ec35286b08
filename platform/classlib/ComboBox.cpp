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

#include <algorithm>

#include "platform/classlib/Forms.h"

#include "platform/classlib/StdCtrls_p.h"

using namespace stdctrls_p;

namespace {

// Set while a key for a combo box's open list, already seen by the combo
// box's key handling, is passed on to the list.
int passingListKey = 0;
struct PassingListKey {
  PassingListKey() { ++passingListKey; }
  ~PassingListKey() { --passingListKey; }
};

}  // namespace

// ---------------------------------------------------------------- combo boxes

// The combo-box widget: tells its control when the list opens and closes, and
// lets it draw the closed face of an owner-drawn list.
class TComboWidget : public QComboBox {
 public:
  explicit TComboWidget(TCustomComboBox* combo) : combo_(combo) {}

  void showPopup() override {
    if (!combo_ || combo_->Destroyed()) return;
    combo_->Notify(CBN_DROPDOWN);
    if (!combo_) return;
    QComboBox::showPopup();
    view()->installEventFilter(this);
  }

  void hidePopup() override {
    const bool wasShown = view()->isVisible();
    QComboBox::hidePopup();
    if (wasShown && combo_ && !combo_->Destroyed()) combo_->Notify(CBN_CLOSEUP);
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!combo_ || combo_->Destroyed() || isEditable() || !combo_->OwnerDraw()) {
      QComboBox::paintEvent(e);
      return;
    }
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    TOwnerDrawState state{odComboBoxEdit};
    if (hasFocus()) state += TOwnerDrawState{odSelected, odFocused};
    if (!isEnabled()) state += odDisabled;
    combo_->PaintItem(&painter, TRect::FromQRect(field), currentIndex(), state);
  }

  // While the list is open the keys go to the list; the combo box's key
  // handling sees them first, as it would in the edit field. Keys from the
  // keyboard reach it through the combo box's window (the list is part of
  // it); keys sent by code are handled here. Qt's list would act on Enter,
  // Esc, F4 and Alt+Down before they are even pressed: those keys wait for
  // their key press and take the list's own action only when the key
  // handling let them through.
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != view() || !combo_ || combo_->Destroyed()) return QComboBox::eventFilter(watched, e);
    if (e->type() == QEvent::ShortcutOverride && IsListKey(static_cast<QKeyEvent*>(e))) {
      e->accept();
      return true;
    }
    if (e->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(e);
      if (!e->spontaneous() && passingListKey == 0) {
        const WORD vk = VirtualKeyFromQt(key->key(), key->modifiers());
        if (vk) {
          TMessage m{WM_KEYDOWN, vk,
                     MakeKeyData(1, 0, false, bool(key->modifiers() & Qt::AltModifier), false, false), 0};
          QPointer<TCustomComboBox> combo(combo_);
          if (combo->DoKeyDown(m)) return true;
          if (!combo) return true;
          if (WORD(m.WParam) != vk) return true;  // the key was replaced: consumed
        }
      }
      if (IsListKey(key)) {
        ListKey(key);
        return true;
      }
    }
    return QComboBox::eventFilter(watched, e);
  }

 private:
  static bool IsListKey(const QKeyEvent* key) {
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
      case Qt::Key_F4: return true;
      case Qt::Key_Down: return key->modifiers() & Qt::AltModifier;
      default: return false;
    }
  }

  // The list's own action: Esc closes it; the others close it and pick the
  // highlighted entry.
  void ListKey(const QKeyEvent* key) {
    const QModelIndex current = view()->currentIndex();
    const bool enterKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enterKey && !(current.isValid() && (current.flags() & Qt::ItemIsEnabled))) return;
    QPointer<TComboWidget> self(this);
    hidePopup();
    if (!self || key->key() == Qt::Key_Escape || !current.isValid()) return;
    const int row = current.row();
    if (row != currentIndex())
      setCurrentIndex(row);
    else if (lineEdit())
      lineEdit()->setText(itemText(row));
    emit activated(row);
    if (self) emit textActivated(itemText(row));
  }

  QPointer<TCustomComboBox> combo_;
};

// Draws the entries of owner-drawn combo boxes through their control.
class TComboItemDelegate : public QStyledItemDelegate {
 public:
  TComboItemDelegate(TCustomComboBox* combo, QObject* parent) : QStyledItemDelegate(parent), combo_(combo) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!combo_ || combo_->Destroyed()) return;
    TOwnerDrawState state;
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) state += odSelected;
    if (option.state & QStyle::State_HasFocus) state += odFocused;
    if (!(option.state & QStyle::State_Enabled)) state += odDisabled;
    combo_->PaintItem(painter, TRect::FromQRect(option.rect), index.row(), state);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    int height = combo_ ? combo_->itemHeight_ : 16;
    if (combo_ && !combo_->Destroyed() && combo_->style_ == csOwnerDrawVariable)
      combo_->MeasureItem(index.row(), height);
    return QSize(option.rect.width(), std::max(height, 1));
  }

 private:
  QPointer<TCustomComboBox> combo_;
};

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner), items_(new TItemStrings(this)), canvas_(new TCanvas(this)) {
  SetControlStyle(ControlStyle() - csClickEvents);
  SetTabStop(true);
  SetBounds(0, 0, 145, 21);
}

TCustomComboBox::~TCustomComboBox() {
  Destroying();
  DestroyHandle();
  delete items_;
  items_ = nullptr;
}

QWidget* TCustomComboBox::CreateWidget() {
  auto* combo = new TComboWidget(this);
  combo->setInsertPolicy(QComboBox::NoInsert);
  for (int i = 0; i < items_->Count(); ++i) combo->addItem(items_->Get(i));
  combo->setCurrentIndex(-1);
  QObject::connect(combo, &QComboBox::activated, this, [this] {
    if (!Destroyed()) Notify(CBN_SELCHANGE);
  });
  ApplyStyle(combo);
  return combo;
}

QComboBox* TCustomComboBox::ComboWidget() const {
  return qobject_cast<QComboBox*>(const_cast<TCustomComboBox*>(this)->Widget());
}

QLineEdit* TCustomComboBox::EditWidget() const { return ComboWidget()->lineEdit(); }

bool TCustomComboBox::OwnerDraw() const {
  return style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable ||
         (windowStyle_ & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0;
}

void TCustomComboBox::ApplyStyle(QComboBox* combo) {
  const bool editable = style_ == csDropDown || style_ == csSimple;
  if (combo->isEditable() != editable) {
    const String text = combo->isEditable() ? combo->lineEdit()->text() : String();
    const int index = combo->currentIndex();
    combo->setEditable(editable);
    if (editable) {
      QLineEdit* edit = combo->lineEdit();
      QObject::connect(edit, &QLineEdit::textEdited, this, [this] {
        if (!Destroyed()) Notify(CBN_EDITCHANGE);
      });
      edit->setText(index >= 0 ? combo->itemText(index) : text);
    }
    if (HandleAllocated() && WidgetAllocated()) RecreateWnd();
  }
  if (QLineEdit* edit = combo->lineEdit()) {
    edit->setMaxLength(maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE);
    if (autoComplete_) {
      if (!combo->completer()) {
        auto* completer = new QCompleter(combo->model(), combo);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setCompletionMode(QCompleter::InlineCompletion);
        combo->setCompleter(completer);
      }
    } else {
      combo->setCompleter(nullptr);
    }
  }
  combo->setMaxVisibleItems(std::max(dropDownCount_, 1));
  QAbstractItemDelegate* old = combo->itemDelegate();
  if (OwnerDraw()) {
    if (!dynamic_cast<TComboItemDelegate*>(old)) combo->setItemDelegate(new TComboItemDelegate(this, combo));
  } else if (dynamic_cast<TComboItemDelegate*>(old)) {
    combo->setItemDelegate(new QStyledItemDelegate(combo));
  }
  combo->update();
}

void TCustomComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  static constexpr DWORD styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST,
                                     CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                     CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
  p.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | styles[style_];
  if (Sorted()) p.Style |= CBS_SORT;
}

void TCustomComboBox::CreateWindowHandle(const TCreateParams& p) {
  windowStyle_ = p.Style;
  TWinControl::CreateWindowHandle(p);
  ApplyStyle(ComboWidget());
  CreateEditWindow();
}

void TCustomComboBox::CreateEditWindow() {
  QLineEdit* edit = ComboWidget()->lineEdit();
  if (!edit || editHandle_ || !HandleAllocated()) return;
  if (!editInstance_) {
    editInstance_ = MakeObjectInstance([this](TMessage& m) {
      try {
        EditWndProc(m);
      } catch (...) {
        if (Application) Application->HandleException(this);
      }
    });
  }
  HWND h = ::CreateWindowHandle(QStringLiteral("Edit"), edit->text(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                                0, Handle(), nullptr, edit);
  if (!h) throw EOutOfResources(QStringLiteral("Error creating the edit field of '%1'").arg(Name()));
  editHandle_ = h;
  editDefProc_ =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(editInstance_)));
  edit->show();
}

void TCustomComboBox::DestroyWnd() {
  if (editHandle_) {
    HWND edit = editHandle_;
    editHandle_ = nullptr;
    DestroyWindow(edit);
  }
  TWinControl::DestroyWnd();
  if (QLineEdit* edit = WidgetAllocated() ? ComboWidget()->lineEdit() : nullptr) edit->show();
  if (editInstance_) {
    FreeObjectInstance(editInstance_);
    editInstance_ = nullptr;
  }
}

String TCustomComboBox::GetText() const {
  const QComboBox* combo = ComboWidget();
  return combo->isEditable() ? combo->lineEdit()->text() : combo->currentText();
}

void TCustomComboBox::SetText(const String& value) {
  QComboBox* combo = ComboWidget();
  CountScope scope(settingItems_);
  int index = -1;
  for (int i = 0; i < combo->count() && index < 0; ++i)
    if (AnsiSameText(combo->itemText(i), value)) index = i;
  if (!combo->isEditable()) {
    combo->setCurrentIndex(index);
    return;
  }
  if (combo->currentIndex() != index) combo->setCurrentIndex(index);
  combo->lineEdit()->setText(value);
}

void TCustomComboBox::SetAutoComplete(bool value) {
  autoComplete_ = value;
  ApplyStyle(ComboWidget());
}

void TCustomComboBox::SetDropDownCount(int value) {
  dropDownCount_ = value;
  ApplyStyle(ComboWidget());
}

bool TCustomComboBox::DroppedDown() const { return WidgetAllocated() && ComboWidget()->view()->isVisible(); }

void TCustomComboBox::SetDroppedDown(bool value) {
  if (DroppedDown() == value) return;
  if (value)
    ComboWidget()->showPopup();
  else
    ComboWidget()->hidePopup();
}

void TCustomComboBox::SetItemHeight(int value) {
  if (value <= 0) return;
  itemHeight_ = value;
  ApplyStyle(ComboWidget());
}

int TCustomComboBox::ItemIndex() const {
  const QComboBox* combo = ComboWidget();
  const int index = combo->currentIndex();
  // Text typed into the edit field that is no entry's selects none.
  if (index >= 0 && combo->isEditable() && !AnsiSameText(combo->lineEdit()->text(), combo->itemText(index)))
    return -1;
  return index;
}

void TCustomComboBox::SetItemIndex(int value) {
  QComboBox* combo = ComboWidget();
  CountScope scope(settingItems_);
  if (value < 0 || value >= combo->count()) value = -1;
  combo->setCurrentIndex(value);
  if (value < 0 && combo->isEditable()) combo->lineEdit()->clear();
}

void TCustomComboBox::SetMaxLength(int value) {
  maxLength_ = std::max(value, 0);
  ApplyStyle(ComboWidget());
}

void TCustomComboBox::SetSorted(bool value) { items_->SetSorted(value); }

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (style_ == value) return;
  style_ = value;
  ApplyStyle(ComboWidget());
}

int TCustomComboBox::SelStart() const { return LineSelStart(EditWidget()); }
void TCustomComboBox::SetSelStart(int value) { SetLineSelStart(EditWidget(), value); }
int TCustomComboBox::SelLength() const { return LineSelLength(EditWidget()); }
void TCustomComboBox::SetSelLength(int value) { SetLineSelLength(EditWidget(), value); }
String TCustomComboBox::SelText() const { return LineSelText(EditWidget()); }
void TCustomComboBox::SetSelText(const String& value) { SetLineSelText(EditWidget(), value); }
void TCustomComboBox::SelectAll() {
  if (QLineEdit* edit = EditWidget()) edit->selectAll();
}

void TCustomComboBox::Clear() {
  items_->Clear();
  SetText(String());
}

void TCustomComboBox::Notify(WORD code) {
  Perform(CN_COMMAND, MAKEWPARAM(0, code), reinterpret_cast<LPARAM>(HandleAllocated() ? Handle() : nullptr));
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::PaintItem(QPainter* painter, const TRect& rect, int index, TOwnerDrawState state) {
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
  if (index >= 0)
    DrawItem(index, rect, state);
  else
    canvas_->FillRect(rect);
}

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  if (OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  canvas_->FillRect(Rect);
  if (Index >= 0 && Index < items_->Count()) canvas_->TextOut(Rect.Left + 2, Rect.Top, items_->Get(Index));
}

void TCustomComboBox::MeasureItem(int Index, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

TRect TCustomComboBox::DroppedControlRect() const {
  QComboBox* combo = ComboWidget();
  QWidget* popup = combo->view()->window();
  if (popup && popup != combo->window() && popup->isVisible()) {
    const QRect g = popup->geometry();
    return TRect::FromQRect(g);
  }
  // Where the list opens: below the box, as wide as the box.
  const int rows = std::clamp(combo->count(), 1, std::max(dropDownCount_, 1));
  const QPoint origin = combo->mapToGlobal(QPoint(0, combo->height()));
  return Bounds(origin.x(), origin.y(), combo->width(), rows * itemHeight_ + 2);
}

bool TCustomComboBox::HandleComboMessage(TMessage& m) {
  QComboBox* combo = ComboWidget();
  const auto find = [&](int after, const String& text, bool exact) -> int {
    const int n = combo->count();
    for (int k = 1; k <= n; ++k) {
      const int i = after < 0 || after >= n ? k - 1 : (after + k) % n;
      const String item = combo->itemText(i);
      if (exact ? AnsiSameText(item, text) : AnsiSameText(item.left(text.size()), text)) return i;
    }
    return int(CB_ERR);
  };
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      // A key for the open list: one that the key handling swallowed or
      // replaced does not reach the list.
      if (!DroppedDown()) return false;
      const WPARAM original = m.WParam;
      QPointer<TCustomComboBox> self(this);
      if (DoKeyDown(m) || !self || m.WParam != original) {
        m.Result = 0;
        return true;
      }
      PassingListKey passing;
      DefaultHandler(m);
      return true;
    }
    case WM_CHAR:
    case WM_SYSCHAR: {
      // A key that types a character reaches the list with its character.
      PassingListKey passing;
      TWinControl::WndProc(m);
      return true;
    }
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case CBN_SELCHANGE: {
          QPointer<TCustomComboBox> self(this);
          Click();
          if (self) Select();
          break;
        }
        case CBN_EDITCHANGE: Change(); break;
        case CBN_DROPDOWN: DropDown(); break;
        case CBN_CLOSEUP: CloseUp(); break;
        case CBN_DBLCLK: DblClick(); break;
        default: break;
      }
      m.Result = 0;
      return true;
    case CB_GETCURSEL: m.Result = ItemIndex(); return true;
    case CB_SETCURSEL: {
      const int index = int(LONG(m.WParam));
      SetItemIndex(index);
      m.Result = index >= 0 && index < combo->count() ? index : CB_ERR;
      return true;
    }
    case CB_SHOWDROPDOWN:
      SetDroppedDown(m.WParam != 0);
      m.Result = TRUE;
      return true;
    case CB_GETDROPPEDSTATE: m.Result = DroppedDown(); return true;
    case CB_GETDROPPEDCONTROLRECT:
      if (auto* r = reinterpret_cast<RECT*>(m.LParam)) {
        const TRect t = DroppedControlRect();
        *r = RECT{t.Left, t.Top, t.Right, t.Bottom};
      }
      m.Result = TRUE;
      return true;
    case CB_GETCOUNT: m.Result = combo->count(); return true;
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
      const int index = int(LONG(m.WParam));
      if (index < 0 || index >= combo->count()) {
        m.Result = CB_ERR;
        return true;
      }
      const String text = combo->itemText(index);
      m.Result = m.Msg == CB_GETLBTEXTLEN ? LRESULT(text.size()) : CopyToBuffer(text, m.LParam, -1);
      return true;
    }
    case CB_ADDSTRING: m.Result = items_->Add(FromBuffer(m.LParam)); return true;
    case CB_INSERTSTRING: {
      int index = int(LONG(m.WParam));
      if (index < 0 || index > items_->Count()) index = items_->Count();
      items_->Insert(index, FromBuffer(m.LParam));
      m.Result = index;
      return true;
    }
    case CB_DELETESTRING: {
      const int index = int(LONG(m.WParam));
      if (index < 0 || index >= items_->Count()) {
        m.Result = CB_ERR;
        return true;
      }
      items_->Delete(index);
      m.Result = items_->Count();
      return true;
    }
    case CB_RESETCONTENT:
      items_->Clear();
      if (combo->isEditable()) combo->lineEdit()->clear();
      m.Result = TRUE;
      return true;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      m.Result = find(int(LONG(m.WParam)), FromBuffer(m.LParam), m.Msg == CB_FINDSTRINGEXACT);
      return true;
    case CB_SELECTSTRING: {
      const int index = find(int(LONG(m.WParam)), FromBuffer(m.LParam), false);
      if (index >= 0) SetItemIndex(index);
      m.Result = index;
      return true;
    }
    case CB_GETEDITSEL: {
      const int start = SelStart(), end = start + SelLength();
      if (auto* p = reinterpret_cast<DWORD*>(m.WParam)) *p = DWORD(start);
      if (auto* p = reinterpret_cast<DWORD*>(m.LParam)) *p = DWORD(end);
      m.Result = LRESULT(MAKELONG(WORD(start), WORD(end)));
      return true;
    }
    case CB_SETEDITSEL: {
      QLineEdit* edit = EditWidget();
      if (!edit) {
        m.Result = CB_ERR;
        return true;
      }
      TMessage sel{EM_SETSEL, WPARAM(LONG(SHORT(LOWORD(std::uintptr_t(m.LParam))))),
                   LPARAM(LONG(SHORT(HIWORD(std::uintptr_t(m.LParam))))), 0};
      HandleLineEditMessage(edit, sel);
      m.Result = TRUE;
      return true;
    }
    case CB_LIMITTEXT:
      SetMaxLength(int(m.WParam));
      m.Result = TRUE;
      return true;
    case CB_GETITEMHEIGHT: m.Result = itemHeight_; return true;
    case CB_SETITEMHEIGHT:
      SetItemHeight(int(LOWORD(std::uintptr_t(m.LParam))));
      m.Result = 0;
      return true;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT: TControl::DefaultHandler(m); return true;
    default: return false;
  }
}

void TCustomComboBox::WndProc(TMessage& m) {
  if (HandleComboMessage(m)) return;
  TWinControl::WndProc(m);
}

void TCustomComboBox::EditWndProc(TMessage& m) {
  QLineEdit* edit = EditWidget();
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR: {
      const WPARAM original = m.WParam;
      QPointer<TCustomComboBox> self(this);
      const bool swallowed = m.Msg == WM_CHAR                                  ? DoKeyPress(m)
                             : (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN) ? DoKeyDown(m)
                                                                               : DoKeyUp(m);
      if (!self || swallowed) {
        m.Result = 0;
        return;
      }
      if (m.WParam != original) {
        SendReplacedKey(edit, m.Msg, m.WParam);
        m.Result = 0;
        return;
      }
      break;
    }
    case WM_SETFOCUS: {
      QPointer<TCustomComboBox> self(this);
      m.Result = CallWindowProcW(editDefProc_, editHandle_, m.Msg, m.WParam, m.LParam);
      if (self && !Destroyed())
        if (TCustomForm* form = GetParentForm(this)) form->SetFocusedControl(this);
      return;
    }
    case WM_LBUTTONDBLCLK: {
      QPointer<TCustomComboBox> self(this);
      m.Result = CallWindowProcW(editDefProc_, editHandle_, m.Msg, m.WParam, m.LParam);
      if (self) Notify(CBN_DBLCLK);
      return;
    }
    default:
      if (HandleLineEditMessage(edit, m)) return;
      break;
  }
  m.Result = CallWindowProcW(editDefProc_, editHandle_, m.Msg, m.WParam, m.LParam);
}

void TCustomComboBox::ItemInserted(int index, const String& s) {
  if (!WidgetAllocated()) return;
  QComboBox* combo = ComboWidget();
  CountScope scope(settingItems_);
  // Adding entries changes neither the selection nor the edit field's text.
  const int current = combo->currentIndex();
  const String text = combo->isEditable() ? combo->lineEdit()->text() : String();
  combo->insertItem(index, s);
  if (current < 0 && combo->currentIndex() >= 0) {
    combo->setCurrentIndex(-1);
    if (combo->isEditable()) combo->lineEdit()->setText(text);
  }
}

void TCustomComboBox::ItemDeleted(int index) {
  if (!WidgetAllocated()) return;
  QComboBox* combo = ComboWidget();
  CountScope scope(settingItems_);
  const bool wasCurrent = combo->currentIndex() == index;
  const String text = combo->isEditable() ? combo->lineEdit()->text() : String();
  combo->removeItem(index);
  if (wasCurrent) {
    combo->setCurrentIndex(-1);
    if (combo->isEditable()) combo->lineEdit()->setText(text);
  }
}

void TCustomComboBox::ItemChanged(int index, const String& s) {
  if (!WidgetAllocated()) return;
  CountScope scope(settingItems_);
  ComboWidget()->setItemText(index, s);
}

void TCustomComboBox::ItemsCleared() {
  if (!WidgetAllocated()) return;
  QComboBox* combo = ComboWidget();
  CountScope scope(settingItems_);
  // The edit field keeps its text when the entries go.
  const String text = combo->isEditable() ? combo->lineEdit()->text() : String();
  combo->clear();
  if (combo->isEditable()) combo->lineEdit()->setText(text);
}

void TCustomComboBox::ItemsReset() {
  if (!WidgetAllocated()) return;
  QComboBox* combo = ComboWidget();
  CountScope scope(settingItems_);
  const String text = combo->isEditable() ? combo->lineEdit()->text() : String();
  const String current = combo->currentIndex() >= 0 ? combo->itemText(combo->currentIndex()) : String();
  const bool hadCurrent = combo->currentIndex() >= 0;
  combo->clear();
  for (int i = 0; i < items_->Count(); ++i) combo->addItem(items_->Get(i));
  combo->setCurrentIndex(hadCurrent ? items_->IndexOf(current) : -1);
  if (combo->isEditable()) combo->lineEdit()->setText(text);
}
