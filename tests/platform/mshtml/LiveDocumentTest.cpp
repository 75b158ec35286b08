#include "platform/mshtml/LiveDocument.h"

#include "platform/com/Dispatch.h"
#include "platform/com/Streams.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace {

class LiveDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { page = new QWebEnginePage(); }
  void TearDown() override { delete page; }

  // Shows `html` from a file of the profile folder; answers its address.
  QUrl show(const QByteArray& html) {
    const QString file =
        testsupport::profileDir() + "/mshtml/" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".html";
    EXPECT_TRUE(testsupport::writeFile(file, html));
    bool finished = false;
    auto c = QObject::connect(page, &QWebEnginePage::loadFinished, [&] { finished = true; });
    page->load(QUrl::fromLocalFile(file));
    EXPECT_TRUE(testsupport::waitFor([&] { return finished; }, 10000));
    QObject::disconnect(c);
    return QUrl::fromLocalFile(file);
  }

  String title(IHTMLDocument2* doc) {
    BSTR b = nullptr;
    EXPECT_EQ(doc->get_title(&b), S_OK);
    const String t = BSTRToString(b);
    SysFreeString(b);
    return t;
  }

  QWebEnginePage* page = nullptr;
};

TEST_F(LiveDocumentTest, ScriptsRunApartFromThePage) {
  show("<html><head><title>Own</title><script>var secret = 42;</script></head><body></body></html>");
  QVariant v;
  ASSERT_TRUE(RunPageScript(page, "typeof secret", &v));
  EXPECT_EQ(v.toString(), "undefined");  // the page's globals are out of reach
  ASSERT_TRUE(RunPageScript(page, "document.title", &v));
  EXPECT_EQ(v.toString(), "Own");  // but its document is shared

  // With the page's scripts switched off the bridge still answers.
  page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  show("<html><head><title>Still</title><script>document.title = 'changed';</script></head></html>");
  ASSERT_TRUE(RunPageScript(page, "document.title", &v));
  EXPECT_EQ(v.toString(), "Still");
}

// A browser's document-complete handlers ask the page from inside the
// engine's notice of the finished load.
TEST_F(LiveDocumentTest, ScriptsAnswerFromInsideTheNoticeOfAFinishedLoad) {
  QStringList answers;
  const auto c = QObject::connect(page, &QWebEnginePage::loadFinished, [&] {
    QVariant v;
    answers << (RunPageScript(page, "document.title", &v) ? v.toString() : QStringLiteral("(no answer)"));
  });
  show("<html><head><title>First</title></head><body></body></html>");
  show("<html><head><title>Second</title></head><body></body></html>");
  QObject::disconnect(c);
  EXPECT_EQ(answers, (QStringList{"First", "Second"}));
}

TEST_F(LiveDocumentTest, StreamsSaveAndLoadTheMarkup) {
  const QUrl url = show(
      "<!DOCTYPE "
      "html><html><head><title>Saved</title></head><body><p>r\xC3\xA9sum\xC3\xA9</p></body></html>");
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page);
  auto persist = doc.As<IPersistStreamInit>();
  ASSERT_TRUE(persist);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_HTMLDocument);

  ComPtr<IStream> out;
  ASSERT_EQ(CreateMemoryStream(&out), S_OK);
  ASSERT_EQ(persist->Save(out.Get(), TRUE), S_OK);
  QByteArray saved;
  ASSERT_EQ(GetStreamBytes(out.Get(), saved), S_OK);
  EXPECT_TRUE(saved.startsWith("<!DOCTYPE html>\n<html>")) << saved.constData();
  EXPECT_TRUE(saved.contains("<title>Saved</title>"));
  EXPECT_TRUE(saved.contains("<p>r\xC3\xA9sum\xC3\xA9</p>"));  // UTF-8

  // Loading replaces the document; the address stays. The meta charset of
  // the loaded bytes decides how they are read.
  ComPtr<IStream> in;
  ASSERT_EQ(CreateMemoryStream(&in,
                               "<html><head><meta charset=\"windows-1252\"><title>Loaded</title>"
                               "</head><body><b>caf\xE9</b></body></html>"),
            S_OK);
  ASSERT_EQ(persist->Load(in.Get()), S_OK);
  EXPECT_EQ(title(doc.Get()), "Loaded");
  EXPECT_EQ(page->url(), url);
  QString html;
  ASSERT_TRUE(PageHtml(page, html));
  EXPECT_TRUE(html.contains(QString::fromUtf8("<b>caf\xC3\xA9</b>"))) << html.toStdString();

  // Saving what was loaded gives it back.
  ComPtr<IStream> again;
  ASSERT_EQ(CreateMemoryStream(&again), S_OK);
  ASSERT_EQ(persist->Save(again.Get(), TRUE), S_OK);
  QByteArray resaved;
  GetStreamBytes(again.Get(), resaved);
  EXPECT_TRUE(resaved.contains("<b>caf\xC3\xA9</b>"));
  EXPECT_FALSE(resaved.contains("<!DOCTYPE"));  // the written document has none
}

