// The console's own start-up, as an operator meets it: from the start of
// the process to the login window shown, and from the login's OK to the
// main window shown with the operator's rights, with the process's peak
// resident size at both points. Measured on the demo database and on one
// with 200,000 customers and 1,000,000 rows in riskman_file.
//
// Each measurement is a process of its own: this program starts itself
// again with --startup-child in a folder holding a vox.ini that points at
// the database. The child runs the console's real start-up (the same
// ConsoleStartup that main() runs, offscreen unless QT_QPA_PLATFORM says
// otherwise), waits for the login window to be painted, fills it by its
// controls and presses OK, and reports the times on its standard output;
// the main window counts as shown once the supervisor's actions are
// enabled and it has been painted with them. The parent
// passes its clock reading taken just before the start, so the time spent
// loading the program and its libraries counts as well.
#include "BenchData.h"
#include "net/VoxLog.h"
#include "shell/ConsoleStartup.h"
#include "shell/LoginForm.h"
#include "shell/MainForm.h"
#include "widgets/VoxApplication.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {
constexpr const char *ChildFlag = "--startup-child";
constexpr const char *StartVariable = "VOX_BENCH_START_NS";
constexpr int ChildTimeoutMs = 120000;

qint64 clockNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 nowNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

// When this process started, on the monotonic clock: the reading the
// parent took just before starting it or, run on its own, the start time
// the kernel keeps (in clock ticks since boot).
qint64 processStartNs()
{
    bool ok = false;
    const qint64 given = qEnvironmentVariable(StartVariable).toLongLong(&ok);
    if (ok)
        return given;
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return nowNs();
    const QByteArray text = stat.readAll();
    // Fields after the command name (which may hold blanks) start with the
    // state, field 3; the start time is field 22.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const qint64 ticks = fields.value(22 - 3).toLongLong();
    const qint64 sinceBootNs = ticks * 1000000000 / sysconf(_SC_CLK_TCK);
    return nowNs() - (clockNs(CLOCK_BOOTTIME) - sinceBootNs);
}

double msBetween(qint64 from, qint64 to)
{
    return double(to - from) / 1e6;
}

// Watches for the login window; once it is painted, types the operator's
// user number and password and presses OK.
class LoginDriver : public QObject
{
public:
    LoginDriver(QString user, QString password)
        : m_user(std::move(user)), m_password(std::move(password))
    {
    }

