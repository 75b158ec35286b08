#include "EmbeddedWB/Source/EwbTools.h"

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "EmbeddedWB/Source/SendMail_For_Ewb.h"
#include "platform/classlib/ExtControls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Jpeg.h"
#include "platform/com/Dispatch.h"
#include "platform/mshtml/MsHtml.h"
#include "platform/rtl/Folders.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Logging.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/OleCtrls.h"
#include "platform/shell/IntShCut.h"
#include "platform/shell/ShlObj.h"
#include "platform/shell/UrlHist.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Modules.h"
#include "platform/winapi/Windows.h"
#include "platform/wininet/WinInet.h"
#include "platform/winsock/WinSock.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <string>

namespace EwbTools {

namespace {

LPCWSTR wide(const String& text) { return reinterpret_cast<LPCWSTR>(text.utf16()); }

// The program's own registry key below HKEY_LOCAL_MACHINE: "SOFTWARE\" and
// the application's title.
String programKey() {
  return QStringLiteral("SOFTWARE\\") + (::Application ? ::Application->Title() : String());
}

}  // namespace

// ---------------------------------------------------------------- page content and capture

bool HasHTMLDocument(IUnknown* Obj) {
  if (!Obj) return false;
  ComPtr<IHTMLDocument2> doc;
  return SUCCEEDED(Obj->QueryInterface(IID_IHTMLDocument2, &doc)) && doc;
}

namespace {

// A member of `disp` read by name (late binding); false when there is none.
bool ReadByName(IDispatch* disp, const char* name, OleVariant& value) {
  DISPID id = DISPID_UNKNOWN;
  if (!disp || FAILED(DispatchGetIDOfName(disp, QLatin1String(name), id))) return false;
  return SUCCEEDED(DispatchGetProperty(disp, id, value));
}

// Browser.Document.documentElement.<member> as one line of text (the text and
// a line break); empty when a step fails.
String RootElementLine(IDispatch* document, const char* member) {
  OleVariant root, text;
  if (!ReadByName(document, "documentElement", root)) return String();
  if (!ReadByName(root.toDispatch().Get(), member, text)) return String();
  return VarToStr(text) + QStringLiteral("\r\n");
}

ComPtr<IDispatch> BrowserDocument(const OleVariant& Browser) {
  OleVariant document;
  try {
    if (ReadByName(Browser.toDispatch().Get(), "Document", document)) return document.toDispatch();
  } catch (const Exception&) {
  }
  return nullptr;
}

ComPtr<IViewObject> ViewObjectOf(IUnknown* object) {
  ComPtr<IViewObject> view;
  if (object) object->QueryInterface(IID_IViewObject, &view);
  return view;
}

}  // namespace

void DocumentToStrings(const OleVariant& Browser, String& Result) {
  Result.clear();
  const ComPtr<IDispatch> document = BrowserDocument(Browser);
  if (HasHTMLDocument(document.Get())) Result = RootElementLine(document.Get(), "innerHTML");
}

void DocumentTextToStrings(const OleVariant& Browser, IUnknown* Document, String& Result) {
  Result.clear();
  if (!HasHTMLDocument(Document)) return;
  Result = RootElementLine(BrowserDocument(Browser).Get(), "innerText");
}

bool SetDocumentCharset(TEmbeddedWB* Browser, IUnknown* Document, const String& Charset, bool Refresh) {
  if (!Browser) return false;
  // A page that never completes must not hold the caller for ever.
  Browser->Wait(CharsetWaitMs);
  if (!HasHTMLDocument(Document)) return false;
  bool set = false;
  try {
    const ComPtr<IHTMLDocument2> doc = Browser->GetDocument();
    if (!doc) return false;
    BSTR name = StringToBSTR(Charset);
    const HRESULT hr = doc->put_charset(name);
    SysFreeString(name);
    if (FAILED(hr)) return false;
    set = true;
    if (Refresh) Browser->Refresh2(OleVariant(7));
  } catch (const Exception&) {
  }
  return set;
}

void DrawDocumentToImage(IUnknown* Obj, TImage* Image) {
  if (!Image) return;
  TBitmap* bitmap = Image->Picture()->Bitmap();
  bitmap->SetHeight(Image->Height());
  bitmap->SetWidth(Image->Width());
  const RECTL bounds{0, 0, Image->Width(), Image->Height()};
  const ComPtr<IViewObject> view = ViewObjectOf(Obj);
  if (!view) throw EOleSysError(SysErrorMessage(Cardinal(E_NOINTERFACE)), E_NOINTERFACE);
  OleCheck(view->Draw(DVASPECT_DOCPRINT, 0, nullptr, nullptr, nullptr, bitmap->Canvas()->GetHandle(), &bounds,
                      nullptr, nullptr, 0));
  bitmap->Canvas()->ReleaseHandle();
  Image->Repaint();
}

bool SnapshotToBitmap(IUnknown* Document, HWND Handle, int Width, int Height, const String& FileName) {
  if (!HasHTMLDocument(Document)) return false;
  // A view with no area has nothing to show; an empty file would say otherwise.
  if (Width <= 0 || Height <= 0) return false;
  try {
    const ComPtr<IViewObject> view = ViewObjectOf(Document);
    if (!view) return false;
    TBitmap bitmap;
    bitmap.SetHeight(Height);
    bitmap.SetWidth(Width);
    const RECTL bounds{0, 0, bitmap.GetWidth(), bitmap.GetHeight()};
    // The target device (Handle) means nothing without a device description.
    if (FAILED(view->Draw(DVASPECT_CONTENT, 1, nullptr, nullptr, nullptr, bitmap.Canvas()->GetHandle(),
                          &bounds, nullptr, nullptr, 0)))
      return false;
    bitmap.Canvas()->ReleaseHandle();
    bitmap.SaveToFile(FileName);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool SnapshotToJpeg(IUnknown* Document, IWebBrowser2* Browser, const String& FileName, int SourceHeight,
                    int SourceWidth, int TargetHeight, int TargetWidth) {
  if (SourceHeight <= 0 || SourceWidth <= 0 || TargetHeight <= 0 || TargetWidth <= 0) return false;
  try {
    const ComPtr<IViewObject> view = ViewObjectOf(Browser);
    if (!view) return false;
    TBitmap source, target;
    TJPEGImage jpeg;
    source.SetWidth(SourceWidth);
    source.SetHeight(SourceHeight);
    const RECTL bounds{0, 0, SourceWidth, SourceHeight};
    OleCheck(view->Draw(DVASPECT_CONTENT, 1, nullptr, nullptr, nullptr, source.Canvas()->GetHandle(), &bounds,
                        nullptr, nullptr, 0));
    source.Canvas()->ReleaseHandle();
    target.SetHeight(TargetHeight);
    target.SetWidth(TargetWidth);
    target.Canvas()->StretchDraw(TRect(0, 0, TargetWidth, TargetHeight), &source);
    target.Canvas()->ReleaseHandle();
    jpeg.Assign(&target);
    jpeg.SaveToFile(FileName);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void PrintPreview(IWebBrowser2* Browser) {
  if (!Browser) return;
  ComPtr<IDispatch> document;
  OleCheck(Browser->get_Document(&document));
  if (!HasHTMLDocument(document.Get())) return;
  OleVariant in, out;
  OleCheck(Browser->ExecWB(OLECMDID_PRINTPREVIEW, OLECMDEXECOPT_DONTPROMPTUSER, &in, &out));
}

int OrganizeFavorites(HWND Owner) {
  WCHAR path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(Owner, path, CSIDL_FAVORITES, TRUE)) path[0] = 0;
  return DoOrganizeFavorites(Owner, String::fromUtf16(path));
}

int DoOrganizeFavorites(HWND Owner, const String& Path) {
  using OrganizeProc = BOOL (*)(HWND, LPCSTR);
  HMODULE library = LoadLibraryW(u"shdocvw.dll");
  if (!library) return 0;
  int result = 0;
  if (auto organize = reinterpret_cast<OrganizeProc>(GetProcAddress(library, "DoOrganizeFavDlg"))) {
    // The library's 8-bit text is UTF-8 here, so every path survives.
    const QByteArray path = Path.toUtf8();
    result = organize(Owner, path.constData());
  }
  FreeLibrary(library);
  return result;
}

bool ShowFindDialog(IUnknown* Document) {
  OleVariant output;
  return ExecDocumentCommand(Document, true, FindDialogCommand, OleVariant(), output, 0) == S_OK;
}

HRESULT ExecDocumentCommand(IUnknown* Document, bool UseBrowserGroup, DWORD CommandId,
                            const OleVariant& Input, OleVariant& Output, DWORD ExecOption) {
  HRESULT result = S_FALSE;
  if (!HasHTMLDocument(Document)) return result;
  try {
    ComPtr<IOleCommandTarget> target;
    if (FAILED(Document->QueryInterface(IID_IOleCommandTarget, &target)) || !target) return result;
    const GUID group = CGID_IWebBrowser;
    OleVariant input(Input);
    result = target->Exec(UseBrowserGroup ? &group : nullptr, CommandId, ExecOption, &input, &Output);
  } catch (const Exception&) {
  }
  return result;
}

String GetSpecialFolderPath(HWND Owner, int Folder) {
  char16_t path[260] = {};
  if (!SHGetSpecialFolderPathW(Owner, reinterpret_cast<LPWSTR>(path), Folder, TRUE)) return String();
  return String::fromUtf16(path);
}

namespace {

NOCTIVANE_LAYER_LOG(lcTools, "noctivane.embeddedwb")

// The folder of one mailed page copy. It hangs on the mail component, which
// the mail thread frees once the send is over: the folder goes with it, and
// with it whatever the send left inside.
class TPageCopyFolder : public QObject {
 public:
  TPageCopyFolder(std::unique_ptr<QTemporaryDir> Folder, QObject* Mail)
      : QObject(Mail), folder_(std::move(Folder)) {}

 private:
  std::unique_ptr<QTemporaryDir> folder_;
};

}  // namespace

bool SendPageByMail(TEmbeddedWB* Browser, TComponent* Owner, IUnknown*, const String& FileName,
                    const String& Subject, const String& Body) {
  if (!Browser) return false;
  // Only the name is taken, so the copy stays inside its folder.
  const String name = ExtractFileName(FileName);
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
    qCDebug(lcTools) << "No page sent by mail: no file name in" << FileName;
    return false;
  }
  // A folder of its own for each send: a second send never overwrites a copy
  // the first one still attaches, and no file lands in the current folder.
  const String parent = ProfileDir() + QStringLiteral("/Temp");
  QDir().mkpath(parent);
  auto folder = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/mail-XXXXXX"));
  if (!folder->isValid()) {
    qCDebug(lcTools) << "No page sent by mail: no folder for the copy in" << parent;
    return false;
  }
  const String copy = folder->filePath(name);
  // The save waits for the page, and the owner may go away meanwhile.
  const QPointer<TComponent> owner(Owner);
  const HRESULT saved = Browser->SaveToFile(copy);
  if (saved != S_OK || !FileExists(copy)) {
    qCDebug(lcTools) << "No page sent by mail: the page was not saved" << Qt::hex << saved;
    return false;
  }
  if (Owner && !owner) return false;

  auto* mail = new SendMail_For_Ewb::TEwbMapiMail(Owner);
  new TPageCopyFolder(std::move(folder), mail);
  mail->SetSubject(Subject);
  mail->SetBody(Body);
  mail->Attachments()->Add(copy);
  mail->SetEditDialog(true);
  return mail->SendInThread();
}

// ---------------------------------------------------------------- shell

bool IsXPSP2OrNewer() {
  using VerifyProc = BOOL (*)(OSVERSIONINFOEXA*, DWORD, ULONGLONG);
  using MaskProc = ULONGLONG (*)(ULONGLONG, DWORD, BYTE);
  HMODULE kernel = LoadLibraryW(u"kernel32.dll");
  if (!kernel) return false;
  auto verify = reinterpret_cast<VerifyProc>(GetProcAddress(kernel, "VerifyVersionInfoA"));
  auto mask = reinterpret_cast<MaskProc>(GetProcAddress(kernel, "VerSetConditionMask"));
  if (!verify || !mask) return false;
  OSVERSIONINFOEXA info;
  info.dwMajorVersion = 5;
  info.dwMinorVersion = 1;
  info.wServicePackMajor = 2;
  info.wServicePackMinor = 0;
  ULONGLONG condition = 0;
  condition = mask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = mask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = mask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  condition = mask(condition, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
  return verify(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR,
                condition) != 0;
}

bool IsIE5OrNewer() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  String version = QStringLiteral("0");
  try {
    if (reg.OpenKeyReadOnly(QStringLiteral("Software\\Microsoft\\Internet Explorer")) &&
        reg.ValueExists(QStringLiteral("Version")))
      version = reg.ReadString(QStringLiteral("Version"));
  } catch (const Exception&) {
    return false;
  }
  // A value that does not start with a digit names no version we know.
  if (version.isEmpty() || !version.at(0).isDigit()) return false;
  return version.at(0).digitValue() > 4;
}

void GetIEFileVersion(String& Version) {
  Version.clear();
  WCHAR dir[261] = {};
  GetSystemDirectoryW(dir, 261);
  const String system = String::fromUtf16(dir);
  String library = system + QStringLiteral("\\ieframe.dll");
  if (!FileExists(library)) library = system + QStringLiteral("\\shdocvw.dll");
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide(library), &handle);
  if (!size) return;
  QByteArray block(int(size), '\0');
  if (!GetFileVersionInfoW(wide(library), handle, size, block.data())) return;
  void* value = nullptr;
  UINT length = 0;
  String key = QStringLiteral("FileVersion");
  if (VerQueryValueW(block.constData(), u"\\VarFileInfo\\Translation", &value, &length) && value &&
      length >= 4) {
    const auto* translation = static_cast<const WORD*>(value);
    key = QStringLiteral("\\StringFileInfo\\%1%2\\FileVersion")
              .arg(translation[0], 4, 16, QLatin1Char('0'))
              .arg(translation[1], 4, 16, QLatin1Char('0'));
  }
  if (VerQueryValueW(block.constData(), wide(key), &value, &length) && value)
    Version = Trim(String::fromUtf16(static_cast<const char16_t*>(value)));
}

void GetIEMajorVersion(String& Version) {
  GetIEFileVersion(Version);
  const qsizetype dot = Version.indexOf(QLatin1Char('.'));
  if (dot >= 0) Version.truncate(dot);
}

void GetFavoritesFolder(String& Path) { Path = SpecialFolderPath(CSIDL_FAVORITES); }

void GetHistoryFolder(String& Path) { Path = SpecialFolderPath(CSIDL_HISTORY); }

void GetShellFolderFromRegistry(const String& Name, String& Path) {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_CURRENT_USER;
  try {
    if (!reg.OpenKeyReadOnly(
            QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")))
      return;
    const String value = reg.ReadString(Name);
    if (!Trim(value).isEmpty()) Path = value;
  } catch (const Exception&) {
    // A value of another type counts as none.
  }
}

void AddToFavorites(const String& URL, const String& Title) {
  if (Trim(URL).isEmpty() || Trim(Title).isEmpty()) return;
  try {
    ComPtr<IShellUIHelper> helper;
    if (FAILED(CoCreateInstance(CLSID_ShellUIHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IShellUIHelper,
                                &helper)) ||
        !helper)
      return;
    BSTR url = StringToBSTR(URL);
    OleVariant title(Title);
    helper->AddFavorite(url, &title);
    SysFreeString(url);
  } catch (...) {
    // The helper's dialog is the user's business; nothing reaches the caller.
  }
}

void ClearHistory() {
  ComPtr<IUrlHistoryStg2> history;
  OleCheck(CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER, IID_IUrlHistoryStg2, &history));
  OleCheck(history->ClearHistory());
}

void ReadUrlShortcutFile(const String& FileName, String& URL) {
  TIniFile ini(FileName);
  URL = ini.ReadString(QStringLiteral("InternetShortcut"), QStringLiteral("URL"), String());
}

void GetFavoritesItemUrl(const String& FileName, String& URL) {
  ComPtr<IUniformResourceLocatorW> shortcut;
  if (FAILED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IUniformResourceLocatorW, &shortcut)) ||
      !shortcut)
    return;
  ComPtr<IPersistFile> file;
  OleCheck(shortcut->QueryInterface(IID_IPersistFile, &file));
  URL.clear();
  const String name = FileName.left(MAX_PATH);
  if (FAILED(file->Load(wide(name), STGM_READ))) return;
  LPWSTR text = nullptr;
  if (SUCCEEDED(shortcut->GetURL(&text)) && text) URL = String::fromUtf16(text);
  CoTaskMemFree(text);
}

void GetShellLinkPath(const String& LinkFile, String& Target) {
  ComPtr<IShellLinkW> link;
  OleCheck(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, &link));
  ComPtr<IPersistFile> file;
  OleCheck(link->QueryInterface(IID_IPersistFile, &file));
  Target.clear();
  if (FAILED(file->Load(wide(LinkFile), STGM_READ))) return;
  if (FAILED(link->Resolve(GetActiveWindow(), SLR_NOUPDATE))) return;
  WCHAR buffer[261] = {};
  if (SUCCEEDED(link->GetPath(buffer, 261, nullptr, SLGP_UNCPRIORITY))) Target = String::fromUtf16(buffer);
}

