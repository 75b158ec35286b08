#pragma once
// Standard controls: labels, single-line and multi-line edits, buttons, check
// boxes, list boxes and combo boxes, over Qt widgets.
//
// The widget of each control holds the control's content (text, items,
// selection): accessors create the widget when it does not exist yet.
// Events follow the platform's rules: OnChange of an edit also for changes
// made in code; OnClick of a check box whenever its state changes; OnClick of
// a list box when the user picks an item; OnClick / OnSelect / OnChange of a
// combo box when the user picks an entry. The key events of edits and of a
// combo box's edit field may swallow a key (set it to 0) or replace it: the
// field then gets the new key. The Win32 messages of edit and
// combo-box windows that other code sends (EM_*, CB_*) are answered by the
// controls' windows; the combo box's notifications reach it as CN_COMMAND
// with a CBN_* code.
#include <QPointer>
#include <QScopeGuard>

#include <functional>

#include "platform/classlib/Controls.h"
#include "platform/rtl/Scopes.h"

class QAbstractItemView;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStyleOptionViewItem;
class QTextCursor;
class QTextEdit;

// ---------------------------------------------------------------- window messages

// Edit windows.
inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_GETMODIFY = 0x00B8;
inline constexpr UINT EM_SETMODIFY = 0x00B9;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_REPLACESEL = 0x00C2;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_EMPTYUNDOBUFFER = 0x00CD;
inline constexpr UINT EM_SETREADONLY = 0x00CF;
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;
// Edit notifications (high word of WM_COMMAND's WParam).
inline constexpr WORD EN_CHANGE = 0x0300;

// Combo-box windows.
inline constexpr UINT CB_GETEDITSEL = 0x0140;
inline constexpr UINT CB_LIMITTEXT = 0x0141;
inline constexpr UINT CB_SETEDITSEL = 0x0142;
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_FINDSTRING = 0x014C;
inline constexpr UINT CB_SELECTSTRING = 0x014D;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT CB_SHOWDROPDOWN = 0x014F;
inline constexpr UINT CB_GETDROPPEDCONTROLRECT = 0x0152;
inline constexpr UINT CB_SETITEMHEIGHT = 0x0153;
inline constexpr UINT CB_GETITEMHEIGHT = 0x0154;
inline constexpr UINT CB_GETDROPPEDSTATE = 0x0157;
inline constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
inline constexpr LRESULT CB_ERR = -1;
// Combo-box notifications.
inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD CBN_DBLCLK = 2;
inline constexpr WORD CBN_EDITCHANGE = 5;
inline constexpr WORD CBN_DROPDOWN = 7;
inline constexpr WORD CBN_CLOSEUP = 8;
// Combo-box window styles.
inline constexpr DWORD CBS_SIMPLE = 0x0001;
inline constexpr DWORD CBS_DROPDOWN = 0x0002;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
inline constexpr DWORD CBS_OWNERDRAWFIXED = 0x0010;
inline constexpr DWORD CBS_OWNERDRAWVARIABLE = 0x0020;
inline constexpr DWORD CBS_AUTOHSCROLL = 0x0040;
inline constexpr DWORD CBS_SORT = 0x0100;
inline constexpr DWORD CBS_HASSTRINGS = 0x0200;
// Edit window styles.
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;

// ---------------------------------------------------------------- owner drawing

enum TOwnerDrawStateItem {
  odSelected,
  odGrayed,
  odDisabled,
  odChecked,
  odFocused,
  odDefault,
  odHotLight,
  odInactive,
  odNoAccel,
  odNoFocusRect,
  odReserved1,
  odReserved2,
  odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;

using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

// A string list that tells its owner of every change: single insertions,
// deletions and replacements one by one, anything else (sorting, exchanges)
// as a reset. Sorted lists keep duplicates.
class TItemStrings : public TStringList {
 public:
  struct Sink {
    virtual ~Sink() = default;
    virtual void ItemInserted(int index, const String& s) = 0;
    virtual void ItemDeleted(int index) = 0;
    virtual void ItemChanged(int index, const String& s) = 0;
    virtual void ItemsCleared() = 0;
    virtual void ItemsReset() = 0;
  };
  explicit TItemStrings(Sink* sink);

  int Add(const String& s) override;
  void Insert(int index, const String& s) override;
  void Put(int index, const String& s) override;
  void Delete(int index) override;
  void Clear() override;

