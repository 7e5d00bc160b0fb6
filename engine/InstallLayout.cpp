#include "InstallLayout.h"

#include <QDir>

#ifndef QUILLMARK_DOCDIR_FROM_BINDIR
#define QUILLMARK_DOCDIR_FROM_BINDIR "../share/doc/quillmark"
#endif

namespace quillmark {

QString InstallLayout::documentationDirectory(const QString& programDirectory) {
    return QDir::cleanPath(programDirectory + QStringLiteral("/") +
                           QStringLiteral(QUILLMARK_DOCDIR_FROM_BINDIR)) +
           QLatin1Char('/');
}

QString InstallLayout::samplesDirectory(const QString& programDirectory) {
    return documentationDirectory(programDirectory) + QStringLiteral("samples/");
}

QString InstallLayout::readmeHtml(const QString& programDirectory) {
    return documentationDirectory(programDirectory) + QStringLiteral("README.html");
}

} // namespace quillmark
