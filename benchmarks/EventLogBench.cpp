// Event log benchmark: 10,000 lines logged through the tools window's events
// tab (the real TFullScreenForm, shown, with analysis and time on), timed as
// a whole and by its first and last 1,000 lines, and the log saved, against
// the same lines in a TStringList saved with SaveToFile.
//
//   EventLogBench [lines]        (10,000 by default)
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise, with
// a temporary profile and program folder.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "benchmarks/BenchSupport.h"

namespace FullScreen {
// The benchmark's way to the window's private log.
struct FullScreenEventsInternals {
  static void Log(TFullScreenForm* f, const String& name, const String& extra) {
    f->LogBrowserEvent(f->WB, name, extra, String(), String());
  }
  static void StartAnalysis(TFullScreenForm* f) {
    if (!f->FAnalysisOn) f->EV001BtnMouseUp(f->EV001Btn, mbLeft, {}, 0, 0);
  }
};
}  // namespace FullScreen

namespace {

using FullScreen::FullScreenEventsInternals;
using FullScreen::TFullScreenForm;

constexpr int kBlock = 1000;

double Ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// The name of line `i`, as the browser's events name theirs.
String LineName(int i) {
  static const char* const kNames[] = {"On Before Navigate",      "On Download Begin",
                                       "On Command State Change", "On Progress Change",
                                       "On Download Complete",    "On Document Complete"};
  return QLatin1String(kNames[i % std::size(kNames)]);
}

int Run(int lines, const QString& work) {
  InitializeProgramUnits();
  Application->SetTitle(QStringLiteral("Noctivane"));
  Application->CreateForm(Menu::MyMenuForm);
  Application->CreateForm(FullScreen::FullScreenForm);
  TFullScreenForm* f = FullScreen::FullScreenForm;
  Menu::MyMenuForm->Hide();
  f->Show();
  f->PageControl->SetActivePage(f->EventsTabSheet);
  for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
  FullScreenEventsInternals::StartAnalysis(f);
  f->EventsTimeCheckBox->SetChecked(true);
  f->DebugListBox->Clear();

  // Logging, with the window painting between blocks as it would between events.
  double first = 0, last = 0;
  QElapsedTimer total;
  total.start();
  for (int start = 0; start < lines; start += kBlock) {
    QElapsedTimer block;
    block.start();
    for (int i = start; i < std::min(lines, start + kBlock); ++i)
      FullScreenEventsInternals::Log(f, LineName(i), QStringLiteral(" (%1)").arg(i));
    QCoreApplication::processEvents();
    if (start == 0) first = Ms(block);
    last = Ms(block);
  }
  const double all = Ms(total);

  // Saving the log, and the same lines from a plain string list.
  const QString logFile = work + QStringLiteral("/log.txt");
  const QString listFile = work + QStringLiteral("/list.txt");
  QElapsedTimer save;
  save.start();
  f->DebugListBox->Items()->SaveToFile(logFile);
  const double saveMs = Ms(save);
  TStringList plain;
  plain.Assign(*f->DebugListBox->Items());
  QElapsedTimer baseline;
  baseline.start();
  plain.SaveToFile(listFile);
  const double baselineMs = Ms(baseline);

  const int logged = f->DebugListBox->Count();
  std::printf("Event log, %d lines logged (%d in the list)\n", lines, logged);
  std::printf("  total                 %8.1f ms   (target < 200 ms)\n", all);
  std::printf("  first %d lines     %8.1f ms\n", kBlock, first);
  std::printf("  last %d lines      %8.1f ms   last / first = %.2f (target <= 2)\n", kBlock, last,
              first > 0 ? last / first : 0.0);
  std::printf("  save                  %8.1f ms   (target < 50 ms)\n", saveMs);
  std::printf("  TStringList save      %8.1f ms   save / TStringList save = %.2f\n", baselineMs,
              baselineMs > 0 ? saveMs / baselineMs : 0.0);
  const bool same = QFile(logFile).size() == QFile(listFile).size();
  std::printf("  files equal in size: %s\n", same ? "yes" : "NO");
  FinalizeProgramUnits();
  return logged == lines && same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc >= 2 ? std::max(kBlock, std::atoi(argv[1])) : 10000;
  // A profile and a program folder of this run: the user's own stay as they are.
  QTemporaryDir work;
  if (!bench::PrepareRun(work)) return 2;
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));
  return Run(lines, work.path());
}
