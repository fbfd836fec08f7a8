#pragma once

#include <QString>
#include <stdexcept>

// An error meant for the operator. The message text is shown exactly as
// given, by the exception report at the application's top level.
class VoxError : public std::runtime_error
{
public:
    explicit VoxError(const QString &message);

    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// The message of any exception, as the operator should see it.
QString exceptionMessage(const std::exception &e);
