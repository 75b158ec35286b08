#include "platform/shdocvw/WebBrowser.h"

#include "platform/com/Dispatch.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/UrlHistory.h"
#include "tests/platform/shdocvw/BrowserTestHost.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

using namespace browsertest;

namespace {

// A loopback server with a page, a page behind the login user:secret and a
// missing page.
class LoopbackServer : public testsupport::LoopbackServer {
 public:
  LoopbackServer() {
    page("/page", "<html><head><title>served</title></head><body>ok</body></html>");
    loginPage("/private", "user", "secret", "<html><head><title>inside</title></head></html>",
              "<html><head><title>refused</title></head></html>");
    get("/missing", [](const testsupport::HttpRequest&, testsupport::HttpResponse& res) {
      res.status = 404;
      res.body = "<html><body>not here</body></html>";
    });
    start();
  }
  QUrl url(const char* path) const {
    return QUrl(testsupport::LoopbackServer::url(QString::fromLatin1(path)));
  }
  // The user agent of the last "/page" request.
  std::string userAgent() const { return lastRequest("/page").header("User-Agent"); }
};

class WebBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    browser = MakeCom<WebBrowserObject>();
    sink = MakeCom<EventSink>();
    site = MakeCom<TestSite>();
    advise(browser.Get(), sink.Get(), cookie);
  }
  void TearDown() override {
    sink->events.clear();  // recorded arguments hold the browser
    if (browser) {
      browser->SetClientSite(nullptr);
      browser->Close(OLECLOSE_NOSAVE);
    }
  }

  static void advise(WebBrowserObject* b, EventSink* s, DWORD& c) {
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(b->FindConnectionPoint(DIID_DWebBrowserEvents2, &point), S_OK);
    ASSERT_EQ(point->Advise(s->GetUnknown(), &c), S_OK);
  }

  HRESULT go(const QUrl& url) {
    OleVariant address(url.toString());
    return browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
  }
  static bool done(WebBrowserObject* b, int timeoutMs = 10000) {
    return testsupport::waitFor(
        [b] {
          READYSTATE state;
          VARIANT_BOOL busy;
          b->get_ReadyState(&state);
          b->get_Busy(&busy);
          return state == READYSTATE_COMPLETE && busy == VARIANT_FALSE;
        },
        timeoutMs);
  }
  bool navigate(const QUrl& url) { return go(url) == S_OK && done(browser.Get()); }

  static String location(WebBrowserObject* b) {
    BSTR text = nullptr;
    b->get_LocationURL(&text);
    const String s = BSTRToString(text);
    SysFreeString(text);
    return s;
  }
  QVariant script(const QString& code) {
    QVariant v;
    EXPECT_TRUE(RunPageScript(browser->Page(), code, &v));
    return v;
  }

  ComPtr<WebBrowserObject> browser;
  ComPtr<EventSink> sink;
  ComPtr<TestSite> site;
  DWORD cookie = 0;
};

