// Item identifier lists, the shell allocator and the content of our items.
#include "platform/shell/ShellItems.h"

#include <cstring>

namespace {

USHORT countOf(const void* item) {
  USHORT cb;
  std::memcpy(&cb, item, sizeof cb);
  return cb;
}

const BYTE* bytesOf(PCUIDLIST_RELATIVE pidl) { return reinterpret_cast<const BYTE*>(pidl); }

class TaskAllocator final : public ComObject<IMalloc> {
 public:
  void* Alloc(std::size_t cb) override { return CoTaskMemAlloc(cb); }
  void* Realloc(void* pv, std::size_t cb) override { return CoTaskMemRealloc(pv, cb); }
  void Free(void* pv) override { CoTaskMemFree(pv); }
  std::size_t GetSize(void*) override { return std::size_t(-1); }
  int DidAlloc(void*) override { return -1; }
  void HeapMinimize() override {}
};

}  // namespace

UINT ILGetSize(PCUIDLIST_RELATIVE pidl) {
  if (!pidl) return 0;
  UINT size = 2;
  for (const BYTE* p = bytesOf(pidl); USHORT cb = countOf(p); p += cb) size += cb;
  return size;
}

PIDLIST_RELATIVE ILGetNext(PCUIDLIST_RELATIVE pidl) {
  if (!pidl) return nullptr;
  const USHORT cb = countOf(pidl);
  if (!cb) return nullptr;
  return reinterpret_cast<PIDLIST_RELATIVE>(const_cast<BYTE*>(bytesOf(pidl) + cb));
}

PIDLIST_RELATIVE ILFindLastID(PCUIDLIST_RELATIVE pidl) {
  if (!pidl) return nullptr;
  const BYTE* last = bytesOf(pidl);
  for (const BYTE* p = last; USHORT cb = countOf(p); p += cb) last = p;
  return reinterpret_cast<PIDLIST_RELATIVE>(const_cast<BYTE*>(last));
}

BOOL ILRemoveLastID(PIDLIST_RELATIVE pidl) {
  if (!pidl || !countOf(pidl)) return FALSE;
  std::memset(ILFindLastID(pidl), 0, sizeof(USHORT));
  return TRUE;
}

BOOL ILIsEmpty(PCUIDLIST_RELATIVE pidl) { return !pidl || countOf(pidl) == 0; }

PIDLIST_RELATIVE ILClone(PCUIDLIST_RELATIVE pidl) {
  if (!pidl) return nullptr;
  const UINT size = ILGetSize(pidl);
  void* copy = CoTaskMemAlloc(size);
  if (copy) std::memcpy(copy, pidl, size);
  return static_cast<PIDLIST_RELATIVE>(copy);
}

PITEMID_CHILD ILCloneFirst(PCUIDLIST_RELATIVE pidl) {
  if (!pidl) return nullptr;
  const USHORT cb = countOf(pidl);
  auto* copy = static_cast<BYTE*>(CoTaskMemAlloc(cb + 2u));
  if (!copy) return nullptr;
  std::memcpy(copy, pidl, cb);
  std::memset(copy + cb, 0, 2);
  return reinterpret_cast<PITEMID_CHILD>(copy);
}

PIDLIST_ABSOLUTE ILCombine(PCIDLIST_ABSOLUTE first, PCUIDLIST_RELATIVE second) {
  if (!first && !second) return nullptr;
  const UINT a = first ? ILGetSize(first) - 2 : 0;
  const UINT b = second ? ILGetSize(second) - 2 : 0;
  auto* out = static_cast<BYTE*>(CoTaskMemAlloc(a + b + 2));
  if (!out) return nullptr;
  if (a) std::memcpy(out, first, a);
  if (b) std::memcpy(out + a, second, b);
  std::memset(out + a + b, 0, 2);
  return reinterpret_cast<PIDLIST_ABSOLUTE>(out);
}

void ILFree(PIDLIST_RELATIVE pidl) { CoTaskMemFree(pidl); }

BOOL ILIsEqual(PCIDLIST_ABSOLUTE a, PCIDLIST_ABSOLUTE b) {
  if (!a || !b) return a == b;
  const UINT size = ILGetSize(a);
  return size == ILGetSize(b) && std::memcmp(a, b, size) == 0;
}

BOOL ILIsParent(PCIDLIST_ABSOLUTE parent, PCIDLIST_ABSOLUTE child, BOOL immediate) {
  if (!parent || !child) return FALSE;
  const UINT p = ILGetSize(parent) - 2;
  if (ILGetSize(child) - 2 < p || std::memcmp(parent, child, p) != 0) return FALSE;
  const BYTE* rest = bytesOf(child) + p;
  if (!countOf(rest)) return FALSE;  // the same list
  if (!immediate) return TRUE;
  return countOf(rest + countOf(rest)) == 0;
}

HRESULT SHGetMalloc(IMalloc** ppMalloc) {
  if (!ppMalloc) return E_INVALIDARG;
  static IMalloc* allocator = [] {
    auto* a = new TaskAllocator;
    a->AddRef();  // lives as long as the process
    return a;
  }();
  allocator->AddRef();
  *ppMalloc = allocator;
  return S_OK;
}

