#include "TextEncoding.h"

#include "Cp1251.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iconv.h>
#include <memory>

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

/// Whether Windows-1251 reads the letters of `bytes` as capitals with hardly
/// a small letter: the bytes KOI8-R reads as a lower-case text.
bool capitalsOnly(std::string_view bytes) {
    std::size_t capitals = 0;
    std::size_t smalls = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        capitals += (b >= 0xC0 && b <= 0xDF) || b == 0xA8;
        smalls += b >= 0xE0 || b == 0xB8;
    }
    return capitals > 0 && smalls * 100 <= capitals;
}

/// Whether `bytes` plainly reads as a Russian Windows-1251 text: small
/// letters well ahead of capitals and of the upper-half signs, and none of
/// the bytes that are other alphabets' letters there (where KOI8-R, CP866,
/// ISO-8859-5 and MacCyrillic put their Russian letters). The detector is
/// slow; it is asked only about texts this leaves in doubt.
bool plainlyWindows1251(std::string_view bytes) {
    // Bytes 0x80-0xBF that are letters of other alphabets, or unassigned.
    constexpr std::uint64_t foreign =
        (1ULL << 0x00) | (1ULL << 0x01) | (1ULL << 0x03) | (1ULL << 0x0A) | (0x1FULL << 0x0C) |
        (1ULL << 0x18) | (1ULL << 0x1A) | (0xFULL << 0x1C) | (0x7ULL << 0x21) | (1ULL << 0x25) |
        (1ULL << 0x2A) | (1ULL << 0x2F) | (0x7ULL << 0x32) | (1ULL << 0x3A) | (0xFULL << 0x3C);
    std::size_t smalls = 0;
    std::size_t capitals = 0;
    std::size_t signs = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            continue;
        if (b >= 0xE0) {
            ++smalls;
        } else if (b >= 0xC0) {
            ++capitals;
        } else {
            if ((foreign >> (b - 0x80)) & 1U)
                return false;
            ++signs;
        }
    }
    return smalls > 0 && capitals * 4 <= smalls && signs * 4 <= smalls;
}

std::string foldedUnderWindows1251(std::string_view bytes) {
    std::string folded(bytes);
    for (char& c : folded) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 0xC0 && b <= 0xDF) || (b >= 'A' && b <= 'Z'))
            c = static_cast<char>(b + 0x20);
        else if (b == 0xA8)
            c = static_cast<char>(0xB8);
    }
    return folded;
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
    const Encoding guess = askDetector(sample);
    if (guess == Encoding::Auto || guess == Encoding::Windows1251)
        return Encoding::Windows1251;
    // Capitals in Windows-1251 are small letters in KOI8-R; a text that is
    // really Windows-1251 says so once its letters are small.
    if (capitalsOnly(sample) && askDetector(foldedUnderWindows1251(sample)) != guess)
        return Encoding::Windows1251;
    return guess;
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
