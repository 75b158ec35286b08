#include "platform/classlib/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/winapi/Windows.h"

// ---------------------------------------------------------------- filters

std::vector<TFileFilter> ParseFileFilter(const String& filter) {
  std::vector<TFileFilter> result;
  const QStringList parts = filter.split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    TFileFilter entry;
    entry.Description = parts[i];
    for (const String& pattern : parts[i + 1].split(QLatin1Char(';'))) {
      const String p = Trim(pattern);
      if (!p.isEmpty()) entry.Patterns << p;
    }
    result.push_back(entry);
  }
  return result;
}

QStringList FileFilterToQt(const String& filter) {
  QStringList result;
  for (const TFileFilter& entry : ParseFileFilter(filter)) {
    String text = Trim(entry.Description);
    // "Text files (*.txt)": the pattern list in the description is shown by
    // Qt from the real patterns, so it is left out here.
    if (text.endsWith(QLatin1Char(')'))) {
      const int open = text.lastIndexOf(QLatin1Char('('));
      if (open >= 0) text = Trim(text.left(open));
    }
    QStringList patterns;
    for (const String& p : entry.Patterns) patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    if (patterns.isEmpty()) patterns << QStringLiteral("*");
    result << QStringLiteral("%1 (%2)").arg(text, patterns.join(QLatin1Char(' ')));
  }
  return result;
}

// ---------------------------------------------------------------- file dialogs

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), files_(new TStringList) {}

TOpenDialog::~TOpenDialog() { delete files_; }

void TOpenDialog::SetDefaultExt(const String& value) {
  defaultExt_ = value.startsWith(QLatin1Char('.')) ? value.mid(1) : value;
}

String TOpenDialog::StartPath() const {
  if (fileName_.isEmpty()) return initialDir_;
  if (initialDir_.isEmpty() || !ExtractFilePath(fileName_).isEmpty()) return fileName_;
  return IncludeTrailingPathDelimiter(initialDir_) + fileName_;
}

void TOpenDialog::SetResult(const QStringList& files, int filterIndex) {
  files_->Clear();
  for (String file : files) {
    if (!defaultExt_.isEmpty() && ExtractFileExt(file).isEmpty()) file += QLatin1Char('.') + defaultExt_;
    files_->Add(file);
  }
  if (files_->Count() > 0) fileName_ = files_->Get(0);
  if (filterIndex > 0) filterIndex_ = filterIndex;
}

bool TOpenDialog::Execute() {
  if (OnShow) OnShow(this);
  const bool confirmed = Ask(DialogService());
  if (OnClose) OnClose(this);
  return confirmed;
}

bool TOpenDialog::Ask(TDialogService& service) { return service.ExecuteOpen(*this); }

bool TSaveDialog::Ask(TDialogService& service) { return service.ExecuteSave(*this); }

TSavePictureDialog::TSavePictureDialog(TComponent* AOwner) : TSaveDialog(AOwner) {
  SetFilter(QStringLiteral(
      "All pictures (*.bmp;*.png;*.jpg;*.jpeg;*.ico)|*.bmp;*.png;*.jpg;*.jpeg;*.ico|"
      "Bitmaps (*.bmp)|*.bmp|PNG pictures (*.png)|*.png|JPEG pictures (*.jpg;*.jpeg)|*.jpg;*.jpeg|"
      "Icons (*.ico)|*.ico"));
}

// ---------------------------------------------------------------- print dialog

bool TPrintDialog::Execute() {
  if (OnShow) OnShow(this);
  const bool confirmed = DialogService().ExecutePrint(*this);
  if (OnClose) OnClose(this);
  return confirmed;
}

QPrinter& DialogPrinter() {
  // One printer for the whole run, as the platform has one current printer.
  static QPrinter* printer = new QPrinter(QPrinter::HighResolution);
  return *printer;
}

// ---------------------------------------------------------------- find dialog

bool TFindDialog::Execute() {
  if (OnShow) OnShow(this);
  shown_ = DialogService().ShowFind(*this);
  return shown_;
}

void TFindDialog::CloseDialog() {
  if (!shown_) return;
  shown_ = false;
  DialogService().CloseFind(*this);
  if (OnClose) OnClose(this);
}

