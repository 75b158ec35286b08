// Bookmark export and import against real folders in the profile: the file
// read back by Python's HTML parser, imported back into a tree, browser-style
// files, and every dialog.
#include "EmbeddedWB/Source/ExportFavorites.h"
#include "EmbeddedWB/Source/ImportFavorites.h"
#include "EwbTestHost.h"
#include "platform/classlib/Dialogs.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Registry.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

namespace {

using ExportFavorites::TExportFavorite;
using ImportFavorites::TImportFavorite;

QString freshDir(const QString& name) {
  const QString dir = testsupport::profileDir() + "/bookmarks/" + name;
  QDir(dir).removeRecursively();
  QDir().mkpath(dir);
  return dir;
}

void writeShortcut(const QString& path, const QString& url) {
  QByteArray text = "[InternetShortcut]\r\n";
  if (!url.isNull()) text += "URL=" + url.toUtf8() + "\r\n";
  ASSERT_TRUE(testsupport::writeFile(path, text));
}

// Every shortcut below `root` (relative path -> address) and every folder
// (relative path -> empty), as the file system has them.
std::map<QString, QString> treeOf(const QString& root) {
  std::map<QString, QString> tree;
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString rel = QDir(root).relativeFilePath(path);
    if (it.fileInfo().isDir())
      tree[rel] = QString();
    else
      tree[rel] = TIniFile(path).ReadString("InternetShortcut", "URL", "<none>");
  }
  return tree;
}

// The bookmark tree as Python's html.parser reads it, with checks of the
// bytes: {"links": [[folder path, name, href]], "folders": [...], "bom",
// "bare_breaks", "utf8"}.
QJsonObject readWithPython(const QString& file) {
  const char* script = R"PY(
import sys, json
from html.parser import HTMLParser
raw = open(sys.argv[1], 'rb').read()
out = {'bom': raw.startswith(b'\xef\xbb\xbf'),
       'bare_breaks': b'\n' in raw.replace(b'\r\n', b'') or b'\r' in raw.replace(b'\r\n', b''),
       'ends_crlf': raw.endswith(b'\r\n')}
try:
    text = raw.decode('utf-8'); out['utf8'] = True
except UnicodeDecodeError:
    text = raw.decode('latin-1'); out['utf8'] = False
class P(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.path, self.pending, self.links, self.folders, self.cur = [], None, [], [], None
    def handle_starttag(self, tag, attrs):
        if tag == 'h3': self.cur = ['h3', '']
        elif tag == 'a': self.cur = ['a', '', dict(attrs).get('href')]
        elif tag == 'dl':
            if self.pending is not None: self.path.append(self.pending); self.pending = None
            else: self.path.append(None)
    def handle_endtag(self, tag):
        if tag == 'h3' and self.cur:
            self.pending = self.cur[1]; self.cur = None
            self.folders.append('/'.join([p for p in self.path if p] + [self.pending]))
        elif tag == 'a' and self.cur:
            self.links.append(['/'.join(p for p in self.path if p), self.cur[1], self.cur[2]]); self.cur = None
        elif tag == 'dl' and self.path: self.path.pop()
    def handle_data(self, data):
        if self.cur: self.cur[1] += data
p = P(); p.feed(text); p.close()
out['links'] = p.links; out['folders'] = p.folders; out['open_at_end'] = len(p.path)
print(json.dumps(out))
)PY";
  return QJsonDocument::fromJson(testsupport::runPython(script, {file})).object();
}

QStringList linesOf(const QString& file) {
  return QString::fromUtf8(testsupport::readFile(file)).split(QStringLiteral("\r\n"));
}

struct BookmarksTest : ::testing::Test {
  void SetUp() override { InitializeForms(); }
  void TearDown() override { FinalizeForms(); }
  TScriptedDialogService dialogs;

  // The messages shown so far, in order.
  QStringList messages() const {
    QStringList m;
    for (const auto& call : dialogs.CallsOf(TScriptedDialogService::dkMessage)) m << call.Message;
    return m;
  }
};

