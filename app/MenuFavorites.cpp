// The main window's favorites: the selected favorite to the trash and the
// Favorites written as a bookmark file that the browser then shows.
#include "app/Menu.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "platform/shell/ShlObj.h"

namespace Menu {

namespace {

// The files and folders that deleting the favorite `Caption` (the item at
// `Selected`) in `Folder` takes.
QStringList FavoriteDeleteTargets(const String& Folder, const String& Caption, const String& Selected) {
  QStringList targets;
  if (Caption.isEmpty()) return targets;
  // The caption is matched as it stands: "*" and "?" are characters of a
  // name here, not a pattern. A folder of the same name is a favorite of
  // its own and goes only when it is the one selected.
  const String prefix = Caption + QLatin1Char('.');
  const QFileInfoList entries = QDir(Folder).entryInfoList(
      QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    const String name = entry.fileName();
    if (name == Caption || name.startsWith(prefix)) targets << entry.filePath();
  }
  const String selected = QDir::cleanPath(Selected);
  if (!Selected.isEmpty() && QFileInfo(selected).absolutePath() == QDir::cleanPath(Folder) &&
      QFileInfo::exists(selected) && !targets.contains(selected))
    targets << selected;
  return targets;
}

}  // namespace

String TMyMenuForm::SelectedFavoriteCaption() const {
  if (!FavoritesList) return String();
  return FavoritesList->RowCaption(FavoritesList->ItemIndex());
}

void TMyMenuForm::DeleteSelectedFavorite() {
  if (!FavoritesList) return;
  const int index = FavoritesList->ItemIndex();
  const QStringList targets = FavoriteDeleteTargets(
      FavoritesList->CurrentPath(), FavoritesList->RowCaption(index), FavoritesList->RowPath(index));
  if (!targets.isEmpty()) {
    // One request for all of them: the shell confirms once, shows no
    // progress and moves them to the trash. Each path ends in a zero, the
    // list in a second one.
    std::u16string from;
    for (const String& path : targets) {
      from += path.toStdU16String();
      from += u'\0';
    }
    from += u'\0';
    SHFILEOPSTRUCTW op;
    op.hwnd = Application ? Application->Handle() : nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = reinterpret_cast<LPCWSTR>(from.c_str());
    op.fFlags = FOF_SILENT | FOF_ALLOWUNDO;
    SHFileOperationW(&op);
  }
  // Cancelled, refused or done: the list shows the folder as it is now.
  FavoritesList->Refresh();
}

String TMyMenuForm::ExportTargetName() const {
  return ExportFavorite ? ExportFavorite->TargetFullName() : String();
}

void TMyMenuForm::ExportFavorites() {
  if (!ExportFavorite) return;
  // The browser goes to the file only when it was written, and to the very
  // file written.
  if (ExportFavorite->ExportFavorites() && WB)
    WB->Navigate(QUrl::fromLocalFile(ExportFavorite->TargetFullName()).toString());
}

}  // namespace Menu
