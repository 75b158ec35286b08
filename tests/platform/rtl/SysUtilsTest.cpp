#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <sys/resource.h>
#include <csignal>

namespace {

// Restores the process-wide settings when a test changed them.
struct SettingsGuard {
  TFormatSettings saved = FormatSettings;
  ~SettingsGuard() { FormatSettings = saved; }
};

QString scratch(const QString& name) {
  const QString dir = testsupport::profileDir() + "/sysutils/" + name;
  QDir(dir).removeRecursively();
  QDir().mkpath(dir);
  return dir;
}

template <typename F>
QString convertErrorOf(F f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message;
  }
  return "(no EConvertError)";
}

}  // namespace

// ---------------------------------------------------------------- strings

TEST(SysUtilsStrings, PositionsAreOneBasedAndZeroWhenAbsent) {
  EXPECT_EQ(Pos("b", "abcb"), 2);
  EXPECT_EQ(Pos("b", "abcb", 3), 4);
  EXPECT_EQ(Pos("b", "abcb", 0), 2);
  EXPECT_EQ(Pos("b", "abcb", 5), 0);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("a", ""), 0);
}

TEST(SysUtilsStrings, CopyDeleteInsertClipOutOfRangeArguments) {
  EXPECT_EQ(Copy("hello", 2, 3), "ell");
  EXPECT_EQ(Copy("hello", 0, 2), "he");
  EXPECT_EQ(Copy("hello", -5, 2), "he");
  EXPECT_EQ(Copy("hello", 4, 100), "lo");
  EXPECT_EQ(Copy("hello", 6, 1), "");
  EXPECT_EQ(Copy("hello", 1, 0), "");
  EXPECT_EQ(Copy("hello", 1, -1), "");
  EXPECT_EQ(Copy("hello", 1, INT32_MAX), "hello");

  String s = "hello";
  Delete(s, 2, 2);
  EXPECT_EQ(s, "hlo");
  Delete(s, 3, 50);
  EXPECT_EQ(s, "hl");
  Delete(s, 0, 1);
  Delete(s, 3, 1);
  Delete(s, 1, -1);
  EXPECT_EQ(s, "hl");

  s = "ac";
  Insert("b", s, 2);
  EXPECT_EQ(s, "abc");
  Insert("<", s, -3);
  Insert(">", s, 99);
  EXPECT_EQ(s, "<abc>");
  EXPECT_EQ(Length(s), 5);
}

TEST(SysUtilsStrings, TrimRemovesBlanksAndControlCharactersOnly) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01\x1f"), "a b");
  EXPECT_EQ(TrimLeft("\t a "), "a ");
  EXPECT_EQ(TrimRight("\t a \n"), "\t a");
  EXPECT_EQ(Trim(" \t "), "");
  // A no-break space is a character above the blank, so it stays.
  EXPECT_EQ(Trim(QString(QChar(0xA0)) + "x "), QString(QChar(0xA0)) + "x");
}

TEST(SysUtilsStrings, CaseMappingAndComparison) {
  EXPECT_EQ(LowerCase("ÄBC"), "Äbc");
  EXPECT_EQ(UpperCase("äbc"), "äBC");
  EXPECT_EQ(AnsiLowerCase("ÄBC"), "äbc");
  EXPECT_EQ(AnsiUpperCase("äbc"), "ÄBC");

  EXPECT_EQ(CompareText("Hello", "hELLO"), 0);
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  // Letters compare as upper case, so they sort before "_".
  EXPECT_LT(CompareText("a", "_"), 0);
  EXPECT_TRUE(SameText("Content-Type", "content-type"));
  EXPECT_FALSE(SameText("Ä", "ä"));
  EXPECT_TRUE(AnsiSameText("Ä", "ä"));
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);

  EXPECT_GT(CompareStr("a", "B"), 0);  // ordinal
  EXPECT_LT(CompareStr("ab", "abc"), 0);
  EXPECT_EQ(CompareStr("x", "x"), 0);

  EXPECT_TRUE(StartsText("HTTP:", "http://x"));
  EXPECT_TRUE(EndsText(".HTM", "page.htm"));
  EXPECT_FALSE(EndsText("page.htm", ".htm"));
}