TEST_F(WebBrowserTest, OneNavigationRaisesItsEventsInOrder) {
  const QUrl url = page("order.html", "<html><head><title>Order</title></head><body>x</body></html>");
  READYSTATE state;
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_UNINITIALIZED);
  ComPtr<IDispatch> doc;
  ASSERT_EQ(browser->get_Document(&doc), S_OK);
  EXPECT_FALSE(doc);  // nothing shown yet

  ASSERT_EQ(go(url), S_OK);
  // The state changes at once, before the engine starts.
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_LOADING);
  VARIANT_BOOL busy;
  browser->get_Busy(&busy);
  EXPECT_EQ(busy, VARIANT_TRUE);
  ASSERT_TRUE(done(browser.Get()));

  EXPECT_EQ(sink->sequence({DISPID_BEFORENAVIGATE2, DISPID_DOWNLOADBEGIN, DISPID_NAVIGATECOMPLETE2,
                            DISPID_DOCUMENTCOMPLETE, DISPID_DOWNLOADCOMPLETE}),
            (std::vector<DISPID>{DISPID_BEFORENAVIGATE2, DISPID_DOWNLOADBEGIN, DISPID_NAVIGATECOMPLETE2,
                                 DISPID_DOCUMENTCOMPLETE, DISPID_DOWNLOADCOMPLETE}));
  // Progress is reported while downloading.
  const auto all = sink->sequence({DISPID_DOWNLOADBEGIN, DISPID_PROGRESSCHANGE, DISPID_DOCUMENTCOMPLETE});
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all[1], DISPID_PROGRESSCHANGE);
  EXPECT_EQ(sink->last(DISPID_PROGRESSCHANGE)->args[1].toInt(), 10000);
  // The last report, after the document, says the download is over.
  EXPECT_EQ(sink->last(DISPID_PROGRESSCHANGE)->args[0].toInt(), -1);
  EXPECT_EQ(sink->sequence({DISPID_DOCUMENTCOMPLETE, DISPID_PROGRESSCHANGE}).back(), DISPID_PROGRESSCHANGE);

  const Event* before = sink->last(DISPID_BEFORENAVIGATE2);
  ASSERT_EQ(before->args.size(), 7u);
  EXPECT_EQ(before->arg(1), url.toString());
  EXPECT_TRUE(IsSameObject(before->args[0].toUnknown().Get(), browser->GetUnknown()));
  EXPECT_EQ(sink->last(DISPID_DOCUMENTCOMPLETE)->arg(1), url.toString());
  EXPECT_EQ(sink->last(DISPID_TITLECHANGE)->arg(0), "Order");

  EXPECT_EQ(location(browser.Get()), url.toString());
  BSTR name = nullptr;
  browser->get_LocationName(&name);
  EXPECT_EQ(BSTRToString(name), "Order");
  SysFreeString(name);
  ASSERT_EQ(browser->get_Document(&doc), S_OK);
  ASSERT_TRUE(doc);
  EXPECT_TRUE(doc.As<IHTMLDocument2>());

  // The page went into the URL history.
  TUrlHistoryEntry entry;
  ASSERT_TRUE(UrlHistoryStore().Find(url.toString(), entry));
  EXPECT_EQ(entry.Title, "Order");
}

TEST_F(WebBrowserTest, CancelInBeforeNavigate2KeepsThePage) {
  const QUrl first = page("stay.html", "<html><body>stay</body></html>");
  const QUrl second = page("refused.html", "<html><body>refused</body></html>");
  ASSERT_TRUE(navigate(first));
  sink->events.clear();
  sink->react = [&](DISPID id, DISPPARAMS* p) {
    if (id == DISPID_BEFORENAVIGATE2) *rawArg(p, 6).pboolVal = VARIANT_TRUE;
  };
  ASSERT_EQ(go(second), S_OK);
  ASSERT_TRUE(done(browser.Get()));
  testsupport::waitFor([] { return false; }, 500);  // let the engine report what it would
  EXPECT_EQ(sink->count(DISPID_BEFORENAVIGATE2), 1);
  EXPECT_EQ(sink->count(DISPID_DOWNLOADBEGIN), 0);
  EXPECT_EQ(sink->count(DISPID_DOCUMENTCOMPLETE), 0);
  EXPECT_EQ(location(browser.Get()), first.toString());

  // Also links clicked in the page are asked for.
  sink->events.clear();
  browser->Page()->runJavaScript(QStringLiteral("location.href = '%1';").arg(second.toString()));
  ASSERT_TRUE(testsupport::waitFor([&] { return sink->count(DISPID_BEFORENAVIGATE2) == 1; }));
  testsupport::waitFor([] { return false; }, 300);
  EXPECT_EQ(location(browser.Get()), first.toString());
  EXPECT_TRUE(done(browser.Get(), 1000));
}

TEST_F(WebBrowserTest, TranslateUrlReplacesTheAddress) {
  const QUrl asked = page("asked.html", "<html><body>asked</body></html>");
  const QUrl given = page("given.html", "<html><head><title>Given</title></head></html>");
  site->translate = [&](const String& in) { return in == asked.toString() ? given.toString() : String(); };
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  ASSERT_TRUE(navigate(asked));
  EXPECT_EQ(location(browser.Get()), given.toString());
  // BeforeNavigate2 sees only the translated address.
  ASSERT_EQ(sink->count(DISPID_BEFORENAVIGATE2), 1);
  EXPECT_EQ(sink->last(DISPID_BEFORENAVIGATE2)->arg(1), given.toString());
  EXPECT_EQ(sink->count(DISPID_DOWNLOADBEGIN), 1);
}

