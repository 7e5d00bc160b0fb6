#include "CommonText.h"

#include "RunFailure.h"
#include "analysis/HashMembership.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <span>

namespace quillmark {

namespace {

void makeDistinct(std::vector<std::uint32_t>& hashes) {
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
}

// The (hash << 32 | document) keys of all texts go into buckets by the hash's
// top bits, the documents ascending in each; a bucket is small enough to sort
// by the rest of the hash within the caches.
constexpr int topBits = 11;
constexpr int lowBits = 32 - topBits;

/// Stable sort of a bucket's keys by the hash's low bits: two passes.
void sortBucket(std::span<std::uint64_t> keys, std::vector<std::uint64_t>& scratch) {
    scratch.resize(keys.size());
    std::span<std::uint64_t> from = keys;
    std::span<std::uint64_t> to(scratch);
    for (const int shift : {32, 32 + lowBits / 2}) {
        const int width = shift == 32 ? lowBits / 2 : lowBits - lowBits / 2;
        const std::uint64_t mask = (std::uint64_t{1} << width) - 1;
        std::array<std::size_t, (1u << (lowBits - lowBits / 2)) + 1> start{};
        for (const std::uint64_t key : from)
            ++start[((key >> shift) & mask) + 1];
        for (std::size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (const std::uint64_t key : from)
            to[start[(key >> shift) & mask]++] = key;
        std::swap(from, to);
    }
    // Two passes end where they began.
}

/// Appends the hashes of a sorted bucket that at least `needed` documents hold.
void collectCommon(std::span<const std::uint64_t> keys, std::int64_t needed,
                   std::vector<std::uint32_t>& common) {
    for (std::size_t i = 0; i < keys.size();) {
        const std::uint64_t hash = keys[i] >> 32;
        std::int64_t holders = 0;
        std::uint64_t last = ~std::uint64_t{0};
        for (; i < keys.size() && keys[i] >> 32 == hash; ++i) {
            holders += keys[i] != last ? 1 : 0;
            last = keys[i];
        }
        if (holders >= needed)
            common.push_back(static_cast<std::uint32_t>(hash));
    }
}

} // namespace

std::vector<std::uint32_t> CommonText::commonHashes(std::span<const TudShingleList> documents,
                                                    int percent) {
    const auto total = static_cast<std::int64_t>(documents.size());
    const std::int64_t needed = std::max(fewestTexts, (percent * total + 99) / 100);
    if (percent <= 0 || needed > total)
        return {};
    std::vector<std::size_t> start((1u << topBits) + 1, 0);
    for (const TudShingleList& list : documents)
        for (const std::uint32_t hash : list.Hashes)
            ++start[(hash >> lowBits) + 1];
    for (std::size_t b = 1; b < start.size(); ++b)
        start[b] += start[b - 1];
    // Left uninitialised: every slot is written below.
    const std::unique_ptr<std::uint64_t[]> keys(new std::uint64_t[start.back()]);
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t d = 0; d < documents.size(); ++d)
        for (const std::uint32_t hash : documents[d].Hashes)
            keys[next[hash >> lowBits]++] = std::uint64_t{hash} << 32 | d;
    std::vector<std::uint32_t> common;
    std::vector<std::uint64_t> scratch;
    for (std::size_t b = 0; b + 1 < start.size(); ++b) {
        const std::span<std::uint64_t> bucket(keys.get() + start[b], start[b + 1] - start[b]);
        sortBucket(bucket, scratch);
        collectCommon(bucket, needed, common);
    }
    return common;
}

void CommonText::readTemplateFile(const QByteArray& path, const QByteArray& shownName, bool alone,
                                  std::vector<std::uint32_t>& hashes) {
    LoadJob job = RunControl::withPath(m_control.settingsNow(), path);
    job.checksum = Checksum::Skip;
    const LoadedText loaded = ParallelLoader::loadOne(job);
    if (!loaded.error) {
        hashes.insert(hashes.end(), loaded.shingles.Hashes.begin(), loaded.shingles.Hashes.end());
        return;
    }
    try {
        std::rethrow_exception(loaded.error);
    } catch (const UnreadableText& error) {
        const QString message =
            QCoreApplication::translate("BatchEngine", "Файл шаблона \"%1\" не прочитан: %2")
                .arg(QFile::decodeName(shownName),
                     RunControl::translatedReason(QString::fromUtf8(error.what())));
        if (alone)
            throw RunFailure(message);
        m_control.AddLog(message);
    } catch (const Stopped&) {
        throw;
    } catch (const std::exception& error) {
        throw RunFailure(QCoreApplication::translate("BatchEngine", "Шаблон \"%1\" не прочитан: %2")
                             .arg(QFile::decodeName(shownName), QString::fromUtf8(error.what())));
    }
}

std::vector<std::uint32_t> CommonText::templateHashes(const QByteArray& path) {
    std::vector<std::uint32_t> hashes;
    if (DirectoryListing::isDirectory(path)) {
        const QByteArray prefix = DirectoryListing::prefix(path);
        std::vector<DirectoryEntry> entries;
        try {
            entries = DirectoryListing::list(path);
        } catch (const std::exception& error) {
            throw RunFailure(QString::fromUtf8(error.what()));
        }
        for (const DirectoryEntry& entry : entries) {
            if (!RunControl::isBatchText(entry))
                continue;
            readTemplateFile(prefix + entry.name, entry.name, false, hashes);
            m_control.handleEvents();
        }
    } else if (QFile::exists(QFile::decodeName(path))) {
        readTemplateFile(path, path, true, hashes);
    } else {
        throw RunFailure(QCoreApplication::translate("BatchEngine", "Шаблон \"%1\" не найден")
                             .arg(QFile::decodeName(path)));
    }
    if (hashes.empty())
        throw RunFailure(QCoreApplication::translate("BatchEngine", "В шаблоне \"%1\" нет текста")
                             .arg(QFile::decodeName(path)));
    makeDistinct(hashes);
    return hashes;
}

void CommonText::apply(DocumentTable& table) {
    EngineHost& host = m_control.host();
    table.commonText = {host.templatePath(), std::clamp(host.commonPercent(), 0, 100)};
    table.removedHashes.clear();
    table.templateShingles.assign(static_cast<std::size_t>(table.count()), 0);
    table.commonShingles.assign(static_cast<std::size_t>(table.count()), 0);
    if (!table.commonText.any())
        return;
    std::vector<std::uint32_t> fromTemplate;
    if (!table.commonText.templatePath.isEmpty())
        fromTemplate = templateHashes(table.commonText.templatePath);
    m_control.throwIfStopped();
    const std::vector<std::uint32_t> common =
        commonHashes(table.shingles, table.commonText.commonPercent);
    std::set_union(fromTemplate.begin(), fromTemplate.end(), common.begin(), common.end(),
                   std::back_inserter(table.removedHashes));
    count(table, fromTemplate);
    logRemoved(table, fromTemplate.size(), table.removedHashes.size() - fromTemplate.size());
}

void CommonText::count(DocumentTable& table, const std::vector<std::uint32_t>& fromTemplate) {
    const HashMembership inTemplate(fromTemplate);
    const HashMembership removed(table.removedHashes);
    for (std::size_t d = 0; d < table.shingles.size(); ++d) {
        const std::vector<std::uint32_t>& hashes = table.shingles[d].Hashes;
        const auto all = static_cast<std::int32_t>(removed.countFound(hashes));
        table.templateShingles[d] = static_cast<std::int32_t>(inTemplate.countFound(hashes));
        table.commonShingles[d] = all - table.templateShingles[d];
    }
}

void CommonText::logRemoved(const DocumentTable& table, std::size_t templateCount,
                            std::size_t commonCount) {
    const CommonTextSettings& settings = table.commonText;
    if (!settings.templatePath.isEmpty())
        m_control.AddLog(QCoreApplication::translate(
                             "BatchEngine", "Шаблон \"%1\": не учитываются фрагментов - %2")
                             .arg(QFile::decodeName(settings.templatePath))
                             .arg(templateCount));
    if (settings.commonPercent > 0)
        m_control.AddLog(
            QCoreApplication::translate(
                "BatchEngine", "Общие для %1% текстов фрагменты: не учитываются фрагментов - %2")
                .arg(settings.commonPercent)
                .arg(commonCount));
    for (std::int32_t d = table.referenceCount; d < table.count(); ++d)
        if (table.onlyCommonText(d))
            m_control.AddLog(
                QCoreApplication::translate("BatchEngine", "Текст «%1»: только общий текст")
                    .arg(QFile::decodeName(table.names[static_cast<std::size_t>(d)])));
}

} // namespace quillmark
