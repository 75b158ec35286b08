#pragma once
// A scripted host for the browser object: a client site with the document
// host interfaces and ambient properties, an event sink that records every
// DWebBrowserEvents2 event, pages in the profile folder and a window to
// activate in.
#include "platform/com/ComObject.h"
#include "platform/com/Dispatch.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/shdocvw/ExDisp.h"
#include "tests/support/TestSupport.h"

#include <QImage>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace browsertest {

// One recorded event: its id and its arguments in natural order (values of
// by-reference arguments).
struct Event {
  DISPID id;
  std::vector<OleVariant> args;
  String arg(size_t i) const { return i < args.size() ? VarToStr(args[i]) : String(); }
};

class EventSink : public ComObject<IDispatch> {
 public:
  std::vector<Event> events;
  // Called with each event's id and raw parameters (reverse order) after it is recorded.
  std::function<void(DISPID, DISPPARAMS*)> react;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && riid == DIID_DWebBrowserEvents2) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return ComObject::QueryInterface(riid, ppv);
  }
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    Event e{id, {}};
    for (UINT i = p->cArgs; i-- > 0;) {
      OleVariant v;
      VariantCopyInd(&v, &p->rgvarg[i]);
      e.args.push_back(v);
    }
    events.push_back(e);
    if (react) react(id, p);
    return S_OK;
  }

  // The ids of the recorded events, in order, keeping only `ids`.
  std::vector<DISPID> sequence(std::initializer_list<DISPID> ids) const {
    std::vector<DISPID> out;
    for (const Event& e : events)
      if (std::find(ids.begin(), ids.end(), e.id) != ids.end()) out.push_back(e.id);
    return out;
  }
  int count(DISPID id) const {
    int n = 0;
    for (const Event& e : events) n += e.id == id;
    return n;
  }
  const Event* last(DISPID id) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->id == id) return &*it;
    return nullptr;
  }
};

// The raw argument `i` (natural order) of an event's parameters.
inline VARIANT& rawArg(DISPPARAMS* p, UINT i) { return p->rgvarg[p->cArgs - 1 - i]; }

