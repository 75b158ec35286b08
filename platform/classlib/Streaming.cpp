#include "platform/classlib/Streaming.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMetaProperty>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>

#include <cmath>
#include <limits>
#include <map>

#include "platform/classlib/Log_p.h"
#include "platform/rtl/Scopes.h"

namespace {

// ---------------------------------------------------------------- integer idents

std::map<String, QList<QPair<String, int>>>& IdentRegistry() {
  static std::map<String, QList<QPair<String, int>>> registry;  // key: lower-case type name
  return registry;
}

const QList<QPair<String, int>>* IdentsOf(const String& typeName) {
  if (typeName.isEmpty()) return nullptr;
  const auto it = IdentRegistry().find(LowerCase(typeName));
  return it == IdentRegistry().end() ? nullptr : &it->second;
}

String WithoutScope(const String& name) {
  const int colons = name.lastIndexOf(QLatin1String("::"));
  return colons < 0 ? name : name.mid(colons + 2);
}

// ---------------------------------------------------------------- property kinds

enum class Kind { Unsupported, Bool, Integer, Float, String, Enum, Set, Object, Component, Strings };

bool IntegerLimits(QMetaType mt, qint64& lo, qint64& hi) {
  switch (mt.id()) {
    case QMetaType::Int:
      lo = std::numeric_limits<qint32>::min();
      hi = std::numeric_limits<qint32>::max();
      return true;
    case QMetaType::UInt:
      lo = 0;
      hi = std::numeric_limits<quint32>::max();
      return true;
    case QMetaType::Short:
      lo = std::numeric_limits<qint16>::min();
      hi = std::numeric_limits<qint16>::max();
      return true;
    case QMetaType::UShort:
      lo = 0;
      hi = std::numeric_limits<quint16>::max();
      return true;
    case QMetaType::Char:
    case QMetaType::SChar:
      lo = std::numeric_limits<qint8>::min();
      hi = std::numeric_limits<qint8>::max();
      return true;
    case QMetaType::UChar:
      lo = 0;
      hi = std::numeric_limits<quint8>::max();
      return true;
    case QMetaType::Long:
    case QMetaType::LongLong:
      lo = std::numeric_limits<qint64>::min();
      hi = std::numeric_limits<qint64>::max();
      return true;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
      lo = 0;
      hi = std::numeric_limits<qint64>::max();
      return true;
    default: return false;
  }
}

Kind KindOf(QMetaType mt) {
  qint64 lo, hi;
  if (IntegerLimits(mt, lo, hi)) return Kind::Integer;
  switch (mt.id()) {
    case QMetaType::Bool: return Kind::Bool;
    case QMetaType::Double:
    case QMetaType::Float: return Kind::Float;
    case QMetaType::QString: return Kind::String;
    default: break;
  }
  if (mt == QMetaType::fromType<TStrings*>() || mt == QMetaType::fromType<TStringList*>())
    return Kind::Strings;
  if (mt.flags() & QMetaType::IsEnumeration) return Kind::Enum;
  if (mt.flags() & QMetaType::PointerToQObject) {
    const QMetaObject* meta = mt.metaObject();
    if (meta && meta->inherits(&TComponent::staticMetaObject)) return Kind::Component;
    if (meta && meta->inherits(&TPersistent::staticMetaObject)) return Kind::Object;
    return Kind::Unsupported;
  }
  if (mt.name() && qstrncmp(mt.name(), "TSet<", 5) == 0) return Kind::Set;
  return Kind::Unsupported;
}

// The Q_ENUM / Q_ENUM_NS of an enumeration type; invalid when it has none.
QMetaEnum EnumOf(QMetaType mt) {
  const QMetaObject* scope = mt.metaObject();
  if (!scope) return QMetaEnum();
  const QByteArray name = WithoutScope(QString::fromLatin1(mt.name())).toLatin1();
  const int index = scope->indexOfEnumerator(name.constData());
  return index < 0 ? QMetaEnum() : scope->enumerator(index);
}

// The integer ident type of a property: its own type's name when idents are
// registered for it, else the class info "IdentType:<property>".
String IdentTypeOf(const QMetaObject* cls, const QMetaProperty& p) {
  const String own = WithoutScope(QString::fromLatin1(p.metaType().name()));
  if (IdentsOf(own)) return own;
  const int info = cls->indexOfClassInfo((QByteArray("IdentType:") + p.name()).constData());
  return info < 0 ? String() : QString::fromLatin1(cls->classInfo(info).value());
}

// A set's bits and the member names by ordinal, through its data stream form.
void ReadSet(const QVariant& v, quint64& bits, QStringList& names) {
  QByteArray buf;
  {
    QDataStream out(&buf, QIODevice::WriteOnly);
    v.metaType().save(out, v.constData());
  }
  QDataStream in(buf);
  bits = 0;
  in >> bits >> names;
}

QVariant MakeSet(QMetaType mt, quint64 bits) {
  QByteArray buf;
  {
    QDataStream out(&buf, QIODevice::WriteOnly);
    out << bits << QStringList();
  }
  QVariant v(mt);
  QDataStream in(buf);
  mt.load(in, v.data());
  return v;
}

// A value of an integer or enumeration type.
QVariant MakeInteger(QMetaType mt, qint64 value) {
  QVariant v(mt);
  void* d = v.data();
  switch (mt.sizeOf()) {
    case 1: *static_cast<qint8*>(d) = static_cast<qint8>(value); break;
    case 2: *static_cast<qint16*>(d) = static_cast<qint16>(value); break;
    case 4: *static_cast<qint32*>(d) = static_cast<qint32>(value); break;
    default: *static_cast<qint64*>(d) = value; break;
  }
  return v;
}

// Pointers to QObject subclasses are stored as the pointer itself; every class
// here has QObject as its first base, as Qt's own pointer conversions assume.
QObject* ObjectOf(const QVariant& v) {
  if (!v.isValid() || !(v.metaType().flags() & QMetaType::PointerToQObject)) return nullptr;
  return *static_cast<QObject* const*>(v.constData());
}

TStrings* StringsOf(const QVariant& v) {
  if (v.metaType() == QMetaType::fromType<TStrings*>()) return *static_cast<TStrings* const*>(v.constData());
  if (v.metaType() == QMetaType::fromType<TStringList*>())
    return *static_cast<TStringList* const*>(v.constData());
  return nullptr;
}

int FindProperty(const QMetaObject* mo, const String& name) {
  const int exact = mo->indexOfProperty(name.toLatin1().constData());
  if (exact >= 0) return exact;
  for (int i = 0; i < mo->propertyCount(); ++i)
    if (SameText(QString::fromLatin1(mo->property(i).name()), name)) return i;
  return -1;
}

bool InheritsFromName(const QMetaObject* mo, const String& className) {
  for (; mo; mo = mo->superClass())
    if (SameText(TPersistent::ClassNameOf(*mo), className)) return true;
  return false;
}

String ComponentLabel(const TComponent* c) { return c->Name().isEmpty() ? c->ClassName() : c->Name(); }

bool IsIdentStart(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}
bool IsBlank(QChar c) {
  const char16_t u = c.unicode();
  return u == ' ' || u == '\t' || u == '\r' || u == '\n' || u == '\f';
}
bool IsDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }
bool IsIdentChar(QChar c) { return IsIdentStart(c) || IsDigit(c) || c == QLatin1Char('.'); }
int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------- reader

