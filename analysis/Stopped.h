// Ending a long reading or fingerprinting call early: the call asks a stop
// check every few hundred kilobytes and throws Stopped once it answers yes.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>

namespace quillmark {

/// Answers whether the call that asks should end now. It is asked on the
/// calling thread, so it may also let a user interface handle a stop press.
using StopCheck = std::function<bool()>;

class Stopped : public std::runtime_error {
public:
    Stopped()
        : std::runtime_error("Stopped before the text was read to its end") {}

    /// Throws Stopped when `stop` is given and answers yes.
    static void check(const StopCheck& stop) {
        if (stop && stop())
            throw Stopped();
    }

    /// How many bytes a long call reads between two stop checks.
    static constexpr std::size_t pollBytes = 256 * 1024;
};

} // namespace quillmark