 protected:
  void Changed() override;

 private:
  Sink* sink_;
  int handling_ = 0;
};

// ---------------------------------------------------------------- TLabel

class TCustomLabel : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(TWinControl* FocusControl READ FocusControl WRITE SetFocusControl)
  Q_PROPERTY(TTextLayout Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE SetShowAccelChar)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)

 public:
  enum TTextLayout { tlTop, tlCenter, tlBottom };
  Q_ENUM(TTextLayout)

  explicit TCustomLabel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  // Sizes the label to its caption (the height only, with WordWrap). A
  // right-justified label keeps its right edge.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  // The parent shows through instead of Color.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);

  void Loaded() override;

 protected:
  void Paint() override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The Qt text flags of alignment, layout, word wrap and accelerators.
  int TextFlags() const;
  void AdjustBounds();

 private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = true;
  TWinControl* focusControl_ = nullptr;
  TTextLayout layout_ = tlTop;
  bool showAccelChar_ = true;
  bool transparent_ = false;
  bool wordWrap_ = false;
};
using TTextLayout = TCustomLabel::TTextLayout;
using enum TCustomLabel::TTextLayout;

class TLabel : public TCustomLabel {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

// ---------------------------------------------------------------- TEdit

class TCustomEdit : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
  Q_PROPERTY(String PasswordChar READ PasswordCharText WRITE SetPasswordCharText)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(String Text READ Text WRITE SetText)

 public:
  explicit TCustomEdit(TComponent* AOwner);

  String GetText() const override;
  void SetText(const String& value) override;

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  virtual void SetMaxLength(int value);
  // The character shown in place of each typed one (0: the text itself).
  WideChar PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(WideChar value);
  String PasswordCharText() const;
  void SetPasswordCharText(const String& value);
  bool ReadOnly() const { return readOnly_; }
  virtual void SetReadOnly(bool value);
  bool Modified() const;
  void SetModified(bool value);

  // Selection in characters (UTF-16 units) from the start of the text; a
  // multi-line edit counts one position per line break.
  virtual int SelStart() const;
  virtual void SetSelStart(int value);
  virtual int SelLength() const;
  virtual void SetSelLength(int value);
  virtual String SelText() const;
  // Replaces the selection (or inserts at the caret).
  virtual void SetSelText(const String& value);
  virtual void SelectAll();
  void ClearSelection() { SetSelText(String()); }
  virtual void Clear();
  virtual bool CanUndo() const;
  virtual void Undo();
  virtual void CutToClipboard();
  virtual void CopyToClipboard();
  virtual void PasteFromClipboard();

  TNotifyEvent OnChange;

 protected:
  QWidget* CreateWidget() override;
  void WndProc(TMessage& Message) override;
  // Raises OnChange.
  virtual void Change();
  QLineEdit* LineEdit() const;

 private:
  TBorderStyle borderStyle_ = bsSingle;
  int maxLength_ = 0;
  WideChar passwordChar_ = 0;
  bool readOnly_ = false;
};

class TEdit : public TCustomEdit {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

// Answers the edit messages (EM_GETSEL, EM_SETSEL, EM_REPLACESEL,
// EM_GETMODIFY, EM_SETMODIFY, EM_SETREADONLY, EM_LIMITTEXT,
// EM_GETLIMITTEXT, EM_CANUNDO, EM_UNDO, WM_GETTEXT, WM_GETTEXTLENGTH,
// WM_SETTEXT, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, WM_UNDO) for a line edit;
// false for other messages.
bool HandleLineEditMessage(QLineEdit* edit, TMessage& m);

// ---------------------------------------------------------------- TMemo

class TCustomMemo;

// The lines of a memo: kept equal to the widget's text both ways. A trailing
// empty line of the text is not a line of its own (text "a\r\nb\r\n" holds
// the lines a and b); adding a line leaves the text ending in a line break.
// An added string holding line breaks becomes several lines.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
  String ClassName() const override { return QStringLiteral("TMemoStrings"); }

  void Insert(int index, const String& s) override;
  void Put(int index, const String& s) override;
  void Delete(int index) override;
  void Clear() override;

  // Reads the lines from the widget again.
  void Reload();

 protected:
  void Changed() override;

