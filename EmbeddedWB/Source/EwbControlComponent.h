#pragma once
// TEwbControl switches the process's two browser fixes (the wheel hook of
// EwbMouseHook and the focus hook of EwbFocusControl) and sets the process's
// Internet feature controls. Creating it starts no hook: a fix starts when its
// Active property is written True.
#include "EmbeddedWB/Source/EwbMouseHook.h"
#include "platform/classlib/Components.h"

namespace EwbControlComponent {
Q_NAMESPACE

// The ordinal of each member is the platform's INTERNETFEATURELIST value.
enum TInternetFeatureList {
  ObjectCaching,
  ZoneElevation,
  MimeHandling,
  MimeSniffing,
  WindowRestrictions,
  WebocPopupManagement,
  Behaviors,
  DisableMkProtocol,
  LocalMachineLockDown,
  Securityband,
  RestrictActivexInstall,
  ValidateNavigateUrl,
  RestrictFileDownload,
  AddonManagement,
  ProtocolLockdown,
  HttpUsernamePasswordDisable,
  SafeBindToObject,
  UncSavedFileCheck,
  GetUrlDomFilePathUnencoded,
  TabbedBrowsing,
  Sslux,
  DisableNavigationSounds,
  DisableLegacyCompression,
  ForceAddrAndStatus,
  XmlHttp,
  DisableTelnetProtocol,
  Feeds,
  BlockInputPrompts,
  EntryCount,  // the number of features, not a feature
};
Q_ENUM_NS(TInternetFeatureList)
using TInternetFeatures = TSet<TInternetFeatureList>;

using EwbMouseHook::TMouseWheelEvent;

// The wheel fix. Switching it on takes the process's hook object and copies
// OnMouseWheel and ActiveFormOnly into it; the object is shared, so the values
// copied last apply to every wheel message, and switching any wheel fix off
// removes the hook for all of them.
class TMouseWheelFix : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool Active READ Active WRITE SetActive)
  Q_PROPERTY(bool ActiveFormOnly READ ActiveFormOnly WRITE SetActiveFormOnly)
 public:
  TMouseWheelFix(bool designing) : designing_(designing) {}
  ~TMouseWheelFix() override;
  bool Active() const { return active_; }
  void SetActive(bool value);
  bool ActiveFormOnly() const { return activeFormOnly_; }
  void SetActiveFormOnly(bool value);
  EwbMouseHook::TEWBMouseHook* HookObject() const { return hook_; }

  TMouseWheelEvent OnMouseWheel;

 private:
  bool designing_;
  bool active_ = true;
  bool activeFormOnly_ = false;
  EwbMouseHook::TEWBMouseHook* hook_ = nullptr;
};

// The focus fix: the process's one application-window hook. Switching any
// focus fix off ends it for the process.
class TFocusControl : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(bool Active READ Active WRITE SetActive)
 public:
  TFocusControl(bool designing) : designing_(designing) {}
  bool Active() const { return active_; }
  void SetActive(bool value);

 private:
  bool designing_;
  bool active_ = true;
};

class TEwbControl : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TMouseWheelFix* MouseWheelFix READ MouseWheelFix)
  Q_PROPERTY(TFocusControl* FocusControl READ FocusControl)
  Q_PROPERTY(TInternetFeatures InternetFeatures READ InternetFeatures WRITE SetInternetFeatures)
 public:
  explicit TEwbControl(TComponent* AOwner);
  ~TEwbControl() override;
  void Loaded() override;

  TMouseWheelFix* MouseWheelFix() const { return mouseWheelFix_; }
  TFocusControl* FocusControl() const { return focusControl_; }
  TInternetFeatures InternetFeatures() const { return internetFeatures_; }
  // Stores the set and applies it: every feature is switched on or off for
  // the process by its membership; an empty set changes nothing.
  void SetInternetFeatures(const TInternetFeatures& value);

  TMouseWheelEvent OnMouseWheel;

 private:
  TMouseWheelFix* mouseWheelFix_;
  TFocusControl* focusControl_;
  TInternetFeatures internetFeatures_;
};

// Registers TEwbControl and its event for form streaming.
void initialize();

}  // namespace EwbControlComponent