// The tree of the round trip: folders whose names sort badly as plain text,
// names that need HTML escaping, non-ASCII names and addresses, a shortcut
// without an address and a folder link back into the tree.
QString makeTree(const QString& favorites) {
  writeShortcut(favorites + "/Root link.url", "http://root.example/");
  writeShortcut(favorites + "/Tom & Jerry <\"x\">.url", "http://e.example/?a=1&b=2&c=\"q\"");
  writeShortcut(favorites + QString::fromUtf8("/Caf\u00e9 \u00fcber \u65e5\u672c.url"),
                QString::fromUtf8("http://example.com/Stra\u00dfe"));
  writeShortcut(favorites + "/No URL.url", QString());
  writeShortcut(favorites + "/notes.txt", "http://ignored.example/");
  writeShortcut(favorites + "/A/a.url", "http://a.example/");
  writeShortcut(favorites + "/A/Sub/sub.url", "http://sub.example/");
  writeShortcut(favorites + "/A B/ab1.url", "http://a-b.example/");
  writeShortcut(favorites + "/AB/ab.url", "http://ab.example/");
  writeShortcut(favorites + "/Zeta/z.url", "http://zeta.example/");
  writeShortcut(favorites + "/alpha/al.url", "http://alpha.example/");
  QDir().mkpath(favorites + "/Empty");
  EXPECT_TRUE(QFile::link(favorites, favorites + "/A/Loop"));
  return favorites;
}

TEST_F(BookmarksTest, ExportNestsFoldersByPathAndPythonReadsTheFileBack) {
  if (!testsupport::havePython()) GTEST_SKIP() << "python3 is needed to read the file back";
  const QString base = freshDir("roundtrip");
  const QString favorites = makeTree(base + "/Favorites");
  TExportFavorite exporter(nullptr);
  exporter.SetFavoritesPath(favorites);
  exporter.SetTargetPath(base + "/out");
  exporter.SetTargetFileName("MyFavorites.htm");
  exporter.SetShowSuccessMessage(false);
  QDir().mkpath(base + "/out");
  const QString full = base + "/out/MyFavorites.htm";
  EXPECT_EQ(exporter.TargetFullName(), full);  // known before the call
  ASSERT_TRUE(exporter.ExportFavorites());
  EXPECT_EQ(exporter.TargetFullName(), full);
  EXPECT_TRUE(messages().isEmpty());

  const QStringList lines = linesOf(full);
  ASSERT_GE(lines.size(), 9);
  EXPECT_EQ(lines.mid(1, 5), (QStringList{"", "<TITLE>Exported Favorites</TITLE>",
                                          "<H1>Exported Favorites</H1>", "", "<DL><P>"}));
  EXPECT_TRUE(lines[0].startsWith("<!-- Made with "));
  EXPECT_EQ(lines.mid(lines.size() - 3), (QStringList{"", "</DL><P>", ""}));  // the last line ends too
  EXPECT_TRUE(lines.contains("    <DT><A HREF=\"no path\">No URL</A><BR>"));
  EXPECT_TRUE(lines.contains("    <DT><H3>A</H3>"));
  EXPECT_TRUE(lines.contains("        <DT><H3>Sub</H3>"));

  const QJsonObject read = readWithPython(full);
  EXPECT_FALSE(read["bom"].toBool());
  EXPECT_FALSE(read["bare_breaks"].toBool());
  EXPECT_TRUE(read["ends_crlf"].toBool());
  EXPECT_TRUE(read["utf8"].toBool());
  EXPECT_EQ(read["open_at_end"].toInt(), 0);

  std::map<QString, QString> links;  // "folder|name" -> href
  for (const QJsonValue& v : read["links"].toArray()) {
    const QJsonArray l = v.toArray();
    links[l[0].toString() + "|" + l[1].toString()] = l[2].toString();
  }
  const std::map<QString, QString> expected{{"|Root link", "http://root.example/"},
                                            {"|Tom & Jerry <\"x\">", "http://e.example/?a=1&b=2&c=\"q\""},
                                            {QString::fromUtf8("|Caf\u00e9 \u00fcber \u65e5\u672c"),
                                             QString::fromUtf8("http://example.com/Stra\u00dfe")},
                                            {"|No URL", "no path"},
                                            {"A|a", "http://a.example/"},
                                            {"A/Sub|sub", "http://sub.example/"},
                                            {"A B|ab1", "http://a-b.example/"},
                                            {"AB|ab", "http://ab.example/"},
                                            {"Zeta|z", "http://zeta.example/"},
                                            {"alpha|al", "http://alpha.example/"}};
  EXPECT_EQ(links, expected);
  QStringList folders;
  for (const QJsonValue& v : read["folders"].toArray()) folders << v.toString();
  // Ordinal order, a folder's sub-folders before the next folder, the loop
  // followed no further than once.
  EXPECT_EQ(folders, (QStringList{"A", "A/Sub", "A B", "AB", "Empty", "Zeta", "alpha"}));

  // Imported back, the tree is the same (the characters a file name cannot
  // hold become "-"; a shortcut without an address has no link to import).
  TImportFavorite importer(nullptr);
  importer.SetCurrentFilePath(base + "/out");
  importer.SetCurrentFileName("MyFavorites.htm");
  importer.SetFavoritesPath(base + "/Imported");
  importer.SetShowSuccessMessage(false);
  ASSERT_TRUE(importer.ImportFavorites()) << messages().join("|").toStdString();
  EXPECT_EQ(importer.TargetFolder(), base + "/Imported/Imported Bookmarks");
  std::map<QString, QString> original = treeOf(favorites);
  original.erase("notes.txt");
  original.erase("No URL.url");
  original.erase("A/Loop");
  original["Tom & Jerry --x--.url"] = original["Tom & Jerry <\"x\">.url"];
  original.erase("Tom & Jerry <\"x\">.url");
  EXPECT_EQ(treeOf(importer.TargetFolder()), original);
}

