// The help's layout with columns counted in characters, not bytes, so that a
// Russian help lines up as the English one does.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quillmark {

class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* option, bool isPositional) const override;

    /// The characters of UTF-8 `text`.
    static std::size_t width(const std::string& text);
};

} // namespace quillmark
