// The tools window's cache tab against its form resource, the real URL cache
// and history of the temporary profile, and the tools browser on the local
// copies. Boxes, lines and buttons are reached with the mouse through Qt.
#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QTest>
#include <QUrl>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/shell/UrlHistory.h"
#include "platform/wininet/UrlCache.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using FullScreen::FullScreenForm;
using FullScreen::TFullScreenForm;

class CacheTab : public apptest::AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    setStartPage(QStringLiteral("about:blank"));
    FinalizeUrlCache();
    QDir(UrlCacheFolder()).removeRecursively();
    InitializeUrlCache();
    UrlHistoryStore().Clear();
    Application->CreateForm(Menu::MyMenuForm);
    Application->CreateForm(FullScreenForm);
    f = FullScreenForm;
    Menu::MyMenuForm->Hide();
    f->PageControl->SetActivePage(f->CacheTabSheet);
    f->Show();
    ASSERT_TRUE(testsupport::waitFor([&] { return f->Widget()->isVisible(); }));
  }

  // A cache entry of `url` whose file holds `bytes`, with the extension
  // `ext` and no expiry; answers its local file.
  static QString store(const QString& url, const QByteArray& bytes,
                       const QString& ext = QStringLiteral("htm"), DWORD type = NORMAL_CACHE_ENTRY) {
    const std::u16string address = url.toStdU16String(), extension = ext.toStdU16String();
    char16_t path[260] = {};
    if (!CreateUrlCacheEntryW(address.c_str(), 0, extension.c_str(), path, 0)) return QString();
    testsupport::writeFile(QString::fromUtf16(path), bytes);
    if (!CommitUrlCacheEntryW(address.c_str(), path, FILETIME{}, FileTimeFromMSecsSinceEpoch(1000000000000),
                              type, nullptr, 0, extension.c_str(), nullptr))
      return QString();
    return QString::fromUtf16(path);
  }
  QStringList lines() const { return f->CacheListBox->Items()->Strings(); }
  // A click on the box's square.
  static void Tick(TCheckBox* box) {
    QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, QPoint(6, box->Widget()->height() / 2));
  }
  void ClickLine(int index) {
    auto* list = qobject_cast<QListWidget*>(f->CacheListBox->Widget());
    ASSERT_TRUE(list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(index)).center());
  }
  static void Press(TControl* c) { QTest::mouseClick(c->Widget(), Qt::LeftButton, {}, QPoint(4, 4)); }
  std::vector<TCheckBox*> boxes() const {
    return {f->AllCheckBox, f->CookiesCheckBox, f->HistoryCheckBox, f->URLCheckBox};
  }
  std::vector<bool> ticks() const {
    std::vector<bool> states;
    for (TCheckBox* b : boxes()) states.push_back(b->Checked());
    return states;
  }

  TFullScreenForm* f = nullptr;
};

}  // namespace

TEST_F(CacheTab, TheBoxesAreExclusiveAndListTheirKind) {
  EXPECT_EQ(f->IECache->Mask(), 0x300035u);
  EXPECT_EQ(ticks(), std::vector<bool>(4, false));
  EXPECT_TRUE(lines().isEmpty());
  store(QStringLiteral("http://host/page.htm"), "p");
  store(QStringLiteral("Cookie:ann@host/"), "c", QStringLiteral("txt"), COOKIE_CACHE_ENTRY);
  ASSERT_TRUE(UrlHistoryStore().AddVisit(QStringLiteral("http://host/page.htm"), QStringLiteral("Page")));
  const QString visit = QStringLiteral("Visited: %1@http://host/page.htm").arg(UrlCacheUserName());

  Tick(f->AllCheckBox);
  EXPECT_EQ(ticks(), std::vector<bool>({true, false, false, false}));
  EXPECT_EQ(lines(),
            QStringList({QStringLiteral("http://host/page.htm"), QStringLiteral("Cookie:ann@host/"), visit}));
  Tick(f->CookiesCheckBox);
  EXPECT_EQ(ticks(), std::vector<bool>({false, true, false, false}));
  EXPECT_EQ(lines(), QStringList{QStringLiteral("Cookie:ann@host/")});
  Tick(f->HistoryCheckBox);
  EXPECT_EQ(lines(), QStringList{visit});
  Tick(f->URLCheckBox);
  EXPECT_EQ(ticks(), std::vector<bool>({false, false, false, true}));
  EXPECT_EQ(lines(), QStringList{QStringLiteral("http://host/page.htm")});
  Tick(f->URLCheckBox);
  EXPECT_EQ(ticks(), std::vector<bool>(4, false));
  EXPECT_TRUE(lines().isEmpty());
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(CacheTab, AClickOnALineShowsTheEntrysDetails) {
  const QString first = store(QStringLiteral("http://host/first.htm"), "12345");
  ASSERT_FALSE(first.isEmpty());
  Tick(f->AllCheckBox);
  ASSERT_EQ(lines().size(), 1);

  // A click beside the line selects nothing and changes nothing.
  auto* list = qobject_cast<QListWidget*>(f->CacheListBox->Widget());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 3));
  EXPECT_EQ(f->Label1->Caption(), QStringLiteral("HitRate:"));
  EXPECT_TRUE(f->edtFileName->Text().isEmpty());

  // One line: the record from the listing.
  ClickLine(0);
  EXPECT_EQ(f->Label1->Caption(), QStringLiteral("Hitrate: 0"));
  EXPECT_EQ(f->Label2->Caption(), QStringLiteral("FileSize: 5"));
  EXPECT_EQ(f->Label4->Caption(),
            QStringLiteral("Last modified: ") +
                DateTimeToStr(QDateTimeToDateTime(QDateTime::fromMSecsSinceEpoch(1000000000000))));
  EXPECT_TRUE(f->Label3->Caption().startsWith(QStringLiteral("Last access: ") + DateToStr(Date())));
  EXPECT_EQ(f->Label5->Caption(), QStringLiteral("Expire: "));  // no expiry: nothing after it
  EXPECT_EQ(f->edtFileName->Text(), first);

  // More lines: the clicked entry is asked for.
  ASSERT_TRUE(CacheStorePage(QStringLiteral("http://host/second.htm"), "abc", QString(), QString()));
  Tick(f->AllCheckBox);
  Tick(f->AllCheckBox);
  ASSERT_EQ(lines().size(), 2);
  ClickLine(1);
  EXPECT_EQ(f->Label1->Caption(), QStringLiteral("Hitrate: 1"));
  EXPECT_EQ(f->Label2->Caption(), QStringLiteral("FileSize: 3"));
  ClickLine(0);
  EXPECT_EQ(f->edtFileName->Text(), first);
}