class TResourceReader {
 public:
  TResourceReader(const String& text, TComponent* root, const String& sourceName, bool into)
      : s_(text), root_(root), into_(into), source_(sourceName.isEmpty() ? root->ClassName() : sourceName) {}

  void Read() {
    // A failed read leaves no component marked as being read.
    auto unmark = qScopeGuard([this] {
      for (const auto& c : read_)
        if (c) c->state_ -= TComponentState{csLoading, csReading};
    });
    if (pos_ < s_.size() && s_[pos_] == QChar(0xFEFF)) ++pos_;
    Advance();
    ReadRoot();
    component_.clear();
    if (tok_.type != Token::End) Fail(tok_.line, QStringLiteral("End of resource expected"));
    ResolveFixups();
    for (const auto& c : read_)
      if (c) c->state_.Exclude(csReading);
    for (const auto& c : read_)
      if (c) c->Loaded();
    unmark.dismiss();
  }

 private:
  struct Token {
    enum Type { End, Ident, Integer, Float, Str, Symbol } type = End;
    String text;  // identifier, string value or symbol
    qint64 integer = 0;
    double real = 0;
    bool hex = false;
    int line = 1;
  };
  struct Value {
    Token::Type kind = Token::End;  // Integer, Float, Str, Ident; Symbol '[' set, '(' list
    qint64 integer = 0;
    double real = 0;
    bool hex = false;
    String text;
    QStringList members;  // a set's members
    QList<Value> items;   // a list's items
    int line = 1;
  };
  struct Fixup {
    QPointer<QObject> target;
    QMetaProperty prop;
    String name;
    int line;
    String component, path;
  };
  static constexpr int MaxDepth = 200;

  // ---- errors

  template <class E = EFilerError>
  [[noreturn]] void Fail(int line, const String& message) const {
    String where = QStringLiteral("Error reading %1, line %2").arg(source_).arg(line);
    if (!component_.isEmpty()) {
      where += QStringLiteral(", ") + component_;
      if (!property_.isEmpty()) where += QLatin1Char('.') + property_;
    }
    throw E(where + QStringLiteral(": ") + message);
  }

  // Runs `f`, turning exceptions of setters and factories into load errors.
  template <class F>
  auto Guard(int line, F&& f) -> decltype(f()) {
    try {
      return f();
    } catch (const EFilerError&) {
      throw;
    } catch (const Exception& e) {
      Fail(line, e.Message);
    }
  }

  // ---- lexer

  QChar At(int i) const { return i < s_.size() ? s_[i] : QChar(); }

