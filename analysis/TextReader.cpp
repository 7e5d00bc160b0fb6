#include "TextReader.h"

#include "Cp1251.h"
#include "DocText.h"
#include "RtfText.h"

#include <algorithm>

namespace quillmark {

namespace {

constexpr std::size_t headSize = 4096;

bool isWide(Encoding encoding) {
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be ||
           encoding == Encoding::Utf32Le || encoding == Encoding::Utf32Be;
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 0x20);
    return lower;
}

/// The charset value after "charset" at `at` in a lower-cased tag: blanks,
/// "=", an optional quote, then the label.
std::string_view charsetValue(std::string_view tag, std::size_t at) {
    at = tag.find_first_not_of(" \t\r\n", at);
    if (at == std::string_view::npos || tag[at] != '=')
        return {};
    at = tag.find_first_not_of(" \t\r\n\"'", at + 1);
    if (at == std::string_view::npos)
        return {};
    const std::size_t end = tag.find_first_of(" \t\r\n\"';>/", at);
    return tag.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

Encoding documentEncoding(const std::string& declared) {
    const Encoding encoding = TextEncoding::fromLabel(declared);
    return encoding == Encoding::Auto ? Encoding::Utf8 : encoding;
}

/// The fingerprint's words in a UTF-8 text: runs of word characters once it
/// reads as Windows-1251.
std::int32_t wordCount(std::string_view utf8) {
    std::string text;
    Cp1251::appendFromUtf8(utf8, text);
    std::int32_t count = 0;
    bool inWord = false;
    for (const char c : text) {
        const bool wordChar = IsWordChar(static_cast<unsigned char>(c));
        count += wordChar && !inWord ? 1 : 0;
        inWord = wordChar;
    }
    return count;
}

} // namespace

std::string_view TextReader::formatName(TextFormat format) {
    switch (format) {
    case TextFormat::Text:
        return "TXT";
    case TextFormat::Html:
        return "HTML";
    case TextFormat::Docx:
        return "DOCX";
    case TextFormat::Odt:
        return "ODT";
    case TextFormat::Fb2:
        return "FB2";
    case TextFormat::Epub:
        return "EPUB";
    case TextFormat::Pdf:
        return "PDF";
    case TextFormat::Rtf:
        return "RTF";
    case TextFormat::Doc:
        return "DOC";
    }
    return {};
}

std::string TextReader::describe(const TextOrigin& origin) {
    std::string text(formatName(origin.format));
    const std::string_view encoding = TextEncoding::name(origin.encoding);
    if (!encoding.empty())
        text.append(", ").append(encoding);
    return text;
}

bool TextReader::isDocument(TextFormat format) {
    return format != TextFormat::Text && format != TextFormat::Html;
}

bool TextReader::needsWholeFile(std::string_view head) {
    return isWide(TextEncoding::fromByteOrderMark(head)) || head.starts_with("PK\x03\x04") ||
           head.starts_with("%PDF-") || RtfText::looksLikeRtf(head) ||
           DocText::looksLikeCompoundFile(head) || isWide(TextEncoding::utf16WithoutMark(head));
}

void TextReader::checkSize(std::uint64_t size, std::uint64_t limit) {
    if (size <= limit)
        return;
    const std::string amount = limit % (1u << 20) == 0 ? std::to_string(limit >> 20) + " МБ"
                                                       : std::to_string(limit) + " байт";
    throw UnreadableText(TextFormat::Text, "файл больше " + amount);
}

Encoding TextReader::declaredCharset(std::string_view html) {
    const std::string head = lowered(html.substr(0, headSize));
    std::size_t at = 0;
    while ((at = head.find("<meta", at)) != std::string::npos) {
        const std::size_t end = std::min(head.find('>', at), head.size());
        const std::string_view tag = std::string_view(head).substr(at, end - at);
        at = end;
        const std::size_t charset = tag.find("charset");
        if (charset == std::string_view::npos)
            continue;
        const Encoding encoding = TextEncoding::fromLabel(
            charsetValue(tag, charset + std::string_view("charset").size()));
        if (encoding != Encoding::Auto)
            return encoding;
    }
    return Encoding::Auto;
}

TextReader::Result TextReader::read(std::string_view bytes, HtmlHandling html, Encoding forced,
                                    std::uint64_t sizeLimit) {
    checkSize(bytes.size(), sizeLimit);
    Result result;
    const TextFormat document = DocumentText::formatOf(bytes);
    if (isDocument(document)) {
        std::string declared;
        std::string hidden;
        const std::string utf8 = DocumentText::paragraphsOf(bytes, document, declared, &hidden);
        Cp1251::appendFromUtf8(utf8, result.text);
        result.hiddenWords = wordCount(hidden);
        result.origin = {document,
                         document == TextFormat::Fb2 ? documentEncoding(declared) : Encoding::Auto};
        return result;
    }

    result.origin.format = html == HtmlHandling::Cut ? TextFormat::Html : TextFormat::Text;
    // Without a wide encoding the text ends at its first NUL, so nothing
    // after it may sway the choice.
    const std::string_view upToNul = bytes.substr(0, bytes.find('\0'));
    Encoding encoding = forced;
    if (encoding == Encoding::Auto)
        encoding = TextEncoding::fromByteOrderMark(bytes);
    // Before the page's charset: a UTF-16 page's declaration is past a NUL.
    if (encoding == Encoding::Auto)
        encoding = TextEncoding::utf16WithoutMark(bytes);
    if (encoding == Encoding::Auto && html == HtmlHandling::Cut) {
        encoding = declaredCharset(upToNul);
        // A page that says UTF-8 but is not is read as if it said nothing.
        if (encoding == Encoding::Utf8 && !TextEncoding::isUtf8(upToNul))
            encoding = Encoding::Auto;
    }
    if (encoding == Encoding::Auto)
        encoding = TextEncoding::detect(upToNul);
    result.origin.encoding = encoding;
    result.text = TextEncoding::toWindows1251(isWide(encoding) ? bytes : upToNul, encoding);
    return result;
}

} // namespace quillmark
