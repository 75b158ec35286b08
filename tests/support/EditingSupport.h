#pragma once
// What the tests of a shown page's editing commands share: answering the
// browser's own dialogs, selecting in the page and reading it back. Header
// only: it needs the window and document layers, which the test binaries
// that use it link.
#include "platform/mshtml/LiveDocument.h"
#include "platform/winapi/Windows.h"

#include <gtest/gtest.h>

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

// A script's answer as text; a test failure when the page gives none.
inline QString pageScript(QWebEnginePage* page, const QString& code) {
  QVariant v;
  EXPECT_TRUE(RunPageScript(page, code, &v)) << code.toStdString();
  return v.toString();
}

// Selects the contents of the element with `id`, or puts the caret after them.
inline void selectInPage(QWebEnginePage* page, const QString& id, bool collapsed = false) {
  pageScript(page, QStringLiteral("(function (id, collapsed) { var r = document.createRange();"
                                  " r.selectNodeContents(document.getElementById(id));"
                                  " if (collapsed) r.collapse(false);"
                                  " var s = getSelection(); s.removeAllRanges(); s.addRange(r); return ''; })"
                                  "('%1', %2)")
                       .arg(id, collapsed ? QStringLiteral("true") : QStringLiteral("false")));
}

}  // namespace testsupport