TEST_F(WebBrowserTest, NewWindowGoesToTheBrowserTheHostNames) {
  const QUrl opener = page("opener.html", "<html><body>opener</body></html>");
  const QUrl popup = page("popup.html", "<html><head><title>Popup</title></head></html>");
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  ASSERT_TRUE(navigate(opener));

  ComPtr<WebBrowserObject> second = MakeCom<WebBrowserObject>();
  ComPtr<EventSink> secondSink = MakeCom<EventSink>();
  DWORD secondCookie = 0;
  advise(second.Get(), secondSink.Get(), secondCookie);
  sink->react = [&](DISPID id, DISPPARAMS* p) {
    if (id == DISPID_NEWWINDOW2) {
      IDispatch* d = nullptr;
      second->get_Application(&d);  // a reference for the caller
      *rawArg(p, 0).ppdispVal = d;
    }
  };
  browser->Page()->runJavaScript(QStringLiteral("window.open('popup.html');"));
  ASSERT_TRUE(testsupport::waitFor([&] { return location(second.Get()) == popup.toString(); }));
  EXPECT_TRUE(done(second.Get()));
  EXPECT_EQ(site->newWindowEvaluations, 1);
  EXPECT_EQ(sink->count(DISPID_NEWWINDOW2), 1);
  EXPECT_EQ(sink->count(DISPID_NEWWINDOW3), 0);  // NewWindow2 already named the browser
  EXPECT_EQ(secondSink->count(DISPID_DOCUMENTCOMPLETE), 1);
  EXPECT_EQ(location(browser.Get()), opener.toString());

  // Without a browser from NewWindow2 the host is asked again with the details.
  sink->react = [&](DISPID id, DISPPARAMS* p) {
    if (id == DISPID_NEWWINDOW3) *rawArg(p, 1).pboolVal = VARIANT_TRUE;
  };
  browser->Page()->runJavaScript(QStringLiteral("window.open('popup.html?again');"));
  ASSERT_TRUE(testsupport::waitFor([&] { return sink->count(DISPID_NEWWINDOW3) == 1; }));
  const Event* three = sink->last(DISPID_NEWWINDOW3);
  EXPECT_EQ(three->arg(3), opener.toString());
  EXPECT_TRUE(three->arg(4).endsWith("popup.html?again"));
  EXPECT_TRUE(three->args[2].toInt() & NWMF_FIRST);

  // A pop-up manager that blocks keeps the host from being asked.
  site->newWindowVerdict = S_FALSE;
  const int asked = sink->count(DISPID_NEWWINDOW2);
  browser->Page()->runJavaScript(QStringLiteral("window.open('popup.html?blocked');"));
  ASSERT_TRUE(testsupport::waitFor([&] { return site->newWindowEvaluations == 3; }));
  EXPECT_EQ(sink->count(DISPID_NEWWINDOW2), asked);
  secondSink->events.clear();
  second->Close(OLECLOSE_NOSAVE);
}

TEST_F(WebBrowserTest, HistoryCommands) {
  EXPECT_EQ(browser->GoBack(), E_FAIL);
  EXPECT_EQ(browser->GoForward(), E_FAIL);
  READYSTATE state;
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_UNINITIALIZED);  // a refused GoBack changes nothing

  const QUrl a = page("hist-a.html", "<html><body>a</body></html>");
  const QUrl b = page("hist-b.html", "<html><body>b</body></html>");
  ASSERT_TRUE(navigate(a));
  auto backChanges = [&] {
    std::vector<bool> out;
    for (const Event& e : sink->events)
      if (e.id == DISPID_COMMANDSTATECHANGE && e.args[0].toInt() == CSC_NAVIGATEBACK)
        out.push_back(e.args[1].toBool());
    return out;
  };
  EXPECT_TRUE(backChanges().empty());
  ASSERT_TRUE(navigate(b));
  EXPECT_EQ(backChanges(), std::vector<bool>{true});

  sink->events.clear();
  ASSERT_EQ(browser->GoBack(), S_OK);
  ASSERT_TRUE(done(browser.Get()));
  EXPECT_EQ(location(browser.Get()), a.toString());
  EXPECT_EQ(backChanges(), std::vector<bool>{false});
  const Event* forward = sink->last(DISPID_COMMANDSTATECHANGE);
  ASSERT_TRUE(forward);
  bool forwardEnabled = false;
  for (const Event& e : sink->events)
    if (e.id == DISPID_COMMANDSTATECHANGE && e.args[0].toInt() == CSC_NAVIGATEFORWARD)
      forwardEnabled = e.args[1].toBool();
  EXPECT_TRUE(forwardEnabled);
  EXPECT_EQ(sink->count(DISPID_BEFORENAVIGATE2), 1);  // going back is announced too
  ASSERT_EQ(browser->GoForward(), S_OK);
  ASSERT_TRUE(done(browser.Get()));
  EXPECT_EQ(location(browser.Get()), b.toString());
}

