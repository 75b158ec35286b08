// The edit designer with a real browser on a loopback page: connecting and
// disconnecting (design mode read back from the document, the registration
// seen through the document's edit services), each failure text, and the
// designer callbacks with event objects over elements of a parsed page; the
// three commands with the browser's dialogs answered and cancelled.
#include "EmbeddedWB/Source/EditDesigner.h"

#include "platform/com/Dispatch.h"
#include "platform/mshtml/NativeDom.h"
#include "platform/mshtml/NativeElements.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/EmbeddedWB/EwbTestHost.h"
#include "tests/support/EditingSupport.h"

#include <map>

using EditDesigner::TEditDesigner;
using testsupport::BrowserDialogAnswer;
using namespace nativedom;

namespace {

// An event object with fixed properties, read by name.
class TestEvent final : public ComObject<IHTMLEventObj> {
 public:
  explicit TestEvent(std::map<QString, OleVariant> values) : values_(std::move(values)) {}
  int Reads(const QString& name) const { return reads_.count(name) ? reads_.at(name) : 0; }

  HRESULT GetTypeInfoCount(UINT* n) override { return n ? (*n = 0, S_OK) : E_POINTER; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) {
      const QString name = QString::fromUtf16(names[i]);
      auto it = values_.find(name);
      ids[i] = it == values_.end() ? DISPID_UNKNOWN : DISPID(std::distance(values_.begin(), it) + 1);
      if (ids[i] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id < 1 || id > DISPID(values_.size())) return DISP_E_MEMBERNOTFOUND;
    auto it = std::next(values_.begin(), id - 1);
    ++reads_[it->first];
    return result ? VariantCopy(result, &it->second) : S_OK;
  }

 private:
  std::map<QString, OleVariant> values_;
  std::map<QString, int> reads_;
};

class DesignerTest : public ewbtest::BrowserFixture {
 protected:
  void SetUp() override {
    BrowserFixture::SetUp();
    EditDesigner::initialize();
    designer = new TEditDesigner(form);
    designer->SetEmbeddedWB(wb);
    designer->OnError = [this](Integer code, const String& text) {
      errors << QStringLiteral("%1 %2").arg(code).arg(text);
    };
    tree = ParseHtml(QStringLiteral("<html><body><p id=\"x\">Some <b>bold</b> text</p></body></html>"),
                     QUrl(QStringLiteral("http://127.0.0.1/")));
  }

  QString DesignMode() {
    ComPtr<IHTMLDocument2> doc = wb->GetDocument();
    BSTR mode = nullptr;
    if (!doc || FAILED(doc->get_designMode(&mode))) return {};
    const QString s = BSTRToString(mode);
    SysFreeString(mode);
    return s.toLower();
  }
  ComPtr<IHTMLEditServices> Services() {
    ComPtr<IServiceProvider> provider = wb->GetDocument().As<IServiceProvider>();
    ComPtr<IHTMLEditServices> services;
    if (provider)
      provider->QueryService(SID_SHTMLEditServices, IID_IHTMLEditServices,
                             reinterpret_cast<void**>(services.GetAddressOf()));
    return services;
  }
  ComPtr<TestEvent> Event(const QString& type, IHTMLElement* source) {
    std::map<QString, OleVariant> v;
    v[QStringLiteral("type")] = OleVariant(type);
    v[QStringLiteral("keyCode")] = OleVariant(65);
    v[QStringLiteral("button")] = OleVariant(1);
    v[QStringLiteral("clientX")] = OleVariant(12);
    v[QStringLiteral("clientY")] = OleVariant(34);
    v[QStringLiteral("altKey")] = OleVariant(false);
    v[QStringLiteral("ctrlKey")] = OleVariant(true);
    v[QStringLiteral("shiftKey")] = OleVariant(false);
    v[QStringLiteral("srcElement")] = source ? OleVariant(static_cast<IDispatch*>(source)) : OleVariant();
    return MakeCom<TestEvent>(v);
  }

  ewbtest::LoopbackServer server;
  TEditDesigner* designer = nullptr;
  QStringList errors;
  std::shared_ptr<Tree> tree;
};

}  // namespace

