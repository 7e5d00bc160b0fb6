// Text as HTML takes it: user data (file names, the texts themselves) may hold
// anything, so every character with a meaning in markup becomes a reference.
#pragma once

#include <QStringView>
#include <string>
#include <string_view>

namespace quillmark {

class HtmlText {
public:
    /// Appends `utf8` escaped for element content and quoted attribute values
    /// alike: & < > " ' become references, CR LF and a lone CR become LF, and
    /// the other control characters, which HTML does not allow, U+FFFD.
    static void appendUtf8(std::string_view utf8, std::string& html);
    static void append(QStringView text, std::string& html);
    /// The same for Windows-1251 bytes, converted to UTF-8.
    static void appendCp1251(std::string_view text, std::string& html);
    /// `text` escaped, as UTF-8.
    static std::string escaped(QStringView text);
};

} // namespace quillmark
