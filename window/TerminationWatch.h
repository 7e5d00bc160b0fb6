// Turns SIGTERM and SIGINT into an orderly close of the window, so that the
// end of a desktop session or a Ctrl+C in the terminal still writes the
// settings as closing the window does.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace quillmark {

class TerminationWatch : public QObject {
    Q_OBJECT

public:
    /// Watches for the signals while it lives; one watch at a time.
    explicit TerminationWatch(QWidget* window, QObject* parent = nullptr);
    ~TerminationWatch() override;

    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

private:
    void closeWindow();

    QPointer<QWidget> m_window;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quillmark