  void Advance() {
    while (pos_ < s_.size() && IsBlank(s_[pos_])) {
      if (s_[pos_] == QLatin1Char('\n')) ++line_;
      ++pos_;
    }
    tok_ = Token();
    tok_.line = line_;
    if (pos_ >= s_.size()) return;
    const QChar c = s_[pos_];
    if (IsIdentStart(c)) {
      const int start = pos_;
      while (pos_ < s_.size() && IsIdentChar(s_[pos_])) ++pos_;
      tok_.type = Token::Ident;
      tok_.text = s_.mid(start, pos_ - start);
    } else if (IsDigit(c) || c == QLatin1Char('$') ||
               (c == QLatin1Char('-') && (IsDigit(At(pos_ + 1)) || At(pos_ + 1) == QLatin1Char('$')))) {
      LexNumber();
    } else if (c == QLatin1Char('\'') || c == QLatin1Char('#')) {
      tok_.type = Token::Str;
      tok_.text = LexString();
    } else if (QStringLiteral("=:[](),+").contains(c)) {
      tok_.type = Token::Symbol;
      tok_.text = c;
      ++pos_;
    } else {
      Fail(line_, c.unicode() > ' ' && c.unicode() < 0x7F
                      ? QStringLiteral("Invalid character '%1'").arg(c)
                      : QStringLiteral("Invalid character #%1").arg(c.unicode()));
    }
  }

  void LexNumber() {
    const bool negative = s_[pos_] == QLatin1Char('-');
    if (negative) ++pos_;
    const int start = pos_;
    bool ok = false;
    if (s_[pos_] == QLatin1Char('$')) {
      ++pos_;
      const int digits = pos_;
      while (HexDigit(At(pos_)) >= 0) ++pos_;
      const quint64 v = s_.mid(digits, pos_ - digits).toULongLong(&ok, 16);
      if (!ok || v > quint64(std::numeric_limits<qint64>::max()))
        Fail(line_, QStringLiteral("Invalid number"));
      tok_.type = Token::Integer;
      tok_.hex = true;
      tok_.integer = negative ? -qint64(v) : qint64(v);
    } else {
      while (IsDigit(At(pos_))) ++pos_;
      bool real = false;
      if (At(pos_) == QLatin1Char('.') && IsDigit(At(pos_ + 1))) {
        real = true;
        for (++pos_; IsDigit(At(pos_));) ++pos_;
      }
      if (At(pos_) == QLatin1Char('e') || At(pos_) == QLatin1Char('E')) {
        int e = pos_ + 1;
        if (At(e) == QLatin1Char('+') || At(e) == QLatin1Char('-')) ++e;
        if (IsDigit(At(e))) {
          real = true;
          for (pos_ = e; IsDigit(At(pos_));) ++pos_;
        }
      }
      const String digits = s_.mid(start, pos_ - start);
      if (real) {
        tok_.type = Token::Float;
        tok_.real = digits.toDouble(&ok);
        if (negative) tok_.real = -tok_.real;
      } else {
        tok_.type = Token::Integer;
        tok_.integer = (negative ? QLatin1Char('-') + digits : digits).toLongLong(&ok);
      }
      if (!ok) Fail(line_, QStringLiteral("Invalid number"));
    }
    if (IsIdentChar(At(pos_)) && At(pos_) != QLatin1Char('.')) Fail(line_, QStringLiteral("Invalid number"));
  }

  // Quoted pieces and #nn character codes written without blanks between.
  String LexString() {
    String value;
    for (;;) {
      const QChar c = At(pos_);
      if (c == QLatin1Char('\'')) {
        for (++pos_;; ++pos_) {
          if (pos_ >= s_.size() || s_[pos_] == QLatin1Char('\n') || s_[pos_] == QLatin1Char('\r'))
            Fail(line_, QStringLiteral("Unterminated string"));
          if (s_[pos_] != QLatin1Char('\'')) {
            value += s_[pos_];
          } else if (At(pos_ + 1) == QLatin1Char('\'')) {
            value += QLatin1Char('\'');
            ++pos_;
          } else {
            ++pos_;
            break;
          }
        }
      } else if (c == QLatin1Char('#')) {
        ++pos_;
        const bool hex = At(pos_) == QLatin1Char('$');
        if (hex) ++pos_;
        const int start = pos_;
        uint code = 0;
        for (; hex ? HexDigit(At(pos_)) >= 0 : IsDigit(At(pos_)); ++pos_) {
          code = code * (hex ? 16 : 10) + uint(hex ? HexDigit(s_[pos_]) : s_[pos_].unicode() - '0');
          if (code > 0x10FFFF) Fail(line_, QStringLiteral("Invalid character code"));
        }
        if (pos_ == start) Fail(line_, QStringLiteral("Invalid character code"));
        if (code <= 0xFFFF)
          value += QChar(char16_t(code));
        else
          value += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
      } else {
        return value;
      }
    }
  }

  bool IsSymbol(const char* sym) const {
    return tok_.type == Token::Symbol && tok_.text == QLatin1String(sym);
  }
  bool IsKeyword(const char* word) const {
    return tok_.type == Token::Ident && SameText(tok_.text, QLatin1String(word));
  }

