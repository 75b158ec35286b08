// The main window's page tools, pressed through the buttons the form data
// binds: deleting a favorite into the trash, exporting the Favorites and
// showing the file, the bookmark reader's settings, adding a favorite,
// clearing the history, the find dialog, print preview and the
// information tab.
#include "tests/app/AppTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>

#include "platform/classlib/Dialogs.h"
#include "platform/shdocvw/WebBrowser.h"
#include "platform/shell/ShlObj.h"
#include "platform/shell/UrlHistory.h"
#include "tests/support/TestSupport.h"

using namespace Menu;

namespace {

using apptest::Rgb;

class MainWindowPageTools : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    favorites = SpecialFolderPath(CSIDL_FAVORITES);
    QDir(favorites).removeRecursively();
    QDir().mkpath(favorites);
    // A trash of the test's own, and a shell that asks through the test.
    previousDataHome = qgetenv("XDG_DATA_HOME");
    trashHome = testsupport::profileDir() + "/page-tools-trash";
    QDir(trashHome).removeRecursively();
    QDir().mkpath(trashHome);
    qputenv("XDG_DATA_HOME", trashHome.toUtf8());
    previousPrompts = SetShellPrompts({
        .ConfirmDelete =
            [this](HWND, const QStringList& paths, bool toTrash) {
              asked << paths;
              askedToTrash = toTrash;
              return confirm;
            },
        .AskFavoriteName = [](HWND, const String&, String&) { return true; },
    });
    setStartPage("about:blank");
  }
  void TearDown() override {
    SetShellPrompts(previousPrompts);
    qputenv("XDG_DATA_HOME", previousDataHome);
    AppTest::TearDown();
    QDir(favorites).removeRecursively();
  }

  void open() {
    Application->CreateForm(MyMenuForm);
    f = MyMenuForm;
    ASSERT_TRUE(testsupport::waitFor([&] { return !f->WB->Busy(); }, 15000));
  }
  void shortcut(const QString& name, const QString& url = "http://127.0.0.1:1/x") {
    testsupport::writeFile(favorites + "/" + name, ("[InternetShortcut]\nURL=" + url + "\n").toUtf8());
  }
  // Selects the row of that file in the favorites list; false when none shows it.
  bool select(const QString& path) {
    for (int i = 0; i < f->FavoritesList->Items()->Count(); ++i)
      if (f->FavoritesList->RowPath(i) == path) {
        f->FavoritesList->SetItemIndex(i);
        return true;
      }
    return false;
  }
  QStringList files(const QString& dir) const {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
  }
  QStringList trashed() const { return files(trashHome + "/Trash/files"); }
  // Pressing and releasing a button as the form data binds it.
  static void press(TControl* c) {
    c->OnMouseDown(c, mbLeft, {}, 2, 2);
    c->OnMouseUp(c, mbLeft, {}, 2, 2);
  }
  bool show(const QString& url) {
    f->WB->Navigate(url);
    return testsupport::waitFor([&] { return !f->WB->Busy() && f->WB->LocationURL() == url; }, 15000);
  }
  QTextCharFormat format(const QString& text) const { return apptest::LineFormat(f->InfoEdit, text); }

  TMyMenuForm* f = nullptr;
  QString favorites;
  QString trashHome;
  QByteArray previousDataHome;
  TShellPrompts previousPrompts;
  QStringList asked;
  bool askedToTrash = false;
  bool confirm = true;
};

// ---------------------------------------------------------------- delete

TEST_F(MainWindowPageTools, DeleteTrashesTheFilesOfTheSelectedCaptionOnly) {
  shortcut("News.url");
  testsupport::writeFile(favorites + "/News.txt", "notes");
  shortcut("News2.url");
  shortcut("News/Inside.url");
  shortcut("Other.url");
  open();

  // The shortcut News: its files of any extension, not News2 and not the
  // folder of the same name.
  ASSERT_TRUE(select(favorites + "/News.url"));
  press(f->DeleteFavoriteBtn);
  EXPECT_EQ(asked, QStringList({favorites + "/News.txt", favorites + "/News.url"}));
  EXPECT_TRUE(askedToTrash);
  EXPECT_EQ(trashed(), QStringList({"News.txt", "News.url"}));
  EXPECT_EQ(files(favorites), QStringList({"News", "News2.url", "Other.url"}));
  EXPECT_EQ(Screen->Cursor(), crDefault);
  // The list was filled again.
  QStringList rows;
  for (int i = 0; i < f->FavoritesList->Items()->Count(); ++i) rows << f->FavoritesList->RowPath(i);
  EXPECT_EQ(rows, QStringList({favorites + "/News", favorites + "/News2.url", favorites + "/Other.url"}));

  // The folder goes when it is the one selected, with what it holds.
  asked.clear();
  ASSERT_TRUE(select(favorites + "/News"));
  press(f->DeleteFavoriteBtn);
  EXPECT_EQ(asked, QStringList({favorites + "/News"}));
  EXPECT_EQ(files(favorites), QStringList({"News2.url", "Other.url"}));
  EXPECT_TRUE(QFile::exists(trashHome + "/Trash/files/News/Inside.url"));
}

