// Start-up benchmark: the time from starting a process to the first completed
// document of a local home page,
//   (a) for the real Noctivane program (its whole main window), and
//   (b) for a bare QWebEngineView in a plain window (this program, started
//       again with --bare <url>),
// each in a child process of its own, alternately, and the ratio a / b of the
// medians.
//
//   StartupBench [runs]          measure (5 runs of each by default)
//   StartupBench --bare <url>    the baseline child
//
// The children run on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise. Noctivane gets a temporary profile whose start page is the local
// page and a temporary program folder (so the real one keeps its ini file);
// NOCTIVANE_BENCH_EXIT_ON_COMPLETE makes it report the first complete document
// and close.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWidget>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/rtl/Registry.h"

namespace {

constexpr int kTimeoutMs = 60000;
const char kCompleteLine[] = "DocumentComplete";

// ---------------------------------------------------------------- baseline child

int RunBare(int argc, char** argv, const QString& url) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // as the program does
  QApplication app(argc, argv);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* view = new QWebEngineView(&window);
  layout->addWidget(view);
  window.resize(800, 600);
  window.show();
  QObject::connect(view, &QWebEngineView::loadFinished, &app, [&app, view](bool) {
    std::printf("%s %s\n", kCompleteLine, view->url().toString().toUtf8().constData());
    std::fflush(stdout);
    app.quit();
  });
  view->load(QUrl(url));
  return app.exec();
}

// ---------------------------------------------------------------- measuring

// Starts a child and answers the milliseconds until it reported the complete
// document of `url`; nothing when it failed, took too long or completed
// another document.
std::optional<double> TimeChild(const QString& program, const QStringList& args,
                                const QProcessEnvironment& env, const QString& url) {
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer timer;
  timer.start();
  child.start(program, args);
  std::optional<double> result;
  QByteArray out;
  while (timer.elapsed() < kTimeoutMs) {
    if (child.waitForReadyRead(200)) {
      out += child.readAllStandardOutput();
      const int line = out.indexOf(kCompleteLine);
      if (line >= 0 && out.indexOf('\n', line) > 0) {
        const double ms = timer.nsecsElapsed() / 1e6;
        const QByteArray text = out.mid(line, out.indexOf('\n', line) - line);
        if (text.endsWith(url.toUtf8()))
          result = ms;
        else
          std::fprintf(stderr, "completed another document: %s\n", text.constData());
        break;
      }
    } else if (child.state() == QProcess::NotRunning) {
      break;
    }
  }
  if (!child.waitForFinished(10000)) {
    child.kill();
    child.waitForFinished();
  }
  return result;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRow(const char* name, const std::vector<double>& v) {
  std::printf("%-34s", name);
  for (double ms : v) std::printf(" %7.0f", ms);
  std::printf("   median %7.0f ms\n", Median(v));
}

int RunBenchmark(int argc, char** argv, int runs) {
  QCoreApplication app(argc, argv);
  QTemporaryDir work;
  if (!work.isValid()) return 2;

  // The home page: a local page of ordinary size.
  const QString page = work.path() + "/home.html";
  {
    QFile f(page);
    if (!f.open(QIODevice::WriteOnly)) return 2;
    QTextStream s(&f);
    s << "<!DOCTYPE html><html><head><title>Home</title><style>body{font:14px sans-serif}</style>"
         "</head><body><h1>Home</h1>";
    for (int i = 0; i < 200; ++i)
      s << "<p>Paragraph " << i << " with <a href='#p" << i << "'>a link</a>.</p>";
    s << "</body></html>";
  }
  const QString url = QUrl::fromLocalFile(page).toString();

  // Noctivane's profile, with the page as the start page, and a program
  // folder of its own that shows the build's skins.
  const QString profile = work.path() + "/profile";
  const QString programDir = work.path() + "/program";
  QDir().mkpath(profile);
  QDir().mkpath(programDir);
  QFile::link(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Skins"), programDir + "/Skins");
  qputenv("NOCTIVANE_PROFILE", profile.toUtf8());
  {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKey(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main"), true)) return 2;
    reg.WriteString(QStringLiteral("Start Page"), url);
  }

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!env.contains("QT_QPA_PLATFORM")) env.insert("QT_QPA_PLATFORM", "offscreen");
  if (env.value("QT_QPA_PLATFORM") == "offscreen" && !env.contains("QTWEBENGINE_CHROMIUM_FLAGS"))
    env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  if (geteuid() == 0) env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QProcessEnvironment noctivaneEnv = env;
  noctivaneEnv.insert("NOCTIVANE_PROFILE", profile);
  noctivaneEnv.insert("NOCTIVANE_PROGRAM_DIR", programDir);
  noctivaneEnv.insert("NOCTIVANE_BENCH_EXIT_ON_COMPLETE", "1");

  const QString noctivane = QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Noctivane");
  const QString self = QCoreApplication::applicationFilePath();
  std::vector<double> full, bare;
  // One round of each first, not counted: it fills the file caches.
  for (int round = -1; round < runs; ++round) {
    const auto a = TimeChild(noctivane, {}, noctivaneEnv, url);
    const auto b = TimeChild(self, {"--bare", url}, env, url);
    if (!a || !b) {
      std::fprintf(stderr, "a child did not report a complete document (%s)\n",
                   !a ? "Noctivane" : "bare view");
      return 1;
    }
    if (round >= 0) {
      full.push_back(*a);
      bare.push_back(*b);
    }
  }
  std::printf("Start to first DocumentComplete of %s, %d runs (ms):\n", qPrintable(url), runs);
  PrintRow("(a) Noctivane main window", full);
  PrintRow("(b) bare QWebEngineView", bare);
  std::printf("ratio a/b: %.2f\n", Median(full) / Median(bare));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && QByteArray(argv[1]) == "--bare")
    return RunBare(argc, argv, QString::fromLocal8Bit(argv[2]));
  const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 5;
  return RunBenchmark(argc, argv, runs);
}
