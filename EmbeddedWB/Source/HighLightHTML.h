#pragma once
// HTML colouring: a character-driven scanner over the whole text that
// recognises tag names through a keyword hash (244 slots, generated from the
// known names) and character entities in text.
#include "EmbeddedWB/Source/HighLightRichSyntax.h"

#include <QStringList>

namespace HighLightHTML {

class THighlightHTML : public HighLightRichSyntax::THighlightRichSyntax {
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

  void PrepareToken(String& Token) override;
  void EmitToken(int Kind, const String& Token, String& Rtf) override;
  void Next() override;
  bool GetEol() override;
  String GetToken() override;
  int GetTokenKind() override;
  void SetLine(const String& Text, int LineNumber) override;
  void ResetColors() override;

  // The token identifier of the current token (5 = end of the text).
  Byte TokenId() const { return FTokenID; }
  TRange Range() const { return FRange2; }
  // The entity waiting to be emitted, -1 for none.
  int AndCode() const { return int(FRange); }

 protected:
  void AppendToken(QByteArray& Out) override;

 private:
  char16_t At(int i) const {
    if (i >= FLength) return 0;
    const char16_t c = FLine[i];
    return c ? c : 1;
  }
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
  String FText;
  const char16_t* FLine = nullptr;
  int FLength = 0;
  int Run = 0;
  int FStringLen = 0;
  int FTokenPos = 0;
  Byte FTokenID = 9;
  int FLineNumber = 0;
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