TEST_F(BookmarksTest, ExportOfAnEmptyTreeAndSystemFolders) {
  const QString base = freshDir("empty");
  TExportFavorite exporter(nullptr);
  exporter.SetFavoritesPath(base + "/Favorites/");
  QDir().mkpath(base + "/Favorites");
  exporter.SetTargetPath(base);
  exporter.SetShowSuccessMessage(false);
  ASSERT_TRUE(exporter.ExportFavorites());
  EXPECT_EQ(exporter.FavoritesRoot(), base + "/Favorites");
  const QStringList lines = linesOf(base + "/newbook.htm");
  EXPECT_EQ(lines.size(), 9);
  EXPECT_EQ(lines.mid(5), (QStringList{"<DL><P>", "", "</DL><P>", ""}));

  // Records made by hand: a folder without a record of its own (as the
  // system attribute gives) keeps its links at their depth, and the next
  // folder still closes the open one.
  ExportFavorites::TUrlRecs records{
      {"A B", "", "", 1},          {"A", "x.", "http://x/", 1},      {"A", "", "", 1},
      {"A\\Sys\\Deep", "", "", 3}, {"A\\Sys", "y.", "http://y/", 2}, {"B\\Sys", "z.", "http://z/", 2}};
  ExportFavorites::SortUrlRecs(records);
  const QStringList body = ExportFavorites::BookmarkLines(records, "T").mid(6);
  EXPECT_EQ(body, (QStringList{"",
                               "    <DT><H3>A</H3>",
                               "    <DL><P>",
                               "    <DT><A HREF=\"http://x/\">x</A><BR>",
                               "        <DT><A HREF=\"http://y/\">y</A><BR>",
                               "",
                               "            <DT><H3>Deep</H3>",
                               "            <DL><P>",
                               "            </DL><P>",
                               "",
                               "    </DL><P>",
                               "",
                               "",
                               "    <DT><H3>A B</H3>",
                               "    <DL><P>",
                               "    </DL><P>",
                               "",
                               "        <DT><A HREF=\"http://z/\">z</A><BR>",
                               "",
                               "</DL><P>"}));
  EXPECT_EQ(ExportFavorites::HtmlText("a\tb\r\n<&>\""), QStringLiteral("a b  &lt;&amp;&gt;&quot;"));
}

