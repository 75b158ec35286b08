// Virtual keys and Qt keys, key data, key states and shift states.
#include "platform/winapi/KeyCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QThread>

#include <array>
#include <mutex>

namespace {

struct KeyPair {
  int qt;
  WORD vk;
};

// Keys whose code does not follow from a range. The first entry of a virtual
// key is the Qt key it translates back to.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Select, VK_SELECT},
    {Qt::Key_Printer, VK_PRINT},
    {Qt::Key_Execute, VK_EXECUTE},
    {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_SysReq, VK_SNAPSHOT},
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},
    {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Super_L, VK_LWIN},
    {Qt::Key_Super_R, VK_RWIN},
    {Qt::Key_Menu, VK_APPS},
    {Qt::Key_Sleep, VK_SLEEP},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Back, VK_BROWSER_BACK},
    {Qt::Key_Forward, VK_BROWSER_FORWARD},
    {Qt::Key_Refresh, VK_BROWSER_REFRESH},
    {Qt::Key_Stop, VK_BROWSER_STOP},
    {Qt::Key_Search, VK_BROWSER_SEARCH},
    {Qt::Key_Favorites, VK_BROWSER_FAVORITES},
    {Qt::Key_HomePage, VK_BROWSER_HOME},
    {Qt::Key_VolumeMute, VK_VOLUME_MUTE},
    {Qt::Key_VolumeDown, VK_VOLUME_DOWN},
    {Qt::Key_VolumeUp, VK_VOLUME_UP},
    {Qt::Key_MediaNext, VK_MEDIA_NEXT_TRACK},
    {Qt::Key_MediaPrevious, VK_MEDIA_PREV_TRACK},
    {Qt::Key_MediaStop, VK_MEDIA_STOP},
    {Qt::Key_MediaTogglePlayPause, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_MediaPlay, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_LaunchMail, VK_LAUNCH_MAIL},
    // Punctuation by the key of a US keyboard that carries it.
    {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_BraceRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
};

// Keys of the numeric keypad.
constexpr KeyPair kKeypad[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},      {Qt::Key_Minus, VK_SUBTRACT},
    {Qt::Key_Period, VK_DECIMAL},    {Qt::Key_Comma, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE},
    {Qt::Key_Enter, VK_RETURN},      {Qt::Key_Return, VK_RETURN},
};

// Set-1 scan codes of a US keyboard, by virtual key.
struct ScanEntry {
  WORD vk;
  BYTE scan;
};
constexpr ScanEntry kScan[] = {
    {VK_ESCAPE, 0x01},   {'1', 0x02},          {'2', 0x03},           {'3', 0x04},
    {'4', 0x05},         {'5', 0x06},          {'6', 0x07},           {'7', 0x08},
    {'8', 0x09},         {'9', 0x0A},          {'0', 0x0B},           {VK_OEM_MINUS, 0x0C},
    {VK_OEM_PLUS, 0x0D}, {VK_BACK, 0x0E},      {VK_TAB, 0x0F},        {'Q', 0x10},
    {'W', 0x11},         {'E', 0x12},          {'R', 0x13},           {'T', 0x14},
    {'Y', 0x15},         {'U', 0x16},          {'I', 0x17},           {'O', 0x18},
    {'P', 0x19},         {VK_OEM_4, 0x1A},     {VK_OEM_6, 0x1B},      {VK_RETURN, 0x1C},
    {VK_CONTROL, 0x1D},  {VK_LCONTROL, 0x1D},  {VK_RCONTROL, 0x1D},   {'A', 0x1E},
    {'S', 0x1F},         {'D', 0x20},          {'F', 0x21},           {'G', 0x22},
    {'H', 0x23},         {'J', 0x24},          {'K', 0x25},           {'L', 0x26},
    {VK_OEM_1, 0x27},    {VK_OEM_7, 0x28},     {VK_OEM_3, 0x29},      {VK_SHIFT, 0x2A},
    {VK_LSHIFT, 0x2A},   {VK_OEM_5, 0x2B},     {'Z', 0x2C},           {'X', 0x2D},
    {'C', 0x2E},         {'V', 0x2F},          {'B', 0x30},           {'N', 0x31},
    {'M', 0x32},         {VK_OEM_COMMA, 0x33}, {VK_OEM_PERIOD, 0x34}, {VK_OEM_2, 0x35},
    {VK_DIVIDE, 0x35},   {VK_RSHIFT, 0x36},    {VK_MULTIPLY, 0x37},   {VK_SNAPSHOT, 0x37},
    {VK_MENU, 0x38},     {VK_LMENU, 0x38},     {VK_RMENU, 0x38},      {VK_SPACE, 0x39},
    {VK_CAPITAL, 0x3A},  {VK_F1, 0x3B},        {VK_F1 + 1, 0x3C},     {VK_F1 + 2, 0x3D},
    {VK_F1 + 3, 0x3E},   {VK_F1 + 4, 0x3F},    {VK_F1 + 5, 0x40},     {VK_F1 + 6, 0x41},
    {VK_F1 + 7, 0x42},   {VK_F1 + 8, 0x43},    {VK_F1 + 9, 0x44},     {VK_NUMLOCK, 0x45},
    {VK_PAUSE, 0x45},    {VK_SCROLL, 0x46},    {VK_HOME, 0x47},       {VK_NUMPAD7, 0x47},
    {VK_UP, 0x48},       {VK_NUMPAD8, 0x48},   {VK_PRIOR, 0x49},      {VK_NUMPAD9, 0x49},
    {VK_SUBTRACT, 0x4A}, {VK_LEFT, 0x4B},      {VK_NUMPAD4, 0x4B},    {VK_CLEAR, 0x4C},
    {VK_NUMPAD5, 0x4C},  {VK_RIGHT, 0x4D},     {VK_NUMPAD6, 0x4D},    {VK_ADD, 0x4E},
    {VK_END, 0x4F},      {VK_NUMPAD1, 0x4F},   {VK_DOWN, 0x50},       {VK_NUMPAD2, 0x50},
    {VK_NEXT, 0x51},     {VK_NUMPAD3, 0x51},   {VK_INSERT, 0x52},     {VK_NUMPAD0, 0x52},
    {VK_DELETE, 0x53},   {VK_DECIMAL, 0x53},   {VK_OEM_102, 0x56},    {VK_F11, 0x57},
    {VK_F12, 0x58},      {VK_LWIN, 0x5B},      {VK_RWIN, 0x5C},       {VK_APPS, 0x5D},
};