TEST_F(MainWindowPageTools, DeleteTakesWildcardCaptionsLiterallyAndWorksInTheFolderShown) {
  shortcut("Star*.url");
  shortcut("Star1.url");
  shortcut("What?.url");
  shortcut("Whats.url");
  shortcut("Deep.url");
  shortcut("Sub/Deep.url");
  shortcut("Sub/Deep2.url");
  open();

  ASSERT_TRUE(select(favorites + "/Star*.url"));
  f->DeleteFavoriteBtn->OnMouseEnter(f->DeleteFavoriteBtn);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Delete page  \"Star*\" from favorites ... ");
  press(f->DeleteFavoriteBtn);
  ASSERT_TRUE(select(favorites + "/What?.url"));
  press(f->DeleteFavoriteBtn);
  EXPECT_EQ(trashed(), QStringList({"Star*.url", "What?.url"}));
  EXPECT_EQ(files(favorites), QStringList({"Deep.url", "Star1.url", "Sub", "Whats.url"}));

  // Inside a sub-folder the item goes from the folder the list shows.
  ASSERT_TRUE(select(favorites + "/Sub"));
  f->FavoritesList->DblClick();
  ASSERT_EQ(f->FavoritesList->Depth(), 1);
  ASSERT_TRUE(select(favorites + "/Sub/Deep.url"));
  press(f->DeleteFavoriteBtn);
  EXPECT_EQ(files(favorites + "/Sub"), QStringList({"Deep2.url"}));
  EXPECT_TRUE(QFile::exists(favorites + "/Deep.url"));
  EXPECT_EQ(f->FavoritesList->Depth(), 1);  // still in the sub-folder
}

TEST_F(MainWindowPageTools, DeleteWithNothingSelectedOrCancelledKeepsEverything) {
  shortcut("Keep.url");
  open();
  f->FavoritesList->SetItemIndex(-1);
  press(f->DeleteFavoriteBtn);
  EXPECT_TRUE(asked.isEmpty());  // not even asked

  confirm = false;
  ASSERT_TRUE(select(favorites + "/Keep.url"));
  press(f->DeleteFavoriteBtn);
  EXPECT_EQ(asked, QStringList({favorites + "/Keep.url"}));
  EXPECT_TRUE(QFile::exists(favorites + "/Keep.url"));
  EXPECT_TRUE(trashed().isEmpty());
  EXPECT_EQ(f->FavoritesList->Items()->Count(), 1);

  // A file that went meanwhile: nothing to do, and the list catches up.
  confirm = true;
  ASSERT_TRUE(QFile::remove(favorites + "/Keep.url"));
  press(f->DeleteFavoriteBtn);
  EXPECT_EQ(f->FavoritesList->Items()->Count(), 0);
}

// ---------------------------------------------------------------- export and import

