#include "platform/richedit/RichEdit.h"

#include <QPainter>
#include <QPrinter>
#include <QTextEdit>

#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Dialogs.h"
#include "platform/richedit/RichEditControl.h"

namespace {

void LoadLines(TCustomRichEdit& edit, TStream& stream) {
  LoadRichEditContent(edit, edit.PlainText() ? SF_TEXT : SF_RTF, stream.ReadAll());
}

void SaveLines(TCustomRichEdit& edit, TStream& stream) {
  stream.WriteBytes(SaveRichEditContent(edit, edit.PlainText() ? SF_TEXT : SF_RTF));
}

// Prints the whole text on the current printer, page after page over its
// printable area.
void Print(TCustomRichEdit& edit, const String& caption) {
  QPrinter& printer = DialogPrinter();
  if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid())
    throw Exception(QStringLiteral("There is no default printer currently selected"));
  printer.setDocName(caption);
  QPainter painter;
  if (!painter.begin(&printer)) throw Exception(QStringLiteral("Printing \"%1\" failed").arg(caption));
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  const QRectF area(0, 0, page.width(), page.height());
  const QTextDocument* doc = edit.TextEdit()->document();
  const int length = TextLength(doc);
  int from = 0;
  while (from < length) {
    const int next = FormatRange(doc, &painter, area, from, length, true);
    if (next <= from) break;
    from = next;
    if (from < length) printer.newPage();
  }
  if (!painter.end()) throw Exception(QStringLiteral("Printing \"%1\" failed").arg(caption));
}

}  // namespace

void InitializeRichEdit() {
  TCustomRichEdit::TEngine& engine = TCustomRichEdit::Engine;
  engine.HandleMessage = HandleRichEditMessage;
  engine.TextChanged = NotifyRichEditChange;
  engine.LoadLines = LoadLines;
  engine.SaveLines = SaveLines;
  engine.Print = Print;
  // The library programs load to get the control's window class.
  RegisterStandInModule(QStringLiteral("RICHED20.DLL"), {});
}
