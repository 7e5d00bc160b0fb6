// The window on small, scaled and large screens, and with the keyboard alone:
// every control inside the screen, the table growing with the window, each
// flat button's Alt letter working by its key in either layout, and a way
// back from every page.
#include "window/Tmainform.h"

#include "WindowFixture.h"
#include "engine/UiLanguage.h"

#include "window/ScoreChart.h"
#include "window/WindowPlacement.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QTreeView>

using namespace quillmark;
using namespace windowfixture;

namespace {

QRect inWindow(const QWidget* widget, const QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// Alt and a letter key, as the keyboard sends them: the key's code and the
// letter it types in the active layout.
void press(QWidget* widget, int key) {
    const QString text = QString(QChar(static_cast<char16_t>(key))).toLower();
    for (const QTest::KeyAction action : {QTest::Press, QTest::Release})
        QTest::sendKeyEvent(action, widget, static_cast<Qt::Key>(key), text, Qt::AltModifier);
}

// Gives the window a new size and lets its sheet follow at once.
void resizeNow(Tmainform& form, const QSize& size) {
    form.resize(size);
    form.layout()->activate();
}

} // namespace

class TmainformScreenTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString programDir() {
        const QString dir = m_dir.path() + QStringLiteral("/program/");
        QDir().mkpath(dir);
        return dir;
    }

private slots:
    void everyControlInsideSmallAndScaledScreens_data() {
        QTest::addColumn<QRect>("available");
        QTest::newRow("1024×600") << QRect(0, 0, 1024, 600);
        QTest::newRow("1366×768 at scale 1.5") << QRect(0, 0, 910, 512);
    }

    void everyControlInsideSmallAndScaledScreens() {
        QFETCH(QRect, available);
        const QMargins frame(4, 30, 4, 4);
        const WindowPlacement placement =
            WindowPlacement::fit(available, frame, QSize(681, 586), QPoint(204, 156));
        QVERIFY(available.contains(placement.frameRect(frame)));
        Tmainform form(programDir());
        QVERIFY(shown(form));
        resizeNow(form, placement.clientSize);
        QCOMPARE(form.size(), placement.clientSize);
        // The sheet fits: nothing scrolls out of reach.
        auto* scroll = form.findChild<QScrollArea*>(QStringLiteral("scroll"));
        QVERIFY(scroll != nullptr);
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());

