#include "platform/shdocvw/DownloadDialog.h"

#include "platform/classlib/Dialogs.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/BrowserDialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>

namespace {

const char* const kSettingsKey = "\\Software\\Microsoft\\Internet Explorer";
const char* const kFolderValue = "Download Directory";
constexpr qsizetype kMaxNameBytes = 255;

// Replaces what may not stand in a name and tidies its ends.
String tidyName(const String& name) {
  // "." and ".." are left for the dots to go below.
  String r =
      name == QLatin1String(".") || name == QLatin1String("..") || name.isEmpty() ? name : SafeFileName(name);
  for (QChar& c : r) {
    // C1 controls, and formatting characters such as the right-to-left
    // override that make "txt.exe" read as "exe.txt".
    if ((c.unicode() >= 0x80 && c.unicode() < 0xA0) || c.category() == QChar::Other_Format)
      c = QLatin1Char('_');
  }
  r = r.trimmed();
  qsizetype start = 0;
  while (start < r.size() && (r[start] == QLatin1Char('.') || r[start].isSpace())) ++start;
  qsizetype end = r.size();
  while (end > start && (r[end - 1] == QLatin1Char('.') || r[end - 1].isSpace())) --end;
  r = r.mid(start, end - start);
  if (r.isEmpty()) return QStringLiteral("download");

  // File systems take 255 bytes: shorten the stem, keep a short extension.
  if (r.toUtf8().size() > kMaxNameBytes) {
    const qsizetype dot = r.lastIndexOf(QLatin1Char('.'));
    String ext = dot > 0 && r.size() - dot <= 16 ? r.mid(dot) : String();
    String stem = ext.isEmpty() ? r : r.left(dot);
    while (!stem.isEmpty() && (stem + ext).toUtf8().size() > kMaxNameBytes) {
      stem.chop(1);
      // Never keep half of a surrogate pair.
      if (!stem.isEmpty() && stem.back().isHighSurrogate()) stem.chop(1);
    }
    r = stem + ext;
  }
  return r;
}

QString fileExtension(const String& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? name.mid(dot + 1) : QString();
}

void rememberFolder(const String& path) {
  try {
    TRegistry reg;
    if (reg.OpenKey(QLatin1String(kSettingsKey), true))
      reg.WriteString(QLatin1String(kFolderValue), QFileInfo(path).absolutePath());
  } catch (const Exception&) {
    // Only a convenience for the next dialog.
  }
}

// Asks through the class library's save dialog; true with an absolute path
// that is not a folder.
bool askSavePath(const String& title, const String& fileName, const String& filter, int& filterIndex,
                 String& path) {
  TSaveDialog dialog(nullptr);
  dialog.SetTitle(title);
  dialog.SetInitialDir(DownloadStartFolder());
  dialog.SetFileName(fileName);
  dialog.SetFilter(filter);
  dialog.SetFilterIndex(filterIndex);
  dialog.SetOptions({ofOverwritePrompt, ofHideReadOnly, ofPathMustExist, ofNoReadOnlyReturn, ofEnableSizing});
  if (!dialog.Execute() || dialog.FileName().isEmpty()) return false;
  String chosen = NormalizePath(dialog.FileName());
  if (QFileInfo(chosen).isRelative()) chosen = IncludeTrailingPathDelimiter(dialog.InitialDir()) + chosen;
  chosen = QFileInfo(chosen).absoluteFilePath();
  if (QFileInfo(chosen).isDir()) return false;
  path = chosen;
  filterIndex = dialog.FilterIndex();
  rememberFolder(path);
  return true;
}

String sourceText(const QUrl& url) {
  const String host = url.host();
  const String address = url.toDisplayString(QUrl::RemoveUserInfo);
  return host.isEmpty() ? address : QStringLiteral("%1 (%2)").arg(host, address);
}

// The file-download dialog of one download. The engine writes what arrives
// into the profile from the start, so the size shows as soon as the server
// gives it; Save asks where, and the finished file is moved there. Cancel,
// at any time, ends the transfer and removes what had arrived.
class DownloadDialog : public QDialog {
 public:
  DownloadDialog(QWidget* parent, QWebEngineDownloadRequest* download, const String& name,
                 const String& source)
      : QDialog(parent), download_(download), name_(name) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    question_ = new QLabel(QStringLiteral("Do you want to save this file?"), this);
    layout->addWidget(question_);
    auto* form = new QFormLayout;
    auto addRow = [this, form](const char* label, const String& text) {
      auto* value = new QLabel(this);
      value->setTextFormat(Qt::PlainText);  // a server's text, never markup
      value->setText(text);
      value->setTextInteractionFlags(Qt::TextSelectableByMouse);
      form->addRow(QString::fromLatin1(label), value);
      return value;
    };
    addRow("Name:", name);
    addRow("From:", source);
    size_ = addRow("Size:", DownloadSizeText(-1));
    to_ = addRow("To:", String());
    form_ = form;
    form->setRowVisible(to_, false);
    layout->addLayout(form);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    bar_->hide();
    layout->addWidget(bar_);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    layout->addWidget(status_);
    auto* row = new QHBoxLayout;
    row->addStretch();
    save_ = new QPushButton(QStringLiteral("&Save"), this);
    save_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    row->addWidget(save_);
    row->addWidget(cancel_);
    layout->addLayout(row);
    connect(save_, &QPushButton::clicked, this, [this] { save(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(420);

    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this] { update(); });
    connect(download, &QWebEngineDownloadRequest::totalBytesChanged, this, [this] { update(); });
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, [this] { update(); });
    connect(download, &QObject::destroyed, this, [this] { update(); });
    update();
  }

