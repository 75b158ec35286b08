#include "EmbeddedWB/Source/HighLightXML.h"

#include <array>

namespace HighLightXML {

namespace {

enum Routine : Byte { kEnd, kLineFeed, kReturn, kSpace, kTagOpen, kTagClose, kRange };

// The routine of each character code 0..1103; codes above take the range routine.
constexpr int kTableSize = 1104;
constexpr std::array<Byte, kTableSize> makeTable() {
  std::array<Byte, kTableSize> t{};
  for (auto& r : t) r = kRange;
  for (int c = 1; c <= 32; ++c) t[c] = kSpace;
  t[0] = kEnd;
  t[10] = kLineFeed;
  t[13] = kReturn;
  t['<'] = kTagOpen;
  t['>'] = kTagClose;
  return t;
}
constexpr std::array<Byte, kTableSize> kTable = makeTable();

constexpr bool isNameChar(char16_t c) {
  return c == '-' || c == '.' || (c >= '0' && c <= ':') || (c >= 'A' && c <= 'Z') || c == '_' ||
         (c >= 'a' && c <= 'z');
}

// Colour index of each token identifier.
constexpr std::array<Byte, 22> kKinds = {1, 1, 2, 10, 11, 1, 6, 7, 6, 7, 2, 3, 9, 10, 4, 3, 8, 9, 4, 5, 5, 8};

}  // namespace

THighlightXML::THighlightXML() { SetRange(rsText); }

bool THighlightXML::GetEol() { return FTokenID == 0; }

int THighlightXML::GetTokenKind() { return FTokenID < kKinds.size() ? kKinds[FTokenID] : 1; }

void THighlightXML::Next() {
  FTokenPos = Run;
  switch (Range()) {
    case rsText: TextRange(); break;
    case rsCharData: EndedRange(u']', rsText); break;
    case rsProcessingInstruction: EndedRange(u'?', rsText); break;
    case rsComment: CommentRange(); break;
    case rsDeclaration: EndedRange(u']', rsAttributeName); break;
    default: Dispatch(); break;
  }
}

bool THighlightXML::Follows(int at, const char16_t* what) const {
  for (int i = 0; what[i]; ++i)
    if (At(at + i) != what[i]) return false;
  return true;
}

void THighlightXML::Dispatch() {
  const char16_t c = At(Run);
  switch (c < kTableSize ? kTable[c] : Byte(kRange)) {
    case kEnd: FTokenID = 0; break;
    case kLineFeed:
      FTokenID = 13;
      ++Run;
      break;
    case kReturn:
      FTokenID = 13;
      SkipReturn();
      break;
    case kSpace:
      FTokenID = 13;
      SkipBlanks();
      break;
    case kTagOpen: TagOpen(); break;
    case kTagClose:
      FTokenID = 12;
      SetRange(rsText);
      ++Run;
      break;
    default: RangeRoutine(); break;
  }
}

void THighlightXML::RangeRoutine() {
  switch (Range()) {
    case rsElement: ElementName(); break;
    case rsAttribute:
    case rsNsAttribute: Separator(); break;
    case rsAttributeName: AttributeName(); break;
    case rsDoubleQuoted:
    case rsNsDoubleQuoted: QuotedValue(u'"'); break;
    case rsSingleQuoted:
    case rsNsSingleQuoted: QuotedValue(u'\''); break;
    case rsDoubleQuotedEntity:
    case rsSingleQuotedEntity:
    case rsNsDoubleQuotedEntity:
    case rsNsSingleQuotedEntity: ValueEntity(); break;
    case rsTextEntity: TextEntity(); break;
    default:
      // The other ranges scan on their own; one character keeps the scan going.
      FTokenID = 12;
      ++Run;
      break;
  }
}

void THighlightXML::TagOpen() {
  ++Run;
  if (At(Run) == u'/') ++Run;
  const char16_t c = At(Run);
  if (c == u'!') {
    if (Follows(Run + 1, u"--")) {
      FTokenID = 12;
      SetRange(rsComment);
      Run += 3;
    } else if (Follows(Run + 1, u"DOCTYPE")) {
      FTokenID = 21;
      SetRange(rsDeclaration);
      Run += 8;
    } else if (Follows(Run + 1, u"[CDATA[")) {
      FTokenID = 4;
      SetRange(rsCharData);
      Run += 8;
    } else {
      FTokenID = 12;
      SetRange(rsElement);
      ++Run;
    }
  } else if (c == u'?') {
    FTokenID = 6;
    SetRange(rsProcessingInstruction);
    ++Run;
  } else {
    FTokenID = 12;
    SetRange(rsElement);
  }
}

void THighlightXML::CommentRange() {
  if (Follows(Run, u"-->")) {
    FTokenID = 12;
    SetRange(rsText);
    Run += 3;
    return;
  }
  char16_t c = At(Run);
  if (c == 0 || c == 10 || c == 13) return Dispatch();
  FTokenID = 7;
  while (c && c != 10 && c != 13 && !(c == u'-' && Follows(Run + 1, u"->"))) c = At(++Run);
}

// Processing instructions, character data and declarations: up to a ">"
// right after `before`, which is taken and ends the range.
void THighlightXML::EndedRange(char16_t before, TRange after) {
  char16_t c = At(Run);
  if (c == 0 || c == 10 || c == 13) return Dispatch();
  FTokenID = Range() == rsProcessingInstruction ? 6 : Range() == rsCharData ? 4 : 21;
  while (c && c != 10 && c != 13) {
    if (c == u'>' && Run > 0 && FLine[Run - 1] == before) {
      ++Run;
      SetRange(after);
      return;
    }
    c = At(++Run);
  }
}

void THighlightXML::ElementName() {
  if (At(Run) == u'/') ++Run;
  while (isNameChar(At(Run))) ++Run;
  FTokenID = 1;
  SetRange(rsAttributeName);
}

void THighlightXML::AttributeName() {
  const char16_t c = At(Run);
  if (c == u'"' || c == u'\'') {
    FTokenID = 12;
    ++Run;
    return;
  }
  const int start = Run;
  while (isNameChar(At(Run))) ++Run;
  if (QStringView(FText).mid(start, Run - start).contains(u"xmlns")) {
    FTokenID = 15;
    SetRange(rsNsAttribute);
  } else {
    FTokenID = 2;
    SetRange(rsAttribute);
  }
}

void THighlightXML::Separator() {
  const bool ns = Range() == rsNsAttribute;
  FTokenID = ns ? 20 : 14;
  for (char16_t c = At(Run); c && c != 10 && c != 13; c = At(Run)) {
    ++Run;
    if (c == u'/') {
      FTokenID = 12;
      SetRange(rsElement);
      return;
    }
    if (c == u'"') return SetRange(ns ? rsNsDoubleQuoted : rsDoubleQuoted);
    if (c == u'\'') return SetRange(ns ? rsNsSingleQuoted : rsSingleQuoted);
  }
}

void THighlightXML::QuotedValue(char16_t quote) {
  const bool ns = Range() == rsNsDoubleQuoted || Range() == rsNsSingleQuoted;
  const bool dq = quote == u'"';
  FTokenID = dq ? (ns ? 16 : 8) : (ns ? 17 : 9);
  char16_t c = At(Run);
  while (c && c != 10 && c != 13 && c != quote && c != u'&') c = At(++Run);
  if (c == u'&')
    SetRange(dq ? (ns ? rsNsDoubleQuotedEntity : rsDoubleQuotedEntity)
                : (ns ? rsNsSingleQuotedEntity : rsSingleQuotedEntity));
  else if (c == quote)
    SetRange(rsAttributeName);
}

// Characters above code 32 up to and with a ";".
int THighlightXML::EntityEnd(int run) const {
  char16_t c = At(run);
  while (c > 32 && c != u';') c = At(++run);
  return c == u';' ? run + 1 : run;
}

void THighlightXML::ValueEntity() {
  TRange back = rsDoubleQuoted;
  switch (Range()) {
    case rsDoubleQuotedEntity: FTokenID = 10, back = rsDoubleQuoted; break;
    case rsSingleQuotedEntity: FTokenID = 11, back = rsSingleQuoted; break;
    case rsNsDoubleQuotedEntity: FTokenID = 18, back = rsNsDoubleQuoted; break;
    default: FTokenID = 19, back = rsNsSingleQuoted; break;
  }
  Run = EntityEnd(Run);
  SetRange(back);
}

void THighlightXML::TextEntity() {
  FTokenID = 5;
  Run = EntityEnd(Run);
  SetRange(rsText);
}

void THighlightXML::TextRange() {
  char16_t c = At(Run);
  if (c < 32 || c == u'<') return Dispatch();
  FTokenID = 3;
  while (c >= 32 && c != u'<' && c != u'&') c = At(++Run);
  if (c == u'&') SetRange(rsTextEntity);
}

}  // namespace HighLightXML
