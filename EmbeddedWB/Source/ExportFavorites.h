#pragma once
// TExportFavorite writes the whole Favorites tree (its folders and Internet
// shortcut files) into one bookmark file in the HTML bookmark-list format
// that browsers import and export, then optionally opens the target folder,
// shows the file in a browser and reports success.
//
// The file is UTF-8 without a byte-order mark with CR LF line ends. Folders
// nest by their paths, names and addresses are written as HTML text, and a
// folder link that leads back into the tree is not followed twice.
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Components.h"
#include "platform/rtl/Classes.h"

#include <QPointer>
#include <QSet>

#include <memory>
#include <vector>

namespace ExportFavorites {

using EmbeddedWB::TEmbeddedWB;

// One bookmark entry. `Folder` is the entry's folder below the root, its
// components joined by "\" (empty in the root); `Name` and `Url` are empty
// for a folder record. A link's name keeps the "." before the shortcut's
// extension while the records are sorted.
struct TUrlRec {
  String Folder;
  String Name;
  String Url;
  int Level = 0;
};
using TUrlRecs = std::vector<TUrlRec>;

// Orders records by folder, comparing the folder paths component by
// component (each component ordinally), then by name, ordinally: a folder
// record comes right before its links, those before its sub-folders, and a
// folder's sub-folders before the next folder of its level.
void SortUrlRecs(TUrlRecs& Records);
// The folder path's components.
QStringList FolderComponents(const String& Folder);

// The Favorites root a component works on: "Auto" is the user's Favorites
// folder from the registry, anything else stands as given. Empty when the
// registry has none.
String ResolveFavoritesPath(const String& FavoritesPath);

// A name or address as HTML text: & < > and " as character references,
// control characters (line breaks among them) as blanks.
String HtmlText(const String& Text);

// The lines of the bookmark file for records sorted by SortUrlRecs (without
// line ends). `Title` is the program's name for the first line.
QStringList BookmarkLines(const TUrlRecs& Records, const String& Title);

// The default target folder: the user's home folder.
String DefaultTargetPath();

// What the bookmark writer and reader share: the Favorites root, whether a
// browser shows the bookmark file afterwards, and how success is reported.
class TFavoritesFileComponent : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(QString FavoritesPath READ FavoritesPath WRITE SetFavoritesPath)
  Q_PROPERTY(bool NarigateOnComplete READ NarigateOnComplete WRITE SetNarigateOnComplete)
  Q_PROPERTY(bool ShowSuccessMessage READ ShowSuccessMessage WRITE SetShowSuccessMessage)
  Q_PROPERTY(TStatusBar* StatusBar READ StatusBar WRITE SetStatusBar)
  Q_PROPERTY(TStringList* SuccessMessage READ SuccessMessage WRITE SetSuccessMessage)

 public:
  TFavoritesFileComponent(TComponent* AOwner, const String& About);
  ~TFavoritesFileComponent() override;

  const String& About() const { return about_; }
  void SetAbout(const String&) {}  // the text is fixed
  // The Favorites root; "Auto" is the user's Favorites folder.
  const String& FavoritesPath() const { return favoritesPath_; }
  void SetFavoritesPath(const String& v) { favoritesPath_ = v; }
  bool NarigateOnComplete() const { return narigateOnComplete_; }
  void SetNarigateOnComplete(bool v) { narigateOnComplete_ = v; }
  bool ShowSuccessMessage() const { return showSuccessMessage_; }
  void SetShowSuccessMessage(bool v) { showSuccessMessage_ = v; }
  TStatusBar* StatusBar() const { return statusBar_; }
  void SetStatusBar(TStatusBar* v) { statusBar_ = v; }
  TStringList* SuccessMessage() const { return successMessage_.get(); }
  // Copies the lines (none for null).
  void SetSuccessMessage(TStringList* v);

 protected:
  // False, after its error dialog, when there is no success text (even with
  // the report turned off).
  bool CheckSuccessMessage() const;
  // The information dialog (when turned on) and the status bar's text.
  void ReportSuccess(const String& Text) const;
  // Navigates the browser to a local file, or says that there is none.
  static void ShowInBrowser(TEmbeddedWB* Browser, const String& FileName);

 private:
  String about_;
  String favoritesPath_ = QStringLiteral("Auto");
  bool narigateOnComplete_ = false;
  bool showSuccessMessage_ = true;
  QPointer<TStatusBar> statusBar_;
  std::unique_ptr<TStringList> successMessage_;
};

class TExportFavorite : public TFavoritesFileComponent {
  Q_OBJECT
  Q_PROPERTY(bool ExploreFavFileOnComplete READ ExploreFavFileOnComplete WRITE SetExploreFavFileOnComplete)
  Q_PROPERTY(QString TargetFileName READ TargetFileName WRITE SetTargetFileName)
  Q_PROPERTY(QString TargetPath READ TargetPath WRITE SetTargetPath)
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)

 public:
  Q_INVOKABLE explicit TExportFavorite(TComponent* AOwner);
  ~TExportFavorite() override;

  bool ExploreFavFileOnComplete() const { return exploreFavFileOnComplete_; }
  void SetExploreFavFileOnComplete(bool v) { exploreFavFileOnComplete_ = v; }
  const String& TargetFileName() const { return targetFileName_; }
  void SetTargetFileName(const String& v) { targetFileName_ = v; }
  const String& TargetPath() const { return targetPath_; }
  void SetTargetPath(const String& v) { targetPath_ = v; }
  TEmbeddedWB* EmbeddedWB() const { return embeddedWB_; }
  void SetEmbeddedWB(TEmbeddedWB* v) { embeddedWB_ = v; }

  // The bookmark file: TargetPath with a separator, then TargetFileName.
  String TargetFullName() const;
  // The root folder the last export scanned.
  const String& FavoritesRoot() const { return root_; }

  // Scans, sorts and writes the file, then explores, navigates to it and
  // reports as the properties say. Answers whether the file was written;
  // every refusal has shown its error dialog. A file that cannot be saved
  // raises EFCreateError.
  bool ExportFavorites();

 private:
  // Appends the records of folder `Path`, which is `Folder` below the root.
  void ScanFolder(const String& Path, const String& Folder, int Level, TUrlRecs& Records,
                  QSet<String>& Visited) const;
  bool WriteFile(const TUrlRecs& Records);

  bool exploreFavFileOnComplete_ = false;
  String targetFileName_ = QStringLiteral("newbook.htm");
  String targetPath_;
  QPointer<TEmbeddedWB> embeddedWB_;
  String root_;
};

// Shows an error dialog with one OK button (the bookmark components' way of
// refusing).
void ErrorDialog(const String& Text);

void initialize();

}  // namespace ExportFavorites