void TFindDialog::Find() {
  if (OnFind) OnFind(this);
}

// ---------------------------------------------------------------- message dialogs

TModalResult ModalResultOfButton(TMsgDlgBtn button) {
  static constexpr TModalResult results[] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                             mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone,  mrClose};
  return results[button];
}

TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons) {
  for (TMsgDlgBtn b : {mbOK, mbYes, mbRetry})
    if (buttons.Contains(b)) return b;
  for (int b = mbYes; b <= mbClose; ++b)
    if (buttons.Contains(TMsgDlgBtn(b))) return TMsgDlgBtn(b);
  return mbOK;
}

TMsgDlgBtn EscapeButton(TMsgDlgButtons buttons) {
  for (TMsgDlgBtn b : {mbCancel, mbNo, mbOK, mbAbort, mbClose})
    if (buttons.Contains(b)) return b;
  return mbHelp;
}

int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx) {
  return DialogService().MessageDlg(msg, type, buttons, helpCtx);
}

void ShowMessage(const String& msg) { DialogService().MessageDlg(msg, mtCustom, {mbOK}, 0); }

void ShowExceptionMessage(const Exception& e) {
  String msg = e.Message;
  if (!msg.isEmpty() && msg.back() > QLatin1Char('.')) msg += QLatin1Char('.');
  DialogService().MessageDlg(msg, mtError, {mbOK}, e.HelpContext);
}

// ---------------------------------------------------------------- the Qt service

namespace {

QWidget* DialogParent() { return QApplication::activeWindow(); }

// A modal dialog over the active window. Handlers run inside the dialog's
// loop may free that window, and the dialog with it, so the dialog is held
// by a guarded pointer.
template <class D>
class ModalBox {
 public:
  template <class... A>
  explicit ModalBox(A&&... args) : box_(new D(std::forward<A>(args)..., DialogParent())) {}
  ~ModalBox() { delete box_.data(); }
  ModalBox(const ModalBox&) = delete;
  ModalBox& operator=(const ModalBox&) = delete;
  D* operator->() const { return box_.data(); }
  // Runs the dialog; answers whether it was accepted and still exists.
  bool Exec() {
    const int result = box_->exec();
    return box_ && result == QDialog::Accepted;
  }
  bool Alive() const { return !box_.isNull(); }

 private:
  QPointer<D> box_;
};

// The find dialog window: text, whole word, match case, direction, Find Next
// and Cancel. It follows its TFindDialog and goes away with it.
class FindWindow : public QDialog {
 public:
  explicit FindWindow(TFindDialog* dialog) : QDialog(DialogParent()), dialog_(dialog) {
    setModal(false);
    // A dialog window like the browser's others, so hosts that look for
    // "#32770" windows find it; closing it is Cancel.
    CreateWindowHandle(QStringLiteral("#32770"), QStringLiteral("Find"), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                       WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, nullptr, &findProc, this);
    auto* text = new QLabel(QStringLiteral("Fi&nd what:"));
    edit_ = new QLineEdit;
    text->setBuddy(edit_);
    wholeWord_ = new QCheckBox(QStringLiteral("Match &whole word only"));
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"));
    auto* direction = new QGroupBox(QStringLiteral("Direction"));
    up_ = new QRadioButton(QStringLiteral("&Up"));
    down_ = new QRadioButton(QStringLiteral("&Down"));
    auto* dirLayout = new QHBoxLayout(direction);
    dirLayout->addWidget(up_);
    dirLayout->addWidget(down_);
    findNext_ = new QPushButton(QStringLiteral("&Find Next"));
    findNext_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));