TEST_F(DesignerTest, ConnectsOnceAndDisconnectsWithDesignMode) {
  ASSERT_TRUE(show(server.url("/page")));
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  EXPECT_TRUE(designer->Connected());
  EXPECT_EQ(DesignMode(), QStringLiteral("on"));
  // Registered with the document's services, exactly once.
  ComPtr<IHTMLEditServices> services = Services();
  ASSERT_NE(services, nullptr);
  EXPECT_EQ(services->AddDesigner(designer->DesignerInterface()), E_INVALIDARG);

  EXPECT_EQ(designer->DisconnectDesigner(), S_OK);
  EXPECT_FALSE(designer->Connected());
  EXPECT_EQ(DesignMode(), QStringLiteral("off"));
  EXPECT_EQ(services->RemoveDesigner(designer->DesignerInterface()), E_INVALIDARG);
  // A second disconnect has nothing to remove.
  EXPECT_NE(designer->DisconnectDesigner(), S_OK);
  EXPECT_TRUE(errors.last().endsWith(QLatin1String("Failed to RemoveDesigner.")))
      << errors.join(u'|').toStdString();
}

TEST_F(DesignerTest, FailuresAreReportedNeverCalled) {
  designer->SetEmbeddedWB(nullptr);
  EXPECT_EQ(designer->ConnectDesigner(), S_FALSE);
  EXPECT_EQ(designer->DisconnectDesigner(), S_FALSE);
  designer->DesignModeOff();
  designer->ExecCommand(u"Bold", false, 0);  // without a document: nothing
  designer->CreateLink();
  EXPECT_EQ(errors, (QStringList{QStringLiteral("-2147467259 Please assign a TEmbeddedWB!"),
                                 QStringLiteral("-2147467259 Please assign a TEmbeddedWB!")}));
  EXPECT_FALSE(designer->Connected());

  designer->SetEmbeddedWB(wb);
  designer->SetEnable(false);
  EXPECT_EQ(designer->ConnectDesigner(), S_FALSE);
  RECT r{};
  EXPECT_EQ(designer->SnapRect(nullptr, &r, 0), S_OK);
  EXPECT_EQ(designer->PreDrag(), S_OK);
  EXPECT_EQ(designer->About().isEmpty(), false);
  designer->SetAbout(QStringLiteral("changed"));
  EXPECT_NE(designer->About(), QStringLiteral("changed"));
}

TEST_F(DesignerTest, WithoutADocumentEachStepSaysWhatFailed) {
  // The browser has shown nothing yet: it has no document.
  ASSERT_EQ(wb->Document(), nullptr);
  EXPECT_EQ(designer->DisconnectDesigner(), S_FALSE);
  EXPECT_TRUE(FAILED(designer->ConnectDesigner()));
  EXPECT_FALSE(designer->Connected());
  designer->DesignModeOff();
  EXPECT_EQ(errors, (QStringList{QStringLiteral("-2147467259 Failed (Document = nil)."),
                                 QStringLiteral("-2147467259 Failed to set DesignMode state On."),
                                 QStringLiteral("-2147467259 Failed loading the designer!"),
                                 QStringLiteral("-2147467259 Failed to set DedignMode state Off.")}));
  // Nothing to run a command on.
  designer->InsertInputRadio();
  EXPECT_EQ(errors.size(), 4);
}

