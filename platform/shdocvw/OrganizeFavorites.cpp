#include "platform/shdocvw/OrganizeFavorites.h"

#include "platform/classlib/ImgList.h"
#include "platform/shdocvw/BrowserDialogs.h"
#include "platform/shell/ShlObj.h"
#include "platform/winapi/Modules.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;

struct ListFree {
  void operator()(ITEMIDLIST* p) const { ILFree(p); }
};
using List = std::unique_ptr<ITEMIDLIST, ListFree>;

LPCWSTR wide(const String& text) { return reinterpret_cast<LPCWSTR>(text.utf16()); }

struct Entry {
  String name;
  String path;
  bool folder = false;
};

// The items of a folder as the shell lists them: folders first, then by name
// without regard to case.
std::vector<Entry> entriesOf(const String& path) {
  std::vector<Entry> out;
  List absolute(FileSystemIDList(path));
  ComPtr<IShellFolder> desktop, folder;
  ComPtr<IEnumIDList> items;
  if (FAILED(SHGetDesktopFolder(&desktop)) ||
      FAILED(desktop->BindToObject(absolute.get(), nullptr, IID_IShellFolder, &folder)) ||
      FAILED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items)) || !items)
    return out;
  auto nameOf = [&folder](PCUITEMID_CHILD item, SHGDNF flags) {
    STRRET name;
    if (FAILED(folder->GetDisplayNameOf(item, flags, &name)) || name.uType != STRRET_WSTR) return String();
    const String text = String::fromUtf16(name.pOleStr);
    CoTaskMemFree(name.pOleStr);
    return text;
  };
  PITEMID_CHILD raw = nullptr;
  while (items->Next(1, &raw, nullptr) == S_OK) {
    List item(raw);
    SFGAOF attributes = SFGAO_FOLDER;
    PCUITEMID_CHILD child = item.get();
    folder->GetAttributesOf(1, &child, &attributes);
    out.push_back(
        {nameOf(child, SHGDN_NORMAL), nameOf(child, SHGDN_FORPARSING), bool(attributes & SFGAO_FOLDER)});
  }
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
    if (a.folder != b.folder) return a.folder;
    return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
  });
  return out;
}

// Runs a verb of an item's shell context menu ("rename", "delete").
HRESULT runVerb(HWND owner, const String& path, const char* verb) {
  List absolute(FileSystemIDList(path));
  ComPtr<IShellFolder> parent;
  PCUITEMID_CHILD last = nullptr;
  HRESULT hr = SHBindToParent(absolute.get(), IID_IShellFolder, &parent, &last);
  if (FAILED(hr)) return hr;
  ComPtr<IContextMenu> menu;
  hr = parent->GetUIObjectOf(owner, 1, &last, IID_IContextMenu, nullptr, &menu);
  if (FAILED(hr)) return hr;
  CMINVOKECOMMANDINFO info;
  info.hwnd = owner;
  info.lpVerb = verb;
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

// "New Folder", or "New Folder (2)", ... when that name is taken.
String newFolderPath(const String& parent) {
  const String base = parent + QStringLiteral("/New Folder");
  String path = base;
  for (int n = 2; QFileInfo::exists(path); ++n) path = base + QStringLiteral(" (%1)").arg(n);
  return path;
}

void addItems(QTreeWidget* tree, QTreeWidgetItem* parent, const String& path, bool foldersOnly) {
  for (const Entry& entry : entriesOf(path)) {
    if (foldersOnly && !entry.folder) continue;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, entry.name);
    item->setData(0, kPathRole, entry.path);
    item->setData(0, kFolderRole, entry.folder);
    item->setIcon(0, QIcon(QPixmap::fromImage(
                         ImageListFromHandle(SystemImageList(true))->GetImage(entry.folder ? 1 : 3))));
    if (entry.folder) addItems(tree, item, entry.path, foldersOnly);
  }
}

QTreeWidgetItem* findItem(QTreeWidget* tree, const String& path) {
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if ((*it)->data(0, kPathRole).toString() == path) return *it;
  return nullptr;
}

// Where a selected item goes: the folder to move it into.
class FolderChooser : public QDialog {
 public:
  FolderChooser(QWidget* parent, const String& root, const String& moving) : QDialog(parent) {
    setObjectName(QStringLiteral("BrowseForFolder"));
    setWindowTitle(QStringLiteral("Browse for Folder"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select the folder to move the item to:"), this));
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("Folders"));
    tree_->setHeaderHidden(true);
    auto* top = new QTreeWidgetItem(tree_);
    top->setText(0, QFileInfo(root).fileName());
    top->setData(0, kPathRole, root);
    addItems(tree_, top, root, true);
    // A folder cannot go into itself or below itself.
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
      const String path = (*it)->data(0, kPathRole).toString();
      if (path == moving || path.startsWith(moving + QLatin1Char('/'))) (*it)->setDisabled(true);
    }
    tree_->expandAll();
    tree_->setCurrentItem(top);
    layout->addWidget(tree_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
  }
  String chosen() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return item && !item->isDisabled() ? item->data(0, kPathRole).toString() : String();
  }

 private:
  QTreeWidget* tree_;
};