  ~DownloadDialog() override { abandon(); }

  // Cancel while the file is not in place; Close afterwards.
  void reject() override {
    abandon();
    QDialog::reject();
  }

 protected:
  void showEvent(QShowEvent* e) override {
    QDialog::showEvent(e);
    activateWindow();
  }
  void hideEvent(QHideEvent* e) override {
    QDialog::hideEvent(e);
    // Hidden by code, as when its window is destroyed: the same as Cancel.
    if (!e->spontaneous() && isHidden() && !closing_) {
      closing_ = true;
      reject();
    }
  }

 private:
  bool running() const {
    return download_ && (download_->state() == QWebEngineDownloadRequest::DownloadInProgress ||
                         download_->state() == QWebEngineDownloadRequest::DownloadRequested);
  }
  String stagedFile() const {
    return download_ ? QDir(download_->downloadDirectory()).filePath(download_->downloadFileName())
                     : String();
  }

  // Ends a transfer whose file is not in place and removes what arrived.
  void abandon() {
    closing_ = true;
    if (placed_) return;
    const String staged = stagedFile();
    if (running()) download_->cancel();
    if (!staged.isEmpty()) QFile::remove(staged);
  }

  void save() {
    const String ext = fileExtension(name_);
    String filter = ext.isEmpty() ? String() : QStringLiteral("%1 file (*.%2)|*.%2|").arg(ext.toUpper(), ext);
    filter += QStringLiteral("All files (*.*)|*.*");
    int filterIndex = 1;
    String path;
    QPointer<DownloadDialog> self(this);
    const bool chosen = askSavePath(QStringLiteral("Save As"), name_, filter, filterIndex, path);
    if (!self) return;
    if (!chosen) {
      reject();
      return;
    }
    target_ = path;
    to_->setText(path);
    form_->setRowVisible(to_, true);
    question_->hide();
    save_->hide();
    bar_->show();
    update();
  }

  // Moves the finished file to where the user chose, replacing a file the
  // user agreed to replace.
  void place() {
    const String staged = stagedFile();
    std::error_code error;
    std::filesystem::rename(staged.toStdString(), target_.toStdString(), error);
    if (error) {
      // Another file system: a copy beside the target, renamed into place.
      const String part = target_ + QStringLiteral(".part");
      QFile::remove(part);
      if (QFile::copy(staged, part))
        std::filesystem::rename(part.toStdString(), target_.toStdString(), error);
      else
        error = std::make_error_code(std::errc::io_error);
      if (error) QFile::remove(part);
      QFile::remove(staged);
    }
    placed_ = !error;
    finish(
        placed_
            ? QStringLiteral("Download complete: %1 saved.").arg(DownloadSizeText(QFileInfo(target_).size()))
            : QStringLiteral("The file could not be saved to %1.").arg(target_));
  }

  void update() {
    if (placed_ || closing_) return;
    if (!download_) {
      finish(QStringLiteral("The download was ended."));
      return;
    }
    const qint64 received = download_->receivedBytes();
    const bool complete = download_->state() == QWebEngineDownloadRequest::DownloadCompleted;
    // The engine counts an unknown size as 0 until the end.
    const qint64 total = complete ? received : download_->totalBytes() > 0 ? download_->totalBytes() : -1;
    size_->setText(DownloadSizeText(total));
    switch (download_->state()) {
      case QWebEngineDownloadRequest::DownloadCompleted:
        if (!target_.isEmpty())
          place();
        else
          status_->setText(QStringLiteral("Received; choose where to save it."));
        return;
      case QWebEngineDownloadRequest::DownloadCancelled:
        finish(QStringLiteral("The download was cancelled."));
        return;
      case QWebEngineDownloadRequest::DownloadInterrupted:
        QFile::remove(stagedFile());
        finish(QStringLiteral("The download failed: %1.").arg(download_->interruptReasonString()));
        return;
      default: break;
    }
    if (target_.isEmpty()) return;
    if (total > 0) {
      bar_->setRange(0, 1000);
      bar_->setValue(int(std::min<qint64>(1000, received * 1000 / total)));
      status_->setText(
          QStringLiteral("%1 of %2 copied").arg(DownloadSizeText(received), DownloadSizeText(total)));
    } else {
      bar_->setRange(0, 0);  // size unknown: the bar only shows that something happens
      status_->setText(QStringLiteral("%1 copied").arg(DownloadSizeText(received)));
    }
  }

