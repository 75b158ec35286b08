// The URL security manager: its policy table, its events, its place behind
// the platform's default manager and behind a browser host's services, and
// its streaming.
#include "EmbeddedWB/Source/SecurityManager.h"

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Streaming.h"
#include "platform/com/ComObject.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace SecurityManager;

namespace {

struct Answer {
  HRESULT hr;
  DWORD policy;
  bool operator==(const Answer&) const = default;
};
void PrintTo(const Answer& a, std::ostream* os) {
  *os << std::hex << "{hr 0x" << DWORD(a.hr) << ", policy 0x" << a.policy << "}";
}

// The answer to `action` with a 4-byte buffer that starts as 0xAAAAAAAA.
Answer ask(IInternetSecurityManager* m, DWORD action, DWORD size = 4) {
  BYTE buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  const HRESULT hr = m->ProcessUrlAction(u"http://example.test/", action, buffer, size, nullptr, 0, 0, 0);
  DWORD policy;
  std::memcpy(&policy, buffer, 4);
  return {hr, policy};
}

constexpr DWORD kUntouched = 0xAAAAAAAA;

class SecurityManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUrlMon();
    SecurityManager::initialize();
    manager = new TSecurityManager(nullptr);
  }
  void TearDown() override {
    delete manager;
    SecurityManager::finalize();
  }
  TSecurityManager* manager = nullptr;
};

TEST_F(SecurityManagerTest, ThePolicyTableByAction) {
  TUrlPolicyOptions* p = manager->UrlPolicy();
  EXPECT_EQ(ask(manager, 0x1200), (Answer{S_OK, URLPOLICY_ALLOW}));
  EXPECT_EQ(ask(manager, 0x1C00), (Answer{S_OK, URLPOLICY_JAVA_PROHIBIT}));
  p->SetActiveX(Disallow);
  p->SetJavaPermissions(Medium);
  p->SetSubmitForms(Disallow);
  p->SetCrossDomainData(Disallow);
  EXPECT_EQ(ask(manager, 0x1200), (Answer{S_OK, URLPOLICY_DISALLOW}));
  EXPECT_EQ(ask(manager, 0x13FF), (Answer{S_OK, URLPOLICY_DISALLOW}));
  EXPECT_EQ(ask(manager, 0x1CFF), (Answer{S_OK, URLPOLICY_JAVA_MEDIUM}));
  // 0x1605 takes the Java permission, outside the Java range.
  EXPECT_EQ(ask(manager, 0x1605), (Answer{S_OK, URLPOLICY_JAVA_MEDIUM}));
  EXPECT_EQ(ask(manager, 0x1602), (Answer{S_OK, URLPOLICY_DISALLOW}));
  EXPECT_EQ(ask(manager, 0x1603), (Answer{S_OK, URLPOLICY_DISALLOW}));
  // 0x1406 is cross-domain data, though inside the scripting range.
  EXPECT_EQ(ask(manager, 0x1406), (Answer{S_OK, URLPOLICY_DISALLOW}));
  EXPECT_EQ(ask(manager, 0x1400), (Answer{S_OK, URLPOLICY_ALLOW}));
  EXPECT_EQ(ask(manager, 0x15FF), (Answer{S_OK, URLPOLICY_ALLOW}));
  p->SetScripts(Disallow);
  EXPECT_EQ(ask(manager, 0x1400), (Answer{S_OK, URLPOLICY_DISALLOW}));
  const std::pair<TJavaPolicyOption, DWORD> java[] = {
      {Prohibited, 0}, {High, 0x10000}, {Medium, 0x20000}, {Low, 0x30000}, {Custom, 0x800000}};
  for (const auto& [option, policy] : java) {
    p->SetJavaPermissions(option);
    EXPECT_EQ(ask(manager, 0x1C80), (Answer{S_OK, policy}));
  }
  // Outside every range: the default action, even with everything disallowed.
  EXPECT_EQ(ask(manager, 0x1800), (Answer{INET_E_DEFAULT_ACTION, kUntouched}));
  EXPECT_EQ(ask(manager, 0x11FF), (Answer{INET_E_DEFAULT_ACTION, kUntouched}));
  EXPECT_EQ(ask(manager, 0x1D00), (Answer{INET_E_DEFAULT_ACTION, kUntouched}));
}

