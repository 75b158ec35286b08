#include "EmbeddedWB/Source/RichEditBrowser.h"

#include <QTextDocument>
#include <QTextEdit>

#include "EmbeddedWB/Source/HighLightHTML.h"
#include "EmbeddedWB/Source/HighLightXML.h"
#include "platform/classlib/Printers.h"
#include "platform/classlib/Streaming.h"
#include "platform/com/Storage.h"
#include "platform/shell/ShellApi.h"

namespace RichEditBrowser {

using EmbeddedWB::TEmbeddedWB;

namespace {

HMODULE richEditLibrary = nullptr;

bool libraryLoaded() { return reinterpret_cast<std::uintptr_t>(richEditLibrary) >= 33; }

constexpr LPARAM kDefaultLimit = 0xFFFFFF;
constexpr LPARAM kLargeLimit = 0x7FFFFFF0;
const String kNoBrowser = QStringLiteral("You must assign a TEmbeddedWB before using this feature.");

bool IsComplete(TEmbeddedWB& Browser) {
  try {
    return Browser.ReadyState() == READYSTATE_COMPLETE;
  } catch (const Exception&) {
    return false;
  }
}

// The source of the document the browser holds now, complete or not (the
// browser's own save waits for the document without a bound).
void SaveDocumentAsItStands(TEmbeddedWB& Browser, TStream& Stream) {
  ComPtr<IHTMLDocument2> doc = Browser.GetDocument();
  ComPtr<IPersistStreamInit> persist = doc ? doc.As<IPersistStreamInit>() : nullptr;
  if (!persist) return;
  ComPtr<TStreamAdapter> adapter = MakeCom<TStreamAdapter>(&Stream, soReference);
  persist->Save(adapter.Get(), TRUE);
}

}  // namespace

// ---------------------------------------------------------------- OLE callback

HRESULT TRichEditOleCallback::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IRichEditOleCallback) {
    *ppvObject = static_cast<IRichEditOleCallback*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

HRESULT TRichEditOleCallback::GetNewStorage(IStorage** lplpstg) {
  if (!lplpstg) return E_OUTOFMEMORY;
  *lplpstg = nullptr;
  ComPtr<ILockBytes> bytes;
  if (FAILED(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.GetAddressOf())) || !bytes) return E_OUTOFMEMORY;
  if (FAILED(StgCreateDocfileOnILockBytes(
          bytes.Get(), DWORD(STGM_CREATE) | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, lplpstg))) {
    *lplpstg = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT TRichEditOleCallback::GetInPlaceContext(IOleInPlaceFrame** lplpFrame, IOleInPlaceUIWindow** lplpDoc,
                                                OLEINPLACEFRAMEINFO*) {
  if (lplpFrame) *lplpFrame = nullptr;
  if (lplpDoc) *lplpDoc = nullptr;
  return S_OK;
}

HRESULT TRichEditOleCallback::ShowContainerUI(BOOL) { return S_OK; }
HRESULT TRichEditOleCallback::QueryInsertObject(CLSID*, IStorage*, LONG) { return S_OK; }

HRESULT TRichEditOleCallback::DeleteObject(IOleObject* lpoleobj) {
  if (lpoleobj) lpoleobj->Close(OLECLOSE_NOSAVE);
  return S_OK;
}

HRESULT TRichEditOleCallback::QueryAcceptData(IDataObject*, CLIPFORMAT*, DWORD, BOOL, HGLOBAL) {
  return S_OK;
}
HRESULT TRichEditOleCallback::ContextSensitiveHelp(BOOL) { return S_OK; }

HRESULT TRichEditOleCallback::GetClipboardData(CHARRANGE*, DWORD, IDataObject** lplpdataobj) {
  if (lplpdataobj) *lplpdataobj = nullptr;
  return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::GetDragDropEffect(BOOL, DWORD, DWORD*) { return E_NOTIMPL; }

HRESULT TRichEditOleCallback::GetContextMenu(WORD, IOleObject*, CHARRANGE*, HMENU* lphmenu) {
  if (lphmenu) *lphmenu = nullptr;
  return S_OK;
}

// ---------------------------------------------------------------- the editor

TRichEditWB::TRichEditWB(TComponent* AOwner) : TRichEdit(AOwner) {
  SetScrollBars(TCustomMemo::ssBoth);
  SetShowHint(true);
  SetWordWrap(true);
}

TRichEditWB::~TRichEditWB() {
  // The control keeps no reference of its own: it must not call a freed callback.
  if (HandleAllocated()) SendMessageW(WindowHandle(), EM_SETOLECALLBACK, 0, 0);
  callback_.reset();
}

void TRichEditWB::SetEmbeddedWB(TEmbeddedWB* value) {
  if (browser_ == value) return;
  if (browser_) browser_->RemoveFreeNotification(this);
  browser_ = value;
  if (browser_) browser_->FreeNotification(this);
}

void TRichEditWB::Notification(TComponent* AComponent, TOperation Operation) {
  TRichEdit::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == browser_) browser_ = nullptr;
  if (AComponent == image_) image_ = nullptr;
  if (AComponent == statusBar_) statusBar_ = nullptr;
  if (AComponent == ownMenu_) ownMenu_ = nullptr;
  if (AComponent == findDialog_) findDialog_ = nullptr;
}

void TRichEditWB::SetGap(int index, int value) {
  if (value == gaps_[index] || value < 0) return;
  gaps_[index] = value;
  RecreateWnd();
}

void TRichEditWB::SetHighlightURL(bool value) {
  highlightUrl_ = value;
  if (!HandleAllocated()) return;
  const HWND h = Handle();
  SendMessageW(h, EM_AUTOURLDETECT, value ? 1 : 0, 0);
  const LRESULT mask = SendMessageW(h, EM_GETEVENTMASK, 0, 0);
  SendMessageW(h, EM_SETEVENTMASK, 0, value ? (mask | ENM_LINK) : (mask & ~LRESULT(ENM_LINK)));
}

void TRichEditWB::SetHideCaret(bool value) {
  hideCaret_ = value;
  if (!HandleAllocated()) return;
  if (value)
    ::HideCaret(Handle());
  else
    ::ShowCaret(Handle());
}

// ---- window

void TRichEditWB::CreateParams(TCreateParams& Params) {
  TRichEdit::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
  if (!libraryLoaded()) richEditLibrary = LoadLibraryW(u"RICHED20.DLL");
  Params.WinClassName = QStringLiteral("RichEdit20W");
}

void TRichEditWB::CreateWnd() {
  TRichEdit::CreateWnd();
  const HWND h = WindowHandle();
  if (windowDestroyed_) {
    // A re-created window keeps what the old one had.
    RefreshModified(savedModified_);
    windowDestroyed_ = false;
    if (callback_) SendMessageW(h, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(callback_.get()));
    if (!ComponentState().Contains(csLoading)) DragAcceptFiles(h, TRUE);
  } else {
    UpdateStatusBar();
  }
  SetHighlightURL(highlightUrl_);
  SendMessageW(h, EM_SETBKGNDCOLOR, 0, LPARAM(ColorToRGB(Color())));
  ApplyTextLimit(MaxLength());
  if (hideCaret_) ::HideCaret(h);
}

void TRichEditWB::DestroyWnd() {
  if (HandleAllocated()) {
    savedModified_ = SendMessageW(WindowHandle(), EM_GETMODIFY, 0, 0) != 0;
    windowDestroyed_ = true;
  }
  TRichEdit::DestroyWnd();
}

void TRichEditWB::ApplyTextLimit(int Value) {
  if (!HandleAllocated()) return;
  LPARAM limit = Value;
  // The raised limit of a loaded editor holds for every window it gets.
  if (Value == 0)
    limit = moreThan64KB_ && !ComponentState().Contains(csLoading) && callback_ ? kLargeLimit : kDefaultLimit;
  SendMessageW(WindowHandle(), EM_EXLIMITTEXT, 0, limit);
}

void TRichEditWB::ApplyTheme() {
  struct Scheme {
    TColor Back, Text;
  };
  static constexpr Scheme schemes[] = {
      {clWindow, clBlack}, {0xFBF2ED, clBlack}, {clBlack, clWhite}, {0xC0C0C0, clWhite}, {clInfoBk, clBlack}};
  const Scheme& s = schemes[themes_];
  SetColor(s.Back);
  Font()->SetColor(s.Text);
  if (HandleAllocated()) SendMessageW(Handle(), EM_SETBKGNDCOLOR, 0, LPARAM(ColorToRGB(s.Back)));
}

void TRichEditWB::Loaded() {
  TRichEdit::Loaded();
  const HWND h = Handle();
  // Alignment, theme and wrapping change formats, not the text: being
  // loaded leaves the modified state as it was.
  const bool wasModified = Modified();
  callback_ = std::make_unique<TRichEditOleCallback>(this);
  SendMessageW(h, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(callback_.get()));
  PARAFORMAT2 para;
  para.dwMask = PFM_ALIGNMENT;
  para.wAlignment = textAlignment_ == taRightJustify ? PFA_RIGHT
                    : textAlignment_ == taCenter     ? PFA_CENTER
                                                     : PFA_LEFT;
  SendMessageW(h, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para));
  ApplyTheme();
  UpdateStatusBar();
  DragAcceptFiles(h, TRUE);
  if (moreThan64KB_) SendMessageW(h, EM_EXLIMITTEXT, 0, kLargeLimit);
  SetWordWrap(true);
  SetWordWrap(false);
  SetModified(wasModified);
  // Only the status is refreshed.
  if (ShowHint()) UpdateStatusBar();
}

void TRichEditWB::RefreshModified(bool Flag) {
  SetModified(Flag);
  UpdateStatusBar();
}

// ---- messages

void TRichEditWB::WndProc(TMessage& Message) {
  if (hideCaret_ && !ComponentState().Contains(csDesigning)) {
    auto scroll = [this](UINT msg, WORD code) {
      Perform(msg, code, 0);
      Perform(msg, SB_ENDSCROLL, 0);
    };
    switch (Message.Msg) {
      case WM_KEYDOWN:
        switch (Message.WParam) {
          case VK_PRIOR: scroll(WM_VSCROLL, SB_PAGEUP); break;
          case VK_NEXT: scroll(WM_VSCROLL, SB_PAGEDOWN); break;
          case VK_END: scroll(WM_VSCROLL, SB_BOTTOM); break;
          case VK_HOME: scroll(WM_VSCROLL, SB_TOP); break;
          case VK_UP: scroll(WM_VSCROLL, SB_LINEUP); break;
          case VK_DOWN: scroll(WM_VSCROLL, SB_LINEDOWN); break;
          case VK_LEFT: scroll(WM_HSCROLL, SB_LINELEFT); break;
          case VK_RIGHT: scroll(WM_HSCROLL, SB_LINERIGHT); break;
          default: break;
        }
        Message.Result = 0;
        return;
      case WM_LBUTTONDOWN:
        if (!Focused() && CanFocus()) SetFocus();
        Message.Result = 0;
        return;
      case WM_KEYUP:
      case WM_CHAR:
      case WM_MOUSEMOVE:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK: Message.Result = 0; return;
      default: break;
    }
  }
  TRichEdit::WndProc(Message);
}

void TRichEditWB::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CN_NOTIFY: HandleNotify(Message); return;
    case WM_DROPFILES: DropFiles(Message); return;
    case WM_PAINT:
      if (HDC dc = reinterpret_cast<HDC>(Message.WParam)) SetBkMode(dc, TRANSPARENT);
      TRichEdit::Dispatch(Message);
      return;
    case WM_WINDOWPOSCHANGED: {
      TRichEdit::Dispatch(Message);
      if (!HandleAllocated()) return;
      RECT r{gaps_[0], gaps_[1], ClientWidth() - 1 - gaps_[2], ClientHeight() + 1 - gaps_[3]};
      SendMessageW(WindowHandle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
      return;
    }
    case EM_EXSETSEL:
      TRichEdit::Dispatch(Message);
      if (Message.LParam) lastRange_ = *reinterpret_cast<const CHARRANGE*>(Message.LParam);
      return;
    case EM_REPLACESEL: {
      // The caret ends after the inserted text, from where the replaced
      // selection started.
      CHARRANGE before;
      SendMessageW(WindowHandle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&before));
      TRichEdit::Dispatch(Message);
      const auto* text = reinterpret_cast<const char16_t*>(Message.LParam);
      pendingSelStart_ = int(before.cpMin) + (text ? int(std::char_traits<char16_t>::length(text)) : 0);
      return;
    }
    default: TRichEdit::Dispatch(Message); return;
  }
}

