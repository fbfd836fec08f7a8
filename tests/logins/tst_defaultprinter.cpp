#include "LoginsFixture.h"
#include "customers/FrmReport.h"
#include "logins/LoginMailer.h"
#include "support/ScopedSeam.h"
#include "support/TestMain.h"
#include "widgets/PrinterFactory.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

// The customer sheet and a login mailer printed through the system's
// default printer, a CUPS queue of the PDF printer, read back from the file
// the printer wrote and compared word by word with the same page written
// straight to a PDF file. The test script starts that scheduler and names
// the printer's output folder in VOX_TEST_CUPS_OUT.
class TestDefaultPrinter : public QObject
{
    Q_OBJECT

    using Words = QList<LoginsFixture::Word>;

    QString m_out;
    QTemporaryDir m_direct;
    // Printing and waiting on a loaded machine is bounded, not timed.
    static constexpr int WaitMs = 180000;

    static QString runLpstat()
    {
        QProcess p;
        p.start(QStringLiteral("lpstat"), {QStringLiteral("-o")});
        if (!p.waitForFinished(30000))
            return QStringLiteral("lpstat did not answer");
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    QStringList outputFiles() const
    {
        return QDir(m_out).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    }

    // The file of one page written straight to PDF.
    QString printToFile(const std::function<void()> &print)
    {
        ScopedSeam<QString, const QString &> dir(&PrintJob::setOutputDir, m_direct.path());
        const qsizetype before = PrintJob::writtenFiles().size();
        print();
        const QStringList files = PrintJob::writtenFiles().mid(before);
        return files.size() == 1 ? files.first() : QString();
    }

    // The file the PDF printer wrote for one job sent to the default
    // printer, once the queue is empty again.
    QString printToDefaultPrinter(const std::function<void()> &print)
    {
        const QStringList before = outputFiles();
        const qsizetype written = PrintJob::writtenFiles().size();
        print();
        if (PrintJob::writtenFiles().size() != written)
            return QStringLiteral("went to a file instead of the printer");
        QDeadlineTimer deadline(WaitMs);
        QString pending = runLpstat();
        while (!pending.isEmpty() && !deadline.hasExpired()) {
            QThread::msleep(200);
            pending = runLpstat();
        }
        if (!pending.isEmpty())
            return QStringLiteral("queue still holds: ") + pending;
        QStringList fresh;
        while (fresh.isEmpty() && !deadline.hasExpired()) {
            fresh = outputFiles();
            for (const QString &f : before)
                fresh.removeAll(f);
            if (fresh.isEmpty())
                QThread::msleep(200);
        }
        return fresh.size() == 1 ? QDir(m_out).filePath(fresh.first())
                                 : QStringLiteral("printer wrote %1 files").arg(fresh.size());
    }

    // Same words in the same order, each within half a millimetre. The
    // printer's file carries the fonts converted, with other ascent and
    // descent figures: a word's box grows or shrinks about the glyphs, so
    // its left edge and its middle are compared, not its top.
    static void compareWords(const Words &printed, const Words &drawn)
    {
        QVERIFY2(!drawn.isEmpty(), "nothing drawn");
        QStringList printedTexts, drawnTexts;
        for (const auto &w : printed)
            printedTexts << w.text;
        for (const auto &w : drawn)
            drawnTexts << w.text;
        QCOMPARE(printedTexts, drawnTexts);
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            const auto &p = printed[i];
            const auto &d = drawn[i];
            const double pMiddle = (p.yMm + p.bottomMm) / 2, dMiddle = (d.yMm + d.bottomMm) / 2;
            QVERIFY2(qAbs(p.xMm - d.xMm) <= 0.5 && qAbs(pMiddle - dMiddle) <= 0.5,
                     qPrintable(QStringLiteral("%1 printed at %2,%3 mm, drawn at %4,%5 mm")
                                    .arg(d.text)
                                    .arg(p.xMm)
                                    .arg(pMiddle)
                                    .arg(d.xMm)
                                    .arg(dMiddle)));
        }
    }

    static void compareSize(const QString &file, QSizeF mm)
    {
        const QSizeF size = PdfText::pageSizeMm(file);
        QVERIFY2(qAbs(size.width() - mm.width()) <= 0.5 && qAbs(size.height() - mm.height()) <= 0.5,
                 qPrintable(QStringLiteral("page of %1 x %2 mm").arg(size.width()).arg(size.height())));
    }

