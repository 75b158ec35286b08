#include "EmbeddedWB/Source/EwbCore.h"

#include "EmbeddedWB/Source/EwbTools.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/Streaming.h"
#include "platform/winapi/DragDrop.h"
#include "platform/winapi/Menus.h"

#include <algorithm>

namespace EwbCore {

namespace {

// The text of a wide string handed in by the control; empty for null.
String textOf(LPCWSTR s) { return OleStrToString(s); }

// A task-memory copy for the control, or null for an empty text.
LPOLESTR taskCopyOrNull(const String& s) { return s.isEmpty() ? nullptr : CoTaskMemDupString(s); }

// The HTML Help entry point of the help control library, looked up on use.
using HtmlHelpProc = HWND (*)(HWND, LPCWSTR, UINT, DWORD_PTR);

HWND htmlHelp(HWND window, const String& file, UINT command, DWORD_PTR data) {
  const UINT oldMode = SetErrorMode(0x8000);  // SEM_NOOPENFILEERRORBOX
  HMODULE module = LoadLibrary(QStringLiteral("hhctrl.ocx"));
  SetErrorMode(oldMode);
  if (!module) return nullptr;
  auto proc = reinterpret_cast<HtmlHelpProc>(GetProcAddress(module, "HtmlHelpW"));
  if (!proc) return nullptr;
  return proc(window, reinterpret_cast<LPCWSTR>(file.utf16()), command, data);
}

}  // namespace

DWORD DownloadControlWord(TDownloadControlOptions options) {
  DWORD word = 0;
  if (options.Empty()) return word;
  for (int i = 0; i <= int(WorkOffline); ++i)
    if (options.Contains(TDownloadControlOption(i))) word |= DownloadControlValues[i];
  return word;
}

DWORD UserInterfaceWord(TUserInterfaceOptions options) {
  DWORD word = 0;
  if (options.Empty()) return word;
  for (int i = 0; i <= int(ForceUserActivationOnActiveXJava); ++i)
    if (options.Contains(TUserInterfaceOption(i))) word |= UserInterfaceValues[i];
  return word;
}

// ---------------------------------------------------------------- life

TCustomEmbeddedWB::TCustomEmbeddedWB(TComponent* AOwner) : TEWB(AOwner) {
  allowFocusChange_ = true;
  scriptErrorAction_ = eaContinue;
  SetDownloadOptions({DownloadImages, DownloadVideos, DownloadBGSounds});
  SetUserInterfaceOptions({EnablesFormsAutoComplete, EnableThemes});
  dropHandlingType_ = ddtMS;
  disableCtrlShortcuts_ = QStringLiteral("N");
}

TCustomEmbeddedWB::~TCustomEmbeddedWB() {
  // A window still parked goes with the control, like its own window.
  if (parkedWindow_ && !WindowHandle() && IsWindow(parkedWindow_)) SetWindowHandle(parkedWindow_);
  parkedWindow_ = nullptr;
}

// ---------------------------------------------------------------- options

void TCustomEmbeddedWB::AmbientPropertyChanged(DISPID dispID) {
  try {
    ComPtr<IDispatch> browser = Application();
    if (auto control = browser ? browser.As<IOleControl>() : nullptr)
      control->OnAmbientPropertyChange(dispID);
  } catch (const Exception&) {
    // Without a browser object there is nobody to tell.
  }
}

void TCustomEmbeddedWB::SetDownloadOptions(TDownloadControlOptions value) {
  downloadOptions_ = value;
  downloadControlWord_ = DownloadControlWord(value);
  AmbientPropertyChanged(DISPID_AMBIENT_DLCONTROL);
}

void TCustomEmbeddedWB::SetUserInterfaceOptions(TUserInterfaceOptions value) {
  userInterfaceOptions_ = value;
  hostUIFlags_ = UserInterfaceWord(value);
  // The control reads the flags through GetHostInfo at its next document;
  // the notification is the same as for the download options.
  AmbientPropertyChanged(DISPID_AMBIENT_DLCONTROL);
}

void TCustomEmbeddedWB::SetDropHandlingType(TDragDropHandlingType value) {
  if (value == dropHandlingType_) return;
  dropHandlingType_ = value;
  // The browser asks for its drop target (GetDropTarget) with each document;
  // the document shown now changes over at once.
  if (!WindowHandle()) return;
  HWND document = FindChildWindowByClass(QStringLiteral("Internet Explorer_Server"));
  if (document) RevokeDragDrop(document);
  ComPtr<IDropTarget> target;
  if (value != ddtCustom || document) GetDropTarget(nullptr, target.ReleaseAndGetAddressOf());
  if (document && target) RegisterDragDrop(document, target.Get());
}

// ---------------------------------------------------------------- operations

ComPtr<IHTMLDocument2> TCustomEmbeddedWB::GetDocument() const {
  try {
    ComPtr<IDispatch> doc = Document();
    return doc ? doc.As<IHTMLDocument2>() : nullptr;
  } catch (const Exception&) {
    return nullptr;
  }
}

HWND TCustomEmbeddedWB::FindChildWindowByClass(const String& ClassName) {
  HWND h = WindowHandle();
  if (!h) return nullptr;
  for (h = GetWindow(h, GW_CHILD); IsWindow(h); h = GetWindow(h, GW_CHILD)) {
    WCHAR name[512] = {};
    const int n = GetClassNameW(h, name, 512);
    if (String::fromUtf16(name, n) == ClassName) return h;
  }
  return nullptr;
}

HRESULT TCustomEmbeddedWB::ExecDocumentCommand(DWORD CmdID, DWORD ExecOpt, VARIANT* In, VARIANT* Out) {
  ComPtr<IHTMLDocument2> doc = GetDocument();
  ComPtr<IOleCommandTarget> target = doc ? doc.As<IOleCommandTarget>() : nullptr;
  if (!target) return E_UNEXPECTED;
  return target->Exec(nullptr, CmdID, ExecOpt, In, Out);
}

void TCustomEmbeddedWB::SetZoom(int Value) {
  OleVariant range;
  if (FAILED(ExecDocumentCommand(OLECMDID_GETZOOMRANGE, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, &range)))
    return;
  DWORD bounds = 0;
  try {
    bounds = DWORD(range.toInt64());
  } catch (const Exception&) {
    return;
  }
  const int low = LOWORD(bounds);
  const int high = HIWORD(bounds);
  OleVariant value(std::clamp(Value, low, std::max(low, high)));
  OleVariant out;
  ExecDocumentCommand(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &value, &out);
}

void TCustomEmbeddedWB::SetFocusToDoc() {
  if (!GetDocument()) return;
  const bool saved = allowFocusChange_;
  allowFocusChange_ = true;
  ComPtr<IOleObject> object;
  try {
    ComPtr<IDispatch> browser = Application();
    if (browser) object = browser.As<IOleObject>();
  } catch (const Exception&) {
  }
  if (object) {
    const RECT rect = ClientRect();
    if (object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, this, 0, Handle(), &rect) == S_OK) {
      TCustomForm* form = GetParentForm(this);
      if (form && CanFocus()) form->SetActiveControl(this);
    }
  }
  allowFocusChange_ = saved;
}

