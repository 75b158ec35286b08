// Colouring benchmark on a real page (default: library/os.html of the Python
// documentation; any page as argument), with CR LF line ends as the source
// editor hands it over:
//   (a) MB/s of THighlightHTML SetSource + WriteRtf into a memory stream,
//       against the same text copied unchanged, one byte per character, into
//       a memory stream, and the ratio of the two times.
//
//   HighlightBench [page]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "EmbeddedWB/Source/HighLightHTML.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int kRuns = 7;

QString LoadPage(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(f.readAll());
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(u'\n', QLatin1String("\r\n"));
  return text;
}

template <class F>
double MedianSeconds(F&& run) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    QElapsedTimer t;
    t.start();
    run();
    times.push_back(double(t.nsecsElapsed()) / 1e9);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  HighLightHTML::initialize();
  const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                : QStringLiteral("/usr/share/doc/python3-doc/html/library/os.html");
  const QString text = LoadPage(path);
  if (text.isEmpty()) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
    return 1;
  }
  const double mb = double(text.size()) / 1e6;

  qint64 rtfSize = 0;
  const double colour = MedianSeconds([&] {
    TMemoryStream stream;
    HighLightHTML::THighlightHTML h;
    h.SetSource(text);
    h.WriteRtf(&stream);
    rtfSize = stream.GetSize();
  });
  const double copy = MedianSeconds([&] {
    TMemoryStream stream;
    const QByteArray bytes = text.toLatin1();
    stream.WriteBuffer(bytes.constData(), bytes.size());
  });

  std::printf("page: %s, %.2f M characters, document %.2f MB\n", qPrintable(path), mb, double(rtfSize) / 1e6);
  std::printf(
      "(a) colouring %.1f MB/s, plain copy %.1f MB/s, ratio %.1f (target: >= 50 MB/s, ratio <= 200)\n",
      mb / colour, mb / copy, colour / copy);
  return 0;
}
