// Real input on a shown page in design mode: mouse and key events of the
// engine's render widget reach the edit designer component with the values
// of the page (element under the pointer or caret, page coordinates), a
// designer that answers S_OK keeps the input from the page, and designers
// hear nothing once disconnected, destroyed, navigated away from or when the
// browser goes.
#include "EmbeddedWB/Source/EditDesigner.h"

#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QPointer>
#include <QWebEngineView>

using EditDesigner::TEditDesigner;

namespace {

const char kPage[] =
    "<html><body style='margin:0'>"
    "<p id='a' style='position:absolute;left:0;top:0;width:300px;height:40px;margin:0'>First <b>bold</b> "
    "para</p>"
    "<div id='b' style='position:absolute;left:0;top:100px;width:300px;height:40px'>Second</div>"
    "</body></html>";

// A designer of its own: records each call and answers as told.
class TestDesigner final : public ComObject<IHTMLEditDesigner> {
 public:
  TestDesigner(QString name, QStringList& log, bool* alive)
      : name_(std::move(name)), log_(log), alive_(alive) {
    if (alive_) *alive_ = true;
  }
  ~TestDesigner() override {
    if (alive_) *alive_ = false;
  }
  HRESULT pre = S_FALSE;
  HRESULT accelerator = S_FALSE;
  std::function<void()> onPre;

  HRESULT PreHandleEvent(LONG id, IHTMLEventObj*) override {
    const HRESULT answer = note("pre", id, pre);
    if (onPre) onPre();
    return answer;
  }
  HRESULT PostHandleEvent(LONG id, IHTMLEventObj*) override { return note("post", id, S_FALSE); }
  HRESULT TranslateAccelerator(LONG id, IHTMLEventObj*) override { return note("accel", id, accelerator); }
  HRESULT PostEditorEventNotify(LONG id, IHTMLEventObj*) override { return note("notify", id, S_FALSE); }

 private:
  HRESULT note(const char* what, LONG id, HRESULT answer) {
    log_ << QStringLiteral("%1 %2 %3").arg(name_, QLatin1String(what)).arg(id);
    return answer;
  }
  QString name_;
  QStringList& log_;
  bool* alive_;
};

class DesignerInputTest : public ewbtest::BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    EditDesigner::initialize();
    server.page("/edit", kPage);
    server.page("/other", "<html><body>other</body></html>");
    designer = new TEditDesigner(form);
    designer->SetEmbeddedWB(wb);
    designer->OnError = [this](Integer, const String& text) { errors << text; };
    ASSERT_TRUE(show(server.url("/edit")));
    ASSERT_TRUE(testsupport::waitFor([&] { return object()->View()->focusProxy() != nullptr; }));
    // The pointer starts off the page: moving onto a point it is at is no move.
    QCursor::setPos(form->Widget()->mapToGlobal(QPoint(450, 350)));
  }

  WebBrowserObject* object() { return WebBrowserObject::FromUnknown(wb->DefaultInterface().Get()); }
  QWidget* surface() { return object()->View()->focusProxy(); }
  QWebEnginePage* page() { return object()->Page(); }
  QString script(const QString& js) {
    QVariant v;
    return RunPageScript(page(), js, &v) ? v.toString() : QStringLiteral("<no answer>");
  }
  ComPtr<IHTMLEditServices> services() {
    ComPtr<IServiceProvider> provider = wb->GetDocument().As<IServiceProvider>();
    ComPtr<IHTMLEditServices> s;
    if (provider)
      provider->QueryService(SID_SHTMLEditServices, IID_IHTMLEditServices,
                             reinterpret_cast<void**>(s.GetAddressOf()));
    return s;
  }
  // Moves the pointer over the page.
  void moveTo(QPoint at) { QTest::mouseMove(surface(), at); }
  // Gives the page the keyboard and puts the caret into the second block.
  void caretInSecond(int offset) {
    form->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->Widget()));
    surface()->setFocus();
    ASSERT_TRUE(testsupport::waitFor([&] { return surface()->hasFocus(); }));
    script(QStringLiteral(
               "var r = document.createRange(); r.setStart(document.getElementById('b').firstChild, %1);"
               " getSelection().removeAllRanges(); getSelection().addRange(r); 1")
               .arg(offset));
  }
  // Counts the page's mousedown events from now on.
  void countPresses() {
    script(QStringLiteral(
        "window.downs = 0; document.addEventListener('mousedown', function () { ++window.downs; });"
        " 1"));
  }
  // Clicks until the page has seen a press: a busy machine may hand the
  // first presses over before the renderer takes input.
  bool clickUntilThePageSeesIt(QPoint at) {
    return testsupport::waitFor(
        [&] {
          QTest::mouseClick(surface(), Qt::LeftButton, {}, at);
          return testsupport::waitFor([&] { return script(QStringLiteral("window.downs")).toInt() >= 1; },
                                      500);
        },
        10000);
  }

  ewbtest::LoopbackServer server;
  TEditDesigner* designer = nullptr;
  QStringList errors;
};

}  // namespace

