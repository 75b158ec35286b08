#pragma once
// Vector glyphs of the skin's buttons.
#include "SkinTable.h"

#include <QColor>
#include <QRectF>

class QPainter;

namespace skingen {

// The two colours a glyph is drawn with: the ink of its strokes and fills,
// and the colour of the button face behind it (for cut-outs such as a
// keyhole or the symbol inside a badge).
struct Ink {
  QColor fore;
  QColor back;
};

// Draws `glyph` into `box`; the glyph's own coordinates run from 0 to 100.
void drawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const Ink& ink);

}  // namespace skingen
