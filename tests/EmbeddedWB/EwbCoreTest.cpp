// The host core: option words, ambient properties, the host interfaces'
// defaults and events, window parking, child windows and zoom.
#include "EmbeddedWB/Source/EwbCore.h"

#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Streaming.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/EmbeddedWB/EwbTestHost.h"

#include <QWebEngineView>

using namespace ewbtest;
using namespace EwbCore;

namespace {

WebBrowserObject* objectOf(TEmbeddedWB* b) {
  return WebBrowserObject::FromUnknown(b->DefaultInterface().Get());
}

// Asks the control's ambient dispatch for a property.
HRESULT ambientGet(TEmbeddedWB* b, DISPID id, OleVariant& value) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  return b->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                   value.ClearAndGetAddressOf(), nullptr, nullptr);
}

HRESULT ambientPut(TEmbeddedWB* b, DISPID id, const OleVariant& value, EXCEPINFO* info = nullptr) {
  OleVariant arg(value);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&arg, &named, 1, 1};
  return b->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, info, nullptr);
}

class EwbCoreTest : public BrowserFixture {};

// ---------------------------------------------------------------- option words

TEST(EwbCoreOptions, FlagTablesMapEachMemberToItsPlatformFlag) {
  for (int i = 0; i <= int(WorkOffline); ++i)
    EXPECT_EQ(DownloadControlWord({TDownloadControlOption(i)}), DownloadControlValues[i]) << i;
  // The frames flag 0x80000 has no member.
  TDownloadControlOptions all;
  for (int i = 0; i <= int(WorkOffline); ++i) all += TDownloadControlOption(i);
  EXPECT_EQ(DownloadControlWord(all) & 0x80000u, 0u);
  EXPECT_EQ(DownloadControlWord({DownloadImages, DownloadVideos, DownloadBGSounds}), 0x70u);
  EXPECT_EQ(DownloadControlWord({}), 0u);

  // From ordinal 15 on the flag is one bit above the ordinal: 0x8000 is skipped.
  EXPECT_EQ(UserInterfaceWord({EnableThemes}), 0x40000u);
  EXPECT_EQ(UserInterfaceWord({EnablesFormsAutoComplete}), 0x4000u);
  EXPECT_EQ(UserInterfaceWord({ForceSameWindowNavigation}), 0x10000u);
  EXPECT_EQ(UserInterfaceWord({ForceUserActivationOnActiveXJava}), 0x20000000u);
  TUserInterfaceOptions every;
  for (int i = 0; i <= int(ForceUserActivationOnActiveXJava); ++i) every += TUserInterfaceOption(i);
  EXPECT_EQ(UserInterfaceWord(every), 0x3FFF7FFFu);
  EXPECT_EQ(UserInterfaceWord({}), 0u);
}

TEST(EwbCoreOptions, MemberNamesAreThoseFormsStore) {
  EXPECT_EQ(TUserInterfaceOptions({EmableImeLocalLanguages}).ToString(), "[EmableImeLocalLanguages]");
  EXPECT_EQ(TUserInterfaceOptions({DisablesAutoNameSpaceCorrection}).ToString(),
            "[DisablesAutoNameSpaceCorrection]");
  EXPECT_EQ(TDownloadControlOptions({DownloadImages, WorkOffline}).ToString(),
            "[DownloadImages, WorkOffline]");
  EXPECT_EQ(TIEPopupMenus({rcmAll}).ToString(), "[rcmAll]");
}

TEST_F(EwbCoreTest, DownloadControlWordReachesTheBrowser) {
  OleVariant value;
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_DLCONTROL, value), S_OK);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.toInt(), 0x70);
  EXPECT_EQ(objectOf(wb)->DownloadControl(), 0x70u);

  wb->SetDownloadOptions({});
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_DLCONTROL, value), S_OK);
  EXPECT_EQ(value.toInt(), 0);
  EXPECT_EQ(objectOf(wb)->DownloadControl(), 0u);

  // The highest flag survives the trip through a signed 32-bit value.
  wb->SetDownloadOptions({DontExecuteScripts, WorkOffline});
  EXPECT_EQ(objectOf(wb)->DownloadControl(), 0x80000080u);
}

