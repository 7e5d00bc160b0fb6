// Throughput of fingerprinting and scoring. Run:
//   build/normal/bench/analysis/analysis_bench
#include "analysis/Cp1251.h"
#include "analysis/SharedPassages.h"
#include "analysis/TextReader.h"
#include "analysis/TextWords.h"
#include "analysis/Unmasking.h"
#include "analysis/udShingles.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <poppler-document.h>
#include <random>
#include <string>
#include <unistd.h>
#include <zip.h>

namespace quillmark {
namespace {

constexpr std::size_t textBytes = 10 << 20;

// Russian-looking Windows-1251 prose: words of Cyrillic letters (some
// capitalised, some with digits), punctuation, CR LF line ends.
std::string generatedText() {
    std::mt19937 rng(20240601);
    std::vector<std::string> vocabulary;
    for (int i = 0; i < 20000; ++i) {
        std::string word;
        const int length = 2 + static_cast<int>(rng() % 10);
        for (int k = 0; k < length; ++k)
            word.push_back(static_cast<char>(0xE0 + rng() % 32));
        if (i % 50 == 0)
            word += std::to_string(i);
        vocabulary.push_back(word);
    }
    std::string text;
    text.reserve(textBytes + 100);
    std::size_t lineStart = 0;
    bool sentenceStart = true;
    while (text.size() < textBytes) {
        std::string word = vocabulary[rng() % vocabulary.size()];
        if (sentenceStart)
            word[0] = static_cast<char>(word[0] - 0x20);
        text += word;
        sentenceStart = rng() % 12 == 0;
        if (sentenceStart)
            text += '.';
        else if (rng() % 9 == 0)
            text += ',';
        if (text.size() - lineStart > 70) {
            text += "\r\n";
            lineStart = text.size();
        } else {
            text += ' ';
        }
    }
    return text;
}

// The same prose as a page: paragraphs, emphasis, a script and a style.
std::string generatedPage() {
    const std::string text = generatedText();
    std::string page = "<html><head><title>\xD2\xE5\xF1\xF2</title><style>p{margin:0}</style>"
                       "<script>var x = 1;</script></head><body>\r\n";
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (lineNumber % 8 == 0)
            page += "<p>";
        if (lineNumber % 5 == 0)
            page += "<b>";
        page.append(text, start, end - start);
        if (lineNumber % 5 == 0)
            page += "</b>";
        page += lineNumber % 8 == 7 ? "</p>\r\n" : "\r\n";
        ++lineNumber;
        start = end + 2;
    }
    page += "</body></html>\r\n";
    return page;
}

void fingerprint(benchmark::State& state, const std::string& text, HtmlHandling html) {
    TudShingleList list;
    for (auto _ : state) {
        ShinglesFromText(text, Truncation::On, html, 10, list);
        benchmark::DoNotOptimize(list.Hashes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["shingles"] = list.Count;
}

void BM_ShinglesFromText_Plain(benchmark::State& state) {
    static const std::string text = generatedText();
    fingerprint(state, text, HtmlHandling::Keep);
}
BENCHMARK(BM_ShinglesFromText_Plain)->Unit(benchmark::kMillisecond);

// The same prose with every second word in Latin letters, one word in twenty
// disguised by a Latin look-alike, and a soft hyphen in one word in forty:
// the most work unmasking meets in a text.
std::string latinHeavyText() {
    std::string text = generatedText();
    std::mt19937 rng(20261209);
    bool inWord = false;
    std::size_t word = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool letter = byte >= 0xC0;
        word += letter && !inWord ? 1 : 0;
        inWord = letter;
        if (letter && word % 2 == 0)
            text[i] = static_cast<char>('a' + rng() % 26);
        else if (letter && word % 20 == 1 && byte == 0xE0)
            text[i] = 'a';
        else if (letter && word % 40 == 3 && rng() % 4 == 0)
            text[i] = static_cast<char>(0xAD);
    }
    return text;
}

void BM_Unmasking_LatinHeavy(benchmark::State& state) {
    static const std::string text = latinHeavyText();
    const auto output = static_cast<Unmasking::Output>(state.range(0));
    std::int32_t disguised = 0;
    for (auto _ : state) {
        const Unmasking::Result result = Unmasking::apply(text, output);
        disguised = result.disguisedWords;
        benchmark::DoNotOptimize(result.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["disguised"] = disguised;
}
// 0: the count every text gets; 1: the rewrite unmasking makes.
BENCHMARK(BM_Unmasking_LatinHeavy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ShinglesFromText_LatinHeavy(benchmark::State& state) {
    static const std::string text = latinHeavyText();
    const auto unmask = static_cast<Unmask>(state.range(0));
    TudShingleList list;
    for (auto _ : state) {
        ShinglesFromText(text, Truncation::On, HtmlHandling::Keep, unmask, 10, list);
        benchmark::DoNotOptimize(list.Hashes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ShinglesFromText_LatinHeavy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ShinglesFromText_Html(benchmark::State& state) {
    static const std::string page = generatedPage();
    fingerprint(state, page, HtmlHandling::Cut);
}
BENCHMARK(BM_ShinglesFromText_Html)->Unit(benchmark::kMillisecond);

// The reading step and the fingerprint together, as a run does them per file.
void readAndFingerprint(benchmark::State& state, const std::string& bytes) {
    TudShingleList list;
    std::size_t textSize = 0;
    for (auto _ : state) {
        const TextReader::Result read = TextReader::read(bytes, HtmlHandling::Keep);
        textSize = read.text.size();
        ShinglesFromText(read.text, Truncation::On, HtmlHandling::Keep, 10, list);
        benchmark::DoNotOptimize(list.Hashes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["text_MB"] = static_cast<double>(textSize) / 1e6;
}

void BM_ReadAndFingerprint_Windows1251(benchmark::State& state) {
    static const std::string text = generatedText();
    readAndFingerprint(state, text);
}
BENCHMARK(BM_ReadAndFingerprint_Windows1251)->Unit(benchmark::kMillisecond);

// The sample articles, 1.3 to 1.5 KB of real Russian each, read and
// fingerprinted one by one as a batch reads its files: the telling of the
// code page is a larger share of a short text's reading.
void BM_ReadAndFingerprint_SampleArticles(benchmark::State& state) {
    std::vector<std::string> articles;
    for (const char* name : {"baikal", "chay", "griby", "hleb", "kosmos", "pchely", "son",
                             "shakhmaty", "velosiped", "vyrezki"}) {
        std::ifstream in(std::string(QUILLMARK_SAMPLES "/") + name + ".txt", std::ios::binary);
        articles.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    TudShingleList list;
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& article : articles) {
            const TextReader::Result read = TextReader::read(article, HtmlHandling::Keep);
            ShinglesFromText(read.text, Truncation::On, HtmlHandling::Keep, 10, list);
            benchmark::DoNotOptimize(list.Hashes.data());
            bytes += article.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ReadAndFingerprint_SampleArticles)->Unit(benchmark::kMicrosecond);

void BM_ReadAndFingerprint_Utf8(benchmark::State& state) {
    static const std::string utf8 = [] {
        std::string out;
        Cp1251::appendUtf8(generatedText(), out);
        return out;
    }();
    readAndFingerprint(state, utf8);
}
BENCHMARK(BM_ReadAndFingerprint_Utf8)->Unit(benchmark::kMillisecond);

// A .docx of the generated prose, a paragraph per line; figures are per
// byte of the text it holds.
std::string generatedDocx() {
    const std::string text = generatedText();
    std::string body;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find("\r\n", start), text.size());
        body += "<w:p><w:r><w:t>";
        Cp1251::appendUtf8(std::string_view(text).substr(start, end - start), body);
        body += "</w:t></w:r></w:p>";
        start = end + 2;
    }
    const std::string document = "<?xml version=\"1.0\"?><w:document xmlns:w=\"w\"><w:body>" +
                                 body + "</w:body></w:document>";
    const std::string path = "/tmp/quillmark-bench-" + std::to_string(::getpid()) + ".docx";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    zip_file_add(archive, "word/document.xml",
                 zip_source_buffer(archive, document.data(), document.size(), 0), 0);
    zip_close(archive);
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    std::remove(path.c_str());
    return bytes;
}

void BM_Read_Docx(benchmark::State& state) {
    static const std::string docx = generatedDocx();
    std::size_t textSize = 0;
    for (auto _ : state) {
        const TextReader::Result read = TextReader::read(docx, HtmlHandling::Keep);
        textSize = read.text.size();
        benchmark::DoNotOptimize(read.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * textSize));
    state.counters["file_MB"] = static_cast<double>(docx.size()) / 1e6;
}
BENCHMARK(BM_Read_Docx)->Unit(benchmark::kMillisecond);

// A PDF named by QUILLMARK_BENCH_PDF (bench/analysis/pdf-pages makes one of
// the samples); figures per page.
void BM_Read_Pdf(benchmark::State& state) {
    const char* path = std::getenv("QUILLMARK_BENCH_PDF");
    if (path == nullptr) {
        state.SkipWithError("QUILLMARK_BENCH_PDF names no PDF");
        return;
    }
    std::ifstream file(path, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(file)), {});
    const std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(pdf.data(), static_cast<int>(pdf.size())));
    const int pages = document ? document->pages() : 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(TextReader::read(pdf, HtmlHandling::Keep).text.size());
    state.counters["pages_per_s"] = benchmark::Counter(
        static_cast<double>(pages), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pages"] = pages;
}
BENCHMARK(BM_Read_Pdf)->Unit(benchmark::kMillisecond);

// What the comparison view computes for one pair: both texts' words with
// their places and the passages they share. A megabyte each; the later text
// is the earlier one with every twentieth line replaced.
void BM_SharedPassages_MegabytePair(benchmark::State& state) {
    static const std::string earlier = generatedText().substr(0, 1 << 20);
    static const std::string current = [] {
        std::string text = earlier;
        std::size_t line = 0;
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] != '\n')
                continue;
            if (++line % 20 == 0)
                for (std::size_t k = at + 1; k < text.size() && text[k] != '\r'; ++k)
                    text[k] = text[k] == ' ' ? ' ' : '\xE0';
        }
        return text;
    }();
    std::size_t passages = 0;
    for (auto _ : state) {
        const TextWords a = WordsOfText(earlier, Truncation::On, HtmlHandling::Keep, 10);
        const TextWords b = WordsOfText(current, Truncation::On, HtmlHandling::Keep, 10);
        const SharedPassages shared = FindSharedPassages(a, b);
        passages = shared.current.size();
        benchmark::DoNotOptimize(shared.current.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * (earlier.size() + current.size())));
    state.counters["passages"] = static_cast<double>(passages);
}
BENCHMARK(BM_SharedPassages_MegabytePair)->Unit(benchmark::kMillisecond);

TudShingleList randomSet(std::mt19937& rng, std::size_t size) {
    TudShingleList list;
    for (std::size_t i = 0; i < size; ++i)
        list.Hashes.push_back(static_cast<std::uint32_t>(rng()));
    list.Count = static_cast<std::int32_t>(size);
    return list;
}

void BM_MatchPercent_1000x1000(benchmark::State& state) {
    std::mt19937 rng(3);
    TudShingleList earlier = randomSet(rng, 1000);
    TudShingleList current = randomSet(rng, 1000);
    // Half the earlier set recurs in the current one.
    for (std::size_t i = 0; i < 500; ++i)
        current.Hashes[i * 2] = earlier.Hashes[i];
    for (auto _ : state)
        benchmark::DoNotOptimize(MatchPercent(earlier, current));
}
BENCHMARK(BM_MatchPercent_1000x1000)->Unit(benchmark::kMicrosecond);

void BM_BestMatchPercent_1000Sets(benchmark::State& state) {
    std::mt19937 rng(4);
    std::vector<TudShingleList> earlier;
    for (int i = 0; i < 1000; ++i)
        earlier.push_back(randomSet(rng, 1000));
    const TudShingleList current = randomSet(rng, 1000);
    for (auto _ : state)
        benchmark::DoNotOptimize(BestMatchPercent(earlier, current));
}
BENCHMARK(BM_BestMatchPercent_1000Sets)->Unit(benchmark::kMillisecond);

void htmlToText(benchmark::State& state, const std::string& page) {
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlToText(page).size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_HtmlToText_100000NestedDivs(benchmark::State& state) {
    std::string page;
    for (int i = 0; i < 100000; ++i)
        page += "<div>";
    page += "text";
    for (int i = 0; i < 100000; ++i)
        page += "</div>";
    htmlToText(state, page);
}
BENCHMARK(BM_HtmlToText_100000NestedDivs)->Unit(benchmark::kMillisecond);

void BM_HtmlToText_MegabyteOfUnclosedTags(benchmark::State& state) {
    std::string page;
    while (page.size() < (1 << 20))
        page += "<b><i><u><span><p><li>";
    htmlToText(state, page);
}
BENCHMARK(BM_HtmlToText_MegabyteOfUnclosedTags)->Unit(benchmark::kMillisecond);

// libxml2 compares every attribute's name with all earlier ones of its tag;
// cut to a few dozen first, a million on one tag read in linear time.
void BM_HtmlToText_MillionAttributesOnOneTag(benchmark::State& state) {
    std::string page = "<p>before<span";
    for (int i = 0; i < 1000000; ++i)
        page += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    page += ">inside</span>after</p>";
    htmlToText(state, page);
}
BENCHMARK(BM_HtmlToText_MillionAttributesOnOneTag)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillmark

BENCHMARK_MAIN();
