// Navigation benchmark: the time from asking for a page to its complete
// document,
//   (a) through the main window's browser (the real TMyMenuForm, made as the
//       program makes it, with every handler it binds and everything the
//       browser records per page: history, cache record, events), and
//   (b) through a bare QWebEngineView in a plain window of the same size,
// alternately, in one process, over the same pages: a small page, a 200 KB
// page and a 1 MB page written into a temporary folder. The pages are served
// from memory by a loopback HTTP server (127.0.0.1, ephemeral port), uncached,
// so that the browser also keeps each page in its Internet cache, and read
// as file:// addresses.
//
//   NavigateBench [navigations]     (100 per kind of address by default)
//
// It prints the median per navigation of each, the host's overhead in
// milliseconds and the ratio a / b. Between two navigations the event loop
// runs for a short pause, as a person's reading would let it; what the host
// does after a page completed happens there.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWidget>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "benchmarks/BenchSupport.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Registry.h"
#include "platform/wininet/UrlCache.h"

// After the program's headers: the resolver header under it defines NOERROR.
#include <httplib.h>

namespace {

constexpr int kTimeoutMs = 30000;
constexpr int kPauseMs = 50;

// ---------------------------------------------------------------- pages

struct Page {
  const char* name;
  qint64 bytes;  // about this size
};
constexpr Page kPages[] = {{"small", 2 * 1024}, {"medium", 200 * 1024}, {"large", 1024 * 1024}};

// An ordinary page of about `bytes`: headings, paragraphs with links, lists
// and a table now and then.
bool WritePage(const QString& file, const char* title, qint64 bytes) {
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly)) return false;
  QTextStream s(&f);
  s << "<!DOCTYPE html><html><head><meta charset='utf-8'><title>" << title
    << "</title><style>body{font:14px sans-serif;margin:1em}td{border:1px solid #ccc}</style></head><body>"
    << "<h1>" << title << "</h1>";
  for (int i = 0; f.pos() + s.pos() < bytes; ++i) {
    if (i % 20 == 0) s << "<h2>Section " << i / 20 << "</h2><ul><li>one</li><li>two</li><li>three</li></ul>";
    if (i % 50 == 25)
      s << "<table><tr><td>a " << i
        << "</td><td>b</td><td>c</td></tr><tr><td>d</td><td>e</td><td>f</td></tr></table>";
    s << "<p id='p" << i << "'>Paragraph " << i << " of the page, with <a href='#p" << i
      << "'>a link</a>, <b>bold</b> and <i>slanted</i> words to lay out.</p>";
    s.flush();
  }
  s << "</body></html>";
  return true;
}

// ---------------------------------------------------------------- waiting

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kTimeoutMs) {
  return bench::WaitUntil(done, timeoutMs);
}

void Pause(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// The pause after a navigation: the event loop runs for a while, and what
// the browser still writes of the page (its cache record) is finished before
// the next one is timed, so that it is not counted against the other browser.
void Settle() {
  Pause(kPauseMs);
  CacheWaitForStores(kTimeoutMs);
}

using bench::Median;

// ---------------------------------------------------------------- the two browsers

// The main window's browser: the time from Go to its DocumentComplete (after
// the window's own handler ran).
class HostBrowser {
 public:
  explicit HostBrowser(EmbeddedWB::TEmbeddedWB* wb) : wb_(wb) {
    wb_->OnDocumentComplete = [this, previous = wb_->OnDocumentComplete](TObject* sender, IDispatch* pDisp,
                                                                         const OleVariant& url) {
      if (previous) previous(sender, pDisp, url);
      if (url.toString() == expected_) {
        elapsed_ = timer_.nsecsElapsed() / 1e6;
        complete_ = true;
      }
    };
  }
  // Milliseconds, or a negative value when the page did not complete.
  double Navigate(const QString& url) {
    expected_ = url;
    complete_ = false;
    timer_.start();
    wb_->Go(url, 0);
    return WaitUntil([this] { return complete_; }) ? elapsed_ : -1;
  }

 private:
  EmbeddedWB::TEmbeddedWB* wb_;
  QString expected_;
  QElapsedTimer timer_;
  bool complete_ = false;
  double elapsed_ = 0;
};

// A bare view in a window of its own: the time from load to loadFinished.
class BareBrowser {
 public:
  BareBrowser(const QString& storage, QSize size) : profile_(QStringLiteral("NavigateBenchBare")) {
    profile_.setPersistentStoragePath(storage);
    profile_.setCachePath(storage + QStringLiteral("/Cache"));
    auto* layout = new QVBoxLayout(&window_);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new QWebEngineView(&window_);
    view_->setPage(new QWebEnginePage(&profile_, view_));
    layout->addWidget(view_);
    window_.resize(size);
    window_.show();
    QObject::connect(view_, &QWebEngineView::loadFinished, view_, [this](bool) {
      if (view_->url().toString() == expected_) {
        elapsed_ = timer_.nsecsElapsed() / 1e6;
        complete_ = true;
      }
    });
  }
  ~BareBrowser() { delete view_; }
  double Navigate(const QString& url) {
    expected_ = url;
    complete_ = false;
    timer_.start();
    view_->load(QUrl(url));
    return WaitUntil([this] { return complete_; }) ? elapsed_ : -1;
  }

 private:
  QWebEngineProfile profile_;
  QWidget window_;
  QWebEngineView* view_ = nullptr;
  QString expected_;
  QElapsedTimer timer_;
  bool complete_ = false;
  double elapsed_ = 0;
};

struct Series {
  std::vector<double> host, bare;
  std::vector<double> pairs;  // a - b of each round
  std::vector<double> hostBySize[std::size(kPages)], bareBySize[std::size(kPages)];
};

void PrintSeries(const char* title, const Series& s) {
  std::printf("%s, %zu navigations of each (median ms per navigation):\n", title, s.host.size());
  std::printf("  %-28s %8s %8s %8s %8s\n", "", "all", kPages[0].name, kPages[1].name, kPages[2].name);
  std::printf("  %-28s %8.1f", "(a) main window's browser", Median(s.host));
  for (const auto& v : s.hostBySize) std::printf(" %8.1f", Median(v));
  std::printf("\n  %-28s %8.1f", "(b) bare QWebEngineView", Median(s.bare));
  for (const auto& v : s.bareBySize) std::printf(" %8.1f", Median(v));
  std::printf("\n  %-28s %8.1f", "overhead a - b (ms)", Median(s.host) - Median(s.bare));
  for (size_t i = 0; i < std::size(kPages); ++i)
    std::printf(" %8.1f", Median(s.hostBySize[i]) - Median(s.bareBySize[i]));
  std::printf("\n  %-28s %8.1f", "median of a - b per round", Median(s.pairs));
  std::printf("\n  %-28s %8.2f", "ratio a / b", Median(s.host) / Median(s.bare));
  for (size_t i = 0; i < std::size(kPages); ++i)
    std::printf(" %8.2f", Median(s.hostBySize[i]) / Median(s.bareBySize[i]));
  std::printf("\n");
  std::fflush(stdout);
}

// `navigations` navigations of each browser over the pages in turn, one of
// the host, then one of the bare view.
bool RunSeries(HostBrowser& host, BareBrowser& bare, const QStringList& urls, int navigations, Series& out) {
  // One round over the pages first, not counted: it warms the engine and the
  // file caches.
  for (int i = -int(urls.size()); i < navigations; ++i) {
    const size_t which = size_t((i + urls.size()) % urls.size());
    // Each goes first in every other round, so that neither always follows
    // the other's leftovers.
    double a = 0, b = 0;
    if (i % 2 == 0) {
      a = host.Navigate(urls[which]);
      Settle();
      b = bare.Navigate(urls[which]);
      Settle();
    } else {
      b = bare.Navigate(urls[which]);
      Settle();
      a = host.Navigate(urls[which]);
      Settle();
    }
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "%s did not complete %s\n", a < 0 ? "the main window" : "the bare view",
                   qPrintable(urls[which]));
      return false;
    }
    if (i < 0) continue;
    out.host.push_back(a);
    out.pairs.push_back(a - b);
    out.bare.push_back(b);
    out.hostBySize[which].push_back(a);
    out.bareBySize[which].push_back(b);
  }
  return true;
}

