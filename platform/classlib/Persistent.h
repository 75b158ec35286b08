#pragma once
// The base of every object whose published properties can be streamed: a
// QObject, so that published properties are Qt properties readable and
// writable by name.
#include <QMetaObject>
#include <QObject>

#include "platform/rtl/Classes.h"

class TPersistent : public QObject, public TObject {
  Q_OBJECT
 public:
  explicit TPersistent(QObject* parent = nullptr) : QObject(parent) {}
  // The class name without the namespace the class is declared in
  // ("Menu::TMyMenuForm" is "TMyMenuForm"), as forms and the class registry name it.
  String ClassName() const override { return ClassNameOf(*metaObject()); }
  static String ClassNameOf(const QMetaObject& meta) {
    const String qualified = String::fromLatin1(meta.className());
    const int colons = qualified.lastIndexOf(QLatin1String("::"));
    return colons < 0 ? qualified : qualified.mid(colons + 2);
  }

  // Copies `source` into this object. The default asks `source` to assign
  // itself to this object and raises EConvertError when it cannot.
  virtual void Assign(TPersistent* source) {
    if (source) {
      source->AssignTo(this);
      return;
    }
    throw EConvertError(QStringLiteral("Cannot assign a nil to a %1").arg(ClassName()));
  }

 protected:
  virtual void AssignTo(TPersistent* dest) {
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2")
                            .arg(ClassName(), dest ? dest->ClassName() : QStringLiteral("nil")));
  }
};
