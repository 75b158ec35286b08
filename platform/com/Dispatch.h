#pragma once
// Calls through IDispatch without building DISPPARAMS by hand.
#include "platform/com/Variant.h"

#include <vector>

// Invokes member `id` of `disp`. `args` are in their natural order; they are
// handed over in the reverse order Invoke expects. For a property put (or
// put by reference) the last argument is the value and is named
// DISPID_PROPERTYPUT. `result` (may be null) receives the answer. When
// `excepInfo` is given the caller owns its strings afterwards (ClearExcepInfo);
// otherwise they are freed here.
HRESULT DispatchInvoke(IDispatch* disp, DISPID id, WORD flags, const std::vector<OleVariant>& args = {},
                       OleVariant* result = nullptr, EXCEPINFO* excepInfo = nullptr, UINT* argErr = nullptr);
HRESULT DispatchGetProperty(IDispatch* disp, DISPID id, OleVariant& value);
HRESULT DispatchPutProperty(IDispatch* disp, DISPID id, const OleVariant& value);
// The dispatch id of a member by name (GetIDsOfNames with one name).
HRESULT DispatchGetIDOfName(IDispatch* disp, const String& name, DISPID& id);
