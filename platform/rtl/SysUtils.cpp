#include "platform/rtl/SysUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

// ================================================================ strings

namespace {

bool isAsciiLower(char16_t c) { return c >= u'a' && c <= u'z'; }
bool isAsciiUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
char16_t asciiUpper(char16_t c) { return isAsciiLower(c) ? char16_t(c - 32) : c; }

// Compares unit by unit after `map`; the result is the difference of the first
// differing units, or of the lengths.
template <typename Map>
int compareUnits(const String& a, const String& b, Map map) {
  const qsizetype n = qMin(a.size(), b.size());
  for (qsizetype i = 0; i < n; ++i) {
    const int d = int(map(a[i].unicode())) - int(map(b[i].unicode()));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

int Pos(const String& sub, const String& s, int offset) {
  if (sub.isEmpty()) return 0;
  if (offset < 1) offset = 1;
  if (offset > s.size()) return 0;
  return int(s.indexOf(sub, offset - 1)) + 1;
}

String Copy(const String& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || index > s.size()) return String();
  return s.mid(index - 1, qMin<qsizetype>(count, s.size() - (index - 1)));
}

void Delete(String& s, int index, int count) {
  if (index < 1 || index > s.size() || count <= 0) return;
  s.remove(index - 1, qMin<qsizetype>(count, s.size() - (index - 1)));
}

void Insert(const String& sub, String& s, int index) {
  const qsizetype at = qBound(qsizetype(1), qsizetype(index), s.size() + 1) - 1;
  s.insert(at, sub);
}

int Length(const String& s) { return int(s.size()); }

String Trim(const String& s) { return TrimRight(TrimLeft(s)); }

String TrimLeft(const String& s) {
  qsizetype i = 0;
  while (i < s.size() && s[i].unicode() <= u' ') ++i;
  return s.mid(i);
}

String TrimRight(const String& s) {
  qsizetype n = s.size();
  while (n > 0 && s[n - 1].unicode() <= u' ') --n;
  return s.left(n);
}

String LowerCase(const String& s) {
  String r = s;
  for (QChar& c : r)
    if (isAsciiUpper(c.unicode())) c = QChar(char16_t(c.unicode() + 32));
  return r;
}

String UpperCase(const String& s) {
  String r = s;
  for (QChar& c : r)
    if (isAsciiLower(c.unicode())) c = QChar(char16_t(c.unicode() - 32));
  return r;
}

String AnsiLowerCase(const String& s) { return s.toLower(); }
String AnsiUpperCase(const String& s) { return s.toUpper(); }

int CompareStr(const String& a, const String& b) {
  return compareUnits(a, b, [](char16_t c) { return c; });
}

int CompareText(const String& a, const String& b) { return compareUnits(a, b, asciiUpper); }

bool SameText(const String& a, const String& b) { return a.size() == b.size() && CompareText(a, b) == 0; }

int AnsiCompareText(const String& a, const String& b) { return a.compare(b, Qt::CaseInsensitive); }

bool AnsiSameText(const String& a, const String& b) { return AnsiCompareText(a, b) == 0; }

bool StartsText(const String& sub, const String& s) { return s.startsWith(sub, Qt::CaseInsensitive); }

bool EndsText(const String& sub, const String& s) { return s.endsWith(sub, Qt::CaseInsensitive); }

String QuotedStr(const String& s) {
  String r = s;
  r.replace(QLatin1Char('\''), QLatin1String("''"));
  return QLatin1Char('\'') + r + QLatin1Char('\'');
}

String StringOfChar(QChar c, int count) { return count > 0 ? String(count, c) : String(); }

String StringReplace(const String& s, const String& oldPattern, const String& newPattern, int flags) {
  if (oldPattern.isEmpty()) return s;
  const Qt::CaseSensitivity cs =
      (flags & int(TReplaceFlag::rfIgnoreCase)) ? Qt::CaseInsensitive : Qt::CaseSensitive;
  const bool all = flags & int(TReplaceFlag::rfReplaceAll);
  String result;
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = s.indexOf(oldPattern, from, cs);
    if (at < 0) break;
    result += QStringView(s).mid(from, at - from);
    result += newPattern;
    from = at + oldPattern.size();
    if (!all) break;
  }
  result += QStringView(s).mid(from);
  return result;
}

// ================================================================ numbers

namespace {

String hexDigits(std::uint64_t value, int digits) {
  String r = QString::number(value, 16).toUpper();
  if (r.size() < digits) r.prepend(String(digits - r.size(), QLatin1Char('0')));
  return r;
}

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool hasNonZeroDigit(const String& s) {
  for (QChar c : s)
    if (c >= u'1' && c <= u'9') return true;
  return false;
}

// Parses decimal or "$"/"0x" hexadecimal text into a `bits`-wide signed integer.
// Hexadecimal text is a bit pattern: "$FFFFFFFF" is -1 for 32 bits.
bool parseInteger(const String& s, int bits, Int64& out) {
  const qsizetype n = s.size();
  qsizetype i = 0;
  bool negative = false;
  if (i < n && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  bool hex = false;
  if (i < n && s[i] == u'$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;

  const std::uint64_t mask = bits == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
  std::uint64_t magnitude = 0;
  if (hex) {
    for (; i < n; ++i) {
      const int d = hexValue(s[i].unicode());
      if (d < 0) return false;
      if (magnitude > (mask >> 4)) return false;
      magnitude = (magnitude << 4) | std::uint64_t(d);
    }
    if (negative) magnitude = (std::uint64_t(0) - magnitude) & mask;
    // Sign-extend the bit pattern.
    if (bits < 64 && (magnitude >> (bits - 1)) & 1) magnitude |= ~mask;
    out = Int64(magnitude);
    return true;
  }
  const std::uint64_t limit = (std::uint64_t(1) << (bits - 1)) - (negative ? 0 : 1);
  for (; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c < u'0' || c > u'9') return false;
    const unsigned d = c - u'0';
    if (magnitude > (limit - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  out = negative ? Int64(std::uint64_t(0) - magnitude) : Int64(magnitude);
  return true;
}

[[noreturn]] void raiseInvalidInteger(const String& s) {
  throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(s));
}

// Switches '.' for the given decimal separator and inserts thousand separators
// into the integer part when `thousands` is not null.
String localizeNumber(String text, QChar decimal, QChar thousands) {
  qsizetype point = text.indexOf(QLatin1Char('.'));
  if (point >= 0) text[point] = decimal;
  if (!thousands.isNull()) {
    qsizetype end = point >= 0 ? point : text.size();
    qsizetype start = 0;
    while (start < end && !text[start].isDigit()) ++start;
    for (qsizetype at = end - 3; at > start; at -= 3) text.insert(at, thousands);
  }
  return text;
}

String nonFiniteText(double v) {
  if (std::isnan(v)) return QStringLiteral("NAN");
  return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// Fixed notation with `decimals` digits after the point; no "-" on a value
// that rounds to zero.
String fixedText(double v, int decimals, QChar decimal, QChar thousands) {
  if (!std::isfinite(v)) return nonFiniteText(v);
  String t = QString::number(v, 'f', qBound(0, decimals, 99));
  if (t.startsWith(QLatin1Char('-')) && !hasNonZeroDigit(t)) t.remove(0, 1);
  return localizeNumber(t, decimal, thousands);
}

// The shortest form with up to `precision` significant digits: plain notation,
// or "1.5E20"/"1E-5" when the exponent is below -4 or reaches the precision.
String generalText(double v, int precision, QChar decimal) {
  if (!std::isfinite(v)) return nonFiniteText(v);
  if (v == 0) return QStringLiteral("0");
  String t = QString::number(v, 'g', qBound(1, precision, 18));
  const qsizetype e = t.indexOf(QLatin1Char('e'));
  if (e >= 0) {
    const int exponent = t.mid(e + 1).toInt();
    t = t.left(e) + QLatin1Char('E') + QString::number(exponent);
  }
  return localizeNumber(t, decimal, QChar());
}

// Scientific notation: `precision` significant digits, "E", sign and at least
// three exponent digits ("1.50E+003").
String scientificText(double v, int precision, QChar decimal) {
  if (!std::isfinite(v)) return nonFiniteText(v);
  String t = QString::number(v, 'e', qBound(1, precision, 18) - 1);
  const qsizetype e = t.indexOf(QLatin1Char('e'));
  const int exponent = t.mid(e + 1).toInt();
  String exp = QString::number(std::abs(exponent));
  if (exp.size() < 3) exp.prepend(String(3 - exp.size(), QLatin1Char('0')));
  t = t.left(e) + QLatin1Char('E') + QLatin1Char(exponent < 0 ? '-' : '+') + exp;
  return localizeNumber(t, decimal, QChar());
}

}  // namespace

String IntToStr(Int64 value) { return QString::number(value); }

String IntToHex(Int64 value, int digits) { return hexDigits(std::uint64_t(value), digits); }

bool TryStrToInt(const String& s, int& value) {
  Int64 v = 0;
  if (!parseInteger(s, 32, v)) return false;
  value = int(v);
  return true;
}

bool TryStrToInt64(const String& s, Int64& value) { return parseInteger(s, 64, value); }

int StrToInt(const String& s) {
  int v = 0;
  if (!TryStrToInt(s, v)) raiseInvalidInteger(s);
  return v;
}

Int64 StrToInt64(const String& s) {
  Int64 v = 0;
  if (!TryStrToInt64(s, v)) raiseInvalidInteger(s);
  return v;
}

int StrToIntDef(const String& s, int def) {
  int v = 0;
  return TryStrToInt(s, v) ? v : def;
}

Int64 StrToInt64Def(const String& s, Int64 def) {
  Int64 v = 0;
  return TryStrToInt64(s, v) ? v : def;
}

String FloatToStr(double value) { return generalText(value, 15, FormatSettings.DecimalSeparator); }

bool TryStrToFloat(const String& s, double& value) {
  // Blanks around the number are allowed; inside, only an optional sign,
  // digits, the decimal separator and an exponent.
  const String t = Trim(s);
  const QChar decimal = FormatSettings.DecimalSeparator;
  QByteArray c;
  qsizetype i = 0;
  const qsizetype n = t.size();
  auto digits = [&]() {
    qsizetype start = i;
    while (i < n && t[i] >= u'0' && t[i] <= u'9') c += char(t[i++].unicode());
    return i - start;
  };
  if (i < n && (t[i] == u'+' || t[i] == u'-')) c += char(t[i++].unicode());
  qsizetype mantissa = digits();
  if (i < n && t[i] == decimal) {
    c += '.';
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < n && (t[i] == u'e' || t[i] == u'E')) {
    c += 'e';
    ++i;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) c += char(t[i++].unicode());
    if (digits() == 0) return false;
  }
  if (i != n) return false;
  bool ok = false;
  const double v = c.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return false;
  value = v;
  return true;
}

double StrToFloat(const String& s) {
  double v = 0;
  if (!TryStrToFloat(s, v))
    throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(s));
  return v;
}

double StrToFloatDef(const String& s, double def) {
  double v = 0;
  return TryStrToFloat(s, v) ? v : def;
}

String BoolToStr(bool value, bool useBoolStrs) {
  if (useBoolStrs) return value ? QStringLiteral("True") : QStringLiteral("False");
  return value ? QStringLiteral("-1") : QStringLiteral("0");
}

namespace {
bool tryStrToBool(const String& s, bool& value) {
  if (SameText(s, QStringLiteral("True"))) {
    value = true;
    return true;
  }
  if (SameText(s, QStringLiteral("False"))) {
    value = false;
    return true;
  }
  double d = 0;
  if (!TryStrToFloat(s, d)) return false;
  value = d != 0;
  return true;
}
}  // namespace

bool StrToBool(const String& s) {
  bool v = false;
  if (!tryStrToBool(s, v)) throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(s));
  return v;
}

bool StrToBoolDef(const String& s, bool def) {
  bool v = false;
  return tryStrToBool(s, v) ? v : def;
}

// ================================================================ Format

namespace {

class Formatter {
 public:
  Formatter(const String& format, std::initializer_list<FormatArg> args)
      : format_(format), args_(args.begin(), args.end()) {}

