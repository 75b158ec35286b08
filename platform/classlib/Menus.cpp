#include "platform/classlib/Menus.h"

#include <QAction>
#include <QActionGroup>
#include <QHash>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>

// ---------------------------------------------------------------- shortcuts

namespace {

struct KeyName {
  Word Key;
  const char* Name;
};

// Names of the keys that are not letters, digits or function keys.
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},       {VK_TAB, "Tab"},        {VK_RETURN, "Enter"},  {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"},     {VK_PRIOR, "PgUp"},     {VK_NEXT, "PgDn"},     {VK_END, "End"},
    {VK_HOME, "Home"},       {VK_LEFT, "Left"},      {VK_UP, "Up"},         {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},       {VK_INSERT, "Ins"},     {VK_DELETE, "Del"},    {VK_NUMPAD0, "Num 0"},
    {VK_NUMPAD1, "Num 1"},   {VK_NUMPAD2, "Num 2"},  {VK_NUMPAD3, "Num 3"}, {VK_NUMPAD4, "Num 4"},
    {VK_NUMPAD5, "Num 5"},   {VK_NUMPAD6, "Num 6"},  {VK_NUMPAD7, "Num 7"}, {VK_NUMPAD8, "Num 8"},
    {VK_NUMPAD9, "Num 9"},   {VK_MULTIPLY, "Num *"}, {VK_ADD, "Num +"},     {VK_SUBTRACT, "Num -"},
    {VK_DECIMAL, "Num Del"}, {VK_DIVIDE, "Num /"},   {VK_OEM_1, ";"},       {VK_OEM_PLUS, "="},
    {VK_OEM_COMMA, ","},     {VK_OEM_MINUS, "-"},    {VK_OEM_PERIOD, "."},  {VK_OEM_2, "/"},
    {VK_OEM_3, "`"},         {VK_OEM_4, "["},        {VK_OEM_5, "\\"},      {VK_OEM_6, "]"},
    {VK_OEM_7, "'"},
};

String KeyToText(Word key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return String(QChar(key));
  if (key >= VK_F1 && key <= VK_F24) return QStringLiteral("F%1").arg(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.Key == key) return String::fromLatin1(k.Name);
  return String();
}

// The key named `name` (case-insensitive), 0 when none.
Word TextToKey(const String& name) {
  if (name.isEmpty()) return 0;
  for (Word key = 1; key < 256; ++key) {
    const String text = KeyToText(key);
    if (!text.isEmpty() && SameText(text, name)) return key;
  }
  return 0;
}

QKeySequence ToKeySequence(TShortCut shortCut) {
  Word key;
  TShiftState shift;
  ShortCutToKey(shortCut, key, shift);
  bool keypad = false;
  const int qtKey = QtKeyFromVirtualKey(key, &keypad);
  if (key == 0 || qtKey == Qt::Key_unknown) return QKeySequence();
  int combined = qtKey;
  if (shift.Contains(ssShift)) combined |= Qt::SHIFT;
  if (shift.Contains(ssCtrl)) combined |= Qt::CTRL;
  if (shift.Contains(ssAlt)) combined |= Qt::ALT;
  if (keypad) combined |= Qt::KeypadModifier;
  return QKeySequence(combined);
}

}  // namespace

TShortCut ShortCut(Word key, TShiftState shift) {
  if (key & 0xFF00) return scNone;  // not a virtual key
  TShortCut result = key;
  if (shift.Contains(ssShift)) result |= scShift;
  if (shift.Contains(ssCtrl)) result |= scCtrl;
  if (shift.Contains(ssAlt)) result |= scAlt;
  return result;
}

void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = TShiftState();
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

String ShortCutToText(TShortCut shortCut) {
  const String name = KeyToText(shortCut & 0xFF);
  if (name.isEmpty()) return String();
  String text;
  if (shortCut & scShift) text += QLatin1String("Shift+");
  if (shortCut & scCtrl) text += QLatin1String("Ctrl+");
  if (shortCut & scAlt) text += QLatin1String("Alt+");
  return text + name;
}

