// Splitting addresses into parts: caller buffers, pointers into the address,
// scheme numbers, default ports and malformed input.
#include <gtest/gtest.h>

#include "platform/wininet/WinInet.h"

namespace {

// The buffers of the system's URL splitter: 32, 256, 128, 128, 2048 and 2084 characters.
struct Cracked {
  char16_t scheme[32], host[256], user[128], password[128], path[2048], extra[2084];
  URL_COMPONENTSW c;
  BOOL ok = FALSE;
  DWORD error = 0;

  explicit Cracked(const char16_t* url, DWORD flags = 0, DWORD urlLength = 0) {
    c.lpszScheme = scheme;
    c.dwSchemeLength = 32;
    c.lpszHostName = host;
    c.dwHostNameLength = 256;
    c.lpszUserName = user;
    c.dwUserNameLength = 128;
    c.lpszPassword = password;
    c.dwPasswordLength = 128;
    c.lpszUrlPath = path;
    c.dwUrlPathLength = 2048;
    c.lpszExtraInfo = extra;
    c.dwExtraInfoLength = 2084;
    ok = InternetCrackUrlW(url, urlLength, flags, &c);
    error = GetLastError();
  }
  static QString s(const char16_t* p) { return QString::fromUtf16(p); }
};

}  // namespace

TEST(CrackUrl, FillsTheCallersBuffers) {
  Cracked u(u"http://ann:pw@www.Example.com:8080/dir/page.html?q=1&r=2#top");
  ASSERT_TRUE(u.ok) << u.error;
  EXPECT_EQ(Cracked::s(u.scheme), QStringLiteral("http"));
  EXPECT_EQ(u.c.dwSchemeLength, 4u);
  EXPECT_EQ(u.c.nScheme, INTERNET_SCHEME_HTTP);
  EXPECT_EQ(Cracked::s(u.host), QStringLiteral("www.Example.com"));
  EXPECT_EQ(u.c.dwHostNameLength, 15u);
  EXPECT_EQ(u.c.nPort, 8080);
  EXPECT_EQ(Cracked::s(u.user), QStringLiteral("ann"));
  EXPECT_EQ(Cracked::s(u.password), QStringLiteral("pw"));
  EXPECT_EQ(Cracked::s(u.path), QStringLiteral("/dir/page.html"));
  EXPECT_EQ(u.c.dwUrlPathLength, 14u);
  EXPECT_EQ(Cracked::s(u.extra), QStringLiteral("?q=1&r=2#top"));

  // Absent parts are empty; the address length limits what is read.
  Cracked bare(u"https://host/xyz", 0, 12);
  ASSERT_TRUE(bare.ok);
  EXPECT_EQ(Cracked::s(bare.host), QStringLiteral("host"));
  EXPECT_EQ(bare.c.nPort, 443);
  EXPECT_EQ(Cracked::s(bare.path), QString());
  EXPECT_EQ(bare.c.dwUrlPathLength, 0u);
  EXPECT_EQ(Cracked::s(bare.user), QString());
  EXPECT_EQ(Cracked::s(bare.extra), QString());
}

TEST(CrackUrl, SchemesAndTheirDefaultPorts) {
  const struct {
    const char16_t* url;
    INTERNET_SCHEME scheme;
    int port;
    const char* host;
    const char* path;
  } cases[] = {
      {u"HTTPS://h/", INTERNET_SCHEME_HTTPS, 443, "h", "/"},
      {u"ftp://h/f.txt", INTERNET_SCHEME_FTP, 21, "h", "/f.txt"},
      {u"file:///home/ann/a.htm", INTERNET_SCHEME_FILE, 0, "", "/home/ann/a.htm"},
      {u"mailto:ann@example.com", INTERNET_SCHEME_MAILTO, 0, "", "ann@example.com"},
      {u"javascript:alert(1)", INTERNET_SCHEME_JAVASCRIPT, 0, "", "alert(1)"},
      {u"about:blank", INTERNET_SCHEME_UNKNOWN, 0, "", "blank"},
      {u"http://[::1]:81/v6", INTERNET_SCHEME_HTTP, 81, "::1", "/v6"},
      {u"http://h:/p", INTERNET_SCHEME_HTTP, 80, "h", "/p"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.url).toStdString());
    Cracked u(c.url);
    ASSERT_TRUE(u.ok) << u.error;
    EXPECT_EQ(u.c.nScheme, c.scheme);
    EXPECT_EQ(u.c.nPort, c.port);
    EXPECT_EQ(Cracked::s(u.host), QString::fromLatin1(c.host));
    EXPECT_EQ(Cracked::s(u.path), QString::fromLatin1(c.path));
  }
}

