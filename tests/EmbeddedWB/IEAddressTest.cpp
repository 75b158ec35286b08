// The address box: Enter, the list's keys and clicks, the typed-address
// history in the registry, following the browser, start-up from a form
// resource, auto-completion and bad addresses.
#include "EmbeddedWB/Source/IEAddress.h"

#include "platform/classlib/Streaming.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShlObj.h"
#include "platform/shell/UrlHistory.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QCursor>
#include <QLineEdit>
#include <QPointer>

#include <map>
#include <tuple>

using namespace ewbtest;
using namespace IEAddress;

namespace {

QString fileUrl(const QString& path) { return QUrl::fromLocalFile(path).toString(); }

// A page in the profile folder; answers its file address.
QString page(const QString& name, const QString& title) {
  return fileUrl(pagePath(
      name,
      QStringLiteral("<html><head><title>%1</title></head><body>%1</body></html>").arg(title).toUtf8()));
}

// The box's protected operations, for the tests that call them directly.
class Probe : public TIEAddress {
 public:
  using TCustomIEAddress::AcceptUrl;
  using TCustomIEAddress::AddTrailingSlash;
  using TCustomIEAddress::CheckSecureSite;
  using TCustomIEAddress::DoUpdateTextAfterNav;
  using TCustomIEAddress::LoadTypedUrls;
  using TCustomIEAddress::SaveTypedUrls;
  using TIEAddress::TIEAddress;
  QComboBox* combo() { return qobject_cast<QComboBox*>(Widget()); }
  QLineEdit* edit() { return combo()->lineEdit(); }
};

// ---- the typed-address history

void clearHistory() {
  TRegistry reg;
  reg.DeleteKey(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\TypedURLs"));
}

void writeHistory(const std::map<int, QString>& values) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(QString::fromLatin1(TypedUrlsKey), true));
  for (const auto& [n, url] : values) reg.WriteString(QStringLiteral("Url%1").arg(n), url);
}

// Url1 .. Url40 as the store holds them, read from the file again.
std::map<int, QString> history() {
  ResetRegistryStoreForTests();
  std::map<int, QString> values;
  TRegistry reg(KEY_READ);
  if (!reg.OpenKeyReadOnly(QString::fromLatin1(TypedUrlsKey))) return values;
  for (int n = 1; n <= 40; ++n) {
    const QString name = QStringLiteral("Url%1").arg(n);
    if (reg.ValueExists(name)) values[n] = reg.ReadString(name);
  }
  return values;
}

QStringList itemsOf(TCustomComboBox* box) { return box->Items()->Strings(); }

// ---- what the box sends and posts to its two windows

using Record = std::tuple<char, UINT, WPARAM, LPARAM>;  // 'C' combo box, 'E' edit field

class MessageRecorder {
 public:
  explicit MessageRecorder(TCustomComboBox* box) : box_(box) {
    current = this;
    oldComboProc_ = box->WindowProc;
    box->WindowProc = [this](TMessage& m) {
      note('C', m.Msg, m.WParam, m.LParam);
      oldComboProc_(m);
    };
    edit_ = box->EditHandle();
    oldEditProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(edit_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
  }
  ~MessageRecorder() {
    if (box_) box_->WindowProc = oldComboProc_;
    if (IsWindow(edit_)) SetWindowLongPtr(edit_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(oldEditProc_));
    current = nullptr;
  }
  std::vector<Record> records;

 private:
  void note(char window, UINT msg, WPARAM w, LPARAM l) {
    if (msg == CB_SHOWDROPDOWN || msg == CB_SETCURSEL || msg == EM_SETREADONLY || msg == EM_SETSEL)
      records.emplace_back(window, msg, w, l);
  }
  static LRESULT EditProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    current->note('E', msg, w, l);
    return CallWindowProc(current->oldEditProc_, h, msg, w, l);
  }
  static inline MessageRecorder* current = nullptr;
  QPointer<TCustomComboBox> box_;
  TWndMethod oldComboProc_;
  HWND edit_ = nullptr;
  WNDPROC oldEditProc_ = nullptr;
};

constexpr WPARAM kMinus1 = WPARAM(-1);
constexpr LPARAM kAll = LPARAM(-1);

class IEAddressTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    InitializeShell();
    IEAddress::initialize();
    clearHistory();
    box = new Probe(form);
    box->SetParent(form);
    box->SetBounds(0, 310, 400, 22);
    box->SetEmbeddedWB(wb);
    ASSERT_TRUE(box->HandleAllocated());
    wb->OnBeforeNavigate2 = [this](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                                   const OleVariant&, const OleVariant&, const OleVariant&,
                                   bool&) { navigations.push_back(VarToStr(url)); };
    box->OnUrlSelected = [this](TObject*, const String& url, bool& cancel) {
      selected.push_back(url);
      cancel = cancelSelection;
    };
  }
  void TearDown() override {
    SetRegistryWritesFail(false);
    delete box;
    IEAddress::finalize();
    BrowserFixture::TearDown();
  }

  void type(const QString& text) {
    box->edit()->setFocus();
    box->edit()->clear();
    QTest::keyClicks(box->edit(), text);
  }
  void enter() { QTest::keyClick(box->edit(), Qt::Key_Return); }
  // Opens the list and answers the view its keys go to.
  QAbstractItemView* openList() {
    box->SetDroppedDown(true);
    EXPECT_TRUE(testsupport::waitFor([this] { return box->DroppedDown(); }));
    return box->combo()->view();
  }
  void settle() { QTest::qWait(100); }

  QPointer<Probe> box;
  std::vector<QString> navigations;
  std::vector<QString> selected;
  bool cancelSelection = false;
};

