#pragma once
// Work over a large table in two halves at once, the second on another core, where the work's options
// allow it.
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "fitting/work_options.h"
#include "runtime/work_steps.h"

namespace quorvel {

// Tables from this size on are split; below it a thread costs more than it saves.
inline constexpr std::size_t kTwoPartsFrom = std::size_t{1} << 16;

// Work run on another thread where the options allow a second core and a thread can be had; otherwise it
// is done here, when waited for. The destructor waits for the work: whoever leaves before Wait tells it
// to stop first.
class TWorkBeside {
public:
    TWorkBeside(const TWorkOptions& work, std::function<void()> body);
    TWorkBeside(const TWorkBeside&) = delete;
    TWorkBeside& operator=(const TWorkBeside&) = delete;
    ~TWorkBeside();

    // Whether the work runs on another thread.
    bool Beside() const { return worker_.joinable(); }
    // The end of the work (once only), which throws its exception on. While the work runs elsewhere,
    // `meanwhile` (when given) is called on this thread every `every`, so that a window's events go on.
    void Wait(const std::function<void()>& meanwhile = {},
              std::chrono::milliseconds every = std::chrono::milliseconds(2));

private:
    std::function<void()> body_;
    std::exception_ptr fault_;
    std::mutex mutex_;
    std::condition_variable endedSignal_;
    bool ended_ = false;
    bool waited_ = false;
    std::thread worker_;
};

// Calls first() here and second() beside it as TWorkBeside does. Should one throw, both still run to
// their end, and then the first's exception (else the second's) is thrown on.
template <class First, class Second>
void BothAtOnce(const TWorkOptions& work, First&& first, Second&& second) {
    TWorkBeside beside(work, [&second] { second(); });
    std::exception_ptr fault;
    try {
        first();
    } catch (...) {
        fault = std::current_exception();
    }
    try {
        beside.Wait();
    } catch (...) {
        if (!fault) {
            fault = std::current_exception();
        }
    }
    if (fault) {
        std::rethrow_exception(fault);
    }
}

// Calls work(0, count, 0) for a small count or where the options allow no second core. Otherwise calls
// work(0, middle, 0) and work(middle, count, 1) as BothAtOnce does. Returns the number of parts.
template <class Work>
int InTwoParts(const TWorkOptions& options, std::size_t count, Work&& work) {
    if (count < kTwoPartsFrom || !SecondCoreUsable(options)) {
        work(std::size_t{0}, count, 0);
        return 1;
    }
    const std::size_t middle = count / 2;
    BothAtOnce(
        options, [&work, middle] { work(std::size_t{0}, middle, 0); },
        [&work, middle, count] { work(middle, count, 1); });
    return 2;
}

// Calls body(begin, end) over from .. to: at once when told nothing, else in pieces of kItemsPerStep items,
// telling steps the share done after each piece but the last, so that a window's events run between them.
template <class Body>
void InPieces(std::size_t from, std::size_t to, const TWorkSteps& steps, Body&& body) {
    if (!steps) {
        body(from, to);
        return;
    }
    for (std::size_t begin = from; begin < to;) {
        const std::size_t end = to - begin > kItemsPerStep ? begin + kItemsPerStep : to;
        body(begin, end);
        if (end < to) {
            steps(static_cast<double>(end - from) / static_cast<double>(to - from));
        }
        begin = end;
    }
}

// InTwoParts, where the part on the calling thread goes in pieces that tell steps (the other part, on its
// own thread, may not): work(from, to, part) is called for each piece.
template <class Work>
int InTwoPartsInSteps(const TWorkOptions& options, std::size_t count, const TWorkSteps& steps, Work&& work) {
    return InTwoParts(options, count, [&steps, &work](std::size_t begin, std::size_t end, int part) {
        InPieces(begin, end, part == 0 ? steps : TWorkSteps{},
                 [&work, part](std::size_t from, std::size_t to) { work(from, to, part); });
    });
}

}  // namespace quorvel
