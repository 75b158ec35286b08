// The source editor on a shown form beside a real browser on loopback pages:
// both transfers, links, find, keys and viewer mode, the status hint, the
// popup menu, files and drops through the scripted dialog service, colouring
// and printing to PDF read back by pdftotext.
#include "EmbeddedWB/Source/RichEditBrowser.h"

#include "EmbeddedWB/Source/HighLightHTML.h"
#include "platform/classlib/Printers.h"
#include "platform/com/Storage.h"
#include "platform/shell/ShellApi.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextEdit>

#include <vector>

using RichEditBrowser::TRichEditOleCallback;
using RichEditBrowser::TRichEditWB;

namespace {

class EditorTest : public ewbtest::BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    RichEditBrowser::initialize();
    editor = new TRichEditWB(form);
    editor->SetBounds(0, 300, 480, 90);
    editor->SetParent(form);
    editor->SetEmbeddedWB(wb);
    static_cast<TComponent*>(editor)->Loaded();
    TRichEditWB::BrowserWaitLimit = 10000;
  }
  void TearDown() override {
    TRichEditWB::BrowserWaitLimit = 30000;
    BrowserFixture::TearDown();
  }

  QString ControlText() const { return editor->TextEdit()->document()->toPlainText(); }
  // The browser's document as it stands now (read from the live page).
  QString DocumentSource() const {
    TMemoryStream s;
    wb->SaveToStream(s);
    return QString::fromUtf8(s.Bytes());
  }
  QString File(const QString& name) const { return QDir(testsupport::profileDir()).filePath(name); }

  // Drops local files on the editor as the desktop does.
  bool DropFiles(const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    QWidget* target = editor->TextEdit()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }

  ewbtest::LoopbackServer server;
  TRichEditWB* editor = nullptr;
};

}  // namespace

// ---------------------------------------------------------------- transfers

TEST_F(EditorTest, LoadsTheDocumentSourceAndPreviewsTheEditedText) {
  server.page("/doc",
              "<html><head><title>A/B: ..</title></head><body><p id=\"p\">first</p>\n<p>second</p>"
              "</body></html>");
  ASSERT_TRUE(show(server.url("/doc")));
  editor->LoadFromBrowser();
  EXPECT_TRUE(ControlText().contains(QLatin1String("<p id=\"p\">first</p>"))) << ControlText().toStdString();
  // The title is no safe file name as it stands.
  EXPECT_FALSE(editor->FileName().contains(u'/'));
  EXPECT_FALSE(editor->FileName().isEmpty());
  EXPECT_EQ(editor->SelStart(), int(SendMessageW(editor->Handle(), EM_LINEINDEX, 1, 0)));

  editor->SetText(QStringLiteral("<html><body><p id=\"q\">edited \u00e9</p></body></html>"));
  editor->PreviewInBrowser();
  EXPECT_TRUE(testsupport::waitFor([&] {
    return DocumentSource().contains(QStringLiteral("edited \u00e9"));
  })) << DocumentSource().toStdString();
}

TEST_F(EditorTest, WithoutABrowserOnlyTheMessageShows) {
  TScriptedDialogService dialogs;
  editor->SetEmbeddedWB(nullptr);
  editor->SetText(QStringLiteral("kept"));
  editor->LoadFromBrowser();
  editor->PreviewInBrowser();
  const auto messages = dialogs.CallsOf(TScriptedDialogService::dkMessage);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].Message, QStringLiteral("You must assign a TEmbeddedWB before using this feature."));
  EXPECT_EQ(messages[0].Type, mtInformation);
  EXPECT_EQ(ControlText(), QStringLiteral("kept"));
}

TEST_F(EditorTest, APageThatNeverCompletesDoesNotHoldTheTransfers) {
  TRichEditWB::BrowserWaitLimit = 500;
  wb->Navigate(server.url("/slow"));
  ASSERT_TRUE(testsupport::waitFor([&] { return server.requestCount("/slow") > 0; }));
  // Returns after the bound with the document as it stands, before the
  // slow page has come.
  editor->LoadFromBrowser();
  EXPECT_FALSE(ControlText().contains(QLatin1String("late"))) << ControlText().toStdString();
  editor->SetText(QStringLiteral("<p>shown</p>"));
  editor->PreviewInBrowser();  // stops the load once, then shows the text
  EXPECT_TRUE(testsupport::waitFor([&] { return DocumentSource().contains(QLatin1String("<p>shown</p>")); }))
      << DocumentSource().toStdString();
  server.release();
}

