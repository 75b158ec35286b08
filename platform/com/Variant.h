#pragma once
// VARIANT, IDispatch and their parameter blocks, the variant functions of the
// platform (initialize, clear, copy, change type) and OleVariant, the value
// class over VARIANT.
#include "platform/com/Com.h"

// ---------------------------------------------------------------- VARIANT

using VARTYPE = USHORT;
using VARIANT_BOOL = SHORT;
using DATE = double;  // days since 1899-12-30, like TDateTime

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct IDispatch;

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;        // VT_I8
    ULONGLONG ullVal;      // VT_UI8
    LONG lVal;             // VT_I4
    BYTE bVal;             // VT_UI1
    SHORT iVal;            // VT_I2
    float fltVal;          // VT_R4
    double dblVal;         // VT_R8
    VARIANT_BOOL boolVal;  // VT_BOOL
    SCODE scode;           // VT_ERROR
    DATE date;             // VT_DATE
    BSTR bstrVal;          // VT_BSTR
    IUnknown* punkVal;     // VT_UNKNOWN
    IDispatch* pdispVal;   // VT_DISPATCH
    signed char cVal;      // VT_I1
    USHORT uiVal;          // VT_UI2
    ULONG ulVal;           // VT_UI4
    INT intVal;            // VT_INT
    UINT uintVal;          // VT_UINT
    // VT_BYREF | type
    LONGLONG* pllVal;
    ULONGLONG* pullVal;
    LONG* plVal;
    BYTE* pbVal;
    SHORT* piVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    VARIANT* pvarVal;
    signed char* pcVal;
    USHORT* puiVal;
    ULONG* pulVal;
    INT* pintVal;
    UINT* puintVal;
    void* byref;
  };
};
using VARIANTARG = VARIANT;

// Flags of VariantChangeType.
enum : USHORT {
  VARIANT_NOVALUEPROP = 0x1,  // do not ask an object for its default value
  VARIANT_ALPHABOOL = 0x2,    // Booleans become "True"/"False" rather than "-1"/"0"
};

void VariantInit(VARIANT* v);
// Frees what the variant owns (string, interface reference) and leaves it
// empty. DISP_E_BADVARTYPE for a type this layer does not know.
HRESULT VariantClear(VARIANT* v);
// Clears `dest` and copies `src` into it: strings are duplicated, interfaces
// get a reference; a by-reference variant copies the reference.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// As VariantCopy, but a by-reference source gives its referenced value.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// Converts `src` to type `vt` into `dest` (which may be `src`). Numbers,
// Booleans, dates and numeric strings convert among each other; an object
// converts through its default value (DISPID_VALUE). DISP_E_TYPEMISMATCH when
// no conversion exists (Null to anything but Null, for instance),
// DISP_E_OVERFLOW when the value does not fit.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);

// ---------------------------------------------------------------- IDispatch

struct ITypeInfo : IUnknown {};  // type information is not provided
NOCTIVANE_DECLARE_IID(ITypeInfo, IUnknown, "{00020401-0000-0000-C000-000000000046}")

// Arguments of Invoke: rgvarg holds the arguments in reverse order (the last
// argument first); the first cNamedArgs of them are named by rgdispidNamedArgs.
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};
// Frees the strings of `info` and zeroes it.
void ClearExcepInfo(EXCEPINFO* info);

enum : WORD {
  DISPATCH_METHOD = 0x1,
  DISPATCH_PROPERTYGET = 0x2,
  DISPATCH_PROPERTYPUT = 0x4,
  DISPATCH_PROPERTYPUTREF = 0x8,
};

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_EVALUATE = -5;

inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};
NOCTIVANE_DECLARE_IID(IDispatch, IUnknown, "{00020400-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- OleVariant

NOCTIVANE_DECLARE_EXCEPTION(EVariantError, Exception)
NOCTIVANE_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError)
NOCTIVANE_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError)

// A VARIANT that owns its value: copies duplicate it, destruction clears it.
// Being a VARIANT, its address serves where a VARIANT* is asked for. The
// conversions raise EVariantTypeCastError (no conversion exists) or
// EVariantOverflowError (the value does not fit).
class OleVariant : public VARIANT {
 public:
  OleVariant() noexcept { VariantInit(this); }
  OleVariant(bool value) noexcept;
  OleVariant(int value) noexcept;
  OleVariant(unsigned value) noexcept;
  OleVariant(Int64 value) noexcept;  // VT_I8
  OleVariant(double value) noexcept;
  OleVariant(const String& value);
  OleVariant(const char* value) : OleVariant(String::fromUtf8(value)) {}
  OleVariant(const char16_t* value) : OleVariant(String::fromUtf16(value)) {}
  // Adds a reference to a non-null interface.
  OleVariant(IDispatch* value) noexcept;
  OleVariant(IUnknown* value) noexcept;
  // A copy of `value` (strings duplicated, interfaces referenced).
  explicit OleVariant(const VARIANT& value);
  OleVariant(const OleVariant& other);
  OleVariant(OleVariant&& other) noexcept;
  ~OleVariant() { VariantClear(this); }
  OleVariant& operator=(const OleVariant& other);
  OleVariant& operator=(OleVariant&& other) noexcept;

  static OleVariant Null();
  // A VT_ERROR value; DISP_E_PARAMNOTFOUND marks an omitted optional argument.
  static OleVariant Error(SCODE code);

  VARTYPE type() const { return vt; }
  bool isEmpty() const;  // VT_EMPTY, also through a reference
  bool isNull() const;   // VT_NULL, also through a reference
  void clear() { VariantClear(this); }

  int toInt() const;
  Int64 toInt64() const;
  double toDouble() const;
  bool toBool() const;
  String toString() const;  // Booleans as "True"/"False"
  // The interface of an object variant (an unknown is asked for IDispatch);
  // null for an empty variant or a null object.
  ComPtr<IDispatch> toDispatch() const;
  ComPtr<IUnknown> toUnknown() const;

  // Moves the value into `dest` (which is cleared first) and leaves this
  // variant empty.
  HRESULT Detach(VARIANT* dest);
  // Takes the value of `src` and leaves `src` empty.
  void Attach(VARIANT* src);
  // Clears the variant and answers its address, for an out-parameter.
  VARIANT* ClearAndGetAddressOf();

 private:
  // Converts to `target` or raises.
  OleVariant converted(VARTYPE target) const;
};

// The text of a variant; empty for Null and Empty.
String VarToStr(const VARIANT& value);
// The name of a variant type, as the conversion errors give it ("Integer", "OleStr").
String VarTypeAsText(VARTYPE vt);
