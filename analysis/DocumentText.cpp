#include "DocumentText.h"

#include "DocText.h"
#include "HtmlTextExtractor.h"
#include "RtfText.h"
#include "TextReader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quillmark {

namespace {

struct Signature {
    std::string_view bytes;
    const char* reason;
    /// Taken only when a NUL follows within the first bytes: such short
    /// signatures can also begin a text.
    bool needsNul;
};

constexpr Signature binarySignatures[] = {
    {"\x7F"
     "ELF",
     "исполняемый файл", false},
    {"MZ", "исполняемый файл", true},
    {"\x89PNG", "изображение", false},
    {"\xFF\xD8\xFF", "изображение", false},
    {"GIF87a", "изображение", false},
    {"GIF89a", "изображение", false},
    {"BM", "изображение", true},
    {std::string_view("II*\0", 4), "изображение", false},
    {std::string_view("MM\0*", 4), "изображение", false},
    {"Rar!", "архив", false},
    {"7z\xBC\xAF", "архив", false},
    {"\x1F\x8B", "архив", true},
};

bool hasEarlyNul(std::string_view bytes) {
    return bytes.substr(0, 64).find('\0') != std::string_view::npos;
}

std::string_view withoutByteOrderMark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    return bytes;
}

bool isFictionBook(std::string_view bytes) {
    bytes = withoutByteOrderMark(bytes);
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || bytes[start] != '<')
        return false;
    return bytes.substr(0, 4096).find("<FictionBook") != std::string_view::npos;
}

[[noreturn]] void broken(TextFormat format) {
    throw UnreadableText(format, "документ повреждён или зашифрован");
}

// --- ZIP containers -------------------------------------------------------

struct ZipDeleter {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Zip = std::unique_ptr<zip_t, ZipDeleter>;

struct ZipFileDeleter {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

/// Reads the entries of one archive, all of them together within the unpack
/// limit.
class ZipReader {
public:
    ZipReader(std::string_view bytes, TextFormat format)
        : m_format(format)
        , m_left(DocumentText::unpackLimit(bytes.size())) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source == nullptr)
            broken(format);
        m_archive.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
        zip_error_fini(&error);
        if (!m_archive) {
            zip_source_free(source);
            broken(format);
        }
    }

    bool has(const std::string& name) const {
        return zip_name_locate(m_archive.get(), name.c_str(), 0) >= 0;
    }

    /// The name of the archive's one file when it holds just one (folders
    /// aside); empty otherwise.
    std::string onlyFile() const {
        std::string only;
        const zip_int64_t entries = zip_get_num_entries(m_archive.get(), 0);
        for (zip_int64_t i = 0; i < entries; ++i) {
            const char* name = zip_get_name(m_archive.get(), static_cast<zip_uint64_t>(i), 0);
            if (name == nullptr || std::string_view(name).ends_with('/'))
                continue;
            if (!only.empty())
                return {};
            only = name;
        }
        return only;
    }

    void setFormat(TextFormat format) { m_format = format; }

    /// The entry's bytes; throws UnreadableText when it is missing, locked,
    /// broken or unpacks past the limit.
    std::string read(const std::string& name) {
        const std::unique_ptr<zip_file_t, ZipFileDeleter> file(
            zip_fopen(m_archive.get(), name.c_str(), 0));
        if (!file) {
            const int code = zip_error_code_zip(zip_get_error(m_archive.get()));
            if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
                throw UnreadableText(m_format, "документ зашифрован");
            broken(m_format);
        }
        std::string content;
        char buffer[1 << 16];
        for (;;) {
            const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
            if (got < 0)
                broken(m_format);
            if (got == 0)
                break;
            // The sizes the archive states are not trusted: count what comes.
            if (static_cast<std::size_t>(got) > m_left)
                throw UnreadableText(m_format,
                                     "документ распаковывается больше допустимого (в 64 раза "
                                     "больше файла или больше 256 МБ)");
            m_left -= static_cast<std::size_t>(got);
            content.append(buffer, static_cast<std::size_t>(got));
        }
        return content;
    }

private:
    Zip m_archive;
    TextFormat m_format;
    std::size_t m_left;
};

/// The bytes of the one document an archive holds (a zipped FictionBook, a
/// PDF sent as a ZIP), read within the archive's unpack limit. Throws
/// UnreadableText for any other archive, an archive inside it among them.
std::string onlyDocument(ZipReader& zip) {
    const std::string name = zip.onlyFile();
    std::string inner = name.empty() ? std::string() : zip.read(name);
    if (inner.empty() || inner.starts_with("PK\x03\x04"))
        throw UnreadableText(TextFormat::Text, "архив, в котором нет документа");
    return inner;
}