int TRichEditWB::QuerySelStart() {
  if (pendingSelStart_ != 0) return std::exchange(pendingSelStart_, 0);
  return TRichEdit::SelStart();
}

int TRichEditWB::SelStart() const { return const_cast<TRichEditWB*>(this)->QuerySelStart(); }

void TRichEditWB::HandleNotify(TMessage& Message) {
  const auto* header = reinterpret_cast<const NMHDR*>(Message.LParam);
  if (!highlightUrl_) return;
  if (header && header->code == EN_LINK) {
    const auto* link = reinterpret_cast<const ENLINK*>(header);
    if (link->msg == WM_LBUTTONDOWN) {
      CHARRANGE range = link->chrg;
      SendMessageW(WindowHandle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
      const String url = SelText();
      try {
        URLClick(url);
      } catch (...) {
        // A link that cannot be followed is not the editor's failure.
      }
    }
  }
  TRichEdit::Dispatch(Message);
}

void TRichEditWB::URLClick(const String& URL) {
  if (!autoNavigate_) return;
  if (OnURLClick) {
    OnURLClick(this, URL);
  } else if (browser_) {
    QPointer<TEmbeddedWB> wb = browser_;
    wb->Navigate(URL);
    if (wb) wb->SetFocusToDoc();
  }
}

void TRichEditWB::DropFiles(TMessage& Message) {
  const auto drop = reinterpret_cast<HDROP>(Message.WParam);
  Message.Result = 0;
  if (acceptDragFiles_) {
    WCHAR name[261] = {};
    if (DragQueryFileW(drop, 0, name, 261) > 0) {
      try {
        ConfirmSave();
        LoadFromFile(String::fromUtf16(name));
      } catch (const EAbort&) {
        // The user kept the text.
      } catch (...) {
        DragFinish(drop);
        throw;
      }
    }
  }
  DragFinish(drop);
}

// ---- keys and mouse

void TRichEditWB::SetAttributeStyle(TFontStyle Style) {
  TFontStyles styles = SelAttributes()->Style();
  if (styles.Contains(Style))
    styles.Exclude(Style);
  else
    styles.Include(Style);
  SelAttributes()->SetStyle(styles);
}

void TRichEditWB::KeyPress(WideChar& Key) {
  switch (Key) {
    case 2:
      SetAttributeStyle(fsBold);
      Key = 0;
      break;
    case 9:
      SetAttributeStyle(fsItalic);
      Key = 0;
      break;
    case 19:
      SetAttributeStyle(fsStrikeOut);
      Key = 0;
      break;
    case 21:
      SetAttributeStyle(fsUnderline);
      Key = 0;
      break;
    default: break;
  }
  TRichEdit::KeyPress(Key);
  switch (Key) {
    case 1: SelectAll(); break;
    case 6: ShowFindDialog(); break;
    case 16: PrintWithDialog(); break;
    default: break;
  }
}

void TRichEditWB::KeyDown(Word& Key, TShiftState Shift) {
  TRichEdit::KeyDown(Key, Shift);
  UpdateStatusBar();
  currentLine_ = int(SendMessageW(Handle(), EM_LINEFROMCHAR, WPARAM(SelStart()), 0));
}

void TRichEditWB::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  UpdateStatusBar();
  currentLine_ = int(SendMessageW(Handle(), EM_LINEFROMCHAR, WPARAM(SelStart()), 0));
  TRichEdit::MouseDown(Button, Shift, X, Y);
}

