// Download benchmark: one loopback server serves a 200 MB file with a
// Content-Length; alternately, three times each, (a) the curl program and (b)
// the download component (dmFile, OnProgress assigned) fetch it into files
// that are checked against the source. Prints the medians, MB/s, (b)'s peak
// memory growth and the ratio a / b of the median times.
//
//   DownloadBench                  the loopback measurement
//   DownloadBench --url <address>  the same for another address; both files
//                                  are kept and compared with each other
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <thread>

#include <unistd.h>
#include <vector>

#include "EmbeddedWB/Source/IEDownload.h"
#include "app/Startup.h"
#include "platform/classlib/Forms.h"

// After the platform headers: the resolver headers it pulls in define NOERROR.
#include <httplib.h>

namespace {

constexpr qint64 kSize = 200LL * 1024 * 1024;

qint64 statusKb(const char* field) {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
  return 0;
}

QByteArray fileHash(const QString& path) {
  QFile f(path);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f)) return QByteArray();
  return hash.result();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// (a): the curl program; seconds, or -1 on failure.
double runCurl(const QString& url, const QString& target) {
  QElapsedTimer t;
  t.start();
  const int rc = QProcess::execute("curl", {"-s", "-o", target, url});
  return rc == 0 ? t.elapsed() / 1000.0 : -1;
}

// (b): the component; seconds, or -1 on failure. `notifications` counts the
// progress reports it raised.
double runComponent(const QString& url, const QString& folder, const QString& name, qint64& notifications) {
  IEDownload::TIEDownload dl(nullptr);
  dl.Loaded();
  dl.SetDownloadFolder(folder);
  dl.SetFileName(name);
  qint64 progressCalls = 0;
  dl.OnProgress = [&](IEDownload::TBSCB*, ULONG, ULONG, ULONG, ULONG, LPCWSTR, const String&, const String&,
                      const String&, const String&, const String&, const String&) { ++progressCalls; };
  bool ok = false;
  dl.OnComplete = [&](IEDownload::TCustomIEDownload*, const String&, const String&, const String&,
                      const String&, int) { ok = true; };
  dl.OnError = [](int code, const String& text) {
    std::printf("  component error %d: %s\n", code, qPrintable(text));
  };
  QElapsedTimer t;
  t.start();
  if (!dl.Go(url)) return -1;
  while (dl.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  notifications = progressCalls;
  return ok ? t.elapsed() / 1000.0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir profile;
  qputenv("NOCTIVANE_PROFILE", profile.path().toLocal8Bit());
  QApplication app(argc, argv);
  InitializeProgramUnits();
  QTemporaryDir work;
  const QStringList args = app.arguments();
  const int urlAt = int(args.indexOf("--url"));
  const bool external = urlAt > 0 && urlAt + 1 < args.size();

  QByteArray source;
  httplib::Server server;
  std::thread serving;
  QString url;
  if (external) {
    url = args[urlAt + 1];
  } else {
    source.resize(kSize);
    for (qint64 i = 0; i < kSize; ++i) source[i] = char((i * 131) ^ (i >> 12));
    server.Get("/big.bin", [&](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(size_t(source.size()), "application/octet-stream",
                               [&](size_t offset, size_t length, httplib::DataSink& sink) {
                                 sink.write(source.constData() + offset, std::min<size_t>(length, 1 << 20));
                                 return true;
                               });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    serving = std::thread([&] { server.listen_after_bind(); });
    url = QStringLiteral("http://127.0.0.1:%1/big.bin").arg(port);
  }
  const QByteArray sourceHash =
      external ? QByteArray() : QCryptographicHash::hash(source, QCryptographicHash::Sha256);

  std::vector<double> a, b;
  qint64 peakGrowthKb = 0;
  bool allGood = true;
  QString lastCurl, lastComponent;
  for (int run = 0; run < 3; ++run) {
    lastCurl = work.filePath(QStringLiteral("curl-%1.bin").arg(run));
    // Each fetch starts with no dirty pages of the one before: the write-back
    // of one fetch's file would otherwise slow down the next.
    ::sync();
    const double ta = runCurl(url, lastCurl);
    ::sync();
    const qint64 before = statusKb("VmRSS:");
    // The peak is measured against the resident size before the run.
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
    clear.close();
    lastComponent = work.filePath(QStringLiteral("component-%1.bin").arg(run));
    qint64 notifications = 0;
    const double tb = runComponent(url, work.path(), QFileInfo(lastComponent).fileName(), notifications);
    peakGrowthKb = std::max(peakGrowthKb, statusKb("VmHWM:") - before);
    const bool good = ta > 0 && tb > 0 &&
                      (external ? fileHash(lastCurl) == fileHash(lastComponent)
                                : fileHash(lastCurl) == sourceHash && fileHash(lastComponent) == sourceHash);
    allGood = allGood && good;
    std::printf("run %d: curl %.2f s, component %.2f s (%lld progress reports)%s\n", run + 1, ta, tb,
                static_cast<long long>(notifications), good ? "" : "  (files differ!)");
    a.push_back(ta);
    b.push_back(tb);
    if (!external) {
      QFile::remove(lastCurl);
      QFile::remove(lastComponent);
    }
  }
  const double size = external ? double(QFileInfo(lastCurl).size()) : double(kSize);
  const double ma = median(a), mb = median(b);
  std::printf("median curl %.2f s (%.1f MB/s), component %.2f s (%.1f MB/s)\n", ma, size / 1048576.0 / ma, mb,
              size / 1048576.0 / mb);
  std::printf("component peak memory growth: %.1f MB\n", double(peakGrowthKb) / 1024.0);
  std::printf("ratio a/b: %.2f (target at least 0.8)\n", mb > 0 ? ma / mb : 0.0);
  if (external) {
    std::printf("files kept: %s %s\n", qPrintable(lastCurl), qPrintable(lastComponent));
    work.setAutoRemove(false);
  }
  if (!external) {
    server.stop();
    serving.join();
  }
  FinalizeProgramUnits();
  return allGood ? 0 : 1;
}