TCustomForm* TCustomEmbeddedWB::HostForm() { return GetParentForm(this, true); }

// ---------------------------------------------------------------- window parking

void TCustomEmbeddedWB::DestroyWnd() {
  if (ComponentState().Contains(csDestroying) || !WindowHandle() || !::Application) {
    TEWB::DestroyWnd();
    return;
  }
  // The browser window waits under the application's hidden window; the
  // control forgets it without destroying it.
  parkedWindow_ = WindowHandle();
  ::SetParent(parkedWindow_, ::Application->Handle());
  SetWindowHandle(nullptr);
}

void TCustomEmbeddedWB::CreateWnd() {
  HWND parked = parkedWindow_;
  if (!parked || !IsWindow(parked)) {
    parkedWindow_ = nullptr;
    TEWB::CreateWnd();
    return;
  }
  TCreateParams params;
  CreateParams(params);
  // Without a window to live in, the browser window keeps waiting.
  if (!params.WndParent)
    throw EInvalidOperation(QStringLiteral("Control '%1' has no parent window").arg(Name()));
  parkedWindow_ = nullptr;
  SetWindowHandle(parked);
  ::SetParent(parked, params.WndParent);
  // The control's widget belongs in its parent's container.
  if (TWinControl* parent = Parent()) {
    QWidget* container = parent->ContainerWidget();
    if (Widget()->parentWidget() != container) Widget()->setParent(container);
  }
  MoveWindow(parked, Left(), Top(), Width(), Height(), TRUE);
  if (auto inPlace = ComPtr<IOleObject>(OleObjectInterface()).As<IOleInPlaceObject>()) {
    const RECT rect{0, 0, ClientWidth(), ClientHeight()};
    inPlace->SetObjectRects(&rect, &rect);
  }
}

// ---------------------------------------------------------------- IUnknown

HRESULT TCustomEmbeddedWB::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  void* found = nullptr;
  if (riid == IID_IDocHostUIHandler || riid == IID_IDocHostUIHandler2)
    found = static_cast<IDocHostUIHandler2*>(this);
  else if (riid == IID_IDocHostShowUI)
    found = static_cast<IDocHostShowUI*>(this);
  else if (riid == IID_IOleCommandTarget)
    found = static_cast<IOleCommandTarget*>(this);
  else if (riid == IID_IServiceProvider)
    found = static_cast<IServiceProvider*>(this);
  else if (riid == IID_INewWindowManager)
    found = static_cast<INewWindowManager*>(this);
  else if (riid == IID_IDownloadManager)
    found = static_cast<IDownloadManager*>(this);
  else if (riid == IID_IAuthenticate)
    found = static_cast<IAuthenticate*>(this);
  else if (riid == IID_IZoomEvents)
    found = static_cast<IZoomEvents*>(this);
  else if (riid == IID_IProtectFocus)
    found = static_cast<IProtectFocus*>(this);
  else if (riid == IID_IHTMLOMWindowServices)
    found = static_cast<IHTMLOMWindowServices*>(this);
  else if (riid == IID_IHostBehaviorInit)
    found = static_cast<IHostBehaviorInit*>(this);
  else if (riid == IID_IDropTarget)
    found = static_cast<IDropTarget*>(this);
  if (!found) return TEWB::QueryInterface(riid, ppvObject);
  *ppvObject = found;
  AddRef();
  return S_OK;
}

