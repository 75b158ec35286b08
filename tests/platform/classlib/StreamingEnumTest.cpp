// Enumeration properties of the class library's own controls read from
// form resources.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>

#include "platform/classlib/ExtControls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/Streaming.h"

// Controls look their enumerations up in tables when the form is shown, so a
// number outside an enumeration has to stop the reading, with a message that
// says what was wrong.
TEST(StreamingEnumerations, NumbersOutsideAControlsEnumerationAreReadingErrors) {
  InitializeForms();
  InitializeStdCtrls();
  InitializeExtControls();
  auto readError = [](const QString& body) -> QString {
    TForm* form = new TForm(nullptr);
    QString message;
    try {
      ReadComponentRes("object F: TForm\n" + body + "end\n", form);
      form->Show();
      QCoreApplication::processEvents();
      form->Widget()->grab();
    } catch (const EFilerError& e) {
      message = e.Message;
    }
    form->Free();
    return message;
  };
  EXPECT_TRUE(readError("  object C: TComboBox\n    Style = 1000000000\n  end\n")
                  .endsWith("line 3, C.Style: 1000000000 is not a value of TComboBoxStyle"));
  EXPECT_TRUE(readError("  object S: TShape\n    Brush.Style = 1000000000\n  end\n")
                  .endsWith("line 3, S.Brush.Style: 1000000000 is not a value of TBrushStyle"));
  EXPECT_TRUE(readError("  object L: TLabel\n    Alignment = 40\n  end\n")
                  .endsWith("L.Alignment: 40 is not a value of TAlignment"));
  EXPECT_TRUE(
      readError("  object S: TShape\n    Pen.Style = -1\n  end\n").contains("is not a value of TPenStyle"));
  // Numbers of members still read, and the form shows with them.
  EXPECT_EQ(readError("  object C: TComboBox\n    Style = 2\n  end\n"
                      "  object S: TShape\n    Brush.Style = 1\n  end\n"),
            QString());
  FinalizeForms();
}
