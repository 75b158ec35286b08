// Context menus, masked Ctrl shortcuts, script errors and drops of the
// browser control, against the real engine on local pages.
#include "EmbeddedWB/Source/EwbCore.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Menus.h"
#include "platform/com/ComObject.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/WebBrowser.h"
#include "platform/winapi/DragDrop.h"
#include "platform/winapi/Menus.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QApplication>
#include <QBuffer>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

using namespace ewbtest;
using namespace EwbCore;

namespace {

constexpr DWORD kBack = 2282, kViewSource = 2139, kEncoding = 2292, kSelectAll = 31;

WebBrowserObject* objectOf(TEmbeddedWB* b) {
  return WebBrowserObject::FromUnknown(b->DefaultInterface().Get());
}

// Runs `step` on the next popup menu that opens (looked for from the event
// loop the menu runs).
void whenMenuOpens(std::function<void(QMenu*)> step, QMenu* other = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, step, other, ticks] {
    if (++*ticks > 1000) {  // no menu came: leave later menus alone
      timer->stop();
      timer->deleteLater();
      return;
    }
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu || menu == other || !menu->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    step(menu);
  });
  timer->start();
}

QAction* actionNamed(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions())
    if (a->text() == text) return a;
  return nullptr;
}

void closeMenu(QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); }

// Chooses an item of the open menu (a missing one fails and closes the menu).
void choose(QMenu* menu, const QString& text) {
  QAction* a = actionNamed(menu, text);
  if (!a) {
    ADD_FAILURE() << "no item " << text.toStdString();
    closeMenu(menu);
    return;
  }
  menu->setActiveAction(a);
  QTest::keyClick(menu, Qt::Key_Return);
}

// The command identifiers of a menu's items (sub-menus as 0xFFFFFFFF).
std::vector<UINT> commandsOf(HMENU menu) {
  std::vector<UINT> ids;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) ids.push_back(GetMenuItemID(menu, i));
  return ids;
}

bool contains(const std::vector<UINT>& ids, UINT id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The sub-menu of the item with command `id` (null when it has none).
HMENU subMenuOf(HMENU menu, UINT id) {
  MENUITEMINFOW info;
  info.fMask = MIIM_SUBMENU;
  return GetMenuItemInfoW(menu, id, FALSE, &info) ? info.hSubMenu : nullptr;
}

class ContextMenuTest : public BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    QImage red(100, 100, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(red.save(&buffer, "PNG"));
    ASSERT_TRUE(testsupport::writeFile(testsupport::profileDir() + "/ewb/red.png", png));
  }

  // A page with a picture at the top left, a link at the top right and
  // text below; waits until the engine's surface exists.
  void showMenuPage() {
    ASSERT_TRUE(
        show(QUrl::fromLocalFile(
                 pagePath("menus.html",
                          "<html><head><title>menus</title></head><body style='margin:0'>"
                          "<img src='red.png' width=100 height=100 style='position:absolute;left:0;top:0'>"
                          "<a id=link href='second.html' style='position:absolute;left:200px;top:0;"
                          "display:block;width:150px;height:60px;font-size:40px'>link</a>"
                          "<p style='position:absolute;left:0;top:150px'>Some words to select</p>"
                          "</body></html>"))
                 .toString()));
    ASSERT_TRUE(testsupport::waitFor([&] { return surface() != nullptr; }));
  }
  QWidget* surface() { return objectOf(wb)->View()->focusProxy(); }
  void rightClick(QPoint at) { QTest::mouseClick(surface(), Qt::RightButton, {}, at); }
  QWebEnginePage* page() { return objectOf(wb)->Page(); }
  String bodyText() {
    QVariant v;
    RunPageScript(page(), QStringLiteral("document.body.innerText"), &v);
    return v.toString().trimmed();
  }

  static constexpr QPoint kPicture{50, 50};
  static constexpr QPoint kLink{250, 30};
  static constexpr QPoint kEmpty{300, 250};
};

// ---------------------------------------------------------------- kinds and suppression

