// Telling the single-byte Cyrillic code pages apart on a corpus made of the
// sample articles: whole and in pieces of 200 to 900 bytes, in ordinary case
// and in capitals, in each of the five pages. Windows-1251 must never be
// taken for another page, and no other page for Windows-1251.
#include "Win1251.h"
#include "analysis/TextEncoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quillmark {
namespace {

using testing::convert;

/// The sample articles as UTF-8, with the signs some pages lack made plain.
std::vector<std::string> articles() {
    std::vector<std::string> texts;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLMARK_SAMPLES)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".txt" || name.ends_with("-utf8.txt"))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text = convert(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            "WINDOWS-1251", "UTF-8");
        for (const auto& [sign, plain] : std::map<std::string, std::string>{
                 {"—", "-"}, {"–", "-"}, {"«", "\""}, {"»", "\""}, {"№", "N"}, {"…", "..."}})
            for (std::size_t at = 0; (at = text.find(sign, at)) != std::string::npos;)
                text.replace(at, sign.size(), plain);
        texts.push_back(text);
    }
    return texts;
}

/// Pieces of `text` from `size` bytes on, ending at a line or word end.
std::vector<std::string> piecesOf(const std::string& text, std::size_t size) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0; start + size <= text.size();) {
        std::size_t end = text.find(' ', start + size);
        end = end == std::string::npos ? text.size() : end;
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string upper(const std::string& utf8) {
    std::u32string wide;
    const std::string utf32 = convert(utf8, "UTF-8", "UTF-32LE");
    wide.assign(reinterpret_cast<const char32_t*>(utf32.data()), utf32.size() / 4);
    for (char32_t& c : wide) {
        if (c >= U'а' && c <= U'я')
            c -= 0x20;
        else if (c == U'ё')
            c = U'Ё';
        else if (c >= U'a' && c <= U'z')
            c -= 0x20;
    }
    return convert(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 4),
                   "UTF-32LE", "UTF-8");
}

TEST(CodePageGuess, EveryPieceOfTheCorpusIsReadInItsOwnPage) {
    const std::pair<const char*, Encoding> pages[] = {
        {"WINDOWS-1251", Encoding::Windows1251}, {"KOI8-R", Encoding::Koi8R},
        {"CP866", Encoding::Cp866},              {"ISO-8859-5", Encoding::Iso8859_5},
        {"MAC-CYRILLIC", Encoding::MacCyrillic},
    };
    int checked = 0;
    for (const std::string& article : articles()) {
        std::vector<std::string> texts = {article};
        // UTF-8 takes two bytes a letter: pieces of about 200 to 900 bytes in a page.
        for (const std::size_t size : {380u, 760u, 1700u})
            for (const std::string& piece : piecesOf(article, size))
                texts.push_back(piece);
        for (const std::string& text : texts) {
            for (const std::string& cased : {text, upper(text)}) {
                for (const auto& [iconvName, encoding] : pages) {
                    const std::string bytes = convert(cased, "UTF-8", iconvName);
                    ++checked;
                    // In capitals CP866 and MacCyrillic share their letters: either
                    // page is right when it reads the same text.
                    const Encoding found = TextEncoding::detect(bytes);
                    const bool sameText = found != Encoding::Windows1251 &&
                                          encoding != Encoding::Windows1251 &&
                                          TextEncoding::toWindows1251(bytes, found) ==
                                              TextEncoding::toWindows1251(bytes, encoding);
                    if (!sameText)
                        EXPECT_EQ(static_cast<int>(found), static_cast<int>(encoding))
                            << iconvName << ", " << bytes.size() << " bytes: " << cased;
                }
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST(CodePageGuess, TextsOfNoLanguageStayWindows1251) {
    // Random small letters, some words capitalised: no page reads them as
    // Russian, and they must read as they always did.
    std::mt19937 random(26);
    for (int text = 0; text < 200; ++text) {
        std::string bytes;
        const std::size_t size = 200 + random() % 3000;
        while (bytes.size() < size) {
            const std::size_t length = 2 + random() % 9;
            for (std::size_t k = 0; k < length; ++k)
                bytes += static_cast<char>(0xE0 + random() % 32);
            if (random() % 8 == 0)
                bytes[bytes.size() - length] = static_cast<char>(bytes[bytes.size() - length] - 0x20);
            bytes += random() % 12 == 0 ? ".\r\n" : " ";
        }
        EXPECT_EQ(static_cast<int>(TextEncoding::detect(bytes)),
                  static_cast<int>(Encoding::Windows1251))
            << text;
    }
}

} // namespace
} // namespace quillmark