  void finish(const String& text) {
    bar_->setRange(0, 1);
    bar_->setValue(placed_ ? 1 : 0);
    question_->hide();
    save_->hide();
    status_->setText(text);
    cancel_->setText(QStringLiteral("Close"));
  }

  QPointer<QWebEngineDownloadRequest> download_;
  const String name_;
  String target_;
  QLabel* question_;
  QFormLayout* form_;
  QLabel* size_;
  QLabel* to_;
  QProgressBar* bar_;
  QLabel* status_;
  QPushButton* save_;
  QPushButton* cancel_;
  bool placed_ = false;
  bool closing_ = false;
};

}  // namespace

String SafeDownloadFileName(const String& proposed) {
  const qsizetype cut =
      std::max(proposed.lastIndexOf(QLatin1Char('/')), proposed.lastIndexOf(QLatin1Char('\\')));
  return tidyName(proposed.mid(cut + 1));
}

String SafeTitleFileName(const String& title) { return tidyName(title); }

String DownloadSizeText(qint64 bytes) {
  if (bytes < 0) return QStringLiteral("Unknown");
  if (bytes < 1024) return QStringLiteral("%1 bytes").arg(bytes);
  static const char* const units[] = {"KB", "MB", "GB", "TB"};
  double value = double(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

String DownloadStartFolder() {
  try {
    TRegistry reg;
    if (reg.OpenKeyReadOnly(QLatin1String(kSettingsKey))) {
      const String last = reg.ReadString(QLatin1String(kFolderValue));
      if (!last.isEmpty() && DirectoryExists(last)) return last;
    }
  } catch (const Exception&) {
  }
  const String downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (!downloads.isEmpty() && DirectoryExists(downloads)) return downloads;
  return QDir::homePath();
}

bool OfferDownload(HWND owner, QWebEngineDownloadRequest* download) {
  if (!download) return false;
  String proposed = download->downloadFileName();
  if (proposed.isEmpty()) proposed = download->suggestedFileName();
  if (proposed.isEmpty()) proposed = download->url().fileName();
  const String name = SafeDownloadFileName(proposed);

  // What arrives waits in the engine's folder of the profile under a name of
  // its own until the user says where it goes.
  const String staging = download->downloadDirectory();
  if (staging.isEmpty() || !ForceDirectories(staging)) return false;
  download->setDownloadFileName(
      QStringLiteral("%1-%2.part").arg(QCoreApplication::applicationPid()).arg(download->id()));
  download->accept();

  const HWND top = BrowserDialogTop(owner);
  auto* dialog =
      new DownloadDialog(top ? WidgetOf(top) : nullptr, download, name, sourceText(download->url()));
  CreateBrowserDialogWindow(dialog, top, QStringLiteral("File Download"));
  dialog->show();
  return true;
}

bool AskSavePageLocation(const String& title, const QUrl& url, String& path,
                         QWebEngineDownloadRequest::SavePageFormat& format) {
  static constexpr QWebEngineDownloadRequest::SavePageFormat formats[] = {
      QWebEngineDownloadRequest::SingleHtmlSaveFormat, QWebEngineDownloadRequest::CompleteHtmlSaveFormat,
      QWebEngineDownloadRequest::MimeHtmlSaveFormat};
  const String base = SafeTitleFileName(Trim(title).isEmpty() ? url.host() : title);
  int filterIndex = 1;
  if (!askSavePath(QStringLiteral("Save Webpage"), base + QStringLiteral(".html"),
                   QStringLiteral("Webpage, HTML only (*.htm;*.html)|*.htm;*.html|"
                                  "Webpage, complete (*.htm;*.html)|*.htm;*.html|"
                                  "Web Archive, single file (*.mht)|*.mht"),
                   filterIndex, path))
    return false;
  format = formats[std::clamp(filterIndex, 1, 3) - 1];
  const bool archive = format == QWebEngineDownloadRequest::MimeHtmlSaveFormat;
  const String ext = fileExtension(QFileInfo(path).fileName()).toLower();
  const QStringList fitting = archive ? QStringList{QStringLiteral("mht"), QStringLiteral("mhtml")}
                                      : QStringList{QStringLiteral("htm"), QStringLiteral("html")};
  if (!fitting.contains(ext)) {
    // The other format's extension (as the name offered first has) is replaced.
    static const QStringList pageExtensions{QStringLiteral("htm"), QStringLiteral("html"),
                                            QStringLiteral("mht"), QStringLiteral("mhtml")};
    if (pageExtensions.contains(ext)) path.chop(ext.size() + 1);
    path += archive ? QStringLiteral(".mht") : QStringLiteral(".html");
  }
  return true;
}

void AcceptSavePageDownload(QWebEngineDownloadRequest* download, const String& path,
                            QWebEngineDownloadRequest::SavePageFormat format) {
  const QFileInfo target(path);
  download->setDownloadDirectory(target.absolutePath());
  download->setDownloadFileName(target.fileName());
  download->setSavePageFormat(format);
  download->accept();
}
