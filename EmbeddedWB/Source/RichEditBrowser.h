#pragma once
// The source editor: a rich edit that shows and edits a page's HTML source.
// It loads the source of the document shown in an assigned browser, hands
// edited source back to it as a page, colours the text as HTML or XML,
// detects and follows links, finds text, prints, loads, saves and accepts
// dropped files, and keeps status texts (line and column, modified, key
// states, file name, line count) in its hint.
#include <QPointer>

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/HighLightRichSyntax.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/Menus.h"
#include "platform/richedit/RichEdit.h"

namespace RichEditBrowser {

class TRichEditWB;

using TURLClickEvent = std::function<void(TObject* Sender, const String& URL)>;

// The container's side of the control for embedded objects. Its references
// are counted but never free it: the editor owns it.
class TRichEditOleCallback : public IRichEditOleCallback {
 public:
  explicit TRichEditOleCallback(TRichEditWB* owner) : owner_(owner) {}
  virtual ~TRichEditOleCallback() = default;

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override { return ULONG(++refCount_); }
  ULONG Release() override { return ULONG(--refCount_); }
  long RefCount() const { return refCount_; }

  HRESULT GetNewStorage(IStorage** lplpstg) override;
  HRESULT GetInPlaceContext(IOleInPlaceFrame** lplpFrame, IOleInPlaceUIWindow** lplpDoc,
                            OLEINPLACEFRAMEINFO* lpFrameInfo) override;
  HRESULT ShowContainerUI(BOOL fShow) override;
  HRESULT QueryInsertObject(CLSID* lpclsid, IStorage* lpstg, LONG cp) override;
  HRESULT DeleteObject(IOleObject* lpoleobj) override;
  HRESULT QueryAcceptData(IDataObject* lpdataobj, CLIPFORMAT* lpcfFormat, DWORD reco, BOOL fReally,
                          HGLOBAL hMetaPict) override;
  HRESULT ContextSensitiveHelp(BOOL fEnterMode) override;
  HRESULT GetClipboardData(CHARRANGE* lpchrg, DWORD reco, IDataObject** lplpdataobj) override;
  HRESULT GetDragDropEffect(BOOL fDrag, DWORD grfKeyState, DWORD* pdwEffect) override;
  HRESULT GetContextMenu(WORD seltype, IOleObject* lpoleobj, CHARRANGE* lpchrg, HMENU* lphmenu) override;

 private:
  TRichEditWB* owner_;
  long refCount_ = 0;
};

class TRichEditWB : public TRichEdit {
  Q_OBJECT
  Q_PROPERTY(bool AcceptDragComponnents READ AcceptDragComponnents WRITE SetAcceptDragComponnents)
  Q_PROPERTY(bool AcceptDragFiles READ AcceptDragFiles WRITE SetAcceptDragFiles)
  Q_PROPERTY(bool AutoNavigate READ AutoNavigate WRITE SetAutoNavigate)
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(int GapBottom READ GapBottom WRITE SetGapBottom)
  Q_PROPERTY(int GapLeft READ GapLeft WRITE SetGapLeft)
  Q_PROPERTY(int GapRight READ GapRight WRITE SetGapRight)
  Q_PROPERTY(int GapTop READ GapTop WRITE SetGapTop)
  Q_PROPERTY(bool HighlightHTML READ HighlightHTML WRITE SetHighlightHTML)
  Q_PROPERTY(bool HighlightURL READ HighlightURL WRITE SetHighlightURL)
  Q_PROPERTY(bool HighlightXML READ HighlightXML WRITE SetHighlightXML)
  Q_PROPERTY(TImage* Image READ Image WRITE SetImage)
  Q_PROPERTY(QString RTFText READ RTFText WRITE SetRTFText STORED false)
  Q_PROPERTY(TStatusBar* Statusbar READ Statusbar WRITE SetStatusbar)
  Q_PROPERTY(bool SupprtMoreThen64KB READ SupprtMoreThen64KB WRITE SetSupprtMoreThen64KB)
  Q_PROPERTY(TAlignment TextAlignment READ TextAlignment WRITE SetTextAlignment)
  Q_PROPERTY(bool HideCaret READ HideCaret WRITE SetHideCaret)
  Q_PROPERTY(RichEditBrowser::TRichEditWB::TThemes Themes READ Themes WRITE SetThemes)

 public:
  // Colour schemes of the editor (background, text); the unit's own, apart
  // from the address box's.
  enum TThemes { tDefault, tXP, tBlack, tAluminum, tLight };
  Q_ENUM(TThemes)

  Q_INVOKABLE explicit TRichEditWB(TComponent* AOwner);
  ~TRichEditWB() override;

