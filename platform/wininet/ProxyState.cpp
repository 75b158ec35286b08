#include "platform/wininet/ProxyState.h"

#include <curl/curl.h>

#include <QRegularExpression>
#include <QUrl>

#include <mutex>
#include <utility>
#include <vector>

namespace {

struct ProxyStateStore {
  std::mutex lock;
  InternetProxySettings settings;
  std::vector<std::pair<int, std::function<void()>>> listeners;
  int nextListener = 1;
};

ProxyStateStore& store() {
  static ProxyStateStore s;
  return s;
}

QStringList listEntries(const String& list) {
  static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
  return list.split(separators, Qt::SkipEmptyParts);
}

// Glob match with "*" only, without case.
bool wildcardMatch(const String& pattern, const String& text) {
  const String p = pattern.toLower();
  const String t = text.toLower();
  qsizetype pi = 0, ti = 0, star = -1, mark = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi] == QLatin1Char('*')) {
      star = pi++;
      mark = ti;
    } else if (pi < p.size() && p[pi] == t[ti]) {
      ++pi;
      ++ti;
    } else if (star >= 0) {
      pi = star + 1;
      ti = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == QLatin1Char('*')) ++pi;
  return pi == p.size();
}

// "host:port" (or "scheme://host:port") in libcurl's form with the given scheme.
String curlProxyOf(String server, const String& proxyScheme) {
  server = server.trimmed();
  if (server.isEmpty()) return String();
  if (!server.contains(QLatin1String("://"))) server = proxyScheme + QLatin1String("://") + server;
  return server;
}

}  // namespace

bool InternetProxySettings::UsesProxy() const {
  return (flags & PROXY_TYPE_PROXY) != 0 && !proxyServer.trimmed().isEmpty();
}

InternetProxySettings CurrentProxy() {
  std::lock_guard<std::mutex> guard(store().lock);
  return store().settings;
}

void SetCurrentProxy(const InternetProxySettings& settings) {
  std::lock_guard<std::mutex> guard(store().lock);
  store().settings = settings;
}

int AddInternetSettingsListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> guard(store().lock);
  const int id = store().nextListener++;
  store().listeners.emplace_back(id, std::move(listener));
  return id;
}

void RemoveInternetSettingsListener(int id) {
  std::lock_guard<std::mutex> guard(store().lock);
  auto& list = store().listeners;
  std::erase_if(list, [id](const auto& entry) { return entry.first == id; });
}

void NotifyInternetSettingsChanged() {
  // Called outside the lock: a listener may read the settings or remove itself.
  std::vector<std::pair<int, std::function<void()>>> listeners;
  {
    std::lock_guard<std::mutex> guard(store().lock);
    listeners = store().listeners;
  }
  for (const auto& entry : listeners)
    if (entry.second) entry.second();
}

bool ProxyBypassed(const String& host, int port, const String& bypassList) {
  if (host.isEmpty()) return false;
  const String hostPort = host + QLatin1Char(':') + String::number(port);
  for (String entry : listEntries(bypassList)) {
    if (entry.compare(QLatin1String("<local>"), Qt::CaseInsensitive) == 0) {
      if (!host.contains(QLatin1Char('.')) && !host.contains(QLatin1Char(':'))) return true;
      continue;
    }
    const qsizetype schemeEnd = entry.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) entry = entry.mid(schemeEnd + 3);
    // An entry with a port compares with "host:port", others with the host.
    const bool withPort = entry.count(QLatin1Char(':')) == 1;
    if (wildcardMatch(entry, withPort ? hostPort : host)) return true;
  }
  return false;
}

String ProxyForUrl(const String& url, const String& proxyServer, const String& proxyBypass) {
  const QUrl parsed(url);
  const String scheme = parsed.scheme().toLower();
  const String host = parsed.host();
  if (host.isEmpty() || proxyServer.trimmed().isEmpty()) return String();
  const int port = parsed.port(scheme == QLatin1String("https") ? 443 : 80);
  if (ProxyBypassed(host, port, proxyBypass)) return String();

  String generic, forScheme, socks;
  for (const String& entry : listEntries(proxyServer)) {
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    if (eq < 0) {
      if (generic.isEmpty()) generic = entry;
      continue;
    }
    const String name = entry.left(eq).trimmed().toLower();
    const String server = entry.mid(eq + 1);
    if (name == scheme && forScheme.isEmpty()) forScheme = server;
    if (name == QLatin1String("socks") && socks.isEmpty()) socks = server;
  }
  if (!forScheme.isEmpty()) return curlProxyOf(forScheme, QStringLiteral("http"));
  if (!generic.isEmpty()) return curlProxyOf(generic, QStringLiteral("http"));
  if (!socks.isEmpty()) return curlProxyOf(socks, QStringLiteral("socks4"));
  return String();
}

String ProxyForUrl(const String& url) {
  const InternetProxySettings settings = CurrentProxy();
  if (!settings.UsesProxy()) return String();
  return ProxyForUrl(url, settings.proxyServer, settings.proxyBypass);
}

void SetCurlProxy(void* easyHandle, const String& curlProxy, const String& user, const String& password) {
  CURL* curl = static_cast<CURL*>(easyHandle);
  // libcurl copies string options, so the temporaries may go.
  curl_easy_setopt(curl, CURLOPT_PROXY, curlProxy.toUtf8().constData());
  if (!curlProxy.isEmpty() && !user.isEmpty()) {
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, user.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, password.toUtf8().constData());
  }
}

void ApplyProxyToCurl(void* easyHandle, const String& url) { SetCurlProxy(easyHandle, ProxyForUrl(url)); }
