// The start-up and close-down of every unit of the program.
#include "app/Startup.h"

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbControlComponent.h"
#include "EmbeddedWB/Source/EwbCore.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "EmbeddedWB/Source/IEAddress.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/ClassLibrary.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/mapi/Mapi.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/richedit/RichEdit.h"
#include "platform/shdocvw/SHDocVw.h"
#include "platform/shell/ShlObj.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/wininet/WinInet.h"
#include "platform/winsock/WinSock.h"

namespace {

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
  EwbControlComponent::initialize();
  Menu::initialize();
  FullScreen::initialize();
}

void FinalizeUnits() {
  FullScreen::finalize();
  Menu::finalize();
  IEAddress::finalize();
  EmbeddedWB::finalize();
  EwbCore::finalize();
  EwbTools::finalize();
}

}  // namespace

void InitializeProgramUnits() {
  InitializeClassLibrary();
  InitializeRichEdit();
  InitializePlatform();
  InitializeUnits();
}

void FinalizeProgramUnits() {
  FinalizeForms();
  FinalizeUnits();
  FinalizePlatform();
}
