#include "platform/shdocvw/UrlCacheSources_p.h"

#include "platform/shell/UrlHistory.h"
#include "platform/wininet/UrlCache.h"

#include <QCoreApplication>
#include <QNetworkCookie>
#include <QPointer>
#include <QThread>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <map>
#include <mutex>

namespace {

const QLatin1String kVisitedPrefix("Visited:");
const QLatin1String kCookiePrefix("Cookie:");

// "<user>@" after the prefix (and the blank that visits carry).
String userPart() { return UrlCacheUserName() + QLatin1Char('@'); }

// The address a cache entry names without its prefix and user, or a null
// string when `url` is not of that form.
String strippedAddress(const String& url, const QLatin1String& prefix) {
  if (!url.startsWith(prefix, Qt::CaseInsensitive)) return String();
  const String rest = url.mid(prefix.size()).trimmed();
  const qsizetype at = rest.indexOf(QLatin1Char('@'));
  return at < 0 ? String() : rest.mid(at + 1);
}

class HistorySource : public IUrlCacheSource {
 public:
  std::vector<UrlCacheRecord> Records() override {
    std::vector<UrlCacheRecord> records;
    for (const TUrlHistoryEntry& e : UrlHistoryStore().AllEntries()) records.push_back(recordOf(e));
    return records;
  }
  bool Find(const String& url, UrlCacheRecord& record) override {
    const String address = strippedAddress(url, kVisitedPrefix);
    TUrlHistoryEntry entry;
    if (address.isEmpty() || !UrlHistoryStore().Find(address, entry)) return false;
    record = recordOf(entry);
    return true;
  }
  bool Remove(const String& url) override {
    const String address = strippedAddress(url, kVisitedPrefix);
    return !address.isEmpty() && UrlHistoryStore().DeleteEntry(address);
  }

 private:
  static UrlCacheRecord recordOf(const TUrlHistoryEntry& e) {
    UrlCacheRecord r;
    r.url = kVisitedPrefix + QLatin1Char(' ') + userPart() + e.Url;
    r.type = URLHISTORY_CACHE_ENTRY;
    r.useCount = r.hitRate = DWORD(e.VisitCount);
    r.lastModified = r.lastAccess = r.lastSync = FileTimeValue(e.LastVisited);
    return r;
  }
};

// The engine tells of cookies only through signals, on the main thread; the
// mirror answers the cache on any thread. It keeps the cookies by the
// address of their entry (in lower case: addresses compare without case).
class CookieSource : public IUrlCacheSource {
 public:
  explicit CookieSource(QWebEngineCookieStore* store) : store_(store) {}

  void added(const QNetworkCookie& cookie) {
    std::lock_guard<std::mutex> guard(lock_);
    cookies_[addressOf(cookie).toLower()][keyOf(cookie)] = cookie;
  }
  void removed(const QNetworkCookie& cookie) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = cookies_.find(addressOf(cookie).toLower());
    if (it == cookies_.end()) return;
    it->second.erase(keyOf(cookie));
    if (it->second.empty()) cookies_.erase(it);
  }

  std::vector<UrlCacheRecord> Records() override {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<UrlCacheRecord> records;
    records.reserve(cookies_.size());
    for (const auto& [address, cookies] : cookies_) records.push_back(recordOf(cookies));
    return records;
  }
  bool Find(const String& url, UrlCacheRecord& record) override {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = cookies_.find(url.toLower());
    if (it == cookies_.end()) return false;
    record = recordOf(it->second);
    return true;
  }
  // Every cookie of the address goes: the entry stands for all of them.
  bool Remove(const String& url) override {
    std::vector<QNetworkCookie> gone;
    {
      std::lock_guard<std::mutex> guard(lock_);
      const auto it = cookies_.find(url.toLower());
      if (it == cookies_.end()) return false;
      for (const auto& [key, cookie] : it->second) gone.push_back(cookie);
      cookies_.erase(it);
    }
    QPointer<QWebEngineCookieStore> store = store_;
    auto drop = [store, gone] {
      if (store)
        for (const QNetworkCookie& c : gone) store->deleteCookie(c);
    };
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
      drop();
    else
      QMetaObject::invokeMethod(QCoreApplication::instance(), drop, Qt::QueuedConnection);
    return true;
  }

 private:
  using Cookies = std::map<String, QNetworkCookie>;  // by name, domain and path

  static String keyOf(const QNetworkCookie& c) {
    return c.domain() + QLatin1Char('\n') + c.path() + QLatin1Char('\n') + String::fromUtf8(c.name());
  }
  static String addressOf(const QNetworkCookie& c) {
    String host = c.domain();
    if (host.startsWith(QLatin1Char('.'))) host.remove(0, 1);
    const String path = c.path().isEmpty() ? QStringLiteral("/") : c.path();
    return kCookiePrefix + userPart() + host + path;
  }
  static UrlCacheRecord recordOf(const Cookies& cookies) {
    UrlCacheRecord r;
    r.type = COOKIE_CACHE_ENTRY;
    for (const auto& [key, c] : cookies) {
      if (r.url.isEmpty()) r.url = addressOf(c);
      const QByteArray pair = c.name() + '=' + c.value();
      r.size += pair.size();
      if (!r.headers.isEmpty()) r.headers += QStringLiteral("\r\n");
      r.headers += String::fromUtf8(pair);
      // The entry lasts as long as its longest-lived cookie; a session
      // cookie has no expiry.
      if (!c.isSessionCookie()) r.expire = std::max(r.expire, FileTimeValue(c.expirationDate()));
    }
    return r;
  }

  QPointer<QWebEngineCookieStore> store_;
  std::mutex lock_;
  std::map<String, Cookies> cookies_;
};

}  // namespace

void RegisterHistoryCacheSource() {
  RegisterUrlCacheSource(kVisitedPrefix, std::make_shared<HistorySource>());
}

void RegisterCookieCacheSource(QWebEngineProfile* profile) {
  QWebEngineCookieStore* store = profile->cookieStore();
  auto source = std::make_shared<CookieSource>(store);
  std::weak_ptr<CookieSource> weak = source;
  QObject::connect(store, &QWebEngineCookieStore::cookieAdded, store, [weak](const QNetworkCookie& c) {
    if (auto s = weak.lock()) s->added(c);
  });
  QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, store, [weak](const QNetworkCookie& c) {
    if (auto s = weak.lock()) s->removed(c);
  });
  RegisterUrlCacheSource(kCookiePrefix, source);
  // The cookies kept from earlier sessions arrive through cookieAdded, too.
  store->loadAllCookies();
}
