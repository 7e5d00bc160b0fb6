// What the operating system says went wrong, in the program's language: the
// common error numbers have their text in the catalogue, the rare ones keep
// the C library's.
#pragma once

#include <QString>
#include <vector>

namespace quillmark {

class SystemErrors {
public:
    /// The text for errno value `error`, without a full stop at its end.
    static QString message(int error);
    /// The error numbers the catalogue has a text for.
    static std::vector<int> catalogued();
};

} // namespace quillmark
