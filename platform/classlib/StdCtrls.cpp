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
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

#include "platform/classlib/Forms.h"

namespace {

// Keeps a counter raised for the life of the scope.
class CountScope {
 public:
  explicit CountScope(int& counter) : counter_(counter) { ++counter_; }
  ~CountScope() { --counter_; }
  CountScope(const CountScope&) = delete;
  CountScope& operator=(const CountScope&) = delete;

 private:
  int& counter_;
};

// Text of the platform (CR LF line breaks) as Qt documents hold it.
String ToQtLines(const String& s) {
  String out = s;
  out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

String ToPlatformLines(String s) {
  s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  s.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

// Copies text into a caller's buffer of WM_GETTEXT / CB_GETLBTEXT.
LRESULT CopyToBuffer(const String& text, LPARAM buffer, int capacity) {
  auto* out = reinterpret_cast<char16_t*>(buffer);
  if (!out) return 0;
  const int n = capacity < 0 ? int(text.size()) : std::min<int>(text.size(), capacity - 1);
  if (n < 0) return 0;
  std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), n, out);
  out[n] = 0;
  return n;
}

String FromBuffer(LPARAM p) {
  return p ? String::fromUtf16(reinterpret_cast<const char16_t*>(p)) : String();
}

// Set while a key for a combo box's open list, already seen by the combo
// box's key handling, is passed on to the list.
int passingListKey = 0;
struct PassingListKey {
  PassingListKey() { ++passingListKey; }
  ~PassingListKey() { --passingListKey; }
};

// Hands a key that a key handler replaced to the widget as the new key (the
// original event is not passed on).
void SendReplacedKey(QWidget* target, UINT msg, WPARAM key) {
  if (!target) return;
  if (msg == WM_CHAR) {
    QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, String(QChar(char16_t(key))));
    QCoreApplication::sendEvent(target, &e);
    return;
  }
  const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, QtKeyFromVirtualKey(WORD(key)), Qt::NoModifier);
  QCoreApplication::sendEvent(target, &e);
}

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
  const QRect r = fm.boundingRect(QRect(0, 0, wordWrap_ ? std::max(Width(), 1) : 0x7FFFFF, 0x7FFFFF),
                                  flags, text);
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

// ---------------------------------------------------------------- edit messages

bool HandleLineEditMessage(QLineEdit* edit, TMessage& m) {
  if (!edit) return false;
  const auto selection = [edit](int& start, int& end) {
    if (edit->hasSelectedText()) {
      start = edit->selectionStart();
      end = start + int(edit->selectedText().size());
    } else {
      start = end = edit->cursorPosition();
    }
  };
  switch (m.Msg) {
    case EM_GETSEL: {
      int start, end;
      selection(start, end);
      if (auto* p = reinterpret_cast<DWORD*>(m.WParam)) *p = DWORD(start);
      if (auto* p = reinterpret_cast<DWORD*>(m.LParam)) *p = DWORD(end);
      m.Result = LRESULT(MAKELONG(WORD(start), WORD(end)));
      return true;
    }
    case EM_SETSEL: {
      // (0, -1) selects everything; a start of -1 removes the selection.
      const int length = int(edit->text().size());
      const int start = int(LONG(m.WParam));
      int end = int(LONG(m.LParam));
      if (start < 0) {
        edit->deselect();
      } else {
        if (end < 0 || end > length) end = length;
        const int s = std::min(start, length);
        edit->setSelection(s, end - s);
      }
      m.Result = 0;
      return true;
    }
    case EM_REPLACESEL:
      edit->insert(FromBuffer(m.LParam));
      m.Result = 0;
      return true;
    case EM_GETMODIFY: m.Result = edit->isModified(); return true;
    case EM_SETMODIFY:
      edit->setModified(m.WParam != 0);
      m.Result = 0;
      return true;
    case EM_SETREADONLY:
      edit->setReadOnly(m.WParam != 0);
      m.Result = TRUE;
      return true;
    case EM_LIMITTEXT:
      edit->setMaxLength(m.WParam ? int(std::min<WPARAM>(m.WParam, 0x7FFFFFFE)) : 0x7FFFFFFE);
      m.Result = 0;
      return true;
    case EM_GETLIMITTEXT: m.Result = edit->maxLength(); return true;
    case EM_CANUNDO: m.Result = edit->isUndoAvailable(); return true;
    case EM_UNDO:
    case WM_UNDO:
      m.Result = edit->isUndoAvailable();
      edit->undo();
      return true;
    case EM_EMPTYUNDOBUFFER:
      edit->setText(edit->text());  // a new text has no undo history
      m.Result = 0;
      return true;
    case WM_GETTEXT: m.Result = CopyToBuffer(edit->text(), m.LParam, int(m.WParam)); return true;
    case WM_GETTEXTLENGTH: m.Result = edit->text().size(); return true;
    case WM_SETTEXT:
      edit->setText(FromBuffer(m.LParam));
      m.Result = TRUE;
      return true;
    case WM_CUT: edit->cut(); m.Result = 0; return true;
    case WM_COPY: edit->copy(); m.Result = 0; return true;
    case WM_PASTE: edit->paste(); m.Result = 0; return true;
    case WM_CLEAR: edit->del(); m.Result = 0; return true;
    default: return false;
  }
}

