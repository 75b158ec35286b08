// Bookmark benchmark, one run, in a temporary profile:
//   (a) TExportFavorite on a Favorites tree of 5,000 shortcuts in 250
//       folders, against a bare walk of the same tree that reads each
//       shortcut's URL line and writes one line per entry;
//   (b) TImportFavorite of the file (a) wrote into a fresh folder, against
//       writing the same folders and shortcut files directly;
//   (c) the main window's information tool ("Document Source") on a 1 MB
//       page, against a bare QTextEdit of the same size given the same text,
//       HTML and colours.
// Each side runs several rounds, alternately; the medians and their ratios
// are printed.
//
//   BookmarksBench [rounds]     (5 by default)
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextStream>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "EmbeddedWB/Source/ExportFavorites.h"
#include "EmbeddedWB/Source/ImportFavorites.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "benchmarks/BenchSupport.h"
#include "platform/classlib/Forms.h"

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

// A page of about `bytes`: headings, paragraphs with links and lists.
bool writePage(const QString& file, qint64 bytes) {
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly)) return false;
  QTextStream s(&f);
  s << "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Large</title></head><body><h1>Large</h1>";
  for (int i = 0; f.pos() + s.pos() < bytes; ++i) {
    if (i % 20 == 0) s << "<h2>Section " << i / 20 << "</h2><ul><li>one</li><li>two</li><li>three</li></ul>";
    s << "<p id='p" << i << "'>Paragraph " << i << " of the page, with <a href='#p" << i
      << "'>a link</a>, <b>bold</b> and <i>slanted</i> words.</p>\n";
    s.flush();
  }
  s << "</body></html>";
  return true;
}

// The baseline of (c): the same eight additions with the same colours.
void bareInformation(QTextEdit& edit, const QString& text, const QString& html) {
  const auto format = [](TColor colour, bool bold) {
    QTextCharFormat f;
    f.setForeground(QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
  };
  edit.clear();
  QTextCursor c(edit.document());
  c.beginEditBlock();
  const auto add = [&c](const QString& line, const QTextCharFormat& f) {
    if (!c.atStart()) c.insertBlock();
    c.insertText(line, f);
  };
  const QTextCharFormat grey = format(clGray, false), teal = format(clTeal, false);
  add(QString(), grey);
  add(QStringLiteral("TEXT:"), format(clSkyBlue, true));
  add(QString(), grey);
  add(text, grey);
  add(QString(), grey);
  add(QStringLiteral("HTML:"), format(clTeal, true));
  add(QString(), teal);
  add(html, teal);
  c.endEditBlock();
}

// (c): false when the page did not show. `fetch` is the part of the tool's
// time that asks the engine for the page's text and HTML.
bool runInformation(const QString& work, int rounds, double& tool, double& bare, double& fetch) {
  const QString page = work + QStringLiteral("/large.html");
  if (!writePage(page, 1024 * 1024) || !bench::StartOnBlankPage()) return false;
  InitializeProgramUnits();
  bool shown = false;
  {
    Application->Initialize();
    Application->SetTitle(QStringLiteral("Noctivane"));
    Application->CreateForm(Menu::MyMenuForm);
    Menu::TMyMenuForm* f = Menu::MyMenuForm;
    // The tab as the user sees it: the side panel open on "Information".
    f->Show();
    f->SystemPanel->Show();
    f->VSplitter->Show();
    f->PageControl->SetActivePage(f->InfoSheet);
    const QString url = QUrl::fromLocalFile(page).toString();
    f->WB->Navigate(url);
    shown = bench::WaitUntil([f, url] { return !f->WB->Busy() && f->WB->LocationURL() == url; }, 30000);
    if (shown) {
      String text, html;
      f->WB->GetDocumentText(text);
      f->WB->GetDocumentSource(html);
      QTextEdit edit;
      edit.resize(f->InfoEdit->Width(), f->InfoEdit->Height());
      edit.show();
      std::vector<double> toolMs, bareMs;
      for (int r = 0; r < rounds; ++r) {
        toolMs.push_back(timeMs([f] { f->Image4->OnMouseUp(f->Image4, mbLeft, {}, 2, 2); }));
        QCoreApplication::processEvents();
        bareMs.push_back(timeMs([&] { bareInformation(edit, text, html); }));
        QCoreApplication::processEvents();
      }
      std::vector<double> fetchMs;
      for (int r = 0; r < rounds; ++r)
        fetchMs.push_back(timeMs([&] {
          String t, h;
          f->WB->GetDocumentText(t);
          f->WB->GetDocumentSource(h);
        }));
      fetch = medianMs(fetchMs);
      tool = medianMs(toolMs);
      bare = medianMs(bareMs);
    }
  }
  FinalizeProgramUnits();
  return shown;
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir work;
  if (!bench::PrepareRun(work)) return 2;
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const QString profilePath = work.path() + QStringLiteral("/profile");
  const QString favorites = profilePath + QStringLiteral("/Favorites");
  makeTree(favorites);

  ExportFavorites::TExportFavorite exporter(nullptr);
  exporter.SetFavoritesPath(favorites);
  exporter.SetTargetPath(profilePath);
  exporter.SetTargetFileName(QStringLiteral("bookmarks.htm"));
  exporter.SetShowSuccessMessage(false);

  std::vector<double> exportMs, bareExportMs, importMs, bareImportMs;
  for (int r = 0; r < rounds; ++r) {
    exportMs.push_back(timeMs([&] {
      if (!exporter.ExportFavorites()) std::exit(1);
    }));
    bareExportMs.push_back(timeMs([&] { bareExport(favorites, profilePath + QStringLiteral("/bare.htm")); }));
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
    importer.SetCurrentFilePath(profilePath);
    importer.SetCurrentFileName(QStringLiteral("bookmarks.htm"));
    importer.SetFavoritesPath(profilePath + QStringLiteral("/Imported"));
    importer.SetTargetSubFolder(into);
    importer.SetShowSuccessMessage(false);
    importMs.push_back(timeMs([&] {
      if (!importer.ImportFavorites()) std::exit(1);
    }));
    bareImportMs.push_back(
        timeMs([&] { bareImport(records, profilePath + QStringLiteral("/Bare/") + into); }));
  }

  const double a = medianMs(exportMs), a0 = medianMs(bareExportMs);
  const double b = medianMs(importMs), b0 = medianMs(bareImportMs);
  std::printf("entries: %d shortcuts in %d folders, %d rounds\n", kFolders * kPerFolder, kFolders, rounds);
  std::printf("(a) export %.1f ms, bare walk %.1f ms, ratio %.2f (target <= 2)\n", a, a0, a / a0);
  std::printf("(b) import %.1f ms, direct writes %.1f ms, ratio %.2f (target <= 2)\n", b, b0, b / b0);

  double c = 0, c0 = 0, fetch = 0;
  if (!runInformation(work.path(), rounds, c, c0, fetch)) {
    std::fprintf(stderr, "the 1 MB page did not show\n");
    return 1;
  }
  std::printf("(c) information tool %.1f ms, bare QTextEdit %.1f ms, ratio %.2f (target <= 1.5)\n", c, c0,
              c / c0);
  std::printf("    of the tool's time, asking the engine for the text and HTML: %.1f ms\n", fetch);
  return 0;
}