  [[noreturn]] void Unexpected(const String& expected) const {
    if (tok_.type == Token::End) Fail(tok_.line, QStringLiteral("Unexpected end of resource"));
    Fail(tok_.line, expected + QStringLiteral(" expected"));
  }

  String ExpectIdent(const String& what) {
    if (tok_.type != Token::Ident) Unexpected(what);
    const String text = tok_.text;
    Advance();
    return text;
  }

  // ---- values

  Value ReadScalar() {
    Value v;
    v.line = tok_.line;
    v.kind = tok_.type;
    switch (tok_.type) {
      case Token::Integer:
      case Token::Float:
      case Token::Ident:
        v.integer = tok_.integer;
        v.real = tok_.real;
        v.hex = tok_.hex;
        v.text = tok_.text;
        Advance();
        return v;
      case Token::Str:
        v.text = tok_.text;
        Advance();
        while (IsSymbol("+")) {
          Advance();
          if (tok_.type != Token::Str) Unexpected(QStringLiteral("String"));
          v.text += tok_.text;
          Advance();
        }
        return v;
      default: Unexpected(QStringLiteral("Property value"));
    }
  }

  Value ReadValue() {
    if (IsSymbol("[")) {
      Value v;
      v.kind = Token::Symbol;
      v.text = QStringLiteral("[");
      v.line = tok_.line;
      Advance();
      if (IsSymbol("]")) {
        Advance();
        return v;
      }
      for (;;) {
        v.members << ExpectIdent(QStringLiteral("Set member"));
        if (IsSymbol("]")) break;
        if (!IsSymbol(",")) Unexpected(QStringLiteral("',' or ']'"));
        Advance();
      }
      Advance();
      return v;
    }
    if (IsSymbol("(")) {
      Value v;
      v.kind = Token::Symbol;
      v.text = QStringLiteral("(");
      v.line = tok_.line;
      for (Advance(); !IsSymbol(")");) v.items << ReadScalar();
      Advance();
      return v;
    }
    return ReadScalar();
  }

  // ---- objects

  void MarkRead(TComponent* c) {
    c->state_ += TComponentState{csLoading, csReading};
    if (!read_.contains(c)) read_.append(c);
  }

  void ReadHeader(String& name, String& className) {
    if (IsKeyword("inherited") || IsKeyword("inline"))
      Fail(tok_.line, QStringLiteral("Only 'object' entries are supported"));
    if (!IsKeyword("object")) Unexpected(QStringLiteral("'object'"));
    Advance();
    const String first = ExpectIdent(QStringLiteral("Component name or class"));
    if (IsSymbol(":")) {
      Advance();
      name = first;
      className = ExpectIdent(QStringLiteral("Class name"));
    } else {
      className = first;
    }
  }

  void ReadRoot() {
    const int line = tok_.line;
    String name, className;
    ReadHeader(name, className);
    component_ = name.isEmpty() ? className : name;
    if (!InheritsFromName(root_->metaObject(), className))
      Fail(line, QStringLiteral("The resource holds a %1, not a %2").arg(className, root_->ClassName()));
    rootName_ = name;
    if (root_->Name().isEmpty() && !name.isEmpty())
      Guard(line, [&] { root_->SetName(UniqueRootName(name)); });
    MarkRead(root_);
    ReadBody(root_, 0);
  }

  String UniqueRootName(const String& name) const {
    const TComponent* owner = root_->Owner();
    String candidate = name;
    for (int i = 1; owner && owner->FindComponent(candidate) && owner->FindComponent(candidate) != root_; ++i)
      candidate = name + QLatin1Char('_') + QString::number(i);
    return candidate;
  }

  void ReadBody(TComponent* comp, int depth) {
    for (;;) {
      component_ = ComponentLabel(comp);
      property_.clear();
      if (IsKeyword("end")) {
        Advance();
        return;
      }
      if (IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline")) {
        ReadChild(comp, depth + 1);
        continue;
      }
      if (tok_.type != Token::Ident) Unexpected(QStringLiteral("Property name or 'end'"));
      const String path = tok_.text;
      property_ = path;
      Advance();
      if (!IsSymbol("=")) Unexpected(QStringLiteral("'='"));
      Advance();
      const Value value = ReadValue();
      ApplyProperty(comp, path, value);
      property_.clear();
    }
  }

