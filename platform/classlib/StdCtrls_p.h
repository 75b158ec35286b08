#pragma once
// Helpers shared by the source files of the standard controls (not for other
// files): counters, line breaks, text buffers of messages, replaced keys and
// the selection of one-line edit fields.
#include "platform/classlib/StdCtrls.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace stdctrls_p {

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
inline String ToQtLines(const String& s) {
  String out = s;
  out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

// Copies text into a caller's buffer of WM_GETTEXT / CB_GETLBTEXT.
inline LRESULT CopyToBuffer(const String& text, LPARAM buffer, int capacity) {
  auto* out = reinterpret_cast<char16_t*>(buffer);
  if (!out) return 0;
  const int n = capacity < 0 ? int(text.size()) : std::min<int>(text.size(), capacity - 1);
  if (n < 0) return 0;
  std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), n, out);
  out[n] = 0;
  return n;
}

inline String FromBuffer(LPARAM p) {
  return p ? String::fromUtf16(reinterpret_cast<const char16_t*>(p)) : String();
}

// Hands a key that a key handler replaced to the widget as the new key (the
// original event is not passed on).
inline void SendReplacedKey(QWidget* target, UINT msg, WPARAM key) {
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

// The selection of a one-line edit field, shared by edits and combo boxes
// (a missing field reads as an empty selection at 0).
inline int LineSelStart(const QLineEdit* edit) {
  if (!edit) return 0;
  return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

inline void SetLineSelStart(QLineEdit* edit, int value) {
  if (edit) edit->setCursorPosition(std::clamp(value, 0, int(edit->text().size())));
}

inline int LineSelLength(const QLineEdit* edit) { return edit ? int(edit->selectedText().size()) : 0; }

inline void SetLineSelLength(QLineEdit* edit, int value) {
  if (!edit) return;
  const int start = LineSelStart(edit);
  edit->setSelection(start, std::clamp(value, 0, int(edit->text().size()) - start));
}

inline String LineSelText(const QLineEdit* edit) { return edit ? edit->selectedText() : String(); }

inline void SetLineSelText(QLineEdit* edit, const String& value) {
  if (edit) edit->insert(value);
}

}  // namespace stdctrls_p
