#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTest>
#include <memory>

// The stand-in risk manager run as a program in a folder, killed and
// started again at will. What every run wrote to its output is kept, in
// order, across the runs.
class RiskManProcess
{
public:
    explicit RiskManProcess(QString program) : m_program(std::move(program)) {}
    ~RiskManProcess()
    {
        if (m_process)
            kill();
    }

    // Starts it in dir; true once it listens.
    bool start(const QString &dir)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setWorkingDirectory(dir);
        m_process->start(m_program, QStringList());
        if (!m_process->waitForStarted())
            return false;
        QByteArray out;
        const bool listening = QTest::qWaitFor(
            [&] { return (out += m_process->readAllStandardOutput()).contains("listening on"); }, 10000);
        m_output += out;
        return listening;
    }

    void kill()
    {
        m_process->kill();
        m_process->waitForFinished();
        m_output += m_process->readAllStandardOutput();
        m_process.reset();
    }

    bool isRunning() const { return bool(m_process); }

    // Everything written so far, the running program's output included.
    const QByteArray &output()
    {
        if (m_process)
            m_output += m_process->readAllStandardOutput();
        return m_output;
    }

    // Stops a running program and forgets what was written.
    void reset()
    {
        if (m_process)
            kill();
        m_output.clear();
    }

private:
    QString m_program;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
};
