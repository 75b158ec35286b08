#include "EmbeddedWB/Source/IEAddress.h"

#include "platform/classlib/Forms.h"
#include "platform/classlib/Streaming.h"
#include "platform/com/ComObject.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShlObj.h"
#include "platform/urlmon/UrlMon.h"

#include <QDir>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace IEAddress {

namespace {

using ::EmbeddedWB::TEmbeddedWB;

int unitStarts = 0;
bool oleInitialized = false;

const char* const kAboutText = "TIEAddress - the address box of Noctivane";

// Asks the box to place its edit field once Qt has laid out the combo box.
constexpr UINT kPlaceEditMessage = WM_APP + 0x1A1;

// Where the edit field goes: right of the icon, clear of the button.
constexpr int kEditLeft = 23;
constexpr int kEditTop = 5;

// The shell's simple auto-completion flag of each option, by ordinal
// (auto-suggest and auto-append are forced on or off separately).
constexpr DWORD kAutoCompleteFlags[] = {
    0, 0, SHACF_FILESYSTEM, SHACF_URLHISTORY, SHACF_URLMRU, SHACF_URLALL, SHACF_USETAB};
// The auto-complete object's option of each member, by ordinal.
constexpr DWORD kAutoComplete2Flags[] = {
    ACO_NONE,   ACO_AUTOSUGGEST,        ACO_AUTOAPPEND, ACO_SEARCH,      ACO_FILTERPREFIXES,
    ACO_USETAB, ACO_UPDOWNKEYDROPSLIST, ACO_RTLREADING, ACO_WORD_FILTER, ACO_NOPREFIXFILTERING};

// What a module's DllGetVersion fills in (20 bytes).
struct DllVersionInfo {
  DWORD cbSize = 0;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformID = 0;
};
static_assert(sizeof(DllVersionInfo) == 20);
using DllGetVersionProc = HRESULT (*)(DllVersionInfo*);

// Version of the shell's light-weight utility library from which the
// auto-complete object is used.
constexpr double kAutoComplete2MinVersion = 4.72;

// Keywords of special folders and their shell folder numbers.
struct SpecialFolder {
  const char* keyword;
  int folder;
};
constexpr SpecialFolder kSpecialFolders[] = {
    {"DESKTOP", 0},
    {"INTERNET", 1},
    {"PROGRAMS", 2},
    {"CONTROL PANEL", 3},
    {"PRINTERS", 4},
    {"MY DOCUMENTS", 5},
    {"FAVORITES", 6},
    {"STARTUP", 7},
    {"RECENT", 8},
    {"SENDTO", 9},
    {"RECYCLE BIN", 10},
    {"STARTMENU", 11},
    {"DESKTOP DIRECTORY", 16},
    {"MY COMPUTER", 17},
    {"NETWORK NEIGHBORHOOD", 18},
    {"NETHOOD", 19},
    {"FONTS", 20},
    {"TEMPLATES", 21},
    {"START MENU", 22},
    {"COMMON PROGRAMS", 23},
    {"COMMON STARTUP", 24},
    {"COMMON DESKTOP", 25},
    {"APPDATA", 26},
    {"PRINTHOOD", 27},
    {"APPLICATION DATA", 28},
    {"TEMPORARY INTERNET FILES", 32},
    {"COOKIES", 33},
    {"HISTORY", 34},
    {"USERPROFILE", 40},
    {"DIAL UP CONNECTIONS", 49},
    {"MY MUSIC", 53},
    {"MY PICTURES", 54},
    {"MY VIDEO", 55},
    {"CD BURNING", 59},
    {"COMPUTERS NEAR ME", 61},
    {"PROFILES", 62},
};
constexpr int kNoSpecialFolder = 3000;

// The colours of each theme: border, arrow, button, pressed button.
struct ThemeColors {
  TColor border, arrow, button, pressed;
};
constexpr ThemeColors kThemeColors[] = {
    {clBlack, clBlack, clBtnFace, clBtnShadow},
    {clInactiveCaptionText, clNavy, clSkyBlue, clInactiveCaptionText},
    {clGray, cl3DDkShadow, clSilver, clActiveBorder},
    {clMaroon, clMaroon, clInfoBk, cl3DLight},
};

// The layer above the combo box's widget on which the box draws its face;
// it follows the widget's size and stays above the edit field.
class FaceLayer : public QWidget {
 public:
  FaceLayer(QWidget* parent, std::function<void(QPainter*)> paint)
      : QWidget(parent), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    parent->installEventFilter(this);
    setGeometry(parent->rect());
    raise();
    show();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == parentWidget() && (e->type() == QEvent::Resize || e->type() == QEvent::ChildAdded ||
                                      e->type() == QEvent::ChildPolished)) {
      setGeometry(parentWidget()->rect());
      raise();
    }
    return false;
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    paint_(&painter);
  }

 private:
  std::function<void(QPainter*)> paint_;
};

// The callback of a favicon fetch: aborts the binding when the fetch takes
// longer than its time-out (a server that accepts and never answers).
class FaviconWatch : public ComObject<IBindStatusCallback> {
 public:
  explicit FaviconWatch(int timeoutMs) : timeoutMs_(timeoutMs) {}
  ~FaviconWatch() override { Stop(); }

