#include "ResultTableModel.h"

#include "engine/Families.h"
#include "engine/RunControl.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace quillmark {

namespace {

const QColor FailingRow(255, 214, 214);
const QColor FailingSign(160, 0, 0);
const QColor PassingSign(0, 110, 40);
const QColor CommonTextSign(120, 120, 120);

QString passedText() {
    return QCoreApplication::translate("quillmark::ResultTableModel", "✓ прошло");
}

QString failedText() {
    return QCoreApplication::translate("quillmark::ResultTableModel", "✗ не прошло");
}

QString onlyCommonText() {
    return QCoreApplication::translate("quillmark::ResultTableModel", "✓ общий текст");
}

QString unreadText() {
    return QCoreApplication::translate("quillmark::ResultTableModel", "не прочитан");
}

QString originText(TextFormat format, Encoding encoding) {
    return QString::fromStdString(TextReader::describe({format, encoding}));
}

// A count's cell: empty rather than 0.
QVariant blankIfNone(std::int32_t count) {
    return count > 0 ? QVariant(count) : QVariant(QString());
}

// A file that was not read was taken for plain text only because nothing
// else could be made of it: its own name says better what it is.
QString unreadFormat(const QString& name, TextFormat format) {
    const QString suffix = QFileInfo(name).suffix().toUpper();
    if (format != TextFormat::Text || suffix.isEmpty())
        return originText(format, Encoding::Auto);
    return suffix;
}

// A reference text as the table names it: its folder and its name; the
// tool tip gives the whole path.
QString shortReferenceName(const QString& path) {
    const QFileInfo file(path);
    const QString folder = file.dir().dirName();
    return folder.isEmpty() || folder == QLatin1String(".")
               ? file.fileName()
               : folder + QLatin1Char('/') + file.fileName();
}

} // namespace

ResultTableModel::ResultTableModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void ResultTableModel::setResults(const DocumentTable& documents, int percent) {
    beginResetModel();
    // The table's vectors may be shorter than comparedCount only if it is
    // inconsistent; never read past them.
    const auto count =
        std::min({static_cast<std::size_t>(std::max(documents.comparedCount, 0)),
                  documents.names.size(), documents.scores.size(), documents.bestMatches.size()});
    m_rows.clear();
    // Reference texts are no rows: only a best match may name one.
    const auto first =
        std::min(count, static_cast<std::size_t>(std::max(documents.referenceCount, 0)));
    m_rows.reserve(count - first);
    const Families families = Families::of(documents, percent);
    for (std::size_t i = first; i < count; ++i) {
        Row row = comparedRow(documents, i, first);
        row.family = families.familyOf(static_cast<std::int32_t>(i));
        m_rows.push_back(std::move(row));
    }
    for (const UnreadFile& file : documents.unread) {
        Row row;
        row.name = QFile::decodeName(file.name);
        row.format = unreadFormat(row.name, file.format);
        row.unreadReason =
            file.reason.isEmpty() ? unreadText() : RunControl::translatedReason(file.reason);
        m_rows.push_back(std::move(row));
    }
    m_percent = percent;
    endResetModel();
}

ResultTableModel::Row ResultTableModel::comparedRow(const DocumentTable& documents,
                                                    std::size_t index, std::size_t first) {
    Row row;
    row.document = static_cast<std::int32_t>(index);
    row.name = QFile::decodeName(documents.names[index]);
    row.score = documents.scores[index];
    row.onlyCommon = documents.onlyCommonText(row.document);
    const std::int32_t best = documents.bestMatches[index];
    // Only an earlier document can be the match.
    if (best >= 0 && static_cast<std::size_t>(best) < index) {
        const bool reference = documents.isReference(best);
        row.match = reference ? -1 : best - static_cast<std::int32_t>(first);
        row.matchPath =
            QFile::decodeName(reference ? documents.referencePath(best)
                                        : documents.names[static_cast<std::size_t>(best)]);
        row.matchName = reference ? shortReferenceName(row.matchPath) : row.matchPath;
    }
    if (index < documents.origins.size())
        row.format = originText(documents.origins[index].format, documents.origins[index].encoding);
    if (index < documents.disguisedWords.size())
        row.disguised = documents.disguisedWords[index];
    return row;
}

void ResultTableModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

bool ResultTableModel::passed(int row) const {
    const Row& shown = m_rows.at(static_cast<std::size_t>(row));
    return !shown.unread() && shown.score <= m_percent;
}

std::int32_t ResultTableModel::bestMatch(int row) const {
    return m_rows.at(static_cast<std::size_t>(row)).match;
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int column = index.column();
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const bool fails = !row.unread() && row.score > m_percent;
    switch (role) {
    case Qt::DisplayRole:
        return display(index.row(), column);
    case SortRole:
        return sortKey(index.row(), column);
    case DocumentRole:
        return row.document;
    case FamilyRole:
        return row.family;
    case Qt::ToolTipRole:
        return toolTip(index.row(), column);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(column));
    case Qt::BackgroundRole:
        return fails ? QBrush(FailingRow) : QVariant();
    case Qt::ForegroundRole:
        return foreground(row, column);
    default:
        return {};
    }
}

Qt::Alignment ResultTableModel::alignment(int column) {
    // Numbers to the right.
    const bool number = column == OrderColumn || column == ScoreColumn ||
                        column == DisguisedColumn || column == FamilyColumn;
    return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QVariant ResultTableModel::foreground(const Row& row, int column) const {
    if (row.unread())
        return column == VerdictColumn ? QBrush(FailingSign) : QVariant();
    if (column != VerdictColumn)
        return {};
    if (row.onlyCommon)
        return QBrush(CommonTextSign);
    return QBrush(row.score > m_percent ? FailingSign : PassingSign);
}

QVariant ResultTableModel::display(int index, int column) const {
    const Row& row = m_rows[static_cast<std::size_t>(index)];
    switch (column) {
    case NameColumn:
        return row.name;
    case FormatColumn:
        return row.format;
    case DisguisedColumn:
        return blankIfNone(row.disguised);
    case FamilyColumn:
        return blankIfNone(row.family);
    default:
        break;
    }
    if (row.unread())
        return column == VerdictColumn ? unreadText() : QStringLiteral("—");
    switch (column) {
    case OrderColumn:
        return index + 1;
    case ScoreColumn:
        return row.score;
    case VerdictColumn:
        return verdictText(row);
    case MatchColumn:
        return row.matchName.isEmpty() ? QStringLiteral("—") : row.matchName;
    default:
        return {};
    }
}

QVariant ResultTableModel::sortKey(int index, int column) const {
    const Row& row = m_rows[static_cast<std::size_t>(index)];
    if (column == FormatColumn)
        return row.format;
    if (column == DisguisedColumn)
        return row.disguised;
    if (column == FamilyColumn)
        return familyKey(row, index);
    // Files not read sort after every compared one, and below every score.
    if (row.unread() && column != OrderColumn && column != NameColumn)
        return column == MatchColumn ? QVariant(QString()) : QVariant(-1);
    switch (column) {
    case OrderColumn:
        return index;
    case NameColumn:
        return row.name;
    case ScoreColumn:
        return row.score;
    case VerdictColumn:
        return row.score <= m_percent ? 1 : 0;
    case MatchColumn:
        // Rows without a match come first in ascending order.
        return row.matchName;
    default:
        return {};
    }
}

QVariant ResultTableModel::familyKey(const Row& row, int index) {
    // A family's rows together in listing order; rows of no family after
    // every family.
    const qint64 family = row.family > 0 ? row.family : std::numeric_limits<std::int32_t>::max();
    return family * (qint64(1) << 32) + index;
}

QString ResultTableModel::verdictText(const Row& row) const {
    // Only common text scores 0: it passes, and says why.
    if (row.score > m_percent)
        return failedText();
    return row.onlyCommon ? onlyCommonText() : passedText();
}

QVariant ResultTableModel::toolTip(int index, int column) const {
    const Row& row = m_rows[static_cast<std::size_t>(index)];
    if (row.unread())
        return column == NameColumn ? row.name : tr("Не прочитан: ") + row.unreadReason;
    switch (column) {
    case NameColumn:
        return row.name;
    case FormatColumn:
        return row.format;
    case DisguisedColumn:
        return row.disguised > 0 ? tr("Слов с подменой символов (латинские буквы вместо русских, "
                                      "невидимые знаки): %1")
                                       .arg(row.disguised)
                                 : QVariant();
    case FamilyColumn:
        return row.family > 0 ? tr("Семья копий %1: строки с тем же номером связаны "
                                   "через «не прошло» и «Похож на»")
                                    .arg(row.family)
                              : QVariant();
    case VerdictColumn:
        if (row.onlyCommon)
            return tr("Только общий текст: весь текст — шаблон или фрагменты, общие для многих "
                      "текстов; он не учитывается, сходство 0%");
        return row.score <= m_percent
                   ? tr("Сходство %1% не больше допустимых %2%").arg(row.score).arg(m_percent)
                   : tr("Сходство %1% больше допустимых %2%").arg(row.score).arg(m_percent);
    case MatchColumn:
        return matchToolTip(row);
    default:
        return {};
    }
}

QString ResultTableModel::matchToolTip(const Row& row) const {
    if (row.matchName.isEmpty())
        return tr("Ни с одним более ранним текстом общих шинглов нет");
    if (row.match < 0)
        return tr("Эталонный текст %1 (двойной щелчок — сравнить)").arg(row.matchPath);
    return tr("№ %1: %2 (двойной щелчок — сравнить)")
        .arg(row.match + 1)
        .arg(m_rows[static_cast<std::size_t>(row.match)].name);
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return headerText(section);
    case Qt::ToolTipRole:
        return headerToolTip(section);
    case Qt::InitialSortOrderRole:
        // The most similar texts, and the failing ones, come first on the first click.
        return static_cast<int>(section == ScoreColumn || section == DisguisedColumn
                                    ? Qt::DescendingOrder
                                    : Qt::AscendingOrder);
    default:
        return {};
    }
}

