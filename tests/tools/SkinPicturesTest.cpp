// The Gold skin as the build leaves it in the program folder: every picture
// the windows load is there under its exact name, in a format the picture
// loaders read, and the states of a button can be told apart.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QImage>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

const QString kSkinDir = QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Skins/Gold");

struct Entry {
  QString path;  // relative to the skin folder
  int width = 0;
  int height = 0;
  QString button;
  QString state;
};

std::vector<Entry> manifest() {
  std::vector<Entry> entries;
  const QString text = QString::fromUtf8(testsupport::readFile(kSkinDir + "/manifest.txt"));
  for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
    if (line.startsWith('#')) continue;
    const QStringList f = line.split('\t');
    if (f.size() != 5) {
      ADD_FAILURE() << "malformed manifest line: " << line.toStdString();
      continue;
    }
    entries.push_back({f[0], f[1].toInt(), f[2].toInt(), f[3], f[4]});
  }
  return entries;
}

const Entry* find(const std::vector<Entry>& entries, const QString& path) {
  for (const Entry& e : entries)
    if (e.path == path) return &e;
  return nullptr;
}

// The share of pixels whose colour differs by more than a faint shade.
double changedShare(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_ARGB32);
  const QImage y = b.convertToFormat(QImage::Format_ARGB32);
  int changed = 0;
  for (int r = 0; r < x.height(); ++r)
    for (int c = 0; c < x.width(); ++c) {
      const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
      const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
      if (d > 24) ++changed;
    }
  return double(changed) / (x.width() * x.height());
}

// The names the windows build for their pictures: "_A", "_B", "_C" bitmaps
// for the main window's frame buttons, "A" and "B" PNGs for the others.
QStringList picturesTheWindowsLoad() {
  QStringList names;
  const auto bitmaps = [&](const QString& group, const QStringList& buttons) {
    for (const QString& b : buttons)
      for (const char* s : {"_A", "_B", "_C"}) names << QString("%1/%2%3.bmp").arg(group, b, s);
  };
  const auto pngs = [&](const QString& group, const QString& prefix, QList<int> numbers, int digits) {
    for (int n : numbers)
      for (const char* s : {"A", "B"})
        names << QString("%1/%2%3%4.PNG").arg(group, prefix).arg(n, digits, 10, QChar('0')).arg(s);
  };
  const auto range = [](int from, int to) {
    QList<int> r;
    for (int i = from; i <= to; ++i) r << i;
    return r;
  };
  bitmaps("Buttons/Window", {"Close001", "Minimize001"});
  bitmaps("Buttons/Navigate",
          {"NextPage001", "PreviousPage001", "RefreshPage001", "Stop001", "PrintPage001", "Check001"});
  pngs("System", "HB", {1}, 3);
  pngs("System", "SB", {1}, 3);
  pngs("System", "WM", {1}, 3);
  pngs("FavoritesList", "FL", range(1, 3), 3);
  pngs("History", "DH", {1}, 3);
  pngs("FavoriteNet", "N", range(1, 12), 3);
  pngs("WebMail", "WM", range(1, 3), 3);
  pngs("ECOMode", "EM", range(1, 11) << 13 << 14, 3);
  pngs("Parse", "P", range(1, 3), 3);
  pngs("Controls", "C", range(1, 2), 3);
  pngs("Events", "E", range(1, 3), 3);
  pngs("Design", "D", range(1, 7), 3);
  pngs("Cache", "C", range(1, 3), 3);
  pngs("Capture", "C", range(1, 2), 3);
  return names;
}

}  // namespace

TEST(SkinPictures, EveryPictureTheWindowsLoadIsThereUnderItsExactName) {
  const std::vector<Entry> entries = manifest();
  const QStringList names = picturesTheWindowsLoad();
  for (const QString& name : names) {
    EXPECT_TRUE(QFileInfo(kSkinDir + "/" + name).isFile()) << name.toStdString();
    EXPECT_NE(find(entries, name), nullptr) << name.toStdString() << " is not in the manifest";
  }
  // The frame and the single pictures that the window layouts name.
  for (const char* name : {"Buttons/Window/TopLeft.bmp", "Buttons/Window/BottomRightB.bmp", "System/SSL.PNG",
                           "System/Unlock.PNG", "System/Go.PNG", "WebMail/AttachURL.PNG"})
    EXPECT_TRUE(QFileInfo(kSkinDir + "/" + name).isFile()) << name;
}

TEST(SkinPictures, BitmapsAreUncompressed24BitFilesOfTheListedSize) {
  int bitmaps = 0;
  for (const Entry& e : manifest()) {
    if (!e.path.endsWith(".bmp")) continue;
    ++bitmaps;
    SCOPED_TRACE(e.path.toStdString());
    const QByteArray bytes = testsupport::readFile(kSkinDir + "/" + e.path);
    ASSERT_GE(bytes.size(), 54);
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    const auto i32 = [&](int at) { return qFromLittleEndian<qint32>(bytes.constData() + at); };
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(u32(2), quint32(bytes.size()));
    EXPECT_EQ(u32(14), 40u);  // the plain information header
    EXPECT_EQ(i32(18), e.width);
    EXPECT_EQ(i32(22), e.height);  // positive: rows stored bottom-up
    EXPECT_EQ(u16(26), 1);
    EXPECT_EQ(u16(28), 24);
    EXPECT_EQ(u32(30), 0u);  // no compression
    const int stride = (e.width * 3 + 3) / 4 * 4;
    EXPECT_EQ(qint64(u32(10)) + qint64(stride) * e.height, bytes.size());

    const QImage img(kSkinDir + "/" + e.path);
    EXPECT_EQ(img.size(), QSize(e.width, e.height));
    EXPECT_FALSE(img.hasAlphaChannel());
  }
  EXPECT_EQ(bitmaps, 13 + 24);
}