TEST_F(ContextMenuTest, RightClicksReachTheControlWithTheKindUnderTheMouse) {
  showMenuPage();
  std::vector<DWORD> kinds;
  wb->OnShowContextMenu = [&](TObject*, DWORD id, POINT* pt, IUnknown* target, IDispatch*, HRESULT& result) {
    kinds.push_back(id);
    EXPECT_NE(pt, nullptr);
    EXPECT_NE(target, nullptr);
    result = S_OK;  // nothing shows
  };
  rightClick(kPicture);
  rightClick(kLink);
  rightClick(kEmpty);
  ASSERT_TRUE(testsupport::waitFor([&] { return kinds.size() == 3; }));
  EXPECT_EQ(kinds, (std::vector<DWORD>{rcmImage, rcmAnchor, rcmDefault}));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ContextMenuTest, AllKindsDisabledShowTheControlsOwnMenuEverywhere) {
  showMenuPage();
  auto* popup = new TPopupMenu(form);
  auto* item = new TMenuItem(popup);
  item->SetCaption("Mine");
  popup->Items()->Add(item);
  int popups = 0;
  popup->OnPopup = [&](TObject*) {
    ++popups;
    whenMenuOpens(closeMenu);
  };
  wb->SetPopupMenu(popup);
  wb->SetDisabledPopupMenus({rcmAll});
  rightClick(kPicture);
  ASSERT_TRUE(testsupport::waitFor([&] { return popups == 1; }));
  rightClick(kEmpty);
  ASSERT_TRUE(testsupport::waitFor([&] { return popups == 2; }));
  // Scroll-bar menus too, which the engine does not report by itself.
  POINT pt{10, 10};
  EXPECT_EQ(wb->ShowContextMenu(10, &pt, nullptr, nullptr), S_OK);
  EXPECT_EQ(popups, 3);
}

TEST_F(ContextMenuTest, DisabledPictureMenuLeavesTheOtherKindsToTheBrowser) {
  showMenuPage();
  wb->SetDisabledPopupMenus({rcmImage});
  POINT pt{10, 10};
  EXPECT_EQ(wb->ShowContextMenu(rcmImage, &pt, nullptr, nullptr), S_OK);
  EXPECT_EQ(wb->ShowContextMenu(10, &pt, nullptr, nullptr), S_FALSE);  // scroll bar: the browser's
  EXPECT_EQ(wb->ShowContextMenu(rcmAnchor, &pt, nullptr, nullptr), S_FALSE);

  // On the picture nothing opens; elsewhere the engine's own menu does.
  rightClick(kPicture);
  QTest::qWait(200);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  rightClick(kEmpty);
  ASSERT_TRUE(testsupport::waitFor([] { return QApplication::activePopupWidget() != nullptr; }));
  QApplication::activePopupWidget()->close();
}

// ---------------------------------------------------------------- the filtered menu

