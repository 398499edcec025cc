#pragma once
// How a piece of work may use the machine: a value each front end builds and passes down with the work,
// so that nothing in the process is switched for everyone. The results are the same either way.
#include <thread>

namespace quorvel {

struct TWorkOptions {
    // A large table's work may take a second core. The window allows it (its input waits while the other
    // half runs), and so does quorvel-fit.
    bool secondCore = false;
    // The deviations may go four at a time where the processor has the lanes for it.
    bool wideLanes = true;
};

// Whether the work may take a second core here and now: allowed, and the machine has one.
inline bool SecondCoreUsable(const TWorkOptions& work) {
    return work.secondCore && std::thread::hardware_concurrency() >= 2;
}

}  // namespace quorvel
