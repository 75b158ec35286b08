#include "EmbeddedWB/Source/EditDesigner.h"

#include "platform/classlib/Streaming.h"

namespace EditDesigner {

using EmbeddedWB::TEmbeddedWB;

namespace {

const char kAbout[] = "TEditDesigner: edits a browser's page in place. Part of Noctivane.";
constexpr HRESULT kFail = E_FAIL;

// Properties of an event object, read when asked for.
Integer IntegerOf(IHTMLEventObj* event, const char* name) {
  OleVariant v;
  if (FAILED(EventProperty(event, QString::fromLatin1(name), v))) throw EOleSysError(name, E_FAIL);
  OleVariant i;
  if (FAILED(VariantChangeType(&i, &v, 0, VT_I4))) return 0;
  return i.lVal;
}

bool BoolOf(IHTMLEventObj* event, const char* name) { return IntegerOf(event, name) != 0; }

String StringOf(IHTMLEventObj* event, const char* name) {
  OleVariant v;
  if (FAILED(EventProperty(event, QString::fromLatin1(name), v))) throw EOleSysError(name, E_FAIL);
  return VarToStr(v);
}

String ElementText(IHTMLElement* element, HRESULT (IHTMLElement::*get)(BSTR*)) {
  BSTR text = nullptr;
  const HRESULT hr = (element->*get)(&text);
  String result = BSTRToString(text);
  SysFreeString(text);
  if (FAILED(hr)) throw EOleSysError(QStringLiteral("element"), hr);
  return result;
}

}  // namespace

// The interfaces the edit services hold. It outlives the component when the
// services keep it; from then on every call answers its default.
class TEditDesigner::Sink final : public ComObject<IHTMLEditDesigner, IHTMLEditHost2> {
 public:
  explicit Sink(TEditDesigner* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  HRESULT PreHandleEvent(LONG id, IHTMLEventObj* e) override {
    return owner_ ? owner_->PreHandleEvent(id, e) : S_FALSE;
  }
  HRESULT PostHandleEvent(LONG id, IHTMLEventObj* e) override {
    return owner_ ? owner_->PostHandleEvent(id, e) : S_FALSE;
  }
  HRESULT TranslateAccelerator(LONG id, IHTMLEventObj* e) override {
    return owner_ ? owner_->TranslateAccelerator(id, e) : S_FALSE;
  }
  HRESULT PostEditorEventNotify(LONG id, IHTMLEventObj* e) override {
    return owner_ ? owner_->PostEditorEventNotify(id, e) : S_FALSE;
  }
  HRESULT SnapRect(IHTMLElement* element, RECT* rect, DWORD handle) override {
    return owner_ ? owner_->SnapRect(element, rect, handle) : S_OK;
  }
  HRESULT PreDrag() override { return owner_ ? owner_->PreDrag() : S_OK; }

 private:
  TEditDesigner* owner_;
};

TEditDesigner::TEditDesigner(TComponent* AOwner) : TComponent(AOwner), sink_(MakeCom<Sink>(this)) {
  about_ = QString::fromLatin1(kAbout);
  enable_ = true;
}

TEditDesigner::~TEditDesigner() {
  // A connected designer leaves its services whatever Enable says.
  if (connected_ && services_) services_->RemoveDesigner(sink_.Get());
  connected_ = false;
  sink_->Detach();
}

IHTMLEditDesigner* TEditDesigner::DesignerInterface() const { return sink_.Get(); }

void TEditDesigner::SetEmbeddedWB(TEmbeddedWB* value) {
  if (browser_ == value) return;
  if (browser_) browser_->RemoveFreeNotification(this);
  browser_ = value;
  if (browser_) browser_->FreeNotification(this);
}

void TEditDesigner::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == browser_) browser_ = nullptr;
}

bool TEditDesigner::Active() const { return enable_ && !ComponentState().Contains(csDesigning); }

void TEditDesigner::Error(HRESULT code, const String& text) {
  if (OnError) OnError(Integer(code), text);
}

ComPtr<IHTMLDocument2> TEditDesigner::Document() const {
  if (!browser_) return nullptr;
  ComPtr<IDispatch> disp = browser_->Document();
  return disp ? disp.As<IHTMLDocument2>() : nullptr;
}

void TEditDesigner::Loaded() {
  TComponent::Loaded();
  connected_ = false;
  if (ComponentState().Contains(csDesigning) || !browser_ || !enable_) return;
  if (!browser_->DocumentLoaded()) browser_->AssignEmptyDocument(false);
}

