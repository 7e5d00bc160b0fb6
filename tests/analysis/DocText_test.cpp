#include "DocOf.h"

#include "analysis/DocText.h"
#include "analysis/TextReader.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace quillmark;
using namespace quillmark::testing;

constexpr std::size_t readLimit = 1 << 20;

TEST(DocText, PiecesReadAsTheirParagraphs) {
    struct Row {
        std::vector<DocPiece> pieces;
        std::string text;
    };
    const Row rows[] = {
        {{{u"Первый абзац\rвторой\r"}, {u"Third \x93line\x94\r", true}},
         "Первый абзац\nвторой\nThird “line”\n"},
        {{{u"См. \x13 HYPERLINK \"http://x\" \x14сайт\x15.\r"}}, "См. сайт.\n"},
        {{{u"\x13 IF \x13 PAGE \x14 3\x15 = 3 \x14да\x15"}}, "да\n"},
        {{{u"ячейка\x07ещё\x07\x07"}}, "ячейка\nещё\n\n"},
        {{{u"a\x0B"
           u"b\x0C"
           u"c\x1E"
           u"d\x1F"
           u"e\x01\x08\t\U0001F600"}},
         "a\nb\nc-de\t😀\n"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DocText::paragraphsOf(docOf(docStreams(row.pieces)), readLimit), row.text);

    // The body only: footnotes and headers follow it in the same pieces.
    DocStreams streams = docStreams({{u"Текст\rсноска\r"}});
    putLittleEndian(streams.word, docBodyLength, 6, 4);
    EXPECT_EQ(DocText::paragraphsOf(docOf(streams), readLimit), "Текст\n");
}

TEST(DocText, DamagedEncryptedAndOtherOfficeFilesAreNotRead) {
    const DocStreams good = docStreams({{u"Текст документа\r"}});
    const auto spoilt = [&good](const std::function<void(DocStreams&)>& spoil) {
        DocStreams streams = good;
        spoil(streams);
        return docOf(streams);
    };
    struct Row {
        std::string bytes;
        const char* reason;
        std::size_t limit = readLimit;
    };
    const Row rows[] = {
        {spoilt([](DocStreams& s) { s.word.resize(300); }), "повреждён"},
        {spoilt([](DocStreams& s) { putLittleEndian(s.word, docFlags, 0x0300, 2); }), "зашифрован"},
        {spoilt([](DocStreams& s) { putLittleEndian(s.word, docFlags, 0x8200, 2); }), "зашифрован"},
        {spoilt([](DocStreams& s) { putLittleEndian(s.word, 2, 0x68, 2); }), "Word 6.0 или 95"},
        {spoilt([](DocStreams& s) { putLittleEndian(s.word, docFlags, 0, 2); }), "повреждён"},
        {spoilt([](DocStreams& s) { putLittleEndian(s.word, docClxLength, 0xFFFFFFFF, 4); }),
         "повреждён"},
        {spoilt([](DocStreams& s) { putLittleEndian(s.table, 15, 0x7FFF0000, 4); }), "повреждён"},
        {spoilt([](DocStreams& s) { s.table[0] = 0x03; }), "повреждён"},
        {docOf(good), "распаковывается больше допустимого", 10},
        {docOf(good).substr(0, 1000), "повреждён"},
        {compoundFile({{"Workbook", "x"}}), "без документа Word"},
        {compoundFile({{"EncryptionInfo", "x"}, {"EncryptedPackage", "x"}}), "зашифрован"},
    };
    for (const Row& row : rows) {
        try {
            DocText::paragraphsOf(row.bytes, row.limit);
            ADD_FAILURE() << row.reason << ": read";
        } catch (const UnreadableText& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos)
                << error.what();
        }
    }
}

} // namespace