TShortCut TextToShortCut(const String& text) {
  TShortCut modifiers = 0;
  int start = 0;
  // Modifier prefixes in any order; the key name is what follows the last one
  // ("Ctrl++" names the "+" key of the keypad, "Shift+-" the minus key).
  for (;;) {
    const String rest = text.mid(start);
    if (rest.startsWith(QLatin1String("Shift+"), Qt::CaseInsensitive) && rest.size() > 6) {
      modifiers |= scShift;
      start += 6;
    } else if (rest.startsWith(QLatin1String("Ctrl+"), Qt::CaseInsensitive) && rest.size() > 5) {
      modifiers |= scCtrl;
      start += 5;
    } else if (rest.startsWith(QLatin1String("Alt+"), Qt::CaseInsensitive) && rest.size() > 4) {
      modifiers |= scAlt;
      start += 4;
    } else {
      break;
    }
  }
  const Word key = TextToKey(text.mid(start));
  return key == 0 ? scNone : TShortCut(key | modifiers);
}

// ---------------------------------------------------------------- TMenuItem

namespace {

// QAction::data of the actions built for menu items: a guarded item pointer.
struct ActionItem {
  QPointer<TMenuItem> Item;
};

}  // namespace

TMenuItem* ItemOfAction(const QAction* action) {
  if (!action) return nullptr;
  const QVariant v = action->data();
  if (!v.canConvert<ActionItem>()) return nullptr;
  return v.value<ActionItem>().Item.data();
}

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  Clear();
  Unparent();
}

void TMenuItem::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  if (value && radioItem_ && parent_) {
    for (TMenuItem* sibling : parent_->items_)
      if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_)
        sibling->checked_ = false;
  }
}

void TMenuItem::SetRadioItem(bool value) {
  radioItem_ = value;
  if (value && checked_) {
    checked_ = false;
    SetChecked(true);  // unchecks the group's other checked radio item
  }
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= items_.size()) throw EMenuError(QStringLiteral("Menu index out of range"));
  return items_[index];
}

int TMenuItem::MenuIndex() const { return parent_ ? parent_->items_.indexOf(this) : -1; }

void TMenuItem::Add(TMenuItem* item) { Insert(items_.size(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw EMenuError(QStringLiteral("Menu inserted twice"));
  item->Unparent();
  if (index < 0 || index > items_.size()) throw EMenuError(QStringLiteral("Menu index out of range"));
  items_.insert(index, item);
  item->parent_ = this;
}

void TMenuItem::Delete(int index) {
  TMenuItem* item = Items(index);
  items_.removeAt(index);
  item->parent_ = nullptr;
}

void TMenuItem::Remove(TMenuItem* item) {
  const int index = IndexOf(item);
  if (index < 0) throw EMenuError(QStringLiteral("Sub-menu is not in menu"));
  Delete(index);
}

void TMenuItem::Clear() {
  while (!items_.isEmpty()) delete items_.last();  // each leaves this list
}

int TMenuItem::IndexOf(const TMenuItem* item) const { return items_.indexOf(item); }

TMenuItem* TMenuItem::Find(const String& caption) const {
  const auto plain = [](String s) {
    // Drop accelerator markers: "&&" stays as one "&", a single "&" goes.
    String out;
    for (int i = 0; i < s.size(); ++i) {
      if (s[i] == QLatin1Char('&')) {
        if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) out += QLatin1Char('&'), ++i;
        continue;
      }
      out += s[i];
    }
    return out;
  };
  const String wanted = plain(caption);
  for (TMenuItem* item : items_)
    if (AnsiSameText(plain(item->caption_), wanted)) return item;
  return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

TImageList* TMenuItem::ImageList() const {
  if (parent_ && parent_->subMenuImages_) return parent_->subMenuImages_;
  const TMenu* menu = GetParentMenu();
  return menu ? menu->Images() : nullptr;
}

void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}

void TMenuItem::SetParentComponent(TComponent* value) {
  if (auto* item = qobject_cast<TMenuItem*>(value)) {
    item->Add(this);
  } else if (auto* menu = qobject_cast<TMenu*>(value)) {
    menu->Items()->Add(this);
  }
}

void TMenuItem::SetSubMenuImages(TImageList* value) {
  if (subMenuImages_ == value) return;
  if (subMenuImages_) RemoveFreeNotification(subMenuImages_);
  subMenuImages_ = value;
  if (value) FreeNotification(value);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == subMenuImages_) subMenuImages_ = nullptr;
}

