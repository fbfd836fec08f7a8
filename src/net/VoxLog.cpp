#include "net/VoxLog.h"

#include "net/ExceptionReport.h"

#include <QFile>
#include <QIcon>

#include <atomic>
#include <mutex>

namespace {
struct LogState {
    std::mutex mutex;
    QString name;
    QFile file;
    // Whether a log is open; kept in step under the mutex, read without it
    // by callers that only build a line when it will be written.
    std::atomic<bool> active{false};
};

LogState &state()
{
    static LogState s;
    return s;
}
} // namespace

// Resources of a static library are registered explicitly (global scope).
static void initVoxNetResources()
{
    Q_INIT_RESOURCE(voxnet);
}

const TvoxLogDummy voxLogDummy;

void voxLogSetFileName(const QString &fileName)
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
    if (s.file.isOpen())
        s.file.close();
    s.name = fileName;
    if (!fileName.isEmpty()) {
        s.file.setFileName(fileName);
        if (!s.file.open(QIODevice::WriteOnly | QIODevice::Append))
            s.name.clear();
    }
    s.active = !s.name.isEmpty() && s.file.isOpen();
}

QString voxLogFileName()
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
    return s.name;
}

void voxLogMsg(const QString &text, voxLogKind kind)
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
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

bool voxLogActive()
{
    return state().active.load(std::memory_order_relaxed);
}

void voxLogClose()
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
    if (s.file.isOpen())
        s.file.close();
    s.name.clear();
    s.active = false;
}

void TvoxLogDummy::customInfo(QStringList &lines) const
{
    lines << QStringLiteral("This popup is used for quality control at Varnel Systems.")
          << QStringLiteral("Please fax a screen image of the Call Stack page to our support "
                            "desk at +852 2861 4470 for follow-up.")
          << QStringLiteral("Thank you.");
}

void voxLogSetExceptionIcon()
{
    initVoxNetResources();
    ExceptionReportConfig cfg;
    cfg.icon = QIcon(QStringLiteral(":/EXCEPTICON"));
    cfg.customPageTitle = QStringLiteral("Info");
    cfg.customInfo = [](QStringList &lines) { voxLogDummy.customInfo(lines); };
    setExceptionReportConfig(cfg);
    installExceptionReport();
    installCrashReport(exceptionLogFilePath());

    const QString logFile = qEnvironmentVariable("VOX_LOG");
    if (!logFile.isEmpty())
        voxLogSetFileName(logFile);
}

void dumpTrace(const std::exception_ptr &error, const QString &message)
{
    const ExceptionReport report = buildExceptionReport(error);
    appendExceptionLog(report);

    voxLogMsg(QStringLiteral("Exception ") + report.message, voxLogKind::Error);
    if (!message.isEmpty())
        voxLogMsg(message);
    if (!report.procedure.isEmpty()) {
        QString place = QString::asprintf(
            "In [%s]%s %s", report.modulePath.toLocal8Bit().constData(),
            report.unitName.isEmpty() ? "" : (report.unitName + QLatin1Char(' ')).toLocal8Bit().constData(),
            report.procedure.toLocal8Bit().constData());
        if (report.line > 0)
            place += QString::asprintf(" line %d", report.line);
        voxLogMsg(place);
    }
    voxLogMsg(report.callStack.join(QLatin1Char('\n')));
}