TEST_F(CacheTab, OnlyALowerCaseCopyOpensInTheBrowser) {
  const QString lower = store(QStringLiteral("http://host/lower.htm"), "<html><body>lower</body></html>");
  store(QStringLiteral("http://host/upper.HTM"), "<html><body>upper</body></html>", QStringLiteral("HTM"));
  Tick(f->AllCheckBox);
  ASSERT_EQ(lines().size(), 2);

  ClickLine(0);  // not asked for
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(f->WB->LocationURL(), QStringLiteral("about:blank"));

  Tick(f->ShowInBrowserCheckBox);
  ASSERT_TRUE(f->ShowInBrowserCheckBox->Checked());
  ClickLine(1);
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(f->WB->LocationURL(), QStringLiteral("about:blank"));
  ClickLine(0);
  EXPECT_TRUE(testsupport::waitFor(
      [&] { return f->WB->LocationURL() == QUrl::fromLocalFile(lower).toString() && !f->WB->Busy(); },
      15000));

  // Unticking the box blanks the browser.
  Tick(f->ShowInBrowserCheckBox);
  EXPECT_TRUE(
      testsupport::waitFor([&] { return f->WB->LocationURL() == QStringLiteral("about:blank"); }, 15000));
}

TEST_F(CacheTab, DeleteAddAndClear) {
  store(QStringLiteral("http://host/a.htm"), "a");
  store(QStringLiteral("http://host/b.htm"), "b");
  Tick(f->URLCheckBox);
  ASSERT_EQ(lines().size(), 2);

  // Delete: the selected entry goes, and the checked box lists again.
  ClickLine(0);
  Press(f->CC001Btn);
  EXPECT_EQ(lines(), QStringList{QStringLiteral("http://host/b.htm")});
  EXPECT_TRUE(f->URLCheckBox->Checked());
  // With no line selected only the list is made again.
  f->CacheListBox->SetItemIndex(-1);
  Press(f->CC001Btn);
  EXPECT_EQ(lines(), QStringList{QStringLiteral("http://host/b.htm")});

  // Add: the file under its own address, listed with everything and selected.
  const QString file = programDir() + QStringLiteral("/added page.htm");
  ASSERT_TRUE(testsupport::writeFile(file, "<html><body>added</body></html>"));
  {
    TScriptedDialogService dialogs;
    dialogs.QueueFile(file);
    Press(f->CC002Btn);
    EXPECT_EQ(dialogs.PendingDialogAnswers(), 0);
  }
  const QString url = QStringLiteral("file://") + file;
  EXPECT_EQ(ticks(), std::vector<bool>({true, false, false, false}));
  EXPECT_EQ(lines(), QStringList({QStringLiteral("http://host/b.htm"), url}));
  EXPECT_EQ(f->CacheListBox->ItemIndex(), 1);
  EXPECT_EQ(f->OpenDialog->Filter(), QStringLiteral("Internet files|*.htm;*.html;*.gif;*.jpg"));
  ASSERT_EQ(f->IECache->QueryEntryInfo(url), 0u);
  EXPECT_EQ(testsupport::readFile(f->IECache->EntryInfo.LocalFile), testsupport::readFile(file));

  // A cancelled dialog changes nothing.
  {
    TScriptedDialogService dialogs;
    dialogs.QueueCancel();
    Press(f->CC002Btn);
  }
  EXPECT_EQ(lines().size(), 2);

  // Clear: the list and the cache are empty; the boxes stay.
  Press(f->CC003Btn);
  EXPECT_TRUE(lines().isEmpty());
  EXPECT_TRUE(f->AllCheckBox->Checked());
  Tick(f->AllCheckBox);
  Tick(f->AllCheckBox);
  EXPECT_TRUE(lines().isEmpty());
  EXPECT_EQ(f->IECache->SearchPattern(), IECache::spAll);
}
