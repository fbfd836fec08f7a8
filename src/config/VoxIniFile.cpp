#include "config/VoxIniFile.h"

#include "config/RegistryIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <utility>

namespace {
QString &systemDirOverride()
{
    static QString dir;
    return dir;
}

QString withoutTrailingSeparator(QString dir)
{
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return dir;
}
} // namespace

QString setSystemConfigDir(const QString &dir)
{
    return std::exchange(systemDirOverride(), dir);
}

QString systemConfigDir()
{
    if (!systemDirOverride().isEmpty())
        return systemDirOverride();
#ifdef Q_OS_WIN
    return withoutTrailingSeparator(QString::fromLocal8Bit(qgetenv("WINDIR")));
#else
    return QStringLiteral("/etc");
#endif
}

QStringList voxIniCandidates(const QString &fileName)
{
    const QString name = fileName.isEmpty() ? QStringLiteral("vox.ini") : fileName;
    return {
        QStringLiteral("./") + name,
        withoutTrailingSeparator(QCoreApplication::applicationDirPath()) + QLatin1Char('/') + name,
        withoutTrailingSeparator(systemConfigDir()) + QLatin1Char('/') + name,
    };
}

std::unique_ptr<IniFile> voxIniFile(const QString &fileName)
{
    QString path;
    for (const QString &candidate : voxIniCandidates(fileName)) {
        if (QFileInfo(candidate).isFile()) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) {
        RegistryIni registry;
        registry.GetINILocation(path);
    }
    return std::make_unique<IniFile>(path);
}
