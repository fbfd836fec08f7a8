#include "core/VoxError.h"
#include "net/ExceptionReport.h"
#include "net/VoxLog.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace {
int g_throwLine = 0;

__attribute__((noinline)) void raiseForTrace()
{
    g_throwLine = __LINE__; throw VoxError(QStringLiteral("Cannot parse reply"));
}

template <class Fn>
std::exception_ptr caught(Fn fn)
{
    try {
        fn();
    } catch (...) {
        return std::current_exception();
    }
    return {};
}

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace

class TestLog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("vox.log"));
        QFile::remove(m_log);
        setExceptionLogFilePath(m_dir.filePath(QStringLiteral("exceptions.log")));
    }
    void cleanup() { voxLogClose(); }

    void withoutFileNameNothingIsWritten()
    {
        QCOMPARE(voxLogFileName(), QString());
        voxLogMsg(QStringLiteral("Cannot set socket KeepAlive"), voxLogKind::Error);
        voxLogMsg(QStringLiteral("Connect socket error 10061"), voxLogKind::Warning);
        voxLogMsg(QStringLiteral("Connected"));

        // After closing, lines are discarded again and the file stays as it was.
        voxLogSetFileName(m_log);
        voxLogMsg(QStringLiteral("one"));
        voxLogClose();
        QCOMPARE(voxLogFileName(), QString());
        voxLogMsg(QStringLiteral("two"), voxLogKind::Error);
        QCOMPARE(fileLines(m_log), QStringList{QStringLiteral("one")});

        // A file that cannot be opened leaves the logger discarding.
        voxLogSetFileName(m_dir.filePath(QStringLiteral("no/such/folder/vox.log")));
        QCOMPARE(voxLogFileName(), QString());
        voxLogMsg(QStringLiteral("three"), voxLogKind::Warning);
    }

    void linesCarryTheirPrefixAndAreFlushedAtOnce()
    {
        voxLogSetFileName(m_log);
        voxLogMsg(QStringLiteral("Cannot set socket KeepAlive"), voxLogKind::Error);
        QCOMPARE(fileLines(m_log), QStringList{QStringLiteral("Error: Cannot set socket KeepAlive")});
        voxLogMsg(QStringLiteral("Connect") + QStringLiteral(" socket error ") + QString::number(10061),
                  voxLogKind::Warning);
        voxLogMsg(QStringLiteral("Connected to riskman:7000"));
        QCOMPARE(fileLines(m_log), (QStringList{QStringLiteral("Error: Cannot set socket KeepAlive"),
                                                QStringLiteral("Warning: Connect socket error 10061"),
                                                QStringLiteral("Connected to riskman:7000")}));
    }

    void customPageHasThreeLinesCourtesyLast()
    {
        QStringList lines{QStringLiteral("kept")};
        voxLogDummy.customInfo(lines);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("kept"));
        QCOMPARE(lines[1], QStringLiteral("This popup is used for quality control at Varnel Systems."));
        QVERIFY(lines[2].contains(QStringLiteral("fax")));
        QVERIFY(lines[2].contains(QStringLiteral("call stack"), Qt::CaseInsensitive));
        QCOMPARE(lines[3], QStringLiteral("Thank you."));
    }

    void dumpTraceWithLineInformation()
    {
        voxLogSetFileName(m_log);
        dumpTrace(caught(raiseForTrace), QStringLiteral("risk|ORD|10|A1|"));
        const QStringList lines = fileLines(m_log);
        QVERIFY(lines.size() > 4);
        QCOMPARE(lines[0], QStringLiteral("Error: Exception Cannot parse reply"));
        QCOMPARE(lines[1], QStringLiteral("risk|ORD|10|A1|"));
        // The unit name is followed by a blank, then the format's own blank.
        QCOMPARE(lines[2], QStringLiteral("In [%1]tst_log  (anonymous namespace)::raiseForTrace() line %2")
                               .arg(QCoreApplication::applicationFilePath())
                               .arg(g_throwLine));
        QVERIFY(lines[3].contains(QStringLiteral("raiseForTrace() (tst_log.cpp, line %1)").arg(g_throwLine)));
        // The full report went to the exception log as well.
        QVERIFY(fileLines(exceptionLogFilePath()).contains(QStringLiteral("Cannot parse reply")));
    }

    void dumpTraceWithoutLineInformation()
    {
        voxLogSetFileName(m_log);
        dumpTrace(std::make_exception_ptr(std::runtime_error("bad frame")), QString());
        QStringList lines = fileLines(m_log);
        QCOMPARE(lines.first(), QStringLiteral("Error: Exception bad frame"));
        QVERIFY(lines.filter(QStringLiteral("In [")).isEmpty());

        // Raised inside a library without line information: the stack is
        // there, the place line is not.
        QFile::remove(m_log);
        voxLogSetFileName(m_log);
        dumpTrace(caught([] { std::vector<int> v; (void)v.at(1); }), QStringLiteral("msg"));
        lines = fileLines(m_log);
        QVERIFY(lines[0].startsWith(QStringLiteral("Error: Exception ")));
        QCOMPARE(lines[1], QStringLiteral("msg"));
        QVERIFY(lines.filter(QStringLiteral("In [")).isEmpty());
        QVERIFY(lines.filter(QStringLiteral("dumpTraceWithoutLineInformation")).size() >= 1);
    }

private:
    QTemporaryDir m_dir;
    QString m_log;
};

VOX_TEST_MAIN(TestLog)
#include "tst_log.moc"
