#pragma once
// A host-side URL security manager: a component that answers the platform's
// IInternetSecurityManager, for a browser host to hand out when its browser
// asks for that service. Every method raises its event; without the event it
// answers INET_E_DEFAULT_ACTION, which leaves the answer to the platform's
// zones. Only ProcessUrlAction has an answer of its own, from the policy
// table UrlPolicy.
//
// The component lives as long as its owner says: AddRef and Release count
// nothing and free nothing.
#include "platform/classlib/Components.h"
#include "platform/classlib/Persistent.h"
#include "platform/urlmon/UrlMon.h"

#include <functional>

namespace SecurityManager {
Q_NAMESPACE

enum TAllowDisAllowPolicyOption { Allow, Disallow };
Q_ENUM_NS(TAllowDisAllowPolicyOption)
enum TJavaPolicyOption { Prohibited, High, Medium, Low, Custom };
Q_ENUM_NS(TJavaPolicyOption)

// The answers of ProcessUrlAction by kind of action. All five are written to
// the form data, whatever their value.
class TUrlPolicyOptions : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("AlwaysStored:ActiveX", "true")
  Q_CLASSINFO("AlwaysStored:CrossDomainData", "true")
  Q_CLASSINFO("AlwaysStored:JavaPermissions", "true")
  Q_CLASSINFO("AlwaysStored:SubmitForms", "true")
  Q_CLASSINFO("AlwaysStored:Scripts", "true")
  Q_PROPERTY(SecurityManager::TAllowDisAllowPolicyOption ActiveX READ ActiveX WRITE SetActiveX)
  Q_PROPERTY(SecurityManager::TAllowDisAllowPolicyOption CrossDomainData READ CrossDomainData WRITE
                 SetCrossDomainData)
  Q_PROPERTY(SecurityManager::TJavaPolicyOption JavaPermissions READ JavaPermissions WRITE SetJavaPermissions)
  Q_PROPERTY(SecurityManager::TAllowDisAllowPolicyOption SubmitForms READ SubmitForms WRITE SetSubmitForms)
  Q_PROPERTY(SecurityManager::TAllowDisAllowPolicyOption Scripts READ Scripts WRITE SetScripts)

 public:
  explicit TUrlPolicyOptions(QObject* parent = nullptr) : TPersistent(parent) {}
  void Assign(TPersistent* source) override;

  TAllowDisAllowPolicyOption ActiveX() const { return activeX_; }
  void SetActiveX(TAllowDisAllowPolicyOption v) { activeX_ = v; }
  TAllowDisAllowPolicyOption CrossDomainData() const { return crossDomainData_; }
  void SetCrossDomainData(TAllowDisAllowPolicyOption v) { crossDomainData_ = v; }
  TJavaPolicyOption JavaPermissions() const { return javaPermissions_; }
  void SetJavaPermissions(TJavaPolicyOption v) { javaPermissions_ = v; }
  TAllowDisAllowPolicyOption SubmitForms() const { return submitForms_; }
  void SetSubmitForms(TAllowDisAllowPolicyOption v) { submitForms_ = v; }
  TAllowDisAllowPolicyOption Scripts() const { return scripts_; }
  void SetScripts(TAllowDisAllowPolicyOption v) { scripts_ = v; }

 private:
  TAllowDisAllowPolicyOption activeX_ = Allow;
  TAllowDisAllowPolicyOption crossDomainData_ = Allow;
  TAllowDisAllowPolicyOption submitForms_ = Allow;
  TJavaPolicyOption javaPermissions_ = Prohibited;
  TAllowDisAllowPolicyOption scripts_ = Allow;
};

// The policy DWORD of an option (URLPOLICY_ALLOW / URLPOLICY_DISALLOW, the
// URLPOLICY_JAVA_* levels).
DWORD PolicyOf(TAllowDisAllowPolicyOption option);
DWORD PolicyOf(TJavaPolicyOption option);

