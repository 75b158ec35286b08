// Status, response and error texts: which codes have a text of their own, the
// exact wording where logs are matched on it, the fallback for every other code
// and the flags of data notifications.
#include "EmbeddedWB/Source/IEDownloadStrings.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace IEDownloadStrings;

namespace {

const QString kUnknown = QStringLiteral("Unknown Response: ");

bool HasOwnText(Integer code) { return !StatusCodeText(code).startsWith(kUnknown); }

// The codes in [first, last] that have a text of their own.
std::vector<Integer> OwnTextCodes(Int64 first, Int64 last) {
  std::vector<Integer> found;
  for (Int64 code = first; code <= last; ++code)
    if (HasOwnText(Integer(code))) found.push_back(Integer(code));
  return found;
}

Integer Hr(std::uint32_t value) { return Integer(value); }

}  // namespace

TEST(StatusCodeText, ExactlyTheListedCodesHaveATextOfTheirOwn) {
  // Success and the bind-status values 1 to 56, without a gap.
  const std::vector<Integer> bindStatus = OwnTextCodes(0, 56);
  EXPECT_EQ(bindStatus.size(), 57u);
  // HTTP: informational, success, redirection, client and server errors.
  const std::vector<Integer> http = OwnTextCodes(57, 11999);
  EXPECT_EQ(http.size(), 39u);
  EXPECT_EQ(http.front(), 100);
  EXPECT_EQ(http.back(), 505);
  EXPECT_EQ(OwnTextCodes(100, 101).size(), 2u);
  EXPECT_EQ(OwnTextCodes(200, 206).size(), 7u);
  EXPECT_EQ(OwnTextCodes(300, 305).size(), 6u);
  EXPECT_EQ(OwnTextCodes(400, 417).size(), 18u);
  EXPECT_EQ(OwnTextCodes(500, 505).size(), 6u);
  // WinInet certificate and security errors, then the moniker's asynchronous
  // success (0x000401E8).
  std::vector<Integer> inet = OwnTextCodes(12000, 270000);
  ASSERT_FALSE(inet.empty());
  EXPECT_EQ(inet.back(), 262632);
  inet.pop_back();
  EXPECT_EQ(inet, (std::vector<Integer>{12037, 12038, 12039, 12040, 12041, 12042, 12043, 12044, 12045, 12046,
                                        12054, 12168, 12170}));
  // Results: E_NOTIMPL and its neighbours, storage, monikers, Win32 and URL monikers.
  size_t results = 0;
  results += OwnTextCodes(Hr(0x80000000), Hr(0x80010000)).size();
  results += OwnTextCodes(Hr(0x80030000), Hr(0x80030100)).size();
  results += OwnTextCodes(Hr(0x80040000), Hr(0x80040400)).size();
  results += OwnTextCodes(Hr(0x80070000), Hr(0x80070100)).size();
  results += OwnTextCodes(Hr(0x800C0000), Hr(0x800C0400)).size();
  EXPECT_EQ(results, 51u);
  EXPECT_EQ(OwnTextCodes(Hr(0x800401E0), Hr(0x800401EF)).size(), 16u);
  EXPECT_EQ(OwnTextCodes(Hr(0x800C0002), Hr(0x800C0018)).size(), 23u);
  EXPECT_EQ(bindStatus.size() + http.size() + inet.size() + 1 + results, 161u);
}

TEST(StatusCodeText, NeighboursOfListedCodesAreUnknown) {
  for (Integer code : {57,
                       99,
                       102,
                       207,
                       306,
                       307,
                       418,
                       506,
                       12036,
                       12047,
                       12053,
                       12055,
                       12167,
                       12169,
                       12171,
                       262631,
                       262633,
                       -1,
                       Hr(0x80004003),
                       Hr(0x80004006),
                       Hr(0x800401F0),
                       Hr(0x800C0001),
                       Hr(0x800C0019),
                       Hr(0x800C0301)}) {
    const String text = StatusCodeText(code);
    EXPECT_TRUE(text.startsWith(kUnknown + IntToStr(code) + QLatin1Char(' ')))
        << code << " " << text.toStdString();
  }
}

TEST(StatusCodeText, UnknownCodesCarryTheSystemsMessage) {
  EXPECT_EQ(StatusCodeText(307), QStringLiteral("Unknown Response: 307 "));
  EXPECT_EQ(StatusCodeText(Hr(0x80004003)), QStringLiteral("Unknown Response: -2147467261 "));
  EXPECT_EQ(StatusCodeText(12005), QStringLiteral("Unknown Response: 12005 ") + SysErrorMessage(12005));
  EXPECT_FALSE(SysErrorMessage(12005).isEmpty());
  EXPECT_EQ(StatusCodeText(87), QStringLiteral("Unknown Response: 87 ") + SysErrorMessage(87));
}