TEST(SysUtilsStrings, QuotingRepeatingAndReplacing) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
  EXPECT_EQ(StringOfChar('-', 3), "---");
  EXPECT_EQ(StringOfChar('-', -1), "");

  using enum TReplaceFlag;
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", 0), "a+b-c");
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", int(rfReplaceAll)), "a+b+c");
  EXPECT_EQ(StringReplace("Abc abc", "ABC", "x", int(rfIgnoreCase)), "x abc");
  EXPECT_EQ(StringReplace("Abc abc", "ABC", "x", rfReplaceAll | rfIgnoreCase), "x x");
  EXPECT_EQ(StringReplace("Abc abc", "ABC", "x", int(rfReplaceAll)), "Abc abc");
  // The replacement is not searched again.
  EXPECT_EQ(StringReplace("aa", "a", "aa", int(rfReplaceAll)), "aaaa");
  EXPECT_EQ(StringReplace("abc", "", "x", int(rfReplaceAll)), "abc");
}

// ---------------------------------------------------------------- numbers

TEST(SysUtilsNumbers, IntegersParseDecimalAndHexadecimal) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("+42"), 42);
  EXPECT_EQ(StrToInt("-42"), -42);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("0x1f"), 31);
  EXPECT_EQ(StrToInt("0X1F"), 31);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  // Hexadecimal is a bit pattern of the full width.
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64("$FFFFFFFF"), 0xFFFFFFFFLL);
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("$8000000000000000"), INT64_MIN);
}

TEST(SysUtilsNumbers, BadIntegersRaiseOrGiveTheDefault) {
  for (const char* bad : {"", " 1", "1 ", "-", "+", "$", "0x", "12a", "1.0", "1e3", "--1", "2147483648",
                          "-2147483649", "$100000000", "$G"}) {
    int value = 7;
    EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
    EXPECT_EQ(value, 7) << bad;
    EXPECT_EQ(StrToIntDef(bad, -5), -5) << bad;
    EXPECT_EQ(convertErrorOf([&] { StrToInt(bad); }), QString("'%1' is not a valid integer value").arg(bad))
        << bad;
  }
  EXPECT_EQ(StrToInt64Def("9223372036854775808", 3), 3);
  EXPECT_EQ(StrToInt64Def("$10000000000000000", 3), 3);
  EXPECT_EQ(StrToInt64Def("2147483648", 3), 2147483648LL);
  EXPECT_THROW(StrToInt64("x"), EConvertError);
}

TEST(SysUtilsNumbers, IntegerText) {
  EXPECT_EQ(IntToStr(-12), "-12");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0xABCDE, 2), "ABCDE");
  EXPECT_EQ(IntToHex(-1, 8), "FFFFFFFF");
  EXPECT_EQ(IntToHex(std::int32_t(0x80004005), 8), "80004005");
  EXPECT_EQ(IntToHex(Int64(-1), 1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(Cardinal(0xFFFFFFFF), 1), "FFFFFFFF");
}

TEST(SysUtilsNumbers, FloatsUseTheShortestFormAndTheDecimalSeparator) {
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(100), "100");
  EXPECT_EQ(FloatToStr(-0.25), "-0.25");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(1e20), "1E20");
  EXPECT_EQ(FloatToStr(1.5e-5), "1.5E-5");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(-0.0), "0");

  EXPECT_DOUBLE_EQ(StrToFloat("0.75"), 0.75);
  EXPECT_DOUBLE_EQ(StrToFloat(" -1.5e3 "), -1500);
  EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
  for (const char* bad : {"", ".", "1,5", "1e", "abc", "1.5x", "nan", "inf", "1e999"})
    EXPECT_EQ(StrToFloatDef(bad, -1), -1) << bad;
  EXPECT_EQ(convertErrorOf([] { StrToFloat("x"); }), "'x' is not a valid floating point value");

  SettingsGuard guard;
  FormatSettings.DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(1.5), "1,5");
  EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat("1.5", v));
}

