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

String ToPlatformLines(String s) {
  s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  s.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}
}  // namespace

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
    case WM_CUT:
      edit->cut();
      m.Result = 0;
      return true;
    case WM_COPY:
      edit->copy();
      m.Result = 0;
      return true;
    case WM_PASTE:
      edit->paste();
      m.Result = 0;
      return true;
    case WM_CLEAR:
      edit->del();
      m.Result = 0;
      return true;
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

int TCustomEdit::SelStart() const { return LineSelStart(LineEdit()); }
void TCustomEdit::SetSelStart(int value) { SetLineSelStart(LineEdit(), value); }
int TCustomEdit::SelLength() const { return LineSelLength(LineEdit()); }
void TCustomEdit::SetSelLength(int value) { SetLineSelLength(LineEdit(), value); }
String TCustomEdit::SelText() const { return LineSelText(LineEdit()); }
void TCustomEdit::SetSelText(const String& value) { SetLineSelText(LineEdit(), value); }
void TCustomEdit::SelectAll() {
  if (QLineEdit* edit = LineEdit()) edit->selectAll();
}

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
    RunFinally(
        [&] {
          Delete(index);
          Insert(index, s);
        },
        [this] { EndUpdate(); });
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
    if (memo_->TextEdit()->toPlainText() != text)
      memo_->OwnChange([&] { memo_->TextEdit()->setPlainText(text); });
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
