#pragma once
// Helpers shared by the source files of the graphics classes (not for other
// files).
#include "platform/classlib/Graphics.h"

#include <QColor>

namespace graphics_p {

inline TColor RgbToTColor(QRgb rgb) { return RGBToColor(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

}  // namespace graphics_p