HRESULT TEditDesigner::ConnectDesigner() {
  if (!Active()) return S_FALSE;
  if (!browser_) {
    Error(kFail, QStringLiteral("Please assign a TEmbeddedWB!"));
    return S_FALSE;
  }
  QPointer<TEditDesigner> self(this);
  browser_->Wait(WaitLimit);
  if (!self) return S_FALSE;
  DesignModeOn();
  if (!self) return S_FALSE;
  if (connected_ && services_) services_->RemoveDesigner(sink_.Get());
  connected_ = false;
  services_.Reset();
  HRESULT hr = E_NOINTERFACE;
  ComPtr<IHTMLDocument2> doc = Document();
  ComPtr<IServiceProvider> provider = doc ? doc.As<IServiceProvider>() : nullptr;
  if (provider)
    hr = provider->QueryService(SID_SHTMLEditServices, IID_IHTMLEditServices,
                                reinterpret_cast<void**>(services_.GetAddressOf()));
  if (SUCCEEDED(hr) && services_) hr = services_->AddDesigner(sink_.Get());
  if (FAILED(hr) || !services_) {
    services_.Reset();
    Error(kFail, QStringLiteral("Failed loading the designer!"));
    return FAILED(hr) ? hr : kFail;
  }
  connected_ = true;
  return hr;
}

HRESULT TEditDesigner::DisconnectDesigner() {
  if (!Active()) return S_FALSE;
  if (!browser_) return S_FALSE;
  if (!browser_->Document()) {
    Error(kFail, QStringLiteral("Failed (Document = nil)."));
    return S_FALSE;
  }
  QPointer<TEditDesigner> self(this);
  if (browser_->Busy()) {
    browser_->Stop();
    if (browser_) browser_->Wait(WaitLimit);
  }
  if (!self) return S_FALSE;
  HRESULT hr = services_ ? services_->RemoveDesigner(sink_.Get()) : E_UNEXPECTED;
  if (FAILED(hr)) {
    Error(hr, QStringLiteral("Failed to RemoveDesigner."));
  } else {
    connected_ = false;
    services_.Reset();
  }
  DesignModeOff();
  return hr;
}

void TEditDesigner::DesignModeOn() {
  if (ComponentState().Contains(csDesigning)) return;
  if (!browser_) {
    Error(kFail, QStringLiteral("Please assign a TEmbeddedWB!"));
    return;
  }
  QPointer<TEditDesigner> self(this);
  browser_->Wait(WaitLimit);
  if (!self) return;
  ComPtr<IHTMLDocument2> doc = Document();
  BSTR on = StringToBSTR(QStringLiteral("On"));
  const HRESULT hr = doc ? doc->put_designMode(on) : kFail;
  SysFreeString(on);
  if (FAILED(hr)) Error(kFail, QStringLiteral("Failed to set DesignMode state On."));
}

void TEditDesigner::DesignModeOff() {
  if (ComponentState().Contains(csDesigning)) return;
  if (!browser_) {
    Error(kFail, QStringLiteral("Please assign a TEmbeddedWB!"));
    return;
  }
  ComPtr<IHTMLDocument2> doc = Document();
  BSTR off = StringToBSTR(QStringLiteral("Off"));
  const HRESULT hr = doc ? doc->put_designMode(off) : kFail;
  SysFreeString(off);
  if (FAILED(hr)) Error(kFail, QStringLiteral("Failed to set DedignMode state Off."));
}

void TEditDesigner::ExecCommand(const std::u16string& Command, bool ShowUI, Integer Value) {
  ComPtr<IHTMLDocument2> doc = Document();
  if (!doc) return;
  BSTR command = StringToBSTR(String::fromStdU16String(Command));
  VARIANT_BOOL done = VARIANT_FALSE;
  const HRESULT hr =
      doc->execCommand(command, ShowUI ? VARIANT_TRUE : VARIANT_FALSE, OleVariant(Value), &done);
  SysFreeString(command);
  if (FAILED(hr)) throw EOleSysError(QStringLiteral("execCommand"), hr);
}

void TEditDesigner::CreateLink() {
  if (browser_) ExecCommand(u"CreateLink", true, 0);
}
void TEditDesigner::InsertImage() {
  if (browser_) ExecCommand(u"InsertImage", true, 0);
}
void TEditDesigner::InsertInputRadio() {
  if (browser_) ExecCommand(u"InsertInputRadio", true, 0);
}

// Nothing a handler raises may reach the browser that called in.
HRESULT TEditDesigner::Guarded(const char* where, HRESULT fallback, const std::function<HRESULT()>& call) {
  QPointer<TEditDesigner> self(this);
  try {
    return call();
  } catch (const Exception& e) {
    if (self) Error(kFail, QString::fromLatin1(where) + QStringLiteral(": ") + e.Message);
  } catch (...) {
    if (self) Error(kFail, QString::fromLatin1(where) + QStringLiteral(": failed."));
  }
  return fallback;
}