  void ReadChild(TComponent* parent, int depth) {
    const int line = tok_.line;
    property_.clear();
    if (depth > MaxDepth) Fail(line, QStringLiteral("Objects nested too deeply"));
    String name, className;
    ReadHeader(name, className);
    component_ = name.isEmpty() ? className : name;
    TComponent* comp = into_ ? root_->FindComponent(name) : nullptr;
    if (comp) {
      if (!InheritsFromName(comp->metaObject(), className))
        Fail(line, QStringLiteral("The component is a %1, not a %2").arg(comp->ClassName(), className));
      MarkRead(comp);
    } else {
      const TComponentClass* cls = GetClass(className);
      if (!cls) Fail<EClassNotFound>(line, QStringLiteral("Class %1 not found").arg(className));
      comp = Guard(line, [&] { return cls->Create(root_); });
      if (!comp) Fail(line, QStringLiteral("Class %1 created no component").arg(className));
      if (comp->Owner() != root_) Guard(line, [&] { root_->InsertComponent(comp); });
      MarkRead(comp);
      if (!name.isEmpty()) {
        const THandlerInfo* field = FindField(root_->metaObject(), name);
        if (field && !field->Accepts(comp))
          Fail(line, QStringLiteral("Field %1 of %2 cannot hold a %3")
                         .arg(field->Name, root_->ClassName(), comp->ClassName()));
        Guard(line, [&] { comp->SetName(name); });
      }
    }
    Guard(line, [&] { comp->SetParentComponent(parent); });
    ReadBody(comp, depth);
  }

  // ---- properties

  void ApplyProperty(TComponent* comp, const String& path, const Value& value) {
    const QStringList segments = path.split(QLatin1Char('.'));
    QObject* target = comp;
    for (int i = 0; i + 1 < segments.size(); ++i) {
      const int index = FindProperty(target->metaObject(), segments[i]);
      if (index < 0) Fail(value.line, QStringLiteral("Property %1 does not exist").arg(segments[i]));
      const QMetaProperty p = target->metaObject()->property(index);
      const Kind kind = KindOf(p.metaType());
      if (kind == Kind::Strings && i + 2 == segments.size() &&
          SameText(segments[i + 1], QLatin1String("Strings"))) {
        SetStrings(target, p, value);
        return;
      }
      if (kind != Kind::Object)
        Fail(value.line, QStringLiteral("Property %1 is not an object").arg(segments[i]));
      QObject* next = ObjectOf(Guard(value.line, [&] { return p.read(target); }));
      if (!next) Fail(value.line, QStringLiteral("Property %1 holds no object").arg(segments[i]));
      target = next;
    }
    const String last = segments.last();
    const int index = FindProperty(target->metaObject(), last);
    if (index >= 0) {
      SetProperty(target, target->metaObject()->property(index), value);
      return;
    }
    if (segments.size() == 1) {
      if (const TEventInfo* event = FindEvent(comp->metaObject(), last)) {
        BindEvent(comp, *event, value);
        return;
      }
    }
    Fail(value.line, QStringLiteral("Property %1 does not exist").arg(last));
  }

  void SetStrings(QObject* target, const QMetaProperty& p, const Value& value) {
    if (value.kind != Token::Symbol || value.text != QLatin1String("("))
      Fail(value.line, QStringLiteral("List of strings expected"));
    QStringList lines;
    for (const Value& item : value.items) {
      if (item.kind != Token::Str) Fail(item.line, QStringLiteral("String expected in the list"));
      lines << item.text;
    }
    Guard(value.line, [&] {
      TStrings* strings = StringsOf(p.read(target));
      if (!strings) Fail(value.line, QStringLiteral("Property %1 holds no string list").arg(p.name()));
      strings->BeginUpdate();
      RunFinally(
          [&] {
            strings->Clear();
            strings->AddStrings(lines);
          },
          [strings] { strings->EndUpdate(); });
    });
  }

  qint64 IntegerValue(const QMetaObject* cls, const QMetaProperty& p, const Value& value) {
    if (value.kind == Token::Ident) {
      int v = 0;
      if (IdentToInt(IdentTypeOf(cls, p), value.text, v)) return v;
      Fail(value.line, QStringLiteral("'%1' is not a valid integer value").arg(value.text));
    }
    if (value.kind != Token::Integer) Fail(value.line, QStringLiteral("Integer value expected"));
    qint64 lo = std::numeric_limits<qint32>::min(), hi = std::numeric_limits<qint32>::max();
    IntegerLimits(p.metaType(), lo, hi);
    qint64 v = value.integer;
    // Hexadecimal values fill the bits of a signed 32-bit property ($FF000000).
    if (value.hex && hi == std::numeric_limits<qint32>::max() && v > hi && v <= 0xFFFFFFFFLL)
      v -= 0x100000000LL;
    if (v < lo || v > hi) Fail(value.line, QStringLiteral("Value %1 out of range").arg(value.integer));
    return v;
  }

