#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

#include "platform/classlib/Dialogs.h"
#include "platform/com/ComObject.h"
#include "platform/winapi/Menus.h"
#include "tests/platform/richedit/RichEditFixture.h"

namespace richedittest {

// ---------------------------------------------------------------- the OLE callback

class Callback : public ComObject<IRichEditOleCallback> {
 public:
  HRESULT GetNewStorage(IStorage**) override { return E_NOTIMPL; }
  HRESULT GetInPlaceContext(IOleInPlaceFrame**, IOleInPlaceUIWindow**, OLEINPLACEFRAMEINFO*) override {
    return E_NOTIMPL;
  }
  HRESULT ShowContainerUI(BOOL) override { return E_NOTIMPL; }
  HRESULT QueryInsertObject(CLSID*, IStorage*, LONG) override { return E_NOTIMPL; }
  HRESULT DeleteObject(IOleObject*) override { return E_NOTIMPL; }
  HRESULT QueryAcceptData(IDataObject*, CLIPFORMAT* format, DWORD reco, BOOL really, HGLOBAL) override {
    ++acceptCalls;
    lastReco = reco;
    lastReally = really;
    if (acceptFormat) *format = acceptFormat;
    return acceptResult;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(CHARRANGE*, DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT GetDragDropEffect(BOOL, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetContextMenu(WORD seltype, IOleObject*, CHARRANGE* range, HMENU* menu) override {
    ++menuCalls;
    selType = seltype;
    selRange = *range;
    *menu = nullptr;
    if (!offerMenu) return S_OK;
    *menu = lastMenu = CreatePopupMenu();
    AppendMenuW(lastMenu, MF_STRING, 101, u"One");
    AppendMenuW(lastMenu, MF_STRING, 102, u"Two");
    return S_OK;
  }

  HRESULT acceptResult = S_OK;
  CLIPFORMAT acceptFormat = 0;
  int acceptCalls = 0;
  DWORD lastReco = 99;
  BOOL lastReally = FALSE;
  bool offerMenu = true;
  int menuCalls = 0;
  WORD selType = 0xFFFF;
  CHARRANGE selRange;
  HMENU lastMenu = nullptr;
};

// Runs `step` on the next popup menu that opens.
void WhenMenuOpens(std::function<void(QMenu*)> step) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, step] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu || !menu->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    step(menu);
  });
  timer->start();
}

TEST_F(RichEditControl, ContextMenuComesFromTheCallbackOrTheParent) {
  Show();
  edit->SetText("some words here");
  ComPtr<Callback> callback = MakeCom<Callback>();
  EXPECT_EQ(Send(EM_SETOLECALLBACK, 0, static_cast<IRichEditOleCallback*>(callback.Get())), TRUE);
  EXPECT_EQ(callback->RefCount(), 1u);  // the control keeps no reference of its own
  Send(EM_SETSEL, 5, 10);

  WhenMenuOpens([](QMenu* menu) {
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), "Two");
    menu->setActiveAction(menu->actions()[1]);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  const QPoint at = edit->Widget()->mapToGlobal(QPoint(20, 10));
  EXPECT_EQ(Send(WM_CONTEXTMENU, WPARAM(edit->Handle()), PointToLParam(at.x(), at.y())), 1);
  EXPECT_EQ(callback->menuCalls, 1);
  EXPECT_EQ(callback->selType, SEL_TEXT | SEL_MULTICHAR);
  EXPECT_EQ(callback->selRange.cpMin, 5);
  EXPECT_EQ(callback->selRange.cpMax, 10);
  ASSERT_TRUE(testsupport::waitFor([&] { return !menuCommands.empty(); }));
  EXPECT_EQ(menuCommands, std::vector<WORD>{102});  // to the parent window
  EXPECT_FALSE(IsMenu(callback->lastMenu));         // destroyed after use
  EXPECT_EQ(parentContextMenus, 0);

  // No menu from the callback, or no callback: the parent may show its own.
  callback->offerMenu = false;
  Send(WM_CONTEXTMENU, WPARAM(edit->Handle()), PointToLParam(at.x(), at.y()));
  EXPECT_EQ(callback->menuCalls, 2);
  EXPECT_EQ(parentContextMenus, 1);
  Send(EM_SETOLECALLBACK, 0, LPARAM(0));
  Send(WM_CONTEXTMENU, WPARAM(edit->Handle()), LPARAM(-1));
  EXPECT_EQ(callback->menuCalls, 2);
  EXPECT_EQ(parentContextMenus, 2);
}