HRESULT TEditDesigner::PreHandleEvent(Integer inEvtDispId, IHTMLEventObj* pIEventObj) {
  if (!Active()) return S_FALSE;
  return Guarded("PreHandleEvent", S_FALSE, [&]() -> HRESULT {
    QPointer<TEditDesigner> self(this);
    auto alive = [&] { return bool(self); };
    if (OnPreHandle) OnPreHandle(inEvtDispId, pIEventObj);
    if (!alive() || !pIEventObj) return S_FALSE;
    OleVariant source;
    const HRESULT hr = EventProperty(pIEventObj, QStringLiteral("srcElement"), source);
    if (FAILED(hr)) throw EOleSysError(QStringLiteral("srcElement"), hr);
    ComPtr<IHTMLElement> element;
    if (source.vt == VT_DISPATCH && source.pdispVal)
      source.pdispVal->QueryInterface(IID_IHTMLElement, reinterpret_cast<void**>(element.GetAddressOf()));
    if (!element) return S_FALSE;
    if (OnKeyState && alive())
      OnKeyState(GetKeyState(VK_CAPITAL) & 1, GetKeyState(VK_NUMLOCK) & 1, GetKeyState(VK_INSERT) & 1,
                 BoolOf(pIEventObj, "altKey"), BoolOf(pIEventObj, "ctrlKey"), BoolOf(pIEventObj, "shiftKey"));
    if (OnEvtDispId && alive()) OnEvtDispId(inEvtDispId);
    if (OnMouseButton && alive()) OnMouseButton(IntegerOf(pIEventObj, "button"));
    if (OnKeyPress && alive()) OnKeyPress(IntegerOf(pIEventObj, "keyCode"));
    if (OnTagName && alive()) OnTagName(ElementText(element.Get(), &IHTMLElement::get_tagName));
    if (OnType_ && alive()) OnType_(StringOf(pIEventObj, "type"));
    if (OnToString && alive()) OnToString(ElementText(element.Get(), &IHTMLElement::toString));
    if (OnInnerText && alive()) OnInnerText(ElementText(element.Get(), &IHTMLElement::get_innerText));
    if (OnInnerHtml && alive()) OnInnerHtml(ElementText(element.Get(), &IHTMLElement::get_innerHTML));
    return S_FALSE;
  });
}

HRESULT TEditDesigner::PostEditorEventNotify(Integer inEvtDispId, IHTMLEventObj* pIEventObj) {
  if (!Active()) return S_FALSE;
  return Guarded("PostEditorEventNotify", S_FALSE, [&]() -> HRESULT {
    QPointer<TEditDesigner> self(this);
    if (inEvtDispId == DISPID_HTMLELEMENTEVENTS2_ONMOUSEMOVE && OnMousePosition && pIEventObj)
      OnMousePosition(IntegerOf(pIEventObj, "clientX"), IntegerOf(pIEventObj, "clientY"));
    if (self && OnPostEditorNotify) return OnPostEditorNotify(inEvtDispId, pIEventObj);
    return S_FALSE;
  });
}

HRESULT TEditDesigner::PostHandleEvent(Integer inEvtDispId, IHTMLEventObj* pIEventObj) {
  if (!Active()) return S_FALSE;
  return Guarded("PostHandleEvent", S_FALSE,
                 [&] { return OnPostHandle ? OnPostHandle(inEvtDispId, pIEventObj) : S_FALSE; });
}

HRESULT TEditDesigner::TranslateAccelerator(Integer inEvtDispId, IHTMLEventObj* pIEventObj) {
  if (!Active()) return S_FALSE;
  return Guarded("TranslateAccelerator", S_FALSE, [&] {
    return OnTranslateAccelerator ? OnTranslateAccelerator(inEvtDispId, pIEventObj) : S_FALSE;
  });
}

HRESULT TEditDesigner::SnapRect(IHTMLElement* pIElement, RECT* prcNew, DWORD eHandle) {
  if (!enable_) return S_OK;
  return Guarded("SnapRect", S_OK,
                 [&] { return OnSnapRect && prcNew ? OnSnapRect(pIElement, *prcNew, eHandle) : S_OK; });
}

HRESULT TEditDesigner::PreDrag() {
  if (!enable_) return S_OK;
  return Guarded("PreDrag", S_OK, [&] { return OnPreDrag ? OnPreDrag() : S_OK; });
}

void initialize() {
  RegisterClass<TEditDesigner>();
  RegisterEvents<TEditDesigner>({
      EventEntry("OnPreDrag", &TEditDesigner::OnPreDrag),
      EventEntry("OnPreHandle", &TEditDesigner::OnPreHandle),
      EventEntry("OnPostHandle", &TEditDesigner::OnPostHandle),
      EventEntry("OnPostEditorNotify", &TEditDesigner::OnPostEditorNotify),
      EventEntry("OnError", &TEditDesigner::OnError),
      EventEntry("OnInnerText", &TEditDesigner::OnInnerText),
      EventEntry("OnInnerHtml", &TEditDesigner::OnInnerHtml),
      EventEntry("OnKeyPress", &TEditDesigner::OnKeyPress),
      EventEntry("OnKeyState", &TEditDesigner::OnKeyState),
      EventEntry("OnTranslateAccelerator", &TEditDesigner::OnTranslateAccelerator),
      EventEntry("OnMousePosition", &TEditDesigner::OnMousePosition),
      EventEntry("OnMouseButton", &TEditDesigner::OnMouseButton),
      EventEntry("OnEvtDispId", &TEditDesigner::OnEvtDispId),
      EventEntry("OnSnapRect", &TEditDesigner::OnSnapRect),
      EventEntry("OnType_", &TEditDesigner::OnType_),
      EventEntry("OnToString", &TEditDesigner::OnToString),
      EventEntry("OnTagName", &TEditDesigner::OnTagName),
  });
}

void finalize() {}

}  // namespace EditDesigner
