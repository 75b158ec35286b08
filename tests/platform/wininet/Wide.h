#pragma once
// Wide strings for the calls that take them.
#include <QString>

#include <string>

// A null-terminated wide copy that lives as long as the object.
struct Wide {
  explicit Wide(const QString& s) : text(s.toStdU16String()) {}
  explicit Wide(const char* s) : text(QString::fromUtf8(s).toStdU16String()) {}
  operator const char16_t*() const { return text.c_str(); }
  std::u16string text;
};
