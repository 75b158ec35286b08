// The default security manager, the zone manager, the feature switches and
// the "urlmon.dll" stand-in module.
#include <gtest/gtest.h>

#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Modules.h"

#include <vector>

namespace {

DWORD zoneOf(IInternetSecurityManager* manager, const char16_t* url, DWORD flags = 0) {
  DWORD zone = 12345;
  EXPECT_EQ(manager->MapUrlToZone(url, &zone, flags), S_OK);
  return zone;
}

// Answers the policy of an action and the result code.
std::pair<HRESULT, DWORD> processAction(IInternetSecurityManager* manager, const char16_t* url,
                                        DWORD action) {
  DWORD policy = 0xDEADBEEF;
  const HRESULT hr = manager->ProcessUrlAction(url, action, reinterpret_cast<BYTE*>(&policy), sizeof policy,
                                               nullptr, 0, PUAF_NOUI, 0);
  return {hr, policy};
}

class Security : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUrlMon();
    ASSERT_EQ(CoInternetCreateSecurityManager(nullptr, &manager_, 0), S_OK);
  }
  void TearDown() override {
    for (const auto& [zone, pattern] : mappings_) manager_->SetZoneMapping(zone, pattern.c_str(), SZM_DELETE);
  }
  HRESULT map(DWORD zone, const std::u16string& pattern) {
    const HRESULT hr = manager_->SetZoneMapping(zone, pattern.c_str(), SZM_CREATE);
    if (hr == S_OK) mappings_.push_back({zone, pattern});
    return hr;
  }
  ComPtr<IInternetSecurityManager> manager_;
  std::vector<std::pair<DWORD, std::u16string>> mappings_;
};

TEST_F(Security, AddressesMapToTheirZones) {
  EXPECT_EQ(zoneOf(manager_.Get(), u"file:///tmp/page.html"), DWORD(URLZONE_LOCAL_MACHINE));
  EXPECT_EQ(zoneOf(manager_.Get(), u"/tmp/page.html"), DWORD(URLZONE_LOCAL_MACHINE));
  EXPECT_EQ(zoneOf(manager_.Get(), u"page.html", MUTZ_ISFILE), DWORD(URLZONE_LOCAL_MACHINE));
  EXPECT_EQ(zoneOf(manager_.Get(), u"file://server/share/x.htm"), DWORD(URLZONE_INTRANET));
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://intranetbox/"), DWORD(URLZONE_INTRANET));
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://www.example.com/"), DWORD(URLZONE_INTERNET));
  EXPECT_EQ(zoneOf(manager_.Get(), u"https://127.0.0.1:8443/"), DWORD(URLZONE_INTERNET));
  EXPECT_EQ(zoneOf(manager_.Get(), u"about:blank"), DWORD(URLZONE_INTERNET));
  DWORD zone = 0;
  EXPECT_EQ(manager_->MapUrlToZone(nullptr, &zone, 0), E_INVALIDARG);
}

