#pragma once
// A text's bytes, as they arrive in pieces of any size, cut into whole lines for a sink that takes them
// one at a time; and the reads that bring the pieces, in order or in two halves at once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "fitting/line_words.h"
#include "fitting/work_options.h"

namespace quorvel {

// Puts up to `size` bytes into the buffer: how many, 0 at the end, or a negative number on an error.
using TByteSource = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;
// The same from `offset` on, as pread does. May be called from two threads at once.
using TPositionalSource = std::function<std::ptrdiff_t(char* buffer, std::size_t size, std::uint64_t offset)>;
// Told the bytes read so far, and the text's size, before each piece; returning false stops the read.
using TReadProgress = std::function<bool(std::uint64_t bytesRead, std::uint64_t fileSize)>;

// Takes a text's bytes in pieces.
class ILineFeed {
public:
    virtual ~ILineFeed() = default;
    // The next bytes. Returns false, and takes nothing more, once it refuses the text.
    virtual bool Feed(std::string_view bytes) = 0;
    // The text has ended: a last line without its line end is a line too. False when that is refused.
    virtual bool Finish() = 0;
    // A read failed: the line begun may not be whole and is dropped.
    virtual void Abandon() = 0;
};

// Why a splitter took no more.
enum class TLinesRefusal { None, TooManyLines, LineTooLong, Stopped };

struct TLineLimits {
    std::size_t maxLines = SIZE_MAX;
    std::size_t maxLineBytes = 0;  // its line end not counted; 0 takes lines of any length
    // Without a limit, a line begun in an earlier piece is written shorter (ShortenOpenLine) once it has
    // this many bytes, and again each time it has doubled since, so that a text without line ends takes
    // the room of its words, not of its bytes.
    std::size_t shortenFrom = std::size_t{1} << 16;
};

// Cuts a text into lines by the rules R and hands each line to the sink: sink.Read(cursor) takes the
// words it needs, then, once the line is known to be within the limits, sink.Take(what Read gave), which
// returns false to stop. Sink::kWords is the most words the sink reads of a line.
template <TLineRules R, class Sink>
class TLineSplitter final : public ILineFeed {
public:
    // A splitter that starts after a line end (atTextStart false) takes no byte-order mark.
    TLineSplitter(Sink& sink, TLineLimits limits, bool atTextStart = true)
        : sink_(sink), limits_(limits), atStart_(atTextStart), shortenAt_(limits.shortenFrom) {}

    bool Feed(std::string_view bytes) override;
    bool Finish() override;
    void Abandon() override {
        carry_.clear();
        lineOpen_ = false;
    }
    TLinesRefusal Refusal() const { return refusal_; }
    std::size_t Lines() const { return lines_; }

private:
    bool Refuse(TLinesRefusal why) {
        refusal_ = why;
        return false;
    }
    bool TakeMark(const char*& p, const char* end);
    bool OpenLine() {
        lineOpen_ = true;
        return lines_ < limits_.maxLines || Refuse(TLinesRefusal::TooManyLines);
    }
    bool Carry(const char* p, const char* end);
    bool TakeCarried();
    const char* TakeLine(const char* from, const char* p, const char* end);
    bool Walk(const char* from, const char* end);
    const char* After(const char* lineEnd, const char* end);