QVariant ResultTableModel::headerText(int section) {
    switch (section) {
    case OrderColumn:
        return tr("№");
    case NameColumn:
        return tr("Файл");
    case ScoreColumn:
        return tr("Сходство, %");
    case VerdictColumn:
        return tr("Итог");
    case MatchColumn:
        return tr("Похож на");
    case FormatColumn:
        return tr("Формат");
    case DisguisedColumn:
        return tr("Подмена");
    case FamilyColumn:
        return tr("Семья");
    default:
        return {};
    }
}

QVariant ResultTableModel::headerToolTip(int section) const {
    switch (section) {
    case OrderColumn:
        return tr("Место в списке каталога: каждый текст сравнивается с "
                  "текстами выше него");
    case ScoreColumn:
        return tr("Наибольшее сходство с одним из более ранних текстов");
    case VerdictColumn:
        return tr("Прошло проверку, если сходство не больше %1%").arg(m_percent);
    case MatchColumn:
        return tr("Первый более ранний текст с таким сходством");
    case FormatColumn:
        return tr("Формат файла и кодировка, в которой прочитан его текст");
    case DisguisedColumn:
        return tr("Сколько слов замаскировано латинскими буквами вместо похожих русских "
                  "или невидимыми знаками внутри слова");
    case FamilyColumn:
        return tr("Семья копий: не прошедший текст и тот, на который он похож, в одной "
                  "семье, и так по цепочке; пусто — текст ни в одной семье");
    default:
        return {};
    }
}

} // namespace quillmark