  void Stop() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      done_ = true;
    }
    changed_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    binding_.Reset();  // released here, on the thread that started the fetch
  }

  HRESULT OnStartBinding(DWORD, IBinding* pib) override {
    if (!pib || watcher_.joinable()) return S_OK;
    binding_ = pib;
    IBinding* binding = pib;
    watcher_ = std::thread([this, binding] {
      std::unique_lock<std::mutex> guard(lock_);
      if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs_), [this] { return done_; }))
        binding->Abort();
    });
    return S_OK;
  }
  HRESULT GetPriority(LONG* pnPriority) override {
    if (pnPriority) *pnPriority = 0;
    return S_OK;
  }
  HRESULT OnLowResource(DWORD) override { return S_OK; }
  HRESULT OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  const int timeoutMs_;
  std::mutex lock_;
  std::condition_variable changed_;
  bool done_ = false;
  ComPtr<IBinding> binding_;
  std::thread watcher_;
};

// The index of a file type's icon in the small system image list (by its
// name and attributes only); -1 when the shell has none. With `handle` the
// shell's icon handle is kept there for the caller to destroy.
int FileTypeIcon(const String& name, DWORD attributes, HICON* handle = nullptr) {
  SHFILEINFOW info{};
  UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON;
  if (handle) flags |= SHGFI_ICON;
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(name.utf16()), attributes, &info, sizeof(info), flags))
    return -1;
  if (handle)
    *handle = info.hIcon;
  else if (info.hIcon)
    DestroyIcon(info.hIcon);
  return info.iIcon;
}

// The icon index of a special folder; -1 when the shell refuses the number.
int SpecialFolderIcon(int folder) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, &pidl)) || !pidl) return -1;
  SHFILEINFOW info{};
  const DWORD_PTR ok = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info),
                                      SHGFI_PIDL | SHGFI_ICON | SHGFI_SMALLICON);
  if (info.hIcon) DestroyIcon(info.hIcon);
  ILFree(pidl);
  return ok ? info.iIcon : -1;
}

// The index of the entry equal to `s` (case-sensitive), -1 when none is.
int IndexOfExact(const TStrings* items, const String& s) {
  for (int i = 0; i < items->Count(); ++i)
    if (items->Get(i) == s) return i;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------- TCustomIEAddress

TCustomIEAddress::TCustomIEAddress(TComponent* AOwner) : TCustomComboBox(AOwner) {
  SetControlStyle(ControlStyle() + csOpaque);
  SetColor(clWindow);
  colorAtLoad_ = Color();
  SetShowHint(true);
  SetBounds(Left(), Top(), 145, 22);
  images_ = ImageListFromHandle(SystemImageList(true));
  faceCanvas_ = new TCanvas(this);
}

TCustomIEAddress::~TCustomIEAddress() {
  if (loaded_ && ::Application) ::Application->SetHintColor(hintColorAtLoad_);
}

String TCustomIEAddress::About() const { return String::fromLatin1(kAboutText); }

void TCustomIEAddress::SetArrowColor(TColor value) {
  arrowColor_ = value;
  PaintButton();
}

void TCustomIEAddress::SetBorderColor(TColor value) {
  borderColor_ = value;
  PaintButton();
}

void TCustomIEAddress::SetButtonColor(TColor value) {
  buttonColor_ = value;
  PaintButton();
}

void TCustomIEAddress::SetButtonPressedColor(TColor value) {
  buttonPressedColor_ = value;
  PaintButton();
}

void TCustomIEAddress::SetAutoCompleteOptions(TAutoCompleteOptions value) {
  autoCompleteOptions_ = value;
  if (autoCompleteVersion_ == AutoComplete1 && HandleAllocated()) SetAutoComplete();
}

void TCustomIEAddress::SetAutoComplete2Source(TAutoComplete2Source value) {
  if (autoComplete2Source_ == value) return;
  autoComplete2Source_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomIEAddress::SetEmbeddedWB(TEmbeddedWB* value) {
  if (browser_ == value) return;
  if (browser_) browser_->RemoveFreeNotification(this);
  browser_ = value;
  if (browser_) browser_->FreeNotification(this);
}

void TCustomIEAddress::SetFlat(bool value) {
  flat_ = value;
  ctl3D_ = !value;
  hasBorder_ = false;
  PaintButton();
}

void TCustomIEAddress::SetGUI(TGUI value) {
  gui_ = value;
  PaintButton();
}

void TCustomIEAddress::SetHasBorder(bool value) {
  hasBorder_ = value;
  PaintButton();
}

void TCustomIEAddress::DeleteSelected() {
  const int index = ItemIndex();
  if (index != -1) Items()->Delete(index);
}

void TCustomIEAddress::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomComboBox::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == browser_) browser_ = nullptr;
}

// ---------------------------------------------------------------- start-up

