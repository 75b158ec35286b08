#include "platform/shdocvw/SHDocVw.h"

#include "platform/classlib/Dialogs.h"
#include "platform/classlib/Forms.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/platform/shdocvw/BrowserTestHost.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWebEnginePage>

using namespace browsertest;

namespace {

// A host control in the way the browser units derive from TEWB: its own
// ambient answers and a document host interface found through the site.
class HostedEWB : public TEWB, public IDocHostUIHandler {
 public:
  using TEWB::TEWB;
  DWORD downloadControl = 0;  // 0: not answered
  String translateFrom, translateTo;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && riid == IID_IDocHostUIHandler) {
      *ppv = static_cast<IDocHostUIHandler*>(this);
      return S_OK;
    }
    return TEWB::QueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return TEWB::AddRef(); }
  ULONG Release() override { return TEWB::Release(); }

  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* info, UINT* argErr) override {
    if (id == DISPID_AMBIENT_DLCONTROL && downloadControl && (flags & DISPATCH_PROPERTYGET) && result) {
      OleVariant(int(downloadControl)).Detach(result);
      return S_OK;
    }
    return TEWB::Invoke(id, riid, lcid, flags, params, result, info, argErr);
  }

  HRESULT ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
  HRESULT GetHostInfo(DOCHOSTUIINFO*) override { return E_NOTIMPL; }
  HRESULT ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                 IOleInPlaceUIWindow*) override {
    return S_FALSE;
  }
  HRESULT HideUI() override { return S_OK; }
  HRESULT UpdateUI() override { return S_OK; }
  HRESULT EnableModeless(BOOL) override { return S_OK; }
  HRESULT OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT TranslateAccelerator(MSG*, const GUID*, DWORD) override { return S_FALSE; }
  HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    *key = nullptr;
    return S_FALSE;
  }
  HRESULT GetDropTarget(IDropTarget*, IDropTarget** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetExternal(IDispatch** out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT TranslateUrl(DWORD, LPWSTR in, LPWSTR* out) override {
    *out = nullptr;
    if (OleStrToString(in) != translateFrom) return S_FALSE;
    *out = CoTaskMemDupString(translateTo);
    return S_OK;
  }
  HRESULT FilterDataObject(IDataObject*, IDataObject** out) override {
    *out = nullptr;
    return S_FALSE;
  }

  // The browser asks for the ambient properties again.
  void AmbientChanged(DISPID id) {
    auto control = Application().As<IOleControl>();
    ASSERT_TRUE(control);
    control->OnAmbientPropertyChange(id);
  }
};

class EWBTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 500, 400);
    wb = new HostedEWB(form);
    wb->SetBounds(0, 0, 400, 300);
    wb->SetParent(form);
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }

  void show() {
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }
  static bool complete(TEWB* b) {
    return testsupport::waitFor([b] { return b->ReadyState() == READYSTATE_COMPLETE && !b->Busy(); }, 10000);
  }
  bool go(const QUrl& url) {
    wb->Navigate(url.toString());
    return complete(wb);
  }
  WebBrowserObject* object(TEWB* b) const {
    return WebBrowserObject::FromUnknown(b->DefaultInterface().Get());
  }

  TForm* form = nullptr;
  HostedEWB* wb = nullptr;
};

TEST_F(EWBTest, WindowTreeBelowTheControlWindow) {
  show();
  HWND control = wb->Handle();
  EXPECT_EQ(GetClassName(control), "Shell Embedding");
  ASSERT_TRUE(go(page("ewb-tree.html", "<html><body style='background:#00ff00'>tree</body></html>")));
  ASSERT_TRUE(testsupport::waitFor([&] { return object(wb)->DocumentWindow() != nullptr; }));

  // Following first children from the control window, the document window is
  // the third window of the chain.
  std::vector<String> chain;
  for (HWND h = control; IsWindow(h); h = GetWindow(h, GW_CHILD)) chain.push_back(GetClassName(h));
  ASSERT_GE(chain.size(), 3u);
  EXPECT_EQ(chain[0], "Shell Embedding");
  EXPECT_EQ(chain[1], "Shell DocObject View");
  EXPECT_EQ(chain[2], "Internet Explorer_Server");

  // The object's view follows the control's size.
  wb->SetBounds(0, 0, 250, 120);
  EXPECT_EQ(object(wb)->View()->geometry(), QRect(0, 0, 250, 120));

  // A new window for the control keeps the page and rebuilds the chain.
  const String before = wb->LocationURL();
  wb->RecreateWnd();
  ASSERT_TRUE(IsWindow(wb->Handle()));
  EXPECT_NE(wb->Handle(), control);
  EXPECT_EQ(wb->LocationURL(), before);
  EXPECT_EQ(GetClassName(GetWindow(wb->Handle(), GW_CHILD)), "Shell DocObject View");
  EXPECT_TRUE(testsupport::waitFor([&] {
    return GetClassName(GetWindow(GetWindow(wb->Handle(), GW_CHILD), GW_CHILD)) == "Internet Explorer_Server";
  }));
}

