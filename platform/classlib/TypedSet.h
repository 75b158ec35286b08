#pragma once
// Typed sets: a bit set over the ordinals (0..63) of an enumeration.
//
//   enum TAnchorKind { akLeft, akTop, akRight, akBottom };  // Q_ENUM / Q_ENUM_NS for names
//   using TAnchors = TSet<TAnchorKind>;
//   TAnchors a{akLeft, akTop};
//   a.Include(akRight);  a -= akTop;  a.Contains(akLeft);  a.Names() == {"akLeft", "akRight"}
//
// A set can be a published property (Q_PROPERTY(TAnchors Anchors ...)). The
// form streaming reaches any set property through its Qt meta type: the data
// stream form of a set is its bit mask followed by the member names of the
// enumeration by ordinal, which is how the streaming code learns the names
// without knowing the enumeration. Member names need the enumeration to be
// declared with Q_ENUM or Q_ENUM_NS; without it the set works but has no names.
#include <QDataStream>
#include <QMetaEnum>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <initializer_list>
#include <type_traits>

template <typename E>
class TSet {
  static_assert(std::is_enum_v<E>, "a typed set is a set of enumeration members");

 public:
  using Enum = E;
  static constexpr int MaxMembers = 64;

  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E e : members) bits_ |= Bit(e);
  }
  static constexpr TSet FromBits(quint64 bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr quint64 Bits() const { return bits_; }

  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr TSet& Include(E e) {
    bits_ |= Bit(e);
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    bits_ &= ~Bit(e);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr int Count() const {
    int n = 0;
    for (quint64 b = bits_; b; b &= b - 1) ++n;
    return n;
  }

  // Union, difference, intersection, as the platform's set operators.
  friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TSet operator+(TSet a, E e) { return FromBits(a.bits_ | Bit(e)); }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr TSet operator-(TSet a, E e) { return FromBits(a.bits_ & ~Bit(e)); }
  friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.bits_ & b.bits_); }
  constexpr TSet& operator+=(TSet o) {
    bits_ |= o.bits_;
    return *this;
  }
  constexpr TSet& operator+=(E e) { return Include(e); }
  constexpr TSet& operator-=(TSet o) {
    bits_ &= ~o.bits_;
    return *this;
  }
  constexpr TSet& operator-=(E e) { return Exclude(e); }
  constexpr TSet& operator*=(TSet o) {
    bits_ &= o.bits_;
    return *this;
  }
  friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }
  friend constexpr bool operator!=(TSet a, TSet b) { return a.bits_ != b.bits_; }
  // Subset and superset.
  friend constexpr bool operator<=(TSet a, TSet b) { return (a.bits_ & ~b.bits_) == 0; }
  friend constexpr bool operator>=(TSet a, TSet b) { return b <= a; }

  // The member names of the enumeration by ordinal ("" where an ordinal has
  // no member); empty when the enumeration has no meta data.
  static QStringList MemberNames() {
    QStringList names;
    if constexpr (QtPrivate::IsQEnumHelper<E>::Value) {
      const QMetaEnum me = QMetaEnum::fromType<E>();
      for (int i = 0; i < MaxMembers; ++i) names << QString::fromLatin1(me.valueToKey(i));
      while (!names.isEmpty() && names.last().isEmpty()) names.removeLast();
    }
    return names;
  }
  // The names of the members in the set, in ordinal order.
  QStringList Names() const {
    const QStringList all = MemberNames();
    QStringList names;
    for (int i = 0; i < all.size(); ++i)
      if ((bits_ >> i) & 1) names << all[i];
    return names;
  }
  // "[akLeft, akTop]".
  QString ToString() const { return QLatin1Char('[') + Names().join(QLatin1String(", ")) + QLatin1Char(']'); }

  friend QDataStream& operator<<(QDataStream& s, const TSet& v) { return s << v.bits_ << MemberNames(); }
  friend QDataStream& operator>>(QDataStream& s, TSet& v) {
    QStringList ignored;
    return s >> v.bits_ >> ignored;
  }

 private:
  static constexpr quint64 Bit(E e) {
    const auto ordinal = static_cast<long long>(static_cast<std::underlying_type_t<E>>(e));
    Q_ASSERT(ordinal >= 0 && ordinal < MaxMembers);
    return ordinal >= 0 && ordinal < MaxMembers ? quint64(1) << ordinal : 0;
  }
  quint64 bits_ = 0;
};