TEST(StatusCodeText, TextsAreWordedAsTheLogsShowThem) {
  EXPECT_EQ(StatusCodeText(0), QStringLiteral("The operation was successful"));
  EXPECT_EQ(StatusCodeText(1), QStringLiteral("Finding resource..."));
  EXPECT_EQ(StatusCodeText(56),
            QStringLiteral("Download progress values are above the maximum 32-bit file size limit."));
  EXPECT_EQ(StatusCodeText(200), QStringLiteral("OK"));
  EXPECT_EQ(StatusCodeText(302), QStringLiteral("Moved Temporarily"));
  EXPECT_EQ(StatusCodeText(406), QStringLiteral("None Acceptable"));
  EXPECT_EQ(StatusCodeText(505), QStringLiteral("HTTP Version Not Supported"));
  EXPECT_EQ(StatusCodeText(12040),
            QStringLiteral(
                "The application is moving from an SSL to an non-SSL connection because of a redirect."));
  EXPECT_EQ(StatusCodeText(262632), QStringLiteral("Asynchronous mode."));
  EXPECT_EQ(StatusCodeText(Hr(0x80004005)), QStringLiteral("Failed"));
  EXPECT_EQ(StatusCodeText(Hr(0x800C0011)), QStringLiteral("Use the default action."));
  EXPECT_EQ(StatusCodeText(Hr(0x8007000E)), QStringLiteral("There was insufficient memory ..."));
  EXPECT_EQ(
      StatusCodeText(Hr(0x800401E7)),
      QStringLiteral("An intermediate object was found but it did not support an interface required for an "
                     "operation. For example, an item moniker returns this value if its container does not "
                     "support the IOleItemContainer interface."));
  // Trailing blanks and doubled words are part of the text.
  EXPECT_EQ(StatusCodeText(37), QStringLiteral("A a cookie has been initialized. "));
  EXPECT_EQ(StatusCodeText(46), QStringLiteral("A persistent cookie was received. "));
  EXPECT_EQ(StatusCodeText(50),
            QStringLiteral("The reported Content-Type of the file does not match the content. "));
  int trailingBlanks = 0;
  for (Integer code = 0; code <= 600; ++code)
    if (HasOwnText(code) && StatusCodeText(code).endsWith(QLatin1Char(' '))) ++trailingBlanks;
  EXPECT_EQ(trailingBlanks, 3);
}

TEST(StatusCodeText, TheWrongCertificateNameNamesNoHost) {
  const String text = StatusCodeText(12038);
  EXPECT_FALSE(text.startsWith(kUnknown));
  EXPECT_TRUE(text.contains(QLatin1String("certificate")));
  EXPECT_TRUE(text.contains(QLatin1String("host name")));
  for (const char* hostLike : {"www", ".com", ".org", ".net", "://", "example", "\"", "'www"})
    EXPECT_FALSE(text.contains(QLatin1String(hostLike))) << hostLike;
}

TEST(BscfFlagText, SingleFlagsAndCombinations) {
  EXPECT_EQ(BscfFlagText(1), QStringLiteral("Identifed the first call to OnDataAvailable."));
  EXPECT_EQ(BscfFlagText(2), QStringLiteral("Identifed the intermediate call to OnDataAvailable."));
  EXPECT_EQ(BscfFlagText(4), QStringLiteral("Identifed the last call to OnDataAvailable."));
  EXPECT_EQ(BscfFlagText(8), QStringLiteral("All of the requested data is available."));
  EXPECT_EQ(BscfFlagText(16), QStringLiteral("Size of the data available is unknown."));
  // Flags together are read as a status code of the same number.
  EXPECT_EQ(BscfFlagText(3), QStringLiteral("Server redirecting client..."));
  EXPECT_EQ(BscfFlagText(12), StatusCodeText(12));
  EXPECT_EQ(BscfFlagText(0), QStringLiteral("The operation was successful"));
  EXPECT_EQ(BscfFlagText(32), QStringLiteral("Proxy server has been detected..."));
  EXPECT_EQ(BscfFlagText(64), QStringLiteral("Unknown Response: 64 "));
  EXPECT_EQ(BscfFlagText(0xFFFFFFFFu), QStringLiteral("Unknown Response: -1 "));
}

TEST(StepMessages, ComposeWithTheStepResult) {
  EXPECT_EQ(String(QLatin1String(sCreateURLMonikerEx)) + StatusCodeText(0),
            QStringLiteral("CreateURLMonikerEx: The operation was successful"));
  EXPECT_EQ(String(QLatin1String(sErrLoadFromString)) + StatusCodeText(Hr(0x80004005)),
            QStringLiteral("Error while loading from string: Failed"));
  EXPECT_EQ(String(QLatin1String(sBadDocument)) + StatusCodeText(Hr(0x80004005)),
            QStringLiteral("Bad document or bad Address.Failed"));
  // Blanks and spellings as the logs have them.
  EXPECT_STREQ(sAdvise, "Getting ConnectionPoint.Advise ");
  EXPECT_STREQ(sLoadAsPersistMoniker, "Loading as IpersistMoniker ");
  EXPECT_STREQ(sErrMonikerBindToStorage, "Error while MonikerBindToStorage ");
  EXPECT_STREQ(sErrRevokeBindStatusCallback, "Error while RevokeBindStatusCallback. ");
  EXPECT_STREQ(sErrAmbientPropertyChange, "Error while getting AmbientPropertyChang: ");
  EXPECT_STREQ(sLoadFromMoniker, "loading from moniker: ");
  EXPECT_STREQ(sUrlDownloadToFile, "UrlDownloadToFile");
  EXPECT_STREQ(sTimeFormat, "mm:ss.zzz");
}
