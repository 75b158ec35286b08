#pragma once
// What the browser does with a download that no host takes, and where it
// saves a page.
//
// A download shows the file-download dialog: the file's name, where it
// comes from and its size once the server gives it, with Save and Cancel.
// Save asks where through the class library's save dialog; the same dialog
// then follows the transfer with Cancel, and the finished file is moved to
// the chosen place. A cancelled or failed download leaves no partial file
// behind, and nothing lands anywhere the user did not choose. The dialogs
// are the browser's own "#32770" windows (see BrowserDialogs.h).
#include "platform/winapi/Windows.h"

#include <QWebEngineDownloadRequest>

class QUrl;

// A name a server proposes for a file (Content-Disposition, the address's
// last segment) reduced to a plain file name: only its last path segment,
// no control or formatting characters (which could disguise the extension),
// no characters file systems refuse, no leading dots (no hidden files, no
// ".."), no trailing dots or blanks, at most 255 bytes with the extension
// kept. An empty result becomes "download".
String SafeDownloadFileName(const String& proposed);
// The same for a name made from a page's title: separators in the title
// become "_" instead of starting a new segment.
String SafeTitleFileName(const String& title);
// "0 bytes", "64 bytes", "1.5 KB", "12.3 MB", "2.0 GB"; "Unknown" for a
// negative size.
String DownloadSizeText(qint64 bytes);

// The folder the browser's save dialogs start in: the one last saved into,
// else the user's download folder, else the home folder (only shown, never
// written to unless chosen).
String DownloadStartFolder();

// Takes a download the engine offers (called while the engine waits for an
// answer) and shows its dialog. The transfer starts at once into the
// engine's folder of the profile, so the size shows when the server gives
// it; Save asks where and the finished file goes there. False when it
// could not be taken: the caller refuses it.
bool OfferDownload(HWND owner, QWebEngineDownloadRequest* download);

// Asks where to save the page with this title and address, and how: HTML
// only, complete (with a folder of its files) or a single web archive.
// True with the chosen path and format.
// A name whose extension does not fit the format gets the format's own.
bool AskSavePageLocation(const String& title, const QUrl& url, String& path,
                         QWebEngineDownloadRequest::SavePageFormat& format);
// Has the engine write a page download where the user chose.
void AcceptSavePageDownload(QWebEngineDownloadRequest* download, const String& path,
                            QWebEngineDownloadRequest::SavePageFormat format);