TEST_F(EwbCoreTest, HostInfoCarriesTheInterfaceFlags) {
  DOCHOSTUIINFO info;
  info.dwDoubleClick = 7;
  ASSERT_EQ(wb->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.cbSize, sizeof(DOCHOSTUIINFO));
  EXPECT_EQ(info.dwFlags, 0x44000u);
  EXPECT_EQ(info.dwDoubleClick, 0u);
  EXPECT_EQ(info.pchHostCss, nullptr);
  EXPECT_EQ(info.pchHostNS, nullptr);

  wb->SetUserInterfaceOptions({EnableThemes});
  ASSERT_EQ(wb->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags, 0x40000u);

  // The host style sheet and namespace come as task-memory copies.
  const long blocks = CoTaskMemLiveBlocks();
  wb->SetHostCSS("body { color: red }");
  wb->SetHostNS("ns");
  ASSERT_EQ(wb->GetHostInfo(&info), S_OK);
  EXPECT_EQ(OleStrToString(info.pchHostCss), "body { color: red }");
  EXPECT_EQ(OleStrToString(info.pchHostNS), "ns");
  CoTaskMemFree(info.pchHostCss);
  CoTaskMemFree(info.pchHostNS);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);

  // The event sees the prepared structure and may change it; the browser
  // takes the flags with its next document.
  wb->OnGetHostInfo = [](TObject*, DOCHOSTUIINFO& i) { i.dwFlags |= DOCHOSTUIFLAG_SCROLL_NO; };
  wb->SetHostCSS("");
  wb->SetHostNS("");
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("flags.html", "<html><body>f</body></html>")).toString()));
  EXPECT_EQ(objectOf(wb)->HostFlags(), 0x40000u | DOCHOSTUIFLAG_SCROLL_NO);
}

// ---------------------------------------------------------------- ambient properties

TEST_F(EwbCoreTest, UserModeFollowsPuts) {
  OleVariant value;
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_USERMODE, value), S_OK);
  EXPECT_TRUE(value.toBool());
  ASSERT_EQ(ambientPut(wb, DISPID_AMBIENT_USERMODE, OleVariant(false)), S_OK);
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_USERMODE, value), S_OK);
  EXPECT_FALSE(value.toBool());
  ASSERT_EQ(ambientPut(wb, DISPID_AMBIENT_USERMODE, OleVariant(true)), S_OK);
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_USERMODE, value), S_OK);
  EXPECT_TRUE(value.toBool());

  // A put without its value is refused, not read past the arguments.
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(wb->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr,
                       nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(wb->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYPUT, nullptr, nullptr, nullptr,
                       nullptr),
            DISP_E_BADPARAMCOUNT);
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_USERMODE, value), S_OK);
  EXPECT_TRUE(value.toBool());
}

