// The address box's icons, favicon and themed face: the icon of each kind of
// text, the colours and pixels of each theme, the entries' icons, and
// favicons from a loopback server.
#include "EmbeddedWB/Source/IEAddress.h"

#include "platform/classlib/Forms.h"
#include "platform/shell/ShlObj.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QTest>

using namespace IEAddress;

namespace {

class IconProbe : public TIEAddress {
 public:
  using TCustomIEAddress::ApplyThemeColors;
  using TCustomIEAddress::DoShowFavicon;
  using TCustomIEAddress::DownloadFavicon;
  using TCustomIEAddress::IconOfText;
  using TCustomIEAddress::PaintItem;
  using TIEAddress::TIEAddress;
  QImage face() { return Widget()->grab().toImage(); }
};

// An ICO file of one 16 x 16 picture in one colour.
QByteArray iconBytes(const QColor& color) {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "ICO");
  return bytes;
}

int fileTypeIcon(const QString& name, DWORD attributes) {
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(name.utf16()), attributes, &info, sizeof(info),
                 SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
  return info.iIcon;
}

int specialFolderIcon(int csidl) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl))) return -1;
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info), SHGFI_PIDL | SHGFI_SYSICONINDEX);
  ILFree(pidl);
  return info.iIcon;
}

QRgb rgbOf(TColor color) { return TColorToQColor(ColorToRGB(color)).rgb() | 0xFF000000u; }

class AddressIcons : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeShell();
    IEAddress::initialize();
    form = NewForm<TForm>(nullptr);
    form->SetBounds(20, 20, 500, 100);
    box = new IconProbe(form);
    box->SetParent(form);
    box->SetBounds(0, 10, 300, 22);
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }
  void TearDown() override {
    delete form;
    IEAddress::finalize();
    FinalizeForms();
  }

  TForm* form = nullptr;
  IconProbe* box = nullptr;
};

