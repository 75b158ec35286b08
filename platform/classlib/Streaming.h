#pragma once
// Form resources: the text form of a component tree, its published property
// values and its event bindings, read when a form is created and written to
// clone a live tree.
//
//   object MyMenuForm: TMyMenuForm
//     Caption = 'It''s a caption'#13#10'second line'
//     Font.Height = -11                 nested persistent object, dotted path
//     Anchors = [akLeft, akTop]         typed set (TSet<E>), member names
//     Align = alClient                  enumeration (Q_ENUM), member name
//     Color = clBtnFace                 integer written through registered idents
//     Items.Strings = (                 string list (TStrings* property)
//       'one'
//       'two')
//     ActiveControl = URLEdit           component reference: a component's name
//     OnCreate = FormCreate             event bound to a handler of the form
//     object TopPanel: TPanel           owned by the root, parent component: the
//       Height = 33                     object it is nested in
//     end
//   end
//
// Values: integers (decimal, negative, hexadecimal "$1F"), floats, strings in
// single quotes ('' for a quote, #nn / #$hh for a character code, pieces joined
// directly or with "+" across lines), identifiers (True/False, enumeration
// members, registered integer idents, component names, handler names, nil),
// sets "[..]", lists "( .. )" of strings. Names of properties, members and
// handlers are matched case-insensitively.
//
// Published properties are Qt properties of these types: bool; the integer
// types; double/float; QString; Q_ENUM / Q_ENUM_NS enumerations; TSet<E>;
// TStrings* / TStringList* (a string list the property's getter answers; the
// reader fills it); a pointer to a TPersistent that is not a component (a
// nested object the getter answers, streamed by dotted path); a pointer to a
// component (a reference, streamed as the component's name). Published events
// come from the event tables, handlers and fields from the handler tables
// (Components.h).
//
// Integers with names (colours, cursors): RegisterIntegerIdents(typeName, ...)
// registers the names of an integer type. A property uses them when its type is
// a distinct type of that name (an enumeration such as `enum TColor : int32_t`),
// or, for a plain integer property, when its class declares the property's
// type in class info: Q_CLASSINFO("IdentType:Color", "TColor").
#include <initializer_list>
#include <utility>

#include "platform/classlib/Components.h"

NOCTIVANE_DECLARE_EXCEPTION(EResNotFound, Exception)  // "Resource %s not found"

// Reads `text` onto `root`, the form (or other component) being constructed;
// call it once the root object is fully constructed. The root object's
// properties are applied to `root` (its class in the text must be the root's
// class or a base class of it; an unnamed root takes the text's name, made
// unique among its owner's components with "_1", "_2", ...; a named root keeps
// its name). Each nested
// object is created by its class's factory, owned by `root`, named, given its
// parent component (SetParentComponent) and then its properties. csLoading and
// csReading are set on every component read; after the whole tree is read and
// the component references resolved, Loaded() runs once on each of them (the
// root first, then in reading order).
// Errors raise EFilerError (or its EClassNotFound / EMethodNotFound) with a
// message naming `sourceName` (default: the root's class name), the line, the
// component and the property; components created before the error stay owned
// by the root.
void ReadComponentRes(const String& text, TComponent* root, const String& sourceName = String());
// The same onto a root that already holds its components (created by its own
// form resource): a nested object whose name the root already owns is applied
// to that component instead of creating a new one. References to the root's
// name in the text mean the root, whatever its own name.
void ReadComponentResInto(const String& text, TComponent* root, const String& sourceName = String());

// Writes the tree of `root`: the root, then the components it owns, each
// nested in the object of its parent component (GetParentComponent(), the
// root when null), in creation order. Written: every stored property whose
// value differs from that of a fresh instance of the nearest registered class
// (all stored properties when no class in its ancestry is registered), nested
// objects by dotted path, and event bindings by handler name. A property its
// class marks with Q_CLASSINFO("AlwaysStored:<name>", "true") is written
// whatever its value.
String WriteComponentRes(TComponent* root);

// The text of the form resource `resourceName`, compiled into the program as
// ":/forms/<resourceName>.dfm" (qt_add_resources with PREFIX "/forms"); the
// name is matched case-insensitively. Raises EResNotFound "Resource %s not
// found" when absent.
String LoadFormResourceText(const String& resourceName);
// Reads the form resource `resourceName` onto `root` (ReadComponentRes).
// Answers false, reading nothing, when there is no such resource.
bool InitComponentRes(const String& resourceName, TComponent* root);

// Names of integer values of an integer type ("TColor": clBlack = 0, ...),
// used to stream such properties (see above). Registering a type again adds
// to its names. When several names share a value, the first registered is the
// one written.
void RegisterIntegerIdents(const String& typeName, std::initializer_list<std::pair<const char*, int>> idents);
bool IdentToInt(const String& typeName, const String& ident, int& value);  // case-insensitive
bool IntToIdent(const String& typeName, int value, String& ident);
