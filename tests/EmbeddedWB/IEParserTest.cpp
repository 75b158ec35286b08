// The page parser on real windowless documents: from its Html text, from
// file:// pages and from the loopback server; the order of its events, its
// exits, the ambient answer, its lifetime around its own wait, and the proxy
// it applies.
#include "EmbeddedWB/Source/IEParser.h"

#include "EmbeddedWB/Source/IEDownloadStrings.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Windows.h"
#include "platform/wininet/WinInet.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

using namespace IEParser;
using testsupport::LoopbackServer;

namespace {

const char kPage[] =
    "<html><head><title>Parsed</title><meta name=\"author\" content=\"me\">"
    "<script src=\"a.js\">var x;</script></head>"
    "<body bgcolor=\"white\"><!-- note --><div align=\"center\">D</div><a href=\"http://example.com/p\">L</a>"
    "<img src=\"i.png\"><comment>old comment</comment><zork>?</zork><br><hr><p>last</p></body></html>";

// Collects what the parser raises, one line per event.
struct Recorder {
  std::vector<String> lines;
  std::vector<String> infos;

  void bind(TIEParser& p) {
    p.OnStateChange = [this](TObject*, TParserState s) { lines.push_back("state " + IntToStr(int(s))); };
    p.OnParseDocument = [this](TObject*, HRESULT, const String& m) { lines.push_back("doc " + m); };
    p.OnParseError = [this](TObject*, int, const String&, const String& e) { lines.push_back("error " + e); };
    p.OnQueryInfo = [this](const String& type, const String& enc, const String& disp) {
      lines.push_back("query " + type + "|" + enc + "|" + disp);
    };
    p.OnElement = [this](TObject*, TElementInfo& e) { lines.push_back("element " + e.TagName); };
    p.OnDocInfo = [this](TObject*, const String& t) {
      infos.push_back(t);
      if (lines.empty() || lines.back() != "info") lines.push_back("info");
    };
    p.OnParseComplete = [this](TObject*, IHTMLDocument2* d, IHTMLElementCollection* a) {
      lines.push_back(String("complete ") + (d && a ? "both" : "missing"));
    };
    p.OnDiv = [this](TObject*, String align, bool, TElementInfo& e) {
      lines.push_back("div " + align + " " + e.InnerHTML);
    };
    p.OnAnchor = [this](TObject*, String href, String, String, String, String, String, String, String host,
                        String, String, String, String, String, String, String, String, String, String,
                        TElementInfo&) { lines.push_back("anchor " + href + " " + host); };
    p.OnComment = [this](TObject*, String text, TElementInfo&) { lines.push_back("comment " + text); };
    p.OnImage = [this](TObject*, String src, String, String, String, String, String, String, bool,
                       OleVariant&, OleVariant&, int, int, int, int,
                       TElementInfo&) { lines.push_back("image " + QUrl(src).fileName()); };
  }
  int count(const String& prefix) const {
    return int(
        std::count_if(lines.begin(), lines.end(), [&](const String& l) { return l.startsWith(prefix); }));
  }
  bool hasInfo(const String& line) const {
    return std::find(infos.begin(), infos.end(), line) != infos.end();
  }
};

String Ok(const char* step) {
  return "doc " + QString::fromLatin1(step) + IEDownloadStrings::StatusCodeText(0);
}

class IEParserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUrlMon();
    InitializeMsHtml();
    IEParser::initialize();
  }
  static void TearDownTestSuite() { IEParser::finalize(); }

  // A page written into the profile folder, by its file:// address.
  static String FilePage(const String& name, const QByteArray& html) {
    const String path = testsupport::profileDir() + "/" + name;
    EXPECT_TRUE(testsupport::writeFile(path, html));
    return QUrl::fromLocalFile(path).toString();
  }
};

// ---------------------------------------------------------------- from Html