// ---------------------------------------------------------------- Enter with the list up

TEST_F(IEAddressTest, EnterNavigatesOnceThenFollowsTheBrowserAndSavesTheAddress) {
  const QString url = page("enter.html", "Enter page");
  type(url);
  enter();
  ASSERT_TRUE(complete(wb));
  settle();
  EXPECT_EQ(selected, std::vector<QString>{url});
  EXPECT_EQ(navigations, std::vector<QString>{url});
  EXPECT_EQ(box->Text(), wb->LocationURL());
  EXPECT_EQ(itemsOf(box), QStringList{url});
  EXPECT_EQ(history(), (std::map<int, QString>{{1, url}}));
  // The page title is the hint once the text is the page's address.
  EXPECT_EQ(box->Hint(), "Enter page");
  EXPECT_TRUE(box->ShowHint());
}

TEST_F(IEAddressTest, CancelledSelectionAndBlankTextDoNothing) {
  cancelSelection = true;
  type(page("cancel.html", "cancel"));
  enter();
  cancelSelection = false;
  type("   ");
  enter();
  settle();
  EXPECT_EQ(selected.size(), 1u);  // blank text raises nothing
  EXPECT_TRUE(navigations.empty());
  EXPECT_TRUE(itemsOf(box).isEmpty());
  EXPECT_TRUE(history().empty());
}

TEST_F(IEAddressTest, EnterWithoutBrowserOrAutoNavigationOnlyAccepts) {
  box->SetAutoNavigateOnEnterKey(false);
  type("http://example.test/dir");
  enter();
  box->SetEmbeddedWB(nullptr);
  type("http://second.test/a.html");
  enter();
  settle();
  EXPECT_TRUE(navigations.empty());
  // The browser never navigated: the text is not replaced by its (empty) address.
  EXPECT_EQ(itemsOf(box), (QStringList{"http://second.test/a.html", "http://example.test/dir/"}));
}

// ---------------------------------------------------------------- the history

TEST_F(IEAddressTest, HistoryKeepsNewestFirstWithoutDuplicates) {
  box->SetEmbeddedWB(nullptr);
  for (const char* url : {"http://a.test/", "http://b.test/", "http://c.test/"}) {
    type(url);
    enter();
    // Each accepted address is in the store at once, first.
    EXPECT_EQ(history()[1], url);
  }
  EXPECT_EQ(history(),
            (std::map<int, QString>{{1, "http://c.test/"}, {2, "http://b.test/"}, {3, "http://a.test/"}}));
  // An address the list holds already is not added again.
  type("http://a.test/");
  enter();
  EXPECT_EQ(itemsOf(box), (QStringList{"http://c.test/", "http://b.test/", "http://a.test/"}));
  EXPECT_EQ(history().size(), 3u);
}

TEST_F(IEAddressTest, HistoryReadsTwentyFiveAndWritesTwentyFour) {
  std::map<int, QString> values;
  for (int n = 1; n <= 30; ++n) values[n] = QStringLiteral("http://site%1.test/").arg(n);
  writeHistory(values);
  box->SetEmbeddedWB(nullptr);
  box->LoadTypedUrls();
  ASSERT_EQ(box->Items()->Count(), 25);
  EXPECT_EQ(box->Items()->Get(24), "http://site25.test/");
  // Without a browser the text starts as the newest address.
  EXPECT_EQ(box->Text(), "http://site1.test/");

  for (int i = 0; i < 5; ++i) box->Items()->Add(QStringLiteral("http://extra%1.test/").arg(i));
  for (int i = 0; i < box->Items()->Count(); ++i)
    box->Items()->Put(i, QStringLiteral("http://new%1.test/").arg(i + 1));
  box->SaveTypedUrls();
  const auto saved = history();
  for (int n = 1; n <= 24; ++n) EXPECT_EQ(saved.at(n), QStringLiteral("http://new%1.test/").arg(n));
  // Values past the 24th are neither rewritten nor deleted.
  for (int n = 25; n <= 30; ++n) EXPECT_EQ(saved.at(n), QStringLiteral("http://site%1.test/").arg(n));
}

TEST_F(IEAddressTest, HistorySkipsOnlyEqualEntries) {
  writeHistory({{1, "http://a.test/long/path"},
                {2, "http://a.test/"},              // inside the first: still its own address
                {3, "  http://a.test/long/path "},  // equal once trimmed
                {4, "   "},
                {6, "http://after-gap.test/"}});
  box->LoadTypedUrls();
  EXPECT_EQ(itemsOf(box),
            (QStringList{"http://a.test/long/path", "http://a.test/", "http://after-gap.test/"}));
  // With a browser the text is left for TextOnLoad.
  EXPECT_EQ(box->Text(), "");
}

