#pragma once
// HTML colouring: a character-driven scanner over the whole text that
// recognises tag names through a keyword hash (244 slots, generated from the
// known names) and character entities in text.
#include "EmbeddedWB/Source/HighLightRichSyntax.h"

#include <QStringList>

namespace HighLightHTML {

class THighlightHTML : public HighLightRichSyntax::TSourceScanner {
 public:
  // Ranges, as stored.
  enum TRange : Byte {
    rsStart,  // also: an entity is pending
    rsServerScript,
    rsComment,
    rsTagName,
    rsInTag,
    rsText,
    rsValue = 7
  };

  THighlightHTML();

  void Next() override;
  bool GetEol() override;
  int GetTokenKind() override;

  // The token identifier of the current token (5 = end of the text).
  Byte TokenId() const { return FTokenID; }
  TRange Range() const { return FRange2; }
  // The entity waiting to be emitted, -1 for none.
  int AndCode() const { return int(FRange); }

 private:
  void Dispatch();
  void TagOpen();
  void EndedRange(const char16_t* before, int beforeLength);
  void StringRoutine();
  void EntityRoutine();
  void WordRoutine();
  void TextRange();
  Byte IdentKind();
  int MatchEntity(int at) const;

  TRange FRange2 = rsStart;
  int FStringLen = 0;
  Byte FTokenID = 9;
};

// The tag names the recogniser knows (198: the opening names and the closing
// forms with a leading "/"), and the hash of a name as the recogniser
// computes it (letters 1 to 26 without case, "!" 123, "/" 122, then the
// digits' values). Names are in upper case.
const QStringList& TagNames();
int TagHash(QStringView Name);
// The names of one of the 244 slots of the tag table.
QStringList TagSlot(int Slot);
// The entities recognised in text, in the order they are searched.
const QStringList& Entities();

// Fills the character values and the tag table (idempotent).
void MakeHashTable();
void initialize();

}  // namespace HighLightHTML