TEST_F(ContextMenuTest, RemovedItemsMakeTheControlBuildTheMenuItself) {
  showMenuPage();
  wb->SetDisabledPopupMenuItems({EmbeddedWB::rcsViewSource});
  std::vector<UINT> commands;
  std::vector<UINT> encodings;
  HMENU shown = nullptr;
  wb->OnFilterPopupMenu = [&](TObject*, DWORD id, HMENU menu, IDispatch* context) {
    EXPECT_EQ(id, DWORD(rcmDefault));
    EXPECT_NE(context, nullptr);
    shown = menu;
    if (HMENU sub = subMenuOf(menu, kEncoding)) encodings = commandsOf(sub);
  };
  // The menu as tracked: the inherited filter has run, View Source is gone.
  QStringList texts;
  whenMenuOpens([&](QMenu* menu) {
    commands = commandsOf(shown);
    for (QAction* a : menu->actions()) texts << a->text();
    closeMenu(menu);
  });
  rightClick(kEmpty);
  ASSERT_TRUE(testsupport::waitFor([&] { return !texts.isEmpty(); }));
  EXPECT_TRUE(contains(commands, kBack));
  EXPECT_TRUE(contains(commands, kSelectAll));
  EXPECT_FALSE(contains(commands, kViewSource));
  EXPECT_TRUE(texts.contains("&Back"));
  EXPECT_FALSE(texts.contains("&View Source"));
  // The Encoding item opens the browser's encoding menu.
  EXPECT_GE(encodings.size(), 10u);
  // The loaded menu is gone once tracked; nothing else opened.
  EXPECT_TRUE(testsupport::waitFor([&] { return !IsMenu(shown); }));
  QTest::qWait(100);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ContextMenuTest, WithoutAMenuForTheKindOrAWindowTheBrowserShowsItsOwn) {
  showMenuPage();
  int filtered = 0;
  wb->OnFilterPopupMenu = [&](TObject*, DWORD, HMENU, IDispatch*) { ++filtered; };
  ComPtr<IUnknown> target(objectOf(wb)->GetUnknown());
  POINT pt{10, 10};
  // The resource has no menu for media (12).
  EXPECT_EQ(wb->ShowContextMenu(12, &pt, target.Get(), nullptr), S_FALSE);
  // A command target without a window gives the menu no owner.
  EXPECT_EQ(wb->ShowContextMenu(rcmDefault, &pt, nullptr, nullptr), S_FALSE);
  // Without the browser's resource library.
  EwbTools::finalize();
  UnregisterStandInModule(QStringLiteral("SHDOCLC.DLL"));
  EXPECT_EQ(wb->ShowContextMenu(rcmDefault, &pt, target.Get(), nullptr), S_FALSE);
  RegisterShdoclcModule();
  EwbTools::finalize();
  EXPECT_EQ(filtered, 0);
  // Back with it, the menu shows.
  whenMenuOpens(closeMenu);
  EXPECT_EQ(wb->ShowContextMenu(rcmDefault, &pt, target.Get(), nullptr), S_OK);
  EXPECT_EQ(filtered, 1);
}

TEST_F(ContextMenuTest, ChosenCommandsAreCarriedOutByTheBrowser) {
  showMenuPage();
  wb->OnFilterPopupMenu = [](TObject*, DWORD, HMENU, IDispatch*) {};

  // Select All.
  whenMenuOpens([](QMenu* menu) { choose(menu, "Select &All"); });
  rightClick(kEmpty);
  ASSERT_TRUE(testsupport::waitFor([&] { return page()->selectedText().contains("Some words"); }));
  // A selection would make every menu the one of selected text.
  RunPageScript(page(), QStringLiteral("window.getSelection().removeAllRanges()"));

  // Open in New Window asks for a new window.
  int newWindows = 0;
  wb->OnNewWindow2 = [&](TObject*, ComPtr<IDispatch>&, bool& cancel) {
    ++newWindows;
    cancel = true;
  };
  whenMenuOpens([](QMenu* menu) { choose(menu, "Open in &New Window"); });
  rightClick(kLink);
  ASSERT_TRUE(testsupport::waitFor([&] { return newWindows == 1; }));

  // Open follows the link; Back returns.
  pagePath("second.html", "<html><head><title>second</title></head><body>two</body></html>");
  whenMenuOpens([](QMenu* menu) { choose(menu, "&Open"); });
  rightClick(kLink);
  ASSERT_TRUE(testsupport::waitFor([&] { return wb->LocationName() == "second"; }, 10000));
  ASSERT_TRUE(complete(wb));
  whenMenuOpens([](QMenu* menu) { choose(menu, "&Back"); });
  QTest::mouseClick(surface(), Qt::RightButton, {}, QPoint(300, 250));
  ASSERT_TRUE(testsupport::waitFor([&] { return wb->LocationName() == "menus"; }, 10000));
}

