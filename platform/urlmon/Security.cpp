// The default URL security manager and the zone manager. Zones come from
// the process's zone mappings, then from the address itself: local files are
// My Computer, hosts without a dot are the Local intranet, the rest is the
// Internet. URL actions follow a per-zone policy table that the zone
// manager can change for the process.
#include "platform/urlmon/UrlMonInternal_p.h"

#include "platform/winapi/Modules.h"

#include <QMap>
#include <QUrl>

#include <array>
#include <cstring>
#include <set>

using namespace urlmon_detail;

namespace urlmon_detail {

HRESULT StringEnumerator::Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) {
  if (!rgelt || (celt > 1 && !pceltFetched)) return E_INVALIDARG;
  ULONG fetched = 0;
  while (fetched < celt && position_ < items_.size())
    rgelt[fetched++] = CoTaskMemDupString(items_[position_++]);
  if (pceltFetched) *pceltFetched = fetched;
  return fetched == celt ? S_OK : S_FALSE;
}

HRESULT StringEnumerator::Skip(ULONG celt) {
  const qsizetype left = items_.size() - position_;
  position_ = int(std::min<qsizetype>(items_.size(), position_ + qsizetype(celt)));
  return qsizetype(celt) <= left ? S_OK : S_FALSE;
}

HRESULT StringEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT StringEnumerator::Clone(IEnumString** ppenum) {
  if (!ppenum) return E_INVALIDARG;
  *ppenum = MakeCom<StringEnumerator>(items_, position_).Detach();
  return S_OK;
}

}  // namespace urlmon_detail

