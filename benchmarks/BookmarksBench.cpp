// Bookmark benchmark, one run, in a temporary profile:
//   (a) TExportFavorite on a Favorites tree of 5,000 shortcuts in 250
//       folders, against a bare walk of the same tree that reads each
//       shortcut's URL line and writes one line per entry;
//   (b) TImportFavorite of the file (a) wrote into a fresh folder, against
//       writing the same folders and shortcut files directly.
// Each side runs several rounds, alternately; the medians and their ratios
// are printed.
//
//   BookmarksBench [rounds]     (5 by default)
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "EmbeddedWB/Source/ExportFavorites.h"
#include "EmbeddedWB/Source/ImportFavorites.h"

namespace {

constexpr int kFolders = 250;
constexpr int kPerFolder = 20;

double medianMs(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double timeMs(const std::function<void()>& f) {
  QElapsedTimer t;
  t.start();
  f();
  return double(t.nsecsElapsed()) / 1e6;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
}

QByteArray shortcut(const QByteArray& url) { return "[InternetShortcut]\r\nURL=" + url + "\r\n"; }

void makeTree(const QString& root) {
  for (int d = 0; d < kFolders; ++d) {
    // Some folders nest, as people's do.
    const QString folder = root + QStringLiteral("/Folder %1").arg(d / 10) +
                           (d % 10 ? QStringLiteral("/Sub %1").arg(d % 10) : QString());
    QDir().mkpath(folder);
    for (int i = 0; i < kPerFolder; ++i)
      writeBytes(folder + QStringLiteral("/Site %1.url").arg(i),
                 shortcut(QStringLiteral("http://site%1.example/page/%2?q=a&b").arg(d).arg(i).toUtf8()));
  }
}

// The baseline of (a): every entry visited once, its URL line read, one line written.
void bareExport(const QString& root, const QString& out) {
  QByteArray lines;
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (it.fileInfo().isDir()) {
      lines += "<DT><H3>" + it.fileName().toUtf8() + "</H3>\r\n";
      continue;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) continue;
    QByteArray url;
    for (const QByteArray& line : f.readAll().split('\n'))
      if (line.startsWith("URL=")) url = line.mid(4).trimmed();
    lines += "<DT><A HREF=\"" + url + "\">" + it.fileName().toUtf8() + "</A><BR>\r\n";
  }
  writeBytes(out, lines);
}

// The baseline of (b): the same folders and files, written directly.
void bareImport(const ExportFavorites::TUrlRecs& records, const QString& target) {
  QDir().mkpath(target);
  for (const auto& r : records) {
    const QString folder =
        target + QLatin1Char('/') + QString(r.Folder).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (r.Url.isEmpty())
      QDir().mkdir(folder);
    else
      writeBytes(folder + QLatin1Char('/') + r.Name + QStringLiteral(".url"), shortcut(r.Url.toUtf8()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir profile;
  qputenv("NOCTIVANE_PROFILE", profile.path().toUtf8());
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  const QString favorites = profile.path() + QStringLiteral("/Favorites");
  makeTree(favorites);

  ExportFavorites::TExportFavorite exporter(nullptr);
  exporter.SetFavoritesPath(favorites);
  exporter.SetTargetPath(profile.path());
  exporter.SetTargetFileName(QStringLiteral("bookmarks.htm"));
  exporter.SetShowSuccessMessage(false);

  std::vector<double> exportMs, bareExportMs, importMs, bareImportMs;
  for (int r = 0; r < rounds; ++r) {
    exportMs.push_back(timeMs([&] {
      if (!exporter.ExportFavorites()) std::exit(1);
    }));
    bareExportMs.push_back(
        timeMs([&] { bareExport(favorites, profile.path() + QStringLiteral("/bare.htm")); }));
  }

  QStringList lines;
  {
    QFile f(exporter.TargetFullName());
    if (!f.open(QIODevice::ReadOnly)) return 1;
    lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
  }
  const ExportFavorites::TUrlRecs records = ImportFavorites::ParseBookmarkLines(lines);
  int links = 0;
  for (const auto& rec : records) links += rec.Url.isEmpty() ? 0 : 1;
  if (links != kFolders * kPerFolder) {
    std::fprintf(stderr, "the export holds %d links\n", links);
    return 1;
  }

  for (int r = 0; r < rounds; ++r) {
    const QString into = QStringLiteral("Round %1").arg(r);
    ImportFavorites::TImportFavorite importer(nullptr);
    importer.SetCurrentFilePath(profile.path());
    importer.SetCurrentFileName(QStringLiteral("bookmarks.htm"));
    importer.SetFavoritesPath(profile.path() + QStringLiteral("/Imported"));
    importer.SetTargetSubFolder(into);
    importer.SetShowSuccessMessage(false);
    importMs.push_back(timeMs([&] {
      if (!importer.ImportFavorites()) std::exit(1);
    }));
    bareImportMs.push_back(
        timeMs([&] { bareImport(records, profile.path() + QStringLiteral("/Bare/") + into); }));
  }

  const double a = medianMs(exportMs), a0 = medianMs(bareExportMs);
  const double b = medianMs(importMs), b0 = medianMs(bareImportMs);
  std::printf("entries: %d shortcuts in %d folders, %d rounds\n", kFolders * kPerFolder, kFolders, rounds);
  std::printf("(a) export %.1f ms, bare walk %.1f ms, ratio %.2f (target <= 2)\n", a, a0, a / a0);
  std::printf("(b) import %.1f ms, direct writes %.1f ms, ratio %.2f (target <= 2)\n", b, b0, b / b0);
  return 0;
}
