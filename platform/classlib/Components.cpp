#include "platform/classlib/Components.h"

#include <map>
#include <unordered_map>

namespace {

bool IsValidIdent(const String& s) {
  if (s.isEmpty()) return false;
  for (int i = 0; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

// "Menu::TMyMenuForm" -> "TMyMenuForm".
String WithoutScope(const String& name) {
  const int colons = name.lastIndexOf(QLatin1String("::"));
  return colons < 0 ? name : name.mid(colons + 2);
}

// The registries live until the process ends; they are filled by the units'
// initialization functions on the main thread. Keys of the class registry are
// lower-case names; map nodes keep the entries' addresses stable.
std::map<String, TComponentClass>& ClassRegistry() {
  static std::map<String, TComponentClass> registry;
  return registry;
}
std::unordered_map<const QMetaObject*, std::vector<TEventInfo>>& EventRegistry() {
  static std::unordered_map<const QMetaObject*, std::vector<TEventInfo>> registry;
  return registry;
}
std::unordered_map<const QMetaObject*, std::vector<THandlerInfo>>& HandlerRegistry() {
  static std::unordered_map<const QMetaObject*, std::vector<THandlerInfo>> registry;
  return registry;
}

const THandlerInfo* FindFormEntry(const QMetaObject* formClass, const String& name, bool field) {
  for (const QMetaObject* m = formClass; m; m = m->superClass()) {
    const auto it = HandlerRegistry().find(m);
    if (it == HandlerRegistry().end()) continue;
    for (const THandlerInfo& e : it->second)
      if (e.IsField == field && SameText(e.Name, name)) return &e;
  }
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- TComponent

TComponent::TComponent(TComponent* AOwner) : TPersistent(nullptr) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  RemoveFreeNotifications();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= components_.size())
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
  return components_[index];
}

TComponent* TComponent::FindComponent(const String& name) const {
  if (name.isEmpty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::ValidateRename(TComponent* AComponent, const String& curName, const String& newName) const {
  if (newName.isEmpty() || SameText(curName, newName)) return;
  const TComponent* other = FindComponent(newName);
  if (other && other != AComponent)
    throw EComponentError(QStringLiteral("A component named %1 already exists").arg(newName));
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ == this) return;
  for (const TComponent* o = this; o; o = o->owner_)
    if (o == AComponent) throw EComponentError(QStringLiteral("A component cannot own itself or its owner"));
  ValidateRename(AComponent, String(), AComponent->name_);
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  components_.append(AComponent);
  AComponent->owner_ = this;
  AComponent->SetReference(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ != this) return;
  Notification(AComponent, opRemove);
  AComponent->SetReference(false);
  components_.removeOne(AComponent);
  AComponent->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.isEmpty()) {
    TComponent* c = components_.last();
    c->Destroying();
    RemoveComponent(c);
    delete c;
  }
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::SetName(const String& value) {
  if (name_ == value) return;
  if (!value.isEmpty() && !IsValidIdent(value))
    throw EComponentError(QStringLiteral("'%1' is not a valid component name").arg(value));
  if (owner_) owner_->ValidateRename(this, name_, value);
  SetReference(false);
  name_ = value;
  setObjectName(value);
  SetReference(true);
}

// Points the owner's published field of this component's name at this
// component (or clears it), so a form's fields follow its components.
void TComponent::SetReference(bool enable) {
  if (!owner_ || name_.isEmpty() || owner_->state_.Contains(csDestroying)) return;
  const THandlerInfo* field = FindField(owner_->metaObject(), name_);
  if (!field) return;
  if (!enable)
    field->SetField(owner_, nullptr);
  else if (field->Accepts(this))
    field->SetField(owner_, this);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // A notified component may remove others; walk down and re-clip.
  for (int i = components_.size() - 1; i >= 0;) {
    components_[i]->Notification(AComponent, Operation);
    --i;
    if (i >= components_.size()) i = components_.size() - 1;
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this || freeNotifies_.contains(AComponent)) return;
  freeNotifies_.append(AComponent);
  AComponent->FreeNotification(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  freeNotifies_.removeAll(AComponent);
  AComponent->freeNotifies_.removeAll(this);
}

void TComponent::RemoveFreeNotifications() {
  while (!freeNotifies_.isEmpty()) {
    TComponent* c = freeNotifies_.takeLast();
    c->freeNotifies_.removeAll(this);
    c->Notification(this, opRemove);
  }
}

void TComponent::SetParentComponent(TComponent*) {}

String TComponent::EventBinding(const String& eventName) const {
  for (const auto& b : eventBindings_)
    if (SameText(b.first, eventName)) return b.second;
  return String();
}

void TComponent::SetEventBinding(const String& eventName, const String& handlerName) {
  for (int i = 0; i < eventBindings_.size(); ++i) {
    if (!SameText(eventBindings_[i].first, eventName)) continue;
    if (handlerName.isEmpty())
      eventBindings_.removeAt(i);
    else
      eventBindings_[i].second = handlerName;
    return;
  }
  if (!handlerName.isEmpty()) eventBindings_.append({eventName, handlerName});
}

// ---------------------------------------------------------------- registries

void RegisterComponentClass(const char* className, TComponentFactory factory) {
  const String name = WithoutScope(String::fromLatin1(className));
  ClassRegistry()[LowerCase(name)] = TComponentClass{name, std::move(factory)};
}

const TComponentClass* GetClass(const String& className) {
  const auto it = ClassRegistry().find(LowerCase(WithoutScope(className)));
  return it == ClassRegistry().end() ? nullptr : &it->second;
}

const TComponentClass& FindClass(const String& className) {
  if (const TComponentClass* c = GetClass(className)) return *c;
  throw EClassNotFound(QStringLiteral("Class %1 not found").arg(className));
}

void RegisterEvents(const QMetaObject& cls, std::vector<TEventInfo> events) {
  EventRegistry()[&cls] = std::move(events);
}

const TEventInfo* FindEvent(const QMetaObject* cls, const String& name) {
  for (const QMetaObject* m = cls; m; m = m->superClass()) {
    const auto it = EventRegistry().find(m);
    if (it == EventRegistry().end()) continue;
    for (const TEventInfo& e : it->second)
      if (SameText(e.Name, name)) return &e;
  }
  return nullptr;
}

std::vector<const TEventInfo*> EventsOf(const QMetaObject* cls) {
  std::vector<const QMetaObject*> chain;
  for (const QMetaObject* m = cls; m; m = m->superClass()) chain.insert(chain.begin(), m);
  std::vector<const TEventInfo*> events;
  for (const QMetaObject* m : chain) {
    const auto it = EventRegistry().find(m);
    if (it == EventRegistry().end()) continue;
    for (const TEventInfo& e : it->second) events.push_back(&e);
  }
  return events;
}

void RegisterHandlers(const QMetaObject& formClass, std::vector<THandlerInfo> entries) {
  HandlerRegistry()[&formClass] = std::move(entries);
}

const THandlerInfo* FindHandler(const QMetaObject* formClass, const String& name) {
  return FindFormEntry(formClass, name, false);
}

const THandlerInfo* FindField(const QMetaObject* formClass, const String& name) {
  return FindFormEntry(formClass, name, true);
}
