// Menu handles over a table of menu records, shown through QMenu.
#include "platform/winapi/Menus.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <map>
#include <memory>

namespace {

struct MenuItem {
  UINT type = MFT_STRING;
  UINT state = 0;
  UINT id = 0;
  HMENU sub = nullptr;
  String text;
  ULONG_PTR data = 0;
  HBITMAP bitmap = nullptr;
};

struct Menu {
  bool popup = false;
  std::vector<MenuItem> items;
};

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr UINT kNotFound = 0xFFFFFFFF;
constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT;
constexpr UINT kTypeBits = MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW | MF_MENUBARBREAK | MF_MENUBREAK |
                           MF_RIGHTJUSTIFY | MFT_RADIOCHECK | MFT_RIGHTORDER;

std::map<HMENU, std::unique_ptr<Menu>>& table() {
  static auto* t = new std::map<HMENU, std::unique_ptr<Menu>>;
  return *t;
}

Menu* find(HMENU handle) {
  auto it = table().find(handle);
  if (it != table().end()) return it->second.get();
  SetLastError(ERROR_INVALID_MENU_HANDLE);
  return nullptr;
}

HMENU newMenu(bool popup) {
  static std::uintptr_t next = 0x00010010;
  HMENU handle = reinterpret_cast<HMENU>(next);
  next += 4;
  auto menu = std::make_unique<Menu>();
  menu->popup = popup;
  table()[handle] = std::move(menu);
  return handle;
}

// The menu and index of an item, by position or by command identifier (the
// search by command goes into sub-menus).
struct Location {
  Menu* menu = nullptr;
  int index = -1;
  explicit operator bool() const { return menu != nullptr; }
  MenuItem& item() const { return menu->items[std::size_t(index)]; }
};

Location locateByCommand(HMENU handle, UINT id, int depth = 0) {
  Menu* m = find(handle);
  if (!m || depth > 32) return {};
  for (int i = 0; i < int(m->items.size()); ++i) {
    const MenuItem& item = m->items[std::size_t(i)];
    // An item that opens a sub-menu is found by its own identifier, if it has one.
    if (item.id == id && (!item.sub || id != 0) && !(item.type & MFT_SEPARATOR)) return {m, i};
  }
  for (const MenuItem& item : m->items)
    if (item.sub)
      if (Location l = locateByCommand(item.sub, id, depth + 1)) return l;
  return {};
}

Location locate(HMENU handle, UINT item, bool byPosition) {
  if (!byPosition) return locateByCommand(handle, item);
  Menu* m = find(handle);
  if (!m || item >= m->items.size()) return {};
  return {m, int(item)};
}

MenuItem itemFromFlags(UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
  MenuItem item;
  item.type = flags & kTypeBits;
  item.state = flags & kStateBits;
  if (flags & MF_POPUP)
    item.sub = reinterpret_cast<HMENU>(idNewItem);
  else
    item.id = UINT(idNewItem);
  if (flags & MF_OWNERDRAW)
    item.data = reinterpret_cast<ULONG_PTR>(newItem);
  else if (flags & MF_BITMAP)
    item.bitmap = reinterpret_cast<HBITMAP>(const_cast<WCHAR*>(newItem));
  else if (!(flags & MF_SEPARATOR) && newItem)
    item.text = String::fromUtf16(newItem);
  return item;
}

void destroyTree(HMENU handle, int depth = 0) {
  auto it = table().find(handle);
  if (it == table().end() || depth > 32) return;
  std::unique_ptr<Menu> menu = std::move(it->second);
  table().erase(it);
  for (const MenuItem& item : menu->items)
    if (item.sub) destroyTree(item.sub, depth + 1);
}

bool isDisabled(const MenuItem& item) { return item.state & (MF_GRAYED | MF_DISABLED); }

// ---------------------------------------------------------------- tracking

// Fills a QMenu from the record of `handle`; sub-menus are filled when they
// are about to show, after their owner had WM_INITMENUPOPUP.
void fillQMenu(QMenu* qmenu, HMENU handle, HWND owner);
void reportHover(QMenu* qmenu, HMENU handle, HWND owner);

void addSubMenu(QMenu* parent, const MenuItem& item, int index, HWND owner) {
  auto* sub = new QMenu(item.text, parent);
  const HMENU handle = item.sub;
  reportHover(sub, handle, owner);
  QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, handle, index, owner] {
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(handle), MAKELPARAM(WORD(index), FALSE));
    fillQMenu(sub, handle, owner);
  });
  QAction* action = parent->addMenu(sub);
  action->setEnabled(!isDisabled(item));
  action->setProperty("noctivaneMenuPosition", index);
}

