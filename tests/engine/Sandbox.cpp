#include "Sandbox.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <dirent.h>
#include <ctime>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::test {

namespace {

QByteArray filePath(const QString& directory, const QByteArray& name) {
    return QFile::encodeName(directory) + name;
}

} // namespace

Sandbox::~Sandbox() {
    // By raw names: QTemporaryDir cannot remove a name that is not UTF-8.
    const auto removeEntry = [](const char* path, const struct stat*, int, FTW*) {
        ::remove(path);
        return 0;
    };
    ::nftw(QFile::encodeName(m_dir.path()).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

Sandbox::Sandbox(const QString& base)
    : m_dir((base.isEmpty() ? QDir::tempPath() : base) + QStringLiteral("/quillmark-XXXXXX")) {
    EXPECT_TRUE(m_dir.isValid()) << "cannot create a temporary folder";
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0777);
}

QString Sandbox::makeDir(const QString& relative) const {
    const QString dir = path(relative);
    const QByteArray raw = QFile::encodeName(dir);
    EXPECT_EQ(::mkdir(raw.constData(), 0777), 0) << raw.constData();
    ::chmod(raw.constData(), 0777);
    return dir + u'/';
}

QString Sandbox::path(const QString& relative) const {
    return m_dir.path() + u'/' + relative;
}

void Sandbox::write(const QString& directory, const QByteArray& name, const QByteArray& bytes) {
    // Raw calls: names need not be valid UTF-8.
    const QByteArray path = filePath(directory, name);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    const ssize_t put = ::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // Written a minute ago, as the files a user points at are: a file changed
    // within the last seconds is one the reference cache reads again.
    timespec times[2] = {{0, UTIME_NOW}, {0, 0}};
    ::clock_gettime(CLOCK_REALTIME, &times[1]);
    times[1].tv_sec -= 60;
    ::futimens(fd, times);
    ::close(fd);
    ASSERT_EQ(put, bytes.size());
    m_records.push_back({name, bytes});
}

QByteArray Sandbox::read(const QString& directory, const QByteArray& name) {
    const int fd = ::open(filePath(directory, name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    ::close(fd);
    return bytes;
}

bool Sandbox::exists(const QString& directory, const QByteArray& name) {
    struct stat info {};
    return ::lstat(filePath(directory, name).constData(), &info) == 0;
}

QList<QByteArray> Sandbox::names(const QString& directory) {
    QList<QByteArray> out;
    DIR* dir = ::opendir(QFile::encodeName(directory).constData());
    if (dir == nullptr)
        return out;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            out << name;
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

::testing::AssertionResult Sandbox::nothingLost(const QStringList& directories) const {
    for (const Record& record : m_records) {
        bool found = false;
        for (const QString& dir : directories)
            found = found || (exists(dir, record.name) && read(dir, record.name) == record.bytes);
        if (!found)
            return ::testing::AssertionFailure() << "lost or changed: " << record.name.constData()
                                                 << " (" << record.bytes.size() << " bytes)";
    }
    return ::testing::AssertionSuccess();
}

bool runUnprivileged(const std::function<bool()>& body) {
    if (::geteuid() != 0)
        return body();
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QByteArray wordsText(unsigned seed, int words) {
    static const char* const vocabulary[] = {
        "alpha",  "bravo",  "charlie", "delta", "echo",    "foxtrot",  "golf",    "hotel",
        "india",  "juliet", "kilo",    "lima",  "mike",    "november", "oscar",   "papa",
        "quebec", "romeo",  "sierra",  "tango", "uniform", "victor",   "whiskey", "xray",
        "yankee", "zulu",   "one",     "two",   "three",   "four",     "five",    "six"};
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(vocabulary) - 1);
    QByteArray text;
    for (int i = 0; i < words; ++i) {
        text += vocabulary[pick(random)];
        text += (i % 12 == 11) ? "\n" : " ";
    }
    return text;
}

} // namespace quillmark::test