TEST_F(IEAddressTest, OnUpdateRegistryCanKeepTheStoreAndFailedWritesAreQuiet) {
  box->SetEmbeddedWB(nullptr);
  std::vector<QString> asked;
  box->OnUpdateRegistry = [&](TObject*, const String& url, bool& cancel) {
    asked.push_back(url);
    cancel = true;
  };
  type("http://kept.test/");
  enter();
  EXPECT_EQ(asked, std::vector<QString>{"http://kept.test/"});
  EXPECT_TRUE(history().empty());

  box->OnUpdateRegistry = nullptr;
  SetRegistryWritesFail(true);
  type("http://failing.test/");
  enter();
  SetRegistryWritesFail(false);
  EXPECT_EQ(itemsOf(box), (QStringList{"http://failing.test/", "http://kept.test/"}));
  EXPECT_TRUE(history().empty());
}

// ---------------------------------------------------------------- bad addresses

TEST_F(IEAddressTest, ControlCharactersNeverReachTheList) {
  box->SetEmbeddedWB(nullptr);
  box->SetText(QStringLiteral("http://con\x01trol.test/\x7F\x1B[2Jpath\t\r\n"));
  enter();
  box->SetText(QString(200, QChar(0x07)));
  enter();
  settle();
  EXPECT_EQ(itemsOf(box), QStringList{"http://control.test/[2Jpath/"});
  const auto saved = history();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved.at(1), "http://control.test/[2Jpath/");

  // A value with control characters written by someone else reads cleaned.
  writeHistory({{2, QStringLiteral("http://other\x02.test/\x03")}});
  box->LoadTypedUrls();
  EXPECT_EQ(itemsOf(box), (QStringList{"http://control.test/[2Jpath/", "http://other.test/"}));
}

TEST_F(IEAddressTest, AHugeAddressIsKeptWhole) {
  box->SetEmbeddedWB(nullptr);
  const QString huge = QStringLiteral("http://huge.test/") + QString(100 * 1024, QChar('x'));
  box->SetText(huge);
  enter();
  EXPECT_EQ(box->Text(), huge + "/");
  EXPECT_EQ(history().at(1), huge + "/");
  box->LoadTypedUrls();
  EXPECT_EQ(itemsOf(box), QStringList{huge + "/"});
}

TEST_F(IEAddressTest, UnknownAndGarbledAddressesHurtNeitherTheBoxNorTheStore) {
  for (const QString& bad :
       {QStringLiteral("unknownscheme://what/ever?x"), QStringLiteral("\x01\x02 not an address \x03"),
        QStringLiteral("::::"), QStringLiteral("http://")}) {
    box->SetText(bad);
    enter();
    ASSERT_TRUE(box);
    settle();
  }
  settle();
  const auto saved = history();
  for (const auto& [n, value] : saved) EXPECT_EQ(value, RemoveControlChars(value)) << n;
  box->LoadTypedUrls();
  EXPECT_EQ(box->Items()->Count(), int(saved.size()));
}

// ---------------------------------------------------------------- the keys of the open list

TEST_F(IEAddressTest, ListKeysPostTheirMessagesInOrder) {
  box->SetEmbeddedWB(nullptr);
  box->Items()->SetText("http://one.test/\nhttp://two.test/\nhttp://three.test/");
  box->SetText("typed");
  MessageRecorder rec(box);

  // Down with the list up opens it.
  QTest::keyClick(box->edit(), Qt::Key_Down);
  ASSERT_TRUE(testsupport::waitFor([this] { return box->DroppedDown(); }));
  EXPECT_EQ(rec.records,
            (std::vector<Record>{{'E', EM_SETSEL, kMinus1, 0}, {'C', CB_SHOWDROPDOWN, TRUE, 0}}));
  QAbstractItemView* view = box->combo()->view();

  rec.records.clear();
  QTest::keyClick(view, Qt::Key_Down);
  settle();
  QTest::keyClick(view, Qt::Key_Down);
  settle();
  EXPECT_EQ(rec.records, (std::vector<Record>{{'C', CB_SETCURSEL, 0, 0},
                                              {'E', EM_SETSEL, kMinus1, 0},
                                              {'C', CB_SETCURSEL, 1, 0},
                                              {'E', EM_SETSEL, kMinus1, 0}}));
  EXPECT_EQ(box->Text(), "http://two.test/");

  rec.records.clear();
  QTest::keyClick(view, Qt::Key_Return);
  settle();
  EXPECT_EQ(rec.records, (std::vector<Record>{{'C', CB_SHOWDROPDOWN, FALSE, 0},
                                              {'C', CB_SETCURSEL, 0, 0},
                                              {'E', EM_SETREADONLY, FALSE, 0},
                                              {'E', EM_SETSEL, 0, kAll}}));
  EXPECT_FALSE(box->DroppedDown());
  EXPECT_EQ(selected, std::vector<QString>{"http://two.test/"});
  // The chosen entry moved to the top and was saved there.
  EXPECT_EQ(itemsOf(box), (QStringList{"http://two.test/", "http://one.test/", "http://three.test/"}));
  EXPECT_EQ(box->Text(), "http://two.test/");
  EXPECT_EQ(history().at(1), "http://two.test/");

  // Up with the list up is swallowed; Esc closes the list at once.
  rec.records.clear();
  QTest::keyClick(box->edit(), Qt::Key_Up);
  settle();
  EXPECT_TRUE(rec.records.empty());
  view = openList();
  rec.records.clear();
  QTest::keyClick(view, Qt::Key_Escape);
  EXPECT_FALSE(box->DroppedDown());
  EXPECT_EQ(rec.records, (std::vector<Record>{{'C', CB_SHOWDROPDOWN, FALSE, 0},
                                              {'E', EM_SETREADONLY, FALSE, 0},
                                              {'E', EM_SETSEL, 0, kAll}}));
}