TEST_F(WebBrowserTest, DownloadControlSwitchesImagesAndScripts) {
  redPicture();
  const QUrl url = page("images.html",
                        "<html><head><title>Plain</title><script>document.title = 'Scripted';</script>"
                        "</head><body><img id=pic src='red.png'></body></html>");
  site->ambient[DISPID_AMBIENT_DLCONTROL] = OleVariant(int(DLCTL_VIDEOS | DLCTL_BGSOUNDS));
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  EXPECT_EQ(browser->DownloadControl(), DWORD(DLCTL_VIDEOS | DLCTL_BGSOUNDS));
  ASSERT_TRUE(navigate(url));
  EXPECT_EQ(script("document.getElementById('pic').naturalWidth").toInt(), 0);
  EXPECT_EQ(script("document.title").toString(), "Scripted");

  // The host changes the word and says so; the next page follows it.
  site->ambient[DISPID_AMBIENT_DLCONTROL] = OleVariant(int(DLCTL_DLIMAGES | DLCTL_NO_SCRIPTS));
  ASSERT_EQ(browser->OnAmbientPropertyChange(DISPID_AMBIENT_DLCONTROL), S_OK);
  ASSERT_TRUE(navigate(page("images2.html", testsupport::readFile(url.toLocalFile()))));
  EXPECT_TRUE(testsupport::waitFor(
      [&] { return script("document.getElementById('pic').naturalWidth").toInt() == 20; }));
  EXPECT_EQ(script("document.title").toString(), "Plain");

  // No word at all is the default behaviour: images and scripts.
  site->ambient.erase(DISPID_AMBIENT_DLCONTROL);
  browser->OnAmbientPropertyChange(DISPID_UNKNOWN);
  EXPECT_EQ(browser->DownloadControl(), 0u);
  ASSERT_TRUE(navigate(page("images3.html", testsupport::readFile(url.toLocalFile()))));
  EXPECT_EQ(script("document.title").toString(), "Scripted");
}

TEST_F(WebBrowserTest, UserAgentAndUserModeComeFromTheHost) {
  LoopbackServer server;
  site->ambient[DISPID_AMBIENT_USERAGENT] = OleVariant("NoctivaneTest/1.0 (loopback)\r\n");
  site->ambient[DISPID_AMBIENT_USERMODE] = OleVariant(false);
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  EXPECT_EQ(browser->UserAgent(), "NoctivaneTest/1.0 (loopback)");
  EXPECT_TRUE(browser->DesignMode());
  ASSERT_TRUE(navigate(server.url("/page")));
  EXPECT_EQ(server.userAgent(), "NoctivaneTest/1.0 (loopback)");
  EXPECT_TRUE(testsupport::waitFor([&] { return script("document.designMode").toString() == "on"; }));

  // Without an answer the engine's own user agent is sent.
  site->ambient.erase(DISPID_AMBIENT_USERAGENT);
  browser->OnAmbientPropertyChange(DISPID_AMBIENT_USERAGENT);
  ASSERT_TRUE(navigate(server.url("/page?second")));
  EXPECT_NE(server.userAgent().find("Mozilla"), std::string::npos);
}

TEST_F(WebBrowserTest, FailedNavigationsReportTheirStatus) {
  LoopbackServer server;
  ASSERT_TRUE(navigate(server.url("/missing")));
  const Event* error = sink->last(DISPID_NAVIGATEERROR);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->args[3].toInt(), 404);
  EXPECT_TRUE(error->arg(1).endsWith("/missing"));
  // The error page completes as the document.
  EXPECT_EQ(sink->sequence({DISPID_NAVIGATEERROR, DISPID_DOCUMENTCOMPLETE, DISPID_DOWNLOADCOMPLETE}),
            (std::vector<DISPID>{DISPID_NAVIGATEERROR, DISPID_DOCUMENTCOMPLETE, DISPID_DOWNLOADCOMPLETE}));

  sink->events.clear();
  sink->react = [&](DISPID id, DISPPARAMS* p) {
    if (id == DISPID_NAVIGATEERROR) *rawArg(p, 4).pboolVal = VARIANT_TRUE;
  };
  ASSERT_TRUE(navigate(page("gone.html", "x").resolved(QUrl("no-such-file.html"))));
  ASSERT_TRUE(sink->last(DISPID_NAVIGATEERROR));
  EXPECT_EQ(sink->last(DISPID_NAVIGATEERROR)->args[3].toInt(), int(0x800C0005u));
  EXPECT_EQ(sink->count(DISPID_DOCUMENTCOMPLETE), 0);  // the host took over
  EXPECT_EQ(sink->count(DISPID_DOWNLOADCOMPLETE), 1);
}