TEST_F(SecurityManagerTest, SmallOrMissingPolicyBuffers) {
  manager->UrlPolicy()->SetActiveX(Disallow);
  EXPECT_EQ(ask(manager, 0x1200, 3), (Answer{S_FALSE, kUntouched}));
  EXPECT_EQ(ask(manager, 0x1200, 0), (Answer{S_FALSE, kUntouched}));
  EXPECT_EQ(manager->ProcessUrlAction(u"x", 0x1200, nullptr, 4, nullptr, 0, 0, 0), E_INVALIDARG);
  EXPECT_EQ(manager->ProcessUrlAction(u"x", 0x1200, nullptr, 0, nullptr, 0, 0, 0), S_FALSE);
}

TEST_F(SecurityManagerTest, EventsAnswerAndUnassignedOnesLeaveItToTheDefault) {
  DWORD zone = 77;
  EXPECT_EQ(manager->MapUrlToZone(u"http://a.test/", &zone, 0), INET_E_DEFAULT_ACTION);
  EXPECT_EQ(zone, 77u);
  IInternetSecurityMgrSite* site = reinterpret_cast<IInternetSecurityMgrSite*>(1);
  EXPECT_EQ(manager->GetSecuritySite(&site), INET_E_DEFAULT_ACTION);
  EXPECT_EQ(site, nullptr);
  IEnumString* strings = reinterpret_cast<IEnumString*>(1);
  EXPECT_EQ(manager->GetZoneMappings(0, &strings, 0), INET_E_DEFAULT_ACTION);
  EXPECT_EQ(strings, nullptr);
  EXPECT_EQ(manager->SetSecuritySite(nullptr), INET_E_DEFAULT_ACTION);
  EXPECT_EQ(manager->SetZoneMapping(2, u"*.test", 0), INET_E_DEFAULT_ACTION);
  DWORD size = 0;
  EXPECT_EQ(manager->GetSecurityId(u"http://a.test/", nullptr, &size, 0), INET_E_DEFAULT_ACTION);
  BYTE* policy = nullptr;
  EXPECT_EQ(manager->QueryCustomPolicy(u"http://a.test/", GUID{}, &policy, &size, nullptr, 0, 0),
            INET_E_DEFAULT_ACTION);

  QString seenUrl;
  manager->OnMapUrlToZone = [&](LPCWSTR url, DWORD& z, DWORD) {
    seenUrl = OleStrToString(url);
    z = URLZONE_TRUSTED;
    return S_OK;
  };
  manager->OnProcessUrlAction = [](LPCWSTR, DWORD action, BYTE* p, DWORD cb, BYTE*, DWORD, DWORD, DWORD) {
    if (cb >= 4) std::memcpy(p, &action, 4);
    return HRESULT(S_FALSE);
  };
  manager->OnSetZoneMapping = [&](DWORD z, LPCWSTR pattern, DWORD) {
    seenUrl = OleStrToString(pattern);
    return z == 2 ? S_OK : E_FAIL;
  };
  EXPECT_EQ(manager->MapUrlToZone(u"http://a.test/", &zone, 0), S_OK);
  EXPECT_EQ(zone, DWORD(URLZONE_TRUSTED));
  EXPECT_EQ(seenUrl, "http://a.test/");
  EXPECT_EQ(manager->MapUrlToZone(u"http://a.test/", nullptr, 0), E_INVALIDARG);
  // The event replaces the table, for every action.
  EXPECT_EQ(ask(manager, 0x1800), (Answer{S_FALSE, 0x1800}));
  EXPECT_EQ(manager->SetZoneMapping(2, u"*.test", 0), S_OK);
  EXPECT_EQ(seenUrl, "*.test");
}