void fillQMenu(QMenu* qmenu, HMENU handle, HWND owner) {
  qmenu->clear();
  for (QMenu* old : qmenu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) old->deleteLater();
  const Menu* m = find(handle);
  if (!m) return;
  const std::vector<MenuItem> items = m->items;  // the owner may change the menu meanwhile
  for (int i = 0; i < int(items.size()); ++i) {
    const MenuItem& item = items[std::size_t(i)];
    if (item.type & MFT_SEPARATOR) {
      qmenu->addSeparator();
      continue;
    }
    if (item.sub) {
      addSubMenu(qmenu, item, i, owner);
      continue;
    }
    QAction* action = qmenu->addAction(item.text);
    action->setData(item.id);
    action->setEnabled(!isDisabled(item));
    if (item.state & MF_CHECKED) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    if (item.state & MF_DEFAULT) {
      QFont font = action->font();
      font.setBold(true);
      action->setFont(font);
    }
  }
}

// WM_MENUSELECT to the owner as the pointer moves over the items.
void reportHover(QMenu* qmenu, HMENU handle, HWND owner) {
  QObject::connect(qmenu, &QMenu::hovered, qmenu, [handle, owner](QAction* action) {
    const bool popup = action->menu() != nullptr;
    const WORD item =
        popup ? WORD(action->property("noctivaneMenuPosition").toInt()) : WORD(action->data().toUInt());
    SendMessageW(owner, WM_MENUSELECT, MAKEWPARAM(item, popup ? WORD(MF_POPUP) : 0),
                 reinterpret_cast<LPARAM>(handle));
  });
}

// ---------------------------------------------------------------- resources

std::map<String, std::vector<TMenuTemplateItem>>& resources() {
  static auto* r = new std::map<String, std::vector<TMenuTemplateItem>>;
  return *r;
}

String moduleKey(const String& module) {
  String s = NormalizePath(module);
  s = s.mid(s.lastIndexOf(QLatin1Char('/')) + 1).toLower();
  if (s.endsWith(QLatin1String(".dll"))) s.chop(4);
  return s;
}

String resourceKey(const String& module, const String& name) {
  return moduleKey(module) + QLatin1Char('|') + name.toLower();
}

void build(HMENU menu, const std::vector<TMenuTemplateItem>& items) {
  for (const TMenuTemplateItem& t : items) {
    if (t.Flags & MF_POPUP) {
      HMENU sub = CreatePopupMenu();
      build(sub, t.Items);
      AppendMenuW(menu, t.Flags, reinterpret_cast<UINT_PTR>(sub), reinterpret_cast<LPCWSTR>(t.Text.utf16()));
    } else {
      AppendMenuW(menu, t.Flags, t.Id, reinterpret_cast<LPCWSTR>(t.Text.utf16()));
    }
  }
}

}  // namespace

HMENU CreateMenu() { return newMenu(false); }
HMENU CreatePopupMenu() { return newMenu(true); }

BOOL DestroyMenu(HMENU menu) {
  if (!find(menu)) return FALSE;
  destroyTree(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) { return table().count(menu) ? TRUE : FALSE; }

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
  return InsertMenuW(menu, kNotFound, flags | MF_BYPOSITION, idNewItem, newItem);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
  Menu* m = find(menu);
  if (!m) return FALSE;
  if ((flags & MF_POPUP) && !find(reinterpret_cast<HMENU>(idNewItem))) return FALSE;
  MenuItem item = itemFromFlags(flags, idNewItem, newItem);
  if (flags & MF_BYPOSITION) {
    const std::size_t at = position >= m->items.size() ? m->items.size() : position;
    m->items.insert(m->items.begin() + std::ptrdiff_t(at), item);
    return TRUE;
  }
  const Location l = locateByCommand(menu, position);
  if (!l) return FALSE;
  l.menu->items.insert(l.menu->items.begin() + l.index, item);
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
  const Location l = locate(menu, position, flags & MF_BYPOSITION);
  if (!l) return FALSE;
  if ((flags & MF_POPUP) && !find(reinterpret_cast<HMENU>(idNewItem))) return FALSE;
  l.item() = itemFromFlags(flags, idNewItem, newItem);
  return TRUE;
}

