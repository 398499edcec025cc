#include "chart/qt/text_width_table.h"

#include <QString>
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
