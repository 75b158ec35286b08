// Connection points: advising, firing, enumerating and tearing down.
#include <gtest/gtest.h>

#include "platform/com/ConnectionPoints.h"
#include "tests/platform/com/ComTestObjects.h"

#include <functional>

struct ITickEvents : IUnknown {
  virtual void OnTick(int n) = 0;
};
NOCTIVANE_DECLARE_IID(ITickEvents, IUnknown, "{7A2B3C40-5D6E-4F70-8192-A3B4C5D6E7F8}")

struct IDoneEvents : IUnknown {
  virtual void OnDone() = 0;
};
NOCTIVANE_DECLARE_IID(IDoneEvents, IUnknown, "{7A2B3C41-5D6E-4F70-8192-A3B4C5D6E7F8}")

namespace {

class TickSink : public ComObject<ITickEvents> {
 public:
  static inline int live = 0;
  TickSink() { ++live; }
  void OnTick(int n) override {
    ticks.push_back(n);
    if (onTick) onTick();
  }
  std::vector<int> ticks;
  std::function<void()> onTick;

 protected:
  ~TickSink() override { --live; }
};

class Source : public ComObject<IConnectionPointContainer> {
 public:
  static inline int live = 0;
  Source() {
    ++live;
    points_.Add(IID_ITickEvents);
    points_.Add(IID_IDoneEvents);
  }
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** pp) override {
    return points_.EnumConnectionPoints(pp);
  }
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** pp) override {
    return points_.FindConnectionPoint(iid, pp);
  }
  void Tick(int n) {
    points_.ForEachSink(IID_ITickEvents, [n](IUnknown* sink) { static_cast<ITickEvents*>(sink)->OnTick(n); });
  }
  ConnectionPoints& points() { return points_; }

 protected:
  ~Source() override { --live; }

 private:
  ConnectionPoints points_{this};
};

ComPtr<IConnectionPoint> tickPoint(IConnectionPointContainer* c) {
  ComPtr<IConnectionPoint> cp;
  EXPECT_EQ(c->FindConnectionPoint(IID_ITickEvents, &cp), S_OK);
  return cp;
}

}  // namespace

