// The comparison stage (index build and the best match of every document) on
// redundant batches, each timed against a batch of as many unrelated texts of
// the same size, at several batch sizes.
//
//   redundant_bench               the table of cases at 20,000, 25,000, 100,000
//   redundant_bench N...          the same at the sizes given
//   redundant_bench --million     1,000,000 texts of 400 random shingles
//   -j T before the rest          on T threads, as the batch run with -j T (default 1)
#include "engine/MatchIndex.h"
#include "engine/ParallelComparison.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using quillmark::MatchIndex;
using quillmark::TudShingleList;
using quillmark::WordList;

constexpr int kShingleLength = 10;
constexpr int kWords = 409; // 400 windows of ten words
constexpr int kVocabulary = 50000;

enum class Case { Unrelated, Footer, Copies, Clusters, ScatteredCopies, HalfEmpty };

const char* nameOf(Case shape) {
    switch (shape) {
    case Case::Unrelated:
        return "unrelated";
    case Case::Footer:
        return "(a) shared 30-word footer";
    case Case::Copies:
        return "(b) all copies of one text";
    case Case::Clusters:
        return "(c) 200 near-copy clusters, 5% words changed";
    case Case::ScatteredCopies:
        return "(d) 10% exact copies, scattered";
    case Case::HalfEmpty:
        return "(e) half empty or short";
    }
    return "";
}

class Generator {
public:
    explicit Generator(unsigned seed)
        : m_random(seed) {
        for (int w = 0; w < kVocabulary; ++w)
            m_vocabulary.push_back("w" + std::to_string(w * 7919 % 100003));
    }

