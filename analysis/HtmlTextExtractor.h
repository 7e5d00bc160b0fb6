// The readable text of an HTML page, the way a browser's innerText gives it
// for the body: hidden elements dropped, white space collapsed outside
// preformatted elements, a line feed at every block boundary and <br>.
#pragma once

#include "Stopped.h"
#include <string>
#include <string_view>

namespace quillmark {

class HtmlTextExtractor {
public:
    /// Whether end tags that can close nothing are dropped before parsing,
    /// which keeps the parse linear. The text is the same either way, but
    /// for white space or a stray "<" that libxml2 drops in front of such a
    /// tag and a browser keeps.
    enum class EndTags { DropUnopened, Keep };
    /// Whether elements an inline style hides ("display: none",
    /// "visibility: hidden") are read or skipped with their content.
    enum class StyleHidden { Read, Skip };

    /// Parses UTF-8 HTML (any bytes, recovering from every error) and returns
    /// its readable text in UTF-8. No tag reaches the parser with more than
    /// AttributeCapFilter::defaultKept attributes, which keeps the parse
    /// linear and the text the same. Throws std::bad_alloc when the parser
    /// runs out of memory, and Stopped when `stop` is given and answers yes:
    /// it is asked every few hundred kilobytes of the page, also while
    /// libxml2 parses it.
    static std::string textOf(std::string_view utf8Html, EndTags endTags = EndTags::DropUnopened,
                              const StopCheck& stop = {},
                              StyleHidden styleHidden = StyleHidden::Read);
    /// Whether an inline style attribute hides its element.
    static bool styleHides(std::string_view style);
};

} // namespace quillmark
