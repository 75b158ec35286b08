#pragma once
// Virtual-key codes, their translation from and to Qt keys, the key-data word
// of keyboard messages, key states and the shift state of input events.
#include "platform/rtl/WinTypes.h"
#include "platform/winapi/Messages.h"

#include <Qt>
#include <initializer_list>

class QKeyEvent;

// ---------------------------------------------------------------- virtual keys
// Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).

inline constexpr WORD VK_LBUTTON = 0x01;
inline constexpr WORD VK_RBUTTON = 0x02;
inline constexpr WORD VK_CANCEL = 0x03;
inline constexpr WORD VK_MBUTTON = 0x04;
inline constexpr WORD VK_XBUTTON1 = 0x05;
inline constexpr WORD VK_XBUTTON2 = 0x06;
inline constexpr WORD VK_BACK = 0x08;
inline constexpr WORD VK_TAB = 0x09;
inline constexpr WORD VK_CLEAR = 0x0C;
inline constexpr WORD VK_RETURN = 0x0D;
inline constexpr WORD VK_SHIFT = 0x10;
inline constexpr WORD VK_CONTROL = 0x11;
inline constexpr WORD VK_MENU = 0x12;
inline constexpr WORD VK_PAUSE = 0x13;
inline constexpr WORD VK_CAPITAL = 0x14;
inline constexpr WORD VK_ESCAPE = 0x1B;
inline constexpr WORD VK_SPACE = 0x20;
inline constexpr WORD VK_PRIOR = 0x21;
inline constexpr WORD VK_NEXT = 0x22;
inline constexpr WORD VK_END = 0x23;
inline constexpr WORD VK_HOME = 0x24;
inline constexpr WORD VK_LEFT = 0x25;
inline constexpr WORD VK_UP = 0x26;
inline constexpr WORD VK_RIGHT = 0x27;
inline constexpr WORD VK_DOWN = 0x28;
inline constexpr WORD VK_SELECT = 0x29;
inline constexpr WORD VK_PRINT = 0x2A;
inline constexpr WORD VK_EXECUTE = 0x2B;
inline constexpr WORD VK_SNAPSHOT = 0x2C;
inline constexpr WORD VK_INSERT = 0x2D;
inline constexpr WORD VK_DELETE = 0x2E;
inline constexpr WORD VK_HELP = 0x2F;
inline constexpr WORD VK_LWIN = 0x5B;
inline constexpr WORD VK_RWIN = 0x5C;
inline constexpr WORD VK_APPS = 0x5D;
inline constexpr WORD VK_SLEEP = 0x5F;
inline constexpr WORD VK_NUMPAD0 = 0x60;
inline constexpr WORD VK_NUMPAD1 = 0x61;
inline constexpr WORD VK_NUMPAD2 = 0x62;
inline constexpr WORD VK_NUMPAD3 = 0x63;
inline constexpr WORD VK_NUMPAD4 = 0x64;
inline constexpr WORD VK_NUMPAD5 = 0x65;
inline constexpr WORD VK_NUMPAD6 = 0x66;
inline constexpr WORD VK_NUMPAD7 = 0x67;
inline constexpr WORD VK_NUMPAD8 = 0x68;
inline constexpr WORD VK_NUMPAD9 = 0x69;
inline constexpr WORD VK_MULTIPLY = 0x6A;
inline constexpr WORD VK_ADD = 0x6B;
inline constexpr WORD VK_SEPARATOR = 0x6C;
inline constexpr WORD VK_SUBTRACT = 0x6D;
inline constexpr WORD VK_DECIMAL = 0x6E;
inline constexpr WORD VK_DIVIDE = 0x6F;
inline constexpr WORD VK_F1 = 0x70;
inline constexpr WORD VK_F2 = 0x71;
inline constexpr WORD VK_F3 = 0x72;
inline constexpr WORD VK_F4 = 0x73;
inline constexpr WORD VK_F5 = 0x74;
inline constexpr WORD VK_F6 = 0x75;
inline constexpr WORD VK_F7 = 0x76;
inline constexpr WORD VK_F8 = 0x77;
inline constexpr WORD VK_F9 = 0x78;
inline constexpr WORD VK_F10 = 0x79;
inline constexpr WORD VK_F11 = 0x7A;
inline constexpr WORD VK_F12 = 0x7B;
inline constexpr WORD VK_F13 = 0x7C;
inline constexpr WORD VK_F24 = 0x87;
inline constexpr WORD VK_NUMLOCK = 0x90;
inline constexpr WORD VK_SCROLL = 0x91;
inline constexpr WORD VK_LSHIFT = 0xA0;
inline constexpr WORD VK_RSHIFT = 0xA1;
inline constexpr WORD VK_LCONTROL = 0xA2;
inline constexpr WORD VK_RCONTROL = 0xA3;
inline constexpr WORD VK_LMENU = 0xA4;
inline constexpr WORD VK_RMENU = 0xA5;
inline constexpr WORD VK_BROWSER_BACK = 0xA6;
inline constexpr WORD VK_BROWSER_FORWARD = 0xA7;
inline constexpr WORD VK_BROWSER_REFRESH = 0xA8;
inline constexpr WORD VK_BROWSER_STOP = 0xA9;
inline constexpr WORD VK_BROWSER_SEARCH = 0xAA;
inline constexpr WORD VK_BROWSER_FAVORITES = 0xAB;
inline constexpr WORD VK_BROWSER_HOME = 0xAC;
inline constexpr WORD VK_VOLUME_MUTE = 0xAD;
inline constexpr WORD VK_VOLUME_DOWN = 0xAE;
inline constexpr WORD VK_VOLUME_UP = 0xAF;
inline constexpr WORD VK_MEDIA_NEXT_TRACK = 0xB0;
inline constexpr WORD VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr WORD VK_MEDIA_STOP = 0xB2;
inline constexpr WORD VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr WORD VK_LAUNCH_MAIL = 0xB4;
inline constexpr WORD VK_OEM_1 = 0xBA;       // ;:
inline constexpr WORD VK_OEM_PLUS = 0xBB;    // =+
inline constexpr WORD VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr WORD VK_OEM_MINUS = 0xBD;   // -_
inline constexpr WORD VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr WORD VK_OEM_2 = 0xBF;       // /?
inline constexpr WORD VK_OEM_3 = 0xC0;       // `~
inline constexpr WORD VK_OEM_4 = 0xDB;       // [{
inline constexpr WORD VK_OEM_5 = 0xDC;       // \|
inline constexpr WORD VK_OEM_6 = 0xDD;       // ]}
inline constexpr WORD VK_OEM_7 = 0xDE;       // '"
inline constexpr WORD VK_OEM_102 = 0xE2;     // <> of the 102-key keyboard

