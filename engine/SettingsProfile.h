// The settings kept between starts of the program in profile.ini, section
// Config, beside the executable.
#pragma once

#include <QString>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace quillmark {

struct Settings {
    QString dirSrc;
    QString dirOut;
    int shingleLen = 10;
    int goodPercent = 20;
    bool lemmatize = true;
    bool cutHtml = false;
    bool delFiles = true;
};

/// Writing the profile failed; what() is "Unable to write to PATH.".
class ProfileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsProfile {
public:
    /// Fixes the profile's path: programDirectory (ending with "/") +
    /// "profile.ini". The file need not exist.
    explicit SettingsProfile(const QString& programDirectory);

    QString path() const { return m_path; }

    /// Reads the seven keys with their defaults, clamped to the controls'
    /// ranges.
    Settings LoadSettings() const;
    /// Writes the seven keys, keeping every other section, key and comment.
    /// Throws ProfileWriteError.
    void SaveSettings(const Settings& settings) const;

    /// The profile's integer reading: leading blanks, optional sign, decimal
    /// or hexadecimal after "$", "x", "X", "0x", "0X" (up to eight digits,
    /// wrapping to signed 32 bits). Empty when the text is not one.
    static std::optional<int> parseInteger(std::string_view text);

private:
    QString m_programDirectory;
    QString m_path;
};

} // namespace quillmark