// ---------------------------------------------------------------- links

TEST_F(EditorTest, AClickOnALinkNavigatesTheBrowserOrRaisesOnURLClick) {
  const QString url = server.url("/page");
  editor->SetText(QStringLiteral("see ") + url + QStringLiteral(" here"));
  QTextEdit* edit = editor->TextEdit();
  auto clickLink = [&] {
    QTextCursor c(edit->document());
    c.setPosition(8);
    const QPoint at = edit->cursorRect(c).center();
    QTest::mouseClick(edit->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  };
  clickLink();
  EXPECT_TRUE(testsupport::waitFor([&] { return server.requestCount("/page") > 0; }));

  String clicked;
  editor->OnURLClick = [&](TObject*, const String& u) { clicked = u; };
  const int before = server.requestCount("/page");
  clickLink();
  EXPECT_EQ(clicked, url);
  // Without AutoNavigate a click is only a click.
  clicked.clear();
  editor->SetAutoNavigate(false);
  clickLink();
  EXPECT_TRUE(clicked.isEmpty());
  QTest::qWait(200);
  EXPECT_EQ(server.requestCount("/page"), before);
}

// ---------------------------------------------------------------- find, keys, status, menu

TEST_F(EditorTest, FindSelectsInTheControlsOwnPositions) {
  TScriptedDialogService dialogs;
  QStringList lines;
  for (int i = 1; i <= 60; ++i) lines << QStringLiteral("line %1 x").arg(i);
  editor->SetText(lines.join(QLatin1String("\r\n")));
  editor->ShowFindDialog();
  TFindDialog* find = editor->FindDialog();
  ASSERT_NE(find, nullptr);
  find->SetFindText(QStringLiteral("line 50 x"));
  find->Find();
  const int line50 = int(SendMessageW(editor->Handle(), EM_LINEINDEX, 49, 0));
  EXPECT_EQ(editor->SelStart(), line50);
  EXPECT_EQ(editor->SelText(), QStringLiteral("line 50 x"));
  // Find next from there: none further.
  find->SetOptions(find->Options() + frFindNext);
  find->Find();
  find->SetFindText(QStringLiteral("zz"));
  editor->ShowFindDialog();
  find = editor->FindDialog();
  find->SetFindText(QStringLiteral("zz"));
  find->Find();
  const auto messages = dialogs.CallsOf(TScriptedDialogService::dkMessage);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].Message, QStringLiteral("There are no further occurences of \"line 50 x\"."));
  EXPECT_EQ(messages[1].Message, QStringLiteral("Could not find \"zz\"."));
}

