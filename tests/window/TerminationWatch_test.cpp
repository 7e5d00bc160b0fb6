#include "window/TerminationWatch.h"

#include <QCloseEvent>
#include <QTest>
#include <QWidget>

#include <csignal>

namespace {

/// Counts the close requests it gets.
struct Window : QWidget {
    int closeRequests = 0;
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
    // Two signals before the loop runs close the window once; the handlers
    // are the default ones again when the watch ends.
    void signalClosesTheWindowOnce() {
        for (const int signal : {SIGTERM, SIGINT}) {
            Window window;
            window.show();
            {
                const quillmark::TerminationWatch watch(&window);
                ::raise(signal);
                ::raise(signal);
                QTRY_VERIFY(window.isHidden());
                // Both bytes were written before the loop ran: a watch that
                // left one unread is woken again by this pass.
                QCoreApplication::processEvents();
                QCOMPARE(window.closeRequests, 1);
            }
            QVERIFY(defaultHandler(SIGTERM) && defaultHandler(SIGINT));
        }
    }
};

QTEST_MAIN(TerminationWatchTest)
#include "TerminationWatch_test.moc"
