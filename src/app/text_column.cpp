#include "app/text_column.h"

#include <algorithm>
#include <new>

namespace quorvel {

namespace {

// Unused bytes are dropped once there are this many and they outweigh the texts in use.
constexpr std::size_t kCompactFrom = std::size_t{1} << 16;
constexpr std::uint64_t kOffsetLimit = std::uint64_t{1} << 40;

}  // namespace

void TTextColumn::resize(std::size_t rows) {
    for (std::size_t row = rows; row < entries_.size(); ++row) {
        const std::uint64_t entry = entries_[row];
        unused_ += LengthOf(entry) == kLongText ? longTexts_[OffsetOf(entry)].size() : LengthOf(entry);
    }
    entries_.resize(rows, 0);
    if (rows == 0 && !held_) {
        bytes_.clear();
        longTexts_.clear();
        unused_ = 0;
    }
}

void TTextColumn::reserve(std::size_t rows) {
    entries_.reserve(rows);
}

void TTextColumn::shrink_to_fit() {
    if (!held_ && unused_ > 0) {
        try {
            Compact();
        } catch (const std::bad_alloc&) {
            // Only room is lost.
        }
    }
    entries_.shrink_to_fit();
    bytes_.shrink_to_fit();
}

std::string_view TTextColumn::Text(std::size_t row) const {
    const std::uint64_t entry = entries_[row];
    const std::uint64_t length = LengthOf(entry);
    if (length == kLongText) {
        return longTexts_[OffsetOf(entry)];
    }
    return std::string_view(bytes_.data() + OffsetOf(entry), length);
}

void TTextColumn::SetText(std::size_t row, std::string_view text) {
    // The new text's room first: should it fail, the cell keeps its old text.
    std::uint64_t entry = 0;
    if (text.size() >= kLongText) {
        longTexts_.emplace_back(text);
        entry = (static_cast<std::uint64_t>(longTexts_.size() - 1) << kLengthBits) | kLongText;
    } else if (!text.empty()) {
        if (bytes_.size() + text.size() >= kOffsetLimit) {
            throw std::bad_alloc();
        }
        entry = (static_cast<std::uint64_t>(bytes_.size()) << kLengthBits) | text.size();
        bytes_.append(text);
    }
    const std::uint64_t old = entries_[row];
    if (LengthOf(old) == kLongText) {
        std::string& longText = longTexts_[OffsetOf(old)];
        if (held_) {
            unused_ += longText.size();
        } else {
            std::string().swap(longText);
        }
    } else {
        unused_ += LengthOf(old);
    }
    entries_[row] = entry;
    CompactIfWasteful();
}

void TTextColumn::Hold(bool hold) {
    held_ = hold;
    CompactIfWasteful();
}

void TTextColumn::CompactIfWasteful() {
    if (!held_ && unused_ >= kCompactFrom && unused_ > bytes_.size() / 2) {
        try {
            Compact();
        } catch (const std::bad_alloc&) {
            // Only room is lost.
        }
    }
}

void TTextColumn::Compact() {
    std::string bytes;
    bytes.reserve(bytes_.size() - std::min(unused_, bytes_.size()));
    std::vector<std::string> longTexts;
    std::vector<std::uint64_t> entries = entries_;
    for (std::uint64_t& entry : entries) {
        const std::uint64_t length = LengthOf(entry);
        if (length == kLongText) {
            longTexts.push_back(longTexts_[OffsetOf(entry)]);
            entry = (static_cast<std::uint64_t>(longTexts.size() - 1) << kLengthBits) | kLongText;
        } else if (length != 0) {
            const std::uint64_t offset = bytes.size();
            bytes.append(bytes_, OffsetOf(entry), length);
            entry = (offset << kLengthBits) | length;
        }
    }
    entries_.swap(entries);
    bytes_.swap(bytes);
    longTexts_.swap(longTexts);
    unused_ = 0;
}

}  // namespace quorvel