    auto* left = new QVBoxLayout;
    auto* row = new QHBoxLayout;
    row->addWidget(text);
    row->addWidget(edit_);
    left->addLayout(row);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(wholeWord_);
    checks->addWidget(matchCase_);
    options->addLayout(checks);
    options->addWidget(direction);
    left->addLayout(options);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNext_);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(buttons);

    connect(edit_, &QLineEdit::textChanged, this,
            [this](const QString& t) { findNext_->setEnabled(!t.isEmpty()); });
    connect(findNext_, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(this, &QDialog::rejected, this, [this] {
      if (dialog_) dialog_->CloseDialog();
    });
    connect(dialog, &QObject::destroyed, this, &QObject::deleteLater);
  }

  TFindDialog* Dialog() const { return dialog_; }

  static LRESULT findProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
      if (auto* window = dynamic_cast<QDialog*>(WidgetOf(hwnd))) window->reject();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  // Shows the dialog's current text and options.
  void Load() {
    const TFindOptions o = dialog_->Options();
    edit_->setText(dialog_->FindText());
    findNext_->setEnabled(!edit_->text().isEmpty());
    wholeWord_->setChecked(o.Contains(frWholeWord));
    matchCase_->setChecked(o.Contains(frMatchCase));
    (o.Contains(frDown) ? down_ : up_)->setChecked(true);
    wholeWord_->setVisible(!o.Contains(frHideWholeWord));
    matchCase_->setVisible(!o.Contains(frHideMatchCase));
    up_->parentWidget()->setVisible(!o.Contains(frHideUpDown));
    wholeWord_->setEnabled(!o.Contains(frDisableWholeWord));
    matchCase_->setEnabled(!o.Contains(frDisableMatchCase));
    up_->parentWidget()->setEnabled(!o.Contains(frDisableUpDown));
  }

 private:
  void FindNext() {
    if (!dialog_) return;
    TFindOptions o = dialog_->Options();
    o -= TFindOptions{frDown, frWholeWord, frMatchCase};
    if (down_->isChecked()) o += frDown;
    if (wholeWord_->isChecked()) o += frWholeWord;
    if (matchCase_->isChecked()) o += frMatchCase;
    o += frFindNext;
    dialog_->SetFindText(edit_->text());
    dialog_->SetOptions(o);
    dialog_->Find();
  }

  QPointer<TFindDialog> dialog_;
  QLineEdit* edit_;
  QCheckBox* wholeWord_;
  QCheckBox* matchCase_;
  QRadioButton* up_;
  QRadioButton* down_;
  QPushButton* findNext_;
};

class QtDialogService : public TDialogService {
 public:
  bool ExecuteOpen(TOpenDialog& dialog) override { return RunFileDialog(dialog, false); }
  bool ExecuteSave(TSaveDialog& dialog) override { return RunFileDialog(dialog, true); }

  bool ExecutePrint(TPrintDialog& dialog) override {
    QPrinter& printer = DialogPrinter();
    ModalBox<QPrintDialog> box(&printer);
    const TPrintDialogOptions o = dialog.Options();
    box->setOption(QAbstractPrintDialog::PrintToFile, !o.Contains(poDisablePrintToFile));
    box->setOption(QAbstractPrintDialog::PrintSelection, o.Contains(poSelection));
    box->setOption(QAbstractPrintDialog::PrintPageRange, o.Contains(poPageNums));
    box->setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    if (dialog.MaxPage() > 0) box->setMinMax(dialog.MinPage(), dialog.MaxPage());
    if (dialog.FromPage() > 0) box->setFromTo(dialog.FromPage(), dialog.ToPage());
    box->setPrintRange(dialog.PrintRange() == prSelection  ? QAbstractPrintDialog::Selection
                       : dialog.PrintRange() == prPageNums ? QAbstractPrintDialog::PageRange
                                                           : QAbstractPrintDialog::AllPages);
    if (dialog.Copies() > 0) printer.setCopyCount(dialog.Copies());
    printer.setCollateCopies(dialog.Collate());
    if (!box.Exec()) return false;
    dialog.SetPrintRange(box->printRange() == QAbstractPrintDialog::Selection   ? prSelection
                         : box->printRange() == QAbstractPrintDialog::PageRange ? prPageNums
                                                                                : prAllPages);
    dialog.SetFromPage(box->fromPage());
    dialog.SetToPage(box->toPage());
    dialog.SetCopies(printer.copyCount());
    dialog.SetCollate(printer.collateCopies());
    dialog.SetPrintToFile(!printer.outputFileName().isEmpty());
    return true;
  }

