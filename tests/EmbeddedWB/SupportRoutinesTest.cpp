// The support routines of the browser units: libraries loaded on demand,
// window class and caption routines, string routines and task-memory copies.
#include "EmbeddedWB/Source/EwbTools.h"

#include "platform/com/Com.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Modules.h"
#include "platform/winapi/Windows.h"

#include <gtest/gtest.h>

using namespace EwbTools;

namespace {

// Starts and ends with the URL moniker library registered, no cached
// handles and the features at their defaults.
class SupportRoutinesLibraries : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUrlMon();
    EwbTools::finalize();
  }
  void TearDown() override {
    EwbTools::finalize();
    InitializeUrlMon();
    ResetInternetFeatures();
  }
};

TEST_F(SupportRoutinesLibraries, FeatureCallsReachTheUrlMonikerLibrary) {
  EXPECT_EQ(CoInternetSetFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS, true), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS), S_OK);
  EXPECT_EQ(CoInternetSetFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS, false), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS), S_FALSE);
  // The library stays loaded until the finalization lets it go.
  EXPECT_NE(GetModuleHandle(QStringLiteral("urlmon.dll")), nullptr);
  EwbTools::finalize();
  EXPECT_EQ(GetModuleHandle(QStringLiteral("urlmon.dll")), nullptr);
}

TEST_F(SupportRoutinesLibraries, MissingEntryPointsAnswerNotImplementedEveryTime) {
  UnregisterStandInModule(QStringLiteral("urlmon.dll"));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(CoInternetSetFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS, true),
              E_NOTIMPL);
    EXPECT_EQ(CoInternetIsFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS), E_NOTIMPL);
  }
  // A failed lookup is retried: once the library is back the calls go through.
  InitializeUrlMon();
  EXPECT_EQ(CoInternetSetFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS, true), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabledDyn(FEATURE_TABBED_BROWSING, SET_FEATURE_ON_PROCESS), S_OK);
}

TEST_F(SupportRoutinesLibraries, AbsentLibrariesAnswerZero) {
  UnregisterStandInModule(QStringLiteral("SHDOCLC.DLL"));
  EXPECT_EQ(HtmlHelpDyn(nullptr, u"help.chm", 0, 0), nullptr);
  EXPECT_EQ(GetShdoclcHandle(), nullptr);
  EXPECT_EQ(GetShdoclcHandle(), nullptr);
  RegisterShdoclcModule();
}

TEST(SupportRoutinesWindows, ParentSearchStartsAboveTheWindow) {
  HWND outer =
      CreateWindowHandle(QStringLiteral("Outer"), QStringLiteral("Top caption"), 0, 0, nullptr, nullptr);
  HWND middle = CreateWindowHandle(QStringLiteral("Inner"), QString(), WS_CHILD, 0, outer, nullptr);
  HWND inner = CreateWindowHandle(QStringLiteral("Inner"), QString(), WS_CHILD, 0, middle, nullptr);
  ASSERT_TRUE(outer && middle && inner);

  EXPECT_EQ(FindParentWindowByClass(inner, QStringLiteral("Inner")), middle);
  EXPECT_EQ(FindParentWindowByClass(middle, QStringLiteral("Inner")), nullptr);
  EXPECT_EQ(FindParentWindowByClass(inner, QStringLiteral("Outer")), outer);
  EXPECT_EQ(FindParentWindowByClass(inner, QStringLiteral("outer")), nullptr);  // exact case

  String text;
  GetWindowCaption(outer, text);
  EXPECT_EQ(text, QStringLiteral("Top caption"));
  GetWindowClassName(inner, text);
  EXPECT_EQ(text, QStringLiteral("Inner"));

  DestroyWindow(outer);
  GetWindowClassName(inner, text);
  EXPECT_TRUE(text.isEmpty());
}

TEST(SupportRoutinesStrings, CutAtDelimiter) {
  String source = QStringLiteral("key=value=more"), head;
  CutAtDelimiter(source, QStringLiteral("="), true, head);
  EXPECT_EQ(head, QStringLiteral("key"));
  EXPECT_EQ(source, QStringLiteral("value=more"));

  source = QStringLiteral("a::b");
  CutAtDelimiter(source, QStringLiteral("::"), false, head);
  EXPECT_EQ(head, QStringLiteral("a"));
  EXPECT_EQ(source, QStringLiteral("a::b"));

  source = QStringLiteral("no delimiter");
  CutAtDelimiter(source, QStringLiteral("="), false, head);
  EXPECT_EQ(head, QStringLiteral("no delimiter"));
  EXPECT_EQ(source, QStringLiteral("no delimiter"));
  CutAtDelimiter(source, QStringLiteral("="), true, head);
  EXPECT_EQ(head, QStringLiteral("no delimiter"));
  EXPECT_TRUE(source.isEmpty());
}

TEST(SupportRoutinesStrings, LastPosIgnoreCaseSearchesBackwards) {
  const String text = QStringLiteral("abcABCabc");
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("ABC"), text, -1), 7);
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("ABC"), text, 100), 7);  // beyond the end
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("ABC"), text, 6), 4);
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("abc"), text, 4), 4);
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("abc"), text, 3), 1);
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("ÄBC"), QStringLiteral("xäbc"), -1), 2);
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("abd"), text, -1), 0);
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("abcd"), QStringLiteral("abc"), -1), 0);  // longer than the text
  EXPECT_EQ(LastPosIgnoreCase(QStringLiteral("abc"), text, 0), 0);
  EXPECT_EQ(LastPosIgnoreCase(QString(), text, -1), 0);
}

TEST(SupportRoutinesStrings, CharPositionAndSlashes) {
  EXPECT_EQ(CharPosition(QLatin1Char('b'), QStringLiteral("ABCb")), 4);
  EXPECT_EQ(CharPosition(QLatin1Char('a'), QStringLiteral("ABC")), 0);
  EXPECT_EQ(CharPosition(QLatin1Char('a'), QString()), 0);

  String path = QStringLiteral("C:\\Program Files\\\\Noctivane\\ü\\");
  BackslashToSlash(path);
  EXPECT_EQ(path, QStringLiteral("C:/Program Files//Noctivane/ü/"));
}

TEST(SupportRoutinesStrings, TaskMemoryCopiesAreTerminatedAndFreed) {
  const long before = CoTaskMemLiveBlocks();
  LPWSTR narrow = StrToCoTaskMemW(QStringLiteral("text ü"));
  LPWSTR wide = WideStrToCoTaskMem(QString());
  ASSERT_TRUE(narrow && wide);
  EXPECT_EQ(OleStrToString(narrow), QStringLiteral("text ü"));
  EXPECT_EQ(narrow[6], u'\0');
  EXPECT_EQ(wide[0], u'\0');
  EXPECT_EQ(CoTaskMemLiveBlocks(), before + 2);
  CoTaskMemFree(narrow);
  CoTaskMemFree(wide);
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

}  // namespace
