#pragma once
// The logging categories of the layers. Each layer declares its one category
// in its Log_p.h, NOCTIVANE_LAYER_LOG(lcCom, "noctivane.com"), and writes to it
// at debug level where a failure would otherwise leave only a result code.
// Debug messages are off unless logging rules turn them on, for instance
// QT_LOGGING_RULES="noctivane.*.debug=true".
#include <QLoggingCategory>

#define NOCTIVANE_LAYER_LOG(function, name)                  \
  inline const QLoggingCategory& function() {                \
    static const QLoggingCategory category(name, QtInfoMsg); \
    return category;                                         \
  }