TEST_F(IEParserTest, AParseFromHtmlRaisesItsEventsInOrder) {
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  parser.SetHtml(kPage);
  parser.Parse(String());

  using namespace IEDownloadStrings;
  const std::vector<String> head = {"state 0",
                                    Ok(sCoCreateInstance),
                                    Ok(sSetClientSite),
                                    Ok(sAmbientPropertyChange),
                                    Ok(sConnectionPointContainer),
                                    Ok(sAdvise),
                                    Ok(sLoadFromString),
                                    "element HTML"};
  ASSERT_GE(r.lines.size(), head.size());
  EXPECT_EQ(std::vector<String>(r.lines.begin(), r.lines.begin() + head.size()), head);
  EXPECT_EQ(r.count("query"), 0);  // no address, no header query
  // Every element before its own tag event; tags match whatever their case.
  const auto div = std::find(r.lines.begin(), r.lines.end(), String("div center D"));
  ASSERT_NE(div, r.lines.end());
  EXPECT_EQ(*(div - 1), "element DIV");
  EXPECT_EQ(r.count("anchor http://example.com/p example.com:80"), 1);
  EXPECT_EQ(r.count("comment "), 1);  // the COMMENT element; "!" raises OnElement only
  EXPECT_EQ(r.count("element !"), 1);
  EXPECT_EQ(r.count("element ZORK"), 1);
  EXPECT_EQ(r.count("image i.png"), 1);
  const std::vector<String> tail = {"element P", "info", "complete both"};
  EXPECT_EQ(std::vector<String>(r.lines.end() - 5, r.lines.end() - 2), tail);
  EXPECT_TRUE(r.lines[r.lines.size() - 2].startsWith("doc Done. Process Time: "));
  EXPECT_EQ(r.lines.back(), "state 2");
  // From Html the information has the "Domain: " line.
  EXPECT_EQ(r.infos.size(), 23u);
  EXPECT_TRUE(r.hasInfo("Title: Parsed"));
  EXPECT_TRUE(r.hasInfo("Domain: "));
  // The record keeps the last element; URL and Html are empty afterwards.
  EXPECT_EQ(parser.ElementInfo().TagName, "P");
  EXPECT_EQ(parser.ElementInfo().InnerText, "last");
  EXPECT_EQ(parser.ElementInfo().OuterHTML, "<P>last</P>");
  EXPECT_TRUE(parser.URL().isEmpty());
  EXPECT_TRUE(parser.Html().isEmpty());
  EXPECT_EQ(parser.State(), psStopped);
  EXPECT_FALSE(parser.Busy());
}

TEST_F(IEParserTest, ShortOrMissingDocumentsEndTheParseAtOnce) {
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  // Four elements (HTML, HEAD, TITLE, BODY) are a bad document.
  parser.SetHtml("text only");
  parser.Parse(String());
  EXPECT_EQ(r.count("element"), 0);
  EXPECT_EQ(r.count("info"), 0);
  EXPECT_EQ(r.count("complete"), 0);
  EXPECT_EQ(r.lines[r.lines.size() - 2], "error " + QString::fromLatin1(IEDownloadStrings::sBadDocument) +
                                             IEDownloadStrings::StatusCodeText(E_FAIL));
  EXPECT_EQ(r.lines.back(), "state 2");

  // No address and no Html: the error, then the end, without a wait.
  r.lines.clear();
  parser.Parse(String());
  EXPECT_EQ(r.lines[r.lines.size() - 2], "error " +
                                             QString::fromLatin1(IEDownloadStrings::sErrLoadFromString) +
                                             IEDownloadStrings::StatusCodeText(E_FAIL));
  EXPECT_EQ(r.lines.back(), "state 2");

  // An address that is not one is a failed load.
  r.lines.clear();
  parser.Parse("no scheme at all");
  EXPECT_EQ(r.lines[r.lines.size() - 2], "error " +
                                             QString::fromLatin1(IEDownloadStrings::sErrLoadFromMoniker) +
                                             IEDownloadStrings::StatusCodeText(INET_E_INVALID_URL));
  EXPECT_TRUE(parser.URL().isEmpty());
}

