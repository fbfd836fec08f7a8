#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

struct ThrowSite;

// An error meant for the operator. The message text is shown exactly as
// given, by the exception report at the application's top level.
class VoxError : public std::runtime_error
{
public:
    explicit VoxError(const QString &message);

    const QString &message() const noexcept { return m_message; }
    // The call stack where the error was created (see core/Stacktrace.h).
    const std::shared_ptr<const ThrowSite> &throwSite() const noexcept { return m_site; }

private:
    QString m_message;
    std::shared_ptr<const ThrowSite> m_site;
};

// The message of any exception, as the operator should see it.
QString exceptionMessage(const std::exception &e);