TEST(SysUtilsNumbers, Booleans) {
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false), "0");
  EXPECT_EQ(BoolToStr(true, true), "True");
  EXPECT_EQ(BoolToStr(false, true), "False");
  EXPECT_TRUE(StrToBool("true"));
  EXPECT_TRUE(StrToBool("-1"));
  EXPECT_TRUE(StrToBool("2"));
  EXPECT_FALSE(StrToBool("FALSE"));
  EXPECT_FALSE(StrToBool("0"));
  EXPECT_TRUE(StrToBoolDef("maybe", true));
  EXPECT_THROW(StrToBool("yes"), EConvertError);
}

// ---------------------------------------------------------------- Format

TEST(SysUtilsFormat, Conversions) {
  EXPECT_EQ(Format("%d|%u|%x|%X", {-5, 7u, 255, 0xabc}), "-5|7|FF|ABC");
  EXPECT_EQ(Format("%x %u", {-1, -1}), "FFFFFFFF 4294967295");
  EXPECT_EQ(Format("%d", {INT64_MIN}), "-9223372036854775808");
  EXPECT_EQ(Format("%s and %s", {"one", QString("two")}), "one and two");
  EXPECT_EQ(Format("%f %.1f %.0f", {1.005, 2.25, 2.5}), "1.00 2.3 3");
  EXPECT_EQ(Format("%f", {3}), "3.00");  // integers are taken where a float is expected
  EXPECT_EQ(Format("%.2f", {-0.001}), "0.00");
  EXPECT_EQ(Format("%g|%g", {1.5, 0.1}), "1.5|0.1");
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {-0.000125}), "-1.25E-004");
  EXPECT_EQ(Format("%n|%.0n|%.2n b", {1234567.891, 999.6, 1023}), "1,234,567.89|1,000|1,023.00 b");
  EXPECT_EQ(Format("%m|%m", {1234.5, -2}), "$1,234.50|-$2.00");
  EXPECT_EQ(Format("%p", {static_cast<const void*>(reinterpret_cast<char*>(0xBEEF))}), "0000BEEF");
  EXPECT_EQ(Format("100%% of %d%%", {5}), "100% of 5%");
  EXPECT_EQ(Format("no specs", {}), "no specs");

  SettingsGuard guard;
  FormatSettings.DecimalSeparator = ',';
  FormatSettings.ThousandSeparator = '.';
  EXPECT_EQ(Format("%.1f|%n", {2.5, 5120.0}), "2,5|5.120,00");
}

TEST(SysUtilsFormat, WidthPrecisionIndexAndStar) {
  EXPECT_EQ(Format("[%5d][%-5d][%2d]", {42, 42, 12345}), "[   42][42   ][12345]");
  EXPECT_EQ(Format("%.3d|%.3d|%5.3d|%.4x", {7, -7, 7, 255}), "007|-007|  007|00FF");
  EXPECT_EQ(Format("%2.2d:%2.2d:%2.2d", {1, 2, 30}), "01:02:30");
  EXPECT_EQ(Format("[%.3s][%-6s][%6.2s]", {"abcdef", "ab", "abcdef"}), "[abc][ab    ][    ab]");
  EXPECT_EQ(Format("[%8.3f]", {3.14159}), "[   3.142]");
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b", "c"}), "b a b");
  EXPECT_EQ(Format("[%*d][%.*f][%-*s]", {4, 7, 1, 2.25, 3, "x"}), "[   7][2.3][x  ]");
  EXPECT_EQ(Format("Line: %3d   Col: %3d", {5, 12}), "Line:   5   Col:  12");
}

TEST(SysUtilsFormat, MismatchesAndMissingArgumentsRaise) {
  const QString incompatible = "Format '%1' invalid or incompatible with argument";
  EXPECT_EQ(convertErrorOf([] { Format("%d", {"text"}); }), incompatible.arg("%d"));
  EXPECT_EQ(convertErrorOf([] { Format("%s", {12}); }), incompatible.arg("%s"));
  EXPECT_EQ(convertErrorOf([] { Format("%d", {1.5}); }), incompatible.arg("%d"));
  EXPECT_EQ(convertErrorOf([] { Format("%f", {"1.5"}); }), incompatible.arg("%f"));
  EXPECT_EQ(convertErrorOf([] { Format("%p", {1}); }), incompatible.arg("%p"));
  EXPECT_EQ(convertErrorOf([] { Format("%*d", {"x", 1}); }), incompatible.arg("%*d"));
  EXPECT_EQ(convertErrorOf([] { Format("%q", {1}); }), incompatible.arg("%q"));
  EXPECT_EQ(convertErrorOf([] { Format("50%", {}); }), incompatible.arg("50%"));
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%3:d", {1}), EConvertError);
  EXPECT_THROW(Format("%s", {}), EConvertError);
}

