#include "platform/winapi/FileApi.h"

#include <QString>

#include <filesystem>
#include <system_error>

namespace {

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

DWORD errorOf(const std::error_code& ec) {
  if (ec == std::errc::no_such_file_or_directory) return ERROR_PATH_NOT_FOUND;
  if (ec == std::errc::file_exists) return ERROR_FILE_EXISTS;
  if (ec == std::errc::no_space_on_device || ec == std::errc::file_too_large) return ERROR_DISK_FULL;
  return ERROR_ACCESS_DENIED;
}

std::filesystem::path pathOf(LPCWSTR name) {
  return std::filesystem::path(QString::fromUtf16(name).toStdU16String());
}

}  // namespace

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  if (existingFileName == nullptr || newFileName == nullptr || *newFileName == 0)
    return fail(ERROR_INVALID_PARAMETER);
  const std::filesystem::path from = pathOf(existingFileName);
  const std::filesystem::path to = pathOf(newFileName);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(from, ec)) return fail(ERROR_FILE_NOT_FOUND);
  const bool existed = std::filesystem::exists(to, ec);
  if (existed && failIfExists) return fail(ERROR_FILE_EXISTS);
  const auto options =
      failIfExists ? std::filesystem::copy_options::none : std::filesystem::copy_options::overwrite_existing;
  if (std::filesystem::copy_file(from, to, options, ec)) {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  const DWORD error = errorOf(ec);
  // A target this call made is not left half-written.
  std::error_code ignored;
  if (!existed) std::filesystem::remove(to, ignored);
  return fail(error);
}
