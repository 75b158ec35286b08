#pragma once
// IDispatch by name for objects without type information: tables of members
// (names compared without case, as scripts do), the adapter that makes a
// property getter of an interface into a member, and TableDispatch, a base
// that answers the four IDispatch methods from its tables:
//
//   class Item final : public comdisp::TableDispatch<Item, IItem> {
//    public:
//     Item() : TableDispatch(kTable) {}
//     HRESULT get_name(BSTR* p) override;
//    private:
//     using Self = Item;
//     static constexpr comdisp::DispMember<Self> kMembers[] = {DISP_GET(IItem, name)};
//     static constexpr comdisp::DispTable<Self> kTable{kMembers, 1000};
//   };
#include "platform/com/ComObject.h"
#include "platform/com/Variant.h"

#include <span>
#include <type_traits>

namespace comdisp {

// One member: its name, what calling it does, and its dispatch id
// (DISPID_UNKNOWN: the table's base plus the member's position).
template <class T>
struct DispMember {
  const char* name;
  HRESULT (*invoke)(T& self, WORD flags, DISPPARAMS* params, VARIANT* result);
  DISPID id = DISPID_UNKNOWN;
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
  HRESULT lookUp(LPOLESTR* names, UINT count, DISPID* ids) const {
    return LookUpNames(names, count, ids, [this](const String& name) { return find(name); });
  }
  HRESULT invoke(T& self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) const {
    const DispMember<T>* m = byId(id);
    return m ? m->invoke(self, flags, params, result) : DISP_E_MEMBERNOTFOUND;
  }
};

// The type-information half of IDispatch, for objects that have none.
HRESULT NoTypeInfoCount(UINT* pctinfo);
HRESULT NoTypeInfo(ITypeInfo** ppTInfo);

// An object whose IDispatch is its member tables, searched in order (a
// second table serves members that depend on the object, such as those of
// an element's tag). Unknown names give DISP_E_UNKNOWNNAME, unknown ids
// DISP_E_MEMBERNOTFOUND. A derived class may override Invoke to answer a
// few ids itself and hand the others to TableDispatch::Invoke.
template <class Self, class... Interfaces>
class TableDispatch : public ComObject<Interfaces...> {
 public:
  explicit TableDispatch(DispTable<Self> table = {}, DispTable<Self> more = {})
      : table_(table), more_(more) {}

  HRESULT GetTypeInfoCount(UINT* pctinfo) override { return NoTypeInfoCount(pctinfo); }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override { return NoTypeInfo(ppTInfo); }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return LookUpNames(names, count, ids, [this](const String& name) {
      const DISPID id = table_.find(name);
      return id != DISPID_UNKNOWN ? id : more_.find(name);
    });
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    const DispMember<Self>* m = table_.byId(id);
    if (!m) m = more_.byId(id);
    return m ? m->invoke(static_cast<Self&>(*this), flags, params, result) : DISP_E_MEMBERNOTFOUND;
  }

 private:
  DispTable<Self> table_;
  DispTable<Self> more_;
};

// Whether a call may read a property (a property get, or a method call as
// late binding makes for a read without arguments).
inline bool IsGet(WORD flags) { return flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD); }

// A value as text (a reference followed); empty when it has none.
String TextOf(const VARIANT& value);

// The positional arguments of a call, in their natural order.
UINT ArgCount(const DISPPARAMS* params);
// Argument `i`, a reference followed; empty when not given.
OleVariant Arg(const DISPPARAMS* params, UINT i);
// Argument `i` as given (not copied, a reference not followed); null when not given.
VARIANT* ArgRef(const DISPPARAMS* params, UINT i);
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

}  // namespace comdisp

// A dispatch member for the getter of property `prop` of interface `Iface`,
// in a table of objects of type Self.
#define DISP_GET(Iface, prop) \
  { #prop, &::comdisp::Get < &Iface::get_##prop, Self> }