  bool ShowFind(TFindDialog& dialog) override {
    QPointer<FindWindow>& window = finds_[&dialog];
    if (!window || window->Dialog() != &dialog) window = new FindWindow(&dialog);
    window->Load();
    window->show();
    window->raise();
    window->activateWindow();
    return true;
  }

  void CloseFind(TFindDialog& dialog) override {
    const auto it = finds_.find(&dialog);
    if (it == finds_.end()) return;
    if (it.value()) it.value()->hide();
  }

  int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int) override {
    static const char* const titles[] = {"Warning", "Error", "Information", "Confirm"};
    static const char* const captions[] = {"&Yes",       "&No",         "OK",      "Cancel",
                                           "&Abort",     "&Retry",      "&Ignore", "&All",
                                           "N&o to All", "Yes to &All", "&Help",   "&Close"};
    if (buttons.Empty()) buttons = {mbOK};
    ModalBox<QMessageBox> box;
    box->setText(msg);
    box->setWindowTitle(type == mtCustom ? QGuiApplication::applicationDisplayName()
                                         : String::fromLatin1(titles[type]));
    switch (type) {
      case mtWarning: box->setIcon(QMessageBox::Warning); break;
      case mtError: box->setIcon(QMessageBox::Critical); break;
      case mtInformation: box->setIcon(QMessageBox::Information); break;
      case mtConfirmation: box->setIcon(QMessageBox::Question); break;
      case mtCustom: box->setIcon(QMessageBox::NoIcon); break;
    }
    QHash<QAbstractButton*, TMsgDlgBtn> map;
    for (int b = mbYes; b <= mbClose; ++b) {
      if (!buttons.Contains(TMsgDlgBtn(b))) continue;
      QPushButton* button = box->addButton(String::fromLatin1(captions[b]),
                                           b == mbHelp ? QMessageBox::HelpRole : QMessageBox::ActionRole);
      map.insert(button, TMsgDlgBtn(b));
      if (b == DefaultButton(buttons)) box->setDefaultButton(button);
      if (b == EscapeButton(buttons)) box->setEscapeButton(button);
    }
    box->exec();
    if (!box.Alive()) return mrCancel;
    const auto it = map.find(box->clickedButton());
    return it == map.end() ? mrCancel : ModalResultOfButton(it.value());
  }

 private:
  static bool RunFileDialog(TOpenDialog& dialog, bool save) {
    const TOpenOptions o = dialog.Options();
    const QStringList filters = FileFilterToQt(dialog.Filter());
    const String title = !dialog.Title().isEmpty() ? dialog.Title()
                         : save                    ? QStringLiteral("Save As")
                                                   : QStringLiteral("Open");
    ModalBox<QFileDialog> box;
    box->setWindowTitle(title);
    if (!dialog.InitialDir().isEmpty()) box->setDirectory(dialog.InitialDir());
    if (!dialog.FileName().isEmpty()) box->selectFile(dialog.StartPath());
    box->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (o.Contains(ofAllowMultiSelect) && !save)
      box->setFileMode(QFileDialog::ExistingFiles);
    else if (o.Contains(ofFileMustExist) && !save)
      box->setFileMode(QFileDialog::ExistingFile);
    else
      box->setFileMode(QFileDialog::AnyFile);
    box->setOption(QFileDialog::DontConfirmOverwrite, !o.Contains(ofOverwritePrompt));
    box->setOption(QFileDialog::ReadOnly, o.Contains(ofReadOnly));
    if (o.Contains(ofForceShowHidden)) box->setFilter(box->filter() | QDir::Hidden);
    if (!filters.isEmpty()) {
      box->setNameFilters(filters);
      const int index = dialog.FilterIndex() - 1;
      if (index >= 0 && index < filters.size()) box->selectNameFilter(filters[index]);
    }
    if (!box.Exec()) return false;
    const QStringList files = box->selectedFiles();
    if (files.isEmpty()) return false;
    dialog.SetResult(files, int(filters.indexOf(box->selectedNameFilter())) + 1);
    return true;
  }

  QHash<const TFindDialog*, QPointer<FindWindow>> finds_;
};

TDialogService* installed = nullptr;

}  // namespace

