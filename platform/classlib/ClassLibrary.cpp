#include "platform/classlib/ClassLibrary.h"

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