TEST_F(EWBTest, EventsReachThePublishedHandlers) {
  std::vector<String> seen;
  wb->OnBeforeNavigate2 = [&](TObject* sender, IDispatch* pDisp, const OleVariant& url, const OleVariant&,
                              const OleVariant&, const OleVariant&, const OleVariant&, bool& cancel) {
    EXPECT_EQ(sender, wb);
    EXPECT_TRUE(IsSameObject(pDisp, wb->DefaultInterface().Get()));
    seen.push_back("before " + url.toString().section('/', -1));
    cancel = url.toString().endsWith("refused.html");
  };
  wb->OnDownloadBegin = [&](TObject*) { seen.push_back("begin"); };
  wb->OnNavigateComplete2 = [&](TObject*, IDispatch*, const OleVariant& url) {
    seen.push_back("navigated " + url.toString().section('/', -1));
  };
  wb->OnDocumentComplete = [&](TObject*, IDispatch*, const OleVariant& url) {
    seen.push_back("complete " + url.toString().section('/', -1));
  };
  wb->OnDownloadComplete = [&](TObject*) { seen.push_back("end"); };
  String title;
  wb->OnTitleChange = [&](TObject*, const String& text) { title = text; };
  int backEnabled = -1;
  wb->OnCommandStateChange = [&](TObject*, int command, bool enable) {
    if (command == CSC_NAVIGATEBACK) backEnabled = enable;
  };

  ASSERT_TRUE(go(page("ewb-a.html", "<html><head><title>A page</title></head></html>")));
  EXPECT_EQ(seen, (std::vector<String>{"before ewb-a.html", "begin", "navigated ewb-a.html",
                                       "complete ewb-a.html", "end"}));
  EXPECT_EQ(title, "A page");
  EXPECT_EQ(wb->LocationName(), "A page");
  EXPECT_TRUE(wb->Document().As<IHTMLDocument2>());
  EXPECT_TRUE(IsSameObject(wb->Application().Get(), wb->DefaultInterface().Get()));

  // A handler's Cancel refuses the navigation.
  seen.clear();
  page("refused.html", "<html></html>");
  wb->Navigate(page("refused.html", "<html></html>").toString());
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(seen, std::vector<String>{"before refused.html"});
  EXPECT_TRUE(wb->LocationURL().endsWith("ewb-a.html"));

  ASSERT_TRUE(go(page("ewb-b.html", "<html></html>")));
  EXPECT_EQ(backEnabled, 1);
  wb->GoBack();
  ASSERT_TRUE(complete(wb));
  EXPECT_TRUE(wb->LocationURL().endsWith("ewb-a.html"));

  // An exception in a handler goes to the application's handler (which shows
  // it); the browser goes on.
  TScriptedDialogService dialogs;
  wb->OnTitleChange = [](TObject*, const String&) { throw Exception("handler failed"); };
  seen.clear();
  ASSERT_TRUE(go(page("ewb-c.html", "<html><head><title>C</title></head></html>")));
  EXPECT_EQ(seen.back(), "end");
  ASSERT_FALSE(dialogs.CallsOf(TScriptedDialogService::dkMessage).empty());
  EXPECT_TRUE(dialogs.CallsOf(TScriptedDialogService::dkMessage)[0].Message.startsWith("handler failed"));
}

TEST_F(EWBTest, NewWindowTakesTheBrowserTheHandlerNames) {
  auto* other = new TEWB(form);
  other->SetBounds(0, 0, 100, 100);
  other->SetParent(form);
  show();
  ASSERT_TRUE(go(page("ewb-opener.html", "<html><body>o</body></html>")));
  int asked = 0;
  wb->OnNewWindow2 = [&](TObject*, ComPtr<IDispatch>& ppDisp, bool&) {
    ++asked;
    ppDisp = other->DefaultInterface();
  };
  bool thirdAsked = false;
  wb->OnNewWindow3 = [&](TObject*, ComPtr<IDispatch>&, bool&, unsigned, const String&, const String&) {
    thirdAsked = true;
  };
  page("ewb-popup.html", "<html><head><title>Pop</title></head></html>");
  object(wb)->Page()->runJavaScript("window.open('ewb-popup.html');");
  ASSERT_TRUE(testsupport::waitFor([&] { return other->LocationURL().endsWith("ewb-popup.html"); }));
  EXPECT_TRUE(complete(other));
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(thirdAsked);
  EXPECT_EQ(other->LocationName(), "Pop");
}