  // ---- properties
  bool AcceptDragComponnents() const { return acceptDragComponents_; }
  void SetAcceptDragComponnents(bool value) { acceptDragComponents_ = value; }
  bool AcceptDragFiles() const { return acceptDragFiles_; }
  void SetAcceptDragFiles(bool value) { acceptDragFiles_ = value; }
  bool AutoNavigate() const { return autoNavigate_; }
  void SetAutoNavigate(bool value) { autoNavigate_ = value; }
  EmbeddedWB::TEmbeddedWB* EmbeddedWB() const { return browser_; }
  void SetEmbeddedWB(EmbeddedWB::TEmbeddedWB* value);
  String FileName() const { return fileName_; }
  void SetFileName(const String& value) { fileName_ = value; }
  int GapBottom() const { return gaps_[3]; }
  void SetGapBottom(int value) { SetGap(3, value); }
  int GapLeft() const { return gaps_[0]; }
  void SetGapLeft(int value) { SetGap(0, value); }
  int GapRight() const { return gaps_[2]; }
  void SetGapRight(int value) { SetGap(2, value); }
  int GapTop() const { return gaps_[1]; }
  void SetGapTop(int value) { SetGap(1, value); }
  bool HighlightHTML() const { return highlightHtml_; }
  void SetHighlightHTML(bool value) { highlightHtml_ = value; }
  bool HighlightURL() const { return highlightUrl_; }
  void SetHighlightURL(bool value);
  bool HighlightXML() const { return highlightXml_; }
  void SetHighlightXML(bool value) { highlightXml_ = value; }
  TImage* Image() const { return image_; }
  void SetImage(TImage* value) { image_ = value; }
  String RTFText();
  void SetRTFText(const String& value);
  TStatusBar* Statusbar() const { return statusBar_; }
  void SetStatusbar(TStatusBar* value) { statusBar_ = value; }
  bool SupprtMoreThen64KB() const { return moreThan64KB_; }
  void SetSupprtMoreThen64KB(bool value) { moreThan64KB_ = value; }
  TAlignment TextAlignment() const { return textAlignment_; }
  void SetTextAlignment(TAlignment value) { textAlignment_ = value; }
  bool HideCaret() const { return hideCaret_; }
  void SetHideCaret(bool value);
  TThemes Themes() const { return themes_; }
  void SetThemes(TThemes value) { themes_ = value; }

  TURLClickEvent OnURLClick;

  // ---- operations
  // The assigned browser's document source into the editor.
  void LoadFromBrowser();
  // The editor's text into the assigned browser as a page.
  void PreviewInBrowser();
  // The whole text after a print dialog; PrintText without one.
  void PrintWithDialog();
  void PrintText();
  // The selection, on pages with one-inch side and 1.5-inch top and bottom margins.
  void PrintSelection();
  void HighlightAsHtml();
  void HighlightAsXml();
  void LoadFromFile(const String& Name);
  // Both answer whether the text was written.
  bool Save();
  bool SaveAs();
  // Asks whether to save a modified text; Cancel, or a Yes that did not
  // save, aborts the calling operation silently (EAbort).
  void ConfirmSave();
  void ShowFindDialog();
  void UpdateStatusBar();

  // ---- state the status keeps
  const String& PositionText() const { return positionText_; }
  const String& CapsText() const { return capsText_; }
  const String& InsertText() const { return insertText_; }
  const String& NumLockText() const { return numLockText_; }
  int LastLine() const { return lastLine_; }
  int LastColumn() const { return lastColumn_; }
  int CurrentLine() const { return currentLine_; }
  int LastFoundPos() const { return lastFoundPos_; }
  TFindDialog* FindDialog() const { return findDialog_; }
  TRichEditOleCallback* OleCallback() const { return callback_.get(); }
  // The last popup menu built (owned by the editor).
  TPopupMenu* OwnPopupMenu() const { return ownMenu_; }
  TPopupMenu* BuildPopupMenu();
  // The start of the selection; right after a replacement, the end of the
  // inserted text (once).
  int SelStart() const override;

  // How long the transfers wait for the browser's document (milliseconds).
  static inline Cardinal BrowserWaitLimit = 30000;

 protected:
  void Loaded() override;
  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void ApplyTextLimit(int Value);
  virtual int QuerySelStart();
  void DblClick() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(WideChar& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  TPopupMenu* GetPopupMenu() override;
  void SelectionChange() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void SetGap(int index, int value);
  void ApplyTheme();
  void RefreshModified(bool Flag);
  void FindNext(TObject* Sender);
  void URLClick(const String& URL);
  void HandleNotify(TMessage& Message);
  void DropFiles(TMessage& Message);
  void Highlight(HighLightRichSyntax::THighlightRichSyntax& Colouring);
  // The target of a save: the name with ".html" unless it ends so already.
  static String SaveTarget(const String& Name);
  // Writes the text as UTF-8; asks first when the file exists. -1 Cancel,
  // 0 No, 1 written.
  int WriteWithQuestion(const String& Target, bool noMeansSaveAs);
  void SetAttributeStyle(TFontStyle Style);
  int LineCount();

  std::unique_ptr<TRichEditOleCallback> callback_;
  TMemoryStream rtfStream_;
  QPointer<EmbeddedWB::TEmbeddedWB> browser_;
  TImage* image_ = nullptr;
  TStatusBar* statusBar_ = nullptr;
  TPopupMenu* ownMenu_ = nullptr;
  bool useOwnMenu_ = true;
  TFindDialog* findDialog_ = nullptr;
  String fileName_ = QStringLiteral("Untitled");
  int gaps_[4] = {0, 0, 0, 0};
  bool acceptDragComponents_ = true;
  bool acceptDragFiles_ = true;
  bool autoNavigate_ = true;
  bool highlightHtml_ = true;
  bool highlightUrl_ = true;
  bool highlightXml_ = true;
  bool moreThan64KB_ = false;
  TAlignment textAlignment_ = taLeftJustify;
  bool hideCaret_ = false;
  TThemes themes_ = tDefault;
  String positionText_;
  String capsText_ = QStringLiteral("Caps Lock: Off");
  String insertText_ = QStringLiteral("Insert: Off");
  String numLockText_ = QStringLiteral("NumLock: Off");
  int lastLine_ = 0;
  int lastColumn_ = 0;
  int currentLine_ = 0;
  int lastFoundPos_ = 0;
  bool savedModified_ = false;
  bool windowDestroyed_ = false;
  CHARRANGE lastRange_;
  mutable int pendingSelStart_ = 0;
};

void initialize();
void finalize();

using TThemes = TRichEditWB::TThemes;

}  // namespace RichEditBrowser