int ResolveShellItem(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Name) {
  if (!Folder || !Item) return 1;
  ComPtr<IShellLinkW> link;
  if (FAILED(Folder->GetUIObjectOf(nullptr, 1, &Item, IID_IShellLinkW, nullptr, &link)) || !link) return 1;
  PIDLIST_ABSOLUTE target = nullptr;
  int result = 1;
  ComPtr<IShellFolder> desktop;
  if (SUCCEEDED(link->GetIDList(&target)) && target && SUCCEEDED(SHGetDesktopFolder(&desktop)) && desktop) {
    STRRET name;
    if (SUCCEEDED(desktop->GetDisplayNameOf(target, SHGDN_NORMAL, &name))) {
      Name = StrRetText(name, ILFindLastID(target));
      result = 0;
    }
  }
  PidlFree(target);
  return result;
}

bool IsShellFolderItem(IShellFolder* Folder, PCUITEMID_CHILD Item) {
  if (!Folder || !Item) return false;
  SFGAOF attributes = SFGAO_FOLDER;
  return SUCCEEDED(Folder->GetAttributesOf(1, &Item, &attributes)) && (attributes & SFGAO_FOLDER);
}

bool HasShellTypeName(const String& TypeName, IShellFolder* Folder, PCUITEMID_CHILD Item) {
  if (!Folder || !Item) return false;
  // The item list is relative to Folder, so the file information is asked of
  // the item's full parsing name (a file-system path) where it has one.
  String path;
  FolderDisplayNameOf(Folder, Item, path);
  SHFILEINFOW info{};
  DWORD_PTR found = 0;
  if (path.startsWith(QLatin1Char('/')))
    found = SHGetFileInfoW(wide(path), 0, &info, sizeof info, SHGFI_TYPENAME);
  else
    found =
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(Item), 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_PIDL);
  return found && String::fromUtf16(info.szTypeName) == TypeName;
}

