// The browser control component: navigation and waiting, document content,
// messages, destruction, form resources and the registry stores it uses.
#include "EmbeddedWB/Source/EmbeddedWB.h"

#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Streaming.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QDir>
#include <QPointer>
#include <QWebEngineView>

#include <cfenv>

using namespace ewbtest;

namespace {

WebBrowserObject* objectOf(TEmbeddedWB* b) {
  return WebBrowserObject::FromUnknown(b->DefaultInterface().Get());
}

QString fileUrl(const QString& path) { return QUrl::fromLocalFile(path).toString(); }

// The addresses of the BeforeNavigate2 events seen.
struct NavigationLog {
  std::vector<QString> urls;
  void attach(TEmbeddedWB* b) {
    b->OnBeforeNavigate2 = [this](TObject*, IDispatch*, const OleVariant& url, const OleVariant&,
                                  const OleVariant&, const OleVariant&, const OleVariant&,
                                  bool&) { urls.push_back(VarToStr(url)); };
  }
};

// The document's markup as the control saves it.
QString savedMarkup(TEmbeddedWB* b) {
  TMemoryStream stream;
  if (b->SaveToStream(stream) != S_OK) return QString();
  return QString::fromUtf8(stream.Bytes());
}

class EmbeddedWBTest : public BrowserFixture {};

// ---------------------------------------------------------------- Go

TEST_F(EmbeddedWBTest, GoShowsAFolderAsAFileAddressWithoutWaiting) {
  const QString folder = testsupport::profileDir() + "/ewb/a folder";
  ASSERT_TRUE(QDir().mkpath(folder));
  NavigationLog log;
  log.attach(wb);
  int busyWaits = 0;
  wb->OnBusyWait = [&](TEmbeddedWB*, Cardinal, Cardinal&, bool&) { ++busyWaits; };

  EXPECT_TRUE(wb->Go(folder, 5000));
  EXPECT_EQ(busyWaits, 0);
  EXPECT_NE(wb->ReadyState(), READYSTATE_COMPLETE);
  ASSERT_TRUE(complete(wb));
  ASSERT_FALSE(log.urls.empty());
  // One "file://" and the path: no doubled slash before an absolute path.
  EXPECT_EQ(log.urls.front(), fileUrl(folder));
  EXPECT_TRUE(log.urls.front().startsWith("file:///") && !log.urls.front().startsWith("file:////"));
}

TEST_F(EmbeddedWBTest, GoWaitsForAFileAndIgnoresBlanks) {
  const QString path = pagePath("go.html", "<html><head><title>go</title></head><body>go</body></html>");
  NavigationLog log;
  log.attach(wb);
  EXPECT_TRUE(wb->Go(path, 10000));
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(wb->LocationURL(), fileUrl(path));
  EXPECT_TRUE(wb->DocumentLoaded());

  log.urls.clear();
  EXPECT_TRUE(wb->Go("   ", 5000));
  EXPECT_TRUE(wb->Go("", 0));
  QTest::qWait(200);
  EXPECT_TRUE(log.urls.empty());
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(wb->LocationURL(), fileUrl(path));
}

TEST_F(EmbeddedWBTest, GoAboutBlankWaitsForTheEmptyPage) {
  EXPECT_TRUE(wb->GoAboutBlank());
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(wb->LocationURL(), "about:blank");
}

TEST_F(EmbeddedWBTest, OneNavigationRaisesItsEventsInOrder) {
  std::vector<std::string> events;
  wb->OnBeforeNavigate2 = [&](TObject*, IDispatch*, const OleVariant&, const OleVariant&, const OleVariant&,
                              const OleVariant&, const OleVariant&,
                              bool&) { events.push_back("BeforeNavigate2"); };
  wb->OnDownloadBegin = [&](TObject*) { events.push_back("DownloadBegin"); };
  wb->OnNavigateComplete2 = [&](TObject*, IDispatch*, const OleVariant&) {
    events.push_back("NavigateComplete2");
  };
  wb->OnTitleChange = [&](TObject*, const String& title) {
    if (title == "ordered") events.push_back("TitleChange");
  };
  wb->OnDocumentComplete = [&](TObject*, IDispatch*, const OleVariant&) {
    events.push_back("DocumentComplete");
  };
  wb->OnDownloadComplete = [&](TObject*) { events.push_back("DownloadComplete"); };

  const QString path =
      pagePath("order.html", "<html><head><title>ordered</title></head><body>o</body></html>");
  ASSERT_TRUE(wb->Go(path, 10000));
  // The wait ends with the document complete.
  ASSERT_NE(std::find(events.begin(), events.end(), "DocumentComplete"), events.end());
  testsupport::waitFor([&] { return events.back() == "DownloadComplete"; }, 2000);

  auto at = [&](const char* name) { return std::find(events.begin(), events.end(), name) - events.begin(); };
  EXPECT_EQ(at("BeforeNavigate2"), 0);
  EXPECT_LT(at("BeforeNavigate2"), at("DownloadBegin"));
  EXPECT_LT(at("DownloadBegin"), at("NavigateComplete2"));
  EXPECT_LT(at("NavigateComplete2"), at("DocumentComplete"));
  EXPECT_LT(at("TitleChange"), std::ptrdiff_t(events.size()));
  EXPECT_LT(at("DocumentComplete"), std::ptrdiff_t(events.size()));
  EXPECT_EQ(events.back(), "DownloadComplete");
}

// ---------------------------------------------------------------- Wait

TEST_F(EmbeddedWBTest, WaitEndsOnCompletionTimeOutAndCancel) {
  LoopbackServer server;
  // Nothing shown and nothing loading: nothing to wait for.
  EXPECT_TRUE(wb->Wait(0));
  // A control without a window does not wait.
  TEmbeddedWB* loose = new TEmbeddedWB(nullptr);
  EXPECT_TRUE(loose->Wait(0));
  delete loose;

  wb->Navigate(server.url("/page"));
  EXPECT_TRUE(wb->Wait(10000));
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);

