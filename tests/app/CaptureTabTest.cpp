// The capture tab against its form resource, the real engine on a local
// page and the files it writes, read back through QImage.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "platform/classlib/Dialogs.h"
#include "platform/classlib/Jpeg.h"
#include "tests/app/ToolsWindowFixture.h"

namespace {

using FullScreen::TFullScreenForm;

// The top-left 100 x 100 pixels are blue on white.
const QByteArray kBlockPage =
    "<html><head><style>body{margin:0;background:#fff}div{width:100px;height:100px;background:#00f}</style>"
    "</head><body><div></div></body></html>";

bool near(const QColor& a, const QColor& b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

class CaptureTab : public apptest::ToolsWindowFixture {
 protected:
  // The tools window on the block page, drawn by the engine.
  TFullScreenForm* showBlockPage() {
    TFullScreenForm* f = showWindows();
    f->PageControl->SetActivePage(f->CaptureTabSheet);
    EXPECT_TRUE(Browse(f, localPage("block.html", kBlockPage)));
    EXPECT_TRUE(testsupport::waitFor([&] {
      TImage probe(nullptr);
      probe.SetBounds(0, 0, f->WB->Width(), f->WB->Height());
      f->WB->SnapShotToImage(&probe);
      return near(probe.Picture()->Bitmap()->ToQImage().pixelColor(50, 50), Qt::blue, 8);
    }));
    return f;
  }
  QString file(const char* name) const { return programDir() + "/" + name; }
};

TEST_F(CaptureTab, AtMostOneChoiceIsChecked) {
  TFullScreenForm* f = showWindows();
  TCheckBox* boxes[] = {f->BMPCheckBox, f->JPGCheckBox, f->ThumbnailCheckBox};
  for (TCheckBox* b : boxes) EXPECT_FALSE(b->Checked());
  for (TCheckBox* checked : boxes) {
    checked->SetChecked(true);
    for (TCheckBox* b : boxes) EXPECT_EQ(b->Checked(), b == checked) << b->Name().toStdString();
  }
  // Unchecking the checked one leaves all unchecked, and changes nothing else.
  f->ThumbnailCheckBox->SetChecked(false);
  for (TCheckBox* b : boxes) EXPECT_FALSE(b->Checked());
}

TEST_F(CaptureTab, EveryCaptureWritesBothFilesAndShowsTheChoice) {
  TFullScreenForm* f = showBlockPage();
  const QSize view(f->WB->Width(), f->WB->Height());

  // Thumbnail: both files all the same, and the view drawn into the viewer.
  f->ThumbnailCheckBox->SetChecked(true);
  Click(f->CS001Btn);
  const QImage bitmap(file("site.bmp"));
  const QImage jpeg(file("Site.jpg"), "JPG");
  ASSERT_FALSE(bitmap.isNull());
  ASSERT_FALSE(jpeg.isNull());
  EXPECT_EQ(bitmap.size(), view);
  EXPECT_TRUE(near(bitmap.pixelColor(50, 50), Qt::blue));
  // The JPEG is drawn at the window's size.
  EXPECT_EQ(jpeg.size(), QSize(f->Width(), f->Height()));
  const QImage thumbnail = f->ImageViewer->Picture()->Graphic()->ToQImage();
  EXPECT_EQ(thumbnail.size(), QSize(f->ImageViewer->Width(), f->ImageViewer->Height()));
  EXPECT_TRUE(near(thumbnail.pixelColor(2, 2), Qt::blue));

  // BMP: the viewer shows the bitmap file.
  QFile::remove(file("site.bmp"));
  QFile::remove(file("Site.jpg"));
  f->BMPCheckBox->SetChecked(true);
  Click(f->CS001Btn);
  EXPECT_TRUE(QFile::exists(file("Site.jpg")));
  EXPECT_EQ(f->ImageViewer->Picture()->Graphic()->ToQImage().convertToFormat(QImage::Format_RGB32),
            QImage(file("site.bmp")).convertToFormat(QImage::Format_RGB32));

  // JPG: a JPEG picture of the window's size.
  f->JPGCheckBox->SetChecked(true);
  f->StrechCheck->SetChecked(true);
  Click(f->CS001Btn);
  EXPECT_TRUE(qobject_cast<TJPEGImage*>(f->ImageViewer->Picture()->Graphic()));
  EXPECT_EQ(f->ImageViewer->Picture()->Graphic()->GetWidth(), f->Width());
  EXPECT_TRUE(f->ImageViewer->Stretch());

  // None checked: the files are written, the viewer keeps its picture.
  f->JPGCheckBox->SetChecked(false);
  QFile::remove(file("site.bmp"));
  TGraphic* shown = f->ImageViewer->Picture()->Graphic();
  Click(f->CS001Btn);
  EXPECT_TRUE(QFile::exists(file("site.bmp")));
  EXPECT_EQ(f->ImageViewer->Picture()->Graphic(), shown);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST(CaptureSaveName, BmpIsPutAfterANameThatLacksItInAnyCase) {
  EXPECT_EQ(FullScreen::BitmapFileName("shot"), "shot.bmp");
  EXPECT_EQ(FullScreen::BitmapFileName("shot.bmp"), "shot.bmp");
  EXPECT_EQ(FullScreen::BitmapFileName("shot.BMP"), "shot.BMP");
  EXPECT_EQ(FullScreen::BitmapFileName("shot.jpg"), "shot.jpg.bmp");
  EXPECT_EQ(FullScreen::BitmapFileName("shot.bmp.png"), "shot.bmp.png.bmp");
}

TEST_F(CaptureTab, SaveWritesTheShownPictureAsABitmap) {
  TFullScreenForm* f = showBlockPage();
  TScriptedDialogService dialogs;
  // Nothing shown yet: nothing is written.
  dialogs.QueueFile(file("nothing"));
  Click(f->CS002Btn);
  EXPECT_FALSE(QFile::exists(file("nothing.bmp")));

  // A JPEG shown is saved as bitmap data under the name with ".bmp".
  f->JPGCheckBox->SetChecked(true);
  Click(f->CS001Btn);
  dialogs.QueueFile(file("shot"));
  Click(f->CS002Btn);
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).back().Filter, "Bitmaps (*.bmp)|*.bmp");
  EXPECT_TRUE(testsupport::readFile(file("shot.bmp")).startsWith("BM"));
  const QImage saved(file("shot.bmp"), "BMP");
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.size(), QSize(f->Width(), f->Height()));
  EXPECT_TRUE(near(saved.pixelColor(2, 2), Qt::blue));

  // A name that ends in ".BMP" keeps it; cancelling writes nothing.
  dialogs.QueueFile(file("upper.BMP"));
  Click(f->CS002Btn);
  EXPECT_TRUE(testsupport::readFile(file("upper.BMP")).startsWith("BM"));
  EXPECT_FALSE(QFile::exists(file("upper.BMP.bmp")));
  dialogs.QueueCancel();
  Click(f->CS002Btn);
  EXPECT_EQ(dialogs.PendingDialogAnswers(), 0);
}

}  // namespace