bool IsBrowsableFolder(const String& TypeName, IShellFolder* Folder, PCUITEMID_CHILD Item) {
  return IsShellFolderItem(Folder, Item) && !HasShellTypeName(TypeName, Folder, Item);
}

int GetSysImageIndex(PCIDLIST_ABSOLUTE Item) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(Item), 0, &info, sizeof info,
                      SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_PIDL))
    return -1;
  return info.iIcon;
}

String StrRetText(STRRET& Name, PCUITEMID_CHILD Item) {
  switch (Name.uType) {
    case STRRET_WSTR: {
      const String text = Name.pOleStr ? String::fromUtf16(Name.pOleStr) : String();
      CoTaskMemFree(Name.pOleStr);
      Name.pOleStr = nullptr;
      return text;
    }
    case STRRET_OFFSET: {
      // Up to the terminator, and never past the item's own bytes.
      if (!Item) return String();
      const auto* bytes = reinterpret_cast<const char*>(Item);
      const UINT count = Item->mkid.cb;
      if (Name.uOffset >= count) return String();
      const char* start = bytes + Name.uOffset;
      return String::fromLocal8Bit(start, qstrnlen(start, count - Name.uOffset));
    }
    case STRRET_CSTR: return String::fromLocal8Bit(Name.cStr, qstrnlen(Name.cStr, sizeof Name.cStr));
    default: return String();
  }
}

