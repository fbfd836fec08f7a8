#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <sys/resource.h>

// A full disk without mounting one: while the guard lives, no file of this
// process grows beyond the given size. A write that would pass it writes
// what still fits and then fails with "File too large" (EFBIG), as a write
// to a full disk fails with ENOSPC, instead of raising SIGXFSZ. The limit
// binds root as well. Files the test itself writes meanwhile meet it too.
class DiskFullGuard
{
public:
    explicit DiskFullGuard(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        if (m_ok) {
            rlimit limit = m_previous;
            limit.rlim_cur = bytes;
            m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        }
    }
    ~DiskFullGuard() { lift(); }

    DiskFullGuard(const DiskFullGuard &) = delete;
    DiskFullGuard &operator=(const DiskFullGuard &) = delete;

    bool isActive() const { return m_ok; }

    // The disk has room again.
    void lift()
    {
        if (m_ok)
            ::setrlimit(RLIMIT_FSIZE, &m_previous);
        m_ok = false;
        if (m_previousHandler != SIG_ERR) {
            std::signal(SIGXFSZ, m_previousHandler);
            m_previousHandler = SIG_ERR;
        }
    }

private:
    rlimit m_previous{};
    bool m_ok = false;
    void (*m_previousHandler)(int) = SIG_ERR;
};

namespace DiskFaults {

// A folder nothing can be written in, whoever runs the test (root ignores
// permissions): its parent is a regular file in base.
inline QString unwritableFolder(const QString &base)
{
    const QString blocker = QDir(base).filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    if (file.open(QIODevice::WriteOnly))
        file.write("a file where a folder should be\n");
    return blocker + QStringLiteral("/folder");
}

// Makes the name in folder unusable as a file, also for root: a folder of
// that name takes its place.
inline bool occupyWithFolder(const QString &folder, const QString &name)
{
    return QDir(folder).mkpath(name);
}

} // namespace DiskFaults