TEST_F(EWBTest, PropertiesAndMethods) {
  EXPECT_FALSE(wb->Silent());
  ASSERT_TRUE(wb->setProperty("Silent", true));  // published, as form streaming sets it
  EXPECT_TRUE(wb->Silent());
  VARIANT_BOOL silent = VARIANT_FALSE;
  wb->DefaultInterface()->get_Silent(&silent);
  EXPECT_EQ(silent, VARIANT_TRUE);
  EXPECT_TRUE(wb->RegisterAsDropTarget());
  wb->SetStatusText("status");
  EXPECT_EQ(wb->StatusText(), "status");
  bool toolBar = false;
  wb->OnToolBar = [&](TObject*, bool v) { toolBar = v; };
  wb->SetToolBar(1);
  EXPECT_TRUE(toolBar);
  EXPECT_EQ(wb->ToolBar(), 1);

  // Failures raise the COM error with their code.
  try {
    wb->GoBack();
    ADD_FAILURE() << "GoBack without history did not raise";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, E_FAIL);
  }
  try {
    wb->Navigate("  ");
    ADD_FAILURE() << "a blank address did not raise";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, E_INVALIDARG);
  }
  EXPECT_THROW(wb->ExecWB(OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER), EOleSysError);

  ASSERT_TRUE(go(page("ewb-props.html", "<html><body>p</body></html>")));
  OleVariant range;
  wb->ExecWB(OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(), range);
  EXPECT_EQ(range.toInt(), 0x40000);
  wb->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, OleVariant(1));
  EXPECT_EQ(PageTextSize(object(wb)->Page()), 1);
  wb->PutProperty("Key", OleVariant("value"));
  EXPECT_EQ(wb->GetProperty("Key").toString(), "value");
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);
  EXPECT_FALSE(wb->Busy());
  EXPECT_EQ(wb->QueryStatusWB(OLECMDID_STOP), OLECMDF_SUPPORTED);

  // The events are known to the form streaming.
  const QMetaObject* cls = &TEWB::staticMetaObject;
  EXPECT_TRUE(FindEvent(cls, "OnNewWindow3"));
  EXPECT_TRUE(FindEvent(cls, "onbeforenavigate2"));
  EXPECT_TRUE(FindEvent(cls, "OnClick"));  // the control's own events stay
  int browserEvents = 0;
  for (const TEventInfo* e : EventsOf(cls))
    browserEvents += FindEvent(&TOleControl::staticMetaObject, e->Name) == nullptr;
  EXPECT_EQ(browserEvents, 34);
}

TEST_F(EWBTest, TheDerivedHostAnswersAmbientsAndDocumentHostCalls) {
  redPicture();
  const QUrl url = page("ewb-img.html", "<html><body><img id=pic src='red.png'></body></html>");
  // Answers of the derived class reach the browser once it is told.
  wb->downloadControl = DLCTL_VIDEOS;
  wb->AmbientChanged(DISPID_AMBIENT_DLCONTROL);
  ASSERT_TRUE(go(url));
  QVariant width;
  ASSERT_TRUE(RunPageScript(object(wb)->Page(), "document.getElementById('pic').naturalWidth", &width));
  EXPECT_EQ(width.toInt(), 0);

  // The derived class's document host interface is found through the site.
  const QUrl target = page("ewb-target.html", "<html><head><title>Target</title></head></html>");
  wb->translateFrom = page("ewb-source.html", "<html></html>").toString();
  wb->translateTo = target.toString();
  wb->Navigate(wb->translateFrom);
  ASSERT_TRUE(complete(wb));
  EXPECT_EQ(wb->LocationURL(), target.toString());

  // The base answers the user mode and nothing unknown.
  OleVariant mode;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(wb->TEWB::Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &mode,
                             nullptr, nullptr),
            S_OK);
  EXPECT_TRUE(mode.toBool());
  EXPECT_EQ(wb->TEWB::Invoke(DISPID_AMBIENT_USERAGENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &mode,
                             nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

}  // namespace