TEST_F(IEParserTest, WithoutTheDocumentClassTheNoDocumentExitIsTaken) {
  ASSERT_TRUE(UnregisterClassFactory(CLSID_HTMLDocument));
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  parser.SetHtml(kPage);
  parser.Parse(String());
  InitializeMsHtml();
  EXPECT_EQ(r.lines[1], "error " + QString::fromLatin1(IEDownloadStrings::sErrCoCreateInstance) +
                            IEDownloadStrings::StatusCodeText(REGDB_E_CLASSNOTREG));
  EXPECT_EQ(r.lines[2], "error " + QString::fromLatin1(IEDownloadStrings::sErrLoadFromString) +
                            IEDownloadStrings::StatusCodeText(REGDB_E_CLASSNOTREG));
  EXPECT_EQ(r.lines.back(), "state 2");
  EXPECT_EQ(r.lines.size(), 4u);
  EXPECT_FALSE(parser.Document());
  EXPECT_TRUE(parser.Html().isEmpty());
}

TEST_F(IEParserTest, AnErrorInsideTheWalkEndsTheParseAndReachesTheCaller) {
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  int seen = 0;
  parser.OnElement = [&](TObject*, TElementInfo&) {
    if (++seen == 3) throw EOleSysError("read failed", E_FAIL);
  };
  parser.SetHtml(kPage);
  parser.SetURL(String());
  EXPECT_THROW(parser.Parse(String()), EOleSysError);
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(r.lines.back(), "state 2");
  EXPECT_EQ(r.count("doc Done."), 0);
  EXPECT_EQ(parser.State(), psStopped);
  EXPECT_FALSE(parser.Busy());
  EXPECT_TRUE(parser.URL().isEmpty());
  EXPECT_TRUE(parser.Html().isEmpty());
  // The next parse runs as usual.
  parser.OnElement = nullptr;
  parser.SetHtml(kPage);
  parser.Parse(String());
  EXPECT_EQ(r.count("doc Done."), 1);
}

TEST_F(IEParserTest, DownloadOnlySkipsTheWalkButReports) {
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  parser.SetDownloadOnly(true);
  parser.SetHtml(kPage);
  parser.Parse(String());
  EXPECT_EQ(r.count("element"), 0);
  EXPECT_EQ(r.count("div"), 0);
  EXPECT_EQ(r.count("info"), 1);
  EXPECT_EQ(r.count("complete both"), 1);
  EXPECT_EQ(r.count("doc Done."), 1);
}

TEST_F(IEParserTest, FramesGiveTheirSourceAsAStringAndTheirNameAsReturned) {
  TIEParser parser(nullptr);
  std::vector<std::pair<OleVariant, OleVariant>> frames;
  int framesets = 0;
  parser.OnFrame = [&](TObject*, OleVariant& src, OleVariant& name, TElementInfo& e) {
    EXPECT_EQ(e.TagName, "FRAME");
    frames.emplace_back(src, name);
  };
  parser.OnFrameSet = [&](TObject*, const String& rows, const String&, const String&, const String&,
                          OleVariant&, OleVariant&, OleVariant&, TElementInfo&) {
    EXPECT_EQ(rows, "50%,*");
    ++framesets;
  };
  parser.SetHtml("<frameset rows=\"50%,*\"><frame src=\"a.html\" name=\"top\"><frame></frameset>");
  parser.Parse(String());
  EXPECT_EQ(framesets, 1);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].first.toString(), "a.html");
  EXPECT_EQ(frames[0].second.toString(), "top");
  EXPECT_EQ(frames[1].first.vt, VT_BSTR);
  EXPECT_TRUE(frames[1].first.toString().isEmpty());
  EXPECT_TRUE(frames[1].second.isNull());
}

// ---------------------------------------------------------------- ambient answer

