#pragma once
// Common controls: page controls with tab sheets, status bars, list views
// and the rich edit base.
#include <QTextCharFormat>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/StdCtrls.h"

class QTabBar;
class QTreeView;
class TImageList;
class TListViewModel;
class TPageControl;

// ---------------------------------------------------------------- tab sheets

// One page of a page control: its parent is the page control. Only the
// active page is visible.
class TTabSheet : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(TPageControl* PageControl READ PageControl WRITE SetPageControl STORED false)
  Q_PROPERTY(int PageIndex READ PageIndex WRITE SetPageIndex STORED false)
  Q_PROPERTY(bool TabVisible READ TabVisible WRITE SetTabVisible)

 public:
  Q_INVOKABLE explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;

  TPageControl* PageControl() const { return pageControl_; }
  // The same as setting Parent.
  void SetPageControl(TPageControl* value);
  // Position among the page control's pages.
  int PageIndex() const;
  void SetPageIndex(int value);
  // A page without a tab stays in the page control but cannot be chosen.
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool value);
  // Position among the visible tabs (-1 without a tab).
  int TabIndex() const;

  void SetParent(TWinControl* AParent) override;
  void SetText(const String& value) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(TTabSheet* ActivePage READ ActivePage WRITE SetActivePage)
  Q_PROPERTY(int ActivePageIndex READ ActivePageIndex WRITE SetActivePageIndex STORED false)

 public:
  Q_INVOKABLE explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;

  int PageCount() const { return int(pages_.size()); }
  // EListError out of range.
  TTabSheet* Pages(int index) const;
  // Setting the active page in code raises no event.
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }
  void SetActivePageIndex(int value);
  // The page after (or before) `current`, going round; with checkTabVisible
  // only pages with a tab. Null when there is none.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
  // Moves to the next page as the user would (OnChanging, OnChange).
  void SelectNextPage(bool goForward, bool checkTabVisible = true);

  // The area the pages fill, in client coordinates.
  TRect DisplayRect() const;
  QWidget* ContainerWidget() override;

  // Raised when the user chose another page (after it became active).
  TNotifyEvent OnChange;
  // Raised before the user's choice takes effect; AllowChange false keeps
  // the current page.
  TTabChangingEvent OnChanging;

 protected:
  friend class TTabSheet;
  QWidget* CreateWidget() override;
  void AlignControls(TControl* AControl, TRect& rect) override;
  void BoundsChanged(bool sizeChanged) override;
  virtual bool CanChange();
  virtual void Change();
  QTabBar* TabBar() const;

 private:
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void ChangeActivePage(TTabSheet* page);
  void UpdateTabs();
  void LayoutWidgets();
  int TabHeight() const;
  void TabClicked(int tab);

  QVector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
  QWidget* area_ = nullptr;
  int settingTabs_ = 0;
};

// ---------------------------------------------------------------- status bar

class TStatusPanel {
 public:
  String Text;
  int Width = 50;
  TAlignment Alignment = taLeftJustify;
};

// A bar, normally at the bottom of a form, that shows SimpleText (when
// SimplePanel is set) or its panels side by side.
class TStatusBar : public TCustomControl {
  Q_OBJECT
  Q_PROPERTY(bool SimplePanel READ SimplePanel WRITE SetSimplePanel)
  Q_PROPERTY(String SimpleText READ SimpleText WRITE SetSimpleText)

 public:
  Q_INVOKABLE explicit TStatusBar(TComponent* AOwner);

  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  const String& SimpleText() const { return simpleText_; }
  void SetSimpleText(const String& value);

  int PanelCount() const { return int(panels_.size()); }
  // Adds a panel and answers it; panels live as long as the bar.
  TStatusPanel* AddPanel();
  TStatusPanel* Panels(int index) const;
  void ClearPanels();

 protected:
  void Paint() override;

