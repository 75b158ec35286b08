#pragma once
// Connection points: the interfaces through which an object accepts event
// sinks, and a reusable implementation.
//
// An object that raises events implements IConnectionPointContainer by
// holding a ConnectionPoints member and forwarding the two methods to it:
//
//   class Source : public ComObject<IConnectionPointContainer, ...> {
//     ConnectionPoints points_{this};
//     Source() { points_.Add(IID_IFooEvents); }
//     HRESULT EnumConnectionPoints(IEnumConnectionPoints** pp) override
//       { return points_.EnumConnectionPoints(pp); }
//     HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** pp) override
//       { return points_.FindConnectionPoint(iid, pp); }
//     void Fire() { points_.ForEachSink(IID_IFooEvents, [](IUnknown* s) {
//       static_cast<IFooEvents*>(s)->Something(); }); }
//   };
#include "platform/com/ComObject.h"

#include <vector>

struct IConnectionPoint;
struct IConnectionPointContainer;

struct CONNECTDATA {
  IUnknown* pUnk;  // the sink, as the connection's interface; holds a reference
  DWORD dwCookie;
};

struct IEnumConnections : IUnknown {
  // Hands out up to `cConnections` entries (each sink with a reference).
  // S_FALSE when fewer were left; pcFetched may be null only when asking for one.
  virtual HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cConnections) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;
};
NOCTIVANE_DECLARE_IID(IEnumConnections, IUnknown, "{B196B287-BAB4-101A-B69C-00AA00341D07}")

struct IEnumConnectionPoints : IUnknown {
  virtual HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cConnections) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;
};
NOCTIVANE_DECLARE_IID(IEnumConnectionPoints, IUnknown, "{B196B285-BAB4-101A-B69C-00AA00341D07}")

struct IConnectionPoint : IUnknown {
  virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  // Asks the sink for the connection's interface (CONNECT_E_CANNOTCONNECT
  // without it) and answers a cookie for Unadvise.
  virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  // CONNECT_E_NOCONNECTION for an unknown cookie.
  virtual HRESULT Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;
};
NOCTIVANE_DECLARE_IID(IConnectionPoint, IUnknown, "{B196B286-BAB4-101A-B69C-00AA00341D07}")

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  // CONNECT_E_NOCONNECTION when the object has no point for `riid`.
  virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};
NOCTIVANE_DECLARE_IID(IConnectionPointContainer, IUnknown, "{B196B284-BAB4-101A-B69C-00AA00341D07}")

// One connection point and its sinks. It refers to its container without a
// reference (the container owns the point); when the container goes, the
// point lets its sinks go and answers E_UNEXPECTED for its container.
class ConnectionPoint final : public ComObject<IConnectionPoint> {
 public:
  ConnectionPoint(IConnectionPointContainer* container, REFIID iid);

  HRESULT GetConnectionInterface(IID* pIID) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  HRESULT Unadvise(DWORD dwCookie) override;
  HRESULT EnumConnections(IEnumConnections** ppEnum) override;

  const IID& Iid() const { return iid_; }
  std::size_t SinkCount() const { return sinks_.size(); }
  // Calls `fn` for each sink connected when the call starts, in the order of
  // advising. Each sink is a pointer to the connection's interface, so
  // static_cast<IFooEvents*>(sink) is right. Sinks may advise or unadvise
  // during the calls; a sink unadvised meanwhile is still called this time.
  void ForEachSink(const std::function<void(IUnknown*)>& fn) const;
  // Releases every sink and forgets the container.
  void Disconnect();

 private:
  struct Sink {
    DWORD cookie;
    ComPtr<IUnknown> sink;
  };
  IConnectionPointContainer* container_;
  IID iid_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

// The connection points of one container, by IID.
class ConnectionPoints {
 public:
  explicit ConnectionPoints(IConnectionPointContainer* container);
  ~ConnectionPoints();
  ConnectionPoints(const ConnectionPoints&) = delete;
  ConnectionPoints& operator=(const ConnectionPoints&) = delete;

  // Adds the point for `iid` (or answers the existing one).
  ConnectionPoint* Add(REFIID iid);
  ConnectionPoint* Find(REFIID iid) const;
  // ForEachSink of the point for `iid`; nothing when there is none.
  void ForEachSink(REFIID iid, const std::function<void(IUnknown*)>& fn) const;

  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) const;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) const;

 private:
  IConnectionPointContainer* container_;
  std::vector<ComPtr<ConnectionPoint>> points_;
};
