// The browser's side of its context menus (the commands of the menu items and
// the encoding menu) and the drop targets of its document window.
#include "platform/shdocvw/WebBrowser.h"

#include "platform/com/ComObject.h"
#include "platform/shdocvw/BrowserDialogs.h"
#include "platform/shdocvw/DownloadDialog.h"
#include "platform/winapi/DragDrop.h"
#include "platform/winapi/Menus.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>

namespace {

// Commands of the browser's context menus.
enum : UINT {
  kCopy = 15,
  kCut = 16,
  kPaste = 26,
  kPrint = 27,
  kProperties = 28,
  kSelectAll = 31,
  kOpenLink = 2136,
  kOpenInNewWindow = 2137,
  kViewSource = 2139,
  kBack = 2282,
  kForward = 2283,
  kRefresh = 2300,
};

// The browser's own keys, which it handles when the host's
// TranslateAccelerator left them alone.
enum class KeyAction { Back, Forward, Stop, Refresh, RefreshCompletely, Find, Print };
struct Accelerator {
  UINT message;  // WM_SYSKEYDOWN for keys with Alt
  WORD key;
  bool ctrl;  // Ctrl held (Shift is not looked at)
  KeyAction action;
};
constexpr Accelerator kAccelerators[] = {
    {WM_SYSKEYDOWN, VK_LEFT, false, KeyAction::Back},
    {WM_SYSKEYDOWN, VK_RIGHT, false, KeyAction::Forward},
    {WM_KEYDOWN, VK_ESCAPE, false, KeyAction::Stop},
    {WM_KEYDOWN, VK_F5, false, KeyAction::Refresh},
    {WM_KEYDOWN, VK_F5, true, KeyAction::RefreshCompletely},
    {WM_KEYDOWN, 'F', true, KeyAction::Find},
    {WM_KEYDOWN, 'P', true, KeyAction::Print},
};

// Refresh commands of the host's command handler for F5 and Ctrl+F5.
constexpr DWORD kRefreshTopCommand = 6041;
constexpr DWORD kRefreshTopFullCommand = 6042;

// The encoding menu: one item per text encoding, from this command on.
constexpr UINT kFirstEncodingCommand = 3609;
struct Encoding {
  const char* label;
  const char* name;  // the engine's name; empty: the engine decides
};
constexpr Encoding kEncodings[] = {
    {"Auto-Select", ""},
    {"Unicode (UTF-8)", "UTF-8"},
    {"Western European (Windows)", "windows-1252"},
    {"Western European (ISO)", "ISO-8859-1"},
    {"Central European (Windows)", "windows-1250"},
    {"Central European (ISO)", "ISO-8859-2"},
    {"Cyrillic (Windows)", "windows-1251"},
    {"Cyrillic (KOI8-R)", "KOI8-R"},
    {"Greek (Windows)", "windows-1253"},
    {"Turkish (Windows)", "windows-1254"},
    {"Japanese (Shift-JIS)", "Shift_JIS"},
    {"Japanese (EUC)", "EUC-JP"},
    {"Chinese Simplified (GB2312)", "GB2312"},
    {"Chinese Traditional (Big5)", "Big5"},
    {"Korean", "EUC-KR"},
};
constexpr UINT kEncodingCount = UINT(std::size(kEncodings));

// How long a save-as waits for the engine to write the page.
constexpr int kSavePageBoundMs = 30000;

// The target of a document window that takes no drops.
class RefusingDropTarget final : public ComObject<IDropTarget> {
 public:
  HRESULT DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override { return refuse(effect); }
  HRESULT DragOver(DWORD, POINTL, DWORD* effect) override { return refuse(effect); }
  HRESULT DragLeave() override { return S_OK; }
  HRESULT Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override { return refuse(effect); }

 private:
  static HRESULT refuse(DWORD* effect) {
    if (effect) *effect = DROPEFFECT_NONE;
    return S_OK;
  }
};

}  // namespace

// ---------------------------------------------------------------- menu commands