  // A page that does not answer: the time-out ends the wait.
  wb->Navigate(server.url("/slow"));
  const Cardinal start = GetTickCount();
  EXPECT_FALSE(wb->Wait(300));
  const Cardinal took = GetTickCount() - start;
  EXPECT_GE(took, 300u);
  EXPECT_LT(took, 4000u);

  // OnBusyWait sees the start and may cancel (here on its third call).
  int calls = 0;
  Cardinal seenStart = 0;
  wb->OnBusyWait = [&](TEmbeddedWB* sender, Cardinal startTime, Cardinal& timeOut, bool& cancel) {
    EXPECT_EQ(sender, wb);
    EXPECT_EQ(timeOut, 0u);
    seenStart = startTime;
    cancel = ++calls == 3;
  };
  const Cardinal before = GetTickCount();
  EXPECT_FALSE(wb->Wait(0));
  EXPECT_EQ(calls, 3);
  EXPECT_GE(seenStart, before);

  // OnBusyWait may also shorten the time-out.
  calls = 0;
  wb->OnBusyWait = [&](TEmbeddedWB*, Cardinal, Cardinal& timeOut, bool&) {
    ++calls;
    timeOut = 50;
  };
  EXPECT_FALSE(wb->Wait(0));
  EXPECT_GT(calls, 0);

  wb->OnBusyWait = nullptr;
  wb->Stop();
  server.release();
}

TEST_F(EmbeddedWBTest, WaitAnswersFalseWhenTheControlGoesAwayMeanwhile) {
  LoopbackServer server;
  wb->Navigate(server.url("/slow"));
  QPointer<TEmbeddedWB> watched(wb);
  wb->OnBusyWait = [&](TEmbeddedWB* sender, Cardinal, Cardinal&, bool&) { delete sender; };
  EXPECT_FALSE(wb->Wait(5000));
  EXPECT_TRUE(watched.isNull());
  wb = nullptr;
  // The form goes on without it.
  EXPECT_EQ(form->ControlCount(), 0);
  server.release();
}

// ---------------------------------------------------------------- document content

TEST_F(EmbeddedWBTest, LoadFromStringsMakesTheDocumentFirstAndSavesUtf8) {
  ASSERT_FALSE(wb->DocumentLoaded());
  TStringList lines;
  lines.Add("<html><head><title>Café</title></head>");
  lines.Add("<body><p id='m'>crème brûlée 漢字</p></body></html>");
  ASSERT_EQ(wb->LoadFromStrings(lines), S_OK);
  EXPECT_TRUE(wb->DocumentLoaded());
  EXPECT_EQ(wb->LocationURL(), "about:blank");

  const QString markup = savedMarkup(wb);
  EXPECT_TRUE(markup.contains("crème brûlée 漢字")) << markup.toStdString();
  EXPECT_TRUE(markup.contains("<title>Café</title>"));

  // Round trip: what was saved loads back the same.
  TMemoryStream stream;
  ASSERT_EQ(wb->SaveToStream(stream), S_OK);
  stream.SetPosition(stream.GetSize());  // LoadFromStream reads from the start
  ASSERT_TRUE(wb->Go(pagePath("other.html", "<html><body>other</body></html>"), 10000));
  ASSERT_EQ(wb->LoadFromStream(stream), S_OK);
  EXPECT_TRUE(savedMarkup(wb).contains("crème brûlée 漢字"));

  // To a file as well.
  const QString file = testsupport::profileDir() + "/ewb/saved.html";
  ASSERT_EQ(wb->SaveToFile(file), S_OK);
  EXPECT_TRUE(QString::fromUtf8(testsupport::readFile(file)).contains("crème brûlée 漢字"));
}