TEST_F(EditorTest, KeysViewerModeAndStatus) {
  editor->SetText(QStringLiteral("ab\r\ncd"));
  editor->SetSelStart(0);
  editor->SetSelLength(2);
  editor->Perform(WM_CHAR, 2, 0);  // Ctrl+B
  EXPECT_TRUE(editor->SelAttributes()->Style().Contains(fsBold));
  EXPECT_EQ(ControlText(), QStringLiteral("ab\ncd"));
  editor->Perform(WM_CHAR, 2, 0);
  EXPECT_FALSE(editor->SelAttributes()->Style().Contains(fsBold));
  editor->Perform(WM_CHAR, 1, 0);  // Ctrl+A
  EXPECT_EQ(editor->SelLength(), 5);

  editor->SetSelStart(4);
  editor->UpdateStatusBar();
  const QString sep = QStringLiteral(". | \n\r");
  EXPECT_EQ(editor->Hint(),
            QStringLiteral("File Name: Untitled") + sep + QStringLiteral("Position: Line:   2   Col:   2") +
                sep + QStringLiteral("Modified") + sep + editor->CapsText() + sep + editor->NumLockText() +
                sep + editor->InsertText() + sep + QStringLiteral("Total Lines Count: 2. |"));
  EXPECT_EQ(editor->LastLine(), 2);
  EXPECT_EQ(editor->LastColumn(), 2);

  // Viewer mode: typing changes nothing, the arrow keys scroll.
  QStringList many;
  for (int i = 0; i < 200; ++i) many << QStringLiteral("row %1").arg(i);
  editor->SetText(many.join(QLatin1String("\r\n")));
  editor->SetHideCaret(true);
  EXPECT_EQ(editor->TextEdit()->cursorWidth(), 0);
  const QString before = ControlText();
  editor->Perform(WM_CHAR, 'x', 0);
  QScrollBar* bar = editor->TextEdit()->verticalScrollBar();
  const int top = bar->value();
  editor->Perform(WM_KEYDOWN, VK_DOWN, 0);
  editor->Perform(WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_EQ(ControlText(), before);
  EXPECT_GT(bar->value(), top);
}

TEST_F(EditorTest, ThePopupMenuFollowsTheState) {
  editor->SetText(QStringLiteral("abc"));
  auto item = [&](TPopupMenu* menu, const char* name) -> TMenuItem* {
    TMenuItem* items = menu->Items();
    for (int i = 0; i < items->Count(); ++i)
      if (items->Items(i)->Name() == QLatin1String(name)) return items->Items(i);
    return nullptr;
  };
  TPopupMenu* menu = editor->BuildPopupMenu();
  ASSERT_EQ(menu->Items()->Count(), 17);  // twelve items, five separators
  for (const char* name : {"MenuItem2", "MenuItem3", "MenuItem7", "MenuItem13"}) {
    ASSERT_NE(item(menu, name), nullptr) << name;
    EXPECT_FALSE(item(menu, name)->Enabled()) << name;
  }
  EXPECT_TRUE(item(menu, "MenuItem4")->Enabled());
  EXPECT_EQ(item(menu, "MenuItem10")->Caption(), QStringLiteral("HighLight HTML"));
  editor->SetSelStart(1);
  editor->SetSelLength(1);
  editor->SetHighlightXML(false);
  menu = editor->BuildPopupMenu();
  EXPECT_TRUE(item(menu, "MenuItem13")->Enabled());
  EXPECT_EQ(item(menu, "MenuItem9"), nullptr);
  item(menu, "MenuItem7")->Click();  // clear selection
  EXPECT_EQ(ControlText(), QStringLiteral("ac"));
}

// ---------------------------------------------------------------- colouring

TEST_F(EditorTest, ColouringKeepsTextAndModifiedState) {
  HighLightHTML::initialize();
  editor->SetText(QStringLiteral("<b class=\"c\">x</b>\r\n"));
  editor->SetModified(false);
  editor->HighlightAsHtml();
  EXPECT_EQ(editor->GetText(), QStringLiteral("<b class=\"c\">x</b>\r\n"));
  EXPECT_FALSE(editor->Modified());
  const QTextBlock first = editor->TextEdit()->document()->begin();
  auto colourAt = [&](int pos) {
    for (auto it = first.begin(); !it.atEnd(); ++it)
      if (it.fragment().position() <= pos && pos < it.fragment().position() + it.fragment().length())
        return it.fragment().charFormat().foreground().color();
    return QColor();
  };
  EXPECT_EQ(colourAt(1), QColor(0, 0, 255));   // known tag
  EXPECT_EQ(colourAt(0), QColor(0, 0, 255));   // symbol
  EXPECT_EQ(colourAt(10), QColor(0, 128, 0));  // value in quotes
  editor->SetModified(true);
  editor->HighlightAsXml();
  EXPECT_TRUE(editor->Modified());
  EXPECT_EQ(editor->GetText(), QStringLiteral("<b class=\"c\">x</b>\r\n"));
}

// ---------------------------------------------------------------- files and drops

TEST_F(EditorTest, SaveQuestionsAndPlainUtf8Files) {
  TScriptedDialogService dialogs;
  editor->SetText(QStringLiteral("<p>\u00e9</p>"));
  editor->SetPlainText(false);
  // Untitled goes straight to the dialog; a cancelled dialog saves nothing.
  dialogs.QueueCancel();
  EXPECT_FALSE(editor->Save());
  ASSERT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).size(), 1u);
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave)[0].FileName, QStringLiteral("Untitled.html"));

  // An existing target is named in the question; No opens the dialog.
  const QString base = File(QStringLiteral("page"));
  ASSERT_TRUE(testsupport::writeFile(base + ".html", "old"));
  editor->SetFileName(base);
  dialogs.QueueAnswer(mrNo);
  dialogs.QueueFile(File(QStringLiteral("other.html")));
  EXPECT_TRUE(editor->Save());
  EXPECT_EQ(
      dialogs.CallsOf(TScriptedDialogService::dkMessage).back().Message,
      QStringLiteral("The file already exist. Do you want to overwrite ") + base + QStringLiteral(".html ?"));
  // ".html" is not added twice, and the file is the plain text in UTF-8.
  EXPECT_EQ(testsupport::readFile(File(QStringLiteral("other.html"))), QByteArray("<p>\xc3\xa9</p>"));
  EXPECT_EQ(editor->FileName(), File(QStringLiteral("other")));
  EXPECT_FALSE(editor->Modified());
  EXPECT_EQ(testsupport::readFile(base + ".html"), QByteArray("old"));

  // A file loaded under its own ".html" name is saved under that name.
  const QString page = File(QStringLiteral("doc.html"));
  ASSERT_TRUE(testsupport::writeFile(page, "<p>loaded</p>"));
  editor->LoadFromFile(page);
  EXPECT_EQ(editor->FileName(), page);
  editor->SetText(QStringLiteral("<p>changed</p>"));
  dialogs.QueueAnswer(mrYes);
  EXPECT_TRUE(editor->Save());
  EXPECT_EQ(
      dialogs.CallsOf(TScriptedDialogService::dkMessage).back().Message,
      QStringLiteral("The file already exist. Do you want to overwrite ") + page + QStringLiteral(" ?"));
  EXPECT_EQ(testsupport::readFile(page), QByteArray("<p>changed</p>"));
  EXPECT_FALSE(QFile::exists(page + QStringLiteral(".html")));

  // A Yes to the save question that did not save aborts like Cancel.
  editor->SetModified(true);
  editor->SetFileName(QStringLiteral("Untitled"));
  dialogs.QueueAnswer(mrYes);
  dialogs.QueueCancel();
  EXPECT_THROW(editor->ConfirmSave(), EAbort);
  dialogs.QueueAnswer(mrCancel);
  EXPECT_THROW(editor->ConfirmSave(), EAbort);
  dialogs.QueueAnswer(mrNo);
  EXPECT_NO_THROW(editor->ConfirmSave());
}

