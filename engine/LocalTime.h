// The time of a log line in the user's locale time format ("%X" under the
// LC_TIME of the environment), without touching the process's global locale.
#pragma once

#include <QString>
#include <ctime>
#include <locale.h>

namespace quillmark {

class LocalTime {
public:
    /// Takes LC_TIME from the environment as it is now (LC_ALL, LC_TIME,
    /// LANG); falls back to the C locale when that locale is not installed.
    LocalTime();
    ~LocalTime();
    LocalTime(const LocalTime&) = delete;
    LocalTime& operator=(const LocalTime&) = delete;

    /// The current local time.
    QString now() const;
    /// `time` (broken down, local) in the locale's time format.
    QString format(const std::tm& time) const;

private:
    locale_t m_locale;
};

} // namespace quillmark
