#pragma once
// Common dialogs and message dialogs.
//
// Every dialog is shown through one dialog service. The program uses the
// service over Qt's dialogs (file dialogs, print dialog, message boxes and a
// find dialog of our own); tests install a TScriptedDialogService, which
// answers from queued answers and records every call.
#include <deque>
#include <vector>

#include "platform/classlib/Components.h"
#include "platform/classlib/ModalResult.h"

class QPrinter;
class TDialogService;

// ---------------------------------------------------------------- common base

class TCommonDialog : public TComponent {
  Q_OBJECT
  Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)

 public:
  explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
  // Raises OnShow, shows the dialog through the dialog service, raises
  // OnClose; answers whether the user confirmed it.
  virtual bool Execute() = 0;

  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 private:
  int helpContext_ = 0;
};

// ---------------------------------------------------------------- file dialogs

// One entry of a filter "Text files (*.txt)|*.txt|All files (*.*)|*.*": the
// text shown and the patterns (separated by ";" in the filter).
struct TFileFilter {
  String Description;
  QStringList Patterns;
};
// Pairs of description and patterns; a trailing description without
// patterns is dropped, blanks around patterns are removed.
std::vector<TFileFilter> ParseFileFilter(const String& filter);
// The same as Qt name filters: "Text files (*.txt)". A pattern list given in
// the description itself is replaced by the real one, and "*.*" becomes "*"
// (every file, also those without an extension).
QStringList FileFilterToQt(const String& filter);

class TOpenDialog : public TCommonDialog {
  Q_OBJECT
  Q_PROPERTY(String DefaultExt READ DefaultExt WRITE SetDefaultExt)
  Q_PROPERTY(String FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(String Filter READ Filter WRITE SetFilter)
  Q_PROPERTY(int FilterIndex READ FilterIndex WRITE SetFilterIndex)
  Q_PROPERTY(String InitialDir READ InitialDir WRITE SetInitialDir)
  Q_PROPERTY(TOpenOptions Options READ Options WRITE SetOptions)
  Q_PROPERTY(String Title READ Title WRITE SetTitle)

 public:
  enum TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing,
    ofDontAddToRecent,
    ofForceShowHidden
  };
  Q_ENUM(TOpenOption)
  using TOpenOptions = TSet<TOpenOption>;

  Q_INVOKABLE explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;

  // Confirmed: FileName holds the chosen file (with DefaultExt appended when
  // it has no extension), Files every chosen file, FilterIndex the filter
  // in use.
  bool Execute() override;

  const String& DefaultExt() const { return defaultExt_; }
  // Without a leading ".": "txt".
  void SetDefaultExt(const String& value);
  const String& FileName() const { return fileName_; }
  void SetFileName(const String& value) { fileName_ = value; }
  const String& Filter() const { return filter_; }
  void SetFilter(const String& value) { filter_ = value; }
  // 1-based index of the filter entry in use.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int value) { filterIndex_ = value; }
  const String& InitialDir() const { return initialDir_; }
  void SetInitialDir(const String& value) { initialDir_ = value; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions value) { options_ = value; }
  const String& Title() const { return title_; }
  void SetTitle(const String& value) { title_ = value; }
  // The chosen files of the last confirmed Execute.
  TStrings* Files() const { return files_; }

  // What the dialog shows first: the file name as set (in InitialDir when it
  // has no folder), else the initial folder.
  String StartPath() const;
  // How a service reports a confirmed dialog: the chosen files (DefaultExt
  // appended to names without an extension; the first becomes FileName) and
  // the filter in use (0 keeps FilterIndex).
  void SetResult(const QStringList& files, int filterIndex);

 protected:
  // Asks the service (the open or the save dialog).
  virtual bool Ask(TDialogService& service);

 private:
  String defaultExt_;
  String fileName_;
  String filter_;
  int filterIndex_ = 1;
  String initialDir_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  String title_;
  TStringList* files_;
};
using TOpenOption = TOpenDialog::TOpenOption;
using TOpenOptions = TOpenDialog::TOpenOptions;
using enum TOpenDialog::TOpenOption;

class TSaveDialog : public TOpenDialog {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

 protected:
  bool Ask(TDialogService& service) override;
};

// A save dialog for pictures; its filter lists the picture formats.
class TSavePictureDialog : public TSaveDialog {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TSavePictureDialog(TComponent* AOwner);
};

// ---------------------------------------------------------------- print dialog