  String run() {
    String out;
    const qsizetype n = format_.size();
    qsizetype i = 0;
    while (i < n) {
      const qsizetype percent = format_.indexOf(QLatin1Char('%'), i);
      if (percent < 0) {
        out += QStringView(format_).mid(i);
        break;
      }
      out += QStringView(format_).mid(i, percent - i);
      i = percent + 1;
      if (i < n && format_[i] == u'%') {
        out += QLatin1Char('%');
        ++i;
        continue;
      }
      out += spec(i);
    }
    return out;
  }

 private:
  [[noreturn]] void invalid() const {
    throw EConvertError(QStringLiteral("Format '%1' invalid or incompatible with argument").arg(format_));
  }

  const TVarRec& nextArg() {
    if (next_ >= args_.size())
      throw EConvertError(QStringLiteral("No argument for format '%1'").arg(format_));
    return args_[next_++].value;
  }

  // A number in the format, or "*" to take it from the arguments; -1 when absent.
  int number(qsizetype& i) {
    if (i < format_.size() && format_[i] == u'*') {
      ++i;
      const auto* v = std::get_if<Int64>(&nextArg());
      if (!v) invalid();
      return int(qBound(Int64(-9999), *v, Int64(9999)));
    }
    int value = -1;
    while (i < format_.size() && format_[i] >= u'0' && format_[i] <= u'9') {
      value = qMin(qMax(value, 0) * 10 + (format_[i].unicode() - u'0'), 9999);
      ++i;
    }
    return value;
  }

