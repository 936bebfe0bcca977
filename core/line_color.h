#pragma once

#include <QtGlobal>

// Colour of one display line: 0x00RRGGBB, or kWindowText for the desktop's
// colour of window text (resolved by the view, which knows the palette).
using LineColor = quint32;

constexpr LineColor Rgb(int r, int g, int b)
{
    return (static_cast<quint32>(r) << 16) | (static_cast<quint32>(g) << 8) | static_cast<quint32>(b);
}

constexpr LineColor kWindowText = 0xFF000000u;
constexpr LineColor kBlack = Rgb(0, 0, 0);
constexpr LineColor kBlue = Rgb(0, 0, 255);
constexpr LineColor kBlueAlternate = Rgb(10, 0, 255);
constexpr LineColor kGreen = Rgb(0, 128, 0);
constexpr LineColor kLime = Rgb(0, 255, 0);
constexpr LineColor kPurple = Rgb(128, 0, 128);
