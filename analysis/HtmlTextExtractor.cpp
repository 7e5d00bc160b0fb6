#include "HtmlTextExtractor.h"

#include "AttributeCapFilter.h"
#include "DocumentText.h"
#include "Stopped.h"
#include "UnopenedEndTagFilter.h"

#include <algorithm>
#include <array>
#include <climits>
#include <exception>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace quillmark {

namespace {

enum class ElementKind { Inline, Hidden, Block, Preformatted, LineBreak, Cell };

struct NamedKind {
    std::string_view name;
    ElementKind kind;
};

// Sorted by name for the binary search.
constexpr NamedKind elementKinds[] = {
    {"address", ElementKind::Block},
    {"article", ElementKind::Block},
    {"aside", ElementKind::Block},
    {"blockquote", ElementKind::Block},
    {"body", ElementKind::Block},
    {"br", ElementKind::LineBreak},
    {"caption", ElementKind::Block},
    {"center", ElementKind::Block},
    {"dd", ElementKind::Block},
    {"details", ElementKind::Block},
    {"dialog", ElementKind::Block},
    {"dir", ElementKind::Block},
    {"div", ElementKind::Block},
    {"dl", ElementKind::Block},
    {"dt", ElementKind::Block},
    {"fieldset", ElementKind::Block},
    {"figcaption", ElementKind::Block},
    {"figure", ElementKind::Block},
    {"footer", ElementKind::Block},
    {"form", ElementKind::Block},
    {"frameset", ElementKind::Block},
    {"h1", ElementKind::Block},
    {"h2", ElementKind::Block},
    {"h3", ElementKind::Block},
    {"h4", ElementKind::Block},
    {"h5", ElementKind::Block},
    {"h6", ElementKind::Block},
    {"head", ElementKind::Hidden},
    {"header", ElementKind::Block},
    {"hgroup", ElementKind::Block},
    {"hr", ElementKind::Block},
    {"html", ElementKind::Block},
    {"legend", ElementKind::Block},
    {"li", ElementKind::Block},
    {"listing", ElementKind::Preformatted},
    {"main", ElementKind::Block},
    {"menu", ElementKind::Block},
    {"nav", ElementKind::Block},
    {"noscript", ElementKind::Hidden},
    {"ol", ElementKind::Block},
    {"optgroup", ElementKind::Block},
    {"option", ElementKind::Block},
    {"p", ElementKind::Block},
    {"plaintext", ElementKind::Preformatted},
    {"pre", ElementKind::Preformatted},
    {"script", ElementKind::Hidden},
    {"section", ElementKind::Block},
    {"style", ElementKind::Hidden},
    {"summary", ElementKind::Block},
    {"table", ElementKind::Block},
    {"tbody", ElementKind::Block},
    {"td", ElementKind::Cell},
    {"template", ElementKind::Hidden},
    {"textarea", ElementKind::Preformatted},
    {"tfoot", ElementKind::Block},
    {"th", ElementKind::Cell},
    {"thead", ElementKind::Block},
    {"title", ElementKind::Hidden},
    {"tr", ElementKind::Block},
    {"ul", ElementKind::Block},
    {"xmp", ElementKind::Preformatted},
};

constexpr bool sortedByName() {
    for (std::size_t i = 1; i < std::size(elementKinds); ++i)
        if (!(elementKinds[i - 1].name < elementKinds[i].name))
            return false;
    return true;
}
static_assert(sortedByName(), "elementKinds must be sorted for the binary search");

ElementKind kindOf(const xmlNode* element) {
    const std::string_view name = reinterpret_cast<const char*>(element->name);
    const auto* found = std::lower_bound(
        std::begin(elementKinds), std::end(elementKinds), name,
        [](const NamedKind& entry, std::string_view value) { return entry.name < value; });
    if (found == std::end(elementKinds) || found->name != name)
        return ElementKind::Inline;
    return found->kind;
}

bool isCollapsibleSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Collects text with the innerText rules for white space and line breaks.
class TextSink {
public:
    /// The text is never longer than the page it comes from.
    explicit TextSink(std::size_t pageBytes) { m_out.reserve(pageBytes); }

    void text(std::string_view utf8) {
        if (m_preformatted > 0) {
            appendPreformatted(utf8);
            return;
        }
        std::size_t i = 0;
        while (i < utf8.size()) {
            if (isCollapsibleSpace(utf8[i])) {
                m_pendingSpace = true;
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < utf8.size() && !isCollapsibleSpace(utf8[end]))
                ++end;
            flushSeparators();
            m_out.append(utf8.substr(i, end - i));
            i = end;
        }
    }

    void blockBoundary() {
        m_pendingBreak = true;
        m_pendingSpace = false;
    }