TEST_F(Security, ZoneMappingsTakePrecedenceMostSpecificFirst) {
  ASSERT_EQ(map(URLZONE_TRUSTED, u"*.example.com"), S_OK);
  ASSERT_EQ(map(URLZONE_UNTRUSTED, u"http://bad.example.com"), S_OK);
  EXPECT_EQ(zoneOf(manager_.Get(), u"https://www.example.com/"), DWORD(URLZONE_TRUSTED));
  EXPECT_EQ(zoneOf(manager_.Get(), u"https://example.com/"), DWORD(URLZONE_TRUSTED));
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://bad.example.com/x"), DWORD(URLZONE_UNTRUSTED));
  EXPECT_EQ(zoneOf(manager_.Get(), u"https://bad.example.com/x"), DWORD(URLZONE_TRUSTED));
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://notexample.com/"), DWORD(URLZONE_INTERNET));
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://bad.example.com/", MUTZ_IGNORE_ZONE_MAPPINGS),
            DWORD(URLZONE_INTERNET));

  // A pattern belongs to one zone at a time; paths are not patterns.
  EXPECT_EQ(map(URLZONE_INTRANET, u"*.EXAMPLE.com"), HRESULT_FROM_WIN32(80));
  EXPECT_EQ(map(URLZONE_TRUSTED, u"*.example.com"), S_OK);
  EXPECT_EQ(map(URLZONE_TRUSTED, u"http://example.com/path"), E_INVALIDARG);
  EXPECT_EQ(map(9, u"x.org"), E_INVALIDARG);

  ComPtr<IEnumString> patterns;
  ASSERT_EQ(manager_->GetZoneMappings(URLZONE_TRUSTED, &patterns, 0), S_OK);
  LPOLESTR names[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(patterns->Next(4, names, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(OleStrToString(names[0]), QStringLiteral("*.example.com"));
  CoTaskMemFree(names[0]);

  EXPECT_EQ(manager_->SetZoneMapping(URLZONE_INTRANET, u"*.example.com", SZM_DELETE),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(manager_->SetZoneMapping(URLZONE_TRUSTED, u"*.example.com", SZM_DELETE), S_OK);
  EXPECT_EQ(zoneOf(manager_.Get(), u"https://www.example.com/"), DWORD(URLZONE_INTERNET));
}

TEST_F(Security, UrlActionsFollowTheZonePolicies) {
  auto [hr, policy] = processAction(manager_.Get(), u"http://www.example.com/", URLACTION_SCRIPT_RUN);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(policy, DWORD(URLPOLICY_ALLOW));
  std::tie(hr, policy) =
      processAction(manager_.Get(), u"http://www.example.com/", URLACTION_CROSS_DOMAIN_DATA);
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(policy, DWORD(URLPOLICY_DISALLOW));
  std::tie(hr, policy) = processAction(manager_.Get(), u"file:///tmp/x.html", URLACTION_CROSS_DOMAIN_DATA);
  EXPECT_EQ(hr, S_OK);
  // A question nobody can be asked is a refusal, with the policy reported.
  std::tie(hr, policy) =
      processAction(manager_.Get(), u"http://www.example.com/", URLACTION_DOWNLOAD_SIGNED_ACTIVEX);
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(policy, DWORD(URLPOLICY_QUERY));

  ASSERT_EQ(map(URLZONE_UNTRUSTED, u"evil.example.net"), S_OK);
  std::tie(hr, policy) = processAction(manager_.Get(), u"http://evil.example.net/", URLACTION_SCRIPT_RUN);
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(policy, DWORD(URLPOLICY_DISALLOW));

  // A buffer too small for the policy is left alone.
  BYTE small[3] = {7, 7, 7};
  EXPECT_EQ(manager_->ProcessUrlAction(u"http://www.example.com/", URLACTION_SCRIPT_RUN, small, 3, nullptr, 0,
                                       0, 0),
            S_OK);
  EXPECT_EQ(small[0], 7);

  // The zone manager changes a zone's policy for the process.
  ComPtr<IInternetZoneManager> zones;
  ASSERT_EQ(CoInternetCreateZoneManager(nullptr, &zones, 0), S_OK);
  DWORD before = 0, disallow = URLPOLICY_DISALLOW;
  ASSERT_EQ(zones->GetZoneActionPolicy(URLZONE_INTERNET, URLACTION_SCRIPT_RUN,
                                       reinterpret_cast<BYTE*>(&before), 4, URLZONEREG_DEFAULT),
            S_OK);
  ASSERT_EQ(zones->SetZoneActionPolicy(URLZONE_INTERNET, URLACTION_SCRIPT_RUN,
                                       reinterpret_cast<BYTE*>(&disallow), 4, URLZONEREG_DEFAULT),
            S_OK);
  EXPECT_EQ(processAction(manager_.Get(), u"http://www.example.com/", URLACTION_SCRIPT_RUN).first, S_FALSE);
  zones->SetZoneActionPolicy(URLZONE_INTERNET, URLACTION_SCRIPT_RUN, reinterpret_cast<BYTE*>(&before), 4,
                             URLZONEREG_DEFAULT);
  EXPECT_EQ(processAction(manager_.Get(), u"http://www.example.com/", URLACTION_SCRIPT_RUN).first, S_OK);
}

TEST_F(Security, SecurityIdsNameSchemeHostAndZone) {
  BYTE id[MAX_SIZE_SECURITY_ID] = {};
  DWORD size = sizeof id;
  ASSERT_EQ(manager_->GetSecurityId(u"http://www.Example.com:8080/page", id, &size, 0), S_OK);
  const QByteArray expected = QByteArray("http:www.example.com") + QByteArray("\x03\0\0\0", 4);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(id), int(size)), expected);
  size = 5;
  EXPECT_EQ(manager_->GetSecurityId(u"http://www.example.com/", id, &size, 0), E_NOT_SUFFICIENT_BUFFER);
  EXPECT_EQ(size, DWORD(expected.size()));
  size = sizeof id;
  ASSERT_EQ(manager_->GetSecurityId(u"file:///tmp/a.html", id, &size, 0), S_OK);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(id), int(size)), QByteArray("file:\0\0\0\0", 9));
}

