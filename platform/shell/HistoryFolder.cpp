// The History folder: periods, the sites visited in a period and the pages
// of a site, read from the URL history store.
#include "platform/shell/ShellItems.h"
#include "platform/shell/UrlHistory.h"

#include <QLocale>

using namespace shelldetail;

namespace {

String siteCaption(const String& site) { return site.isEmpty() ? QStringLiteral("My Computer") : site; }

// Today, each earlier day of this week (newest first), then the three weeks
// before. Today is always there; the others only when something was visited.
std::vector<TPeriod> currentPeriods(TUrlHistory& store) {
  std::vector<TPeriod> periods;
  const auto [todayFrom, todayTo] = HistoryPeriodRange(hpToday);
  periods.push_back({todayFrom, todayTo, QStringLiteral("Today")});
  const auto [weekFrom, weekTo] = HistoryPeriodRange(hpThisWeek);
  for (QDateTime dayTo = weekTo; dayTo > weekFrom;) {
    const QDateTime dayFrom = QDateTime(dayTo.date().addDays(-1), QTime(0, 0));
    if (!store.Sites(dayFrom, dayTo).isEmpty())
      periods.push_back({dayFrom, dayTo, QLocale::c().dayName(dayFrom.date().dayOfWeek())});
    dayTo = dayFrom;
  }
  const std::pair<THistoryPeriod, const char*> weeks[] = {
      {hpLastWeek, "Last Week"}, {hpTwoWeeksAgo, "2 Weeks Ago"}, {hpThreeWeeksAgo, "3 Weeks Ago"}};
  for (const auto& [period, caption] : weeks) {
    const auto [from, to] = HistoryPeriodRange(period);
    if (!store.Sites(from, to).isEmpty()) periods.push_back({from, to, QString::fromLatin1(caption)});
  }
  return periods;
}

QByteArray itemBytes(PITEMID_CHILD item) { return BytesOf(OwnedIdList(item).get()); }

// The items of a period's sites. Going back up from a site lists its
// period's sites again: the items of the last list of sites are kept (the
// store hands out its kept list, so the same list compares at once).
std::vector<QByteArray> siteItems(const QStringList& sites) {
  thread_local QStringList keptSites;
  thread_local std::vector<QByteArray> kept;
  if (keptSites.isEmpty() || keptSites != sites) {
    kept.clear();
    kept.reserve(size_t(sites.size()));
    for (const String& site : sites) kept.push_back(itemBytes(MakeSiteItem(site)));
    keptSites = sites;
  }
  return kept;
}

bool isHistoryItem(PCUITEMID_CHILD item) {
  const BYTE kind = KindOf(item);
  return kind == kPeriod || kind == kSite || kind == kPage;
}

String nameOf(PCUITEMID_CHILD item, SHGDNF flags) {
  switch (KindOf(item)) {
    case kPeriod: return PeriodOf(item).Caption;
    case kSite: return siteCaption(SiteOf(item));
    case kPage: {
      String url, title;
      PageOf(item, url, title);
      return (flags & SHGDN_FORPARSING) || title.isEmpty() ? url : title;
    }
    default: return String();
  }
}

// nameOf with SHGDN_NORMAL and with SHGDN_FORPARSING of a site or a page.
void namesOf(PCUITEMID_CHILD item, String& shown, String& parsed) {
  if (KindOf(item) == kSite) {
    shown = parsed = siteCaption(SiteOf(item));
    return;
  }
  String title;
  PageOf(item, parsed, title);
  shown = title.isEmpty() ? parsed : title;
}

class HistoryFolder final : public ComObject<IShellFolder> {
 public:
  HistoryFolder(PCIDLIST_ABSOLUTE absolute, std::vector<PCUITEMID_CHILD> items)
      : absolute_(BytesOf(absolute)) {
    if (items.size() > 1) period_ = PeriodOf(items[1]);
    if (items.size() > 2) site_ = SiteOf(items[2]);
    depth_ = int(items.size());
  }

  HRESULT ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE* ppidl, ULONG*) override {
    if (ppidl) *ppidl = nullptr;
    return E_NOTIMPL;
  }

  HRESULT EnumObjects(HWND, SHCONTF flags, IEnumIDList** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    TUrlHistory& store = UrlHistoryStore();
    if (!store.IsOpen()) return E_FAIL;
    std::vector<QByteArray> items;
    if (depth_ == 1 && (flags & SHCONTF_FOLDERS)) {
      for (const TPeriod& p : currentPeriods(store)) items.push_back(itemBytes(MakePeriodItem(p)));
    } else if (depth_ == 2 && (flags & SHCONTF_FOLDERS)) {
      items = siteItems(store.Sites(period_.From, period_.To));
    } else if (depth_ == 3 && (flags & SHCONTF_NONFOLDERS)) {
      for (const TUrlHistoryEntry& e : store.SiteEntries(site_, period_.From, period_.To))
        items.push_back(itemBytes(MakePageItem(e.Url, e.Title)));
    }
    return MakeItemEnumeration(std::move(items)).CopyTo(ppenum);
  }

