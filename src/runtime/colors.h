#pragma once
// Colours are 32-bit values in blue-green-red order (red is 0x0000FF).
#include <cstdint>

namespace quorvel {

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clLime = 0x00FF00;
// Stands for "the series' own colour".
inline constexpr TColor AutoColor = 0x80000000;

constexpr int ColorRed(TColor c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int ColorGreen(TColor c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int ColorBlue(TColor c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

}  // namespace quorvel
