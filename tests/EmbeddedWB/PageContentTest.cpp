// The shown page's content and pictures: source and text, the character
// set, the thumbnail, the bitmap and JPEG snapshots, the find dialog and the
// print preview, read back through independent readers (QImage).
#include "EmbeddedWB/Source/EwbTools.h"

#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/StdCtrls.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QTimer>
#include <QWebEnginePage>

#include "platform/shdocvw/WebBrowser.h"

using namespace ewbtest;

namespace {

// A page whose top-left 100 x 100 pixels are blue on white.
const QByteArray kBlockPage =
    "<html><head><style>body{margin:0;background:#fff}div{width:100px;height:100px;background:#00f}</style>"
    "</head><body><div></div></body></html>";

bool near(const QColor& a, const QColor& b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

QWebEnginePage* pageOf(TEmbeddedWB* wb) {
  return WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->Page();
}

class PageContentTest : public BrowserFixture {
 protected:
  // Shows a page and waits until the engine has drawn it: the view shows
  // `color` at `point`.
  bool showDrawn(const QString& url, QPoint point, const QColor& color) {
    if (!show(url)) return false;
    return testsupport::waitFor([&] {
      QImage image(wb->Width(), wb->Height(), QImage::Format_RGB32);
      {
        QPainter painter(&image);
        const RECTL bounds{0, 0, image.width(), image.height()};
        ComPtr<IViewObject> view = wb->DefaultInterface().As<IViewObject>();
        if (!view) return false;
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &painter, &bounds, nullptr, nullptr, 0);
      }
      return near(image.pixelColor(point), color, 8);
    });
  }
};

TEST_F(PageContentTest, SourceAndTextOfAKnownPage) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("known.html",
                                                "<html><head><title>Known</title></head>"
                                                "<body><p>Hello <b>world</b></p></body></html>"))
                       .toString()));
  String source, text;
  wb->GetDocumentSource(source);
  EXPECT_EQ(source, "<head><title>Known</title></head><body><p>Hello <b>world</b></p></body>\r\n");
  wb->GetDocumentText(text);
  EXPECT_EQ(text, "Hello world\r\n");
}