TEST_F(AddressIcons, KeywordsFilesFoldersExtensionsAndWebAddresses) {
  const int web = fileTypeIcon("*.htm", FILE_ATTRIBUTE_NORMAL);
  const int computer = specialFolderIcon(CSIDL_DRIVES);
  ASSERT_GE(computer, 0);
  EXPECT_EQ(box->IconOfText("my computer"), computer);
  EXPECT_EQ(box->IconOfText("  My Computer  "), computer);
  EXPECT_EQ(box->IconOfText(" favorites "), specialFolderIcon(CSIDL_FAVORITES));
  ASSERT_GE(specialFolderIcon(CSIDL_BITBUCKET), 0);
  EXPECT_EQ(box->IconOfText("  Recycle Bin "), specialFolderIcon(CSIDL_BITBUCKET));
  EXPECT_NE(specialFolderIcon(CSIDL_BITBUCKET), web);
  // Without the blank it is no keyword: a web address.
  EXPECT_EQ(box->IconOfText("mycomputer"), web);

  const QString file = testsupport::profileDir() + "/icons/notes.txt";
  ASSERT_TRUE(testsupport::writeFile(file, "x"));
  EXPECT_EQ(box->IconOfText(file), fileTypeIcon(file, FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(box->IconOfText(testsupport::profileDir() + "/icons"),
            fileTypeIcon("x", FILE_ATTRIBUTE_DIRECTORY));
  // A listed extension wins over the web, even in a web address.
  EXPECT_EQ(box->IconOfText("http://example.test/readme.txt"), fileTypeIcon(".txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(box->IconOfText("http://example.test/"), web);

  // The web icon is told to the handler with its handle.
  QString told;
  box->OnGetIcon = [&](TObject*, const String& ext, HICON handle) {
    told = ext;
    EXPECT_NE(handle, nullptr);
  };
  box->IconOfText("http://example.test/");
  EXPECT_EQ(told, "htm");
}

TEST_F(AddressIcons, TheProgramsIconEntersTheListOnce) {
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  Application->Icon()->FromQImage(red);
  box->SetUseAppIcon(true);
  const int count = box->Images()->Count();
  const int first = box->IconOfText("http://example.test/");
  EXPECT_EQ(box->Images()->Count(), count + 1);
  EXPECT_EQ(box->IconOfText("http://other.test/"), first);
  EXPECT_EQ(box->Images()->Count(), count + 1);
  // A cancelling handler keeps the web icon.
  box->OnGetAppIcon = [](TObject*, bool& cancel, TIcon*) { cancel = true; };
  EXPECT_EQ(box->IconOfText("http://example.test/"), fileTypeIcon("*.htm", FILE_ATTRIBUTE_NORMAL));
}

TEST_F(AddressIcons, EachThemesColoursAndFacePixels) {
  struct Row {
    TThemes theme;
    TColor border, arrow, button, pressed;
  };
  const Row rows[] = {
      {tmNone, clBlack, clBlack, clBtnFace, clBtnShadow},
      {tmXP, clInactiveCaptionText, clNavy, clSkyBlue, clInactiveCaptionText},
      {tmSilver, clGray, cl3DDkShadow, clSilver, clActiveBorder},
      {tmSoil, clMaroon, clMaroon, clInfoBk, cl3DLight},
  };
  box->SetColor(clWhite);
  const int w = box->Width();
  const int left = w - GetSystemMetrics(SM_CXHTHUMB) - 3;
  for (const Row& row : rows) {
    SCOPED_TRACE(int(row.theme));
    box->SetBorderColor(clRed);  // what the form data gave gives way
    box->SetThemes(row.theme);
    box->ApplyThemeColors();
    EXPECT_EQ(box->BorderColor(), row.border);
    EXPECT_EQ(box->ArrowColor(), row.arrow);
    EXPECT_EQ(box->ButtonColor(), row.button);
    EXPECT_EQ(box->ButtonPressedColor(), row.pressed);
    const QImage face = box->face();
    EXPECT_EQ(face.pixel(0, 0), rgbOf(row.border));         // frame
    EXPECT_EQ(face.pixel(w - 1, 21), rgbOf(row.border));    // frame
    EXPECT_EQ(face.pixel(left + 2, 5), rgbOf(clWhite));     // the strip's left part
    EXPECT_EQ(face.pixel(left + 5, 3), rgbOf(row.border));  // separator
    EXPECT_EQ(face.pixel(w - 3, 4), rgbOf(row.button));     // button
    const int x = w - 10;
    EXPECT_EQ(face.pixel(x, 10), rgbOf(row.arrow));
    EXPECT_EQ(face.pixel(x + 4, 10), rgbOf(row.arrow));
    EXPECT_EQ(face.pixel(x + 5, 10), rgbOf(row.button));
    EXPECT_EQ(face.pixel(x, 11), rgbOf(row.button));
    EXPECT_EQ(face.pixel(x + 1, 11), rgbOf(row.arrow));
    EXPECT_EQ(face.pixel(x + 3, 11), rgbOf(row.arrow));
    EXPECT_EQ(face.pixel(x + 2, 12), rgbOf(row.arrow));
    EXPECT_EQ(face.pixel(x + 3, 12), rgbOf(row.button));
  }
  // The list down: the pressed colour.
  box->Items()->Add("http://example.test/");
  box->SetDroppedDown(true);
  ASSERT_TRUE(testsupport::waitFor([this] { return box->DroppedDown(); }));
  EXPECT_EQ(box->face().pixel(w - 3, 4), rgbOf(cl3DLight));
  box->SetDroppedDown(false);
  // Without a border: no frame.
  box->SetHasBorder(false);
  EXPECT_NE(box->face().pixel(0, 0), rgbOf(clMaroon));
}

TEST_F(AddressIcons, TheIconStandsLeftOfTheTextAndRepaintsAddNothing) {
  QImage red(16, 16, QImage::Format_ARGB32);
  red.fill(Qt::red);
  Application->Icon()->FromQImage(red);
  box->SetUseAppIcon(true);
  box->SetText("http://example.test/");
  box->SetIconLeft(5);
  box->SetIconTop(3);
  QImage face = box->face();
  EXPECT_EQ(face.pixel(5, 3), qRgb(255, 0, 0));
  EXPECT_EQ(face.pixel(20, 18), qRgb(255, 0, 0));
  EXPECT_NE(face.pixel(21, 10), qRgb(255, 0, 0));
  // An icon placed over the text is cut at the strip's edge.
  box->SetIconLeft(15);
  face = box->face();
  EXPECT_EQ(face.pixel(22, 10), qRgb(255, 0, 0));
  EXPECT_NE(face.pixel(23, 10), qRgb(255, 0, 0));

  const int images = box->Images()->Count();
  const int handles = LiveIconHandles();
  for (int i = 0; i < 20; ++i) box->face();
  EXPECT_EQ(box->Images()->Count(), images);
  EXPECT_EQ(LiveIconHandles(), handles);
}

TEST_F(AddressIcons, EntriesAreDrawnWithTheirIcon) {
  box->Items()->Add("my computer");
  QImage image(200, 16, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    box->PaintItem(&painter, TRect(0, 0, 200, 16), 0, TOwnerDrawState{});
  }
  const QImage icon = box->Images()->GetImage(specialFolderIcon(CSIDL_DRIVES));
  ASSERT_FALSE(icon.isNull());
  int same = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (qAlpha(icon.pixel(x, y)) == 255 && image.pixel(x + 4, y) == icon.pixel(x, y)) ++same;
  EXPECT_GT(same, 0);
  // The text starts at 22: nothing of it left of there beyond the icon.
  for (int y = 0; y < 16; ++y) EXPECT_EQ(image.pixel(21, y), qRgb(255, 255, 255));
}

TEST(FaviconAddress, SchemeHostAndPortOfHttpAddressesOnly) {
  EXPECT_EQ(FaviconUrlOf("http://example.test:8080/a/b.html?x"), "http://example.test:8080/favicon.ico");
  EXPECT_EQ(FaviconUrlOf("https://example.test"), "https://example.test/favicon.ico");
  EXPECT_EQ(FaviconUrlOf("HTTP://Example.test/"), "http://example.test/favicon.ico");
  EXPECT_EQ(FaviconUrlOf("example.test"), "");
  EXPECT_EQ(FaviconUrlOf("ftp://example.test/"), "");
  EXPECT_EQ(FaviconUrlOf("file:///tmp/a.html"), "");
}

TEST_F(AddressIcons, FaviconsFromALoopbackServer) {
  testsupport::LoopbackServer server;
  const QByteArray blue = iconBytes(Qt::blue);
  server.get("/favicon.ico", [&](const testsupport::HttpRequest&, testsupport::HttpResponse& r) {
    r.contentType = "image/x-icon";
    r.body = blue.toStdString();
  });
  ASSERT_TRUE(server.start());
  box->SetShowFavicon(true);
  box->SetText(server.url("/page.html"));
  const int index = box->DoShowFavicon();
  ASSERT_GT(index, 0);
  EXPECT_EQ(testsupport::readFile(GetIECacheFolder() + "favicon.ico"), blue);
  EXPECT_EQ(box->CurrentIcon(), index);
  EXPECT_EQ(box->face().pixel(box->IconLeft() + 8, box->IconTop() + 8), qRgb(0, 0, 255));
  // The site is asked once; typing only finds the favicon kept.
  EXPECT_EQ(box->DoShowFavicon(), index);
  EXPECT_EQ(server.requestCount("/favicon.ico"), 1);
  EXPECT_EQ(box->IconOfText(server.url("/other.html")), index);
}

TEST_F(AddressIcons, FailedFaviconsKeepThePreviousIcon) {
  testsupport::LoopbackServer missing, html, silent;
  missing.get("/favicon.ico",
              [](const testsupport::HttpRequest&, testsupport::HttpResponse& r) { r.status = 404; });
  html.page("/favicon.ico", "<html><body>no icon</body></html>");
  silent.get("/favicon.ico", [&](const testsupport::HttpRequest&, testsupport::HttpResponse& r) {
    silent.hold(30000);
    r.body = "late";
  });
  ASSERT_TRUE(missing.start() && html.start() && silent.start());
  box->SetShowFavicon(true);
  const int count = box->Images()->Count();
  for (testsupport::LoopbackServer* server : {&missing, &html, &silent}) {
    box->SetText(server->url("/"));
    const int before = box->CurrentIcon();
    EXPECT_EQ(box->DoShowFavicon(), -1);
    EXPECT_EQ(box->CurrentIcon(), before);
  }
  EXPECT_EQ(box->Images()->Count(), count);
  silent.release();
  // A cancelling handler stops the fetch before it starts.
  testsupport::LoopbackServer counted;
  counted.get("/favicon.ico", [](const testsupport::HttpRequest&, testsupport::HttpResponse&) {});
  ASSERT_TRUE(counted.start());
  box->OnGetFavicon = [](TObject*, const String&, const String&, bool& cancel, TIcon*) { cancel = true; };
  EXPECT_FALSE(box->DownloadFavicon(counted.url("/"), testsupport::profileDir() + "/fav.ico"));
  EXPECT_EQ(counted.requestCount(), 0);
}

}  // namespace
