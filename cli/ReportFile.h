// Where the report goes: standard output, a file that did not exist before, or
// an existing device or pipe such as /dev/null (writing to one replaces nothing).
// A file is written under a temporary name in its directory, made before the
// run so that a run never moves texts only to find that the report cannot be
// written, and given its name only when whole: a killed run leaves no empty or
// cut-off report that would block the next one.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

namespace quillmark {

class TemporaryFile;

class ReportFile {
public:
    /// Opens standard output for an empty path, an existing device or pipe as
    /// it is, else a temporary beside `path` (raw file-system bytes), after
    /// removing the stale temporaries of that directory. Throws
    /// std::runtime_error with a message for the user.
    explicit ReportFile(const QByteArray& path);
    ~ReportFile();

    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    /// Writes the whole report and gives it its name, never replacing a file
    /// made meanwhile. Throws std::runtime_error, leaving nothing behind, when
    /// the report could not be written whole.
    void write(const QByteArray& report);
    /// Drops what was made for a report that will not come (never a device or
    /// pipe that was there before).
    void discard();

private:
    void writeFile(const QByteArray& report);

    QByteArray m_path;
    QFile m_file;
    std::unique_ptr<TemporaryFile> m_part;
    bool m_done = false;
};

} // namespace quillmark
