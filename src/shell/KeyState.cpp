#include "shell/KeyState.h"

#include <QGuiApplication>

namespace qd {

namespace {

int keyState(int virtualKey)
{
    if (!qGuiApp)
        return 0;
    bool down = false;
    switch (virtualKey) {
    case VK_LBUTTON:
        down = QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
        break;
    case VK_RBUTTON:
        down = QGuiApplication::mouseButtons().testFlag(Qt::RightButton);
        break;
    case VK_MBUTTON:
        down = QGuiApplication::mouseButtons().testFlag(Qt::MiddleButton);
        break;
    case VK_SHIFT:
        down = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
        break;
    case VK_CONTROL:
        down = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
        break;
    case VK_MENU:
        down = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
        break;
    default:
        break;
    }
    return down ? KeyDownMask : 0;
}

} // namespace

bool KeyStateHasFlag(int virtualKey, int mask)
{
    return (keyState(virtualKey) & mask) != 0;
}

bool IsKeyDown(int virtualKey)
{
    return KeyStateHasFlag(virtualKey, KeyDownMask);
}

} // namespace qd