 private:
  TCustomMemo* memo_;
  int handling_ = 0;
};

class TCustomMemo : public TCustomEdit {
  Q_OBJECT
  Q_PROPERTY(TStrings* Lines READ Lines WRITE SetLines)
  Q_PROPERTY(TScrollStyle ScrollBars READ ScrollBars WRITE SetScrollBars)
  Q_PROPERTY(bool WantReturns READ WantReturns WRITE SetWantReturns)
  Q_PROPERTY(bool WantTabs READ WantTabs WRITE SetWantTabs)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)

 public:
  enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
  Q_ENUM(TScrollStyle)

  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;

  // Lines joined with CR LF (the text as the widget holds it).
  String GetText() const override;
  void SetText(const String& value) override;

  TStrings* Lines() const { return lines_; }
  void SetLines(TStrings* value) { lines_->Assign(*value); }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool value) { wantReturns_ = value; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  void SetReadOnly(bool value) override;

  int SelStart() const override;
  void SetSelStart(int value) override;
  int SelLength() const override;
  void SetSelLength(int value) override;
  String SelText() const override;
  void SetSelText(const String& value) override;
  void SelectAll() override;
  void Clear() override;
  bool CanUndo() const override;
  void Undo() override;
  void CutToClipboard() override;
  void CopyToClipboard() override;
  void PasteFromClipboard() override;

  // The text widget.
  QTextEdit* TextEdit() const;

 protected:
  friend class TMemoStrings;
  QWidget* CreateWidget() override;
  void WndProc(TMessage& Message) override;
  void KeyPress(WideChar& Key) override;
  // The character format of text that Lines and SelText insert (the memo's
  // plain format; a rich edit answers its current attributes).
  virtual void PrepareInsertion(QTextCursor& cursor);
  // Puts lines of a derived class in place of the memo's own (from the
  // derived constructor, while the lines are still empty); takes ownership.
  void SetLinesObject(TMemoStrings* lines);
  // Runs a change of the text made by this class: Lines follow it by
  // themselves, so the widget's change notification only raises OnChange.
  template <class F>
  void OwnChange(F&& change) {
    ++ownChange_;
    RunFinally(std::forward<F>(change), [this] {
      --ownChange_;
      OwnChangeDone();
    });
  }

  // Runs a change of formatting only: Lines stay, OnChange is not raised.
  template <class F>
  void FormatChange(F&& change) {
    ++ownChange_;
    const auto done = qScopeGuard([this] { --ownChange_; });
    change();
  }

 private:
  void ContentsChanged();
  void OwnChangeDone();

  TMemoStrings* lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  bool wordWrap_ = true;
  int ownChange_ = 0;
  // The text after the last change, when known: a change that keeps the
  // length is compared with it to tell formatting from text.
  String lastText_;
  bool lastTextKnown_ = false;
};
using TScrollStyle = TCustomMemo::TScrollStyle;
using enum TCustomMemo::TScrollStyle;

class TMemo : public TCustomMemo {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};

// ---------------------------------------------------------------- TButton

class TButton : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Default READ Default WRITE SetDefault)
  Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)

 public:
  Q_INVOKABLE explicit TButton(TComponent* AOwner);

  // Escape presses the button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  // Enter presses the button (unless another button has the focus).
  bool Default() const { return default_; }
  void SetDefault(bool value);
  // Given to the button's form when the button is clicked.
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }

  void SetText(const String& value) override;
  // Sets the form's ModalResult, then raises OnClick.
  void Click() override;

 protected:
  QWidget* CreateWidget() override;
  void Dispatch(TMessage& Message) override;

 private:
  bool cancel_ = false;
  bool default_ = false;
  TModalResult modalResult_ = mrNone;
};

// ---------------------------------------------------------------- TCheckBox

class TCheckBox : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE SetAllowGrayed)
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked STORED false)
  Q_PROPERTY(TCheckBoxState State READ State WRITE SetState)

 public:
  enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
  Q_ENUM(TCheckBoxState)

  Q_INVOKABLE explicit TCheckBox(TComponent* AOwner);

  // Whether the user's clicks pass through the grayed state (unchecked,
  // grayed, checked, unchecked; grayed always goes to checked).
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool value);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  // A change of state (from code or by the user) raises OnClick; setting the
  // state it already has raises nothing.
  void SetState(TCheckBoxState value);

  void SetText(const String& value) override;

 protected:
  QWidget* CreateWidget() override;
  QCheckBox* CheckBox() const;

 private:
  void Toggled(int qtState);

  bool allowGrayed_ = false;
  TCheckBoxState state_ = cbUnchecked;
};
using TCheckBoxState = TCheckBox::TCheckBoxState;
using enum TCheckBox::TCheckBoxState;

