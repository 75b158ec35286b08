#include "platform/mshtml/EditCommands_p.h"

#include "platform/com/Variant.h"
#include "platform/mshtml/Log_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QVariant>
#include <QWebEnginePage>

namespace {

// The commands whose element needs an address; the engine has no dialog of
// its own to ask for it.
bool asksForAddress(const QString& name) {
  return name == QLatin1String("createlink") || name == QLatin1String("insertimage");
}

// The engine knows no radio-button command: the button is written over the
// selection as markup, so it is undone like any other edit and is only done
// where the page is editable.
const char kInsertRadio[] =
    "(function (a) {"
    "  var s = document.getSelection();"
    "  if (!s || !s.rangeCount) return false;"
    "  var e = document.createElement('input');"
    "  e.type = 'radio';"
    "  if (a[1]) e.id = a[1];"
    "  return document.execCommand('insertHTML', false, e.outerHTML);"
    "})(%1)";
const char kEngineCommand[] = "(function (a) { return document.execCommand(a[0], false, a[1]); })(%1)";

HRESULT answer(VARIANT_BOOL* pfRet, bool done) {
  if (pfRet) *pfRet = done ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

}  // namespace

HRESULT RunEditCommand(QWebEnginePage* page, const TLiveDocumentHost& host, const String& command,
                       bool showUI, const VARIANT& value, VARIANT_BOOL* pfRet) {
  if (pfRet) *pfRet = VARIANT_FALSE;
  const QPointer<QWebEnginePage> guard(page);
  if (!page) return E_UNEXPECTED;
  // Command names are without case, as the engine takes them.
  const QString name = command.toLower();
  const bool empty = value.vt == VT_EMPTY || value.vt == VT_NULL || value.vt == VT_ERROR;
  QJsonValue argument = empty ? QJsonValue() : QJsonValue(VarToStr(value));

  if (showUI && asksForAddress(name)) {
    // Only a text value is an address to start from (a number is no address).
    String address = value.vt == VT_BSTR ? VarToStr(value) : String();
    if (!host.AskEditAddress || !host.AskEditAddress(command, address)) return answer(pfRet, false);
    // The page may have gone while the user was asked.
    if (!guard) return E_UNEXPECTED;
    address = address.trimmed();
    if (address.isEmpty()) return answer(pfRet, false);
    argument = address;
  } else if (name == QLatin1String("insertinputradio")) {
    argument = value.vt == VT_BSTR ? QJsonValue(VarToStr(value)) : QJsonValue();
  }

  const QString arguments =
      QString::fromUtf8(QJsonDocument(QJsonArray{name, argument}).toJson(QJsonDocument::Compact));
  const char* script = name == QLatin1String("insertinputradio") ? kInsertRadio : kEngineCommand;
  QVariant done;
  if (!RunPageScript(guard, QString::fromLatin1(script).arg(arguments), &done)) {
    qCDebug(lcMsHtml) << "the page did not answer the editing command" << command;
    return guard ? E_FAIL : E_UNEXPECTED;
  }
  return answer(pfRet, done.toBool());
}