void TCustomIEAddress::Loaded() {
  TCustomComboBox::Loaded();
  QPointer<TCustomIEAddress> self(this);
  colorAtLoad_ = Color();
  hintColorAtLoad_ = ::Application ? ::Application->HintColor() : clInfoBk;
  loaded_ = true;
  waitGaveUp_ = false;
  doubleBuffered_ = true;
  SetEditModified(false);
  if (Designing()) return;
  if (gui_ == gsThemes) {
    ctl3D_ = false;
    parentCtl3D_ = false;
    ApplyThemeColors();
  }
  // Entries the form data gave the list stay behind the typed addresses.
  presets_.clear();
  for (const String& entry : Items()->Strings()) {
    const String preset = Trim(RemoveControlChars(entry));
    if (!preset.isEmpty() && !presets_.contains(preset)) presets_ << preset;
  }
  LoadTypedUrls();
  const String slashed = AddTrailingSlash(Text());
  if (slashed != Text()) SetText(slashed);
  CheckSecureSite();
  DoUpdateTextAfterNav();
  if (!self) return;
  SiteToolTip();
  if (!self) return;
  ApplyTextOnLoad();
  if (!self) return;
  DoShowFavicon();
  PaintButton();
}

void TCustomIEAddress::ApplyTextOnLoad() {
  if (!browser_) return;
  switch (textOnLoad_) {
    case tlIEHomePage: SetText(browser_->GetIEHomePage()); break;
    case tlBlank: try { browser_->AssignEmptyDocument(false);
      } catch (const Exception&) {
        // A browser that cannot start a page keeps what it shows.
      }
      break;
    case tlUserDefine: SetText(textOnShow_); break;
    case tlIELastVisited: break;
  }
  if (autoNavigateOnLoad_) Navigate(Text());
}

// ---------------------------------------------------------------- typed-address history

void TCustomIEAddress::LoadTypedUrls() {
  TStrings* items = Items();
  items->Clear();
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (reg.OpenKeyReadOnly(String::fromLatin1(TypedUrlsKey))) {
      for (int n = 1; n <= MaxTypedUrlsRead; ++n) {
        const String name = QStringLiteral("Url") + IntToStr(n);
        String value;
        try {
          if (!reg.ValueExists(name)) continue;
          value = reg.ReadString(name);
        } catch (const Exception&) {
          continue;  // a value of another type is no address
        }
        value = Trim(RemoveControlChars(value));
        if (value.isEmpty() || IndexOfExact(items, value) >= 0) continue;
        items->Add(value);
        presets_.removeAll(value);  // typed before: the history keeps it
      }
      reg.CloseKey();
    }
  } catch (const Exception&) {
    // An unreadable history reads as what was read so far.
  }
  for (const String& preset : presets_)
    if (IndexOfExact(items, preset) < 0) items->Add(preset);
  if (!browser_ && textOnLoad_ != tlUserDefine) SetText(items->Count() > 0 ? Trim(items->Get(0)) : String());
}

void TCustomIEAddress::SaveTypedUrls() {
  const String text = Text();
  if (Trim(text).isEmpty()) return;
  if (OnUpdateRegistry) {
    bool cancel = false;
    QPointer<TCustomIEAddress> self(this);
    OnUpdateRegistry(this, text, cancel);
    if (!self || cancel) return;
  }
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (!reg.OpenKey(String::fromLatin1(TypedUrlsKey), true)) return;
    const int count = std::min(Items()->Count(), MaxTypedUrlsWritten);
    for (int n = 1; n <= count; ++n) {
      // Control characters never go into the store.
      const String value = RemoveControlChars(Items()->Get(n - 1));
      // The form's own entries sit behind the typed ones and are not written.
      if (Trim(value).isEmpty() || presets_.contains(value)) continue;
      reg.WriteString(QStringLiteral("Url") + IntToStr(n), value);
    }
    reg.CloseKey();
  } catch (const Exception&) {
    // The history stays as it was; nothing is shown.
  }
}

// ---------------------------------------------------------------- accepting an address

String TCustomIEAddress::AddTrailingSlash(const String& Url) const {
  if (Url.endsWith(QLatin1Char('/'))) return Url;
  // A query or a fragment is no folder to end with a slash.
  if (Url.contains(QLatin1Char('?')) || Url.contains(QLatin1Char('#'))) return Url;
  if (Url.lastIndexOf(QLatin1Char('/')) > Url.lastIndexOf(QLatin1Char('.'))) return Url + QLatin1Char('/');
  return Url;
}

void TCustomIEAddress::CheckSecureSite() {
  if (!useSecureSiteBGColor_) return;
  SetColor(Text().startsWith(QLatin1String("https")) ? secureSiteBG_ : colorAtLoad_);
}

void TCustomIEAddress::AcceptUrl() {
  if (Designing()) return;
  waitGaveUp_ = false;
  QPointer<TCustomIEAddress> self(this);
  const String typed = AddTrailingSlash(Trim(RemoveControlChars(Text())));
  if (typed != Text()) SetText(typed);
  // An address the user chose is a typed one, also when the form gave it.
  presets_.removeAll(typed);
  CheckSecureSite();
  DoUpdateTextAfterNav();
  if (!self) return;
  // The list gains the address as typed, not the one the browser shows
  // (the previous page's while the new one is on its way, or a title), and
  // before the list is saved, so that the newest address reaches the history.
  if (!typed.isEmpty() && IndexOfExact(Items(), typed) < 0) Items()->Insert(0, typed);
  SaveTypedUrls();
  if (!self) return;
  SiteToolTip();
  if (!self) return;
  DoShowFavicon();
}