// The engine never snaps or drags elements of an edited page, so these
// moments reach the designer only through its edit-host interface.
TEST_F(DesignerTest, SnapAndDragAnswerThroughTheEditHost) {
  ComPtr<IHTMLEditHost2> host;
  ASSERT_EQ(designer->DesignerInterface()->QueryInterface(IID_IHTMLEditHost2,
                                                          reinterpret_cast<void**>(host.GetAddressOf())),
            S_OK);
  ComPtr<IHTMLElement> p = ElementOf(tree, tree->first("P"), nullptr);
  RECT r{1, 2, 30, 40};
  // Unassigned: the rectangle is taken as it is.
  EXPECT_EQ(host->SnapRect(p.Get(), &r, 0), S_OK);
  EXPECT_EQ(host->PreDrag(), S_OK);

  QString snapped;
  designer->OnSnapRect = [&](IHTMLElement* element, RECT& rect, DWORD handle) -> HRESULT {
    BSTR tag = nullptr;
    element->get_tagName(&tag);
    snapped = QStringLiteral("%1 %2").arg(BSTRToString(tag)).arg(handle);
    SysFreeString(tag);
    rect.left = rect.left / 10 * 10;
    rect.right = (rect.right + 9) / 10 * 10;
    return S_FALSE;
  };
  designer->OnPreDrag = [] { return E_ABORT; };
  EXPECT_EQ(host->SnapRect(p.Get(), &r, 3), S_FALSE);
  EXPECT_EQ(snapped, QStringLiteral("P 3"));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 30);
  EXPECT_EQ(host->PreDrag(), E_ABORT);
  // No rectangle to snap: the handler is not asked.
  snapped.clear();
  EXPECT_EQ(host->SnapRect(p.Get(), nullptr, 0), S_OK);
  EXPECT_TRUE(snapped.isEmpty());

  // A handler that raises answers the default and reports.
  designer->OnPreDrag = []() -> HRESULT { throw Exception(QStringLiteral("no drag")); };
  EXPECT_EQ(host->PreDrag(), S_OK);
  EXPECT_EQ(errors, (QStringList{QStringLiteral("-2147467259 PreDrag: no drag")}));

  // Disabled: the handlers are not asked. The edit-host moments need no
  // browser at all.
  designer->SetEnable(false);
  designer->SetEmbeddedWB(nullptr);
  designer->OnPreDrag = [] { return E_ABORT; };
  EXPECT_EQ(host->SnapRect(p.Get(), &r, 0), S_OK);
  EXPECT_EQ(host->PreDrag(), S_OK);
  designer->SetEnable(true);
  EXPECT_EQ(host->PreDrag(), E_ABORT);
}

TEST_F(DesignerTest, DestructionRemovesAConnectedDesignerEvenWhenDisabled) {
  ASSERT_TRUE(show(server.url("/page")));
  ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  ComPtr<IHTMLEditDesigner> held = designer->DesignerInterface();
  ComPtr<IHTMLEditServices> services = Services();
  designer->SetEnable(false);
  delete designer;
  designer = nullptr;
  EXPECT_EQ(services->RemoveDesigner(held.Get()), E_INVALIDARG);
  // What the browser still holds answers without the component.
  EXPECT_EQ(held->PreHandleEvent(DISPID_HTMLELEMENTEVENTS2_ONCLICK, nullptr), S_FALSE);
}

TEST_F(DesignerTest, PreHandleEventReportsTheEventAndItsSourceElement) {
  ComPtr<IHTMLElement> p = ElementOf(tree, tree->first("P"), nullptr);
  ASSERT_NE(p, nullptr);
  QStringList seen;
  designer->OnPreHandle = [&](Integer id, IHTMLEventObj*) {
    seen << QStringLiteral("pre %1").arg(id);
    return S_OK;
  };
  designer->OnKeyState = [&](bool, bool, bool, bool alt, bool ctrl, bool shift) {
    seen << QStringLiteral("keys %1%2%3").arg(alt).arg(ctrl).arg(shift);
  };
  designer->OnEvtDispId = [&](Integer id) { seen << QStringLiteral("id %1").arg(id); };
  designer->OnMouseButton = [&](Integer b) { seen << QStringLiteral("button %1").arg(b); };
  designer->OnKeyPress = [&](Integer k) { seen << QStringLiteral("key %1").arg(k); };
  designer->OnTagName = [&](const String& t) { seen << QStringLiteral("tag ") + t; };
  designer->OnType_ = [&](const String& t) { seen << QStringLiteral("type ") + t; };
  designer->OnInnerText = [&](const String& t) { seen << QStringLiteral("text ") + t; };
  designer->OnInnerHtml = [&](const String& t) { seen << QStringLiteral("html ") + t; };

  auto event = Event(QStringLiteral("mousedown"), p.Get());
  EXPECT_EQ(designer->PreHandleEvent(DISPID_HTMLELEMENTEVENTS2_ONMOUSEDOWN, event.Get()), S_FALSE);
  EXPECT_EQ(seen, (QStringList{"pre -605", "keys 010", "id -605", "button 1", "key 65", "tag P",
                               "type mousedown", "text Some bold text", "html Some <B>bold</B> text"}));
  // Values are read only for the events that are assigned.
  EXPECT_EQ(event->Reads(QStringLiteral("clientX")), 0);

  // No source element: only the first notice.
  seen.clear();
  EXPECT_EQ(designer->PreHandleEvent(DISPID_HTMLELEMENTEVENTS2_ONKEYDOWN, Event("keydown", nullptr).Get()),
            S_FALSE);
  EXPECT_EQ(seen, (QStringList{"pre -602"}));

  // Disabled: nothing at all.
  seen.clear();
  designer->SetEnable(false);
  EXPECT_EQ(designer->PreHandleEvent(DISPID_HTMLELEMENTEVENTS2_ONMOUSEDOWN, event.Get()), S_FALSE);
  EXPECT_TRUE(seen.isEmpty());
}

