#pragma once
// File functions of the system that the units call by their own names.
#include "platform/rtl/WinTypes.h"
#include "platform/winapi/Modules.h"

inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_DISK_FULL = 112;

// Copies a file's bytes to `newFileName`. With `failIfExists` an existing
// target is kept and the copy fails (ERROR_FILE_EXISTS); otherwise it is
// overwritten. Failures set the last error: ERROR_FILE_NOT_FOUND for a
// missing source (or one that is a folder), ERROR_PATH_NOT_FOUND for a
// missing target folder, ERROR_ACCESS_DENIED, ERROR_DISK_FULL. A copy that
// fails part-way leaves no partial target behind.
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
