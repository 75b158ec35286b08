#include "EmbeddedWB/Source/EwbControlComponent.h"

#include "EmbeddedWB/Source/EwbFocusControl.h"
#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Streaming.h"
#include "platform/urlmon/UrlMon.h"

namespace EwbControlComponent {

using EwbMouseHook::TEWBMouseHook;

// ---------------------------------------------------------------- wheel fix

TMouseWheelFix::~TMouseWheelFix() {
  if (hook_) {
    hook_->Deactivate();
    TEWBMouseHook::Release();
  }
}

void TMouseWheelFix::SetActive(bool value) {
  active_ = value;
  if (designing_) return;
  if (!value) {
    if (hook_) {
      hook_->Deactivate();
      TEWBMouseHook::Release();
      hook_ = nullptr;
    }
  } else if (!hook_) {
    hook_ = TEWBMouseHook::Allocate();
    hook_->OnMouseWheel = OnMouseWheel;
    hook_->ActiveFormOnly = activeFormOnly_;
    hook_->Activate();
  }
}

void TMouseWheelFix::SetActiveFormOnly(bool value) {
  activeFormOnly_ = value;
  if (hook_) hook_->ActiveFormOnly = value;
}

// ---------------------------------------------------------------- focus fix

void TFocusControl::SetActive(bool value) {
  active_ = value;
  if (designing_) return;
  if (value)
    EwbFocusControl::TEWBFocusControl::Activate();
  else
    EwbFocusControl::TEWBFocusControl::Deactivate();
}

// ---------------------------------------------------------------- component

TEwbControl::TEwbControl(TComponent* AOwner) : TComponent(AOwner) {
  const bool designing = ComponentState().Contains(csDesigning);
  mouseWheelFix_ = new TMouseWheelFix(designing);
  focusControl_ = new TFocusControl(designing);
  if (designing) {
    for (int f = ObjectCaching; f < EntryCount; ++f)
      if (EwbTools::CoInternetIsFeatureEnabledDyn(BYTE(f), SET_FEATURE_ON_PROCESS) == S_OK)
        internetFeatures_.Include(TInternetFeatureList(f));
  }
}

TEwbControl::~TEwbControl() {
  if (!ComponentState().Contains(csDesigning)) {
    mouseWheelFix_->SetActive(false);
    focusControl_->SetActive(false);
  }
  delete mouseWheelFix_;
  delete focusControl_;
}

void TEwbControl::Loaded() {
  TComponent::Loaded();
  mouseWheelFix_->OnMouseWheel = OnMouseWheel;
}

void TEwbControl::SetInternetFeatures(const TInternetFeatures& value) {
  internetFeatures_ = value;
  if (value.Empty()) return;
  for (int f = ObjectCaching; f < EntryCount; ++f)
    EwbTools::CoInternetSetFeatureEnabledDyn(BYTE(f), SET_FEATURE_ON_PROCESS,
                                             value.Contains(TInternetFeatureList(f)));
}

void initialize() {
  RegisterClass<TEwbControl>();
  RegisterEvents<TEwbControl>({EventEntry("OnMouseWheel", &TEwbControl::OnMouseWheel)});
}

}  // namespace EwbControlComponent
