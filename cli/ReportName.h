// A file name as the reports write it. Names are the file system's bytes and
// need not be UTF-8; the reports are UTF-8 text, so a byte that is not part of
// valid UTF-8 is written as the escape \xHH (two uppercase hex digits). A
// backslash of the name is doubled only where it would otherwise read as the
// start of an escape: when the written text after it begins with a backslash,
// or with "x" and two hex digits. A name that is valid UTF-8 and has no such
// backslash is therefore written as it is, and distinct names never give the
// same text.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quillmark {

/// Which control characters are escaped besides the bytes that are not UTF-8.
enum class ControlEscape {
    None,
    /// Those HTML text cannot carry: all below U+0020 but tab and line feed,
    /// and U+007F.
    Html,
};

class ReportName {
public:
    /// `name` as report text.
    static QString text(QByteArrayView name, ControlEscape controls = ControlEscape::None);
    /// The bytes a report text stands for: `\\` is a backslash, `\x` and two
    /// hex digits (either case) a byte, any other backslash itself.
    static QByteArray bytes(QStringView text);
    /// Report text made with ControlEscape::None, written again for HTML.
    static QString htmlText(QStringView text);
};

} // namespace quillmark