LRESULT WebBrowserObject::DocumentViewWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && HIWORD(wParam) == 0 && lParam == 0) {
    if (auto* self = reinterpret_cast<WebBrowserObject*>(GetWindowLongPtrW(hwnd, GWL_USERDATA))) {
      ComPtr<IUnknown> keep(self->GetUnknown());
      self->onMenuCommand(LOWORD(wParam));
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void WebBrowserObject::onMenuCommand(UINT command) {
  // Link and image commands act on what the last context menu was asked for.
  const QWebEngineContextMenuRequest* request = view_ ? view_->lastContextMenuRequest() : nullptr;
  switch (command) {
    case kBack: GoBack(); return;
    case kForward: GoForward(); return;
    case kRefresh: Refresh(); return;
    case kPrint: Exec(nullptr, OLECMDID_PRINT, OLECMDEXECOPT_DONTPROMPTUSER, nullptr, nullptr); return;
    case kSelectAll: Exec(nullptr, OLECMDID_SELECTALL, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr); return;
    case kPaste: Exec(nullptr, OLECMDID_PASTE, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr); return;
    case kCut: Exec(nullptr, OLECMDID_CUT, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr); return;
    case kCopy:
      if (request && request->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage)
        Page()->triggerAction(QWebEnginePage::CopyImageToClipboard);
      else
        Exec(nullptr, OLECMDID_COPY, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
      return;
    case kOpenLink:
      // Navigations go through BeforeNavigate2 as any other.
      if (request && request->linkUrl().isValid())
        Page()->triggerAction(QWebEnginePage::OpenLinkInThisWindow);
      return;
    case kOpenInNewWindow:
      // The engine asks for a new window: NewWindow2 / NewWindow3.
      if (request && request->linkUrl().isValid()) Page()->triggerAction(QWebEnginePage::OpenLinkInNewWindow);
      return;
    case kProperties: {
      // The address and type of what the menu was asked for: a picture, a
      // link or the page.
      String address = Page()->url().toString();
      String type = QStringLiteral("HTML Document");
      if (request && request->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage &&
          request->mediaUrl().isValid()) {
        address = request->mediaUrl().toString();
        type = QStringLiteral("Picture");
      } else if (request && request->linkUrl().isValid()) {
        address = request->linkUrl().toString();
        type = QStringLiteral("Link");
      }
      ShowBrowserDialog(dialogOwner(), QStringLiteral("Properties"),
                        QStringLiteral("Address: %1\nType: %2").arg(address, type), MB_OK | MB_ICONASTERISK);
      return;
    }
    case kViewSource:
      // The source opens in a new window, which the host provides like any other.
      Page()->triggerAction(QWebEnginePage::ViewSource);
      return;
    default: break;
  }
  if (command >= kFirstEncodingCommand && command < kFirstEncodingCommand + kEncodingCount) {
    textEncoding_ = QString::fromLatin1(kEncodings[command - kFirstEncodingCommand].name);
    Page()->settings()->setDefaultTextEncoding(textEncoding_);
    Refresh();
  }
  // The other items (backgrounds, desktop items, shortcuts, favorites,
  // scrolling) have nothing to do here.
}

// ---------------------------------------------------------------- keys

bool WebBrowserObject::onAccelerator(UINT msg, WORD key) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const auto it = std::find_if(std::begin(kAccelerators), std::end(kAccelerators), [&](const Accelerator& a) {
    return a.message == msg && a.key == key && a.ctrl == ctrl;
  });
  if (it == std::end(kAccelerators)) return false;
  switch (it->action) {
    case KeyAction::Back:
      GoBack();  // nothing to go back to: the key is used up all the same
      return true;
    case KeyAction::Forward: GoForward(); return true;
    case KeyAction::Stop:
      // Escape stops a load; on a page at rest it is the page's key.
      if (!busy_) return false;
      Stop();
      return true;
    case KeyAction::Refresh:
    case KeyAction::RefreshCompletely: {
      const bool completely = it->action == KeyAction::RefreshCompletely;
      if (!Page()->url().isEmpty() &&
          !hostCancelsRefresh(completely ? kRefreshTopFullCommand : kRefreshTopCommand))
        reload(completely);
      return true;
    }
    case KeyAction::Find: showFindDialog(); return true;
    case KeyAction::Print: printWithDialog(); return true;
  }
  return false;
}

// ---------------------------------------------------------------- encoding menu

HRESULT WebBrowserObject::encodingMenu(VARIANT* out) {
  if (!out) return E_POINTER;
  // A menu the encoding menu was put into destroys it with itself.
  if (!encodingMenu_ || !IsMenu(encodingMenu_)) {
    encodingMenu_ = CreatePopupMenu();
    for (UINT i = 0; i < kEncodingCount; ++i) {
      const String label = QString::fromLatin1(kEncodings[i].label);
      AppendMenuW(encodingMenu_, MF_STRING, kFirstEncodingCommand + i,
                  reinterpret_cast<LPCWSTR>(label.utf16()));
      if (i == 0) AppendMenuW(encodingMenu_, MF_SEPARATOR, 0, nullptr);
    }
  }
  for (UINT i = 0; i < kEncodingCount; ++i) {
    const bool chosen = textEncoding_.compare(QLatin1String(kEncodings[i].name), Qt::CaseInsensitive) == 0;
    CheckMenuItem(encodingMenu_, kFirstEncodingCommand + i,
                  MF_BYCOMMAND | (chosen ? MF_CHECKED : MF_UNCHECKED));
  }
  VariantClear(out);
  OleVariant(Int64(reinterpret_cast<std::uintptr_t>(encodingMenu_))).Detach(out);
  return S_OK;
}

// ---------------------------------------------------------------- saving the page

HRESULT WebBrowserObject::savePageAs(DWORD option) {
  if (!document_ || Page()->url().isEmpty()) return OLECMDERR_E_DISABLED;
  // Without a file name only the user can say where.
  if (option == OLECMDEXECOPT_DONTPROMPTUSER) return OLECMDERR_E_CANCELED;
  String path;
  QWebEngineDownloadRequest::SavePageFormat format;
  if (!AskSavePageLocation(Page()->title(), Page()->url(), path, format)) return OLECMDERR_E_CANCELED;
  // The engine writes the page through a download of its own, which the
  // choice made here settles.
  pendingSavePath_ = path;
  pendingSaveFormat_ = int(format);
  savingPage_.clear();
  Page()->save(path, format);

  // The page is written when the command returns, as of any save; a second
  // save started meanwhile would make the engine drop the first one's file.
  ComPtr<IUnknown> keep(GetUnknown());
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
    if (savingPage_ && savingPage_->isFinished()) loop.quit();
  });
  QTimer::singleShot(kSavePageBoundMs, &loop, &QEventLoop::quit);
  poll.start(10);
  loop.exec();
  pendingSavePath_.clear();
  return savingPage_ && savingPage_->state() == QWebEngineDownloadRequest::DownloadCompleted ? S_OK : E_FAIL;
}

