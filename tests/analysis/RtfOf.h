// Test helper: an RTF document of a Windows-1251 text, a paragraph for each
// of its lines, as a word processor writes one. Its letters are escaped as
// the text's bytes (\'hh) or as their Unicode characters (\uN?), so that the
// document's own words are control words and hex digits.
#pragma once

#include "Win1251.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::testing {

enum class RtfEscapes { Bytes, Unicode };

/// The lines of a text, without their CR LF or LF; nothing after a last
/// line end.
inline std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

/// `line` (Windows-1251) with its letters escaped and RTF's signs guarded.
inline std::string escapedLine(const std::string& line, RtfEscapes escapes) {
    std::string out;
    const std::string wide = convert(line, "WINDOWS-1251", "UTF-16LE");
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        char escape[16];
        if (byte >= 0x80 && escapes == RtfEscapes::Bytes) {
            std::snprintf(escape, sizeof escape, "\\'%02x", byte);
            out += escape;
        } else if (byte >= 0x80) {
            const int unit = static_cast<unsigned char>(wide[2 * i]) |
                             (static_cast<unsigned char>(wide[2 * i + 1]) << 8);
            std::snprintf(escape, sizeof escape, "\\u%d?", unit > 32767 ? unit - 65536 : unit);
            out += escape;
        } else {
            if (byte == '\\' || byte == '{' || byte == '}')
                out += '\\';
            out += static_cast<char>(byte);
        }
    }
    return out;
}

/// An RTF document of `text` (Windows-1251), a \par after each line.
inline std::string rtfOf(std::string_view text, RtfEscapes escapes) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049"
                      "{\\fonttbl{\\f0\\froman\\fcharset204\\fprq2 Times New Roman;}"
                      "{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
                      "{\\colortbl;\\red0\\green0\\blue0;}"
                      "{\\*\\generator Quillmark tests;}{\\info{\\author Test}}\r\n"
                      "\\viewkind4\\uc1\\pard\\f0\\fs24 ";
    for (const std::string& line : linesOf(text))
        rtf += escapedLine(line, escapes) + "\\par\r\n";
    return rtf + "}\r\n";
}

} // namespace quillmark::testing