TEST_F(WebBrowserTest, AddressesAreChecked) {
  OleVariant blank("   ");
  EXPECT_EQ(browser->Navigate2(&blank, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  OleVariant number(42);
  EXPECT_EQ(browser->Navigate2(&number, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(browser->Navigate2(nullptr, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  VARIANT_BOOL busy = VARIANT_TRUE;
  browser->get_Busy(&busy);
  EXPECT_EQ(busy, VARIANT_FALSE);
  READYSTATE state;
  browser->get_ReadyState(&state);
  EXPECT_EQ(state, READYSTATE_UNINITIALIZED);
  EXPECT_TRUE(sink->events.empty());
}

// Words and network addresses without a host fail like an unreachable
// address: the host hears of the navigation and of its failure, the browser
// shows its own page and names the text as its address until the next page.
TEST_F(WebBrowserTest, TextThatIsNoAddressShowsTheErrorPage) {
  LoopbackServer server;
  for (const QString& text :
       {QStringLiteral("rust vec push"), QStringLiteral("http://"), QStringLiteral("https://"),
        QStringLiteral("ftp:///file"), QStringLiteral("<b>&amp; \"words\"")}) {
    sink->events.clear();
    OleVariant address(text);
    ASSERT_EQ(browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr), S_OK) << text.toStdString();
    ASSERT_TRUE(done(browser.Get())) << text.toStdString();
    EXPECT_EQ(sink->sequence({DISPID_BEFORENAVIGATE2, DISPID_NAVIGATEERROR, DISPID_DOCUMENTCOMPLETE,
                              DISPID_DOWNLOADCOMPLETE}),
              (std::vector<DISPID>{DISPID_BEFORENAVIGATE2, DISPID_NAVIGATEERROR, DISPID_DOCUMENTCOMPLETE,
                                   DISPID_DOWNLOADCOMPLETE}))
        << text.toStdString();
    ASSERT_EQ(sink->count(DISPID_NAVIGATECOMPLETE2), 1);
    EXPECT_EQ(sink->last(DISPID_NAVIGATECOMPLETE2)->arg(1), text);
    EXPECT_EQ(sink->last(DISPID_BEFORENAVIGATE2)->arg(1), text);
    const Event* error = sink->last(DISPID_NAVIGATEERROR);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->arg(1), text);
    EXPECT_EQ(error->args[3].toInt(), int(0x800C0002u));  // INET_E_INVALID_URL
    EXPECT_EQ(sink->last(DISPID_DOCUMENTCOMPLETE)->arg(1), text);
    EXPECT_EQ(location(browser.Get()), text);
    // The page names the text as it was given, markup and all.
    EXPECT_TRUE(script("document.body.innerText").toString().contains(text)) << text.toStdString();
  }
  // Nothing of the failed text stays with the next page.
  ASSERT_TRUE(navigate(server.url("/page")));
  EXPECT_EQ(location(browser.Get()), server.url("/page").toString());
  EXPECT_EQ(sink->last(DISPID_NAVIGATECOMPLETE2)->arg(1), server.url("/page").toString());

  // The host may refuse it like any navigation.
  sink->events.clear();
  sink->react = [&](DISPID id, DISPPARAMS* p) {
    if (id == DISPID_BEFORENAVIGATE2) *rawArg(p, 6).pboolVal = VARIANT_TRUE;
  };
  OleVariant words("more words");
  EXPECT_EQ(browser->Navigate2(&words, nullptr, nullptr, nullptr, nullptr), S_OK);
  QTest::qWait(200);
  EXPECT_EQ(sink->count(DISPID_NAVIGATEERROR), 0);
  EXPECT_EQ(sink->count(DISPID_DOWNLOADBEGIN), 0);
  VARIANT_BOOL busy = VARIANT_TRUE;
  browser->get_Busy(&busy);
  EXPECT_EQ(busy, VARIANT_FALSE);
}

TEST_F(WebBrowserTest, WindowsFollowInPlaceActivation) {
  HostWindow host;
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  HWND none = nullptr;
  EXPECT_EQ(browser->GetWindow(&none), E_FAIL);
  EXPECT_EQ(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, nullptr, nullptr),
            E_INVALIDARG);
  RECT rect{0, 0, 400, 300};
  ASSERT_EQ(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.handle, &rect), S_OK);
  ASSERT_TRUE(navigate(page("tree.html", "<html><body style='background:#ff0000'></body></html>")));
  ASSERT_TRUE(testsupport::waitFor([&] { return browser->DocumentWindow() != nullptr; }));

  // A search of first children finds the document window below the control window.
  HWND view = GetWindow(host.handle, GW_CHILD);
  EXPECT_EQ(GetClassName(view), "Shell DocObject View");
  HWND server = GetWindow(view, GW_CHILD);
  EXPECT_EQ(GetClassName(server), "Internet Explorer_Server");
  EXPECT_EQ(WidgetOf(server), browser->View()->focusProxy());
  HWND reported = nullptr;
  ASSERT_EQ(browser->GetWindow(&reported), S_OK);
  EXPECT_EQ(reported, view);
  EXPECT_GE(site->innerWindowCommands, 1);

  // Keys of the document window go to the host first.
  site->acceleratorAnswer = S_OK;
  SendMessage(server, WM_KEYDOWN, 'N', 0);
  EXPECT_EQ(site->acceleratorCalls, 1);

  // The view draws into a canvas's painter.
  QImage image(200, 150, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    RECTL bounds{0, 0, 200, 150};
    ASSERT_EQ(browser->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &painter, &bounds, nullptr,
                            nullptr, 0),
              S_OK);
  }
  EXPECT_TRUE(testsupport::waitFor([&] {
    QImage again(200, 150, QImage::Format_RGB32);
    QPainter painter(&again);
    RECTL bounds{0, 0, 200, 150};
    browser->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &painter, &bounds, nullptr, nullptr, 0);
    painter.end();
    return again.pixelColor(100, 75) == QColor(255, 0, 0);
  }));

  RECT smaller{10, 10, 110, 60};
  EXPECT_EQ(browser->SetObjectRects(&smaller, &smaller), S_OK);
  EXPECT_EQ(browser->View()->geometry(), QRect(10, 10, 100, 50));

  ASSERT_EQ(browser->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(IsWindow(view));
  EXPECT_FALSE(IsWindow(server));
  EXPECT_EQ(GetWindow(host.handle, GW_CHILD), nullptr);
  EXPECT_EQ(browser->SetObjectRects(&smaller, &smaller), OLE_E_NOT_INPLACEACTIVE);
  // The page survives the windows.
  EXPECT_EQ(script("document.body.style.background").toString(), "rgb(255, 0, 0)");
}

TEST_F(WebBrowserTest, HostInformationStylesTheDocument) {
  site->hostFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_SCROLL_NO;
  site->hostCss = "body { color: rgb(0, 128, 0); }";
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  ASSERT_TRUE(navigate(page("styled.html", "<html><body>text</body></html>")));
  EXPECT_EQ(browser->HostFlags(), DWORD(DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_SCROLL_NO));
  EXPECT_FALSE(browser->Page()->settings()->testAttribute(QWebEngineSettings::ShowScrollBars));
  EXPECT_TRUE(testsupport::waitFor(
      [&] { return script("getComputedStyle(document.body).color").toString() == "rgb(0, 128, 0)"; }));
  EXPECT_EQ(script("getComputedStyle(document.body).userSelect").toString(), "none");
  EXPECT_EQ(CoTaskMemLiveBlocks(), 0);  // the host's strings were freed

  site->hostFlags = 0;
  site->hostCss.clear();
  ASSERT_TRUE(navigate(page("unstyled.html", "<html><body>text</body></html>")));
  EXPECT_EQ(script("getComputedStyle(document.body).color").toString(), "rgb(0, 0, 0)");
  EXPECT_TRUE(browser->Page()->settings()->testAttribute(QWebEngineSettings::ShowScrollBars));
}

TEST_F(WebBrowserTest, CommandsAndScriptMessages) {
  OleVariant out;
  EXPECT_EQ(browser->ExecWB(OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &out),
            OLECMDERR_E_NOTSUPPORTED);  // no document yet
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  ASSERT_TRUE(navigate(page("commands.html", "<html><head><title>Cmd</title></head><body>c</body></html>")));

  ASSERT_EQ(browser->ExecWB(OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &out), S_OK);
  EXPECT_EQ(out.toInt(), 0x40000);
  OleVariant three(3);
  ASSERT_EQ(browser->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &three, nullptr), S_OK);
  EXPECT_EQ(PageTextSize(browser->Page()), 3);
  OLECMDF flags;
  ASSERT_EQ(browser->QueryStatusWB(OLECMDID_STOP, &flags), S_OK);
  EXPECT_EQ(flags, OLECMDF_SUPPORTED);  // not busy
  ASSERT_EQ(browser->QueryStatusWB(OLECMDID_SELECTALL, &flags), S_OK);
  EXPECT_EQ(flags, OLECMDF(OLECMDF_SUPPORTED | OLECMDF_ENABLED));

  // Printing without a printer writes a PDF file.
  const String pdf = testsupport::profileDir() + "/printed.pdf";
  OleVariant target(pdf);
  ASSERT_EQ(browser->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER, &target, nullptr), S_OK);
  EXPECT_TRUE(testsupport::waitFor([&] { return testsupport::readFile(pdf).startsWith("%PDF"); }));

  // Script messages go to the host's message box.
  site->messageAnswer = 2;  // IDCANCEL
  QVariant answer;
  ASSERT_TRUE(RunPageScript(browser->Page(), "1", &answer));
  browser->Page()->runJavaScript("alert('hello'); document.title = confirm('sure?') ? 'yes' : 'no';");
  ASSERT_TRUE(testsupport::waitFor([&] { return site->messages.size() == 2; }));
  EXPECT_EQ(site->messages[0], "hello");
  EXPECT_EQ(site->messages[1], "sure?");
  EXPECT_TRUE(testsupport::waitFor([&] { return browser->Page()->title() == "no"; }));
}