TEST_F(ContextMenuTest, PropertiesAndSourceOfWhatWasClicked) {
  showMenuPage();
  wb->OnFilterPopupMenu = [](TObject*, DWORD, HMENU, IDispatch*) {};
  // Properties of the picture: a dialog with its address and type.
  QString shown;
  auto* watch = new QTimer;
  QObject::connect(watch, &QTimer::timeout, [&shown, watch] {
    HWND dialog = FindWindow("#32770", "Properties");
    if (!dialog || !WidgetOf(dialog)) return;
    for (QLabel* label : WidgetOf(dialog)->findChildren<QLabel*>()) shown += label->text();
    watch->stop();
    watch->deleteLater();
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  watch->start(10);
  whenMenuOpens([](QMenu* menu) { choose(menu, "P&roperties"); });
  rightClick(kPicture);
  ASSERT_TRUE(testsupport::waitFor([&] { return !shown.isEmpty(); }));
  EXPECT_TRUE(shown.contains("red.png")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("Picture"));
  ASSERT_TRUE(testsupport::waitFor([] { return !FindWindow("#32770", "Properties"); }));

  // The source opens in a window the host is asked for.
  int newWindows = 0;
  wb->OnNewWindow2 = [&](TObject*, ComPtr<IDispatch>&, bool& cancel) {
    ++newWindows;
    cancel = true;
  };
  whenMenuOpens([](QMenu* menu) { choose(menu, "&View Source"); });
  rightClick(kEmpty);
  ASSERT_TRUE(testsupport::waitFor([&] { return newWindows == 1; }));
}

TEST_F(ContextMenuTest, EncodingMenuReloadsThePageInTheChosenEncoding) {
  // UTF-8 bytes in a page that names no encoding.
  ASSERT_TRUE(
      show(QUrl::fromLocalFile(pagePath("plain.html", "<html><body>caf\xc3\xa9</body></html>")).toString()));
  ASSERT_TRUE(testsupport::waitFor([&] { return surface() != nullptr; }));
  wb->OnFilterPopupMenu = [](TObject*, DWORD, HMENU, IDispatch*) {};
  bool chosen = false;
  whenMenuOpens([&](QMenu* menu) {
    QAction* encoding = actionNamed(menu, "&Encoding");
    if (!encoding || !encoding->menu()) {
      ADD_FAILURE() << "no encoding menu";
      closeMenu(menu);
      return;
    }
    whenMenuOpens(
        [&](QMenu* sub) {
          chosen = true;
          choose(sub, "Unicode (UTF-8)");
        },
        menu);
    menu->setActiveAction(encoding);
    QTest::keyClick(menu, Qt::Key_Right);
  });
  rightClick(QPoint(300, 250));
  ASSERT_TRUE(testsupport::waitFor([&] { return chosen; }));
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(bodyText(), QString::fromUtf8("caf\xc3\xa9"));
  // The browser's encoding menu marks the choice.
  OleVariant answer;
  ASSERT_EQ(wb->DefaultInterface()->ExecWB(OLECMDID(27), OLECMDEXECOPT_DODEFAULT, nullptr,
                                           answer.ClearAndGetAddressOf()),
            S_OK);
  HMENU encodings = reinterpret_cast<HMENU>(std::uintptr_t(answer.toInt64()));
  ASSERT_TRUE(IsMenu(encodings));
  EXPECT_EQ(GetMenuString(encodings, 0, MF_BYPOSITION), "Auto-Select");
  bool utf8Checked = false;
  for (int i = 0; i < GetMenuItemCount(encodings); ++i) {
    const bool checked = GetMenuState(encodings, UINT(i), MF_BYPOSITION) & MF_CHECKED;
    if (checked) {
      EXPECT_EQ(GetMenuString(encodings, UINT(i), MF_BYPOSITION), "Unicode (UTF-8)");
    }
    utf8Checked |= checked;
  }
  EXPECT_TRUE(utf8Checked);
}

// ---------------------------------------------------------------- masked shortcuts

TEST_F(ContextMenuTest, CtrlNIsSwallowedButCtrlShiftNIsNot) {
  showMenuPage();
  std::vector<WideChar> masked;
  int translated = 0;
  wb->OnMaskedCtrlChar = [&](TObject*, WideChar c) { masked.push_back(c); };
  wb->OnTranslateAccelerator = [&](TObject*, MSG* msg, const GUID*, DWORD, bool&) {
    if (msg->message == WM_KEYDOWN && msg->wParam == 'N') ++translated;
  };
  QTest::keyClick(surface(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(masked, (std::vector<WideChar>{u'N'}));
  EXPECT_EQ(translated, 0);  // the browser never saw it
  QTest::keyClick(surface(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(surface(), Qt::Key_N);
  EXPECT_EQ(masked.size(), 1u);
  EXPECT_EQ(translated, 2);
}

// ---------------------------------------------------------------- script errors

struct ScriptError {
  String line, character, code, message, url;
};

TEST_F(ContextMenuTest, ScriptErrorsOfAPageReachOnScriptErrorWithTheirFields) {
  std::vector<ScriptError> errors;
  int commands = 0;
  wb->OnScriptError = [&](TObject*, const String& line, const String& character, const String& code,
                          const String& message, const String& url, TScriptErrorAction&) {
    errors.push_back({line, character, code, message, url});
  };
  wb->OnCommandExec = [&](TObject*, const GUID*, DWORD cmd, DWORD, const VARIANT*, VARIANT*, HRESULT&) {
    commands += cmd == OLECMDID_SHOWSCRIPTERROR;
  };
  const QString url =
      QUrl::fromLocalFile(
          pagePath("faulty.html", "<html><body><script>\nnoSuchFunction();\n</script></body></html>"))
          .toString();
  ASSERT_TRUE(show(url));
  ASSERT_TRUE(testsupport::waitFor([&] { return !errors.empty(); }));
  EXPECT_TRUE(errors[0].message.contains("noSuchFunction")) << errors[0].message.toStdString();
  EXPECT_EQ(errors[0].line, "2");
  EXPECT_EQ(errors[0].url, url);
  EXPECT_EQ(commands, 0);

  // The answer is the one of the action before the handler ran; asking
  // the user is left to the browser.
  wb->SetScriptErrorAction(eaAskUser);
  const size_t before = errors.size();
  TPageScriptError error;
  error.Message = "boom";
  error.Line = 7;
  OleVariant in(static_cast<IUnknown*>(CreateLiveDocument(page(), error).Get()));
  OleVariant out;
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, &in, &out), S_FALSE);
  EXPECT_TRUE(out.isEmpty());
  wb->SetScriptErrorAction(eaCancel);
  wb->OnScriptError = [&](TObject*, const String& line, const String&, const String&, const String& message,
                          const String&, TScriptErrorAction& action) {
    errors.push_back({line, {}, {}, message, {}});
    action = eaContinue;  // from the next error on
  };
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, &in, &out), S_OK);
  EXPECT_FALSE(out.toBool());
  EXPECT_EQ(errors.back().message, "boom");
  EXPECT_EQ(errors.back().line, "7");
  EXPECT_EQ(wb->ScriptErrorAction(), eaContinue);
  // Without a place for the answer, the answer still comes.
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, &in, nullptr), S_OK);
  EXPECT_EQ(errors.size(), before + 3);
}

