// The readable text of an HTML page, the way a browser's innerText gives it
// for the body: hidden elements dropped, white space collapsed outside
// preformatted elements, a line feed at every block boundary and <br>.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

class HtmlTextExtractor {
public:
    /// Parses UTF-8 HTML (any bytes, recovering from every error) and returns
    /// its readable text in UTF-8. Throws std::bad_alloc when the parser runs
    /// out of memory.
    static std::string textOf(std::string_view utf8Html);
};

} // namespace quillmark