void TRichEditWB::MouseMove(TShiftState Shift, int X, int Y) { TRichEdit::MouseMove(Shift, X, Y); }
void TRichEditWB::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TRichEdit::MouseUp(Button, Shift, X, Y);
}
void TRichEditWB::DblClick() { TRichEdit::DblClick(); }
void TRichEditWB::SelectionChange() { TRichEdit::SelectionChange(); }

// ---- status

int TRichEditWB::LineCount() { return Lines()->Count(); }

void TRichEditWB::UpdateStatusBar() {
  if (!HandleAllocated()) return;
  const HWND h = Handle();
  const int start = TRichEdit::SelStart();
  const int line = int(SendMessageW(h, EM_EXLINEFROMCHAR, 0, start));
  const int column = start - int(SendMessageW(h, EM_LINEINDEX, WPARAM(line), 0));
  positionText_ = Format(QStringLiteral("Line: %3d   Col: %3d"), {line + 1, column + 1});
  capsText_ =
      (GetKeyState(VK_CAPITAL) & 1) ? QStringLiteral("Caps Lock: On") : QStringLiteral("Caps Lock: Off");
  insertText_ = (GetKeyState(VK_INSERT) & 1) ? QStringLiteral("Insert: On") : QStringLiteral("Insert: Off");
  numLockText_ =
      (GetKeyState(VK_NUMLOCK) & 1) ? QStringLiteral("NumLock: On") : QStringLiteral("NumLock: Off");
  const String modified = Modified() ? QStringLiteral("Modified") : String();
  const String sep = QStringLiteral(". | \n\r");
  SetHint(QStringLiteral("File Name: ") + fileName_ + sep + QStringLiteral("Position: ") + positionText_ +
          sep + modified + sep + capsText_ + sep + numLockText_ + sep + insertText_ + sep +
          QStringLiteral("Total Lines Count: ") + QString::number(LineCount()) + QStringLiteral(". |"));
  lastLine_ = line + 1;
  lastColumn_ = column + 1;
}