// ---------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() - csClickEvents + csDoubleClicks);
  SetTabStop(true);
  SetBounds(0, 0, 121, 21);
}

QWidget* TCustomEdit::CreateWidget() {
  auto* edit = new QLineEdit;
  edit->setFrame(borderStyle_ != bsNone);
  edit->setMaxLength(maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE);
  edit->setReadOnly(readOnly_);
  edit->setEchoMode(passwordChar_ ? QLineEdit::Password : QLineEdit::Normal);
  edit->setText(TWinControl::GetText());
  QObject::connect(edit, &QLineEdit::textChanged, this, [this] {
    if (!Destroyed() && !Loading()) Change();
  });
  return edit;
}

QLineEdit* TCustomEdit::LineEdit() const {
  return qobject_cast<QLineEdit*>(const_cast<TCustomEdit*>(this)->Widget());
}

String TCustomEdit::GetText() const {
  const QLineEdit* edit = LineEdit();
  return edit ? edit->text() : TWinControl::GetText();
}

void TCustomEdit::SetText(const String& value) {
  QLineEdit* edit = LineEdit();
  if (!edit || edit->text() == value) return;
  edit->setText(value);
  edit->setModified(false);
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  borderStyle_ = value;
  if (QLineEdit* edit = LineEdit()) edit->setFrame(value != bsNone);
}

void TCustomEdit::SetMaxLength(int value) {
  maxLength_ = std::max(value, 0);
  if (QLineEdit* edit = LineEdit()) edit->setMaxLength(maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE);
}

void TCustomEdit::SetPasswordChar(WideChar value) {
  passwordChar_ = value;
  if (QLineEdit* edit = LineEdit()) edit->setEchoMode(value ? QLineEdit::Password : QLineEdit::Normal);
}

String TCustomEdit::PasswordCharText() const {
  return passwordChar_ ? String(QChar(passwordChar_)) : String();
}

void TCustomEdit::SetPasswordCharText(const String& value) {
  SetPasswordChar(value.isEmpty() ? 0 : value[0].unicode());
}

void TCustomEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (QLineEdit* edit = LineEdit()) edit->setReadOnly(value);
}

bool TCustomEdit::Modified() const {
  if (const QLineEdit* edit = LineEdit()) return edit->isModified();
  if (auto* text = qobject_cast<QTextEdit*>(const_cast<TCustomEdit*>(this)->Widget()))
    return text->document()->isModified();
  return false;
}

