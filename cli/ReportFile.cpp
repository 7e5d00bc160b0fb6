#include "ReportFile.h"

#include <cstdio>
#include <stdexcept>

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
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw writeError(path, m_file.errorString());
}

ReportFile::~ReportFile() {
    // Left without a report: what was made for it goes again.
    if (!m_done)
        discard();
}

void ReportFile::write(const QByteArray& report) {
    Q_ASSERT_X(!m_done, "ReportFile::write", "a report is written once");
    m_done = true;
    const QString shownPath = m_path.isEmpty() ? QStringLiteral("-") : m_path;
    if (m_file.write(report) != report.size() || !m_file.flush())
        throw writeError(shownPath, m_file.errorString());
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        throw writeError(shownPath, m_file.errorString());
}

void ReportFile::discard() {
    m_done = true;
    m_file.close();
    if (!m_path.isEmpty())
        m_file.remove();
}

} // namespace quillmark