    void lineBreak() {
        m_pendingSpace = false;
        m_pendingBreak = false;
        m_out.push_back('\n');
    }

    void cellBoundary() { m_pendingSpace = true; }

    void enterPreformatted() { ++m_preformatted; }
    void leavePreformatted() { --m_preformatted; }

    std::string take() { return std::move(m_out); }

private:
    void flushSeparators() {
        const bool lineHasText = !m_out.empty() && m_out.back() != '\n';
        if (m_pendingBreak && !m_out.empty()) {
            if (lineHasText)
                m_out.push_back('\n');
        } else if (m_pendingSpace && lineHasText) {
            m_out.push_back(' ');
        }
        m_pendingBreak = false;
        m_pendingSpace = false;
    }

    // Inside pre every character counts; CR LF and a lone CR become one LF.
    void appendPreformatted(std::string_view utf8) {
        if (utf8.empty())
            return;
        flushSeparators();
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            if (utf8[i] != '\r') {
                m_out.push_back(utf8[i]);
                continue;
            }
            m_out.push_back('\n');
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        }
    }

    std::string m_out;
    bool m_pendingSpace = false;
    bool m_pendingBreak = false;
    int m_preformatted = 0;
};

bool hiddenByStyle(const xmlNode* element) {
    for (const xmlAttr* a = element->properties; a != nullptr; a = a->next) {
        if (a->children == nullptr || a->children->content == nullptr ||
            std::string_view(reinterpret_cast<const char*>(a->name)) != "style")
            continue;
        return HtmlTextExtractor::styleHides(reinterpret_cast<const char*>(a->children->content));
    }
    return false;
}

// Returns whether the walk should go into the element's children.
bool enter(const xmlNode* node, TextSink& sink, HtmlTextExtractor::StyleHidden styleHidden) {
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        if (node->content)
            sink.text(reinterpret_cast<const char*>(node->content));
        return false;
    case XML_ELEMENT_NODE:
        break;
    default:
        return false;
    }
    if (styleHidden == HtmlTextExtractor::StyleHidden::Skip && hiddenByStyle(node))
        return false;
    switch (kindOf(node)) {
    case ElementKind::Hidden:
        return false;
    case ElementKind::LineBreak:
        sink.lineBreak();
        return false;
    case ElementKind::Preformatted:
        sink.blockBoundary();
        sink.enterPreformatted();
        return true;
    case ElementKind::Block:
        sink.blockBoundary();
        return true;
    case ElementKind::Cell:
        sink.cellBoundary();
        return true;
    case ElementKind::Inline:
        return true;
    }
    return true;
}

void leave(const xmlNode* node, TextSink& sink) {
    switch (kindOf(node)) {
    case ElementKind::Preformatted:
        sink.leavePreformatted();
        sink.blockBoundary();
        return;
    case ElementKind::Block:
        sink.blockBoundary();
        return;
    case ElementKind::Cell:
        sink.cellBoundary();
        return;
    default:
        return;
    }
}

// Depth-first over the document's nodes by the tree's own links, so that
// the depth of the page costs no stack.
std::string walk(const xmlDoc* doc, std::size_t pageBytes, const StopCheck& stop,
                 HtmlTextExtractor::StyleHidden styleHidden) {
    // Nodes between two looks at the stop flag.
    constexpr unsigned pollNodes = 1u << 16;
    TextSink sink(pageBytes);
    const xmlNode* node = doc->children;
    for (unsigned visited = 1; node; ++visited) {
        if (visited % pollNodes == 0)
            Stopped::check(stop);
        if (enter(node, sink, styleHidden)) {
            if (node->children) {
                node = node->children;
                continue;
            }
            leave(node, sink);
        }
        // Climb until a node has a next sibling, closing the elements left.
        while (node) {
            if (node->next) {
                node = node->next;
                break;
            }
            node = node->parent;
            if (!node || node == reinterpret_cast<const xmlNode*>(doc))
                return sink.take();
            leave(node, sink);
        }
    }
    return sink.take();
}

bool isAsciiNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == ':';
}

// Writes "&" as "&amp;" where a non-ASCII character follows its name part.
// No entity has such a name, so the text is the same, but libxml2 reads
// such names on a slower path that garbles long ones at some positions in
// its input buffer, losing their characters.
std::string withPlainAmpersands(std::string html) {
    std::size_t at = html.find('&');
    if (at == std::string::npos)
        return html;
    std::string out;
    out.reserve(html.size() + html.size() / 8);
    std::size_t copied = 0;
    for (; at != std::string::npos; at = html.find('&', at + 1)) {
        std::size_t end = at + 1;
        while (end < html.size() && isAsciiNameChar(html[end]))
            ++end;
        if (end == html.size() || static_cast<unsigned char>(html[end]) < 0x80)
            continue;
        out.append(html, copied, at + 1 - copied);
        out.append("amp;");
        copied = at + 1;
    }
    out.append(html, copied);
    return out;
}