  void SetProperty(QObject* target, const QMetaProperty& p, const Value& value) {
    const QMetaType mt = p.metaType();
    const Kind kind = KindOf(mt);
    if (kind == Kind::Strings) {
      SetStrings(target, p, value);
      return;
    }
    if (kind == Kind::Unsupported || kind == Kind::Object)
      Fail(value.line, QStringLiteral("Property %1 cannot be set from a resource").arg(p.name()));
    if (!p.isWritable()) Fail(value.line, QStringLiteral("Property %1 is read-only").arg(p.name()));
    const QMetaObject* cls = target->metaObject();
    QVariant v;
    switch (kind) {
      case Kind::Bool:
        if (value.kind == Token::Ident && SameText(value.text, QLatin1String("True")))
          v = true;
        else if (value.kind == Token::Ident && SameText(value.text, QLatin1String("False")))
          v = false;
        else
          Fail(value.line, QStringLiteral("True or False expected"));
        break;
      case Kind::Integer: v = MakeInteger(mt, IntegerValue(cls, p, value)); break;
      case Kind::Enum: {
        const QMetaEnum me = EnumOf(mt);
        if (value.kind == Token::Ident && me.isValid()) {
          bool found = false;
          for (int i = 0; i < me.keyCount() && !found; ++i)
            if (SameText(QString::fromLatin1(me.key(i)), value.text)) {
              v = MakeInteger(mt, me.value(i));
              found = true;
            }
          if (found) break;
          int ident = 0;
          if (!IdentToInt(IdentTypeOf(cls, p), value.text, ident))
            Fail(value.line,
                 QStringLiteral("'%1' is not a value of %2").arg(value.text, QString::fromLatin1(me.name())));
          v = MakeInteger(mt, ident);
        } else {
          const qint64 number = IntegerValue(cls, p, value);
          // Controls index tables by their enumerations: a number that is no
          // member would be read far past them once the form is shown.
          if (me.isValid() && !me.isFlag() && !me.valueToKey(int(number)))
            Fail(value.line,
                 QStringLiteral("%1 is not a value of %2").arg(number).arg(QString::fromLatin1(me.name())));
          v = MakeInteger(mt, number);
        }
        break;
      }
      case Kind::Float:
        if (value.kind == Token::Float)
          v = value.real;
        else if (value.kind == Token::Integer)
          v = double(value.integer);
        else
          Fail(value.line, QStringLiteral("Number expected"));
        v.convert(mt);
        break;
      case Kind::String:
        if (value.kind != Token::Str) Fail(value.line, QStringLiteral("String expected"));
        v = value.text;
        break;
      case Kind::Set: {
        if (value.kind != Token::Symbol || value.text != QLatin1String("["))
          Fail(value.line, QStringLiteral("Set expected"));
        quint64 bits = 0;
        QStringList names;
        ReadSet(Guard(value.line, [&] { return p.read(target); }), bits, names);
        bits = 0;
        for (const String& member : value.members) {
          int ordinal = -1;
          for (int i = 0; i < names.size() && ordinal < 0; ++i)
            if (!names[i].isEmpty() && SameText(names[i], member)) ordinal = i;
          if (ordinal < 0) Fail(value.line, QStringLiteral("'%1' is not a member of the set").arg(member));
          bits |= quint64(1) << ordinal;
        }
        v = MakeSet(mt, bits);
        break;
      }
      case Kind::Component:
        if (value.kind != Token::Ident) Fail(value.line, QStringLiteral("Component name expected"));
        if (!SameText(value.text, QLatin1String("nil"))) {
          fixups_.append({target, p, value.text, value.line, component_, property_});
          return;
        }
        v = QVariant(mt);  // a null pointer
        break;
      default: break;
    }
    const bool written = Guard(value.line, [&] { return p.write(target, v); });
    if (!written) Fail(value.line, QStringLiteral("Invalid property value"));
  }

  void BindEvent(TComponent* comp, const TEventInfo& event, const Value& value) {
    if (value.kind != Token::Ident) Fail(value.line, QStringLiteral("Handler name expected"));
    const THandlerInfo* handler = FindHandler(root_->metaObject(), value.text);
    if (!handler)
      Fail<EMethodNotFound>(value.line,
                            QStringLiteral("Handler %1 not found in %2").arg(value.text, root_->ClassName()));
    if (*handler->Signature != *event.Signature)
      Fail(value.line,
           QStringLiteral("Handler %1 does not match the type of event %2").arg(handler->Name, event.Name));
    Guard(value.line, [&] { event.Set(comp, handler->Bind(root_)); });
    comp->SetEventBinding(event.Name, handler->Name);
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      if (!f.target) continue;
      component_ = f.component;
      property_ = f.path;
      TComponent* ref = root_->FindComponent(f.name);
      if (!ref && (SameText(f.name, rootName_) || SameText(f.name, root_->Name()))) ref = root_;
      if (!ref) Fail(f.line, QStringLiteral("Component %1 not found").arg(f.name));
      const QMetaObject* wanted = f.prop.metaType().metaObject();
      if (wanted && !ref->metaObject()->inherits(wanted))
        Fail(f.line, QStringLiteral("%1 is a %2, not a %3")
                         .arg(f.name, ref->ClassName(), TPersistent::ClassNameOf(*wanted)));
      QObject* object = ref;
      const QVariant v(f.prop.metaType(), &object);
      const bool written = Guard(f.line, [&] { return f.prop.write(f.target, v); });
      if (!written) Fail(f.line, QStringLiteral("Invalid property value"));
    }
  }

  const String s_;
  int pos_ = 0;
  int line_ = 1;
  Token tok_;
  TComponent* const root_;
  const bool into_;
  const String source_;
  String rootName_;              // the root's name in the text
  String component_, property_;  // what is being read, for messages
  QList<QPointer<TComponent>> read_;
  QList<Fixup> fixups_;
};

