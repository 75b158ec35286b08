#include "EmbeddedWB/Source/HighLightHTML.h"

#include <array>
#include <mutex>
#include <vector>

namespace HighLightHTML {

namespace {

enum Routine : Byte { kEnd, kLineFeed, kReturn, kSpace, kString, kAmp, kTagOpen, kEquals, kTagClose, kWord };

constexpr int kTableSize = 1104;
constexpr int kSlots = 244;

constexpr std::array<Byte, kTableSize> makeTable() {
  std::array<Byte, kTableSize> t{};
  for (auto& r : t) r = kWord;
  for (int c = 1; c <= 32; ++c) t[c] = kSpace;
  t[0] = kEnd;
  t[10] = kLineFeed;
  t[13] = kReturn;
  t['"'] = kString;
  t['&'] = kAmp;
  t['<'] = kTagOpen;
  t['='] = kEquals;
  t['>'] = kTagClose;
  return t;
}
constexpr std::array<Byte, kTableSize> kTable = makeTable();

// Colour index of each token identifier.
constexpr std::array<Byte, 12> kKinds = {11, 1, 2, 3, 4, 11, 5, 6, 7, 8, 9, 10};

const char* const kTagNames[] = {
    "!DOCTYPE",  "A",        "ABBR",      "ACRONYM",   "ADDRESS",   "APPLET",      "AREA",      "B",
    "BASE",      "BASEFONT", "BGSOUND",   "BIG",       "BLINK",     "BLOCKQUOTE",  "BODY",      "BR",
    "BUTTON",    "CAPTION",  "CENTER",    "CITE",      "CODE",      "COL",         "COLGROUP",  "COMMENT",
    "DD",        "DEL",      "DFN",       "DIR",       "DIV",       "DL",          "DT",        "EM",
    "EMBED",     "FIELDSET", "FONT",      "FORM",      "FRAME",     "FRAMESET",    "H1",        "H2",
    "H3",        "H4",       "H5",        "H6",        "HEAD",      "HR",          "HTML",      "I",
    "IFRAME",    "ILAYER",   "IMG",       "INPUT",     "INS",       "ISINDEX",     "KBD",       "KEYGEN",
    "LABEL",     "LAYER",    "LEGEND",    "LI",        "LINK",      "LISTING",     "MAP",       "MARQUEE",
    "MENU",      "META",     "MULTICOL",  "NEXTID",    "NOBR",      "NOEMBED",     "NOFRAMES",  "NOLAYER",
    "NOSCRIPT",  "OBJECT",   "OL",        "OPTION",    "P",         "PARAM",       "PLAINTEXT", "PRE",
    "Q",         "S",        "SAMP",      "SCRIPT",    "SELECT",    "SERVER",      "SMALL",     "SPACER",
    "SPAN",      "STRIKE",   "STRONG",    "STYLE",     "SUB",       "SUP",         "TABLE",     "TBODY",
    "TD",        "TEXTAREA", "TFOOT",     "TH",        "THEAD",     "TITLE",       "TR",        "TT",
    "U",         "UL",       "VAR",       "WBR",       "XMP",       "/A",          "/ABBR",     "/ACRONYM",
    "/ADDRESS",  "/APPLET",  "/B",        "/BIG",      "/BLINK",    "/BLOCKQUOTE", "/BODY",     "/BUTTON",
    "/CAPTION",  "/CENTER",  "/CITE",     "/CODE",     "/COLGROUP", "/COMMENT",    "/DD",       "/DEL",
    "/DFN",      "/DIR",     "/DIV",      "/DL",       "/DT",       "/EM",         "/EMBED",    "/FIELDSET",
    "/FONT",     "/FORM",    "/FRAMESET", "/H1",       "/H2",       "/H3",         "/H4",       "/H5",
    "/H6",       "/HEAD",    "/HTML",     "/I",        "/IFRAME",   "/ILAYER",     "/INS",      "/KBD",
    "/LABEL",    "/LAYER",   "/LEGEND",   "/LI",       "/LISTING",  "/MAP",        "/MARQUEE",  "/MENU",
    "/MULTICOL", "/NOBR",    "/NOEMBED",  "/NOFRAMES", "/NOLAYER",  "/NOSCRIPT",   "/OBJECT",   "/OL",
    "/OPTION",   "/P",       "/PRE",      "/Q",        "/S",        "/SAMP",       "/SCRIPT",   "/SELECT",
    "/SERVER",   "/SMALL",   "/SPAN",     "/STRIKE",   "/STRONG",   "/STYLE",      "/SUB",      "/SUP",
    "/TABLE",    "/TBODY",   "/TD",       "/TEXTAREA", "/TFOOT",    "/TH",         "/THEAD",    "/TITLE",
    "/TR",       "/TT",      "/U",        "/UL",       "/VAR",      "/XMP",
};

const char* const kEntities[] = {
    "&amp;",    "&lt;",     "&gt;",     "&quot;",   "&trade;",  "&nbsp;",   "&copy;",   "&reg;",
    "&Agrave;", "&Aacute;", "&Acirc;",  "&Atilde;", "&Auml;",   "&Aring;",  "&AElig;",  "&Ccedil;",
    "&Egrave;", "&Eacute;", "&Ecirc;",  "&Euml;",   "&Igrave;", "&Iacute;", "&Icirc;",  "&Iuml;",
    "&ETH;",    "&Ntilde;", "&Ograve;", "&Oacute;", "&Ocirc;",  "&Otilde;", "&Ouml;",   "&Oslash;",
    "&Ugrave;", "&Uacute;", "&Ucirc;",  "&Uuml;",   "&Yacute;", "&THORN;",  "&szlig;",  "&agrave;",
    "&aacute;", "&acirc;",  "&atilde;", "&auml;",   "&aring;",  "&aelig;",  "&ccedil;", "&egrave;",
    "&eacute;", "&ecirc;",  "&euml;",   "&igrave;", "&iacute;", "&icirc;",  "&iuml;",   "&eth;",
    "&ntilde;", "&ograve;", "&oacute;", "&ocirc;",  "&otilde;", "&ouml;",   "&oslash;", "&ugrave;",
    "&uacute;", "&ucirc;",  "&uuml;",   "&yacute;", "&thorn;",  "&yuml;",   "&iexcl;",  "&cent;",
    "&pound;",  "&curren;", "&yen;",    "&brvbar;", "&sect;",   "&uml;",    "&ordf;",   "&laquo;",
    "&shy;",    "&macr;",   "&deg;",    "&plusmn;", "&sup2;",   "&sup3;",   "&acute;",  "&micro;",
    "&middot;", "&cedil;",  "&sup1;",   "&ordm;",   "&raquo;",  "&frac14;", "&frac12;", "&frac34;",
    "&iquest;", "&times;",  "&divide",  "&euro;",   "&#9;",     "&#127;",   "&#128;",   "&#129;",
    "&#130;",   "&#131;",   "&#132;",   "&ldots;",  "&#134;",   "&#135;",   "&#136;",   "&#137;",
    "&#138;",   "&#139;",   "&#140;",   "&#141;",   "&#142;",   "&#143;",   "&#144;",   "&#152;",
    "&#153;",   "&#154;",   "&#155;",   "&#156;",   "&#157;",   "&#158;",   "&#159;",   "&#161;",
    "&#162;",   "&#163;",   "&#164;",   "&#165;",   "&#166;",   "&#167;",   "&#168;",   "&#170;",
    "&#175;",   "&#176;",   "&#177;",   "&#178;",   "&#180;",   "&#181;",   "&#183;",   "&#184;",
    "&#185;",   "&#186;",   "&#188;",   "&#189;",   "&#190;",   "&#191;",   "&#215;",
};

// Unit data: the value of each character code for the hash, and the names
// of each slot of the tag table.
std::array<int, kTableSize> gValues{};
std::array<std::vector<QString>, kSlots> gSlots;
std::once_flag gMade;

inline int valueOf(char16_t c) { return c < kTableSize ? gValues[c] : 0; }

// The name equals the key when every character has the key's value (letters
// without case; digits all weigh 0 and are kept apart by the hash).
bool keyComp(const char16_t* name, int length, const QString& key) {
  if (length != key.size()) return false;
  for (int i = 0; i < length; ++i)
    if (valueOf(name[i]) != valueOf(key[i].unicode())) return false;
  return true;
}

// The hash over the leading run of letters, "!" and "/" and the digits
// straight after it; `length` receives the length of both runs.
int keyHash(const char16_t* s, int available, int& length) {
  int hash = 0, i = 0;
  while (i < available && s[i] && valueOf(s[i])) hash += valueOf(s[i++]);
  while (i < available && s[i] >= u'0' && s[i] <= u'9') hash += s[i++] - u'0';
  length = i;
  return hash;
}

}  // namespace

void MakeHashTable() {
  std::call_once(gMade, [] {
    for (int c = 0; c < kTableSize; ++c) {
      if (c >= 'A' && c <= 'Z')
        gValues[c] = c - 'A' + 1;
      else if (c >= 'a' && c <= 'z')
        gValues[c] = c - 'a' + 1;
      else if (c == '!')
        gValues[c] = 123;
      else if (c == '/')
        gValues[c] = 122;
    }
    for (const char* n : kTagNames) {
      const QString name = QString::fromLatin1(n);
      int length = 0;
      gSlots[keyHash(reinterpret_cast<const char16_t*>(name.utf16()), int(name.size()), length)].push_back(
          name);
    }
  });
}

void initialize() { MakeHashTable(); }

const QStringList& TagNames() {
  static const QStringList names = [] {
    QStringList l;
    for (const char* n : kTagNames) l << QString::fromLatin1(n);
    return l;
  }();
  return names;
}

const QStringList& Entities() {
  static const QStringList entities = [] {
    QStringList l;
    for (const char* e : kEntities) l << QString::fromLatin1(e);
    return l;
  }();
  return entities;
}

int TagHash(QStringView Name) {
  MakeHashTable();
  int length = 0;
  return keyHash(reinterpret_cast<const char16_t*>(Name.utf16()), int(Name.size()), length);
}

QStringList TagSlot(int Slot) {
  MakeHashTable();
  if (Slot < 0 || Slot >= kSlots) return {};
  return QStringList(gSlots[Slot].begin(), gSlots[Slot].end());
}

THighlightHTML::THighlightHTML() {
  MakeHashTable();
  FRange2 = rsStart;
  FRange = Cardinal(-1);
}

bool THighlightHTML::GetEol() { return FTokenID == 5; }

int THighlightHTML::GetTokenKind() { return FTokenID < kKinds.size() ? kKinds[FTokenID] : 11; }

void THighlightHTML::Next() {
  FTokenPos = Run;
  switch (FRange2) {
    case rsServerScript: EndedRange(u"%", 1); break;
    case rsComment: EndedRange(u"--", 2); break;
    case rsText: TextRange(); break;
    default: Dispatch(); break;
  }
}

void THighlightHTML::Dispatch() {
  const char16_t c = At(Run);
  switch (c < kTableSize ? kTable[c] : Byte(kWord)) {
    case kEnd: FTokenID = 5; break;
    case kLineFeed:
      FTokenID = 6;
      ++Run;
      break;
    case kReturn:
      FTokenID = 6;
      SkipReturn();
      break;
    case kSpace:
      FTokenID = 6;
      SkipBlanks();
      break;
    case kString: StringRoutine(); break;
    case kAmp: EntityRoutine(); break;
    case kTagOpen: TagOpen(); break;
    case kEquals:
      FTokenID = 8;
      FRange2 = rsValue;
      ++Run;
      break;
    case kTagClose:
      FTokenID = 8;
      FRange2 = rsText;
      ++Run;
      break;
    default: WordRoutine(); break;
  }
}

void THighlightHTML::TagOpen() {
  ++Run;
  if (At(Run) == u'!' && At(Run + 1) == u'-' && At(Run + 2) == u'-') {
    FTokenID = 2;
    FRange2 = rsComment;
    Run += 3;
  } else if (At(Run) == u'%') {
    FTokenID = 1;
    FRange2 = rsServerScript;
    ++Run;
  } else {
    FTokenID = 8;
    FRange2 = rsTagName;
  }
}

// Server script and comment: up to a ">" right after `before`, which is
// taken and returns to text.
void THighlightHTML::EndedRange(const char16_t* before, int beforeLength) {
  char16_t c = At(Run);
  if (c == 0 || c == 10 || c == 13) return Dispatch();
  FTokenID = FRange2 == rsServerScript ? 1 : 2;
  while (c && c != 10 && c != 13) {
    if (c == u'>' && Run >= beforeLength &&
        QStringView(FLine + Run - beforeLength, beforeLength) == QStringView(before, beforeLength)) {
      ++Run;
      FRange2 = rsText;
      return;
    }
    c = At(++Run);
  }
}

void THighlightHTML::StringRoutine() {
  if (FRange2 == rsValue) {
    FTokenID = 11;
    FRange2 = rsInTag;
  } else {
    FTokenID = 7;
  }
  char16_t c = At(++Run);
  while (c && c != 10 && c != 13 && c != u'"') c = At(++Run);
  if (c == u'"') ++Run;
}

void THighlightHTML::EntityRoutine() {
  const int pending = AndCode();
  if (pending >= 0) {
    FTokenID = 0;
    Run += int(Entities()[pending].size());
  }
  FRange = Cardinal(-1);
  FRange2 = rsText;
}

void THighlightHTML::WordRoutine() {
  if (FRange2 == rsTagName) {
    FRange2 = rsInTag;
    FTokenID = IdentKind();
    return;
  }
  char16_t c = At(++Run);
  if (FRange2 == rsValue) {
    FTokenID = 11;
    FRange2 = rsInTag;
    while (c >= 33 && c != u'>') c = At(++Run);
  } else {
    FTokenID = 3;
    while (c >= 33 && c != u'"' && c != u'=' && c != u'>') c = At(++Run);
  }
}

Byte THighlightHTML::IdentKind() {
  const char16_t* name = FLine + Run;
  const int hash = keyHash(name, FLength - Run, FStringLen);
  Run += FStringLen;
  if (hash >= kSlots) return 3;
  for (const QString& key : gSlots[hash])
    if (keyComp(name, FStringLen, key)) return 4;
  return 10;
}

// The first entity that the text at `at` begins with (ASCII letters without
// case), -1 for none.
int THighlightHTML::MatchEntity(int at) const {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
  const QStringList& entities = Entities();
  for (int i = 0; i < entities.size(); ++i) {
    const QString& e = entities[i];
    if (e.size() > FLength - at) continue;
    int k = 1;  // both begin with "&"
    while (k < e.size() && lower(FLine[at + k]) == lower(e[k].unicode())) ++k;
    if (k == e.size()) return i;
  }
  return -1;
}

void THighlightHTML::TextRange() {
  char16_t c = At(Run);
  if (c < 32 || c == u'<') return Dispatch();
  FTokenID = 9;
  while (c >= 32 && c != u'<') {
    if (c == u'&') {
      const int entity = MatchEntity(Run);
      if (entity >= 0) {
        FRange = Cardinal(entity);
        FRange2 = rsStart;
        return;
      }
    }
    c = At(++Run);
  }
}

}  // namespace HighLightHTML
