#include "TextEncoding.h"

#include "CodePageGuess.h"
#include "Cp1251.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <utility>

namespace quillmark {

namespace {

struct Label {
    std::string_view label;
    Encoding encoding;
};

// Sorted for binary search; lower case.
constexpr Label labels[] = {
    {"866", Encoding::Cp866},
    {"cp1251", Encoding::Windows1251},
    {"cp866", Encoding::Cp866},
    {"csibm866", Encoding::Cp866},
    {"csisolatincyrillic", Encoding::Iso8859_5},
    {"cskoi8r", Encoding::Koi8R},
    {"cyrillic", Encoding::Iso8859_5},
    {"ibm866", Encoding::Cp866},
    {"iso-8859-5", Encoding::Iso8859_5},
    {"iso8859-5", Encoding::Iso8859_5},
    {"iso_8859-5", Encoding::Iso8859_5},
    {"koi", Encoding::Koi8R},
    {"koi8", Encoding::Koi8R},
    {"koi8-r", Encoding::Koi8R},
    {"koi8_r", Encoding::Koi8R},
    {"mac-cyrillic", Encoding::MacCyrillic},
    {"maccyrillic", Encoding::MacCyrillic},
    {"utf-16be", Encoding::Utf16Be},
    {"utf-16le", Encoding::Utf16Le},
    {"utf-32be", Encoding::Utf32Be},
    {"utf-32le", Encoding::Utf32Le},
    {"utf-8", Encoding::Utf8},
    {"utf8", Encoding::Utf8},
    {"windows-1251", Encoding::Windows1251},
    {"x-cp1251", Encoding::Windows1251},
    {"x-mac-cyrillic", Encoding::MacCyrillic},
};
static_assert(std::is_sorted(std::begin(labels), std::end(labels),
                             [](const Label& a, const Label& b) { return a.label < b.label; }));

struct Mark {
    std::string_view bytes;
    Encoding encoding;
};

// UTF-32 LE before UTF-16 LE: its mark begins with the other's.
constexpr Mark marks[] = {
    {"\xEF\xBB\xBF", Encoding::Utf8},
    {std::string_view("\xFF\xFE\0\0", 4), Encoding::Utf32Le},
    {std::string_view("\0\0\xFE\xFF", 4), Encoding::Utf32Be},
    {"\xFF\xFE", Encoding::Utf16Le},
    {"\xFE\xFF", Encoding::Utf16Be},
};

/// Whether most characters of `bytes` (the first 4 KB of them) lie in the
/// blocks of ASCII, Latin-1 and Cyrillic: a UTF-16 text, Russian or not, has
/// high bytes 0x00 and 0x04; text in a single-byte code page has none.
bool readsAsUtf16(std::string_view bytes, bool bigEndian) {
    const std::size_t units = std::min<std::size_t>(bytes.size(), 4096) / 2;
    if (units == 0)
        return true;
    std::size_t common = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const auto high = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        common += high == 0x00 || high == 0x04 || high == 0x20;
    }
    return common * 2 >= units;
}

/// The detector reads this much of a text: enough to be sure, little enough
/// to keep a long text's reading as fast as its fingerprint.
constexpr std::size_t detectorSample = 64 * 1024;

Encoding fromDetectorName(std::string_view name) {
    constexpr Label known[] = {
        {"WINDOWS-1251", Encoding::Windows1251},
        {"KOI8-R", Encoding::Koi8R},
        {"IBM866", Encoding::Cp866},
        {"ISO-8859-5", Encoding::Iso8859_5},
        {"MAC-CYRILLIC", Encoding::MacCyrillic},
    };
    for (const Label& entry : known)
        if (entry.label == name)
            return entry.encoding;
    return Encoding::Auto;
}

struct DetectorDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

/// The Cyrillic code page uchardet names for `bytes`; Auto for any other
/// answer or none.
Encoding askDetector(std::string_view bytes) {
    const std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
    if (!detector)
        return Encoding::Auto;
    if (uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0)
        return Encoding::Auto;
    uchardet_data_end(detector.get());
    const char* charset = uchardet_get_charset(detector.get());
    return charset == nullptr ? Encoding::Auto : fromDetectorName(charset);
}

/// What the first look at a text counts.
struct PlainCounts {
    std::size_t smalls = 0;
    std::size_t capitals = 0;
    std::size_t vowels = 0; ///< а, е, и, о, small or capital
    std::size_t signs = 0;  ///< bytes of 0x80-0xBF
    std::size_t macLetters = 0;
    bool foreign = false;

