#include "SettingsProfile.h"

#include "InstallLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

// Byte strings only: values are UTF-8 passed through, keys are ASCII. The
// templates are compiled here rather than taken from libsimpleini.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace quillmark {

namespace {

constexpr const char* kSection = "Config";
/// Texts longer than this are cut, as the profile services of old did.
constexpr qsizetype kTextLimit = 2047;

/// A profile's text value as UTF-8, cut to the limit on a character boundary.
QString limitedText(const char* value) {
    QByteArray bytes(value);
    if (bytes.size() > kTextLimit) {
        qsizetype end = kTextLimit;
        // Do not leave half a UTF-8 sequence at the end.
        while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
            --end;
        bytes.truncate(end);
    }
    return QString::fromUtf8(bytes);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

/// The comment lines after the last section or key of `text` (blank lines
/// between them kept), or nothing when there are none or the file holds no
/// entry at all (then SimpleIni keeps them as the file's comment).
std::string trailingComments(std::string_view text) {
    std::size_t lineStart = 0;
    std::size_t blockStart = std::string_view::npos;
    bool anyEntry = false;
    bool anyComment = false;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        std::size_t first = lineStart;
        while (first < lineEnd && isBlank(text[first]))
            ++first;
        const bool blank = first == lineEnd;
        const bool comment = !blank && (text[first] == ';' || text[first] == '#');
        if (!blank && !comment) {
            const std::string_view line = text.substr(first, lineEnd - first);
            if (line.front() == '[' || line.find('=') != std::string_view::npos) {
                anyEntry = true;
                blockStart = std::string_view::npos;
                anyComment = false;
            }
        } else if (anyEntry) {
            if (blockStart == std::string_view::npos)
                blockStart = lineStart;
            anyComment = anyComment || comment;
        }
        lineStart = lineEnd + 1;
    }
    if (!anyEntry || !anyComment)
        return {};
    std::string block(text.substr(blockStart));
    std::erase(block, '\r');
    if (!block.empty() && block.back() != '\n')
        block += '\n';
    return block;
}

class Profile {
public:
    Profile()
        // Repeated keys are kept as they are (another program's sections may
        // rely on them); a repeated key of ours reads as its first value.
        : m_ini(/*a_bIsUtf8=*/true, /*a_bMultiKey=*/true, /*a_bMultiLine=*/false) {
        m_ini.SetSpaces(false);
    }

    CSimpleIniA& ini() { return m_ini; }

    QString text(const char* key, const QString& fallback) const {
        const char* value = m_ini.GetValue(kSection, key, nullptr);
        return value == nullptr ? fallback : limitedText(value);
    }

    int integer(const char* key, int fallback) const {
        const char* value = m_ini.GetValue(kSection, key, nullptr);
        if (value == nullptr)
            return fallback;
        return SettingsProfile::parseInteger(value).value_or(fallback);
    }

    bool boolean(const char* key, bool fallback) const {
        return integer(key, fallback ? 1 : 0) != 0;
    }

private:
    CSimpleIniA m_ini;
};

} // namespace

SettingsProfile::SettingsProfile(const QString& programDirectory)
    : SettingsProfile(ProfilePlace::ProgramDirectory, programDirectory, programDirectory) {}

SettingsProfile::SettingsProfile(ProfilePlace place, const QString& profileDirectory,
                                 const QString& textsParent)
    : m_place(place)
    , m_profileDirectory(profileDirectory)
    , m_textsParent(textsParent)
    , m_path(profileDirectory + QStringLiteral("profile.ini")) {}

SettingsProfile SettingsProfile::forProgram(const QString& programDirectory) {
    SettingsProfile beside(programDirectory);
    if (QFileInfo(beside.path()).isWritable())
        return beside;
    // An installed program (its documentation folder beside its own) keeps out
    // of its directory even when it may write there, as root may.
    const bool installed =
        QFileInfo(InstallLayout::documentationDirectory(programDirectory)).isDir();
    if (QFileInfo(programDirectory).isWritable() && !installed)
        return beside;
    return forUser();
}

SettingsProfile SettingsProfile::forUser() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir())
        documents = QDir::homePath();
    return SettingsProfile(ProfilePlace::UserDirectories, config + QStringLiteral("/quillmark/"),
                           documents + QStringLiteral("/Quillmark/"));
}

QString SettingsProfile::defaultSourceDirectory() const {
    return m_textsParent + QStringLiteral("Texts/");
}

int SettingsProfile::seedDefaultTexts(const QString& samplesDirectory) const {
    const QString target = defaultSourceDirectory();
    if (m_place != ProfilePlace::UserDirectories || QFileInfo::exists(m_path) ||
        QFileInfo::exists(target))
        return 0;
    if (!QDir().mkpath(target))
        return 0;
    int copied = 0;
    const QFileInfoList samples =
        QDir(samplesDirectory).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& sample : samples) {
        // QFile::copy never replaces an existing file.
        if (QFile::copy(sample.filePath(), target + sample.fileName()))
            ++copied;
    }
    return copied;
}

