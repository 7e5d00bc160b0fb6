// The settings kept between starts of the program in profile.ini, section
// Config: beside the executable while that place may be written (a portable
// copy, a build folder), else in the user's configuration directory.
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
    /// Disguised characters read as the letters they stand for.
    bool unmask = false;
    /// The template whose text no score counts; empty for none.
    QString templatePath;
    /// Shingles common to this per cent of the texts are not counted; 0 for none.
    int commonPercent = 0;
    bool delFiles = true;
    /// The texts already in the output directory are references of a run.
    bool againstOutput = false;
    /// The team archive's connection URI, never with a password; empty for none.
    QString archiveUri;
};

/// Writing the profile failed; what() is "Unable to write to PATH.".
class ProfileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Where a profile and the default directories lie.
enum class ProfilePlace {
    /// The profile beside the executable, the texts under its directory.
    ProgramDirectory,
    /// The profile in the user's configuration directory, the texts under the
    /// user's documents (or home) folder.
    UserDirectories,
};

class SettingsProfile {
public:
    /// Fixes the profile's path: programDirectory (ending with "/") +
    /// "profile.ini". The file need not exist.
    explicit SettingsProfile(const QString& programDirectory);

    /// The profile of the program in programDirectory: the one beside it when
    /// it may be written, or when there is none yet and the directory may be
    /// written and holds no installed program; else the user's.
    static SettingsProfile forProgram(const QString& programDirectory);
    /// The user's profile: "quillmark/profile.ini" under the configuration
    /// directory, default texts in "Quillmark/Texts/" under the documents
    /// folder when there is one, else under the home folder.
    static SettingsProfile forUser();

    QString path() const { return m_path; }
    ProfilePlace place() const { return m_place; }
    /// The source directory of a profile without DirSrc, ending with "/".
    QString defaultSourceDirectory() const;

    /// On the first start in the user's place (no profile, no default source
    /// directory yet) creates the default source directory and copies the
    /// files of samplesDirectory into it. Returns the number of files copied.
    int seedDefaultTexts(const QString& samplesDirectory) const;

    /// Reads the keys with their defaults, clamped to the controls' ranges.
    Settings LoadSettings() const;
    /// Writes the keys, keeping every other section, key and comment; an
    /// archive URI without its password. Throws ProfileWriteError.
    void SaveSettings(const Settings& settings) const;

    /// `uri` without a password, in its user part or as a "password"
    /// parameter: libpq takes one from ~/.pgpass or PGPASSWORD, and a
    /// profile is no place for it. Any other text comes back unchanged.
    static QString withoutPassword(const QString& uri);

    /// The profile's integer reading: leading blanks, optional sign, decimal
    /// or hexadecimal after "$", "x", "X", "0x", "0X" (up to eight digits,
    /// wrapping to signed 32 bits). Empty when the text is not one.
    static std::optional<int> parseInteger(std::string_view text);

private:
    SettingsProfile(ProfilePlace place, const QString& profileDirectory,
                    const QString& textsParent);

    ProfilePlace m_place;
    QString m_profileDirectory;
    /// The directory that holds the default "Texts/", ending with "/".
    QString m_textsParent;
    QString m_path;
};

} // namespace quillmark
