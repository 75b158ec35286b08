// The process's Internet feature switches and the start-up of the URL
// moniker layer.
#include "platform/urlmon/UrlMonInternal_p.h"

#include "platform/winapi/Modules.h"

#include <curl/curl.h>

#include <QMap>

#include <array>
#include <mutex>

namespace {

// The switches a process starts with.
constexpr std::array<bool, FEATURE_ENTRY_COUNT> kFeatureDefaults = [] {
  std::array<bool, FEATURE_ENTRY_COUNT> on{};
  on[FEATURE_OBJECT_CACHING] = true;
  on[FEATURE_BEHAVIORS] = true;
  on[FEATURE_DISABLE_MK_PROTOCOL] = true;
  on[FEATURE_GET_URL_DOM_FILEPATH_UNENCODED] = true;
  on[FEATURE_DISABLE_LEGACY_COMPRESSION] = true;
  on[FEATURE_XMLHTTP] = true;
  return on;
}();

struct FeatureState {
  std::mutex lock;
  std::array<bool, FEATURE_ENTRY_COUNT> enabled = kFeatureDefaults;
  QMap<int, std::function<void(int, bool)>> listeners;
  int nextListener = 1;
};

FeatureState& features() {
  static FeatureState state;
  return state;
}

// Sets a switch; the listeners hear of a change (outside the lock, so they
// may read the switches).
void setFeature(int feature, bool enabled) {
  QList<std::function<void(int, bool)>> listeners;
  {
    FeatureState& state = features();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.enabled[size_t(feature)] == enabled) return;
    state.enabled[size_t(feature)] = enabled;
    listeners = state.listeners.values();
  }
  for (const auto& listener : listeners) listener(feature, enabled);
}

HRESULT createSecurityManager(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  ComPtr<IInternetSecurityManager> manager;
  CoInternetCreateSecurityManager(nullptr, &manager, 0);
  return manager->QueryInterface(riid, ppv);
}

HRESULT createZoneManager(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  ComPtr<IInternetZoneManager> manager;
  CoInternetCreateZoneManager(nullptr, &manager, 0);
  return manager->QueryInterface(riid, ppv);
}

}  // namespace

HRESULT CoInternetSetFeatureEnabled(INTERNETFEATURELIST FeatureEntry, DWORD dwFlags, BOOL fEnable) {
  if (DWORD(FeatureEntry) >= FEATURE_ENTRY_COUNT) return E_FAIL;
  if (dwFlags != SET_FEATURE_ON_PROCESS) return E_NOTIMPL;
  setFeature(int(FeatureEntry), fEnable != FALSE);
  return S_OK;
}

HRESULT CoInternetIsFeatureEnabled(INTERNETFEATURELIST FeatureEntry, DWORD) {
  if (DWORD(FeatureEntry) >= FEATURE_ENTRY_COUNT) return E_FAIL;
  FeatureState& state = features();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.enabled[size_t(FeatureEntry)] ? S_OK : S_FALSE;
}

int AddFeatureListener(std::function<void(int feature, bool enabled)> listener) {
  FeatureState& state = features();
  std::lock_guard<std::mutex> guard(state.lock);
  const int id = state.nextListener++;
  state.listeners.insert(id, std::move(listener));
  return id;
}

void RemoveFeatureListener(int id) {
  FeatureState& state = features();
  std::lock_guard<std::mutex> guard(state.lock);
  state.listeners.remove(id);
}

void ResetInternetFeatures() {
  for (int feature = 0; feature < int(FEATURE_ENTRY_COUNT); ++feature)
    setFeature(feature, kFeatureDefaults[size_t(feature)]);
}

void InitializeUrlMon() {
  static std::once_flag curlReady;
  std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  RegisterClassFactory(CLSID_InternetSecurityManager, &createSecurityManager);
  RegisterClassFactory(CLSID_InternetZoneManager, &createZoneManager);
  RegisterStandInModule(
      QStringLiteral("urlmon.dll"),
      {
          {"CoInternetSetFeatureEnabled", StandInProc(&CoInternetSetFeatureEnabled)},
          {"CoInternetIsFeatureEnabled", StandInProc(&CoInternetIsFeatureEnabled)},
          {"CoInternetCreateSecurityManager", StandInProc(&CoInternetCreateSecurityManager)},
          {"CoInternetCreateZoneManager", StandInProc(&CoInternetCreateZoneManager)},
          {"CreateURLMoniker", StandInProc(&CreateURLMoniker)},
          {"CreateURLMonikerEx", StandInProc(&CreateURLMonikerEx)},
          {"CreateAsyncBindCtx", StandInProc(&CreateAsyncBindCtx)},
          {"RegisterBindStatusCallback", StandInProc(&RegisterBindStatusCallback)},
          {"RevokeBindStatusCallback", StandInProc(&RevokeBindStatusCallback)},
          {"URLDownloadToFileW", StandInProc(&URLDownloadToFileW)},
          {"URLDownloadToCacheFileW", StandInProc(&URLDownloadToCacheFileW)},
          {"IsValidURL", StandInProc(&IsValidURL)},
          {"ReleaseBindInfo", StandInProc(&ReleaseBindInfo)},
      });
}

void FinalizeUrlMon() {
  urlmon_detail::AbortAllBindings();
  urlmon_detail::WaitForWorkers(5000);
  UnregisterStandInModule(QStringLiteral("urlmon.dll"));
  UnregisterClassFactory(CLSID_InternetSecurityManager);
  UnregisterClassFactory(CLSID_InternetZoneManager);
}