namespace {

void applyInfo(MenuItem& item, const MENUITEMINFOW& info) {
  if (info.fMask & (MIIM_FTYPE | MIIM_TYPE)) item.type = info.fType & kTypeBits;
  if (info.fMask & MIIM_STATE) item.state = info.fState & kStateBits;
  if (info.fMask & MIIM_ID) item.id = info.wID;
  if (info.fMask & MIIM_SUBMENU) item.sub = info.hSubMenu;
  if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
  if (info.fMask & MIIM_BITMAP) item.bitmap = info.hbmpItem;
  const bool textByType =
      (info.fMask & MIIM_TYPE) && !(info.fType & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW));
  if ((info.fMask & MIIM_STRING) || textByType)
    item.text = info.dwTypeData ? String::fromUtf16(info.dwTypeData) : String();
}

}  // namespace

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  if (!info) return FALSE;
  Menu* m = find(menu);
  if (!m) return FALSE;
  if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu && !find(info->hSubMenu)) return FALSE;
  MenuItem newItem;
  applyInfo(newItem, *info);
  if (byPosition) {
    const std::size_t at = item >= m->items.size() ? m->items.size() : item;
    m->items.insert(m->items.begin() + std::ptrdiff_t(at), newItem);
    return TRUE;
  }
  const Location l = locateByCommand(menu, item);
  if (!l) return FALSE;
  l.menu->items.insert(l.menu->items.begin() + l.index, newItem);
  return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
  if (!info) return FALSE;
  const Location l = locate(menu, item, byPosition);
  if (!l) return FALSE;
  const MenuItem& it = l.item();
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = it.type;
  if (info->fMask & MIIM_STATE) info->fState = it.state;
  if (info->fMask & MIIM_ID) info->wID = it.id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it.sub;
  if (info->fMask & MIIM_DATA) info->dwItemData = it.data;
  if (info->fMask & MIIM_BITMAP) info->hbmpItem = it.bitmap;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
    const UINT length = UINT(it.text.size());
    if (info->dwTypeData && info->cch > 0) {
      const UINT n = std::min(length, info->cch - 1);
      std::copy_n(reinterpret_cast<const WCHAR*>(it.text.utf16()), n, info->dwTypeData);
      info->dwTypeData[n] = 0;
      info->cch = n;
    } else {
      info->cch = length;
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  if (!info) return FALSE;
  const Location l = locate(menu, item, byPosition);
  if (!l) return FALSE;
  if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu && !find(info->hSubMenu)) return FALSE;
  applyInfo(l.item(), *info);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  const Location l = locate(menu, position, flags & MF_BYPOSITION);
  if (!l) return FALSE;
  l.menu->items.erase(l.menu->items.begin() + l.index);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  const Location l = locate(menu, position, flags & MF_BYPOSITION);
  if (!l) return FALSE;
  const HMENU sub = l.item().sub;
  l.menu->items.erase(l.menu->items.begin() + l.index);
  if (sub) destroyTree(sub);
  return TRUE;
}