    Sink& sink_;
    TLineLimits limits_;
    bool atStart_;
    bool lineOpen_ = false;  // a line has begun in an earlier piece: its bytes are in carry_
    bool skipLf_ = false;    // the last piece ended with a CR that ends a line: an LF next belongs to it
    TLinesRefusal refusal_ = TLinesRefusal::None;
    std::size_t lines_ = 0;
    std::size_t shortenAt_;
    std::string carry_;
};

template <TLineRules R, class Sink>
bool TLineSplitter<R, Sink>::Feed(std::string_view bytes) {
    if (refusal_ != TLinesRefusal::None) {
        return false;
    }
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    if (atStart_ && !TakeMark(p, end)) {
        return refusal_ == TLinesRefusal::None;
    }
    if (skipLf_ && p < end) {
        skipLf_ = false;
        p += *p == '\n' ? 1 : 0;
    }
    if (lineOpen_ && p < end) {
        // The line begun goes on up to this piece's first line end.
        const char* const lineEnd = LineEndFrom<R>(p, end);
        if (!Carry(p, lineEnd)) {
            return false;
        }
        if (lineEnd == end) {
            return true;
        }
        if (!TakeCarried()) {
            return false;
        }
        p = After(lineEnd, end);
    }
    if (const char* const last = LastLineEnd<R>(p, end)) {
        if (!Walk(p, last + 1)) {
            return false;
        }
        p = After(last, end);
    }
    return p == end || (OpenLine() && Carry(p, end));
}

template <TLineRules R, class Sink>
bool TLineSplitter<R, Sink>::Finish() {
    if (refusal_ != TLinesRefusal::None) {
        return false;
    }
    if (atStart_) {
        // Bytes held back as the start of a mark are text after all.
        atStart_ = false;
        if (!carry_.empty() && !OpenLine()) {
            return false;
        }
    }
    return !lineOpen_ || TakeCarried();
}

template <TLineRules R, class Sink>
bool TLineSplitter<R, Sink>::TakeMark(const char*& p, const char* end) {
    // The mark may arrive split over several pieces, and is held meanwhile; bytes that turn out not to be
    // one begin the first line.
    const std::size_t held = carry_.size();
    const auto more = std::min(static_cast<std::size_t>(end - p), kByteOrderMark.size() - held);
    carry_.append(p, more);
    const TMarkMatch match = MatchByteOrderMark(carry_, false);
    if (match == TMarkMatch::NotYet) {
        p += more;
        return false;
    }
    atStart_ = false;
    if (match == TMarkMatch::Yes) {
        p += more;
        carry_.clear();
        return true;
    }
    carry_.resize(held);
    return held == 0 || OpenLine();
}

template <TLineRules R, class Sink>
bool TLineSplitter<R, Sink>::Carry(const char* p, const char* end) {
    carry_.append(p, static_cast<std::size_t>(end - p));
    if (limits_.maxLineBytes != 0) {
        return carry_.size() <= limits_.maxLineBytes || Refuse(TLinesRefusal::LineTooLong);
    }
    if (carry_.size() >= shortenAt_) {
        carry_.resize(ShortenOpenLine<R>(carry_.data(), carry_.size(), Sink::kWords));
        shortenAt_ = std::max(limits_.shortenFrom, 2 * carry_.size());
    }
    return true;
}

template <TLineRules R, class Sink>
bool TLineSplitter<R, Sink>::TakeCarried() {
    lineOpen_ = false;
    shortenAt_ = limits_.shortenFrom;
    // The carried line is one line, even where it was written shorter to nothing.
    const bool taken = TakeLine(carry_.data(), carry_.data(), carry_.data() + carry_.size()) != nullptr;
    carry_.clear();
    return taken;
}

template <TLineRules R, class Sink>
const char* TLineSplitter<R, Sink>::TakeLine(const char* const from, const char* const p,
                                             const char* const end) {
    // The line that begins at p, with its line end or to end. Where it ends, or nullptr once refused.
    if (lines_ >= limits_.maxLines) {
        Refuse(TLinesRefusal::TooManyLines);
        return nullptr;
    }
    TLineCursor<R> line(from, p, end);
    auto words = sink_.Read(line);
    const char* const lineEnd = line.LineEnd();
    if (limits_.maxLineBytes != 0 && static_cast<std::size_t>(lineEnd - p) > limits_.maxLineBytes) {
        Refuse(TLinesRefusal::LineTooLong);
        return nullptr;
    }
    if (!sink_.Take(words)) {
        Refuse(TLinesRefusal::Stopped);
        return nullptr;
    }
    ++lines_;
    return lineEnd;
}

template <TLineRules R, class Sink>
bool TLineSplitter<R, Sink>::Walk(const char* const from, const char* const end) {
    // [from, end) holds whole lines, each with its line end but the last, which may end with the text.
    for (const char* p = from; p < end;) {
        const char* const lineEnd = TakeLine(from, p, end);
        if (lineEnd == nullptr) {
            return false;
        }
        p = NextLineStart<R>(lineEnd, end);
    }
    return true;
}

template <TLineRules R, class Sink>
const char* TLineSplitter<R, Sink>::After(const char* lineEnd, const char* end) {
    if constexpr (R.crEndsLine) {
        // A CR that ends the piece may be the first half of a CR LF.
        if (*lineEnd == '\r' && lineEnd + 1 == end) {
            skipLf_ = true;
        }
    }
    return NextLineStart<R>(lineEnd, end);
}

// How a read of a text's pieces ended.
enum class TPiecesEnd {
    Ended,       // at the text's end, or (for a half) where the half ends
    Refused,     // the feed took no more
    ReadFailed,  // a read failed: the feed dropped the line begun
    Cancelled,   // the progress said stop
    Stopped,     // the half was told to stop, the other having failed
};

// Feeds the source's pieces until the text's end (then Finish), a failed read (then Abandon), a refusal,
// or the progress's stop. The progress is told the bytes read so far and `size`.
TPiecesEnd FeedInOrder(const TByteSource& source, ILineFeed& feed, const TReadProgress& progress = {},
                       std::uint64_t size = 0);

// Where a half of the text that holds no line begins or ends.
inline constexpr std::uint64_t kNoLineStart = UINT64_MAX;

struct THalvesEnd {
    TPiecesEnd first = TPiecesEnd::Ended;
    TPiecesEnd second = TPiecesEnd::Ended;
    // Where the first half ended, after the first LF at or after the middle, and where the second's first
    // line began: kNoLineStart where there is none. They differ only where the text changed meanwhile.
    std::uint64_t firstEnd = kNoLineStart;
    std::uint64_t secondStart = kNoLineStart;
};

// Reads a text of about `size` bytes in two halves at once: into `first` from its start up to and with
// the first LF at or after the middle, into `second` from there to the end, beside the first as
// TWorkBeside runs it. Progress is told on the calling thread, of the bytes both halves have read; the
// second half stops once the first has not ended well. Should a feed throw, the first's exception (else
// the second's) is thrown on once both halves have stopped.
THalvesEnd FeedInTwoHalves(const TPositionalSource& source, std::uint64_t size, ILineFeed& first,
                           ILineFeed& second, const TReadProgress& progress, const TWorkOptions& work);

}  // namespace quorvel
