#pragma once
// Strings, numbers, exceptions, dates and paths with the semantics the system's
// units are written against: 1-based string positions, tolerant copies, one
// process-wide set of format settings.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <type_traits>
#include <variant>

using String = QString;
using Integer = std::int32_t;
using Cardinal = std::uint32_t;
using Int64 = std::int64_t;
using Word = std::uint16_t;
using Byte = std::uint8_t;
using LongWord = std::uint32_t;
using WideChar = char16_t;
// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

// ---------------------------------------------------------------- exceptions

class Exception : public std::exception {
 public:
  explicit Exception(const String& message, int helpContext = 0);
  ~Exception() override = default;
  virtual String ClassName() const { return QStringLiteral("Exception"); }
  const char* what() const noexcept override;

  String Message;
  int HelpContext = 0;

 private:
  mutable QByteArray what_;
};

#define NOCTIVANE_DECLARE_EXCEPTION(Name, Base)                         \
  class Name : public Base {                                            \
   public:                                                              \
    using Base::Base;                                                   \
    String ClassName() const override { return QStringLiteral(#Name); } \
  };

NOCTIVANE_DECLARE_EXCEPTION(EConvertError, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EAbort, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EInOutError, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EStreamError, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EFOpenError, EStreamError)
NOCTIVANE_DECLARE_EXCEPTION(EFCreateError, EStreamError)
NOCTIVANE_DECLARE_EXCEPTION(EReadError, EStreamError)
NOCTIVANE_DECLARE_EXCEPTION(EWriteError, EStreamError)
NOCTIVANE_DECLARE_EXCEPTION(EListError, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EStringListError, EListError)
NOCTIVANE_DECLARE_EXCEPTION(EInvalidOperation, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EInvalidArgument, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EOleError, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EOutOfResources, Exception)
NOCTIVANE_DECLARE_EXCEPTION(ERegistryException, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EIniFileException, Exception)

// An OLE failure that carries the result code.
class EOleSysError : public EOleError {
 public:
  EOleSysError(const String& message, std::int32_t errorCode, int helpContext = 0);
  String ClassName() const override { return QStringLiteral("EOleSysError"); }
  std::int32_t ErrorCode;
};

// Raises EAbort (the silent exception).
[[noreturn]] void Abort();

// ---------------------------------------------------------------- strings

// Position (1-based) of `sub` in `s`, 0 when absent or `sub` is empty.
int Pos(const String& sub, const String& s, int offset = 1);
// Up to `count` units from 1-based `index`; out-of-range arguments are clipped.
String Copy(const String& s, int index, int count);
// Removes up to `count` units from 1-based `index`; out of range does nothing.
void Delete(String& s, int index, int count);
// Inserts `sub` before 1-based `index` (clipped to 1..Length+1).
void Insert(const String& sub, String& s, int index);
int Length(const String& s);
String Trim(const String& s);  // removes units <= ' ' at both ends
String TrimLeft(const String& s);
String TrimRight(const String& s);
String LowerCase(const String& s);      // A..Z only
String UpperCase(const String& s);      // a..z only
String AnsiLowerCase(const String& s);  // every letter
String AnsiUpperCase(const String& s);
int CompareStr(const String& a, const String& b);   // ordinal
int CompareText(const String& a, const String& b);  // ASCII case-insensitive
bool SameText(const String& a, const String& b);
int AnsiCompareText(const String& a, const String& b);  // case-insensitive, every letter
bool AnsiSameText(const String& a, const String& b);
bool StartsText(const String& sub, const String& s);
bool EndsText(const String& sub, const String& s);
String QuotedStr(const String& s);  // 'it''s'
String StringOfChar(QChar c, int count);

enum class TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
inline int operator|(TReplaceFlag a, TReplaceFlag b) { return int(a) | int(b); }
String StringReplace(const String& s, const String& oldPattern, const String& newPattern,
                     int flags);  // OR of TReplaceFlag values

// ---------------------------------------------------------------- numbers

String IntToStr(Int64 value);
String IntToHex(Int64 value, int digits);
// An int and smaller signed types are shown as 32 bits: IntToHex(-1, 8) is "FFFFFFFF".
template <typename T,
          std::enable_if_t<
              std::is_integral_v<T> && std::is_signed_v<T> && (sizeof(T) <= sizeof(std::int32_t)), int> = 0>
inline String IntToHex(T value, int digits) {
  return IntToHex(Int64(std::uint32_t(value)), digits);
}
// Decimal, or hexadecimal with "$", "0x" or "0X"; optional sign; surrounding
// blanks are not allowed. Raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const String& s);
Int64 StrToInt64(const String& s);
int StrToIntDef(const String& s, int def);
Int64 StrToInt64Def(const String& s, Int64 def);
bool TryStrToInt(const String& s, int& value);
bool TryStrToInt64(const String& s, Int64& value);
String FloatToStr(double value);  // shortest form, FormatSettings.DecimalSeparator
double StrToFloat(const String& s);
double StrToFloatDef(const String& s, double def);
bool TryStrToFloat(const String& s, double& value);
String BoolToStr(bool value, bool useBoolStrs = false);  // "-1"/"0" or "True"/"False"
bool StrToBool(const String& s);
bool StrToBoolDef(const String& s, bool def);

// One argument of Format.
using TVarRec = std::variant<Int64, double, String, const void*>;
struct FormatArg {
  TVarRec value;
  FormatArg(int v) : value(Int64(v)) {}
  FormatArg(unsigned v) : value(Int64(v)) {}
  FormatArg(long v) : value(Int64(v)) {}
  FormatArg(unsigned long v) : value(Int64(v)) {}
  FormatArg(long long v) : value(Int64(v)) {}
  FormatArg(unsigned long long v) : value(Int64(v)) {}
  FormatArg(double v) : value(v) {}
  FormatArg(const String& v) : value(v) {}
  FormatArg(const char* v) : value(String::fromUtf8(v)) {}
  FormatArg(const char16_t* v) : value(String::fromUtf16(v)) {}
  FormatArg(const void* v) : value(v) {}
};
// Format with the conversions %d %u %x %X %s %f %g %e %n %m %p and %%, with
// optional index ("%0:s"), "-" for left alignment, width and precision ("*"
// takes them from the arguments). A mismatched argument raises EConvertError.
String Format(const String& format, std::initializer_list<FormatArg> args);

// ---------------------------------------------------------------- settings

struct TFormatSettings {
  QChar DateSeparator = '/';
  QChar TimeSeparator = ':';
  QChar DecimalSeparator = '.';
  QChar ThousandSeparator = ',';
  String ShortDateFormat = QStringLiteral("M/d/yyyy");
  String LongDateFormat = QStringLiteral("dddd, MMMM d, yyyy");
  String ShortTimeFormat = QStringLiteral("h:mm AMPM");
  String LongTimeFormat = QStringLiteral("h:mm:ss AMPM");
  String TimeAMString = QStringLiteral("AM");
  String TimePMString = QStringLiteral("PM");
  // Months from January, days from Sunday (index 0).
  QStringList ShortMonthNames, LongMonthNames, ShortDayNames, LongDayNames;
  TFormatSettings();  // the English names
};
// The process-wide settings every formatting routine uses by default.
extern TFormatSettings FormatSettings;

// ---------------------------------------------------------------- dates

TDateTime Now();
TDateTime Date();
TDateTime Time();
TDateTime EncodeDate(Word year, Word month, Word day);  // EConvertError when invalid
TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec);
void DecodeDate(TDateTime dt, Word& year, Word& month, Word& day);
void DecodeTime(TDateTime dt, Word& hour, Word& min, Word& sec, Word& msec);
// The date/time format codes: d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy
// h hh n nn s ss z zzz t tt c am/pm a/p ampm / : "quoted" 'quoted'. "m" right
// after "h"/"hh" means minutes. "/" and ":" become the settings' separators.
String FormatDateTime(const String& format, TDateTime dt);
String FormatDateTime(const String& format, TDateTime dt, const TFormatSettings& settings);
String DateToStr(TDateTime dt);
String TimeToStr(TDateTime dt);
String DateTimeToStr(TDateTime dt);
QDateTime DateTimeToQDateTime(TDateTime dt);  // local time
TDateTime QDateTimeToDateTime(const QDateTime& dt);

// Milliseconds since an arbitrary start, wrapping at 2^32 like the platform's.
Cardinal GetTickCount();
void Sleep(Cardinal milliseconds);

// ---------------------------------------------------------------- system messages

// The system's text for an error code of GetLastError or WSAGetLastError,
// without a trailing period. Every code the platform layers define has one;
// any other code answers an empty text.
String SysErrorMessage(Cardinal errorCode);

// ---------------------------------------------------------------- paths
// Paths use "/"; every helper also accepts "\" as a separator.

extern const QChar PathDelim;                    // '/'
String ExtractFilePath(const String& fileName);  // with trailing delimiter
String ExtractFileDir(const String& fileName);   // without
String ExtractFileName(const String& fileName);
String ExtractFileExt(const String& fileName);  // ".ext" or ""
String ChangeFileExt(const String& fileName, const String& ext);
String IncludeTrailingPathDelimiter(const String& path);
String ExcludeTrailingPathDelimiter(const String& path);
String ExpandFileName(const String& fileName);
// Backslashes become slashes.
String NormalizePath(const String& path);
bool FileExists(const String& fileName);  // a file, not a folder
bool DirectoryExists(const String& dir);
bool ForceDirectories(const String& dir);
bool DeleteFile(const String& fileName);
bool RenameFile(const String& oldName, const String& newName);
String GetCurrentDir();
bool SetCurrentDir(const String& dir);
Int64 FileSizeOf(const String& fileName);  // -1 when absent
// A name made safe for a file: separators, control characters and the names
// "." and ".." are replaced; an empty result becomes "_".
String SafeFileName(const String& name);

// Reads a whole text file: UTF-8, or UTF-16/UTF-8 with a byte-order mark.
String ReadTextFile(const String& fileName, bool* ok = nullptr);
// Writes UTF-8 (no byte-order mark) through a temporary file and a rename, so a
// failure leaves the old file untouched. Returns false on failure.
bool WriteTextFileAtomic(const String& fileName, const String& text);
bool WriteFileAtomic(const String& fileName, const QByteArray& bytes);

// ---------------------------------------------------------------- file search

// File attributes as the search reports them. Nothing here carries the system
// or volume attribute; names beginning with "." (other than "." and "..") are
// hidden, files that cannot be written are read-only.
inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;
inline constexpr int faSysFile = 0x04;
inline constexpr int faVolumeID = 0x08;
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;
inline constexpr int faNormal = 0x80;
inline constexpr int faAnyFile = 0x3F;

struct TSearchRec {
  TDateTime TimeStamp = 0;  // last modification, local time
  Int64 Size = 0;
  int Attr = 0;
  String Name;
  int ExcludeAttr = 0;
  // The entries still to come; released by FindClose, or with the record.
  std::shared_ptr<struct TSearchState> FindHandle;
};

// Lists the entries of a folder that match a pattern ("dir/*.*", "dir/a?.url";
// "*" and "?" compared without regard to case, "*.*" is every name) and
// answers 0 with the first in `F`. Entries whose hidden or directory
// attribute is not asked for in `Attr` are left out; "." and ".." come first,
// as folders. Otherwise the error code: 3 (path not found) for a folder that
// cannot be read, 2 (file not found) when nothing matches.
int FindFirst(const String& Path, int Attr, TSearchRec& F);
// The next entry: 0, or 18 (no more files) at the end.
int FindNext(TSearchRec& F);
void FindClose(TSearchRec& F);