    std::vector<int> randomText(int words) {
        std::vector<int> text(static_cast<std::size_t>(words));
        for (int& word : text)
            word = below(kVocabulary);
        return text;
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    TudShingleList shinglesOf(const std::vector<int>& text) const {
        WordList words;
        for (int word : text)
            words.emplace_back(m_vocabulary[static_cast<std::size_t>(word)]);
        TudShingleList list;
        quillmark::ShinglesFromWords(words, kShingleLength, list);
        return list;
    }

private:
    std::mt19937 m_random;
    std::vector<std::string> m_vocabulary;
};

std::vector<TudShingleList> batchOf(Case shape, int count) {
    Generator generator(static_cast<unsigned>(count) * 31 + static_cast<unsigned>(shape));
    std::vector<TudShingleList> batch;
    batch.reserve(static_cast<std::size_t>(count));
    const std::vector<int> footer = generator.randomText(30);
    const std::vector<int> original = generator.randomText(kWords);
    std::vector<std::vector<int>> centres;
    for (int c = 0; shape == Case::Clusters && c < 200; ++c)
        centres.push_back(generator.randomText(kWords));
    for (int d = 0; d < count; ++d) {
        std::vector<int> text;
        switch (shape) {
        case Case::Unrelated:
            text = generator.randomText(kWords);
            break;
        case Case::Footer:
            text = generator.randomText(kWords - 30);
            text.insert(text.end(), footer.begin(), footer.end());
            break;
        case Case::Copies:
            text = original;
            break;
        case Case::Clusters:
            text = centres[static_cast<std::size_t>(generator.below(200))];
            for (int& word : text)
                if (generator.below(100) < 5)
                    word = generator.below(kVocabulary);
            break;
        case Case::ScatteredCopies:
            if (d > 0 && generator.below(10) == 0) {
                batch.push_back(batch[static_cast<std::size_t>(generator.below(d))]);
                continue;
            }
            text = generator.randomText(kWords);
            break;
        case Case::HalfEmpty:
            text = generator.randomText(generator.below(2) == 0 ? generator.below(kShingleLength)
                                                                : kWords);
            break;
        }
        batch.push_back(generator.shinglesOf(text));
    }
    return batch;
}

int g_threads = 1;

/// The comparison stage as the batch run does it, in seconds.
double compareSeconds(const std::vector<TudShingleList>& batch, std::int64_t& checksum) {
    const auto start = std::chrono::steady_clock::now();
    const MatchIndex index(batch, {}, g_threads);
    std::vector<std::int32_t> scores(batch.size());
    std::vector<std::int32_t> bestMatches(batch.size());
    {
        quillmark::ParallelComparison comparison(index, 0, 0, g_threads, {scores, bestMatches, {}});
        while (!batch.empty() && !comparison.waitFor(static_cast<std::int32_t>(batch.size()) - 1,
                                                     std::chrono::seconds(1))) {
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    checksum = 0;
    for (std::size_t k = 0; k < batch.size(); ++k)
        checksum += scores[k] + bestMatches[k];
    return seconds;
}

/// The least of three runs, since the machine is shared; one run when it
/// takes over ten seconds.
double bestOfThree(const std::vector<TudShingleList>& batch) {
    std::int64_t checksum = 0;
    double best = compareSeconds(batch, checksum);
    for (int run = 1; run < 3 && best <= 10; ++run)
        best = std::min(best, compareSeconds(batch, checksum));
    return best;
}

double peakResidentGiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / (1024.0 * 1024.0);
    return 0;
}

int million() {
    constexpr int kCount = 1000000;
    std::mt19937 random(1);
    std::uniform_int_distribution<std::uint32_t> hash;
    std::vector<TudShingleList> batch(kCount);
    for (TudShingleList& list : batch) {
        list.Hashes.resize(400);
        for (std::uint32_t& h : list.Hashes)
            h = hash(random);
        list.Count = 400;
    }
    std::printf("table of %d texts made, peak RSS %.2f GiB\n", kCount, peakResidentGiB());
    std::int64_t checksum = 0;
    const std::clock_t processorStart = std::clock();
    const double seconds = compareSeconds(batch, checksum);
    const double processorSeconds =
        static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC;
    std::printf("compared in %.1f s (processor time %.1f s), peak RSS %.2f GiB (checksum %lld)\n",
                seconds, processorSeconds, peakResidentGiB(), static_cast<long long>(checksum));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int a = 1;
    if (argc > 2 && std::strcmp(argv[1], "-j") == 0) {
        g_threads = std::max(std::atoi(argv[2]), 1);
        a = 3;
    }
    if (argc == a + 1 && std::strcmp(argv[a], "--million") == 0)
        return million();
    std::vector<int> sizes;
    for (; a < argc; ++a)
        sizes.push_back(std::atoi(argv[a]));
    if (sizes.empty())
        sizes = {20000, 25000, 100000};

    const Case cases[] = {Case::Unrelated, Case::Footer,          Case::Copies,
                          Case::Clusters,  Case::ScatteredCopies, Case::HalfEmpty};
    std::map<std::pair<int, int>, double> seconds;
    std::printf("%d thread(s)\n%-46s %8s %9s %7s\n", g_threads, "case", "N", "time, s", "ratio");
    for (int size : sizes) {
        for (Case shape : cases) {
            const double time = bestOfThree(batchOf(shape, size));
            seconds[{static_cast<int>(shape), size}] = time;
            std::printf("%-46s %8d %9.3f %7.2f\n", nameOf(shape), size, time,
                        time / seconds[{static_cast<int>(Case::Unrelated), size}]);
            std::fflush(stdout);
        }
    }
    // Growth from 25,000 when it was measured, else from the smallest size.
    const int small = std::find(sizes.begin(), sizes.end(), 25000) != sizes.end()
                          ? 25000
                          : *std::min_element(sizes.begin(), sizes.end());
    const int large = *std::max_element(sizes.begin(), sizes.end());
    if (small == large)
        return 0;
    std::printf("\ngrowth exponent between N = %d and N = %d\n", small, large);
    for (Case shape : cases) {
        const double growth = std::log(seconds[{static_cast<int>(shape), large}] /
                                       seconds[{static_cast<int>(shape), small}]) /
                              std::log(static_cast<double>(large) / small);
        std::printf("%-46s %7.2f\n", nameOf(shape), growth);
    }
    return 0;
}