TEST_F(IEAddressTest, ListSelectionStopsAtTheEnds) {
  box->SetEmbeddedWB(nullptr);
  box->Items()->SetText("http://one.test/\nhttp://two.test/");
  box->SetItemIndex(1);
  QAbstractItemView* view = openList();
  MessageRecorder rec(box);
  QTest::keyClick(view, Qt::Key_Down);
  settle();
  // Past the last entry nothing moves and the text stays.
  EXPECT_TRUE(rec.records.empty());
  EXPECT_EQ(box->Text(), "http://two.test/");
  QTest::keyClick(view, Qt::Key_Up);
  settle();
  QTest::keyClick(view, Qt::Key_Up);
  settle();
  EXPECT_EQ(rec.records, (std::vector<Record>{{'C', CB_SETCURSEL, 0, 0}, {'E', EM_SETSEL, kMinus1, 0}}));
  EXPECT_EQ(box->Text(), "http://one.test/");
}

TEST_F(IEAddressTest, EnterInTheOpenListWithoutSelectionKeepsTheTypedText) {
  box->SetEmbeddedWB(nullptr);
  box->Items()->SetText("http://one.test/\nhttp://two.test/");
  type("http://typed.test/");
  QAbstractItemView* view = openList();
  ASSERT_EQ(box->ItemIndex(), -1);
  QTest::keyClick(view, Qt::Key_Return);
  settle();
  EXPECT_EQ(box->Text(), "http://typed.test/");
  EXPECT_EQ(itemsOf(box), (QStringList{"http://typed.test/", "http://one.test/", "http://two.test/"}));
  EXPECT_EQ(history().at(1), "http://typed.test/");
}

TEST_F(IEAddressTest, EnterInTheOpenListNavigatesToTheChosenEntry) {
  const QString shown = page("shown.html", "shown");
  const QString chosen = page("chosen.html", "chosen");
  ASSERT_TRUE(show(shown));
  box->SetAutoNavigateOnSelected(false);
  box->Items()->SetText(page("first.html", "first") + "\n" + chosen);
  box->SetItemIndex(1);
  navigations.clear();
  QAbstractItemView* view = openList();
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(complete(wb));
  settle();
  // Not the page shown before: the text followed the browser only after it went.
  EXPECT_EQ(navigations, std::vector<QString>{chosen});
  EXPECT_EQ(wb->LocationURL(), chosen);
  EXPECT_EQ(box->Text(), chosen);
  EXPECT_EQ(box->Items()->Get(0), chosen);
}

TEST_F(IEAddressTest, ArrowKeysNavigateToTheEntryMovedTo) {
  const QString first = page("arrow1.html", "arrow one");
  const QString second = page("arrow2.html", "arrow two");
  box->Items()->SetText(first + "\n" + second);
  box->SetItemIndex(0);
  QAbstractItemView* view = openList();
  QTest::keyClick(view, Qt::Key_Down);
  ASSERT_TRUE(complete(wb));
  settle();
  EXPECT_EQ(navigations, std::vector<QString>{second});
  EXPECT_TRUE(selected.empty());
}

TEST_F(IEAddressTest, EnterInTheOpenListNavigatesOnceWithBothSwitchesOn) {
  const QString chosen = page("once.html", "once");
  box->Items()->SetText(page("one.html", "one") + "\n" + chosen);
  box->SetItemIndex(1);
  QAbstractItemView* view = openList();
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(complete(wb));
  settle();
  EXPECT_EQ(navigations, std::vector<QString>{chosen});
}