namespace {

void displayNameOf(IShellFolder* Folder, PCUITEMID_CHILD Item, SHGDNF flags, String& Name) {
  Name.clear();
  if (!Folder || !Item) return;
  STRRET name;
  if (SUCCEEDED(Folder->GetDisplayNameOf(Item, flags, &name))) Name = StrRetText(name, Item);
}

}  // namespace

void StrRetToString(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Name) {
  displayNameOf(Folder, Item, SHGDN_NORMAL, Name);
}

void FolderDisplayNameOf(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Name) {
  displayNameOf(Folder, Item, SHGDN_FORPARSING, Name);
}

void GetInfoTipUrl(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Text) {
  Text.clear();
  if (!Folder || !Item) return;
  ComPtr<IQueryInfo> info;
  if (SUCCEEDED(Folder->GetUIObjectOf(nullptr, 1, &Item, IID_IQueryInfo, nullptr, &info)) && info) {
    LPWSTR tip = nullptr;
    if (SUCCEEDED(info->GetInfoTip(0, &tip)) && tip) Text = String::fromUtf16(tip);
    CoTaskMemFree(tip);
  }
  const qsizetype feed = Text.indexOf(QLatin1Char('\n'));
  if (feed >= 0) Text = Text.mid(feed + 1);
  Text = Trim(Text);
}

