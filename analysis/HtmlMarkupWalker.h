// Walks a page's markup the way libxml2's HTML parser tells markup from
// content: start and end tags, comments, processing instructions, the
// doctype and the raw text of script and style. Where the markup is too odd
// to be sure how the parser reads it, the walk stops, and a filter built on
// it leaves the rest of the page as it is.
#pragma once

#include "Stopped.h"
#include <string>
#include <string_view>

namespace quillmark {

class HtmlMarkupWalker {
public:
    static constexpr std::size_t npos = std::string_view::npos;

    static bool isNameStart(char c);
    static bool isNameChar(char c);

    /// The tag name starting at `at` as the parser keys it: lower case, cut
    /// to the longest name it keeps.
    static std::string nameAt(std::string_view html, std::size_t at);

    /// The end of the start tag whose name begins at `at`, as the parser
    /// reads its attributes, or npos when the page ends inside it.
    static std::size_t startTagEnd(std::string_view html, std::size_t at);

    /// The first attribute of the start tag whose name begins at `at`, or
    /// where the tag closes when it has none.
    static std::size_t firstAttribute(std::string_view html, std::size_t at);

    /// Whether a tag's ">" or "/>" starts at `at` (< html.size()).
    static bool isTagClose(std::string_view html, std::size_t at);

    /// From the first byte of an attribute (or of bytes the parser skips in
    /// its place) to the next one, or to the tag's closing ">" or "/>";
    /// npos when the page ends inside a quoted value.
    static std::size_t nextAttribute(std::string_view html, std::size_t at);

protected:
    /// `stop`, when given, is asked every few hundred kilobytes; once it
    /// answers yes, walk() throws Stopped. It must outlive the walker.
    explicit HtmlMarkupWalker(std::string_view html, const StopCheck& stop = {});
    virtual ~HtmlMarkupWalker() = default;
    HtmlMarkupWalker(const HtmlMarkupWalker&) = delete;
    HtmlMarkupWalker& operator=(const HtmlMarkupWalker&) = delete;

    /// Walks the page once, calling the handlers below in page order.
    void walk();

    /// A start tag from its "<" at `open` to `end`, just past its ">".
    virtual void onStartTag(std::size_t open, std::size_t end);

    /// A plain end tag "</name>" from `open` to `end`; `prolog` when nothing
    /// but blanks, comments and processing instructions came before it.
    virtual void onEndTag(std::size_t open, std::size_t end, const std::string& name, bool prolog);

    const std::string_view m_html;

private:
    std::size_t markupEnd(std::size_t open, bool prolog);
    std::size_t elementEnd(std::size_t open);
    std::size_t endTagEnd(std::size_t open, bool prolog);
    bool inProlog(std::size_t textStart, std::size_t open);

    const StopCheck& m_stop;
    // Comments and processing instructions before anything else are read
    // apart from the rest.
    bool m_contentSeen = false;
};

} // namespace quillmark
