#pragma once
// XML colouring: a character-driven scanner over the whole text whose range
// (element, attribute, value, entity, text, character data, processing
// instruction, comment, namespace forms, declaration) carries over from token
// to token.
#include "EmbeddedWB/Source/HighLightRichSyntax.h"

namespace HighLightXML {

class THighlightXML : public HighLightRichSyntax::TSourceScanner {
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

  void Next() override;
  bool GetEol() override;
  int GetTokenKind() override;

  // The token identifier of the current token (0 = end of the text).
  Byte TokenId() const { return FTokenID; }
  TRange Range() const { return TRange(FRange & 0xFF); }

 private:
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

  Byte FTokenID = 3;
};

}  // namespace HighLightXML
