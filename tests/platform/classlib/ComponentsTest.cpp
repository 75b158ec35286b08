#include <gtest/gtest.h>

#include <QStringList>

#include "platform/classlib/Components.h"

#include "tests/support/TestSupport.h"

namespace componentstest {

Q_NAMESPACE
enum TFlavour { flSweet, flSour, flBitter, flSalty };
Q_ENUM_NS(TFlavour)
using TFlavours = TSet<TFlavour>;

// A plain enumeration without meta data.
enum TPlain { plOne, plTwo };

// A component that records what happens to it in a shared log.
class TProbe : public TComponent {
  Q_OBJECT
 public:
  TProbe(TComponent* owner, const String& name, QStringList* log) : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~TProbe() override {
    if (log_)
      *log_ << QStringLiteral("destroy %1%2")
                   .arg(Name(), ComponentState().Contains(csDestroying) ? " destroying" : "");
  }
  void Notification(TComponent* c, TOperation op) override {
    // The sender may be half destroyed: use the pointer only.
    if (log_ && !ComponentState().Contains(csDestroying))
      *log_ << QStringLiteral("%1 heard %2 %3")
                   .arg(Name(), names.value(c, "?"), op == opInsert ? "insert" : "remove");
    TComponent::Notification(c, op);
  }
  // Names of components by address, recorded while they are alive.
  static inline QHash<const TComponent*, QString> names;
  void Remember() { names[this] = Name(); }

 private:
  QStringList* log_;
};

class TOtherProbe : public TProbe {
  Q_OBJECT
 public:
  using TProbe::TProbe;
  explicit TOtherProbe(TComponent* owner) : TProbe(owner, QString(), nullptr) {}
};

class TFormWithFields : public TComponent {
  Q_OBJECT
 public:
  using TComponent::TComponent;
  TProbe* Probe1 = nullptr;
  TOtherProbe* Other = nullptr;
};

TProbe* MakeProbe(TComponent* owner, const String& name, QStringList* log) {
  auto* p = new TProbe(owner, name, log);
  p->Remember();
  return p;
}

}  // namespace componentstest

using namespace componentstest;

TEST(Components, OwnerDestroysInReverseOrderAndNotifies) {
  QStringList log;
  auto* owner = MakeProbe(nullptr, "Owner", &log);
  MakeProbe(owner, "A", &log);
  auto* b = MakeProbe(owner, "B", &log);
  MakeProbe(owner, "C", &log);
  // An outsider watching B; it is not owned by the same owner.
  auto* watcher = MakeProbe(nullptr, "Watcher", &log);
  b->FreeNotification(watcher);
  log.clear();

  delete owner;
  // The owner's own destructor body runs first; then its components go, last
  // inserted first, each already marked csDestroying; the watcher hears of B
  // while B's component part is being destroyed.
  const QStringList expected = {
      "destroy Owner",          "destroy C destroying", "destroy B destroying",
      "Watcher heard B remove", "destroy A destroying",
  };
  EXPECT_EQ(log, expected);

  // The watcher's link to B is gone: destroying it now touches nothing freed.
  log.clear();
  delete watcher;
  EXPECT_EQ(log, QStringList{"destroy Watcher"});
}

TEST(Components, DeletingAComponentTellsItsOwnerAndSiblings) {
  QStringList log;
  auto* owner = MakeProbe(nullptr, "Owner", &log);
  auto* a = MakeProbe(nullptr, "A", &log);
  owner->InsertComponent(a);
  owner->InsertComponent(MakeProbe(nullptr, "B", &log));
  EXPECT_EQ(log, (QStringList{"Owner heard A insert", "A heard A insert", "Owner heard B insert",
                              "B heard B insert", "A heard B insert"}));
  log.clear();

  delete a;
  EXPECT_TRUE(log.contains("Owner heard A remove"));
  EXPECT_TRUE(log.contains("B heard A remove"));
  ASSERT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0)->Name(), "B");
  delete owner;
}

TEST(Components, FreeNotificationWorksBothWaysAndCanBeWithdrawn) {
  QStringList log;
  auto* x = MakeProbe(nullptr, "X", &log);
  auto* y = MakeProbe(nullptr, "Y", &log);
  auto* z = MakeProbe(nullptr, "Z", &log);
  x->FreeNotification(y);
  x->FreeNotification(z);
  x->RemoveFreeNotification(z);
  log.clear();
  delete y;  // the link is mutual: X hears of Y
  EXPECT_EQ(log, (QStringList{"destroy Y", "X heard Y remove"}));
  log.clear();
  delete x;  // Z withdrew
  EXPECT_EQ(log, QStringList{"destroy X"});
  delete z;
}

