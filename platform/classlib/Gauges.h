#pragma once
// A progress gauge: a bar (horizontal, or vertical filling from the bottom),
// a pie, a needle or a percentage text.
#include "platform/classlib/Controls.h"

class TGauge : public TGraphicControl {
  Q_OBJECT
  Q_CLASSINFO("IdentType:BackColor", "TColor")
  Q_CLASSINFO("IdentType:ForeColor", "TColor")
  Q_PROPERTY(int BackColor READ BackColor WRITE SetBackColor)
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(int ForeColor READ ForeColor WRITE SetForeColor)
  Q_PROPERTY(TGaugeKind Kind READ Kind WRITE SetKind)
  Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
  Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
  Q_PROPERTY(int Progress READ Progress WRITE SetProgress)
  Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)

 public:
  enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
  Q_ENUM(TGaugeKind)

  Q_INVOKABLE explicit TGauge(TComponent* AOwner);

  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);
  // bsSingle draws a one-pixel black frame.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor value);
  TGaugeKind Kind() const { return kind_; }
  void SetKind(TGaugeKind value);
  // The range (0 .. 100 by default). A minimum above the maximum (or the
  // other way round) raises EInvalidOperation, except while loading;
  // Progress is pulled into the new range.
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value);
  int MinValue() const { return minValue_; }
  void SetMinValue(int value);
  // Clamped to MinValue .. MaxValue.
  int Progress() const { return progress_; }
  void SetProgress(int value);
  void AddProgress(int value) { SetProgress(progress_ + value); }
  // "NN%" in the middle, in the font's colour.
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);

  // Progress as a whole percentage of the range (0 for an empty range).
  int PercentDone() const;

 protected:
  void Paint() override;

 private:
  TColor backColor_ = clWhite;
  TBorderStyle borderStyle_ = bsSingle;
  TColor foreColor_ = clBlack;
  TGaugeKind kind_ = gkHorizontalBar;
  int maxValue_ = 100;
  int minValue_ = 0;
  int progress_ = 0;
  bool showText_ = true;
};
using TGaugeKind = TGauge::TGaugeKind;
using enum TGauge::TGaugeKind;

// Registers the gauge with the form streaming. Idempotent.
void InitializeGauges();
