#include "net/VoxLog.h"

#include "core/ErrorReport.h"

#include <QFile>

namespace {
struct LogState {
    QString name;
    QFile file;
};

LogState &state()
{
    static LogState s;
    return s;
}
} // namespace

void voxLogSetFileName(const QString &fileName)
{
    LogState &s = state();
    if (s.file.isOpen())
        s.file.close();
    s.name = fileName;
    if (!fileName.isEmpty()) {
        s.file.setFileName(fileName);
        if (!s.file.open(QIODevice::WriteOnly | QIODevice::Append))
            s.name.clear();
    }
}

QString voxLogFileName()
{
    return state().name;
}

void voxLogMsg(const QString &text, voxLogKind kind)
{
    LogState &s = state();
    if (s.name.isEmpty() || !s.file.isOpen())
        return;
    QByteArray line;
    switch (kind) {
    case voxLogKind::Error:
        line = "Error: ";
        break;
    case voxLogKind::Warning:
        line = "Warning: ";
        break;
    case voxLogKind::Plain:
        break;
    }
    line += text.toLatin1();
    line += '\n';
    s.file.write(line);
    s.file.flush();
}

void voxLogClose()
{
    LogState &s = state();
    if (s.file.isOpen())
        s.file.close();
    s.name.clear();
}

void dumpTrace(const std::exception_ptr &error, const QString &message)
{
    voxLogMsg(QStringLiteral("Exception ") + exceptionText(error), voxLogKind::Error);
    if (!message.isEmpty())
        voxLogMsg(message);
}