TEST_F(LiveDocumentTest, FilesAndProperties) {
  const QUrl url = show("<html><head><title>T1</title></head><body>x</body></html>");
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page);
  auto file = doc.As<IPersistFile>();
  ASSERT_TRUE(file);
  const String target = testsupport::profileDir() + "/mshtml/saved-copy.html";
  EXPECT_EQ(file->Save(reinterpret_cast<LPCOLESTR>(target.utf16()), FALSE), S_OK);
  EXPECT_TRUE(testsupport::readFile(target).contains("<title>T1</title>"));
  EXPECT_EQ(file->Save(nullptr, FALSE), E_INVALIDARG);
  LPOLESTR current = nullptr;
  ASSERT_EQ(file->GetCurFile(&current), S_OK);
  EXPECT_EQ(OleStrToString(current), url.toLocalFile());
  CoTaskMemFree(current);

  // Members by name, as script callers reach them.
  OleVariant v;
  DISPID id = 0;
  ASSERT_EQ(DispatchGetIDOfName(doc.Get(), "TITLE", id), S_OK);
  ASSERT_EQ(DispatchGetProperty(doc.Get(), id, v), S_OK);
  EXPECT_EQ(v.toString(), "T1");
  ASSERT_EQ(DispatchPutProperty(doc.Get(), id, OleVariant("T2")), S_OK);
  EXPECT_EQ(title(doc.Get()), "T2");
  ASSERT_EQ(DispatchGetProperty(doc.Get(), DISPID_IHTMLDOCUMENT2_READYSTATE, v), S_OK);
  EXPECT_EQ(v.toString(), "complete");
  EXPECT_EQ(DispatchGetIDOfName(doc.Get(), "noSuchMember", id), DISP_E_UNKNOWNNAME);

  // Design mode and editing commands act on the page.
  BSTR mode = StringToBSTR("On");
  EXPECT_EQ(doc->put_designMode(mode), S_OK);
  SysFreeString(mode);
  ASSERT_EQ(doc->get_designMode(&mode), S_OK);
  EXPECT_EQ(BSTRToString(mode), "On");
  SysFreeString(mode);
  VARIANT_BOOL done = VARIANT_FALSE;
  BSTR cmd = StringToBSTR("selectAll");
  ASSERT_EQ(doc->execCommand(cmd, VARIANT_FALSE, OleVariant(), &done), S_OK);
  SysFreeString(cmd);
  cmd = StringToBSTR("bold");
  ASSERT_EQ(doc->execCommand(cmd, VARIANT_FALSE, OleVariant(), &done), S_OK);
  SysFreeString(cmd);
  EXPECT_EQ(done, VARIANT_TRUE);
  QString html;
  ASSERT_TRUE(PageHtml(page, html));
  EXPECT_TRUE(html.contains("<b>x</b>")) << html.toStdString();
  BSTR bad = StringToBSTR("sideways");
  EXPECT_EQ(doc->put_designMode(bad), E_INVALIDARG);
  SysFreeString(bad);
}

