#include "fitting/text_lines.h"

#include <atomic>
#include <bit>
#include <chrono>
#include <cstring>
#include <memory>

#include "fitting/two_parts.h"

namespace quorvel {

namespace {

// The room a source's pieces are read into: as large as the text (when its size is known), up to 256 KiB,
// so that a large text is read in pieces whose lines are walked while they are still in the cache; for a
// text of unknown size, a small one of its own at first, so that a short text costs no allocation, and
// twice as large after each read that filled it.
class TPieceRoom {
public:
    explicit TPieceRoom(std::uint64_t textBytes) {
        if (textBytes > kFirst) {
            size_ = std::min<std::size_t>(kLargest, std::bit_ceil(textBytes));
            large_.reset(new char[size_]);
            data_ = large_.get();
        }
    }
    TPieceRoom(const TPieceRoom&) = delete;
    TPieceRoom& operator=(const TPieceRoom&) = delete;
    char* Data() { return data_; }
    std::size_t Size() const { return size_; }
    // After a read of `got` bytes, once they are used.
    void Used(std::size_t got) {
        if (got == size_ && size_ < kLargest) {
            size_ *= 2;
            large_.reset(new char[size_]);
            data_ = large_.get();
        }
    }

private:
    static constexpr std::size_t kFirst = std::size_t{4} << 10;
    static constexpr std::size_t kLargest = std::size_t{256} << 10;
    std::size_t size_ = kFirst;
    char first_[kFirst];
    char* data_ = first_;
    std::unique_ptr<char[]> large_;
};

// The first half: up to and with the first LF at or after the middle (or to the end without one).
TPiecesEnd FeedFirstHalf(const TPositionalSource& source, std::uint64_t middle, ILineFeed& feed,
                         const std::function<bool(std::uint64_t at)>& told, std::uint64_t& end) {
    TPieceRoom room(middle);
    for (std::uint64_t at = 0;;) {
        if (!told(at)) {
            return TPiecesEnd::Cancelled;
        }
        char* const buffer = room.Data();
        const std::ptrdiff_t got = source(buffer, room.Size(), at);
        if (got < 0) {
            feed.Abandon();
            return TPiecesEnd::ReadFailed;
        }
        if (got == 0) {
            return feed.Finish() ? TPiecesEnd::Ended : TPiecesEnd::Refused;
        }
        auto take = static_cast<std::size_t>(got);
        bool last = false;
        if (at + take > middle) {
            const std::uint64_t from = std::max(at, middle);
            if (const void* lf = std::memchr(buffer + (from - at), '\n', at + take - from)) {
                take = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer) + 1;
                last = true;
            }
        }
        if (!feed.Feed(std::string_view(buffer, take))) {
            return TPiecesEnd::Refused;
        }
        at += take;
        if (last) {
            end = at;
            return TPiecesEnd::Ended;
        }
        room.Used(take);
    }
}

// The second half: from the first line that begins after the LF at or after the middle.
TPiecesEnd FeedSecondHalf(const TPositionalSource& source, std::uint64_t middle, ILineFeed& feed,
                          const std::atomic<bool>& stop, std::atomic<std::uint64_t>& bytes,
                          std::uint64_t& start) {
    TPieceRoom room(middle);
    for (std::uint64_t at = middle; !stop.load(std::memory_order_relaxed);) {
        const char* const buffer = room.Data();
        const std::ptrdiff_t got = source(room.Data(), room.Size(), at);
        if (got < 0) {
            feed.Abandon();
            return TPiecesEnd::ReadFailed;
        }
        if (got == 0) {
            return feed.Finish() ? TPiecesEnd::Ended : TPiecesEnd::Refused;
        }
        const char* p = buffer;
        if (start == kNoLineStart) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(got));
            if (lf == nullptr) {
                at += static_cast<std::uint64_t>(got);
                room.Used(static_cast<std::size_t>(got));
                continue;
            }
            p = static_cast<const char*>(lf) + 1;
            start = at + static_cast<std::uint64_t>(p - buffer);
        }
        if (!feed.Feed(std::string_view(p, static_cast<std::size_t>(buffer + got - p)))) {
            return TPiecesEnd::Refused;
        }
        at += static_cast<std::uint64_t>(got);
        bytes.store(at - middle, std::memory_order_relaxed);
        room.Used(static_cast<std::size_t>(got));
    }
    return TPiecesEnd::Stopped;
}

}  // namespace

TPiecesEnd FeedInOrder(const TByteSource& source, ILineFeed& feed, const TReadProgress& progress,
                       std::uint64_t size) {
    TPieceRoom room(size);
    for (std::uint64_t done = 0;;) {
        if (progress && !progress(done, size)) {
            return TPiecesEnd::Cancelled;
        }
        const std::ptrdiff_t got = source(room.Data(), room.Size());
        if (got < 0) {
            feed.Abandon();
            return TPiecesEnd::ReadFailed;
        }
        if (got == 0) {
            return feed.Finish() ? TPiecesEnd::Ended : TPiecesEnd::Refused;
        }
        if (!feed.Feed(std::string_view(room.Data(), static_cast<std::size_t>(got)))) {
            return TPiecesEnd::Refused;
        }
        done += static_cast<std::uint64_t>(got);
        room.Used(static_cast<std::size_t>(got));
    }
}

THalvesEnd FeedInTwoHalves(const TPositionalSource& source, std::uint64_t size, ILineFeed& first,
                           ILineFeed& second, const TReadProgress& progress, const TWorkOptions& work) {
    const std::uint64_t middle = size / 2;
    THalvesEnd ends;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> secondBytes{0};
    TWorkBeside beside(work, [&] {
        ends.second = FeedSecondHalf(source, middle, second, stop, secondBytes, ends.secondStart);
    });
    // The second half is told to stop on every way out of this one, an exception's included.
    struct TStopOnExit {
        std::atomic<bool>& stop;
        ~TStopOnExit() { stop.store(true); }
    } stopOnExit{stop};

    const auto told = [&](std::uint64_t at) {
        return !progress || progress(std::min(size, at + secondBytes.load(std::memory_order_relaxed)), size);
    };
    ends.first = FeedFirstHalf(source, middle, first, told, ends.firstEnd);
    std::function<void()> meanwhile;
    if (ends.first != TPiecesEnd::Ended) {
        stop.store(true);
    } else if (progress) {
        // The window's events go on while the other half ends. Without an LF after the middle, the first
        // half has read the whole text.
        const std::uint64_t firstBytes = ends.firstEnd == kNoLineStart ? size : ends.firstEnd;
        meanwhile = [&, firstBytes] {
            if (ends.first == TPiecesEnd::Ended && !told(firstBytes)) {
                ends.first = TPiecesEnd::Cancelled;
                stop.store(true);
            }
        };
    }
    beside.Wait(meanwhile, std::chrono::milliseconds(10));
    return ends;
}

}  // namespace quorvel
