#include "app/FullScreen.h"

namespace FullScreen {

TFullScreenForm* FullScreenForm = nullptr;

bool TFullScreenForm::Execute() {
  Screen->SetCursor(crDefault);
  return ShowModal() == mrOk;
}

void initialize() {}

void finalize() {}

}  // namespace FullScreen