// The virtual key of a Qt key; keys of the numeric keypad (KeypadModifier)
// become the VK_NUMPAD* and arithmetic keys. 0 for keys without one.
WORD VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The Qt key of a virtual key (Qt::Key_unknown for none). Numeric-keypad keys
// answer their Qt key; `keypad` (optional) tells they need the KeypadModifier.
int QtKeyFromVirtualKey(WORD vk, bool* keypad = nullptr);

// The key-data word (LParam) of a keyboard message: repeat count in bits
// 0-15, scan code in 16-23, extended key in 24, context code (Alt held) in 29,
// previous key state in 30, transition (key going up) in 31.
LPARAM MakeKeyData(WORD repeatCount, BYTE scanCode, bool extended, bool altDown, bool previouslyDown,
                   bool goingUp);
// A plausible set-1 scan code of a virtual key (0 when unknown) and whether
// the key is one of the extended keys.
BYTE ScanCodeOfVirtualKey(WORD vk, bool keypad = false);
bool IsExtendedKey(WORD vk, bool keypad = false);
// The scan code of a Qt key event: the native one on platforms whose native
// codes are evdev codes, otherwise from the table above.
BYTE ScanCodeOfKeyEvent(const QKeyEvent& e, WORD vk);

// Key state as of the input being handled: bit 15 (negative SHORT) while the
// key is down, bit 0 toggled on for Caps Lock, Num Lock, Scroll Lock and
// Insert after an odd number of presses. Mouse buttons answer VK_LBUTTON etc.
SHORT GetKeyState(int vk);
// The same, taking the platform's own modifier and button state into account.
SHORT GetAsyncKeyState(int vk);
// Fills 256 bytes with the key states (bit 7 down, bit 0 toggled).
BOOL GetKeyboardState(BYTE* keyState);

// Records a key seen by the input translation (used by GetKeyState).
void NoteKeyEvent(WORD vk, bool down, Qt::KeyboardModifiers modifiers);
void NoteMouseButtons(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// ---------------------------------------------------------------- shift state

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };

// A set of TShiftStateItem values (the same operations as the class library's typed sets).
class TShiftState {
 public:
  constexpr TShiftState() = default;
  constexpr TShiftState(std::initializer_list<TShiftStateItem> items) {
    for (auto i : items) bits_ |= bit(i);
  }
  constexpr bool Contains(TShiftStateItem i) const { return (bits_ & bit(i)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TShiftState& Include(TShiftStateItem i) {
    bits_ |= bit(i);
    return *this;
  }
  constexpr TShiftState& Exclude(TShiftStateItem i) {
    bits_ &= ~bit(i);
    return *this;
  }
  constexpr TShiftState operator+(TShiftState o) const { return FromBits(bits_ | o.bits_); }
  constexpr TShiftState operator+(TShiftStateItem i) const { return FromBits(bits_ | bit(i)); }
  constexpr TShiftState operator-(TShiftState o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TShiftState operator-(TShiftStateItem i) const { return FromBits(bits_ & ~bit(i)); }
  constexpr TShiftState operator*(TShiftState o) const { return FromBits(bits_ & o.bits_); }
  constexpr TShiftState& operator+=(TShiftStateItem i) { return Include(i); }
  constexpr TShiftState& operator-=(TShiftStateItem i) { return Exclude(i); }
  constexpr bool operator<=(TShiftState o) const { return (bits_ & ~o.bits_) == 0; }
  constexpr bool operator==(const TShiftState&) const = default;
  constexpr unsigned Bits() const { return bits_; }
  static constexpr TShiftState FromBits(unsigned b) {
    TShiftState s;
    s.bits_ = b;
    return s;
  }

 private:
  static constexpr unsigned bit(TShiftStateItem i) { return 1u << unsigned(i); }
  unsigned bits_ = 0;
};

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = {});
// From the MK_ flags of a mouse message.
TShiftState KeysToShiftState(WORD keys);
// From a keyboard message's key data (Alt) and the current key states (Shift, Ctrl).
TShiftState KeyDataToShiftState(LPARAM keyData);
// The MK_ flags of the given modifiers and buttons.
WORD MouseKeyFlags(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
