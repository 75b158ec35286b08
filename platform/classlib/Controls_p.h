#pragma once
// State and helpers shared by the source files of the control classes (not
// for other files): the controls by window handle, the graphic control that
// holds the mouse capture, and small message helpers.
#include "platform/classlib/Controls.h"

#include <QHash>
#include <QPoint>
#include <QScopeGuard>

namespace controls_p {

inline QHash<HWND, TWinControl*>& ControlsByHandle() {
  static QHash<HWND, TWinControl*> map;
  return map;
}

// The graphic control holding the mouse capture within its parent's window.
inline TControl* captureControl = nullptr;

// Paints through `canvas` on `painter`: the canvas starts with the control's
// font and colour, and lets the painter go afterwards, also when `paint` throws.
template <class F>
void PaintThrough(TCanvas* canvas, QPainter& painter, TFont* font, TColor color, F&& paint) {
  canvas->Font()->Assign(font);
  canvas->Brush()->SetColor(color);
  canvas->SetPainter(&painter);
  const auto release = qScopeGuard([canvas] { canvas->SetPainter(nullptr); });
  paint();
}

inline QPoint FromLParam(LPARAM l) { return QPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)); }

}  // namespace controls_p
