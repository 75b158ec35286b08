#pragma once
// TImportFavorite reads a bookmark file (the HTML bookmark-list format that
// TExportFavorite writes, and the same format as browsers write it: tag
// attributes, "<p>" after the tags, header lines) and recreates its folders
// and links as a folder of Internet shortcut files inside the Favorites
// folder.
//
// Names and addresses have their character references decoded; a name
// becomes a safe file name that fits the file system (nothing is written
// outside the target folder); every folder or shortcut that cannot be
// written is reported.
#include "EmbeddedWB/Source/ExportFavorites.h"

namespace ImportFavorites {

using EmbeddedWB::TEmbeddedWB;
using ExportFavorites::TUrlRec;
using ExportFavorites::TUrlRecs;

// Decodes the character references of HTML text (named ones for & < > " '
// and the blank, decimal and hexadecimal ones); anything else stays as it is.
String DecodeHtmlText(const String& Text);
// A bookmark name as a file name: the characters " * / : < > ? \ | become
// "-", control characters and the names "", "." and ".." are replaced, and
// it is cut (at a character boundary) so that it and `Suffix` fit 248 bytes
// (a file system name with room for the temporary name of a replacement).
String BookmarkFileName(const String& Name, const String& Suffix = String());
// The records of a bookmark file's lines, in file order.
TUrlRecs ParseBookmarkLines(const QStringList& Lines);

class TImportFavorite : public ExportFavorites::TFavoritesFileComponent {
  Q_OBJECT
  Q_PROPERTY(QString CurrentFileName READ CurrentFileName WRITE SetCurrentFileName)
  Q_PROPERTY(QString CurrentFilePath READ CurrentFilePath WRITE SetCurrentFilePath)
  Q_PROPERTY(QString TargetSubFolder READ TargetSubFolder WRITE SetTargetSubFolder)
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* WebBrowser READ WebBrowser WRITE SetWebBrowser)

 public:
  Q_INVOKABLE explicit TImportFavorite(TComponent* AOwner);
  ~TImportFavorite() override;

  const String& CurrentFileName() const { return currentFileName_; }
  void SetCurrentFileName(const String& v) { currentFileName_ = v; }
  const String& CurrentFilePath() const { return currentFilePath_; }
  void SetCurrentFilePath(const String& v) { currentFilePath_ = v; }
  const String& TargetSubFolder() const { return targetSubFolder_; }
  void SetTargetSubFolder(const String& v) { targetSubFolder_ = v; }
  TEmbeddedWB* WebBrowser() const { return webBrowser_; }
  void SetWebBrowser(TEmbeddedWB* v) { webBrowser_ = v; }

  // The folder the last import wrote into.
  const String& TargetFolder() const { return targetFolder_; }

  // Checks the settings, reads the file and writes its folders and
  // shortcuts, then reports and navigates as the properties say. Answers
  // whether everything was written; a refusal or a failure has shown its
  // error dialog (an empty Favorites root ends without one).
  bool ImportFavorites();

 private:
  // The entries that could not be written, as paths below the target.
  QStringList CreateEntries(const TUrlRecs& Records) const;

  String currentFileName_ = QStringLiteral("newbook.htm");
  String currentFilePath_;
  String targetSubFolder_ = QStringLiteral("Imported Bookmarks");
  QPointer<TEmbeddedWB> webBrowser_;
  String targetFolder_;
};

void initialize();

}  // namespace ImportFavorites