TEST_F(WebBrowserTest, ContextMenusGoToTheHostWithTheirKind) {
  HostWindow host;
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  RECT rect{0, 0, 400, 300};
  ASSERT_EQ(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.handle, &rect), S_OK);
  redPicture();
  ASSERT_TRUE(navigate(page("menus.html",
                            "<html><body style='margin:0'><img src='red.png' width=100 height=100>"
                            "<p><a href='x.html' style='font-size:40px'>link</a></p></body></html>")));
  ASSERT_TRUE(testsupport::waitFor([&] { return browser->View()->focusProxy() != nullptr; }));
  QWidget* surface = browser->View()->focusProxy();
  site->contextMenuAnswer = S_OK;  // the host shows its own (or none)
  QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(50, 50));
  ASSERT_TRUE(testsupport::waitFor([&] { return site->contextMenus.size() == 1; }));
  EXPECT_EQ(site->contextMenus[0], DWORD(CONTEXT_MENU_IMAGE));
  EXPECT_TRUE(site->contextTargetHasWindow);
  QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(300, 250));
  ASSERT_TRUE(testsupport::waitFor([&] { return site->contextMenus.size() == 2; }));
  EXPECT_EQ(site->contextMenus[1], DWORD(CONTEXT_MENU_DEFAULT));
}

