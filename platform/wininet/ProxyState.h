#pragma once
// The process-wide Internet settings: the proxy of the default connection,
// which every transfer of the Internet layers follows, and the listeners that
// hear when the settings are refreshed (the browser engine follows them too).
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/WinTypes.h"

#include <functional>

inline constexpr DWORD PROXY_TYPE_DIRECT = 0x00000001;
inline constexpr DWORD PROXY_TYPE_PROXY = 0x00000002;
inline constexpr DWORD PROXY_TYPE_AUTO_PROXY_URL = 0x00000004;
inline constexpr DWORD PROXY_TYPE_AUTO_DETECT = 0x00000008;

// The settings of the default connection. The server list is either one
// "host:port" for every scheme or "scheme=host:port" entries separated by
// ";" (http, https, socks). The bypass list holds host patterns separated by
// ";" ("*" matches any run of characters; "<local>" matches host names
// without a dot); matching hosts are reached directly.
struct InternetProxySettings {
  DWORD flags = PROXY_TYPE_DIRECT;
  String proxyServer;
  String proxyBypass;
  String autoConfigUrl;  // kept and answered; no script is run
  DWORD autoDiscoveryFlags = 0;

  // True when the settings name a proxy at all.
  bool UsesProxy() const;
};

// A snapshot of the current settings (direct at start).
InternetProxySettings CurrentProxy();
void SetCurrentProxy(const InternetProxySettings& settings);

// Listeners run on the thread that refreshes the settings, in the order they
// were added. The answer identifies the listener for removal.
int AddInternetSettingsListener(std::function<void()> listener);
void RemoveInternetSettingsListener(int id);
// Tells every listener that the settings may have changed.
void NotifyInternetSettingsChanged();

// The proxy a request for `url` goes through under a server list and a bypass
// list, in libcurl's form ("http://host:port", "socks4://host:port"); empty
// for a direct connection.
String ProxyForUrl(const String& url, const String& proxyServer, const String& proxyBypass);
// The same under the current settings.
String ProxyForUrl(const String& url);
// True when `host` (with its `port`) matches an entry of the bypass list.
bool ProxyBypassed(const String& host, int port, const String& bypassList);

// Sets the proxy of a libcurl transfer (a CURL* easy handle) for `url` under
// the current settings. A direct connection is set explicitly, so proxy
// variables of the environment never apply.
void ApplyProxyToCurl(void* easyHandle, const String& url);
// Sets a proxy in libcurl's form (empty: direct) and its credentials.
void SetCurlProxy(void* easyHandle, const String& curlProxy, const String& user = String(),
                  const String& password = String());