// ---------------------------------------------------------------- following the browser

void TCustomIEAddress::Navigate(const String& url) {
  // The owner's OnUrlSelected handler may navigate the browser itself; one
  // choice is one navigation.
  if (!browser_ || handlerNavigated_) return;
  // An address the browser refuses leaves the text for the user to correct.
  browser_->Go(url, 0);
}

bool TCustomIEAddress::WaitForBrowser() {
  QPointer<TCustomIEAddress> self(this);
  QPointer<TEmbeddedWB> browser(browser_);
  if (!browser) return false;
  int state = READYSTATE_UNINITIALIZED;
  try {
    state = browser->ReadyState();
  } catch (const Exception&) {
    return false;
  }
  // A browser that never navigated has no document to wait for.
  if (state == READYSTATE_UNINITIALIZED) return false;
  // One action waits once: after a wait that ended without a complete
  // document the rest of the action goes on at once.
  if (!waitGaveUp_ && browser->HandleAllocated() && !browser->Wait(waitTimeOut_) && self) waitGaveUp_ = true;
  return self && browser && browser_ == browser;
}

String TCustomIEAddress::BrowserText(bool title) const {
  if (!browser_) return String();
  try {
    return title ? browser_->LocationName() : browser_->LocationURL();
  } catch (const Exception&) {
    return String();
  }
}

void TCustomIEAddress::DoUpdateTextAfterNav() {
  waitGaveUp_ = false;
  if (!browser_ || !updateTextAfterNav_) return;
  QPointer<TCustomIEAddress> self(this);
  // A page still on its way leaves the typed address: what the browser
  // shows meanwhile is the previous page.
  if (!WaitForBrowser() || waitGaveUp_) return;
  const String newText = BrowserText(textAfterNav_ == anLocationName);
  bool cancel = false;
  if (OnUpdateText) {
    OnUpdateText(this, Text(), newText, cancel);
    if (!self) return;
  }
  if (!cancel && newText != Text()) SetText(newText);
}

void TCustomIEAddress::SiteToolTip() {
  if (!browser_ || !showSiteToolTip_) return;
  QPointer<TCustomIEAddress> self(this);
  WaitForBrowser();
  if (!self || !browser_) return;
  SetShowHint(true);
  if (::Application) ::Application->SetHintColor(hintColor_);
  if (BrowserText(false) == Text()) SetHint(BrowserText(true));
}

// ---------------------------------------------------------------- auto-completion

void TCustomIEAddress::SetAutoComplete() {
  if (!EditHandle()) return;
  DWORD flags =
      autoCompleteOptions_.Contains(acAutoSuggest) ? SHACF_AUTOSUGGEST_FORCE_ON : SHACF_AUTOSUGGEST_FORCE_OFF;
  flags |=
      autoCompleteOptions_.Contains(acAutoAppend) ? SHACF_AUTOAPPEND_FORCE_ON : SHACF_AUTOAPPEND_FORCE_OFF;
  for (int i = 0; i < int(std::size(kAutoCompleteFlags)); ++i)
    if (autoCompleteOptions_.Contains(TAutoCompleteOption(i))) flags |= kAutoCompleteFlags[i];
  SHAutoComplete(EditHandle(), flags);
}

bool TCustomIEAddress::SetAutoComplete2() {
  autoComplete_.Reset();
  if (!EditHandle()) return false;
  ComPtr<IAutoComplete> complete;
  if (FAILED(CoCreateInstance(CLSID_AutoComplete, nullptr, CLSCTX_INPROC_SERVER, IID_IAutoComplete,
                              &complete)) ||
      !complete)
    return false;
  autoComplete_ = complete;
  ComPtr<IUnknown> source;
  if (FAILED(CoCreateInstance(CLSID_ACLHistory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &source)) ||
      !source)
    return false;
  ComPtr<IAutoComplete2> complete2 = complete.As<IAutoComplete2>();
  if (!complete2) return false;
  DWORD options = 0;
  for (int i = 0; i < int(std::size(kAutoComplete2Flags)); ++i)
    if (autoComplete2Options_.Contains(TAutoComplete2Option(i))) options |= kAutoComplete2Flags[i];
  if (FAILED(complete2->SetOptions(options))) return false;
  return SUCCEEDED(complete->Init(EditHandle(), source.Get(), nullptr, nullptr));
}

// ---------------------------------------------------------------- window

void TCustomIEAddress::CreateParams(TCreateParams& Params) {
  TCustomComboBox::CreateParams(Params);
  Params.Style |= CBS_OWNERDRAWFIXED | 0x4;
}

void TCustomIEAddress::CreateWindowHandle(const TCreateParams& Params) {
  TCustomComboBox::CreateWindowHandle(Params);
  PlaceEditField();
}

