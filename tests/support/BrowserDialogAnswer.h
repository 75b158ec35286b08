#pragma once
// Answers the browser's own dialogs (windows of class "#32770") in tests that
// run a command showing one: the dialog is modal, so it is answered from a
// timer while the command waits. Header only: it needs the window layer,
// which the test binaries that use it link.
#include "platform/winapi/Windows.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace testsupport {

// Answers each dialog that shows while it lives: types `text` into its
// first field (unless `text` is null) and presses `button` ("OK" or
// "Cancel"). Records what the last dialog looked like.
class BrowserDialogAnswer {
 public:
  explicit BrowserDialogAnswer(QString button, QString text = QString())
      : button_(std::move(button)), text_(std::move(text)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(20);
  }

  int shown = 0;
  String caption;  // of the last dialog
  String preset;   // the text its field started with
  HWND owner = nullptr;

 private:
  void poll() {
    const HWND h = FindWindow(QStringLiteral("#32770"));
    QWidget* dialog = h ? WidgetOf(h) : nullptr;
    if (!dialog || !dialog->isVisible() || h == last_) return;
    last_ = h;
    ++shown;
    caption = GetWindowText(h);
    owner = GetWindow(h, GW_OWNER);
    if (QLineEdit* edit = dialog->findChild<QLineEdit*>()) {
      preset = edit->text();
      if (!text_.isNull()) edit->setText(text_);
    }
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->text().remove(u'&') == button_) return b->click();
    SendMessage(h, WM_CLOSE, 0, 0);  // no such button: never left open
  }

  const QString button_, text_;
  HWND last_ = nullptr;
  QTimer timer_;
};

}  // namespace testsupport
