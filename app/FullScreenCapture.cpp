// The capture tab of the tools window.
#include "app/FullScreen.h"

#include "platform/classlib/Streaming.h"

namespace FullScreen {

namespace {

// The capture files, relative to the current folder.
constexpr char kBitmapCapture[] = "site.bmp";
constexpr char kJpegCapture[] = "./Site.jpg";

// Unchecks the other choices when `checked` became checked.
void KeepOneChecked(TCheckBox* checked, std::initializer_list<TCheckBox*> others) {
  if (!checked || !checked->Checked()) return;
  for (TCheckBox* box : others)
    if (box) box->SetChecked(false);
}

}  // namespace

String BitmapFileName(const String& chosen) {
  return chosen.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive) ? chosen
                                                                     : chosen + QStringLiteral(".bmp");
}

void TFullScreenForm::CS001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  Screen->SetCursor(crHourGlass);
  OffsetSkinButton(Sender, -1);
  ImageViewer->SetStretch(StrechCheck->Checked());
  ImageViewer->SetCenter(CenterCheck->Checked());
  ImageViewer->SetProportional(ProportionalCheck->Checked());
  // Both files are written whatever is shown; a capture that fails only
  // leaves the viewer as it was.
  try {
    if (WB->SaveSnapShotToBitmap(QLatin1String(kBitmapCapture)) && BMPCheckBox->Checked())
      ImageViewer->Picture()->LoadFromFile(QStringLiteral("./") + QLatin1String(kBitmapCapture));
    if (WB->SaveSnapShotToJpeg(QLatin1String(kJpegCapture), Height(), Width(), Height(), Width()) &&
        JPGCheckBox->Checked())
      ImageViewer->Picture()->LoadFromFile(QLatin1String(kJpegCapture));
    if (ThumbnailCheckBox->Checked()) WB->SnapShotToImage(ImageViewer);
  } catch (...) {
    Screen->SetCursor(crDefault);
    throw;
  }
  Screen->SetCursor(crDefault);
}

void TFullScreenForm::CS002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OffsetSkinButton(Sender, -1);
  if (!SavePictureDialog->Execute()) return;
  TGraphic* shown = ImageViewer->Picture()->Graphic();
  if (!shown || shown->GetEmpty()) return;
  // The file is named a bitmap, so it holds one, whichever picture is shown.
  TBitmap bitmap;
  bitmap.Assign(shown);
  bitmap.SaveToFile(BitmapFileName(SavePictureDialog->FileName()));
}

void TFullScreenForm::BMPCheckBoxClick(TObject* Sender) {
  KeepOneChecked(BMPCheckBox, {JPGCheckBox, ThumbnailCheckBox});
}

void TFullScreenForm::JPGCheckBoxClick(TObject* Sender) {
  KeepOneChecked(JPGCheckBox, {BMPCheckBox, ThumbnailCheckBox});
}

void TFullScreenForm::ThumbnailCheckBoxClick(TObject* Sender) {
  KeepOneChecked(ThumbnailCheckBox, {BMPCheckBox, JPGCheckBox});
}

std::vector<THandlerInfo> CaptureHandlers() {
  using F = TFullScreenForm;
  return {HandlerEntry("CS001BtnMouseUp", &F::CS001BtnMouseUp),
          HandlerEntry("CS002BtnMouseUp", &F::CS002BtnMouseUp),
          HandlerEntry("BMPCheckBoxClick", &F::BMPCheckBoxClick),
          HandlerEntry("JPGCheckBoxClick", &F::JPGCheckBoxClick),
          HandlerEntry("ThumbnailCheckBoxClick", &F::ThumbnailCheckBoxClick)};
}

}  // namespace FullScreen
