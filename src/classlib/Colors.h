#pragma once

#include <cstdint>

namespace qd {

// Colours as the program stores them: 0x00BBGGRR for an explicit colour (red in the low byte),
// -1 for none, and the system colours below (high bit set, the system colour index in the low
// byte), which the widget layer turns into the palette's colours when it draws.
using TColor = std::int32_t;

inline constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
inline constexpr TColor clHighlight = static_cast<TColor>(0x8000000Du);
inline constexpr TColor clHighlightText = static_cast<TColor>(0x8000000Eu);
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGray = 0x808080;

inline constexpr bool IsSystemColor(TColor color)
{
    return color < -1;
}

} // namespace qd