void ReadShortcutTypeNames(String& ChannelType, String& InternetType) {
  auto typeName = [](const String& key, const String& fallback) {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_CLASSES_ROOT;
    try {
      if (reg.OpenKeyReadOnly(key)) return reg.ReadString(String());
    } catch (const Exception&) {
    }
    return fallback;
  };
  ChannelType = typeName(QStringLiteral("ChannelShortcut"), QStringLiteral("Channel Shortcut"));
  InternetType = typeName(QStringLiteral("InternetShortcut"), QStringLiteral("Internet Shortcut"));
}

String FolderNameOf(const String& ParsingName) {
  qsizetype cut = -1;
  for (QChar c : {QLatin1Char('\\'), QLatin1Char('/'), QLatin1Char(':')})
    cut = std::max(cut, ParsingName.lastIndexOf(c));
  return ParsingName.mid(cut + 1);
}

bool ShellOrderLess(IShellFolder* Folder, PCUITEMID_CHILD A, PCUITEMID_CHILD B) {
  const HRESULT hr = Folder->CompareIDs(0, A, B);
  return SUCCEEDED(hr) && short(HRESULT_CODE(hr)) < 0;
}

HRESULT ShellFolderItems(IShellFolder* Folder, SHCONTF Flags, std::vector<LPITEMIDLIST>& Items) {
  Items.clear();
  ComPtr<IEnumIDList> list;
  const HRESULT hr = Folder->EnumObjects(::Application ? ::Application->Handle() : nullptr, Flags, &list);
  if (FAILED(hr)) return hr;
  if (!list) return S_OK;  // S_FALSE: nothing to list
  PITEMID_CHILD item = nullptr;
  ULONG fetched = 0;
  while (list->Next(1, &item, &fetched) == S_OK && fetched == 1) Items.push_back(item);
  return S_OK;
}

String FavoriteItemUrl(IShellFolder* Folder, PCUITEMID_CHILD Item, PCIDLIST_ABSOLUTE Absolute,
                       TResolveUrl ResolveUrl, const String& ChannelType, const String& InternetType) {
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(Absolute), 0, &info, sizeof info,
                 SHGFI_TYPENAME | SHGFI_ATTRIBUTES | SHGFI_PIDL);
  const String typeName = String::fromUtf16(info.szTypeName);
  String url;
  if (typeName == ChannelType) {
    ResolveShellItem(Folder, Item, url);
    return url;
  }
  String path;
  FolderDisplayNameOf(Folder, Item, path);
  if (typeName == InternetType) {
    if (ResolveUrl == IntShCut)
      GetFavoritesItemUrl(path, url);
    else
      ReadUrlShortcutFile(path, url);
  } else {
    GetShellLinkPath(path, url);
  }
  return url;
}

int FavoriteIconIndex(PCIDLIST_ABSOLUTE Absolute) {
  const int index = GetSysImageIndex(Absolute);
  if (index != 3) return index;
  SHFILEINFOW info{};
  SHGetFileInfoW(u"*.htm", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                 SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  return info.iIcon;
}

// ---------------------------------------------------------------- item identifier lists

void PidlFree(LPITEMIDLIST List) {
  if (!List) return;
  ComPtr<IMalloc> malloc;
  OleCheck(SHGetMalloc(&malloc));
  malloc->Free(List);
}

LPITEMIDLIST PidlNext(LPCITEMIDLIST Item) {
  return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(reinterpret_cast<const BYTE*>(Item)) +
                                        Item->mkid.cb);
}

UINT PidlSize(LPCITEMIDLIST List) {
  if (!List) return 0;
  UINT size = 2;
  for (LPCITEMIDLIST item = List; item->mkid.cb; item = PidlNext(item)) size += item->mkid.cb;
  return size;
}

void PidlRemoveLast(LPITEMIDLIST List) {
  if (!List || !List->mkid.cb) return;
  LPITEMIDLIST last = List;
  for (LPITEMIDLIST item = List; item->mkid.cb; item = PidlNext(item)) last = item;
  last->mkid.cb = 0;
}

LPITEMIDLIST PidlAlloc(UINT Size) {
  ComPtr<IMalloc> malloc;
  if (FAILED(SHGetMalloc(&malloc)) || !malloc) return nullptr;
  void* block = malloc->Alloc(Size);
  if (block) std::memset(block, 0, Size);
  return static_cast<LPITEMIDLIST>(block);
}