TextFormat onlyDocumentFormat(ZipReader& zip) {
    const std::string inner = onlyDocument(zip);
    TextFormat format = TextFormat::Text;
    try {
        format = DocumentText::formatOf(inner);
    } catch (const UnreadableText&) {
    }
    if (!TextReader::isDocument(format))
        throw UnreadableText(TextFormat::Text, "архив, в котором нет документа");
    return format;
}

TextFormat zipFormat(ZipReader& zip) {
    if (zip.has("word/document.xml"))
        return TextFormat::Docx;
    if (zip.has("META-INF/container.xml") && !zip.has("content.xml"))
        return TextFormat::Epub;
    if (zip.has("content.xml") && zip.has("mimetype")) {
        zip.setFormat(TextFormat::Odt);
        const std::string mime = zip.read("mimetype");
        if (mime.starts_with("application/vnd.oasis.opendocument.text"))
            return TextFormat::Odt;
    }
    return onlyDocumentFormat(zip);
}

// --- XML ------------------------------------------------------------------

struct XmlDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using XmlDocument = std::unique_ptr<xmlDoc, XmlDeleter>;

/// Parses without loading a DTD, substituting entities or touching the
/// network; the parser's own limits on depth and entity growth stay on.
XmlDocument parseXml(std::string_view xml, TextFormat format) {
    if (xml.size() > static_cast<std::size_t>(INT_MAX))
        broken(format);
    DocumentText::prepareLibraries();
    XmlDocument document(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                           XML_PARSE_NOCDATA));
    if (!document || xmlDocGetRootElement(document.get()) == nullptr)
        broken(format);
    return document;
}

bool named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string_view attribute(const xmlNode* node, const char* name) {
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        if (std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0)
            continue;
        if (a->children != nullptr && a->children->type == XML_TEXT_NODE &&
            a->children->content != nullptr)
            return reinterpret_cast<const char*>(a->children->content);
        return {};
    }
    return {};
}

void appendText(const xmlNode* node, std::string& out) {
    if (node->content != nullptr)
        out += reinterpret_cast<const char*>(node->content);
}

/// Every text below `node`, in order (entity references stay unexpanded).
void appendAllText(const xmlNode* node, std::string& out) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE)
            appendText(child, out);
        else if (child->type == XML_ELEMENT_NODE)
            appendAllText(child, out);
    }
}

const xmlNode* findElement(const xmlNode* node, const char* name) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (named(child, name))
            return child;
        if (const xmlNode* found = findElement(child, name))
            return found;
    }
    return nullptr;
}

const xmlNode* childNamed(const xmlNode* node, const char* name) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        if (named(child, name))
            return child;
    return nullptr;
}

/// Whether run properties hide text, show it, or leave it to a style.
enum class Visibility { Unset, Shown, Hidden };

/// What run properties (w:rPr) say of hiding: w:vanish or w:specVanish turned
/// on hides; either turned off (w:val 0, false, off) shows.
Visibility visibilityOf(const xmlNode* runProperties) {
    Visibility visibility = Visibility::Unset;
    for (const xmlNode* property = runProperties->children; property != nullptr;
         property = property->next) {
        if (!named(property, "vanish") && !named(property, "specVanish"))
            continue;
        const std::string_view value = attribute(property, "val");
        if (value != "0" && value != "false" && value != "off")
            return Visibility::Hidden;
        visibility = Visibility::Shown;
    }
    return visibility;
}

/// The paragraph and character styles of a WordprocessingML document
/// (word/styles.xml) and whether their run properties hide text, directly or
/// by the style they are based on.
class DocxStyles {
public:
    /// Takes the styles of `root` (w:styles); none when it is missing.
    void add(const xmlNode* root) {
        if (root == nullptr)
            return;
        for (const xmlNode* style = root->children; style != nullptr; style = style->next) {
            if (!named(style, "style"))
                continue;
            Style entry;
            if (const xmlNode* basedOn = childNamed(style, "basedOn"))
                entry.basedOn = attribute(basedOn, "val");
            if (const xmlNode* properties = childNamed(style, "rPr"))
                entry.visibility = visibilityOf(properties);
            m_styles.emplace(std::string(attribute(style, "styleId")), std::move(entry));
        }
    }