TEST(ConnectionPoints, FindPointsAndTheirContainer) {
  ComPtr<Source> source = MakeCom<Source>();
  ComPtr<IConnectionPoint> cp = tickPoint(source.Get());
  ASSERT_TRUE(cp);
  IID iid{};
  ASSERT_EQ(cp->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, IID_ITickEvents);
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(cp->GetConnectionPointContainer(&back), S_OK);
  EXPECT_TRUE(IsSameObject(back.Get(), source.Get()));
  EXPECT_EQ(source.As<IConnectionPointContainer>(), back);

  ComPtr<IConnectionPoint> none;
  EXPECT_EQ(source->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(none);
  EXPECT_EQ(source->points().Add(IID_ITickEvents), source->points().Find(IID_ITickEvents));

  ComPtr<IEnumConnectionPoints> e;
  ASSERT_EQ(source->EnumConnectionPoints(&e), S_OK);
  IConnectionPoint* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  IID second{};
  got[1]->GetConnectionInterface(&second);
  EXPECT_EQ(second, IID_IDoneEvents);
  EXPECT_EQ(got[0], cp.Get());
  got[0]->Release();
  got[1]->Release();
}

TEST(ConnectionPoints, AdviseFireAndUnadvise) {
  ComPtr<Source> source = MakeCom<Source>();
  ComPtr<IConnectionPoint> cp = tickPoint(source.Get());
  ComPtr<TickSink> a = MakeCom<TickSink>(), b = MakeCom<TickSink>(), c = MakeCom<TickSink>();

  DWORD ca = 0, cb = 0, cc = 0;
  ASSERT_EQ(cp->Advise(static_cast<ITickEvents*>(a.Get()), &ca), S_OK);
  ASSERT_EQ(cp->Advise(static_cast<ITickEvents*>(b.Get()), &cb), S_OK);
  ASSERT_EQ(cp->Advise(static_cast<ITickEvents*>(c.Get()), &cc), S_OK);
  EXPECT_NE(ca, 0u);
  EXPECT_NE(ca, cb);
  EXPECT_NE(cb, cc);
  EXPECT_EQ(a->RefCount(), 2u);  // the point holds each sink

  source->Tick(1);
  ASSERT_EQ(cp->Unadvise(cb), S_OK);
  EXPECT_EQ(b->RefCount(), 1u);
  source->Tick(2);
  EXPECT_EQ(a->ticks, (std::vector<int>{1, 2}));
  EXPECT_EQ(b->ticks, (std::vector<int>{1}));
  EXPECT_EQ(c->ticks, (std::vector<int>{1, 2}));
  EXPECT_EQ(cp->Unadvise(cb), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(cp->Unadvise(12345), CONNECT_E_NOCONNECTION);

  // A sink without the connection's interface is refused.
  ComPtr<Probe> stranger = MakeCom<Probe>();
  DWORD cookie = 77;
  EXPECT_EQ(cp->Advise(static_cast<ICounter*>(stranger.Get()), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(stranger->RefCount(), 1u);
  EXPECT_EQ(cp->Advise(nullptr, &cookie), E_POINTER);
  EXPECT_EQ(source->points().Find(IID_ITickEvents)->SinkCount(), 2u);
}

TEST(ConnectionPoints, SinksMayUnadviseWhileEventsAreFired) {
  ComPtr<Source> source = MakeCom<Source>();
  ComPtr<IConnectionPoint> cp = tickPoint(source.Get());
  ComPtr<TickSink> first = MakeCom<TickSink>(), second = MakeCom<TickSink>();
  DWORD c1 = 0, c2 = 0;
  cp->Advise(static_cast<ITickEvents*>(first.Get()), &c1);
  cp->Advise(static_cast<ITickEvents*>(second.Get()), &c2);
  // The first sink drops the second, and the test lets go of both.
  first->onTick = [&] {
    cp->Unadvise(c2);
    cp->Unadvise(c1);
    second = nullptr;
  };
  first = nullptr;
  const int liveBefore = TickSink::live;
  source->Tick(5);  // both are still called this time and outlive the call
  EXPECT_EQ(TickSink::live, liveBefore - 2);
  EXPECT_EQ(source->points().Find(IID_ITickEvents)->SinkCount(), 0u);
}

TEST(ConnectionPoints, EnumerateConnections) {
  ComPtr<Source> source = MakeCom<Source>();
  ComPtr<IConnectionPoint> cp = tickPoint(source.Get());
  ComPtr<TickSink> a = MakeCom<TickSink>(), b = MakeCom<TickSink>();
  DWORD ca = 0, cb = 0;
  cp->Advise(static_cast<ITickEvents*>(a.Get()), &ca);
  cp->Advise(static_cast<ITickEvents*>(b.Get()), &cb);

  ComPtr<IEnumConnections> e;
  ASSERT_EQ(cp->EnumConnections(&e), S_OK);
  CONNECTDATA data[4] = {};
  EXPECT_EQ(e->Next(4, data, nullptr), E_POINTER);  // a count above one needs pcFetched
  ULONG fetched = 0;
  ASSERT_EQ(e->Next(4, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, ca);
  EXPECT_EQ(data[1].dwCookie, cb);
  EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(static_cast<ITickEvents*>(a.Get())));
  // Held by the test, the point, the enumerator's snapshot and the caller.
  EXPECT_EQ(a->RefCount(), 4u);
  data[0].pUnk->Release();
  data[1].pUnk->Release();

  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  ComPtr<IEnumConnections> clone;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  ASSERT_EQ(clone->Next(1, data, nullptr), S_OK);
  EXPECT_EQ(data[0].dwCookie, cb);
  data[0].pUnk->Release();
  EXPECT_EQ(e->Skip(5), S_FALSE);
  EXPECT_EQ(e->Next(1, data, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  // The enumeration is a snapshot: later changes do not show in it.
  cp->Unadvise(ca);
  e->Reset();
  ASSERT_EQ(e->Next(2, data, &fetched), S_OK);
  EXPECT_EQ(data[0].dwCookie, ca);
  data[0].pUnk->Release();
  data[1].pUnk->Release();
}

TEST(ConnectionPoints, DestroyingTheContainerReleasesSinksAndDetachesPoints) {
  ComPtr<Source> source = MakeCom<Source>();
  ComPtr<IConnectionPoint> cp = tickPoint(source.Get());
  ComPtr<TickSink> sink = MakeCom<TickSink>();
  DWORD cookie = 0;
  cp->Advise(static_cast<ITickEvents*>(sink.Get()), &cookie);
  const int sources = Source::live;
  source = nullptr;  // the point holds no reference to its container
  EXPECT_EQ(Source::live, sources - 1);
  EXPECT_EQ(sink->RefCount(), 1u);

  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(cp->GetConnectionPointContainer(&container), E_UNEXPECTED);
  EXPECT_FALSE(container);
  EXPECT_EQ(cp->Advise(static_cast<ITickEvents*>(sink.Get()), &cookie), E_UNEXPECTED);
  EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}
