// The families list of the result page: what each line says and how a
// reference text in a family is named (the window's tests click it).
#include "window/FamilyList.h"

#include <QTest>

using namespace quillmark;

class FamilyListTest : public QObject {
    Q_OBJECT

private slots:
    void linesNameSizeFirstTextAndHighestScore() {
        // old.txt, a reference text, ahead of the batch: old ← a ← c and b ← d.
        DocumentTable table;
        const std::pair<const char*, int> entries[] = {
            {"old.txt", -1}, {"a.txt", 0}, {"b.txt", -1}, {"c.txt", 1}, {"d.txt", 2}};
        const int scores[] = {0, 90, 0, 70, 100};
        for (std::size_t i = 0; i < std::size(entries); ++i) {
            table.append(entries[i].first);
            table.scores.back() = scores[i];
            table.bestMatches.back() = entries[i].second;
        }
        table.comparedCount = table.count();
        table.referenceCount = 1;
        table.referenceDirectories = {"/srv/archive/"};

        FamilyList list;
        list.setFamilies(table, Families::of(table, 20));
        QCOMPARE(list.count(), 2);
        QVERIFY(!list.isHidden());
        QCOMPARE(list.item(0)->text(),
                 QStringLiteral("Семья 1 (текстов: 2, эталонов: 1): первый — a.txt, до 90%"));
        QCOMPARE(list.item(0)->toolTip(),
                 QStringLiteral("Семья 1: old.txt (эталон), a.txt, c.txt. Щелчок — выделить её "
                                "строки в таблице"));
        QCOMPARE(list.item(1)->text(),
                 QStringLiteral("Семья 2 (текстов: 2): первый — b.txt, до 100%"));
        QCOMPARE(list.item(1)->data(FamilyList::FamilyRole).toInt(), 2);
    }
};

QTEST_MAIN(FamilyListTest)
#include "FamilyList_test.moc"
