// Runs the built quillmark-cli as a user would and collects what it prints.
#pragma once

#include <QByteArray>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillmark::test {

/// What the program's standard error is connected to.
enum class ErrorStream { Pipe, Terminal };

/// What the program's standard output is connected to: a pipe that is read,
/// or one whose reading end was closed before the program started, so that
/// every write to it fails.
enum class OutputStream { Pipe, ClosedPipe };

class CliProcess {
public:
    /// Starts the program with `arguments` (the program name is added).
    explicit CliProcess(const std::vector<std::string>& arguments,
                        ErrorStream errorStream = ErrorStream::Pipe,
                        OutputStream outputStream = OutputStream::Pipe);
    ~CliProcess();

    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    /// Reads until standard error holds `text` or both streams are closed;
    /// returns whether it came.
    bool waitForError(const QByteArray& text);
    void sendSignal(int signal);
    /// Reads everything to the end and returns the exit status; a death by a
    /// signal gives 1000 + the signal.
    int finish();

    const QByteArray& out() const { return m_out; }
    const QByteArray& err() const { return m_err; }

    /// Starts, finishes and returns the exit status in one go.
    static int run(const std::vector<std::string>& arguments, QByteArray* out = nullptr,
                   QByteArray* err = nullptr, ErrorStream errorStream = ErrorStream::Pipe);

private:
    /// Reads what is there, waiting until something comes; false at the end.
    bool readSome();

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    QByteArray m_out;
    QByteArray m_err;
    int m_status = -1;
};

} // namespace quillmark::test