// An owner that navigates from OnUrlSelected (as the main window does) makes
// the only navigation of the choice; the keys without the event still
// navigate on their own.
TEST_F(IEAddressTest, AnOwnerThatNavigatesItselfIsTheOnlyNavigation) {
  box->OnUrlSelected = [this](TObject*, const String& url, bool&) {
    selected.push_back(url);
    wb->Go(Trim(box->Text()), 0);
  };
  const QString typed = page("typed.html", "typed");
  type(typed);
  enter();
  ASSERT_TRUE(complete(wb));
  settle();
  EXPECT_EQ(navigations, std::vector<QString>{typed});

  const QString listed = page("listed.html", "listed");
  box->Items()->Add(listed);
  box->SetItemIndex(1);
  navigations.clear();
  QTest::keyClick(openList(), Qt::Key_Return);
  ASSERT_TRUE(complete(wb));
  settle();
  EXPECT_EQ(navigations, std::vector<QString>{listed});
  EXPECT_EQ(selected, (std::vector<QString>{typed, listed}));

  // Down with the list up opens it and goes to the text.
  navigations.clear();
  box->edit()->setFocus();
  QTest::keyClick(box->edit(), Qt::Key_Down);
  ASSERT_TRUE(testsupport::waitFor([this] { return box->DroppedDown(); }));
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(navigations, std::vector<QString>{listed});
}

// The shell's suggestions open while typing; Enter there takes the text and
// goes at once, like Enter in the field.
TEST_F(IEAddressTest, EnterInTheSuggestionListNavigatesAtOnce) {
  LoopbackServer server;
  const QString visited = server.url("/page");
  UrlHistoryStore().AddVisit(visited, "served");
  box->edit()->setFocus();
  box->edit()->clear();
  QTest::keyClicks(box->edit(), visited.left(visited.size() - 3));
  auto* completer = box->edit()->findChild<QCompleter*>("noctivaneAutoCompleter");
  ASSERT_TRUE(completer);
  ASSERT_TRUE(testsupport::waitFor([&] { return completer->popup()->isVisible(); }));
  EXPECT_EQ(box->Text(), visited);  // the rest was appended
  QTest::keyClick(completer->popup(), Qt::Key_Return);
  EXPECT_FALSE(completer->popup()->isVisible());
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(selected, std::vector<QString>{visited});
  EXPECT_EQ(navigations, std::vector<QString>{visited});
  EXPECT_EQ(wb->LocationURL(), visited);
  EXPECT_EQ(history().at(1), visited + "/");
}

// ---------------------------------------------------------------- mouse

TEST_F(IEAddressTest, ClickOnAListEntryNavigatesAndAccepts) {
  const QString target = page("clicked.html", "clicked");
  box->Items()->SetText(page("other.html", "other") + "\n" + target);
  QAbstractItemView* view = openList();
  const QRect item = view->visualRect(box->combo()->model()->index(1, 0));
  const QPoint at = item.center();
  RECT list{};
  box->Perform(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
  QCursor::setPos(view->viewport()->mapToGlobal(at));
  const QPoint cursor = QCursor::pos();
  ASSERT_TRUE(cursor.x() >= list.left && cursor.x() < list.right && cursor.y() >= list.top &&
              cursor.y() < list.bottom);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  ASSERT_TRUE(complete(wb));
  settle();
  EXPECT_EQ(selected, std::vector<QString>{target});
  EXPECT_EQ(navigations, std::vector<QString>{target});
  // An entry the list holds keeps its place.
  EXPECT_EQ(history(), (std::map<int, QString>{{1, box->Items()->Get(0)}, {2, target}}));
}

TEST_F(IEAddressTest, PickingAnEntryAwayFromTheListDoesNotNavigate) {
  box->Items()->SetText("http://away.test/");
  QCursor::setPos(box->ClientToScreen(TPoint(5, 5)).X, box->ClientToScreen(TPoint(5, 5)).Y);
  box->SetItemIndex(0);
  box->Perform(CN_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), 0);
  QTest::mouseDClick(box->edit(), Qt::LeftButton);
  settle();
  EXPECT_TRUE(selected.empty());
  EXPECT_TRUE(navigations.empty());
  // A double-click in the field selects the whole text.
  EXPECT_EQ(box->edit()->selectedText(), "http://away.test/");
}

// ---------------------------------------------------------------- following the browser