TEST_F(RichEditControl, PasteAsksTheCallbackFirst) {
  ComPtr<Callback> callback = MakeCom<Callback>();
  Send(EM_SETOLECALLBACK, 0, static_cast<IRichEditOleCallback*>(callback.Get()));
  auto* data = new QMimeData;
  data->setHtml("<b>bold</b>");
  data->setText("bold");
  QApplication::clipboard()->setMimeData(data);
  EXPECT_EQ(Send(EM_CANPASTE), TRUE);

  callback->acceptResult = E_FAIL;
  edit->PasteFromClipboard();
  Send(WM_PASTE);
  Send(EM_PASTESPECIAL);
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(callback->acceptCalls, 3);
  EXPECT_EQ(callback->lastReco, RECO_PASTE);
  EXPECT_EQ(callback->lastReally, TRUE);

  // Accepted as text only.
  callback->acceptResult = S_OK;
  callback->acceptFormat = CF_UNICODETEXT;
  edit->PasteFromClipboard();
  EXPECT_EQ(edit->Text(), "bold");
  Send(EM_SETSEL, 0, 4);
  EXPECT_FALSE(edit->SelAttributes()->Style().Contains(fsBold));

  // Accepted as it comes: the formatted text.
  Send(EM_SETSEL, 4, 4);
  callback->acceptFormat = 0;
  Send(WM_PASTE);
  EXPECT_EQ(edit->Text(), "boldbold");
  Send(EM_SETSEL, 4, 8);
  EXPECT_TRUE(edit->SelAttributes()->Style().Contains(fsBold));

  // A read-only control takes nothing and asks nothing.
  const int asked = callback->acceptCalls;
  edit->SetReadOnly(true);
  Send(WM_PASTE);
  EXPECT_EQ(edit->Text(), "boldbold");
  EXPECT_EQ(callback->acceptCalls, asked);
  Send(EM_SETOLECALLBACK, 0, LPARAM(0));
}

