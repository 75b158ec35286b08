#include "platform/com/ConnectionPoints.h"

#include "platform/com/SnapshotEnum.h"

#include <algorithm>

namespace {

// What the enumerators hold: an interface and, for connections, its cookie.
struct Entry {
  ComPtr<IUnknown> unk;
  DWORD cookie = 0;
};

bool handOutConnection(const Entry& e, CONNECTDATA& out) {
  out.pUnk = e.unk.Get();
  out.pUnk->AddRef();
  out.dwCookie = e.cookie;
  return true;
}

bool handOutPoint(const Entry& e, IConnectionPoint*& out) {
  out = static_cast<IConnectionPoint*>(e.unk.Get());
  out->AddRef();
  return true;
}

using ConnectionsEnum = SnapshotEnum<IEnumConnections, CONNECTDATA, Entry, handOutConnection>;
using PointsEnum = SnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, Entry, handOutPoint>;

}  // namespace

// ---------------------------------------------------------------- ConnectionPoint

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* container, REFIID iid)
    : container_(container), iid_(iid) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  *ppCPC = container_;
  if (!container_) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (pdwCookie) *pdwCookie = 0;
  if (!pUnkSink || !pdwCookie) return E_POINTER;
  if (!container_) return E_UNEXPECTED;
  void* sink = nullptr;
  if (FAILED(pUnkSink->QueryInterface(iid_, &sink)) || !sink) return CONNECT_E_CANNOTCONNECT;
  Sink entry{nextCookie_++, nullptr};
  // The pointer of the connection's interface, kept as its IUnknown part.
  entry.sink.Attach(static_cast<IUnknown*>(sink));
  sinks_.push_back(std::move(entry));
  *pdwCookie = sinks_.back().cookie;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD dwCookie) {
  auto it =
      std::find_if(sinks_.begin(), sinks_.end(), [dwCookie](const Sink& s) { return s.cookie == dwCookie; });
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  // Released after leaving the list, in case the sink calls back.
  ComPtr<IUnknown> gone = std::move(it->sink);
  sinks_.erase(it);
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  std::vector<Entry> items;
  for (const Sink& s : sinks_) items.push_back({s.sink, s.cookie});
  *ppEnum = MakeCom<ConnectionsEnum>(std::move(items)).Detach();
  return S_OK;
}

void ConnectionPoint::ForEachSink(const std::function<void(IUnknown*)>& fn) const {
  std::vector<ComPtr<IUnknown>> snapshot;
  for (const Sink& s : sinks_) snapshot.push_back(s.sink);
  for (const auto& sink : snapshot) fn(sink.Get());
}

void ConnectionPoint::Disconnect() {
  container_ = nullptr;
  std::vector<Sink> gone;
  gone.swap(sinks_);
}

// ---------------------------------------------------------------- ConnectionPoints

ConnectionPoints::ConnectionPoints(IConnectionPointContainer* container) : container_(container) {}

ConnectionPoints::~ConnectionPoints() {
  for (const auto& point : points_) point->Disconnect();
}

ConnectionPoint* ConnectionPoints::Add(REFIID iid) {
  if (ConnectionPoint* existing = Find(iid)) return existing;
  points_.push_back(MakeCom<ConnectionPoint>(container_, iid));
  return points_.back().Get();
}

ConnectionPoint* ConnectionPoints::Find(REFIID iid) const {
  for (const auto& point : points_)
    if (point->Iid() == iid) return point.Get();
  return nullptr;
}

void ConnectionPoints::ForEachSink(REFIID iid, const std::function<void(IUnknown*)>& fn) const {
  if (ConnectionPoint* point = Find(iid)) point->ForEachSink(fn);
}

HRESULT ConnectionPoints::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) const {
  if (!ppEnum) return E_POINTER;
  std::vector<Entry> items;
  for (const auto& point : points_)
    items.push_back({ComPtr<IUnknown>(static_cast<IConnectionPoint*>(point.Get())), 0});
  *ppEnum = MakeCom<PointsEnum>(std::move(items)).Detach();
  return S_OK;
}

HRESULT ConnectionPoints::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) const {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  ConnectionPoint* point = Find(riid);
  if (!point) return CONNECT_E_NOCONNECTION;
  *ppCP = point;
  point->AddRef();
  return S_OK;
}