TEST(Components, DestroyComponentsEmptiesTheOwner) {
  QStringList log;
  TComponent owner(nullptr);
  MakeProbe(&owner, "A", &log);
  MakeProbe(&owner, "B", &log);
  log.clear();
  owner.DestroyComponents();
  EXPECT_EQ(owner.ComponentCount(), 0);
  // A is still alive when B goes, and hears of it.
  EXPECT_EQ(log, (QStringList{"A heard B remove", "destroy B destroying", "destroy A destroying"}));
  EXPECT_FALSE(owner.ComponentState().Contains(csDestroying));
}

TEST(Components, FindComponentIsCaseInsensitive) {
  TComponent owner(nullptr);
  auto* panel = new TComponent(&owner);
  panel->SetName("TopPanel");
  auto* unnamed = new TComponent(&owner);
  EXPECT_EQ(owner.FindComponent("toppanel"), panel);
  EXPECT_EQ(owner.FindComponent("TOPPANEL"), panel);
  EXPECT_EQ(owner.FindComponent("Top"), nullptr);
  EXPECT_EQ(owner.FindComponent(""), nullptr);  // unnamed components are not found by ""
  EXPECT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.Components(1), unnamed);
  EXPECT_EQ(panel->Owner(), &owner);
  EXPECT_THROW(owner.Components(2), EListError);
  EXPECT_THROW(owner.Components(-1), EListError);
}

TEST(Components, NamesAreIdentifiersUniqueAmongTheOwnersComponents) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("Button1");
  try {
    b->SetName("BUTTON1");
    FAIL() << "duplicate accepted";
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message, "A component named BUTTON1 already exists");
  }
  EXPECT_EQ(b->Name(), "");
  a->SetName("button1");  // its own name in another case
  EXPECT_EQ(a->Name(), "button1");
  for (const char* bad : {"1abc", "a b", "a.b", "a-b", "\xc3\xa4x"}) {
    EXPECT_THROW(b->SetName(QString::fromUtf8(bad)), EComponentError) << bad;
  }
  b->SetName("_x9");
  EXPECT_EQ(b->Name(), "_x9");
  EXPECT_EQ(b->objectName(), "_x9");
  // Several unnamed components may live side by side.
  b->SetName("");
  new TComponent(&owner);
  EXPECT_EQ(owner.ComponentCount(), 3);
  // The name is a published property.
  EXPECT_TRUE(a->setProperty("Name", "Other"));
  EXPECT_EQ(a->Name(), "Other");
  EXPECT_TRUE(a->setProperty("Tag", 42));
  EXPECT_EQ(a->Tag(), 42);
}

TEST(Components, InsertingMovesBetweenOwnersAndRefusesConflicts) {
  TComponent first(nullptr), second(nullptr);
  auto* moving = new TComponent(&first);
  moving->SetName("Item");
  auto* taken = new TComponent(&second);
  taken->SetName("ITEM");

  EXPECT_THROW(second.InsertComponent(moving), EComponentError);
  EXPECT_EQ(moving->Owner(), &first);  // nothing changed
  EXPECT_EQ(first.ComponentCount(), 1);

  taken->SetName("Taken");
  second.InsertComponent(moving);
  EXPECT_EQ(moving->Owner(), &second);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(second.FindComponent("item"), moving);

  // No component may own itself, directly or through its components.
  EXPECT_THROW(moving->InsertComponent(moving), EComponentError);
  EXPECT_THROW(moving->InsertComponent(&second), EComponentError);
  EXPECT_EQ(second.Owner(), nullptr);

  second.RemoveComponent(moving);
  EXPECT_EQ(moving->Owner(), nullptr);
  delete moving;
}

TEST(Components, PublishedFieldsFollowTheirComponents) {
  RegisterHandlers<TFormWithFields>(
      {FieldEntry("Probe1", &TFormWithFields::Probe1), FieldEntry("Other", &TFormWithFields::Other)});
  TFormWithFields form(nullptr);
  auto* probe = new TProbe(&form, "Probe1", nullptr);
  EXPECT_EQ(form.Probe1, probe);
  probe->SetName("Renamed");
  EXPECT_EQ(form.Probe1, nullptr);
  probe->SetName("probe1");  // fields are found case-insensitively
  EXPECT_EQ(form.Probe1, probe);
  delete probe;
  EXPECT_EQ(form.Probe1, nullptr);

  // A component of the wrong class leaves the field alone.
  auto* plain = new TProbe(&form, "Other", nullptr);
  EXPECT_EQ(form.Other, nullptr);
  auto* other = new TOtherProbe(nullptr, "Other", nullptr);
  plain->SetName("Plain");
  form.InsertComponent(other);
  EXPECT_EQ(form.Other, other);
  form.RemoveComponent(other);
  EXPECT_EQ(form.Other, nullptr);
  delete other;

  const THandlerInfo* field = FindField(&TFormWithFields::staticMetaObject, "OTHER");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->FieldClass, "TOtherProbe");
  EXPECT_EQ(FindHandler(&TFormWithFields::staticMetaObject, "Other"), nullptr);
}

