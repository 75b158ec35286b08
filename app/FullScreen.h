#pragma once
// The tools window ("ECO mode"): the program's second form, created hidden at
// start-up and shown on demand from the main window.
#include "platform/classlib/Forms.h"

namespace FullScreen {

class TFullScreenForm : public TForm {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TFullScreenForm(TComponent* AOwner) : TForm(AOwner) {}

  // Shows the window modally; True when it was closed with mrOk.
  bool Execute();
};

// The tools window, made by the main block right after the main window.
extern TFullScreenForm* FullScreenForm;

void initialize();
void finalize();

}  // namespace FullScreen
