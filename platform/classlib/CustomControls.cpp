#include "platform/classlib/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"

#include "platform/classlib/Controls_p.h"

// ---------------------------------------------------------------- painting controls

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(new TCanvas(this)) {}

void TGraphicControl::PaintWidget(QPainter& painter) {
  controls_p::PaintThrough(canvas_, painter, Font(), Color(), [this] { Paint(); });
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(new TCanvas(this)) {}

void TCustomControl::PaintWidget(QPainter& painter) {
  controls_p::PaintThrough(canvas_, painter, Font(), Color(), [this] { Paint(); });
}
