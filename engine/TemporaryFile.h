// A new file written in its final directory and given its real name only when
// whole, never replacing anything. A reader never sees a partial file under a
// real name.
//
// Where the file system allows, the file has no name at all until it is
// published (O_TMPFILE), so a killed process leaves nothing behind. Elsewhere
// it is written under a temporary name: ".quillmark-part-", 16 hexadecimal
// digits that stand for this boot and process namespace, "-", the decimal id
// of the process, "-" and 16 random hexadecimal digits. Only a name of exactly
// that form is a temporary, and one is stale only when it was made in this
// boot and namespace by a process that no longer lives: a process id means
// nothing outside them, and any other name may be the user's file.
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
    /// The temporary's own name, within its directory; empty while the file
    /// has none.
    const QByteArray& name() const { return m_name; }

    /// Flushes the data to disk, gives the file the name `name` in its
    /// directory unless that name exists, and flushes the directory. Returns 0,
    /// EEXIST when the name is taken (the temporary is then removed), or the
    /// errno of the failure.
    int publish(const QByteArray& name);

    /// Removes the stale temporaries of `directory`; returns how many went.
    static int removeStale(const QByteArray& directory);
    /// Whether `name` has exactly the form of a temporary.
    static bool isTemporaryName(const QByteArray& name);
    /// Whether `name` is a temporary of this boot and process namespace.
    static bool isOwnTemporaryName(const QByteArray& name);
    /// A temporary's name for process `pid` in this boot and namespace.
    static QByteArray temporaryName(pid_t pid);

    /// How the file is made: without a name where the file system allows,
    /// or always under a temporary name (what other file systems get).
    enum class Kind { Unnamed, Named };
    /// Lets tests take the path of file systems without unnamed files.
    static void setPreferredKind(Kind kind);

private:
    bool openUnnamed();
    void openNamed(mode_t mode);
    int link(const QByteArray& name);
    void discard();

    int m_directory = -1;
    int m_fd = -1;
    int m_error = 0;
    QByteArray m_name;
    bool m_published = false;
};

} // namespace quillmark