// ---------------------------------------------------------------- list boxes

class TCustomListBox : public TWinControl, protected TItemStrings::Sink {
  Q_OBJECT
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(bool ExtendedSelect READ ExtendedSelect WRITE SetExtendedSelect)
  Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex STORED false)
  Q_PROPERTY(TStrings* Items READ Items WRITE SetItems)
  Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
  Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
  Q_PROPERTY(TListBoxStyle Style READ Style WRITE SetStyle)

 public:
  enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
  Q_ENUM(TListBoxStyle)

  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);
  // Height of an item of an owner-drawn list (pixels).
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value);
  // The selected item (the focused one of a multi-selection list); -1 for none.
  int ItemIndex() const;
  void SetItemIndex(int value);
  TStrings* Items() const { return items_; }
  void SetItems(TStrings* value) { items_->Assign(*value); }
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  // Items stay in order of a case-insensitive comparison.
  bool Sorted() const { return items_->GetSorted(); }
  void SetSorted(bool value);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle value);

  int Count() const { return items_->Count(); }
  bool Selected(int index) const;
  void SetSelected(int index, bool value);
  int SelCount() const;
  // The first visible item.
  int TopIndex() const;
  void SetTopIndex(int value);
  // The item under a client point (-1, or with `existing` false the count,
  // when none).
  int ItemAtPos(const TPoint& pos, bool existing) const;
  // An item's rectangle in client coordinates.
  TRect ItemRect(int index) const;
  void Clear();
  void ClearSelection();
  void SelectAll();

  // The drawing surface of owner-drawn items (bound while an item is drawn).
  TCanvas* Canvas() const { return canvas_; }

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  friend class TListItemDelegate;
  QWidget* CreateWidget() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  QListWidget* ListWidget() const;
  // Draws item `index` of an owner-drawn list on Canvas: OnDrawItem when
  // assigned, else the item's text on the brush colour.
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
  virtual void MeasureItem(int Index, int& Height);
  // Whether the items are drawn by the control (the owner-draw styles).
  virtual bool OwnerDraw() const { return style_ != lbStandard; }
  // Sets up a new widget item (a check list adds its check mark).
  virtual void InitItem(QListWidgetItem* item);
  // The space on the left of an owner-drawn item that the control keeps for
  // itself (a check list's check box).
  virtual int ItemIndent() const { return 0; }
  // Paints an item (the owner-draw delegate calls it).
  virtual void PaintItem(QPainter* painter, const QStyleOptionViewItem& option, int index);

  // Changes made to the widget's items by this class (not by the user).
  int settingItems_ = 0;

  // TItemStrings::Sink
  void ItemInserted(int index, const String& s) override;
  void ItemDeleted(int index) override;
  void ItemChanged(int index, const String& s) override;
  void ItemsCleared() override;
  void ItemsReset() override;

 private:
  void ApplyStyle(QListWidget* list);
  void SelectionMoved();
  // Scrolls to the item last selected in code. Deferred to the event loop,
  // so that selecting line after line scrolls once, not once per line (each
  // scroll lays out the whole list).
  void ScrollToSelection();

  TItemStrings* items_;
  TCanvas* canvas_;
  int pendingScroll_ = -1;  // the item to scroll to; -1: none
  TBorderStyle borderStyle_ = bsSingle;
  bool extendedSelect_ = true;
  int itemHeight_ = 16;
  bool multiSelect_ = false;
  bool mousePressed_ = false;
  TListBoxStyle style_ = lbStandard;
};
using TListBoxStyle = TCustomListBox::TListBoxStyle;
using enum TCustomListBox::TListBoxStyle;

