// The analysis unit: turns one Windows-1251 text into its shingle set and
// scores shingle sets against each other. Plain procedures over records; no
// state is kept between calls and nothing here depends on Qt.
#pragma once

#include "Stopped.h"
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

/// The fingerprint of one text: CRC-32 hashes of its word windows, in window
/// order, repeats kept. Once built, Count equals Hashes.size() and is >= 1.
struct TudShingleList {
    std::vector<std::uint32_t> Hashes;
    std::int32_t Count = 0;
};

/// Words in text order, repeats kept. Each word views into the text it was
/// split from, which must outlive the list.
using WordList = std::vector<std::string_view>;

/// The truncation switch (setting Lemmatize).
enum class Truncation { Off, On };

/// The HTML switch (setting CutHTML).
enum class HtmlHandling { Keep, Cut };

/// The unmasking switch (setting Unmask): whether disguises are undone
/// before the words are cut (Unmasking).
enum class Unmask { Off, On };

/// Fingerprints a Windows-1251 text (line ends as CR LF) into `list`,
/// overwriting it. Throws std::invalid_argument for a negative shingle length;
/// on any exception `list` is left as it was. `stop`, when given, is asked
/// every few hundred kilobytes of the text (also while an HTML page is
/// reduced); once it answers yes, the call throws Stopped.
void ShinglesFromText(std::string_view text, Truncation truncation, HtmlHandling html,
                      int shingleLength, TudShingleList& list, const StopCheck& stop = {});

/// ShinglesFromText of the text with its disguises undone when `unmask` is
/// On (a page's once it is reduced). Returns the words a disguise changed,
/// counted whatever `unmask` says.
std::int32_t ShinglesFromText(std::string_view text, Truncation truncation, HtmlHandling html,
                              Unmask unmask, int shingleLength, TudShingleList& list,
                              const StopCheck& stop = {});

/// Lowercases one byte by the Windows-1251 case rules.
unsigned char LowercaseByte(unsigned char byte);

/// Lowercases a Windows-1251 text in place; the length is unchanged.
void LowercaseText(std::string& text);

/// Whether a byte is one of the 129 word characters (the 70-byte alphabet
/// after lowercasing).
bool IsWordChar(unsigned char byte);

/// Removes every CR LF pair from the lowercased text in one pass from the left
/// (in place), then fills `words` with views of its words. `words` is cleared
/// first.
void SplitWords(std::string& lowercasedText, WordList& words);

/// Truncates every word in place: 7+ bytes keep 6, 4-6 keep 3, 3 keeps 2,
/// 1-2 keep all.
void LemmatizeWords(WordList& words);

/// Hashes the windows of `shingleLength` words into `list`, overwriting it.
/// Throws std::invalid_argument for a negative length.
void ShinglesFromWords(const WordList& words, int shingleLength, TudShingleList& list);

/// The standard CRC-32 (zlib, ISO-HDLC) of a byte string.
std::uint32_t StrCrc32(std::string_view bytes);

/// The score of `matches` against the denominator m (both >= 0, m >= 1):
/// 100 / m and then the product with `matches`, each rounded to a 64-bit
/// significand (ties to even), truncated toward zero.
std::int32_t PercentOfMatches(std::int64_t matches, std::int64_t denominator);

/// Score of the earlier set against the current one: the earlier set's
/// entries found in the current set, per cent of the larger Count. The roles
/// are not interchangeable.
std::int32_t MatchPercent(const TudShingleList& earlier, const TudShingleList& current);

/// The highest MatchPercent of the current set against each earlier set;
/// 0 for an empty list.
std::int32_t BestMatchPercent(std::span<const TudShingleList> earlier,
                              const TudShingleList& current);

/// The readable text of an HTML page's body, Windows-1251 in and out.
/// Block boundaries and <br> become a lone LF. Throws std::bad_alloc when
/// the parser runs out of memory, std::length_error when the page is too
/// large for it (over 2 GB as UTF-8), and Stopped once `stop` is given and
/// answers yes, asked every few hundred kilobytes of the page.
/// With Unmask::On, text an inline style hides is left out too.
std::string HtmlToText(std::string_view text, const StopCheck& stop = {},
                       Unmask unmask = Unmask::Off);

} // namespace quillmark
