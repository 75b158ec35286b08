// The program's main block: the Qt application, every unit's start-up in link
// order, the application object and its forms, the message loop, and the
// close-down of the units in reverse order.
#include <QApplication>

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
  InitializeGauges();
}

void FinalizeClassLibrary() { FinalizeForms(); }

}  // namespace

TForm* MainWindow = nullptr;

int main(int argc, char** argv) {
  // The engine's views share one graphics context with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication qtApp(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Noctivane"));

  InitializeClassLibrary();
  int exitCode = 0;
  try {
    Application->Initialize();
    Application->SetMainFormOnTaskbar(true);
    Application->SetTitle(QStringLiteral("Noctivane"));
    Application->CreateForm(MainWindow);
    MainWindow->SetCaption(QStringLiteral("Noctivane"));
    MainWindow->SetBounds(0, 0, 800, 600);
    MainWindow->SetVisible(true);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
    exitCode = 1;
  }
  FinalizeClassLibrary();
  return exitCode;
}
