// Test helper: Windows-1251 strings written as UTF-8 literals, converted by
// the C library's iconv so that the tests do not lean on the code they test.
#pragma once

#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark::testing {

inline std::string convert(std::string_view text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv_open failed");
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1))
        throw std::runtime_error("iconv could not convert the text");
    out.resize(out.size() - outLeft);
    return out;
}

/// A UTF-8 literal as Windows-1251 bytes.
inline std::string cp(std::string_view utf8) {
    return convert(utf8, "UTF-8", "WINDOWS-1251");
}

/// Windows-1251 bytes as UTF-8, for readable failure messages.
inline std::string utf8(std::string_view win1251) {
    return convert(win1251, "WINDOWS-1251", "UTF-8");
}

} // namespace quillmark::testing
