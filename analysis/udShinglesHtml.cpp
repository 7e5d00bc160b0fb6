// HTML reduction: Windows-1251 in, readable body text in Windows-1251 out.
#include "udShingles.h"

#include "Cp1251.h"
#include "HtmlTextExtractor.h"

#include <algorithm>

namespace quillmark {

std::string HtmlToText(std::string_view text, const StopCheck& stop, Unmask unmask) {
    std::string utf8;
    Cp1251::appendUtf8(text, utf8);
    // The parser reads a NUL as the end of the page; a blank keeps the rest.
    std::replace(utf8.begin(), utf8.end(), '\0', ' ');
    std::string result;
    Cp1251::appendFromUtf8(
        HtmlTextExtractor::textOf(utf8, HtmlTextExtractor::EndTags::DropUnopened, stop,
                                  unmask == Unmask::On ? HtmlTextExtractor::StyleHidden::Skip
                                                       : HtmlTextExtractor::StyleHidden::Read),
        result);
    return result;
}

} // namespace quillmark
