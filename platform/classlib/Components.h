#pragma once
// Components: objects with an owner that destroys them, a name unique among
// their owner's components, published properties (Qt properties) and published
// events (std::function members named as the event).
//
// Besides TComponent this unit holds the tables the form streaming works from,
// all filled by explicit registration calls in the units' initialization
// functions (never by static constructors); everything runs on the main thread:
// - the class registry: class name -> factory (RegisterClass<T>());
// - event tables: per component class, its published events (RegisterEvents<T>());
// - handler tables: per form class, its handler methods and its published
//   component fields (RegisterHandlers<T>()).
// Every class used here declares Q_OBJECT: the tables are keyed by the class's
// meta object and are searched along the class hierarchy.
#include <QList>
#include <QPair>
#include <QVector>

#include <any>
#include <functional>
#include <typeinfo>
#include <utility>
#include <vector>

#include "platform/classlib/Persistent.h"
#include "platform/classlib/TypedSet.h"

NOCTIVANE_DECLARE_EXCEPTION(EComponentError, Exception)
// Errors of reading a form resource. EFilerError is also an EReadError, so a
// caller may catch either.
NOCTIVANE_DECLARE_EXCEPTION(EFilerError, EReadError)
NOCTIVANE_DECLARE_EXCEPTION(EClassNotFound, EFilerError)   // "Class %s not found"
NOCTIVANE_DECLARE_EXCEPTION(EMethodNotFound, EFilerError)  // unknown event handler

enum TOperation { opInsert, opRemove };

enum TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning };
using TComponentState = TSet<TComponentStateItem>;

class TComponent : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)

 public:
  // Inserts the new component into `AOwner`'s components (when given).
  explicit TComponent(TComponent* AOwner);
  // Marks this component and everything it owns csDestroying, notifies the
  // components that asked for a free notification, destroys the owned
  // components (last inserted first) and leaves the owner, which is notified.
  // A subclass whose owned components depend on its own members (widgets)
  // calls DestroyComponents() first in its own destructor.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return components_.size(); }
  // The owned component at `index` (insertion order); EListError out of range.
  TComponent* Components(int index) const;
  // The owned component named `name` (case-insensitive); null when absent or
  // when `name` is empty.
  TComponent* FindComponent(const String& name) const;

  // Makes this component the owner of `AComponent` (leaving its old owner).
  // Raises EComponentError when its name is taken here or when the insertion
  // would make a component own itself.
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Destroys every owned component, last inserted first.
  void DestroyComponents();
  // Includes csDestroying in this component and in everything it owns.
  void Destroying();

  const String& Name() const { return name_; }
  // Empty, or a valid identifier unique (case-insensitive) among the owner's
  // components; EComponentError otherwise. The owner's published field of the
  // same name (see RegisterHandlers) follows the component.
  void SetName(const String& value);
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  TComponentState ComponentState() const { return state_; }

  // Called once after the component and the whole tree around it were read
  // from a form resource. Clears csLoading; overrides call the inherited one.
  virtual void Loaded();
  // Told when a component is inserted into or removed from this component's
  // owned components, and when a component this one asked for a free
  // notification is destroyed. The default forgets a removed component's free
  // notification link and passes the news on to every owned component.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Asks `AComponent` to send this component Notification(AComponent,
  // opRemove) when it is destroyed (and the other way round). Components of
  // the same owner also hear of each other through the owner.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // The component this one is placed in when the form streaming nests objects:
  // the reader calls SetParentComponent with the object enclosing this one in
  // the text (the root for top-level objects) before reading its properties;
  // the writer nests each component under GetParentComponent() (the root
  // when null). The defaults keep no parent; controls set their Parent.
  virtual void SetParentComponent(TComponent* value);
  virtual TComponent* GetParentComponent() const { return nullptr; }

  // The handler name a published event was bound to by the form streaming
  // ("" when none); kept so that the writer can stream the binding back out.
  String EventBinding(const String& eventName) const;
  void SetEventBinding(const String& eventName, const String& handlerName);

 private:
  friend class TResourceReader;
  friend class TResourceWriter;
  void ValidateRename(TComponent* AComponent, const String& curName, const String& newName) const;
  void SetReference(bool enable);
  void RemoveFreeNotifications();
  void Unlink(TComponent* AComponent);

  TComponent* owner_ = nullptr;
  QVector<TComponent*> components_;
  QVector<TComponent*> freeNotifies_;
  String name_;
  int tag_ = 0;
  TComponentState state_;
  QList<QPair<String, String>> eventBindings_;
};

// Calls the handler assigned to an event of `c`, if any. A component being
// destroyed raises no events: its handlers may refer to what has gone.
template <class Handler, class... Args>
void RaiseEvent(const TComponent* c, const Handler& handler, Args&&... args) {
  if (handler && !c->ComponentState().Contains(csDestroying)) handler(std::forward<Args>(args)...);
}

// ---------------------------------------------------------------- class registry

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;

// A registered component class: creates instances by name.
struct TComponentClass {
  String ClassName;
  TComponentFactory Factory;
  TComponent* Create(TComponent* owner) const { return Factory(owner); }
};

// Registers (or replaces) the factory of a class name.
void RegisterComponentClass(const char* className, TComponentFactory factory);
template <class T>
void RegisterClass() {
  static_assert(QtPrivate::HasQ_OBJECT_Macro<T>::Value, "a component class declares Q_OBJECT");
  RegisterComponentClass(T::staticMetaObject.className(),
                         [](TComponent* owner) -> TComponent* { return new T(owner); });
}
template <class... T>
void RegisterClasses() {
  (RegisterClass<T>(), ...);
}
// The registered class of that name (case-insensitive, without namespace), or null.
const TComponentClass* GetClass(const String& className);
// The same; raises EClassNotFound "Class %s not found" when not registered.
const TComponentClass& FindClass(const String& className);

