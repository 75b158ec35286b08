#pragma once
// Panels: containers with bevels and a caption.
#include "platform/classlib/Controls.h"

class TCustomPanel : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)
  Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
  Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
  Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
  Q_PROPERTY(TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool ParentBackground READ ParentBackground WRITE SetParentBackground)

 public:
  enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
  Q_ENUM(TBevelCut)

  // 185 x 41, clBtnFace, a raised outer bevel of 1 pixel, centred caption.
  // ParentBackground is on: the panel shows its parent's background until a
  // form resource (or code) turns it off, then it fills itself with Color.
  explicit TCustomPanel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // bsNone or bsSingle (a one-pixel frame).
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);

 protected:
  void Paint() override;
  // Aligned children stay inside the border and the bevels.
  void AdjustClientRect(TRect& rect) override;

 private:
  void Changed();

  TAlignment alignment_ = taCenter;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TFormBorderStyle borderStyle_ = bsNone;
};
using TBevelCut = TCustomPanel::TBevelCut;
using enum TCustomPanel::TBevelCut;

class TPanel : public TCustomPanel {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

// Registers the panel classes with the form streaming. Idempotent.
void InitializeExtCtrls();
