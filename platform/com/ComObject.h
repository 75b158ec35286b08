#pragma once
// A base for objects that implement interfaces:
//
//   class Sink : public ComObject<IFoo, IBar> { ... IFoo's and IBar's methods ... };
//   ComPtr<IFoo> foo = MakeCom<Sink>();
//
// It counts references (atomically), deletes the object when the count drops
// to zero, and answers QueryInterface for each listed interface and for every
// interface each of them derives from (as recorded by NOCTIVANE_DECLARE_IID).
// IUnknown is always answered through the first listed interface, so the
// object's identity is stable. A derived class may override QueryInterface to
// answer more and fall back to ComObject::QueryInterface.
#include "platform/com/Com.h"

#include <atomic>

namespace comdetail {

// Looks for `riid` in I and the interfaces it derives from.
template <class I>
void* FindInChain(I* p, REFIID riid) {
  if (riid == IidOf<I>()) return p;
  using Base = typename InterfaceInfo<I>::Base;
  if constexpr (std::is_void_v<Base>)
    return nullptr;
  else
    return FindInChain<Base>(static_cast<Base*>(p), riid);
}

}  // namespace comdetail

template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    void* found = comdetail::FindInChain<First>(static_cast<First*>(this), riid);
    ((found = found ? found : comdetail::FindInChain<Rest>(static_cast<Rest*>(this), riid)), ...);
    *ppvObject = found;
    if (!found) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  ULONG AddRef() override { return ++refCount_; }

  ULONG Release() override {
    const ULONG count = --refCount_;
    if (count == 0) delete this;
    return count;
  }

  // The object's own IUnknown (no reference added).
  IUnknown* GetUnknown() { return static_cast<First*>(this); }
  ULONG RefCount() const { return refCount_.load(); }

 protected:
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> refCount_{0};
};

// A new object of class T held by a ComPtr (reference count 1).
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}