class TListBox : public TCustomListBox {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

// ---------------------------------------------------------------- combo boxes

class TComboWidget;

class TCustomComboBox : public TWinControl, protected TItemStrings::Sink {
  Q_OBJECT
  Q_PROPERTY(bool AutoComplete READ AutoComplete WRITE SetAutoComplete)
  Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
  Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex STORED false)
  Q_PROPERTY(TStrings* Items READ Items WRITE SetItems)
  Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
  Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
  Q_PROPERTY(TComboBoxStyle Style READ Style WRITE SetStyle)
  Q_PROPERTY(String Text READ Text WRITE SetText)

 public:
  enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
  Q_ENUM(TComboBoxStyle)

  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  // The edit field's text (the selected entry's text without an edit field).
  String GetText() const override;
  // Sets the edit field's text; the entry of that text (case-insensitive)
  // becomes the selected one, else none is. A list without an edit field
  // only selects the entry of that text.
  void SetText(const String& value) override;

  // Completes typed text from the entries.
  bool AutoComplete() const { return autoComplete_; }
  void SetAutoComplete(bool value);
  // Entries shown in the drop-down list without scrolling.
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value);
  // The list is open; setting it opens or closes the list.
  bool DroppedDown() const;
  void SetDroppedDown(bool value);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value);
  // The selected entry; -1 for none. Setting it puts the entry's text in the
  // edit field and raises no event.
  int ItemIndex() const;
  void SetItemIndex(int value);
  TStrings* Items() const { return items_; }
  void SetItems(TStrings* value) { items_->Assign(*value); }
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  bool Sorted() const { return items_->GetSorted(); }
  void SetSorted(bool value);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);

  // Selection of the edit field.
  int SelStart() const;
  void SetSelStart(int value);
  int SelLength() const;
  void SetSelLength(int value);
  String SelText() const;
  void SetSelText(const String& value);
  void SelectAll();
  void Clear();

  // The edit field's window (class "Edit", the combo box window's child);
  // null without an edit field or before the window exists.
  HWND EditHandle() const { return editHandle_; }
  // The drawing surface of owner-drawn entries (bound while one is drawn).
  TCanvas* Canvas() const { return canvas_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  friend class TComboWidget;
  friend class TComboItemDelegate;
  QWidget* CreateWidget() override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWindowHandle(const TCreateParams& Params) override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;

  QComboBox* ComboWidget() const;
  QLineEdit* EditWidget() const;

  // The notifications (CN_COMMAND with a CBN_* code) raise these.
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  // Draws entry `index` on Canvas (also the closed face of an owner-drawn
  // list without an edit field, with odComboBoxEdit): OnDrawItem when
  // assigned, else the entry's text on the brush colour.
  virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
  virtual void MeasureItem(int Index, int& Height);
  // The entries are drawn by the control: an owner-draw style, or the
  // owner-draw bit in the window style.
  bool OwnerDraw() const;
  // Runs DrawItem with Canvas on `painter`.
  void PaintItem(QPainter* painter, const TRect& rect, int index, TOwnerDrawState state);

  // The edit field's window procedure: keys go to the combo box's own key
  // handling first (OnKeyDown, OnKeyPress, KeyDown, ...), edit messages to
  // the field.
  virtual void EditWndProc(TMessage& Message);
  // Sends a notification to the control as the combo-box window does.
  void Notify(WORD code);

  int settingItems_ = 0;

  // TItemStrings::Sink
  void ItemInserted(int index, const String& s) override;
  void ItemDeleted(int index) override;
  void ItemChanged(int index, const String& s) override;
  void ItemsCleared() override;
  void ItemsReset() override;

 private:
  void ApplyStyle(QComboBox* combo);
  void CreateEditWindow();
  TRect DroppedControlRect() const;
  bool HandleComboMessage(TMessage& m);

  TItemStrings* items_;
  TCanvas* canvas_;
  bool autoComplete_ = true;
  int dropDownCount_ = 8;
  int itemHeight_ = 16;
  int maxLength_ = 0;
  TComboBoxStyle style_ = csDropDown;
  DWORD windowStyle_ = 0;
  HWND editHandle_ = nullptr;
  WNDPROC editInstance_ = nullptr;
  WNDPROC editDefProc_ = nullptr;
};
using TComboBoxStyle = TCustomComboBox::TComboBoxStyle;
using enum TCustomComboBox::TComboBoxStyle;

class TComboBox : public TCustomComboBox {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

// Registers the standard controls and their events with the form streaming. Idempotent.
void InitializeStdCtrls();