TEST_F(DesignerInputTest, PointerMovesAndPressesGiveTheElementAndPagePosition) {
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  std::vector<std::pair<int, int>> positions;
  QStringList seen;
  designer->OnMousePosition = [&](Integer x, Integer y) { positions.emplace_back(x, y); };
  designer->OnTagName = [&](const String& t) { seen << QStringLiteral("tag ") + t; };
  designer->OnType_ = [&](const String& t) { seen << QStringLiteral("type ") + t; };
  designer->OnInnerText = [&](const String& t) { seen << QStringLiteral("text ") + t; };
  designer->OnInnerHtml = [&](const String& t) { seen << QStringLiteral("html ") + t; };
  designer->OnToString = [&](const String& t) { seen << QStringLiteral("string ") + t; };

  moveTo(QPoint(20, 20));
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), std::make_pair(20, 20));
  EXPECT_EQ(seen, (QStringList{"tag P", "type mousemove", "string [object]", "text First bold para",
                               "html First <B>bold</B> para"}));

  seen.clear();
  designer->OnInnerHtml = nullptr;
  designer->OnToString = nullptr;
  moveTo(QPoint(30, 120));
  EXPECT_EQ(positions.back(), std::make_pair(30, 120));
  EXPECT_EQ(seen, (QStringList{"tag DIV", "type mousemove", "text Second"}));

  // A press: its button and the modifiers held; it gives no position.
  seen.clear();
  QList<Integer> buttons;
  bool shift = false, ctrl = true;
  designer->OnMouseButton = [&](Integer b) { buttons << b; };
  designer->OnKeyState = [&](bool, bool, bool, bool, bool c, bool s) {
    ctrl = c;
    shift = s;
  };
  const size_t moves = positions.size();
  QTest::mousePress(surface(), Qt::MiddleButton, Qt::ShiftModifier, QPoint(25, 110));
  QTest::mouseRelease(surface(), Qt::MiddleButton, Qt::ShiftModifier, QPoint(25, 110));
  EXPECT_EQ(seen, (QStringList{"tag DIV", "type mousedown", "text Second", "tag DIV", "type mouseup",
                               "text Second"}));
  EXPECT_EQ(buttons, (QList<Integer>{4, 4}));
  EXPECT_TRUE(shift);
  EXPECT_FALSE(ctrl);
  EXPECT_EQ(positions.size(), moves);

  // Zoomed in twice, a point of the view is half as far into the page.
  ASSERT_TRUE(SetPageOpticalZoom(page(), 200));
  ASSERT_TRUE(testsupport::waitFor([&] { return script(QStringLiteral("innerWidth")).toInt() <= 200; }));
  seen.clear();
  const size_t before = positions.size();
  moveTo(QPoint(60, 240));
  ASSERT_EQ(positions.size(), before + 1);
  EXPECT_EQ(positions.back(), std::make_pair(30, 120));
  EXPECT_EQ(seen.value(0), QStringLiteral("tag DIV"));
  EXPECT_TRUE(errors.isEmpty()) << errors.join(u'|').toStdString();
}

TEST_F(DesignerInputTest, KeysGiveTheKeyAndTheElementHoldingTheCaret) {
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  caretInSecond(6);
  QStringList seen;
  designer->OnEvtDispId = [&](Integer id) { seen << QString::number(id); };
  designer->OnKeyPress = [&](Integer k) { seen << QStringLiteral("key %1").arg(k); };
  designer->OnTagName = [&](const String& t) { seen << t; };
  designer->OnType_ = [&](const String& t) { seen << t; };
  QTest::keyClick(surface(), Qt::Key_Z);
  EXPECT_EQ(seen, (QStringList{"-602", "key 90", "DIV", "keydown", "-603", "key 122", "DIV", "keypress",
                               "-604", "key 90", "DIV", "keyup"}));
}