bool isNavigationKey(WORD vk) {
  switch (vk) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return true;
    default: return false;
  }
}

// Key states as the input translation saw them.
struct KeyStates {
  std::mutex mutex;
  std::array<bool, 256> down{};
  std::array<bool, 256> toggled{};
  Qt::KeyboardModifiers modifiers;
  Qt::MouseButtons buttons;
};

KeyStates& states() {
  static KeyStates s;
  return s;
}

bool isToggleKey(WORD vk) {
  return vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL || vk == VK_INSERT;
}

Qt::KeyboardModifier modifierOf(WORD vk) {
  switch (vk) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT: return Qt::ShiftModifier;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL: return Qt::ControlModifier;
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU: return Qt::AltModifier;
    case VK_LWIN:
    case VK_RWIN: return Qt::MetaModifier;
    default: return Qt::NoModifier;
  }
}

Qt::MouseButton buttonOf(int vk) {
  switch (vk) {
    case VK_LBUTTON: return Qt::LeftButton;
    case VK_RBUTTON: return Qt::RightButton;
    case VK_MBUTTON: return Qt::MiddleButton;
    case VK_XBUTTON1: return Qt::ExtraButton1;
    case VK_XBUTTON2: return Qt::ExtraButton2;
    default: return Qt::NoButton;
  }
}

SHORT keyState(int vk, Qt::KeyboardModifiers extraMods, Qt::MouseButtons extraButtons) {
  if (vk < 0 || vk > 255) return 0;
  KeyStates& s = states();
  std::lock_guard lock(s.mutex);
  bool down = s.down[vk];
  if (Qt::KeyboardModifier m = modifierOf(WORD(vk)); m != Qt::NoModifier) {
    // The generic keys follow the modifier state; the sided ones only what was seen.
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU)
      down = down || (s.modifiers | extraMods).testFlag(m);
  }
  if (Qt::MouseButton b = buttonOf(vk); b != Qt::NoButton) down = (s.buttons | extraButtons).testFlag(b);
  return SHORT((down ? 0x8000 : 0) | (s.toggled[vk] ? 1 : 0));
}

}  // namespace

WORD VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return WORD(VK_NUMPAD0 + (qtKey - Qt::Key_0));
    for (const auto& k : kKeypad)
      if (k.qt == qtKey) return k.vk;
  }
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
    return WORD(qtKey);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return WORD(VK_F1 + (qtKey - Qt::Key_F1));
  for (const auto& k : kKeys)
    if (k.qt == qtKey) return k.vk;
  return 0;
}

int QtKeyFromVirtualKey(WORD vk, bool* keypad) {
  if (keypad) *keypad = false;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;
  if (vk >= VK_F1 && vk <= VK_F24) return Qt::Key_F1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
    if (keypad) *keypad = true;
    return Qt::Key_0 + (vk - VK_NUMPAD0);
  }
  for (const auto& k : kKeypad) {
    if (k.vk == vk && vk != VK_RETURN) {
      if (keypad) *keypad = true;
      return k.qt;
    }
  }
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT: return Qt::Key_Shift;
    case VK_LCONTROL:
    case VK_RCONTROL: return Qt::Key_Control;
    case VK_LMENU:
    case VK_RMENU: return Qt::Key_Alt;
    default: break;
  }
  for (const auto& k : kKeys)
    if (k.vk == vk && !(vk >= '0' && vk <= '9')) return k.qt;
  return Qt::Key_unknown;
}

