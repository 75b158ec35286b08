#include "platform/shdocvw/OleCtrls.h"

#include "platform/classlib/Forms.h"
#include "platform/com/Dispatch.h"
#include "platform/com/TableDispatch.h"

HRESULT OleCheck(HRESULT hr) {
  if (FAILED(hr)) throw EOleSysError(OleErrorText(hr), hr);
  return hr;
}

String OleErrorText(HRESULT hr) {
  switch (hr) {
    case E_FAIL: return QStringLiteral("Unspecified error");
    case E_NOTIMPL: return QStringLiteral("Not implemented");
    case E_NOINTERFACE: return QStringLiteral("No such interface supported");
    case E_POINTER: return QStringLiteral("Invalid pointer");
    case E_INVALIDARG: return QStringLiteral("The parameter is incorrect");
    case E_UNEXPECTED: return QStringLiteral("Catastrophic failure");
    case E_OUTOFMEMORY: return QStringLiteral("Not enough storage is available to complete this operation");
    case E_ACCESSDENIED: return QStringLiteral("Access is denied");
    case REGDB_E_CLASSNOTREG: return QStringLiteral("Class not registered");
    case OLECMDERR_E_NOTSUPPORTED: return QStringLiteral("The requested command is not supported");
    case OLECMDERR_E_DISABLED: return QStringLiteral("The requested command is disabled");
    case OLECMDERR_E_CANCELED: return QStringLiteral("The user canceled the command");
    case OLECMDERR_E_UNKNOWNGROUP: return QStringLiteral("Unknown command group");
    case DISP_E_MEMBERNOTFOUND: return QStringLiteral("Member not found");
    case DISP_E_TYPEMISMATCH: return QStringLiteral("Type mismatch");
    case DISP_E_UNKNOWNNAME: return QStringLiteral("Unknown name");
    default: return QStringLiteral("OLE error %1").arg(quint32(hr), 8, 16, QLatin1Char('0')).toUpper();
  }
}

OleVariant EventArg(const DISPPARAMS& params, UINT index) {
  OleVariant v;
  if (VARIANT* raw = EventArgRef(params, index)) VariantCopyInd(&v, raw);
  return v;
}

VARIANT* EventArgRef(const DISPPARAMS& params, UINT index) {
  return index < params.cArgs ? &params.rgvarg[params.cArgs - 1 - index] : nullptr;
}

// ---------------------------------------------------------------- event sink

// Receives the object's events for the control (a dispatch object answering
// the event interface). It refers to the control without owning it.
class TOleControl::EventSink final : public comdisp::TableDispatch<EventSink, IDispatch> {
 public:
  EventSink(TOleControl* control, const IID& eventIid) : control_(control), eventIid_(eventIid) {}
  void Detach() { control_ = nullptr; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && riid == eventIid_) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return TableDispatch::QueryInterface(riid, ppv);
  }
  // Events come by id only.
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    if (!control_) return S_OK;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    // A handler's exception is the application's to report, never the object's.
    try {
      control_->InvokeEvent(id, params ? *params : none);
    } catch (...) {
      if (Application) Application->HandleException(control_);
    }
    return S_OK;
  }

 private:
  TOleControl* control_;
  IID eventIid_;
};

// ---------------------------------------------------------------- life

TOleControl::TOleControl(TComponent* AOwner, const TControlData& data) : TWinControl(AOwner), data_(data) {
  OleCheck(CoCreateInstance(data.ClassID, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, &oleObject_));
  OleCheck(oleObject_.As(&dispatch_));
  oleObject_.As(&inPlaceObject_);
  OleCheck(oleObject_->SetClientSite(this));
  sink_ = MakeCom<EventSink>(this, data.EventIID);
  if (auto container = oleObject_.As<IConnectionPointContainer>()) {
    if (SUCCEEDED(container->FindConnectionPoint(data.EventIID, &eventPoint_)) &&
        FAILED(eventPoint_->Advise(sink_->GetUnknown(), &eventCookie_)))
      eventPoint_.Reset();
  }
}

TOleControl::~TOleControl() {
  // The window goes after this class is gone, so the object leaves it here.
  if (inPlaceObject_ && inPlace_) inPlaceObject_->InPlaceDeactivate();
  inPlace_ = false;
  sink_->Detach();
  if (eventPoint_) eventPoint_->Unadvise(eventCookie_);
  eventPoint_.Reset();
  oleObject_->Close(OLECLOSE_NOSAVE);
  oleObject_->SetClientSite(nullptr);
  inPlaceObject_.Reset();
  dispatch_.Reset();
  oleObject_.Reset();
}

