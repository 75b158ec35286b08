#include "EmbeddedWB/Source/SecurityManager.h"

#include "platform/classlib/Streaming.h"

#include <cstring>

namespace SecurityManager {

namespace {

int unitStarts = 0;

// The ranges of URL actions (inclusive) by the option that answers them.
constexpr DWORD kActiveXFirst = 0x1200, kActiveXLast = 0x13FF;
constexpr DWORD kJavaFirst = 0x1C00, kJavaLast = 0x1CFF;
constexpr DWORD kJavaPermissionsAction = 0x1605;
constexpr DWORD kSubmitFormsFrom = 0x1602, kSubmitFormsTo = 0x1603;
constexpr DWORD kCrossDomainData = 0x1406;
constexpr DWORD kScriptFirst = 0x1400, kScriptLast = 0x15FF;

constexpr DWORD kJavaPolicies[] = {URLPOLICY_JAVA_PROHIBIT, URLPOLICY_JAVA_HIGH, URLPOLICY_JAVA_MEDIUM,
                                   URLPOLICY_JAVA_LOW, URLPOLICY_JAVA_CUSTOM};

}  // namespace

void TUrlPolicyOptions::Assign(TPersistent* source) {
  auto* s = qobject_cast<TUrlPolicyOptions*>(source);
  if (!s) {
    TPersistent::Assign(source);
    return;
  }
  activeX_ = s->activeX_;
  crossDomainData_ = s->crossDomainData_;
  javaPermissions_ = s->javaPermissions_;
  submitForms_ = s->submitForms_;
  scripts_ = s->scripts_;
}

DWORD PolicyOf(TAllowDisAllowPolicyOption option) {
  return option == Disallow ? DWORD(URLPOLICY_DISALLOW) : DWORD(URLPOLICY_ALLOW);
}

DWORD PolicyOf(TJavaPolicyOption option) { return kJavaPolicies[option]; }

// ---------------------------------------------------------------- TSecurityManager

TSecurityManager::TSecurityManager(TComponent* AOwner)
    : TComponent(AOwner), urlPolicy_(new TUrlPolicyOptions(this)) {}

TSecurityManager::~TSecurityManager() = default;

HRESULT TSecurityManager::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IInternetSecurityManager) {
    *ppvObject = static_cast<IInternetSecurityManager*>(this);
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

HRESULT TSecurityManager::SetSecuritySite(IInternetSecurityMgrSite* pSite) {
  return OnSetSecuritySite ? OnSetSecuritySite(pSite) : INET_E_DEFAULT_ACTION;
}

HRESULT TSecurityManager::GetSecuritySite(IInternetSecurityMgrSite** ppSite) {
  if (ppSite) *ppSite = nullptr;
  if (!OnGetSecuritySite) return INET_E_DEFAULT_ACTION;
  if (!ppSite) return E_INVALIDARG;
  ComPtr<IInternetSecurityMgrSite> site;
  const HRESULT hr = OnGetSecuritySite(site);
  *ppSite = site.Detach();
  return hr;
}

HRESULT TSecurityManager::MapUrlToZone(LPCWSTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) {
  if (!OnMapUrlToZone) return INET_E_DEFAULT_ACTION;
  if (!pdwZone) return E_INVALIDARG;
  return OnMapUrlToZone(pwszUrl, *pdwZone, dwFlags);
}

HRESULT TSecurityManager::GetSecurityId(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD* pcbSecurityId,
                                        DWORD_PTR dwReserved) {
  if (!OnGetSecurityID) return INET_E_DEFAULT_ACTION;
  if (!pcbSecurityId) return E_INVALIDARG;
  return OnGetSecurityID(pwszUrl, pbSecurityId, *pcbSecurityId, dwReserved);
}

HRESULT TSecurityManager::ProcessUrlAction(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                           BYTE* pContext, DWORD cbContext, DWORD dwFlags, DWORD dwReserved) {
  if (OnProcessUrlAction)
    return OnProcessUrlAction(pwszUrl, dwAction, pPolicy, cbPolicy, pContext, cbContext, dwFlags, dwReserved);
  DWORD policy = 0;
  if (dwAction >= kActiveXFirst && dwAction <= kActiveXLast)
    policy = PolicyOf(urlPolicy_->ActiveX());
  else if ((dwAction >= kJavaFirst && dwAction <= kJavaLast) || dwAction == kJavaPermissionsAction)
    policy = PolicyOf(urlPolicy_->JavaPermissions());
  else if (dwAction == kSubmitFormsFrom || dwAction == kSubmitFormsTo)
    policy = PolicyOf(urlPolicy_->SubmitForms());
  else if (dwAction == kCrossDomainData)
    policy = PolicyOf(urlPolicy_->CrossDomainData());
  else if (dwAction >= kScriptFirst && dwAction <= kScriptLast)
    policy = PolicyOf(urlPolicy_->Scripts());
  else
    return INET_E_DEFAULT_ACTION;
  if (cbPolicy < sizeof(DWORD)) return S_FALSE;
  // A size without a buffer to write to is the caller's mistake.
  if (!pPolicy) return E_INVALIDARG;
  std::memcpy(pPolicy, &policy, sizeof(DWORD));
  return S_OK;
}

HRESULT TSecurityManager::QueryCustomPolicy(LPCWSTR pwszUrl, REFGUID guidKey, BYTE** ppPolicy,
                                            DWORD* pcbPolicy, BYTE* pContext, DWORD cbContext,
                                            DWORD dwReserved) {
  if (!OnQueryCustomPolicy) return INET_E_DEFAULT_ACTION;
  if (!ppPolicy || !pcbPolicy) return E_INVALIDARG;
  return OnQueryCustomPolicy(pwszUrl, guidKey, *ppPolicy, *pcbPolicy, pContext, cbContext, dwReserved);
}

HRESULT TSecurityManager::SetZoneMapping(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags) {
  return OnSetZoneMapping ? OnSetZoneMapping(dwZone, lpszPattern, dwFlags) : INET_E_DEFAULT_ACTION;
}

HRESULT TSecurityManager::GetZoneMappings(DWORD dwZone, IEnumString** ppenumString, DWORD dwFlags) {
  if (ppenumString) *ppenumString = nullptr;
  if (!OnGetZoneMappings) return INET_E_DEFAULT_ACTION;
  if (!ppenumString) return E_INVALIDARG;
  ComPtr<IEnumString> strings;
  const HRESULT hr = OnGetZoneMappings(dwZone, strings, dwFlags);
  *ppenumString = strings.Detach();
  return hr;
}

// ---------------------------------------------------------------- unit

void initialize() {
  if (unitStarts++ > 0) return;
  RegisterClass<TSecurityManager>();
  RegisterEvents<TSecurityManager>({
      EventEntry("OnSetSecuritySite", &TSecurityManager::OnSetSecuritySite),
      EventEntry("OnGetSecuritySite", &TSecurityManager::OnGetSecuritySite),
      EventEntry("OnMapUrlToZone", &TSecurityManager::OnMapUrlToZone),
      EventEntry("OnGetSecurityID", &TSecurityManager::OnGetSecurityID),
      EventEntry("OnProcessUrlAction", &TSecurityManager::OnProcessUrlAction),
      EventEntry("OnQueryCustomPolicy", &TSecurityManager::OnQueryCustomPolicy),
      EventEntry("OnSetZoneMapping", &TSecurityManager::OnSetZoneMapping),
      EventEntry("OnGetZoneMappings", &TSecurityManager::OnGetZoneMappings),
  });
}

void finalize() {
  if (unitStarts > 0) --unitStarts;
}

}  // namespace SecurityManager
