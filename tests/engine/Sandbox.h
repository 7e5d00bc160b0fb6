// Real directories in a temporary folder, with a ledger of every file the test
// wrote, so that a test can check afterwards that no text was lost, changed or
// replaced.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace quillmark::test {

class Sandbox {
public:
    /// A fresh folder under `base` (the system's temporary folder by default),
    /// open to every user so that an unprivileged child can work in it.
    explicit Sandbox(const QString& base = {});
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    /// Creates the directory `relative` (one level) and returns its path
    /// ending with "/".
    QString makeDir(const QString& relative) const;
    /// The path of `relative`, without creating anything.
    QString path(const QString& relative) const;

    /// Writes a new file and records it in the ledger.
    void write(const QString& directory, const QByteArray& name, const QByteArray& bytes);
    static QByteArray read(const QString& directory, const QByteArray& name);
    static bool exists(const QString& directory, const QByteArray& name);
    /// Entry names of a directory, sorted by bytes.
    static QList<QByteArray> names(const QString& directory);

    /// Every file of the ledger is, under its own name and with its bytes
    /// unchanged, in at least one of `directories`.
    ::testing::AssertionResult nothingLost(const QStringList& directories) const;

private:
    struct Record {
        QByteArray name;
        QByteArray bytes;
    };
    QTemporaryDir m_dir;
    std::vector<Record> m_records;
};

/// Runs `body` in a child process as the unprivileged user "nobody" when this
/// process is root (file permissions do not bind root), else in this process.
/// Returns whether `body` returned true.
bool runUnprivileged(const std::function<bool()>& body);

/// A text of `words` words drawn from a fixed vocabulary by `seed`.
QByteArray wordsText(unsigned seed, int words);

} // namespace quillmark::test