int GetMenuItemCount(HMENU menu) {
  const Menu* m = find(menu);
  return m ? int(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  const Menu* m = find(menu);
  if (!m || position < 0 || position >= int(m->items.size())) return kNotFound;
  const MenuItem& item = m->items[std::size_t(position)];
  return item.sub ? kNotFound : item.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  const Menu* m = find(menu);
  if (!m || position < 0 || position >= int(m->items.size())) return nullptr;
  return m->items[std::size_t(position)].sub;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
  const Location l = locate(menu, item, flags & MF_BYPOSITION);
  if (!l) return 0;
  const String& text = l.item().text;
  if (!buffer || maxCount <= 0) return int(text.size());
  const int n = std::min(int(text.size()), maxCount - 1);
  std::copy_n(reinterpret_cast<const WCHAR*>(text.utf16()), n, buffer);
  buffer[n] = 0;
  return n;
}

String GetMenuString(HMENU menu, UINT item, UINT flags) {
  const Location l = locate(menu, item, flags & MF_BYPOSITION);
  return l ? l.item().text : String();
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  const Location l = locate(menu, item, flags & MF_BYPOSITION);
  if (!l) return kNotFound;
  const MenuItem& it = l.item();
  UINT state = it.type | it.state;
  if (it.sub) {
    const Menu* sub = find(it.sub);
    state |= MF_POPUP | (UINT(sub ? sub->items.size() : 0) << 8);
  }
  return state;
}

DWORD EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  const Location l = locate(menu, item, enable & MF_BYPOSITION);
  if (!l) return kNotFound;
  MenuItem& it = l.item();
  const DWORD previous = it.state & (MF_GRAYED | MF_DISABLED);
  it.state = (it.state & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  const Location l = locate(menu, item, check & MF_BYPOSITION);
  if (!l) return kNotFound;
  MenuItem& it = l.item();
  const DWORD previous = it.state & MF_CHECKED;
  it.state = (it.state & ~MF_CHECKED) | (check & MF_CHECKED);
  return previous;
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  Menu* m = find(menu);
  if (!m) return FALSE;
  int target = -1;
  if (item != kNotFound) {
    for (int i = 0; i < int(m->items.size()); ++i) {
      const MenuItem& it = m->items[std::size_t(i)];
      if (byPosition ? UINT(i) == item : (!it.sub && it.id == item)) target = i;
    }
    if (target < 0) return FALSE;
  }
  for (int i = 0; i < int(m->items.size()); ++i) {
    MenuItem& it = m->items[std::size_t(i)];
    it.state = i == target ? it.state | MF_DEFAULT : it.state & ~MF_DEFAULT;
  }
  return TRUE;
}

UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags) {
  const Menu* m = find(menu);
  if (!m) return kNotFound;
  for (int i = 0; i < int(m->items.size()); ++i) {
    const MenuItem& it = m->items[std::size_t(i)];
    if (!(it.state & MF_DEFAULT)) continue;
    if (isDisabled(it) && !(flags & GMDI_USEDISABLED)) return kNotFound;
    if (it.sub && (flags & GMDI_GOINTOPOPUPS)) {
      const UINT inner = GetMenuDefaultItem(it.sub, byPosition, flags);
      if (inner != kNotFound) return inner;
    }
    return byPosition ? UINT(i) : (it.sub ? kNotFound : it.id);
  }
  return kNotFound;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
  if (!find(menu)) return FALSE;
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
  SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, FALSE));

  QMenu qmenu;
  reportHover(&qmenu, menu, owner);
  fillQMenu(&qmenu, menu, owner);
  const QSize size = qmenu.sizeHint();
  QPoint at(x, y);
  if (flags & TPM_RIGHTALIGN)
    at.rx() -= size.width();
  else if (flags & TPM_CENTERALIGN)
    at.rx() -= size.width() / 2;
  if (flags & TPM_BOTTOMALIGN)
    at.ry() -= size.height();
  else if (flags & TPM_VCENTERALIGN)
    at.ry() -= size.height() / 2;

  QPointer<QAction> chosen = qmenu.exec(at);
  const UINT id = chosen && !chosen->menu() ? chosen->data().toUInt() : 0;

  if (IsWindow(owner)) {
    SendMessageW(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  }
  if (flags & TPM_RETURNCMD) return BOOL(id);
  if (id && !(flags & TPM_NONOTIFY) && IsWindow(owner))
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(WORD(id), 0), 0);
  return id ? TRUE : FALSE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

void RegisterMenuResource(const String& module, WORD id, std::vector<TMenuTemplateItem> items) {
  resources()[resourceKey(module, QLatin1Char('#') + String::number(id))] = std::move(items);
}

void RegisterMenuResource(const String& module, const String& name, std::vector<TMenuTemplateItem> items) {
  resources()[resourceKey(module, name)] = std::move(items);
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  String module;
  if (instance && instance != MainInstance()) {
    module = GetModuleFileName(instance);
    if (module.isEmpty()) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return nullptr;
    }
  }
  const String key = IS_INTRESOURCE(name)
                         ? QLatin1Char('#') + String::number(reinterpret_cast<std::uintptr_t>(name))
                         : String::fromUtf16(name);
  auto it = resources().find(resourceKey(module, key));
  if (it == resources().end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HMENU menu = CreateMenu();
  build(menu, it->second);
  return menu;
}
