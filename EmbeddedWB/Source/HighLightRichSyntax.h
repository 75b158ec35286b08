#pragma once
// Turns a source text into a coloured RTF document: the fixed parts of the
// document (header, font table, colour table, paragraph defaults) and the
// writing loop. A concrete colouring class supplies the scanner that cuts the
// text into tokens and the colour index of each token; the base alone is a
// scanner without tokens.
#include <QByteArray>
#include <QStringView>

#include <memory>
#include <vector>

#include "platform/classlib/Graphics.h"
#include "platform/rtl/Classes.h"

namespace HighLightRichSyntax {

class THighlightRichSyntax : public TObject {
 public:
  // Courier New in the font table, code page 1252, no colour table yet.
  THighlightRichSyntax();
  ~THighlightRichSyntax() override = default;

  // Escapes a token's text for the document; the base leaves it unchanged.
  virtual void PrepareToken(String& Token);
  // "\cf<kind> <token>".
  virtual void EmitToken(int Kind, const String& Token, String& Rtf);
  virtual void Next();
  virtual bool GetEol();
  virtual String GetToken();
  virtual int GetTokenKind();
  // "\redR\greenG\blueB;" of the colour (system colours resolved).
  virtual String ColorToRtf(TColor Color);
  // Starts scanning a text; the scanning state other than the position
  // carries over from an earlier text.
  virtual void SetLine(const String& Text, int LineNumber);
  virtual void ResetColors();

  // The whole text scanned as one line. The object keeps a reference to the
  // text until the document is written.
  void SetSource(const String& Text);
  // One entry per font, with the character set, pitch and family of the face
  // the system really matched for it.
  void WriteFontTable(const std::vector<TFont*>& Fonts);
  // Index 0 is always black; the colour at array position k has index k + 1.
  void WriteColorTable(const std::vector<TColor>& Colors);
  void WriteRtf(TStream* Stream);
  // The document, one character per written byte.
  String GetRtf();

  const String& FontTable() const { return FFontTable; }
  const String& ColorTable() const { return FColorTable; }

  // Appends text to the document in its code page: characters below 128 as
  // they are (other control characters than TAB, CR and LF as \'hh), those
  // of code page 1252 as \'hh, every other one as \uN? so none is lost.
  static void AppendText(QByteArray& Out, QStringView Text);

 protected:
  // Writes the current token into the document. The colouring classes
  // replace it with a pass that builds no intermediate strings; it must write
  // what PrepareToken and EmitToken would.
  virtual void AppendToken(QByteArray& Out);
  // The token rules the HTML and XML scanners share: "//" comments take
  // kind 2, a kind-10 token in double quotes takes kind 6, "\", "{" and "}"
  // are escaped, and a CR LF or CR token starts a new paragraph.
  static int SharedTokenKind(int Kind, QStringView Token);
  static void SharedPrepareToken(String& Token);
  static void AppendSharedToken(QByteArray& Out, int Kind, QStringView Token);

  String FHeader;
  String FHeaderEnd;
  String FDocStart;
  String FColorTable;
  String FFontTable;
  Integer FCodePage = 1252;
  Cardinal FRange = 0;
};

// What the HTML and XML scanners share: the text scanned as one line, the
// position and token start, the escaping and kind rules of their tokens and
// their colour table.
class TSourceScanner : public THighlightRichSyntax {
 public:
  TSourceScanner();
  void PrepareToken(String& Token) override;
  void EmitToken(int Kind, const String& Token, String& Rtf) override;
  String GetToken() override;
  void SetLine(const String& Text, int LineNumber) override;
  void ResetColors() override;

 protected:
  void AppendToken(QByteArray& Out) override;
  // The character at i; 0 only past the end (a NUL inside the text reads as
  // 1, an ordinary control character).
  char16_t At(int i) const {
    if (i >= FLength) return 0;
    const char16_t c = FLine[i];
    return c ? c : 1;
  }
  // A run of blanks and control characters other than TAB, LF and CR after
  // the first one.
  void SkipBlanks() {
    ++Run;
    for (char16_t s = At(Run); s >= 1 && s <= 32 && s != 9 && s != 10 && s != 13; s = At(++Run)) {
    }
  }
  // CR, with a following LF.
  void SkipReturn() {
    if (At(++Run) == 10) ++Run;
  }

  String FText;
  const char16_t* FLine = nullptr;
  int FLength = 0;
  int Run = 0;
  int FTokenPos = 0;
  int FLineNumber = 0;
};

// The eleven colours of the HTML and XML colouring.
const std::vector<TColor>& SourceColors();

}  // namespace HighLightRichSyntax
