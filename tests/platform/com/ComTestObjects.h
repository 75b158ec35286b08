#pragma once
// Interfaces and objects the COM tests share.
#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

#include <vector>

struct ICounter : IUnknown {
  virtual int Next() = 0;
};
NOCTIVANE_DECLARE_IID(ICounter, IUnknown, "{6F1C2A10-3B4D-4E5F-8091-A2B3C4D5E6F7}")

// A dual interface: derives from IDispatch.
struct IScripted : IDispatch {
  virtual HRESULT GetText(BSTR* text) = 0;
};
NOCTIVANE_DECLARE_IID(IScripted, IDispatch, "{6F1C2A11-3B4D-4E5F-8091-A2B3C4D5E6F7}")

// Counts its instances; answers ICounter and IScripted (and so IDispatch).
// Its dispatch members:
//   1 "Add"    method: sum of its integer arguments; records the arguments
//              as received (reverse order) in lastArgs
//   2 "Text"   property get/put of a string
//   3 "Fail"   method: raises DISP_E_EXCEPTION with a description
//   4 "Defer"  method: raises DISP_E_EXCEPTION with a deferred fill-in
//   DISPID_VALUE property get: the string "42"
class Probe : public ComObject<ICounter, IScripted> {
 public:
  static inline int live = 0;
  static inline int destroyed = 0;

  Probe() { ++live; }

  int Next() override { return ++counter; }
  HRESULT GetText(BSTR* out) override {
    *out = StringToBSTR(text);
    return S_OK;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const char* const kNames[] = {"Add", "Text", "Fail", "Defer"};
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (int k = 0; k < 4; ++k)
        if (SameText(OleStrToString(names[i]), QLatin1String(kNames[k]))) ids[i] = k + 1;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                 UINT*) override {
    lastNamedArgs.assign(params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
    lastArgs.clear();
    for (UINT i = 0; i < params->cArgs; ++i) lastArgs.emplace_back(params->rgvarg[i]);
    switch (id) {
      case 1: {
        int sum = 0;
        for (const OleVariant& a : lastArgs) sum += a.toInt();
        if (result) OleVariant(sum).Detach(result);
        return S_OK;
      }
      case 2:
        if (flags & DISPATCH_PROPERTYPUT) {
          if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
          text = lastArgs.at(0).toString();
          return S_OK;
        }
        if (result) OleVariant(text).Detach(result);
        return S_OK;
      case 3:
        if (info) {
          info->wCode = 1001;
          info->bstrSource = StringToBSTR(QStringLiteral("Probe"));
          info->bstrDescription = StringToBSTR(QStringLiteral("it failed"));
        }
        return DISP_E_EXCEPTION;
      case 4:
        if (info) info->pfnDeferredFillIn = &fillIn;
        return DISP_E_EXCEPTION;
      case DISPID_VALUE:
        if (result) OleVariant(QStringLiteral("42")).Detach(result);
        return S_OK;
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

  int counter = 0;
  String text;
  std::vector<OleVariant> lastArgs;
  std::vector<DISPID> lastNamedArgs;

 protected:
  ~Probe() override {
    --live;
    ++destroyed;
  }

 private:
  static HRESULT fillIn(EXCEPINFO* info) {
    info->scode = E_ABORT;
    info->bstrDescription = StringToBSTR(QStringLiteral("filled in later"));
    return S_OK;
  }
};
