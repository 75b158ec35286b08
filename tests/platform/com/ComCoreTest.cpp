// Reference counting, QueryInterface, GUIDs, task memory, BSTRs, class
// factories and the initialization counters.
#include <gtest/gtest.h>

#include "tests/platform/com/ComTestObjects.h"

#include <cstring>
#include <thread>
#include <unordered_set>

namespace {

struct ProbeCounts {
  int live = Probe::live;
  int destroyed = Probe::destroyed;
  int newlyDestroyed() const { return Probe::destroyed - destroyed; }
};

}  // namespace

// ---------------------------------------------------------------- reference counting

TEST(ComObject, CopiesMovesAndResetsCountReferencesAndDestroyOnce) {
  ProbeCounts before;
  {
    ComPtr<Probe> a = MakeCom<Probe>();
    EXPECT_EQ(a->RefCount(), 1u);
    ComPtr<Probe> b = a;
    EXPECT_EQ(a->RefCount(), 2u);
    ComPtr<Probe> c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a->RefCount(), 2u);
    ComPtr<ICounter> asInterface = c;  // derived-to-interface conversion
    EXPECT_EQ(a->RefCount(), 3u);
    c = a;  // self-object assignment keeps the count
    EXPECT_EQ(a->RefCount(), 3u);
    c.Reset();
    asInterface = nullptr;
    EXPECT_EQ(a->RefCount(), 1u);
    EXPECT_EQ(before.newlyDestroyed(), 0);
  }
  EXPECT_EQ(before.newlyDestroyed(), 1);
  EXPECT_EQ(Probe::live, before.live);
}

TEST(ComObject, AttachDetachAndCopyToHandOverReferencesExactly) {
  ProbeCounts before;
  Probe* raw = nullptr;
  {
    ComPtr<Probe> p = MakeCom<Probe>();
    raw = p.Detach();  // the reference leaves with the raw pointer
    EXPECT_FALSE(p);
    EXPECT_EQ(raw->RefCount(), 1u);
    ComPtr<Probe> q;
    q.Attach(raw);  // and comes back without an extra AddRef
    EXPECT_EQ(raw->RefCount(), 1u);
    ICounter* out = nullptr;
    ComPtr<ICounter> counter = q;
    ASSERT_EQ(counter.CopyTo(&out), S_OK);
    EXPECT_EQ(raw->RefCount(), 3u);
    out->Release();
    EXPECT_EQ(q, raw);
    EXPECT_TRUE(q != nullptr);
  }
  EXPECT_EQ(before.newlyDestroyed(), 1);
}

TEST(ComObject, AddressOfReleasesTheOldInterfaceForAnOutParameter) {
  ProbeCounts before;
  ComPtr<ICounter> held = MakeCom<Probe>();
  ComPtr<Probe> other = MakeCom<Probe>();
  // The out-parameter overwrites `held`: its old object must go.
  ASSERT_EQ(other->QueryInterface(IID_ICounter, &held), S_OK);
  EXPECT_EQ(before.newlyDestroyed(), 1);
  EXPECT_EQ(held.Get(), static_cast<ICounter*>(other.Get()));
  EXPECT_EQ(other->RefCount(), 2u);
  held = nullptr;
  other = nullptr;
  EXPECT_EQ(before.newlyDestroyed(), 2);
}

