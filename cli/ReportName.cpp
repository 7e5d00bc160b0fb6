#include "ReportName.h"

#include "analysis/TextEncoding.h"

#include <string>
#include <string_view>

namespace quillmark {

namespace {

unsigned char byteAt(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool isHiddenControl(unsigned char byte, ControlEscape controls) {
    return controls == ControlEscape::Html && (byte < 0x20 || byte == 0x7F) && byte != '\t' &&
           byte != '\n';
}

/// Whether the byte at `at` is written as an escape.
bool isEscaped(std::string_view bytes, std::size_t at, ControlEscape controls) {
    return TextEncoding::utf8SequenceLength(bytes, at) == 0 ||
           isHiddenControl(byteAt(bytes, at), controls);
}

/// Whether a backslash followed by the byte at `next` would be misread.
bool backslashIsAmbiguous(std::string_view bytes, std::size_t next, ControlEscape controls) {
    if (next >= bytes.size())
        return false;
    if (bytes[next] == '\\' || isEscaped(bytes, next, controls))
        return true;
    return bytes.size() - next >= 3 && bytes[next] == 'x' && isHexDigit(bytes[next + 1]) &&
           isHexDigit(bytes[next + 2]);
}

void appendEscape(unsigned char byte, std::string& out) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    out += "\\x";
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
}

} // namespace

QString ReportName::text(QByteArrayView name, ControlEscape controls) {
    const std::string_view bytes(name.data(), static_cast<std::size_t>(name.size()));
    std::string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (isEscaped(bytes, at, controls)) {
            appendEscape(byteAt(bytes, at), out);
            ++at;
            continue;
        }
        const std::size_t length = TextEncoding::utf8SequenceLength(bytes, at);
        if (bytes[at] == '\\' && backslashIsAmbiguous(bytes, at + 1, controls))
            out += "\\\\";
        else
            out += bytes.substr(at, length);
        at += length;
    }
    return QString::fromStdString(out);
}

QByteArray ReportName::bytes(QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray name;
    name.reserve(utf8.size());
    qsizetype at = 0;
    while (at < utf8.size()) {
        const qsizetype left = utf8.size() - at;
        if (utf8[at] == '\\' && left >= 2 && utf8[at + 1] == '\\') {
            name += '\\';
            at += 2;
        } else if (utf8[at] == '\\' && left >= 4 && utf8[at + 1] == 'x' &&
                   isHexDigit(utf8[at + 2]) && isHexDigit(utf8[at + 3])) {
            name += static_cast<char>(hexValue(utf8[at + 2]) * 16 + hexValue(utf8[at + 3]));
            at += 4;
        } else {
            name += utf8[at];
            ++at;
        }
    }
    return name;
}

QString ReportName::htmlText(QStringView text) {
    return ReportName::text(bytes(text), ControlEscape::Html);
}

} // namespace quillmark