TEST_F(DesignerTest, MouseMovesGiveThePositionAndHandlersCannotRaiseIntoTheBrowser) {
  ComPtr<IHTMLElement> p = ElementOf(tree, tree->first("P"), nullptr);
  std::vector<std::pair<int, int>> positions;
  designer->OnMousePosition = [&](Integer x, Integer y) { positions.emplace_back(x, y); };
  EXPECT_EQ(designer->PostEditorEventNotify(DISPID_HTMLELEMENTEVENTS2_ONMOUSEMOVE,
                                            Event("mousemove", p.Get()).Get()),
            S_FALSE);
  EXPECT_EQ(designer->PostEditorEventNotify(DISPID_HTMLELEMENTEVENTS2_ONMOUSEDOWN,
                                            Event("mousedown", p.Get()).Get()),
            S_FALSE);
  EXPECT_EQ(positions, (std::vector<std::pair<int, int>>{{12, 34}}));

  designer->OnPostEditorNotify = [](Integer, IHTMLEventObj*) -> HRESULT { return S_OK; };
  EXPECT_EQ(designer->PostEditorEventNotify(DISPID_HTMLELEMENTEVENTS2_ONKEYUP, nullptr), S_OK);
  designer->OnPostHandle = [](Integer, IHTMLEventObj*) -> HRESULT {
    throw Exception(QStringLiteral("boom"));
  };
  EXPECT_EQ(designer->PostHandleEvent(DISPID_HTMLELEMENTEVENTS2_ONCLICK, nullptr), S_FALSE);
  EXPECT_EQ(errors, (QStringList{QStringLiteral("-2147467259 PostHandleEvent: boom")}));
  EXPECT_EQ(designer->TranslateAccelerator(DISPID_HTMLELEMENTEVENTS2_ONKEYDOWN, nullptr), S_FALSE);
}

// ---- The three commands with the browser's own dialogs, on a page in design mode

namespace {

class DesignerCommands : public DesignerTest {
 protected:
  void SetUp() override {
    DesignerTest::SetUp();
    server.page("/edit", "<html><body><p id=\"t\">word</p></body></html>");
    ASSERT_TRUE(show(server.url("/edit")));
    ASSERT_EQ(designer->ConnectDesigner(), S_OK);
  }
  QWebEnginePage* page() { return WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->Page(); }
  QString script(const QString& code) { return testsupport::pageScript(page(), code); }
  QString markup() { return script(QStringLiteral("document.getElementById('t').innerHTML")); }
  void select(bool collapsed = false) { testsupport::selectInPage(page(), QStringLiteral("t"), collapsed); }
  // The document's own command, as a page's host would call it.
  bool exec(const String& command, bool showUI, const OleVariant& value) {
    VARIANT_BOOL done = VARIANT_TRUE;
    const OwnedBstr name(StringToBSTR(command));
    EXPECT_EQ(wb->GetDocument()->execCommand(name.get(), showUI ? VARIANT_TRUE : VARIANT_FALSE, value, &done),
              S_OK);
    return done != VARIANT_FALSE;
  }
};

}  // namespace