void TCustomIEAddress::CreateWnd() {
  TCustomComboBox::CreateWnd();
  if (QWidget* widget = Widget(); widget && !face_) {
    QPointer<TCustomIEAddress> self(this);
    face_ = new FaceLayer(widget, [self](QPainter* painter) {
      if (!self || self->Destroyed()) return;
      self->faceCanvas_->SetPainter(painter);
      self->PaintFace(self->faceCanvas_);
      self->faceCanvas_->SetPainter(nullptr);
    });
    // Text set or typed in the field shows its icon; the face is no part of
    // the field's repaint.
    if (QLineEdit* edit = EditWidget())
      QObject::connect(edit, &QLineEdit::textChanged, face_, [face = face_] { face->update(); });
  }
  if (EditHandle()) SendMessage(EditHandle(), EM_SETMODIFY, keptModified_ ? TRUE : FALSE, 0);
  PlaceEditField();
  if (Designing()) return;
  if (autoCompleteVersion_ == AutoComplete2) {
    shlwapiVersion_ = GetDllVersion(QStringLiteral("Shlwapi.dll"));
    if (shlwapiVersion_ > kAutoComplete2MinVersion) {
      SetAutoComplete2();
      return;
    }
  }
  SetAutoComplete();
}

void TCustomIEAddress::DestroyWnd() {
  if (EditHandle()) keptModified_ = SendMessage(EditHandle(), EM_GETMODIFY, 0, 0) != 0;
  TCustomComboBox::DestroyWnd();
}

void TCustomIEAddress::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TCustomComboBox::SetBounds(ALeft, ATop, AWidth, AHeight);
  PlaceEditField();
}

