#pragma once
// The rich edit control over the class library's rich edit (TCustomRichEdit,
// whose widget is a QTextEdit): the window messages it answers, its
// notifications to the parent window, streaming and page formatting.
//
// Character positions are those of the widget's document: QTextDocument
// counts one position per paragraph break, as the control does, so
// positions, SelStart and SelLength need no conversion. Text leaves the
// control with CR for a paragraph break (VT for a line break inside a
// paragraph).
#include <QRectF>

#include "platform/richedit/RichEdit.h"
#include "platform/richedit/Rtf.h"

class QTextDocument;
class TCustomRichEdit;

// ---------------------------------------------------------------- index space

// The number of character positions, without the final paragraph mark.
int TextLength(const QTextDocument* document);
// The characters [from, to) (to < 0: to the end), clamped to the text.
String GetTextRange(const QTextDocument* document, int from, int to);
// Looks for `what` (EM_FINDTEXT rules: FR_DOWN searches [from, to), else
// backwards from `from` down to `to`; to < 0 is the end resp. the start).
// Answers the position found or -1.
int FindText(const QTextDocument* document, const String& what, int from, int to, WPARAM flags);

// ---------------------------------------------------------------- the control

// Answers the messages of the control's window (EM_*, WM_SETREDRAW, the
// scroll messages, paste, context menu, the mouse over links and typed
// characters at the text limit); false for the others.
bool HandleRichEditMessage(TCustomRichEdit& edit, TMessage& message);
// Sends EN_CHANGE when the event mask asks for it.
void NotifyRichEditChange(TCustomRichEdit& edit);
// The control's font as character attributes (what text without formats looks like).
CharAttributes DefaultCharAttributes(TCustomRichEdit& edit);

// The control's text (or selection, with SFF_SELECTION) in a stream format.
QByteArray SaveRichEditContent(TCustomRichEdit& edit, WPARAM format);
// Replaces the text (or the selection) with content in a stream format;
// answers the number of characters inserted.
int LoadRichEditContent(TCustomRichEdit& edit, WPARAM format, const QByteArray& bytes);

// Lays out the characters [from, to) (to < 0: the end) in `area` (device
// pixels of the painter's device) and, with `render`, draws those that fit.
// Answers the first character that did not fit (at least one line always
// fits, so repeated calls get through the text).
int FormatRange(const QTextDocument* document, QPainter* painter, const QRectF& area, int from, int to,
                bool render);
