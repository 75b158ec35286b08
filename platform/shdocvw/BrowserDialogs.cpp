#include "platform/shdocvw/BrowserDialogs.h"

#include "platform/shell/ShlObj.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// What ending a dialog without pressing one of its buttons answers.
int closingAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    default: return IDOK;
  }
}

QStyle::StandardPixmap pictureOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QStyle::SP_MessageBoxCritical;
    case MB_ICONQUESTION: return QStyle::SP_MessageBoxQuestion;
    case MB_ICONEXCLAMATION: return QStyle::SP_MessageBoxWarning;
    case MB_ICONASTERISK: return QStyle::SP_MessageBoxInformation;
    default: return QStyle::SP_CustomBase;  // none
  }
}

constexpr int kFieldMinWidth = 300;

class BrowserDialog : public QDialog {
 public:
  BrowserDialog(QWidget* parent, const String& text, UINT type,
                const std::vector<TBrowserDialogField>* fields)
      : QDialog(parent), closing(closingAnswer(type)), answer(closing) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    const QStyle::StandardPixmap picture = pictureOf(type);
    if (picture != QStyle::SP_CustomBase) {
      auto* icon = new QLabel(this);
      icon->setPixmap(style()->standardIcon(picture).pixmap(32, 32));
      icon->setAlignment(Qt::AlignTop);
      top->addWidget(icon);
    }
    // Page text is shown as it is, never as markup.
    auto* message = new QLabel(this);
    message->setTextFormat(Qt::PlainText);
    message->setText(text);
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(message, 1);
    layout->addLayout(top);

    if (fields && !fields->empty()) {
      auto* form = new QFormLayout;
      for (const TBrowserDialogField& field : *fields) {
        auto* edit = new QLineEdit(field.Value, this);
        if (field.Secret) edit->setEchoMode(QLineEdit::Password);
        edit->setMinimumWidth(kFieldMinWidth);  // room for an address
        form->addRow(field.Label, edit);
        edits.push_back(edit);
      }
      layout->addLayout(form);
      edits.front()->setFocus();
      edits.front()->selectAll();
    }

    auto* buttons = new QDialogButtonBox(this);
    auto add = [this, buttons](QDialogButtonBox::StandardButton which, int result) {
      QPushButton* button = buttons->addButton(which);
      QObject::connect(button, &QPushButton::clicked, this, [this, result] { finish(result); });
    };
    switch (type & MB_TYPEMASK) {
      case MB_OKCANCEL:
        add(QDialogButtonBox::Ok, IDOK);
        add(QDialogButtonBox::Cancel, IDCANCEL);
        break;
      case MB_YESNO:
        add(QDialogButtonBox::Yes, IDYES);
        add(QDialogButtonBox::No, IDNO);
        break;
      default: add(QDialogButtonBox::Ok, IDOK); break;
    }
    layout->addWidget(buttons);
    setWindowModality(Qt::ApplicationModal);
  }

  // Ends the dialog with an answer (also while it is still being shown).
  void finish(int result) {
    answer = result;
    end();
    hide();
  }
  // Escape, and closing through Qt.
  void reject() override { finish(closing); }

  const int closing;
  int answer;
  bool ended = false;
  std::vector<QLineEdit*> edits;
  QEventLoop* loop = nullptr;  // the loop that waits for the dialog to end

 protected:
  void showEvent(QShowEvent* e) override {
    QDialog::showEvent(e);
    activateWindow();
  }
  void hideEvent(QHideEvent* e) override {
    QDialog::hideEvent(e);
    end();
  }

 private:
  void end() {
    ended = true;
    if (loop) loop->quit();
  }
};