    /// Я or Ю right after a small letter (MacCyrillic's я and ё), and a small
    /// letter right after a byte of 0x80-0x9F (MacCyrillic's capitals).
    void add(unsigned char byte, unsigned char before) {
        smalls += byte >= 0xE0;
        capitals += byte >= 0xC0 && byte < 0xE0;
        const unsigned char folded = byte | 0x20;
        vowels += folded == 0xE0 || folded == 0xE5 || folded == 0xE8 || folded == 0xEE;
        signs += byte >= 0x80 && byte < 0xC0;
        macLetters += ((byte == 0xDF || byte == 0xDE) && before >= 0xE0 && before != 0xFF) ||
                      (byte >= 0xE0 && before >= 0x80 && before < 0xA0);
    }
};

using Bytes16 = unsigned char __attribute__((vector_size(16)));

/// Counts sixteen bytes at a time (`before` is the same bytes one back);
/// matches add up as 0xFF in a lane, which counts -1.
/// Returns whether the chunk holds a byte of 0x80-0xBF.
bool addChunk(Bytes16 chunk, Bytes16 before, std::array<Bytes16, 5>& lanes) {
    const Bytes16 folded = chunk | 0x20;
    const Bytes16 small = reinterpret_cast<Bytes16>(chunk >= 0xE0);
    const Bytes16 letter = reinterpret_cast<Bytes16>(chunk >= 0xC0);
    lanes[0] += small;
    lanes[1] += letter & ~small;
    lanes[2] += reinterpret_cast<Bytes16>((folded == 0xE0) | (folded == 0xE5) | (folded == 0xE8) |
                                          (folded == 0xEE));
    const Bytes16 sign = reinterpret_cast<Bytes16>(chunk >= 0x80) & ~letter;
    lanes[3] += sign;
    const Bytes16 afterSmall = reinterpret_cast<Bytes16>((before >= 0xE0) & (before != 0xFF));
    const Bytes16 afterMacCapital = reinterpret_cast<Bytes16>((before >= 0x80) & (before < 0xA0));
    lanes[4] += (reinterpret_cast<Bytes16>((chunk == 0xDF) | (chunk == 0xDE)) & afterSmall) |
                (small & afterMacCapital);
    std::uint64_t halves[2];
    std::memcpy(halves, &sign, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

/// Adds the lanes' counts (each lane counts down from 0 by one a match).
void flush(std::array<Bytes16, 5>& lanes, PlainCounts& counts) {
    std::size_t* const totals[5] = {&counts.smalls, &counts.capitals, &counts.vowels, &counts.signs,
                                    &counts.macLetters};
    for (std::size_t k = 0; k < lanes.size(); ++k) {
        for (std::size_t lane = 0; lane < sizeof(Bytes16); ++lane)
            *totals[k] += static_cast<unsigned char>(-lanes[k][lane]);
        lanes[k] = Bytes16{};
    }
}

/// Whether a byte of 0x80-0xBF is another alphabet's letter in
/// Windows-1251, or unassigned: where KOI8-R, CP866, ISO-8859-5 and
/// MacCyrillic put their Russian letters.
bool anyForeign(std::string_view bytes) {
    constexpr std::uint64_t foreign =
        (1ULL << 0x00) | (1ULL << 0x01) | (1ULL << 0x03) | (1ULL << 0x0A) | (0x1FULL << 0x0C) |
        (1ULL << 0x18) | (1ULL << 0x1A) | (0xFULL << 0x1C) | (0x7ULL << 0x21) | (1ULL << 0x25) |
        (1ULL << 0x2A) | (1ULL << 0x2F) | (0x7ULL << 0x32) | (1ULL << 0x3A) | (0xFULL << 0x3C);
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x80 && b < 0xC0 && ((foreign >> (b - 0x80)) & 1U) != 0;
    });
}

PlainCounts countPlain(std::string_view bytes) {
    PlainCounts counts;
    std::array<Bytes16, 5> lanes{};
    std::size_t i = 1;
    if (!bytes.empty())
        counts.add(static_cast<unsigned char>(bytes[0]), 0);
    // A lane holds up to 255 matches: flushed every 255 chunks.
    for (std::size_t chunks = 0; i + sizeof(Bytes16) <= bytes.size(); i += sizeof(Bytes16)) {
        Bytes16 chunk;
        Bytes16 before;
        std::memcpy(&chunk, bytes.data() + i, sizeof chunk);
        std::memcpy(&before, bytes.data() + i - 1, sizeof before);
        // Signs are rare: the chunks that hold one are looked at byte by byte.
        if (addChunk(chunk, before, lanes) && !counts.foreign)
            counts.foreign = anyForeign(bytes.substr(i, sizeof chunk));
        if (++chunks % 255 == 0)
            flush(lanes, counts);
    }
    flush(lanes, counts);
    const std::size_t rest = std::min(i, bytes.size());
    for (; i < bytes.size(); ++i)
        counts.add(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i - 1]));
    counts.foreign =
        counts.foreign || anyForeign(bytes.substr(0, 1)) || anyForeign(bytes.substr(rest));
    return counts;
}