std::optional<int> SettingsProfile::parseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    std::size_t digitsAt = 0;
    bool hex = false;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        hex = true;
        digitsAt = 2;
    } else if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        hex = true;
        digitsAt = 1;
    }
    const std::string_view digits = rest.substr(digitsAt);
    if (digits.empty())
        return std::nullopt;

    if (hex) {
        std::uint32_t value = 0;
        for (char c : digits) {
            const int digit = hexDigit(c);
            // A ninth significant digit does not fit in 32 bits.
            if (digit < 0 || value > 0x0FFFFFFFu)
                return std::nullopt;
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
        if (negative)
            value = 0u - value;
        return static_cast<int>(static_cast<std::int32_t>(value));
    }

    std::int64_t value = 0;
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

QString SettingsProfile::withoutPassword(const QString& uri) {
    const QString trimmed = uri.trimmed();
    if (!trimmed.startsWith(QStringLiteral("postgresql://")) &&
        !trimmed.startsWith(QStringLiteral("postgres://"))) {
        // libpq's key=value form: a quoted value may hold blanks.
        static const QRegularExpression password(
            QStringLiteral(R"((^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'|\S*))"));
        if (!trimmed.contains(password))
            return uri;
        return QString(trimmed).remove(password).trimmed();
    }
    QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid())
        return uri;
    QUrlQuery query(url);
    if (url.password().isNull() && !query.hasQueryItem(QStringLiteral("password")))
        return uri;
    url.setPassword(QString());
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

Settings SettingsProfile::LoadSettings() const {
    Profile profile;
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        profile.ini().LoadData(file.readAll().toStdString());

    Settings settings;
    settings.dirSrc = profile.text("DirSrc", defaultSourceDirectory());
    settings.dirOut = profile.text("DirOut", defaultSourceDirectory() + QStringLiteral("Result/"));
    settings.shingleLen = std::clamp(profile.integer("ShingleLen", 10), 1, 100);
    settings.goodPercent = std::clamp(profile.integer("GoodPercent", 20), 0, 100);
    settings.lemmatize = profile.boolean("Lemmatize", true);
    settings.cutHtml = profile.boolean("CutHTML", false);
    settings.unmask = profile.boolean("Unmask", false);
    settings.templatePath = profile.text("Template", QString());
    settings.commonPercent = std::clamp(profile.integer("CommonPercent", 0), 0, 100);
    settings.delFiles = profile.boolean("DelFiles", true);
    settings.againstOutput = profile.boolean("AgainstOutput", false);
    settings.archiveUri = withoutPassword(profile.text("ArchiveUri", QString()));
    return settings;
}

void SettingsProfile::SaveSettings(const Settings& settings) const {
    const auto writeError = [this] {
        return ProfileWriteError(
            (QStringLiteral("Unable to write to ") + m_path + QStringLiteral(".")).toStdString());
    };

    Profile profile;
    std::string old;
    QFile existing(m_path);
    if (existing.exists()) {
        // The rest of the file is kept, so it must be read first; and a
        // read-only profile is not to be replaced behind the user's back.
        const QFileInfo info(m_path);
        if (!info.isWritable() || !existing.open(QIODevice::ReadOnly))
            throw writeError();
        old = existing.readAll().toStdString();
        profile.ini().LoadData(old);
        existing.close();
    }

    CSimpleIniA& ini = profile.ini();
    const auto put = [&ini](const char* key, const QByteArray& value) {
        ini.SetValue(kSection, key, value.constData(), nullptr, /*a_bForceReplace=*/true);
    };
    put("DirSrc", settings.dirSrc.toUtf8());
    put("DirOut", settings.dirOut.toUtf8());
    put("ShingleLen", QByteArray::number(settings.shingleLen));
    put("GoodPercent", QByteArray::number(settings.goodPercent));
    put("Lemmatize", settings.lemmatize ? "1" : "0");
    put("CutHTML", settings.cutHtml ? "1" : "0");
    put("Unmask", settings.unmask ? "1" : "0");
    put("Template", settings.templatePath.toUtf8());
    put("CommonPercent", QByteArray::number(settings.commonPercent));
    put("DelFiles", settings.delFiles ? "1" : "0");
    put("AgainstOutput", settings.againstOutput ? "1" : "0");
    put("ArchiveUri", withoutPassword(settings.archiveUri).toUtf8());

    std::string data;
    if (ini.Save(data) < 0)
        throw writeError();
    // SimpleIni keeps a comment only with the entry after it.
    data += trailingComments(old);

    // The user's configuration directory may not exist yet; the program's
    // directory is never created.
    if (m_place == ProfilePlace::UserDirectories && !QDir().mkpath(m_profileDirectory))
        throw writeError();

    // The old profile stays whole until the new one is complete on disk.
    QSaveFile file(m_path);
    // A writable profile in a directory that is not: no room for a temporary
    // file beside it, so the profile is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw writeError();
    if (file.write(data.data(), static_cast<qint64>(data.size())) !=
        static_cast<qint64>(data.size()))
        throw writeError();
    if (!file.commit())
        throw writeError();
}

} // namespace quillmark