namespace shelldetail {

namespace {

void appendText(QByteArray& out, const String& text) {
  out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  out.append(2, '\0');
}

// The text at `at` up to its zero (or the end); moves `at` past the zero.
String readText(const QByteArray& content, int& at) {
  const char* bytes = content.constData();
  int end = at;
  while (end + 1 < content.size() && (bytes[end] || bytes[end + 1])) end += 2;
  // Copied in one piece: the text need not be aligned in the item.
  String text(qsizetype((end - at) / 2), Qt::Uninitialized);
  std::memcpy(text.data(), bytes + at, std::size_t(end - at));
  at = end + 1 < content.size() ? end + 2 : end;
  return text;
}

void appendInt64(QByteArray& out, qint64 value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

qint64 readInt64(const QByteArray& content, int& at) {
  qint64 value = 0;
  if (at + int(sizeof value) <= content.size()) std::memcpy(&value, content.constData() + at, sizeof value);
  at += int(sizeof value);
  return value;
}

}  // namespace

PITEMID_CHILD MakeItem(BYTE kind, const QByteArray& content) {
  QByteArray item(3, '\0');
  const USHORT cb = USHORT(3 + content.size());
  std::memcpy(item.data(), &cb, 2);
  item[2] = char(kind);
  item += content;
  return ListFromBytes(item);
}

BYTE KindOf(PCUIDLIST_RELATIVE pidl) {
  if (!pidl || countOf(pidl) < 3) return 0;
  return bytesOf(pidl)[2];
}

QByteArray ContentOf(PCUIDLIST_RELATIVE pidl) {
  if (!pidl || countOf(pidl) < 3) return {};
  return QByteArray(reinterpret_cast<const char*>(bytesOf(pidl) + 3), countOf(pidl) - 3);
}

namespace {
// The content in place, for reading it while the item lives: lists are
// compared and named far more often than they are made.
QByteArray contentInPlace(PCUIDLIST_RELATIVE pidl) {
  if (!pidl || countOf(pidl) < 3) return {};
  return QByteArray::fromRawData(reinterpret_cast<const char*>(bytesOf(pidl) + 3), countOf(pidl) - 3);
}
}  // namespace

std::vector<PCUITEMID_CHILD> ItemsOf(PCUIDLIST_RELATIVE pidl) {
  std::vector<PCUITEMID_CHILD> items;
  for (PCUIDLIST_RELATIVE p = pidl; p && countOf(p); p = ILGetNext(p)) items.push_back(p);
  return items;
}

PITEMID_CHILD MakeRootItem(RootItem which) { return MakeItem(kRootItem, QByteArray(1, char(which))); }

PITEMID_CHILD MakeFsItem(const String& name, bool folder) {
  QByteArray content;
  appendText(content, name);
  return MakeItem(folder ? kFsFolder : kFsFile, content);
}

String FsNameOf(PCUITEMID_CHILD item) {
  int at = 0;
  return readText(contentInPlace(item), at);
}

PITEMID_CHILD MakePeriodItem(const TPeriod& period) {
  QByteArray content;
  appendInt64(content, period.From.toMSecsSinceEpoch());
  appendInt64(content, period.To.toMSecsSinceEpoch());
  appendText(content, period.Caption);
  return MakeItem(kPeriod, content);
}

TPeriod PeriodOf(PCUITEMID_CHILD item) {
  const QByteArray content = contentInPlace(item);
  int at = 0;
  TPeriod p;
  // Only the moments count: read without the local zone, which would cost a
  // zone look-up for every item.
  p.From = QDateTime::fromMSecsSinceEpoch(readInt64(content, at), Qt::UTC);
  p.To = QDateTime::fromMSecsSinceEpoch(readInt64(content, at), Qt::UTC);
  p.Caption = readText(content, at);
  return p;
}

PITEMID_CHILD MakeSiteItem(const String& site) {
  QByteArray content;
  appendText(content, site);
  return MakeItem(kSite, content);
}

String SiteOf(PCUITEMID_CHILD item) {
  int at = 0;
  return readText(contentInPlace(item), at);
}

PITEMID_CHILD MakePageItem(const String& url, const String& title) {
  QByteArray content;
  appendText(content, url);
  appendText(content, title);
  return MakeItem(kPage, content);
}

void PageOf(PCUITEMID_CHILD item, String& url, String& title) {
  const QByteArray content = contentInPlace(item);
  int at = 0;
  url = readText(content, at);
  title = readText(content, at);
}

QByteArray BytesOf(PCUIDLIST_RELATIVE pidl) {
  if (!pidl) return {};
  return QByteArray(reinterpret_cast<const char*>(pidl), int(ILGetSize(pidl)) - 2);
}

PIDLIST_RELATIVE ListFromBytes(const QByteArray& items) {
  auto* out = static_cast<BYTE*>(CoTaskMemAlloc(std::size_t(items.size()) + 2));
  if (!out) return nullptr;
  std::memcpy(out, items.constData(), std::size_t(items.size()));
  std::memset(out + items.size(), 0, 2);
  return reinterpret_cast<PIDLIST_RELATIVE>(out);
}

}  // namespace shelldetail
