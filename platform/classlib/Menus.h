#pragma once
// Menus: trees of menu items shown through Qt menus.
//
// A menu (TMainMenu, TPopupMenu) holds a root item, Items, whose children are
// the top-level entries. Items are components: each has an owner that frees
// it (often the form) and, separately, a parent item whose list it is in.
// Freeing an item frees the items in its list and takes it out of its parent.
//
// The Qt menu is a view of the tree built when it opens: a sub-menu is filled
// when it is about to show, after its item's OnClick has run, so an item can
// fill its children lazily on first opening (an item with only an invisible
// child still shows as a sub-menu). A caption of "-" makes a separator; "&"
// marks the accelerator character ("&&" is a literal "&").
#include <QMenu>
#include <QPointer>

#include "platform/classlib/Components.h"
#include "platform/classlib/ImgList.h"
#include "platform/winapi/KeyCodes.h"

class QAction;
class QMenuBar;
class TMenu;

// A shortcut: a virtual key in the low byte plus modifier bits.
using TShortCut = Word;
inline constexpr TShortCut scNone = 0;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

TShortCut ShortCut(Word key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift);
// "Ctrl+Shift+F5" style text: modifiers in the order Shift, Ctrl, Alt, then the
// key's name; "" for scNone or a key without a name.
String ShortCutToText(TShortCut shortCut);
// The reverse, case-insensitive; 0 when the text names no key.
TShortCut TextToShortCut(const String& text);

NOCTIVANE_DECLARE_EXCEPTION(EMenuError, Exception)

class TMenuItem : public TComponent {
  Q_OBJECT
  Q_PROPERTY(String Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
  Q_PROPERTY(String Hint READ Hint WRITE SetHint)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool RadioItem READ RadioItem WRITE SetRadioItem)
  Q_PROPERTY(int ShortCut READ ShortCut WRITE SetShortCut)
  Q_PROPERTY(TImageList* SubMenuImages READ SubMenuImages WRITE SetSubMenuImages)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

 public:
  Q_INVOKABLE explicit TMenuItem(TComponent* AOwner);
  // Frees the items in this item's list and leaves the parent item.
  ~TMenuItem() override;

  const String& Caption() const { return caption_; }
  void SetCaption(const String& value) { caption_ = value; }
  bool Checked() const { return checked_; }
  // Checking a radio item unchecks the other radio items of its parent that
  // share its GroupIndex.
  void SetChecked(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value) { groupIndex_ = value; }
  const String& Hint() const { return hint_; }
  void SetHint(const String& value) { hint_ = value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value) { imageIndex_ = value; }
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(int value) { shortCut_ = TShortCut(value); }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }

  // The pictures of this item's children (their ImageIndex); when none, the
  // children take their pictures from the menu's Images.
  TImageList* SubMenuImages() const { return subMenuImages_; }
  void SetSubMenuImages(TImageList* value);

  // Caption "-".
  bool IsLine() const { return caption_ == QLatin1String("-"); }

  // ---- the item list
  int Count() const { return items_.size(); }
  // EMenuError out of range.
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  TMenuItem* Parent() const { return parent_; }
  // Position in the parent's list (-1 without a parent).
  int MenuIndex() const;
  // Appends / inserts an item (taking it out of its former parent). Adding
  // an item to itself or to one of its own children raises EMenuError.
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item at `index` out of the list without freeing it.
  void Delete(int index);
  void Remove(TMenuItem* item);
  // Frees every item of the list.
  void Clear();
  int IndexOf(const TMenuItem* item) const;
  // The child whose caption, without its "&" markers, equals `caption`
  // (case-insensitive); null when none.
  TMenuItem* Find(const String& caption) const;

  // The menu this item belongs to, through its parents; null when none.
  TMenu* GetParentMenu() const;
  // The picture list the item's ImageIndex refers to: its parent's
  // SubMenuImages, else the menu's Images.
  TImageList* ImageList() const;

  // Raises OnClick when the item is enabled. Called when the user chooses the
  // item, and for an item with children when its sub-menu opens.
  virtual void Click();

  TNotifyEvent OnClick;

  // The component a form resource nests this item in: its parent item, or the
  // menu when the item is a top-level entry.
  void SetParentComponent(TComponent* value) override;
  TComponent* GetParentComponent() const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Fills `menu` with the visible children of this item (sub-menus fill
  // themselves when they open); a chosen action maps to its item through
  // ItemOfAction.
  void FillQMenu(QMenu* menu) const;

 private:
  friend class TMenu;
  void Unparent();

  String caption_;
  String hint_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  bool radioItem_ = false;
  int groupIndex_ = 0;
  int imageIndex_ = -1;
  TShortCut shortCut_ = scNone;
  TImageList* subMenuImages_ = nullptr;
  TMenuItem* parent_ = nullptr;
  QList<TMenuItem*> items_;
  TMenu* menu_ = nullptr;  // set on a menu's root item only
};

// The menu item a QAction of a menu built by this unit stands for (null for
// separators and foreign actions, or when the item is gone).
TMenuItem* ItemOfAction(const QAction* action);

class TMenu : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)

 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  // The root item; its children are the menu's entries.
  TMenuItem* Items() const { return items_; }
  // Pictures of the entries (ImageIndex), unless an item's parent has its own
  // SubMenuImages.
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* value);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The entry (at any depth) whose shortcut is `shortCut`; null when none.
  TMenuItem* FindItemByShortCut(TShortCut shortCut) const;

 protected:
  // Builds a Qt menu of the entries (for popups and menu bars).
  void FillQMenu(QMenu* menu) const { items_->FillQMenu(menu); }

 private:
  TMenuItem* items_;
  TImageList* images_ = nullptr;
};

class TMainMenu : public TMenu {
  Q_OBJECT
 public:
  Q_INVOKABLE explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
  // Rebuilds `bar` from the entries: each entry with children is a drop-down
  // menu (filled when it opens), any other entry a plain action whose choice
  // runs its Click.
  void FillMenuBar(QMenuBar* bar) const;
};

class TPopupMenu : public TMenu {
  Q_OBJECT
  Q_PROPERTY(bool AutoPopup READ AutoPopup WRITE SetAutoPopup)

 public:
  Q_INVOKABLE explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

  // Whether a control shows this menu on its own when right-clicked.
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  // The component that showed the menu last (set by the caller of Popup).
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* value) { popupComponent_ = value; }
  // Screen point of the last Popup.
  TPoint PopupPoint() const { return popupPoint_; }

  // Raises OnPopup, then shows the entries as a Qt menu at the screen point
  // (x, y) and waits until it closes; the chosen item's Click runs after the
  // menu has closed. The Qt menu being shown is ActiveQMenu() meanwhile.
  virtual void Popup(int x, int y);
  QMenu* ActiveQMenu() const { return active_; }

  TNotifyEvent OnPopup;

 private:
  bool autoPopup_ = true;
  QPointer<TComponent> popupComponent_;
  TPoint popupPoint_;
  QPointer<QMenu> active_;
};

// Registers the menu classes and their events with the form streaming. Idempotent.
void InitializeMenus();