TEST_F(DesignerInputTest, AnOkFromADesignerKeepsInputFromThePageAndLaterDesigners) {
  QStringList log;
  auto first = MakeCom<TestDesigner>(QStringLiteral("A"), log, nullptr);
  auto second = MakeCom<TestDesigner>(QStringLiteral("B"), log, nullptr);
  ComPtr<IHTMLEditServices> s = services();
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->AddDesigner(first.Get()), S_OK);
  ASSERT_EQ(s->AddDesigner(second.Get()), S_OK);
  script(QStringLiteral("document.designMode = 'on'; 1"));

  // Let through: both see it before and after the engine.
  moveTo(QPoint(20, 20));
  EXPECT_EQ(log, (QStringList{"A pre -606", "B pre -606", "A post -606", "B post -606", "A notify -606",
                              "B notify -606"}));

  // Kept by the first: the second is not asked, nobody hears of the engine.
  countPresses();
  first->pre = S_OK;
  log.clear();
  for (int i = 0; i < 3; ++i) QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(log.filter(QStringLiteral("B pre")), QStringList());
  EXPECT_EQ(log.filter(QStringLiteral("post")), QStringList());
  EXPECT_EQ(log.filter(QStringLiteral("B notify -605")).size(), 3);
  // Once let through again, the page has seen only that press.
  first->pre = S_FALSE;
  ASSERT_TRUE(clickUntilThePageSeesIt(QPoint(20, 20)));
  EXPECT_EQ(script(QStringLiteral("window.downs")), QStringLiteral("1"));

  // A key-down kept as an accelerator never types.
  caretInSecond(0);
  log.clear();
  second->accelerator = S_OK;
  QTest::keyClick(surface(), Qt::Key_Q);
  EXPECT_EQ(log.filter(QStringLiteral("-602")),
            (QStringList{"A pre -602", "B pre -602", "A accel -602", "B accel -602", "A notify -602",
                         "B notify -602"}));
  second->accelerator = S_FALSE;
  QTest::keyClick(surface(), Qt::Key_Y);
  ASSERT_TRUE(testsupport::waitFor(
      [&] { return script(QStringLiteral("document.getElementById('b').textContent")).startsWith(u'y'); }));
  EXPECT_EQ(script(QStringLiteral("document.getElementById('b').textContent")), QStringLiteral("ySecond"));
}

TEST_F(DesignerInputTest, InputArrivingWhileADesignerAsksThePageWaitsItsTurn) {
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  QStringList log;
  auto note = [&](const char* what) {
    return [&log, what](Integer id, IHTMLEventObj*) -> HRESULT {
      log << QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(id);
      return S_FALSE;
    };
  };
  // The pointer moves on while the designer still asks the page about the release.
  designer->OnPreHandle = [&](Integer id, IHTMLEventObj* e) {
    if (id == DISPID_HTMLELEMENTEVENTS2_ONMOUSEUP) QCursor::setPos(surface()->mapToGlobal(QPoint(30, 120)));
    return note("pre")(id, e);
  };
  designer->OnPostHandle = note("post");
  designer->OnPostEditorNotify = note("notify");
  designer->OnTagName = [&](const String& t) { log << t; };
  QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 20));
  ASSERT_TRUE(testsupport::waitFor([&] { return log.contains(QStringLiteral("notify -606")); }))
      << log.join(u'|').toStdString();
  EXPECT_EQ(log.mid(4), (QStringList{"pre -607", "P", "post -607", "notify -607", "pre -606", "DIV",
                                     "post -606", "notify -606"}));
}

TEST_F(DesignerInputTest, DisconnectDestructionAndNavigationEndAllCalls) {
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  int moves = 0;
  designer->OnMousePosition = [&](Integer, Integer) { ++moves; };
  moveTo(QPoint(20, 20));
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(designer->DisconnectDesigner(), S_OK);
  moveTo(QPoint(30, 30));
  EXPECT_EQ(moves, 1);

  // Destroyed while connected: the services let it go, input goes on.
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  IHTMLEditDesigner* sink = designer->DesignerInterface();
  delete designer;
  designer = nullptr;
  EXPECT_EQ(services()->RemoveDesigner(sink), E_INVALIDARG);
  moveTo(QPoint(40, 40));
  EXPECT_EQ(moves, 1);

  // A new document releases the designers of the old one.
  QStringList log;
  bool alive = false;
  {
    auto d = MakeCom<TestDesigner>(QStringLiteral("T"), log, &alive);
    ASSERT_EQ(services()->AddDesigner(d.Get()), S_OK);
  }
  moveTo(QPoint(20, 20));
  EXPECT_FALSE(log.isEmpty());
  ASSERT_TRUE(show(server.url("/other")));
  EXPECT_FALSE(alive);
  log.clear();
  moveTo(QPoint(30, 30));
  EXPECT_TRUE(log.isEmpty()) << log.join(u'|').toStdString();

  // So does the browser going away, even from inside a designer's call:
  // that event ends there.
  QPointer<QWebEnginePage> gone = page();
  {
    auto d = MakeCom<TestDesigner>(QStringLiteral("T"), log, &alive);
    d->onPre = [this] {
      delete wb;
      wb = nullptr;
    };
    ASSERT_EQ(services()->AddDesigner(d.Get()), S_OK);
  }
  moveTo(QPoint(20, 20));
  EXPECT_EQ(log, (QStringList{"T pre -606"}));
  EXPECT_TRUE(testsupport::waitFor([&] { return !alive && !gone; }));
}
