#include "core/ErrorReport.h"
#include "core/Stacktrace.h"
#include "core/VoxError.h"
#include "core/WholeWrite.h"
#include "net/ExceptionReport.h"
#include "net/VoxLog.h"
#include "support/DiskFaults.h"
#include "support/TestMain.h"
#include "widgets/ExceptionReportWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <cstdint>

namespace {
int g_throwLine = 0;

// A real invalid write: the undefined-behaviour check must not stop it
// first, and the address is read at run time so that the optimiser cannot
// replace the write by a trap instruction.
volatile std::uintptr_t g_nowhere = 0;
__attribute__((noinline, no_sanitize("undefined"))) void writeThroughNull()
{
    auto *nowhere = reinterpret_cast<volatile int *>(g_nowhere);
    *nowhere = 1;
}

__attribute__((noinline)) void level3()
{
    g_throwLine = __LINE__; throw VoxError(QStringLiteral("Invalid login user name!"));
}

__attribute__((noinline)) void level2()
{
    level3();
    asm volatile("" ::: "memory"); // keeps the call from becoming a jump
}

__attribute__((noinline)) void level1()
{
    level2();
    asm volatile("" ::: "memory");
}

std::exception_ptr raiseThreeDeep()
{
    try {
        level1();
    } catch (...) {
        return std::current_exception();
    }
    return {};
}

__attribute__((noinline)) std::exception_ptr raiseInThread(int n)
{
    try {
        throw VoxError(QStringLiteral("thread %1").arg(n));
    } catch (...) {
        return std::current_exception();
    }
}

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

const QRegularExpression Separator(QStringLiteral(
    "^=+ \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d =+$"), QRegularExpression::MultilineOption);
} // namespace