    qint64 loginShown = 0;
    qint64 okPressed = 0;
    double loginPeakMiB = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !loginShown && watched->isWidgetType()) {
            if (auto *form = qobject_cast<Tloginform *>(static_cast<QWidget *>(watched)->window())) {
                loginShown = nowNs();
                loginPeakMiB = BenchData::peakRssMiB();
                QTimer::singleShot(0, form, [this, form] {
                    form->Edit1->setText(m_user);
                    form->Edit2->setText(m_password);
                    okPressed = nowNs();
                    form->BitBtn1->click();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_user, m_password;
};

int runChild(int argc, char **argv)
{
    const qint64 start = processStartNs();
    VoxApplication app(argc, argv);
    LoginDriver driver(QStringLiteral("ADMIN"), QStringLiteral("admin"));
    app.installEventFilter(&driver);
    int result = 0;
    {
        ConsoleStartup console;
        // The main window has its rights once the supervisor's actions are
        // enabled; it is then painted once more with them.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!driver.okPressed || !console.mainForm().UserAction->isEnabled())
                return;
            poll.stop();
            console.mainForm().repaint();
            const qint64 shown = nowNs();
            std::printf("{\"to_login_ms\": %.3f, \"login_to_main_ms\": %.3f, "
                        "\"peak_login_MiB\": %.2f, \"peak_main_MiB\": %.2f}\n",
                        msBetween(start, driver.loginShown), msBetween(driver.okPressed, shown),
                        driver.loginPeakMiB, BenchData::peakRssMiB());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
        // A message box waiting for an answer (a database that cannot be
        // reached, say) would hold the run for ever.
        QTimer::singleShot(ChildTimeoutMs, [] {
            std::fprintf(stderr, "the console did not reach its main window\n");
            QCoreApplication::exit(3);
        });
        console.start();
        poll.start(1);
        result = app.exec();
    }
    voxLogClose();
    return result;
}

struct Measurement {
    bool ok = false;
    QString error;
    double toLoginMs = 0, loginToMainMs = 0, loginPeakMiB = 0, mainPeakMiB = 0;
};

// A folder holding the vox.ini of the database, for the child to start in.
QString consoleFolder(const QString &name, const QString &database)
{
    const QString folder = QDir(BenchData::cacheDir()).filePath(QStringLiteral("startup-") + name);
    QDir().mkpath(folder);
    QFile ini(QDir(folder).filePath(QStringLiteral("vox.ini")));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(ini.fileName()));
    ini.write(QStringLiteral("[VOX_DATABASE]\r\nDSN_source=%1\r\nDSN_user=\r\nDSN_password=\r\n\r\n"
                             "[VOX_RISKMAN]\r\nhost=127.0.0.1\r\nport=7101\r\n\r\n"
                             "[VOX_SVR]\r\nhost=127.0.0.1\r\nport=7102\r\n")
                  .arg(BenchData::connectionString(database))
                  .toLatin1());
    return folder;
}

Measurement measureOnce(const QString &folder)
{
    Measurement m;
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QString::fromLatin1(ChildFlag)});
    child.setWorkingDirectory(folder);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("VOX_LOG"));
    env.insert(QString::fromLatin1(StartVariable), QString::number(nowNs()));
    child.setProcessEnvironment(env);
    child.start();
    if (!child.waitForFinished(ChildTimeoutMs + 10000) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0) {
        m.error = QStringLiteral("the console run failed: ") + QString::fromLocal8Bit(child.readAllStandardError());
        return m;
    }
    const QJsonObject o = QJsonDocument::fromJson(child.readAllStandardOutput().trimmed()).object();
    if (o.isEmpty()) {
        m.error = QStringLiteral("the console run reported nothing");
        return m;
    }
    m.ok = true;
    m.toLoginMs = o.value(QStringLiteral("to_login_ms")).toDouble();
    m.loginToMainMs = o.value(QStringLiteral("login_to_main_ms")).toDouble();
    m.loginPeakMiB = o.value(QStringLiteral("peak_login_MiB")).toDouble();
    m.mainPeakMiB = o.value(QStringLiteral("peak_main_MiB")).toDouble();
    return m;
}

// One iteration is one start of the console; its time is the whole way
// from the process's start to the main window with rights, the two parts
// are counters.
void startup(benchmark::State &state, const QString &name, QString (*database)())
{
    const QString folder = consoleFolder(name, database());
    Measurement m;
    for (auto _ : state) {
        m = measureOnce(folder);
        if (!m.ok) {
            state.SkipWithError(m.error.toLocal8Bit().constData());
            break;
        }
        state.SetIterationTime((m.toLoginMs + m.loginToMainMs) / 1000.0);
    }
    state.counters["to_login_ms"] = m.toLoginMs;
    state.counters["login_to_main_ms"] = m.loginToMainMs;
    state.counters["peak_login_MiB"] = m.loginPeakMiB;
    state.counters["peak_main_MiB"] = m.mainPeakMiB;
}

void BM_Startup_Demo(benchmark::State &state)
{
    startup(state, QStringLiteral("demo"), &BenchData::demoDatabase);
}

void BM_Startup_200kCustomers(benchmark::State &state)
{
    startup(state, QStringLiteral("scale"), &BenchData::scaleDatabase);
}

BENCHMARK(BM_Startup_Demo)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_Startup_200kCustomers)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);
} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], ChildFlag) == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Built before any timing.
    BenchData::demoDatabase();
    BenchData::scaleDatabase();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