TEST_F(BookmarksTest, ExportRefusesWithItsDialogsAndReportsSuccess) {
  const QString base = freshDir("dialogs");
  QDir().mkpath(base + "/Favorites");
  writeShortcut(base + "/Favorites/Example.url", "http://example.com/");
  const auto make = [&] {
    auto e = std::make_unique<TExportFavorite>(nullptr);
    e->SetFavoritesPath(base + "/Favorites");
    e->SetTargetPath(base);
    e->SetTargetFileName("page.htm");
    e->SetNarigateOnComplete(true);  // no browser: a dialog, but only once written
    return e;
  };
  const struct {
    std::function<void(TExportFavorite&)> change;
    QString message;
  } refusals[] = {
      {[](TExportFavorite& e) { e.SetTargetPath(""); }, "The target path is invalid.\n\rPlease change it."},
      {[](TExportFavorite& e) { e.SetTargetFileName(""); },
       "The target file name is invalid.\n\rPlease change it."},
      {[](TExportFavorite& e) { e.SetTargetFileName("htmlpage.txt"); },
       "The target file name extension is invalid.\n\rPlease change it to \"*.htm\"."},
      {[](TExportFavorite& e) {
         e.SetShowSuccessMessage(false);
         e.SuccessMessage()->Clear();
       },
       "You must enter a message or turn off messages.\n\rPlease change it."},
      {[](TExportFavorite& e) { e.SetFavoritesPath(""); },
       "The favorites file path is invalid.\n\rPlease change it."},
  };
  for (const auto& r : refusals) {
    dialogs.Calls.clear();
    QFile::remove(base + "/page.htm");
    auto e = make();
    r.change(*e);
    EXPECT_FALSE(e->ExportFavorites()) << r.message.toStdString();
    EXPECT_EQ(messages(), QStringList{r.message});
    EXPECT_FALSE(QFile::exists(base + "/page.htm"));
  }

  // Written: the success text with the file's name, in the dialog and the
  // status bar, then the missing browser is reported.
  dialogs.Calls.clear();
  auto e = make();
  TStatusBar bar(nullptr);
  e->SetStatusBar(&bar);
  e->SetTargetFileName("page.html");
  ASSERT_TRUE(e->ExportFavorites());
  const QString report =
      "Your favorites have been exported to successfully!\r\nThe file name is: " + base + "/page.html";
  EXPECT_EQ(messages(), (QStringList{report, "Please assign a WebBrowser before using this feature."}));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage)[0].Type, mtInformation);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage)[1].Type, mtError);
  EXPECT_EQ(bar.SimpleText(), report);
  EXPECT_TRUE(
      linesOf(base + "/page.html").contains("    <DT><A HREF=\"http://example.com/\">Example</A><BR>"));

  // "Auto" is the Favorites folder of the registry; a folder that cannot
  // take the file raises the file error.
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false));
    const QString saved = reg.ReadString("Favorites");
    reg.WriteString("Favorites", base + "/Favorites");
    auto autoExport = std::make_unique<TExportFavorite>(nullptr);
    autoExport->SetShowSuccessMessage(false);
    autoExport->SetTargetPath(base);
    EXPECT_TRUE(autoExport->ExportFavorites());
    EXPECT_EQ(autoExport->FavoritesRoot(), base + "/Favorites");
    reg.WriteString("Favorites", saved);
    autoExport->SetTargetPath(base + "/missing/folder");
    EXPECT_THROW(autoExport->ExportFavorites(), EFCreateError);
  }
  EXPECT_EQ(TExportFavorite(nullptr).TargetPath(), QDir::homePath());
}

using BookmarksBrowserTest = ewbtest::BrowserFixture;

TEST_F(BookmarksBrowserTest, ExportShowsTheWrittenFileInTheBrowser) {
  const QString base = freshDir("navigate");
  writeShortcut(base + "/Favorites/Example.url", "http://example.com/");
  TExportFavorite e(nullptr);
  e.SetFavoritesPath(base + "/Favorites");
  e.SetTargetPath(base);
  e.SetTargetFileName("MyFavorites.htm");
  e.SetShowSuccessMessage(false);
  e.SetNarigateOnComplete(true);
  e.SetEmbeddedWB(wb);
  ASSERT_TRUE(e.ExportFavorites());
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(QUrl(wb->LocationURL()), QUrl::fromLocalFile(base + "/MyFavorites.htm"));
  EXPECT_EQ(wb->LocationName(), QStringLiteral("Exported Favorites"));
}