TEST_F(IEParserTest, TheAmbientAnswerFollowsDownloadOptions) {
  TIEParser parser(nullptr);
  auto ask = [&](DISPID id, VARIANT* result) {
    return parser.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, result, nullptr, nullptr);
  };
  OleVariant v;
  ASSERT_EQ(ask(DISPID_AMBIENT_DLCONTROL, &v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(DWORD(v.lVal), 0x0FF0u);
  parser.SetDownloadOptions({});
  ASSERT_EQ(ask(DISPID_AMBIENT_DLCONTROL, &v), S_OK);
  EXPECT_EQ(v.lVal, 0);
  TDownloadControlOptions all;
  for (int i = 0; i <= int(WorkOffline); ++i) all.Include(TDownloadControlOption(i));
  parser.SetDownloadOptions(all);
  ASSERT_EQ(ask(DISPID_AMBIENT_DLCONTROL, &v), S_OK);
  EXPECT_EQ(DWORD(v.lVal), 0xF007FFF0u);
  EXPECT_EQ(ask(DISPID_AMBIENT_DLCONTROL, nullptr), E_POINTER);
  EXPECT_EQ(ask(-5513, &v), DISP_E_MEMBERNOTFOUND);

  // The document follows the answer: a page's own character set is ignored
  // once meta character sets are suppressed.
  const String url = FilePage("latin.html",
                              "<html><head><meta charset=\"windows-1252\"><title>Caf\xE9</title>"
                              "</head><body><p>x</p></body></html>");
  for (bool suppress : {false, true}) {
    TIEParser p(nullptr);
    Recorder r;
    r.bind(p);
    TDownloadControlOptions options = p.DownloadOptions();
    if (suppress) options.Include(SuppressedMetaCharset);
    p.SetDownloadOptions(options);
    p.Parse(url);
    EXPECT_TRUE(r.hasInfo(suppress ? "Charset: utf-8" : "Charset: windows-1252")) << suppress;
  }
}

// ---------------------------------------------------------------- pages by address

TEST_F(IEParserTest, AFilePageHasNoHeaderQueryAndTwentyTwoLines) {
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  parser.Parse(FilePage("file.html", kPage));
  EXPECT_EQ(r.count("query"), 0);
  EXPECT_EQ(r.infos.size(), 22u);
  EXPECT_EQ(std::count_if(r.infos.begin(), r.infos.end(),
                          [](const String& l) { return l.startsWith("Protocol: "); }),
            2);
  EXPECT_TRUE(r.hasInfo("Protocol: file:"));
  EXPECT_EQ(r.count("element HTML"), 1);
  EXPECT_EQ(r.lines.back(), "state 2");
}

TEST_F(IEParserTest, AServedPageIsAskedForItsHeadersFirst) {
  LoopbackServer server;
  server.get("/page", [](const testsupport::HttpRequest&, testsupport::HttpResponse& res) {
    res.contentType = "text/html; charset=utf-8";
    res.headers.push_back({"Content-Disposition", "inline"});
    res.headers.push_back({"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"});
    res.body = kPage;
  });
  server.page("/plain", kPage);
  ASSERT_TRUE(server.start());

  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  parser.Parse(server.url("/page"));
  EXPECT_EQ(server.requestCount("/page"), 2);  // the header query, then the document's own load
  EXPECT_EQ(r.count("query text/html; charset=utf-8||inline"), 1);
  const auto query =
      std::find_if(r.lines.begin(), r.lines.end(), [](const String& l) { return l.startsWith("query"); });
  EXPECT_EQ(*(query - 1), Ok(IEDownloadStrings::sAdvise));
  EXPECT_TRUE(r.hasInfo("Last Modified: 12/01/2026 10:00:00"));
  EXPECT_EQ(parser.ContentDisposition(), "inline");

  r.lines.clear();
  parser.Parse(server.url("/plain"));
  EXPECT_EQ(r.count("query text/html||"), 1);

  // A closed port: the document completes empty, a bad document.
  const String closed = server.url("/page");
  server.stop();
  r.lines.clear();
  parser.Parse(closed);
  EXPECT_EQ(r.count("error " + QString::fromLatin1(IEDownloadStrings::sBadDocument)), 1);
}

TEST_F(IEParserTest, ASilentServerEndsInTheTimeOut) {
  LoopbackServer server;
  server.slowPage("/slow", kPage, 4000);
  ASSERT_TRUE(server.start());
  TIEParser parser(nullptr);
  Recorder r;
  r.bind(parser);
  parser.LoadTimeoutMs = 300;
  parser.Parse(server.url("/slow"));
  EXPECT_EQ(r.count("element"), 0);
  EXPECT_EQ(r.lines[r.lines.size() - 2], "error " +
                                             QString::fromLatin1(IEDownloadStrings::sErrLoadFromMoniker) +
                                             IEDownloadStrings::StatusCodeText(INET_E_CONNECTION_TIMEOUT));
  EXPECT_EQ(r.lines.back(), "state 2");
  server.release();
}

// ---------------------------------------------------------------- lifetime

TEST_F(IEParserTest, ParseInsideTheWaitIsRefusedAndDestructionInsideItEndsIt) {
  LoopbackServer server;
  server.slowPage("/slow", kPage, 4000);
  ASSERT_TRUE(server.start());
  {
    TIEParser parser(nullptr);
    Recorder r;
    r.bind(parser);
    int inner = 0;
    QTimer::singleShot(100, [&] {
      parser.SetHtml(kPage);
      parser.Parse(String());  // refused: the parser is busy
      ++inner;
      server.release();
    });
    parser.Parse(server.url("/slow"));
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(r.count("state 0"), 1);
    EXPECT_EQ(r.count("state 2"), 1);
    EXPECT_GT(r.count("element"), 4);
  }
  {
    // The first page was released; this one is held until the server goes.
    LoopbackServer held;
    held.slowPage("/slow", kPage, 4000);
    ASSERT_TRUE(held.start());
    QPointer<TIEParser> parser = new TIEParser(nullptr);
    Recorder r;
    r.bind(*parser);
    QTimer::singleShot(100, [&] { delete parser.data(); });
    parser->Parse(held.url("/slow"));
    EXPECT_TRUE(parser.isNull());  // returned after it went, raising nothing more
    EXPECT_EQ(r.count("state 2"), 0);
    EXPECT_EQ(r.count("element"), 0);
  }
}

TEST_F(IEParserTest, AKeptDocumentOutlivesTheParser) {
  ComPtr<IHTMLDocument2> kept;
  {
    TIEParser parser(nullptr);
    parser.OnParseComplete = [&](TObject*, IHTMLDocument2* d, IHTMLElementCollection*) { kept = d; };
    parser.SetHtml(kPage);
    parser.Parse(String());
  }
  ASSERT_TRUE(kept);
  // The document lets its site go with the parse, and still answers.
  ComPtr<IOleClientSite> site;
  ASSERT_EQ(kept.As<IOleObject>()->GetClientSite(&site), S_OK);
  EXPECT_FALSE(site);
  BSTR title = nullptr;
  ASSERT_EQ(kept->get_title(&title), S_OK);
  EXPECT_EQ(BSTRToString(title), "Parsed");
  SysFreeString(title);
}

// ---------------------------------------------------------------- proxy

TEST_F(IEParserTest, TheProxyIsAppliedWhenLoadedAndResetWhenDestroyed) {
  {
    TIEParser parser(nullptr);
    parser.ProxySettings()->SetAutoLoadProxy(true);
    parser.ProxySettings()->SetServer("proxyhost");
    parser.ProxySettings()->SetPort(8080);
    parser.Loaded();
    const InternetProxySettings set = CurrentProxy();
    EXPECT_EQ(set.proxyServer, "proxyhost:8080");
    EXPECT_EQ(set.proxyBypass, "<local>");
    EXPECT_EQ(set.flags, PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY);
  }
  EXPECT_TRUE(CurrentProxy().proxyServer.isEmpty());

  // An empty server applies nothing when loaded.
  InternetProxySettings before;
  before.proxyServer = "kept:1";
  before.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  SetCurrentProxy(before);
  {
    TIEParser parser(nullptr);
    parser.ProxySettings()->SetAutoLoadProxy(true);
    parser.Loaded();
    EXPECT_EQ(CurrentProxy().proxyServer, "kept:1");
  }
  EXPECT_TRUE(CurrentProxy().proxyServer.isEmpty());
  SetCurrentProxy(InternetProxySettings());
}

TEST_F(IEParserTest, AboutNamesThisProjectAndStays) {
  TIEParser parser(nullptr);
  EXPECT_TRUE(parser.About().startsWith("TIEParser from: https://"));
  EXPECT_TRUE(parser.About().contains("noctivane"));
  parser.SetAbout("other");
  EXPECT_TRUE(parser.About().startsWith("TIEParser from: "));
  EXPECT_EQ(parser.ProxySettings()->Port(), 80);
  EXPECT_EQ(parser.State(), psReady);
}

}  // namespace
