#include "fitting/two_parts.h"

#include <system_error>
#include <utility>

namespace quorvel {

TWorkBeside::TWorkBeside(const TWorkOptions& work, std::function<void()> body) : body_(std::move(body)) {
    if (!SecondCoreUsable(work)) {
        return;
    }
    try {
        worker_ = std::thread([this] {
            try {
                body_();
            } catch (...) {
                fault_ = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
            endedSignal_.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the work waits for Wait.
    }
}

TWorkBeside::~TWorkBeside() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void TWorkBeside::Wait(const std::function<void()>& meanwhile, std::chrono::milliseconds every) {
    if (waited_) {
        return;
    }
    waited_ = true;
    if (!worker_.joinable()) {
        body_();
        return;
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!endedSignal_.wait_for(lock, every, [this] { return ended_; })) {
            if (meanwhile) {
                lock.unlock();
                meanwhile();
                lock.lock();
            }
        }
    }
    worker_.join();
    if (fault_) {
        std::rethrow_exception(fault_);
    }
}

}  // namespace quorvel
