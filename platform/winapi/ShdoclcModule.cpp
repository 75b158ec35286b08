// The browser's resource library "SHDOCLC.DLL": a module without entry points
// whose menu resource 24641 holds the browser's context menus, one submenu
// per context-menu kind in the order of the kinds' numbers.
#include "platform/winapi/Menus.h"
#include "platform/winapi/Modules.h"

namespace {

TMenuTemplateItem item(const char* text, UINT id) { return {QString::fromLatin1(text), id}; }
TMenuTemplateItem separator() { return {String(), 0, MF_SEPARATOR}; }
TMenuTemplateItem popup(const char* text, std::vector<TMenuTemplateItem> items) {
  return {QString::fromLatin1(text), 0, MF_POPUP, std::move(items)};
}

// Command identifiers of the items.
enum : UINT {
  kCopy = 15,
  kCut = 16,
  kPaste = 26,
  kPrint = 27,
  kProperties = 28,
  kSelectAll = 31,
  kOpenLink = 2136,
  kOpenInNewWindow = 2137,
  kViewSource = 2139,
  kAddToFavorites = 2261,
  kSaveBackground = 2263,
  kSetAsBackground = 2264,
  kCopyBackground = 2265,
  kCreateShortcut = 2266,
  kSetAsDesktopItem = 2278,
  kBack = 2282,
  kForward = 2283,
  kEncoding = 2292,
  kRefresh = 2300,
  kScrollHere = 2386,
  kScrollTop = 2387,
  kScrollBottom = 2388,
  kScrollPageUp = 2389,
  kScrollPageDown = 2390,
  kScrollUp = 2391,
  kScrollDown = 2392,
  kScrollLeftEdge = 2393,
  kScrollRightEdge = 2394,
  kScrollPageLeft = 2395,
  kScrollPageRight = 2396,
  kScrollLeft = 2397,
  kScrollRight = 2398,
};

std::vector<TMenuTemplateItem> contextMenus() {
  return {
      popup("Default", {item("&Back", kBack),
                        item("F&orward", kForward),
                        separator(),
                        item("Save &Background As...", kSaveBackground),
                        item("Set As Back&ground", kSetAsBackground),
                        item("&Copy Background", kCopyBackground),
                        item("Set as &Desktop Item...", kSetAsDesktopItem),
                        separator(),
                        item("Select &All", kSelectAll),
                        item("&Paste", kPaste),
                        separator(),
                        item("Create Shor&tcut", kCreateShortcut),
                        item("Add to &Favorites...", kAddToFavorites),
                        item("&View Source", kViewSource),
                        separator(),
                        item("&Encoding", kEncoding),
                        separator(),
                        item("&Print...", kPrint),
                        item("&Refresh", kRefresh),
                        separator(),
                        item("P&roperties", kProperties)}),
      popup("Image",
            {item("&Open Link", kOpenLink), item("Open Link in &New Window", kOpenInNewWindow), separator(),
             item("Set as Back&ground", kSetAsBackground), item("Set as &Desktop Item...", kSetAsDesktopItem),
             separator(), item("Cu&t", kCut), item("&Copy", kCopy), item("&Paste", kPaste), separator(),
             item("Add to &Favorites...", kAddToFavorites), separator(), item("P&roperties", kProperties)}),
      popup("Control", {item("Cu&t", kCut), item("&Copy", kCopy), item("&Paste", kPaste), separator(),
                        item("Select &All", kSelectAll)}),
      popup("Table", {item("Select &All", kSelectAll), separator(), item("&Print...", kPrint),
                      item("&Refresh", kRefresh), separator(), item("P&roperties", kProperties)}),
      popup("Selected text",
            {item("&Copy", kCopy), item("Select &All", kSelectAll), separator(), item("&Print...", kPrint)}),
      popup("Anchor",
            {item("&Open", kOpenLink), item("Open in &New Window", kOpenInNewWindow), separator(),
             item("Cu&t", kCut), item("&Copy", kCopy), item("&Paste", kPaste), separator(),
             item("Add to &Favorites...", kAddToFavorites), separator(), item("P&roperties", kProperties)}),
      popup("Unknown", {item("Select &All", kSelectAll), separator(), item("P&roperties", kProperties)}),
      popup("Image dynamic source",
            {item("&Copy", kCopy), separator(), item("Add to &Favorites...", kAddToFavorites), separator(),
             item("P&roperties", kProperties)}),
      popup("Image art", {item("&Copy", kCopy), separator(), item("P&roperties", kProperties)}),
      popup("Debug", {item("&View Source", kViewSource), item("&Refresh", kRefresh)}),
      popup("Vertical scroll", {item("Scroll Here", kScrollHere), separator(), item("Top", kScrollTop),
                                item("Bottom", kScrollBottom), separator(), item("Page Up", kScrollPageUp),
                                item("Page Down", kScrollPageDown), separator(), item("Scroll Up", kScrollUp),
                                item("Scroll Down", kScrollDown)}),
      popup("Horizontal scroll",
            {item("Scroll Here", kScrollHere), separator(), item("Left Edge", kScrollLeftEdge),
             item("Right Edge", kScrollRightEdge), separator(), item("Page Left", kScrollPageLeft),
             item("Page Right", kScrollPageRight), separator(), item("Scroll Left", kScrollLeft),
             item("Scroll Right", kScrollRight)}),
  };
}

}  // namespace

void RegisterShdoclcModule() {
  const String name = QStringLiteral("SHDOCLC.DLL");
  RegisterStandInModule(name, {});
  RegisterMenuResource(name, WORD(24641), contextMenus());
}
