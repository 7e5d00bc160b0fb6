#include "RtfText.h"

#include "DocumentText.h"
#include "Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillmark {

namespace {

constexpr char32_t replacement = 0xFFFD;

// --- Code pages -------------------------------------------------------------

struct CodePage {
    int number;
    const char* iconvName;
};

/// The single-byte code pages whose bytes are read; a byte of another code
/// page (a double-byte one among them) is a replacement character.
constexpr CodePage codePages[] = {
    {437, "CP437"},        {850, "CP850"},        {866, "CP866"},          {874, "CP874"},
    {1250, "CP1250"},      {1251, "CP1251"},      {1252, "CP1252"},        {1253, "CP1253"},
    {1254, "CP1254"},      {1255, "CP1255"},      {1256, "CP1256"},        {1257, "CP1257"},
    {1258, "CP1258"},      {10000, "MACINTOSH"},  {10007, "MAC-CYRILLIC"}, {20866, "KOI8-R"},
    {21866, "KOI8-U"},     {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},   {28595, "ISO-8859-5"},
    {28597, "ISO-8859-7"}, {28599, "ISO-8859-9"}, {28605, "ISO-8859-15"},
};

/// The code page of a font's character set (\fcharsetN); 0 for the default
/// character set and those not listed, which read in the document's.
int codePageOfCharset(long charset) {
    static constexpr std::pair<long, int> charsets[] = {
        {0, 1252},   {2, 42},     {77, 10000}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},
        {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
        {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850},
    };
    for (const auto& [set, page] : charsets)
        if (set == charset)
            return page;
    return 0;
}

using ByteTable = std::array<char32_t, 256>;

char32_t convertedByte(iconv_t converter, unsigned byte) {
    char in = static_cast<char>(byte);
    unsigned char out[16] = {};
    char* inAt = &in;
    auto* outAt = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    constexpr auto failed = static_cast<std::size_t>(-1);
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (::iconv(converter, &inAt, &inLeft, &outAt, &outLeft) == failed)
        return replacement;
    // A converter that waits for a combining mark gives the letter up here.
    if (::iconv(converter, nullptr, nullptr, &outAt, &outLeft) == failed)
        return replacement;
    if (sizeof out - outLeft != 4)
        return replacement;
    return out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
}

ByteTable makeTable(const char* iconvName) {
    ByteTable table{};
    for (unsigned b = 0; b < 0x80; ++b)
        table[b] = b;
    std::fill(table.begin() + 0x80, table.end(), replacement);
    const iconv_t converter = ::iconv_open("UTF-32LE", iconvName);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return table;
    for (unsigned b = 0x80; b < 0x100; ++b)
        table[b] = convertedByte(converter, b);
    ::iconv_close(converter);
    return table;
}

/// The characters of a code page's bytes, worked out through iconv the
/// first time the code page is met; null for a code page not listed.
const ByteTable* tableOf(int codePage) {
    constexpr std::size_t count = std::size(codePages);
    static std::array<ByteTable, count> tables;
    static std::array<std::once_flag, count> built;
    for (std::size_t i = 0; i < count; ++i) {
        if (codePages[i].number != codePage)
            continue;
        std::call_once(built[i], [i] { tables[i] = makeTable(codePages[i].iconvName); });
        return &tables[i];
    }
    return nullptr;
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// Whether `text` has a character other than white space.
bool hasText(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

[[noreturn]] void damaged() {
    throw UnreadableText(TextFormat::Rtf, "документ повреждён");
}

// --- The reader -------------------------------------------------------------

/// Destinations that hold no text of the body, skipped with their group;
/// names parted by blanks.
constexpr std::string_view skippedDestinations =
    "colortbl stylesheet info pict object header headerl headerr headerf footer footerl footerr "
    "footerf footnote annotation fldinst listtable listoverridetable themedata colorschememapping "
    "datastore latentstyles xmlnstbl rsidtbl generator listtext pntext pn nonesttables shprslt "
    "nonshppict filetbl revtbl xe tc atnid atnauthor ftnsep ftnsepc ftncn aftnsep aftnsepc aftncn "
    "template userprops pgdsctbl";

/// Breaks that end a line: paragraphs, lines, sections, pages, columns and
/// table cells.
constexpr std::string_view lineEnds = "par line sect page column cell nestcell";

/// The names in a list parted by blanks.
std::vector<std::string_view> namesIn(std::string_view list) {
    std::vector<std::string_view> names;
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = std::min(list.find(' ', at), list.size());
        names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

struct Sign {
    std::string_view word;
    char32_t character;
};

constexpr Sign signs[] = {
    {"tab", '\t'},       {"emdash", 0x2014},    {"endash", 0x2013},    {"emspace", 0x2003},
    {"enspace", 0x2002}, {"qmspace", 0x2005},   {"bullet", 0x2022},    {"lquote", 0x2018},
    {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"zwj", 0x200D},
    {"zwnj", 0x200C},    {"zwbo", 0x200B},      {"ltrmark", 0x200E},   {"rtlmark", 0x200F}};

/// Where the text of a group goes: into the document, into the font table
/// (whose fonts and character sets are noted), or nowhere.
enum class Destination { Text, Fonts, Skipped };

/// What a group sets and its nested groups inherit.
struct GroupState {
    Destination destination = Destination::Text;
    bool hidden = false;
    bool deleted = false;
    /// How many characters stand in for each \u character (\ucN).
    long fallbackLength = 1;
    /// In the text the font in use, in the font table the font described.
    long font = -1;
};

struct Control {
    std::optional<long> parameter;
    /// What the control word's table entry gives: a character or a code page.
    char32_t value = 0;
};

/// The code pages a font's entry names: \cpgN wins over \fcharsetN.
struct FontCodePage {
    int charset = 0;
    int declared = 0;
    int page() const { return declared != 0 ? declared : charset; }
};

class RtfReader {
public:
    RtfReader(std::string_view bytes, std::size_t sizeLimit)
        : m_bytes(bytes)
        , m_sizeLimit(sizeLimit) {}

    /// Reads the whole document; its hidden text is hiddenText() after.
    std::string read();
    const std::string& hiddenText() const { return m_hiddenText; }

private:
    using Action = void (RtfReader::*)(const Control&);
    struct Meaning {
        Action action;
        char32_t value = 0;
    };
    static const std::unordered_map<std::string_view, Meaning>& meanings();

    void step();
    void openGroup();
    void closeGroup();
    void escape();
    void controlWord();
    std::optional<long> parameter();
    void controlSymbol(char c);
    void hexByte();
    void character(unsigned char byte);
    bool skipsFallback();
    void skipBinary(long length);
    void finish();

    void put(char32_t c);
    void append(char32_t c);
    void flushSurrogate(std::string& target);
    void closeHiddenRun();
    void checkSize() const;
    const ByteTable* tableNow();

    // Control words.
    void skipGroup(const Control&);
    void readFonts(const Control&);
    void endLine(const Control&);
    void endRow(const Control&);
    void putValue(const Control& control) { put(control.value); }
    void unicode(const Control& control);
    void setFallbackLength(const Control& control);
    void setHidden(const Control& control);
    void setDeleted(const Control& control);
    void plain(const Control&);
    void selectFont(const Control& control);
    void setDefaultFont(const Control& control);
    void setCharset(const Control& control);
    void setFontCodePage(const Control& control);
    void setDocumentCodePage(const Control& control);

    GroupState& group() { return m_groups.back(); }

    std::string_view m_bytes;
    std::size_t m_at = 0;
    std::size_t m_sizeLimit;
    std::vector<GroupState> m_groups;
    std::unordered_map<long, FontCodePage> m_fonts;
    int m_documentPage = 1252;
    long m_defaultFont = -1;
    /// Characters still to skip after a \u character.
    long m_fallbackLeft = 0;
    /// The first half of a character beyond U+FFFF, waiting for the second.
    char32_t m_highSurrogate = 0;
    std::string m_text;
    std::string m_hiddenText;
    bool m_hiddenOpen = false;
    int m_tablePage = -1;
    const ByteTable* m_table = nullptr;
};

const std::unordered_map<std::string_view, RtfReader::Meaning>& RtfReader::meanings() {
    static const auto table = [] {
        const auto page = [](char32_t number) {
            return Meaning{&RtfReader::setDocumentCodePage, number};
        };
        std::unordered_map<std::string_view, Meaning> words = {
            {"fonttbl", {&RtfReader::readFonts}},
            {"row", {&RtfReader::endRow}},
            {"nestrow", {&RtfReader::endRow}},
            {"u", {&RtfReader::unicode}},
            {"uc", {&RtfReader::setFallbackLength}},
            {"v", {&RtfReader::setHidden}},
            {"deleted", {&RtfReader::setDeleted}},
            {"plain", {&RtfReader::plain}},
            {"f", {&RtfReader::selectFont}},
            {"deff", {&RtfReader::setDefaultFont}},
            {"fcharset", {&RtfReader::setCharset}},
            {"cpg", {&RtfReader::setFontCodePage}},
            {"ansicpg", page(0)},
            {"ansi", page(1252)},
            {"mac", page(10000)},
            {"pc", page(437)},
            {"pca", page(850)}};
        for (const std::string_view word : namesIn(skippedDestinations))
            words.emplace(word, Meaning{&RtfReader::skipGroup});
        for (const std::string_view word : namesIn(lineEnds))
            words.emplace(word, Meaning{&RtfReader::endLine});
        for (const Sign& sign : signs)
            words.emplace(sign.word, Meaning{&RtfReader::putValue, sign.character});
        return words;
    }();
    return table;
}

std::string RtfReader::read() {
    if (!RtfText::looksLikeRtf(m_bytes))
        damaged();
    m_at = m_bytes.find('{');
    do
        step();
    while (!m_groups.empty() && m_at < m_bytes.size());
    // What follows the document may be blanks and NULs a writer padded it with.
    if (!m_groups.empty() ||
        m_bytes.find_first_not_of(std::string_view(" \t\r\n\0", 5), m_at) != std::string::npos)
        damaged();
    finish();
    if (!hasText(m_text) && !hasText(m_hiddenText))
        throw UnreadableText(TextFormat::Rtf, "в RTF нет текста");
    return std::move(m_text);
}

void RtfReader::step() {
    const char c = m_bytes[m_at++];
    switch (c) {
    case '{':
        openGroup();
        break;
    case '}':
        closeGroup();
        break;
    case '\\':
        escape();
        break;
    case '\r':
    case '\n':
    case '\0':
        break;
    default:
        character(static_cast<unsigned char>(c));
    }
}

void RtfReader::openGroup() {
    m_fallbackLeft = 0;
    if (m_groups.size() >= RtfText::maxDepth)
        throw UnreadableText(TextFormat::Rtf, "в RTF больше 1000 вложенных групп");
    m_groups.push_back(m_groups.empty() ? GroupState{} : m_groups.back());
}

void RtfReader::closeGroup() {
    m_fallbackLeft = 0;
    m_groups.pop_back();
}

void RtfReader::escape() {
    if (m_at == m_bytes.size())
        return; // the groups are still open: the document is damaged
    const char c = m_bytes[m_at];
    if (isLetter(c)) {
        controlWord();
        return;
    }
    ++m_at;
    if (c == '\'') {
        hexByte();
    } else if (!skipsFallback()) {
        controlSymbol(c);
    }
}

void RtfReader::controlWord() {
    const std::size_t start = m_at;
    while (m_at < m_bytes.size() && isLetter(m_bytes[m_at]))
        ++m_at;
    const std::string_view name = m_bytes.substr(start, m_at - start);
    const std::optional<long> number = parameter();
    if (m_at < m_bytes.size() && m_bytes[m_at] == ' ')
        ++m_at;
    // Binary data is skipped whatever the group: its bytes may be braces.
    if (name == "bin") {
        skipBinary(number.value_or(0));
        return;
    }
    if (skipsFallback() || group().destination == Destination::Skipped)
        return;
    const auto& table = meanings();
    const auto found = table.find(name);
    if (found != table.end())
        (this->*found->second.action)(Control{number, found->second.value});
}

/// The numeric parameter after a control word, if any: an optional minus
/// and digits, held within a billion so that no digit count overflows it.
std::optional<long> RtfReader::parameter() {
    const bool negative =
        m_at + 1 < m_bytes.size() && m_bytes[m_at] == '-' && isDigit(m_bytes[m_at + 1]);
    m_at += negative ? 1 : 0;
    if (m_at == m_bytes.size() || !isDigit(m_bytes[m_at]))
        return std::nullopt;
    long value = 0;
    for (; m_at < m_bytes.size() && isDigit(m_bytes[m_at]); ++m_at)
        value = std::min(value * 10 + (m_bytes[m_at] - '0'), 1000000000L);
    return negative ? -value : value;
}

void RtfReader::controlSymbol(char c) {
    switch (c) {
    case '\\':
    case '{':
    case '}':
        put(static_cast<unsigned char>(c));
        break;
    case '~':
        put(0x00A0);
        break;
    case '_':
        put(0x2011);
        break;
    case '*':
        group().destination = Destination::Skipped;
        break;
    case '\r':
    case '\n':
        endLine({});
        break;
    default: // \- an optional hyphen, \: an index subentry, \| a formula
        break;
    }
}

void RtfReader::hexByte() {
    const int high = m_at < m_bytes.size() ? hexValue(m_bytes[m_at]) : -1;
    const int low = m_at + 1 < m_bytes.size() ? hexValue(m_bytes[m_at + 1]) : -1;
    // A cut escape is dropped with the digit it has.
    if (high < 0 || low < 0) {
        m_at += high < 0 ? 0 : 1;
        skipsFallback();
        return;
    }
    m_at += 2;
    character(static_cast<unsigned char>(high * 16 + low));
}

void RtfReader::character(unsigned char byte) {
    if (skipsFallback() || group().destination != Destination::Text)
        return;
    if (byte < 0x80) {
        put(byte);
        return;
    }
    const ByteTable* table = tableNow();
    put(table != nullptr ? (*table)[byte] : replacement);
}

/// Counts one character against the fallback of the last \u character:
/// true when it is one and is skipped.
bool RtfReader::skipsFallback() {
    if (m_fallbackLeft <= 0)
        return false;
    --m_fallbackLeft;
    return true;
}

void RtfReader::skipBinary(long length) {
    const auto left = static_cast<long>(m_bytes.size() - m_at);
    m_at += static_cast<std::size_t>(std::clamp(length, 0L, left));
}

void RtfReader::finish() {
    flushSurrogate(m_text);
    closeHiddenRun();
    if (!m_text.empty() && m_text.back() != '\n')
        m_text += '\n';
    checkSize();
}

void RtfReader::put(char32_t c) {
    if (group().destination != Destination::Text || group().deleted)
        return;
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (low && m_highSurrogate != 0) {
        c = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (c - 0xDC00);
        m_highSurrogate = 0;
    }
    flushSurrogate(group().hidden ? m_hiddenText : m_text);
    if (high)
        m_highSurrogate = c;
    else
        append(c >= 0xDC00 && c <= 0xDFFF ? replacement : c);
}

void RtfReader::append(char32_t c) {
    // Control characters are no text, yet they part the words around them.
    if (c < 0x20 && c != '\t')
        c = ' ';
    if (group().hidden) {
        appendUtf8(c, m_hiddenText);
        m_hiddenOpen = true;
    } else {
        closeHiddenRun();
        appendUtf8(c, m_text);
    }
    checkSize();
}

/// A first half of a character beyond U+FFFF that no second half followed.
void RtfReader::flushSurrogate(std::string& target) {
    if (m_highSurrogate == 0)
        return;
    m_highSurrogate = 0;
    appendUtf8(replacement, target);
}

void RtfReader::closeHiddenRun() {
    if (!m_hiddenOpen)
        return;
    m_hiddenText += '\n';
    m_hiddenOpen = false;
}

void RtfReader::checkSize() const {
    if (m_text.size() + m_hiddenText.size() > m_sizeLimit)
        throw UnreadableText(TextFormat::Rtf, "документ распаковывается больше допустимого (в 64 "
                                              "раза больше файла или больше 256 МБ)");
}

const ByteTable* RtfReader::tableNow() {
    const auto font = m_fonts.find(group().font);
    int page = font != m_fonts.end() ? font->second.page() : 0;
    page = page != 0 ? page : m_documentPage;
    if (page != m_tablePage) {
        m_tablePage = page;
        m_table = tableOf(page);
    }
    return m_table;
}

void RtfReader::skipGroup(const Control&) {
    group().destination = Destination::Skipped;
}

void RtfReader::readFonts(const Control&) {
    if (group().destination == Destination::Text)
        group().destination = Destination::Fonts;
}

// Line ends stay in the text whether their marks are hidden or not: the
// paragraphs either side of a hidden mark keep their words apart.
void RtfReader::endLine(const Control&) {
    if (group().destination != Destination::Text)
        return;
    flushSurrogate(m_text);
    closeHiddenRun();
    m_text += '\n';
    checkSize();
}

// The last cell of a row has ended its line already.
void RtfReader::endRow(const Control& control) {
    if (!m_text.empty() && m_text.back() != '\n')
        endLine(control);
}

void RtfReader::unicode(const Control& control) {
    long value = control.parameter.value_or(0);
    value += value < 0 ? 65536 : 0;
    put(value >= 0 && value <= 0xFFFF ? static_cast<char32_t>(value) : replacement);
    m_fallbackLeft = group().fallbackLength;
}

void RtfReader::setFallbackLength(const Control& control) {
    group().fallbackLength = std::max(control.parameter.value_or(1), 0L);
}

void RtfReader::setHidden(const Control& control) {
    group().hidden = control.parameter.value_or(1) != 0;
}

void RtfReader::setDeleted(const Control& control) {
    group().deleted = control.parameter.value_or(1) != 0;
}

void RtfReader::plain(const Control&) {
    group().hidden = false;
    group().deleted = false;
    group().font = m_defaultFont;
}

void RtfReader::selectFont(const Control& control) {
    if (control.parameter)
        group().font = *control.parameter;
}

void RtfReader::setDefaultFont(const Control& control) {
    if (!control.parameter)
        return;
    m_defaultFont = *control.parameter;
    if (group().font < 0)
        group().font = m_defaultFont;
}

void RtfReader::setCharset(const Control& control) {
    if (group().destination != Destination::Fonts || !control.parameter)
        return;
    m_fonts[group().font].charset = codePageOfCharset(*control.parameter);
    m_tablePage = -1;
}

void RtfReader::setFontCodePage(const Control& control) {
    if (group().destination != Destination::Fonts || !control.parameter)
        return;
    m_fonts[group().font].declared = static_cast<int>(*control.parameter);
    m_tablePage = -1;
}

void RtfReader::setDocumentCodePage(const Control& control) {
    const long page = control.value != 0 ? control.value : control.parameter.value_or(0);
    if (page > 0) {
        m_documentPage = static_cast<int>(page);
        m_tablePage = -1;
    }
}

} // namespace

bool RtfText::looksLikeRtf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    return start != std::string_view::npos && bytes.substr(start).starts_with("{\\rtf");
}

std::string RtfText::paragraphsOf(std::string_view bytes, std::string* hidden,
                                  std::size_t sizeLimit) {
    RtfReader reader(bytes, sizeLimit);
    std::string text = reader.read();
    if (hidden != nullptr)
        *hidden += reader.hiddenText();
    return text;
}

} // namespace quillmark