TEST(ComObject, QueryInterfaceAnswersListedInterfacesTheirBasesAndNothingElse) {
  ProbeCounts before;
  {
    ComPtr<ICounter> counter = MakeCom<Probe>();
    // IDispatch is not listed, only IScripted which derives from it.
    ComPtr<IDispatch> disp = counter.As<IDispatch>();
    ASSERT_TRUE(disp);
    ComPtr<IScripted> scripted = disp.As<IScripted>();
    ASSERT_TRUE(scripted);
    EXPECT_EQ(static_cast<IDispatch*>(scripted.Get()), disp.Get());

    // One identity, whichever interface is asked.
    ComPtr<IUnknown> u1 = counter.As<IUnknown>();
    ComPtr<IUnknown> u2 = scripted.As<IUnknown>();
    EXPECT_EQ(u1, u2);
    EXPECT_TRUE(IsSameObject(counter.Get(), scripted.Get()));

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(counter->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(counter->QueryInterface(IID_ICounter, nullptr), E_POINTER);
    ComPtr<IClassFactory> missing;
    EXPECT_EQ(counter.As(&missing), E_NOINTERFACE);
    EXPECT_FALSE(missing);

    EXPECT_EQ(counter->Next(), 1);
    EXPECT_EQ(scripted.As<ICounter>()->Next(), 2);  // the same object
  }
  EXPECT_EQ(before.newlyDestroyed(), 1);
}

// ---------------------------------------------------------------- GUID

TEST(Guid, WellKnownIdsMatchTheirTexts) {
  EXPECT_EQ(GUIDToString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(GUIDToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(GUIDToString(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
  EXPECT_EQ(IidOf<ICounter>(), IID_ICounter);
  const GUID g = IID_IUnknown;
  EXPECT_EQ(g.Data4[0], 0xC0);
  EXPECT_EQ(g.Data4[7], 0x46);
}

TEST(Guid, TextRoundTripAndRejectsMalformedTexts) {
  const String text = "{B196B284-BAB4-101A-B69C-00AA00341D07}";
  GUID g{};
  ASSERT_TRUE(TryStringToGUID(text.toLower(), g));
  EXPECT_EQ(GUIDToString(g), text);
  EXPECT_EQ(g.Data1, 0xB196B284u);
  EXPECT_EQ(g.Data2, 0xBAB4);
  EXPECT_EQ(g.Data3, 0x101A);

  const GUID before = g;
  for (const char* bad : {"B196B284-BAB4-101A-B69C-00AA00341D07", "{B196B284-BAB4-101A-B69C-00AA00341D0}",
                          "{B196B284-BAB4-101A-B69C-00AA00341D07}x", "{B196B284BBAB4-101A-B69C-00AA00341D07}",
                          "{G196B284-BAB4-101A-B69C-00AA00341D07}", ""}) {
    EXPECT_FALSE(TryStringToGUID(String(bad), g)) << bad;
    EXPECT_EQ(g, before);
  }
  try {
    StringToGUID("nonsense");
    FAIL() << "no exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, CO_E_CLASSSTRING);
  }
}

TEST(Guid, PlatformStyleBufferFunctions) {
  OLECHAR buffer[39];
  EXPECT_EQ(StringFromGUID2(IID_IDispatch, buffer, 38), 0);  // no room for the zero
  ASSERT_EQ(StringFromGUID2(IID_IDispatch, buffer, 39), 39);
  EXPECT_EQ(buffer[38], 0);
  CLSID back{};
  EXPECT_EQ(CLSIDFromString(buffer, &back), NOERROR);
  EXPECT_EQ(back, IID_IDispatch);
  EXPECT_EQ(CLSIDFromString(u"{nope}", &back), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(nullptr, &back), E_INVALIDARG);
}

TEST(Guid, HashesAndOrdersForContainers) {
  std::unordered_set<GUID> set{IID_IUnknown, IID_IDispatch, IID_IUnknown};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_TRUE(set.count(IID_IDispatch));
  EXPECT_NE(IID_IUnknown < IID_IDispatch, IID_IDispatch < IID_IUnknown);
  EXPECT_FALSE(IID_IUnknown < IID_IUnknown);
}

// ---------------------------------------------------------------- memory

TEST(TaskMemory, BlocksAreCountedUntilFreed) {
  const long base = CoTaskMemLiveBlocks();
  void* a = CoTaskMemAlloc(10);
  void* z = CoTaskMemAlloc(0);  // still a block of its own
  ASSERT_TRUE(a && z);
  EXPECT_NE(a, z);
  EXPECT_EQ(CoTaskMemLiveBlocks(), base + 2);
  a = CoTaskMemRealloc(a, 100000);  // moving does not change the count
  EXPECT_EQ(CoTaskMemLiveBlocks(), base + 2);
  EXPECT_EQ(CoTaskMemRealloc(z, 0), nullptr);  // size 0 frees
  EXPECT_EQ(CoTaskMemLiveBlocks(), base + 1);
  void* fresh = CoTaskMemRealloc(nullptr, 8);  // null allocates
  EXPECT_EQ(CoTaskMemLiveBlocks(), base + 2);
  CoTaskMemFree(a);
  CoTaskMemFree(fresh);
  CoTaskMemFree(nullptr);
  EXPECT_EQ(CoTaskMemLiveBlocks(), base);
}

TEST(TaskMemory, DuplicatedStringsAreZeroTerminatedCopies) {
  const long base = CoTaskMemLiveBlocks();
  LPOLESTR s = CoTaskMemDupString(QStringLiteral("Grüße"));
  LPOLESTR empty = CoTaskMemDupString(String());
  ASSERT_TRUE(s && empty);
  EXPECT_EQ(std::char_traits<char16_t>::length(s), 5u);
  EXPECT_EQ(OleStrToString(s), QStringLiteral("Grüße"));
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(OleStrToString(nullptr), String());
  EXPECT_EQ(CoTaskMemLiveBlocks(), base + 2);
  CoTaskMemFree(s);
  CoTaskMemFree(empty);
  EXPECT_EQ(CoTaskMemLiveBlocks(), base);
}

TEST(Bstr, LengthPrefixLayoutAndEmbeddedZeros) {
  const long base = SysStringLiveCount();
  BSTR b = StringToBSTR(QStringView(u"a\0bc", 4).toString());
  ASSERT_TRUE(b);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
  EXPECT_EQ(prefix, 8u);  // bytes, not characters
  EXPECT_EQ(SysStringLen(b), 4u);
  EXPECT_EQ(SysStringByteLen(b), 8u);
  EXPECT_EQ(b[4], 0);
  EXPECT_EQ(BSTRToString(b).size(), 4);  // the embedded zero survives
  EXPECT_EQ(BSTRToString(b).at(2), QChar('b'));

  BSTR zeros = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(zeros[0], 0);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(BSTRToString(nullptr), String());
  EXPECT_EQ(SysStringLiveCount(), base + 2);
  SysFreeString(b);
  SysFreeString(zeros);
  SysFreeString(nullptr);
  EXPECT_EQ(SysStringLiveCount(), base);
}

// ---------------------------------------------------------------- class factories

namespace {
constexpr CLSID kProbeClass = GuidLiteral("{0D5E8C70-1111-4A2B-9C3D-4E5F60718293}");
constexpr CLSID kOtherClass = GuidLiteral("{0D5E8C71-1111-4A2B-9C3D-4E5F60718293}");

HRESULT createProbe(IUnknown*, REFIID riid, void** ppv) {
  return MakeCom<Probe>()->QueryInterface(riid, ppv);
}
}  // namespace

TEST(ClassFactory, CreatesRegisteredClassesAndRefusesOthers) {
  ProbeCounts before;
  RegisterClassFactory(kProbeClass, createProbe);
  {
    ComPtr<ICounter> counter;
    ASSERT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &counter), S_OK);
    EXPECT_EQ(counter->Next(), 1);
    EXPECT_EQ(Probe::live, before.live + 1);

    // An interface the class lacks: no object is left behind.
    ComPtr<IClassFactory> wrong;
    EXPECT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_ALL, IID_IClassFactory, &wrong), E_NOINTERFACE);
    EXPECT_FALSE(wrong);
    EXPECT_EQ(Probe::live, before.live + 1);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(kProbeClass, CLSCTX_ALL, nullptr, IID_IClassFactory, &factory), S_OK);
    ComPtr<IDispatch> disp;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &disp), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  }
  EXPECT_EQ(Probe::live, before.live);

  EXPECT_TRUE(UnregisterClassFactory(kProbeClass));
  EXPECT_FALSE(UnregisterClassFactory(kProbeClass));
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_ALL, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CoGetClassObject(kProbeClass, CLSCTX_ALL, nullptr, IID_IClassFactory, &out), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
}

