#include "UnopenedEndTagFilter.h"

#include <algorithm>
#include <unordered_map>

namespace quillmark {

namespace {

// libxml2 keeps at most this many characters of a tag name.
constexpr std::size_t longestName = 100;

// How far back an entity reference cut in two by a dropped tag is looked
// for; entity names are far shorter.
constexpr std::size_t longestEntity = 64;

constexpr auto npos = std::string_view::npos;

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isNameStart(char c) {
    return isAsciiLetter(c) || c == '_' || c == ':' || c == '.';
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
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
    while (at < html.size() && isNameChar(html[at]))
        ++at;
    return at;
}

// The tag name starting at `at` as the parser keys it: lower case, cut to
// its longest name.
std::string nameAt(std::string_view html, std::size_t at) {
    std::string name(html.substr(at, std::min(skipName(html, at) - at, longestName)));
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
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

// Elements the parser opens without a start tag of their own.
bool isImplied(std::string_view name) {
    return name == "html" || name == "head" || name == "body" || name == "p";
}

// Where each tag name first follows a "<", wherever that stands.
std::unordered_map<std::string, std::size_t> firstOpenings(std::string_view html) {
    std::unordered_map<std::string, std::size_t> first;
    for (std::size_t at = html.find('<'); at != npos; at = html.find('<', at + 1))
        if (isNameStart(charAt(html, at + 1)))
            first.try_emplace(nameAt(html, at + 1), at);
    return first;
}

// The end of the start tag whose name begins at `at`, as the parser reads
// its attributes (a quote counts only at the start of a value), or npos when
// the page ends inside it.
std::size_t startTagEnd(std::string_view html, std::size_t at) {
    at = skipBlanks(html, skipName(html, at));
    while (at < html.size() && html[at] != '>' &&
           !(html[at] == '/' && charAt(html, at + 1) == '>')) {
        if (isNameStart(html[at])) {
            at = skipBlanks(html, skipName(html, at));
            if (charAt(html, at) == '=') {
                at = skipBlanks(html, at + 1);
                const char quote = charAt(html, at);
                if (quote == '"' || quote == '\'') {
                    const std::size_t close = html.find(quote, at + 1);
                    if (close == npos)
                        return npos;
                    at = close + 1;
                } else {
                    while (at < html.size() && !isBlank(html[at]) && html[at] != '>')
                        ++at;
                }
            }
        } else {
            // Not an attribute: the parser skips it to a blank or the end.
            while (at < html.size() && !isBlank(html[at]) && html[at] != '>' &&
                   !(html[at] == '/' && charAt(html, at + 1) == '>'))
                ++at;
        }
        at = skipBlanks(html, at);
    }
    if (at >= html.size())
        return npos;
    return at + (html[at] == '/' ? 2 : 1);
}

// The end of a "<!DOCTYPE" declaration, or npos when a "<" or its quotes
// leave it in doubt where the parser ends it.
std::size_t doctypeEnd(std::string_view html, std::size_t at) {
    const std::size_t close = html.find('>', at);
    if (close == npos)
        return npos;
    const std::string_view declaration = html.substr(at + 1, close - at - 1);
    if (declaration.find('<') != npos)
        return npos;
    const auto doubles = std::count(declaration.begin(), declaration.end(), '"');
    const auto singles = std::count(declaration.begin(), declaration.end(), '\'');
    if (doubles % 2 != 0 || singles % 2 != 0 || (doubles > 0 && singles > 0))
        return npos;
    return close + 1;
}

// Whether cutting out a tag between `before` and `after` could join them
// into something the parser reads differently: "<" or "</" and a name, an
// entity reference and its rest, or the end of a comment.
bool joinMatters(std::string_view before, char after) {
    if (before.empty())
        return false;
    const char last = before.back();
    if (last == '<' || last == '/')
        return true;
    if ((last == '-' || last == '!') && (after == '-' || after == '!' || after == '>'))
        return true;
    // An entity reference the tag cut short ends differently without it.
    for (std::size_t back = 1; back <= std::min(before.size(), longestEntity); ++back) {
        const char c = before[before.size() - back];
        if (c == '&')
            return true;
        if (!isNameChar(c) && c != '#' && static_cast<unsigned char>(c) < 0x80)
            return false;
    }
    return false;
}

} // namespace

std::string UnopenedEndTagFilter::apply(std::string_view html) {
    const auto opened = firstOpenings(html);
    std::string out;
    out.reserve(html.size());
    std::size_t copied = 0;
    std::size_t at = 0;
    // Comments and processing instructions before anything else are read
    // apart from the rest, so tags are only dropped after the first content.
    bool contentSeen = false;
    for (;;) {
        const std::size_t open = html.find('<', at);
        if (open == npos)
            break;
        const char next = charAt(html, open + 1);
        const std::string_view text = html.substr(at, open - at);
        if (!std::all_of(text.begin(), text.end(), isBlank))
            contentSeen = true;
        const bool prolog = !contentSeen;
        if (next != '?' && (next != '!' || html.compare(open, 4, "<!--") != 0))
            contentSeen = true;

        if (isAsciiLetter(next)) {
            const std::string name = nameAt(html, open + 1);
            at = startTagEnd(html, open + 1);
            if (at == npos)
                break;
            if (name != "script" && name != "style")
                continue;
            // Their content is raw text up to the first "</script" or
            // "</style"; anything else there leaves the reading in doubt.
            if (html[at - 2] == '/')
                break;
            std::size_t close = html.find("</", at);
            while (close != npos && !startsWithNoCase(html, close + 2, name))
                close = html.find("</", close + 2);
            if (close == npos)
                break;
            // The parser may leave the raw text early, at an end tag inside
            // it, and then read a declaration there in its own odd way.
            if (html.substr(at, close - at).find("<!") != npos)
                break;
            at = skipBlanks(html, close + 2 + name.size());
            if (charAt(html, at) != '>')
                break;
            ++at;
            continue;
        }
        if (next == '!') {
            if (html.compare(open, 4, "<!--") == 0) {
                const std::size_t dashes = html.find("-->", open + 4);
                const std::size_t bang = html.find("--!>", open + 4);
                if (dashes == npos && bang == npos)
                    break;
                at = dashes < bang ? dashes + 3 : bang + 4;
                continue;
            }
            // A declaration later in the page confuses the parser's reading
            // of what follows it.
            if (!prolog || !startsWithNoCase(html, open + 2, "doctype"))
                break;
            at = doctypeEnd(html, open);
            if (at == npos)
                break;
            continue;
        }
        if (next == '?') {
            // A processing instruction ends at the first ">".
            if (!isAsciiLetter(charAt(html, open + 2)))
                break;
            at = html.find('>', open + 2);
            if (at == npos)
                break;
            ++at;
            continue;
        }
        if (next != '/' || !isNameStart(charAt(html, open + 2))) {
            // A "<" that starts no markup is text.
            at = open + 1;
            continue;
        }

        // An end tag. One with more than "</name>" runs to the next ">".
        const std::string name = nameAt(html, open + 2);
        const std::size_t gt = skipBlanks(html, open + 2 + name.size());
        if (charAt(html, gt) != '>') {
            at = html.find('>', gt);
            if (at == npos)
                break;
            ++at;
            continue;
        }
        at = gt + 1;
        if (isImplied(name) || prolog)
            continue;
        out.append(html.substr(copied, open - copied));
        copied = open;
        if (name == "br") {
            out.append("<br>");
            copied = at;
            continue;
        }
        const auto opening = opened.find(name);
        if (opening != opened.end() && opening->second < open)
            continue;
        if (joinMatters(out, charAt(html, at)))
            continue;
        copied = at;
    }
    out.append(html.substr(copied));
    return out;
}

} // namespace quillmark