TEST_F(WebBrowserTest, AuthenticationAndScriptErrorsAskTheHost) {
  LoopbackServer server;
  ASSERT_EQ(browser->SetClientSite(site.Get()), S_OK);
  site->user = "user";
  site->password = "secret";
  ASSERT_TRUE(navigate(server.url("/private")));
  EXPECT_EQ(site->authentications, 1);
  EXPECT_EQ(browser->Page()->title(), "inside");
  EXPECT_EQ(CoTaskMemLiveBlocks(), 0);

  // A host without credentials leaves the request refused (another server:
  // the engine keeps the credentials it was given for the first).
  LoopbackServer other;
  site->user.clear();
  // The browser then asks the user with its own login dialog: cancelled here.
  QTimer cancelLogin;
  QObject::connect(&cancelLogin, &QTimer::timeout, [] {
    if (HWND login = FindWindow(QStringLiteral("#32770"))) SendMessage(login, WM_CLOSE, 0, 0);
  });
  cancelLogin.start(20);
  ASSERT_TRUE(navigate(other.url("/private")));
  EXPECT_EQ(site->authentications, 2);
  EXPECT_EQ(browser->Page()->title(), "refused");

  // A script error reaches the host with its fields; leaving the page tells
  // the host the document unloads.
  const int unloadsBefore = site->unloads;
  const QUrl faulty = page("faulty.html", "<html><body><script>\nnoSuchFunction();\n</script></body></html>");
  ASSERT_TRUE(navigate(faulty));
  EXPECT_GT(site->unloads, unloadsBefore);
  ASSERT_TRUE(testsupport::waitFor([&] { return !site->scriptErrors.empty(); }));
  const QStringList fields = site->scriptErrors[0];
  ASSERT_EQ(fields.size(), 3);
  EXPECT_TRUE(fields[0].contains("noSuchFunction")) << fields[0].toStdString();
  EXPECT_EQ(fields[1], "2");
  EXPECT_EQ(fields[2], faulty.toString());
}

