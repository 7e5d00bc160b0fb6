// Where the report goes: standard output, a file that did not exist before, or
// an existing device or pipe such as /dev/null (writing to one replaces nothing).
// The file is made before the run, so that a run never moves texts only to
// find that its report cannot be written, and removed again when the run
// brings no report.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>

namespace quillmark {

class ReportFile {
public:
    /// Opens standard output for an empty path, an existing device or pipe as
    /// it is, else creates the file, never replacing one. Throws
    /// std::runtime_error with a message for the user.
    explicit ReportFile(const QString& path);
    ~ReportFile();

    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    /// Writes the whole report and closes the file. Throws std::runtime_error,
    /// after removing the file, when the report could not be written whole.
    void write(const QByteArray& report);
    /// Removes the file made for a report that will not come (never a device
    /// or pipe that was there before).
    void discard();

private:
    QString m_path;
    QFile m_file;
    bool m_done = false;
    /// The file was made by us, so it may be removed again.
    bool m_created = false;
};

} // namespace quillmark