 private:
  bool simplePanel_ = false;
  String simpleText_;
  std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

// ---------------------------------------------------------------- list views

inline constexpr UINT LVM_FIRST = 0x1000;
// WParam: LVSIL_NORMAL or LVSIL_SMALL; LParam: the image list's handle (the
// TImageList itself). Answers the previous one.
inline constexpr UINT LVM_SETIMAGELIST = LVM_FIRST + 3;
inline constexpr WPARAM LVSIL_NORMAL = 0;
inline constexpr WPARAM LVSIL_SMALL = 1;

class TCustomListView;

enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };
enum TItemRequestItem { irText, irImage, irParam, irState, irIndent };
using TItemRequest = TSet<TItemRequestItem>;
enum TItemFind { ifData, ifPartialString, ifExactString, ifNearest };
enum TSearchDirection { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
enum TCustomDrawStateItem { cdsSelected, cdsGrayed, cdsDisabled, cdsChecked, cdsFocused, cdsDefault, cdsHot };
using TCustomDrawState = TSet<TCustomDrawStateItem>;

// One row. In a list of owner data a row is filled on request
// (OwnerDataFetch) each time it is asked for, and the object answered stays
// the list's until the next request.
class TListItem {
 public:
  TListItem(TCustomListView* owner, int index) : owner_(owner), index_(index) {}
  TCustomListView* Owner() const { return owner_; }
  int Index() const { return index_; }

  String Caption;
  int ImageIndex = -1;
  QStringList SubItems;

  bool Selected() const;
  void SetSelected(bool value);
  bool Focused() const;
  void SetFocused(bool value);
  // Scrolls the row into view.
  void MakeVisible(bool PartialOK);
  // The row's rectangle in the list's client coordinates (drSelectBounds:
  // the part that shows the selection).
  TRect DisplayRect(TDisplayCode Code) const;

 private:
  friend class TCustomListView;
  TCustomListView* owner_;
  int index_;
};

class TListColumn {
 public:
  String Caption;
  int Width = 50;
};

class TListColumns {
 public:
  explicit TListColumns(TCustomListView* owner) : owner_(owner) {}
  TListColumn* Add();
  int Count() const { return int(columns_.size()); }
  TListColumn* Items(int index) const;
  void Clear();
  // Puts changed captions and widths on the screen.
  void Changed();

 private:
  TCustomListView* owner_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
};

class TListItems {
 public:
  explicit TListItems(TCustomListView* owner) : owner_(owner) {}
  int Count() const;
  // The number of rows of a list of owner data; the rows are asked for when
  // shown.
  void SetCount(int value);
  // A row (filled through OwnerDataFetch for owner data); null out of range.
  TListItem* Item(int index);
  // A stored row (lists without owner data).
  TListItem* Add();
  void Clear();
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TCustomListView;
  TCustomListView* owner_;
  int count_ = 0;
  int updates_ = 0;
  std::vector<std::unique_ptr<TListItem>> stored_;
};

using TLVOwnerDataEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVOwnerDataHintEvent = std::function<void(TObject* Sender, int StartIndex, int EndIndex)>;

// A list of rows in columns (the report view shows them with their column
// headers), a small picture beside each caption, one selected row. With
// OwnerData the rows are not stored: Items.Count says how many there are,
// and before a screen of rows is shown the list hints their range
// (OwnerDataHint) and then fetches each one (OwnerDataFetch). Typing a
// caption's beginning finds the row through OwnerDataFind, wrapping round.
class TCustomListView : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(bool OwnerData READ OwnerData WRITE SetOwnerData)
  Q_PROPERTY(TViewStyle ViewStyle READ ViewStyle WRITE SetViewStyle)
  Q_PROPERTY(bool ShowColumnHeaders READ ShowColumnHeaders WRITE SetShowColumnHeaders)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(bool ColumnClick READ ColumnClick WRITE SetColumnClick)
  Q_PROPERTY(bool RowSelect READ RowSelect WRITE SetRowSelect)
  Q_PROPERTY(bool HideSelection READ HideSelection WRITE SetHideSelection)
  Q_PROPERTY(TImageList* SmallImages READ SmallImages WRITE SetSmallImages)
  Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_MOC_INCLUDE("platform/classlib/ImgList.h")

 public:
  enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
  Q_ENUM(TViewStyle)

  explicit TCustomListView(TComponent* AOwner);
  ~TCustomListView() override;