// ---- popup menu

TPopupMenu* TRichEditWB::GetPopupMenu() {
  if (useOwnMenu_ && !TRichEdit::GetPopupMenu()) return BuildPopupMenu();
  return TRichEdit::GetPopupMenu();
}

TPopupMenu* TRichEditWB::BuildPopupMenu() {
  delete ownMenu_;
  ownMenu_ = new TPopupMenu(this);
  QPointer<TRichEditWB> self(this);
  const bool selected = SelLength() > 0;
  int separators = 0;
  auto add = [&](const char* caption, int number, bool enabled, std::function<void()> action) {
    auto* item = new TMenuItem(ownMenu_);
    item->SetCaption(QString::fromLatin1(caption));
    if (number >= 0) {
      item->SetName(QStringLiteral("MenuItem%1").arg(number));
      item->SetEnabled(enabled);
      item->OnClick = [self, action](TObject*) {
        if (self) action();
      };
    } else {
      item->SetName(QStringLiteral("Separator%1").arg(++separators));
    }
    ownMenu_->Items()->Add(item);
  };
  auto separator = [&] { add("-", -1, true, nullptr); };
  const bool canUndo = HandleAllocated() && SendMessageW(Handle(), EM_CANUNDO, 0, 0) != 0;
  add("Undo", 0, canUndo, [this] { Undo(); });
  separator();
  add("Cut", 2, selected, [this] {
    if (!ReadOnly()) CutToClipboard();
  });
  add("Copy", 3, selected, [this] { CopyToClipboard(); });
  add("Paste", 4, true, [this] {
    if (!ReadOnly()) PasteFromClipboard();
  });
  add("Select All", 5, true, [this] { SelectAll(); });
  separator();
  add("Clear", 6, true, [this] {
    if (!ReadOnly()) Clear();
  });
  add("Clear Selection", 7, selected, [this] {
    if (!ReadOnly()) ClearSelection();
  });
  separator();
  add("Find", 8, true, [this] { ShowFindDialog(); });
  separator();
  if (highlightXml_) add("HighLight XML", 9, true, [this] { HighlightAsXml(); });
  if (highlightHtml_) add("HighLight HTML", 10, true, [this] { HighlightAsHtml(); });
  separator();
  add("Print", 12, true, [this] { PrintText(); });
  add("Print Selected Text", 13, selected, [this] { PrintSelection(); });
  return ownMenu_;
}

