#include "chart/qt/text_width_table.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <map>

namespace quorvel {

namespace {

std::int32_t ToFixed(qreal v) {
    return static_cast<std::int32_t>(std::lround(v * 64.0));
}

}  // namespace

TTextWidthTable& TTextWidthTable::ForFont(const QFont& font) {
    // Keyed by Qt's own font description, which covers family, size, weight and style.
    static std::map<QString, std::unique_ptr<TTextWidthTable>> tables;
    const QString key = font.key();
    auto it = tables.find(key);
    if (it == tables.end()) {
        it = tables.emplace(key, std::make_unique<TTextWidthTable>(font)).first;
    }
    return *it->second;
}

TTextWidthTable::TTextWidthTable(const QFont& font)
    : metrics_(font), after_(std::make_unique<std::array<std::int32_t, kCount * kCount>>()) {
    advance_.fill(kUnknown);
    after_->fill(kUnknown);
    leastDigitAfter_.fill(kUnknown);
    leastAfterDigit_.fill(kUnknown);
}

std::int32_t TTextWidthTable::Advance(int c) {
    std::int32_t& a = advance_[static_cast<std::size_t>(c - kFirst)];
    if (a == kUnknown) {
        a = ToFixed(metrics_.horizontalAdvance(QString(QChar(c))));
    }
    return a;
}

std::int32_t TTextWidthTable::AdvanceAfter(int a, int b) {
    std::int32_t& after = (*after_)[static_cast<std::size_t>((a - kFirst) * kCount + (b - kFirst))];
    if (after == kUnknown) {
        QString pair;
        pair += QChar(a);
        pair += QChar(b);
        after = ToFixed(metrics_.horizontalAdvance(pair)) - Advance(a);
    }
    return after;
}

std::int32_t TTextWidthTable::LeastDigitAdvance(int before) {
    // before < 0: the digit comes first.
    std::int32_t& least = leastDigitAfter_[before < 0 ? kCount : static_cast<std::size_t>(before - kFirst)];
    if (least == kUnknown) {
        for (int d = '0'; d <= '9'; ++d) {
            const std::int32_t a = before < 0 ? Advance(d) : AdvanceAfter(before, d);
            least = d == '0' ? a : std::min(least, a);
        }
    }
    return least;
}

std::int32_t TTextWidthTable::LeastAdvanceAfterDigit(int c) {
    std::int32_t& least = leastAfterDigit_[static_cast<std::size_t>(c - kFirst)];
    if (least == kUnknown) {
        for (int d = '0'; d <= '9'; ++d) {
            const std::int32_t a = AdvanceAfter(d, c);
            least = d == '0' ? a : std::min(least, a);
        }
    }
    return least;
}

int TTextWidthTable::NarrowestWithOtherDigits(std::string_view text) {
    // A text's width is its first character's advance plus each next one's advance after the one before;
    // where a digit may stand, the least such advance of any digit.
    std::int64_t total = 0;
    int prev = -1;
    bool prevDigit = false;
    for (char ch : text) {
        const int c = static_cast<unsigned char>(ch);
        if (c < kFirst || c >= kFirst + kCount) {
            return -1;
        }
        const bool digit = c >= '0' && c <= '9';
        if (prev < 0) {
            total += digit ? LeastDigitAdvance(-1) : Advance(c);
        } else if (digit && prevDigit) {
            std::int32_t least = LeastDigitAdvance('0');
            for (int d = '1'; d <= '9'; ++d) {
                least = std::min(least, LeastDigitAdvance(d));
            }
            total += least;
        } else if (digit) {
            total += LeastDigitAdvance(prev);
        } else if (prevDigit) {
            total += LeastAdvanceAfterDigit(c);
        } else {
            total += AdvanceAfter(prev, c);
        }
        prev = c;
        prevDigit = digit;
    }
    // Rounded as Width rounds: a smaller total never rounds to more.
    return static_cast<int>((total + 32) >> 6);
}

int TTextWidthTable::Width(std::string_view text) {
    std::int64_t total = 0;
    int prev = -1;
    for (char ch : text) {
        const int c = static_cast<unsigned char>(ch);
        if (c < kFirst || c >= kFirst + kCount) {
            return -1;
        }
        if (prev < 0) {
            total += Advance(c);
        } else {
            const std::int32_t known =
                (*after_)[static_cast<std::size_t>((prev - kFirst) * kCount + (c - kFirst))];
            total += known != kUnknown ? known : AdvanceAfter(prev, c);
        }
        prev = c;
    }
    // Qt rounds the 1/64-pixel total half up.
    return static_cast<int>((total + 32) >> 6);
}

}  // namespace quorvel