int Run(int navigations, const QString& work) {
  // The pages, and a server that hands them out uncached, so that every
  // navigation of either browser fetches its page.
  const QString pages = work + QStringLiteral("/pages");
  QDir().mkpath(pages);
  QStringList files;
  for (const Page& p : kPages) {
    const QString file = pages + QStringLiteral("/%1.html").arg(QLatin1String(p.name));
    if (!WritePage(file, p.name, p.bytes)) return 2;
    files << file;
  }
  std::map<std::string, std::string> bodies;
  for (int i = 0; i < files.size(); ++i) {
    QFile f(files[i]);
    if (!f.open(QIODevice::ReadOnly)) return 2;
    bodies[std::string("/") + kPages[i].name + ".html"] = f.readAll().toStdString();
  }
  httplib::Server server;
  server.Get(R"(/\w+\.html)", [&bodies](const httplib::Request& req, httplib::Response& res) {
    const auto page = bodies.find(req.path);
    if (page == bodies.end()) {
      res.status = 404;
      return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(page->second, "text/html; charset=utf-8");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&server] { server.listen_after_bind(); });
  struct Stop {
    httplib::Server& server;
    std::thread& thread;
    ~Stop() {
      server.stop();
      thread.join();
    }
  } stop{server, serving};
  QStringList httpUrls, fileUrls;
  for (const Page& p : kPages)
    httpUrls << QStringLiteral("http://127.0.0.1:%1/%2.html").arg(port).arg(QLatin1String(p.name));
  for (const QString& f : files) fileUrls << QUrl::fromLocalFile(f).toString();

  // The program as its main block makes it, starting on a blank page.
  if (!bench::StartOnBlankPage()) return 2;
  InitializeProgramUnits();
  int result = 0;
  {
    Application->Initialize();
    Application->SetMainFormOnTaskbar(true);
    Application->SetTitle(QStringLiteral("Noctivane"));
    Application->CreateForm(Menu::MyMenuForm);
    Application->CreateForm(FullScreen::FullScreenForm);
    EmbeddedWB::TEmbeddedWB* wb = Menu::MyMenuForm->WB;
    if (!WaitUntil([wb] { return wb->ReadyState() == READYSTATE_COMPLETE && !wb->Busy(); })) {
      std::fprintf(stderr, "the main window did not show its start page\n");
      result = 1;
    } else {
      HostBrowser host(wb);
      BareBrowser bare(work + QStringLiteral("/bare"), QSize(wb->Width(), wb->Height()));
      Series http, file;
      if (!RunSeries(host, bare, httpUrls, navigations, http) ||
          !RunSeries(host, bare, fileUrls, navigations, file)) {
        result = 1;
      } else {
        PrintSeries("Pages from a loopback HTTP server", http);
        PrintSeries("Pages from file:// addresses", file);
      }
    }
  }
  FinalizeProgramUnits();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int navigations = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 100;
  QTemporaryDir work;
  if (!bench::PrepareRun(work)) return 2;
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));
  return Run(navigations, work.path());
}
