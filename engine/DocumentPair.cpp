#include "DocumentPair.h"

#include "ArchiveSet.h"
#include "TextFile.h"
#include "analysis/Cp1251.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <exception>
#include <iterator>

namespace quillmark {

namespace {

[[noreturn]] void fail(const QString& message) {
    throw PairError(message.toStdString());
}

TextWords reread(const BatchEngine& engine, std::int32_t index) {
    const DocumentTable& documents = engine.documents();
    const auto at = static_cast<std::size_t>(index);
    const QString name = QFile::decodeName(documents.names[at]);
    const QByteArray path = engine.documentPath(index);
    if (path.isEmpty())
        fail(QCoreApplication::translate(
                 "DocumentPair", "Файл \"%1\" не найден ни в каталоге с исходными текстами, ни в "
                                 "каталоге выборки.")
                 .arg(name));
    const FingerprintSettings& settings = documents.settings[at];
    TextWords words;
    try {
        // The encoding found at the run, so that the text reads as it did.
        const TextOrigin& origin = documents.origins[at];
        words = WordsOfText(TextFile::load(path, settings.html, origin.encoding).text,
                            settings.truncation, settings.html, settings.shingleLength,
                            settings.unmask);
    } catch (const std::exception& error) {
        fail(TextFile::withFullStop(QString::fromUtf8(error.what())));
    }
    // Shown words that are not those the score counted would mislead.
    if (words.shingles.Hashes != documents.shingles[at].Hashes)
        fail(QCoreApplication::translate(
                 "DocumentPair", "Файл \"%1\" изменился после проверки: его текст уже не тот, что "
                                 "сравнивался.")
                 .arg(name));
    return words;
}

/// The passages of `current` whose hashes the archived text `earlier` holds,
/// but for those left out as common text.
std::vector<Passage> passagesOfArchived(const DocumentTable& documents, const TextWords& current,
                                        std::int32_t earlier) {
    std::vector<std::uint32_t> hashes =
        documents.shingles[static_cast<std::size_t>(earlier)].Hashes;
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    std::vector<std::uint32_t> counted;
    std::set_difference(hashes.begin(), hashes.end(), documents.removedHashes.begin(),
                        documents.removedHashes.end(), std::back_inserter(counted));
    return PassagesWithHashes(current, counted);
}

} // namespace

DocumentPair DocumentPair::load(const BatchEngine& engine, std::int32_t current,
                                std::int32_t earlier) {
    const DocumentTable& documents = engine.documents();
    if (current < 0 || current >= documents.comparedCount || earlier < 0 || earlier >= current)
        fail(QCoreApplication::translate("DocumentPair", "Нет такой пары проверенных текстов."));
    DocumentPair pair;
    pair.currentIndex = current;
    pair.earlierIndex = earlier;
    pair.current = reread(engine, current);
    pair.earlierArchived = ArchiveSet::isArchivedPath(documents.referencePath(earlier));
    const std::vector<std::uint32_t>& removed = documents.removedHashes;
    if (pair.earlierArchived) {
        pair.passages.current = passagesOfArchived(documents, pair.current, earlier);
    } else {
        pair.earlier = reread(engine, earlier);
        pair.passages = FindSharedPassages(pair.earlier, pair.current, removed);
    }
    if (!removed.empty()) {
        pair.commonCurrent = PassagesWithHashes(pair.current, removed);
        pair.commonEarlier = PassagesWithHashes(pair.earlier, removed);
    }
    pair.currentOrigin = documents.origins[static_cast<std::size_t>(current)];
    pair.earlierOrigin = documents.origins[static_cast<std::size_t>(earlier)];
    return pair;
}

QString DocumentPair::toQString(const std::string& text) {
    QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = result.data();
    for (const char byte : text)
        *out++ = QChar(static_cast<char16_t>(Cp1251::toUnicode(static_cast<unsigned char>(byte))));
    return result;
}

} // namespace quillmark