// ---- find

void TRichEditWB::ShowFindDialog() {
  lastFoundPos_ = 0;
  delete findDialog_;
  findDialog_ = new TFindDialog(this);
  findDialog_->OnFind = [this](TObject* Sender) { FindNext(Sender); };
  findDialog_->Execute();
}

void TRichEditWB::FindNext(TObject*) {
  TFindDialog* dialog = findDialog_;
  if (!dialog) return;
  SetSelStart(0);
  TFindOptions options = dialog->Options();
  if (lastFoundPos_ == 0) {
    options.Exclude(frFindNext);
    dialog->SetOptions(options);
  }
  const bool findNext = options.Contains(frFindNext);
  const String what = dialog->FindText();
  // The control's own text: one position per paragraph break, as selections count.
  const String text = TextEdit()->document()->toPlainText();
  const int from = findNext ? lastFoundPos_ + int(what.size()) - 1 : 0;
  const int found =
      what.isEmpty() || from > text.size() ? -1 : int(text.indexOf(what, from, Qt::CaseSensitive));
  if (found < 0) {
    lastFoundPos_ = 0;
    MessageDlg((findNext ? QStringLiteral("There are no further occurences of ")
                         : QStringLiteral("Could not find ")) +
                   u'"' + what + QStringLiteral("\"."),
               mtInformation, {mbOK}, 0);
    return;
  }
  lastFoundPos_ = found + 1;
  SetSelStart(found);
  SetSelLength(int(what.size()));
  if (CanFocus()) SetFocus();
}