// Asks the stop check while the parser reads the page, from the callbacks
// that build the tree, and stops the parser once it answers yes.
class ParseWatch {
public:
    ParseWatch(htmlParserCtxt* context, const StopCheck& stop)
        : m_stop(stop)
        , m_startElement(context->sax->startElement)
        , m_characters(context->sax->characters)
        , m_comment(context->sax->comment) {
        context->_private = this;
        context->sax->startElement = startElement;
        context->sax->characters = characters;
        context->sax->comment = comment;
    }

    /// Throws Stopped, or what the stop check threw, when the parse was
    /// stopped.
    void rethrow() const {
        if (m_failure)
            std::rethrow_exception(m_failure);
        if (m_stopped)
            throw Stopped();
    }

private:
    static void startElement(void* context, const xmlChar* name, const xmlChar** attributes) {
        watchOf(context).m_startElement(context, name, attributes);
        poll(context);
    }

    static void characters(void* context, const xmlChar* text, int length) {
        watchOf(context).m_characters(context, text, length);
        poll(context);
    }

    static void comment(void* context, const xmlChar* text) {
        if (watchOf(context).m_comment)
            watchOf(context).m_comment(context, text);
        poll(context);
    }

    static ParseWatch& watchOf(void* context) {
        return *static_cast<ParseWatch*>(static_cast<htmlParserCtxt*>(context)->_private);
    }

    static void poll(void* context) {
        auto* parser = static_cast<htmlParserCtxt*>(context);
        ParseWatch& watch = watchOf(context);
        const xmlParserInput* input = parser->input;
        if (!input || !input->cur || !input->base)
            return;
        const std::size_t at = static_cast<std::size_t>(input->consumed) +
                               static_cast<std::size_t>(input->cur - input->base);
        if (at - watch.m_polledAt < Stopped::pollBytes)
            return;
        watch.m_polledAt = at;
        // Nothing may be thrown through the parser's own frames.
        try {
            if (!watch.m_stop())
                return;
        } catch (...) {
            watch.m_failure = std::current_exception();
        }
        watch.m_stopped = true;
        xmlStopParser(parser);
    }

    const StopCheck& m_stop;
    startElementSAXFunc m_startElement;
    charactersSAXFunc m_characters;
    commentSAXFunc m_comment;
    std::size_t m_polledAt = 0;
    bool m_stopped = false;
    std::exception_ptr m_failure;
};

struct ParserContextDeleter {
    void operator()(htmlParserCtxt* context) const { htmlFreeParserCtxt(context); }
};

struct DocumentDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

} // namespace

bool HtmlTextExtractor::styleHides(std::string_view style) {
    // Declarations as a browser reads them: case and blanks do not matter.
    std::string plain;
    plain.reserve(style.size());
    for (const char c : style)
        if (!isCollapsibleSpace(c))
            plain += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (std::string_view rest = plain; !rest.empty();) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        const std::string_view declaration = rest.substr(0, end);
        if (declaration.starts_with("display:none") || declaration.starts_with("visibility:hidden"))
            return true;
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return false;
}

std::string HtmlTextExtractor::textOf(std::string_view utf8Html, EndTags endTags,
                                      const StopCheck& stop, StyleHidden styleHidden) {
    if (utf8Html.empty())
        return {};
    std::string filtered =
        AttributeCapFilter::apply(utf8Html, AttributeCapFilter::defaultKept, stop);
    if (endTags == EndTags::DropUnopened)
        filtered = UnopenedEndTagFilter::apply(filtered, stop);
    Stopped::check(stop);
    const std::string html = withPlainAmpersands(std::move(filtered));
    if (html.size() > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("The HTML text is too long to parse");
    DocumentText::prepareLibraries();
    std::unique_ptr<htmlParserCtxt, ParserContextDeleter> context(htmlNewParserCtxt());
    if (!context)
        throw std::bad_alloc();
    constexpr int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                            HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE;
    std::optional<ParseWatch> watch;
    if (stop)
        watch.emplace(context.get(), stop);
    std::unique_ptr<xmlDoc, DocumentDeleter> doc(htmlCtxtReadMemory(
        context.get(), html.data(), static_cast<int>(html.size()), nullptr, "UTF-8", options));
    if (watch)
        watch->rethrow();
    if (context->errNo == XML_ERR_NO_MEMORY)
        throw std::bad_alloc();
    if (!doc)
        return {};
    return walk(doc.get(), html.size(), stop, styleHidden);
}

} // namespace quillmark