void TCustomIEAddress::PlaceEditField() {
  if (Destroyed() || !HandleAllocated() || !EditHandle()) return;
  SetWindowPos(EditHandle(), nullptr, kEditLeft, kEditTop, std::max(Width() - 2 * kEditLeft, 0),
               std::max(Height() - 7, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomIEAddress::SetEditModified(bool value) {
  if (HandleAllocated() && EditHandle())
    PostToEdit(EM_SETMODIFY, value ? TRUE : FALSE, 0);
  else
    keptModified_ = value;
}

void TCustomIEAddress::PostToCombo(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (HandleAllocated()) PostMessage(Handle(), msg, wParam, lParam);
}

void TCustomIEAddress::PostToEdit(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (EditHandle()) PostMessage(EditHandle(), msg, wParam, lParam);
}

void TCustomIEAddress::WndProc(TMessage& m) {
  if (m.Msg == kPlaceEditMessage) {
    PlaceEditField();
    return;
  }
  QPointer<TCustomIEAddress> self(this);
  TCustomComboBox::WndProc(m);
  if (!self || Destroyed()) return;
  switch (m.Msg) {
    case WM_MOUSEACTIVATE:
      if (DroppedDown()) {
        m.Result = MA_NOACTIVATE;
        if (TCustomForm* form = GetParentForm(this)) {
          HWND parent = form->Handle();
          SetWindowPos(parent, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
          if (GetActiveWindow() != parent) SetActiveWindow(parent);
        }
      }
      break;
    case CB_SHOWDROPDOWN: PlaceEditField(); break;
    case CM_MOUSEENTER: PaintButton(); break;
    case WM_WINDOWPOSCHANGED:
      // Qt lays out the edit field after the window has heard of its new
      // size; the field is placed once that is done.
      PostToCombo(kPlaceEditMessage, 0, 0);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- handlers

bool TCustomIEAddress::UrlSelected() {
  handlerNavigated_ = false;
  if (!OnUrlSelected) return true;
  QPointer<TCustomIEAddress> self(this);
  QPointer<TEmbeddedWB> browser(browser_);
  const unsigned before = browser ? browser->GoRequests() : 0;
  bool cancel = false;
  OnUrlSelected(this, Text(), cancel);
  if (!self) return false;
  handlerNavigated_ = !cancel && browser && browser == browser_ && browser->GoRequests() != before;
  return !cancel;
}

bool TCustomIEAddress::CursorInList() {
  RECT r;
  Perform(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));
  POINT p;
  if (!GetCursorPos(&p)) return false;
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void TCustomIEAddress::Change() {
  QPointer<TCustomIEAddress> self(this);
  TCustomComboBox::Change();
  if (!self) return;
  PostToCombo(CB_SHOWDROPDOWN, FALSE, 0);
  ShowIconOfText();
}

void TCustomIEAddress::Click() {
  QPointer<TCustomIEAddress> self(this);
  TCustomComboBox::Click();
  if (!self || Designing() || !CursorInList()) return;
  if (!UrlSelected()) return;
  selectedIcon_ = currentIcon_;
  if (autoNavigateOnSelected_) Navigate(Text());
  handlerNavigated_ = false;
  AcceptUrl();
}

void TCustomIEAddress::DblClick() {
  QPointer<TCustomIEAddress> self(this);
  TCustomComboBox::DblClick();
  if (!self) return;
  if (CursorInList()) {
    selectedIcon_ = currentIcon_;
    // The chosen entry is navigated to before the text follows the browser.
    if (autoNavigateOnDblClk_) Navigate(Text());
    AcceptUrl();
    if (!self) return;
  }
  if (EditHandle()) {
    SendMessage(EditHandle(), EM_SETREADONLY, FALSE, 0);
    SendMessage(EditHandle(), EM_SETSEL, 0, -1);
  }
}

void TCustomIEAddress::KeyDown(Word& Key, TShiftState Shift) {
  QPointer<TCustomIEAddress> self(this);
  TCustomComboBox::KeyDown(Key, Shift);
  if (!self || Key == 0) return;
  const bool alt = Shift.Contains(ssAlt);
  if (DroppedDown()) {
    if (Key == VK_RETURN) {
      ListEnter(Key);
    } else if (Key == VK_ESCAPE || (alt && (Key == VK_UP || Key == VK_DOWN))) {
      Key = VK_CLEAR;
      Perform(CB_SHOWDROPDOWN, FALSE, 0);
      if (EditHandle()) {
        SendMessage(EditHandle(), EM_SETREADONLY, FALSE, 0);
        SendMessage(EditHandle(), EM_SETSEL, 0, -1);
      }
    } else if (Key == VK_DOWN) {
      ListMove(Key, 1);
    } else if (Key == VK_UP) {
      ListMove(Key, -1);
    }
    return;
  }
  if (Key == VK_DOWN) {
    Key = VK_CLEAR;
    PostToEdit(EM_SETSEL, WPARAM(-1), 0);
    PostToCombo(CB_SHOWDROPDOWN, TRUE, 0);
    if (autoNavigateOnSelected_) Navigate(Text());
  } else if (Key == VK_UP) {
    Key = VK_CLEAR;
  } else if (Key == VK_RETURN && !Trim(Text()).isEmpty()) {
    if (!UrlSelected()) return;
    // Handled here: the field's own Enter handling would pick the entry of
    // that text once more.
    Key = VK_CLEAR;
    if (autoNavigateOnEnterKey_) Navigate(Text());
    handlerNavigated_ = false;
    AcceptUrl();
  }
}

void TCustomIEAddress::ListEnter(Word& Key) {
  if (!UrlSelected()) return;
  QPointer<TCustomIEAddress> self(this);
  Key = VK_CLEAR;
  // The highlighted entry moves to the top and becomes the text; without
  // one (or with an empty list) the typed text stays.
  const int selection = int(Perform(CB_GETCURSEL));
  const bool chosen = selection >= 0 && selection < Items()->Count();
  if (chosen) {
    if (selection > 0) Items()->Move(selection, 0);
    SetText(Items()->Get(0));
  }
  PostToCombo(CB_SHOWDROPDOWN, FALSE, 0);
  if (chosen) PostToCombo(CB_SETCURSEL, 0, 0);
  PostToEdit(EM_SETREADONLY, FALSE, 0);
  PostToEdit(EM_SETSEL, 0, LPARAM(-1));
  // The chosen address is navigated to before the text follows the browser,
  // once, whichever of the two switches asks for it.
  if (autoNavigateOnEnterKey_ || autoNavigateOnSelected_) Navigate(Text());
  handlerNavigated_ = false;
  AcceptUrl();
  if (!self) return;
  selectedIcon_ = currentIcon_;
}

void TCustomIEAddress::ListMove(Word& Key, int step) {
  Key = VK_CLEAR;
  const int selection = int(Perform(CB_GETCURSEL));
  const int target = selection + step;
  // The selection stays inside the list (moving past its end would empty
  // the text) and inside the entries the history keeps.
  const bool moves = step > 0 ? selection < MaxTypedUrlsWritten && target < Items()->Count()
                              : selection >= 1 && target < Items()->Count();
  if (moves) {
    PostToCombo(CB_SETCURSEL, WPARAM(target), 0);
    PostToEdit(EM_SETSEL, WPARAM(-1), 0);
  }
  ShowIconOfText();
  // The entry moved to is the one navigated to.
  if (moves && autoNavigateOnSelected_) Navigate(Items()->Get(target));
}

void TCustomIEAddress::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (DroppedDown()) mouseFlags_ |= 3;
  TCustomComboBox::MouseDown(Button, Shift, X, Y);
}

void TCustomIEAddress::MouseMove(TShiftState Shift, int X, int Y) {
  if (mouseFlags_ & 1) {
    mouseFlags_ &= Byte(~1);
    PaintButton();
  }
  TCustomComboBox::MouseMove(Shift, X, Y);
}

void TCustomIEAddress::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (mouseFlags_ & 1) {
    mouseFlags_ &= Byte(~1);
    PaintButton();
  }
  TCustomComboBox::MouseUp(Button, Shift, X, Y);
}

// ---------------------------------------------------------------- icons and painting

void TCustomIEAddress::ApplyThemeColors() {
  if (gui_ != gsThemes) return;
  const ThemeColors& theme = kThemeColors[themes_];
  borderColor_ = theme.border;
  arrowColor_ = theme.arrow;
  buttonColor_ = theme.button;
  buttonPressedColor_ = theme.pressed;
  PaintButton();
}

void TCustomIEAddress::PaintButton() {
  if (face_) face_->update();
  Invalidate();
}

int TCustomIEAddress::IconOfText(const String& text) {
  const int folder = SpecialFolderFromText(text);
  if (folder != kNoSpecialFolder) {
    const int index = SpecialFolderIcon(folder);
    if (index >= 0) return index;
  }
  int index = -1;
  if (FileExists(text) || text.left(7).compare(QLatin1String("file://"), Qt::CaseInsensitive) == 0)
    index = FileTypeIcon(text, FILE_ATTRIBUTE_NORMAL);
  else if (DirectoryExists(text))
    index = FileTypeIcon(text, FILE_ATTRIBUTE_DIRECTORY);
  else if (const String ext = IconExtensionOf(text); ext != QLatin1String("*.htm"))
    index = FileTypeIcon(ext, FILE_ATTRIBUTE_NORMAL);
  else
    index = -2;  // a web address
  if (index != -2) return std::max(index, 0);

  if (!DroppedDown() && showFavicon_) {
    // Only a favicon fetched before: typing and painting fetch nothing.
    const int favicon = favicons_.value(FaviconUrlOf(text), -1);
    if (favicon > -1) return favicon;
  }
  if (useAppIcon_ && ::Application) {
    QPointer<TCustomIEAddress> self(this);
    bool cancel = false;
    TIcon* appIcon = ::Application->Icon();
    if (OnGetAppIcon) OnGetAppIcon(this, cancel, appIcon);
    if (!self) return 0;
    if (!cancel) {
      // The program's icon enters the list once.
      if (appIconIndex_ < 0 && appIcon && !appIcon->GetEmpty()) appIconIndex_ = images_->AddIcon(appIcon);
      if (appIconIndex_ >= 0) return appIconIndex_;
    }
  }
  HICON handle = nullptr;
  index = FileTypeIcon(QStringLiteral("*.htm"), FILE_ATTRIBUTE_NORMAL, &handle);
  if (OnGetIcon) OnGetIcon(this, QStringLiteral("htm"), handle);
  if (handle) DestroyIcon(handle);
  return std::max(index, 0);
}

void TCustomIEAddress::ShowIconOfText(bool repaint) {
  iconText_ = Text();
  iconKnown_ = true;
  currentIcon_ = UpdateIcon();
  if (repaint) PaintButton();
}

int TCustomIEAddress::DoShowFavicon() {
  const String text = Text();
  if (!showFavicon_ || DroppedDown() || Designing() || !IsValidUrl(text)) return -1;
  const String site = FaviconUrlOf(text);
  if (site.isEmpty()) return -1;
  // A site is asked once; a failed fetch is not tried again either.
  if (auto known = favicons_.constFind(site); known != favicons_.cend()) return known.value();
  favicons_.insert(site, -1);
  QPointer<TCustomIEAddress> self(this);
  const String target = GetIECacheFolder() + QStringLiteral("favicon.ico");
  if (!DownloadFavicon(text, target) || !self) return -1;
  TIcon icon;
  try {
    icon.LoadFromFile(target);
  } catch (const Exception&) {
    return -1;  // no icon: the previous one stays
  }
  if (icon.GetEmpty()) return -1;
  icon.SetSize(16, 16);
  bool cancel = false;
  if (OnGetFavicon) OnGetFavicon(this, target, text, cancel, &icon);
  if (!self || cancel) return -1;
  const int index = images_->AddIcon(&icon);
  if (index <= 0) return -1;
  favicons_.insert(site, index);
  if (Text() == text) {
    currentIcon_ = index;
    iconText_ = text;
    iconKnown_ = true;
  }
  PaintButton();
  return index;
}

bool TCustomIEAddress::DownloadFavicon(const String& Url, const String& Target) {
  const String favicon = FaviconUrlOf(Url);
  if (favicon.isEmpty() || Target.isEmpty()) return false;
  bool cancel = false;
  if (OnGetFavicon) {
    QPointer<TCustomIEAddress> self(this);
    OnGetFavicon(this, Target, Url, cancel, nullptr);
    if (!self || cancel) return false;
  }
  QDir().mkpath(ExtractFilePath(Target));
  ComPtr<FaviconWatch> watch = MakeCom<FaviconWatch>(FaviconTimeOut);
  const HRESULT hr = URLDownloadToFileW(nullptr, reinterpret_cast<LPCWSTR>(favicon.utf16()),
                                        reinterpret_cast<LPCWSTR>(Target.utf16()), 0, watch.Get());
  watch->Stop();
  return hr == S_OK;
}

void TCustomIEAddress::PaintFace(TCanvas* canvas) {
  const int w = Width();
  const int h = Height();
  const bool themed = gui_ == gsThemes;
  if (themed) {
    if (hasBorder_) {
      canvas->Brush()->SetColor(borderColor_ == clNone ? Color() : borderColor_);
      canvas->FrameRect(TRect(0, 0, w, h));
    }
    const int left = w - GetSystemMetrics(SM_CXHTHUMB) - 3;
    const TRect button(left, 1, w - 1, h - 1);
    canvas->Brush()->SetColor(DroppedDown() ? buttonPressedColor_ : buttonColor_);
    canvas->FillRect(button);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(TRect(left, button.Top, left + 6, button.Bottom));
    if (borderColor_ != clNone) {
      canvas->Pen()->SetColor(borderColor_);
      canvas->MoveTo(left + 5, button.Top);
      canvas->LineTo(left + 5, button.Bottom);
    }
    const int x = w - 10;
    const int y = 10;
    canvas->Pen()->SetColor(arrowColor_);
    canvas->MoveTo(x, y);
    canvas->LineTo(x + 5, y);
    canvas->MoveTo(x + 1, y + 1);
    canvas->LineTo(x + 4, y + 1);
    canvas->MoveTo(x + 2, y + 2);
    canvas->LineTo(x + 3, y + 2);
  }
  // The icon strip left of the edit field; the icon never reaches the text.
  const int inset = themed ? 1 : 2;
  const TRect strip(inset, inset, kEditLeft, h - inset);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(strip);
  if (Designing()) return;
  if (!iconKnown_ || iconText_ != Text()) ShowIconOfText(false);
  if (QPainter* painter = canvas->GetHandle()) {
    painter->save();
    painter->setClipRect(strip.Left, strip.Top, strip.Right - strip.Left, strip.Bottom - strip.Top);
    images_->Draw(canvas, iconLeft_, iconTop_, currentIcon_);
    painter->restore();
  }
}

void TCustomIEAddress::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  if (OnDrawItem) {
    OnDrawItem(this, Index, Rect, State);
    return;
  }
  TCanvas* canvas = Canvas();
  canvas->FillRect(Rect);
  int icon = -1;
  if (Index >= 0 && Index < Items()->Count()) {
    icon = IconOfText(Items()->Get(Index));
    if (State.Contains(odSelected)) currentIcon_ = icon;
  }
  int textLeft = Rect.Left + 16;
  if (icon >= 0 && icon < images_->Count()) {
    const int top = Rect.Top + (Rect.Bottom - Rect.Top - images_->GetHeight()) / 2;
    images_->Draw(canvas, Rect.Left + 4, top, icon);
    textLeft = Rect.Left + images_->GetWidth() + 6;
  }
  if (Index >= 0 && Index < Items()->Count()) {
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextOut(textLeft, Rect.Top, Items()->Get(Index));
  }
}

// ---------------------------------------------------------------- unit routines

String FaviconUrlOf(const String& Url) {
  const QUrl url(Trim(Url));
  const String scheme = url.scheme().toLower();
  if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
    return String();
  QUrl site;
  site.setScheme(scheme);
  site.setHost(url.host());
  site.setPort(url.port());
  site.setPath(QStringLiteral("/favicon.ico"));
  return site.toString(QUrl::FullyEncoded);
}

String IconExtensionOf(const String& Text) {
  const String lower = LowerCase(Text);
  for (const char* ext : {".xml", ".txt", ".doc", ".bmp", ".zip", ".rar", ".jpg", ".gif", ".jpeg"})
    if (lower.contains(QLatin1String(ext))) return LowerCase(Trim(ExtractFileExt(Text)));
  return QStringLiteral("*.htm");
}

String GetIECacheFolder() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (!reg.OpenKeyReadOnly(
            QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")))
      return String();
    const String folder = reg.ReadString(QStringLiteral("Cache"));
    return folder.isEmpty() ? String() : IncludeTrailingPathDelimiter(folder);
  } catch (const Exception&) {
    return String();
  }
}

int FindSpecialFolderName(const String& Name) {
  for (const SpecialFolder& f : kSpecialFolders)
    if (SameText(Name, QLatin1String(f.keyword))) return f.folder;
  return kNoSpecialFolder;
}

int SpecialFolderFromText(const String& Text) { return FindSpecialFolderName(UpperCase(Trim(Text))); }

double GetDllVersion(const String& DllName) {
  HMODULE module = LoadLibrary(DllName);
  if (!module) return 0;
  double result = 0;
  if (auto proc = reinterpret_cast<DllGetVersionProc>(GetProcAddress(module, "DllGetVersion"))) {
    DllVersionInfo info;
    info.cbSize = sizeof(info);
    if (SUCCEEDED(proc(&info))) result = double(info.dwMajorVersion + info.dwMinorVersion);
  }
  FreeLibrary(module);
  return result;
}

bool IsValidUrl(const String& Url) {
  return IsValidURL(nullptr, reinterpret_cast<LPCWSTR>(Url.utf16()), 0) == S_OK;
}

String RemoveTextIgnoreCase(const String& Sub, const String& Text) {
  String result = Text;
  const int at = Sub.isEmpty() ? -1 : int(Text.indexOf(Sub, 0, Qt::CaseInsensitive));
  if (at >= 0) result.remove(at, Sub.size());
  return result;
}

String RemoveControlChars(const String& Text) {
  String result;
  result.reserve(Text.size());
  for (QChar c : Text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) continue;
    result.append(c);
  }
  return result;
}

// ---------------------------------------------------------------- unit

void initialize() {
  if (unitStarts++ > 0) return;
  InitializeStdCtrls();
  RegisterClass<TIEAddress>();
  RegisterEvents<TCustomIEAddress>({
      EventEntry("OnGetAppIcon", &TCustomIEAddress::OnGetAppIcon),
      EventEntry("OnGetFavicon", &TCustomIEAddress::OnGetFavicon),
      EventEntry("OnGetIcon", &TCustomIEAddress::OnGetIcon),
      EventEntry("OnUpdateRegistry", &TCustomIEAddress::OnUpdateRegistry),
      EventEntry("OnUpdateText", &TCustomIEAddress::OnUpdateText),
      EventEntry("OnUrlSelected", &TCustomIEAddress::OnUrlSelected),
  });
  oleInitialized = SUCCEEDED(OleInitialize(nullptr));
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
  if (oleInitialized) OleUninitialize();
  oleInitialized = false;
}

}  // namespace IEAddress
