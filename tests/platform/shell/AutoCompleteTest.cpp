#include "platform/rtl/Registry.h"
#include "platform/shell/AutoComplete.h"
#include "platform/shell/UrlHistory.h"
#include "tests/platform/shell/ShellTestUtil.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace shelltest;

namespace {

// A real line edit with a window of its own, shown offscreen.
struct Edit {
  Edit() : widget(std::make_unique<QLineEdit>()) {
    hwnd = CreateWindowHandle("Edit", "", WS_POPUP, 0, nullptr, nullptr, widget.get());
    widget->resize(300, 24);
    widget->show();
    widget->activateWindow();
    widget->setFocus();
  }
  ~Edit() { DestroyWindow(hwnd); }
  QCompleter* completer() const { return widget->findChild<QCompleter*>("noctivaneAutoCompleter"); }
  // What the popup offers.
  QStringList offered() const {
    QCompleter* c = completer();
    if (!c || !c->popup()->isVisible()) return {};
    QStringList out;
    for (int i = 0; i < c->completionModel()->rowCount(); ++i)
      out << c->completionModel()->index(i, 0).data().toString();
    return out;
  }
  void type(const QString& text) { QTest::keyClicks(widget.get(), text); }
  void clear() {
    widget->clear();
    if (completer()) completer()->popup()->hide();
  }
  std::unique_ptr<QLineEdit> widget;
  HWND hwnd;
};

void seedHistory() {
  TUrlHistory& store = UrlHistoryStore();
  ASSERT_TRUE(store.Clear());
  const QDateTime now = QDateTime::currentDateTime();
  store.AddVisit("http://www.example.com/", "Example", now.addSecs(-30));
  store.AddVisit("http://example.org/page", "Org", now.addSecs(-20));
  store.AddVisit("https://other.net/", "Other", now.addSecs(-10));
}

ComPtr<IAutoComplete2> newAutoComplete() {
  InitializeShell();
  ComPtr<IAutoComplete2> ac;
  EXPECT_EQ(CoCreateInstance(CLSID_AutoComplete, nullptr, CLSCTX_INPROC_SERVER, IID_IAutoComplete2, &ac),
            S_OK);
  return ac;
}

ComPtr<IUnknown> newSource(REFCLSID clsid) {
  ComPtr<IUnknown> source;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &source), S_OK);
  return source;
}

}  // namespace

TEST(AutoComplete, ShAutoCompleteOffersHistoryAddressesMatchingWhatIsTyped) {
  seedHistory();
  Edit edit;
  ASSERT_EQ(SHAutoComplete(edit.hwnd, SHACF_URLHISTORY | SHACF_AUTOSUGGEST_FORCE_ON), S_OK);
  ASSERT_NE(edit.completer(), nullptr);

  edit.type("http://");
  EXPECT_EQ(edit.offered(), QStringList({"http://example.org/page", "http://www.example.com/"}));
  // Entries also match past "http://" and "www.".
  edit.clear();
  edit.type("exa");
  EXPECT_EQ(edit.offered(), QStringList({"http://example.org/page", "http://www.example.com/"}));
  edit.type("mple.c");
  EXPECT_EQ(edit.offered(), QStringList({"http://www.example.com/"}));
  EXPECT_EQ(edit.widget->text(), "example.c");  // no auto-append unless forced on
  edit.clear();
  edit.type("zzz");
  EXPECT_TRUE(edit.offered().isEmpty());

  // Choosing an entry puts it into the edit.
  edit.clear();
  edit.type("oth");
  ASSERT_EQ(edit.offered(), QStringList({"https://other.net/"}));
  QAbstractItemView* popup = edit.completer()->popup();
  popup->setCurrentIndex(edit.completer()->completionModel()->index(0, 0));
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_EQ(edit.widget->text(), "https://other.net/");

  EXPECT_EQ(SHAutoComplete(nullptr, SHACF_URLHISTORY), E_INVALIDARG);
}

TEST(AutoComplete, AutoAppendCompletesTheFirstMatchAndSelectsTheRest) {
  seedHistory();
  Edit edit;
  ComPtr<IAutoComplete2> ac = newAutoComplete();
  ASSERT_EQ(ac->SetOptions(ACO_AUTOAPPEND), S_OK);
  ASSERT_EQ(ac->Init(edit.hwnd, newSource(CLSID_ACLHistory).Get(), nullptr, nullptr), S_OK);
  edit.type("https://o");
  EXPECT_EQ(edit.widget->text(), "https://other.net/");
  EXPECT_EQ(edit.widget->selectedText(), "ther.net/");
  EXPECT_TRUE(edit.offered().isEmpty());  // no suggestion list without ACO_AUTOSUGGEST
  // Deleting does not append again; typing over the selection goes on matching.
  QTest::keyClick(edit.widget.get(), Qt::Key_Backspace);
  EXPECT_EQ(edit.widget->text(), "https://o");
  DWORD options = 0;
  ASSERT_EQ(ac->GetOptions(&options), S_OK);
  EXPECT_EQ(options, ACO_AUTOAPPEND);

  // Once only; disabled it offers nothing.
  EXPECT_EQ(ac->Init(edit.hwnd, newSource(CLSID_ACLHistory).Get(), nullptr, nullptr), E_UNEXPECTED);
  ac->SetOptions(ACO_AUTOSUGGEST);
  ac->Enable(FALSE);
  edit.clear();
  edit.type("http");
  EXPECT_TRUE(edit.offered().isEmpty());
  ac->Enable(TRUE);
  edit.type(":");
  EXPECT_EQ(edit.offered().size(), 2);
}