  // Formats one "%[index:][-][width][.precision]type" that starts at `i`.
  String spec(qsizetype& i) {
    const qsizetype n = format_.size();
    int width = number(i);
    if (i < n && format_[i] == u':') {
      if (width < 0) invalid();
      next_ = size_t(width);
      ++i;
      width = -1;
    }
    bool left = false;
    if (width < 0 && i < n && format_[i] == u'-') {
      left = true;
      ++i;
    }
    if (width < 0) width = number(i);
    if (width < -1) {
      left = true;
      width = -width;
    }
    int precision = -1;
    if (i < n && format_[i] == u'.') {
      ++i;
      precision = qMax(number(i), 0);
    }
    if (i >= n) invalid();
    const char16_t type = asciiUpper(format_[i++].unicode());
    String text = convert(type, precision);
    if (width > text.size()) {
      const String pad(width - text.size(), QLatin1Char(' '));
      text = left ? text + pad : pad + text;
    }
    return text;
  }

  Int64 integerArg() {
    const auto* v = std::get_if<Int64>(&nextArg());
    if (!v) invalid();
    return *v;
  }

  // Floating conversions also take integers.
  double floatArg() {
    const TVarRec& arg = nextArg();
    if (const auto* d = std::get_if<double>(&arg)) return *d;
    if (const auto* v = std::get_if<Int64>(&arg)) return double(*v);
    invalid();
  }

