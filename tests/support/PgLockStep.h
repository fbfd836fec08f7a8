#pragma once

#include <QString>
#include <functional>
#include <future>
#include <thread>

// Stops a statement of the console at a chosen point and does something
// there, with no timing: a trigger of the test database takes the advisory
// lock key (PERFORM pg_advisory_xact_lock(key)), which this object holds on
// a connection of its own in a thread of its own. Once a backend waits for
// the lock, step runs in that thread; then the lock is let go. A step that
// restarts the server lets it go by ending the holder's connection.
class PgLockStep
{
public:
    static constexpr qint64 Key = 4711;

    // Returns once the lock is held.
    PgLockStep(const QString &conn, std::function<void()> step, qint64 key = Key);
    ~PgLockStep();
    PgLockStep(const PgLockStep &) = delete;
    PgLockStep &operator=(const PgLockStep &) = delete;

    // Waits for the thread; what went wrong in it, empty when nothing did.
    QString finish();

    // SQL of a trigger function dbo.<name>() that waits for the lock key;
    // attach it with triggerSql.
    static QString waitFunctionSql(const QString &name, qint64 key = Key);
    static QString triggerSql(const QString &name, const QString &table, const QString &when = {});

    // Whether the test server can be stopped and started (VOX_TEST_PG_CTL).
    static bool canRestartServer();
    // Stops the test server the fast way (every connection ends, its open
    // transaction rolled back) and starts it again; raises
    // std::runtime_error when it does not come back.
    static void restartServer();

private:
    void run(const QString &conn, const std::function<void()> &step, qint64 key);

    std::promise<QString> m_held;
    std::thread m_thread;
    QString m_error;
    bool m_finished = false;
};
