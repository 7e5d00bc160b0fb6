#include "DocText.h"

#include "DocumentText.h"
#include "Utf8.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace quillmark {

namespace {

constexpr std::string_view compoundSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// The file information block at the start of the WordDocument stream.
constexpr std::uint16_t wordIdent = 0xA5EC;
constexpr std::uint16_t firstWord97Version = 0xC0;
constexpr std::uint16_t encryptedFlag = 0x0100;
constexpr std::uint16_t tableOneFlag = 0x0200;
constexpr std::uint16_t obfuscatedFlag = 0x8000;
constexpr std::uint64_t fibVariableStart = 32;
constexpr std::uint64_t ccpTextIndex = 3;
constexpr std::uint64_t clxPairIndex = 33;

// A piece's file position: a byte offset of 8-bit text, times two, when
// this bit is set.
constexpr std::uint32_t compressedBit = 0x40000000;
constexpr std::uint32_t positionMask = 0x3FFFFFFF;

[[noreturn]] void broken() {
    throw UnreadableText(TextFormat::Doc, "документ повреждён");
}

// --- The compound file --------------------------------------------------------

struct GObjectDeleter {
    void operator()(void* object) const { g_object_unref(object); }
};
using Input = std::unique_ptr<GsfInput, GObjectDeleter>;
using Infile = std::unique_ptr<GsfInfile, GObjectDeleter>;

void quietLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

/// libgsf set up once, its complaints about damaged files kept off stderr.
void prepareGsf() {
    static const bool ready = [] {
        gsf_init();
        const auto levels =
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                        G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        g_log_set_handler("libgsf:msole", levels, quietLog, nullptr);
        g_log_set_handler("libgsf", levels, quietLog, nullptr);
        return true;
    }();
    (void)ready;
}

/// An OLE2 compound file read in place from memory.
class CompoundFile {
public:
    explicit CompoundFile(std::string_view bytes)
        : m_size(bytes.size()) {
        prepareGsf();
        m_memory.reset(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                            static_cast<gsf_off_t>(bytes.size()), FALSE));
        if (!m_memory)
            broken();
        GError* error = nullptr;
        m_file.reset(gsf_infile_msole_new(m_memory.get(), &error));
        if (error != nullptr)
            g_error_free(error);
        if (!m_file)
            broken();
    }

    /// The named stream's bytes; none when the file has no such stream.
    std::optional<std::string> stream(const char* name) const {
        const Input input(gsf_infile_child_by_name(m_file.get(), name));
        if (!input)
            return std::nullopt;
        // No stream of a sound file is larger than the file itself.
        const gsf_off_t size = gsf_input_size(input.get());
        if (size < 0 || static_cast<std::uint64_t>(size) > m_size)
            broken();
        std::string bytes(static_cast<std::size_t>(size), '\0');
        if (size > 0 && gsf_input_read(input.get(), bytes.size(),
                                       reinterpret_cast<guint8*>(bytes.data())) == nullptr)
            broken();
        return bytes;
    }

private:
    std::size_t m_size;
    Input m_memory;
    Infile m_file;
};

// --- Bounded little-endian reads ---------------------------------------------

std::string_view sliceOf(std::string_view bytes, std::uint64_t at, std::uint64_t length) {
    if (at > bytes.size() || length > bytes.size() - at)
        broken();
    return bytes.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length));
}

std::uint16_t u16At(std::string_view bytes, std::uint64_t at) {
    const std::string_view b = sliceOf(bytes, at, 2);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[0]) |
                                      static_cast<unsigned char>(b[1]) << 8);
}

std::uint32_t u32At(std::string_view bytes, std::uint64_t at) {
    return u16At(bytes, at) | static_cast<std::uint32_t>(u16At(bytes, at + 2)) << 16;
}

// --- The file information block and the piece table -------------------------

struct Fib {
    bool tableOne = false;
    std::uint32_t ccpText = 0;
    std::uint32_t fcClx = 0;
    std::uint32_t lcbClx = 0;
};

/// The block's identity, version and flags, then the body's length and
/// where the piece table is, past the variable-length fields before them.
Fib fibOf(std::string_view stream) {
    if (u16At(stream, 0) != wordIdent)
        broken();
    const std::uint16_t flags = u16At(stream, 0x0A);
    if ((flags & (encryptedFlag | obfuscatedFlag)) != 0)
        throw UnreadableText(TextFormat::Doc, "документ зашифрован");
    if (u16At(stream, 2) < firstWord97Version)
        throw UnreadableText(TextFormat::Doc, "документ Word 6.0 или 95: читаются Word 97 и новее");
    Fib fib;
    fib.tableOne = (flags & tableOneFlag) != 0;
    std::uint64_t at = fibVariableStart;
    at += 2 + std::uint64_t{u16At(stream, at)} * 2;
    const std::uint16_t longs = u16At(stream, at);
    if (longs <= ccpTextIndex)
        broken();
    fib.ccpText = u32At(stream, at + 2 + ccpTextIndex * 4);
    at += 2 + std::uint64_t{longs} * 4;
    if (u16At(stream, at) <= clxPairIndex)
        broken();
    fib.fcClx = u32At(stream, at + 2 + clxPairIndex * 8);
    fib.lcbClx = u32At(stream, at + 2 + clxPairIndex * 8 + 4);
    return fib;
}