  HRESULT BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (ILIsEmpty(pidl)) return E_INVALIDARG;
    ComPtr<IShellFolder> folder = MakeHistoryFolder(OwnedIdList(ILCombine(ownList(), pidl)).get());
    if (!folder) return E_INVALIDARG;
    return folder->QueryInterface(riid, ppv);
  }

  HRESULT BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT CompareIDs(LPARAM, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    for (;;) {
      const bool ea = ILIsEmpty(a), eb = ILIsEmpty(b);
      if (ea || eb) return CompareResult(int(eb) - int(ea));
      if (!isHistoryItem(a) || !isHistoryItem(b)) return E_INVALIDARG;
      const BYTE ka = KindOf(a), kb = KindOf(b);
      if (ka != kb) return CompareResult(int(ka) - int(kb));
      int order = 0;
      if (ka == kPeriod) {
        // The newest period first.
        const qint64 fa = PeriodOf(a).From.toMSecsSinceEpoch(), fb = PeriodOf(b).From.toMSecsSinceEpoch();
        order = fa > fb ? -1 : (fa < fb ? 1 : 0);
      } else {
        // By the shown name without case, then by the parsing name; each
        // item is read once.
        String shownA, parsedA, shownB, parsedB;
        namesOf(a, shownA, parsedA);
        namesOf(b, shownB, parsedB);
        order = shownA.compare(shownB, Qt::CaseInsensitive);
        if (!order) order = parsedA.compare(parsedB);
      }
      if (order) return CompareResult(order);
      a = ILGetNext(a);
      b = ILGetNext(b);
    }
  }

  HRESULT CreateViewObject(HWND, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT GetAttributesOf(UINT cidl, PCUITEMID_CHILD_ARRAY apidl, SFGAOF* rgfInOut) override {
    if (!rgfInOut || (cidl && !apidl)) return E_INVALIDARG;
    SFGAOF common = *rgfInOut;
    if (!cidl) common &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
    for (UINT i = 0; i < cidl; ++i) {
      PCUITEMID_CHILD item = ILFindLastID(apidl[i]);
      switch (KindOf(item)) {
        case kPeriod: common &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER; break;
        case kSite: common &= SFGAO_FOLDER; break;
        case kPage: common &= SFGAO_CANDELETE; break;
        default: return E_INVALIDARG;
      }
    }
    *rgfInOut = common;
    return S_OK;
  }

  HRESULT GetUIObjectOf(HWND, UINT cidl, PCUITEMID_CHILD_ARRAY apidl, REFIID riid, UINT*,
                        void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (cidl != 1 || !apidl || !isHistoryItem(apidl[0])) return E_INVALIDARG;
    if (riid != IID_IQueryInfo) return E_NOINTERFACE;
    String tip = nameOf(apidl[0], SHGDN_NORMAL);
    // Readers take the address from the second line, so a title's own line
    // breaks must not push it further down.
    tip.replace(QLatin1String("\r\n"), QLatin1String(" "));
    tip.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (KindOf(apidl[0]) == kPage) tip += QLatin1Char('\n') + nameOf(apidl[0], SHGDN_FORPARSING);
    return MakeInfoTip(tip)->QueryInterface(riid, ppv);
  }

  HRESULT GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags, STRRET* name) override {
    if (!name) return E_POINTER;
    PCUITEMID_CHILD item = ILFindLastID(pidl);
    if (ILIsEmpty(pidl) || !isHistoryItem(item)) return E_INVALIDARG;
    return SetStrRet(name, nameOf(item, flags));
  }

  HRESULT SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD* ppidlOut) override {
    if (ppidlOut) *ppidlOut = nullptr;
    return E_NOTIMPL;
  }

 private:
  PCIDLIST_ABSOLUTE ownList() {
    if (ownList_.isEmpty()) ownList_ = absolute_ + QByteArray(2, '\0');
    return reinterpret_cast<PCIDLIST_ABSOLUTE>(ownList_.constData());
  }

  QByteArray absolute_;
  QByteArray ownList_;
  int depth_ = 1;  // 1 the History folder, 2 a period, 3 a site
  TPeriod period_;
  String site_;
};

}  // namespace

namespace shelldetail {

ComPtr<IShellFolder> MakeHistoryFolder(PCIDLIST_ABSOLUTE absolute) {
  const std::vector<PCUITEMID_CHILD> items = ItemsOf(absolute);
  if (items.empty() || items.size() > 3 || KindOf(items[0]) != kRootItem) return nullptr;
  if (items.size() > 1 && KindOf(items[1]) != kPeriod) return nullptr;
  if (items.size() > 2 && KindOf(items[2]) != kSite) return nullptr;
  return ComPtr<IShellFolder>(new HistoryFolder(absolute, items));
}

}  // namespace shelldetail
