#include "CliProcess.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::test {

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string(what) + " failed: " + std::strerror(errno));
}

} // namespace

CliProcess::CliProcess(const std::vector<std::string>& arguments, ErrorStream errorStream,
                       OutputStream outputStream) {
    std::array<int, 2> outPipe{};
    if (pipe2(outPipe.data(), O_CLOEXEC) != 0)
        fail("pipe2");
    if (outputStream == OutputStream::ClosedPipe) {
        // No reader is left before the program starts.
        close(outPipe[0]);
        outPipe[0] = -1;
    }
    std::array<int, 2> errEnds{};
    if (errorStream == ErrorStream::Pipe) {
        if (pipe2(errEnds.data(), O_CLOEXEC) != 0)
            fail("pipe2");
    } else {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            fail("posix_openpt");
        const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0)
            fail("open pty");
        errEnds = {master, slave};
    }

    std::vector<std::string> argv{QUILLMARK_CLI};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // Runs speak Russian, as the messages the tests expect, unless a test picks.
    if (std::none_of(arguments.begin(), arguments.end(),
                     [](const std::string& argument) { return argument.starts_with("--lang"); }))
        // Last: "index" must stay the first argument.
        argv.push_back("--lang=ru");
    std::vector<char*> pointers;
    for (std::string& argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    m_pid = fork();
    if (m_pid < 0)
        fail("fork");
    if (m_pid == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errEnds[1], STDERR_FILENO);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errEnds[1]);
    m_outFd = outPipe[0];
    m_errFd = errEnds[0];
}

CliProcess::~CliProcess() {
    if (m_status < 0) {
        kill(m_pid, SIGKILL);
        finish();
    }
}

bool CliProcess::readSome() {
    std::array<pollfd, 2> fds{{{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}}};
    if (m_outFd < 0 && m_errFd < 0)
        return false;
    if (poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR)
            return true;
        fail("poll");
    }
    std::array<char, 65536> buffer{};
    const std::array<std::pair<int*, QByteArray*>, 2> streams{
        {{&m_outFd, &m_out}, {&m_errFd, &m_err}}};
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (*streams[i].first < 0 || fds[i].revents == 0)
            continue;
        const ssize_t got = read(*streams[i].first, buffer.data(), buffer.size());
        if (got > 0) {
            streams[i].second->append(buffer.data(), got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // End of the stream; a terminal whose other side closed reports EIO.
        close(*streams[i].first);
        *streams[i].first = -1;
    }
    return true;
}

bool CliProcess::waitForError(const QByteArray& text) {
    while (!m_err.contains(text)) {
        if (!readSome())
            return false;
    }
    return true;
}

void CliProcess::sendSignal(int signal) {
    kill(m_pid, signal);
}

int CliProcess::finish() {
    if (m_status >= 0)
        return m_status;
    while (readSome()) {
    }
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0) {
        if (errno != EINTR)
            fail("waitpid");
    }
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return m_status;
}

int CliProcess::run(const std::vector<std::string>& arguments, QByteArray* out, QByteArray* err,
                    ErrorStream errorStream) {
    CliProcess process(arguments, errorStream);
    const int status = process.finish();
    if (out)
        *out = process.out();
    if (err)
        *err = process.err();
    return status;
}

} // namespace quillmark::test
