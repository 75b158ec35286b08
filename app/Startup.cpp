// The start-up and close-down of every unit of the program.
#include "app/Startup.h"

#include "EmbeddedWB/Source/EditDesigner.h"
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/EwbControlComponent.h"
#include "EmbeddedWB/Source/EwbCore.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "EmbeddedWB/Source/ExportFavorites.h"
#include "EmbeddedWB/Source/FavoritesListView.h"
#include "EmbeddedWB/Source/FavoritesPopup.h"
#include "EmbeddedWB/Source/HighLightHTML.h"
#include "EmbeddedWB/Source/HistoryListView.h"
#include "EmbeddedWB/Source/HistoryMenu.h"
#include "EmbeddedWB/Source/IEAddress.h"
#include "EmbeddedWB/Source/IECache.h"
#include "EmbeddedWB/Source/IEDownload.h"
#include "EmbeddedWB/Source/IEParser.h"
#include "EmbeddedWB/Source/ImportFavorites.h"
#include "EmbeddedWB/Source/RichEditBrowser.h"
#include "EmbeddedWB/Source/SecurityManager.h"
#include "EmbeddedWB/Source/SendMail_For_Ewb.h"
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
  // Without TZ the C library looks at /etc/localtime again for every local
  // time it works out; listing thousands of cache and history entries would
  // spend most of its time there. Named once, the zone is read once.
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
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
  ExportFavorites::initialize();
  ImportFavorites::initialize();
  SendMail_For_Ewb::initialize();
  HistoryMenu::initialize();
  HistoryListView::initialize();
  FavoritesPopup::initialize();
  FavoritesListView::initialize();
  SecurityManager::initialize();
  IEDownload::initialize();
  HighLightHTML::initialize();
  RichEditBrowser::initialize();
  EditDesigner::initialize();
  EwbControlComponent::initialize();
  IEParser::initialize();
  IECache::initialize();
  Menu::initialize();
  FullScreen::initialize();
}

void FinalizeUnits() {
  FullScreen::finalize();
  Menu::finalize();
  IEParser::finalize();
  FavoritesListView::finalize();
  FavoritesPopup::finalize();
  HistoryListView::finalize();
  HistoryMenu::finalize();
  IEDownload::finalize();
  SecurityManager::finalize();
  EditDesigner::finalize();
  RichEditBrowser::finalize();
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
