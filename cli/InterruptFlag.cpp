#include "InterruptFlag.h"

#include <cerrno>
#include <csignal>
#include <system_error>

namespace quillmark {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

} // namespace

void InterruptFlag::install() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // The handler disarms itself so that an impatient second Ctrl+C still ends
    // a run that is busy between two polls. Calls it interrupts are restarted:
    // the first Ctrl+C must stop the run, not fail a read or a write.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    if (sigaction(SIGINT, &action, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "sigaction(SIGINT)");
}

bool InterruptFlag::raised() {
    return interrupted != 0;
}

} // namespace quillmark
