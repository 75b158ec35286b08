// Colouring benchmark on a real page (default: library/os.html of the Python
// documentation; any page as argument), with CR LF line ends as the source
// editor hands it over:
//   (a) MB/s of THighlightHTML SetSource + WriteRtf into a memory stream,
//       against the same text copied unchanged, one byte per character, into
//       a memory stream, and the ratio of the two times;
//   (b) the time from HighlightAsHtml on a shown TRichEditWB holding the page
//       to the coloured text painted, against a bare shown QTextEdit given
//       the same text with setPlainText, and the ratio: once to the first
//       screen painted, once to the whole text laid out and painted.
//
//   HighlightBench [page]
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "EmbeddedWB/Source/HighLightHTML.h"
#include "EmbeddedWB/Source/RichEditBrowser.h"
#include "benchmarks/BenchSupport.h"
#include "platform/classlib/Forms.h"
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

// The median time of `run`, each run after its `prepare` (not timed).
template <class F, class P>
double MedianSeconds(F&& run, P&& prepare) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    prepare();
    QElapsedTimer t;
    t.start();
    run();
    times.push_back(double(t.nsecsElapsed()) / 1e9);
  }
  return bench::Median(times);
}

template <class F>
double MedianSeconds(F&& run) {
  return MedianSeconds(std::forward<F>(run), [] {});
}

// The view painted now; with `whole`, the whole text laid out first (the
// view lays out a large text a part at a time, what it shows first).
void Paint(QTextEdit* view, bool whole) {
  QTextDocument* doc = view->document();
  if (whole) doc->documentLayout()->blockBoundingRect(doc->lastBlock());
  view->viewport()->repaint();
  QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  const QTemporaryDir work;
  if (!bench::PrepareRun(work)) return 1;
  QApplication app(argc, argv);
  InitializeForms();
  RichEditBrowser::initialize();
  const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                : QStringLiteral("/usr/share/doc/python3/html/library/os.html");
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
  std::fflush(stdout);

  // (b) Both views the same size on a shown form each.
  TForm form(nullptr);
  form.SetBounds(0, 0, 900, 700);
  auto* editor = new RichEditBrowser::TRichEditWB(&form);
  editor->SetParent(&form);
  editor->SetBounds(0, 0, 880, 660);
  form.Show();
  QTextEdit bare;
  bare.resize(editor->TextEdit()->size());
  bare.show();
  QCoreApplication::processEvents();

  // Each run starts from the page shown as plain text, laid out whole.
  const auto editorRun = [&](bool whole) {
    return MedianSeconds(
        [&] {
          editor->HighlightAsHtml();
          Paint(editor->TextEdit(), whole);
        },
        [&] {
          editor->SetPlainText(true);
          editor->SetText(text);
          Paint(editor->TextEdit(), true);
        });
  };
  const auto bareRun = [&](bool whole) {
    return MedianSeconds(
        [&] {
          bare.setPlainText(text);
          Paint(&bare, whole);
        },
        [&] {
          bare.clear();
          Paint(&bare, true);
        });
  };
  for (const bool whole : {false, true}) {
    const double coloured = editorRun(whole);
    const double shown = bareRun(whole);
    std::printf("(b) %s: coloured in the editor %.3f s, bare view %.3f s, ratio %.1f (target: ratio <= 20)\n",
                whole ? "whole text laid out" : "first screen painted", coloured, shown, coloured / shown);
  }
  return 0;
}
