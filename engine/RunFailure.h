// A failure the user can cause and mend (a directory that cannot be read or
// made, a file that cannot be fingerprinted): it ends the operation at hand,
// and what() is the message for the user, in the run's language.
#pragma once

#include <QString>
#include <stdexcept>

namespace quillmark {

class RunFailure : public std::runtime_error {
public:
    explicit RunFailure(const QString& message)
        : std::runtime_error(message.toStdString()) {}

    QString message() const { return QString::fromUtf8(what()); }
};

} // namespace quillmark
