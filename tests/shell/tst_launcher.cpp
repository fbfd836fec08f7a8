#include "shell/Launcher.h"
#include "support/ScopedSeam.h"
#include "support/TestFiles.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A program that leaves a marker file named after its location.
bool writeProgram(const QString &path, const QString &marker = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write("#!/bin/sh\n");
    if (!marker.isEmpty())
        f.write("echo started > '" + marker.toLocal8Bit() + "'\n");
    f.close();
    return f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScopedEnvironment> m_path;
    std::unique_ptr<TemporaryWorkDir> m_current;
    std::unique_ptr<QTemporaryDir> m_onPath;
    QString m_name;
    QString m_inProgramDir;

private slots:
    void init()
    {
        m_current = std::make_unique<TemporaryWorkDir>();
        m_onPath = std::make_unique<QTemporaryDir>();
        QVERIFY(m_current->isValid() && m_onPath->isValid());
        m_path = std::make_unique<ScopedEnvironment>("PATH", QFile::encodeName(m_onPath->path()) + ':' + qgetenv("PATH"));
        // A name no real program has.
        m_name = QStringLiteral("voxprobe-%1.exe").arg(QCoreApplication::applicationPid());
        m_inProgramDir = QCoreApplication::applicationDirPath() + '/' + m_name;
    }

    void cleanup()
    {
        QFile::remove(m_inProgramDir);
        m_path.reset();
        m_current.reset();
        m_onPath.reset();
    }

    void findProgramSearchesCurrentThenProgramDirThenPath()
    {
        const QString inCurrent = m_current->filePath(m_name);
        const QString onPath = m_onPath->filePath(m_name);
        QVERIFY(writeProgram(inCurrent));
        QVERIFY(writeProgram(m_inProgramDir));
        QVERIFY(writeProgram(onPath));

        QCOMPARE(QFileInfo(Launcher::findProgram(m_name)), QFileInfo(inCurrent));
        QVERIFY(QFile::remove(inCurrent));
        QCOMPARE(QFileInfo(Launcher::findProgram(m_name)), QFileInfo(m_inProgramDir));
        QVERIFY(QFile::remove(m_inProgramDir));
        QCOMPARE(QFileInfo(Launcher::findProgram(m_name)), QFileInfo(onPath));
        QVERIFY(QFile::remove(onPath));
        QCOMPARE(Launcher::findProgram(m_name), QString());
    }

    void aDirectoryOrAFileThatCannotRunIsPassedOver()
    {
        QVERIFY(QDir(m_current->path()).mkdir(m_name));
        const QString onPath = m_onPath->filePath(m_name);
        QVERIFY(writeProgram(onPath));
        QCOMPARE(QFileInfo(Launcher::findProgram(m_name)), QFileInfo(onPath));
    }

    void aMissingProgramIsNotStarted()
    {
        QCOMPARE(Launcher::findProgram(m_name), QString());
        QCOMPARE(Launcher::findProgram(QString()), QString());
        QVERIFY(!Launcher::start(m_name));
        QVERIFY(!Launcher::start(QString()));
    }

    void startRunsTheProgramFound()
    {
        const QString marker = m_current->filePath("marker");
        QVERIFY(writeProgram(m_onPath->filePath(m_name), marker));
        QVERIFY(Launcher::start(m_name));
        QTRY_VERIFY(QFileInfo::exists(marker));
    }
};

VOX_TEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