    Visibility of(std::string_view id) const {
        // A chain longer than any real one is a loop.
        for (int depth = 0; depth < 32 && !id.empty(); ++depth) {
            const auto found = m_styles.find(std::string(id));
            if (found == m_styles.end())
                return Visibility::Unset;
            if (found->second.visibility != Visibility::Unset)
                return found->second.visibility;
            id = found->second.basedOn;
        }
        return Visibility::Unset;
    }

private:
    struct Style {
        std::string basedOn;
        Visibility visibility = Visibility::Unset;
    };
    std::unordered_map<std::string, Style> m_styles;
};

/// The style a paragraph or run names in its properties (w:pPr/w:pStyle,
/// w:rPr/w:rStyle); empty when none.
std::string_view styleOf(const xmlNode* node, const char* properties, const char* style) {
    const xmlNode* list = childNamed(node, properties);
    const xmlNode* named = list != nullptr ? childNamed(list, style) : nullptr;
    return named != nullptr ? attribute(named, "val") : std::string_view();
}

// WordprocessingML: runs' text (w:t), tabs and breaks, a line per paragraph.
// Hidden runs (by their own properties, their character style or their
// paragraph's style), deleted text, field codes and the fallback copy of
// drawings are skipped; hidden runs' text goes to `hidden`, a line each.
class DocxReader {
public:
    DocxReader(const DocxStyles& styles, std::string& out, std::string* hidden)
        : m_styles(styles)
        , m_out(out)
        , m_hidden(hidden) {}

    void read(const xmlNode* node, Visibility paragraph = Visibility::Unset) {
        for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            if (named(child, "r") && isHidden(child, paragraph)) {
                keepHidden(child);
            } else if (named(child, "t")) {
                appendAllText(child, m_out);
            } else if (named(child, "tab")) {
                m_out += '\t';
            } else if (named(child, "br") || named(child, "cr")) {
                m_out += '\n';
            } else if (named(child, "p")) {
                read(child, m_styles.of(styleOf(child, "pPr", "pStyle")));
                m_out += '\n';
            } else if (!named(child, "Fallback") && !named(child, "delText") &&
                       !named(child, "instrText")) {
                read(child, paragraph);
            }
        }
    }

private:
    /// The run's own properties win over its character style, and that over
    /// its paragraph's style. The properties of a paragraph mark
    /// (w:pPr/w:rPr) hide only the mark, never the runs.
    bool isHidden(const xmlNode* run, Visibility paragraph) const {
        const xmlNode* properties = childNamed(run, "rPr");
        Visibility visibility =
            properties != nullptr ? visibilityOf(properties) : Visibility::Unset;
        if (visibility == Visibility::Unset)
            visibility = m_styles.of(styleOf(run, "rPr", "rStyle"));
        if (visibility == Visibility::Unset)
            visibility = paragraph;
        return visibility == Visibility::Hidden;
    }

    void keepHidden(const xmlNode* run) {
        if (m_hidden == nullptr)
            return;
        std::string text;
        DocxReader(m_styles, text, nullptr).read(run);
        *m_hidden += text;
        *m_hidden += '\n';
    }

    const DocxStyles& m_styles;
    std::string& m_out;
    std::string* m_hidden;
};

/// The styles of word/styles.xml, where it can be read: a damaged one hides
/// nothing, and the body is read as it always was.
DocxStyles docxStyles(ZipReader& zip) {
    DocxStyles styles;
    if (!zip.has("word/styles.xml"))
        return styles;
    try {
        const XmlDocument document = parseXml(zip.read("word/styles.xml"), TextFormat::Docx);
        styles.add(xmlDocGetRootElement(document.get()));
    } catch (const UnreadableText&) {
    }
    return styles;
}

/// The paragraph and text styles of an OpenDocument text whose text
/// properties hide their text (text:display="none"), directly or by the
/// style they are based on.
class OdtStyles {
public:
    /// Takes the styles listed in `list` (office:styles or
    /// office:automatic-styles); none when it is missing.
    void add(const xmlNode* list) {
        if (list == nullptr)
            return;
        for (const xmlNode* style = list->children; style != nullptr; style = style->next) {
            if (!named(style, "style"))
                continue;
            Style entry{std::string(attribute(style, "parent-style-name")), {}};
            if (const xmlNode* properties = childNamed(style, "text-properties"))
                entry.display = attribute(properties, "display");
            m_styles.emplace(keyOf(attribute(style, "family"), attribute(style, "name")),
                             std::move(entry));
        }
    }

