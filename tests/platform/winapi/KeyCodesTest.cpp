// Virtual keys, key data and shift states.
#include <gtest/gtest.h>

#include "platform/winapi/KeyCodes.h"

namespace {

TEST(KeyCodes, VirtualKeysTranslateToQtAndBack) {
  int translated = 0;
  for (int vk = 1; vk < 256; ++vk) {
    bool keypad = false;
    int qt = QtKeyFromVirtualKey(WORD(vk), &keypad);
    if (qt == Qt::Key_unknown) continue;
    ++translated;
    WORD back = VirtualKeyFromQt(qt, keypad ? Qt::KeypadModifier : Qt::NoModifier);
    // The sided modifier keys come back as the generic ones.
    WORD expected = WORD(vk);
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) expected = VK_SHIFT;
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) expected = VK_CONTROL;
    if (vk == VK_LMENU || vk == VK_RMENU) expected = VK_MENU;
    EXPECT_EQ(back, expected) << "virtual key " << vk;
  }
  EXPECT_GT(translated, 120);

  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_A), 'A');
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_7), '7');
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Ampersand), '7');  // shifted digit: same key
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_7, Qt::KeypadModifier), VK_NUMPAD7);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Plus), VK_OEM_PLUS);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Plus, Qt::KeypadModifier), VK_ADD);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Enter, Qt::KeypadModifier), VK_RETURN);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Backtab, Qt::ShiftModifier), VK_TAB);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F24), VK_F24);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Back), VK_BROWSER_BACK);
  EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Adiaeresis), 0);
  EXPECT_EQ(QtKeyFromVirtualKey(VK_RETURN), Qt::Key_Return);
  EXPECT_EQ(QtKeyFromVirtualKey(0xFF), Qt::Key_unknown);
}

TEST(KeyCodes, KeyDataPacksTheFields) {
  NoteMouseButtons(Qt::NoButton, Qt::NoModifier);
  LPARAM down = MakeKeyData(1, ScanCodeOfVirtualKey('A'), IsExtendedKey('A'), false, false, false);
  EXPECT_EQ(down, 0x001E0001);
  LPARAM up = MakeKeyData(1, ScanCodeOfVirtualKey(VK_LEFT), IsExtendedKey(VK_LEFT), true, true, true);
  EXPECT_EQ(DWORD(up), 0xE14B0001u);
  EXPECT_LT(up, 0);                             // bit 31 makes it negative, as a 32-bit key-data word is
  EXPECT_FALSE(IsExtendedKey(VK_LEFT, true));   // the keypad's arrow
  EXPECT_TRUE(IsExtendedKey(VK_RETURN, true));  // the keypad's Enter
  EXPECT_FALSE(IsExtendedKey(VK_RETURN));
  EXPECT_EQ(ScanCodeOfVirtualKey(VK_RETURN), 0x1C);
  EXPECT_EQ(ScanCodeOfVirtualKey(VK_F12), 0x58);
  EXPECT_EQ(KeyDataToShiftState(up), TShiftState({ssAlt}));
}

TEST(KeyCodes, KeyStatesFollowTheKeysSeen) {
  NoteKeyEvent(VK_CAPITAL, true, Qt::NoModifier);
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 0x8001, 0x8001);
  NoteKeyEvent(VK_CAPITAL, false, Qt::NoModifier);
  EXPECT_EQ(GetKeyState(VK_CAPITAL), 1);  // up, toggled on
  NoteKeyEvent(VK_CAPITAL, true, Qt::NoModifier);
  NoteKeyEvent(VK_CAPITAL, true, Qt::NoModifier);  // auto-repeat does not toggle again
  NoteKeyEvent(VK_CAPITAL, false, Qt::NoModifier);
  EXPECT_EQ(GetKeyState(VK_CAPITAL), 0);

  // A modifier key's own event carries the state from before it.
  NoteKeyEvent(VK_CONTROL, true, Qt::NoModifier);
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  EXPECT_LT(GetKeyState(VK_LCONTROL), 0);
  NoteKeyEvent(VK_CONTROL, false, Qt::ControlModifier);
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);

  NoteMouseButtons(Qt::LeftButton | Qt::MiddleButton, Qt::ShiftModifier);
  EXPECT_LT(GetKeyState(VK_LBUTTON), 0);
  EXPECT_LT(GetKeyState(VK_MBUTTON), 0);
  EXPECT_GE(GetKeyState(VK_RBUTTON), 0);
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  BYTE all[256];
  ASSERT_TRUE(GetKeyboardState(all));
  EXPECT_EQ(all[VK_LBUTTON], 0x80);
  EXPECT_EQ(all[VK_RBUTTON], 0);
  NoteMouseButtons(Qt::NoButton, Qt::NoModifier);
  EXPECT_GE(GetKeyState(VK_LBUTTON), 0);
}

TEST(KeyCodes, ShiftStates) {
  TShiftState s = ShiftStateFromQt(Qt::ShiftModifier | Qt::ControlModifier, Qt::RightButton);
  EXPECT_EQ(s, TShiftState({ssShift, ssCtrl, ssRight}));
  EXPECT_EQ(MouseKeyFlags(Qt::ShiftModifier | Qt::ControlModifier, Qt::RightButton),
            MK_SHIFT | MK_CONTROL | MK_RBUTTON);
  EXPECT_TRUE((s - TShiftState{ssShift}) == TShiftState({ssCtrl, ssRight}));
  s += ssDouble;
  EXPECT_TRUE(s.Contains(ssDouble));
  EXPECT_TRUE(TShiftState({ssCtrl}) <= s);
  EXPECT_FALSE(s <= TShiftState({ssCtrl}));
  EXPECT_TRUE((s * TShiftState{ssAlt}).Empty());
}

}  // namespace