  bool OwnerData() const { return ownerData_; }
  void SetOwnerData(bool value);
  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle value);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  bool ColumnClick() const { return columnClick_; }
  void SetColumnClick(bool value);
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool value) { rowSelect_ = value; }
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value) { hideSelection_ = value; }
  TImageList* SmallImages() const;
  void SetSmallImages(TImageList* value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);

  TListItems* Items() const { return items_.get(); }
  TListColumns* Columns() const { return columns_.get(); }
  // The selected row (null for none); setting null clears the selection.
  TListItem* Selected();
  void SetSelected(TListItem* item);
  int ItemIndex() const;
  void SetItemIndex(int index);
  // The row with the focus rectangle (null for none).
  TListItem* ItemFocused();
  void SetItemFocused(TListItem* item);
  // The first row shown and the number of rows a screen holds.
  int TopIndex() const;
  int VisibleRowCount() const;
  // The drawing surface of custom drawing (bound while a cell is drawn).
  TCanvas* Canvas() const { return canvas_; }

  TLVOwnerDataEvent OnData;
  TLVOwnerDataHintEvent OnDataHint;

 protected:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumns;
  friend class TListViewModel;
  friend class TListViewWidget;
  friend class TListViewDelegate;

  QWidget* CreateWidget() override;
  void WndProc(TMessage& Message) override;
  // WM_CONTEXTMENU: the class library's handling (the PopupMenu); a derived
  // list that shows its own menu takes it over.
  virtual void WMContextMenu(TMessage& Message);

  // Fills Item for owner data (Caption, ImageIndex, SubItems); the default
  // raises OnData. True when the item was filled.
  virtual bool OwnerDataFetch(TListItem* Item, TItemRequest Request);
  // The index of the row a search finds, -1 for none; the default finds
  // nothing.
  virtual int OwnerDataFind(TItemFind Find, const String& FindString, const TPoint& FindPosition,
                            void* FindData, int StartIndex, TSearchDirection Direction, bool Wrap);
  // The rows StartIndex..EndIndex are about to be fetched; the default raises
  // OnDataHint.
  virtual bool OwnerDataHint(int StartIndex, int EndIndex);
  // Before a cell of a column after the first is drawn (cdPrePaint): Canvas
  // holds the font colour it is drawn with. False skips the drawing.
  virtual bool CustomDrawSubItem(TListItem* Item, int SubItem, TCustomDrawState State,
                                 TCustomDrawStage Stage);

  // The view widget (made on first use).
  QTreeView* View() const;

 private:
  void CountChanged();
  void UpdateColumns();
  void TypedSearch(const String& text);
  // A row filled for showing (owner data) or the stored one.
  TListItem* RowForShow(int index);

  std::unique_ptr<TListItems> items_;
  std::unique_ptr<TListColumns> columns_;
  std::unique_ptr<TListItem> fetched_;
  TCanvas* canvas_;
  TListViewModel* model_ = nullptr;
  QPointer<TImageList> smallImages_;
  bool ownerData_ = false;
  TViewStyle viewStyle_ = vsIcon;
  bool showColumnHeaders_ = true;
  bool readOnly_ = false;
  bool columnClick_ = true;
  bool rowSelect_ = false;
  bool hideSelection_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  String search_;
  qint64 lastSearchKey_ = 0;
};
using TViewStyle = TCustomListView::TViewStyle;
using enum TCustomListView::TViewStyle;

class TListView : public TCustomListView {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TListView(TComponent* AOwner) : TCustomListView(AOwner) {}
};

// ---------------------------------------------------------------- rich edit

class TCustomRichEdit;

// The character attributes of a rich edit: those of the selection (and of
// text inserted next), or the control's default ones (its Font).
class TTextAttributes : public TPersistent {
  Q_OBJECT
 public:
  enum TAttributeType { atSelected, atDefaultText };

  TTextAttributes(TCustomRichEdit* editor, TAttributeType type);
  // From a font or other attributes.
  void Assign(TPersistent* source) override;