TEST_F(WebBrowserTest, PropertiesByDispatchId) {
  const QUrl url = page("dispatch.html", "<html><head><title>Disp</title></head></html>");
  DISPID id = 0;
  ASSERT_EQ(DispatchGetIDOfName(browser.Get(), "navigate2", id), S_OK);
  EXPECT_EQ(id, DISPID_WB_NAVIGATE2);
  ASSERT_EQ(DispatchInvoke(browser.Get(), id, DISPATCH_METHOD, {OleVariant(url.toString())}), S_OK);
  ASSERT_TRUE(done(browser.Get()));

  OleVariant v;
  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_LOCATIONURL, v), S_OK);
  EXPECT_EQ(v.toString(), url.toString());
  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_READYSTATE, v), S_OK);
  EXPECT_EQ(v.toInt(), READYSTATE_COMPLETE);
  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_APPLICATION, v), S_OK);
  EXPECT_TRUE(IsSameObject(v.toUnknown().Get(), browser->GetUnknown()));
  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_DOCUMENT, v), S_OK);
  EXPECT_TRUE(v.toDispatch().As<IHTMLDocument2>());

  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_SILENT, v), S_OK);
  EXPECT_FALSE(v.toBool());
  ASSERT_EQ(DispatchPutProperty(browser.Get(), DISPID_WB_SILENT, OleVariant(true)), S_OK);
  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_SILENT, v), S_OK);
  EXPECT_TRUE(v.toBool());
  ASSERT_EQ(DispatchGetProperty(browser.Get(), DISPID_WB_REGISTERASDROPTARGET, v), S_OK);
  EXPECT_TRUE(v.toBool());

  // Setting a bar property raises its event.
  ASSERT_EQ(DispatchPutProperty(browser.Get(), DISPID_WB_TOOLBAR, OleVariant(1)), S_OK);
  ASSERT_TRUE(sink->last(DISPID_ONTOOLBAR));
  EXPECT_TRUE(sink->last(DISPID_ONTOOLBAR)->args[0].toBool());

  OleVariant out;
  ASSERT_EQ(DispatchInvoke(browser.Get(), DISPID_WB_EXECWB, DISPATCH_METHOD,
                           {OleVariant(int(OLECMDID_GETZOOMRANGE)), OleVariant(0)}, &out),
            S_OK);
  EXPECT_EQ(DispatchGetProperty(browser.Get(), 9999, v), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(DispatchGetIDOfName(browser.Get(), "NoSuchThing", id), DISP_E_UNKNOWNNAME);
}

TEST_F(WebBrowserTest, GoHomeReadsTheStartPage) {
  const QUrl home = page("home.html", "<html><head><title>Home</title></head></html>");
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Internet Explorer\\Main", true));
    reg.WriteString("Start Page", home.toString());
  }
  ASSERT_EQ(browser->GoHome(), S_OK);
  ASSERT_TRUE(done(browser.Get()));
  EXPECT_EQ(location(browser.Get()), home.toString());
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Internet Explorer\\Main", false));
    reg.DeleteValue("Start Page");
  }
  ASSERT_EQ(browser->GoHome(), S_OK);
  ASSERT_TRUE(done(browser.Get()));
  EXPECT_EQ(location(browser.Get()), "about:blank");
}

TEST_F(WebBrowserTest, ReleasingTheBrowserInsideAnEventIsSafe) {
  // The host lets the browser go while the browser raises DocumentComplete.
  WebBrowserObject* raw = browser.Get();
  sink->react = [&](DISPID id, DISPPARAMS*) {
    if (id == DISPID_DOCUMENTCOMPLETE) browser.Reset();
  };
  OleVariant address(page("release.html", "<html><body>r</body></html>").toString());
  ASSERT_EQ(raw->Navigate2(&address, nullptr, nullptr, nullptr, nullptr), S_OK);
  ASSERT_TRUE(testsupport::waitFor([&] { return !browser; }));
  testsupport::waitFor([] { return false; }, 300);
  // The rest of that navigation still reached the sink, and nothing after.
  EXPECT_EQ(sink->events.back().id, DISPID_DOWNLOADCOMPLETE);
}

}  // namespace
