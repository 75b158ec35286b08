#include "EmbeddedWB/Source/HistoryListView.h"

#include "platform/classlib/Forms.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/OleCtrls.h"

namespace HistoryListView {

using namespace EwbTools;

namespace {
int unitStarts = 0;
}

String HistoryCaption() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CLASSES_ROOT;
  try {
    if (reg.OpenKeyReadOnly(QStringLiteral("CLSID\\{FF393560-C2A7-11CF-BFF4-444553540000}")))
      return reg.ReadString(String());
  } catch (const Exception&) {
  }
  return String();
}

TCustomHistoryListView::TCustomHistoryListView(TComponent* AOwner) : TShellListView(AOwner) {
  TListColumn* column = Columns()->Add();
  column->Caption = HistoryCaption();
  column->Width = Width() - 4;
  Columns()->Changed();
}

void TCustomHistoryListView::Loaded() {
  TShellListView::Loaded();
  LPITEMIDLIST history = nullptr;
  OleCheck(
      SHGetSpecialFolderLocation(Application ? Application->Handle() : nullptr, CSIDL_HISTORY, &history));
  desktop_ = nullptr;
  const HRESULT hr = SHGetDesktopFolder(&desktop_);
  if (FAILED(hr)) PidlFree(history);
  OleCheck(hr);
  SHFILEINFOW info{};
  const String path = PathFromIDList(history);
  const DWORD_PTR images = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(path.utf16()), 0, &info, sizeof info,
                                          SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  Perform(LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(images));
  StartAt(history);
}

void TCustomHistoryListView::DblClick() {
  TShellListView::DblClick();
  TItem* item = SelectedItem();
  if (!item) return;
  if (IsShellFolderItem(CurrentFolder(), item->Relative)) {
    EnterSelected();
    return;
  }
  String url;
  GetInfoTipUrl(CurrentFolder(), item->Relative, url);
  UrlChosen(url);
}

void TCustomHistoryListView::KeyDown(Word& Key, TShiftState Shift) {
  TShellListView::KeyDown(Key, Shift);
  if (Key == VK_BACK)
    GoUp();
  else if (Key == VK_RETURN)
    DblClick();
}

void initialize() {
  if (unitStarts++ > 0) return;
  RegisterClass<THistoryListView>();
  ShellListView::RegisterEvents();
}

void finalize() {
  if (unitStarts == 0 || --unitStarts > 0) return;
}

}  // namespace HistoryListView
