#include "window/TerminationWatch.h"

#include <QCloseEvent>
#include <QTest>
#include <QWidget>

#include <csignal>

using quillmark::TerminationWatch;

namespace {

/// Counts the close requests it gets.
class Window : public QWidget {
public:
    int closeRequests = 0;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closeRequests;
        event->accept();
    }
};

bool defaultHandler(int signal) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

} // namespace

class TerminationWatchTest : public QObject {
    Q_OBJECT

private slots:
    void signalClosesTheWindow_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void signalClosesTheWindow() {
        QFETCH(int, signal);
        Window window;
        window.show();
        {
            const TerminationWatch watch(&window);
            QVERIFY(!defaultHandler(signal));
            ::raise(signal);
            ::raise(signal);
            QTRY_VERIFY(window.isHidden());
            QTest::qWait(20);
            QCOMPARE(window.closeRequests, 1);
        }
        QVERIFY(defaultHandler(SIGTERM));
        QVERIFY(defaultHandler(SIGINT));
    }
};

QTEST_MAIN(TerminationWatchTest)
#include "TerminationWatch_test.moc"
