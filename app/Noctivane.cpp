// The program's main block: the Qt application, every unit's start-up in link
// order, the application object and its two forms, the message loop, and the
// close-down of the units in reverse order.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Folders.h"

namespace {

// ---- start-up benchmark hook ------------------------------------------------
// With NOCTIVANE_BENCH_EXIT_ON_COMPLETE set, the first complete document of
// the main window prints "DocumentComplete <ms since the program started>
// <address>" and closes the program. The start-up benchmark measures with it.
void ExitOnFirstDocumentComplete(const QElapsedTimer& started) {
  if (qEnvironmentVariableIsEmpty("NOCTIVANE_BENCH_EXIT_ON_COMPLETE")) return;
  EmbeddedWB::TEmbeddedWB* wb = Menu::MyMenuForm->WB;
  wb->OnDocumentComplete = [previous = wb->OnDocumentComplete, &started, reported = false](
                               TObject* sender, IDispatch* pDisp, const OleVariant& url) mutable {
    if (previous) previous(sender, pDisp, url);
    if (reported) return;
    reported = true;
    std::printf("DocumentComplete %lld %s\n", static_cast<long long>(started.elapsed()),
                url.toString().toUtf8().constData());
    std::fflush(stdout);
    QTimer::singleShot(0, [] {
      Menu::MyMenuForm->Close();
      if (!Application->Terminated()) Application->Terminate();
    });
  };
}
// -----------------------------------------------------------------------------

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer started;
  started.start();
  // Before any thread: it changes the environment.
  KeepHomeInsideProfile();
  // The engine's views share one graphics context with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication qtApp(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));

  InitializeProgramUnits();
  int exitCode = 0;
  try {
    Application->Initialize();
    Application->SetMainFormOnTaskbar(true);
    Application->SetTitle(QStringLiteral("Noctivane"));
    Application->CreateForm(Menu::MyMenuForm);
    ExitOnFirstDocumentComplete(started);
    Application->CreateForm(FullScreen::FullScreenForm);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
    exitCode = 1;
  }
  FinalizeProgramUnits();
  return exitCode;
}