// A document whose window's event knows only some of the error's fields,
// or fails to answer them.
class PartialEvent : public ComObject<IHTMLEventObj> {
 public:
  explicit PartialEvent(HRESULT getResult) : getResult_(getResult) {}
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    const String name = OleStrToString(names[0]);
    *ids = name == "errorCharacter" ? 1 : name == "errorCode" ? 2 : DISPID_UNKNOWN;
    return *ids == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (FAILED(getResult_)) return getResult_;
    OleVariant(3).Detach(result);
    return S_OK;
  }

 private:
  HRESULT getResult_;
};

class EventWindow : public ComObject<IHTMLWindow2> {
 public:
  explicit EventWindow(HRESULT getResult) : getResult_(getResult) {}
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT get_event(IHTMLEventObj** p) override {
    *p = MakeCom<PartialEvent>(getResult_).Detach();
    return S_OK;
  }

 private:
  HRESULT getResult_;
};

#define NOT_HERE(sig) \
  HRESULT sig override { return E_NOTIMPL; }

// A document of which only the window is there.
class ErrorDocument : public ComObject<IHTMLDocument2> {
 public:
  explicit ErrorDocument(HRESULT getResult) : getResult_(getResult) {}
  HRESULT get_parentWindow(IHTMLWindow2** p) override {
    *p = MakeCom<EventWindow>(getResult_).Detach();
    return S_OK;
  }
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  NOT_HERE(GetTypeInfo(UINT, LCID, ITypeInfo**))
  NOT_HERE(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  NOT_HERE(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  NOT_HERE(get_Script(IDispatch**))
  NOT_HERE(get_all(IHTMLElementCollection**))
  NOT_HERE(get_body(IHTMLElement**))
  NOT_HERE(get_activeElement(IHTMLElement**))
  NOT_HERE(get_images(IHTMLElementCollection**))
  NOT_HERE(get_links(IHTMLElementCollection**))
  NOT_HERE(get_forms(IHTMLElementCollection**))
  NOT_HERE(get_anchors(IHTMLElementCollection**))
  NOT_HERE(put_title(BSTR))
  NOT_HERE(get_title(BSTR*))
  NOT_HERE(get_scripts(IHTMLElementCollection**))
  NOT_HERE(put_designMode(BSTR))
  NOT_HERE(get_designMode(BSTR*))
  NOT_HERE(get_selection(IHTMLSelectionObject**))
  NOT_HERE(get_readyState(BSTR*))
  NOT_HERE(get_frames(IHTMLFramesCollection2**))
  NOT_HERE(get_referrer(BSTR*))
  NOT_HERE(get_location(IHTMLLocation**))
  NOT_HERE(get_lastModified(BSTR*))
  NOT_HERE(put_URL(BSTR))
  NOT_HERE(get_URL(BSTR*))
  NOT_HERE(put_domain(BSTR))
  NOT_HERE(get_domain(BSTR*))
  NOT_HERE(put_cookie(BSTR))
  NOT_HERE(get_cookie(BSTR*))
  NOT_HERE(put_charset(BSTR))
  NOT_HERE(get_charset(BSTR*))
  NOT_HERE(put_defaultCharset(BSTR))
  NOT_HERE(get_defaultCharset(BSTR*))
  NOT_HERE(get_mimeType(BSTR*))
  NOT_HERE(get_fileSize(BSTR*))
  NOT_HERE(get_fileCreatedDate(BSTR*))
  NOT_HERE(get_fileModifiedDate(BSTR*))
  NOT_HERE(get_fileUpdatedDate(BSTR*))
  NOT_HERE(get_security(BSTR*))
  NOT_HERE(get_protocol(BSTR*))
  NOT_HERE(get_nameProp(BSTR*))
  NOT_HERE(close())
  NOT_HERE(clear())
  NOT_HERE(queryCommandSupported(BSTR, VARIANT_BOOL*))
  NOT_HERE(queryCommandEnabled(BSTR, VARIANT_BOOL*))
  NOT_HERE(queryCommandState(BSTR, VARIANT_BOOL*))
  NOT_HERE(queryCommandValue(BSTR, VARIANT*))
  NOT_HERE(execCommand(BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*))
  NOT_HERE(createElement(BSTR, IHTMLElement**))
  NOT_HERE(elementFromPoint(LONG, LONG, IHTMLElement**))
  NOT_HERE(toString(BSTR*))

 private:
  HRESULT getResult_;
};

TEST_F(ContextMenuTest, FieldsThatCannotBeReadNeverReachTheBrowser) {
  int raised = 0;
  wb->OnScriptError = [&](TObject*, const String&, const String&, const String&, const String&, const String&,
                          TScriptErrorAction&) { ++raised; };
  // An event object that lacks errorMessage: the reading stops with
  // "'errorMessage' is not supported.", which stays inside.
  for (HRESULT getResult : {S_OK, E_FAIL}) {
    OleVariant in(static_cast<IUnknown*>(MakeCom<ErrorDocument>(getResult)->GetUnknown()));
    for (TScriptErrorAction action : {eaContinue, eaAskUser}) {
      wb->SetScriptErrorAction(action);
      OleVariant out;
      HRESULT hr = E_UNEXPECTED;
      EXPECT_NO_THROW(hr = wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, &in, &out));
      EXPECT_EQ(hr, action == eaContinue ? S_OK : S_FALSE);
      EXPECT_EQ(out.isEmpty(), action == eaAskUser);
    }
  }
  EXPECT_EQ(raised, 0);
  // No document at all: nothing to read, nothing raised.
  OleVariant none;
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, &none, nullptr), S_FALSE);
  EXPECT_EQ(raised, 0);
}

