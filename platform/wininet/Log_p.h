#pragma once
// This layer's logging category (see platform/rtl/Logging.h).
#include "platform/rtl/Logging.h"

NOCTIVANE_LAYER_LOG(lcWinInet, "noctivane.wininet")