TComponent* TMenuItem::GetParentComponent() const {
  if (!parent_) return nullptr;
  if (parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::Unparent() {
  if (parent_) {
    parent_->items_.removeOne(this);
    parent_ = nullptr;
  }
}

void TMenuItem::FillQMenu(QMenu* menu) const {
  menu->clear();
  QHash<int, QActionGroup*> groups;
  for (TMenuItem* item : items_) {
    if (!item->visible_) continue;
    if (item->IsLine()) {
      menu->addSeparator();
      continue;
    }
    QAction* action;
    if (!item->items_.isEmpty()) {
      QMenu* sub = new QMenu(menu);
      action = sub->menuAction();
      // The sub-menu shows what the item holds once its OnClick has run.
      QPointer<TMenuItem> guard(item);
      QObject::connect(sub, &QMenu::aboutToShow, sub, [guard, sub] {
        if (!guard) return;
        guard->Click();
        if (guard) guard->FillQMenu(sub);
      });
      menu->addMenu(sub);
    } else {
      action = menu->addAction(String());
      if (item->shortCut_ != scNone) action->setShortcut(ToKeySequence(item->shortCut_));
      if (item->checked_ || item->radioItem_) {
        action->setCheckable(true);
        action->setChecked(item->checked_);
      }
      if (item->radioItem_) {
        QActionGroup*& group = groups[item->groupIndex_];
        if (!group) group = new QActionGroup(menu);
        group->addAction(action);
      }
    }
    action->setText(item->caption_);
    action->setEnabled(item->enabled_);
    action->setStatusTip(item->hint_);
    action->setToolTip(item->hint_);
    action->setData(QVariant::fromValue(ActionItem{QPointer<TMenuItem>(item)}));
    if (TImageList* images = item->ImageList()) {
      const QImage picture = images->GetImage(item->imageIndex_);
      if (!picture.isNull()) action->setIcon(QIcon(QPixmap::fromImage(picture)));
    }
  }
}

// ---------------------------------------------------------------- menus

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  delete items_;  // frees every entry
}

void TMenu::SetImages(TImageList* value) {
  if (images_ == value) return;
  if (images_) RemoveFreeNotification(images_);
  images_ = value;
  if (value) FreeNotification(value);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

TMenuItem* TMenu::FindItemByShortCut(TShortCut shortCut) const {
  if (shortCut == scNone) return nullptr;
  std::function<TMenuItem*(const TMenuItem*)> search = [&](const TMenuItem* parent) -> TMenuItem* {
    for (int i = 0; i < parent->Count(); ++i) {
      TMenuItem* item = parent->Items(i);
      if (item->ShortCut() == shortCut) return item;
      if (TMenuItem* found = search(item)) return found;
    }
    return nullptr;
  };
  return search(items_);
}

void TMainMenu::FillMenuBar(QMenuBar* bar) const {
  bar->clear();
  const TMenuItem* root = Items();
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* entry = root->Items(i);
    if (!entry->Visible() || entry->IsLine()) continue;
    QPointer<TMenuItem> guard(entry);
    if (entry->Count() > 0) {
      QMenu* menu = bar->addMenu(entry->Caption());
      menu->setEnabled(entry->Enabled());
      QObject::connect(menu, &QMenu::aboutToShow, menu, [guard, menu] {
        if (!guard) return;
        guard->Click();
        if (guard) guard->FillQMenu(menu);
      });
      QObject::connect(menu, &QMenu::triggered, menu, [](QAction* action) {
        if (TMenuItem* item = ItemOfAction(action)) item->Click();
      });
    } else {
      QAction* action = bar->addAction(entry->Caption());
      action->setEnabled(entry->Enabled());
      QObject::connect(action, &QAction::triggered, action, [guard] {
        if (guard) guard->Click();
      });
    }
  }
}

void TPopupMenu::Popup(int x, int y) {
  popupPoint_ = TPoint(x, y);
  if (OnPopup) OnPopup(this);
  QMenu menu;
  FillQMenu(&menu);
  if (menu.isEmpty()) return;
  active_ = &menu;
  QAction* chosen = menu.exec(QPoint(x, y));
  active_ = nullptr;
  // The choice is carried out once the menu is gone, so a handler may
  // rebuild or free the menu's items.
  QPointer<TMenuItem> item = ItemOfAction(chosen);
  if (item) item->Click();
}

// ---------------------------------------------------------------- registration

void InitializeMenus() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterClasses<TMenuItem, TMainMenu, TPopupMenu>();
  RegisterEvents<TMenuItem>({EventEntry("OnClick", &TMenuItem::OnClick)});
  RegisterEvents<TPopupMenu>({EventEntry("OnPopup", &TPopupMenu::OnPopup)});
}