// ---------------------------------------------------------------- event tables

// One published event of a component class: a std::function member. The
// signature is the type of that member; the form streaming binds a handler
// only when its bound std::function has exactly that type.
struct TEventInfo {
  String Name;
  const std::type_info* Signature = nullptr;              // typeid(std::function<Sig>)
  std::function<void(TComponent*, const std::any&)> Set;  // the any holds a std::function<Sig>
  std::function<bool(const TComponent*)> Assigned;
};

template <class C, class Sig>
TEventInfo EventEntry(const char* name, std::function<Sig> C::*member) {
  static_assert(std::is_base_of_v<TComponent, C>, "events belong to components");
  TEventInfo info;
  info.Name = String::fromLatin1(name);
  info.Signature = &typeid(std::function<Sig>);
  info.Set = [member](TComponent* c, const std::any& fn) {
    static_cast<C*>(c)->*member = std::any_cast<const std::function<Sig>&>(fn);
  };
  info.Assigned = [member](const TComponent* c) {
    return static_cast<bool>(static_cast<const C*>(c)->*member);
  };
  return info;
}

// Registers the events a class declares itself (those of its base classes are
// found through the base classes' own tables):
//   RegisterEvents<TControl>({EventEntry("OnClick", &TControl::OnClick), ...});
void RegisterEvents(const QMetaObject& cls, std::vector<TEventInfo> events);
template <class C>
void RegisterEvents(std::vector<TEventInfo> events) {
  static_assert(QtPrivate::HasQ_OBJECT_Macro<C>::Value, "a component class declares Q_OBJECT");
  RegisterEvents(C::staticMetaObject, std::move(events));
}
// The event of that name (case-insensitive) of `cls` or of a base class, or null.
const TEventInfo* FindEvent(const QMetaObject* cls, const String& name);
// Every event of `cls`, base classes' first.
std::vector<const TEventInfo*> EventsOf(const QMetaObject* cls);

// ---------------------------------------------------------------- handler tables

// One entry of a form class's handler table: either a handler method that
// events can be bound to by name, or a published component field that the
// owned component of the same name is assigned to.
struct THandlerInfo {
  String Name;
  // Handlers: typeid(std::function<Sig>) of the bound method, and Bind making
  // that std::function for a form instance.
  const std::type_info* Signature = nullptr;
  std::function<std::any(TComponent* form)> Bind;
  // Fields: whether a component fits the field's type, and the assignment
  // (null clears the field). IsField tells the two kinds apart.
  bool IsField = false;
  String FieldClass;
  std::function<bool(const TComponent*)> Accepts;
  std::function<void(TComponent* form, TComponent* value)> SetField;
};

template <class F, class R, class... A>
THandlerInfo HandlerEntry(const char* name, R (F::*method)(A...)) {
  THandlerInfo info;
  info.Name = String::fromLatin1(name);
  info.Signature = &typeid(std::function<R(A...)>);
  info.Bind = [method](TComponent* form) -> std::any {
    F* f = static_cast<F*>(form);
    return std::function<R(A...)>(
        [f, method](A... args) -> R { return (f->*method)(std::forward<A>(args)...); });
  };
  return info;
}

template <class F, class R, class... A>
THandlerInfo HandlerEntry(const char* name, R (F::*method)(A...) const) {
  THandlerInfo info;
  info.Name = String::fromLatin1(name);
  info.Signature = &typeid(std::function<R(A...)>);
  info.Bind = [method](TComponent* form) -> std::any {
    const F* f = static_cast<const F*>(form);
    return std::function<R(A...)>(
        [f, method](A... args) -> R { return (f->*method)(std::forward<A>(args)...); });
  };
  return info;
}

template <class F, class T>
THandlerInfo FieldEntry(const char* name, T* F::*member) {
  static_assert(std::is_base_of_v<TComponent, T>, "published fields hold components");
  THandlerInfo info;
  info.Name = String::fromLatin1(name);
  info.IsField = true;
  info.FieldClass = TPersistent::ClassNameOf(T::staticMetaObject);
  info.Accepts = [](const TComponent* c) { return dynamic_cast<const T*>(c) != nullptr; };
  info.SetField = [member](TComponent* form, TComponent* value) {
    static_cast<F*>(form)->*member = dynamic_cast<T*>(value);
  };
  return info;
}

// Registers a form class's handlers and published fields:
//   RegisterHandlers<TMyForm>({HandlerEntry("FormCreate", &TMyForm::FormCreate),
//                              FieldEntry("TopPanel", &TMyForm::TopPanel)});
void RegisterHandlers(const QMetaObject& formClass, std::vector<THandlerInfo> entries);
template <class F>
void RegisterHandlers(std::vector<THandlerInfo> entries) {
  static_assert(QtPrivate::HasQ_OBJECT_Macro<F>::Value, "a form class declares Q_OBJECT");
  RegisterHandlers(F::staticMetaObject, std::move(entries));
}
// The handler method / published field of that name (case-insensitive) of
// `formClass` or of a base class, or null.
const THandlerInfo* FindHandler(const QMetaObject* formClass, const String& name);
const THandlerInfo* FindField(const QMetaObject* formClass, const String& name);
