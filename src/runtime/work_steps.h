#pragma once
// How far a long piece of work has come, told now and then to whoever keeps a window's events running
// while it goes on. Work that is told nothing just runs.
#include <cstddef>
#include <exception>
#include <functional>

namespace quorvel {

// Called with the share done so far, 0 ... 1, from the thread that started the work.
using TWorkSteps = std::function<void(double done)>;

// Thrown from a step when the user cancels the work: the work ends there, changing nothing it had not
// changed before it began. Not an Exception: no box says anything of it.
class EWorkCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Rows or points handled between two steps: rare enough to cost nothing, often enough that a step
// comes every few milliseconds.
inline constexpr std::size_t kItemsPerStep = std::size_t{1} << 16;

// The share from .. to of a whole told to `whole`: the parts of a work each count from 0 to 1.
inline TWorkSteps PartOfSteps(const TWorkSteps& whole, double from, double to) {
    if (!whole) {
        return {};
    }
    return [&whole, from, to](double done) { whole(from + (to - from) * done); };
}

}  // namespace quorvel
