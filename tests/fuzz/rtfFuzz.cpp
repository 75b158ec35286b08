// RTF of any bytes: the reader takes it without failing, the text goes into
// a document, and the writer's RTF of that document reads back to the same
// text.
#include "platform/richedit/Rtf.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QTextCursor>
#include <QTextDocument>

using fuzzsupport::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  IsRtf(bytes);
  const RtfContent content = ReadRtf(bytes);
  Check(!content.Paragraphs.isEmpty(), "at least one paragraph");
  content.PlainText();

  QTextDocument document;
  QTextCursor cursor(&document);
  InsertRtf(cursor, content, true);
  const CharAttributes defaults;
  const QByteArray written = WriteRtf(document, 0, document.characterCount() - 1, defaults);
  Check(IsRtf(written), "the writer writes RTF");

  QTextDocument again;
  QTextCursor cursor2(&again);
  InsertRtf(cursor2, ReadRtf(written), true);
  Check(again.toPlainText() == document.toPlainText(), "written RTF reads back to the same text",
        document.toPlainText() + QStringLiteral(" | ") + again.toPlainText());
  return 0;
}