TEST_F(EditorTest, DropsLoadTheFirstFileAlsoAfterANewWindow) {
  TScriptedDialogService dialogs;
  const QString a = File(QStringLiteral("a.txt")), b = File(QStringLiteral("b.txt")),
                c = File(QStringLiteral("c.TXT"));
  ASSERT_TRUE(testsupport::writeFile(a, "first file"));
  ASSERT_TRUE(testsupport::writeFile(b, "second"));
  ASSERT_TRUE(testsupport::writeFile(c, "third"));
  editor->SetText(QStringLiteral("changed"));
  editor->SetModified(true);
  dialogs.QueueAnswer(mrNo);
  ASSERT_TRUE(DropFiles({a, b, c}));
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkMessage).size(), 1u);
  EXPECT_EQ(ControlText(), QStringLiteral("first file"));
  EXPECT_EQ(editor->FileName(), a);
  EXPECT_TRUE(editor->PlainText());
  EXPECT_EQ(PendingDropHandles(), 0);

  // A new window (a changed gap) keeps drops and the modified state.
  editor->SetModified(true);
  const HWND old = editor->Handle();
  editor->SetGapLeft(-1);
  EXPECT_EQ(editor->Handle(), old);
  editor->SetGapLeft(4);
  EXPECT_NE(editor->Handle(), old);
  EXPECT_TRUE(editor->Modified());
  dialogs.QueueAnswer(mrCancel);
  ASSERT_TRUE(DropFiles({c}));
  EXPECT_EQ(ControlText(), QStringLiteral("first file"));
  editor->SetModified(false);
  ASSERT_TRUE(DropFiles({c}));
  // ".TXT" is no ".txt": the file is read as rich text (here: text again).
  EXPECT_FALSE(editor->PlainText());
  EXPECT_EQ(ControlText(), QStringLiteral("third"));
  editor->SetAcceptDragFiles(false);
  DropFiles({a});
  EXPECT_EQ(ControlText(), QStringLiteral("third"));
  EXPECT_EQ(PendingDropHandles(), 0);
}

namespace {

// An embedded object that only notes how it is closed.
class ClosedObject final : public ComObject<IOleObject> {
 public:
  QList<DWORD> closes;
  HRESULT Close(DWORD option) override {
    closes << option;
    return S_OK;
  }
  HRESULT SetClientSite(IOleClientSite*) override { return E_NOTIMPL; }
  HRESULT GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT DoVerb(LONG, MSG*, IOleClientSite*, LONG, HWND, const RECT*) override { return E_NOTIMPL; }
  HRESULT EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT Update() override { return E_NOTIMPL; }
  HRESULT IsUpToDate() override { return E_NOTIMPL; }
  HRESULT GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }
};

}  // namespace