TEST_F(EmbeddedWBTest, NothingToSaveWithoutADocument) {
  TMemoryStream stream;
  EXPECT_EQ(wb->SaveToStream(stream), S_FALSE);
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(wb->SaveToFile(testsupport::profileDir() + "/ewb/none.html"), S_FALSE);
  EXPECT_FALSE(QFile::exists(testsupport::profileDir() + "/ewb/none.html"));
}

TEST_F(EmbeddedWBTest, HtmlCodeNavigatesOneAddressLineAndLoadsAnythingElse) {
  LoopbackServer server;
  NavigationLog log;
  log.attach(wb);

  // (The engine announces no navigation to "about:blank"; its address shows it.)
  TStringList one;
  one.Add("About:blank");
  wb->SetHTMLCode(&one);
  EXPECT_EQ(wb->ReadyState(), READYSTATE_LOADING);
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(wb->LocationURL(), "about:blank");

  one.Clear();
  one.Add(server.url("/page"));
  wb->SetHTMLCode(&one);
  ASSERT_TRUE(complete(wb));
  ASSERT_EQ(log.urls.size(), 1u);
  EXPECT_EQ(log.urls.back(), server.url("/page"));

  // Two lines of any content are a document, even when both look like addresses.
  TStringList two;
  two.Add("http://127.0.0.1:1/not-navigated");
  two.Add("<b>second line</b>");
  wb->SetHTMLCode(&two);
  EXPECT_EQ(log.urls.size(), 1u);
  const QString markup = savedMarkup(wb);
  EXPECT_TRUE(markup.contains("second line"));
  EXPECT_TRUE(markup.contains("not-navigated"));
  EXPECT_EQ(wb->HTMLCode()->Count(), 2);

  // One line that is no address is a document too.
  one.Clear();
  one.Add("<p>wwwx and filesystem</p>");
  wb->SetHTMLCode(&one);
  EXPECT_EQ(log.urls.size(), 1u);
  EXPECT_TRUE(savedMarkup(wb).contains("wwwx and filesystem"));
  EXPECT_EQ(wb->LocationURL(), server.url("/page"));
}

// ---------------------------------------------------------------- methods over the browser

TEST_F(EmbeddedWBTest, RefusedBrowserCommandsRaise) {
  EXPECT_THROW(wb->GoBack(), EOleSysError);
  EXPECT_THROW(wb->GoForward(), EOleSysError);
  EXPECT_NO_THROW(wb->Stop());
  try {
    wb->GoBack();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, E_FAIL);
  }
}

TEST_F(EmbeddedWBTest, DestructionResetsTheZoomBeforeTheOptionsGo) {
  ASSERT_TRUE(wb->Go(pagePath("zoomed.html", "<html><body>zoomed</body></html>"), 10000));
  wb->SetZoom(4);
  wb->VisualEffects()->SetTextSize(4);
  ComPtr<IWebBrowser2> browser = wb->DefaultInterface();
  QPointer<QWebEnginePage> page = objectOf(wb)->Page();
  ASSERT_EQ(PageTextSize(page), 4);
  delete wb;
  wb = nullptr;
  ASSERT_TRUE(page);
  EXPECT_EQ(PageTextSize(page), 2);
}

TEST_F(EmbeddedWBTest, OptionObjectsStartWithTheirDefaults) {
  EXPECT_FALSE(wb->About().isEmpty());
  wb->SetAbout("changed");
  EXPECT_NE(wb->About(), "changed");
  EXPECT_EQ(wb->ProxySettings()->Port(), 80);
  EXPECT_FALSE(wb->ProxySettings()->AutoLoadProxy());
  EXPECT_TRUE(wb->DialogBoxes()->ReplaceCaption());
  EXPECT_TRUE(wb->DialogBoxes()->ReplaceIcon());
  EXPECT_FALSE(wb->DialogBoxes()->DisableAll());
  EXPECT_TRUE(wb->DisableErrors()->EnableDDE());
  EXPECT_TRUE(wb->DisableErrors()->fpExceptions());
  EXPECT_TRUE(wb->DisableErrors()->ScriptErrorsSuppressed());
  EXPECT_EQ(wb->VisualEffects()->TextSize(), 2);
  EXPECT_EQ(wb->PrintOptions()->HTMLHeader()->GetText(), "<HTML></HTML>\r\n");
  EXPECT_EQ(wb->PrintOptions()->Margins()->Left(), 0.0);
  EXPECT_EQ(wb->PrintOptions()->Orientation(), EmbeddedWB::poPortrait);
  EXPECT_TRUE(wb->EnableMessageHandler());
  EXPECT_TRUE(wb->Visible());
  EXPECT_EQ(wb->DisableCtrlShortcuts(), "N");
  EXPECT_EQ(wb->DropHandlingType(), EwbCore::ddtMS);
}

