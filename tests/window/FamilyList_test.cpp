// The families list of the result page: what each line says, how reference
// texts are named, and which family a click or Enter chooses.
#include "window/FamilyList.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillmark;

namespace {

struct Entry {
    QByteArray name;
    std::int32_t score = 0;
    std::int32_t bestMatch = -1;
};

// old.txt, a reference text, ahead of the batch: old ← a ← c and b ← d
// fail at 20%.
DocumentTable batchWithReference() {
    DocumentTable table;
    const QList<Entry> entries{{"old.txt", 0, -1},
                               {"a.txt", 90, 0},
                               {"b.txt", 0, -1},
                               {"c.txt", 70, 1},
                               {"d.txt", 100, 2}};
    for (const Entry& entry : entries) {
        table.append(entry.name);
        table.scores.back() = entry.score;
        table.bestMatches.back() = entry.bestMatch;
    }
    table.comparedCount = table.count();
    table.referenceCount = 1;
    table.referenceDirectories = {"/srv/archive/"};
    return table;
}

// The families each emission of `spy` chose.
QList<int> chosen(const QSignalSpy& spy) {
    QList<int> numbers;
    for (const QList<QVariant>& arguments : spy)
        numbers << arguments.at(0).toInt();
    return numbers;
}

} // namespace

class FamilyListTest : public QObject {
    Q_OBJECT

private slots:
    void linesNameSizeFirstTextAndHighestScore() {
        const DocumentTable table = batchWithReference();
        FamilyList list;
        list.setFamilies(table, Families::of(table, 20));
        QCOMPARE(list.count(), 2);
        QVERIFY(!list.isHidden());
        QCOMPARE(list.item(0)->text(),
                 QStringLiteral("Семья 1 (текстов: 2, эталонов: 1): первый — a.txt, до 90%"));
        QCOMPARE(list.item(1)->text(),
                 QStringLiteral("Семья 2 (текстов: 2): первый — b.txt, до 100%"));
        // Every member in the tool tip, the reference text named as one.
        QCOMPARE(list.item(0)->toolTip(),
                 QStringLiteral("Семья 1: old.txt (эталон), a.txt, c.txt. Щелчок — выделить её "
                                "строки в таблице"));
        QCOMPARE(list.item(1)->data(FamilyList::FamilyRole).toInt(), 2);

        // Nothing fails at 100%: no line, and the list hides.
        list.setFamilies(table, Families::of(table, 100));
        QCOMPARE(list.count(), 0);
        QVERIFY(list.isHidden());
        list.setFamilies(table, Families::of(table, 20));
        list.clearFamilies();
        QVERIFY(list.isHidden());
    }

    void aClickOrEnterChoosesItsFamily() {
        const DocumentTable table = batchWithReference();
        FamilyList list;
        list.setFamilies(table, Families::of(table, 20));
        list.resize(400, list.heightFor(2));
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy spy(&list, &FamilyList::familyChosen);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(1)).center());
        QVERIFY(!spy.isEmpty());
        QVERIFY(chosen(spy).count(2) == spy.count());
        spy.clear();
        list.setCurrentRow(0);
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(chosen(spy), QList<int>{1});
        // Two lines fit the height asked for them.
        QVERIFY(list.viewport()->rect().contains(list.visualItemRect(list.item(1))));
    }
};

QTEST_MAIN(FamilyListTest)
#include "FamilyList_test.moc"
