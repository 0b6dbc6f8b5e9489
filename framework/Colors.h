#pragma once
// Colours as forms declare them: a plain RGB value, or a system colour (high bit set, the
// system colour index in the low byte) that follows the user's scheme.
#include <windows.h>
#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
// "Not given": the control keeps what it would have by default (or inherits the form's).
constexpr TColor clDefault = 0x20000000;

inline COLORREF ColorToRGB(TColor color) {
    if (color & clSystemColor)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0xFFFFFF);
}