  // The arguments do not keep the width of the caller's integer, so a negative
  // value in the 32-bit range is taken as a 32-bit one for %u and %x, as callers
  // pass int far more often than a negative 64-bit value.
  static std::uint64_t unsignedBits(Int64 v) {
    if (v < 0 && v >= std::numeric_limits<std::int32_t>::min()) return std::uint32_t(v);
    return std::uint64_t(v);
  }

  static String withMinimumDigits(String digits, int precision, bool negative) {
    if (digits.size() < precision) digits.prepend(String(precision - digits.size(), QLatin1Char('0')));
    return negative ? QLatin1Char('-') + digits : digits;
  }

  String convert(char16_t type, int precision) {
    const TFormatSettings& fs = FormatSettings;
    switch (type) {
      case u'D': {
        const Int64 v = integerArg();
        const std::uint64_t magnitude = v < 0 ? std::uint64_t(0) - std::uint64_t(v) : v;
        return withMinimumDigits(QString::number(magnitude), precision, v < 0);
      }
      case u'U': return withMinimumDigits(QString::number(unsignedBits(integerArg())), precision, false);
      case u'X': return hexDigits(unsignedBits(integerArg()), precision);
      case u'S': {
        const auto* s = std::get_if<String>(&nextArg());
        if (!s) invalid();
        return precision >= 0 ? s->left(precision) : *s;
      }
      case u'F': return fixedText(floatArg(), precision < 0 ? 2 : precision, fs.DecimalSeparator, QChar());
      case u'N':
        return fixedText(floatArg(), precision < 0 ? 2 : precision, fs.DecimalSeparator,
                         fs.ThousandSeparator);
      case u'M': {
        const double v = floatArg();
        const String amount =
            fixedText(std::abs(v), precision < 0 ? 2 : precision, fs.DecimalSeparator, fs.ThousandSeparator);
        const bool negative = v < 0 && hasNonZeroDigit(amount);
        return (negative ? QStringLiteral("-$") : QStringLiteral("$")) + amount;
      }
      case u'G': return generalText(floatArg(), precision < 0 ? 15 : precision, fs.DecimalSeparator);
      case u'E': return scientificText(floatArg(), precision < 0 ? 15 : precision, fs.DecimalSeparator);
      case u'P': {
        const auto* p = std::get_if<const void*>(&nextArg());
        if (!p) invalid();
        return hexDigits(std::uint64_t(reinterpret_cast<quintptr>(*p)), 8);
      }
      default: invalid();
    }
  }

