#include "ReportFile.h"

#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>

namespace quillmark {

namespace {

std::runtime_error writeError(const QString& path, const QString& reason) {
    return std::runtime_error(
        QStringLiteral("Cannot write the report to \"%1\": %2.").arg(path, reason).toStdString());
}

} // namespace

ReportFile::ReportFile(const QString& path)
    : m_path(path) {
    if (path.isEmpty()) {
        if (!m_file.open(stdout, QIODevice::WriteOnly))
            throw writeError(QStringLiteral("-"), m_file.errorString());
        return;
    }
    m_file.setFileName(path);
    struct stat info {};
    const QByteArray nativePath = QFile::encodeName(path);
    if (::stat(nativePath.constData(), &info) == 0 &&
        (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) {
        // Opening a device or pipe for writing truncates nothing.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly))
            throw writeError(path, m_file.errorString());
        return;
    }
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw writeError(path, m_file.errorString());
    m_created = true;
}

ReportFile::~ReportFile() {
    // Left without a report: what was made for it goes again.
    if (!m_done)
        discard();
}

void ReportFile::write(const QByteArray& report) {
    Q_ASSERT_X(!m_done, "ReportFile::write", "a report is written once");
    bool written = m_file.write(report) == report.size() && m_file.flush();
    QString reason = m_file.errorString();
    m_file.close();
    if (written && m_file.error() != QFileDevice::NoError) {
        written = false;
        reason = m_file.errorString();
    }
    if (!written) {
        // A cut-off report is worse than none: a script could take it for whole.
        discard();
        throw writeError(m_path.isEmpty() ? QStringLiteral("-") : m_path, reason);
    }
    m_done = true;
}

void ReportFile::discard() {
    m_done = true;
    m_file.close();
    if (m_created)
        m_file.remove();
}

} // namespace quillmark