// A file as browsers write it.
const char kBrowserFile[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<!-- This is an automatically generated file.\n"
    "     DO NOT EDIT! -->\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks Menu</H1>\n"
    "\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1\" LAST_MODIFIED=\"2\">A/B</H3>   \n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"https://secure.example/x?a=1&amp;b=2\" ADD_DATE=\"3\" "
    "ICON=\"data:image/png;base64,AA=\">"
    "Secure &amp; sound &#233;&#x263A;</A>\n"
    "        <DD>A description that names http://not.a.link/\n"
    "        <DT><A ICON_URI=\"http://icon.example/i.ico\" HREF='ftp://files.example/'>Files</A>\n"
    "    </DL><p>\n"
    "    <DT><H3>..</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://dots.example/\">..</A>\n"
    "        <DT><A HREF=\"http://slash.example/\">../../escape</A>\n"
    "    </DL><p>\n"
    "    <HR>\n"
    "    <DT><H3>A/B</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://merged.example/\">Merged</A>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"http://long.example/LONGURL\">LONGNAME</A>\n"
    "</DL><p>\n"
    "</DL>\n"
    "</DL>\n"
    "<DT><A HREF=\"http://last.example/\">Last line</A>";

TEST_F(BookmarksTest, ImportReadsBrowserStyleFilesAndStaysInsideItsFolder) {
  const QString base = freshDir("browserstyle");
  const QString longUrl = "http://long.example/" + QString("x").repeated(3000);
  const QString longName = QString::fromUtf8("\u00e9").repeated(300);
  QByteArray file = kBrowserFile;
  file.replace("http://long.example/LONGURL", longUrl.toUtf8());
  file.replace("LONGNAME", longName.toUtf8());
  ASSERT_TRUE(testsupport::writeFile(base + "/in/bookmarks.html", file));
  QDir().mkpath(base + "/Favorites");

  TImportFavorite importer(nullptr);
  importer.SetCurrentFilePath(base + "/in");
  importer.SetCurrentFileName("bookmarks.html");
  importer.SetFavoritesPath(base + "/Favorites");
  importer.SetTargetSubFolder("Browser");
  ASSERT_TRUE(importer.ImportFavorites()) << messages().join("|").toStdString();
  EXPECT_EQ(messages(),
            (QStringList{"The bookmarks have been imported into your favorites successfully!\n\rYou can "
                         "find them in your favorites as a sub folder.\r\n"}));

  const QString cut = QString::fromUtf8("\u00e9").repeated(122);  // 244 bytes + ".url"
  const std::map<QString, QString> expected{
      {"A-B", ""},
      {"A-B/" + QString::fromUtf8("Secure & sound \u00e9\u263A.url"), "https://secure.example/x?a=1&b=2"},
      {"A-B/Files.url", "ftp://files.example/"},
      {"A-B/Merged.url", "http://merged.example/"},
      {"_", ""},
      {"_/_.url", "http://dots.example/"},
      {"_/..-..-escape.url", "http://slash.example/"},
      {cut + ".url", longUrl},
      {"Last line.url", "http://last.example/"}};
  EXPECT_EQ(treeOf(base + "/Favorites/Browser"), expected);
  // Nothing beside the target folder.
  EXPECT_EQ(QDir(base + "/Favorites").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList{"Browser"});
  EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"Favorites", "in"}));

  // Again, over what is there: addresses replaced, other files kept.
  writeShortcut(base + "/Favorites/Browser/Mine.url", "http://mine.example/");
  writeShortcut(base + "/Favorites/Browser/Last line.url", "http://old.example/");
  ASSERT_TRUE(importer.ImportFavorites()) << messages().join("|").toStdString();
  const auto again = treeOf(base + "/Favorites/Browser");
  EXPECT_EQ(again.at("Last line.url"), "http://last.example/");
  EXPECT_EQ(again.at("Mine.url"), "http://mine.example/");

  EXPECT_EQ(ImportFavorites::DecodeHtmlText("&amp;lt; &#0; &#xD800; &bogus; &quot;&apos;&nbsp;&#65;&#X42;"),
            QString::fromUtf8("&lt; &#0; &#xD800; &bogus; \"'\u00a0AB"));
  EXPECT_EQ(ImportFavorites::BookmarkFileName(""), "_");
  EXPECT_EQ(ImportFavorites::BookmarkFileName("a\x01:b", ".url"), "a_-b.url");
  // A name of four-byte characters is cut between characters.
  const QString emoji = QString::fromUtf8("\U0001F600").repeated(70);
  const QString name = ImportFavorites::BookmarkFileName(emoji, ".url");
  EXPECT_EQ(name, QString::fromUtf8("\U0001F600").repeated(61) + ".url");
}