    bool hides(std::string_view family, std::string_view name) const {
        // A style says shown or hidden, or leaves it to its parent; a chain
        // longer than any real one is a loop.
        for (int depth = 0; depth < 32 && !name.empty(); ++depth) {
            const auto found = m_styles.find(keyOf(family, name));
            if (found == m_styles.end())
                return false;
            if (!found->second.display.empty())
                return found->second.display == "none";
            name = found->second.parent;
        }
        return false;
    }

private:
    struct Style {
        std::string parent;
        std::string display;
    };

    static std::string keyOf(std::string_view family, std::string_view name) {
        std::string key(family);
        key += '\n';
        key += name;
        return key;
    }

    std::unordered_map<std::string, Style> m_styles;
};

/// A text:hidden-paragraph field whose condition held, in the paragraph
/// itself (not in a note or a frame's paragraph within it).
bool hasHiddenParagraphField(const xmlNode* node) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || named(child, "p") || named(child, "h") ||
            named(child, "note") || named(child, "annotation"))
            continue;
        if (named(child, "hidden-paragraph") ? attribute(child, "is-hidden") == "true"
                                             : hasHiddenParagraphField(child))
            return true;
    }
    return false;
}

/// What a reader of the document does not see: an element shown as "none"
/// (a hidden section, a field not displayed), hidden text whose condition
/// held, a paragraph a hidden-paragraph field hides, and paragraphs and
/// spans of a hidden style. Conditions themselves are not evaluated: the
/// document's own last result of them is taken.
bool isHiddenOdt(const xmlNode* node, const OdtStyles& styles) {
    if (attribute(node, "display") == "none")
        return true;
    if (named(node, "hidden-text"))
        return attribute(node, "is-hidden") == "true";
    if (named(node, "span"))
        return styles.hides("text", attribute(node, "style-name"));
    if (!named(node, "p") && !named(node, "h"))
        return false;
    return styles.hides("paragraph", attribute(node, "style-name")) ||
           hasHiddenParagraphField(node);
}

/// The blanks of a text:s element: as many as it counts, one at least and
/// 1000 at most.
void appendSpaces(const xmlNode* node, std::string& out) {
    int spaces = 0;
    for (const char c : attribute(node, "c"))
        spaces = c >= '0' && c <= '9' ? std::min(spaces * 10 + (c - '0'), 1000) : spaces;
    out.append(static_cast<std::size_t>(std::max(spaces, 1)), ' ');
}

// OpenDocument text: paragraphs and headings, a line each; hidden text,
// notes, annotations and tracked changes are skipped; hidden text goes to
// `hidden` (when given), a line for each hidden element.
void odtText(const xmlNode* node, bool inParagraph, const OdtStyles& styles, std::string& out,
             std::string* hidden) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE) {
            if (inParagraph)
                appendText(child, out);
            continue;
        }
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (isHiddenOdt(child, styles)) {
            if (hidden != nullptr) {
                appendAllText(child, *hidden);
                *hidden += '\n';
            }
            continue;
        }
        if (named(child, "p") || named(child, "h")) {
            odtText(child, true, styles, out, hidden);
            out += '\n';
        } else if (named(child, "s")) {
            appendSpaces(child, out);
        } else if (named(child, "tab")) {
            out += '\t';
        } else if (named(child, "line-break")) {
            out += '\n';
        } else if (!named(child, "note") && !named(child, "annotation") &&
                   !named(child, "tracked-changes")) {
            odtText(child, inParagraph, styles, out, hidden);
        }
    }
}

/// The common styles of styles.xml, where it can be read: a damaged one
/// hides nothing, and the body is read as it always was.
void addCommonStyles(ZipReader& zip, OdtStyles& styles) {
    if (!zip.has("styles.xml"))
        return;
    try {
        const XmlDocument common = parseXml(zip.read("styles.xml"), TextFormat::Odt);
        styles.add(childNamed(xmlDocGetRootElement(common.get()), "styles"));
    } catch (const UnreadableText&) {
    }
}

/// The body's text; the content's automatic styles and the common styles
/// (styles.xml) tell which paragraphs and spans are hidden, an automatic
/// style winning over a common one of its name.
std::string odtDocumentText(ZipReader& zip, std::string* hidden) {
    const XmlDocument document = parseXml(zip.read("content.xml"), TextFormat::Odt);
    const xmlNode* root = xmlDocGetRootElement(document.get());
    OdtStyles styles;
    styles.add(childNamed(root, "automatic-styles"));
    addCommonStyles(zip, styles);
    std::string text;
    if (const xmlNode* body = findElement(root, "body"))
        odtText(body, false, styles, text, hidden);
    return text;
}