TEST_F(RichEditControl, KeyboardPasteAsksTheCallbackToo) {
  Show();
  ComPtr<Callback> callback = MakeCom<Callback>();
  Send(EM_SETOLECALLBACK, 0, static_cast<IRichEditOleCallback*>(callback.Get()));
  QApplication::clipboard()->setText("typed");
  edit->SetFocus();
  QWindow* window = form->Widget()->windowHandle();
  ASSERT_NE(window, nullptr);
  callback->acceptResult = E_FAIL;
  QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(callback->acceptCalls, 1);
  EXPECT_EQ(edit->Text(), "");
  callback->acceptResult = S_OK;
  QTest::keyClick(window, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(callback->acceptCalls, 2);
  EXPECT_EQ(edit->Text(), "typed");
  QTest::keyClick(window, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(callback->acceptCalls, 3);
  EXPECT_EQ(edit->Text(), "typedtyped");
  Send(EM_SETOLECALLBACK, 0, LPARAM(0));
}

// ---------------------------------------------------------------- links

TEST_F(RichEditControl, DetectedAddressesAreLinksThatReportClicks) {
  Show();
  edit->SetText("see http://example.com/page. and www.test.org");
  EXPECT_EQ(Send(EM_GETAUTOURLDETECT), FALSE);
  Send(EM_AUTOURLDETECT, TRUE);
  EXPECT_EQ(Send(EM_GETAUTOURLDETECT), TRUE);
  const auto links = [&] { return LinkMarks(); };
  EXPECT_EQ(links(), (Ranges{{4, 27}, {33, 45}}));
  // The text itself keeps its format: links are no part of the document.
  CHARFORMAT2W cf;
  Send(EM_SETSEL, 4, 27);
  Send(EM_GETCHARFORMAT, SCF_SELECTION, &cf);
  EXPECT_FALSE(cf.dwEffects & CFE_UNDERLINE);

  // Typing follows: new addresses become links, broken ones stop being links.
  edit->SetSelStart(45);
  edit->SetSelText(" mailto:someone@example.org");
  EXPECT_EQ(links(), (Ranges{{4, 27}, {33, 45}, {46, 72}}));
  Send(EM_SETSEL, 4, 5);  // "http" becomes "_ttp"
  Send(EM_REPLACESEL, 0, LPARAM(u"_"));
  EXPECT_EQ(links(), (Ranges{{33, 45}, {46, 72}}));

  // Clicks on a link reach the parent with ENM_LINK.
  const auto pointOf = [&](int pos) {
    POINT p;
    Send(EM_POSFROMCHAR, WPARAM(&p), pos);
    return PointToLParam(p.x + 2, p.y + 4);
  };
  Send(WM_LBUTTONDOWN, MK_LBUTTON, pointOf(36));
  Send(WM_LBUTTONUP, 0, pointOf(36));
  EXPECT_EQ(Count(EN_LINK), 0);
  Send(EM_SETEVENTMASK, 0, ENM_LINK);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, pointOf(36));
  Send(WM_LBUTTONUP, 0, pointOf(36));
  ASSERT_EQ(Count(EN_LINK), 2);
  EXPECT_EQ(notes[0].mouse, UINT(WM_LBUTTONDOWN));
  EXPECT_EQ(notes[1].mouse, UINT(WM_LBUTTONUP));
  EXPECT_EQ(notes[0].range.cpMin, 33);
  EXPECT_EQ(notes[0].range.cpMax, 45);
  EXPECT_EQ(edit->SelStart(), 36);  // the control handled the click as well
  // A parent that takes the click keeps it from the control.
  takeLinks = true;
  Send(EM_SETSEL, 0, 0);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, pointOf(50));
  EXPECT_EQ(Count(EN_LINK), 3);
  EXPECT_EQ(notes.back().range.cpMin, 46);
  EXPECT_EQ(edit->SelStart(), 0);
  // Clicks beside links say nothing.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, pointOf(1));
  EXPECT_EQ(Count(EN_LINK), 3);

  // Text formatted as a link is a link too.
  Send(EM_AUTOURLDETECT, FALSE);
  EXPECT_TRUE(links().empty());
  Send(EM_SETSEL, 0, 3);
  cf = CHARFORMAT2W();
  cf.dwMask = CFM_LINK;
  cf.dwEffects = CFE_LINK;
  Send(EM_SETCHARFORMAT, SCF_SELECTION, &cf);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, pointOf(1));
  ASSERT_EQ(Count(EN_LINK), 4);
  EXPECT_EQ(notes.back().range.cpMin, 0);
  EXPECT_EQ(notes.back().range.cpMax, 3);
  Send(EM_SETSEL, 0, 3);
  cf = CHARFORMAT2W();
  Send(EM_GETCHARFORMAT, SCF_SELECTION, &cf);
  EXPECT_TRUE(cf.dwEffects & CFE_LINK);
}

// ---------------------------------------------------------------- view and limits

TEST_F(RichEditControl, ScrollingAndPositionsFollowTheView) {
  Show();
  QStringList lines;
  for (int i = 0; i < 300; ++i) lines << QStringLiteral("line %1").arg(i);
  edit->Lines()->SetText(lines.join("\r\n"));
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 0);
  EXPECT_EQ(Send(EM_LINESCROLL, 0, 50), TRUE);
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 50);
  Send(EM_LINESCROLL, 0, -20);
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 30);
  Send(WM_VSCROLL, SB_TOP);
  Send(WM_VSCROLL, SB_ENDSCROLL);
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 0);
  Send(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_GT(Text()->verticalScrollBar()->value(), 0);
  Send(WM_VSCROLL, SB_BOTTOM);
  EXPECT_GT(Send(EM_GETFIRSTVISIBLELINE), 250);
  // The caret brought into view.
  edit->SetSelStart(int(Send(EM_LINEINDEX, 120)));
  Send(WM_VSCROLL, SB_TOP);
  Send(EM_SCROLLCARET);
  const LRESULT first = Send(EM_GETFIRSTVISIBLELINE);
  EXPECT_GT(first, 90);
  EXPECT_LE(first, 120);

  // A character's position and the character at a position agree.
  const int index = int(Send(EM_LINEINDEX, 121)) + 3;
  POINT p;
  Send(EM_POSFROMCHAR, WPARAM(&p), index);
  POINT inside{p.x + 1, p.y + 2};
  EXPECT_EQ(Send(EM_CHARFROMPOS, 0, &inside), index);

  // The formatting rectangle moves the text in from the edges.
  RECT r{10, 10, edit->ClientWidth() - 11, edit->ClientHeight() - 9};
  Send(EM_SETRECTNP, 0, &r);
  RECT got;
  Send(EM_GETRECT, 0, &got);
  EXPECT_EQ(got, r);
  EXPECT_EQ(Text()->document()->documentMargin(), 10);
  Send(EM_SETRECT, 0, LPARAM(0));
  EXPECT_EQ(Text()->document()->documentMargin(), 4);

  // Drawing off and on.
  Send(WM_SETREDRAW, FALSE);
  EXPECT_FALSE(Text()->updatesEnabled());
  Send(WM_SETREDRAW, TRUE);
  EXPECT_TRUE(Text()->updatesEnabled());
}