TEST_F(EmbeddedWBTest, FloatingPointExceptionsFollowTheOption) {
  // The environment saved at start-up has the division trap on.
  EmbeddedWB::finalize();
  feenableexcept(FE_DIVBYZERO);
  EmbeddedWB::initialize();
  fedisableexcept(FE_ALL_EXCEPT);

  wb->DisableErrors()->SetfpExceptions(true);
  EXPECT_EQ(fegetexcept(), FE_DIVBYZERO);
  wb->DisableErrors()->SetfpExceptions(false);
  EXPECT_EQ(fegetexcept(), 0);
  EXPECT_FALSE(wb->DisableErrors()->fpExceptions());

  EmbeddedWB::finalize();
  fedisableexcept(FE_ALL_EXCEPT);
  EmbeddedWB::initialize();
}

// ---------------------------------------------------------------- messages

TEST_F(EmbeddedWBTest, ClicksComeOnlyFromButtonNotifications) {
  struct Click {
    TMouseButton button;
    bool shift;
    int x, y;
  };
  std::vector<Click> clicks;
  wb->OnClick = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    clicks.push_back({b, s.Contains(ssShift), x, y});
  };
  wb->Perform(WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), MAKELPARAM(10, 20));
  wb->Perform(WM_PARENTNOTIFY, MAKEWPARAM(WM_RBUTTONDOWN, 0), MAKELPARAM(WORD(-5), 7));
  // Other notifications and other messages that merely carry the value don't click.
  wb->Perform(WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 0), 0);
  wb->Perform(WM_USER + 5, WM_LBUTTONDOWN, MAKELPARAM(1, 1));
  wb->Perform(WM_SETFOCUS, WM_RBUTTONDOWN, 0);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[0].button, mbLeft);
  EXPECT_EQ(clicks[0].x, 10);
  EXPECT_EQ(clicks[0].y, 20);
  EXPECT_FALSE(clicks[0].shift);
  EXPECT_EQ(clicks[1].button, mbRight);
  EXPECT_EQ(clicks[1].x, -5);

  // Shift comes from the keyboard, not from the notification's word.
  NoteKeyEvent(VK_SHIFT, true, Qt::ShiftModifier);
  wb->Perform(WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), 0);
  NoteKeyEvent(VK_SHIFT, false, Qt::NoModifier);
  wb->Perform(WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, MK_SHIFT), 0);
  ASSERT_EQ(clicks.size(), 4u);
  EXPECT_TRUE(clicks[2].shift);
  EXPECT_FALSE(clicks[3].shift);
}

TEST_F(EmbeddedWBTest, ARealClickOnThePageRaisesOnClick) {
  ASSERT_TRUE(show(fileUrl(pagePath("click.html", "<html><body style='height:2000px'>click</body></html>"))));
  ASSERT_TRUE(testsupport::waitFor([&] { return objectOf(wb)->View()->focusProxy() != nullptr; }));
  QWidget* surface = objectOf(wb)->View()->focusProxy();
  struct Click {
    TMouseButton button;
    int x, y;
  };
  std::vector<Click> clicks;
  wb->OnClick = [&](TObject*, TMouseButton b, TShiftState, int x, int y) { clicks.push_back({b, x, y}); };
  QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(120, 90));
  ASSERT_EQ(clicks.size(), 2u);  // one per press, none for releases
  // In the control's own coordinates.
  const QPoint first = wb->Widget()->mapFromGlobal(surface->mapToGlobal(QPoint(30, 40)));
  EXPECT_EQ(clicks[0].button, mbLeft);
  EXPECT_EQ(clicks[0].x, first.x());
  EXPECT_EQ(clicks[0].y, first.y());
  EXPECT_EQ(clicks[1].button, mbRight);
  // The page still gets its clicks.
  QVariant v;
  ASSERT_TRUE(
      RunPageScript(objectOf(wb)->Page(),
                    "window.clicked = 0; document.addEventListener('mousedown', () => ++window.clicked); 1"));
  // A busy machine may hand the first presses to the page before its
  // renderer takes input: press until the page has seen one.
  size_t presses = 0;
  EXPECT_TRUE(testsupport::waitFor(
      [&] {
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(30, 40));
        ++presses;
        return testsupport::waitFor(
            [&] { return RunPageScript(objectOf(wb)->Page(), "window.clicked", &v) && v.toInt() >= 1; },
            1000);
      },
      15000));
  EXPECT_EQ(clicks.size(), 2u + presses);
}