TEST_F(EwbCoreTest, ExceptionsBecomeExceptionInfo) {
  // A value that is no Boolean.
  EXCEPINFO info{};
  EXPECT_EQ(ambientPut(wb, DISPID_AMBIENT_USERMODE, OleVariant("maybe"), &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.wCode, 9999);
  EXPECT_FALSE(BSTRToString(info.bstrSource).isEmpty());
  ClearExcepInfo(&info);

  // A handler that raises.
  wb->OnInvoke = [](TObject*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*,
                    HRESULT&) { throw EConvertError(QStringLiteral("no such value"), 42); };
  OleVariant value;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(
      wb->Invoke(DISPID_AMBIENT_SILENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, &info, nullptr),
      DISP_E_EXCEPTION);
  EXPECT_EQ(info.wCode, 9999);
  EXPECT_EQ(BSTRToString(info.bstrSource), "EConvertError");
  EXPECT_EQ(BSTRToString(info.bstrDescription), "no such value");
  EXPECT_EQ(info.dwHelpContext, 42u);
  ClearExcepInfo(&info);
  // Without an exception record the answer is the same.
  EXPECT_EQ(
      wb->Invoke(DISPID_AMBIENT_SILENT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
      DISP_E_EXCEPTION);
}

TEST_F(EwbCoreTest, UnansweredQuestionsGoToOnInvoke) {
  OleVariant value;
  EXPECT_EQ(ambientGet(wb, DISPID_AMBIENT_SILENT, value), DISP_E_MEMBERNOTFOUND);
  // Without an internal user agent the provider answers nothing.
  EXPECT_EQ(ambientGet(wb, DISPID_AMBIENT_USERAGENT, value), DISP_E_MEMBERNOTFOUND);

  std::vector<DISPID> asked;
  wb->OnInvoke = [&](TObject*, DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*,
                     HRESULT& rezult) {
    EXPECT_EQ(rezult, DISP_E_MEMBERNOTFOUND);
    asked.push_back(id);
    if (id == DISPID_AMBIENT_USERAGENT && result) {
      OleVariant(QStringLiteral("from handler")).Detach(result);
      rezult = S_OK;
    }
  };
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_USERAGENT, value), S_OK);
  EXPECT_EQ(VarToStr(value), "from handler");
  // Questions the control host answers itself never reach the handler.
  ASSERT_EQ(ambientGet(wb, -702, value), S_OK);  // display name
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_DLCONTROL, value), S_OK);
  EXPECT_EQ(asked, std::vector<DISPID>{DISPID_AMBIENT_USERAGENT});
}

TEST_F(EwbCoreTest, UserAgentComesFromTheProviderAsOneHeaderLine) {
  LoopbackServer server;
  wb->SetUserAgentMode(EmbeddedWB::uaInternal);
  wb->SetUserAgent("Noctivane/1.0\r\nX-Injected: yes\n");
  OleVariant value;
  ASSERT_EQ(ambientGet(wb, DISPID_AMBIENT_USERAGENT, value), S_OK);
  EXPECT_EQ(VarToStr(value), "Noctivane/1.0X-Injected: yes\r\n");

  // The browser asked again when the text was announced, and sends it.
  wb->SetUserAgent("NoctivaneAgent/2.0");
  ASSERT_TRUE(show(server.url("/page")));
  EXPECT_EQ(server.userAgent(), "NoctivaneAgent/2.0");

  // An empty text leaves the browser's own agent.
  wb->SetUserAgent("");
  EXPECT_EQ(ambientGet(wb, DISPID_AMBIENT_USERAGENT, value), DISP_E_MEMBERNOTFOUND);
}

// ---------------------------------------------------------------- host interfaces

TEST_F(EwbCoreTest, TranslateUrlHandsOutATaskMemoryCopy) {
  String in = QStringLiteral("http://a.test/");
  LPWSTR out = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(wb->TranslateUrl(0, reinterpret_cast<LPWSTR>(in.data()), &out), S_FALSE);
  EXPECT_EQ(out, nullptr);

  wb->OnTranslateUrl = [](TObject*, const String& from, String& to) {
    if (from == "http://a.test/") to = QStringLiteral("http://b.test/");
  };
  const long blocks = CoTaskMemLiveBlocks();
  ASSERT_EQ(wb->TranslateUrl(0, reinterpret_cast<LPWSTR>(in.data()), &out), S_OK);
  EXPECT_EQ(OleStrToString(out), "http://b.test/");
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks + 1);
  CoTaskMemFree(out);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);

  String other = QStringLiteral("http://c.test/");
  EXPECT_EQ(wb->TranslateUrl(0, reinterpret_cast<LPWSTR>(other.data()), &out), S_FALSE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}

