// VARIANT ownership, conversions, OleVariant and calls through IDispatch.
#include <gtest/gtest.h>

#include "platform/com/Dispatch.h"
#include "tests/platform/com/ComTestObjects.h"

namespace {

// Checks that a block leaves no BSTR, task memory or probe object behind.
class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bstrs_ = SysStringLiveCount();
    probes_ = Probe::live;
  }
  void TearDown() override {
    EXPECT_EQ(SysStringLiveCount(), bstrs_);
    EXPECT_EQ(Probe::live, probes_);
  }

 private:
  long bstrs_ = 0;
  int probes_ = 0;
};

VARIANT bstrVariant(const String& s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = StringToBSTR(s);
  return v;
}

HRESULT changeTo(const VARIANT& src, VARTYPE vt, OleVariant& out, USHORT flags = 0) {
  return VariantChangeType(&out, &src, flags, vt);
}

}  // namespace

// ---------------------------------------------------------------- VARIANT functions

TEST_F(VariantTest, CopyDuplicatesStringsAndClearFreesThem) {
  VARIANT a = bstrVariant("hello");
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_NE(b.bstrVal, a.bstrVal);
  EXPECT_EQ(BSTRToString(b.bstrVal), "hello");
  EXPECT_EQ(VariantCopy(&a, &a), S_OK);  // onto itself: nothing changes
  EXPECT_EQ(BSTRToString(a.bstrVal), "hello");

  // Copying over a string frees the string that was there.
  VARIANT other = bstrVariant("other");
  ASSERT_EQ(VariantCopy(&b, &other), S_OK);
  EXPECT_EQ(BSTRToString(b.bstrVal), "other");

  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(a.vt, VT_EMPTY);
  VariantClear(&b);
  VariantClear(&other);
}

TEST_F(VariantTest, CopyAndClearReferenceInterfaces) {
  ComPtr<IDispatch> disp = MakeCom<Probe>().As<IDispatch>();
  Probe* probe = static_cast<Probe*>(static_cast<IScripted*>(disp.Get()));
  VARIANT a;
  VariantInit(&a);
  a.vt = VT_DISPATCH;
  a.pdispVal = disp.Get();
  disp->AddRef();
  EXPECT_EQ(probe->RefCount(), 2u);
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(probe->RefCount(), 3u);
  VariantClear(&a);
  VariantClear(&b);
  EXPECT_EQ(probe->RefCount(), 1u);

  VARIANT unknown;
  VariantInit(&unknown);
  unknown.vt = VT_UNKNOWN;
  unknown.punkVal = nullptr;  // a null object copies and clears without harm
  ASSERT_EQ(VariantCopy(&b, &unknown), S_OK);
  EXPECT_EQ(VariantClear(&b), S_OK);
}

TEST_F(VariantTest, UnknownTypesAreRefused) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_I4;
  VARIANT dest = bstrVariant("kept");
  EXPECT_EQ(VariantCopy(&dest, &v), DISP_E_BADVARTYPE);
  EXPECT_EQ(BSTRToString(dest.bstrVal), "kept");  // a failed copy leaves the target alone
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  v.vt = VT_BYREF | VT_EMPTY;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  VariantClear(&dest);
}

TEST_F(VariantTest, ByReferenceCopiesTheReferenceAndCopyIndTheValue) {
  LONG number = 7;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &number;
  OleVariant shallow(ref);
  EXPECT_EQ(shallow.vt, VT_BYREF | VT_I4);
  EXPECT_EQ(shallow.plVal, &number);
  EXPECT_EQ(shallow.toInt(), 7);  // conversions look through the reference
  number = 8;
  EXPECT_EQ(shallow.toInt(), 8);

  OleVariant deep;
  ASSERT_EQ(VariantCopyInd(&deep, &ref), S_OK);
  EXPECT_EQ(deep.vt, VT_I4);
  EXPECT_EQ(deep.lVal, 8);

  // A reference to a variant holding a string gives an own copy of it.
  OleVariant target(QStringLiteral("inner"));
  VARIANT refVar;
  VariantInit(&refVar);
  refVar.vt = VT_BYREF | VT_VARIANT;
  refVar.pvarVal = &target;
  OleVariant copy;
  ASSERT_EQ(VariantCopyInd(&copy, &refVar), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, target.bstrVal);
  EXPECT_EQ(copy.toString(), "inner");
  OleVariant nullTarget = OleVariant::Null();
  refVar.pvarVal = &nullTarget;
  EXPECT_TRUE(OleVariant(refVar).isNull());
}

