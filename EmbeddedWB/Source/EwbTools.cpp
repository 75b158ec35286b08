#include "EmbeddedWB/Source/EwbTools.h"

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/classlib/Forms.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/rtl/Registry.h"
#include "platform/winapi/Modules.h"

namespace EwbTools {

namespace {

// The program's own registry key below HKEY_LOCAL_MACHINE: "SOFTWARE\" and
// the application's title.
String programKey() {
  return QStringLiteral("SOFTWARE\\") + (::Application ? ::Application->Title() : String());
}

}  // namespace

// ---------------------------------------------------------------- page content and capture

bool HasHTMLDocument(IUnknown* Obj) {
  if (!Obj) return false;
  ComPtr<IHTMLDocument2> doc;
  return SUCCEEDED(Obj->QueryInterface(IID_IHTMLDocument2, &doc)) && doc;
}

// The routines below that answer failure or do nothing are completed with
// the page content and capture work.

void DocumentToStrings(const OleVariant&, String& Result) { Result.clear(); }

void DocumentTextToStrings(const OleVariant&, IUnknown*, String& Result) { Result.clear(); }

bool SetDocumentCharset(TEmbeddedWB*, IUnknown*, const String&, bool) { return false; }

void DrawDocumentToImage(IUnknown*, TImage*) {}

bool SnapshotToBitmap(IUnknown*, HWND, int, int, const String&) { return false; }

bool SnapshotToJpeg(IUnknown*, IWebBrowser2*, const String&, int, int, int, int) { return false; }

void PrintPreview(IWebBrowser2*) {}

int OrganizeFavorites(HWND) { return 0; }

bool ShowFindDialog(IUnknown*) { return false; }

HRESULT ExecDocumentCommand(IUnknown*, bool, DWORD, const OleVariant&, OleVariant&, DWORD) { return S_FALSE; }

void SendPageByMail(TEmbeddedWB*, TComponent*, IUnknown*, const String&, const String&, const String&) {}

// ---------------------------------------------------------------- shell

bool IsXPSP2OrNewer() {
  using VerifyProc = BOOL (*)(OSVERSIONINFOEXA*, DWORD, ULONGLONG);
  using MaskProc = ULONGLONG (*)(ULONGLONG, DWORD, BYTE);
  HMODULE kernel = LoadLibraryW(u"kernel32.dll");
  if (!kernel) return false;
  auto verify = reinterpret_cast<VerifyProc>(GetProcAddress(kernel, "VerifyVersionInfoA"));
  auto mask = reinterpret_cast<MaskProc>(GetProcAddress(kernel, "VerSetConditionMask"));
  if (!verify || !mask) return false;
  OSVERSIONINFOEXA info;
  info.dwMajorVersion = 5;
  info.dwMinorVersion = 1;
  info.wServicePackMajor = 2;
  info.wServicePackMinor = 0;
  ULONGLONG condition = 0;
  condition = mask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = mask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = mask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  condition = mask(condition, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
  return verify(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR,
                condition) != 0;
}

// The routines below that answer failure or do nothing are completed with
// the shell and shortcut work.

void GetIEFileVersion(String& Version) { Version.clear(); }

void GetIEMajorVersion(String& Version) { Version.clear(); }

void GetFavoritesFolder(String& Path) { Path.clear(); }

void GetHistoryFolder(String& Path) { Path.clear(); }

void AddToFavorites(const String&, const String&) {}

void ClearHistory() {}

// ---------------------------------------------------------------- settings stores

void SaveFormSize(TObject*) {
  TCustomForm* form = ::Application ? ::Application->MainForm() : nullptr;
  if (!form) return;
  try {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(programKey() + QStringLiteral("\\FormSize"), true)) return;
    reg.WriteInteger(QStringLiteral("Top"), form->Top());
    reg.WriteInteger(QStringLiteral("Left"), form->Left());
    reg.WriteInteger(QStringLiteral("Width"), form->Width());
    reg.WriteInteger(QStringLiteral("Height"), form->Height());
    reg.WriteInteger(QStringLiteral("WindowState"), int(form->WindowState()));
    reg.CloseKey();
  } catch (const Exception&) {
    // A store that refuses writes keeps what it had.
  }
}

bool LoadLastVisitedPage(String& URL) {
  URL.clear();
  try {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(programKey() + QStringLiteral("\\WebPages"), false)) return false;
    URL = reg.ReadString(QStringLiteral("LastVisitedPage"));
    reg.CloseKey();
  } catch (const Exception&) {
    return false;
  }
  return !URL.isEmpty() && URL.contains(QLatin1Char('.'));
}

bool SaveLastVisitedPage(const String& URL) {
  try {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(programKey(), true) || !reg.OpenKey(QStringLiteral("WebPages"), true)) return false;
    reg.WriteString(QStringLiteral("LastVisitedPage"), URL);
    reg.CloseKey();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void SetIEStartPage(const String& URL) {
  try {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKey(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main"), true)) return;
    reg.WriteString(QStringLiteral("Start Page"), URL);
    reg.CloseKey();
  } catch (const Exception&) {
    // A store that refuses writes keeps the old start page.
  }
}

// The routines below that answer failure or do nothing are completed with
// the proxy, sound and network work.

void ToggleNavigationSound(bool) {}

bool SetProxy(const String&, const String&) { return false; }

bool SetProxyWithLogin(const String&, const String&, const String&, Word, const String&) { return false; }

bool RemoveProxy() { return false; }

bool CheckWinsock(String&, String&, String&) { return false; }

bool PageSecurityText(const OleVariant&, const String&, String&, String&) { return false; }

// ---------------------------------------------------------------- navigation

void NavigateTo(TEmbeddedWB* Browser, const String& URL) {
  if (!Browser || Trim(URL).isEmpty()) return;
  Browser->Navigate2(OleVariant(URL), OleVariant(0), OleVariant(0), OleVariant(0), OleVariant(0));
}

// The web-mail and search pages are completed with the main window's web-mail
// and search work.
bool GoWebmailA(TEmbeddedWB*) { return false; }
bool GoWebmailB(TEmbeddedWB*) { return false; }
bool GoWebmailC(TEmbeddedWB*) { return false; }
void SearchWeb(TEmbeddedWB*, const String&) {}

bool GoAboutBlank(TEmbeddedWB* Browser) {
  if (!Browser) return false;
  Browser->Go(QStringLiteral("about:blank"));
  return WaitUntilReady(Browser);
}

bool WaitUntilReady(TEmbeddedWB* Browser) { return Browser && Browser->Wait(0); }

}  // namespace EwbTools
