// The table dispatch base and the owning types of strings and task memory.
#include <gtest/gtest.h>

#include "platform/com/Dispatch.h"
#include "platform/com/TableDispatch.h"

namespace {

// "size" (id 100, a read-only number) and "item" (DISPID_VALUE); with the
// second table also "extra" (id 200).
class Thing final : public comdisp::TableDispatch<Thing, IDispatch> {
 public:
  explicit Thing(bool more) : TableDispatch(kTable, more ? kMoreTable : comdisp::DispTable<Thing>{}) {}

 private:
  template <LONG N>
  static HRESULT Number(Thing&, WORD flags, DISPPARAMS*, VARIANT* result) {
    if (!comdisp::IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    comdisp::SetResult(result, N);
    return S_OK;
  }
  static constexpr comdisp::DispMember<Thing> kMembers[] = {{"size", &Number<42>},
                                                            {"item", &Number<7>, DISPID_VALUE}};
  static constexpr comdisp::DispTable<Thing> kTable{kMembers, 100};
  static constexpr comdisp::DispMember<Thing> kMore[] = {{"extra", &Number<3>}};
  static constexpr comdisp::DispTable<Thing> kMoreTable{kMore, 200};
};

DISPID IdOf(IDispatch* d, const char* name) {
  DISPID id = 0;
  return SUCCEEDED(DispatchGetIDOfName(d, QLatin1String(name), id)) ? id : DISPID_UNKNOWN;
}

}  // namespace

TEST(TableDispatch, FindsNamesWithoutCaseInEveryTable) {
  ComPtr<Thing> thing = MakeCom<Thing>(true);
  EXPECT_EQ(IdOf(thing.Get(), "SIZE"), 100);
  EXPECT_EQ(IdOf(thing.Get(), "Item"), DISPID_VALUE);
  EXPECT_EQ(IdOf(thing.Get(), "eXtra"), 200);
  EXPECT_EQ(IdOf(MakeCom<Thing>(false).Get(), "extra"), DISPID_UNKNOWN);

  OleVariant value;
  ASSERT_EQ(DispatchGetProperty(thing.Get(), 200, value), S_OK);
  EXPECT_EQ(value.toInt(), 3);
  ASSERT_EQ(DispatchGetProperty(thing.Get(), DISPID_VALUE, value), S_OK);
  EXPECT_EQ(value.toInt(), 7);
}

TEST(TableDispatch, UnknownNamesAndIdsAreRefused) {
  ComPtr<Thing> thing = MakeCom<Thing>(false);
  DISPID id = 0;
  EXPECT_EQ(DispatchGetIDOfName(thing.Get(), QStringLiteral("sizes"), id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  // A second name would be a named argument, which no member takes.
  String first = QStringLiteral("size"), second = QStringLiteral("size");
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(first.data()), reinterpret_cast<LPOLESTR>(second.data())};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(thing->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 100);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(thing->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids), E_POINTER);

  OleVariant value;
  EXPECT_EQ(DispatchGetProperty(thing.Get(), 200, value), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(DispatchPutProperty(thing.Get(), 100, OleVariant(1)), DISP_E_MEMBERNOTFOUND);
  UINT count = 1;
  EXPECT_EQ(thing->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST(OwnedTypes, FreeWhatTheyHoldExactlyOnce) {
  const long bstrs = SysStringLiveCount();
  const long blocks = CoTaskMemLiveBlocks();
  {
    OwnedBstr a(StringToBSTR(QStringLiteral("one")));
    OwnedBstr b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(BSTRToString(b.get()), QStringLiteral("one"));
    OwnedBstr c(StringToBSTR(QStringLiteral("two")));
    c = std::move(b);  // "two" goes now, "one" with c
    EXPECT_EQ(SysStringLiveCount(), bstrs + 1);
    *c.out() = StringToBSTR(QStringLiteral("three"));  // out() frees "one" first
    EXPECT_EQ(SysStringLiveCount(), bstrs + 1);
    BSTR kept = c.release();
    EXPECT_FALSE(c);
    SysFreeString(kept);

    OwnedTaskMem<OLECHAR> text(CoTaskMemDupString(QStringLiteral("held")));
    OwnedTaskMem<OLECHAR> moved = std::move(text);
    EXPECT_EQ(OleStrToString(moved.get()), QStringLiteral("held"));
  }
  EXPECT_EQ(SysStringLiveCount(), bstrs);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}
