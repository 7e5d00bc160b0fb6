// Drops end tags that can close nothing before the page is parsed. libxml2
// looks for every end tag through its whole stack of open elements, so a
// page of deep nesting followed by many such tags costs depth times tags;
// without them the same page parses in linear time to the same text.
#pragma once

#include "Stopped.h"
#include <string>
#include <string_view>

namespace quillmark {

class UnopenedEndTagFilter {
public:
    /// The page without end tags "</x>" that stand in plain content and come
    /// before any "<x" at all; "</br>" there becomes "<br>", as browsers
    /// read it. Where the page's markup is too odd to tell content from the
    /// inside of a tag or comment, the rest of the page is left as it is.
    /// Throws Stopped once `stop` answers yes.
    static std::string apply(std::string_view html, const StopCheck& stop = {});
};

} // namespace quillmark
