// Start-up of the shell layer: its COM classes and its modules.
#include "platform/shell/IntShCut.h"
#include "platform/shell/ShellItems.h"
#include "platform/shell/UrlHist.h"

#include <cstring>

using namespace shelldetail;

namespace {

struct DLLVERSIONINFO {
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
};

// The shell's version: 6.0 (build 2900, the Windows platform).
HRESULT DllGetVersion(DLLVERSIONINFO* info) {
  if (!info || info->cbSize < sizeof(DLLVERSIONINFO)) return E_INVALIDARG;
  info->dwMajorVersion = 6;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 2900;
  info->dwPlatformID = 2;
  return S_OK;
}

}  // namespace

void InitializeShell() {
  RegisterClassFactory(CLSID_ShellLink, &CreateShellLink);
  RegisterClassFactory(CLSID_InternetShortcut, &CreateInternetShortcut);
  RegisterClassFactory(CLSID_ShellUIHelper, &CreateShellUIHelper);
  RegisterClassFactory(CLSID_CUrlHistory, &CreateUrlHistory);
  RegisterAutoCompleteClasses();

  RegisterStandInModule(QStringLiteral("shlwapi.dll"), {{"DllGetVersion", StandInProc(&DllGetVersion)}});
  RegisterStandInModule(QStringLiteral("shell32.dll"),
                        {{"DllGetVersion", StandInProc(&DllGetVersion)},
                         {"SHGetSpecialFolderLocation", StandInProc(&SHGetSpecialFolderLocation)},
                         {"SHGetSpecialFolderPathW", StandInProc(&SHGetSpecialFolderPathW)},
                         {"SHGetFolderPathW", StandInProc(&SHGetFolderPathW)},
                         {"SHGetPathFromIDListW", StandInProc(&SHGetPathFromIDListW)},
                         {"SHGetDesktopFolder", StandInProc(&SHGetDesktopFolder)},
                         {"SHGetMalloc", StandInProc(&SHGetMalloc)},
                         {"SHGetFileInfoW", StandInProc(&SHGetFileInfoW)},
                         {"SHFileOperationW", StandInProc(&SHFileOperationW)},
                         {"ShellExecuteW", StandInProc(&ShellExecuteW)}});
}
