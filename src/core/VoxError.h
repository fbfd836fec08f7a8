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

// Abandons the operation in progress without a message, as when the
// operator answers No to a confirmation.
class VoxAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// The message of any exception, as the operator should see it.
QString exceptionMessage(const std::exception &e);