/// Whether `bytes` plainly reads as a Russian Windows-1251 text: small
/// letters well ahead of capitals and of the upper-half signs, none of the
/// bytes that are other alphabets' letters there, а, е, и, о as common as
/// Russian has them (a KOI8-R text in capitals reads as small letters here,
/// but hardly ever as those four), and no sign of MacCyrillic, whose small
/// letters are nearly Windows-1251's. Scoring the letter pairs costs more;
/// only texts this leaves in doubt are scored.
bool plainlyWindows1251(std::string_view bytes) {
    const PlainCounts counts = countPlain(bytes);
    const std::size_t smalls = counts.smalls;
    return smalls > 0 && counts.capitals * 4 <= smalls && counts.signs * 4 <= smalls &&
           counts.vowels * 4 >= smalls + counts.capitals && counts.macLetters * 200 <= smalls &&
           !counts.foreign;
}

const char* iconvName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Koi8R:
        return "KOI8-R";
    case Encoding::Cp866:
        return "CP866";
    case Encoding::Iso8859_5:
        return "ISO-8859-5";
    case Encoding::MacCyrillic:
        return "MAC-CYRILLIC";
    default:
        return nullptr;
    }
}

using ByteTable = std::array<unsigned char, 256>;

/// Each byte of a single-byte code page as its Windows-1251 byte, worked out
/// through iconv once.
ByteTable makeTable(Encoding encoding) {
    ByteTable table{};
    for (unsigned b = 0; b < 0x80; ++b)
        table[b] = static_cast<unsigned char>(b);
    const iconv_t converter = ::iconv_open("UTF-32LE", iconvName(encoding));
    for (unsigned b = 0x80; b < 0x100; ++b) {
        table[b] = '?';
        if (converter == reinterpret_cast<iconv_t>(-1))
            continue;
        char in = static_cast<char>(b);
        unsigned char out[8] = {};
        char* inPointer = &in;
        auto* outPointer = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) ==
            static_cast<size_t>(-1))
            continue;
        if (sizeof out - outLeft != 4)
            continue;
        const char32_t codePoint =
            out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
        table[b] = Cp1251::fromUnicode(codePoint);
    }
    if (converter != reinterpret_cast<iconv_t>(-1))
        ::iconv_close(converter);
    return table;
}

const ByteTable& tableOf(Encoding encoding) {
    static const ByteTable koi8r = makeTable(Encoding::Koi8R);
    static const ByteTable cp866 = makeTable(Encoding::Cp866);
    static const ByteTable iso8859_5 = makeTable(Encoding::Iso8859_5);
    static const ByteTable macCyrillic = makeTable(Encoding::MacCyrillic);
    switch (encoding) {
    case Encoding::Cp866:
        return cp866;
    case Encoding::Iso8859_5:
        return iso8859_5;
    case Encoding::MacCyrillic:
        return macCyrillic;
    default:
        return koi8r;
    }
}

/// Whether a text that reads as Windows-1251 has MacCyrillic's я and ё
/// (Windows-1251's Я and Ю) inside its small-letter words, where capitals
/// hardly ever stand: the two pages differ in little else among small letters.
bool smallLettersOfMacCyrillic(std::string_view sample) {
    std::size_t smalls = 0;
    std::size_t inside = 0;
    bool afterSmall = false;
    for (const char c : sample) {
        const auto b = static_cast<unsigned char>(c);
        inside += afterSmall && (b == 0xDF || b == 0xDE) ? 1 : 0;
        afterSmall = b >= 0xE0 && b != 0xFF;
        smalls += afterSmall ? 1 : 0;
    }
    return inside * 200 > smalls;
}