namespace {

constexpr DWORD kZoneCount = 5;
constexpr DWORD kErrorFileExists = 80;

struct ZoneText {
  const char16_t* name;
  const char16_t* description;
  const char16_t* icon;
  DWORD minLevel, recommended, current, flags;
};

const ZoneText kZones[kZoneCount] = {
    {u"My Computer", u"Your computer", u"explorer.exe#0100", URLTEMPLATE_LOW, URLTEMPLATE_LOW,
     URLTEMPLATE_LOW, ZAFLAGS_CUSTOM_EDIT | ZAFLAGS_ADD_SITES | ZAFLAGS_NO_UI},
    {u"Local intranet", u"This zone contains all Web sites that are on your organization's intranet.",
     u"shell32.dll#0018", URLTEMPLATE_LOW, URLTEMPLATE_MEDLOW, URLTEMPLATE_MEDLOW,
     ZAFLAGS_CUSTOM_EDIT | ZAFLAGS_ADD_SITES | ZAFLAGS_INCLUDE_PROXY_OVERRIDE |
         ZAFLAGS_INCLUDE_INTRANET_SITES | ZAFLAGS_UNC_AS_INTRANET | ZAFLAGS_DETECT_INTRANET},
    {u"Trusted sites", u"This zone contains Web sites that you trust not to damage your computer or data.",
     u"inetcpl.cpl#00004480", URLTEMPLATE_LOW, URLTEMPLATE_MEDIUM, URLTEMPLATE_MEDIUM,
     ZAFLAGS_CUSTOM_EDIT | ZAFLAGS_ADD_SITES | ZAFLAGS_REQUIRE_VERIFICATION | ZAFLAGS_SUPPORTS_VERIFICATION},
    {u"Internet", u"This zone contains all Web sites you haven't placed in other zones",
     u"inetcpl.cpl#001313", URLTEMPLATE_MEDIUM, URLTEMPLATE_MEDHIGH, URLTEMPLATE_MEDHIGH,
     ZAFLAGS_CUSTOM_EDIT | ZAFLAGS_SUPPORTS_VERIFICATION},
    {u"Restricted sites",
     u"This zone contains Web sites that could potentially damage your computer or data.",
     u"inetcpl.cpl#00004481", URLTEMPLATE_HIGH, URLTEMPLATE_HIGH, URLTEMPLATE_HIGH,
     ZAFLAGS_CUSTOM_EDIT | ZAFLAGS_ADD_SITES | ZAFLAGS_SUPPORTS_VERIFICATION},
};

// The policy of an action in a zone, as the zones start out.
DWORD defaultPolicy(DWORD zone, DWORD action) {
  switch (action) {
    case URLACTION_JAVA_PERMISSIONS: {
      const DWORD java[kZoneCount] = {URLPOLICY_JAVA_LOW, URLPOLICY_JAVA_MEDIUM, URLPOLICY_JAVA_LOW,
                                      URLPOLICY_JAVA_HIGH, URLPOLICY_JAVA_PROHIBIT};
      return java[zone];
    }
    case URLACTION_CREDENTIALS_USE: {
      const DWORD logon[kZoneCount] = {
          URLPOLICY_CREDENTIALS_SILENT_LOGON_OK, URLPOLICY_CREDENTIALS_SILENT_LOGON_OK,
          URLPOLICY_CREDENTIALS_CONDITIONAL_PROMPT, URLPOLICY_CREDENTIALS_CONDITIONAL_PROMPT,
          URLPOLICY_CREDENTIALS_MUST_PROMPT_USER};
      return logon[zone];
    }
    default: break;
  }
  if (zone == URLZONE_UNTRUSTED) return URLPOLICY_DISALLOW;
  switch (action) {
    case URLACTION_DOWNLOAD_SIGNED_ACTIVEX:
      return zone == URLZONE_LOCAL_MACHINE ? URLPOLICY_ALLOW : URLPOLICY_QUERY;
    case URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX:
      return zone == URLZONE_INTERNET ? URLPOLICY_DISALLOW : URLPOLICY_QUERY;
    case URLACTION_ACTIVEX_OVERRIDE_OBJECT_SAFETY:
      return zone == URLZONE_LOCAL_MACHINE ? URLPOLICY_QUERY : URLPOLICY_DISALLOW;
    case URLACTION_CROSS_DOMAIN_DATA:
      return zone == URLZONE_INTERNET   ? URLPOLICY_DISALLOW
             : zone == URLZONE_INTRANET ? URLPOLICY_QUERY
                                        : URLPOLICY_ALLOW;
    case URLACTION_HTML_MIXED_CONTENT:
      return zone == URLZONE_LOCAL_MACHINE ? URLPOLICY_ALLOW : URLPOLICY_QUERY;
    default: return URLPOLICY_ALLOW;
  }
}

// The process's zone state: changed policies, attributes and mappings.
struct ZoneState {
  std::mutex lock;
  QMap<QPair<DWORD, DWORD>, DWORD> policies;  // (zone, action) -> policy
  std::array<ZONEATTRIBUTES, kZoneCount> attributes{};
  bool attributesSet[kZoneCount] = {};
  QMap<String, DWORD> mappings;  // pattern (lower-case) -> zone
  std::set<DWORD> enumerators;
  DWORD nextEnumerator = 1;
};

ZoneState& zones() {
  static ZoneState state;
  return state;
}

void copyText(WCHAR* target, int capacity, const char16_t* text) {
  const size_t length = std::min<size_t>(std::char_traits<char16_t>::length(text), capacity - 1);
  std::memcpy(target, text, length * sizeof(char16_t));
  target[length] = 0;
}

ZONEATTRIBUTES defaultAttributes(DWORD zone) {
  ZONEATTRIBUTES a{};
  a.cbSize = sizeof(ZONEATTRIBUTES);
  const ZoneText& t = kZones[zone];
  copyText(a.szDisplayName, MAX_ZONE_PATH, t.name);
  copyText(a.szDescription, MAX_ZONE_DESCRIPTION, t.description);
  copyText(a.szIconPath, MAX_ZONE_PATH, t.icon);
  a.dwTemplateMinLevel = t.minLevel;
  a.dwTemplateRecommended = t.recommended;
  a.dwTemplateCurrentLevel = t.current;
  a.dwFlags = t.flags;
  return a;
}

DWORD actionPolicy(DWORD zone, DWORD action) {
  ZoneState& state = zones();
  std::lock_guard<std::mutex> guard(state.lock);
  const auto it = state.policies.constFind({zone, action});
  return it != state.policies.constEnd() ? *it : defaultPolicy(zone, action);
}

// A mapping pattern: "[scheme://]host" where the host may start with "*."
// or be "*"; no path. Answers the lower-cased pattern, or empty when it is
// not one.
String normalizedPattern(const String& text) {
  String pattern = text.trimmed().toLower();
  const qsizetype marker = pattern.indexOf(QStringLiteral("://"));
  const String host = marker < 0 ? pattern : pattern.mid(marker + 3);
  if (host.isEmpty() || host.contains(u'/') || host.contains(u'?') || host.contains(u' ')) return String();
  if (host.indexOf(u'*') > 0) return String();  // a wildcard only in front
  return pattern;
}

bool patternMatches(const String& pattern, const String& scheme, const String& host) {
  const qsizetype marker = pattern.indexOf(QStringLiteral("://"));
  const String patternScheme = marker < 0 ? String() : pattern.left(marker);
  const String patternHost = marker < 0 ? pattern : pattern.mid(marker + 3);
  if (!patternScheme.isEmpty() && patternScheme != u"*" && patternScheme != scheme) return false;
  if (patternHost == u"*") return !host.isEmpty();
  if (patternHost.startsWith(QStringLiteral("*.")))
    return host.endsWith(patternHost.mid(1)) || host == patternHost.mid(2);
  return host == patternHost;
}

bool isLocalPath(const String& url) {
  return url.startsWith(u'/') ||
         (url.size() > 2 && url[1] == u':' && url[0].isLetter() && (url[2] == u'\\' || url[2] == u'/'));
}

// The zone of an address by the process's mappings and the address itself.
DWORD zoneOf(const String& url, DWORD flags) {
  const String scheme = (flags & MUTZ_ISFILE) || isLocalPath(url) ? QStringLiteral("file") : SchemeOf(url);
  const String host = HostOf(url);
  if (!(flags & MUTZ_IGNORE_ZONE_MAPPINGS) && !host.isEmpty()) {
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    // The most specific pattern wins: an exact host before wildcards, a
    // longer host pattern before a shorter one, a named scheme before any.
    DWORD best = URLZONE_INVALID;
    qsizetype bestScore = -1;
    for (auto it = state.mappings.constBegin(); it != state.mappings.constEnd(); ++it) {
      if (!patternMatches(it.key(), scheme, host)) continue;
      const qsizetype marker = it.key().indexOf(QStringLiteral("://"));
      const String patternHost = marker < 0 ? it.key() : it.key().mid(marker + 3);
      const bool namedScheme = marker > 0 && it.key().left(marker) != u"*";
      const qsizetype score =
          (patternHost.contains(u'*') ? 0 : 100000) + patternHost.size() * 2 + (namedScheme ? 1 : 0);
      if (score > bestScore) {
        bestScore = score;
        best = *it;
      }
    }
    if (best != URLZONE_INVALID) return best;
  }
  if (scheme == u"file") {
    // A file on another computer ("file://server/share/...") is on the intranet.
    return host.isEmpty() || host == u"localhost" ? URLZONE_LOCAL_MACHINE : URLZONE_INTRANET;
  }
  if (scheme == u"res") return URLZONE_LOCAL_MACHINE;
  if (!host.isEmpty() && !host.contains(u'.') && !host.contains(u':')) return URLZONE_INTRANET;
  return URLZONE_INTERNET;
}

// ---------------------------------------------------------------- managers

class SecurityManager : public ComObject<IInternetSecurityManager> {
 public:
  HRESULT SetSecuritySite(IInternetSecurityMgrSite* pSite) override {
    site_ = pSite;
    custom_.Reset();
    if (ComPtr<IServiceProvider> services = site_.As<IServiceProvider>())
      services->QueryService(SID_SInternetSecurityManager, IID_IInternetSecurityManager, &custom_);
    if (custom_ && IsSameObject(custom_.Get(), GetUnknown())) custom_.Reset();
    return S_OK;
  }
  HRESULT GetSecuritySite(IInternetSecurityMgrSite** ppSite) override {
    if (!ppSite) return E_INVALIDARG;
    return site_.CopyTo(ppSite);
  }
  HRESULT MapUrlToZone(LPCWSTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) override {
    if (!pdwZone) return E_INVALIDARG;
    *pdwZone = URLZONE_INVALID;
    if (!pwszUrl) return E_INVALIDARG;
    if (custom_) {
      const HRESULT hr = custom_->MapUrlToZone(pwszUrl, pdwZone, dwFlags);
      if (hr != INET_E_DEFAULT_ACTION) return hr;
    }
    *pdwZone = zoneOf(String::fromUtf16(pwszUrl), dwFlags);
    return S_OK;
  }
  HRESULT GetSecurityId(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD* pcbSecurityId,
                        DWORD_PTR dwReserved) override {
    if (!pwszUrl || !pbSecurityId || !pcbSecurityId) return E_INVALIDARG;
    if (custom_) {
      const HRESULT hr = custom_->GetSecurityId(pwszUrl, pbSecurityId, pcbSecurityId, dwReserved);
      if (hr != INET_E_DEFAULT_ACTION) return hr;
    }
    // "scheme:host" and the zone as four bytes (least significant first).
    const String url = String::fromUtf16(pwszUrl);
    const String scheme = isLocalPath(url) ? QStringLiteral("file") : SchemeOf(url);
    if (scheme.isEmpty()) return INET_E_INVALID_URL;
    DWORD zone = URLZONE_INVALID;
    MapUrlToZone(pwszUrl, &zone, 0);
    QByteArray id = (scheme + u':' + HostOf(url)).toUtf8();
    for (int i = 0; i < 4; ++i) id.append(char((zone >> (8 * i)) & 0xFF));
    if (*pcbSecurityId < DWORD(id.size())) {
      *pcbSecurityId = DWORD(id.size());
      return E_NOT_SUFFICIENT_BUFFER;
    }
    std::memcpy(pbSecurityId, id.constData(), size_t(id.size()));
    *pcbSecurityId = DWORD(id.size());
    return S_OK;
  }
  HRESULT ProcessUrlAction(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy, BYTE* pContext,
                           DWORD cbContext, DWORD dwFlags, DWORD dwReserved) override {
    if (!pwszUrl) return E_INVALIDARG;
    if (custom_) {
      const HRESULT hr = custom_->ProcessUrlAction(pwszUrl, dwAction, pPolicy, cbPolicy, pContext, cbContext,
                                                   dwFlags, dwReserved);
      if (hr != INET_E_DEFAULT_ACTION) return hr;
    }
    // The zone as this manager maps it, so a custom mapping counts too.
    DWORD zone = URLZONE_INVALID;
    MapUrlToZone(pwszUrl, &zone, (dwFlags & PUAF_ISFILE) ? DWORD(MUTZ_ISFILE) : 0u);
    const DWORD policy = zone < kZoneCount ? actionPolicy(zone, dwAction) : URLPOLICY_DISALLOW;
    if (pPolicy && cbPolicy >= sizeof(DWORD)) std::memcpy(pPolicy, &policy, sizeof(DWORD));
    // Nobody can be asked here, so a query is answered as a refusal.
    const DWORD permission = policy & URLPOLICY_MASK_PERMISSIONS;
    return permission == URLPOLICY_ALLOW ? S_OK : S_FALSE;
  }
  HRESULT QueryCustomPolicy(LPCWSTR pwszUrl, REFGUID guidKey, BYTE** ppPolicy, DWORD* pcbPolicy,
                            BYTE* pContext, DWORD cbContext, DWORD dwReserved) override {
    if (ppPolicy) *ppPolicy = nullptr;
    if (pcbPolicy) *pcbPolicy = 0;
    if (!pwszUrl || !ppPolicy || !pcbPolicy) return E_INVALIDARG;
    if (custom_) {
      const HRESULT hr =
          custom_->QueryCustomPolicy(pwszUrl, guidKey, ppPolicy, pcbPolicy, pContext, cbContext, dwReserved);
      if (hr != INET_E_DEFAULT_ACTION) return hr;
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT SetZoneMapping(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags) override {
    if (!lpszPattern) return E_INVALIDARG;
    if (custom_) {
      const HRESULT hr = custom_->SetZoneMapping(dwZone, lpszPattern, dwFlags);
      if (hr != INET_E_DEFAULT_ACTION) return hr;
    }
    if (dwZone >= kZoneCount) return E_INVALIDARG;
    const String pattern = normalizedPattern(String::fromUtf16(lpszPattern));
    if (pattern.isEmpty()) return E_INVALIDARG;
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    const auto it = state.mappings.find(pattern);
    if (dwFlags & SZM_DELETE) {
      if (it == state.mappings.end() || *it != dwZone) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      state.mappings.erase(it);
      return S_OK;
    }
    if (it != state.mappings.end() && *it != dwZone) return HRESULT_FROM_WIN32(kErrorFileExists);
    state.mappings.insert(pattern, dwZone);
    return S_OK;
  }
  HRESULT GetZoneMappings(DWORD dwZone, IEnumString** ppenumString, DWORD dwFlags) override {
    if (!ppenumString) return E_INVALIDARG;
    *ppenumString = nullptr;
    if (custom_) {
      const HRESULT hr = custom_->GetZoneMappings(dwZone, ppenumString, dwFlags);
      if (hr != INET_E_DEFAULT_ACTION) return hr;
    }
    if (dwZone >= kZoneCount) return E_INVALIDARG;
    QStringList patterns;
    {
      ZoneState& state = zones();
      std::lock_guard<std::mutex> guard(state.lock);
      for (auto it = state.mappings.constBegin(); it != state.mappings.constEnd(); ++it)
        if (*it == dwZone) patterns.append(it.key());
    }
    *ppenumString = MakeCom<StringEnumerator>(patterns).Detach();
    return S_OK;
  }

 private:
  ComPtr<IInternetSecurityMgrSite> site_;
  ComPtr<IInternetSecurityManager> custom_;
};

class ZoneManager : public ComObject<IInternetZoneManager> {
 public:
  HRESULT GetZoneAttributes(DWORD dwZone, ZONEATTRIBUTES* pZoneAttributes) override {
    if (!pZoneAttributes || dwZone >= kZoneCount) return E_INVALIDARG;
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    *pZoneAttributes = state.attributesSet[dwZone] ? state.attributes[dwZone] : defaultAttributes(dwZone);
    return S_OK;
  }
  HRESULT SetZoneAttributes(DWORD dwZone, ZONEATTRIBUTES* pZoneAttributes) override {
    if (!pZoneAttributes || dwZone >= kZoneCount) return E_INVALIDARG;
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    state.attributes[dwZone] = *pZoneAttributes;
    state.attributes[dwZone].cbSize = sizeof(ZONEATTRIBUTES);
    state.attributesSet[dwZone] = true;
    return S_OK;
  }
  HRESULT GetZoneCustomPolicy(DWORD, REFGUID, BYTE** ppPolicy, DWORD* pcbPolicy, URLZONEREG) override {
    if (ppPolicy) *ppPolicy = nullptr;
    if (pcbPolicy) *pcbPolicy = 0;
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT SetZoneCustomPolicy(DWORD, REFGUID, BYTE*, DWORD, URLZONEREG) override { return E_NOTIMPL; }
  HRESULT GetZoneActionPolicy(DWORD dwZone, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                              URLZONEREG) override {
    if (dwZone >= kZoneCount || !pPolicy || cbPolicy < sizeof(DWORD)) return E_INVALIDARG;
    const DWORD policy = actionPolicy(dwZone, dwAction);
    std::memcpy(pPolicy, &policy, sizeof(DWORD));
    return S_OK;
  }
  HRESULT SetZoneActionPolicy(DWORD dwZone, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                              URLZONEREG) override {
    if (dwZone >= kZoneCount || !pPolicy || cbPolicy < sizeof(DWORD)) return E_INVALIDARG;
    DWORD policy = 0;
    std::memcpy(&policy, pPolicy, sizeof(DWORD));
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    state.policies.insert({dwZone, dwAction}, policy);
    return S_OK;
  }
  HRESULT PromptAction(DWORD, HWND, LPCWSTR, LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT LogAction(DWORD, LPCWSTR, LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT CreateZoneEnumerator(DWORD* pdwEnum, DWORD* pdwCount, DWORD) override {
    if (!pdwEnum || !pdwCount) return E_INVALIDARG;
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    *pdwEnum = state.nextEnumerator++;
    *pdwCount = kZoneCount;
    state.enumerators.insert(*pdwEnum);
    return S_OK;
  }
  HRESULT GetZoneAt(DWORD dwEnum, DWORD dwIndex, DWORD* pdwZone) override {
    if (!pdwZone) return E_INVALIDARG;
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.enumerators.count(dwEnum) || dwIndex >= kZoneCount) return E_INVALIDARG;
    *pdwZone = dwIndex;
    return S_OK;
  }
  HRESULT DestroyZoneEnumerator(DWORD dwEnum) override {
    ZoneState& state = zones();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.enumerators.erase(dwEnum) ? S_OK : E_INVALIDARG;
  }
  HRESULT CopyTemplatePoliciesToZone(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
};

}  // namespace

HRESULT CoInternetCreateSecurityManager(IServiceProvider*, IInternetSecurityManager** ppSM, DWORD) {
  if (!ppSM) return E_INVALIDARG;
  *ppSM = MakeCom<SecurityManager>().Detach();
  return S_OK;
}

HRESULT CoInternetCreateZoneManager(IServiceProvider*, IInternetZoneManager** ppZM, DWORD) {
  if (!ppZM) return E_INVALIDARG;
  *ppZM = MakeCom<ZoneManager>().Detach();
  return S_OK;
}