TEST_F(EmbeddedWBTest, StopLeavesTheBrowserIdleAndTheNextPageLoadsAsUsual) {
  LoopbackServer server;
  ASSERT_TRUE(show(fileUrl(pagePath("before.html", "<html><body>before</body></html>"))));
  int begins = 0, completes = 0;
  std::vector<QString> documents;
  wb->OnDownloadBegin = [&](TObject*) { ++begins; };
  wb->OnDownloadComplete = [&](TObject*) { ++completes; };
  wb->OnDocumentComplete = [&](TObject*, IDispatch*, const OleVariant& url) {
    documents.push_back(VarToStr(url));
  };
  wb->Navigate(server.url("/slow"));
  ASSERT_TRUE(testsupport::waitFor([&] { return begins == 1; }, 10000));
  wb->Stop();
  EXPECT_FALSE(wb->Busy());
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(completes, 1);
  EXPECT_TRUE(documents.empty());

  // At once, as a window that stops and goes elsewhere does: the engine's
  // late word on the stopped load neither ends nor swallows the new one.
  wb->Navigate(server.url("/page"));
  EXPECT_TRUE(wb->Busy());
  ASSERT_TRUE(testsupport::waitFor([&] { return !documents.empty(); }, 10000));
  EXPECT_EQ(documents, std::vector<QString>{server.url("/page")});
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(wb->LocationName(), "served");
  EXPECT_EQ(completes, 2);
  // Stopping an idle browser changes nothing.
  wb->Stop();
  EXPECT_FALSE(wb->Busy());
  EXPECT_EQ(completes, 2);
}

TEST_F(EmbeddedWBTest, TheHostTakesBrowserKeysBeforeTheBrowser) {
  const QString first = fileUrl(pagePath("k1.html", "<html><body>one</body></html>"));
  const QString second = fileUrl(pagePath("k2.html", "<html><body>two</body></html>"));
  ASSERT_TRUE(show(first));
  ASSERT_TRUE(show(second));
  QWidget* surface = objectOf(wb)->View()->focusProxy();
  ASSERT_NE(surface, nullptr);
  std::vector<DWORD> refreshes;
  wb->OnRefresh = [&](TObject*, DWORD cmd, bool& Cancel) {
    refreshes.push_back(cmd);
    Cancel = true;
  };
  std::vector<WPARAM> offered;
  wb->OnTranslateAccelerator = [&](TObject*, MSG* msg, const GUID*, DWORD, bool& Done) {
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return;
    offered.push_back(msg->wParam);
    Done = msg->wParam == VK_LEFT;
  };
  QTest::keyClick(surface, Qt::Key_Left, Qt::AltModifier);
  QTest::keyClick(surface, Qt::Key_F5);
  QTest::keyClick(surface, Qt::Key_F5, Qt::ControlModifier);
  QTest::qWait(200);
  EXPECT_EQ(wb->LocationURL(), second);                    // the host took Alt+Left
  EXPECT_EQ(refreshes, (std::vector<DWORD>{6041, 6042}));  // each told to the host, which cancelled it
  EXPECT_FALSE(wb->Busy());

  // A masked Ctrl key never reaches the browser's keys either: Ctrl+F5 is
  // Ctrl with the key code of "t".
  std::vector<QChar> masked;
  wb->OnMaskedCtrlChar = [&](TObject*, WideChar c) { masked.push_back(c); };
  wb->SetDisableCtrlShortcuts("t");
  offered.clear();
  refreshes.clear();
  QTest::keyClick(surface, Qt::Key_F5, Qt::ControlModifier);
  QTest::keyClick(surface, Qt::Key_F5);
  EXPECT_EQ(masked, std::vector<QChar>{QChar('t')});
  EXPECT_EQ(refreshes, std::vector<DWORD>{6041});
  EXPECT_EQ(std::count(offered.begin(), offered.end(), WPARAM(VK_F5)), 1);  // only the plain F5
}

