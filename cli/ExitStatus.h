// The exit statuses of quillmark-cli; scripts rely on them.
#pragma once

namespace quillmark {

enum ExitStatus : int {
    ExitCompleted = 0,
    ExitRunFailed = 1,
    ExitBadOptions = 2,
    ExitNotAllPassed = 3,  ///< only with --strict
    ExitNotAllSaved = 4,   ///< a text of the selection could not be saved (a clash is no failure)
    ExitInterrupted = 130, ///< 128 + SIGINT, as shells report it
};

} // namespace quillmark