TEST(SkinPictures, PngsDecodeAtTheListedSizeWithTransparency) {
  int pngs = 0;
  for (const Entry& e : manifest()) {
    if (!e.path.endsWith(".PNG")) continue;
    ++pngs;
    SCOPED_TRACE(e.path.toStdString());
    const QByteArray bytes = testsupport::readFile(kSkinDir + "/" + e.path);
    EXPECT_TRUE(bytes.startsWith("\x89PNG\r\n\x1a\n"));
    QImage img;
    ASSERT_TRUE(img.loadFromData(bytes, "PNG"));
    EXPECT_EQ(img.size(), QSize(e.width, e.height));
    ASSERT_TRUE(img.hasAlphaChannel());
    // Rounded faces leave the corners see-through.
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(e.width / 2, e.height / 2)), 255);
  }
  EXPECT_GE(pngs, 110);
}

TEST(SkinPictures, EveryPictureShowsSomethingAndTheStatesOfAButtonDiffer) {
  std::map<QString, std::vector<std::pair<QString, QImage>>> buttons;
  for (const Entry& e : manifest()) {
    const QImage img(kSkinDir + "/" + e.path);
    ASSERT_FALSE(img.isNull()) << e.path.toStdString();
    // A legible picture has both dark and bright pixels.
    int darkest = 255, brightest = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const QRgb p = img.pixel(x, y);
        if (qAlpha(p) < 255) continue;
        darkest = std::min(darkest, qGray(p));
        brightest = std::max(brightest, qGray(p));
      }
    EXPECT_GT(brightest - darkest, 100) << e.path.toStdString();
    if (e.state != "single") buttons[e.button].push_back({e.state, img});
  }
  ASSERT_FALSE(buttons.empty());
  for (const auto& [button, states] : buttons) {
    SCOPED_TRACE(button.toStdString());
    std::set<QString> names;
    for (const auto& s : states) names.insert(s.first);
    EXPECT_EQ(names.size(), states.size()) << "a state is listed twice";
    EXPECT_TRUE(names.count("normal"));
    EXPECT_GE(states.size(), 2u);
    for (size_t i = 0; i < states.size(); ++i)
      for (size_t j = i + 1; j < states.size(); ++j) {
        ASSERT_EQ(states[i].second.size(), states[j].second.size());
        EXPECT_GT(changedShare(states[i].second, states[j].second), 0.25)
            << states[i].first.toStdString() << " and " << states[j].first.toStdString() << " look alike";
      }
  }
}

TEST(SkinPictures, FramePiecesFitTheirPanelsAndStretchWithoutSeams) {
  const std::vector<Entry> entries = manifest();
  const auto image = [&](const char* name) {
    const Entry* e = find(entries, QString("Buttons/Window/") + name);
    EXPECT_NE(e, nullptr) << name;
    return QImage(kSkinDir + "/Buttons/Window/" + name);
  };
  // The top frame is 33 high, the bottom frame 66; the left frame 20 wide,
  // the right frame 21.
  for (const char* name : {"TopLeft.bmp", "TopBorder.bmp", "TopRight.bmp"})
    EXPECT_EQ(image(name).height(), 33) << name;
  for (const char* name : {"BottomLeft.bmp", "BottomBorder.bmp", "BottomRightA.bmp"})
    EXPECT_EQ(image(name).height(), 66) << name;
  for (const char* name : {"LeftTop.bmp", "LeftBorder.bmp", "LeftBottom.bmp"})
    EXPECT_EQ(image(name).width(), 20) << name;
  for (const char* name : {"RightTop.bmp", "RightBorder.bmp", "RightBottom.bmp"})
    EXPECT_EQ(image(name).width(), 21) << name;

  // Stretched pieces must look the same all along the stretch.
  const auto sameColumns = [](const QImage& img) {
    for (int x = 1; x < img.width(); ++x)
      for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) != img.pixel(0, y)) return false;
    return true;
  };
  const auto sameRows = [](const QImage& img) {
    for (int y = 1; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, y) != img.pixel(x, 0)) return false;
    return true;
  };
  EXPECT_TRUE(sameColumns(image("TopBorder.bmp")));
  EXPECT_TRUE(sameColumns(image("BottomBorder.bmp")));
  EXPECT_TRUE(sameRows(image("LeftBorder.bmp")));
  EXPECT_TRUE(sameRows(image("RightBorder.bmp")));

  // Pieces meet without a seam: the top border's rows continue the corner
  // pieces' inner columns.
  const QImage left = image("TopLeft.bmp"), border = image("TopBorder.bmp");
  for (int y = 0; y < 33; ++y) EXPECT_EQ(left.pixel(left.width() - 1, y), border.pixel(0, y)) << "row " << y;
}
