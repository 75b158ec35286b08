#pragma once
// State and helpers shared by the source files of the control classes (not
// for other files): the controls by window handle, the graphic control that
// holds the mouse capture, and small message helpers.
#include "platform/classlib/Controls.h"

#include <QHash>
#include <QPoint>

namespace controls_p {

inline QHash<HWND, TWinControl*>& ControlsByHandle() {
  static QHash<HWND, TWinControl*> map;
  return map;
}

// The graphic control holding the mouse capture within its parent's window.
inline TControl* captureControl = nullptr;

template <class F>
void Raise(TControl* c, F&& f) {
  if (!c->ComponentState().Contains(csDestroying)) f();
}

inline QPoint FromLParam(LPARAM l) { return QPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)); }

}  // namespace controls_p
