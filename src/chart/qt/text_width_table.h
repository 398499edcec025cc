#pragma once
// Fast text widths for printable ASCII: per-glyph advances plus pair adjustments (kerning), each
// measured once per font through Qt's own shaping and kept for the process. A bottom axis with a label
// per point asks for a hundred thousand widths per paint; shaping each one would take longer than the
// whole paint may.
#include <QFont>
#include <QFontMetricsF>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace quorvel {

class TTextWidthTable {
public:
    // The table of one font; tables live until the process ends.
    static TTextWidthTable& ForFont(const QFont& font);

    explicit TTextWidthTable(const QFont& font);

    // Width of the text as QFontMetrics::horizontalAdvance gives it, or -1 when the text holds a
    // character outside printable ASCII (the caller then shapes it in full).
    int Width(std::string_view text);
    // TCanvas::NarrowestWithOtherDigits for this font (-1 where Width gives -1).
    int NarrowestWithOtherDigits(std::string_view text);

private:
    static constexpr int kFirst = 0x20;
    static constexpr int kCount = 0x7F - kFirst;
    static constexpr std::int32_t kUnknown = INT32_MIN;

    // Advances and adjustments in 1/64 pixel, the unit Qt adds them in; measured on first use.
    std::int32_t Advance(int c);
    std::int32_t AdvanceAfter(int a, int b);

    QFontMetricsF metrics_;
    std::array<std::int32_t, kCount> advance_;
    // The advance of b after a: b's own plus the pair's adjustment, one lookup per character.
    std::unique_ptr<std::array<std::int32_t, kCount * kCount>> after_;
    // The least advance of a digit (first, after c, before c) and of a digit after a digit; measured on
    // first use.
    std::int32_t LeastDigitAdvance(int before);
    std::int32_t LeastAdvanceAfterDigit(int c);
    std::array<std::int32_t, kCount + 1> leastDigitAfter_;  // [kCount]: a digit first
    std::array<std::int32_t, kCount> leastAfterDigit_;
};

}  // namespace quorvel
