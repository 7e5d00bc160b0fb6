#include "HtmlText.h"

#include "analysis/Cp1251.h"

#include <QString>

namespace quillmark {

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";

/// What stands for a special byte (see isSpecial); `next` is the byte after it
/// (0 at the end).
std::string_view replacementOf(unsigned char byte, unsigned char next) {
    switch (byte) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&#39;";
    case '\r':
        // CR LF keeps only its LF, so that lines break once.
        return next == '\n' ? std::string_view() : std::string_view("\n");
    default:
        return ReplacementCharacter; // a control character
    }
}

/// A byte that markup gives a meaning or that HTML does not allow in text.
bool isSpecial(unsigned char byte) {
    if (byte == '\t' || byte == '\n')
        return false;
    return byte < 0x20 || byte == 0x7F || byte == '&' || byte == '<' || byte == '>' ||
           byte == '"' || byte == '\'';
}

/// Copies runs of plain bytes with `appendRun` and replaces the rest.
template <typename AppendRun>
void appendWith(std::string_view text, std::string& html, AppendRun appendRun) {
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!isSpecial(byte))
            continue;
        appendRun(text.substr(runStart, i - runStart), html);
        const auto next = static_cast<unsigned char>(i + 1 < text.size() ? text[i + 1] : 0);
        html += replacementOf(byte, next);
        runStart = i + 1;
    }
    appendRun(text.substr(runStart), html);
}

} // namespace

void HtmlText::appendUtf8(std::string_view utf8, std::string& html) {
    appendWith(utf8, html, [](std::string_view run, std::string& out) { out += run; });
}

void HtmlText::append(QStringView text, std::string& html) {
    const QByteArray utf8 = text.toUtf8();
    appendUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), html);
}

void HtmlText::appendCp1251(std::string_view text, std::string& html) {
    appendWith(text, html, [](std::string_view run, std::string& out) {
        // Byte 0x98 stands for the control character U+0098 and is no text.
        std::size_t start = 0;
        for (std::size_t at = run.find('\x98'); at != std::string_view::npos;
             at = run.find('\x98', start)) {
            Cp1251::appendUtf8(run.substr(start, at - start), out);
            out += ReplacementCharacter;
            start = at + 1;
        }
        Cp1251::appendUtf8(run.substr(start), out);
    });
}

std::string HtmlText::escaped(QStringView text) {
    std::string html;
    append(text, html);
    return html;
}

} // namespace quillmark