void ReadComponentRes(const String& text, TComponent* root, const String& sourceName) {
  TResourceReader(text, root, sourceName, false).Read();
}

void ReadComponentResInto(const String& text, TComponent* root, const String& sourceName) {
  TResourceReader(text, root, sourceName, true).Read();
}

// ---------------------------------------------------------------- writer

class TResourceWriter {
 public:
  explicit TResourceWriter(TComponent* root) : root_(root) {}
  ~TResourceWriter() {
    for (auto& d : defaults_) delete d.second;
  }

  String Write() {
    WriteObject(root_, 0);
    return out_;
  }

 private:
  static String Indent(int level) { return String(level * 2, QLatin1Char(' ')); }
  void Line(int level, const String& text) { out_ += Indent(level) + text + QStringLiteral("\r\n"); }

  void WriteObject(TComponent* c, int level) {
    struct WritingFlag {
      TComponent* c;
      explicit WritingFlag(TComponent* comp) : c(comp) { c->state_.Include(csWriting); }
      ~WritingFlag() { c->state_.Exclude(csWriting); }
    } flag(c);
    Line(level, QStringLiteral("object ") +
                    (c->Name().isEmpty() ? String() : c->Name() + QStringLiteral(": ")) + c->ClassName());
    QSet<QObject*> visited;
    WriteProperties(c, DefaultFor(c), String(), level + 1, visited);
    for (const TEventInfo* event : EventsOf(c->metaObject())) {
      const String handler = c->EventBinding(event->Name);
      if (!handler.isEmpty() && event->Assigned(c))
        Line(level + 1, event->Name + QStringLiteral(" = ") + handler);
    }
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* child = root_->Components(i);
      if (child != c && WrittenParent(child) == c) WriteObject(child, level + 1);
    }
    Line(level, QStringLiteral("end"));
  }

  // The object a component is nested in: its parent component when that is
  // the root or owned by it, else the root.
  TComponent* WrittenParent(TComponent* c) const {
    TComponent* p = c->GetParentComponent();
    return p && p != c && (p == root_ || p->Owner() == root_) ? p : root_;
  }

  // A fresh instance of the nearest registered class of `c`, or null.
  QObject* DefaultFor(TComponent* c) {
    for (const QMetaObject* m = c->metaObject(); m; m = m->superClass()) {
      const TComponentClass* cls = GetClass(TPersistent::ClassNameOf(*m));
      if (!cls) continue;
      auto it = defaults_.find(cls->ClassName);
      if (it == defaults_.end()) it = defaults_.emplace(cls->ClassName, cls->Create(nullptr)).first;
      return it->second;
    }
    return nullptr;
  }

  // A property its class declares Q_CLASSINFO("AlwaysStored:<name>", "true")
  // for has no default: it is written whatever its value.
  static bool AlwaysStored(const QMetaObject* mo, const QMetaProperty& p) {
    const int i = mo->indexOfClassInfo(("AlwaysStored:" + QByteArray(p.name())).constData());
    return i >= 0 && qstrcmp(mo->classInfo(i).value(), "true") == 0;
  }

  void WriteProperties(QObject* obj, QObject* def, const String& prefix, int level, QSet<QObject*>& visited) {
    if (visited.contains(obj)) return;
    visited.insert(obj);
    const QMetaObject* mo = obj->metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
      const QMetaProperty p = mo->property(i);
      const String name = QString::fromLatin1(p.name());
      if (prefix.isEmpty() && name == QLatin1String("Name")) continue;
      if (!p.isReadable() || !p.isStored()) continue;
      const Kind kind = KindOf(p.metaType());
      if (kind == Kind::Unsupported) continue;
      const QVariant value = p.read(obj);
      QVariant defValue;
      if (def) {
        const int di = def->metaObject()->indexOfProperty(p.name());
        if (di >= 0) defValue = def->metaObject()->property(di).read(def);
      }
      const String path = prefix + name;
      if (kind == Kind::Object) {
        if (QObject* child = ObjectOf(value))
          WriteProperties(child, ObjectOf(defValue), path + QLatin1Char('.'), level, visited);
        continue;
      }
      if (kind == Kind::Strings) {
        const TStrings* strings = StringsOf(value);
        const TStrings* defStrings = StringsOf(defValue);
        const QStringList lines = strings ? strings->Strings() : QStringList();
        if (!strings || (defValue.isValid() && lines == (defStrings ? defStrings->Strings() : QStringList())))
          continue;
        WriteStrings(path + QStringLiteral(".Strings"), lines, level);
        continue;
      }
      if (!p.isWritable()) continue;
      if (defValue.isValid() && defValue == value && !AlwaysStored(mo, p)) continue;
      const String text = FormatValue(mo, p, kind, value);
      if (!text.isEmpty()) Line(level, path + QStringLiteral(" = ") + text);
    }
  }

  void WriteStrings(const String& path, const QStringList& lines, int level) {
    if (lines.isEmpty()) {
      Line(level, path + QStringLiteral(" = ()"));
      return;
    }
    Line(level, path + QStringLiteral(" = ("));
    for (int i = 0; i < lines.size(); ++i)
      Line(level + 1, Quoted(lines[i]) + (i + 1 == lines.size() ? QStringLiteral(")") : String()));
  }

  // The value as the reader reads it back; empty when it cannot be written.
  String FormatValue(const QMetaObject* cls, const QMetaProperty& p, Kind kind, const QVariant& value) const {
    switch (kind) {
      case Kind::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
      case Kind::Integer:
      case Kind::Enum: {
        const qint64 v = value.toLongLong();
        if (kind == Kind::Enum) {
          const QMetaEnum me = EnumOf(p.metaType());
          if (me.isValid() && me.valueToKey(int(v))) return QString::fromLatin1(me.valueToKey(int(v)));
        }
        String ident;
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max() &&
            IntToIdent(IdentTypeOf(cls, p), int(v), ident))
          return ident;
        return p.metaType().id() == QMetaType::ULongLong || p.metaType().id() == QMetaType::ULong
                   ? QString::number(value.toULongLong())
                   : QString::number(v);
      }
      case Kind::Float: {
        const double d = value.toDouble();
        return std::isfinite(d) ? QString::number(d, 'g', QLocale::FloatingPointShortest) : String();
      }
      case Kind::String: return Quoted(value.toString());
      case Kind::Set: {
        quint64 bits = 0;
        QStringList names, members;
        ReadSet(value, bits, names);
        for (int i = 0; i < names.size(); ++i)
          if (((bits >> i) & 1) && !names[i].isEmpty()) members << names[i];
        return QLatin1Char('[') + members.join(QStringLiteral(", ")) + QLatin1Char(']');
      }
      case Kind::Component: {
        const auto* ref = qobject_cast<const TComponent*>(ObjectOf(value));
        if (!ref) return QStringLiteral("nil");
        if (ref == root_ || (ref->Owner() == root_ && !ref->Name().isEmpty())) return ref->Name();
        return String();  // components of other owners are not streamed
      }
      default: return String();
    }
  }

  // 'text' with '' for quotes and #nn for control characters and unpaired
  // surrogates.
  static String Quoted(const String& s) {
    String out;
    bool open = false;
    for (int i = 0; i < s.size(); ++i) {
      const QChar c = s[i];
      const bool pair = c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate();
      const bool literal = pair || (c.unicode() >= ' ' && c.unicode() != 0x7F && !c.isSurrogate());
      if (literal) {
        if (!open) out += QLatin1Char('\'');
        open = true;
        out += c == QLatin1Char('\'') ? QStringLiteral("''") : String(c);
        if (pair) out += s[++i];
      } else {
        if (open) out += QLatin1Char('\'');
        open = false;
        out += QLatin1Char('#') + QString::number(c.unicode());
      }
    }
    if (open) out += QLatin1Char('\'');
    return out.isEmpty() ? QStringLiteral("''") : out;
  }

  TComponent* const root_;
  String out_;
  std::map<String, TComponent*> defaults_;
};