TEST_F(EwbCoreTest, ServicesTheControlOffers) {
  void* p = nullptr;
  // Focus protection is always served; the answer is the allow-focus flag.
  ASSERT_EQ(wb->QueryService(SID_SProtectFocus, IID_IProtectFocus, &p), S_OK);
  ComPtr<IProtectFocus> focus;
  focus.Attach(static_cast<IProtectFocus*>(p));
  BOOL allow = 0;
  ASSERT_EQ(focus->AllowFocusChange(&allow), S_OK);
  EXPECT_EQ(allow, -1);
  wb->OnAllowFocusChange = [](TObject*, bool& value) { value = false; };
  ASSERT_EQ(focus->AllowFocusChange(&allow), S_OK);
  EXPECT_EQ(allow, 0);

  // The others only with their events.
  EXPECT_EQ(wb->QueryService(SID_SDownloadManager, IID_IDownloadManager, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(wb->QueryService(SID_SNewWindowManager, IID_INewWindowManager, &p), E_NOINTERFACE);
  EXPECT_EQ(wb->QueryService(IID_IAuthenticate, IID_IAuthenticate, &p), E_NOINTERFACE);
  EXPECT_EQ(wb->QueryService(SID_SHTMLOMWindowServices, IID_IHTMLOMWindowServices, &p), E_NOINTERFACE);
  EXPECT_EQ(wb->QueryService(SID_SHostBehaviorInit, IID_IHostBehaviorInit, &p), E_NOINTERFACE);

  HRESULT downloadAnswer = 0;
  wb->OnFileDownload = [&](TObject*, IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, const String& headers,
                           const String&, UINT, HRESULT& rezult) {
    downloadAnswer = rezult;
    if (headers == "take") rezult = S_OK;
  };
  ASSERT_EQ(wb->QueryService(SID_SDownloadManager, IID_IDownloadManager, &p), S_OK);
  ComPtr<IDownloadManager> downloads;
  downloads.Attach(static_cast<IDownloadManager*>(p));
  EXPECT_EQ(downloads->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(downloadAnswer, E_NOTIMPL);
  EXPECT_EQ(downloads->Download(nullptr, nullptr, 0, 0, nullptr, u"take", nullptr, 0), S_OK);

  wb->OnEvaluateNewWindow = [](TObject*, const String& url, const String&, const String&, const String&, bool,
                               DWORD, DWORD, HRESULT& rezult) {
    if (url.contains("blocked")) rezult = S_FALSE;
  };
  ASSERT_EQ(wb->QueryService(SID_SNewWindowManager, IID_INewWindowManager, &p), S_OK);
  ComPtr<INewWindowManager> windows;
  windows.Attach(static_cast<INewWindowManager*>(p));
  EXPECT_EQ(windows->EvaluateNewWindow(u"http://a.test/", u"", u"", u"", FALSE, 0, 0), E_FAIL);
  EXPECT_EQ(windows->EvaluateNewWindow(u"http://blocked.test/", u"", u"", u"", FALSE, 0, 0), S_FALSE);

  wb->SetFloatingHosting(true);
  ASSERT_EQ(wb->QueryService(SID_SHTMLOMWindowServices, IID_IHTMLOMWindowServices, &p), S_OK);
  static_cast<IUnknown*>(p)->Release();

  // A handler may serve anything else; the object is asked for the interface.
  wb->OnQueryService = [this](TObject*, REFGUID sid, REFIID, ComPtr<IUnknown>& obj) {
    if (sid == IID_IOleWindow) obj = static_cast<IOleCommandTarget*>(wb);
  };
  EXPECT_EQ(wb->QueryService(IID_IOleWindow, IID_IOleCommandTarget, &p), S_OK);
  EXPECT_EQ(p, static_cast<IOleCommandTarget*>(wb));
  EXPECT_EQ(wb->QueryService(IID_IOleWindow, IID_IWebBrowser2, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
}

TEST_F(EwbCoreTest, CommandsFromTheBrowser) {
  int commandExecs = 0;
  wb->OnCommandExec = [&](TObject*, const GUID*, DWORD cmd, DWORD, const VARIANT*, VARIANT*,
                          HRESULT& rezult) {
    ++commandExecs;
    EXPECT_EQ(rezult, OLECMDERR_E_NOTSUPPORTED);
    if (cmd == 77) rezult = S_OK;
  };
  // Refresh commands without OnRefresh: not supported, and OnCommandExec is not asked.
  for (DWORD cmd : {2300u, 6041u, 6042u})
    EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, cmd, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(commandExecs, 0);
  std::vector<DWORD> refreshed;
  wb->OnRefresh = [&](TObject*, DWORD cmd, bool& cancel) {
    refreshed.push_back(cmd);
    cancel = cmd == 2300;
  };
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, 2300, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, 6041, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(refreshed, (std::vector<DWORD>{2300, 6041}));
  EXPECT_EQ(commandExecs, 0);

  // Unload: its own event when assigned, otherwise the general one.
  EXPECT_EQ(wb->Exec(&CGID_Explorer, OLECMDID_ONUNLOAD, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(commandExecs, 1);
  int unloads = 0;
  wb->OnUnload = [&](TObject*) { ++unloads; };
  EXPECT_EQ(wb->Exec(&CGID_Explorer, OLECMDID_ONUNLOAD, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(unloads, 1);
  EXPECT_EQ(commandExecs, 1);

  // Anything else, a null group included, goes to OnCommandExec.
  EXPECT_EQ(wb->Exec(nullptr, 77, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, 78, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_EQ(commandExecs, 3);

  // Script errors by ScriptErrorAction, without OnCommandExec.
  OleVariant out;
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), S_OK);
  EXPECT_TRUE(out.toBool());
  wb->SetScriptErrorAction(eaCancel);
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), S_OK);
  EXPECT_FALSE(out.toBool());
  wb->SetScriptErrorAction(eaAskUser);
  EXPECT_EQ(wb->Exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out), S_FALSE);
  EXPECT_EQ(commandExecs, 3);
}

TEST_F(EwbCoreTest, DocumentHostDefaultsAndEvents) {
  HRESULT hr = 0;
  hr = wb->ShowUI(0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(wb->HideUI(), S_FALSE);
  EXPECT_EQ(wb->UpdateUI(), S_FALSE);
  wb->OnHideUI = [](TObject*, HRESULT& r) { r = S_OK; };
  EXPECT_EQ(wb->HideUI(), S_OK);
  EXPECT_EQ(wb->EnableModeless(TRUE), S_OK);
  bool activated = false;
  wb->OnOnDocWindowActivate = [&](TObject*, bool value) { activated = value; };
  EXPECT_EQ(wb->OnDocWindowActivate(TRUE), S_OK);
  EXPECT_TRUE(activated);

  // Option keys: one of the two, by OverrideOptionKeyPath.
  LPOLESTR key = nullptr;
  EXPECT_EQ(wb->GetOptionKeyPath(&key, 0), S_FALSE);
  EXPECT_EQ(key, nullptr);
  wb->SetOptionKeyPath("Software\\Noctivane\\Browser");
  ASSERT_EQ(wb->GetOptionKeyPath(&key, 0), S_OK);
  EXPECT_EQ(OleStrToString(key), "Software\\Noctivane\\Browser");
  CoTaskMemFree(key);
  EXPECT_EQ(wb->GetOverrideKeyPath(&key, 0), S_FALSE);
  wb->SetOverrideOptionKeyPath(true);
  EXPECT_EQ(wb->GetOptionKeyPath(&key, 0), S_FALSE);
  ASSERT_EQ(wb->GetOverrideKeyPath(&key, 0), S_OK);
  CoTaskMemFree(key);

  // External object.
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(wb->GetExternal(&external), S_FALSE);
  EXPECT_EQ(external, nullptr);
  wb->OnGetExternal = [this](TObject*, ComPtr<IDispatch>& d) { d = wb->ControlDispatch(); };
  ASSERT_EQ(wb->GetExternal(&external), S_OK);
  EXPECT_EQ(external, wb->ControlDispatch());
  external->Release();

  // Message boxes: the browser's own without a handler.
  String text = QStringLiteral("hello");
  LRESULT answer = 0;
  EXPECT_EQ(
      wb->ShowMessage(nullptr, reinterpret_cast<LPOLESTR>(text.data()), nullptr, 0, nullptr, 0, &answer),
      S_FALSE);
  wb->OnShowMessage = [](TObject*, HWND, LPOLESTR t, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT& result) {
    result = OleStrToString(t).size();
    return S_OK;
  };
  EXPECT_EQ(
      wb->ShowMessage(nullptr, reinterpret_cast<LPOLESTR>(text.data()), nullptr, 0, nullptr, 0, &answer),
      S_OK);
  EXPECT_EQ(answer, 5);

  // Help: a file given by the browser is the browser's to show.
  wb->SetHelpFile("noctivane.chm");
  String given = QStringLiteral("browser.chm");
  EXPECT_EQ(wb->ShowHelp(nullptr, reinterpret_cast<LPOLESTR>(given.data()), 0, 0, POINT{}, nullptr), S_FALSE);
  EXPECT_EQ(wb->ShowHelp(nullptr, nullptr, 0, 0, POINT{}, nullptr), S_OK);
  wb->SetHelpFile("");
  EXPECT_EQ(wb->ShowHelp(nullptr, nullptr, 0, 0, POINT{}, nullptr), S_FALSE);

  // Zoom changes: S_FALSE unless a handler answers.
  EXPECT_EQ(wb->OnZoomPercentChanged(150), S_FALSE);
  wb->OnZoomPercentChange = [](TObject*, ULONG percent) { return percent == 150 ? S_OK : E_FAIL; };
  EXPECT_EQ(wb->OnZoomPercentChanged(150), S_OK);

  // Drop target by handling type.
  IDropTarget* target = nullptr;
  EXPECT_EQ(wb->GetDropTarget(nullptr, &target), E_NOTIMPL);
  EXPECT_EQ(target, nullptr);
  wb->SetDropHandlingType(ddtMy);
  ASSERT_EQ(wb->GetDropTarget(nullptr, &target), S_OK);
  EXPECT_EQ(target, static_cast<IDropTarget*>(wb));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragOver(0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  wb->SetDropHandlingType(ddtNo);
  ASSERT_EQ(wb->GetDropTarget(nullptr, &target), S_OK);
  EXPECT_EQ(target, nullptr);
  EXPECT_FALSE(wb->RegisterAsDropTarget());
}

TEST_F(EwbCoreTest, AuthenticateHandsOutOnlyGivenTexts) {
  HWND window = nullptr;
  LPWSTR user = reinterpret_cast<LPWSTR>(1), password = reinterpret_cast<LPWSTR>(1);
  ASSERT_EQ(wb->Authenticate(&window, &user, &password), S_OK);
  EXPECT_EQ(window, wb->Handle());
  EXPECT_EQ(user, nullptr);
  EXPECT_EQ(password, nullptr);

  wb->OnAuthenticate = [](TObject*, HWND&, String& name, String&, HRESULT&) { name = QStringLiteral("ann"); };
  const long blocks = CoTaskMemLiveBlocks();
  ASSERT_EQ(wb->Authenticate(&window, &user, &password), S_OK);
  EXPECT_EQ(OleStrToString(user), "ann");
  EXPECT_EQ(password, nullptr);
  CoTaskMemFree(user);
  EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
}

TEST_F(EwbCoreTest, ScriptWindowMovesMoveTheFormOnlyWhenFloating) {
  std::vector<std::pair<int, int>> moves;
  wb->OnMove = [&](TObject*, int x, int y) { moves.push_back({x, y}); };
  const TRect before = form->BoundsRect();
  EXPECT_EQ(wb->moveTo(100, 120), S_OK);
  EXPECT_EQ(form->BoundsRect(), before);
  wb->SetFloatingHosting(true);
  EXPECT_EQ(wb->moveTo(60, 70), S_OK);
  EXPECT_EQ(form->Left(), 60);
  EXPECT_EQ(form->Top(), 70);
  EXPECT_EQ(form->Width(), before.Width());
  EXPECT_EQ(wb->resizeBy(10, -20), S_OK);
  EXPECT_EQ(form->Width(), before.Width() + 10);
  EXPECT_EQ(form->Height(), before.Height() - 20);
  EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{100, 120}, {60, 70}}));
}

// ---------------------------------------------------------------- windows

TEST_F(EwbCoreTest, ChildWindowsByClass) {
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("tree.html", "<html><body>tree</body></html>")).toString()));
  ASSERT_TRUE(testsupport::waitFor([&] { return wb->FindChildWindowByClass("Internet Explorer_Server"); }));
  HWND view = wb->FindChildWindowByClass("Shell DocObject View");
  HWND doc = wb->FindChildWindowByClass("Internet Explorer_Server");
  EXPECT_EQ(GetParent(view), wb->Handle());
  EXPECT_EQ(GetParent(doc), view);
  // Exact names only; the control's own window is not a child of itself.
  EXPECT_EQ(wb->FindChildWindowByClass("internet explorer_server"), nullptr);
  EXPECT_EQ(wb->FindChildWindowByClass("Shell Embedding"), nullptr);
  EXPECT_EQ(wb->FindChildWindowByClass("SysListView32"), nullptr);

  TEmbeddedWB* loose = new TEmbeddedWB(nullptr);
  EXPECT_EQ(loose->FindChildWindowByClass("Shell DocObject View"), nullptr);
  delete loose;
}

TEST_F(EwbCoreTest, WindowParkingKeepsThePage) {
  const QString url =
      QUrl::fromLocalFile(pagePath("parked.html", "<html><body>parked</body></html>")).toString();
  ASSERT_TRUE(show(url));
  HWND window = wb->Handle();
  HWND docView = wb->FindChildWindowByClass("Shell DocObject View");

  // A new window for the control: the same browser window comes back.
  wb->RecreateWnd();
  EXPECT_EQ(wb->Handle(), window);
  EXPECT_EQ(GetParent(window), form->Handle());
  EXPECT_EQ(wb->FindChildWindowByClass("Shell DocObject View"), docView);
  EXPECT_EQ(wb->LocationURL(), url);
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);

  // Into another parent: placed at the control's bounds, the page kept.
  TPanel* panel = new TPanel(form);
  panel->SetBounds(10, 10, 300, 200);
  panel->SetParent(form);
  wb->SetBounds(5, 6, 200, 150);
  wb->SetParent(panel);
  EXPECT_EQ(wb->Handle(), window);
  EXPECT_EQ(GetParent(window), panel->Handle());
  RECT r;
  GetWindowRect(window, &r);
  POINT origin{r.left, r.top};
  ScreenToClient(panel->Handle(), &origin);
  EXPECT_EQ(origin, (POINT{5, 6}));
  EXPECT_EQ(r.Width(), 200);
  EXPECT_TRUE(testsupport::waitFor([&] { return objectOf(wb)->View()->isVisible(); }));
  EXPECT_EQ(objectOf(wb)->View()->size(), QSize(200, 150));
  EXPECT_EQ(wb->LocationURL(), url);

  // Taken out of every parent the window waits; freeing the control frees it.
  wb->SetParent(nullptr);
  EXPECT_FALSE(wb->HandleAllocated());
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), Application->Handle());
  EXPECT_THROW(wb->HandleNeeded(), EInvalidOperation);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(wb->HandleAllocated());
  delete wb;
  wb = nullptr;
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(EwbCoreTest, ZoomIsClampedIntoTheDocumentsRange) {
  // No document: nothing to zoom, and nothing fails.
  wb->SetZoom(3);
  ASSERT_TRUE(show(QUrl::fromLocalFile(pagePath("zoom.html", "<html><body>zoom</body></html>")).toString()));
  QWebEnginePage* page = objectOf(wb)->Page();
  wb->SetZoom(3);
  EXPECT_EQ(PageTextSize(page), 3);
  wb->SetZoom(9);
  EXPECT_EQ(PageTextSize(page), 4);
  wb->SetZoom(-2);
  EXPECT_EQ(PageTextSize(page), 0);
}

TEST_F(EwbCoreTest, FocusGoesToTheDocument) {
  ASSERT_TRUE(
      show(QUrl::fromLocalFile(pagePath("focus.html", "<html><body>focus</body></html>")).toString()));
  wb->SetFocusToDoc();
  EXPECT_EQ(form->ActiveControl(), wb);
}

}  // namespace
