// The shell's context menu of file-system items.
#include "platform/shell/ShellItems.h"

#include <QFileInfo>

#include <cstring>

using namespace shelldetail;

namespace {

enum Command : UINT { kOpen = 0, kDelete = 1, kRename = 2, kProperties = 3 };

struct CommandText {
  Command command;
  const char* verb;
  const char16_t* caption;
  const char* help;
};

constexpr CommandText kCommands[] = {
    {kOpen, "open", u"&Open", "Opens the selected items."},
    {kDelete, "delete", u"&Delete", "Moves the selected items to the trash."},
    {kRename, "rename", u"Rena&me", "Renames the selected item."},
    {kProperties, "properties", u"P&roperties", "Shows the properties of the selected items."},
};

class FileContextMenu final : public ComObject<IContextMenu3> {
 public:
  FileContextMenu(IShellFolder* folder, const String& folderPath, const QStringList& names, HWND owner)
      : folder_(folder), folderPath_(folderPath), names_(names), owner_(owner) {}

  HRESULT QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                           UINT uFlags) override {
    if (!IsMenu(hmenu)) return E_INVALIDARG;
    std::vector<int> entries = {kOpen};  // -1: a separator
    if (!(uFlags & CMF_DEFAULTONLY)) {
      entries.insert(entries.end(), {-1, kDelete});
      if (names_.size() == 1) entries.push_back(kRename);
      entries.insert(entries.end(), {-1, kProperties});
    }
    UINT position = indexMenu;
    UINT used = 0;
    // A separator goes in only between two commands that both fit.
    bool separatorDue = false;
    for (int entry : entries) {
      if (entry < 0) {
        separatorDue = used > 0;
        continue;
      }
      const UINT id = idCmdFirst + UINT(entry);
      if (id > idCmdLast) continue;
      if (separatorDue) InsertMenuW(hmenu, position++, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
      separatorDue = false;
      InsertMenuW(hmenu, position++, MF_BYPOSITION | MF_STRING, id,
                  reinterpret_cast<LPCWSTR>(kCommands[entry].caption));
      used = std::max(used, UINT(entry) + 1);
    }
    if (idCmdFirst + kOpen <= idCmdLast) SetMenuDefaultItem(hmenu, idCmdFirst + kOpen, FALSE);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, USHORT(used));
  }

  HRESULT InvokeCommand(CMINVOKECOMMANDINFO* pici) override {
    if (!pici) return E_INVALIDARG;
    int command = -1;
    if (IS_INTRESOURCE(pici->lpVerb)) {
      command = int(reinterpret_cast<std::uintptr_t>(pici->lpVerb));
    } else {
      for (const CommandText& c : kCommands)
        if (qstricmp(pici->lpVerb, c.verb) == 0) command = c.command;
    }
    const bool quiet = pici->fMask & CMIC_MASK_FLAG_NO_UI;
    HWND owner = pici->hwnd ? pici->hwnd : owner_;
    switch (command) {
      case kOpen:
        for (const String& path : paths()) {
          const String file = path;
          const auto result = reinterpret_cast<std::intptr_t>(ShellExecuteW(
              owner, u"open", reinterpret_cast<LPCWSTR>(file.utf16()), nullptr,
              reinterpret_cast<LPCWSTR>(folderPath_.utf16()), pici->nShow ? pici->nShow : SW_SHOWNORMAL));
          if (result <= 32) return result == SE_ERR_FNF ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : E_FAIL;
        }
        return S_OK;
      case kDelete: {
        String from;
        for (const String& path : paths()) from += path + QChar(0);
        from += QChar(0);
        SHFILEOPSTRUCTW op;
        op.hwnd = owner;
        op.wFunc = FO_DELETE;
        op.pFrom = reinterpret_cast<LPCWSTR>(from.utf16());
        op.fFlags = FOF_ALLOWUNDO | (quiet ? FOF_NOCONFIRMATION | FOF_SILENT : 0);
        const int result = SHFileOperationW(&op);
        // Declining the confirmation is no failure of the command.
        return result == 0 || result == int(ERROR_CANCELLED) ? S_OK : HRESULT_FROM_WIN32(DWORD(result));
      }
      case kRename: {
        if (names_.size() != 1 || quiet) return E_INVALIDARG;
        const String path = paths().first();
        const bool folder = QFileInfo(path).isDir();
        String name = folder ? names_[0] : DisplayNameOfFile(names_[0]);
        if (!AskNewName(owner, path, name)) return S_OK;
        const OwnedIdList item(MakeFsItem(names_[0], folder));
        return folder_->SetNameOf(owner, item.get(), reinterpret_cast<LPCWSTR>(name.utf16()), SHGDN_INFOLDER,
                                  nullptr);
      }
      case kProperties: ShowProperties(owner, paths()); return S_OK;
      default: return E_INVALIDARG;
    }
  }

  HRESULT GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, LPSTR pszName, UINT cchMax) override {
    if (idCmd >= std::size(kCommands)) return E_INVALIDARG;
    const CommandText& c = kCommands[idCmd];
    const bool wide = uType & GCS_UNICODE;
    switch (uType & ~GCS_UNICODE) {
      case GCS_VALIDATEA: return S_OK;
      case GCS_VERBA:
      case GCS_HELPTEXTA: {
        if (!pszName || !cchMax) return E_INVALIDARG;
        const QByteArray text((uType & ~GCS_UNICODE) == GCS_VERBA ? c.verb : c.help);
        const UINT n = std::min(UINT(text.size()), cchMax - 1);
        if (wide) {
          auto* out = reinterpret_cast<WCHAR*>(pszName);
          for (UINT i = 0; i < n; ++i) out[i] = WCHAR(text[int(i)]);
          out[n] = 0;
        } else {
          std::memcpy(pszName, text.constData(), n);
          pszName[n] = 0;
        }
        return S_OK;
      }
      default: return E_INVALIDARG;
    }
  }

  // Nothing is owner-drawn: the menu messages need no work here.
  HRESULT HandleMenuMsg(UINT, WPARAM, LPARAM) override { return S_OK; }
  HRESULT HandleMenuMsg2(UINT, WPARAM, LPARAM, LRESULT* plResult) override {
    if (plResult) *plResult = 0;
    return S_OK;
  }

 private:
  QStringList paths() const {
    QStringList out;
    for (const String& name : names_)
      out << (folderPath_.endsWith(QLatin1Char('/')) ? folderPath_ + name
                                                     : folderPath_ + QLatin1Char('/') + name);
    return out;
  }

  ComPtr<IShellFolder> folder_;
  String folderPath_;
  QStringList names_;
  HWND owner_;
};

}  // namespace

namespace shelldetail {

ComPtr<IContextMenu3> MakeFileContextMenu(IShellFolder* folder, const String& folderPath,
                                          const QStringList& names, HWND owner) {
  return ComPtr<IContextMenu3>(new FileContextMenu(folder, folderPath, names, owner));
}

}  // namespace shelldetail
