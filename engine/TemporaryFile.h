// A new file written under a temporary name in its final directory and given
// its real name only when whole, never replacing anything. A reader never sees
// a partial file under a real name; a killed process leaves at most a
// temporary, which the next run removes.
//
// Temporaries are recognised by their name: ".quillmark-part-", the decimal id
// of the process that made them, "-" and 16 random hexadecimal digits. One is
// stale when no process of that id lives any more.
#pragma once

#include <QByteArray>
#include <sys/types.h>

namespace quillmark {

class TemporaryFile {
public:
    static constexpr char NamePrefix[] = ".quillmark-part-";

    /// Creates the temporary in `directory` (a path, with or without the
    /// final "/"; empty is the working directory) with `mode` (the umask
    /// applies). error() tells whether it worked.
    TemporaryFile(const QByteArray& directory, mode_t mode);
    /// Removes the temporary unless it was published.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// 0, or the errno of the creation.
    int error() const { return m_error; }
    int fd() const { return m_fd; }
    /// The temporary's own name, within its directory.
    const QByteArray& name() const { return m_name; }

    /// Flushes the data to disk, gives the file the name `name` in its
    /// directory unless that name exists, and flushes the directory. Returns 0,
    /// EEXIST when the name is taken (the temporary is then removed), or the
    /// errno of the failure.
    int publish(const QByteArray& name);

    /// Removes the stale temporaries of `directory`; returns how many went.
    static int removeStale(const QByteArray& directory);
    /// Whether `name` has the form of a temporary.
    static bool isTemporaryName(const QByteArray& name);

private:
    void discard();

    int m_directory = -1;
    int m_fd = -1;
    int m_error = 0;
    QByteArray m_name;
    bool m_published = false;
};

} // namespace quillmark
