#pragma once

namespace qd {

// Virtual-key codes the program asks about.
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;

// The state bit of a key held down.
inline constexpr int KeyDownMask = 0x80;

// Whether the state of virtualKey has a bit of mask: 0x80 while the key is held down. Only the
// mouse buttons and the Shift, Ctrl and Alt keys have a state here (a windowing system keeps
// no state of other keys for an application); the others read as 0.
bool KeyStateHasFlag(int virtualKey, int mask);
bool IsKeyDown(int virtualKey);

} // namespace qd
