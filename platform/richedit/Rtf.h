#pragma once
// The rich text format (RTF) of the rich edit control: a writer for the
// formatting the control keeps (fonts, sizes, colours, bold, italic,
// underline, strike-out, paragraph alignment) and a reader for the same
// subset plus what word processors commonly write around it. The reader
// skips what it does not know (unknown control words, ignorable and foreign
// destinations, pictures, objects) and takes any input without failing:
// unbalanced braces, truncated documents and stray bytes give whatever text
// could be read.
#include <QByteArray>
#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QVector>

#include "platform/rtl/SysUtils.h"

class QTextCursor;
class QTextDocument;

// The character attributes of a piece of text with every gap filled in.
struct CharAttributes {
  String Face;
  double PointSize = 10;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  QColor Color;  // invalid: the automatic (window text) colour
  bool operator==(const CharAttributes&) const = default;
};

// The attributes of text in `format`, taking `defaults` (the control's font)
// where the format sets nothing.
CharAttributes ResolveCharAttributes(const QTextCharFormat& format, const CharAttributes& defaults);

// The characters [from, to) of `document` as an RTF document, in 7-bit
// ASCII: characters of code page 1252 above 127 as \'hh, others as \uN with
// "?" for readers without Unicode. `defaults` fill in what formats leave
// open and give the first font (\deff0). Paragraphs are separated by \par;
// the last one gets none, so reading the output back gives the same text.
QByteArray WriteRtf(const QTextDocument& document, int from, int to, const CharAttributes& defaults);

// Whether the bytes are an RTF document (they start with "{\rtf" after blanks).
bool IsRtf(const QByteArray& bytes);

// Bytes of a Windows code page (1250-1258, 874, 932, 936, 949, 950, 437,
// 850, 10000, 65001) as text; other code pages are read as 1252.
String DecodeAnsi(const QByteArray& bytes, int codePage);

// A document read: paragraphs of runs of formatted text. Every run's format
// is complete (font, size, weight, styles; colour when not automatic).
struct RtfContent {
  struct Run {
    String Text;
    QTextCharFormat Format;
  };
  struct Paragraph {
    QTextBlockFormat Format;
    QTextCharFormat MarkFormat;  // the format of the paragraph's end
    QVector<Run> Runs;
  };
  QVector<Paragraph> Paragraphs;  // at least one

  String PlainText() const;  // paragraphs joined with CR
};

RtfContent ReadRtf(const QByteArray& bytes);

// Inserts content at the cursor: the first paragraph continues the cursor's
// paragraph, every later one starts a new paragraph with its own format.
// With `ownFirstFormat` the cursor's paragraph takes the first paragraph's
// format too. Answers the number of characters inserted.
int InsertRtf(QTextCursor& cursor, const RtfContent& content, bool ownFirstFormat);
