#pragma once
// What a line of text is made of: the one tokenizer of every line format the program reads (the data
// file's "Y X" lines, the readings of --apply), so that each format's rules are written once.
//   - A line ends at its line end (LF; in formats that say so also CR, and CR LF as one).
//   - Words are runs of bytes other than the blanks (blank, tab, vertical tab, form feed; CR where it ends
//     no line) and the line ends.
//   - Where the format says so, a NUL ends the line's text: the rest of that line is not seen. Elsewhere
//     it is a byte of its word.
//   - A byte-order mark (EF BB BF) at the very start of a text is skipped.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorvel {

// The rules of one line format.
struct TLineRules {
    bool nulEndsText = true;  // else a NUL belongs to its word
    bool crEndsLine = false;  // else a CR is a blank (so a CR LF line end reads as LF alone)
};

// A data file's lines: "Y X", further words ignored.
inline constexpr TLineRules kDataLines{true, false};
// The readings quorvel-fit --apply takes, one to a line, as any text editor may have written them.
inline constexpr TLineRules kReadingLines{false, true};

enum TByteClass : unsigned char { bcWord, bcBlank, bcLineEnd, bcTextEnd };

constexpr std::array<unsigned char, 256> ByteClasses(TLineRules rules) {
    std::array<unsigned char, 256> classes{};
    for (const char c : {' ', '\t', '\v', '\f'}) {
        classes[static_cast<unsigned char>(c)] = bcBlank;
    }
    classes['\r'] = rules.crEndsLine ? bcLineEnd : bcBlank;
    classes['\n'] = bcLineEnd;
    classes[0] = rules.nulEndsText ? bcTextEnd : bcWord;
    return classes;
}

template <TLineRules R>
inline constexpr std::array<unsigned char, 256> kByteClasses = ByteClasses(R);

template <TLineRules R>
inline unsigned char ClassOf(char c) {
    return kByteClasses<R>[static_cast<unsigned char>(c)];
}

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class TMarkMatch { No, Yes, NotYet };
// Whether a text that begins with `head` begins with a byte-order mark: NotYet while head is a proper
// beginning of one and more of the text may follow.
inline TMarkMatch MatchByteOrderMark(std::string_view head, bool textEnded) {
    const std::size_t n = head.size() < kByteOrderMark.size() ? head.size() : kByteOrderMark.size();
    if (head.substr(0, n) != kByteOrderMark.substr(0, n)) {
        return TMarkMatch::No;
    }
    if (n == kByteOrderMark.size()) {
        return TMarkMatch::Yes;
    }
    return textEnded ? TMarkMatch::No : TMarkMatch::NotYet;
}

// The first byte from p on (before end) that is not part of a word. Every such byte is below 0x21 in
// every format, so eight bytes at a time are tried for one, and only a candidate is looked up.
template <TLineRules R>
inline const char* WordEnd(const char* p, const char* const end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::big) {
            w = __builtin_bswap64(w);
        }
        // The lowest byte below 0x21 sets its high bit here (higher bytes may be flagged falsely).
        const std::uint64_t below = (w - kOnes * 0x21) & ~w & (kOnes * 0x80);
        if (below == 0) {
            p += 8;
            continue;
        }
        p += std::countr_zero(below) / 8;
        if (ClassOf<R>(*p) != bcWord) {
            return p;
        }
        ++p;  // a control character that words may hold
    }
    while (p < end && ClassOf<R>(*p) == bcWord) {
        ++p;
    }
    return p;
}

// The first line end from p on, or end.
template <TLineRules R>
inline const char* LineEndFrom(const char* p, const char* const end) {
    if constexpr (!R.crEndsLine) {
        const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        return lf != nullptr ? static_cast<const char*>(lf) : end;
    } else {
        while (p < end && *p != '\n' && *p != '\r') {
            ++p;
        }
        return p;
    }
}