void WebBrowserObject::onSavePageDownload(QWebEngineDownloadRequest* download) {
  String path;
  QWebEngineDownloadRequest::SavePageFormat format;
  if (!pendingSavePath_.isEmpty()) {
    // Asked for by savePageAs: where and how are settled.
    AcceptSavePageDownload(download, pendingSavePath_,
                           QWebEngineDownloadRequest::SavePageFormat(pendingSaveFormat_));
    pendingSavePath_.clear();
    savingPage_ = download;
    return;
  }
  if (download->state() != QWebEngineDownloadRequest::DownloadRequested) return;
  // The engine's own "Save page".
  if (AskSavePageLocation(Page()->title(), Page()->url(), path, format))
    AcceptSavePageDownload(download, path, format);
  else
    download->cancel();
}

// ---------------------------------------------------------------- drop targets

void WebBrowserObject::applyDropTarget() {
  if (!docWindow_ || !IsWindow(docWindow_)) return;
  RevokeDragDrop(docWindow_);
  // E_NOTIMPL (or no host): the engine's own dropping.
  ComPtr<IDropTarget> target;
  if (ComPtr<IDocHostUIHandler> handler = host<IDocHostUIHandler>()) {
    if (handler->GetDropTarget(nullptr, target.ReleaseAndGetAddressOf()) != S_OK) target.Reset();
  }
  if (target && !RegisteredDropTarget(docWindow_)) RegisterDragDrop(docWindow_, target.Get());
  updateDropRefusal();
}

void WebBrowserObject::updateDropRefusal() {
  if (!docWindow_ || !IsWindow(docWindow_)) return;
  const ComPtr<IDropTarget> current = RegisteredDropTarget(docWindow_);
  if (!registerAsDropTarget_ && !current) {
    if (!refusingTarget_) refusingTarget_ = MakeCom<RefusingDropTarget>();
    RegisterDragDrop(docWindow_, refusingTarget_.Get());
  } else if (registerAsDropTarget_ && current && current == refusingTarget_) {
    RevokeDragDrop(docWindow_);
  }
}
