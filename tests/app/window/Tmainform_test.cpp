// Drives the real window over temporary program and text directories. Modal
// boxes are answered from a polling timer, so no case waits for a person.
#include "Tmainform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

using namespace quillmark;

namespace {

// What a modal box showed while it was up.
struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString defaultButton;
    QString escapeButton;
};

// Answers every modal message box that comes up by pressing the button with
// the given caption (the default button when the caption is empty).
class ModalAnswerer {
public:
    explicit ModalAnswerer(QString buttonText, std::function<void()> whileShown = {})
        : m_buttonText(std::move(buttonText))
        , m_whileShown(std::move(whileShown)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    const QList<SeenBox>& seen() const { return m_seen; }

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        SeenBox seen;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        if (box->defaultButton() != nullptr)
            seen.defaultButton = box->defaultButton()->text();
        if (auto* escape = qobject_cast<QPushButton*>(box->escapeButton()))
            seen.escapeButton = escape->text();
        m_seen.append(seen);
        if (m_whileShown)
            m_whileShown();
        QAbstractButton* answer = box->defaultButton();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == m_buttonText)
                answer = button;
        }
        // A box without the expected button is still closed: a test fails, never hangs.
        if (answer == nullptr)
            box->reject();
        else
            answer->click();
    }

    QString m_buttonText;
    std::function<void()> m_whileShown;
    QTimer m_timer;
    QList<SeenBox> m_seen;
};

// The window with a hook at the point where the engine lets events through,
// which is where a person's stop press or close arrives during a run.
class ScriptedForm : public Tmainform {
public:
    using Tmainform::Tmainform;

    std::function<void()> onEvents;

    void processEvents() override {
        if (onEvents)
            onEvents();
        Tmainform::processEvents();
    }
};

// Receives the URLs the window hands to the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// A text whose words belong to it alone, so distinct seeds score 0 against
// each other and a copy scores 100.
QByteArray articleText(int seed) {
    QByteArray text;
    for (int line = 0; line < 8; ++line) {
        for (int word = 0; word < 10; ++word)
            text +=
                "w" + QByteArray::number(seed) + "x" + QByteArray::number(line * 10 + word) + ' ';
        text += "\r\n";
    }
    return text;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

QStringList entryNames(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                     QDir::Name);
}

QStringList logLines(const Tmainform& form) {
    return form.eLog->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Log lines are "<local time>-> <message>".
bool logHas(const Tmainform& form, const QString& message) {
    for (const QString& line : logLines(form)) {
        const qsizetype arrow = line.indexOf(QStringLiteral("-> "));
        if (arrow > 0 && line.mid(arrow + 3) == message)
            return true;
    }
    return false;
}

int logCount(const Tmainform& form, const QString& message) {
    int count = 0;
    for (const QString& line : logLines(form))
        count += line.endsWith(QStringLiteral("-> ") + message) ? 1 : 0;
    return count;
}

} // namespace

class TmainformTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_programDir;
    QString m_src;
    QString m_out;

    // A source directory of 3 distinct texts and a copy of the first, in the
    // standard layout (output = its subdirectory Result).
    void makeBatch() {
        QVERIFY(QDir().mkpath(m_src));
        writeFile(m_src + QStringLiteral("a.txt"), articleText(1));
        writeFile(m_src + QStringLiteral("b.txt"), articleText(2));
        writeFile(m_src + QStringLiteral("c.txt"), articleText(3));
        writeFile(m_src + QStringLiteral("d.txt"), articleText(1));
    }

    void pointAt(Tmainform& form, const QString& source, const QString& output) {
        form.eDirSrc->setText(source);
        form.eDirOut->setText(output);
    }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        const QString root = m_dir.path() + QLatin1Char('/') +
                             QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('/');
        m_programDir = root + QStringLiteral("program/");
        m_src = root + QStringLiteral("texts/");
        m_out = m_src + QStringLiteral("Result/");
        QVERIFY(QDir().mkpath(m_programDir));
    }

    // ---- Start-up, profile and the percentage label

    void startsWithDefaultsWithoutProfile() {
        Tmainform form(m_programDir);
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmark v.1.1"));
        QCOMPARE(form.size(), QSize(681, 506));
        QCOMPARE(form.eDirSrc->text(), m_programDir + QStringLiteral("Texts/"));
        QCOMPARE(form.eDirOut->text(), m_programDir + QStringLiteral("Texts/Result/"));
        QCOMPARE(form.eShingleLen->value(), 10);
        QCOMPARE(form.ePercent->value(), 20);
        QCOMPARE(form.sPercent->text(), QStringLiteral("20%"));
        QVERIFY(form.eLemma->isChecked());
        QVERIFY(!form.eCutHTML->isChecked());
        QVERIFY(form.eDelFiles->isChecked());
        QVERIFY(form.sStat1->text().isEmpty());
        QVERIFY(form.sStat2->text().isEmpty());
        QVERIFY(form.sStat3->text().isEmpty());
        QVERIFY(form.sRes->text().isEmpty());
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        QVERIFY(form.bGo->isEnabled());
        QVERIFY(!form.bSelect->isEnabled());
        QCOMPARE(form.bGo->text(), QStringLiteral("&Сравнить"));
    }

    void startsFromProfile() {
        writeFile(m_programDir + QStringLiteral("profile.ini"),
                  "[Config]\r\nDirSrc=/srv/in/\r\nDirOut=/srv/out/\r\nShingleLen=7\r\n"
                  "GoodPercent=150\r\nLemmatize=0\r\nCutHTML=1\r\nDelFiles=0\r\n");
        Tmainform form(m_programDir);
        QCOMPARE(form.eDirSrc->text(), QStringLiteral("/srv/in/"));
        QCOMPARE(form.eDirOut->text(), QStringLiteral("/srv/out/"));
        QCOMPARE(form.eShingleLen->value(), 7);
        QCOMPARE(form.ePercent->value(), 100);
        QCOMPARE(form.sPercent->text(), QStringLiteral("100%"));
        QVERIFY(!form.eLemma->isChecked());
        QVERIFY(form.eCutHTML->isChecked());
        QVERIFY(!form.eDelFiles->isChecked());
    }

    void writesProfileAtDestruction() {
        auto form = std::make_unique<Tmainform>(m_programDir);
        form->eDirSrc->setText(QStringLiteral("/data/texts/"));
        form->eDirOut->setText(QStringLiteral("/data/texts/Result/"));
        form->eShingleLen->setValue(5);
        form->ePercent->setValue(35);
        form->eLemma->setChecked(false);
        form->eCutHTML->setChecked(true);
        form->eDelFiles->setChecked(false);
        const QString path = m_programDir + QStringLiteral("profile.ini");
        QVERIFY(!QFile::exists(path));
        form.reset();

        QSettings profile(path, QSettings::IniFormat);
        profile.beginGroup(QStringLiteral("Config"));
        QCOMPARE(profile.value(QStringLiteral("DirSrc")).toString(),
                 QStringLiteral("/data/texts/"));
        QCOMPARE(profile.value(QStringLiteral("DirOut")).toString(),
                 QStringLiteral("/data/texts/Result/"));
        QCOMPARE(profile.value(QStringLiteral("ShingleLen")).toString(), QStringLiteral("5"));
        QCOMPARE(profile.value(QStringLiteral("GoodPercent")).toString(), QStringLiteral("35"));
        QCOMPARE(profile.value(QStringLiteral("Lemmatize")).toString(), QStringLiteral("0"));
        QCOMPARE(profile.value(QStringLiteral("CutHTML")).toString(), QStringLiteral("1"));
        QCOMPARE(profile.value(QStringLiteral("DelFiles")).toString(), QStringLiteral("0"));

        // The next start reads back what was written.
        Tmainform again(m_programDir);
        QCOMPARE(again.eShingleLen->value(), 5);
        QCOMPARE(again.sPercent->text(), QStringLiteral("35%"));
    }

    void reportsProfileThatCannotBeWritten() {
        // A directory in the profile's place cannot be written as a file.
        QVERIFY(QDir().mkpath(m_programDir + QStringLiteral("profile.ini")));
        auto form = std::make_unique<Tmainform>(m_programDir);
        ModalAnswerer answerer{QString()};
        form.reset();
        QCOMPARE(answerer.seen().size(), 1);
        const SeenBox& box = answerer.seen().first();
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.title, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QCOMPARE(box.text, QStringLiteral("Unable to write to ") + m_programDir +
                               QStringLiteral("profile.ini."));
    }

    void percentLabelFollowsSlider() {
        Tmainform form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.ePercent->setValue(35);
        QCOMPARE(form.sPercent->text(), QStringLiteral("35%"));
        form.ePercent->setFocus();
        QTest::keyClick(form.ePercent, Qt::Key_Right);
        QCOMPARE(form.sPercent->text(), QStringLiteral("36%"));
        QTest::keyClick(form.ePercent, Qt::Key_PageUp);
        QCOMPARE(form.sPercent->text(), QStringLiteral("38%"));
        QTest::keyClick(form.ePercent, Qt::Key_End);
        QCOMPARE(form.sPercent->text(), QStringLiteral("100%"));
        QTest::keyClick(form.ePercent, Qt::Key_Right);
        QCOMPARE(form.sPercent->text(), QStringLiteral("100%"));
    }

    void homePageOpensReadme() {
        const QString top = m_programDir + QStringLiteral("../");
        writeFile(top + QStringLiteral("README.md"), "# readme\n");
        Tmainform form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        QTest::mouseClick(form.sHomePage, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.urls.size(), 1);
        QCOMPARE(QFileInfo(recorder.urls.first().toLocalFile()).canonicalFilePath(),
                 QFileInfo(top + QStringLiteral("README.md")).canonicalFilePath());

        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(form.sHomePage, &enter);
        QCOMPARE(form.sHomePage->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(form.sHomePage, &leave);
        QCOMPARE(form.sHomePage->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    }

    // ---- The folder page

    void folderChoiceSetsBothPaths() {
        QVERIFY(QDir().mkpath(m_src));
        Tmainform form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.DirModel->filePath(form.DirTree->currentIndex()), QDir::homePath());
        QVERIFY(form.DirTree->isExpanded(form.DirTree->currentIndex()));

        form.eShingleLen->setFocus();
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet3);
        const QString chosen = QDir(m_src).absolutePath();
        form.DirTree->setCurrentIndex(form.DirModel->index(chosen));
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        QCOMPARE(form.eDirSrc->text(), chosen + QStringLiteral("/"));
        QCOMPARE(form.eDirOut->text(), chosen + QStringLiteral("/Result/"));
        // The flat buttons leave the keyboard focus where it was.
        QCOMPARE(QApplication::focusWidget(), form.eShingleLen);

        // Hidden folders are offered too.
        const QString hidden = chosen + QStringLiteral("/.drafts");
        QVERIFY(QDir().mkpath(hidden));
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        form.DirTree->setCurrentIndex(form.DirModel->index(hidden));
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QCOMPARE(form.eDirSrc->text(), hidden + QStringLiteral("/"));
        QCOMPARE(form.eDirOut->text(), hidden + QStringLiteral("/Result/"));

        // "Отмена" changes nothing.
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        form.DirTree->setCurrentIndex(form.DirModel->index(QDir::homePath()));
        QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        QCOMPARE(form.eDirSrc->text(), hidden + QStringLiteral("/"));
        QCOMPARE(form.eDirOut->text(), hidden + QStringLiteral("/Result/"));
    }

    void rootFolderByRightClick() {
        Tmainform form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.bSetSrcDir, Qt::LeftButton);
        form.DirTree->scrollToTop();
        const QModelIndex root = form.DirModel->index(QStringLiteral("/"));
        const QRect rect = form.DirTree->visualRect(root);
        QVERIFY(rect.isValid());
        const QPoint at = form.DirTree->viewport()->mapTo(&form, rect.center());
        QTest::mouseClick(form.windowHandle(), Qt::RightButton, {}, at);
        QCOMPARE(form.DirTree->currentIndex(), root);
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QCOMPARE(form.eDirSrc->text(), QStringLiteral("//"));
        QCOMPARE(form.eDirOut->text(), QStringLiteral("//Result/"));
    }

    void noFolderSelectedGivesRoot() {
        Tmainform form(m_programDir);
        form.DirTree->clearSelection();
        form.DirTree->setCurrentIndex(QModelIndex());
        form.SpeedButton1Click();
        QCOMPARE(form.eDirSrc->text(), QStringLiteral("/"));
        QCOMPARE(form.eDirOut->text(), QStringLiteral("/Result/"));
    }

    // ---- The batch run

    void runOverDirectory() {
        makeBatch();
        ScriptedForm form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        pointAt(form, m_src, m_out);
        QStringList loadingCounters;
        QStringList comparisonResults;
        form.onEvents = [&] {
            QCOMPARE(form.bGo->text(), QStringLiteral("&Остановить"));
            QVERIFY(!form.bSelect->isEnabled());
            if (form.sStat2->text().isEmpty())
                loadingCounters.append(form.sStat1->text());
            else if (form.sStat3->text().isEmpty())
                comparisonResults.append(form.sRes->text());
        };
        QTest::mouseClick(form.bGo, Qt::LeftButton);
        form.onEvents = nullptr;

        QCOMPARE(loadingCounters, (QStringList{QStringLiteral("1/4"), QStringLiteral("2/4"),
                                               QStringLiteral("3/4"), QStringLiteral("4/4")}));
        // Listed by name: a, b, c pass; d, a copy of a, leaves the line as it was.
        QCOMPARE(comparisonResults,
                 (QStringList{QString(), QStringLiteral("Прошло проверку (20%) - 2"),
                              QStringLiteral("Прошло проверку (20%) - 3"),
                              QStringLiteral("Прошло проверку (20%) - 3")}));

        // 4 files and the subdirectory Result: the loading total is 4.
        QCOMPARE(form.sStat1->text(), QStringLiteral("4/4"));
        QCOMPARE(form.sStat2->text(), QStringLiteral("4/4"));
        QCOMPARE(form.Status1->value(), 0);
        QCOMPARE(form.Status2->value(), 0);
        QCOMPARE(form.bGo->text(), QStringLiteral("&Сравнить"));
        QVERIFY(form.bSelect->isEnabled());
        QVERIFY(!form.sRes->text().isEmpty());
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);
        QVERIFY(logHas(form, QStringLiteral("Начало работы..")));
        QVERIFY(logHas(form, QStringLiteral("Загружено файлов: 4")));
        // The copy fails against its original; the three distinct texts pass.
        QVERIFY(logHas(
            form, QStringLiteral("Сравнение выполнено, успешно прошло порог в 20% - 3 файлов")));
        QCOMPARE(form.engine().passedCount(), 3);
        // Moving is on: the three passed texts are in Result, the copy stayed.
        QCOMPARE(entryNames(m_out).size(), 3);
        QCOMPARE(entryNames(m_src).size(), 2);

        // A second run clears the log and rebuilds from the first file on.
        const int linesBefore = logLines(form).size();
        QTest::mouseClick(form.bGo, Qt::LeftButton);
        QCOMPARE(logCount(form, QStringLiteral("Начало работы..")), 1);
        QVERIFY(logLines(form).size() <= linesBefore);
        QCOMPARE(form.sStat1->text(), QStringLiteral("1/1"));
    }

    void readsSettingsFromControls() {
        makeBatch();
        Tmainform form(m_programDir);
        pointAt(form, m_src, m_out);
        form.eDelFiles->setChecked(false);
        form.ePercent->setValue(100);
        form.bGo->click();
        // Every document passes at 100%; copying leaves the sources in place.
        QVERIFY(logHas(
            form, QStringLiteral("Сравнение выполнено, успешно прошло порог в 100% - 4 файлов")));
        QCOMPARE(entryNames(m_src).size(), 5);
        QCOMPARE(entryNames(m_out).size(), 4);
    }

    void stopDuringComparison() {
        QVERIFY(QDir().mkpath(m_src));
        // Named so the run meets them in this order: three distinct texts,
        // two copies of the first, four more distinct texts.
        const QList<int> seeds{1, 2, 3, 1, 1, 4, 5, 6, 7};
        for (int i = 0; i < seeds.size(); ++i)
            writeFile(m_src + QStringLiteral("%1.txt").arg(i + 1, 2, 10, QLatin1Char('0')),
                      articleText(seeds[i]));
        ScriptedForm form(m_programDir);
        pointAt(form, m_src, m_out);
        int presses = 0;
        form.onEvents = [&] {
            if (form.sStat2->text() != QStringLiteral("5/9") || presses > 0)
                return;
            form.bGo->click();
            QCOMPARE(form.engine().state(), RunState::Stopping);
            QCOMPARE(form.bGo->text(), QStringLiteral("&Остановить"));
            // A second press while stopping starts nothing.
            form.bGo->click();
            presses = 2;
        };
        form.bGo->click();

        QCOMPARE(presses, 2);
        QCOMPARE(form.engine().documents().names.at(4), QByteArray("05.txt"));
        QCOMPARE(form.sRes->text(), QStringLiteral("Остановлено. Прошло проверку - 3 из 5"));
        QCOMPARE(form.sStat2->text(), QStringLiteral("5/9"));
        QCOMPARE(logCount(form, QStringLiteral("Начало работы..")), 1);
        QCOMPARE(form.bGo->text(), QStringLiteral("&Сравнить"));
        QCOMPARE(form.engine().state(), RunState::Idle);
        QVERIFY(form.bSelect->isEnabled());
        // A stopped run saves nothing.
        QVERIFY(entryNames(m_out).isEmpty());
        QCOMPARE(entryNames(m_src).size(), 10);
    }

    void stopDuringLoadingLeavesResultEmpty() {
        makeBatch();
        Tmainform form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        pointAt(form, m_src, m_out);
        // A press queued now is seen where the run first lets events through:
        // the first file of the loading stage.
        QTimer::singleShot(0, form.bGo, [&form] { QTest::mouseClick(form.bGo, Qt::LeftButton); });
        QTest::mouseClick(form.bGo, Qt::LeftButton);
        QCOMPARE(form.sStat1->text(), QStringLiteral("1/4"));
        QVERIFY(logHas(form, QStringLiteral("Загружено файлов: 1")));
        QVERIFY(form.sRes->text().isEmpty());
        QVERIFY(form.sStat2->text().isEmpty());
        QVERIFY(entryNames(m_out).isEmpty());
        QCOMPARE(form.bGo->text(), QStringLiteral("&Сравнить"));
    }

    void fileGoneDuringLoadingShowsErrorBox() {
        makeBatch();
        ScriptedForm form(m_programDir);
        pointAt(form, m_src, m_out);
        const QString gone = m_src + QStringLiteral("c.txt");
        form.onEvents = [&] {
            if (form.sStat1->text() == QStringLiteral("1/4"))
                QFile::remove(gone);
        };
        ModalAnswerer answerer{QString()};
        form.bGo->click();

        QCOMPARE(answerer.seen().size(), 1);
        const SeenBox& box = answerer.seen().first();
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.title, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QVERIFY2(box.text.startsWith(QStringLiteral("Cannot open file \"") + gone +
                                     QStringLiteral("\". ")),
                 qPrintable(box.text));
        QVERIFY(box.text.endsWith(QLatin1Char('.')));
        // The run ends like one ended early.
        QCOMPARE(form.bGo->text(), QStringLiteral("&Сравнить"));
        QVERIFY(!form.bSelect->isEnabled());
        QCOMPARE(logCount(form, QStringLiteral("Загружено файлов: 2")), 0);
        QCOMPARE(form.sStat1->text(), QStringLiteral("3/4"));
    }

    void closeDuringRunWaitsForItsEnd() {
        makeBatch();
        ScriptedForm form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        pointAt(form, m_src, m_out);
        bool stillOpen = false;
        form.onEvents = [&] {
            if (form.sStat1->text() != QStringLiteral("1/4"))
                return;
            form.close();
            stillOpen = form.isVisible();
        };
        form.bGo->click();
        QVERIFY(stillOpen);
        QCOMPARE(form.sStat2->text(), QStringLiteral("4/4"));
        QVERIFY(!form.isVisible());
    }

    void directoryFailuresShowResultPage() {
        Tmainform form(m_programDir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        pointAt(form, m_src + QStringLiteral("missing/"), m_out);
        QTest::mouseClick(form.bGo, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet4);
        QVERIFY(logHas(
            form, QStringLiteral(
                      "Неверный путь к каталогу с исходными текстами, проверьте и исправьте.")));
        QCOMPARE(form.bGo->text(), QStringLiteral("&Сравнить"));
        QVERIFY(!form.bSelect->isEnabled());
        QTest::mouseClick(form.bBack, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet1);

        makeBatch();
        const QString unreachable = m_src + QStringLiteral("no/such/Result/");
        pointAt(form, m_src, unreachable);
        QTest::mouseClick(form.bGo, Qt::LeftButton);
        QCOMPARE(form.Pages->currentWidget(), form.TabSheet4);
        QCOMPARE(logLines(form).size(), 1);
        QVERIFY(logHas(form, QStringLiteral("Не удалось создать каталог ") + unreachable));
        QVERIFY(!form.bSelect->isEnabled());
    }

    // ---- New selection

    void newSelectionStricterAsksAndMovesBackOnYes() {
        makeBatch();
        Tmainform form(m_programDir);
        pointAt(form, m_src, m_out);
        form.bGo->click();
        QCOMPARE(form.engine().lastSavedPercent(), 20);
        // An entry of the output directory that no selection put there.
        QVERIFY(QDir().mkpath(m_out + QStringLiteral("own")));

        form.ePercent->setValue(15);
        bool goEnabled = true;
        bool selectEnabled = true;
        ModalAnswerer answerer(QStringLiteral("&Yes"), [&] {
            goEnabled = form.bGo->isEnabled();
            selectEnabled = form.bSelect->isEnabled();
        });
        form.bSelect->click();

        QCOMPARE(answerer.seen().size(), 1);
        const SeenBox& box = answerer.seen().first();
        QCOMPARE(box.title, QStringLiteral("Confirm"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.defaultButton, QStringLiteral("&Yes"));
        QCOMPARE(box.escapeButton, QStringLiteral("&No"));
        QVERIFY(box.text.endsWith(QStringLiteral(
            "(15%). Хотите переместить те тексты обратно прежде, чем делать новую выборку?")));
        QVERIFY(!goEnabled);
        QVERIFY(!selectEnabled);
        QVERIFY(form.bGo->isEnabled());
        QVERIFY(form.bSelect->isEnabled());
        QVERIFY(QFileInfo(m_src + QStringLiteral("own")).isDir());
        QCOMPARE(form.engine().lastSavedPercent(), 15);
    }

    void newSelectionStricterKeepsOutputOnNo() {
        makeBatch();
        Tmainform form(m_programDir);
        pointAt(form, m_src, m_out);
        form.bGo->click();
        QVERIFY(QDir().mkpath(m_out + QStringLiteral("own")));

        form.ePercent->setValue(15);
        ModalAnswerer answerer(QStringLiteral("&No"));
        form.bSelect->click();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(QFileInfo(m_out + QStringLiteral("own")).isDir());
        QVERIFY(!QFileInfo::exists(m_src + QStringLiteral("own")));
        QVERIFY(form.bGo->isEnabled());
        QVERIFY(form.bSelect->isEnabled());
    }

    void newSelectionNotStricterAsksNothing() {
        makeBatch();
        Tmainform form(m_programDir);
        pointAt(form, m_src, m_out);
        form.bGo->click();
        QVERIFY(QDir().mkpath(m_out + QStringLiteral("own")));

        form.ePercent->setValue(20);
        ModalAnswerer answerer(QStringLiteral("&No"));
        form.bSelect->click();
        form.ePercent->setValue(60);
        form.bSelect->click();
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(QFileInfo(m_out + QStringLiteral("own")).isDir());
        QVERIFY(form.bSelect->isEnabled());
    }
};

QTEST_MAIN(TmainformTest)
#include "Tmainform_test.moc"
