// The program's icon as the build leaves it beside the program: an ICO file
// of several sizes that image readers open, each a round picture on a clear
// background that still shows its two colours at the smallest size.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <set>

namespace {

const QString kIconFile = QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Noctivane.ico");

std::vector<QImage> iconImages() {
  std::vector<QImage> images;
  QImageReader reader(kIconFile, "ico");
  for (int i = 0; i < reader.imageCount(); ++i) {
    if (!reader.jumpToImage(i)) break;
    images.push_back(reader.read().convertToFormat(QImage::Format_ARGB32));
  }
  return images;
}

TEST(ProgramIcon, TheFileListsEverySizeOnceWithItsOwnPicture) {
  const QByteArray bytes = testsupport::readFile(kIconFile);
  ASSERT_GE(bytes.size(), 6) << kIconFile.toStdString();
  // The header: reserved 0, type 1 (an icon), the number of images.
  EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData()), 0);
  EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 2), 1);
  const int count = qFromLittleEndian<quint16>(bytes.constData() + 4);
  ASSERT_GE(bytes.size(), 6 + 16 * count);
  std::set<int> sizes;
  for (int i = 0; i < count; ++i) {
    const char* entry = bytes.constData() + 6 + 16 * i;
    const int width = quint8(entry[0]), height = quint8(entry[1]);
    EXPECT_EQ(width, height);
    const quint32 length = qFromLittleEndian<quint32>(entry + 8);
    const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
    EXPECT_LE(qint64(offset) + length, bytes.size()) << width;
    EXPECT_TRUE(sizes.insert(width).second) << width;
  }
  for (int size : {16, 24, 32, 48}) EXPECT_TRUE(sizes.count(size)) << size;

  const std::vector<QImage> images = iconImages();
  ASSERT_EQ(int(images.size()), count);
  for (size_t i = 0; i < images.size(); ++i)
    EXPECT_TRUE(sizes.count(images[i].width())) << "image " << i << " decodes at its listed size";
}

TEST(ProgramIcon, EachSizeIsARoundPictureOnAClearBackground) {
  for (const QImage& image : iconImages()) {
    const int n = image.width();
    SCOPED_TRACE(n);
    // Clear corners, an opaque middle.
    for (const QPoint corner : {QPoint(0, 0), QPoint(n - 1, 0), QPoint(0, n - 1), QPoint(n - 1, n - 1)})
      EXPECT_EQ(qAlpha(image.pixel(corner)), 0);
    EXPECT_EQ(qAlpha(image.pixel(n / 2, n / 2)), 255);
    EXPECT_EQ(qAlpha(image.pixel(n / 2, 1)), 255);  // the ring reaches the edge
    // Gold (red well above blue) and night blue (blue above red) both show.
    int gold = 0, night = 0;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const QRgb p = image.pixel(x, y);
        if (qAlpha(p) < 255) continue;
        if (qRed(p) > qBlue(p) + 80) ++gold;
        if (qBlue(p) > qRed(p) + 20) ++night;
      }
    EXPECT_GE(gold, n * n / 10);
    EXPECT_GE(night, n * n / 10);
  }
}

}  // namespace