class TestSite : public ComObject<IOleClientSite, IDocHostUIHandler2, IDocHostShowUI, IServiceProvider,
                                  IOleCommandTarget, IDispatch> {
 public:
  std::map<DISPID, OleVariant> ambient;
  std::function<String(const String&)> translate;  // empty answer: no translation
  DWORD hostFlags = 0;
  String hostCss;
  int innerWindowCommands = 0;
  int acceleratorCalls = 0;
  HRESULT acceleratorAnswer = S_FALSE;
  std::vector<String> messages;
  LRESULT messageAnswer = 1;
  HRESULT newWindowVerdict = E_FAIL;  // INewWindowManager's answer
  int newWindowEvaluations = 0;
  std::vector<DWORD> contextMenus;  // kinds asked for
  HRESULT contextMenuAnswer = S_FALSE;
  bool contextTargetHasWindow = false;
  String user, password;  // IAuthenticate's answer (none when the user is empty)
  int authentications = 0;
  int unloads = 0;
  // Fields of the script errors reported (errorMessage, errorLine, errorUrl).
  std::vector<QStringList> scriptErrors;

  // IOleClientSite
  HRESULT SaveObject() override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IDocHostUIHandler2
  HRESULT ShowContextMenu(DWORD kind, POINT*, IUnknown* target, IDispatch*) override {
    contextMenus.push_back(kind);
    ComPtr<IOleWindow> window;
    HWND h = nullptr;
    contextTargetHasWindow = target && SUCCEEDED(target->QueryInterface(IID_IOleWindow, &window)) &&
                             SUCCEEDED(window->GetWindow(&h)) && h;
    return contextMenuAnswer;
  }
  HRESULT GetHostInfo(DOCHOSTUIINFO* info) override {
    info->dwFlags = hostFlags;
    info->pchHostCss = hostCss.isEmpty() ? nullptr : CoTaskMemDupString(hostCss);
    return S_OK;
  }
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
  HRESULT TranslateAccelerator(MSG* msg, const GUID*, DWORD) override {
    if (msg->message == WM_KEYDOWN) ++acceleratorCalls;
    return acceleratorAnswer;
  }
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
    const String to = translate ? translate(OleStrToString(in)) : String();
    if (to.isEmpty()) return S_FALSE;
    *out = CoTaskMemDupString(to);
    return S_OK;
  }
  HRESULT FilterDataObject(IDataObject*, IDataObject** out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT GetOverrideKeyPath(LPOLESTR* key, DWORD) override {
    *key = nullptr;
    return S_FALSE;
  }

  // IDocHostShowUI
  HRESULT ShowMessage(HWND, LPOLESTR text, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT* result) override {
    messages.push_back(OleStrToString(text));
    *result = messageAnswer;
    return S_OK;
  }
  HRESULT ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) override { return S_FALSE; }

  // IServiceProvider: a new-window manager with a fixed verdict.
  class Manager : public ComObject<INewWindowManager> {
   public:
    explicit Manager(TestSite* site) : site_(site) {}
    HRESULT EvaluateNewWindow(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, BOOL, DWORD, DWORD) override {
      ++site_->newWindowEvaluations;
      return site_->newWindowVerdict;
    }

   private:
    TestSite* site_;
  };
  class Authenticator : public ComObject<IAuthenticate> {
   public:
    explicit Authenticator(TestSite* site) : site_(site) {}
    HRESULT Authenticate(HWND* hwnd, LPWSTR* user, LPWSTR* password) override {
      ++site_->authentications;
      *hwnd = nullptr;
      *user = site_->user.isEmpty() ? nullptr : CoTaskMemDupString(site_->user);
      *password = site_->user.isEmpty() ? nullptr : CoTaskMemDupString(site_->password);
      return S_OK;
    }

   private:
    TestSite* site_;
  };
  HRESULT QueryService(REFGUID sid, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (sid == SID_SNewWindowManager) return MakeCom<Manager>(this)->QueryInterface(riid, ppv);
    if (riid == IID_IAuthenticate) return MakeCom<Authenticator>(this)->QueryInterface(riid, ppv);
    return E_NOINTERFACE;
  }

  // IOleCommandTarget
  HRESULT QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return S_OK; }
  HRESULT Exec(const GUID* group, DWORD cmd, DWORD, VARIANT* in, VARIANT*) override {
    if (group && *group == CGID_Explorer && cmd == CMDID_EXPLORER_INNERWINDOWS) ++innerWindowCommands;
    if (group && *group == CGID_Explorer && cmd == CMDID_EXPLORER_ONUNLOAD) ++unloads;
    if (group && *group == CGID_DocHostCommandHandler && cmd == OLECMDID_SHOWSCRIPTERROR) {
      // Read as a host does: document, its window, the window's event, fields by name.
      ComPtr<IHTMLDocument2> doc;
      ComPtr<IHTMLWindow2> window;
      ComPtr<IHTMLEventObj> event;
      QStringList fields;
      if (in && in->vt == VT_UNKNOWN && SUCCEEDED(in->punkVal->QueryInterface(IID_IHTMLDocument2, &doc)) &&
          SUCCEEDED(doc->get_parentWindow(&window)) && SUCCEEDED(window->get_event(&event)) && event) {
        for (const char* name : {"errorMessage", "errorline", "errorUrl"}) {
          DISPID id = 0;
          OleVariant v;
          if (SUCCEEDED(DispatchGetIDOfName(event.Get(), name, id)) &&
              SUCCEEDED(DispatchGetProperty(event.Get(), id, v)))
            fields << VarToStr(v);
        }
      }
      scriptErrors.push_back(fields);
      return S_OK;
    }
    return OLECMDERR_E_NOTSUPPORTED;
  }

  // IDispatch: the ambient properties.
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    auto it = ambient.find(id);
    if (!(flags & DISPATCH_PROPERTYGET) || it == ambient.end()) return DISP_E_MEMBERNOTFOUND;
    if (result) VariantCopy(result, &it->second);
    return S_OK;
  }
};

// Writes a page into the profile folder; answers its file address.
inline QUrl page(const QString& name, const QByteArray& html) {
  const QString path = testsupport::profileDir() + "/www/" + name;
  testsupport::writeFile(path, html);
  return QUrl::fromLocalFile(path);
}

// A 20x10 red PNG picture in the profile folder.
inline QString redPicture() {
  const QString path = testsupport::profileDir() + "/www/red.png";
  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(Qt::red);
  image.save(path);
  return path;
}

// A shown top-level window of class "Shell Embedding" to activate in.
struct HostWindow {
  std::unique_ptr<QWidget> widget;
  HWND handle = nullptr;
  HostWindow(int w = 400, int h = 300) : widget(new QWidget) {
    widget->resize(w, h);
    widget->show();
    handle = CreateWindowHandle("Shell Embedding", "", WS_OVERLAPPED | WS_VISIBLE, 0, nullptr, nullptr,
                                widget.get());
  }
  ~HostWindow() {
    if (IsWindow(handle)) DestroyWindow(handle);
  }
};

}  // namespace browsertest