TEST_F(MainWindowPageTools, ExportWritesTheBookmarkFileAndTheBrowserShowsIt) {
  shortcut("Search.url", "http://127.0.0.1:1/search");
  shortcut("News/Daily.url", "http://127.0.0.1:1/daily?a=1&b=2");
  open();
  const QString target = QDir::homePath() + "/MyFavorites.htm";
  ASSERT_TRUE(QDir::homePath().startsWith(testsupport::profileDir()));
  EXPECT_EQ(f->ExportFavorite->TargetFileName(), "MyFavorites.htm");
  EXPECT_FALSE(f->ExportFavorite->ShowSuccessMessage());
  EXPECT_EQ(f->ExportFavorite->SuccessMessage()->Strings(),
            QStringList({"Your favorites have been exported to successfully!"}));
  EXPECT_EQ(f->ExportFavorite->EmbeddedWB(), f->WB);

  // The hint names the file that is written.
  f->ExportFavoritesBtn->OnMouseEnter(f->ExportFavoritesBtn);
  EXPECT_EQ(f->ProcessLabel->Caption(), "Export favorites in " + target);

  QStringList completed;
  const auto formHandler = f->WB->OnDocumentComplete;
  f->WB->OnDocumentComplete = [&](TObject* sender, IDispatch* disp, const OleVariant& url) {
    completed << VarToStr(url);
    formHandler(sender, disp, url);
  };
  TScriptedDialogService dialogs;
  press(f->ExportFavoritesBtn);
  const QByteArray written = testsupport::readFile(target);
  EXPECT_TRUE(written.startsWith("<!-- Made with "));
  EXPECT_TRUE(written.contains("<DT><H3>News</H3>\r\n"));
  EXPECT_TRUE(written.contains("HREF=\"http://127.0.0.1:1/daily?a=1&amp;b=2\">Daily</A>"));
  EXPECT_TRUE(dialogs.Calls.empty());  // no success message
  const QString fileUrl = QUrl::fromLocalFile(target).toString();
  ASSERT_TRUE(testsupport::waitFor([&] { return completed.contains(fileUrl); }, 15000));
  EXPECT_EQ(f->WB->LocationURL(), fileUrl);

  // A refused export leaves the browser where it is.
  ASSERT_TRUE(show("about:blank"));
  completed.clear();
  f->ExportFavorite->SetTargetFileName("list.txt");
  press(f->ExportFavoritesBtn);
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage).size(), 1u);
  EXPECT_EQ(dialogs.Calls[0].Type, mtError);
  QCoreApplication::processEvents();
  EXPECT_FALSE(QFile::exists(QDir::homePath() + "/list.txt"));
  EXPECT_EQ(f->WB->LocationURL(), "about:blank");
  EXPECT_TRUE(completed.isEmpty());
}

TEST_F(MainWindowPageTools, TheImporterReadsTheFormsSettingsAndFillsTheFavorites) {
  open();
  TImportFavorite* importer = f->ImportFavorite;
  ASSERT_NE(importer, nullptr);
  EXPECT_EQ(importer->CurrentFileName(), "newbook.htm");
  EXPECT_EQ(importer->FavoritesPath(), "Auto");
  EXPECT_EQ(importer->TargetSubFolder(), "Imported Bookmarks");
  EXPECT_EQ(importer->SuccessMessage()->Strings(), QStringList({"Your favorites have been "}));
  EXPECT_EQ(importer->WebBrowser(), nullptr);

  testsupport::writeFile(
      QDir::homePath() + "/newbook.htm",
      "<DL><p>\r\n<DT><H3 ADD_DATE=\"1\">Tools</H3>\r\n<DL><p>\r\n"
      "<DT><A HREF=\"https://127.0.0.1:1/a?x=1&amp;y=2\">A &amp; B</A>\r\n</DL><p>\r\n</DL><p>");
  TScriptedDialogService dialogs;
  EXPECT_TRUE(importer->ImportFavorites());
  const QString made = favorites + "/Imported Bookmarks/Tools/A & B.url";
  EXPECT_TRUE(testsupport::readFile(made).contains("URL=https://127.0.0.1:1/a?x=1&y=2"));
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage).size(), 1u);
  EXPECT_TRUE(dialogs.Calls[0].Message.startsWith("Your favorites have been "));
  EXPECT_EQ(dialogs.Calls[0].Type, mtInformation);
}

// ---------------------------------------------------------------- the other page tools

TEST_F(MainWindowPageTools, AddFavoriteAndClearHistoryThroughTheirButtons) {
  open();
  apptest::PageServer server;
  ASSERT_TRUE(show(server.url("kept")));
  ASSERT_EQ(f->FavoritesList->Items()->Count(), 0);
  press(f->AddFavoriteBtn);
  EXPECT_EQ(files(favorites), QStringList({"kept.url"}));
  // The list shows it at once.
  ASSERT_EQ(f->FavoritesList->Items()->Count(), 1);
  EXPECT_EQ(f->FavoritesList->RowCaption(0), "kept");
  EXPECT_TRUE(testsupport::readFile(favorites + "/kept.url").contains(server.url("kept").toUtf8()));
  EXPECT_EQ(Screen->Cursor(), crDefault);

  UrlHistoryStore().AddVisit("http://127.0.0.1:1/seen", "Seen page");
  ASSERT_FALSE(UrlHistoryStore().AllEntries().empty());
  press(f->ClearHistoryBtn);
  EXPECT_TRUE(UrlHistoryStore().AllEntries().empty());
}

