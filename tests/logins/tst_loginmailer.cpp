#include "LoginsFixture.h"
#include "config/IniFile.h"
#include "core/VoxError.h"
#include "logins/LoginMailer.h"
#include "support/TestMain.h"
#include "widgets/PrinterFactory.h"


// The login mailer: its layout keys and defaults, and where the texts land
// on the printed page, read back from the PDF.
class TestLoginMailer : public QObject
{
    Q_OBJECT

    std::unique_ptr<LoginsFixture> fx;

    static IniFile ini(const QByteArray &section)
    {
        return IniFile::fromBytes("[OTHER]\r\nx=1\r\n" + section);
    }

    // The word of a printed page, or a failed comparison.
    static LoginsFixture::Word word(const QList<LoginsFixture::Word> &words, const QString &text)
    {
        for (const auto &w : words)
            if (w.text == text)
                return w;
        return {QString(), -1, -1, -1};
    }

private slots:
    void initTestCase_data() { VOX_DB_BACKENDS(); }

    void init()
    {
        VOX_FIXTURE_SET_UP(fx, LoginsFixture);
        fx->printIntoTestDir();
    }

    void cleanup()
    {
        fx.reset();
    }

    void defaultsApplyWithoutTheSection()
    {
        TLoginMailer mailer(*fx->data);
        mailer.initreport(ini({}));
        const MailerPage page = mailer.formatreport({"pw", "d", "n", "a1", "a2", "a3"});
        QCOMPARE(page.fontSize, 10);
        QCOMPARE(page.pageSize.size(QPageSize::Millimeter), QSizeF(210, 110));
        const QList<QPointF> expected{{40, 30}, {160, 40}, {30, 60}, {30, 80}, {30, 88}, {30, 96}};
        for (int i = 0; i < expected.size(); ++i) {
            QVERIFY2(qAbs(page.items[i].topLeftMm.x() - expected[i].x()) < 1e-9, qPrintable(QString::number(i)));
            QVERIFY2(qAbs(page.items[i].topLeftMm.y() - expected[i].y()) < 1e-9, qPrintable(QString::number(i)));
        }
        QVERIFY(page.items[6].text.isEmpty());
    }

    void keysAreReadAndCheckedAtEachInit()
    {
        TLoginMailer mailer(*fx->data);
        mailer.initreport(ini("[tamsel_print]\r\nPASSWORDX = 4.5\r\nfontsize=12\r\nwidth=10\r\nheight=5\r\n"
                              "printlabel=Y\r\nlabelcontent=Your PIN\r\n"));
        QCOMPARE(mailer.layout().passwordx, 4.5);
        QCOMPARE(mailer.layout().fontsize, 12);
        QVERIFY(!mailer.layout().labelOn()); // only a lower-case "y" turns it on
        const MailerPage page = mailer.formatreport({"pw", {}, {}, {}, {}, {}});
        QCOMPARE(page.pageSize.size(QPageSize::Millimeter), QSizeF(100, 50));
        QVERIFY(page.items[6].text.isEmpty());

        // A value that is not a number stops, and the layout read before stays.
        try {
            mailer.initreport(ini("[TAMSEL_PRINT]\r\nadd2y=7,8x\r\n"));
            QFAIL("no conversion error");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), QStringLiteral("'7,8x' is not a valid floating point value"));
        }
        try {
            mailer.initreport(ini("[TAMSEL_PRINT]\r\nfontsize=10.5\r\n"));
            QFAIL("no conversion error");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), QStringLiteral("'10.5' is not a valid integer value"));
        }
        QCOMPARE(mailer.layout().fontsize, 12);
    }

    void printedPositionsFollowTheLayout()
    {
        TLoginMailer mailer(*fx->data);
        mailer.initreport(ini("[TAMSEL_PRINT]\r\nprintlabel=y\r\nlabelcontent=PASSWORD:\r\nfontsize=12\r\n"
                              "acctnamex=2.35\r\nacctnamey=4.1\r\n"));
        fx->addInfo(QStringLiteral("100001"), QStringLiteral("CHAN TAI MAN"), QStringLiteral("FLAT A"),
                    QStringLiteral("1 NATHAN ROAD"), QStringLiteral("KOWLOON"));
        const int before = PrintJob::writtenFiles().size();
        mailer.print(QStringLiteral("Xy7Qa09z"), QStringLiteral("100001"));
        const QStringList files = PrintJob::writtenFiles().mid(before);
        QCOMPARE(files.size(), 1);
        QCOMPARE(LoginsFixture::pdfSize(files[0]), QStringLiteral("210 x 110 mm"));

        const auto words = LoginsFixture::pdfWords(files[0]);
        const auto check = [&](const QString &text, double x, double y) {
            const auto w = word(words, text);
            QVERIFY2(w.xMm >= 0, qPrintable(text + QStringLiteral(" not printed")));
            QVERIFY2(qAbs(w.xMm - x) <= 0.2, qPrintable(QStringLiteral("%1 left %2, not %3").arg(text).arg(w.xMm).arg(x)));
            QVERIFY2(qAbs(w.yMm - y) <= 0.2, qPrintable(QStringLiteral("%1 top %2, not %3").arg(text).arg(w.yMm).arg(y)));
        };
        check(QStringLiteral("Xy7Qa09z"), 40, 30);
        check(QStringLiteral("PASSWORD:"), 15, 30); // 25 mm left of the password
        check(QStringLiteral("CHAN"), 33.5, 51);
        check(QStringLiteral("FLAT"), 30, 80);
        check(QStringLiteral("1"), 30, 88);
        check(QStringLiteral("KOWLOON"), 30, 96);
        const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        check(today.split(QLatin1Char(' ')).first(), 160, 40);
    }

    void missingCustomerInformationPrintsNoAddress()
    {
        TLoginMailer mailer(*fx->data);
        mailer.initreport(ini({}));
        const MailerContent c = mailer.contentFor(QStringLiteral("123"), QStringLiteral("NOSUCH"));
        QCOMPARE(c.password, QStringLiteral("123"));
        QVERIFY(c.name.isEmpty() && c.address1.isEmpty() && c.address2.isEmpty() && c.address3.isEmpty());
        QVERIFY(!c.date.isEmpty());
    }
};

VOX_TEST_MAIN(TestLoginMailer)
#include "tst_loginmailer.moc"