TEST(Components, ClassRegistryCreatesByName) {
  RegisterClass<TOtherProbe>();  // declared as componentstest::TOtherProbe
  ASSERT_NE(GetClass("totherprobe"), nullptr);
  EXPECT_EQ(GetClass("TOtherProbe")->ClassName, "TOtherProbe");
  EXPECT_EQ(GetClass("componentstest::TOtherProbe"), GetClass("TOtherProbe"));
  EXPECT_EQ(GetClass("TNothing"), nullptr);
  try {
    FindClass("TNothing");
    FAIL() << "no exception";
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message, "Class TNothing not found");
  }

  TComponent owner(nullptr);
  TComponent* made = FindClass("TOtherProbe").Create(&owner);
  EXPECT_EQ(made->Owner(), &owner);
  EXPECT_EQ(made->ClassName(), "TOtherProbe");
  EXPECT_NE(qobject_cast<TOtherProbe*>(made), nullptr);

  RegisterComponentClass("TOtherProbe", [](TComponent* o) -> TComponent* { return new TComponent(o); });
  EXPECT_EQ(FindClass("TOtherProbe").Create(&owner)->ClassName(), "TComponent");
}

TEST(Components, LoadedClearsLoadingOnly) {
  TComponent c(nullptr);
  c.Loaded();
  EXPECT_TRUE(c.ComponentState().Empty());
}

TEST(Components, EventBindingsAreRemembered) {
  TComponent c(nullptr);
  c.SetEventBinding("OnClick", "Button1Click");
  c.SetEventBinding("onclick", "OtherClick");
  EXPECT_EQ(c.EventBinding("ONCLICK"), "OtherClick");
  c.SetEventBinding("OnClick", "");
  EXPECT_EQ(c.EventBinding("OnClick"), "");
}

TEST(TypedSet, MembersAndOperators) {
  TFlavours s{flSweet, flBitter};
  EXPECT_TRUE(s.Contains(flSweet));
  EXPECT_FALSE(s.Contains(flSour));
  EXPECT_EQ(s.Count(), 2);
  s.Include(flSalty).Exclude(flSweet);
  EXPECT_EQ(s, (TFlavours{flBitter, flSalty}));
  EXPECT_EQ(s + flSour, (TFlavours{flSour, flBitter, flSalty}));
  EXPECT_EQ(s - TFlavours{flSalty}, TFlavours{flBitter});
  EXPECT_EQ(s * (TFlavours{flSalty, flSweet}), TFlavours{flSalty});
  EXPECT_TRUE(TFlavours{flSalty} <= s);
  EXPECT_FALSE(s <= TFlavours{flSalty});
  EXPECT_TRUE(s >= TFlavours{});
  s -= flBitter;
  s += TFlavours{flSweet};
  EXPECT_EQ(s.Bits(), (1u << flSweet) | (1u << flSalty));
  EXPECT_EQ(TFlavours::FromBits(s.Bits()), s);
  EXPECT_TRUE(TFlavours().Empty());

  constexpr TFlavours constant{flSour};
  static_assert(constant.Contains(flSour) && !constant.Contains(flSweet));
}

TEST(TypedSet, NamesComeFromTheEnumerationsMetaData) {
  EXPECT_EQ(TFlavours::MemberNames(), (QStringList{"flSweet", "flSour", "flBitter", "flSalty"}));
  EXPECT_EQ((TFlavours{flSalty, flSweet}).Names(), (QStringList{"flSweet", "flSalty"}));
  EXPECT_EQ((TFlavours{flSalty, flSour}).ToString(), "[flSour, flSalty]");
  EXPECT_EQ(TFlavours().ToString(), "[]");
  // Without meta data the set still works, without names.
  TSet<TPlain> plain{plTwo};
  EXPECT_TRUE(plain.Contains(plTwo));
  EXPECT_TRUE(plain.Names().isEmpty());
}

TEST(Persistent, ClassNameLeavesOutTheNamespace) {
  TOtherProbe p(nullptr, "P", nullptr);
  EXPECT_EQ(p.ClassName(), "TOtherProbe");
  EXPECT_EQ(QString(p.metaObject()->className()), "componentstest::TOtherProbe");
  TComponent c(nullptr);
  EXPECT_EQ(c.ClassName(), "TComponent");
}

#include "ComponentsTest.moc"
