#include "platform/com/TableDispatch.h"

namespace comdisp {

HRESULT NoTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT NoTypeInfo(ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return E_NOTIMPL;
}

UINT ArgCount(const DISPPARAMS* params) { return params ? params->cArgs - params->cNamedArgs : 0; }

VARIANT* ArgRef(const DISPPARAMS* params, UINT i) {
  // Invoke gets the arguments last first, after the named ones.
  return i < ArgCount(params) ? &params->rgvarg[params->cArgs - 1 - i] : nullptr;
}

OleVariant Arg(const DISPPARAMS* params, UINT i) {
  OleVariant value;
  if (VARIANT* given = ArgRef(params, i)) VariantCopyInd(&value, given);
  return value;
}

String TextOf(const VARIANT& v) {
  OleVariant value;
  if (FAILED(VariantCopyInd(&value, &v))) return String();
  if (value.vt != VT_BSTR && FAILED(VariantChangeType(&value, &value, VARIANT_ALPHABOOL, VT_BSTR)))
    return String();
  return BSTRToString(value.bstrVal);
}

String ArgText(const DISPPARAMS* params, UINT i) { return TextOf(Arg(params, i)); }

String PutText(const DISPPARAMS* params) {
  // The value is the last argument, which Invoke gets first.
  return params && params->cArgs >= 1 ? TextOf(params->rgvarg[0]) : String();
}

LONG ArgLong(const DISPPARAMS* params, UINT i, LONG absent) {
  OleVariant value = Arg(params, i);
  if (value.isEmpty() || FAILED(VariantChangeType(&value, &value, 0, VT_I4))) return absent;
  return value.lVal;
}

ComPtr<IDispatch> ArgObject(const DISPPARAMS* params, UINT i) {
  const OleVariant value = Arg(params, i);
  if (value.vt == VT_DISPATCH) return ComPtr<IDispatch>(value.pdispVal);
  if (value.vt == VT_UNKNOWN && value.punkVal) return ComPtr<IUnknown>(value.punkVal).As<IDispatch>();
  return nullptr;
}

void SetResult(VARIANT* result, BSTR value) {
  if (!result) {
    SysFreeString(value);
    return;
  }
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = value;
}

void SetResult(VARIANT* result, LONG value) {
  if (!result) return;
  VariantInit(result);
  result->vt = VT_I4;
  result->lVal = value;
}

void SetResult(VARIANT* result, VARIANT_BOOL value) {
  if (!result) return;
  VariantInit(result);
  result->vt = VT_BOOL;
  result->boolVal = value;
}

void SetResult(VARIANT* result, VARIANT value) {
  if (!result) {
    VariantClear(&value);
    return;
  }
  *result = value;
}

}  // namespace comdisp