class TPrintDialog : public TCommonDialog {
  Q_OBJECT
  Q_PROPERTY(bool Collate READ Collate WRITE SetCollate)
  Q_PROPERTY(int Copies READ Copies WRITE SetCopies)
  Q_PROPERTY(int FromPage READ FromPage WRITE SetFromPage)
  Q_PROPERTY(int MaxPage READ MaxPage WRITE SetMaxPage)
  Q_PROPERTY(int MinPage READ MinPage WRITE SetMinPage)
  Q_PROPERTY(TPrintDialogOptions Options READ Options WRITE SetOptions)
  Q_PROPERTY(TPrintRange PrintRange READ PrintRange WRITE SetPrintRange)
  Q_PROPERTY(bool PrintToFile READ PrintToFile WRITE SetPrintToFile)
  Q_PROPERTY(int ToPage READ ToPage WRITE SetToPage)

 public:
  enum TPrintRange { prAllPages, prSelection, prPageNums };
  Q_ENUM(TPrintRange)
  enum TPrintDialogOption { poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile };
  Q_ENUM(TPrintDialogOption)
  using TPrintDialogOptions = TSet<TPrintDialogOption>;

  Q_INVOKABLE explicit TPrintDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  // Confirmed: the printer (DialogPrinter()) is set up as chosen, and the
  // range, copies and collation are read back into the properties.
  bool Execute() override;

  bool Collate() const { return collate_; }
  void SetCollate(bool value) { collate_ = value; }
  int Copies() const { return copies_; }
  void SetCopies(int value) { copies_ = value; }
  int FromPage() const { return fromPage_; }
  void SetFromPage(int value) { fromPage_ = value; }
  int MaxPage() const { return maxPage_; }
  void SetMaxPage(int value) { maxPage_ = value; }
  int MinPage() const { return minPage_; }
  void SetMinPage(int value) { minPage_ = value; }
  TPrintDialogOptions Options() const { return options_; }
  void SetOptions(TPrintDialogOptions value) { options_ = value; }
  TPrintRange PrintRange() const { return printRange_; }
  void SetPrintRange(TPrintRange value) { printRange_ = value; }
  bool PrintToFile() const { return printToFile_; }
  void SetPrintToFile(bool value) { printToFile_ = value; }
  int ToPage() const { return toPage_; }
  void SetToPage(int value) { toPage_ = value; }

 private:
  bool collate_ = false;
  int copies_ = 0;
  int fromPage_ = 0;
  int maxPage_ = 0;
  int minPage_ = 0;
  TPrintDialogOptions options_;
  TPrintRange printRange_ = prAllPages;
  bool printToFile_ = false;
  int toPage_ = 0;
};
using TPrintRange = TPrintDialog::TPrintRange;
using TPrintDialogOption = TPrintDialog::TPrintDialogOption;
using TPrintDialogOptions = TPrintDialog::TPrintDialogOptions;
using enum TPrintDialog::TPrintRange;
using enum TPrintDialog::TPrintDialogOption;

// The printer the print dialog sets up and printing code prints on.
QPrinter& DialogPrinter();

// ---------------------------------------------------------------- find dialog

// A non-modal dialog: Execute shows it and returns at once; each press of its
// Find Next button copies the text and options into FindText and Options
// (with frFindNext) and raises OnFind.
class TFindDialog : public TCommonDialog {
  Q_OBJECT
  Q_PROPERTY(String FindText READ FindText WRITE SetFindText)
  Q_PROPERTY(TFindOptions Options READ Options WRITE SetOptions)

 public:
  enum TFindOption {
    frDown,
    frFindNext,
    frHideMatchCase,
    frHideWholeWord,
    frHideUpDown,
    frMatchCase,
    frDisableMatchCase,
    frDisableUpDown,
    frDisableWholeWord,
    frReplace,
    frReplaceAll,
    frWholeWord,
    frShowHelp
  };
  Q_ENUM(TFindOption)
  using TFindOptions = TSet<TFindOption>;

  Q_INVOKABLE explicit TFindDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

  // Raises OnShow and shows the dialog; answers whether it is shown.
  bool Execute() override;
  // Closes the dialog and raises OnClose (nothing when it is not shown).
  void CloseDialog();
  bool Shown() const { return shown_; }
  // What the Find Next button does once FindText and Options hold the
  // user's input: raises OnFind.
  virtual void Find();

  const String& FindText() const { return findText_; }
  void SetFindText(const String& value) { findText_ = value; }
  TFindOptions Options() const { return options_; }
  void SetOptions(TFindOptions value) { options_ = value; }

  TNotifyEvent OnFind;

 private:
  String findText_;
  TFindOptions options_{frDown};
  bool shown_ = false;
};
using TFindOption = TFindDialog::TFindOption;
using TFindOptions = TFindDialog::TFindOptions;
using enum TFindDialog::TFindOption;

