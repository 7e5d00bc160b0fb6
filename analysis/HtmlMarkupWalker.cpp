#include "HtmlMarkupWalker.h"

#include "Stopped.h"

#include <algorithm>

namespace quillmark {

namespace {

// libxml2 keeps at most this many characters of a tag name.
constexpr std::size_t longestName = 100;

constexpr auto npos = std::string_view::npos;

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// White space as the parser skips it between the parts of a tag.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

char charAt(std::string_view html, std::size_t at) {
    return at < html.size() ? html[at] : '\0';
}

std::size_t skipBlanks(std::string_view html, std::size_t at) {
    while (at < html.size() && isBlank(html[at]))
        ++at;
    return at;
}

std::size_t skipName(std::string_view html, std::size_t at) {
    while (at < html.size() && HtmlMarkupWalker::isNameChar(html[at]))
        ++at;
    return at;
}

bool startsWithNoCase(std::string_view html, std::size_t at, std::string_view lowerPrefix) {
    if (html.size() - std::min(at, html.size()) < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = html[at + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
}

// The end of the raw text of a script or style element whose start tag ends
// at `at`: its content runs to the first "</script" or "</style"; anything
// else there leaves the reading in doubt.
std::size_t rawTextEnd(std::string_view html, std::size_t at, std::string_view name) {
    if (html[at - 2] == '/')
        return npos;
    std::size_t close = html.find("</", at);
    while (close != npos && !startsWithNoCase(html, close + 2, name))
        close = html.find("</", close + 2);
    if (close == npos)
        return npos;
    // The parser may leave the raw text early, at an end tag inside it, and
    // then read a declaration there in its own odd way.
    if (html.substr(at, close - at).find("<!") != npos)
        return npos;
    const std::size_t gt = skipBlanks(html, close + 2 + name.size());
    return charAt(html, gt) == '>' ? gt + 1 : npos;
}

// The end of a comment opened at `open`, which ends at the first "-->" or
// "--!>".
std::size_t commentEnd(std::string_view html, std::size_t open) {
    const std::size_t dashes = html.find("-->", open + 4);
    // A "--!>" can only come first if it ends before that "-->".
    const std::size_t bang =
        html.substr(0, dashes == npos ? npos : dashes + 3).find("--!>", open + 4);
    if (dashes == npos && bang == npos)
        return npos;
    return dashes < bang ? dashes + 3 : bang + 4;
}

// The end of a "<!DOCTYPE" declaration at `open`, or npos when a "<" or its
// quotes leave it in doubt where the parser ends it.
std::size_t doctypeEnd(std::string_view html, std::size_t open) {
    if (!startsWithNoCase(html, open + 2, "doctype"))
        return npos;
    const std::size_t close = html.find('>', open);
    if (close == npos)
        return npos;
    const std::string_view declaration = html.substr(open + 1, close - open - 1);
    if (declaration.find('<') != npos)
        return npos;
    const auto doubles = std::count(declaration.begin(), declaration.end(), '"');
    const auto singles = std::count(declaration.begin(), declaration.end(), '\'');
    if (doubles % 2 != 0 || singles % 2 != 0 || (doubles > 0 && singles > 0))
        return npos;
    return close + 1;
}

// A processing instruction ends at the first ">".
std::size_t processingInstructionEnd(std::string_view html, std::size_t open) {
    if (!isAsciiLetter(charAt(html, open + 2)))
        return npos;
    const std::size_t gt = html.find('>', open + 2);
    return gt == npos ? npos : gt + 1;
}

} // namespace

bool HtmlMarkupWalker::isNameStart(char c) {
    return isAsciiLetter(c) || c == '_' || c == ':' || c == '.';
}

bool HtmlMarkupWalker::isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

std::string HtmlMarkupWalker::nameAt(std::string_view html, std::size_t at) {
    std::string name(html.substr(at, std::min(skipName(html, at) - at, longestName)));
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

bool HtmlMarkupWalker::isTagClose(std::string_view html, std::size_t at) {
    return html[at] == '>' || (html[at] == '/' && charAt(html, at + 1) == '>');
}

std::size_t HtmlMarkupWalker::firstAttribute(std::string_view html, std::size_t at) {
    return skipBlanks(html, skipName(html, at));
}

std::size_t HtmlMarkupWalker::nextAttribute(std::string_view html, std::size_t at) {
    if (!isNameStart(html[at])) {
        // Not an attribute: the parser skips it to a blank or the end.
        while (at < html.size() && !isBlank(html[at]) && !isTagClose(html, at))
            ++at;
        return skipBlanks(html, at);
    }
    at = skipBlanks(html, skipName(html, at));
    if (charAt(html, at) != '=')
        return at;
    at = skipBlanks(html, at + 1);
    const char quote = charAt(html, at);
    if (quote == '"' || quote == '\'') {
        const std::size_t close = html.find(quote, at + 1);
        return close == npos ? npos : skipBlanks(html, close + 1);
    }
    while (at < html.size() && !isBlank(html[at]) && html[at] != '>')
        ++at;
    return skipBlanks(html, at);
}

std::size_t HtmlMarkupWalker::startTagEnd(std::string_view html, std::size_t at) {
    at = firstAttribute(html, at);
    while (at < html.size() && !isTagClose(html, at)) {
        at = nextAttribute(html, at);
        if (at == npos)
            return npos;
    }
    if (at >= html.size())
        return npos;
    return at + (html[at] == '/' ? 2 : 1);
}

HtmlMarkupWalker::HtmlMarkupWalker(std::string_view html, const StopCheck& stop)
    : m_html(html)
    , m_stop(stop) {}

void HtmlMarkupWalker::onStartTag(std::size_t, std::size_t) {}

void HtmlMarkupWalker::onEndTag(std::size_t, std::size_t, const std::string&, bool) {}

void HtmlMarkupWalker::walk() {
    std::size_t polled = 0;
    std::size_t at = 0;
    for (std::size_t open = m_html.find('<'); open != npos; open = m_html.find('<', at)) {
        if (open - polled >= Stopped::pollBytes) {
            Stopped::check(m_stop);
            polled = open;
        }
        at = markupEnd(open, inProlog(at, open));
        if (at == npos)
            return;
    }
}

bool HtmlMarkupWalker::inProlog(std::size_t textStart, std::size_t open) {
    const std::string_view text = m_html.substr(textStart, open - textStart);
    if (!std::all_of(text.begin(), text.end(), isBlank))
        m_contentSeen = true;
    const bool prolog = !m_contentSeen;
    const char next = charAt(m_html, open + 1);
    if (next != '?' && (next != '!' || m_html.compare(open, 4, "<!--") != 0))
        m_contentSeen = true;
    return prolog;
}

// Where the markup opened by the "<" at `open` ends, by the byte after it;
// npos when in doubt.
std::size_t HtmlMarkupWalker::markupEnd(std::size_t open, bool prolog) {
    const char next = charAt(m_html, open + 1);
    if (isAsciiLetter(next))
        return elementEnd(open);
    if (next == '!') {
        if (m_html.compare(open, 4, "<!--") == 0)
            return commentEnd(m_html, open);
        // A declaration later in the page confuses the parser's reading of
        // what follows it.
        return prolog ? doctypeEnd(m_html, open) : npos;
    }
    if (next == '?')
        return processingInstructionEnd(m_html, open);
    if (next == '/' && isNameStart(charAt(m_html, open + 2)))
        return endTagEnd(open, prolog);
    // A "<" that starts no markup is text.
    return open + 1;
}

// A start tag and, for script and style, the raw text up to their end tag.
std::size_t HtmlMarkupWalker::elementEnd(std::size_t open) {
    const std::size_t end = startTagEnd(m_html, open + 1);
    if (end == npos)
        return npos;
    onStartTag(open, end);
    const std::string name = nameAt(m_html, open + 1);
    if (name != "script" && name != "style")
        return end;
    return rawTextEnd(m_html, end, name);
}

// An end tag. One with more than "</name>" runs to the next ">".
std::size_t HtmlMarkupWalker::endTagEnd(std::size_t open, bool prolog) {
    const std::string name = nameAt(m_html, open + 2);
    const std::size_t gt = skipBlanks(m_html, open + 2 + name.size());
    if (charAt(m_html, gt) != '>') {
        const std::size_t close = m_html.find('>', gt);
        return close == npos ? npos : close + 1;
    }
    onEndTag(open, gt + 1, name, prolog);
    return gt + 1;
}

} // namespace quillmark
