// Fuzz target: any bytes through ShinglesFromText with the HTML switch on.
// The first byte picks the shingle length and the truncation switch; the
// rest is the page. Besides not crashing, the one-pass fingerprint must
// equal the one built step by step from the reduced text, and dropping end
// tags that close nothing must not change a visible character. The same bytes
// then go through the reading step as a file's content: whatever encoding or
// container they seem to be, it ends with a text or a reason, and a text read
// as Windows-1251 is the bytes themselves. Bytes that begin as an RTF
// document are read as one, and also by the RTF reader alone: a text in
// UTF-8, lines ended, within the size it was allowed, or a reason. Bytes
// that begin as a compound file go through the .doc reader alone the same
// way.
#include "analysis/Cp1251.h"
#include "analysis/DocText.h"
#include "analysis/HtmlTextExtractor.h"
#include "analysis/RtfText.h"
#include "analysis/TextReader.h"
#include "analysis/udShingles.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace quillmark;

namespace {

// The text without white space and "<": libxml2 drops some of both before
// an end tag, depending on what follows, where a browser would keep them.
std::string visible(std::string text) {
    std::erase_if(text, [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '<'; });
    return text;
}

void checkReading(std::string_view bytes, HtmlHandling html, Encoding forced) {
    TextReader::Result read;
    try {
        read = TextReader::read(bytes, html, forced);
    } catch (const UnreadableText&) {
        return;
    }
    if (read.origin.format == TextFormat::Text && read.origin.encoding == Encoding::Windows1251 &&
        read.text != bytes.substr(0, bytes.find('\0')))
        __builtin_trap();
}

bool endsLines(const std::string& text) {
    return text.empty() || text.back() == '\n';
}

bool hasText(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

void checkRtf(std::string_view bytes) {
    if (!RtfText::looksLikeRtf(bytes))
        return;
    if (DocumentText::formatOf(bytes) != TextFormat::Rtf)
        __builtin_trap();
    constexpr std::size_t limit = 4096;
    std::string hidden;
    try {
        const std::string text = RtfText::paragraphsOf(bytes, &hidden, limit);
        if (!TextEncoding::isUtf8(text) || !TextEncoding::isUtf8(hidden) || !endsLines(text) ||
            !endsLines(hidden) || text.size() + hidden.size() > limit ||
            (!hasText(text) && !hasText(hidden)))
            __builtin_trap();
    } catch (const UnreadableText& error) {
        if (error.format() != TextFormat::Rtf)
            __builtin_trap();
    }
}

void checkDoc(std::string_view bytes) {
    if (!DocText::looksLikeCompoundFile(bytes))
        return;
    if (DocumentText::formatOf(bytes) != TextFormat::Doc)
        __builtin_trap();
    constexpr std::size_t limit = 4096;
    try {
        const std::string text = DocText::paragraphsOf(bytes, limit);
        if (!TextEncoding::isUtf8(text) || !endsLines(text) || text.size() > limit)
            __builtin_trap();
    } catch (const UnreadableText&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int shingleLength = data[0] & 0x0F;
    const Truncation truncation = (data[0] & 0x10) ? Truncation::On : Truncation::Off;
    const std::string_view page(reinterpret_cast<const char*>(data + 1), size - 1);

    TudShingleList list;
    ShinglesFromText(page, truncation, HtmlHandling::Cut, shingleLength, list);
    if (list.Count < 1 || list.Count != static_cast<std::int32_t>(list.Hashes.size()))
        __builtin_trap();

    std::string text = HtmlToText(page);
    LowercaseText(text);
    WordList words;
    SplitWords(text, words);
    if (truncation == Truncation::On)
        LemmatizeWords(words);
    TudShingleList stepwise;
    ShinglesFromWords(words, shingleLength, stepwise);
    if (stepwise.Hashes != list.Hashes || stepwise.Count != list.Count)
        __builtin_trap();
    // Two equal sets match fully, which is 99 for some sizes (97 ...).
    if (MatchPercent(list, stepwise) != PercentOfMatches(list.Count, list.Count))
        __builtin_trap();

    std::string utf8;
    Cp1251::appendUtf8(page, utf8);
    std::replace(utf8.begin(), utf8.end(), '\0', ' ');
    if (visible(HtmlTextExtractor::textOf(utf8)) !=
        visible(HtmlTextExtractor::textOf(utf8, HtmlTextExtractor::EndTags::Keep)))
        __builtin_trap();

    constexpr Encoding forced[] = {Encoding::Auto, Encoding::Utf8, Encoding::Utf16Le,
                                   Encoding::Koi8R};
    checkReading(page, (data[0] & 0x20) ? HtmlHandling::Cut : HtmlHandling::Keep,
                 forced[data[0] >> 6]);
    checkRtf(page);
    checkDoc(page);
    return 0;
}