// A host's own security manager, offered through the site's services: it
// places one host in the Restricted zone and leaves the rest to the default.
class HostManager : public ComObject<IInternetSecurityManager> {
 public:
  int calls = 0;
  HRESULT SetSecuritySite(IInternetSecurityMgrSite*) override { return INET_E_DEFAULT_ACTION; }
  HRESULT GetSecuritySite(IInternetSecurityMgrSite**) override { return INET_E_DEFAULT_ACTION; }
  HRESULT MapUrlToZone(LPCWSTR url, DWORD* zone, DWORD) override {
    ++calls;
    if (OleStrToString(url).contains(QStringLiteral("hostile"))) {
      *zone = URLZONE_UNTRUSTED;
      return S_OK;
    }
    return INET_E_DEFAULT_ACTION;
  }
  HRESULT GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override { return INET_E_DEFAULT_ACTION; }
  HRESULT ProcessUrlAction(LPCWSTR, DWORD action, BYTE* policy, DWORD cb, BYTE*, DWORD, DWORD,
                           DWORD) override {
    ++calls;
    if (action != URLACTION_HTML_SUBMIT_FORMS_FROM) return INET_E_DEFAULT_ACTION;
    if (cb >= 4) *reinterpret_cast<DWORD*>(policy) = URLPOLICY_DISALLOW;
    return S_FALSE;
  }
  HRESULT QueryCustomPolicy(LPCWSTR, REFGUID, BYTE**, DWORD*, BYTE*, DWORD, DWORD) override {
    return INET_E_DEFAULT_ACTION;
  }
  HRESULT SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return INET_E_DEFAULT_ACTION; }
  HRESULT GetZoneMappings(DWORD, IEnumString**, DWORD) override { return INET_E_DEFAULT_ACTION; }
};

class Site : public ComObject<IInternetSecurityMgrSite, IServiceProvider> {
 public:
  explicit Site(IInternetSecurityManager* manager) : manager_(manager) {}
  HRESULT GetWindow(HWND* phwnd) override {
    *phwnd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT EnableModeless(BOOL) override { return S_OK; }
  HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (service != SID_SInternetSecurityManager || !manager_) return E_NOINTERFACE;
    return manager_->QueryInterface(riid, ppv);
  }

 private:
  ComPtr<IInternetSecurityManager> manager_;
};