TEST(AutoComplete, WorksOnTheEditOfAComboBoxAndDropsTheListOnDown) {
  seedHistory();
  QComboBox combo;
  combo.setEditable(true);
  HWND hwnd = CreateWindowHandle("ComboBox", "", WS_POPUP, 0, nullptr, nullptr, &combo);
  combo.show();
  ComPtr<IAutoComplete2> ac = newAutoComplete();
  ac->SetOptions(ACO_AUTOSUGGEST | ACO_UPDOWNKEYDROPSLIST);
  ASSERT_EQ(ac->Init(hwnd, newSource(CLSID_ACLHistory).Get(), nullptr, nullptr), S_OK);
  QCompleter* completer = combo.lineEdit()->findChild<QCompleter*>("noctivaneAutoCompleter");
  ASSERT_NE(completer, nullptr);
  QTest::keyClick(combo.lineEdit(), Qt::Key_Down);
  ASSERT_TRUE(completer->popup()->isVisible());
  EXPECT_EQ(completer->completionModel()->rowCount(), 3);
  DestroyWindow(hwnd);

  // A window without an edit field is refused.
  HWND plain = CreateWindowHandle("Static", "", WS_POPUP, 0, nullptr, nullptr);
  ComPtr<IAutoComplete2> other = newAutoComplete();
  EXPECT_EQ(other->Init(plain, newSource(CLSID_ACLHistory).Get(), nullptr, nullptr), E_INVALIDARG);
  DestroyWindow(plain);
}

TEST(AutoComplete, SourcesOfTheFileSystemTypedAddressesAndLists) {
  seedHistory();
  const QString root = freshFolder("complete");
  testsupport::writeFile(root + "/alpha.txt", "a");
  testsupport::writeFile(root + "/alps/x.txt", "x");
  testsupport::writeFile(root + "/beta.txt", "b");
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("Software\\Microsoft\\Internet Explorer\\TypedURLs", true));
    reg.WriteString("url1", "http://typed.example/");
    reg.WriteString("url2", "http://typed.example/second");
  }

  Edit edit;
  ComPtr<IUnknown> multi = newSource(CLSID_ACLMulti);
  ComPtr<IObjMgr> manager = multi.As<IObjMgr>();
  ASSERT_TRUE(manager);
  ComPtr<IUnknown> files = newSource(CLSID_ACListISF);
  ASSERT_EQ(manager->Append(files.Get()), S_OK);
  ASSERT_EQ(manager->Append(newSource(CLSID_ACLMRU).Get()), S_OK);
  ComPtr<IAutoComplete2> ac = newAutoComplete();
  ac->SetOptions(ACO_AUTOSUGGEST);
  ASSERT_EQ(ac->Init(edit.hwnd, multi.Get(), nullptr, nullptr), S_OK);

  // The folder before the last "/" is listed; folders end in "/".
  edit.type(root + "/al");
  EXPECT_EQ(edit.offered(), QStringList({root + "/alpha.txt", root + "/alps/"}));
  edit.clear();
  edit.type("http://typed");
  EXPECT_EQ(edit.offered(), QStringList({"http://typed.example/", "http://typed.example/second"}));

  // Folders only, when asked.
  ASSERT_EQ(files.As<IACList2>()->SetOptions(ACLO_FILESYSDIRS), S_OK);
  edit.clear();
  edit.type(root + "/al");
  EXPECT_EQ(edit.offered(), QStringList({root + "/alps/"}));

  // Removing a source takes its strings away.
  ASSERT_EQ(manager->Remove(files.Get()), S_OK);
  EXPECT_EQ(manager->Remove(files.Get()), E_FAIL);
  edit.clear();
  edit.type(root + "/al");
  EXPECT_TRUE(edit.offered().isEmpty());

  // The history source straight: every address, the most recent first.
  ComPtr<IEnumString> history = newSource(CLSID_ACLHistory).As<IEnumString>();
  ASSERT_TRUE(history);
  LPOLESTR strings[5] = {};
  ULONG fetched = 0;
  EXPECT_EQ(history->Next(5, strings, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 3u);
  EXPECT_EQ(OleStrToString(strings[0]), "https://other.net/");
  for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(strings[i]);
}
