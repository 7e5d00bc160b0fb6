// Test helper: a Word 97-2003 document made here, byte by byte, and put in a
// compound file by libgsf's writer: a file information block, the text's
// pieces and the piece table that lists them. Tests spoil its fields to make
// damaged documents.
#pragma once

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::testing {

/// Offsets in the WordDocument stream of the fields tests change.
constexpr std::size_t docFlags = 0x0A;
constexpr std::size_t docBodyLength = 0x4C;
constexpr std::size_t docClxLength = 0x1A6;

/// A run of text stored as UTF-16 or, `eightBit`, as a byte a character.
struct DocPiece {
    std::u16string text;
    bool eightBit = false;
};

struct DocStreams {
    std::string word;
    std::string table;
};

inline void putLittleEndian(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

/// The streams of a document whose body is the pieces in order: the
/// information block's variable fields of Word 97's sizes, the table in
/// "1Table".
inline DocStreams docStreams(const std::vector<DocPiece>& pieces) {
    DocStreams streams{std::string(1024, '\0'), std::string(5, '\0')};
    // Identity, version, flags, then the counts of the variable fields.
    const std::pair<std::size_t, std::uint32_t> fields[] = {
        {0, 0xA5EC}, {2, 0xC1}, {docFlags, 0x0200}, {32, 14}, {62, 22}, {152, 93}};
    for (const auto& [at, value] : fields)
        putLittleEndian(streams.word, at, value, 2);
    std::string positions(4, '\0');
    std::string descriptors;
    std::uint32_t characters = 0;
    for (const DocPiece& piece : pieces) {
        const auto at = static_cast<std::uint32_t>(streams.word.size());
        for (const char16_t c : piece.text) {
            streams.word += static_cast<char>(c);
            if (!piece.eightBit)
                streams.word += static_cast<char>(c >> 8);
        }
        characters += static_cast<std::uint32_t>(piece.text.size());
        positions.append(4, '\0');
        putLittleEndian(positions, positions.size() - 4, characters, 4);
        descriptors.append(8, '\0');
        putLittleEndian(descriptors, descriptors.size() - 6,
                        piece.eightBit ? at * 2 | 0x40000000 : at, 4);
    }
    streams.table[0] = 0x02;
    putLittleEndian(streams.table, 1, positions.size() + descriptors.size(), 4);
    streams.table += positions + descriptors;
    putLittleEndian(streams.word, docBodyLength, characters, 4);
    putLittleEndian(streams.word, docClxLength, streams.table.size(), 4);
    return streams;
}

/// A compound file of the named streams.
inline std::string compoundFile(const std::vector<std::pair<const char*, std::string>>& streams) {
    gsf_init();
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* file = gsf_outfile_msole_new(sink);
    for (const auto& [name, bytes] : streams) {
        GsfOutput* child = gsf_outfile_new_child(file, name, FALSE);
        gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(file));
    g_object_unref(file);
    const std::string bytes(
        reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
        static_cast<std::size_t>(gsf_output_size(sink)));
    g_object_unref(sink);
    return bytes;
}

inline std::string docOf(const DocStreams& streams) {
    return compoundFile({{"WordDocument", streams.word}, {"1Table", streams.table}});
}

} // namespace quillmark::testing
