// Ctrl+C as a stop request: the first SIGINT only raises a flag that the run
// polls once per file; a second one ends the program the usual way.
#pragma once

namespace quillmark {

class InterruptFlag {
public:
    /// Installs the SIGINT handler. Throws std::system_error when the system
    /// refuses it.
    static void install();
    static bool raised();
};

} // namespace quillmark
