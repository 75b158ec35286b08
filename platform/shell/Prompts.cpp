// What the shell asks the user: through the installed prompts, else through
// the class library's dialog service and input dialogs.
#include "platform/classlib/Dialogs.h"
#include "platform/shell/ShellItems.h"

#include <QDateTime>
#include <QFileInfo>
#include <QInputDialog>
#include <QLocale>

using namespace shelldetail;

namespace {

TShellPrompts& installed() {
  static TShellPrompts prompts;
  return prompts;
}

QWidget* ownerWidget(HWND owner) { return owner ? WidgetOf(owner) : nullptr; }

bool askText(HWND owner, const String& title, const String& label, String& value) {
  bool ok = false;
  const String answer =
      QInputDialog::getText(ownerWidget(owner), title, label, QLineEdit::Normal, value, &ok);
  if (!ok) return false;
  value = answer;
  return true;
}

String sizeText(qint64 bytes) {
  return QLocale::c().toString(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

}  // namespace

TShellPrompts SetShellPrompts(TShellPrompts prompts) {
  return std::exchange(installed(), std::move(prompts));
}

namespace shelldetail {

bool ConfirmDelete(HWND owner, const QStringList& paths, bool toTrash) {
  if (installed().ConfirmDelete) return installed().ConfirmDelete(owner, paths, toTrash);
  const String what = paths.size() == 1 ? QLatin1Char('\'') + ExtractFileName(paths[0]) + QLatin1Char('\'')
                                        : QStringLiteral("these %1 items").arg(paths.size());
  const String text = toTrash ? QStringLiteral("Are you sure you want to move %1 to the Trash?").arg(what)
                              : QStringLiteral("Are you sure you want to permanently delete %1?").arg(what);
  return MessageDlg(text, mtConfirmation, mbYesNo, 0) == mrYes;
}

bool ConfirmReplace(HWND owner, const String& source, const String& target) {
  if (installed().ConfirmReplace) return installed().ConfirmReplace(owner, source, target);
  return MessageDlg(QStringLiteral("This folder already contains an item named '%1'.\n\n"
                                   "Do you want to replace it?")
                        .arg(ExtractFileName(target)),
                    mtConfirmation, mbYesNo, 0) == mrYes;
}

bool AskNewName(HWND owner, const String& path, String& name) {
  if (installed().AskNewName) return installed().AskNewName(owner, path, name);
  return askText(owner, QStringLiteral("Rename"), QStringLiteral("New name:"), name);
}

void ShowProperties(HWND owner, const QStringList& paths) {
  if (installed().ShowProperties) return installed().ShowProperties(owner, paths);
  QStringList blocks;
  for (const String& path : paths) {
    const QFileInfo info(path);
    QStringList lines;
    lines << info.fileName();
    lines << QStringLiteral("Type: ") + TypeNameOfFile(info.fileName(), info.isDir());
    lines << QStringLiteral("Location: ") + info.absolutePath();
    if (info.isFile()) lines << QStringLiteral("Size: ") + sizeText(info.size());
    lines << QStringLiteral("Modified: ") +
                 info.lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    blocks << lines.join(QLatin1Char('\n'));
  }
  MessageDlg(blocks.join(QStringLiteral("\n\n")), mtInformation, TMsgDlgButtons{mbOK}, 0);
}

bool AskFavoriteName(HWND owner, const String& url, String& name) {
  if (installed().AskFavoriteName) return installed().AskFavoriteName(owner, url, name);
  return askText(owner, QStringLiteral("Add Favorite"), QStringLiteral("Name:"), name);
}

}  // namespace shelldetail
