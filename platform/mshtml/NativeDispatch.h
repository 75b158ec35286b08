#pragma once
// IDispatch by name for the objects of windowless documents: tables of
// members (names compared without case, as scripts of the engine do) and the
// adapter that makes a property getter of an interface into a member.
#include "platform/com/Variant.h"

#include <span>
#include <type_traits>

namespace nativedom {

// One member: its name, what calling it does, and its dispatch id
// (DISPID_UNKNOWN: the table's base plus the member's position).
template <class T>
struct DispMember {
  const char* name;
  HRESULT (*invoke)(T& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  DISPID id = DISPID_UNKNOWN;
};

template <class T>
struct DispTable {
  std::span<const DispMember<T>> members;
  DISPID base = 0;

  DISPID idAt(size_t i) const { return members[i].id != DISPID_UNKNOWN ? members[i].id : base + DISPID(i); }
  // DISPID_UNKNOWN when no member has that name.
  DISPID find(const String& name) const {
    for (size_t i = 0; i < members.size(); ++i)
      if (name.compare(QLatin1String(members[i].name), Qt::CaseInsensitive) == 0) return idAt(i);
    return DISPID_UNKNOWN;
  }
  const DispMember<T>* byId(DISPID id) const {
    for (size_t i = 0; i < members.size(); ++i)
      if (idAt(i) == id) return &members[i];
    return nullptr;
  }
};

// Answers GetIDsOfNames: the first name is the member, the others would be
// named arguments, which no member takes.
template <class Lookup>
HRESULT LookUpNames(LPOLESTR* names, UINT count, DISPID* ids, Lookup lookup) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = i == 0 ? lookup(OleStrToString(names[0])) : DISPID_UNKNOWN;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// Whether a call may read a property (a property get, or a method call as
// late binding makes for a read without arguments).
inline bool IsGet(WORD flags) { return flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD); }

// A value as text (a reference followed); empty when it has none.
String TextOf(const VARIANT& value);

// The positional arguments of a call, in their natural order.
UINT ArgCount(const DISPPARAMS* params);
// Argument `i`, a reference followed; empty when not given.
OleVariant Arg(const DISPPARAMS* params, UINT i);
// The argument as text; empty when not given or not convertible.
String ArgText(const DISPPARAMS* params, UINT i);
// The argument as a number; `absent` when not given or not convertible.
LONG ArgLong(const DISPPARAMS* params, UINT i, LONG absent);
// The value of a property put, as text.
String PutText(const DISPPARAMS* params);
// The argument's object; null when it is none.
ComPtr<IDispatch> ArgObject(const DISPPARAMS* params, UINT i);

// Results. Each takes over what it is given (a string, a reference).
void SetResult(VARIANT* result, BSTR value);
void SetResult(VARIANT* result, LONG value);
void SetResult(VARIANT* result, VARIANT_BOOL value);
void SetResult(VARIANT* result, VARIANT value);
template <class I>
requires std::is_base_of_v<IUnknown, I>
void SetResult(VARIANT* result, I* value) {
  if (!result) {
    if (value) value->Release();
    return;
  }
  VariantInit(result);
  if (!value) {
    result->vt = VT_NULL;
  } else if constexpr (std::is_base_of_v<IDispatch, I>) {
    result->vt = VT_DISPATCH;
    result->pdispVal = value;
  } else {
    result->vt = VT_UNKNOWN;
    result->punkVal = value;
  }
}

template <class M>
struct GetterOf;
template <class C, class V>
struct GetterOf<HRESULT (C::*)(V*)> {
  using Interface = C;
  using Value = V;
};

// A property getter of an interface as a member.
template <auto Getter, class T>
HRESULT Get(T& self, WORD flags, DISPPARAMS*, VARIANT* result) {
  if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
  using Info = GetterOf<decltype(Getter)>;
  typename Info::Value value{};
  const HRESULT hr = (static_cast<typename Info::Interface&>(self).*Getter)(&value);
  if (FAILED(hr)) return hr;
  SetResult(result, value);
  return S_OK;
}

// A dispatch member for the getter of property `prop` of interface `Iface`,
// in a table of objects of type Self.
#define NATIVE_GET(Iface, prop) \
  { #prop, &::nativedom::Get < &Iface::get_##prop, Self> }

}  // namespace nativedom