// FictionBook: the main bodies' paragraphs, verses, subtitles and authors'
// lines, a line each; the notes body, the description and images are skipped.
void fb2Text(const xmlNode* node, std::string& out) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || named(child, "binary") ||
            named(child, "description"))
            continue;
        if (named(child, "body") && attribute(child, "name") == "notes")
            continue;
        if (named(child, "p") || named(child, "v") || named(child, "subtitle") ||
            named(child, "text-author")) {
            appendAllText(child, out);
            out += '\n';
        } else {
            fb2Text(child, out);
        }
    }
}

// --- EPUB -------------------------------------------------------------------

std::string percentDecoded(std::string_view href) {
    std::string out;
    for (std::size_t i = 0; i < href.size(); ++i) {
        if (href[i] == '%' && i + 2 < href.size()) {
            const std::string hex(href.substr(i + 1, 2));
            char* end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        out += href[i];
    }
    return out;
}

/// `href` relative to the directory of `base`, with "." and ".." resolved.
std::string resolvedPath(const std::string& base, std::string_view href) {
    std::string joined = base.substr(0, base.rfind('/') + 1) + percentDecoded(href);
    joined = joined.substr(0, joined.find('#'));
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', at), joined.size());
        const std::string part = joined.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    std::string path;
    for (const std::string& part : parts)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

/// The manifest's hrefs by id, the first of a repeated id winning: each
/// spine entry is then found at once, however long the book.
std::unordered_map<std::string_view, std::string_view> manifestHrefs(const xmlNode* manifest) {
    std::unordered_map<std::string_view, std::string_view> hrefs;
    for (const xmlNode* entry = manifest->children; entry != nullptr; entry = entry->next)
        if (named(entry, "item"))
            hrefs.emplace(attribute(entry, "id"), attribute(entry, "href"));
    return hrefs;
}

/// Refuses a spine of more entries than a book has chapters, before any of
/// them is read.
void checkSpineLength(const xmlNode* spine) {
    std::size_t entries = 0;
    for (const xmlNode* item = spine->children; item != nullptr; item = item->next)
        entries += named(item, "itemref") ? 1 : 0;
    if (entries > DocumentText::epubSpineItems)
        throw UnreadableText(TextFormat::Epub, "в EPUB больше 5000 разделов");
}

std::string epubText(ZipReader& zip) {
    const XmlDocument container = parseXml(zip.read("META-INF/container.xml"), TextFormat::Epub);
    const xmlNode* rootfile = findElement(reinterpret_cast<xmlNode*>(container.get()), "rootfile");
    if (rootfile == nullptr)
        broken(TextFormat::Epub);
    const std::string packagePath(attribute(rootfile, "full-path"));
    const XmlDocument package = parseXml(zip.read(packagePath), TextFormat::Epub);
    const xmlNode* manifest = findElement(reinterpret_cast<xmlNode*>(package.get()), "manifest");
    const xmlNode* spine = findElement(reinterpret_cast<xmlNode*>(package.get()), "spine");
    if (manifest == nullptr || spine == nullptr)
        broken(TextFormat::Epub);
    checkSpineLength(spine);
    const auto hrefs = manifestHrefs(manifest);
    std::string text;
    for (const xmlNode* item = spine->children; item != nullptr; item = item->next) {
        if (!named(item, "itemref"))
            continue;
        const auto found = hrefs.find(attribute(item, "idref"));
        if (found == hrefs.end())
            continue;
        text += HtmlTextExtractor::textOf(zip.read(resolvedPath(packagePath, found->second)));
        text += '\n';
    }
    return text;
}

// --- PDF --------------------------------------------------------------------

void quietPoppler(const std::string&, void*) {}

std::string pdfText(std::string_view bytes) {
    DocumentText::prepareLibraries();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        broken(TextFormat::Pdf);
    const std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
    if (!document)
        broken(TextFormat::Pdf);
    if (document->is_locked())
        throw UnreadableText(TextFormat::Pdf, "документ зашифрован");
    const int pages = document->pages();
    if (pages > DocumentText::pdfPages)
        throw UnreadableText(TextFormat::Pdf, "в PDF больше 20000 страниц");
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(DocumentText::pdfSeconds);
    std::string text;
    bool anyLetter = false;
    for (int i = 0; i < pages; ++i) {
        if (std::chrono::steady_clock::now() > deadline)
            throw UnreadableText(TextFormat::Pdf, "PDF читается дольше 30 секунд");
        const std::unique_ptr<poppler::page> page(document->create_page(i));
        if (!page)
            continue;
        const poppler::byte_array utf8 = page->text().to_utf8();
        // Lines of a page are its layout, not paragraphs: a blank keeps the
        // words at their ends apart when the line ends are joined.
        for (const char c : utf8) {
            if (c == '\n' || c == '\r' || c == '\f') {
                text += " \n";
                continue;
            }
            anyLetter = anyLetter || static_cast<unsigned char>(c) > ' ';
            text += c;
        }
        text += " \n";
        // Pages of text past the file's own cap: as a file that big, not read.
        if (text.size() > TextReader::maxFileSize)
            throw UnreadableText(TextFormat::Pdf, "текст PDF больше 256 МБ");
    }
    if (!anyLetter)
        throw UnreadableText(TextFormat::Pdf, "в PDF нет текстового слоя (скан?)");
    return text;
}

} // namespace

void DocumentText::prepareLibraries() {
    static const bool ready = [] {
        xmlInitParser();
        poppler::set_debug_error_function(quietPoppler, nullptr);
        return true;
    }();
    (void)ready;
}

std::size_t DocumentText::unpackLimit(std::size_t fileSize) {
    constexpr std::size_t floor = 16u << 20;
    constexpr std::size_t ceiling = 256u << 20;
    if (fileSize > ceiling / 64)
        return ceiling;
    return std::clamp(fileSize * 64, floor, ceiling);
}

TextFormat DocumentText::formatOf(std::string_view bytes) {
    if (bytes.starts_with("PK\x03\x04")) {
        ZipReader zip(bytes, TextFormat::Text);
        return zipFormat(zip);
    }
    if (bytes.starts_with("%PDF-"))
        return TextFormat::Pdf;
    if (RtfText::looksLikeRtf(bytes))
        return TextFormat::Rtf;
    if (DocText::looksLikeCompoundFile(bytes))
        return TextFormat::Doc;
    for (const Signature& signature : binarySignatures)
        if (bytes.starts_with(signature.bytes) && (!signature.needsNul || hasEarlyNul(bytes)))
            throw UnreadableText(TextFormat::Text, signature.reason);
    if (isFictionBook(bytes))
        return TextFormat::Fb2;
    return TextFormat::Text;
}

std::string DocumentText::paragraphsOf(std::string_view bytes, TextFormat format,
                                       std::string& encoding, std::string* hidden) {
    const bool zipped = format != TextFormat::Docx && format != TextFormat::Odt &&
                        format != TextFormat::Epub && bytes.starts_with("PK\x03\x04");
    if (zipped) {
        ZipReader zip(bytes, format);
        return paragraphsOf(onlyDocument(zip), format, encoding, hidden);
    }
    encoding.clear();
    std::string text;
    switch (format) {
    case TextFormat::Docx: {
        ZipReader zip(bytes, format);
        const XmlDocument document = parseXml(zip.read("word/document.xml"), format);
        const DocxStyles styles = docxStyles(zip);
        const xmlNode* body = findElement(reinterpret_cast<xmlNode*>(document.get()), "body");
        if (body != nullptr)
            DocxReader(styles, text, hidden).read(body);
        return text;
    }
    case TextFormat::Odt: {
        ZipReader zip(bytes, format);
        return odtDocumentText(zip, hidden);
    }
    case TextFormat::Epub: {
        ZipReader zip(bytes, format);
        return epubText(zip);
    }
    case TextFormat::Fb2: {
        const XmlDocument document = parseXml(bytes, format);
        if (document->encoding != nullptr)
            encoding = reinterpret_cast<const char*>(document->encoding);
        fb2Text(xmlDocGetRootElement(document.get()), text);
        return text;
    }
    case TextFormat::Pdf:
        return pdfText(bytes);
    case TextFormat::Rtf:
        return RtfText::paragraphsOf(bytes, hidden, unpackLimit(bytes.size()));
    case TextFormat::Doc:
        return DocText::paragraphsOf(bytes, unpackLimit(bytes.size()));
    case TextFormat::Text:
    case TextFormat::Html:
        break;
    }
    return std::string(bytes);
}

} // namespace quillmark
