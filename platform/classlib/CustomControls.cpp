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

// ---------------------------------------------------------------- painting controls

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(new TCanvas(this)) {}

void TGraphicControl::PaintWidget(QPainter& painter) {
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  canvas_->SetPainter(&painter);
  try {
    Paint();
  } catch (...) {
    canvas_->SetPainter(nullptr);
    throw;
  }
  canvas_->SetPainter(nullptr);
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(new TCanvas(this)) {}

void TCustomControl::PaintWidget(QPainter& painter) {
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  canvas_->SetPainter(&painter);
  try {
    Paint();
  } catch (...) {
    canvas_->SetPainter(nullptr);
    throw;
  }
  canvas_->SetPainter(nullptr);
}
