// Stop checks every few milliseconds of work, and work shared out among
// threads that all heed them.
#pragma once

#include "analysis/Stopped.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quillmark {

/// Asks the caller whether to stop after a few milliseconds of work.
class Pacer {
public:
    explicit Pacer(const StopCheck& stop)
        : m_stop(stop) {}
    void step(std::size_t work) {
        m_work += work;
        if (m_work < kStride)
            return;
        m_work = 0;
        Stopped::check(m_stop);
    }

private:
    static constexpr std::size_t kStride = std::size_t{1} << 18;
    const StopCheck& m_stop;
    std::size_t m_work = 0;
};

/// Calls work(part, thread, pacer) for every part in [0, parts) on up to
/// `threads` threads, the calling one among them (thread 0), each part once.
/// What one part throws ends the others at their next pacing step and is
/// thrown here once all have ended.
template <class Work>
void inParallel(int threads, std::size_t parts, const StopCheck& stop, Work&& work) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> abandoned{false};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const StopCheck ended = [&] {
        return abandoned.load(std::memory_order_relaxed) || (stop && stop());
    };
    const auto run = [&](std::size_t thread) {
        Pacer pacer(ended);
        try {
            for (std::size_t part = next++; part < parts && !abandoned; part = next++)
                work(part, thread, pacer);
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
            abandoned = true;
        }
    };
    std::vector<std::thread> helpers;
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(threads, 1)), parts);
    for (std::size_t t = 1; t < count; ++t) {
        try {
            helpers.emplace_back(run, t);
        } catch (const std::system_error&) {
            break; // no more threads to be had: fewer do the work
        }
    }
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

/// Parts of work for `threads` threads: several per thread, so that a slow
/// part leaves the others something to take.
inline std::size_t partsFor(int threads) {
    return threads == 1 ? 1 : static_cast<std::size_t>(threads) * 4;
}

} // namespace quillmark