ULONG TCustomEmbeddedWB::AddRef() { return TEWB::AddRef(); }
ULONG TCustomEmbeddedWB::Release() { return TEWB::Release(); }

// ---------------------------------------------------------------- IDispatch

HRESULT TCustomEmbeddedWB::GetTypeInfoCount(UINT* pctinfo) {
  HRESULT rezult = TEWB::GetTypeInfoCount(pctinfo);
  if (OnGetTypeInfoCount && pctinfo) OnGetTypeInfoCount(this, *pctinfo, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  HRESULT rezult = TEWB::GetTypeInfo(iTInfo, lcid, ppTInfo);
  if (OnGetTypeInfo && ppTInfo) OnGetTypeInfo(this, iTInfo, lcid, *ppTInfo, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                         DISPID* rgDispId) {
  HRESULT rezult = TEWB::GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  if (OnGetIDsOfNames) OnGetIDsOfNames(this, riid, rgszNames, cNames, lcid, rgDispId, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                  DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                  UINT* puArgErr) {
  try {
    if ((wFlags & DISPATCH_PROPERTYGET) && pVarResult) {
      switch (dispIdMember) {
        case DISPID_AMBIENT_USERAGENT:
          if (UserAgentProvider) {
            String agent;
            if (UserAgentProvider(agent) == S_OK && !agent.isEmpty()) {
              // One header line: a line break inside the text would start another.
              agent.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
              OleVariant(agent + QStringLiteral("\r\n")).Detach(pVarResult);
              return S_OK;
            }
          }
          break;
        case DISPID_AMBIENT_DLCONTROL: OleVariant(int(downloadControlWord_)).Detach(pVarResult); return S_OK;
        case DISPID_AMBIENT_USERMODE: OleVariant(!designMode_).Detach(pVarResult); return S_OK;
        default: break;
      }
    } else if ((wFlags & DISPATCH_PROPERTYPUT) && dispIdMember == DISPID_AMBIENT_USERMODE) {
      if (!pDispParams || pDispParams->cArgs == 0 || !pDispParams->rgvarg) return DISP_E_BADPARAMCOUNT;
      OleVariant value;
      VariantCopyInd(&value, &pDispParams->rgvarg[0]);
      designMode_ = !value.toBool();
      return S_OK;
    }
    HRESULT rezult =
        TEWB::Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    if (rezult == DISP_E_MEMBERNOTFOUND && OnInvoke)
      OnInvoke(this, dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr, rezult);
    return rezult;
  } catch (const Exception& e) {
    // Nothing raised here may reach the control.
    if (pExcepInfo) {
      *pExcepInfo = EXCEPINFO{};
      pExcepInfo->wCode = 9999;
      pExcepInfo->bstrSource = StringToBSTR(e.ClassName());
      pExcepInfo->bstrDescription = StringToBSTR(e.Message);
      pExcepInfo->dwHelpContext = DWORD(e.HelpContext);
    }
    return DISP_E_EXCEPTION;
  } catch (const std::exception& e) {
    if (pExcepInfo) {
      *pExcepInfo = EXCEPINFO{};
      pExcepInfo->wCode = 9999;
      pExcepInfo->bstrSource = StringToBSTR(QStringLiteral("Exception"));
      pExcepInfo->bstrDescription = StringToBSTR(String::fromUtf8(e.what()));
    }
    return DISP_E_EXCEPTION;
  }
}

// ---------------------------------------------------------------- IDocHostUIHandler

HRESULT TCustomEmbeddedWB::ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                           IDispatch* pdispReserved) {
  HRESULT result = E_NOTIMPL;
  if (OnShowContextMenu) OnShowContextMenu(this, dwID, ppt, pcmdtReserved, pdispReserved, result);
  if (result != E_NOTIMPL) return result;
  const bool disabled = disabledPopupMenus_.Contains(rcmAll) ||
                        (dwID < DWORD(rcmAll) && disabledPopupMenus_.Contains(TIEPopupMenu(dwID)));
  if (disabled) {
    // No browser menu; the control's own menu, when it has one.
    if (TPopupMenu* menu = PopupMenu()) {
      POINT cursor;
      GetCursorPos(&cursor);
      menu->Popup(cursor.x, cursor.y);
    }
    return S_OK;
  }
  if (HasPopupMenuFilter()) return ShowFilteredMenu(dwID, ppt, pcmdtReserved, pdispReserved) ? S_OK : S_FALSE;
  return S_FALSE;
}

namespace {

// The browser's context menus: a resource of the browser's resource library
// with one submenu per kind of menu.
constexpr WORD kContextMenuResource = 24641;
constexpr UINT kEncodingCommand = 2292;
// The browser answers this ExecWB command with its encoding submenu.
constexpr OLECMDID kEncodingMenuCommand = OLECMDID(27);
// With TPM_HORPOSANIMATION (0x400) and TPM_VERPOSANIMATION (0x1000): 0x1502.
constexpr UINT kContextMenuTracking = TPM_RIGHTBUTTON | TPM_RETURNCMD | 0x0400 | 0x1000;

// The window of a command target that also answers IOleWindow; 0 without one.
HWND commandTargetWindow(IUnknown* target) {
  if (!target) return nullptr;
  ComPtr<IOleCommandTarget> commands;
  if (FAILED(target->QueryInterface(IID_IOleCommandTarget, &commands)) || !commands) return nullptr;
  ComPtr<IOleWindow> window;
  if (FAILED(commands->QueryInterface(IID_IOleWindow, &window)) || !window) return nullptr;
  HWND handle = nullptr;
  return SUCCEEDED(window->GetWindow(&handle)) && IsWindow(handle) ? handle : nullptr;
}

}  // namespace

bool TCustomEmbeddedWB::ShowFilteredMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                                         IDispatch* pdispReserved) {
  HMODULE library = EwbTools::GetShdoclcHandle();
  if (!library) return false;
  HWND owner = commandTargetWindow(pcmdtReserved);
  if (!owner) return false;
  const OwnedMenu menus(LoadMenuW(library, MAKEINTRESOURCEW(kContextMenuResource)));
  if (!menus) return false;
  // A kind the resource has no menu for is the browser's to show.
  HMENU menu = GetSubMenu(menus.get(), int(dwID));
  if (!menu) return false;

  // The Encoding item opens the browser's own encoding menu.
  if (ComPtr<IWebBrowser2> browser = DefaultInterface()) {
    OleVariant answer;
    if (SUCCEEDED(browser->ExecWB(kEncodingMenuCommand, OLECMDEXECOPT_DODEFAULT, nullptr,
                                  answer.ClearAndGetAddressOf()))) {
      HMENU encodings = nullptr;
      try {
        encodings = reinterpret_cast<HMENU>(std::uintptr_t(answer.toInt64()));
      } catch (const Exception&) {
      }
      if (encodings && IsMenu(encodings)) {
        MENUITEMINFOW info;
        info.fMask = MIIM_SUBMENU;
        info.hSubMenu = encodings;
        SetMenuItemInfoW(menu, kEncodingCommand, FALSE, &info);
      }
    }
  }

  FilterPopupMenu(dwID, menu, pdispReserved);

  POINT at;
  if (ppt)
    at = *ppt;
  else
    GetCursorPos(&at);
  const UINT command = UINT(TrackPopupMenu(menu, kContextMenuTracking, at.x, at.y, 0, owner, nullptr));
  if (command && IsWindow(owner)) SendMessageW(owner, WM_COMMAND, MAKEWPARAM(WORD(command), 0), 0);
  return true;
}

HRESULT TCustomEmbeddedWB::GetHostInfo(DOCHOSTUIINFO* pInfo) {
  if (!pInfo) return E_POINTER;
  *pInfo = DOCHOSTUIINFO{};
  pInfo->cbSize = sizeof(DOCHOSTUIINFO);
  pInfo->dwFlags = hostUIFlags_;
  pInfo->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  if (OnGetHostInfo) OnGetHostInfo(this, *pInfo);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                                  IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                                  IOleInPlaceUIWindow* pDoc) {
  HRESULT rezult = S_FALSE;
  if (OnShowUI) OnShowUI(this, dwID, pActiveObject, pCommandTarget, pFrame, pDoc, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::HideUI() {
  HRESULT rezult = S_FALSE;
  if (OnHideUI) OnHideUI(this, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::UpdateUI() {
  HRESULT rezult = S_FALSE;
  if (OnUpdateUI) OnUpdateUI(this, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::EnableModeless(BOOL fEnable) {
  if (OnEnableModeless) OnEnableModeless(this, fEnable != FALSE);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::OnDocWindowActivate(BOOL fActivate) {
  if (OnOnDocWindowActivate) OnOnDocWindowActivate(this, fActivate != FALSE);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::OnFrameWindowActivate(BOOL fActivate) {
  if (OnOnFrameWindowActivate) OnOnFrameWindowActivate(this, fActivate != FALSE);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::ResizeBorder(const RECT* prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                        BOOL fRameWindow) {
  if (OnResizeBorder) OnResizeBorder(this, prcBorder, pUIWindow, fRameWindow != FALSE);
  return S_OK;
}

bool TCustomEmbeddedWB::IsMaskedCtrlKey(const MSG& msg) {
  if (disableCtrlShortcuts_.isEmpty() || msg.message != WM_KEYDOWN) return false;
  if (KeyDataToShiftState(msg.lParam) != TShiftState{ssCtrl}) return false;
  return disableCtrlShortcuts_.contains(QChar(char16_t(msg.wParam)), Qt::CaseSensitive);
}

HRESULT TCustomEmbeddedWB::TranslateAccelerator(MSG* lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) {
  if (!lpMsg) return S_FALSE;
  if (IsMaskedCtrlKey(*lpMsg)) {
    if (OnMaskedCtrlChar) OnMaskedCtrlChar(this, WideChar(lpMsg->wParam));
    return S_OK;
  }
  bool done = false;
  if (OnTranslateAccelerator) OnTranslateAccelerator(this, lpMsg, pguidCmdGroup, nCmdID, done);
  return done ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedWB::GetOptionKeyPath(LPOLESTR* pchKey, DWORD) {
  if (!pchKey) return E_POINTER;
  *pchKey =
      !optionKeyPath_.isEmpty() && !overrideOptionKeyPath_ ? CoTaskMemDupString(optionKeyPath_) : nullptr;
  return *pchKey ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedWB::GetOverrideKeyPath(LPOLESTR* pchKey, DWORD) {
  if (!pchKey) return E_POINTER;
  *pchKey =
      !optionKeyPath_.isEmpty() && overrideOptionKeyPath_ ? CoTaskMemDupString(optionKeyPath_) : nullptr;
  return *pchKey ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedWB::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) {
  if (!ppDropTarget) return E_POINTER;
  *ppDropTarget = nullptr;
  switch (dropHandlingType_) {
    case ddtMS: SetRegisterAsDropTarget(true); return E_NOTIMPL;
    case ddtMy: return QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(ppDropTarget));
    case ddtCustom: {
      ComPtr<IDropTarget> target(static_cast<IDropTarget*>(this));
      if (OnGetDropTarget) OnGetDropTarget(this, target);
      *ppDropTarget = target.Detach();
      return S_OK;
    }
    case ddtNo: SetRegisterAsDropTarget(false); return S_OK;
  }
  return E_NOTIMPL;
}

HRESULT TCustomEmbeddedWB::GetExternal(IDispatch** ppDispatch) {
  if (!ppDispatch) return E_POINTER;
  *ppDispatch = nullptr;
  ComPtr<IDispatch> external;
  if (OnGetExternal) OnGetExternal(this, external);
  *ppDispatch = external.Detach();
  return *ppDispatch ? S_OK : S_FALSE;
}

HRESULT TCustomEmbeddedWB::TranslateUrl(DWORD, LPWSTR pchURLIn, LPWSTR* ppchURLOut) {
  if (!ppchURLOut) return E_POINTER;
  *ppchURLOut = nullptr;
  String out;
  if (OnTranslateUrl) OnTranslateUrl(this, textOf(pchURLIn), out);
  if (out.isEmpty()) return S_FALSE;
  *ppchURLOut = CoTaskMemDupString(out);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) {
  if (!ppDORet) return E_POINTER;
  *ppDORet = nullptr;
  if (OnFilterDataObject) OnFilterDataObject(this, pDO, *ppDORet);
  return *ppDORet ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------- IDocHostShowUI

HRESULT TCustomEmbeddedWB::ShowMessage(HWND hwnd, LPOLESTR lpstrText, LPOLESTR lpstrCaption, DWORD dwType,
                                       LPOLESTR lpstrHelpFile, DWORD dwHelpContext, LRESULT* plResult) {
  if (!OnShowMessage) return S_FALSE;
  LRESULT answer = plResult ? *plResult : 0;
  const HRESULT hr =
      OnShowMessage(this, hwnd, lpstrText, lpstrCaption, dwType, lpstrHelpFile, dwHelpContext, answer);
  if (plResult) *plResult = answer;
  return hr;
}

HRESULT TCustomEmbeddedWB::ShowHelp(HWND hwnd, LPOLESTR pszHelpFile, UINT uCommand, DWORD dwData,
                                    POINT ptMouse, IDispatch* pDispatchObjectHit) {
  if (OnShowHelpRequest)
    return OnShowHelpRequest(this, hwnd, pszHelpFile, uCommand, dwData, ptMouse, pDispatchObjectHit);
  if (textOf(pszHelpFile).isEmpty() && !helpFile_.isEmpty()) {
    htmlHelp(hwnd, helpFile_, uCommand, dwData);
    return S_OK;
  }
  return S_FALSE;
}

// ---------------------------------------------------------------- IOleCommandTarget

HRESULT TCustomEmbeddedWB::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) { return S_OK; }

HRESULT TCustomEmbeddedWB::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                                VARIANT* pvaOut) {
  HRESULT rezult = OLECMDERR_E_NOTSUPPORTED;
  if (pguidCmdGroup && *pguidCmdGroup == CGID_Explorer) {
    if (nCmdID == OLECMDID_ONUNLOAD && OnUnload) {
      OnUnload(this);
      return S_OK;
    }
    if (nCmdID == CMDID_EXPLORER_INNERWINDOWS &&
        (FindChildWindowByClass(QStringLiteral("Internet Explorer_Server")) ||
         FindChildWindowByClass(QStringLiteral("SysListView32")))) {
      if (InnerWindowHook) InnerWindowHook();
    }
  } else if (pguidCmdGroup && *pguidCmdGroup == CGID_DocHostCommandHandler) {
    if (nCmdID == OLECMDID_SHOWSCRIPTERROR) return HandleScriptError(pvaIn, pvaOut);
    if (nCmdID == 2300 || nCmdID == 6041 || nCmdID == 6042) {
      // Refresh commands never go on to OnCommandExec.
      if (!OnRefresh) return rezult;
      bool cancel = false;
      OnRefresh(this, nCmdID, cancel);
      return cancel ? S_OK : rezult;
    }
  }
  if (OnCommandExec) OnCommandExec(this, pguidCmdGroup, nCmdID, nCmdexecopt, pvaIn, pvaOut, rezult);
  return rezult;
}

namespace {

// A property of a dispatch object read by name, as text. A name the object
// does not know raises EOleError; any other failure the COM error of its code.
String dispatchPropertyText(IDispatch* object, const String& name) {
  String buffer = name;
  LPOLESTR names[1] = {reinterpret_cast<LPOLESTR>(buffer.data())};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id)))
    throw EOleError(Format(QStringLiteral("'%s' is not supported."), {name}));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  OleVariant value;
  OleCheck(object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          value.ClearAndGetAddressOf(), nullptr, nullptr));
  return VarToStr(value);
}

// The event object of the document the browser hands in with a script error;
// null when there is no document, window or event.
ComPtr<IDispatch> scriptErrorEvent(const VARIANT* vaIn) {
  if (!vaIn) return nullptr;
  OleVariant in;
  if (FAILED(VariantCopyInd(&in, vaIn))) return nullptr;
  IUnknown* object = in.vt == VT_UNKNOWN ? in.punkVal : in.vt == VT_DISPATCH ? in.pdispVal : nullptr;
  ComPtr<IHTMLDocument2> doc;
  if (!object || FAILED(object->QueryInterface(IID_IHTMLDocument2, &doc)) || !doc) return nullptr;
  ComPtr<IHTMLWindow2> window;
  if (FAILED(doc->get_parentWindow(window.ReleaseAndGetAddressOf())) || !window) return nullptr;
  ComPtr<IHTMLEventObj> event;
  if (FAILED(window->get_event(event.ReleaseAndGetAddressOf())) || !event) return nullptr;
  return ComPtr<IDispatch>(event.Get());
}

}  // namespace

HRESULT TCustomEmbeddedWB::HandleScriptError(VARIANT* vaIn, VARIANT* vaOut) {
  // The answer follows the action set before the handler runs.
  HRESULT answer = S_FALSE;
  switch (scriptErrorAction_) {
    case eaContinue:
      if (vaOut) OleVariant(true).Detach(vaOut);
      answer = S_OK;
      break;
    case eaCancel:
      if (vaOut) OleVariant(false).Detach(vaOut);
      answer = S_OK;
      break;
    case eaAskUser: break;
  }
  if (!OnScriptError) return answer;
  // Nothing raised while reading the error may travel back into the browser.
  try {
    ComPtr<IDispatch> event = scriptErrorEvent(vaIn);
    if (!event) return answer;
    const String character = dispatchPropertyText(event.Get(), QStringLiteral("errorCharacter"));
    const String code = dispatchPropertyText(event.Get(), QStringLiteral("errorCode"));
    const String message = dispatchPropertyText(event.Get(), QStringLiteral("errorMessage"));
    const String url = dispatchPropertyText(event.Get(), QStringLiteral("errorUrl"));
    const String line = dispatchPropertyText(event.Get(), QStringLiteral("errorline"));
    OnScriptError(this, line, character, code, message, url, scriptErrorAction_);
  } catch (const std::exception&) {
  }
  return answer;
}

// ---------------------------------------------------------------- IServiceProvider

HRESULT TCustomEmbeddedWB::QueryOwnService(REFGUID guidService, REFIID riid, void** ppvObject) {
  const bool serves = (guidService == SID_SNewWindowManager && OnEvaluateNewWindow) ||
                      guidService == SID_SProtectFocus ||
                      (guidService == SID_SDownloadManager && OnFileDownload) ||
                      (guidService == SID_SHostBehaviorInit && OnPopulateNSTable) ||
                      (guidService == SID_SHTMLOMWindowServices &&
                       (floatingHosting_ || OnMove || OnMoveBy || OnResize || OnResizeBy)) ||
                      (riid == IID_IAuthenticate && OnAuthenticate);
  if (!serves) return E_NOINTERFACE;
  return QueryInterface(riid, ppvObject);
}

HRESULT TCustomEmbeddedWB::QueryService(REFGUID guidService, REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  *ppvObject = nullptr;
  if (FAILED(QueryOwnService(guidService, riid, ppvObject))) *ppvObject = nullptr;
  if (!*ppvObject && OnQueryService) {
    ComPtr<IUnknown> obj;
    OnQueryService(this, guidService, riid, obj);
    if (obj && FAILED(obj->QueryInterface(riid, ppvObject))) *ppvObject = nullptr;
  }
  return *ppvObject ? S_OK : E_NOINTERFACE;
}

// ---------------------------------------------------------------- new windows, downloads, logins

HRESULT TCustomEmbeddedWB::EvaluateNewWindow(LPCWSTR pszUrl, LPCWSTR pszName, LPCWSTR pszUrlContext,
                                             LPCWSTR pszFeatures, BOOL fReplace, DWORD dwFlags,
                                             DWORD dwUserActionTime) {
  HRESULT rezult = E_FAIL;
  if (OnEvaluateNewWindow)
    OnEvaluateNewWindow(this, textOf(pszUrl), textOf(pszName), textOf(pszUrlContext), textOf(pszFeatures),
                        fReplace != FALSE, dwFlags, dwUserActionTime, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::Download(IMoniker* pmk, IBindCtx* pbc, DWORD dwBindVerb, LONG grfBINDF,
                                    BINDINFO* pBindInfo, LPCOLESTR pszHeaders, LPCOLESTR pszRedir,
                                    UINT uiCP) {
  HRESULT rezult = E_NOTIMPL;
  if (OnFileDownload)
    OnFileDownload(this, pmk, pbc, dwBindVerb, grfBINDF, pBindInfo, textOf(pszHeaders), textOf(pszRedir),
                   uiCP, rezult);
  return rezult;
}

HRESULT TCustomEmbeddedWB::Authenticate(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword) {
  if (!phwnd || !pszUsername || !pszPassword) return E_POINTER;
  HWND window = WindowHandle();
  String user, password;
  HRESULT rezult = S_OK;
  if (OnAuthenticate) OnAuthenticate(this, window, user, password, rezult);
  *phwnd = window;
  *pszUsername = taskCopyOrNull(user);
  *pszPassword = taskCopyOrNull(password);
  return rezult;
}

// ---------------------------------------------------------------- zoom, focus, behaviours

HRESULT TCustomEmbeddedWB::OnZoomPercentChanged(ULONG ulZoomPercent) {
  return OnZoomPercentChange ? OnZoomPercentChange(this, ulZoomPercent) : S_FALSE;
}

HRESULT TCustomEmbeddedWB::AllowFocusChange(BOOL* pfAllow) {
  if (!pfAllow) return E_POINTER;
  bool allow = allowFocusChange_;
  if (OnAllowFocusChange) OnAllowFocusChange(this, allow);
  *pfAllow = allow ? -1 : 0;
  return S_OK;
}

HRESULT TCustomEmbeddedWB::PopulateNamespaceTable() {
  if (OnPopulateNSTable) OnPopulateNSTable(this);
  return S_OK;
}

// ---------------------------------------------------------------- IHTMLOMWindowServices

HRESULT TCustomEmbeddedWB::moveTo(LONG x, LONG y) {
  if (TCustomForm* form = floatingHosting_ ? HostForm() : nullptr)
    form->SetBounds(x, y, form->Width(), form->Height());
  if (OnMove) OnMove(this, x, y);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::moveBy(LONG x, LONG y) {
  if (TCustomForm* form = floatingHosting_ ? HostForm() : nullptr)
    form->SetBounds(form->Left() + x, form->Top() + y, form->Width(), form->Height());
  if (OnMoveBy) OnMoveBy(this, x, y);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::resizeTo(LONG x, LONG y) {
  if (TCustomForm* form = floatingHosting_ ? HostForm() : nullptr)
    form->SetBounds(form->Left(), form->Top(), x, y);
  if (OnResize) OnResize(this, x, y);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::resizeBy(LONG x, LONG y) {
  if (TCustomForm* form = floatingHosting_ ? HostForm() : nullptr)
    form->SetBounds(form->Left(), form->Top(), form->Width() + x, form->Height() + y);
  if (OnResizeBy) OnResizeBy(this, x, y);
  return S_OK;
}

// ---------------------------------------------------------------- IDropTarget

HRESULT TCustomEmbeddedWB::DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) {
  int effect = DROPEFFECT_NONE;
  HRESULT rezult = S_OK;
  if (OnDragEnter) OnDragEnter(this, pDataObj, int(grfKeyState), TPoint(pt.x, pt.y), effect, rezult);
  if (pdwEffect) *pdwEffect = DWORD(effect);
  return rezult;
}

HRESULT TCustomEmbeddedWB::DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) {
  int effect = DROPEFFECT_NONE;
  HRESULT rezult = S_OK;
  if (OnDragOver2) OnDragOver2(this, int(grfKeyState), TPoint(pt.x, pt.y), effect, rezult);
  if (pdwEffect) *pdwEffect = DWORD(effect);
  return rezult;
}

HRESULT TCustomEmbeddedWB::DragLeave() {
  if (OnDragLeave) OnDragLeave(this);
  return S_OK;
}

HRESULT TCustomEmbeddedWB::Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) {
  int effect = DROPEFFECT_NONE;
  HRESULT rezult = S_OK;
  if (OnDropEvent) OnDropEvent(this, pDataObj, int(grfKeyState), TPoint(pt.x, pt.y), effect, rezult);
  if (pdwEffect) *pdwEffect = DWORD(effect);
  return rezult;
}

// ---------------------------------------------------------------- context-menu filter

bool TCustomEmbeddedWB::HasPopupMenuFilter() { return static_cast<bool>(OnFilterPopupMenu); }

void TCustomEmbeddedWB::FilterPopupMenu(DWORD ID, HMENU Menu, IDispatch* Context) {
  if (OnFilterPopupMenu) OnFilterPopupMenu(this, ID, Menu, Context);
}

// ---------------------------------------------------------------- unit

void initialize() {
  InitializeSHDocVw();
  RegisterClass<TCustomEmbeddedWB>();
  RegisterEvents<TCustomEmbeddedWB>({
      EventEntry("OnAllowFocusChange", &TCustomEmbeddedWB::OnAllowFocusChange),
      EventEntry("OnGetIDsOfNames", &TCustomEmbeddedWB::OnGetIDsOfNames),
      EventEntry("OnGetTypeInfo", &TCustomEmbeddedWB::OnGetTypeInfo),
      EventEntry("OnGetTypeInfoCount", &TCustomEmbeddedWB::OnGetTypeInfoCount),
      EventEntry("OnInvoke", &TCustomEmbeddedWB::OnInvoke),
      EventEntry("OnShowHelpRequest", &TCustomEmbeddedWB::OnShowHelpRequest),
      EventEntry("OnShowMessage", &TCustomEmbeddedWB::OnShowMessage),
      EventEntry("OnFilterDataObject", &TCustomEmbeddedWB::OnFilterDataObject),
      EventEntry("OnGetExternal", &TCustomEmbeddedWB::OnGetExternal),
      EventEntry("OnGetHostInfo", &TCustomEmbeddedWB::OnGetHostInfo),
      EventEntry("OnEnableModeless", &TCustomEmbeddedWB::OnEnableModeless),
      EventEntry("OnZoomPercentChange", &TCustomEmbeddedWB::OnZoomPercentChange),
      EventEntry("OnGetDropTarget", &TCustomEmbeddedWB::OnGetDropTarget),
      EventEntry("OnHideUI", &TCustomEmbeddedWB::OnHideUI),
      EventEntry("OnOnDocWindowActivate", &TCustomEmbeddedWB::OnOnDocWindowActivate),
      EventEntry("OnOnFrameWindowActivate", &TCustomEmbeddedWB::OnOnFrameWindowActivate),
      EventEntry("OnResizeBorder", &TCustomEmbeddedWB::OnResizeBorder),
      EventEntry("OnShowContextMenu", &TCustomEmbeddedWB::OnShowContextMenu),
      EventEntry("OnShowUI", &TCustomEmbeddedWB::OnShowUI),
      EventEntry("OnTranslateAccelerator", &TCustomEmbeddedWB::OnTranslateAccelerator),
      EventEntry("OnTranslateUrl", &TCustomEmbeddedWB::OnTranslateUrl),
      EventEntry("OnUpdateUI", &TCustomEmbeddedWB::OnUpdateUI),
      EventEntry("OnDragEnter", &TCustomEmbeddedWB::OnDragEnter),
      EventEntry("OnDragLeave", &TCustomEmbeddedWB::OnDragLeave),
      EventEntry("OnDragOver2", &TCustomEmbeddedWB::OnDragOver2),
      EventEntry("OnDropEvent", &TCustomEmbeddedWB::OnDropEvent),
      EventEntry("OnScriptError", &TCustomEmbeddedWB::OnScriptError),
      EventEntry("OnRefresh", &TCustomEmbeddedWB::OnRefresh),
      EventEntry("OnUnload", &TCustomEmbeddedWB::OnUnload),
      EventEntry("OnCommandExec", &TCustomEmbeddedWB::OnCommandExec),
      EventEntry("OnQueryService", &TCustomEmbeddedWB::OnQueryService),
      EventEntry("OnEvaluateNewWindow", &TCustomEmbeddedWB::OnEvaluateNewWindow),
      EventEntry("OnFileDownload", &TCustomEmbeddedWB::OnFileDownload),
      EventEntry("OnFilterPopupMenu", &TCustomEmbeddedWB::OnFilterPopupMenu),
      EventEntry("OnMaskedCtrlChar", &TCustomEmbeddedWB::OnMaskedCtrlChar),
      EventEntry("OnMove", &TCustomEmbeddedWB::OnMove),
      EventEntry("OnMoveBy", &TCustomEmbeddedWB::OnMoveBy),
      EventEntry("OnResize", &TCustomEmbeddedWB::OnResize),
      EventEntry("OnResizeBy", &TCustomEmbeddedWB::OnResizeBy),
      EventEntry("OnPopulateNSTable", &TCustomEmbeddedWB::OnPopulateNSTable),
      EventEntry("OnAuthenticate", &TCustomEmbeddedWB::OnAuthenticate),
  });
}

void finalize() {}

}  // namespace EwbCore
