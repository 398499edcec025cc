#pragma once
// One column of the data table's cell texts, kept in one byte buffer with a small entry per row: a
// million rows of short numbers then cost their bytes and eight more per cell, instead of a string
// object of 32 bytes each. A rewritten cell leaves its old bytes behind; they are dropped once they
// make up more than half of the buffer. A text given out stays valid until the column is next changed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class TTextColumn {
public:
    std::size_t size() const { return entries_.size(); }
    std::size_t capacity() const { return entries_.capacity(); }
    // New rows are empty; rows cut off are gone.
    void resize(std::size_t rows);
    void reserve(std::size_t rows);
    // Room for this many more bytes of text.
    void ReserveText(std::size_t bytes) { bytes_.reserve(bytes_.size() + bytes); }
    // Gives back the room of rows and bytes no longer used; only a request.
    void shrink_to_fit();

    std::string_view Text(std::size_t row) const;  // row < size()
    // Throws std::bad_alloc (with the column unchanged) when there is no room for the text.
    void SetText(std::size_t row, std::string_view text);

    // While held, a rewritten cell's old text is kept where it was, so that the cell can be given it
    // back without a byte of new room: Entry before a change, SetEntry to undo it.
    void Hold(bool hold);
    std::uint64_t Entry(std::size_t row) const { return entries_[row]; }
    void SetEntry(std::size_t row, std::uint64_t entry) { entries_[row] = entry; }

private:
    // Offset and length in one word: 40 bits of offset, 24 of length. A text of 2^24 - 1 bytes or
    // more is kept whole in longTexts_, its entry holding its index there.
    static constexpr unsigned kLengthBits = 24;
    static constexpr std::uint64_t kLongText = (std::uint64_t{1} << kLengthBits) - 1;

    static std::uint64_t LengthOf(std::uint64_t entry) { return entry & kLongText; }
    static std::uint64_t OffsetOf(std::uint64_t entry) { return entry >> kLengthBits; }
    void Compact();
    void CompactIfWasteful();

    std::vector<std::uint64_t> entries_;
    std::string bytes_;
    std::size_t unused_ = 0;  // bytes no entry points at (at most; a held change may point back)
    bool held_ = false;
    std::vector<std::string> longTexts_;
};

}  // namespace quorvel