// ---------------------------------------------------------------- dates

TEST(SysUtilsDates, EncodingCountsDaysFromTheBaseDate) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_DOUBLE_EQ(EncodeTime(18, 0, 0, 0), 0.75);
  EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(2001, 13, 1), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(1, 60, 0, 0), EConvertError);
}

TEST(SysUtilsDates, DecodingSplitsDateAndTimeOfDay) {
  Word y, m, d, h, n, s, ms;
  const TDateTime dt = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999);
  DecodeDate(dt, y, m, d);
  DecodeTime(dt, h, n, s, ms);
  EXPECT_EQ(QList<int>({y, m, d, h, n, s, ms}), QList<int>({2024, 2, 29, 23, 59, 59, 999}));

  // Before the base date the fraction still counts from midnight.
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, ms);
  EXPECT_EQ(QList<int>({y, m, d, h, n}), QList<int>({1899, 12, 29, 6, 0}));

  // A time a hair below midnight rounds to the next day's 00:00.
  DecodeDate(EncodeDate(2020, 1, 1) - 1e-10, y, m, d);
  DecodeTime(EncodeDate(2020, 1, 1) - 1e-10, h, n, s, ms);
  EXPECT_EQ(QList<int>({y, m, d, h, n, s, ms}), QList<int>({2020, 1, 1, 0, 0, 0, 0}));
}

TEST(SysUtilsDates, QDateTimeRoundTripsToTheMillisecond) {
  const QDateTime original(QDate(2023, 7, 14), QTime(13, 5, 9, 87));
  const TDateTime dt = QDateTimeToDateTime(original);
  EXPECT_DOUBLE_EQ(dt, EncodeDate(2023, 7, 14) + EncodeTime(13, 5, 9, 87));
  EXPECT_EQ(DateTimeToQDateTime(dt), original);
  for (int msec : {1, 499, 500, 999}) {
    const QDateTime t(QDate(1999, 12, 31), QTime(23, 59, 59, msec));
    EXPECT_EQ(DateTimeToQDateTime(QDateTimeToDateTime(t)), t) << msec;
  }
  const QDateTime early(QDate(1850, 3, 1), QTime(6, 30));
  EXPECT_EQ(DateTimeToQDateTime(QDateTimeToDateTime(early)), early);
  EXPECT_FALSE(DateTimeToQDateTime(1e12).isValid());

  const QDateTime now = QDateTime::currentDateTime();
  EXPECT_LT(std::abs(now.msecsTo(DateTimeToQDateTime(Now()))), 5000);
  EXPECT_EQ(Date(), QDateTimeToDateTime(QDateTime(now.date(), QTime(0, 0))));
  EXPECT_GE(Time(), 0);
  EXPECT_LT(Time(), 1);
}

