#include "net/ExceptionReport.h"

#include "core/ErrorReport.h"
#include "core/Stacktrace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <mutex>
#include <unistd.h>

namespace {

const QString Unknown = QStringLiteral("UNKNOWN");

std::mutex &configMutex()
{
    static std::mutex m;
    return m;
}

ExceptionReportConfig &config()
{
    static ExceptionReportConfig c;
    return c;
}

// Serialises reports: one entry is written at a time.
std::mutex &reportMutex()
{
    static std::mutex m;
    return m;
}

QString &logPathOverride()
{
    static QString path;
    return path;
}

bool folderWritable(const QString &folder)
{
    return !folder.isEmpty()
        && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString ExceptionReport::addressText() const
{
    return QStringLiteral("%1").arg(address, int(sizeof(void *) * 2), 16, QLatin1Char('0')).toUpper();
}

QString ExceptionReport::mainText() const
{
    QString text = QString::asprintf("Exception '%s' in module %s at %s",
                                     className.toLocal8Bit().constData(),
                                     moduleName.toLocal8Bit().constData(),
                                     addressText().toLatin1().constData());
    text += QLatin1Char('\n') + message + QStringLiteral("\n\n");
    text += QString::asprintf("Source file: %s, Line %s",
                              (sourceFile.isEmpty() ? Unknown : sourceFile).toLocal8Bit().constData(),
                              (line > 0 ? QString::number(line) : Unknown).toLatin1().constData());
    return text;
}

QString ExceptionReport::logEntry(const QDateTime &when) const
{
    QString out = QStringLiteral("==================== %1 ====================\n")
                      .arg(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    out += mainText() + QStringLiteral("\n\nCall Stack:\n");
    for (const QString &l : callStack)
        out += l + QLatin1Char('\n');
    out += QStringLiteral("\nRegisters:\n");
    for (const QString &l : registers)
        out += l + QLatin1Char('\n');
    out += QStringLiteral("\n%1:\n").arg(customPageTitle);
    for (const QString &l : customInfo)
        out += l + QLatin1Char('\n');
    out += QLatin1Char('\n');
    return out;
}

ExceptionReport buildExceptionReport(const std::exception_ptr &error)
{
    ExceptionReport r;
    r.moduleName = Unknown;
    if (!error)
        return r;
    r.className = exceptionClassName(error);
    r.message = exceptionText(error);

    const ThrowSitePtr site = thrownStack(error);
    if (site && site->frameCount > 0) {
        const QList<StackFrameInfo> frames = resolveStack(*site);
        const StackFrameInfo &at = frames.first();
        r.address = at.address;
        r.modulePath = at.modulePath;
        if (!at.modulePath.isEmpty())
            r.moduleName = at.moduleName();
        // The place is known only as far as the line information goes; a
        // bare symbol name stays on the call stack page.
        if (at.line > 0) {
            r.procedure = at.procedure;
            r.sourceFile = at.sourceFileName();
            r.unitName = at.unitName();
            r.line = at.line;
        }
        for (const StackFrameInfo &f : frames)
            r.callStack << f.toString();
    } else {
        r.callStack << QStringLiteral("No call stack was recorded for this exception.");
    }
    r.registers = registerLines(site.get());

    const ExceptionReportConfig cfg = exceptionReportConfig();
    r.customPageTitle = cfg.customPageTitle;
    if (cfg.customInfo)
        cfg.customInfo(r.customInfo);
    return r;
}

void setExceptionReportConfig(const ExceptionReportConfig &c)
{
    std::lock_guard lock(configMutex());
    config() = c;
}

ExceptionReportConfig exceptionReportConfig()
{
    std::lock_guard lock(configMutex());
    return config();
}

QString exceptionLogFolder(const QString &programFolder, const QString &stateHome,
                           const QString &home)
{
    if (folderWritable(programFolder))
        return programFolder;
    const QString base = !stateHome.isEmpty() ? stateHome
                                              : QDir(home).filePath(QStringLiteral(".local/state"));
    return QDir(base).filePath(QStringLiteral("voxadmin"));
}

QString exceptionLogFilePath()
{
    {
        std::lock_guard lock(configMutex());
        if (!logPathOverride().isEmpty())
            return logPathOverride();
    }
    QString programFolder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                         : QString();
    if (programFolder.isEmpty())
        programFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    const QString folder = exceptionLogFolder(programFolder, qEnvironmentVariable("XDG_STATE_HOME"),
                                              QDir::homePath());
    return QDir(folder).filePath(QLatin1String(ExceptionLogFileName));
}

void setExceptionLogFilePath(const QString &path)
{
    std::lock_guard lock(configMutex());
    logPathOverride() = path;
}

void appendExceptionLog(const ExceptionReport &report, bool wait)
{
    const QString path = exceptionLogFilePath();
    const QByteArray entry = report.logEntry(QDateTime::currentDateTime()).toLocal8Bit();
    std::unique_lock lock(reportMutex(), std::defer_lock);
    if (wait)
        lock.lock();
    else if (!lock.try_lock())
        return; // the program is ending while a report is being written
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    // An entry is kept whole or not at all: on a full disk the part that
    // fitted is cut off again, so the next entry starts after a whole one.
    const qint64 before = file.size();
    if (file.write(entry) != entry.size())
        file.resize(before);
    file.close();
}

namespace {
ExceptionReportViewer &viewer()
{
    static ExceptionReportViewer v;
    return v;
}

ExceptionReportViewer currentViewer()
{
    std::lock_guard lock(configMutex());
    return viewer();
}
} // namespace

void setExceptionReportViewer(ExceptionReportViewer v)
{
    std::lock_guard lock(configMutex());
    viewer() = std::move(v);
}

void showExceptionReport(const std::exception_ptr &error, QWidget *parent)
{
    // The stack is looked up on the raising thread; the window itself can
    // only live on the user-interface thread.
    const ExceptionReport report = buildExceptionReport(error);
    appendExceptionLog(report);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread()) {
        if (const ExceptionReportViewer show = currentViewer())
            show(report, parent);
    } else {
        // Another thread hands its report over and goes on.
        QMetaObject::invokeMethod(
            app,
            [report] {
                if (const ExceptionReportViewer show = currentViewer())
                    show(report, nullptr);
            },
            Qt::QueuedConnection);
    }
}

void installExceptionReport()
{
    setExceptionReportWindow(&showExceptionReport);
}