TEST_F(RichEditControl, ColoursAndHiddenSelection) {
  Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(1, 2, 3)));
  EXPECT_EQ(Text()->palette().color(QPalette::Base), QColor(1, 2, 3));
  EXPECT_EQ(Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(9, 9, 9))), LPARAM(RGB(1, 2, 3)));
  Send(EM_SETBKGNDCOLOR, TRUE, 0);  // the system's window colour
  EXPECT_EQ(Text()->palette().color(QPalette::Base), TColorToQColor(ColorToRGB(clWindow)));

  const QColor highlight = Text()->palette().color(QPalette::Highlight);
  Send(EM_HIDESELECTION, TRUE);
  EXPECT_EQ(Text()->palette().color(QPalette::Highlight).alpha(), 0);
  Send(EM_HIDESELECTION, TRUE);
  Send(EM_HIDESELECTION, FALSE);
  EXPECT_EQ(Text()->palette().color(QPalette::Highlight), highlight);
}

TEST_F(RichEditControl, TypingStopsAtTheTextLimit) {
  EXPECT_EQ(Send(EM_GETLIMITTEXT), 32767);
  Send(EM_EXLIMITTEXT, 0, 10);
  EXPECT_EQ(Send(EM_GETLIMITTEXT), 10);
  edit->SetText("0123456789");
  Send(EM_SETSEL, 10, 10);
  Send(WM_CHAR, 'x');
  EXPECT_EQ(edit->Text(), "0123456789");
  EXPECT_EQ(Count(EN_MAXTEXT), 1);
  // Typing over a selection keeps within the limit.
  Send(EM_SETSEL, 0, 2);
  Send(WM_CHAR, 'y');
  EXPECT_EQ(edit->Text(), "y23456789");
  // Text set in code is not cut.
  edit->SetText("a text longer than ten characters");
  EXPECT_EQ(edit->Text(), "a text longer than ten characters");
  Send(EM_EXLIMITTEXT, 0, 0);
  EXPECT_EQ(Send(EM_GETLIMITTEXT), 65536);
}

TEST_F(RichEditControl, UndoAndRedo) {
  edit->SetText("start");
  EXPECT_EQ(Send(EM_CANUNDO), FALSE);
  Send(EM_SETSEL, 5, 5);
  Send(EM_REPLACESEL, TRUE, LPARAM(u" more"));
  EXPECT_EQ(Send(EM_CANUNDO), TRUE);
  EXPECT_EQ(Send(EM_UNDO), TRUE);
  EXPECT_EQ(edit->Text(), "start");
  EXPECT_EQ(edit->Lines()->Strings(), QStringList{"start"});
  EXPECT_EQ(Send(EM_CANREDO), TRUE);
  EXPECT_EQ(Send(EM_REDO), TRUE);
  EXPECT_EQ(edit->Text(), "start more");
  Send(EM_EMPTYUNDOBUFFER);
  EXPECT_EQ(Send(EM_CANUNDO), FALSE);
  // No undo at all.
  EXPECT_EQ(Send(EM_SETUNDOLIMIT, 0), 0);
  Send(EM_REPLACESEL, TRUE, LPARAM(u"!"));
  EXPECT_EQ(Send(EM_CANUNDO), FALSE);
  EXPECT_EQ(Send(EM_SETUNDOLIMIT, 50), 50);
  Send(EM_REPLACESEL, TRUE, LPARAM(u"?"));
  EXPECT_EQ(Send(EM_CANUNDO), TRUE);
  // Modified flag.
  Send(EM_SETMODIFY, FALSE);
  EXPECT_EQ(Send(EM_GETMODIFY), FALSE);
  Send(EM_REPLACESEL, TRUE, LPARAM(u"."));
  EXPECT_NE(Send(EM_GETMODIFY), FALSE);
  EXPECT_TRUE(edit->Modified());
  Send(EM_SETREADONLY, TRUE);
  EXPECT_TRUE(edit->ReadOnly());
}