        for (QWidget* page : {form.TabSheet1, form.TabSheet3, form.TabSheet4}) {
            form.Pages->setCurrentWidget(page);
            QList<QWidget*> shown = form.Panel1->findChildren<QWidget*>();
            shown += page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            for (QWidget* panel : {form.Panel3, form.Panel4})
                if (panel->parentWidget() == page)
                    shown += panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            for (QWidget* control : shown) {
                if (!control->isVisible() || control->objectName().isEmpty())
                    continue;
                QVERIFY2(form.rect().contains(inWindow(control, &form)),
                         qPrintable(control->objectName()));
            }
        }
        // The action buttons keep their full size and stand clear of the result line.
        for (QPushButton* button : {form.bSelect, form.bResults, form.bGo}) {
            QCOMPARE(button->height(), 40);
            QVERIFY(!button->geometry().intersects(form.sRes->geometry()));
            QVERIFY(!button->geometry().intersects(form.Status3->geometry()));
        }
        QVERIFY(form.sRes->height() >= 2 * form.sRes->fontMetrics().height());
        // A result line too long for two lines is drawn smaller, not cut.
        form.setResult(QStringLiteral("Прошло проверку (20%) - 19603; не перемещено - 19603: в "
                                      "каталог для прошедших нельзя записать (Файловая система "
                                      "доступна только для чтения); не прочитано - 12"));
        const QRect wrapped = form.sRes->fontMetrics().boundingRect(
            QRect(0, 0, form.sRes->width(), 10000), Qt::TextWordWrap, form.sRes->text());
        QVERIFY(wrapped.height() <= form.sRes->height());
        form.setCounter(ProgressRow::Loading, QStringLiteral("100000/100000"));
        QVERIFY(form.sStat1->fontMetrics().horizontalAdvance(form.sStat1->text()) <=
                form.sStat1->width());
        QVERIFY(!form.bBack->geometry().intersects(form.eLog->geometry()));
        QVERIFY(!form.gResults->geometry().intersects(form.eLog->geometry()));
    }

    void aLargerWindowGivesTheTableAndLogTheRoom() {
        Tmainform form(programDir());
        QVERIFY(shown(form));
        QVERIFY(form.maximumSize().width() > 681 && form.maximumSize().height() > 586);
        form.Pages->setCurrentWidget(form.TabSheet4);
        const int rowHeight = form.gResults->verticalHeader()->defaultSectionSize();
        const int designRows = form.gResults->viewport()->height() / rowHeight;
        const int designLog = form.eLog->height();
        resizeNow(form, QSize(1366, 740));
        QCOMPARE(form.Panel1->width(), 1366);
        // Four fifths of the 154 pixels added.
        QVERIFY(form.gResults->viewport()->height() / rowHeight >= designRows + 123 / rowHeight);
        QVERIFY(form.eLog->height() > designLog);
        QVERIFY(form.cScores->height() > form.eLog->height());
        QVERIFY(form.rect().contains(
            form.bGo->geometry().translated(form.Panel3->pos() + form.Pages->pos())));
    }

    void flatButtonLettersWorkInEitherLayout_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("clicks");
        // Russian captions, pressed with the Latin layout active: the key
        // under the letter.
        QTest::newRow("Выбрать by D") << "bSetSrcDir" << int(Qt::Key_D) << true;
        QTest::newRow("Новая выборка by Y") << "bSelect" << int(Qt::Key_Y) << true;
        QTest::newRow("Результат by H") << "bResults" << int(Qt::Key_H) << true;
        QTest::newRow("Сравнить by C") << "bGo" << int(Qt::Key_C) << true;
        // With the Russian layout the caption's own letter works, once.
        QTest::newRow("Сравнить by С") << "bGo" << int(u'С') << true;
        // A letter no caption marks clicks nothing.
        QTest::newRow("nothing on Q") << "bGo" << int(Qt::Key_Q) << false;
    }

    void flatButtonLettersWorkInEitherLayout() {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(bool, clicks);
        Tmainform form(programDir());
        QVERIFY(active(form));
        form.eShingleLen->setFocus();
        auto* pressed = form.findChild<QPushButton*>(button);
        QVERIFY(pressed != nullptr);
        // Only the press is under test: the button's work is not started.
        QObject::disconnect(pressed, &QPushButton::clicked, &form, nullptr);
        pressed->setEnabled(true);
        QSignalSpy spy(pressed, &QPushButton::clicked);
        press(QApplication::focusWidget(), key);
        // A caption's own letter clicks as Qt's buttons do, a moment later.
        if (clicks)
            QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 60000);
        else
            QCOMPARE(spy.count(), 0);
        // The flat buttons still take no focus.
        QCOMPARE(QApplication::focusWidget(), form.eShingleLen);
        // The same letter does nothing while its button's page is hidden.
        form.Pages->setCurrentWidget(form.TabSheet3);
        press(form.eFolderPath, key);
        QCOMPARE(spy.count(), clicks ? 1 : 0);
    }

    void englishWindowTakesItsLettersFromEitherLayout() {
        QVERIFY(installTranslation(UiLanguage::English));
        Tmainform form(programDir());
        QCOMPARE(form.bGo->text(), QStringLiteral("C&ompare"));
        QCOMPARE(QCoreApplication::translate("BatchEngine", "Начало работы.."),
                 QStringLiteral("Starting.."));
        QVERIFY(active(form));
        QObject::disconnect(form.bGo, &QPushButton::clicked, &form, nullptr);
        QSignalSpy spy(form.bGo, &QPushButton::clicked);
        // "O" lies under "Щ": pressed with the Russian layout active.
        press(form.eShingleLen, int(u'Щ'));
        QCOMPARE(spy.count(), 1);
        for (QTranslator* translator : qApp->findChildren<QTranslator*>())
            QCoreApplication::removeTranslator(translator);
    }

    void keyboardLeavesResultAndFolderPages() {
        Tmainform form(programDir());
        QVERIFY(active(form));
        const QString source = form.eDirSrc->text();
        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
        } backKeys[] = {{Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_Left, Qt::AltModifier}};
        for (const auto& back : backKeys) {
            form.Pages->setCurrentWidget(form.TabSheet4);
            form.gResults->setFocus();
            QTest::keyClick(form.gResults, static_cast<Qt::Key>(back.key), back.modifiers);
            QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        }
        // Tab leaves the table for the log instead of walking its cells.
        form.Pages->setCurrentWidget(form.TabSheet4);
        form.gResults->setFocus();
        QTest::keyClick(form.gResults, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != form.gResults);
        // Esc leaves the folder page as "Отмена" does; Enter in the path chooses it.
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet3);
        form.eFolderPath->setText(m_dir.path());
        QTest::keyClick(form.eFolderPath, Qt::Key_Escape);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        QCOMPARE(form.eDirSrc->text(), source);
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        form.eFolderPath->setText(m_dir.path());
        QTest::keyClick(form.eFolderPath, Qt::Key_Return);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        QCOMPARE(form.eDirSrc->text(), m_dir.path() + QStringLiteral("/"));
    }

    void choosingASourceKeepsATypedOutput() {
        Tmainform form(programDir());
        const QString first = m_dir.path() + QStringLiteral("/first");
        const QString second = m_dir.path() + QStringLiteral("/second");
        const QString typed = m_dir.path() + QStringLiteral("/accepted/");
        QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
        const auto choose = [&form](const QString& folder) {
            QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
            form.eFolderPath->setText(folder);
            QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        };
        // An output that followed the old source follows the new one.
        choose(first);
        QCOMPARE(form.eDirOut->text(), first + QStringLiteral("/Result/"));
        choose(second);
        QCOMPARE(form.eDirOut->text(), second + QStringLiteral("/Result/"));
        // One the user typed stays; an emptied one is filled.
        form.eDirOut->setText(typed);
        choose(first);
        QCOMPARE(form.eDirSrc->text(), first + QStringLiteral("/"));
        QCOMPARE(form.eDirOut->text(), typed);
        form.eDirOut->clear();
        choose(second);
        QCOMPARE(form.eDirOut->text(), second + QStringLiteral("/Result/"));
    }

    void folderMadeLaterShowsInTheTree() {
        Tmainform form(programDir());
        QVERIFY(shown(form));
        const QString parent = QDir(m_dir.path() + QStringLiteral("/parent")).absolutePath();
        QVERIFY(QDir().mkpath(parent + QStringLiteral("/old")));
        form.eDirSrc->setText(parent + QStringLiteral("/"));
        QStringList loaded;
        connect(form.DirModel, &QFileSystemModel::directoryLoaded, &form,
                [&](const QString& path) { loaded.append(QDir(path).canonicalPath()); });
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(loaded.contains(QDir(parent).canonicalPath()), 60000);
        const QModelIndex at = form.DirModel->index(parent);
        QCOMPARE(form.DirModel->rowCount(at), 1);
        QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);

        // Made while the program runs: the tree lists it when it is opened again.
        QVERIFY(QDir().mkpath(parent + QStringLiteral("/new")));
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(form.DirModel->index(parent + QStringLiteral("/new")).isValid(),
                                 60000);
        QCOMPARE(form.DirModel->rowCount(at), 2);
    }
};

QTEST_MAIN(TmainformScreenTest)
#include "TmainformScreen_test.moc"