LRESULT dialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* dialog = dynamic_cast<QDialog*>(WidgetOf(hwnd));
  switch (msg) {
    case WM_CLOSE:
      // Ends the dialog as Cancel; the window goes with the dialog.
      if (dialog) dialog->reject();
      return 0;
    case WM_SETICON: {
      const LRESULT previous = DefWindowProcW(hwnd, msg, wParam, lParam);
      if (dialog) dialog->setWindowIcon(IconFromHandle(reinterpret_cast<HICON>(lParam)));
      return previous;
    }
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

HWND BrowserDialogTop(HWND owner) { return IsWindow(owner) ? GetAncestor(owner, GA_ROOT) : nullptr; }

HWND CreateBrowserDialogWindow(QDialog* dialog, HWND top, const String& caption) {
  return CreateWindowHandle(
      QStringLiteral("#32770"), caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
      WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT, top, &dialogProc, dialog);
}

int ShowBrowserDialog(HWND owner, const String& caption, const String& text, UINT type,
                      std::vector<TBrowserDialogField>* fields) {
  const HWND top = BrowserDialogTop(owner);
  QPointer<BrowserDialog> dialog = new BrowserDialog(top ? WidgetOf(top) : nullptr, text, type, fields);
  const HWND hwnd = CreateBrowserDialogWindow(dialog.data(), top, caption);

  // The dialog ends when it hides (a button, WM_CLOSE, DestroyWindow) or
  // when its owner takes it along. Whoever watches the owner's activation
  // may end it while it is being shown, before the loop runs.
  const QPointer<QWidget> previous = QApplication::activeWindow();
  QEventLoop loop;
  dialog->loop = &loop;
  QObject::connect(dialog.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
  dialog->show();
  if (dialog && !dialog->ended) loop.exec(QEventLoop::DialogExec);
  if (dialog) dialog->hide();

  int answer = closingAnswer(type);
  if (dialog) {
    dialog->loop = nullptr;
    answer = dialog->answer;
    if (answer == IDOK && fields) {
      for (size_t i = 0; i < fields->size() && i < dialog->edits.size(); ++i)
        (*fields)[i].Value = dialog->edits[i]->text();
    }
  }
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  delete dialog.data();
  // The window that was active before gets the activation back.
  if (previous && previous->isVisible()) previous->activateWindow();
  return answer;
}

int ShowBrowserMessage(HWND owner, const String& text, UINT type) {
  return ShowBrowserDialog(owner, QStringLiteral("Message from webpage"), text, type);
}

namespace {

// A question with one field: true with the text typed when confirmed.
bool askOneField(HWND owner, const String& caption, const String& text, const String& label, String& value) {
  std::vector<TBrowserDialogField> fields{{label, value, false}};
  if (ShowBrowserDialog(owner, caption, text, MB_OKCANCEL, &fields) != IDOK) return false;
  value = fields[0].Value;
  return true;
}

}  // namespace

bool ShowBrowserPrompt(HWND owner, const String& text, String& value) {
  return askOneField(owner, QStringLiteral("Explorer User Prompt"), text, String(), value);
}

bool ShowBrowserEditAddress(HWND owner, const String& command, String& address) {
  if (command.compare(QLatin1String("InsertImage"), Qt::CaseInsensitive) == 0)
    return askOneField(owner, QStringLiteral("Picture"), QStringLiteral("Type the address of the picture."),
                       QStringLiteral("Picture Source:"), address);
  return askOneField(owner, QStringLiteral("Hyperlink"), QStringLiteral("Type the address of the link."),
                     QStringLiteral("URL:"), address);
}

bool ShowBrowserLogin(HWND owner, const String& host, String& user, String& password) {
  std::vector<TBrowserDialogField> fields{{QStringLiteral("User name:"), user, false},
                                          {QStringLiteral("Password:"), password, true}};
  const String text = QStringLiteral("The server %1 asks for a user name and password.").arg(host);
  if (ShowBrowserDialog(owner, QStringLiteral("Connect to ") + host, text, MB_OKCANCEL, &fields) != IDOK)
    return false;
  user = fields[0].Value;
  password = fields[1].Value;
  return true;
}

bool ShowBrowserScriptError(HWND owner, const String& message, int line, const String& url) {
  const String text = QStringLiteral(
                          "An error has occurred in the script on this page.\n\n"
                          "Line: %1\nError: %2\nURL: %3\n\n"
                          "Do you want to continue running scripts on this page?")
                          .arg(line)
                          .arg(message, url);
  return ShowBrowserDialog(owner, QStringLiteral("Script Error"), text, MB_YESNO | MB_ICONEXCLAMATION) ==
         IDYES;
}