// ---------------------------------------------------------------- printing

TEST_F(RichEditControl, FormatRangeFillsPagesOneAfterAnother) {
  QStringList lines;
  for (int i = 0; i < 200; ++i) lines << QStringLiteral("Paragraph %1 with some words to lay out").arg(i);
  edit->Lines()->SetText(lines.join("\r\n"));
  const int length = TextLength(Text()->document());
  QImage image(816, 1056, QImage::Format_RGB32);  // a letter page at 96 dpi
  image.setDotsPerMeterX(3780);
  image.setDotsPerMeterY(3780);
  QPainter painter(&image);
  FORMATRANGE range;
  range.hdc = range.hdcTarget = &painter;
  range.rcPage = RECT{0, 0, 8 * 1440 + 720, 11 * 1440};
  range.rc = RECT{1440, 1440, 7 * 1440 + 720, 10 * 1440};
  range.chrg = {0, -1};
  std::vector<LONG> starts;
  while (range.chrg.cpMin < length && starts.size() < 50) {
    starts.push_back(range.chrg.cpMin);
    image.fill(Qt::white);
    const LRESULT measured = Send(EM_FORMATRANGE, FALSE, &range);
    EXPECT_EQ(image.pixelColor(200, 200), QColor(Qt::white));  // measuring draws nothing
    const LRESULT next = Send(EM_FORMATRANGE, TRUE, &range);
    EXPECT_EQ(next, measured);
    ASSERT_GT(next, range.chrg.cpMin);
    range.chrg.cpMin = LONG(next);
  }
  EXPECT_EQ(range.chrg.cpMin, length);
  EXPECT_GE(starts.size(), 3u);
  // Each page starts at a paragraph here (every line fits the width).
  for (LONG s : starts) EXPECT_EQ(Send(EM_LINEINDEX, Send(EM_LINEFROMCHAR, s)), s);
  // Something was drawn inside the rectangle, nothing outside it.
  bool inked = false;
  for (int y = 96; y < 960 && !inked; y += 2)
    for (int x = 96; x < 720 && !inked; ++x) inked = image.pixelColor(x, y) != QColor(Qt::white);
  EXPECT_TRUE(inked);
  for (int x = 0; x < 816; x += 3) EXPECT_EQ(image.pixelColor(x, 40), QColor(Qt::white));
  painter.end();
  EXPECT_EQ(Send(EM_FORMATRANGE, FALSE, LPARAM(0)), 0);  // frees nothing, fails nothing
}

TEST_F(RichEditControl, PrintWritesEveryPageToThePrinter) {
  QStringList lines;
  for (int i = 0; i < 200; ++i) lines << QStringLiteral("Report line %1").arg(i);
  edit->Lines()->SetText(lines.join("\r\n"));
  const QString file = testsupport::profileDir() + "/report.pdf";
  QPrinter& printer = DialogPrinter();
  const QPrinter::OutputFormat format = printer.outputFormat();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  edit->Print("Noctivane Parser v 1.00.00.00");
  printer.setOutputFileName(QString());
  const QByteArray pdf = testsupport::readFile(file);
  ASSERT_TRUE(pdf.startsWith("%PDF")) << pdf.left(20).toStdString();
  const qsizetype pages = QString::fromLatin1(pdf).count(QRegularExpression("/Type\\s*/Page[^s]"));
  EXPECT_GE(pages, 2);
  EXPECT_EQ(printer.docName(), "Noctivane Parser v 1.00.00.00");

  // An empty text prints one empty page.
  const QString empty = testsupport::profileDir() + "/empty.pdf";
  edit->Clear();
  printer.setOutputFileName(empty);
  edit->Print("empty");
  printer.setOutputFileName(QString());
  EXPECT_TRUE(testsupport::readFile(empty).startsWith("%PDF"));
  printer.setOutputFormat(format);
}

}  // namespace richedittest
