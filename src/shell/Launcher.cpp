#include "shell/Launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
bool isRunnable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}
} // namespace

QString Launcher::findProgram(const QString &program)
{
    if (program.isEmpty())
        return {};
    const QString inCurrent = QDir::current().absoluteFilePath(program);
    if (isRunnable(inCurrent))
        return inCurrent;
    const QString inProgramDir = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(program);
    if (isRunnable(inProgramDir))
        return inProgramDir;
    return QStandardPaths::findExecutable(program);
}

bool Launcher::start(const QString &program)
{
    const QString path = findProgram(program);
    if (path.isEmpty())
        return false;
    QProcess process;
    process.setProgram(path);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}