class OrganizeDialog : public QDialog {
 public:
  OrganizeDialog(QWidget* parent, const String& root) : QDialog(parent), root_(root) {
    setObjectName(QStringLiteral("OrganizeFavorites"));
    setWindowModality(Qt::ApplicationModal);
    resize(480, 360);
    auto* layout = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("To create a new folder, click Create Folder. To rename or\n"
                                              "delete an item, select it and click Rename or Delete."),
                               this));
    auto add = [this, side](const char* name, const char* caption, void (OrganizeDialog::*action)()) {
      auto* button = new QPushButton(QString::fromUtf8(caption), this);
      button->setObjectName(QString::fromUtf8(name));
      button->setAutoDefault(false);
      connect(button, &QPushButton::clicked, this, action);
      side->addWidget(button);
      return button;
    };
    add("CreateFolder", "Create &Folder", &OrganizeDialog::createFolder);
    rename_ = add("Rename", "&Rename", &OrganizeDialog::renameItem);
    move_ = add("Move", "&Move to Folder...", &OrganizeDialog::moveItem);
    delete_ = add("Delete", "&Delete", &OrganizeDialog::deleteItem);
    side->addStretch(1);
    add("Close", "&Close", &OrganizeDialog::closeDialog);
    layout->addLayout(side);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("Items"));
    tree_->setHeaderHidden(true);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });
    layout->addWidget(tree_, 1);
    refill(String());
  }

  HWND window = nullptr;

 private:
  String selected() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return item ? item->data(0, kPathRole).toString() : String();
  }

  void updateButtons() {
    const bool any = tree_->currentItem() != nullptr;
    rename_->setEnabled(any);
    move_->setEnabled(any);
    delete_->setEnabled(any);
  }

  void refill(const String& select) {
    tree_->clear();
    addItems(tree_, nullptr, root_, false);
    tree_->expandAll();
    tree_->setCurrentItem(select.isEmpty() ? nullptr : findItem(tree_, select));
    updateButtons();
  }

  void createFolder() {
    // Inside a selected folder, beside a selected shortcut, else at the top.
    String parent = root_;
    if (QTreeWidgetItem* item = tree_->currentItem()) {
      const String path = item->data(0, kPathRole).toString();
      parent = item->data(0, kFolderRole).toBool() ? path : QFileInfo(path).absolutePath();
    }
    const String path = newFolderPath(parent);
    if (SHCreateDirectoryExW(window, wide(path), nullptr) != 0) return;
    // The shell asks for the name; declining keeps "New Folder".
    refill(renameThroughShell(path));
  }

  void renameItem() {
    const String path = selected();
    if (!path.isEmpty()) refill(renameThroughShell(path));
  }

  void moveItem() {
    const String path = selected();
    if (path.isEmpty()) return;
    FolderChooser chooser(this, root_, path);
    if (chooser.exec() != QDialog::Accepted) return;
    const String target = chooser.chosen();
    if (target.isEmpty() || target == QFileInfo(path).absolutePath()) return;
    const std::u16string from = path.toStdU16String() + u'\0';
    const std::u16string to = target.toStdU16String() + u'\0';
    SHFILEOPSTRUCTW op;
    op.hwnd = window;
    op.wFunc = FO_MOVE;
    op.pFrom = reinterpret_cast<LPCWSTR>(from.c_str());
    op.pTo = reinterpret_cast<LPCWSTR>(to.c_str());
    op.fFlags = FOF_ALLOWUNDO;
    SHFileOperationW(&op);
    refill(target + QLatin1Char('/') + QFileInfo(path).fileName());
  }

  void deleteItem() {
    const String path = selected();
    if (path.isEmpty()) return;
    runVerb(window, path, "delete");
    refill(QFileInfo::exists(path) ? path : String());
  }

  void closeDialog() { accept(); }

  // Renames through the shell's own command; answers the item's path
  // afterwards (the new name is the one that was not there before).
  String renameThroughShell(const String& path) {
    const QDir dir(QFileInfo(path).absolutePath());
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    runVerb(window, path, "rename");
    if (QFileInfo::exists(path)) return path;
    for (const String& name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
      if (!before.contains(name)) return dir.filePath(name);
    return String();
  }

  String root_;
  QTreeWidget* tree_ = nullptr;
  QPushButton* rename_ = nullptr;
  QPushButton* move_ = nullptr;
  QPushButton* delete_ = nullptr;
};

}  // namespace

BOOL DoOrganizeFavDlg(HWND owner, LPCSTR path) {
  const String root = QDir::cleanPath(path ? String::fromUtf8(path) : String());
  if (root.isEmpty() || !QFileInfo(root).isDir()) return FALSE;
  const HWND top = BrowserDialogTop(owner);
  auto* dialog = new OrganizeDialog(top ? WidgetOf(top) : nullptr, root);
  dialog->window = CreateBrowserDialogWindow(dialog, top, QStringLiteral("Organize Favorites"));
  dialog->exec();
  if (IsWindow(dialog->window)) DestroyWindow(dialog->window);
  delete dialog;
  return TRUE;
}

void RegisterShdocvwModule() {
  RegisterStandInModule(QStringLiteral("shdocvw.dll"),
                        {{"DoOrganizeFavDlg", StandInProc(&DoOrganizeFavDlg)}});
}
