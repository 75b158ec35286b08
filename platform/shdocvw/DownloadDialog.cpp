#include "platform/shdocvw/DownloadDialog.h"

#include "platform/classlib/Dialogs.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/BrowserDialogs.h"

#include <QDir>
#include <QDialog>
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

namespace {

const char* const kSettingsKey = "\\Software\\Microsoft\\Internet Explorer";
const char* const kFolderValue = "Download Directory";
constexpr qsizetype kMaxNameBytes = 255;

// Replaces what may not stand in a name and tidies its ends.
String tidyName(const String& name) {
  // "." and ".." are left for the dots to go below.
  String r = name == QLatin1String(".") || name == QLatin1String("..") || name.isEmpty() ? name : SafeFileName(name);
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

// Follows an accepted download: what is saved where, how far it got, and
// Cancel; after the end, what became of it and Close.
class DownloadProgressDialog : public QDialog {
 public:
  DownloadProgressDialog(QWidget* parent, QWebEngineDownloadRequest* download, const String& name,
                         const String& source, const String& path)
      : QDialog(parent), download_(download) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto addRow = [this, form](const char* label, const String& text) {
      auto* value = new QLabel(this);
      value->setTextFormat(Qt::PlainText);
      value->setText(text);
      value->setTextInteractionFlags(Qt::TextSelectableByMouse);
      form->addRow(QString::fromLatin1(label), value);
    };
    addRow("Saving:", name);
    addRow("From:", source);
    addRow("To:", path);
    layout->addLayout(form);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    layout->addWidget(bar_);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    layout->addWidget(status_);
    auto* row = new QHBoxLayout;
    row->addStretch();
    button_ = new QPushButton(QStringLiteral("Cancel"), this);
    row->addWidget(button_);
    layout->addLayout(row);
    connect(button_, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(420);

    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this] { update(); });
    connect(download, &QWebEngineDownloadRequest::totalBytesChanged, this, [this] { update(); });
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, [this] { update(); });
    connect(download, &QObject::destroyed, this, [this] { update(); });
    update();
  }

  ~DownloadProgressDialog() override {
    // A download nobody follows any more is not left running.
    if (running()) download_->cancel();
  }

  // Cancel while running; Close afterwards.
  void reject() override {
    if (running()) download_->cancel();
    done_ = true;
    QDialog::reject();
  }

 protected:
  void showEvent(QShowEvent* e) override {
    QDialog::showEvent(e);
    activateWindow();
  }
  void hideEvent(QHideEvent* e) override {
    QDialog::hideEvent(e);
    // Hidden by code (its window destroyed): the same as Cancel.
    if (!e->spontaneous() && !done_) reject();
  }

 private:
  bool running() const {
    return download_ && (download_->state() == QWebEngineDownloadRequest::DownloadInProgress ||
                         download_->state() == QWebEngineDownloadRequest::DownloadRequested);
  }

  void update() {
    if (!download_) {
      finish(QStringLiteral("The download was ended."));
      return;
    }
    const qint64 received = download_->receivedBytes();
    const qint64 total = download_->totalBytes();
    switch (download_->state()) {
      case QWebEngineDownloadRequest::DownloadCompleted:
        bar_->setRange(0, 1);
        bar_->setValue(1);
        finish(QStringLiteral("Download complete: %1 saved.").arg(DownloadSizeText(received)));
        return;
      case QWebEngineDownloadRequest::DownloadCancelled:
        finish(QStringLiteral("The download was cancelled."));
        return;
      case QWebEngineDownloadRequest::DownloadInterrupted:
        finish(QStringLiteral("The download failed: %1.").arg(download_->interruptReasonString()));
        return;
      default:
        break;
    }
    if (total > 0) {
      bar_->setRange(0, 1000);
      bar_->setValue(int(std::min<qint64>(1000, received * 1000 / total)));
      status_->setText(QStringLiteral("%1 of %2 copied").arg(DownloadSizeText(received), DownloadSizeText(total)));
    } else {
      bar_->setRange(0, 0);  // size unknown: the bar only shows that something happens
      status_->setText(QStringLiteral("%1 copied").arg(DownloadSizeText(received)));
    }
  }

  void finish(const String& text) {
    if (bar_->maximum() == 0) bar_->setRange(0, 1);
    status_->setText(text);
    button_->setText(QStringLiteral("Close"));
  }

  QPointer<QWebEngineDownloadRequest> download_;
  QProgressBar* bar_;
  QLabel* status_;
  QPushButton* button_;
  bool done_ = false;
};

}  // namespace

String SafeDownloadFileName(const String& proposed) {
  const qsizetype cut = std::max(proposed.lastIndexOf(QLatin1Char('/')), proposed.lastIndexOf(QLatin1Char('\\')));
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

bool OfferDownload(HWND owner, QWebEngineDownloadRequest* request) {
  QPointer<QWebEngineDownloadRequest> download(request);
  if (!download) return false;
  String proposed = download->downloadFileName();
  if (proposed.isEmpty()) proposed = download->suggestedFileName();
  if (proposed.isEmpty()) proposed = download->url().fileName();
  const String name = SafeDownloadFileName(proposed);
  const String source = sourceText(download->url());

  std::vector<TBrowserDialogField> fields{{QStringLiteral("Name:"), name, false, true},
                                          {QStringLiteral("From:"), source, false, true},
                                          {QStringLiteral("Size:"), DownloadSizeText(download->totalBytes()), false, true}};
  if (ShowBrowserDialog(owner, QStringLiteral("File Download"), QStringLiteral("Do you want to save this file?"),
                        MB_OKCANCEL | MB_ICONQUESTION, &fields, {QStringLiteral("&Save"), QStringLiteral("Cancel")}) !=
          IDOK ||
      !download)
    return false;

  const String ext = fileExtension(name);
  String filter = ext.isEmpty() ? String()
                                : QStringLiteral("%1 file (*.%2)|*.%2|").arg(ext.toUpper(), ext);
  filter += QStringLiteral("All files (*.*)|*.*");
  int filterIndex = 1;
  String path;
  if (!askSavePath(QStringLiteral("Save As"), name, filter, filterIndex, path) || !download) return false;
  if (download->state() != QWebEngineDownloadRequest::DownloadRequested) return false;

  const QFileInfo target(path);
  download->setDownloadDirectory(target.absolutePath());
  download->setDownloadFileName(target.fileName());
  download->accept();

  const HWND top = BrowserDialogTop(owner);
  auto* progress = new DownloadProgressDialog(top ? WidgetOf(top) : nullptr, download, name, source, path);
  CreateBrowserDialogWindow(progress, top, QStringLiteral("File Download"));
  progress->show();
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
    static const QStringList pageExtensions{QStringLiteral("htm"), QStringLiteral("html"), QStringLiteral("mht"),
                                            QStringLiteral("mhtml")};
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
