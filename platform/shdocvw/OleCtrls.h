#pragma once
// Hosting OLE controls in the class library: TOleControl is a windowed
// control that creates an OLE object, is its client site and ambient-property
// dispatch, in-place activates it in its own window when that window is
// created (and deactivates it when the window goes), keeps the object's
// window the size of its client area, reads and writes the object's
// properties by dispatch id, and receives the object's events through a sink
// advised on the object's event interface (InvokeEvent).
//
// The control is a COM object without a reference count of its own: its
// owner destroys it, and it lets the object go first. A derived class that
// implements further host interfaces (document host, service provider, ...)
// derives from them too and overrides QueryInterface, AddRef and Release,
// answering its own interfaces and forwarding everything else (AddRef and
// Release always) to TOleControl's.
#include "platform/classlib/Controls.h"
#include "platform/shdocvw/ExDisp.h"

// Raises EOleSysError for a failed result code; answers the code otherwise.
HRESULT OleCheck(HRESULT hr);
// The text of a result code ("Unspecified error", ... or "OLE error 8004xxxx").
String OleErrorText(HRESULT hr);

// What a control class hosts: the class of its object and its event interface.
struct TControlData {
  CLSID ClassID;
  IID EventIID;
};

class TOleControl : public TWinControl, public IOleClientSite, public IDispatch {
  Q_OBJECT

 public:
  // Creates the object (CoCreateInstance of data.ClassID), sets this control
  // as its client site and advises the event sink. Raises EOleSysError when
  // the object cannot be created.
  TOleControl(TComponent* AOwner, const TControlData& data);
  // Deactivates the object, takes the sink and the site away and releases it.
  ~TOleControl() override;

  // ---- IUnknown (no lifetime of its own)
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // ---- IOleClientSite
  HRESULT SaveObject() override;
  HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
  HRESULT GetContainer(IOleContainer** ppContainer) override;
  HRESULT ShowObject() override;
  HRESULT OnShowWindow(BOOL fShow) override;
  HRESULT RequestNewObjectLayout() override;

  // ---- IDispatch: the ambient properties. This class answers the user mode
  // (true unless designing) and the display name (the control's Name), and
  // DISP_E_MEMBERNOTFOUND for anything else; derived classes override Invoke
  // and fall back to this one.
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- the object
  // The object as an automation variant (its default dispatch interface).
  OleVariant OleObject() const;
  IOleObject* OleObjectInterface() const { return oleObject_.Get(); }
  // The object's dispatch interface (its properties and methods by dispatch id).
  IDispatch* ControlDispatch() const { return dispatch_.Get(); }

  // ---- properties by dispatch id; failures raise EOleSysError
  OleVariant GetVariantProp(DISPID id) const;
  void SetVariantProp(DISPID id, const OleVariant& value);
  int GetIntegerProp(DISPID id) const;
  void SetIntegerProp(DISPID id, int value);
  bool GetWordBoolProp(DISPID id) const;
  void SetWordBoolProp(DISPID id, bool value);
  String GetStringProp(DISPID id) const;
  void SetStringProp(DISPID id, const String& value);
  ComPtr<IDispatch> GetIDispatchProp(DISPID id) const;

 protected:
  // Called for every event of the object, with its raw parameters (in the
  // reverse order of the event's arguments; by-reference out parameters).
  virtual void InvokeEvent(DISPID DispID, DISPPARAMS& Params);

  void CreateWnd() override;
  void DestroyWnd() override;
  void BoundsChanged(bool sizeChanged) override;

 private:
  class EventSink;
  void placeObject();

  TControlData data_;
  ComPtr<IOleObject> oleObject_;
  ComPtr<IDispatch> dispatch_;
  ComPtr<IOleInPlaceObject> inPlaceObject_;
  ComPtr<EventSink> sink_;
  ComPtr<IConnectionPoint> eventPoint_;
  DWORD eventCookie_ = 0;
  bool inPlace_ = false;
};

// Reading the arguments of an event inside InvokeEvent: `index` counts in the
// event's natural order; missing arguments read as empty.
OleVariant EventArg(const DISPPARAMS& params, UINT index);
// The raw (possibly by-reference) argument.
VARIANT* EventArgRef(const DISPPARAMS& params, UINT index);
