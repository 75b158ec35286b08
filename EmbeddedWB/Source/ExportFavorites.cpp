#include "EmbeddedWB/Source/ExportFavorites.h"

#include "platform/classlib/Dialogs.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShlObj.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <algorithm>

namespace ExportFavorites {

namespace {

const QLatin1String kShellFolders("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

String Indent(int Level) { return String(4 * std::max(Level, 0), QLatin1Char(' ')); }

// Whether the open folder `Outer` holds the folder `Inner` (or is it).
bool Contains(const QStringList& Outer, const QStringList& Inner) {
  if (Outer.size() > Inner.size()) return false;
  return std::equal(Outer.begin(), Outer.end(), Inner.begin());
}

}  // namespace

QStringList FolderComponents(const String& Folder) {
  return Folder.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

void SortUrlRecs(TUrlRecs& Records) {
  std::vector<std::pair<QStringList, std::size_t>> keys;
  keys.reserve(Records.size());
  for (std::size_t i = 0; i < Records.size(); ++i) keys.emplace_back(FolderComponents(Records[i].Folder), i);
  std::stable_sort(keys.begin(), keys.end(), [&Records](const auto& a, const auto& b) {
    const auto mismatch = std::mismatch(a.first.begin(), a.first.end(), b.first.begin(), b.first.end());
    if (mismatch.first != a.first.end() && mismatch.second != b.first.end())
      return mismatch.first->compare(*mismatch.second) < 0;
    if (a.first.size() != b.first.size()) return a.first.size() < b.first.size();
    return Records[a.second].Name.compare(Records[b.second].Name) < 0;
  });
  TUrlRecs sorted;
  sorted.reserve(Records.size());
  for (const auto& key : keys) sorted.push_back(std::move(Records[key.second]));
  Records = std::move(sorted);
}

String ResolveFavoritesPath(const String& FavoritesPath) {
  if (FavoritesPath != QLatin1String("Auto")) return FavoritesPath;
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKeyReadOnly(kShellFolders)) return String();
  return reg.ReadString(QStringLiteral("Favorites"));
}

String HtmlText(const String& Text) {
  String out;
  out.reserve(Text.size() + Text.size() / 8);
  for (const QChar c : Text) {
    switch (c.unicode()) {
      case '&': out += QLatin1String("&amp;"); break;
      case '<': out += QLatin1String("&lt;"); break;
      case '>': out += QLatin1String("&gt;"); break;
      case '"': out += QLatin1String("&quot;"); break;
      default: out += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u' ') : c;
    }
  }
  return out;
}

QStringList BookmarkLines(const TUrlRecs& Records, const String& Title) {
  QStringList lines{QStringLiteral("<!-- Made with ") + HtmlText(Title) + QStringLiteral(" -->"),
                    String(),
                    QStringLiteral("<TITLE>Exported Favorites</TITLE>"),
                    QStringLiteral("<H1>Exported Favorites</H1>"),
                    String(),
                    QStringLiteral("<DL><P>")};
  // The folders whose lists are open, outermost first.
  std::vector<std::pair<QStringList, int>> open;
  const auto closeUntilInside = [&](const QStringList& folder) {
    while (!open.empty() && !Contains(open.back().first, folder)) {
      lines << Indent(open.back().second) + QStringLiteral("</DL><P>") << String();
      open.pop_back();
    }
  };
  for (const TUrlRec& rec : Records) {
    const QStringList folder = FolderComponents(rec.Folder);
    if (rec.Url.isEmpty() && rec.Name.isEmpty()) {
      closeUntilInside(folder.mid(0, folder.size() - 1));
      lines << String()
            << Indent(rec.Level) + QStringLiteral("<DT><H3>") + HtmlText(folder.value(folder.size() - 1)) +
                   QStringLiteral("</H3>")
            << Indent(rec.Level) + QStringLiteral("<DL><P>");
      open.emplace_back(folder, rec.Level);
    } else {
      closeUntilInside(folder);
      String name = rec.Name;
      if (name.endsWith(QLatin1Char('.'))) name.chop(1);
      lines << Indent(rec.Level) + QStringLiteral("<DT><A HREF=\"") + HtmlText(rec.Url) +
                   QStringLiteral("\">") + HtmlText(name) + QStringLiteral("</A><BR>");
    }
  }
  closeUntilInside(QStringList{});
  lines << String() << QStringLiteral("</DL><P>");
  return lines;
}

String DefaultTargetPath() { return QDir::homePath(); }

void ErrorDialog(const String& Text) { MessageDlg(Text, mtError, TMsgDlgButtons{mbOK}, 0); }

// ---------------------------------------------------------------- TFavoritesFileComponent

TFavoritesFileComponent::TFavoritesFileComponent(TComponent* AOwner, const String& About)
    : TComponent(AOwner), about_(About), successMessage_(std::make_unique<TStringList>()) {}

TFavoritesFileComponent::~TFavoritesFileComponent() = default;

void TFavoritesFileComponent::SetSuccessMessage(TStringList* v) {
  if (v)
    successMessage_->Assign(*v);
  else
    successMessage_->Clear();
}

bool TFavoritesFileComponent::CheckSuccessMessage() const {
  if (!successMessage_->GetText().isEmpty()) return true;
  ErrorDialog(QStringLiteral("You must enter a message or turn off messages.\n\rPlease change it."));
  return false;
}

void TFavoritesFileComponent::ReportSuccess(const String& Text) const {
  if (showSuccessMessage_) MessageDlg(Text, mtInformation, TMsgDlgButtons{mbOK}, 0);
  if (statusBar_) statusBar_->SetSimpleText(Text);
}

void TFavoritesFileComponent::ShowInBrowser(TEmbeddedWB* Browser, const String& FileName) {
  if (Browser)
    Browser->Navigate(QUrl::fromLocalFile(NormalizePath(FileName)).toString());
  else
    ErrorDialog(QStringLiteral("Please assign a WebBrowser before using this feature."));
}

// ---------------------------------------------------------------- TExportFavorite

TExportFavorite::TExportFavorite(TComponent* AOwner)
    : TFavoritesFileComponent(
          AOwner, QStringLiteral("TExportFavorite: exports the Favorites folder to a bookmark file.")),
      targetPath_(DefaultTargetPath()) {
  SuccessMessage()->Add(QStringLiteral("Your favorites have been exported successfully!"));
  SuccessMessage()->SetText(QStringLiteral("Your favorites have been exported to successfully!"));
}

TExportFavorite::~TExportFavorite() = default;

String TExportFavorite::TargetFullName() const {
  return IncludeTrailingPathDelimiter(NormalizePath(targetPath_)) + targetFileName_;
}

void TExportFavorite::ScanFolder(const String& Path, const String& Folder, int Level, TUrlRecs& Records,
                                 QSet<String>& Visited) const {
  TSearchRec rec;
  for (int rc = FindFirst(Path + QStringLiteral("/*.*"), faAnyFile, rec); rc == 0; rc = FindNext(rec)) {
    if (rec.Name == QLatin1String(".") || rec.Name == QLatin1String("..")) continue;
    const String full = Path + QLatin1Char('/') + rec.Name;
    if (rec.Attr & faDirectory) {
      // A folder reached a second time (a link back into the tree) is left out.
      const String canonical = QFileInfo(full).canonicalFilePath();
      if (canonical.isEmpty() || Visited.contains(canonical)) continue;
      Visited.insert(canonical);
      const String folder = Folder.isEmpty() ? rec.Name : Folder + QLatin1Char('\\') + rec.Name;
      if (!(rec.Attr & faSysFile)) Records.push_back({folder, String(), String(), Level});
      ScanFolder(full, folder, Level + 1, Records, Visited);
    } else if (UpperCase(ExtractFileExt(rec.Name)) == QLatin1String(".URL")) {
      TIniFile ini(full);
      Records.push_back({Folder, rec.Name.left(rec.Name.size() - 3),
                         ini.ReadString(QStringLiteral("InternetShortcut"), QStringLiteral("URL"),
                                        QStringLiteral("no path")),
                         Level});
    }
  }
  FindClose(rec);
}

bool TExportFavorite::WriteFile(const TUrlRecs& Records) {
  if (targetPath_.isEmpty()) {
    ErrorDialog(QStringLiteral("The target path is invalid.\n\rPlease change it."));
    return false;
  }
  if (targetFileName_.isEmpty()) {
    ErrorDialog(QStringLiteral("The target file name is invalid.\n\rPlease change it."));
    return false;
  }
  if (Pos(QStringLiteral("htm"), targetFileName_) <= 1) {
    ErrorDialog(
        QStringLiteral("The target file name extension is invalid.\n\rPlease change it to \"*.htm\"."));
    return false;
  }
  if (!CheckSuccessMessage()) return false;
  const String fullName = TargetFullName();
  TStringList lines;
  lines.AddStrings(BookmarkLines(Records, Application ? Application->Title() : String()));
  lines.SaveToFile(fullName);

  ReportSuccess(SuccessMessage()->GetText() + QStringLiteral("The file name is: ") + fullName);
  return true;
}

bool TExportFavorite::ExportFavorites() {
  root_ = NormalizePath(ResolveFavoritesPath(FavoritesPath()));
  if (root_.isEmpty()) {
    ErrorDialog(QStringLiteral("The favorites file path is invalid.\n\rPlease change it."));
    return false;
  }
  root_ = ExcludeTrailingPathDelimiter(root_);
  TUrlRecs records;
  QSet<String> visited{QFileInfo(root_).canonicalFilePath()};
  ScanFolder(root_, String(), 1, records, visited);
  SortUrlRecs(records);
  const bool written = WriteFile(records);

  if (exploreFavFileOnComplete_) {
    const String path = NormalizePath(targetPath_);
    ShellExecuteW(Application ? Application->Handle() : nullptr, reinterpret_cast<LPCWSTR>(u"explore"),
                  reinterpret_cast<LPCWSTR>(path.utf16()), nullptr, nullptr, SW_SHOWNORMAL);
  }
  // The browser shows the file only when there is one to show.
  if (NarigateOnComplete() && written) ShowInBrowser(embeddedWB_, TargetFullName());
  return written;
}

void initialize() { RegisterClass<TExportFavorite>(); }

}  // namespace ExportFavorites