  const String& format_;
  std::vector<FormatArg> args_;
  size_t next_ = 0;
};

}  // namespace

String Format(const String& format, std::initializer_list<FormatArg> args) {
  return Formatter(format, args).run();
}

// ================================================================ settings

TFormatSettings::TFormatSettings()
    : ShortMonthNames({"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}),
      LongMonthNames({"January", "February", "March", "April", "May", "June", "July", "August", "September",
                      "October", "November", "December"}),
      ShortDayNames({"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}),
      LongDayNames({"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"}) {}

TFormatSettings FormatSettings;

// ================================================================ dates

namespace {

constexpr Int64 kMSecsPerDay = 86400000;
// Day numbers of 0001-01-01 and 9999-12-31.
constexpr double kMinDateTime = -693593;
constexpr double kMaxDateTime = 2958466;

QDate baseDate() { return QDate(1899, 12, 30); }

// Splits a date-time into whole days and milliseconds of the day, rounded to
// the nearest millisecond. Before the base date the fraction still counts
// forward from midnight: -1.25 is the day before, 06:00.
bool splitDateTime(TDateTime dt, Int64& days, int& msecs) {
  days = 0;
  msecs = 0;
  if (!std::isfinite(dt) || dt < kMinDateTime - 1 || dt >= kMaxDateTime + 1) return false;
  days = Int64(std::trunc(dt));
  Int64 ms = std::llround(std::abs(dt - double(days)) * double(kMSecsPerDay));
  if (ms >= kMSecsPerDay) {
    ms -= kMSecsPerDay;
    days += dt < 0 ? -1 : 1;
  }
  msecs = int(ms);
  return true;
}

TDateTime joinDateTime(Int64 days, int msecs) {
  const double fraction = double(msecs) / double(kMSecsPerDay);
  return days < 0 ? double(days) - fraction : double(days) + fraction;
}

struct DateTimeParts {
  Word year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  int dayOfWeek = 0;  // 0 = Sunday
};

DateTimeParts decodeParts(TDateTime dt) {
  DateTimeParts p;
  DecodeDate(dt, p.year, p.month, p.day);
  DecodeTime(dt, p.hour, p.minute, p.second, p.msec);
  Int64 days = 0;
  int ms = 0;
  if (splitDateTime(dt, days, ms)) p.dayOfWeek = baseDate().addDays(days).dayOfWeek() % 7;
  return p;
}

String padded(int value, int digits) { return QStringLiteral("%1").arg(value, digits, 10, QLatin1Char('0')); }

String nameAt(const QStringList& names, int index) {
  return index >= 0 && index < names.size() ? names[index] : String();
}

bool matchesAt(const String& s, qsizetype i, QLatin1String word) {
  return QStringView(s).mid(i, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

class DateTimeFormatter {
 public:
  DateTimeFormatter(const DateTimeParts& parts, const TFormatSettings& settings) : p_(parts), fs_(settings) {}

  // Appends `format`; nested formats (ddddd, t, c, ...) go one level deep at
  // most, so settings that name each other cannot recurse without end.
  void append(const String& format, int depth = 0) {
    const qsizetype n = format.size();
    QChar lastToken;
    qsizetype i = 0;
    while (i < n) {
      const QChar c = format[i];
      if (c == u'"' || c == u'\'') {
        qsizetype end = format.indexOf(c, i + 1);
        if (end < 0) end = n;
        out_ += QStringView(format).mid(i + 1, end - i - 1);
        i = end + 1;
        continue;
      }
      if (c == u'/') {
        out_ += fs_.DateSeparator;
        ++i;
        continue;
      }
      if (c == u':') {
        out_ += fs_.TimeSeparator;
        ++i;
        continue;
      }
      char16_t token = asciiUpper(c.unicode());
      if (!isAsciiUpper(token)) {
        out_ += c;
        ++i;
        continue;
      }
      qsizetype count = 1;
      while (i + count < n && asciiUpper(format[i + count].unicode()) == token) ++count;
      if (token == u'M' && lastToken == u'H') token = u'N';
      lastToken = QChar(token);
      const bool nest = depth < 2;
      switch (token) {
        case u'Y': out_ += count <= 2 ? padded(p_.year % 100, 2) : padded(p_.year, 4); break;
        case u'M':
          if (count <= 2)
            out_ += padded(p_.month, int(count));
          else
            out_ += nameAt(count == 3 ? fs_.ShortMonthNames : fs_.LongMonthNames, p_.month - 1);
          break;
        case u'D':
          if (count <= 2)
            out_ += padded(p_.day, int(count));
          else if (count <= 4)
            out_ += nameAt(count == 3 ? fs_.ShortDayNames : fs_.LongDayNames, p_.dayOfWeek);
          else if (nest)
            append(count == 5 ? fs_.ShortDateFormat : fs_.LongDateFormat, depth + 1);
          break;
        case u'H': {
          int hour = p_.hour;
          if (twelveHourAhead(format, i + count)) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          out_ += padded(hour, count == 1 ? 1 : 2);
          break;
        }
        case u'N': out_ += padded(p_.minute, count == 1 ? 1 : 2); break;
        case u'S': out_ += padded(p_.second, count == 1 ? 1 : 2); break;
        case u'Z': out_ += padded(p_.msec, count == 1 ? 1 : 3); break;
        case u'T':
          if (nest) append(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, depth + 1);
          break;
        case u'C':
          if (nest) {
            append(fs_.ShortDateFormat, depth + 1);
            // A date with no time of day shows the date alone.
            if (p_.hour || p_.minute || p_.second) {
              out_ += QLatin1Char(' ');
              append(fs_.LongTimeFormat, depth + 1);
            }
          }
          break;
        case u'A': count = appendAmPm(format, i); break;
        default: out_ += QStringView(format).mid(i, count); break;
      }
      i += count;
    }
  }

  String result() const { return out_; }

 private:
  // Whether an am/pm marker follows in `format` from `from` on (outside quotes).
  static bool twelveHourAhead(const String& format, qsizetype from) {
    for (qsizetype i = from; i < format.size(); ++i) {
      const QChar c = format[i];
      if (c == u'"' || c == u'\'') {
        const qsizetype end = format.indexOf(c, i + 1);
        if (end < 0) return false;
        i = end;
      } else if (matchesAt(format, i, QLatin1String("am/pm")) || matchesAt(format, i, QLatin1String("a/p")) ||
                 matchesAt(format, i, QLatin1String("ampm"))) {
        return true;
      }
    }
    return false;
  }

  // Appends the marker at `i` and answers how many format units it took.
  qsizetype appendAmPm(const String& format, qsizetype i) {
    const bool pm = p_.hour >= 12;
    if (matchesAt(format, i, QLatin1String("am/pm"))) {
      out_ += QStringView(format).mid(pm ? i + 3 : i, 2);  // keeps the format's case
      return 5;
    }
    if (matchesAt(format, i, QLatin1String("a/p"))) {
      out_ += format[pm ? i + 2 : i];
      return 3;
    }
    if (matchesAt(format, i, QLatin1String("ampm"))) {
      out_ += pm ? fs_.TimePMString : fs_.TimeAMString;
      return 4;
    }
    out_ += format[i];
    return 1;
  }

  const DateTimeParts p_;
  const TFormatSettings& fs_;
  String out_;
};

}  // namespace

TDateTime Now() { return QDateTimeToDateTime(QDateTime::currentDateTime()); }

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  const TDateTime now = Now();
  return now - std::trunc(now);
}

TDateTime EncodeDate(Word year, Word month, Word day) {
  if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
    throw EConvertError(QStringLiteral("Invalid argument to date encode"));
  return double(baseDate().daysTo(QDate(year, month, day)));
}

TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec) {
  if (hour >= 24 || min >= 60 || sec >= 60 || msec >= 1000)
    throw EConvertError(QStringLiteral("Invalid argument to time encode"));
  return double(((hour * 60 + min) * 60 + sec) * 1000 + msec) / double(kMSecsPerDay);
}

void DecodeDate(TDateTime dt, Word& year, Word& month, Word& day) {
  year = month = day = 0;
  Int64 days = 0;
  int ms = 0;
  if (!splitDateTime(dt, days, ms)) return;
  const QDate d = baseDate().addDays(days);
  if (!d.isValid() || d.year() < 1 || d.year() > 9999) return;
  year = Word(d.year());
  month = Word(d.month());
  day = Word(d.day());
}

void DecodeTime(TDateTime dt, Word& hour, Word& min, Word& sec, Word& msec) {
  Int64 days = 0;
  int ms = 0;
  splitDateTime(dt, days, ms);
  hour = Word(ms / 3600000);
  min = Word(ms / 60000 % 60);
  sec = Word(ms / 1000 % 60);
  msec = Word(ms % 1000);
}

String FormatDateTime(const String& format, TDateTime dt) {
  return FormatDateTime(format, dt, FormatSettings);
}

String FormatDateTime(const String& format, TDateTime dt, const TFormatSettings& settings) {
  DateTimeFormatter f(decodeParts(dt), settings);
  f.append(format.isEmpty() ? QStringLiteral("c") : format);
  return f.result();
}

String DateToStr(TDateTime dt) { return FormatDateTime(QStringLiteral("ddddd"), dt); }
String TimeToStr(TDateTime dt) { return FormatDateTime(QStringLiteral("tt"), dt); }
String DateTimeToStr(TDateTime dt) { return FormatDateTime(QStringLiteral("c"), dt); }

QDateTime DateTimeToQDateTime(TDateTime dt) {
  Int64 days = 0;
  int ms = 0;
  if (!splitDateTime(dt, days, ms)) return QDateTime();
  return QDateTime(baseDate().addDays(days), QTime::fromMSecsSinceStartOfDay(ms), Qt::LocalTime);
}

TDateTime QDateTimeToDateTime(const QDateTime& dt) {
  if (!dt.isValid()) return 0;
  const QDateTime local = dt.toLocalTime();
  return joinDateTime(baseDate().daysTo(local.date()), local.time().msecsSinceStartOfDay());
}

Cardinal GetTickCount() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return Cardinal(std::uint64_t(ms));
}

void Sleep(Cardinal milliseconds) { QThread::msleep(milliseconds); }

// ================================================================ system messages

namespace {

struct SystemMessage {
  Cardinal code;
  const char* text;
};

// Sorted by code: the error codes the platform layers define.
constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully"},
    {2, "The system cannot find the file specified"},
    {3, "The system cannot find the path specified"},
    {5, "Access is denied"},
    {6, "The handle is invalid"},
    {8, "Not enough memory is available to process this command"},
    {18, "There are no more files"},
    {87, "The parameter is incorrect"},
    {122, "The data area passed to a system call is too small"},
    {123, "The file name, directory name or volume label syntax is incorrect"},
    {126, "The specified module could not be found"},
    {127, "The specified procedure could not be found"},
    {183, "Cannot create a file when that file already exists"},
    {259, "No more data is available"},
    {1150, "The specified program requires a newer version of the system"},
    {1223, "The operation was cancelled by the user"},
    {1400, "Invalid window handle"},
    {1401, "Invalid menu handle"},
    {1404, "Invalid hook handle"},
    {1407, "Cannot find window class"},
    {1410, "Class already exists"},
    {1413, "Invalid index"},
    {1426, "Invalid hook procedure type"},
    {1444, "Invalid thread identifier"},
    {1812, "The specified image file did not contain a resource section"},
    {1813, "The specified resource type cannot be found in the image file"},
    {1814, "The specified resource name cannot be found in the image file"},
    {10014,
     "The system detected an invalid pointer address in attempting to use a pointer argument in a call"},
    {10022, "An invalid argument was supplied"},
    {10036, "A blocking operation is currently executing"},
    {10050, "A socket operation encountered a dead network"},
    {10091, "The underlying network subsystem is not ready for network communication"},
    {10092, "The requested version of the socket support is not offered"},
    {10093, "Socket support has not been started, or its start failed"},
    {11001, "No such host is known"},
    {11002, "The host name could not be resolved at this time; try again later"},
    {11003, "A non-recoverable error occurred during a database lookup"},
    {11004, "The requested name is valid, but no data of the requested type was found"},
    {12001, "No more handles could be generated at this time"},
    {12002, "The operation timed out"},
    {12004, "An internal error occurred in the Internet functions"},
    {12005, "The URL is invalid"},
    {12006, "The URL does not use a recognized protocol"},
    {12007, "The server name or address could not be resolved"},
    {12009, "The option given to an Internet option call is not valid"},
    {12010, "The length given for an Internet option is incorrect for that option"},
    {12011, "The Internet option can be queried but not set"},
    {12015, "The login to the server failed"},
    {12017, "The operation was cancelled, usually because the handle it used was closed"},
    {12018, "The type of handle supplied is incorrect for this operation"},
    {12029, "A connection with the server could not be established"},
    {12030, "The connection with the server was ended abnormally"},
    {12031, "The connection with the server was reset"},
    {12037, "The date in the server's certificate is bad or the certificate has expired"},
    {12038, "The host name in the server's certificate does not match the requested address"},
    {12045, "The certificate authority is invalid or unknown"},
    {12150, "The requested header could not be found"},
    {12152, "The server's response could not be understood"},
    {12153, "The supplied header is invalid"},
    {12154, "The header query is not valid for this request"},
    {12157, "An error occurred in the secure channel support"},
};

}  // namespace

String SysErrorMessage(Cardinal errorCode) {
  const auto* end = std::end(kSystemMessages);
  const auto* found = std::lower_bound(std::begin(kSystemMessages), end, errorCode,
                                       [](const SystemMessage& m, Cardinal code) { return m.code < code; });
  if (found == end || found->code != errorCode) return String();
  return String::fromLatin1(found->text);
}

// ================================================================ paths

const QChar PathDelim = QLatin1Char('/');

namespace {

bool isDelimiter(QChar c) { return c == u'/' || c == u'\\'; }

qsizetype lastDelimiter(const String& path) {
  for (qsizetype i = path.size() - 1; i >= 0; --i)
    if (isDelimiter(path[i])) return i;
  return -1;
}

// Index of the extension's dot in the last path element, or -1.
qsizetype extensionDot(const String& fileName) {
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  return dot > lastDelimiter(fileName) ? dot : -1;
}

}  // namespace

String ExtractFilePath(const String& fileName) { return fileName.left(lastDelimiter(fileName) + 1); }

String ExtractFileDir(const String& fileName) {
  qsizetype at = lastDelimiter(fileName);
  // Keep the delimiter of a root ("/", "C:\").
  if (at > 0 && !isDelimiter(fileName[at - 1]) && fileName[at - 1] != u':') return fileName.left(at);
  return fileName.left(at + 1);
}

String ExtractFileName(const String& fileName) { return fileName.mid(lastDelimiter(fileName) + 1); }

String ExtractFileExt(const String& fileName) {
  const qsizetype dot = extensionDot(fileName);
  return dot >= 0 ? fileName.mid(dot) : String();
}

String ChangeFileExt(const String& fileName, const String& ext) {
  const qsizetype dot = extensionDot(fileName);
  return (dot >= 0 ? fileName.left(dot) : fileName) + ext;
}

String IncludeTrailingPathDelimiter(const String& path) {
  if (!path.isEmpty() && isDelimiter(path.back())) return path;
  return path + PathDelim;
}

String ExcludeTrailingPathDelimiter(const String& path) {
  // The root stays the root.
  if (path.size() > 1 && isDelimiter(path.back())) return path.left(path.size() - 1);
  return path;
}

String ExpandFileName(const String& fileName) {
  if (fileName.isEmpty()) return String();
  const String path = NormalizePath(fileName);
  String full = QDir::cleanPath(QDir::current().absoluteFilePath(path));
  if (path.endsWith(PathDelim) && !full.endsWith(PathDelim)) full += PathDelim;
  return full;
}

String NormalizePath(const String& path) {
  String r = path;
  r.replace(QLatin1Char('\\'), PathDelim);
  return r;
}

bool FileExists(const String& fileName) {
  return !fileName.isEmpty() && QFileInfo(NormalizePath(fileName)).isFile();
}

bool DirectoryExists(const String& dir) { return !dir.isEmpty() && QFileInfo(NormalizePath(dir)).isDir(); }

bool ForceDirectories(const String& dir) {
  if (dir.isEmpty()) return false;
  return QDir().mkpath(NormalizePath(dir));
}

bool DeleteFile(const String& fileName) {
  const String path = NormalizePath(fileName);
  const QFileInfo info(path);
  if (fileName.isEmpty() || (info.isDir() && !info.isSymLink())) return false;
  return QFile::remove(path);
}

bool RenameFile(const String& oldName, const String& newName) {
  const String from = NormalizePath(oldName);
  const String to = NormalizePath(newName);
  if (from.isEmpty() || to.isEmpty()) return false;
  // An existing target is never replaced.
  const QFileInfo target(to);
  if (target.exists() || target.isSymLink()) return false;
  return QDir().rename(from, to);
}

String GetCurrentDir() { return QDir::currentPath(); }

bool SetCurrentDir(const String& dir) { return !dir.isEmpty() && QDir::setCurrent(NormalizePath(dir)); }

Int64 FileSizeOf(const String& fileName) {
  const QFileInfo info(NormalizePath(fileName));
  return !fileName.isEmpty() && info.isFile() ? info.size() : -1;
}

String SafeFileName(const String& name) {
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return QStringLiteral("_");
  static const QString unsafe = QStringLiteral("/\\:*?\"<>|");
  String r = name;
  for (QChar& c : r)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F || unsafe.contains(c)) c = QLatin1Char('_');
  return r;
}

String ReadTextFile(const String& fileName, bool* ok) {
  if (ok) *ok = false;
  QFile file(NormalizePath(fileName));
  if (fileName.isEmpty() || QFileInfo(file).isDir() || !file.open(QIODevice::ReadOnly)) return String();
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return String();
  if (ok) *ok = true;

  const auto startsWith = [&bytes](std::initializer_list<unsigned char> bom) {
    if (bytes.size() < qsizetype(bom.size())) return false;
    qsizetype i = 0;
    for (unsigned char b : bom)
      if (static_cast<unsigned char>(bytes[i++]) != b) return false;
    return true;
  };
  const auto utf16 = [&bytes](bool bigEndian) {
    const qsizetype units = (bytes.size() - 2) / 2;
    String text(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i) {
      const auto hi = static_cast<unsigned char>(bytes[2 + 2 * i + (bigEndian ? 0 : 1)]);
      const auto lo = static_cast<unsigned char>(bytes[2 + 2 * i + (bigEndian ? 1 : 0)]);
      text[i] = QChar(char16_t(hi << 8 | lo));
    }
    return text;
  };
  if (startsWith({0xEF, 0xBB, 0xBF})) return String::fromUtf8(bytes.mid(3));
  if (startsWith({0xFF, 0xFE})) return utf16(false);
  if (startsWith({0xFE, 0xFF})) return utf16(true);
  return String::fromUtf8(bytes);
}

bool WriteTextFileAtomic(const String& fileName, const String& text) {
  return WriteFileAtomic(fileName, text.toUtf8());
}

bool WriteFileAtomic(const String& fileName, const QByteArray& bytes) {
  if (fileName.isEmpty()) return false;
  QSaveFile file(NormalizePath(fileName));
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}