TEST(SysUtilsDates, FormatCodes) {
  const TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);  // a Tuesday
  EXPECT_EQ(FormatDateTime("d dd ddd dddd", dt), "5 05 Tue Tuesday");
  EXPECT_EQ(FormatDateTime("m mm mmm mmmm", dt), "3 03 Mar March");
  EXPECT_EQ(FormatDateTime("yy yyyy", dt), "24 2024");
  EXPECT_EQ(FormatDateTime("h hh n nn s ss z zzz", dt), "14 14 7 07 9 09 45 045");
  EXPECT_EQ(FormatDateTime("hh:mm", dt), "14:07");          // m after h is the minute
  EXPECT_EQ(FormatDateTime("mm:ss.zzz", dt), "03:09.045");  // elsewhere the month
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", dt), "2024-03-05");
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", dt), "05/03/2024");
  EXPECT_EQ(FormatDateTime("ddddd", dt), "3/5/2024");
  EXPECT_EQ(FormatDateTime("dddddd", dt), "Tuesday, March 5, 2024");
  EXPECT_EQ(FormatDateTime("t|tt", dt), "2:07 PM|2:07:09 PM");
  EXPECT_EQ(FormatDateTime("c", dt), "3/5/2024 2:07:09 PM");
  EXPECT_EQ(FormatDateTime("", dt), "3/5/2024 2:07:09 PM");
  EXPECT_EQ(FormatDateTime("h am/pm|hh AM/PM|h a/p|h ampm", dt), "2 pm|02 PM|2 p|2 PM");
  EXPECT_EQ(FormatDateTime("h:nn ampm", EncodeTime(0, 5, 0, 0)), "12:05 AM");
  EXPECT_EQ(FormatDateTime("h:nn a/p", EncodeTime(12, 0, 0, 0)), "12:00 p");
  // The am/pm marker only counts after the hour.
  EXPECT_EQ(FormatDateTime("ampm h", dt), "PM 14");
  EXPECT_EQ(FormatDateTime("\"Date: d/m\" 'at h:m' hh:nn", dt), "Date: d/m at h:m 14:07");
  EXPECT_EQ(FormatDateTime("x-q", dt), "x-q");
  // A date with no time of day shows only the date.
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "3/5/2024");
  EXPECT_EQ(DateToStr(dt), "3/5/2024");
  EXPECT_EQ(TimeToStr(dt), "2:07:09 PM");
}

TEST(SysUtilsDates, SeparatorsComeFromTheSettingsAtFormatTime) {
  const TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(9, 8, 7, 0);
  {
    SettingsGuard guard;
    FormatSettings.TimeSeparator = '_';
    FormatSettings.DateSeparator = '.';
    EXPECT_EQ(TimeToStr(dt), "9_08_07 AM");
    EXPECT_EQ(DateTimeToStr(dt), "3.5.2024 9_08_07 AM");
    EXPECT_EQ(FormatDateTime("hh:nn:ss", dt), "09_08_07");
    EXPECT_EQ(FormatDateTime("t", dt), "9_08 AM");
    EXPECT_EQ(FormatDateTime("mm:ss.zzz", dt), "03_07.000");
    // A quoted ":" stays as it is.
    EXPECT_EQ(FormatDateTime("hh':'nn", dt), "09:08");
  }
  EXPECT_EQ(TimeToStr(dt), "9:08:07 AM");

  TFormatSettings german;
  german.DateSeparator = '.';
  german.ShortDateFormat = "dd/mm/yyyy";
  german.LongTimeFormat = "hh:nn:ss";
  german.LongDayNames[2] = "Dienstag";
  EXPECT_EQ(FormatDateTime("c|dddd", dt, german), "05.03.2024 09:08:07|Dienstag");
  EXPECT_EQ(DateToStr(dt), "3/5/2024");  // the global settings are untouched
}

TEST(SysUtilsDates, SettingsThatNameEachOtherDoNotRecurse) {
  SettingsGuard guard;
  FormatSettings.ShortDateFormat = "c ddddd";
  FormatSettings.LongTimeFormat = "tt";
  EXPECT_NO_THROW(FormatDateTime("c", EncodeDate(2024, 3, 5) + 0.5));
}

TEST(SysUtilsDates, TickCountFollowsSleep) {
  const Cardinal start = GetTickCount();
  Sleep(30);
  const Cardinal elapsed = GetTickCount() - start;  // wraps like the counter
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
}

// ---------------------------------------------------------------- paths