LPITEMIDLIST PidlCopy(LPCITEMIDLIST List) {
  if (!List) return nullptr;
  const UINT size = PidlSize(List);
  LPITEMIDLIST copy = PidlAlloc(size);
  if (copy) std::memcpy(copy, List, size);
  return copy;
}

LPITEMIDLIST PidlConcat(LPCITEMIDLIST First, LPCITEMIDLIST Second) {
  const UINT first = First ? PidlSize(First) - 2 : 0;
  const UINT second = Second ? PidlSize(Second) : 2;
  LPITEMIDLIST list = PidlAlloc(first + second);
  if (!list) return nullptr;
  if (First) std::memcpy(list, First, first);
  // A null Second leaves the zero-filled terminator.
  if (Second) std::memcpy(reinterpret_cast<BYTE*>(list) + first, Second, second);
  return list;
}

// ---------------------------------------------------------------- settings stores

void SaveFormSize(TObject*) {
  TCustomForm* form = ::Application ? ::Application->MainForm() : nullptr;
  if (!form) return;
  try {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(programKey() + QStringLiteral("\\FormSize"), true)) return;
    reg.WriteInteger(QStringLiteral("Top"), form->Top());
    reg.WriteInteger(QStringLiteral("Left"), form->Left());
    reg.WriteInteger(QStringLiteral("Width"), form->Width());
    reg.WriteInteger(QStringLiteral("Height"), form->Height());
    reg.WriteInteger(QStringLiteral("WindowState"), int(form->WindowState()));
    reg.CloseKey();
  } catch (const Exception&) {
    // A store that refuses writes keeps what it had.
  }
}

bool LoadLastVisitedPage(String& URL) {
  URL.clear();
  try {
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(programKey() + QStringLiteral("\\WebPages"), false)) return false;
    URL = reg.ReadString(QStringLiteral("LastVisitedPage"));
    reg.CloseKey();
  } catch (const Exception&) {
    return false;
  }
  return !URL.isEmpty() && URL.contains(QLatin1Char('.'));
}