// The control asks its callback only before a paste and for a context menu;
// the other answers are the container's for embedded objects, which the
// editor never holds, so they are asked here directly.
TEST_F(EditorTest, TheOleCallbackAnswersForEmbeddedObjects) {
  TRichEditOleCallback* cb = editor->OleCallback();
  ASSERT_NE(cb, nullptr);
  const long count = cb->RefCount();
  void* out = reinterpret_cast<void*>(1);
  ASSERT_EQ(cb->QueryInterface(IID_IRichEditOleCallback, &out), S_OK);
  EXPECT_EQ(out, static_cast<IRichEditOleCallback*>(cb));
  ASSERT_EQ(cb->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(cb->RefCount(), count + 2);
  cb->Release();
  cb->Release();
  EXPECT_EQ(cb->QueryInterface(IID_IOleObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(cb->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  IOleInPlaceFrame* frame = reinterpret_cast<IOleInPlaceFrame*>(1);
  IOleInPlaceUIWindow* doc = reinterpret_cast<IOleInPlaceUIWindow*>(1);
  EXPECT_EQ(cb->GetInPlaceContext(&frame, &doc, nullptr), S_OK);
  EXPECT_EQ(frame, nullptr);
  EXPECT_EQ(doc, nullptr);
  EXPECT_EQ(cb->GetInPlaceContext(nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(cb->ShowContainerUI(TRUE), S_OK);
  CLSID clsid{};
  EXPECT_EQ(cb->QueryInsertObject(&clsid, nullptr, 0), S_OK);
  EXPECT_EQ(cb->QueryAcceptData(nullptr, nullptr, RECO_DROP, FALSE, nullptr), S_OK);
  EXPECT_EQ(cb->ContextSensitiveHelp(TRUE), S_OK);
  DWORD effect = 7;
  EXPECT_EQ(cb->GetDragDropEffect(TRUE, 0, &effect), E_NOTIMPL);
  EXPECT_EQ(effect, 7u);
  IDataObject* data = reinterpret_cast<IDataObject*>(1);
  EXPECT_EQ(cb->GetClipboardData(nullptr, RECO_COPY, &data), E_NOTIMPL);
  EXPECT_EQ(data, nullptr);

  // A deleted object is closed without being saved; no object, nothing to close.
  auto object = MakeCom<ClosedObject>();
  EXPECT_EQ(cb->DeleteObject(object.Get()), S_OK);
  EXPECT_EQ(object->closes, (QList<DWORD>{DWORD(OLECLOSE_NOSAVE)}));
  EXPECT_EQ(cb->DeleteObject(nullptr), S_OK);
  EXPECT_EQ(cb->RefCount(), count);
}

TEST_F(EditorTest, TheOleCallbackGivesStoragesAndIsNeverFreedByItsCount) {
  TRichEditOleCallback* cb = editor->OleCallback();
  ASSERT_NE(cb, nullptr);
  cb->AddRef();
  EXPECT_EQ(cb->Release(), 0u);
  EXPECT_EQ(cb->Release(), ULONG(-1));  // still alive: the editor owns it
  cb->AddRef();
  ComPtr<IStorage> storage;
  ASSERT_EQ(cb->GetNewStorage(storage.GetAddressOf()), S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(storage->CreateStream(u"Contents", DWORD(STGM_CREATE) | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                  0, stream.GetAddressOf()),
            S_OK);
  ULONG written = 0;
  EXPECT_EQ(stream->Write("abc", 3, &written), S_OK);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(cb->GetClipboardData(nullptr, 0, nullptr), E_NOTIMPL);
  HMENU menu = reinterpret_cast<HMENU>(1);
  EXPECT_EQ(cb->GetContextMenu(SEL_EMPTY, nullptr, nullptr, &menu), S_OK);
  EXPECT_EQ(menu, nullptr);
  EXPECT_EQ(cb->GetNewStorage(nullptr), E_OUTOFMEMORY);
  ComPtr<IStorage> refused;
  ComPtr<ILockBytes> bytes;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.GetAddressOf()), S_OK);
  EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_READ, 0, refused.GetAddressOf()),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(refused, nullptr);
}

TEST_F(EditorTest, ANewWindowKeepsTheCallbackAndTheLimitAndTheEndClearsTheCallback) {
  // The callbacks the control is handed, seen on the way in.
  std::vector<LPARAM> callbacks;
  auto* e = new TRichEditWB(form);
  e->SetBounds(0, 400, 200, 60);
  e->SetParent(form);
  e->SetSupprtMoreThen64KB(true);
  const TWndMethod previous = e->WindowProc;
  e->WindowProc = [&callbacks, previous](TMessage& m) {
    if (m.Msg == EM_SETOLECALLBACK) callbacks.push_back(m.LParam);
    previous(m);
  };
  static_cast<TComponent*>(e)->Loaded();
  const auto given = reinterpret_cast<LPARAM>(static_cast<IRichEditOleCallback*>(e->OleCallback()));
  ASSERT_EQ(callbacks, std::vector<LPARAM>{given});
  // Being loaded is no change of the text.
  EXPECT_FALSE(e->Modified());
  EXPECT_FALSE(e->Hint().contains(QLatin1String("Modified"))) << e->Hint().toStdString();
  EXPECT_EQ(SendMessageW(e->Handle(), EM_GETLIMITTEXT, 0, 0), LRESULT(0x7FFFFFF0));
  // The fixture's editor has the ordinary limit.
  EXPECT_EQ(SendMessageW(editor->Handle(), EM_GETLIMITTEXT, 0, 0), LRESULT(0xFFFFFF));

  e->SetText(QStringLiteral("typed"));
  e->SetModified(true);
  const HWND old = e->Handle();
  e->SetGapTop(3);
  ASSERT_NE(e->Handle(), old);
  EXPECT_EQ(callbacks.back(), given);
  EXPECT_EQ(SendMessageW(e->Handle(), EM_GETLIMITTEXT, 0, 0), LRESULT(0x7FFFFFF0));
  EXPECT_TRUE(e->Modified());
  EXPECT_TRUE(e->Hint().contains(QLatin1String("Modified")));

  // The control lets go of the callback before the editor frees it.
  callbacks.clear();
  delete e;
  EXPECT_EQ(callbacks, std::vector<LPARAM>{0});
}

// ---------------------------------------------------------------- printing

TEST_F(EditorTest, PrintsTheSelectionInsideTheMargins) {
  const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (pdftotext.isEmpty()) GTEST_SKIP() << "poppler-utils is not installed";
  struct Word {
    QString text;
    double x, y;
  };
  // The words printed for a selection, with their top left corners in points.
  const auto printed = [&](const QString& text, int start, int length) {
    editor->SetText(text);
    editor->SetSelStart(start);
    editor->SetSelLength(length);
    const QString pdf = File(QStringLiteral("selection.pdf"));
    QFile::remove(pdf);
    Printer()->SetOutputFile(pdf);
    editor->PrintSelection();
    Printer()->SetOutputFile(QString());
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(30000));
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    std::vector<Word> words;
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (auto it = word.globalMatch(html); it.hasNext();) {
      const auto m = it.next();
      words.push_back({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return words;
  };
  const auto texts = [](const std::vector<Word>& words) {
    QStringList out;
    for (const Word& w : words) out << w.text;
    return out.join(u' ');
  };

  // The last selected character is printed, the one after it is not.
  std::vector<Word> words = printed(QStringLiteral("before SELECTED words endmark\r\nafter"), 7, 18);
  EXPECT_EQ(texts(words), QStringLiteral("SELECTED words end"));
  // Inside the margins: an inch left, an inch and a half at the top, from
  // the printable area (the printer's own edge of some points comes on top).
  ASSERT_FALSE(words.empty());
  EXPECT_GE(words[0].x, 71.5);
  EXPECT_LE(words[0].x, 90.0);
  EXPECT_GE(words[0].y, 107.5);
  EXPECT_LE(words[0].y, 125.0);

  // Blanks and line ends that end the selection print nothing.
  const QString tail = QStringLiteral("SELECTED words end \r\n");
  words = printed(QStringLiteral("before ") + tail + QStringLiteral("after"), 7, int(tail.size()) - 1);
  EXPECT_EQ(texts(words), QStringLiteral("SELECTED words end"));
  for (const Word& w : words) {
    EXPECT_GE(w.x, 71.5) << w.text.toStdString();
    EXPECT_GE(w.y, 107.5) << w.text.toStdString();
  }
}