TEST_F(PageContentTest, PictureDocumentIsNoHtmlDocument) {
  QImage png(20, 10, QImage::Format_RGB32);
  png.fill(Qt::green);
  const QString file = testsupport::profileDir() + "/ewb/picture.png";
  ASSERT_TRUE(png.save(file));
  ASSERT_TRUE(show(QUrl::fromLocalFile(file).toString()));

  EXPECT_FALSE(EwbTools::HasHTMLDocument(wb->GetDocument().Get()));
  ComPtr<IDispatch> document;
  ASSERT_TRUE(SUCCEEDED(wb->DefaultInterface()->get_Document(&document)));
  EXPECT_FALSE(EwbTools::HasHTMLDocument(document.Get()));
  String source = "stale";
  wb->GetDocumentSource(source);
  EXPECT_EQ(source, "");
  const QString bmp = testsupport::profileDir() + "/ewb/picture.bmp";
  EXPECT_FALSE(EwbTools::SnapshotToBitmap(document.Get(), wb->Handle(), 100, 100, bmp));
  EXPECT_FALSE(QFile::exists(bmp));
  OleVariant out;
  EXPECT_EQ(EwbTools::ExecDocumentCommand(document.Get(), true, 1, OleVariant(), out, 0), S_FALSE);
  TScriptedDialogService dialogs;
  EXPECT_FALSE(wb->ShowFindDialog());
  EXPECT_NO_THROW(wb->PrintPreview());  // does nothing
  EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(PageContentTest, ThumbnailIsDrawnAtTheImagesSize) {
  ASSERT_TRUE(showDrawn(
      QUrl::fromLocalFile(pagePath("red.html", "<html><body style='background:#f00'></body></html>"))
          .toString(),
      QPoint(200, 150), Qt::red));
  auto* image = new TImage(form);
  image->SetParent(form);
  image->SetBounds(0, 0, 200, 100);
  wb->SnapShotToImage(image);
  const QImage drawn = image->Picture()->Bitmap()->ToQImage();
  EXPECT_EQ(drawn.size(), QSize(200, 100));
  EXPECT_TRUE(near(drawn.pixelColor(100, 50), Qt::red)) << drawn.pixelColor(100, 50).name().toStdString();
  EXPECT_TRUE(near(drawn.pixelColor(199, 99), Qt::red));
  EXPECT_NO_THROW(wb->SnapShotToImage(nullptr));
}

TEST_F(PageContentTest, BitmapAndJpegSnapshotsShowThePage) {
  ASSERT_TRUE(showDrawn(QUrl::fromLocalFile(pagePath("block.html", kBlockPage)).toString(), QPoint(50, 50),
                        Qt::blue));
  const QString bmp = testsupport::profileDir() + "/ewb/site.bmp";
  ASSERT_TRUE(wb->SaveSnapShotToBitmap(bmp));
  EXPECT_TRUE(testsupport::readFile(bmp).startsWith("BM"));
  const QImage bitmap(bmp);
  ASSERT_FALSE(bitmap.isNull());
  EXPECT_EQ(bitmap.size(), QSize(wb->Width(), wb->Height()));
  EXPECT_TRUE(near(bitmap.pixelColor(50, 50), Qt::blue)) << bitmap.pixelColor(50, 50).name().toStdString();
  EXPECT_TRUE(near(bitmap.pixelColor(150, 150), Qt::white));

  // Source and target of the same size.
  const QString jpg = testsupport::profileDir() + "/ewb/Site.jpg";
  ASSERT_TRUE(wb->SaveSnapShotToJpeg(jpg, 300, 400, 300, 400));
  const QImage same(jpg, "JPG");
  ASSERT_FALSE(same.isNull());
  EXPECT_EQ(same.size(), QSize(400, 300));
  EXPECT_TRUE(near(same.pixelColor(50, 50), Qt::blue));
  EXPECT_TRUE(near(same.pixelColor(150, 150), Qt::white));

  // A smaller target holds the whole view scaled down: the block is half as wide.
  ASSERT_TRUE(wb->SaveSnapShotToJpeg(jpg, 300, 400, 150, 200));
  const QImage small(jpg, "JPG");
  EXPECT_EQ(small.size(), QSize(200, 150));
  EXPECT_TRUE(near(small.pixelColor(25, 25), Qt::blue));
  EXPECT_TRUE(near(small.pixelColor(75, 75), Qt::white));
}

TEST_F(PageContentTest, SnapshotOfAViewWithNoAreaWritesNothing) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("block.html", kBlockPage)).toString()));
  const QString bmp = testsupport::profileDir() + "/ewb/empty.bmp";
  QFile::remove(bmp);
  ComPtr<IDispatch> document;
  ASSERT_TRUE(SUCCEEDED(wb->DefaultInterface()->get_Document(&document)));
  EXPECT_FALSE(EwbTools::SnapshotToBitmap(document.Get(), wb->Handle(), 0, 100, bmp));
  EXPECT_FALSE(EwbTools::SnapshotToBitmap(document.Get(), wb->Handle(), 100, 0, bmp));
  EXPECT_FALSE(QFile::exists(bmp));
  EXPECT_FALSE(EwbTools::SnapshotToJpeg(document.Get(), wb->DefaultInterface().Get(), bmp, 0, 0, 0, 0));
  EXPECT_FALSE(QFile::exists(bmp));
}

TEST_F(PageContentTest, CharsetReadsAnUndeclaredPageAgainAndLeavesADeclaredOne) {
  // "Privet" in Cyrillic, in windows-1251 bytes, with no declaration.
  const QByteArray cyrillic = "<html><body>\xcf\xf0\xe8\xe2\xe5\xf2</body></html>";
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("cp1251.html", cyrillic)).toString()));
  EXPECT_TRUE(wb->SetCharset("windows-1251"));
  ASSERT_TRUE(complete(wb));
  String text;
  EXPECT_TRUE(testsupport::waitFor([&] {
    wb->GetDocumentText(text);
    return text == QString::fromUtf8("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\r\n");
  }));
  EXPECT_EQ(text, QString::fromUtf8("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\r\n"));

  // A page that declares UTF-8 keeps it.
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("utf8.html",
                                                "<html><head><meta charset='utf-8'></head>"
                                                "<body>\xc3\xa9t\xc3\xa9</body></html>"))
                       .toString()));
  EXPECT_TRUE(wb->SetCharset("windows-1251"));
  ASSERT_TRUE(complete(wb));
  wb->GetDocumentText(text);
  EXPECT_EQ(text, QString::fromUtf8("\xc3\xa9t\xc3\xa9\r\n"));
}

TEST_F(PageContentTest, FindDialogSelectsTheTextInThePage) {
  ASSERT_TRUE(
      show(QUrl::fromLocalFile(pagePath("find.html", "<html><body><p>hay hay needle hay</p></body></html>"))
               .toString()));
  TScriptedDialogService dialogs;
  ASSERT_TRUE(wb->ShowFindDialog());
  const auto finds = dialogs.CallsOf(TScriptedDialogService::dkFind);
  ASSERT_EQ(finds.size(), 1u);
  TFindDialog* find = finds[0].Find;
  ASSERT_TRUE(find);
  find->SetFindText("needle");
  find->Find();
  QWebEnginePage* page = pageOf(wb);
  EXPECT_TRUE(testsupport::waitFor([page] { return page->selectedText() == "needle"; }));
  // A second request shows the same dialog again.
  ASSERT_TRUE(wb->ShowFindDialog());
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkFind).back().Find, find);
}

