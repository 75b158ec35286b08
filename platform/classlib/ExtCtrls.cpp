#include "platform/classlib/ExtCtrls.h"

namespace {

// A bevel: `top` along the top and left edges, `bottom` along the bottom and
// right edges, `width` pixels deep; the rectangle shrinks by the bevel.
void Frame3D(TCanvas* canvas, TRect& r, TColor top, TColor bottom, int width) {
  for (int i = 0; i < width && r.Width() > 0 && r.Height() > 0; ++i) {
    canvas->Brush()->SetColor(top);
    canvas->FillRect(TRect(r.Left, r.Top, r.Right, r.Top + 1));
    canvas->FillRect(TRect(r.Left, r.Top, r.Left + 1, r.Bottom));
    canvas->Brush()->SetColor(bottom);
    canvas->FillRect(TRect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
    canvas->FillRect(TRect(r.Right - 1, r.Top, r.Right, r.Bottom));
    r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  }
}

void Bevel(TCanvas* canvas, TRect& r, TBevelCut cut, TColor face, int width) {
  switch (cut) {
    case bvRaised: Frame3D(canvas, r, clBtnHighlight, clBtnShadow, width); break;
    case bvLowered: Frame3D(canvas, r, clBtnShadow, clBtnHighlight, width); break;
    case bvSpace: Frame3D(canvas, r, face, face, width); break;
    case bvNone: break;
  }
}

}  // namespace

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque});
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentBackground(true);
}

void TCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
  if (bevelInner_ == value) return;
  bevelInner_ = value;
  Changed();
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
  if (bevelOuter_ == value) return;
  bevelOuter_ = value;
  Changed();
}

void TCustomPanel::SetBevelWidth(int value) {
  value = std::max(value, 1);
  if (bevelWidth_ == value) return;
  bevelWidth_ = value;
  Changed();
}

void TCustomPanel::SetBorderWidth(int value) {
  value = std::max(value, 0);
  if (borderWidth_ == value) return;
  borderWidth_ = value;
  Changed();
}

void TCustomPanel::SetBorderStyle(TFormBorderStyle value) {
  if (value != bsSingle) value = bsNone;
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  Changed();
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  int inset = borderWidth_ + (borderStyle_ == bsSingle ? 1 : 0);
  if (bevelOuter_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone) inset += bevelWidth_;
  rect = TRect(rect.Left + inset, rect.Top + inset, rect.Right - inset, rect.Bottom - inset);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (borderStyle_ == bsSingle) Frame3D(c, r, clWindowFrame, clWindowFrame, 1);
  Bevel(c, r, bevelOuter_, Color(), bevelWidth_);
  if (borderWidth_ > 0 && !ParentBackground())
    Frame3D(c, r, Color(), Color(), borderWidth_);
  else
    r = TRect(r.Left + borderWidth_, r.Top + borderWidth_, r.Right - borderWidth_, r.Bottom - borderWidth_);
  Bevel(c, r, bevelInner_, Color(), bevelWidth_);

  const String text = Caption();
  if (text.isEmpty()) return;
  c->Brush()->SetStyle(bsClear);
  const int w = c->TextWidth(text), h = c->TextHeight(text);
  int x = r.Left + (r.Width() - w) / 2;
  if (alignment_ == taLeftJustify) x = r.Left;
  if (alignment_ == taRightJustify) x = r.Right - w;
  const int y = r.Top + (r.Height() - h) / 2;
  c->TextRect(r, x, y, text);
}

void InitializeExtCtrls() {
  static bool done = false;
  if (done) return;
  done = true;
  InitializeControls();
  RegisterClass<TPanel>();
}