TEST_F(MainWindowPageTools, FindAndPrintPreviewOpenTheBrowsersDialogs) {
  open();
  testsupport::writeFile(programDir() + "/find.html", "<html><body><p>hay needle hay</p></body></html>");
  ASSERT_TRUE(show(QUrl::fromLocalFile(programDir() + "/find.html").toString()));

  TScriptedDialogService dialogs;
  press(f->FindDialogBtn);
  const auto finds = dialogs.CallsOf(TScriptedDialogService::dkFind);
  ASSERT_EQ(finds.size(), 1u);
  finds[0].Find->SetFindText("needle");
  finds[0].Find->Find();
  QWebEnginePage* page = WebBrowserObject::FromUnknown(f->WB->DefaultInterface().Get())->Page();
  EXPECT_TRUE(testsupport::waitFor([page] { return page->selectedText() == "needle"; }));

  bool previewed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* preview = qobject_cast<QPrintPreviewDialog*>(w); preview && preview->isVisible()) {
        previewed = true;
        preview->reject();
      }
  });
  poll.start(50);
  press(f->PrintpageBtn);
  poll.stop();
  EXPECT_TRUE(previewed);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(MainWindowPageTools, TheInformationToolShowsThePagesTextAndHtmlInTheirColours) {
  open();
  const QByteArray html = "<html><head><title>Info</title></head><body><p>Hello world</p></body></html>";
  testsupport::writeFile(programDir() + "/info.html", html);
  ASSERT_TRUE(show(QUrl::fromLocalFile(programDir() + "/info.html").toString()));
  String text, source;
  f->WB->GetDocumentText(text);
  f->WB->GetDocumentSource(source);
  ASSERT_FALSE(text.isEmpty());
  ASSERT_FALSE(source.isEmpty());

  f->InfoEdit->Lines()->Add("left over");
  f->Label8->OnMouseUp(f->Label8, mbLeft, {}, 2, 2);
  // Eight additions, the text and the HTML each as one.
  QStringList expected{"", "TEXT:", ""};
  expected << text.split(QRegularExpression("\r\n|\n"));
  expected << ""
           << "HTML:"
           << "";
  const QStringList htmlLines = source.split(QRegularExpression("\r\n|\n"));
  expected << htmlLines;
  EXPECT_EQ(f->InfoEdit->Lines()->Strings(), expected);

  const QTextCharFormat heading = format("TEXT:");
  EXPECT_EQ(heading.foreground().color(), Rgb(clSkyBlue));
  EXPECT_EQ(heading.fontWeight(), QFont::Bold);
  const QTextCharFormat pageText = format("Hello world");
  EXPECT_EQ(pageText.foreground().color(), Rgb(clGray));
  EXPECT_EQ(pageText.fontWeight(), QFont::Normal);
  const QTextCharFormat htmlHeading = format("HTML:");
  EXPECT_EQ(htmlHeading.foreground().color(), Rgb(clTeal));
  EXPECT_EQ(htmlHeading.fontWeight(), QFont::Bold);
  const QTextCharFormat markup = format(htmlLines.first());
  EXPECT_EQ(markup.foreground().color(), Rgb(clTeal));
  EXPECT_EQ(markup.fontWeight(), QFont::Normal);
  EXPECT_FALSE(f->InfoEdit->Font()->GetStyle().Contains(fsBold));

  // A second use shows the same, not twice.
  f->Image4->OnMouseUp(f->Image4, mbLeft, {}, 2, 2);
  EXPECT_EQ(f->InfoEdit->Lines()->Strings(), expected);

  // The next page's panel is in the control's own grey again, not in the
  // teal the tool ended with.
  testsupport::writeFile(programDir() + "/next.html", "<html><body><p>Next</p></body></html>");
  ASSERT_TRUE(show(QUrl::fromLocalFile(programDir() + "/next.html").toString()));
  ASSERT_TRUE(
      testsupport::waitFor([&] { return f->InfoEdit->Lines()->Strings().join('\n').contains("Home Page"); }));
  const QString homeLine = f->InfoEdit->Lines()->Strings().filter("Home Page").first();
  const QTextCharFormat panel = format(homeLine);
  EXPECT_EQ(panel.foreground().color(), Rgb(f->InfoEdit->Font()->GetColor()));
  EXPECT_EQ(panel.fontWeight(), QFont::Normal);
}

}  // namespace