TEST(ClassFactory, AggregationOnlyForClassesThatAllowIt) {
  int calls = 0;
  IUnknown* seenOuter = nullptr;
  auto creator = [&](IUnknown* outer, REFIID riid, void** ppv) {
    ++calls;
    seenOuter = outer;
    return createProbe(outer, riid, ppv);
  };
  ComPtr<ICounter> outer = MakeCom<Probe>();
  ComPtr<IUnknown> inner;

  RegisterClassFactory(kOtherClass, creator);
  EXPECT_EQ(CoCreateInstance(kOtherClass, outer.Get(), CLSCTX_ALL, IID_IUnknown, &inner),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(calls, 0);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(kOtherClass, CLSCTX_ALL, nullptr, IID_IClassFactory, &factory), S_OK);
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &inner), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(calls, 0);

  RegisterClassFactory(kOtherClass, creator, true);  // replaces the entry
  EXPECT_EQ(CoCreateInstance(kOtherClass, outer.Get(), CLSCTX_ALL, IID_IUnknown, &inner), S_OK);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seenOuter, outer.Get());
  UnregisterClassFactory(kOtherClass);
}

// ---------------------------------------------------------------- initialization

TEST(Initialization, CountsPerThread) {
  ASSERT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(OleInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeCount(), 3);

  // Another thread starts from nothing and does not touch this thread's count.
  HRESULT first = E_FAIL, second = E_FAIL;
  int countThere = -1, afterThere = -1;
  std::thread([&] {
    first = CoInitialize(nullptr);
    second = OleInitialize(nullptr);
    countThere = CoInitializeCount();
    OleUninitialize();
    CoUninitialize();
    afterThere = CoInitializeCount();
  }).join();
  EXPECT_EQ(first, S_OK);
  EXPECT_EQ(second, S_FALSE);
  EXPECT_EQ(countThere, 2);
  EXPECT_EQ(afterThere, 0);
  EXPECT_EQ(CoInitializeCount(), 3);

  CoUninitialize();
  CoUninitialize();
  OleUninitialize();
  EXPECT_EQ(CoInitializeCount(), 0);
  OleUninitialize();  // one too many does no harm
  EXPECT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(OleInitialize(nullptr), S_OK);  // starts over
  OleUninitialize();
}