// ---- colouring

void TRichEditWB::Highlight(HighLightRichSyntax::THighlightRichSyntax& Colouring) {
  const bool wasModified = Modified();
  const String text = GetText();
  Colouring.SetSource(text);
  TMemoryStream stream;
  Colouring.WriteRtf(&stream);
  // The document's closing blank stands after the last token; it is no text.
  QByteArray rtf = stream.Bytes();
  if (rtf.endsWith(" }")) rtf.remove(rtf.size() - 2, 1);
  TMemoryStream clean;
  clean.WriteBytes(rtf);
  clean.SetPosition(0);
  SetPlainText(false);
  Lines()->LoadFromStream(clean);
  SetPlainText(true);
  SetModified(wasModified);
  UpdateStatusBar();
}

void TRichEditWB::HighlightAsHtml() {
  HighLightHTML::THighlightHTML colouring;
  Highlight(colouring);
}

void TRichEditWB::HighlightAsXml() {
  HighLightXML::THighlightXML colouring;
  Highlight(colouring);
}

// ---- transfers with the browser

void TRichEditWB::LoadFromBrowser() {
  if (!browser_) {
    MessageDlg(kNoBrowser, mtInformation, {mbOK}, 0);
    return;
  }
  QPointer<TRichEditWB> self(this);
  QPointer<TEmbeddedWB> wb = browser_;
  wb->Wait(BrowserWaitLimit);
  if (!self || !wb) return;
  TMemoryStream stream;
  SetPlainText(false);
  Clear();
  if (IsComplete(*wb))
    wb->SaveToStream(stream);
  else
    SaveDocumentAsItStands(*wb, stream);
  stream.SetPosition(0);
  Lines()->LoadFromStream(stream);
  SetFileName(SafeFileName(wb->LocationName()));
  UpdateStatusBar();
  const HWND h = Handle();
  SendMessageW(h, EM_LINESCROLL, 0, -LPARAM(LineCount()));
  if (CanFocus()) SetFocus();
  TRichEdit::SetSelStart(int(SendMessageW(h, EM_LINEINDEX, 1, 0)));
}

void TRichEditWB::PreviewInBrowser() {
  if (!browser_) {
    MessageDlg(kNoBrowser, mtInformation, {mbOK}, 0);
    return;
  }
  QPointer<TRichEditWB> self(this);
  QPointer<TEmbeddedWB> wb = browser_;
  // A page still loading is stopped once and then given its time to settle.
  if (wb->ReadyState() != READYSTATE_COMPLETE) {
    wb->Stop();
    if (wb && wb->ReadyState() != READYSTATE_COMPLETE) wb->Wait(BrowserWaitLimit);
  }
  if (!self || !wb) return;
  SetPlainText(false);
  TStringList strings;
  strings.SetText(GetText());
  wb->LoadFromStrings(strings);
}

// ---- printing

void TRichEditWB::PrintWithDialog() {
  TPrintDialog dialog(this);
  if (dialog.Execute()) Print(GetText());
}

void TRichEditWB::PrintText() { Print(GetText()); }