// ---------------------------------------------------------------- message dialogs

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
  mbYes,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp,
  mbClose
};
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline constexpr TMsgDlgButtons mbYesNo{mbYes, mbNo};
inline constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// The modal result of a button (mbYes -> mrYes, ...).
TModalResult ModalResultOfButton(TMsgDlgBtn button);
// The button Enter chooses: OK, else Yes, else Retry, else the first button.
TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons);
// The button Escape chooses: Cancel, else No, else OK, else Abort, else Close;
// mbHelp when there is none of them (Escape then does nothing).
TMsgDlgBtn EscapeButton(TMsgDlgButtons buttons);

// Shows a message with an icon for its type and the buttons; answers the
// modal result of the button chosen (mrCancel when closed otherwise).
int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx);
// The message with an OK button, under the application's title.
void ShowMessage(const String& msg);
// How the application reports an exception nobody handled: its message, with
// a full stop added when it does not end in punctuation, in an error dialog.
void ShowExceptionMessage(const Exception& e);

// ---------------------------------------------------------------- the service

class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // File dialogs: on confirmation the service sets the dialog's FileName,
  // Files and FilterIndex and answers true.
  virtual bool ExecuteOpen(TOpenDialog& dialog) = 0;
  virtual bool ExecuteSave(TSaveDialog& dialog) = 0;
  // On confirmation the service sets the dialog's range, copies and
  // collation (and sets up DialogPrinter()) and answers true.
  virtual bool ExecutePrint(TPrintDialog& dialog) = 0;
  // Shows the non-modal find dialog; the service calls dialog.Find() for
  // each search the user asks for.
  virtual bool ShowFind(TFindDialog& dialog) = 0;
  virtual void CloseFind(TFindDialog& dialog) = 0;
  virtual int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx) = 0;
};

// The service in use: the one installed, else the one over Qt's dialogs.
TDialogService& DialogService();
// Installs a service (not owned); nullptr goes back to Qt's dialogs.
// Answers the service installed before (nullptr for Qt's).
TDialogService* SetDialogService(TDialogService* service);

// A service for tests: answers from queues and records every call. With an
// empty queue, file and print dialogs are cancelled and message dialogs
// answer their default button (DefaultButton).
class TScriptedDialogService : public TDialogService {
 public:
  enum TKind { dkOpen, dkSave, dkPrint, dkFind, dkCloseFind, dkMessage };
  struct Call {
    TKind Kind = dkOpen;
    // File dialogs: what the dialog showed.
    String Title;
    String Filter;
    int FilterIndex = 0;
    String FileName;
    String InitialDir;
    String DefaultExt;
    TOpenOptions Options;
    // Find dialogs: the dialog.
    TFindDialog* Find = nullptr;
    // Message dialogs.
    String Message;
    TMsgDlgType Type = mtCustom;
    TMsgDlgButtons Buttons;
    int HelpContext = 0;
  };

  // Installs itself on construction and puts the previous service back when
  // destroyed.
  TScriptedDialogService();
  ~TScriptedDialogService() override;

  // The next file dialog is confirmed with these files (the first is
  // FileName) and filter index (0 keeps the dialog's).
  void QueueFiles(const QStringList& files, int filterIndex = 0);
  void QueueFile(const String& file, int filterIndex = 0) { QueueFiles({file}, filterIndex); }
  // The next print dialog is confirmed (or cancelled).
  void QueuePrint(bool confirm);
  // The next file or print dialog is cancelled.
  void QueueCancel();
  // The next message dialog answers `modalResult`.
  void QueueAnswer(int modalResult);

  std::vector<Call> Calls;
  // Calls of one kind, in order.
  std::vector<Call> CallsOf(TKind kind) const;
  // Answers still queued (a test can check that all were used).
  int PendingDialogAnswers() const { return int(dialogAnswers_.size()); }
  int PendingMessageAnswers() const { return int(messageAnswers_.size()); }

  bool ExecuteOpen(TOpenDialog& dialog) override;
  bool ExecuteSave(TSaveDialog& dialog) override;
  bool ExecutePrint(TPrintDialog& dialog) override;
  bool ShowFind(TFindDialog& dialog) override;
  void CloseFind(TFindDialog& dialog) override;
  int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx) override;

 private:
  struct DialogAnswer {
    bool Confirm = false;
    QStringList Files;
    int FilterIndex = 0;
  };
  bool AnswerFileDialog(TKind kind, TOpenDialog& dialog);
  DialogAnswer NextDialogAnswer();

  std::deque<DialogAnswer> dialogAnswers_;
  std::deque<int> messageAnswers_;
  TDialogService* previous_;
};

// Registers the dialog classes and their events with the form streaming. Idempotent.
void InitializeDialogs();