// ---------------------------------------------------------------- IUnknown

HRESULT TOleControl::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IOleClientSite)
    *ppvObject = static_cast<IOleClientSite*>(this);
  else if (riid == IID_IDispatch)
    *ppvObject = static_cast<IDispatch*>(this);
  else {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

ULONG TOleControl::AddRef() { return 1; }
ULONG TOleControl::Release() { return 1; }

// ---------------------------------------------------------------- IOleClientSite

HRESULT TOleControl::SaveObject() { return E_NOTIMPL; }

HRESULT TOleControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (ppmk) *ppmk = nullptr;
  return E_NOTIMPL;
}

HRESULT TOleControl::GetContainer(IOleContainer** ppContainer) {
  if (ppContainer) *ppContainer = nullptr;
  return E_NOINTERFACE;
}

HRESULT TOleControl::ShowObject() { return S_OK; }
HRESULT TOleControl::OnShowWindow(BOOL) { return S_OK; }
HRESULT TOleControl::RequestNewObjectLayout() { return E_NOTIMPL; }

// ---------------------------------------------------------------- IDispatch

HRESULT TOleControl::GetTypeInfoCount(UINT* pctinfo) { return comdisp::NoTypeInfoCount(pctinfo); }

HRESULT TOleControl::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) { return comdisp::NoTypeInfo(ppTInfo); }

HRESULT TOleControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TOleControl::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS*, VARIANT* pVarResult,
                            EXCEPINFO*, UINT*) {
  if (!(wFlags & DISPATCH_PROPERTYGET) || !pVarResult) return DISP_E_MEMBERNOTFOUND;
  switch (dispIdMember) {
    case DISPID_AMBIENT_USERMODE:
      OleVariant(!ComponentState().Contains(csDesigning)).Detach(pVarResult);
      return S_OK;
    case -702:  // DISPID_AMBIENT_DISPLAYNAME
      OleVariant(Name()).Detach(pVarResult);
      return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

// ---------------------------------------------------------------- the object

OleVariant TOleControl::OleObject() const { return OleVariant(dispatch_.Get()); }

OleVariant TOleControl::GetVariantProp(DISPID id) const {
  OleVariant v;
  OleCheck(DispatchGetProperty(dispatch_.Get(), id, v));
  return v;
}

void TOleControl::SetVariantProp(DISPID id, const OleVariant& value) {
  OleCheck(DispatchPutProperty(dispatch_.Get(), id, value));
}

int TOleControl::GetIntegerProp(DISPID id) const { return GetVariantProp(id).toInt(); }
void TOleControl::SetIntegerProp(DISPID id, int value) { SetVariantProp(id, OleVariant(value)); }
bool TOleControl::GetWordBoolProp(DISPID id) const { return GetVariantProp(id).toBool(); }
void TOleControl::SetWordBoolProp(DISPID id, bool value) { SetVariantProp(id, OleVariant(value)); }
String TOleControl::GetStringProp(DISPID id) const { return VarToStr(GetVariantProp(id)); }
void TOleControl::SetStringProp(DISPID id, const String& value) { SetVariantProp(id, OleVariant(value)); }
ComPtr<IDispatch> TOleControl::GetIDispatchProp(DISPID id) const { return GetVariantProp(id).toDispatch(); }

void TOleControl::InvokeEvent(DISPID, DISPPARAMS&) {}

// ---------------------------------------------------------------- window

void TOleControl::CreateWnd() {
  TWinControl::CreateWnd();
  const RECT rect{0, 0, ClientWidth(), ClientHeight()};
  OleCheck(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, WindowHandle(), &rect));
  inPlace_ = true;
}

void TOleControl::DestroyWnd() {
  if (inPlaceObject_ && inPlace_) inPlaceObject_->InPlaceDeactivate();
  inPlace_ = false;
  TWinControl::DestroyWnd();
}

void TOleControl::BoundsChanged(bool sizeChanged) {
  TWinControl::BoundsChanged(sizeChanged);
  if (sizeChanged) placeObject();
}

void TOleControl::placeObject() {
  if (!inPlace_ || !inPlaceObject_ || !HandleAllocated()) return;
  const RECT rect{0, 0, ClientWidth(), ClientHeight()};
  inPlaceObject_->SetObjectRects(&rect, &rect);
}
