// Every error code the kernel and Internet layers leave in GetLastError has a
// system text for the messages built from it.
#include <gtest/gtest.h>

#include "platform/wininet/HttpInfo.h"
#include "platform/wininet/UrlCache.h"
#include "platform/wininet/WinInet.h"

TEST(ErrorTexts, EveryCodeTheLayersSetHasASystemText) {
  const DWORD codes[] = {
      ERROR_SUCCESS,
      ERROR_FILE_NOT_FOUND,
      ERROR_INVALID_HANDLE,
      ERROR_NOT_ENOUGH_MEMORY,
      ERROR_INVALID_PARAMETER,
      ERROR_INSUFFICIENT_BUFFER,
      ERROR_MOD_NOT_FOUND,
      ERROR_PROC_NOT_FOUND,
      ERROR_OLD_WIN_VERSION,
      ERROR_INVALID_WINDOW_HANDLE,
      ERROR_INVALID_HOOK_HANDLE,
      ERROR_CANNOT_FIND_WND_CLASS,
      ERROR_CLASS_ALREADY_EXISTS,
      ERROR_INVALID_HOOK_FILTER,
      ERROR_INVALID_THREAD_ID,
      ERROR_RESOURCE_DATA_NOT_FOUND,
      ERROR_RESOURCE_TYPE_NOT_FOUND,
      1401 /* invalid menu handle */,
      1413 /* invalid index */,
      5 /* access denied */,
      1814 /* resource name not found */,
      ERROR_NO_MORE_ITEMS,
      ERROR_HTTP_HEADER_NOT_FOUND,
      ERROR_HTTP_INVALID_SERVER_RESPONSE,
      ERROR_HTTP_INVALID_HEADER,
      ERROR_HTTP_INVALID_QUERY_REQUEST,
      ERROR_INTERNET_OUT_OF_HANDLES,
      ERROR_INTERNET_TIMEOUT,
      ERROR_INTERNET_INTERNAL_ERROR,
      ERROR_INTERNET_INVALID_URL,
      ERROR_INTERNET_UNRECOGNIZED_SCHEME,
      ERROR_INTERNET_NAME_NOT_RESOLVED,
      ERROR_INTERNET_INVALID_OPTION,
      ERROR_INTERNET_BAD_OPTION_LENGTH,
      ERROR_INTERNET_OPTION_NOT_SETTABLE,
      ERROR_INTERNET_LOGIN_FAILURE,
      ERROR_INTERNET_OPERATION_CANCELLED,
      ERROR_INTERNET_INCORRECT_HANDLE_TYPE,
      ERROR_INTERNET_CANNOT_CONNECT,
      ERROR_INTERNET_CONNECTION_ABORTED,
      ERROR_INTERNET_CONNECTION_RESET,
      ERROR_INTERNET_SEC_CERT_DATE_INVALID,
      ERROR_INTERNET_SEC_CERT_CN_INVALID,
      ERROR_INTERNET_INVALID_CA,
      ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
  };
  for (DWORD code : codes) EXPECT_FALSE(SysErrorMessage(code).isEmpty()) << code;
}

TEST(ErrorTexts, AFailedCallLeavesACodeWithText) {
  URL_COMPONENTSW c;
  c.dwHostNameLength = 1;
  ASSERT_FALSE(InternetCrackUrlW(u"no scheme here", 0, 0, &c));
  EXPECT_EQ(SysErrorMessage(GetLastError()), QStringLiteral("The URL does not use a recognized protocol"));
}
