#include "AttributeCapFilter.h"

#include "HtmlMarkupWalker.h"

namespace quillmark {

namespace {

class AttributeCutter : public HtmlMarkupWalker {
public:
    AttributeCutter(std::string_view html, std::size_t kept, const StopCheck& stop)
        : HtmlMarkupWalker(html, stop)
        , m_kept(kept) {}

    std::string run() {
        walk();
        if (m_copied == 0)
            return std::string(m_html);
        m_out.append(m_html.substr(m_copied));
        return std::move(m_out);
    }

private:
    void onStartTag(std::size_t open, std::size_t end) override {
        // Every attribute takes a byte at least.
        if (end - open <= m_kept)
            return;
        // The walk saw this tag end, so its close comes before the page's end.
        std::size_t at = firstAttribute(m_html, open + 1);
        std::size_t cut = npos;
        for (std::size_t count = 0; !isTagClose(m_html, at); ++count) {
            if (count == m_kept)
                cut = at;
            at = nextAttribute(m_html, at);
        }
        if (cut == npos)
            return;
        if (m_out.empty())
            m_out.reserve(m_html.size());
        m_out.append(m_html.substr(m_copied, cut - m_copied));
        m_copied = at;
    }

    const std::size_t m_kept;
    std::string m_out;
    std::size_t m_copied = 0;
};

} // namespace

std::string AttributeCapFilter::apply(std::string_view html, std::size_t kept,
                                      const StopCheck& stop) {
    return AttributeCutter(html, kept, stop).run();
}

} // namespace quillmark
