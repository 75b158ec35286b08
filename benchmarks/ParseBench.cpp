// Page parser benchmark, in one process on one page of about 1 MB:
//   (a) TIEParser.Parse of the page's file:// address, with OnElement and
//       every tag event assigned and counted;
//   (b) gumbo_parse plus gumbo_destroy_output on the same bytes (the
//       baseline);
// each repeated (5 times by default), alternately, and the ratio b / a of
// the medians. It also times the parse tab's report of the page with the
// default filters (no baseline).
//
//   ParseBench [page.html] [runs]
//
// Without a page it takes the Bash reference manual of the bash-doc package.
#include "EmbeddedWB/Source/IEParser.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"

#include <gumbo.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using IEParser::TElementInfo;
using IEParser::TIEParser;

namespace {

const char kDefaultPage[] = "/usr/share/doc/bash/bashref.html";

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Counts every event of the walk.
void CountEverything(TIEParser& p, long& elements, long& tags) {
  p.OnElement = [&](TObject*, TElementInfo&) { ++elements; };
  p.OnFrameSet = [&](auto&&...) { ++tags; };
  p.OnFrame = [&](auto&&...) { ++tags; };
  p.OnNoFrame = [&](auto&&...) { ++tags; };
  p.OnAnchor = [&](auto&&...) { ++tags; };
  p.OnComment = [&](auto&&...) { ++tags; };
  p.OnImage = [&](auto&&...) { ++tags; };
  p.OnBody = [&](auto&&...) { ++tags; };
  p.OnBase = [&](auto&&...) { ++tags; };
  p.OnBaseFont = [&](auto&&...) { ++tags; };
  p.OnFont = [&](auto&&...) { ++tags; };
  p.OnMeta = [&](auto&&...) { ++tags; };
  p.OnMarquee = [&](auto&&...) { ++tags; };
  p.OnForm = [&](auto&&...) { ++tags; };
  p.OnScript = [&](auto&&...) { ++tags; };
  p.OnDiv = [&](auto&&...) { ++tags; };
  p.OnHR = [&](auto&&...) { ++tags; };
  p.OnBR = [&](auto&&...) { ++tags; };
}

// The parse tab's report of the page with the default filters: the median
// time of a start press (the next press clears the report).
double ReportMedian(const QString& url, int runs) {
  Application->Initialize();
  Application->CreateForm(Menu::MyMenuForm);
  Application->CreateForm(FullScreen::FullScreenForm);
  FullScreen::TFullScreenForm* f = FullScreen::FullScreenForm;
  f->PC001BtnMouseUp(f->PC001Btn, mbLeft, {}, 0, 0);
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    f->URLEdit->SetText(url);
    QElapsedTimer t;
    t.start();
    f->P001BtnMouseUp(f->P001Btn, mbLeft, {}, 0, 0);
    times.push_back(double(t.nsecsElapsed()) / 1e6);
    f->P001BtnMouseUp(f->P001Btn, mbLeft, {}, 0, 0);
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // A profile and a program folder of this run: the user's own stay as they are.
  QTemporaryDir work;
  if (!work.isValid()) return 2;
  QDir().mkpath(work.path() + QStringLiteral("/profile"));
  QDir().mkpath(work.path() + QStringLiteral("/program"));
  QFile::link(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Skins"), work.path() + QStringLiteral("/program/Skins"));
  qputenv("NOCTIVANE_PROFILE", (work.path() + QStringLiteral("/profile")).toUtf8());
  qputenv("NOCTIVANE_PROGRAM_DIR", (work.path() + QStringLiteral("/program")).toUtf8());
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString::fromLatin1(kDefaultPage);
  const int runs = std::max(5, argc > 2 ? atoi(argv[2]) : 5);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "ParseBench: cannot read %s\n", qPrintable(path));
    return 1;
  }
  const QByteArray bytes = file.readAll();
  const QString url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString();

  InitializeProgramUnits();
  std::vector<double> parse, gumbo;
  long elements = 0, tags = 0;
  for (int run = 0; run < runs; ++run) {
    {
      TIEParser parser(nullptr);
      elements = tags = 0;
      CountEverything(parser, elements, tags);
      QElapsedTimer t;
      t.start();
      parser.Parse(url);
      parse.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    QElapsedTimer t;
    t.start();
    GumboOutput* out =
        gumbo_parse_with_options(&kGumboDefaultOptions, bytes.constData(), size_t(bytes.size()));
    gumbo_destroy_output(&kGumboDefaultOptions, out);
    gumbo.push_back(double(t.nsecsElapsed()) / 1e6);
  }

  const double a = Median(parse), b = Median(gumbo);
  std::printf("page: %s (%lld bytes), %d runs each\n", qPrintable(path), static_cast<long long>(bytes.size()),
              runs);
  std::printf("elements: %ld, tag events: %ld\n", elements, tags);
  std::printf("(a) TIEParser.Parse median: %.1f ms\n", a);
  std::printf("(b) gumbo parse + destroy median: %.1f ms\n", b);
  std::printf("b/a: %.2f (target at least 0.5)\n", b / a);
  std::printf("parse tab report with the default filters, median: %.1f ms\n", ReportMedian(url, runs));

  FinalizeProgramUnits();
  return 0;
}
