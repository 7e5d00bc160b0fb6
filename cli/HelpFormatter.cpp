#include "HelpFormatter.h"

#include <algorithm>

namespace quillmark {

std::size_t HelpFormatter::width(const std::string& text) {
    // Every byte but a continuation byte starts a character.
    return std::count_if(text.begin(), text.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    });
}

std::string HelpFormatter::make_option(const CLI::Option* option, bool isPositional) const {
    const std::size_t column = get_column_width();
    std::string line = "  " + make_option_name(option, isPositional) + make_option_opts(option);
    const std::string description = make_option_desc(option);
    if (description.empty())
        return line + std::string(column > width(line) ? column - width(line) : 0, ' ') + "\n";
    if (width(line) >= column)
        line += "\n" + std::string(column, ' ');
    else
        line += std::string(column - width(line), ' ');
    for (const char c : description) {
        line += c;
        if (c == '\n')
            line += std::string(column, ' ');
    }
    return line + "\n";
}

} // namespace quillmark
