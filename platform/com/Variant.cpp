#include "platform/com/Variant.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Size of the value of a plain type, 0 for types without a value, -1 for
// types this layer does not handle (currency, decimal, arrays, ...).
int valueSize(VARTYPE t) {
  switch (t) {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_DATE: return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN: return int(sizeof(void*));
    default: return -1;
  }
}

bool isKnownType(VARTYPE vt) {
  if (vt & VT_BYREF) {
    const VARTYPE base = vt & ~VT_BYREF;
    return base == VT_VARIANT || valueSize(base) > 0;
  }
  return valueSize(vt) >= 0;
}

bool isInteger(VARTYPE t) {
  switch (t) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: return true;
    default: return false;
  }
}

// The value of an integer variant; UI8 values above the Int64 range overflow.
HRESULT integerValue(const VARIANT& v, Int64& out) {
  switch (v.vt) {
    case VT_I1: out = v.cVal; break;
    case VT_UI1: out = v.bVal; break;
    case VT_I2: out = v.iVal; break;
    case VT_UI2: out = v.uiVal; break;
    case VT_I4: out = v.lVal; break;
    case VT_UI4: out = v.ulVal; break;
    case VT_INT: out = v.intVal; break;
    case VT_UINT: out = v.uintVal; break;
    case VT_I8: out = v.llVal; break;
    case VT_UI8:
      if (v.ullVal > ULONGLONG(std::numeric_limits<Int64>::max())) return DISP_E_OVERFLOW;
      out = Int64(v.ullVal);
      break;
    default: return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

// Rounds half to even, as the platform's conversions do.
HRESULT roundToInt64(double d, Int64& out) {
  if (!std::isfinite(d)) return DISP_E_OVERFLOW;
  const double r = std::nearbyint(d);
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return DISP_E_OVERFLOW;
  out = Int64(r);
  return S_OK;
}

// Integers of a text: decimal, "&H" hexadecimal, or what StrToInt64 accepts.
bool textToInt64(const String& t, Int64& out) {
  if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
    bool ok = false;
    const qulonglong v = t.mid(2).toULongLong(&ok, 16);
    if (!ok) return false;
    out = Int64(v);
    return true;
  }
  return TryStrToInt64(t, out);
}

HRESULT textToDouble(const String& text, double& out) {
  const String t = Trim(text);
  if (t.isEmpty()) return DISP_E_TYPEMISMATCH;
  Int64 i;
  if (textToInt64(t, i)) {
    out = double(i);
    return S_OK;
  }
  if (TryStrToFloat(t, out) && std::isfinite(out)) return S_OK;
  return DISP_E_TYPEMISMATCH;
}

String bstrText(const VARIANT& v) { return BSTRToString(v.bstrVal); }

// The conversions below work on a variant that is not by reference and not an
// object (objects are replaced by their default value first).

HRESULT toInt64(const VARIANT& v, Int64& out) {
  if (isInteger(v.vt)) return integerValue(v, out);
  switch (v.vt) {
    case VT_EMPTY: out = 0; return S_OK;
    case VT_BOOL: out = v.boolVal ? -1 : 0; return S_OK;
    case VT_R4: return roundToInt64(v.fltVal, out);
    case VT_R8: return roundToInt64(v.dblVal, out);
    case VT_DATE: return roundToInt64(v.date, out);
    case VT_BSTR: {
      const String t = Trim(bstrText(v));
      if (textToInt64(t, out)) return S_OK;
      double d;
      const HRESULT hr = textToDouble(t, d);
      return FAILED(hr) ? hr : roundToInt64(d, out);
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT toDouble(const VARIANT& v, double& out) {
  if (isInteger(v.vt)) {
    if (v.vt == VT_UI8) {
      out = double(v.ullVal);
      return S_OK;
    }
    Int64 i = 0;
    const HRESULT hr = integerValue(v, i);
    out = double(i);
    return hr;
  }
  switch (v.vt) {
    case VT_EMPTY: out = 0; return S_OK;
    case VT_BOOL: out = v.boolVal ? -1 : 0; return S_OK;
    case VT_R4: out = v.fltVal; return S_OK;
    case VT_R8: out = v.dblVal; return S_OK;
    case VT_DATE: out = v.date; return S_OK;
    case VT_BSTR: return textToDouble(bstrText(v), out);
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT toBool(const VARIANT& v, bool& out) {
  if (v.vt == VT_BOOL) {
    out = v.boolVal != 0;
    return S_OK;
  }
  if (v.vt == VT_BSTR) {
    const String t = Trim(bstrText(v));
    if (SameText(t, QStringLiteral("True"))) {
      out = true;
      return S_OK;
    }
    if (SameText(t, QStringLiteral("False"))) {
      out = false;
      return S_OK;
    }
  }
  double d = 0;
  const HRESULT hr = toDouble(v, d);
  out = d != 0;
  return hr;
}

HRESULT toText(const VARIANT& v, bool alphaBool, String& out) {
  if (isInteger(v.vt)) {
    if (v.vt == VT_UI8) {
      out = String::number(v.ullVal);
      return S_OK;
    }
    Int64 i = 0;
    const HRESULT hr = integerValue(v, i);
    out = IntToStr(i);
    return hr;
  }
  switch (v.vt) {
    case VT_EMPTY: out.clear(); return S_OK;
    case VT_BOOL:
      out = alphaBool ? (v.boolVal ? QStringLiteral("True") : QStringLiteral("False"))
                      : (v.boolVal ? QStringLiteral("-1") : QStringLiteral("0"));
      return S_OK;
    case VT_R4: out = FloatToStr(v.fltVal); return S_OK;
    case VT_R8: out = FloatToStr(v.dblVal); return S_OK;
    case VT_DATE: out = DateTimeToStr(v.date); return S_OK;
    case VT_BSTR: out = bstrText(v); return S_OK;
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT checkRange(Int64 value, VARTYPE target) {
  Int64 lo = std::numeric_limits<Int64>::min(), hi = std::numeric_limits<Int64>::max();
  switch (target) {
    case VT_I1:
      lo = -128;
      hi = 127;
      break;
    case VT_UI1:
      lo = 0;
      hi = 255;
      break;
    case VT_I2:
      lo = -32768;
      hi = 32767;
      break;
    case VT_UI2:
      lo = 0;
      hi = 65535;
      break;
    case VT_I4:
    case VT_INT:
      lo = std::numeric_limits<std::int32_t>::min();
      hi = std::numeric_limits<std::int32_t>::max();
      break;
    case VT_UI4:
    case VT_UINT:
      lo = 0;
      hi = std::numeric_limits<std::uint32_t>::max();
      break;
    case VT_UI8: lo = 0; break;
    default: break;
  }
  return value < lo || value > hi ? DISP_E_OVERFLOW : S_OK;
}

void storeInteger(VARIANT& out, Int64 value) {
  switch (out.vt) {
    case VT_I1: out.cVal = static_cast<signed char>(value); break;
    case VT_UI1: out.bVal = BYTE(value); break;
    case VT_I2: out.iVal = SHORT(value); break;
    case VT_UI2: out.uiVal = USHORT(value); break;
    case VT_I4: out.lVal = LONG(value); break;
    case VT_UI4: out.ulVal = ULONG(value); break;
    case VT_INT: out.intVal = INT(value); break;
    case VT_UINT: out.uintVal = UINT(value); break;
    case VT_I8: out.llVal = value; break;
    case VT_UI8: out.ullVal = ULONGLONG(value); break;
    default: break;
  }
}

// The default value (DISPID_VALUE) of an object, which must not be an object again.
HRESULT defaultValue(IDispatch* disp, OleVariant& out) {
  if (!disp) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  const HRESULT hr = disp->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                  out.ClearAndGetAddressOf(), nullptr, nullptr);
  if (FAILED(hr) || out.vt == VT_DISPATCH || out.vt == VT_UNKNOWN || (out.vt & VT_BYREF))
    return DISP_E_TYPEMISMATCH;
  return S_OK;
}

// Converts the plain (not by reference) variant `in` into `out`, whose vt is
// already the target type.
HRESULT convert(OleVariant& in, USHORT flags, VARIANT& out) {
  const VARTYPE target = out.vt;
  if (in.vt == target) return in.Detach(&out);

  if (target == VT_UNKNOWN) {
    if (in.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    out.punkVal = in.pdispVal;
    VariantInit(&in);  // the reference moves over
    return S_OK;
  }
  if (target == VT_DISPATCH) {
    if (in.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    out.pdispVal = nullptr;
    if (!in.punkVal) return S_OK;
    return FAILED(in.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out.pdispVal)))
               ? DISP_E_TYPEMISMATCH
               : S_OK;
  }
  if (target == VT_EMPTY) return S_OK;
  if (target == VT_NULL || target == VT_ERROR) return DISP_E_TYPEMISMATCH;

  if (in.vt == VT_DISPATCH || in.vt == VT_UNKNOWN) {
    if (in.vt == VT_UNKNOWN || (flags & VARIANT_NOVALUEPROP)) return DISP_E_TYPEMISMATCH;
    OleVariant value;
    const HRESULT hr = defaultValue(in.pdispVal, value);
    if (FAILED(hr)) return hr;
    return convert(value, flags, out);
  }

  if (isInteger(target)) {
    Int64 i = 0;
    HRESULT hr = toInt64(in, i);
    if (SUCCEEDED(hr)) hr = checkRange(i, target);
    if (SUCCEEDED(hr)) storeInteger(out, i);
    return hr;
  }
  switch (target) {
    case VT_R4:
    case VT_R8:
    case VT_DATE: {
      double d = 0;
      const HRESULT hr = toDouble(in, d);
      if (FAILED(hr)) return hr;
      if (target == VT_R4) {
        if (std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
        out.fltVal = float(d);
      } else {
        out.dblVal = d;  // dblVal and date share their storage
      }
      return S_OK;
    }
    case VT_BOOL: {
      bool b = false;
      const HRESULT hr = toBool(in, b);
      out.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      return hr;
    }
    case VT_BSTR: {
      String text;
      const HRESULT hr = toText(in, flags & VARIANT_ALPHABOOL, text);
      if (FAILED(hr)) return hr;
      out.bstrVal = StringToBSTR(text);
      return out.bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    default: return DISP_E_BADVARTYPE;
  }
}

// The type a by-reference variant refers to, for messages.
VARTYPE effectiveType(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return effectiveType(*v.pvarVal);
  return v.vt & ~VT_BYREF;
}

}  // namespace

// ---------------------------------------------------------------- variant functions

void VariantInit(VARIANT* v) {
  if (!v) return;
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (!isKnownType(v->vt)) return DISP_E_BADVARTYPE;
  switch (v->vt) {
    case VT_BSTR: SysFreeString(v->bstrVal); break;
    case VT_DISPATCH:
      if (v->pdispVal) v->pdispVal->Release();
      break;
    case VT_UNKNOWN:
      if (v->punkVal) v->punkVal->Release();
      break;
    default: break;
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  if (!isKnownType(src->vt)) return DISP_E_BADVARTYPE;
  // Copy first, so a failure leaves `dest` as it was.
  VARIANT copy = *src;
  if (src->vt == VT_BSTR && src->bstrVal) {
    copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  } else if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal) {
    // pdispVal and punkVal share their storage; AddRef through the right type.
    if (src->vt == VT_DISPATCH)
      src->pdispVal->AddRef();
    else
      src->punkVal->AddRef();
  }
  const HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *dest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (!(src->vt & VT_BYREF)) return VariantCopy(dest, src);
  if (!isKnownType(src->vt)) return DISP_E_BADVARTYPE;
  if (!src->byref) return E_INVALIDARG;
  const VARTYPE base = src->vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    const VARIANT* inner = src->pvarVal;
    if (inner->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
    return VariantCopyInd(dest, inner);
  }
  // A non-owning plain variant over the referenced value; VariantCopy then
  // duplicates it.
  VARIANT value;
  VariantInit(&value);
  value.vt = base;
  std::memcpy(&value.llVal, src->byref, std::size_t(valueSize(base)));
  return VariantCopy(dest, &value);
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  if ((vt & (VT_BYREF | VT_ARRAY)) || !isKnownType(vt)) return DISP_E_BADVARTYPE;
  OleVariant in;
  HRESULT hr = VariantCopyInd(&in, src);
  if (FAILED(hr)) return hr;
  VARIANT out;
  VariantInit(&out);
  out.vt = vt;
  hr = convert(in, flags, out);
  if (FAILED(hr)) {
    out.vt = VT_EMPTY;  // nothing was stored that needs freeing
    return hr;
  }
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&out);
    return hr;
  }
  *dest = out;
  return S_OK;
}

void ClearExcepInfo(EXCEPINFO* info) {
  if (!info) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  std::memset(info, 0, sizeof *info);
}

String VarTypeAsText(VARTYPE vt) {
  switch (vt & ~VT_BYREF) {
    case VT_EMPTY: return QStringLiteral("Empty");
    case VT_NULL: return QStringLiteral("Null");
    case VT_I2: return QStringLiteral("Smallint");
    case VT_I4: return QStringLiteral("Integer");
    case VT_R4: return QStringLiteral("Single");
    case VT_R8: return QStringLiteral("Double");
    case VT_CY: return QStringLiteral("Currency");
    case VT_DATE: return QStringLiteral("Date");
    case VT_BSTR: return QStringLiteral("OleStr");
    case VT_DISPATCH: return QStringLiteral("Dispatch");
    case VT_ERROR: return QStringLiteral("Error");
    case VT_BOOL: return QStringLiteral("Boolean");
    case VT_VARIANT: return QStringLiteral("Variant");
    case VT_UNKNOWN: return QStringLiteral("Unknown");
    case VT_DECIMAL: return QStringLiteral("Decimal");
    case VT_I1: return QStringLiteral("ShortInt");
    case VT_UI1: return QStringLiteral("Byte");
    case VT_UI2: return QStringLiteral("Word");
    case VT_UI4: return QStringLiteral("LongWord");
    case VT_I8: return QStringLiteral("Int64");
    case VT_UI8: return QStringLiteral("UInt64");
    case VT_INT: return QStringLiteral("Int");
    case VT_UINT: return QStringLiteral("UInt");
    default: return QStringLiteral("$%1").arg(vt, 4, 16, QLatin1Char('0')).toUpper();
  }
}

String VarToStr(const VARIANT& value) {
  const VARTYPE t = effectiveType(value);
  if (t == VT_EMPTY || t == VT_NULL) return String();
  return OleVariant(value).toString();
}

// ---------------------------------------------------------------- OleVariant

OleVariant::OleVariant(bool value) noexcept : OleVariant() {
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

OleVariant::OleVariant(int value) noexcept : OleVariant() {
  vt = VT_I4;
  lVal = value;
}

OleVariant::OleVariant(unsigned value) noexcept : OleVariant() {
  vt = VT_UI4;
  ulVal = value;
}

OleVariant::OleVariant(Int64 value) noexcept : OleVariant() {
  vt = VT_I8;
  llVal = value;
}

OleVariant::OleVariant(double value) noexcept : OleVariant() {
  vt = VT_R8;
  dblVal = value;
}

OleVariant::OleVariant(const String& value) : OleVariant() {
  bstrVal = StringToBSTR(value);
  if (!bstrVal) throw EOutOfResources(QStringLiteral("Out of memory"));
  vt = VT_BSTR;
}

OleVariant::OleVariant(IDispatch* value) noexcept : OleVariant() {
  vt = VT_DISPATCH;
  pdispVal = value;
  if (value) value->AddRef();
}

OleVariant::OleVariant(IUnknown* value) noexcept : OleVariant() {
  vt = VT_UNKNOWN;
  punkVal = value;
  if (value) value->AddRef();
}

OleVariant::OleVariant(const VARIANT& value) : OleVariant() {
  const HRESULT hr = VariantCopy(this, &value);
  if (FAILED(hr))
    throw EVariantError(QStringLiteral("Could not copy variant of type (%1)").arg(VarTypeAsText(value.vt)));
}

OleVariant::OleVariant(const OleVariant& other) : OleVariant(static_cast<const VARIANT&>(other)) {}

OleVariant::OleVariant(OleVariant&& other) noexcept : VARIANT(other) { VariantInit(&other); }

OleVariant& OleVariant::operator=(const OleVariant& other) {
  if (this != &other) {
    OleVariant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
  if (this != &other) {
    VariantClear(this);
    static_cast<VARIANT&>(*this) = other;
    VariantInit(&other);
  }
  return *this;
}

OleVariant OleVariant::Null() {
  OleVariant v;
  v.vt = VT_NULL;
  return v;
}

OleVariant OleVariant::Error(SCODE code) {
  OleVariant v;
  v.vt = VT_ERROR;
  v.scode = code;
  return v;
}

bool OleVariant::isEmpty() const { return effectiveType(*this) == VT_EMPTY; }
bool OleVariant::isNull() const { return effectiveType(*this) == VT_NULL; }

OleVariant OleVariant::converted(VARTYPE target) const {
  OleVariant out;
  const HRESULT hr = VariantChangeType(&out, this, VARIANT_ALPHABOOL, target);
  if (SUCCEEDED(hr)) return out;
  const String from = VarTypeAsText(effectiveType(*this));
  const String to = VarTypeAsText(target);
  if (hr == DISP_E_OVERFLOW)
    throw EVariantOverflowError(
        QStringLiteral("Overflow while converting variant of type (%1) into type (%2)").arg(from, to));
  if (hr == DISP_E_TYPEMISMATCH)
    throw EVariantTypeCastError(
        QStringLiteral("Could not convert variant of type (%1) into type (%2)").arg(from, to));
  throw EVariantError(QStringLiteral("Variant conversion from (%1) into (%2) failed (%3)")
                          .arg(from, to, IntToHex(Int64(std::uint32_t(hr)), 8)));
}

int OleVariant::toInt() const { return converted(VT_I4).lVal; }
Int64 OleVariant::toInt64() const { return converted(VT_I8).llVal; }
double OleVariant::toDouble() const { return converted(VT_R8).dblVal; }
bool OleVariant::toBool() const { return converted(VT_BOOL).boolVal != VARIANT_FALSE; }
String OleVariant::toString() const { return BSTRToString(converted(VT_BSTR).bstrVal); }

ComPtr<IDispatch> OleVariant::toDispatch() const {
  if (isEmpty()) return nullptr;
  OleVariant v = converted(VT_DISPATCH);
  ComPtr<IDispatch> out;
  out.Attach(v.pdispVal);
  VariantInit(&v);
  return out;
}

ComPtr<IUnknown> OleVariant::toUnknown() const {
  if (isEmpty()) return nullptr;
  OleVariant v = converted(VT_UNKNOWN);
  ComPtr<IUnknown> out;
  out.Attach(v.punkVal);
  VariantInit(&v);
  return out;
}

HRESULT OleVariant::Detach(VARIANT* dest) {
  if (!dest) return E_POINTER;
  if (dest == this) return S_OK;
  const HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) return hr;
  *dest = static_cast<const VARIANT&>(*this);
  VariantInit(this);
  return S_OK;
}

void OleVariant::Attach(VARIANT* src) {
  if (!src || src == this) return;
  VariantClear(this);
  static_cast<VARIANT&>(*this) = *src;
  VariantInit(src);
}

VARIANT* OleVariant::ClearAndGetAddressOf() {
  VariantClear(this);
  return this;
}
