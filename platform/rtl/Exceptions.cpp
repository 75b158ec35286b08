#include "platform/rtl/SysUtils.h"

Exception::Exception(const String& message, int helpContext) : Message(message), HelpContext(helpContext) {}

const char* Exception::what() const noexcept {
  what_ = Message.toUtf8();
  return what_.constData();
}

EOleSysError::EOleSysError(const String& message, std::int32_t errorCode, int helpContext)
    : EOleError(message, helpContext), ErrorCode(errorCode) {}

void Abort() { throw EAbort(QStringLiteral("Operation aborted")); }