TEST_F(PageContentTest, CtrlFAndCtrlPInThePageOpenTheBrowsersDialogsUnlessMasked) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("keys.html", "<html><body>keys</body></html>")).toString()));
  QWidget* surface = WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->View()->focusProxy();
  ASSERT_TRUE(surface);
  TScriptedDialogService dialogs;
  std::vector<bool> modeless;
  wb->OnEnableModeless = [&](TObject*, bool enable) { modeless.push_back(enable); };
  QTest::keyClick(surface, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkFind).size(), 1u);
  dialogs.QueueCancel();
  QTest::keyClick(surface, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkPrint).size(), 1u);
  EXPECT_EQ(modeless, (std::vector<bool>{false, true}));  // around the modal print dialog

  // Masked by the host, the keys are the page's.
  wb->SetDisableCtrlShortcuts("FP");
  QTest::keyClick(surface, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClick(surface, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkFind).size(), 1u);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkPrint).size(), 1u);
}

TEST_F(PageContentTest, ASizedNewWindowAsksItsHostForTheWindowSize) {
  ASSERT_TRUE(
      show(QUrl::fromLocalFile(pagePath("opener.html", "<html><body>opener</body></html>")).toString()));
  auto* second = new TEmbeddedWB(form);
  second->SetBounds(0, 0, 100, 100);
  second->SetParent(form);
  wb->OnNewWindow2 = [&](TObject*, ComPtr<IDispatch>& ppDisp, bool&) { ppDisp = second->Application(); };
  std::vector<std::pair<int, int>> asked;
  std::vector<int> widths;
  second->OnClientToHostWindow = [&](TObject*, int& cx, int& cy) {
    asked.emplace_back(cx, cy);
    cx += 10;  // the host's frame
  };
  second->OnWindowSetWidth = [&](TObject*, int width) { widths.push_back(width); };
  pageOf(wb)->runJavaScript("window.open('about:blank', '_blank', 'width=300,height=200');");
  ASSERT_TRUE(testsupport::waitFor([&] { return !asked.empty() && !widths.empty(); }, 10000));
  EXPECT_EQ(asked.front(), std::make_pair(300, 200));
  EXPECT_EQ(widths.front(), 310);  // the window takes the host's size
}

TEST_F(PageContentTest, FocusInThePageShowsTheHostsUIAndLeavingItHidesIt) {
  ASSERT_TRUE(
      show(QUrl::fromLocalFile(pagePath("focus.html", "<html><body>focus</body></html>")).toString()));
  QWidget* surface = WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->View()->focusProxy();
  auto* other = new TEdit(form);
  other->SetParent(form);
  other->SetBounds(0, 320, 100, 20);
  std::vector<std::string> calls;
  wb->OnShowUI = [&](TObject*, DWORD, IOleInPlaceActiveObject*, IOleCommandTarget* target, IOleInPlaceFrame*,
                     IOleInPlaceUIWindow*,
                     HRESULT&) { calls.push_back(target ? "show" : "show without target"); };
  wb->OnHideUI = [&](TObject*, HRESULT&) { calls.push_back("hide"); };
  form->Widget()->activateWindow();
  surface->setFocus();
  EXPECT_TRUE(testsupport::waitFor([&] { return !calls.empty(); }));
  other->SetFocus();
  EXPECT_TRUE(testsupport::waitFor([&] { return calls.size() >= 2; }));
  EXPECT_EQ(calls, (std::vector<std::string>{"show", "hide"}));
}

TEST_F(PageContentTest, PrintPreviewOpensModallyAndTellsTheHost) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("block.html", kBlockPage)).toString()));
  std::vector<bool> modeless;
  wb->OnEnableModeless = [&](TObject*, bool enable) { modeless.push_back(enable); };
  bool seen = false;
  bool dialogWindow = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* preview = qobject_cast<QPrintPreviewDialog*>(w);
      if (!preview || !preview->isVisible()) continue;
      seen = true;
      dialogWindow = !modeless.empty() && !modeless.front();
      preview->reject();
    }
  });
  poll.start(50);
  wb->PrintPreview();
  poll.stop();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(dialogWindow);  // the host heard of it before it showed
  EXPECT_EQ(modeless, (std::vector<bool>{false, true}));
}

}  // namespace
