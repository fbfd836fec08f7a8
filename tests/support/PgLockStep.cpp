#include "support/PgLockStep.h"

#include "support/TestDb.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>
#include <exception>
#include <stdexcept>

PgLockStep::PgLockStep(const QString &conn, std::function<void()> step, qint64 key)
{
    std::future<QString> held = m_held.get_future();
    m_thread = std::thread([this, conn, step = std::move(step), key] { run(conn, step, key); });
    held.wait(); // what failed is reported by finish()
}

PgLockStep::~PgLockStep()
{
    finish();
}

QString PgLockStep::finish()
{
    if (!m_finished && m_thread.joinable()) {
        m_thread.join();
        m_finished = true;
    }
    return m_error;
}

void PgLockStep::run(const QString &conn, const std::function<void()> &step, qint64 key)
{
    const QString name = QStringLiteral("lockstep-") + QUuid::createUuid().toString(QUuid::Id128);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(conn);
        QSqlQuery q(db);
        if (!db.open()) {
            error = QStringLiteral("cannot connect: ") + db.lastError().text();
        } else if (!q.exec(QStringLiteral("SELECT pg_advisory_lock(%1)").arg(key))) {
            error = QStringLiteral("cannot take the lock: ") + q.lastError().text();
        }
        m_held.set_value(error);
        if (error.isEmpty()) {
            // Bounded, in case the console never reaches the trigger.
            const QDeadlineTimer deadline(300000);
            bool waiting = false;
            while (!waiting && !deadline.hasExpired()) {
                waiting = q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND "
                                                "objid = %1 AND NOT granted").arg(key))
                    && q.next() && q.value(0).toInt() > 0;
                if (!waiting)
                    QThread::msleep(10);
            }
            if (!waiting) {
                error = QStringLiteral("no statement came to wait for the lock");
            } else {
                try {
                    step();
                } catch (const std::exception &e) {
                    error = QString::fromLocal8Bit(e.what());
                }
            }
            q.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(key)); // fails once the server restarted
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    m_error = error;
}

QString PgLockStep::waitFunctionSql(const QString &name, qint64 key)
{
    return QStringLiteral("CREATE FUNCTION dbo.%1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                          "PERFORM pg_advisory_xact_lock(%2); RETURN NEW; END $$")
        .arg(name)
        .arg(key);
}

QString PgLockStep::triggerSql(const QString &name, const QString &table, const QString &when)
{
    return QStringLiteral("CREATE TRIGGER %1_on_%2 BEFORE INSERT OR UPDATE ON dbo.%2 FOR EACH ROW %3 "
                          "EXECUTE FUNCTION dbo.%1()")
        .arg(name, table, when.isEmpty() ? QString() : QStringLiteral("WHEN (") + when + QLatin1Char(')'));
}

bool PgLockStep::canRestartServer()
{
    return !qEnvironmentVariable("VOX_TEST_PG_CTL").isEmpty();
}

void PgLockStep::restartServer()
{
    QStringList cmd = QProcess::splitCommand(qEnvironmentVariable("VOX_TEST_PG_CTL"));
    const qsizetype d = cmd.indexOf(QStringLiteral("-D"));
    if (d < 0 || d + 1 >= cmd.size())
        throw std::runtime_error("VOX_TEST_PG_CTL names no data directory");
    // The server's output goes to the cluster's log, not to the test's.
    const QString log = QDir(cmd.at(d + 1)).absoluteFilePath(QStringLiteral("../log"));
    const QString program = cmd.takeFirst();
    QProcess p;
    // A busy machine may take a while to stop and start the server.
    p.start(program, cmd + QStringList{QStringLiteral("restart"), QStringLiteral("-m"), QStringLiteral("fast"),
                                       QStringLiteral("-l"), log, QStringLiteral("-t"), QStringLiteral("240")});
    if (!p.waitForFinished(270000) || p.exitCode() != 0)
        throw std::runtime_error("the server did not restart: " + p.readAllStandardError().toStdString());
}
