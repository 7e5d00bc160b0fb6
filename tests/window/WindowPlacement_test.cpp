// Where the window opens on screens of every size: wholly inside the free
// area, at the drawn size and place where they fit.
#include "window/WindowPlacement.h"

#include <QTest>

using namespace quillmark;

class WindowPlacementTest : public QObject {
    Q_OBJECT

private slots:
    void fitsTheFreeArea_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expectedFrame");
        const QMargins frame(4, 30, 4, 4);
        // The drawn window is 681×546 inside its frame, 689×580 with it.
        QTest::newRow("roomy screen: the drawn place")
            << QRect(0, 0, 1366, 768) << QRect(204, 156, 689, 580);
        QTest::newRow("1024×600: moved up to fit")
            << QRect(0, 0, 1024, 600) << QRect(204, 20, 689, 580);
        QTest::newRow("1366×768 at scale 1.5: lower than drawn")
            << QRect(0, 0, 910, 512) << QRect(204, 0, 689, 512);
        QTest::newRow("a panel at the top and one at the left")
            << QRect(48, 32, 976, 600) << QRect(204, 52, 689, 580);
        QTest::newRow("narrower and lower than drawn")
            << QRect(0, 0, 640, 400) << QRect(0, 0, 640, 400);
        QTest::newRow("a second screen to the right")
            << QRect(1366, 0, 1024, 600) << QRect(1366, 20, 689, 580);
    }

    void fitsTheFreeArea() {
        QFETCH(QRect, available);
        QFETCH(QRect, expectedFrame);
        const QMargins frame(4, 30, 4, 4);
        const WindowPlacement placement =
            WindowPlacement::fit(available, frame, QSize(681, 546), QPoint(204, 156));
        QCOMPARE(placement.frameRect(frame), expectedFrame);
        QVERIFY(available.contains(placement.frameRect(frame)));
        QCOMPARE(placement.clientSize, expectedFrame.size().shrunkBy(frame));
    }
};

QTEST_MAIN(WindowPlacementTest)
#include "WindowPlacement_test.moc"