/// The piece table of the table stream's Clx, past the property runs
/// before it.
std::string_view pieceTableOf(std::string_view table, const Fib& fib) {
    const std::string_view clx = sliceOf(table, fib.fcClx, fib.lcbClx);
    std::uint64_t at = 0;
    while (at < clx.size() && clx[at] == 0x01) {
        const auto length = static_cast<std::int16_t>(u16At(clx, at + 1));
        if (length < 0)
            broken();
        at += 3 + static_cast<std::uint64_t>(length);
    }
    if (at >= clx.size() || clx[at] != 0x02)
        broken();
    return sliceOf(clx, at + 5, u32At(clx, at + 1));
}

// --- Characters ---------------------------------------------------------------

/// Bytes 0x80-0x9F of 8-bit pieces; the others are Latin-1.
constexpr char16_t windows1252High[32] = {
    0x0080, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178};

/// What a reader sees of one of Word's characters: paragraph, cell, line,
/// column and page ends end a line, a non-breaking hyphen is a hyphen; an
/// optional hyphen, object anchors and the other marks show nothing (0).
char32_t shownAs(char32_t c) {
    switch (c) {
    case 0x07:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x0E:
        return '\n';
    case 0x09:
        return '\t';
    case 0x1E:
        return '-';
    default:
        return c < 0x20 ? 0 : c;
    }
}

/// The body's characters in order, kept as a reader sees them: a field's
/// instruction (from its start to its separator) is left out, its result
/// kept, fields nested in either alike.
class BodyText {
public:
    explicit BodyText(std::size_t sizeLimit)
        : m_limit(sizeLimit) {}

    void add(char32_t c) {
        if (c == 0x13 || c == 0x14 || c == 0x15) {
            markField(c);
            return;
        }
        const char32_t shown = shownAs(c);
        if (m_instructions > 0 || shown == 0)
            return;
        appendUtf8(shown, m_text);
        checkSize();
    }

    std::string take() {
        if (!m_text.empty() && m_text.back() != '\n') {
            m_text += '\n';
            checkSize();
        }
        return std::move(m_text);
    }

private:
    void checkSize() const {
        if (m_text.size() > m_limit)
            throw UnreadableText(TextFormat::Doc,
                                 "документ распаковывается больше допустимого (в 64 раза "
                                 "больше файла или больше 256 МБ)");
    }

    void markField(char32_t mark) {
        if (mark == 0x13) {
            m_inInstruction.push_back(true);
            ++m_instructions;
            return;
        }
        if (m_inInstruction.empty())
            return;
        if (m_inInstruction.back())
            --m_instructions;
        if (mark == 0x14)
            m_inInstruction.back() = false;
        else
            m_inInstruction.pop_back();
    }

    std::string m_text;
    std::size_t m_limit;
    /// For each open field, whether its instruction is being read.
    std::vector<bool> m_inInstruction;
    std::size_t m_instructions = 0;
};

void addEightBit(std::string_view bytes, BodyText& body) {
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        body.add(b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : char32_t{b});
    }
}

void addUtf16(std::string_view bytes, BodyText& body) {
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const char32_t unit = u16At(bytes, at);
        if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < bytes.size()) {
            const char32_t low = u16At(bytes, at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                body.add(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        body.add(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
}

/// The pieces of the body (its first `ccpText` characters), in the order of
/// their character positions, each 8-bit or UTF-16 text of the stream.
void addPieces(std::string_view word, std::string_view pieceTable, std::uint32_t ccpText,
               BodyText& body) {
    if (pieceTable.size() < 16 || (pieceTable.size() - 4) % 12 != 0)
        broken();
    const std::uint64_t count = (pieceTable.size() - 4) / 12;
    const std::uint64_t descriptors = (count + 1) * 4;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t start = u32At(pieceTable, i * 4);
        const std::uint32_t pieceEnd = u32At(pieceTable, (i + 1) * 4);
        if (start >= ccpText)
            break;
        if (pieceEnd < start)
            broken();
        const std::uint32_t length = std::min(pieceEnd, ccpText) - start;
        const std::uint32_t position = u32At(pieceTable, descriptors + i * 8 + 2);
        if ((position & compressedBit) != 0)
            addEightBit(sliceOf(word, (position & positionMask) / 2, length), body);
        else
            addUtf16(sliceOf(word, position & positionMask, std::uint64_t{length} * 2), body);
    }
}

} // namespace

bool DocText::looksLikeCompoundFile(std::string_view bytes) {
    return bytes.starts_with(compoundSignature);
}

std::string DocText::paragraphsOf(std::string_view bytes, std::size_t sizeLimit) {
    const CompoundFile file(bytes);
    const std::optional<std::string> word = file.stream("WordDocument");
    if (!word && file.stream("EncryptedPackage"))
        throw UnreadableText(TextFormat::Text, "документ зашифрован");
    if (!word)
        throw UnreadableText(TextFormat::Text,
                             "файл Office без документа Word (таблица, презентация?)");
    const Fib fib = fibOf(*word);
    const std::optional<std::string> table = file.stream(fib.tableOne ? "1Table" : "0Table");
    if (!table)
        broken();
    BodyText body(sizeLimit);
    addPieces(*word, pieceTableOf(*table, fib), fib.ccpText, body);
    return body.take();
}

} // namespace quillmark