TEST(SysUtilsPaths, PartsOfANameWithEitherSeparator) {
  EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileName("/a/b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileName("/a\\b/c"), "c");
  EXPECT_EQ(ExtractFileName("plain"), "plain");
  EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
  EXPECT_EQ(ExtractFilePath("/a/b.txt"), "/a/");
  EXPECT_EQ(ExtractFilePath("b.txt"), "");
  EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ExtractFileDir("/c.txt"), "/");
  EXPECT_EQ(ExtractFileDir("C:\\c.txt"), "C:\\");
  EXPECT_EQ(ExtractFileExt("/a/b.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("a.b/c"), "");
  EXPECT_EQ(ExtractFileExt("a.b\\c"), "");
  EXPECT_EQ(ExtractFileExt("noext"), "");
  EXPECT_EQ(ChangeFileExt("/x.y/file.htm", ".html"), "/x.y/file.html");
  EXPECT_EQ(ChangeFileExt("/x.y/file", ".txt"), "/x.y/file.txt");
  EXPECT_EQ(ChangeFileExt("a\\b.c", ""), "a\\b");
}

TEST(SysUtilsPaths, DelimitersAndExpansion) {
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a\\"), "a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(NormalizePath("a\\b/c\\"), "a/b/c/");
  EXPECT_EQ(ExpandFileName("/a/b/../c/./d"), "/a/c/d");
  EXPECT_EQ(ExpandFileName("\\a\\b\\..\\c\\"), "/a/c/");

  const QString saved = GetCurrentDir();
  const QString dir = scratch("cwd");
  ASSERT_TRUE(SetCurrentDir(dir));
  EXPECT_EQ(QFileInfo(GetCurrentDir()).canonicalFilePath(), QFileInfo(dir).canonicalFilePath());
  EXPECT_EQ(ExpandFileName("x/../y.txt"), GetCurrentDir() + "/y.txt");
  EXPECT_FALSE(SetCurrentDir(dir + "/missing"));
  ASSERT_TRUE(SetCurrentDir(saved));
}

TEST(SysUtilsPaths, SafeFileNames) {
  EXPECT_EQ(SafeFileName("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileName(QString("tab\there\nnul") + QChar(0) + QChar(0x7F)), "tab_here_nul__");
  EXPECT_EQ(SafeFileName("."), "_");
  EXPECT_EQ(SafeFileName(".."), "_");
  EXPECT_EQ(SafeFileName(""), "_");
  EXPECT_EQ(SafeFileName("Ünïcode page.htm"), "Ünïcode page.htm");
  EXPECT_EQ(SafeFileName("../etc"), ".._etc");
}

TEST(SysUtilsPaths, FilesAndFoldersOnDisk) {
  const QString dir = scratch("disk");
  EXPECT_TRUE(ForceDirectories(dir + "/one/two\\three"));
  EXPECT_TRUE(DirectoryExists(dir + "/one/two/three"));
  EXPECT_TRUE(DirectoryExists(dir + "\\one"));
  EXPECT_FALSE(FileExists(dir + "/one"));  // a folder is not a file
  EXPECT_FALSE(ForceDirectories(""));

  const QString file = dir + "/one/f.txt";
  ASSERT_TRUE(testsupport::writeFile(file, "12345"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(FileExists(dir + "\\one\\f.txt"));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_EQ(FileSizeOf(file), 5);
  EXPECT_EQ(FileSizeOf(dir + "/one"), -1);
  EXPECT_EQ(FileSizeOf(dir + "/none"), -1);
  EXPECT_FALSE(ForceDirectories(file + "/sub"));  // a file is in the way

  // Renaming never replaces an existing file.
  ASSERT_TRUE(testsupport::writeFile(dir + "/other.txt", "other"));
  EXPECT_FALSE(RenameFile(file, dir + "/other.txt"));
  EXPECT_EQ(testsupport::readFile(dir + "/other.txt"), "other");
  EXPECT_TRUE(RenameFile(file, dir + "/moved.txt"));
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(testsupport::readFile(dir + "/moved.txt"), "12345");

  EXPECT_FALSE(DeleteFile(dir + "/one/two/three"));  // folders are not deleted
  EXPECT_TRUE(DirectoryExists(dir + "/one/two/three"));
  EXPECT_TRUE(DeleteFile(dir + "/moved.txt"));
  EXPECT_FALSE(DeleteFile(dir + "/moved.txt"));
}

// ---------------------------------------------------------------- text files

TEST(SysUtilsFiles, ReadTextFileHonoursByteOrderMarks) {
  const QString dir = scratch("bom");
  const QString text = QString::fromUtf8("Grüße \u20AC\U0001F600\r\nline 2");
  QByteArray le("\xFF\xFE"), be("\xFE\xFF");
  for (QChar c : text) {
    le += char(c.unicode() & 0xFF);
    le += char(c.unicode() >> 8);
    be += char(c.unicode() >> 8);
    be += char(c.unicode() & 0xFF);
  }
  const QList<QPair<QString, QByteArray>> cases = {
      {"plain.txt", text.toUtf8()},
      {"utf8bom.txt", "\xEF\xBB\xBF" + text.toUtf8()},
      {"utf16le.txt", le},
      {"utf16be.txt", be},
  };
  for (const auto& [name, bytes] : cases) {
    ASSERT_TRUE(testsupport::writeFile(dir + "/" + name, bytes));
    bool ok = false;
    EXPECT_EQ(ReadTextFile(dir + "/" + name, &ok), text) << name.toStdString();
    EXPECT_TRUE(ok);
  }

  ASSERT_TRUE(testsupport::writeFile(dir + "/empty.txt", ""));
  bool ok = false;
  EXPECT_EQ(ReadTextFile(dir + "/empty.txt", &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(ReadTextFile(dir + "/missing.txt", &ok), "");
  EXPECT_FALSE(ok);
  ok = true;
  ReadTextFile(dir, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadTextFile(dir + "/missing.txt"), "");  // no flag asked for
}

TEST(SysUtilsFiles, AtomicWritesReplaceWholeFiles) {
  const QString dir = scratch("atomic");
  const QString file = dir + "/data.txt";
  EXPECT_TRUE(WriteTextFileAtomic(file, QString::fromUtf8("first ü\r\n")));
  EXPECT_EQ(testsupport::readFile(file), "first \xC3\xBC\r\n");  // UTF-8, no mark
  EXPECT_TRUE(WriteTextFileAtomic(file, "second"));
  EXPECT_EQ(ReadTextFile(file), "second");
  EXPECT_TRUE(WriteFileAtomic(dir + "\\bin.dat", QByteArray("\x00\x01", 2)));
  EXPECT_EQ(testsupport::readFile(dir + "/bin.dat"), QByteArray("\x00\x01", 2));
  EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no leftovers
}

TEST(SysUtilsFiles, FailedAtomicWritesReportFalseAndKeepTheOldFile) {
  const QString dir = scratch("atomic-fail");
  ASSERT_TRUE(testsupport::writeFile(dir + "/plain", "not a folder"));
  EXPECT_FALSE(WriteTextFileAtomic(dir + "/plain/x.txt", "text"));
  EXPECT_FALSE(WriteFileAtomic(dir + "/missing/x.txt", "text"));
  EXPECT_FALSE(WriteFileAtomic(dir, "text"));  // a folder in place of the file
  EXPECT_FALSE(WriteFileAtomic("", "text"));
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_EQ(testsupport::readFile(dir + "/plain"), "not a folder");

  // A write that fails half-way (the file-size limit stops it, even for root)
  // leaves the old content and no temporary file.
  const QString file = dir + "/keep.txt";
  ASSERT_TRUE(WriteFileAtomic(file, "old content"));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteFileAtomic(file, QByteArray(1 << 20, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(testsupport::readFile(file), "old content");
  EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.txt", "plain"}));
}

// ---------------------------------------------------------------- system messages

TEST(SysUtilsSystemMessages, KnownCodesReadAsSentencesWithoutClosingPeriod) {
  int known = 0;
  for (Cardinal code = 0; code < 13000; ++code) {
    const String text = SysErrorMessage(code);
    if (text.isEmpty()) continue;
    ++known;
    // Callers append the text to their own ("... : " + text) and may add a period.
    EXPECT_FALSE(text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(' '))) << code;
    EXPECT_TRUE(text.at(0).isUpper()) << code;
  }
  EXPECT_GE(known, 50);
  EXPECT_EQ(SysErrorMessage(2), QStringLiteral("The system cannot find the file specified"));
  EXPECT_EQ(SysErrorMessage(12005), QStringLiteral("The URL is invalid"));
}

TEST(SysUtilsSystemMessages, OtherCodesAnswerNothing) {
  for (Cardinal code : {1u, 4u, 57u, 99u, 307u, 12036u, 12047u, 262632u, 0x80004005u, 0xFFFFFFFFu})
    EXPECT_EQ(SysErrorMessage(code), String()) << code;
}
