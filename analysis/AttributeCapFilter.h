// Cuts the attributes of a tag to a few dozen before the page is parsed.
// libxml2 compares each attribute's name with every earlier one of its tag,
// so a tag of n attributes costs n squared (a million took hours); the text
// extractor reads no attribute, so the text is the same without the rest.
#pragma once

#include "Stopped.h"
#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

class AttributeCapFilter {
public:
    /// Attributes kept on one tag: more than any ordinary page puts there.
    static constexpr std::size_t defaultKept = 64;

    /// The page with each start tag cut to its first `kept` attributes
    /// (bytes the parser skips in an attribute's place count as one). Where
    /// the markup is too odd to tell a tag from content, the rest of the
    /// page is left as it is. Throws Stopped once `stop` answers yes.
    static std::string apply(std::string_view html, std::size_t kept = defaultKept,
                             const StopCheck& stop = {});
};

} // namespace quillmark