TEST(CrackUrl, WithoutBuffersThePartsPointIntoTheAddress) {
  const char16_t* url = u"http://www.example.com/a/b?x=1";
  URL_COMPONENTSW c;
  c.dwSchemeLength = c.dwHostNameLength = c.dwUserNameLength = c.dwUrlPathLength = c.dwExtraInfoLength = 1;
  ASSERT_TRUE(InternetCrackUrlW(url, 0, 0, &c));
  EXPECT_EQ(c.lpszScheme, url);
  EXPECT_EQ(c.dwSchemeLength, 4u);
  EXPECT_EQ(c.lpszHostName, url + 7);
  EXPECT_EQ(c.dwHostNameLength, 15u);
  EXPECT_EQ(c.lpszUrlPath, url + 22);
  EXPECT_EQ(c.dwUrlPathLength, 4u);
  EXPECT_EQ(c.lpszExtraInfo, url + 26);
  EXPECT_EQ(c.dwExtraInfoLength, 4u);
  EXPECT_EQ(c.lpszUserName, nullptr);  // absent
  EXPECT_EQ(c.dwUserNameLength, 0u);
  EXPECT_EQ(c.lpszPassword, nullptr);  // not asked for (length 0)

  // Decoding needs buffers to decode into.
  URL_COMPONENTSW d;
  d.dwUrlPathLength = 1;
  EXPECT_FALSE(InternetCrackUrlW(u"http://h/a%20b", 0, ICU_DECODE, &d));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  Cracked decoded(u"http://h/a%20b%C3%A9?q=%41", ICU_DECODE);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(Cracked::s(decoded.path), QString::fromUtf8("/a b\xC3\xA9"));
  EXPECT_EQ(Cracked::s(decoded.extra), QStringLiteral("?q=A"));
}

TEST(CrackUrl, TooSmallABufferAsksForTheSize) {
  char16_t host[4];
  URL_COMPONENTSW c;
  c.lpszHostName = host;
  c.dwHostNameLength = 4;
  EXPECT_FALSE(InternetCrackUrlW(u"http://longhost/", 0, 0, &c));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(c.dwHostNameLength, 9u);
  char16_t exact[9];
  c.lpszHostName = exact;
  ASSERT_TRUE(InternetCrackUrlW(u"http://longhost/", 0, 0, &c));
  EXPECT_EQ(QString::fromUtf16(exact), QStringLiteral("longhost"));
}

TEST(CrackUrl, MalformedAddressesFailWithTheirCodes) {
  const struct {
    const char16_t* url;
    DWORD error;
  } cases[] = {
      {u"www.example.com", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"1http://h/", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"ht tp://h/", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {u"http://", ERROR_INTERNET_INVALID_URL},
      {u"http:h/p", ERROR_INTERNET_INVALID_URL},
      {u"http://h:99999/", ERROR_INTERNET_INVALID_URL},
      {u"http://h:12ab/", ERROR_INTERNET_INVALID_URL},
      {u"http://h:123456789012345678901234567890/", ERROR_INTERNET_INVALID_URL},
      {u"http://[::1/", ERROR_INTERNET_INVALID_URL},
      {u"http://[::1]x/", ERROR_INTERNET_INVALID_URL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.url).toStdString());
    Cracked u(c.url);
    EXPECT_FALSE(u.ok);
    EXPECT_EQ(u.error, c.error);
  }
  URL_COMPONENTSW c;
  EXPECT_FALSE(InternetCrackUrlW(nullptr, 0, 0, &c));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  c.dwStructSize = 59;
  EXPECT_FALSE(InternetCrackUrlW(u"http://h/", 0, 0, &c));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  c.dwStructSize = 0;
  EXPECT_FALSE(InternetCrackUrlW(u"http://h/", 0, 0, &c));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CrackUrl, TheThirtyTwoBitRecordSizeIsAccepted) {
  char16_t host[256];
  URL_COMPONENTSW c;
  c.dwStructSize = URL_COMPONENTS_SIZE32;
  c.lpszHostName = host;
  c.dwHostNameLength = 256;
  c.dwUrlPathLength = 1;  // a pointer into the address
  ASSERT_TRUE(InternetCrackUrlW(u"https://example.com:8443/a/b", 0, 0, &c)) << GetLastError();
  EXPECT_EQ(QString::fromUtf16(host), QStringLiteral("example.com"));
  EXPECT_EQ(c.nPort, 8443);
  EXPECT_EQ(QString::fromUtf16(c.lpszUrlPath, c.dwUrlPathLength), QStringLiteral("/a/b"));
  EXPECT_EQ(c.dwStructSize, URL_COMPONENTS_SIZE32);
}
