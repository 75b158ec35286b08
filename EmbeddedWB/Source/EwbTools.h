#pragma once
// Utility routines of the browser units: the shown page's content and
// pictures, shell folders and favorites, the program's registry stores, the
// proxy, the network stack and fixed navigations.
#include "platform/com/Variant.h"
#include "platform/rtl/Classes.h"
#include "platform/shdocvw/ExDisp.h"
#include "platform/shell/ShlObj.h"
#include "platform/winapi/Modules.h"

#include <QObject>

#include <algorithm>
#include <functional>
#include <vector>

class TComponent;
class TImage;

namespace EmbeddedWB {
class TEmbeddedWB;
}

namespace EwbTools {
Q_NAMESPACE

using EmbeddedWB::TEmbeddedWB;

// The fixed pages of the web-mail buttons and the web search: three web-mail
// services (a login page, a mail page, a start page) and a search engine's
// query address, to which the search text is appended.
inline constexpr char WebmailAUrl[] = "http://mail.yahoo.com/cgi-bin/login";
inline constexpr char WebmailBUrl[] = "http://mail.google.com/mail/";
inline constexpr char WebmailCUrl[] = "http://outlook.live.com/";
inline constexpr char SearchUrl[] = "http://www.google.com/search?ie=ISO-8859-1&q=";

// ---------------------------------------------------------------- page content and capture

// How long SetDocumentCharset waits for the document to complete, in ms.
inline constexpr Cardinal CharsetWaitMs = 10000;
// The command of the browser's own group that opens its find dialog.
inline constexpr DWORD FindDialogCommand = 1;

// Obj is assigned and is an HTML document.
bool HasHTMLDocument(IUnknown* Obj);
// The document's markup (documentElement.innerHTML) and a line break; empty
// when the document is not HTML.
void DocumentToStrings(const OleVariant& Browser, String& Result);
// The same with the document's text.
void DocumentTextToStrings(const OleVariant& Browser, IUnknown* Document, String& Result);
// Sets the document's character set (and refreshes when asked); True when set.
bool SetDocumentCharset(TEmbeddedWB* Browser, IUnknown* Document, const String& Charset, bool Refresh);
// Draws the browser's view into the image (a thumbnail); nothing for a null image.
void DrawDocumentToImage(IUnknown* Obj, TImage* Image);
// Writes the page as a bitmap file; True when written (never for a view of
// no area).
bool SnapshotToBitmap(IUnknown* Document, HWND Handle, int Width, int Height, const String& FileName);
// Writes the browser's view as a JPEG file, scaled to the target size; True when written.
bool SnapshotToJpeg(IUnknown* Document, IWebBrowser2* Browser, const String& FileName, int SourceHeight,
                    int SourceWidth, int TargetHeight, int TargetWidth);
void PrintPreview(IWebBrowser2* Browser);
// The Organize Favorites dialog on the user's Favorites folder; its result.
int OrganizeFavorites(HWND Owner);
// The browser library's Organize Favorites dialog on Path (handed over in
// 8-bit characters); its result, 0 when the library or its entry is missing.
int DoOrganizeFavorites(HWND Owner, const String& Path);
// The browser's find dialog; True when the command answered S_OK.
bool ShowFindDialog(IUnknown* Document);
// The command's result, or S_FALSE when the document is not HTML or has no
// command target.
HRESULT ExecDocumentCommand(IUnknown* Document, bool UseBrowserGroup, DWORD CommandId,
                            const OleVariant& Input, OleVariant& Output, DWORD ExecOption);
// The path of a shell folder (CSIDL_*), created when missing; empty when the
// folder cannot be had.
String GetSpecialFolderPath(HWND Owner, int Folder);
// Saves the page, under the file name part of FileName, into a folder of
// its own in the profile and mails it as the attachment on a worker thread
// (the mail client's compose window shown; Owner's window hears of a
// general failure). The copy and its folder go when the send is over, however
// it ends. False, and no mail, when the page could not be saved.
bool SendPageByMail(TEmbeddedWB* Browser, TComponent* Owner, IUnknown* Document, const String& FileName,
                    const String& Subject, const String& Body);

// ---------------------------------------------------------------- shell

// How the favorites components read an Internet shortcut's address: through
// the shell's shortcut object or as an ini file.
enum TResolveUrl { IntShCut, IniFile };
Q_ENUM_NS(TResolveUrl)
// A chosen address handed to the owner of a favorites or history component.
using TOnUrlSelectedEvent = std::function<void(TObject* Sender, const String& Url)>;

// The system is Windows 5.1 with service pack 2 or later.
bool IsXPSP2OrNewer();
// The browser's registered "Version" starts with a digit above 4; an empty or
// non-digit value answers False.
bool IsIE5OrNewer();
// The browser library's file version; empty on failure.
void GetIEFileVersion(String& Version);
// The file version before its first ".".
void GetIEMajorVersion(String& Version);
void GetFavoritesFolder(String& Path);
void GetHistoryFolder(String& Path);
// HKEY_CURRENT_USER's "Shell Folders" value Name; Path stays as it was when
// the value is missing or blank.
void GetShellFolderFromRegistry(const String& Name, String& Path);
// The shell's Add Favorite dialog for the page; errors are swallowed.
void AddToFavorites(const String& URL, const String& Title);
// Clears the URL history (raises when the history object cannot be made).
void ClearHistory();

// The [InternetShortcut] URL of a ".url" file read as an ini file (empty
// when missing).
void ReadUrlShortcutFile(const String& FileName, String& URL);
// The same through the shell's Internet shortcut object; URL stays as it was
// when the object cannot be made.
void GetFavoritesItemUrl(const String& FileName, String& URL);
// The target path of a shell link file; empty on failure.
void GetShellLinkPath(const String& LinkFile, String& Target);
// 0 and the display name of the item's link target; 1 on any failure.
int ResolveShellItem(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Name);
bool IsShellFolderItem(IShellFolder* Folder, PCUITEMID_CHILD Item);
// The item's shell type name is TypeName (exact comparison).
bool HasShellTypeName(const String& TypeName, IShellFolder* Folder, PCUITEMID_CHILD Item);
// A folder whose type name is not TypeName (the channel-shortcut type name).
bool IsBrowsableFolder(const String& TypeName, IShellFolder* Folder, PCUITEMID_CHILD Item);
// The small icon's index in the system image list of an absolute list; -1
// on failure.
int GetSysImageIndex(PCIDLIST_ABSOLUTE Item);
// The item's normal display name and its parsing name; empty on failure.
void StrRetToString(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Name);
void FolderDisplayNameOf(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Name);
// What follows the first line feed of the item's info tip, trimmed (a
// History page's address).
void GetInfoTipUrl(IShellFolder* Folder, PCUITEMID_CHILD Item, String& Text);
// A STRRET as text; a STRRET_WSTR's string is freed.
String StrRetText(STRRET& Name, PCUITEMID_CHILD Item);

// What the favorites and history components share.
//
// The shell's type names of channel shortcuts and Internet shortcuts, from
// the registry's classes "ChannelShortcut" and "InternetShortcut" ("Channel
// Shortcut" and "Internet Shortcut" when a class is missing).
void ReadShortcutTypeNames(String& ChannelType, String& InternetType);
// The last component of a folder's parsing name ("\", "/" and ":" separate).
String FolderNameOf(const String& ParsingName);
// Folder's own order (CompareIDs, column 0): A before B; a failed comparison
// counts as equal.
bool ShellOrderLess(IShellFolder* Folder, PCUITEMID_CHILD A, PCUITEMID_CHILD B);
// Puts records with a Relative list into Folder's order (equal ones keep
// theirs). Folders mostly list in their own order already: that costs one
// comparison a record instead of a whole sort.
template <class It>
void SortInShellOrder(IShellFolder* Folder, It First, It Last) {
  const auto less = [Folder](const auto& a, const auto& b) {
    return ShellOrderLess(Folder, a->Relative, b->Relative);
  };
  if (!std::is_sorted(First, Last, less)) std::stable_sort(First, Last, less);
}
// Every item Folder lists with Flags, in its order (the caller frees them
// with PidlFree); the enumeration's failure result, with no items.
HRESULT ShellFolderItems(IShellFolder* Folder, SHCONTF Flags, std::vector<LPITEMIDLIST>& Items);
// The address a favorite leads to, by its type name: a channel shortcut's
// target name, an Internet shortcut's URL (read as ResolveUrl says) or a
// shell link's target path. Absolute is the item's absolute list.
String FavoriteItemUrl(IShellFolder* Folder, PCUITEMID_CHILD Item, PCIDLIST_ABSOLUTE Absolute,
                       TResolveUrl ResolveUrl, const String& ChannelType, const String& InternetType);
// The small icon of an absolute list, a web page's (index 3) replaced by
// the icon of "*.htm" files.
int FavoriteIconIndex(PCIDLIST_ABSOLUTE Absolute);

// Item identifier lists in the shell's task memory.
void PidlFree(LPITEMIDLIST List);
LPITEMIDLIST PidlNext(LPCITEMIDLIST Item);
UINT PidlSize(LPCITEMIDLIST List);
void PidlRemoveLast(LPITEMIDLIST List);
LPITEMIDLIST PidlAlloc(UINT Size);
// Null for null.
LPITEMIDLIST PidlCopy(LPCITEMIDLIST List);
// First's items, then Second's; null counts as empty.
LPITEMIDLIST PidlConcat(LPCITEMIDLIST First, LPCITEMIDLIST Second);

// ---------------------------------------------------------------- settings stores and network

// Writes the application main form's Top, Left, Width, Height and
// WindowState under HKEY_LOCAL_MACHINE\SOFTWARE\<application title>\FormSize.
// Nothing is reported when the key cannot be written. `Sender` is not used.
void SaveFormSize(TObject* Sender);
// Reads ...\WebPages "LastVisitedPage" into URL; True when it is not empty
// and contains a ".".
bool LoadLastVisitedPage(String& URL);
// Writes ...\WebPages "LastVisitedPage"; False when the key cannot be written.
bool SaveLastVisitedPage(const String& URL);
// Writes the Internet Explorer start page (HKEY_CURRENT_USER).
void SetIEStartPage(const String& URL);
// Hides (Disable) or restores the navigation click sound scheme by moving
// HKEY_CURRENT_USER\AppEvents\Schemes\Apps\Explorer\Navigating\.Current to
// "Old_Current" and back; a second call in the same direction does nothing.
void ToggleNavigationSound(bool Disable);

// The proxy routines set the process-wide settings of the default connection
// (every Internet transfer follows them): through a proxy, local names
// (without a dot) direct. False when a call of the Internet layer fails.
//
// Proxy is "address:port".
bool SetProxy(const String& UserAgent, const String& Proxy);
// The proxy Address:Port. False, with the settings unchanged, for a blank
// address or a port outside 1..65535. The user name and password are handed
// to the connection made on the way.
bool SetProxyWithLogin(const String& UserAgent, const String& Address, const String& UserName, int Port,
                       const String& Password);
// Back to direct connections.
bool RemoveProxy();

// The local host name and its first IPv4 address through the system's
// resolver; False with an error text on failure ("Winsock is not
// responding." when sockets cannot start, the name of a few resolver errors;
// other errors leave ErrorText alone). The call blocks while the resolver
// works, so a caller on the user-interface path keeps the answer.
bool CheckWinsock(String& HostName, String& Address, String& ErrorText);
// Whether the shown page is secure: "None" / "The page is not secured." and
// False when URL has no "https://"; "SSL" / "It is a secure web page." and
// True when the document's location protocol (read by name from Browser, the
// control's automation object) is "https:"; otherwise False with Protocol and
// Text untouched.
bool PageSecurityText(const OleVariant& Browser, const String& URL, String& Protocol, String& Text);
// Navigate2 with URL unless it is blank.
void NavigateTo(TEmbeddedWB* Browser, const String& URL);
// Navigate to the web-mail pages; always True.
bool GoWebmailA(TEmbeddedWB* Browser);
bool GoWebmailB(TEmbeddedWB* Browser);
bool GoWebmailC(TEmbeddedWB* Browser);
// Navigates to the search address with the text percent-encoded as the
// query's ISO-8859-1 input encoding carries it (other characters as numeric
// character references).
void SearchWeb(TEmbeddedWB* Browser, const String& Text);
// Goes to "about:blank" and waits for it; the wait's result.
bool GoAboutBlank(TEmbeddedWB* Browser);
// TEmbeddedWB::Wait without a time-out.
bool WaitUntilReady(TEmbeddedWB* Browser);

// ---------------------------------------------------------------- support routines

// Libraries loaded on demand are kept until finalize(). A module handle of 32
// or below counts as a failed load.

// Calls HtmlHelpW of "hhctrl.ocx" (loaded on first use); 0 when the library
// or the entry point is missing.
HWND HtmlHelpDyn(HWND Caller, LPCWSTR File, UINT Command, DWORD_PTR Data);
// CoInternetSetFeatureEnabled / CoInternetIsFeatureEnabled of "URLMON.DLL"
// (loaded on first use); E_NOTIMPL while the entry point cannot be found (the
// lookup is retried at every call until it succeeds).
HRESULT CoInternetSetFeatureEnabledDyn(BYTE Feature, DWORD Flags, bool Enable);
HRESULT CoInternetIsFeatureEnabledDyn(BYTE Feature, DWORD Flags);
// "SHDOCLC.DLL", found among the loaded modules or loaded; 0 when missing.
HMODULE GetShdoclcHandle();
// The nearest ancestor (through GetParent, the window itself excluded) whose
// class name equals ClassName exactly; 0 when there is none.
HWND FindParentWindowByClass(HWND Window, const String& ClassName);
// Head is the text before the first Delimiter in Source (the whole Source
// when there is none). With Delete the head and the delimiter are removed
// from Source (Source becomes empty when there is no delimiter).
void CutAtDelimiter(String& Source, const String& Delimiter, bool Delete, String& Head);
// The 1-based position of the last SubText in Text beginning at or before
// StartPos (-1, or a position past the last possible start, searches the
// whole text), compared without case; 0 when absent or SubText is empty.
int LastPosIgnoreCase(const String& SubText, const String& Text, int StartPos);
// The 1-based position of the first Ch in Text (exact comparison); 0 when absent.
int CharPosition(QChar Ch, const String& Text);
void BackslashToSlash(String& Text);
// Zero-terminated copies in task memory; the receiver frees them with CoTaskMemFree.
LPWSTR StrToCoTaskMemW(const String& Text);
LPWSTR WideStrToCoTaskMem(const String& WideText);
void GetWindowCaption(HWND Window, String& Text);
// Empty when Window is not a window.
void GetWindowClassName(HWND Window, String& Text);

// Frees the libraries loaded on demand and forgets their entry points.
void finalize();

}  // namespace EwbTools