// The events answer the method's result; out-values are the handler's to set.
using TSetSecuritySiteEvent = std::function<HRESULT(IInternetSecurityMgrSite* Site)>;
using TGetSecuritySiteEvent = std::function<HRESULT(ComPtr<IInternetSecurityMgrSite>& Site)>;
using TMapUrlToZoneEvent = std::function<HRESULT(LPCWSTR pwszUrl, DWORD& dwZone, DWORD dwFlags)>;
using TGetSecurityIdEvent =
    std::function<HRESULT(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD& cbSecurityId, DWORD_PTR dwReserved)>;
using TProcessUrlActionEvent =
    std::function<HRESULT(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy, BYTE* pContext,
                          DWORD cbContext, DWORD dwFlags, DWORD dwReserved)>;
using TQueryCustomPolicyEvent =
    std::function<HRESULT(LPCWSTR pwszUrl, REFGUID guidKey, BYTE*& pPolicy, DWORD& cbPolicy, BYTE* pContext,
                          DWORD cbContext, DWORD dwReserved)>;
using TSetZoneMappingEvent = std::function<HRESULT(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags)>;
using TGetZoneMappingsEvent =
    std::function<HRESULT(DWORD dwZone, ComPtr<IEnumString>& enumString, DWORD dwFlags)>;

class TSecurityManager : public TComponent, public IInternetSecurityManager {
  Q_OBJECT
  Q_PROPERTY(SecurityManager::TUrlPolicyOptions* UrlPolicy READ UrlPolicy)

 public:
  Q_INVOKABLE explicit TSecurityManager(TComponent* AOwner);
  ~TSecurityManager() override;

  TUrlPolicyOptions* UrlPolicy() const { return urlPolicy_; }

  // IUnknown: the component's own interfaces; no reference counting.
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  // IInternetSecurityManager
  HRESULT SetSecuritySite(IInternetSecurityMgrSite* pSite) override;
  HRESULT GetSecuritySite(IInternetSecurityMgrSite** ppSite) override;
  HRESULT MapUrlToZone(LPCWSTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) override;
  HRESULT GetSecurityId(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD* pcbSecurityId,
                        DWORD_PTR dwReserved) override;
  // Without OnProcessUrlAction: ActiveX actions (0x1200..0x13FF), Java
  // (0x1C00..0x1CFF and 0x1605), form submission (0x1602, 0x1603),
  // cross-domain data (0x1406) and other scripting actions (0x1400..0x15FF)
  // take their option's policy: S_OK with a buffer of 4 bytes or more,
  // S_FALSE (nothing written) with a smaller one, E_INVALIDARG without one.
  // Any other action: INET_E_DEFAULT_ACTION.
  HRESULT ProcessUrlAction(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy, BYTE* pContext,
                           DWORD cbContext, DWORD dwFlags, DWORD dwReserved) override;
  HRESULT QueryCustomPolicy(LPCWSTR pwszUrl, REFGUID guidKey, BYTE** ppPolicy, DWORD* pcbPolicy,
                            BYTE* pContext, DWORD cbContext, DWORD dwReserved) override;
  HRESULT SetZoneMapping(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags) override;
  HRESULT GetZoneMappings(DWORD dwZone, IEnumString** ppenumString, DWORD dwFlags) override;

  TSetSecuritySiteEvent OnSetSecuritySite;
  TGetSecuritySiteEvent OnGetSecuritySite;
  TMapUrlToZoneEvent OnMapUrlToZone;
  TGetSecurityIdEvent OnGetSecurityID;
  TProcessUrlActionEvent OnProcessUrlAction;
  TQueryCustomPolicyEvent OnQueryCustomPolicy;
  TSetZoneMappingEvent OnSetZoneMapping;
  TGetZoneMappingsEvent OnGetZoneMappings;

 private:
  TUrlPolicyOptions* urlPolicy_;
};

// Registers TSecurityManager and its events with the form streaming.
void initialize();
void finalize();

}  // namespace SecurityManager