void TCustomEdit::SetModified(bool value) {
  if (QLineEdit* edit = LineEdit())
    edit->setModified(value);
  else if (auto* text = qobject_cast<QTextEdit*>(Widget()))
    text->document()->setModified(value);
}

// The selection of a one-line edit field, shared by edits and combo boxes
// (a missing field reads as an empty selection at 0).
namespace {

int LineSelStart(const QLineEdit* edit) {
  if (!edit) return 0;
  return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

void SetLineSelStart(QLineEdit* edit, int value) {
  if (edit) edit->setCursorPosition(std::clamp(value, 0, int(edit->text().size())));
}

int LineSelLength(const QLineEdit* edit) { return edit ? int(edit->selectedText().size()) : 0; }

void SetLineSelLength(QLineEdit* edit, int value) {
  if (!edit) return;
  const int start = LineSelStart(edit);
  edit->setSelection(start, std::clamp(value, 0, int(edit->text().size()) - start));
}

String LineSelText(const QLineEdit* edit) { return edit ? edit->selectedText() : String(); }

void SetLineSelText(QLineEdit* edit, const String& value) {
  if (edit) edit->insert(value);
}

}  // namespace

int TCustomEdit::SelStart() const { return LineSelStart(LineEdit()); }
void TCustomEdit::SetSelStart(int value) { SetLineSelStart(LineEdit(), value); }
int TCustomEdit::SelLength() const { return LineSelLength(LineEdit()); }
void TCustomEdit::SetSelLength(int value) { SetLineSelLength(LineEdit(), value); }
String TCustomEdit::SelText() const { return LineSelText(LineEdit()); }
void TCustomEdit::SetSelText(const String& value) { SetLineSelText(LineEdit(), value); }
void TCustomEdit::SelectAll() { if (QLineEdit* edit = LineEdit()) edit->selectAll(); }

void TCustomEdit::Clear() { SetText(String()); }

bool TCustomEdit::CanUndo() const {
  const QLineEdit* edit = LineEdit();
  return edit && edit->isUndoAvailable();
}

void TCustomEdit::Undo() {
  if (QLineEdit* edit = LineEdit()) edit->undo();
}

void TCustomEdit::CutToClipboard() {
  if (QLineEdit* edit = LineEdit()) edit->cut();
}

void TCustomEdit::CopyToClipboard() {
  if (QLineEdit* edit = LineEdit()) edit->copy();
}

void TCustomEdit::PasteFromClipboard() {
  if (QLineEdit* edit = LineEdit()) edit->paste();
}

void TCustomEdit::WndProc(TMessage& m) {
  if (m.Msg == WM_GETTEXT || m.Msg == WM_GETTEXTLENGTH || m.Msg == WM_SETTEXT) {
    TControl::DefaultHandler(m);  // through GetText / SetText
    return;
  }
  if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN || m.Msg == WM_CHAR) {
    // A key handler may swallow the key or replace it by another.
    const WPARAM original = m.WParam;
    QPointer<TCustomEdit> self(this);
    const bool swallowed = m.Msg == WM_CHAR ? DoKeyPress(m) : DoKeyDown(m);
    if (!self || Destroyed()) return;
    if (swallowed) {
      m.Result = 0;
    } else if (m.WParam != original) {
      SendReplacedKey(Widget(), m.Msg, m.WParam);
      m.Result = 0;
    } else {
      DefaultHandler(m);
    }
    return;
  }
  if (WidgetAllocated() && HandleLineEditMessage(qobject_cast<QLineEdit*>(Widget()), m)) return;
  TWinControl::WndProc(m);
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TMemoStrings

namespace {

QStringList SplitLines(const String& s) { return ToQtLines(s).split(QLatin1Char('\n')); }

}  // namespace

void TMemoStrings::Insert(int index, const String& s) {
  CheckIndex(index, true);
  const QStringList parts = SplitLines(s);
  memo_->OwnChange([&] {
    QTextDocument* doc = memo_->TextEdit()->document();
    QTextCursor cursor(doc);
    String text = parts.join(QLatin1Char('\n'));
    if (index < Count()) {
      cursor.setPosition(doc->findBlockByNumber(index).position());
      text += QLatin1Char('\n');
    } else {
      // After the last line: a trailing empty paragraph takes the text, else
      // the last line gets a break first. The text ends in a break.
      const QTextBlock last = doc->lastBlock();
      if (last.length() <= 1) {
        cursor.setPosition(last.position());
        text += QLatin1Char('\n');
      } else {
        cursor.setPosition(last.position() + last.length() - 1);
        text = QLatin1Char('\n') + text + QLatin1Char('\n');
      }
    }
    memo_->PrepareInsertion(cursor);
    cursor.insertText(text);
    CountScope scope(handling_);
    for (int i = 0; i < parts.size(); ++i) TStrings::Insert(index + i, parts[i]);
  });
  TStrings::Changed();
}

void TMemoStrings::Put(int index, const String& s) {
  CheckIndex(index);
  if (s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'))) {
    BeginUpdate();
    try {
      Delete(index);
      Insert(index, s);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  memo_->OwnChange([&] {
    QTextDocument* doc = memo_->TextEdit()->document();
    const QTextBlock block = doc->findBlockByNumber(index);
    QTextCursor cursor(doc);
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(s);
    CountScope scope(handling_);
    TStrings::Put(index, s);
  });
  TStrings::Changed();
}

void TMemoStrings::Delete(int index) {
  CheckIndex(index);
  memo_->OwnChange([&] {
    QTextDocument* doc = memo_->TextEdit()->document();
    const QTextBlock block = doc->findBlockByNumber(index);
    const QTextBlock next = block.next();
    QTextCursor cursor(doc);
    if (next.isValid()) {
      cursor.setPosition(block.position());
      cursor.setPosition(next.position(), QTextCursor::KeepAnchor);
    } else if (index > 0) {
      cursor.setPosition(block.position() - 1);
      cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    } else {
      cursor.select(QTextCursor::Document);
    }
    cursor.removeSelectedText();
    CountScope scope(handling_);
    TStrings::Delete(index);
  });
  TStrings::Changed();
}

void TMemoStrings::Clear() {
  if (Count() == 0 && memo_->TextEdit()->document()->isEmpty()) return;
  memo_->OwnChange([&] {
    QTextCursor cursor(memo_->TextEdit()->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    CountScope scope(handling_);
    TStrings::Clear();
  });
  TStrings::Changed();
}

void TMemoStrings::Reload() {
  QStringList lines = memo_->TextEdit()->toPlainText().split(QLatin1Char('\n'));
  if (lines.last().isEmpty()) lines.removeLast();
  items_ = lines;
  objects_ = QVector<TObject*>(lines.size(), nullptr);
}

void TMemoStrings::Changed() {
  // The operations above change the widget themselves; sorting-like changes
  // of the list (exchanges, moves) put the whole list back into it.
  if (handling_) return;
  if (!items_.isEmpty() || !memo_->TextEdit()->document()->isEmpty()) {
    String text = items_.join(QLatin1Char('\n'));
    if (!items_.isEmpty()) text += QLatin1Char('\n');
    if (memo_->TextEdit()->toPlainText() != text) memo_->OwnChange([&] { memo_->TextEdit()->setPlainText(text); });
  }
  TStrings::Changed();
}

// ---------------------------------------------------------------- TCustomMemo

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(new TMemoStrings(this)) {
  SetBounds(0, 0, 185, 89);
}

TCustomMemo::~TCustomMemo() {
  Destroying();
  delete lines_;
  lines_ = nullptr;
}

QWidget* TCustomMemo::CreateWidget() {
  auto* edit = new QTextEdit;
  edit->setAcceptRichText(false);
  edit->setReadOnly(ReadOnly());
  edit->setTabChangesFocus(!wantTabs_);
  edit->setLineWrapMode(wordWrap_ ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
  edit->setFrameShape(BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
  const auto policy = [](bool on) { return on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded; };
  edit->setHorizontalScrollBarPolicy(policy(scrollBars_ == ssHorizontal || scrollBars_ == ssBoth));
  edit->setVerticalScrollBarPolicy(policy(scrollBars_ == ssVertical || scrollBars_ == ssBoth));
  QObject::connect(edit->document(), &QTextDocument::contentsChange, this,
                   [this](int, int removed, int added) {
                     if (Destroyed()) return;
                     if (ownChange_ > 0) return;
                     // A change that keeps the length may be formatting only.
                     if (removed == added) {
                       const String text = TextEdit()->toPlainText();
                       if (lastTextKnown_ && text == lastText_) return;
                       lastText_ = text;
                       lastTextKnown_ = true;
                     } else {
                       lastTextKnown_ = false;
                     }
                     ContentsChanged();
                   });
  return edit;
}

QTextEdit* TCustomMemo::TextEdit() const {
  return qobject_cast<QTextEdit*>(const_cast<TCustomMemo*>(this)->Widget());
}

void TCustomMemo::OwnChangeDone() {
  lastTextKnown_ = false;
  if (!Loading() && !Destroyed()) Change();
}

void TCustomMemo::ContentsChanged() {
  lines_->Reload();
  if (!Loading()) Change();
}

void TCustomMemo::PrepareInsertion(QTextCursor&) {}

void TCustomMemo::SetLinesObject(TMemoStrings* lines) {
  delete lines_;
  lines_ = lines;
}

String TCustomMemo::GetText() const { return ToPlatformLines(TextEdit()->toPlainText()); }

void TCustomMemo::SetText(const String& value) {
  if (GetText() == value) return;
  OwnChange([&] { TextEdit()->setPlainText(ToQtLines(value)); });
  lines_->Reload();
}

void TCustomMemo::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
  const auto policy = [](bool on) { return on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded; };
  TextEdit()->setHorizontalScrollBarPolicy(policy(value == ssHorizontal || value == ssBoth));
  TextEdit()->setVerticalScrollBarPolicy(policy(value == ssVertical || value == ssBoth));
}

void TCustomMemo::SetWantTabs(bool value) {
  wantTabs_ = value;
  TextEdit()->setTabChangesFocus(!value);
}

void TCustomMemo::SetWordWrap(bool value) {
  wordWrap_ = value;
  TextEdit()->setLineWrapMode(value ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TCustomMemo::SetReadOnly(bool value) {
  TCustomEdit::SetReadOnly(value);
  TextEdit()->setReadOnly(value);
}

int TCustomMemo::SelStart() const { return TextEdit()->textCursor().selectionStart(); }

void TCustomMemo::SetSelStart(int value) {
  QTextEdit* edit = TextEdit();
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(std::clamp(value, 0, edit->document()->characterCount() - 1));
  edit->setTextCursor(cursor);
}

int TCustomMemo::SelLength() const {
  const QTextCursor cursor = TextEdit()->textCursor();
  return cursor.selectionEnd() - cursor.selectionStart();
}

void TCustomMemo::SetSelLength(int value) {
  QTextEdit* edit = TextEdit();
  QTextCursor cursor = edit->textCursor();
  const int start = cursor.selectionStart();
  const int end = std::clamp(start + std::max(value, 0), start, edit->document()->characterCount() - 1);
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
}

String TCustomMemo::SelText() const { return ToPlatformLines(TextEdit()->textCursor().selectedText()); }

void TCustomMemo::SetSelText(const String& value) {
  QTextEdit* edit = TextEdit();
  OwnChange([&] {
    QTextCursor cursor = edit->textCursor();
    PrepareInsertion(cursor);
    cursor.insertText(ToQtLines(value));
    edit->setTextCursor(cursor);
  });
  lines_->Reload();
}

void TCustomMemo::SelectAll() { TextEdit()->selectAll(); }

void TCustomMemo::Clear() { lines_->Clear(); }

bool TCustomMemo::CanUndo() const { return TextEdit()->document()->isUndoAvailable(); }

void TCustomMemo::Undo() { TextEdit()->undo(); }

void TCustomMemo::CutToClipboard() { TextEdit()->cut(); }

void TCustomMemo::CopyToClipboard() { TextEdit()->copy(); }

void TCustomMemo::PasteFromClipboard() { TextEdit()->paste(); }

void TCustomMemo::WndProc(TMessage& m) {
  if (m.Msg == WM_CUT || m.Msg == WM_COPY || m.Msg == WM_PASTE || m.Msg == WM_CLEAR || m.Msg == WM_UNDO) {
    switch (m.Msg) {
      case WM_CUT: CutToClipboard(); break;
      case WM_COPY: CopyToClipboard(); break;
      case WM_PASTE: PasteFromClipboard(); break;
      case WM_CLEAR: SetSelText(String()); break;
      default: Undo(); break;
    }
    m.Result = 0;
    return;
  }
  TCustomEdit::WndProc(m);
}

void TCustomMemo::KeyPress(WideChar& Key) {
  TCustomEdit::KeyPress(Key);
  if (Key == 13 && !wantReturns_) Key = 0;
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
  explicit TCheckBoxWidget(TCheckBox* owner) : owner_(owner) {}

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

QCheckBox* TCheckBox::CheckBox() const { return qobject_cast<QCheckBox*>(const_cast<TCheckBox*>(this)->Widget()); }

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
  list->setSelectionMode(!multiSelect_   ? QAbstractItemView::SingleSelection
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
  if (multiSelect_)
    list->setCurrentRow(value, QItemSelectionModel::NoUpdate);
  else
    list->setCurrentRow(value);
  list->scrollToItem(list->item(value));
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
  const QListWidget* list = ListWidget();
  const QModelIndex top = list->indexAt(QPoint(1, 1));
  return top.isValid() ? top.row() : 0;
}

void TCustomListBox::SetTopIndex(int value) {
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
  try {
    DrawItem(index, rect, state);
  } catch (...) {
    canvas_->SetPainter(nullptr);
    painter->restore();
    throw;
  }
  canvas_->SetPainter(nullptr);
  painter->restore();
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
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
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
    if (watched != view() || !combo_ || combo_->Destroyed())
      return QComboBox::eventFilter(watched, e);
    if (e->type() == QEvent::ShortcutOverride && IsListKey(static_cast<QKeyEvent*>(e))) {
      e->accept();
      return true;
    }
    if (e->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(e);
      if (!e->spontaneous() && passingListKey == 0) {
        const WORD vk = VirtualKeyFromQt(key->key(), key->modifiers());
        if (vk) {
          TMessage m{WM_KEYDOWN, vk, MakeKeyData(1, 0, false, bool(key->modifiers() & Qt::AltModifier), false, false), 0};
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
  HWND h = ::CreateWindowHandle(QStringLiteral("Edit"), edit->text(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0,
                                Handle(), nullptr, edit);
  if (!h) throw EOutOfResources(QStringLiteral("Error creating the edit field of '%1'").arg(Name()));
  editHandle_ = h;
  editDefProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(editInstance_)));
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

bool TCustomComboBox::DroppedDown() const {
  return WidgetAllocated() && ComboWidget()->view()->isVisible();
}

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
void TCustomComboBox::SelectAll() { if (QLineEdit* edit = EditWidget()) edit->selectAll(); }

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
  try {
    if (index >= 0)
      DrawItem(index, rect, state);
    else
      canvas_->FillRect(rect);
  } catch (...) {
    canvas_->SetPainter(nullptr);
    painter->restore();
    throw;
  }
  canvas_->SetPainter(nullptr);
  painter->restore();
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