bool SaveLastVisitedPage(const String& URL) {
  try {
    TRegistry reg;
    reg.RootKey = HKEY_LOCAL_MACHINE;
    if (!reg.OpenKey(programKey(), true) || !reg.OpenKey(QStringLiteral("WebPages"), true)) return false;
    reg.WriteString(QStringLiteral("LastVisitedPage"), URL);
    reg.CloseKey();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void SetIEStartPage(const String& URL) {
  try {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKey(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main"), true)) return;
    reg.WriteString(QStringLiteral("Start Page"), URL);
    reg.CloseKey();
  } catch (const Exception&) {
    // A store that refuses writes keeps the old start page.
  }
}

void ToggleNavigationSound(bool Disable) {
  const String navigating = QStringLiteral("AppEvents\\Schemes\\Apps\\Explorer\\Navigating\\");
  const String current = QStringLiteral(".Current");
  const String hidden = QStringLiteral("Old_Current");
  try {
    TRegistry reg;
    reg.RootKey = HKEY_CURRENT_USER;
    // The scheme entry is hidden under another name and renamed back; a
    // second call in the same direction finds nothing to move.
    if (Disable) {
      if (reg.KeyExists(navigating + current) && reg.OpenKey(navigating, true))
        reg.MoveKey(current, hidden, true);
    } else {
      if (reg.KeyExists(navigating + hidden) && reg.OpenKey(navigating, false))
        reg.MoveKey(hidden, current, true);
    }
    reg.CloseKey();
  } catch (const Exception&) {
    // The scheme stays as it was.
  }
}

// ---------------------------------------------------------------- proxy

namespace {

// Sets the default connection to go through `server` (an empty server: no
// proxy), with local names always reached directly, and tells everyone who
// follows the settings. True when both option calls succeeded.
bool applyProxyOptions(HINTERNET internet, const String& server) {
  std::u16string serverText = server.toStdU16String();
  std::u16string bypass = u"<local>";
  INTERNET_PER_CONN_OPTIONW options[3] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = serverText.data();
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[2].Value.pszValue = bypass.data();
  INTERNET_PER_CONN_OPTION_LISTW list = {};
  list.dwSize = sizeof list;
  list.pszConnection = nullptr;  // the default connection
  list.dwOptionCount = 3;
  list.pOptions = options;
  return InternetSetOptionW(internet, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list) &&
         InternetSetOptionW(internet, INTERNET_OPTION_REFRESH, nullptr, 0);
}

HINTERNET openInternet(const String& agent) {
  return InternetOpenW(wide(agent), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

}  // namespace

bool SetProxy(const String& UserAgent, const String& Proxy) {
  HINTERNET internet = openInternet(UserAgent);
  if (!internet) return false;
  const bool done = applyProxyOptions(internet, Proxy);
  InternetCloseHandle(internet);
  return done;
}

bool SetProxyWithLogin(const String& UserAgent, const String& Address, const String& UserName, int Port,
                       const String& Password) {
  // The proxy needs both its host and a port it can listen on; anything
  // else leaves the current settings alone.
  const String host = Trim(Address);
  if (host.isEmpty() || Port < 1 || Port > 65535) return false;
  HINTERNET internet = openInternet(UserAgent);
  if (!internet) return false;
  bool done = false;
  // The connection handle goes with the session handle closed below.
  if (InternetConnectW(internet, wide(host), INTERNET_PORT(Port), wide(UserName), wide(Password),
                       INTERNET_SERVICE_HTTP, 0, 0))
    done = applyProxyOptions(internet, host + QLatin1Char(':') + IntToStr(Port));
  InternetCloseHandle(internet);
  return done;
}

bool RemoveProxy() {
  HINTERNET internet = openInternet(String());
  if (!internet) return false;
  const bool done = applyProxyOptions(internet, String());
  InternetCloseHandle(internet);
  return done;
}

// ---------------------------------------------------------------- network and page security

bool CheckWinsock(String& HostName, String& Address, String& ErrorText) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    ErrorText = QStringLiteral("Winsock is not responding.\"");
    return false;
  }
  bool resolved = false;
  char name[260] = {};
  if (gethostname(name, int(sizeof name)) == 0) {
    const hostent* entry = gethostbyname(name);
    if (entry && entry->h_addr_list && entry->h_addr_list[0]) {
      in_addr address;
      std::memcpy(&address, entry->h_addr_list[0], sizeof address);
      HostName = QString::fromLocal8Bit(name);
      Address = QString::fromLatin1(inet_ntoa(address));
      resolved = true;
    }
  }
  if (!resolved) {
    switch (WSAGetLastError()) {
      case WSAEINPROGRESS: ErrorText = QStringLiteral("WSAEInProgress"); break;
      case WSAENETDOWN: ErrorText = QStringLiteral("WSAENetDown"); break;
      case WSANOTINITIALISED: ErrorText = QStringLiteral("WSANotInitialised"); break;
      default: break;  // other errors have no text of their own
    }
  }
  WSACleanup();
  return resolved;
}

namespace {

// A property of an automation object read by its name; false when the
// object is missing or does not answer.
bool propertyByName(const OleVariant& object, const String& name, OleVariant& value) {
  ComPtr<IDispatch> disp = object.toDispatch();
  DISPID id = DISPID_UNKNOWN;
  return disp && SUCCEEDED(DispatchGetIDOfName(disp.Get(), name, id)) &&
         SUCCEEDED(DispatchGetProperty(disp.Get(), id, value));
}

}  // namespace

bool PageSecurityText(const OleVariant& Browser, const String& URL, String& Protocol, String& Text) {
  if (!URL.contains(QLatin1String("https://"))) {
    Protocol = QStringLiteral("None");
    Text = QStringLiteral("The page is not secured.");
    return false;
  }
  try {
    OleVariant document, location, protocol;
    if (propertyByName(Browser, QStringLiteral("Document"), document) &&
        propertyByName(document, QStringLiteral("Location"), location) &&
        propertyByName(location, QStringLiteral("Protocol"), protocol) &&
        VarToStr(protocol) == QLatin1String("https:")) {
      Protocol = QStringLiteral("SSL");
      Text = QStringLiteral("It is a secure web page.");
      return true;
    }
  } catch (const Exception&) {
    // A document that cannot be asked counts as not secure.
  }
  return false;
}

// ---------------------------------------------------------------- navigation

void NavigateTo(TEmbeddedWB* Browser, const String& URL) {
  if (!Browser || Trim(URL).isEmpty()) return;
  Browser->Navigate2(OleVariant(URL), OleVariant(0), OleVariant(0), OleVariant(0), OleVariant(0));
}

bool GoWebmailA(TEmbeddedWB* Browser) {
  NavigateTo(Browser, QLatin1String(WebmailAUrl));
  return true;
}

bool GoWebmailB(TEmbeddedWB* Browser) {
  NavigateTo(Browser, QLatin1String(WebmailBUrl));
  return true;
}

bool GoWebmailC(TEmbeddedWB* Browser) {
  NavigateTo(Browser, QLatin1String(WebmailCUrl));
  return true;
}

namespace {

// The search text as the query's declared ISO-8859-1 input encoding carries
// it: characters of that set as their byte, any other character as a numeric
// character reference (as a form on a Latin-1 page sends it), then every
// byte outside the unreserved set percent-encoded.
String encodeSearchText(const String& text) {
  QByteArray bytes;
  for (const char32_t c : text.toUcs4()) {
    if (c <= 0xFF)
      bytes.append(char(c));
    else
      bytes.append("&#" + QByteArray::number(uint(c)) + ';');
  }
  return QString::fromLatin1(bytes.toPercentEncoding());
}

}  // namespace

void SearchWeb(TEmbeddedWB* Browser, const String& Text) {
  NavigateTo(Browser, QLatin1String(SearchUrl) + encodeSearchText(Text));
}

bool GoAboutBlank(TEmbeddedWB* Browser) {
  if (!Browser) return false;
  Browser->Go(QStringLiteral("about:blank"));
  return WaitUntilReady(Browser);
}

bool WaitUntilReady(TEmbeddedWB* Browser) { return Browser && Browser->Wait(0); }

// ---------------------------------------------------------------- support routines

namespace {

using HtmlHelpProc = HWND (*)(HWND, LPCWSTR, UINT, DWORD_PTR);
using SetFeatureProc = HRESULT (*)(INTERNETFEATURELIST, DWORD, BOOL);
using IsFeatureProc = HRESULT (*)(INTERNETFEATURELIST, DWORD);

// An entry point that was looked up without success; looked up again at the
// next call.
const FARPROC kLookupFailed = reinterpret_cast<FARPROC>(std::uintptr_t(1));

// The cached handles (0 while not loaded) and URL moniker entry points (0
// while not looked up). The browser units call these from the main thread.
HMODULE htmlHelpModule = nullptr;
HMODULE urlMonModule = nullptr;
HMODULE shdoclcModule = nullptr;
FARPROC setFeatureProc = nullptr;
FARPROC isFeatureProc = nullptr;

bool validModule(HMODULE module) { return reinterpret_cast<std::uintptr_t>(module) > 32; }

// Loads a library without the system's "file not found" box; 0 on failure.
HMODULE loadQuietly(const String& name) {
  const UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibrary(name);
  SetErrorMode(oldMode);
  return validModule(module) ? module : nullptr;
}

// The entry point of the URL moniker library, looking it up when not known.
FARPROC urlMonProc(FARPROC& cached, const char* name) {
  if (!urlMonModule) urlMonModule = loadQuietly(QStringLiteral("URLMON.DLL"));
  if (cached == nullptr || cached == kLookupFailed) {
    FARPROC proc = urlMonModule ? GetProcAddress(urlMonModule, name) : nullptr;
    cached = proc ? proc : kLookupFailed;
  }
  return cached == kLookupFailed ? nullptr : cached;
}

void freeModule(HMODULE& module) {
  if (module) FreeLibrary(module);
  module = nullptr;
}

}  // namespace

HWND HtmlHelpDyn(HWND Caller, LPCWSTR File, UINT Command, DWORD_PTR Data) {
  if (!htmlHelpModule) htmlHelpModule = loadQuietly(QStringLiteral("hhctrl.ocx"));
  if (!htmlHelpModule) return nullptr;
  auto proc = reinterpret_cast<HtmlHelpProc>(GetProcAddress(htmlHelpModule, "HtmlHelpW"));
  return proc ? proc(Caller, File, Command, Data) : nullptr;
}

HRESULT CoInternetSetFeatureEnabledDyn(BYTE Feature, DWORD Flags, bool Enable) {
  FARPROC proc = urlMonProc(setFeatureProc, "CoInternetSetFeatureEnabled");
  if (!proc) return E_NOTIMPL;
  return reinterpret_cast<SetFeatureProc>(proc)(INTERNETFEATURELIST(Feature), Flags,
                                                Enable ? BOOL(-1) : BOOL(0));
}

HRESULT CoInternetIsFeatureEnabledDyn(BYTE Feature, DWORD Flags) {
  FARPROC proc = urlMonProc(isFeatureProc, "CoInternetIsFeatureEnabled");
  if (!proc) return E_NOTIMPL;
  return reinterpret_cast<IsFeatureProc>(proc)(INTERNETFEATURELIST(Feature), Flags);
}

HMODULE GetShdoclcHandle() {
  if (!shdoclcModule) {
    HMODULE module = GetModuleHandle(QStringLiteral("SHDOCLC.DLL"));
    shdoclcModule = validModule(module) ? module : loadQuietly(QStringLiteral("SHDOCLC.DLL"));
  }
  return shdoclcModule;
}

HWND FindParentWindowByClass(HWND Window, const String& ClassName) {
  for (HWND parent = GetParent(Window); parent; parent = GetParent(parent))
    if (GetClassName(parent) == ClassName) return parent;
  return nullptr;
}

void CutAtDelimiter(String& Source, const String& Delimiter, bool Delete, String& Head) {
  const int at = Pos(Delimiter, Source);
  if (at > 0) {
    Head = Copy(Source, 1, at - 1);
    if (Delete) ::Delete(Source, 1, at - 1 + Length(Delimiter));
  } else {
    Head = Source;
    if (Delete) Source.clear();
  }
}

int LastPosIgnoreCase(const String& SubText, const String& Text, int StartPos) {
  const int subLength = Length(SubText);
  if (subLength == 0) return 0;
  const int lastStart = Length(Text) - subLength + 1;
  const int start = (StartPos == -1 || StartPos > lastStart) ? lastStart : StartPos;
  for (int i = start; i >= 1; --i)
    if (QStringView(Text).mid(i - 1, subLength).compare(SubText, Qt::CaseInsensitive) == 0) return i;
  return 0;
}

int CharPosition(QChar Ch, const String& Text) { return int(Text.indexOf(Ch)) + 1; }

void BackslashToSlash(String& Text) { Text.replace(QLatin1Char('\\'), QLatin1Char('/')); }

LPWSTR StrToCoTaskMemW(const String& Text) { return CoTaskMemDupString(Text); }

LPWSTR WideStrToCoTaskMem(const String& WideText) { return CoTaskMemDupString(WideText); }

void GetWindowCaption(HWND Window, String& Text) { Text = GetWindowText(Window); }

void GetWindowClassName(HWND Window, String& Text) {
  Text = IsWindow(Window) ? GetClassName(Window) : String();
}

void finalize() {
  freeModule(htmlHelpModule);
  freeModule(urlMonModule);
  shdoclcModule = nullptr;  // stays loaded; only forgotten
  setFeatureProc = nullptr;
  isFeatureProc = nullptr;
}

}  // namespace EwbTools