void TRichEditWB::PrintSelection() {
  const QTextDocument* doc = TextEdit()->document();
  const int start = TRichEdit::SelStart();
  int end = start + SelLength();
  // Blanks and line ends after the selected text would only add empty pages.
  while (end > start && doc->characterAt(end - 1).unicode() <= 32) --end;

  TPrinter* printer = Printer();
  printer->BeginDoc();
  HDC dc = printer->Canvas()->GetHandle();
  // The rich edit lays pages out in the printer's own pixels.
  SaveDC(dc);
  ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  const int ppiX = GetDeviceCaps(dc, LOGPIXELSX), ppiY = GetDeviceCaps(dc, LOGPIXELSY);
  const int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
  auto twipsX = [ppiX](int v) { return LONG(std::int64_t(v) * 1440 / ppiX); };
  auto twipsY = [ppiY](int v) { return LONG(std::int64_t(v) * 1440 / ppiY); };
  FORMATRANGE range;
  range.hdc = range.hdcTarget = dc;
  range.rc = RECT{twipsX(ppiX), twipsY(ppiY * 3 / 2), twipsX(width - ppiX), twipsY(height - ppiY * 3 / 2)};
  range.rcPage = RECT{0, 0, twipsX(width), twipsY(height)};
  range.chrg = CHARRANGE{start, end};
  const HWND h = Handle();
  try {
    while (range.chrg.cpMin < end) {
      const LONG next = LONG(SendMessageW(h, EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)));
      // A page that takes nothing would repeat for ever.
      if (next <= range.chrg.cpMin || next >= end) break;
      RestoreDC(dc, -1);
      printer->NewPage();
      dc = printer->Canvas()->GetHandle();
      SaveDC(dc);
      ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
      range.hdc = range.hdcTarget = dc;
      range.chrg.cpMin = next;
    }
  } catch (...) {
    SendMessageW(h, EM_FORMATRANGE, 0, 0);
    RestoreDC(dc, -1);
    printer->Abort();
    throw;
  }
  SendMessageW(h, EM_FORMATRANGE, 0, 0);
  RestoreDC(dc, -1);
  printer->EndDoc();
}

// ---- files

void TRichEditWB::LoadFromFile(const String& Name) {
  SetPlainText(ExtractFileExt(Name) == QLatin1String(".txt"));
  Lines()->LoadFromFile(Name);
  SetFileName(Name);
  if (CanFocus()) SetFocus();
  RefreshModified(false);
}

String TRichEditWB::SaveTarget(const String& Name) {
  return Name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ? Name : Name + QStringLiteral(".html");
}

int TRichEditWB::WriteWithQuestion(const String& Target, bool noMeansSaveAs) {
  if (FileExists(Target)) {
    const int answer =
        MessageDlg(Format(QStringLiteral("The file already exist. Do you want to overwrite %s ?"), {Target}),
                   mtConfirmation, mbYesNoCancel, 0);
    if (answer == mrCancel) return -1;
    if (answer != mrYes) return noMeansSaveAs ? 0 : -1;
  }
  // The source is plain text whatever the editor shows.
  if (!WriteTextFileAtomic(Target, GetText()))
    throw EFCreateError(QStringLiteral("Cannot create file \"%1\"").arg(Target));
  return 1;
}

bool TRichEditWB::Save() {
  if (fileName_ == QLatin1String("Untitled")) return SaveAs();
  const int written = WriteWithQuestion(SaveTarget(fileName_).trimmed(), true);
  if (written == 0) return SaveAs();
  if (written < 0) return false;
  RefreshModified(false);
  return true;
}

bool TRichEditWB::SaveAs() {
  TSaveDialog dialog(this);
  dialog.SetFileName(SaveTarget(fileName_));
  if (!dialog.Execute()) return false;
  const String chosen = dialog.FileName();
  if (WriteWithQuestion(SaveTarget(chosen), false) <= 0) return false;
  SetFileName(chosen.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ? chosen.chopped(5) : chosen);
  RefreshModified(false);
  return true;
}

void TRichEditWB::ConfirmSave() {
  if (!Modified()) return;
  const int answer = MessageDlg(Format(QStringLiteral("Save changes to %s?"), {fileName_}), mtConfirmation,
                                mbYesNoCancel, 0);
  if (answer == mrCancel) Abort();
  // A Yes that did not save keeps the text, as Cancel does.
  if (answer == mrYes && !Save()) Abort();
}

// ---- RTFText

String TRichEditWB::RTFText() {
  rtfStream_.Clear();
  Lines()->SaveToStream(rtfStream_);
  return QString::fromLatin1(rtfStream_.Bytes().constData(), int(rtfStream_.GetSize()));
}

void TRichEditWB::SetRTFText(const String& value) {
  rtfStream_.Clear();
  rtfStream_.WriteBytes(value.toLatin1());
  rtfStream_.SetPosition(0);
  Lines()->LoadFromStream(rtfStream_);
}

// ---------------------------------------------------------------- start-up

void initialize() {
  InitializeComCtrls();
  InitializeRichEdit();
  HighLightHTML::initialize();
  RegisterClass<TRichEditWB>();
  RegisterEvents<TRichEditWB>({EventEntry("OnURLClick", &TRichEditWB::OnURLClick)});
}

void finalize() {
  if (libraryLoaded()) FreeLibrary(richEditLibrary);
  richEditLibrary = nullptr;
}

}  // namespace RichEditBrowser
