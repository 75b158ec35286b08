// URL monikers, bind contexts, callback registration and address checks.
#include <gtest/gtest.h>

#include "tests/platform/urlmon/BindRecorder.h"

namespace {

String displayName(IMoniker* moniker) {
  LPOLESTR name = nullptr;
  EXPECT_EQ(moniker->GetDisplayName(nullptr, nullptr, &name), S_OK);
  const String text = OleStrToString(name);
  CoTaskMemFree(name);
  return text;
}

String monikerName(const char16_t* url, IMoniker* context = nullptr, DWORD flags = URL_MK_UNIFORM) {
  ComPtr<IMoniker> moniker;
  EXPECT_EQ(CreateURLMonikerEx(context, url, &moniker, flags), S_OK);
  return moniker ? displayName(moniker.Get()) : String();
}

TEST(UrlMoniker, AddressesAreCanonicalizedAndResolved) {
  const long blocks = CoTaskMemLiveBlocks();
  EXPECT_EQ(monikerName(u"HTTP://User:Pw@Example.COM:8080"), "http://User:Pw@example.com:8080/");
  EXPECT_EQ(monikerName(u"  https://Example.com?q=A  "), "https://example.com/?q=A");
  EXPECT_EQ(monikerName(u"http://example.com/Path/Page.HTML"), "http://example.com/Path/Page.HTML");
  EXPECT_EQ(monikerName(u"HTTP://Example.COM", nullptr, URL_MK_NO_CANONICALIZE), "HTTP://Example.COM");
  EXPECT_EQ(monikerName(u"about:blank"), "about:blank");
  EXPECT_EQ(monikerName(u"/tmp/a b.html"), "file:///tmp/a%20b.html");

  ComPtr<IMoniker> context;
  ASSERT_EQ(CreateURLMonikerEx(nullptr, u"http://example.com/dir/page.html", &context, 1), S_OK);
  EXPECT_EQ(monikerName(u"other.html", context.Get()), "http://example.com/dir/other.html");
  EXPECT_EQ(monikerName(u"/root.png", context.Get()), "http://example.com/root.png");
  EXPECT_EQ(monikerName(u"https://else.org/x", context.Get()), "https://else.org/x");

  ComPtr<IMoniker> moniker;
  EXPECT_EQ(CreateURLMonikerEx(nullptr, u"   ", &moniker, URL_MK_UNIFORM), MK_E_SYNTAX);
  EXPECT_FALSE(moniker);
  EXPECT_EQ(CreateURLMonikerEx(nullptr, nullptr, &moniker, URL_MK_UNIFORM), E_INVALIDARG);
  EXPECT_EQ(CreateURLMonikerEx(nullptr, u"http://x/", nullptr, URL_MK_UNIFORM), E_INVALIDARG);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}

TEST(UrlMoniker, IdentifiesItselfAndComparesByAddress) {
  ComPtr<IMoniker> a, b, c;
  ASSERT_EQ(CreateURLMoniker(nullptr, u"http://example.com/", &a), S_OK);
  ASSERT_EQ(CreateURLMoniker(nullptr, u"HTTP://EXAMPLE.COM/", &b), S_OK);
  ASSERT_EQ(CreateURLMoniker(nullptr, u"http://example.org/", &c), S_OK);
  EXPECT_EQ(a->IsEqual(b.Get()), S_OK);
  EXPECT_EQ(a->IsEqual(c.Get()), S_FALSE);
  EXPECT_EQ(a->IsEqual(nullptr), S_FALSE);
  DWORD ha = 0, hb = 0;
  a->Hash(&ha);
  b->Hash(&hb);
  EXPECT_EQ(ha, hb);
  DWORD kind = 0;
  EXPECT_EQ(a->IsSystemMoniker(&kind), S_OK);
  EXPECT_EQ(kind, DWORD(MKSYS_URLMONIKER));
  CLSID clsid{};
  EXPECT_EQ(a->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_StdURLMoniker);
  ComPtr<IPersist> persist;
  EXPECT_EQ(a.As(&persist), S_OK);
  // A storage other than a stream is refused before anything happens.
  ComPtr<IBindCtx> bindCtx;
  ASSERT_EQ(CreateBindCtx(0, &bindCtx), S_OK);
  ComPtr<IUnknown> storage;
  constexpr IID storageIid = GuidLiteral("{0000000B-0000-0000-C000-000000000046}");
  EXPECT_EQ(a->BindToStorage(bindCtx.Get(), nullptr, storageIid, &storage), E_NOINTERFACE);
}

TEST(BindContext, HoldsParametersAndTheRegisteredCallback) {
  ComPtr<BindRecorder> first = MakeCom<BindRecorder>();
  ComPtr<BindRecorder> second = MakeCom<BindRecorder>();
  ComPtr<IBindCtx> bindCtx;
  ASSERT_EQ(CreateAsyncBindCtx(0, first.Get(), nullptr, &bindCtx), S_OK);
  ComPtr<IUnknown> held;
  ASSERT_EQ(bindCtx->GetObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), &held), S_OK);
  EXPECT_TRUE(IsSameObject(held.Get(), static_cast<IBindStatusCallback*>(first.Get())));

  // Registering the same callback again hands out no predecessor.
  IBindStatusCallback* previous = reinterpret_cast<IBindStatusCallback*>(1);
  EXPECT_EQ(RegisterBindStatusCallback(bindCtx.Get(), first.Get(), &previous, 0), S_OK);
  EXPECT_EQ(previous, nullptr);
  // A different one does.
  EXPECT_EQ(RegisterBindStatusCallback(bindCtx.Get(), second.Get(), &previous, 0), S_OK);
  ASSERT_NE(previous, nullptr);
  EXPECT_TRUE(IsSameObject(previous, static_cast<IBindStatusCallback*>(first.Get())));
  previous->Release();

  EXPECT_EQ(RevokeBindStatusCallback(bindCtx.Get(), first.Get()), E_FAIL);
  EXPECT_EQ(RevokeBindStatusCallback(bindCtx.Get(), second.Get()), S_OK);
  EXPECT_EQ(bindCtx->GetObjectParam(const_cast<LPOLESTR>(BSCB_HOLDER_KEY), &held), E_FAIL);
  EXPECT_EQ(RevokeBindStatusCallback(bindCtx.Get(), second.Get()), E_FAIL);
  EXPECT_EQ(RegisterBindStatusCallback(nullptr, first.Get(), nullptr, 0), E_INVALIDARG);

  // Other parameters and their enumeration.
  ASSERT_EQ(bindCtx->RegisterObjectParam(const_cast<LPOLESTR>(u"Key"), first->GetUnknown()), S_OK);
  ComPtr<IEnumString> names;
  ASSERT_EQ(bindCtx->EnumObjectParam(&names), S_OK);
  LPOLESTR name = nullptr;
  ULONG fetched = 0;
  ASSERT_EQ(names->Next(1, &name, &fetched), S_OK);
  EXPECT_EQ(OleStrToString(name), QStringLiteral("Key"));
  CoTaskMemFree(name);
  EXPECT_EQ(names->Next(1, &name, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(bindCtx->RevokeObjectParam(const_cast<LPOLESTR>(u"Key")), S_OK);
  EXPECT_EQ(bindCtx->RevokeObjectParam(const_cast<LPOLESTR>(u"Key")), S_FALSE);

  BIND_OPTS options{sizeof(BIND_OPTS), 0, 0, 0};
  ASSERT_EQ(bindCtx->GetBindOptions(&options), S_OK);
  EXPECT_EQ(options.grfFlags, DWORD(BIND_MAYBOTHERUSER));
}

TEST(IsValidUrl, AcceptsWellFormedAddressesOfKnownSchemes) {
  const char16_t* valid[] = {u"http://example.com",
                             u"https://example.com/path?q=1#top",
                             u"http://user:pw@host:8080/",
                             u"http://[::1]:80/",
                             u"ftp://ftp.example.com/file.txt",
                             u"file:///tmp/page.html",
                             u"file://server/share/x",
                             u"about:blank",
                             u"mailto:someone@example.com",
                             u"javascript:alert(1)",
                             u"res://ieframe.dll/navcancl.htm",
                             u"HTTP://EXAMPLE.COM/"};
  for (const char16_t* url : valid)
    EXPECT_EQ(IsValidURL(nullptr, url, 0), S_OK) << QString::fromUtf16(url).toStdString();
  const char16_t* invalid[] = {u"",
                               u"www.example.com",
                               u"example.com/page",
                               u"c:\\page.html",
                               u"http:",
                               u"http:example.com",
                               u"http://",
                               u"http://exa mple.com/",
                               u"http://example.com:99999/",
                               u"http://example.com:/",
                               u"unknown://example.com/",
                               u" http://example.com/",
                               u"http://example.com/\n",
                               u"about:"};
  for (const char16_t* url : invalid)
    EXPECT_EQ(IsValidURL(nullptr, url, 0), S_FALSE) << QString::fromUtf16(url).toStdString();
  EXPECT_EQ(IsValidURL(nullptr, nullptr, 0), E_INVALIDARG);
}

TEST(BindInfo, ReleaseFreesStringsAndMedium) {
  const long blocks = CoTaskMemLiveBlocks();
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateMemoryStream(&stream, "body"), S_OK);
  BINDINFO info{};
  info.cbSize = sizeof info;
  info.szExtraInfo = CoTaskMemDupString(QStringLiteral("#x"));
  info.szCustomVerb = CoTaskMemDupString(QStringLiteral("PATCH"));
  info.stgmedData.tymed = TYMED_ISTREAM;
  info.stgmedData.pstm = stream.Get();
  stream->AddRef();
  ReleaseBindInfo(&info);
  EXPECT_EQ(info.cbSize, ULONG(sizeof info));
  EXPECT_EQ(info.szExtraInfo, nullptr);
  EXPECT_EQ(info.stgmedData.pstm, nullptr);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
  EXPECT_EQ(stream->AddRef(), 2u);  // only the test's own reference is left (and this one)
  stream->Release();
}

}  // namespace