TEST_F(Security, TheSitesOwnManagerIsAskedFirst) {
  ComPtr<HostManager> host = MakeCom<HostManager>();
  ComPtr<Site> site = MakeCom<Site>(host.Get());
  ASSERT_EQ(manager_->SetSecuritySite(site.Get()), S_OK);
  ComPtr<IInternetSecurityMgrSite> back;
  ASSERT_EQ(manager_->GetSecuritySite(&back), S_OK);
  EXPECT_TRUE(IsSameObject(back.Get(), static_cast<IInternetSecurityMgrSite*>(site.Get())));

  EXPECT_EQ(zoneOf(manager_.Get(), u"http://hostile.example.com/"), DWORD(URLZONE_UNTRUSTED));
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://www.example.com/"), DWORD(URLZONE_INTERNET));
  EXPECT_EQ(processAction(manager_.Get(), u"http://www.example.com/", URLACTION_HTML_SUBMIT_FORMS_FROM),
            std::make_pair(S_FALSE, DWORD(URLPOLICY_DISALLOW)));
  EXPECT_EQ(processAction(manager_.Get(), u"http://www.example.com/", URLACTION_HTML_SUBMIT_FORMS_TO),
            std::make_pair(S_OK, DWORD(URLPOLICY_ALLOW)));
  // The default policies follow the zone the host's manager chose.
  EXPECT_EQ(processAction(manager_.Get(), u"http://hostile.example.com/", URLACTION_SCRIPT_RUN),
            std::make_pair(S_FALSE, DWORD(URLPOLICY_DISALLOW)));
  const int calls = host->calls;

  // Without a site only the default answers.
  ASSERT_EQ(manager_->SetSecuritySite(nullptr), S_OK);
  EXPECT_EQ(zoneOf(manager_.Get(), u"http://hostile.example.com/"), DWORD(URLZONE_INTERNET));
  EXPECT_EQ(host->calls, calls);
  // The manager is also a class of the process.
  ComPtr<IInternetSecurityManager> created;
  EXPECT_EQ(CoCreateInstance(CLSID_InternetSecurityManager, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IInternetSecurityManager, &created),
            S_OK);
}

TEST(ZoneManager, DescribesAndEnumeratesTheZones) {
  InitializeUrlMon();
  ComPtr<IInternetZoneManager> zones;
  ASSERT_EQ(CoInternetCreateZoneManager(nullptr, &zones, 0), S_OK);
  DWORD enumerator = 0, count = 0;
  ASSERT_EQ(zones->CreateZoneEnumerator(&enumerator, &count, 0), S_OK);
  ASSERT_EQ(count, 5u);
  const char* names[] = {"My Computer", "Local intranet", "Trusted sites", "Internet", "Restricted sites"};
  for (DWORD i = 0; i < count; ++i) {
    DWORD zone = 99;
    ASSERT_EQ(zones->GetZoneAt(enumerator, i, &zone), S_OK);
    ZONEATTRIBUTES attributes{};
    attributes.cbSize = sizeof attributes;
    ASSERT_EQ(zones->GetZoneAttributes(zone, &attributes), S_OK);
    EXPECT_EQ(QString::fromUtf16(attributes.szDisplayName), QString::fromLatin1(names[i]));
    EXPECT_FALSE(QString::fromUtf16(attributes.szDescription).isEmpty());
  }
  ZONEATTRIBUTES internet{};
  zones->GetZoneAttributes(URLZONE_INTERNET, &internet);
  EXPECT_EQ(internet.dwTemplateCurrentLevel, DWORD(URLTEMPLATE_MEDHIGH));
  DWORD zone = 0;
  EXPECT_EQ(zones->GetZoneAt(enumerator, 5, &zone), E_INVALIDARG);
  EXPECT_EQ(zones->DestroyZoneEnumerator(enumerator), S_OK);
  EXPECT_EQ(zones->GetZoneAt(enumerator, 0, &zone), E_INVALIDARG);
  EXPECT_EQ(zones->DestroyZoneEnumerator(enumerator), E_INVALIDARG);
  ZONEATTRIBUTES attributes{};
  EXPECT_EQ(zones->GetZoneAttributes(URLZONE_USER_MIN, &attributes), E_INVALIDARG);
}