TEST_F(BookmarksTest, ImportRefusesWithItsDialogsAndReportsWhatItCouldNotWrite) {
  const QString base = freshDir("importdialogs");
  ASSERT_TRUE(testsupport::writeFile(base + "/in/book.htm",
                                     "<DL><P>\r\n<DT><H3>Folder</H3>\r\n<DL><P>\r\n"
                                     "<DT><A HREF=\"http://in.example/\">In</A><BR>\r\n</DL><P>\r\n"
                                     "<DT><A HREF=\"http://root.example/\">Root</A><BR>\r\n</DL><P>\r\n"));
  QDir().mkpath(base + "/Favorites");
  const auto make = [&] {
    auto i = std::make_unique<TImportFavorite>(nullptr);
    i->SetCurrentFilePath(base + "/in");
    i->SetCurrentFileName("book.htm");
    i->SetFavoritesPath(base + "/Favorites");
    return i;
  };
  const struct {
    std::function<void(TImportFavorite&)> change;
    QString message;
  } refusals[] = {
      {[](TImportFavorite& i) { i.SetCurrentFilePath(""); },
       "The favorites file path is invalid.\n\rPlease change it."},
      {[](TImportFavorite& i) { i.SetCurrentFileName(""); },
       "The Current file name is invalid.\n\rPlease change it."},
      {[](TImportFavorite& i) { i.SetCurrentFileName("htmfile.txt"); },
       "The target file name extention is invalid.\n\rPlease change it to \"*.htm\"."},
      {[](TImportFavorite& i) { i.SetTargetSubFolder(""); },
       "You must a proper sub folder name.\n\rPlease change it."},
      {[](TImportFavorite& i) {
         i.SetShowSuccessMessage(false);
         i.SuccessMessage()->Clear();
       },
       "You must enter a message or turn off messages.\n\rPlease change it."},
      {[](TImportFavorite& i) { i.SetCurrentFileName("other.htm"); },
       "The Favorite file you specified does not exist in the current path."},
      {[](TImportFavorite& i) { i.SetTargetSubFolder("no/such/folder"); },
       "The subfolder name you specified is invalid."},
      {[](TImportFavorite& i) { i.SetFavoritesPath(""); }, QString()},  // ends without a word
  };
  for (const auto& r : refusals) {
    dialogs.Calls.clear();
    auto i = make();
    r.change(*i);
    EXPECT_FALSE(i->ImportFavorites()) << r.message.toStdString();
    EXPECT_EQ(messages(), r.message.isNull() ? QStringList{} : QStringList{r.message});
    EXPECT_EQ(QDir(base + "/Favorites").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
  }

  // A file where the folder should go: the folder and its shortcut are
  // reported and there is no success.
  dialogs.Calls.clear();
  ASSERT_TRUE(testsupport::writeFile(base + "/Favorites/Imported Bookmarks/Folder", "in the way"));
  auto blocked = make();
  EXPECT_FALSE(blocked->ImportFavorites());
  ASSERT_EQ(messages().size(), 1);
  EXPECT_TRUE(messages()[0].startsWith("These favorites could not be written"));
  EXPECT_TRUE(messages()[0].endsWith(":\nFolder\nFolder/In.url"));
  EXPECT_TRUE(QFile::exists(base + "/Favorites/Imported Bookmarks/Root.url"));

  // Success: the message, the status bar and the missing browser.
  dialogs.Calls.clear();
  QFile::remove(base + "/Favorites/Imported Bookmarks/Folder");
  auto ok = make();
  TStatusBar bar(nullptr);
  ok->SetStatusBar(&bar);
  ok->SuccessMessage()->SetText("Your favorites have been ");
  ok->SetNarigateOnComplete(true);
  EXPECT_TRUE(ok->ImportFavorites());
  EXPECT_EQ(messages(), (QStringList{"Your favorites have been \r\n",
                                     "Please assign a WebBrowser before using this feature."}));
  EXPECT_EQ(bar.SimpleText(), "Your favorites have been \r\n");
  EXPECT_EQ(
      treeOf(base + "/Favorites/Imported Bookmarks"),
      (std::map<QString, QString>{
          {"Folder", ""}, {"Folder/In.url", "http://in.example/"}, {"Root.url", "http://root.example/"}}));
}

}  // namespace
