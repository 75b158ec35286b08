// Form resources of any text onto a form with every control class of the
// class library: a resource either reads or raises the class library's
// reading error; a form that read is shown and painted, written back out,
// and what was written reads again.
#include "platform/classlib/CheckLst.h"
#include "platform/classlib/ClassLibrary.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/Graphics.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/Streaming.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QWidget>

using fuzzsupport::Check;

namespace {

// Frees the form whatever happens to the reading.
struct FormHolder {
  TForm* form = new TForm(nullptr);
  ~FormHolder() { form->Free(); }
};

void ShowAndPaint(TForm* form) {
  form->Show();
  QCoreApplication::processEvents();
  form->Widget()->grab();
  form->Hide();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(true);
  InitializeClassLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const String text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  String written;
  {
    FormHolder holder;
    try {
      ReadComponentRes(text, holder.form, QStringLiteral("fuzz"));
    } catch (const EFilerError&) {
      return 0;
    }
    ShowAndPaint(holder.form);
    written = WriteComponentRes(holder.form);
  }
  FormHolder copy;
  try {
    ReadComponentRes(written, copy.form, QStringLiteral("written"));
  } catch (const Exception& e) {
    Check(false, "a written form reads again", e.Message + QStringLiteral("\n") + written);
  }
  ShowAndPaint(copy.form);
  return 0;
}