/// The single-byte code page under which `sample` reads most like Russian.
/// Another page must read clearly better than Windows-1251 (half a bit for
/// each byte it reads otherwise), so a text of few or odd letters stays
/// Windows-1251; a sample of too few upper-half bytes is left to the detector.
Encoding mostRussian(std::string_view sample) {
    const auto upper =
        static_cast<std::int64_t>(std::count_if(sample.begin(), sample.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80;
        }));
    if (upper < 32) {
        const Encoding named = askDetector(sample);
        return named == Encoding::Auto ? Encoding::Windows1251 : named;
    }
    const std::int64_t windows = CodePageGuess::score(sample, CodePageGuess::windows1251());
    Encoding best = Encoding::Windows1251;
    std::int64_t bestScore = windows;
    for (const Encoding other :
         {Encoding::Koi8R, Encoding::Cp866, Encoding::Iso8859_5, Encoding::MacCyrillic}) {
        const std::int64_t score = CodePageGuess::score(sample, tableOf(other));
        const std::int64_t margin = 8 * CodePageGuess::bytesReadOtherwise(sample, tableOf(other));
        if (score > bestScore && score > windows + margin) {
            best = other;
            bestScore = score;
        }
    }
    if (best == Encoding::Windows1251 && smallLettersOfMacCyrillic(sample)) {
        best = Encoding::MacCyrillic;
        bestScore = CodePageGuess::score(sample, tableOf(best));
    }
    // Russian scores about -57 a byte, random letters about -98: a text that
    // reads as Russian under no page stays Windows-1251.
    constexpr std::int64_t russianAtLeast = -75;
    if (bestScore < russianAtLeast * static_cast<std::int64_t>(sample.size()))
        return Encoding::Windows1251;
    return best;
}

unsigned codeUnit(const unsigned char* at, std::size_t width, bool bigEndian) {
    unsigned value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<unsigned>(at[i]) << (8 * (bigEndian ? width - 1 - i : i));
    return value;
}

/// The first 64 KB of a text without a byte-order mark taken as UTF-16 in
/// one byte order: where its zero bytes fall and whether its characters are
/// text's.
struct Utf16Sample {
    std::size_t units = 0;
    std::size_t highZeros = 0; ///< units whose high byte is zero
    std::size_t lowZeros = 0;  ///< units whose low byte is zero
    std::size_t controls = 0;  ///< control characters: text has hardly any
    bool pairedSurrogates = true;
};

/// Fewer units than this are too few to judge: such a text reads as before.
constexpr std::size_t utf16MinUnits = 8;

bool isControl(unsigned unit) {
    if (unit < 0x20)
        return unit != '\t' && unit != '\n' && unit != '\r' && unit != '\f';
    return (unit >= 0x7F && unit <= 0x9F) || unit >= 0xFFFE;
}

Utf16Sample sampleAsUtf16(std::string_view bytes, bool bigEndian) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    Utf16Sample sample;
    sample.units = std::min(bytes.size(), detectorSample) / 2;
    bool afterHighSurrogate = false;
    for (std::size_t i = 0; i < sample.units; ++i) {
        const unsigned unit = codeUnit(data + 2 * i, 2, bigEndian);
        sample.highZeros += (unit & 0xFF00) == 0;
        sample.lowZeros += (unit & 0x00FF) == 0;
        sample.controls += isControl(unit);
        // A low surrogate comes after a high one, and only there; a high one
        // ending the sample may be cut off from its pair.
        const bool lowSurrogate = (unit & 0xFC00) == 0xDC00;
        sample.pairedSurrogates = sample.pairedSurrogates && lowSurrogate == afterHighSurrogate;
        afterHighSurrogate = (unit & 0xFC00) == 0xD800;
    }
    return sample;
}

/// Zeros at the high bytes of one unit in 20 at least (spaces and signs of
/// a Cyrillic text, nearly every unit of a Latin one), at most one zero in
/// 32 of them at the low bytes, at most one control character in 32 units.
bool readsAsUtf16WithoutMark(const Utf16Sample& sample) {
    return sample.units >= utf16MinUnits && sample.highZeros * 20 >= sample.units &&
           sample.lowZeros * 32 <= sample.highZeros && sample.controls * 32 <= sample.units &&
           sample.pairedSurrogates;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    std::string text;
    text.reserve(units + 1);
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned unit = codeUnit(data + 2 * i, 2, bigEndian);
        if (unit < 0xD800 || unit > 0xDFFF) {
            text.push_back(static_cast<char>(Cp1251::fromUnicode(unit)));
            continue;
        }
        // A surrogate pair: no Windows-1251 character lies beyond U+FFFF.
        const bool paired = unit < 0xDC00 && i + 1 < units &&
                            (codeUnit(data + 2 * (i + 1), 2, bigEndian) & 0xFC00) == 0xDC00;
        i += paired ? 1 : 0;
        text.push_back('?');
    }
    if (bytes.size() % 2 != 0)
        text.push_back('?');
    return text;
}

