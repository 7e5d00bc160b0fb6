#include "FamilyList.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace quillmark {

FamilyList::FamilyList(QWidget* parent)
    : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVisible(false);
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit familyChosen(item->data(FamilyRole).toInt()); });
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { emit familyChosen(item->data(FamilyRole).toInt()); });
}

void FamilyList::setFamilies(const DocumentTable& documents, const Families& families) {
    clear();
    const std::vector<Family>& list = families.list();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        auto* item = new QListWidgetItem(entryText(documents, list[i], number), this);
        item->setData(FamilyRole, number);
        QStringList names;
        for (const std::int32_t member : list[i].members)
            names << memberName(documents, member);
        item->setToolTip(tr("Семья %1: %2. Щелчок — выделить её строки в таблице")
                             .arg(number)
                             .arg(names.join(QStringLiteral(", "))));
    }
    setVisible(count() > 0);
}

int FamilyList::heightFor(int rows) const {
    const int row = count() > 0 ? sizeHintForRow(0) : fontMetrics().height() + 2;
    return rows * row + 2 * frameWidth();
}

QString FamilyList::entryText(const DocumentTable& documents, const Family& family, int number) {
    const auto references = static_cast<int>(
        std::count_if(family.members.begin(), family.members.end(),
                      [&documents](std::int32_t member) { return documents.isReference(member); }));
    const int texts = static_cast<int>(family.members.size()) - references;
    const QString first = memberName(documents, family.firstText);
    if (references == 0)
        return tr("Семья %1 (текстов: %2): первый — %3, до %4%")
            .arg(number)
            .arg(texts)
            .arg(first)
            .arg(family.highestScore);
    return tr("Семья %1 (текстов: %2, эталонов: %3): первый — %4, до %5%")
        .arg(number)
        .arg(texts)
        .arg(references)
        .arg(first)
        .arg(family.highestScore);
}

QString FamilyList::memberName(const DocumentTable& documents, std::int32_t member) {
    if (member < 0 || member >= documents.count())
        return {};
    if (documents.isReference(member))
        return tr("%1 (эталон)")
            .arg(QFileInfo(QFile::decodeName(documents.referencePath(member))).fileName());
    return QFile::decodeName(documents.names[static_cast<std::size_t>(member)]);
}

} // namespace quillmark