TEST_F(EmbeddedWBTest, KeyAndMessageEvents) {
  Word seenKey = 0, seenScan = 0;
  wb->OnKeyDown = [&](TObject*, Word& key, Word scan, TShiftState) {
    seenKey = key;
    seenScan = scan;
    if (key == 'Q') key = 0;
  };
  const LPARAM keyData = MakeKeyData(1, 0x10, false, false, false, false);
  EXPECT_EQ(wb->Perform(CN_KEYDOWN, 'Q', keyData), 1);
  EXPECT_EQ(seenKey, 'Q');
  EXPECT_EQ(seenScan, 0x10);
  // Enter goes on to the browser while the message handler is on.
  EXPECT_EQ(wb->Perform(CN_KEYDOWN, VK_RETURN, MakeKeyData(1, 0x1C, false, false, false, false)), 0);
  EXPECT_EQ(seenKey, VK_RETURN);

  int keyUps = 0;
  wb->OnKeyUp = [&](TObject*, Word&, Word, TShiftState) { ++keyUps; };
  wb->Perform(CN_KEYUP, 'A', MakeKeyData(1, 0x1E, false, false, true, true));
  EXPECT_EQ(keyUps, 1);

  EXPECT_EQ(wb->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);

  // OnMessage sees every message and decides its result.
  std::vector<UINT> seen;
  wb->OnMessage = [&](TObject*, TMessage& m, bool& handled) {
    seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 9) handled = true;
  };
  EXPECT_EQ(wb->Perform(WM_USER + 9, 0, 0), 1);
  EXPECT_EQ(wb->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 9, WM_GETDLGCODE}));

  // OnCloseQuery can keep the window.
  bool asked = false;
  wb->OnCloseQuery = [&](TObject*, bool& canClose) {
    asked = true;
    canClose = false;
  };
  HWND window = wb->Handle();
  wb->Perform(WM_CLOSE, 0, 0);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(IsWindow(window));
  // The handlers refer to this test's locals; the form's end sends more messages.
  wb->OnMessage = nullptr;
  wb->OnCloseQuery = nullptr;
}

TEST_F(EmbeddedWBTest, VisibilityIsReported) {
  std::vector<bool> reports;
  wb->OnVisible = [&](TObject*, bool visible) { reports.push_back(visible); };
  wb->SetVisible(false);
  EXPECT_FALSE(wb->Visible());
  EXPECT_FALSE(wb->Widget()->isVisible());
  wb->SetVisible(false);
  wb->SetVisible(true);
  EXPECT_TRUE(wb->Visible());
  EXPECT_EQ(reports, (std::vector<bool>{false, true}));
  wb->OnVisible = nullptr;
}

// ---------------------------------------------------------------- protocol no-op

class ProtocolSink : public ComObject<IInternetProtocolSink, IServiceProvider, IHttpNegotiate> {
 public:
  std::vector<String> transactions;
  HRESULT Switch(PROTOCOLDATA*) override { return S_OK; }
  HRESULT ReportProgress(ULONG, LPCWSTR) override { return S_OK; }
  HRESULT ReportData(DWORD, ULONG, ULONG) override { return S_OK; }
  HRESULT ReportResult(HRESULT, DWORD, LPCWSTR) override { return S_OK; }
  HRESULT QueryService(REFGUID sid, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    return sid == IID_IHttpNegotiate ? QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  HRESULT BeginningTransaction(LPCWSTR url, LPCWSTR, DWORD, LPWSTR* extra) override {
    transactions.push_back(OleStrToString(url));
    *extra = CoTaskMemDupString(QStringLiteral("X-Extra: 1\r\n"));
    return S_OK;
  }
  HRESULT OnResponse(DWORD, LPCWSTR, LPCWSTR, LPWSTR*) override { return S_OK; }
};

TEST_F(EmbeddedWBTest, ProtocolInterfacesDoNoWork) {
  ComPtr<IInternetProtocol> protocol;
  ASSERT_EQ(wb->QueryInterface(IID_IInternetProtocol, &protocol), S_OK);
  ComPtr<ProtocolSink> sink = MakeCom<ProtocolSink>();
  const long blocks = CoTaskMemLiveBlocks();
  EXPECT_EQ(protocol->Start(u"http://a.test/", sink.Get(), nullptr, 0, 0),
            INET_E_USE_DEFAULT_PROTOCOLHANDLER);
  EXPECT_EQ(sink->transactions, std::vector<String>{"http://a.test/"});
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
  EXPECT_EQ(protocol->Start(u"http://b.test/", nullptr, nullptr, 0, 0), INET_E_USE_DEFAULT_PROTOCOLHANDLER);
  EXPECT_EQ(protocol->Read(nullptr, 0, nullptr), S_OK);
  EXPECT_EQ(protocol->Continue(nullptr), S_OK);
  EXPECT_EQ(protocol->Terminate(0), S_OK);
  EXPECT_EQ(protocol->LockRequest(0), S_OK);
  EXPECT_EQ(protocol->UnlockRequest(), S_OK);
  EXPECT_EQ(protocol->Abort(E_ABORT, 0), E_NOTIMPL);
  EXPECT_EQ(protocol->Suspend(), E_NOTIMPL);
  EXPECT_EQ(protocol->Resume(), E_NOTIMPL);
  EXPECT_EQ(protocol->Seek(0, 0, nullptr), E_NOTIMPL);
}

// ---------------------------------------------------------------- form resources

class TBrowserForm : public TForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TBrowserForm(TComponent* owner) : TForm(owner) {}
  TEmbeddedWB* WB = nullptr;
  std::vector<QString> completed;
  void WBDocumentComplete(TObject*, IDispatch*, const OleVariant& url) { completed.push_back(VarToStr(url)); }
  void WBFileDownload(TObject*, IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, const String&, const String&,
                      UINT, HRESULT& rezult) {
    rezult = S_OK;
  }
  void WBBusyWait(TEmbeddedWB*, Cardinal, Cardinal&, bool& cancel) { cancel = true; }
};

