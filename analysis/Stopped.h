// The end of a long reading or fingerprinting call whose stop flag was set.
#pragma once

#include <atomic>
#include <stdexcept>

namespace quillmark {

class Stopped : public std::runtime_error {
public:
    Stopped()
        : std::runtime_error("Stopped before the text was read to its end") {}

    /// Throws Stopped when `stop` is given and set.
    static void check(const std::atomic<bool>* stop) {
        if (stop && stop->load(std::memory_order_relaxed))
            throw Stopped();
    }

    /// How many bytes a long call reads between two looks at its stop flag.
    static constexpr std::size_t pollBytes = 256 * 1024;
};

} // namespace quillmark
