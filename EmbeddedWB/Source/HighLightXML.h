#pragma once
// XML colouring: a character-driven scanner over the whole text whose range
// (element, attribute, value, entity, text, character data, processing
// instruction, comment, namespace forms, declaration) carries over from token
// to token.
#include "EmbeddedWB/Source/HighLightRichSyntax.h"

namespace HighLightXML {

class THighlightXML : public HighLightRichSyntax::THighlightRichSyntax {
 public:
  // Ranges, as stored.
  enum TRange : Byte {
    rsElement,
    rsAttribute,
    rsAttributeName,
    rsDoubleQuoted,
    rsSingleQuoted,
    rsDoubleQuotedEntity,
    rsSingleQuotedEntity,
    rsText,
    rsCharData,
    rsTextEntity,
    rsProcessingInstruction,
    rsComment,
    rsNsAttribute,
    rsNsDoubleQuoted,
    rsNsSingleQuoted,
    rsNsDoubleQuotedEntity,
    rsNsSingleQuotedEntity,
    rsDeclaration
  };

  THighlightXML();

  void PrepareToken(String& Token) override;
  void EmitToken(int Kind, const String& Token, String& Rtf) override;
  void Next() override;
  bool GetEol() override;
  String GetToken() override;
  int GetTokenKind() override;
  void SetLine(const String& Text, int LineNumber) override;
  void ResetColors() override;

  // The token identifier of the current token (0 = end of the text).
  Byte TokenId() const { return FTokenID; }
  TRange Range() const { return TRange(FRange & 0xFF); }

 protected:
  void AppendToken(QByteArray& Out) override;

 private:
  // The character at i; 0 only past the end (a NUL inside the text reads as 1).
  char16_t At(int i) const {
    if (i >= FLength) return 0;
    const char16_t c = FLine[i];
    return c ? c : 1;
  }
  void SetRange(TRange r) { FRange = r; }
  void Dispatch();
  void RangeRoutine();
  void TagOpen();
  void CommentRange();
  void EndedRange(char16_t before, TRange after);
  void ElementName();
  void AttributeName();
  void Separator();
  void QuotedValue(char16_t quote);
  void ValueEntity();
  void TextEntity();
  int EntityEnd(int run) const;
  void TextRange();
  bool Follows(int at, const char16_t* what) const;

  String FText;
  const char16_t* FLine = nullptr;
  int FLength = 0;
  int Run = 0;
  int FTokenPos = 0;
  Byte FTokenID = 3;
  int FLineNumber = 0;
};

}  // namespace HighLightXML