const char* const kBrowserForm = R"(object BrowserForm: TBrowserForm
  Left = 10
  Top = 10
  ClientWidth = 420
  ClientHeight = 320
  object WB: TEmbeddedWB
    Left = 0
    Top = 0
    Width = 400
    Height = 300
    DownloadOptions = [DownloadImages, DontExecuteScripts]
    UserInterfaceOptions = [EnableThemes]
    DisableCtrlShortcuts = 'NP'
    EnableMessageHandler = False
    DisableErrors.EnableDDE = False
    PrintOptions.Header = '&w&bPage &p of &P'
    PrintOptions.Margins.Left = 12.5
    PrintOptions.Orientation = poLandScape
    ProxySettings.Port = 8080
    UserAgentMode = uaInternal
    UserAgent = 'FromForm/1'
    RegisterAsBrowser = True
    OnDocumentComplete = WBDocumentComplete
    OnFileDownload = WBFileDownload
    OnBusyWait = WBBusyWait
  end
end
)";

TEST_F(EmbeddedWBTest, FormResourcesSetOptionsAndBindEvents) {
  RegisterHandlers<TBrowserForm>({
      HandlerEntry("WBDocumentComplete", &TBrowserForm::WBDocumentComplete),
      HandlerEntry("WBFileDownload", &TBrowserForm::WBFileDownload),
      HandlerEntry("WBBusyWait", &TBrowserForm::WBBusyWait),
      FieldEntry("WB", &TBrowserForm::WB),
  });
  TBrowserForm* f = NewForm<TBrowserForm>(nullptr);
  ReadComponentRes(QString::fromLatin1(kBrowserForm), f);
  ASSERT_TRUE(f->WB);
  TEmbeddedWB* b = f->WB;
  EXPECT_EQ(b->DownloadOptions(),
            EwbCore::TDownloadControlOptions({EwbCore::DownloadImages, EwbCore::DontExecuteScripts}));
  EXPECT_EQ(b->UserInterfaceOptions(), EwbCore::TUserInterfaceOptions({EwbCore::EnableThemes}));
  EXPECT_EQ(objectOf(b)->DownloadControl(), 0x90u);
  EXPECT_EQ(b->DisableCtrlShortcuts(), "NP");
  // Loaded turns the message handler on whatever the form stored.
  EXPECT_TRUE(b->EnableMessageHandler());
  EXPECT_FALSE(b->DisableErrors()->EnableDDE());
  EXPECT_EQ(b->PrintOptions()->Header(), "&w&bPage &p of &P");
  EXPECT_EQ(b->PrintOptions()->Margins()->Left(), 12.5);
  EXPECT_EQ(b->PrintOptions()->Orientation(), EmbeddedWB::poLandScape);
  EXPECT_EQ(b->ProxySettings()->Port(), 8080);
  EXPECT_TRUE(b->RegisterAsBrowser());
  OleVariant agent;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  ASSERT_EQ(
      b->Invoke(DISPID_AMBIENT_USERAGENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &agent, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(VarToStr(agent), "FromForm/1\r\n");

  // The core's OnFileDownload took the wrapper's name.
  void* p = nullptr;
  ASSERT_EQ(b->QueryService(SID_SDownloadManager, IID_IDownloadManager, &p), S_OK);
  EXPECT_EQ(static_cast<IDownloadManager*>(p)->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0),
            S_OK);
  static_cast<IUnknown*>(p)->Release();

  const QString path = pagePath("resource.html", "<html><body>resource</body></html>");
  b->Navigate(fileUrl(path));
  EXPECT_FALSE(b->Wait(0));  // the form's OnBusyWait cancels at once
  ASSERT_TRUE(complete(b));
  ASSERT_TRUE(testsupport::waitFor([&] { return !f->completed.empty(); }));
  EXPECT_EQ(f->completed.back(), fileUrl(path));

  // Streaming the form out keeps what differs from a fresh control.
  const String text = WriteComponentRes(f);
  EXPECT_TRUE(text.contains("DownloadOptions = [DownloadImages, DontExecuteScripts]")) << text.toStdString();
  EXPECT_TRUE(text.contains("UserInterfaceOptions = [EnableThemes]"));
  EXPECT_TRUE(text.contains("DisableErrors.EnableDDE = False"));
  EXPECT_TRUE(text.contains("OnDocumentComplete = WBDocumentComplete"));
  EXPECT_TRUE(text.contains("OnFileDownload = WBFileDownload"));
  EXPECT_FALSE(text.contains("ProxySettings.AutoLoadProxy"));
  delete f;
}

// ---------------------------------------------------------------- registry stores

class RegistryStoresTest : public BrowserFixture {
 protected:
  void TearDown() override {
    SetRegistryWritesFail(false);
    BrowserFixture::TearDown();
  }
  static void deleteProgramKey() {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    reg.DeleteKey("\\SOFTWARE\\Noctivane");
  }
};

TEST_F(RegistryStoresTest, StartPage) {
  wb->SetIEHomePage("http://start.test/");
  EXPECT_EQ(wb->GetIEHomePage(), "http://start.test/");
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Internet Explorer\\Main", false));
  reg.DeleteValue("Start Page");
  EXPECT_EQ(wb->GetIEHomePage(), "");
}

TEST_F(RegistryStoresTest, LastVisitedPage) {
  deleteProgramKey();
  String url = "left over";
  EXPECT_FALSE(wb->GetLastVisitedPage(url));
  EXPECT_EQ(url, "");

  const QString path = pagePath("last.html", "<html><body>last</body></html>");
  ASSERT_TRUE(wb->Go(path, 10000));
  EXPECT_TRUE(wb->SaveLastVisitedPage());
  EXPECT_TRUE(wb->GetLastVisitedPage(url));
  EXPECT_EQ(url, fileUrl(path));
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Noctivane\\WebPages", false));
  EXPECT_EQ(reg.ReadString("LastVisitedPage"), fileUrl(path));

  // A stored text without a dot is handed out but does not count.
  ASSERT_TRUE(EwbTools::SaveLastVisitedPage("about"));
  EXPECT_FALSE(wb->GetLastVisitedPage(url));
  EXPECT_EQ(url, "about");

  // A store that refuses writes: False, whether the key exists or not.
  SetRegistryWritesFail(true);
  EXPECT_FALSE(wb->SaveLastVisitedPage());
  SetRegistryWritesFail(false);
  deleteProgramKey();
  SetRegistryWritesFail(true);
  EXPECT_FALSE(wb->SaveLastVisitedPage());
  SetRegistryWritesFail(false);
  EXPECT_FALSE(wb->GetLastVisitedPage(url));
}

TEST_F(RegistryStoresTest, FormSizeOfTheMainForm) {
  deleteProgramKey();
  // Without a main form nothing is written.
  wb->SaveFormSize();
  TRegistry reg;
  reg.RootKey = HKEY_LOCAL_MACHINE;
  EXPECT_FALSE(reg.KeyExists("\\SOFTWARE\\Noctivane\\FormSize"));

  TForm* main = nullptr;
  Application->CreateForm(main);
  main->SetBounds(30, 40, 640, 480);
  wb->SaveFormSize();
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Noctivane\\FormSize", false));
  EXPECT_EQ(reg.ReadInteger("Top"), 40);
  EXPECT_EQ(reg.ReadInteger("Left"), 30);
  EXPECT_EQ(reg.ReadInteger("Width"), 640);
  EXPECT_EQ(reg.ReadInteger("Height"), 480);
  EXPECT_EQ(reg.ReadInteger("WindowState"), 0);

  // A store that refuses writes keeps the old values, silently.
  main->SetBounds(1, 2, 300, 200);
  SetRegistryWritesFail(true);
  EXPECT_NO_THROW(wb->SaveFormSize());
  SetRegistryWritesFail(false);
  EXPECT_EQ(reg.ReadInteger("Width"), 640);
}

}  // namespace

#include "EmbeddedWBTest.moc"
