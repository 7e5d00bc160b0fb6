// Generated Windows-1251 articles and directory snapshots for the tests of
// quillmark-cli.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace quillmark::test {

class TextBatch {
public:
    /// An article of `wordCount` Russian-like words (lowercase Cyrillic bytes
    /// of Windows-1251), twelve words a line, every line ended by CR LF as the
    /// loader leaves it. Equal seeds give equal articles.
    static std::string article(unsigned seed, int wordCount);
    /// `text` with every word of its second half replaced.
    static std::string rewrite(const std::string& text, unsigned seed);
    /// Writes a file of the test's own. Throws std::runtime_error.
    static void write(const std::filesystem::path& path, std::string_view bytes);
    static std::string read(const std::filesystem::path& path);

    /// Every entry under `root`, by relative path: a directory maps to "/",
    /// a file to its contents.
    static std::map<std::string, std::string> snapshot(const std::filesystem::path& root);
    /// Every entry under `root`, by relative path, with its kind, size,
    /// permissions and modification time: what a file system shows of a change
    /// that leaves the contents as they were.
    static std::map<std::string, std::string> stamps(const std::filesystem::path& root);
};

} // namespace quillmark::test
