// The program's main block: the Qt application, every unit's start-up in link
// order, the application object and its two forms, the message loop, and the
// close-down of the units in reverse order.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbCore.h"
#include "EmbeddedWB/Source/IEAddress.h"
#include "platform/classlib/CheckLst.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/Graphics.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/mapi/Mapi.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/richedit/RichEdit.h"
#include "platform/shdocvw/SHDocVw.h"
#include "platform/shell/ShlObj.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/wininet/WinInet.h"
#include "platform/winsock/WinSock.h"

namespace {

// The class library's units, in link order.
void InitializeClassLibrary() {
  RegisterGraphicsIdents();
  InitializeControls();
  InitializeForms();
  InitializeMenus();
  InitializeDialogs();
  InitializeExtCtrls();
  InitializeExtControls();
  InitializeStdCtrls();
  InitializeCheckLst();
  InitializeComCtrls();
  InitializeRichEdit();
  InitializeGauges();
}

// The platform's network, shell and browser modules the browser units load.
void InitializePlatform() {
  InitializeWinSock();
  InitializeWinInet();
  InitializeUrlMon();
  InitializeShell();
  InitializeMsHtml();
  InitializeSHDocVw();
  InitializeMapi();
}

void FinalizePlatform() {
  FinalizeMsHtml();
  FinalizeUrlMon();
  FinalizeWinInet();
}

// The program's own units, in link order. The browser units start OLE, so it
// is there before the first form is made.
void InitializeUnits() {
  EwbCore::initialize();
  EmbeddedWB::initialize();
  IEAddress::initialize();
  Menu::initialize();
  FullScreen::initialize();
}

void FinalizeUnits() {
  FullScreen::finalize();
  Menu::finalize();
  IEAddress::finalize();
  EmbeddedWB::finalize();
  EwbCore::finalize();
}

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
  // The engine's views share one graphics context with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication qtApp(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));

  InitializeClassLibrary();
  InitializePlatform();
  InitializeUnits();
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
  // The forms go with the application object, last created first, while
  // every unit they use is still there.
  FinalizeForms();
  FinalizeUnits();
  FinalizePlatform();
  return exitCode;
}