    static const LoginsFixture::Word *find(const Words &words, const QString &text)
    {
        for (const auto &w : words)
            if (w.text == text)
                return &w;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        m_out = QString::fromLocal8Bit(qgetenv("VOX_TEST_CUPS_OUT"));
        if (m_out.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER")) {
            if (qgetenv("CI") == "true")
                QFAIL("no CUPS test printer: test.sh must start one in CI (CUPS_SERVER, VOX_TEST_CUPS_OUT)");
            QSKIP("no CUPS test printer (run through test.sh, as root or with sudo, to print for real)");
        }
        // Only the default printer may be chosen.
        qunsetenv("VOX_PRINT_DIR");
        qunsetenv("PRINTER");
        qunsetenv("LPDEST");
        PrintJob::setOutputDir({});
        QVERIFY(m_direct.isValid());
        QVERIFY2(!QPrinterInfo::defaultPrinter().isNull(), "the scheduler names no default printer");
        QVERIFY2(QDir(m_out).exists(), qPrintable(m_out));
    }

    void customerSheetLandsWhereItWasDrawn()
    {
        CustomerSheet sheet;
        sheet.account = QStringLiteral("200001");
        sheet.userNo = QStringLiteral("D001");
        sheet.accountName = QStringLiteral("CHAN TAI MAN");
        sheet.chineseName = QStringLiteral("CTM");
        sheet.email = QStringLiteral("chan@example.net");
        sheet.homeTel = QStringLiteral("21234567");
        sheet.mobile = QStringLiteral("91234567");
        const auto print = [&] { TFrmReport(sheet).print(); };

        const QString drawn = printToFile(print);
        QVERIFY(!drawn.isEmpty());
        const QString printed = printToDefaultPrinter(print);
        QVERIFY2(QFileInfo::exists(printed), qPrintable(printed));

        compareSize(printed, {210, 148.5});
        compareSize(drawn, {210, 148.5});
        const Words words = LoginsFixture::pdfWords(printed);
        compareWords(words, LoginsFixture::pdfWords(drawn));
        // The labels start at the left margin, the values 55 mm further in.
        const auto *label = find(words, QStringLiteral("ACCOUNT"));
        const auto *value = find(words, QStringLiteral("200001"));
        QVERIFY(label && value);
        QVERIFY2(qAbs(label->xMm - 10) <= 0.5, qPrintable(QString::number(label->xMm)));
        QVERIFY2(qAbs(value->xMm - 65) <= 0.5, qPrintable(QString::number(value->xMm)));
        QVERIFY(find(words, QStringLiteral("chan@example.net")));
    }

    void loginMailerLandsWhereItWasDrawn()
    {
        MailerPage page;
        page.pageSize = QPageSize(QSizeF(210, 110), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
        page.fontSize = 12;
        page.items = {{QStringLiteral("Xy7Qa09z"), {40, 30}},      {QStringLiteral("09/12/2026"), {160, 40}},
                      {QStringLiteral("CHAN TAI MAN"), {30, 60}},  {QStringLiteral("FLAT A"), {30, 80}},
                      {QStringLiteral("1 NATHAN ROAD"), {30, 88}}, {QStringLiteral("KOWLOON"), {30, 96}},
                      {QStringLiteral("PASSWORD:"), {15, 30}}};
        const auto print = [&] { TLoginMailer::printPage(page, QStringLiteral("Login mailer 100001")); };

        const QString drawn = printToFile(print);
        QVERIFY(!drawn.isEmpty());
        const QString printed = printToDefaultPrinter(print);
        QVERIFY2(QFileInfo::exists(printed), qPrintable(printed));

        compareSize(printed, {210, 110});
        const Words words = LoginsFixture::pdfWords(printed);
        compareWords(words, LoginsFixture::pdfWords(drawn));
        // The left edges where the layout puts them.
        const QList<std::pair<QString, QPointF>> placed{{QStringLiteral("Xy7Qa09z"), {40, 30}},
                                                        {QStringLiteral("PASSWORD:"), {15, 30}},
                                                        {QStringLiteral("FLAT"), {30, 80}},
                                                        {QStringLiteral("KOWLOON"), {30, 96}}};
        for (const auto &[text, at] : placed) {
            const auto *w = find(words, text);
            QVERIFY2(w, qPrintable(text));
            QVERIFY2(qAbs(w->xMm - at.x()) <= 0.5, qPrintable(QStringLiteral("%1 at %2 mm").arg(text).arg(w->xMm)));
        }
    }
};

VOX_TEST_MAIN(TestDefaultPrinter)
#include "tst_defaultprinter.moc"
