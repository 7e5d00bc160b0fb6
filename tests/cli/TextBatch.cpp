#include "TextBatch.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace quillmark::test {

namespace {

class Random {
public:
    explicit Random(unsigned seed)
        : m_state(seed * 2654435761u + 1) {}
    unsigned next(unsigned bound) {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>((m_state >> 33) % bound);
    }

private:
    unsigned long long m_state;
};

std::string word(Random& random) {
    std::string word(3 + random.next(8), '\0');
    for (char& byte : word)
        byte = static_cast<char>(0xE0 + random.next(32)); // а..я
    return word;
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::string joinLines(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += words[i];
        text += (i % 12 == 11 || i + 1 == words.size()) ? "\r\n" : " ";
    }
    return text;
}

} // namespace

std::string TextBatch::article(unsigned seed, int wordCount) {
    Random random(seed);
    std::vector<std::string> words;
    for (int i = 0; i < wordCount; ++i)
        words.push_back(word(random));
    return joinLines(words);
}

std::string TextBatch::rewrite(const std::string& text, unsigned seed) {
    Random random(seed + 7919);
    std::vector<std::string> words = splitWords(text);
    for (std::size_t i = words.size() / 2; i < words.size(); ++i)
        words[i] = word(random);
    return joinLines(words);
}

void TextBatch::write(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::out | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

std::string TextBatch::read(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::map<std::string, std::string> TextBatch::snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        entries[name] = entry.is_directory() ? std::string("/") : read(entry.path());
    }
    return entries;
}

std::map<std::string, std::string> TextBatch::stamps(const std::filesystem::path& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto status = entry.symlink_status();
        const std::string name = entry.path().lexically_relative(root).string();
        entries[name] = std::to_string(static_cast<int>(status.type())) + ' ' +
                        std::to_string(entry.is_regular_file() ? entry.file_size() : 0) + ' ' +
                        std::to_string(static_cast<int>(status.permissions())) + ' ' +
                        std::to_string(entry.last_write_time().time_since_epoch().count());
    }
    return entries;
}

} // namespace quillmark::test