class TestExceptionReport : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("exceptions.log"));
        QFile::remove(m_log);
        setExceptionLogFilePath(m_log);
        ExceptionReportConfig cfg;
        cfg.customInfo = [](QStringList &l) { voxLogDummy.customInfo(l); };
        setExceptionReportConfig(cfg);
    }

    void reportNamesTheThrowingFunctionThreeCallsDeep()
    {
        QVERIFY(throwWrapperActive());
        const ExceptionReport r = buildExceptionReport(raiseThreeDeep());
        QCOMPARE(r.className, QStringLiteral("VoxError"));
        QCOMPARE(r.message, QStringLiteral("Invalid login user name!"));
        QCOMPARE(r.moduleName, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QCOMPARE(r.sourceFile, QStringLiteral("tst_exceptionreport.cpp"));
        QCOMPARE(r.unitName, QStringLiteral("tst_exceptionreport"));
        QCOMPARE(r.line, g_throwLine);
        QVERIFY(r.procedure.contains(QStringLiteral("level3")));
        QVERIFY(r.address != 0);

        const QString expected = QStringLiteral("Exception 'VoxError' in module %1 at %2\n"
                                                "Invalid login user name!\n\n"
                                                "Source file: tst_exceptionreport.cpp, Line %3")
                                     .arg(r.moduleName, r.addressText())
                                     .arg(g_throwLine);
        QCOMPARE(r.mainText(), expected);
        QCOMPARE(r.addressText().size(), int(sizeof(void *) * 2));

        // The stack is the one of the throw: innermost first, with lines.
        QVERIFY(r.callStack.size() >= 4);
        QVERIFY(r.callStack[0].contains(QStringLiteral("level3")));
        QVERIFY(r.callStack[0].contains(QStringLiteral("(tst_exceptionreport.cpp, line %1)").arg(g_throwLine)));
        QVERIFY(r.callStack[1].contains(QStringLiteral("level2")));
        QVERIFY(r.callStack[2].contains(QStringLiteral("level1")));
        QVERIFY(r.callStack[3].contains(QStringLiteral("raiseThreeDeep")));

#if defined(__x86_64__)
        const QString regs = r.registers.join(QLatin1Char('\n'));
        // RIP is the return address of the throw call, one past its address.
        const QString rip = QStringLiteral("%1").arg(quint64(r.address + 1), 16, 16, QLatin1Char('0')).toUpper();
        QVERIFY2(regs.contains(QStringLiteral("RIP    = ") + rip), qPrintable(regs));
        QVERIFY(regs.contains(QStringLiteral("RSP    = ")));
        QVERIFY(regs.contains(QStringLiteral("EFLAGS = ")));
#endif
        QCOMPARE(r.customPageTitle, QStringLiteral("Info"));
        QCOMPARE(r.customInfo.size(), 3);
        QCOMPARE(r.customInfo.last(), QStringLiteral("Thank you."));
    }

    void throwsInsideLibrariesAreRecordedToo()
    {
        std::exception_ptr error;
        try {
            std::vector<int> v;
            (void)v.at(3);
        } catch (...) {
            error = std::current_exception();
        }
        const ExceptionReport r = buildExceptionReport(error);
        QCOMPARE(r.className, QStringLiteral("std::out_of_range"));
        QVERIFY(r.moduleName.startsWith(QStringLiteral("libstdc++")));
        QCOMPARE(r.sourceFile, QString());
        QVERIFY(r.mainText().endsWith(QStringLiteral("Source file: UNKNOWN, Line UNKNOWN")));
        QVERIFY(r.callStack.join(QLatin1Char('\n')).contains(QStringLiteral("throwsInsideLibrariesAreRecordedToo")));
    }

    // A thread's record of its throws goes with the thread, and a throw
    // made while the thread ends (here from a thread_local destructor) is
    // still recorded.
    void aThreadsThrowRecordsEndWithTheThread()
    {
        struct ThrowsWhileDestroyed {
            std::atomic<bool> *recorded;
            ~ThrowsWhileDestroyed()
            {
                try {
                    throw std::runtime_error("late");
                } catch (...) {
                    *recorded = thrownStack(std::current_exception()) != nullptr;
                }
            }
        };
        const int before = liveThrowRings();
        std::atomic<bool> recorded{false};
        std::atomic<int> during{0};
        std::thread([&recorded, &during] {
            thread_local ThrowsWhileDestroyed late{&recorded};
            (void)late;
            try {
                throw std::runtime_error("early");
            } catch (...) {
            }
            during = liveThrowRings();
        }).join();
        QCOMPARE(during.load(), before + 1);
        QVERIFY(throwWrapperActive());
        QVERIFY(recorded);
        QCOMPARE(liveThrowRings(), before);
    }

    void exceptionWithoutThrowSiteReadsUnknown()
    {
        const ExceptionReport r = buildExceptionReport(std::make_exception_ptr(std::runtime_error("disk full")));
        QCOMPARE(r.mainText(), QStringLiteral("Exception 'std::runtime_error' in module UNKNOWN at %1\n"
                                              "disk full\n\nSource file: UNKNOWN, Line UNKNOWN")
                                   .arg(QString(int(sizeof(void *) * 2), QLatin1Char('0'))));
        QCOMPARE(r.callStack.size(), 1);
        QVERIFY(r.registers.first().startsWith(QStringLiteral("Registers were not recorded")));
    }

    void logEntriesFollowADatedSeparator()
    {
        const ExceptionReport first = buildExceptionReport(raiseThreeDeep());
        appendExceptionLog(first);
        appendExceptionLog(buildExceptionReport(std::make_exception_ptr(std::runtime_error("second"))));
        const QString text = readAll(m_log);
        QCOMPARE(text.count(Separator), 2);
        QVERIFY(text.indexOf(Separator) == 0);
        QVERIFY(text.contains(first.mainText() + QStringLiteral("\n\nCall Stack:\n") + first.callStack.first()));
        QVERIFY(text.contains(QStringLiteral("\nRegisters:\n")));
        QVERIFY(text.contains(QStringLiteral("\nInfo:\nThis popup is used for quality control at Varnel Systems.\n")));
        QVERIFY(text.indexOf(QStringLiteral("second")) > text.indexOf(first.mainText()));
    }

    // A full disk: the entry that does not fit is not left half written,
    // and the log goes on whole once there is room again.
    void anEntryThatDoesNotFitLeavesTheLogWhole()
    {
        appendExceptionLog(buildExceptionReport(std::make_exception_ptr(std::runtime_error("first"))));
        const QByteArray before = readAll(m_log).toLocal8Bit();
        QVERIFY(!before.isEmpty());
        {
            DiskFullGuard full(rlim_t(before.size() + 100));
            QVERIFY(full.isActive());
            appendExceptionLog(buildExceptionReport(std::make_exception_ptr(std::runtime_error("second"))));
        }
        QCOMPARE(readAll(m_log).toLocal8Bit(), before);
        appendExceptionLog(buildExceptionReport(std::make_exception_ptr(std::runtime_error("third"))));
        const QString text = readAll(m_log);
        QCOMPARE(text.count(Separator), 2);
        QVERIFY(text.startsWith(QString::fromLocal8Bit(before)));
        QVERIFY(!text.contains(QStringLiteral("second")));
        QVERIFY(text.contains(QStringLiteral("third")));
    }

    // A log that cannot be written (full disk, or no folder can be made
    // where it goes) does not keep the operator from the report.
    void anUnwritableLogStillShowsTheReport_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("disk full") << true;
        QTest::newRow("folder is a file") << false;
    }

    void anUnwritableLogStillShowsTheReport()
    {
        QFETCH(bool, diskFull);
        if (!diskFull)
            setExceptionLogFilePath(DiskFaults::unwritableFolder(m_dir.path()) + QStringLiteral("/exceptions.log"));
        QString shown;
        QTimer::singleShot(0, [&] {
            auto *w = qobject_cast<ExceptionReportWindow *>(QApplication::activeModalWidget());
            if (!w)
                return;
            shown = w->findChild<QLabel *>(QStringLiteral("MessageLabel"))->text();
            w->findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
        });
        {
            std::optional<DiskFullGuard> full;
            if (diskFull)
                full.emplace(0);
            showExceptionReport(std::make_exception_ptr(VoxError(QStringLiteral("Invalid login user name!"))),
                                nullptr);
        }
        QVERIFY2(shown.contains(QStringLiteral("\nInvalid login user name!\n")), qPrintable(shown));
        if (diskFull)
            QCOMPARE(QFileInfo(m_log).size(), 0);
        // Nothing made where a folder was expected.
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("not-a-folder"))).isFile() || diskFull);
    }

    void logFolderFallsBackToTheStateFolder()
    {
        const QString here = m_dir.path();
        QCOMPARE(exceptionLogFolder(here, QStringLiteral("/state"), QStringLiteral("/home/op")), here);
        const QString missing = here + QStringLiteral("/no/such/folder");
        QCOMPARE(exceptionLogFolder(missing, QStringLiteral("/state"), QStringLiteral("/home/op")),
                 QStringLiteral("/state/voxadmin"));
        QCOMPARE(exceptionLogFolder(missing, QString(), QStringLiteral("/home/op")),
                 QStringLiteral("/home/op/.local/state/voxadmin"));

        setExceptionLogFilePath(QString());
        QCOMPARE(QFileInfo(exceptionLogFilePath()).fileName(), QStringLiteral("voxadmin-exceptions.log"));
        QCOMPARE(QFileInfo(exceptionLogFilePath()).absolutePath(), QCoreApplication::applicationDirPath());
    }

    void reportsOfSeveralThreadsStayWhole()
    {
        constexpr int Threads = 6;
        constexpr int PerThread = 15;
        std::vector<std::thread> threads;
        std::atomic<int> ownStacks{0};
        for (int t = 0; t < Threads; ++t) {
            threads.emplace_back([t, &ownStacks] {
                for (int i = 0; i < PerThread; ++i) {
                    const ExceptionReport r = buildExceptionReport(raiseInThread(t));
                    if (r.procedure.contains(QStringLiteral("raiseInThread")))
                        ++ownStacks;
                    appendExceptionLog(r);
                }
            });
        }
        for (auto &th : threads)
            th.join();
        QCOMPARE(ownStacks.load(), Threads * PerThread);
        const QString text = readAll(m_log);
        QCOMPARE(text.count(Separator), Threads * PerThread);
        // Every entry is whole: the separator is directly followed by its
        // main text and the entry ends with the custom page.
        const QStringList entries = text.split(Separator, Qt::SkipEmptyParts);
        QCOMPARE(entries.size(), Threads * PerThread);
        for (const QString &e : entries) {
            QVERIFY(e.startsWith(QStringLiteral("\nException 'VoxError' in module ")));
            QVERIFY(e.endsWith(QStringLiteral("Thank you.\n\n")));
        }
    }

    void windowShowsMainTextAndDetailPages()
    {
        const ExceptionReport r = buildExceptionReport(raiseThreeDeep());
        ExceptionReportWindow w(r);
        QCOMPARE(w.windowTitle(), QStringLiteral("Application Error"));
        QVERIFY(w.isModal());
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("MessageLabel"))->text(), r.mainText());

        const QList<QPushButton *> buttons = w.findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 2); // no button ends the program
        auto *ok = w.findChild<QPushButton *>(QStringLiteral("OKBtn"));
        auto *details = w.findChild<QPushButton *>(QStringLiteral("DetailsBtn"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(details->text(), QStringLiteral("Details >>"));

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.detailsShown());
        const int small = w.height();
        QTest::mouseClick(details, Qt::LeftButton);
        QVERIFY(w.detailsShown());
        QVERIFY(w.height() > small);

        auto *pages = w.findChild<QTabWidget *>(QStringLiteral("DetailsPages"));
        QCOMPARE(pages->count(), 3);
        QCOMPARE(pages->tabText(0), QStringLiteral("Call Stack"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Registers"));
        QCOMPARE(pages->tabText(2), QStringLiteral("Info"));
        QCOMPARE(pages->currentIndex(), 0);
        for (const char *name : {"CallStackPage", "RegistersPage", "InfoPage"}) {
            auto *page = w.findChild<QPlainTextEdit *>(QLatin1String(name));
            QVERIFY(page);
            QVERIFY(QFontInfo(page->font()).fixedPitch());
        }
        QCOMPARE(w.findChild<QPlainTextEdit *>(QStringLiteral("InfoPage"))->toPlainText().split(QLatin1Char('\n')),
                 r.customInfo);
        QCOMPARE(w.findChild<QPlainTextEdit *>(QStringLiteral("CallStackPage"))->toPlainText(),
                 r.callStack.join(QLatin1Char('\n')));

        QTest::mouseClick(details, Qt::LeftButton);
        QVERIFY(!w.detailsShown());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }

    void handlerErrorShowsTheReportAndWritesTheLog()
    {
        voxLogSetExceptionIcon();
        // Installed by the call above; taken away again however the test ends.
        auto noWindow = qScopeGuard([] { setExceptionReportWindow({}); });
        setExceptionLogFilePath(m_log);
        QVERIFY(QFile::exists(QStringLiteral(":/EXCEPTICON")));
        QVERIFY(!exceptionReportConfig().icon.isNull());

        QString shownText;
        QTimer::singleShot(0, [&] {
            auto *w = qobject_cast<ExceptionReportWindow *>(QApplication::activeModalWidget());
            if (!w)
                return;
            shownText = w->findChild<QLabel *>(QStringLiteral("MessageLabel"))->text();
            w->findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
        });
        QPushButton button;
        QObject::connect(&button, &QPushButton::clicked, [] { level1(); });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);

        QVERIFY(shownText.startsWith(QStringLiteral("Exception 'VoxError' in module ")));
        QVERIFY(shownText.endsWith(QStringLiteral("Source file: tst_exceptionreport.cpp, Line %1").arg(g_throwLine)));
        QCOMPARE(readAll(m_log).count(Separator), 1);
    }

    void crashSignalWritesAReportBeforeTheEnd()
    {
        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            installCrashReport(m_log);
            writeThroughNull();
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGSEGV);
        const QString text = readAll(m_log);
        QCOMPARE(text.count(Separator), 1);
        QVERIFY(text.contains(QStringLiteral("Signal 11 (SIGSEGV) at address 0000000000000000")));
        QVERIFY(text.contains(QStringLiteral("\nCall Stack:\n")));
        QVERIFY(text.contains(QFileInfo(QCoreApplication::applicationFilePath()).fileName() + QLatin1Char('(')));
#if defined(__x86_64__)
        QVERIFY(text.contains(QStringLiteral("RIP    = ")));
#endif
    }

    // Under a file-size limit a write beyond it fails with the system's
    // reason; the console goes on.
    void fileSizeLimitFailsTheWriteInsteadOfEndingTheProgram()
    {
        const QString path = m_dir.filePath(QStringLiteral("big.txt"));
        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            installCrashReport(m_log);
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                _exit(2);
            const bool written = writeWhole(file, QByteArray(8192, 'x'));
            _exit(!written && file.errorString().contains(QLatin1String("too large")) ? 0 : 3);
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY2(WIFEXITED(status), "ended by a signal");
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(QFileInfo(path).size(), 4096);
    }

private:
    QTemporaryDir m_dir;
    QString m_log;
};

VOX_TEST_MAIN(TestExceptionReport)
#include "tst_exceptionreport.moc"