TEST_F(DesignerCommands, CreateLinkAsksForTheAddressAndCancelChangesNothing) {
  const QString target = server.url("/linked");
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), target);
    designer->CreateLink();
    EXPECT_EQ(dialog.shown, 1);
    EXPECT_EQ(dialog.caption, QStringLiteral("Hyperlink"));
    EXPECT_EQ(dialog.owner, form->Handle());
    EXPECT_EQ(dialog.preset, QString());  // the designer's value is a number, no address
  }
  EXPECT_EQ(markup(), QStringLiteral("<a href=\"%1\">word</a>").arg(target));

  const QString linked = markup();
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("Cancel"), server.url("/other"));
    EXPECT_FALSE(exec(QStringLiteral("CreateLink"), true, OleVariant(String(server.url("/other")))));
    EXPECT_EQ(dialog.shown, 1);
  }
  EXPECT_EQ(markup(), linked);

  // A text value is the address the dialog starts from; an address typed
  // away to blanks links nothing.
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"));
    EXPECT_TRUE(exec(QStringLiteral("createlink"), true, OleVariant(String(server.url("/preset")))));
    EXPECT_EQ(dialog.preset, server.url("/preset"));
  }
  EXPECT_TRUE(markup().contains(QLatin1String("/preset\""))) << markup().toStdString();
  const QString preset = markup();
  select();
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), QStringLiteral("   "));
    EXPECT_FALSE(exec(QStringLiteral("CreateLink"), true, OleVariant(String(target))));
  }
  EXPECT_EQ(markup(), preset);
}

TEST_F(DesignerCommands, InsertImageAsksForThePictureSourceAndCancelInsertsNothing) {
  const QString picture = server.url("/picture.png");
  select(true);
  {
    BrowserDialogAnswer dialog(QStringLiteral("OK"), picture);
    designer->InsertImage();
    EXPECT_EQ(dialog.caption, QStringLiteral("Picture"));
  }
  EXPECT_EQ(markup(), QStringLiteral("word<img src=\"%1\">").arg(picture));
  select(true);
  {
    BrowserDialogAnswer dialog(QStringLiteral("Cancel"), picture);
    designer->InsertImage();
    EXPECT_EQ(dialog.shown, 1);
  }
  EXPECT_EQ(script(QStringLiteral("String(document.images.length)")), QStringLiteral("1"));
}

TEST_F(DesignerCommands, InsertInputRadioIsDoneByTheBridgeWhereThePageIsEditable) {
  BrowserDialogAnswer noDialog(QStringLiteral("Cancel"));
  select();
  designer->InsertInputRadio();
  EXPECT_EQ(markup(), QStringLiteral("<input type=\"radio\">"));

  // A text value is the button's id, taken as a value, never as markup.
  const QString id = QStringLiteral("r\"><b>1</b>");
  select(true);
  EXPECT_TRUE(exec(QStringLiteral("InsertInputRadio"), false, OleVariant(String(id))));
  EXPECT_EQ(script(QStringLiteral("String(document.querySelectorAll('#t input[type=radio]').length)")),
            QStringLiteral("2"));
  EXPECT_EQ(script(QStringLiteral("document.querySelectorAll('#t input')[1].id")), id);
  EXPECT_EQ(script(QStringLiteral("String(document.querySelectorAll('#t b').length)")), QStringLiteral("0"));
  EXPECT_EQ(noDialog.shown, 0);

  // Out of design mode the page is not editable: nothing is inserted.
  ASSERT_EQ(designer->DisconnectDesigner(), S_OK);
  const QString before = markup();
  select(true);
  EXPECT_FALSE(exec(QStringLiteral("InsertInputRadio"), false, OleVariant(String(QStringLiteral("r2")))));
  EXPECT_EQ(markup(), before);
}