String WriteComponentRes(TComponent* root) { return TResourceWriter(root).Write(); }

// ---------------------------------------------------------------- resources

String LoadFormResourceText(const String& resourceName) {
  const String folder = QStringLiteral(":/forms/");
  const String wanted = resourceName + QStringLiteral(".dfm");
  String path;
  if (QFile::exists(folder + wanted)) {
    path = folder + wanted;
  } else {
    for (const String& entry : QDir(folder).entryList(QDir::Files))
      if (SameText(entry, wanted)) path = folder + entry;
  }
  bool ok = false;
  const String text = path.isEmpty() ? String() : ReadTextFile(path, &ok);
  if (!ok) throw EResNotFound(QStringLiteral("Resource %1 not found").arg(resourceName));
  return text;
}

bool InitComponentRes(const String& resourceName, TComponent* root) {
  String text;
  try {
    text = LoadFormResourceText(resourceName);
  } catch (const EResNotFound&) {
    qCDebug(lcClassLib) << "no form resource" << resourceName;
    return false;
  }
  ReadComponentRes(text, root, resourceName);
  return true;
}

// ---------------------------------------------------------------- integer idents

void RegisterIntegerIdents(const String& typeName,
                           std::initializer_list<std::pair<const char*, int>> idents) {
  auto& list = IdentRegistry()[LowerCase(typeName)];
  for (const auto& [name, value] : idents) list.append({QString::fromLatin1(name), value});
}

bool IdentToInt(const String& typeName, const String& ident, int& value) {
  if (const auto* list = IdentsOf(typeName))
    for (const auto& entry : *list)
      if (SameText(entry.first, ident)) {
        value = entry.second;
        return true;
      }
  return false;
}

bool IntToIdent(const String& typeName, int value, String& ident) {
  if (const auto* list = IdentsOf(typeName))
    for (const auto& entry : *list)
      if (entry.second == value) {
        ident = entry.first;
        return true;
      }
  return false;
}