TEST_F(IEAddressTest, TrailingSlashOnlyForFolderAddresses) {
  const std::vector<std::pair<QString, QString>> cases = {
      {"http://host.test/dir", "http://host.test/dir/"},
      {"http://host.test/dir/", "http://host.test/dir/"},
      {"http://host.test", "http://host.test"},
      {"http://host.test/page.html", "http://host.test/page.html"},
      {"http://host.test/find?q=a/b", "http://host.test/find?q=a/b"},
      {"http://host.test/doc#part/two", "http://host.test/doc#part/two"},
      {"http://localhost", "http://localhost/"},
      {"about:blank", "about:blank"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(box->AddTrailingSlash(in), out) << in.toStdString();
}

TEST_F(IEAddressTest, SecureSitesGetTheirBackground) {
  const TColor normal = box->Color();
  box->SetSecureSiteBG(clYellow);
  box->SetText("https://secure.test/");
  box->CheckSecureSite();
  EXPECT_EQ(box->Color(), clYellow);
  box->SetText("HTTPS://upper.test/");
  box->CheckSecureSite();
  EXPECT_EQ(box->Color(), normal);
  box->SetUseSecureSiteBGColor(false);
  box->SetText("https://secure.test/");
  box->CheckSecureSite();
  EXPECT_EQ(box->Color(), normal);
}

TEST_F(IEAddressTest, TextFollowsTheBrowserUnlessCancelled) {
  const QString url = page("follow.html", "Followed title");
  // Nothing navigated yet: the text stays and nothing waits.
  box->SetText("as typed");
  box->DoUpdateTextAfterNav();
  EXPECT_EQ(box->Text(), "as typed");

  ASSERT_TRUE(show(url));
  box->SetTextAfterNav(anLocationName);
  std::vector<std::pair<QString, QString>> updates;
  bool cancel = true;
  box->OnUpdateText = [&](TObject*, const String& oldUrl, const String& newUrl, bool& c) {
    updates.emplace_back(oldUrl, newUrl);
    c = cancel;
  };
  box->DoUpdateTextAfterNav();
  EXPECT_EQ(box->Text(), "as typed");
  cancel = false;
  box->DoUpdateTextAfterNav();
  EXPECT_EQ(box->Text(), "Followed title");
  EXPECT_EQ(updates, (std::vector<std::pair<QString, QString>>{{"as typed", "Followed title"},
                                                               {"as typed", "Followed title"}}));
  // The secure colour follows the text the box accepts.
  box->SetTextAfterNav(anLocationUrl);
  box->SetText("https://not-yet.test/");
  box->AcceptUrl();
  EXPECT_EQ(box->Text(), url);
}

TEST_F(IEAddressTest, WaitingForTheBrowserIsBoundedAndSurvivesTheBoxGoing) {
  LoopbackServer server;
  box->SetWaitTimeOut(200);
  box->SetText(server.url("/slow"));
  wb->Navigate(server.url("/slow"));
  box->AcceptUrl();
  // The page is still held by the server: the wait gave up on its own.
  EXPECT_NE(wb->ReadyState(), READYSTATE_COMPLETE);
  ASSERT_TRUE(box);

  wb->OnBusyWait = [this](TEmbeddedWB*, Cardinal, Cardinal&, bool&) { delete box.data(); };
  box->AcceptUrl();
  EXPECT_FALSE(box);
  wb->OnBusyWait = nullptr;
  server.release();
  EXPECT_TRUE(complete(wb));
}

TEST_F(IEAddressTest, APageSlowerThanTheWaitLeavesTheTypedAddress) {
  LoopbackServer server;
  ASSERT_TRUE(show(page("before.html", "before")));
  box->SetWaitTimeOut(300);
  const QString slow = server.url("/slow");
  type(slow);
  enter();
  // The wait gave up while the browser still shows the page before.
  ASSERT_NE(wb->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(box->Text(), slow + "/");
  EXPECT_EQ(itemsOf(box), QStringList{slow + "/"});
  EXPECT_EQ(history(), (std::map<int, QString>{{1, slow + "/"}}));
  server.release();
  EXPECT_TRUE(complete(wb));

  // A title that follows the browser is no address for the list either.
  box->SetWaitTimeOut(0);
  EXPECT_EQ(box->WaitTimeOut(), NavigationWaitTimeOut);
  box->SetTextAfterNav(anLocationName);
  const QString titled = page("titled.html", "A title");
  type(titled);
  enter();
  EXPECT_EQ(box->Text(), "A title");
  EXPECT_EQ(box->Items()->Get(0), titled);
  EXPECT_EQ(history().at(1), titled);
}

TEST_F(IEAddressTest, AFreedBrowserIsForgotten) {
  delete wb;
  wb = nullptr;
  EXPECT_EQ(box->EmbeddedWB(), nullptr);
  type("http://after.test/");
  enter();
  EXPECT_EQ(itemsOf(box), QStringList{"http://after.test/"});
}

TEST_F(IEAddressTest, MouseActivationWithTheListDownKeepsTheFocus) {
  box->Items()->SetText("http://one.test/");
  EXPECT_NE(SendMessage(box->Handle(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
  openList();
  EXPECT_EQ(SendMessage(box->Handle(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
}

// ---------------------------------------------------------------- auto-completion and unit routines

TEST_F(IEAddressTest, AutoCompletionIsAttachedToTheEditField) {
  EXPECT_TRUE(box->edit()->findChild<QCompleter*>("noctivaneAutoCompleter"));
  auto* simple = new Probe(form);
  simple->SetAutoCompleteVersion(AutoComplete1);
  simple->SetParent(form);
  ASSERT_TRUE(simple->HandleAllocated());
  EXPECT_TRUE(simple->edit()->findChild<QCompleter*>("noctivaneAutoCompleter"));
  delete simple;
}

TEST_F(IEAddressTest, ANewWindowKeepsTheEditFieldsStateAndCompletion) {
  type("http://modified.test/");
  ASSERT_EQ(SendMessage(box->EditHandle(), EM_GETMODIFY, 0, 0), TRUE);
  box->SetAutoComplete2Source({acsHistory});
  settle();
  ASSERT_TRUE(box->EditHandle());
  EXPECT_EQ(SendMessage(box->EditHandle(), EM_GETMODIFY, 0, 0), TRUE);
  EXPECT_EQ(box->Text(), "http://modified.test/");
  EXPECT_TRUE(box->edit()->findChild<QCompleter*>("noctivaneAutoCompleter"));
  // The field sits right of the icon and clear of the button.
  EXPECT_EQ(box->edit()->geometry(), QRect(23, 5, 400 - 46, 22 - 7));
}

TEST_F(IEAddressTest, DefaultsOfANewBox) {
  auto* fresh = new TIEAddress(form);
  EXPECT_EQ(fresh->ArrowColor(), clBlack);
  EXPECT_EQ(fresh->BorderColor(), clBlack);
  EXPECT_EQ(fresh->ButtonColor(), clBtnFace);
  EXPECT_EQ(fresh->ButtonPressedColor(), clBtnFace);
  EXPECT_EQ(fresh->AutoCompleteOptions(), (TAutoCompleteOptions{acAutoAppend, acUrlHistory}));
  EXPECT_EQ(fresh->AutoComplete2Options(), (TAutoComplete2Options{acoAutoSuggest, acoAutoAppend, acoSearch}));
  EXPECT_EQ(fresh->AutoComplete2Source(), (TAutoComplete2Source{acsList, acsHistory, acsMRU, acsShell}));
  EXPECT_EQ(fresh->AutoCompleteVersion(), AutoComplete2);
  EXPECT_TRUE(fresh->AutoNavigateOnDblClk() && fresh->AutoNavigateOnEnterKey() &&
              fresh->AutoNavigateOnLoad() && fresh->AutoNavigateOnSelected());
  EXPECT_EQ(fresh->GUI(), gsThemes);
  EXPECT_TRUE(fresh->HasBorder() && fresh->HasDropDown() && fresh->ShowSiteToolTip() &&
              fresh->UpdateTextAfterNav() && fresh->UseSecureSiteBGColor() && fresh->DoubleBuffered());
  EXPECT_FALSE(fresh->Flat() || fresh->ShowFavicon() || fresh->UseAppIcon());
  EXPECT_EQ(fresh->HintColor(), clInfoBk);
  EXPECT_EQ(fresh->SecureSiteBG(), clInfoBk);
  EXPECT_EQ(fresh->IconLeft(), 4);
  EXPECT_EQ(fresh->IconTop(), 3);
  EXPECT_EQ(fresh->TextAfterNav(), anLocationUrl);
  EXPECT_EQ(fresh->TextOnLoad(), tlIEHomePage);
  EXPECT_EQ(fresh->Themes(), tmNone);
  EXPECT_EQ(fresh->WaitTimeOut(), NavigationWaitTimeOut);
  EXPECT_EQ(fresh->Style(), csDropDown);
  EXPECT_EQ(fresh->ItemHeight(), 16);
  EXPECT_EQ(fresh->DropDownCount(), 8);
  EXPECT_EQ(fresh->Width(), 145);
  EXPECT_EQ(fresh->Height(), 22);
  EXPECT_TRUE(fresh->ShowHint());
  EXPECT_EQ(fresh->EmbeddedWB(), nullptr);
  fresh->SetAbout("ignored");
  EXPECT_NE(fresh->About(), "ignored");
  // Flat drops the border and the raised look.
  fresh->SetFlat(true);
  EXPECT_FALSE(fresh->HasBorder() || fresh->Ctl3D());
  delete fresh;
}

TEST(IEAddressRoutines, VersionsUrlsFoldersAndText) {
  InitializeShell();
  EXPECT_EQ(GetDllVersion("Shlwapi.dll"), 6.0);
  EXPECT_EQ(GetDllVersion("nosuchmodule.dll"), 0.0);
  EXPECT_TRUE(IsValidUrl("http://host.test/"));
  EXPECT_FALSE(IsValidUrl("not an address"));
  EXPECT_FALSE(IsValidUrl(""));
  EXPECT_EQ(RemoveTextIgnoreCase("HTTP://", "http://host.test/http://"), "host.test/http://");
  EXPECT_EQ(RemoveTextIgnoreCase("", "abc"), "abc");
  EXPECT_EQ(SpecialFolderFromText("  my computer "), 17);
  EXPECT_EQ(SpecialFolderFromText("Recycle Bin"), 10);
  EXPECT_EQ(SpecialFolderFromText("mycomputer"), 3000);
  EXPECT_EQ(FindSpecialFolderName("PROFILES"), 62);
  EXPECT_EQ(IconExtensionOf("http://host.test/notes.TXT"), ".txt");
  EXPECT_EQ(IconExtensionOf("http://host.test/"), "*.htm");
  EXPECT_TRUE(GetIECacheFolder().endsWith("/"));
  EXPECT_EQ(RemoveControlChars(QStringLiteral("a\x01"
                                              "b\x7F"
                                              "c\u0085"
                                              "d\u00E9\t")),
            QStringLiteral("abcd\u00E9"));
}

// ---------------------------------------------------------------- form resources

class TAddressForm : public TForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TAddressForm(TComponent* owner) : TForm(owner) {}
  TEmbeddedWB* WB = nullptr;
  TIEAddress* URLEdit = nullptr;
  std::vector<QString> chosen;
  void URLEditUrlSelected(TObject*, const String& url, bool&) { chosen.push_back(url); }
};

TEST_F(IEAddressTest, FormResourceLinksTheBrowserAndStartsTheBox) {
  writeHistory({{1, "http://history.test/"}});
  const QString start = page("start.html", "start page");
  RegisterHandlers<TAddressForm>({
      HandlerEntry("URLEditUrlSelected", &TAddressForm::URLEditUrlSelected),
      FieldEntry("WB", &TAddressForm::WB),
      FieldEntry("URLEdit", &TAddressForm::URLEdit),
  });
  const QString text = QStringLiteral(R"(object AddressForm: TAddressForm
  ClientWidth = 420
  ClientHeight = 320
  object URLEdit: TIEAddress
    Left = 0
    Top = 0
    Width = 400
    EmbeddedWB = WB
    TextAfterNav = anLocationName
    TextOnLoad = tlUserDefine
    TextOnShow = '%1'
    UseAppIcon = True
    BorderColor = clMoneyGreen
    AutoComplete2Options = [acoAutoSuggest]
    OnUrlSelected = URLEditUrlSelected
  end
  object WB: TEmbeddedWB
    Left = 0
    Top = 30
    Width = 400
    Height = 280
  end
end
)")
                           .arg(start);
  TAddressForm* f = NewForm<TAddressForm>(nullptr);
  ReadComponentRes(text, f);
  ASSERT_TRUE(f->URLEdit && f->WB);
  EXPECT_EQ(f->URLEdit->EmbeddedWB(), f->WB);
  EXPECT_EQ(f->URLEdit->TextAfterNav(), anLocationName);
  // The theme's colours take the place of the streamed ones at load.
  EXPECT_EQ(f->URLEdit->BorderColor(), clBlack);
  EXPECT_EQ(f->URLEdit->AutoComplete2Options(), TAutoComplete2Options{acoAutoSuggest});
  EXPECT_TRUE(f->URLEdit->AutoNavigateOnLoad());
  EXPECT_EQ(f->URLEdit->Height(), 22);
  // Loaded: the history fills the list, the text is the start text and the
  // browser goes there.
  EXPECT_EQ(itemsOf(f->URLEdit), QStringList{"http://history.test/"});
  EXPECT_EQ(f->URLEdit->Text(), start);
  EXPECT_TRUE(complete(f->WB));
  EXPECT_EQ(f->WB->LocationURL(), start);

  QLineEdit* edit = qobject_cast<QComboBox*>(f->URLEdit->Widget())->lineEdit();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(f->chosen, std::vector<QString>{start});

  const String out = WriteComponentRes(f);
  EXPECT_TRUE(out.contains("EmbeddedWB = WB")) << out.toStdString();
  EXPECT_TRUE(out.contains("OnUrlSelected = URLEditUrlSelected"));
  EXPECT_TRUE(out.contains("TextAfterNav = anLocationName"));
  EXPECT_FALSE(out.contains("AutoNavigateOnLoad"));
  delete f;
}

// The entries the form data gives the list stay behind the typed addresses
// and are not written to the history until the user chooses one.
TEST_F(IEAddressTest, TheFormsOwnEntriesStayBehindTheTypedAddresses) {
  writeHistory({{1, "http://typed.test/"}});
  RegisterHandlers<TAddressForm>({
      HandlerEntry("URLEditUrlSelected", &TAddressForm::URLEditUrlSelected),
      FieldEntry("WB", &TAddressForm::WB),
      FieldEntry("URLEdit", &TAddressForm::URLEdit),
  });
  TAddressForm* f = NewForm<TAddressForm>(nullptr);
  ReadComponentRes(QStringLiteral(R"(object AddressForm: TAddressForm
  object URLEdit: TIEAddress
    Width = 400
    Items.Strings = (
      'http://preset.test/'
      'http://typed.test/')
  end
end
)"),
                   f);
  ASSERT_TRUE(f->URLEdit);
  EXPECT_EQ(itemsOf(f->URLEdit), (QStringList{"http://typed.test/", "http://preset.test/"}));
  QLineEdit* edit = qobject_cast<QComboBox*>(f->URLEdit->Widget())->lineEdit();
  f->URLEdit->SetText("http://new.test/");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(itemsOf(f->URLEdit),
            (QStringList{"http://new.test/", "http://typed.test/", "http://preset.test/"}));
  EXPECT_EQ(history(), (std::map<int, QString>{{1, "http://new.test/"}, {2, "http://typed.test/"}}));
  // Chosen once, it is a typed address like the others.
  f->URLEdit->SetText("http://preset.test/");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(history().at(3), "http://preset.test/");
  delete f;
}

}  // namespace

#include "IEAddressTest.moc"