TEST_F(SecurityManagerTest, ItsLifetimeIsTheOwnersAndItAnswersItsOwnInterfaces) {
  EXPECT_EQ(manager->AddRef(), 1u);
  EXPECT_EQ(manager->Release(), 1u);
  EXPECT_EQ(manager->Release(), 1u);  // frees nothing
  void* asked = nullptr;
  EXPECT_EQ(manager->QueryInterface(IID_IInternetSecurityManager, &asked), S_OK);
  EXPECT_EQ(asked, static_cast<IInternetSecurityManager*>(manager));
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(manager->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

// A site that hands the component out as the default manager asks.
class Site : public ComObject<IInternetSecurityMgrSite, IServiceProvider> {
 public:
  explicit Site(IUnknown* manager) : manager_(manager) {}
  HRESULT GetWindow(HWND* phwnd) override {
    *phwnd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT EnableModeless(BOOL) override { return S_OK; }
  HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (service != SID_SInternetSecurityManager) return E_NOINTERFACE;
    return manager_->QueryInterface(riid, ppv);
  }

 private:
  IUnknown* manager_;
};

TEST_F(SecurityManagerTest, BehindThePlatformsDefaultManager) {
  ComPtr<IInternetSecurityManager> platform;
  ASSERT_EQ(CoInternetCreateSecurityManager(nullptr, &platform, 0), S_OK);
  ComPtr<Site> site = MakeCom<Site>(static_cast<IInternetSecurityManager*>(manager));
  ASSERT_EQ(platform->SetSecuritySite(site.Get()), S_OK);

  // The table answers what it knows; the platform's zones answer the rest.
  manager->UrlPolicy()->SetScripts(Disallow);
  EXPECT_EQ(ask(platform.Get(), URLACTION_SCRIPT_RUN).policy, DWORD(URLPOLICY_DISALLOW));
  DWORD zone = 99;
  ASSERT_EQ(platform->MapUrlToZone(u"http://www.example.com/", &zone, 0), S_OK);
  EXPECT_EQ(zone, DWORD(URLZONE_INTERNET));
  manager->OnMapUrlToZone = [](LPCWSTR, DWORD& z, DWORD) {
    z = URLZONE_UNTRUSTED;
    return S_OK;
  };
  ASSERT_EQ(platform->MapUrlToZone(u"http://www.example.com/", &zone, 0), S_OK);
  EXPECT_EQ(zone, DWORD(URLZONE_UNTRUSTED));
  ASSERT_EQ(platform->SetSecuritySite(nullptr), S_OK);
}

TEST_F(SecurityManagerTest, HandedOutThroughTheBrowsersServiceQuery) {
  InitializeForms();
  EmbeddedWB::initialize();
  TForm* form = NewForm<TForm>(nullptr);
  auto* wb = new EmbeddedWB::TEmbeddedWB(form);
  wb->SetParent(form);
  IServiceProvider* services = wb;
  void* found = nullptr;
  // Without the event the browser offers no security manager of the host.
  EXPECT_EQ(services->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager, &found),
            E_NOINTERFACE);
  wb->OnQueryService = [this](TObject*, REFGUID rsid, REFIID, ComPtr<IUnknown>& obj) {
    if (rsid == SID_SInternetSecurityManager) obj = static_cast<IInternetSecurityManager*>(manager);
  };
  ASSERT_EQ(services->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager, &found), S_OK);
  auto* asked = static_cast<IInternetSecurityManager*>(found);
  EXPECT_EQ(asked, static_cast<IInternetSecurityManager*>(manager));
  EXPECT_EQ(ask(asked, 0x1200).policy, DWORD(URLPOLICY_ALLOW));
  asked->Release();
  delete form;
  EmbeddedWB::finalize();
  FinalizeForms();
}

TEST_F(SecurityManagerTest, AllFivePoliciesAreStreamedWhateverTheirValue) {
  TComponent owner(nullptr);
  auto* m = new TSecurityManager(&owner);
  m->SetName("SecurityManager");
  const QString text = WriteComponentRes(m);
  for (const char* line : {"UrlPolicy.ActiveX = Allow", "UrlPolicy.CrossDomainData = Allow",
                           "UrlPolicy.JavaPermissions = Prohibited", "UrlPolicy.SubmitForms = Allow",
                           "UrlPolicy.Scripts = Allow"})
    EXPECT_TRUE(text.contains(line)) << line << "\n" << text.toStdString();
  m->UrlPolicy()->SetJavaPermissions(Low);
  m->UrlPolicy()->SetCrossDomainData(Disallow);
  TSecurityManager back(nullptr);
  ReadComponentRes(WriteComponentRes(m), &back);
  EXPECT_EQ(back.UrlPolicy()->JavaPermissions(), Low);
  EXPECT_EQ(back.UrlPolicy()->CrossDomainData(), Disallow);
  EXPECT_EQ(back.UrlPolicy()->ActiveX(), Allow);
}

}  // namespace
