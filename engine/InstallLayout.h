// Where an installed program finds the files shipped beside it. Paths are
// relative to the program's own directory, so a tree unpacked under any prefix
// finds its own files.
#pragma once

#include <QString>

namespace quillmark {

class InstallLayout {
public:
    /// The documentation folder of the installed program, ending with "/".
    static QString documentationDirectory(const QString& programDirectory);
    /// The sample articles that a first start puts into the default source
    /// folder, ending with "/".
    static QString samplesDirectory(const QString& programDirectory);
    /// The README as HTML in the documentation folder.
    static QString readmeHtml(const QString& programDirectory);
};

} // namespace quillmark