std::string fromUtf32(std::string_view bytes, bool bigEndian) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 4;
    std::string text;
    text.reserve(units + 1);
    for (std::size_t i = 0; i < units; ++i)
        text.push_back(
            static_cast<char>(Cp1251::fromUnicode(codeUnit(data + 4 * i, 4, bigEndian))));
    if (bytes.size() % 4 != 0)
        text.push_back('?');
    return text;
}

} // namespace

std::string_view TextEncoding::name(Encoding encoding) {
    switch (encoding) {
    case Encoding::Auto:
        return {};
    case Encoding::Windows1251:
        return "Windows-1251";
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Utf16Le:
        return "UTF-16LE";
    case Encoding::Utf16Be:
        return "UTF-16BE";
    case Encoding::Utf32Le:
        return "UTF-32LE";
    case Encoding::Utf32Be:
        return "UTF-32BE";
    case Encoding::Koi8R:
        return "KOI8-R";
    case Encoding::Cp866:
        return "CP866";
    case Encoding::Iso8859_5:
        return "ISO-8859-5";
    case Encoding::MacCyrillic:
        return "MacCyrillic";
    }
    return {};
}

Encoding TextEncoding::fromLabel(std::string_view label) {
    std::string lower(label);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 0x20);
    const auto* found = std::lower_bound(
        std::begin(labels), std::end(labels), lower,
        [](const Label& entry, const std::string& key) { return entry.label < key; });
    if (found == std::end(labels) || found->label != lower)
        return Encoding::Auto;
    return found->encoding;
}

Encoding TextEncoding::fromByteOrderMark(std::string_view bytes) {
    for (const Mark& mark : marks) {
        if (!bytes.starts_with(mark.bytes))
            continue;
        const bool wide16 =
            mark.encoding == Encoding::Utf16Le || mark.encoding == Encoding::Utf16Be;
        if (wide16 && !readsAsUtf16(bytes.substr(2), mark.encoding == Encoding::Utf16Be))
            return Encoding::Auto;
        return mark.encoding;
    }
    return Encoding::Auto;
}

Encoding TextEncoding::utf16WithoutMark(std::string_view bytes) {
    // Nearly every text has no zero byte: it is passed at once.
    if (bytes.substr(0, detectorSample).find('\0') == std::string_view::npos)
        return Encoding::Auto;
    if (readsAsUtf16WithoutMark(sampleAsUtf16(bytes, false)))
        return Encoding::Utf16Le;
    if (readsAsUtf16WithoutMark(sampleAsUtf16(bytes, true)))
        return Encoding::Utf16Be;
    return Encoding::Auto;
}

std::size_t TextEncoding::byteOrderMarkLength(std::string_view bytes, Encoding encoding) {
    for (const Mark& mark : marks)
        if (mark.encoding == encoding && bytes.starts_with(mark.bytes))
            return mark.bytes.size();
    return 0;
}

std::size_t TextEncoding::utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - at < length || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(at + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

bool TextEncoding::isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

Encoding TextEncoding::detect(std::string_view bytes) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return Encoding::Windows1251;
    if (isUtf8(bytes))
        return Encoding::Utf8;
    const std::string_view sample = bytes.substr(0, detectorSample);
    if (plainlyWindows1251(sample))
        return Encoding::Windows1251;
    // Letter pairs tell a page within a few hundred bytes; the first
    // kilobyte is plenty and keeps texts that are no plain Russian cheap.
    constexpr std::size_t scoredSample = 1024;
    return mostRussian(sample.substr(0, scoredSample));
}

std::string TextEncoding::toWindows1251(std::string_view bytes, Encoding encoding) {
    bytes.remove_prefix(byteOrderMarkLength(bytes, encoding));
    switch (encoding) {
    case Encoding::Auto:
    case Encoding::Windows1251:
        return std::string(bytes);
    case Encoding::Utf8: {
        std::string text;
        Cp1251::appendFromUtf8(bytes, text);
        return text;
    }
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return fromUtf16(bytes, encoding == Encoding::Utf16Be);
    case Encoding::Utf32Le:
    case Encoding::Utf32Be:
        return fromUtf32(bytes, encoding == Encoding::Utf32Be);
    case Encoding::Koi8R:
    case Encoding::Cp866:
    case Encoding::Iso8859_5:
    case Encoding::MacCyrillic: {
        const ByteTable& table = tableOf(encoding);
        std::string text(bytes);
        for (char& c : text)
            c = static_cast<char>(table[static_cast<unsigned char>(c)]);
        return text;
    }
    }
    return std::string(bytes);
}

} // namespace quillmark
