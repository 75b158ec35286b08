// The kernel's folder calls over the file system.
#include "platform/winapi/Windows.h"

#include <QDir>
#include <QFileInfo>

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  const String path =
      pathName ? ExcludeTrailingPathDelimiter(NormalizePath(String::fromUtf16(pathName))) : String();
  if (path.isEmpty()) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  const QFileInfo info(path);
  if (info.exists() || info.isSymLink()) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (!QFileInfo(info.absolutePath()).isDir()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (!QDir().mkdir(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
