#include "Cp1251.h"

#include "Unmasking.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillmark {

namespace {

// Code points of bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order and
// bytes below 0x80 are ASCII.
constexpr char16_t upperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
};

using Reverse = std::array<std::pair<char16_t, unsigned char>, 64>;

// Bytes 0x80-0xBF sorted by code point, for the way back.
constexpr Reverse makeReverse() {
    Reverse reverse{};
    for (unsigned i = 0; i < 64; ++i)
        reverse[i] = {upperHalf[i], static_cast<unsigned char>(0x80 + i)};
    std::sort(reverse.begin(), reverse.end());
    return reverse;
}

constexpr Reverse reverseUpperHalf = makeReverse();

void appendCodePoint(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

char32_t Cp1251::toUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    return upperHalf[byte - 0x80];
}

unsigned char Cp1251::fromUnicode(char32_t codePoint) {
    if (codePoint < 0x80)
        return static_cast<unsigned char>(codePoint);
    if (codePoint >= 0x0410 && codePoint <= 0x044F)
        return static_cast<unsigned char>(0xC0 + (codePoint - 0x0410));
    if (codePoint > 0xFFFF)
        return '?';
    const auto key = static_cast<char16_t>(codePoint);
    const auto* found =
        std::lower_bound(reverseUpperHalf.begin(), reverseUpperHalf.end(), key,
                         [](const auto& entry, char16_t value) { return entry.first < value; });
    if (found == reverseUpperHalf.end() || found->first != key)
        return Unmasking::standIn(codePoint);
    return found->second;
}

void Cp1251::appendUtf8(std::string_view text, std::string& utf8) {
    // Each byte's UTF-8 form, worked out once.
    struct Encoded {
        char bytes[3];
        unsigned char size;
    };
    static const auto encodings = [] {
        std::array<Encoded, 256> table{};
        for (unsigned b = 0; b < 256; ++b) {
            std::string form;
            appendCodePoint(toUnicode(static_cast<unsigned char>(b)), form);
            table[b].size = static_cast<unsigned char>(form.size());
            std::copy(form.begin(), form.end(), table[b].bytes);
        }
        return table;
    }();

    std::size_t size = utf8.size();
    for (const char c : text)
        size += encodings[static_cast<unsigned char>(c)].size;
    const std::size_t start = utf8.size();
    utf8.resize(size);
    char* out = utf8.data() + start;
    for (const char c : text) {
        const Encoded& encoded = encodings[static_cast<unsigned char>(c)];
        std::copy_n(encoded.bytes, encoded.size, out);
        out += encoded.size;
    }
}

void Cp1251::appendFromUtf8(std::string_view utf8, std::string& text) {
    text.reserve(text.size() + utf8.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            text.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t c = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07;
        }
        std::size_t taken = 1;
        while (length != 0 && taken < length && i + taken < size &&
               (bytes[i + taken] & 0xC0) == 0x80) {
            c = (c << 6) | (bytes[i + taken] & 0x3F);
            ++taken;
        }
        if (length == 0 || taken < length) {
            text.append(taken, '?');
            i += taken;
            continue;
        }
        text.push_back(static_cast<char>(fromUnicode(c)));
        i += taken;
    }
}

} // namespace quillmark