TEST_F(LiveDocumentTest, ZoomCommands) {
  show("<html><body>zoom</body></html>");
  auto target = CreateLiveDocument(page).As<IOleCommandTarget>();
  ASSERT_TRUE(target);
  OleVariant out;
  ASSERT_EQ(target->Exec(nullptr, OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &out), S_OK);
  EXPECT_EQ(out.toInt() & 0xFFFF, 0);
  EXPECT_EQ(out.toInt() >> 16, 4);

  OleVariant largest(4);
  ASSERT_EQ(target->Exec(nullptr, OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &largest, &out), S_OK);
  EXPECT_EQ(out.toInt(), 4);
  EXPECT_GT(page->zoomFactor(), 1.0);
  OleVariant tooLarge(5);
  EXPECT_EQ(target->Exec(nullptr, OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &tooLarge, nullptr),
            E_INVALIDARG);
  EXPECT_EQ(PageTextSize(page), 4);
  // Without an argument the current size is answered.
  ASSERT_EQ(target->Exec(nullptr, OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &out), S_OK);
  EXPECT_EQ(out.toInt(), 4);

  OleVariant medium(2), doubled(200);
  target->Exec(nullptr, OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &medium, nullptr);
  ASSERT_EQ(target->Exec(nullptr, OLECMDID_OPTICAL_ZOOM, 0, &doubled, nullptr), S_OK);
  EXPECT_DOUBLE_EQ(page->zoomFactor(), 2.0);

  EXPECT_EQ(target->Exec(&CGID_MSHTML, 1, 0, nullptr, nullptr), OLECMDERR_E_UNKNOWNGROUP);
  EXPECT_EQ(target->Exec(nullptr, OLECMDID_FIND, 0, nullptr, nullptr), OLECMDERR_E_CANCELED);
  EXPECT_EQ(target->Exec(nullptr, OLECMDID_SPELL, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  OLECMD cmds[2] = {{OLECMDID_ZOOM, 0}, {OLECMDID_PRINT, 0}};
  ASSERT_EQ(target->QueryStatus(nullptr, 2, cmds, nullptr), S_OK);
  EXPECT_EQ(cmds[0].cmdf, DWORD(OLECMDF_SUPPORTED | OLECMDF_ENABLED));
  EXPECT_EQ(cmds[1].cmdf, 0u);
}

TEST_F(LiveDocumentTest, WaitsEndWhenThePageGoesOrTimeRunsOut) {
  show("<html><body>busy</body></html>");
  const QString slow = "(function () { var end = Date.now() + %1; while (Date.now() < end) {} return 7; })()";

  // The page is deleted while a call waits for it.
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page);
  QTimer::singleShot(0, [this] {
    delete page;
    page = nullptr;
  });
  QVariant v;
  EXPECT_FALSE(RunPageScript(page, slow.arg(400), &v));
  EXPECT_EQ(page, nullptr);
  BSTR b = nullptr;
  EXPECT_EQ(doc->get_title(&b), E_UNEXPECTED);
  EXPECT_FALSE(RunPageScript(nullptr, "1"));

  // A late answer after the bound is dropped quietly.
  page = new QWebEnginePage();
  show("<html><body>slow</body></html>");
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(RunPageScript(page, slow.arg(1500), &v, 200));
  EXPECT_LT(clock.elapsed(), 1400);
  testsupport::waitFor([] { return false; }, 1600);  // the answer arrives meanwhile
  ASSERT_TRUE(RunPageScript(page, "6 * 7", &v));
  EXPECT_EQ(v.toInt(), 42);
}

// ---------------------------------------------------------------- location

// A text property of an automation object, asked by name.
String textByName(IDispatch* object, const char* name) {
  DISPID id = DISPID_UNKNOWN;
  OleVariant value;
  if (!object || FAILED(DispatchGetIDOfName(object, name, id)) ||
      FAILED(DispatchGetProperty(object, id, value)))
    return "(none)";
  return VarToStr(value);
}

String locationText(IHTMLLocation* location, HRESULT (IHTMLLocation::*getter)(BSTR*)) {
  BSTR b = nullptr;
  if ((location->*getter)(&b) != S_OK) return "(failed)";
  const String text = BSTRToString(b);
  SysFreeString(b);
  return text;
}

class LiveLocationTest : public LiveDocumentTest {
 protected:
  bool load(const QUrl& url) {
    bool finished = false;
    auto c = QObject::connect(page, &QWebEnginePage::loadFinished, [&] { finished = true; });
    page->load(url);
    const bool arrived = testsupport::waitFor([&] { return finished; }, 10000);
    QObject::disconnect(c);
    return arrived;
  }
};

TEST_F(LiveLocationTest, PartsOfTheShownAddress) {
  testsupport::LoopbackServer server;
  server.page(R"(/dir/(\w+)\.html)", "<html><head><title>Here</title></head><body>here</body></html>");
  ASSERT_TRUE(server.start());
  const QString url = server.url("/dir/page.html?x=1&y=two#part");
  ASSERT_TRUE(load(QUrl(url)));
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page);
  ComPtr<IHTMLLocation> location;
  ASSERT_EQ(doc->get_location(&location), S_OK);
  ASSERT_TRUE(location);
  const QString host = QStringLiteral("127.0.0.1:%1").arg(server.port());
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_href), url);
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_protocol), "http:");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_host), host);
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_hostname), "127.0.0.1");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_port), QString::number(server.port()));
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_pathname), "/dir/page.html");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_search), "?x=1&y=two");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_hash), "#part");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::toString), url);

  // By name, in any letter case, as late-bound callers ask; the document's
  // location property answers an object.
  EXPECT_EQ(textByName(doc.Get(), "Location"), url);  // its default value is the address
  DISPID id = DISPID_UNKNOWN;
  OleVariant value;
  ASSERT_EQ(DispatchGetIDOfName(doc.Get(), "LOCATION", id), S_OK);
  ASSERT_EQ(DispatchGetProperty(doc.Get(), id, value), S_OK);
  ComPtr<IDispatch> byName = value.toDispatch();
  EXPECT_EQ(textByName(byName.Get(), "Protocol"), "http:");
  EXPECT_EQ(textByName(byName.Get(), "pathName"), "/dir/page.html");
  EXPECT_EQ(textByName(byName.Get(), "nothing"), "(none)");

  // The location follows the page: a kept object answers the next address.
  ASSERT_TRUE(load(QUrl(server.url("/dir/next.html"))));
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_pathname), "/dir/next.html");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_search), "");
  EXPECT_EQ(locationText(location.Get(), &IHTMLLocation::get_hash), "");

  // Once the page is gone it cannot answer.
  delete page;
  page = nullptr;
  BSTR b = nullptr;
  EXPECT_EQ(location->get_href(&b), E_UNEXPECTED);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(doc->get_location(&location), E_UNEXPECTED);
}