LPARAM MakeKeyData(WORD repeatCount, BYTE scanCode, bool extended, bool altDown, bool previouslyDown,
                   bool goingUp) {
  DWORD data = DWORD(repeatCount) | (DWORD(scanCode) << 16);
  if (extended) data |= 1u << 24;
  if (altDown) data |= 1u << 29;
  if (previouslyDown) data |= 1u << 30;
  if (goingUp) data |= 1u << 31;
  return LPARAM(LONG(data));
}

BYTE ScanCodeOfVirtualKey(WORD vk, bool keypad) {
  if (keypad && vk == VK_RETURN) return 0x1C;
  if (vk >= VK_F13 && vk <= VK_F24) return BYTE(0x64 + (vk - VK_F13));
  for (const auto& e : kScan)
    if (e.vk == vk) return e.scan;
  return 0;
}

bool IsExtendedKey(WORD vk, bool keypad) {
  if (isNavigationKey(vk)) return !keypad;
  switch (vk) {
    case VK_RETURN: return keypad;
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_SNAPSHOT: return true;
    default: return false;
  }
}

BYTE ScanCodeOfKeyEvent(const QKeyEvent& e, WORD vk) {
  // Native codes of X11 and Wayland are evdev codes plus 8; below 0x59 evdev
  // codes equal the set-1 scan codes of the same physical key.
  const quint32 native = e.nativeScanCode();
  static const bool evdev = QGuiApplication::platformName() == QLatin1String("xcb") ||
                            QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  if (evdev && native > 8 && native - 8 < 0x59 && !IsExtendedKey(vk, e.modifiers() & Qt::KeypadModifier))
    return BYTE(native - 8);
  return ScanCodeOfVirtualKey(vk, e.modifiers() & Qt::KeypadModifier);
}

void NoteKeyEvent(WORD vk, bool down, Qt::KeyboardModifiers modifiers) {
  KeyStates& s = states();
  std::lock_guard lock(s.mutex);
  // The event carries the modifiers from before a modifier key changed.
  if (Qt::KeyboardModifier m = modifierOf(vk); m != Qt::NoModifier) {
    if (down)
      modifiers |= m;
    else
      modifiers &= ~m;
    WORD sided = vk == VK_SHIFT ? VK_LSHIFT : vk == VK_CONTROL ? VK_LCONTROL : vk == VK_MENU ? VK_LMENU : 0;
    if (sided) s.down[sided] = down;
  }
  s.modifiers = modifiers;
  if (vk > 255) return;
  if (down && !s.down[vk] && isToggleKey(vk)) s.toggled[vk] = !s.toggled[vk];
  s.down[vk] = down;
}

void NoteMouseButtons(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  KeyStates& s = states();
  std::lock_guard lock(s.mutex);
  s.buttons = buttons;
  s.modifiers = modifiers;
}

SHORT GetKeyState(int vk) { return keyState(vk, {}, {}); }

SHORT GetAsyncKeyState(int vk) {
  Qt::KeyboardModifiers mods;
  Qt::MouseButtons buttons;
  if (qApp && QThread::currentThread() == qApp->thread()) {
    mods = QGuiApplication::queryKeyboardModifiers();
    buttons = QGuiApplication::mouseButtons();
  }
  return keyState(vk, mods, buttons);
}

BOOL GetKeyboardState(BYTE* keyState) {
  if (!keyState) return FALSE;
  for (int vk = 0; vk < 256; ++vk) {
    SHORT s = GetKeyState(vk);
    keyState[vk] = BYTE((s < 0 ? 0x80 : 0) | (s & 1));
  }
  return TRUE;
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers & Qt::ShiftModifier) s.Include(ssShift);
  if (modifiers & Qt::AltModifier) s.Include(ssAlt);
  if (modifiers & Qt::ControlModifier) s.Include(ssCtrl);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

TShiftState KeysToShiftState(WORD keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(ssShift);
  if (keys & MK_CONTROL) s.Include(ssCtrl);
  if (keys & MK_LBUTTON) s.Include(ssLeft);
  if (keys & MK_RBUTTON) s.Include(ssRight);
  if (keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (keyData & (LPARAM(1) << 29)) s.Include(ssAlt);
  return s;
}

WORD MouseKeyFlags(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  WORD keys = 0;
  if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
  if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
  if (buttons & Qt::ExtraButton1) keys |= MK_XBUTTON1;
  if (buttons & Qt::ExtraButton2) keys |= MK_XBUTTON2;
  if (modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
  return keys;
}
