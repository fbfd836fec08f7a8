#include "core/VoxError.h"

#include "core/Stacktrace.h"

VoxError::VoxError(const QString &message)
    : std::runtime_error(message.toLocal8Bit().toStdString())
    , m_message(message)
    , m_site(captureStack(1))
{
}

QString exceptionMessage(const std::exception &e)
{
    if (auto *vox = dynamic_cast<const VoxError *>(&e))
        return vox->message();
    return QString::fromLocal8Bit(e.what());
}