TEST_F(LiveLocationTest, ASecurePageAndAnErrorPageInItsPlace) {
  testsupport::LoopbackServer server(testsupport::LoopbackServer::Https);
  server.page("/secure.html", "<html><head><title>Secure</title></head><body>inside</body></html>");
  ASSERT_TRUE(server.start());
  bool accept = false;
  QObject::connect(page, &QWebEnginePage::certificateError, [&](QWebEngineCertificateError error) {
    accept ? error.acceptCertificate() : error.rejectCertificate();
  });
  ComPtr<IHTMLDocument2> doc = CreateLiveDocument(page);

  // Refused: the error page shown in its place has an address of its own.
  ASSERT_TRUE(load(QUrl(server.url("/secure.html"))));
  ComPtr<IDispatch> location;
  {
    DISPID id = DISPID_UNKNOWN;
    OleVariant value;
    ASSERT_EQ(DispatchGetIDOfName(doc.Get(), "location", id), S_OK);
    ASSERT_EQ(DispatchGetProperty(doc.Get(), id, value), S_OK);
    location = value.toDispatch();
  }
  EXPECT_NE(textByName(location.Get(), "protocol"), "https:");
  EXPECT_NE(textByName(location.Get(), "protocol"), "(none)");

  accept = true;
  ASSERT_TRUE(load(QUrl(server.url("/secure.html?again"))));
  EXPECT_EQ(textByName(location.Get(), "protocol"), "https:");
  EXPECT_EQ(textByName(location.Get(), "search"), "?again");
}

}  // namespace