TEST(Features, SwitchesAreKeptPerProcessAndHeard) {
  InitializeUrlMon();
  ResetInternetFeatures();
  // The start values.
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_OBJECT_CACHING, GET_FEATURE_FROM_PROCESS), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_XMLHTTP, GET_FEATURE_FROM_PROCESS), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_TABBED_BROWSING, GET_FEATURE_FROM_PROCESS), S_FALSE);

  std::vector<std::pair<int, bool>> heard;
  const int id = AddFeatureListener([&](int feature, bool on) { heard.push_back({feature, on}); });
  EXPECT_EQ(CoInternetSetFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, TRUE),
            S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, GET_FEATURE_FROM_PROCESS), S_OK);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, GET_FEATURE_FROM_THREAD), S_OK);
  // Setting the same value again is no change.
  CoInternetSetFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, -1);
  CoInternetSetFeatureEnabled(FEATURE_XMLHTTP, SET_FEATURE_ON_PROCESS, FALSE);
  EXPECT_EQ(heard, (std::vector<std::pair<int, bool>>{{FEATURE_DISABLE_NAVIGATION_SOUNDS, true},
                                                      {FEATURE_XMLHTTP, false}}));

  EXPECT_EQ(CoInternetSetFeatureEnabled(FEATURE_ENTRY_COUNT, SET_FEATURE_ON_PROCESS, TRUE), E_FAIL);
  EXPECT_EQ(CoInternetIsFeatureEnabled(INTERNETFEATURELIST(200), GET_FEATURE_FROM_PROCESS), E_FAIL);
  EXPECT_EQ(CoInternetSetFeatureEnabled(FEATURE_FEEDS, SET_FEATURE_ON_THREAD, TRUE), E_NOTIMPL);
  EXPECT_EQ(CoInternetIsFeatureEnabled(FEATURE_FEEDS, GET_FEATURE_FROM_PROCESS), S_FALSE);

  ResetInternetFeatures();
  EXPECT_EQ(heard.size(), 4u);  // both changes undone
  RemoveFeatureListener(id);
  CoInternetSetFeatureEnabled(FEATURE_FEEDS, SET_FEATURE_ON_PROCESS, TRUE);
  EXPECT_EQ(heard.size(), 4u);
  ResetInternetFeatures();
}

TEST(UrlMonModule, EntryPointsAreFoundByName) {
  InitializeUrlMon();
  ResetInternetFeatures();
  const HMODULE module = LoadLibraryW(u"URLMON.DLL");
  ASSERT_NE(module, nullptr);
  using SetFeature = HRESULT (*)(INTERNETFEATURELIST, DWORD, BOOL);
  using IsFeature = HRESULT (*)(INTERNETFEATURELIST, DWORD);
  auto set = reinterpret_cast<SetFeature>(GetProcAddress(module, "CoInternetSetFeatureEnabled"));
  auto is = reinterpret_cast<IsFeature>(GetProcAddress(module, "CoInternetIsFeatureEnabled"));
  ASSERT_NE(set, nullptr);
  ASSERT_NE(is, nullptr);
  EXPECT_EQ(set(FEATURE_BLOCK_INPUT_PROMPTS, SET_FEATURE_ON_PROCESS, -1), S_OK);
  EXPECT_EQ(is(FEATURE_BLOCK_INPUT_PROMPTS, SET_FEATURE_ON_PROCESS), S_OK);
  EXPECT_NE(GetProcAddress(module, "URLDownloadToFileW"), nullptr);
  EXPECT_NE(GetProcAddress(module, "IsValidURL"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "NoSuchEntry"), nullptr);
  FreeLibrary(module);
  ResetInternetFeatures();
}

}  // namespace