TEST_F(VariantTest, ChangeTypeFollowsThePlatformsCoercions) {
  OleVariant out;
  struct Case {
    const char* text;
    HRESULT hr;
    LONG value;
  };
  for (const Case& c : {Case{" 42 ", S_OK, 42}, Case{"-17", S_OK, -17}, Case{"&H1F", S_OK, 31},
                        Case{"3.5", S_OK, 4}, Case{"2.5", S_OK, 2},  // half to even
                        Case{"abc", DISP_E_TYPEMISMATCH, 0}, Case{"", DISP_E_TYPEMISMATCH, 0},
                        Case{"True", DISP_E_TYPEMISMATCH, 0}, Case{"3000000000", DISP_E_OVERFLOW, 0}}) {
    OleVariant s{String(c.text)};
    EXPECT_EQ(changeTo(s, VT_I4, out), c.hr) << c.text;
    if (c.hr == S_OK) {
      EXPECT_EQ(out.lVal, c.value) << c.text;
    }
  }

  EXPECT_EQ(changeTo(OleVariant(), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 0);
  EXPECT_EQ(changeTo(OleVariant::Null(), VT_I4, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(changeTo(OleVariant::Null(), VT_BSTR, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(changeTo(OleVariant(true), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, -1);
  EXPECT_EQ(changeTo(OleVariant(300), VT_UI1, out), DISP_E_OVERFLOW);
  EXPECT_EQ(changeTo(OleVariant(-1), VT_UI4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(changeTo(OleVariant(1e300), VT_R4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(changeTo(OleVariant::Error(DISP_E_PARAMNOTFOUND), VT_I4, out), DISP_E_TYPEMISMATCH);

  EXPECT_EQ(changeTo(OleVariant(true), VT_BSTR, out), S_OK);
  EXPECT_EQ(out.toString(), "-1");
  EXPECT_EQ(changeTo(OleVariant(true), VT_BSTR, out, VARIANT_ALPHABOOL), S_OK);
  EXPECT_EQ(out.toString(), "True");
  EXPECT_EQ(changeTo(OleVariant(" false "), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  EXPECT_EQ(changeTo(OleVariant("2"), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);

  // In place: the string goes, the number stays.
  OleVariant inPlace("12");
  ASSERT_EQ(VariantChangeType(&inPlace, &inPlace, 0, VT_I4), S_OK);
  EXPECT_EQ(inPlace.vt, VT_I4);
  EXPECT_EQ(inPlace.lVal, 12);
  // A failed change leaves the target untouched.
  OleVariant keep("keep");
  EXPECT_EQ(VariantChangeType(&keep, &keep, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(keep.toString(), "keep");
  EXPECT_EQ(VariantChangeType(&out, &keep, 0, VT_ARRAY | VT_I4), DISP_E_BADVARTYPE);
}

TEST_F(VariantTest, ObjectsConvertThroughTheirDefaultValue) {
  OleVariant obj(MakeCom<Probe>().As<IDispatch>().Get());
  EXPECT_EQ(obj.toInt(), 42);
  EXPECT_EQ(obj.toString(), "42");
  OleVariant out;
  EXPECT_EQ(VariantChangeType(&out, &obj, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_THROW(OleVariant(static_cast<IDispatch*>(nullptr)).toInt(), EVariantTypeCastError);
}

// ---------------------------------------------------------------- OleVariant

TEST_F(VariantTest, OleVariantOwnsItsValue) {
  OleVariant a(QStringLiteral("text"));
  OleVariant b = a;
  EXPECT_NE(a.bstrVal, b.bstrVal);
  OleVariant c = std::move(b);
  EXPECT_TRUE(b.isEmpty());
  EXPECT_EQ(c.toString(), "text");
  c = a;
  OleVariant& self = c;  // through a reference, so compilers see no slip
  c = self;
  EXPECT_EQ(c.toString(), "text");
  c = OleVariant(5);
  EXPECT_EQ(c.type(), VT_I4);

  VARIANT raw;
  VariantInit(&raw);
  ASSERT_EQ(a.Detach(&raw), S_OK);
  EXPECT_TRUE(a.isEmpty());
  EXPECT_EQ(raw.vt, VT_BSTR);
  OleVariant back;
  back.Attach(&raw);
  EXPECT_EQ(raw.vt, VT_EMPTY);
  EXPECT_EQ(back.toString(), "text");
  back.clear();
  EXPECT_TRUE(back.isEmpty());
}

TEST_F(VariantTest, OleVariantConversions) {
  EXPECT_EQ(OleVariant(" 123 ").toInt(), 123);
  EXPECT_EQ(OleVariant(7.5).toInt(), 8);
  EXPECT_EQ(OleVariant(true).toInt(), -1);
  EXPECT_EQ(OleVariant(Int64(1) << 40).toInt64(), Int64(1) << 40);
  EXPECT_EQ(OleVariant(3u).toDouble(), 3.0);
  EXPECT_TRUE(OleVariant("TRUE").toBool());
  EXPECT_FALSE(OleVariant("0").toBool());
  EXPECT_FALSE(OleVariant().toBool());
  EXPECT_EQ(OleVariant(false).toString(), "False");
  EXPECT_EQ(OleVariant(-5).toString(), "-5");
  EXPECT_EQ(OleVariant(u"wide").toString(), "wide");
  EXPECT_EQ(OleVariant().toString(), "");
  EXPECT_EQ(OleVariant().toInt(), 0);
  EXPECT_TRUE(OleVariant::Null().isNull());
  EXPECT_FALSE(OleVariant::Null().isEmpty());
  EXPECT_EQ(OleVariant::Error(DISP_E_PARAMNOTFOUND).scode, DISP_E_PARAMNOTFOUND);

  EXPECT_EQ(VarToStr(OleVariant::Null()), "");
  EXPECT_EQ(VarToStr(OleVariant(12)), "12");
}

TEST_F(VariantTest, ImpossibleConversionsRaise) {
  try {
    OleVariant::Null().toInt();
    FAIL() << "no exception";
  } catch (const EVariantTypeCastError& e) {
    EXPECT_EQ(e.Message, "Could not convert variant of type (Null) into type (Integer)");
    EXPECT_EQ(e.ClassName(), "EVariantTypeCastError");
  }
  EXPECT_THROW(OleVariant::Null().toString(), EVariantTypeCastError);
  EXPECT_THROW(OleVariant("twelve").toDouble(), EVariantTypeCastError);
  EXPECT_THROW(OleVariant("maybe").toBool(), EVariantTypeCastError);
  EXPECT_THROW(OleVariant("99999999999").toInt(), EVariantOverflowError);
  EXPECT_THROW(OleVariant(5).toDispatch(), EVariantTypeCastError);
  // Both derive from the common variant error.
  EXPECT_THROW(OleVariant(1e20).toInt(), EVariantError);
}

TEST_F(VariantTest, InterfacesInOleVariants) {
  ComPtr<Probe> probe = MakeCom<Probe>();
  {
    OleVariant v(static_cast<IUnknown*>(static_cast<ICounter*>(probe.Get())));
    EXPECT_EQ(v.type(), VT_UNKNOWN);
    EXPECT_EQ(probe->RefCount(), 2u);
    ComPtr<IDispatch> disp = v.toDispatch();  // asked through QueryInterface
    ASSERT_TRUE(disp);
    EXPECT_TRUE(IsSameObject(disp.Get(), v.toUnknown().Get()));
    OleVariant copy = v;
    EXPECT_EQ(probe->RefCount(), 4u);
  }
  EXPECT_EQ(probe->RefCount(), 1u);
  EXPECT_FALSE(OleVariant().toDispatch());
}

// ---------------------------------------------------------------- IDispatch

TEST_F(VariantTest, InvokePassesArgumentsInReverseOrder) {
  ComPtr<Probe> probe = MakeCom<Probe>();
  ComPtr<IDispatch> disp = probe.As<IDispatch>();
  OleVariant result;
  ASSERT_EQ(DispatchInvoke(disp.Get(), 1, DISPATCH_METHOD, {1, "20", 300.0}, &result), S_OK);
  EXPECT_EQ(result.toInt(), 321);
  ASSERT_EQ(probe->lastArgs.size(), 3u);
  EXPECT_EQ(probe->lastArgs[0].type(), VT_R8);  // the last argument comes first
  EXPECT_EQ(probe->lastArgs[1].type(), VT_BSTR);
  EXPECT_EQ(probe->lastArgs[2].type(), VT_I4);
  EXPECT_TRUE(probe->lastNamedArgs.empty());

  EXPECT_EQ(DispatchInvoke(disp.Get(), 99, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(DispatchInvoke(nullptr, 1, DISPATCH_METHOD), E_POINTER);
  probe->lastArgs.clear();
}

TEST_F(VariantTest, PropertyPutNamesItsValueAndGetReadsIt) {
  ComPtr<Probe> probe = MakeCom<Probe>();
  ComPtr<IDispatch> disp = probe.As<IDispatch>();
  DISPID text = 0;
  ASSERT_EQ(DispatchGetIDOfName(disp.Get(), "text", text), S_OK);
  EXPECT_EQ(text, 2);
  DISPID none = 0;
  EXPECT_EQ(DispatchGetIDOfName(disp.Get(), "Nothing", none), DISP_E_UNKNOWNNAME);

  ASSERT_EQ(DispatchPutProperty(disp.Get(), text, OleVariant("set")), S_OK);
  EXPECT_EQ(probe->lastNamedArgs, std::vector<DISPID>{DISPID_PROPERTYPUT});
  EXPECT_EQ(probe->text, "set");
  OleVariant value(1);  // replaced by the answer
  ASSERT_EQ(DispatchGetProperty(disp.Get(), text, value), S_OK);
  EXPECT_EQ(value.toString(), "set");
  probe->lastArgs.clear();
}

TEST_F(VariantTest, ExceptionInformationReachesTheCallerWithoutLeaks) {
  ComPtr<IDispatch> disp = MakeCom<Probe>().As<IDispatch>();
  EXCEPINFO info;
  EXPECT_EQ(DispatchInvoke(disp.Get(), 3, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.wCode, 1001);
  EXPECT_EQ(BSTRToString(info.bstrSource), "Probe");
  EXPECT_EQ(BSTRToString(info.bstrDescription), "it failed");
  ClearExcepInfo(&info);
  EXPECT_EQ(info.bstrSource, nullptr);

  // Without a caller's block the strings are freed here (the fixture checks).
  EXPECT_EQ(DispatchInvoke(disp.Get(), 3, DISPATCH_METHOD), DISP_E_EXCEPTION);

  // A deferred fill-in runs before the caller sees the block.
  EXPECT_EQ(DispatchInvoke(disp.Get(), 4, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_ABORT);
  EXPECT_EQ(BSTRToString(info.bstrDescription), "filled in later");
  EXPECT_EQ(info.pfnDeferredFillIn, nullptr);
  ClearExcepInfo(&info);
}