// ---------------------------------------------------------------- drops

// Sends a drag over `widget` and drops it; answers whether the drop was taken.
bool dragAndDrop(QWidget* widget, const QString& text, QPoint at = QPoint(40, 40)) {
  QMimeData data;
  data.setText(text);
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
  QApplication::sendEvent(widget, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
  QApplication::sendEvent(widget, &drop);
  return drop.isAccepted() && drop.dropAction() != Qt::IgnoreAction;
}

String textOf(IDataObject* data) {
  FORMATETC format{13, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (!data || data->GetData(&format, &medium) != S_OK) return String();
  const String text = String::fromUtf16(static_cast<const char16_t*>(medium.hGlobal));
  medium.pUnkForRelease->Release();
  return text;
}

TEST_F(ContextMenuTest, DropHandlingTypeDecidesWhoTakesDrops) {
  showMenuPage();
  HWND doc = wb->FindChildWindowByClass("Internet Explorer_Server");
  ASSERT_NE(doc, nullptr);
  QWidget* target = WidgetOf(doc);
  ASSERT_EQ(target, surface());
  EXPECT_EQ(RegisteredDropTarget(doc), nullptr);  // the engine's own

  std::vector<String> dropped;
  int entered = 0;
  DWORD keys = 0;
  TPoint point;
  wb->OnDragEnter = [&](TObject*, IDataObject* data, int keyState, TPoint, int& effect, HRESULT&) {
    ++entered;
    EXPECT_EQ(textOf(data), "dropped words");
    effect = DROPEFFECT_COPY;
  };
  wb->OnDropEvent = [&](TObject*, IDataObject* data, int keyState, TPoint pt, int& effect, HRESULT&) {
    dropped.push_back(textOf(data));
    keys = DWORD(keyState);
    point = pt;
    effect = DROPEFFECT_COPY;
  };
  wb->SetDropHandlingType(ddtMy);
  EXPECT_EQ(RegisteredDropTarget(doc).Get(), static_cast<IDropTarget*>(wb));
  EXPECT_TRUE(dragAndDrop(target, "dropped words"));
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(dropped, (std::vector<String>{"dropped words"}));
  EXPECT_EQ(keys, DWORD(MK_LBUTTON | MK_CONTROL));
  const QPoint global = target->mapToGlobal(QPoint(40, 40));
  EXPECT_EQ(point, TPoint(global.x(), global.y()));

  // The next document keeps the control's target.
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("second.html", "<html><body>two</body></html>")).toString()));
  doc = wb->FindChildWindowByClass("Internet Explorer_Server");
  EXPECT_EQ(RegisteredDropTarget(doc).Get(), static_cast<IDropTarget*>(wb));

  // No dropping at all: the control's target is gone and the page refuses.
  wb->SetDropHandlingType(ddtNo);
  EXPECT_FALSE(wb->RegisterAsDropTarget());
  EXPECT_NE(RegisteredDropTarget(doc).Get(), static_cast<IDropTarget*>(wb));
  EXPECT_FALSE(dragAndDrop(WidgetOf(doc), "refused"));
  EXPECT_EQ(dropped.size(), 1u);

  // A handler's own target.
  class Counter : public ComObject<IDropTarget> {
   public:
    int drops = 0;
    HRESULT DragEnter(IDataObject*, DWORD, POINTL, DWORD* e) override {
      *e = DROPEFFECT_MOVE;
      return S_OK;
    }
    HRESULT DragOver(DWORD, POINTL, DWORD* e) override {
      *e = DROPEFFECT_MOVE;
      return S_OK;
    }
    HRESULT DragLeave() override { return S_OK; }
    HRESULT Drop(IDataObject*, DWORD, POINTL, DWORD* e) override {
      ++drops;
      *e = DROPEFFECT_MOVE;
      return S_OK;
    }
  };
  ComPtr<Counter> counter = MakeCom<Counter>();
  wb->OnGetDropTarget = [&](TObject*, ComPtr<IDropTarget>& t) { t = counter.Get(); };
  wb->SetDropHandlingType(ddtCustom);
  EXPECT_TRUE(dragAndDrop(WidgetOf(doc), "custom"));
  EXPECT_EQ(counter->drops, 1);
  EXPECT_EQ(dropped.size(), 1u);

  // Back to the browser's own handling.
  wb->SetDropHandlingType(ddtMS);
  EXPECT_TRUE(wb->RegisterAsDropTarget());
  EXPECT_EQ(RegisteredDropTarget(doc), nullptr);
}

}  // namespace