// The last line end in [p, end), or nullptr.
template <TLineRules R>
inline const char* LastLineEnd(const char* p, const char* end) {
    if constexpr (!R.crEndsLine) {
        return static_cast<const char*>(memrchr(p, '\n', static_cast<std::size_t>(end - p)));
    } else {
        while (end > p) {
            --end;
            if (*end == '\n' || *end == '\r') {
                return end;
            }
        }
        return nullptr;
    }
}

// Where the line after the one that ends at lineEnd (a line end, or end) begins: a CR LF is one end.
template <TLineRules R>
inline const char* NextLineStart(const char* lineEnd, const char* const end) {
    if (lineEnd == end) {
        return end;
    }
    if constexpr (R.crEndsLine) {
        if (*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n') {
            return lineEnd + 2;
        }
    }
    return lineEnd + 1;
}

// The words of one line, one after the other. The line begins at p; [p, end) holds it with its line end,
// or ends with the line. Bytes from `from` (at or before p) up to end lie in memory, for readers that
// load several bytes at once.
template <TLineRules R>
class TLineCursor {
public:
    TLineCursor(const char* from, const char* p, const char* end) : from_(from), p_(p), end_(end) {}

    // The next word; empty once the line's text has no more.
    std::string_view Next() {
        const char* const begin = WordStart();
        if (begin == nullptr) {
            return {};
        }
        p_ = WordEnd<R>(begin, end_);
        return {begin, static_cast<std::size_t>(p_ - begin)};
    }

    // The same, where `read(from, begin, end)` may read the word at `begin` as a value on the way and
    // tells where that value ends (nullptr where it reads none). `read` says true when the value is the
    // whole word; otherwise the word is found as Next finds it.
    template <class Read>
    std::string_view Next(Read&& read, bool& whole) {
        whole = false;
        const char* const begin = WordStart();
        if (begin == nullptr) {
            return {};
        }
        const char* const stop = read(from_, begin, end_);
        if (stop != nullptr && stop > begin && (stop == end_ || ClassOf<R>(*stop) != bcWord)) {
            whole = true;
            p_ = stop;
        } else {
            p_ = WordEnd<R>(begin, end_);
        }
        return {begin, static_cast<std::size_t>(p_ - begin)};
    }

    // Where the words read so far end, or after the blanks where Next found no more: at a line end, at a
    // NUL that ends the text, or at end.
    const char* At() const { return p_; }

    // The line's end (its line end, or end), past the words not asked for.
    const char* LineEnd() const {
        if (p_ == end_ || ClassOf<R>(*p_) == bcLineEnd) {
            return p_;
        }
        return LineEndFrom<R>(p_, end_);
    }

private:
    const char* WordStart() {
        while (p_ < end_ && ClassOf<R>(*p_) == bcBlank) {
            ++p_;
        }
        return p_ < end_ && ClassOf<R>(*p_) == bcWord ? p_ : nullptr;
    }

    const char* from_;
    const char* p_;
    const char* end_;
};

// The beginning of a line that has not ended yet, [data, data + size) without a line end, written shorter
// where its first `words` words read the same whatever follows: those words with one blank between them,
// then a blank where the bytes ended between words, or the NUL that ended its text. What follows such a
// beginning is read as it would have been after the whole. Returns the new size.
template <TLineRules R>
std::size_t ShortenOpenLine(char* data, std::size_t size, int words) {
    TLineCursor<R> line(data, data, data + size);
    std::size_t out = 0;
    int count = 0;
    for (std::string_view word = line.Next(); !word.empty(); word = line.Next()) {
        if (count > 0) {
            data[out++] = ' ';
        }
        std::memmove(data + out, word.data(), word.size());
        out += word.size();
        const bool open = word.data() + word.size() == data + size;
        if (open) {
            return out;  // the last word may go on
        }
        if (++count == words) {
            data[out++] = ' ';  // closed: the rest of the line is not read
            return out;
        }
    }
    const char* const stop = line.At();
    if (stop < data + size && ClassOf<R>(*stop) == bcTextEnd) {
        data[out++] = '\0';
    } else if (count > 0) {
        data[out++] = ' ';
    }
    return out;
}

}  // namespace quorvel
