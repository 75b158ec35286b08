#include "app/FullScreen.h"

namespace FullScreen {

TFullScreenForm* FullScreenForm = nullptr;

void initialize() {}

void finalize() {}

}  // namespace FullScreen
