#include "platform/com/Dispatch.h"

HRESULT DispatchInvoke(IDispatch* disp, DISPID id, WORD flags, const std::vector<OleVariant>& args,
                       OleVariant* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!disp) return E_POINTER;
  // Shallow copies: the arguments stay owned by `args`, which outlives the call.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {reversed.data(), nullptr, UINT(reversed.size()), 0};
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && !reversed.empty()) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO local{};
  EXCEPINFO* info = excepInfo ? excepInfo : &local;
  *info = EXCEPINFO{};
  UINT localArgErr = 0;
  const HRESULT hr =
      disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                   result ? result->ClearAndGetAddressOf() : nullptr, info, argErr ? argErr : &localArgErr);
  if (hr == DISP_E_EXCEPTION && info->pfnDeferredFillIn) {
    info->pfnDeferredFillIn(info);
    info->pfnDeferredFillIn = nullptr;
  }
  ClearExcepInfo(&local);
  return hr;
}

HRESULT DispatchGetProperty(IDispatch* disp, DISPID id, OleVariant& value) {
  return DispatchInvoke(disp, id, DISPATCH_PROPERTYGET, {}, &value);
}

HRESULT DispatchPutProperty(IDispatch* disp, DISPID id, const OleVariant& value) {
  return DispatchInvoke(disp, id, DISPATCH_PROPERTYPUT, {value});
}

HRESULT DispatchGetIDOfName(IDispatch* disp, const String& name, DISPID& id) {
  if (!disp) return E_POINTER;
  String copy = name;  // GetIDsOfNames takes non-const names
  LPOLESTR names[1] = {reinterpret_cast<LPOLESTR>(copy.data())};
  return disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}
