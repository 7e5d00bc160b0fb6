#include "UnopenedEndTagFilter.h"

#include "HtmlMarkupWalker.h"

#include <algorithm>
#include <unordered_map>

namespace quillmark {

namespace {

// How far back an entity reference cut in two by a dropped tag is looked
// for; entity names are far shorter.
constexpr std::size_t longestEntity = 64;

constexpr auto npos = std::string_view::npos;

// Elements the parser opens without a start tag of their own.
bool isImplied(std::string_view name) {
    return name == "html" || name == "head" || name == "body" || name == "p";
}

// Where each tag name first follows a "<", wherever that stands.
std::unordered_map<std::string, std::size_t> firstOpenings(std::string_view html) {
    std::unordered_map<std::string, std::size_t> first;
    for (std::size_t at = html.find('<'); at != npos; at = html.find('<', at + 1))
        if (at + 1 < html.size() && HtmlMarkupWalker::isNameStart(html[at + 1]))
            first.try_emplace(HtmlMarkupWalker::nameAt(html, at + 1), at);
    return first;
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
        if (!HtmlMarkupWalker::isNameChar(c) && c != '#' && static_cast<unsigned char>(c) < 0x80)
            return false;
    }
    return false;
}

class EndTagDropper : public HtmlMarkupWalker {
public:
    EndTagDropper(std::string_view html, const StopCheck& stop)
        : HtmlMarkupWalker(html, stop)
        , m_opened(firstOpenings(html)) {
        m_out.reserve(html.size());
    }

    std::string run() {
        walk();
        m_out.append(m_html.substr(m_copied));
        return std::move(m_out);
    }

private:
    void onEndTag(std::size_t open, std::size_t end, const std::string& name,
                  bool prolog) override {
        if (isImplied(name) || prolog)
            return;
        m_out.append(m_html.substr(m_copied, open - m_copied));
        m_copied = open;
        if (name == "br") {
            m_out.append("<br>");
            m_copied = end;
            return;
        }
        const auto opening = m_opened.find(name);
        if (opening != m_opened.end() && opening->second < open)
            return;
        if (joinMatters(m_out, end < m_html.size() ? m_html[end] : '\0'))
            return;
        m_copied = end;
    }

    const std::unordered_map<std::string, std::size_t> m_opened;
    std::string m_out;
    std::size_t m_copied = 0;
};

} // namespace

std::string UnopenedEndTagFilter::apply(std::string_view html, const StopCheck& stop) {
    return EndTagDropper(html, stop).run();
}

} // namespace quillmark