  TColor Color() const;
  void SetColor(TColor value);
  String Name() const;
  void SetName(const String& value);
  // Points.
  int Size() const;
  void SetSize(int value);
  // Pixels, negative as in fonts.
  int Height() const { return -Size() * TFont::PixelsPerInch / 72; }
  void SetHeight(int value) { SetSize(-value * 72 / TFont::PixelsPerInch); }
  TFontStyles Style() const;
  void SetStyle(TFontStyles value);
  TFontCharset Charset() const;
  void SetCharset(TFontCharset value);

 protected:
  void AssignTo(TPersistent* dest) override;

 private:
  // The format the attributes read: the selection's, or what is inserted next.
  QTextCharFormat Current() const;
  void Apply(const QTextCharFormat& change);

  TCustomRichEdit* editor_;
  TAttributeType type_;
};

// A multi-line edit whose text carries character formatting. Lines added
// (and text inserted through SelText) take the current selection
// attributes; setting an attribute applies it to the selected text and to
// what is inserted next.
//
// The rich edit control's own behaviour (the messages its window answers,
// Lines read and written as RTF unless PlainText, printing) comes from the
// rich edit layer through Engine, which that layer's InitializeRichEdit
// fills; without it the control is a memo with character formats.
class TCustomRichEdit : public TCustomMemo {
  Q_OBJECT
  Q_PROPERTY(bool PlainText READ PlainText WRITE SetPlainText)

 public:
  struct TEngine {
    // Answers a message of the control's window that the class library
    // leaves to the window (true when answered).
    bool (*HandleMessage)(TCustomRichEdit& edit, TMessage& message) = nullptr;
    // The text changed (before OnChange).
    void (*TextChanged)(TCustomRichEdit& edit) = nullptr;
    // Lines from / into a stream.
    void (*LoadLines)(TCustomRichEdit& edit, TStream& stream) = nullptr;
    void (*SaveLines)(TCustomRichEdit& edit, TStream& stream) = nullptr;
    // Prints the whole text as one print job named `caption`.
    void (*Print)(TCustomRichEdit& edit, const String& caption) = nullptr;
  };
  static TEngine Engine;

  explicit TCustomRichEdit(TComponent* AOwner);

  TTextAttributes* SelAttributes() const { return selAttributes_; }
  void SetSelAttributes(TTextAttributes* value) { selAttributes_->Assign(value); }
  TTextAttributes* DefAttributes() const { return defAttributes_; }
  void SetDefAttributes(TTextAttributes* value) { defAttributes_->Assign(value); }
  // How Lines read and write streams: plain text, or formatted text.
  bool PlainText() const { return plainText_; }
  void SetPlainText(bool value) { plainText_ = value; }

  // The format that inserted text takes (the selection attributes).
  const QTextCharFormat& InsertFormat() const { return insertFormat_; }
  void SetInsertFormat(const QTextCharFormat& format) { insertFormat_ = format; }
  // Runs a change of character or paragraph formats made on the widget's
  // document from outside the class: Lines stay, OnChange is not raised.
  template <class F>
  void ChangeFormats(F&& change) {
    FormatChange(std::forward<F>(change));
  }

  // Prints the text on the current printer (DialogPrinter()) as a job named
  // `Caption`.
  void Print(const String& Caption);
  void PasteFromClipboard() override;
  void DefaultHandler(TMessage& Message) override;

  TNotifyEvent OnSelectionChange;

 protected:
  friend class TTextAttributes;
  QWidget* CreateWidget() override;
  void Change() override;
  void PrepareInsertion(QTextCursor& cursor) override;
  // Raises OnSelectionChange.
  virtual void SelectionChange();
  // Applies a change of the selection attributes.
  void ApplySelAttributes(const QTextCharFormat& change);

 private:
  TTextAttributes* selAttributes_;
  TTextAttributes* defAttributes_;
  QTextCharFormat insertFormat_;
  bool plainText_ = false;
};

class TRichEdit : public TCustomRichEdit {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TRichEdit(TComponent* AOwner) : TCustomRichEdit(AOwner) {}
};

// Registers these classes and their events with the form streaming. Idempotent.
void InitializeComCtrls();
