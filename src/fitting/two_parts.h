#pragma once
// Work over a large table in two halves at once, the second on another core, where the program
// allows it.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "runtime/work_steps.h"

namespace quorvel {

// Tables from this size on are split; below it a thread costs more than it saves.
inline constexpr std::size_t kTwoPartsFrom = std::size_t{1} << 16;

// Off unless a front end turns it on (the window and quorvel-fit do). The results are the same either
// way.
inline std::atomic<bool> g_secondCoreAllowed{false};
inline void AllowSecondCore(bool allow) {
    g_secondCoreAllowed.store(allow);
}
inline bool SecondCoreAvailable() {
    return g_secondCoreAllowed.load() && std::thread::hardware_concurrency() >= 2;
}

// Calls first() here and second() on another thread at the same time, or both here, one after the other,
// where no second core is allowed or no thread can be started. Should one throw, both still run to their
// end, and then the first's exception (else the second's) is thrown on.
template <class First, class Second>
void BothAtOnce(First&& first, Second&& second) {
    std::exception_ptr faults[2];
    const auto run = [&faults](auto& work, int index) {
        try {
            work();
        } catch (...) {
            faults[index] = std::current_exception();
        }
    };
    std::optional<std::thread> worker;
    if (SecondCoreAvailable()) {
        try {
            worker.emplace([&run, &second] { run(second, 1); });
        } catch (const std::system_error&) {
            // No thread to be had: the second follows the first here.
        }
    }
    run(first, 0);
    if (worker) {
        worker->join();
    } else {
        run(second, 1);
    }
    for (const std::exception_ptr& fault : faults) {
        if (fault) {
            std::rethrow_exception(fault);
        }
    }
}

// Calls work(0, count, 0) for a small count, a single core or when no second core is allowed. Otherwise calls
// work(0, middle, 0) and work(middle, count, 1) as BothAtOnce does. Returns the number of parts.
template <class Work>
int InTwoParts(std::size_t count, Work&& work) {
    if (count < kTwoPartsFrom || !SecondCoreAvailable()) {
        work(std::size_t{0}, count, 0);
        return 1;
    }
    const std::size_t middle = count / 2;
    BothAtOnce([&work, middle] { work(std::size_t{0}, middle, 0); },
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
int InTwoPartsInSteps(std::size_t count, const TWorkSteps& steps, Work&& work) {
    return InTwoParts(count, [&steps, &work](std::size_t begin, std::size_t end, int part) {
        InPieces(begin, end, part == 0 ? steps : TWorkSteps{},
                 [&work, part](std::size_t from, std::size_t to) { work(from, to, part); });
    });
}

// A result worked out on another thread while this one goes on with other work; where no thread can be
// started, it is worked out here when taken. The work must not tell steps: those belong to the thread
// that started it.
template <class T>
class TWorkBeside {
public:
    explicit TWorkBeside(std::function<T()> work) : work_(std::move(work)) {
        try {
            worker_ = std::thread([this] {
                try {
                    result_.emplace(work_());
                } catch (...) {
                    fault_ = std::current_exception();
                }
                done_.store(true, std::memory_order_release);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the work waits for Take.
        }
    }
    TWorkBeside(const TWorkBeside&) = delete;
    TWorkBeside& operator=(const TWorkBeside&) = delete;
    ~TWorkBeside() {
        if (worker_.joinable()) {
            worker_.join();
        }
    }

    // The result, once only; the work's exception is thrown on. While it is still being worked out, steps
    // (when given) is told `done` now and then, so that a window's events go on meanwhile.
    T Take(const TWorkSteps& steps, double done) {
        if (!worker_.joinable()) {
            return work_();
        }
        while (!done_.load(std::memory_order_acquire)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (steps) {
                steps(done);
            }
        }
        worker_.join();
        if (fault_) {
            std::rethrow_exception(fault_);
        }
        return std::move(*result_);
    }

private:
    std::function<T()> work_;
    std::optional<T> result_;
    std::exception_ptr fault_;
    std::atomic<bool> done_{false};
    std::thread worker_;
};

}  // namespace quorvel