TDialogService& DialogService() {
  if (installed) return *installed;
  static QtDialogService qtService;
  return qtService;
}

TDialogService* SetDialogService(TDialogService* service) {
  TDialogService* previous = installed;
  installed = service;
  return previous;
}

// ---------------------------------------------------------------- scripted service

TScriptedDialogService::TScriptedDialogService() : previous_(SetDialogService(this)) {}

TScriptedDialogService::~TScriptedDialogService() { SetDialogService(previous_); }

void TScriptedDialogService::QueueFiles(const QStringList& files, int filterIndex) {
  dialogAnswers_.push_back(DialogAnswer{true, files, filterIndex});
}

void TScriptedDialogService::QueuePrint(bool confirm) {
  dialogAnswers_.push_back(DialogAnswer{confirm, {}, 0});
}

void TScriptedDialogService::QueueCancel() { dialogAnswers_.push_back(DialogAnswer{}); }

void TScriptedDialogService::QueueAnswer(int modalResult) { messageAnswers_.push_back(modalResult); }

std::vector<TScriptedDialogService::Call> TScriptedDialogService::CallsOf(TKind kind) const {
  std::vector<Call> result;
  for (const Call& c : Calls)
    if (c.Kind == kind) result.push_back(c);
  return result;
}

TScriptedDialogService::DialogAnswer TScriptedDialogService::NextDialogAnswer() {
  if (dialogAnswers_.empty()) return DialogAnswer{};
  DialogAnswer answer = dialogAnswers_.front();
  dialogAnswers_.pop_front();
  return answer;
}

bool TScriptedDialogService::AnswerFileDialog(TKind kind, TOpenDialog& dialog) {
  Call call;
  call.Kind = kind;
  call.Title = dialog.Title();
  call.Filter = dialog.Filter();
  call.FilterIndex = dialog.FilterIndex();
  call.FileName = dialog.FileName();
  call.InitialDir = dialog.InitialDir();
  call.DefaultExt = dialog.DefaultExt();
  call.Options = dialog.Options();
  Calls.push_back(call);
  const DialogAnswer answer = NextDialogAnswer();
  if (!answer.Confirm || answer.Files.isEmpty()) return false;
  dialog.SetResult(answer.Files, answer.FilterIndex);
  return true;
}

bool TScriptedDialogService::ExecuteOpen(TOpenDialog& dialog) { return AnswerFileDialog(dkOpen, dialog); }

bool TScriptedDialogService::ExecuteSave(TSaveDialog& dialog) { return AnswerFileDialog(dkSave, dialog); }

bool TScriptedDialogService::ExecutePrint(TPrintDialog& dialog) {
  Call call;
  call.Kind = dkPrint;
  Calls.push_back(call);
  return NextDialogAnswer().Confirm;
}

bool TScriptedDialogService::ShowFind(TFindDialog& dialog) {
  Call call;
  call.Kind = dkFind;
  call.Find = &dialog;
  Calls.push_back(call);
  return true;
}

void TScriptedDialogService::CloseFind(TFindDialog& dialog) {
  Call call;
  call.Kind = dkCloseFind;
  call.Find = &dialog;
  Calls.push_back(call);
}

int TScriptedDialogService::MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                                       int helpCtx) {
  Call call;
  call.Kind = dkMessage;
  call.Message = msg;
  call.Type = type;
  call.Buttons = buttons;
  call.HelpContext = helpCtx;
  Calls.push_back(call);
  if (messageAnswers_.empty()) return ModalResultOfButton(DefaultButton(buttons));
  const int answer = messageAnswers_.front();
  messageAnswers_.pop_front();
  return answer;
}

// ---------------------------------------------------------------- registration

void InitializeDialogs() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClasses<TOpenDialog, TSaveDialog, TSavePictureDialog, TPrintDialog, TFindDialog>();
  RegisterEvents<TCommonDialog>(
      {EventEntry("OnShow", &TCommonDialog::OnShow), EventEntry("OnClose", &TCommonDialog::OnClose)});
  RegisterEvents<TFindDialog>({EventEntry("OnFind", &TFindDialog::OnFind)});
}
